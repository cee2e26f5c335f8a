#include "io/lumerakio_frame.h"

#include <cerrno>
#include <cstring>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include "core/lkbitmap.h"
#include "platform/sysutils.h"
#include "views/lkview.h"

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
  TLKView* view = IO.GetAttachedLumerak();
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

TSaveFile::TSaveFile(const String& FileName) : FTarget(FileName) {
  if (FileName.empty()) CannotCreate(FileName, ENOENT);
  struct stat target {};
  const bool exists = ::stat(FileName.c_str(), &target) == 0;
  if (exists && S_ISDIR(target.st_mode)) CannotCreate(FileName, EISDIR);
  // Beside the target, so that the rename stays within one file system.
  for (int attempt = 0; FHandle < 0; ++attempt) {
    FTemp = FileName + ".~" + IntToStr(::getpid()) + "-" + IntToStr(attempt);
    do {
      FHandle = ::open(FTemp.c_str(), O_RDWR | O_CREAT | O_EXCL | O_CLOEXEC, 0666);
    } while (FHandle < 0 && errno == EINTR);
    if (FHandle < 0 && (errno != EEXIST || attempt >= 100)) CannotCreate(FileName, errno);
  }
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
  const bool closed = ::close(FHandle) == 0;
  const int closeError = errno;
  FHandle = -1;
  if (!closed) {
    ::unlink(FTemp.c_str());
    CannotCreate(FTarget, closeError);
  }
  if (::rename(FTemp.c_str(), FTarget.c_str()) != 0) {
    const int e = errno;
    ::unlink(FTemp.c_str());
    CannotCreate(FTarget, e);
  }
}

void TSaveFile::CommitUnlessAborted(TLumerakIO& IO) {
  if (!IO.GetAborted()) Commit();
}

}  // namespace lkio
