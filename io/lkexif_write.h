// The write side of the EXIF and XMP blocks of JPEG APP1 markers.
#pragma once

#include <vector>

#include "core/hylkdefs.h"
#include "io/lkparams.h"

/// The APP1 payload of the EXIF data of Params: "Exif", two zero bytes and a
/// little-endian TIFF whose first directory carries the EXIF, GPS and XP
/// tags (with "EXIF_HASEXIF" false only the description and resolution),
/// and whose second directory, when the EXIF thumbnail is not empty, holds
/// the thumbnail as an old-style JPEG page. Buffer receives the block. The
/// block may exceed what one JPEG marker holds (LKMaxMarkerPayload); the
/// callers that place it in a marker refuse it then.
void SaveEXIFToStandardBuffer(TIOParamsVals& Params, std::vector<Byte>& Buffer);

/// The APP1 payload of the XMP packet in "XMP_INFO": the 28-character XMP
/// namespace identifier, a zero byte and the packet (29 bytes for an empty
/// packet).
void LKSaveXMPToJpegTag(const TIOParamsVals& Params, std::vector<Byte>& Buffer);
