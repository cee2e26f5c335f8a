// The canvas keeps the fonts, extents and glyph masks of the text it drew:
// what it draws must follow every change of font, orientation and text, and
// a text must look the same wherever it goes and however it is clipped.
#include <gtest/gtest.h>

#include "platform/graphics.h"

namespace {

// The pixels of a W x H area at (X, Y) that are not white.
std::vector<TPoint> Ink(TBitmap& B, Integer X, Integer Y, Integer W, Integer H) {
  std::vector<TPoint> r;
  B.GetCanvas()->ResetClipRect();  // pixels outside the clip do not read
  for (Integer y = 0; y < H; ++y)
    for (Integer x = 0; x < W; ++x)
      if (B.GetCanvas()->GetPixel(X + x, Y + y) != clWhite) r.push_back(TPoint{x, y});
  return r;
}

void Clear(TBitmap& B) {
  TCanvas* c = B.GetCanvas();
  c->ResetClipRect();
  c->GetBrush()->SetStyle(bsSolid);
  c->GetBrush()->SetColor(clWhite);
  c->FillRect(TRect{0, 0, B.GetWidth(), B.GetHeight()});
  c->GetBrush()->SetStyle(bsClear);
}

TEST(CanvasTextCache, DrawingFollowsFontOrientationAndText) {
  TBitmap b(400, 200, pf24bit);
  TCanvas* c = b.GetCanvas();
  c->GetFont()->SetHeight(-20);
  struct Row {
    const char* text;
    Integer height, orientation;
  } rows[] = {{"12.5 cm", -20, 0}, {"12.5 cm", -20, 300}, {"12.5 cm", -28, 300}, {"12.6 cm", -28, 300}, {"12.5 cm", -20, 0}};
  std::vector<std::vector<TPoint>> seen;
  for (const Row& r : rows) {
    Clear(b);
    c->GetFont()->SetHeight(r.height);
    c->GetFont()->SetOrientation(r.orientation);
    c->TextOut(40, 120, r.text);
    const std::vector<TPoint> here = Ink(b, 20, 20, 160, 160);
    ASSERT_FALSE(here.empty()) << r.text;
    // The same text drawn elsewhere: the same pixels, moved.
    Clear(b);
    c->TextOut(230, 130, r.text);
    EXPECT_EQ(Ink(b, 210, 30, 160, 160), here) << r.text << " at " << r.orientation;
    // Clipped to its left half: exactly the left half of those pixels.
    Clear(b);
    c->SetClipRect(TRect{0, 0, 90, 200});
    c->TextOut(40, 120, r.text);
    std::vector<TPoint> left;
    for (const TPoint& p : here)
      if (p.X + 20 < 90) left.push_back(p);
    EXPECT_EQ(Ink(b, 20, 20, 160, 160), left) << r.text;
    seen.push_back(here);
  }
  // Each change drew something else; going back drew the first again.
  for (std::size_t i = 1; i + 1 < seen.size(); ++i) EXPECT_NE(seen[i], seen[i - 1]) << i;
  EXPECT_EQ(seen.back(), seen.front());
  // Extents follow the font too.
  c->GetFont()->SetHeight(-20);
  const Integer w20 = c->TextWidth("12.5 cm");
  c->GetFont()->SetHeight(-40);
  EXPECT_GT(c->TextWidth("12.5 cm"), w20 * 3 / 2);
}

}  // namespace
