#include "platform/atomicfile.h"

#include <cerrno>
#include <cstdio>
#include <cstring>
#include <filesystem>
#include <fcntl.h>
#include <sys/file.h>
#include <sys/stat.h>
#include <unistd.h>

#include "platform/sysutils.h"

namespace {

// Marker of the new files: "<target>.~<pid>-<n>".
constexpr char kNewFileMark[] = ".~";

[[noreturn]] void CannotCreate(const String& FileName, int Error) {
  throw EFCreateError("Cannot create file \"" + FileName + "\". " + std::strerror(Error));
}

// The process's umask, read without changing it (umask() would, for a moment,
// for every thread); 022 when the system does not say.
mode_t CurrentUmask() {
  mode_t mask = 022;
  if (FILE* f = std::fopen("/proc/self/status", "re")) {
    char line[256];
    for (int i = 0; i < 256 && std::fgets(line, sizeof line, f) != nullptr; ++i) {
      unsigned value = 0;
      if (std::sscanf(line, "Umask: %o", &value) == 1) {
        mask = static_cast<mode_t>(value & 0777);
        break;
      }
    }
    std::fclose(f);
  }
  return mask;
}

// Removes the new files that killed saves of Target left beside it: those
// of its name pattern that nobody holds a lock on.
void RemoveStaleNewFiles(const String& Target) {
  const std::filesystem::path target(Target);
  const std::filesystem::path folder = target.has_parent_path() ? target.parent_path() : ".";
  const String prefix = target.filename().string() + kNewFileMark;
  std::error_code ec;
  for (const auto& e : std::filesystem::directory_iterator(folder, ec)) {
    const String name = e.path().filename().string();
    if (name.compare(0, prefix.size(), prefix) != 0) continue;
    const String digits = name.substr(prefix.size());
    if (digits.empty() || digits.find_first_not_of("0123456789-") != String::npos) continue;
    const int fd = ::open(e.path().c_str(), O_RDONLY | O_CLOEXEC | O_NOFOLLOW);
    if (fd < 0) continue;
    if (::flock(fd, LOCK_EX | LOCK_NB) == 0) ::unlink(e.path().c_str());
    ::close(fd);
  }
}

// Syncs the folder that holds Path, so that a rename in it survives a crash.
void SyncFolderOf(const String& Path) {
  const std::filesystem::path p(Path);
  const String folder = p.has_parent_path() ? p.parent_path().string() : String(".");
  const int fd = ::open(folder.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
  if (fd < 0) return;
  (void)::fsync(fd);
  ::close(fd);
}

}  // namespace

// The handle stream that remembers a short write: codecs that use Write
// rather than WriteBuffer may not check the count, and a truncated file must
// never be committed.
class TAtomicFile::TStreamImpl : public THandleStream {
 public:
  using THandleStream::THandleStream;
  Integer Write(const void* Buffer, Integer Count) override {
    const Integer put = THandleStream::Write(Buffer, Count);
    if (Count > 0 && put != Count) {
      FFailed = true;
      if (FError == 0) FError = errno != 0 ? errno : EIO;
    }
    return put;
  }
  void SetSize(Int64 NewSize) override {
    try {
      THandleStream::SetSize(NewSize);
    } catch (...) {
      FFailed = true;
      throw;
    }
  }
  bool FFailed = false;
  int FError = 0;
};

TAtomicFile::TAtomicFile(const String& FileName) : FName(FileName), FTarget(FileName) {
  if (FileName.empty()) CannotCreate(FileName, ENOENT);
  // A symbolic link stays: the new content goes to the file it points to.
  struct stat link {};
  if (::lstat(FileName.c_str(), &link) == 0 && S_ISLNK(link.st_mode)) {
    std::error_code ec;
    const std::filesystem::path resolved = std::filesystem::weakly_canonical(FileName, ec);
    if (ec) CannotCreate(FileName, ENOENT);
    FTarget = resolved.string();
  }
  struct stat target {};
  const bool exists = ::stat(FTarget.c_str(), &target) == 0;
  if (exists && S_ISDIR(target.st_mode)) CannotCreate(FileName, EISDIR);
  // A device, pipe or socket is never renamed over.
  if (exists && !S_ISREG(target.st_mode)) CannotCreate(FileName, EINVAL);
  // A file nobody may write is not replaced, whoever saves.
  if (exists && (target.st_mode & 0222) == 0) CannotCreate(FileName, EACCES);
  RemoveStaleNewFiles(FTarget);
  // Beside the target, so that the rename stays within one file system.
  for (int attempt = 0; FHandle < 0; ++attempt) {
    FTemp = FTarget + kNewFileMark + IntToStr(::getpid()) + "-" + IntToStr(attempt);
    do {
      FHandle = ::open(FTemp.c_str(), O_RDWR | O_CREAT | O_EXCL | O_CLOEXEC, 0600);
    } while (FHandle < 0 && errno == EINTR);
    if (FHandle < 0 && (errno != EEXIST || attempt >= 100)) CannotCreate(FileName, errno);
  }
  // Locked while it is written, so that no other save takes it for a stale one.
  (void)::flock(FHandle, LOCK_EX | LOCK_NB);
  if (exists) {
    // The owner first: a change of owner may clear the set-id bits.
    (void)::fchown(FHandle, target.st_uid, target.st_gid);
    (void)::fchmod(FHandle, target.st_mode & 07777);
  } else {
    (void)::fchmod(FHandle, 0666 & ~CurrentUmask());
  }
  FStream = std::make_unique<TStreamImpl>(FHandle);
}

TAtomicFile::~TAtomicFile() { Discard(); }

TStream* TAtomicFile::Stream() { return FStream.get(); }

bool TAtomicFile::WriteFailed() const { return FStream && FStream->FFailed; }

void TAtomicFile::Discard() {
  FStream.reset();
  if (FHandle < 0) return;
  ::unlink(FTemp.c_str());
  ::close(FHandle);
  FHandle = -1;
}

void TAtomicFile::Commit() {
  if (FHandle < 0) return;
  if (WriteFailed()) {
    const int error = FStream->FError;
    Discard();
    throw EWriteError("Cannot write file \"" + FName + "\". " + std::strerror(error));
  }
  FStream.reset();
  // On the disk before it takes the old file's place: a crash after the
  // rename must not leave an empty or partial file under the target's name.
  // The rename comes before the close, so the file stays locked (not taken
  // for a killed save's) until it has its name.
  int error = 0;
  if (::fsync(FHandle) != 0 && errno != EINVAL) error = errno;
  if (error == 0 && ::rename(FTemp.c_str(), FTarget.c_str()) != 0) error = errno;
  if (error != 0) ::unlink(FTemp.c_str());
  if (::close(FHandle) != 0 && error == 0) error = errno;
  FHandle = -1;
  if (error != 0) CannotCreate(FName, error);
  SyncFolderOf(FTarget);
}

void WriteFileAtomically(const String& FileName, const std::function<void(TStream*)>& Write) {
  TAtomicFile file(FileName);
  Write(file.Stream());
  file.Commit();
}
