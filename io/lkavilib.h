// The AVI file library's start for the I/O components: the first AVI open
// or create starts it once for the process (gAVIFILEinit), and the end of
// the program ends it.
#pragma once

/// Starts the AVI file library unless a component already did.
void LKStartAVIFileLibrary();
