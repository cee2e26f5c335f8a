// Operations of the vector view on the layer as a whole: lookups, order,
// drawing into bitmaps and burning in, copies to other views, rotation, a
// bitmap object from the selection, and the "LUMERAK VECT" clipboard.
#include <algorithm>
#include <cmath>
#include <cstring>
#include <set>

#include "core/lkbitmap.h"
#include "core/lkmask.h"
#include "platform/clipboard.h"
#include "processing/lkrotate.h"
#include "processing/lumerakproc.h"
#include "views/lumerakvect.h"

Word LKVECTCLIPFORMAT() {
  static const Word format = RegisterClipboardFormat(LKVECTCLIPFORMAT_NAME);
  return format;
}

// ---------------------------------------------------------------------------
// Lookups and order
// ---------------------------------------------------------------------------

Integer TLumerakVect::GetObjFromName(const std::string& Name) {
  Integer found = -1;
  for (Integer h : FOrder)
    if (TLKVObject* o = GetObj(h); o != nullptr && o->Name.value_or("") == Name) found = h;
  return found;
}

Integer TLumerakVect::GetObjFromID(Integer ID) {
  Integer found = -1;
  for (Integer h : FOrder)
    if (TLKVObject* o = GetObj(h); o != nullptr && o->ID == ID) found = h;
  return found;
}

Integer TLumerakVect::GetObjPos(Integer hobj) const {
  const auto it = std::find(FOrder.begin(), FOrder.end(), hobj);
  return it == FOrder.end() ? -1 : static_cast<Integer>(it - FOrder.begin());
}

TRect TLumerakVect::GetObjectsExtents() {
  if (FOrder.empty()) return TRect{0, 0, 0, 0};
  Integer maxX = 0, maxY = 0;
  for (Integer h : FOrder)
    if (TLKVObject* o = GetObj(h)) {
      maxX = std::max({maxX, o->X1, o->X2});
      maxY = std::max({maxY, o->Y1, o->Y2});
    }
  return TRect{0, 0, maxX + 1, maxY + 1};
}

void TLumerakVect::ReInsertVObject(Integer hobj, Integer Position) {
  Position = std::clamp<Integer>(Position, 0, static_cast<Integer>(FOrder.size()));
  FOrder.insert(FOrder.begin() + Position, hobj);
}

void TLumerakVect::SetObjFrontOf(Integer hobj, Integer Ref) {
  RemoveVObject(hobj);
  const Integer at = Ref < 0 ? -1 : GetObjPos(Ref);
  ReInsertVObject(hobj, at < 0 ? static_cast<Integer>(FOrder.size()) : at + 1);
  Update();
}

void TLumerakVect::SetObjBackTo(Integer hobj, Integer Ref) {
  RemoveVObject(hobj);
  const Integer at = Ref < 0 ? -1 : GetObjPos(Ref);
  ReInsertVObject(hobj, at < 0 ? 0 : at);
  Update();
}

// ---------------------------------------------------------------------------
// Drawing into bitmaps
// ---------------------------------------------------------------------------

void TLumerakVect::DrawObjectsToBitmapEx(TLKBitmap* Bitmap, bool Antialias, Integer hobj) {
  if (Bitmap == nullptr || Bitmap->IsEmpty()) return;
  const bool render = FGraphicRender;
  if (Antialias) FGraphicRender = true;
  struct Restore {
    bool& Flag;
    bool Value;
    ~Restore() { Flag = Value; }
  } restore{FGraphicRender, render};
  const Integer which = hobj >= 0 ? hobj : -1;
  if (Bitmap->GetLocation() == lkTBitmap && Bitmap->GetPixelFormat() == lk24RGB) {
    DrawObjectAll(Bitmap->GetVclBitmap(), true, Antialias, which);
    return;
  }
  const TLKPixelFormat format = Bitmap->GetPixelFormat();
  TLKBitmap work;
  work.Assign(Bitmap);
  if (format != lk24RGB) work.ConvertToPixelFormat(lk24RGB);
  work.SetLocation(lkTBitmap);
  DrawObjectAll(work.GetVclBitmap(), true, Antialias, which);
  work.SetLocation(lkMemory);
  if (format != lk24RGB) work.ConvertToPixelFormat(format);
  Bitmap->Assign(&work);
}

void TLumerakVect::CopyObjectsToBack(bool Antialias) {
  DrawObjectsToBitmapEx(GetLKBitmap(), Antialias, -1);
  Update();
  ImageChange();
}

void TLumerakVect::CopyObjectToBack(Integer hobj, bool Antialias) {
  if (hobj < 0) return;
  DrawObjectsToBitmapEx(GetLKBitmap(), Antialias, hobj);
  Update();
  ImageChange();
}

// ---------------------------------------------------------------------------
// Copies to other views
// ---------------------------------------------------------------------------

Integer TLumerakVect::CopyObjectTo(Integer hobj, TLumerakVect* Dest) {
  TLKVObject& o = Obj(hobj);
  Integer slot = -1;
  const bool picture = o.Kind == lkkBITMAP || (o.Kind == lkkMEMO && o.MemoHasBitmap);
  if (picture)
    if (TLKBitmap* b = GetBitmap(o.BitmapIdx)) {
      slot = Dest->AllocBitmap();
      auto copy = std::make_unique<TLKBitmap>();
      copy->Assign(b);
      Dest->FBitmaps[static_cast<std::size_t>(slot)].Bitmap = std::move(copy);
      Dest->FBitmaps[static_cast<std::size_t>(slot)].RefCount = 1;
    }
  TLKVObject record = o;
  record.BitmapIdx = -1;
  const Integer h = Dest->AddVObject(record);
  Dest->Obj(h).BitmapIdx = slot;
  Dest->Update();
  return h;
}

void TLumerakVect::CopyAllObjectsTo(TLumerakVect* Dest) {
  for (Integer h : std::vector<Integer>(FOrder)) CopyObjectTo(h, Dest);
  Dest->Update();
}

void TLumerakVect::CopySelectedObjectsTo(TLumerakVect* Dest) {
  for (Integer h : std::vector<Integer>(FSel))
    if (GetObj(h) != nullptr) CopyObjectTo(h, Dest);
  Dest->Update();
}

void TLumerakVect::Assign(TPersistent* Source) {
  if (Source == this) return;
  TLumerakView::Assign(Source);
  auto* source = dynamic_cast<TLumerakVect*>(Source);
  if (Source != nullptr && source == nullptr) return;
  CancelInteracts();
  RemoveAllObjects();
  if (source == nullptr) return;
  source->CopyAllObjectsTo(this);
  SetScale(source->GetScale());
  DoVectorialChanged();
  Update();
}

// ---------------------------------------------------------------------------
// Rotation
// ---------------------------------------------------------------------------

void TLumerakVect::CalcRotateValues(TLKVObject& O, double Angle, TLKRotateCenter Center, double& CX, double& CY,
                                    double& CosA, double& SinA) {
  const double rad = Angle * 3.14159265358979323846 / 180;
  CosA = std::cos(rad);
  SinA = std::sin(rad);
  if (Center == lkrObject) {
    CX = static_cast<double>((Int64{O.X1} + O.X2) / 2);
    CY = static_cast<double>((Int64{O.Y1} + O.Y2) / 2);
    return;
  }
  const Integer W = GetLKBitmap()->GetWidth(), H = GetLKBitmap()->GetHeight();
  switch (LKTrunc(Angle)) {
    case 90:
      CX = CY = W / 2;
      break;
    case 270:
      CX = CY = H / 2;
      break;
    default:  // 180, and the picture's centre for angles it does not serve
      CX = W / 2;
      CY = H / 2;
  }
}

void TLumerakVect::RotateObjectEx(TLKVObject& O, double CX, double CY, double CosA, double SinA, double Angle) {
  const auto turn = [&](Integer& X, Integer& Y) {
    const double dx = X - CX, dy = Y - CY;
    const Integer nx = LKRound(CosA * dx + SinA * dy + CX);
    const Integer ny = LKRound(CY - SinA * dx + CosA * dy);
    X = nx;
    Y = ny;
  };
  turn(O.X1, O.Y1);
  turn(O.X2, O.Y2);
  const TLKVObjectKind k = O.Kind;
  // Kinds without a direction keep their rectangle ordered.
  if (k != lkkLINE && k != lkkRULER && k != lkkPOLYLINE && k != lkkLINELABEL) {
    if (O.X1 > O.X2) std::swap(O.X1, O.X2);
    if (O.Y1 > O.Y2) std::swap(O.Y1, O.Y2);
  }
  if (k == lkkBITMAP && O.BitmapIdx >= 0 && O.BitmapIdx < static_cast<Integer>(FBitmaps.size()) &&
      FBitmaps[static_cast<std::size_t>(O.BitmapIdx)].Bitmap && !FTurnedPictures.count(O.BitmapIdx)) {
    // A picture shared with objects that do not turn gets a copy of its own.
    TLKVBitmap* e = &FBitmaps[static_cast<std::size_t>(O.BitmapIdx)];
    if (e->RefCount > 1 && !FTurningAll) {
      const Integer slot = AllocBitmap();
      e = &FBitmaps[static_cast<std::size_t>(O.BitmapIdx)];
      auto copy = std::make_unique<TLKBitmap>();
      copy->Assign(e->Bitmap.get());
      --e->RefCount;
      FBitmaps[static_cast<std::size_t>(slot)].Bitmap = std::move(copy);
      FBitmaps[static_cast<std::size_t>(slot)].RefCount = 1;
      O.BitmapIdx = slot;
      e = &FBitmaps[static_cast<std::size_t>(slot)];
    }
    TLumerakProc proc(nullptr);
    proc.SetAutoUndo(false);
    proc.SetAttachedLKBitmap(e->Bitmap.get());
    proc.Rotate(Angle, true, lkrFast, -1);
    if (FTurningAll) FTurnedPictures.insert(O.BitmapIdx);
  }
  if (k == lkkTEXT && O.LogFont) O.LogFont->lfEscapement += LKTrunc(Angle * 10);
  if (k == lkkPOLYLINE) {
    for (TPoint& p : O.PolyPoints) turn(p.X, p.Y);
    turn(O.PolyBox.Left, O.PolyBox.Top);
    turn(O.PolyBox.Right, O.PolyBox.Bottom);
  }
  if (k == lkkANGLE)
    for (TPoint& p : O.AnglePoints)
      if (p.X != LKAngleUnset) turn(p.X, p.Y);
}

void TLumerakVect::RotateObject(Integer hobj, double Angle, TLKRotateCenter Center) {
  TLKVObject& o = Obj(hobj);
  double cx, cy, c, s;
  CalcRotateValues(o, Angle, Center, cx, cy, c, s);
  RotateObjectEx(o, cx, cy, c, s, Angle);
  Update();
}

void TLumerakVect::RotateAllObjects(double Angle, TLKRotateCenter Center) {
  // Every picture of the table turns once, however many objects share it.
  FTurningAll = true;
  FTurnedPictures.clear();
  for (Integer h : FOrder)
    if (TLKVObject* o = GetObj(h)) {
      double cx, cy, c, s;
      CalcRotateValues(*o, Angle, Center, cx, cy, c, s);
      RotateObjectEx(*o, cx, cy, c, s, Angle);
    }
  FTurningAll = false;
  FTurnedPictures.clear();
  Update();
}

// ---------------------------------------------------------------------------
// A bitmap object from the selection
// ---------------------------------------------------------------------------

Integer TLumerakVect::CreateImageFromSelectedArea(Integer Feather, bool Smooth) {
  if (!GetSelected()) return -1;
  TLKBitmap b;
  CopySelectionToLKBitmap(&b);
  if (b.IsEmpty()) return -1;
  const Integer W = b.GetWidth(), H = b.GetHeight();
  const Integer left = GetSelX1(), top = GetSelY1();
  TLKBitmap* a = b.GetAlphaChannel();
  a->Fill(0);
  TLKMask* mask = GetSelectionMask();
  for (Integer y = 0; y < H; ++y) {
    Byte* row = static_cast<Byte*>(a->GetScanLine(y));
    for (Integer x = 0; x < W; ++x)
      if (mask->IsPointInside(x + left, y + top)) row[x] = 255;
  }
  const auto at = [&](Integer x, Integer y) -> Byte& { return static_cast<Byte*>(a->GetScanLine(y))[x]; };
  if (Feather > 0) {
    // At least one step, or a wide feather would leave nothing visible.
    const Integer step = std::max<Integer>(1, 256 / Feather);
    const auto ramp = [&](Byte& p, Integer& v) {
      if (v < p) {
        v = std::min<Integer>(v + step, 255);
        p = static_cast<Byte>(v);
      } else {
        v = p;
      }
    };
    for (Integer y = 0; y < H; ++y) {
      Integer v = 0;
      for (Integer x = 0; x < W; ++x) ramp(at(x, y), v);
      v = 0;
      for (Integer x = W - 1; x >= 0; --x) ramp(at(x, y), v);
    }
    for (Integer x = 0; x < W; ++x) {
      Integer v = 0;
      for (Integer y = 0; y < H; ++y) ramp(at(x, y), v);
      v = 0;
      for (Integer y = H - 1; y >= 0; --y) ramp(at(x, y), v);
    }
  }
  if (Smooth)
    for (Integer y = 0; y < H; ++y)
      for (Integer x = 0; x < W; ++x) {
        if (at(x, y) == 0) continue;
        const Integer sum = (x > 0 ? at(x - 1, y) : 0) + (x + 1 < W ? at(x + 1, y) : 0) +
                            (y > 0 ? at(x, y - 1) : 0) + (y + 1 < H ? at(x, y + 1) : 0);
        at(x, y) = static_cast<Byte>(sum >> 2);
      }
  const Integer h = AddNewObject();
  SetObjKind(h, lkkBITMAP);
  SetObjBitmap(h, &b);
  SetObjRect(h, TRect{left, top, GetSelX2(), GetSelY2()});
  return h;
}

// ---------------------------------------------------------------------------
// Clipboard
// ---------------------------------------------------------------------------

void TLumerakVect::ObjCopyToClipboard() {
  if (!ClipboardAvailable()) return;
  const std::vector<Byte> block = SelectedObjectsBlock();
  TClipboard* c = Clipboard();
  c->Open();
  c->Clear();
  c->SetAsData(LKVECTCLIPFORMAT(), block);
  c->Close();
}

void TLumerakVect::ObjCutToClipboard() {
  ObjCopyToClipboard();
  while (!FSel.empty()) RemoveObject(FSel.front());
}

void TLumerakVect::ObjPasteFromClipboard(Integer OffsetX, Integer OffsetY) {
  if (!ClipboardAvailable()) return;
  TClipboard* c = Clipboard();
  if (!c->HasFormat(LKVECTCLIPFORMAT())) return;
  PasteObjectsBlock(c->GetAsData(LKVECTCLIPFORMAT()), OffsetX, OffsetY);
}
