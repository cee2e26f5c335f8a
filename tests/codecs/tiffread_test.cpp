// TIFF page reader: parameters of real files, plain strips against their
// PNM twins, quiet ends for missing pages, maker notes through copy and
// reset.
#include <gtest/gtest.h>

#include <atomic>
#include <filesystem>
#include <fstream>
#include <sstream>
#include <string>
#include <vector>

#include "codecs/tiff/tiffilt.h"
#include "common/tiff_builder.h"
#include "core/lkbitmap.h"
#include "io/lkimagingannot.h"
#include "io/lkparams.h"

namespace fs = std::filesystem;

namespace {

std::vector<uint8_t> ReadFile(const fs::path& F) {
  std::ifstream in(F, std::ios::binary);
  return {std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>()};
}

struct Read {
  std::atomic<bool> abort{false};
  TProgressRec rec;
  TMemoryStream stream;
  Integer pages = 0;
  explicit Read(const std::vector<uint8_t>& Bytes) {
    rec.AbortFlag = &abort;
    if (!Bytes.empty()) stream.Write(Bytes.data(), static_cast<Integer>(Bytes.size()));
    stream.SetPosition(0);
  }
  void Run(TLKBitmap* B, TIOParamsVals* P, bool ParamsOnly) {
    stream.SetPosition(0);
    TIFFReadStream(B, &stream, pages, P, rec, ParamsOnly, nullptr, false, true, false);
  }
};

// Binary PGM or PPM: width, height and the samples.
bool ReadPnm(const fs::path& F, Integer& W, Integer& H, Integer& Channels, std::vector<uint8_t>& Pixels) {
  const std::vector<uint8_t> data = ReadFile(F);
  std::string head(data.begin(), data.begin() + static_cast<std::ptrdiff_t>(std::min<size_t>(64, data.size())));
  std::istringstream in(head);
  std::string magic;
  Integer maxval = 0;
  in >> magic >> W >> H >> maxval;
  if ((magic != "P5" && magic != "P6") || maxval != 255) return false;
  Channels = magic == "P5" ? 1 : 3;
  const size_t start = static_cast<size_t>(in.tellg()) + 1;
  Pixels.assign(data.begin() + static_cast<std::ptrdiff_t>(start), data.end());
  return Pixels.size() >= static_cast<size_t>(W) * H * Channels;
}

TEST(TiffRead, PlainStripsMatchTheirPnmTwins) {
  const fs::path dir = fs::path(LUMERAK_TESTDATA_DIR) / "tiff";
  if (!fs::exists(dir)) GTEST_SKIP() << "no test data at " << dir;
  for (const char* name : {"minisblack-1c-8b", "rgb-3c-8b"}) {
    SCOPED_TRACE(name);
    Integer w = 0, h = 0, ch = 0;
    std::vector<uint8_t> ref;
    ASSERT_TRUE(ReadPnm(dir / (std::string(name) + (std::string(name).find("rgb") == 0 ? ".ppm" : ".pgm")), w, h,
                        ch, ref));
    Read r(ReadFile(dir / (std::string(name) + ".tiff")));
    TIOParamsVals p(nullptr);
    TLKBitmap b;
    r.Run(&b, &p, false);
    ASSERT_FALSE(r.abort.load());
    ASSERT_EQ(b.GetWidth(), w);
    ASSERT_EQ(b.GetHeight(), h);
    Integer wrong = 0;
    for (Integer y = 0; y < h; ++y)
      for (Integer x = 0; x < w; ++x) {
        const TRGB c = b.GetPixels_lk24RGB(x, y);
        const uint8_t* s = &ref[(static_cast<size_t>(y) * w + x) * ch];
        if (c.r != s[0] || c.g != s[ch == 3 ? 1 : 0] || c.b != s[ch == 3 ? 2 : 0]) ++wrong;
      }
    EXPECT_EQ(wrong, 0);
  }
}

// Every real TIFF gives its size and page count with parameters only.
TEST(TiffRead, ParametersOfRealFiles) {
  const fs::path root(LUMERAK_TESTDATA_DIR);
  if (!fs::exists(root / "tiff")) GTEST_SKIP() << "no test data at " << root;
  for (const fs::path& dir : {root / "tiff", root / "exif-samples" / "tiff"}) {
    if (!fs::exists(dir)) continue;
    for (const auto& e : fs::directory_iterator(dir)) {
      if (e.path().extension() != ".tiff") continue;
      SCOPED_TRACE(e.path().string());
      Read r(ReadFile(e.path()));
      TIOParamsVals p(nullptr);
      r.Run(nullptr, &p, true);
      // LZW pages are refused while no LZW decoder is installed; their
      // fields are filled all the same.
      EXPECT_TRUE(!r.abort.load() || (p.TIFF_COMPRESSION == ioTIFF_LZW && !DefTIFF_LZWDECOMPFUNC));
      EXPECT_GE(r.pages, 1);
      EXPECT_GT(p.WIDTH, 0);
      EXPECT_GT(p.HEIGHT, 0);
      EXPECT_GT(p.DPIX, 0);
      // Full reads either decode or refuse; never more than the page holds.
      TLKBitmap b;
      r.abort = false;
      r.Run(&b, &p, false);
      if (!r.abort.load()) {
        EXPECT_EQ(b.GetWidth(), p.WIDTH);
      }
    }
  }
}

// A load of a page past the last loads nothing and says so, leaving the
// picture and parameters alone; counting without parameters ends quietly.
TEST(TiffRead, MissingPagesEndQuietly) {
  tiffkit::Builder tb(false);
  for (int i = 0; i < 3; ++i) {
    const int d = tb.AddIfd();
    tb.Short(d, 256, {4});
    tb.Short(d, 257, {4});
  }
  Read r(tb.Build());
  TIOParamsVals p(nullptr);
  p.SetImageIndex(5);
  p.WIDTH = 77;
  TLKBitmap b(2, 2, lk24RGB);
  r.Run(&b, &p, false);
  EXPECT_EQ(r.pages, 3);
  EXPECT_TRUE(r.abort.load());
  EXPECT_EQ(p.WIDTH, 77);
  EXPECT_EQ(b.GetWidth(), 2);
  r.abort = false;
  r.Run(nullptr, nullptr, false);
  EXPECT_EQ(r.pages, 3);
  EXPECT_FALSE(r.abort.load());
}

// Sizes that cannot be right are refused before any allocation.
TEST(TiffRead, HostilePagesAreRefused) {
  struct Case {
    const char* name;
    uint32_t w, h;
    std::vector<uint16_t> bits;
  } cases[] = {
      {"zero width", 0, 10, {8}},
      {"huge", 0x7FFFFFFF, 0x7FFFFFFF, {8}},
      {"differing sample sizes", 4, 4, {8, 16, 8}},
      {"strip beyond the stream", 4000, 4000, {8, 8, 8}},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    tiffkit::Builder tb(true);
    const int d = tb.AddIfd();
    tb.Long(d, 256, {c.w});
    tb.Long(d, 257, {c.h});
    tb.Short(d, 258, c.bits);
    tb.Short(d, 277, {static_cast<uint16_t>(c.bits.size())});
    tb.Long(d, 273, {0x7FFFFFF0u});
    tb.Long(d, 279, {0x7FFFFFF0u});
    Read r(tb.Build());
    TIOParamsVals p(nullptr);
    TLKBitmap b;
    r.Run(&b, &p, false);
    EXPECT_TRUE(r.abort.load());
  }
}

TEST(TiffRead, MakerNoteFollowsCopyAndReset) {
  TIOParamsVals a(nullptr), b(nullptr);
  const Byte block[] = {1, 0, 0x10, 0, 3, 0, 1, 0, 0, 0, 7, 0, 0, 0};
  a.EXIF_MakerNote.GetStream()->Write(block, sizeof block);
  a.EXIF_MakerNote.Update();
  b.Assign(&a);
  EXPECT_EQ(b.EXIF_MakerNote.GetInteger(16), 7);
  a.ResetEXIF();
  EXPECT_FALSE(a.EXIF_MakerNote.TagExists(16));
  EXPECT_TRUE(b.EXIF_MakerNote.TagExists(16));  // a deep copy
}

// Annotation marks of tag 32932 reach the record; a second read of the same
// page replaces them instead of adding to them.
TEST(TiffRead, AnnotationMarksReplaceEarlierOnes) {
  std::vector<uint8_t> tag;
  auto put = [&](int32_t v) {
    for (int i = 0; i < 4; ++i) tag.push_back(static_cast<uint8_t>(v >> (8 * i)));
  };
  put(0), put(1);  // header: integer-size word 1
  for (int32_t type : {5, 6}) {  // a hollow and a filled rectangle
    put(5), put(164);
    std::vector<uint8_t> attrs(164, 0);
    attrs[0] = static_cast<uint8_t>(type);
    attrs[12] = 40, attrs[16] = 30;  // right, bottom
    tag.insert(tag.end(), attrs.begin(), attrs.end());
  }
  tiffkit::Builder tb(true);
  const int d = tb.AddIfd();
  tb.Short(d, 256, {4});
  tb.Short(d, 257, {4});
  tb.Bytes(d, 32932, 1, tag);
  Read r(tb.Build());
  TIOParamsVals p(nullptr);
  for (int pass = 0; pass < 2; ++pass) {
    r.Run(nullptr, &p, true);
    ASSERT_EQ(p.GetImagingAnnot()->GetObjectsCount(), 2);
  }
  std::vector<Byte> saved;
  Integer length = 0;
  p.GetImagingAnnot()->SaveToStandardBuffer(saved, length);
  TLKImagingAnnot again;
  EXPECT_TRUE(again.LoadFromStandardBuffer(saved.data(), length));
  EXPECT_EQ(again.GetObjectsCount(), 2);
}

}  // namespace
