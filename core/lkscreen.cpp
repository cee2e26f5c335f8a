#include "core/lkscreen.h"

Integer gSystemColors = 24;
bool gIsRemoteSession = false;
Integer gSystemDPIX = 96;
Integer gSystemDPIY = 96;
Integer gEdgeX = 2;
Integer gEdgeY = 2;
Integer gBorderX = 1;
Integer gBorderY = 1;
