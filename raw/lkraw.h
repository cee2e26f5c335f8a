// Public entry points of the camera RAW decoder: the Canon CIFF helpers
// that turn a CIFF file's records into EXIF fields and load its embedded
// JPEG pictures.
#pragma once

#include "core/hylkdefs.h"
#include "io/lkparams.h"
#include "platform/classes.h"

class TLKBitmap;

/// Fills the EXIF fields of IOParams from the records of a Canon CIFF file
/// (read from position 0): description, make, model, software, the picture
/// size and, as the EXIF thumbnail, the smallest embedded JPEG picture. The
/// thumbnail bitmap is created when missing and emptied first. A stream that is no CIFF file
/// changes nothing. Returns false in every case.
bool LKCRWGetCIFFAsExif(TStream& Stream, TIOParamsVals& IOParams);

/// Loads the largest JPEG picture embedded in the Canon CIFF file of Stream
/// (read from position 0) into Bitmap; without one (or for a stream that is
/// no CIFF file) the bitmap is left as it was. Returns false in every case.
bool LKCRWGetJpeg(TLKBitmap& Bitmap, TStream& Stream);
