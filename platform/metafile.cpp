#include "platform/metafile.h"

#include "platform/metafile_draw.h"

#include <QImage>
#include <QPainter>
#include <QPolygonF>

#include <cmath>
#include <cstring>
#include <optional>

#include <fstream>
#include <iterator>

namespace {

Cardinal U32(const Byte* p) { return Cardinal(p[0]) | Cardinal(p[1]) << 8 | Cardinal(p[2]) << 16 | Cardinal(p[3]) << 24; }
Integer S32(const Byte* p) { return Integer(U32(p)); }
Word U16(const Byte* p) { return Word(p[0] | p[1] << 8); }
SmallInt S16(const Byte* p) { return SmallInt(U16(p)); }

constexpr Cardinal kPlaceable = 0x9AC6CDD7u;
constexpr Cardinal kEmfSignature = 0x464D4520u;  // " EMF"
// The largest side a metafile may state, in pixels.
constexpr Int64 kMaxSide = 1 << 20;
// Characters of one text record that are drawn.
constexpr size_t kMaxText = 8192;

using metafile::Object;
using metafile::Player;

QColor Colorref(Cardinal C) { return QColor(int(C & 0xFF), int(C >> 8 & 0xFF), int(C >> 16 & 0xFF)); }

float F32(const Byte* p) {
  const Cardinal v = U32(p);
  float f;
  std::memcpy(&f, &v, 4);
  return f;
}

// A rectangle of four 32-bit values: left, top, right, bottom.
QRectF Rect32(const Byte* p) { return QRectF(QPointF(S32(p), S32(p + 4)), QPointF(S32(p + 8), S32(p + 12))); }

// The rectangles of a region's data (device units); empty when cut.
std::vector<QRectF> RegionRects(const Byte* p, size_t Len) {
  std::vector<QRectF> out;
  if (Len < 32) return out;
  const Cardinal count = U32(p + 8);
  if (count > (Len - 32) / 16) return out;
  for (Cardinal i = 0; i < count; ++i) out.push_back(Rect32(p + 32 + 16 * i));
  return out;
}

// Pen and brush records of the enhanced kind.
Object Pen(Cardinal Style, double Width, Cardinal Colour) {
  Object o{Object::Pen, Colorref(Colour), (Style & 0xF) == 5};
  o.Width = Width;
  o.Style = Style;
  return o;
}

Object Brush(Cardinal Style, Cardinal Colour, Cardinal Hatch) {
  Object o{Object::Brush, Colorref(Colour), Style == 1};
  if (Style == 2) o.Hatch = int(std::min<Cardinal>(Hatch, 6));
  return o;
}

// A font from the fields the two kinds share: height, width, escapement,
// orientation, weight, then the italic, underline and strike-out bytes.
Object Font(double Height, int Escapement, int Weight, const Byte* Flags, QString Face) {
  Object o{Object::Font};
  o.Height = Height;
  o.Escapement = Escapement;
  o.Weight = Weight;
  o.Italic = Flags[0], o.Underline = Flags[1], o.StrikeOut = Flags[2];
  o.Face = std::move(Face);
  return o;
}

// A bitmap a record carries at offsets from its start: null when the
// offsets or sizes leave the record.
QImage RecordDib(const Byte* Rec, size_t Size, Cardinal OffInfo, Cardinal InfoLen, Cardinal OffBits, Cardinal BitsLen) {
  if (OffInfo > Size || InfoLen > Size - OffInfo || OffBits > Size || BitsLen > Size - OffBits) return {};
  return metafile::ReadDib(Rec + OffInfo, InfoLen, Rec + OffBits, BitsLen);
}

void PlayEmf(Player& T, const Byte* D, size_t N) {
  size_t pos = 0;
  while (pos + 8 <= N) {
    const Cardinal type = U32(D + pos), size = U32(D + pos + 4);
    if (size < 8 || size % 4 != 0 || size > N - pos) return;
    const Byte* rec = D + pos;
    const Byte* r = rec + 8;
    const size_t len = size - 8;
    // Points after At (count, then points), 16- or 32-bit.
    auto points = [&](size_t At, bool Short, Cardinal Count) {
      QPolygonF poly;
      const size_t each = Short ? 4 : 8;
      if (len < At || Count > (len - At) / each) return poly;
      for (Cardinal i = 0; i < Count; ++i) {
        const Byte* p = r + At + i * each;
        poly << (Short ? QPointF(S16(p), S16(p + 2)) : QPointF(S32(p), S32(p + 4)));
      }
      return poly;
    };
    auto counted = [&](bool Short) { return len >= 20 ? points(20, Short, U32(r + 16)) : QPolygonF(); };
    // Several polygons: counts, then all their points.
    auto polys = [&](bool Short) {
      std::vector<QPolygonF> out;
      if (len < 24) return out;
      const Cardinal n = U32(r + 16), total = U32(r + 20);
      if (n > (len - 24) / 4) return out;
      const QPolygonF all = points(24 + size_t(n) * 4, Short, total);
      if (all.size() != qsizetype(total)) return out;
      qsizetype at = 0;
      for (Cardinal i = 0; i < n; ++i) {
        const Cardinal c = U32(r + 24 + 4 * i);
        if (c > total - at) return std::vector<QPolygonF>();
        out.push_back(all.mid(at, c));
        at += c;
      }
      return out;
    };
    switch (type) {
      case 14: return;  // end of file
      case 2: case 85: T.PolyBezier(counted(type == 85)); break;
      case 3: case 86: T.Polygon(counted(type == 86)); break;
      case 4: case 87: T.Polyline(counted(type == 87)); break;
      case 5: case 88: T.PolyBezierTo(counted(type == 88)); break;
      case 6: case 89: T.PolylineTo(counted(type == 89)); break;
      case 7: case 90:
        for (const QPolygonF& p : polys(type == 90)) T.Polyline(p);
        break;
      case 8: case 91: T.PolyPolygon(polys(type == 91)); break;
      case 9: if (len >= 8) T.SetWindowExt(S32(r), S32(r + 4)); break;
      case 10: if (len >= 8) T.SetWindowOrg(S32(r), S32(r + 4)); break;
      case 11: if (len >= 8) T.SetViewportExt(S32(r), S32(r + 4)); break;
      case 12: if (len >= 8) T.SetViewportOrg(S32(r), S32(r + 4)); break;
      case 15: if (len >= 12) T.SetPixel(S32(r), S32(r + 4), Colorref(U32(r + 8))); break;
      case 17: if (len >= 4) T.SetMapMode(U32(r)); break;
      case 18: if (len >= 4) T.SetBkMode(U32(r)); break;
      case 19: if (len >= 4) T.SetFillMode(U32(r)); break;
      case 20: if (len >= 4) T.SetRop2(U32(r)); break;
      case 22: if (len >= 4) T.SetTextAlign(U32(r)); break;
      case 24: if (len >= 4) T.SetTextColour(Colorref(U32(r))); break;
      case 25: if (len >= 4) T.SetBkColour(Colorref(U32(r))); break;
      case 27: if (len >= 8) T.MoveTo(S32(r), S32(r + 4)); break;
      case 29: if (len >= 16) T.ExcludeClip(Rect32(r)); break;
      case 30: if (len >= 16) T.IntersectClip(Rect32(r)); break;
      case 31: if (len >= 16) T.ScaleViewportExt(S32(r), S32(r + 4), S32(r + 8), S32(r + 12)); break;
      case 32: if (len >= 16) T.ScaleWindowExt(S32(r), S32(r + 4), S32(r + 8), S32(r + 12)); break;
      case 33: T.SaveDC(); break;
      case 34: if (len >= 4) T.RestoreDC(S32(r)); break;
      case 35: case 36:  // the world transform: six floats, then a mode
        if (len >= 24) {
          const QTransform m(F32(r), F32(r + 4), F32(r + 8), F32(r + 12), F32(r + 16), F32(r + 20));
          T.WorldTransform(m, type == 35 ? 4 : len >= 28 ? U32(r + 24) : 0);
        }
        break;
      case 37: if (len >= 4) T.Select(U32(r)); break;
      case 38:  // CREATEPEN: handle, style, width (x, y), colour
        if (len >= 20) T.Put(U32(r), Pen(U32(r + 4), S32(r + 8), U32(r + 16)));
        break;
      case 39:  // CREATEBRUSHINDIRECT: handle, style, colour, hatch
        if (len >= 16) T.Put(U32(r), Brush(U32(r + 4), U32(r + 8), U32(r + 12)));
        break;
      case 40: if (len >= 4) T.Delete(U32(r)); break;
      case 41:  // ANGLEARC: centre, radius, start, sweep
        if (len >= 20) T.AngleArc(QPointF(S32(r), S32(r + 4)), U32(r + 8), F32(r + 12), F32(r + 16));
        break;
      case 42: if (len >= 16) T.Ellipse(Rect32(r)); break;
      case 43: if (len >= 16) T.Rectangle(Rect32(r)); break;
      case 44: if (len >= 24) T.RoundRect(Rect32(r), S32(r + 16), S32(r + 20)); break;
      case 45: case 46: case 47: case 55:  // arc, chord, pie, arc-to: box, start, end
        if (len >= 32)
          T.Arc(Rect32(r), QPointF(S32(r + 16), S32(r + 20)), QPointF(S32(r + 24), S32(r + 28)),
                type == 45 ? 0 : type == 46 ? 1 : type == 47 ? 2 : 3);
        break;
      case 54: if (len >= 8) T.LineTo(S32(r), S32(r + 4)); break;
      case 57: if (len >= 4) T.SetArcClockwise(U32(r) == 2); break;
      case 59: T.BeginPath(); break;
      case 60: T.EndPath(); break;
      case 61: T.CloseFigure(); break;
      case 62: T.FillPath(true, false); break;
      case 63: T.FillPath(true, true); break;
      case 64: T.FillPath(false, true); break;
      case 66: T.WidenPath(); break;
      case 67: if (len >= 4) T.SelectClipPath(U32(r)); break;
      case 68: T.AbortPath(); break;
      case 71:  // FILLRGN: bounds, data size, brush, region
        if (len >= 24 && U32(r + 16) <= len - 24) {
          const Cardinal brush = U32(r + 20);
          const Object* o = T.At(brush);
          if (o && o->Kind == Object::Brush) T.FillRegion(RegionRects(r + 24, U32(r + 16)), o);
        }
        break;
      case 74:  // PAINTRGN: bounds, data size, region
        if (len >= 20 && U32(r + 16) <= len - 20) T.FillRegion(RegionRects(r + 20, U32(r + 16)), nullptr);
        break;
      case 75:  // EXTSELECTCLIPRGN: data size, mode, region
        if (len >= 8 && U32(r) <= len - 8) T.SelectClipRegion(RegionRects(r + 8, U32(r)), U32(r + 4));
        break;
      case 76: case 77:  // BITBLT, STRETCHBLT
        if (len >= (type == 76 ? 92u : 100u)) {
          const QRectF dest(S32(r + 16), S32(r + 20), S32(r + 24), S32(r + 28));
          const Cardinal rop = U32(r + 32);
          const QImage img = RecordDib(rec, size, U32(r + 76), U32(r + 80), U32(r + 84), U32(r + 88));
          if (U32(r + 80) == 0) {
            T.PatBlt(dest, rop);
          } else if (!img.isNull()) {
            const double sw = type == 77 ? S32(r + 92) : dest.width(), sh = type == 77 ? S32(r + 96) : dest.height();
            T.Blit(dest, img, QRectF(S32(r + 36), S32(r + 40), sw, sh), rop);
          }
        }
        break;
      case 80:  // SETDIBITSTODEVICE: bounds, dest, source, sizes, bitmap, usage, scans
        if (len >= 68) {
          const QImage img = RecordDib(rec, size, U32(r + 40), U32(r + 44), U32(r + 48), U32(r + 52));
          const double w = S32(r + 32), h = S32(r + 36);
          // Source rows count from the bottom of the bitmap.
          if (!img.isNull())
            T.Blit(QRectF(S32(r + 16), S32(r + 20), w, h), img,
                   QRectF(S32(r + 24), double(img.height()) - S32(r + 28) - h, w, h), 0x00CC0020);
        }
        break;
      case 81:  // STRETCHDIBITS: bounds, dest, source, bitmap, usage, rop, dest size
        if (len >= 72) {
          const QImage img = RecordDib(rec, size, U32(r + 40), U32(r + 44), U32(r + 48), U32(r + 52));
          const double sw = S32(r + 32), sh = S32(r + 36);
          if (!img.isNull())
            T.Blit(QRectF(S32(r + 16), S32(r + 20), S32(r + 64), S32(r + 68)), img,
                   QRectF(S32(r + 24), double(img.height()) - S32(r + 28) - sh, sw, sh), U32(r + 60));
        }
        break;
      case 82:  // EXTCREATEFONTINDIRECTW: handle, then the font's fields
        if (len >= 4 + 92) {
          QString face;
          for (int i = 0; i < 32 && U16(r + 32 + 2 * i); ++i) face += QChar(U16(r + 32 + 2 * i));
          T.Put(U32(r), Font(S32(r + 4), S32(r + 12), S32(r + 20), r + 24, face));
        }
        break;
      case 83: case 84:  // EXTTEXTOUTA, EXTTEXTOUTW
        if (len >= 68) {
          const Cardinal count = std::min<Cardinal>(U32(r + 36), kMaxText), offString = U32(r + 40),
                         options = U32(r + 44), offDx = U32(r + 64);
          const size_t unit = type == 84 ? 2 : 1;
          if (offString > size || count > (size - offString) / unit) break;
          QString text;
          for (Cardinal i = 0; i < count; ++i)
            text += unit == 2 ? QChar(U16(rec + offString + 2 * i)) : QChar(rec[offString + i]);
          // One advance per character (two values each with the vertical option).
          std::vector<double> dx;
          const size_t step = options & 0x2000 ? 8 : 4;
          if (offDx && offDx <= size && count <= (size - offDx) / step)
            for (Cardinal i = 0; i < count; ++i) dx.push_back(S32(rec + offDx + i * step));
          T.Text(S32(r + 28), S32(r + 32), text, dx, options, Rect32(r + 48));
        }
        break;
      case 94:  // CREATEDIBPATTERNBRUSHPT: handle, usage, bitmap
        if (len >= 24) {
          Object o{Object::Brush};
          o.Pattern = RecordDib(rec, size, U32(r + 8), U32(r + 12), U32(r + 16), U32(r + 20));
          if (!o.Pattern.isNull()) T.Put(U32(r), o);
        }
        break;
      case 95:  // EXTCREATEPEN: handle, bitmap, style, width, brush style, colour
        if (len >= 36) {
          Object o = Pen(U32(r + 20), U32(r + 24), U32(r + 32));
          o.Null = o.Null || U32(r + 28) == 1;
          // Cosmetic pens are one pixel wide whatever they state.
          if (!(U32(r + 20) & 0x10000)) o.Width = 0;
          T.Put(U32(r), o);
        }
        break;
      default: break;
    }
    pos += size;
  }
}

void PlayWmf(Player& T, const Byte* D, size_t N, size_t Start) {
  size_t pos = Start;
  while (pos + 6 <= N) {
    const Cardinal words = U32(D + pos);
    const Word fn = U16(D + pos + 4);
    if (words < 3 || words > (N - pos) / 2) return;
    const Byte* r = D + pos + 6;  // parameters, in reverse order for most records
    const size_t len = size_t(words) * 2 - 6;
    auto at = [&](size_t I) { return double(S16(r + 2 * I)); };  // the I-th 16-bit parameter
    // Points: a count at Off, then x, y pairs.
    auto polygon = [&](size_t Off, size_t Count) {
      QPolygonF poly;
      if (Count > (len - std::min(len, Off)) / 4) return poly;
      for (size_t i = 0; i < Count; ++i) poly << QPointF(S16(r + Off + 4 * i), S16(r + Off + 2 + 4 * i));
      return poly;
    };
    // A rectangle stored bottom, right, top, left from parameter I.
    auto box = [&](size_t I) { return QRectF(QPointF(at(I + 3), at(I + 2)), QPointF(at(I + 1), at(I))); };
    // A packed bitmap after Off bytes of parameters.
    auto dib = [&](size_t Off) {
      if (len <= Off) return QImage();
      const size_t info = metafile::DibInfoSize(r + Off, len - Off);
      if (!info || info > len - Off) return QImage();
      return metafile::ReadDib(r + Off, len - Off, r + Off + info, len - Off - info);
    };
    const bool noBitmap = words == Cardinal(fn >> 8) + 3;
    switch (fn) {
      case 0: return;
      case 0x001E: T.SaveDC(); break;
      case 0x0102: if (len >= 2) T.SetBkMode(U16(r)); break;
      case 0x0104: if (len >= 2) T.SetRop2(U16(r)); break;
      case 0x0106: if (len >= 2) T.SetFillMode(U16(r)); break;
      case 0x012E: if (len >= 2) T.SetTextAlign(U16(r)); break;
      case 0x0127: if (len >= 2) T.RestoreDC(S16(r)); break;
      case 0x0201: if (len >= 4) T.SetBkColour(Colorref(U32(r))); break;
      case 0x0209: if (len >= 4) T.SetTextColour(Colorref(U32(r))); break;
      case 0x020B: if (len >= 4) T.SetWindowOrg(at(1), at(0)); break;
      case 0x020C: if (len >= 4) T.SetWindowExt(at(1), at(0)); break;
      case 0x020F: if (len >= 4) T.OffsetWindowOrg(at(1), at(0)); break;
      case 0x0410: if (len >= 8) T.ScaleWindowExt(at(3), at(2), at(1), at(0)); break;
      case 0x0214: if (len >= 4) T.MoveTo(at(1), at(0)); break;
      case 0x0213: if (len >= 4) T.LineTo(at(1), at(0)); break;
      case 0x041F: if (len >= 8) T.SetPixel(at(3), at(2), Colorref(U32(r))); break;
      case 0x0415: if (len >= 8) T.ExcludeClip(box(0)); break;
      case 0x0416: if (len >= 8) T.IntersectClip(box(0)); break;
      case 0x0324: if (len >= 2) T.Polygon(polygon(2, U16(r))); break;
      case 0x0325: if (len >= 2) T.Polyline(polygon(2, U16(r))); break;
      case 0x0538:  // POLYPOLYGON: count, the counts, the points
        if (len >= 2) {
          const size_t n = U16(r);
          if (n > (len - 2) / 2) break;
          std::vector<QPolygonF> polys;
          size_t off = 2 + 2 * n;
          for (size_t i = 0; i < n; ++i) {
            const size_t c = U16(r + 2 + 2 * i);
            polys.push_back(polygon(off, c));
            if (polys.back().size() != qsizetype(c)) break;
            off += 4 * c;
          }
          T.PolyPolygon(polys);
        }
        break;
      case 0x041B: if (len >= 8) T.Rectangle(box(0)); break;
      case 0x0418: if (len >= 8) T.Ellipse(box(0)); break;
      case 0x061C: if (len >= 12) T.RoundRect(box(2), at(1), at(0)); break;
      case 0x0817: case 0x081A: case 0x0830:  // arc, pie, chord: end, start, box
        if (len >= 16)
          T.Arc(box(4), QPointF(at(3), at(2)), QPointF(at(1), at(0)), fn == 0x0817 ? 0 : fn == 0x0830 ? 1 : 2);
        break;
      case 0x02FA:  // pen: style, width (x, y), colour
        if (len >= 10) T.Add(Pen(U16(r), S16(r + 2), U32(r + 6)));
        else T.Add(Object{Object::Pen});
        break;
      case 0x02FC:  // brush: style, colour, hatch
        if (len >= 8) T.Add(Brush(U16(r), U32(r + 2), U16(r + 6)));
        else if (len >= 6) T.Add(Brush(U16(r), U32(r + 2), 0));
        else T.Add(Object{Object::Brush, Qt::white});
        break;
      case 0x02FB:  // font: height, width, escapement, orientation, weight, flags, face
        if (len >= 18) {
          QString face;
          for (size_t i = 18; i < len && i < 18 + 32 && r[i]; ++i) face += QChar(r[i]);
          T.Add(Font(S16(r), S16(r + 4), S16(r + 8), r + 10, face));
        } else {
          T.Add(Object{Object::Font});
        }
        break;
      case 0x0142: {  // pattern brush: style, usage, bitmap
        Object o{Object::Brush};
        o.Pattern = dib(4);
        if (o.Pattern.isNull()) o.Kind = Object::Other;
        T.Add(o);
        break;
      }
      case 0x00F7: case 0x01F9: case 0x06FF:
        T.Add(Object{Object::Other});  // palettes, patterns, regions hold a slot
        break;
      case 0x012D: if (len >= 2) T.Select(U16(r)); break;
      case 0x01F0: if (len >= 2) T.Delete(U16(r)); break;
      case 0x0521:  // TEXTOUT: length, text, y, x
        if (len >= 2) {
          const size_t n = U16(r), padded = (n + 1) & ~size_t(1);
          if (padded > len - 2 || len - 2 - padded < 4) break;
          QString text;
          for (size_t i = 0; i < std::min(n, kMaxText); ++i) text += QChar(r[2 + i]);
          T.Text(S16(r + 2 + padded + 2), S16(r + 2 + padded), text, {}, 0, std::nullopt);
        }
        break;
      case 0x0A32:  // EXTTEXTOUT: y, x, length, options, [box], text, [advances]
        if (len >= 8) {
          const size_t n = U16(r + 4), options = U16(r + 6);
          size_t off = 8;
          std::optional<QRectF> rect;
          if (options & (metafile::kTextOpaque | metafile::kTextClipped)) {
            if (len < 16) break;
            rect = QRectF(QPointF(S16(r + 8), S16(r + 10)), QPointF(S16(r + 12), S16(r + 14)));
            off = 16;
          }
          const size_t padded = (n + 1) & ~size_t(1);
          if (padded > len - off) break;
          QString text;
          for (size_t i = 0; i < std::min(n, kMaxText); ++i) text += QChar(r[off + i]);
          std::vector<double> dx;
          if (len - off - padded >= 2 * n)
            for (size_t i = 0; i < n; ++i) dx.push_back(S16(r + off + padded + 2 * i));
          T.Text(S16(r + 2), S16(r), text, dx, Cardinal(options), rect);
        }
        break;
      case 0x061D:  // PATBLT: operation, height, width, y, x
        if (len >= 12) T.PatBlt(QRectF(at(5), at(4), at(3), at(2)), U32(r));
        break;
      case 0x0940:  // DIBBITBLT: operation, source y, x, height, width, y, x, bitmap
        if (noBitmap && len >= 18) T.PatBlt(QRectF(at(8), at(7), at(6), at(5)), U32(r));
        else if (len >= 16) {
          const QImage img = dib(16);
          T.Blit(QRectF(at(7), at(6), at(5), at(4)), img, QRectF(at(3), at(2), at(5), at(4)), U32(r));
        }
        break;
      case 0x0B41:  // DIBSTRETCHBLT: operation, source size, y, x, size, y, x, bitmap
        if (noBitmap && len >= 22) T.PatBlt(QRectF(at(10), at(9), at(8), at(7)), U32(r));
        else if (len >= 20) {
          const QImage img = dib(20);
          T.Blit(QRectF(at(9), at(8), at(7), at(6)), img, QRectF(at(5), at(4), at(3), at(2)), U32(r));
        }
        break;
      case 0x0F43:  // STRETCHDIB: operation, usage, source size, y, x, size, y, x, bitmap
        if (len >= 22) {
          const QImage img = dib(22);
          const double sh = at(3);
          // Source rows count from the bottom of the bitmap.
          T.Blit(QRectF(at(10), at(9), at(8), at(7)), img, QRectF(at(6), img.height() - at(5) - sh, at(4), sh),
                 U32(r));
        }
        break;
      case 0x0D33:  // SETDIBTODEV: usage, scans, start, source y, x, height, width, y, x, bitmap
        if (len >= 18) {
          const QImage img = dib(18);
          const double w = at(6), h = at(5);
          T.Blit(QRectF(at(8), at(7), w, h), img, QRectF(at(4), img.height() - at(3) - h, w, h), 0x00CC0020);
        }
        break;
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
    // The picture is its frame (hundredths of a millimetre, margins
    // included), taken to the reference device's pixels; the bounds only
    // hold the ink, and stand in when the frame or the device is unusable.
    const double fl = S32(d + 24), ft = S32(d + 28), fr = S32(d + 32), fb = S32(d + 36);
    const Integer devW = S32(d + 72), devH = S32(d + 76), mmW = S32(d + 80), mmH = S32(d + 84);
    bool framed = false;
    if (fr > fl && fb > ft && devW > 0 && devH > 0 && mmW > 0 && mmH > 0) {
      const double kx = double(devW) / (double(mmW) * 100), ky = double(devH) / (double(mmH) * 100);
      const double fw = (fr - fl) * kx, fh = (fb - ft) * ky;
      if (fw >= 0.5 && fh >= 0.5 && fw <= double(kMaxSide) && fh <= double(kMaxSide)) {
        FLeft = fl * kx;
        FTop = ft * ky;
        FFrameW = fw;
        FFrameH = fh;
        w = std::llround(fw);
        h = std::llround(fh);
        framed = true;
      }
    }
    if (!framed) {
      FLeft = S32(d + 8);
      FTop = S32(d + 12);
      w = Int64(S32(d + 16)) - S32(d + 8) + 1;
      h = Int64(S32(d + 20)) - S32(d + 12) + 1;
      FFrameW = double(w);
      FFrameH = double(h);
    }
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
  // Drawn on a 32-bit copy, where the raster operations of bitmap records
  // work, and copied back.
  QImage img = QImage(Pixels, Width, Height, Stride, QImage::Format_BGR888).convertToFormat(QImage::Format_RGB32);
  if (img.isNull()) return;
  {
    QPainter p(&img);
    p.setRenderHint(QPainter::Antialiasing, false);
    const Byte* d = FData.data();
    // The reference device's pixels per millimetre, for the metric mappings.
    const bool known = FEnhanced && S32(d + 80) > 0 && S32(d + 84) > 0 && S32(d + 72) > 0 && S32(d + 76) > 0;
    Player t(p, FEnhanced, Width, Height, FLeft, FTop, FFrameW, FFrameH, known ? double(S32(d + 72)) / S32(d + 80) : 0,
             known ? double(S32(d + 76)) / S32(d + 84) : 0);
    if (FEnhanced) {
      PlayEmf(t, d, FData.size());
    } else {
      const size_t start = U32(d) == kPlaceable ? 22 : 0;
      if (FData.size() >= start + 18) PlayWmf(t, d, FData.size(), start + size_t(U16(d + start + 2)) * 2);
    }
  }
  const QImage out = img.convertToFormat(QImage::Format_BGR888);
  for (Integer y = 0; y < Height; ++y)
    std::memcpy(Pixels + size_t(y) * size_t(Stride), out.constScanLine(y), size_t(Width) * 3);
}
