// A window with a vector view over a picture holding objects of every kind,
// for looking at them under a virtual X server and driving it with real X
// input. Usage: vect_demo [select|linelen|box|draglen|hint|blank|curves|dxf FILE|
// tifftag FILE] ("hint" selects too, with a hint window over the yellow
// box; tifftag: writes the picture as a two-page TIFF file with the
// objects in the second page's object tag, and ends; blank: no objects;
// dxf: the drawing of FILE over the picture). Ctrl+C copies the selected
// objects to the clipboard, Ctrl+V pastes them 20 pixels further, so that
// two running demos exchange objects.
#include <QApplication>
#include <QKeyEvent>
#include <QWidget>
#include <cmath>
#include <cstdio>
#include <cstring>

#include "core/lkbitmap.h"
#include "io/lumerakio.h"
#include "platform/hint.h"
#include "views/lumerakvect.h"

// Logs the mouse calls the window layer makes.
class TLoggedVect : public TLumerakVect {
 protected:
  void MouseDown(TMouseButton B, TShiftState S, Integer X, Integer Y) override {
    TLumerakVect::MouseDown(B, S, X, Y);
    std::fprintf(stderr, "down %d,%d grip %d\n", X, Y, GetDraggedGrip());
  }
  void MouseMove(TShiftState S, Integer X, Integer Y) override {
    TLumerakVect::MouseMove(S, X, Y);
    if (S.Contains(ssLeft)) std::fprintf(stderr, "move %d,%d grip %d\n", X, Y, GetDraggedGrip());
  }
  void MouseUp(TMouseButton B, TShiftState S, Integer X, Integer Y) override {
    std::fprintf(stderr, "up %d,%d grip %d\n", X, Y, GetDraggedGrip());
    TLumerakVect::MouseUp(B, S, X, Y);
  }
};

int main(int argc, char** argv) {
  QApplication app(argc, argv);
  const char* mode = argc > 1 ? argv[1] : "select";
  QWidget form;
  form.resize(920, 680);
  form.setWindowTitle("vector objects");
  TLoggedVect v;
  v.SetParentWindow(&form);
  v.SetBounds(0, 0, 900, 660);
  v.SetCenter(false);
  TLKBitmap* b = v.GetLKBitmap();
  b->Allocate(880, 640, lk24RGB);
  for (Integer y = 0; y < 640; ++y)
    for (Integer x = 0; x < 880; ++x)
      b->SetPixels_lk24RGB(x, y, TRGB{Byte(120 + x / 8), Byte(90 + y / 6), Byte(60 + (x + y) / 12)});
  v.Update();
  auto add = [&](TLKVObjectKind k, TRect r) {
    v.SetObjKind(LKVTemplate, k);
    v.SetObjRect(LKVTemplate, r);
    return v.AddNewObject();
  };
  v.SetObjPenColor(LKVTemplate, clBlack);
  v.SetObjPenWidth(LKVTemplate, 2);
  v.SetObjFontHeight(LKVTemplate, -16);
  Integer h = add(lkkLINE, {30, 30, 250, 90});
  v.SetObjBeginShape(h, lksINARROW);
  v.SetObjEndShape(h, lksOUTARROW);
  v.SetObjBrushStyle(h, bsSolid);
  v.SetObjBrushColor(h, clRed);
  h = add(lkkBOX, {300, 30, 420, 120});
  v.SetObjBrushStyle(h, bsSolid);
  v.SetObjBrushColor(h, clYellow);
  h = add(lkkELLIPSE, {460, 30, 600, 120});
  v.SetObjPenColor(h, clBlue);
  h = add(lkkARC, {640, 30, 780, 140});
  v.SetObjArcStartingAngle(h, 0);
  v.SetObjArcEndingAngle(h, 3.14159 * 1.5);
  h = add(lkkBITMAP, {30, 150, 130, 250});
  h = add(lkkBOX, {160, 150, 300, 200});
  v.SetObjBoxHighLight(h, true);
  v.SetObjBrushColor(h, clAqua);
  h = add(lkkTEXT, {330, 160, 520, 200});
  v.SetObjText(h, "A text object");
  h = add(lkkRULER, {40, 300, 380, 300});
  v.SetObjRulerType(h, lkrtRULER);
  h = add(lkkRULER, {40, 380, 380, 440});
  v.SetObjRulerType(h, lkrtQUOTECENTER);
  h = add(lkkPOLYLINE, {0, 0, 0, 0});
  v.SetObjPolylinePoints(h, {{450, 300}, {520, 260}, {600, 330}, {680, 270}, {760, 340}});
  h = add(lkkANGLE, {0, 0, 0, 0});
  v.SetObjAnglePoints(h, {620, 420}, {480, 520}, {700, 560});
  v.SetObjRect(h, TRect{480, 420, 700, 560});
  h = add(lkkLINELABEL, {100, 600, 300, 500});
  v.SetObjText(h, "label");
  v.SetObjLabelBrushColor(h, clWhite);
  h = add(lkkBOX, {400, 580, 520, 630});
  v.SetObjBrushStyle(h, bsSolid);
  v.SetObjBrushColor(h, clBlue);
  v.SetObjTransparency(h, 110);
  v.GetObjSoftShadow(h)->Enabled = true;
  v.GetObjSoftShadow(h)->OffsetX = 6;
  v.GetObjSoftShadow(h)->OffsetY = 6;
  v.SetObjGraphicRender(true);
  v.SetObjKind(LKVTemplate, lkkBOX);
  v.SetObjRect(LKVTemplate, TRect{0, 0, 40, 30});
  v.AddSelObject(1);
  if (std::strcmp(mode, "tifftag") == 0 && argc > 2) {
    TLumerakIO io(nullptr);
    io.SetAttachedLKBitmap(b);
    io.SaveToFileTIFF(argv[2]);
    io.InsertToFileTIFF(argv[2]);
    v.SaveObjectsToTIFF(argv[2], 1);
    return io.GetAborted() ? 1 : 0;
  }
  if (std::strcmp(mode, "blank") == 0 || std::strcmp(mode, "dxf") == 0) v.RemoveAllObjects();
  if (std::strcmp(mode, "curves") == 0) {
    // Texts along each curve shape, and one turned straight text.
    v.RemoveAllObjects();
    v.SetObjPenStyle(LKVTemplate, psClear);
    v.SetObjFontHeight(LKVTemplate, -22);
    const struct {
      TLumerakVect::TLKCurve Shape;
      TRect Box;
      const char* Text;
    } curves[] = {{TLumerakVect::lkcEllipse, {40, 40, 300, 300}, "Text around an ellipse, all the way round. "},
                  {TLumerakVect::lkcArc, {340, 40, 600, 300}, "Along an arc"},
                  {TLumerakVect::lkcCosine, {40, 360, 600, 520}, "Text on a cosine wave goes up and down"},
                  {TLumerakVect::lkcVertical, {660, 40, 720, 400}, "Bottom to top"},
                  {TLumerakVect::lkcHorizontal, {40, 560, 600, 620}, "Right to left"}};
    for (const auto& c : curves) {
      const Integer t = add(lkkTEXT, c.Box);
      v.SetObjText(t, c.Text);
      v.SetObjPenColor(t, clNavy);
      v.SetObjTextCurveShape(t, c.Shape, 0, c.Shape == TLumerakVect::lkcArc);
    }
    const Integer t = add(lkkTEXT, {740, 100, 860, 500});
    v.SetObjText(t, "Turned 60 degrees");
    v.SetObjFontAngle(t, 60);
    v.SetObjPenColor(t, clMaroon);
  }
  if (std::strcmp(mode, "dxf") == 0 && argc > 2) {
    v.SetObjPenColor(LKVTemplate, clNavy);
    std::fprintf(stderr, "dxf %s\n", v.ImportDXF(argv[2]) ? "read" : "refused");
    std::fprintf(stderr, "objects %d\n", v.GetObjectCount());
  }
  if (std::strcmp(mode, "linelen") == 0) {
    v.SetDPI(300, 300);
    v.SetMUnit(lkuCENTIMETERS);
    v.Select(600, 450, 850, 620, lkspReplace);
    v.SetMouseInteractVt(TLKMouseInteractVt{miLineLen});
  } else if (std::strcmp(mode, "box") == 0) {
    v.SetMouseInteractVt(TLKMouseInteractVt{miPutBox});
  } else if (std::strcmp(mode, "draglen") == 0) {
    v.SetMouseInteractVt(TLKMouseInteractVt{miDragLen});
  } else {
    v.SetMouseInteractVt(TLKMouseInteractVt{miObjectSelect});
  }
  // Tell what happens, so that a driven session can be followed.
  v.OnSelectObject = [&](TObject*) { std::fprintf(stderr, "selected %d\n", v.GetSelObjectCount()); };
  v.OnVectorialChanged = [&](TObject*) { std::fprintf(stderr, "changed\n"); };
  // Ctrl+C and Ctrl+V on the window: the vector clipboard.
  struct TKeys : QObject {
    TLumerakVect* V;
    explicit TKeys(TLumerakVect* View) : V(View) {}
    bool eventFilter(QObject*, QEvent* E) override {
      if (E->type() != QEvent::KeyPress) return false;
      auto* k = static_cast<QKeyEvent*>(E);
      if (!(k->modifiers() & Qt::ControlModifier)) return false;
      if (k->key() == Qt::Key_C) {
        V->ObjCopyToClipboard();
        std::fprintf(stderr, "copied %d\n", V->GetSelObjectCount());
      } else if (k->key() == Qt::Key_V) {
        V->ObjPasteFromClipboard(20, 20);
        std::fprintf(stderr, "pasted %d\n", V->GetSelObjectCount());
      } else {
        return false;
      }
      return true;
    }
  } keys(&v);
  app.installEventFilter(&keys);
  form.show();
  TLKHint hint;
  if (std::strcmp(mode, "hint") == 0) {
    hint.SetText("7.11 cm");
    const QPoint at = form.mapToGlobal(QPoint(330, 60));
    hint.SetBounds(at.x(), at.y(), hint.GetWidth(), hint.GetHeight());
    hint.Show();
  }
  return app.exec();
}
