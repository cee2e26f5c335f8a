// Colour matching of a picture to a reference picture by per-channel
// histogram matching.
#pragma once

class TLKBitmap;

/// Matches each channel's histogram of Bitmap to the same channel of
/// Reference: every channel is first equalised over its own histogram, then
/// mapped to the level whose cumulative reference share is nearest (the
/// lowest level winning a tie).
///  - Reference: must be lk24RGB; otherwise, or when either bitmap is empty,
///    nothing changes.
///  - Bitmap: lk24RGB (bytes) or lk48RGB (16-bit samples, matched on their
///    high byte, so every sample ends as a multiple of 257); other formats
///    are left unchanged.
/// Null pointers are ignored. Never raises.
void LKAdjustColors(TLKBitmap* Reference, TLKBitmap* Bitmap);
