#include "dialogs/lkpalettedialog.h"

#include "platform/graphics.h"
#include "platform/stdctrls.h"
#include "processing/lkprocutils.h"

/// The form's client area, where the swatches are painted and the mouse is
/// followed.
class TLKPaletteSwatches : public TCustomControl {
 public:
  TLKPaletteSwatches(TLumerakPaletteDialog* Dialog) : TCustomControl(Dialog), FDialog(Dialog) {}

 protected:
  void Paint() override { FDialog->FormPaint(GetCanvas()); }
  void MouseMove(TShiftState Shift, Integer X, Integer Y) override {
    TCustomControl::MouseMove(Shift, X, Y);
    FDialog->FormMouseMove(X, Y);
  }
  void Click() override {
    TCustomControl::Click();
    FDialog->FormClick();
  }

 private:
  TLumerakPaletteDialog* FDialog;
};

TLumerakPaletteDialog::TLumerakPaletteDialog(TComponent* AOwner) : TForm(AOwner) {
  SetCaption("Palette");
  SetBorderStyle(bsDialog);
  SetBounds(0, 0, 520, 199);
  SetPosition(poScreenCenter);
  FSwatches = new TLKPaletteSwatches(this);
  FSwatches->SetParent(this);
  FSwatches->SetAlign(alClient);
  FCancel = new TButton(this);
  FCancel->SetParent(this);
  FCancel->SetBounds(4, 136, 75, 25);
  FCancel->SetCaption("&Cancel");
  FCancel->SetCancel(true);
  FCancel->SetModalResult(mrCancel);
}

void TLumerakPaletteDialog::SetPalette(const TRGB* Palette, Integer Count) {
  FPalette = Palette;
  FCount = Palette != nullptr && Count > 0 ? Count : 0;
  FCurrent = -1;
  FSwatches->Invalidate();
}

bool TLumerakPaletteDialog::Execute() { return ShowModal() == mrOk; }

TRect TLumerakPaletteDialog::SwatchRect(Integer Index) {
  const Integer row = Index / 32, column = Index % 32;
  return TRect{column * 16 + 1, row * 16 + 1, column * 16 + 16, row * 16 + 16};
}

Integer TLumerakPaletteDialog::SwatchAt(Integer X, Integer Y) const {
  // Truncation toward zero: the row and column left of or above the first
  // swatch (x or y of 0) still count as 0.
  const Integer index = ((Y - 1) / 16) * 32 + (X - 1) / 16;
  return index >= 0 && index < FCount ? index : -1;
}

void TLumerakPaletteDialog::FormPaint(TCanvas* Canvas) {
  for (Integer i = 0; i < FCount; ++i) {
    const TRect r = SwatchRect(i);
    Canvas->GetBrush()->SetStyle(bsSolid);
    Canvas->GetBrush()->SetColor(TRGB2TColor(FPalette[i]));
    Canvas->FillRect(r);
    Canvas->GetBrush()->SetColor(i == FCurrent ? clBlack : clWhite);
    Canvas->FrameRect(r);
  }
}

void TLumerakPaletteDialog::FormMouseMove(Integer X, Integer Y) {
  const Integer index = SwatchAt(X, Y);
  if (index < 0 || index == FCurrent) return;
  FCurrent = index;
  FSwatches->Invalidate();
}

void TLumerakPaletteDialog::FormClick() {
  // A click before any swatch was under the mouse chooses nothing.
  if (FCurrent < 0 || FCurrent >= FCount) return;
  FSelectedColor = TRGB2TColor(FPalette[FCurrent]);
  SetModalResult(mrOk);
}
