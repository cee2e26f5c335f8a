// A small modal form that shows a palette as a grid of 16-pixel swatches,
// 32 to a row, and returns the swatch the user clicks. The swatch last under
// the mouse is framed black; a click anywhere on the form takes it.
#pragma once

#include "core/hylkdefs.h"
#include "platform/forms.h"

class TButton;
class TLKPaletteSwatches;

class TLumerakPaletteDialog : public TForm {
 public:
  explicit TLumerakPaletteDialog(TComponent* AOwner = nullptr);

  /// The caller's entries (not copied; they must outlive the dialog's use)
  /// and how many of them to show.
  void SetPalette(const TRGB* Palette, Integer Count);
  /// Shows the form modally; true when a swatch was clicked (the chosen
  /// colour is then in GetSelectedColor).
  bool Execute();

  TColor GetSelectedColor() const { return FSelectedColor; }
  /// The swatch last under the mouse (-1 before any).
  Integer GetCurrent() const { return FCurrent; }
  /// The cancel button, whose caption callers may change.
  TButton* GetCancelButton() const { return FCancel; }

  /// The swatch at a point of the form (-1 when there is none).
  Integer SwatchAt(Integer X, Integer Y) const;
  /// The rectangle of swatch Index (right and bottom exclusive).
  static TRect SwatchRect(Integer Index);

  /// The form's paint, mouse-move and click handlers.
  void FormPaint(TCanvas* Canvas);
  void FormMouseMove(Integer X, Integer Y);
  void FormClick();

 private:

  const TRGB* FPalette = nullptr;
  Integer FCount = 0;
  Integer FCurrent = -1;
  TColor FSelectedColor = 0;
  TButton* FCancel = nullptr;
  TLKPaletteSwatches* FSwatches = nullptr;
};
