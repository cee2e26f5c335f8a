// The EXIF thumbnail of a parameter record, made from its owner's picture.
#include <algorithm>

#include "core/lkbitmap.h"
#include "io/lkparams.h"
#include "processing/lumerakproc.h"

void TIOParamsVals::UpdateEXIFThumbnail() {
  TLKBitmap* source = OwnerIO ? OwnerIO->GetParamsBitmap() : nullptr;
  if (!source || source->IsEmpty()) return;
  TLKBitmap* thumb = GetEXIF_ThumbnailImage();
  TLumerakProc proc;
  proc.SetAttachedLKBitmap(source);
  proc.ResampleTo(thumb, 160, -1, rfTriangle);
}
