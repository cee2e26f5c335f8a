// The preset thumbnail frames: four decorative frame pictures (PNG data in
// the program) with the rectangle inside each where a thumbnail goes. The
// thumbnail view draws its cells in one of them, its white parts tinted
// (TLumerakMView::SetPresetThumbnailFrame).
#pragma once

#include <vector>

#include "core/hylkdefs.h"
#include "io/lkformatrow.h"
#include "platform/classes.h"

/// One preset frame.
struct TLKPresetImage {
  Integer Size;        ///< bytes of the encoded picture
  const void* Data;    ///< the encoded picture (constant data of the program)
  Integer FileType;    ///< the registry's file type of Data (PNG)
  TRect Inner;         ///< where the thumbnail goes, in frame pixels
};

/// The four preset frames, in a fixed order.
const std::vector<TLKPresetImage>& LKPresetImages();
