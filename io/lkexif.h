// EXIF and XMP metadata of the parameter record: the EXIF block of a JPEG
// APP1 marker ("Exif", two zero bytes, then a little TIFF file whose first
// page carries the EXIF, GPS and XP tags and whose second page is the
// thumbnail), the search for and reading of EXIF data inside camera files,
// turning a picture upright by its EXIF orientation, and the XMP packet of
// a JPEG APP1 marker.
#pragma once

#include <vector>

#include "core/hylkdefs.h"
#include "core/lkbitmap.h"
#include "io/lkparams.h"
#include "platform/classes.h"

/// The XMP namespace identifier that opens an XMP APP1 payload (28
/// characters; the payload holds them, one zero byte, then the packet).
inline constexpr char LKXMP_NAMESPACE[] = "http://ns.adobe.com/xap/1.0/";
inline constexpr Integer LKXMP_PREFIXLEN = 29;

/// Bytes of the window LKSearchEXIFInfo looks through.
inline constexpr Integer LKEXIF_SEARCHWINDOW = 131072;

// ---------------------------------------------------------------------------
// Reading

/// True when Buffer (Length bytes) starts with "Exif" and a zero byte;
/// never reads past Length.
bool CheckEXIFFromStandardBuffer(const Byte* Buffer, Integer Length);

/// Reads an EXIF block (the payload of a JPEG APP1 marker) into Params:
/// the EXIF group through CopyEXIFFields, EXIF_HASEXIF set, and the second
/// page of the block into the EXIF thumbnail (turned upright by the
/// orientation; empty when the block has no readable second page, and
/// pages above 400 x 400 pixels are refused). False, with Params unchanged,
/// when the buffer is no EXIF block or its TIFF has no readable first
/// directory.
bool LoadEXIFFromStandardBuffer(const Byte* Buffer, Integer Length, TIOParamsVals& Params);

/// Offset, from the stream's current position, of the first TIFF header
/// ("II" or "MM", magic 42, 0x4F52 or 0x5352, first-directory offset below
/// the stream's size) within the next 131072 bytes, or -1. The position is
/// restored.
Int64 LKSearchEXIFInfo(TStream* Stream);

/// Reads the EXIF fields of the TIFF at the stream's position (offsets
/// counted from there) into Params, and its thumbnail: page 1 when it can
/// be read and is not all black, else page 2, else none. Returns false,
/// with Params unchanged, when the position holds no readable TIFF
/// directory. The stream position is restored.
bool LKLoadEXIFFromTIFF(TStream* Stream, TIOParamsVals& Params);

/// Copies the EXIF group of Source into Target: the image description from
/// Source's TIFF_IMAGEDESCRIPTION; orientation and resolutions through
/// Target's setters (DPIX/DPIY follow, truncated); every other field as it
/// is, the maker note copied deeply. EXIF_HASEXIF and the thumbnail are left.
void CopyEXIFFields(const TIOParamsVals& Source, TIOParamsVals& Target);

/// Turns Bitmap upright for EXIF orientation 2..8 (1 and other values do
/// nothing): 2 flip horizontally, 3 flip both ways, 4 flip vertically, 5
/// quarter turn clockwise then flip horizontally, 6 quarter turn
/// clockwise, 7 quarter turn counter-clockwise then flip horizontally, 8
/// quarter turn counter-clockwise. An alpha channel turns with the picture.
void LKAdjustEXIFOrientation(TLKBitmap* Bitmap, Integer Orientation);

/// The start of the XMP packet in an APP1 payload (just past its first zero
/// byte), or null when the payload is no XMP block (shorter than 30 bytes,
/// not opening with the namespace identifier, or without a zero byte).
const Byte* LKFindXMPFromJpegTag(const Byte* Buffer, Integer Length);

/// Stores the packet of an XMP APP1 payload in Params.XMP_INFO; false (and
/// nothing changed) when the payload is no XMP block.
bool LKLoadXMPFromJpegTag(const Byte* Buffer, Integer Length, TIOParamsVals& Params);

// ---------------------------------------------------------------------------
// Writing

/// The APP1 payload of the EXIF data of Params: "Exif", two zero bytes and a
/// little-endian TIFF whose first directory carries the EXIF, GPS and XP
/// tags (with "EXIF_HASEXIF" false only the description and resolution),
/// and whose second directory, when the EXIF thumbnail is not empty, holds
/// the thumbnail as an old-style JPEG page. Buffer receives the block. The
/// block may exceed what one JPEG marker holds (LKMaxMarkerPayload); the
/// callers that place it in a marker refuse it then.
void SaveEXIFToStandardBuffer(TIOParamsVals& Params, std::vector<Byte>& Buffer);

/// The APP1 payload of the XMP packet in "XMP_INFO": the namespace
/// identifier, a zero byte and the packet (29 bytes for an empty packet).
void LKSaveXMPToJpegTag(const TIOParamsVals& Params, std::vector<Byte>& Buffer);

/// Before a JPEG save: brings the metadata markers of P up to date with its fields:
///  - with EXIF_HASEXIF, the EXIF image size becomes the size of the owner's
///    picture, and a thumbnail the record keeps is made anew from it;
///  - the IPTC records go into the first APP13 marker when they changed since
///    they were read, or when there are records and no markers at all;
///  - with EXIF_HASEXIF, a new EXIF block replaces the first EXIF APP1;
///  - with XMP_INFO, a new XMP block replaces the first XMP APP1.
/// A block too long for one marker fails the save (false) rather than write a
/// file with stale or missing metadata; the markers are then left as they were.
bool LKRefreshJpegMarkers(TIOParamsVals& P);
