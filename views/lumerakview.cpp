// Construction, companions, picture operations, locks, cursors and messages
// of the single-image view.
#include "views/lumerakview.h"

#include <cmath>

#include "acquisition/lkdshow.h"
#include "core/lkbitmap.h"
#include "core/lkmask.h"
#include "io/lumerakio.h"
#include "platform/cursors.h"
#include "processing/lumerakproc.h"

namespace {

// Screen cursors of the view: number, resource name and hot spot of the
// monochrome image.
constexpr TLKViewCursor kCursors[] = {
    {1778, "ZOOMMENO", 10, 10}, {1779, "ZOOMPIU", 10, 10}, {1780, "CROCE", 16, 15},   {1781, "GOMMA", 10, 7},
    {1782, "MANO", 8, 7},       {1783, "PENNA", 2, 29},    {1784, "CROCE1", 16, 15},  {1785, "CROCE3", 16, 15},
    {1786, "MOVE2", 15, 15},    {1787, "MOVEY", 15, 15},   {1788, "MOVE1", 15, 15},   {1789, "MOVEX", 15, 15},
    {1790, "MOVE", 10, 10},     {1791, "CROCE3+", 16, 15}, {1792, "CROCE3-", 16, 15}, {1793, "CROCE2", 16, 15},
    {1794, "CROCE2+", 16, 15},  {1795, "CROCE2-", 15, 16}, {1796, "CROCE2-", 15, 16}, {1797, "1795", 0, 15},
    {1798, "1796", 1, 15},      {1799, "1797", 13, 14},    {1800, "1798", 8, 15},     {1801, "1799", 8, 8},
    {1802, "1800", 3, 3},       {1803, "1801", 1, 1},      {1804, "1802", 1, 1},      {1805, "1803", 0, 0},
    {1806, "1803", 0, 0},       {1807, "1805", 6, 7},      {1808, "1806", 1, 1},      {1809, "1807", 7, 0},
    {1810, "1808", 11, 11},
};
static_assert(sizeof(kCursors) / sizeof(kCursors[0]) == LKCursorLast - LKCursorFirst + 1);

}  // namespace

const TLKViewCursor* LKViewCursors() { return kCursors; }

TLumerakView::TLumerakView(TComponent* AOwner) : TLKView(AOwner), FOwnerGiven(AOwner != nullptr) {
  LockUpdate();
  FCurrent = new TLKBitmap();
  FCurrent->SetLocation(lkTBitmap);
  auto* layer0 = new TLKLayer(this, FCurrent, true);
  layer0->BoxVisible = false;
  layer0->Locked = true;
  FLayers.push_back(layer0);
  FLayersCurrent = 0;
  FGeo.SetZoomXFactors(100);
  FGeo.SetZoomYFactors(100);
  FWallPaper = std::make_unique<TPicture>();
  FMask = std::make_unique<TLKMask>();
  FTransition = std::make_unique<TLKTransitionEffects>(this);
  InitSelection();
  RegisterCursors();
  SetCursor(LKCursorDefault);
  SetBounds(GetLeft(), GetTop(), 105, 105);
  SetDPI(gDefaultDPIX, gDefaultDPIY);
  if (!Designing()) {
    FBackBuffer = std::make_unique<TLKBitmap>();
    FBackBuffer->SetLocation(lkTBitmap);
    FBackBuffer->Allocate(10, 10, lk24RGB);
  }
  UnLockUpdate();
}

TLumerakView::~TLumerakView() {
  // Partners hear of the end while the view is whole (TLKView's destructor
  // does the same for the bitmap-change callbacks).
  DoLayersSync();
  // The navigator shows this view's bitmap: it lets go of it first.
  SetNavigator(nullptr);
  delete FIO;
  FIO = nullptr;
  delete FProc;
  FProc = nullptr;
  for (TLKLayer* layer : FLayers) delete layer;
  FLayers.clear();
  FCurrent = nullptr;
}

// ---------------------------------------------------------------------------
// Companions
// ---------------------------------------------------------------------------

TLumerakIO* TLumerakView::GetLumerakIO() {
  if (FIO == nullptr) {
    // Owned by the view, but freed by it explicitly: the I/O component must
    // go before the layers whose bitmaps it may work on.
    FIO = new TLumerakIO(nullptr);
    FIO->SetAttachedLumerak(this);
    FIO->OnProgress = GetOnProgress();
    FIO->OnFinishWork = GetOnFinishWork();
  }
  return FIO;
}

TLumerakProc* TLumerakView::GetLumerakProc() {
  if (FProc == nullptr) {
    FProc = new TLumerakProc(nullptr);
    FProc->SetAttachedLumerak(this);
    FProc->OnProgress = GetOnProgress();
    FProc->OnFinishWork = GetOnFinishWork();
  }
  return FProc;
}

void TLumerakView::SetOnProgress(TLKProgressEvent Value) {
  TLKView::SetOnProgress(Value);
  if (FIO != nullptr) FIO->OnProgress = Value;
  if (FProc != nullptr) FProc->OnProgress = Value;
}

void TLumerakView::SetOnFinishWork(TNotifyEvent Value) {
  TLKView::SetOnFinishWork(Value);
  if (FIO != nullptr) FIO->OnFinishWork = Value;
  if (FProc != nullptr) FProc->OnFinishWork = Value;
}

// ---------------------------------------------------------------------------
// Picture
// ---------------------------------------------------------------------------

void TLumerakView::Clear() {
  if (FCurrent->GetWidth() > 0 && FCurrent->GetHeight() > 0 && FCurrent->GetPixelFormat() != lknull) {
    const TColor c = ColorToRGB(GetBackground());
    // Fill reads the value per pixel format: 0xBBGGRR for 24-bit pixels.
    FCurrent->Fill(static_cast<double>(static_cast<Cardinal>(c) & 0xFFFFFF));
  }
  RemoveAlphaChannel(false);
  Update();
}

void TLumerakView::Blank() {
  AbortTransition();
  FCurrent->Allocate(1, 1, FCurrent->GetPixelFormat() == lknull ? lk24RGB : FCurrent->GetPixelFormat());
  Clear();
}

bool TLumerakView::GetIsEmpty() { return FCurrent->GetWidth() < 2 && FCurrent->GetHeight() < 2; }

void TLumerakView::Assign(TPersistent* Source) {
  if (Source == nullptr) {
    Clear();
    return;
  }
  if (auto* view = dynamic_cast<TLumerakView*>(Source)) {
    FCurrent->Assign(view->GetLKBitmap());
    TLKView::SetBackGround(view->GetBackground());
    SetDPI(view->GetDpiX(), view->GetDpiY());
  } else if (auto* bmp = dynamic_cast<TBitmap*>(Source)) {
    FCurrent->CopyFromTBitmap(bmp);
    if (FCurrent->GetPixelFormat() != lk1g && FCurrent->GetPixelFormat() != lk24RGB)
      FCurrent->ConvertToPixelFormat(lk24RGB);
  } else {
    return;
  }
  Update();
  ImageChange();
}

void TLumerakView::SetBackGround(TColor Color) {
  TLKView::SetBackGround(Color);
  if (Designing()) Clear();
  Update();
  ImageChange();
}

void TLumerakView::ImageChange() {
  if (OnImageChange) OnImageChange(this);
}

void TLumerakView::SetLegacyBitmap(bool Value) {
  if (Value == FLegacyBitmap) return;
  FCurrent->SetLocation(Value ? lkTBitmap : lkMemory);
  FLegacyBitmap = Value;
  CallBitmapChangeEvents();
  Update();
}

void TLumerakView::SetExternalBitmap(TLKBitmap* Bitmap) {
  if (FLayersCurrent < 0) return;
  TLKLayer* layer = FLayers[static_cast<std::size_t>(FLayersCurrent)];
  if (Bitmap != nullptr) {
    if (layer->OwnsBitmap && layer->Bitmap != Bitmap) delete layer->Bitmap;
    layer->Bitmap = Bitmap;
    layer->OwnsBitmap = false;
    FCurrent = Bitmap;
    CallBitmapChangeEvents();
    Update();
    return;
  }
  // The external bitmap stays with its owner; the layer gets its own again.
  if (layer->OwnsBitmap) delete layer->Bitmap;
  layer->Bitmap = new TLKBitmap();
  layer->OwnsBitmap = true;
  FCurrent = layer->Bitmap;
}

void TLumerakView::ChangeResolution(Integer NewDPI, TResampleFilter Filter) {
  const Integer dpiX = GetDpiX(), dpiY = GetDpiY();
  if (dpiX == 0 || dpiY == 0 || NewDPI <= 0) return;
  {
    TLumerakProc proc(nullptr);
    proc.SetAttachedLKBitmap(FCurrent);
    proc.SetAutoUndo(false);
    proc.OnProgress = GetOnProgress();
    proc.OnFinishWork = GetOnFinishWork();
    proc.Resample(-1, LKRoundEven(static_cast<double>(FCurrent->GetHeight()) / dpiY * NewDPI), Filter);
  }
  SetDPIY(NewDPI);
  SetDPIX(LKRoundEven(static_cast<double>(dpiX) / dpiY * NewDPI));
  CallBitmapChangeEvents();
  Update();
}

TBitmap* TLumerakView::GetFBitmap() {
  if (FCurrent == nullptr || FCurrent->GetLocation() != lkTBitmap || FCurrent->GetWidth() <= 0) return nullptr;
  return FCurrent->GetVclBitmap();
}

TLKBitmap* TLumerakView::GetLKBitmap() { return FCurrent; }
TLKBitmap* TLumerakView::GetAlphaChannel() { return FCurrent->GetAlphaChannel(); }
bool TLumerakView::GetHasAlphaChannel() { return FCurrent->GetHasAlphaChannel(); }

void TLumerakView::RemoveAlphaChannel(bool Merge) {
  if (!FCurrent->GetHasAlphaChannel()) return;
  if (Merge && FCurrent->GetPixelFormat() == lk24RGB) {
    TLKBitmap* alpha = FCurrent->GetAlphaChannel();
    const TColor bg = ColorToRGB(GetBackground());
    const Integer b[3] = {GetBValue(bg), GetGValue(bg), GetRValue(bg)};
    const Integer w = std::min(FCurrent->GetWidth(), alpha->GetWidth());
    const Integer h = std::min(FCurrent->GetHeight(), alpha->GetHeight());
    for (Integer y = 0; y < h; ++y) {
      auto* row = static_cast<Byte*>(FCurrent->GetScanLine(y));
      const auto* a = static_cast<const Byte*>(alpha->GetScanLine(y));
      for (Integer x = 0; x < w; ++x)
        for (Integer k = 0; k < 3; ++k) {
          Byte& c = row[x * 3 + k];
          // floor((c - bg) * a / 256), rounding toward minus infinity.
          const Integer d = (static_cast<Integer>(c) - b[k]) * a[x];
          c = static_cast<Byte>(b[k] + (d >= 0 ? d / 256 : -((-d + 255) / 256)));
        }
    }
  }
  FCurrent->RemoveAlphaChannel();
}

// ---------------------------------------------------------------------------
// Locks and settings
// ---------------------------------------------------------------------------

void TLumerakView::UnLockUpdate() {
  if (FUpdateLock > 0) --FUpdateLock;
  if (FUpdateLock == 0) Update();
}

void TLumerakView::UpdateNoPaint() {
  FNoPaintUpdate = true;
  try {
    Update();
  } catch (...) {
    FNoPaintUpdate = false;
    throw;
  }
  FNoPaintUpdate = false;
}

void TLumerakView::SetZoomFilter(TResampleFilter Value) {
  FRememberedFilter = Value;
  if (Value == FZoomFilter) return;
  FZoomFilter = Value;
  Update();
}

void TLumerakView::SetCenter(bool Value) {
  if (Value == FGeo.Center) return;
  FGeo.Center = Value;
  Update();
}

void TLumerakView::SetEnableAlphaChannel(bool Value) {
  FEnableAlphaChannel = Value;
  Update();
}

void TLumerakView::SetDrawVersion(bool Value) {
  FDrawVersion = Value;
  Update();
}

void TLumerakView::SetDisplayGrid(bool Value) {
  FDisplayGrid = Value;
  Update();
}

void TLumerakView::SetMouseInteract(TLKMouseInteract Value) {
  if (Value == FMouseInteract) return;
  const auto added = [&](TLKMouseInteractItem m) { return Value.Contains(m) && !FMouseInteract.Contains(m); };
  using S = TLKMouseInteract;
  if (added(miScroll))
    FMouseInteract = Value * S{miZoom, miScroll};
  else if (added(miSelect))
    FMouseInteract = Value * S{miZoom, miSelect};
  else if (added(miSelectPolygon))
    FMouseInteract = S{miSelectPolygon};
  else if (added(miSelectCircle))
    FMouseInteract = Value * S{miZoom, miSelectCircle};
  else if (added(miSelectLasso))
    FMouseInteract = Value * S{miZoom, miSelectLasso};
  else if (added(miSelectZoom))
    FMouseInteract = Value * S{miZoom, miSelectZoom};
  else if (added(miZoom))
    FMouseInteract = Value - S{miSelectPolygon, miSelectMagicWand, miMoveLayers, miResizeLayers};
  else if (added(miSelectMagicWand))
    FMouseInteract = S{miSelectMagicWand};
  else if (Value.Contains(miMoveLayers) || Value.Contains(miResizeLayers))
    FMouseInteract = Value * S{miMoveLayers, miResizeLayers};
  else
    FMouseInteract = Value;
}

// ---------------------------------------------------------------------------
// Cursors
// ---------------------------------------------------------------------------

void TLumerakView::SetCursor(Integer Value) {
  FDefaultCursor = Value;
  FCursor = Value;
  FCurrentCursor = Value;
  if (QWidget* peer = GetPeer()) ApplyCursor(peer, Value);
}

void TLumerakView::SetTempCursor(Integer Value) {
  if (!FOwnerGiven) return;
  FCursor = Value;
  FCurrentCursor = Value;
  if (QWidget* peer = GetPeer()) ApplyCursor(peer, Value);
}

void TLumerakView::RegisterCursors() {
  for (Integer i = 0; i <= LKCursorLast - LKCursorFirst; ++i) LoadScreenCursor(kCursors[i].Number, kCursors[i].Resource);
}

// ---------------------------------------------------------------------------
// Messages and bounds
// ---------------------------------------------------------------------------

void TLumerakView::WndProc(TMessage& Message) {
  switch (Message.Msg) {
    case WM_ERASEBKGND:
      // The back buffer covers the whole client area: nothing to erase.
      Message.Result = 1;
      return;
    case WM_SIZE:
      TLKView::WndProc(Message);
      // A client size that changes outside Update (the control was resized)
      // re-lays the picture out; inside Update the step that set up the
      // scroll bars takes care of it. A running transition stops first: its
      // frames have the old size.
      if (!FInsideUpdate) {
        AbortTransition();
        Update();
      }
      return;
    case WM_SETFOCUS:
    case WM_KILLFOCUS:
      TLKView::WndProc(Message);
      Invalidate();
      return;
    case CM_WANTSPECIALKEY: {
      TLKView::WndProc(Message);
      if (!OnSpecialKey) return;
      bool handled = false;
      OnSpecialKey(this, static_cast<Word>(Message.WParam), KeyDataToShiftState(Message.LParam), handled);
      if (handled) Message.Result = 1;
      return;
    }
    case LKM_DSHOWNEWFRAME:
    case LKM_DSHOWEVENT: {
      // The message may be older than the pipeline's teardown or the
      // object's life: only a live capture with a pipeline is reported.
      const TNotifyEvent& Event = Message.Msg == LKM_DSHOWNEWFRAME ? OnDShowNewFrame : OnDShowEvent;
      const auto* Capture = reinterpret_cast<const TObject*>(Message.LParam);
      if (Capture != nullptr && LKDShowAlive(Capture) && Event) Event(this);
      return;
    }
    case WM_HSCROLL:
    case WM_VSCROLL: {
      const bool horz = Message.Msg == WM_HSCROLL;
      const TLKScrollBarParams& params = horz ? HScrollBarParams : VScrollBarParams;
      const double scale = horz ? FHScale : FVScale;
      const Word code = LOWORD(Message.WParam);
      const Integer pos = HIWORD(Message.WParam);
      TLKScrollCommand cmd = lkscPosition;
      Integer target = horz ? FGeo.ViewX : FGeo.ViewY;
      switch (code) {
        case SB_LINEUP: cmd = lkscLineUp; break;
        case SB_LINEDOWN: cmd = lkscLineDown; break;
        case SB_PAGEUP: cmd = lkscPageUp; break;
        case SB_PAGEDOWN: cmd = lkscPageDown; break;
        case SB_TOP: cmd = lkscTop; break;
        case SB_BOTTOM: cmd = lkscBottom; break;
        case SB_THUMBTRACK:
          if (!params.ThumbTracking) return;
          target = LKTruncClamp(pos * scale);
          break;
        case SB_THUMBPOSITION:
          target = LKTruncClamp(pos * scale);
          break;
        default: break;
      }
      if (horz)
        DoHorizScroll(cmd, target);
      else
        DoVertScroll(cmd, target);
      return;
    }
    case WM_MOUSEWHEEL: {
      const auto delta = static_cast<int16_t>(HIWORD(Message.WParam));
      const Word keys = LOWORD(Message.WParam);
      const TPoint screen{static_cast<int16_t>(LOWORD(static_cast<std::uintptr_t>(Message.LParam))),
                          static_cast<int16_t>(HIWORD(static_cast<std::uintptr_t>(Message.LParam)))};
      const TPoint p = ScreenToClient(screen);
      DoMouseWheelScroll(delta, p.X, p.Y, (keys & MK_CONTROL) != 0);
      return;
    }
    default:
      TLKView::WndProc(Message);
  }
}

void TLumerakView::SetBounds(Integer ALeft, Integer ATop, Integer AWidth, Integer AHeight) {
  TLKView::SetBounds(ALeft, ATop, AWidth, AHeight);
  const TComponentState state = GetComponentState();
  if ((state.Contains(csReading) || state.Contains(csDesigning) || state.Contains(csLoading)) && FCurrent != nullptr) {
    FCurrent->Allocate(AWidth, AHeight, lk24RGB);
    Clear();
  }
}

// ---------------------------------------------------------------------------
// TLumerak and helpers
// ---------------------------------------------------------------------------

TLumerak::TLumerak(TComponent* AOwner) : TLumerakView(AOwner) {
  GetLumerakIO();
  GetLumerakProc();
}

bool _IsRectangle(const TPoint* Points, Integer Count) {
  if (Points == nullptr || Count != 4) return false;
  // Edges from the closing one (3 -> 0) on: vertical, horizontal, ... or
  // horizontal, vertical, ...
  const auto vertical = [&](Integer a, Integer b) {
    return Points[a].X == Points[b].X && Points[a].Y != Points[b].Y;
  };
  const auto horizontal = [&](Integer a, Integer b) {
    return Points[a].Y == Points[b].Y && Points[a].X != Points[b].X;
  };
  const Integer edges[4][2] = {{3, 0}, {0, 1}, {1, 2}, {2, 3}};
  for (bool startVertical : {true, false}) {
    bool ok = true;
    for (Integer e = 0; e < 4 && ok; ++e) {
      const bool wantVertical = (e % 2 == 0) == startVertical;
      ok = wantVertical ? vertical(edges[e][0], edges[e][1]) : horizontal(edges[e][0], edges[e][1]);
    }
    if (ok) return true;
  }
  return false;
}

// ---------------------------------------------------------------------------
// Background settings
// ---------------------------------------------------------------------------

void TLumerakView::SetBackgroundStyle(TLKBackgroundStyle Value) {
  FBackgroundStyle = Value;
  Invalidate();
  Update();
}

void TLumerakView::SetGradientEndColor(TColor Value) {
  FGradientEndColor = Value;
  Update();
}

void TLumerakView::SetChessboardStyle(Integer Size, TBrushStyle BrushStyle) {
  FChessboardSize = std::max(Size, 1);
  FChessboardBrush = BrushStyle;
  Update();
}

void TLumerakView::SetWallPaper(TPicture* Value) {
  FWallPaper->Assign(Value);
  Update();
}

void TLumerakView::SetWallPaperStyle(TLKWallPaperStyle Value) {
  if (Value == FWallPaperStyle) return;
  FWallPaperStyle = Value;
  Update();
}

void TLumerakView::DrawBackgroundToCanvas(TCanvas* Canvas) {
  LKDrawBackground(Designing(), Canvas, nullptr, FBackgroundStyle, GetBackground(), 0, 0, GetWidth(), GetHeight(), 0,
                   0, 0, 0, FChessboardSize, FChessboardBrush, FGradientEndColor, FWallPaper.get(), FWallPaperStyle);
}
