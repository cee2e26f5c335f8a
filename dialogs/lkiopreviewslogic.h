// The tables of the format-options dialog, apart from any window: which
// pages may be shown, the colour lists' indices derived from samples per
// pixel and bits per sample and the values written back, and the TIFF
// compression list with and without the LZW coder.
#pragma once

#include "core/hylkdefs.h"
#include "io/lkfileformats.h"
#include "io/lkparams.h"

/// Pages minus those that no writable format names in its row's
/// OptionPages (its codec has not arrived, or its coder hook is not
/// installed). ppALL and ppAUTO stay.
TPreviewParams LKAvailableOptionPages(TPreviewParams Pages);

/// The pages of a "FILETYPE": the OptionPages of its built-in row; 0 for a
/// type without a row.
TPreviewParams LKPageOfFileType(Integer FileType);

/// Colour lists of the pages.
enum TLKColorList : Byte {
  lkclBMP,         ///< "B/W", "16", "256", "16M", "16M (32bit)"
  lkclPCX,         ///< "B/W", "16", "256", "16M"
  lkclPNG,         ///< "B/W", "256", "16M" (TGA too)
  lkclTIFF,        ///< "B/W", "16", "256", "65536", "16M"
  lkclTIFFSimple,  ///< "2", "16", "256", "16777216"
};

/// The list index for SamplesPerPixel and BitsPerSample; Current when no
/// entry matches (the list keeps its selection).
Integer LKColorIndex(TLKColorList List, Integer SamplesPerPixel, Integer BitsPerSample, Integer Current);
/// The bits per sample and samples per pixel an index writes; false for an
/// index outside the list (nothing written).
bool LKColorValues(TLKColorList List, Integer Index, Integer& BitsPerSample, Integer& SamplesPerPixel);

/// Whether the TIFF LZW compressor hook is installed (the list shows "LZW").
bool LKHasTIFFLZW();
/// The TIFF compression list's item index of a compression.
Integer LKCompToCombo(TIOTIFFCompression Comp, bool HasLZW);
/// The compression of a list item (unknown indices: uncompressed).
TIOTIFFCompression LKComboToComp(Integer Index, bool HasLZW);
