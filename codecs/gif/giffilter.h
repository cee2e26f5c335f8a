// GIF codec: reads one frame of a (possibly animated) GIF stream, writes a
// bitmap as a one-frame GIF, composes the frames of an animation on its
// logical screen, and edits existing GIF files without decoding their
// pixels (insert a frame, delete or count frames, add or test the looping
// block). Pixel data goes through the LZW hooks of the parameters, or the
// process-wide hooks when those are null (see giflzw.h).
#pragma once

#include "core/hylkdefs.h"
#include "core/lkbitmap.h"
#include "core/lkmask.h"
#include "io/lkparams.h"
#include "platform/classes.h"

/// Reads frame GIF_IMAGEINDEX of the GIF at the stream's position into
/// Bitmap (lk1g for a black-and-white table, lk8p with ISNATIVEPIXELFORMAT,
/// else lk24RGB) and fills the GIF parameters. FrameCount receives the
/// number of frames found (also stored as GIF_IMAGECOUNT). With ParamsOnly
/// no pixels are decoded. Unless IgnoreAlpha, Mask receives the frame's
/// transparency (created when null, freed and set to null when every pixel
/// is opaque). Failures set the abort flag; comments are appended to the
/// comment list, which is not cleared first.
void ReadGIFStream(TStream* Stream, TLKBitmap* Bitmap, Integer& FrameCount, TIOParamsVals& Params,
                   TProgressRec& Progress, bool ParamsOnly, TLKMask*& Mask, bool IgnoreAlpha);
/// ReadGIFStream over a file (pixels decoded).
void ReadGIF(const String& FileName, TLKBitmap* Bitmap, Integer& FrameCount, TIOParamsVals& Params,
             TProgressRec& Progress, TLKMask*& Mask, bool IgnoreAlpha);

/// Writes Bitmap as a GIF of exactly one frame at the stream's position,
/// with BITSPERSAMPLE bits per pixel (1..8), the frame options, disposal and
/// comments of Params. A bitmap with an alpha channel gets a transparent
/// index for every pixel whose alpha is below 255 (GIF_TRANSPARENT becomes
/// true). Failures (a missing encoder, short writes) set the abort flag.
void WriteGIFStream(TStream* Stream, TLKBitmap* Bitmap, TIOParamsVals& Params, TProgressRec& Progress);
/// WriteGIFStream into a new file.
void WriteGIF(const String& FileName, TLKBitmap* Bitmap, TIOParamsVals& Params, TProgressRec& Progress);

/// Rebuilds the GIF at the stream's position with Bitmap inserted as frame
/// GIF_IMAGEINDEX (0 .. frame count); returns the frame count of the result,
/// 0 when the stream is no GIF or nothing could be done.
Integer _InsertGIFImStream(TStream* Stream, TLKBitmap* Bitmap, TIOParamsVals& Params, TProgressRec& Progress);
/// _InsertGIFImStream over a file opened for reading and writing.
Integer _InsertGIFIm(const String& FileName, TLKBitmap* Bitmap, TIOParamsVals& Params, TProgressRec& Progress);
/// Copies the file without frame Index; with Save the copy replaces the
/// file. Returns the frames copied (index -1 and no save: the frame count).
Integer _DeleteGIFIm(const String& FileName, Integer Index, bool Save);
/// The same on the GIF at the stream's position; with Save the stream's
/// content from there is replaced. The position is restored.
Integer _DeleteGIFImStream(TStream* Stream, Integer Index, bool Save);
/// True when the first block after the header and global table is the
/// looping application block.
bool _CheckGIFAnimate(const String& FileName);
/// Puts the looping block with LoopCount (0: forever) first, replacing an
/// old one, and grows the logical screen to Width x Height.
void _GIFMakeAnimate(const String& FileName, Word LoopCount, Integer Width, Integer Height);

/// Loads frame GIF_IMAGEINDEX of an animation as it shows while playing:
/// frames 0 .. GIF_IMAGEINDEX are drawn on a logical-screen-sized picture
/// with their disposal ("restore previous" puts back what the frame's area
/// held before it was drawn). A single-frame GIF is loaded as decoded.
/// Bitmap receives the result (with alpha channel) in the pixel format of
/// the last frame decoded; returns the frame count (0 when none could be
/// counted). The position and disposal parameters then describe the
/// composite. Failures set the abort flag and keep the last frame composed.
Integer LKComposeGIFFrames(TStream* Stream, TLKBitmap* Bitmap, TIOParamsVals& Params, TProgressRec& Progress);
