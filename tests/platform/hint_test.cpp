// The hint window: its defaults and window parameters, the size that
// follows its text, the raised frame of its non-client paint, the text in
// the client image, and the pop-up window that Qt shows, input-transparent.
#include "platform/hint.h"

#include <gtest/gtest.h>

#include <QWidget>

namespace {

class THintProbe : public TLKHint {
 public:
  using TLKHint::GetNonClientInsets;
};

TColor At(TBitmap* B, Integer X, Integer Y) { return B->GetCanvas()->GetPixel(X, Y); }

TEST(Hint, DefaultsAndWindowParameters) {
  THintProbe h;
  EXPECT_FALSE(h.GetVisible());
  EXPECT_EQ(h.GetColor(), RGB(255, 255, 224));
  EXPECT_EQ(h.GetFont()->GetColor(), clBlack);
  EXPECT_EQ(h.GetCanvas()->GetBrush()->GetStyle(), bsClear);
  const TCreateParams& p = h.GetWindowParams();
  EXPECT_EQ(p.Style, WS_POPUP | WS_BORDER);
  EXPECT_EQ(p.ExStyle, WS_EX_TOOLWINDOW);
  EXPECT_TRUE(p.WindowClassStyle & CS_SAVEBITS);
  EXPECT_EQ(h.Perform(WM_NCHITTEST, 0, MAKELPARAM(5, 5)), HTTRANSPARENT);
  EXPECT_EQ(h.GetNonClientInsets(), (TRect{1, 1, 1, 1}));
}

TEST(Hint, TextSizesTheWindowAndIsDrawnInsideARaisedFrame) {
  THintProbe h;
  h.SetText("7.11 cm");
  TCanvas* c = h.GetCanvas();
  const Integer tw = c->TextWidth("7.11 cm"), th = c->TextHeight("7.11 cm");
  ASSERT_GT(tw, 10);
  EXPECT_EQ(h.GetWidth(), tw + 4);
  EXPECT_EQ(h.GetHeight(), th + 4);
  EXPECT_EQ(h.GetClientWidth(), tw + 2);

  // The frame is there at once, before any paint: light at the top and
  // left, dark at the bottom and right, the far corners dark.
  TBitmap* w = h.GetWindowImage();
  ASSERT_EQ(w->GetWidth(), h.GetWidth());
  const TColor light = ColorToRGB(cl3DLight), dark = ColorToRGB(cl3DDkShadow);
  EXPECT_EQ(At(w, 0, 0), light);
  EXPECT_EQ(At(w, 5, 0), light);
  EXPECT_EQ(At(w, 0, 5), light);
  EXPECT_EQ(At(w, h.GetWidth() - 1, 0), dark);
  EXPECT_EQ(At(w, 5, h.GetHeight() - 1), dark);
  EXPECT_EQ(At(w, h.GetWidth() - 1, h.GetHeight() - 1), dark);

  // The client image: pale yellow, with black text from (1, 1).
  ProcessPendingPaints();
  TBitmap* s = h.GetSurface();
  EXPECT_EQ(At(s, 0, 0), RGB(255, 255, 224));
  Integer dark_pixels = 0;
  for (Integer y = 0; y < s->GetHeight(); ++y)
    for (Integer x = 0; x < s->GetWidth(); ++x) dark_pixels += At(s, x, y) == clBlack;
  EXPECT_GT(dark_pixels, 10);

  // Another font: ignored when absent, else the size follows it.
  h.SetFont(nullptr);
  TFont big;
  big.SetSize(24);
  h.SetFont(&big);
  EXPECT_EQ(h.GetFont()->GetSize(), 24);
  h.SetText("7.11 cm");
  EXPECT_GT(h.GetHeight(), th + 4);
  EXPECT_EQ(h.GetWindowImage()->GetHeight(), h.GetHeight());
}

TEST(Hint, ShowsAsAnInputTransparentPopupOnTheScreen) {
  THintProbe h;
  h.SetText("12.5 mm");
  h.SetBounds(140, 90, h.GetWidth(), h.GetHeight());
  h.Show();
  QWidget* peer = h.GetPeer();
  EXPECT_TRUE(peer->isWindow());
  EXPECT_TRUE(peer->isVisible()) << "a pop-up shows without a parent window";
  EXPECT_TRUE(peer->windowFlags() & Qt::WindowTransparentForInput);
  EXPECT_EQ(peer->windowType(), Qt::ToolTip);
  EXPECT_EQ(peer->geometry(), QRect(140, 90, h.GetWidth(), h.GetHeight()));
  h.Hide();
  EXPECT_FALSE(peer->isVisible());
}

}  // namespace
