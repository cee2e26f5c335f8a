// Kit of the program's control tests: a scratch folder with files made by
// name, pumping the main-thread queue until a condition holds, and running a
// piece of code with the file-system rights of an ordinary user.
#pragma once

#include <sys/fsuid.h>
#include <unistd.h>

#include <chrono>
#include <filesystem>
#include <fstream>
#include <functional>
#include <string>

#include "platform/threads.h"

namespace appkit {

/// A fresh folder, removed with everything in it at the end of the test.
class TScratch {
 public:
  TScratch() {
    char tmpl[] = "/tmp/velmoran-test-XXXXXX";
    FPath = ::mkdtemp(tmpl);
  }
  ~TScratch() {
    std::error_code ec;
    std::filesystem::permissions(FPath, std::filesystem::perms::owner_all, ec);
    for (auto& e : std::filesystem::recursive_directory_iterator(FPath, ec))
      if (e.is_directory(ec)) std::filesystem::permissions(e.path(), std::filesystem::perms::owner_all, ec);
    std::filesystem::remove_all(FPath, ec);
  }
  const std::string& Path() const { return FPath; }
  /// Path of Name inside the folder.
  std::string operator/(const std::string& Name) const { return FPath + "/" + Name; }
  /// Makes a file of Size bytes (sparse beyond the first).
  void File(const std::string& Name, std::uintmax_t Size = 0) const {
    { std::ofstream f(*this / Name, std::ios::binary); }
    if (Size > 0) std::filesystem::resize_file(*this / Name, Size);
  }
  void Folder(const std::string& Name) const { std::filesystem::create_directories(*this / Name); }

 private:
  std::string FPath;
};

/// Runs the calls queued for the main thread until Done holds or Ms pass;
/// returns whether it holds.
inline bool PumpUntil(const std::function<bool()>& Done, int Ms = 5000) {
  const auto end = std::chrono::steady_clock::now() + std::chrono::milliseconds(Ms);
  while (!Done()) {
    if (std::chrono::steady_clock::now() > end) return false;
    CheckSynchronize(20);
  }
  return true;
}

/// Runs Proc with the file-system rights of user "nobody" on this thread
/// (when the tests run as root, whose rights would open every folder).
inline void AsOrdinaryUser(const std::function<void()>& Proc) {
  const bool root = ::geteuid() == 0;
  if (root) ::setfsuid(65534);
  Proc();
  if (root) ::setfsuid(0);
}

}  // namespace appkit
