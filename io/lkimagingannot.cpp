// The tag-32932 annotation layout: an 8-byte header (a zero and the
// integer-size word), then blocks that each start with an int32 type and an
// int32 length word. Type 5 starts a new mark (164 attribute bytes); types 2
// and 6 are named data blocks of the default set and of the current mark.
// Everything read is checked against the bytes that remain, so a damaged
// or hostile tag never reads past its end or allocates more than it holds.
#include "io/lkimagingannot.h"

#include <algorithm>
#include <bit>
#include <cstring>
#include <limits>

#include "core/lkbitmap.h"
#include "platform/sysutils.h"
#include "core/lkscreen.h"

namespace {

constexpr Integer kBlockDefaultNamed = 2;
constexpr Integer kBlockMark = 5;
constexpr Integer kBlockMarkNamed = 6;
constexpr Integer kNamedLengthWord = 12;
constexpr std::size_t kAttrSize = sizeof(TLKAnnotMarkAttributes);
constexpr std::size_t kResolutionRecordSize = 14 * 4;
constexpr std::size_t kTextHeaderSize = 4 * 4;

Integer ReadInt(const Byte* p) {
  Integer v;
  std::memcpy(&v, p, 4);
  return v;
}

Word ReadWord(const Byte* p) {
  Word v;
  std::memcpy(&v, p, 2);
  return v;
}

// What the named blocks of one set (the defaults, or the current mark)
// delivered. The resolution record and the file-name, group and index texts
// are not kept: saving writes fixed values for them.
struct TNamedStore {
  bool HasPoints = false;
  std::vector<TPoint> Points;
  bool HasPicture = false;
  std::vector<Byte> Picture;
  bool HasText = false;
  Integer CreationScale = 0;
  String Text;

  void Clear() { *this = TNamedStore(); }
};

// Reads the data of one named block into Store. Data holds exactly the
// block's Size bytes. Returns false when the contents do not fit the size
// the block gives (the block is then dropped).
bool ReadNamedData(const String& Name, const Byte* Data, std::size_t Size, Integer PendingType, TNamedStore& Store) {
  if (Name == "OiAnoDat") {
    if (PendingType == lkmtLine || PendingType == lkmtFreehand) {
      if (Size < 8) return false;
      const Integer count = ReadInt(Data + 4);
      if (count < 0 || static_cast<std::size_t>(count) > (Size - 8) / 8) return false;
      Store.Points.resize(static_cast<std::size_t>(count));
      for (std::size_t i = 0; i < Store.Points.size(); ++i) {
        Store.Points[i].X = ReadInt(Data + 8 + 8 * i);
        Store.Points[i].Y = ReadInt(Data + 12 + 8 * i);
      }
      Store.HasPoints = true;
    } else if (PendingType == lkmtImage || PendingType == 2 || PendingType == 12) {
      // Rotation, scale and resolutions: checked for size, then dropped.
      if (Size < kResolutionRecordSize) return false;
    }
  } else if (Name == "OiDIB") {
    Store.Picture.assign(Data, Data + Size);
    Store.HasPicture = true;
  } else if (Name == "OiAnText") {
    if (Size < kTextHeaderSize) return false;
    const Integer length = ReadInt(Data + 12);
    const std::size_t avail = Size - kTextHeaderSize;
    if (length < 0 || static_cast<std::size_t>(length) > avail) return false;
    const Byte* text = Data + kTextHeaderSize;
    const std::size_t n = std::find(text, text + length, Byte{0}) - text;
    Store.CreationScale = ReadInt(Data + 8);
    Store.Text.assign(reinterpret_cast<const char*>(text), n);
    Store.HasText = true;
  }
  // "OiFilNam", "OiGroup", "OiIndex" and unknown names: read and dropped.
  return true;
}

// ---- packed DIBs of image marks

// Decodes a packed DIB (information header, colour table, rows) of Size
// bytes into a new bitmap: lk1g for 1 bit per pixel, lk24RGB otherwise.
// Uncompressed 1, 4, 8, 16, 24 and 32 bits and bit-field 16 and 32 bits are
// read, bottom-up or top-down. Anything else, or a DIB whose header, table or
// rows do not fit Size, gives null.
std::unique_ptr<TLKBitmap> PackedDIBToBitmap(const Byte* D, std::size_t Size) {
  if (Size < 40) return nullptr;
  const Integer headerSize = ReadInt(D);
  const Integer width = ReadInt(D + 4);
  const Integer height = ReadInt(D + 8);
  const Integer bits = ReadWord(D + 14);
  const Integer compression = ReadInt(D + 16);
  const Integer colorsUsed = ReadInt(D + 32);
  if (headerSize < 40 || static_cast<std::size_t>(headerSize) > Size) return nullptr;
  if (width <= 0 || height == 0 || height == std::numeric_limits<Integer>::min()) return nullptr;
  const bool bitFields = compression == 3 && (bits == 16 || bits == 32);
  if (compression != 0 && !bitFields) return nullptr;
  if (bits != 1 && bits != 4 && bits != 8 && bits != 16 && bits != 24 && bits != 32) return nullptr;

  std::size_t tableEntries = 0;
  if (bits <= 8) {
    const std::size_t full = std::size_t{1} << bits;
    if (colorsUsed < 0 || static_cast<std::size_t>(colorsUsed) > full) return nullptr;
    tableEntries = colorsUsed ? static_cast<std::size_t>(colorsUsed) : full;
  }
  std::size_t offset = static_cast<std::size_t>(headerSize) + 4 * tableEntries;
  Cardinal masks[3] = {0x7C00, 0x03E0, 0x001F};
  if (bitFields) {
    if (offset + 12 > Size) return nullptr;
    for (int i = 0; i < 3; ++i) masks[i] = static_cast<Cardinal>(ReadInt(D + offset + 4 * i));
    offset += 12;
  }
  const bool topDown = height < 0;
  const Integer h = topDown ? -height : height;
  const std::uint64_t rowLen = (static_cast<std::uint64_t>(bits) * static_cast<std::uint64_t>(width) + 31) / 32 * 4;
  // Compared by division: rowLen x h can pass 64 bits for hostile headers.
  if (offset > Size || rowLen > Size - offset || static_cast<std::uint64_t>(h) > (Size - offset) / rowLen)
    return nullptr;

  const Byte* table = D + headerSize;
  auto tableColour = [&](std::size_t index) {
    if (index >= tableEntries) return TRGB{0, 0, 0};
    return TRGB{table[4 * index], table[4 * index + 1], table[4 * index + 2]};
  };
  // A mask's field moved down to bit 0 and widened or narrowed to 8 bits.
  auto channel = [](Cardinal pixel, Cardinal mask) -> Byte {
    if (mask == 0) return 0;
    const int shift = std::countr_zero(mask);
    const int width = std::popcount(mask >> shift);
    const Cardinal v = (pixel & mask) >> shift;
    return static_cast<Byte>(width >= 8 ? v >> (width - 8) : v << (8 - width));
  };

  auto bmp = std::make_unique<TLKBitmap>(width, h, bits == 1 ? lk1g : lk24RGB);
  for (Integer row = 0; row < h; ++row) {
    const Byte* src = D + offset + rowLen * static_cast<std::uint64_t>(row);
    Byte* dst = static_cast<Byte*>(bmp->GetScanLine(topDown ? row : h - 1 - row));
    TRGB* rgb = reinterpret_cast<TRGB*>(dst);
    switch (bits) {
      case 1:
        std::memcpy(dst, src, (static_cast<std::size_t>(width) + 7) / 8);
        break;
      case 4:
        for (Integer x = 0; x < width; ++x) rgb[x] = tableColour((src[x / 2] >> (x % 2 ? 0 : 4)) & 0x0F);
        break;
      case 8:
        for (Integer x = 0; x < width; ++x) rgb[x] = tableColour(src[x]);
        break;
      case 16:
        for (Integer x = 0; x < width; ++x) {
          const Cardinal p = ReadWord(src + 2 * static_cast<std::size_t>(x));
          rgb[x] = TRGB{channel(p, masks[2]), channel(p, masks[1]), channel(p, masks[0])};
        }
        break;
      case 24:
        std::memcpy(dst, src, 3 * static_cast<std::size_t>(width));
        break;
      case 32:
        for (Integer x = 0; x < width; ++x) {
          const Byte* p = src + 4 * static_cast<std::size_t>(x);
          rgb[x] = TRGB{p[0], p[1], p[2]};
        }
        break;
    }
  }
  bmp->FreeAllMaps();
  return bmp;
}

// Encodes the whole bitmap as a packed DIB: a 40-byte header, the colour
// table (two entries for lk1g, 256 for lk8p and lk8g), the rows bottom-up
// padded to 4 bytes, and four spare bytes. Formats other than lk1g, lk8p,
// lk8g and lk24RGB are written from a 24-bit copy.
std::vector<Byte> BitmapToPackedDIB(TLKBitmap* Bitmap) {
  const TLKPixelFormat format = Bitmap->GetPixelFormat();
  if (format != lk1g && format != lk8p && format != lk8g && format != lk24RGB) {
    TLKBitmap copy;
    copy.Assign(Bitmap);
    copy.ConvertToPixelFormat(lk24RGB);
    return BitmapToPackedDIB(&copy);
  }
  const Integer bits = format == lk1g ? 1 : format == lk24RGB ? 24 : 8;
  const Integer w = Bitmap->GetWidth();
  const Integer h = Bitmap->GetHeight();
  const std::size_t tableEntries = bits == 1 ? 2 : bits == 8 ? 256 : 0;
  const std::size_t rowLen = (static_cast<std::size_t>(bits) * static_cast<std::size_t>(w) + 31) / 32 * 4;
  const std::size_t rowBytes = (static_cast<std::size_t>(bits) * static_cast<std::size_t>(w) + 7) / 8;
  std::vector<Byte> dib(40 + 4 * tableEntries + rowLen * static_cast<std::size_t>(h) + 4, 0);

  auto put = [&](std::size_t at, Integer v) { std::memcpy(dib.data() + at, &v, 4); };
  put(0, 40);
  put(4, w);
  put(8, h);
  dib[12] = 1;  // planes
  dib[14] = static_cast<Byte>(bits);
  Byte* table = dib.data() + 40;
  for (std::size_t i = 0; i < tableEntries; ++i) {
    Byte* e = table + 4 * i;
    if (bits == 1) {
      std::memset(e, i ? 255 : 0, 4);
    } else if (format == lk8g) {
      e[0] = e[1] = e[2] = static_cast<Byte>(i);
    } else {
      const TRGB c = Bitmap->GetPalette(static_cast<Integer>(i));
      e[0] = c.b;
      e[1] = c.g;
      e[2] = c.r;
    }
  }
  Byte* rows = table + 4 * tableEntries;
  for (Integer y = 0; y < h; ++y)
    std::memcpy(rows + rowLen * static_cast<std::size_t>(h - 1 - y), Bitmap->GetScanLine(y), rowBytes);
  Bitmap->FreeAllMaps();
  return dib;
}

// ---- writing

class TTagWriter {
 public:
  explicit TTagWriter(std::vector<Byte>& Out) : Out_(Out) {}
  void Int(Integer v) {
    const Byte* p = reinterpret_cast<const Byte*>(&v);
    Out_.insert(Out_.end(), p, p + 4);
  }
  void Bytes(const void* p, std::size_t n) {
    const Byte* b = static_cast<const Byte*>(p);
    Out_.insert(Out_.end(), b, b + n);
  }
  void Text(const String& s) {
    Bytes(s.data(), s.size());
    Out_.push_back(0);
  }
  /// A named block: type, length word 12, the name in 8 bytes, the data
  /// size (patched in once Data has written the data), the data.
  template <typename F>
  void Named(Integer BlockType, const char* Name, F&& Data) {
    Int(BlockType);
    Int(kNamedLengthWord);
    char name[8] = {};
    std::memcpy(name, Name, std::min<std::size_t>(std::strlen(Name), 8));
    Bytes(name, 8);
    const std::size_t sizeAt = Out_.size();
    Int(0);
    Data();
    const std::size_t size = Out_.size() - sizeAt - 4;
    if (size > static_cast<std::size_t>(std::numeric_limits<Integer>::max()))
      throw EInvalidGraphic("Annotation block too large");
    const Integer s = static_cast<Integer>(size);
    std::memcpy(Out_.data() + sizeAt, &s, 4);
  }
  void NamedText(Integer BlockType, const char* Name, const String& Value) {
    Named(BlockType, Name, [&] { Text(Value); });
  }

 private:
  std::vector<Byte>& Out_;
};

// Creation scale written with a text: the screen's points-to-pixels factor
// in thousandths (750 at 96 dpi).
Integer ScreenCreationScale() { return gSystemDPIY > 0 ? 72000 / gSystemDPIY : 1000; }

}  // namespace

// ---------------------------------------------------------------------------

TLKImagingObject::TLKImagingObject() = default;
TLKImagingObject::~TLKImagingObject() = default;

void TLKImagingObject::Assign(TLKImagingObject* Source) {
  if (!Source || Source == this) return;
  Attributes = Source->Attributes;
  Points = Source->Points;
  Text = Source->Text;
  if (Source->Picture) {
    auto copy = std::make_unique<TLKBitmap>();
    copy->Assign(Source->Picture.get());
    Picture = std::move(copy);
  } else {
    Picture.reset();
  }
}

// ---------------------------------------------------------------------------

TLKImagingAnnot::TLKImagingAnnot(TIOParamsVals* Parent) : FParent(Parent) {}

TLKImagingAnnot::~TLKImagingAnnot() = default;

void TLKImagingAnnot::Clear() { FObjects.clear(); }

TLKImagingObject* TLKImagingAnnot::GetObject(Integer Index) const {
  if (Index < 0 || Index >= GetObjectsCount())
    throw EListError("List index out of bounds (" + IntToStr(Index) + ")");
  return FObjects[static_cast<std::size_t>(Index)].get();
}

void TLKImagingAnnot::Assign(TLKImagingAnnot* Source) {
  if (!Source || Source == this) return;
  std::vector<std::unique_ptr<TLKImagingObject>> copies;
  copies.reserve(Source->FObjects.size());
  for (const auto& o : Source->FObjects) {
    auto c = std::make_unique<TLKImagingObject>();
    c->Assign(o.get());
    copies.push_back(std::move(c));
  }
  FObjects = std::move(copies);
}

bool TLKImagingAnnot::LoadFromStandardBuffer(const void* Buffer, Integer Length) {
  if (!Buffer || Length == 0) return true;
  if (Length < 8) return false;
  const Byte* buf = static_cast<const Byte*>(Buffer);
  const std::size_t len = static_cast<std::size_t>(Length);
  const bool sizeWordIsLong = ReadInt(buf + 4) == 0;  // data sizes then take 8 bytes

  TLKAnnotMarkAttributes pending{};
  TNamedStore defaults, current;
  bool intact = true;

  auto finish = [&] {
    if (pending.MarkType < 1) return;
    auto obj = std::make_unique<TLKImagingObject>();
    obj->Attributes = pending;
    const Integer type = pending.MarkType;
    if (type == lkmtImage && current.HasPicture)
      obj->Picture = PackedDIBToBitmap(current.Picture.data(), current.Picture.size());
    if ((type == lkmtLine || type == lkmtFreehand) && current.HasPoints) obj->Points = current.Points;
    if (type >= lkmtTextFirst && type <= lkmtNote && current.HasText) {
      obj->Text = current.Text;
      // Heights are stored for the screen the text was made on; a scale of
      // 0 (or an unknown screen) keeps the height as it is.
      if (current.CreationScale != 0 && gSystemDPIY != 0) {
        const double h = 72000.0 / current.CreationScale * obj->Attributes.Font.Height / gSystemDPIY;
        obj->Attributes.Font.Height = LKRound(h);
      }
    }
    FObjects.push_back(std::move(obj));
  };

  std::size_t pos = 8;
  while (pos < len) {
    if (len - pos < 8) {
      intact = false;
      break;
    }
    const Integer type = ReadInt(buf + pos);
    pos += 8;
    if (type == kBlockDefaultNamed || type == kBlockMarkNamed) {
      const std::size_t head = sizeWordIsLong ? 16 : 12;
      if (len - pos < head) {
        intact = false;
        break;
      }
      const char* rawName = reinterpret_cast<const char*>(buf + pos);
      const String name(rawName, std::find(rawName, rawName + 8, '\0'));
      const Integer size = ReadInt(buf + pos + 8);
      pos += head;
      if (size < 0 || static_cast<std::size_t>(size) > len - pos) {
        intact = false;
        break;
      }
      TNamedStore& store = type == kBlockDefaultNamed ? defaults : current;
      if (!ReadNamedData(name, buf + pos, static_cast<std::size_t>(size), pending.MarkType, store)) intact = false;
      pos += static_cast<std::size_t>(size);
    } else if (type == kBlockMark) {
      finish();
      current.Clear();
      pending = TLKAnnotMarkAttributes{};
      if (len - pos < kAttrSize) {
        intact = false;
        break;
      }
      std::memcpy(&pending, buf + pos, kAttrSize);
      pos += kAttrSize;
    }
    // Blocks of any other type pass over their type and length word only.
  }
  finish();
  return intact;
}

void TLKImagingAnnot::SaveToStandardBuffer(std::vector<Byte>& Buffer, Integer& Length) {
  Buffer.clear();
  Length = 0;
  if (FObjects.empty()) return;
  std::vector<Byte> out;
  TTagWriter w(out);
  w.Int(0);
  w.Int(1);
  w.NamedText(kBlockDefaultNamed, "OiGroup", "0");
  w.NamedText(kBlockDefaultNamed, "OiIndex", "1");
  for (std::size_t i = 0; i < FObjects.size(); ++i) {
    TLKImagingObject& o = *FObjects[i];
    const Integer type = o.Attributes.MarkType;
    w.Int(kBlockMark);
    w.Int(static_cast<Integer>(kAttrSize));
    w.Bytes(&o.Attributes, kAttrSize);
    if (type == lkmtImage) {
      w.Named(kBlockMarkNamed, "OiAnoDat", [&] {
        const Integer record[14] = {1, 1000, gSystemDPIX, gSystemDPIY, gSystemDPIX, gSystemDPIY};
        w.Bytes(record, sizeof record);
      });
      // A mark that never had a picture gets no picture block.
      if (o.Picture && !o.Picture->IsEmpty()) {
        const std::vector<Byte> dib = BitmapToPackedDIB(o.Picture.get());
        w.Named(kBlockMarkNamed, "OiDIB", [&] { w.Bytes(dib.data(), dib.size()); });
      }
    } else if (type == lkmtLine || type == lkmtFreehand) {
      w.Named(kBlockMarkNamed, "OiAnoDat", [&] {
        if (o.Points.size() > static_cast<std::size_t>(std::numeric_limits<Integer>::max() / 8))
          throw EInvalidGraphic("Annotation block too large");
        const Integer n = static_cast<Integer>(o.Points.size());
        w.Int(n);
        w.Int(n);
        for (const TPoint& p : o.Points) {
          w.Int(p.X);
          w.Int(p.Y);
        }
      });
    } else if (type >= lkmtTextFirst && type <= lkmtNote) {
      w.Named(kBlockMarkNamed, "OiAnText", [&] {
        if (o.Text.size() >= static_cast<std::size_t>(std::numeric_limits<Integer>::max()))
          throw EInvalidGraphic("Annotation block too large");
        w.Int(0);
        w.Int(1000);
        w.Int(ScreenCreationScale());
        w.Int(static_cast<Integer>(o.Text.size()));
        w.Text(o.Text);
      });
    }
    w.NamedText(kBlockMarkNamed, "OiGroup", "0");
    w.NamedText(kBlockMarkNamed, "OiIndex", IntToStr(static_cast<Integer>(i)));
  }
  if (out.size() > static_cast<std::size_t>(std::numeric_limits<Integer>::max()))
    throw EInvalidGraphic("Annotation block too large");
  Length = static_cast<Integer>(out.size());
  Buffer = std::move(out);
}

void TLKImagingAnnot::SaveToStream(TStream*) {}

void TLKImagingAnnot::LoadFromStream(TStream*) {}

// ---------------------------------------------------------------------------
// Conversions through the vector view
// ---------------------------------------------------------------------------

TLKImagingObject* TLKImagingAnnot::AddObject() {
  FObjects.push_back(std::make_unique<TLKImagingObject>());
  return FObjects.back().get();
}

TLKAnnotVectHooks& LKAnnotVectHooks() {
  static TLKAnnotVectHooks hooks;
  return hooks;
}

void TLKImagingAnnot::CopyToTLumerakVect(TObject* View) {
  if (!LKAnnotVectHooks().ToVect) throw EInvalidOperation("No vector view is available for imaging annotations");
  LKAnnotVectHooks().ToVect(*this, View);
}

void TLKImagingAnnot::CopyFromTLumerakVect(TObject* View) {
  if (!LKAnnotVectHooks().FromVect) throw EInvalidOperation("No vector view is available for imaging annotations");
  LKAnnotVectHooks().FromVect(*this, View);
}

void TLKImagingAnnot::DrawToBitmap(TLKBitmap* Bitmap, bool Antialias) {
  if (!LKAnnotVectHooks().Draw) throw EInvalidOperation("No vector view is available for imaging annotations");
  LKAnnotVectHooks().Draw(*this, Bitmap, Antialias);
}
