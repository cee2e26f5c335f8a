// Packed DIBs and YUV frames as the clipboard and devices hand them over:
// the reader must refuse or read any block without reading past it. The
// block is also drawn in place on a page as printing draws its strips.
#include <cstddef>
#include <cstdint>
#include <vector>

#include "core/lkbitmap.h"
#include "core/lkdibbitmap.h"
#include "platform/graphics.h"
#include "processing/lkcanvasdraw.h"
#include "processing/lkdibcopy.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  TLKBitmap bitmap;
  if (_CopyDIB2BitmapEx(data, size, &bitmap) != 0) {
    // What was read is written back and read again.
    std::vector<Byte> again = _CopyBitmaptoDIBEx(&bitmap, 0, 0, 0, 0);
    LKDIBGamma(again, 2.2);
    TLKBitmap second;
    _CopyDIB2BitmapEx(again, &second);
  }
  // The same block with its first half as header and table and its second
  // half as separate pixel data.
  TLKDibbitmap dib;
  _LKCopyDIB2Bitmap2Ex(data, size / 2, &dib, data + size / 2, size - size / 2);
  // Source and target rectangles from the block's first bytes, partly off
  // the page.
  if (size >= 4) {
    TBitmap page(16, 16, pf24bit);
    const std::vector<Byte> block(data, data + size);
    _DIBDrawTo(page.GetCanvas(), block, data[0] % 8, data[1] % 8, 1 + data[2] % 64, 1 + data[3] % 64, -4, -4, 24, 24);
  }
  return 0;
}
