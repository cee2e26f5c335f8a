// The TIFF strip reader on pages made in code: fax-coded pages must be
// bilevel, a fax page's size is judged by what its coding can really
// reach, and separate-plane LZW pages decode cleanly.
#include <gtest/gtest.h>

#include <atomic>
#include <cstdint>
#include <vector>

#include "codecs/tiff/tiffilt.h"
#include "codecs/tiff/tifflzw.h"
#include "common/tiff_builder.h"
#include "core/lkabort.h"
#include "core/lkbitmap.h"
#include "io/lkparams.h"

namespace {

using Bytes = std::vector<uint8_t>;

struct Loaded {
  TLKBitmap Bitmap;
  TIOParamsVals Params{nullptr};
  TLKMask* Mask = nullptr;
  std::atomic<bool> Abort{false};
  TLKAbortNote Note;
  Integer Pages = 0;
  ~Loaded() { delete Mask; }
};

void Load(const Bytes& Data, Loaded& L) {
  TMemoryStream s;
  s.Write(Data.data(), static_cast<Integer>(Data.size()));
  s.SetPosition(0);
  TProgressRec pr;
  pr.AbortFlag = &L.Abort;
  pr.AbortNote = &L.Note;
  L.Params.TIFF_LZWDecompressor = TIFFLZWDecompress;
  TIFFReadStream(&L.Bitmap, &s, L.Pages, &L.Params, pr, false, &L.Mask, false, false, false);
}

Bytes FaxPage(uint32_t Width, uint32_t Height, uint16_t Bits, uint16_t Compression, const Bytes& Coded) {
  tiffkit::Builder tb;
  const int d = tb.AddIfd();
  tb.Long(d, 256, {Width});
  tb.Long(d, 257, {Height});
  tb.Short(d, 258, {Bits});
  tb.Short(d, 259, {Compression});
  tb.Short(d, 262, {0});
  const int blob = tb.AddBlob(Coded);
  tb.BlobOffset(d, 273, blob);
  tb.Long(d, 279, {static_cast<uint32_t>(Coded.size())});
  return tb.Build();
}

TEST(TiffStrips, FaxPagesOfMoreThanOneBitAreRefused) {
  // The fax decoders give one bit per pixel; a page claiming more bits per
  // sample used to be read a byte per pixel, past the decoded row.
  struct Size {
    uint32_t w, h;
  };
  for (uint16_t compression : {2, 3, 4})
    for (uint16_t bits : {2, 3, 4, 5, 6, 7, 8})
      for (Size size : {Size{100, 1}, Size{1000000, 8}}) {
        SCOPED_TRACE("compression " + std::to_string(compression) + ", " + std::to_string(bits) + " bits, width " +
                     std::to_string(size.w));
        const Bytes file = FaxPage(size.w, size.h, bits, compression, Bytes(16, 0xFF));
        if (size.w == 100) EXPECT_LE(file.size(), 200u);
        Loaded l;
        Load(file, l);
        EXPECT_TRUE(l.Abort.load());
        EXPECT_NE(l.Note.Get().find("bilevel"), std::string::npos) << l.Note.Get();
        EXPECT_TRUE(l.Bitmap.IsEmpty());
      }
}

TEST(TiffStrips, LargeWhiteG4PageIsNotRefusedForItsSize) {
  // Under an all-white reference row an all-white row codes as one vertical
  // code of one bit: 20000 such rows take 2500 bytes.
  const uint32_t side = 20000;
  const Bytes file = FaxPage(side, side, 1, 4, Bytes(side / 8, 0xFF));
  EXPECT_LT(file.size(), 2700u);
  Loaded l;
  Load(file, l);
  ASSERT_FALSE(l.Abort.load()) << l.Note.Get();
  ASSERT_EQ(l.Bitmap.GetWidth(), Integer(side));
  ASSERT_EQ(l.Bitmap.GetHeight(), Integer(side));
  for (Integer y : {0, 9999, 19999})
    for (Integer x : {0, 12345, 19999}) EXPECT_EQ(l.Bitmap.GetPixels(x, y).r, 255) << x << "," << y;

  // The bound is still a bound: fewer bytes than one bit per row is refused.
  Loaded shortPage;
  Load(FaxPage(side, side, 1, 4, Bytes(side / 8 / 2, 0xFF)), shortPage);
  EXPECT_TRUE(shortPage.Abort.load());
}

Bytes LzwStrip(const std::vector<Bytes>& Rows) {
  TMemoryStream out;
  std::intptr_t state = 0;
  for (const Bytes& r : Rows) TIFFLZWCompress(r.data(), static_cast<Integer>(r.size()), &out, state);
  TIFFLZWCompress(nullptr, 0, &out, state);
  const Byte* p = static_cast<const Byte*>(out.GetMemory());
  return Bytes(p, p + out.GetSize());
}

TEST(TiffStrips, SeparatePlaneLzwPageDecodes) {
  // Three planes of 7 x 5, each one LZW strip: red rises along x, green
  // along y, blue is constant.
  const uint32_t w = 7, h = 5;
  std::vector<Bytes> planes[3];
  for (uint32_t y = 0; y < h; ++y) {
    Bytes r(w), g(w), b(w, 200);
    for (uint32_t x = 0; x < w; ++x) r[x] = uint8_t(x * 30), g[x] = uint8_t(y * 40);
    planes[0].push_back(r);
    planes[1].push_back(g);
    planes[2].push_back(b);
  }
  Bytes strips;
  std::vector<uint32_t> starts, counts;
  for (const auto& p : planes) {
    const Bytes coded = LzwStrip(p);
    starts.push_back(static_cast<uint32_t>(strips.size()));
    counts.push_back(static_cast<uint32_t>(coded.size()));
    strips.insert(strips.end(), coded.begin(), coded.end());
  }
  // The strips go last in one block; the first build finds where it lands.
  auto build = [&](uint32_t Base) {
    tiffkit::Builder tb;
    const int d = tb.AddIfd();
    tb.Long(d, 256, {w});
    tb.Long(d, 257, {h});
    tb.Short(d, 258, {8, 8, 8});
    tb.Short(d, 259, {5});
    tb.Short(d, 262, {2});
    tb.Short(d, 277, {3});
    tb.Short(d, 284, {2});
    tb.Long(d, 273, {Base + starts[0], Base + starts[1], Base + starts[2]});
    tb.Long(d, 279, counts);
    tb.AddBlob(strips);
    return tb.Build();
  };
  const uint32_t base = static_cast<uint32_t>(build(0).size() - strips.size() - (strips.size() & 1));
  Loaded l;
  Load(build(base), l);
  ASSERT_FALSE(l.Abort.load()) << l.Note.Get();
  ASSERT_EQ(l.Bitmap.GetWidth(), Integer(w));
  for (Integer y = 0; y < Integer(h); ++y)
    for (Integer x = 0; x < Integer(w); ++x) {
      const TRGB c = l.Bitmap.GetPixels(x, y);
      EXPECT_EQ(c.r, x * 30);
      EXPECT_EQ(c.g, y * 40);
      EXPECT_EQ(c.b, 200);
    }
}

}  // namespace
