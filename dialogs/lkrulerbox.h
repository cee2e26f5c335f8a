// A graduated ruler with any number of draggable grips, each holding a
// position in ruler units. Dragging a grip past an end scrolls the ruler,
// driven by a timer while the pointer stays beyond that end.
#pragma once

#include <functional>
#include <memory>
#include <vector>

#include "core/hylkdefs.h"
#include "platform/controls.h"
#include "platform/graphics.h"

enum TRulerDir : Byte { rdHorizontal, rdVertical };
enum TGripsDir : Byte { gdUp, gdDown };
enum TGripKind : Byte { gkTriangle, gkLeftTriangle, gkRightTriangle, gkArrow, gkArrow2 };

using TRulerPosChangeEvent = std::function<void(TObject* Sender, Integer Grip)>;
using TRulerGripClickEvent = std::function<void(TObject* Sender, Integer Grip)>;
using TRulerGripDblClickEvent = std::function<void(TObject* Sender, Integer Grip)>;
using TRulerClickEvent = std::function<void(TObject* Sender, double Value)>;

class TRulerBox : public TCustomControl {
 public:
  explicit TRulerBox(TComponent* AOwner = nullptr);
  ~TRulerBox() override;

  double GetViewPos() const { return FViewPos; }
  void SetViewPos(double Value);
  double GetDotPerUnit() const { return FDPU; }
  void SetDPU(double Value);
  double GetFrequency() const { return FFrequency; }
  void SetFrequency(double Value);
  double GetLabelFreq() const { return FLabelFreq; }
  void SetLabelFreq(double Value);
  double GetViewMin() const { return FViewMin; }
  void SetViewMin(double Value);
  double GetViewMax() const { return FViewMax; }
  void SetViewMax(double Value);
  bool GetFitInView() const { return FFitInView; }
  void SetFitInView(bool Value);
  bool GetRuler() const { return FRuler; }
  void SetRuler(bool Value);
  TColor GetRulerColor() const { return FRulerColor; }
  void SetRulerColor(TColor Value);
  TColor GetBackground() const { return FBackground; }
  void SetBackground(TColor Value);
  TRulerDir GetRulerDir() const { return FRulerDir; }
  void SetRulerDir(TRulerDir Value);
  TGripsDir GetGripsDir() const { return FGripsDir; }
  void SetGripsDir(TGripsDir Value);
  Integer GetGripBaseDim() const { return FGripBaseDim; }
  void SetGripBaseDim(Integer Value);
  Integer GetGripsCount() const { return static_cast<Integer>(FGrips.size()); }
  void SetGripsCount(Integer Value);
  bool GetHexLabels() const { return FHexLabels; }
  void SetHexLabels(bool Value);

  /// Indexed grip values: getters give 0 outside the grips, setters ignore
  /// such an index.
  double GetGripsPos(Integer i) const;
  void SetGripsPos(Integer i, double Value);
  TColor GetGripsCol(Integer i) const;
  void SetGripsCol(Integer i, TColor Value);
  TGripKind GetGripsKind(Integer i) const;
  void SetGripsKind(Integer i, TGripKind Value);
  double GetGripsMin(Integer i) const;
  void SetGripsMin(Integer i, double Value);
  double GetGripsMax(Integer i) const;
  void SetGripsMax(Integer i, double Value);

  Integer GetRulerHeight() const;
  Integer GetXGripPos(Integer i) const;
  double GetWidthInUnit() const;
  void GetGripPoly(Integer i, std::vector<TPoint>& Points) const;
  TRect GetGripRect(Integer i) const;
  /// The highest-numbered grip under the point, -1 when none.
  Integer GetClickedGrip(Integer X, Integer Y) const;
  /// The text of a label at value V.
  String LabelText(double V) const;
  /// The font of the scale.
  TFont* GetFont() { return FBitmap.GetCanvas()->GetFont(); }
  TBitmap* GetBitmap() { return &FBitmap; }

  void Update() override;

  /// One step of the scroll past an end while a grip is dragged there
  /// (Direction -1: left or top, +1: right or bottom). The timer calls it.
  void ScrollStep(Integer Direction);

  TRulerPosChangeEvent OnRulerPosChange;
  TRulerGripClickEvent OnRulerGripClick;
  TRulerGripDblClickEvent OnRulerGripDblClick;
  TRulerClickEvent OnRulerClick;

  /// The drawing follows the control's size also before it has a window.
  void SetBounds(Integer ALeft, Integer ATop, Integer AWidth, Integer AHeight) override;

 protected:
  void Paint() override;
  void ClientResized(Integer NewWidth, Integer NewHeight) override;
  void MouseDown(TMouseButton Button, TShiftState Shift, Integer X, Integer Y) override;
  void MouseMove(TShiftState Shift, Integer X, Integer Y) override;
  void MouseUp(TMouseButton Button, TShiftState Shift, Integer X, Integer Y) override;

 private:
  struct TGrip {
    double Pos = 0;
    TColor Color = clBtnFace;
    TGripKind Kind = gkTriangle;
    double Min = 0, Max = 0;
  };
  void AdjustGripLimits(Integer i);
  void AdjustViewLimits();
  void RepaintGrips();
  void RepaintRuler();
  TGrip NewGrip() const;
  Integer Length() const;  // along the ruler
  void StopScroll();

  double FViewPos = 0, FDPU = 1, FFrequency = 10, FLabelFreq = 40, FViewMin = 0, FViewMax = 0;
  bool FFitInView = false, FRuler = true, FHexLabels = false;
  TColor FRulerColor = clBtnFace, FBackground = clBtnFace;
  TRulerDir FRulerDir = rdHorizontal;
  TGripsDir FGripsDir = gdUp;
  Integer FGripBaseDim = 12;
  std::vector<TGrip> FGrips;
  Integer FPressed = -1;
  TPoint FPressPoint{};
  Integer FPressGripPixel = 0;
  Integer FScrollDir = 0;
  TTimer* FScrollTimer = nullptr;
  TBitmap FBitmap;
};
