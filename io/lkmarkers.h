// The JPEG markers of an image (code byte and payload) and the IPTC-IIM
// records with their stream forms and the standard IIM byte buffer of JPEG
// APP13 blocks and TIFF/PSD IPTC tags.
#pragma once

#include <memory>
#include <vector>

#include "core/hylkdefs.h"
#include "platform/classes.h"

/// Largest marker payload: a JPEG segment length of 16 bits counts its own
/// two bytes, so 65535 - 2 bytes of payload fit.
inline constexpr Integer LKMaxMarkerPayload = 65533;

/// The JPEG markers of an image: a code byte (0xE1 for APP1, 0xED for APP13,
/// ...) and an owned payload (the bytes after the two length bytes) per
/// marker, in order.
class TLKMarkerList : public TObject {
 public:
  TLKMarkerList() = default;
  ~TLKMarkerList() override = default;

  Integer GetCount() const { return static_cast<Integer>(FItems.size()); }
  /// Code byte of marker Index. Indexes are not checked beyond raising
  /// EListError outside 0 .. count - 1.
  Byte GetMarkerType(Integer Index) const;
  /// Address of the payload bytes of marker Index (null for an empty one).
  const Byte* GetMarkerData(Integer Index) const;
  /// Payload size of marker Index.
  Integer GetMarkerLength(Integer Index) const;
  /// The payload stream of marker Index, positioned at 0.
  TMemoryStream* GetMarkerStream(Integer Index);

  /// Index of the first marker with Code, -1 when none.
  Integer IndexOf(Byte Code) const;
  /// Appends a copy of Length bytes at Data under Code; returns the new
  /// index, or -1 (nothing added) when Length is negative or above
  /// LKMaxMarkerPayload, which no JPEG segment can hold.
  Integer AddMarker(Byte Code, const void* Data, Integer Length);
  /// Inserts a copy at Index (0 .. count); false (nothing inserted) for an
  /// oversized payload.
  bool InsertMarker(Integer Index, const void* Data, Byte Code, Integer Length);
  /// Replaces marker Index with Code and a copy of the bytes; false
  /// (marker unchanged) for an oversized payload.
  bool SetMarker(Integer Index, Byte Code, const void* Data, Integer Length);
  /// Frees and removes marker Index.
  void DeleteMarker(Integer Index);
  /// Removes every marker.
  void Clear() { FItems.clear(); }
  /// Becomes a copy of Source (nothing for null).
  void Assign(const TLKMarkerList* Source);
  /// Orders the markers by code, ascending; markers with equal codes keep
  /// their order (so EXIF and XMP APP1 blocks or split ICC APP2 chunks stay
  /// in sequence).
  void Sort();

  /// Writes the stream form: version byte 0, int32 count, then per marker
  /// its code byte, int32 length and payload.
  void SaveToStream(TStream* Stream) const;
  /// Reads the stream form (the version byte is ignored), replacing the
  /// list. Raises EReadError for a count or length that the rest of the
  /// stream cannot hold or for an oversized payload; the list is unchanged
  /// then.
  void LoadFromStream(TStream* Stream);

 private:
  struct Item {
    Byte Code = 0;
    std::unique_ptr<TMemoryStream> Data;
  };
  static std::unique_ptr<TMemoryStream> MakePayload(const void* Data, Integer Length);
  const Item& At(Integer Index) const;
  std::vector<Item> FItems;
};

/// The IPTC-IIM records of an image: record number, dataset number and bytes
/// per item, in order, and whether the list changed since it was parsed.
class TLKIPTCInfoList : public TObject {
 public:
  TLKIPTCInfoList() = default;
  ~TLKIPTCInfoList() override = default;

  Integer GetCount() const { return static_cast<Integer>(FItems.size()); }
  /// Record and dataset numbers of item Index (EListError outside the list).
  Integer GetRecordNumber(Integer Index) const;
  Integer GetDataSet(Integer Index) const;
  /// The bytes of item Index as a string; empty outside the list.
  String GetStrings(Integer Index) const;
  /// Each setter changes item Index and sets ChangedSinceRead.
  void SetRecordNumber(Integer Index, Integer Value);
  void SetDataSet(Integer Index, Integer Value);
  void SetStrings(Integer Index, const String& Text);

  /// Appends a copy; returns the new index. Sets ChangedSinceRead.
  Integer AddStringItem(Integer Record, Integer DataSet, const String& Text);
  Integer AddBufferItem(Integer Record, Integer DataSet, const void* Buffer, Integer Length);
  /// Inserts a copy at Index (0 .. count). Sets ChangedSinceRead.
  void InsertStringItem(Integer Index, Integer Record, Integer DataSet, const String& Text);
  /// Index of the first item with both numbers, -1 when none.
  Integer IndexOf(Integer Record, Integer DataSet) const;
  /// Removes item Index, or all items. Each sets ChangedSinceRead.
  void DeleteItem(Integer Index);
  void Clear();
  /// Becomes a copy of Source (nothing for null); sets ChangedSinceRead.
  void Assign(const TLKIPTCInfoList* Source);

  /// Writes the stream form: int32 version 0, int32 count, then per item
  /// three int32 (record, dataset, length n) and n bytes.
  void SaveToStream(TStream* Stream) const;
  /// Reads the stream form (version ignored), replacing the list and
  /// setting ChangedSinceRead. Raises EReadError for a count or length the
  /// rest of the stream cannot hold; the list is unchanged then.
  void LoadFromStream(TStream* Stream);

  /// Builds the standard IIM buffer: with WithHeader the 26-byte resource
  /// header of a JPEG APP13 block, otherwise the record-version item; then
  /// every item except those of record 2 dataset 0 and empty ones; padded
  /// to an even length. An empty list gives an empty buffer.
  std::vector<Byte> SaveToStandardBuffer(bool WithHeader) const;
  /// Parses a standard buffer from its first 0x1C byte, whatever precedes
  /// it, stopping quietly at the first item that does not fit. Clears the
  /// list first; clears ChangedSinceRead unless Length is 0.
  void LoadFromStandardBuffer(const void* Buffer, Integer Length);

  bool GetChangedSinceRead() const { return FChangedSinceRead; }
  void SetChangedSinceRead(bool Value) { FChangedSinceRead = Value; }

 private:
  struct Item {
    Integer Record = 0;
    Integer DataSet = 0;
    String Bytes;
  };
  const Item& At(Integer Index) const;
  Item& At(Integer Index);
  std::vector<Item> FItems;
  bool FChangedSinceRead = false;
};
