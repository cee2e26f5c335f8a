// Metafiles drawn into the picture: hand-made files of both kinds with a
// filled rectangle, the size requests, the alpha pass, the merge, and cut
// or hostile records.
#include <gtest/gtest.h>

#include <cstring>
#include <functional>

#include "core/lkbitmap.h"
#include "io/lkformatrow.h"
#include "io/lkparams.h"
#include "io/lumerakio.h"
#include "tests/io/io_kit.h"

using namespace iokit;

namespace {

void Put32(std::string& S, Cardinal V) {
  for (int i = 0; i < 4; ++i) S += char(V >> (8 * i));
}
void Put16(std::string& S, Word V) {
  S += char(V);
  S += char(V >> 8);
}

// An enhanced metafile of 40 x 30 pixels: a red rectangle from (10, 5) to
// (30, 25) drawn with a red brush and no pen.
std::string Emf() {
  std::string s;
  auto rec = [&](Cardinal Type, std::initializer_list<Cardinal> Params) {
    Put32(s, Type);
    Put32(s, Cardinal(8 + 4 * Params.size()));
    for (Cardinal p : Params) Put32(s, p);
  };
  // Header: bounds, frame, signature, version, size, records, handles.
  rec(1, {0, 0, 39, 29, 0, 0, 1000, 750, 0x464D4520u, 0x10000, 0, 0, 3, 0, 0, 0, 0, 0, 0, 0});
  rec(39, {1, 0, 0x0000FF, 0});  // brush 1: solid, red
  rec(37, {1});
  rec(38, {2, 5, 0, 0, 0});  // pen 2: none
  rec(37, {2});
  rec(43, {10, 5, 30, 25});
  rec(14, {0, 16, 20});
  return s;
}

// A placeable 16-bit metafile of 40 x 30 logical units at 96 per inch: a
// blue rectangle from (10, 5) to (30, 25).
std::string Wmf() {
  std::string s;
  Put32(s, 0x9AC6CDD7u);
  Put16(s, 0);
  for (Word v : {0, 0, 40, 30, 96}) Put16(s, v);
  Put32(s, 0);
  Put16(s, 0);  // checksum (not checked)
  Put16(s, 1);
  Put16(s, 9);
  Put16(s, 0x300);
  Put32(s, 0);  // size in words (not used)
  Put16(s, 2);
  Put32(s, 0);
  Put16(s, 0);
  auto rec = [&](Word Fn, std::initializer_list<Word> Params) {
    Put32(s, Cardinal(3 + Params.size()));
    Put16(s, Fn);
    for (Word p : Params) Put16(s, p);
  };
  rec(0x020B, {0, 0});
  rec(0x020C, {30, 40});
  rec(0x02FC, {0, 0x0000, 0x00FF, 0});  // brush: solid, blue (colour 0x00FF0000)
  rec(0x012D, {0});
  rec(0x02FA, {5, 0, 0, 0, 0});  // pen: none
  rec(0x012D, {1});
  rec(0x041B, {25, 30, 5, 10});  // bottom, right, top, left
  rec(0, {});
  return s;
}

TRGB At(TLKBitmap& B, Integer X, Integer Y) { return static_cast<TRGB*>(B.GetScanLine(Y))[X]; }

struct Metafile : ::testing::Test {
  TempDir dir;
  TLumerakIO io;
};

TEST_F(Metafile, BothKindsDrawTheirRectangle) {
  struct Row {
    const char* Name;
    std::string Bytes;
    TRGB Fill;
    Integer Type;
  };
  for (const Row& r : {Row{"r.emf", Emf(), TRGB{0, 0, 255}, lkftEMF}, Row{"b.wmf", Wmf(), TRGB{255, 0, 0}, lkftWMF}}) {
    SCOPED_TRACE(r.Name);
    const String file = dir.File(r.Name);
    WriteAll(file, r.Bytes);
    io.SetReBackground(0x00FFFFFF);
    Recorder rec(io);
    io.LoadFromFile(file);
    ASSERT_FALSE(io.GetAborted()) << io.GetAbortReason();
    TLKBitmap& b = *io.GetLKBitmap();
    ASSERT_EQ(b.GetWidth(), 40);
    ASSERT_EQ(b.GetHeight(), 30);
    EXPECT_EQ(At(b, 20, 15), r.Fill);
    EXPECT_EQ(At(b, 11, 6), r.Fill);
    EXPECT_EQ(At(b, 2, 2), (TRGB{255, 255, 255}));
    EXPECT_EQ(At(b, 35, 27), (TRGB{255, 255, 255}));
    EXPECT_EQ(io.GetIOParams()->FILETYPE, r.Type);
    EXPECT_EQ(io.GetIOParams()->FILENAME, file);
    EXPECT_EQ(rec.Finishes, 1);
    io.OnProgress = nullptr;
    io.OnFinishWork = nullptr;
  }
}

TEST_F(Metafile, SizeRequestsAndAlpha) {
  const String file = dir.File("r.emf");
  WriteAll(file, Emf());
  struct Row {
    Integer W, H, OutW, OutH;
  };
  for (const Row& r : {Row{80, -1, 80, 60}, Row{-1, 15, 20, 15}, Row{-1, -1, 40, 30}, Row{32000, 100, 16000, 50}}) {
    io.ImportMetafile(file, r.W, r.H, false);
    EXPECT_EQ(io.GetLKBitmap()->GetWidth(), r.OutW) << r.W << "," << r.H;
    EXPECT_EQ(io.GetLKBitmap()->GetHeight(), r.OutH) << r.W << "," << r.H;
  }
  // 0 in either draws nothing.
  io.ImportMetafile(file, 0, 10, false);
  EXPECT_EQ(io.GetLKBitmap()->GetWidth(), 16000);
  // Blank parts come out transparent, the rectangle opaque.
  io.ImportMetafile(file, 80, 60, true);
  TLKBitmap* a = io.GetLKBitmap()->GetAlphaChannel();
  EXPECT_EQ(static_cast<Byte*>(a->GetScanLine(4))[4], 0);
  EXPECT_EQ(static_cast<Byte*>(a->GetScanLine(30))[40], 255);
}

TEST_F(Metafile, MergeDrawsOverPartOfThePicture) {
  const String file = dir.File("r.emf");
  WriteAll(file, Emf());
  TLKBitmap* b = io.GetLKBitmap();
  b->Allocate(50, 40, lk24RGB);
  for (Integer y = 0; y < 40; ++y)
    for (Integer x = 0; x < 50; ++x) static_cast<TRGB*>(b->GetScanLine(y))[x] = TRGB{0, 200, 0};
  io.GetIOParams()->FILETYPE = lkftPNG;
  io.MergeMetafile(file, 30, 20, -1, -1);
  EXPECT_FALSE(io.GetAborted()) << io.GetAbortReason();
  EXPECT_EQ(b->GetWidth(), 50);
  EXPECT_EQ(At(*b, 45, 30), (TRGB{0, 0, 255}));  // rectangle at (15, 10) of the metafile
  EXPECT_EQ(At(*b, 10, 10), (TRGB{0, 200, 0}));  // outside: unchanged
  EXPECT_EQ(At(*b, 31, 21), (TRGB{0, 200, 0}));  // blank part of the metafile: unchanged
  EXPECT_EQ(io.GetIOParams()->FILETYPE, lkftPNG);
}

// Hostile files: refused with the flag, or drawn as far as they are whole.
TEST_F(Metafile, CutAndHostileRecords) {
  const std::string emf = Emf(), wmf = Wmf();
  auto with32 = [](std::string s, size_t at, Cardinal v) {
    std::memcpy(&s[at], &v, 4);
    return s;
  };
  struct Row {
    const char* Fault;
    std::string Bytes;
    bool Refused;
  };
  const std::vector<Row> rows = {
      {"not a metafile", "hello", true},
      {"header cut", emf.substr(0, 60), true},
      {"no size", with32(emf, 16, 0xFFFFFFFFu), true},  // right edge left of the left one
      {"a huge size", with32(with32(emf, 16, 0x7FFFFFFF), 20, 0x7FFFFFFF), true},
      {"a record past the end", with32(emf, 88 + 4, 0x7FFFFFF0), false},
      {"a record of size 0", with32(emf, 88 + 4, 0), false},
      {"a brush handle past every table", with32(emf, 88 + 8, 0xFFFFFFFF), false},
      {"records cut", emf.substr(0, emf.size() - 30), false},
      {"a wmf record past the end", with32(wmf, 40, 0x7FFFFFFF), false},
      {"a wmf polygon count past its record", wmf.substr(0, 40) + std::string("\x05\0\0\0\x24\x03\xff\x7f\0\0", 10),
       false},
  };
  for (const Row& r : rows) {
    const String file = dir.File("h.emf");
    WriteAll(file, r.Bytes);
    io.ImportMetafile(file, -1, -1, true);
    EXPECT_EQ(io.GetAborted(), r.Refused) << r.Fault << ": " << io.GetAbortReason();
  }
}

}  // namespace
