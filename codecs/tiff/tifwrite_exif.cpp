// Little-endian TIFF directory writer and the EXIF and GPS directories.
#include "codecs/tiff/tifwrite_exif.h"

#include <algorithm>
#include <cmath>
#include <cstring>

#include "io/lktagshandler.h"

namespace {

void PutLE16(std::vector<Byte>& Out, unsigned Value) {
  Out.push_back(static_cast<Byte>(Value & 0xFF));
  Out.push_back(static_cast<Byte>((Value >> 8) & 0xFF));
}

void PutLE32(std::vector<Byte>& Out, DWORD Value) {
  for (int i = 0; i < 4; ++i) Out.push_back(static_cast<Byte>((Value >> (8 * i)) & 0xFF));
}

// Exactly N bytes of Text, cut or padded with zeros.
std::vector<Byte> FixedBytes(const String& Text, std::size_t N) {
  std::vector<Byte> out(N, 0);
  std::memcpy(out.data(), Text.data(), std::min(N, Text.size()));
  return out;
}

}  // namespace

TLKTIFFDirWriter::TLKTIFFDirWriter(TStream* Stream, Int64 Base, std::atomic<bool>* Abort)
    : FStream(Stream), FBase(Base), FAbort(Abort) {}

DWORD TLKTIFFDirWriter::Here() { return static_cast<DWORD>(FStream->GetPosition() - FBase); }

void TLKTIFFDirWriter::Put(const void* Data, Integer Count) {
  if (Count > 0) SafeStreamWrite(FStream, FAbort, Data, Count);
}

void TLKTIFFDirWriter::AddData(Word Tag, Word Type, DWORD Count, const std::vector<Byte>& Data) {
  if (Data.size() <= 4) {
    DWORD v = 0;
    for (std::size_t i = 0; i < Data.size(); ++i) v |= DWORD{Data[i]} << (8 * i);
    Add(Tag, Type, Count, v);
    return;
  }
  const DWORD at = Here();
  Put(Data.data(), static_cast<Integer>(Data.size()));
  Add(Tag, Type, Count, at);
}

void TLKTIFFDirWriter::AddShort(Word Tag, std::initializer_list<Integer> Values) {
  std::vector<Byte> data;
  for (Integer v : Values) PutLE16(data, static_cast<unsigned>(v) & 0xFFFF);
  AddData(Tag, twShort, static_cast<DWORD>(Values.size()), data);
}

void TLKTIFFDirWriter::AddLong(Word Tag, DWORD Value) { Add(Tag, twLong, 1, Value); }

void TLKTIFFDirWriter::AddShortOrLong(Word Tag, Int64 Value) {
  if (Value >= 0 && Value <= 0xFFFF)
    Add(Tag, twShort, 1, static_cast<DWORD>(Value));
  else
    Add(Tag, twLong, 1, static_cast<DWORD>(Value));
}

void TLKTIFFDirWriter::AddRationals(Word Tag, std::initializer_list<double> Values, bool Signed) {
  std::vector<Byte> data;
  for (double v : Values) {
    if (!Signed && v < 0) v = 0;  // an unsigned rational cannot hold it
    Integer den = 1;
    const Integer num = TIFFFloatToRational(den, v);
    PutLE32(data, static_cast<DWORD>(num));
    PutLE32(data, static_cast<DWORD>(den));
  }
  AddData(Tag, Signed ? twSRational : twRational, static_cast<DWORD>(Values.size()), data);
}

void TLKTIFFDirWriter::AddRationalPairs(Word Tag, std::initializer_list<std::pair<DWORD, DWORD>> Pairs) {
  std::vector<Byte> data;
  for (const auto& p : Pairs) {
    PutLE32(data, p.first);
    PutLE32(data, p.second);
  }
  AddData(Tag, twRational, static_cast<DWORD>(Pairs.size()), data);
}

void TLKTIFFDirWriter::AddText(Word Tag, const String& Text) {
  if (Text.empty()) return;
  std::vector<Byte> data(Text.begin(), Text.end());
  if (data.size() > 4) data.push_back(0);
  AddData(Tag, twAscii, static_cast<DWORD>(data.size()), data);
}

void TLKTIFFDirWriter::AddBytes(Word Tag, Word Type, const void* Data, DWORD Count) {
  if (Count == 0) return;
  const auto* p = static_cast<const Byte*>(Data);
  AddData(Tag, Type, Count, std::vector<Byte>(p, p + Count));
}

void TLKTIFFDirWriter::AddWide(Word Tag, const std::u16string& Text) {
  if (Text.empty()) return;
  std::vector<Byte> data;
  for (char16_t ch : Text) PutLE16(data, ch);
  PutLE16(data, 0);
  AddData(Tag, twByte, static_cast<DWORD>(data.size()), data);
}

DWORD TLKTIFFDirWriter::WriteDirectory(DWORD Next, Int64* NextPointerPos) {
  if (Here() & 1) {
    const Byte zero = 0;
    Put(&zero, 1);
  }
  const DWORD at = Here();
  std::stable_sort(FEntries.begin(), FEntries.end(), [](const Entry& a, const Entry& b) { return a.Tag < b.Tag; });
  std::vector<Byte> data;
  PutLE16(data, static_cast<unsigned>(FEntries.size()));
  for (const Entry& e : FEntries) {
    PutLE16(data, e.Tag);
    PutLE16(data, e.Type);
    PutLE32(data, e.Count);
    PutLE32(data, e.Value);
  }
  if (NextPointerPos) *NextPointerPos = FStream->GetPosition() + static_cast<Int64>(data.size());
  PutLE32(data, Next);
  Put(data.data(), static_cast<Integer>(data.size()));
  return at;
}

Integer TIFFFloatToRational(Integer& Denominator, double Value) {
  if (!std::isfinite(Value)) Value = 0;
  constexpr double kLimit = 2147483640.0;
  Denominator = 1000000;
  while (Denominator > 1 && std::fabs(Value) * Denominator > kLimit) Denominator /= 10;
  const double n = std::clamp(Value * Denominator, -kLimit, kLimit);
  return LKRound(n);
}

namespace {

// The maker note: the handler's block (a 16-bit count, 12-byte entries and
// their data, offsets from the block's start) written again with the entries
// whose data take 1024 bytes or more left out, and every offset pointing at
// the data's new place counted from the TIFF's start. Entries of an unknown
// type or whose data lie outside the block are left out too.
void AddMakerNote(TLKTIFFDirWriter& Exif, TLKTagsHandler& Note) {
  TMemoryStream* s = Note.GetStream();
  const Int64 size = s->GetSize();
  if (size < 12) return;
  const Byte* b = static_cast<const Byte*>(s->GetMemory());
  auto le16 = [](const Byte* p) { return static_cast<unsigned>(p[0] | p[1] << 8); };
  auto le32 = [](const Byte* p) { return DWORD{p[0]} | DWORD{p[1]} << 8 | DWORD{p[2]} << 16 | DWORD{p[3]} << 24; };
  const unsigned n = le16(b);
  std::vector<const Byte*> kept;
  for (unsigned i = 0; i < n && 2 + 12 * Int64{i} + 12 <= size; ++i) {
    const Byte* e = b + 2 + 12 * i;
    const Int64 bytes = Int64{le32(e + 4)} * LKTagSize(static_cast<Integer>(le16(e + 2)));
    if (LKTagSize(static_cast<Integer>(le16(e + 2))) == 0 || bytes >= 1024) continue;
    if (bytes > 4 && Int64{le32(e + 8)} + bytes > size) continue;
    kept.push_back(e);
  }
  const DWORD at = Exif.Here();
  std::vector<Byte> out;
  PutLE16(out, static_cast<unsigned>(kept.size()));
  std::vector<Byte> data;
  const DWORD dataStart = at + 2 + 12 * static_cast<DWORD>(kept.size());
  for (const Byte* e : kept) {
    const Int64 bytes = Int64{le32(e + 4)} * LKTagSize(static_cast<Integer>(le16(e + 2)));
    out.insert(out.end(), e, e + 8);
    if (bytes > 4) {
      PutLE32(out, dataStart + static_cast<DWORD>(data.size()));
      const Byte* src = b + le32(e + 8);
      data.insert(data.end(), src, src + bytes);
    } else {
      out.insert(out.end(), e + 8, e + 12);
    }
  }
  out.insert(out.end(), data.begin(), data.end());
  Exif.AddBytes(37500, twUndefined, out.data(), static_cast<DWORD>(out.size()));
}

}  // namespace

void TIFFWriteGPS(TLKTIFFDirWriter& Main, TStream* Stream, Int64 Base, const TIOParamsVals& P,
                  std::atomic<bool>* Abort) {
  TLKTIFFDirWriter gps(Stream, Base, Abort);
  // The version is four bytes; references are short texts, omitted when
  // empty (a count of 0 is no valid value).
  const std::vector<Byte> version = FixedBytes(P.EXIF_GPSVERSIONID, 4);
  gps.AddBytes(0, twByte, version.data(), 4);
  gps.AddText(1, P.EXIF_GPSLATITUDEREF);
  gps.AddRationals(2, {P.EXIF_GPSLATITUDEDEGREES, P.EXIF_GPSLATITUDEMINUTES, P.EXIF_GPSLATITUDESECONDS});
  gps.AddText(3, P.EXIF_GPSLONGITUDEREF);
  gps.AddRationals(4, {P.EXIF_GPSLONGITUDEDEGREES, P.EXIF_GPSLONGITUDEMINUTES, P.EXIF_GPSLONGITUDESECONDS});
  // The altitude reference is one byte (0 above, 1 below sea level).
  if (!P.EXIF_GPSALTITUDEREF.empty()) gps.AddBytes(5, twByte, P.EXIF_GPSALTITUDEREF.data(), 1);
  gps.AddRationals(6, {P.EXIF_GPSALTITUDE});
  gps.AddRationals(7, {P.EXIF_GPSTIMESTAMPHOUR, P.EXIF_GPSTIMESTAMPMINUTE, P.EXIF_GPSTIMESTAMPSECOND});
  gps.AddText(8, P.EXIF_GPSSATELLITES);
  gps.AddText(9, P.EXIF_GPSSTATUS);
  gps.AddText(10, P.EXIF_GPSMEASUREMODE);
  gps.AddRationals(11, {P.EXIF_GPSDOP});
  gps.AddText(12, P.EXIF_GPSSPEEDREF);
  gps.AddRationals(13, {P.EXIF_GPSSPEED});
  gps.AddText(14, P.EXIF_GPSTRACKREF);
  gps.AddRationals(15, {P.EXIF_GPSTRACK});
  gps.AddText(16, P.EXIF_GPSIMGDIRECTIONREF);
  gps.AddRationals(17, {P.EXIF_GPSIMGDIRECTION});
  gps.AddText(18, P.EXIF_GPSMAPDATUM);
  gps.AddText(19, P.EXIF_GPSDESTLATITUDEREF);
  gps.AddRationals(20, {P.EXIF_GPSDESTLATITUDEDEGREES, P.EXIF_GPSDESTLATITUDEMINUTES,
                        P.EXIF_GPSDESTLATITUDESECONDS});
  gps.AddText(21, P.EXIF_GPSDESTLONGITUDEREF);
  gps.AddRationals(22, {P.EXIF_GPSDESTLONGITUDEDEGREES, P.EXIF_GPSDESTLONGITUDEMINUTES,
                        P.EXIF_GPSDESTLONGITUDESECONDS});
  gps.AddText(23, P.EXIF_GPSDESTBEARINGREF);
  gps.AddRationals(24, {P.EXIF_GPSDESTBEARING});
  gps.AddText(25, P.EXIF_GPSDESTDISTANCEREF);
  gps.AddRationals(26, {P.EXIF_GPSDESTDISTANCE});
  gps.AddText(29, P.EXIF_GPSDATESTAMP);
  Main.AddLong(34853, gps.WriteDirectory(0));
}

void TIFFWriteEXIF(TLKTIFFDirWriter& Main, TStream* Stream, Int64 Base, TIOParamsVals& P,
                   std::atomic<bool>* Abort) {
  Main.AddText(270, P.EXIF_IMAGEDESCRIPTION);
  const DWORD xres = static_cast<DWORD>(std::max(0, LKTrunc(P.EXIF_XRESOLUTION)));
  const DWORD yres = static_cast<DWORD>(std::max(0, LKTrunc(P.EXIF_YRESOLUTION)));
  if (xres != 0) Main.AddRationalPairs(282, {{xres, 1}});
  if (yres != 0) Main.AddRationalPairs(283, {{yres, 1}});
  if (P.TIFF_ORIENTATION != 0) Main.AddShort(274, {P.TIFF_ORIENTATION});
  Main.AddShort(296, {2});
  Main.AddText(305, P.EXIF_SOFTWARE);
  Main.AddWide(40091, P.EXIF_XPTitle);
  Main.AddWide(40092, P.EXIF_XPComment);
  Main.AddWide(40093, P.EXIF_XPAuthor);
  Main.AddWide(40094, P.EXIF_XPKeywords);
  Main.AddWide(40095, P.EXIF_XPSubject);
  Main.AddText(315, P.EXIF_Artist);
  Main.AddText(271, P.EXIF_MAKE);
  Main.AddText(272, P.EXIF_MODEL);
  Main.AddText(306, P.EXIF_DATETIME);
  const double* wp = P.EXIF_WhitePoint;
  const double* pc = P.EXIF_PrimaryChromaticities;
  const double* yc = P.EXIF_YCbCrCoefficients;
  const double* rb = P.EXIF_ReferenceBlackWhite;
  Main.AddRationals(318, {wp[0], wp[1]});
  Main.AddShort(531, {P.EXIF_YCbCrPositioning});
  Main.AddRationals(319, {pc[0], pc[1], pc[2], pc[3], pc[4], pc[5]});
  Main.AddRationals(529, {yc[0], yc[1], yc[2]});
  Main.AddRationals(532, {rb[0], rb[1], rb[2], rb[3], rb[4], rb[5]});
  Main.AddText(33432, P.EXIF_COPYRIGHT);

  TLKTIFFDirWriter exif(Stream, Base, Abort);
  exif.AddRationals(33434, {P.EXIF_EXPOSURETIME});
  exif.AddRationals(33437, {P.EXIF_FNUMBER});
  exif.AddShort(34850, {P.EXIF_EXPOSUREPROGRAM});
  exif.AddShort(34855, {P.EXIF_ISOSpeedRatings[0], P.EXIF_ISOSpeedRatings[1]});
  // The two version fields are four bytes of type UNDEFINED.
  const std::vector<Byte> exifVersion = FixedBytes(P.EXIF_EXIFVERSION, 4);
  exif.AddBytes(36864, twUndefined, exifVersion.data(), 4);
  exif.AddText(36867, P.EXIF_DATETIMEORIGINAL);
  exif.AddText(36868, P.EXIF_DATETIMEDIGITIZED);
  exif.AddRationals(37122, {P.EXIF_COMPRESSEDBITSPERPIXEL});
  // These three are signed in the EXIF standard: negative values are common.
  exif.AddRationals(37377, {P.EXIF_SHUTTERSPEEDVALUE}, true);
  exif.AddRationals(37378, {P.EXIF_APERTUREVALUE});
  exif.AddRationals(37379, {P.EXIF_BRIGHTNESSVALUE}, true);
  exif.AddRationals(37380, {P.EXIF_EXPOSUREBIASVALUE}, true);
  exif.AddRationals(37381, {P.EXIF_MAXAPERTUREVALUE});
  exif.AddRationals(37382, {P.EXIF_SUBJECTDISTANCE});
  exif.AddShort(37383, {P.EXIF_METERINGMODE});
  exif.AddShort(37384, {P.EXIF_LIGHTSOURCE});
  exif.AddShort(37385, {P.EXIF_FLASH});
  exif.AddRationals(37386, {P.EXIF_FOCALLENGTH});
  exif.AddText(37520, P.EXIF_SUBSECTIME);
  exif.AddText(37521, P.EXIF_SUBSECTIMEORIGINAL);
  exif.AddText(37522, P.EXIF_SUBSECTIMEDIGITIZED);
  if (!P.EXIF_FLASHPIXVERSION.empty()) {
    const std::vector<Byte> fpx = FixedBytes(P.EXIF_FLASHPIXVERSION, 4);
    exif.AddBytes(40960, twUndefined, fpx.data(), 4);
  }
  exif.AddShort(40961, {P.EXIF_COLORSPACE});
  // Sizes above 65535 do not fit a SHORT.
  exif.AddShortOrLong(40962, P.EXIF_EXIFIMAGEWIDTH);
  exif.AddShortOrLong(40963, P.EXIF_EXIFIMAGEHEIGHT);
  exif.AddText(40964, P.EXIF_RELATEDSOUNDFILE);
  exif.AddRationals(41486, {P.EXIF_FOCALPLANEXRESOLUTION});
  exif.AddRationals(41487, {P.EXIF_FOCALPLANEYRESOLUTION});
  exif.AddShort(41488, {P.EXIF_FOCALPLANERESOLUTIONUNIT});
  exif.AddRationals(41493, {P.EXIF_EXPOSUREINDEX});
  exif.AddShort(41495, {P.EXIF_SENSINGMETHOD});
  exif.AddShort(41728, {P.EXIF_FILESOURCE});
  exif.AddShort(41729, {P.EXIF_SCENETYPE});
  if (P.EXIF_EXPOSUREMODE != -1) exif.AddShort(41986, {P.EXIF_EXPOSUREMODE});
  if (P.EXIF_WHITEBALANCE != -1) exif.AddShort(41987, {P.EXIF_WHITEBALANCE});
  if (P.EXIF_DIGITALZOOMRATIO != -1) exif.AddRationals(41988, {P.EXIF_DIGITALZOOMRATIO});
  if (P.EXIF_FOCALLENGTHIN35MMFILM != -1) exif.AddShort(41989, {P.EXIF_FOCALLENGTHIN35MMFILM});
  if (P.EXIF_SCENECAPTURETYPE != -1) exif.AddShort(41990, {P.EXIF_SCENECAPTURETYPE});
  if (P.EXIF_GAINCONTROL != -1) exif.AddShort(41991, {P.EXIF_GAINCONTROL});
  if (P.EXIF_CONTRAST != -1) exif.AddShort(41992, {P.EXIF_CONTRAST});
  if (P.EXIF_SATURATION != -1) exif.AddShort(41993, {P.EXIF_SATURATION});
  if (P.EXIF_SHARPNESS != -1) exif.AddShort(41994, {P.EXIF_SHARPNESS});
  if (P.EXIF_SUBJECTDISTANCERANGE != -1) exif.AddShort(41996, {P.EXIF_SUBJECTDISTANCERANGE});
  exif.AddText(42016, P.EXIF_IMAGEUNIQUEID);
  if (!P.EXIF_USERCOMMENT.empty()) {
    // Eight bytes of character code (zeros: undefined), then the comment.
    std::vector<Byte> comment = FixedBytes(P.EXIF_USERCOMMENTCODE, 8);
    comment.insert(comment.end(), P.EXIF_USERCOMMENT.begin(), P.EXIF_USERCOMMENT.end());
    exif.AddBytes(37510, twUndefined, comment.data(), static_cast<DWORD>(comment.size()));
  }
  AddMakerNote(exif, P.EXIF_MakerNote);
  Main.AddLong(34665, exif.WriteDirectory(0));
  if (!P.EXIF_GPSVERSIONID.empty()) TIFFWriteGPS(Main, Stream, Base, P, Abort);
}
