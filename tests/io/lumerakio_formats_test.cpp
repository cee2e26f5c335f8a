// The per-format loads and saves of the I/O component: one table of every
// operation run against stand-in codecs that succeed, that fail, and against
// the library's own table (where most codecs are still missing), checking
// the abort flag, the finish order, the parameters' bookkeeping and that a
// failed save never touches the file that was there.
#include <gtest/gtest.h>

#include <functional>
#include <memory>

#include "core/lkbitmap.h"
#include "core/lkmask.h"
#include "io/lkformatrow.h"
#include "io/lkparams.h"
#include "io/lumerakio.h"
#include "platform/classes.h"
#include "tests/io/io_kit.h"

using namespace iokit;

namespace {

// ---------------------------------------------------------------------------
// Stand-in codecs: readers make a 2 x 2 picture without resolution and
// report 50 %; writers write "NEW". With Fail set both set the abort flag
// after doing their work (a writer that fails half-way).

struct FakeState {
  bool Fail = false;
  bool ReturnMask = false;
  int Calls = 0;
};
FakeState gFake;

void Report(TProgressRec& Pr) {
  ++gFake.Calls;
  if (Pr.OnProgress) Pr.OnProgress(Pr.Sender, 50);
  if (gFake.Fail && Pr.AbortFlag) Pr.AbortFlag->store(true);
}

void Fill(TLKBitmap& B, TIOParamsVals& P, TProgressRec& Pr) {
  B.Allocate(2, 2, lk24RGB);
  P.WIDTH = 2;
  P.HEIGHT = 2;
  P.DPIX = 0;
  P.DPIY = 0;
  Report(Pr);
}

void Put(TStream& S, TProgressRec& Pr) {
  S.WriteBuffer("NEW", 3);
  Report(Pr);
}

void GiveMask(TLKMask*& Mask) {
  if (!gFake.ReturnMask) return;
  Mask = new TLKMask();
  Mask->AllocateBits(2, 2, 8);
}

// Every row reads and writes through the stand-ins; TIFF reports 3 pages,
// GIF 2 frames.
void FakeRead(TLKFormatJob& J) {
  Fill(*J.Bitmap, J.Params, J.Progress);
  GiveMask(J.Mask);
  J.PageCount = J.Row.Type == lkftTIFF ? 3 : J.Row.Type == lkftGIF ? 2 : 0;
}
void FakeWrite(TLKFormatJob& J) { Put(J.Stream, J.Progress); }

void FakeEntries(TLKFormatRow& R) {
  R.Read = FakeRead;
  R.Write = FakeWrite;
}

// ---------------------------------------------------------------------------
// The operations

enum Kind { FileLoad, StreamLoad, FileSave, StreamSave };

struct OpRow {
  const char* Name;
  Kind K;
  std::function<void(TLumerakIO&, const String&, TStream*)> Run;
  Integer Type;          // FILETYPE a load leaves
  bool DefaultDPI;       // a load fills in the default resolution
  bool FinishOnOpenError;  // a missing file reports the finish before raising
};

#define FILE_OP(M) [](TLumerakIO& io, const String& f, TStream*) { io.M(f); }
#define STREAM_OP(M) [](TLumerakIO& io, const String&, TStream* s) { io.M(s); }

const std::vector<OpRow>& Ops() {
  static const std::vector<OpRow> rows = {
      {"LoadFromFileJpeg", FileLoad, FILE_OP(LoadFromFileJpeg), 3, true, true},
      {"LoadFromStreamJpeg", StreamLoad, STREAM_OP(LoadFromStreamJpeg), 3, true, true},
      {"LoadFromFileTIFF", FileLoad, FILE_OP(LoadFromFileTIFF), 1, true, false},
      {"LoadFromStreamTIFF", StreamLoad, STREAM_OP(LoadFromStreamTIFF), 1, true, true},
      {"LoadFromFileGIF", FileLoad, FILE_OP(LoadFromFileGIF), 2, true, false},
      {"LoadFromStreamGIF", StreamLoad, STREAM_OP(LoadFromStreamGIF), 2, true, true},
      {"LoadFromFilePCX", FileLoad, FILE_OP(LoadFromFilePCX), 4, true, false},
      {"LoadFromStreamPCX", StreamLoad, STREAM_OP(LoadFromStreamPCX), 4, true, true},
      {"LoadFromFileDCX", FileLoad, FILE_OP(LoadFromFileDCX), 19, true, false},
      {"LoadFromStreamDCX", StreamLoad, STREAM_OP(LoadFromStreamDCX), 19, true, true},
      {"LoadFromFileBMP", FileLoad, FILE_OP(LoadFromFileBMP), 5, true, false},
      {"LoadFromStreamBMP", StreamLoad, STREAM_OP(LoadFromStreamBMP), 5, true, true},
      {"LoadFromFilePNG", FileLoad, FILE_OP(LoadFromFilePNG), 8, true, true},
      {"LoadFromStreamPNG", StreamLoad, STREAM_OP(LoadFromStreamPNG), 8, true, true},
      {"LoadFromFileTGA", FileLoad, FILE_OP(LoadFromFileTGA), 11, true, true},
      {"LoadFromStreamTGA", StreamLoad, STREAM_OP(LoadFromStreamTGA), 11, true, true},
      {"LoadFromFileICO", FileLoad, FILE_OP(LoadFromFileICO), 6, true, true},
      {"LoadFromStreamICO", StreamLoad, STREAM_OP(LoadFromStreamICO), 6, true, true},
      {"LoadFromFileCUR", FileLoad, FILE_OP(LoadFromFileCUR), 7, true, true},
      {"LoadFromStreamCUR", StreamLoad, STREAM_OP(LoadFromStreamCUR), 7, true, true},
      {"LoadFromFilePXM", FileLoad, FILE_OP(LoadFromFilePXM), 12, true, true},
      {"LoadFromStreamPXM", StreamLoad, STREAM_OP(LoadFromStreamPXM), 12, true, true},
      {"LoadFromFileWBMP", FileLoad, FILE_OP(LoadFromFileWBMP), 16, true, true},
      {"LoadFromStreamWBMP", StreamLoad, STREAM_OP(LoadFromStreamWBMP), 16, true, true},
      {"LoadFromFileJP2", FileLoad, FILE_OP(LoadFromFileJP2), 13, true, true},
      {"LoadFromFileJ2K", FileLoad, FILE_OP(LoadFromFileJ2K), 14, true, true},
      {"LoadFromStreamJP2", StreamLoad, STREAM_OP(LoadFromStreamJP2), 13, true, true},
      {"LoadFromStreamJ2K", StreamLoad, STREAM_OP(LoadFromStreamJ2K), 14, true, true},
      {"LoadFromFileBMPRAW", FileLoad, FILE_OP(LoadFromFileBMPRAW), 21, false, false},
      {"LoadFromStreamBMPRAW", StreamLoad, STREAM_OP(LoadFromStreamBMPRAW), 21, false, true},
      {"LoadFromFilePSD", FileLoad, FILE_OP(LoadFromFilePSD), 24, true, false},
      {"LoadFromStreamPSD", StreamLoad, STREAM_OP(LoadFromStreamPSD), 24, true, true},
      {"LoadFromFileRAW", FileLoad, FILE_OP(LoadFromFileRAW), 20, true, false},
      {"LoadFromStreamRAW", StreamLoad, STREAM_OP(LoadFromStreamRAW), 20, true, true},

      {"SaveToFileJpeg", FileSave, FILE_OP(SaveToFileJpeg), 0, false, true},
      {"SaveToStreamJpeg", StreamSave, STREAM_OP(SaveToStreamJpeg), 0, false, true},
      {"SaveToFileTIFF", FileSave, FILE_OP(SaveToFileTIFF), 0, false, true},
      {"SaveToStreamTIFF", StreamSave, STREAM_OP(SaveToStreamTIFF), 0, false, true},
      {"SaveToFileGIF", FileSave, FILE_OP(SaveToFileGIF), 0, false, true},
      {"SaveToStreamGIF", StreamSave, STREAM_OP(SaveToStreamGIF), 0, false, true},
      {"SaveToFilePCX", FileSave, FILE_OP(SaveToFilePCX), 0, false, true},
      {"SaveToStreamPCX", StreamSave, STREAM_OP(SaveToStreamPCX), 0, false, true},
      {"SaveToFileDCX", FileSave, FILE_OP(SaveToFileDCX), 0, false, false},
      {"SaveToStreamDCX", StreamSave, STREAM_OP(SaveToStreamDCX), 0, false, true},
      {"SaveToFileBMP", FileSave, FILE_OP(SaveToFileBMP), 0, false, false},
      {"SaveToStreamBMP", StreamSave, STREAM_OP(SaveToStreamBMP), 0, false, true},
      {"SaveToFilePNG", FileSave, FILE_OP(SaveToFilePNG), 0, false, true},
      {"SaveToStreamPNG", StreamSave, STREAM_OP(SaveToStreamPNG), 0, false, true},
      {"SaveToFileTGA", FileSave, FILE_OP(SaveToFileTGA), 0, false, true},
      {"SaveToStreamTGA", StreamSave, STREAM_OP(SaveToStreamTGA), 0, false, true},
      {"SaveToFileICO", FileSave, FILE_OP(SaveToFileICO), 0, false, true},
      {"SaveToStreamICO", StreamSave, STREAM_OP(SaveToStreamICO), 0, false, true},
      {"SaveToFilePXM", FileSave, FILE_OP(SaveToFilePXM), 0, false, true},
      {"SaveToStreamPXM", StreamSave, STREAM_OP(SaveToStreamPXM), 0, false, true},
      {"SaveToFileWBMP", FileSave, FILE_OP(SaveToFileWBMP), 0, false, true},
      {"SaveToStreamWBMP", StreamSave, STREAM_OP(SaveToStreamWBMP), 0, false, true},
      {"SaveToFileJP2", FileSave, FILE_OP(SaveToFileJP2), 0, false, true},
      {"SaveToFileJ2K", FileSave, FILE_OP(SaveToFileJ2K), 0, false, true},
      {"SaveToStreamJP2", StreamSave, STREAM_OP(SaveToStreamJP2), 0, false, true},
      {"SaveToStreamJ2K", StreamSave, STREAM_OP(SaveToStreamJ2K), 0, false, true},
      {"SaveToFileBMPRAW", FileSave, FILE_OP(SaveToFileBMPRAW), 0, false, false},
      {"SaveToStreamBMPRAW", StreamSave, STREAM_OP(SaveToStreamBMPRAW), 0, false, true},
      {"SaveToFilePSD", FileSave, FILE_OP(SaveToFilePSD), 0, false, false},
      {"SaveToStreamPSD", StreamSave, STREAM_OP(SaveToStreamPSD), 0, false, true},
  };
  return rows;
}

class Formats : public ::testing::Test {
 protected:
  void SetUp() override { gFake = FakeState(); }
  FreshRegistry registry;
  TempDir dir;
};

// Runs one row on a component holding a 3 x 1 lk8g picture; file rows use
// "target" (holding "OLD"), stream rows a memory stream holding "IN".
struct RunResult {
  bool Aborted;
  std::vector<std::string> Events;
  int Finishes;
  std::string FileBytes;
  std::string StreamBytes;
  Integer Type;
  String Name;
  Integer DpiX;
  std::vector<String> Folder;
};

RunResult RunRow(const OpRow& Row, const TempDir& Dir) {
  TLumerakIO io;
  io.GetLKBitmap()->Allocate(3, 1, lk8g);
  io.GetIOParams()->FILENAME = "before";
  io.GetIOParams()->FILETYPE = 99;
  Recorder rec(io);
  const String target = Dir.File("target");
  WriteAll(target, "OLD");
  TMemoryStream stream;
  stream.WriteBuffer("IN", 2);
  stream.Seek(0, soBeginning);
  Row.Run(io, target, &stream);
  std::string streamBytes(static_cast<const char*>(stream.Memory()), size_t(stream.Size()));
  return {io.GetAborted(), rec.Events, rec.Finishes, ReadAll(target), streamBytes, io.GetIOParams()->FILETYPE,
          io.GetIOParams()->FILENAME, io.GetIOParams()->DPIX, Dir.Names()};
}

TEST_F(Formats, EveryOperationSucceedsThroughItsCodecAndFinishesLast) {
  CodecSwap swap(FakeEntries);
  for (const OpRow& row : Ops()) {
    SCOPED_TRACE(row.Name);
    const RunResult r = RunRow(row, dir);
    EXPECT_FALSE(r.Aborted);
    ASSERT_EQ(r.Finishes, 1);
    // The codec's report, then 100 and the finish, which comes last.
    ASSERT_GE(r.Events.size(), 3u);
    EXPECT_EQ(r.Events[r.Events.size() - 3], "p50");
    EXPECT_EQ(r.Events[r.Events.size() - 2], "p100");
    EXPECT_EQ(r.Events.back(), "finish");
    EXPECT_EQ(r.Folder, std::vector<String>{"target"});  // nothing left behind
    switch (row.K) {
      case FileLoad:
      case StreamLoad:
        EXPECT_EQ(r.Type, row.Type);
        EXPECT_EQ(r.Name, row.K == FileLoad ? dir.File("target") : String());
        EXPECT_EQ(r.DpiX, row.DefaultDPI ? gDefaultDPIX : 0);
        EXPECT_EQ(r.FileBytes, "OLD");
        break;
      case FileSave:
        EXPECT_EQ(r.FileBytes, "NEW");
        EXPECT_EQ(r.Name, dir.File("target"));
        break;
      case StreamSave:
        EXPECT_EQ(r.StreamBytes, "NEW");
        EXPECT_EQ(r.Name, "before");
        break;
    }
  }
}

TEST_F(Formats, AFailingCodecSetsTheAbortFlagFinishesAndKeepsTheOldFile) {
  CodecSwap swap(FakeEntries);
  gFake.Fail = true;
  for (const OpRow& row : Ops()) {
    SCOPED_TRACE(row.Name);
    const RunResult r = RunRow(row, dir);
    EXPECT_TRUE(r.Aborted);
    EXPECT_EQ(r.Finishes, 1);
    EXPECT_EQ(r.Events.back(), "finish");
    // The writer wrote "NEW" before failing: the old file stays byte for byte.
    EXPECT_EQ(r.FileBytes, "OLD");
    EXPECT_EQ(r.Folder, std::vector<String>{"target"});
  }
}

TEST_F(Formats, MissingCodecsAnswerWithTheAbortFlagAndWriteNothing) {
  CodecSwap swap([](TLKFormatRow& R) { R.Read = R.Write = nullptr; });
  for (const OpRow& row : Ops()) {
    SCOPED_TRACE(row.Name);
    const RunResult r = RunRow(row, dir);
    EXPECT_TRUE(r.Aborted);
    EXPECT_EQ(r.Finishes, 1);
    EXPECT_EQ(r.FileBytes, "OLD");
    EXPECT_EQ(r.Folder, std::vector<String>{"target"});
    if (row.K == StreamSave && String(row.Name) != "SaveToStreamDCX") EXPECT_EQ(r.StreamBytes, "IN");
  }
}

TEST_F(Formats, AMissingFileRaisesWithTheFinishOnlyWhereTheOpenIsGuarded) {
  CodecSwap swap(FakeEntries);
  for (const OpRow& row : Ops()) {
    if (row.K != FileLoad) continue;
    SCOPED_TRACE(row.Name);
    TLumerakIO io;
    Recorder rec(io);
    EXPECT_THROW(row.Run(io, dir.File("absent"), nullptr), EFOpenError);
    EXPECT_EQ(rec.Finishes, row.FinishOnOpenError ? 1 : 0);
    if (rec.Finishes) EXPECT_TRUE(rec.AbortedAtFinish);
    EXPECT_EQ(gFake.Calls, 0);
  }
}

TEST_F(Formats, SavesIntoAFolderThatDoesNotExistRaiseAndCreateNothing) {
  CodecSwap swap(FakeEntries);
  for (const OpRow& row : Ops()) {
    if (row.K != FileSave) continue;
    SCOPED_TRACE(row.Name);
    TLumerakIO io;
    io.GetLKBitmap()->Allocate(2, 2, lk24RGB);
    Recorder rec(io);
    EXPECT_THROW(row.Run(io, dir.File("no/such/folder.x"), nullptr), EFCreateError);
    EXPECT_TRUE(io.GetAborted());
    EXPECT_EQ(rec.Finishes, row.FinishOnOpenError ? 1 : 0);
    EXPECT_EQ(gFake.Calls, 0);
  }
}

TEST_F(Formats, AReaderMaskBecomesTheAlphaChannelAndAnOldAlphaIsDropped) {
  CodecSwap swap(FakeEntries);
  TLumerakIO io;
  io.GetLKBitmap()->Allocate(2, 2, lk24RGB);
  io.GetLKBitmap()->GetAlphaChannel();
  TMemoryStream s;
  io.LoadFromStreamTGA(&s);
  EXPECT_FALSE(io.GetLKBitmap()->GetHasAlphaChannel());
  gFake.ReturnMask = true;
  io.LoadFromStreamTGA(&s);
  EXPECT_EQ(io.GetLKBitmap()->GetPixelFormat(), lk24RGB);  // the picture stays a picture
  ASSERT_TRUE(io.GetLKBitmap()->GetHasAlphaChannel());
  EXPECT_EQ(io.GetLKBitmap()->GetAlphaChannel()->GetWidth(), 2);
}

// PNG and Targa writers get a mask copy of the alpha channel, or none.
TEST_F(Formats, MaskWritersGetTheAlphaChannelAsMask) {
  static int masks = 0;
  CodecSwap swap([](TLKFormatRow& R) {
    FakeEntries(R);
    if (R.Type == lkftPNG) R.Write = [](TLKFormatJob& J) {
      masks += J.Mask != nullptr && J.Mask->GetWidth() == 2;
      Put(J.Stream, J.Progress);
    };
  });
  TLumerakIO io;
  io.GetLKBitmap()->Allocate(2, 2, lk24RGB);
  TMemoryStream s;
  io.SaveToStreamPNG(&s);
  EXPECT_EQ(masks, 0);
  io.GetLKBitmap()->GetAlphaChannel();
  io.SaveToStreamPNG(&s);
  EXPECT_EQ(masks, 1);
}

TEST_F(Formats, CountingLoadsReturnTheCodecsCount) {
  CodecSwap swap(FakeEntries);
  TLumerakIO io;
  TMemoryStream s;
  EXPECT_EQ(io.LoadFromStreamTIFF(&s), 3);
  EXPECT_EQ(io.LoadFromStreamGIF(&s), 2);
}

// Conversion before a save: JPEG and the other 24-bit writers convert the
// working bitmap for good; TIFF and PNG keep every format.
TEST_F(Formats, OnlyConvertingWritersTurnThePictureInto24Bit) {
  CodecSwap swap(FakeEntries);
  struct Case {
    const char* Ext;
    TLKPixelFormat After;
  } cases[] = {{".jpg", lk24RGB}, {".tif", lk8g}, {".png", lk8g}, {".bmp", lk8g}, {".pcx", lk24RGB}};
  for (const Case& c : cases) {
    SCOPED_TRACE(c.Ext);
    TLumerakIO io;
    io.GetLKBitmap()->Allocate(2, 2, lk8g);
    io.SaveToFile(dir.File(String("x") + c.Ext));
    EXPECT_EQ(io.GetLKBitmap()->GetPixelFormat(), c.After);
  }
}

// ---------------------------------------------------------------------------
// Stream headers

TEST_F(Formats, StreamHeadersAnnounceTheLengthOfWhatFollowsThem) {
  CodecSwap swap(FakeEntries);
  struct Case {
    const char* Magic;
    std::function<void(TLumerakIO&, TStream*)> Save;
  } cases[] = {{"JFIF", [](TLumerakIO& io, TStream* s) { io.SaveToStreamJpeg(s); }},
               {"TIFF", [](TLumerakIO& io, TStream* s) { io.SaveToStreamTIFF(s); }},
               {"PCX2", [](TLumerakIO& io, TStream* s) { io.SaveToStreamPCX(s); }}};
  for (const Case& c : cases) {
    SCOPED_TRACE(c.Magic);
    TLumerakIO io;
    io.SetStreamHeaders(true);
    io.GetLKBitmap()->Allocate(2, 2, lk24RGB);
    TMemoryStream s;
    s.WriteBuffer("xy", 2);
    c.Save(io, &s);
    ASSERT_EQ(s.Size(), 2 + 12 + 3);
    const auto* b = static_cast<const Byte*>(s.Memory()) + 2;
    EXPECT_EQ(std::string(reinterpret_cast<const char*>(b), 4), c.Magic);
    EXPECT_EQ(b[4] | b[5] | b[6] | b[7], 0);
    EXPECT_EQ(b[8], 3);
    EXPECT_EQ(b[9] | b[10] | b[11], 0);
    EXPECT_EQ(s.Position(), s.Size());
  }
}

TEST_F(Formats, AStreamLoadWithAWrongHeaderAbortsWithoutReading) {
  CodecSwap swap(FakeEntries);
  for (auto load : {+[](TLumerakIO& io, TStream* s) { io.LoadFromStreamTIFF(s); },
                    +[](TLumerakIO& io, TStream* s) { io.LoadFromStreamPCX(s); }}) {
    TLumerakIO io;
    io.SetStreamHeaders(true);
    Recorder rec(io);
    TMemoryStream s;
    s.WriteBuffer("JFIF\0\0\0\0\3\0\0\0NEW", 15);
    s.Seek(0, soBeginning);
    load(io, &s);
    EXPECT_TRUE(io.GetAborted());
    EXPECT_EQ(rec.Finishes, 1);
  }
  EXPECT_EQ(gFake.Calls, 0);
}

// The old four-byte "PCX" header counts the rest of the stream; "PCX2" its
// own length, after which the position stands.
TEST_F(Formats, PCXStreamLoadsTakeBothHeaderForms) {
  CodecSwap swap(FakeEntries);
  TLumerakIO io;
  io.SetStreamHeaders(true);
  TMemoryStream s;
  s.WriteBuffer("PCX2\0\0\0\0\5\0\0\0abcdeNEXT", 21);
  s.Seek(0, soBeginning);
  io.LoadFromStreamPCX(&s);
  EXPECT_FALSE(io.GetAborted());
  EXPECT_EQ(s.Position(), 17);

  TMemoryStream old;
  old.WriteBuffer("PCX\0\0\0\0\0\0\0\0\0", 12);
  old.Seek(0, soBeginning);
  io.LoadFromStreamPCX(&old);
  EXPECT_FALSE(io.GetAborted());
}

TEST_F(Formats, DCXStreamSaveReplacesWhatTheStreamHeld) {
  CodecSwap swap(FakeEntries);
  TLumerakIO io;
  io.GetLKBitmap()->Allocate(2, 2, lk24RGB);
  TMemoryStream s;
  s.WriteBuffer("OLD CONTENT", 11);
  io.SaveToStreamDCX(&s);
  EXPECT_EQ(std::string(static_cast<const char*>(s.Memory()), size_t(s.Size())), "NEW");
}

TEST_F(Formats, InsertingADCXPageReplacesTheFileOnlyOnSuccess) {
  CodecSwap swap(FakeEntries);
  TLumerakIO io;
  io.GetLKBitmap()->Allocate(2, 2, lk24RGB);
  const String name = dir.File("pages.dcx");
  WriteAll(name, "PAGES");
  io.GetIOParams()->FILENAME = "kept";
  io.InsertToFileDCX(name);
  EXPECT_EQ(ReadAll(name), "NEWES");  // the stand-in writes over the start
  EXPECT_EQ(io.GetIOParams()->FILENAME, "kept");
  WriteAll(name, "PAGES");
  gFake.Fail = true;
  io.InsertToFileDCX(name);
  EXPECT_TRUE(io.GetAborted());
  EXPECT_EQ(ReadAll(name), "PAGES");
  EXPECT_EQ(dir.Names(), std::vector<String>{"pages.dcx"});
}

TEST_F(Formats, IconSavesWriteTheLeadingPositiveSizes) {
  TIOParamsVals p;
  for (auto& s : p.ICO_PageSizes) s = TSize{16, 16};
  p.ICO_PageSizes[2] = TSize{0, 0};
  p.ICO_PageBitCounts[1] = 8;
  std::vector<TSize> sizes;
  std::vector<Integer> bits;
  LKIconSizesToWrite(p, sizes, bits);
  EXPECT_EQ(sizes.size(), 2u);
  ASSERT_EQ(bits.size(), 2u);
  EXPECT_EQ(bits[1], 8);
  p.ICO_PageSizes[0].cx = 0;
  LKIconSizesToWrite(p, sizes, bits);
  EXPECT_TRUE(sizes.empty());
}

}  // namespace
