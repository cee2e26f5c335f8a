// TIFF page reader: baseline tags, EXIF and GPS directories, IPTC, XMP, ICC
// profile, maker note, JPEG-interchange pages and plain 8-bit strips.
#include <algorithm>
#include <atomic>
#include <cstring>
#include <memory>
#include <vector>

#include "codecs/jpeg/jpegfilt.h"
#include "codecs/tiff/tiffdir.h"
#include "codecs/tiff/tiffilt.h"
#include "codecs/tiff/tiffvars.h"
#include "core/lkabort.h"
#include "core/lkallocgate.h"
#include "core/lkbytereader.h"
#include "core/lkicc.h"
#include "io/lkexif.h"
#include "io/lkimagingannot.h"

namespace {

// Thumbnail pages larger than this in either direction are refused.
constexpr Integer kThumbnailLimit = 400;
// Maker notes with more entries than this are not taken as a directory.
constexpr Integer kMakerNoteMaxEntries = 256;

DWORD Get32(const Byte* p, bool le) { return le ? LKGetLE32(p) : LKGetBE32(p); }

Word Get16(const Byte* p, bool le) { return le ? LKGetLE16(p) : LKGetBE16(p); }

void Put16(std::vector<Byte>& out, Word v) {
  out.push_back(Byte(v));
  out.push_back(Byte(v >> 8));
}

void Put32(std::vector<Byte>& out, DWORD v) {
  for (int i = 0; i < 4; ++i) out.push_back(Byte(v >> (8 * i)));
}

// Reverses each element of Size bytes in place (big-endian data to
// little-endian); rationals are two 4-byte elements.
void SwapElements(Byte* Data, size_t Bytes, Word Type) {
  Word size = LKTagSize(Type);
  if (Type == ttRational || Type == ttSRational) size = 4;
  if (size < 2) return;
  for (size_t i = 0; i + size <= Bytes; i += size) std::reverse(Data + i, Data + i + size);
}

// Bounded read at Base + Offset of the directory's stream.
bool ReadAt(const TTIFFEnv& Env, Int64 Offset, void* Buffer, Int64 Count) {
  const Int64 size = Env.Stream->GetSize();
  const Int64 pos = Env.Base + Offset;
  if (Offset < 0 || pos < 0 || pos > size || Count < 0 || Count > size - pos || Count > 0x7FFFFFFF) return false;
  if (Count == 0) return true;
  Env.Stream->SetPosition(pos);
  return Env.Stream->Read(Buffer, static_cast<Integer>(Count)) == static_cast<Integer>(Count);
}

// Copies the maker-note directory (tag 37500 of the EXIF directory) into
// the parameters' tag handler as a little-endian block whose offsets count
// from the block's start. Entries whose data lies outside the stream are
// left out; an unknown field type drops the whole note.
void TIFFReadMakerNote(const TTIFFEnv& Exif, TIOParamsVals& Params) {
  TLKTagsHandler& handler = Params.EXIF_MakerNote;
  handler.GetStream()->Clear();
  const Integer idx = TIFFFindTAG(37500, Exif);
  if (idx < 0) {
    handler.Update();
    return;
  }
  std::vector<Byte> note;
  const TTIFFTAG& t = Exif.Tags[static_cast<size_t>(idx)];
  const Int64 size = Exif.Stream->GetSize();
  if (t.Count > 4) {
    // A note running past the end keeps what the stream holds of it.
    const Int64 start = Exif.Base + t.Value;
    if (start >= 0 && start < size) {
      note.resize(static_cast<size_t>(std::min<Int64>(t.Count, size - start)));
      if (!ReadAt(Exif, t.Value, note.data(), static_cast<Int64>(note.size()))) note.clear();
    }
  }
  const bool le = Exif.LittleEndian;
  if (note.size() > 1) {
    const Integer n = Get16(note.data(), le);
    if (n <= kMakerNoteMaxEntries && 2 + 12 * static_cast<size_t>(n) <= note.size()) {
      struct Kept {
        TTIFFTAG Tag;
        std::vector<Byte> Data;  // values longer than 4 bytes, little-endian
        Byte Inline[4];
      };
      std::vector<Kept> kept;
      bool bad = false;
      for (Integer i = 0; i < n && !bad; ++i) {
        const Byte* e = note.data() + 2 + 12 * i;
        Kept k{};
        k.Tag = TTIFFTAG{Get16(e, le), Get16(e + 2, le), Get32(e + 4, le), Get32(e + 8, le)};
        if (k.Tag.FieldType > 12) {
          bad = true;
          break;
        }
        const Int64 bytes = Int64{k.Tag.Count} * LKTagSize(k.Tag.FieldType);
        if (Int64{k.Tag.Count} >= size) continue;
        if (bytes <= 4) {
          std::memcpy(k.Inline, e + 8, 4);
          if (!le) SwapElements(k.Inline, static_cast<size_t>(bytes), k.Tag.FieldType);
        } else {
          // Checked before allocating: the data must lie in the stream.
          if (Exif.Base + Int64{k.Tag.Value} + bytes > size) continue;
          k.Data.resize(static_cast<size_t>(bytes));
          if (!ReadAt(Exif, k.Tag.Value, k.Data.data(), bytes)) continue;
          if (!le) SwapElements(k.Data.data(), k.Data.size(), k.Tag.FieldType);
        }
        kept.push_back(std::move(k));
      }
      if (!bad && !kept.empty()) {
        std::vector<Byte> block;
        Put16(block, static_cast<Word>(kept.size()));
        DWORD data = static_cast<DWORD>(2 + 12 * kept.size());
        std::vector<Byte> area;
        for (const Kept& k : kept) {
          Put16(block, k.Tag.Tag);
          Put16(block, k.Tag.FieldType);
          Put32(block, k.Tag.Count);
          if (k.Data.empty()) {
            block.insert(block.end(), k.Inline, k.Inline + 4);
          } else {
            Put32(block, data + static_cast<DWORD>(area.size()));
            area.insert(area.end(), k.Data.begin(), k.Data.end());
          }
        }
        block.insert(block.end(), area.begin(), area.end());
        handler.GetStream()->Write(block.data(), static_cast<Integer>(block.size()));
        handler.GetStream()->SetPosition(0);
      }
    }
  }
  handler.Update();
}

// One EXIF field from its tag in directory E (a field whose tag is absent
// becomes 0 or empty, or -1 where -1 means absent).
void ReadTag(const TTIFFEnv& E, const TLKParamTag& T, String& Field) {
  if (T.Form == lkfText)
    TIFFReadString(E, T.Number, Field);
  else
    TIFFReadMiniString(E, T.Number, Field);
  // A text field's terminating zero is no part of the text (a short value
  // keeps it in the entry); the version bytes are kept whole.
  if ((T.Form == lkfText || T.Form == lkfShortText) && !Field.empty() && Field.back() == '\0') Field.pop_back();
}
void ReadTag(const TTIFFEnv& E, const TLKParamTag& T, std::u16string& Field) { TIFFReadWideString(E, T.Number, Field); }
void ReadTag(const TTIFFEnv& E, const TLKParamTag& T, Integer& Field) {
  const bool absent = T.When == lkwPresent && TIFFFindTAG(T.Number, E) < 0;
  Field = absent ? -1 : TIFFReadSingleValDef(E, T.Number, 0);
}
void ReadTag(const TTIFFEnv& E, const TLKParamTag& T, double& Field) {
  const bool absent = T.When == lkwPresent && TIFFFindTAG(T.Number, E) < 0;
  Field = absent ? -1.0 : TIFFReadRationalIndex(E, T.Number, T.Index);
}
template <std::size_t N>
void ReadTag(const TTIFFEnv& E, const TLKParamTag& T, double (&Field)[N]) {
  for (std::size_t i = 0; i < N; ++i) Field[i] = TIFFReadRationalIndex(E, T.Number, static_cast<Integer>(i));
}
template <std::size_t N>
void ReadTag(const TTIFFEnv& E, const TLKParamTag& T, Integer (&Field)[N]) {
  for (std::size_t i = 0; i < N; ++i) Field[i] = TIFFReadIndexValN(E, T.Number, static_cast<Integer>(i));
}
template <class Other>
void ReadTag(const TTIFFEnv&, const TLKParamTag&, Other&) {}

// Every field of the EXIF group that has a tag, from the main, EXIF or GPS
// directory (an empty directory when the file has none).
void ReadParamTags(const TTIFFEnv& Main, const TTIFFEnv& Exif, const TTIFFEnv& Gps, TIOParamsVals& P) {
  LKForEachParamField(P, [&](auto& Field, const TLKParamFieldInfo& Info, const auto&) {
    const TLKParamTag& t = Info.Tag;
    if (t.Form == lkfNone) return;
    ReadTag(t.Dir == lkdMain ? Main : t.Dir == lkdExif ? Exif : Gps, t, Field);
  });
}

// The user comment: eight bytes of character code, then the comment.
void ReadUserComment(const TTIFFEnv& E, TIOParamsVals& P) {
  String comment;
  TIFFReadString(E, 37510, comment);
  P.EXIF_USERCOMMENTCODE = comment.substr(0, std::min<size_t>(8, comment.size()));
  P.EXIF_USERCOMMENT = comment.size() > 8 ? comment.substr(8) : String();
}

TIOTIFFCompression CompressionOf(Integer Code, Integer T4Options) {
  switch (Code) {
    case 1: return ioTIFF_UNCOMPRESSED;
    case 2: return ioTIFF_CCITT1D;
    case 3: return (T4Options & 1) ? ioTIFF_G3FAX2D : ioTIFF_G3FAX1D;
    case 4: return ioTIFF_G4FAX;
    case 5: return ioTIFF_LZW;
    case 6: return ioTIFF_OLDJPEG;
    case 7: return ioTIFF_JPEG;
    case 32773: return ioTIFF_PACKBITS;
    default: return ioTIFF_UNKNOWN;
  }
}

// Decodes the JPEG held in Data into Bitmap (24-bit) with a private
// parameter record; false when the JPEG reader gave up or the JPEG's own
// size exceeds MaxWidth x MaxHeight (checked before decoding, so a damaged
// header cannot make it allocate for a picture the page does not hold).
bool DecodeJpeg(std::vector<Byte>& Data, TLKBitmap* Bitmap, TProgressRec& Progress, Integer MaxLines,
                Integer MaxWidth, Integer MaxHeight) {
  TMemoryStream mem;
  if (!Data.empty()) mem.Write(Data.data(), static_cast<Integer>(Data.size()));
  mem.SetPosition(0);
  TIOParamsVals jp(nullptr);
  std::atomic<bool> aborted{false};
  TProgressRec p = Progress;
  p.AbortFlag = &aborted;
  ReadJPegStream(&mem, nullptr, nullptr, jp, p, true, false, false, false, false, false, -1);
  if (aborted.load() || jp.WIDTH <= 0 || jp.HEIGHT <= 0 || jp.WIDTH > MaxWidth || jp.HEIGHT > MaxHeight ||
      !LKAllowPicture(jp.WIDTH, jp.HEIGHT, 24, p, "TIFF JPEG page"))
    return false;
  mem.SetPosition(0);
  ReadJPegStream(&mem, nullptr, Bitmap, jp, p, false, false, false, false, false, false, MaxLines);
  return !aborted.load() && !Bitmap->IsEmpty();
}

// Pages coded as JPEG interchange format (compression 6).
// MaxWidth and MaxHeight bound the size the JPEG data may claim.
bool TIFFReadOldJPEG(const TTIFFEnv& E, TLKBitmap* Bitmap, TProgressRec& Progress, Integer Width, Integer Height,
                     Integer RowsPerStrip, Integer MaxWidth, Integer MaxHeight) {
  const Int64 size = E.Stream->GetSize();
  const Int64 jif = static_cast<DWORD>(TIFFReadSingleValDef(E, 513, 0));
  const Int64 jifLen = static_cast<DWORD>(TIFFReadSingleValDef(E, 514, 0));
  std::vector<Integer> offsets, counts;
  TIFFReadArrayIntegers(E, offsets, 273);
  TIFFReadArrayIntegers(E, counts, 279);
  if (!counts.empty() && !offsets.empty()) {
    if (jifLen > size || Width <= 0 || Height <= 0) return false;
    Bitmap->Allocate(Width, Height, lk24RGB);
    std::vector<Byte> header(static_cast<size_t>(jifLen));
    if (!ReadAt(E, jif, header.data(), jifLen)) return false;
    const Integer rps = RowsPerStrip > 0 && RowsPerStrip < Height ? RowsPerStrip : Height;
    // Strips past the picture's last row hold nothing to show.
    const size_t needed = static_cast<size_t>((Int64{Height} + rps - 1) / rps);
    const size_t strips = std::min({offsets.size(), counts.size(), needed});
    std::vector<Byte> firstSegment;
    for (size_t s = 0; s < strips; ++s) {
      const Int64 len = static_cast<DWORD>(counts[s]);
      if (len > size) return false;
      std::vector<Byte> strip(static_cast<size_t>(len));
      if (!ReadAt(E, static_cast<DWORD>(offsets[s]), strip.data(), len)) return false;
      if (s == 0 && strip.size() >= 4 && strip[0] == 0xFF) {
        const size_t segLen = 2 + ((strip[2] << 8) | strip[3]);
        firstSegment.assign(strip.begin(), strip.begin() + static_cast<std::ptrdiff_t>(std::min(segLen, strip.size())));
      }
      std::vector<Byte> data = header;
      if (s > 0) data.insert(data.end(), firstSegment.begin(), firstSegment.end());
      data.insert(data.end(), strip.begin(), strip.end());
      TLKBitmap part;
      TProgressRec quiet;
      if (!DecodeJpeg(data, &part, strips == 1 ? Progress : quiet, rps, MaxWidth, MaxHeight)) return false;
      const Int64 top = Int64{rps} * static_cast<Int64>(s);
      const Integer w = std::min(Width, part.GetWidth());
      for (Integer y = 0; y < part.GetHeight() && y < rps && top + y < Height; ++y)
        std::memcpy(Bitmap->GetScanLine(static_cast<Integer>(top + y)), part.GetScanLine(y),
                    static_cast<size_t>(w) * 3);
      if (Progress.OnProgress && strips > 1)
        Progress.OnProgress(Progress.Sender, static_cast<Integer>(s * 100 / strips));
    }
    return true;
  }
  Int64 start = jif;
  if (jif == 0 && !offsets.empty()) start = static_cast<DWORD>(offsets[0]);
  if (start < 0 || E.Base + start >= size) return false;
  E.Stream->SetPosition(E.Base + start);
  const Int64 len = LKGetJpegLength(E.Stream);
  if (len <= 0 || len > size - (E.Base + start)) return false;
  std::vector<Byte> data(static_cast<size_t>(len));
  if (!ReadAt(E, start, data.data(), len)) return false;
  return DecodeJpeg(data, Bitmap, Progress, -1, MaxWidth, MaxHeight);
}

void ReadPage(TLKBitmap* Bitmap, TStream* Stream, Integer& PageCount, TIOParamsVals* Params, TProgressRec& Progress,
              bool ParamsOnly, TLKMask** AlphaMask, bool RelativeOffsets, bool IgnoreAlpha, bool ThumbnailMode,
              std::atomic<bool>* Abort) {
  TTIFFEnv env;
  env.Stream = Stream;
  const Int64 start = Stream->GetPosition();
  env.Base = RelativeOffsets ? start : 0;
  Byte h[8];
  if (Stream->Read(h, 8) != 8 || !((h[0] == 'I' && h[1] == 'I') || (h[0] == 'M' && h[1] == 'M'))) {
    Abort->store(true);
    return;
  }
  env.LittleEndian = h[0] == 'I';
  const DWORD first = Get32(h + 4, env.LittleEndian);
  const Integer index = Params ? Params->TIFF_IMAGEINDEX : -1;
  const bool found = first != 0 && TIFFReadIFD(index, first, env, PageCount);
  if (!Params) return;
  // A directory counts once its link to the next one has been read: a file
  // cut inside (or before) the page's directory, which writers often put
  // at the end, loads nothing. A parameters read of a page past the last of
  // a whole file only finds no page.
  if (!found || PageCount <= index) {
    if (ParamsOnly && PageCount > 0 && index >= PageCount) return;
    LKAbort(Progress, "TIFF: the directory of page " + std::to_string(index) + " is cut off or missing");
    Abort->store(true);
    return;
  }
  TIOParamsVals& P = *Params;

  TTIFFEnv exif, gps;
  exif.Stream = gps.Stream = Stream;
  exif.LittleEndian = gps.LittleEndian = env.LittleEndian;
  exif.Base = gps.Base = env.Base;
  if (TIFFReadSingleValDef(env, 34665, 0) != 0 && TIFFLoadSubIFD(env, 34665, exif)) P.EXIF_HASEXIF = true;
  if (TIFFReadSingleValDef(env, 34853, 0) != 0) TIFFLoadSubIFD(env, 34853, gps);

  auto val = [&](Word tag, Integer def) { return TIFFReadSingleValDef(env, tag, def); };
  const Integer width = val(256, 0);
  const Integer height = val(257, 0);
  const Integer samples = val(277, 1);
  Integer bits = 1;
  {
    std::vector<Integer> b;
    const Integer n = TIFFReadArrayIntegers(env, b, 258);
    if (n == 1 || (n == 0 && TIFFFindTAG(258, env) >= 0)) bits = val(258, 1);
    if (n > 1) {
      bits = b.back();
      if (std::any_of(b.begin(), b.end(), [&](Integer v) { return v != b.front(); })) {
        Abort->store(true);
        return;
      }
    }
  }
  Integer rowsPerStrip = val(278, height);
  if (rowsPerStrip == -1) rowsPerStrip = height;
  Integer photometric = val(262, 2);
  const Integer planar = val(284, 1);
  const Integer orientation = val(274, 1);
  const Integer compression = val(259, 1);
  const Integer resUnit = val(296, 2);
  const double xres = TIFFReadSingleRational(env, 282);
  const double yres = TIFFReadSingleRational(env, 283);
  const Integer t4 = val(292, 0);
  const Integer fillOrder = val(266, 1);
  const double xpos = TIFFReadSingleRational(env, 286);
  const double ypos = TIFFReadSingleRational(env, 287);
  const Integer jpegProc = val(512, 0);
  const Integer jif = val(513, 0);
  if (samples == 1 && bits == 1 && compression >= 1 && compression <= 4 && photometric == 2) photometric = 0;

  // Palette: 2^bits entries, red, green and blue values one after the other.
  std::vector<TRGB> colorMap;
  if (TIFFFindTAG(320, env) >= 0 && bits >= 1 && bits <= 8) {
    std::vector<Integer> map;
    const size_t n = size_t{1} << bits;
    if (TIFFReadArrayIntegers(env, map, 320) >= static_cast<Integer>(3 * n)) {
      const bool wide = *std::max_element(map.begin(), map.begin() + static_cast<std::ptrdiff_t>(3 * n)) >= 256;
      auto c = [&](Integer v) { return Byte(wide ? (v >> 8) & 0xFF : v & 0xFF); };
      colorMap.resize(n);
      for (size_t i = 0; i < n; ++i) colorMap[i] = TRGB{c(map[2 * n + i]), c(map[n + i]), c(map[i])};
    }
  }

  std::vector<Byte> raw;
  // Annotation marks replace whatever an earlier read left in the record.
  if (TIFFFindTAG(32932, env) >= 0 && TIFFReadRawData(env, 32932, raw) && !raw.empty()) {
    TLKImagingAnnot* annot = P.GetImagingAnnot();
    annot->Clear();
    annot->LoadFromStandardBuffer(raw.data(), static_cast<Integer>(raw.size()));
  }
  const Integer iptc = TIFFFindTAG(33723, env);
  if (iptc >= 0 && TIFFReadRawData(env, 33723, raw) && !raw.empty())
    P.IPTC_Records.LoadFromStandardBuffer(raw.data(), static_cast<Integer>(raw.size()));
  else
    P.IPTC_Records.Clear();
  P.XMP_INFO.clear();
  const Integer xmp = TIFFFindTAG(700, env);
  if (xmp >= 0 && (env.Tags[static_cast<size_t>(xmp)].FieldType == ttByte ||
                   env.Tags[static_cast<size_t>(xmp)].FieldType == ttUndefined) &&
      TIFFReadRawData(env, 700, raw))
    P.XMP_INFO.assign(raw.begin(), raw.end());
  if (TIFFFindTAG(34675, env) >= 0 && TIFFReadRawData(env, 34675, raw) && !raw.empty())
    P.GetInputICC()->LoadFromBuffer(raw.data(), static_cast<Integer>(raw.size()));

  P.BITSPERSAMPLE = bits;
  P.SAMPLESPERPIXEL = samples;
  P.WIDTH = width;
  P.HEIGHT = height;
  P.SetImageCount(PageCount);
  P.SetTIFF_Orientation(orientation);
  P.TIFF_COMPRESSION = CompressionOf(compression, t4);
  if (photometric >= 0 && photometric <= 6)
    P.TIFF_PHOTOMETINTEPRET = static_cast<TIOTIFFPhotometInterpret>(photometric);
  else if (photometric == 8) P.TIFF_PHOTOMETINTEPRET = ioTIFF_CIELAB;
  P.TIFF_PLANARCONF = planar;
  TIFFReadString(env, 269, P.TIFF_DOCUMENTNAME);
  TIFFReadString(env, 270, P.TIFF_IMAGEDESCRIPTION);
  TIFFReadString(env, 285, P.TIFF_PAGENAME);
  P.TIFF_PAGENUMBER = TIFFReadIndexValN(env, 297, 0);
  P.TIFF_PAGECOUNT = TIFFReadIndexValN(env, 297, 1);
  P.TIFF_FILLORDER = fillOrder;
  P.EXIF_RESOLUTIONUNIT = resUnit;
  ReadParamTags(env, exif, gps, P);
  ReadUserComment(exif, P);
  TIFFReadMakerNote(exif, P);

  P.ColorMap = colorMap;
  P.COLORMAPCOUNT = static_cast<Integer>(colorMap.size());

  // The resolution goes to DPIX/DPIY rounded (the default when none); the
  // EXIF fields keep the tag's own value and unit, which the JPEG reader
  // and the camera RAW road convert themselves.
  const double factor = resUnit == 3 ? 2.54 : 1.0;
  const Integer dpix = LKRound(xres * factor), dpiy = LKRound(yres * factor);
  P.SetDpiX(dpix != 0 ? dpix : gDefaultDPIX);
  P.SetDpiY(dpiy != 0 ? dpiy : gDefaultDPIY);
  P.EXIF_XRESOLUTION = xres;
  P.EXIF_YRESOLUTION = yres;
  P.TIFF_XPOS = LKTrunc(xpos * factor);
  P.TIFF_YPOS = LKTrunc(ypos * factor);

  if ((width == 0 || height == 0) && !ThumbnailMode) {
    Abort->store(true);
    return;
  }
  if (compression == 5 && !P.TIFF_LZWDecompressor && !DefTIFF_LZWDECOMPFUNC) {
    Abort->store(true);
    return;
  }
  if (ParamsOnly) return;

  if (ThumbnailMode && (width > kThumbnailLimit || height > kThumbnailLimit)) {
    Abort->store(true);
    return;
  }
  if (!Bitmap) {
    Abort->store(true);
    return;
  }
  TTIFFVars v;
  v.ImageWidth = width;
  v.ImageLength = height;
  v.SamplesPerPixel = samples;
  v.BitsPerSample = bits;
  v.RowsPerStrip = rowsPerStrip;
  v.TileWidth = val(322, -1);
  v.TileLength = val(323, -1);
  v.Photometric = photometric;
  v.PlanarConfig = planar;
  v.Compression = compression;
  v.Predictor = val(317, 1);
  v.T4Options = t4;
  v.T6Options = val(293, 0);
  v.FillOrder = fillOrder;
  v.ExtraSamples = val(338, 0);
  v.YCbCrSubX = TIFFReadIndexValN(env, 530, 0);
  v.YCbCrSubY = TIFFReadIndexValN(env, 530, 1);
  if (v.YCbCrSubX == 0) v.YCbCrSubX = 2;
  if (v.YCbCrSubY == 0) v.YCbCrSubY = 2;
  TIFFReadArrayIntegers(env, v.StripOffsets, 273);
  TIFFReadArrayIntegers(env, v.StripByteCounts, 279);
  TIFFReadArrayIntegers(env, v.TileOffsets, 324);
  TIFFReadArrayIntegers(env, v.TileByteCounts, 325);
  TIFFReadRawData(env, 347, v.JPEGTables);
  v.Software = P.EXIF_SOFTWARE;
  v.ColorMap = colorMap;
  v.LZW = P.TIFF_LZWDecompressor ? P.TIFF_LZWDecompressor : DefTIFF_LZWDECOMPFUNC;
  v.LittleEndian = env.LittleEndian;
  v.Params = &P;
  v.IgnoreAlpha = IgnoreAlpha || !AlphaMask;
  // An alpha sample goes to a mask the size of the picture, opaque at first.
  const bool hasAlpha = (samples == 4 && (v.ExtraSamples == 2 || photometric == 2)) || (samples == 2 && bits == 8);
  if (!v.IgnoreAlpha && (hasAlpha || *AlphaMask)) {
    if (!*AlphaMask) *AlphaMask = new TLKMask;
    v.AlphaMask = *AlphaMask;
  }

  bool ok = true;
  if ((compression != 6 && jif == 0) || jpegProc > 1) {
    const bool tiled = v.TileWidth > 0 || v.TileLength > 0;
    const TLKPixelFormat pf = TIFFPixelFormat(v, P.ISNATIVEPIXELFORMAT);
    static constexpr Integer kBits[] = {0, 1, 8, 8, 16, 24, 32, 32, 48, 96};
    if (!LKTIFFAllowPage(width, height, samples, bits, compression, kBits[pf], Stream->GetSize(), Progress)) {
      Abort->store(true);
      return;
    }
    Bitmap->Allocate(width, height, pf);
    if (Bitmap->GetPixelFormat() == lk8p)
      for (Integer i = 0; i < static_cast<Integer>(colorMap.size()) && i < 256; ++i)
        Bitmap->SetPalette(i, colorMap[static_cast<size_t>(i)]);
    // Rows the data does not reach stay white on bilevel pages (black on a
    // thumbnail); one fill, the picture may be large.
    Bitmap->Fill(Bitmap->GetPixelFormat() == lk1g && !ThumbnailMode ? 1 : 0);
    if (v.AlphaMask) {
      v.AlphaMask->AllocateBits(width, height, 8);
      v.AlphaMask->Fill(255);
      v.AlphaMask->SetFull(true);
    }
    if (tiled) {
      if (v.TileOffsets.empty()) {
        v.TileOffsets = v.StripOffsets;
        v.TileByteCounts = v.StripByteCounts;
      }
      if (v.TileOffsets.empty()) ok = false;
      else TIFFReadTiles(env, v, Bitmap, Progress);
    } else if (!v.StripOffsets.empty()) {
      TIFFReadStrips(env, v, Bitmap, Progress);
    } else {
      ok = false;
    }
  } else {
    // Thumbnail directories often give no size of their own: the JPEG's
    // size decides, held to the thumbnail limit; otherwise the JPEG may
    // exceed the page only by its padding to whole blocks.
    const Integer maxW = ThumbnailMode ? kThumbnailLimit : width > 0 ? width + 16 : 65535;
    const Integer maxH = ThumbnailMode ? kThumbnailLimit : height > 0 ? height + 16 : 65535;
    ok = TIFFReadOldJPEG(env, Bitmap, Progress, width, height, rowsPerStrip, maxW, maxH);
  }
  // A transform built for the rows marks the profile as applied to them.
  if (P.InputICC) P.InputICC->FreeTransform();
  if (!ok) {
    Abort->store(true);
    return;
  }
  if (P.TIFF_ENABLEADJUSTORIENTATION) LKAdjustEXIFOrientation(Bitmap, orientation);
}

}  // namespace

bool LKTIFFAllowPage(Integer Width, Integer Height, Integer Samples, Integer Bits, Integer Compression,
                     Integer BitsPerPixel, Int64 StreamSize, TProgressRec& Progress) {
  if (Samples <= 0 || Bits <= 0 || Samples > 64 || Bits > 64) {
    LKAbort(Progress, "TIFF page: " + std::to_string(Samples) + " samples of " + std::to_string(Bits) + " bits");
    return false;
  }
  // The fax codings deliver one bit per pixel: rows of any other layout
  // would be read past the decoded bits.
  const bool fax = Compression >= 2 && Compression <= 4;
  if (fax && (Samples != 1 || Bits != 1)) {
    LKAbort(Progress, "TIFF page: fax coding is bilevel, the page has " + std::to_string(Samples) + " samples of " +
                          std::to_string(Bits) + " bits");
    return false;
  }
  // The most picture one byte of coded data can give: uncompressed 1,
  // PackBits 64, LZW about 4096 (one 12-bit code for a string of 4096
  // bytes), JPEG well under 1024. A fax row takes at least one bit whatever
  // its width (a two-dimensional white row under a white one is one code).
  Int64 ratio = 8192;
  if (Compression == 1) ratio = 1;
  else if (Compression == 32773) ratio = 64;
  else if (Compression == 5) ratio = 4096;
  else if (Compression == 6 || Compression == 7) ratio = 1024;
  TLKPictureRequest r;
  r.Width = Width;
  r.Height = Height;
  r.BitsPerPixel = BitsPerPixel;
  r.MaxSide = 0xFFFFFFFFLL;
  const Int64 raw = (Int64{Width} * Samples * Bits + 7) / 8 * Height;
  r.MinCodedBytes = fax ? Int64{Height} / 8 : raw / ratio;
  r.AvailableBytes = StreamSize;
  return LKAllowPicture(r, Progress, "TIFF page");
}

void TIFFReadStream(TLKBitmap* Bitmap, TStream* Stream, Integer& PageCount, TIOParamsVals* Params,
                    TProgressRec& Progress, bool ParamsOnly, TLKMask** AlphaMask, bool RelativeOffsets,
                    bool IgnoreAlpha, bool ThumbnailMode) {
  std::atomic<bool> ownAbort{false};
  std::atomic<bool>* abort = Progress.AbortFlag ? Progress.AbortFlag : &ownAbort;
  PageCount = 0;
  if (!Stream) {
    abort->store(true);
    return;
  }
  try {
    ReadPage(Bitmap, Stream, PageCount, Params, Progress, ParamsOnly, AlphaMask, RelativeOffsets, IgnoreAlpha,
             ThumbnailMode, abort);
  } catch (...) {
    // Stream and allocation failures: the page is refused.
    abort->store(true);
  }
}

Integer _EnumTIFFImStream(TStream* Stream) {
  if (!Stream) return 0;
  Integer count = 0;
  TProgressRec progress;
  std::atomic<bool> aborted{false};
  progress.AbortFlag = &aborted;
  const Int64 pos = Stream->GetPosition();
  TIFFReadStream(nullptr, Stream, count, nullptr, progress, true, nullptr, false, true, false);
  Stream->SetPosition(pos);
  return count;
}
