// Files of several pictures (TIFF, GIF, DCX and icon files): counting,
// deleting, extracting and inserting pages all go through the page
// operations of the format's row, over the file's bytes held in a stream. The file
// routines load a file, run the operation and, when the file changed, put
// the new bytes in place through a temporary file renamed over it (a failed
// operation leaves the file as it was).
#pragma once

#include <vector>

#include "core/hylkdefs.h"
#include "io/lkformatrow.h"
#include "platform/classes.h"

class TLKBitmap;
class TIOParamsVals;

/// The page operations of FileType, from its row (TLKFormatRow::Pages:
/// TIFF, GIF, DCX and icon files); null for a format of one picture.
const TLKPageOps* LKPageOpsOf(Integer FileType);

/// Pages of the file (opened for reading); 0 when it is not of the format.
/// A file that cannot be opened raises.
Integer LKCountFilePages(const String& FileName, Integer FileType);
/// Deletes page Index of the file; returns the pages kept (0: nothing done,
/// the file untouched). A file that cannot be opened raises.
Integer LKDeleteFilePage(const String& FileName, Integer FileType, Integer Index);
/// Deletes the pages Indexes of the file in one rebuild (TIFF only).
Integer LKDeleteFilePages(const String& FileName, Integer FileType, const std::vector<Integer>& Indexes);

// The routines of the I/O unit, each one operation of the table.
Integer DeleteGIFIm(const String& FileName, Integer Index);
Integer DeleteTIFFIm(const String& FileName, Integer Index);
Integer DeleteTIFFImGroup(const String& FileName, const std::vector<Integer>& Indexes);
Integer DeleteDCXIm(const String& FileName, Integer Index);
/// Frame count; 0 for a missing or damaged file (nothing raised).
Integer EnumGIFIm(const String& FileName);
Integer EnumTIFFIm(const String& FileName);
Integer EnumTIFFStream(TStream* Stream);
Integer EnumDCXIm(const String& FileName);
Integer EnumICOIm(const String& FileName);
/// True when the GIF loops; false for a missing or damaged file.
bool CheckAniGIF(const String& FileName);
/// Page Index of the source as a file of one page.
bool ExtractTIFFImageStream(TStream* Source, TStream* Output, Integer Index);
bool ExtractTIFFImageFile(const String& Source, const String& Output, Integer Index);
bool ExtractDCXImageStream(TStream* Source, TStream* Output, Integer Index);
/// The source's pages with the first page of Insert placed at Index,
/// written to Output.
bool InsertTIFFImageStream(TStream* Source, TStream* Insert, TStream* Output, Integer Index);
bool InsertTIFFImageFile(const String& Source, const String& Insert, const String& Output, Integer Index);

/// Pictures in the file, by its extension: the page count of TIFF, GIF,
/// icon and DCX files, 1 for any other registered format, 0 for an
/// unregistered extension.
Integer LKGetFileFramesCount(const String& FileName);
