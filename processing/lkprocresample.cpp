// Resampling of the processing component's working bitmap.
#include <algorithm>
#include <cstdlib>
#include <limits>
#include <string>

#include "core/lkbitmap.h"
#include "processing/lkfilterresample.h"
#include "processing/lumerakproc.h"

namespace {

// A requested side as a size: 0 keeps `current`, other values count by their
// absolute value; at least 1 and at most the integer range.
Integer RequestedSide(Integer requested, Integer current) {
  const Int64 side = requested == 0 ? current : std::llabs(static_cast<Int64>(requested));
  return static_cast<Integer>(std::clamp<Int64>(side, 1, std::numeric_limits<Integer>::max()));
}

// `other` * `num` div `den`, at least 1 and at most the integer range.
Integer ScaledSide(Integer other, Integer num, Integer den) {
  const Int64 side = static_cast<Int64>(other) * num / den;
  return static_cast<Integer>(std::clamp<Int64>(side, 1, std::numeric_limits<Integer>::max()));
}

}  // namespace

void TLumerakProc::ResampleTo(TLKBitmap* Target, Integer NewWidth, Integer NewHeight, TResampleFilter Filter) {
  if (!Target) return;
  // Resampling into the working bitmap itself would free the picture before
  // it is read: go through a temporary copy instead.
  if (Target == FBitmap) {
    Resample(NewWidth, NewHeight, Filter);
    return;
  }
  if (!MakeConsistentBitmap({})) return;
  const Integer w0 = FBitmap->GetWidth(), h0 = FBitmap->GetHeight();
  if (w0 == 0 || h0 == 0) return;
  if (FAutoUndo)
    SaveUndoCaptioned("Resample " + std::to_string(NewWidth) + "," + std::to_string(NewHeight), lkuImage);
  if (NewWidth < 0 && NewHeight < 0) return;

  // -1 follows the other side. That side is resolved first when it is kept
  // (0), so (-1, 0) keeps the aspect ratio instead of collapsing to 1 pixel.
  Integer width, height;
  if (NewWidth == -1) {
    height = RequestedSide(NewHeight, h0);
    width = ScaledSide(height, w0, h0);
  } else {
    width = RequestedSide(NewWidth, w0);
    height = NewHeight == -1 ? ScaledSide(width, h0, w0) : RequestedSide(NewHeight, h0);
  }

  Target->Allocate(width, height, FBitmap->GetPixelFormat());
  // The pixels are read against the working palette; a stale alpha channel
  // of a reused target would not belong to the new picture.
  for (Integer i = 0; i < FBitmap->GetPaletteLen() && i < Target->GetPaletteLen(); ++i)
    Target->SetPalette(i, FBitmap->GetPalette(i));
  if (!FBitmap->GetHasAlphaChannel()) Target->RemoveAlphaChannel();
  _LKResampleLKBitmap(FBitmap, Target, Filter, OnProgress, this);
  DoFinishWork();
}

void TLumerakProc::Resample(Integer NewWidth, Integer NewHeight, TResampleFilter Filter) {
  if (!FBitmap || FBitmap->GetWidth() == 0 || FBitmap->GetHeight() == 0) return;
  TLKBitmap resampled;
  ResampleTo(&resampled, NewWidth, NewHeight, Filter);
  if (!(NewWidth < 0 && NewHeight < 0) && !resampled.IsEmpty()) FBitmap->Assign(&resampled);
  Update();
  DoFinishWork();
}
