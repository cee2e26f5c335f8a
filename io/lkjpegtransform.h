// Lossless JPEG transforms of streams and files, and the quality estimate
// of a JPEG stream or file.
#pragma once

#include "core/hylkdefs.h"
#include "platform/classes.h"
#include "platform/system.h"

/// Lossless transforms by code; the codes travel as integers.
enum TLKJpegTransform : Integer {
  jtNone = 0,
  jtCut = 1,          ///< crop to a rectangle moved and grown to the MCU grid
  jtHorizFlip = 2,
  jtVertFlip = 3,
  jtTranspose = 4,    ///< mirror along the top-left to bottom-right diagonal
  jtTransverse = 5,   ///< mirror along the other diagonal
  jtRotate90 = 6,     ///< clockwise
  jtRotate180 = 7,
  jtRotate270 = 8,
};

/// Which of the source's markers a transform carries over.
enum TLKJpegCopyMarkers : Integer {
  jcCopyNone = 0,
  jcCopyComments = 1,  ///< COM markers
  jcCopyAll = 2,       ///< COM and APP0 .. APP15
};

/// Transforms the JPEG at In's position into Out (see
/// LKJpegLosslessTransform); Cut is the crop rectangle of jtCut with right
/// and bottom inside it. True on success; an input that is not a JPEG or
/// any failure of the transform gives false.
bool JpegLosslessTransformStream(TStream* In, TStream* Out, TLKJpegTransform Transform, bool Grayscale,
                                 TLKJpegCopyMarkers CopyMarkers, const TRect& Cut);

/// The same from file InFile to file OutFile. The result is written to a
/// new file beside OutFile and renamed over it only on success, so a failed
/// transform leaves whatever OutFile held (InFile and OutFile may be the
/// same file). False when InFile cannot be opened, the output cannot be
/// created or the transform fails.
bool JpegLosslessTransform(const String& InFile, const String& OutFile, TLKJpegTransform Transform, bool Grayscale,
                           TLKJpegCopyMarkers CopyMarkers, const TRect& Cut);

/// Transforms FileName in place; on failure the file is left exactly as it
/// was.
bool JpegLosslessTransform2(const String& FileName, TLKJpegTransform Transform, bool Grayscale,
                            TLKJpegCopyMarkers CopyMarkers, const TRect& Cut);

/// Mean of the quality estimates of the JPEG's quantisation tables
/// (integer division), 0 when the stream holds none.
Integer LKCalcJpegStreamQuality(TStream* Stream);

/// LKCalcJpegStreamQuality of a file; a file that cannot be opened raises
/// EFOpenError.
Integer LKCalcJpegFileQuality(const String& FileName);
