// Helper of bench/tiff_side_by_side.sh and bench/tiff_pipeline.sh: makes the
// benchmark pictures, copies a TIFF through the TIFF codec (load, then save
// with a chosen compression), and runs the crop, shrink, sharpen pipeline on
// a TIFF through the library's own calls.
//
//   tiff_tool make-rgb W H OUT.tif       photo-like RGB, uncompressed
//   tiff_tool make-g4 W H OUT.tif        a page of text-like marks, G4
//   tiff_tool copy IN.tif OUT.tif none|lzw|g4
//   tiff_tool pipeline IN.tif OUT.tif
//
// The pipeline crops 100 pixels from every edge (in place), shrinks to 90 %
// with the bilinear filter (giving the crop's rows back as it goes),
// sharpens with a 3x3 kernel (written here, in place: the library's own
// sharpening has not landed) and saves an uncompressed TIFF.
#include <algorithm>
#include <atomic>
#include <climits>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>
#include <vector>

#include "codecs/tiff/tiffilt.h"
#include "core/lkbitmap.h"
#include "processing/lkresample.h"

namespace {

bool Write(TLKBitmap& B, const char* Name, TIOTIFFCompression C, Integer Bits, Integer Samples) {
  TFileStream f(Name, fmCreate);
  TIOParamsVals p(nullptr);
  p.TIFF_COMPRESSION = C;
  p.BITSPERSAMPLE = Bits;
  p.SAMPLESPERPIXEL = Samples;
  std::atomic<bool> abort{false};
  TProgressRec pr;
  pr.AbortFlag = &abort;
  TIFFWriteStream(&f, false, &B, p, pr);
  return !abort.load();
}

int MakeRGB(Integer W, Integer H, const char* Out) {
  TLKBitmap b;
  b.SetMinFileSize(INT_MAX);
  b.Allocate(W, H, lk24RGB);
  for (Integer y = 0; y < H; ++y) {
    Byte* r = static_cast<Byte*>(b.GetScanLine(y));
    for (Integer x = 0; x < W; ++x) {
      r[3 * x] = static_cast<Byte>((x * 255) / W);
      r[3 * x + 1] = static_cast<Byte>((y * 255) / H);
      r[3 * x + 2] = static_cast<Byte>(((x ^ y) & 31) * 4 + ((x + y) >> 6));
    }
  }
  return Write(b, Out, ioTIFF_UNCOMPRESSED, 8, 3) ? 0 : 1;
}

int MakeG4(Integer W, Integer H, const char* Out) {
  TLKBitmap b;
  b.SetMinFileSize(INT_MAX);
  b.Allocate(W, H, lk1g);
  unsigned seed = 1;
  for (Integer y = 0; y < H; ++y) {
    Byte* r = static_cast<Byte*>(b.GetScanLine(y));
    std::memset(r, 0xFF, static_cast<size_t>((W + 7) / 8));
    // Lines of "words": black runs of a few pixels in bands of 40 rows.
    if ((y / 20) % 2 == 0 || y % 20 < 4) continue;
    for (Integer x = 100; x < W - 100;) {
      seed = seed * 1103515245 + 12345;
      const Integer run = 2 + static_cast<Integer>((seed >> 16) % 9);
      const bool black = (seed >> 8) & 1;
      for (Integer k = x; k < std::min(W - 100, x + run); ++k)
        if (black) r[k >> 3] &= Byte(~(0x80 >> (k & 7)));
      x += run;
    }
  }
  return Write(b, Out, ioTIFF_G4FAX, 1, 1) ? 0 : 1;
}

bool Load(const char* In, TLKBitmap& B, TIOParamsVals& P) {
  TFileStream f(In, fmOpenRead);
  std::atomic<bool> abort{false};
  TProgressRec pr;
  pr.AbortFlag = &abort;
  Integer pages = 0;
  B.SetMinFileSize(INT_MAX);
  TIFFReadStream(&B, &f, pages, &P, pr, false, nullptr, false, true, false);
  return !abort.load();
}

int Copy(const char* In, const char* Out, const std::string& How) {
  TLKBitmap b;
  TIOParamsVals p(nullptr);
  if (!Load(In, b, p)) return 1;
  const TIOTIFFCompression c = How == "lzw" ? ioTIFF_LZW : How == "g4" ? ioTIFF_G4FAX : ioTIFF_UNCOMPRESSED;
  return Write(b, Out, c, p.BITSPERSAMPLE, p.SAMPLESPERPIXEL) ? 0 : 1;
}

// 3x3 sharpening in place: centre 5, the four neighbours -1, clamped; edges
// kept. Two rows of the original stay behind the pass, so no second
// picture is needed.
void Sharpen(TLKBitmap& B) {
  const Integer w = B.GetWidth(), h = B.GetHeight();
  const size_t bytes = static_cast<size_t>(w) * 3;
  if (h < 3 || w < 3) return;
  std::vector<Byte> up(bytes), here(bytes);
  std::memcpy(up.data(), B.GetScanLine(0), bytes);
  for (Integer y = 1; y < h - 1; ++y) {
    Byte* o = static_cast<Byte*>(B.GetScanLine(y));
    std::memcpy(here.data(), o, bytes);
    const Byte* c = here.data();
    const Byte* u = up.data();
    const Byte* d = static_cast<const Byte*>(B.GetScanLine(y + 1));
    for (size_t i = 3; i < bytes - 3; ++i) {
      const int v = 5 * c[i] - c[i - 3] - c[i + 3] - u[i] - d[i];
      o[i] = static_cast<Byte>(std::clamp(v, 0, 255));
    }
    up.swap(here);
  }
}

// Crops a 24-bit picture held in memory in place: the kept rows move to the
// front of its block (rows bottom-up, as the bitmap keeps them) and `Crop`
// wraps that block at the crop's size. False when the picture's rows are not
// one block, which the caller then copies.
bool CropInPlace(TLKBitmap& Src, Integer X, Integer Y, Integer W, Integer H, TLKBitmap& Crop) {
  const Integer sh = Src.GetHeight();
  const Int64 srcRow = Src.GetRowLen();
  Byte* const base = static_cast<Byte*>(Src.GetScanLine(sh - 1));
  for (Integer y = 0; y < sh; ++y)
    if (static_cast<Byte*>(Src.GetScanLine(y)) != base + (sh - 1 - y) * srcRow) return false;
  const Int64 dstRow = (Int64{W} * 3 + 3) / 4 * 4;
  // Lowest target first: each source row lies above everything written
  // before it.
  for (Integer y = H - 1; y >= 0; --y)
    std::memmove(base + (H - 1 - y) * dstRow, base + (sh - 1 - (y + Y)) * srcRow + 3 * Int64{X},
                 static_cast<size_t>(W) * 3);
  Crop.EncapsulateMemory(base, W, H, lk24RGB, true);
  return Crop.GetRowLen() == dstRow;
}

int Pipeline(const char* In, const char* Out) {
  TLKBitmap src;
  TIOParamsVals p(nullptr);
  if (!Load(In, src, p)) return 1;
  const Integer w = src.GetWidth() - 200, h = src.GetHeight() - 200;
  if (w <= 0 || h <= 0 || src.GetPixelFormat() != lk24RGB) return 1;
  TLKBitmap crop;
  if (!CropInPlace(src, 100, 100, w, h, crop)) {
    crop.SetMinFileSize(INT_MAX);
    crop.Allocate(w, h, lk24RGB);
    for (Integer y = 0; y < h; ++y)
      std::memcpy(crop.GetScanLine(y), static_cast<const Byte*>(src.GetScanLine(y + 100)) + 300, static_cast<size_t>(w) * 3);
    src.FreeImage();
  }
  TLKBitmap small;
  small.SetMinFileSize(INT_MAX);
  small.Allocate(w * 9 / 10, h * 9 / 10, lk24RGB);
  // The bilinear filter of _ResampleEx, giving the crop's rows back as it
  // passes them: the crop and the result are never both held whole.
  LKQResampleAndFree(&crop, &small, 0);
  src.FreeImage();
  Sharpen(small);
  return Write(small, Out, ioTIFF_UNCOMPRESSED, 8, 3) ? 0 : 1;
}

}  // namespace

int main(int argc, char** argv) {
  const std::string cmd = argc > 1 ? argv[1] : "";
  if (cmd == "make-rgb" && argc == 5) return MakeRGB(std::atoi(argv[2]), std::atoi(argv[3]), argv[4]);
  if (cmd == "make-g4" && argc == 5) return MakeG4(std::atoi(argv[2]), std::atoi(argv[3]), argv[4]);
  if (cmd == "copy" && argc == 5) return Copy(argv[2], argv[3], argv[4]);
  if (cmd == "pipeline" && argc == 4) return Pipeline(argv[2], argv[3]);
  std::fprintf(stderr, "usage: tiff_tool make-rgb|make-g4 W H OUT | copy IN OUT none|lzw|g4 | pipeline IN OUT\n");
  return 2;
}
