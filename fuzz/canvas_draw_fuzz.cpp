// Fuzz target for the canvas rasteriser: any sequence of drawing calls with
// any coordinates, pens, brushes, modes and clips on any pixel format must
// never crash, hang or write outside the surface.
#include <cstddef>
#include <cstdint>
#include <cstring>
#include <vector>

#include "platform/graphics.h"

namespace {

// Reads little-endian values from the input, zeros past its end.
class Input {
 public:
  Input(const std::uint8_t* d, std::size_t n) : d_(d), n_(n) {}
  bool More() const { return i_ < n_; }
  std::uint8_t Byte() { return i_ < n_ ? d_[i_++] : 0; }
  Integer Int() {
    // Mostly small coordinates, sometimes extreme ones.
    const std::uint8_t kind = Byte();
    if (kind < 200) return static_cast<Integer>(Byte()) - 64;
    std::uint32_t v = 0;
    for (int k = 0; k < 4; ++k) v |= static_cast<std::uint32_t>(Byte()) << (8 * k);
    return static_cast<Integer>(v);
  }

 private:
  const std::uint8_t* d_;
  std::size_t n_, i_ = 0;
};

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  Input in(data, size);
  static const TPixelFormat formats[] = {pf1bit, pf4bit, pf8bit, pf15bit, pf16bit, pf24bit, pf32bit};
  TBitmap b(1 + in.Byte() % 40, 1 + in.Byte() % 40, formats[in.Byte() % 7]);
  TBitmap other(1 + in.Byte() % 20, 1 + in.Byte() % 20, formats[in.Byte() % 7]);
  TCanvas* c = b.GetCanvas();
  for (int step = 0; step < 64 && in.More(); ++step) {
    const std::uint8_t op = in.Byte();
    switch (op % 20) {
      case 0: c->GetPen()->SetMode(static_cast<TPenMode>(in.Byte() % 16)); break;
      case 1: c->GetPen()->SetStyle(static_cast<TPenStyle>(in.Byte() % 7)); break;
      case 2: c->GetPen()->SetWidth(in.Byte() % 12); break;
      case 3: c->GetBrush()->SetStyle(static_cast<TBrushStyle>(in.Byte() % 8)); break;
      case 4: c->GetPen()->SetColor(in.Int()); c->GetBrush()->SetColor(in.Int()); break;
      case 5: c->SetClipRect(Rect(in.Int(), in.Int(), in.Int(), in.Int())); break;
      case 6: c->ResetClipRect(); break;
      case 7: c->MoveTo(in.Int(), in.Int()); c->LineTo(in.Int(), in.Int()); break;
      case 8: c->Rectangle(in.Int(), in.Int(), in.Int(), in.Int()); break;
      case 9: c->Ellipse(in.Int(), in.Int(), in.Int(), in.Int()); break;
      case 10: c->RoundRect(in.Int(), in.Int(), in.Int(), in.Int(), in.Int(), in.Int()); break;
      case 11: {
        const Integer a[8] = {in.Int(), in.Int(), in.Int(), in.Int(), in.Int(), in.Int(), in.Int(), in.Int()};
        if (op & 0x20) c->Pie(a[0], a[1], a[2], a[3], a[4], a[5], a[6], a[7]);
        else if (op & 0x40) c->Chord(a[0], a[1], a[2], a[3], a[4], a[5], a[6], a[7]);
        else c->Arc(a[0], a[1], a[2], a[3], a[4], a[5], a[6], a[7]);
        break;
      }
      case 12: {
        std::vector<TPoint> pts(in.Byte() % 8);
        for (TPoint& p : pts) p = TPoint{in.Int(), in.Int()};
        if (op & 0x20) c->Polygon(pts);
        else if (op & 0x40) c->SetClipRegion(pts);
        else c->Polyline(pts);
        break;
      }
      case 13: c->FillRect(Rect(in.Int(), in.Int(), in.Int(), in.Int())); break;
      case 14: c->FrameRect(Rect(in.Int(), in.Int(), in.Int(), in.Int())); break;
      case 15: c->SetPixel(in.Int(), in.Int(), in.Int()); (void)c->GetPixel(in.Int(), in.Int()); break;
      case 16: {
        static const TCopyMode modes[] = {cmSrcCopy, cmSrcInvert, cmSrcAnd, cmSrcPaint, cmNotSrcCopy,
                                          cmDstInvert, cmBlackness, cmWhiteness, cmPatInvert, 0x00B8074A};
        c->SetCopyMode(modes[in.Byte() % 10]);
        TCanvas* src = (op & 0x20) ? c : other.GetCanvas();
        c->CopyRect(Rect(in.Int(), in.Int(), in.Int(), in.Int()), src, Rect(in.Int(), in.Int(), in.Int(), in.Int()));
        break;
      }
      case 17: b.SetPixelFormat(formats[in.Byte() % 7]); break;
      case 18: {
        TRect r = Rect(in.Int(), in.Int(), in.Int(), in.Int());
        DrawEdge(c, r, in.Byte(), in.Byte() | BF_ADJUST);
        break;
      }
      case 19: other.SetTransparent(op & 1); c->StretchDraw(Rect(in.Int(), in.Int(), in.Int(), in.Int()), &other); break;
    }
  }
  return 0;
}
