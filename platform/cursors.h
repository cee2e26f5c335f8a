// The screen's cursor list: standard cursors (crArrow, crCross, ...) and the
// program's own cursors, registered under positive numbers from cursor
// resources. A resource holds a monochrome image and, optionally, a colour
// image with its own hot spot; the colour one is what the screen shows.
#pragma once

#include <optional>
#include <vector>

#include "platform/ctrltypes.h"

class QWidget;

/// One cursor picture: Width x Height pixels 0xAARRGGBB, rows top down,
/// and the hot spot (the pixel that points).
struct TCursorImage {
  Integer Width = 32, Height = 32;
  std::vector<Cardinal> Pixels;
  TPoint HotSpot;
};

/// A cursor resource: the monochrome image and the colour image, if any.
struct TCursorResource {
  TCursorImage Monochrome;
  std::optional<TCursorImage> Colour;
  /// The image shown: the colour one when there is one.
  const TCursorImage& Shown() const { return Colour ? *Colour : Monochrome; }
};

/// The program's own cursor resources, present from the start: the image
/// views' "ZOOMMENO", "ZOOMPIU", "CROCE", "GOMMA", "MANO", "PENNA",
/// "CROCE1", "CROCE3", "MOVE2", "MOVEY", "MOVE1", "MOVEX", "MOVE",
/// "CROCE3+", "CROCE3-", "CROCE2", "CROCE2+", "CROCE2-" and "1795" to
/// "1803", "1805" to "1808" (the numbered ones but "1803" with a colour
/// image), and the shell's hand and drag cursors "RX_HANDCUR" and
/// "RX_DRAGCUR", 32 x 32 each.
void RegisterBuiltinCursorResources();
/// Adds (or replaces) the program's cursor resource Name.
void RegisterCursorResource(const String& Name, TCursorResource Resource);
/// The resource Name, or null.
const TCursorResource* FindCursorResource(const String& Name);
/// Makes the resource Name screen cursor Id (replacing an earlier one);
/// false, changing nothing, when there is no such resource.
bool LoadScreenCursor(TCursor Id, const String& Name);
/// The program's screen cursor Id, or null (standard and unknown ones).
const TCursorResource* GetScreenCursor(TCursor Id);
/// Shows cursor Id over Widget: a standard shape, a registered cursor, or
/// the arrow for numbers nobody registered.
void ApplyCursor(QWidget* Widget, TCursor Id);
/// Shows cursor Id everywhere until the next call (crDefault: each
/// widget's own cursor again).
void SetOverrideCursor(TCursor Id);
