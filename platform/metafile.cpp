#include "platform/metafile.h"

#include <QImage>
#include <QPainter>
#include <QPolygonF>

#include <fstream>
#include <iterator>

namespace {

Cardinal U32(const Byte* p) { return Cardinal(p[0]) | Cardinal(p[1]) << 8 | Cardinal(p[2]) << 16 | Cardinal(p[3]) << 24; }
Integer S32(const Byte* p) { return Integer(U32(p)); }
Word U16(const Byte* p) { return Word(p[0] | p[1] << 8); }
SmallInt S16(const Byte* p) { return SmallInt(U16(p)); }

constexpr Cardinal kPlaceable = 0x9AC6CDD7u;
constexpr Cardinal kEmfSignature = 0x464D4520u;  // " EMF"
// Handles a metafile may make; more are not followed.
constexpr size_t kMaxObjects = 4096;
// The largest side a metafile may state, in pixels.
constexpr Int64 kMaxSide = 1 << 20;

struct TObject {
  enum { None, Pen, Brush, Other } Kind = None;  // None: a free slot
  QColor Colour;
  bool Null = false;  // a null pen or a hollow brush
  int Width = 0;
};

// The state of a playback: the mapping from logical units to pixels of the
// target, the current position, the objects and the selected pen and brush.
struct TPlayer {
  QPainter* P = nullptr;
  bool Enhanced = false;
  double Tw = 0, Th = 0;  // target size in pixels
  double Ox = 0, Oy = 0, Fw = 1, Fh = 1;  // the picture's frame (EMF: device units, WMF: logical)
  double WinOX = 0, WinOY = 0, WinEX = 0, WinEY = 0;
  double VpOX = 0, VpOY = 0, VpEX = 0, VpEY = 0;
  QPointF Cur;
  std::vector<TObject> Objects;
  TObject Pen{TObject::Pen, Qt::black, false, 0};
  TObject Brush{TObject::Brush, Qt::white, false, 0};

  // Logical units to target pixels. EMF: through the window and viewport
  // (when both are set) to device units, then the frame onto the target.
  // WMF: the window (when set, else the frame) onto the target.
  QPointF Map(double X, double Y) const {
    if (Enhanced) {
      if (WinEX != 0 && WinEY != 0 && VpEX != 0 && VpEY != 0) {
        X = (X - WinOX) * VpEX / WinEX + VpOX;
        Y = (Y - WinOY) * VpEY / WinEY + VpOY;
      }
      return QPointF((X - Ox) * Tw / Fw, (Y - Oy) * Th / Fh);
    }
    if (WinEX != 0 && WinEY != 0) return QPointF((X - WinOX) * Tw / WinEX, (Y - WinOY) * Th / WinEY);
    return QPointF((X - Ox) * Tw / Fw, (Y - Oy) * Th / Fh);
  }
  void Apply() {
    if (Pen.Null)
      P->setPen(Qt::NoPen);
    else
      P->setPen(QPen(Pen.Colour, std::max(1.0, Pen.Width * std::abs(Tw / Fw))));
    P->setBrush(Brush.Null ? QBrush(Qt::NoBrush) : QBrush(Brush.Colour));
  }
  void Add(const TObject& O) {
    for (auto& slot : Objects)
      if (slot.Kind == TObject::None) return void(slot = O);
    if (Objects.size() < kMaxObjects) Objects.push_back(O);
  }
  void Select(Cardinal Index) {
    if (Index >= Objects.size()) return;  // stock objects and bad handles
    const TObject& o = Objects[Index];
    if (o.Kind == TObject::Pen) Pen = o;
    if (o.Kind == TObject::Brush) Brush = o;
    Apply();
  }
  void Delete(Cardinal Index) {
    if (Index < Objects.size()) Objects[Index] = TObject();
  }
};

QColor Colorref(Cardinal C) { return QColor(int(C & 0xFF), int(C >> 8 & 0xFF), int(C >> 16 & 0xFF)); }

void PlayEmf(TPlayer& T, const Byte* D, size_t N) {
  size_t pos = 0;
  while (pos + 8 <= N) {
    const Cardinal type = U32(D + pos), size = U32(D + pos + 4);
    if (size < 8 || size % 4 != 0 || size > N - pos) return;
    const Byte* r = D + pos + 8;
    const size_t len = size - 8;
    auto points = [&](size_t At, bool Short) {
      QPolygonF poly;
      if (len < At + 4) return poly;
      const Cardinal count = U32(r + At);
      const size_t each = Short ? 4 : 8;
      if (count > (len - At - 4) / each) return poly;
      for (Cardinal i = 0; i < count; ++i) {
        const Byte* p = r + At + 4 + i * each;
        poly << (Short ? T.Map(S16(p), S16(p + 2)) : T.Map(S32(p), S32(p + 4)));
      }
      return poly;
    };
    switch (type) {
      case 14: return;  // end of file
      case 3: case 86: T.P->drawPolygon(points(16, type == 86)); break;
      case 4: case 87: T.P->drawPolyline(points(16, type == 87)); break;
      case 9: if (len >= 8) T.WinEX = S32(r), T.WinEY = S32(r + 4); break;
      case 10: if (len >= 8) T.WinOX = S32(r), T.WinOY = S32(r + 4); break;
      case 11: if (len >= 8) T.VpEX = S32(r), T.VpEY = S32(r + 4); break;
      case 12: if (len >= 8) T.VpOX = S32(r), T.VpOY = S32(r + 4); break;
      case 27: if (len >= 8) T.Cur = T.Map(S32(r), S32(r + 4)); break;
      case 54:
        if (len >= 8) {
          const QPointF to = T.Map(S32(r), S32(r + 4));
          T.P->drawLine(T.Cur, to);
          T.Cur = to;
        }
        break;
      case 42: case 43:
        if (len >= 16) {
          const QRectF rc(T.Map(S32(r), S32(r + 4)), T.Map(S32(r + 8), S32(r + 12)));
          type == 42 ? T.P->drawEllipse(rc.normalized()) : T.P->drawRect(rc.normalized());
        }
        break;
      case 38:  // CREATEPEN: handle, style, width (x, y), colour
        if (len >= 20 && U32(r) < kMaxObjects) {
          T.Objects.resize(std::max<size_t>(T.Objects.size(), U32(r) + 1));
          T.Objects[U32(r)] = {TObject::Pen, Colorref(U32(r + 16)), (U32(r + 4) & 0xF) == 5, S32(r + 8)};
        }
        break;
      case 39:  // CREATEBRUSHINDIRECT: handle, style, colour, hatch
        if (len >= 16 && U32(r) < kMaxObjects) {
          T.Objects.resize(std::max<size_t>(T.Objects.size(), U32(r) + 1));
          T.Objects[U32(r)] = {TObject::Brush, Colorref(U32(r + 8)), U32(r + 4) == 1, 0};
        }
        break;
      case 37: if (len >= 4) T.Select(U32(r)); break;
      case 40: if (len >= 4) T.Delete(U32(r)); break;
      default: break;
    }
    pos += size;
  }
}

void PlayWmf(TPlayer& T, const Byte* D, size_t N, size_t Start) {
  size_t pos = Start;
  while (pos + 6 <= N) {
    const Cardinal words = U32(D + pos);
    const Word fn = U16(D + pos + 4);
    if (words < 3 || words > (N - pos) / 2) return;
    const Byte* r = D + pos + 6;  // parameters, in reverse order for most records
    const size_t len = size_t(words) * 2 - 6;
    auto polygon = [&] {
      QPolygonF poly;
      if (len < 2) return poly;
      const size_t count = U16(r);
      if (count > (len - 2) / 4) return poly;
      for (size_t i = 0; i < count; ++i) poly << T.Map(S16(r + 2 + 4 * i), S16(r + 4 + 4 * i));
      return poly;
    };
    switch (fn) {
      case 0: return;
      case 0x020B: if (len >= 4) T.WinOY = S16(r), T.WinOX = S16(r + 2); break;
      case 0x020C: if (len >= 4) T.WinEY = S16(r), T.WinEX = S16(r + 2); break;
      case 0x0214: if (len >= 4) T.Cur = T.Map(S16(r + 2), S16(r)); break;
      case 0x0213:
        if (len >= 4) {
          const QPointF to = T.Map(S16(r + 2), S16(r));
          T.P->drawLine(T.Cur, to);
          T.Cur = to;
        }
        break;
      case 0x0324: T.P->drawPolygon(polygon()); break;
      case 0x0325: T.P->drawPolyline(polygon()); break;
      case 0x041B: case 0x0418:  // bottom, right, top, left
        if (len >= 8) {
          const QRectF rc(T.Map(S16(r + 6), S16(r + 4)), T.Map(S16(r + 2), S16(r)));
          fn == 0x0418 ? T.P->drawEllipse(rc.normalized()) : T.P->drawRect(rc.normalized());
        }
        break;
      case 0x02FA:  // pen: style, width (x, y), colour
        if (len >= 10) T.Add({TObject::Pen, Colorref(U32(r + 6)), (U16(r) & 0xF) == 5, S16(r + 2)});
        else T.Add({TObject::Pen, Qt::black, false, 0});
        break;
      case 0x02FC:  // brush: style, colour, hatch
        if (len >= 6) T.Add({TObject::Brush, Colorref(U32(r + 2)), U16(r) == 1, 0});
        else T.Add({TObject::Brush, Qt::white, false, 0});
        break;
      case 0x00F7: case 0x01F9: case 0x0142: case 0x06FF: case 0x02FB:
        T.Add({TObject::Other, Qt::black, false, 0});  // palettes, patterns, regions, fonts hold a slot
        break;
      case 0x012D: if (len >= 2) T.Select(U16(r)); break;
      case 0x01F0: if (len >= 2) T.Delete(U16(r)); break;
      default: break;
    }
    pos += size_t(words) * 2;
  }
}

}  // namespace

bool TMetafile::LoadFromFile(const String& FileName) {
  std::ifstream f(FileName, std::ios::binary);
  if (!f) {
    FError = "cannot open \"" + FileName + "\"";
    return false;
  }
  return LoadFromBytes(std::vector<Byte>(std::istreambuf_iterator<char>(f), {}));
}

bool TMetafile::LoadFromBytes(std::vector<Byte> Data) {
  FData = std::move(Data);
  FWidth = FHeight = 0;
  const Byte* d = FData.data();
  const size_t n = FData.size();
  auto fail = [&](const char* Why) {
    FError = Why;
    FData.clear();
    FWidth = FHeight = 0;
    return false;
  };
  Int64 w = 0, h = 0;
  if (n >= 88 && U32(d) == 1 && U32(d + 40) == kEmfSignature) {
    FEnhanced = true;
    FLeft = S32(d + 8);
    FTop = S32(d + 12);
    w = Int64(S32(d + 16)) - FLeft + 1;
    h = Int64(S32(d + 20)) - FTop + 1;
    FFrameW = double(w);
    FFrameH = double(h);
  } else if (n >= 22 + 18 && U32(d) == kPlaceable) {
    FEnhanced = false;
    const Int64 inch = U16(d + 14) ? U16(d + 14) : 1440;
    FLeft = S16(d + 6);
    FTop = S16(d + 8);
    FFrameW = double(Int64(S16(d + 10)) - FLeft);
    FFrameH = double(Int64(S16(d + 12)) - FTop);
    w = Int64(FFrameW) * 96 / inch;
    h = Int64(FFrameH) * 96 / inch;
  } else if (n >= 18 && U16(d) == 1 && U16(d + 2) == 9) {
    // No bounds of its own: the first window extent is the picture.
    FEnhanced = false;
    for (size_t pos = 18; pos + 6 <= n;) {
      const Cardinal words = U32(d + pos);
      if (words < 3 || words > (n - pos) / 2) break;
      if (U16(d + pos + 4) == 0x020C && words >= 5) {
        h = S16(d + pos + 6);
        w = S16(d + pos + 8);
        FFrameW = double(w);
        FFrameH = double(h);
        break;
      }
      pos += size_t(words) * 2;
    }
    FLeft = FTop = 0;
  } else {
    return fail("no metafile");
  }
  if (w <= 0 || h <= 0) return fail("the metafile states no size");
  if (w > kMaxSide || h > kMaxSide) return fail("the metafile states a size past any picture");
  FWidth = Integer(w);
  FHeight = Integer(h);
  FError.clear();
  return true;
}

void TMetafile::Play(Byte* Pixels, Integer Width, Integer Height, Integer Stride) const {
  if (FData.empty() || !Pixels || Width <= 0 || Height <= 0) return;
  QImage img(Pixels, Width, Height, Stride, QImage::Format_BGR888);
  QPainter p(&img);
  p.setRenderHint(QPainter::Antialiasing, false);
  TPlayer t;
  t.P = &p;
  t.Enhanced = FEnhanced;
  t.Tw = Width;
  t.Th = Height;
  t.Ox = FLeft;
  t.Oy = FTop;
  t.Fw = FFrameW;
  t.Fh = FFrameH;
  t.Apply();
  if (FEnhanced) {
    PlayEmf(t, FData.data(), FData.size());
  } else {
    const size_t start = U32(FData.data()) == kPlaceable ? 22 : 0;
    if (FData.size() < start + 18) return;
    PlayWmf(t, FData.data(), FData.size(), start + size_t(U16(FData.data() + start + 2)) * 2);
  }
}
