// The Qt side of the shell icon list, for the platform's own views.
#pragma once

#include <QIcon>

#include "platform/system.h"

/// The icon at Index of the shell icon list; a null icon outside it.
QIcon LKShellIcon(Integer Index);
