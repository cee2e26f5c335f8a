// Tone routines: the worked values of each curve, rectangles, the automatic
// equalisation against a whole-picture reference, gamma per format, and the
// operations through the frame in memory and in temporary files.
#include "processing/lktone.h"

#include <gtest/gtest.h>

#include <cmath>

#include "color_fixtures.h"
#include "processing/lkbwconv.h"
#include "processing/lkhistogram.h"
#include "processing/lkprocutils.h"
#include "processing/lumerakproc.h"

namespace {

using namespace color_test;

struct ToneCase {
  const char* name;
  TRGB before;
  std::function<void(TLKBitmap*)> run;
  TRGB after;
};

TEST(Tone, WorkedValues) {
  const TRGB white = CreateRGB(255, 255, 255), black = CreateRGB(0, 0, 0);
  const ToneCase cases[] = {
      {"contrast 0 is the identity", CreateRGB(12, 200, 99),
       [](TLKBitmap* b) { _ContrastRGB(b, 0, 100, 50, 30, 0, 0, 9, 9, nullptr, nullptr); }, CreateRGB(12, 200, 99)},
      {"contrast -100 paints the centres", CreateRGB(12, 200, 99),
       [](TLKBitmap* b) { _ContrastRGB(b, -100, 100, 50, 30, 0, 0, 9, 9, nullptr, nullptr); },
       CreateRGB(100, 50, 30)},
      {"contrast 10 doubles the distance, clamped", CreateRGB(200, 60, 0),
       [](TLKBitmap* b) { _ContrastRGB(b, 10, 100, 50, 30, 0, 0, 9, 9, nullptr, nullptr); },
       CreateRGB(255, 70, 0)},
      {"contrast -25 truncates toward zero", CreateRGB(101, 99, 30),
       [](TLKBitmap* b) { _ContrastRGB(b, -25, 100, 100, 30, 0, 0, 9, 9, nullptr, nullptr); },
       CreateRGB(100, 100, 30)},
      {"offsets +300", CreateRGB(1, 2, 3),
       [](TLKBitmap* b) { _IntensityRGBall(b, 300, 300, 300, 0, 0, 9, 9, nullptr, nullptr); }, white},
      {"offsets -300", CreateRGB(250, 2, 3),
       [](TLKBitmap* b) { _IntensityRGBall(b, -300, -300, -300, 0, 0, 9, 9, nullptr, nullptr); }, black},
      {"offsets per channel", CreateRGB(10, 20, 30),
       [](TLKBitmap* b) { _IntensityRGBall(b, 5, -5, 0, 0, 0, 9, 9, nullptr, nullptr); }, CreateRGB(15, 15, 30)},
      {"threshold limits black and white change nothing", CreateRGB(50, 150, 250),
       [&](TLKBitmap* b) { _Threshold(b, black, white, white, black, 0, 0, 9, 9, nullptr, nullptr); },
       CreateRGB(50, 150, 250)},
      {"threshold low and high", CreateRGB(50, 150, 250),
       [&](TLKBitmap* b) {
         const TRGB lo = CreateRGB(100, 100, 100), hi = CreateRGB(200, 200, 200);
         _Threshold(b, lo, hi, black, white, 0, 0, 9, 9, nullptr, nullptr);
       },
       CreateRGB(0, 150, 255)},
      {"threshold low colour above the high limit ends high", CreateRGB(50, 150, 250),
       [&](TLKBitmap* b) {
         const TRGB lo = CreateRGB(100, 100, 100), hi = CreateRGB(200, 200, 200);
         _Threshold(b, lo, hi, CreateRGB(220, 0, 0), CreateRGB(7, 7, 7), 0, 0, 9, 9, nullptr, nullptr);
       },
       CreateRGB(7, 150, 7)},
      {"stretch with equal levels after raising 0 to 1", CreateRGB(50, 150, 250),
       [](TLKBitmap* b) {
         _HistEqualize(b, CreateRGB(1, 1, 1), CreateRGB(0, 0, 0), 0, 0, 9, 9, nullptr, nullptr);
       },
       CreateRGB(50, 150, 250)},
      {"stretch 0..255 is the identity", CreateRGB(50, 150, 250),
       [&](TLKBitmap* b) { _HistEqualize(b, black, white, 0, 0, 9, 9, nullptr, nullptr); },
       CreateRGB(50, 150, 250)},
      {"stretch low 50 high 200", CreateRGB(50, 100, 250),
       [](TLKBitmap* b) {
         _HistEqualize(b, CreateRGB(50, 50, 50), CreateRGB(200, 200, 200), 0, 0, 9, 9, nullptr, nullptr);
       },
       // first: round((v - 50) / 205 * 255); second: round(v / 200 * 255).
       CreateRGB(0, 79, 255)},
      {"gamma 1 is the identity", CreateRGB(3, 128, 250),
       [](TLKBitmap* b) { _LKGammaCorrect(b, 1, {lkcRed, lkcGreen, lkcBlue}, nullptr, nullptr); },
       CreateRGB(3, 128, 250)},
      {"gamma 2 on red only", CreateRGB(64, 64, 64),
       [](TLKBitmap* b) { _LKGammaCorrect(b, 2, {lkcRed}, nullptr, nullptr); }, CreateRGB(128, 64, 64)},
      {"gamma 0 changes nothing", CreateRGB(64, 64, 64),
       [](TLKBitmap* b) { _LKGammaCorrect(b, 0, {lkcRed}, nullptr, nullptr); }, CreateRGB(64, 64, 64)},
  };
  for (bool file : {false, true}) {
    StorageScope storage(file);
    for (const ToneCase& c : cases) {
      auto b = Uniform(3, 2, c.before);
      c.run(b.get());
      EXPECT_EQ(b->GetPixels_lk24RGB(2, 1), c.after) << c.name << (file ? " (file)" : "");
    }
  }
}

TEST(Tone, RectangleIsCutAndOnlyItChanges) {
  auto b = std::make_unique<TLKBitmap>(6, 5, lk24RGB);
  Paint(b.get(), Varied);
  TLKBitmap before;
  before.Assign(b.get());
  std::vector<Integer> progress;
  // Starts below 0 count as 0; ends past the picture are cut.
  _IntensityRGBall(b.get(), 1, 1, 1, -3, 2, 4, 99, [&](TObject*, Integer p) { progress.push_back(p); }, nullptr);
  for (Integer y = 0; y < 5; ++y)
    for (Integer x = 0; x < 6; ++x) {
      const TRGB o = before.GetPixels_lk24RGB(x, y), n = b->GetPixels_lk24RGB(x, y);
      const bool inside = x < 4 && y >= 2;
      EXPECT_EQ(n.r, inside ? std::min(o.r + 1, 255) : o.r) << x << "," << y;
    }
  EXPECT_EQ(progress, (std::vector<Integer>{40, 80, 120}));  // 3 rows: 100 / 2.5 per row
}

TEST(Tone, OtherFormatsAreLeftAlone) {
  TLKBitmap b(4, 4, lk8g);
  b.Fill(77);
  _ContrastRGB(&b, -100, 0, 0, 0, 0, 0, 4, 4, nullptr, nullptr);
  _IntensityRGBall(&b, 9, 9, 9, 0, 0, 4, 4, nullptr, nullptr);
  _HistAutoEqualize(&b, 0, 0, 4, 4, nullptr, nullptr);
  EXPECT_EQ(b.GetPixels_lk8(3, 3), 77);
}

// The automatic equalisation as written for the whole picture at once: a
// full work copy, decisions on the unchanged source.
void ReferenceAutoEqualize(TLKBitmap* b, Integer x1, Integer y1, Integer x2, Integer y2) {
  const Integer w = b->GetWidth(), h = b->GetHeight();
  THistogram hist;
  _GetHistogram(b, hist, 0, 0, w, h, nullptr);
  const double step = double(w) * h / 256;
  Integer low[256], high[256], k = 0;
  double sum = 0;
  for (int g = 0; g < 256; ++g) {
    low[g] = std::min(k, 255);
    sum += hist.Items[g].Gray;
    while (sum > step) sum -= step, ++k;
    high[g] = std::min(k, 255);
  }
  TLKBitmap src;
  src.Assign(b);
  auto grey = [](Integer r, Integer g, Integer bl) { return (r * 21 + g * 71 + bl * 8) / 100; };
  for (Integer y = y1; y < y2; ++y)
    for (Integer x = x1; x < x2; ++x) {
      Integer s[3] = {0, 0, 0};
      for (Integer dy = -1; dy <= 1; ++dy)
        for (Integer dx = -1; dx <= 1; ++dx) {
          const TRGB c = src.GetPixels_lk24RGB(std::clamp(x + dx, 0, w - 1), std::clamp(y + dy, 0, h - 1));
          s[0] += c.r, s[1] += c.g, s[2] += c.b;
        }
      const TRGB p = src.GetPixels_lk24RGB(x, y);
      const TRGB mean = CreateRGB(Byte(s[0] / 9), Byte(s[1] / 9), Byte(s[2] / 9));
      const Integer g = grey(p.r, p.g, p.b), a = grey(mean.r, mean.g, mean.b);
      TRGB out;
      if (low[g] == high[g] || a < low[g])
        out = CreateRGB(Byte(low[p.r]), Byte(low[p.g]), Byte(low[p.b]));
      else if (a > high[g])
        out = CreateRGB(Byte(high[p.r]), Byte(high[p.g]), Byte(high[p.b]));
      else
        out = mean;
      b->SetPixels_lk24RGB(x, y, out);
    }
}

TEST(Tone, AutoEqualizeMatchesWholePictureReference) {
  for (bool file : {false, true}) {
    StorageScope storage(file);
    TLKBitmap a(23, 17, lk24RGB), r(23, 17, lk24RGB);
    auto colour = [](Integer x, Integer y) {
      return CreateRGB(Byte((x * x + y * 7) % 256), Byte((x * 31 + y * y) % 200), Byte((x + y) * 5));
    };
    Paint(&a, colour);
    Paint(&r, colour);
    _HistAutoEqualize(&a, 2, 0, 20, 17, nullptr, nullptr);
    ReferenceAutoEqualize(&r, 2, 0, 20, 17);
    EXPECT_EQ(Pixels(&a), Pixels(&r)) << (file ? "file" : "memory");
  }
  // One colour: every pixel becomes its local mean, itself.
  auto one = Uniform(5, 4, CreateRGB(90, 10, 200));
  _HistAutoEqualize(one.get(), 0, 0, 5, 4, nullptr, nullptr);
  EXPECT_EQ(one->GetPixels_lk24RGB(4, 3), CreateRGB(90, 10, 200));
}

TEST(Tone, GammaOnEachCorrectedFormat) {
  TLKBitmap wide(2, 2, lk48RGB);
  wide.SetPixels_lk48RGB(1, 1, TRGB48{16384, 16384, 16384});
  _LKGammaCorrect(&wide, 2, {lkcGreen}, nullptr, nullptr);
  const TRGB48 p = wide.GetPixels_lk48RGB(1, 1);
  EXPECT_EQ(p.r, 16384);
  EXPECT_EQ(p.g, std::lround(std::sqrt(16384 / 65535.0) * 65535));
  EXPECT_EQ(p.b, 16384);

  TLKBitmap pal(2, 2, lk8p);
  pal.SetPalette(0, CreateRGB(64, 64, 64));
  pal.SetPalette(1, CreateRGB(0, 255, 64));
  _LKGammaCorrect(&pal, 2, {lkcRed, lkcGreen, lkcBlue}, nullptr, nullptr);
  EXPECT_EQ(pal.GetPalette(0), CreateRGB(128, 128, 128));
  EXPECT_EQ(pal.GetPalette(1), CreateRGB(0, 255, 128));

  TLKBitmap grey(2, 2, lk16g);
  grey.Fill(16384);
  _LKGammaCorrect(&grey, 2, {lkcBlue}, nullptr, nullptr);
  EXPECT_EQ(grey.GetPixels_lk16g(0, 0), std::lround(std::sqrt(16384 / 65535.0) * 65535));
}

TEST(Tone, OperationsThroughTheFrame) {
  for (bool file : {false, true}) {
    StorageScope storage(file);
    ProcOnView s(8, 6);
    auto& [view, before, proc, ev] = s;
    view.SelectRect(2, 1, 5, 3);
    proc.IntensityRGBall(10, -300, 0);
    EXPECT_EQ(proc.GetUndoCaptions(0), "IntensityRGBall 10,-300,0");
    TLKBitmap* b = view.GetLKBitmap();
    for (Integer y = 0; y < 6; ++y)
      for (Integer x = 0; x < 8; ++x) {
        const TRGB o = before.GetPixels_lk24RGB(x, y), n = b->GetPixels_lk24RGB(x, y);
        if (view.Mask.IsPointInside(x, y))
          EXPECT_EQ(n, CreateRGB(Byte(std::min(o.r + 10, 255)), 0, o.b)) << x << "," << y;
        else
          EXPECT_EQ(n, o) << x << "," << y;
      }
    // The box is 3 rows: 40, 80, 120, then the finishing 100.
    EXPECT_EQ(ev.progress, (std::vector<Integer>{40, 80, 120, 100}));
    EXPECT_EQ(ev.finished, 1);

    // Contrast takes its centres from the whole picture, not the box.
    Integer r, g, bl;
    _GetMediaContrastRGB(b, r, g, bl);
    proc.Contrast(-100);
    EXPECT_EQ(proc.GetUndoCaptions(0), "Contrast -100");
    EXPECT_EQ(b->GetPixels_lk24RGB(3, 2), CreateRGB(Byte(r), Byte(g), Byte(bl)));
  }
}

TEST(Tone, FormatsOfTheOperations) {
  // Gamma corrects a 48-bit picture in its own depth.
  TTestView view(3, 3, lk48RGB);
  view.GetLKBitmap()->SetPixels_lk48RGB(0, 0, TRGB48{100, 200, 300});
  TLumerakProc proc;
  proc.SetAttachedLumerak(&view);
  proc.GammaCorrect(1, {lkcRed, lkcGreen, lkcBlue});
  EXPECT_EQ(view.GetLKBitmap()->GetPixelFormat(), lk48RGB);
  EXPECT_EQ(view.GetLKBitmap()->GetPixels_lk48RGB(0, 0), (TRGB48{100, 200, 300}));
  // A palette picture with a selection: the palette changes.
  TTestView palView(4, 4, lk8p);
  palView.GetLKBitmap()->SetPalette(0, CreateRGB(64, 0, 0));
  palView.SelectRect(1, 1, 2, 2);
  proc.SetAttachedLumerak(&palView);
  proc.GammaCorrect(2, {lkcRed});
  EXPECT_EQ(palView.GetLKBitmap()->GetPalette(0), CreateRGB(128, 0, 0));
  // The two-level curve: levels 100 and 200 on red only.
  TTestView v24(2, 2, lk24RGB);
  v24.GetLKBitmap()->SetPixels_lk24RGB(0, 0, CreateRGB(50, 50, 250));
  proc.SetAttachedLumerak(&v24);
  proc.Threshold2(100, 200, true, false, false);
  // v = Trunc((255 - 50) / 2.55 + 50) = 130 > 100: Trunc(130 / 1.275) = 101.
  EXPECT_EQ(v24.GetLKBitmap()->GetPixels_lk24RGB(0, 0), CreateRGB(101, 50, 250));
  EXPECT_EQ(proc.GetUndoCaptions(0), "Threshold2");
}

}  // namespace
