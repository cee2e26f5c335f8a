// Globals and small helpers of the I/O unit that the image buffer and the
// processing routines need below the I/O layer: the temporary folder, the
// CMYK conversions, the print log and the colour-space names of the ICC rows.
#pragma once

#include "core/hylkdefs.h"

/// Folder for temporary files, ending with a path separator; empty after
/// start-up, which means the system's temporary folder.
extern String DefTEMPPATH;

/// Name of the process-wide print log file; empty (no log) after start-up.
extern String lkgPrintLogFileName;

/// Pixel layout named by the ICC transforms and the I/O row colour converter.
enum TLKColorSpace : Byte {
  lkcmsRGB,
  lkcmsBGR,
  lkcmsCMYK,
  lkcmsCMYK6,
  lkcmsCIELab,
  lkcmsGray8,
  lkcmsRGB48,
  lkcmsRGB48_SE,
  lkcmsYCBCR,
};

/// RGB to inverted CMYK: m = max(r, g, b) (1 when all are 0); cyan = r*255
/// div m, magenta = g*255 div m, yellow = b*255 div m, black = m.
TCMYK LKRGB2CMYK(TRGB rgb);

/// Inverted CMYK to RGB: red = cyan*black div 255, and likewise.
TRGB LKCMYK2RGB(TCMYK cmyk);

/// Appends one line "date time : text" (the platform's fixed date and time
/// texts) to the print log when a log file name is set; does nothing
/// otherwise. Raises EFOpenError when the file cannot be
/// opened for appending.
void LKPrintLogWrite(const String& text);
