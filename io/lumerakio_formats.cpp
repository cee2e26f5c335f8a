// The load frame and the save frame of the I/O component, which run a
// format row's jobs with the steps every load and save takes and the
// particulars the row gives as data; and the per-format operations, each a
// forward to a frame with its row.

#include <cstring>
#include <memory>

#include "core/lkabort.h"
#include "core/lkbitmap.h"
#include "core/lkbytereader.h"
#include "core/lkmask.h"
#include "io/lkformatrow.h"
#include "io/lkiothread.h"
#include "io/lumerakio.h"
#include "io/lumerakio_frame.h"
#include "io/lkmultipage.h"
#include "platform/sysutils.h"
#include "core/lklayer.h"

using lkio::WithFinish;

namespace {

// Length of the stream header in front of JPEG, TIFF and PCX stream data.
constexpr Int64 kStreamHeaderSize = 12;

const TLKFormatRow& RowOf(Integer Type) {
  const TLKFormatRow* row = LKFormatRowOf(Type);
  if (!row) throw Exception("No format row of type " + IntToStr(Type));
  return *row;
}

// Prepares the bitmap for a stream operation: false when there is nothing to
// do (a null stream also sets the abort flag).
bool ReadyForStream(TLumerakIO& IO, TStream* Stream) {
  if (!IO.MakeConsistentBitmap({})) return false;
  if (!Stream) IO.SetAbortedWith("no stream");
  return Stream != nullptr;
}

// ---------------------------------------------------------------------------
// Stream headers: four bytes of text, four zero bytes, the length of the
// data after the header (32-bit little-endian).

// Writes the header over the 12 bytes at Start for the data that ends at the
// current position, and goes back to that end. Data longer than the 32-bit
// field can say sets the abort flag instead.
void PatchStreamHeader(TLumerakIO& IO, TStream& S, Int64 Start, const char* Magic) {
  const Int64 end = S.Position();
  const Int64 length = end - Start - kStreamHeaderSize;
  if (length < 0 || length > Int64(0xFFFFFFFFu)) {
    IO.SetAbortedWith("the data is too long for a stream header");
    return;
  }
  Byte h[kStreamHeaderSize] = {};
  std::memcpy(h, Magic, 4);
  LKPutLE32(h + 8, Cardinal(length));
  S.Seek(Start, soBeginning);
  S.WriteBuffer(h, kStreamHeaderSize);
  S.Seek(end, soBeginning);
}

// A stream header read at the position: its text (the bytes up to the first
// zero, at most four) and length; false when 12 bytes are not there.
struct TStreamHeader {
  char Text[5] = {};
  Cardinal Length = 0;
};

bool ReadStreamHeader(TStream& S, TStreamHeader& H) {
  TLKByteReader r(S, kStreamHeaderSize);
  Byte b[kStreamHeaderSize];
  if (!r.Read(b, kStreamHeaderSize)) return false;
  std::memcpy(H.Text, b, 4);
  H.Length = LKGetLE32(b + 8);
  return true;
}

// ---------------------------------------------------------------------------
// The load frame

// The layered road of a load: the layers read and the picture read into (the
// view's pictures stay untouched until the read succeeded). Layers not
// handed to the view are freed.
struct TLayeredRead {
  TList Layers;
  TLKBitmap Picture;
  TLayeredRead() = default;
  TLayeredRead(const TLayeredRead&) = delete;
  TLayeredRead& operator=(const TLayeredRead&) = delete;
  ~TLayeredRead() { LKFreeLayers(Layers); }
};

// The layered road when the row has layers, its option asks for them and
// the attached view keeps layers; null otherwise.
std::unique_ptr<TLayeredRead> LayeredRoad(TLumerakIO& IO, const TLKFormatRow& Row) {
  if (!Row.Load.LayersOption || !(IO.GetIOParams()->*Row.Load.LayersOption)) return nullptr;
  if (dynamic_cast<TLumerakViewServices*>(IO.GetAttachedLumerak()) == nullptr) return nullptr;
  return std::make_unique<TLayeredRead>();
}

// Runs the read job; with ReaderErrorsAsFlag an exception from it becomes
// the abort flag with the exception's text as the reason.
void RunReader(TLumerakIO& IO, const TLKFormatRow& Row, TLKFormatJob& Job) {
  if (!Row.Load.ReaderErrorsAsFlag) return LKRunRead(Job);
  try {
    LKRunRead(Job);
  } catch (const std::exception& e) {
    IO.SetAbortedWith(String(Row.Name) + ": " + e.what());
  } catch (...) {
    IO.SetAbortedWith(String(Row.Name) + ": the reader failed");
  }
}

// Drops the alpha channel, runs the read job, makes the resolution
// plausible, takes the reader's mask as alpha channel and adjusts the
// resolution. On the layered road the job reads into the road's list and
// picture instead, and the working bitmap is left alone.
void ReadPart(TLumerakIO& IO, const TLKFormatRow& Row, TLKFormatJob& Job, TLayeredRead* Layered) {
  if (Layered) {
    Job.Bitmap = &Layered->Picture;
    Job.Layers = &Layered->Layers;
  } else {
    Job.Bitmap->RemoveAlphaChannel();
  }
  RunReader(IO, Row, Job);
  std::unique_ptr<TLKMask> mask(Job.Mask);
  Job.Mask = nullptr;
  if (Row.Load.CheckResolution) IO.CheckDPI();
  if (mask) Job.Bitmap->GetAlphaChannel()->CopyFromTLKMask(mask.get());
  if (!Layered && Row.Load.AdjustResolution && IO.GetAutoAdjustDPI()) IO.AdjustDPI();
}

// The bookkeeping after a load's read: the file type, the view's resolution,
// the layers of a layered read that succeeded, the format's own step, the
// view update.
void EndLoad(TLumerakIO& IO, const TLKFormatRow& Row, bool ViewResolution, TLayeredRead* Layered) {
  IO.GetIOParams()->FILETYPE = Row.Type;
  if (ViewResolution) lkio::GiveViewResolution(IO);
  if (Layered && !IO.GetAborted()) IO.GiveViewLayers(Layered->Layers);
  if (Row.Load.AfterViewResolution) Row.Load.AfterViewResolution(IO);
  IO.Update();
}

// The stream load: stream headers, then the read inside the finish.
Integer StreamLoad(TLumerakIO& IO, const TLKFormatRow& Row, TStream* Stream, bool Headers) {
  Int64 start = Stream ? Stream->Position() : 0;
  TStreamHeader header;
  bool skipAfter = false;  // the position ends after the data the header announces
  Int64 byteCount = -1;
  bool relativeOffsets = true;
  if (Row.Load.Header == lkshRequired && Headers && Stream) {
    const bool found = ReadStreamHeader(*Stream, header);
    const bool current = found && std::strcmp(header.Text, Row.Load.HeaderText) == 0;
    const bool older = found && Row.Load.OlderHeader && std::strcmp(header.Text, Row.Load.OlderHeader) == 0;
    if (!current && !older) {
      Stream->Seek(start, soBeginning);
      IO.SetAbortedWith(String("the stream has no \"") + Row.Load.HeaderText + "\" header");
      IO.DoFinishWork();
      return 0;
    }
    if (current) {
      skipAfter = true;
      byteCount = header.Length;
      relativeOffsets = false;
    } else {
      // The older header is four bytes long; the data runs to the end.
      Stream->Seek(start + 4, soBeginning);
    }
  }

  TIOParamsVals& p = *IO.GetIOParams();
  Integer pages = 0;
  IO.SetAborted(false);
  WithFinish(IO, [&] {
    if (!ReadyForStream(IO, Stream)) return;
    p.ResetInfo();
    if (Row.Load.Header == lkshSkipped) {
      start = Stream->Position();
      skipAfter = ReadStreamHeader(*Stream, header) && std::strcmp(header.Text, Row.Load.HeaderText) == 0;
      if (!skipAfter) Stream->Seek(start, soBeginning);
    }
    TProgressRec pr = lkio::MakeProgress(IO);
    TLKFormatJob job(Row, *Stream, IO.GetLKBitmap(), p, pr, false);
    job.ByteCount = byteCount;
    job.RelativeOffsets = relativeOffsets;
    const auto layered = LayeredRoad(IO, Row);
    ReadPart(IO, Row, job, layered.get());
    pages = job.PageCount;
    if (skipAfter) Stream->Seek(start + kStreamHeaderSize + Int64(header.Length), soBeginning);
    p.FILENAME.clear();
    EndLoad(IO, Row, Row.Load.ViewResolutionFromStream, layered.get());
  });
  return pages;
}

// The file load. With OpenFirst the file is opened before the finish is
// armed and read by the stream load; otherwise it is opened inside the part
// that reports the finish.
Integer FileLoad(TLumerakIO& IO, const TLKFormatRow& Row, const String& FileName) {
  if (Row.Load.BeforeFileLoad) Row.Load.BeforeFileLoad(IO);
  if (Row.Load.OpenFirst) {
    auto file = lkio::OpenForRead(FileName);
    const Integer pages = StreamLoad(IO, Row, file.get(), false);
    IO.GetIOParams()->FILENAME = FileName;
    return pages;
  }
  TIOParamsVals& p = *IO.GetIOParams();
  Integer pages = 0;
  IO.SetAborted(true);
  WithFinish(IO, [&] {
    if (!IO.MakeConsistentBitmap({})) return;
    p.ResetInfo();
    auto file = lkio::OpenForRead(FileName);
    IO.SetAborted(false);
    TProgressRec pr = lkio::MakeProgress(IO);
    TLKFormatJob job(Row, *file, IO.GetLKBitmap(), p, pr, false);
    const auto layered = LayeredRoad(IO, Row);
    ReadPart(IO, Row, job, layered.get());
    pages = job.PageCount;
    p.FILENAME = FileName;
    EndLoad(IO, Row, Row.Load.ViewResolutionFromFile, layered.get());
  });
  return pages;
}

// ---------------------------------------------------------------------------
// The save frame

// What a save of a row with TLKSaveShape::ViewLayers writes from a view that
// keeps layers: its layers merged, and its own layer list.
struct TViewLayers {
  TLKBitmap Merged;
  TList Layers;
};

// Takes the attached view's layers for a save of Row, on the thread that
// starts the save (merging renders through the view, a widget; a worker of
// the component never touches it and saves the working bitmap alone). Null
// when there are none to take. A worker then reads the view's layer objects
// as it reads the working bitmap: the view keeps them until the save ended.
// A merge that raises ends the save: abort flag, finish, then the exception
// goes on.
std::shared_ptr<TViewLayers> TakeViewLayers(TLumerakIO& IO, const TLKFormatRow& Row) {
  if (!Row.Save.ViewLayers || IO.IsInsideAsyncThreads()) return nullptr;
  auto* view = dynamic_cast<TLumerakViewServices*>(IO.GetAttachedLumerak());
  if (view == nullptr) return nullptr;
  auto taken = std::make_shared<TViewLayers>();
  try {
    if (!view->GiveLayersToSave(&taken->Merged, taken->Layers)) return nullptr;
  } catch (...) {
    IO.SetAborted(true);
    IO.DoFinishWork();
    throw;
  }
  return taken;
}

// Runs the write job: the format's step on the parameters first, the alpha
// channel as mask when the row asks for it. With a view's layers the writer
// gets them and their merged picture instead of the working bitmap.
void RunWriter(TLumerakIO& IO, const TLKFormatRow& Row, TStream& S, TViewLayers* Layers = nullptr) {
  TProgressRec pr = lkio::MakeProgress(IO);
  TIOParamsVals& p = *IO.GetIOParams();
  if (Row.Save.BeforeWrite && !Row.Save.BeforeWrite(p))
    return LKAbort(pr, String(Row.Name) + ": the metadata does not fit the file");
  TLKBitmap* bmp = Layers ? &Layers->Merged : IO.GetLKBitmap();
  std::unique_ptr<TLKMask> mask;
  if (Row.Save.AlphaAsMask && bmp->GetHasAlphaChannel()) {
    mask = std::make_unique<TLKMask>();
    bmp->GetAlphaChannel()->CopyToTLKMask(mask.get());
  }
  TLKFormatJob job(Row, S, bmp, p, pr, false);
  job.Mask = mask.get();
  if (Layers) job.Layers = &Layers->Layers;
  LKRunWrite(job);
}

// The writer inside a stream header when the component writes them.
void WriteWithHeader(TLumerakIO& IO, const TLKFormatRow& Row, TStream& S, TViewLayers* Layers) {
  if (Row.Save.Header == lkshNone || !IO.GetStreamHeaders()) return RunWriter(IO, Row, S, Layers);
  const Int64 start = S.Position();
  const Byte blank[kStreamHeaderSize] = {};
  S.WriteBuffer(blank, kStreamHeaderSize);
  if (Row.Save.BeforeWrite && !Row.Save.BeforeWrite(*IO.GetIOParams()))
    return IO.SetAbortedWith(String(Row.Name) + ": the metadata does not fit the file");
  TLKFormatRow inner = Row;
  inner.Save.BeforeWrite = nullptr;
  RunWriter(IO, inner, S, Layers);
  if (!(Row.Save.HeaderOnlySuccess && IO.GetAborted())) PatchStreamHeader(IO, S, start, Row.Save.HeaderText);
}

// The stream save, also the synchronous half of split saves; BeforeFinish
// runs inside the finished part (a file save puts its file in place there,
// so the finish handler sees the saved file).
template <typename F>
void StreamSave(TLumerakIO& IO, const TLKFormatRow& Row, TStream* Stream, bool Headers, F BeforeFinish,
                TViewLayers* Layers = nullptr) {
  IO.SetAborted(false);
  WithFinish(IO, [&] {
    if (!ReadyForStream(IO, Stream)) return;
    if (Row.Save.Convert) lkio::ConvertForSave(IO);
    if (Headers)
      WriteWithHeader(IO, Row, *Stream, Layers);
    else
      RunWriter(IO, Row, *Stream, Layers);
    BeforeFinish();
  });
}

// The file save: the new file replaces the old one only when the writer
// succeeded. With CreateFirst the file is created before the finish is
// armed (an error raises without a finish).
void FileSave(TLumerakIO& IO, const TLKFormatRow& Row, const String& FileName, TViewLayers* Layers) {
  IO.SetAborted(true);
  if (Row.Save.CreateFirst) {
    lkio::TSaveFile file(FileName);
    StreamSave(
        IO, Row, file.Stream(), false,
        [&] {
          IO.GetIOParams()->FILENAME = FileName;
          file.CommitUnlessAborted(IO);
        },
        Layers);
    return;
  }
  WithFinish(IO, [&] {
    if (!IO.MakeConsistentBitmap({})) return;
    if (Row.Save.Convert) lkio::ConvertForSave(IO);
    lkio::TSaveFile file(FileName);
    IO.SetAborted(false);
    RunWriter(IO, Row, *file.Stream(), Layers);
    IO.GetIOParams()->FILENAME = FileName;
    file.CommitUnlessAborted(IO);
  });
}

// A road this build does not have: the abort flag, then the finish.
void NoRoad(TLumerakIO& IO, const TLKFormatRow& Row) {
  IO.SetAbortedWith(String(Row.Name) + ": not available in this build");
  IO.DoFinishWork();
}

}  // namespace

// ---------------------------------------------------------------------------
// The frames with their asynchronous gates

namespace lkio {

Integer LoadFileAs(TLumerakIO& IO, const TLKFormatRow& Row, const String& FileName) {
  if (IO.GetAsyncGate()) {
    new TLKIOThread(&IO, TLKIOMethodFileRetInt([&IO, Row](const String& F) { return LoadFileAs(IO, Row, F); }),
                    FileName);
    return -1;
  }
  if (Row.Load.NoRoad) {
    NoRoad(IO, Row);
    return 0;
  }
  return FileLoad(IO, Row, FileName);
}

Integer LoadStreamAs(TLumerakIO& IO, const TLKFormatRow& Row, TStream* Stream) {
  if (IO.GetAsyncGate()) {
    new TLKIOThread(&IO, TLKIOMethodStreamRetInt([&IO, Row](TStream* S) { return LoadStreamAs(IO, Row, S); }),
                    Stream);
    return -1;
  }
  return SyncLoadStreamAs(IO, Row, Stream, IO.GetStreamHeaders());
}

Integer SyncLoadStreamAs(TLumerakIO& IO, const TLKFormatRow& Row, TStream* Stream, bool Headers) {
  if (Row.Load.NoRoad) {
    NoRoad(IO, Row);
    return 0;
  }
  return StreamLoad(IO, Row, Stream, Headers);
}

// The saves after their gates, with the view's layers taken before it.
namespace {

void SaveFileTaken(TLumerakIO& IO, const TLKFormatRow& Row, const String& FileName, TViewLayers* Layers) {
  if (Row.Save.NoRoad) return NoRoad(IO, Row);
  FileSave(IO, Row, FileName, Layers);
}

void SaveStreamTaken(TLumerakIO& IO, const TLKFormatRow& Row, TStream* Stream, TViewLayers* Layers) {
  if (Row.Save.NoRoad) return NoRoad(IO, Row);
  StreamSave(IO, Row, Stream, Row.Save.Header != lkshNone, [] {}, Layers);
}

}  // namespace

void SaveFileAs(TLumerakIO& IO, const TLKFormatRow& Row, const String& FileName) {
  auto layers = Row.Save.NoRoad ? nullptr : TakeViewLayers(IO, Row);
  if (IO.GetAsyncGate()) {
    new TLKIOThread(
        &IO, TLKIOMethodFile([&IO, Row, layers](const String& F) { SaveFileTaken(IO, Row, F, layers.get()); }),
        FileName);
    return;
  }
  SaveFileTaken(IO, Row, FileName, layers.get());
}

void SaveStreamAs(TLumerakIO& IO, const TLKFormatRow& Row, TStream* Stream) {
  auto layers = Row.Save.NoRoad ? nullptr : TakeViewLayers(IO, Row);
  if (IO.GetAsyncGate()) {
    new TLKIOThread(&IO, TLKIOMethodStream([&IO, Row, layers](TStream* S) {
                      // The format is one file of pages the writer inserts
                      // into: a stream save makes a file of its own.
                      if (Row.Save.ReplaceStream && S && !Row.Save.NoRoad) S->SetSize(0);
                      SaveStreamTaken(IO, Row, S, layers.get());
                    }),
                    Stream);
    return;
  }
  if (Row.Save.NoRoad) return NoRoad(IO, Row);
  // The format is one file of pages the writer inserts into: a stream save
  // makes a file of its own, whatever the stream held.
  if (Row.Save.ReplaceStream && Stream) Stream->SetSize(0);
  SaveStreamTaken(IO, Row, Stream, layers.get());
}

void SyncSaveStreamAs(TLumerakIO& IO, const TLKFormatRow& Row, TStream* Stream) {
  auto layers = Row.Save.NoRoad ? nullptr : TakeViewLayers(IO, Row);
  SaveStreamTaken(IO, Row, Stream, layers.get());
}

void ReadParamsAs(TLumerakIO& IO, const TLKFormatRow& Row, TStream& Stream, TProgressRec& Progress) {
  TLKFormatJob job(Row, Stream, IO.GetLKBitmap(), *IO.GetIOParams(), Progress, true);
  // Parameter reads look at the file only: TIFF offsets count from where it
  // starts, an alpha channel is of no interest, layers are not made.
  job.IgnoreAlpha = true;
  LKRunRead(job);
  delete job.Mask;
}

}  // namespace lkio

// ---------------------------------------------------------------------------
// The per-format operations

void TLumerakIO::LoadFromFileJpeg(const String& FileName) { lkio::LoadFileAs(*this, RowOf(lkftJPEG), FileName); }
void TLumerakIO::LoadFromStreamJpeg(TStream* Stream) { lkio::LoadStreamAs(*this, RowOf(lkftJPEG), Stream); }
void TLumerakIO::SaveToFileJpeg(const String& FileName) { lkio::SaveFileAs(*this, RowOf(lkftJPEG), FileName); }
void TLumerakIO::SaveToStreamJpeg(TStream* Stream) { lkio::SaveStreamAs(*this, RowOf(lkftJPEG), Stream); }

Integer TLumerakIO::LoadFromFileTIFF(const String& FileName) {
  return lkio::LoadFileAs(*this, RowOf(lkftTIFF), FileName);
}
Integer TLumerakIO::LoadFromStreamTIFF(TStream* Stream) { return lkio::LoadStreamAs(*this, RowOf(lkftTIFF), Stream); }
Integer TLumerakIO::SyncLoadFromStreamTIFF(TStream* Stream, bool Headers) {
  return lkio::SyncLoadStreamAs(*this, RowOf(lkftTIFF), Stream, Headers);
}
void TLumerakIO::SaveToFileTIFF(const String& FileName) { lkio::SaveFileAs(*this, RowOf(lkftTIFF), FileName); }
void TLumerakIO::SaveToStreamTIFF(TStream* Stream) { lkio::SaveStreamAs(*this, RowOf(lkftTIFF), Stream); }

Integer TLumerakIO::LoadFromFileGIF(const String& FileName) { return lkio::LoadFileAs(*this, RowOf(lkftGIF), FileName); }
Integer TLumerakIO::LoadFromStreamGIF(TStream* Stream) { return lkio::LoadStreamAs(*this, RowOf(lkftGIF), Stream); }
Integer TLumerakIO::SyncLoadFromStreamGIF(TStream* Stream) {
  return lkio::SyncLoadStreamAs(*this, RowOf(lkftGIF), Stream, false);
}
void TLumerakIO::SaveToFileGIF(const String& FileName) { lkio::SaveFileAs(*this, RowOf(lkftGIF), FileName); }
void TLumerakIO::SaveToStreamGIF(TStream* Stream) { lkio::SaveStreamAs(*this, RowOf(lkftGIF), Stream); }

void TLumerakIO::LoadFromFilePCX(const String& FileName) { lkio::LoadFileAs(*this, RowOf(lkftPCX), FileName); }
void TLumerakIO::LoadFromStreamPCX(TStream* Stream) { lkio::LoadStreamAs(*this, RowOf(lkftPCX), Stream); }
void TLumerakIO::SyncLoadFromStreamPCX(TStream* Stream, bool Headers) {
  lkio::SyncLoadStreamAs(*this, RowOf(lkftPCX), Stream, Headers);
}
void TLumerakIO::SaveToFilePCX(const String& FileName) { lkio::SaveFileAs(*this, RowOf(lkftPCX), FileName); }
void TLumerakIO::SaveToStreamPCX(TStream* Stream) { lkio::SaveStreamAs(*this, RowOf(lkftPCX), Stream); }

void TLumerakIO::LoadFromFileDCX(const String& FileName) { lkio::LoadFileAs(*this, RowOf(lkftDCX), FileName); }
void TLumerakIO::LoadFromStreamDCX(TStream* Stream) { lkio::LoadStreamAs(*this, RowOf(lkftDCX), Stream); }
void TLumerakIO::SyncLoadFromStreamDCX(TStream* Stream) {
  lkio::SyncLoadStreamAs(*this, RowOf(lkftDCX), Stream, false);
}
void TLumerakIO::SaveToFileDCX(const String& FileName) { lkio::SaveFileAs(*this, RowOf(lkftDCX), FileName); }
void TLumerakIO::SaveToStreamDCX(TStream* Stream) { lkio::SaveStreamAs(*this, RowOf(lkftDCX), Stream); }
void TLumerakIO::SyncSaveToStreamDCX(TStream* Stream) { lkio::SyncSaveStreamAs(*this, RowOf(lkftDCX), Stream); }

namespace {

// Multi-page files: the bitmap goes in as a page through the page
// operations of the format (io/lkmultipage.h), run as the format's save on a
// copy of the file, which replaces the file only when the insertion
// succeeded. Returns the pages of the file afterwards (0 on failure).

// The format's row with the page insertion as its write job (unless its
// save inserts already).
TLKFormatRow PageInsertRow(Integer FileType) {
  TLKFormatRow row = RowOf(FileType);
  const TLKPageOps* ops = LKPageOpsOf(FileType);
  if (!ops->SaveInserts) row.Write = ops->Insert;
  return row;
}

Integer InsertPage(TLumerakIO& IO, Integer FileType, TStream* Stream) {
  const TLKFormatRow row = PageInsertRow(FileType);
  Integer pages = 0;
  StreamSave(IO, row, Stream, false, [&] {
    if (IO.GetAborted()) return;
    Stream->Seek(0, soBeginning);
    pages = LKPageOpsOf(FileType)->Count(*Stream);
  });
  return pages;
}

Integer InsertPageToFile(TLumerakIO& IO, Integer FileType, const String& FileName) {
  auto source = lkio::OpenForRead(FileName);
  IO.SetAborted(true);
  lkio::TSaveFile file(FileName);
  file.Stream()->CopyFrom(source.get(), 0);
  source.reset();
  file.Stream()->Seek(0, soBeginning);
  const TLKFormatRow row = PageInsertRow(FileType);
  Integer pages = 0;
  StreamSave(IO, row, file.Stream(), false, [&] {
    if (!IO.GetAborted()) {
      file.Stream()->Seek(0, soBeginning);
      pages = LKPageOpsOf(FileType)->Count(*file.Stream());
    }
    file.CommitUnlessAborted(IO);
  });
  return pages;
}

}  // namespace

void TLumerakIO::InsertToFileDCX(const String& FileName) {
  if (GetAsyncGate()) {
    new TLKIOThread(this, TLKIOMethodFile([this](const String& F) { InsertToFileDCX(F); }), FileName);
    return;
  }
  InsertPageToFile(*this, lkftDCX, FileName);
}

Integer TLumerakIO::InsertToFileTIFF(const String& FileName) {
  if (GetAsyncGate()) {
    new TLKIOThread(this, TLKIOMethodFileRetInt([this](const String& F) { return InsertToFileTIFF(F); }), FileName);
    return -1;
  }
  return InsertPageToFile(*this, lkftTIFF, FileName);
}

Integer TLumerakIO::InsertToStreamTIFF(TStream* Stream) {
  if (GetAsyncGate()) {
    new TLKIOThread(this, TLKIOMethodStreamRetInt([this](TStream* S) { return InsertToStreamTIFF(S); }), Stream);
    return -1;
  }
  if (Stream) Stream->Seek(0, soBeginning);
  return InsertPage(*this, lkftTIFF, Stream);
}

Integer TLumerakIO::InsertToFileGIF(const String& FileName) {
  if (GetAsyncGate()) {
    new TLKIOThread(this, TLKIOMethodFileRetInt([this](const String& F) { return InsertToFileGIF(F); }), FileName);
    return -1;
  }
  // The logical screen grows to hold the frame at its position.
  TIOParamsVals& p = *GetIOParams();
  p.GIF_WINWIDTH = std::max(p.GIF_WINWIDTH, GetLKBitmap()->GetWidth() + p.GIF_XPOS);
  p.GIF_WINHEIGHT = std::max(p.GIF_WINHEIGHT, GetLKBitmap()->GetHeight() + p.GIF_YPOS);
  const Integer frames = InsertPageToFile(*this, lkftGIF, FileName);
  if (GetAborted()) return frames;
  // The loop block goes in through a second new file: a failure there keeps
  // the file with its new frame and says why.
  const TLKPageOps* ops = LKPageOpsOf(lkftGIF);
  try {
    if (ops->MakeAnimated) ops->MakeAnimated(FileName, 0, p.GIF_WINWIDTH, p.GIF_WINHEIGHT);
  } catch (const Exception& e) {
    SetAbortedWith("GIF: the loop block could not be written: " + String(e.what()));
  }
  return frames;
}

Integer TLumerakIO::ReplaceFileTIFF(const String& FileName) {
  DeleteTIFFIm(FileName, GetIOParams()->TIFF_IMAGEINDEX);
  return InsertToFileTIFF(FileName);
}

Integer TLumerakIO::ReplaceFileGIF(const String& FileName) {
  DeleteGIFIm(FileName, GetIOParams()->GIF_IMAGEINDEX);
  return InsertToFileGIF(FileName);
}

void TLumerakIO::LoadFromFileBMP(const String& FileName) { lkio::LoadFileAs(*this, RowOf(lkftBMP), FileName); }
void TLumerakIO::LoadFromStreamBMP(TStream* Stream) { lkio::LoadStreamAs(*this, RowOf(lkftBMP), Stream); }
void TLumerakIO::SyncLoadFromStreamBMP(TStream* Stream) {
  lkio::SyncLoadStreamAs(*this, RowOf(lkftBMP), Stream, false);
}
void TLumerakIO::SaveToFileBMP(const String& FileName) { lkio::SaveFileAs(*this, RowOf(lkftBMP), FileName); }
void TLumerakIO::SaveToStreamBMP(TStream* Stream) { lkio::SaveStreamAs(*this, RowOf(lkftBMP), Stream); }
void TLumerakIO::SyncSaveToStreamBMP(TStream* Stream) { lkio::SyncSaveStreamAs(*this, RowOf(lkftBMP), Stream); }

void TLumerakIO::LoadFromFilePNG(const String& FileName) { lkio::LoadFileAs(*this, RowOf(lkftPNG), FileName); }
void TLumerakIO::LoadFromStreamPNG(TStream* Stream) { lkio::LoadStreamAs(*this, RowOf(lkftPNG), Stream); }
void TLumerakIO::SaveToFilePNG(const String& FileName) { lkio::SaveFileAs(*this, RowOf(lkftPNG), FileName); }
void TLumerakIO::SaveToStreamPNG(TStream* Stream) { lkio::SaveStreamAs(*this, RowOf(lkftPNG), Stream); }

void TLumerakIO::LoadFromFileTGA(const String& FileName) { lkio::LoadFileAs(*this, RowOf(lkftTGA), FileName); }
void TLumerakIO::LoadFromStreamTGA(TStream* Stream) { lkio::LoadStreamAs(*this, RowOf(lkftTGA), Stream); }
void TLumerakIO::SaveToFileTGA(const String& FileName) { lkio::SaveFileAs(*this, RowOf(lkftTGA), FileName); }
void TLumerakIO::SaveToStreamTGA(TStream* Stream) { lkio::SaveStreamAs(*this, RowOf(lkftTGA), Stream); }

void TLumerakIO::LoadFromFileICO(const String& FileName) { lkio::LoadFileAs(*this, RowOf(lkftICO), FileName); }
void TLumerakIO::LoadFromStreamICO(TStream* Stream) { lkio::LoadStreamAs(*this, RowOf(lkftICO), Stream); }
void TLumerakIO::SaveToFileICO(const String& FileName) { lkio::SaveFileAs(*this, RowOf(lkftICO), FileName); }
void TLumerakIO::SaveToStreamICO(TStream* Stream) { lkio::SaveStreamAs(*this, RowOf(lkftICO), Stream); }
void TLumerakIO::LoadFromFileCUR(const String& FileName) { lkio::LoadFileAs(*this, RowOf(lkftCUR), FileName); }
void TLumerakIO::LoadFromStreamCUR(TStream* Stream) { lkio::LoadStreamAs(*this, RowOf(lkftCUR), Stream); }

bool LKWriteICOImages(const String& FileName, const std::vector<TObject*>& Images) {
  const TLKFormatRow* row = LKFormatRowOf(lkftICO);
  if (!row || !row->WriteImages) return false;
  std::atomic<bool> aborted{false};
  TProgressRec pr;
  pr.AbortFlag = &aborted;
  lkio::TSaveFile file(FileName);
  row->WriteImages(*file.Stream(), Images, pr);
  if (aborted.load()) return false;
  file.Commit();
  return true;
}

void TLumerakIO::LoadFromFilePXM(const String& FileName) { lkio::LoadFileAs(*this, RowOf(lkftPXM), FileName); }
void TLumerakIO::LoadFromStreamPXM(TStream* Stream) { lkio::LoadStreamAs(*this, RowOf(lkftPXM), Stream); }
void TLumerakIO::SaveToFilePXM(const String& FileName) { lkio::SaveFileAs(*this, RowOf(lkftPXM), FileName); }
void TLumerakIO::SaveToStreamPXM(TStream* Stream) { lkio::SaveStreamAs(*this, RowOf(lkftPXM), Stream); }

void TLumerakIO::LoadFromFileWBMP(const String& FileName) { lkio::LoadFileAs(*this, RowOf(lkftWBMP), FileName); }
void TLumerakIO::LoadFromStreamWBMP(TStream* Stream) { lkio::LoadStreamAs(*this, RowOf(lkftWBMP), Stream); }
void TLumerakIO::SaveToFileWBMP(const String& FileName) { lkio::SaveFileAs(*this, RowOf(lkftWBMP), FileName); }
void TLumerakIO::SaveToStreamWBMP(TStream* Stream) { lkio::SaveStreamAs(*this, RowOf(lkftWBMP), Stream); }

// The shared JPEG 2000 steps: the read without file type, update and finish;
// the write (Format 0 a file, 1 a code stream) without finish.
void TLumerakIO::LoadFromStreamJ2000(TStream* Stream) {
  SetAborted(false);
  if (!ReadyForStream(*this, Stream)) return;
  GetIOParams()->ResetInfo();
  TProgressRec pr = lkio::MakeProgress(*this);
  const TLKFormatRow& row = RowOf(lkftJP2);
  TLKFormatJob job(row, *Stream, GetLKBitmap(), *GetIOParams(), pr, false);
  ReadPart(*this, row, job, nullptr);
  GetIOParams()->FILENAME.clear();
  lkio::GiveViewResolution(*this);
}

void TLumerakIO::SaveToStreamJ2000(TStream* Stream, Integer Format) {
  SetAborted(false);
  if (!ReadyForStream(*this, Stream)) return;
  lkio::ConvertForSave(*this);
  RunWriter(*this, RowOf(Format == 0 ? lkftJP2 : lkftJ2K), *Stream);
}

void TLumerakIO::LoadFromFileJP2(const String& FileName) { lkio::LoadFileAs(*this, RowOf(lkftJP2), FileName); }
void TLumerakIO::LoadFromFileJ2K(const String& FileName) { lkio::LoadFileAs(*this, RowOf(lkftJ2K), FileName); }
void TLumerakIO::LoadFromStreamJP2(TStream* Stream) { lkio::LoadStreamAs(*this, RowOf(lkftJP2), Stream); }
void TLumerakIO::LoadFromStreamJ2K(TStream* Stream) { lkio::LoadStreamAs(*this, RowOf(lkftJ2K), Stream); }
void TLumerakIO::SaveToFileJP2(const String& FileName) { lkio::SaveFileAs(*this, RowOf(lkftJP2), FileName); }
void TLumerakIO::SaveToFileJ2K(const String& FileName) { lkio::SaveFileAs(*this, RowOf(lkftJ2K), FileName); }
void TLumerakIO::SaveToStreamJP2(TStream* Stream) { lkio::SaveStreamAs(*this, RowOf(lkftJP2), Stream); }
void TLumerakIO::SaveToStreamJ2K(TStream* Stream) { lkio::SaveStreamAs(*this, RowOf(lkftJ2K), Stream); }

// Headerless raw pixels: an empty file name does nothing.
void TLumerakIO::LoadFromFileBMPRAW(const String& FileName) {
  if (!FileName.empty()) lkio::LoadFileAs(*this, RowOf(lkftBMPRAW), FileName);
}
void TLumerakIO::LoadFromStreamBMPRAW(TStream* Stream) { lkio::LoadStreamAs(*this, RowOf(lkftBMPRAW), Stream); }
void TLumerakIO::SyncLoadFromStreamBMPRAW(TStream* Stream) {
  lkio::SyncLoadStreamAs(*this, RowOf(lkftBMPRAW), Stream, false);
}
void TLumerakIO::SaveToFileBMPRAW(const String& FileName) {
  if (!FileName.empty()) lkio::SaveFileAs(*this, RowOf(lkftBMPRAW), FileName);
}
void TLumerakIO::SaveToStreamBMPRAW(TStream* Stream) { lkio::SaveStreamAs(*this, RowOf(lkftBMPRAW), Stream); }
void TLumerakIO::SyncSaveToStreamBMPRAW(TStream* Stream) {
  lkio::SyncSaveStreamAs(*this, RowOf(lkftBMPRAW), Stream);
}

// PSD: the merged picture; layers stay with the file.
void TLumerakIO::LoadFromFilePSD(const String& FileName) { lkio::LoadFileAs(*this, RowOf(lkftPSD), FileName); }
void TLumerakIO::LoadFromStreamPSD(TStream* Stream) { lkio::LoadStreamAs(*this, RowOf(lkftPSD), Stream); }
void TLumerakIO::SyncLoadFromStreamPSD(TStream* Stream) {
  lkio::SyncLoadStreamAs(*this, RowOf(lkftPSD), Stream, false);
}
void TLumerakIO::SaveToFilePSD(const String& FileName) { lkio::SaveFileAs(*this, RowOf(lkftPSD), FileName); }
void TLumerakIO::SaveToStreamPSD(TStream* Stream) { lkio::SaveStreamAs(*this, RowOf(lkftPSD), Stream); }
void TLumerakIO::SyncSaveToStreamPSD(TStream* Stream) { lkio::SyncSaveStreamAs(*this, RowOf(lkftPSD), Stream); }
