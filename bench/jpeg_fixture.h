// The pictures of the JPEG speed comparison: the photograph-like picture of
// bench/quant_picture.h (smooth gradients with per-pixel noise) at 24 and
// 12 megapixels, and its JPEG files written through the I/O component at
// quality 80 with 4:2:0 sampling, baseline and progressive. The benchmark
// and the helper program of bench/jpeg_side_by_side.sh make them the same
// way, so both sides time the same files.
#pragma once

#include <climits>
#include <cstdint>
#include <memory>
#include <string>

#include "bench/quant_picture.h"
#include "core/lkbitmap.h"
#include "io/lumerakio.h"

namespace jpegbench {

/// One picture size of the comparison and the stem of its files.
struct TSize2 {
  int Width, Height;
  const char* Stem;
};
inline constexpr TSize2 k24MP{6000, 4000, "photo24"};
inline constexpr TSize2 k12MP{4000, 3000, "photo12"};

/// The picture as an lk24RGB bitmap kept in memory.
inline std::unique_ptr<TLKBitmap> MakePicture(const TSize2& S) {
  auto bmp = std::make_unique<TLKBitmap>();
  bmp->SetMinFileSize(INT_MAX);
  bmp->Allocate(S.Width, S.Height, lk24RGB);
  for (int y = 0; y < S.Height; ++y)
    quantbench::PhotoRow(S.Width, S.Height, y, 1, static_cast<std::uint8_t*>(bmp->GetScanLine(y)));
  return bmp;
}

/// Writes Bmp as a JPEG file at quality 80, 4:2:0, default DCT, optionally
/// progressive; false when the save failed.
inline bool SaveJpeg(TLKBitmap& Bmp, const std::string& Name, bool Progressive) {
  TLumerakIO io;
  io.SetLKBitmap(&Bmp);
  TIOParamsVals& p = *io.GetIOParams();
  p.JPEG_QUALITY = 80;
  p.JPEG_COLORSPACE = ioJPEG_YCbCr;
  p.JPEG_PROGRESSIVE = Progressive;
  io.SaveToFile(Name);
  const bool ok = !io.GetAborted();
  io.SetLKBitmap(nullptr);
  return ok;
}

/// Path of a fixture file in Dir: Stem + Suffix ("p" for the progressive
/// JPEG) + Ext.
inline std::string FixtureName(const std::string& Dir, const TSize2& S, const char* Suffix, const char* Ext) {
  return Dir + "/" + S.Stem + Suffix + Ext;
}

}  // namespace jpegbench
