// The start and end of the system's AVI file library, which callers bracket
// their AVI work with. Our AVI reader and writer (platform/avifile.h) need
// no library start, so the calls only count starts not yet ended.
#pragma once

#include "platform/system.h"

void AVIFileInit();
/// Ends one start; more ends than starts change nothing.
void AVIFileExit();
/// Starts not yet ended.
Integer AVIFileStarts();
