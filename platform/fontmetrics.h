// Vertical metrics of a font, for code that places text by its baseline.
#pragma once

#include "platform/graphics.h"

/// Cell height (ascent plus descent), ascent and internal leading (the part
/// of the cell above the character height) of a font, in pixels.
struct TLKFontMetrics {
  Integer Height = 0;
  Integer Ascent = 0;
  Integer InternalLeading = 0;
};

/// The metrics of Font as the canvas draws it (needs a QGuiApplication).
TLKFontMetrics GetFontMetrics(const TFont& Font);
