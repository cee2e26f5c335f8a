// A numeric edit with a spin control at its edge. The value lives in the
// text: integer, fixed-point (Decimal places, "." as separator whatever the
// locale) or hexadecimal, optionally clamped to MinValue..MaxValue, stepped
// by Increment with the spin control, the Up and Down keys or the mouse.
// The spin control is a square button split along its diagonal (upper-left
// half up, lower-right half down) that repeats while held: once at the
// press, again after 400 ms, then every 100 ms; or the standard up-down
// control.
#pragma once

#include <memory>

#include "platform/comctrls.h"

enum TValueType { vtInt, vtFloat, vtHex };
enum TSpinButtonKind { bkStandard, bkDiagonal };
enum TSpinButtonState { sbNotDown, sbTopDown, sbBottomDown };

/// The diagonal spin button.
class TRxSpinButton : public TCustomControl {
 public:
  explicit TRxSpinButton(TComponent* AOwner = nullptr);
  ~TRxSpinButton() override;

  /// The half shown pressed now.
  TSpinButtonState GetDown() const { return FDown; }
  /// Which half a point of a button W x H wide lies in (the bottom half when
  /// y > H - (H / W) * x).
  static TSpinButtonState HalfAt(Integer W, Integer H, Integer X, Integer Y);
  /// The control that takes the focus at a press (null: none).
  TWinControl* GetFocusControl() const { return FFocusControl; }
  void SetFocusControl(TWinControl* Value);
  /// The repeat timer (null before the first press).
  TTimer* GetRepeatTimer() const { return FRepeatTimer; }
  /// The glyphs drawn in the two halves, their bottom-left colour left out.
  /// The defaults are 6 x 6 black arrows on white. Setting copies the
  /// bitmap; null (or an empty one) brings the default back.
  TBitmap* GetUpGlyph() const { return FUpGlyph.get(); }
  void SetUpGlyph(TBitmap* Value);
  TBitmap* GetDownGlyph() const { return FDownGlyph.get(); }
  void SetDownGlyph(TBitmap* Value);

  TNotifyEvent OnTopClick, OnBottomClick;

 protected:
  void MouseDown(TMouseButton Button, TShiftState Shift, Integer X, Integer Y) override;
  void MouseMove(TShiftState Shift, Integer X, Integer Y) override;
  void MouseUp(TMouseButton Button, TShiftState Shift, Integer X, Integer Y) override;
  void Paint() override;
  void Notification(TComponent* AComponent, TOperation Operation) override;
  void EnabledChanged() override;

 private:
  void SetDown(TSpinButtonState Value);
  void FireClick(TSpinButtonState Half);
  void TimerExpired(TObject* Sender);
  /// Draws the look of one state on the canvas.
  void PaintStateImage(TSpinButtonState State);

  TSpinButtonState FDown = sbNotDown;
  TSpinButtonState FDragDown = sbNotDown;
  bool FDragging = false;
  TWinControl* FFocusControl = nullptr;
  TTimer* FRepeatTimer = nullptr;
  std::unique_ptr<TBitmap> FUpGlyph, FDownGlyph;
};

/// The numeric edit.
class TRxSpinEdit : public TEdit {
 public:
  explicit TRxSpinEdit(TComponent* AOwner = nullptr);
  ~TRxSpinEdit() override;

  /// The text as a number; text that does not convert reads as MinValue.
  long double GetValue();
  /// Writes Value (clamped) as text of the value type.
  void SetValue(long double Value);
  /// Value limited to MinValue..MaxValue (unchanged when the two are equal:
  /// no range).
  long double ClampValue(long double Value) const;
  TValueType GetValueType() const { return FValueType; }
  /// Rewrites the text; integer types round Increment (0 becomes 1).
  void SetValueType(TValueType Value);
  Byte GetDecimal() const { return FDecimal; }
  void SetDecimal(Byte Value);
  long double GetIncrement() const { return FIncrement; }
  void SetIncrement(long double Value) { FIncrement = Value; }
  long double GetMinValue() const { return FMinValue; }
  void SetMinValue(long double Value) { FMinValue = Value; }
  long double GetMaxValue() const { return FMaxValue; }
  void SetMaxValue(long double Value) { FMaxValue = Value; }
  bool GetEditorEnabled() const { return FEditorEnabled; }
  void SetEditorEnabled(bool Value) { FEditorEnabled = Value; }
  bool GetArrowKeys() const { return FArrowKeys; }
  void SetArrowKeys(bool Value);
  TSpinButtonKind GetButtonKind() const { return FButtonKind; }
  void SetButtonKind(TSpinButtonKind Value);
  /// The diagonal button (null with the standard kind).
  TRxSpinButton* GetSpinButton() const { return FButton; }
  /// The up-down control (null with the diagonal kind).
  TUpDown* GetUpDown() const { return FUpDown; }
  /// The height below which the edit does not go.
  Integer MinimalHeight() const;
  bool GetAutoSelect() const { return FAutoSelect; }
  void SetAutoSelect(bool Value) { FAutoSelect = Value; }

  /// Steps the value up or down by Increment (a beep when read-only).
  virtual void StepUp();
  virtual void StepDown();
  /// Whether the user may type C.
  virtual bool AcceptsChar(char C);

  TNotifyEvent OnTopClick, OnBottomClick;

 protected:
  void Change() override;
  void KeyDown(Word& Key, TShiftState Shift) override;
  void KeyPress(char& Key) override;
  void DoEnter() override;
  void DoExit() override;
  void EnabledChanged() override;
  void ClientResized(Integer NewWidth, Integer NewHeight) override;

 private:
  long double TextValue(bool& Ok) const;
  void Step(long double Delta, const TNotifyEvent& Event);
  void BuildSpinControl();
  void PlaceSpinControl();
  void LimitTextArea();

  TValueType FValueType = vtInt;
  Byte FDecimal = 2;
  long double FIncrement = 1;
  long double FMinValue = 0;
  long double FMaxValue = 0;
  bool FEditorEnabled = true;
  bool FArrowKeys = true;
  bool FAutoSelect = true;
  TSpinButtonKind FButtonKind = bkDiagonal;
  bool FChanging = false;
  bool FBuilding = false;
  TRxSpinButton* FButton = nullptr;
  TUpDown* FUpDown = nullptr;
};
