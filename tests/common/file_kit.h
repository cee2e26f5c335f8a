// Files for the tests: whole-file reads and writes, a scratch folder removed
// at the end of the test, and the command-line tools some tests compare with.
#pragma once

#include <sys/resource.h>
#include <unistd.h>

#include <csignal>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <random>
#include <string>
#include <system_error>
#include <vector>

#include "platform/system.h"

namespace filekit {

using Bytes = std::vector<Byte>;

/// True when the command-line tool Name can be run.
inline bool HaveTool(const char* Name) {
  return std::system((std::string("command -v ") + Name + " >/dev/null 2>&1").c_str()) == 0;
}

/// Runs a shell command quietly; true when it succeeded.
inline bool RunTool(const std::string& Cmd) { return std::system((Cmd + " >/dev/null 2>&1").c_str()) == 0; }

/// The whole file (empty when it cannot be read).
inline Bytes LoadFile(const std::string& Name) {
  std::ifstream f(Name, std::ios::binary);
  return Bytes((std::istreambuf_iterator<char>(f)), std::istreambuf_iterator<char>());
}

inline void SaveFile(const std::string& Name, const Bytes& Data) {
  std::ofstream f(Name, std::ios::binary);
  f.write(reinterpret_cast<const char*>(Data.data()), static_cast<std::streamsize>(Data.size()));
}

/// A scratch folder named after Prefix, removed with everything in it.
struct TempDir {
  std::filesystem::path path;
  explicit TempDir(const std::string& Prefix) {
    std::random_device rd;
    path = std::filesystem::temp_directory_path() / (Prefix + std::to_string(rd()) + std::to_string(::getpid()));
    std::filesystem::create_directories(path);
  }
  ~TempDir() {
    std::error_code ec;
    std::filesystem::remove_all(path, ec);
  }
  TempDir(const TempDir&) = delete;
  TempDir& operator=(const TempDir&) = delete;
  std::string operator/(const std::string& Name) const { return (path / Name).string(); }
  /// Number of entries in the folder.
  std::size_t Files() const {
    return static_cast<std::size_t>(std::distance(std::filesystem::directory_iterator(path), {}));
  }
};

/// Writes past Bytes fail with EFBIG while the guard lives (the signal the
/// kernel would send is ignored): a full disk, within one process.
struct FileSizeLimit {
  rlimit Old{};
  void (*OldHandler)(int);
  explicit FileSizeLimit(rlim_t Bytes) {
    getrlimit(RLIMIT_FSIZE, &Old);
    OldHandler = std::signal(SIGXFSZ, SIG_IGN);
    rlimit lower = Old;
    lower.rlim_cur = Bytes;
    setrlimit(RLIMIT_FSIZE, &lower);
  }
  ~FileSizeLimit() {
    setrlimit(RLIMIT_FSIZE, &Old);
    std::signal(SIGXFSZ, OldHandler);
  }
  FileSizeLimit(const FileSizeLimit&) = delete;
  FileSizeLimit& operator=(const FileSizeLimit&) = delete;
};

}  // namespace filekit
