// TIFF tag reader of one directory, and the in-memory TIFF file editor.
#include "io/lktiffhandler.h"

#include <algorithm>
#include <cmath>
#include <cstring>
#include <set>

#include "core/lkbitmap.h"
#include "io/lumerakio.h"
#include "platform/atomicfile.h"

Integer lkgObjectsTIFFTag = 40101;

// ---------------------------------------------------------------------------
// TLKTIFTagsReader

TLKTIFTagsReader::TLKTIFTagsReader(const String& FileName, Integer ImageIndex)
    : FOwned(std::make_unique<TFileStream>(FileName, fmOpenRead)), FStream(FOwned.get()) {
  Load(ImageIndex);
}

TLKTIFTagsReader::TLKTIFTagsReader(TStream* Stream, Integer ImageIndex) : FStream(Stream) { Load(ImageIndex); }

TLKTIFTagsReader::TLKTIFTagsReader(const TLKTIFTagsReader& Reader, Word IFDTag) : FStream(Reader.FStream) {
  FEnv.Stream = FStream;
  FEnv.LittleEndian = Reader.FEnv.LittleEndian;
  const DWORD at = static_cast<DWORD>(Reader.GetInteger(IFDTag));
  if (FStream && at != 0) TIFFReadIFD(0, at, FEnv, FCount);
}

TLKTIFTagsReader::~TLKTIFTagsReader() = default;

void TLKTIFTagsReader::Load(Integer ImageIndex) {
  FEnv.Stream = FStream;
  if (!FStream) return;
  FStream->SetPosition(0);
  TIFFLoadTags(FStream, FCount, ImageIndex, FEnv);
}


// ---------------------------------------------------------------------------
// TLKTIFFHandler

namespace {

// Directories with more entries than this, and chains longer than this,
// are taken as damaged.
constexpr Integer kMaxEntries = 4096;
constexpr Integer kMaxPages = 65535;

bool IsDataTag(Word Code) { return Code == 273 || Code == 324 || Code == 513; }
Word PartnerOf(Word Code) { return Code == 273 ? 279 : Code == 324 ? 325 : 514; }
Integer ElementSize(Integer Type) { return Type >= 1 && Type <= 12 ? LKTagSize(static_cast<Word>(Type)) : 1; }

}  // namespace

Word TLKTIFFHandler::X16(Word V) const { return FBigEndian ? Word(V >> 8 | V << 8) : V; }
DWORD TLKTIFFHandler::X32(DWORD V) const {
  return FBigEndian ? (V >> 24) | ((V >> 8) & 0xFF00) | ((V << 8) & 0xFF0000) | (V << 24) : V;
}

const TLKTIFFHandler::TPage& TLKTIFFHandler::PageAt(Integer Page) const {
  if (Page < 0 || Page >= GetPagesCount()) throw EListError("List index out of bounds (" + std::to_string(Page) + ")");
  return FPages[static_cast<size_t>(Page)];
}
TLKTIFFHandler::TPage& TLKTIFFHandler::PageAt(Integer Page) {
  return const_cast<TPage&>(static_cast<const TLKTIFFHandler*>(this)->PageAt(Page));
}
TLKTIFFHandler::TTag& TLKTIFFHandler::TagAt(Integer Page, Integer Tag) {
  TPage& p = PageAt(Page);
  if (Tag < 0 || Tag >= static_cast<Integer>(p.size()))
    throw EListError("List index out of bounds (" + std::to_string(Tag) + ")");
  return p[static_cast<size_t>(Tag)];
}

// Element Index of a SHORT or LONG value (file byte order), as a number.
DWORD TLKTIFFHandler::ValueAsLong(const TTag& T, size_t Index) const {
  if (T.Type == 3 && (Index + 1) * 2 <= T.Value.size()) {
    Word w;
    std::memcpy(&w, &T.Value[Index * 2], 2);
    return X16(w);
  }
  if ((Index + 1) * 4 <= T.Value.size()) {
    DWORD d;
    std::memcpy(&d, &T.Value[Index * 4], 4);
    return X32(d);
  }
  return 0;
}

bool TLKTIFFHandler::ReadHeader(TStream* Stream) {
  Byte h[8];
  if (!Stream || Stream->Read(h, 8) != 8) return false;
  if (!((h[0] == 'I' && h[1] == 'I') || (h[0] == 'M' && h[1] == 'M'))) return false;
  FBigEndian = h[0] == 'M';
  DWORD first;
  std::memcpy(&first, h + 4, 4);
  Stream->SetPosition(X32(first));
  return true;
}

bool TLKTIFFHandler::ReadIFD(TStream* Stream, Integer Position) {
  const Int64 size = Stream->GetSize();
  std::set<Int64> seen;
  Integer at = Position;
  while (static_cast<Integer>(FPages.size()) < kMaxPages) {
    const Int64 own = Stream->GetPosition();
    if (!seen.insert(own).second) break;
    Word n16;
    if (Stream->Read(&n16, 2) != 2) break;
    const Integer n = X16(n16);
    if (n <= 0 || n > kMaxEntries || own + 2 + Int64{n} * 12 > size) break;
    std::vector<Byte> raw(static_cast<size_t>(n) * 12);
    Stream->ReadBuffer(raw.data(), static_cast<Int64>(raw.size()));
    DWORD next = 0;
    if (Stream->Read(&next, 4) == 4) next = X32(next);
    TPage page;
    for (Integer i = 0; i < n; ++i) {
      const Byte* e = &raw[static_cast<size_t>(i) * 12];
      TTag t;
      Word w;
      DWORD d;
      std::memcpy(&w, e, 2), t.Code = X16(w);
      std::memcpy(&w, e + 2, 2), t.Type = X16(w);
      std::memcpy(&d, e + 4, 4), t.Count = X32(d);
      const Int64 bytes = Int64{t.Count} * ElementSize(t.Type);
      if (bytes <= 4) {
        t.Value.assign(e + 8, e + 12);
      } else {
        if (bytes >= size) continue;  // more than the whole stream holds
        std::memcpy(&d, e + 8, 4);
        const Int64 off = X32(d);
        if (off + bytes > size) continue;
        t.Value.resize(static_cast<size_t>(bytes));
        Stream->SetPosition(off);
        Stream->ReadBuffer(t.Value.data(), bytes);
      }
      page.push_back(std::move(t));
    }
    // Image data: each element of 273, 324 and 513 refers to a block whose
    // length is the same element of the partner tag.
    for (TTag& t : page) {
      if (!IsDataTag(t.Code)) continue;
      const TTag* partner = nullptr;
      for (const TTag& p : page)
        if (p.Code == PartnerOf(t.Code)) partner = &p;
      for (DWORD k = 0; k < t.Count; ++k) {
        const Int64 off = ValueAsLong(t, k);
        Int64 len = partner ? ValueAsLong(*partner, k) : 0;
        std::vector<Byte> block;
        if (off < size && len > 0) {
          len = std::min(len, size - off);
          block.resize(static_cast<size_t>(len));
          Stream->SetPosition(off);
          Stream->ReadBuffer(block.data(), len);
        }
        t.Blocks.push_back(std::move(block));
      }
      t.Type = 4;
      t.Value.assign(std::max<size_t>(4, t.Count * 4u), 0);
    }
    // Old-style JPEG pages keep the JPEG stream alone.
    auto find = [&](Word c) {
      for (size_t i = 0; i < page.size(); ++i)
        if (page[i].Code == c) return static_cast<Integer>(i);
      return -1;
    };
    const Integer comp = find(259);
    if (comp >= 0 && ValueAsLong(page[static_cast<size_t>(comp)], 0) == 6 && find(273) >= 0 && find(513) >= 0)
      page.erase(std::remove_if(page.begin(), page.end(),
                                [](const TTag& t) { return t.Code == 273 || t.Code == 519 || t.Code == 520 || t.Code == 521; }),
                 page.end());
    std::stable_sort(page.begin(), page.end(), [](const TTag& a, const TTag& b) { return a.Code < b.Code; });
    FPages.insert(FPages.begin() + std::min<Integer>(at, GetPagesCount()), std::move(page));
    ++at;
    if (next == 0 || next == own || next >= size) break;
    Stream->SetPosition(next);
  }
  return true;
}

bool TLKTIFFHandler::InsertFrom(TStream* Stream, Integer Position) {
  if (!Stream) return false;
  const bool before = FBigEndian;
  const bool hadPages = !FPages.empty();
  if (!ReadHeader(Stream)) return false;
  // One byte order for every page: pages of the other order are refused.
  if (hadPages && FBigEndian != before) {
    FBigEndian = before;
    return false;
  }
  return ReadIFD(Stream, Position);
}

bool TLKTIFFHandler::ReadStream(TStream* Stream) {
  FreeData();
  return InsertFrom(Stream, 0);
}

bool TLKTIFFHandler::ReadFile(const String& FileName) {
  try {
    TFileStream f(FileName, fmOpenRead);
    return ReadStream(&f);
  } catch (const Exception&) {
    return false;
  }
}

bool TLKTIFFHandler::InsertTIFFStream(TStream* Stream, Integer Position) { return InsertFrom(Stream, Position); }

bool TLKTIFFHandler::InsertTIFFFile(const String& FileName, Integer Position) {
  try {
    TFileStream f(FileName, fmOpenRead);
    return InsertFrom(&f, Position);
  } catch (const Exception&) {
    return false;
  }
}

bool TLKTIFFHandler::InsertPageAsStream(TStream* Stream, Integer Position) {
  if (!Stream) return false;
  TLumerakIO io;
  io.LoadFromStream(Stream);
  if (io.GetAborted() || io.GetLKBitmap()->IsEmpty()) return false;
  return InsertPageAsImage(&io, Position);
}

bool TLKTIFFHandler::InsertPageAsFile(const String& FileName, Integer Position) {
  try {
    TFileStream f(FileName, fmOpenRead);
    return InsertPageAsStream(&f, Position);
  } catch (const Exception&) {
    return false;
  }
}

bool TLKTIFFHandler::InsertPageAsImage(TObject* Source, Integer Position) {
  auto* io = dynamic_cast<TLumerakIO*>(Source);
  if (!io) return false;
  TMemoryStream tiff;
  tiff.SetSize(3145728);
  tiff.SetSize(0);
  io->SaveToStreamTIFF(&tiff);
  if (io->GetAborted()) return false;
  tiff.SetPosition(0);
  return InsertFrom(&tiff, Position);
}

void TLKTIFFHandler::DeletePage(Integer Page) {
  PageAt(Page);
  FPages.erase(FPages.begin() + Page);
}

void TLKTIFFHandler::DeleteTag(Integer Page, Integer Tag) {
  if (Tag < 0) return;
  TagAt(Page, Tag);
  TPage& p = PageAt(Page);
  p.erase(p.begin() + Tag);
}

void TLKTIFFHandler::SimpleDeleteTag(Integer Page, Integer Tag) { DeleteTag(Page, Tag); }

Integer TLKTIFFHandler::FindTag(Integer Page, Word Code) const {
  const TPage& p = PageAt(Page);
  for (size_t i = 0; i < p.size(); ++i)
    if (p[i].Code == Code) return static_cast<Integer>(i);
  return -1;
}

void TLKTIFFHandler::ChangeTagCode(Integer Page, Integer Tag, Word Code) { TagAt(Page, Tag).Code = Code; }

Integer TLKTIFFHandler::GetTagsCount(Integer Page) const {
  return Page >= 0 && Page < GetPagesCount() ? static_cast<Integer>(FPages[static_cast<size_t>(Page)].size()) : 0;
}

Integer TLKTIFFHandler::GetTagCode(Integer Page, Integer Tag) const {
  if (Page < 0 || Page >= GetPagesCount()) return -1;
  return const_cast<TLKTIFFHandler*>(this)->TagAt(Page, Tag).Code;
}
Integer TLKTIFFHandler::GetTagType(Integer Page, Integer Tag) const {
  if (Page < 0 || Page >= GetPagesCount()) return 0;
  return const_cast<TLKTIFFHandler*>(this)->TagAt(Page, Tag).Type;
}
Integer TLKTIFFHandler::GetTagLength(Integer Page, Integer Tag) const {
  if (Page < 0 || Page >= GetPagesCount()) return 0;
  return static_cast<Integer>(const_cast<TLKTIFFHandler*>(this)->TagAt(Page, Tag).Count);
}
Integer TLKTIFFHandler::GetTagLengthInBytes(Integer Page, Integer Tag) const {
  if (Page < 0 || Page >= GetPagesCount()) return 0;
  const TTag& t = const_cast<TLKTIFFHandler*>(this)->TagAt(Page, Tag);
  return static_cast<Integer>(t.Count * static_cast<DWORD>(ElementSize(t.Type)));
}

Byte* TLKTIFFHandler::GetValueRAWEx(Integer Page, Integer Tag, Integer Index, Integer& Type) {
  TTag& t = TagAt(Page, Tag);
  Type = t.Type;
  const size_t at = static_cast<size_t>(std::max(Index, 0)) * static_cast<size_t>(ElementSize(t.Type));
  if (Index < 0 || at >= t.Value.size()) return nullptr;
  return t.Value.data() + at;
}

Byte* TLKTIFFHandler::GetValueRAW(Integer Page, Integer Tag, Integer Index) {
  Integer type = 0;
  return GetValueRAWEx(Page, Tag, Index, type);
}

Integer TLKTIFFHandler::GetIntegerByCode(Integer Page, Word Code, Integer Index) {
  const Integer t = FindTag(Page, Code);
  return t < 0 ? 0 : GetInteger(Page, t, Index);
}

Integer TLKTIFFHandler::GetInteger(Integer Page, Integer Tag, Integer Index) {
  Integer type = 0;
  const Byte* p = GetValueRAWEx(Page, Tag, Index, type);
  if (!p) return 0;
  Word w;
  DWORD d;
  switch (type) {
    case 1: case 2: case 7: return p[0];
    case 6: return static_cast<signed char>(p[0]);
    case 3: case 8: std::memcpy(&w, p, 2); return X16(w);
    case 4: case 9: std::memcpy(&d, p, 4); return static_cast<Integer>(X32(d));
    default: return 0;
  }
}

double TLKTIFFHandler::GetFloat(Integer Page, Integer Tag, Integer Index) {
  Integer type = 0;
  const Byte* p = GetValueRAWEx(Page, Tag, Index, type);
  if (!p) return 0;
  DWORD n, d;
  switch (type) {
    case 5:
    case 10: {
      std::memcpy(&n, p, 4);
      std::memcpy(&d, p + 4, 4);
      n = X32(n), d = X32(d);
      if (type == 5) return double(n) / (d ? d : 1);
      return double(static_cast<Integer>(n)) / (d ? static_cast<Integer>(d) : 1);
    }
    case 11: {
      float f;
      std::memcpy(&f, p, 4);
      return f;
    }
    case 12: {
      double v;
      std::memcpy(&v, p, 8);
      return v;
    }
    default: return 0;
  }
}

String TLKTIFFHandler::GetString(Integer Page, Integer Tag) {
  if (Tag < 0) return String();
  const TTag& t = TagAt(Page, Tag);
  const size_t n = std::min<size_t>(t.Count * static_cast<size_t>(ElementSize(t.Type)), t.Value.size());
  return String(reinterpret_cast<const char*>(t.Value.data()), n);
}

TLKTagValue TLKTIFFHandler::GetValue(Integer Page, Integer Tag, Integer Index) {
  switch (TagAt(Page, Tag).Type) {
    case 2: return GetString(Page, Tag);
    case 5: case 10: case 11: case 12: return GetFloat(Page, Tag, Index);
    case 1: case 3: case 4: case 6: case 7: case 8: case 9: return GetInteger(Page, Tag, Index);
    default: return std::monostate{};
  }
}

void TLKTIFFHandler::SetValueRAW(Integer Page, Word Code, Integer Type, Integer Count, const void* Data) {
  DeleteTag(Page, FindTag(Page, Code));
  TTag t;
  t.Code = Code;
  t.Type = static_cast<Word>(Type);
  t.Count = static_cast<DWORD>(std::max(Count, 0));
  const size_t bytes = t.Count * static_cast<size_t>(ElementSize(Type));
  t.Value.assign(std::max<size_t>(bytes, 4), 0);
  if (Data && bytes) std::memcpy(t.Value.data(), Data, bytes);
  if (IsDataTag(Code)) t.Blocks.resize(t.Count);
  PageAt(Page).push_back(std::move(t));
}

void TLKTIFFHandler::SetValue(Integer Page, Word Code, Integer Type, const TLKTagValue& Value) {
  auto asInt = [&]() -> Int64 {
    if (auto* i = std::get_if<Integer>(&Value)) return *i;
    if (auto* d = std::get_if<double>(&Value)) return static_cast<Int64>(*d);
    if (auto* s = std::get_if<String>(&Value)) return std::atoll(s->c_str());
    return 0;
  };
  auto asReal = [&]() -> double {
    if (auto* i = std::get_if<Integer>(&Value)) return *i;
    if (auto* d = std::get_if<double>(&Value)) return *d;
    if (auto* s = std::get_if<String>(&Value)) return std::atof(s->c_str());
    return 0;
  };
  Byte buf[8] = {};
  switch (Type) {
    case 1:
    case 6:
      buf[0] = Byte(asInt());
      return SetValueRAW(Page, Code, Type, 1, buf);
    case 2: {
      String s;
      if (auto* p = std::get_if<String>(&Value)) s = *p;
      else if (auto* i = std::get_if<Integer>(&Value)) s = std::to_string(*i);
      else if (auto* d = std::get_if<double>(&Value)) s = std::to_string(*d);
      std::vector<Byte> text(s.begin(), s.end());
      text.push_back(0);
      return SetValueRAW(Page, Code, 2, static_cast<Integer>(text.size()), text.data());
    }
    case 3:
    case 8: {
      const Word w = X16(Word(asInt()));
      std::memcpy(buf, &w, 2);
      return SetValueRAW(Page, Code, Type, 1, buf);
    }
    case 4:
    case 9: {
      const DWORD d = X32(DWORD(asInt()));
      std::memcpy(buf, &d, 4);
      return SetValueRAW(Page, Code, Type, 1, buf);
    }
    case 5:
    case 10: {
      const DWORD n = X32(static_cast<DWORD>(static_cast<Integer>(std::trunc(asReal() * 10000)))), d = X32(10000);
      std::memcpy(buf, &n, 4);
      std::memcpy(buf + 4, &d, 4);
      return SetValueRAW(Page, Code, Type, 1, buf);
    }
    case 11: {
      const float f = static_cast<float>(asReal());
      std::memcpy(buf, &f, 4);
      return SetValueRAW(Page, Code, 11, 1, buf);
    }
    case 12: {
      const double v = asReal();
      std::memcpy(buf, &v, 8);
      return SetValueRAW(Page, Code, 12, 1, buf);
    }
    default:
      // Types without a single-value form get an entry without values.
      return SetValueRAW(Page, Code, Type, 0, nullptr);
  }
}

void TLKTIFFHandler::SortTags(Integer Page) {
  TPage& p = PageAt(Page);
  std::stable_sort(p.begin(), p.end(), [](const TTag& a, const TTag& b) { return a.Code < b.Code; });
}

void TLKTIFFHandler::WriteFile(const String& FileName) {
  WriteFileAtomically(FileName, [this](TStream* Stream) { WriteStream(Stream); });
}

void TLKTIFFHandler::WriteStream(TStream* Stream) {
  const Int64 start = Stream->GetPosition();
  auto put16 = [&](Word v) {
    v = X16(v);
    Stream->WriteBuffer(&v, 2);
  };
  auto put32 = [&](DWORD v) {
    v = X32(v);
    Stream->WriteBuffer(&v, 4);
  };
  Stream->WriteBuffer(FBigEndian ? "MM" : "II", 2);
  put16(42);
  put32(static_cast<DWORD>(FPages.empty() ? 0 : start + 8));
  for (size_t pi = 0; pi < FPages.size(); ++pi) {
    TPage& page = FPages[pi];
    SortTags(static_cast<Integer>(pi));
    auto has = [&](Word c) {
      return std::any_of(page.begin(), page.end(), [&](const TTag& t) { return t.Code == c; });
    };
    const bool jif = has(513);
    std::vector<TTag> entries(page.begin(), page.end());
    if (jif) entries.erase(std::remove_if(entries.begin(), entries.end(), [](const TTag& t) { return t.Code == 273; }),
                           entries.end());
    const Integer n = static_cast<Integer>(entries.size()) + (jif ? 1 : 0);
    put16(static_cast<Word>(n));
    const Int64 slots = Stream->GetPosition();
    Int64 data = slots + 12 * Int64{n} + 4;
    DWORD stripAt = 0;
    auto partnerLen = [&](Word code, size_t k) -> DWORD {
      for (const TTag& p : page)
        if (p.Code == PartnerOf(code)) return ValueAsLong(p, k);
      return 0;
    };
    auto writeEntry = [&](Int64 slot, Word code, Word type, DWORD count, const Byte value[4]) {
      Stream->SetPosition(slot);
      put16(code);
      put16(type);
      put32(count);
      Stream->WriteBuffer(value, 4);
    };
    for (size_t i = 0; i < entries.size(); ++i) {
      const TTag& t = entries[i];
      Stream->SetPosition(data);
      std::vector<Byte> value(t.Value);
      if (IsDataTag(t.Code)) {
        value.assign(std::max<size_t>(4, t.Count * 4u), 0);
        for (size_t k = 0; k < t.Blocks.size() && k < t.Count; ++k) {
          const DWORD at = static_cast<DWORD>(Stream->GetPosition());
          const DWORD len = std::min<DWORD>(partnerLen(t.Code, k), static_cast<DWORD>(t.Blocks[k].size()));
          if (len) Stream->WriteBuffer(t.Blocks[k].data(), len);
          const DWORD x = X32(at);
          std::memcpy(&value[k * 4], &x, 4);
          if (t.Code == 513 && k == 0) {
            const auto& b = t.Blocks[0];
            DWORD sos = static_cast<DWORD>(b.size());
            for (size_t j = 0; j + 1 < b.size(); ++j)
              if (b[j] == 0xFF && b[j + 1] == 0xDA) {
                sos = static_cast<DWORD>(j);
                break;
              }
            stripAt = at + sos;
          }
        }
      }
      Byte field[4] = {};
      const size_t bytes = t.Count * static_cast<size_t>(ElementSize(t.Type));
      if (bytes > 4) {
        const DWORD at = X32(static_cast<DWORD>(Stream->GetPosition()));
        Stream->WriteBuffer(value.data(), static_cast<Int64>(bytes));
        std::memcpy(field, &at, 4);
      } else {
        std::memcpy(field, value.data(), std::min<size_t>(4, value.size()));
      }
      data = Stream->GetPosition();
      writeEntry(slots + 12 * static_cast<Int64>(i), t.Code, t.Type, t.Count, field);
    }
    if (jif) {
      // The strip of an old-style JPEG page starts at the scan inside the
      // stream just written; the entry goes last.
      const DWORD v = X32(stripAt);
      Byte field[4];
      std::memcpy(field, &v, 4);
      writeEntry(slots + 12 * static_cast<Int64>(entries.size()), 273, 4, 1, field);
    }
    Stream->SetPosition(slots + 12 * Int64{n});
    put32(pi + 1 < FPages.size() ? static_cast<DWORD>(data) : 0);
    Stream->SetPosition(data);
  }
}

void TLKTIFFHandler::SaveTagToFile(Integer Page, Integer Tag, const String& FileName) {
  if (Tag < 0) return;
  const TTag& t = TagAt(Page, Tag);
  WriteFileAtomically(FileName, [&](TStream* f) {
    if (IsDataTag(t.Code)) {
      for (const auto& b : t.Blocks)
        if (!b.empty()) f->WriteBuffer(b.data(), static_cast<Int64>(b.size()));
      return;
    }
    const size_t bytes = std::min<size_t>(t.Count * static_cast<size_t>(ElementSize(t.Type)), t.Value.size());
    if (bytes) f->WriteBuffer(t.Value.data(), static_cast<Int64>(bytes));
  });
}

String TLKTIFFHandler::GetTagDescription(Integer Page, Integer Tag) const {
  static const std::pair<Word, const char*> kNames[] = {
      {254, "NewSubfileType"}, {255, "SubfileType"}, {256, "ImageWidth"}, {257, "ImageLength"},
      {258, "BitsPerSample"}, {259, "Compression"}, {262, "PhotometricInterpretation"}, {263, "Thresholding"},
      {264, "CellWidth"}, {265, "CellHeight"}, {266, "FillOrder"}, {269, "DocumentName"},
      {270, "ImageDescription"}, {271, "Make"}, {272, "Model"}, {273, "StripOffsets"}, {274, "Orientation"},
      {277, "SamplesPerPixel"}, {278, "RowsPerStrip"}, {279, "StripByteCounts"}, {280, "MinSampleValue"},
      {281, "MaxSampleValue"}, {282, "XResolution"}, {283, "YResolution"}, {284, "PlanarConfiguration"},
      {285, "PageName"}, {286, "XPosition"}, {287, "YPosition"}, {288, "FreeOffsets"}, {289, "FreeByteCounts"},
      {290, "GratResponseUnit"}, {291, "GrayResponseCurve"}, {292, "T4Options"}, {293, "T6Options"},
      {296, "ResolutionUnit"}, {297, "PageNumber"}, {301, "TransferFunction"}, {305, "Software"},
      {306, "DateTime"}, {315, "Artist"}, {316, "HostComputer"}, {317, "Predictor"}, {318, "WhitePoint"},
      {319, "PrimaryChromaticities"}, {320, "ColorMap"}, {321, "HalftoneHints"}, {322, "TileWidth"},
      {323, "TileLength"}, {324, "TileOffsets"}, {325, "TileByteCounts"}, {326, "BadFaxLines"},
      {327, "CleanFaxData"}, {328, "ConsecutiveBadFaxLines"}, {330, "SubIFDs"}, {332, "InkSet"},
      {333, "InkNames"}, {334, "NumberOfInks"}, {336, "DotRange"}, {337, "TargetPrinter"},
      {338, "ExtraSamples"}, {339, "SampleFormat"}, {340, "SMinSampleValue"}, {341, "SMaxSampleValue"},
      {342, "TransferRange"}, {347, "JPEGTables"}, {512, "JPEGProc"}, {513, "JPEGInterchangeFormat"},
      {514, "JPEGInterchangeFormatLength"}, {515, "JPEGRestartInterval"}, {517, "JPEGLosslessPredictors"},
      {518, "JPEGPointTransforms"}, {519, "JPEGQTables"}, {520, "JPEGDCTables"}, {521, "JPEGACTables"},
      {529, "YCbCrCoefficients"}, {530, "YCbCrSubSampling"}, {531, "YCbCrPositioning"},
      {532, "ReferenceBlackWhite"}, {700, "XMP"}, {32932, "Imaging Wang annot."}, {33432, "Copyright"},
      {33723, "IPTC info"}, {34377, "PhotoshopTags"}, {34665, "Sub EXIF"}, {34675, "ICC Color Profile"},
      {34853, "GPS IFD"}, {37398, "EP Standard"}, {40965, "Interoperability IFD"}, {50706, "DNGVersion"}};
  const Integer code = GetTagCode(Page, Tag);
  for (const auto& [c, name] : kNames)
    if (c == code) return name;
  return "Unknown";
}
