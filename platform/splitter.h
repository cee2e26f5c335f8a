// A splitter: a thin aligned bar the user drags to resize the control
// aligned before it (at the same edge), live while dragging.
#pragma once

#include <algorithm>

#include "platform/controls.h"

using TCanResizeEvent = std::function<void(TObject* Sender, Integer& NewSize, bool& Accept)>;

class TSplitter : public TCustomControl {
 public:
  explicit TSplitter(TComponent* AOwner = nullptr);
  /// Smallest size left to the resized control and to the rest (default 30).
  Integer GetMinSize() const { return FMinSize; }
  void SetMinSize(Integer Value) { FMinSize = std::max(1, Value); }
  /// The control the splitter resizes now (null when none touches it).
  TControl* FindControl() const;

  TCanResizeEvent OnCanResize;
  TNotifyEvent OnMoved;

 protected:
  void MouseDown(TMouseButton Button, TShiftState Shift, Integer X, Integer Y) override;
  void MouseMove(TShiftState Shift, Integer X, Integer Y) override;
  void MouseUp(TMouseButton Button, TShiftState Shift, Integer X, Integer Y) override;
  void Paint() override;
  void CMMouseEnter(TMessage& Message) override;

 private:
  bool Horizontal() const { return GetAlign() == alLeft || GetAlign() == alRight; }
  Integer FMinSize = 30;
  TControl* FControl = nullptr;
  TPoint FDownAt;
  Integer FStartSize = 0;
};
