// A view base for tests: answers the view's paint-lock and alpha-channel
// calls with nothing, so a test view only writes what it watches.
#pragma once

#include "views/lkview.h"

/// A TLKView without alpha channel whose paint locks do nothing.
class TStubView : public TLKView {
 public:
  explicit TStubView(TComponent* Owner = nullptr) : TLKView(Owner) {}
  TLKBitmap* GetAlphaChannel() override { return nullptr; }
  bool GetHasAlphaChannel() override { return false; }
  void RemoveAlphaChannel(bool) override {}
  void LockPaint() override {}
  Integer UnLockPaint() override { return 0; }
  Integer NPUnLockPaint() override { return 0; }
};
