// Selection of the thumbnail view and the mouse and keys that drive it.
// Selection events fire only while a user action (a mouse or key handler)
// runs; calls made by the program stay silent.
#include <algorithm>

#include "core/lkbitmap.h"
#include "views/lumerakmview.h"

namespace {

// Sets a flag for the duration of a scope and restores it after.
class FlagScope {
 public:
  FlagScope(bool& Flag, bool Value) : flag_(Flag), saved_(Flag) { Flag = Value; }
  ~FlagScope() { flag_ = saved_; }
  FlagScope(const FlagScope&) = delete;
  FlagScope& operator=(const FlagScope&) = delete;

 private:
  bool& flag_;
  bool saved_;
};

}  // namespace

void TLumerakMView::DoImageSelect(Integer Idx) {
  if (FUserAction && OnImageSelect) OnImageSelect(this, Idx);
}

void TLumerakMView::DoImageDeselect(Integer Idx) {
  if (FUserAction && !FDestroying && OnImageDeselect) OnImageDeselect(this, Idx);
}

bool TLumerakMView::IsSelected(Integer Idx) const {
  return std::find(FMultiSel.begin(), FMultiSel.end(), Idx) != FMultiSel.end();
}

Integer TLumerakMView::MultiSelectedImages(Integer I) const {
  return I >= 0 && I < MultiSelectedImagesCount() ? FMultiSel[static_cast<size_t>(I)] : -1;
}

void TLumerakMView::MultiSelectSortList() { std::sort(FMultiSel.begin(), FMultiSel.end()); }

void TLumerakMView::ApplyToSelection(Integer Idx) {
  // Gives back the selected image's lent bitmap with the caller's changes.
  TLKImageInfo* cur = Entry(FSelected);
  if (cur != nullptr && FSelectedBitmap != nullptr && cur->Stored != nullptr) {
    FImageList->ReleaseBitmapByImage(cur->Stored, true);
    DropDisplayCopy(*cur);
  }
  FSelectedBitmap = nullptr;
  FSelectedFBitmap.reset();
  (void)Idx;
}

void TLumerakMView::SetSelectedItemNU(Integer Idx) {
  FChanged = false;
  if (FPlaying || Idx < 0 || Idx >= GetImageCount()) return;
  ApplyToSelection(Idx);
  if (EnableMultiSelect) {
    if (!FMultiSelecting) {
      const std::vector<Integer> old = FMultiSel;
      FMultiSel.clear();
      for (Integer i : old) DoImageDeselect(i);
      FChanged = true;
    } else if (!FBatch && IsSelected(Idx)) {
      FMultiSel.erase(std::find(FMultiSel.begin(), FMultiSel.end(), Idx));
      DoImageDeselect(Idx);
      FChanged = true;
      if (!FExtending) {
        FSelected = -1;
        return;
      }
    }
    if (!IsSelected(Idx)) FMultiSel.push_back(Idx);
    FChanged = true;
  }
  if (FBatch) {
    FSelected = -1;
    return;
  }
  FSelected = Idx;
  CallBitmapChangeEvents();
  DoImageSelect(Idx);
}

void TLumerakMView::SetSelectedItem(Integer Idx) {
  if (FPlaying || Idx < 0 || Idx >= GetImageCount()) return;
  if (Idx == FSelected && !FMultiSelecting) return;
  SetSelectedItemNU(Idx);
  if (!FBatch) UpdateEx(false);
}

void TLumerakMView::DeselectNU() {
  ApplyToSelection(-1);
  if (EnableMultiSelect) {
    const std::vector<Integer> old = FMultiSel;
    FMultiSel.clear();
    for (Integer i : old) DoImageDeselect(i);
  } else {
    DoImageDeselect(FSelected);
  }
  FSelected = -1;
}

void TLumerakMView::Deselect() {
  DeselectNU();
  UpdateEx(false);
}

void TLumerakMView::UnSelectImage(Integer Idx) {
  if (Idx >= 0 && Idx < GetImageCount()) {
    if (Idx == FSelected) {
      ApplyToSelection(-1);
      FSelected = -1;
    }
    auto it = std::find(FMultiSel.begin(), FMultiSel.end(), Idx);
    if (it != FMultiSel.end()) FMultiSel.erase(it);
    DoImageDeselect(Idx);
  }
  UpdateEx(false);
}

void TLumerakMView::SelectAll() {
  if (!EnableMultiSelect || GetImageCount() == 0) return;
  DeselectNU();
  {
    FlagScope multi(FMultiSelecting, true);
    for (Integer i = 0; i + 1 < GetImageCount(); ++i) FMultiSel.push_back(i);
    SetSelectedItemNU(GetImageCount() - 1);
  }
  UpdateEx(false);
}

void TLumerakMView::BeginSelectImages() {
  DeselectNU();
  FBatch = true;
  FMultiSelecting = true;
}

void TLumerakMView::EndSelectImages() {
  FBatch = false;
  FMultiSelecting = false;
  if (!FMultiSel.empty()) FSelected = FMultiSel.back();
  FSelectedBitmap = nullptr;
  FSelectedFBitmap.reset();
  CallBitmapChangeEvents();
  UpdateEx(false);
}

void TLumerakMView::SelectAtPos(Integer X, Integer Y, TShiftState Shift) {
  FlagScope multi(FMultiSelecting, FMultiSelecting || Shift.Contains(ssCtrl) || Shift.Contains(ssShift));
  const Integer a = ImageAtPos(X, Y);
  if (a < 0) return;
  const Integer c = FSelected;
  if (Shift.Contains(ssShift) && (a != c || (FMultiSelecting && EnableMultiSelect))) {
    if (MultiSelectionOptions.Contains(lkmoRegion)) {
      const Integer r1 = std::min(GetImageRow(c), GetImageRow(a)), r2 = std::max(GetImageRow(c), GetImageRow(a));
      const Integer c1 = std::min(GetImageCol(c), GetImageCol(a)), c2 = std::max(GetImageCol(c), GetImageCol(a));
      for (Integer r = r1; r <= r2; ++r)
        for (Integer col = c1; col <= c2; ++col) {
          const Integer i = ImageAtGridPos(r, col);
          if (i != c && i != a && !IsSelected(i)) SetSelectedItemNU(i);
        }
    } else if (c < a) {
      for (Integer i = c + 1; i < a; ++i)
        if (!IsSelected(i)) SetSelectedItemNU(i);
    } else {
      for (Integer i = c - 1; i > a; --i)
        if (!IsSelected(i)) SetSelectedItemNU(i);
    }
  }
  SetSelectedItemNU(a);
  if (VisibleSelection) UpdateEx(false);
  CallBitmapChangeEvents();
}

void TLumerakMView::RebuildDragRange() {
  FlagScope multi(FMultiSelecting, false);
  FlagScope ext(FExtending, true);
  DeselectNU();
  SetSelectedItemNU(FPressImage >= 0 ? FPressImage : 0);
  FAnchor = FSelected;
}

void TLumerakMView::MouseDown(TMouseButton Button, TShiftState Shift, Integer X, Integer Y) {
  TLKView::MouseDown(Button, Shift, X, Y);
  FlagScope user(FUserAction, true);
  if (FDblClick) {
    FDblClick = false;
    return;
  }
  if (CanFocus()) SetFocus();
  FPressPoint = TPoint{X, Y};
  FPressView = TPoint{FViewX, FViewY};
  FPressImage = ImageAtPos(X, Y);
  FLastReached = FPressImage;
  FDragSelected = false;
  FPressed = true;
  FChanged = false;
  if (MultiSelectionOptions.Contains(lkmoSelectOnMouseUp) || Button != mbLeft || !MouseInteract.Contains(mmiSelect))
    return;
  if (Shift.Contains(ssShift)) {
    {
      FlagScope multi(FMultiSelecting, false);
      FlagScope ext(FExtending, true);
      const Integer anchor = FAnchor >= 0 && FAnchor < GetImageCount() ? FAnchor : 0;
      DeselectNU();
      SetSelectedItemNU(anchor);
      FlagScope ext2(FExtending, true);
      SelectAtPos(X, Y, TShiftState{ssShift});
      FAnchor = anchor;
    }
    FDragSelected = true;
    return;
  }
  if (FPressImage >= 0 && IsSelected(FPressImage)) {
    FAnchor = FPressImage;
    return;
  }
  FAnchor = FPressImage;
  SelectAtPos(X, Y, Shift);
}

void TLumerakMView::MouseMove(TShiftState Shift, Integer X, Integer Y) {
  TLKView::MouseMove(Shift, X, Y);
  if (!FPressed || !GetMouseCapture()) return;
  FlagScope user(FUserAction, true);
  if (MouseInteract.Contains(mmiSelect) && EnableMultiSelect) {
    const Integer i = ImageAtPos(X, Y);
    if (i != -1 && i != FLastReached) {
      FLastReached = i;
      {
        FlagScope multi(FMultiSelecting, false);
        FlagScope ext(FExtending, true);
        DeselectNU();
        SetSelectedItemNU(FPressImage >= 0 ? FPressImage : 0);
        SelectAtPos(X, Y, TShiftState{ssShift});
      }
      FDragSelected = true;
    }
  }
  if (MouseInteract.Contains(mmiScroll)) {
    SetViewXY(FPressView.X + FPressPoint.X - X, FPressView.Y + FPressPoint.Y - Y);
    ViewChange(0);
  }
}

void TLumerakMView::MouseUp(TMouseButton Button, TShiftState Shift, Integer X, Integer Y) {
  TLKView::MouseUp(Button, Shift, X, Y);
  if (!FPressed) return;
  FPressed = false;
  if (FPlaying || Button != mbLeft) return;
  FlagScope user(FUserAction, true);
  if (MouseInteract.Contains(mmiSelect)) {
    if (MultiSelectionOptions.Contains(lkmoSelectOnMouseUp) && !FDragSelected)
      SelectAtPos(X, Y, Shift);
    else if (!MultiSelectionOptions.Contains(lkmoSelectOnMouseUp) && !FChanged && !FDragSelected)
      SelectAtPos(X, Y, Shift);
  }
  if (MouseInteract.Contains(mmiScroll)) {
    SetViewXY(FPressView.X + FPressPoint.X - X, FPressView.Y + FPressPoint.Y - Y);
    ViewChange(0);
  }
}

void TLumerakMView::KeyDown(Word& Key, TShiftState Shift) {
  TLKView::KeyDown(Key, Shift);
  if (FPlaying || !KeyInteract.Contains(mkiMoveSelected)) return;
  FlagScope user(FUserAction, true);
  const bool extend = EnableMultiSelect && (Shift.Contains(ssShift) || Shift.Contains(ssCtrl));
  FlagScope multi(FMultiSelecting, FMultiSelecting || extend);
  FlagScope ext(FExtending, FExtending || extend);
  TLKSeek seek;
  switch (Key) {
    case VK_PRIOR: seek = iskPagUp; break;
    case VK_NEXT: seek = iskPagDown; break;
    case VK_END: seek = iskLast; break;
    case VK_HOME: seek = iskFirst; break;
    case VK_LEFT: seek = iskLeft; break;
    case VK_UP: seek = iskUp; break;
    case VK_RIGHT: seek = iskRight; break;
    case VK_DOWN: seek = iskDown; break;
    default: return;
  }
  SelectSeek(seek);
  ViewChange(0);
  UpdateEx(false);
}

void TLumerakMView::SelectSeek(TLKSeek Seek) {
  const Integer count = GetImageCount();
  if (count == 0) return;
  const Integer columns = LKMColumns(GetGridParams());
  const Integer rowStep = FVertBorder + FThumbHeight;
  const Integer page = columns * (rowStep > 0 ? (GetClientHeight() - FVertBorder) / rowStep : 0);
  const Integer s = FSelected;
  Integer target = -2;
  enum { kLeft, kRight, kUp, kDown, kFirst } scroll = kFirst;
  switch (Seek) {
    case iskLeft:
      if (s >= 0) target = s - 1;
      scroll = kLeft;
      break;
    case iskRight:
      if (s >= -1) target = s + 1;
      scroll = kRight;
      break;
    case iskUp:
      if (s >= 0) target = FGridWidth != 0 ? std::max<Integer>(s - columns, 0) : s - 1;
      scroll = kUp;
      break;
    case iskDown:
      if (s >= -1) target = FGridWidth != 0 ? std::min<Integer>(s + columns, count - 1) : s + 1;
      scroll = kDown;
      break;
    case iskFirst:
      target = 0;
      scroll = kFirst;
      break;
    case iskLast:
      target = count - 1;
      scroll = kDown;
      break;
    case iskPagDown:
      if (s >= -1) target = std::min<Integer>(s + page, count - 1);
      scroll = kDown;
      break;
    case iskPagUp:
      if (s >= 0) target = std::max<Integer>(s - page, 0);
      scroll = kUp;
      break;
  }
  if (target == -2) return;
  SetSelectedItem(target);
  TLKImageInfo* e = Entry(FSelected);
  if (e == nullptr) return;
  auto whollyVisible = [&] { return GetImageVisibility(FSelected) == 2; };
  if (scroll == kFirst) {
    SetViewXY(0, 0);
    return;
  }
  if (whollyVisible()) return;
  const Integer cw = GetClientWidth(), ch = GetClientHeight();
  switch (scroll) {
    case kLeft: SetViewXY(e->X - FHorizBorder, e->Y - FVertBorder); break;
    case kRight:
      SetViewXY(e->X + FThumbWidth + FHorizBorder - cw, e->Y + FThumbHeight + FVertBorder - ch);
      break;
    case kUp:
      SetViewY(e->Y - FVertBorder);
      if (!whollyVisible()) SetViewX(e->X - FHorizBorder);
      break;
    case kDown:
      SetViewY(e->Y + FThumbHeight + FVertBorder - ch);
      if (!whollyVisible()) SetViewX(e->X + FThumbWidth + FHorizBorder - cw);
      break;
    default: break;
  }
}

void TLumerakMView::CenterSelected() {
  TLKImageInfo* e = Entry(FSelected);
  if (e == nullptr) return;
  SetViewXY(e->X - (GetClientWidth() - FThumbWidth) / 2, e->Y - (GetClientHeight() - FThumbHeight) / 2);
}
