#include "core/lkbitmap.h"

// TBitmap storage needs the class-library bitmap of the platform layer.
void TLKBitmap::AllocateVclImage() { throw Exception("TBitmap storage is not available"); }
void TLKBitmap::AssignVclImage(TLKBitmap*, bool) { throw Exception("TBitmap storage is not available"); }
void TLKBitmap::FreeVclBitmap() { VclBitmap = nullptr; }
void TLKBitmap::UpdateFromTBitmap() {}
void TLKBitmap::BuildBitmapScanlines() {}
void TLKBitmap::FreeBitmapScanlines() { BitmapScanlines.clear(); }
void TLKBitmap::UpdateTBitmapPalette() {}
