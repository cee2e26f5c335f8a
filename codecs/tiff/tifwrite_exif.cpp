// Little-endian TIFF directory writer and the EXIF and GPS directories.
#include "codecs/tiff/tifwrite_exif.h"

#include <algorithm>
#include <cmath>
#include <cstring>
#include <type_traits>

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

void TLKTIFFDirWriter::AlignWord() {
  if (Here() & 1) {
    const Byte zero = 0;
    Put(&zero, 1);
  }
}

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
  AlignWord();
  const DWORD at = Here();
  Put(Data.data(), static_cast<Integer>(Data.size()));
  Add(Tag, Type, Count, at);
}

void TLKTIFFDirWriter::AddShort(Word Tag, std::initializer_list<Integer> Values) {
  AddShorts(Tag, Values.begin(), Values.size());
}

void TLKTIFFDirWriter::AddShorts(Word Tag, const Integer* Values, std::size_t Count) {
  std::vector<Byte> data;
  for (std::size_t i = 0; i < Count; ++i) PutLE16(data, static_cast<unsigned>(Values[i]) & 0xFFFF);
  AddData(Tag, twShort, static_cast<DWORD>(Count), data);
}

void TLKTIFFDirWriter::AddLong(Word Tag, DWORD Value) { Add(Tag, twLong, 1, Value); }

void TLKTIFFDirWriter::AddShortOrLong(Word Tag, Int64 Value) {
  if (Value >= 0 && Value <= 0xFFFF)
    Add(Tag, twShort, 1, static_cast<DWORD>(Value));
  else
    Add(Tag, twLong, 1, static_cast<DWORD>(Value));
}

void TLKTIFFDirWriter::AddRationals(Word Tag, std::initializer_list<double> Values, bool Signed) {
  AddRationals(Tag, Values.begin(), Values.size(), Signed);
}

void TLKTIFFDirWriter::AddRationals(Word Tag, const double* Values, std::size_t Count, bool Signed) {
  std::vector<Byte> data;
  for (std::size_t i = 0; i < Count; ++i) {
    double v = Values[i];
    if (!Signed && v < 0) v = 0;  // an unsigned rational cannot hold it
    Integer den = 1;
    const Integer num = TIFFFloatToRational(den, v);
    PutLE32(data, static_cast<DWORD>(num));
    PutLE32(data, static_cast<DWORD>(den));
  }
  AddData(Tag, Signed ? twSRational : twRational, static_cast<DWORD>(Count), data);
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
  // ASCII values end with a zero byte, which counts (a text of up to three
  // characters then sits in the entry). A short text read from a file keeps
  // its zero: it gets no second one.
  std::vector<Byte> data(Text.begin(), Text.end());
  if (data.back() != 0) data.push_back(0);
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
  // The block's own offsets count from where it will start.
  Exif.AlignWord();
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

namespace {

// One field's value under its tag, when it is to be written. Of3 gathers
// the three values of a GPS triple until the last one comes.
// The EXIF version a block says it follows when the record names none.
constexpr char kExifVersion[] = "0230";

// True when Value holds what the record means by "not known" for a tag
// written only when known.
bool Unknown(const TLKParamTag& T, double Value) {
  return (T.When == lkwPresent && Value == -1) || (T.When == lkwKnown && (Value == 0 || Value == -1));
}

void AddTag(TLKTIFFDirWriter& W, const TLKParamTag& T, const String& Value, double (&)[3]) {
  switch (T.Form) {
    case lkfVersion:
      // Four bytes, UNDEFINED (BYTE in the GPS directory).
      if (T.When == lkwAlways || !Value.empty()) {
        const std::vector<Byte> version = FixedBytes(Value.empty() ? String(kExifVersion) : Value, 4);
        W.AddBytes(T.Number, T.Dir == lkdGps ? twByte : twUndefined, version.data(), 4);
      }
      break;
    case lkfFirstByte:
      // One byte, such as the altitude reference (0 above, 1 below sea level).
      if (!Value.empty()) W.AddBytes(T.Number, twByte, Value.data(), 1);
      break;
    default:
      W.AddText(T.Number, Value);
      break;
  }
}
void AddTag(TLKTIFFDirWriter& W, const TLKParamTag& T, const std::u16string& Value, double (&)[3]) {
  W.AddWide(T.Number, Value);
}
void AddTag(TLKTIFFDirWriter& W, const TLKParamTag& T, Integer Value, double (&)[3]) {
  if (Unknown(T, Value)) return;
  if (T.Form == lkfUndefinedByte) {
    const Byte b = static_cast<Byte>(Value);
    W.AddBytes(T.Number, twUndefined, &b, 1);
  } else if (T.Form == lkfShortOrLong) {
    // Sizes above 65535 do not fit a SHORT.
    W.AddShortOrLong(T.Number, Value);
  } else {
    W.AddShort(T.Number, {Value});
  }
}
void AddTag(TLKTIFFDirWriter& W, const TLKParamTag& T, double Value, double (&Of3)[3]) {
  if (T.Form == lkfRationalOf3) {
    Of3[T.Index] = Value;
    if (T.Index == 2) W.AddRationals(T.Number, Of3, 3);
    return;
  }
  if (Unknown(T, Value)) return;
  W.AddRationals(T.Number, {Value}, T.Form == lkfSRational);
}
// Arrays: none when every value is unknown; Integer arrays (the speed
// ratings) without their trailing unknown values.
template <class E, std::size_t N>
  requires std::is_arithmetic_v<E>
void AddTag(TLKTIFFDirWriter& W, const TLKParamTag& T, const E (&Values)[N], double (&)[3]) {
  std::size_t count = N;
  if (T.When == lkwKnown) {
    while (count > 0 && Values[count - 1] == 0) --count;
    if (count == 0) return;
    if constexpr (std::is_floating_point_v<E>) count = N;
  }
  if constexpr (std::is_floating_point_v<E>)
    W.AddRationals(T.Number, Values, count);
  else
    W.AddShorts(T.Number, Values, count);
}
template <class Other>
void AddTag(TLKTIFFDirWriter&, const TLKParamTag&, const Other&, double (&)[3]) {}

// Adds every field stored in directory Dir, in the order of the field list.
void AddParamTags(TLKTIFFDirWriter& W, TLKParamTagDir Dir, const TIOParamsVals& P) {
  double of3[3] = {};
  LKForEachParamField(P, [&](const auto& Field, const TLKParamFieldInfo& Info, const auto&) {
    if (Info.Tag.Dir == Dir && Info.Tag.Form != lkfNone) AddTag(W, Info.Tag, Field, of3);
  });
}

}  // namespace

void TIFFWriteGPS(TLKTIFFDirWriter& Main, TStream* Stream, Int64 Base, const TIOParamsVals& P,
                  std::atomic<bool>* Abort) {
  TLKTIFFDirWriter gps(Stream, Base, Abort);
  AddParamTags(gps, lkdGps, P);
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
  AddParamTags(Main, lkdMain, P);

  TLKTIFFDirWriter exif(Stream, Base, Abort);
  AddParamTags(exif, lkdExif, P);
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
