// Operations on an existing JPEG stream that never decode its pixels: the
// lossless transforms (crop, mirrors, transposes and rotations done by
// moving DCT coefficient blocks), the injection of IPTC and EXIF metadata by
// copying the stream marker by marker, and the estimate of the quality
// factor from the quantisation tables.
#pragma once

#include <vector>

#include "core/hylkdefs.h"
#include "io/lkjpegtransform.h"
#include "io/lkmarkers.h"
#include "io/lkparams.h"
#include "platform/classes.h"
#include "platform/system.h"

/// Number of quality values LKGetJpegQuality reports at most.
inline constexpr Integer LKJpegQualityMax = 15;

/// Transforms the JPEG found at In's position (within its first 100 bytes)
/// and writes the result to Out.
///  - Transform: a TLKJpegTransform code. Mirrors and rotations drop the
///    partial MCU at the edge they move (when the picture holds at least one
///    whole MCU there); transposing keeps every pixel.
///  - Grayscale: keeps only the luminance of a YCbCr or grey picture.
///  - CopyMarkers: markers carried over (a JFIF or Adobe marker the output
///    writes itself is not duplicated).
///  - Crop: for jtCut, the rectangle with right and bottom inside the crop.
///    The origin moves left and up to the MCU grid, the size covers the
///    MCUs the rectangle touches, never past the picture's edge.
/// Every failure sets Progress's abort flag (not a JPEG, a library error
/// such as "Unsupported color conversion request" for grey output of
/// another colour space, a crop whose left or top lies outside the picture
/// or is empty, a picture larger than its data can hold, an unknown code, a
/// short write); Out then holds what was written so far. No progress is
/// reported and nothing is raised.
void LKJpegLosslessTransform(TStream* In, TStream* Out, TProgressRec& Progress, Integer Transform, bool Grayscale,
                             TLKJpegCopyMarkers CopyMarkers, const TRect& Crop);

/// Copies the JPEG from In's position to Out with IPTC as one APP13 marker
/// (with the resource header), written right after an APP0, right after the
/// first APP1, or in place of the first APP13, whichever comes first; every
/// APP13 of the input is dropped, APP1 markers are kept. An empty list
/// writes no APP13. Progress reports percent of the input read.
/// Returns false when the copy meets a byte after FF that starts no marker,
/// when the input has no place for the block, or when the block does not
/// fit in one marker (65533 bytes); Out then holds what was copied.
bool LKJpegInjectIPTC(TStream* In, TStream* Out, const TLKIPTCInfoList& IPTC, TProgressRec& Progress);

/// Copies the JPEG from In's position to Out with every APP1 (EXIF and XMP
/// alike) replaced by one EXIF APP1 built from Params, written right after
/// an APP0 or in place of the first APP1. Returns false as LKJpegInjectIPTC
/// does.
bool LKJpegInjectEXIF(TStream* In, TStream* Out, TIOParamsVals& Params, TProgressRec& Progress);

/// Estimates the quality factor of the JPEG at Stream's position from its
/// first quantisation-table segment: one value (1 .. 100 and above for very
/// coarse tables) per table 0 (luminance) and 1 (chrominance), compared with
/// the standard's example tables. Result is resized to LKJpegQualityMax
/// values (unused ones 0); returns the number of values stored (0 without
/// such tables). Reads up to the end of the stream at most; never fails.
Integer LKGetJpegQuality(TStream* Stream, std::vector<Integer>& Result);
