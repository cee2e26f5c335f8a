// Access to TIFF tag directories outside the TIFF codec: a typed reader of
// one page's directory (or a sub-directory one of its tags points to), and
// an editor of whole TIFF files that holds every page's entries and image
// data in memory, lets tags and pages be changed, and writes the file back.
#pragma once

#include <memory>
#include <variant>
#include <vector>

#include "codecs/tiff/tiffdir.h"
#include "core/hylkdefs.h"
#include "io/lktagreads.h"
#include "platform/classes.h"

/// The private tag in which the vector view keeps its objects in a TIFF
/// page (40101 at start-up; a program may choose another).
extern Integer lkgObjectsTIFFTag;

/// Typed reads of one directory of a TIFF file or stream. Every read is
/// bounded by the stream; a missing tag gives the reader's default.
class TLKTIFTagsReader : public TLKTagReads {
 public:
  /// Opens FileName for reading and loads the directory of page ImageIndex.
  /// Raises the file stream's error when the file cannot be opened.
  TLKTIFTagsReader(const String& FileName, Integer ImageIndex);
  /// The same on the caller's stream, which the reader does not free.
  TLKTIFTagsReader(TStream* Stream, Integer ImageIndex);
  /// The sub-directory whose offset is Reader's GetInteger(IFDTag): same
  /// stream and byte order, base 0.
  TLKTIFTagsReader(const TLKTIFTagsReader& Reader, Word IFDTag);
  ~TLKTIFTagsReader() override;
  TLKTIFTagsReader(const TLKTIFTagsReader&) = delete;
  TLKTIFTagsReader& operator=(const TLKTIFTagsReader&) = delete;

  /// Number of directories found in the chain while looking for the page.
  Integer GetDirectoryCount() const { return FCount; }

 private:
  void Load(Integer ImageIndex);

  std::unique_ptr<TStream> FOwned;
  TStream* FStream = nullptr;
  Integer FCount = 0;
};

/// A tag value as GetValue gives it and SetValue takes it: nothing, an
/// integer, a real or a text.
using TLKTagValue = std::variant<std::monostate, Integer, double, String>;

class TLumerakIO;

/// Editor of whole TIFF files. Pages hold their entries with the values and
/// the strip, tile or JPEG data they point to, in memory; numbers inside
/// values stay in the file's byte order. Tag indexes are positions in a
/// page's entry list. Page or tag indexes outside their lists raise
/// EListError, except where a default is said.
class TLKTIFFHandler : public TObject {
 public:
  TLKTIFFHandler() = default;
  ~TLKTIFFHandler() override = default;

  /// Discards every page and loads the file's pages; false when the file
  /// is missing or no TIFF.
  bool ReadFile(const String& FileName);
  bool ReadStream(TStream* Stream);
  /// Loads the pages of a TIFF and inserts them from Position on; false
  /// when it is no TIFF, or its byte order differs from the pages held.
  bool InsertTIFFFile(const String& FileName, Integer Position);
  bool InsertTIFFStream(TStream* Stream, Integer Position);
  /// Loads a picture of any readable format, makes it a TIFF page and
  /// inserts it at Position; false when the picture could not be loaded.
  bool InsertPageAsFile(const String& FileName, Integer Position);
  bool InsertPageAsStream(TStream* Stream, Integer Position);
  /// The current picture of an I/O component as a page; false for any
  /// other object.
  bool InsertPageAsImage(TObject* Source, Integer Position);

  /// Reads the 8-byte header at the stream's position; false unless "II" or
  /// "MM". The stream is left at the first directory.
  bool ReadHeader(TStream* Stream);
  /// Reads the directory at the stream's position (and the chain after it)
  /// into pages from Position on.
  bool ReadIFD(TStream* Stream, Integer Position);

  void FreeData() { FPages.clear(); }
  void DeletePage(Integer Page);
  /// Removes the entry with its values and data; nothing for Tag < 0.
  void DeleteTag(Integer Page, Integer Tag);
  /// Removes the entry and its value but not the data it refers to (kept
  /// for tags whose data another entry still describes).
  void SimpleDeleteTag(Integer Page, Integer Tag);
  Integer FindTag(Integer Page, Word Code) const;
  void ChangeTagCode(Integer Page, Integer Tag, Word Code);
  /// Entry count of a page; 0 for a page that does not exist.
  Integer GetTagsCount(Integer Page) const;
  Integer GetPagesCount() const { return static_cast<Integer>(FPages.size()); }
  /// Code, type, count and byte length of an entry; -1, 0, 0, 0 for a page
  /// that does not exist.
  Integer GetTagCode(Integer Page, Integer Tag) const;
  Integer GetTagType(Integer Page, Integer Tag) const;
  Integer GetTagLength(Integer Page, Integer Tag) const;
  Integer GetTagLengthInBytes(Integer Page, Integer Tag) const;
  /// Address of element Index of the entry's value (file byte order) and
  /// the entry's type; nil when the element lies outside the value.
  Byte* GetValueRAWEx(Integer Page, Integer Tag, Integer Index, Integer& Type);
  Byte* GetValueRAW(Integer Page, Integer Tag, Integer Index);
  Integer GetIntegerByCode(Integer Page, Word Code, Integer Index);
  /// Element Index as an integer: bytes unsigned (SBYTE sign-extended),
  /// SHORT and SSHORT zero-extended, LONG and SLONG whole; 0 for others.
  Integer GetInteger(Integer Page, Integer Tag, Integer Index);
  /// Element Index as a real: rationals (a zero denominator counting as 1),
  /// FLOAT and DOUBLE; 0 for others.
  double GetFloat(Integer Page, Integer Tag, Integer Index);
  /// The value's bytes as characters, one per byte (a final zero included);
  /// empty for Tag < 0.
  String GetString(Integer Page, Integer Tag);
  TLKTagValue GetValue(Integer Page, Integer Tag, Integer Index);
  /// Replaces (or adds) the tag with one value of Type from Value.
  void SetValue(Integer Page, Word Code, Integer Type, const TLKTagValue& Value);
  /// Replaces (or adds) the tag with Count elements of Type copied from
  /// Data (the value stays zero when Data is nil).
  void SetValueRAW(Integer Page, Word Code, Integer Type, Integer Count, const void* Data);
  void SortTags(Integer Page);
  /// Writes every page: header, then each directory followed by its data.
  void WriteFile(const String& FileName);
  void WriteStream(TStream* Stream);
  /// Writes the tag's data (the strips, tiles or JPEG stream for those
  /// tags) to a new file; nothing for Tag < 0.
  void SaveTagToFile(Integer Page, Integer Tag, const String& FileName);
  /// The tag's name ("Unknown" for codes without one).
  String GetTagDescription(Integer Page, Integer Tag) const;

  bool GetBigEndian() const { return FBigEndian; }

 private:
  struct TTag {
    Word Code = 0;
    Word Type = 0;
    DWORD Count = 0;
    std::vector<Byte> Value;                 ///< count x element size bytes, file byte order (at least 4)
    std::vector<std::vector<Byte>> Blocks;   ///< strip, tile or JPEG data of 273, 324, 513
  };
  using TPage = std::vector<TTag>;

  const TPage& PageAt(Integer Page) const;
  TPage& PageAt(Integer Page);
  TTag& TagAt(Integer Page, Integer Tag);
  Word X16(Word V) const;
  DWORD X32(DWORD V) const;
  DWORD ValueAsLong(const TTag& T, size_t Index) const;
  bool InsertFrom(TStream* Stream, Integer Position);

  bool FBigEndian = false;
  std::vector<TPage> FPages;
};
