#include "core/lklayer.h"

#include <algorithm>
#include <cmath>

#include "core/lkbitmap.h"
#include "platform/graphics.h"

TLKLayer::TLKLayer(TLumerakViewServices* AOwner, TLKBitmap* ABitmap, bool UseBitmap) : Owner(AOwner) {
  if (UseBitmap) {
    Bitmap = ABitmap;
  } else if (ABitmap != nullptr && ABitmap->GetLocation() == lkTBitmap && ABitmap->GetWidth() > 0 &&
             ABitmap->GetHeight() > 0) {
    // A bitmap like the given one in class-library storage, pixels undefined.
    Bitmap = new TLKBitmap();
    Bitmap->SetLocation(lkTBitmap);
    Bitmap->Allocate(ABitmap->GetWidth(), ABitmap->GetHeight(), ABitmap->GetPixelFormat());
  } else if (ABitmap != nullptr) {
    Bitmap = new TLKBitmap();
    if (ABitmap->GetLocation() != lkTBitmap) Bitmap->SetLocation(ABitmap->GetLocation());
    if (ABitmap->GetWidth() > 0 && ABitmap->GetHeight() > 0 && ABitmap->GetPixelFormat() != lknull)
      Bitmap->Allocate(ABitmap->GetWidth(), ABitmap->GetHeight(), ABitmap->GetPixelFormat());
  } else {
    Bitmap = new TLKBitmap();
  }
  OwnsBitmap = true;
  SetDefaults();
}

TLKLayer::~TLKLayer() {
  if (OwnsBitmap) delete Bitmap;
  Bitmap = nullptr;
}

void TLKLayer::SetDefaults() {
  DisplayWidth = DisplayHeight = 0;
  Visible = true;
  BoxVisible = true;
  Opacity = 255;
  PosX = PosY = 0;
  ClientRect = TRect{};
  Cropped = false;
  Locked = false;
  Selectable = true;
  Magnify = TLKLayerMagnification{};
  Operation = lklNormal;
  FUserData.clear();
  IsMask = false;
  Placement = TLKPaintPlacement{};
  DrawOuter = false;
}

void TLKLayer::Assign(const TLKLayer& Source) {
  if (&Source == this) return;
  DisplayWidth = Source.DisplayWidth;
  DisplayHeight = Source.DisplayHeight;
  if (Bitmap != nullptr && Source.Bitmap != nullptr) Bitmap->Assign(Source.Bitmap);
  Visible = Source.Visible;
  BoxVisible = Source.BoxVisible;
  Selectable = Source.Selectable;
  Opacity = Source.Opacity;
  PosX = Source.PosX;
  PosY = Source.PosY;
  ClientRect = Source.ClientRect;
  Cropped = Source.Cropped;
  Locked = Source.Locked;
  Magnify = Source.Magnify;
  Operation = Source.Operation;
  FUserData = Source.FUserData;
  ResampleFilter = Source.ResampleFilter;
  UseResampleFilter = Source.UseResampleFilter;
  Name = Source.Name;
  IsMask = Source.IsMask;
  DrawOuter = Source.DrawOuter;
}

void LKFreeLayers(TList& Layers) {
  for (Integer i = 0; i < Layers.GetCount(); ++i) delete static_cast<TLKLayer*>(Layers.Get(i));
  Layers.Clear();
}

Integer TLKLayer::GetWidth() const {
  if (DisplayWidth != 0) return DisplayWidth;
  return Bitmap != nullptr ? Bitmap->GetWidth() : 0;
}

Integer TLKLayer::GetHeight() const {
  if (DisplayHeight != 0) return DisplayHeight;
  return Bitmap != nullptr ? Bitmap->GetHeight() : 0;
}

void TLKLayer::SetUserData(const void* Data, Integer Length) {
  if (Data == nullptr || Length <= 0) {
    FUserData.clear();
    return;
  }
  const auto* p = static_cast<const Byte*>(Data);
  FUserData.assign(p, p + Length);
}

// The conversions scale by the layer's effective size (the display size, or
// the bitmap's when no display size is set), so that a layer shown at its
// own size converts 1:1; products are taken in 64 bits.
namespace {

Integer ScaleTrunc(Integer V, Integer Mul, Integer Div) {
  if (Div == 0) return 0;
  return static_cast<Integer>(static_cast<std::int64_t>(V) * Mul / Div);
}

}  // namespace

Integer TLKLayer::ConvXScr2Bmp(Integer X) const {
  const Integer w = GetWidth(), bw = Bitmap != nullptr ? Bitmap->GetWidth() : 0;
  if (w == 0 || bw == 0 || Owner == nullptr) return 0;
  const Integer shift = LKTrunc(PosX * Owner->GetZoomX() / 100);
  return ScaleTrunc(Owner->XScr2Bmp(X - shift), bw, w);
}

Integer TLKLayer::ConvYScr2Bmp(Integer Y) const {
  const Integer h = GetHeight(), bh = Bitmap != nullptr ? Bitmap->GetHeight() : 0;
  if (h == 0 || bh == 0 || Owner == nullptr) return 0;
  const Integer shift = LKTrunc(PosY * Owner->GetZoomY() / 100);
  return ScaleTrunc(Owner->YScr2Bmp(Y - shift), bh, h);
}

Integer TLKLayer::ConvXBmp2Scr(Integer X) const {
  const Integer w = GetWidth(), bw = Bitmap != nullptr ? Bitmap->GetWidth() : 0;
  if (w == 0 || bw == 0 || Owner == nullptr) return 0;
  return Owner->XBmp2Scr(ScaleTrunc(X, w, bw)) + LKTrunc(PosX * Owner->GetZoomX() / 100);
}

Integer TLKLayer::ConvYBmp2Scr(Integer Y) const {
  const Integer h = GetHeight(), bh = Bitmap != nullptr ? Bitmap->GetHeight() : 0;
  if (h == 0 || bh == 0 || Owner == nullptr) return 0;
  return Owner->YBmp2Scr(ScaleTrunc(Y, h, bh)) + LKTrunc(PosY * Owner->GetZoomY() / 100);
}

void TLumerakViewServices::TakeLoadedLayers(TList& Layers) { LKFreeLayers(Layers); }
