// A vector view in a shown window at 100 % with the picture at the client
// origin, whose mouse handlers tests can call.
#pragma once

#include <gtest/gtest.h>

#include <QWidget>

#include "core/lkbitmap.h"
#include "platform/testhooks.h"
#include "views/lumerakvect.h"
#include "views/view_fixture.h"

class TTestVect : public TLumerakVect {
 public:
  using TLumerakVect::MouseDown;
  using TLumerakVect::MouseMove;
  using TLumerakVect::MouseUp;
  Integer Updates = 0;
  void Update() override {
    ++Updates;
    TLumerakVect::Update();
  }
};

class VectTest : public testing::Test {
 protected:
  void SetUp() override {
    form_.resize(900, 700);
    v_ = new TTestVect();
    v_->SetParentWindow(&form_);
    v_->SetBounds(0, 0, 420, 320);
    v_->SetCenter(false);
    form_.show();
  }
  void TearDown() override {
    TestHooks::Reset();
    delete v_;
  }
  /// A W x H picture filled with one colour, then Update and a paint.
  void Load(Integer W, Integer H, TRGB C = TRGB{255, 255, 255}) {
    TLKBitmap* b = v_->GetLKBitmap();
    b->Allocate(W, H, lk24RGB);
    for (Integer y = 0; y < H; ++y)
      for (Integer x = 0; x < W; ++x) b->SetPixels_lk24RGB(x, y, C);
    v_->Update();
    v_->PaintNow();
  }
  /// A new object of Kind with rectangle R (a copy of the template).
  Integer Add(TLKVObjectKind Kind, TRect R) {
    TLKVObject o;
    o.Kind = Kind;
    o.X1 = R.Left;
    o.Y1 = R.Top;
    o.X2 = R.Right;
    o.Y2 = R.Bottom;
    o.PenColor = clBlack;
    return v_->AddVObject(o);
  }
  /// Press, moves with the button held, release at the last point.
  void Drag(std::initializer_list<TPoint> Points, TShiftState Extra = {}) {
    const TPoint* p = Points.begin();
    const TShiftState held = Extra + TShiftState{ssLeft};
    v_->MouseDown(mbLeft, held, p->X, p->Y);
    for (const TPoint* q = p + 1; q != Points.end(); ++q) v_->MouseMove(held, q->X, q->Y);
    const TPoint last = *(Points.end() - 1);
    v_->MouseUp(mbLeft, Extra, last.X, last.Y);
  }
  void Click(Integer X, Integer Y, TShiftState Extra = {}) { Drag({TPoint{X, Y}}, Extra); }
  /// Back-buffer pixel after a repaint.
  TRGB Pixel(Integer X, Integer Y) {
    v_->MarkBackBufferDirty();
    v_->PaintNow();
    const Byte* p = static_cast<const Byte*>(v_->GetBackBufferLK()->GetScanLine(Y)) + X * 3;
    return TRGB{p[0], p[1], p[2]};
  }
  QWidget form_;
  TTestVect* v_ = nullptr;
};
