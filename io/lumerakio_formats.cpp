// The per-format loads and saves of the I/O component: each wraps one codec
// of the entry table in the shared frame (asynchronous gate, abort flag,
// progress record, bitmap preparation, file handling, bookkeeping of the
// parameters, view update, finish).

#include <cstring>
#include <functional>
#include <memory>

#include "core/lkbitmap.h"
#include "core/lkmask.h"
#include "io/lkcodecentries.h"
#include "io/lkexif.h"
#include "io/lkiothread.h"
#include "io/lumerakio.h"
#include "io/lumerakio_frame.h"
#include "platform/sysutils.h"
#include "processing/lkprocutils.h"

using lkio::WithFinish;

namespace {

constexpr Integer kTIFF = 1, kGIF = 2, kJPEG = 3, kPCX = 4, kBMP = 5, kICO = 6, kCUR = 7, kPNG = 8, kTGA = 11,
                  kPXM = 12, kJP2 = 13, kJ2K = 14, kWBMP = 16, kDCX = 19, kBMPRAW = 21, kPSD = 24;

// Length of the stream header in front of JPEG, TIFF and PCX stream data.
constexpr Int64 kStreamHeaderSize = 12;

void SetAbort(TProgressRec& Pr) {
  if (Pr.AbortFlag) Pr.AbortFlag->store(true);
}

// Calls Use with the codec of the entry table, or sets the abort flag when
// the table lacks it.
template <typename TFn, typename TUse>
void WithEntry(TFn TLKCodecEntries::*Entry, TProgressRec& Pr, TUse&& Use) {
  if (TFn fn = LKCodecEntries().*Entry)
    Use(fn);
  else
    SetAbort(Pr);
}

// A reader: fills the working bitmap from the stream; may hand back an alpha
// mask. A writer: writes the working bitmap to the stream.
using TReader = std::function<void(TStream& S, TProgressRec& Pr, TLKMask*& Mask)>;
using TWriter = std::function<void(TStream& S, TProgressRec& Pr)>;

// What a load does after reading.
struct TLoadSteps {
  Integer FileType = 0;
  bool CheckResolution = true;  // a missing resolution becomes the default
  bool Adjust = true;           // AdjustDPI when AutoAdjustDPI is set
  bool ViewResolution = true;   // the view takes the resolution
  std::function<void()> AfterViewResolution;  // a format's own step after it
};

// ---------------------------------------------------------------------------
// Asynchronous gates: when the operation goes to a worker they start it and
// return true.

bool GateFile(TLumerakIO* IO, const String& Name, void (TLumerakIO::*M)(const String&)) {
  if (!IO->GetAsyncGate()) return false;
  new TLKIOThread(IO, TLKIOMethodFile([IO, M](const String& F) { (IO->*M)(F); }), Name);
  return true;
}
bool GateStream(TLumerakIO* IO, TStream* S, void (TLumerakIO::*M)(TStream*)) {
  if (!IO->GetAsyncGate()) return false;
  new TLKIOThread(IO, TLKIOMethodStream([IO, M](TStream* St) { (IO->*M)(St); }), S);
  return true;
}
bool GateFileInt(TLumerakIO* IO, const String& Name, Integer (TLumerakIO::*M)(const String&)) {
  if (!IO->GetAsyncGate()) return false;
  new TLKIOThread(IO, TLKIOMethodFileRetInt([IO, M](const String& F) { return (IO->*M)(F); }), Name);
  return true;
}
bool GateStreamInt(TLumerakIO* IO, TStream* S, Integer (TLumerakIO::*M)(TStream*)) {
  if (!IO->GetAsyncGate()) return false;
  new TLKIOThread(IO, TLKIOMethodStreamRetInt([IO, M](TStream* St) { return (IO->*M)(St); }), S);
  return true;
}

// ---------------------------------------------------------------------------
// Frames

// Prepares the bitmap for a stream operation: false when there is nothing to
// do (a null stream also sets the abort flag).
bool ReadyForStream(TLumerakIO& IO, TStream* Stream) {
  if (!IO.MakeConsistentBitmap({})) return false;
  if (!Stream) IO.SetAborted(true);
  return Stream != nullptr;
}

// The bookkeeping after a load's read: the file type, the view's resolution,
// the format's own step, the view update.
void EndLoad(TLumerakIO& IO, const TLoadSteps& Steps) {
  IO.GetIOParams()->FILETYPE = Steps.FileType;
  if (Steps.ViewResolution) lkio::GiveViewResolution(IO);
  if (Steps.AfterViewResolution) Steps.AfterViewResolution();
  IO.Update();
}

// Drops the alpha channel, reads, makes the resolution plausible, takes the
// reader's mask as alpha channel and adjusts the resolution.
void ReadPart(TLumerakIO& IO, TStream& S, const TLoadSteps& Steps, const TReader& Read) {
  TLKBitmap* bmp = IO.GetLKBitmap();
  bmp->RemoveAlphaChannel();
  TLKMask* rawMask = nullptr;
  TProgressRec pr = lkio::MakeProgress(IO);
  if (Read)
    Read(S, pr, rawMask);
  else
    SetAbort(pr);
  std::unique_ptr<TLKMask> mask(rawMask);
  if (Steps.CheckResolution) IO.CheckDPI();
  if (mask) bmp->GetAlphaChannel()->CopyFromTLKMask(mask.get());
  if (Steps.Adjust && IO.GetAutoAdjustDPI()) IO.AdjustDPI();
}

// The file load: the file is opened inside the part that reports the finish.
void FileLoad(TLumerakIO& IO, const String& FileName, const TLoadSteps& Steps, const TReader& Read) {
  TIOParamsVals& p = *IO.GetIOParams();
  IO.SetAborted(true);
  WithFinish(IO, [&] {
    if (!IO.MakeConsistentBitmap({})) return;
    p.ResetInfo();
    auto file = lkio::OpenForRead(FileName);
    IO.SetAborted(false);
    ReadPart(IO, *file, Steps, Read);
    p.FILENAME = FileName;
    EndLoad(IO, Steps);
  });
}

// The stream load, also the synchronous half of the split loads.
void StreamLoad(TLumerakIO& IO, TStream* Stream, const TLoadSteps& Steps, const TReader& Read) {
  TIOParamsVals& p = *IO.GetIOParams();
  IO.SetAborted(false);
  WithFinish(IO, [&] {
    if (!ReadyForStream(IO, Stream)) return;
    p.ResetInfo();
    ReadPart(IO, *Stream, Steps, Read);
    p.FILENAME.clear();
    EndLoad(IO, Steps);
  });
}

// The file side of a split load: opens the file (an error raises before any
// finish), runs the synchronous stream load, names the file.
template <typename F>
void SplitFileLoad(TLumerakIO& IO, const String& FileName, F Sync) {
  auto file = lkio::OpenForRead(FileName);
  Sync(file.get());
  IO.GetIOParams()->FILENAME = FileName;
}

void RunWriter(TLumerakIO& IO, TStream& S, const TWriter& Write) {
  TProgressRec pr = lkio::MakeProgress(IO);
  if (Write)
    Write(S, pr);
  else
    SetAbort(pr);
}

// The file save: the new file replaces the old one only when the writer
// succeeded.
void FileSave(TLumerakIO& IO, const String& FileName, bool Convert, const TWriter& Write) {
  IO.SetAborted(true);
  WithFinish(IO, [&] {
    if (!IO.MakeConsistentBitmap({})) return;
    if (Convert) lkio::ConvertForSave(IO);
    lkio::TSaveFile file(FileName);
    IO.SetAborted(false);
    RunWriter(IO, *file.Stream(), Write);
    IO.GetIOParams()->FILENAME = FileName;
    file.CommitUnlessAborted(IO);
  });
}

void StreamSave(TLumerakIO& IO, TStream* Stream, bool Convert, const TWriter& Write) {
  IO.SetAborted(false);
  WithFinish(IO, [&] {
    if (!ReadyForStream(IO, Stream)) return;
    if (Convert) lkio::ConvertForSave(IO);
    RunWriter(IO, *Stream, Write);
  });
}

// The synchronous stream save of the split saves; BeforeFinish runs inside
// the finished part (the file save puts its file in place there, so the
// finish handler sees the saved file).
void SyncSave(TLumerakIO& IO, TStream* Stream, const TWriter& Write, const std::function<void()>& BeforeFinish = {}) {
  IO.SetAborted(false);
  WithFinish(IO, [&] {
    if (!ReadyForStream(IO, Stream)) return;
    RunWriter(IO, *Stream, Write);
    if (BeforeFinish) BeforeFinish();
  });
}

// The file side of a split save: the file is created before the finish is
// armed (an error raises without finish).
void SplitFileSave(TLumerakIO& IO, const String& FileName, const TWriter& Write) {
  IO.SetAborted(true);
  lkio::TSaveFile file(FileName);
  SyncSave(IO, file.Stream(), Write, [&] {
    IO.GetIOParams()->FILENAME = FileName;
    file.CommitUnlessAborted(IO);
  });
}

// ---------------------------------------------------------------------------
// Stream headers: "JFIF", "TIFF" or "PCX2", four zero bytes, the length of
// the data after the header (32-bit little-endian).

void PutLE32(Byte* P, Cardinal V) {
  P[0] = Byte(V);
  P[1] = Byte(V >> 8);
  P[2] = Byte(V >> 16);
  P[3] = Byte(V >> 24);
}

Cardinal GetLE32(const Byte* P) {
  return Cardinal(P[0]) | (Cardinal(P[1]) << 8) | (Cardinal(P[2]) << 16) | (Cardinal(P[3]) << 24);
}

// Writes the header over the 12 bytes at Start for the data that ends at the
// current position, and goes back to that end. Data longer than the 32-bit
// field can say sets the abort flag instead.
void PatchStreamHeader(TLumerakIO& IO, TStream& S, Int64 Start, const char* Magic) {
  const Int64 end = S.Position();
  const Int64 length = end - Start - kStreamHeaderSize;
  if (length < 0 || length > Int64(0xFFFFFFFFu)) {
    IO.SetAborted(true);
    return;
  }
  Byte h[kStreamHeaderSize] = {};
  std::memcpy(h, Magic, 4);
  PutLE32(h + 8, Cardinal(length));
  S.Seek(Start, soBeginning);
  S.WriteBuffer(h, kStreamHeaderSize);
  S.Seek(end, soBeginning);
}

// Reads a stream header at the position: true with its text and length when
// all 12 bytes are there.
bool ReadStreamHeader(TStream& S, char (&Text)[5], Cardinal& Length) {
  Byte h[kStreamHeaderSize];
  Integer got = 0;
  while (got < Integer(kStreamHeaderSize)) {
    const Integer n = S.Read(h + got, Integer(kStreamHeaderSize) - got);
    if (n <= 0) break;
    got += n;
  }
  if (got != Integer(kStreamHeaderSize)) return false;
  std::memcpy(Text, h, 4);
  Text[4] = 0;
  Length = GetLE32(h + 8);
  return true;
}

// Reads the stream header in front of a load's data from Start, the current
// position. When it is missing or its text does not begin with Prefix, the
// stream goes back to Start and the load ends aborted, finish included:
// false then.
bool TakeStreamHeader(TLumerakIO& IO, TStream& S, const char* Prefix, Int64& Start, char (&Text)[5],
                      Cardinal& Length) {
  Start = S.Position();
  if (ReadStreamHeader(S, Text, Length) && std::strncmp(Text, Prefix, std::strlen(Prefix)) == 0) return true;
  S.Seek(Start, soBeginning);
  IO.SetAborted(true);
  IO.DoFinishWork();
  return false;
}

// ---------------------------------------------------------------------------
// JPEG markers refreshed before every save

constexpr Byte kAPP1 = 0xE1, kAPP13 = 0xED;

bool FitsMarker(const std::vector<Byte>& Block) { return Block.size() <= size_t(LKMaxMarkerPayload); }

// Deletes the first APP1 marker that Is accepts.
void DeleteFirstAPP1(TLKMarkerList& Markers, bool (*Is)(const Byte*, Integer)) {
  for (Integer i = 0; i < Markers.GetCount(); ++i)
    if (Markers.GetMarkerType(i) == kAPP1 && Is(Markers.GetMarkerData(i), Markers.GetMarkerLength(i))) {
      Markers.DeleteMarker(i);
      return;
    }
}

bool IsEXIFBlock(const Byte* Data, Integer Length) { return Data && CheckEXIFFromStandardBuffer(Data, Length); }
bool IsXMPBlock(const Byte* Data, Integer Length) { return Data && LKFindXMPFromJpegTag(Data, Length) != nullptr; }

// Brings the metadata markers of P up to date with its fields:
//  - the IPTC records go into the first APP13 marker when they changed since
//    they were read, or when there are records and no markers at all;
//  - with EXIF_HASEXIF, a new EXIF block replaces the first EXIF APP1;
//  - with XMP_INFO, a new XMP block replaces the first XMP APP1.
// A block too long for one marker fails the save (false) rather than write a
// file with stale or missing metadata; the markers are then left as they were.
bool RefreshMarkers(TIOParamsVals& P) {
  TLKIPTCInfoList& iptc = P.IPTC_Records;
  TLKMarkerList& markers = P.JPEG_Markers;
  const bool iptcDue = iptc.GetChangedSinceRead() || (iptc.GetCount() > 0 && markers.GetCount() == 0);
  std::vector<Byte> iptcBlock, exifBlock, xmpBlock;
  if (iptcDue) iptcBlock = iptc.SaveToStandardBuffer(true);
  if (P.EXIF_HASEXIF) SaveEXIFToStandardBuffer(P, exifBlock);
  if (!P.XMP_INFO.empty()) LKSaveXMPToJpegTag(P, xmpBlock);
  if (!FitsMarker(iptcBlock) || !FitsMarker(exifBlock) || !FitsMarker(xmpBlock)) return false;

  if (iptcDue) {
    const Integer at = markers.IndexOf(kAPP13);
    if (iptcBlock.empty()) {
      if (at >= 0) markers.DeleteMarker(at);
    } else if (at >= 0) {
      markers.SetMarker(at, kAPP13, iptcBlock.data(), Integer(iptcBlock.size()));
    } else {
      markers.AddMarker(kAPP13, iptcBlock.data(), Integer(iptcBlock.size()));
    }
  }
  if (P.EXIF_HASEXIF) {
    DeleteFirstAPP1(markers, IsEXIFBlock);
    markers.AddMarker(kAPP1, exifBlock.data(), Integer(exifBlock.size()));
  }
  if (!P.XMP_INFO.empty()) {
    DeleteFirstAPP1(markers, IsXMPBlock);
    markers.AddMarker(kAPP1, xmpBlock.data(), Integer(xmpBlock.size()));
  }
  return true;
}

// ---------------------------------------------------------------------------
// Readers and writers over the entry table (a missing entry aborts)

TReader PlainReader(TLumerakIO& IO, void (*TLKCodecEntries::*Entry)(TStream&, TLKBitmap&, TIOParamsVals&,
                                                                     TProgressRec&, bool)) {
  return [&IO, Entry](TStream& S, TProgressRec& Pr, TLKMask*&) {
    WithEntry(Entry, Pr, [&](auto read) { read(S, *IO.GetLKBitmap(), *IO.GetIOParams(), Pr, false); });
  };
}

TWriter PlainWriter(TLumerakIO& IO,
                    void (*TLKCodecEntries::*Entry)(TStream&, TLKBitmap&, TIOParamsVals&, TProgressRec&)) {
  return [&IO, Entry](TStream& S, TProgressRec& Pr) {
    WithEntry(Entry, Pr, [&](auto write) { write(S, *IO.GetLKBitmap(), *IO.GetIOParams(), Pr); });
  };
}

// Readers that return an alpha mask.
TReader MaskReader(TLumerakIO& IO, void (*TLKCodecEntries::*Entry)(TStream&, TLKBitmap&, TIOParamsVals&,
                                                                    TProgressRec&, bool, TLKMask*&)) {
  return [&IO, Entry](TStream& S, TProgressRec& Pr, TLKMask*& Mask) {
    WithEntry(Entry, Pr, [&](auto read) { read(S, *IO.GetLKBitmap(), *IO.GetIOParams(), Pr, false, Mask); });
  };
}

TReader IconReader(TLumerakIO& IO, void (*TLKCodecEntries::*Entry)(TStream&, TLKBitmap&, TIOParamsVals&, bool,
                                                                    TProgressRec&, TLKMask*&)) {
  return [&IO, Entry](TStream& S, TProgressRec& Pr, TLKMask*& Mask) {
    WithEntry(Entry, Pr, [&](auto read) { read(S, *IO.GetLKBitmap(), *IO.GetIOParams(), false, Pr, Mask); });
  };
}

// Writers that take a copy of the alpha channel as mask (PNG, Targa).
TWriter MaskWriter(TLumerakIO& IO, void (*TLKCodecEntries::*Entry)(TStream&, TLKBitmap&, TIOParamsVals&,
                                                                    TProgressRec&, TLKMask*)) {
  return [&IO, Entry](TStream& S, TProgressRec& Pr) {
    WithEntry(Entry, Pr, [&](auto write) {
      TLKBitmap* bmp = IO.GetLKBitmap();
      std::unique_ptr<TLKMask> mask;
      if (bmp->GetHasAlphaChannel()) {
        mask = std::make_unique<TLKMask>();
        bmp->GetAlphaChannel()->CopyToTLKMask(mask.get());
      }
      write(S, *bmp, *IO.GetIOParams(), Pr, mask.get());
    });
  };
}

TWriter J2000Writer(TLumerakIO& IO, Integer Format) {
  return [&IO, Format](TStream& S, TProgressRec& Pr) {
    WithEntry(&TLKCodecEntries::WriteJ2K, Pr,
              [&](auto write) { write(S, *IO.GetLKBitmap(), *IO.GetIOParams(), Pr, Format); });
  };
}

TLoadSteps Steps(Integer FileType) {
  TLoadSteps s;
  s.FileType = FileType;
  return s;
}

// The steps of a load whose view does not take the resolution.
TLoadSteps StepsWithoutView(Integer FileType) {
  TLoadSteps s = Steps(FileType);
  s.ViewResolution = false;
  return s;
}

}  // namespace

// ---------------------------------------------------------------------------
// JPEG

void TLumerakIO::LoadFromFileJpeg(const String& FileName) {
  if (GateFile(this, FileName, &TLumerakIO::LoadFromFileJpeg)) return;
  FileLoad(*this, FileName, Steps(kJPEG), PlainReader(*this, &TLKCodecEntries::ReadJpeg));
}

void TLumerakIO::LoadFromStreamJpeg(TStream* Stream) {
  if (GateStream(this, Stream, &TLumerakIO::LoadFromStreamJpeg)) return;
  // A "JFIF" stream header is skipped whatever StreamHeaders says, and the
  // position then ends after the data it announces, so that the next object
  // of the stream can be read.
  Int64 start = 0;
  Cardinal length = 0;
  bool header = false;
  const TReader plain = PlainReader(*this, &TLKCodecEntries::ReadJpeg);
  const TReader read = [&](TStream& S, TProgressRec& Pr, TLKMask*& Mask) {
    start = S.Position();
    char text[5];
    header = ReadStreamHeader(S, text, length) && std::strcmp(text, "JFIF") == 0;
    if (!header) S.Seek(start, soBeginning);
    plain(S, Pr, Mask);
    if (header) S.Seek(start + kStreamHeaderSize + Int64(length), soBeginning);
  };
  StreamLoad(*this, Stream, Steps(kJPEG), read);
}

void TLumerakIO::SaveToFileJpeg(const String& FileName) {
  if (GateFile(this, FileName, &TLumerakIO::SaveToFileJpeg)) return;
  const TWriter jpeg = PlainWriter(*this, &TLKCodecEntries::WriteJpeg);
  FileSave(*this, FileName, true, [&](TStream& S, TProgressRec& Pr) {
    if (!RefreshMarkers(*GetIOParams())) return SetAbort(Pr);
    jpeg(S, Pr);
  });
}

void TLumerakIO::SaveToStreamJpeg(TStream* Stream) {
  if (GateStream(this, Stream, &TLumerakIO::SaveToStreamJpeg)) return;
  const TWriter jpeg = PlainWriter(*this, &TLKCodecEntries::WriteJpeg);
  StreamSave(*this, Stream, true, [&](TStream& S, TProgressRec& Pr) {
    const Int64 start = S.Position();
    if (GetStreamHeaders()) {
      const Byte blank[kStreamHeaderSize] = {};
      S.WriteBuffer(blank, kStreamHeaderSize);
    }
    if (!RefreshMarkers(*GetIOParams())) return SetAbort(Pr);
    jpeg(S, Pr);
    if (GetStreamHeaders()) PatchStreamHeader(*this, S, start, "JFIF");
  });
}

// ---------------------------------------------------------------------------
// TIFF

Integer TLumerakIO::LoadFromFileTIFF(const String& FileName) {
  if (GateFileInt(this, FileName, &TLumerakIO::LoadFromFileTIFF)) return -1;
  Integer pages = 0;
  SplitFileLoad(*this, FileName, [&](TStream* S) { pages = SyncLoadFromStreamTIFF(S, false); });
  return pages;
}

Integer TLumerakIO::LoadFromStreamTIFF(TStream* Stream) {
  if (GateStreamInt(this, Stream, &TLumerakIO::LoadFromStreamTIFF)) return -1;
  return SyncLoadFromStreamTIFF(Stream, GetStreamHeaders());
}

Integer TLumerakIO::SyncLoadFromStreamTIFF(TStream* Stream, bool Headers) {
  Integer pages = 0;
  if (Headers && Stream) {
    Int64 start = 0;
    char text[5];
    Cardinal length = 0;
    if (!TakeStreamHeader(*this, *Stream, "TIFF", start, text, length)) return 0;
    StreamLoad(*this, Stream, Steps(kTIFF), [&](TStream& S, TProgressRec& Pr, TLKMask*& Mask) {
      WithEntry(&TLKCodecEntries::ReadTIFF, Pr, [&](auto read) {
        read(S, *GetLKBitmap(), pages, *GetIOParams(), Pr, false, Mask, false, false, false);
      });
      S.Seek(start + kStreamHeaderSize + Int64(length), soBeginning);
    });
    return pages;
  }
  StreamLoad(*this, Stream, Steps(kTIFF), [&](TStream& S, TProgressRec& Pr, TLKMask*& Mask) {
    WithEntry(&TLKCodecEntries::ReadTIFF, Pr, [&](auto read) {
      read(S, *GetLKBitmap(), pages, *GetIOParams(), Pr, false, Mask, true, false, false);
    });
  });
  return pages;
}

namespace {
TWriter TIFFWriter(TLumerakIO& IO) {
  return [&IO](TStream& S, TProgressRec& Pr) {
    WithEntry(&TLKCodecEntries::WriteTIFF, Pr,
              [&](auto write) { write(S, false, IO.GetLKBitmap(), *IO.GetIOParams(), Pr); });
  };
}
}  // namespace

void TLumerakIO::SaveToFileTIFF(const String& FileName) {
  if (GateFile(this, FileName, &TLumerakIO::SaveToFileTIFF)) return;
  FileSave(*this, FileName, false, TIFFWriter(*this));
}

void TLumerakIO::SaveToStreamTIFF(TStream* Stream) {
  if (GateStream(this, Stream, &TLumerakIO::SaveToStreamTIFF)) return;
  const TWriter tiff = TIFFWriter(*this);
  StreamSave(*this, Stream, false, [&](TStream& S, TProgressRec& Pr) {
    if (!GetStreamHeaders()) return tiff(S, Pr);
    const Int64 start = S.Position();
    const Byte blank[kStreamHeaderSize] = {};
    S.WriteBuffer(blank, kStreamHeaderSize);
    tiff(S, Pr);
    PatchStreamHeader(*this, S, start, "TIFF");
  });
}

// ---------------------------------------------------------------------------
// GIF (frame composition of animations is done by the GIF load's own step)

Integer TLumerakIO::LoadFromFileGIF(const String& FileName) {
  if (GateFileInt(this, FileName, &TLumerakIO::LoadFromFileGIF)) return -1;
  Integer frames = 0;
  SplitFileLoad(*this, FileName, [&](TStream* S) { frames = SyncLoadFromStreamGIF(S); });
  return frames;
}

Integer TLumerakIO::LoadFromStreamGIF(TStream* Stream) {
  if (GateStreamInt(this, Stream, &TLumerakIO::LoadFromStreamGIF)) return -1;
  return SyncLoadFromStreamGIF(Stream);
}

Integer TLumerakIO::SyncLoadFromStreamGIF(TStream* Stream) {
  Integer frames = 0;
  StreamLoad(*this, Stream, Steps(kGIF), [&](TStream& S, TProgressRec& Pr, TLKMask*& Mask) {
    WithEntry(&TLKCodecEntries::ReadGIF, Pr,
              [&](auto read) { read(S, *GetLKBitmap(), frames, *GetIOParams(), Pr, false, Mask); });
  });
  return frames;
}

void TLumerakIO::SaveToFileGIF(const String& FileName) {
  if (GateFile(this, FileName, &TLumerakIO::SaveToFileGIF)) return;
  FileSave(*this, FileName, false, PlainWriter(*this, &TLKCodecEntries::WriteGIF));
}

void TLumerakIO::SaveToStreamGIF(TStream* Stream) {
  if (GateStream(this, Stream, &TLumerakIO::SaveToStreamGIF)) return;
  StreamSave(*this, Stream, false, PlainWriter(*this, &TLKCodecEntries::WriteGIF));
}

// ---------------------------------------------------------------------------
// PCX

void TLumerakIO::LoadFromFilePCX(const String& FileName) {
  if (GateFile(this, FileName, &TLumerakIO::LoadFromFilePCX)) return;
  SplitFileLoad(*this, FileName, [&](TStream* S) { SyncLoadFromStreamPCX(S, false); });
}

void TLumerakIO::LoadFromStreamPCX(TStream* Stream) {
  if (GateStream(this, Stream, &TLumerakIO::LoadFromStreamPCX)) return;
  SyncLoadFromStreamPCX(Stream, GetStreamHeaders());
}

void TLumerakIO::SyncLoadFromStreamPCX(TStream* Stream, bool Headers) {
  Int64 start = 0;
  Int64 byteCount = Stream ? Stream->Size() : 0;
  Cardinal length = 0;
  bool pcx2 = false;
  if (Headers && Stream) {
    char text[5];
    if (!TakeStreamHeader(*this, *Stream, "PCX", start, text, length)) return;
    pcx2 = std::strcmp(text, "PCX2") == 0;
    if (pcx2) {
      byteCount = length;
    } else {
      // The older header is four bytes long.
      Stream->Seek(start + 4, soBeginning);
    }
  }
  TLoadSteps steps = Steps(kPCX);
  StreamLoad(*this, Stream, steps, [&](TStream& S, TProgressRec& Pr, TLKMask*&) {
    WithEntry(&TLKCodecEntries::ReadPCX, Pr,
              [&](auto read) { read(S, *GetLKBitmap(), *GetIOParams(), byteCount, Pr, false); });
    if (pcx2) S.Seek(start + kStreamHeaderSize + Int64(length), soBeginning);
  });
}

void TLumerakIO::SaveToFilePCX(const String& FileName) {
  if (GateFile(this, FileName, &TLumerakIO::SaveToFilePCX)) return;
  FileSave(*this, FileName, true, PlainWriter(*this, &TLKCodecEntries::WritePCX));
}

void TLumerakIO::SaveToStreamPCX(TStream* Stream) {
  if (GateStream(this, Stream, &TLumerakIO::SaveToStreamPCX)) return;
  const TWriter pcx = PlainWriter(*this, &TLKCodecEntries::WritePCX);
  StreamSave(*this, Stream, true, [&](TStream& S, TProgressRec& Pr) {
    if (!GetStreamHeaders()) return pcx(S, Pr);
    const Int64 start = S.Position();
    // Left zero when the save aborts: a reader then finds no "PCX" header.
    const Byte blank[kStreamHeaderSize] = {};
    S.WriteBuffer(blank, kStreamHeaderSize);
    pcx(S, Pr);
    if (!GetAborted()) PatchStreamHeader(*this, S, start, "PCX2");
  });
}

// ---------------------------------------------------------------------------
// DCX

void TLumerakIO::LoadFromFileDCX(const String& FileName) {
  if (GateFile(this, FileName, &TLumerakIO::LoadFromFileDCX)) return;
  SplitFileLoad(*this, FileName, [&](TStream* S) { SyncLoadFromStreamDCX(S); });
}

void TLumerakIO::LoadFromStreamDCX(TStream* Stream) {
  if (GateStream(this, Stream, &TLumerakIO::LoadFromStreamDCX)) return;
  SyncLoadFromStreamDCX(Stream);
}

void TLumerakIO::SyncLoadFromStreamDCX(TStream* Stream) {
  StreamLoad(*this, Stream, Steps(kDCX), PlainReader(*this, &TLKCodecEntries::ReadDCX));
}

void TLumerakIO::SaveToFileDCX(const String& FileName) {
  if (GateFile(this, FileName, &TLumerakIO::SaveToFileDCX)) return;
  SplitFileSave(*this, FileName, PlainWriter(*this, &TLKCodecEntries::InsertDCX));
}

void TLumerakIO::SaveToStreamDCX(TStream* Stream) {
  if (GateStream(this, Stream, &TLumerakIO::SaveToStreamDCX)) return;
  // Always a one-page file: whatever the stream held goes.
  if (Stream) Stream->SetSize(0);
  SyncSaveToStreamDCX(Stream);
}

void TLumerakIO::SyncSaveToStreamDCX(TStream* Stream) {
  SyncSave(*this, Stream, PlainWriter(*this, &TLKCodecEntries::InsertDCX));
}

void TLumerakIO::InsertToFileDCX(const String& FileName) {
  if (GateFile(this, FileName, &TLumerakIO::InsertToFileDCX)) return;
  // The page goes into a copy of the file, which replaces it only when the
  // insertion succeeded.
  auto source = lkio::OpenForRead(FileName);
  SetAborted(true);
  lkio::TSaveFile file(FileName);
  file.Stream()->CopyFrom(source.get(), 0);
  source.reset();
  file.Stream()->Seek(0, soBeginning);
  SyncSave(*this, file.Stream(), PlainWriter(*this, &TLKCodecEntries::InsertDCX),
           [&] { file.CommitUnlessAborted(*this); });
}

// ---------------------------------------------------------------------------
// BMP

void TLumerakIO::LoadFromFileBMP(const String& FileName) {
  if (GateFile(this, FileName, &TLumerakIO::LoadFromFileBMP)) return;
  SplitFileLoad(*this, FileName, [&](TStream* S) { SyncLoadFromStreamBMP(S); });
}

void TLumerakIO::LoadFromStreamBMP(TStream* Stream) {
  if (GateStream(this, Stream, &TLumerakIO::LoadFromStreamBMP)) return;
  SyncLoadFromStreamBMP(Stream);
}

void TLumerakIO::SyncLoadFromStreamBMP(TStream* Stream) {
  StreamLoad(*this, Stream, Steps(kBMP), [&](TStream& S, TProgressRec& Pr, TLKMask*& Mask) {
    TIOParamsVals& p = *GetIOParams();
    WithEntry(&TLKCodecEntries::ReadBMP, Pr,
              [&](auto read) { read(S, *GetLKBitmap(), 0, p, Pr, false, Mask, !p.BMP_HANDLETRANSPARENCY); });
  });
}

namespace {
TWriter BMPWriter(TLumerakIO& IO) {
  return [&IO](TStream& S, TProgressRec& Pr) {
    TIOParamsVals& p = *IO.GetIOParams();
    WithEntry(&TLKCodecEntries::WriteBMP, Pr,
              [&](auto write) { write(S, *IO.GetLKBitmap(), p, Pr, p.BMP_HANDLETRANSPARENCY); });
  };
}
}  // namespace

void TLumerakIO::SaveToFileBMP(const String& FileName) {
  if (GateFile(this, FileName, &TLumerakIO::SaveToFileBMP)) return;
  SplitFileSave(*this, FileName, BMPWriter(*this));
}

void TLumerakIO::SaveToStreamBMP(TStream* Stream) {
  if (GateStream(this, Stream, &TLumerakIO::SaveToStreamBMP)) return;
  SyncSaveToStreamBMP(Stream);
}

void TLumerakIO::SyncSaveToStreamBMP(TStream* Stream) { SyncSave(*this, Stream, BMPWriter(*this)); }

// ---------------------------------------------------------------------------
// PNG

namespace {
// The reader keeps the background it finds in PNG_BACKGROUND; the component
// takes it after the view took the resolution.
TLoadSteps PNGSteps(TLumerakIO& IO) {
  TLoadSteps s = Steps(kPNG);
  s.AfterViewResolution = [&IO] { IO.SetReBackground(TRGB2TColor(IO.GetIOParams()->PNG_BACKGROUND)); };
  return s;
}
}  // namespace

void TLumerakIO::LoadFromFilePNG(const String& FileName) {
  if (GateFile(this, FileName, &TLumerakIO::LoadFromFilePNG)) return;
  GetIOParams()->PNG_BACKGROUND = TColor2TRGB(GetReBackground());
  FileLoad(*this, FileName, PNGSteps(*this), PlainReader(*this, &TLKCodecEntries::ReadPNG));
}

void TLumerakIO::LoadFromStreamPNG(TStream* Stream) {
  if (GateStream(this, Stream, &TLumerakIO::LoadFromStreamPNG)) return;
  StreamLoad(*this, Stream, PNGSteps(*this), PlainReader(*this, &TLKCodecEntries::ReadPNG));
}

void TLumerakIO::SaveToFilePNG(const String& FileName) {
  if (GateFile(this, FileName, &TLumerakIO::SaveToFilePNG)) return;
  FileSave(*this, FileName, false, MaskWriter(*this, &TLKCodecEntries::WritePNG));
}

void TLumerakIO::SaveToStreamPNG(TStream* Stream) {
  if (GateStream(this, Stream, &TLumerakIO::SaveToStreamPNG)) return;
  StreamSave(*this, Stream, false, MaskWriter(*this, &TLKCodecEntries::WritePNG));
}

// ---------------------------------------------------------------------------
// Targa

void TLumerakIO::LoadFromFileTGA(const String& FileName) {
  if (GateFile(this, FileName, &TLumerakIO::LoadFromFileTGA)) return;
  FileLoad(*this, FileName, Steps(kTGA), MaskReader(*this, &TLKCodecEntries::ReadTGA));
}

void TLumerakIO::LoadFromStreamTGA(TStream* Stream) {
  if (GateStream(this, Stream, &TLumerakIO::LoadFromStreamTGA)) return;
  StreamLoad(*this, Stream, StepsWithoutView(kTGA), MaskReader(*this, &TLKCodecEntries::ReadTGA));
}

void TLumerakIO::SaveToFileTGA(const String& FileName) {
  if (GateFile(this, FileName, &TLumerakIO::SaveToFileTGA)) return;
  FileSave(*this, FileName, true, MaskWriter(*this, &TLKCodecEntries::WriteTGA));
}

void TLumerakIO::SaveToStreamTGA(TStream* Stream) {
  if (GateStream(this, Stream, &TLumerakIO::SaveToStreamTGA)) return;
  StreamSave(*this, Stream, true, MaskWriter(*this, &TLKCodecEntries::WriteTGA));
}

// ---------------------------------------------------------------------------
// Icons and cursors

void TLumerakIO::LoadFromFileICO(const String& FileName) {
  if (GateFile(this, FileName, &TLumerakIO::LoadFromFileICO)) return;
  FileLoad(*this, FileName, Steps(kICO), IconReader(*this, &TLKCodecEntries::ReadICO));
}

void TLumerakIO::LoadFromStreamICO(TStream* Stream) {
  if (GateStream(this, Stream, &TLumerakIO::LoadFromStreamICO)) return;
  StreamLoad(*this, Stream, StepsWithoutView(kICO), IconReader(*this, &TLKCodecEntries::ReadICO));
}

void TLumerakIO::LoadFromFileCUR(const String& FileName) {
  if (GateFile(this, FileName, &TLumerakIO::LoadFromFileCUR)) return;
  FileLoad(*this, FileName, Steps(kCUR), IconReader(*this, &TLKCodecEntries::ReadCUR));
}

void TLumerakIO::LoadFromStreamCUR(TStream* Stream) {
  if (GateStream(this, Stream, &TLumerakIO::LoadFromStreamCUR)) return;
  StreamLoad(*this, Stream, StepsWithoutView(kCUR), IconReader(*this, &TLKCodecEntries::ReadCUR));
}

namespace {
// The icon sizes to write: the leading entries of ICO_PageSizes (at most 16)
// whose width is positive, with the bit counts of the same entries.
TWriter ICOWriter(TLumerakIO& IO) {
  return [&IO](TStream& S, TProgressRec& Pr) {
    WithEntry(&TLKCodecEntries::WriteICO, Pr, [&](auto write) {
      TIOParamsVals& p = *IO.GetIOParams();
      std::vector<TSize> sizes;
      std::vector<Integer> bits;
      for (Integer i = 0; i < 16 && p.ICO_PageSizes[i].cx > 0; ++i) {
        sizes.push_back(p.ICO_PageSizes[i]);
        bits.push_back(p.ICO_PageBitCounts[i]);
      }
      write(S, *IO.GetLKBitmap(), p, Pr, sizes, bits);
    });
  };
}
}  // namespace

void TLumerakIO::SaveToFileICO(const String& FileName) {
  if (GateFile(this, FileName, &TLumerakIO::SaveToFileICO)) return;
  FileSave(*this, FileName, true, ICOWriter(*this));
}

void TLumerakIO::SaveToStreamICO(TStream* Stream) {
  if (GateStream(this, Stream, &TLumerakIO::SaveToStreamICO)) return;
  StreamSave(*this, Stream, true, ICOWriter(*this));
}

bool LKWriteICOImages(const String& FileName, const std::vector<TObject*>& Images) {
  std::atomic<bool> aborted{false};
  TProgressRec pr;
  pr.AbortFlag = &aborted;
  auto write = LKCodecEntries().WriteICOImages;
  if (!write) return false;
  lkio::TSaveFile file(FileName);
  write(*file.Stream(), Images, pr);
  if (aborted.load()) return false;
  file.Commit();
  return true;
}

// ---------------------------------------------------------------------------
// PBM, PGM, PPM and WBMP

void TLumerakIO::LoadFromFilePXM(const String& FileName) {
  if (GateFile(this, FileName, &TLumerakIO::LoadFromFilePXM)) return;
  FileLoad(*this, FileName, StepsWithoutView(kPXM), PlainReader(*this, &TLKCodecEntries::ReadPXM));
}

void TLumerakIO::LoadFromStreamPXM(TStream* Stream) {
  if (GateStream(this, Stream, &TLumerakIO::LoadFromStreamPXM)) return;
  StreamLoad(*this, Stream, StepsWithoutView(kPXM), PlainReader(*this, &TLKCodecEntries::ReadPXM));
}

void TLumerakIO::SaveToFilePXM(const String& FileName) {
  if (GateFile(this, FileName, &TLumerakIO::SaveToFilePXM)) return;
  FileSave(*this, FileName, true, PlainWriter(*this, &TLKCodecEntries::WritePXM));
}

void TLumerakIO::SaveToStreamPXM(TStream* Stream) {
  if (GateStream(this, Stream, &TLumerakIO::SaveToStreamPXM)) return;
  StreamSave(*this, Stream, true, PlainWriter(*this, &TLKCodecEntries::WritePXM));
}

namespace {
TLoadSteps WBMPSteps() {
  TLoadSteps s = StepsWithoutView(kWBMP);
  s.Adjust = false;
  return s;
}
}  // namespace

void TLumerakIO::LoadFromFileWBMP(const String& FileName) {
  if (GateFile(this, FileName, &TLumerakIO::LoadFromFileWBMP)) return;
  FileLoad(*this, FileName, WBMPSteps(), PlainReader(*this, &TLKCodecEntries::ReadWBMP));
}

void TLumerakIO::LoadFromStreamWBMP(TStream* Stream) {
  if (GateStream(this, Stream, &TLumerakIO::LoadFromStreamWBMP)) return;
  StreamLoad(*this, Stream, WBMPSteps(), PlainReader(*this, &TLKCodecEntries::ReadWBMP));
}

void TLumerakIO::SaveToFileWBMP(const String& FileName) {
  if (GateFile(this, FileName, &TLumerakIO::SaveToFileWBMP)) return;
  FileSave(*this, FileName, true, PlainWriter(*this, &TLKCodecEntries::WriteWBMP));
}

void TLumerakIO::SaveToStreamWBMP(TStream* Stream) {
  if (GateStream(this, Stream, &TLumerakIO::SaveToStreamWBMP)) return;
  StreamSave(*this, Stream, true, PlainWriter(*this, &TLKCodecEntries::WriteWBMP));
}

// ---------------------------------------------------------------------------
// JPEG 2000

void TLumerakIO::LoadFromStreamJ2000(TStream* Stream) {
  SetAborted(false);
  if (!ReadyForStream(*this, Stream)) return;
  GetIOParams()->ResetInfo();
  ReadPart(*this, *Stream, StepsWithoutView(0), PlainReader(*this, &TLKCodecEntries::ReadJ2K));
  GetIOParams()->FILENAME.clear();
  lkio::GiveViewResolution(*this);
}

void TLumerakIO::SaveToStreamJ2000(TStream* Stream, Integer Format) {
  SetAborted(false);
  if (!ReadyForStream(*this, Stream)) return;
  lkio::ConvertForSave(*this);
  RunWriter(*this, *Stream, J2000Writer(*this, Format));
}

namespace {
void J2000StreamLoad(TLumerakIO& IO, TStream* Stream, Integer FileType) {
  WithFinish(IO, [&] {
    IO.LoadFromStreamJ2000(Stream);
    IO.GetIOParams()->FILETYPE = FileType;
    IO.Update();
  });
}

void J2000FileLoad(TLumerakIO& IO, const String& FileName, Integer FileType) {
  WithFinish(IO, [&] {
    {
      IO.SetAborted(true);
      auto file = lkio::OpenForRead(FileName);
      IO.SetAborted(false);
      IO.LoadFromStreamJ2000(file.get());
      IO.GetIOParams()->FILENAME = FileName;
      IO.GetIOParams()->FILETYPE = FileType;
    }
    IO.Update();
  });
}

void J2000FileSave(TLumerakIO& IO, const String& FileName, Integer Format) {
  WithFinish(IO, [&] {
    IO.SetAborted(true);
    lkio::TSaveFile file(FileName);
    IO.SetAborted(false);
    IO.SaveToStreamJ2000(file.Stream(), Format);
    IO.GetIOParams()->FILENAME = FileName;
    file.CommitUnlessAborted(IO);
  });
}
}  // namespace

void TLumerakIO::LoadFromFileJP2(const String& FileName) {
  if (GateFile(this, FileName, &TLumerakIO::LoadFromFileJP2)) return;
  J2000FileLoad(*this, FileName, kJP2);
}

void TLumerakIO::LoadFromFileJ2K(const String& FileName) {
  if (GateFile(this, FileName, &TLumerakIO::LoadFromFileJ2K)) return;
  J2000FileLoad(*this, FileName, kJ2K);
}

void TLumerakIO::LoadFromStreamJP2(TStream* Stream) {
  if (GateStream(this, Stream, &TLumerakIO::LoadFromStreamJP2)) return;
  J2000StreamLoad(*this, Stream, kJP2);
}

void TLumerakIO::LoadFromStreamJ2K(TStream* Stream) {
  if (GateStream(this, Stream, &TLumerakIO::LoadFromStreamJ2K)) return;
  J2000StreamLoad(*this, Stream, kJ2K);
}

void TLumerakIO::SaveToFileJP2(const String& FileName) {
  if (GateFile(this, FileName, &TLumerakIO::SaveToFileJP2)) return;
  J2000FileSave(*this, FileName, 0);
}

void TLumerakIO::SaveToFileJ2K(const String& FileName) {
  if (GateFile(this, FileName, &TLumerakIO::SaveToFileJ2K)) return;
  J2000FileSave(*this, FileName, 1);
}

void TLumerakIO::SaveToStreamJP2(TStream* Stream) {
  if (GateStream(this, Stream, &TLumerakIO::SaveToStreamJP2)) return;
  WithFinish(*this, [&] { SaveToStreamJ2000(Stream, 0); });
}

void TLumerakIO::SaveToStreamJ2K(TStream* Stream) {
  if (GateStream(this, Stream, &TLumerakIO::SaveToStreamJ2K)) return;
  WithFinish(*this, [&] { SaveToStreamJ2000(Stream, 1); });
}

// ---------------------------------------------------------------------------
// Headerless raw pixels: no resolution handling at all.

namespace {
TLoadSteps BMPRAWSteps() {
  TLoadSteps s = StepsWithoutView(kBMPRAW);
  s.CheckResolution = false;
  s.Adjust = false;
  return s;
}
}  // namespace

void TLumerakIO::LoadFromFileBMPRAW(const String& FileName) {
  if (FileName.empty()) return;
  if (GateFile(this, FileName, &TLumerakIO::LoadFromFileBMPRAW)) return;
  SplitFileLoad(*this, FileName, [&](TStream* S) { SyncLoadFromStreamBMPRAW(S); });
}

void TLumerakIO::LoadFromStreamBMPRAW(TStream* Stream) {
  if (GateStream(this, Stream, &TLumerakIO::LoadFromStreamBMPRAW)) return;
  SyncLoadFromStreamBMPRAW(Stream);
}

void TLumerakIO::SyncLoadFromStreamBMPRAW(TStream* Stream) {
  StreamLoad(*this, Stream, BMPRAWSteps(), [&](TStream& S, TProgressRec& Pr, TLKMask*&) {
    // The caller sized the bitmap: the reader fills what is there, and the
    // alpha channel the frame dropped is not part of raw pixels anyway.
    WithEntry(&TLKCodecEntries::ReadBMPRAW, Pr, [&](auto read) { read(S, *GetLKBitmap(), *GetIOParams(), Pr); });
  });
}

void TLumerakIO::SaveToFileBMPRAW(const String& FileName) {
  if (FileName.empty()) return;
  if (GateFile(this, FileName, &TLumerakIO::SaveToFileBMPRAW)) return;
  SplitFileSave(*this, FileName, PlainWriter(*this, &TLKCodecEntries::WriteBMPRAW));
}

void TLumerakIO::SaveToStreamBMPRAW(TStream* Stream) {
  if (GateStream(this, Stream, &TLumerakIO::SaveToStreamBMPRAW)) return;
  SyncSaveToStreamBMPRAW(Stream);
}

void TLumerakIO::SyncSaveToStreamBMPRAW(TStream* Stream) {
  SyncSave(*this, Stream, PlainWriter(*this, &TLKCodecEntries::WriteBMPRAW));
}

// ---------------------------------------------------------------------------
// PSD: the merged picture; layers stay with the file (the reader is asked
// for none, and the writer gets the working bitmap with an empty layer list).

void TLumerakIO::LoadFromFilePSD(const String& FileName) {
  if (GateFile(this, FileName, &TLumerakIO::LoadFromFilePSD)) return;
  SplitFileLoad(*this, FileName, [&](TStream* S) { SyncLoadFromStreamPSD(S); });
}

void TLumerakIO::LoadFromStreamPSD(TStream* Stream) {
  if (GateStream(this, Stream, &TLumerakIO::LoadFromStreamPSD)) return;
  SyncLoadFromStreamPSD(Stream);
}

void TLumerakIO::SyncLoadFromStreamPSD(TStream* Stream) {
  StreamLoad(*this, Stream, Steps(kPSD), [&](TStream& S, TProgressRec& Pr, TLKMask*&) {
    TList layers;
    WithEntry(&TLKCodecEntries::ReadPSD, Pr,
              [&](auto read) { read(S, GetLKBitmap(), *GetIOParams(), Pr, false, &layers); });
  });
}

namespace {
TWriter PSDWriter(TLumerakIO& IO) {
  return [&IO](TStream& S, TProgressRec& Pr) {
    TList layers;
    WithEntry(&TLKCodecEntries::WritePSD, Pr,
              [&](auto write) { write(S, *IO.GetIOParams(), Pr, IO.GetLKBitmap(), &layers); });
  };
}
}  // namespace

void TLumerakIO::SaveToFilePSD(const String& FileName) {
  if (GateFile(this, FileName, &TLumerakIO::SaveToFilePSD)) return;
  SplitFileSave(*this, FileName, PSDWriter(*this));
}

void TLumerakIO::SaveToStreamPSD(TStream* Stream) {
  if (GateStream(this, Stream, &TLumerakIO::SaveToStreamPSD)) return;
  SyncSaveToStreamPSD(Stream);
}

void TLumerakIO::SyncSaveToStreamPSD(TStream* Stream) { SyncSave(*this, Stream, PSDWriter(*this)); }
