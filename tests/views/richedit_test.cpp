// The memo editor: its text model (styles, typing, caret steps, style
// commands, clipboard blocks, the code page) and the control's layout,
// keys, mouse and clipboard.
#include <gtest/gtest.h>

#include "platform/clipboard.h"
#include "platform/controls.h"
#include "views/lkrichedit.h"
#include "views/lkvectgeom.h"

namespace {

TLKCharInfo Style(Integer Height, TFontStyles S = {}) {
  TFont f;
  f.SetName("DejaVu Sans");
  f.SetHeight(Height);
  f.SetStyle(S);
  f.SetColor(clBlack);
  return lkcharinfo::Make(f, clWhite, bsClear, lkjLeft);
}

TLKRichText Typed(const std::string& S) {
  TLKRichText r;
  r.Init(Style(-12));
  for (char c : S) c == '\n' ? (void)r.AddChar(c) : (void)r.TypeChar(c);
  return r;
}

TEST(RichText, TypingSharesStylesAndOverwrites) {
  TLKRichText r = Typed("ab");
  ASSERT_EQ(r.Styles.size(), 1u);
  EXPECT_EQ(lkcharinfo::Count(r.Styles[0]), 2);  // two characters, one record
  r.InsertMode = false;
  r.Caret = 0;
  r.TypeChar('X');  // overwrite in the middle replaces
  EXPECT_EQ(r.Text, "Xb");
  r.Caret = 2;
  r.TypeChar('Y');  // overwrite at the end appends
  EXPECT_EQ(r.Text, "XbY");
  EXPECT_FALSE(r.TypeChar('\x7F'));
  EXPECT_FALSE(r.TypeChar('\t'));
  EXPECT_EQ(r.Text, "XbY");
  // Deleting lowers counts; unreferenced records go and indexes follow.
  r.Current = Style(-20);
  r.Caret = 3;
  r.TypeChar('Z');
  ASSERT_EQ(r.Styles.size(), 2u);
  r.DelChar(0);
  r.DelChar(0);
  r.DelChar(0);
  EXPECT_EQ(lkcharinfo::Count(r.Styles[0]), 0);
  r.RemoveUnreferenced();
  ASSERT_EQ(r.Styles.size(), 1u);
  EXPECT_EQ(r.StyleIndex, std::vector<Integer>{0});
  EXPECT_EQ(lkcharinfo::Height(r.CharInfo(0)), -20);
}

TEST(RichText, InitRepairsHandedInData) {
  TLKRichText r;
  r.Text = "abc";
  r.StyleIndex = {0, 7};  // too short, and 7 names no record
  r.Init(Style(-12));
  EXPECT_EQ(r.StyleIndex, (std::vector<Integer>{0, 0, 0}));
  ASSERT_EQ(r.Styles.size(), 1u);
  EXPECT_EQ(lkcharinfo::Count(r.Styles[0]), 3);
}

TEST(RichText, CodePage) {
  struct Case {
    char32_t CodePoint;
    bool Stored;
    unsigned char Byte;
  };
  const Case cases[] = {
      {U'a', true, 'a'},      {U'\u00E9', true, 0xE9}, {U'\u20AC', true, 0x80}, {U'\u0153', true, 0x9C},
      {U'\u0416', false, 0},  // Cyrillic: not in the code page
      {U'\U0001F600', false, 0}, {U'\u0081', false, 0},  // an unused code of the 0x80 block
  };
  for (const Case& c : cases) {
    TLKRichText r = Typed("x");
    EXPECT_EQ(r.TypeCodePoint(c.CodePoint), c.Stored) << static_cast<uint32_t>(c.CodePoint);
    if (c.Stored) {
      ASSERT_EQ(r.Text.size(), 2u);
      EXPECT_EQ(static_cast<unsigned char>(r.Text[1]), c.Byte);
    } else {
      EXPECT_EQ(r.Text, "x");
      EXPECT_EQ(r.StyleIndex.size(), 1u);
    }
  }
  TLKRichText p = Typed("");
  EXPECT_EQ(p.PastePlainText("caf\xC3\xA9 \xD0\x96!\r\n"), 1);  // one Cyrillic letter left out
  EXPECT_EQ(p.Text, "caf\xE9 !\n");
  EXPECT_EQ(LKAnsiToUtf8(p.Text), "caf\xC3\xA9 !\n");
}

TEST(RichText, CaretStepsAndSelection) {
  const TLKRichText r = Typed("ab  cd ef");
  struct Case {
    Integer From;
    bool Forward;
    Integer To;
  };
  const Case cases[] = {{9, false, 7}, {7, false, 4}, {5, false, 4}, {1, false, 0}, {0, false, 0},
                        {0, true, 2},  {2, true, 6},  {6, true, 8}};
  for (const Case& c : cases) {
    Integer i = c.From;
    c.Forward ? r.GoWordForwardIdx(i) : r.GoWordBackIdx(i);
    EXPECT_EQ(i, c.To) << c.From << (c.Forward ? " forward" : " back");
  }
  TLKRichText s = Typed("abcdef");
  s.Caret = 3;
  s.SStop(2, true);  // Shift+Right from 2
  EXPECT_EQ(std::pair(s.SelStart, s.SelEnd), std::pair(2, 3));
  s.Caret = 4;
  s.SStop(3, true);
  EXPECT_EQ(std::pair(s.SelStart, s.SelEnd), std::pair(2, 4));
  s.Caret = 1;
  s.SStop(4, true);  // back past the anchor: the start moves
  EXPECT_EQ(std::pair(s.SelStart, s.SelEnd), std::pair(1, 4));
  s.SStop(1, false);
  EXPECT_FALSE(s.HasSelection());
  s.Caret = 3;
  s.SelectWordAtCaret();
  EXPECT_EQ(std::pair(s.SelStart, s.SelEnd), std::pair(0, 6));
}

TEST(RichText, StyleCommands) {
  // Bold on a selection whose first character is bold: all become plain
  // with the first character's other bits.
  TLKRichText r = Typed("");
  r.Current = Style(-12, {fsBold, fsUnderline});
  r.TypeChar('a');
  r.Current = Style(-12, {fsItalic});
  r.TypeChar('b');
  r.SelStart = 0;
  r.SelEnd = 2;
  r.SwitchFontStyle(fsBold);
  for (Integer i : {0, 1}) EXPECT_TRUE(lkcharinfo::Styles(r.CharInfo(i)) == TFontStyles{fsUnderline}) << i;

  struct Size {
    Integer Height;
    bool Grow;
    Integer Result;
  };
  for (const Size& c : {Size{-12, false, -11}, Size{1, true, 2}, Size{1, false, 1}, Size{-12, true, -13},
                        Size{-1, false, 1}}) {
    TLKRichText t = Typed("");
    lkcharinfo::SetHeight(t.Current, c.Height);
    c.Grow ? t.IncFontSize() : t.DecFontSize();
    EXPECT_EQ(lkcharinfo::Height(t.Current), c.Result) << c.Height;
  }

  TLKRichText p = Typed("ab\ncd\nef");
  p.Caret = 4;
  p.InsertAlign(lkjCenter);  // only the middle paragraph, not its line feed
  const TLKAlignment want[] = {lkjLeft, lkjLeft, lkjLeft, lkjCenter, lkjCenter, lkjLeft, lkjLeft, lkjLeft};
  for (Integer i = 0; i < 8; ++i) EXPECT_EQ(lkcharinfo::Align(p.CharInfo(i)), want[i]) << i;
  EXPECT_EQ(lkcharinfo::Align(p.Current), lkjCenter);
}

TEST(RichText, ClipboardBlocks) {
  TLKRichText r = Typed("ab\nc");
  r.SelStart = 0;
  r.SelEnd = 4;
  const std::vector<Byte> memo = r.SelectionMemoBlock();
  ASSERT_EQ(memo.size(), 281u * 4 + 1);
  EXPECT_EQ(std::string(memo.begin(), memo.begin() + 5), std::string("ab\nc\0", 5));
  EXPECT_EQ(r.SelectionPlainBlock(), (std::vector<Byte>{'a', 'b', 13, 10, 'c', 0}));

  TLKRichText t = Typed("");
  t.PasteMemoBlock(memo);
  EXPECT_EQ(t.Text, "ab\nc");
  EXPECT_EQ(lkcharinfo::Count(t.Styles[t.StyleIndex[0]]), 4);
  // A block whose style records are cut short is refused whole.
  std::vector<Byte> cut(memo.begin(), memo.end() - 1);
  TLKRichText u = Typed("");
  u.PasteMemoBlock(cut);
  EXPECT_EQ(u.Text, "");
  u.PasteMemoBlock({});
  u.PasteMemoBlock({'a', 'b'});  // no terminating 0
  EXPECT_EQ(u.Text, "");
}

// ---------------------------------------------------------------------------
// The control
// ---------------------------------------------------------------------------

class RichEdit : public testing::Test {
 protected:
  void SetUp() override {
    c_ = std::make_unique<TLKTextControl>();
    c_->GetDefaultFont()->SetName("DejaVu Sans");
    c_->GetDefaultFont()->SetHeight(-16);
    c_->GetDefaultFont()->SetColor(clBlack);
    c_->GetControlBrush()->SetColor(clWhite);
    surface_.SetSize(400, 300);
  }
  void Set(const std::string& Text, TLKAlignment Align = lkjLeft) {
    c_->Rich = TLKRichText{};
    c_->Rich.Text = Text;
    c_->DefaultAlign = Align;
    c_->Init();
  }
  void Lay(Integer W, Integer H = 200) { c_->PaintTo(surface_.GetCanvas(), 0, 0, W, H); }
  /// Indexes where a new line starts.
  std::vector<Integer> LineStarts() {
    std::vector<Integer> out{0};
    for (Integer i = 1; i < c_->Rich.Length(); ++i)
      if (c_->GetCharPos(i).Y != c_->GetCharPos(i - 1).Y) out.push_back(i);
    return out;
  }
  std::unique_ptr<TLKTextControl> c_;
  TBitmap surface_{1, 1, pf24bit};
};

TEST_F(RichEdit, WordWrap) {
  Set("aaa bbb ccc");
  Lay(400);
  EXPECT_EQ(LineStarts(), std::vector<Integer>{0});
  const Integer w = c_->GetCharPos(8).X + 4;  // room for "aaa bbb " and not one more character
  c_->ResetLayout();
  Lay(w);
  EXPECT_EQ(LineStarts(), (std::vector<Integer>{0, 8}));  // breaks after the last space that fits
  Set("abcdefghijkl");
  Lay(60);
  const std::vector<Integer> starts = LineStarts();
  ASSERT_GT(starts.size(), 1u);  // a word longer than the line breaks inside
  EXPECT_GT(starts[1], 1);
  Set("ab\ncd");
  Lay(400);
  EXPECT_EQ(LineStarts(), (std::vector<Integer>{0, 3}));
  c_->Collect = true;
  Lay(w);
  EXPECT_EQ(c_->GetCollected(), "ab\ncd\n");
}

TEST_F(RichEdit, AlignmentsAndMargins) {
  const Integer W = 300;
  Set("ab");
  Lay(W);
  const Integer left = c_->GetCharPos(0).X, width = c_->GetCharPos(2).X - left;
  EXPECT_EQ(left, 1);
  Set("ab", lkjRight);
  Lay(W);
  EXPECT_EQ(c_->GetCharPos(0).X, 1 + (W - 2) - (1 + width) - 1);
  Set("ab", lkjCenter);
  Lay(W);
  EXPECT_EQ(c_->GetCharPos(0).X, 1 + ((W - 2) - (1 + width)) / 2);
  // Justified: full lines fill the width, the paragraph's last line does not.
  Set("aa bb cc dd ee ff gg hh", lkjJustify);
  Lay(120);
  const std::vector<Integer> starts = LineStarts();
  ASSERT_GE(starts.size(), 2u);
  const Integer lastOfFirst = starts[1] - 2;  // before the breaking space
  EXPECT_GT(c_->GetCharPos(lastOfFirst).X, 120 / 2);
  const Integer lastLine = starts.back();
  EXPECT_EQ(c_->GetCharPos(lastLine).X, 1);
  // Margins in percent of the width and height.
  Set("ab");
  c_->Margins[0] = 10;
  c_->Margins[1] = 5;
  Lay(200, 100);
  EXPECT_EQ(c_->GetCharPos(0), (TPoint{21, 6}));
}

TEST_F(RichEdit, ZoomAndClicks) {
  Set("abc def");
  Lay(300);
  const TPoint p1 = c_->GetCharPos(4);
  c_->Rich.Caret = 4;
  Lay(300);
  const TPoint caret1{c_->GetCaretX(), c_->GetCaretY()};
  c_->Zoom = 2;
  c_->ResetLayout();
  Lay(300);
  EXPECT_NEAR(c_->GetCharPos(4).X, 2 * p1.X, 1);
  EXPECT_NEAR(c_->GetCaretX(), 2 * caret1.X, 1);
  // A click on a drawn character puts the caret before it.
  const TPoint d = c_->GetCharPos(5);
  c_->MoveTo(d.X + 1, d.Y + 2);
  EXPECT_EQ(c_->Rich.Caret, 5);
}

TEST_F(RichEdit, KeysAndShortcuts) {
  Set("");
  Lay(300);
  for (char ch : std::string("hello")) {
    char k = ch;
    c_->KeyPress(k);
  }
  Word key = VK_LEFT;
  c_->KeyDown(key, {ssShift});
  key = VK_LEFT;
  c_->KeyDown(key, {ssShift});
  EXPECT_EQ(std::pair(c_->Rich.SelStart, c_->Rich.SelEnd), std::pair(3, 5));
  key = 'B';
  c_->KeyDown(key, {ssCtrl});
  EXPECT_TRUE(lkcharinfo::Styles(c_->Rich.CharInfo(3)).Contains(fsBold));
  EXPECT_FALSE(lkcharinfo::Styles(c_->Rich.CharInfo(2)).Contains(fsBold));
  key = 'E';
  c_->KeyDown(key, {ssCtrl});
  EXPECT_EQ(lkcharinfo::Align(c_->Rich.CharInfo(0)), lkjCenter);
  key = VK_BACK;
  c_->KeyDown(key, {});
  EXPECT_EQ(c_->Rich.Text, "hel");
  key = VK_BACK;
  c_->KeyDown(key, {});
  EXPECT_EQ(c_->Rich.Text, "he");
  key = VK_HOME;
  c_->KeyDown(key, {ssCtrl});
  key = VK_DELETE;
  c_->KeyDown(key, {});
  EXPECT_EQ(c_->Rich.Text, "e");
  key = VK_F1;
  const Integer h = lkcharinfo::Height(c_->Rich.Current);
  c_->KeyDown(key, {ssShift});
  EXPECT_EQ(lkcharinfo::Height(c_->Rich.Current), h + 1);
  EXPECT_FALSE(c_->TypeCodePoint(U'\u0416'));
  EXPECT_EQ(c_->Rich.Text, "e");
  EXPECT_TRUE(c_->TypeCodePoint(U'\u00FC'));
  EXPECT_EQ(c_->Rich.Text, "\xFC" "e");
}

TEST_F(RichEdit, TypingMeasuresOnlyWhatFollows) {
  Set(std::string(2000, 'x'));
  Lay(300, 200);
  const Integer first = c_->GetMeasuredCount();
  c_->Rich.Caret = 1990;
  char k = 'y';
  c_->KeyPress(k);
  Lay(300, 200);
  EXPECT_LE(c_->GetMeasuredCount() - first, 12);
}

TEST_F(RichEdit, ClipboardBetweenControls) {
  ASSERT_TRUE(ClipboardAvailable());
  Set("one two");
  c_->Rich.SelStart = 4;
  c_->Rich.SelEnd = 7;
  c_->Rich.SaveCharInfo(5, Style(-30));
  Word key = 'C';
  c_->KeyDown(key, {ssCtrl});
  EXPECT_EQ(Clipboard()->GetAsText(), "two");
  TLKTextControl other;
  other.Init();
  key = 'V';
  other.KeyDown(key, {ssCtrl});
  EXPECT_EQ(other.Rich.Text, "two");
  EXPECT_EQ(lkcharinfo::Height(other.Rich.CharInfo(1)), -30);  // the private format keeps styles
  // Plain text from elsewhere: line ends lose their CR, styles are the caret's.
  Clipboard()->SetAsText("a\r\nb");
  TLKTextControl plain;
  plain.Init();
  key = 'V';
  plain.KeyDown(key, {ssCtrl});
  EXPECT_EQ(plain.Rich.Text, "a\nb");
  // Cut takes the selection away.
  key = 'X';
  c_->KeyDown(key, {ssCtrl});
  EXPECT_EQ(c_->Rich.Text, "one ");
}

}  // namespace
