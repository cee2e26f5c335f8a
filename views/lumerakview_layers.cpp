// The layer list of the single-image view.
#include <algorithm>

#include "core/lkbitmap.h"
#include "views/lumerakview.h"

TLKLayer* TLumerakView::GetLayer(Integer Index) {
  if (Index < 0 || Index >= GetLayersCount()) ListIndexError(Index);
  return FLayers[static_cast<std::size_t>(Index)];
}

TLKLayer* TLumerakView::GetCurrentLayer() {
  return FLayersCurrent >= 0 && FLayersCurrent < GetLayersCount() ? FLayers[static_cast<std::size_t>(FLayersCurrent)]
                                                                  : nullptr;
}

TLKBitmap* TLumerakView::GetLayerBitmap(Integer Index) { return GetLayer(Index)->Bitmap; }

void TLumerakView::SyncCurrentToLayer() {
  if (TLKLayer* layer = GetCurrentLayer()) layer->Bitmap = FCurrent;
}

void TLumerakView::SetLayersCurrent(Integer Index) {
  if (Index < 0 || Index >= GetLayersCount() || Index == FLayersCurrent) return;
  SyncCurrentToLayer();
  Integer current = Index;
  while (!FLayers[static_cast<std::size_t>(current)]->Selectable && current > 0) --current;
  FLayersCurrent = current;
  FCurrent = FLayers[static_cast<std::size_t>(current)]->Bitmap;
  CallBitmapChangeEvents();
  Update();
}

Integer TLumerakView::LayersAdd() {
  SyncCurrentToLayer();
  FLayers.push_back(new TLKLayer(this, FCurrent, false));
  const Integer index = GetLayersCount() - 1;
  SetLayersCurrent(index);
  Clear();
  return index;
}

void TLumerakView::LayersInsert(Integer Index) {
  std::vector<bool> masks;
  for (TLKLayer* l : FLayers) masks.push_back(l->IsMask);
  Index = LKLayerIndex::InsertAt(masks, Index);
  if (Index < 0 || Index > GetLayersCount()) ListIndexError(Index);
  SyncCurrentToLayer();
  FLayers.insert(FLayers.begin() + Index, new TLKLayer(this, FCurrent, false));
  SetCurrentNone();
  SetLayersCurrent(Index);
}

void TLumerakView::LayersRemove(Integer Index) {
  const Integer count = GetLayersCount();
  if (count <= 1 || Index < 0 || Index >= count) return;
  SyncCurrentToLayer();
  Integer removed = 1;
  if (Index + 1 < count && FLayers[static_cast<std::size_t>(Index + 1)]->IsMask) {
    delete FLayers[static_cast<std::size_t>(Index + 1)];
    FLayers.erase(FLayers.begin() + Index + 1);
    removed = 2;
  }
  delete FLayers[static_cast<std::size_t>(Index)];
  FLayers.erase(FLayers.begin() + Index);
  Integer next = FLayersCurrent;
  if (FLayersCurrent >= Index && FLayersCurrent < Index + removed)
    next = std::min(Index, GetLayersCount() - 1);
  else if (FLayersCurrent >= Index + removed)
    next = FLayersCurrent - removed;
  // The removed bitmap may have been the current one: forget it before
  // SetLayersCurrent writes anything back.
  FCurrent = FLayers[static_cast<std::size_t>(std::clamp(next, 0, GetLayersCount() - 1))]->Bitmap;
  SetCurrentNone();
  SetLayersCurrent(next);
}

void TLumerakView::LayersClear() {
  if (GetLayersCount() > 1) {
    SyncCurrentToLayer();
    while (GetLayersCount() > 1) {
      delete FLayers.back();
      FLayers.pop_back();
    }
    FCurrent = FLayers[0]->Bitmap;
    SetCurrentNone();
    SetLayersCurrent(0);
    FLayers[0]->SetDefaults();
  }
  Clear();
}

void TLumerakView::TakeLoadedLayers(TList& Layers) {
  const Integer count = Layers.GetCount();
  if (count > 0) {
    LayersClear();
    for (Integer i = 0; i < count; ++i) {
      const Integer index = i == 0 ? 0 : LayersAdd();
      FLayers[static_cast<std::size_t>(index)]->Assign(*static_cast<TLKLayer*>(Layers.Get(i)));
    }
    Update();
  }
  LKFreeLayers(Layers);
}

bool TLumerakView::GiveLayersToSave(TLKBitmap* Merged, TList& Layers) {
  LayersDrawTo(Merged);
  SyncCurrentToLayer();
  for (TLKLayer* l : FLayers) Layers.Add(l);
  return true;
}

void TLumerakView::LayersMove(Integer CurIndex, Integer NewIndex) {
  std::vector<bool> masks;
  for (TLKLayer* l : FLayers) masks.push_back(l->IsMask);
  const std::vector<Integer> order = LKLayerIndex::Move(masks, CurIndex, NewIndex);
  if (order.empty()) return;
  SyncCurrentToLayer();
  TLKLayer* current = GetCurrentLayer();
  std::vector<TLKLayer*> moved;
  for (Integer old : order) moved.push_back(FLayers[static_cast<std::size_t>(old)]);
  FLayers = moved;
  const auto at = std::find(FLayers.begin(), FLayers.end(), current);
  SetCurrentNone();
  SetLayersCurrent(at == FLayers.end() ? 0 : static_cast<Integer>(at - FLayers.begin()));
}

Integer TLumerakView::LayersCreateFromSelection() {
  const Integer remembered = FLayersCurrent;
  const Integer index = LayersAdd();
  SetLayersCurrent(remembered);
  TLKLayer* from = GetCurrentLayer();
  TLKLayer* layer = FLayers[static_cast<std::size_t>(index)];
  // Without a selection the new layer is a copy of the current one.
  layer->Bitmap->Assign(from->Bitmap);
  layer->PosX = from->PosX;
  layer->PosY = from->PosY;
  SetLayersCurrent(index);
  return index;
}

Integer TLumerakView::FindLayerAt(Integer X, Integer Y) {
  for (Integer i = GetLayersCount() - 1; i >= 0; --i) {
    TLKLayer* l = FLayers[static_cast<std::size_t>(i)];
    const TRect& r = l->ClientRect;
    if (!l->Selectable || !l->Visible || X < r.Left || X > r.Right || Y < r.Top || Y > r.Bottom) continue;
    TLKBitmap* b = l->Bitmap;
    if (!b->GetHasAlphaChannel() || b->GetWidth() <= 0 || b->GetHeight() <= 0) return i;
    const Integer bx = std::clamp(l->ConvXScr2Bmp(X), 0, b->GetWidth() - 1);
    const Integer by = std::clamp(l->ConvYScr2Bmp(Y), 0, b->GetHeight() - 1);
    if (b->GetAlpha(bx, by) > 0) return i;
  }
  return -1;
}

void TLumerakView::DoLayerNotify(Integer Layer, TLKLayerEvent Event) {
  if (OnLayerNotify) OnLayerNotify(this, Layer, Event);
}

void TLumerakView::DoLayersSync() {
  SyncCurrentToLayer();
  TLKBitmap* bg = FLayers[0]->Bitmap;
  FGeo.BmpW = bg->GetWidth();
  FGeo.BmpH = bg->GetHeight();
  if (!FLayersSync || GetLayersCount() < 2) return;
  Integer w = 0, h = 0;
  for (TLKLayer* l : FLayers) {
    w = std::max(w, l->Bitmap->GetWidth());
    h = std::max(h, l->Bitmap->GetHeight());
  }
  FGeo.BmpW = w;
  FGeo.BmpH = h;
  const double bg24 = ColorToRGB(GetBackground());
  for (TLKLayer* l : FLayers) {
    TLKBitmap* b = l->Bitmap;
    if (b->GetWidth() != w || b->GetHeight() != h) {
      b->GetAlphaChannel();  // created opaque when missing
      b->Resize(w, h, bg24, 0, lkhLeft, lkvTop);
    }
    if (b->GetHasAlphaChannel()) {
      TLKBitmap* a = b->GetAlphaChannel();
      if (a->GetWidth() != w || a->GetHeight() != h) a->Resize(w, h, 0, 0, lkhLeft, lkvTop);
    }
  }
}

void TLumerakView::SetLayersSync(bool Value) {
  if (Value == FLayersSync) return;
  FLayersSync = Value;
  if (Value) DoLayersSync();
}

void TLumerakView::SetLayersDrawBox(bool Value) {
  if (Value == FLayersDrawBox) return;
  FLayersDrawBox = Value;
  Update();
}
