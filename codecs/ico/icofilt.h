// Windows icon and cursor codecs: one image of an icon (ICO) or cursor
// (CUR) file with its transparency, the image count, and multi-size icon
// writing from one bitmap.
#pragma once

#include <vector>

#include "core/hylkdefs.h"
#include "core/lkbitmap.h"
#include "core/lkmask.h"
#include "io/lkparams.h"
#include "platform/classes.h"

/// Content probes: a directory of the type (1 icon, 2 cursor) whose entries
/// are sound; the position is restored.
bool ICOTryStream(TStream* Stream);
bool CURTryStream(TStream* Stream);
/// The image count of an icon directory; the position is restored.
Integer _EnumICOImStream(TStream* Stream);

/// Reads image ICO_IMAGEINDEX (lk1g for 1-bit images, else lk24RGB) and its
/// transparency into Mask unless IgnoreAlpha (null when every pixel is
/// opaque); transparent pixels of palette images take ICO_BACKGROUND. A
/// stream that begins with "BM" is read as a bitmap file. Fills
/// ICO_PageSizes and ICO_PageBitCounts from the directory.
void ICOReadStream(TStream* Stream, TLKBitmap* Bitmap, TIOParamsVals& Params, bool ParamsOnly,
                   TProgressRec& Progress, TLKMask*& Mask, bool IgnoreAlpha);
/// Reads image CUR_IMAGEINDEX of a cursor with its hot spot; 1-, 4- and 8-bit
/// images are decoded, transparent pixels take CUR_BACKGROUND, and the mask
/// is returned whenever alpha is not ignored.
void CURReadStream(TStream* Stream, TLKBitmap* Bitmap, TIOParamsVals& Params, bool ParamsOnly,
                   TProgressRec& Progress, TLKMask*& Mask, bool IgnoreAlpha);

/// Writes an icon with one image per size (resampled from Bitmap) at the bit
/// count of the same index (0: from SAMPLESPERPIXEL and BITSPERSAMPLE).
void ICOWriteStream(TStream* Stream, TLKBitmap* Bitmap, TIOParamsVals& Params, TProgressRec& Progress,
                    const std::vector<TSize>& Sizes, const std::vector<Integer>& BitCounts);

/// One image of an icon written from views: the view's picture and the
/// parameters of its I/O component (null: the depth follows the pixel
/// format, 1 bit for lk1g, 8 for lk8p, 32 with an alpha channel, else 24).
struct TLKIconImage {
  TLKBitmap* Bitmap = nullptr;
  TIOParamsVals* Params = nullptr;
};

/// Writes an icon with one image per entry of Images (empty pictures
/// skipped), each at its own size, at the bit count its parameters' samples
/// and bits give (a two-level picture sets them to 1 and 1). Palette images
/// take all 16 or 256 entries from the quantiser; transparency (alpha below
/// 255) is only in the AND mask. Nothing to write aborts.
void ICOWriteStream2(TStream* Stream, const std::vector<TLKIconImage>& Images, TProgressRec& Progress);
