// A colour picker: a saturation/value square for the current hue on the
// left, a hue bar on the right, and two inverting grips marking the current
// colour. Only picks made with the mouse fire OnChange.
#pragma once

#include "core/hylkdefs.h"
#include "platform/controls.h"
#include "platform/graphics.h"

class THSVBox : public TCustomControl {
 public:
  explicit THSVBox(TComponent* AOwner = nullptr);

  Integer GetHue() const { return FHue; }
  Integer GetSat() const { return FSat; }
  Integer GetVal() const { return FVal; }
  Byte GetRed() const { return FRed; }
  Byte GetGreen() const { return FGreen; }
  Byte GetBlue() const { return FBlue; }
  TColor GetColor() const { return FColor; }
  /// Hue limited to 0..359, saturation and value to 0..99; no OnChange.
  void SetHue(Integer Value);
  void SetSat(Integer Value);
  void SetVal(Integer Value);
  void SetRGB(Byte R, Byte G, Byte B);
  void SetColor(TColor Value);
  /// The colour at a point of the square for the current hue (the current
  /// colour outside it).
  TColor GetColorAt(Integer X, Integer Y) const;

  TColor GetBackground() const { return FBackground; }
  void SetBackground(TColor Value);
  Integer GetHueBarWidth() const { return FHueBarWidth; }
  /// Negative values are ignored.
  void SetHueBarWidth(Integer Value);
  Integer GetBarsDistance() const { return FBarsDistance; }
  void SetBarsDistance(Integer Value);
  /// Width of the saturation/value square.
  Integer SquareWidth() const { return FBitmap.GetWidth() - FBarsDistance - FHueBarWidth; }
  TBitmap* GetBitmap() { return &FBitmap; }

  TNotifyEvent OnChange;

  /// The drawing follows the control's size also before it has a window.
  void SetBounds(Integer ALeft, Integer ATop, Integer AWidth, Integer AHeight) override;

 protected:
  void Paint() override;
  void ClientResized(Integer NewWidth, Integer NewHeight) override;
  void MouseDown(TMouseButton Button, TShiftState Shift, Integer X, Integer Y) override;
  void MouseMove(TShiftState Shift, Integer X, Integer Y) override;
  void MouseUp(TMouseButton Button, TShiftState Shift, Integer X, Integer Y) override;

 private:
  enum TDrag { dNone, dSquare, dHue };
  void DrawValSat();
  void DrawHue();
  void DrawGrips();
  void RedrawAll();
  void ColorFromHSV();
  void XMouseMove(Integer X, Integer Y);
  void Show();

  Integer FHue = 0, FSat = 0, FVal = 0;
  Byte FRed = 0, FGreen = 0, FBlue = 0;
  TColor FColor = clBlack;
  TColor FBackground = clBtnFace;
  Integer FHueBarWidth = 20, FBarsDistance = 5;
  TDrag FDrag = dNone;
  TBitmap FBitmap;
};
