// Public entry points of the camera RAW decoder: the reader that develops a
// camera file into a bitmap, its content probe, and the Canon CIFF helpers
// that turn a CIFF file's records into EXIF fields and load its embedded
// JPEG pictures.
#pragma once

#include "core/hylkdefs.h"
#include "io/lkparams.h"
#include "platform/classes.h"

class TLKBitmap;

/// Develops the camera RAW file of Stream (read from position 0) into Bitmap
/// and fills IOParams: EXIF (or Canon CIFF) metadata, RAW_CAMERA, the
/// resolution, WIDTH and HEIGHT. The RAW_* parameters are the development
/// settings; ISNATIVEPIXELFORMAT asks for 48-bit output (24-bit otherwise).
///  - RAW_GETEXIFTHUMBNAIL: the embedded EXIF or CIFF thumbnail, when there
///    is one, becomes the bitmap and nothing is developed.
///  - RAW_AUTOADJUSTCOLORS with a thumbnail: the developed picture's channel
///    histograms are matched to the thumbnail's.
///  - ParamsOnly: fills the parameters only; the bitmap is left untouched.
/// A file the identification does not accept sets the abort flag of
/// Progress and leaves the bitmap and the size fields as they were; nothing
/// is raised then. Corrupt data or exhausted memory inside the decoder raise
/// an Exception whose message begins with ": ".
void LKReadCameraRAWStream(TStream& Stream, TLKBitmap& Bitmap, TIOParamsVals& IOParams, TProgressRec& Progress,
                           bool ParamsOnly);

/// True when the camera identification accepts the stream (read from
/// position 0); no pixel is decoded and the stream position is restored.
/// Never raises for bad data.
bool LKRAWTryStream(TStream& Stream);

/// Fills the EXIF fields of IOParams from the records of a Canon CIFF file
/// (read from position 0): description, make, model, software, the picture
/// size, the maker-note arrays (as the maker-note tag list) and, as the EXIF
/// thumbnail, the smallest embedded JPEG picture. The thumbnail bitmap is
/// created when missing and emptied first. A stream that is no CIFF file
/// changes nothing. Returns false in every case.
bool LKCRWGetCIFFAsExif(TStream& Stream, TIOParamsVals& IOParams);

/// Loads the largest JPEG picture embedded in the Canon CIFF file of Stream
/// (read from position 0) into Bitmap; without one (or for a stream that is
/// no CIFF file) the bitmap is left as it was. Returns false in every case.
bool LKCRWGetJpeg(TLKBitmap& Bitmap, TStream& Stream);
