#include "io/lkadjustdpi.h"

#include <memory>

#include "core/lkbitmap.h"
#include "io/lkparams.h"
#include "processing/lkfilterresample.h"
#include "processing/lkresample.h"

TLKBitmap* LKAdjustDPI(TLKBitmap* Bitmap, TIOParamsVals* Params, bool Filtered) {
  if (!Bitmap || !Params || Bitmap->IsEmpty()) return Bitmap;
  const Integer dpiX = Params->DPIX, dpiY = Params->DPIY;
  if (dpiX == dpiY || dpiX <= 0 || dpiY <= 0) return Bitmap;
  Integer w = Params->WIDTH, h = Params->HEIGHT;
  if (w <= 0 || h <= 0) return Bitmap;
  const bool shrinkHeight = h < w;
  if (shrinkHeight)
    h = LKTrunc(static_cast<double>(h) / dpiY * dpiX);
  else
    w = LKTrunc(static_cast<double>(w) / dpiX * dpiY);
  if (w < 1 || h < 1) return Bitmap;

  auto result = std::make_unique<TLKBitmap>();
  if (Filtered) {
    // The caller's bitmap is left as it is: a 24-bit copy is resampled.
    std::unique_ptr<TLKBitmap> copy;
    TLKBitmap* source = Bitmap;
    if (Bitmap->GetPixelFormat() != lk24RGB) {
      copy = std::make_unique<TLKBitmap>();
      copy->Assign(Bitmap);
      copy->RemoveAlphaChannel();
      copy->ConvertToPixelFormat(lk24RGB);
      source = copy.get();
    }
    result->Allocate(w, h, lk24RGB);
    _ResampleEx(source, result.get(), rfFastLinear);
  } else {
    result->Allocate(w, h, Bitmap->GetPixelFormat());
    _LKBmpStretchEx(Bitmap, result.get());
    for (Integer i = 0; i < Bitmap->GetPaletteLen(); ++i) result->SetPalette(i, Bitmap->GetPalette(i));
  }

  if (shrinkHeight) {
    Params->SetDpiY(dpiX);
    Params->HEIGHT = h;
  } else {
    Params->SetDpiX(dpiY);
    Params->WIDTH = w;
  }
  return result.release();
}
