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
  TPreviewParams writable = PreviewPage(ppALL) | PreviewPage(ppAUTO);
  for (const TLKFormatRow& row : LKFormatRows())
    if (row.OptionPages && Writable(row.Type)) writable |= row.OptionPages;
  return Pages & writable;
}

TPreviewParams LKPageOfFileType(Integer FileType) {
  const TLKFormatRow* row = LKFormatRowOf(FileType);
  return row ? row->OptionPages : 0;
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
