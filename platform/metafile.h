// Metafiles (the 16-bit and the enhanced kind) played into a 24-bit pixel
// buffer: lines, polylines, polygons, Béziers, rectangles, ellipses, arcs,
// chords and pies; pens, brushes (solid, hatched, bitmap patterns) and
// fonts; text with its alignment, escapement and advances; bitmaps with the
// common raster operations; clipping by rectangles, regions and paths;
// paths; the saved states, the mapping modes, the window and viewport and
// the world transform. Other records are skipped.
//
// Every record length is checked against the data before it is used; a
// record that runs past the end ends the playback (what came before stays
// drawn). Nothing read from the file sizes an allocation.
//
// Threads: one object belongs to one thread at a time; playback draws into
// the caller's buffer only, so workers may play their own metafiles.
#pragma once

#include <vector>

#include "platform/system.h"

class TMetafile {
 public:
  /// Takes the bytes of a file; false (Error says why) when they are no
  /// metafile of either kind or state no size.
  bool LoadFromBytes(std::vector<Byte> Data);
  bool LoadFromFile(const String& FileName);
  String Error() const { return FError; }
  /// The enhanced kind.
  bool Enhanced() const { return FEnhanced; }
  /// The picture's own size in pixels (0 before a load).
  Integer Width() const { return FWidth; }
  Integer Height() const { return FHeight; }
  /// Plays the records into Pixels (Height rows of Stride bytes, blue,
  /// green, red), scaled from the picture's own size to Width x Height.
  void Play(Byte* Pixels, Integer Width, Integer Height, Integer Stride) const;

 private:
  std::vector<Byte> FData;
  String FError;
  bool FEnhanced = false;
  Integer FWidth = 0, FHeight = 0;
  // The picture's frame: device units for the enhanced kind, logical units
  // for the 16-bit kind (placeable bounds or window).
  double FLeft = 0, FTop = 0;
  double FFrameW = 1, FFrameH = 1;
};
