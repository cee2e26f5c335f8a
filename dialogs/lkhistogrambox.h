// A small control that draws the histogram of the picture of a processing
// component: one to four channels as bars or lines, optional axis labels
// and a colour ramp under the graph. Everything is drawn into its own 24-bit
// bitmap, which Paint copies.
#pragma once

#include "platform/classes.h"
#include "platform/controls.h"
#include "platform/graphics.h"

class TLumerakProc;

enum THistogramKindItem : Byte { hkRed, hkGreen, hkBlue, hkGray };
using THistogramKind = TSet<THistogramKindItem>;
enum THistogramLabel : Byte { hlVertical, hlHorizontal };
using THistogramLabels = TSet<THistogramLabel>;
enum THistogramStyle : Byte { hsBars, hsLines };

class THistogramBox : public TCustomControl {
 public:
  explicit THistogramBox(TComponent* AOwner = nullptr);
  ~THistogramBox() override;

  TLumerakProc* GetAttachedLumerakProc() const { return FProc; }
  /// Not owned; forgotten when the component goes away.
  void SetAttachedLumerakProc(TLumerakProc* Value);
  TColor GetBackground() const { return FBackground; }
  void SetBackground(TColor Value);
  THistogramKind GetHistogramKind() const { return FKind; }
  void SetHistogramKind(THistogramKind Value);
  THistogramLabels GetLabels() const { return FLabels; }
  void SetLabels(THistogramLabels Value);
  bool GetCompBar() const { return FCompBar; }
  void SetCompBar(bool Value);
  THistogramStyle GetHistogramStyle() const { return FStyle; }
  void SetHistogramStyle(THistogramStyle Value);
  TColor GetGrayColor() const { return FGrayColor; }
  void SetGrayColor(TColor Value) { FGrayColor = Value; }
  /// Left edge of the drawing area in the parent's coordinates (set by the
  /// first drawing with data).
  Integer GetHistogramLeft() const { return FHistogramLeft; }
  /// The drawing (the box's size, 24-bit).
  TBitmap* GetBitmap() { return &FBitmap; }
  /// The font of the labels.
  TFont* GetFont() { return FBitmap.GetCanvas()->GetFont(); }

  /// Draws the histogram again and invalidates the box.
  void Update() override;

  /// The drawing follows the control's size also before it has a window.
  void SetBounds(Integer ALeft, Integer ATop, Integer AWidth, Integer AHeight) override;

 protected:
  void Paint() override;
  void ClientResized(Integer NewWidth, Integer NewHeight) override;
  void Notification(TComponent* AComponent, TOperation Operation) override;

 private:
  TLumerakProc* FProc = nullptr;
  TColor FBackground = clWhite;
  THistogramKind FKind{hkGray};
  THistogramLabels FLabels{hlVertical, hlHorizontal};
  bool FCompBar = true;
  THistogramStyle FStyle = hsBars;
  TColor FGrayColor = clBlack;
  Integer FHistogramLeft = 0;
  TBitmap FBitmap;
};
