// The text model of the memo editor (views/lkrichedit.h): a byte string
// (Windows-1252; 10 ends a paragraph) with one style per character, the
// caret, the selection and every edit that needs no window. The control
// adds layout, drawing, keys and the mouse on top of it.
//
// Styles. Each character points into a list of distinct 280-byte style
// records (TLKCharInfo); a record's count says how many characters were
// given it. Counts are not lowered when a character changes style, only
// when it is deleted; RemoveUnreferenced drops the records whose count is
// 0. Records compare by their bytes 4..279, so a new record is always
// zero-filled before its fields are set.
#pragma once

#include <string>
#include <vector>

#include "platform/graphics.h"
#include "views/lkvectobject.h"

/// Fields of a style record (offsets into its 280 bytes, little-endian).
namespace lkcharinfo {
Integer Count(const TLKCharInfo& R);
void SetCount(TLKCharInfo& R, Integer Value);
/// Face name (up to 255 bytes, stored with a length byte).
std::string Face(const TLKCharInfo& R);
void SetFace(TLKCharInfo& R, const std::string& Value);
/// Font height: negative the character height, positive the cell height.
Integer Height(const TLKCharInfo& R);
void SetHeight(TLKCharInfo& R, Integer Value);
TFontStyles Styles(const TLKCharInfo& R);
void SetStyles(TLKCharInfo& R, TFontStyles Value);
TColor Color(const TLKCharInfo& R);
void SetColor(TLKCharInfo& R, TColor Value);
TColor BackColor(const TLKCharInfo& R);
void SetBackColor(TLKCharInfo& R, TColor Value);
TBrushStyle BrushStyle(const TLKCharInfo& R);
void SetBrushStyle(TLKCharInfo& R, TBrushStyle Value);
TLKAlignment Align(const TLKCharInfo& R);
void SetAlign(TLKCharInfo& R, TLKAlignment Value);
/// A zero-filled record of a font, a character background and an alignment.
TLKCharInfo Make(const TFont& Font, TColor BackColor, TBrushStyle BackStyle, TLKAlignment Align);
}  // namespace lkcharinfo

/// The Windows-1252 byte of a Unicode code point; false when the code page
/// has no such character (the byte is then left alone).
bool LKUnicodeToAnsi(char32_t CodePoint, char& Byte);

class TLKRichText {
 public:
  /// The characters (bytes; 10 ends a paragraph).
  std::string Text;
  /// Index into Styles, one per character.
  std::vector<Integer> StyleIndex;
  /// The distinct styles.
  std::vector<TLKCharInfo> Styles;
  /// The style typed and pasted characters take; it follows the caret.
  TLKCharInfo Current{};
  /// Insertion index 0..length.
  Integer Caret = 0;
  /// Characters SelStart <= i < SelEnd are selected; 0, 0 is none.
  Integer SelStart = 0, SelEnd = 0;
  /// False: typed characters overwrite the one at the caret.
  bool InsertMode = true;

  Integer Length() const { return static_cast<Integer>(Text.size()); }
  bool HasSelection() const { return SelStart < SelEnd; }

  /// Makes the data consistent after the text, indexes and styles were
  /// handed in: missing indexes become 0, bad ones 0; without styles and
  /// with text, one record of Default with count = length. Caret and
  /// selection go to 0; the current style becomes Default.
  void Init(const TLKCharInfo& Default);

  /// Index of the first record equal to Style in bytes 4..279; -1 when none.
  Integer FindCharInfo(const TLKCharInfo& Style) const;
  /// Points character Index at the record equal to Style (appended with
  /// count 0 when there is none) and counts it.
  void SaveCharInfo(Integer Index, const TLKCharInfo& Style);
  /// The record of character Index (clamped); Current's when the text is empty.
  TLKCharInfo CharInfo(Integer Index) const;
  /// Drops the records with count 0, renumbering the indexes.
  void RemoveUnreferenced();

  /// Inserts Ch at the caret in the current style; the caret moves on.
  /// Returns the index of the new character.
  Integer AddChar(char Ch);
  /// Deletes character Index (nothing at or past the length); returns Index.
  Integer DelChar(Integer Index);
  /// Deletes the selection; the caret goes to its start.
  void RemoveSelected();
  /// A typed character: codes below 32 and 127 are ignored; the selection
  /// goes, in overwrite mode the character at the caret too. False when
  /// nothing was added.
  bool TypeChar(char Ch);
  /// A typed Unicode character: stored as its Windows-1252 byte; false,
  /// nothing changed, when the code page has none.
  bool TypeCodePoint(char32_t CodePoint);

  bool GoBackIdx(Integer& Index) const;
  void GoForwardIdx(Integer& Index) const;
  void GoWordBackIdx(Integer& Index) const;
  void GoWordForwardIdx(Integer& Index) const;
  /// Updates the selection after a keyboard move from OldCaret to the caret.
  void SStop(Integer OldCaret, bool Shift);
  /// Selects the word at the caret; the caret goes after its last character.
  void SelectWordAtCaret();
  /// The current style becomes the one of the character before the caret.
  void StyleFromCaret();

  // Style commands: the selection and the current style. Each returns the
  // first index whose look changed (Length() when none).
  Integer SetXFont(const TFont& Font);
  Integer SetXBackColor(TColor Color);
  Integer IncFontSize() { return ChangeSize(+1); }
  Integer DecFontSize() { return ChangeSize(-1); }
  Integer SwitchFontStyle(TFontStyle Style);
  /// The caret's paragraph (not its line feed) and the current style.
  Integer InsertAlign(TLKAlignment Align);

  /// The selection in the private clipboard format: the bytes, a 0, then
  /// each character's record.
  std::vector<Byte> SelectionMemoBlock() const;
  /// The selection as plain text: line feeds as CR LF, then a 0.
  std::vector<Byte> SelectionPlainBlock() const;
  /// Adds the characters of a private block with their styles (up to its
  /// first 0, never past its records). Returns the first changed index.
  Integer PasteMemoBlock(const std::vector<Byte>& Block);
  /// Adds UTF-8 text in the current style, carriage returns left out;
  /// characters the code page lacks are skipped. Returns the count of
  /// characters the code page lacked.
  Integer PastePlainText(const std::string& Utf8);

 private:
  Integer ChangeSize(Integer Step);
  template <typename F>
  Integer ApplyToSelection(F&& Change);
};
