// Scaled drawing of image buffers into 24-bit bitmaps (the TLKBitmap
// rendering methods are declared in core/lkbitmap.h) and the helpers a
// caller needs to keep the coordinate tables a render call hands back.
#pragma once

#include "core/lkbitmap.h"

/// The renderer's 1:1 ratio: source-per-destination steps are fixed point
/// with 14 fraction bits.
inline constexpr Integer LKRenderOneToOne = 16384;

/// Frees the row, column and row-index tables a render call handed over
/// (any of them may be nil) and sets the three references to nil.
void LKFreeRenderTables(void**& rowTable, Integer*& colTable, Integer*& rowIndexTable);
