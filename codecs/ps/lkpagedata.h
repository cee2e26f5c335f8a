// Picture data of one page as the PostScript and PDF writers embed it: the
// bit rows of a 1-bit picture, their fax coding, the colour rows in
// red-green-blue order, and the bitmap a page is made from.
#pragma once

#include <memory>
#include <vector>

#include "core/hylkdefs.h"
#include "core/lkbitmap.h"
#include "io/lkparams.h"

/// The bitmap a page is written from: Bitmap itself when it is lk1g or
/// lk24RGB, else a lk24RGB copy kept in Copy. Null (abort flag set) for a
/// picture without pixels.
TLKBitmap* LKPageBitmap(TLKBitmap* Bitmap, std::unique_ptr<TLKBitmap>& Copy, TProgressRec& Progress,
                        const char* Format);

/// The rows of a lk1g picture, top first, ceil(width / 8) bytes each (1 is
/// white, as the page languages' grey default).
void LKJoinBitRows(TLKBitmap& Bitmap, std::vector<Byte>& Out);

/// The rows of a lk1g picture through the Group 4 (or Group 3
/// two-dimensional) line coder, flushed at the end. The rows go in as they
/// are, so the decoder must be told /BlackIs1 true to give them back.
void LKFaxEncodePage(TLKBitmap& Bitmap, bool G4, TProgressRec& Progress, std::vector<Byte>& Out);

/// Row Y of a lk24RGB picture in red-green-blue order.
void LKRGBRow(TLKBitmap& Bitmap, Integer Y, Byte* Out);

/// Reports trunc(Row * 100 / Height) to the progress event.
void LKPageProgress(TProgressRec& Progress, Integer Row, Integer Height);

/// The JPEG colour space a page stores: the parameters' own, except those
/// the page cannot declare, which become YCbCr (PostScript pages declare
/// three components; PDF pages also grey).
TIOJPEGColorspace LKPageJpegColorspace(TIOJPEGColorspace Wanted, bool GreyAllowed);

/// Bitmap through the JPEG writer into Out, in the colour space
/// LKPageJpegColorspace gives (the parameters keep their own); returns that
/// colour space.
TIOJPEGColorspace LKPageJpeg(TLKBitmap& Bitmap, TIOParamsVals& Params, TProgressRec& Progress, bool GreyAllowed,
                             TMemoryStream& Out);
