#include <gtest/gtest.h>

#include <cmath>

#include "codecs/tiff/tiffdir.h"
#include "codecs/tiff/tiffilt.h"
#include "common/tiff_builder.h"

namespace {

void Load(TMemoryStream& M, const std::vector<uint8_t>& Bytes) {
  M.Clear();
  M.Write(Bytes.data(), static_cast<Integer>(Bytes.size()));
  M.SetPosition(0);
}

// One directory holding every field type, built in either byte order.
std::vector<uint8_t> AllTypes(bool le) {
  tiffkit::Builder b(le);
  const int d = b.AddIfd();
  b.Short(d, 256, {640});
  b.Long(d, 257, {70000});
  b.Short(d, 258, {8, 16});                // two SHORTs held in the entry
  b.Short(d, 273, {10, 20, 30, 40});       // SHORTs at an offset
  b.Bytes(d, 41728, 7, {3});               // UNDEFINED held in the entry
  b.Bytes(d, 1000, 6, {0xFE});             // SBYTE -2
  b.SShort(d, 1001, -5);
  b.Rational(d, 282, {{145, 2}});
  b.Rational(d, 37380, {{0xFFFFFFFFu, 3}}, true);  // SRATIONAL -1/3
  b.Rational(d, 283, {{0xFFFFFFFEu, 2}});          // unsigned above 2^31
  b.Float(d, 1002, 1.5f);
  b.Double(d, 1003, -2.25);
  b.Ascii(d, 1004, "ab");                  // 3 bytes held in the entry
  b.Ascii(d, 271, "Canon");                // 6 bytes at an offset
  b.Rational(d, 2, {{48, 1}, {51, 1}, {2445, 100}});
  return b.Build();
}

class TiffDirByteOrder : public ::testing::TestWithParam<bool> {};

TEST_P(TiffDirByteOrder, EveryTypeReadsTheSameInBothByteOrders) {
  TMemoryStream m;
  Load(m, AllTypes(GetParam()));
  TTIFFEnv env;
  Integer pages = 0;
  ASSERT_TRUE(TIFFLoadTags(&m, pages, 0, env));
  EXPECT_EQ(pages, 1);
  EXPECT_EQ(env.LittleEndian, GetParam());
  EXPECT_EQ(TIFFReadSingleValDef(env, 256, 0), 640);
  EXPECT_EQ(TIFFReadSingleValDef(env, 257, 0), 70000);
  EXPECT_EQ(TIFFReadSingleValDef(env, 9999, -7), -7);
  EXPECT_EQ(TIFFReadIndexValN(env, 258, 0), 8);
  EXPECT_EQ(TIFFReadIndexValN(env, 258, 1), 16);
  EXPECT_EQ(TIFFReadIndexValN(env, 258, 2), 0);  // past the count
  std::vector<Integer> arr;
  EXPECT_EQ(TIFFReadArrayIntegers(env, arr, 273), 4);
  EXPECT_EQ(arr, (std::vector<Integer>{10, 20, 30, 40}));
  EXPECT_EQ(TIFFReadSingleValDef(env, 41728, 0), 3);
  EXPECT_EQ(TIFFReadSingleValDef(env, 1000, 0), -2);
  EXPECT_EQ(TIFFReadSingleValDef(env, 1001, 0), -5);
  EXPECT_DOUBLE_EQ(TIFFReadSingleRational(env, 282), 72.5);
  EXPECT_NEAR(TIFFReadSingleRational(env, 37380), -1.0 / 3, 1e-12);
  EXPECT_DOUBLE_EQ(TIFFReadSingleRational(env, 283), 2147483647.0);
  EXPECT_DOUBLE_EQ(TIFFReadSingleRational(env, 1002), 1.5);
  EXPECT_DOUBLE_EQ(TIFFReadSingleRational(env, 1003), -2.25);
  EXPECT_DOUBLE_EQ(TIFFReadRationalIndex(env, 2, 2), 24.45);
  EXPECT_EQ(TIFFReadRationalIndex(env, 2, 3), 0.0);
  String s;
  TIFFReadString(env, 1004, s);
  EXPECT_EQ(s, String("ab\0", 3));  // the terminating zero stays in a held value
  TIFFReadString(env, 271, s);
  EXPECT_EQ(s, "Canon");  // a value read from an offset drops its final zero
  std::vector<Byte> raw;
  ASSERT_TRUE(TIFFReadRawData(env, 271, raw));
  EXPECT_EQ(raw.size(), 6u);
}

INSTANTIATE_TEST_SUITE_P(Orders, TiffDirByteOrder, ::testing::Values(true, false),
                         [](const auto& i) { return i.param ? "II" : "MM"; });

// Three chained pages, then the chain's next offset is patched to the cases
// that must end the walk.
TEST(TiffDir, ChainWalkStopsAtLoopsAndOffsetsOutsideTheStream) {
  tiffkit::Builder b(true);
  for (int i = 0; i < 3; ++i) b.Short(b.AddIfd(), 256, {static_cast<uint16_t>(i + 1)});
  const std::vector<uint8_t> base = b.Build();
  const size_t lastNext = b.IfdOffset(2) + 2 + 12;
  struct Case {
    const char* name;
    uint32_t next;
    Integer pages;
  } cases[] = {
      {"end", 0, 3},
      {"back to the first page", b.IfdOffset(0), 3},
      {"to itself", b.IfdOffset(2), 3},
      {"below the header", 4, 3},
      {"past the end", 0x7FFFFFF0u, 3},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    std::vector<uint8_t> bytes = base;
    tiffkit::Patch32(bytes, lastNext, c.next, true);
    TMemoryStream m;
    Load(m, bytes);
    TTIFFEnv env;
    Integer pages = 0;
    ASSERT_TRUE(TIFFLoadTags(&m, pages, 2, env));
    EXPECT_EQ(pages, c.pages);
    EXPECT_EQ(TIFFReadSingleValDef(env, 256, 0), 3);
    m.SetPosition(0);
    EXPECT_FALSE(TIFFLoadTags(&m, pages, 5, env));  // a page past the last
    EXPECT_EQ(pages, c.pages);
    m.SetPosition(0);
    EXPECT_EQ(_EnumTIFFImStream(&m), c.pages);
  }
}

// Counts and offsets that point outside the stream give defaults.
TEST(TiffDir, HostileEntriesGiveDefaults) {
  tiffkit::Builder b(false);
  const int d = b.AddIfd();
  b.RawEntry(d, 271, 2, 0xFFFFFFFFu, 16);        // huge text
  b.RawEntry(d, 273, 4, 0x40000000u, 8);         // huge LONG array
  b.RawEntry(d, 282, 5, 1, 0xFFFFFFF0u);          // rational outside
  b.RawEntry(d, 283, 5, 1, 0x7FFFFFFFu);
  b.RawEntry(d, 700, 1, 0x7FFFFFFFu, 8);         // huge raw block
  b.RawEntry(d, 40091, 1, 1000, 0xFFFFFF00u);    // wide text outside
  b.RawEntry(d, 34665, 4, 1, 0xFFFFFFFFu);       // sub-directory outside
  TMemoryStream m;
  Load(m, b.Build());
  TTIFFEnv env, sub;
  Integer pages = 0;
  ASSERT_TRUE(TIFFLoadTags(&m, pages, 0, env));
  String s = "kept";
  TIFFReadString(env, 271, s);
  EXPECT_EQ(s, "kept");
  std::vector<Integer> arr;
  EXPECT_EQ(TIFFReadArrayIntegers(env, arr, 273), 0);
  EXPECT_EQ(TIFFReadIndexValN(env, 273, 5), 0);
  EXPECT_EQ(TIFFReadSingleRational(env, 282), 0.0);
  EXPECT_EQ(TIFFReadSingleRational(env, 283), 0.0);
  std::vector<Byte> raw;
  EXPECT_FALSE(TIFFReadRawData(env, 700, raw));
  std::u16string w = u"kept";
  TIFFReadWideString(env, 40091, w);
  EXPECT_EQ(w, u"kept");
  EXPECT_FALSE(TIFFLoadSubIFD(env, 34665, sub));
}

// A directory whose entry count runs past the end keeps the whole entries
// the stream holds; headers that are no TIFF are refused.
TEST(TiffDir, TruncatedDirectoriesAndBadHeaders) {
  tiffkit::Builder b(true);
  const int d = b.AddIfd();
  b.Short(d, 256, {5});
  b.Short(d, 257, {6});
  std::vector<uint8_t> bytes = b.Build();
  bytes[8] = 0xFF, bytes[9] = 0xFF;  // 65535 entries claimed
  TMemoryStream m;
  Load(m, bytes);
  TTIFFEnv env;
  Integer pages = 0;
  ASSERT_TRUE(TIFFLoadTags(&m, pages, 0, env));
  EXPECT_EQ(pages, 0);  // the directory has no next-offset field left
  EXPECT_EQ(TIFFReadSingleValDef(env, 257, 0), 6);
  for (const std::vector<uint8_t>& bad : {std::vector<uint8_t>{'I', 'X', 42, 0, 8, 0, 0, 0},
                                          std::vector<uint8_t>{'I', 'I', 42, 0, 0, 0, 0, 0},
                                          std::vector<uint8_t>{'M', 'M', 0}}) {
    Load(m, bad);
    EXPECT_FALSE(TIFFLoadTags(&m, pages, 0, env));
  }
}

TEST(TiffDir, Probes) {
  auto make = [](bool le, bool size, uint16_t photometric) {
    tiffkit::Builder b(le);
    const int d = b.AddIfd();
    if (size) b.Short(d, 256, {100}), b.Short(d, 257, {80});
    if (photometric) b.Short(d, 262, {photometric});
    return b.Build();
  };
  struct Case {
    const char* name;
    std::vector<uint8_t> bytes;
    bool tiff, dng;
  } cases[] = {
      {"plain II", make(true, true, 2), true, false},
      {"plain MM", make(false, true, 2), true, false},
      {"no size", make(true, false, 2), false, false},
      {"CFA photometric", make(true, true, 32803), true, true},
      {"not TIFF", {'G', 'I', 'F', '8', '9', 'a', 0, 0, 0, 0}, false, false},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    TMemoryStream m;
    Load(m, c.bytes);
    m.SetPosition(0);
    EXPECT_EQ(IsTIFFStream(&m), c.tiff);
    EXPECT_EQ(m.GetPosition(), 0);
    EXPECT_EQ(IsDNGStream(&m), c.dng);
    EXPECT_EQ(m.GetPosition(), 0);
  }
}

}  // namespace
