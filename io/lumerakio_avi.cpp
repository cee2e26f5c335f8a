// AVI files frame by frame: the RIFF work is platform/avifile.h's; here the
// frames are decoded into the working bitmap (plain rows through the BMP
// reader, Motion-JPEG through the JPEG reader) and encoded from it.

#include <cmath>
#include <cstring>
#include <mutex>

#include "core/hylkdefs.h"
#include "core/lkbitmap.h"
#include "core/lklists.h"
#include "core/lkmask.h"
#include "io/lkavilib.h"
#include "io/lkformatrow.h"
#include "io/lkiothread.h"
#include "io/lkparams.h"
#include "io/lumerakio.h"
#include "io/lumerakio_frame.h"
#include "platform/avilib.h"
#include "platform/sysutils.h"

namespace {

const Cardinal kMJPG = AviFourCC("MJPG");

bool IsMJPG(const TAviVideoInfo& I) { return I.Compression == kMJPG || (I.Compression == 0 && I.Handler == kMJPG && I.BitCount == 0); }

// Plain rows the BMP reader takes: no compression or bit masks, 1 to 32 bits.
bool IsPlain(const TAviVideoInfo& I) {
  return (I.Compression == 0 || I.Compression == 3) &&
         (I.BitCount == 1 || I.BitCount == 4 || I.BitCount == 8 || I.BitCount == 16 || I.BitCount == 24 ||
          I.BitCount == 32);
}

String CodeText(Cardinal C) {
  String t;
  for (int i = 0; i < 4; ++i) {
    const char c = char(C >> (8 * i));
    t += c >= 32 && c < 127 ? c : '?';
  }
  return t;
}

void PutLE32(Byte* p, Cardinal v) {
  for (int i = 0; i < 4; ++i) p[i] = Byte(v >> (8 * i));
}

// Runs the read job of a built-in row over Data into the component's bitmap.
void ReadWithRow(TLumerakIO& IO, Integer Type, TStream& Data) {
  const TLKFormatRow* row = LKFormatRowOf(Type);
  if (!row || !row->Read) return IO.SetAbortedWith("no reader for the frames");
  TProgressRec pr = lkio::MakeSilentProgress(IO);
  TLKFormatJob job(*row, Data, IO.GetLKBitmap(), *IO.GetIOParams(), pr, false);
  job.IgnoreAlpha = true;
  row->Read(job);
  delete job.Mask;
}

}  // namespace

namespace {
std::mutex gAviLibraryLock;
}

void LKStartAVIFileLibrary() {
  std::lock_guard<std::mutex> hold(gAviLibraryLock);
  if (gAVIFILEinit) return;
  gAVIFILEinit = true;
  AVIFileInit();
}

namespace {

// The I/O unit's end: the library started by a component is ended.
struct AviLibraryEnd {
  ~AviLibraryEnd() {
    std::lock_guard<std::mutex> hold(gAviLibraryLock);
    if (gAVIFILEinit) AVIFileExit();
    gAVIFILEinit = false;
  }
} gAviLibraryEnd;

}  // namespace

bool TLumerakIO::IsOpenAVI() const { return FAviReader && FAviReader->IsOpen(); }

Integer TLumerakIO::OpenAVIFile(const String& FileName) {
  SetAborted(false);
  CloseAVIFile();
  TIOParamsVals& p = *GetIOParams();
  p.AVI_FrameCount = 0;
  p.FILENAME = FileName;
  p.FILETYPE = 0;
  LKStartAVIFileLibrary();
  auto reader = std::make_unique<TAviReader>();
  if (!reader->Open(FileName)) {
    SetAbortedWith(FileName + ": " + reader->Error());
    return 0;
  }
  const TAviVideoInfo& info = reader->Info();
  if (!IsMJPG(info) && !IsPlain(info)) {
    SetAbortedWith(FileName + ": frames coded as \"" + CodeText(info.Compression) + "\" at " +
                   IntToStr(info.BitCount) + " bits are not decoded");
    return 0;
  }
  FAviReader = std::move(reader);
  p.AVI_FrameCount = FAviReader->FrameCount();
  p.AVI_FrameDelayTime = 0;
  return FAviReader->FrameCount();
}

void TLumerakIO::CloseAVIFile() {
  FAviReader.reset();
  if (FAviWriter) {
    std::unique_ptr<TAviWriter> w = std::move(FAviWriter);
    w->Finish();
  }
}

void TLumerakIO::LoadFromAVI(Integer Index) {
  if (GetAsyncGate()) {
    new TLKIOThread(this, TLKIOMethodIndex([this](Integer I) { LoadFromAVI(I); }), Index);
    return;
  }
  lkio::WithFinish(*this, [&] {
    SetAborted(false);
    if (!MakeConsistentBitmap(TLKPixelFormatSet()) || !IsOpenAVI() || Index < 0 || Index >= FAviReader->FrameCount())
      return;
    TIOParamsVals& p = *GetIOParams();
    const TAviVideoInfo info = FAviReader->Info();
    p.AVI_FrameCount = FAviReader->FrameCount();
    // A stream without a rate has no frame duration (and no division by 0).
    p.AVI_FrameDelayTime =
        info.Rate ? Integer(std::min<double>(std::trunc(1000.0 * info.Scale / info.Rate), 2147483647.0)) : 0;
    std::vector<Byte> data, format;
    if (!FAviReader->ReadFrame(Index, data, format)) return SetAbortedWith("AVI frame " + IntToStr(Index) + " cannot be read");
    const String name = p.FILENAME;
    const Integer type = p.FILETYPE;
    if (IsMJPG(info)) {
      TLKMemStream s(data.data(), Int64(data.size()));
      ReadWithRow(*this, lkftJPEG, s);
    } else {
      // A bitmap file of the frame: file header, the stream's format, rows.
      TMemoryStream s;
      Byte fh[14] = {'B', 'M'};
      PutLE32(fh + 2, Cardinal(14 + format.size() + data.size()));
      PutLE32(fh + 10, Cardinal(14 + format.size()));
      s.WriteBuffer(fh, 14);
      s.WriteBuffer(format.data(), Integer(format.size()));
      if (!data.empty()) s.WriteBuffer(data.data(), Integer(data.size()));
      s.Seek(0, soBeginning);
      ReadWithRow(*this, lkftBMP, s);
    }
    p.FILENAME = name;
    p.FILETYPE = type;
    if (GetAborted()) return;
    switch (info.BitCount) {
      case 1: p.BITSPERSAMPLE = 1, p.SAMPLESPERPIXEL = 1; break;
      case 4: p.BITSPERSAMPLE = 4, p.SAMPLESPERPIXEL = 1; break;
      case 8: p.BITSPERSAMPLE = 8, p.SAMPLESPERPIXEL = 1; break;
      case 15: p.BITSPERSAMPLE = 5, p.SAMPLESPERPIXEL = 3; break;
      case 16: case 24: case 32: p.BITSPERSAMPLE = 8, p.SAMPLESPERPIXEL = 3; break;
      default: break;
    }
    p.DPIX = gDefaultDPIX;
    p.DPIY = gDefaultDPIY;
    p.WIDTH = GetLKBitmap()->GetWidth();
    p.HEIGHT = GetLKBitmap()->GetHeight();
    p.SetColorMapCount(0);
    Update();
  });
}

void TLumerakIO::CreateAVIFile(const String& FileName, Integer Rate, const String& Codec) {
  SetAborted(false);
  CloseAVIFile();
  const String code = UpperCase(Codec);
  if (code != "" && code != "MJPG" && code != "DIB " && code != "DIB") {
    SetAbortedWith("no AVI compressor \"" + Codec + "\"");
    return;
  }
  if (Rate < 1) {
    SetAbortedWith("an AVI file needs at least one frame per second");
    return;
  }
  LKStartAVIFileLibrary();
  try {
    FAviWriter = std::make_unique<TAviWriter>(FileName);
  } catch (const EStreamError&) {
    throw EInvalidGraphic("unable to create AVI file");
  }
  FAviMJPG = code == "MJPG";
  FAviRate = Rate;
  FAviWidth = FAviHeight = 0;
}

void TLumerakIO::SaveToAVI() {
  if (!FAviWriter || !MakeConsistentBitmap(TLKPixelFormatSet())) return;
  TLKBitmap* b = GetLKBitmap();
  const Integer w = b->GetWidth(), h = b->GetHeight();
  if (w <= 0 || h <= 0) return SetAbortedWith("an empty picture is no AVI frame");
  TIOParamsVals& p = *GetIOParams();
  const bool palette = !FAviMJPG && p.BITSPERSAMPLE == 8 && p.SAMPLESPERPIXEL == 1;
  if (FAviWriter->Frames() == 0 && FAviWidth == 0) {
    FAviWidth = w;
    FAviHeight = h;
    std::vector<Byte> format(40, 0);
    PutLE32(format.data(), 40);
    PutLE32(format.data() + 4, Cardinal(w));
    PutLE32(format.data() + 8, Cardinal(h));
    format[12] = 1;  // planes
    format[14] = FAviMJPG ? 24 : palette ? 8 : 24;
    if (FAviMJPG) PutLE32(format.data() + 16, kMJPG);
    const Integer stride = palette ? (w + 3) & ~3 : (w * 3 + 3) & ~3;
    PutLE32(format.data() + 20, Cardinal(Int64(stride) * h));
    if (palette) {
      PutLE32(format.data() + 32, 256);
      format.resize(40 + 1024, 0);
    }
    FAviWriter->Begin(w, h, Cardinal(FAviRate), 1, FAviMJPG ? kMJPG : AviFourCC("DIB "), format);
  } else if (w != FAviWidth || h != FAviHeight) {
    return SetAbortedWith("AVI frames are all " + IntToStr(FAviWidth) + " x " + IntToStr(FAviHeight) + " pixels");
  }
  TLKBitmap copy;
  copy.Assign(b);
  const TLKPixelFormat want = palette ? lk8p : lk24RGB;
  if (copy.GetPixelFormat() != lk24RGB) copy.ConvertToPixelFormat(lk24RGB);
  if (want == lk8p) copy.ConvertToPixelFormat(lk8p);
  std::vector<Byte> data;
  std::vector<Byte> pal;
  if (FAviMJPG) {
    TMemoryStream s;
    const TLKFormatRow* row = LKFormatRowOf(lkftJPEG);
    TIOParamsVals params;
    params.Assign(&p);
    TProgressRec pr = lkio::MakeSilentProgress(*this);
    TLKFormatJob job(*row, s, &copy, params, pr, false);
    row->Write(job);
    if (GetAborted()) return;
    data.assign(static_cast<const Byte*>(s.Memory()), static_cast<const Byte*>(s.Memory()) + s.Size());
  } else {
    const Integer px = palette ? 1 : 3;
    const Integer stride = (w * px + 3) & ~3;
    data.assign(size_t(stride) * size_t(h), 0);
    for (Integer y = 0; y < h; ++y)  // bottom-up rows
      std::memcpy(data.data() + size_t(h - 1 - y) * size_t(stride), copy.GetScanLine(y), size_t(w * px));
    if (palette) {
      pal.assign(1024, 0);
      for (Integer i = 0; i < copy.GetPaletteLen() && i < 256; ++i) {
        const TRGB c = copy.GetPalette(i);
        pal[size_t(4 * i)] = c.b;
        pal[size_t(4 * i + 1)] = c.g;
        pal[size_t(4 * i + 2)] = c.r;
      }
    }
  }
  if (!FAviWriter->AddFrame(data.data(), Cardinal(data.size()), FAviMJPG, palette ? &pal : nullptr))
    SetAbortedWith("the AVI file cannot take more frames");
}
