// Rectangle copy between two image buffers of the same pixel format, used by
// the processing component's frame, crop and undo.
#pragma once

#include "platform/system.h"

class TLKBitmap;

/// Copies the Width x Height block at (SourceX, SourceY) of Source to
/// (DestX, DestY) of Dest, clipped to both bitmaps (a negative destination
/// origin moves the source origin by the same amount). Both must have the
/// same pixel format (lk1g copies bit runs, the others byte runs); other
/// pairs copy nothing. Alpha channels are not copied. Dest and Source must
/// be different buffers.
void LKProcCopyRect(TLKBitmap* Dest, TLKBitmap* Source, Integer SourceX, Integer SourceY, Integer DestX,
                    Integer DestY, Integer Width, Integer Height);
