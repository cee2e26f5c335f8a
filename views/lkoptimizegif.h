// Rewriting an animated GIF so that every frame after the first carries only
// the rectangle in which it differs from the frame shown before it.
#pragma once

#include "core/hylkdefs.h"

/// Loads every frame of Source as it shows while the animation plays, crops
/// each later frame to the box of pixels that changed since the frame
/// before, and writes the frames to Destination as a looping animation. A
/// frame in which a pixel turns transparent is kept whole, with the frame
/// before it cleared to the background. A source that yields no frame (not a
/// GIF, or missing) writes nothing; a frame that cannot be loaded ends the
/// animation there. Creates hidden views: main thread only.
void LKOptimizeGIF(const String& Source, const String& Destination);
