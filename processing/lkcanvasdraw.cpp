#include "processing/lkcanvasdraw.h"

#include <algorithm>
#include <cmath>
#include <cstdint>
#include <memory>
#include <span>

#include "core/lkbitmap.h"
#include "core/lkioglobals.h"
#include "core/lkmath.h"
#include "platform/graphics.h"
#include "platform/printers.h"
#include "platform/sysutils.h"
#include "processing/lkdibcopy.h"
#include "processing/lkfilterresample.h"
#include "processing/lkprocutils.h"
#include "processing/lkresample.h"

namespace {

// Largest DIB handed to the printer driver in one strip.
constexpr long long kMaxStripBytes = 41943040;

// A 24-bit uncompressed packed DIB read in place as a surface, so that a
// strip is drawn without two more copies of it. Null when the DIB is of
// another kind or shorter than its header says.
class TDIBSurface : public TPixelSurface {
 public:
  static std::unique_ptr<TDIBSurface> Over(const std::vector<Byte>& DIB) {
    if (DIB.size() < 40) return nullptr;
    auto u32 = [&DIB](size_t At) {
      return static_cast<uint32_t>(DIB[At]) | static_cast<uint32_t>(DIB[At + 1]) << 8 |
             static_cast<uint32_t>(DIB[At + 2]) << 16 | static_cast<uint32_t>(DIB[At + 3]) << 24;
    };
    const uint32_t headerSize = u32(0);
    const auto width = static_cast<int32_t>(u32(4)), height = static_cast<int32_t>(u32(8));
    const unsigned bits = DIB[14] | DIB[15] << 8;
    if (headerSize != 40 || bits != 24 || u32(16) != 0 || width <= 0 || height == 0 || height == INT32_MIN)
      return nullptr;
    const long long stride = (static_cast<long long>(width) * 24 + 31) / 32 * 4;
    const long long rows = height < 0 ? -static_cast<long long>(height) : height;
    if (static_cast<long long>(DIB.size()) - 40 < stride * rows) return nullptr;
    auto s = std::unique_ptr<TDIBSurface>(new TDIBSurface);
    s->FBits = const_cast<Byte*>(DIB.data()) + 40;
    s->FWidth = width;
    s->FHeight = static_cast<Integer>(rows);
    s->FStride = stride;
    s->FBottomUp = height > 0;
    return s;
  }
  Integer SurfaceWidth() const override { return FWidth; }
  Integer SurfaceHeight() const override { return FHeight; }
  Integer SurfaceBitsPerPixel() const override { return 24; }
  Byte* SurfaceRow(Integer y) override { return FBits + (FBottomUp ? FHeight - 1 - y : y) * FStride; }
  std::span<const TRGBQuad> SurfacePalette() const override { return {}; }

 private:
  TDIBSurface() = default;
  Byte* FBits = nullptr;
  Integer FWidth = 0, FHeight = 0;
  long long FStride = 0;
  bool FBottomUp = true;
};

}  // namespace

void _DIBDrawTo(TCanvas* Canvas, const std::vector<Byte>& DIB, Integer SrcX, Integer SrcY, Integer SrcW,
                Integer SrcH, Integer DstX, Integer DstY, Integer DstW, Integer DstH) {
  if (!Canvas || DIB.empty() || SrcW <= 0 || SrcH <= 0 || DstW == 0 || DstH == 0) return;
  // The source is only read.
  if (std::unique_ptr<TDIBSurface> in = TDIBSurface::Over(DIB)) {
    Canvas->CopyFromSurface(TRect{DstX, DstY, DstX + DstW, DstY + DstH}, in.get(),
                            TRect{SrcX, SrcY, SrcX + SrcW, SrcY + SrcH});
    return;
  }
  TBitmap picture;
  if (_CopyDIB2Bitmap(DIB.data(), DIB.size(), &picture) == 0) return;
  Canvas->CopyFromSurface(TRect{DstX, DstY, DstX + DstW, DstY + DstH}, &picture,
                          TRect{SrcX, SrcY, SrcX + SrcW, SrcY + SrcH});
}

void PrintPict(TCanvas* Canvas, Integer X, Integer Y, TLKBitmap* Bitmap, Integer FirstCol, Integer FirstRow,
               Integer Width, Integer StripHeight) {
  LKPrintLogWrite("PrintPict: calling _CopyBitmaptoDIBEx");
  const std::vector<Byte> dib =
      _CopyBitmaptoDIBEx(Bitmap, FirstCol, FirstRow, FirstCol + Width, FirstRow + StripHeight);
  LKPrintLogWrite("PrintPict: calling _DIBDrawTo");
  _DIBDrawTo(Canvas, dib, 0, 0, Width, StripHeight, X, Y + FirstRow, Width, StripHeight);
  LKPrintLogWrite("PrintPict: calling GlobalFree");
}

Integer LKPrintStripHeight(Integer Width, Integer Height, Integer MinFileSize, Integer Alignment) {
  const long long rowLen = LKBitmapRowLen(Width, 24, Alignment);
  if (rowLen <= 0 || Height <= 0) return 0;
  long long h = std::min<long long>(Height, (static_cast<long long>(MinFileSize) / 4) / rowLen);
  // Whole strips of the 40 MiB cap at once, rather than one row at a time.
  if (h > 1 && h * rowLen > kMaxStripBytes) h = std::max<long long>(1, kMaxStripBytes / rowLen);
  return static_cast<Integer>(std::max<long long>(h, 1));
}

void TLKBitmap::RenderToCanvas(TCanvas* canvas, Integer x, Integer y, Integer width, Integer height,
                               TResampleFilter filter, double gamma) {
  LKPrintLogWrite("TLKBitmap.RenderToCanvas: begin");
  if (GetWidth() == 0 || GetHeight() == 0 || width == 0 || height == 0 || !canvas) {
    LKPrintLogWrite("TLKBitmap.RenderToCanvas: end");
    return;
  }
  if (filter == rfNone) {
    LKPrintLogWrite("TLKBitmap.RenderToCanvas: filter=none, gamma=1, gamma=0");
    std::vector<Byte> dib = _CopyBitmaptoDIBEx(this, 0, 0, GetWidth(), GetHeight());
    if (gamma != 1.0 && gamma != 0.0) LKDIBGamma(dib, gamma);
    LKPrintLogWrite("TLKBitmap.RenderToCanvas: calling _DIBDrawTo");
    // On a printer page the stretch is drawn band by band; each band draws
    // the same pixels as the whole stretch has there.
    PrintInBands(canvas, TRect{x, y, x + width, y + height},
                 [&] { _DIBDrawTo(canvas, dib, 0, 0, GetWidth(), GetHeight(), x, y, width, height); });
    LKPrintLogWrite("TLKBitmap.RenderToCanvas: end");
    return;
  }
  // The filtered road resamples to the rectangle's extent (a negative one
  // counts by its size).
  const Integer w = std::abs(width), h = std::abs(height);
  const Integer strip = LKPrintStripHeight(w, h, GetMinFileSize(), GetBitAlignment());
  LKPrintLogWrite("TLKBitmap.RenderToCanvas: stripHeight=" + IntToStr(strip));
  LKPrintLogWrite("TLKBitmap.RenderToCanvas: allocating " + IntToStr(w) + "x" + IntToStr(h));
  auto temp = std::make_unique<TLKBitmap>();
  const TLKPixelFormat format = GetPixelFormat();
  if (format != lk1g && format != lk24RGB) {
    LKPrintLogWrite("TLKBitmap.RenderToCanvas: _LKBmpStretchEx");
    temp->Allocate(w, h, format);
    for (Integer i = 0; i < GetPaletteLen() && i < temp->GetPaletteLen(); ++i) temp->SetPalette(i, GetPalette(i));
    _LKBmpStretchEx(this, temp.get());
  } else if (format == lk1g) {
    LKPrintLogWrite("TLKBitmap.RenderToCanvas: _Resample1BitEx");
    temp->Allocate(w, h, (filter == rfProjectBW || filter == rfProjectWB) ? lk1g : lk24RGB);
    _Resample1bitEx(this, temp.get(), filter);
  } else {
    LKPrintLogWrite("TLKBitmap.RenderToCanvas: _ResampleEx");
    temp->Allocate(w, h, lk24RGB);
    _ResampleEx(this, temp.get(), filter);
  }
  canvas->SetCopyMode(cmSrcCopy);
  if (temp->GetPixelFormat() == lk24RGB && gamma != 1.0 && gamma > 0.0) {
    LKPrintLogWrite("TLKBitmap.RenderToCanvas: gamma");
    Byte table[256];
    for (int i = 0; i < 256; ++i)
      table[i] = static_cast<Byte>(
          blimit(static_cast<Integer>(std::nearbyint(LKPower(i / 255.0L, 1.0L / gamma) * 255.0L))));
    for (Integer r = 0; r < h; ++r) {
      Byte* row = static_cast<Byte*>(temp->GetScanLine(r));
      for (Integer i = 0; i < w * 3; ++i) row[i] = table[row[i]];
    }
  }
  // Only the rows of each strip inside the canvas's clip are copied and
  // drawn: on a printer page drawn in bands that is one band at a time.
  PrintInBands(canvas, TRect{x, y, x + w, y + h}, [&] {
    const TRect clip = canvas->GetClipRect();
    const Int64 clipTop = static_cast<Int64>(clip.Top) - y, clipBottom = static_cast<Int64>(clip.Bottom) - y;
    Integer row = 0, cur = strip;
    while (cur > 0 && row < h) {
      const Int64 from = std::max<Int64>(row, clipTop), to = std::min<Int64>(static_cast<Int64>(row) + cur, clipBottom);
      if (from < to) {
        LKPrintLogWrite("TLKBitmap.RenderToCanvas: PrintPict y=" + IntToStr(static_cast<Integer>(from)));
        PrintPict(canvas, x, y, temp.get(), 0, static_cast<Integer>(from), w, static_cast<Integer>(to - from));
      }
      const Integer next = std::min(h - cur - row, cur);
      row += cur;
      cur = next;
    }
  });
  LKPrintLogWrite("TLKBitmap.RenderToCanvas: end");
}

void TLKBitmap::DrawToCanvas(TCanvas* canvas, Integer x, Integer y) {
  RenderToCanvas(canvas, x, y, GetWidth(), GetHeight(), rfNone, 0);
}
