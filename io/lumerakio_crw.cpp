// The JPEG picture a CIFF camera file embeds, loaded by the I/O component.
#include "core/lkbitmap.h"
#include "io/lkformatrow.h"
#include "io/lumerakio.h"
#include "raw/lkraw.h"

void TLumerakIO::LoadJpegFromFileCRW(const String& FileName) {
  if (FileName.empty()) return;
  TFileStream file(FileName, fmOpenRead);
  SetAborted(false);
  try {
    if (!MakeConsistentBitmap({})) {
      DoFinishWork();
      return;
    }
    GetIOParams()->ResetInfo();
    GetLKBitmap()->RemoveAlphaChannel();
    LKCRWGetJpeg(*GetLKBitmap(), file);
    if (GetLKBitmap()->IsEmpty()) SetAborted(true);
    GetIOParams()->FILENAME = FileName;
    GetIOParams()->FILETYPE = lkftRAW;
    Update();
  } catch (...) {
    DoFinishWork();
    throw;
  }
  DoFinishWork();
}
