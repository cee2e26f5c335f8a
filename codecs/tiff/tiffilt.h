// TIFF page reader: one page of a TIFF stream into a bitmap and the
// parameter record (baseline tags, EXIF and GPS directories, IPTC, XMP, ICC
// profile, maker note), and the page count of a TIFF stream.
#pragma once

#include "core/hylkdefs.h"
#include "core/lkbitmap.h"
#include "core/lkmask.h"
#include "io/lkparams.h"
#include "platform/classes.h"

/// Reads page Params->TIFF_IMAGEINDEX of the TIFF at Stream's position.
///  - PageCount returns the number of directories in the chain.
///  - Params null: only counts the pages; bitmap and abort flag untouched.
///  - ParamsOnly: fills the parameters, decodes no pixels.
///  - AlphaMask: nil keeps alpha samples out; else a mask passed in *AlphaMask
///    is sized and filled, and one is created (owned by the caller) when the
///    page has an alpha sample.
///  - RelativeOffsets: offsets count from the stream position at the call
///    (a TIFF embedded in a larger stream); otherwise from position 0.
///  - IgnoreAlpha: alpha samples are dropped.
///  - ThumbnailMode: pages wider or taller than 400 pixels are refused and
///    the bitmap is cleared to black before decoding.
/// A header that is neither "II" nor "MM", a size of 0, differing sample
/// sizes, an LZW page without decoder and undecodable pixel data set the
/// abort flag of Progress. A first-directory offset of 0 or a page past the
/// last ends quietly with only PageCount set. Nothing is raised.
void TIFFReadStream(TLKBitmap* Bitmap, TStream* Stream, Integer& PageCount, TIOParamsVals* Params,
                    TProgressRec& Progress, bool ParamsOnly, TLKMask** AlphaMask, bool RelativeOffsets,
                    bool IgnoreAlpha, bool ThumbnailMode);

/// Number of pages of the TIFF at Stream's position (0 when it is none).
Integer _EnumTIFFImStream(TStream* Stream);

/// Asks the allocation gate for a page decoded into BitsPerPixel bits per
/// pixel: refused (abort flag with a reason) past the allocation limit, or
/// when the stream is too short for such a page in that coding even at the
/// coding's best ratio.
bool LKTIFFAllowPage(Integer Width, Integer Height, Integer Samples, Integer Bits, Integer Compression,
                     Integer BitsPerPixel, Int64 StreamSize, TProgressRec& Progress);

/// Writes Bitmap as one page of a little-endian TIFF. Append false: a new
/// file at the stream position; Append true: the stream holds a
/// little-endian TIFF from position 0 and the page is placed before page
/// Params.TIFF_IMAGEINDEX (last when the index is not below the count).
/// Bitmap nil writes a directory of the metadata entries only. Returns the
/// number of pages in the file afterwards, 0 (abort flag set) on failure.
/// The parameters keep the changes the writer makes to fit the bitmap.
Integer TIFFWriteStream(TStream* Stream, bool Append, TLKBitmap* Bitmap, TIOParamsVals& Params,
                        TProgressRec& Progress);
