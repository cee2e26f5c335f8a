// Small pieces shared by the I/O component's load and save tests: a
// temporary folder, whole-file reads and writes, a recorder of progress and
// finish events, and a guard that puts stand-in jobs into the format rows.
#pragma once

#include <unistd.h>

#include <filesystem>
#include <fstream>
#include <iterator>
#include <string>
#include <vector>

#include "io/lkformatrow.h"
#include "io/lkfileformats.h"
#include "io/lumerakio.h"

namespace iokit {

/// A fresh folder, removed with everything in it afterwards.
struct TempDir {
  std::filesystem::path Path;
  TempDir() {
    char pattern[] = "/tmp/lkio-XXXXXX";
    Path = ::mkdtemp(pattern);
  }
  ~TempDir() { std::filesystem::remove_all(Path); }
  String File(const String& Name) const { return (Path / Name).string(); }
  /// Names of the files in the folder.
  std::vector<String> Names() const {
    std::vector<String> n;
    for (const auto& e : std::filesystem::directory_iterator(Path)) n.push_back(e.path().filename().string());
    return n;
  }
};

/// Little-endian values appended to a byte buffer.
inline void PutLE16(std::vector<Byte>& B, unsigned V) {
  B.push_back(Byte(V & 0xFF));
  B.push_back(Byte(V >> 8));
}

inline void PutLE32(std::vector<Byte>& B, uint32_t V) {
  for (int i = 0; i < 4; ++i) B.push_back(Byte(V >> (8 * i)));
}

inline std::string ReadAll(const String& Name) {
  std::ifstream f(Name, std::ios::binary);
  return std::string(std::istreambuf_iterator<char>(f), {});
}

inline void WriteAll(const String& Name, const std::string& Bytes) {
  std::ofstream f(Name, std::ios::binary);
  f << Bytes;
}

/// Progress and finish events of one component, in order: "p<per>" and
/// "finish"; the abort flag and FILETYPE as the finish saw them.
struct Recorder {
  std::vector<std::string> Events;
  int Finishes = 0;
  bool AbortedAtFinish = false;
  Integer TypeAtFinish = -1;
  explicit Recorder(TLumerakIO& IO) {
    IO.OnProgress = [this](TObject*, Integer per) { Events.push_back("p" + std::to_string(per)); };
    IO.OnFinishWork = [this, &IO](TObject*) {
      ++Finishes;
      AbortedAtFinish = IO.GetAborted();
      TypeAtFinish = IO.GetIOParams()->FILETYPE;
      Events.push_back("finish");
    };
  }
  int Progresses() const {
    int n = 0;
    for (const auto& e : Events) n += e[0] == 'p';
    return n;
  }
};

/// Changes the format rows in use (their jobs, in practice) for the
/// lifetime of the guard: Change runs on every row.
struct CodecSwap {
  std::vector<TLKFormatRow> Saved = LKFormatRows();
  template <typename F>
  explicit CodecSwap(F Change) {
    for (TLKFormatRow& r : LKFormatRows()) Change(r);
  }
  ~CodecSwap() { LKFormatRows() = Saved; }
};

/// A registry started afresh for a test and ended after it.
struct FreshRegistry {
  FreshRegistry() {
    LKIOModuleEnd();
    LKIOModuleStart();
  }
  ~FreshRegistry() { LKIOModuleEnd(); }
};

}  // namespace iokit
