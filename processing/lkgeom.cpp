// Mirrors, exact quarter turns and canvas resize.
#include <algorithm>
#include <cstring>
#include <string>
#include <vector>

#include "core/lkbitmap.h"
#include "platform/graphics.h"
#include "processing/lkprocutils.h"
#include "processing/lumerakproc.h"

namespace {

// Bytes of a band of turned rows kept in memory at once: the source is read
// once per band, row by row, which suits file storage.
constexpr Int64 kBandBytes = 16 * 1024 * 1024;

// Copies pixel sx of a source row to pixel dx of a destination row.
inline void CopyPixel(Byte* dst, Integer dx, const Byte* src, Integer sx, Integer bits) {
  if (bits == 1) {
    _SetPixelbw(dst, dx, _GetPixelbw(src, sx) != 0 ? 1 : 0);
  } else {
    const size_t n = static_cast<size_t>(bits / 8);
    std::memcpy(dst + static_cast<size_t>(dx) * n, src + static_cast<size_t>(sx) * n, n);
  }
}

// Quarter turn of Source into Dest; clockwise or counter-clockwise.
void Rot90(TLKBitmap* Source, TLKBitmap* Dest, bool clockwise) {
  if (!Source || !Dest || Source == Dest) return;
  const Integer w = Source->GetWidth(), h = Source->GetHeight();
  const TLKPixelFormat format = Source->GetPixelFormat();
  Dest->Allocate(h, w, format);
  for (Integer i = 0; i < Source->GetPaletteLen(); ++i) Dest->SetPalette(i, Source->GetPalette(i));
  if (w <= 0 || h <= 0 || format == lknull) return;
  const Integer bits = Source->GetBitCount();
  const Integer destRowLen = Dest->GetRowLen();
  const Integer band = static_cast<Integer>(std::clamp<Int64>(kBandBytes / std::max(destRowLen, 1), 1, w));
  std::vector<Byte> buffer(static_cast<size_t>(band) * static_cast<size_t>(destRowLen));
  std::vector<Byte> srcRow(static_cast<size_t>(Source->GetRowLen()));
  for (Integer r0 = 0; r0 < w; r0 += band) {
    const Integer r1 = std::min(w, r0 + band);
    std::fill(buffer.begin(), buffer.end(), Byte{0});
    for (Integer y = 0; y < h; ++y) {
      std::memcpy(srcRow.data(), Source->GetScanLine(y), srcRow.size());
      // Clockwise: destination row r is source column r, source row y lands
      // in column h - 1 - y. Counter-clockwise: destination row r is source
      // column w - 1 - r, source row y lands in column y.
      const Integer col = clockwise ? h - 1 - y : y;
      for (Integer r = r0; r < r1; ++r) {
        const Integer x = clockwise ? r : w - 1 - r;
        CopyPixel(buffer.data() + static_cast<size_t>(r - r0) * destRowLen, col, srcRow.data(), x, bits);
      }
    }
    for (Integer r = r0; r < r1; ++r)
      std::memcpy(Dest->GetScanLine(r), buffer.data() + static_cast<size_t>(r - r0) * destRowLen,
                  static_cast<size_t>(destRowLen));
  }
  Dest->SetFull(Source->GetFull());
}

// Quarter turn of a pf24bit class-library bitmap.
void Rot90Vcl(TBitmap* Source, TBitmap* Dest, bool clockwise) {
  if (!Source || !Dest || Source == Dest || Source->GetPixelFormat() != pf24bit) return;
  const Integer w = Source->GetWidth(), h = Source->GetHeight();
  std::vector<const Byte*> rows(static_cast<size_t>(std::max(h, 0)));
  for (Integer y = 0; y < h; ++y) rows[static_cast<size_t>(y)] = Source->ScanLine(y);
  Dest->SetPixelFormat(pf24bit);
  Dest->SetSize(h, w);
  for (Integer r = 0; r < w; ++r) {
    Byte* dst = Dest->ScanLine(r);
    for (Integer c = 0; c < h; ++c) {
      const Integer x = clockwise ? r : w - 1 - r;
      const Integer y = clockwise ? h - 1 - c : c;
      std::memcpy(dst + static_cast<size_t>(c) * 3, rows[static_cast<size_t>(y)] + static_cast<size_t>(x) * 3, 3);
    }
  }
}

}  // namespace

void _Rot90o(TBitmap* Source, TBitmap* Dest) { Rot90Vcl(Source, Dest, true); }
void _Rot90(TBitmap* Source, TBitmap* Dest) { Rot90Vcl(Source, Dest, false); }

void _FlipEx(TLKBitmap* Bitmap, TFlipDir Direction) {
  if (!Bitmap || Bitmap->IsEmpty()) return;
  const Integer w = Bitmap->GetWidth(), h = Bitmap->GetHeight();
  const Integer bits = Bitmap->GetBitCount();
  const size_t rowLen = static_cast<size_t>(Bitmap->GetRowLen());
  std::vector<Byte> a(rowLen), b(rowLen);
  if (Direction == fdVertical) {
    // Rows are swapped in pairs through copies, since file storage keeps
    // only the row asked for last.
    for (Integer y = 0; y < h / 2; ++y) {
      std::memcpy(a.data(), Bitmap->GetScanLine(y), rowLen);
      std::memcpy(b.data(), Bitmap->GetScanLine(h - 1 - y), rowLen);
      std::memcpy(Bitmap->GetScanLine(h - 1 - y), a.data(), rowLen);
      std::memcpy(Bitmap->GetScanLine(y), b.data(), rowLen);
    }
  } else {
    for (Integer y = 0; y < h; ++y) {
      Byte* row = static_cast<Byte*>(Bitmap->GetScanLine(y));
      std::memcpy(a.data(), row, rowLen);
      // Pixel by pixel at the format's own size; on 1-bit rows this keeps the
      // spare bits of the last byte from shifting the picture.
      for (Integer x = 0; x < w; ++x) CopyPixel(row, x, a.data(), w - 1 - x, bits);
    }
  }
  if (Bitmap->GetHasAlphaChannel()) _FlipEx(Bitmap->GetAlphaChannel(), Direction);
}

void _Rot90oEx(TLKBitmap* Source, TLKBitmap* Dest) { Rot90(Source, Dest, true); }
void _Rot90Ex(TLKBitmap* Source, TLKBitmap* Dest) { Rot90(Source, Dest, false); }
void _Rot90oEx8(TLKBitmap* Source, TLKBitmap* Dest) { Rot90(Source, Dest, true); }
void _Rot90Ex8(TLKBitmap* Source, TLKBitmap* Dest) { Rot90(Source, Dest, false); }

void TLumerakProc::Flip(TFlipDir Direction) {
  RunWholeImage({}, "Flip", [&](TLKBitmap* b) { _FlipEx(b, Direction); });
}

void TLumerakProc::ImageResize(Integer NewWidth, Integer NewHeight, TLKHAlign HAlign, TLKVAlign VAlign) {
  // A canvas of no or negative size holds nothing: refused before any undo.
  if (NewWidth <= 0 || NewHeight <= 0 || !MakeConsistentBitmap({})) return;
  if (FAutoUndo)
    SaveUndoCaptioned("ImageResize " + std::to_string(NewWidth) + "," + std::to_string(NewHeight), lkuImage);
  if (FBitmap->GetWidth() < 2 && FBitmap->GetHeight() < 2) Clear();
  FBitmap->Resize(NewWidth, NewHeight, GetReBackground(), 255, HAlign, VAlign);
  Update();
  DoFinishWork();
}
