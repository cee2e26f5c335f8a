// Colour tables of class-library bitmaps as the image buffer sees them: the
// grey table of 8-bit grey pictures and the palette of lk8p buffers.
#pragma once

#include "platform/system.h"

class TBitmap;
class TLKBitmap;

/// Sets the 256 colour-table entries of Bitmap to the greys 0..255 (entry i
/// is i, i, i); a bitmap with a smaller table gets as many as it holds.
/// Nothing for null.
void LKSetGrayPalette(TBitmap* Bitmap);

/// True when every colour-table entry of Bitmap (at most 256 are read) is
/// the grey of its index; also true for a bitmap without a colour table.
/// False for null.
bool LKIsGrayPalette(TBitmap* Bitmap);

/// Copies the colour table of a pf8bit bitmap (up to 256 entries) into the
/// palette of an lk8p buffer, entry by entry through TLKBitmap::SetPalette.
/// Any other pair of formats, or a null argument, does nothing.
void LKCopyTBitmapPaletteToTLKBitmap(TBitmap* Bitmap, TLKBitmap* Dest);
