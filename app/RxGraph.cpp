#include "app/RxGraph.h"

#include "platform/clipboard.h"
#include "platform/cursors.h"
#include "platform/icon.h"

Word CF_ICON() {
  static const Word format = RegisterClipboardFormat("Icon Image");
  return format;
}

void DrawBitmapTransparentStretched(TCanvas* Canvas, TBitmap* Bitmap, TColor TransparentColor, TRect DestRect,
                                    TRect SourceRect) {
  if (!Canvas || !Bitmap || Bitmap->GetEmpty()) return;
  const Integer bw = Bitmap->GetWidth(), bh = Bitmap->GetHeight();
  if (DestRect.Right - DestRect.Left < 1) DestRect.Right = DestRect.Left + bw;
  if (DestRect.Bottom - DestRect.Top < 1) DestRect.Bottom = DestRect.Top + bh;
  if (SourceRect.Right - SourceRect.Left < 1 || SourceRect.Bottom - SourceRect.Top < 1) SourceRect = TRect{0, 0, bw, bh};
  TColor key = TransparentColor;
  if (Bitmap->GetPixelFormat() == pf1bit) {
    key = clWhite;
  } else if (key == clDefault) {
    key = Bitmap->GetCanvas()->GetPixel(0, bh - 1);
  } else if (key != clNone) {
    key = ColorToRGB(key);
  }
  Bitmap->GetCanvas()->Lock();
  Canvas->CopyFromSurface(DestRect, Bitmap, SourceRect, key);
  Bitmap->GetCanvas()->Unlock();
}

void DrawBitmapRectTransparent(TCanvas* Canvas, Integer X, Integer Y, TColor TransparentColor, TBitmap* Bitmap,
                               TRect SourceRect) {
  const TRect dest{X, Y, X + (SourceRect.Right - SourceRect.Left), Y + (SourceRect.Bottom - SourceRect.Top)};
  DrawBitmapTransparentStretched(Canvas, Bitmap, TransparentColor, dest, SourceRect);
}

void RegisterShellGraphics() {
  LoadScreenCursor(crHand, "RX_HANDCUR");
  LoadScreenCursor(crDragHand, "RX_DRAGCUR");
  CF_ICON();
}
