// The standard colour dialog: Qt's own, non-native, shown modally.
#pragma once

#include "platform/graphics.h"

/// Lets the user choose a colour starting from Color; true (and Color set)
/// when the user confirmed.
bool ExecuteColorDialog(TColor& Color);
