// Colour reduction, Floyd-Steinberg, two-colour detection, row repacking,
// logical palettes and the operations of the component.
#include "processing/lkcolorreduce.h"

#include <gtest/gtest.h>

#include <set>

#include "color_fixtures.h"
#include "core/lkquantizer.h"
#include "processing/lkbwconv.h"
#include "processing/lkprocutils.h"
#include "processing/lumerakproc.h"

namespace {

using namespace color_test;

TEST(ColorReduce, FewColoursKeptAndPaletteFilled) {
  for (bool file : {false, true}) {
    StorageScope storage(file);
    auto b = std::make_unique<TLKBitmap>(7, 5, lk24RGB);
    const TRGB colours[3] = {CreateRGB(200, 0, 0), CreateRGB(0, 90, 0), CreateRGB(5, 5, 250)};
    Paint(b.get(), [&](Integer x, Integer y) { return colours[(x + y) % 3]; });
    TLKBitmap before;
    before.Assign(b.get());
    TRGB palette[4] = {};
    _ConvertToEx(b.get(), 4, palette, nullptr, nullptr);
    EXPECT_EQ(Pixels(b.get()), Pixels(&before));
    EXPECT_EQ(std::set<TRGB>(palette, palette + 3), std::set<TRGB>(colours, colours + 3));

    // Many colours to 8: at most 8 remain.
    auto many = std::make_unique<TLKBitmap>(32, 16, lk24RGB);
    Paint(many.get(), Varied);
    _ConvertToEx(many.get(), 8, nullptr, nullptr, nullptr);
    std::set<TRGB> left;
    for (const TRGB& c : Pixels(many.get())) left.insert(c);
    EXPECT_LE(left.size(), 8u);
  }
}

TEST(ColorReduce, FloydSteinbergWorkedValues) {
  auto b = Uniform(4, 3, CreateRGB(128, 128, 128));
  std::vector<Integer> progress;
  _LKfsdither(b.get(), [&](TObject*, Integer p) { progress.push_back(p); }, nullptr);
  ASSERT_EQ(b->GetPixelFormat(), lk1g);
  EXPECT_TRUE(b->GetPixels_lk1g(0, 0));   // 128 >= 128
  EXPECT_FALSE(b->GetPixels_lk1g(1, 0));  // 128 - 127 * 7 / 16 = 72.4375
  EXPECT_EQ(progress, (std::vector<Integer>{0, 33, 66}));
  // Grey 128 keeps half the pixels white.
  auto big = Uniform(16, 16, CreateRGB(128, 128, 128));
  _LKfsdither(big.get(), nullptr, nullptr);
  Integer white = 0;
  for (Integer y = 0; y < 16; ++y)
    for (Integer x = 0; x < 16; ++x) white += big->GetPixels_lk1g(x, y);
  EXPECT_NEAR(white, 128, 3);
}

TEST(ColorReduce, TwoColourDetection) {
  auto b = std::make_unique<TLKBitmap>(5, 2, lk24RGB);
  Paint(b.get(), [](Integer x, Integer) { return x % 2 ? CreateRGB(0, 0, 0) : CreateRGB(255, 255, 255); });
  TRGB first, second;
  std::unique_ptr<TLKBitmap> bw(_ConvertTo1bitEx(b.get(), first, second));
  ASSERT_TRUE(bw);
  EXPECT_EQ(first, CreateRGB(0, 0, 0));  // the darker is 0 after the swap
  EXPECT_EQ(second, CreateRGB(255, 255, 255));
  for (Integer x = 0; x < 5; ++x) EXPECT_EQ(bw->GetPixels_lk1g(x, 1), x % 2 == 0) << x;
  auto one = Uniform(3, 3, CreateRGB(9, 9, 9));
  EXPECT_EQ(_ConvertTo1bitEx(one.get(), first, second), nullptr);
  b->SetPixels_lk24RGB(4, 1, CreateRGB(1, 2, 3));
  EXPECT_EQ(_ConvertTo1bitEx(b.get(), first, second), nullptr);
  // Another format is read through its colours.
  TLKBitmap grey(3, 1, lk8g);
  grey.SetPixels_lk8(0, 0, 200), grey.SetPixels_lk8(1, 0, 10), grey.SetPixels_lk8(2, 0, 200);
  std::unique_ptr<TLKBitmap> g(_ConvertTo1bitEx(&grey, first, second));
  ASSERT_TRUE(g);
  EXPECT_EQ(first, CreateRGB(10, 10, 10));
  EXPECT_TRUE(g->GetPixels_lk1g(0, 0));
}

TEST(ColorReduce, RowRepacking) {
  const TRGB pal[4] = {CreateRGB(0, 0, 0), CreateRGB(255, 255, 255), CreateRGB(1, 2, 3), CreateRGB(4, 5, 6)};
  const Byte bits[] = {0xA5, 0x80};  // 1 0 1 0 0 1 0 1 | 1
  const Byte bytes[] = {0, 1, 1, 0, 1};
  const Byte nibbles[] = {0x23, 0x10, 0x30};
  const Byte index8[] = {3, 2};
  const Byte px32[] = {1, 2, 3, 99, 4, 5, 6, 99};
  struct Case {
    const char* name;
    const Byte* src;
    Integer sb, db;
    Word w;
    std::vector<Byte> expect;
    Integer result;
  } cases[] = {
      {"1 -> 8", bits, 1, 8, 9, {1, 0, 1, 0, 0, 1, 0, 1, 1}, 9},
      {"1 -> 4", bits, 1, 4, 3, {0x10, 0x10}, 2},
      {"1 -> 1", bits, 1, 1, 9, {0xA5, 0x80}, 2},
      {"1 -> 24", bits, 1, 24, 2, {255, 255, 255, 0, 0, 0}, 6},
      {"8 -> 1", bytes, 8, 1, 5, {0x68}, 1},
      {"8 -> 24", index8, 8, 24, 2, {6, 5, 4, 3, 2, 1}, 6},
      {"4 -> 8", nibbles, 4, 8, 5, {2, 3, 1, 0, 3}, 5},
      {"4 -> 24", nibbles, 4, 24, 2, {3, 2, 1, 6, 5, 4}, 6},
      {"4 -> 4", nibbles, 4, 4, 3, {0x23, 0x10}, 2},
      {"32 -> 24", px32, 32, 24, 2, {1, 2, 3, 4, 5, 6}, 6},
      {"unknown pair", bits, 16, 8, 3, {0, 0, 0}, 3},
      {"unknown destination", bits, 1, 2, 3, {0}, 0},
  };
  for (const Case& c : cases) {
    std::vector<Byte> out(c.expect.size(), 0);
    EXPECT_EQ(_ConvertXBitsToYBits(c.src, out.data(), c.sb, c.db, c.w, pal, nullptr), c.result) << c.name;
    EXPECT_EQ(out, c.expect) << c.name;
  }
  // 24 -> 8 and 24 -> 4 through a quantiser of the row's own colours.
  TLKBitmap pic(3, 1, lk24RGB);
  const Byte row[] = {0, 0, 200, 0, 90, 0, 0, 0, 200};
  std::copy_n(row, 9, static_cast<Byte*>(pic.GetScanLine(0)));
  TRGB qp[4];
  TLKQuantizer q(&pic, qp, 3, 4);
  std::vector<Byte> idx(3), nib(2, 0);
  EXPECT_EQ(_ConvertXBitsToYBits(row, idx.data(), 24, 8, 3, qp, &q), 3);
  EXPECT_EQ(qp[idx[0]], CreateRGB(200, 0, 0));
  EXPECT_EQ(qp[idx[1]], CreateRGB(0, 90, 0));
  EXPECT_EQ(idx[2], idx[0]);
  EXPECT_EQ(_ConvertXBitsToYBits(row, nib.data(), 24, 4, 3, qp, &q), 2);
  EXPECT_EQ(nib[0], Byte(idx[0] << 4 | idx[1]));
  EXPECT_EQ(nib[1], Byte(idx[2] << 4));
}

TEST(ColorReduce, LogicalPalette) {
  std::vector<TRGB> many(300, CreateRGB(1, 2, 3));
  const TLKLogPalette p = _CreateWinPalette(many.data(), 300);
  EXPECT_EQ(p.Version, 0x300);
  ASSERT_EQ(p.Entries.size(), 256u);
  EXPECT_EQ(p.Entries[255].Red, 1);
  EXPECT_EQ(p.Entries[255].Blue, 3);
  EXPECT_TRUE(_CreateWinPalette(many.data(), -1).Entries.empty());
}

TEST(ColorReduce, Operations) {
  ProcOnView s(6, 4);
  auto& [view, before, proc, ev] = s;
  proc.ConvertTo(2000, lkThreshold);  // beyond 1024: only undo and events
  EXPECT_EQ(Pixels(view.GetLKBitmap()), Pixels(&before));
  EXPECT_EQ(proc.GetUndoCaptions(0), "ConvertTo 2000");
  EXPECT_EQ(ev.finished, 1);

  // Two colours by the mean threshold, as the routine gives it.
  TLKBitmap expected;
  TProgressRec none;
  _ConvertToBWThresholdEx(&before, &expected, -1, none);
  proc.ConvertTo(2, lkThreshold);
  ASSERT_EQ(view.GetLKBitmap()->GetPixelFormat(), lk1g);
  for (Integer y = 0; y < 4; ++y)
    for (Integer x = 0; x < 6; ++x)
      EXPECT_EQ(view.GetLKBitmap()->GetPixels_lk1g(x, y), expected.GetPixels_lk1g(x, y));

  // Back to 24 bits; nothing for a picture that is already 24-bit.
  proc.ConvertTo24Bit();
  EXPECT_EQ(view.GetLKBitmap()->GetPixelFormat(), lk24RGB);
  EXPECT_EQ(proc.GetUndoCaptions(0), "ConvertTo24Bit");
  ev.finished = 0;
  proc.ConvertTo24Bit();
  EXPECT_EQ(ev.finished, 0);

  // One colour asked for: only the first palette entry is written.
  TRGB pal[2] = {CreateRGB(7, 7, 7), CreateRGB(8, 8, 8)};
  proc.ConvertToPalette(1, pal, lkOrdered);
  EXPECT_EQ(pal[0], CreateRGB(0, 0, 0));
  EXPECT_EQ(pal[1], CreateRGB(8, 8, 8));
  EXPECT_EQ(proc.GetUndoCaptions(0), "ConvertToPalette");
  ev.finished = 0;
  proc.ConvertToPalette(0, pal, lkOrdered);
  EXPECT_EQ(ev.finished, 0);

  proc.ConvertToBW_FloydSteinberg();
  EXPECT_EQ(proc.GetUndoCaptions(0), "ConvertToBW_FloyedSteinberg");
  EXPECT_EQ(view.GetLKBitmap()->GetPixelFormat(), lk1g);
}

}  // namespace
