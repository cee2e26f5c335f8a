#include "views/lumerakmview.h"

#include <algorithm>
#include <filesystem>

#include "core/lkbitmap.h"
#include "core/lkmath.h"
#include "io/lkfileformats.h"
#include "io/lkmultipage.h"
#include "io/lumerakio.h"
#include "views/lkmio.h"
#include "processing/lktransitions.h"
#include "views/lkmloader.h"

// ---------------------------------------------------------------------------
// Captions
// ---------------------------------------------------------------------------

TLKMText::TLKMText(TComponent* Owner, TLKMTextPos Position) : FOwner(Owner), FPosition(Position) {
  if (auto* view = dynamic_cast<TLumerakMView*>(Owner)) FBackground = view->GetBackground();
}

TLKMText::~TLKMText() = default;

TFont* TLKMText::GetFont() const {
  if (!FFont) {
    FFont = std::make_unique<TFont>();
    if (auto* view = dynamic_cast<TLumerakMView*>(FOwner)) FFont->Assign(view->GetFont());
  }
  return FFont.get();
}

TFont* TLKMText::GetDrawFont() const {
  if (FFont) return FFont.get();
  auto* view = dynamic_cast<TLumerakMView*>(FOwner);
  return view != nullptr ? view->GetFont() : GetFont();
}

void TLKMText::SetCaption(const String& Text) {
  if (auto* view = dynamic_cast<TLumerakMView*>(FOwner)) {
    const Integer h = view->TextSize(GetDrawFont(), Text).cy;
    const Integer a = h + 2;
    if (FPosition == lkmtpTop && view->FUpperGap < a) view->FUpperGap = a;
    if (FPosition == lkmtpBottom && view->FBottomGap < a)
      view->FBottomGap = view->Style == lkmsACD ? h + 4 : a;
  }
  FCaption = Text;
}

// ---------------------------------------------------------------------------
// Life
// ---------------------------------------------------------------------------

TLumerakMView::TLumerakMView(TComponent* AOwner)
    : TLKView(AOwner),
      FImageList(std::make_unique<TLKVirtualImageList>("ILIST")),
      FDisplayCache(std::make_unique<TLKVirtualImageList>("ICACHE")),
      FOwnIO(std::make_unique<TLumerakIO>()),
      FAlive(std::make_shared<bool>(true)),
      FBackBuffer(std::make_unique<TBitmap>()),
      FMeasure(std::make_unique<TBitmap>(1, 1, pf24bit)),
      FFont(std::make_unique<TFont>()),
      FWallPaper(std::make_unique<TPicture>()) {
  FTransition = std::make_unique<TLKTransitionEffects>(this);
  SetBounds(GetLeft(), GetTop(), 180, 90);
  FImageList->SetMappedLimit(FImageCacheSize);
  // The loader's workers only queue; the posted call stores on this thread.
  std::weak_ptr<bool> alive = FAlive;
  FLoader = std::make_unique<TLKMLoader>([this, alive] {
    if (alive.expired()) return;
    PostTake();
  });
  FLoader->SetPoolSize(FThreadPoolSize);
}

TLumerakMView::~TLumerakMView() {
  FDestroying = true;
  FTransition.reset();
  DeselectNU();
  FAlive.reset();
  std::atomic_store(&FPost, std::shared_ptr<TLKViewPost>());
  FLoader.reset();  // stops the reads and joins the workers
  FMIO.reset();
  while (!FEntries.empty()) {
    FreeEntry(FEntries.back().get());
    FEntries.pop_back();
  }
  FOnDemandReaders.clear();
}

void TLumerakMView::FreeEntry(TLKImageInfo* E) {
  DropStored(*E);
  DropDisplayCopy(*E);
}

void TLumerakMView::Clear() {
  StopPlaying();
  Deselect();
  ClearThreadsAndRequests();
  while (!FEntries.empty()) {
    FreeEntry(FEntries.back().get());
    FEntries.pop_back();
    if (FMIO) {
      FLastOp = 2;
      FLastOpIdx = GetImageCount();
      CallBitmapChangeEvents();
    }
  }
  FImageList = std::make_unique<TLKVirtualImageList>("ILIST");
  FImageList->SetMappedLimit(FImageCacheSize);
  FOnDemandReaders.clear();
  FDisplayCache = std::make_unique<TLKVirtualImageList>("ICACHE");
  FViewX = FViewY = 0;
  Update();
}

void TLumerakMView::CallBitmapChangeEvents() {
  TLKView::CallBitmapChangeEvents();
  FLastOp = 0;
}

TLumerakMIO* TLumerakMView::GetLumerakMIO() {
  if (!FMIO) {
    FMIO = std::make_unique<TLumerakMIO>();
    FMIO->SetAttachedMView(this);
    FMIO->OnProgress = GetOnProgress();
    FMIO->OnFinishWork = GetOnFinishWork();
  }
  return FMIO.get();
}

void TLumerakMView::SetOnProgress(TLKProgressEvent Value) {
  TLKView::SetOnProgress(Value);
  if (FMIO) FMIO->OnProgress = Value;
}

void TLumerakMView::SetOnFinishWork(TNotifyEvent Value) {
  TLKView::SetOnFinishWork(Value);
  if (FMIO) FMIO->OnFinishWork = Value;
}

void TLumerakMView::SetBackGround(TColor Color) {
  TLKView::SetBackGround(Color);
  Update();
}

TSize TLumerakMView::TextSize(TFont* Font, const String& Text) {
  TCanvas* c = FMeasure->GetCanvas();
  c->GetFont()->Assign(Font);
  return c->TextExtent(Text.empty() ? String("Xy") : Text);
}

// ---------------------------------------------------------------------------
// Update, layout and scrolling
// ---------------------------------------------------------------------------

TLKMGridParams TLumerakMView::GetGridParams() {
  TLKMGridParams p;
  p.ThumbWidth = FThumbWidth;
  p.ThumbHeight = FThumbHeight;
  p.HorizBorder = FHorizBorder;
  p.VertBorder = FVertBorder;
  p.GridWidth = FGridWidth;
  p.Single = FDisplayMode == mdSingle;
  p.ClientWidth = GetClientWidth();
  p.ClientHeight = GetClientHeight();
  return p;
}

void TLumerakMView::UpdateCoords() {
  FExtent = LKMLayout(GetGridParams(), GetImageCount(), FCells);
  for (Integer i = 0; i < GetImageCount(); ++i) {
    TLKImageInfo& e = *FEntries[static_cast<size_t>(i)];
    const TLKMCell& c = FCells[static_cast<size_t>(i)];
    e.X = c.X;
    e.Y = c.Y;
    e.Row = c.Row;
    e.Column = c.Column;
  }
}

void TLumerakMView::UpdateEx(bool ClearCacheToo) {
  if (FPaintLock > 0 || FUpdating || FDestroying) return;
  FUpdating = true;
  if (ClearCacheToo) ClearCache();
  UpdateCoords();
  for (int pass = 0; pass < 9; ++pass) {
    const Integer cw = GetClientWidth(), ch = GetClientHeight();
    Integer mx = 0, my = 0;
    GetMaxViewXY(mx, my);
    const Integer vx = std::min(FViewX, mx), vy = std::min(FViewY, my);
    if (vx != FViewX || vy != FViewY) {
      FViewX = vx;
      FViewY = vy;
      ViewChange(0);
    }
    try {
      SetupScrollBars(mx, my);
    } catch (...) {
      // A scroll bar that cannot be set leaves the layout as it is.
    }
    if (cw == GetClientWidth() && ch == GetClientHeight()) break;
    UpdateCoords();
  }
  CallBitmapChangeEvents();
  FUpdating = false;
  Invalidate();
}

void TLumerakMView::SetupScrollBars(Integer MaxX, Integer MaxY) {
  if (!HasParentWindow()) return;
  const Integer cw = GetClientWidth(), ch = GetClientHeight();
  auto setup = [&](Integer Bar, Integer Max, Integer Client, Integer Pos, double& Scale) {
    if (Max <= 0) {
      if (ScrollBarsAlwaysVisible) {
        EnableScrollBar(Bar, false);
        ShowScrollBar(Bar, true);
      } else {
        ShowScrollBar(Bar, false);
      }
      return;
    }
    // The bars always run over 0..65535 with a scale, so grids taller than
    // 65535 pixels scroll smoothly.
    Scale = (static_cast<double>(Client) + Max - 1) / 65536.0;
    SetScrollRange(Bar, 0, 65535, false);
    SetScrollPage(Bar, LKTruncClamp(Client / Scale), false);
    SetScrollPos(Bar, LKTruncClamp(Pos / Scale), false);
    EnableScrollBar(Bar, true);
    ShowScrollBar(Bar, true);
  };
  if (FScrollBars == ssHorizontal || FScrollBars == ssBoth) setup(SB_HORZ, MaxX, cw, FViewX, FHScale);
  if (FScrollBars == ssVertical || FScrollBars == ssBoth) setup(SB_VERT, MaxY, ch, FViewY, FVScale);
}

void TLumerakMView::SetScrollBars(TScrollStyle V) {
  FScrollBars = V;
  if (HasParentWindow()) {
    if (V != ssHorizontal && V != ssBoth) ShowScrollBar(SB_HORZ, false);
    if (V != ssVertical && V != ssBoth) ShowScrollBar(SB_VERT, false);
  }
  UpdateEx(false);
}

void TLumerakMView::SetFlatScrollBars(bool V) {
  if (V == FFlatScrollBars) return;
  FFlatScrollBars = V;
  if (!V) {
    UninitializeFlatSB();
    return;
  }
  if (HasParentWindow()) {
    SetScrollRange(SB_HORZ, 0, 65535, false);
    SetScrollRange(SB_VERT, 0, 65535, false);
  }
  InitializeFlatSB();
  if (HasParentWindow()) {
    ShowScrollBar(SB_HORZ, false);
    ShowScrollBar(SB_VERT, false);
  }
}

void TLumerakMView::SetWallPaper(TPicture* Value) {
  FWallPaper->Assign(Value);
  Update();
}

void TLumerakMView::SetWallPaperStyle(TLKWallPaperStyle Value) {
  if (Value == WallPaperStyle) return;
  WallPaperStyle = Value;
  Update();
}

void TLumerakMView::GetMaxViewXY(Integer& X, Integer& Y) {
  const TPoint m = LKMMaxView(GetGridParams(), FExtent);
  X = m.X;
  Y = m.Y;
}

Integer TLumerakMView::GetMaximumViewX() {
  Integer x, y;
  GetMaxViewXY(x, y);
  return x;
}

Integer TLumerakMView::GetMaximumViewY() {
  Integer x, y;
  GetMaxViewXY(x, y);
  return y;
}

void TLumerakMView::SetViewX(Integer V) {
  if (V == FViewX) return;
  FViewX = std::clamp<Integer>(V, 0, GetMaximumViewX());
  Invalidate();
  if (HasParentWindow() && (FScrollBars == ssHorizontal || FScrollBars == ssBoth))
    SetScrollPos(SB_HORZ, LKTruncClamp(FViewX / FHScale), true);
}

void TLumerakMView::SetViewY(Integer V) {
  if (V == FViewY) return;
  FViewY = std::clamp<Integer>(V, 0, GetMaximumViewY());
  Invalidate();
  if (HasParentWindow() && (FScrollBars == ssVertical || FScrollBars == ssBoth))
    SetScrollPos(SB_VERT, LKTruncClamp(FViewY / FVScale), true);
}

void TLumerakMView::SetViewXY(Integer X, Integer Y) {
  if (X == FViewX && Y == FViewY) return;
  Integer mx, my;
  GetMaxViewXY(mx, my);
  FViewX = std::clamp<Integer>(X, 0, mx);
  FViewY = std::clamp<Integer>(Y, 0, my);
  Invalidate();
  if (HasParentWindow()) {
    if (FScrollBars == ssHorizontal || FScrollBars == ssBoth) SetScrollPos(SB_HORZ, LKTruncClamp(FViewX / FHScale), true);
    if (FScrollBars == ssVertical || FScrollBars == ssBoth) SetScrollPos(SB_VERT, LKTruncClamp(FViewY / FVScale), true);
  }
}

void TLumerakMView::ViewChange(Integer Change) {
  if (FUserAction && OnViewChange) OnViewChange(this, Change);
}

void TLumerakMView::DoScrollMessage(bool Horz, Word Code, Integer Pos) {
  const TLKScrollBarParams& p = Horz ? HScrollBarParams : VScrollBarParams;
  const Integer line = p.LineScrollStep != -1 ? p.LineScrollStep : Horz ? FThumbWidth + FHorizBorder : FThumbHeight + FVertBorder;
  const Integer page = p.PageScrollStep != -1 ? p.PageScrollStep : Horz ? GetClientWidth() : GetClientHeight();
  const double scale = Horz ? FHScale : FVScale;
  Integer v = Horz ? FViewX : FViewY;
  switch (Code) {
    case SB_LINEUP: v -= line; break;
    case SB_LINEDOWN: v += line; break;
    case SB_PAGEUP: v -= page; break;
    case SB_PAGEDOWN: v += page; break;
    case SB_THUMBTRACK:
      if (!p.ThumbTracking) return;
      v = LKTruncClamp(Pos * scale);
      break;
    case SB_THUMBPOSITION: v = LKTruncClamp(Pos * scale); break;
    case SB_TOP: v = 0; break;
    case SB_BOTTOM: v = Horz ? GetMaximumViewX() : GetMaximumViewY(); break;
    default: break;
  }
  if (Horz)
    SetViewX(v);
  else
    SetViewY(v);
  ViewChange(0);
}

void TLumerakMView::WndProc(TMessage& Message) {
  switch (Message.Msg) {
    case WM_HSCROLL:
    case WM_VSCROLL:
      TLKView::WndProc(Message);
      DoScrollMessage(Message.Msg == WM_HSCROLL, LOWORD(Message.WParam), HIWORD(Message.WParam));
      return;
    case WM_MOUSEWHEEL: {
      TLKView::WndProc(Message);
      const auto delta = static_cast<int16_t>(HIWORD(Message.WParam));
      const bool saved = FUserAction;
      FUserAction = true;
      const Integer row = FThumbHeight + FVertBorder;
      SetViewY(FViewY + (delta > 0 ? -row : row));
      ViewChange(0);
      FUserAction = saved;
      return;
    }
    case WM_SIZE:
      TLKView::WndProc(Message);
      UpdateEx(false);
      return;
    case WM_ERASEBKGND:
      Message.Result = 0;
      return;
    case WM_SETFOCUS:
    case WM_KILLFOCUS:
      TLKView::WndProc(Message);
      Invalidate();
      return;
    case WM_LBUTTONDBLCLK:
      FDblClick = true;
      TLKView::WndProc(Message);
      return;
    case CM_WANTSPECIALKEY: {
      TLKView::WndProc(Message);
      const Word key = static_cast<Word>(Message.WParam);
      if (key >= 33 && key <= 40) Message.Result = 1;
      return;
    }
    case LKM_UPDATE:
      // Results of the loader arrive as posted calls; an update message
      // from a worker repaints.
      TLKView::WndProc(Message);
      return;
    default:
      TLKView::WndProc(Message);
  }
}

Integer TLumerakMView::ImageAtPos(Integer X, Integer Y) {
  return LKMImageAtPos(GetGridParams(), FCells, X, Y, FViewX, FViewY);
}

Integer TLumerakMView::ImageAtGridPos(Integer Row, Integer Col) { return Col + Row * LKMColumns(GetGridParams()); }

Integer TLumerakMView::InsertingPoint(Integer X, Integer Y) {
  return LKMInsertingPoint(GetGridParams(), GetImageCount(), X, Y, FViewX, FViewY);
}

Integer TLumerakMView::GetImageVisibility(Integer Idx) {
  TLKImageInfo* e = Entry(Idx);
  if (e == nullptr) return 0;
  const Integer cw = GetClientWidth(), ch = GetClientHeight();
  const Integer x1 = e->X - FViewX, y1 = e->Y - FViewY, x2 = x1 + FThumbWidth - 1, y2 = y1 + FThumbHeight - 1;
  if (x2 < 0 || y2 < 0 || x1 > cw - 1 || y1 > ch - 1) return 0;
  if (x1 >= 0 && y1 >= 0 && x2 <= cw - 1 && y2 <= ch - 1) return 2;
  return 1;
}

bool TLumerakMView::IsVisible(Integer Idx) {
  TLKImageInfo* e = Entry(Idx);
  if (e == nullptr) return false;
  const Integer x1 = e->X - FViewX, y1 = e->Y - FViewY;
  return x1 + FThumbWidth - 1 >= 0 && y1 + FThumbHeight - 1 >= 0 && x1 <= GetWidth() - 1 && y1 <= GetHeight() - 1;
}

// ---------------------------------------------------------------------------
// Settings
// ---------------------------------------------------------------------------

void TLumerakMView::SetThumbWidth(Integer V) {
  FThumbWidth = std::max<Integer>(V, 1);
  Update();
}

void TLumerakMView::SetThumbHeight(Integer V) {
  FThumbHeight = std::max<Integer>(V, 1);
  Update();
}

void TLumerakMView::RaiseGaps(Integer Upper, Integer Bottom) {
  FUpperGap = std::max(FUpperGap, Upper);
  FBottomGap = std::max(FBottomGap, Bottom);
}

void TLumerakMView::SetDisplayMode(TLKMDisplayMode V) {
  if (FPlaying) {
    FSavedDisplayMode = V;
    return;
  }
  FDisplayMode = V;
  Update();
}

void TLumerakMView::SetImageCacheSize(Integer V) {
  FImageCacheSize = std::max<Integer>(V, 1);
  FImageList->SetMappedLimit(FImageCacheSize);
}

void TLumerakMView::SetThreadPoolSize(Integer V) {
  FThreadPoolSize = std::max<Integer>(V, 0);
  if (FThreadPoolSize > 0) FLoader->SetPoolSize(FThreadPoolSize);
}

void TLumerakMView::SetEnableImageCaching(bool V) {
  FEnableImageCaching = V;
  if (!V) {
    ClearCache();
    Update();
  }
}

// ---------------------------------------------------------------------------
// Entries
// ---------------------------------------------------------------------------

TLKImageInfo* TLumerakMView::Entry(Integer Idx) const {
  return Idx >= 0 && Idx < GetImageCount() ? FEntries[static_cast<size_t>(Idx)].get() : nullptr;
}

Integer TLumerakMView::IndexOfKey(Int64 Key) const {
  for (Integer i = 0; i < GetImageCount(); ++i)
    if (FEntries[static_cast<size_t>(i)]->Key == Key) return i;
  return -1;
}

void TLumerakMView::DropDisplayCopy(TLKImageInfo& E) {
  if (E.DisplayCopy == nullptr) return;
  FDisplayCache->Delete(E.DisplayCopy);
  E.DisplayCopy = nullptr;
}

void TLumerakMView::DropStored(TLKImageInfo& E) {
  if (E.Stored == nullptr) return;
  if (FSelectedBitmap != nullptr && Entry(FSelected) == &E) {
    FImageList->ReleaseBitmapByImage(E.Stored, false);
    FSelectedBitmap = nullptr;
    FSelectedFBitmap.reset();
  }
  FImageList->Delete(E.Stored);
  E.Stored = nullptr;
}

bool TLumerakMView::HasStoredImage(Integer Idx) const {
  TLKImageInfo* e = Entry(Idx);
  return e != nullptr && e->Stored != nullptr;
}

bool TLumerakMView::HasDisplayCopy(Integer Idx) const {
  TLKImageInfo* e = Entry(Idx);
  return e != nullptr && e->DisplayCopy != nullptr;
}

void TLumerakMView::StopPlaying() {
  if (FPlaying) SetPlaying(false);
}

void TLumerakMView::InsertImageEx(Integer Idx) {
  StopPlaying();
  auto e = std::make_unique<TLKImageInfo>();
  e->Owner = this;
  e->BackColor = GetBackground();
  e->Key = FNextKey++;
  Integer at = Idx;
  if (Idx >= 0 && Idx < GetImageCount()) {
    FEntries.insert(FEntries.begin() + Idx, std::move(e));
    // Indexes after the insertion point move on by one.
    if (FSelected >= Idx) ++FSelected;
    for (Integer& m : FMultiSel)
      if (m >= Idx) ++m;
  } else {
    FEntries.push_back(std::move(e));
    at = GetImageCount() - 1;
  }
  FLastOp = 1;
  FLastOpIdx = at;
  CallBitmapChangeEvents();
  UpdateEx(false);
}

void TLumerakMView::InsertImage(Integer Idx) {
  StopPlaying();
  InsertImageEx(Idx);
  const Integer at = Idx >= 0 && Idx < GetImageCount() - 1 ? Idx : GetImageCount() - 1;
  SetSelectedItemNU(at);
  UpdateEx(false);
}

Integer TLumerakMView::AppendImage() {
  InsertImage(GetImageCount());
  return GetImageCount() - 1;
}

Integer TLumerakMView::AppendImage2(Integer Width, Integer Height, TLKPixelFormat PixelFormat) {
  const Integer idx = AppendImage();
  TLKBitmap b(Width, Height, PixelFormat);
  SetLKBitmap(idx, &b);
  return idx;
}

bool TLumerakMView::DeleteImageNU(Integer Idx) {
  if (Idx < 0 || Idx >= GetImageCount()) return false;
  StopPlaying();
  const Integer s = FSelected;
  DeselectNU();
  TLKImageInfo* e = Entry(Idx);
  FreeEntry(e);
  FEntries.erase(FEntries.begin() + Idx);
  if (s >= 0) {
    Integer sel;
    if (Idx != s || Idx < GetImageCount())
      sel = Idx < s ? s - 1 : s;
    else
      sel = GetImageCount() - 1;
    SetSelectedItemNU(sel);
  }
  FLastOp = 2;
  FLastOpIdx = Idx;
  CallBitmapChangeEvents();
  return true;
}

void TLumerakMView::DeleteImage(Integer Idx) {
  if (DeleteImageNU(Idx)) UpdateEx(false);
}

void TLumerakMView::DeleteSelectedImages() {
  std::vector<Integer> list = FMultiSel;
  std::sort(list.begin(), list.end());
  list.erase(std::unique(list.begin(), list.end()), list.end());
  for (auto it = list.rbegin(); it != list.rend(); ++it) DeleteImageNU(*it);
  UpdateEx(false);
}

void TLumerakMView::MoveImage(Integer Idx, Integer Destination) {
  if (Idx < 0 || Idx >= GetImageCount() || Destination < 0 || Idx == Destination) return;
  StopPlaying();
  const Integer s = FSelected;
  DeselectNU();
  auto e = std::move(FEntries[static_cast<size_t>(Idx)]);
  FEntries.erase(FEntries.begin() + Idx);
  const bool toEnd = Destination >= GetImageCount() + 1 || Destination >= GetImageCount();
  if (toEnd)
    FEntries.push_back(std::move(e));
  else
    FEntries.insert(FEntries.begin() + Destination, std::move(e));
  FLastOp = 3;
  FLastOpIdx = Idx;
  FLastOpP1 = Destination;
  CallBitmapChangeEvents();
  // A selected entry moved past the end leaves nothing selected.
  SetSelectedItemNU(s == Idx ? Destination : s);
  UpdateEx(false);
}

void TLumerakMView::SwapImages(Integer Idx1, Integer Idx2) {
  std::swap(FEntries.at(static_cast<size_t>(Idx1)), FEntries.at(static_cast<size_t>(Idx2)));
  FLastOp = 4;
  FLastOpIdx = Idx1;
  FLastOpP1 = Idx2;
  CallBitmapChangeEvents();
}

void TLumerakMView::Sort(const TLKLumerakMViewSortCompare& Compare) {
  if (FEntries.empty()) return;
  StopPlaying();
  const Integer s = FSelected;
  DeselectNU();
  // An exchange sort through SwapImages, so every exchange reaches the
  // attached components; insertion order keeps it stable.
  const Integer n = GetImageCount();
  for (Integer i = 1; i < n; ++i)
    for (Integer j = i; j > 0 && Compare(j - 1, j) > 0; --j) SwapImages(j - 1, j);
  SetSelectedItemNU(s);
  UpdateEx(false);
}

// ---------------------------------------------------------------------------
// Images
// ---------------------------------------------------------------------------

void TLumerakMView::SetLKBitmapEx(Integer Idx, TLKBitmap* Bitmap) {
  if (Bitmap == nullptr) return;
  TLKImageInfo* e = Entry(Idx);
  if (e != nullptr) {
    DropStored(*e);
    DropDisplayCopy(*e);
    std::unique_ptr<TLKBitmap> reduced;
    if (StoreType == lktThumb) {
      if (Bitmap->GetHasAlphaChannel() && Bitmap->GetPixelFormat() == lk24RGB) {
        // Fully transparent pixels turn grey first so they do not bleed black.
        TLKBitmap* a = Bitmap->GetAlphaChannel();
        for (Integer y = 0; y < Bitmap->GetHeight(); ++y)
          for (Integer x = 0; x < Bitmap->GetWidth(); ++x)
            if (a->GetPixels_lk8(x, y) == 0) Bitmap->SetPixels_lk24RGB(x, y, TRGB{128, 128, 128});
      }
      reduced = LKMReduce(Bitmap, FThumbWidth, FThumbHeight, EnableResamplingOnMinor, StoreResampleFilter);
    }
    e->Stored = FImageList->AddLKBitmap(reduced ? reduced.get() : Bitmap);
    FImageList->SetImageOriginalWidth(e->Stored, Bitmap->GetWidth());
    FImageList->SetImageOriginalHeight(e->Stored, Bitmap->GetHeight());
  }
  if (Idx == FSelected && Idx >= 0) {
    FSelectedBitmap = nullptr;
    FSelectedFBitmap.reset();
    CallBitmapChangeEvents();
  }
}

void TLumerakMView::SetLKBitmap(Integer Idx, TLKBitmap* Bitmap) {
  if (Bitmap == nullptr) return;
  SetLKBitmapEx(Idx, Bitmap);
  if (TLKImageInfo* e = Entry(Idx)) DropDisplayCopy(*e);
  UpdateEx(false);
}

void TLumerakMView::SetImageEx(Integer Idx, TBitmap* Bitmap) {
  if (Bitmap == nullptr) return;
  TLKBitmap b;
  b.CopyFromTBitmap(Bitmap);
  SetLKBitmapEx(Idx, &b);
}

void TLumerakMView::SetImage(Integer Idx, TBitmap* Bitmap) {
  SetImageEx(Idx, Bitmap);
  if (TLKImageInfo* e = Entry(Idx)) DropDisplayCopy(*e);
  UpdateEx(false);
}

TLKBitmap* TLumerakMView::GetTLKBitmap(Integer Idx) {
  TLKImageInfo* e = FEntries.at(static_cast<size_t>(Idx)).get();
  if (e->Stored == nullptr) ObtainImageNow(Idx);
  return e->Stored != nullptr ? FImageList->GetBitmap(e->Stored) : nullptr;
}

void TLumerakMView::ReleaseBitmap(Integer Idx) {
  TLKImageInfo* e = FEntries.at(static_cast<size_t>(Idx)).get();
  if (e->Stored == nullptr) return;
  FImageList->ReleaseBitmapByImage(e->Stored, true);
  DropDisplayCopy(*e);
}

void TLumerakMView::CopyToLKBitmap(Integer Idx, TLKBitmap* Bitmap) {
  TLKImageInfo* e = FEntries.at(static_cast<size_t>(Idx)).get();
  if (e->Stored == nullptr) ObtainImageNow(Idx);
  if (e->Stored != nullptr) FImageList->CopyToLKBitmap(e->Stored, Bitmap);
}

TLKBitmap* TLumerakMView::GetLKBitmap() {
  TLKImageInfo* e = Entry(FSelected);
  if (e == nullptr) return nullptr;
  if (FSelectedBitmap == nullptr) {
    if (e->Stored == nullptr) ObtainImageNow(FSelected);
    if (e->Stored != nullptr) FSelectedBitmap = FImageList->GetBitmap(e->Stored);
  }
  return FSelectedBitmap;
}

TBitmap* TLumerakMView::GetFBitmap() {
  TLKBitmap* b = GetLKBitmap();
  if (b == nullptr) return nullptr;
  if (!FSelectedFBitmap) {
    FSelectedFBitmap = std::make_unique<TBitmap>();
    b->CopyToTBitmap(FSelectedFBitmap.get());
  }
  return FSelectedFBitmap.get();
}

void TLumerakMView::PrepareSpaceFor(Integer Width, Integer Height, Integer Count, Integer BitCount) {
  FImageList->PrepareSpaceFor(Width, Height, BitCount, Count);
}

Integer TLumerakMView::GetImageWidth(Integer Idx) {
  TLKImageInfo* e = Entry(Idx);
  return e != nullptr && e->Stored != nullptr ? FImageList->GetImageWidth(e->Stored) : 0;
}

Integer TLumerakMView::GetImageHeight(Integer Idx) {
  TLKImageInfo* e = Entry(Idx);
  return e != nullptr && e->Stored != nullptr ? FImageList->GetImageHeight(e->Stored) : 0;
}

Integer TLumerakMView::GetImageOriginalWidth(Integer Idx) {
  TLKImageInfo* e = Entry(Idx);
  if (e == nullptr) return 0;
  if (e->Stored) return FImageList->GetImageOriginalWidth(e->Stored);
  return e->DisplayCopy ? FDisplayCache->GetImageOriginalWidth(e->DisplayCopy) : 0;
}

Integer TLumerakMView::GetImageOriginalHeight(Integer Idx) {
  TLKImageInfo* e = Entry(Idx);
  if (e == nullptr) return 0;
  if (e->Stored) return FImageList->GetImageOriginalHeight(e->Stored);
  return e->DisplayCopy ? FDisplayCache->GetImageOriginalHeight(e->DisplayCopy) : 0;
}

void TLumerakMView::SetImageOriginalWidth(Integer Idx, Integer Value) {
  TLKImageInfo* e = Entry(Idx);
  if (e != nullptr && e->Stored != nullptr) FImageList->SetImageOriginalWidth(e->Stored, Value);
}

void TLumerakMView::SetImageOriginalHeight(Integer Idx, Integer Value) {
  TLKImageInfo* e = Entry(Idx);
  if (e != nullptr && e->Stored != nullptr) FImageList->SetImageOriginalHeight(e->Stored, Value);
}

Integer TLumerakMView::GetImageBitCount(Integer Idx) {
  TLKImageInfo* e = Entry(Idx);
  if (e == nullptr) return 0;
  if (e->Stored) return FImageList->GetImageBitCount(e->Stored);
  return e->DisplayCopy ? FDisplayCache->GetImageBitCount(e->DisplayCopy) : 0;
}

String TLumerakMView::GetImageFileName(Integer Idx) const {
  TLKImageInfo* e = Entry(Idx);
  return e != nullptr && e->HasFileName ? e->FileName : String();
}

void TLumerakMView::SetImageFileName(Integer Idx, const String& Name) {
  if (TLKImageInfo* e = Entry(Idx)) {
    e->FileName = Name;
    e->HasFileName = true;
    e->ID = -1;
  }
}

Integer TLumerakMView::GetImageID(Integer Idx) const {
  TLKImageInfo* e = Entry(Idx);
  return e != nullptr ? e->ID : -1;
}

void TLumerakMView::SetImageID(Integer Idx, Integer ID) {
  if (TLKImageInfo* e = Entry(Idx)) {
    e->ID = ID;
    e->FileName.clear();
    e->HasFileName = false;
  }
}

TColor TLumerakMView::GetImageBackground(Integer Idx) const {
  TLKImageInfo* e = Entry(Idx);
  return e != nullptr ? e->BackColor : 0;
}

void TLumerakMView::SetImageBackground(Integer Idx, TColor Value) {
  if (TLKImageInfo* e = Entry(Idx)) e->BackColor = Value;
}

Integer TLumerakMView::GetImageDelayTime(Integer Idx) const {
  TLKImageInfo* e = Entry(Idx);
  return e != nullptr ? e->Delay : 0;
}

void TLumerakMView::SetImageDelayTime(Integer Idx, Integer Value) {
  if (TLKImageInfo* e = Entry(Idx)) e->Delay = Value;
}

Integer TLumerakMView::GetImageX(Integer Idx) const { return Entry(Idx) ? Entry(Idx)->X : 0; }
Integer TLumerakMView::GetImageY(Integer Idx) const { return Entry(Idx) ? Entry(Idx)->Y : 0; }
Integer TLumerakMView::GetImageRow(Integer Idx) const { return Entry(Idx) ? Entry(Idx)->Row : 0; }
Integer TLumerakMView::GetImageCol(Integer Idx) const { return Entry(Idx) ? Entry(Idx)->Column : 0; }
TLKMText* TLumerakMView::Caption(Integer Idx, TLKMTextPos Position) const {
  TLKImageInfo* e = Entry(Idx);
  if (e == nullptr) return nullptr;
  std::unique_ptr<TLKMText>& t = Position == lkmtpTop ? e->TopText : Position == lkmtpBottom ? e->BottomText : e->InfoText;
  if (!t) t = std::make_unique<TLKMText>(const_cast<TLumerakMView*>(this), Position);
  return t.get();
}
TLKMText* TLumerakMView::GetImageTopText(Integer Idx) const { return Caption(Idx, lkmtpTop); }
TLKMText* TLumerakMView::GetImageBottomText(Integer Idx) const { return Caption(Idx, lkmtpBottom); }
TLKMText* TLumerakMView::GetImageInfoText(Integer Idx) const { return Caption(Idx, lkmtpInfo); }
TRect TLumerakMView::GetImageRect(Integer Idx) const { return Entry(Idx) ? Entry(Idx)->ImageRect : TRect{}; }

// ---------------------------------------------------------------------------
// Filling
// ---------------------------------------------------------------------------

void TLumerakMView::FillFromDirectory(const String& Directory, Integer Limit) {
  namespace fs = std::filesystem;
  std::vector<String> names;
  std::error_code ec;
  for (fs::directory_iterator it(Directory, ec), end; !ec && it != end; it.increment(ec)) {
    std::error_code ec2;
    if (!it->is_regular_file(ec2)) continue;
    const String name = it->path().filename().string();
    if (IsKnownFormat(name)) names.push_back(name);
  }
  // Listing order is the file system's; a browser shows names in order.
  std::sort(names.begin(), names.end());
  LockPaint();
  Integer added = 0;
  String dir = Directory;
  if (!dir.empty() && dir.back() != '/') dir += '/';
  for (const String& name : names) {
    if (Limit >= 0 && added >= Limit) break;
    const Integer idx = AppendImage();
    SetImageFileName(idx, dir + name);
    GetImageBottomText(idx)->SetCaption(name);
    ++added;
  }
  UnLockPaint();
}

void TLumerakMView::LoadFromFileOnDemand(const String& FileName) {
  Clear();
  const Integer n = LKMGetFileFramesCount(FileName);
  LockPaint();
  for (Integer i = 0; i < n; ++i) {
    InsertImageEx(i);
    SetImageFileName(i, FileName + "::" + std::to_string(i));
  }
  UnLockPaint();
}
