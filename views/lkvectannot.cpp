// Imaging annotations (the marks of TIFF tag 32932, io/lkimagingannot.h) as
// vector objects: marks become objects of a vector view and objects become
// marks, which is how annotations are shown, edited and burnt in. The I/O
// layer reaches these through its hooks, filled here when the library
// loads.
#include <cmath>
#include <cstring>

#include "core/lkbitmap.h"
#include "core/lkscreen.h"
#include "io/lkimagingannot.h"
#include "views/lumerakvect.h"

TFontStyles LKExtractStylesFromLogFont(const TLKLogFont* LogFont) {
  TFontStyles s;
  if (LogFont == nullptr) return s;
  if (LogFont->lfWeight >= 700) s.Include(fsBold);
  if (LogFont->lfItalic) s.Include(fsItalic);
  if (LogFont->lfUnderline) s.Include(fsUnderline);
  if (LogFont->lfStrikeOut) s.Include(fsStrikeOut);
  return s;
}

namespace {

TColor MarkColor(const Byte* C) { return RGB(C[2], C[1], C[0]); }

void PutMarkColor(Byte* C, TColor Color) {
  const TColor c = ColorToRGB(Color);
  C[0] = GetBValue(c);
  C[1] = GetGValue(c);
  C[2] = GetRValue(c);
  C[3] = 0;
}

TLumerakVect& VectOf(TObject* View) {
  auto* v = dynamic_cast<TLumerakVect*>(View);
  if (v == nullptr) throw EInvalidOperation("Imaging annotations convert only to and from a vector view");
  return *v;
}

// Text of a mark (lines separated by CR LF) and of an object (LF).
std::string WithoutCR(const std::string& S) {
  std::string t;
  for (char c : S)
    if (c != '\r') t.push_back(c);
  return t;
}

std::string WithCRLF(const std::string& S) {
  std::string t;
  for (char c : S) {
    if (c == '\n') t.push_back('\r');
    t.push_back(c);
  }
  return t;
}

void ToVect(TLKImagingAnnot& Annot, TLumerakVect& V) {
  for (Integer i = 0; i < Annot.GetObjectsCount(); ++i) {
    const TLKImagingObject& m = *Annot.GetObject(i);
    const TLKAnnotMarkAttributes& a = m.Attributes;
    const TRect bounds{a.Left, a.Top, a.Right, a.Bottom};
    const TColor c1 = MarkColor(a.Color1), c2 = MarkColor(a.Color2);
    const Integer type = a.MarkType;
    TLKVObjectKind kind;
    switch (type) {
      case 1: kind = lkkBITMAP; break;
      case 3: kind = lkkLINE; break;
      case 4: kind = lkkPOLYLINE; break;
      case 5:
      case 6: kind = lkkBOX; break;
      case 7:
      case 8:
      case 9:
      case 10: kind = lkkMEMO; break;
      default: continue;  // kept in the container, no object
    }
    const Integer h = V.AddNewObject();
    V.SetObjKind(h, kind);
    TLKVObject& o = *V.GetObj(h);
    o.X1 = bounds.Left;
    o.Y1 = bounds.Top;
    o.X2 = bounds.Right;
    o.Y2 = bounds.Bottom;
    switch (type) {
      case 1:
        if (m.Picture) V.SetObjBitmap(h, m.Picture.get());
        break;
      case 3:
      case 4:
        o.PenColor = c1;
        o.PenStyle = psSolid;
        o.PenWidth = a.LineWidth;
        o.Transparency = a.Highlighting ? 127 : 255;
        if (type == 3) {
          o.BeginShape = o.EndShape = lksNONE;
          if (m.Points.size() >= 2) {
            o.X1 = m.Points[0].X + a.Left;
            o.Y1 = m.Points[0].Y + a.Top;
            o.X2 = m.Points[1].X + a.Left;
            o.Y2 = m.Points[1].Y + a.Top;
          }
        } else {
          std::vector<TPoint> pts;
          for (const TPoint& p : m.Points) pts.push_back(TPoint{p.X + a.Left, p.Y + a.Top});
          if (!pts.empty()) V.SetObjPolylinePoints(h, pts);
        }
        break;
      case 5:
        o.PenColor = c1;
        o.PenWidth = a.LineWidth;
        o.PenStyle = psSolid;
        o.BrushStyle = bsClear;
        o.BoxHighLight = a.Highlighting != 0;
        break;
      case 6:
        o.BrushColor = c1;
        o.BrushStyle = bsSolid;
        o.PenStyle = psClear;
        o.BoxHighLight = a.Highlighting != 0;
        break;
      default: {  // texts and notes
        const bool note = type == 10;
        o.PenColor = note ? c2 : c1;
        o.BrushColor = note ? c1 : clWhite;
        o.BrushStyle = note ? bsSolid : bsClear;
        o.MemoBorderStyle = psClear;
        o.TextAlign = lkjLeft;
        o.FontLocked = true;
        V.SetObjFontHeight(h, -LKRound(a.Font.Height / 72.0 * gSystemDPIY));
        char face[33] = {};
        std::memcpy(face, a.Font.FaceName, 32);
        V.SetObjFontName(h, face);
        TLKLogFont f{};
        f.lfWeight = a.Font.Weight;
        f.lfItalic = a.Font.Italic;
        f.lfUnderline = a.Font.Underline;
        f.lfStrikeOut = a.Font.StrikeOut;
        V.SetObjFontStyles(h, LKExtractStylesFromLogFont(&f));
        V.SetObjText(h, WithoutCR(m.Text));
      }
    }
  }
  V.Update();
}

void FromVect(TLKImagingAnnot& Annot, TLumerakVect& V) {
  Annot.Clear();
  for (Integer i = 0; i < V.GetObjectCount(); ++i) {
    const Integer h = V.GetObjFromIndex(i);
    TLKVObject& o = *V.GetObj(h);
    const TLKVObjectKind k = o.Kind;
    if (k != lkkLINE && k != lkkPOLYLINE && k != lkkBOX && k != lkkBITMAP && k != lkkTEXT && k != lkkMEMO) continue;
    TLKImagingObject& m = *Annot.AddObject();
    TLKAnnotMarkAttributes& a = m.Attributes;
    a.Left = std::min(o.X1, o.X2);
    a.Top = std::min(o.Y1, o.Y2);
    a.Right = std::max(o.X1, o.X2);
    a.Bottom = std::max(o.Y1, o.Y2);
    a.Visible = -1;
    a.Permissions = 0xFF83F;
    switch (k) {
      case lkkLINE:
      case lkkPOLYLINE:
        a.MarkType = k == lkkLINE ? 3 : 4;
        PutMarkColor(a.Color1, o.PenColor);
        a.LineWidth = o.PenWidth;
        a.Highlighting = o.Transparency < 200;
        if (k == lkkLINE) {
          m.Points = {TPoint{o.X1 - a.Left, o.Y1 - a.Top}, TPoint{o.X2 - a.Left, o.Y2 - a.Top}};
        } else {
          for (Integer p = 0; p < V.GetObjPolylinePointsCount(h); ++p) {
            const TPoint pt = V.GetObjPolylinePoints(h, p);
            m.Points.push_back(TPoint{pt.X - a.Left, pt.Y - a.Top});
          }
        }
        break;
      case lkkBOX:
        if (o.BrushStyle == bsClear) {
          a.MarkType = 5;
          PutMarkColor(a.Color1, o.PenColor);
          a.LineWidth = o.PenWidth;
        } else {
          a.MarkType = 6;
          PutMarkColor(a.Color1, o.BrushColor);
        }
        a.Highlighting = o.BoxHighLight;
        break;
      case lkkBITMAP:
        a.MarkType = 1;
        if (TLKBitmap* b = V.GetObjBitmap(h)) {
          m.Picture = std::make_unique<TLKBitmap>();
          m.Picture->Assign(b);
        }
        break;
      default: {  // texts and memos
        if (o.BrushStyle == bsClear) {
          a.MarkType = 7;
          PutMarkColor(a.Color1, o.PenColor);
        } else {
          a.MarkType = 10;
          PutMarkColor(a.Color1, o.BrushColor);
          PutMarkColor(a.Color2, o.PenColor);
        }
        a.Font.Height = -LKRound(V.GetObjFontHeight(h) / static_cast<double>(gSystemDPIY) * 72);
        const std::string face = V.GetObjFontName(h).substr(0, 31);
        std::memcpy(a.Font.FaceName, face.c_str(), face.size() + 1);
        const TFontStyles s = V.GetObjFontStyles(h);
        a.Font.Weight = s.Contains(fsBold) ? 700 : 400;
        a.Font.Italic = s.Contains(fsItalic);
        a.Font.Underline = s.Contains(fsUnderline);
        a.Font.StrikeOut = s.Contains(fsStrikeOut);
        m.Text = WithCRLF(o.Text.value_or(""));
      }
    }
  }
}

const bool kBound = [] {
  TLKAnnotVectHooks& H = LKAnnotVectHooks();
  H.ToVect = [](TLKImagingAnnot& A, TObject* View) { ToVect(A, VectOf(View)); };
  H.FromVect = [](TLKImagingAnnot& A, TObject* View) { FromVect(A, VectOf(View)); };
  H.Draw = [](TLKImagingAnnot& A, TLKBitmap* Bitmap, bool Antialias) {
    TLumerakVect v;
    ToVect(A, v);
    v.SetObjGraphicRender(true);
    v.DrawObjectsToBitmap(Bitmap, Antialias);
  };
  return true;
}();

}  // namespace
