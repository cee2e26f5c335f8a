// Copies of what the X server shows: the whole screen, the program's
// active window or its client area, optionally with the arrow cursor drawn
// at the pointer. Main thread only (it asks the window system).
#pragma once

#include <vector>

#include "platform/system.h"

enum TLKScreenArea : Byte { lksaScreen, lksaActiveWindow, lksaActiveWindowClient };

/// Grabs Area into Pixels (top-down rows of Width x 3 bytes, blue, green,
/// red); false when there is nothing to grab (no active window, no screen).
bool LKGrabScreen(TLKScreenArea Area, bool WithCursor, Integer& Width, Integer& Height, std::vector<Byte>& Pixels);
