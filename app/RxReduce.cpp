#include "app/RxReduce.h"

#include <algorithm>
#include <array>
#include <cstring>
#include <numeric>
#include <vector>

#include "platform/forms.h"

TReductionMethod gDefaultReductionMethod = rdExactColors;

namespace {

// Nearest level of a 4-, 6-, 7- and 8-level scale for every channel value;
// a value half-way between two levels takes the lower one.
template <std::size_t N>
std::array<Byte, 256> NearestLevels(const std::array<Byte, N>& Levels) {
  std::array<Byte, 256> t{};
  for (int v = 0; v < 256; ++v) {
    int best = 0;
    for (std::size_t i = 1; i < N; ++i)
      if (std::abs(v - Levels[i]) < std::abs(v - Levels[best])) best = int(i);
    t[v] = Byte(best);
  }
  return t;
}

const std::array<Byte, 4> kLevels4 = {0, 85, 170, 255};
const std::array<Byte, 6> kLevels6 = {0, 51, 102, 153, 204, 255};
const std::array<Byte, 7> kLevels7 = {0, 43, 85, 128, 170, 213, 255};
const std::array<Byte, 8> kLevels8 = {0, 36, 73, 109, 146, 182, 219, 255};
const std::array<Byte, 256> kNear4 = NearestLevels(kLevels4);
const std::array<Byte, 256> kNear6 = NearestLevels(kLevels6);
const std::array<Byte, 256> kNear7 = NearestLevels(kLevels7);
const std::array<Byte, 256> kNear8 = NearestLevels(kLevels8);

struct Rgb {
  Byte R, G, B;
};

/// Eight-bit indices, their palette and the colours-used field.
struct Indexed {
  std::vector<Byte> Index;
  std::array<TRGBQuad, 256> Palette{};
  Cardinal ColorsUsed = 0;
};

TRGBQuad Quad(int R, int G, int B) { return TRGBQuad{Byte(B), Byte(G), Byte(R), 0}; }

void FillGrey(Indexed& Out, int From) {
  for (int i = From; i < 256; ++i) Out.Palette[i] = Quad(128, 128, 128);
}

std::vector<Rgb> Pixels24(TBitmap* Bitmap) {
  TBitmap copy;
  copy.Assign(Bitmap);
  if (copy.GetPixelFormat() != pf24bit) copy.SetPixelFormat(pf24bit);
  const Integer w = copy.GetWidth(), h = copy.GetHeight();
  std::vector<Rgb> px(std::size_t(w) * h);
  for (Integer y = 0; y < h; ++y) {
    const Byte* row = copy.ScanLine(y);
    for (Integer x = 0; x < w; ++x) px[std::size_t(y) * w + x] = Rgb{row[3 * x + 2], row[3 * x + 1], row[3 * x]};
  }
  return px;
}

// ---- exact colours

constexpr int kHashSlots = 5191;
constexpr int kMaxColors = 2049;

struct ColorCount {
  Rgb C;
  Cardinal Count;
};

Indexed ExactColors(const std::vector<Rgb>& Px, int Wanted) {
  Byte mask[3] = {255, 255, 255};  // red, green, blue
  std::vector<ColorCount> table;
  std::vector<int> slots(kHashSlots);
  std::vector<int> slotOf(Px.size());
  for (;;) {
    table.clear();
    std::fill(slots.begin(), slots.end(), -1);
    bool full = false;
    for (std::size_t i = 0; i < Px.size() && !full; ++i) {
      const Rgb c{Byte(Px[i].R & mask[0]), Byte(Px[i].G & mask[1]), Byte(Px[i].B & mask[2])};
      int h = int((unsigned(c.R + c.G) * unsigned(c.B + c.G) * unsigned(c.R + c.B)) % kHashSlots);
      for (;;) {
        const int e = slots[h];
        if (e < 0) {
          if (int(table.size()) == kMaxColors) {
            full = true;
            break;
          }
          slots[h] = int(table.size());
          table.push_back(ColorCount{c, 1});
          slotOf[i] = slots[h];
          break;
        }
        if (table[e].C.R == c.R && table[e].C.G == c.G && table[e].C.B == c.B) {
          ++table[e].Count;
          slotOf[i] = e;
          break;
        }
        h = h == kHashSlots - 1 ? 0 : h + 1;
      }
    }
    if (!full) break;
    // One bit less precision, in turn blue, red, green.
    if (mask[0] < mask[1]) mask[1] = Byte(mask[1] << 1);
    else if (mask[2] < mask[0]) mask[0] = Byte(mask[0] << 1);
    else mask[2] = Byte(mask[2] << 1);
  }
  std::vector<int> order(table.size());
  std::iota(order.begin(), order.end(), 0);
  std::stable_sort(order.begin(), order.end(), [&](int a, int b) { return table[a].Count > table[b].Count; });
  Indexed out;
  const int kept = std::min<int>(Wanted, int(order.size()));
  for (int i = 0; i < kept; ++i) {
    const Rgb& c = table[order[i]].C;
    out.Palette[i] = Quad(c.R, c.G, c.B);
  }
  for (int i = kept; i < 256; ++i) out.Palette[i] = Quad(128, 128, 128);
  // Every table colour to its palette entry: its own, or the nearest one.
  std::vector<Byte> entry(table.size());
  for (int i = 0; i < int(order.size()); ++i) {
    if (i < kept) {
      entry[order[i]] = Byte(i);
      continue;
    }
    const Rgb& c = table[order[i]].C;
    int best = 0;
    long bestD = -1;
    for (int p = 0; p < Wanted && p < 256; ++p) {
      const TRGBQuad& q = out.Palette[p];
      const long d = long(c.R - q.rgbRed) * (c.R - q.rgbRed) + long(c.G - q.rgbGreen) * (c.G - q.rgbGreen) +
                     long(c.B - q.rgbBlue) * (c.B - q.rgbBlue);
      if (bestD < 0 || d < bestD) bestD = d, best = p;
    }
    entry[order[i]] = Byte(best);
  }
  out.Index.resize(Px.size());
  for (std::size_t i = 0; i < Px.size(); ++i) out.Index[i] = entry[slotOf[i]];
  out.ColorsUsed = Cardinal(Wanted);
  return out;
}

// ---- median cut

struct Box {
  std::vector<int> Cells;
  Cardinal Pixels = 0;
  int Lo[3] = {0, 0, 0}, Hi[3] = {255, 255, 255};
};

int CellValue(int Cell, int Axis) { return (Cell >> (8 - 4 * Axis)) & 15; }

Indexed MedianCut(const std::vector<Rgb>& Px) {
  std::vector<Cardinal> count(4096);
  for (const Rgb& p : Px) ++count[(p.R >> 4) << 8 | (p.G >> 4) << 4 | (p.B >> 4)];
  std::vector<Box> boxes(1);
  for (int c = 0; c < 4096; ++c)
    if (count[c]) boxes[0].Cells.push_back(c), boxes[0].Pixels += count[c];
  while (boxes.size() < 256) {
    int which = -1, axis = 0, extent = -1;
    for (int b = 0; b < int(boxes.size()); ++b) {
      if (boxes[b].Cells.size() <= 1) continue;
      for (int a = 0; a < 3; ++a)
        if (boxes[b].Hi[a] - boxes[b].Lo[a] > extent) extent = boxes[b].Hi[a] - boxes[b].Lo[a], which = b, axis = a;
    }
    if (which < 0) break;
    Box& old = boxes[which];
    std::stable_sort(old.Cells.begin(), old.Cells.end(),
                     [axis](int x, int y) { return CellValue(x, axis) < CellValue(y, axis); });
    std::size_t keep = 1;
    Cardinal sum = count[old.Cells[0]];
    while (keep + 1 < old.Cells.size() && sum + count[old.Cells[keep]] <= old.Pixels / 2) sum += count[old.Cells[keep++]];
    Box nb;
    nb.Cells.assign(old.Cells.begin() + long(keep), old.Cells.end());
    old.Cells.resize(keep);
    nb.Pixels = old.Pixels - sum;
    old.Pixels = sum;
    std::copy(old.Lo, old.Lo + 3, nb.Lo);
    std::copy(old.Hi, old.Hi + 3, nb.Hi);
    nb.Lo[axis] = 16 * CellValue(nb.Cells.front(), axis);
    old.Hi[axis] = 16 * CellValue(old.Cells.back(), axis);
    boxes.push_back(std::move(nb));
  }
  Indexed out;
  std::vector<Byte> boxOf(4096);
  for (int b = 0; b < int(boxes.size()); ++b) {
    int sum[3] = {0, 0, 0};
    for (int c : boxes[b].Cells) {
      boxOf[c] = Byte(b);
      for (int a = 0; a < 3; ++a) sum[a] += CellValue(c, a);
    }
    const int n = std::max<int>(1, int(boxes[b].Cells.size()));
    int v[3];
    for (int a = 0; a < 3; ++a) v[a] = std::min(255, (16 * sum[a] + 15) / n);
    if (v[0] <= 16 && v[1] <= 16 && v[2] <= 16) v[0] = v[1] = v[2] = 0;
    out.Palette[b] = Quad(v[0], v[1], v[2]);
  }
  out.Index.resize(Px.size());
  for (std::size_t i = 0; i < Px.size(); ++i)
    out.Index[i] = boxOf[(Px[i].R >> 4) << 8 | (Px[i].G >> 4) << 4 | (Px[i].B >> 4)];
  out.ColorsUsed = Cardinal(boxes.size());
  return out;
}

// ---- fixed cubes, interleave, grey

Indexed Truncate(const std::vector<Rgb>& Px, bool SixCube) {
  Indexed out;
  out.Index.resize(Px.size());
  if (SixCube) {
    for (int r = 0; r < 6; ++r)
      for (int g = 0; g < 6; ++g)
        for (int b = 0; b < 6; ++b) out.Palette[36 * r + 6 * g + b] = Quad(kLevels6[r], kLevels6[g], kLevels6[b]);
    FillGrey(out, 216);
    for (std::size_t i = 0; i < Px.size(); ++i)
      out.Index[i] = Byte(36 * kNear6[Px[i].R] + 6 * kNear6[Px[i].G] + kNear6[Px[i].B]);
    out.ColorsUsed = 216;
  } else {
    for (int r = 0; r < 7; ++r)
      for (int g = 0; g < 8; ++g)
        for (int b = 0; b < 4; ++b) out.Palette[32 * r + 4 * g + b] = Quad(kLevels7[r], kLevels8[g], kLevels4[b]);
    FillGrey(out, 224);
    for (std::size_t i = 0; i < Px.size(); ++i)
      out.Index[i] = Byte(32 * kNear7[Px[i].R] + 4 * kNear8[Px[i].G] + kNear4[Px[i].B]);
    out.ColorsUsed = 224;
  }
  return out;
}

Indexed Interleave(const std::vector<Rgb>& Px, Integer Width) {
  Indexed out;
  for (int i = 0; i < 64; ++i) {
    out.Palette[i] = Quad(4 * i, 0, 0);
    out.Palette[64 + i] = Quad(0, 4 * i, 0);
    out.Palette[128 + i] = Quad(0, 0, 4 * i);
  }
  out.Index.resize(Px.size());
  for (std::size_t i = 0; i < Px.size(); ++i) {
    const std::size_t x = i % std::size_t(Width), y = i / std::size_t(Width);
    switch ((x + y) % 3) {
      case 0: out.Index[i] = Byte(Px[i].R / 4); break;
      case 1: out.Index[i] = Byte(Px[i].G / 4 + 64); break;
      default: out.Index[i] = Byte(Px[i].B / 4 + 128); break;
    }
  }
  return out;
}

Byte Grey(const Rgb& P) { return Byte((77 * P.R + 150 * P.G + 29 * P.B) >> 8); }

Indexed Grayscale(const std::vector<Rgb>& Px) {
  Indexed out;
  for (int i = 0; i < 256; ++i) out.Palette[i] = Quad(i, i, i);
  out.Index.resize(Px.size());
  for (std::size_t i = 0; i < Px.size(); ++i) out.Index[i] = Grey(Px[i]);
  return out;
}

// ---- the file

void Put16(std::vector<Byte>& B, unsigned V) {
  B.push_back(Byte(V));
  B.push_back(Byte(V >> 8));
}
void Put32(std::vector<Byte>& B, Cardinal V) {
  Put16(B, V & 0xFFFF);
  Put16(B, V >> 16);
}

/// A bottom-up file of Bits (8 or 24) per pixel; Row(y, dst) fills row y.
template <class RowFn>
std::unique_ptr<TMemoryStream> WriteFile(Integer W, Integer H, int Bits, const TRGBQuad* Palette, Cardinal ColorsUsed,
                                         RowFn Row) {
  const std::size_t rowBytes = std::size_t((W * Bits + 31) / 32 * 4);
  const Cardinal paletteBytes = Bits <= 8 ? 4u << Bits : 0;
  const Cardinal offset = 14 + 40 + paletteBytes;
  std::vector<Byte> b;
  b.reserve(offset + rowBytes * std::size_t(H));
  b.push_back('B');
  b.push_back('M');
  Put32(b, Cardinal(offset + rowBytes * std::size_t(H)));
  Put32(b, 0);
  Put32(b, offset);
  Put32(b, 40);
  Put32(b, Cardinal(W));
  Put32(b, Cardinal(H));
  Put16(b, 1);
  Put16(b, unsigned(Bits));
  Put32(b, 0);
  Put32(b, Cardinal(rowBytes * std::size_t(H)));
  Put32(b, 0);
  Put32(b, 0);
  Put32(b, ColorsUsed);
  Put32(b, 0);
  for (Cardinal i = 0; i < paletteBytes / 4; ++i) {
    b.push_back(Palette[i].rgbBlue);
    b.push_back(Palette[i].rgbGreen);
    b.push_back(Palette[i].rgbRed);
    b.push_back(0);
  }
  std::vector<Byte> row(rowBytes);
  for (Integer y = H - 1; y >= 0; --y) {
    std::fill(row.begin(), row.end(), 0);
    Row(y, row.data());
    b.insert(b.end(), row.begin(), row.end());
  }
  auto s = std::make_unique<TMemoryStream>();
  s->WriteBuffer(b.data(), Int64(b.size()));
  s->SetPosition(0);
  return s;
}

}  // namespace

void NotImplemented() {
  if (Screen) Screen->SetCursor(crDefault);
  if (Application) Application->MessageBox("Function not yet implemented", String(), MB_OK | MB_ICONINFORMATION);
  throw EAbort("");
}

std::unique_ptr<TMemoryStream> ReduceBitmapToStream(TBitmap* Bitmap, TPixelFormat Format, TReductionMethod Method) {
  if (!Bitmap || Bitmap->GetEmpty()) throw EInvalidGraphic("Bitmap image is not valid");
  if (Format != pf1bit && Format != pf4bit && Format != pf8bit && Format != pf24bit) NotImplemented();
  if (Bitmap->GetPixelFormat() == Format && Method != rdGrayscale) {
    auto s = std::make_unique<TMemoryStream>();
    Bitmap->SaveToStream(s.get());
    s->SetPosition(0);
    return s;
  }
  const Integer w = Bitmap->GetWidth(), h = Bitmap->GetHeight();
  if (Format == pf1bit || Format == pf4bit) {
    TBitmap copy;
    copy.Assign(Bitmap);
    copy.SetPixelFormat(Format);
    auto s = std::make_unique<TMemoryStream>();
    copy.SaveToStream(s.get());
    s->SetPosition(0);
    return s;
  }
  const std::vector<Rgb> px = Pixels24(Bitmap);
  if (Format == pf24bit) {
    const bool grey = Method == rdGrayscale;
    return WriteFile(w, h, 24, nullptr, 0, [&](Integer y, Byte* dst) {
      for (Integer x = 0; x < w; ++x) {
        const Rgb& p = px[std::size_t(y) * w + x];
        const Byte g = Grey(p);
        dst[3 * x] = grey ? g : p.B;
        dst[3 * x + 1] = grey ? g : p.G;
        dst[3 * x + 2] = grey ? g : p.R;
      }
    });
  }
  Indexed ix;
  switch (Method) {
    case rdExactColors: ix = ExactColors(px, 256); break;
    case rdMedianCut: ix = MedianCut(px); break;
    case rdTruncate7R8G4B: ix = Truncate(px, false); break;
    case rdTruncate6R6G6B: ix = Truncate(px, true); break;
    case rdChannelInterleave: ix = Interleave(px, w); break;
    case rdGrayscale: ix = Grayscale(px); break;
  }
  return WriteFile(w, h, 8, ix.Palette.data(), ix.ColorsUsed, [&](Integer y, Byte* dst) {
    std::memcpy(dst, ix.Index.data() + std::size_t(y) * w, std::size_t(w));
  });
}

std::unique_ptr<TMemoryStream> ReduceBitmapColorsToStream(TBitmap* Bitmap, Integer Colors) {
  const TPixelFormat f = Colors <= 2 ? pf1bit : Colors <= 16 ? pf4bit : Colors <= 256 ? pf8bit : pf24bit;
  return ReduceBitmapToStream(Bitmap, f, gDefaultReductionMethod);
}

void ReduceBitmapColors(TBitmap* Bitmap, Integer Colors) {
  if (!Bitmap || Colors <= 0) return;
  auto s = ReduceBitmapColorsToStream(Bitmap, Colors);
  Bitmap->LoadFromStream(s.get());
}
