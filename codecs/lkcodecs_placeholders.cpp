// Placeholder rows of the formats whose codec is not in the library yet.
// They are listed in the registry as the formats they stand for, are
// detected by their magic bytes, and answer every load and save with the
// abort flag (they have no read or write job).
//
// A codec that arrives defines its row in its own folder and deletes its
// placeholder here, taking the probes and the load and save particulars
// with it; the table line stays as it is.

#include <cstring>

#include "io/lkdetect.h"
#include "io/lkformatrow.h"
#include "io/lkparams.h"
#include "io/lumerakio.h"
#include "processing/lkprocutils.h"

namespace {

constexpr TLKFormatRow Placeholder(Integer Type, const char* Name, const char* Exts, bool R, bool W,
                                   TPreviewParams Pages) {
  TLKFormatRow r;
  r.Type = Type;
  r.Name = Name;
  r.Extensions = Exts;
  r.CanRead = R;
  r.CanWrite = W;
  r.OptionPages = Pages;
  return r;
}

// ---------------------------------------------------------------------------
// Magic-byte probes

bool ProbeGIF(TStream& S) {
  return LKProbeWith(S, [](TLKByteReader& r) { return r.Size() > 13 && r.U8() == 'G' && r.U8() == 'I' && r.U8() == 'F'; });
}

// PCX: our "PCX2" stream header or the older four-byte "PCX" one, or a PCX
// file header (manufacturer 10, version 0 to 5).
bool ProbePCX(TStream& S) {
  if (LKProbeText(S, "PCX2", 5, 12) || LKProbeText(S, "PCX", 4, 4)) return true;
  return LKProbeWith(S, [](TLKByteReader& r) { return r.Size() > 128 && r.U8() == 0x0A && r.U8() <= 5; });
}

bool ProbeBMP(TStream& S) {
  return LKProbeWith(S, [](TLKByteReader& r) { return r.Size() > 14 && r.U8() == 'B' && r.U8() == 'M'; });
}

bool ProbePNG(TStream& S) {
  return LKProbeWith(S, [](TLKByteReader& r) { return r.Size() > 8 && r.U32BE() == 0x89504E47u; });
}

// Icon and cursor directory: reserved 0, the type, a non-zero count, and
// entries whose data lie after the directory.
bool ProbeIconDirectory(TStream& S, Word Type) {
  return LKProbeWith(S, [&](TLKByteReader& r) {
    if (r.Size() < 23) return false;
    const Word reserved = r.U16LE(), type = r.U16LE(), count = r.U16LE();
    if (!r.Ok() || reserved != 0 || type != Type || count == 0) return false;
    for (Word i = 0; i < count; ++i) {
      const Int64 at = 6 + Int64(i) * 16;
      const Byte reservedByte = r.U8At(at + 3);
      const Cardinal bytes = r.U32LEAt(at + 8), offset = r.U32LEAt(at + 12);
      if (!r.Ok() || reservedByte != 0 || bytes == 0 || Int64(offset) < at + 16) return false;
    }
    return true;
  });
}

bool ProbeICO(TStream& S) { return ProbeIconDirectory(S, 1); }
bool ProbeCUR(TStream& S) { return ProbeIconDirectory(S, 2); }

bool ProbeTGA(TStream& S) {
  return LKProbeWith(S, [](TLKByteReader& r) {
    Byte h[18];
    if (!r.Read(h, 18)) return false;
    const Byte type = h[2], depth = h[16];
    const bool typeOk = type == 1 || type == 2 || type == 3 || type == 9 || type == 10 || type == 11;
    const bool depthOk = depth == 1 || depth == 4 || depth == 8 || depth == 16 || depth == 24 || depth == 32;
    return typeOk && depthOk && h[1] <= 1 && LKGetLE16(h + 12) != 0 && LKGetLE16(h + 14) != 0;
  });
}

// Portable bitmap, grey map and pixmap: "P1" to "P6", then a width and a
// height above 0, comments ("#" to the end of the line) skipped.
bool ProbePXM(TStream& S) {
  return LKProbeWith(S, [](TLKByteReader& r) {
    Byte buf[1024];
    const Integer n = Integer(r.ReadSome(buf, sizeof buf));
    Integer i = 0;
    auto space = [&](Byte c) { return c == ' ' || c == '\t' || c == '\r' || c == '\n'; };
    auto token = [&]() {
      String t;
      for (;;) {
        while (i < n && space(buf[i])) ++i;
        if (i < n && buf[i] == '#') {
          while (i < n && buf[i] != '\n' && buf[i] != '\r') ++i;
          continue;
        }
        break;
      }
      while (i < n && !space(buf[i]) && buf[i] != '#') t += char(buf[i++]);
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

bool ProbeJP2(TStream& S) {
  return LKProbeWith(S, [](TLKByteReader& r) {
    static const Byte kBox[12] = {0, 0, 0, 12, 0x6A, 0x50, 0x20, 0x20, 0x0D, 0x0A, 0x87, 0x0A};
    Byte b[12];
    return r.Read(b, 12) && std::memcmp(b, kBox, 12) == 0;
  });
}

bool ProbeJ2K(TStream& S) {
  return LKProbeWith(S, [](TLKByteReader& r) { return r.Size() >= 4 && r.U32BE() == 0xFF4FFF51u; });
}

// Multi-page PCX: the magic, then page offsets up to the first zero (at most
// 1024), each inside the stream.
bool ProbeDCX(TStream& S) {
  return LKProbeWith(S, [](TLKByteReader& r) {
    if (r.U32LE() != 0x3ADE68B1u || !r.Ok()) return false;
    Integer pages = 0;
    for (Integer i = 0; i < 1024 && r.Remaining() >= 4; ++i) {
      const Cardinal offset = r.U32LE();
      if (offset == 0) break;
      if (Int64(offset) >= r.Size()) return false;
      ++pages;
    }
    return pages > 0;
  });
}

bool ProbeWMF(TStream& S) {
  return LKProbeWith(S, [](TLKByteReader& r) {
    if (r.Size() < 20) return false;
    const Int64 start = r.U32LEAt(0) == 0x9AC6CDD7u ? 22 : 0;
    const Word type = r.U16LEAt(start), header = r.U16LEAt(start + 2), params = r.U16LEAt(start + 16);
    return r.Ok() && type == 1 && header == 9 && params == 0;
  });
}

bool ProbeEMF(TStream& S) {
  return LKProbeWith(S, [](TLKByteReader& r) {
    return r.Size() >= 100 && r.U32LEAt(0) == 1 && r.U32LEAt(40) == 0x464D4520u;
  });
}

bool ProbePSD(TStream& S) {
  return LKProbeWith(S, [](TLKByteReader& r) {
    Byte h[26];
    if (!r.Read(h, 26) || std::memcmp(h, "8BPS", 4) != 0) return false;
    const Word channels = LKGetBE16(h + 12), depth = LKGetBE16(h + 22), mode = LKGetBE16(h + 24);
    return LKGetBE16(h + 4) == 1 && channels >= 1 && channels <= 24 && depth >= 1 && depth <= 16 && mode < 10;
  });
}

bool ProbeAVI(TStream& S) { return LKIsAVIStream(S); }

// ---------------------------------------------------------------------------
// Component steps of PNG loads: the reader keeps the background it finds in
// PNG_BACKGROUND, starting from the component's; the component takes it
// after the view took the resolution.

void PNGBackgroundIn(TLumerakIO& IO) { IO.GetIOParams()->PNG_BACKGROUND = TColor2TRGB(IO.GetReBackground()); }
void PNGBackgroundOut(TLumerakIO& IO) { IO.SetReBackground(TRGB2TColor(IO.GetIOParams()->PNG_BACKGROUND)); }

}  // namespace

extern constinit const TLKFormatRow LKRow_GIF = [] {
  TLKFormatRow r = Placeholder(lkftGIF, "CompuServe Bitmap", "GIF", true, true, PreviewPage(ppGIF));
  r.Probes[0] = {kLKProbeGIF, ProbeGIF};
  r.Load.OpenFirst = true;
  return r;
}();

extern constinit const TLKFormatRow LKRow_PCX = [] {
  TLKFormatRow r = Placeholder(lkftPCX, "PaintBrush", "PCX", true, true, PreviewPage(ppPCX));
  r.Probes[0] = {kLKProbePCXHeader, ProbePCX};
  r.Load.OpenFirst = true;
  r.Load.Header = lkshRequired;
  r.Load.HeaderText = "PCX2";
  r.Load.OlderHeader = "PCX";
  r.Save.Convert = true;
  r.Save.Header = lkshRequired;
  r.Save.HeaderText = "PCX2";
  r.Save.HeaderOnlySuccess = true;
  return r;
}();

extern constinit const TLKFormatRow LKRow_BMP = [] {
  TLKFormatRow r = Placeholder(lkftBMP, "Windows Bitmap", "BMP;DIB;RLE", true, true, PreviewPage(ppBMP));
  r.Probes[0] = {kLKProbeBMP, ProbeBMP};
  r.Load.OpenFirst = true;
  r.Save.CreateFirst = true;
  return r;
}();

extern constinit const TLKFormatRow LKRow_ICO = [] {
  TLKFormatRow r = Placeholder(lkftICO, "Windows Icon", "ICO", true, true, 0);
  r.Probes[0] = {kLKProbeICO, ProbeICO};
  r.Load.ViewResolutionFromStream = false;
  r.Save.Convert = true;
  return r;
}();

extern constinit const TLKFormatRow LKRow_CUR = [] {
  TLKFormatRow r = Placeholder(lkftCUR, "Windows Cursor", "CUR", true, false, 0);
  r.Probes[0] = {kLKProbeCUR, ProbeCUR};
  r.Load.ViewResolutionFromStream = false;
  return r;
}();

extern constinit const TLKFormatRow LKRow_PNG = [] {
  TLKFormatRow r = Placeholder(lkftPNG, "Portable Network Graphics", "PNG", true, true, PreviewPage(ppPNG));
  r.Probes[0] = {kLKProbePNG, ProbePNG};
  r.Load.BeforeFileLoad = PNGBackgroundIn;
  r.Load.AfterViewResolution = PNGBackgroundOut;
  r.Save.AlphaAsMask = true;
  return r;
}();

extern constinit const TLKFormatRow LKRow_WMF = [] {
  TLKFormatRow r = Placeholder(lkftWMF, "Windows Metafile", "WMF", true, false, 0);
  r.Probes[0] = {kLKProbeWMF, ProbeWMF};
  r.Load.NoRoad = true;
  return r;
}();

extern constinit const TLKFormatRow LKRow_EMF = [] {
  TLKFormatRow r = Placeholder(lkftEMF, "Enhanced Windows Metafile", "EMF", true, false, 0);
  r.Probes[0] = {kLKProbeEMF, ProbeEMF};
  r.Load.NoRoad = true;
  return r;
}();

extern constinit const TLKFormatRow LKRow_TGA = [] {
  TLKFormatRow r = Placeholder(lkftTGA, "Targa Bitmap", "TGA;TARGA;VDA;ICB;VST;PIX", true, true, PreviewPage(ppTGA));
  r.SaveExtensions = "WIN";
  r.Probes[0] = {kLKProbeTGA, ProbeTGA};
  r.Load.ViewResolutionFromStream = false;
  r.Save.Convert = true;
  r.Save.AlphaAsMask = true;
  return r;
}();

extern constinit const TLKFormatRow LKRow_PXM = [] {
  TLKFormatRow r = Placeholder(lkftPXM, "Portable Pixmap, GrayMap, BitMap", "PXM;PPM;PGM;PBM", true, true, 0);
  r.Probes[0] = {kLKProbePXM, ProbePXM};
  r.Load.ViewResolutionFromFile = r.Load.ViewResolutionFromStream = false;
  r.Save.Convert = true;
  return r;
}();

// Wireless bitmaps have no magic: content detection never names them.
extern constinit const TLKFormatRow LKRow_WBMP = [] {
  TLKFormatRow r = Placeholder(lkftWBMP, "Wireless Bitmap", "WBMP", true, true, 0);
  r.Load.ViewResolutionFromFile = r.Load.ViewResolutionFromStream = false;
  r.Load.AdjustResolution = false;
  r.Save.Convert = true;
  return r;
}();

extern constinit const TLKFormatRow LKRow_JP2 = [] {
  TLKFormatRow r = Placeholder(lkftJP2, "JPEG2000", "JP2", true, true, PreviewPage(ppJ2000));
  r.Probes[0] = {kLKProbeJP2, ProbeJP2};
  r.Save.Convert = true;
  return r;
}();

extern constinit const TLKFormatRow LKRow_J2K = [] {
  TLKFormatRow r = Placeholder(lkftJ2K, "JPEG2000 Code Stream", "J2K;JPC;J2C", true, true, PreviewPage(ppJ2000));
  r.Probes[0] = {kLKProbeJ2K, ProbeJ2K};
  r.Save.Convert = true;
  return r;
}();

extern constinit const TLKFormatRow LKRow_PS = [] {
  TLKFormatRow r = Placeholder(lkftPS, "PostScript Level 2", "PS;EPS", false, true, 0);
  r.Save.NoRoad = true;
  return r;
}();

extern constinit const TLKFormatRow LKRow_PDF = [] {
  TLKFormatRow r = Placeholder(lkftPDF, "Adobe PDF", "PDF", false, true, 0);
  r.Save.NoRoad = true;
  return r;
}();

// DCX saves insert the page into the file the stream holds; a stream save
// makes a one-page file of its own.
extern constinit const TLKFormatRow LKRow_DCX = [] {
  TLKFormatRow r = Placeholder(lkftDCX, "Multipage PCX", "DCX", true, true, 0);
  r.Probes[0] = {kLKProbeDCX, ProbeDCX};
  r.Load.OpenFirst = true;
  r.Save.CreateFirst = true;
  r.Save.ReplaceStream = true;
  return r;
}();

extern constinit const TLKFormatRow LKRow_PSD = [] {
  TLKFormatRow r = Placeholder(lkftPSD, "Photoshop PSD", "PSD", true, true, 0);
  r.Probes[0] = {kLKProbePSD, ProbePSD};
  r.Load.OpenFirst = true;
  r.Save.CreateFirst = true;
  return r;
}();

// AVI files are detected (their frames come through the media road), not
// registered as a picture format.
extern constinit const TLKFormatRow LKRow_AVI = [] {
  TLKFormatRow r = Placeholder(lkftAVI, "Video for Windows", "AVI", false, false, 0);
  r.Registered = false;
  r.Probes[0] = {kLKProbeAVI, ProbeAVI};
  r.Load.NoRoad = true;
  r.Save.NoRoad = true;
  return r;
}();

// Headerless raw pixels, read into the bitmap as the caller sized it: no
// resolution handling at all. Not registered.
extern constinit const TLKFormatRow LKRow_BMPRAW = [] {
  TLKFormatRow r = Placeholder(lkftBMPRAW, "Raw pixels", "", true, true, 0);
  r.Registered = false;
  r.Load.OpenFirst = true;
  r.Load.CheckResolution = r.Load.AdjustResolution = false;
  r.Load.ViewResolutionFromFile = r.Load.ViewResolutionFromStream = false;
  r.Save.CreateFirst = true;
  return r;
}();
