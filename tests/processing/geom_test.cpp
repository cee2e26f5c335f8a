// Mirrors, quarter turns and canvas resize, exact on a 3 x 2 picture in
// every pixel format.
#include <gtest/gtest.h>

#include <cstring>

#include "processing/lumerakproc.h"
#include "testview.h"

namespace {

constexpr TLKPixelFormat kFormats[] = {lk1g, lk8p, lk8g, lk16g, lk24RGB, lk32f, lkCMYK, lk48RGB, lkCIELab};

// Where pixel (x, y) of a 3 x 2 source lands for each transform.
struct Transform {
  const char* name;
  Integer w, h;  // result size
  TPoint (*map)(Integer x, Integer y);
  void (*apply)(TLKBitmap* source, TLKBitmap* result);
};

void FlipInPlace(TLKBitmap* s, TLKBitmap* r, TFlipDir d) {
  r->Assign(s);
  _FlipEx(r, d);
}

const Transform kTransforms[] = {
    {"FlipHorizontal", 3, 2, [](Integer x, Integer y) { return TPoint{2 - x, y}; },
     [](TLKBitmap* s, TLKBitmap* r) { FlipInPlace(s, r, fdHorizontal); }},
    {"FlipVertical", 3, 2, [](Integer x, Integer y) { return TPoint{x, 1 - y}; },
     [](TLKBitmap* s, TLKBitmap* r) { FlipInPlace(s, r, fdVertical); }},
    // a b c / d e f turned clockwise is d a / e b / f c.
    {"Rot90o", 2, 3, [](Integer x, Integer y) { return TPoint{1 - y, x}; }, _Rot90oEx},
    // ... and counter-clockwise c f / b e / a d.
    {"Rot90", 2, 3, [](Integer x, Integer y) { return TPoint{y, 2 - x}; }, _Rot90Ex},
    {"Rot90o8", 2, 3, [](Integer x, Integer y) { return TPoint{1 - y, x}; }, _Rot90oEx8},
    {"Rot90_8", 2, 3, [](Integer x, Integer y) { return TPoint{y, 2 - x}; }, _Rot90Ex8},
};

TEST(Geometry, EveryFormatEveryTransformExact) {
  for (bool file : {false, true}) {
    StorageScope storage(file);
    for (TLKPixelFormat f : kFormats)
      for (const Transform& t : kTransforms) {
        SCOPED_TRACE(std::string(t.name) + " format " + std::to_string(f) + (file ? " file" : " memory"));
        TLKBitmap source(3, 2, f);
        FillDistinct(&source);
        if (f == lk8p) source.SetPalette(5, TRGB{1, 2, 3});
        TLKBitmap result;
        t.apply(&source, &result);
        ASSERT_EQ(result.GetPixelFormat(), f);
        ASSERT_EQ(result.GetWidth(), t.w);
        ASSERT_EQ(result.GetHeight(), t.h);
        for (Integer y = 0; y < 2; ++y)
          for (Integer x = 0; x < 3; ++x) {
            const TPoint p = t.map(x, y);
            EXPECT_EQ(PixelBytes(&result, p.X, p.Y), PixelBytes(&source, x, y)) << x << "," << y;
          }
        if (f == lk8p) EXPECT_EQ(result.GetPalette(5), (TRGB{1, 2, 3}));
      }
  }
}

TEST(Geometry, ClassLibraryQuarterTurns) {
  TBitmap source(3, 2, pf24bit);
  for (Integer y = 0; y < 2; ++y)
    for (Integer x = 0; x < 3; ++x) source.ScanLine(y)[x * 3] = static_cast<Byte>('a' + y * 3 + x);
  auto text = [](TBitmap& b) {
    std::string t;
    for (Integer y = 0; y < b.GetHeight(); ++y) {
      for (Integer x = 0; x < b.GetWidth(); ++x) t += static_cast<char>(b.ScanLine(y)[x * 3]);
      t += '/';
    }
    return t;
  };
  TBitmap cw, ccw;
  _Rot90o(&source, &cw);
  _Rot90(&source, &ccw);
  EXPECT_EQ(text(cw), "da/eb/fc/");
  EXPECT_EQ(text(ccw), "cf/be/ad/");
  TBitmap grey(3, 2, pf8bit), untouched(1, 1, pf24bit);
  _Rot90o(&grey, &untouched);
  EXPECT_EQ(untouched.GetWidth(), 1);
}

TEST(Geometry, OneBitRowMirrorIgnoresSpareBits) {
  TLKBitmap b(10, 1, lk1g);
  Byte* row = static_cast<Byte*>(b.GetScanLine(0));
  std::memset(row, 0, static_cast<size_t>(b.GetRowLen()));
  row[0] = 0xC0;  // pixels 0 and 1
  row[1] = 0x40;  // pixel 9
  _FlipEx(&b, fdHorizontal);
  for (Integer x = 0; x < 10; ++x) EXPECT_EQ(b.GetPixels_lk1g(x, 0), x == 0 || x == 8 || x == 9) << x;
}

TEST(Geometry, FlipTwiceRestoresPictureAndAlpha) {
  for (TFlipDir d : {fdHorizontal, fdVertical}) {
    TLKBitmap b(5, 4, lk48RGB);
    FillDistinct(&b);
    b.SetAlpha(1, 0, 17);
    TLKBitmap before;
    before.Assign(&b);
    TLumerakProc proc;
    proc.SetAttachedLKBitmap(&b);
    proc.Flip(d);
    EXPECT_EQ(d == fdHorizontal ? b.GetAlpha(3, 0) : b.GetAlpha(1, 3), 17);
    proc.Flip(d);
    for (Integer y = 0; y < 4; ++y)
      for (Integer x = 0; x < 5; ++x) {
        EXPECT_EQ(PixelBytes(&b, x, y), PixelBytes(&before, x, y));
        EXPECT_EQ(b.GetAlpha(x, y), before.GetAlpha(x, y));
      }
    EXPECT_EQ(proc.GetUndoCaptions(0), "Flip");
  }
}

TEST(Geometry, ImageResize) {
  TLKBitmap b(4, 3, lk24RGB);
  FillDistinct(&b);
  TLKBitmap before;
  before.Assign(&b);
  TLumerakProc proc;
  proc.SetAttachedLKBitmap(&b);
  proc.SetReBackground(0x00FF00);
  for (auto s : {std::pair{0, 100}, std::pair{100, 0}, std::pair{-5, 10}, std::pair{10, -5}})
    proc.ImageResize(s.first, s.second, lkhLeft, lkvTop);
  EXPECT_EQ(b.GetWidth(), 4);
  EXPECT_EQ(proc.GetUndoCount(), 0);

  proc.ImageResize(6, 5, lkhLeft, lkvTop);
  ASSERT_EQ(b.GetWidth(), 6);
  ASSERT_EQ(b.GetHeight(), 5);
  EXPECT_EQ(PixelBytes(&b, 3, 2), PixelBytes(&before, 3, 2));
  EXPECT_EQ(b.GetPixels_lk24RGB(5, 4), (TRGB{0, 255, 0}));
  EXPECT_EQ(proc.GetUndoCaptions(0), "ImageResize 6,5");

  // A single pixel is cleared to the background first.
  TLKBitmap dot(1, 1, lk24RGB);
  dot.Fill(0);
  proc.SetAttachedLKBitmap(&dot);
  proc.ImageResize(10, 10, lkhCenter, lkvCenter);
  ASSERT_EQ(dot.GetWidth(), 10);
  for (Integer y = 0; y < 10; ++y)
    for (Integer x = 0; x < 10; ++x) ASSERT_EQ(dot.GetPixels_lk24RGB(x, y), (TRGB{0, 255, 0}));
}

}  // namespace
