#include <gtest/gtest.h>

#include <atomic>
#include <chrono>
#include <cstring>
#include <filesystem>
#include <future>
#include <thread>
#include <vector>

#include "common/tiff_builder.h"
#include "core/lkabort.h"
#include "core/lkbitmap.h"
#include "io/lkextio.h"
#include "io/lkfileformats.h"
#include "io/lkparams.h"
#include "platform/classes.h"

// The fake plug-ins (tests/io/fakeplugin) read and write a made-up format: a
// 24-byte header ("LKXF", width, height, pixel format, options, rows offset)
// and the rows in the exchange layout. They log their calls as words.

namespace {

namespace fs = std::filesystem;

String PluginPath(const char* Name) { return String(LKX_FAKE_PLUGIN_DIR) + "/" + Name + ".so"; }

constexpr int32_t kNoRows = 1, kWantExif = 2, kZeroWidth = 4;

void PutLE32(std::vector<Byte>& v, size_t at, int32_t x) {
  for (int i = 0; i < 4; ++i) v[at + i] = static_cast<Byte>(static_cast<uint32_t>(x) >> (8 * i));
}

// A fake picture: header, the bytes Between, then the rows (exchange layout).
std::vector<Byte> FakeFile(int32_t W, int32_t H, int32_t Pf, const std::vector<Byte>& Rows, int32_t Options = 0,
                           const std::vector<Byte>& Between = {}) {
  std::vector<Byte> v(24);
  std::memcpy(v.data(), "LKXF", 4);
  PutLE32(v, 4, W);
  PutLE32(v, 8, H);
  PutLE32(v, 12, Pf);
  PutLE32(v, 16, Options);
  PutLE32(v, 20, 24 + static_cast<int32_t>(Between.size()));
  v.insert(v.end(), Between.begin(), Between.end());
  v.insert(v.end(), Rows.begin(), Rows.end());
  return v;
}

// A camera-style EXIF TIFF: make, resolution and unit, and a 4 x 3 RGB first
// page (the thumbnail), pixel (x, y) = (50x, 70y, 9).
std::vector<Byte> ExifTiff(uint32_t XRes, uint16_t Unit) {
  tiffkit::Builder b(true);
  const int ifd0 = b.AddIfd();
  std::vector<Byte> rgb;
  for (int y = 0; y < 3; ++y)
    for (int x = 0; x < 4; ++x) rgb.insert(rgb.end(), {Byte(50 * x), Byte(70 * y), Byte(9)});
  const int strip = b.AddBlob(rgb);
  b.Short(ifd0, 256, {4});
  b.Short(ifd0, 257, {3});
  b.Short(ifd0, 258, {8, 8, 8});
  b.Short(ifd0, 259, {1});
  b.Short(ifd0, 262, {2});
  b.Ascii(ifd0, 271, "Velmoran Optics");
  b.BlobOffset(ifd0, 273, strip);
  b.Short(ifd0, 277, {3});
  b.Long(ifd0, 278, {3});
  b.Long(ifd0, 279, {static_cast<uint32_t>(rgb.size())});
  b.Rational(ifd0, 282, {{XRes, 1}});
  b.Rational(ifd0, 283, {{XRes, 1}});
  b.Short(ifd0, 296, {Unit});
  return b.Build();
}

void Fill(TMemoryStream& S, const std::vector<Byte>& Prefix, const std::vector<Byte>& Data) {
  S.Clear();
  if (!Prefix.empty()) S.Write(Prefix.data(), static_cast<Integer>(Prefix.size()));
  S.Write(Data.data(), static_cast<Integer>(Data.size()));
  S.SetPosition(static_cast<Int64>(Prefix.size()));
}

std::vector<Byte> Row(TLKBitmap& B, Integer y, size_t Len) {
  const auto* p = static_cast<const Byte*>(B.GetScanLine(y));
  return std::vector<Byte>(p, p + Len);
}

std::vector<Byte> Bytes(TMemoryStream& S) {
  const auto* p = static_cast<const Byte*>(S.GetMemory());
  return std::vector<Byte>(p, p + S.GetSize());
}

// Every test starts with a fresh registry and no plug-in, and leaves none.
class ExtIO : public ::testing::Test {
 protected:
  void SetUp() override {
    LKIOModuleEnd();
    LKIOModuleStart();
  }
  void TearDown() override { LKIOModuleEnd(); }

  // Registers lkxfake (types 4096 and 4097) and clears its log.
  void AddFake() {
    ASSERT_EQ(LKAddExtIOPlugin(PluginPath("lkxfake")), 4097);
    ClearLog();
  }
  static String Log() {
    auto f = reinterpret_cast<const char* (*)()>(GetProcAddress(LKFindExtIOPlugin(4096)->LibHandle, "LKXFake_Log"));
    return f();
  }
  static void ClearLog() {
    reinterpret_cast<void (*)()>(GetProcAddress(LKFindExtIOPlugin(4096)->LibHandle, "LKXFake_ClearLog"))();
  }

  // Reads Data (after Prefix) through the read bridge; returns the abort flag.
  bool Read(const std::vector<Byte>& Data, TLKBitmap& Bitmap, bool Preview = false,
            const std::vector<Byte>& Prefix = {}, Integer Type = 4096) {
    TMemoryStream s;
    Fill(s, Prefix, Data);
    params.FILETYPE = Type;
    std::atomic<bool> abort{false};
    TProgressRec progress;
    progress.AbortFlag = &abort;
    note.Clear();
    progress.AbortNote = &note;
    progress.OnProgress = [this](TObject* Sender, Integer Percent) { percents.push_back(Percent); };
    LKExtIOPluginRead(s, Bitmap, params, progress, Preview);
    return abort;
  }

  TIOParamsVals params;
  std::vector<Integer> percents;
  TLKAbortNote note;  // the reason of Read's last failure
};

// ---------------------------------------------------------------------------
// Registration

TEST_F(ExtIO, RegistersEveryFormatOfALibraryFromTheFirstExternalType) {
  EXPECT_EQ(LKAddExtIOPlugin(PluginPath("lkxfake")), 4097);
  EXPECT_EQ(LKAddExtIOPlugin(PluginPath("lkxfakeone")), 4098);
  ASSERT_EQ(lkgExtIOPlugins.GetCount(), 3);

  struct Expected {
    Integer Type, Index;
    const char* Name;
    const char* Exts;
    bool Locked;
  } const rows[] = {{4096, 0, "Fake picture", "fkp;fake", true},
                    {4097, 1, "Fake picture, any thread", "fkt", false},
                    {4098, 0, "Fake picture", "fk1", true}};
  for (const Expected& e : rows) {
    SCOPED_TRACE(e.Type);
    const PLKIOPlugin p = LKFindExtIOPlugin(e.Type);
    ASSERT_NE(p, nullptr);
    EXPECT_EQ(p->FormatIndex, e.Index);
    EXPECT_EQ(p->CS != nullptr, e.Locked);
    const PLKFileFormatInfo info = LKFileFormatGetInfo(e.Type);
    ASSERT_NE(info, nullptr);
    EXPECT_EQ(info->FormatName, e.Name);
    EXPECT_EQ(info->ExtensionList, e.Exts);
    EXPECT_FALSE(info->BuiltIn);
    EXPECT_EQ(info->ReadProc, &LKExtIOPluginRead);
    EXPECT_EQ(info->WriteProc, &LKExtIOPluginWrite);
    EXPECT_EQ(info->ProbeProc, &LKExtIOPluginTry);
  }
  EXPECT_EQ(LKFindExtIOPlugin(4099), nullptr);
  EXPECT_EQ(LKExtToFileFormat("fkt"), 4097);
}

TEST_F(ExtIO, ALibraryIsRegisteredOncePerFileNameWithLetterCaseSignificant) {
  const fs::path dir = fs::path(testing::TempDir()) / ("lkxfake-" + std::to_string(::getpid()));
  fs::create_directories(dir);
  fs::copy_file(PluginPath("lkxfake"), dir / "lkxfake.so", fs::copy_options::overwrite_existing);
  fs::copy_file(PluginPath("lkxfake"), dir / "LKXFAKE.so", fs::copy_options::overwrite_existing);

  // The plug-in name rule: "x.dll" is found as "x.so" beside the program.
  EXPECT_EQ(LKAddExtIOPlugin("lkxfake.dll"), 4097);
  const Integer registry = lkgFileFormats->GetCount();
  EXPECT_EQ(LKAddExtIOPlugin("lkxfake.dll"), 0);
  EXPECT_EQ(LKAddExtIOPlugin((dir / "lkxfake.dll").string()), 0) << "another folder, same name";
  EXPECT_EQ(LKAddExtIOPlugin((dir / "lkxfake.so").string()), 4099) << "not the same name: \".dll\" differs";
  EXPECT_EQ(LKAddExtIOPlugin((dir / "lkxfake.so").string()), 0);
  EXPECT_TRUE(LKIsExtIOPluginLoaded("/elsewhere/lkxfake.so"));
  EXPECT_FALSE(LKIsExtIOPluginLoaded("LKXFAKE.so"));
  EXPECT_EQ(LKAddExtIOPlugin((dir / "LKXFAKE.so").string()), 4101);
  EXPECT_EQ(lkgFileFormats->GetCount(), registry + 4);
  fs::remove_all(dir);
}

TEST_F(ExtIO, FailedRegistrationsAddNothing) {
  const Integer registry = lkgFileFormats->GetCount();
  EXPECT_EQ(LKAddExtIOPlugin(PluginPath("nosuchplugin")), 0);
  EXPECT_EQ(LKAddExtIOPlugin(PluginPath("lkxfakebroken")), 0) << "one export missing";
  EXPECT_EQ(lkgExtIOPlugins.GetCount(), 0);
  EXPECT_EQ(lkgFileFormats->GetCount(), registry);
}

TEST_F(ExtIO, ALibraryReportingNoFormatsRegistersOneAndStops) {
  EXPECT_EQ(LKAddExtIOPlugin(PluginPath("lkxfakenone")), 4096);
  EXPECT_EQ(lkgExtIOPlugins.GetCount(), 1);
}

TEST_F(ExtIO, ModuleEndReleasesThePluginsAndTheirRecords) {
  AddFake();
  LKIOModuleEnd();
  EXPECT_EQ(lkgExtIOPlugins.GetCount(), 0);
  LKIOModuleStart();
  EXPECT_EQ(LKFileFormatGetInfo(4096), nullptr);
  EXPECT_FALSE(LKIsExtIOPluginLoaded("lkxfake.so"));
  EXPECT_EQ(LKAddExtIOPlugin(PluginPath("lkxfake")), 4097);
}

// ---------------------------------------------------------------------------
// Read bridge

TEST_F(ExtIO, ReadTurnsExchangedRowsIntoTheLibrarysLayout) {
  struct Case {
    const char* What;
    int32_t Pf;
    bool Native;
    int32_t W;
    std::vector<Byte> Rows;  // two rows
    TLKPixelFormat Got;
    std::vector<Byte> Row0, Row1;
    Integer Bits, Samples;
  } const cases[] = {
      {"1-bit", 1, false, 10, {0xA5, 0xC0, 0x0F, 0x40}, lk1g, {0xA5, 0xC0}, {0x0F, 0x40}, 1, 1},
      {"24-bit", 5, false, 2, {1, 2, 3, 4, 5, 6, 7, 8, 9, 10, 11, 12}, lk24RGB,
       {3, 2, 1, 6, 5, 4}, {9, 8, 7, 12, 11, 10}, 8, 3},
      {"24-bit native", 5, true, 1, {1, 2, 3, 4, 5, 6}, lk24RGB, {3, 2, 1}, {6, 5, 4}, 8, 3},
      {"48-bit native", 8, true, 1, {0x12, 0x34, 0x56, 0x78, 0x9A, 0xBC, 1, 2, 3, 4, 5, 6}, lk48RGB,
       {0x34, 0x12, 0x78, 0x56, 0xBC, 0x9A}, {2, 1, 4, 3, 6, 5}, 16, 3},
      {"48-bit to 24: high bytes", 8, false, 1, {0x12, 0x34, 0x56, 0x78, 0x9A, 0xBC, 0xFF, 0, 0x80, 0xFF, 0, 1},
       lk24RGB, {0x9A, 0x56, 0x12}, {0, 0x80, 0xFF}, 16, 3},
      {"8-bit grey to 24", 3, false, 2, {0, 255, 7, 9}, lk24RGB, {0, 0, 0, 255, 255, 255}, {7, 7, 7, 9, 9, 9}, 8, 1},
      {"16-bit grey native", 4, true, 1, {0x10, 0x20, 0x30, 0x40}, lk16g, {0x10, 0x20}, {0x30, 0x40}, 16, 1},
  };
  AddFake();
  for (const Case& c : cases) {
    SCOPED_TRACE(c.What);
    TLKBitmap bitmap;
    params.ISNATIVEPIXELFORMAT = c.Native;
    params.SetColorMapCount(4);
    EXPECT_FALSE(Read(FakeFile(c.W, 2, c.Pf, c.Rows), bitmap));
    ASSERT_EQ(bitmap.GetPixelFormat(), c.Got);
    ASSERT_EQ(bitmap.GetWidth(), c.W);
    ASSERT_EQ(bitmap.GetHeight(), 2);
    EXPECT_EQ(Row(bitmap, 0, c.Row0.size()), c.Row0);
    EXPECT_EQ(Row(bitmap, 1, c.Row1.size()), c.Row1);
    EXPECT_EQ(params.WIDTH, c.W);
    EXPECT_EQ(params.HEIGHT, 2);
    EXPECT_EQ(params.BITSPERSAMPLE, c.Bits);
    EXPECT_EQ(params.SAMPLESPERPIXEL, c.Samples);
    EXPECT_EQ(params.COLORMAPCOUNT, 0);
    EXPECT_TRUE(params.ColorMap.empty());
  }
  EXPECT_EQ(Log().substr(0, 38), "init(0) callbacks wantexif read(0) fin");
}

TEST_F(ExtIO, ReadStartsAtTheStreamPositionAndReportsProgress) {
  AddFake();
  TLKBitmap bitmap;
  const std::vector<Byte> junk(100, 0xEE);
  EXPECT_FALSE(Read(FakeFile(1, 1, 5, {10, 20, 30}, 0, std::vector<Byte>(40, 0)), bitmap, false, junk));
  ASSERT_EQ(bitmap.GetWidth(), 1);
  EXPECT_EQ(Row(bitmap, 0, 3), (std::vector<Byte>{30, 20, 10}));
  EXPECT_EQ(percents, (std::vector<Integer>{10, 100}));
}

TEST_F(ExtIO, ParametersOnlyReadLeavesTheBitmap) {
  AddFake();
  TLKBitmap bitmap(3, 3, lk8g);
  EXPECT_FALSE(Read(FakeFile(7, 5, 8, {}, kNoRows), bitmap, true));
  EXPECT_EQ(Log(), "init(0) callbacks wantexif read(-1) fin");
  EXPECT_EQ(bitmap.GetWidth(), 3);
  EXPECT_EQ(bitmap.GetPixelFormat(), lk8g);
  EXPECT_EQ(params.WIDTH, 7);
  EXPECT_EQ(params.HEIGHT, 5);
  EXPECT_EQ(params.BITSPERSAMPLE, 16);
  EXPECT_EQ(params.SAMPLESPERPIXEL, 3);
}

TEST_F(ExtIO, ReadWithoutAUsablePictureSetsTheAbortFlag) {
  struct Case {
    const char* What;
    std::vector<Byte> Data;
  } const cases[] = {
      {"no rows", FakeFile(1, 1, 5, {1, 2, 3}, kNoRows)},
      {"width 0", FakeFile(1, 1, 5, {1, 2, 3}, kZeroWidth)},
      {"height 0", FakeFile(1, 0, 5, {1, 2, 3})},
      {"palette format", FakeFile(1, 1, 2, {1})},
      {"format 0", FakeFile(1, 1, 0, {1})},
      {"format 10", FakeFile(1, 1, 10, {1})},
      {"format -1", FakeFile(1, 1, -1, {1})},
      {"rows cut short", FakeFile(2, 2, 5, {1, 2, 3})},
      {"not the plug-in's format", std::vector<Byte>(64, 'x')},
      {"empty input", {}},
  };
  AddFake();
  for (const Case& c : cases) {
    SCOPED_TRACE(c.What);
    TLKBitmap bitmap(2, 1, lk8g);
    EXPECT_TRUE(Read(c.Data, bitmap));
    EXPECT_EQ(bitmap.GetWidth(), 2);
    EXPECT_EQ(bitmap.GetPixelFormat(), lk8g);
  }
  TLKBitmap bitmap;
  EXPECT_TRUE(Read(FakeFile(1, 1, 5, {1, 2, 3}), bitmap, false, {}, 4200)) << "no plug-in of that type";
}

TEST_F(ExtIO, ThumbnailRequestWithoutThumbnailReadsThePictureAfterAParametersPass) {
  AddFake();
  TLKBitmap bitmap;
  params.SetGetThumbnail(true);
  EXPECT_FALSE(Read(FakeFile(1, 1, 5, {1, 2, 3}), bitmap, false, std::vector<Byte>(7, 0)));
  EXPECT_EQ(Log(), "init(0) callbacks wantexif read(-1) fin init(0) callbacks wantexif read(0) fin");
  EXPECT_TRUE(params.GETTHUMBNAIL);
  ASSERT_EQ(bitmap.GetWidth(), 1);
  EXPECT_EQ(Row(bitmap, 0, 3), (std::vector<Byte>{3, 2, 1}));
}

TEST_F(ExtIO, AThumbnailInTheInputsExifEndsTheReadAfterTheParametersPass) {
  AddFake();
  TLKBitmap bitmap;
  params.SetGetThumbnail(true);
  const std::vector<Byte> file = FakeFile(1, 1, 5, {1, 2, 3}, kWantExif, ExifTiff(300, 2));
  EXPECT_FALSE(Read(file, bitmap, false, std::vector<Byte>(50, 'I')));
  EXPECT_EQ(Log(), "init(0) callbacks wantexif read(-1) fin");
  EXPECT_TRUE(params.GETTHUMBNAIL);
  ASSERT_EQ(bitmap.GetWidth(), 4);
  ASSERT_EQ(bitmap.GetHeight(), 3);
  const TRGB c = bitmap.GetPixels_lk24RGB(2, 1);
  EXPECT_EQ((std::vector<int>{c.r, c.g, c.b}), (std::vector<int>{100, 70, 9}));
}

TEST_F(ExtIO, ExifOfTheInputIsReadWhenThePluginAsksForIt) {
  struct Case {
    const char* What;
    int32_t Options;
    std::vector<Byte> Between;
    bool HasExif;
    Integer Dpi;
  } const cases[] = {
      {"pixels per inch", kWantExif, ExifTiff(300, 2), true, 300},
      {"pixels per centimetre", kWantExif, ExifTiff(118, 3), true, 299},
      {"not asked for", 0, ExifTiff(300, 2), false, 11},
      {"none there", kWantExif, std::vector<Byte>(30, 0), false, 11},
  };
  AddFake();
  for (const Case& c : cases) {
    SCOPED_TRACE(c.What);
    TIOParamsVals fresh;
    params.Assign(&fresh);
    params.SetDpiX(11);
    params.SetDpiY(11);
    TLKBitmap bitmap;
    EXPECT_FALSE(Read(FakeFile(1, 1, 5, {1, 2, 3}, c.Options, c.Between), bitmap, false, std::vector<Byte>(9, 0)));
    EXPECT_EQ(params.EXIF_HASEXIF, c.HasExif);
    EXPECT_EQ(params.EXIF_MAKE, c.HasExif ? "Velmoran Optics" : "");
    EXPECT_EQ(params.DPIX, c.Dpi);
    EXPECT_EQ(params.DPIY, c.Dpi);
    ASSERT_EQ(bitmap.GetWidth(), 1) << "the picture is read after the metadata";
    EXPECT_EQ(Row(bitmap, 0, 3), (std::vector<Byte>{3, 2, 1}));
  }
}

// ---------------------------------------------------------------------------
// Parameter and progress callbacks

TEST_F(ExtIO, ParameterValuesAreCutToTheBufferSize) {
  const String a4095(4095, 'a'), a4094(4094, 'a');
  struct Case {
    const char* What;
    String FileName, Seen;
  } const cases[] = {
      {"short", "pic.fkp", "pic.fkp"},
      {"empty", "", ""},
      {"fits exactly", a4095, a4095},
      {"one byte too long", a4095 + "b", a4095},
      {"far too long", String(100000, 'a'), a4095},
      {"no split character", a4094 + "\xC3\xA9", a4094},
  };
  AddFake();
  for (const Case& c : cases) {
    SCOPED_TRACE(c.What);
    TLKBitmap bitmap;
    params.FILENAME = c.FileName;
    params.TIFF_DOCUMENTNAME = "untouched";
    EXPECT_FALSE(Read(FakeFile(1, 1, 1, {0}), bitmap));
    EXPECT_EQ(params.TIFF_DOCUMENTNAME, c.Seen);
  }
}

TEST_F(ExtIO, AThrowingProgressEventDoesNotLeaveTheCallback) {
  AddFake();
  TMemoryStream s;
  Fill(s, {}, FakeFile(1, 1, 5, {1, 2, 3}));
  TLKBitmap bitmap;
  params.FILETYPE = 4096;
  std::atomic<bool> abort{true};
  TProgressRec progress;
  progress.AbortFlag = &abort;
  progress.OnProgress = [](TObject*, Integer) { throw Exception("stop"); };
  LKExtIOPluginRead(s, bitmap, params, progress, false);
  EXPECT_FALSE(abort);
  EXPECT_EQ(bitmap.GetWidth(), 1);
}

// ---------------------------------------------------------------------------
// Probe

TEST_F(ExtIO, ProbeRecognisesTheFormatFromTheStreamPositionWithoutARecord) {
  AddFake();
  struct Case {
    const char* What;
    std::vector<Byte> Prefix, Data;
    bool Is;
  } const cases[] = {
      {"at the start", {}, FakeFile(1, 1, 5, {1, 2, 3}), true},
      {"after other bytes", std::vector<Byte>(33, 'L'), FakeFile(1, 1, 5, {1, 2, 3}), true},
      {"other bytes", {}, std::vector<Byte>(40, 'L'), false},
      {"too short", {}, {'L', 'K', 'X', 'F'}, false},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.What);
    TMemoryStream s;
    Fill(s, c.Prefix, c.Data);
    ClearLog();
    EXPECT_EQ(LKExtIOPluginTry(s, 4096), c.Is);
    // The parameter getter answers an empty text when there is no record.
    EXPECT_EQ(Log(), "init(0) callbacks try[] fin");
  }
  TMemoryStream s;
  Fill(s, {}, FakeFile(1, 1, 5, {1, 2, 3}));
  EXPECT_FALSE(LKExtIOPluginTry(s, 4300));
}

// ---------------------------------------------------------------------------
// Write bridge

TEST_F(ExtIO, WriteHandsTheRowsOverInTheExchangeLayout) {
  struct Case {
    const char* What;
    TLKPixelFormat Pf;
    Integer W;
    std::vector<Byte> Stored0, Stored1, Sent;
  } const cases[] = {
      {"24-bit", lk24RGB, 2, {1, 2, 3, 4, 5, 6}, {7, 8, 9, 10, 11, 12}, {3, 2, 1, 6, 5, 4, 9, 8, 7, 12, 11, 10}},
      {"1-bit", lk1g, 9, {0xA5, 0x80}, {0x5A, 0x00}, {0xA5, 0x80, 0x5A, 0x00}},
      {"48-bit", lk48RGB, 1, {1, 2, 3, 4, 5, 6}, {7, 8, 9, 10, 11, 12}, {2, 1, 4, 3, 6, 5, 8, 7, 10, 9, 12, 11}},
  };
  AddFake();
  for (const Case& c : cases) {
    SCOPED_TRACE(c.What);
    TLKBitmap bitmap(c.W, 2, c.Pf);
    std::memcpy(bitmap.GetScanLine(0), c.Stored0.data(), c.Stored0.size());
    std::memcpy(bitmap.GetScanLine(1), c.Stored1.data(), c.Stored1.size());
    TMemoryStream s;
    s.Write("head", 4);
    params.FILETYPE = 4096;
    std::atomic<bool> abort{true};
    TProgressRec progress;
    progress.AbortFlag = &abort;
    ClearLog();
    LKExtIOPluginWrite(s, bitmap, params, progress);
    EXPECT_FALSE(abort);
    EXPECT_EQ(Log(), "init(0) callbacks set(0) set(1) set(2) set(4) write(" + std::to_string(c.W) + ",2," +
                         std::to_string(int(c.Pf)) + ") fin");
    std::vector<Byte> expected = {'h', 'e', 'a', 'd'};
    const std::vector<Byte> file = FakeFile(c.W, 2, c.Pf, c.Sent);
    expected.insert(expected.end(), file.begin(), file.end());
    EXPECT_EQ(Bytes(s), expected);

    // And back through the read bridge to the same picture.
    TLKBitmap back;
    params.ISNATIVEPIXELFORMAT = true;
    EXPECT_FALSE(Read(file, back));
    ASSERT_EQ(back.GetPixelFormat(), c.Pf);
    EXPECT_EQ(Row(back, 0, c.Stored0.size()), c.Stored0);
    EXPECT_EQ(Row(back, 1, c.Stored1.size()), c.Stored1);
  }
}

TEST_F(ExtIO, WriteRefusesWhatItCannotHandOver) {
  AddFake();
  TLKBitmap palette(2, 2, lk8p), empty;
  struct Case {
    const char* What;
    TLKBitmap* Bitmap;
    Integer Type;
  } const cases[] = {{"palette picture", &palette, 4096}, {"empty picture", &empty, 4096}, {"no plug-in", &palette, 4300}};
  for (const Case& c : cases) {
    SCOPED_TRACE(c.What);
    TMemoryStream s;
    params.FILETYPE = c.Type;
    std::atomic<bool> abort{false};
    TProgressRec progress;
    progress.AbortFlag = &abort;
    ClearLog();
    LKExtIOPluginWrite(s, *c.Bitmap, params, progress);
    EXPECT_TRUE(abort);
    EXPECT_EQ(s.GetSize(), 0);
    EXPECT_EQ(Log(), "");
  }
}

TEST_F(ExtIO, FailedReadsAndWritesSayWhy) {
  AddFake();
  TLKBitmap bitmap;
  EXPECT_TRUE(Read(FakeFile(1, 1, 5, {1, 2, 3}, kNoRows), bitmap));
  EXPECT_NE(note.Get().find("no picture came back"), String::npos) << note.Get();
  EXPECT_TRUE(Read(FakeFile(1, 1, 5, {1, 2, 3}), bitmap, false, {}, 4200));
  EXPECT_NE(note.Get().find("no plug-in reads file type 4200"), String::npos) << note.Get();

  TLKBitmap palette(2, 2, lk8p);
  for (Integer type : {4096, 4300}) {
    TMemoryStream s;
    params.FILETYPE = type;
    std::atomic<bool> abort{false};
    TLKAbortNote reason;
    TProgressRec progress;
    progress.AbortFlag = &abort;
    progress.AbortNote = &reason;
    LKExtIOPluginWrite(s, palette, params, progress);
    EXPECT_TRUE(abort);
    EXPECT_EQ(reason.Get().rfind("plug-in: ", 0), 0u) << reason.Get();
  }
}

// ---------------------------------------------------------------------------
// Lock

TEST_F(ExtIO, FormatsWithoutTheThreadSafeFlagRunOneInstanceAtATime) {
  AddFake();
  struct Case {
    Integer Type;
    bool Serialised;
  } const cases[] = {{4096, true}, {4097, false}};
  const std::vector<Byte> file = FakeFile(1, 1, 5, {1, 2, 3});
  for (const Case& c : cases) {
    SCOPED_TRACE(c.Type);
    // While the first read is inside the plug-in (in its progress event), a
    // second read of the same format starts on another thread.
    std::future<void> second;
    bool finishedMeanwhile = false;
    auto readOnOtherThread = [&] {
      TMemoryStream s;
      Fill(s, {}, file);
      TLKBitmap b;
      TIOParamsVals p;
      p.FILETYPE = c.Type;
      TProgressRec progress;
      LKExtIOPluginRead(s, b, p, progress, false);
    };
    TMemoryStream s;
    Fill(s, {}, file);
    TLKBitmap bitmap;
    params.FILETYPE = c.Type;
    TProgressRec progress;
    progress.OnProgress = [&](TObject*, Integer Percent) {
      if (Percent != 10 || second.valid()) return;
      second = std::async(std::launch::async, readOnOtherThread);
      // A serialised second read cannot finish before this one leaves the
      // plug-in, so a short wait tells; an unserialised one finishes.
      const auto wait = c.Serialised ? std::chrono::milliseconds(100) : std::chrono::seconds(30);
      finishedMeanwhile = second.wait_for(wait) == std::future_status::ready;
    };
    LKExtIOPluginRead(s, bitmap, params, progress, false);
    ASSERT_TRUE(second.valid());
    second.get();
    EXPECT_EQ(finishedMeanwhile, !c.Serialised);
  }
}

}  // namespace
