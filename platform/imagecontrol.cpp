#include "platform/imagecontrol.h"

#include <algorithm>

TImage::TImage(TComponent* AOwner) : TCustomControl(AOwner), FPicture(std::make_unique<TPicture>()) {
  FPicture->OnChange = [this](TObject* Sender) { PictureChanged(Sender); };
  SetBounds(GetLeft(), GetTop(), 105, 105);
}

TImage::~TImage() {
  BeginDestroy();
  FPicture->OnChange = nullptr;
}

void TImage::SetPicture(TPicture* Value) { FPicture->Assign(static_cast<TPersistent*>(Value)); }

void TImage::SetStretch(bool Value) {
  if (FStretch == Value) return;
  FStretch = Value;
  Invalidate();
}

void TImage::SetCenter(bool Value) {
  if (FCenter == Value) return;
  FCenter = Value;
  Invalidate();
}

void TImage::SetProportional(bool Value) {
  if (FProportional == Value) return;
  FProportional = Value;
  Invalidate();
}

TRect TImage::DestRect() const {
  const Integer cw = const_cast<TImage*>(this)->GetClientWidth();
  const Integer ch = const_cast<TImage*>(this)->GetClientHeight();
  Integer w = FPicture->GetWidth(), h = FPicture->GetHeight();
  if (FStretch || (FProportional && (w > cw || h > ch))) {
    if (FProportional && w > 0 && h > 0) {
      // The larger side fills the client area; the other keeps the ratio.
      if (std::int64_t(cw) * h > std::int64_t(ch) * w) {
        w = Integer(std::int64_t(ch) * w / h);
        h = ch;
      } else {
        h = Integer(std::int64_t(cw) * h / w);
        w = cw;
      }
    } else {
      w = cw;
      h = ch;
    }
  }
  TRect r{0, 0, w, h};
  if (FCenter) {
    const Integer dx = (cw - w) / 2, dy = (ch - h) / 2;
    r = TRect{dx, dy, dx + w, dy + h};
  }
  return r;
}

void TImage::Paint() {
  TCanvas* c = GetCanvas();
  c->GetBrush()->SetColor(GetColor());
  c->GetBrush()->SetStyle(bsSolid);
  c->FillRect(TRect{0, 0, GetClientWidth(), GetClientHeight()});
  TGraphic* g = FPicture->GetGraphic();
  if (g && !g->GetEmpty()) c->StretchDraw(DestRect(), g);
}

void TImage::PictureChanged(TObject*) {
  if (OnChange) OnChange(this);
  Invalidate();
}
