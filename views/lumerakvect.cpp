// The vector view's object store, order and selection lists, shared bitmap
// table, property accessors and life cycle.
#include "views/lumerakvect.h"

#include <algorithm>
#include <cmath>
#include <cstring>

#include "core/lkbitmap.h"
#include "io/lumerakio.h"
#include "processing/lkcompare.h"
#include "views/lkviewgeometry.h"

// ---------------------------------------------------------------------------
// Records and font records
// ---------------------------------------------------------------------------

TLKVObject& TLKVObject::operator=(const TLKVObject& O) {
  if (this == &O) return *this;
  auto shadow = std::make_unique<TLKVSoftShadow>(O.SoftShadow ? *O.SoftShadow : TLKVSoftShadow{});
  X1 = O.X1; Y1 = O.Y1; X2 = O.X2; Y2 = O.Y2;
  Kind = O.Kind; Transparency = O.Transparency; UserData = O.UserData; UserDataLength = O.UserDataLength;
  BeginShape = O.BeginShape; EndShape = O.EndShape; ShapeWidth = O.ShapeWidth; ShapeHeight = O.ShapeHeight;
  LabelBrushColor = O.LabelBrushColor; LabelBrushStyle = O.LabelBrushStyle; LabelPos = O.LabelPos;
  PenColor = O.PenColor; PenStyle = O.PenStyle; PenWidth = O.PenWidth;
  BrushColor = O.BrushColor; BrushStyle = O.BrushStyle; BoxHighLight = O.BoxHighLight;
  ArcStartingAngle = O.ArcStartingAngle; ArcEndingAngle = O.ArcEndingAngle;
  BitmapIdx = O.BitmapIdx; BitmapBorder = O.BitmapBorder; Text = O.Text; LogFont = O.LogFont;
  TextAlign = O.TextAlign; TextAutoSize = O.TextAutoSize; FontLocked = O.FontLocked;
  CurvePoints = O.CurvePoints; CurveCharRot = O.CurveCharRot; TextEditable = O.TextEditable;
  MemoCharIndex = O.MemoCharIndex; MemoCharInfos = O.MemoCharInfos; HasMemoCharInfos = O.HasMemoCharInfos;
  MemoLineSpace = O.MemoLineSpace; MemoBorderColor = O.MemoBorderColor; MemoBorderStyle = O.MemoBorderStyle;
  MemoFixedHeight = O.MemoFixedHeight; MemoHasBitmap = O.MemoHasBitmap;
  MemoMarginLeft = O.MemoMarginLeft; MemoMarginTop = O.MemoMarginTop;
  MemoMarginRight = O.MemoMarginRight; MemoMarginBottom = O.MemoMarginBottom;
  Name = O.Name; ID = O.ID; Style = O.Style; RulerUnit = O.RulerUnit; RulerType = O.RulerType;
  PolyPoints = O.PolyPoints; PolyBox = O.PolyBox; PolylineClosed = O.PolylineClosed;
  ScreenPoints = O.ScreenPoints;
  for (int i = 0; i < 3; ++i) AnglePoints[i] = O.AnglePoints[i];
  DragRect = O.DragRect; DrawnRect = O.DrawnRect; DrawnMargin = O.DrawnMargin;
  SoftShadow = std::move(shadow);
  return *this;
}

TLKLogFont LKFontToLogFont(const TFont& Font) {
  TLKLogFont f;
  f.lfHeight = Font.GetHeight();
  f.lfEscapement = f.lfOrientation = Font.GetOrientation();
  const TFontStyles s = Font.GetStyle();
  f.lfWeight = s.Contains(fsBold) ? 700 : 400;
  f.lfItalic = s.Contains(fsItalic);
  f.lfUnderline = s.Contains(fsUnderline);
  f.lfStrikeOut = s.Contains(fsStrikeOut);
  f.lfCharSet = Font.GetCharset();
  std::strncpy(f.lfFaceName, Font.GetName().c_str(), 31);
  f.lfFaceName[31] = 0;
  return f;
}

void LKLogFontToFont(const TLKLogFont& L, TColor Color, TFont& Font) {
  char name[33] = {};
  std::memcpy(name, L.lfFaceName, 32);
  Font.SetName(name);
  Font.SetHeight(L.lfHeight);
  TFontStyles s;
  if (L.lfWeight >= 600) s.Include(fsBold);
  if (L.lfItalic) s.Include(fsItalic);
  if (L.lfUnderline) s.Include(fsUnderline);
  if (L.lfStrikeOut) s.Include(fsStrikeOut);
  Font.SetStyle(s);
  Font.SetOrientation(L.lfEscapement);
  Font.SetColor(Color);
}

// ---------------------------------------------------------------------------
// Life cycle
// ---------------------------------------------------------------------------

namespace {

// The picture the template starts with: a 64 x 64 error sign (a red disc
// with a white cross).
void DrawErrorSign(TBitmap* B) {
  B->SetPixelFormat(pf24bit);
  B->SetSize(64, 64);
  TCanvas* c = B->GetCanvas();
  c->GetBrush()->SetStyle(bsSolid);
  c->GetBrush()->SetColor(clWhite);
  c->FillRect(TRect{0, 0, 64, 64});
  c->GetBrush()->SetColor(RGB(210, 0, 0));
  c->GetPen()->SetColor(RGB(120, 0, 0));
  c->Ellipse(2, 2, 62, 62);
  c->GetPen()->SetColor(clWhite);
  c->GetPen()->SetWidth(6);
  c->MoveTo(20, 20);
  c->LineTo(44, 44);
  c->MoveTo(44, 20);
  c->LineTo(20, 44);
}

}  // namespace

TLumerakVect::TLumerakVect(TComponent* AOwner)
    : TLumerakView(AOwner),
      FGripPen(std::make_unique<TPen>()),
      FGripBrush(std::make_unique<TBrush>()),
      FHintBack(std::make_unique<TBitmap>()),
      FHintFont(std::make_unique<TFont>()),
      FHintBrush(std::make_unique<TBrush>()) {
  FGripPen->SetColor(clBlack);
  FGripBrush->SetColor(clBlack);
  FGripBrush->SetStyle(bsSolid);
  FHintBack->SetWidth(1);
  FHintFont->SetColor(clBlack);
  FHintFont->SetStyle(TFontStyles{fsBold});
  FHintBrush->SetStyle(bsSolid);
  FHintBrush->SetColor(RGB(255, 255, 96));
  CalcCoef(FCoefX, FCoefY, FMUnit);
  SetupTemplate();
}

void TLumerakVect::SetupTemplate() {
  FTemplate = TLKVObject{};
  TBitmap sign;
  DrawErrorSign(&sign);
  TLKBitmap lk;
  lk.CopyFromTBitmap(&sign);
  SetObjBitmapNU(LKVTemplate, &lk);
  TFont font;
  font.SetName("Arial");
  SetObjFont(LKVTemplate, &font);
  FTemplate.RulerUnit = FMUnit;
}

TLumerakVect::~TLumerakVect() {
  FDestroying = true;
  RemoveTextEdit();
  FEdited = -1;
  delete FMemoEdit;
  for (Integer h : FOrder)
    if (TLKVObject* o = GetObj(h)) RemoveVObjData(*o);
  RemoveVObjData(FTemplate);
}

// ---------------------------------------------------------------------------
// Store
// ---------------------------------------------------------------------------

TLKVObject* TLumerakVect::GetObj(Integer hobj) {
  if (hobj == LKVTemplate) return &FTemplate;
  if (hobj == LKVLast) hobj = static_cast<Integer>(FStore.size()) - 1;
  if (hobj < 0 || hobj >= static_cast<Integer>(FStore.size())) return nullptr;
  return FStore[static_cast<std::size_t>(hobj)].get();
}

TLKVObject& TLumerakVect::Obj(Integer hobj) {
  TLKVObject* o = GetObj(hobj);
  if (o == nullptr) throw EListError("No vector object with handle " + std::to_string(hobj));
  return *o;
}

Integer TLumerakVect::GetObjectAt(Integer Index) const {
  return Index >= 0 && Index < static_cast<Integer>(FOrder.size()) ? FOrder[static_cast<std::size_t>(Index)] : -1;
}

Integer TLumerakVect::AddVObject(const TLKVObject& Source) {
  const auto h = static_cast<Integer>(FStore.size());
  auto o = std::make_unique<TLKVObject>(Source);
  TLKVObject& n = *o;
  FStore.push_back(std::move(o));
  FOrder.push_back(h);
  // The copy owns nothing of the source's until the kind says so.
  n.BitmapIdx = -1;
  n.Text.reset();
  n.LogFont.reset();
  n.MemoCharIndex.clear();
  n.MemoCharInfos.clear();
  n.HasMemoCharInfos = false;
  n.CurvePoints.clear();
  n.ScreenPoints.clear();
  n.UserData = nullptr;
  n.UserDataLength = 0;
  const TLKVObjectKind k = Source.Kind;
  if (k == lkkBITMAP || (k == lkkMEMO && Source.MemoHasBitmap)) SetObjBitmapIdxNU(h, Source.BitmapIdx);
  if (k == lkkTEXT || k == lkkLINELABEL) {
    n.Text = Source.Text ? *Source.Text : std::string();
    n.LogFont = Source.LogFont;
    n.CurvePoints = Source.CurvePoints;
  } else if (k == lkkMEMO) {
    n.Text = Source.Text;
    n.LogFont = Source.LogFont;
    if (!Source.MemoCharIndex.empty()) {
      n.MemoCharIndex = Source.MemoCharIndex;
      n.MemoCharIndex.resize(n.Text ? n.Text->size() : 0, 0);
      n.MemoCharInfos = Source.MemoCharInfos;
      n.HasMemoCharInfos = Source.HasMemoCharInfos;
    }
  } else if (k == lkkRULER || k == lkkANGLE) {
    n.LogFont = Source.LogFont;
  }
  n.Name = Source.Name ? *Source.Name : std::string();
  if (k != lkkLINE && k != lkkRULER && k != lkkPOLYLINE && k != lkkLINELABEL) {
    if (n.X1 > n.X2) std::swap(n.X1, n.X2);
    if (n.Y1 > n.Y2) std::swap(n.Y1, n.Y2);
  }
  if (k != lkkPOLYLINE) {
    n.PolyPoints.clear();
    n.PolyBox = TRect{0, 0, 0, 0};
  }
  return h;
}

Integer TLumerakVect::AddNewObject() {
  const Integer h = AddVObject(FTemplate);
  Update();
  return h;
}

void TLumerakVect::RemoveMemoTextData(TLKVObject& R) {
  R.Text.reset();
  R.MemoCharIndex.clear();
  R.MemoCharInfos.clear();
  R.HasMemoCharInfos = false;
}

void TLumerakVect::RemoveVObjData(TLKVObject& R) {
  FreeBitmap(R.BitmapIdx);
  R.BitmapIdx = -1;
  R.Name.reset();
  R.LogFont.reset();
  RemoveMemoTextData(R);
  R.CurvePoints.clear();
  R.PolyPoints.clear();
  R.PolyBox = TRect{0, 0, 0, 0};
  R.ScreenPoints.clear();
  if (R.UserDataLength > 0) std::free(R.UserData);
  R.UserData = nullptr;
  R.UserDataLength = 0;
}

void TLumerakVect::RemoveVObject(Integer hobj) {
  auto it = std::find(FOrder.begin(), FOrder.end(), hobj);
  if (it != FOrder.end()) FOrder.erase(it);
}

void TLumerakVect::RemoveObject(Integer hobj) {
  CancelInteracts();
  if (hobj == LKVLast) hobj = static_cast<Integer>(FStore.size()) - 1;
  TLKVObject& o = Obj(hobj);
  // A handle added twice to the selection goes with every occurrence, so
  // nothing later finds the removed object selected.
  const bool wasSelected = std::find(FSel.begin(), FSel.end(), hobj) != FSel.end();
  FSel.erase(std::remove(FSel.begin(), FSel.end(), hobj), FSel.end());
  if (wasSelected && OnSelectObject) OnSelectObject(this);
  RemoveVObjData(o);
  RemoveVObject(hobj);
  FStore[static_cast<std::size_t>(hobj)].reset();
  if (hobj == static_cast<Integer>(FStore.size()) - 1) FStore.pop_back();
  DoVectorialChanged();
  Update();
}

void TLumerakVect::RemoveAllObjects() {
  CancelInteracts();
  for (Integer h : FOrder)
    if (TLKVObject* o = GetObj(h)) RemoveVObjData(*o);
  FOrder.clear();
  FSel.clear();
  FStore.clear();
  std::unique_ptr<TLKBitmap> kept;
  const Integer ti = FTemplate.BitmapIdx;
  if (ti >= 0 && ti < static_cast<Integer>(FBitmaps.size())) {
    kept = std::move(FBitmaps[static_cast<std::size_t>(ti)].Bitmap);
    FTemplate.BitmapIdx = -1;
  }
  FBitmaps.clear();
  if (kept) SetObjBitmapNU(LKVTemplate, kept.get());
  DoVectorialChanged();
  Update();
}

Integer TLumerakVect::AddPolyLinePoint(Integer hobj, Integer X, Integer Y) {
  TLKVObject& o = Obj(hobj);
  if (!o.PolyPoints.empty() && o.PolyPoints.back() == TPoint{X, Y}) return static_cast<Integer>(o.PolyPoints.size());
  o.PolyPoints.push_back(TPoint{X, Y});
  o.X1 = std::min(o.X1, X);
  o.X2 = std::max(o.X2, X);
  o.Y1 = std::min(o.Y1, Y);
  o.Y2 = std::max(o.Y2, Y);
  o.PolyBox = TRect{o.X1, o.Y1, o.X2, o.Y2};
  return static_cast<Integer>(o.PolyPoints.size());
}

// ---------------------------------------------------------------------------
// Selection list
// ---------------------------------------------------------------------------

void TLumerakVect::AddSelObjectNS(Integer hobj) {
  if (hobj == LKVLast) hobj = static_cast<Integer>(FStore.size()) - 1;
  TLKVObject* o = GetObj(hobj);
  if (o != nullptr && hobj >= 0 && o->Style.Contains(lkvsSelectable)) FSel.push_back(hobj);
}

void TLumerakVect::AddSelObjectEx(Integer hobj) {
  AddSelObjectNS(hobj);
  if (OnSelectObject) OnSelectObject(this);
}

void TLumerakVect::AddSelObject(Integer hobj) {
  if (IsSelObject(hobj)) return;
  AddSelObjectEx(hobj);
  Update();
}

bool TLumerakVect::IsSelObject(Integer hobj) {
  if (hobj == LKVLast) hobj = static_cast<Integer>(FStore.size()) - 1;
  return std::find(FSel.begin(), FSel.end(), hobj) != FSel.end();
}

void TLumerakVect::UnSelObject(Integer hobj) {
  if (hobj == LKVLast) hobj = static_cast<Integer>(FStore.size()) - 1;
  auto it = std::find(FSel.begin(), FSel.end(), hobj);
  if (it == FSel.end()) return;
  FSel.erase(it);
  if (OnSelectObject) OnSelectObject(this);
}

void TLumerakVect::UnSelAllObjectsNU() {
  FSel.clear();
  if (OnSelectObject) OnSelectObject(this);
}

void TLumerakVect::UnSelAllObjects() {
  UnSelAllObjectsNU();
  Update();
}

void TLumerakVect::SelAllObjects() {
  UnSelAllObjects();
  SelInRect(LKVAll, 0, 0, 1000000, 1000000);
  if (OnSelectObject) OnSelectObject(this);
  Update();
}

Integer TLumerakVect::GetSelObjects(Integer Index) const {
  return Index >= 0 && Index < static_cast<Integer>(FSel.size()) ? FSel[static_cast<std::size_t>(Index)] : 0;
}

TRect TLumerakVect::GetSelectedObjectsRect() {
  TRect r{GetLKBitmap()->GetWidth(), GetLKBitmap()->GetHeight(), 0, 0};
  for (Integer h : FSel) {
    TLKVObject* o = GetObj(h);
    if (o == nullptr) continue;
    r.Left = std::min({r.Left, o->X1, o->X2});
    r.Top = std::min({r.Top, o->Y1, o->Y2});
    r.Right = std::max({r.Right, o->X1, o->X2});
    r.Bottom = std::max({r.Bottom, o->Y1, o->Y2});
  }
  return r;
}

void TLumerakVect::SelInRect(Integer hobj, Integer X1, Integer Y1, Integer X2, Integer Y2) {
  auto one = [&](Integer h) {
    TLKVObject* o = GetObj(h);
    if (o == nullptr || IsSelObject(h)) return;
    const Integer l = std::min(o->X1, o->X2), r = std::max(o->X1, o->X2);
    const Integer t = std::min(o->Y1, o->Y2), b = std::max(o->Y1, o->Y2);
    if (l >= X1 && r <= X2 && t >= Y1 && b <= Y2) AddSelObjectNS(h);
  };
  if (hobj == LKVAll) {
    for (Integer h : std::vector<Integer>(FOrder)) one(h);
  } else {
    one(hobj);
  }
}

// ---------------------------------------------------------------------------
// Shared bitmap table
// ---------------------------------------------------------------------------

Integer TLumerakVect::AllocBitmap() {
  for (std::size_t i = 0; i < FBitmaps.size(); ++i)
    if (!FBitmaps[i].Bitmap) return static_cast<Integer>(i);
  FBitmaps.emplace_back();
  return static_cast<Integer>(FBitmaps.size()) - 1;
}

void TLumerakVect::FreeBitmap(Integer Index) {
  if (Index < 0 || Index >= static_cast<Integer>(FBitmaps.size())) return;
  TLKVBitmap& e = FBitmaps[static_cast<std::size_t>(Index)];
  if (e.RefCount <= 1) {
    e.Bitmap.reset();
    e.RefCount = 0;
  } else {
    --e.RefCount;
  }
}

TLKBitmap* TLumerakVect::GetBitmap(Integer Index) {
  if (Index < 0 || Index >= static_cast<Integer>(FBitmaps.size())) return nullptr;
  return FBitmaps[static_cast<std::size_t>(Index)].Bitmap.get();
}

TLKBitmap* TLumerakVect::GetBitmapAlpha(Integer Index) {
  TLKBitmap* b = GetBitmap(Index);
  return b ? b->GetAlphaChannel() : nullptr;
}

Integer TLumerakVect::GetBitmapRefCount(Integer Index) const {
  return Index >= 0 && Index < static_cast<Integer>(FBitmaps.size()) ? FBitmaps[static_cast<std::size_t>(Index)].RefCount
                                                                      : 0;
}

Integer TLumerakVect::FindBitmap(TLKBitmap* Bitmap) {
  if (Bitmap == nullptr) return -1;
  for (Integer i = static_cast<Integer>(FBitmaps.size()) - 1; i >= 0; --i) {
    TLKBitmap* b = FBitmaps[static_cast<std::size_t>(i)].Bitmap.get();
    if (b != nullptr && _BitmapCompareXEx(b, Bitmap)) return i;
  }
  return -1;
}

void TLumerakVect::SetObjBitmapNU(Integer hobj, TLKBitmap* Bitmap) {
  TLKVObject& o = Obj(hobj);
  if (o.BitmapIdx >= 0) FreeBitmap(o.BitmapIdx);
  o.BitmapIdx = -1;
  if (Bitmap == nullptr) return;
  if (FShareBitmaps) {
    const Integer i = FindBitmap(Bitmap);
    if (i >= 0) {
      o.BitmapIdx = i;
      ++FBitmaps[static_cast<std::size_t>(i)].RefCount;
      return;
    }
  }
  const Integer i = AllocBitmap();
  auto copy = std::make_unique<TLKBitmap>();
  copy->Assign(Bitmap);
  FBitmaps[static_cast<std::size_t>(i)].Bitmap = std::move(copy);
  FBitmaps[static_cast<std::size_t>(i)].RefCount = 1;
  o.BitmapIdx = i;
}

void TLumerakVect::SetObjBitmapIdxNU(Integer hobj, Integer Index) {
  TLKVObject& o = Obj(hobj);
  // Take the reference first, so that re-setting an object's own entry
  // never frees it in between.
  const bool valid = Index >= 0 && Index < static_cast<Integer>(FBitmaps.size()) &&
                     FBitmaps[static_cast<std::size_t>(Index)].Bitmap != nullptr;
  if (!valid) {
    if (o.BitmapIdx >= 0) FreeBitmap(o.BitmapIdx);
    o.BitmapIdx = Index < 0 ? Index : -1;
    return;
  }
  Integer target = Index;
  if (FShareBitmaps) {
    ++FBitmaps[static_cast<std::size_t>(Index)].RefCount;
  } else {
    target = AllocBitmap();
    auto copy = std::make_unique<TLKBitmap>();
    copy->Assign(FBitmaps[static_cast<std::size_t>(Index)].Bitmap.get());
    FBitmaps[static_cast<std::size_t>(target)].Bitmap = std::move(copy);
    FBitmaps[static_cast<std::size_t>(target)].RefCount = 1;
  }
  if (o.BitmapIdx >= 0) FreeBitmap(o.BitmapIdx);
  o.BitmapIdx = target;
}

void TLumerakVect::PackBMP() {
  std::vector<Integer> map(FBitmaps.size(), -1);
  std::vector<TLKVBitmap> packed;
  for (std::size_t i = 0; i < FBitmaps.size(); ++i) {
    if (!FBitmaps[i].Bitmap) continue;
    map[i] = static_cast<Integer>(packed.size());
    packed.push_back(std::move(FBitmaps[i]));
  }
  FBitmaps = std::move(packed);
  auto renumber = [&](TLKVObject& o) {
    if (o.BitmapIdx >= 0 && o.BitmapIdx < static_cast<Integer>(map.size()))
      o.BitmapIdx = map[static_cast<std::size_t>(o.BitmapIdx)];
    else if (o.BitmapIdx >= 0)
      o.BitmapIdx = -1;
  };
  renumber(FTemplate);
  for (Integer h : FOrder)
    if (TLKVObject* o = GetObj(h)) renumber(*o);
}

// ---------------------------------------------------------------------------
// Accessors
// ---------------------------------------------------------------------------

void TLumerakVect::EnsureFont(TLKVObject& O) {
  if (!O.LogFont && FTemplate.LogFont) O.LogFont = FTemplate.LogFont;
}

void TLumerakVect::SetObjKind(Integer hobj, TLKVObjectKind Value) {
  TLKVObject& o = Obj(hobj);
  o.Kind = Value;
  if (Value == lkkTEXT || Value == lkkLINELABEL) {
    EnsureFont(o);
    if (!o.Text) o.Text = std::string();
  } else if (Value == lkkRULER || Value == lkkANGLE || Value == lkkMEMO) {
    EnsureFont(o);
  }
  Changed(hobj);
}

void TLumerakVect::SetObjStyle(Integer hobj, TLKVStyle Value) {
  if (!Value.Contains(lkvsSelectable)) UnSelObject(hobj);
  Obj(hobj).Style = Value;
  Changed(hobj);
}

TRect TLumerakVect::GetObjRect(Integer hobj) {
  const TLKVObject& o = Obj(hobj);
  return TRect{o.X1, o.Y1, o.X2, o.Y2};
}

void TLumerakVect::SetObjRect(Integer hobj, const TRect& R) {
  TLKVObject& o = Obj(hobj);
  o.X1 = R.Left;
  o.Y1 = R.Top;
  o.X2 = R.Right;
  o.Y2 = R.Bottom;
  Changed(hobj);
}

void TLumerakVect::SetObjLeft(Integer hobj, Integer Value) {
  TLKVObject& o = Obj(hobj);
  o.X2 += Value - o.X1;
  o.X1 = Value;
  Changed(hobj);
}

void TLumerakVect::SetObjTop(Integer hobj, Integer Value) {
  TLKVObject& o = Obj(hobj);
  o.Y2 += Value - o.Y1;
  o.Y1 = Value;
  Changed(hobj);
}

Integer TLumerakVect::GetObjWidth(Integer hobj) { return Obj(hobj).X2 - Obj(hobj).X1 + 1; }
Integer TLumerakVect::GetObjHeight(Integer hobj) { return Obj(hobj).Y2 - Obj(hobj).Y1 + 1; }

void TLumerakVect::SetObjWidth(Integer hobj, Integer Value) {
  Obj(hobj).X2 = Obj(hobj).X1 + Value - 1;
  Changed(hobj);
}

void TLumerakVect::SetObjHeight(Integer hobj, Integer Value) {
  Obj(hobj).Y2 = Obj(hobj).Y1 + Value - 1;
  Changed(hobj);
}

std::string TLumerakVect::GetObjText(Integer hobj) {
  const TLKVObject& o = Obj(hobj);
  return o.Text ? *o.Text : std::string();
}

void TLumerakVect::SetObjText(Integer hobj, const std::string& Value) {
  TLKVObject& o = Obj(hobj);
  RemoveMemoTextData(o);
  std::string t;
  t.reserve(Value.size());
  for (char c : Value)
    if (c != '\r') t.push_back(c);
  o.Text = std::move(t);
  Changed(hobj);
}

std::string TLumerakVect::GetObjName(Integer hobj) {
  const TLKVObject& o = Obj(hobj);
  return o.Name ? *o.Name : std::string();
}

void TLumerakVect::SetObjName(Integer hobj, const std::string& Value) {
  Obj(hobj).Name = Value;
  Changed(hobj);
}

void TLumerakVect::SetObjFont(Integer hobj, const TFont* Font) {
  if (Font == nullptr) return;
  TLKVObject& o = Obj(hobj);
  o.LogFont = LKFontToLogFont(*Font);
  o.PenColor = Font->GetColor();
  Changed(hobj);
}

Integer TLumerakVect::GetObjFontHeight(Integer hobj) {
  const TLKVObject& o = Obj(hobj);
  return o.LogFont ? o.LogFont->lfHeight : 0;
}

void TLumerakVect::SetObjFontHeight(Integer hobj, Integer Value) {
  TLKVObject& o = Obj(hobj);
  if (!o.LogFont) return;
  o.LogFont->lfHeight = Value;
  Changed(hobj);
}

std::string TLumerakVect::GetObjFontName(Integer hobj) {
  const TLKVObject& o = Obj(hobj);
  if (!o.LogFont) return std::string();
  return std::string(o.LogFont->lfFaceName, strnlen(o.LogFont->lfFaceName, 32));
}

void TLumerakVect::SetObjFontName(Integer hobj, const std::string& Value) {
  TLKVObject& o = Obj(hobj);
  if (!o.LogFont) return;
  std::memset(o.LogFont->lfFaceName, 0, 32);
  std::memcpy(o.LogFont->lfFaceName, Value.data(), std::min<std::size_t>(Value.size(), 31));
  Changed(hobj);
}

TFontStyles TLumerakVect::GetObjFontStyles(Integer hobj) {
  const TLKVObject& o = Obj(hobj);
  TFontStyles s;
  if (!o.LogFont) return s;
  if (o.LogFont->lfWeight == 700) s.Include(fsBold);
  if (o.LogFont->lfItalic) s.Include(fsItalic);
  if (o.LogFont->lfUnderline) s.Include(fsUnderline);
  if (o.LogFont->lfStrikeOut) s.Include(fsStrikeOut);
  return s;
}

void TLumerakVect::SetObjFontStyles(Integer hobj, TFontStyles Value) {
  TLKVObject& o = Obj(hobj);
  if (!o.LogFont) return;
  o.LogFont->lfWeight = Value.Contains(fsBold) ? 700 : 400;
  o.LogFont->lfItalic = Value.Contains(fsItalic);
  o.LogFont->lfUnderline = Value.Contains(fsUnderline);
  o.LogFont->lfStrikeOut = Value.Contains(fsStrikeOut);
  Changed(hobj);
}

double TLumerakVect::GetObjFontAngle(Integer hobj) {
  const TLKVObject& o = Obj(hobj);
  return o.LogFont ? o.LogFont->lfEscapement / 10.0 : 0;
}

void TLumerakVect::SetObjFontAngle(Integer hobj, double Value) {
  TLKVObject& o = Obj(hobj);
  if (!o.LogFont) return;
  o.LogFont->lfEscapement = LKTruncClamp(Value * 10);
  Changed(hobj);
}

void TLumerakVect::SetObjTextCurveCharRot(Integer hobj, double Value) {
  Obj(hobj).CurveCharRot = LKTruncClamp(Value * 10);
  Changed(hobj);
}

void TLumerakVect::SetObjBitmap(Integer hobj, TLKBitmap* Bitmap) {
  SetObjBitmapNU(hobj, Bitmap);
  Changed(hobj);
}

void TLumerakVect::ObjSetTBitmap(Integer hobj, TBitmap* Bitmap) {
  if (Bitmap == nullptr) {
    SetObjBitmap(hobj, nullptr);
    return;
  }
  TLKBitmap wrap;
  wrap.CopyFromTBitmap(Bitmap);
  SetObjBitmap(hobj, &wrap);
}

void TLumerakVect::SetObjBitmapAlpha(Integer hobj, TLKBitmap* Alpha) {
  TLKBitmap* b = GetBitmap(Obj(hobj).BitmapIdx);
  if (b == nullptr || Alpha == nullptr) return;
  b->GetAlphaChannel()->Assign(Alpha);
  Changed(hobj);
}

bool TLumerakVect::SetObjBitmapFromFile(Integer hobj, const String& FileName) {
  Obj(hobj);
  TLKBitmap b;
  TLumerakIO io;
  io.SetAttachedLKBitmap(&b);
  io.LoadFromFile(FileName);
  const bool ok = !io.GetAborted() && !b.IsEmpty();
  io.SetAttachedLKBitmap(nullptr);
  if (ok) SetObjBitmapNU(hobj, &b);
  return ok;
}

TPoint TLumerakVect::GetObjPolylinePoints(Integer hobj, Integer Index) {
  TLKVObject& o = Obj(hobj);
  if (Index < 0 || Index >= static_cast<Integer>(o.PolyPoints.size())) return TPoint{0, 0};
  double zx, zy;
  CalcZxZyPolyline(o, zx, zy);
  const TPoint& p = o.PolyPoints[static_cast<std::size_t>(Index)];
  return TPoint{LKRoundEven((p.X - o.PolyBox.Left) * zx) + o.X1, LKRoundEven((p.Y - o.PolyBox.Top) * zy) + o.Y1};
}

void TLumerakVect::SetObjPolylinePoints(Integer hobj, const std::vector<TPoint>& Points) {
  TLKVObject& o = Obj(hobj);
  o.PolyPoints.clear();
  o.PolyBox = TRect{0, 0, 0, 0};
  o.X1 = o.Y1 = 1000000;
  o.X2 = o.Y2 = -1000000;
  for (const TPoint& p : Points) AddPolyLinePoint(hobj, p.X, p.Y);
  Update();
}

void TLumerakVect::SetObjAnglePoints(Integer hobj, TPoint P0, TPoint P1, TPoint P2) {
  TLKVObject& o = Obj(hobj);
  o.AnglePoints[0] = P0;
  o.AnglePoints[1] = P1;
  o.AnglePoints[2] = P2;
  Changed(hobj);
}

void TLumerakVect::SetAllObjectsHidden(bool Value) {
  if (Value == FAllHidden) return;
  FAllHidden = Value;
  Update();
}

void TLumerakVect::SetZoomObjectsWidth(bool Value) {
  FZoomObjectsWidth = Value;
  Update();
}

void TLumerakVect::SetObjAntialias(bool Value) {
  if (Value == FObjAntialias) return;
  FObjAntialias = Value;
  Update();
}

void TLumerakVect::SetObjGraphicRender(bool Value) {
  FGraphicRender = Value;
  Update();
}

void TLumerakVect::SetBitmapResampleFilter(TResampleFilter Value) {
  FBitmapFilter = Value;
  Update();
}

// ---------------------------------------------------------------------------
// Change events
// ---------------------------------------------------------------------------

void TLumerakVect::DoVectorialChanged() {
  FObjectsChanged = true;
  if (OnVectorialChanged) OnVectorialChanged(this);
}
void TLumerakVect::DoObjectMoveResize(Integer hobj, Integer Grip, Integer& DX, Integer& DY) {
  if (OnObjectMoveResize) OnObjectMoveResize(this, hobj, Grip, DX, DY);
}
void TLumerakVect::DoObjectClick(Integer hobj) {
  if (OnObjectClick) OnObjectClick(this, hobj);
}
void TLumerakVect::DoObjectDblClick(Integer hobj) {
  if (OnObjectDblClick) OnObjectDblClick(this, hobj);
}
void TLumerakVect::DoObjectOver(Integer hobj) {
  if (OnObjectOver) OnObjectOver(this, hobj);
}
void TLumerakVect::DoBeforeVectorialChange() {
  if (OnBeforeVectorialChange) OnBeforeVectorialChange(this);
}
void TLumerakVect::DoNewObject(Integer hobj) {
  if (OnNewObject) OnNewObject(this, hobj);
}
