#include "app/RxGIF.h"

#include <algorithm>
#include <cstdio>
#include <cstring>

#include "app/AniFile.h"
#include "app/RxReduce.h"

namespace {

const char* const kReadError = "Stream read error";
// A frame larger than this is refused rather than allocated (the format
// allows 65535 x 65535, 4 GiB at one byte a pixel).
constexpr std::int64_t kMaxFramePixels = std::int64_t(1) << 26;

[[noreturn]] void Fail(const String& Text) { throw EInvalidGraphicOperation(Text); }

/// The most pixels Bytes of coded data can give: each code gives at most one
/// pixel more than the one before it, and at most 4096.
std::int64_t MostPixels(std::size_t Bytes, int MinCodeSize) {
  const std::int64_t codes = std::int64_t(Bytes) * 8 / (std::clamp(MinCodeSize, 2, 9) + 1);
  if (codes <= 4096) return codes * (codes + 1) / 2;
  return std::int64_t(4096) * 4097 / 2 + (codes - 4096) * 4096;
}

/// Bits whose colour count is Count (2 to 256, a power of two).
Integer BitsOfCount(Integer Count) {
  for (Integer b = 1; b <= 8; ++b)
    if ((1 << b) == Count) return b;
  Fail("Wrong number of colors; must be a power of 2");
}

/// The least bits with 2^bits at least Count (1 for counts up to 2).
Integer BitsFor(Integer Count) {
  Integer b = 1;
  while (b < 8 && (1 << b) < Count) ++b;
  return b;
}

/// The rows of a Height-row frame in the order its pixels arrive.
std::vector<Integer> RowOrder(Integer Height, bool Interlaced) {
  std::vector<Integer> rows;
  rows.reserve(std::size_t(std::max<Integer>(Height, 0)));
  if (!Interlaced) {
    for (Integer y = 0; y < Height; ++y) rows.push_back(y);
    return rows;
  }
  static const Integer start[4] = {0, 4, 2, 1}, step[4] = {8, 8, 4, 2};
  for (int pass = 0; pass < 4; ++pass)
    for (Integer y = start[pass]; y < Height; y += step[pass]) rows.push_back(y);
  return rows;
}

/// A bounded cursor over the loaded bytes.
struct Cursor {
  const Byte* P;
  std::size_t N, Pos = 0;
  bool End() const { return Pos >= N; }
  int Next() { return Pos < N ? P[Pos++] : -1; }
  std::size_t Left() const { return N - Pos; }
  bool Take(Byte* Dst, std::size_t Count) {
    if (Left() < Count) return false;
    std::memcpy(Dst, P + Pos, Count);
    Pos += Count;
    return true;
  }
  /// Skips bytes of value 0; the next byte, or 0 at the end.
  int SkipZeros() {
    while (Pos < N && P[Pos] == 0) ++Pos;
    return Pos < N ? P[Pos++] : 0;
  }
  /// Data sub-blocks up to a zero length or the end of the data.
  std::vector<std::string> SubBlocks() {
    std::vector<std::string> blocks;
    for (;;) {
      const int n = Next();
      if (n <= 0) break;
      const std::size_t k = std::min<std::size_t>(std::size_t(n), Left());
      blocks.emplace_back(reinterpret_cast<const char*>(P + Pos), k);
      Pos += k;
      if (k < std::size_t(n)) break;
    }
    return blocks;
  }
};

void ReadColorTable(Cursor& C, Integer Bits, TGIFColorTable& Map) {
  Map.Count = 1 << Bits;
  if (!C.Take(Map.Colors.data(), std::size_t(3 * Map.Count))) Fail(kReadError);
}

void Put16(std::vector<Byte>& B, Integer V) {
  B.push_back(Byte(V));
  B.push_back(Byte(V >> 8));
}

/// Writes Count entries padded to 2^Bits.
void PutColorTable(std::vector<Byte>& B, const TGIFColorTable& Map, Integer Bits) {
  const Integer n = 1 << Bits;
  for (Integer i = 0; i < n; ++i)
    for (int k = 0; k < 3; ++k) B.push_back(i < Map.Count ? Map.Colors[3 * i + k] : 0);
}

void PutSubBlocks(std::vector<Byte>& B, const std::vector<std::string>& Strings) {
  for (const std::string& s : Strings) {
    if (s.empty()) continue;
    const std::size_t n = std::min<std::size_t>(s.size(), 255);
    B.push_back(Byte(n));
    B.insert(B.end(), s.begin(), s.begin() + long(n));
  }
  B.push_back(0);
}

}  // namespace

Word CF_GIF() {
  static const Word format = RegisterClipboardFormat("GIF Image");
  return format;
}

Integer TGIFColorTable::Find(TColor Color) const {
  const TColor c = ColorToRGB(Color);
  for (Integer i = 0; i < Count; ++i)
    if (Entry(i) == c) return i;
  return -1;
}

// ---------------------------------------------------------------------------
// LZW
// ---------------------------------------------------------------------------

namespace gifcoder {

bool Decode(const std::vector<Byte>& Zip, Integer Width, Integer Height, Integer Bits, bool Interlaced,
            std::vector<Byte>& Indices) {
  Indices.assign(std::size_t(Width) * std::size_t(Height), 0);
  if (Zip.empty() || Width <= 0 || Height <= 0) return false;
  bool ok = true;
  int minSize = Zip[0];
  bool damagedSize = false;
  if (minSize < 2 || minSize > 9) {
    ok = false;
    damagedSize = true;
    minSize = std::clamp(minSize, 2, 9);
  }
  // Sub-blocks read as they come.
  std::size_t pos = 1, blockEnd = 1;
  bool dataEnded = false;
  auto nextByte = [&]() -> int {
    while (pos >= blockEnd) {
      if (dataEnded || pos >= Zip.size()) {
        dataEnded = true;
        return -1;
      }
      const Byte n = Zip[pos++];
      if (n == 0) {
        dataEnded = true;
        return -1;
      }
      blockEnd = std::min(Zip.size(), pos + n);
    }
    return Zip[pos++];
  };
  std::uint32_t acc = 0;
  int have = 0;
  auto readCode = [&](int size) -> int {
    while (have < size) {
      const int b = nextByte();
      if (b < 0) return -1;
      acc |= std::uint32_t(b) << have;
      have += 8;
    }
    const int code = int(acc & ((1u << size) - 1));
    acc >>= size;
    have -= size;
    return code;
  };

  const int clear = 1 << minSize, endCode = clear + 1;
  const Byte mask = Byte((1 << std::clamp<Integer>(Bits, 1, 8)) - 1);
  int size = minSize + 1, next = clear + 2;
  std::vector<std::uint16_t> prefix(4096);
  std::vector<Byte> suffix(4096), stack(4097);
  const std::vector<Integer> rows = RowOrder(Height, Interlaced);
  std::size_t row = 0;
  Integer x = 0;
  auto put = [&](Byte v) {
    if (row >= rows.size()) return;
    Indices[std::size_t(rows[row]) * std::size_t(Width) + std::size_t(x)] = v & mask;
    if (++x == Width) x = 0, ++row;
  };
  int old = -1, first = 0;
  while (row < rows.size()) {
    int code = readCode(size);
    if (code < 0) return false;  // the data broke off
    if (code == clear) {
      size = minSize + 1;
      next = clear + 2;
      old = -1;
      continue;
    }
    if (code == endCode) break;
    if (damagedSize) break;
    if (old < 0) {
      // The first code after a clear is a pixel; a table code here refers
      // to nothing.
      if (code >= clear) return false;
      put(Byte(code));
      old = first = code;
      continue;
    }
    const int in = code;
    int sp = 0;
    if (code > next) return false;  // beyond the table
    if (code == next) {
      stack[sp++] = Byte(first);
      code = old;
    }
    while (code > endCode) {
      if (sp >= 4096) return false;
      stack[sp++] = suffix[code];
      code = prefix[code];
    }
    first = code;
    stack[sp++] = Byte(code);
    while (sp > 0) put(stack[--sp]);
    if (next < 4096) {
      prefix[next] = std::uint16_t(old);
      suffix[next] = Byte(first);
      ++next;
      if (next == (1 << size) && size < 12) ++size;
    }
    old = in;
  }
  return ok;
}

std::vector<Byte> Encode(const std::vector<Byte>& Indices, Integer Width, Integer Height, Integer Bits,
                         bool Interlaced) {
  const int minSize = std::max<int>(2, Bits);
  const int clear = 1 << minSize, endCode = clear + 1;
  std::vector<Byte> zip{Byte(minSize)};
  std::vector<Byte> block;
  std::uint32_t acc = 0;
  int have = 0, size = minSize + 1, next = clear + 2;
  auto flush = [&] {
    if (block.empty()) return;
    zip.push_back(Byte(block.size()));
    zip.insert(zip.end(), block.begin(), block.end());
    block.clear();
  };
  auto emit = [&](int code) {
    // The decoder reads each code with the width its table has reached,
    // one entry behind ours.
    while (size < 12 && next - 1 >= (1 << size)) ++size;
    acc |= std::uint32_t(code) << have;
    have += size;
    while (have >= 8) {
      block.push_back(Byte(acc));
      acc >>= 8;
      have -= 8;
      if (block.size() == 255) flush();
    }
  };
  constexpr int kSlots = 17777;
  struct Entry {
    int Prefix, Code;
    Byte Suffix;
  };
  std::vector<int> slots(kSlots, -1);
  std::vector<Entry> entries;
  entries.reserve(4096);
  auto reset = [&] {
    std::fill(slots.begin(), slots.end(), -1);
    entries.clear();
    next = clear + 2;
    size = minSize + 1;
  };
  emit(clear);
  const std::vector<Integer> rows = RowOrder(Height, Interlaced);
  bool started = false;
  int cur = 0, len = 0;
  long hash = 0;
  for (Integer y : rows) {
    const Byte* line = Indices.data() + std::size_t(y) * std::size_t(Width);
    for (Integer x = 0; x < Width; ++x) {
      const int p = line[x];
      if (!started) {
        started = true;
        cur = p, len = 1, hash = (p + 3) * 301 % kSlots;
        continue;
      }
      const long h = long(p + len + 1 + 4) * hash % kSlots;
      long slot = h;
      bool found = false;
      while (slots[std::size_t(slot)] >= 0) {
        const Entry& e = entries[std::size_t(slots[std::size_t(slot)])];
        if (e.Prefix == cur && e.Suffix == p) {
          cur = e.Code, ++len, hash = h;
          found = true;
          break;
        }
        slot = slot == kSlots - 1 ? 0 : slot + 1;
      }
      if (found) continue;
      emit(cur);
      if (next < 4096) {
        slots[std::size_t(slot)] = int(entries.size());
        entries.push_back(Entry{cur, next++, Byte(p)});
      } else {
        emit(clear);
        reset();
      }
      cur = p, len = 1, hash = (p + 3) * 301 % kSlots;
    }
  }
  if (started) {
    emit(cur);
    if (next < 4096) ++next;
  }
  emit(endCode);
  if (have > 0) block.push_back(Byte(acc));
  flush();
  zip.push_back(0);
  return zip;
}

}  // namespace gifcoder

// ---------------------------------------------------------------------------
// TGIFFrame
// ---------------------------------------------------------------------------

TGIFFrame::TGIFFrame(TGIFImage* AOwner) : FOwner(AOwner), FItem(std::make_shared<TGIFItem>()) {}
TGIFFrame::~TGIFFrame() = default;

void TGIFFrame::SetOrigin(TPoint Value) {
  FTopLeft = Value;
  if (FOwner) FOwner->InvalidateComposite();
}

void TGIFFrame::SetTransparentColor(TColor Value) {
  FTransparentColor = Value;
  if (FOwner) FOwner->InvalidateComposite();
}

void TGIFFrame::SetDisposalMethod(Integer Value) {
  FDisposal = Value & 7;
  if (FOwner) FOwner->InvalidateComposite();
}

Integer TGIFFrame::TransparentIndex() const {
  if (FTransparentColor == clNone || !FBitmap) return -1;
  const TPixelFormat f = FBitmap->GetPixelFormat();
  if (f != pf1bit && f != pf4bit && f != pf8bit) return -1;
  // The graphic control block names the index; it holds only while the
  // bitmap's table still gives it the transparent colour (a colour set
  // later, or a table with that colour twice, is matched by colour).
  const std::vector<TRGBQuad> table = FBitmap->GetColorTable();
  for (const TExtension& e : FExtensions) {
    if (e.ExtType != etGraphic || e.Fixed.size() < 5 || !(e.Fixed[1] & 1)) continue;
    const Integer index = e.Fixed[4];
    if (index < Integer(table.size()) && RGBQuadToColor(table[std::size_t(index)]) == FTransparentColor)
      return index;
  }
  return -1;
}

TBitmap* TGIFFrame::GetBitmap() {
  if (!FBitmap) Decode();
  return FBitmap.get();
}

void TGIFFrame::Decode() {
  if (FBitmap || !HasData()) return;
  const Integer bits = FItem->BitsPerPixel;
  TPixelFormat format;
  Integer depth;
  if (bits == 1) format = pf1bit, depth = 1;
  else if (bits >= 2 && bits <= 4) format = pf4bit, depth = 4;
  else if (bits >= 5 && bits <= 8) format = pf8bit, depth = 8;
  else Fail("Wrong number of colors; must be a power of 2");
  const Integer w = FItem->Width, h = FItem->Height;
  // A frame larger than its data could ever fill is refused before its
  // pixels are allocated.
  const std::int64_t area = std::int64_t(w) * h;
  if (area > kMaxFramePixels || area > MostPixels(FItem->ZipData.size(), FItem->ZipData[0]))
    Fail("GIF image is too large");
  std::vector<Byte> indices;
  if (!gifcoder::Decode(FItem->ZipData, w, h, bits, FInterlaced, indices)) FCorrupted = true;
  auto bmp = std::make_unique<TBitmap>(w, h, format);
  std::vector<TRGBQuad> table(std::size_t(1) << depth, TRGBQuad{128, 128, 128, 0});
  for (Integer i = 0; i < FItem->ColorMap.Count && i < Integer(table.size()); ++i)
    table[std::size_t(i)] = TRGBQuad{FItem->ColorMap.Colors[3 * i + 2], FItem->ColorMap.Colors[3 * i + 1],
                                     FItem->ColorMap.Colors[3 * i], 0};
  bmp->SetColorTable(table);
  // A frame without width or height has no rows to fill.
  for (Integer y = 0; area > 0 && y < h; ++y) {
    Byte* row = bmp->ScanLine(y);
    std::memset(row, 0, std::size_t(bmp->RowBytes()));
    const Byte* src = indices.data() + std::size_t(y) * std::size_t(w);
    for (Integer x = 0; x < w; ++x) {
      if (depth == 8) row[x] = src[x];
      else if (depth == 4) row[x / 2] |= Byte((src[x] & 15) << (x % 2 ? 0 : 4));
      else row[x / 8] |= Byte((src[x] & 1) << (7 - x % 8));
    }
  }
  FBitmap = std::move(bmp);
}

void TGIFFrame::Encode(bool& GlobalTaken) {
  if (!FBitmap || FBitmap->GetEmpty()) Fail("No GIF Data to write");
  TBitmap reduced;
  TBitmap* src = FBitmap.get();
  const TPixelFormat f = src->GetPixelFormat();
  if (f != pf1bit && f != pf4bit && f != pf8bit) {
    const TReductionMethod method = FGrayScale ? rdGrayscale : gDefaultReductionMethod;
    auto stream = ReduceBitmapToStream(src, pf8bit, method);
    if (method == rdGrayscale) FGrayScale = true;
    reduced.LoadFromStream(stream.get());
    src = &reduced;
  }
  auto item = std::make_shared<TGIFItem>();
  const std::vector<TRGBQuad> table = src->GetColorTable();
  if (table.size() != 2 && table.size() != 16 && table.size() != 256) Fail("GIF image encoding error");
  item->ColorMap.Count = Integer(table.size());
  for (std::size_t i = 0; i < table.size(); ++i) {
    item->ColorMap.Colors[3 * i] = table[i].rgbRed;
    item->ColorMap.Colors[3 * i + 1] = table[i].rgbGreen;
    item->ColorMap.Colors[3 * i + 2] = table[i].rgbBlue;
  }
  item->BitsPerPixel = BitsFor(item->ColorMap.Count);
  item->Width = src->GetWidth();
  item->Height = src->GetHeight();
  const Integer depth = PixelFormatBits(src->GetPixelFormat());
  std::vector<Byte> indices(std::size_t(item->Width) * std::size_t(item->Height));
  for (Integer y = 0; y < item->Height; ++y) {
    const Byte* row = src->ScanLine(y);
    Byte* dst = indices.data() + std::size_t(y) * std::size_t(item->Width);
    for (Integer x = 0; x < item->Width; ++x) {
      if (depth == 8) dst[x] = row[x];
      else if (depth == 4) dst[x] = (row[x / 2] >> (x % 2 ? 0 : 4)) & 15;
      else dst[x] = (row[x / 8] >> (7 - x % 8)) & 1;
    }
  }
  item->ZipData = gifcoder::Encode(indices, item->Width, item->Height, item->BitsPerPixel, FInterlaced);
  TGIFData& data = *FOwner->FData;
  if (!GlobalTaken && data.ColorMap.Count == 0) {
    data.ColorMap = item->ColorMap;
    data.BitsPerPixel = item->BitsPerPixel;
    FOwnColors = false;
    GlobalTaken = true;
  } else {
    FOwnColors = true;
  }
  FItem = std::move(item);
  FOwner->FScreenWidth = std::max(FOwner->FScreenWidth, FItem->Width + FTopLeft.X);
  FOwner->FScreenHeight = std::max(FOwner->FScreenHeight, FItem->Height + FTopLeft.Y);
}

void TGIFFrame::RebuildExtensions() {
  std::erase_if(FExtensions, [](const TExtension& e) {
    if (e.ExtType == etGraphic) return true;
    if (e.ExtType != etComment) return false;
    return std::all_of(e.Data.begin(), e.Data.end(), [](const std::string& s) { return s.empty(); });
  });
  if (FAnimateInterval > 0 || FTransparentColor != clNone || FDisposal != 0) {
    const TGIFColorTable& map = FOwnColors ? FItem->ColorMap : FOwner->FData->ColorMap;
    const Integer index = FTransparentColor != clNone ? map.Find(FTransparentColor) : -1;
    const Integer delay = FAnimateInterval / 10;
    TExtension g;
    g.ExtType = etGraphic;
    g.Fixed = {4, Byte((FDisposal & 7) << 2 | (index >= 0 ? 1 : 0)), Byte(delay), Byte(delay >> 8),
               Byte(index >= 0 ? index : 0), 0};
    FExtensions.insert(FExtensions.begin(), std::move(g));
  }
}

std::vector<String> TGIFFrame::GetComment() const {
  std::vector<String> lines;
  for (const TExtension& e : FExtensions)
    if (e.ExtType == etComment) lines.insert(lines.end(), e.Data.begin(), e.Data.end());
  return lines;
}

void TGIFFrame::SetComment(const std::vector<String>& Lines) {
  std::erase_if(FExtensions, [](const TExtension& e) { return e.ExtType == etComment; });
  if (Lines.empty()) return;
  TExtension c;
  c.ExtType = etComment;
  c.Data = Lines;
  FExtensions.push_back(std::move(c));
}

void TGIFFrame::Assign(TPersistent* Source) {
  if (!Source) {
    FItem = std::make_shared<TGIFItem>();
    FBitmap.reset();
  } else if (auto* f = dynamic_cast<TGIFFrame*>(Source)) {
    if (f == this) return;
    FItem = f->FItem;
    FTopLeft = f->FTopLeft;
    FInterlaced = f->FInterlaced;
    FBitmap = f->FBitmap ? std::make_unique<TBitmap>() : nullptr;
    if (FBitmap) FBitmap->Assign(f->FBitmap.get());
    FTransparentColor = f->FTransparentColor;
    FAnimateInterval = f->FAnimateInterval;
    FDisposal = f->FDisposal;
    FGrayScale = f->FGrayScale;
    FCorrupted = f->FCorrupted;
    FExtensions = f->FExtensions;
    if (f->FOwner != FOwner) FOwnColors = true;
  } else if (auto* g = dynamic_cast<TGIFImage*>(Source)) {
    if (g->GetCount() == 0) {
      Assign(nullptr);
      return;
    }
    Assign(g->GetFrame(std::max<Integer>(g->GetFrameIndex(), 0)));
    return;
  } else if (auto* b = dynamic_cast<TBitmap*>(Source)) {
    FItem = std::make_shared<TGIFItem>();
    FBitmap = std::make_unique<TBitmap>();
    FBitmap->Assign(b);
    if (b->GetTransparent()) FTransparentColor = ColorToRGB(b->GetTransparentColor());
  } else if (auto* gr = dynamic_cast<TGraphic*>(Source)) {
    FItem = std::make_shared<TGIFItem>();
    FBitmap = std::make_unique<TBitmap>(gr->GetWidth(), gr->GetHeight(), pf24bit);
    TCanvas* c = FBitmap->GetCanvas();
    c->GetBrush()->SetColor(clFuchsia);
    c->FillRect(TRect{0, 0, gr->GetWidth(), gr->GetHeight()});
    c->StretchDraw(TRect{0, 0, gr->GetWidth(), gr->GetHeight()}, gr);
    if (gr->GetTransparent()) FTransparentColor = clFuchsia;
  } else {
    TPersistent::Assign(Source);
    return;
  }
  if (FOwner) FOwner->UpdateScreenSize();
}

void TGIFFrame::AssignTo(TPersistent* Dest) {
  if (dynamic_cast<TGIFFrame*>(Dest) || dynamic_cast<TGIFImage*>(Dest)) {
    Dest->Assign(this);
    return;
  }
  if (auto* b = dynamic_cast<TBitmap*>(Dest)) {
    TBitmap* mine = GetBitmap();
    if (!mine) {
      b->SetSize(0, 0);
      return;
    }
    b->Assign(mine);
    if (FTransparentColor != clNone) {
      b->SetTransparentColor(FTransparentColor);
      b->SetTransparent(true);
    }
    return;
  }
  TPersistent::AssignTo(Dest);
}

// ---------------------------------------------------------------------------
// TGIFImage
// ---------------------------------------------------------------------------

TGIFImage::TGIFImage() {
  Reset();
  SetTransparent(true);
  SetModified(false);
}

TGIFImage::~TGIFImage() = default;

void TGIFImage::Reset() {
  InvalidateComposite();
  FData = std::make_shared<TGIFData>();
  FFrames.clear();
  FCorrupted = false;
  FFrameIndex = -1;
  FBackgroundColor = clNone;
  FRepeatCount = 1;
  FLooping = false;
  FVersion = 0;
  FScreenWidth = FScreenHeight = 0;
}

void TGIFImage::Clear() {
  Reset();
  Changed();
}

void TGIFImage::Load(const Byte* Data, std::size_t Size, bool DecodeFirst) {
  Reset();
  if (Size == 0) return;
  Cursor c{Data, Size};
  char sig[6];
  if (!c.Take(reinterpret_cast<Byte*>(sig), 6) || strncasecmp(sig, "GIF", 3) != 0) Fail("Unknown GIF version");
  if (strncasecmp(sig + 3, "87a", 3) == 0) FVersion = 1;
  else if (strncasecmp(sig + 3, "89a", 3) == 0) FVersion = 2;
  else Fail("Unknown GIF version");
  Byte screen[7];
  if (!c.Take(screen, 7)) Fail(kReadError);
  FScreenWidth = screen[0] | screen[1] << 8;
  FScreenHeight = screen[2] | screen[3] << 8;
  const Byte packed = screen[4];
  FData->BitsPerPixel = (packed & 7) + 1;
  FData->ColorResBits = ((packed >> 4) & 7) + 1;
  FData->AspectRatio = screen[6];
  if (packed & 0x80) {
    ReadColorTable(c, FData->BitsPerPixel, FData->ColorMap);
    if (screen[5] < FData->ColorMap.Count) FBackgroundColor = FData->ColorMap.Entry(screen[5]);
  }

  std::vector<TExtension> pending;
  int b = c.SkipZeros();
  while (b != 0 && b != ';') {
    while (b == '!') {
      const int label = c.Next();
      TExtension e;
      e.ExtType = TGIFExtensionType(label);
      auto fixed = [&](std::size_t n) {
        e.Fixed.resize(n);
        if (!c.Take(e.Fixed.data(), n)) Fail(kReadError);
      };
      switch (label) {
        case etGraphic:
          fixed(6);
          pending.push_back(std::move(e));
          break;
        case etComment:
          e.Data = c.SubBlocks();
          pending.push_back(std::move(e));
          break;
        case etPlainText:
          fixed(13);
          c.SubBlocks();
          pending.clear();
          break;
        case etApplication: {
          fixed(12);
          e.Data = c.SubBlocks();
          const std::string id(e.Fixed.begin() + 1, e.Fixed.end());
          if ((id == "NETSCAPE2.0" || id == "ANIMEXTS1.0") && !e.Data.empty() && e.Data[0].size() >= 3 &&
              e.Data[0][0] == 1) {
            FLooping = true;
            FRepeatCount = std::min(30000, Byte(e.Data[0][1]) | Byte(e.Data[0][2]) << 8);
          }
          break;
        }
        default: {
          if (label < 0) Fail(kReadError);
          char text[48];
          std::snprintf(text, sizeof text, "Unrecognized extension block: %.2x", label);
          Fail(text);
        }
      }
      b = c.SkipZeros();
    }
    if (b != ',') {
      // Extensions that no image follows: comments for the picture.
      if (FData->Comment.empty()) {
        for (const TExtension& e : pending) {
          if (e.ExtType != etComment) continue;
          if (!FData->Comment.empty()) FData->Comment.push_back("\r\n\r\n");
          FData->Comment.insert(FData->Comment.end(), e.Data.begin(), e.Data.end());
        }
      } else if (b != 0 && b != ';') {
        Fail(kReadError);
      }
      break;
    }
    auto frame = std::make_unique<TGIFFrame>(this);
    TGIFItem& item = *frame->FItem;
    Byte d[9];
    if (!c.Take(d, 9)) {
      // The file ends inside an image descriptor.
      FCorrupted = true;
      break;
    }
    frame->FTopLeft = TPoint{d[0] | d[1] << 8, d[2] | d[3] << 8};
    item.Width = d[4] | d[5] << 8;
    item.Height = d[6] | d[7] << 8;
    item.PackedFields = d[8];
    frame->FInterlaced = (d[8] & 0x40) != 0;
    if (d[8] & 0x80) {
      item.BitsPerPixel = (d[8] & 7) + 1;
      ReadColorTable(c, item.BitsPerPixel, item.ColorMap);
      frame->FOwnColors = true;
    } else {
      // Without a local map the global one serves; a file with neither is
      // decoded with 8 bits rather than refused.
      item.ColorMap = FData->ColorMap;
      item.BitsPerPixel = FData->ColorMap.Count ? BitsOfCount(FData->ColorMap.Count) : 8;
      frame->FOwnColors = false;
    }
    // The coded data, kept as it stands in the file.
    const int minCode = c.Next();
    if (minCode < 0) {
      frame->FCorrupted = true;
    } else {
      item.ZipData.push_back(Byte(minCode));
      for (;;) {
        const int n = c.Next();
        if (n < 0) {
          frame->FCorrupted = true;
          break;
        }
        item.ZipData.push_back(Byte(n));
        if (n == 0) break;
        const std::size_t k = std::min<std::size_t>(std::size_t(n), c.Left());
        item.ZipData.insert(item.ZipData.end(), Data + c.Pos, Data + c.Pos + k);
        c.Pos += k;
        if (k < std::size_t(n)) {
          frame->FCorrupted = true;
          break;
        }
      }
    }
    if (item.Width == 0) item.Width = FScreenWidth;
    if (item.Height == 0) item.Height = FScreenHeight;
    for (const TExtension& e : pending) {
      if (e.ExtType != etGraphic) continue;
      const Byte flags = e.Fixed[1];
      const Integer index = e.Fixed[4];
      frame->FTransparentColor = (flags & 1) && index < item.ColorMap.Count ? item.ColorMap.Entry(index) : clNone;
      frame->FAnimateInterval = std::max<Integer>(frame->FAnimateInterval, 10 * (e.Fixed[2] | e.Fixed[3] << 8));
      frame->FDisposal = (flags >> 2) & 7;
    }
    frame->FExtensions = std::move(pending);
    pending.clear();
    if (frame->FCorrupted) FCorrupted = true;
    FFrames.push_back(std::move(frame));
    if (c.End()) break;
    b = c.SkipZeros();
    if (b != '!' && b != ',' && b != ';') break;
  }

  if (!FFrames.empty()) {
    FFrameIndex = 0;
    if (DecodeFirst) {
      try {
        FFrames[0]->Decode();
      } catch (...) {
        FFrames.erase(FFrames.begin());
        FFrameIndex = FFrames.empty() ? -1 : 0;
        throw;
      }
    }
  }
  Changed();
}

void TGIFImage::LoadFromStream(TStream* Stream) {
  const Int64 left = Stream->GetSize() - Stream->GetPosition();
  std::vector<Byte> bytes(std::size_t(std::max<Int64>(left, 0)));
  if (!bytes.empty()) Stream->ReadBuffer(bytes.data(), Int64(bytes.size()));
  TGIFImage fresh;
  fresh.Load(bytes.data(), bytes.size(), true);
  Assign(&fresh);
}

void TGIFImage::ReadData(TStream* Stream) {
  Byte le[4];
  Stream->ReadBuffer(le, 4);
  const std::uint32_t n = std::uint32_t(le[0] | le[1] << 8 | le[2] << 16) | std::uint32_t(le[3]) << 24;
  const Int64 left = Stream->GetSize() - Stream->GetPosition();
  if (Int64(n) > left) Fail(kReadError);
  std::vector<Byte> bytes(n);
  if (n) Stream->ReadBuffer(bytes.data(), n);
  TGIFImage fresh;
  fresh.Load(bytes.data(), bytes.size(), true);
  Assign(&fresh);
}

void TGIFImage::UpdateScreenSize() {
  InvalidateComposite();
  for (const auto& f : FFrames) {
    const Integer w = f->FBitmap ? f->FBitmap->GetWidth() : f->FItem->Width;
    const Integer h = f->FBitmap ? f->FBitmap->GetHeight() : f->FItem->Height;
    FScreenWidth = std::max(FScreenWidth, w + f->FTopLeft.X);
    FScreenHeight = std::max(FScreenHeight, h + f->FTopLeft.Y);
  }
}

void TGIFImage::SaveToStream(TStream* Stream) {
  if (FFrames.empty()) Fail("No GIF Data to write");
  bool globalTaken = false;
  for (auto& f : FFrames)
    if (!f->HasData()) f->Encode(globalTaken);
  for (auto& f : FFrames) {
    f->RebuildExtensions();
    if (!f->FExtensions.empty()) FVersion = 2;
  }
  if (!FData->Comment.empty()) FVersion = 2;
  if (FVersion == 0) FVersion = 1;

  std::vector<Byte> out;
  const char* sig = FVersion == 2 ? "GIF89a" : "GIF87a";
  out.insert(out.end(), sig, sig + 6);
  Integer sw = 0, sh = 0;
  for (const auto& f : FFrames) {
    sw = std::max(sw, f->FItem->Width + f->FTopLeft.X);
    sh = std::max(sh, f->FItem->Height + f->FTopLeft.Y);
  }
  FScreenWidth = sw, FScreenHeight = sh;
  Put16(out, sw);
  Put16(out, sh);
  const TGIFColorTable& global = FData->ColorMap;
  const Integer gbits = global.Count ? BitsFor(global.Count) : 0;
  if (gbits) {
    const Integer bg = FBackgroundColor != clNone ? std::max<Integer>(global.Find(FBackgroundColor), 0) : 0;
    out.push_back(Byte(0x80 | (gbits - 1) << 4 | (gbits - 1)));
    out.push_back(Byte(bg));
  } else {
    out.push_back(0);
    out.push_back(0);
  }
  out.push_back(FData->AspectRatio);
  if (gbits) PutColorTable(out, global, gbits);
  if (FLooping && FFrames.size() > 1) {
    const Byte loop[] = {0x21, 0xFF, 0x0B, 'N', 'E', 'T', 'S', 'C', 'A', 'P', 'E', '2', '.', '0', 3, 1,
                         Byte(FRepeatCount), Byte(FRepeatCount >> 8), 0};
    out.insert(out.end(), loop, loop + sizeof loop);
  }
  for (const auto& f : FFrames) {
    for (const TExtension& e : f->FExtensions) {
      out.push_back(0x21);
      out.push_back(e.ExtType);
      out.insert(out.end(), e.Fixed.begin(), e.Fixed.end());
      if (e.ExtType != etGraphic) PutSubBlocks(out, e.Data);
    }
    const TGIFItem& item = *f->FItem;
    out.push_back(',');
    Put16(out, f->FTopLeft.X);
    Put16(out, f->FTopLeft.Y);
    Put16(out, item.Width);
    Put16(out, item.Height);
    const bool ownMap = f->FOwnColors && item.ColorMap.Count > 0;
    const Integer lbits = ownMap ? BitsFor(item.ColorMap.Count) : 0;
    out.push_back(Byte((ownMap ? 0x80 | (lbits - 1) : 0) | (f->FInterlaced ? 0x40 : 0)));
    if (ownMap) PutColorTable(out, item.ColorMap, lbits);
    out.insert(out.end(), item.ZipData.begin(), item.ZipData.end());
  }
  if (!FData->Comment.empty()) {
    out.push_back(0x21);
    out.push_back(etComment);
    PutSubBlocks(out, FData->Comment);
  }
  out.push_back(';');
  Stream->WriteBuffer(out.data(), Int64(out.size()));
}

void TGIFImage::WriteData(TStream* Stream) {
  TMemoryStream m;
  SaveToStream(&m);
  const std::uint32_t n = std::uint32_t(m.GetSize());
  const Byte le[4] = {Byte(n), Byte(n >> 8), Byte(n >> 16), Byte(n >> 24)};
  Stream->WriteBuffer(le, 4);
  Stream->WriteBuffer(m.GetMemory(), n);
}

void TGIFImage::SaveToClipboardFormat(TClipboard& Clip) {
  if (FFrames.empty()) return;
  Clip.Open();
  if (TBitmap* b = FFrames[0]->GetBitmap()) Clip.SetBitmap(*b);
  if (std::all_of(FFrames.begin(), FFrames.end(), [](const auto& f) { return f->HasData(); })) {
    TMemoryStream m;
    WriteData(&m);
    const Byte* p = static_cast<const Byte*>(m.GetMemory());
    Clip.SetAsData(CF_GIF(), std::vector<Byte>(p, p + m.GetSize()));
  }
  Clip.Close();
}

bool TGIFImage::LoadFromClipboardFormat(const TClipboard& Clip) {
  if (Clip.HasFormat(CF_GIF())) {
    const std::vector<Byte> data = Clip.GetAsData(CF_GIF());
    if (data.size() < 4) Fail(kReadError);
    const std::size_t n = std::min<std::size_t>(data.size() - 4, std::uint32_t(data[0] | data[1] << 8 | data[2] << 16) |
                                                                      std::uint32_t(data[3]) << 24);
    TGIFImage fresh;
    fresh.Load(data.data() + 4, n, false);
    if (!fresh.FFrames.empty()) {
      TBitmap b;
      if (Clip.GetBitmap(b)) {
        fresh.FFrames[0]->FBitmap = std::make_unique<TBitmap>();
        fresh.FFrames[0]->FBitmap->Assign(&b);
      }
    }
    Assign(&fresh);
    return true;
  }
  TBitmap b;
  if (!Clip.GetBitmap(b)) return false;
  Assign(&b);
  return true;
}

Integer TGIFImage::AppendFrame(TGraphic* Graphic) {
  auto f = std::make_unique<TGIFFrame>(this);
  f->Assign(Graphic);
  FFrames.push_back(std::move(f));
  FFrameIndex = Integer(FFrames.size()) - 1;
  if (FVersion == 0) FVersion = 1;
  if (FFrames.size() > 1) FVersion = 2;
  UpdateScreenSize();
  Changed();
  return FFrameIndex;
}

void TGIFImage::DeleteFrame(Integer Index) {
  if (Index < 0 || Index >= GetCount()) return;
  FFrames.erase(FFrames.begin() + Index);
  InvalidateComposite();
  if (FFrameIndex >= GetCount()) FFrameIndex = GetCount() - 1;
  Changed();
}

void TGIFImage::DecodeAllFrames() {
  for (auto& f : FFrames) f->Decode();
}

void TGIFImage::SetFrameIndex(Integer Value) {
  Value = std::clamp<Integer>(Value, FFrames.empty() ? -1 : 0, GetCount() - 1);
  if (Value == FFrameIndex) return;
  FFrameIndex = Value;
  Changed();
}

void TGIFImage::Assign(TPersistent* Source) {
  if (!Source) {
    Reset();
    Changed();
    return;
  }
  if (auto* g = dynamic_cast<TGIFImage*>(Source)) {
    if (g == this) return;
    FData = g->FData;
    FVersion = g->FVersion;
    FBackgroundColor = g->FBackgroundColor;
    FRepeatCount = g->FRepeatCount;
    FLooping = g->FLooping;
    FCorrupted = g->FCorrupted;
    FFrames.clear();
    for (const auto& src : g->FFrames) {
      auto f = std::make_unique<TGIFFrame>(this);
      f->Assign(src.get());
      f->FOwnColors = src->FOwnColors;
      FFrames.push_back(std::move(f));
    }
    FScreenWidth = g->FScreenWidth;
    FScreenHeight = g->FScreenHeight;
    FFrameIndex = g->FFrameIndex;
    InvalidateComposite();
    Changed();
    return;
  }
  if (auto* f = dynamic_cast<TGIFFrame*>(Source)) {
    Reset();
    if (f->FOwner) {
      FData->AspectRatio = f->FOwner->FData->AspectRatio;
      FData->BitsPerPixel = f->FOwner->FData->BitsPerPixel;
      FData->ColorResBits = f->FOwner->FData->ColorResBits;
      FData->ColorMap = f->FOwner->FData->ColorMap;
    }
    auto copy = std::make_unique<TGIFFrame>(this);
    copy->Assign(f);
    copy->FOwnColors = f->FOwnColors;
    FFrames.push_back(std::move(copy));
    FFrameIndex = 0;
    if (FVersion == 0) FVersion = 1;
    UpdateScreenSize();
    Changed();
    return;
  }
  if (auto* b = dynamic_cast<TBitmap*>(Source)) {
    Reset();
    AppendFrame(b);
    return;
  }
  if (auto* a = dynamic_cast<TAnimatedCursorImage*>(Source)) {
    // Each frame shows for its rate in sixtieths of a second.
    Reset();
    FBackgroundColor = clWindow;
    for (Integer i = 0; i < a->GetFrameCount(); ++i) {
      const TIconFrame* f = a->GetFrame(i);
      const Integer at = AppendFrame(f->GetIcon());
      FFrames[size_t(at)]->SetAnimateInterval(Integer(std::min<Int64>(Int64(f->GetJiffRate()) * 100 / 6, 0x7FFFFFFF)));
    }
    Changed();
    return;
  }
  TGraphic::Assign(Source);
}

void TGIFImage::AssignTo(TPersistent* Dest) {
  if (auto* g = dynamic_cast<TGIFImage*>(Dest)) {
    g->Assign(this);
    return;
  }
  if (auto* b = dynamic_cast<TBitmap*>(Dest)) {
    if (GetEmpty()) b->SetSize(0, 0);
    else FFrames[std::size_t(std::max<Integer>(FFrameIndex, 0))]->AssignTo(b);
    return;
  }
  TGraphic::AssignTo(Dest);
}

void TGIFImage::Draw(TCanvas* ACanvas, const TRect& Rect) {
  if (!ACanvas || FFrameIndex < 0 || FFrameIndex >= GetCount()) return;
  TBitmap* screen = nullptr;
  try {
    screen = ComposeTo(FFrameIndex);
  } catch (const EInvalidGraphic&) {
    return;  // a screen too large to compose is drawn as nothing
  }
  if (!screen) return;
  if (!TGraphic::GetTransparent() && FBackgroundColor != clNone) {
    TBrush* brush = ACanvas->GetBrush();
    const TColor color = brush->GetColor();
    const TBrushStyle style = brush->GetStyle();
    brush->SetStyle(bsSolid);
    brush->SetColor(FBackgroundColor);
    ACanvas->FillRect(Rect);
    brush->SetColor(color);
    brush->SetStyle(style);
  }
  ACanvas->CopyFromSurface(Rect, screen, TRect{0, 0, screen->GetWidth(), screen->GetHeight()}, FKey);
}

bool TGIFImage::Equals(const TGraphic* Graphic) const {
  auto* g = dynamic_cast<const TGIFImage*>(Graphic);
  return g && g->FData == FData;
}

bool TGIFImage::GetEmpty() const {
  if (FFrames.empty()) return true;
  const TGIFFrame* f = FFrames[std::size_t(std::max<Integer>(FFrameIndex, 0))].get();
  if (f->FBitmap) return false;
  return !f->HasData();
}

Integer TGIFImage::GetWidth() const {
  if (FFrameIndex < 0 || FFrameIndex >= GetCount()) return 0;
  return ComposedSize().X;
}

Integer TGIFImage::GetHeight() const {
  if (FFrameIndex < 0 || FFrameIndex >= GetCount()) return 0;
  return ComposedSize().Y;
}

void TGIFImage::SetWidth(Integer) { Fail("Cannot change the Size of a GIF image"); }
void TGIFImage::SetHeight(Integer) { Fail("Cannot change the Size of a GIF image"); }

bool TGIFImage::GetTransparent() const {
  return TGraphic::GetTransparent() &&
         std::any_of(FFrames.begin(), FFrames.end(), [](const auto& f) { return f->FTransparentColor != clNone; });
}

std::unique_ptr<TGraphic> TGIFImage::Clone() const {
  auto g = std::make_unique<TGIFImage>();
  g->Assign(const_cast<TGIFImage*>(this));
  g->SetModified(false);
  return g;
}

// ---- composition

TPoint TGIFImage::ComposedSize() const {
  TPoint size{FScreenWidth, FScreenHeight};
  for (const auto& f : FFrames) {
    const Integer w = f->FBitmap ? f->FBitmap->GetWidth() : f->FItem->Width;
    const Integer h = f->FBitmap ? f->FBitmap->GetHeight() : f->FItem->Height;
    size.X = std::max(size.X, w + f->FTopLeft.X);
    size.Y = std::max(size.Y, h + f->FTopLeft.Y);
  }
  return size;
}

void TGIFImage::InvalidateComposite() {
  FComposite.reset();
  FSaved.reset();
  FComposedIndex = -1;
  FKeyChosen = false;
}

namespace {

/// Colour of pixel X of a row of B (any format but pf15bit/pf16bit/pfCustom,
/// which the caller reads through the canvas), as 0x00RRGGBB.
std::uint32_t RowColor(const TBitmap& B, const Byte* Row, Integer X, const std::vector<TRGBQuad>& Table,
                       Integer& Index) {
  switch (B.GetPixelFormat()) {
    case pf1bit: Index = (Row[X / 8] >> (7 - X % 8)) & 1; break;
    case pf4bit: Index = (Row[X / 2] >> (X % 2 ? 0 : 4)) & 15; break;
    case pf8bit: Index = Row[X]; break;
    case pf24bit: Index = -1; return std::uint32_t(Row[3 * X + 2]) << 16 | Row[3 * X + 1] << 8 | Row[3 * X];
    default: Index = -1; return std::uint32_t(Row[4 * X + 2]) << 16 | Row[4 * X + 1] << 8 | Row[4 * X];
  }
  if (std::size_t(Index) >= Table.size()) return 0;
  const TRGBQuad& q = Table[std::size_t(Index)];
  return std::uint32_t(q.rgbRed) << 16 | q.rgbGreen << 8 | q.rgbBlue;
}

std::uint32_t ToRGB(TColor C) { return std::uint32_t(GetRValue(C)) << 16 | GetGValue(C) << 8 | GetBValue(C); }

bool PlainRows(TPixelFormat F) { return F == pf1bit || F == pf4bit || F == pf8bit || F == pf24bit || F == pf32bit; }

/// Fills R of the 32-bit bitmap B with the colour 0x00RRGGBB.
void FillArea(TBitmap& B, const TRect& R, std::uint32_t Rgb) {
  for (Integer y = R.Top; y < R.Bottom; ++y) {
    auto* row = reinterpret_cast<std::uint32_t*>(B.ScanLine(y));
    std::fill(row + R.Left, row + R.Right, Rgb);
  }
}

}  // namespace

TBitmap* TGIFImage::ComposeTo(Integer Index) {
  if (Index < 0 || Index >= GetCount()) return nullptr;
  const TPoint size = ComposedSize();
  if (size.X <= 0 || size.Y <= 0) return nullptr;
  if (std::int64_t(size.X) * size.Y > kMaxFramePixels) Fail("GIF image is too large");
  for (Integer i = 0; i <= Index; ++i) {
    TGIFFrame* f = FFrames[std::size_t(i)].get();
    try {
      f->GetBitmap();
    } catch (const EInvalidGraphic&) {
      f->FCorrupted = true;  // composed as nothing
    }
  }
  if (!FKeyChosen) {
    // Uncovered pixels hold a colour that no frame can draw, so the drawing
    // can leave them out by colour.
    std::vector<std::uint64_t> used(std::size_t(1) << 18);
    auto mark = [&](std::uint32_t Rgb) { used[Rgb >> 6] |= std::uint64_t(1) << (Rgb & 63); };
    // Frames not decoded yet draw from their maps (entries past a map read
    // as grey).
    mark(0x808080);
    for (const auto& f : FFrames)
      for (Integer i = 0; i < f->FItem->ColorMap.Count; ++i) mark(ToRGB(f->FItem->ColorMap.Entry(i)));
    for (const auto& f : FFrames) {
      if (!f->FBitmap) continue;
      TBitmap& b = *f->FBitmap;
      const std::vector<TRGBQuad> table = b.GetColorTable();
      for (const TRGBQuad& q : table) mark(std::uint32_t(q.rgbRed) << 16 | q.rgbGreen << 8 | q.rgbBlue);
      if (!table.empty()) continue;
      for (Integer y = 0; y < b.GetHeight(); ++y) {
        const Byte* row = PlainRows(b.GetPixelFormat()) ? b.ScanLine(y) : nullptr;
        for (Integer x = 0; x < b.GetWidth(); ++x) {
          Integer index;
          mark(row ? RowColor(b, row, x, table, index) : ToRGB(b.GetCanvas()->GetPixel(x, y)));
        }
      }
    }
    FKey = clNone;
    for (std::uint32_t k = 0; k < (1u << 24); ++k) {
      const std::uint32_t rgb = (0xFF00FF + k * 0x010101u) & 0xFFFFFF;
      if (!(used[rgb >> 6] >> (rgb & 63) & 1)) {
        FKey = RGB(Byte(rgb >> 16), Byte(rgb >> 8), Byte(rgb));
        break;
      }
    }
    FKeyChosen = true;
  }
  const std::uint32_t key = FKey == clNone ? 0 : ToRGB(FKey);
  if (!FComposite || FComposite->GetWidth() != size.X || FComposite->GetHeight() != size.Y ||
      FComposedIndex > Index) {
    FComposite = std::make_unique<TBitmap>(size.X, size.Y, pf32bit);
    FillArea(*FComposite, TRect{0, 0, size.X, size.Y}, key);
    FSaved.reset();
    FComposedIndex = -1;
  }
  while (FComposedIndex < Index) {
    if (FComposedIndex >= 0) {
      // Dispose of the frame shown last.
      const Integer disposal = FFrames[std::size_t(FComposedIndex)]->FDisposal;
      const TRect& r = FComposedRect;
      if (disposal == 2) {
        FillArea(*FComposite, r, key);
      } else if (disposal == 3 && FSaved) {
        for (Integer y = r.Top; y < r.Bottom; ++y)
          std::memcpy(FComposite->ScanLine(y) + 4 * std::size_t(r.Left), FSaved->ScanLine(y - r.Top),
                      4 * std::size_t(r.Right - r.Left));
      }
    }
    ++FComposedIndex;
    TGIFFrame* f = FFrames[std::size_t(FComposedIndex)].get();
    TBitmap* b = f->FBitmap.get();
    const Integer w = b ? b->GetWidth() : 0, h = b ? b->GetHeight() : 0;
    const TRect r{std::clamp(f->FTopLeft.X, 0, size.X), std::clamp(f->FTopLeft.Y, 0, size.Y),
                  std::clamp(f->FTopLeft.X + w, 0, size.X), std::clamp(f->FTopLeft.Y + h, 0, size.Y)};
    FComposedRect = r;
    FSaved.reset();
    if (f->FDisposal == 3 && r.Right > r.Left && r.Bottom > r.Top) {
      FSaved = std::make_unique<TBitmap>(r.Right - r.Left, r.Bottom - r.Top, pf32bit);
      for (Integer y = r.Top; y < r.Bottom; ++y)
        std::memcpy(FSaved->ScanLine(y - r.Top), FComposite->ScanLine(y) + 4 * std::size_t(r.Left),
                    4 * std::size_t(r.Right - r.Left));
    }
    if (!b) continue;
    const std::vector<TRGBQuad> table = b->GetColorTable();
    const Integer tIndex = f->TransparentIndex();
    const bool keyed = f->FTransparentColor != clNone;
    const std::uint32_t tRgb = keyed ? ToRGB(f->FTransparentColor) : 0;
    const bool plain = PlainRows(b->GetPixelFormat());
    for (Integer y = r.Top; y < r.Bottom; ++y) {
      const Integer sy = y - f->FTopLeft.Y;
      const Byte* src = plain ? b->ScanLine(sy) : nullptr;
      auto* dst = reinterpret_cast<std::uint32_t*>(FComposite->ScanLine(y));
      for (Integer x = r.Left; x < r.Right; ++x) {
        const Integer sx = x - f->FTopLeft.X;
        Integer index = -1;
        const std::uint32_t rgb = src ? RowColor(*b, src, sx, table, index) : ToRGB(b->GetCanvas()->GetPixel(sx, sy));
        if (keyed && (tIndex >= 0 ? index == tIndex : rgb == tRgb)) continue;
        dst[x] = rgb;
      }
    }
  }
  return FComposite.get();
}

// ---- animation

void TGIFImage::SetAnimate(bool Value) {
  FAnimate = Value;
  if (!Value) {
    if (FTimer) FTimer->SetEnabled(false);
    return;
  }
  if (!FTimer) {
    FTimer = std::make_unique<TTimer>();
    FTimer->SetEnabled(false);
    FTimer->SetOnTimer([this](TObject* Sender) { Step(Sender); });
  }
  FPlaysDone = 0;
  if (FFrameIndex < 0 && !FFrames.empty()) SetFrameIndex(0);
  ArmTimer();
}

void TGIFImage::ArmTimer() {
  if (!FTimer) return;
  if (!FAnimate || FFrames.size() < 2) {
    FTimer->SetEnabled(false);
    return;
  }
  const Integer delay = FFrames[std::size_t(std::max<Integer>(FFrameIndex, 0))]->FAnimateInterval;
  FTimer->SetInterval(Cardinal(delay > 0 ? delay : 100));
  FTimer->SetEnabled(true);
}

void TGIFImage::Step(TObject*) {
  if (!FAnimate || FFrames.size() < 2) return;
  Integer next = FFrameIndex + 1;
  if (next >= GetCount()) {
    ++FPlaysDone;
    if (!FLooping || (FRepeatCount != 0 && FPlaysDone > FRepeatCount)) {
      FAnimate = false;
      FTimer->SetEnabled(false);
      return;
    }
    next = 0;
  }
  SetFrameIndex(next);
  ArmTimer();
}

// ---- registration with the picture objects

namespace {

struct Registration {
  Registration() {
    CF_GIF();
    TPicture::RegisterFileFormat<TGIFImage>("gif", "CompuServe GIF Image");
  }
  ~Registration() { TPicture::UnregisterGraphicClass<TGIFImage>(); }
} gRegistration;

}  // namespace
