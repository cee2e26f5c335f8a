// The built-in format table: one line per format, in registration order
// (the order the registry lists them and the open and save dialogs show
// them). Rows that are not registered (detection or component use only)
// come last. Each row is defined in its codec's folder as LKRow_<name>;
// formats whose codec has not arrived yet have placeholder rows in
// codecs/lkcodecs_placeholders.cpp.

#include "codecs/gif/giflzw.h"
#include "codecs/tiff/tifflzw.h"
#include "io/lkformatrow.h"
#include "io/lkparams.h"

#define LK_BUILTIN_FORMAT_ROWS(X) \
  X(TIFF)                         \
  X(GIF)                          \
  X(JPEG)                         \
  X(PCX)                          \
  X(BMP)                          \
  X(ICO)                          \
  X(CUR)                          \
  X(PNG)                          \
  X(WMF)                          \
  X(EMF)                          \
  X(TGA)                          \
  X(PXM)                          \
  X(WBMP)                         \
  X(JP2)                          \
  X(J2K)                          \
  X(PS)                           \
  X(PDF)                          \
  X(DCX)                          \
  X(RAW)                          \
  X(PSD)                          \
  X(AVI)                          \
  X(BMPRAW)

#define LK_DECLARE_ROW(Name) extern const TLKFormatRow LKRow_##Name;
LK_BUILTIN_FORMAT_ROWS(LK_DECLARE_ROW)

const std::vector<const TLKFormatRow*>& LKBuiltInFormatRows() {
#define LK_LIST_ROW(Name) &LKRow_##Name,
  static const std::vector<const TLKFormatRow*> rows = {LK_BUILTIN_FORMAT_ROWS(LK_LIST_ROW)};
#undef LK_LIST_ROW
  return rows;
}

void LKInstallDefaultLZW() {
  DefGIF_LZWDECOMPFUNC = GIFLZWDecompress;
  DefGIF_LZWCOMPFUNC = GIFLZWCompress;
  DefTIFF_LZWDECOMPFUNC = TIFFLZWDecompress;
  DefTIFF_LZWCOMPFUNC = TIFFLZWCompress;
}
