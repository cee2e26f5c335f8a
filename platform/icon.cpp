#include "platform/icon.h"

#include <QImage>

#include <cstring>

namespace {

Cardinal U32(const Byte* p) { return Cardinal(p[0]) | Cardinal(p[1]) << 8 | Cardinal(p[2]) << 16 | Cardinal(p[3]) << 24; }
Word U16(const Byte* p) { return Word(p[0] | p[1] << 8); }

constexpr Int64 kMaxSide = 256;

// The image of a directory entry: a bitmap header with the colour rows
// (bottom-up), then the 1-bit mask rows of the same height.
QImage DecodeDib(const Byte* D, size_t N) {
  if (N < 40 || U32(D) < 40 || U32(D) > N) return {};
  const Int64 w = Integer(U32(D + 4)), h2 = Integer(U32(D + 8));
  const Cardinal bits = U16(D + 14), compression = U32(D + 16), used = U32(D + 32);
  if (compression != 0 || w <= 0 || h2 <= 0 || w > kMaxSide) return {};
  const Int64 h = h2 / 2;  // the colour rows and the mask rows
  if (h <= 0 || h > kMaxSide) return {};
  if (bits != 1 && bits != 4 && bits != 8 && bits != 24 && bits != 32) return {};
  size_t at = U32(D);
  std::vector<QRgb> table;
  if (bits <= 8) {
    const size_t n = used && used < (1u << bits) ? used : size_t(1) << bits;
    if (n * 4 > N - at) return {};
    table.assign(size_t(1) << bits, qRgb(0, 0, 0));
    for (size_t i = 0; i < n; ++i) table[i] = qRgb(D[at + 4 * i + 2], D[at + 4 * i + 1], D[at + 4 * i]);
    at += n * 4;
  }
  const Int64 stride = (w * bits + 31) / 32 * 4, maskStride = (w + 31) / 32 * 4;
  if (Int64(N - at) < stride * h) return {};
  const Byte* colour = D + at;
  const bool hasMask = Int64(N - at) - stride * h >= maskStride * h;
  const Byte* mask = colour + stride * h;
  bool anyAlpha = false;
  if (bits == 32)
    for (Int64 y = 0; y < h && !anyAlpha; ++y)
      for (Int64 x = 0; x < w; ++x)
        if (colour[y * stride + 4 * x + 3]) anyAlpha = true;
  QImage img(int(w), int(h), QImage::Format_ARGB32);
  if (img.isNull()) return {};
  for (Int64 y = 0; y < h; ++y) {
    const Byte* row = colour + (h - 1 - y) * stride;
    const Byte* mrow = mask + (h - 1 - y) * maskStride;
    QRgb* out = reinterpret_cast<QRgb*>(img.scanLine(int(y)));
    for (Int64 x = 0; x < w; ++x) {
      QRgb c;
      switch (bits) {
        case 1: c = table[row[x >> 3] >> (7 - (x & 7)) & 1]; break;
        case 4: c = table[row[x >> 1] >> (x & 1 ? 0 : 4) & 15]; break;
        case 8: c = table[row[x]]; break;
        case 24: c = qRgb(row[3 * x + 2], row[3 * x + 1], row[3 * x]); break;
        default: c = qRgba(row[4 * x + 2], row[4 * x + 1], row[4 * x], row[4 * x + 3]);
      }
      if (!anyAlpha) {
        const bool clear = hasMask && (mrow[x >> 3] >> (7 - (x & 7)) & 1);
        c = clear ? qRgba(qRed(c), qGreen(c), qBlue(c), 0) : (c | 0xFF000000u);
      }
      out[x] = c;
    }
  }
  return img;
}

}  // namespace

QImage DecodeIconImage(const Byte* Data, size_t Size) {
  if (!Data || Size < 6 + 16 || U16(Data) != 0 || (U16(Data + 2) != 1 && U16(Data + 2) != 2) || U16(Data + 4) == 0)
    return {};
  const Cardinal bytes = U32(Data + 6 + 8), offset = U32(Data + 6 + 12);
  if (offset > Size || bytes > Size - offset || bytes < 8) return {};
  const Byte* img = Data + offset;
  static const Byte kPng[8] = {0x89, 'P', 'N', 'G', '\r', '\n', 0x1A, '\n'};
  if (std::memcmp(img, kPng, 8) == 0) {
    // Compressed images state their size before any pixels are made.
    if (bytes < 24 || U32(img + 16) == 0 || U32(img + 20) == 0) return {};
    const Cardinal w = Cardinal(img[16]) << 24 | Cardinal(img[17]) << 16 | Cardinal(img[18]) << 8 | img[19];
    const Cardinal h = Cardinal(img[20]) << 24 | Cardinal(img[21]) << 16 | Cardinal(img[22]) << 8 | img[23];
    if (w > kMaxSide || h > kMaxSide) return {};
    QImage q = QImage::fromData(img, int(bytes), "PNG");
    return q.isNull() ? q : q.convertToFormat(QImage::Format_ARGB32);
  }
  return DecodeDib(img, bytes);
}

TIcon::TIcon() = default;
TIcon::~TIcon() = default;

const std::vector<Byte>& TIcon::GetData() const {
  static const std::vector<Byte> none;
  return FState ? FState->Data : none;
}

Integer TIcon::GetWidth() const { return FState ? FState->Image.GetWidth() : 0; }
Integer TIcon::GetHeight() const { return FState ? FState->Image.GetHeight() : 0; }
void TIcon::SetWidth(Integer) { throw EInvalidGraphic("Cannot change the size of an icon"); }
void TIcon::SetHeight(Integer) { throw EInvalidGraphic("Cannot change the size of an icon"); }

void TIcon::Draw(TCanvas* ACanvas, const TRect& Rect) {
  if (!ACanvas || !FState) return;
  TBitmap& b = FState->Image;
  ACanvas->CopyFromSurface(Rect, &b, TRect{0, 0, b.GetWidth(), b.GetHeight()}, FState->Key);
}

std::unique_ptr<TGraphic> TIcon::Clone() const {
  auto c = std::make_unique<TIcon>();
  c->FState = FState;
  return c;
}

void TIcon::LoadFromStream(TStream* Stream) {
  const Int64 left = Stream->GetSize() - Stream->GetPosition();
  if (left <= 0 || left > (Int64(1) << 28)) throw EInvalidGraphic("Invalid icon");
  auto state = std::make_shared<TState>();
  state->Data.resize(static_cast<size_t>(left));
  Stream->ReadBuffer(state->Data.data(), left);
  const QImage img = DecodeIconImage(state->Data.data(), state->Data.size());
  if (img.isNull()) throw EInvalidGraphic("Invalid icon");
  // Transparent pixels take a colour no opaque pixel has.
  static const TColor keys[] = {clFuchsia, 0x00FE01, 0x01FEFE, 0xFE0001, 0x010101, 0xFEFE01, 0x7F017F, 0x017F7F};
  bool used[8] = {};
  for (int y = 0; y < img.height(); ++y)
    for (int x = 0; x < img.width(); ++x) {
      const QRgb c = img.pixel(x, y);
      if (qAlpha(c) < 128) continue;
      const TColor t = RGB(Byte(qRed(c)), Byte(qGreen(c)), Byte(qBlue(c)));
      for (size_t k = 0; k < 8; ++k)
        if (keys[k] == t) used[k] = true;
    }
  TColor key = clFuchsia;
  for (size_t k = 0; k < 8; ++k)
    if (!used[k]) {
      key = keys[k];
      break;
    }
  QImage flat(img.size(), QImage::Format_RGB32);
  for (int y = 0; y < img.height(); ++y)
    for (int x = 0; x < img.width(); ++x) {
      const QRgb c = img.pixel(x, y);
      flat.setPixel(x, y, qAlpha(c) < 128 ? qRgb(int(key & 0xFF), int(key >> 8 & 0xFF), int(key >> 16 & 0xFF)) : c);
    }
  state->Image.FromQImage(flat);
  state->Image.SetPixelFormat(pf24bit);
  state->Key = key;
  FState = std::move(state);
  Changed();
}

void TIcon::SaveToStream(TStream* Stream) {
  if (FState && !FState->Data.empty()) Stream->WriteBuffer(FState->Data.data(), Int64(FState->Data.size()));
}

void TIcon::Assign(TPersistent* Source) {
  if (!Source) {
    FState.reset();
    Changed();
    return;
  }
  if (auto* i = dynamic_cast<TIcon*>(Source)) {
    if (i == this) return;
    FState = i->FState;
    Changed();
    return;
  }
  TGraphic::Assign(Source);
}

void TIcon::AssignTo(TPersistent* Dest) {
  if (auto* b = dynamic_cast<TBitmap*>(Dest)) {
    if (!FState) {
      b->SetSize(0, 0);
      return;
    }
    b->Assign(&FState->Image);
    b->SetTransparentColor(FState->Key);
    b->SetTransparent(true);
    return;
  }
  TGraphic::AssignTo(Dest);
}
