// PCX pictures and DCX files (a table of page offsets followed by PCX
// pictures).
#pragma once

#include "core/hylkdefs.h"
#include "core/lkbitmap.h"
#include "io/lkparams.h"
#include "platform/classes.h"

/// Reads one PCX picture starting at the stream position. DataLength is the
/// number of bytes of the picture from its header on (it locates the
/// 256-colour palette at its end); -1 means up to the end of the stream.
/// The bitmap becomes lk1g for one 1-bit plane, lk24RGB otherwise. Bad
/// headers and data that end before the last row set the abort flag (the
/// rows decoded so far are kept, the rest stay zero).
void ReadPcxStream(TStream* Stream, TLKBitmap* Bitmap, TIOParamsVals& Params, Int64 DataLength,
                   TProgressRec& Progress, bool ParamsOnly);
/// Writes one PCX picture at the stream position: 1, 4, 8 or 24 bits as
/// BITSPERSAMPLE x SAMPLESPERPIXEL says (other products write 24 bits).
void WritePcxStream(TStream* Stream, TLKBitmap* Bitmap, TIOParamsVals& Params, TProgressRec& Progress);
/// The file variants: the reader takes the file's size as data length.
void ReadPcx(const String& FileName, TLKBitmap* Bitmap, TIOParamsVals& Params, TProgressRec& Progress);
void WritePcx(const String& FileName, TLKBitmap* Bitmap, TIOParamsVals& Params, TProgressRec& Progress);

/// Most pages a DCX table lists.
constexpr Integer kLKDCXMaxPages = 1024;
/// True when the stream starts with the DCX magic and every listed offset
/// lies inside the stream; the position is restored.
bool LKDCXTryStream(TStream* Stream);
/// Pages listed (up to the first zero offset, at most 1024); position
/// restored. 0 when the stream is no DCX.
Integer LKDCXCountStream(TStream* Stream);
/// Reads page DCX_IMAGEINDEX (clamped to the pages there are and stored back
/// with SetImageIndex). A stream that is no DCX, or one without pages, sets
/// the abort flag.
void LKDCXReadStream(TStream* Stream, TLKBitmap* Bitmap, TIOParamsVals& Params, TProgressRec& Progress,
                     bool ParamsOnly);
/// Rebuilds the DCX of the stream (an empty stream counts as a DCX without
/// pages) with the bitmap written as a PCX page before page DCX_IMAGEINDEX
/// (after the last when it equals the page count; an index outside writes
/// no new page). A stream that is no DCX, or a table that is full, sets the
/// abort flag and leaves the stream alone.
void LKDCXInsertStream(TStream* Stream, TLKBitmap* Bitmap, TIOParamsVals& Params, TProgressRec& Progress);
/// Rebuilds the DCX of the stream without page Index (clamped); a stream
/// that is no DCX, or one without pages, is left unchanged. Returns the
/// pages kept (0 when nothing was done).
Integer LKDCXDeleteStream(TStream* Stream, Integer Index);
/// Copies page Index of the DCX (a PCX picture) to Output's position; false
/// when the stream is no DCX or has no such page.
bool LKDCXExtractStream(TStream* Stream, Integer Index, TStream* Output);
