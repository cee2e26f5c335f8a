#include "dialogs/lkiopreviewslogic.h"

#include "dialogs/lkopensavelogic.h"
#include "io/lkformatrow.h"

namespace {

bool Writable(Integer FileType) {
  const TLKFileFormatInfo* info = LKFileFormatGetInfo(FileType);
  return info != nullptr && LKFormatHasWriter(*info);
}

}  // namespace

TPreviewParams LKAvailableOptionPages(TPreviewParams Pages) {
  LKUpdateGIFStatus();
  struct TPage {
    TPreviewParam Page;
    Integer Type, Other;
  };
  static constexpr TPage kPages[] = {{ppJPEG, lkftJPEG, 0}, {ppTIFF, lkftTIFF, 0}, {ppGIF, lkftGIF, 0},
                                     {ppBMP, lkftBMP, 0},   {ppPCX, lkftPCX, 0},   {ppPNG, lkftPNG, 0},
                                     {ppTGA, lkftTGA, 0},   {ppJ2000, lkftJ2K, lkftJP2}};
  for (const TPage& p : kPages)
    if ((Pages & PreviewPage(p.Page)) && !Writable(p.Type) && !(p.Other && Writable(p.Other)))
      Pages &= TPreviewParams(~PreviewPage(p.Page));
  return Pages;
}

TPreviewParams LKPageOfFileType(Integer FileType) {
  switch (FileType) {
    case lkftTIFF: return PreviewPage(ppTIFF);
    case lkftGIF: return PreviewPage(ppGIF);
    case lkftJPEG: return PreviewPage(ppJPEG);
    case lkftPCX: return PreviewPage(ppPCX);
    case lkftBMP: return PreviewPage(ppBMP);
    case lkftPNG: return PreviewPage(ppPNG);
    case lkftTGA: return PreviewPage(ppTGA);
    case lkftJP2:
    case lkftJ2K: return PreviewPage(ppJ2000);
    default: return 0;
  }
}

Integer LKColorIndex(TLKColorList List, Integer Spp, Integer Bps, Integer Current) {
  switch (List) {
    case lkclBMP:
    case lkclPCX:
      if (Spp == 1 && Bps == 1) return 0;
      if (Spp == 1 && Bps == 4) return 1;
      if (Spp == 1 && Bps == 8) return 2;
      if (List == lkclBMP && Spp == 3 && (Bps == 5 || Bps == 8)) return 3;
      if (List == lkclPCX && Spp == 3) return 3;
      return Current;
    case lkclPNG:
      if (Spp == 1) return Bps == 1 ? 0 : 1;
      return 2;
    case lkclTIFF:
    case lkclTIFFSimple:
      if (Spp == 1 && Bps == 1) return 0;
      if (Spp == 1 && Bps >= 2 && Bps <= 4) return 1;
      if (Spp == 1 && Bps >= 5 && Bps <= 8) return 2;
      if (List == lkclTIFF && Spp == 1 && Bps == 16) return 3;
      if (Spp == 3 && Bps == 8) return List == lkclTIFF ? 4 : 3;
      return Current;
  }
  return Current;
}

bool LKColorValues(TLKColorList List, Integer Index, Integer& Bps, Integer& Spp) {
  struct TPair {
    Integer Bps, Spp;
  };
  static constexpr TPair kBMP[] = {{1, 1}, {4, 1}, {8, 1}, {8, 3}, {8, 3}};
  static constexpr TPair kPCX[] = {{1, 1}, {4, 1}, {8, 1}, {8, 3}};
  static constexpr TPair kPNG[] = {{1, 1}, {8, 1}, {8, 3}};
  static constexpr TPair kTIFF[] = {{1, 1}, {4, 1}, {8, 1}, {16, 1}, {8, 3}};
  const TPair* table = nullptr;
  Integer count = 0;
  switch (List) {
    case lkclBMP: table = kBMP, count = 5; break;
    case lkclPCX:
    case lkclTIFFSimple: table = kPCX, count = 4; break;
    case lkclPNG: table = kPNG, count = 3; break;
    case lkclTIFF: table = kTIFF, count = 5; break;
  }
  if (Index < 0 || Index >= count) return false;
  Bps = table[Index].Bps;
  Spp = table[Index].Spp;
  return true;
}

bool LKHasTIFFLZW() { return DefTIFF_LZWCOMPFUNC != nullptr; }

Integer LKCompToCombo(TIOTIFFCompression Comp, bool HasLZW) {
  switch (Comp) {
    case ioTIFF_CCITT1D: return 1;
    case ioTIFF_G3FAX1D: return 2;
    case ioTIFF_G3FAX2D: return 3;
    case ioTIFF_G4FAX: return 4;
    case ioTIFF_LZW: return HasLZW ? 5 : 6;
    case ioTIFF_JPEG: return HasLZW ? 6 : 5;
    case ioTIFF_PACKBITS: return HasLZW ? 7 : 6;
    default: return 0;
  }
}

TIOTIFFCompression LKComboToComp(Integer Index, bool HasLZW) {
  switch (Index) {
    case 1: return ioTIFF_CCITT1D;
    case 2: return ioTIFF_G3FAX1D;
    case 3: return ioTIFF_G3FAX2D;
    case 4: return ioTIFF_G4FAX;
    case 5: return HasLZW ? ioTIFF_LZW : ioTIFF_JPEG;
    case 6: return HasLZW ? ioTIFF_JPEG : ioTIFF_PACKBITS;
    case 7: return HasLZW ? ioTIFF_PACKBITS : ioTIFF_UNCOMPRESSED;
    default: return ioTIFF_UNCOMPRESSED;
  }
}
