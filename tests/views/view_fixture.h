// A single-image view shown in a top-level Qt window, with pictures made in
// code.
#pragma once

#include <gtest/gtest.h>

#include <QWidget>
#include <memory>

#include "core/lkbitmap.h"
#include "views/lumerakview.h"

/// Makes B a W x H lk24RGB picture whose pixel (x, y) is (blue x, green y,
/// red x + y) modulo 256.
inline void FillTestPicture(TLKBitmap* B, Integer W, Integer H) {
  B->Allocate(W, H, lk24RGB);
  for (Integer y = 0; y < H; ++y) {
    auto* row = static_cast<Byte*>(B->GetScanLine(y));
    for (Integer x = 0; x < W; ++x) {
      row[x * 3] = static_cast<Byte>(x);
      row[x * 3 + 1] = static_cast<Byte>(y);
      row[x * 3 + 2] = static_cast<Byte>(x + y);
    }
  }
}

class ViewTest : public testing::Test {
 protected:
  void SetUp() override {
    form_.resize(900, 700);
    view_ = new TLumerakView();
    view_->SetParentWindow(&form_);
    view_->SetBounds(0, 0, 420, 320);
    form_.show();
  }
  void TearDown() override { delete view_; }

  /// Gives the view a W x H lk24RGB picture whose pixel (x, y) is
  /// (blue x, green y, red x + y) modulo 256, then Update.
  void Load(Integer W, Integer H) {
    FillTestPicture(view_->GetLKBitmap(), W, H);
    view_->Update();
  }

  /// Pixel (x, y) of the client image as blue, green, red.
  TRGB Screen(Integer X, Integer Y) {
    const Byte* p = view_->GetSurface()->ScanLine(Y) + X * 3;
    return TRGB{p[0], p[1], p[2]};
  }
  TRGB Back(Integer X, Integer Y) {
    const Byte* p = static_cast<const Byte*>(view_->GetBackBufferLK()->GetScanLine(Y)) + X * 3;
    return TRGB{p[0], p[1], p[2]};
  }

  QWidget form_;
  TLumerakView* view_ = nullptr;
};

inline std::ostream& operator<<(std::ostream& O, const TRGB& C) {
  return O << "(b " << int(C.b) << ", g " << int(C.g) << ", r " << int(C.r) << ")";
}
