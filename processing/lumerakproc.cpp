#include "processing/lumerakproc.h"

#include <algorithm>
#include <cmath>
#include <limits>

#include "core/lkbitmap.h"
#include "core/lkmask.h"
#include "processing/lkprocutils.h"
#include "core/lkviewlink.h"

namespace {

// Preference of CheckFormat: per current format, the formats tried in order
// (lknull ends a row).
constexpr TLKPixelFormat kFormatPreference[LKPixelFormatCount][7] = {
    /* lknull   */ {lknull, lknull, lknull, lknull, lknull, lknull, lknull},
    /* lk1g     */ {lk8g, lk16g, lk32f, lk24RGB, lknull, lknull, lknull},
    /* lk8p     */ {lk24RGB, lkCMYK, lk48RGB, lkCIELab, lknull, lknull, lknull},
    /* lk8g     */ {lk16g, lk32f, lk24RGB, lkCMYK, lk48RGB, lknull, lknull},
    /* lk16g    */ {lk32f, lk8g, lk48RGB, lk24RGB, lkCMYK, lknull, lknull},
    /* lk24RGB  */ {lkCMYK, lkCIELab, lk48RGB, lk8p, lk16g, lk8g, lknull},
    /* lk32f    */ {lk16g, lk8g, lk24RGB, lk48RGB, lkCIELab, lknull, lknull},
    /* lkCMYK   */ {lk24RGB, lk48RGB, lkCIELab, lk8g, lknull, lknull, lknull},
    /* lk48RGB  */ {lk24RGB, lkCMYK, lkCIELab, lk16g, lknull, lknull, lknull},
    /* lkCIELab */ {lk24RGB, lkCMYK, lk48RGB, lk8g, lknull, lknull, lknull},
};

}  // namespace

TLKPixelFormat LKPreferredFormat(TLKPixelFormat current, TLKPixelFormatSet allowed) {
  if (static_cast<unsigned>(current) < LKPixelFormatCount) {
    for (TLKPixelFormat f : kFormatPreference[current]) {
      if (f == lknull) break;
      if (allowed.Contains(f)) return f;
    }
  }
  for (int f = LKPixelFormatCount - 1; f > 0; --f)
    if (allowed.Contains(static_cast<TLKPixelFormat>(f))) return static_cast<TLKPixelFormat>(f);
  return lknull;
}

/// One undo or redo entry: a full copy of the image, tagged with the layer it
/// came from, or a selection stream.
struct TLumerakProc::Entry {
  TLKUndoSource Source = lkuUnknown;
  std::unique_ptr<TLKBitmap> Image;
  Integer Layer = -1;
  std::unique_ptr<TMemoryStream> Selection;
};

TLumerakProc::TLumerakProc(TComponent* AOwner) : TComponent(AOwner), FPreviewFont(std::make_unique<TFont>()) {
  SetOwnBitmap();
}

TLumerakProc::~TLumerakProc() {
  Unregister();
  FAttachedLumerak = nullptr;
  ClearAllUndo();
  ClearAllRedo();
  FreeOwnedBitmap();
  BeginDestroy();
}

// --- Attaching -----------------------------------------------------------------

TLumerakViewServices* TLumerakProc::ViewServices() const {
  return dynamic_cast<TLumerakViewServices*>(FAttachedLumerak);
}

void TLumerakProc::Unregister() {
  if (!FAttachedLumerak) return;
  if (FRegistration >= 0) FAttachedLumerak->RemoveBitmapChangeEvent(FRegistration);
  FRegistration = -1;
  if (TComponent* view = FAttachedLumerak->GetLinkComponent()) RemoveFreeNotification(view);
}

void TLumerakProc::FreeOwnedBitmap() {
  if (FOwnsBitmap) delete FBitmap;
  FBitmap = nullptr;
  FOwnsBitmap = false;
}

void TLumerakProc::SetOwnBitmap() {
  FreeOwnedBitmap();
  FBitmap = new TLKBitmap();
  FOwnsBitmap = true;
}

void TLumerakProc::TakeViewBitmap() {
  // The view's own TLKBitmap when it has one; otherwise a bitmap of ours
  // that wraps the view's class-library bitmap.
  if (TLKBitmap* bitmap = FAttachedLumerak->GetLKBitmap()) {
    if (bitmap != FBitmap) FreeOwnedBitmap();
    FBitmap = bitmap;
    FAttachedBitmap = nullptr;
    return;
  }
  FAttachedBitmap = FAttachedLumerak->GetFBitmap();
  if (!FOwnsBitmap) SetOwnBitmap();
  if (FAttachedBitmap)
    FBitmap->EncapsulateTBitmap(FAttachedBitmap, true);
  else
    FBitmap->FreeImage(true);
}

void TLumerakProc::ForgetView() {
  // The view's bitmaps go with the view: fall back to an own empty bitmap
  // rather than keep a reference to freed memory.
  FRegistration = -1;
  FAttachedLumerak = nullptr;
  FAttachedBitmap = nullptr;
  SetOwnBitmap();
}

void TLumerakProc::SetAttachedLumerak(TLKViewLink* View) {
  Unregister();
  FAttachedLumerak = View;
  FAttachedBitmap = nullptr;
  if (!View) {
    SetOwnBitmap();
    return;
  }
  TakeViewBitmap();
  if (TComponent* view = View->GetLinkComponent()) view->FreeNotification(this);
  FRegistration = View->RegisterBitmapChangeEvent(
      [this](TObject* Sender, bool Destroying) { OnBitmapChange(Sender, Destroying); });
}

void TLumerakProc::SetAttachedLKBitmap(TLKBitmap* Bitmap) {
  if (!Bitmap && FAttachedLumerak) return;
  if (Bitmap) {
    Unregister();
    FAttachedLumerak = nullptr;
  }
  SetLKBitmap(Bitmap);
}

void TLumerakProc::SetLKBitmap(TLKBitmap* Bitmap) {
  FAttachedBitmap = nullptr;
  FreeOwnedBitmap();
  FBitmap = Bitmap;
}

void TLumerakProc::SetAttachedBitmap(TBitmap* Bitmap) {
  if (!Bitmap && FAttachedLumerak) return;
  if (Bitmap) {
    Unregister();
    FAttachedLumerak = nullptr;
  }
  // Wrapping happens in a bitmap of our own, never in a caller's TLKBitmap.
  if (!FOwnsBitmap) SetOwnBitmap();
  FAttachedBitmap = Bitmap;
  if (Bitmap)
    FBitmap->EncapsulateTBitmap(Bitmap, true);
  else
    FBitmap->FreeImage(true);
}

void TLumerakProc::OnBitmapChange(TObject* Sender, bool Destroying) {
  if (Destroying) {
    if (FAttachedLumerak)
      if (TComponent* view = FAttachedLumerak->GetLinkComponent()) RemoveFreeNotification(view);
    ForgetView();
    return;
  }
  if (FAttachedLumerak) TakeViewBitmap();
}

void TLumerakProc::Notification(TComponent* AComponent, TOperation Operation) {
  TComponent::Notification(AComponent, Operation);
  // The view empties its registry itself.
  // (A component being destroyed is no view any more: the view's own
  // destruction has already told this component through its callbacks.)
  if (Operation == opRemove && AComponent && FAttachedLumerak && dynamic_cast<TLKViewLink*>(AComponent) == FAttachedLumerak)
    ForgetView();
}

// --- Settings --------------------------------------------------------------------

void TLumerakProc::SetPreviewFont(TFont* Font) {
  if (Font) FPreviewFont->Assign(Font);
}

TColor TLumerakProc::GetReBackground() const {
  return FAttachedLumerak ? FAttachedLumerak->GetBackground() : FBackground;
}

void TLumerakProc::SetReBackground(TColor Color) {
  if (FAttachedLumerak)
    FAttachedLumerak->SetBackGround(Color);
  else
    FBackground = Color;
}

// --- The operation frame -----------------------------------------------------------

bool TLumerakProc::CheckFormat(TLKPixelFormatSet Allowed) {
  if (!FBitmap) return false;
  const TLKPixelFormat current = FBitmap->GetPixelFormat();
  if (Allowed.Empty() || Allowed.Contains(current)) return true;
  if (!FAutoConvertFormat) return false;
  FBitmap->SetPixelFormat(LKPreferredFormat(current, Allowed));
  return true;
}

bool TLumerakProc::MakeConsistentBitmap(TLKPixelFormatSet Allowed) {
  if (!FBitmap) return false;
  // Pick up size or format changes made to the class-library bitmap.
  if (FAttachedBitmap) FBitmap->EncapsulateTBitmap(FAttachedBitmap, false);
  return CheckFormat(Allowed);
}

bool TLumerakProc::GetReSel(Integer& X1, Integer& Y1, Integer& X2, Integer& Y2, TPoint*& Polygon,
                            Integer& PolygonCount, TLKMask*& Mask) {
  if (FBitmap && FAttachedBitmap) FBitmap->EncapsulateTBitmap(FAttachedBitmap, false);
  PolygonCount = 0;
  Polygon = nullptr;
  Mask = nullptr;
  X1 = 0;
  Y1 = 0;
  X2 = FBitmap ? FBitmap->GetWidth() : 0;
  Y2 = FBitmap ? FBitmap->GetHeight() : 0;
  TLumerakViewServices* view = ViewServices();
  if (!view) return false;
  Mask = view->GetSelectionMask();
  if (!view->GetSelected()) return false;
  if (Mask && !Mask->IsEmpty()) {
    X1 = Mask->GetX1();
    Y1 = Mask->GetY1();
    X2 = Mask->GetX2() + 1;
    Y2 = Mask->GetY2() + 1;
  }
  Polygon = view->GetPolySelArray();
  PolygonCount = view->GetPolySelCount();
  return true;
}

bool TLumerakProc::BeginImageProcessing(TLKPixelFormatSet Allowed, Integer& X1, Integer& Y1, Integer& X2,
                                        Integer& Y2, const String& UndoCaption, TLKBitmap*& Bitmap,
                                        TLKMask*& Mask) {
  if (FAutoUndo) SaveUndoCaptioned(UndoCaption, lkuImage);
  return BeginImageAnalysis(Allowed, X1, Y1, X2, Y2, Bitmap, Mask);
}

bool TLumerakProc::BeginImageAnalysis(TLKPixelFormatSet Allowed, Integer& X1, Integer& Y1, Integer& X2,
                                      Integer& Y2, TLKBitmap*& Bitmap, TLKMask*& Mask) {
  Bitmap = nullptr;
  Mask = nullptr;
  if (!MakeConsistentBitmap(Allowed)) return false;
  TPoint* polygon = nullptr;
  Integer polygonCount = 0;
  const bool selected = GetReSel(X1, Y1, X2, Y2, polygon, polygonCount, Mask);
  if (!selected || !Mask || Mask->IsEmpty()) {
    Bitmap = FBitmap;
    return true;
  }
  // Only the selection's box is worked on: copy it out at 0,0.
  const Integer w = Mask->GetX2() - Mask->GetX1() + 1;
  const Integer h = Mask->GetY2() - Mask->GetY1() + 1;
  auto temp = std::make_unique<TLKBitmap>(w, h, FBitmap->GetPixelFormat());
  for (Integer i = 0; i < FBitmap->GetPaletteLen(); ++i) temp->SetPalette(i, FBitmap->GetPalette(i));
  FBitmap->CopyRectTo(temp.get(), Mask->GetX1(), Mask->GetY1(), 0, 0, w, h);
  Bitmap = temp.release();
  X1 = 0;
  Y1 = 0;
  X2 = w;
  Y2 = h;
  return true;
}

void TLumerakProc::EndImageProcessing(TLKBitmap* Bitmap, TLKMask* Mask) {
  if (Bitmap && Bitmap != FBitmap) {
    std::unique_ptr<TLKBitmap> temp(Bitmap);
    if (Mask && FBitmap) {
      Mask->CopyLKBitmap(FBitmap, temp.get(), false, true, false);
      // A routine that made or changed an alpha channel: copy it back too.
      if (temp->GetHasAlphaChannel() && !temp->GetAlphaChannel()->GetFull()) {
        TLKBitmap* alpha = FBitmap->GetAlphaChannel();
        Mask->CopyLKBitmap(alpha, temp->GetAlphaChannel(), false, true, false);
        alpha->SetFull(false);
      }
    }
  }
  Update();
}

void TLumerakProc::EndImageAnalysis(TLKBitmap* Bitmap) {
  if (Bitmap && Bitmap != FBitmap) delete Bitmap;
}

bool TLumerakProc::RunImageProcessing(TLKPixelFormatSet Allowed, const String& UndoCaption,
                                      const TLKFrameRoutine& Routine) {
  Integer x1 = 0, y1 = 0, x2 = 0, y2 = 0;
  TLKBitmap* bitmap = nullptr;
  TLKMask* mask = nullptr;
  if (!BeginImageProcessing(Allowed, x1, y1, x2, y2, UndoCaption, bitmap, mask)) return false;
  try {
    Routine(bitmap, x1, y1, x2, y2);
  } catch (...) {
    EndImageAnalysis(bitmap);  // frees a temporary copy without copying it back
    throw;
  }
  EndImageProcessing(bitmap, mask);
  DoFinishWork();
  return true;
}

bool TLumerakProc::RunImageAnalysis(TLKPixelFormatSet Allowed, const TLKFrameRoutine& Routine) {
  Integer x1 = 0, y1 = 0, x2 = 0, y2 = 0;
  TLKBitmap* bitmap = nullptr;
  TLKMask* mask = nullptr;
  if (!BeginImageAnalysis(Allowed, x1, y1, x2, y2, bitmap, mask)) return false;
  try {
    Routine(bitmap, x1, y1, x2, y2);
  } catch (...) {
    EndImageAnalysis(bitmap);
    throw;
  }
  EndImageAnalysis(bitmap);
  DoFinishWork();
  return true;
}

bool TLumerakProc::RunWholeImage(TLKPixelFormatSet Allowed, const String& UndoCaption,
                                 const std::function<void(TLKBitmap* Bitmap)>& Routine, bool FinishWork) {
  if (!MakeConsistentBitmap(Allowed)) return false;
  if (FAutoUndo) SaveUndoCaptioned(UndoCaption, lkuImage);
  Routine(FBitmap);
  Update();
  if (FinishWork) DoFinishWork();
  return true;
}

void TLumerakProc::Update() {
  // A class-library bitmap has no alpha channel to show it in.
  if (FAttachedBitmap && FBitmap) FBitmap->RemoveAlphaChannel();
  if (FAttachedLumerak) {
    FAttachedLumerak->Update();
    FAttachedLumerak->ImageChange();
  } else if (FAttachedBitmap) {
    FAttachedBitmap->SetModified(true);
  }
}

void TLumerakProc::DoFinishWork() {
  if (OnProgress) OnProgress(this, 100);
  if (OnFinishWork) OnFinishWork(this);
}

void TLumerakProc::ReportRowProgress(const TLKProgressEvent& Event, TObject* Sender, Integer Row, Integer Y1,
                                     double Factor) {
  if (Event) Event(Sender, LKTrunc((static_cast<double>(Row) - Y1 + 1) * Factor));
}

// --- Undo and redo -------------------------------------------------------------------

void TLumerakProc::DropAt(Stack& stack, std::vector<String>& captions, size_t pos) {
  if (pos < stack.size()) stack.erase(stack.begin() + static_cast<std::ptrdiff_t>(pos));
  if (pos < captions.size()) captions.erase(captions.begin() + static_cast<std::ptrdiff_t>(pos));
}

bool TLumerakProc::PushEntry(Stack& stack, std::vector<String>& captions, TLKUndoSource source) {
  auto entry = std::make_unique<Entry>();
  entry->Source = source;
  if (source == lkuImage) {
    if (!MakeConsistentBitmap({})) return false;
    if (FBitmap->GetWidth() < 2 || FBitmap->GetHeight() < 2) return false;
    entry->Image = std::make_unique<TLKBitmap>();
    // The size rule picks the storage: a threshold of 0 sends every size to
    // a temporary file, the largest one keeps every size in memory.
    entry->Image->SetMinFileSize(FUndoLocation == lkFile ? 0 : std::numeric_limits<Integer>::max());
    entry->Image->Assign(FBitmap);
    TLumerakViewServices* view = ViewServices();
    entry->Layer = view ? view->GetLayersCurrent() : -1;
  } else if (source == lkuSelection) {
    TLumerakViewServices* view = ViewServices();
    if (!view) return false;
    entry->Selection = std::make_unique<TMemoryStream>();
    view->SaveSelectionToStream(entry->Selection.get());
  } else {
    return false;
  }
  while (!stack.empty() && static_cast<Integer>(stack.size()) >= FUndoLimit) DropAt(stack, captions, 0);
  stack.push_back(std::move(entry));
  captions.emplace_back();
  return true;
}

void TLumerakProc::SaveUndo(TLKUndoSource Source) { FLastPushed = PushEntry(FUndo, FUndoCaptions, Source); }
void TLumerakProc::SaveRedo(TLKUndoSource Source) { FLastPushed = PushEntry(FRedo, FRedoCaptions, Source); }

void TLumerakProc::SaveUndoCaptioned(const String& Caption, TLKUndoSource Source) {
  if (!FBitmap || FBitmap->GetWidth() < 2 || FBitmap->GetHeight() < 2) return;
  FLastPushed = false;
  SaveUndo(Source);
  if (FLastPushed && !FUndoCaptions.empty()) FUndoCaptions.back() = Caption;
}

void TLumerakProc::SaveRedoCaptioned(const String& Caption, TLKUndoSource Source) {
  if (!FBitmap || FBitmap->GetWidth() < 2 || FBitmap->GetHeight() < 2) return;
  FLastPushed = false;
  SaveRedo(Source);
  if (FLastPushed && !FRedoCaptions.empty()) FRedoCaptions.back() = Caption;
}

void TLumerakProc::Restore(Stack& stack, Integer index) {
  if (!MakeConsistentBitmap({})) return;
  if (index < 0 || index >= static_cast<Integer>(stack.size())) return;
  Entry& e = *stack[stack.size() - 1 - static_cast<size_t>(index)];
  TLumerakViewServices* view = ViewServices();
  if (e.Source == lkuImage) {
    TLKBitmap* target = FBitmap;
    if (view && e.Layer >= 0 && view->GetLayersCount() > 0) {
      if (TLKBitmap* layer = view->GetLayerBitmap(std::min(e.Layer, view->GetLayersCount() - 1))) target = layer;
    }
    target->Assign(e.Image.get());
    Update();
  } else if (e.Source == lkuSelection) {
    e.Selection->Seek(0, soBeginning);
    if (view) view->LoadSelectionFromStream(e.Selection.get(), lkrsMoveToAdapt);
  }
}

void TLumerakProc::Undo() { UndoAt(0); }
void TLumerakProc::UndoAt(Integer Index) { Restore(FUndo, Index); }
void TLumerakProc::Redo() { RedoAt(0); }
void TLumerakProc::RedoAt(Integer Index) { Restore(FRedo, Index); }

void TLumerakProc::UndoRect(Integer X1, Integer Y1, Integer X2, Integer Y2) {
  if (!MakeConsistentBitmap({}) || FUndo.empty()) return;
  Entry& e = *FUndo.back();
  if (e.Source != lkuImage) return;
  OrdCor(X1, Y1, X2, Y2);
  const Int64 w = static_cast<Int64>(X2) - X1 + 1, h = static_cast<Int64>(Y2) - Y1 + 1;
  const Integer cw = static_cast<Integer>(std::min<Int64>(w, std::numeric_limits<Integer>::max()));
  const Integer ch = static_cast<Integer>(std::min<Int64>(h, std::numeric_limits<Integer>::max()));
  e.Image->CopyRectTo(FBitmap, X1, Y1, X1, Y1, cw, ch);
  if (e.Image->GetHasAlphaChannel()) {
    TLKBitmap* alpha = FBitmap->GetAlphaChannel();
    e.Image->GetAlphaChannel()->CopyRectTo(alpha, X1, Y1, X1, Y1, cw, ch);
    alpha->SetFull(false);
  }
  Update();
}

Integer TLumerakProc::UndoPeekAt(Integer Index) const {
  if (Index < 0 || Index >= static_cast<Integer>(FUndo.size())) return 0;
  return FUndo[static_cast<size_t>(Index)]->Source;
}

Integer TLumerakProc::RedoPeekAt(Integer Index) const {
  if (Index < 0 || Index >= static_cast<Integer>(FRedo.size())) return 0;
  return FRedo[static_cast<size_t>(Index)]->Source;
}

void TLumerakProc::ClearUndo() {
  if (!FUndo.empty()) DropAt(FUndo, FUndoCaptions, FUndo.size() - 1);
}

void TLumerakProc::ClearRedo() {
  if (!FRedo.empty()) DropAt(FRedo, FRedoCaptions, FRedo.size() - 1);
}

void TLumerakProc::ClearUndoAt(Integer Index) {
  if (Index < 0 || Index >= static_cast<Integer>(FUndo.size())) return;
  DropAt(FUndo, FUndoCaptions, FUndo.size() - 1 - static_cast<size_t>(Index));
}

void TLumerakProc::ClearAllUndo() {
  while (!FUndo.empty()) DropAt(FUndo, FUndoCaptions, 0);
  FUndoCaptions.clear();
}

void TLumerakProc::ClearAllRedo() {
  while (!FRedo.empty()) DropAt(FRedo, FRedoCaptions, 0);
  FRedoCaptions.clear();
}

String TLumerakProc::GetUndoCaptions(Integer Index) const {
  if (Index < 0 || Index >= static_cast<Integer>(FUndoCaptions.size())) return String();
  return FUndoCaptions[FUndoCaptions.size() - 1 - static_cast<size_t>(Index)];
}

String TLumerakProc::GetRedoCaptions(Integer Index) const {
  if (Index < 0 || Index >= static_cast<Integer>(FRedoCaptions.size())) return String();
  return FRedoCaptions[FRedoCaptions.size() - 1 - static_cast<size_t>(Index)];
}

void TLumerakProc::SetUndoCaptions(Integer Index, const String& Caption) {
  if (Index < 0 || Index >= static_cast<Integer>(FUndoCaptions.size())) return;
  FUndoCaptions[FUndoCaptions.size() - 1 - static_cast<size_t>(Index)] = Caption;
}

void TLumerakProc::SetUndoLimit(Integer Value) { FUndoLimit = Value < 1 ? 1 : Value; }
