#include <gtest/gtest.h>

#include <unistd.h>

#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <stdexcept>
#include <vector>

#include "io/lkdetect.h"
#include "io/lkfileformats.h"
#include "platform/classes.h"

namespace {

namespace fs = std::filesystem;
using Bytes = std::vector<Byte>;

Bytes Str(const char* s, size_t n) { return Bytes(s, s + n); }
Bytes Cat(Bytes a, const Bytes& b) {
  a.insert(a.end(), b.begin(), b.end());
  return a;
}
Bytes Zeros(size_t n) { return Bytes(n, 0); }
Bytes Head(const Bytes& b, size_t n) { return Bytes(b.begin(), b.begin() + n); }
void Le16(Bytes& b, Word v) {
  b.push_back(Byte(v));
  b.push_back(Byte(v >> 8));
}
void Le32(Bytes& b, Cardinal v) {
  for (int i = 0; i < 4; ++i) b.push_back(Byte(v >> (8 * i)));
}
void Be16(Bytes& b, Word v) {
  b.push_back(Byte(v >> 8));
  b.push_back(Byte(v));
}
void Be32(Bytes& b, Cardinal v) {
  for (int i = 3; i >= 0; --i) b.push_back(Byte(v >> (8 * i)));
}

// A little- or big-endian TIFF whose first directory holds the given
// (tag, type, count, value) entries.
struct Entry {
  Word Tag, Type;
  Cardinal Count, Value;
};
Bytes Tiff(bool Little, std::vector<Entry> Entries) {
  Bytes b;
  auto w16 = [&](Word v) { Little ? Le16(b, v) : Be16(b, v); };
  auto w32 = [&](Cardinal v) { Little ? Le32(b, v) : Be32(b, v); };
  b.push_back(Little ? 'I' : 'M');
  b.push_back(Little ? 'I' : 'M');
  w16(42);
  w32(8);
  w16(Word(Entries.size()));
  for (const Entry& e : Entries) {
    w16(e.Tag);
    w16(e.Type);
    w32(e.Count);
    if (e.Type == 3) {
      w16(Word(e.Value));
      w16(0);
    } else {
      w32(e.Value);
    }
  }
  w32(0);
  return b;
}
Bytes PlainTiff(bool Little) { return Tiff(Little, {{256, 3, 1, 4}, {257, 3, 1, 3}, {258, 3, 1, 8}}); }

Bytes Icon(Word Type) {
  Bytes b;
  Le16(b, 0);
  Le16(b, Type);
  Le16(b, 1);
  b.insert(b.end(), {16, 16, 0, 0});
  Le16(b, 1);
  Le16(b, 32);
  Le32(b, 40);  // bytes of the image
  Le32(b, 22);  // right after the directory
  return Cat(b, Zeros(40));
}

Bytes Tga() {
  Bytes b = {0, 0, 2, 0, 0, 0, 0, 0, 0, 0, 0, 0};
  Le16(b, 2);
  Le16(b, 2);
  b.push_back(24);
  b.push_back(0);
  return Cat(b, Zeros(12));
}

Bytes Dcx(Cardinal Offset) {
  Bytes b;
  Le32(b, 0x3ADE68B1u);
  Le32(b, Offset);
  Le32(b, 0);
  return Cat(b, Zeros(20));
}

Bytes WmfHeader() {
  Bytes b;
  Le16(b, 1);
  Le16(b, 9);
  Le16(b, 0x300);
  Le32(b, 100);
  Le16(b, 1);
  Le32(b, 10);
  Le16(b, 0);
  return b;
}

Bytes Emf() {
  Bytes b = Zeros(100);
  b[0] = 1;
  b[40] = 0x20, b[41] = 'E', b[42] = 'M', b[43] = 'F';
  return b;
}

Bytes Psd(Word Version) {
  Bytes b = Str("8BPS", 4);
  Be16(b, Version);
  b.insert(b.end(), 6, 0);
  Be16(b, 3);   // channels
  Be32(b, 2);   // height
  Be32(b, 2);   // width
  Be16(b, 8);   // depth
  Be16(b, 3);   // RGB
  return Cat(b, Zeros(16));
}

Bytes StreamHeader(const char* Magic, size_t DataLen) {
  Bytes b = Str(Magic, 4);
  Le32(b, 0);
  Le32(b, Cardinal(DataLen));
  return Cat(b, Zeros(DataLen));
}

struct Case {
  const char* Name;
  Bytes Data;
  Integer Type;
};

std::vector<Case> HeaderCases() {
  Bytes pcx = Zeros(129);
  pcx[0] = 0x0A;
  pcx[1] = 5;
  Bytes pcx128 = Head(pcx, 128);
  Bytes pcxV6 = pcx;
  pcxV6[1] = 6;
  const Bytes png = {0x89, 'P', 'N', 'G', 0x0D, 0x0A, 0x1A, 0x0A, 0, 0, 0, 13};
  const Bytes jpeg = {0xFF, 0xD8, 0xFF, 0xE0, 0, 16, 'J', 'F', 'I', 'F', 0};
  Bytes lateJpeg = Cat(Zeros(97), jpeg);
  Bytes tooLateJpeg = Cat(Zeros(100), jpeg);
  const Bytes jp2 = {0, 0, 0, 12, 'j', 'P', ' ', ' ', 0x0D, 0x0A, 0x87, 0x0A, 0, 0, 0, 0};
  const Bytes j2k = {0xFF, 0x4F, 0xFF, 0x51, 0, 0x29};
  Bytes placeable;
  Le32(placeable, 0x9AC6CDD7u);
  placeable = Cat(Cat(placeable, Zeros(18)), WmfHeader());
  Bytes dng = Tiff(true, {{256, 3, 1, 4}, {257, 3, 1, 3}, {50706, 1, 4, 0x01010000}});
  Bytes tiffNoSize = Tiff(true, {{258, 3, 1, 8}});
  Bytes tiffBadOffset = PlainTiff(true);
  tiffBadOffset[4] = 0xF0;

  return {
      // Stream headers and plain magic.
      {"jpeg stream header", StreamHeader("JFIF", 4), 3},
      {"jpeg stream header without data", StreamHeader("JFIF", 0), 0},
      {"JFIFX is no stream header", Cat(Str("JFIFX", 5), Zeros(10)), 0},
      {"gif", Cat(Str("GIF89a", 6), Zeros(8)), 2},
      {"gif of 13 bytes", Cat(Str("GIF89a", 6), Zeros(7)), 0},
      {"pcx stream header", StreamHeader("PCX2", 4), 4},
      {"old pcx stream header", Str("PCX\0\0", 5), 4},
      {"old pcx header of 4 bytes", Str("PCX\0", 4), 0},
      {"bmp", Cat(Str("BM", 2), Zeros(13)), 5},
      {"BM wins over PNG content", Cat(Cat(Str("BM", 2), png), Zeros(1)), 5},
      {"bmp of 14 bytes", Cat(Str("BM", 2), Zeros(12)), 0},
      {"pcx file header", pcx, 4},
      {"pcx file header of 128 bytes", pcx128, 0},
      {"pcx version 6", pcxV6, 0},
      {"tiff stream header", StreamHeader("TIFF", 4), 1},
      // Codec probes.
      {"tiff little-endian", PlainTiff(true), 1},
      {"tiff big-endian", PlainTiff(false), 1},
      {"tiff without image size", tiffNoSize, 0},
      {"tiff directory past the end", tiffBadOffset, 0},
      {"dng", dng, 0},
      {"png", png, 8},
      {"png signature alone", Head(png, 8), 0},
      {"icon", Icon(1), 6},
      {"cursor", Icon(2), 7},
      {"icon cut short", Head(Icon(1), 20), 0},
      {"targa", Tga(), 11},
      {"targa header cut short", Head(Tga(), 17), 0},
      {"ppm", Str("P6\n# made by hand\n4 3\n255\n", 26), 12},
      {"pbm", Str("P1 2 2 0 1 1 0", 14), 12},
      {"pnm of zero width", Str("P5 0 3 255 ", 11), 0},
      {"P7 is no pnm", Str("P7 3 3 255 ", 11), 0},
      {"jpeg", jpeg, 3},
      {"jpeg 97 bytes in", lateJpeg, 3},
      {"jpeg 100 bytes in", tooLateJpeg, 0},
      {"jpeg 2000 file", jp2, 13},
      {"jpeg 2000 code stream", j2k, 14},
      {"avi", Cat(Str("RIFF\0\0\0\0AVI LIST", 16), Zeros(4)), 15},
      {"wave is no avi", Str("RIFF\0\0\0\0WAVEfmt ", 16), 0},
      {"riff cut short", Str("RIFF\0\0\0\0AVI", 11), 0},
      {"dcx", Dcx(12), 19},
      {"dcx page past the end", Dcx(500), 0},
      {"placeable wmf", placeable, 9},
      {"wmf", Cat(WmfHeader(), Zeros(4)), 9},
      {"emf", Emf(), 10},
      {"psd", Psd(1), 24},
      {"psd version 2", Psd(2), 0},
      // Nothing at all.
      {"empty", {}, 0},
      {"one byte", {0x0A}, 0},
      {"text", Str("hello, world, this is text", 26), 0},
  };
}

Integer Detect(const Bytes& Data, Int64 Prefix, Int64& PosAfter) {
  TMemoryStream s;
  const Bytes pad(size_t(Prefix), 0x55);
  if (!pad.empty()) s.Write(pad.data(), Integer(pad.size()));
  if (!Data.empty()) s.Write(Data.data(), Integer(Data.size()));
  s.SetPosition(Prefix);
  const Integer type = FindStreamFormat(s);
  PosAfter = s.Position();
  return type;
}

class Detection : public ::testing::Test {
 protected:
  void SetUp() override {
    LKIOModuleEnd();
    LKIOModuleStart();
  }
  void TearDown() override { LKIOModuleEnd(); }
};

TEST_F(Detection, HandBuiltHeaders) {
  for (const Case& c : HeaderCases()) {
    Int64 pos = -1;
    EXPECT_EQ(Detect(c.Data, 0, pos), c.Type) << c.Name;
    EXPECT_EQ(pos, 0) << c.Name;
  }
}

// Detection works from the stream's position, not from its start, and sets
// the position back on every path.
TEST_F(Detection, FromTheCurrentPosition) {
  for (const Case& c : HeaderCases()) {
    if (c.Type == 0) continue;
    Int64 pos = -1;
    EXPECT_EQ(Detect(c.Data, 37, pos), c.Type) << c.Name;
    EXPECT_EQ(pos, 37) << c.Name;
  }
  // A position past the end finds nothing and stays put.
  TMemoryStream s;
  s.Write("GIF89a........", 14);
  s.SetPosition(100);
  EXPECT_EQ(FindStreamFormat(s), 0);
  EXPECT_EQ(s.Position(), 100);
}

// Every truncation of a valid header is safe (run under the sanitizers) and
// leaves the position alone.
TEST_F(Detection, TruncatedHeaders) {
  for (const Case& c : HeaderCases()) {
    for (size_t n = 0; n < c.Data.size(); ++n) {
      Int64 pos = -1;
      Detect(Head(c.Data, n), 0, pos);
      EXPECT_EQ(pos, 0) << c.Name << " cut to " << n;
    }
  }
}

// External formats: asked after every built-in test, before the camera RAW
// identification, each with its own type and the stream at the start.
TEST_F(Detection, RegisteredProbes) {
  static Int64 seenPos = -1;
  static Integer seenType = 0;
  TLKFileFormatInfo info;
  info.FormatType = kLKFirstExternalFormat;
  info.ExtensionList = "XYZ";
  info.ProbeProc = [](TStream& s, Integer type) {
    seenPos = s.Position();
    seenType = type;
    char b[4] = {};
    s.Read(b, 4);  // moves the position; detection must set it back
    return b[0] == 'X' && b[1] == 'Y' && b[2] == 'Z';
  };
  LKFileFormatAdd(info);

  Int64 pos = -1;
  EXPECT_EQ(Detect(Str("XYZ!", 4), 5, pos), 4096);
  EXPECT_EQ(pos, 5);
  EXPECT_EQ(seenPos, 5);
  EXPECT_EQ(seenType, 4096);

  // A built-in format is found first and the plug-in is never asked.
  seenPos = -1;
  EXPECT_EQ(Detect(Cat(Str("GIF89a", 6), Zeros(8)), 0, pos), 2);
  EXPECT_EQ(seenPos, -1);
}

// A probe that raises on hostile data counts as "not recognised"; the
// position is restored all the same.
TEST_F(Detection, ThrowingProbe) {
  TLKFileFormatInfo info;
  info.FormatType = 4096;
  info.ProbeProc = [](TStream& s, Integer) -> bool {
    s.Seek(3, soCurrent);
    throw std::runtime_error("bad data");
  };
  LKFileFormatAdd(info);
  Int64 pos = -1;
  EXPECT_EQ(Detect(Str("nothing known", 13), 2, pos), 0);
  EXPECT_EQ(pos, 2);
}

TEST(DetectAVI, RiffProbe) {
  TMemoryStream s;
  s.Write("xxRIFF\x10\0\0\0AVI LIST", 18);
  s.SetPosition(2);
  EXPECT_TRUE(LKIsAVIStream(s));
  EXPECT_EQ(s.Position(), 2);
  s.SetPosition(0);
  EXPECT_FALSE(LKIsAVIStream(s));
  s.SetPosition(8);  // fewer than 12 bytes left
  EXPECT_FALSE(LKIsAVIStream(s));
  EXPECT_EQ(s.Position(), 8);
}

// --- Files -----------------------------------------------------------------

class FileDetection : public Detection {
 protected:
  void SetUp() override {
    Detection::SetUp();
    dir = fs::temp_directory_path() / ("lkdetect_" + std::to_string(::getpid()));
    fs::remove_all(dir);
    fs::create_directories(dir);
  }
  void TearDown() override {
    fs::remove_all(dir);
    Detection::TearDown();
  }
  String Write(const char* Name, const Bytes& Data) {
    const fs::path p = dir / Name;
    std::ofstream(p, std::ios::binary).write(reinterpret_cast<const char*>(Data.data()), Data.size());
    return p.string();
  }
  fs::path dir;
};

TEST_F(FileDetection, ContentAgainstExtension) {
  const Bytes png = {0x89, 'P', 'N', 'G', 0x0D, 0x0A, 0x1A, 0x0A, 0, 0, 0, 13};
  const Bytes jpeg = {0xFF, 0xD8, 0xFF, 0xE0, 0, 16, 'J', 'F', 'I', 'F', 0};
  struct FileCase {
    const char* Name;
    Bytes Data;
    Integer Unverified, Verified;
  } const cases[] = {
      {"a.png", png, 8, 8},
      {"png-named.jpg", png, 8, 0},
      {"jpeg.JPEG", jpeg, 3, 3},
      {"noext", png, 8, 0},
      {"unknown.xyz", png, 8, 0},
      {"icon.ico", Icon(1), 6, 6},
      {"icon-named.cur", Icon(1), 6, 7},
      {"cursor-named.ico", Icon(2), 7, 6},
      // Icon content under another format's extension is not that format.
      {"icon-named.png", Icon(1), 6, 0},
      // TIFF content under a camera RAW extension is camera RAW.
      {"camera.cr2", PlainTiff(true), 20, 20},
      {"camera.tif", PlainTiff(true), 1, 1},
      {"text.jpg", Str("just text here", 14), 0, 0},
      {"empty.png", {}, 0, 0},
  };
  for (const FileCase& c : cases) {
    const String name = Write(c.Name, c.Data);
    EXPECT_EQ(FindFileFormat(name, false), c.Unverified) << c.Name;
    EXPECT_EQ(FindFileFormat(name, true), c.Verified) << c.Name;
  }
  EXPECT_EQ(FindFileFormat("", false), 0);
  EXPECT_EQ(FindFileFormat((dir / "missing.png").string(), false), 0);
  EXPECT_EQ(FindFileFormat(dir.string(), false), 0);  // a folder
}

// Once the application replaces the camera RAW record by a plug-in for the
// same extensions, TIFF-based RAW files are TIFF by content and fail the
// extension check.
TEST_F(FileDetection, CameraRawRecordReplaced) {
  const String name = Write("camera.cr2", PlainTiff(false));
  EXPECT_EQ(FindFileFormat(name, true), 20);
  LKFileFormatRemove(20);
  TLKFileFormatInfo plugin;
  plugin.FormatType = 4096;
  plugin.ExtensionList = "RAW;CR2";
  LKFileFormatAdd(plugin);
  EXPECT_EQ(FindFileFormat(name, false), 1);
  EXPECT_EQ(FindFileFormat(name, true), 0);
}

bool RunTool(const String& Command) { return std::system((Command + " >/dev/null 2>&1").c_str()) == 0; }

// Files written by other programs, when their tools are installed.
TEST_F(FileDetection, FilesOfOtherWriters) {
  struct ToolCase {
    const char* Name;
    const char* Command;  // %s: the output path
    Integer Type;
  } const cases[] = {
      {"c.png", "convert -size 5x4 xc:red %s", 8},
      {"c.gif", "convert -size 5x4 xc:red %s", 2},
      {"c.jpg", "convert -size 5x4 xc:red %s", 3},
      {"c.bmp", "convert -size 5x4 xc:red %s", 5},
      {"c.tif", "convert -size 5x4 xc:red %s", 1},
      {"c.tga", "convert -size 5x4 xc:red %s", 11},
      {"c.pcx", "convert -size 5x4 xc:red %s", 4},
      {"c.dcx", "convert -size 5x4 xc:red %s", 19},
      {"c.ppm", "convert -size 5x4 xc:red %s", 12},
      {"c.pgm", "convert -size 5x4 xc:gray %s", 12},
      {"c.psd", "convert -size 5x4 xc:red %s", 24},
      {"c.ico", "convert -size 16x16 xc:red %s", 6},
      {"c.jp2", "convert -size 5x4 xc:red %s", 13},
      {"c.j2k", "convert -size 5x4 xc:red %s", 14},
      {"n.ppm", "ppmmake red 5 4 > %s", 12},
      {"n.pbm", "pbmmake 5 4 > %s", 12},
      {"n-plain.pgm", "pgmmake 0.5 5 4 | pnmtoplainpnm > %s", 12},
      {"n.png", "ppmmake red 5 4 | pnmtopng > %s", 8},
      {"n.bmp", "ppmmake red 5 4 | ppmtobmp > %s", 5},
      {"n.tif", "ppmmake red 5 4 | pnmtotiff > %s", 1},
      {"n.tga", "ppmmake red 5 4 | ppmtotga > %s", 11},
      {"n.pcx", "ppmmake red 5 4 | ppmtopcx > %s", 4},
  };
  Integer ran = 0;
  for (const ToolCase& c : cases) {
    const String path = (dir / c.Name).string();
    char command[512];
    std::snprintf(command, sizeof command, c.Command, path.c_str());
    if (!RunTool(command) || !fs::exists(path) || fs::file_size(path) == 0) continue;  // tool or delegate missing
    ++ran;
    EXPECT_EQ(FindFileFormat(path, true), c.Type) << c.Command;
  }
  if (ran == 0) GTEST_SKIP() << "neither ImageMagick nor netpbm is installed";
}

// Real files from the shared test collections.
TEST_F(FileDetection, SharedTestFiles) {
  const fs::path root = LUMERAK_TESTDATA_DIR;
  if (!fs::exists(root)) GTEST_SKIP() << "no shared test data";
  struct Folder {
    const char* Sub;
    const char* Ext;
    Integer Type;
  } const folders[] = {
      {"tiff", ".tiff", 1}, {"tiff", ".pgm", 12}, {"tiff", ".ppm", 12}, {"tiff", ".pbm", 12},
      {"tiff", ".gif", 2},  {"tiff", ".bmp", 5},  {"psd", ".psd", 24},  {"bmpsuite/g", ".bmp", 5},
  };
  Integer checked = 0;
  for (const Folder& f : folders) {
    if (!fs::exists(root / f.Sub)) continue;
    for (const auto& e : fs::directory_iterator(root / f.Sub)) {
      if (e.path().extension() != f.Ext) continue;
      // The PSD codec reads depths up to 16 bits; its probe refuses others.
      if (e.path().filename().string().rfind("32bit", 0) == 0) continue;
      ++checked;
      EXPECT_EQ(FindFileFormat(e.path().string(), true), f.Type) << e.path();
    }
  }
  // PNG conformance files, the corrupt ones ("x*") included: their signature
  // or header may be broken, so only the good ones must be PNG.
  if (fs::exists(root / "pngsuite")) {
    for (const auto& e : fs::directory_iterator(root / "pngsuite")) {
      if (e.path().extension() != ".png" || e.path().filename().string()[0] == 'x') continue;
      ++checked;
      EXPECT_EQ(FindFileFormat(e.path().string(), true), 8) << e.path();
    }
  }
  EXPECT_GT(checked, 0);
}

}  // namespace
