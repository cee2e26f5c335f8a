// The codecs' side of the format registry and of content detection: one row
// per built-in format (type, name, extensions, capabilities, option pages)
// and the content probe of each codec.
//
// Codecs that are not in the library yet are served by placeholders that
// answer honestly: their read and write entries set the abort flag and
// return, and their content probes test the format's magic bytes only. A
// codec that arrives replaces its placeholders in this file.

#include <cstring>
#include <memory>

#include "codecs/bmp/bmpfilt.h"
#include "codecs/gif/giffilter.h"
#include "codecs/ico/icofilt.h"
#include "codecs/png/pngfilt.h"
#include "codecs/pnm/pxmfilt.h"
#include "codecs/tga/tgafilt.h"
#include "codecs/jpeg/jpegfilt.h"
#include "codecs/tiff/tiffdir.h"
#include "io/lkdetect.h"
#include "io/lkfileformats.h"
#include "raw/lkraw.h"
#include "raw/lkrawident.h"
#include "raw/lkrawstate.h"

namespace {

// ---------------------------------------------------------------------------
// Placeholder read and write entries

void SetAbort(TProgressRec& Progress) {
  if (Progress.AbortFlag) Progress.AbortFlag->store(true);
}

void CodecMissingRead(TStream&, TLKBitmap&, TIOParamsVals&, TProgressRec& Progress, bool) { SetAbort(Progress); }
void CodecMissingWrite(TStream&, TLKBitmap&, TIOParamsVals&, TProgressRec& Progress) { SetAbort(Progress); }
// Built-in formats are detected by the content detection's own probe order,
// never through the registry.
bool BuiltInProbe(TStream&, Integer) { return false; }

// JPEG through the registry: metadata and the embedded profile are read; a
// library error while writing reaches the caller as ELKJpegException.
void JpegRead(TStream& S, TLKBitmap& B, TIOParamsVals& P, TProgressRec& Progress, bool Preview) {
  ReadJPegStream(&S, nullptr, &B, P, Progress, Preview, false, true, false, false, true, -1);
}
void JpegWrite(TStream& S, TLKBitmap& B, TIOParamsVals& P, TProgressRec& Progress) {
  WriteJPegStream(&S, &B, P, Progress);
}

void GifRead(TStream& S, TLKBitmap& B, TIOParamsVals& P, TProgressRec& Progress, bool Preview) {
  Integer frames = 0;
  TLKMask* mask = nullptr;
  ReadGIFStream(&S, &B, frames, P, Progress, Preview, mask, true);
}
void GifWrite(TStream& S, TLKBitmap& B, TIOParamsVals& P, TProgressRec& Progress) { WriteGIFStream(&S, &B, P, Progress); }

// Registry reads of the other built-in codecs: alpha is dropped.
void BmpRead(TStream& S, TLKBitmap& B, TIOParamsVals& P, TProgressRec& Pr, bool Preview) {
  TLKMask* mask = nullptr;
  BMPReadStream(&S, &B, 0, P, Pr, Preview, false, mask, true);
}
void BmpWrite(TStream& S, TLKBitmap& B, TIOParamsVals& P, TProgressRec& Pr) { BMPWriteStream(&S, &B, P, Pr, false); }
void PngRead(TStream& S, TLKBitmap& B, TIOParamsVals& P, TProgressRec& Pr, bool Preview) {
  ReadPNGStream(&S, &B, P, Preview, Pr);
}
void PngWrite(TStream& S, TLKBitmap& B, TIOParamsVals& P, TProgressRec& Pr) { WritePNGStream(&S, &B, P, Pr, nullptr); }
void TgaRead(TStream& S, TLKBitmap& B, TIOParamsVals& P, TProgressRec& Pr, bool Preview) {
  TLKMask* mask = nullptr;
  ReadTGAStream(&S, &B, P, Pr, Preview, mask, true);
}
void TgaWrite(TStream& S, TLKBitmap& B, TIOParamsVals& P, TProgressRec& Pr) { WriteTGAStream(&S, &B, P, Pr, nullptr); }
void PxmRead(TStream& S, TLKBitmap& B, TIOParamsVals& P, TProgressRec& Pr, bool Preview) {
  PXMReadStream(&S, &B, P, Pr, Preview);
}
void PxmWrite(TStream& S, TLKBitmap& B, TIOParamsVals& P, TProgressRec& Pr) { PXMWriteStream(&S, &B, P, Pr); }
void WbmpRead(TStream& S, TLKBitmap& B, TIOParamsVals& P, TProgressRec& Pr, bool Preview) {
  WBMPReadStream(&S, &B, P, Pr, Preview);
}
void WbmpWrite(TStream& S, TLKBitmap& B, TIOParamsVals& P, TProgressRec& Pr) { WBMPWriteStream(&S, &B, P, Pr); }

void IcoRead(TStream& S, TLKBitmap& B, TIOParamsVals& P, TProgressRec& Pr, bool Preview) {
  TLKMask* mask = nullptr;
  ICOReadStream(&S, &B, P, Preview, Pr, mask, true);
}
void IcoWrite(TStream& S, TLKBitmap& B, TIOParamsVals& P, TProgressRec& Pr) {
  std::vector<TSize> sizes;
  std::vector<Integer> depths;
  for (Integer i = 0; i < 16 && P.ICO_PageSizes[i].cx > 0; ++i) {
    sizes.push_back(P.ICO_PageSizes[i]);
    depths.push_back(P.ICO_PageBitCounts[i]);
  }
  ICOWriteStream(&S, &B, P, Pr, sizes, depths);
}
void CurRead(TStream& S, TLKBitmap& B, TIOParamsVals& P, TProgressRec& Pr, bool Preview) {
  TLKMask* mask = nullptr;
  CURReadStream(&S, &B, P, Preview, Pr, mask, true);
}

constexpr TPreviewParams kNoPages = 0;

TLKFileFormatInfo Row(Integer Type, const char* Name, const char* Exts, bool R, bool W, TPreviewParams Pages) {
  TLKFileFormatInfo info;
  info.FormatType = Type;
  info.FormatName = Name;
  info.ExtensionList = Exts;
  info.BuiltIn = true;
  info.OptionPages = Pages;
  info.ReadProc = R ? CodecMissingRead : nullptr;
  info.WriteProc = W ? CodecMissingWrite : nullptr;
  info.ProbeProc = BuiltInProbe;
  return info;
}

// A row served by a codec that exists.
TLKFileFormatInfo WithCodec(TLKFileFormatInfo Info, TLKReadImageStream R, TLKWriteImageStream W) {
  Info.ReadProc = R;
  Info.WriteProc = W;
  return Info;
}

// ---------------------------------------------------------------------------
// Reading helpers of the probes: every probe reads at the position it was
// given, never past the stream's end, and sets the position back.

// Reads up to Count bytes at Pos (relative to Base); returns the number read.
Integer ReadAt(TStream& S, Int64 Base, Int64 Pos, Byte* Buf, Integer Count) {
  if (Pos < 0 || S.Seek(Base + Pos, soBeginning) != Base + Pos) return 0;
  Integer got = 0;
  while (got < Count) {
    const Integer n = S.Read(Buf + got, Count - got);
    if (n <= 0) break;
    got += n;
  }
  return got;
}

// Runs Test with the position saved and restores it on every path.
template <typename F>
bool Restoring(TStream& S, F Test) {
  const Int64 pos = S.Position();
  bool ok = false;
  try {
    ok = Test(pos);
  } catch (...) {
    ok = false;
  }
  S.Seek(pos, soBeginning);
  return ok;
}

Word Le16(const Byte* p) { return static_cast<Word>(p[0] | (p[1] << 8)); }
Cardinal Le32(const Byte* p) { return Cardinal(p[0]) | (Cardinal(p[1]) << 8) | (Cardinal(p[2]) << 16) | (Cardinal(p[3]) << 24); }
Word Be16(const Byte* p) { return static_cast<Word>((p[0] << 8) | p[1]); }

// ---------------------------------------------------------------------------
// TIFF and DNG: the directory layer's probes.

bool ProbeTIFF(TStream& S) { return IsTIFFStream(&S); }
bool ProbeDNG(TStream& S) { return IsDNGStream(&S); }

// ---------------------------------------------------------------------------
// Magic-byte probes

bool ProbePNG(TStream& S) {
  return Restoring(S, [&](Int64 base) {
    Byte b[8];
    static const Byte kSig[4] = {0x89, 0x50, 0x4E, 0x47};
    return ReadAt(S, base, 0, b, 8) == 8 && std::memcmp(b, kSig, 4) == 0;
  });
}

// Icon and cursor directory: reserved 0, the type, a non-zero count, and
// entries whose data lie after the directory.
bool ProbeIconDirectory(TStream& S, Word Type) {
  return Restoring(S, [&](Int64 base) {
    if (S.Size() - base < 23) return false;
    Byte h[6];
    if (ReadAt(S, base, 0, h, 6) != 6) return false;
    const Word count = Le16(h + 4);
    if (Le16(h) != 0 || Le16(h + 2) != Type || count == 0) return false;
    for (Word i = 0; i < count; ++i) {
      Byte e[16];
      const Int64 at = 6 + Int64(i) * 16;
      if (ReadAt(S, base, at, e, 16) != 16) return false;
      if (e[3] != 0 || Le32(e + 8) == 0 || Int64(Le32(e + 12)) < at + 16) return false;
    }
    return true;
  });
}

bool ProbeICO(TStream& S) { return ProbeIconDirectory(S, 1); }
bool ProbeCUR(TStream& S) { return ProbeIconDirectory(S, 2); }

bool ProbeTGA(TStream& S) {
  return Restoring(S, [&](Int64 base) {
    Byte h[18];
    if (ReadAt(S, base, 0, h, 18) != 18) return false;
    const Byte type = h[2], depth = h[16];
    const bool typeOk = type == 1 || type == 2 || type == 3 || type == 9 || type == 10 || type == 11;
    const bool depthOk = depth == 1 || depth == 4 || depth == 8 || depth == 16 || depth == 24 || depth == 32;
    return typeOk && depthOk && h[1] <= 1 && Le16(h + 12) != 0 && Le16(h + 14) != 0;
  });
}

// Portable bitmap, grey map and pixmap: "P1" to "P6", then a width and a
// height above 0, comments ("#" to the end of the line) skipped.
bool ProbePXM(TStream& S) {
  return Restoring(S, [&](Int64 base) {
    Byte buf[1024];
    const Integer n = ReadAt(S, base, 0, buf, sizeof buf);
    Integer i = 0;
    auto token = [&]() {
      String t;
      for (;;) {
        while (i < n && (buf[i] == ' ' || buf[i] == '\t' || buf[i] == '\r' || buf[i] == '\n')) ++i;
        if (i < n && buf[i] == '#') {
          while (i < n && buf[i] != '\n' && buf[i] != '\r') ++i;
          continue;
        }
        break;
      }
      while (i < n && buf[i] != ' ' && buf[i] != '\t' && buf[i] != '\r' && buf[i] != '\n' && buf[i] != '#')
        t += char(buf[i++]);
      return t;
    };
    auto number = [](const String& t) -> Int64 {
      if (t.empty() || t.size() > 9) return -1;
      Int64 v = 0;
      for (char c : t) {
        if (c < '0' || c > '9') return -1;
        v = v * 10 + (c - '0');
      }
      return v;
    };
    const String magic = token();
    if (magic.size() != 2 || magic[0] != 'P' || magic[1] < '1' || magic[1] > '6') return false;
    const Int64 w = number(token());
    const Int64 h = number(token());
    return w > 0 && h > 0;
  });
}

// A JPEG start (FF D8 FF) at the position or up to 99 bytes after it.
bool ProbeJPEG(TStream& S) {
  return Restoring(S, [&](Int64 base) {
    Byte buf[102];
    const Integer n = ReadAt(S, base, 0, buf, sizeof buf);
    for (Integer p = 0; p + 2 < n && p < 100; ++p)
      if (buf[p] == 0xFF && buf[p + 1] == 0xD8 && buf[p + 2] == 0xFF) return true;
    return false;
  });
}

bool ProbeJP2(TStream& S) {
  return Restoring(S, [&](Int64 base) {
    static const Byte kBox[12] = {0, 0, 0, 12, 0x6A, 0x50, 0x20, 0x20, 0x0D, 0x0A, 0x87, 0x0A};
    Byte b[12];
    return ReadAt(S, base, 0, b, 12) == 12 && std::memcmp(b, kBox, 12) == 0;
  });
}

bool ProbeJ2K(TStream& S) {
  return Restoring(S, [&](Int64 base) {
    Byte b[4];
    return ReadAt(S, base, 0, b, 4) == 4 && b[0] == 0xFF && b[1] == 0x4F && b[2] == 0xFF && b[3] == 0x51;
  });
}

// Multi-page PCX: the magic, then page offsets up to the first zero (at most
// 1024), each inside the stream.
bool ProbeDCX(TStream& S) {
  return Restoring(S, [&](Int64 base) {
    const Int64 size = S.Size() - base;
    Byte b[4];
    if (ReadAt(S, base, 0, b, 4) != 4 || Le32(b) != 0x3ADE68B1u) return false;
    Integer pages = 0;
    for (Integer i = 0; i < 1024; ++i) {
      if (ReadAt(S, base, 4 + Int64(i) * 4, b, 4) != 4) break;
      const Cardinal offset = Le32(b);
      if (offset == 0) break;
      if (Int64(offset) >= size) return false;
      ++pages;
    }
    return pages > 0;
  });
}

bool ProbeWMF(TStream& S) {
  return Restoring(S, [&](Int64 base) {
    Byte b[20];
    if (ReadAt(S, base, 0, b, 20) != 20) return false;
    const Int64 start = Le32(b) == 0x9AC6CDD7u ? 22 : 0;
    Byte h[18];
    if (ReadAt(S, base, start, h, 18) != 18) return false;
    return Le16(h) == 1 && Le16(h + 2) == 9 && Le16(h + 16) == 0;
  });
}

bool ProbeEMF(TStream& S) {
  return Restoring(S, [&](Int64 base) {
    Byte b[100];
    return ReadAt(S, base, 0, b, 100) == 100 && Le32(b) == 1 && Le32(b + 40) == 0x464D4520u;
  });
}

bool ProbePSD(TStream& S) {
  return Restoring(S, [&](Int64 base) {
    Byte h[26];
    if (ReadAt(S, base, 0, h, 26) != 26 || std::memcmp(h, "8BPS", 4) != 0) return false;
    const Word channels = Be16(h + 12), depth = Be16(h + 22), mode = Be16(h + 24);
    return Be16(h + 4) == 1 && channels >= 1 && channels <= 24 && depth >= 1 && depth <= 16 && mode < 10;
  });
}

// The camera RAW decoder's identification over the stream from its position.
class TOffsetSource : public TRAWSource {
 public:
  TOffsetSource(TStream& Stream, Int64 Base) : Inner(&Stream), Base(Base) {}
  Int64 ReadAt(Int64 pos, void* buf, Int64 count) override {
    return pos < 0 ? 0 : Inner.ReadAt(Base + pos, buf, count);
  }
  Int64 Size() override {
    const Int64 n = Inner.Size() - Base;
    return n < 0 ? 0 : n;
  }

 private:
  TRAWStreamSource Inner;
  Int64 Base;
};

bool ProbeCameraRAW(TStream& S) {
  return Restoring(S, [&](Int64 base) {
    TOffsetSource source(S, base);
    auto state = std::make_unique<TRAWDecoderState>();
    set_source(*state, &source);
    reset_decoder_state(*state);
    return identify_camera(*state) == 0;
  });
}

}  // namespace

const std::vector<TLKFileFormatInfo>& LKBuiltInFileFormats() {
  static const std::vector<TLKFileFormatInfo> rows = {
      Row(1, "TIFF Bitmap", "TIF;TIFF;FAX;G3N;G3F;XIF", true, true, PreviewPage(ppTIFF)),
      WithCodec(Row(2, "CompuServe Bitmap", "GIF", true, true, PreviewPage(ppGIF)), GifRead, GifWrite),
      WithCodec(Row(3, "JPEG Bitmap", "JPG;JPEG;JPE;JIF", true, true, PreviewPage(ppJPEG)), JpegRead, JpegWrite),
      Row(4, "PaintBrush", "PCX", true, true, PreviewPage(ppPCX)),
      WithCodec(Row(5, "Windows Bitmap", "BMP;DIB;RLE", true, true, PreviewPage(ppBMP)), BmpRead, BmpWrite),
      WithCodec(Row(6, "Windows Icon", "ICO", true, true, kNoPages), IcoRead, IcoWrite),
      WithCodec(Row(7, "Windows Cursor", "CUR", true, false, kNoPages), CurRead, nullptr),
      WithCodec(Row(8, "Portable Network Graphics", "PNG", true, true, PreviewPage(ppPNG)), PngRead, PngWrite),
      Row(9, "Windows Metafile", "WMF", true, false, kNoPages),
      Row(10, "Enhanced Windows Metafile", "EMF", true, false, kNoPages),
      WithCodec(Row(11, "Targa Bitmap", "TGA;TARGA;VDA;ICB;VST;PIX", true, true, PreviewPage(ppTGA)), TgaRead,
                TgaWrite),
      WithCodec(Row(12, "Portable Pixmap, GrayMap, BitMap", "PXM;PPM;PGM;PBM", true, true, kNoPages), PxmRead, PxmWrite),
      WithCodec(Row(16, "Wireless Bitmap", "WBMP", true, true, kNoPages), WbmpRead, WbmpWrite),
      Row(13, "JPEG2000", "JP2", true, true, PreviewPage(ppJ2000)),
      Row(14, "JPEG2000 Code Stream", "J2K;JPC;J2C", true, true, PreviewPage(ppJ2000)),
      Row(17, "PostScript Level 2", "PS;EPS", false, true, kNoPages),
      Row(18, "Adobe PDF", "PDF", false, true, kNoPages),
      Row(19, "Multipage PCX", "DCX", true, true, kNoPages),
      // Camera RAW reads through the library's own decoder; detection
      // asks its identification last (LKContentProbes).
      WithCodec(Row(20, "Camera RAW", "CRW;CR2;NEF;RAW;PEF;RAF;X3F;BAY;ORF;SRF;MRW;DCR", true, false, kNoPages),
                LKReadCameraRAWStream, nullptr),
      Row(24, "Photoshop PSD", "PSD", true, true, kNoPages),
  };
  return rows;
}

const TLKContentProbes& LKContentProbes() {
  static const TLKContentProbes probes = {
      ProbeTIFF, ProbeDNG, ProbePNG, ProbeICO, ProbeCUR, ProbeTGA, ProbePXM,    ProbeJPEG,
      ProbeJP2,  ProbeJ2K, ProbeDCX, ProbeWMF, ProbeEMF, ProbePSD, ProbeCameraRAW,
  };
  return probes;
}
