// Canon CIFF metadata: walks of the record heap of a CIFF file that collect
// its texts, picture size, maker-note arrays and embedded JPEG pictures, and
// the maker-note directory built from those arrays.
#pragma once

#include <functional>
#include <vector>

#include "raw/lkrawstate.h"

/// Measures the JPEG picture whose data starts at `pos` of the file: true
/// with its width and height, false when there is no readable JPEG there.
using TCIFFJpegProbe = std::function<bool(Int64 pos, Integer& width, Integer& height)>;

/// What the metadata walk of a CIFF file found.
struct TCIFFExifInfo {
  String ImageDescription, Make, Model, Software;
  bool HasImageSize = false;
  Integer ExifImageWidth = 0, ExifImageHeight = 0;
  /// Smallest embedded JPEG (smaller in both sides than every earlier
  /// one): its data position, -1 when none.
  Int64 ThumbPos = -1;
  Integer ThumbWidth = 2147483646, ThumbHeight = 2147483646;
  /// Maker-note arrays in file order: tag number and words as stored.
  std::vector<Word> NoteTags;
  std::vector<std::vector<Byte>> NoteWords;
};

/// Records per heap the metadata walk looks at.
constexpr Integer kCIFFMaxExifRecords = 256;

/// Reads the 14-byte header: true for a CIFF file (byte order "II" or "MM"
/// and the signature "HEAPCCDR"), with its byte order and header length.
bool ciff_read_header(TRAWSource& src, bool& big_endian, Int64& header_len);
/// Walks every heap of a CIFF file for its metadata. `probe` measures the
/// embedded JPEG pictures (records 0x2007 and 0x2008). Returns false, with
/// `info` unchanged, when the source is no CIFF file.
bool ciff_walk_for_exif(TRAWSource& src, const TCIFFJpegProbe& probe, TCIFFExifInfo& info);
/// Walks every heap of a CIFF file for the largest embedded JPEG picture
/// (larger in both sides than every earlier one). Returns its data
/// position, or -1 when there is none or the source is no CIFF file.
Int64 ciff_walk_for_jpeg(TRAWSource& src, const TCIFFJpegProbe& probe);
/// The maker-note directory of the kept arrays, little-endian: a 16-bit
/// entry count, 12-byte entries (tag, type 3, word count, offset of the
/// words from the start of the block), then the words one after another.
std::vector<Byte> ciff_makernote_directory(const TCIFFExifInfo& info);
