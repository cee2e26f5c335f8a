#include "io/lumerakio_frame.h"

#include <cerrno>
#include <cstring>
#include <filesystem>
#include <fcntl.h>
#include <sys/file.h>
#include <sys/stat.h>
#include <unistd.h>

#include "core/lkbitmap.h"
#include "platform/sysutils.h"
#include "core/lkviewlink.h"

namespace lkio {

TProgressRec MakeProgress(TLumerakIO& IO) {
  TProgressRec pr;
  pr.OnProgress = IO.GetProgressHook();
  pr.Sender = &IO;
  pr.AbortFlag = IO.GetAbortedFlag();
  pr.AbortNote = IO.GetAbortNote();
  return pr;
}

TProgressRec MakeSilentProgress(TLumerakIO& IO) {
  TProgressRec pr;
  pr.AbortFlag = IO.GetAbortedFlag();
  pr.AbortNote = IO.GetAbortNote();
  return pr;
}

void GiveViewResolution(TLumerakIO& IO) {
  TLKViewLink* view = IO.GetAttachedLumerak();
  if (view == nullptr || IO.IsInsideAsyncThreads()) return;
  view->SetDPI(IO.GetIOParams()->DPIX, IO.GetIOParams()->DPIY);
}

void ConvertForSave(TLumerakIO& IO) {
  TLKBitmap* bmp = IO.GetLKBitmap();
  const TLKPixelFormat f = bmp->GetPixelFormat();
  if (f != lk24RGB && f != lk1g) bmp->SetPixelFormat(lk24RGB);
}

std::unique_ptr<TFileStream> OpenForRead(const String& FileName) {
  return std::make_unique<TFileStream>(FileName, fmOpenRead | fmShareDenyWrite);
}

String LowerExt(const String& FileName) { return LowerCase(ExtractFileExt(FileName)); }

namespace {
[[noreturn]] void CannotCreate(const String& FileName, int Error) {
  throw EFCreateError("Cannot create file \"" + FileName + "\". " + std::strerror(Error));
}
}  // namespace

namespace {

// Marker of the new files of saves: "<target>.~<pid>-<n>". While a save
// runs its new file is locked; one that no process locks is left over from
// a save that was killed.
constexpr char kSaveMark[] = ".~";

// Removes the new files that killed saves of Target left beside it: those
// of its name pattern that nobody holds a lock on.
void RemoveStaleSaveFiles(const String& Target) {
  const std::filesystem::path target(Target);
  const std::filesystem::path folder = target.has_parent_path() ? target.parent_path() : ".";
  const String prefix = target.filename().string() + kSaveMark;
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

}  // namespace

TSaveFile::TSaveFile(const String& FileName) : FTarget(FileName) {
  if (FileName.empty()) CannotCreate(FileName, ENOENT);
  // A symbolic link stays: the save goes to the file it points to.
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
  // A file nobody may write is not replaced, whoever saves.
  if (exists && (target.st_mode & 0222) == 0) CannotCreate(FileName, EACCES);
  RemoveStaleSaveFiles(FTarget);
  // Beside the target, so that the rename stays within one file system.
  for (int attempt = 0; FHandle < 0; ++attempt) {
    FTemp = FTarget + kSaveMark + IntToStr(::getpid()) + "-" + IntToStr(attempt);
    do {
      FHandle = ::open(FTemp.c_str(), O_RDWR | O_CREAT | O_EXCL | O_CLOEXEC, 0666);
    } while (FHandle < 0 && errno == EINTR);
    if (FHandle < 0 && (errno != EEXIST || attempt >= 100)) CannotCreate(FileName, errno);
  }
  (void)::flock(FHandle, LOCK_EX | LOCK_NB);
  if (exists) (void)::fchmod(FHandle, target.st_mode & 07777);
  FStream = std::make_unique<THandleStream>(FHandle);
}

TSaveFile::~TSaveFile() {
  FStream.reset();
  if (FHandle >= 0) {
    ::close(FHandle);
    ::unlink(FTemp.c_str());
  }
}

void TSaveFile::Commit() {
  if (FHandle < 0) return;
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
  if (error != 0) CannotCreate(FTarget, error);
}

void TSaveFile::CommitUnlessAborted(TLumerakIO& IO) {
  if (!IO.GetAborted()) Commit();
}

}  // namespace lkio
