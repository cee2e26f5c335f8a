// The hint window (see platform/hint.h).
#include "platform/hint.h"

#include <QImage>
#include <QPainter>
#include <QWidget>
#include <QWindow>

TLKHint::TLKHint(TComponent* AOwner)
    : TCustomControl(AOwner), FFont(std::make_unique<TFont>()), FWindowImage(0, 0, pf24bit) {
  SetVisible(false);
  SetColor(RGB(255, 255, 224));
  FFont->SetColor(clBlack);
  GetCanvas()->SetFont(FFont.get());
  GetCanvas()->GetBrush()->SetStyle(bsClear);
}

TLKHint::~TLKHint() = default;

void TLKHint::SetFont(const TFont* Font) {
  if (Font == nullptr) return;
  FFont->Assign(Font);
  GetCanvas()->SetFont(FFont.get());
  Invalidate();
}

void TLKHint::SetText(const String& Text) {
  FText = Text;
  TCanvas* c = GetCanvas();
  SetBounds(GetLeft(), GetTop(), c->TextWidth(FText) + 4, c->TextHeight(FText) + 4);
  Perform(WM_NCPAINT, 0, 0);
  Invalidate();
}

void TLKHint::CreateParams(TCreateParams& Params) {
  TCustomControl::CreateParams(Params);
  Params.Style = WS_POPUP | WS_BORDER;
  Params.WindowClassStyle |= CS_SAVEBITS;
  if (NewStyleControls) Params.ExStyle = WS_EX_TOOLWINDOW;
}

void TLKHint::CreateWnd() {
  TCustomControl::CreateWnd();
  // A frameless tool-tip window: on top, never activated, no task-bar entry.
  Qt::WindowFlags flags = Qt::ToolTip | Qt::FramelessWindowHint;
  if (Perform(WM_NCHITTEST, 0, 0) == HTTRANSPARENT) flags |= Qt::WindowTransparentForInput;
  QWidget* peer = GetPeer();
  if (peer->windowFlags() != flags) {
    peer->setWindowFlags(flags);
    peer->setAttribute(Qt::WA_ShowWithoutActivating);
  }
  PlacePeer();
  SyncPeerVisibility();
  Perform(WM_NCPAINT, 0, 0);
}

void TLKHint::WndProc(TMessage& Message) {
  switch (Message.Msg) {
    case WM_NCHITTEST: Message.Result = HTTRANSPARENT; return;
    case WM_NCPAINT: NCPaint(); return;
    default: TCustomControl::WndProc(Message);
  }
}

void TLKHint::NCPaint() {
  const Integer w = GetWidth(), h = GetHeight();
  if (FWindowImage.GetWidth() != w || FWindowImage.GetHeight() != h) FWindowImage.SetSize(w, h);
  if (w <= 0 || h <= 0) return;
  TRect r{0, 0, w, h};
  DrawEdge(FWindowImage.GetCanvas(), r, BDR_RAISEDOUTER, BF_RECT);
  GetPeer()->update();
}

void TLKHint::Paint() { GetCanvas()->TextOut(1, 1, FText); }

void TLKHint::PaintPeer(QPainter& Painter) {
  // The whole window as the non-client paint left it, then the client image
  // over its middle.
  const Integer w = FWindowImage.GetWidth(), h = FWindowImage.GetHeight();
  if (w > 0 && h > 0)
    Painter.drawImage(0, 0, QImage(FWindowImage.SurfaceRow(0), w, h, FWindowImage.RowBytes(), QImage::Format_BGR888));
  const TRect in = GetNonClientInsets();
  TBitmap* s = GetSurface();
  if (s->GetWidth() > 0 && s->GetHeight() > 0)
    Painter.drawImage(in.Left, in.Top,
                      QImage(s->SurfaceRow(0), s->GetWidth(), s->GetHeight(), s->RowBytes(), QImage::Format_BGR888));
}

void TLKHint::PlacePeer() {
  // A pop-up is a window of its own: its place is on the screen.
  GetPeer()->setGeometry(GetLeft(), GetTop(), GetWidth(), GetHeight());
}

void TLKHint::SyncPeerVisibility() {
  QWidget* peer = GetPeer();
  const bool show = GetVisible() && HandleAllocated();
  if (show == peer->isVisible()) return;
  peer->setVisible(show);
  // The X back end makes a window input-transparent only when the flag
  // changes on a window that exists: set it again once shown.
  if (show && (peer->windowFlags() & Qt::WindowTransparentForInput) && peer->windowHandle() != nullptr) {
    peer->windowHandle()->setFlag(Qt::WindowTransparentForInput, false);
    peer->windowHandle()->setFlag(Qt::WindowTransparentForInput, true);
  }
}
