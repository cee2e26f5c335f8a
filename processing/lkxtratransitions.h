// The transition list: a name for each of the 163 named transitions and,
// for types 31 to 163, the procedure that draws one frame of it.
//
// A procedure draws parts of the to picture onto the frame for a progress
// in percent, either as stretched rectangle copies or through a clipping
// region; what it does not draw keeps the previous frame's content (the
// engine keeps the frame between calls and starts it as the from picture).
// The push and squeeze procedures also move the frame's present content.
// No procedure reads the from picture.
#pragma once

#include <cstdint>
#include <vector>

#include "core/hylkdefs.h"
#include "platform/system.h"

class TBitmap;
class TCanvas;

/// One frame of a list transition: Canvas is the frame's canvas, Rect the
/// frame rectangle (0, 0, w, h), Fixed the strip factor (1 from the engine)
/// and Percent the progress 0..100.
using TEffectProc = void (*)(TCanvas* Canvas, TBitmap* FromBitmap, TBitmap* ToBitmap, const TRect& Rect,
                             Integer Fixed, Integer Percent);

struct TEffect {
  const char* Name;
  TEffectProc Proc;  // nil for the transitions the engine draws itself
};

/// Entry i - 1 describes transition type i (1..163).
inline constexpr Integer LKTransitionListCount = 163;
extern const TEffect LKTransitionList[LKTransitionListCount];

/// Rounded (half away from zero) a * b / c through a 64-bit product; -1
/// when c is 0.
Integer LKMulDiv(Integer a, Integer b, Integer c);

/// Stretches Source of Bitmap (limited to its bounds) into Dest of the
/// canvas's surface, turned over horizontally and/or vertically.
void MirrorCopyRect(TCanvas* Canvas, const TRect& Dest, TBitmap* Bitmap, const TRect& Source, bool MirrorH,
                    bool MirrorV);

/// Rotates every point about (Cx, Cy) by Angle radians (rounded half to
/// even).
void RotatePoints(TPoint* Points, Integer Count, Integer Cx, Integer Cy, long double Angle);

/// The random source of the transitions: a uniform draw in 0..N-1 (0 when
/// N < 1). Seeded once at start-up; tests may seed it to repeat a run.
Integer LKTransitionRandom(Integer N);
void LKTransitionRandomSeed(std::uint64_t Seed);
