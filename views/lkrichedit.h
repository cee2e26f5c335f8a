// The memo editor: a small rich-text control that the vector view places
// over a memo object while the user edits it, and that draws memo objects
// (an invisible instance painting into any canvas at any zoom).
//
// The text model (characters, styles, caret, selection) is TLKRichText of
// views/lkrichtext.h; this control lays it out (word wrap, margins, line
// spacing, four alignments, zoom), draws it with a caret and the selection,
// and takes keys, the mouse and the clipboard. Texts are Windows-1252
// bytes; typed characters the code page lacks are refused with a beep.
//
// Layout caches: each character's width, height, leading and ascent are
// measured once and kept; an edit resets them only from the edited index
// on, so typing into a long memo measures just what follows the caret.
#pragma once

#include <functional>
#include <memory>
#include <string>
#include <unordered_map>
#include <vector>

#include "platform/controls.h"
#include "platform/fontmetrics.h"
#include "platform/menus.h"
#include "views/lkrichtext.h"

/// The editor's shortcuts, in the order they are tried.
enum TLKMemoShortCut : Byte {
  lksLEFTALIGN,
  lksCENTERALIGN,
  lksRIGHTALIGN,
  lksJUSTIFIED,
  lksCOPY,
  lksCUT,
  lksPASTE,
  lksFONTSELECT,
  lksBOLD,
  lksITALIC,
  lksUNDERLINE,
  lksBACKCOLORSELECT
};
/// Ctrl+L, E, R, J, C, X, V, F, B, I, U, G by default; programs may change them.
extern TShortCut lkgMemoShortCuts[12];

/// The private clipboard format of memo text ("LUMERAK TEXTMEMO").
inline constexpr const char* LKTEXTMEMOCLIPFORMAT_NAME = "LUMERAK TEXTMEMO";
Word LKTEXTMEMOCLIPFORMAT();

class TLKTextControl : public TCustomControl {
 public:
  explicit TLKTextControl(TComponent* AOwner = nullptr);
  ~TLKTextControl() override;

  /// The text, its styles, the caret and the selection.
  TLKRichText Rich;

  TFont* GetDefaultFont() { return FDefaultFont.get(); }
  /// Background of new characters.
  TBrush* GetDefaultCharBrush() { return FCharBrush.get(); }
  /// Fill of the control and of the memo box.
  TBrush* GetControlBrush() { return FControlBrush.get(); }
  /// Outline of the memo box.
  TPen* GetBorderPen() { return FBorderPen.get(); }

  TLKAlignment DefaultAlign = lkjLeft;
  double Zoom = 1.0;
  /// Characters keep the canvas's colours (drawing an alpha mask).
  bool IgnoreColors = false;
  /// The control grows by a line when the text needs more height.
  bool AutoGrow = false;
  Integer LineSpace = 0;
  /// When not 0, the height of every line box.
  Integer FixedLineHeight = 0;
  /// Left, top, right, bottom: percent of the laid-out width or height.
  double Margins[4] = {0, 0, 0, 0};
  /// The picture behind the text when the control brush is not solid (not owned).
  TBitmap* BackgroundPicture = nullptr;
  /// When set, PaintTo collects the laid-out text with a line feed at every line end.
  bool Collect = false;
  const std::string& GetCollected() const { return FCollected; }

  bool GetFontLocked() const { return FFontLocked; }
  /// Every character drawn in the default font and background; resets the layout.
  void SetFontLocked(bool Value);

  /// Fired after the mouse moved the caret.
  TNotifyEvent OnCursorMoved;
  /// Asked by the font and colour shortcuts; return false when cancelled.
  std::function<bool(TFont& Font)> OnSelectFont;
  std::function<bool(TColor& Color)> OnSelectBackColor;

  /// Makes the handed-in text, indexes and styles consistent, clears caret
  /// and selection, takes the current style from the defaults.
  void Init();
  /// Lays out and draws the text into (X, Y) Width x Height (unzoomed
  /// pixels; drawn at the zoom). Nothing unless both are above 1.
  void PaintTo(TCanvas* Canvas, Integer X, Integer Y, Integer Width, Integer Height);
  /// Forgets the measurements of Count characters from Start (-1: to the end).
  void ResetCache(Integer Start, Integer Count = -1);
  /// Forgets every measurement and repaints.
  void ResetLayout();
  /// Sets the canvas's font and brush for character Index.
  void RestoreCharInfo(Integer Index, TCanvas* Canvas);

  void MoveHome();
  void MoveEnd();
  void MoveUp();
  void MoveDown();
  /// The caret to the character drawn at client (X, Y).
  void MoveTo(Integer X, Integer Y);
  void CopyToClipboard();
  void PasteFromClipboard();
  void DoCursorMoved();

  /// Caret position and height in client pixels, as the last layout left it.
  Integer GetCaretX() const { return FCaretX; }
  Integer GetCaretY() const { return FCaretY; }
  Integer GetCaretHeight() const { return FCaretH; }
  /// Where the last layout put character Index (client pixels; -1 unknown).
  TPoint GetCharPos(Integer Index) const;
  /// How many characters the last layouts measured (for tests of the caches).
  Integer GetMeasuredCount() const { return FMeasured; }

  // Input; public so that tests and the vector view can drive the control.
  void KeyDown(Word& Key, TShiftState Shift) override;
  void KeyPress(char& Key) override;
  /// A typed Unicode character; false (with a beep) when the code page lacks it.
  bool TypeCodePoint(char32_t CodePoint);
  void MouseDown(TMouseButton Button, TShiftState Shift, Integer X, Integer Y) override;
  void MouseMove(TShiftState Shift, Integer X, Integer Y) override;
  void MouseUp(TMouseButton Button, TShiftState Shift, Integer X, Integer Y) override;

 protected:
  void Paint() override;
  void WndProc(TMessage& Message) override;
  void CreateParams(TCreateParams& Params) override;

 private:
  struct TRecorded {
    Integer X, Y, Index;
  };
  void EnsureCaches();
  Integer Measure(Integer Index, TCanvas* Canvas);
  TLKFontMetrics MetricsOf(const TFont& Font);
  void DrawChar(TCanvas* Canvas, Integer Index, Integer BaseX, Integer BaseY, double FontScale);
  void Edited(Integer From);
  void Moved(Integer OldCaret, TShiftState Shift);
  void ClearBitmap(TCanvas* Canvas);

  std::unique_ptr<TFont> FDefaultFont;
  std::unique_ptr<TBrush> FCharBrush, FControlBrush;
  std::unique_ptr<TPen> FBorderPen;
  bool FFontLocked = false;
  std::string FCollected;
  Integer FCaretX = 0, FCaretY = 0, FCaretH = 0;
  Integer FAnchorX = 0, FAnchorY = 0;
  Integer FGrowBy = 0;
  Integer FMeasured = 0;
  // Per character (one more entry for the text's end): measured width,
  // height, leading and ascent (-1 unknown), and laid-out position.
  std::vector<Integer> FW, FH, FL, FA, FX, FY;
  std::unordered_map<std::string, TLKFontMetrics> FMetrics;
};
