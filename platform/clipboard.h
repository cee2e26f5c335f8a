// The clipboard over the desktop's clipboard. Standard formats map to the
// usual types (text to text/plain, bitmaps to images); formats a program
// registers by name travel under a MIME type made from that name, so the
// same name gives the same format in every program that uses it.
#pragma once

#include <memory>
#include <vector>

#include "platform/graphics.h"
#include "platform/system.h"

class QMimeData;

constexpr Word CF_TEXT = 1;
constexpr Word CF_BITMAP = 2;
constexpr Word CF_DIB = 8;
constexpr Word CF_UNICODETEXT = 13;
/// Enhanced metafiles: their file bytes, as image/emf (image/x-emf is read
/// too, the name some programs offer them under).
constexpr Word CF_ENHMETAFILE = 14;

/// The format number of Name, the same for every call with that name
/// (letter case ignored), from 0xC000 up; 0 for an empty name.
Word RegisterClipboardFormat(const String& Name);
/// The name a format was registered with ("" for standard and unknown ones).
String GetClipboardFormatName(Word Format);
/// The MIME type a format travels under ("" for unknown formats).
String ClipboardFormatMimeType(Word Format);

/// Whether the desktop clipboard can be used here: on the main thread of a
/// running application (otherwise every TClipboard call raises
/// EInvalidOperation).
bool ClipboardAvailable();

/// The clipboard. Between Open and Close, everything set goes out together
/// (one Clear, then several formats); outside, each set replaces the
/// clipboard's contents. Main thread only.
class TClipboard : public TPersistent {
 public:
  TClipboard();
  ~TClipboard() override;
  void Open();
  /// Hands what was set since Open to the desktop (at the last Close).
  void Close();
  /// Empties the clipboard.
  void Clear();
  bool HasFormat(Word Format) const;
  /// The formats on the clipboard that this program knows.
  std::vector<Word> GetFormats() const;

  String GetAsText() const;
  void SetAsText(const String& Value);
  /// The bytes of Format (empty when it is not there).
  std::vector<Byte> GetAsData(Word Format) const;
  /// Puts Data on the clipboard as Format (EInvalidOperation for a format
  /// nobody registered).
  void SetAsData(Word Format, const std::vector<Byte>& Data);
  /// Puts a copy of Bitmap on the clipboard as an image.
  void SetBitmap(const TBitmap& Bitmap);
  /// Reads the clipboard's image into Bitmap (24 bits per pixel); false,
  /// leaving Bitmap alone, when there is none.
  bool GetBitmap(TBitmap& Bitmap) const;

 private:
  QMimeData* Outgoing();
  void Commit();
  Integer FOpenCount = 0;
  QMimeData* FPending = nullptr;
};

/// The program's clipboard object.
TClipboard* Clipboard();
