// TBitmap storage of the image buffer: pixels held in a class-library bitmap
// (the buffer's own or a caller's), for the 1-, 8- and 24-bit formats.
#include <algorithm>
#include <vector>

#include "core/lkbitmap.h"
#include "core/lkbitmappalette.h"
#include "platform/graphics.h"

namespace {

// Message of a format that cannot live in a TBitmap, nil for one that can.
const char* UnsupportedInTBitmap(TLKPixelFormat f) {
  switch (f) {
    case lk32f:
      return "lk32f pixel format not allowed when Location=lkTBitmap";
    case lkCMYK:
      return "lkCMYK pixel format not allowed when Location=lkTBitmap";
    case lk48RGB:
      return "lkRGB48 pixel format not allowed when Location=lkTBitmap";
    case lkCIELab:
      return "lkCIELab pixel format not allowed when Location=lkTBitmap";
    default:
      return nullptr;
  }
}

// TBitmap format holding a buffer format (lk16g is held as 8-bit grey).
TPixelFormat TBitmapFormatOf(TLKPixelFormat f) {
  switch (f) {
    case lk1g:
      return pf1bit;
    case lk8p:
    case lk8g:
    case lk16g:
      return pf8bit;
    default:
      return pf24bit;
  }
}

// Gives a buffer of `format` its palette: 256 entries for lk8p (an existing
// palette is kept), none for every other format.
void FitPalette(TLKPixelFormat format, TRGB*& palette, Integer& paletteLen) {
  if (format == lk8p) {
    if (!palette) palette = new TRGB[256]();
    paletteLen = 256;
  } else {
    delete[] palette;
    palette = nullptr;
    paletteLen = 0;
  }
}

}  // namespace

void TLKBitmap::AllocateVclImage() {
  if (const char* msg = UnsupportedInTBitmap(PixelFormat)) throw Exception(msg);
  if (PixelFormat == lk16g) {
    PixelFormat = lk8g;
    BitCount = LKPixelFormatBitCount(lk8g);
    ChannelCount = LKPixelFormatChannelCount(lk8g);
    RowLen = LKBitmapRowLen(Width, BitCount, BitAlignment);
  }
  if (!VclBitmap) {
    VclBitmap = new TBitmap();
    VclBitmapEncapsulated = false;
  }
  VclBitmap->SetSize(1, 1);
  VclBitmap->SetPixelFormat(pfDevice);
  VclBitmap->SetPixelFormat(TBitmapFormatOf(PixelFormat));
  VclBitmap->SetSize(Width, Height);
  if (PixelFormat == lk8g) LKSetGrayPalette(VclBitmap);
  BuildBitmapScanlines();
}

void TLKBitmap::AssignVclImage(TLKBitmap* source, bool takeAlignment) {
  TLKPixelFormat format = source->GetPixelFormat();
  if (const char* msg = UnsupportedInTBitmap(format)) throw Exception(msg);
  // 16-bit grey is held as 8-bit grey; the row copy takes the high bytes.
  if (format == lk16g) format = lk8g;
  Width = source->GetWidth();
  Height = source->GetHeight();
  PixelFormat = format;
  if (takeAlignment) BitAlignment = source->BitAlignment;
  Full = source->Full;
  if (!VclBitmap) {
    VclBitmap = new TBitmap();
    VclBitmapEncapsulated = false;
  }
  VclBitmap->SetSize(1, 1);
  VclBitmap->SetPixelFormat(TBitmapFormatOf(format));
  VclBitmap->SetSize(Width, Height);
  if (format == lk8g) LKSetGrayPalette(VclBitmap);
  BitCount = LKPixelFormatBitCount(format);
  ChannelCount = LKPixelFormatChannelCount(format);
  RowLen = LKBitmapRowLen(Width, BitCount, BitAlignment);
  FitPalette(format, Palette, PaletteLen);
  BuildBitmapScanlines();
}

void TLKBitmap::FreeVclBitmap() {
  if (!VclBitmapEncapsulated) delete VclBitmap;
  VclBitmap = nullptr;
}

void TLKBitmap::UpdateFromTBitmap() {
  if (!VclBitmap) return;
  TPixelFormat pf = VclBitmap->GetPixelFormat();
  // Rows of other TBitmap formats do not have the layout of any buffer
  // format: bring them to 24 bits so row lengths match what is reported.
  if (pf != pf1bit && pf != pf8bit && pf != pf24bit) {
    VclBitmap->SetPixelFormat(pf24bit);
    pf = pf24bit;
  }
  TLKPixelFormat format = lk24RGB;
  if (pf == pf1bit) format = lk1g;
  if (pf == pf8bit) format = IsAlphaChannel || LKIsGrayPalette(VclBitmap) ? lk8g : lk8p;
  const Integer w = VclBitmap->GetWidth(), h = VclBitmap->GetHeight();
  if (w != Width || h != Height || format != PixelFormat) {
    Width = w;
    Height = h;
    PixelFormat = format;
    BitCount = LKPixelFormatBitCount(format);
    ChannelCount = LKPixelFormatChannelCount(format);
    RowLen = LKBitmapRowLen(Width, BitCount, BitAlignment);
    if (AlphaChannel && (AlphaChannel->Width != w || AlphaChannel->Height != h)) AlphaChannel->Allocate(w, h, lk8g);
    FitPalette(format, Palette, PaletteLen);
    BuildBitmapScanlines();
  } else if (h > 0 && (BitmapScanlines.size() != static_cast<size_t>(h) || BitmapScanlines[0] != VclBitmap->ScanLine(0))) {
    BuildBitmapScanlines();
  }
  if (format == lk8p && Palette) {
    const Integer n = std::min<Integer>(VclBitmap->GetColorTableCount(), 256);
    std::vector<TRGBQuad> table(static_cast<size_t>(n));
    if (n > 0) VclBitmap->GetColorTable(0, n, table.data());
    for (Integer i = 0; i < n && i < PaletteLen; ++i) {
      const TRGBQuad& q = table[static_cast<size_t>(i)];
      Palette[i] = TRGB{q.rgbBlue, q.rgbGreen, q.rgbRed};
    }
  }
}

void TLKBitmap::BuildBitmapScanlines() {
  BitmapScanlines.clear();
  if (!VclBitmap) return;
  const Integer h = VclBitmap->GetHeight();
  BitmapScanlines.resize(static_cast<size_t>(std::max<Integer>(h, 0)));
  for (Integer y = 0; y < h; ++y) BitmapScanlines[static_cast<size_t>(y)] = VclBitmap->ScanLine(y);
}

void TLKBitmap::FreeBitmapScanlines() { BitmapScanlines.clear(); }

void TLKBitmap::UpdateTBitmapPalette() {
  if (Location != lkTBitmap || PaletteLen < 1 || !Palette || !VclBitmap) return;
  const Integer n = std::min(PaletteLen, VclBitmap->GetColorTableCount());
  std::vector<TRGBQuad> table(static_cast<size_t>(std::max<Integer>(n, 0)));
  for (Integer i = 0; i < n; ++i) table[static_cast<size_t>(i)] = TRGBQuad{Palette[i].b, Palette[i].g, Palette[i].r, 0};
  if (n > 0) VclBitmap->SetColorTable(0, n, table.data());
}

Integer _Pixelformat2BitCount(TPixelFormat format) {
  switch (format) {
    case pf1bit:
      return 1;
    case pf4bit:
      return 4;
    case pf8bit:
      return 8;
    case pf15bit:
      return 15;
    case pf16bit:
      return 16;
    case pf24bit:
      return 24;
    case pf32bit:
      return 32;
    default:
      return 0;
  }
}

TPixelFormat _Bitcount2Pixelformat(Integer bits) {
  switch (bits) {
    case 1:
      return pf1bit;
    case 4:
      return pf4bit;
    case 8:
      return pf8bit;
    case 15:
      return pf15bit;
    case 16:
      return pf16bit;
    case 24:
      return pf24bit;
    case 32:
      return pf32bit;
    default:
      return pfCustom;
  }
}

Integer _PixelFormat2RowLen(Integer width, TPixelFormat format) {
  return LKBitmapRowLen(width, _Pixelformat2BitCount(format), 32);
}

TLKPixelFormat LKVCLPixelFormat2LumerakPixelFormat(TPixelFormat format) {
  switch (format) {
    case pf1bit:
      return lk1g;
    case pf4bit:
    case pf8bit:
      return lk8p;
    default:
      return lk24RGB;
  }
}
