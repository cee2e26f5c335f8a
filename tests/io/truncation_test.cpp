// Files cut short at every length: a load either gives the whole picture or
// sets the abort flag; a partial or empty picture is never a success. The
// files come from our writers and, where the peers lay a format out
// differently (a TIFF directory at the end, RLE8 rows of odd width, a PCX
// palette at the end), from the peer tools.
#include <gtest/gtest.h>

#include <functional>
#include <string>

#include "common/file_kit.h"
#include "core/lkbitmap.h"
#include "io/lumerakio.h"
#include "tests/io/io_kit.h"

using namespace iokit;

namespace {

// W x H pixels of at most 60 colours (so that palette formats keep them).
std::string Ppm(Integer W, Integer H) {
  std::string s = "P6\n" + std::to_string(W) + " " + std::to_string(H) + "\n255\n";
  for (Integer y = 0; y < H; ++y)
    for (Integer x = 0; x < W; ++x) {
      const Integer k = (x * 7 + y * 3) % 60;
      s += char(k * 4);
      s += char(255 - k * 3);
      s += char((k * 37) & 255);
    }
  return s;
}

// The file our writer makes of the picture of Ppm.
std::string Ours(const String& Ext, Integer W, Integer H) {
  TempDir dir;
  WriteAll(dir.File("in.ppm"), Ppm(W, H));
  TLumerakIO io;
  io.LoadFromFile(dir.File("in.ppm"));
  io.GetIOParams()->ICO_PageSizes[0] = TSize{W, H};
  io.GetIOParams()->ICO_PageSizes[1] = TSize{};
  io.GetIOParams()->ICO_PageBitCounts[0] = 24;
  io.SaveToFile(dir.File("out" + Ext));
  return ReadAll(dir.File("out" + Ext));
}

// The file a peer tool makes of it ("" when the tool is missing or fails).
// Prefix goes before the output name (ImageMagick's "bmp3:").
std::string Peers(const std::string& Command, const String& Ext, Integer W, Integer H, const std::string& Prefix = "") {
  TempDir dir;
  WriteAll(dir.File("in.ppm"), Ppm(W, H));
  const std::string cmd = Command + " " + dir.File("in.ppm") + " " + Prefix + dir.File("out" + Ext);
  if (!filekit::RunTool(cmd)) return std::string();
  return ReadAll(dir.File("out" + Ext));
}

// The picture as 24-bit bytes, for comparison.
std::string Pixels(TLKBitmap& B) {
  TLKBitmap c;
  c.Assign(&B);
  if (c.GetPixelFormat() != lk24RGB) c.SetPixelFormat(lk24RGB);
  std::string s = std::to_string(c.GetWidth()) + "x" + std::to_string(c.GetHeight()) + ":";
  for (Integer y = 0; y < c.GetHeight(); ++y)
    s.append(static_cast<const char*>(c.GetScanLine(y)), size_t(c.GetWidth()) * 3);
  return s;
}

struct Maker {
  const char* Name;
  const char* Ext;
  std::function<std::string()> Make;
};

TEST(Truncation, EveryCutGivesTheWholePictureOrTheFlag) {
  const std::string im = "/usr/bin/convert-im6.q16";
  const Maker makers[] = {
      {"GIF, ours", ".gif", [] { return Ours(".gif", 23, 9); }},
      {"ICO, ours", ".ico", [] { return Ours(".ico", 16, 16); }},
      {"PCX 8-bit, ours", ".pcx", [] { return Ours(".pcx", 23, 9); }},
      {"PCX 8-bit, ppmtopcx", ".pcx", [] { return Peers("sh -c 'ppmtopcx -8bit \"$0\" > \"$1\"'", ".pcx", 23, 9); }},
      {"BMP RLE8, convert", ".bmp", [&] { return Peers(im + " -type palette -compress RLE", ".bmp", 23, 9, "bmp3:"); }},
      {"TIFF, convert", ".tif", [&] { return Peers(im + " -compress none", ".tif", 23, 9); }},
      {"TIFF LZW, convert", ".tif", [&] { return Peers(im + " -compress lzw", ".tif", 23, 9); }},
  };
  for (const Maker& m : makers) {
    std::string full = m.Make();
    if (full.empty()) {
      ADD_FAILURE() << m.Name << ": no file (is the peer tool installed?)";
      continue;
    }
    // A BMP written by the peer: make sure it is the RLE8 kind.
    if (std::string(m.Ext) == ".bmp") ASSERT_EQ(full[30], 1) << "not RLE8";
    TempDir dir;
    const String file = dir.File(String("cut") + m.Ext);
    WriteAll(file, full);
    TLumerakIO whole;
    whole.LoadFromFile(file);
    ASSERT_FALSE(whole.GetAborted()) << m.Name;
    const std::string want = Pixels(*whole.GetLKBitmap());
    int silent = 0;
    for (size_t n = 1; n < full.size(); ++n) {
      WriteAll(file, full.substr(0, n));
      TLumerakIO io;
      try {
        io.LoadFromFile(file);
      } catch (const Exception&) {
        continue;
      }
      if (io.GetAborted()) continue;
      if (Pixels(*io.GetLKBitmap()) != want && ++silent <= 3)
        ADD_FAILURE() << m.Name << ": cut to " << n << " of " << full.size() << " bytes loads as a success";
    }
    EXPECT_EQ(silent, 0) << m.Name;
  }
}

}  // namespace
