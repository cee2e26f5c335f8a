// The I/O component's dispatch: what each road reports when the format is
// not there, the extension table of the saves, the registry road (with the
// default resolution and the alpha drop of every load), the parameter
// reads, the camera RAW road, the Save As road to JPEG through the real
// codec, the dialogs through a scripted stand-in and the resolution fixes.
#include <gtest/gtest.h>

#include <chrono>
#include <cstring>
#include <functional>
#include <memory>
#include <stdexcept>
#include <thread>

#include "core/lkbitmap.h"
#include "dialogs/lkiodialogs.h"
#include "io/lkformatrow.h"
#include "io/lkfileformats.h"
#include "io/lkparams.h"
#include "io/lumerakio.h"
#include "platform/classes.h"
#include "platform/graphics.h"
#include "tests/io/io_kit.h"

using namespace iokit;

namespace {

// ---------------------------------------------------------------------------
// A registered format that is not built in ("FAK", type 5000): its reader
// makes a 2 x 2 picture without resolution and notes whether the picture
// it was handed still had an alpha channel; its writer writes "REG"; its
// probe accepts streams starting with "FAK!".

constexpr Integer kFake = 5000;
bool gReaderSawAlpha = false;
bool gReaderThrows = false;
int gRegistryWrites = 0;

void FakeRead(TStream&, TLKBitmap& B, TIOParamsVals& P, TProgressRec& Pr, bool) {
  if (gReaderThrows) throw std::runtime_error("reader failed");
  gReaderSawAlpha = B.GetHasAlphaChannel();
  B.Allocate(2, 2, lk24RGB);
  P.WIDTH = 2;
  P.HEIGHT = 2;
  P.DPIX = 0;
  P.DPIY = 1;
  if (Pr.OnProgress) Pr.OnProgress(Pr.Sender, 50);
}

void FakeWrite(TStream& S, TLKBitmap&, TIOParamsVals&, TProgressRec&) {
  ++gRegistryWrites;
  S.WriteBuffer("REG", 3);
}

bool FakeProbe(TStream& S, Integer) {
  const Int64 pos = S.Position();
  char b[4] = {};
  const bool ok = S.Read(b, 4) == 4 && std::string(b, 4) == "FAK!";
  S.Seek(pos, soBeginning);
  return ok;
}

void RegisterFake(bool CanRead = true, bool CanWrite = true, const char* Exts = "FAK", Integer Type = kFake) {
  TLKFileFormatInfo info;
  info.FormatType = Type;
  info.FormatName = "Fake";
  info.ExtensionList = Exts;
  info.ReadProc = CanRead ? FakeRead : nullptr;
  info.WriteProc = CanWrite ? FakeWrite : nullptr;
  info.ProbeProc = FakeProbe;
  LKFileFormatAdd(info);
}

// Built-in codecs standing in: every reader and writer notes its name.
std::vector<std::string> gCalls;

void NamingEntries(TLKFormatRow& R) {
  R.Read = nullptr;
  R.Write = nullptr;
  switch (R.Type) {
    case lkftJPEG:
      R.Read = [](TLKFormatJob& J) {
        gCalls.push_back(J.ParamsOnly ? "jpeg params" : "jpeg read");
        if (!J.ParamsOnly) J.Bitmap->Allocate(2, 2, lk24RGB);
        J.Params.DPIX = J.Params.DPIY = 0;
      };
      R.Write = [](TLKFormatJob&) { gCalls.push_back("jpeg"); };
      break;
    case lkftTIFF: R.Write = [](TLKFormatJob&) { gCalls.push_back("tiff"); }; break;
    case lkftTGA: R.Write = [](TLKFormatJob&) { gCalls.push_back("tga"); }; break;
    case lkftJP2: R.Write = [](TLKFormatJob&) { gCalls.push_back("jp2"); }; break;
    case lkftJ2K: R.Write = [](TLKFormatJob&) { gCalls.push_back("j2k"); }; break;
    case lkftPXM: R.Write = [](TLKFormatJob&) { gCalls.push_back("pxm"); }; break;
    case lkftPNG: R.Write = [](TLKFormatJob&) { gCalls.push_back("png"); }; break;
    case lkftWBMP:
      R.Read = [](TLKFormatJob& J) {
        gCalls.push_back("wbmp read");
        J.Bitmap->Allocate(2, 2, lk1g);
      };
      break;
    case lkftRAW:
      R.Read = [](TLKFormatJob& J) {
        gCalls.push_back("raw read");
        J.Bitmap->Allocate(2, 2, lk24RGB);
        J.Bitmap->GetAlphaChannel();
        J.Params.DPIX = J.Params.DPIY = 0;
        if (J.Progress.OnProgress) J.Progress.OnProgress(J.Progress.Sender, 40);
      };
      break;
    default: break;
  }
}

class Dispatch : public ::testing::Test {
 protected:
  void SetUp() override {
    gCalls.clear();
    gReaderSawAlpha = false;
    gReaderThrows = false;
    gRegistryWrites = 0;
  }
  FreshRegistry registry;
  TempDir dir;
};

// A JPEG of a 16 x 8 gradient made by the library's own writer.
std::string MakeJpeg() {
  TLumerakIO io;
  TLKBitmap* b = io.GetLKBitmap();
  b->Allocate(16, 8, lk24RGB);
  for (Integer y = 0; y < 8; ++y) {
    auto* row = static_cast<Byte*>(b->GetScanLine(y));
    for (Integer x = 0; x < 16 * 3; ++x) row[x] = Byte(x * 5 + y * 20);
  }
  TMemoryStream s;
  io.SaveToStreamJpeg(&s);
  EXPECT_FALSE(io.GetAborted());
  return std::string(static_cast<const char*>(s.Memory()), size_t(s.Size()));
}

// ---------------------------------------------------------------------------
// What each road reports when the format is not available: a load that
// loads nothing never leaves the abort flag clear, also where it starts
// nothing (no progress, no finish)

TEST_F(Dispatch, EachRoadReportsAMissingFormatAsItShould) {
  LKFileFormatRemove(20);
  RegisterFake(false, false, "NRD");  // a record that can neither read nor write
  const String some = dir.File("some.nrd");
  WriteAll(some, "FAK! data");
  WriteAll(dir.File("plain.xyz"), "xyz");
  WriteAll(dir.File("c.raw"), "raw");
  struct Row {
    const char* Situation;
    std::function<void(TLumerakIO&)> Act;
    bool Aborted;
    int Finishes;
  };
  TMemoryStream unknown;
  unknown.WriteBuffer("nothing known", 13);
  TMemoryStream fakeContent;
  fakeContent.WriteBuffer("FAK! data", 9);
  const std::vector<Row> rows = {
      {"LoadFromFile: extension not registered",
       [&](TLumerakIO& io) { io.LoadFromFile(dir.File("plain.xyz")); }, true, 0},
      {"LoadFromFile: empty name", [](TLumerakIO& io) { io.LoadFromFile(""); }, true, 1},
      {"LoadFromFile: record without reader", [&](TLumerakIO& io) { io.LoadFromFile(some); }, true, 1},
      {"LoadFromFileFormat: record without reader", [&](TLumerakIO& io) { io.LoadFromFileFormat(some, kFake); },
       true, 1},
      {"LoadFromStream: record without reader",
       [&](TLumerakIO& io) {
         fakeContent.Seek(0, soBeginning);
         io.LoadFromStream(&fakeContent);
       },
       true, 1},
      {"LoadFromStreamFormat: record without reader",
       [&](TLumerakIO& io) { io.LoadFromStreamFormat(&fakeContent, kFake); }, true, 1},
      {"LoadFromFileFormat: type not registered", [&](TLumerakIO& io) { io.LoadFromFileFormat(some, 7777); },
       true, 0},
      {"LoadFromStreamFormat: type not registered", [&](TLumerakIO& io) { io.LoadFromStreamFormat(&unknown, 7777); },
       true, 0},
      {"LoadFromBuffer: type not registered", [](TLumerakIO& io) { io.LoadFromBuffer("abc", 3, 7777); }, true, 0},
      {"LoadFromFileFormat: headerless raw pixels are not registered",
       [&](TLumerakIO& io) { io.LoadFromFileFormat(some, lkftBMPRAW); }, true, 0},
      {"LoadFromStream: no stream", [](TLumerakIO& io) { io.LoadFromStream(nullptr); }, true, 0},
      {"LoadFromFileAuto: neither content nor extension known",
       [&](TLumerakIO& io) { io.LoadFromFileAuto(dir.File("plain.xyz")); }, true, 0},
      {"LoadFromStream: content not recognised",
       [&](TLumerakIO& io) {
         unknown.Seek(0, soBeginning);
         io.LoadFromStream(&unknown);
       },
       true, 0},
      {"SyncLoadFromStreamRAW: no record lists RAW", [&](TLumerakIO& io) { io.SyncLoadFromStreamRAW(&unknown); },
       true, 0},
      {"LoadFromFileRAW: no record lists RAW", [&](TLumerakIO& io) { io.LoadFromFileRAW(dir.File("c.raw")); },
       true, 0},
      {"SaveToFile: empty name", [](TLumerakIO& io) { io.SaveToFile(""); }, true, 0},
      {"SaveToFile: extension nobody writes", [&](TLumerakIO& io) { io.SaveToFile(dir.File("out.xyz")); }, true, 0},
      {"SaveToFile: no extension", [&](TLumerakIO& io) { io.SaveToFile(dir.File("noext")); }, true, 0},
      {"SaveToFile: registered without writer", [&](TLumerakIO& io) { io.SaveToFile(dir.File("out.nrd")); }, true,
       0},
      {"SaveToStream: type nobody writes", [&](TLumerakIO& io) { io.SaveToStream(&unknown, 7777); }, true, 0},
      {"SaveToStream: camera RAW has no writer", [&](TLumerakIO& io) { io.SaveToStream(&unknown, 20); }, true, 0},
      {"ParamsFromFile: unreadable file", [&](TLumerakIO& io) { io.ParamsFromFile(dir.File("absent.jpg")); }, true,
       1},
      {"ParamsFromStream: unrecognised content",
       [&](TLumerakIO& io) {
         unknown.Seek(0, soBeginning);
         io.ParamsFromStream(&unknown);
       },
       false, 1},
  };
  for (const Row& row : rows) {
    SCOPED_TRACE(row.Situation);
    TLumerakIO io;
    io.GetIOParams()->FILETYPE = 42;
    Recorder rec(io);
    row.Act(io);
    EXPECT_EQ(io.GetAborted(), row.Aborted);
    EXPECT_EQ(rec.Finishes, row.Finishes);
    // Progress is reported only as the finish's 100.
    EXPECT_EQ(rec.Progresses(), row.Finishes);
    // A road that started nothing still says why it refused.
    if (row.Aborted && row.Finishes == 0) EXPECT_FALSE(io.GetAbortReason().empty());
  }
  // Nothing was created by the refused saves.
  for (const String& n : dir.Names()) EXPECT_TRUE(n == "some.nrd" || n == "plain.xyz" || n == "c.raw") << n;
}

TEST_F(Dispatch, ParameterReadsGiveTypeZeroWhenTheFileIsUnreadable) {
  TLumerakIO io;
  io.ParamsFromFile(dir.File("absent.jpg"));
  EXPECT_EQ(io.GetIOParams()->FILETYPE, 0);
  io.ParamsFromFileFormat(dir.File("absent.jpg"), 3);
  EXPECT_EQ(io.GetIOParams()->FILETYPE, 0);
  EXPECT_EQ(io.GetIOParams()->FILENAME, dir.File("absent.jpg"));
}

// ---------------------------------------------------------------------------
// Saves by extension

TEST_F(Dispatch, SaveToFileChoosesTheWriterByTheLowerCasedExtension) {
  CodecSwap swap(NamingEntries);
  RegisterFake();
  struct Row {
    const char* Name;
    const char* Writer;  // "" : none ran
    bool Aborted;
    int Finishes;
  } rows[] = {
      {"a.JPG", "jpeg", false, 1},  {"a.jpeg", "jpeg", false, 1}, {"a.Jif", "jpeg", false, 1},
      {"a.jp2", "jp2", false, 1},   {"a.j2c", "j2k", false, 1},   {"a.TIFF", "tiff", false, 1},
      {"a.g3n", "tiff", false, 1},  {"a.win", "tga", false, 1},   {"a.pgm", "pxm", false, 1},
      {"a.png", "png", false, 1},
      // Extensions of built-in records missing from the fixed rows go to
      // their own format's save, never into an empty file.
      {"a.xif", "tiff", false, 1},  {"a.pix", "tga", false, 1},
      // PostScript and PDF output is not part of this build.
      {"a.ps", "", true, 1},        {"a.pdf", "", true, 1},
      // A registered format: its own writer.
      {"a.fak", "registry", false, 1},
  };
  for (const Row& r : rows) {
    SCOPED_TRACE(r.Name);
    gCalls.clear();
    gRegistryWrites = 0;
    TLumerakIO io;
    io.GetLKBitmap()->Allocate(2, 2, lk24RGB);
    Recorder rec(io);
    io.SaveToFile(dir.File(r.Name));
    const std::string ran = gRegistryWrites ? "registry" : gCalls.empty() ? "" : gCalls[0];
    EXPECT_EQ(ran, r.Writer);
    EXPECT_EQ(io.GetAborted(), r.Aborted);
    EXPECT_EQ(rec.Finishes, r.Finishes);
    if (!r.Aborted) EXPECT_EQ(io.GetIOParams()->FILENAME, dir.File(r.Name));
  }
  EXPECT_EQ(ReadAll(dir.File("a.fak")), "REG");
}

TEST_F(Dispatch, SaveToStreamGoesByTypeAndThenThroughTheRegistry) {
  CodecSwap swap(NamingEntries);
  RegisterFake();
  TLumerakIO io;
  io.GetLKBitmap()->Allocate(2, 2, lk8g);
  TMemoryStream s;
  io.SaveToStream(&s, 11);
  EXPECT_EQ(gCalls, std::vector<std::string>{"tga"});
  io.SaveToStream(&s, kFake);
  EXPECT_FALSE(io.GetAborted());
  EXPECT_EQ(io.GetIOParams()->FILETYPE, kFake);
  EXPECT_EQ(io.GetLKBitmap()->GetPixelFormat(), lk24RGB);
  EXPECT_EQ(gRegistryWrites, 1);
}

// ---------------------------------------------------------------------------
// Loads by extension, type and content

TEST_F(Dispatch, LoadsReachTheBuiltInOperationOfTheType) {
  CodecSwap swap(NamingEntries);
  WriteAll(dir.File("a.JPG"), "x");
  WriteAll(dir.File("w.wbmp"), "x");
  TLumerakIO io;
  io.LoadFromFile(dir.File("a.JPG"));
  io.LoadFromFile(dir.File("w.wbmp"));
  EXPECT_EQ(gCalls, (std::vector<std::string>{"jpeg read", "wbmp read"}));
  EXPECT_EQ(io.GetIOParams()->FILETYPE, 16);

  // WBMP is never found by content, only by type.
  gCalls.clear();
  TMemoryStream s;
  s.WriteBuffer("\0\0\2\2\0\0", 6);
  s.Seek(0, soBeginning);
  io.LoadFromStream(&s);
  EXPECT_TRUE(gCalls.empty());
  io.LoadFromStreamFormat(&s, 16);
  EXPECT_EQ(gCalls, std::vector<std::string>{"wbmp read"});
}

// Every load fills in a missing resolution, the registry's roads included
// (a picture from a plug-in without resolution would otherwise show at 0
// dpi), and drops an alpha channel the previous picture had.
TEST_F(Dispatch, EveryLoadRoadFillsInTheDefaultResolutionAndDropsTheOldAlpha) {
  CodecSwap swap(NamingEntries);
  RegisterFake();
  const String fak = dir.File("p.fak");
  WriteAll(fak, "FAK! data");
  const std::string fakBytes = "FAK! data";
  struct Row {
    const char* Road;
    std::function<void(TLumerakIO&)> Load;
    bool Registry;
  };
  const std::vector<Row> rows = {
      {"LoadFromFile", [&](TLumerakIO& io) { io.LoadFromFile(fak); }, true},
      {"LoadFromFileFormat", [&](TLumerakIO& io) { io.LoadFromFileFormat(fak, kFake); }, true},
      {"LoadFromFileAuto", [&](TLumerakIO& io) { io.LoadFromFileAuto(fak); }, true},
      {"LoadFromStream",
       [&](TLumerakIO& io) {
         TMemoryStream s;
         s.WriteBuffer(fakBytes.data(), Integer(fakBytes.size()));
         s.Seek(0, soBeginning);
         io.LoadFromStream(&s);
       },
       true},
      {"LoadFromStreamFormat",
       [&](TLumerakIO& io) {
         TMemoryStream s;
         io.LoadFromStreamFormat(&s, kFake);
       },
       true},
      {"LoadFromBuffer", [&](TLumerakIO& io) { io.LoadFromBuffer(fakBytes.data(), 9, 0); }, true},
      {"built-in JPEG",
       [&](TLumerakIO& io) {
         TMemoryStream s;
         io.LoadFromStreamJpeg(&s);
       },
       false},
      {"built-in camera RAW",
       [&](TLumerakIO& io) {
         TMemoryStream s;
         io.SyncLoadFromStreamRAW(&s);
       },
       false},
  };
  for (const Row& row : rows) {
    SCOPED_TRACE(row.Road);
    gReaderSawAlpha = true;
    TLumerakIO io;
    io.GetLKBitmap()->Allocate(4, 4, lk24RGB);
    io.GetLKBitmap()->GetAlphaChannel();
    Recorder rec(io);
    row.Load(io);
    EXPECT_FALSE(io.GetAborted());
    EXPECT_EQ(rec.Finishes, 1);
    EXPECT_EQ(io.GetIOParams()->DPIX, gDefaultDPIX);
    EXPECT_EQ(io.GetIOParams()->DPIY, gDefaultDPIY);
    if (row.Registry) {
      EXPECT_FALSE(gReaderSawAlpha);
      EXPECT_EQ(io.GetIOParams()->FILETYPE, kFake);
    }
  }
}

TEST_F(Dispatch, RegistryReaderExceptionsAbortOnTheFileRoadAndPassElsewhere) {
  RegisterFake();
  const String fak = dir.File("p.fak");
  WriteAll(fak, "FAK!");
  gReaderThrows = true;
  {
    TLumerakIO io;
    Recorder rec(io);
    EXPECT_NO_THROW(io.LoadFromFile(fak));
    EXPECT_TRUE(io.GetAborted());
    EXPECT_EQ(rec.Finishes, 1);
  }
  {
    TLumerakIO io;
    Recorder rec(io);
    EXPECT_THROW(io.LoadFromFileFormat(fak, kFake), std::runtime_error);
    EXPECT_EQ(rec.Finishes, 1);
    EXPECT_TRUE(io.GetAborted());
  }
}

// The memory block may be freed as soon as the call returns, also when the
// load runs on a worker.
TEST_F(Dispatch, AnAsynchronousBufferLoadNeverReadsTheCallersBlockLater) {
  const std::string jpeg = MakeJpeg();
  TLKBitmap outside;
  TLumerakIO io;
  io.SetAttachedLKBitmap(&outside);
  io.SetAsyncEnabled(true);
  {
    auto block = std::make_unique<std::string>(jpeg);
    io.LoadFromBuffer(block->data(), Integer(block->size()), 3);
    block->assign(block->size(), '\0');
  }
  io.WaitThreads(false);
  EXPECT_FALSE(io.GetAborted());
  EXPECT_EQ(outside.GetWidth(), 16);
  EXPECT_EQ(outside.GetHeight(), 8);
}

// ---------------------------------------------------------------------------
// Parameter reads

TEST_F(Dispatch, ParameterReadsCompareContentWithTheExtension) {
  const std::string jpeg = MakeJpeg();
  WriteAll(dir.File("p.jpg"), jpeg);
  WriteAll(dir.File("p.png"), jpeg);
  TLumerakIO io;
  Recorder rec(io);
  io.ParamsFromFile(dir.File("p.jpg"));
  EXPECT_EQ(io.GetIOParams()->FILETYPE, 3);
  EXPECT_EQ(io.GetIOParams()->WIDTH, 16);
  EXPECT_TRUE(io.GetLKBitmap()->IsEmpty());  // only the parameters were read
  io.ParamsFromFile(dir.File("p.png"));
  EXPECT_EQ(io.GetIOParams()->FILETYPE, 0);
  EXPECT_EQ(rec.Finishes, 2);
}

// ---------------------------------------------------------------------------
// Camera RAW

TEST_F(Dispatch, TheBuiltInCameraRAWRoadNamesTheFileAndTheType) {
  CodecSwap swap(NamingEntries);
  WriteAll(dir.File("c.nef"), "raw");
  TLumerakIO io;
  io.SetAutoAdjustDPI(true);
  Recorder rec(io);
  io.LoadFromFile(dir.File("c.nef"));
  EXPECT_EQ(gCalls, std::vector<std::string>{"raw read"});
  EXPECT_EQ(io.GetIOParams()->FILETYPE, 20);
  EXPECT_EQ(io.GetIOParams()->FILENAME, dir.File("c.nef"));
  EXPECT_EQ(io.GetIOParams()->DPIX, gDefaultDPIX);
  EXPECT_EQ(rec.Events, (std::vector<std::string>{"p40", "p100", "finish"}));
}

TEST_F(Dispatch, WithoutTheBuiltInRecordTheRAWRoadTakesTheFormatListingRAW) {
  CodecSwap swap(NamingEntries);
  const String name = dir.File("c.raw");
  WriteAll(name, "raw");
  LKFileFormatRemove(20);
  {
    // Nobody lists "RAW": the file is opened and named, nothing else.
    TLumerakIO io;
    io.GetLKBitmap()->Allocate(3, 3, lk24RGB);
    Recorder rec(io);
    io.LoadFromFileRAW(name);
    EXPECT_TRUE(rec.Events.empty());
    EXPECT_EQ(io.GetIOParams()->FILENAME, name);
    EXPECT_EQ(io.GetLKBitmap()->GetWidth(), 3);
  }
  RegisterFake(true, false, "RAW", 4096);
  {
    TLumerakIO io;
    Recorder rec(io);
    io.LoadFromFileRAW(name);
    EXPECT_TRUE(gCalls.empty());  // not the built-in reader
    EXPECT_EQ(io.GetIOParams()->FILETYPE, 4096);
    EXPECT_EQ(io.GetIOParams()->FILENAME, name);
    EXPECT_EQ(rec.Finishes, 1);
  }
}

// ---------------------------------------------------------------------------
// Save As to JPEG through the real codec

TEST_F(Dispatch, SaveAsJpegWritesAPictureThatLoadsBack) {
  TLumerakIO io;
  TLKBitmap* b = io.GetLKBitmap();
  b->Allocate(8, 8, lk8g);
  for (Integer y = 0; y < 8; ++y) std::memset(b->GetScanLine(y), 40 + y * 20, 8);
  const String name = dir.File("out.JPG");
  WriteAll(name, "previous");
  Recorder rec(io);
  io.SaveToFile(name);
  EXPECT_FALSE(io.GetAborted());
  EXPECT_EQ(rec.Events.back(), "finish");
  EXPECT_EQ(b->GetPixelFormat(), lk24RGB);  // converted for good
  EXPECT_EQ(io.GetIOParams()->FILENAME, name);
  EXPECT_EQ(dir.Names(), std::vector<String>{"out.JPG"});

  TLumerakIO back;
  back.LoadFromFile(name);
  ASSERT_FALSE(back.GetAborted());
  EXPECT_EQ(back.GetIOParams()->FILETYPE, 3);
  ASSERT_EQ(back.GetLKBitmap()->GetWidth(), 8);
  for (Integer y = 0; y < 8; ++y) {
    const Byte* row = static_cast<const Byte*>(back.GetLKBitmap()->GetScanLine(y));
    EXPECT_NEAR(row[3 * 4], 40 + y * 20, 6) << "row " << y;
  }
}

TEST_F(Dispatch, AFailedOrAbortedJpegSaveLeavesTheFileByteForByte) {
  const String name = dir.File("keep.jpg");
  const std::string old = MakeJpeg();
  WriteAll(name, old);
  {
    // An empty picture cannot be written.
    TLumerakIO io;
    Recorder rec(io);
    io.SaveToFile(name);
    EXPECT_TRUE(io.GetAborted());
    EXPECT_EQ(rec.Finishes, 1);
  }
  {
    // Stopped half-way by the progress handler.
    TLumerakIO io;
    io.GetLKBitmap()->Allocate(64, 64, lk24RGB);
    io.OnProgress = [&io](TObject*, Integer per) {
      if (per > 0 && per < 100) io.SetAborted(true);
    };
    io.SaveToFileJpeg(name);
    EXPECT_TRUE(io.GetAborted());
  }
  EXPECT_EQ(ReadAll(name), old);
  EXPECT_EQ(dir.Names(), std::vector<String>{"keep.jpg"});
}

TEST_F(Dispatch, TheJpegSaveRefreshesTheIPTCMarkerOnlyWhenTheRecordsChanged) {
  constexpr Byte kAPP13 = 0xED;
  TLumerakIO io;
  io.GetLKBitmap()->Allocate(8, 8, lk24RGB);
  TIOParamsVals& p = *io.GetIOParams();
  p.IPTC_Records.AddStringItem(2, 120, "caption one");
  const String name = dir.File("iptc.jpg");
  io.SaveToFile(name);
  ASSERT_FALSE(io.GetAborted());
  ASSERT_GE(p.JPEG_Markers.IndexOf(kAPP13), 0);

  TLumerakIO back;
  back.LoadFromFile(name);
  TIOParamsVals& q = *back.GetIOParams();
  ASSERT_EQ(q.IPTC_Records.IndexOf(2, 120), 0);
  EXPECT_EQ(q.IPTC_Records.GetStrings(0), "caption one");
  // Read and unchanged: the marker stays as it was read, once.
  const Integer at = q.JPEG_Markers.IndexOf(kAPP13);
  ASSERT_GE(at, 0);
  const std::string before(reinterpret_cast<const char*>(q.JPEG_Markers.GetMarkerData(at)),
                           size_t(q.JPEG_Markers.GetMarkerLength(at)));
  TMemoryStream s;
  back.SaveToStreamJpeg(&s);
  Integer count = 0;
  for (Integer i = 0; i < q.JPEG_Markers.GetCount(); ++i) count += q.JPEG_Markers.GetMarkerType(i) == kAPP13;
  EXPECT_EQ(count, 1);
  const Integer now = q.JPEG_Markers.IndexOf(kAPP13);
  EXPECT_EQ(std::string(reinterpret_cast<const char*>(q.JPEG_Markers.GetMarkerData(now)),
                        size_t(q.JPEG_Markers.GetMarkerLength(now))),
            before);
  // Every record deleted: the marker goes.
  q.IPTC_Records.Clear();
  back.SaveToStreamJpeg(&s);
  EXPECT_LT(q.JPEG_Markers.IndexOf(kAPP13), 0);
}

// APP1 markers that CheckKind accepts.
int CountAPP1(const TLKMarkerList& M, const char* Prefix) {
  int n = 0;
  for (Integer i = 0; i < M.GetCount(); ++i)
    if (M.GetMarkerType(i) == 0xE1 && M.GetMarkerLength(i) >= Integer(std::strlen(Prefix)) &&
        std::memcmp(M.GetMarkerData(i), Prefix, std::strlen(Prefix)) == 0)
      ++n;
  return n;
}

TEST_F(Dispatch, TheJpegSaveReplacesTheEXIFAndXMPBlocksInsteadOfAddingThem) {
  TLumerakIO io;
  io.GetLKBitmap()->Allocate(8, 8, lk24RGB);
  TIOParamsVals& p = *io.GetIOParams();
  p.EXIF_HASEXIF = true;
  p.EXIF_MAKE = "Maker";
  p.XMP_INFO = "<x:xmpmeta/>";
  TMemoryStream s;
  io.SaveToStreamJpeg(&s);
  io.SaveToStreamJpeg(&s);
  EXPECT_EQ(CountAPP1(p.JPEG_Markers, "Exif"), 1);
  EXPECT_EQ(CountAPP1(p.JPEG_Markers, "http://ns.adobe.com/xap/1.0/"), 1);

  const String name = dir.File("meta.jpg");
  io.SaveToFile(name);
  ASSERT_FALSE(io.GetAborted());
  TLumerakIO back;
  back.LoadFromFile(name);
  TIOParamsVals& q = *back.GetIOParams();
  EXPECT_EQ(q.EXIF_MAKE, "Maker");
  EXPECT_EQ(q.XMP_INFO, "<x:xmpmeta/>");

  // With the flag off the EXIF block read with the picture stays as it was.
  q.EXIF_HASEXIF = false;
  q.EXIF_MAKE = "Other";
  TMemoryStream again;
  back.SaveToStreamJpeg(&again);
  again.Seek(0, soBeginning);
  TLumerakIO third;
  third.LoadFromStreamJpeg(&again);
  EXPECT_EQ(third.GetIOParams()->EXIF_MAKE, "Maker");
  EXPECT_EQ(CountAPP1(third.GetIOParams()->JPEG_Markers, "Exif"), 1);
}

// A block no JPEG marker can hold fails the save: the old file and the
// marker list stay as they were.
TEST_F(Dispatch, AMetadataBlockTooLongForAMarkerFailsTheSave) {
  const String name = dir.File("big.jpg");
  WriteAll(name, "previous");
  TLumerakIO io;
  io.GetLKBitmap()->Allocate(8, 8, lk24RGB);
  io.GetIOParams()->XMP_INFO = std::string(70000, 'x');
  Recorder rec(io);
  io.SaveToFile(name);
  EXPECT_TRUE(io.GetAborted());
  EXPECT_EQ(rec.Finishes, 1);
  EXPECT_EQ(io.GetIOParams()->JPEG_Markers.GetCount(), 0);
  EXPECT_EQ(ReadAll(name), "previous");
}

TEST_F(Dispatch, TwoJpegsWithStreamHeadersLoadBackOneAfterTheOther) {
  TLumerakIO io;
  io.SetStreamHeaders(true);
  TMemoryStream s;
  io.GetLKBitmap()->Allocate(8, 4, lk24RGB);
  io.SaveToStreamJpeg(&s);
  io.GetLKBitmap()->Allocate(16, 8, lk24RGB);
  io.SaveToStreamJpeg(&s);
  s.Seek(0, soBeginning);
  TLumerakIO back;
  back.LoadFromStreamJpeg(&s);
  EXPECT_EQ(back.GetLKBitmap()->GetWidth(), 8);
  back.LoadFromStreamJpeg(&s);
  EXPECT_FALSE(back.GetAborted());
  EXPECT_EQ(back.GetLKBitmap()->GetWidth(), 16);
  EXPECT_EQ(s.Position(), s.Size());
}

// ---------------------------------------------------------------------------
// Dialogs through a scripted stand-in

struct ScriptedFileDialog : TLKFileDialog {
  bool Confirm = true;
  String Chosen;
  Integer Page = 0;
  TLKFileDialog* Seen = nullptr;
  bool Execute() override {
    if (!Confirm) return false;
    FileName = Chosen;
    SelectedImage = Page;
    return true;
  }
};

struct ScriptedForm : TLKPreviewsForm {
  bool Accept = true;
  bool Ok = true;
  std::vector<std::string>* Log;
  explicit ScriptedForm(std::vector<std::string>* L) : Log(L) {}
  void SetLanguage(TMsgLanguage) override { Log->push_back("language"); }
  void ShowPicture(TLKBitmap*) override { Log->push_back("show"); }
  void ReleasePicture() override { Log->push_back("release"); }
  bool SetPreviewParams(TPreviewParams) override { return Accept; }
  bool ShowModal() override {
    Log->push_back("modal");
    return Ok;
  }
};

struct ScriptedDialogs : TLKIODialogs {
  bool Confirm = true;
  bool FormAccepts = true;
  String Chosen = "/tmp/chosen.jpg";
  ScriptedFileDialog Last;  // settings of the last file dialog shown
  std::vector<std::string> Log;
  std::unique_ptr<TLKFileDialog> Make() {
    auto d = std::make_unique<Recording>(this);
    d->Confirm = Confirm;
    d->Chosen = Chosen;
    d->Page = 4;
    return d;
  }
  struct Recording : ScriptedFileDialog {
    ScriptedDialogs* Owner;
    explicit Recording(ScriptedDialogs* O) : Owner(O) {}
    bool Execute() override {
      static_cast<TLKFileDialog&>(Owner->Last) = *this;
      return ScriptedFileDialog::Execute();
    }
  };
  std::unique_ptr<TLKFileDialog> CreateOpenDialog(TComponent*) override { return Make(); }
  std::unique_ptr<TLKFileDialog> CreateSaveDialog(TComponent*) override { return Make(); }
  std::unique_ptr<TLKPreviewsForm> CreatePreviewsForm(TComponent*) override {
    auto f = std::make_unique<ScriptedForm>(&Log);
    f->Accept = FormAccepts;
    return f;
  }
};

struct InstalledDialogs {
  ScriptedDialogs D;
  InstalledDialogs() { LKSetIODialogs(&D); }
  ~InstalledDialogs() { LKSetIODialogs(nullptr); }
};

TEST_F(Dispatch, TheSaveDialogGetsTheComponentsSettingsAndReturnsTheChoice) {
  InstalledDialogs dialogs;
  TLumerakIO io;
  io.SetAutoAdjustDPI(true);
  io.SetMsgLanguage(static_cast<TMsgLanguage>(3));
  EXPECT_EQ(io.ExecuteSaveDialog("", "/photos/a.nef", false, 3, "Extra|*.ext"), "/tmp/chosen.jpg");
  const TLKFileDialog& seen = dialogs.D.Last;
  EXPECT_EQ(seen.FileName, "/photos/a.nef");
  EXPECT_EQ(seen.FilterIndex, 3);
  EXPECT_TRUE(seen.EnableSizing);
  EXPECT_EQ(seen.PreviewBorderStyle, lkpsCropShadow);
  EXPECT_TRUE(seen.AutoAdjustDPI);
  EXPECT_EQ(seen.ExtendedFilters, "Extra|*.ext");
  EXPECT_EQ(seen.AttachedLumerakIO, &io);
  EXPECT_EQ(seen.MsgLanguage, static_cast<TMsgLanguage>(3));

  dialogs.D.Confirm = false;
  EXPECT_EQ(io.ExecuteSaveDialog("", "x", false, 3, ""), "");
}

TEST_F(Dispatch, TheOpenDialogSetsThePageChosenInItsPreview) {
  InstalledDialogs dialogs;
  TLumerakIO io;
  EXPECT_EQ(io.ExecuteOpenDialog("/photos", "", true, 1, ""), "/tmp/chosen.jpg");
  EXPECT_EQ(io.GetIOParams()->IMAGEINDEX, 4);
  EXPECT_EQ(dialogs.D.Last.AttachedLumerakIO, nullptr);
  LKSetIODialogs(nullptr);
  EXPECT_EQ(io.ExecuteOpenDialog("/photos", "", true, 1, ""), "");
}

TEST_F(Dispatch, TheOptionsFormShowsThePictureAndReportsItsOutcome) {
  InstalledDialogs dialogs;
  TLumerakIO io;
  io.GetLKBitmap()->Allocate(2, 2, lk8g);
  EXPECT_TRUE(io.DoPreviews(PreviewPage(ppJPEG)));
  EXPECT_EQ(dialogs.D.Log, (std::vector<std::string>{"language", "show", "modal", "release"}));
  EXPECT_EQ(io.GetLKBitmap()->GetPixelFormat(), lk24RGB);

  // Nothing to show: no modal run, and false.
  dialogs.D.Log.clear();
  dialogs.D.FormAccepts = false;
  EXPECT_FALSE(io.DoPreviews(PreviewPage(ppJPEG)));
  EXPECT_EQ(dialogs.D.Log, (std::vector<std::string>{"language", "show", "release"}));

  // A handler that takes over: true, picture untouched.
  TLumerakIO other;
  other.GetLKBitmap()->Allocate(2, 2, lk8g);
  other.OnDoPreviews = [](TObject*, bool& Handled) { Handled = true; };
  EXPECT_TRUE(other.DoPreviews(PreviewPage(ppJPEG)));
  EXPECT_EQ(other.GetLKBitmap()->GetPixelFormat(), lk8g);
}

// ---------------------------------------------------------------------------
// Resolution fixes

TEST_F(Dispatch, CheckDPIFillsInOnlyResolutionsBelowTwo) {
  TLumerakIO io;
  TIOParamsVals& p = *io.GetIOParams();
  p.DPIX = 1;
  p.DPIY = 72;
  io.CheckDPI();
  EXPECT_EQ(p.DPIX, gDefaultDPIX);
  EXPECT_EQ(p.DPIY, 72);
}

TEST_F(Dispatch, AdjustDPIResamplesTheShorterSide) {
  struct Case {
    Integer DpiX, DpiY;
    Integer W, H, Dpi;
  } cases[] = {{200, 100, 40, 40, 200}, {100, 200, 40, 10, 100}};
  for (bool filtered : {false, true})
    for (const Case& c : cases) {
      TLumerakIO io;
      io.SetFilteredAdjustDPI(filtered);
      io.GetLKBitmap()->Allocate(40, 20, lk8g);
      io.GetLKBitmap()->GetAlphaChannel();
      TIOParamsVals& p = *io.GetIOParams();
      p.WIDTH = 40;
      p.HEIGHT = 20;
      p.DPIX = c.DpiX;
      p.DPIY = c.DpiY;
      io.AdjustDPI();
      EXPECT_EQ(io.GetLKBitmap()->GetWidth(), c.W);
      EXPECT_EQ(io.GetLKBitmap()->GetHeight(), c.H);
      EXPECT_EQ(p.DPIX, c.Dpi);
      EXPECT_EQ(p.DPIY, c.Dpi);
      EXPECT_EQ(io.GetLKBitmap()->GetPixelFormat(), filtered ? lk24RGB : lk8g);
      ASSERT_TRUE(io.GetLKBitmap()->GetHasAlphaChannel());
      EXPECT_EQ(io.GetLKBitmap()->GetAlphaChannel()->GetHeight(), c.H);
    }
}

}  // namespace
