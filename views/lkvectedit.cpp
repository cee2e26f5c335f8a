// Memo objects of the vector view: drawn through an invisible memo editor,
// edited in place through the view's own one; the F2 and Escape keys, the
// focus hand-over, and the undo list of whole object snapshots.
#include <algorithm>
#include <cmath>

#include "platform/ctrltypes.h"
#include "views/lkviewgeometry.h"
#include "views/lumerakvect.h"

// ---------------------------------------------------------------------------
// Drawing memos
// ---------------------------------------------------------------------------

void TLumerakVect::ConfigureMemo(TLKTextControl& C, TLKVObject& O, double Zoom) {
  C.Margins[0] = O.MemoMarginLeft;
  C.Margins[1] = O.MemoMarginTop;
  C.Margins[2] = O.MemoMarginRight;
  C.Margins[3] = O.MemoMarginBottom;
  TFont* f = C.GetDefaultFont();
  if (O.LogFont) LKLogFontToFont(*O.LogFont, O.PenColor, *f);
  else f->SetColor(O.PenColor);
  C.GetDefaultCharBrush()->SetColor(O.BrushColor);
  C.GetDefaultCharBrush()->SetStyle(O.BrushStyle);
  C.GetControlBrush()->SetColor(O.BrushColor);
  C.GetControlBrush()->SetStyle(O.BrushStyle);
  C.DefaultAlign = O.TextAlign;
  if (C.GetFontLocked() != O.FontLocked) C.SetFontLocked(O.FontLocked);
  C.AutoGrow = O.TextAutoSize;
  C.LineSpace = O.MemoLineSpace;
  C.GetBorderPen()->SetColor(O.MemoBorderColor);
  C.GetBorderPen()->SetStyle(O.MemoBorderStyle);
  C.FixedLineHeight = O.MemoFixedHeight;
  if (C.Zoom != Zoom) {
    C.Zoom = Zoom;
    C.ResetLayout();
  }
}

void TLumerakVect::DrawMemo(TLKVObject& O, Integer hobj, TCanvas* C, Integer SX1, Integer SY1, double Zoom,
                            bool DrawingAlpha) {
  TLKTextControl t;
  ConfigureMemo(t, O, Zoom);
  t.IgnoreColors = DrawingAlpha;
  t.Collect = hobj == FFormatting;
  t.Rich.Text = O.Text.value_or(std::string());
  t.Rich.StyleIndex = O.MemoCharIndex;
  t.Rich.Styles = O.MemoCharInfos;
  t.Init();
  t.PaintTo(C, SX1, SY1, O.X2 - O.X1 + 1, O.Y2 - O.Y1 + 1);
  if (t.Collect) FFormatted = t.GetCollected();
}

std::string TLumerakVect::GetMemoFormattedString(Integer hobj) {
  if (hobj == FEdited) return FFormatted;
  TLKVObject& o = Obj(hobj);
  FFormatting = hobj;
  TBitmap scratch(1, 1, pf24bit);
  DrawMemo(o, hobj, scratch.GetCanvas(), o.X1, o.Y1, 1.0, false);
  FFormatting = -1;
  return FFormatted;
}

// ---------------------------------------------------------------------------
// Editing in place
// ---------------------------------------------------------------------------

void TLumerakVect::SetObjTextEditMode(Integer hobj) {
  if (hobj == FEdited) return;
  CancelInteracts();
  UnSelAllObjectsNU();
  AddSelObjectEx(hobj);
  FEdited = hobj;
  ActivateTextEdit();
  Update();
}

void TLumerakVect::ActivateTextEdit() {
  TLKVObject* o = FEdited >= 0 ? GetObj(FEdited) : nullptr;
  // Text objects have no in-place editor here; only memos open one.
  if (o == nullptr || !o->TextEditable || o->Kind != lkkMEMO) {
    FEdited = -1;
    return;
  }
  if (FMemoEdit == nullptr) {
    FMemoEdit = new TLKTextControl(nullptr);
    FMemoEdit->Hide();
  }
  TLKTextControl& e = *FMemoEdit;
  e.BackgroundPicture = GetBackBuffer();
  e.SetParent(this);
  UpdateTextEdit();
  e.OnKeyDown = [this](TObject* Sender, Word& Key, TShiftState Shift) { MemoEditKeyDown(Sender, Key, Shift); };
  e.Rich = TLKRichText{};
  e.Rich.Text = o->Text.value_or(std::string());
  e.Rich.StyleIndex = std::move(o->MemoCharIndex);
  e.Rich.Styles = std::move(o->MemoCharInfos);
  o->MemoCharIndex.clear();
  o->MemoCharInfos.clear();
  e.Init();
  e.ResetLayout();
  e.Show();
  if (e.CanFocus()) e.SetFocus();
  if (OnActivateTextEdit) OnActivateTextEdit(this);
}

void TLumerakVect::UpdateTextEdit() {
  if (FEdited < 0 || FMemoEdit == nullptr) return;
  TLKVObject* o = GetObj(FEdited);
  if (o == nullptr || o->Kind != lkkMEMO) return;
  const Integer x1 = XBmp2Scr(o->X1), y1 = YBmp2Scr(o->Y1), x2 = XBmp2Scr(o->X2), y2 = YBmp2Scr(o->Y2);
  FMemoEdit->SetBounds(x1, y1, x2 - x1 + 1, y2 - y1 + 1);
  ConfigureMemo(*FMemoEdit, *o, GetZoomY() / 100.0);
  FMemoEdit->Invalidate();
}

void TLumerakVect::RemoveTextEdit() {
  if (FEdited < 0 || FMemoEdit == nullptr) return;
  TLKVObject* o = GetObj(FEdited);
  TLKTextControl& e = *FMemoEdit;
  if (o != nullptr && o->Kind == lkkMEMO) {
    e.Rich.RemoveUnreferenced();
    if (!FDestroying && o->TextAutoSize && GetZoomY() > 0)
      o->Y2 = o->Y1 + LKTruncClamp(e.GetClientHeight() / (GetZoomY() / 100.0));
    o->Text = std::move(e.Rich.Text);
    o->MemoCharIndex = std::move(e.Rich.StyleIndex);
    o->MemoCharInfos = std::move(e.Rich.Styles);
    o->HasMemoCharInfos = !o->MemoCharInfos.empty();
  }
  e.Rich = TLKRichText{};
  e.OnKeyDown = nullptr;
  e.Hide();
  if (FDestroying) return;
  if (OnDeactivateTextEdit) OnDeactivateTextEdit(this);
  if (CanFocus()) SetFocus();
  DoVectorialChanged();
}

void TLumerakVect::MemoEditKeyDown(TObject* Sender, Word& Key, TShiftState Shift) {
  if (OnTextKeyDown) OnTextKeyDown(Sender, Key, Shift);
  if (Key == VK_ESCAPE) {
    Key = 0;
    CancelInteracts();
  }
}

void TLumerakVect::Update() {
  TLumerakView::Update();
  UpdateTextEdit();
}

void TLumerakVect::KeyDown(Word& Key, TShiftState Shift) {
  if (Key == VK_ESCAPE) {
    RemoveTextEdit();
    FEdited = -1;
  } else if (Key == VK_F1 + 1 && !FSel.empty()) {
    const TLKVObject* o = GetObj(FSel.front());
    if (o != nullptr && (o->Kind == lkkTEXT || o->Kind == lkkMEMO) && FEdited != FSel.front()) {
      RemoveTextEdit();
      FEdited = FSel.front();
      ActivateTextEdit();
      Update();
    }
  }
  TLumerakView::KeyDown(Key, Shift);
}

void TLumerakVect::WndProc(TMessage& Message) {
  switch (Message.Msg) {
    case WM_SIZE:
      TLumerakView::WndProc(Message);
      CancelInteracts();
      Update();
      return;
    case WM_SETFOCUS:
      TLumerakView::WndProc(Message);
      if (FEdited >= 0 && FMemoEdit != nullptr && FMemoEdit->GetVisible() && FMemoEdit->CanFocus())
        FMemoEdit->SetFocus();
      Invalidate();
      return;
    case WM_KILLFOCUS:
      TLumerakView::WndProc(Message);
      Invalidate();
      return;
    default:
      TLumerakView::WndProc(Message);
  }
}

// ---------------------------------------------------------------------------
// Undo
// ---------------------------------------------------------------------------

void TLumerakVect::ObjSaveUndo() {
  TMemoryStream s;
  SaveToStreamLKV(&s);
  const auto* p = static_cast<const Byte*>(s.GetMemory());
  while (static_cast<Integer>(FUndo.size()) >= FUndoLimit) FUndo.erase(FUndo.begin());
  FUndo.emplace_back(p, p + s.GetSize());
}

void TLumerakVect::ObjUndoAt(Integer Index) {
  if (Index < 0 || Index >= static_cast<Integer>(FUndo.size())) return;
  const std::vector<Byte>& snap = FUndo[FUndo.size() - 1 - static_cast<std::size_t>(Index)];
  TMemoryStream s;
  s.Write(snap.data(), static_cast<Integer>(snap.size()));
  s.SetPosition(0);
  LoadFromStreamLKV(&s);
}

void TLumerakVect::ObjClearUndo() {
  if (!FUndo.empty()) FUndo.pop_back();
}
