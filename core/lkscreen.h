// Screen and metric globals: read by every view, and by the imaging
// annotations, which store sizes in screen units. They hold fixed defaults
// (24 bits, not remote, 96 dpi, edge 2, border 1) until the views'
// LKViewInitGlobals reads the screen at start-up (main thread).
#pragma once

#include "core/hylkdefs.h"

extern Integer gSystemColors;
extern bool gIsRemoteSession;
extern Integer gSystemDPIX;
extern Integer gSystemDPIY;
extern Integer gEdgeX;
extern Integer gEdgeY;
extern Integer gBorderX;
extern Integer gBorderY;
