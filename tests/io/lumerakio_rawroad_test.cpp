// The headless camera RAW road of the main window: the built-in camera RAW
// record removed, a plug-in registered for "RAW", the development settings
// set by keyword, the RAW file loaded through the plug-in, then saved as
// JPEG and read back. The fake plug-in (tests/io/fakeplugin) reads a made-up
// format: a 24-byte header ("LKXF", width, height, pixel format, options,
// rows offset) and rows in the exchange layout; this variant lists "RAW" and
// echoes the keyword RAW_GAMMA into TIFF_DOCUMENTNAME.
#include <gtest/gtest.h>

#include <cstring>
#include <vector>

#include "core/lkbitmap.h"
#include "io/lkextio.h"
#include "io/lkfileformats.h"
#include "io/lkparams.h"
#include "io/lkxplugin.h"
#include "io/lumerakio.h"
#include "tests/io/io_kit.h"

using namespace iokit;

namespace {

const String kPlugin = String(LKX_FAKE_PLUGIN_DIR) + "/lkxfakeraw.so";

void PutLE32(std::string& S, size_t At, int32_t V) {
  for (int i = 0; i < 4; ++i) S[At + i] = char(static_cast<uint32_t>(V) >> (8 * i));
}

// A fake RAW file of the plug-in's format.
std::string FakeRAW(int32_t W, int32_t H, int32_t PixelFormat, const std::string& Rows, int32_t Options = 0) {
  std::string s(24, '\0');
  std::memcpy(s.data(), "LKXF", 4);
  PutLE32(s, 4, W);
  PutLE32(s, 8, H);
  PutLE32(s, 12, PixelFormat);
  PutLE32(s, 16, Options);
  PutLE32(s, 20, 24);
  return s + Rows;
}

// 3 x 2 pixels, red 10x + y, green 100 + x, blue 200 + y, as RGB rows.
std::string RGBRows() {
  std::string rows;
  for (int y = 0; y < 2; ++y)
    for (int x = 0; x < 3; ++x) rows += {char(10 * x + y), char(100 + x), char(200 + y)};
  return rows;
}

// The window's settings panel, copied into the parameters by keyword.
void SetDevelopment(TIOParamsVals& P) {
  const char* settings[][2] = {
      {"RAW_AUTOADJUSTCOLORS", "1"}, {"RAW_BLUESCALE", "1.5"},       {"RAW_REDSCALE", "1.25"},
      {"RAW_BRIGHT", "2"},           {"RAW_FOURCOLORRGB", "0"},      {"RAW_GAMMA", "0.6"},
      {"RAW_QUICKINTERPOLATE", "1"}, {"RAW_USEAUTOWB", "0"},         {"RAW_USECAMERAWB", "1"},
  };
  for (auto& s : settings) P.SetProperty(s[0], s[1]);
}

class RawRoad : public ::testing::Test {
 protected:
  void SetUp() override { LKFileFormatRemove(20); }
  FreshRegistry registry;
  TempDir dir;
};

TEST_F(RawRoad, APluginRAWFileLoadsIntoTheComponentAndSavesAsJpeg) {
  const Integer type = LKAddExtIOPlugin(kPlugin);
  ASSERT_GE(type, 4096);
  ASSERT_EQ(LKExtToFileFormat("RAW"), type);
  const String name = dir.File("shot.raw");
  WriteAll(name, FakeRAW(3, 2, LKX_PF_24RGB, RGBRows()));

  TLumerakIO io;
  Recorder rec(io);
  TIOParamsVals& p = *io.GetIOParams();
  p.JPEG_ENABLEADJUSTORIENTATION = true;
  p.TIFF_ENABLEADJUSTORIENTATION = true;
  SetDevelopment(p);
  io.LoadFromFileRAW(name);

  ASSERT_FALSE(io.GetAborted());
  // The plug-in's own reports, then the finish's 100 and the finish.
  ASSERT_GE(rec.Events.size(), 3u);
  EXPECT_EQ(rec.Events.front(), "p10");
  EXPECT_EQ(rec.Events[rec.Events.size() - 2], "p100");
  EXPECT_EQ(rec.Events.back(), "finish");
  EXPECT_EQ(rec.Finishes, 1);
  EXPECT_EQ(p.FILETYPE, type);
  EXPECT_EQ(p.FILENAME, name);
  EXPECT_EQ(p.TIFF_DOCUMENTNAME, "0.6");  // the plug-in asked for a RAW_ setting
  EXPECT_EQ(p.DPIX, gDefaultDPIX);        // no resolution from the plug-in
  EXPECT_EQ(p.DPIY, gDefaultDPIY);

  TLKBitmap& b = *io.GetLKBitmap();
  ASSERT_EQ(b.GetPixelFormat(), lk24RGB);
  ASSERT_EQ(b.GetWidth(), 3);
  ASSERT_EQ(b.GetHeight(), 2);
  for (Integer y = 0; y < 2; ++y)
    for (Integer x = 0; x < 3; ++x) {
      const Byte* px = static_cast<const Byte*>(b.GetScanLine(y)) + 3 * x;
      EXPECT_EQ(px[0], 200 + y);  // blue first in the bitmap
      EXPECT_EQ(px[1], 100 + x);
      EXPECT_EQ(px[2], 10 * x + y);
    }

  const String jpeg = dir.File("shot.jpg");
  io.SaveToFile(jpeg);
  ASSERT_FALSE(io.GetAborted());
  TLumerakIO back;
  back.LoadFromFile(jpeg);
  ASSERT_FALSE(back.GetAborted());
  EXPECT_EQ(back.GetIOParams()->FILETYPE, 3);
  EXPECT_EQ(back.GetLKBitmap()->GetWidth(), 3);
  EXPECT_EQ(back.GetLKBitmap()->GetHeight(), 2);
}

TEST_F(RawRoad, NativeFortyEightBitRowsArriveWithTheirSamplesInHostOrder) {
  const Integer type = LKAddExtIOPlugin(kPlugin);
  ASSERT_GE(type, 4096);
  std::string rows;  // one pixel: red 0x0102, green 0x0304, blue 0x0506, big-endian
  rows += {1, 2, 3, 4, 5, 6};
  TMemoryStream s;
  const std::string raw = FakeRAW(1, 1, LKX_PF_48RGB, rows);
  s.WriteBuffer(raw.data(), Integer(raw.size()));
  s.Seek(0, soBeginning);
  TLumerakIO io;
  io.SetNativePixelFormat(true);
  io.LoadFromStreamRAW(&s);
  ASSERT_FALSE(io.GetAborted());
  ASSERT_EQ(io.GetLKBitmap()->GetPixelFormat(), lk48RGB);
  const auto* w = static_cast<const uint16_t*>(io.GetLKBitmap()->GetScanLine(0));
  EXPECT_EQ(w[0], 0x0102);
  EXPECT_EQ(w[1], 0x0304);
  EXPECT_EQ(w[2], 0x0506);
  EXPECT_EQ(io.GetIOParams()->FILENAME, "");
}

TEST_F(RawRoad, WithoutThePluginNothingIsLoadedAndNothingFires) {
  const String name = dir.File("shot.raw");
  WriteAll(name, FakeRAW(3, 2, LKX_PF_24RGB, RGBRows()));
  TLumerakIO io;
  io.GetLKBitmap()->Allocate(5, 5, lk8g);
  Recorder rec(io);
  io.LoadFromFileRAW(name);
  EXPECT_TRUE(rec.Events.empty());
  EXPECT_TRUE(io.GetAborted());  // the caller must not take the old picture for the file's
  EXPECT_FALSE(io.GetAbortReason().empty());
  EXPECT_EQ(io.GetLKBitmap()->GetWidth(), 5);
  EXPECT_EQ(io.GetIOParams()->FILENAME, name);
}

TEST_F(RawRoad, APluginThatDeliversNoRowsSetsTheAbortFlag) {
  ASSERT_GE(LKAddExtIOPlugin(kPlugin), 4096);
  const String name = dir.File("empty.raw");
  WriteAll(name, FakeRAW(3, 2, LKX_PF_24RGB, RGBRows(), /*no rows*/ 1));
  TLumerakIO io;
  Recorder rec(io);
  io.LoadFromFileRAW(name);
  EXPECT_TRUE(io.GetAborted());
  EXPECT_EQ(rec.Finishes, 1);
}

}  // namespace
