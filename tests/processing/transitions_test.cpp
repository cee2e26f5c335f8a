// The transition engine and the transition list, frame by frame on small
// pictures made in code.
#include <gtest/gtest.h>

#include <cstring>
#include <memory>
#include <vector>

#include "core/lkbitmap.h"
#include "platform/graphics.h"
#include "processing/lkprocutils.h"
#include "processing/lktransitionraster.h"
#include "processing/lktransitions.h"
#include "processing/lkxtratransitions.h"

namespace {

struct Px {
  Byte b, g, r;
  friend bool operator==(const Px&, const Px&) = default;
};

std::ostream& operator<<(std::ostream& o, const Px& p) {
  return o << "(b " << int(p.b) << ", g " << int(p.g) << ", r " << int(p.r) << ")";
}

Px At(TBitmap* B, Integer X, Integer Y) {
  const Byte* p = B->ScanLine(Y) + X * 3;
  return Px{p[0], p[1], p[2]};
}

// A W x H pf24bit picture: pixel (x, y) = (blue 10x, green 10y, red Tag),
// or one flat colour.
std::unique_ptr<TBitmap> Picture(Integer W, Integer H, Byte Tag) {
  auto b = std::make_unique<TBitmap>(W, H, pf24bit);
  for (Integer y = 0; y < H; ++y)
    for (Integer x = 0; x < W; ++x) {
      Byte* p = b->ScanLine(y) + x * 3;
      p[0] = static_cast<Byte>(10 * x);
      p[1] = static_cast<Byte>(10 * y);
      p[2] = Tag;
    }
  return b;
}

std::unique_ptr<TBitmap> Flat(Integer W, Integer H, Px C) {
  auto b = std::make_unique<TBitmap>(W, H, pf24bit);
  for (Integer y = 0; y < H; ++y)
    for (Integer x = 0; x < W; ++x) {
      Byte* p = b->ScanLine(y) + x * 3;
      p[0] = C.b;
      p[1] = C.g;
      p[2] = C.r;
    }
  return b;
}

Px Background() {
  const TRGB c = TColor2TRGB(clBtnFace);
  return Px{c.b, c.g, c.r};
}

// ---------------------------------------------------------------------------
// The engine's own transitions, exact on a 16 x 8 picture
// ---------------------------------------------------------------------------

// Where the frame pixel (X, Y) at step S comes from: the from picture (F)
// or the to picture (T) at (SX, SY), a red line (R), or an explicit value.
struct OwnCase {
  TLKTransitionType Type;
  Integer S, X, Y;
  char Src;
  Integer SX, SY;
  Px Value;
};

TEST(TransitionEngine, OwnTransitionsTakeEachPixelFromTheRightPlace) {
  constexpr Integer W = 16, H = 8;
  const Px bg = Background();
  const auto avg = [](Px a, Px b) {
    return Px{Byte((a.b * 512 + b.b * 512) >> 10), Byte((a.g * 512 + b.g * 512) >> 10),
              Byte((a.r * 512 + b.r * 512) >> 10)};
  };
  const OwnCase cases[] = {
      // Hand-checked values: (30, 10, 1) and (30, 10, 2) mixed 768 : 256.
      {lkttCrossDissolve, 256, 3, 1, 'V', 0, 0, {30, 10, 1}},
      {lkttCrossDissolve, 1024, 3, 1, 'T', 3, 1, {}},
      {lkttFadeIn, 0, 5, 5, 'V', 0, 0, bg},
      {lkttFadeOut, 1024, 5, 5, 'V', 0, 0, bg},
      {lkttFadeOut, 512, 5, 3, 'V', 0, 0, avg({50, 30, 1}, bg)},
      // Fade out then in is exactly the background at its middle.
      {lkttFadeOutIn, 512, 7, 2, 'V', 0, 0, bg},
      {lkttFadeOutIn, 256, 5, 3, 'V', 0, 0, avg({50, 30, 1}, bg)},
      // Wipes: 8 columns of T at the half; red lines on their edges.
      {lkttLeftRight1, 512, 7, 0, 'T', 7, 0, {}},
      {lkttLeftRight1, 512, 8, 0, 'F', 8, 0, {}},
      {lkttLeftRight2, 0, 0, 3, 'R', 0, 0, {}},
      {lkttLeftRight2, 512, 8, 3, 'R', 0, 0, {}},
      {lkttLeftRight2, 512, 7, 3, 'T', 7, 3, {}},
      {lkttRightLeft1, 256, 12, 1, 'T', 12, 1, {}},
      {lkttRightLeft1, 256, 11, 1, 'F', 11, 1, {}},
      {lkttRightLeft2, 256, 12, 1, 'R', 0, 0, {}},
      {lkttUpDown1, 512, 0, 3, 'T', 0, 3, {}},
      {lkttUpDown1, 512, 0, 4, 'F', 0, 4, {}},
      {lkttUpDown2, 0, 9, 0, 'R', 0, 0, {}},
      {lkttUpDown2, 512, 9, 4, 'R', 0, 0, {}},
      {lkttDownUp1, 256, 5, 6, 'T', 5, 6, {}},
      {lkttDownUp1, 256, 5, 5, 'F', 5, 5, {}},
      {lkttDownUp2, 256, 5, 6, 'R', 0, 0, {}},
      // Slides: T's corner at (+-8, +-4) at the half.
      {lkttFromUpLeft, 512, 0, 0, 'T', 8, 4, {}},
      {lkttFromUpLeft, 512, 8, 4, 'F', 8, 4, {}},
      {lkttFromUpRight, 512, 8, 0, 'T', 0, 4, {}},
      {lkttFromUpRight, 512, 7, 0, 'F', 7, 0, {}},
      {lkttFromBottomLeft, 512, 0, 4, 'T', 8, 0, {}},
      {lkttFromBottomLeft, 512, 0, 3, 'F', 0, 3, {}},
      {lkttFromBottomRight, 512, 9, 5, 'T', 1, 1, {}},
      {lkttFromBottomRight, 512, 7, 7, 'F', 7, 7, {}},
      // Pushes and slide-outs: c = 4 columns (12 for the right-to-left
      // pair at s = 256), n = 4 rows (6).
      {lkttMoveLeftRight1, 256, 0, 2, 'T', 12, 2, {}},
      {lkttMoveLeftRight1, 256, 4, 1, 'F', 0, 1, {}},
      {lkttMoveLeftRight2, 256, 3, 1, 'T', 3, 1, {}},
      {lkttMoveLeftRight2, 256, 4, 1, 'F', 0, 1, {}},
      {lkttMoveRightLeft1, 256, 0, 2, 'F', 4, 2, {}},
      {lkttMoveRightLeft1, 256, 12, 2, 'T', 0, 2, {}},
      {lkttMoveRightLeft2, 256, 11, 2, 'F', 11, 2, {}},
      {lkttMoveRightLeft2, 256, 12, 2, 'T', 0, 2, {}},
      {lkttMoveUpDown1, 512, 2, 0, 'T', 2, 4, {}},
      {lkttMoveUpDown1, 512, 2, 4, 'F', 2, 0, {}},
      {lkttMoveUpDown2, 512, 2, 3, 'T', 2, 3, {}},
      {lkttMoveUpDown2, 512, 2, 4, 'F', 2, 0, {}},
      {lkttMoveDownUp1, 256, 1, 0, 'F', 1, 2, {}},
      {lkttMoveDownUp1, 256, 1, 6, 'T', 1, 0, {}},
      {lkttMoveDownUp2, 256, 1, 5, 'F', 1, 7, {}},
      {lkttMoveDownUp2, 256, 1, 6, 'T', 1, 6, {}},
      // Centre wipes: the rectangle (4, 2) - (12, 6) at the half.
      {lkttCenter1, 512, 4, 2, 'T', 4, 2, {}},
      {lkttCenter1, 512, 11, 5, 'T', 11, 5, {}},
      {lkttCenter1, 512, 3, 2, 'F', 3, 2, {}},
      {lkttCenter1, 512, 12, 5, 'F', 12, 5, {}},
      {lkttCenter2, 512, 4, 2, 'F', 4, 2, {}},
      {lkttCenter2, 512, 3, 2, 'T', 3, 2, {}},
      // T halved into that rectangle: 2 x 2 source pixels averaged.
      {lkttCenterZoom1, 512, 4, 2, 'V', 0, 0, {5, 5, 2}},
      {lkttCenterZoom1, 512, 3, 2, 'F', 3, 2, {}},
      {lkttCenterZoom2, 512, 5, 3, 'V', 0, 0, {25, 25, 1}},
      {lkttCenterZoom2, 512, 3, 2, 'T', 3, 2, {}},
  };
  auto from = Picture(W, H, 1), to = Picture(W, H, 2);
  TLKTransitionEffects e(nullptr);
  for (const OwnCase& c : cases) {
    SCOPED_TRACE(testing::Message() << "type " << int(c.Type) << " step " << c.S << " at " << c.X << ", " << c.Y);
    e.Transition = c.Type;
    e.PrepareBitmap(from.get(), to.get());
    e.DrawFrame(0);
    e.DrawFrame(c.S);
    Px want = c.Value;
    if (c.Src == 'F') want = At(from.get(), c.SX, c.SY);
    if (c.Src == 'T') want = At(to.get(), c.SX, c.SY);
    if (c.Src == 'R') want = Px{0, 0, 255};
    EXPECT_EQ(At(e.FrameBitmap.get(), c.X, c.Y), want);
  }
}

// ---------------------------------------------------------------------------
// All 164 transitions: first frame, last frame, growing coverage and
// interior samples at the half, on flat pictures of 96 x 64
// ---------------------------------------------------------------------------

TEST(TransitionEngine, EveryTransitionRunsFromStartToEndPicture) {
  constexpr Integer W = 96, H = 64;
  constexpr Px cf{10, 20, 30}, ct{200, 150, 100};
  auto from = Flat(W, H, cf), to = Flat(W, H, ct);
  TLKBitmap source;  // the pan-zoom shows the to colour over the whole frame
  source.Allocate(W, H, lk24RGB);
  source.Fill(static_cast<double>(ct.r | ct.g << 8 | ct.b << 16));  // 0xBBGGRR

  // Interior samples at position 500 (step 512, 50 %): (type, x, y, shows T).
  struct Sample {
    Integer Type, X, Y;
    bool IsTo;
  };
  const Sample samples[] = {
      {31, 10, 32, true},  {31, 80, 32, false}, {32, 90, 32, true},  {32, 10, 32, false}, {35, 10, 10, true},
      {35, 60, 40, false}, {47, 50, 32, true},  {47, 50, 5, false},  {49, 10, 10, true},  {49, 60, 40, false},
      {53, 50, 20, true},  {53, 50, 60, false}, {54, 5, 30, true},   {54, 48, 30, false}, {54, 90, 30, true},
      {55, 48, 5, true},   {55, 5, 5, false},   {64, 10, 10, true},  {64, 60, 10, false}, {69, 90, 60, true},
      {77, 90, 32, true},  {77, 90, 0, false},  {81, 50, 2, true},   {81, 50, 7, false},  {89, 10, 7, true},
      {89, 10, 2, false},  {89, 60, 2, true},   {91, 5, 30, true},   {91, 90, 30, false}, {115, 48, 32, true},
      {115, 1, 1, false},  {116, 1, 1, true},   {116, 48, 32, false}, {131, 10, 10, true}, {131, 90, 60, false},
      {137, 70, 32, true}, {137, 20, 32, false}, {138, 20, 32, true}, {138, 70, 32, false}, {140, 48, 32, true},
      {140, 5, 5, false},  {142, 10, 30, true}, {142, 80, 30, false}, {154, 5, 10, true},  {154, 5, 40, false},
      {155, 10, 5, true},  {155, 60, 5, false}, {156, 10, 5, true},  {156, 50, 5, true},  {160, 30, 30, true},
  };

  TLKTransitionEffects e(nullptr);
  TBitmap frame;
  LKTransitionRandomSeed(1);
  for (Integer type = 1; type <= lkttPanZoom; ++type) {
    SCOPED_TRACE(testing::Message() << "type " << type);
    e.Transition = static_cast<TLKTransitionType>(type);
    e.SourceImage = &source;
    e.StartRect = e.EndRect = TRect{0, 0, W, H};
    e.PrepareBitmap(from.get(), to.get());
    const bool pushes = type >= 146 && type <= 153;
    Int64 prev = -1;
    for (Integer pos = 0; pos <= 1000; pos += 20) {
      e.CreateBitmapFrame(pos, &frame);
      ASSERT_EQ(frame.GetWidth(), W);
      ASSERT_EQ(frame.GetHeight(), H);
      Int64 covered = 0, other = 0;
      for (Integer y = 0; y < H; ++y)
        for (Integer x = 0; x < W; ++x) {
          const Px p = At(&frame, x, y);
          covered += p == ct;
          other += !(p == ct) && !(p == cf);
        }
      if (pos == 0) {
        if (type == lkttFadeIn) {
          EXPECT_EQ(At(&frame, 40, 30), Background());
        } else if (type == lkttPanZoom) {
          EXPECT_EQ(covered, W * H);
        } else if (type == lkttLeftRight2 || type == lkttUpDown2) {
          EXPECT_EQ(other, type == lkttLeftRight2 ? H : W) << "the red line on the first column or row";
          EXPECT_EQ(covered, 0);
        } else {
          EXPECT_EQ(covered, 0);
          EXPECT_EQ(other, 0) << "the first frame is the from picture";
        }
      }
      // Coverage of the to picture only grows; the pushes move the frame's
      // content, which loses at most a few columns or rows at an edge.
      if (type > lkttFadeOutIn && prev >= 0) {
        EXPECT_GE(covered, prev - (pushes ? 4 * W : 0)) << "at " << pos;
      }
      prev = covered;
      if (pos == 500)
        for (const Sample& s : samples) {
          if (s.Type == type) {
            EXPECT_EQ(At(&frame, s.X, s.Y) == ct, s.IsTo) << "at " << s.X << ", " << s.Y;
          }
        }
    }
    if (type == lkttRandomPoints || type == lkttRandomBoxes) {
      EXPECT_GE(prev, W * H * 97 / 100) << "about 0.3 % of the points are still to come";
    } else if (type == lkttFadeOut) {
      EXPECT_EQ(At(&frame, 40, 30), Background());
    } else if (type == lkttRightLeft2 || type == lkttDownUp2) {
      EXPECT_EQ(prev, W * H - (type == lkttRightLeft2 ? H : W)) << "the red line ends on the first column or row";
    } else {
      EXPECT_EQ(prev, W * H) << "the last frame is the to picture";
    }
  }
}

TEST(TransitionEngine, ListNamesAndProceduresCoverTheTypes) {
  EXPECT_STREQ(LKTransitionList[lkttCrossDissolve - 1].Name, "Cross Fade");
  EXPECT_STREQ(LKTransitionList[lkttExpandFromLeft - 1].Name, "Expand from Left");
  EXPECT_STREQ(LKTransitionList[lkttRectanglesFromTheBottom - 1].Name, "Rectangles from the Bottom");
  for (Integer i = 1; i <= LKTransitionListCount; ++i)
    EXPECT_EQ(LKTransitionList[i - 1].Proc != nullptr, i >= 31) << "type " << i;
}

TEST(TransitionEngine, FramePositionsAndRefusedPictures) {
  TLKTransitionEffects e(nullptr);
  auto from = Picture(8, 4, 1), to = Picture(8, 4, 2), other = Picture(6, 4, 2);
  TBitmap frame;
  // lkttNone prepares nothing.
  e.PrepareBitmap(from.get(), to.get());
  EXPECT_EQ(e.Width, 0);
  e.Transition = lkttCrossDissolve;
  e.PrepareBitmap(from.get(), to.get());
  e.CreateBitmapFrame(500, &frame);
  EXPECT_EQ(e.Step, 512);
  e.CreateBitmapFrame(5000, &frame);
  EXPECT_EQ(e.Step, 1024);
  e.CreateBitmapFrame(-3, &frame);
  EXPECT_EQ(e.Step, 0);
  // A to picture of another size would be read past its end: it is refused
  // and every frame stays the from picture.
  e.PrepareBitmap(from.get(), other.get());
  e.CreateBitmapFrame(1000, &frame);
  EXPECT_EQ(At(&frame, 7, 3), At(from.get(), 7, 3));
  EXPECT_FALSE(e.Running);
}

TEST(TransitionEngine, PanZoomLetterboxesAClippedStartRectangle) {
  constexpr Integer W = 40, H = 20;
  TLKBitmap source;
  source.Allocate(100, 100, lk24RGB);
  source.Fill(static_cast<double>(0x0000FF));  // red in 0xBBGGRR
  auto from = Flat(W, H, {1, 2, 3}), to = Flat(W, H, {4, 5, 6});
  TLKTransitionEffects e(nullptr);
  e.Transition = lkttPanZoom;
  e.SourceImage = &source;
  // Half of the start rectangle lies left of the picture: the 20 x 20 part
  // inside is fitted to the frame's height and centred on the background.
  e.StartRect = TRect{-20, 0, 20, 20};
  e.EndRect = TRect{0, 0, 40, 20};
  e.PrepareBitmap(from.get(), to.get());
  TBitmap frame;
  e.CreateBitmapFrame(0, &frame);
  EXPECT_EQ(At(&frame, 20, 10), (Px{0, 0, 255}));
  EXPECT_EQ(At(&frame, 11, 10), (Px{0, 0, 255}));
  EXPECT_EQ(At(&frame, 2, 10), (Px{0, 0, 0}));
  EXPECT_EQ(At(&frame, 37, 10), (Px{0, 0, 0}));
  // Unclipped, the rectangle fills the frame.
  e.CreateBitmapFrame(1000, &frame);
  EXPECT_EQ(At(&frame, 2, 10), (Px{0, 0, 255}));
  EXPECT_EQ(At(&frame, 37, 10), (Px{0, 0, 255}));
}

// ---------------------------------------------------------------------------
// Row plumbing
// ---------------------------------------------------------------------------

TEST(TransitionRaster, StretchAveragesAreaAndMirrors) {
  auto src = std::make_unique<TBitmap>(4, 1, pf24bit);
  const Byte v[4] = {0, 100, 200, 40};
  for (Integer x = 0; x < 4; ++x) src->ScanLine(0)[x * 3] = src->ScanLine(0)[x * 3 + 1] = src->ScanLine(0)[x * 3 + 2] = v[x];
  auto dst = std::make_unique<TBitmap>(8, 1, pf24bit);
  std::vector<Byte*> sr, dr;
  const TLKRows s = LKRowsOf(src.get(), sr), d = LKRowsOf(dst.get(), dr);
  const auto row = [&](Integer n) {
    std::vector<int> out;
    for (Integer x = 0; x < n; ++x) out.push_back(dst->ScanLine(0)[x * 3]);
    return out;
  };
  LKRowsStretch(d, {0, 0, 2, 1}, s, {0, 0, 4, 1});
  EXPECT_EQ(row(2), (std::vector<int>{50, 120}));
  LKRowsStretch(d, {0, 0, 2, 1}, s, {0, 0, 4, 1}, true);
  EXPECT_EQ(row(2), (std::vector<int>{120, 50}));
  LKRowsStretch(d, {0, 0, 8, 1}, s, {0, 0, 4, 1});
  EXPECT_EQ(row(8), (std::vector<int>{0, 0, 100, 100, 200, 200, 40, 40}));
  // Three pixels onto two: each takes one and a half.
  LKRowsStretch(d, {0, 0, 2, 1}, s, {1, 0, 4, 1});
  EXPECT_EQ(row(2), (std::vector<int>{133, 93}));
  // A source partly outside the picture is limited to it; a destination
  // partly outside the frame is clipped.
  LKRowsStretch(d, {-2, 0, 2, 1}, s, {0, 0, 9, 1});
  EXPECT_EQ(row(2), (std::vector<int>{200, 40}));
}

// Rows too wide for running sums of bytes to stay whole numbers in a float
// take another summing path; both must give the footprint averages.
TEST(TransitionRaster, StretchAveragesNarrowAndVeryWideRows) {
  for (const Integer w : {1000, 70000}) {
    SCOPED_TRACE(w);
    auto src = std::make_unique<TBitmap>(w, 1, pf24bit);
    Byte* s = src->ScanLine(0);
    for (Integer x = 0; x < w; ++x) {
      s[x * 3] = static_cast<Byte>(x * 37 % 256);
      s[x * 3 + 1] = static_cast<Byte>(Int64{x} * 255 / (w - 1));
      s[x * 3 + 2] = 255;
    }
    auto dst = std::make_unique<TBitmap>(7, 1, pf24bit);
    std::vector<Byte*> sr, dr;
    LKRowsStretch(LKRowsOf(dst.get(), dr), {0, 0, 7, 1}, LKRowsOf(src.get(), sr), {0, 0, w, 1});
    for (Integer k = 0; k < 7; ++k) {
      const double a = static_cast<double>(w) * k / 7, b = static_cast<double>(w) * (k + 1) / 7;
      for (Integer c = 0; c < 3; ++c) {
        double sum = 0;
        for (Integer x = static_cast<Integer>(a); x < w && x < b; ++x)
          sum += s[x * 3 + c] * (std::min<double>(b, x + 1) - std::max<double>(a, x));
        EXPECT_NEAR(dst->ScanLine(0)[k * 3 + c], sum / (b - a), 1.0) << "pixel " << k << " channel " << c;
      }
      EXPECT_EQ(dst->ScanLine(0)[k * 3 + 2], 255);
    }
  }
}

// A stretch along the rows may work on the picture itself (the row
// squeezes do): the result is the one a separate copy gives.
TEST(TransitionRaster, StretchAlongRowsInPlaceMatchesACopy) {
  struct Case {
    TRect Dest;
    bool Mirror;
  };
  for (const Case& c : {Case{{0, 0, 23, 5}, false}, Case{{14, 0, 37, 5}, false}, Case{{-9, 0, 60, 5}, false},
                        Case{{3, 0, 30, 5}, true}}) {
    auto frame = std::make_unique<TBitmap>(37, 5, pf24bit);
    for (Integer y = 0; y < 5; ++y)
      for (Integer i = 0; i < 37 * 3; ++i) frame->ScanLine(y)[i] = static_cast<Byte>(i * 53 + y * 29);
    auto copy = std::make_unique<TBitmap>(37, 5, pf24bit), expected = std::make_unique<TBitmap>(37, 5, pf24bit);
    std::vector<Byte*> fr, cr, er;
    const TLKRows f = LKRowsOf(frame.get(), fr), cp = LKRowsOf(copy.get(), cr), ex = LKRowsOf(expected.get(), er);
    LKRowsCopyAll(cp, f);
    LKRowsCopyAll(ex, f);
    LKRowsStretch(ex, c.Dest, cp, {0, 0, 37, 5}, c.Mirror);
    LKRowsStretch(f, c.Dest, f, {0, 0, 37, 5}, c.Mirror);
    for (Integer y = 0; y < 5; ++y)
      EXPECT_EQ(std::memcmp(frame->ScanLine(y), expected->ScanLine(y), 37 * 3), 0)
          << "row " << y << " of " << c.Dest.Left << ".." << c.Dest.Right;
  }
}

TEST(TransitionRaster, RegionShapes) {
  TLKRegionMask m;
  m.Reset(10, 10);
  const TPoint tri[3] = {{0, 0}, {10, 0}, {0, 10}};
  m.AddPolygon(tri, 3);
  EXPECT_EQ(m.CoveredCount(), 45);  // centres left of the diagonal; on it they are out
  EXPECT_TRUE(m.Covered(0, 8));
  EXPECT_FALSE(m.Covered(0, 9));
  EXPECT_FALSE(m.Covered(9, 1));
  m.Reset(10, 10);
  m.AddRect(-5, -5, 20, 20);
  m.XorRoundRect(0, 0, 10, 10, 10, 10);
  EXPECT_TRUE(m.Covered(0, 0));  // the corners outside the circle
  EXPECT_FALSE(m.Covered(5, 5));
  m.Reset(10, 10);
  m.AddRect(2, 2, 6, 6);
  TLKRegionMask n;
  n.Reset(10, 10);
  n.AddRect(4, 4, 8, 8);
  m.Intersect(n);
  EXPECT_EQ(m.CoveredCount(), 4);
  EXPECT_EQ(LKMulDiv(7, 1, 2), 4);
  EXPECT_EQ(LKMulDiv(-7, 1, 2), -4);
  EXPECT_EQ(LKMulDiv(5, 5, 0), -1);
}

}  // namespace
