// Scaled drawing with the fast linear filter, checked pixel for pixel against
// the filter worked out directly from its rules: fitted, reduced far,
// zoomed in on a part of the picture, mixed axes, clipped origins, an
// update rectangle and constant transparency.
#include <gtest/gtest.h>

#include <climits>
#include <cmath>
#include <memory>
#include <vector>

#include "core/lkbitmap.h"
#include "core/lkioglobals.h"
#include "common/linear_reference.h"

namespace {

constexpr Integer kPicW = 509, kPicH = 347;  // odd sizes: no ratio divides evenly
constexpr Integer kViewW = 240, kViewH = 180;
constexpr TRGB kSentinel{1, 2, 3};

std::unique_ptr<TLKBitmap> NewBitmap(Integer w, Integer h, TLKLocation where) {
  const Integer saved = LKDefMinFileSize;
  LKDefMinFileSize = where == lkFile ? 1 : INT_MAX;
  auto b = std::make_unique<TLKBitmap>(w, h, lk24RGB);
  LKDefMinFileSize = saved;
  return b;
}

// Noise over the whole byte range, so that every sum and fraction matters.
Byte Noise(Integer x, Integer y, Integer c) {
  std::uint32_t h = static_cast<std::uint32_t>(x) * 73856093u ^ static_cast<std::uint32_t>(y) * 19349663u ^
                    static_cast<std::uint32_t>(c) * 83492791u;
  h ^= h >> 13;
  h *= 0x5bd1e995u;
  h ^= h >> 15;
  return static_cast<Byte>(h);
}

// In memory, or in a temporary file (which hands out one row at a time).
std::unique_ptr<TLKBitmap> Picture(TLKLocation where) {
  auto b = NewBitmap(kPicW, kPicH, where);
  for (Integer y = 0; y < kPicH; ++y) {
    auto* row = static_cast<Byte*>(b->GetScanLine(y));
    for (Integer x = 0; x < kPicW * 3; ++x) row[x] = Noise(x / 3, y, x % 3);
  }
  b->FreeAllMaps();
  return b;
}

// The source rectangle (sx, sy, sw, sh) filtered to w2 x h2.
std::vector<TRGB> Reference(TLKBitmap& src, Integer sx, Integer sy, Integer sw, Integer sh, Integer w2, Integer h2) {
  const std::vector<Byte> bytes = linear_reference::Filter(sw, sh, 3, w2, h2, [&](Integer x, Integer y, Integer c) {
    return static_cast<const Byte*>(src.GetScanLine(sy + y))[(sx + x) * 3 + c];
  });
  std::vector<TRGB> out(static_cast<size_t>(w2) * h2);
  for (size_t i = 0; i < out.size(); ++i) out[i] = TRGB{bytes[3 * i], bytes[3 * i + 1], bytes[3 * i + 2]};
  return out;
}

struct Case {
  const char* name;
  Integer dx, dy, dw, dh, sx, sy, sw, sh;  // as passed
  Integer cdx, cdy, cdw, cdh;              // destination after clipping
  Integer csx, csy, csw, csh;              // source actually filtered
  TRect update;                            // Right < Left: none
  Integer transparency;
};

const Case kCases[] = {
    {"fit", 0, 8, 240, 163, 0, 0, 509, 347, 0, 8, 240, 163, 0, 0, 509, 347, {0, 0, -1, -1}, 255},
    {"fit, ratio near 3.7", 10, 20, 137, 93, 0, 0, 509, 347, 10, 20, 137, 93, 0, 0, 509, 347, {0, 0, -1, -1}, 255},
    {"reduced about 25 times", 5, 5, 20, 14, 0, 0, 509, 347, 5, 5, 20, 14, 0, 0, 509, 347, {0, 0, -1, -1}, 255},
    {"reduced about 11 times", 100, 50, 47, 31, 0, 0, 509, 347, 100, 50, 47, 31, 0, 0, 509, 347, {0, 0, -1, -1},
     255},
    {"zoomed in, centre visible", -700, -400, 1680, 1145, 0, 0, 509, 347, 0, 0, 240, 180, 212, 121, 73, 55,
     {0, 0, -1, -1}, 255},
    {"zoomed in on a source part", 0, 0, 240, 160, 100, 50, 60, 40, 0, 0, 240, 160, 100, 50, 60, 40, {0, 0, -1, -1},
     255},
    {"reduced across, enlarged down", 0, 0, 200, 180, 0, 0, 509, 100, 0, 0, 200, 180, 0, 0, 509, 100,
     {0, 0, -1, -1}, 255},
    {"width kept", 0, 0, 240, 100, 0, 0, 240, 347, 0, 0, 240, 100, 0, 0, 240, 347, {0, 0, -1, -1}, 255},
    {"panned below fit", -50, -30, 305, 208, 0, 0, 509, 347, 0, 0, 240, 178, 83, 50, 401, 297, {0, 0, -1, -1}, 255},
    {"source rectangle past the edge", 0, 0, 150, 75, 400, 300, 200, 100, 0, 0, 150, 75, 400, 300, 109, 47,
     {0, 0, -1, -1}, 255},
    {"fit, update rectangle", 0, 8, 240, 163, 0, 0, 509, 347, 0, 8, 240, 163, 0, 0, 509, 347, {37, 50, 141, 99},
     255},
    {"zoomed in, update rectangle", -700, -400, 1680, 1145, 0, 0, 509, 347, 0, 0, 240, 180, 212, 121, 73, 55,
     {5, 170, 238, 179}, 255},
    {"fit, transparency 128", 10, 20, 137, 93, 0, 0, 509, 347, 10, 20, 137, 93, 0, 0, 509, 347, {0, 0, -1, -1},
     128},
};

TEST(RenderFastLinear, MatchesTheFilterOnTheVisibleSourceRectangle) {
  for (const TLKLocation where : {lkMemory, lkFile}) {
    SCOPED_TRACE(where == lkFile ? "file" : "memory");
    auto pic = Picture(where);
    for (const Case& c : kCases) {
      SCOPED_TRACE(c.name);
      const std::vector<TRGB> want = Reference(*pic, c.csx, c.csy, c.csw, c.csh, c.cdw, c.cdh);
      auto view = NewBitmap(kViewW, kViewH, lkMemory);
      for (Integer y = 0; y < kViewH; ++y)
        for (Integer x = 0; x < kViewW; ++x) view->SetPixels_lk24RGB(x, y, kSentinel);
      void** rows = nullptr;
      Integer* cols = nullptr;
      Integer* rowIdx = nullptr;
      const bool hasUpdate = c.update.Right >= c.update.Left;
      pic->RenderToTLKBitmap(view.get(), rows, cols, rowIdx, hasUpdate ? &c.update : nullptr, c.dx, c.dy, c.dw,
                             c.dh, c.sx, c.sy, c.sw, c.sh, false, false, c.transparency, rfFastLinear, true,
                             lklNormal);
      Integer drawn = 0;
      for (Integer y = 0; y < kViewH; ++y)
        for (Integer x = 0; x < kViewW; ++x) {
          const bool inside = x >= c.cdx && x < c.cdx + c.cdw && y >= c.cdy && y < c.cdy + c.cdh &&
                              (!hasUpdate || (x >= c.update.Left && x <= c.update.Right && y >= c.update.Top &&
                                              y <= c.update.Bottom));
          TRGB expect = kSentinel;
          if (inside) {
            const TRGB v = want[static_cast<size_t>(y - c.cdy) * c.cdw + (x - c.cdx)];
            const auto mix = [&](Byte d, Byte s) {
              return static_cast<Byte>(d + static_cast<Integer>(std::floor((s - d) * c.transparency / 256.0)));
            };
            expect = c.transparency >= 255
                         ? v
                         : TRGB{mix(kSentinel.b, v.b), mix(kSentinel.g, v.g), mix(kSentinel.r, v.r)};
            ++drawn;
          }
          ASSERT_EQ(view->GetPixels_lk24RGB(x, y), expect) << x << "," << y;
        }
      EXPECT_GT(drawn, 0);
    }
  }
}

}  // namespace
