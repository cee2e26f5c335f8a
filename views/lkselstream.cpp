// The selection stream of the single-image view (outline, mask and their
// state, little-endian, no magic) and the stack of saved selections. The
// processing component keeps its selection undo entries in the same form.
#include <algorithm>
#include <climits>
#include <cstring>

#include "core/lkbitmap.h"
#include "core/lkmask.h"
#include "views/lumerakview.h"

namespace {

void Put32(TStream* S, Integer V) { S->WriteBuffer(&V, 4); }

bool Get(TStream* S, void* Buffer, Int64 Count) { return S->Read(Buffer, static_cast<Integer>(Count)) == Count; }

bool Get32(TStream* S, Integer& V) { return Get(S, &V, 4); }

Int64 RowBytes(Integer W, Integer Depth) { return (static_cast<Int64>(W) * Depth + 31) / 32 * 4; }

}  // namespace

void TLumerakView::SaveSelectionToStream(TStream* Stream) {
  TLKAnimPolygon* o = GetSelectionOutline();
  const Integer w = FMask->GetWidth(), h = FMask->GetHeight(), depth = GetSelectionMaskDepth();
  Put32(Stream, w);
  Put32(Stream, h);
  Put32(Stream, o->Count());
  for (const TPoint& p : o->Points) {
    Put32(Stream, p.X);
    Put32(Stream, p.Y);
  }
  for (Integer v : {o->X1, o->Y1, o->X2, o->Y2}) Put32(Stream, v);
  const Byte selected = FSelected ? 1 : 0;
  Stream->WriteBuffer(&selected, 1);
  TLKLayer* layer = GetCurrentLayer();
  Put32(Stream, layer ? layer->PosX : 0);
  Put32(Stream, layer ? layer->PosY : 0);
  Put32(Stream, depth);
  for (Integer v : {FMask->GetX1(), FMask->GetY1(), FMask->GetX2(), FMask->GetY2()}) Put32(Stream, v);
  const Byte full = FMask->GetFull() ? 1 : 0;
  Stream->WriteBuffer(&full, 1);
  const Int64 R = RowBytes(w, depth);
  std::vector<Byte> row(static_cast<std::size_t>(R), 0);
  for (Integer y = h - 1; y >= 0; --y) {
    std::memcpy(row.data(), FMask->GetScanLine(y), static_cast<std::size_t>(std::min<Int64>(R, FMask->GetRowLen())));
    Stream->WriteBuffer(row.data(), static_cast<Integer>(R));
  }
}

// Reads one selection into Outline and Mask. Every count and size is
// checked against what is left of the stream before anything is allocated.
bool TLumerakView::ReadSelection(TStream* S, TLKAnimPolygon& Outline, TLKMask& Mask, TRect& Box, bool& Selected,
                                 Integer& SX, Integer& SY) {
  Integer w = 0, h = 0, n = 0;
  if (!Get32(S, w) || !Get32(S, h) || !Get32(S, n)) return false;
  if (w < 0 || h < 0 || n < 0) return false;
  // 58 bytes of fixed fields follow the points.
  const Int64 left = S->GetSize() - S->GetPosition();
  if (static_cast<Int64>(n) * 8 + 46 > left) return false;
  Outline.Points.clear();
  Outline.Points.reserve(static_cast<std::size_t>(n) + 64);
  for (Integer i = 0; i < n; ++i) {
    TPoint p{};
    if (!Get32(S, p.X) || !Get32(S, p.Y)) return false;
    Outline.Points.push_back(p);
  }
  Integer x1, y1, x2, y2;
  if (!Get32(S, x1) || !Get32(S, y1) || !Get32(S, x2) || !Get32(S, y2)) return false;
  Box = TRect{x1, y1, x2, y2};
  Byte sel = 0;
  Integer depth = 0;
  if (!Get(S, &sel, 1) || !Get32(S, SX) || !Get32(S, SY) || !Get32(S, depth)) return false;
  Selected = sel != 0;
  if (depth != 1 && depth != 8) return false;
  Integer mb[4];
  Byte full = 0;
  for (Integer& v : mb)
    if (!Get32(S, v)) return false;
  if (!Get(S, &full, 1)) return false;
  const Int64 R = RowBytes(w, depth);
  if (R * h > S->GetSize() - S->GetPosition()) return false;
  if (w == 0 || h == 0) {
    Mask.FreeBits();
    return true;
  }
  Mask.AllocateBits(w, h, depth);
  std::vector<Byte> row(static_cast<std::size_t>(R));
  for (Integer y = h - 1; y >= 0; --y) {
    if (!Get(S, row.data(), R)) return false;
    std::memcpy(Mask.GetScanLine(y), row.data(), static_cast<std::size_t>(std::min<Int64>(R, Mask.GetRowLen())));
  }
  // The box and full flag are taken from the pixels themselves, so that a
  // stream cannot make later operations walk outside the rows.
  Mask.SyncRect();
  Mask.SyncFull();
  return true;
}

bool TLumerakView::LoadSelectionFromStream(TStream* Stream, TLKRSOptions Options) {
  TLKAnimPolygon outline;
  auto mask = std::make_unique<TLKMask>();
  TRect box{};
  bool selected = false;
  Integer sx = 0, sy = 0;
  const Int64 start = Stream->GetPosition();
  if (!ReadSelection(Stream, outline, *mask, box, selected, sx, sy)) {
    Stream->SetPosition(start);
    return false;
  }
  TLKAnimPolygon* o = GetSelectionOutline();
  o->Points = std::move(outline.Points);
  o->X1 = box.Left;
  o->Y1 = box.Top;
  o->X2 = box.Right;
  o->Y2 = box.Bottom;
  FSelected = selected;
  FIntensity = mask->GetBitsPerPixel() == 8 ? 255 : 1;
  const Integer W = GetLKBitmap()->GetWidth(), H = GetLKBitmap()->GetHeight();
  LockUpdate();
  if (Options == lkrsSyncLayers) {
    // One translation by the difference of the layer positions keeps the
    // selection on the same picture pixels, also for negative positions.
    o->Points.clear();
    TLKLayer* layer = GetCurrentLayer();
    // The stored position is the stream's: the difference is taken in 64
    // bits and pixels moved off the picture are dropped.
    const Int64 dx = Int64{sx} - (layer ? layer->PosX : 0), dy = Int64{sy} - (layer ? layer->PosY : 0);
    auto moved = std::make_unique<TLKMask>();
    moved->AllocateBits(W, H, mask->GetBitsPerPixel() == 8 ? 8 : 1);
    if (!mask->IsEmpty())
      for (Integer y = mask->GetY1(); y <= mask->GetY2(); ++y) {
        const Int64 ty = y + dy;
        if (ty < 0 || ty >= H) continue;
        for (Integer x = mask->GetX1(); x <= mask->GetX2(); ++x) {
          const Int64 tx = x + dx;
          if (tx < 0 || tx >= W) continue;
          if (const Integer v = mask->GetPixel(x, y))
            moved->SetPixel(static_cast<Integer>(tx), static_cast<Integer>(ty), v);
        }
      }
    moved->SyncRect();
    moved->SyncFull();
    FMask = std::move(moved);
  } else {
    FMask = std::move(mask);
    if ((FMask->GetWidth() != W || FMask->GetHeight() != H) && !FMask->IsEmpty()) {
      if (Options == lkrsMoveToAdapt) {
        if (W <= FMask->GetX2()) MoveSelection(W - (FMask->GetX2() - FMask->GetX1() + 1) - FMask->GetX1(), 0);
        if (H <= FMask->GetY2()) MoveSelection(0, H - (FMask->GetY2() - FMask->GetY1() + 1) - FMask->GetY1());
      }
    }
    if (FMask->GetWidth() != W || FMask->GetHeight() != H) {
      if (FMask->GetWidth() == 0 || FMask->GetHeight() == 0)
        FMask->AllocateBits(W, H, GetSelectionMaskDepth());
      else
        FMask->Resize(W, H);
      FMask->SyncFull();
      FMask->SyncRect();
    }
  }
  if (FMask->IsEmpty())
    DeSelect();
  else
    FSelected = true;
  ShowSelectionEx(true);
  UnLockUpdate();
  Update();
  return true;
}

bool TLumerakView::MergeSelectionFromStream(TStream* Stream) {
  TLKAnimPolygon outline;
  TLKMask mask;
  TRect box{};
  bool selected = false;
  Integer sx = 0, sy = 0;
  const Int64 start = Stream->GetPosition();
  if (!ReadSelection(Stream, outline, mask, box, selected, sx, sy)) {
    Stream->SetPosition(start);
    return false;
  }
  GetSelectionOutline()->Points.clear();
  // Pixels of the stored box that lie outside the current mask are dropped.
  if (!mask.IsEmpty())
    for (Integer y = mask.GetY1(); y <= mask.GetY2(); ++y)
      for (Integer x = mask.GetX1(); x <= mask.GetX2(); ++x) {
        const Integer v = mask.GetPixel(x, y);
        if (v > FMask->GetPixel(x, y)) FMask->SetPixel(x, y, v);
      }
  // The union is full when either part is: the flag is recomputed.
  FMask->SyncFull();
  SelectCustom();
  return true;
}

void TLumerakView::SaveSelection() {
  auto s = std::make_unique<TMemoryStream>();
  SaveSelectionToStream(s.get());
  FSavedSelections.push_back(std::move(s));
}

bool TLumerakView::RestoreSelection(bool Delete, TLKRSOptions Options) {
  if (FSavedSelections.empty()) return false;
  TMemoryStream* s = FSavedSelections.back().get();
  s->SetPosition(0);
  const bool result = LoadSelectionFromStream(s, Options);
  if (Delete) FSavedSelections.pop_back();
  return result;
}

bool TLumerakView::DiscardSavedSelection() {
  if (FSavedSelections.empty()) return false;
  FSavedSelections.pop_back();
  return true;
}
