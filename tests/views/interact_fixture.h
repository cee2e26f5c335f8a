// A view whose mouse and key handlers tests can call, in a shown window, at
// 100 % with the picture at the client origin.
#pragma once

#include <gtest/gtest.h>

#include <QWidget>

#include "core/lkbitmap.h"
#include "core/lkmask.h"
#include "platform/testhooks.h"
#include "views/lumerakview.h"
#include "views/view_fixture.h"

class TInteractView : public TLumerakView {
 public:
  using TLumerakView::MouseDown;
  using TLumerakView::MouseMove;
  using TLumerakView::MouseUp;
};

class InteractTest : public testing::Test {
 protected:
  void SetUp() override {
    form_.resize(900, 700);
    view_ = new TInteractView();
    view_->SetParentWindow(&form_);
    view_->SetBounds(0, 0, 420, 320);
    view_->SetCenter(false);
    form_.show();
  }
  void TearDown() override {
    TestHooks::Reset();
    delete view_;
  }

  /// A W x H lk24RGB picture of colour (x, y, x + y), then Update and a paint
  /// (which places the layer's client rectangle).
  void Load(Integer W, Integer H) {
    FillTestPicture(view_->GetLKBitmap(), W, H);
    view_->Update();
    view_->PaintNow();
  }

  /// One scripted gesture: press at the first point, move through the
  /// others with the button held, release at the last.
  void Drag(std::initializer_list<TPoint> Points, TShiftState Extra = {}, TMouseButton Button = mbLeft) {
    const TPoint* p = Points.begin();
    const TShiftState held = Extra + TShiftState{Button == mbLeft ? ssLeft : ssRight};
    view_->MouseDown(Button, held, p->X, p->Y);
    for (const TPoint* q = p + 1; q != Points.end(); ++q) view_->MouseMove(held, q->X, q->Y);
    const TPoint last = *(Points.end() - 1);
    view_->MouseUp(Button, Extra, last.X, last.Y);
  }

  TRect MaskBox() {
    TLKMask* m = view_->GetSelectionMask();
    return TRect{m->GetX1(), m->GetY1(), m->GetX2(), m->GetY2()};
  }

  QWidget form_;
  TInteractView* view_ = nullptr;
};

inline std::ostream& operator<<(std::ostream& O, const TRect& R) {
  return O << "(" << R.Left << ", " << R.Top << ", " << R.Right << ", " << R.Bottom << ")";
}
inline std::ostream& operator<<(std::ostream& O, const TPoint& P) { return O << "(" << P.X << ", " << P.Y << ")"; }
