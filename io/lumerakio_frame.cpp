#include "io/lumerakio_frame.h"

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

void TSaveFile::CommitUnlessAborted(TLumerakIO& IO) {
  if (IO.GetAborted()) return FFile.Discard();
  if (FFile.WriteFailed()) {
    FFile.Discard();
    return IO.SetAbortedWith("cannot write \"" + FFile.Target() + "\": the disk is full or the file too large");
  }
  Commit();
}

}  // namespace lkio
