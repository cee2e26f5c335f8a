// A splitter bar between two controls of one parent. Dragging it with the
// left button shows a tracking line that follows the pointer within limits;
// releasing resizes the control it governs, Esc cancels. Which control is
// sized, and along which axis, follows from the alignments of the two
// controls (the split kind), found again at each press.
#pragma once

#include "platform/stdctrls.h"

enum TSplitKind {
  skNone,
  skHeightFirst,   // vertical movement sizing the first control's height
  skHeightSecond,  // vertical movement sizing the second control's height
  skWidthFirst,    // horizontal movement sizing the first control's width
  skWidthSecond,   // horizontal movement sizing the second control's width
};

using TSplitterMoveEvent = std::function<void(TObject* Sender, Integer X, Integer Y, bool& AllowChange)>;

class TRxSplitter : public TCustomControl {
 public:
  explicit TRxSplitter(TComponent* AOwner = nullptr);
  ~TRxSplitter() override;

  /// The controls on either side. The splitter itself (or a control not
  /// sharing its parent's level, such as a form) is refused and stored as
  /// none. Setting one sets the cursor from the split kind.
  TControl* GetControlFirst() const { return FControlFirst; }
  void SetControlFirst(TControl* Value);
  TControl* GetControlSecond() const { return FControlSecond; }
  void SetControlSecond(TControl* Value);
  /// How close (pixels) the bar may come to the parent's top or left, and
  /// to its bottom or right, edge (default 20 each).
  Integer GetTopLeftLimit() const { return FTopLeftLimit; }
  void SetTopLeftLimit(Integer Value) { FTopLeftLimit = Value; }
  Integer GetBottomRightLimit() const { return FBottomRightLimit; }
  void SetBottomRightLimit(Integer Value) { FBottomRightLimit = Value; }
  /// Aligns the bar; a bar that was not at an edge before takes a
  /// thickness of 3, and without a first control takes the adjacent one.
  void SetAlign(TAlign Value);
  TPanelBevel GetBevelOuter() const { return FBevelOuter; }
  void SetBevelOuter(TPanelBevel Value);

  /// The split kind from the controls' alignments.
  TSplitKind SplitKind() const;
  /// The first control of the parent touching the bar's aligned side.
  TControl* AdjacentControl() const;
  /// Clamps a pointer position (the bar's coordinates) so that the bar's
  /// leading edge keeps off the first limit and its trailing edge off the
  /// second; valid while dragging.
  TPoint ClampDragPoint(TPoint P) const;
  bool GetDragging() const { return FDragging; }
  /// The tracking line shown while dragging (null otherwise).
  TControl* GetTrackLine() const { return FLine; }
  /// Ends a drag: applies the point (release) or not (Esc).
  void StopLineDrag(Integer X, Integer Y, bool Apply);

  TSplitterMoveEvent OnPosChanging;
  TNotifyEvent OnPosChanged;

 protected:
  void MouseDown(TMouseButton Button, TShiftState Shift, Integer X, Integer Y) override;
  void MouseMove(TShiftState Shift, Integer X, Integer Y) override;
  void MouseUp(TMouseButton Button, TShiftState Shift, Integer X, Integer Y) override;
  void Paint() override;
  void Notification(TComponent* AComponent, TOperation Operation) override;

 private:
  bool Vertical(TSplitKind Kind) const { return Kind == skHeightFirst || Kind == skHeightSecond; }
  Integer Thickness() const;
  void ApplySplitCursor();
  TControl* Accept(TControl* Value);
  void StartLineDrag();
  void DragStep(Integer X, Integer Y, bool AllowChange);
  void TrackLine(TPoint P);
  void FinishLineDrag(Integer X, Integer Y, bool Apply, bool AllowChange);
  void RestoreKeyDown();

  TControl* FControlFirst = nullptr;
  TControl* FControlSecond = nullptr;
  Integer FTopLeftLimit = 20;
  Integer FBottomRightLimit = 20;
  TPanelBevel FBevelOuter = bvRaised;
  TSplitKind FKind = skNone;
  bool FDragging = false;
  TPoint FPress;
  /// Limits of the bar's leading edge, in the bar's coordinates.
  TRect FLimits;
  /// Last line position in the parent's client coordinates.
  TPoint FLinePos;
  bool FNoDrop = false;
  TCustomControl* FLine = nullptr;
  TWinControl* FKeyControl = nullptr;
  TKeyEvent FOldKeyDown;
};
