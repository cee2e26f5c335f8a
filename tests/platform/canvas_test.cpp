// Canvas drawing rules: end points, pen modes, hatches, clipping, copies, text.
#include <gtest/gtest.h>

#include <atomic>
#include <set>
#include <thread>

#include "platform/graphics.h"

namespace {

using Pixels = std::set<std::pair<Integer, Integer>>;

std::vector<Byte> Snapshot(TBitmap& b) {
  std::vector<Byte> out;
  for (Integer y = 0; y < b.GetHeight(); ++y) out.insert(out.end(), b.ScanLine(y), b.ScanLine(y) + b.RowBytes());
  return out;
}

// Pixels whose colour differs from Background.
Pixels Painted(TBitmap& b, TColor Background = clWhite) {
  Pixels p;
  for (Integer y = 0; y < b.GetHeight(); ++y)
    for (Integer x = 0; x < b.GetWidth(); ++x)
      if (b.GetCanvas()->GetPixel(x, y) != Background) p.insert({x, y});
  return p;
}

// Distinct, format-exact colours everywhere.
void Noise(TBitmap& b) {
  const auto pal = b.GetColorTable();
  Cardinal seed = 12345;
  for (Integer y = 0; y < b.GetHeight(); ++y)
    for (Integer x = 0; x < b.GetWidth(); ++x) {
      seed = seed * 1103515245u + 12345u;
      const TColor c = pal.empty() ? static_cast<TColor>(seed >> 8) & 0xFFFFFF : RGBQuadToColor(pal[(seed >> 16) % pal.size()]);
      b.GetCanvas()->SetPixel(x, y, c);
    }
}

const TPixelFormat kAllFormats[] = {pf1bit, pf4bit, pf8bit, pf15bit, pf16bit, pf24bit, pf32bit};

TEST(CanvasTest, EndPointsAndEdgesAreLeftOut) {
  struct Case {
    const char* name;
    std::function<void(TCanvas*)> draw;
    Pixels expected;
  };
  const Case cases[] = {
      {"horizontal line", [](TCanvas* c) { c->MoveTo(2, 3); c->LineTo(6, 3); },
       {{2, 3}, {3, 3}, {4, 3}, {5, 3}}},
      {"line leftwards", [](TCanvas* c) { c->MoveTo(6, 3); c->LineTo(2, 3); },
       {{6, 3}, {5, 3}, {4, 3}, {3, 3}}},
      {"vertical line", [](TCanvas* c) { c->MoveTo(1, 1); c->LineTo(1, 4); }, {{1, 1}, {1, 2}, {1, 3}}},
      {"diagonal line", [](TCanvas* c) { c->MoveTo(0, 0); c->LineTo(3, 3); }, {{0, 0}, {1, 1}, {2, 2}}},
      {"line to itself", [](TCanvas* c) { c->MoveTo(4, 4); c->LineTo(4, 4); }, {}},
      {"fill", [](TCanvas* c) { c->FillRect(Rect(1, 1, 4, 3)); },
       {{1, 1}, {2, 1}, {3, 1}, {1, 2}, {2, 2}, {3, 2}}},
      {"rectangle", [](TCanvas* c) { c->Rectangle(1, 1, 4, 4); },
       {{1, 1}, {2, 1}, {3, 1}, {1, 2}, {2, 2}, {3, 2}, {1, 3}, {2, 3}, {3, 3}}},
      {"rectangle, corners swapped", [](TCanvas* c) { c->Rectangle(4, 3, 2, 1); },
       {{2, 1}, {3, 1}, {2, 2}, {3, 2}}},
      {"rectangle, clear pen", [](TCanvas* c) { c->GetPen()->SetStyle(psClear); c->Rectangle(0, 0, 2, 2); },
       {{0, 0}, {1, 0}, {0, 1}, {1, 1}}},
      {"frame", [](TCanvas* c) { c->FrameRect(Rect(0, 0, 3, 3)); },
       {{0, 0}, {1, 0}, {2, 0}, {0, 1}, {2, 1}, {0, 2}, {1, 2}, {2, 2}}},
      {"empty fill", [](TCanvas* c) { c->FillRect(Rect(3, 3, 3, 6)); }, {}},
  };
  for (TPixelFormat f : {pf1bit, pf8bit, pf24bit}) {
    for (const Case& c : cases) {
      SCOPED_TRACE(testing::Message() << c.name << ", format " << int(f));
      TBitmap b(8, 8, f);
      TCanvas* cv = b.GetCanvas();
      cv->GetPen()->SetColor(clBlack);
      cv->GetBrush()->SetColor(clBlack);
      c.draw(cv);
      EXPECT_EQ(Painted(b), c.expected);
    }
  }
}

TEST(CanvasTest, LinePixelsDoNotDependOnDirection) {
  const TRect lines[] = {{0, 0, 13, 5}, {1, 2, 9, 7}, {3, 14, 10, 0}, {0, 5, 15, 6}, {2, 1, 4, 15}, {15, 0, 0, 15}};
  for (const TRect& l : lines) {
    SCOPED_TRACE(testing::Message() << l.Left << "," << l.Top << " - " << l.Right << "," << l.Bottom);
    TBitmap a(16, 16, pf24bit), b(16, 16, pf24bit);
    a.GetCanvas()->MoveTo(l.Left, l.Top);
    a.GetCanvas()->LineTo(l.Right, l.Bottom);
    a.GetCanvas()->SetPixel(l.Right, l.Bottom, clBlack);
    b.GetCanvas()->MoveTo(l.Right, l.Bottom);
    b.GetCanvas()->LineTo(l.Left, l.Top);
    b.GetCanvas()->SetPixel(l.Left, l.Top, clBlack);
    EXPECT_EQ(Painted(a), Painted(b));
    const Int64 len = std::max(std::abs(l.Right - l.Left), std::abs(l.Bottom - l.Top)) + 1;
    EXPECT_EQ(static_cast<Int64>(Painted(a).size()), len);  // one pixel per step, no gaps
  }
}

TEST(CanvasTest, XorTwiceRestoresEveryFormat) {
  const std::pair<const char*, std::function<void(TCanvas*)>> figures[] = {
      {"lines", [](TCanvas* c) { c->MoveTo(1, 1); c->LineTo(17, 9); c->LineTo(3, 15); c->LineTo(1, 1); }},
      {"polyline", [](TCanvas* c) {
         const TPoint p[] = {{0, 0}, {18, 3}, {18, 3}, {5, 15}, {0, 0}, {19, 19}};
         c->Polyline(p);
       }},
      {"polygon outline", [](TCanvas* c) {
         c->GetBrush()->SetStyle(bsClear);
         const TPoint p[] = {{2, 2}, {16, 4}, {9, 17}, {4, 9}};
         c->Polygon(p);
       }},
      {"filled rectangle", [](TCanvas* c) { c->Rectangle(3, 2, 15, 12); }},
      {"hatched ellipse", [](TCanvas* c) { c->GetBrush()->SetStyle(bsDiagCross); c->Ellipse(1, 2, 18, 15); }},
      {"filled ellipse", [](TCanvas* c) { c->Ellipse(2, 2, 17, 11); }},
      {"wide polyline", [](TCanvas* c) {
         c->GetPen()->SetWidth(4);
         const TPoint p[] = {{2, 2}, {16, 4}, {9, 17}};
         c->Polyline(p);
       }},
      {"dotted rectangle", [](TCanvas* c) {
         c->GetPen()->SetStyle(psDot);
         c->GetBrush()->SetStyle(bsClear);
         c->Rectangle(1, 1, 18, 14);
       }},
      {"round rectangle", [](TCanvas* c) { c->RoundRect(1, 1, 18, 16, 6, 6); }},
      {"pie", [](TCanvas* c) { c->Pie(1, 1, 19, 19, 19, 10, 10, 1); }},
  };
  for (TPixelFormat f : kAllFormats) {
    for (TPenMode mode : {pmXor, pmNot, pmNotXor}) {
      for (const auto& [name, draw] : figures) {
        SCOPED_TRACE(testing::Message() << name << ", format " << int(f) << ", mode " << int(mode));
        TBitmap b(20, 20, f);
        Noise(b);
        const std::vector<Byte> before = Snapshot(b);
        TCanvas* c = b.GetCanvas();
        c->GetPen()->SetMode(mode);
        // A one-bit pen changes pixels under xor only when white, under not-xor only when black.
        c->GetPen()->SetColor(f != pf1bit ? RGB(200, 100, 50) : mode == pmNotXor ? clBlack : clWhite);
        c->GetBrush()->SetColor(RGB(20, 90, 210));
        draw(c);
        EXPECT_NE(Snapshot(b), before);
        c->GetPen()->SetMode(mode);
        draw(c);
        EXPECT_EQ(Snapshot(b), before);
      }
    }
  }
}

TEST(CanvasTest, ClosedOutlineTouchesEachPixelOnce) {
  TBitmap b(8, 8, pf24bit);
  TCanvas* c = b.GetCanvas();
  c->GetPen()->SetMode(pmXor);
  c->GetPen()->SetColor(clWhite);  // white xor white = black
  const TPoint square[] = {{1, 1}, {6, 1}, {6, 6}, {1, 6}, {1, 1}};
  c->Polyline(square);
  EXPECT_EQ(Painted(b).size(), 20u);  // 4 sides of 5 pixels, each corner once
}

TEST(CanvasTest, PenModesOnValues) {
  TBitmap b(1, 1, pf24bit);
  TCanvas* c = b.GetCanvas();
  struct Case {
    TPenMode mode;
    TColor dest, pen, expected;
  };
  const Case cases[] = {
      {pmNot, RGB(10, 20, 30), clRed, RGB(245, 235, 225)},
      {pmXor, RGB(0xF0, 0x0F, 0xFF), RGB(0xFF, 0xFF, 0x00), RGB(0x0F, 0xF0, 0xFF)},
      {pmMask, RGB(0xF0, 0x0F, 0xFF), RGB(0x3C, 0xFF, 0x00), RGB(0x30, 0x0F, 0x00)},
      {pmMerge, RGB(0xF0, 0x0F, 0x00), RGB(0x0C, 0x00, 0x01), RGB(0xFC, 0x0F, 0x01)},
      {pmNotCopy, clBlack, RGB(1, 2, 3), RGB(254, 253, 252)},
      {pmNop, RGB(7, 7, 7), clRed, RGB(7, 7, 7)},
      {pmBlack, RGB(7, 7, 7), clRed, clBlack},
      {pmWhite, RGB(7, 7, 7), clRed, clWhite},
  };
  for (const Case& k : cases) {
    SCOPED_TRACE(int(k.mode));
    c->SetPixel(0, 0, k.dest);
    c->GetPen()->SetMode(k.mode);
    c->GetPen()->SetColor(k.pen);
    c->MoveTo(0, 0);
    c->LineTo(1, 0);
    EXPECT_EQ(c->GetPixel(0, 0), k.expected);
  }
  // On a one-bit bitmap pmNot swaps black and white.
  TBitmap m(4, 1, pf1bit);
  m.GetCanvas()->GetPen()->SetMode(pmNot);
  m.GetCanvas()->MoveTo(0, 0);
  m.GetCanvas()->LineTo(2, 0);
  EXPECT_EQ(m.ScanLine(0)[0] & 0xF0, 0x30);
}

TEST(CanvasTest, HatchBrushesDrawOnlyTheirLines) {
  struct Case {
    TBrushStyle style;
    std::function<bool(Integer, Integer)> on;
  };
  const Case cases[] = {
      {bsHorizontal, [](Integer, Integer y) { return y % 8 == 3; }},
      {bsVertical, [](Integer x, Integer) { return x % 8 == 3; }},
      {bsFDiagonal, [](Integer x, Integer y) { return x % 8 == y % 8; }},
      {bsBDiagonal, [](Integer x, Integer y) { return (x % 8 + y % 8) == 7; }},
      {bsCross, [](Integer x, Integer y) { return x % 8 == 3 || y % 8 == 3; }},
      {bsDiagCross, [](Integer x, Integer y) { return x % 8 == y % 8 || (x % 8 + y % 8) == 7; }},
  };
  for (const Case& k : cases) {
    SCOPED_TRACE(int(k.style));
    TBitmap b(19, 17, pf24bit);
    TCanvas* c = b.GetCanvas();
    c->GetBrush()->SetColor(clRed);
    c->GetBrush()->SetStyle(k.style);
    c->FillRect(Rect(1, 1, 18, 16));
    for (Integer y = 0; y < 17; ++y)
      for (Integer x = 0; x < 19; ++x) {
        const bool inside = x >= 1 && x < 18 && y >= 1 && y < 16;
        EXPECT_EQ(c->GetPixel(x, y), inside && k.on(x, y) ? clRed : clWhite) << x << "," << y;
      }
  }
}

TEST(CanvasTest, ClipRectLimitsEveryWrite) {
  TBitmap b(10, 10, pf24bit);
  TCanvas* c = b.GetCanvas();
  EXPECT_EQ(c->GetClipRect(), Rect(0, 0, 10, 10));
  c->SetClipRect(Rect(2, 3, 6, 20));
  EXPECT_EQ(c->GetClipRect(), Rect(2, 3, 6, 10));
  c->GetBrush()->SetColor(clBlack);
  c->FillRect(Rect(-5, -5, 50, 50));
  c->Ellipse(-3, -3, 12, 12);
  c->MoveTo(-1000000000, 5);
  c->LineTo(1000000000, 5);  // clipped lines cost only their visible part
  c->SetPixel(0, 0, clBlack);
  c->TextOut(0, 0, "Wide text across the clip");
  EXPECT_EQ(c->GetPixel(0, 0), -1);
  c->ResetClipRect();
  EXPECT_EQ(c->GetPixel(0, 0), clWhite);
  const Pixels painted = Painted(b);
  EXPECT_EQ(painted.size(), 4u * 7u);
  for (const auto& [x, y] : painted) {
    EXPECT_GE(x, 2);
    EXPECT_LT(x, 6);
    EXPECT_GE(y, 3);
  }
}

TEST(CanvasTest, CopyRectModes) {
  const TColor s = RGB(0xF0, 0x3C, 0x0F), d = RGB(0xAA, 0x55, 0xFF);
  struct Case {
    TCopyMode mode;
    TColor expected;
  };
  const Case cases[] = {
      {cmSrcCopy, s},
      {cmSrcInvert, RGB(0xF0 ^ 0xAA, 0x3C ^ 0x55, 0x0F ^ 0xFF)},
      {cmSrcAnd, RGB(0xF0 & 0xAA, 0x3C & 0x55, 0x0F & 0xFF)},
      {cmSrcPaint, RGB(0xF0 | 0xAA, 0x3C | 0x55, 0x0F | 0xFF)},
      {cmNotSrcCopy, RGB(0x0F, 0xC3, 0xF0)},
      {cmDstInvert, RGB(0x55, 0xAA, 0x00)},
      {cmBlackness, clBlack},
      {cmWhiteness, clWhite},
      {cmSrcErase, RGB(0xF0 & 0x55, 0x3C & 0xAA, 0x0F & 0x00)},
  };
  TBitmap src(4, 4, pf24bit);
  src.GetCanvas()->GetBrush()->SetColor(s);
  src.GetCanvas()->FillRect(Rect(0, 0, 4, 4));
  for (const Case& k : cases) {
    SCOPED_TRACE(testing::Message() << std::hex << k.mode);
    TBitmap dst(6, 6, pf24bit);
    TCanvas* c = dst.GetCanvas();
    c->GetBrush()->SetColor(d);
    c->FillRect(Rect(0, 0, 6, 6));
    c->SetCopyMode(k.mode);
    c->CopyRect(Rect(1, 1, 3, 3), src.GetCanvas(), Rect(0, 0, 2, 2));
    EXPECT_EQ(c->GetPixel(1, 1), k.expected);
    EXPECT_EQ(c->GetPixel(2, 2), k.expected);
    EXPECT_EQ(c->GetPixel(3, 3), d);  // right and bottom edges left out
    EXPECT_EQ(c->GetPixel(0, 0), d);
  }
}

// Rectangles spanning the whole 32-bit range map pixels without overflow:
// a source as wide as the destination copies each pixel onto itself.
TEST(CanvasTest, CopyRectAcrossTheWholeIntegerRange) {
  TBitmap src(4, 1, pf24bit), dst(4, 1, pf24bit);
  for (Integer x = 0; x < 4; ++x) src.GetCanvas()->SetPixel(x, 0, RGB(Byte(10 * x + 5), 0, 0));
  const TRect wide = Rect(INT32_MIN, 0, INT32_MAX, 1);
  dst.GetCanvas()->CopyRect(wide, src.GetCanvas(), wide);
  for (Integer x = 0; x < 4; ++x) EXPECT_EQ(dst.GetCanvas()->GetPixel(x, 0), RGB(Byte(10 * x + 5), 0, 0));
}

TEST(CanvasTest, CopyRectStretchesMirrorsAndConverts) {
  TBitmap src(2, 2, pf8bit);
  const TColor q[2][2] = {{clRed, clLime}, {clBlue, clYellow}};
  for (Integer y = 0; y < 2; ++y)
    for (Integer x = 0; x < 2; ++x) src.GetCanvas()->SetPixel(x, y, q[y][x]);
  TBitmap dst(4, 4, pf24bit);
  dst.GetCanvas()->CopyRect(Rect(0, 0, 4, 4), src.GetCanvas(), Rect(0, 0, 2, 2));
  for (Integer y = 0; y < 4; ++y)
    for (Integer x = 0; x < 4; ++x) EXPECT_EQ(dst.GetCanvas()->GetPixel(x, y), q[y / 2][x / 2]);
  // A source rectangle with Right < Left mirrors horizontally.
  dst.GetCanvas()->CopyRect(Rect(0, 0, 2, 2), src.GetCanvas(), Rect(2, 0, 0, 2));
  EXPECT_EQ(dst.GetCanvas()->GetPixel(0, 0), clLime);
  EXPECT_EQ(dst.GetCanvas()->GetPixel(1, 1), clBlue);
  // Overlapping copy inside one bitmap reads the pixels as they were.
  TBitmap row(6, 1, pf24bit);
  for (Integer x = 0; x < 6; ++x) row.GetCanvas()->SetPixel(x, 0, RGB(static_cast<Byte>(x), 0, 0));
  row.GetCanvas()->CopyRect(Rect(1, 0, 6, 1), row.GetCanvas(), Rect(0, 0, 5, 1));
  for (Integer x = 1; x < 6; ++x) EXPECT_EQ(row.GetCanvas()->GetPixel(x, 0), RGB(static_cast<Byte>(x - 1), 0, 0));
  // Source pixels outside the source read as black.
  TBitmap out(3, 1, pf24bit);
  out.GetCanvas()->CopyRect(Rect(0, 0, 3, 1), src.GetCanvas(), Rect(1, 0, 4, 1));
  EXPECT_EQ(out.GetCanvas()->GetPixel(0, 0), clLime);
  EXPECT_EQ(out.GetCanvas()->GetPixel(1, 0), clBlack);
}

TEST(CanvasTest, DrawHonoursTransparency) {
  TBitmap sprite(3, 3, pf24bit);
  sprite.GetCanvas()->GetBrush()->SetColor(clFuchsia);
  sprite.GetCanvas()->FillRect(Rect(0, 0, 3, 3));
  sprite.GetCanvas()->SetPixel(1, 1, clBlue);
  sprite.SetTransparent(true);  // bottom-left pixel: fuchsia
  TBitmap back(5, 5, pf24bit);
  back.GetCanvas()->Draw(1, 1, &sprite);
  EXPECT_EQ(Painted(back), (Pixels{{2, 2}}));
  back.GetCanvas()->StretchDraw(Rect(0, 0, 5, 5), &sprite);
  EXPECT_EQ(back.GetCanvas()->GetPixel(2, 2), clBlue);
}

TEST(CanvasTest, EllipseFitsItsBoxAndIsSymmetric) {
  for (const TRect& r : {Rect(2, 3, 12, 9), Rect(0, 0, 15, 15), Rect(1, 1, 3, 14), Rect(4, 4, 5, 5)}) {
    SCOPED_TRACE(testing::Message() << r.Left << "," << r.Top << "," << r.Right << "," << r.Bottom);
    TBitmap b(16, 16, pf24bit);
    b.GetCanvas()->GetBrush()->SetColor(clBlack);
    b.GetCanvas()->Ellipse(r);
    const Pixels p = Painted(b);
    Integer minX = 99, maxX = -1, minY = 99, maxY = -1;
    for (const auto& [x, y] : p) {
      minX = std::min(minX, x);
      maxX = std::max(maxX, x);
      minY = std::min(minY, y);
      maxY = std::max(maxY, y);
      EXPECT_TRUE(p.count({r.Left + r.Right - 1 - x, y}));
      EXPECT_TRUE(p.count({x, r.Top + r.Bottom - 1 - y}));
    }
    EXPECT_EQ(minX, r.Left);
    EXPECT_EQ(maxX, r.Right - 1);
    EXPECT_EQ(minY, r.Top);
    EXPECT_EQ(maxY, r.Bottom - 1);
  }
}

TEST(CanvasTest, OutlineAndInsideOfShapes) {
  TBitmap b(20, 20, pf24bit);
  TCanvas* c = b.GetCanvas();
  c->GetPen()->SetColor(clRed);
  c->GetBrush()->SetColor(clBlue);
  c->Ellipse(0, 0, 20, 20);
  EXPECT_EQ(c->GetPixel(10, 0), clRed);
  EXPECT_EQ(c->GetPixel(10, 10), clBlue);
  EXPECT_EQ(c->GetPixel(0, 0), clWhite);
  // A wide pen frame is centred on the edge.
  TBitmap w(12, 12, pf24bit);
  w.GetCanvas()->GetPen()->SetWidth(3);
  w.GetCanvas()->GetBrush()->SetStyle(bsClear);
  w.GetCanvas()->Rectangle(3, 3, 9, 9);
  EXPECT_EQ(w.GetCanvas()->GetPixel(2, 5), clBlack);
  EXPECT_EQ(w.GetCanvas()->GetPixel(4, 5), clBlack);
  EXPECT_EQ(w.GetCanvas()->GetPixel(5, 5), clWhite);
  EXPECT_EQ(w.GetCanvas()->GetPixel(1, 5), clWhite);
  // A pie between 0 and 90 degrees covers the upper right quarter.
  TBitmap p(20, 20, pf24bit);
  p.GetCanvas()->GetBrush()->SetColor(clBlue);
  p.GetCanvas()->Pie(0, 0, 20, 20, 20, 10, 10, 0);
  EXPECT_EQ(p.GetCanvas()->GetPixel(14, 5), clBlue);
  EXPECT_EQ(p.GetCanvas()->GetPixel(5, 14), clWhite);
  EXPECT_EQ(p.GetCanvas()->GetPixel(5, 5), clWhite);
  // An arc draws no inside.
  TBitmap a(20, 20, pf24bit);
  a.GetCanvas()->Arc(0, 0, 20, 20, 20, 10, 10, 0);
  for (const auto& [x, y] : Painted(a)) {
    EXPECT_GE(x, 9);
    EXPECT_LE(y, 10);
  }
  EXPECT_EQ(a.GetCanvas()->GetPixel(14, 5), clWhite);
}

TEST(CanvasTest, PolygonFillsByTheAlternateRule) {
  TBitmap b(12, 12, pf24bit);
  TCanvas* c = b.GetCanvas();
  c->GetPen()->SetStyle(psClear);
  c->GetBrush()->SetColor(clBlack);
  const TPoint square[] = {{1, 1}, {9, 1}, {9, 9}, {1, 9}};
  c->Polygon(square);
  Pixels expected;
  for (Integer y = 1; y < 9; ++y)
    for (Integer x = 1; x < 9; ++x) expected.insert({x, y});
  EXPECT_EQ(Painted(b), expected);
  // A path around the square twice, the second time inside: the inner square stays empty.
  TBitmap h(12, 12, pf24bit);
  h.GetCanvas()->GetPen()->SetStyle(psClear);
  h.GetCanvas()->GetBrush()->SetColor(clBlack);
  const TPoint ring[] = {{0, 0}, {10, 0}, {10, 10}, {0, 10}, {0, 0}, {3, 3}, {7, 3}, {7, 7}, {3, 7}, {3, 3}};
  h.GetCanvas()->Polygon(ring);
  EXPECT_EQ(h.GetCanvas()->GetPixel(5, 5), clWhite);
  EXPECT_EQ(h.GetCanvas()->GetPixel(1, 5), clBlack);
}

TEST(CanvasTest, StyledPens) {
  TBitmap b(14, 2, pf24bit);
  TCanvas* c = b.GetCanvas();
  c->GetPen()->SetStyle(psDot);
  c->GetBrush()->SetStyle(bsClear);
  c->MoveTo(0, 0);
  c->LineTo(13, 0);
  for (Integer x = 0; x < 13; ++x) EXPECT_EQ(c->GetPixel(x, 0), (x / 3) % 2 == 0 ? clBlack : clWhite) << x;
  // A solid brush fills the gaps with its colour (opaque background).
  c->GetBrush()->SetColor(clRed);
  c->MoveTo(0, 1);
  c->LineTo(13, 1);
  EXPECT_EQ(c->GetPixel(4, 1), clRed);
  EXPECT_EQ(c->GetPixel(6, 1), clBlack);
  // A wide pen covers its width.
  TBitmap w(10, 10, pf24bit);
  w.GetCanvas()->GetPen()->SetWidth(3);
  w.GetCanvas()->MoveTo(2, 5);
  w.GetCanvas()->LineTo(8, 5);
  for (Integer y : {4, 5, 6}) EXPECT_EQ(w.GetCanvas()->GetPixel(5, y), clBlack);
  EXPECT_EQ(w.GetCanvas()->GetPixel(5, 3), clWhite);
}

TEST(CanvasTest, ColoursOnIndexedSurfaces) {
  TBitmap b(2, 1, pf8bit);
  TCanvas* c = b.GetCanvas();
  c->SetPixel(0, 0, RGB(250, 2, 3));  // nearest entry: pure red
  EXPECT_EQ(c->GetPixel(0, 0), clRed);
  c->SetPixel(1, 0, PALETTEINDEX(200));
  EXPECT_EQ(b.ScanLine(0)[1], 200);
  c->SetPixel(1, 0, clBtnFace);  // system colours resolve first
  EXPECT_EQ(c->GetPixel(1, 0), RGBQuadToColor(b.GetColorTable()[b.ScanLine(0)[1]]));
  std::vector<TRGBQuad> grey(256);
  for (int i = 0; i < 256; ++i) grey[i] = TRGBQuad{Byte(i), Byte(i), Byte(i), 0};
  b.SetColorTable(grey);
  c->SetPixel(0, 0, PALETTERGB(77, 77, 77));
  EXPECT_EQ(b.ScanLine(0)[0], 77);
}

TEST(CanvasTest, TextStaysInsideItsExtent) {
  TBitmap b(120, 40, pf24bit);
  TCanvas* c = b.GetCanvas();
  c->GetFont()->SetName("DejaVu Sans");
  c->GetFont()->SetHeight(-14);
  c->GetFont()->SetColor(clBlack);
  const TSize ext = c->TextExtent("Hijgy W");
  EXPECT_GT(ext.cx, 20);
  EXPECT_GE(ext.cy, 14);
  EXPECT_GT(c->TextWidth("Hijgy WW"), ext.cx);
  c->GetBrush()->SetStyle(bsClear);
  c->TextOut(10, 5, "Hijgy W");
  EXPECT_EQ(c->GetPenPos(), Point(10 + ext.cx, 5));
  const Pixels ink = Painted(b);
  EXPECT_GT(ink.size(), 20u);
  for (const auto& [x, y] : ink) {
    EXPECT_GE(x, 10);
    EXPECT_LT(x, 10 + ext.cx);
    EXPECT_GE(y, 5);
    EXPECT_LT(y, 5 + ext.cy);
    EXPECT_EQ(c->GetPixel(x, y), clBlack);
  }
  // A solid brush fills the whole cell first.
  TBitmap s(120, 40, pf8bit);
  s.GetCanvas()->GetFont()->Assign(c->GetFont());
  s.GetCanvas()->GetBrush()->SetColor(clYellow);
  s.GetCanvas()->TextOut(3, 4, "Hijgy W");
  EXPECT_EQ(s.GetCanvas()->GetPixel(3, 4), clYellow);
  EXPECT_EQ(s.GetCanvas()->GetPixel(3 + ext.cx - 1, 4 + ext.cy - 1), clYellow);
  EXPECT_EQ(s.GetCanvas()->GetPixel(3 + ext.cx, 4), clWhite);
  // TextRect clips to its rectangle.
  TBitmap r(120, 40, pf24bit);
  r.GetCanvas()->GetFont()->Assign(c->GetFont());
  r.GetCanvas()->GetBrush()->SetStyle(bsClear);
  r.GetCanvas()->TextRect(Rect(10, 5, 20, 12), 10, 5, "Hijgy W");
  for (const auto& [x, y] : Painted(r)) {
    EXPECT_LT(x, 20);
    EXPECT_LT(y, 12);
  }
  // A positive height is the whole cell.
  TBitmap cellTest(4, 4, pf24bit);
  cellTest.GetCanvas()->GetFont()->SetName("DejaVu Sans");
  cellTest.GetCanvas()->GetFont()->SetHeight(20);
  EXPECT_LE(cellTest.GetCanvas()->TextHeight("Xg"), 20);
  EXPECT_GE(cellTest.GetCanvas()->TextHeight("Xg"), 16);
  // A bold font is wider.
  TFont bold;
  bold.Assign(c->GetFont());
  bold.SetStyle({fsBold});
  const Integer plain = c->TextWidth("Bold text");
  c->SetFont(&bold);
  EXPECT_GE(c->TextWidth("Bold text"), plain);
}

TEST(CanvasTest, TurnedTextStaysInsideItsTurnedCell) {
  TBitmap b(60, 120, pf24bit);
  TCanvas* c = b.GetCanvas();
  c->GetFont()->SetName("DejaVu Sans");
  c->GetFont()->SetHeight(-14);
  c->GetFont()->SetColor(clBlack);
  c->GetFont()->SetOrientation(900);  // reads upwards
  c->GetBrush()->SetStyle(bsClear);
  const TSize ext = c->TextExtent("Upward");
  c->TextOut(10, 100, "Upward");
  const Pixels ink = Painted(b);
  EXPECT_GT(ink.size(), 20u);
  for (const auto& [x, y] : ink) {
    EXPECT_GE(x, 10);
    EXPECT_LE(x, 10 + ext.cy);
    EXPECT_GE(y, 100 - ext.cx - 1);
    EXPECT_LE(y, 100);
  }
}

TEST(CanvasTest, ClipRegionLimitsToAPolygon) {
  TBitmap b(12, 12, pf24bit);
  TCanvas* c = b.GetCanvas();
  const TPoint triangle[] = {{0, 0}, {10, 0}, {0, 10}};
  c->SetClipRegion(triangle);
  EXPECT_EQ(c->GetClipRect(), Rect(0, 0, 10, 10));
  c->GetBrush()->SetColor(clBlack);
  c->FillRect(Rect(0, 0, 12, 12));
  c->MoveTo(0, 11);
  c->LineTo(11, 0);
  TBitmap src(12, 12, pf24bit);
  src.GetCanvas()->GetBrush()->SetColor(clRed);
  src.GetCanvas()->FillRect(Rect(0, 0, 12, 12));
  c->CopyRect(Rect(0, 0, 4, 4), src.GetCanvas(), Rect(0, 0, 4, 4));
  EXPECT_EQ(c->GetPixel(9, 9), -1);  // outside the region
  c->ResetClipRect();
  Pixels expected;
  for (Integer y = 0; y < 10; ++y)
    for (Integer x = 0; x < 10; ++x)
      if (x + y < 9) expected.insert({x, y});  // pixel centres inside the triangle
  EXPECT_EQ(Painted(b), expected);
  EXPECT_EQ(c->GetPixel(1, 1), clRed);
}

TEST(CanvasTest, WidePensCoverTheirWidth) {
  for (Integer w : {2, 3, 4, 7}) {
    SCOPED_TRACE(w);
    TBitmap b(30, 30, pf24bit);
    TCanvas* c = b.GetCanvas();
    c->GetPen()->SetWidth(w);
    c->MoveTo(8, 15);
    c->LineTo(20, 15);
    Integer rows = 0;
    for (Integer y = 0; y < 30; ++y) rows += c->GetPixel(14, y) == clBlack;
    EXPECT_EQ(rows, w);
    Integer cols = 0;  // round ends reach about half the width past the end points
    for (Integer x = 0; x < 30; ++x) cols += c->GetPixel(x, 15) == clBlack;
    EXPECT_GE(cols, 13 + w - 2);
    EXPECT_LE(cols, 13 + w);
  }
}

TEST(CanvasTest, ExtremeCoordinatesAreSafe) {
  TBitmap b(8, 8, pf24bit);
  TCanvas* c = b.GetCanvas();
  c->GetBrush()->SetColor(clBlue);
  // Dashed pens once overflowed their dash counter on such lines.
  for (const auto& [w, style] : {std::pair{1, psSolid}, std::pair{1, psDash}, std::pair{5, psSolid}}) {
    c->GetPen()->SetWidth(w);
    c->GetPen()->SetStyle(style);
    c->Rectangle(INT32_MIN, INT32_MIN, INT32_MAX, INT32_MAX);
    c->Ellipse(INT32_MIN, INT32_MIN, INT32_MAX, INT32_MAX);
    c->RoundRect(INT32_MIN, 0, INT32_MAX, 6, INT32_MIN, INT32_MAX);
    c->Pie(INT32_MIN, INT32_MIN, INT32_MAX, INT32_MAX, 0, 0, 5, 5);
    c->MoveTo(INT32_MIN, INT32_MIN);
    c->LineTo(INT32_MAX, INT32_MAX);
    const TPoint far[] = {{INT32_MIN, 0}, {INT32_MAX, 3}, {0, INT32_MAX}};
    c->Polygon(far);
    const TPoint longRun[] = {{0, 3}, {-2147483640, 3}, {5, 3}};  // the dash pattern carries on
    c->Polyline(longRun);
    c->CopyRect(Rect(INT32_MIN, INT32_MIN, INT32_MAX, INT32_MAX), c, Rect(0, 0, 8, 8));
  }
  c->TextOut(INT32_MAX - 2, INT32_MAX - 2, "x");
  EXPECT_NE(c->GetPixel(4, 4), -1);
}

TEST(CanvasTest, LineDDAVisitsTheLineToPixels) {
  TBitmap b(20, 20, pf24bit);
  b.GetCanvas()->MoveTo(17, 2);
  b.GetCanvas()->LineTo(3, 11);
  Pixels visited;
  std::vector<std::pair<Integer, Integer>> order;
  LineDDA(17, 2, 3, 11, [&](Integer x, Integer y) {
    visited.insert({x, y});
    order.push_back({x, y});
  });
  EXPECT_EQ(visited, Painted(b));
  ASSERT_EQ(order.size(), 14u);
  EXPECT_EQ(order.front(), std::make_pair(17, 2));  // drawing order, end point left out
  EXPECT_EQ(order.back().first, 4);
}

TEST(CanvasTest, SunkenEdge) {
  TBitmap b(6, 5, pf24bit);
  TCanvas* c = b.GetCanvas();
  TRect r = Rect(0, 0, 6, 5);
  c->GetBrush()->SetColor(clRed);
  ASSERT_TRUE(DrawEdge(c, r, EDGE_SUNKEN, BF_RECT | BF_ADJUST));
  EXPECT_EQ(r, Rect(2, 2, 4, 3));
  const TColor shadow = ColorToRGB(clBtnShadow), light = ColorToRGB(clBtnHighlight);
  EXPECT_EQ(c->GetPixel(0, 0), shadow);
  EXPECT_EQ(c->GetPixel(4, 0), shadow);
  EXPECT_EQ(c->GetPixel(5, 0), light);  // the far corners belong to bottom and right
  EXPECT_EQ(c->GetPixel(0, 4), light);
  EXPECT_EQ(c->GetPixel(1, 1), ColorToRGB(cl3DDkShadow));
  EXPECT_EQ(c->GetPixel(4, 3), ColorToRGB(cl3DLight));
  EXPECT_EQ(c->GetPixel(2, 2), clWhite);  // middle untouched
  EXPECT_EQ(c->GetBrush()->GetColor(), clRed);  // brush restored
}

TEST(CanvasTest, LockSerialisesThreads) {
  TBitmap b(4, 4, pf24bit);
  TCanvas* c = b.GetCanvas();
  c->Lock();
  c->Lock();  // nests
  EXPECT_EQ(c->GetLockCount(), 2);
  std::atomic<bool> got{true};
  std::thread([&] { got = c->TryLock(); }).join();
  EXPECT_FALSE(got);
  c->Unlock();
  c->Unlock();
  std::thread([&] {
    got = c->TryLock();
    if (got) c->Unlock();
  }).join();
  EXPECT_TRUE(got);
}

TEST(CanvasTest, CanvasWithoutSurfaceDrawsNothing) {
  TCanvas c;
  c.LineTo(5, 5);
  c.FillRect(Rect(0, 0, 3, 3));
  c.Ellipse(0, 0, 4, 4);
  EXPECT_EQ(c.GetPixel(0, 0), -1);
  EXPECT_EQ(c.GetClipRect(), TRect{});
  TBitmap empty;
  empty.GetCanvas()->Rectangle(0, 0, 5, 5);
  EXPECT_TRUE(empty.GetEmpty());
}

}  // namespace
