#include "core/lkbitmappalette.h"

#include <algorithm>
#include <vector>

#include "core/lkbitmap.h"
#include "platform/graphics.h"

void LKSetGrayPalette(TBitmap* Bitmap) {
  if (Bitmap == nullptr) return;
  std::vector<TRGBQuad> table(256);
  for (int i = 0; i < 256; ++i) {
    const auto v = static_cast<Byte>(i);
    table[static_cast<size_t>(i)] = TRGBQuad{v, v, v, 0};
  }
  Bitmap->SetColorTable(0, 256, table.data());
}

bool LKIsGrayPalette(TBitmap* Bitmap) {
  if (Bitmap == nullptr) return false;
  std::vector<TRGBQuad> table(256);
  const Integer n = Bitmap->GetColorTable(0, 256, table.data());
  for (Integer i = 0; i < n; ++i) {
    const TRGBQuad& q = table[static_cast<size_t>(i)];
    if (q.rgbRed != i || q.rgbGreen != i || q.rgbBlue != i) return false;
  }
  return true;
}

void LKCopyTBitmapPaletteToTLKBitmap(TBitmap* Bitmap, TLKBitmap* Dest) {
  if (Bitmap == nullptr || Dest == nullptr) return;
  if (Bitmap->GetPixelFormat() != pf8bit || Dest->GetPixelFormat() != lk8p) return;
  std::vector<TRGBQuad> table(256);
  const Integer n = Bitmap->GetColorTable(0, 256, table.data());
  for (Integer i = 0; i < n; ++i) {
    const TRGBQuad& q = table[static_cast<size_t>(i)];
    Dest->SetPalette(i, TRGB{q.rgbBlue, q.rgbGreen, q.rgbRed});
  }
}
