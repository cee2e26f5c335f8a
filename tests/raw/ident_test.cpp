// Camera identification: every model rule and the file-size table checked
// against the camera tables (sizes, margins, filter pattern, colours, loader,
// multipliers, black and maximum), the magic-number paths end to end, and
// hostile headers.
#include <gtest/gtest.h>

#include <cstring>
#include <functional>
#include <memory>
#include <string>

#include "raw/kit/identfiles.h"
#include "raw/kit/rawkit.h"
#include "raw/lkrawbits.h"
#include "raw/lkrawident.h"
#include "raw/lkrawloaders.h"

using rawkit::Bytes;
using rawkit::ByteWriter;

namespace {

// One model rule case: the header fields a parser would have left, a file
// for the content tests, and the set-up identification must produce.
struct RuleCase {
  const char* name;
  // Input.
  const char* make;
  const char* model;
  int rawH = 100, rawW = 150;
  int compression = 0, photometric = 0;
  bool ciff = false;                          // "HEAPCCDR" in the header window
  const char* model2 = "";
  size_t fileSize = 4096;
  std::function<void(Bytes&)> file = nullptr;  // content for the content tests
  // Expected.
  bool accept = true;
  int h = 100, w = 150;
  int eRawH = -1, eRawW = -1;                 // -1: the input (or h, w when it was 0)
  int top = 0, left = 0;
  Cardinal filters = 0x94949494u;
  int colors = 3;
  TRAWLoader loader = nullptr;
  float mul[4] = {1, 1, 1, 1};
  int black = 0, maximum = 16384;
  Int64 dataOffset = -1;                      // -1: not checked
  const char* outMake = nullptr;              // nullptr: unchanged
  const char* outModel = nullptr;
  int ymag = 1;
  bool cmy = false, coeff = false, foveon = false;
  float cameraRed = 0, cameraBlue = 0;        // checked when not 0
};

// Big-endian words at a position of the file.
std::function<void(Bytes&)> WordsAt(size_t pos, std::vector<int> w) {
  return [pos, w](Bytes& b) {
    size_t at = pos;
    for (int v : w) {
      b[at++] = uint8_t(v >> 8);
      b[at++] = uint8_t(v);
    }
  };
}

// A state over `bytes` with the parsers' fields filled from the case.
struct IdentRig {
  Bytes bytes;
  std::unique_ptr<TRAWMemorySource> src;
  std::unique_ptr<TRAWDecoderState> s = std::make_unique<TRAWDecoderState>();
  TRAWIdentContext ctx;

  explicit IdentRig(Bytes b) : bytes(std::move(b)) {
    src = std::make_unique<TRAWMemorySource>(bytes.data(), Int64(bytes.size()));
    set_source(*s, src.get());
    reset_decoder_state(*s);
    for (size_t i = 0; i < sizeof(ctx.window) && i < bytes.size(); ++i) ctx.window[i] = bytes[i];
    ctx.fsize = Int64(bytes.size());
    s->order = bytes.size() >= 2 && bytes[0] == 'I' && bytes[1] == 'I' ? 0x4949 : 0x4D4D;
  }
};

IdentRig MakeRig(const RuleCase& c) {
  Bytes b(c.fileSize, 0);
  b[0] = 0x01;
  b[1] = 0x02;
  if (c.ciff) {
    b[0] = b[1] = 'I';
    std::memcpy(b.data() + 6, "HEAPCCDR", 8);
  }
  if (c.file) c.file(b);
  IdentRig rig(std::move(b));
  set_text(rig.s->make, c.make);
  set_text(rig.s->model, c.model);
  set_text(rig.s->model2, c.model2);
  rig.s->raw_height = c.rawH;
  rig.s->raw_width = c.rawW;
  rig.s->compression = c.compression;
  rig.s->photometric = c.photometric;
  return rig;
}

std::string Describe(const TRAWDecoderState& s) {
  char buf[512];
  std::snprintf(buf, sizeof buf, "%s/%s %dx%d raw %dx%d top %d left %d filters %08x colours %d black %d max %d",
                s.make, s.model, s.height, s.width, s.raw_height, s.raw_width, s.top_margin, s.left_margin,
                s.filters, s.colors, s.black, s.maximum);
  return buf;
}

void CheckRule(const RuleCase& c) {
  SCOPED_TRACE(c.name);
  IdentRig rig = MakeRig(c);
  TRAWDecoderState& s = *rig.s;
  const Integer rc = identify_apply_rules(s, rig.ctx);
  ASSERT_EQ(rc, c.accept ? 0 : 1) << Describe(s);
  if (!c.accept) return;
  SCOPED_TRACE(Describe(s));
  if (c.outMake) {
    EXPECT_STREQ(s.make, c.outMake);
  }
  EXPECT_STREQ(s.model, c.outModel ? c.outModel : c.model);
  EXPECT_EQ(s.height, c.h);
  EXPECT_EQ(s.width, c.w);
  EXPECT_EQ(s.raw_height, c.eRawH >= 0 ? c.eRawH : c.rawH ? c.rawH : c.h);
  EXPECT_EQ(s.raw_width, c.eRawW >= 0 ? c.eRawW : c.rawW ? c.rawW : c.w);
  EXPECT_EQ(s.top_margin, c.top);
  EXPECT_EQ(s.left_margin, c.left);
  EXPECT_EQ(s.filters, c.filters);
  EXPECT_EQ(s.colors, c.colors);
  EXPECT_EQ(s.load_raw, c.loader);
  for (int k = 0; k < 4; ++k) EXPECT_FLOAT_EQ(s.pre_mul[k], c.mul[k]) << "multiplier " << k;
  EXPECT_EQ(s.black, c.black);
  EXPECT_EQ(s.maximum, c.maximum);
  if (c.dataOffset >= 0) {
    EXPECT_EQ(s.data_offset, c.dataOffset);
    EXPECT_EQ(stream_position(s), c.dataOffset);
  }
  EXPECT_EQ(s.xmag, 1);
  EXPECT_EQ(s.ymag, c.ymag);
  EXPECT_EQ(s.use_cmy, c.cmy);
  EXPECT_EQ(s.use_coeff, c.coeff || c.colors == 4);
  EXPECT_EQ(s.is_foveon, c.foveon);
  if (c.cameraRed != 0) {
    EXPECT_FLOAT_EQ(s.camera_red, c.cameraRed);
  }
  if (c.cameraBlue != 0) {
    EXPECT_FLOAT_EQ(s.camera_blue, c.cameraBlue);
  }
}

// Content that none of the Nikon content tests takes for its pattern.
void Busy(Bytes& b) {
  for (size_t i = 2; i < b.size(); ++i) b[i] = uint8_t(1 + (i * 7) % 83);
}

}  // namespace

// clang-format off
TEST(RawIdentTest, CanonRules) {
  const RuleCase cases[] = {
    {.name = "PowerShot 600", .make = "Canon", .model = "PowerShot 600", .rawH = 0, .rawW = 0, .ciff = true,
     .h = 613, .w = 854, .filters = 0xe1e4e1e4, .colors = 4, .loader = canon_600_load_raw, .mul = {1.137f, 1.257f, 1, 1}},
    {.name = "PowerShot A5", .make = "Canon", .model = "PowerShot A5", .rawH = 0, .rawW = 0, .ciff = true,
     .h = 776, .w = 960, .eRawW = 992, .filters = 0x1e4e1e4e, .colors = 4, .loader = canon_a5_load_raw, .mul = {1.5842f, 1.2966f, 1.0419f, 1}},
    {.name = "PowerShot A5 Zoom", .make = "Canon", .model = "PowerShot A5 Zoom", .rawH = 0, .rawW = 0, .ciff = true,
     .h = 776, .w = 960, .eRawW = 992, .filters = 0x1e4e1e4e, .colors = 4, .loader = canon_a5_load_raw, .mul = {1.5842f, 1.2966f, 1.0419f, 1}},
    {.name = "PowerShot A50", .make = "Canon", .model = "PowerShot A50", .rawH = 0, .rawW = 0, .ciff = true,
     .h = 968, .w = 1290, .eRawW = 1320, .filters = 0x1b4e4b1e, .colors = 4, .loader = canon_a5_load_raw, .mul = {1.75f, 1.381f, 1, 1.182f}},
    {.name = "PowerShot Pro70", .make = "Canon", .model = "PowerShot Pro70", .rawH = 0, .rawW = 0, .ciff = true,
     .h = 1024, .w = 1552, .filters = 0x1e4b4e1b, .colors = 4, .loader = canon_a5_load_raw, .mul = {1.389f, 1.343f, 1, 1.034f}},
    {.name = "PowerShot Pro90 IS", .make = "Canon", .model = "PowerShot Pro90 IS", .rawH = 1440, .rawW = 1944, .ciff = true,
     .h = 1440, .w = 1896, .filters = 0xb4b4b4b4, .colors = 4, .loader = canon_compressed_load_raw, .mul = {1.496f, 1.509f, 1, 1.009f}},
    {.name = "2144 G1", .make = "Canon", .model = "PowerShot G1", .rawH = 1560, .rawW = 2144, .ciff = true,
     .h = 1550, .w = 2088, .top = 8, .left = 4, .filters = 0xb4b4b4b4, .colors = 4, .loader = canon_compressed_load_raw, .mul = {1.446f, 1.405f, 1.016f, 1}},
    {.name = "2144 other", .make = "Canon", .model = "PowerShot S30", .rawH = 1560, .rawW = 2144, .ciff = true,
     .h = 1550, .w = 2088, .top = 8, .left = 4, .loader = canon_compressed_load_raw, .mul = {1.785f, 1, 1.266f, 1}},
    {.name = "2224", .make = "Canon", .model = "PowerShot S45", .rawH = 1456, .rawW = 2224, .ciff = true,
     .h = 1448, .w = 2176, .top = 6, .left = 48, .loader = canon_compressed_load_raw, .mul = {1.592f, 1, 1.261f, 1}},
    {.name = "2376 G2", .make = "Canon", .model = "PowerShot G2", .rawH = 1728, .rawW = 2376, .ciff = true,
     .h = 1720, .w = 2312, .top = 6, .left = 12, .loader = canon_compressed_load_raw, .mul = {1.965f, 1, 1.208f, 1}},
    {.name = "2376 S40", .make = "Canon", .model = "PowerShot S40", .rawH = 1728, .rawW = 2376, .ciff = true,
     .h = 1720, .w = 2312, .top = 6, .left = 12, .loader = canon_compressed_load_raw, .mul = {1.965f, 1, 1.208f, 1}},
    {.name = "2376 other", .make = "Canon", .model = "EOS D30", .rawH = 1728, .rawW = 2376, .ciff = true,
     .h = 1720, .w = 2312, .top = 6, .left = 12, .loader = canon_compressed_load_raw, .mul = {1.855f, 1, 1.339f, 1}},
    {.name = "2672", .make = "Canon", .model = "EOS D60", .rawH = 1968, .rawW = 2672, .ciff = true,
     .h = 1960, .w = 2616, .top = 6, .left = 12, .loader = canon_compressed_load_raw, .mul = {1.895f, 1, 1.403f, 1}},
    {.name = "3152", .make = "Canon", .model = "EOS 300D DIGITAL", .rawH = 2068, .rawW = 3152, .ciff = true,
     .h = 2056, .w = 3088, .top = 12, .left = 64, .loader = canon_compressed_load_raw, .mul = {2.242f, 1, 1.245f, 1}, .maximum = 16000},
    {.name = "3152 Kiss", .make = "Canon", .model = "EOS Kiss Digital", .rawH = 2068, .rawW = 3152, .ciff = true,
     .h = 2056, .w = 3088, .top = 12, .left = 64, .loader = canon_compressed_load_raw, .mul = {1.882f, 1, 1.094f, 1}, .maximum = 16000},
    {.name = "3160", .make = "Canon", .model = "PowerShot G5", .rawH = 2344, .rawW = 3160, .ciff = true,
     .h = 2328, .w = 3112, .top = 12, .left = 44, .loader = canon_compressed_load_raw, .mul = {1.85f, 1, 1.53f, 1}},
    {.name = "3344", .make = "Canon", .model = "PowerShot S70", .rawH = 2480, .rawW = 3344, .ciff = true,
     .h = 2472, .w = 3288, .top = 6, .left = 4, .loader = canon_compressed_load_raw, .mul = {1.621f, 1, 1.528f, 1}},
    {.name = "CIFF without raw width has no loader", .make = "Canon", .model = "PowerShot X", .rawH = 0, .rawW = 0,
     .ciff = true, .accept = false},
    {.name = "EOS-1D", .make = "Canon", .model = "EOS-1D", .rawH = 0, .rawW = 0,
     .h = 1662, .w = 2496, .filters = 0x61616161, .loader = lossless_jpeg_load_raw, .mul = {1.976f, 1, 1.282f, 1}, .dataOffset = 288912},
    {.name = "EOS-1DS", .make = "Canon", .model = "EOS-1DS", .rawH = 0, .rawW = 0,
     .h = 2718, .w = 4082, .filters = 0x61616161, .loader = lossless_jpeg_load_raw, .mul = {1.66f, 1, 1.13f, 1}, .maximum = 14464, .dataOffset = 289168},
    {.name = "EOS-1D Mark II", .make = "Canon", .model = "EOS-1D Mark II", .rawH = 0, .rawW = 0,
     .h = 2348, .w = 3522, .eRawH = 2360, .eRawW = 3596, .top = 12, .left = 74, .loader = lossless_jpeg_load_raw, .mul = {1.95f, 1, 1.36f, 1}},
    {.name = "EOS 20D", .make = "Canon", .model = "EOS 20D", .rawH = 0, .rawW = 0,
     .h = 2348, .w = 3522, .eRawH = 2360, .eRawW = 3596, .top = 12, .left = 74, .loader = lossless_jpeg_load_raw, .mul = {1.95f, 1, 1.36f, 1}},
    {.name = "EOS-1Ds Mark II", .make = "Canon", .model = "EOS-1Ds Mark II", .rawH = 0, .rawW = 0,
     .h = 3336, .w = 5010, .eRawH = 3349, .eRawW = 5108, .top = 13, .left = 98, .loader = lossless_jpeg_load_raw, .mul = {1.609f, 1, 1.848f, 1}, .maximum = 14848},
    {.name = "EOS D2000C", .make = "Canon", .model = "EOS D2000C",
     .filters = 0x61616161, .loader = lossless_jpeg_load_raw, .mul = {1, 1, 1.25f, 1}, .black = 800},
  };
  for (const RuleCase& c : cases) CheckRule(c);
}

TEST(RawIdentTest, NikonRules) {
  auto busy = [](Bytes& b) { Busy(b); };
  auto e2100 = [](Bytes& b) {
    for (size_t g = 0; g < 1024; ++g)
      for (int k : {1, 6, 8, 11, 2, 4, 7, 9}) b[g * 12 + size_t(k)] = (k == 1 || k == 6 || k == 8 || k == 11) ? 3 : 0x30;
  };
  const RuleCase cases[] = {
    {.name = "D1", .make = "NIKON", .model = "D1", .filters = 0x16161616, .loader = nikon_load_raw, .mul = {0.838f, 1, 1.095f, 1}},
    {.name = "D1H compressed", .make = "NIKON", .model = "D1H", .compression = 34713,
     .filters = 0x16161616, .loader = nikon_compressed_load_raw, .mul = {2.301f, 1, 1.129f, 1}},
    {.name = "D1X", .make = "NIKON", .model = "D1X", .compression = 34713,
     .w = 4024, .filters = 0x16161616, .loader = nikon_compressed_load_raw, .mul = {1.91f, 1, 1.22f, 1}, .ymag = 2},
    {.name = "D100 uncompressed", .make = "NIKON", .model = "D100", .rawW = 3034, .compression = 34713,
     .w = 3037, .eRawW = 3040, .filters = 0x61616161, .loader = nikon_load_raw, .mul = {2.374f, 1, 1.677f, 1}, .maximum = 15632},
    {.name = "D100 compressed", .make = "NIKON", .model = "D100", .rawW = 3034, .compression = 34713,
     .file = [](Bytes& b) { b[31] = 9; },
     .w = 3034, .filters = 0x61616161, .loader = nikon_compressed_load_raw, .mul = {2.374f, 1, 1.677f, 1}, .maximum = 15632},
    {.name = "D2H", .make = "NIKON", .model = "D2H", .compression = 34713,
     .w = 2482, .left = 6, .filters = 0x49494949, .loader = nikon_compressed_load_raw, .mul = {2.8f, 1, 1.2f, 1}},
    {.name = "D70", .make = "NIKON", .model = "D70", .compression = 34713,
     .filters = 0x16161616, .loader = nikon_compressed_load_raw, .mul = {2.043f, 1, 1.625f, 1}},
    {.name = "E950", .make = "NIKON", .model = "E950", .rawH = 0, .rawW = 0,
     .h = 1203, .w = 1616, .filters = 0x4b4b4b4b, .colors = 4, .loader = nikon_e950_load_raw, .mul = {1.18193f, 1, 1.16452f, 1.1725f}},
    {.name = "E990", .make = "NIKON", .model = "E990", .rawH = 0, .rawW = 0,
     .h = 1540, .w = 2064, .filters = 0xb4b4b4b4, .colors = 4, .loader = nikon_load_raw, .mul = {1.196f, 1.246f, 1.018f, 1}},
    {.name = "E995", .make = "NIKON", .model = "E990", .rawH = 0, .rawW = 0, .fileSize = 2383920 + 2000, .file = busy,
     .h = 1540, .w = 2064, .filters = 0xe1e1e1e1, .colors = 4, .loader = nikon_load_raw, .mul = {1.253f, 1.178f, 1, 1.035f}, .outModel = "E995"},
    {.name = "E2100", .make = "NIKON", .model = "E2100", .rawH = 0, .rawW = 0, .fileSize = 1024 * 12 + 100, .file = e2100,
     .h = 1206, .w = 1616, .loader = nikon_e2100_load_raw, .mul = {1.945f, 1, 1.04f, 1}},
    {.name = "E2500", .make = "NIKON", .model = "E2100", .rawH = 0, .rawW = 0,
     .h = 1204, .w = 1616, .filters = 0x4b4b4b4b, .colors = 4, .loader = nikon_load_raw, .mul = {1.3f, 1.3f, 1, 1.148f}, .outModel = "E2500"},
    {.name = "E4300", .make = "NIKON", .model = "E4300", .rawH = 0, .rawW = 0,
     .h = 1710, .w = 2288, .filters = 0x16161616, .loader = nikon_load_raw},
    {.name = "DiMAGE Z2", .make = "NIKON", .model = "E4300", .rawH = 0, .rawW = 0, .file = [](Bytes& b) { b[4096 - 424] = 1; },
     .h = 1710, .w = 2288, .filters = 0x16161616, .loader = nikon_e2100_load_raw, .outMake = "Minolta", .outModel = "DiMAGE Z2"},
    {.name = "E4500", .make = "NIKON", .model = "E4500", .rawH = 0, .rawW = 0,
     .h = 1708, .w = 2288, .filters = 0xb4b4b4b4, .colors = 4, .loader = nikon_load_raw, .mul = {1.3f, 1.3f, 1, 1.148f}},
    {.name = "E5000", .make = "NIKON", .model = "E5000", .filters = 0xb4b4b4b4, .colors = 4, .loader = nikon_load_raw, .mul = {1.3f, 1.3f, 1, 1.148f}},
    {.name = "E5700", .make = "NIKON", .model = "E5700", .compression = 34713,
     .filters = 0xb4b4b4b4, .colors = 4, .loader = nikon_compressed_load_raw, .mul = {1.3f, 1.3f, 1, 1.148f}},
    {.name = "E5400", .make = "NIKON", .model = "E5400", .filters = 0x16161616, .loader = nikon_load_raw, .mul = {1.7f, 1, 1.344f, 1}},
    {.name = "E8700", .make = "NIKON", .model = "E8700", .filters = 0x16161616, .loader = nikon_load_raw, .mul = {2.131f, 1, 1.3f, 1}},
    {.name = "E8800", .make = "NIKON", .model = "E8800", .filters = 0x16161616, .loader = nikon_load_raw, .mul = {2.131f, 1, 1.3f, 1}},
    {.name = "unlisted Nikon keeps the defaults", .make = "NIKON", .model = "D2X", .loader = nikon_load_raw},
  };
  for (const RuleCase& c : cases) CheckRule(c);
}

TEST(RawIdentTest, FujiKonicaMinoltaPentaxRules) {
  const RuleCase cases[] = {
    {.name = "S2Pro", .make = "FUJIFILM", .model = "FinePixS2Pro", .rawH = 0, .rawW = 0,
     .h = 3584, .w = 3583, .filters = 0x61616161, .loader = fuji_s2_load_raw, .mul = {1.424f, 1, 1.718f, 1}, .black = 512},
    {.name = "S5000", .make = "FUJIFILM", .model = "FinePix S5000", .rawH = 0, .rawW = 0,
     .h = 2499, .w = 2500, .filters = 0x49494949, .loader = fuji_load_raw_common, .mul = {1.639f, 1, 1.438f, 1}, .maximum = 63488},
    {.name = "S7000", .make = "FUJIFILM", .model = "FinePix S7000", .rawH = 0, .rawW = 0,
     .h = 3587, .w = 3588, .filters = 0x49494949, .loader = fuji_load_raw_common, .mul = {1.62f, 1, 1.38f, 1}, .maximum = 63488},
    {.name = "E550", .make = "FUJIFILM", .model = "FinePix E550", .rawH = 0, .rawW = 0,
     .h = 3587, .w = 3588, .filters = 0x49494949, .loader = fuji_load_raw_common, .mul = {1.45f, 1, 1.25f, 1}, .maximum = 63488},
    {.name = "F700", .make = "FUJIFILM", .model = "FinePix F700", .rawH = 0, .rawW = 0,
     .h = 2523, .w = 2524, .filters = 0x49494949, .loader = fuji_f700_load_raw, .mul = {1.639f, 1, 1.438f, 1}, .maximum = 15872},
    {.name = "S20Pro", .make = "FUJIFILM", .model = "FinePix S20Pro", .rawH = 0, .rawW = 0,
     .h = 2523, .w = 2524, .filters = 0x49494949, .loader = fuji_f700_load_raw, .mul = {1.639f, 1, 1.438f, 1}, .maximum = 15872},
    {.name = "KD-400Z", .make = "Konica", .model = "Digital Camera KD-400Z", .rawH = 0, .rawW = 0, .file = WordsAt(2032, {300, 400, 200, 100}),
     .h = 1712, .w = 2312, .eRawW = 2336, .loader = unpacked_be10_low_load_raw, .mul = {1.42f, 1, 1.25f, 1}, .maximum = 15856,
     .dataOffset = 4034, .cameraRed = 1.5f, .cameraBlue = 4},
    {.name = "KD-510Z", .make = "Konica", .model = "Digital Camera KD-510Z", .rawH = 0, .rawW = 0, .file = WordsAt(2032, {300, 400, 200, 100}),
     .h = 1956, .w = 2607, .eRawW = 2624, .filters = 0x61616161, .loader = unpacked_be10_low_load_raw, .mul = {1.42f, 1, 1.25f, 1}, .maximum = 15856,
     .dataOffset = 4032, .cameraRed = 1.5f, .cameraBlue = 4},
    {.name = "MINOLTA other", .make = "MINOLTA", .model = "DiMAGE 7",
     .loader = unpacked_be12_low_load_raw, .mul = {1.42f, 1, 1.25f, 1}, .maximum = 15860},
    {.name = "Minolta any case", .make = "Minolta", .model = "DiMAGE 7Hi",
     .loader = unpacked_be12_low_load_raw, .mul = {1.42f, 1, 1.25f, 1}, .maximum = 15860},
    {.name = "DiMAGE A1", .make = "MINOLTA", .model = "DiMAGE A1",
     .loader = packed_12_load_raw, .mul = {1.42f, 1, 1.25f, 1}, .maximum = 15916},
    {.name = "DiMAGE A2", .make = "MINOLTA", .model = "DiMAGE A2",
     .loader = packed_12_load_raw, .mul = {1.42f, 1, 1.25f, 1}, .maximum = 16380},
    {.name = "DiMAGE G400", .make = "MINOLTA", .model = "DiMAGE G400", .rawH = 0, .rawW = 0, .file = WordsAt(2078, {50, 60, 25, 20}),
     .h = 1716, .w = 2304, .filters = 0x61616161, .loader = unpacked_be10_low_load_raw, .mul = {1.42f, 1, 1.25f, 1},
     .maximum = 15856, .dataOffset = 5056, .cameraRed = 2, .cameraBlue = 3},
    {.name = "DiMAGE G500", .make = "MINOLTA", .model = "DiMAGE G500", .rawH = 0, .rawW = 0, .file = WordsAt(1936, {50, 60, 25, 20}),
     .h = 1956, .w = 2607, .eRawW = 2624, .filters = 0x61616161, .loader = unpacked_be10_low_load_raw, .mul = {1.42f, 1, 1.25f, 1},
     .maximum = 15856, .dataOffset = 4016, .cameraRed = 2, .cameraBlue = 3},
    {.name = "DiMAGE G600", .make = "MINOLTA", .model = "DiMAGE G600", .rawH = 0, .rawW = 0, .file = WordsAt(2030, {50, 60, 25, 20}),
     .h = 2136, .w = 2848, .filters = 0x61616161, .loader = unpacked_be10_low_load_raw, .mul = {1.42f, 1, 1.25f, 1},
     .maximum = 15856, .dataOffset = 4032, .cameraRed = 2, .cameraBlue = 3},
    {.name = "DiMAGE G other", .make = "MINOLTA", .model = "DiMAGE G3",
     .filters = 0x61616161, .loader = unpacked_be10_low_load_raw, .mul = {1.42f, 1, 1.25f, 1}, .maximum = 15856},
    {.name = "*ist D", .make = "PENTAX", .model = "*ist D", .rawH = 0, .rawW = 0,
     .h = 2024, .w = 3040, .loader = unpacked_be12_low_load_raw, .mul = {1.76f, 1.07f, 1, 1}, .dataOffset = 65536},
    {.name = "Optio S", .make = "Pentax", .model = "Optio S", .rawH = 0, .rawW = 0,
     .h = 1544, .w = 2068, .eRawW = 3136, .loader = packed_12_load_raw, .mul = {1.506f, 1, 1.152f, 1}},
    {.name = "Optio S4", .make = "Pentax", .model = "Optio S4", .rawH = 0, .rawW = 0,
     .h = 1737, .w = 2324, .eRawW = 3520, .loader = packed_12_load_raw, .mul = {1.308f, 1, 1.275f, 1}},
  };
  for (const RuleCase& c : cases) CheckRule(c);
}

TEST(RawIdentTest, BackAndOtherMakerRules) {
  auto sinar = [](Bytes& b) {
    std::memcpy(b.data(), "8BPS", 4);
    const uint32_t hw[2] = {120, 160};
    for (int k = 0; k < 2; ++k)
      for (int i = 0; i < 4; ++i) b[size_t(14 + 4 * k + i)] = uint8_t(hw[k] >> (24 - 8 * i));
  };
  const RuleCase cases[] = {
    {.name = "LightPhase", .make = "Phase One", .model = "", .rawH = 2060, .rawW = 3100,
     .h = 2048, .w = 3080, .top = 5, .left = 22, .loader = phase_one_load_raw, .mul = {1.331f, 1, 1.154f, 1}, .maximum = 65535, .outModel = "LightPhase"},
    {.name = "H10", .make = "Phase One", .model = "", .rawH = 2682, .rawW = 4050,
     .h = 2672, .w = 4012, .top = 5, .left = 26, .loader = phase_one_load_raw, .maximum = 65535, .outModel = "H10"},
    {.name = "H20", .make = "Phase One", .model = "", .rawH = 4128, .rawW = 4128,
     .h = 4098, .w = 4098, .top = 20, .left = 26, .filters = 0x49494949, .loader = phase_one_load_raw, .mul = {1.963f, 1, 1.43f, 1}, .maximum = 65535, .outModel = "H20"},
    {.name = "H25", .make = "Phase One", .model = "", .rawH = 5488, .rawW = 4128,
     .h = 5458, .w = 4098, .top = 20, .left = 26, .filters = 0x49494949, .loader = phase_one_load_raw, .mul = {2.8f, 1, 1.2f, 1}, .maximum = 65535, .outModel = "H25"},
    {.name = "Phase One unlisted", .make = "Phase One", .model = "",
     .filters = 0x49494949, .loader = phase_one_load_raw, .maximum = 65535},
    {.name = "Ixpress", .make = "Imacon", .model = "Ixpress", .rawH = 0, .rawW = 0,
     .h = 4084, .w = 4080, .filters = 0x49494949, .loader = ixpress_load_raw, .mul = {1.963f, 1, 1.43f, 1}, .maximum = 65535},
    {.name = "Sinar", .make = "Sinar", .model = "", .rawH = 0, .rawW = 0, .file = sinar,
     .h = 120, .w = 160, .filters = 0x61616161, .loader = unpacked_be16_load_raw, .maximum = 65535, .dataOffset = 68},
    {.name = "Sinar without 8BPS", .make = "Sinar", .model = "", .accept = false},
    {.name = "Leaf tall", .make = "Leaf", .model = "Valeo", .rawH = 200, .rawW = 150,
     .h = 200, .w = 150, .filters = 0x16161616, .loader = unpacked_be16_load_raw, .mul = {1.1629f, 1, 1.3556f, 1}, .maximum = 65535},
    {.name = "Leaf wide", .make = "Leaf", .model = "Valeo",
     .loader = unpacked_be16_load_raw, .mul = {1.1629f, 1, 1.3556f, 1}, .maximum = 65535},
    {.name = "DIGILUX 2", .make = "LEICA", .model = "DIGILUX 2", .rawH = 0, .rawW = 0,
     .h = 1928, .w = 2568, .loader = unpacked_le12_high_load_raw, .mul = {1.883f, 1, 1.367f, 1}, .dataOffset = 1024},
    {.name = "DMC-LC1", .make = "Panasonic", .model = "DMC-LC1", .rawH = 0, .rawW = 0,
     .h = 1928, .w = 2568, .loader = unpacked_le12_high_load_raw, .mul = {1.883f, 1, 1.367f, 1}, .dataOffset = 1024},
    {.name = "E-1", .make = "OLYMPUS", .model = "E-1", .filters = 0x61616161, .loader = unpacked_le12_high_load_raw, .mul = {1.57f, 1, 1.48f, 1}},
    {.name = "E-10", .make = "OLYMPUS", .model = "E-10", .loader = unpacked_be12_high_load_raw, .mul = {1.43f, 1, 1.77f, 1}},
    {.name = "E-20N", .make = "OLYMPUS", .model = "E-20N", .loader = unpacked_be12_high_load_raw, .mul = {1.43f, 1, 1.77f, 1}, .black = 640},
    {.name = "C5050Z", .make = "OLYMPUS", .model = "C5050Z", .filters = 0x16161616, .loader = olympus_load_raw, .mul = {1.533f, 1, 1.88f, 1}},
    {.name = "C5060WZ", .make = "OLYMPUS", .model = "C5060WZ", .loader = olympus_load_raw, .mul = {2.285f, 1, 1.023f, 1}},
    {.name = "C8080WZ", .make = "OLYMPUS", .model = "C8080WZ", .filters = 0x16161616, .loader = olympus_load_raw, .mul = {2.335f, 1, 1.323f, 1}},
    {.name = "N DIGITAL", .make = "CONTAX", .model = "N DIGITAL", .rawH = 0, .rawW = 0,
     .h = 2047, .w = 3072, .filters = 0x61616161, .loader = packed_12_load_raw, .mul = {1.366f, 1, 1.251f, 1}, .dataOffset = 6656},
    {.name = "DSC-F828", .make = "SONY", .model = "DSC-F828", .rawH = 0, .rawW = 0,
     .h = 2460, .w = 3288, .eRawW = 3360, .left = 5, .filters = 0xb4b4b4b4, .colors = 4, .loader = sony_load_raw, .mul = {1.512f, 1.02f, 1.405f, 1}},
    {.name = "Rollei 1316", .make = "Rollei", .model = "d530flex", .rawH = 1040, .rawW = 1316,
     .h = 1030, .w = 1300, .top = 1, .left = 6, .filters = 0x16161616, .loader = rollei_load_raw, .mul = {1.8f, 1, 1.3f, 1}},
    {.name = "Rollei 2568", .make = "Rollei", .model = "d530flex", .rawH = 1970, .rawW = 2568,
     .h = 1960, .w = 2560, .top = 2, .left = 8, .filters = 0x16161616, .loader = rollei_load_raw, .mul = {1.8f, 1, 1.3f, 1}},
    {.name = "SIGMA SD9 small", .make = "SIGMA", .model = "SD9", .rawH = 763, .rawW = 1152,
     .h = 756, .w = 1136, .top = 2, .left = 8, .filters = 0, .loader = foveon_load_raw, .mul = {1.179f, 1, 0.713f, 1}, .maximum = 5600, .coeff = true, .foveon = true},
    {.name = "SIGMA SD10 large", .make = "SIGMA", .model = "SD10", .rawH = 1531, .rawW = 2304,
     .h = 1514, .w = 2271, .top = 7, .left = 17, .filters = 0, .loader = foveon_load_raw, .mul = {1.179f * 2.07f, 1, 0.713f * 2.3f, 1}, .maximum = 5600, .coeff = true, .foveon = true},
    {.name = "SIGMA flat", .make = "SIGMA", .model = "SD9", .rawH = 500, .rawW = 2304,
     .h = 500, .w = 2271, .left = 17, .filters = 0, .loader = foveon_load_raw, .mul = {1.179f, 1, 0.713f, 1}, .maximum = 5600, .ymag = 2, .coeff = true, .foveon = true},
    {.name = "PC-CAM 600", .make = "Creative", .model = "PC-CAM 600", .rawH = 0, .rawW = 0,
     .h = 768, .w = 1024, .filters = 0x49494949, .loader = eight_bit_load_raw, .mul = {1.14f, 1, 2.73f, 1}, .dataOffset = 1024},
    {.name = "QV-2000UX", .make = "Casio", .model = "QV-2000UX", .rawH = 0, .rawW = 0,
     .h = 1208, .w = 1632, .loader = eight_bit_load_raw, .dataOffset = 3264},
    {.name = "QV-3*00EX", .make = "Casio", .model = "QV-3*00EX", .rawH = 0, .rawW = 0,
     .h = 1546, .w = 2070, .eRawW = 2080, .loader = eight_bit_load_raw},
    {.name = "QV-4000", .make = "Casio", .model = "QV-4000", .rawH = 0, .rawW = 0, .h = 1700, .w = 2260, .loader = unpacked_be12_high_load_raw},
    {.name = "QV-5700", .make = "Casio", .model = "QV-5700", .rawH = 0, .rawW = 0, .h = 1924, .w = 2576, .loader = casio_qv5700_load_raw},
    {.name = "EX-P600", .make = "Casio", .model = "EX-P600", .rawH = 0, .rawW = 0,
     .h = 2142, .w = 2844, .eRawW = 4288, .loader = packed_12_load_raw, .mul = {2.356f, 1.069f, 1, 1}},
    {.name = "Nucore", .make = "Nucore", .model = "RAW", .filters = 0x61616161, .loader = nucore_load_raw},
    {.name = "unknown maker", .make = "Acme", .model = "Cam", .accept = false},
    // Header sizes no sensor has, and interlaced fields of less than one row.
    {.name = "huge Leaf", .make = "Leaf", .model = "Valeo", .rawH = 70000, .accept = false},
    {.name = "one-row Olympus", .make = "OLYMPUS", .model = "C5050Z", .rawH = 1, .accept = false},
    {.name = "one-row Coolpix", .make = "NIKON", .model = "E5000", .rawH = 1, .accept = false},
  };
  for (const RuleCase& c : cases) CheckRule(c);
}

TEST(RawIdentTest, KodakRules) {
  const RuleCase cases[] = {
    {.name = "NC2000F", .make = "KODAK", .model = "NC2000F", .w = 146, .left = 1, .filters = 0x61616161, .loader = kodak_easy_load_raw, .mul = {1.509f, 1, 2.686f, 1}},
    {.name = "EOSDCS3B", .make = "KODAK", .model = "EOSDCS3B", .w = 146, .left = 2, .filters = 0x61616161, .loader = kodak_easy_load_raw, .mul = {1.629f, 1, 2.767f, 1}},
    {.name = "EOSDCS1", .make = "KODAK", .model = "EOSDCS1", .w = 146, .left = 2, .filters = 0x61616161, .loader = kodak_easy_load_raw, .mul = {1.386f, 1, 2.405f, 1}},
    {.name = "DCS315C", .make = "KODAK", .model = "DCS315C", .filters = 0x61616161, .loader = kodak_easy_load_raw, .mul = {1, 1.068f, 1.036f, 1}, .black = 32},
    {.name = "DCS330C", .make = "KODAK", .model = "DCS330C", .filters = 0x61616161, .loader = kodak_easy_load_raw, .mul = {1, 1.012f, 1.804f, 1}, .black = 32},
    {.name = "DCS420", .make = "KODAK", .model = "DCS420", .w = 146, .left = 2, .filters = 0x61616161, .loader = kodak_easy_load_raw, .mul = {1.327f, 1, 2.074f, 1}},
    {.name = "DCS460", .make = "KODAK", .model = "DCS460", .w = 146, .left = 2, .filters = 0x61616161, .loader = kodak_easy_load_raw, .mul = {1.724f, 1, 2.411f, 1}},
    {.name = "DCS460A", .make = "KODAK", .model = "DCS460A", .w = 146, .left = 2, .filters = 0, .colors = 1, .loader = kodak_easy_load_raw},
    {.name = "DCS520C", .make = "KODAK", .model = "DCS520C", .compression = 7, .filters = 0x61616161, .loader = lossless_jpeg_load_raw, .mul = {1.006f, 1, 1.858f, 1}, .black = 720},
    {.name = "DCS560C", .make = "KODAK", .model = "DCS560C", .compression = 7, .filters = 0x61616161, .loader = lossless_jpeg_load_raw, .mul = {1, 1.053f, 1.703f, 1}, .black = 750},
    {.name = "DCS620C", .make = "KODAK", .model = "DCS620C", .compression = 7, .filters = 0x61616161, .loader = lossless_jpeg_load_raw, .mul = {1, 1.002f, 1.818f, 1}, .black = 720},
    {.name = "DCS62$", .make = "KODAK", .model = "DCS62$", .compression = 7, .filters = 0x61616161, .loader = lossless_jpeg_load_raw, .mul = {1.486f, 1, 1.28f, 1}, .black = 740, .cmy = true},
    {.name = "DCS660C", .make = "KODAK", .model = "DCS660C", .compression = 7, .filters = 0x61616161, .loader = lossless_jpeg_load_raw, .mul = {1.156f, 1, 1.626f, 1}, .black = 855},
    {.name = "DCS660M", .make = "KODAK", .model = "DCS660M", .compression = 7, .filters = 0, .colors = 1, .loader = lossless_jpeg_load_raw, .black = 855},
    {.name = "DCS72$", .make = "KODAK", .model = "DCS72$", .compression = 65000, .photometric = 32803, .filters = 0x61616161, .loader = kodak_compressed_load_raw, .mul = {1.35f, 1, 1.18f, 1}, .cmy = true},
    {.name = "DCS760C", .make = "KODAK", .model = "DCS760C", .compression = 65000, .photometric = 32803, .filters = 0x61616161, .loader = kodak_compressed_load_raw, .mul = {1.06f, 1, 1.72f, 1}},
    {.name = "DCS760M", .make = "KODAK", .model = "DCS760M", .compression = 65000, .photometric = 32803, .filters = 0, .colors = 1, .loader = kodak_compressed_load_raw},
    {.name = "ProBack", .make = "KODAK", .model = "ProBack", .compression = 7, .filters = 0x61616161, .loader = lossless_jpeg_load_raw, .mul = {1.06f, 1, 1.385f, 1}},
    {.name = "PB645C", .make = "KODAK", .model = "ProBack645", .compression = 7, .model2 = "PB645C-1", .filters = 0x61616161, .loader = lossless_jpeg_load_raw, .mul = {1.0497f, 1, 1.3306f, 1}},
    {.name = "PB645H", .make = "KODAK", .model = "ProBack645", .compression = 7, .model2 = "PB645H", .filters = 0x61616161, .loader = lossless_jpeg_load_raw, .mul = {1.201f, 1, 1.5061f, 1}},
    {.name = "PB645M", .make = "KODAK", .model = "ProBack645", .compression = 7, .model2 = "PB645M", .filters = 0x61616161, .loader = lossless_jpeg_load_raw, .mul = {1.01755f, 1, 1.5424f, 1}},
    {.name = "Pro 14n any case", .make = "KODAK", .model = "dcs pro 14N", .compression = 7, .filters = 0x61616161, .loader = lossless_jpeg_load_raw, .mul = {1, 1.0323f, 1.258f, 1}},
    {.name = "Pro 14nx", .make = "KODAK", .model = "DCS Pro 14nx", .compression = 7, .filters = 0x61616161, .loader = lossless_jpeg_load_raw, .mul = {1.336f, 1, 1.3155f, 1}},
    {.name = "Pro SLR/c", .make = "KODAK", .model = "DCS PRO SLR/C", .compression = 7, .filters = 0x61616161, .loader = lossless_jpeg_load_raw, .mul = {1.425f, 1, 1.293f, 1}},
    {.name = "Pro SLR/n", .make = "KODAK", .model = "DCS Pro SLR/n", .compression = 7, .filters = 0x61616161, .loader = lossless_jpeg_load_raw, .mul = {1.324f, 1, 1.483f, 1}},
    {.name = "make any case", .make = "Kodak", .model = "DCS315C", .filters = 0x61616161, .loader = kodak_easy_load_raw, .mul = {1, 1.068f, 1.036f, 1}, .black = 32},
    {.name = "YUV rounds up to even", .make = "KODAK", .model = "DCS Pro Back", .rawH = 101, .rawW = 151, .compression = 65000, .photometric = 2,
     .h = 102, .w = 152, .eRawH = 101, .eRawW = 151, .filters = 0, .loader = kodak_yuv_load_raw},
    {.name = "compression 32867", .make = "KODAK", .model = "DCS520C", .compression = 32867, .accept = false},
    {.name = "unknown compression", .make = "KODAK", .model = "DCS520C", .compression = 5, .accept = false},
    {.name = "unknown compression beats DC20", .make = "Kodak", .model = "DC20", .compression = 5, .accept = false},
    {.name = "DC20 small", .make = "Kodak", .model = "DC20", .rawH = 0, .rawW = 0, .fileSize = 62464,
     .h = 242, .w = 249, .eRawW = 256, .filters = 0x8d8d8d8d, .colors = 4, .loader = kodak_easy_load_raw, .mul = {1, 1.179f, 1.209f, 1.036f}, .dataOffset = 257},
    {.name = "DC20 large", .make = "Kodak", .model = "DC20", .rawH = 0, .rawW = 0, .fileSize = 124928,
     .h = 242, .w = 501, .eRawW = 512, .filters = 0x8d8d8d8d, .colors = 4, .loader = kodak_easy_load_raw, .mul = {1, 1.179f, 1.209f, 1.036f}, .dataOffset = 513},
    {.name = "DC25 small", .make = "KODAK", .model = "KODAK DC25 ZOOM", .rawH = 0, .rawW = 0, .compression = 32867, .fileSize = 99999,
     .h = 242, .w = 249, .eRawW = 256, .filters = 0xb4b4b4b4, .colors = 4, .loader = kodak_easy_load_raw, .dataOffset = 15681, .outModel = "DC25"},
    {.name = "DC25 large", .make = "KODAK", .model = "DC25", .rawH = 0, .rawW = 0, .compression = 32867, .fileSize = 100000,
     .h = 242, .w = 501, .eRawW = 512, .filters = 0xb4b4b4b4, .colors = 4, .loader = kodak_easy_load_raw, .dataOffset = 15937},
    // A make beginning "KODAK" cuts the model to 16 characters, so these
    // models arrive with the maker-list spelling.
    {.name = "DC40", .make = "Kodak", .model = "Digital Camera 40", .rawH = 0, .rawW = 0, .compression = 32867,
     .h = 512, .w = 768, .filters = 0x61616161, .loader = kodak_dc40_load_raw, .dataOffset = 1152, .outModel = "DC40"},
    {.name = "DC50", .make = "Kodak", .model = "Digital Camera DC50", .rawH = 0, .rawW = 0, .compression = 32867,
     .h = 512, .w = 768, .filters = 0x61616161, .loader = kodak_dc40_load_raw, .dataOffset = 19712, .outModel = "DC50"},
    {.name = "DC120", .make = "KODAK", .model = "DC120 ZOOM", .rawH = 0, .rawW = 0,
     .h = 976, .w = 848, .filters = 0x61616161, .loader = kodak_dc120_load_raw, .outModel = "DC120"},
    {.name = "DC120 JPEG", .make = "KODAK", .model = "DC120", .rawH = 0, .rawW = 0, .compression = 7,
     .h = 976, .w = 848, .filters = 0x61616161, .loader = kodak_jpeg_load_raw},
  };
  for (const RuleCase& c : cases) CheckRule(c);
}
// clang-format on

TEST(RawIdentTest, MatrixScalesAndFourColourRgb) {
  // With a matrix the red and blue scales act on its rows.
  RuleCase e950{.name = "E950", .make = "NIKON", .model = "E950"};
  IdentRig rig = MakeRig(e950);
  rig.s->red_scale = 2;
  rig.s->blue_scale = 0.5f;
  ASSERT_EQ(identify_apply_rules(*rig.s, rig.ctx), 0);
  EXPECT_FLOAT_EQ(rig.s->coeff[0][1], 1.800443f * 2);
  EXPECT_FLOAT_EQ(rig.s->coeff[1][1], -0.524955f);
  EXPECT_FLOAT_EQ(rig.s->coeff[2][3], -1.818705f * 0.5f);
  EXPECT_FLOAT_EQ(rig.s->pre_mul[0], 1.18193f);  // the multipliers stay

  // Four-colour RGB turns the second green of a three-colour pattern into colour 3.
  struct Case {
    const char* make;
    const char* model;
    Cardinal in, out;
  };
  for (const Case& k : {Case{"NIKON", "D1X", 0x16161616u, 0x1e1e1e1eu}, Case{"NIKON", "D2H", 0x49494949u, 0x4b4b4b4bu},
                        Case{"MINOLTA", "DiMAGE G3", 0x61616161u, 0xe1e1e1e1u}, Case{"Canon", "EOS-1D Mark II", 0x94949494u, 0xb4b4b4b4u}}) {
    SCOPED_TRACE(k.model);
    RuleCase c{.name = k.model, .make = k.make, .model = k.model};
    IdentRig r = MakeRig(c);
    r.s->four_color_rgb = true;
    ASSERT_EQ(identify_apply_rules(*r.s, r.ctx), 0);
    EXPECT_EQ(r.s->filters, k.out);
    EXPECT_EQ(r.s->colors, 4);
    EXPECT_FLOAT_EQ(r.s->pre_mul[3], r.s->pre_mul[1]);
  }
  // Four-colour and filterless files are left alone.
  for (const char* model : {"E4500", "SD9"}) {
    RuleCase c{.name = model, .make = model[0] == 'E' ? "NIKON" : "SIGMA", .model = model};
    IdentRig r = MakeRig(c);
    r.s->four_color_rgb = true;
    ASSERT_EQ(identify_apply_rules(*r.s, r.ctx), 0);
    EXPECT_EQ(r.s->colors, model[0] == 'E' ? 4 : 3);
  }
}

TEST(RawIdentTest, CmygMatrixRowsSumToOne) {
  RuleCase c{.name = "A50", .make = "Canon", .model = "PowerShot A50", .rawH = 0, .rawW = 0, .ciff = true};
  IdentRig rig = MakeRig(c);
  ASSERT_EQ(identify_apply_rules(*rig.s, rig.ctx), 0);
  ASSERT_TRUE(rig.s->use_coeff);
  for (int r = 0; r < 3; ++r) {
    float sum = 0;
    for (int k = 0; k < 4; ++k) sum += rig.s->coeff[r][k];
    EXPECT_NEAR(sum, 1.0f, 1e-5f);
  }
  // The matrix undoes the sensor's response: a grey that excites each
  // sensor colour by its table row sum maps back to equal red, green, blue.
  const float resp[4][3] = {{0.11f, 0.86f, 0.08f}, {0.5f, 0.29f, 0.51f}, {0.11f, 0.92f, 0.75f}, {0.81f, 0.98f, 0.08f}};
  float outR = 0, outG = 0;
  for (int k = 0; k < 4; ++k) {
    const float sensor = resp[k][0] + resp[k][1] + resp[k][2];
    outR += rig.s->coeff[0][k] * sensor;
    outG += rig.s->coeff[1][k] * sensor;
  }
  EXPECT_GT(outR, 0);
  EXPECT_GT(outG, 0);
}

TEST(RawIdentTest, MakeAndModelNormalisation) {
  struct Case {
    const char* make;
    const char* model;
    const char* outMake;
    const char* outModel;
  };
  const Case cases[] = {
      {"NIKON CORPORATION", "NIKON D70", "NIKON", "D70"},
      {"Canon", "Canon PowerShot G1", "Canon", "PowerShot G1"},
      {"Canon  ", "EOS-1D   ", "Canon", "EOS-1D"},
      {"KONICA MINOLTA", "DiMAGE A2", "MINOLTA", "DiMAGE A2"},
      {"Minolta Co., Ltd.", "DiMAGE 7", "Minolta", "DiMAGE 7"},
      {"PENTAX Corporation", "PENTAX *ist D", "PENTAX", "*ist D"},
      {"KODAK DIGITAL SCIENCE XYZ", "DCS620C", "KODAK DIGITAL SC", "DCS620C"},
      {"SIGMA", "SIGMA", "SIGMA", ""},
  };
  for (const Case& k : cases) {
    SCOPED_TRACE(k.make);
    RuleCase c{.name = k.make, .make = k.make, .model = k.model};
    IdentRig rig = MakeRig(c);
    identify_apply_rules(*rig.s, rig.ctx);
    EXPECT_STREQ(rig.s->make, k.outMake);
    EXPECT_STREQ(rig.s->model, k.outModel);
  }
  // A KODAK make longer than 16 characters cuts the model at 16 too.
  RuleCase c{.name = "cut", .make = "KODAK", .model = "DCS Pro 14n extra words"};
  IdentRig rig = MakeRig(c);
  identify_apply_rules(*rig.s, rig.ctx);
  EXPECT_STREQ(rig.s->model, "DCS Pro 14n extr");
  // An empty make rejects the file.
  RuleCase e{.name = "empty", .make = "", .model = "E990"};
  IdentRig er = MakeRig(e);
  EXPECT_EQ(identify_apply_rules(*er.s, er.ctx), 1);
}

// ------------------------------------------------------------- whole headers

namespace {

// Runs identify_camera over a file.
struct Identified {
  IdentRig rig;
  Integer rc;
  explicit Identified(Bytes b) : rig(std::move(b)) { rc = identify_camera(*rig.s); }
  TRAWDecoderState& s() { return *rig.s; }
};

}  // namespace

TEST(RawIdentTest, FileSizeTable) {
  struct Row {
    uint32_t size;
    const char* make;
    const char* model;  // after the model rules
    TRAWLoader loader;
    int fill;           // -1: busy content, else every byte
  };
  const Row rows[] = {
      {62464, "Kodak", "DC20", kodak_easy_load_raw, -1},
      {124928, "Kodak", "DC20", kodak_easy_load_raw, -1},
      {2465792, "NIKON", "E950", nikon_e950_load_raw, -1},
      {2940928, "NIKON", "E2500", nikon_load_raw, -1},
      {4771840, "NIKON", "E995", nikon_load_raw, -1},
      {4771840, "NIKON", "E990", nikon_load_raw, 0x55},
      {5865472, "NIKON", "E4500", nikon_load_raw, -1},
      {5869568, "Minolta", "DiMAGE Z2", nikon_e2100_load_raw, -1},
      {5869568, "NIKON", "E4300", nikon_load_raw, 0},
      {787456, "Creative", "PC-CAM 600", eight_bit_load_raw, -1},
      {1976352, "Casio", "QV-2000UX", eight_bit_load_raw, -1},
      {3217760, "Casio", "QV-3*00EX", eight_bit_load_raw, -1},
      {6218368, "Casio", "QV-5700", casio_qv5700_load_raw, -1},
      {7684000, "Casio", "QV-4000", unpacked_be12_high_load_raw, -1},
      {9313536, "Casio", "EX-P600", packed_12_load_raw, -1},
      {4841984, "Pentax", "Optio S", packed_12_load_raw, -1},
      {6114240, "Pentax", "Optio S4", packed_12_load_raw, -1},
  };
  for (const Row& r : rows) {
    SCOPED_TRACE(std::to_string(r.size) + " " + r.model);
    Bytes b = rawkit::sensor_dump(r.size, [&](size_t i) { return r.fill >= 0 ? uint8_t(r.fill) : uint8_t(1 + (i * 7) % 83); });
    Identified id(std::move(b));
    ASSERT_EQ(id.rc, 0);
    EXPECT_STREQ(id.s().make, r.make);
    EXPECT_STREQ(id.s().model, r.model);
    EXPECT_EQ(id.s().load_raw, r.loader);
    EXPECT_EQ(stream_position(id.s()), id.s().data_offset);
  }
  // The Sinar row needs its "8BPS" header; without it nothing decodes it.
  Bytes sinar = rawkit::sensor_dump(12582980);
  EXPECT_EQ(Identified(sinar).rc, 1);
  std::memcpy(sinar.data(), "8BPS", 4);
  for (int i = 14; i < 22; ++i) sinar[size_t(i)] = 0;
  sinar[17] = 0x40;  // height 64
  sinar[21] = 0x60;  // width 96
  Identified s8(sinar);
  ASSERT_EQ(s8.rc, 0);
  EXPECT_EQ(s8.s().height, 64);
  EXPECT_EQ(s8.s().width, 96);
  EXPECT_EQ(s8.s().data_offset, 68);
  // One byte more matches no row, and a file of no known size is rejected.
  EXPECT_EQ(Identified(rawkit::sensor_dump(4771841)).rc, 1);
  EXPECT_EQ(Identified(rawkit::sensor_dump(5000)).rc, 1);
}

TEST(RawIdentTest, MagicNumberPaths) {
  using rawkit::TiffBuilder;
  using rawkit::TiffIfd;
  // Phase One: "MMMMRawT", then an offset to skip, raw width and height.
  {
    Identified id(rawkit::phase_one_file(3100, 2060));
    ASSERT_EQ(id.rc, 0);
    EXPECT_STREQ(id.s().make, "Phase One");
    EXPECT_STREQ(id.s().model, "LightPhase");
    EXPECT_EQ(id.s().raw_width, 3100);
    EXPECT_EQ(id.s().load_raw, phase_one_load_raw);
    EXPECT_EQ(id.s().data_offset, 0);
  }
  // Canon TIFF: lossless JPEG; a Nikon TIFF without raw size is rejected; a
  // file re-saved by Adobe software is rejected.
  for (bool little : {true, false}) {
    Identified id(rawkit::canon_tiff_file(little));
    ASSERT_EQ(id.rc, 0);
    EXPECT_STREQ(id.s().model, "EOS-1D");
    EXPECT_EQ(id.s().load_raw, lossless_jpeg_load_raw);
    EXPECT_EQ(id.s().data_offset, 288912);
    EXPECT_EQ(stream_position(id.s()), 288912);

    ByteWriter nw(little);
    rawkit::write_camera_tiff(nw, little, "NIKON CORPORATION", "NIKON D70");
    nw.pad_to(4096);
    EXPECT_EQ(Identified(nw.bytes()).rc, 1);

    TiffBuilder a(little);
    TiffIfd adobe, raw;
    adobe.add_text(271, "Canon").add_text(272, "Canon EOS-1D").add_text(305, "Adobe Photoshop").add_sub(330, 1);
    raw.add_long(256, 2496).add_long(257, 1662);
    a.ifds = {adobe, raw};
    ByteWriter aw(little);
    a.write(aw);
    aw.pad_to(4096);
    EXPECT_EQ(Identified(aw.bytes()).rc, 1);
  }
  // Canon CIFF: maker default compressed loader with the sensor size record.
  {
    Identified id(rawkit::canon_ciff_file());
    ASSERT_EQ(id.rc, 0);
    EXPECT_STREQ(id.s().model, "PowerShot G1");
    EXPECT_EQ(id.s().raw_width, 2144);
    EXPECT_EQ(id.s().height, 1550);
    EXPECT_EQ(id.s().load_raw, canon_compressed_load_raw);
    EXPECT_EQ(id.s().data_offset, 26);
  }
  // Minolta "\0MRM": TIFF at 48, sizes at 24, balance after two skips.
  {
    Identified id(rawkit::minolta_file(1544, 2056));
    ASSERT_EQ(id.rc, 0);
    EXPECT_STREQ(id.s().make, "MINOLTA");
    EXPECT_EQ(id.s().raw_height, 1544);
    EXPECT_EQ(id.s().raw_width, 2056);
    EXPECT_EQ(id.s().data_offset, 1000);
    EXPECT_FLOAT_EQ(id.s().camera_red, 1.5f);
    EXPECT_FLOAT_EQ(id.s().camera_blue, 4.0f);
    EXPECT_EQ(id.s().load_raw, unpacked_be12_low_load_raw);
  }
  // JPEG with EXIF: the TIFF inside the APP1 segment at 12.
  {
    Identified id(rawkit::jpeg_exif_file());
    ASSERT_EQ(id.rc, 0);
    EXPECT_STREQ(id.s().model, "EOS-1DS");
    EXPECT_EQ(id.s().maximum, 14464);
  }
  // Nucore "BR" and "BM" (the latter only with 2834 twice at 38).
  {
    Identified br(rawkit::nucore_file("BR", 512, 640, 480, false));
    ASSERT_EQ(br.rc, 0);
    EXPECT_STREQ(br.s().make, "Nucore");
    EXPECT_STREQ(br.s().model, "RAW");
    EXPECT_EQ(br.s().raw_width, 640);
    EXPECT_EQ(br.s().raw_height, 480);
    EXPECT_EQ(br.s().data_offset, 512);
    EXPECT_EQ(br.s().load_raw, nucore_load_raw);

    ByteWriter m(true);
    m.bytes() = rawkit::nucore_file("BM", 100, 2597, 1950, true, 8192);
    Identified bm(m.bytes());
    ASSERT_EQ(bm.rc, 0);
    EXPECT_STREQ(bm.s().model, "BMQ");
    EXPECT_EQ(bm.s().raw_width, 2598);
    EXPECT_EQ(bm.s().data_offset, 100);

    m.put32_at(42, 2835);
    EXPECT_EQ(Identified(m.bytes()).rc, 1);
  }
  // CONTAX: "ARECOYK" at 25.
  {
    Identified id(rawkit::contax_file());
    ASSERT_EQ(id.rc, 0);
    EXPECT_STREQ(id.s().model, "N DIGITAL");
    EXPECT_EQ(id.s().load_raw, packed_12_load_raw);
  }
  // FUJIFILM: TIFF at (value at 84) + 12, data offset at 100.
  {
    Identified id(rawkit::fuji_file(5000, 8192));
    ASSERT_EQ(id.rc, 0);
    EXPECT_EQ(id.s().load_raw, static_cast<TRAWLoader>(fuji_load_raw_common));
    EXPECT_EQ(id.s().data_offset, 5000);
    EXPECT_EQ(id.s().order, 0x4D4D);
  }
  // Foveon: properties in a section found through the directory at the end.
  {
    Identified id(rawkit::foveon_file(1152, 763));
    ASSERT_EQ(id.rc, 0);
    EXPECT_STREQ(id.s().model, "SD10");
    EXPECT_EQ(id.s().height, 756);
    EXPECT_EQ(id.s().width, 1136);
    EXPECT_EQ(id.s().load_raw, foveon_load_raw);
    EXPECT_FLOAT_EQ(id.s().pre_mul[0], 1.179f * 2.07f);
  }
  // Rollei text header.
  {
    Identified id(rawkit::rollei_file(1316, 1040));
    ASSERT_EQ(id.rc, 0);
    EXPECT_STREQ(id.s().make, "Rollei");
    EXPECT_EQ(id.s().height, 1030);
    EXPECT_EQ(id.s().load_raw, rollei_load_raw);
  }
}

// Prefixes and corruptions of recognisable headers never crash or hang, and
// every accepted file has a loader and a picture.
TEST(RawIdentTest, HostileHeaders) {
  std::vector<Bytes> seeds;
  {
    ByteWriter w(false);
    w.text("MMMMRawT", false).u32(0xFFFFFFF0u).u32(0xFFFFFFFFu);
    seeds.push_back(w.bytes());
  }
  {
    ByteWriter w(true);
    w.text("BR", false);
    w.pad_to(10);
    w.u32(0xFFFFFFFFu).u32(0).u32(0xFFFFFFFFu).u32(0x80000000u);
    seeds.push_back(w.bytes());
  }
  {
    ByteWriter w(false);
    w.u8(0).text("MRM", false).u32(0xFFFFFFFFu).u32(0).u32(0xFFFFFFF0u);
    w.pad_to(64);
    seeds.push_back(w.bytes());
  }
  {
    ByteWriter w(false);
    w.text("FUJIFILM", false);
    w.pad_to(84);
    w.u32(0xFFFFFFF0u);
    w.pad_to(104);
    seeds.push_back(w.bytes());
  }
  {
    ByteWriter w(false);
    w.u8(0xFF).u8(0xD8).u8(0xFF).u8(0xE1).u16(0xFFFF).text("Exif", true);
    w.pad_to(40);
    seeds.push_back(w.bytes());
  }
  {
    Bytes b = rawkit::sensor_dump(300);
    std::memcpy(b.data(), "8BPS", 4);
    seeds.push_back(b);
  }
  for (const Bytes& seed : seeds)
    for (size_t n = 0; n <= seed.size(); ++n) {
      Identified id(Bytes(seed.begin(), seed.begin() + long(n)));
      if (id.rc == 0) {
        EXPECT_NE(id.s().load_raw, nullptr);
        EXPECT_GT(id.s().height, 0);
        EXPECT_GT(id.s().width, 0);
      }
    }
}
