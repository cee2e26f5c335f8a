// Printing tests: a tool's output, and the private print scheduler's queue
// that scripts/test starts (scripts/print-queue).
#pragma once

#include <cctype>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <string>
#include <thread>

#include "platform/printers.h"

namespace printkit {

/// Output of a shell command (empty when it fails).
inline std::string Output(const std::string& Command) {
  std::string out;
  if (FILE* p = ::popen(Command.c_str(), "r")) {
    char buf[4096];
    size_t n;
    while ((n = std::fread(buf, 1, sizeof buf, p)) > 0) out.append(buf, n);
    ::pclose(p);
  }
  return out;
}

/// Points a fresh printer object at the private queue; Why says what is
/// missing when it cannot (no scheduler started, queue not listed).
inline TPrinter* QueuePrinter(std::string& Why) {
  const char* queue = std::getenv("LUMERAK_PRINT_QUEUE");
  if (!queue || !std::getenv("LUMERAK_PRINT_OUTPUT")) {
    Why = "No private print queue: run the tests through scripts/test, or start one with "
          "'eval \"$(scripts/print-queue start DIR)\"' first";
    return nullptr;
  }
  TPrinter* P = ResetPrinterObject();
  const std::vector<String> names = P->GetPrinters();
  for (size_t i = 0; i < names.size(); ++i)
    if (names[i] == queue) {
      P->SetPrinterIndex(static_cast<Integer>(i));
      return P;
    }
  Why = std::string("the queue ") + queue + " is not in the printer list";
  return nullptr;
}

/// Where the queue keeps a job of this title (its letters, digits, "-" and
/// "_" kept, the rest "_"), so that tests printing side by side each find
/// their own document.
inline std::string JobFile(const std::string& Title) {
  std::string name;
  for (char c : Title) name += (std::isalnum(static_cast<unsigned char>(c)) || c == '-' || c == '_') ? c : '_';
  return (std::filesystem::path(std::getenv("LUMERAK_PRINT_OUTPUT")).parent_path() / ("title-" + name + ".pdf"))
      .string();
}

/// Waits up to 30 seconds for a file to appear; true when it did.
inline bool WaitForFile(const std::string& Name) {
  for (int i = 0; i < 300 && !std::filesystem::exists(Name); ++i)
    std::this_thread::sleep_for(std::chrono::milliseconds(100));
  return std::filesystem::exists(Name);
}

}  // namespace printkit
