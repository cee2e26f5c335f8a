// The transition engine (see lktransitions.h).
#include "processing/lktransitions.h"

#include <algorithm>
#include <cmath>
#include <cstring>

#include "core/lkbitmap.h"
#include "platform/controls.h"
#include "platform/graphics.h"
#include "platform/threads.h"
#include "processing/lkprocutils.h"
#include "processing/lktransitionraster.h"
#include "processing/lkxtratransitions.h"
#include "core/lkviewlink.h"

namespace {

constexpr std::size_t kPx = 3;

std::unique_ptr<TBitmap> NewFrame() { return std::make_unique<TBitmap>(1, 1, pf24bit); }

void Resize(TBitmap* B, Integer W, Integer H) {
  if (B->GetPixelFormat() != pf24bit) B->SetPixelFormat(pf24bit);
  B->SetSize(W, H);
}

// x * y >> 10 for the 10-bit fixed-point positions (64-bit product).
Integer Shr10(Integer x, Integer y) { return static_cast<Integer>((static_cast<Int64>(x) * y) >> 10); }

}  // namespace

TLKTransitionEffects::TLKTransitionEffects(TLKViewLink* Owner)
    : FromBitmap(NewFrame()), ToBitmap(NewFrame()), FrameBitmap(NewFrame()), View(Owner) {
  Clock = [] { return GetTickCount(); };
  Timer = std::make_unique<TTimer>(nullptr);
  Timer->SetEnabled(false);
  Timer->SetInterval(1);
  Timer->SetOnTimer([this](TObject* Sender) { TimerEvent(Sender); });
}

TLKTransitionEffects::~TLKTransitionEffects() {
  FromRows.clear();
  ToRows.clear();
  FrameRows.clear();
  Timer.reset();
}

void TLKTransitionEffects::SetSizes(Integer W, Integer H) {
  Stop();
  Width = std::max(W, 0);
  Height = std::max(H, 0);
  Resize(FrameBitmap.get(), Width, Height);
  Resize(FromBitmap.get(), Width, Height);
  Resize(ToBitmap.get(), Width, Height);
}

void TLKTransitionEffects::BuildRows() {
  FromRows.clear();
  ToRows.clear();
  FrameRows.clear();
  for (Integer y = 0; y < Height; ++y) {
    FromRows.push_back(FromBitmap->ScanLine(y));
    ToRows.push_back(ToBitmap->ScanLine(y));
    FrameRows.push_back(FrameBitmap->ScanLine(y));
  }
}

void TLKTransitionEffects::Run(bool AUpdateOnStop) {
  if (Transition == lkttNone) return;
  // A restart releases the lock of the run in progress; the new run takes
  // its own below.
  if (Running && View != nullptr) View->NPUnLockPaint();
  UpdateOnStop = AUpdateOnStop;
  Running = true;
  Step = 0;
  PrevAmount = 0;
  if ((Width >= 2 || Height >= 2) && FromBitmap->GetHeight() == Height) {
    if (View != nullptr) View->LockPaint();
    BuildRows();
    StartTick = Clock();
    Timer->SetEnabled(true);
  } else {
    Running = false;
    Timer->SetEnabled(false);
  }
}

void TLKTransitionEffects::Stop() {
  // A run ends whatever the type is now: its paint lock must go.
  if (!Running) return;
  Timer->SetEnabled(false);
  Running = false;
  Resize(FrameBitmap.get(), 1, 1);
  Resize(FromBitmap.get(), 1, 1);
  Resize(ToBitmap.get(), 1, 1);
  if (View != nullptr) {
    View->NPUnLockPaint();
    if (UpdateOnStop) View->Update();
  }
  if (OnTransitionStop) OnTransitionStop(View != nullptr ? View->GetLinkComponent() : nullptr);
}

void TLKTransitionEffects::PrepareBitmap(TBitmap* From, TBitmap* To) {
  if (Transition == lkttNone || From == nullptr || To == nullptr) return;
  Step = 0;
  PrevAmount = 0;
  SetSizes(From->GetWidth(), From->GetHeight());
  FromBitmap->Assign(From);
  FrameBitmap->Assign(From);
  ToBitmap->Assign(To);
  for (TBitmap* b : {FromBitmap.get(), FrameBitmap.get(), ToBitmap.get()})
    if (b->GetPixelFormat() != pf24bit) b->SetPixelFormat(pf24bit);
  FromRows.clear();
  ToRows.clear();
  FrameRows.clear();
  // Pictures of different sizes are refused: the frames would read past the
  // smaller one. The engine then only ever shows the from picture.
  if (ToBitmap->GetWidth() != Width || ToBitmap->GetHeight() != Height) return;
  if ((Width >= 2 || Height >= 2) && FromBitmap->GetHeight() == Height) BuildRows();
}

void TLKTransitionEffects::CreateBitmapFrame(Integer Position, TBitmap* Bitmap) {
  if (Bitmap == nullptr) return;
  Resize(Bitmap, Width, Height);
  Step = std::min(std::max(Position, 0) * 1024 / 1000, 1024);
  DrawFrame(Step);
  std::vector<Byte*> dst, src;
  LKRowsCopyAll(LKRowsOf(Bitmap, dst), LKRowsOf(FrameBitmap.get(), src));
}

Integer TLKTransitionEffects::NextStep(DWORD Elapsed) const {
  const double t = static_cast<double>(Elapsed) / std::max(Duration, 1);
  double v = 0;
  switch (Timing) {
    case lkttLinear: v = t * 1024; break;
    case lkttExponential: v = std::exp(5 * t - 2.718) / 10 * 1024; break;
    case lkttLogarithmic: v = t > 0 ? (std::log(10 * t) + 2.718) / 5 * 1024 : 0; break;
  }
  return std::clamp(LKTrunc(v), 0, 1024);
}

void TLKTransitionEffects::TimerEvent(TObject*) {
  if (!Running) return;
  if (OnTransitionStep) OnTransitionStep(View != nullptr ? View->GetLinkComponent() : nullptr, Step);
  DrawFrame(Step);
  const auto toView = [this](TBitmap* B) {
    if (View != nullptr) View->ShowFrame(B);
  };
  toView(FrameBitmap.get());
  const DWORD elapsed = Clock() - StartTick;
  if (static_cast<Int64>(elapsed) >= Duration) {
    if (UpdateOnStop && Transition != lkttPanZoom) toView(ToBitmap.get());
    Stop();
  }
  Step = NextStep(elapsed);
}

// ---------------------------------------------------------------------------
// Drawing a frame
// ---------------------------------------------------------------------------

void TLKTransitionEffects::DrawFrame(Integer s) {
  s = std::clamp(s, 0, 1024);
  // Row tables that do not describe the three bitmaps (no start, refused
  // pictures) draw nothing.
  if (static_cast<Integer>(FrameRows.size()) != Height || Height == 0 || FrameBitmap->GetWidth() != Width ||
      FrameBitmap->GetHeight() != Height || FromBitmap->GetWidth() != Width || ToBitmap->GetWidth() != Width ||
      ToBitmap->GetHeight() != Height)
    return;
  switch (Transition) {
    case lkttNone: return;
    case lkttCrossDissolve: CrossDissolve(s); return;
    case lkttFadeOut: FadeOut(s); return;
    case lkttFadeIn: FadeIn(s); return;
    case lkttFadeOutIn: FadeOutIn(s); return;
    case lkttLeftRight1: LeftRight1(s); return;
    case lkttLeftRight2: LeftRight2(s); return;
    case lkttRightLeft1: RightLeft1(s); return;
    case lkttRightLeft2: RightLeft2(s); return;
    case lkttUpDown1: UpDown1(s); return;
    case lkttUpDown2: UpDown2(s); return;
    case lkttDownUp1: DownUp1(s); return;
    case lkttDownUp2: DownUp2(s); return;
    case lkttFromUpLeft: FromUpLeft(s); return;
    case lkttFromUpRight: FromUpRight(s); return;
    case lkttFromBottomLeft: FromBottomLeft(s); return;
    case lkttFromBottomRight: FromBottomRight(s); return;
    case lkttMoveLeftRight1: MoveLeftRight1(s); return;
    case lkttMoveLeftRight2: MoveLeftRight2(s); return;
    case lkttMoveRightLeft1: MoveRightLeft1(s); return;
    case lkttMoveRightLeft2: MoveRightLeft2(s); return;
    case lkttMoveUpDown1: MoveUpDown1(s); return;
    case lkttMoveUpDown2: MoveUpDown2(s); return;
    case lkttMoveDownUp1: MoveDownUp1(s); return;
    case lkttMoveDownUp2: MoveDownUp2(s); return;
    case lkttRandomPoints: RandomPoints(s); return;
    case lkttRandomBoxes: RandomBoxes(s); return;
    case lkttCenter1: Center1(s); return;
    case lkttCenter2: Center2(s); return;
    case lkttCenterZoom1: CenterZoom1(s); return;
    case lkttCenterZoom2: CenterZoom2(s); return;
    case lkttPanZoom: PanZoom(s); return;
    default: break;
  }
  // The list-drawn transitions see the progress in percent.
  const TLKRows frame{FrameRows.data(), Width, Height};
  if (s == 0) {
    LKRowsCopyAll(frame, TLKRows{FromRows.data(), Width, Height});
    return;
  }
  const TEffect& e = LKTransitionList[Transition - 1];
  if (e.Proc == nullptr) return;
  e.Proc(FrameBitmap->GetCanvas(), FromBitmap.get(), ToBitmap.get(),
         TRect{0, 0, FrameBitmap->GetWidth(), FrameBitmap->GetHeight()}, 1, LKRound(s / 1024.0 * 100));
}

// Every channel (A * (1024 - s) + B * s) >> 10, where A is the from picture
// or the background colour and B the to picture or the background colour.
void TLKTransitionEffects::Fade(Integer s, bool FromB, bool ToB) {
  const TRGB bg = TColor2TRGB(View != nullptr ? View->GetBackground() : clBtnFace);
  std::vector<Byte> back(static_cast<std::size_t>(Width) * kPx);
  for (Integer x = 0; x < Width; ++x) {
    back[static_cast<std::size_t>(x) * kPx] = bg.b;
    back[static_cast<std::size_t>(x) * kPx + 1] = bg.g;
    back[static_cast<std::size_t>(x) * kPx + 2] = bg.r;
  }
  const unsigned wa = static_cast<unsigned>(1024 - s), wb = static_cast<unsigned>(s);
  const std::size_t n = static_cast<std::size_t>(Width) * kPx;
  for (Integer y = 0; y < Height; ++y) {
    const Byte* a = FromB ? back.data() : FromRows[static_cast<std::size_t>(y)];
    const Byte* b = ToB ? back.data() : ToRows[static_cast<std::size_t>(y)];
    Byte* d = FrameRows[static_cast<std::size_t>(y)];
    for (std::size_t i = 0; i < n; ++i) d[i] = static_cast<Byte>((a[i] * wa + b[i] * wb) >> 10);
  }
}

void TLKTransitionEffects::CrossDissolve(Integer s) { Fade(s, false, false); }
void TLKTransitionEffects::FadeOut(Integer s) { Fade(s, false, true); }
void TLKTransitionEffects::FadeIn(Integer s) { Fade(s, true, false); }

void TLKTransitionEffects::FadeOutIn(Integer s) {
  if (s < 512)
    FadeOut(2 * s);
  else
    FadeIn(2 * s - 1024);
}

void TLKTransitionEffects::Wipe(Integer s, const TRect& R) {
  const TLKRows frame{FrameRows.data(), Width, Height};
  if (s == 0) LKRowsCopyAll(frame, TLKRows{FromRows.data(), Width, Height});
  LKRowsCopy(frame, R.Left, R.Top, TLKRows{ToRows.data(), Width, Height}, R.Left, R.Top, R.Width(), R.Height());
}

// A one-pixel pure red line from the first point toward the second (the
// second point itself is not drawn); only vertical and horizontal lines.
void TLKTransitionEffects::RedLine(Integer X0, Integer Y0, Integer X1, Integer Y1) {
  const TLKRows frame{FrameRows.data(), Width, Height};
  if (X0 == X1)
    LKRowsFill(frame, TRect{X0, std::min(Y0, Y1), X0 + 1, std::max(Y0, Y1)}, 0, 0, 255);
  else
    LKRowsFill(frame, TRect{std::min(X0, X1), Y0, std::max(X0, X1), Y0 + 1}, 0, 0, 255);
}

void TLKTransitionEffects::LeftRight1(Integer s) { Wipe(s, TRect{0, 0, Shr10(s, Width), Height}); }

void TLKTransitionEffects::LeftRight2(Integer s) {
  LeftRight1(s);
  const Integer x = Shr10(s, Width);
  RedLine(x, 0, x, Height);
}

void TLKTransitionEffects::RightLeft1(Integer s) {
  const Integer x = LKRound((1024.0 - s) * Width / 1024);
  Wipe(s, TRect{x, 0, x + LKRound(static_cast<double>(s) * Width / 1024), Height});
}

void TLKTransitionEffects::RightLeft2(Integer s) {
  RightLeft1(s);
  const Integer x = LKRound((1024.0 - s) * Width / 1024);
  RedLine(x, 0, x, Height);
}

void TLKTransitionEffects::UpDown1(Integer s) {
  Wipe(s, TRect{0, 0, Width, LKRound(static_cast<double>(s) * Height / 1024)});
}

void TLKTransitionEffects::UpDown2(Integer s) {
  UpDown1(s);
  const Integer y = LKRound(static_cast<double>(s) * Height / 1024);
  RedLine(0, y, Width, y);
}

void TLKTransitionEffects::DownUp1(Integer s) {
  const Integer y = LKRound((1024.0 - s) * Height / 1024);
  Wipe(s, TRect{0, y, Width, y + LKRound(static_cast<double>(s) * Height / 1024)});
}

void TLKTransitionEffects::DownUp2(Integer s) {
  DownUp1(s);
  const Integer y = LKRound((1024.0 - s) * Height / 1024);
  RedLine(0, y, Width, y);
}

void TLKTransitionEffects::Slide(Integer s, Integer OX, Integer OY) {
  const TLKRows frame{FrameRows.data(), Width, Height};
  if (s == 0) LKRowsCopyAll(frame, TLKRows{FromRows.data(), Width, Height});
  LKRowsCopy(frame, OX, OY, TLKRows{ToRows.data(), Width, Height}, 0, 0, Width, Height);
}

void TLKTransitionEffects::FromUpLeft(Integer s) { Slide(s, -Shr10(1024 - s, Width), -Shr10(1024 - s, Height)); }
void TLKTransitionEffects::FromUpRight(Integer s) { Slide(s, Shr10(1024 - s, Width), -Shr10(1024 - s, Height)); }
void TLKTransitionEffects::FromBottomLeft(Integer s) { Slide(s, -Shr10(1024 - s, Width), Shr10(1024 - s, Height)); }
void TLKTransitionEffects::FromBottomRight(Integer s) { Slide(s, Shr10(1024 - s, Width), Shr10(1024 - s, Height)); }

namespace {

// Every row of the frame: Left pixels from (A, column AX), then the rest
// from (B, column BX).
void SplitRows(Byte* const* Frame, Byte* const* A, Integer AX, Byte* const* B, Integer BX, Integer Left, Integer W,
               Integer H) {
  const auto left = static_cast<std::size_t>(std::clamp(Left, 0, W));
  const auto right = static_cast<std::size_t>(W) - left;
  for (Integer y = 0; y < H; ++y) {
    const auto r = static_cast<std::size_t>(y);
    if (left > 0) std::memcpy(Frame[r], A[r] + static_cast<std::size_t>(AX) * kPx, left * kPx);
    if (right > 0) std::memcpy(Frame[r] + left * kPx, B[r] + static_cast<std::size_t>(BX) * kPx, right * kPx);
  }
}

// Frame rows 0..Top-1 from A's rows from AY, the others from B's rows from
// BY.
void SplitColumns(Byte* const* Frame, Byte* const* A, Integer AY, Byte* const* B, Integer BY, Integer Top, Integer W,
                  Integer H) {
  Top = std::clamp(Top, 0, H);
  const std::size_t bytes = static_cast<std::size_t>(W) * kPx;
  for (Integer y = 0; y < Top; ++y) std::memcpy(Frame[y], A[AY + y], bytes);
  for (Integer y = Top; y < H; ++y) std::memcpy(Frame[y], B[BY + y - Top], bytes);
}

}  // namespace

void TLKTransitionEffects::MoveLeftRight1(Integer s) {
  const Integer c = Shr10(s, Width);
  SplitRows(FrameRows.data(), ToRows.data(), Width - c, FromRows.data(), 0, c, Width, Height);
}

void TLKTransitionEffects::MoveLeftRight2(Integer s) {
  const Integer c = Shr10(s, Width);
  SplitRows(FrameRows.data(), ToRows.data(), 0, FromRows.data(), 0, c, Width, Height);
}

void TLKTransitionEffects::MoveRightLeft1(Integer s) {
  const Integer c = Shr10(1024 - s, Width);
  SplitRows(FrameRows.data(), FromRows.data(), Width - c, ToRows.data(), 0, c, Width, Height);
}

void TLKTransitionEffects::MoveRightLeft2(Integer s) {
  const Integer c = Shr10(1024 - s, Width);
  SplitRows(FrameRows.data(), FromRows.data(), 0, ToRows.data(), 0, c, Width, Height);
}

void TLKTransitionEffects::MoveUpDown1(Integer s) {
  const Integer n = Shr10(s, Height);
  SplitColumns(FrameRows.data(), ToRows.data(), Height - n, FromRows.data(), 0, n, Width, Height);
}

void TLKTransitionEffects::MoveUpDown2(Integer s) {
  const Integer n = Shr10(s, Height);
  SplitColumns(FrameRows.data(), ToRows.data(), 0, FromRows.data(), 0, n, Width, Height);
}

void TLKTransitionEffects::MoveDownUp1(Integer s) {
  const Integer n = Shr10(1024 - s, Height);
  SplitColumns(FrameRows.data(), FromRows.data(), Height - n, ToRows.data(), 0, n, Width, Height);
}

void TLKTransitionEffects::MoveDownUp2(Integer s) {
  const Integer n = Shr10(1024 - s, Height);
  SplitColumns(FrameRows.data(), FromRows.data(), Height - n, ToRows.data(), n, n, Width, Height);
}

Integer TLKTransitionEffects::RandomAdded(Integer s, double Unit) {
  if (s == 0) {
    LKRowsCopyAll(TLKRows{FrameRows.data(), Width, Height}, TLKRows{FromRows.data(), Width, Height});
    return 0;
  }
  // Only what was added since the previous frame; the total grows with s².
  const Integer total = LKRound(Unit * s * (s / 180.0) / 1024);
  const Integer k = total - PrevAmount;
  PrevAmount = total;
  return k;
}

void TLKTransitionEffects::RandomPoints(Integer s) {
  const Integer k = RandomAdded(s, Width);
  for (Integer y = 0; y < Height; ++y) {
    Byte* d = FrameRows[static_cast<std::size_t>(y)];
    const Byte* t = ToRows[static_cast<std::size_t>(y)];
    for (Integer i = 0; i < k; ++i) {
      const auto x = static_cast<std::size_t>(LKTransitionRandom(Width)) * kPx;
      d[x] = t[x];
      d[x + 1] = t[x + 1];
      d[x + 2] = t[x + 2];
    }
  }
}

void TLKTransitionEffects::RandomBoxes(Integer s) {
  const Integer k = RandomAdded(s, static_cast<double>((static_cast<Int64>(Width) * Height) / 64));
  const TLKRows frame{FrameRows.data(), Width, Height};
  const TLKRows to{ToRows.data(), Width, Height};
  for (Integer i = 0; i < k; ++i) {
    const Integer x = LKTransitionRandom(Width) & ~7;
    const Integer y = LKTransitionRandom(Height) & ~7;
    LKRowsCopy(frame, x, y, to, x, y, 8, 8);
  }
}

namespace {

// The centred rectangle of the centre wipes for d (0..1024).
TRect CenterRect(Integer d, Integer W, Integer H) {
  const Integer x = W / 2 - Shr10(d, W / 2), y = H / 2 - Shr10(d, H / 2);
  return TRect{x, y, x + Shr10(d, W), y + Shr10(d, H)};
}

// Copies Src onto Dst (both of the frame's size) everywhere but the
// rectangle R inside the frame, which the caller draws over next.
void CopyAround(const TLKRows& Dst, const TLKRows& Src, const TRect& R) {
  const Integer w = Dst.Width, h = Dst.Height;
  const Integer top = std::clamp(R.Top, 0, h), bottom = std::clamp(R.Bottom, top, h);
  const Integer left = std::clamp(R.Left, 0, w), right = std::clamp(R.Right, left, w);
  LKRowsCopy(Dst, 0, 0, Src, 0, 0, w, top);
  LKRowsCopy(Dst, 0, top, Src, 0, top, left, bottom - top);
  LKRowsCopy(Dst, right, top, Src, right, top, w - right, bottom - top);
  LKRowsCopy(Dst, 0, bottom, Src, 0, bottom, w, h - bottom);
}

}  // namespace

void TLKTransitionEffects::Center1(Integer s) { Wipe(s, CenterRect(s, Width, Height)); }

void TLKTransitionEffects::Center2(Integer s) {
  const TLKRows frame{FrameRows.data(), Width, Height};
  const TRect r = CenterRect(1024 - s, Width, Height);
  CopyAround(frame, TLKRows{ToRows.data(), Width, Height}, r);
  LKRowsCopy(frame, r.Left, r.Top, TLKRows{FromRows.data(), Width, Height}, r.Left, r.Top, r.Width(), r.Height());
}

void TLKTransitionEffects::CenterZoom1(Integer s) {
  const TLKRows frame{FrameRows.data(), Width, Height};
  if (s == 0) LKRowsCopyAll(frame, TLKRows{FromRows.data(), Width, Height});
  LKRowsStretch(frame, CenterRect(s, Width, Height), TLKRows{ToRows.data(), Width, Height},
                TRect{0, 0, Width, Height});
}

void TLKTransitionEffects::CenterZoom2(Integer s) {
  const TLKRows frame{FrameRows.data(), Width, Height};
  const TRect r = CenterRect(1024 - s, Width, Height);
  CopyAround(frame, TLKRows{ToRows.data(), Width, Height}, r);
  LKRowsStretch(frame, r, TLKRows{FromRows.data(), Width, Height}, TRect{0, 0, Width, Height});
}

void TLKTransitionEffects::PanZoom(Integer s) {
  if (SourceImage == nullptr || SourceImage->GetWidth() <= 0 || SourceImage->GetHeight() <= 0) return;
  const auto at = [s](Integer a, Integer b) {
    return LKTrunc(a - s * ((static_cast<double>(a) - b) / 1024));
  };
  Integer left = at(StartRect.Left, EndRect.Left), top = at(StartRect.Top, EndRect.Top);
  Integer w = at(StartRect.Right, EndRect.Right) - left, h = at(StartRect.Bottom, EndRect.Bottom) - top;
  bool clipped = false;
  if (left < 0) { w += left; left = 0; clipped = true; }
  if (w > SourceImage->GetWidth()) { w = SourceImage->GetWidth(); clipped = true; }
  if (top < 0) { h += top; top = 0; clipped = true; }
  if (h > SourceImage->GetHeight()) { h = SourceImage->GetHeight(); clipped = true; }
  Integer x = 0, y = 0, fw = Width, fh = Height;
  if (clipped) {
    // The shown part fitted into the frame and centred, on the background.
    x = y = fw = fh = 0;
    if (w > 0 && h > 0) {
      const double scale = static_cast<double>(w) / Width > static_cast<double>(h) / Height
                               ? static_cast<double>(Width) / w
                               : static_cast<double>(Height) / h;
      fw = LKRound(w * scale);
      fh = LKRound(h * scale);
      x = LKTrunc(Width / 2.0 - fw / 2.0);
      y = LKTrunc(Height / 2.0 - fh / 2.0);
    }
    if (View != nullptr) {
      View->DrawBackgroundToCanvas(FrameBitmap->GetCanvas());
    } else {
      std::vector<Byte*> rows;
      LKRowsFill(LKRowsOf(FrameBitmap.get(), rows), TRect{0, 0, Width, Height}, 0, 0, 0);
    }
  }
  if (w <= 0 || h <= 0 || fw <= 0 || fh <= 0) return;
  SourceImage->RenderToTBitmapEx(FrameBitmap.get(), x, y, fw, fh, left, top, w, h, 255, rfNone, lklNormal);
}
