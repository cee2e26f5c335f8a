// The spin edit: value text per type, clamping, stepping, the characters it
// takes, and the diagonal button's repeat timing on the manual clock.
#include <gtest/gtest.h>

#include "app/RXSpin.h"
#include "platform/forms.h"
#include "platform/testhooks.h"

namespace {

struct SpinFixture : ::testing::Test {
  void TearDown() override { TestHooks::Reset(); }
  TForm form;
  TRxSpinEdit* MakeEdit() {
    auto* e = new TRxSpinEdit(&form);
    e->SetParent(&form);
    return e;
  }
};

// Mouse messages straight to the control, with the left button's state.
void Press(TControl* C, Integer X, Integer Y) {
  TestHooks::SetKeyState(VK_LBUTTON, true);
  C->Perform(WM_LBUTTONDOWN, MK_LBUTTON, MAKELPARAM(static_cast<Word>(X), static_cast<Word>(Y)));
}
void Move(TControl* C, Integer X, Integer Y) {
  C->Perform(WM_MOUSEMOVE, MK_LBUTTON, MAKELPARAM(static_cast<Word>(X), static_cast<Word>(Y)));
}
void Release(TControl* C, Integer X, Integer Y) {
  TestHooks::SetKeyState(VK_LBUTTON, false);
  C->Perform(WM_LBUTTONUP, 0, MAKELPARAM(static_cast<Word>(X), static_cast<Word>(Y)));
}

}  // namespace

TEST_F(SpinFixture, FloatStepsAndTexts) {
  TRxSpinEdit* e = MakeEdit();
  EXPECT_EQ(e->GetText(), "0");
  e->SetValueType(vtFloat);
  e->SetValue(1);
  EXPECT_EQ(e->GetText(), "1.00");
  e->SetIncrement(0.1L);
  int changes = 0, tops = 0;
  e->OnChange = [&](TObject*) { ++changes; };
  e->OnTopClick = [&](TObject*) { ++tops; };
  e->StepUp();
  EXPECT_EQ(e->GetText(), "1.10");
  EXPECT_EQ(changes, 1) << "one change event per step";
  EXPECT_EQ(tops, 1);
  EXPECT_TRUE(e->GetModified());
  e->StepDown();
  e->StepDown();
  EXPECT_EQ(e->GetText(), "0.90");
  e->SetDecimal(3);
  EXPECT_EQ(e->GetText(), "0.900");

  // No range (MinValue = MaxValue = 0): negative values are allowed.
  e->SetValue(-5.25L);
  EXPECT_EQ(e->GetText(), "-5.250");
  // Text that is no number reads as MinValue.
  e->SetText("abc");
  EXPECT_EQ(e->GetValue(), 0);

  // Read-only: a beep and no change.
  e->SetText("2.000");
  e->SetReadOnly(true);
  const Integer beeps = GetBeepCount();
  e->StepUp();
  EXPECT_EQ(e->GetText(), "2.000");
  EXPECT_EQ(GetBeepCount(), beeps + 1);
}

TEST_F(SpinFixture, ClampingTypesAndIncrement) {
  TRxSpinEdit* e = MakeEdit();
  e->SetMinValue(0);
  e->SetMaxValue(10);
  e->SetValue(12);
  EXPECT_EQ(e->GetText(), "10");
  e->SetText("12");  // typed: kept until the edit is left
  EXPECT_EQ(e->GetText(), "12");
  e->Perform(WM_KILLFOCUS, 0, 0);
  EXPECT_EQ(e->GetText(), "10");
  e->SetText("-3");
  e->Perform(WM_KILLFOCUS, 0, 0);
  EXPECT_EQ(e->GetText(), "0");
  for (int i = 0; i < 12; ++i) e->StepUp();
  EXPECT_EQ(e->GetText(), "10");

  e->SetValue(2.5L);
  EXPECT_EQ(e->GetText(), "2") << "half to even";
  e->SetValue(3.5L);
  EXPECT_EQ(e->GetText(), "4");

  e->SetMaxValue(0);
  e->SetValueType(vtFloat);
  e->SetIncrement(0.4L);
  e->SetValueType(vtInt);
  EXPECT_EQ(e->GetIncrement(), 1) << "an increment that rounds to 0 becomes 1";
  e->SetIncrement(2.6L);
  e->SetValueType(vtHex);
  EXPECT_EQ(e->GetIncrement(), 3);
  e->SetValue(255);
  EXPECT_EQ(e->GetText(), "FF");
  EXPECT_EQ(e->GetValue(), 255);
  e->SetText("$10");  // the "$" is ours to add, not the user's
  EXPECT_EQ(e->GetValue(), 0);
  e->SetValue(1e30L);  // far past 64 bits: clamped, never undefined
  EXPECT_FALSE(e->GetText().empty());
}

TEST_F(SpinFixture, AcceptedCharacters) {
  TRxSpinEdit* e = MakeEdit();
  struct Row {
    TValueType Type;
    const char* Text;
    char C;
    bool Accepted;
  };
  const Row rows[] = {
      {vtInt, "1", '5', true},   {vtInt, "1", '-', true},    {vtInt, "1", '.', false},
      {vtInt, "1", 'a', false},  {vtInt, "1", '\b', true},   {vtFloat, "1", '.', true},
      {vtFloat, "1.5", '.', false},  // a second separator
      {vtFloat, "1.5", 'e', true},   {vtFloat, "1.5E3", 'e', false},  // a second exponent
      {vtHex, "1", 'f', true},   {vtHex, "1", 'G', false},   {vtFloat, "1", 'E', true},
  };
  for (const Row& r : rows) {
    e->SetValueType(r.Type);
    e->SetText(r.Text);
    EXPECT_EQ(e->AcceptsChar(r.C), r.Accepted) << r.Text << " + " << r.C;
  }
  e->SetEditorEnabled(false);
  EXPECT_FALSE(e->AcceptsChar('5'));
  EXPECT_FALSE(e->AcceptsChar('\b'));
  EXPECT_TRUE(e->AcceptsChar('\r'));

  // Up and Down keys step; a refused character is dropped with a beep.
  e->SetEditorEnabled(true);
  e->SetValueType(vtInt);
  e->SetText("7");
  e->Perform(WM_KEYDOWN, VK_UP, 0);
  EXPECT_EQ(e->GetText(), "8");
  e->Perform(WM_KEYDOWN, VK_DOWN, 0);
  e->Perform(WM_KEYDOWN, VK_DOWN, 0);
  EXPECT_EQ(e->GetText(), "6");
  const Integer beeps = GetBeepCount();
  EXPECT_NE(e->Perform(WM_CHAR, 'x', 0), 0) << "consumed";
  EXPECT_EQ(GetBeepCount(), beeps + 1);
  EXPECT_EQ(e->Perform(WM_CHAR, '4', 0), 0);
}

TEST_F(SpinFixture, DiagonalHalves) {
  struct Row {
    Integer X, Y;
    TSpinButtonState Half;
  };
  const Row rows[] = {{2, 2, sbTopDown}, {17, 17, sbBottomDown}, {0, 19, sbTopDown}, {10, 10, sbTopDown},
                      {11, 10, sbBottomDown}, {19, 0, sbTopDown}};
  for (const Row& r : rows) EXPECT_EQ(TRxSpinButton::HalfAt(20, 20, r.X, r.Y), r.Half) << r.X << "," << r.Y;
}

TEST_F(SpinFixture, HeldHalfRepeatsAfter400ThenEvery100) {
  TestHooks::SetManualTimers(true);
  TRxSpinEdit* e = MakeEdit();
  e->SetBounds(10, 10, 65, 21);
  TRxSpinButton* b = e->GetSpinButton();
  ASSERT_NE(b, nullptr);
  int ups = 0, downs = 0;
  e->OnTopClick = [&](TObject*) { ++ups; };
  e->OnBottomClick = [&](TObject*) { ++downs; };

  Press(b, 1, 1);  // the upper-left half
  EXPECT_EQ(ups, 1) << "once at the press";
  EXPECT_EQ(b->GetDown(), sbTopDown);
  TestHooks::AdvanceTimers(399);
  EXPECT_EQ(ups, 1);
  TestHooks::AdvanceTimers(1);
  EXPECT_EQ(ups, 2) << "again after 400 ms";
  TestHooks::AdvanceTimers(300);
  EXPECT_EQ(ups, 5) << "then every 100 ms";
  Move(b, b->GetWidth() - 1, b->GetHeight() - 1);  // onto the other half
  EXPECT_EQ(b->GetDown(), sbNotDown);
  TestHooks::AdvanceTimers(500);
  EXPECT_EQ(ups, 5) << "paused off the half";
  EXPECT_EQ(downs, 0);
  Move(b, 1, 1);
  TestHooks::AdvanceTimers(100);
  EXPECT_EQ(ups, 6) << "back on it";
  Release(b, 1, 1);
  EXPECT_EQ(b->GetDown(), sbNotDown);
  TestHooks::AdvanceTimers(1000);
  EXPECT_EQ(ups, 6) << "released";
  EXPECT_EQ(e->GetText(), "6");

  Press(b, b->GetWidth() - 2, b->GetHeight() - 2);
  EXPECT_EQ(downs, 1);
  TestHooks::AdvanceTimers(400);
  EXPECT_EQ(downs, 2) << "each press starts at 400 again";
  Release(b, b->GetWidth() - 2, b->GetHeight() - 2);
  EXPECT_EQ(e->GetText(), "4");
}

TEST_F(SpinFixture, StandardKindAndDisabling) {
  TRxSpinEdit* e = MakeEdit();
  e->SetButtonKind(bkStandard);
  EXPECT_EQ(e->GetSpinButton(), nullptr);
  ASSERT_NE(e->GetUpDown(), nullptr);
  e->GetUpDown()->ButtonClick(btNext);
  e->GetUpDown()->ButtonClick(btNext);
  EXPECT_EQ(e->GetText(), "2");
  e->GetUpDown()->ButtonClick(btPrev);
  EXPECT_EQ(e->GetText(), "1");
  e->SetEnabled(false);
  EXPECT_FALSE(e->GetUpDown()->GetEnabled());
  e->SetButtonKind(bkDiagonal);
  ASSERT_NE(e->GetSpinButton(), nullptr);
  e->SetHeight(5);
  EXPECT_EQ(e->GetHeight(), e->MinimalHeight());
}

TEST_F(SpinFixture, GlyphsAreDrawnInTheirHalvesAndCanBeReplaced) {
  auto* b = new TRxSpinButton(&form);
  b->SetParent(&form);
  b->HandleNeeded();
  ASSERT_NE(b->GetUpGlyph(), nullptr);
  EXPECT_EQ(b->GetUpGlyph()->GetWidth(), 6);
  EXPECT_TRUE(b->GetUpGlyph()->GetMonochrome());
  auto pixel = [&](Integer X, Integer Y) {
    b->Repaint();
    return b->GetSurface()->GetCanvas()->GetPixel(X, Y);
  };
  // 20 x 20: the up arrow's base row lies at y = 6 from x = 3 to 8, the
  // down arrow's at y = 13 from x = 11 to 16; the white around them is left
  // out.
  const TColor face = ColorToRGB(clBtnFace);
  EXPECT_EQ(pixel(5, 6), clBlack);
  EXPECT_EQ(pixel(3, 4), face);
  EXPECT_EQ(pixel(13, 13), clBlack);
  EXPECT_EQ(pixel(11, 15), face);

  // A glyph of the caller's: its bottom-left colour is left out.
  TBitmap mine(3, 3, pf24bit);
  mine.GetCanvas()->GetBrush()->SetColor(clBlue);
  mine.GetCanvas()->FillRect(TRect{0, 0, 3, 3});
  mine.GetCanvas()->SetPixel(1, 1, clRed);
  b->SetUpGlyph(&mine);
  mine.GetCanvas()->SetPixel(1, 1, clLime);  // copied, not shared
  EXPECT_EQ(pixel(6, 6), clRed);
  EXPECT_EQ(pixel(5, 5), face);
  b->SetUpGlyph(nullptr);
  EXPECT_EQ(b->GetUpGlyph()->GetWidth(), 6);
  EXPECT_EQ(pixel(5, 6), clBlack);
}
