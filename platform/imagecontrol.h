// A small image control: it shows the graphic its picture holds, at its own
// size from the top-left corner, centred, or stretched to the client area
// (keeping the aspect ratio when Proportional is on), and repaints whenever
// the picture changes, so an animated graphic plays in it.
#pragma once

#include <memory>

#include "platform/controls.h"
#include "platform/graphics.h"

class TImage : public TCustomControl {
 public:
  explicit TImage(TComponent* AOwner = nullptr);
  /// Tells its free-notification partners while the picture still exists.
  ~TImage() override;

  TPicture* GetPicture() const { return FPicture.get(); }
  /// Copies Value's graphic (null empties the picture).
  void SetPicture(TPicture* Value);
  bool GetStretch() const { return FStretch; }
  void SetStretch(bool Value);
  bool GetCenter() const { return FCenter; }
  void SetCenter(bool Value);
  bool GetProportional() const { return FProportional; }
  void SetProportional(bool Value);
  /// Where the graphic is drawn in the client area.
  TRect DestRect() const;

  /// Fired after the picture changed (before the repaint it causes).
  TNotifyEvent OnChange;

 protected:
  void Paint() override;

 private:
  void PictureChanged(TObject* Sender);
  std::unique_ptr<TPicture> FPicture;
  bool FStretch = false;
  bool FCenter = false;
  bool FProportional = false;
};
