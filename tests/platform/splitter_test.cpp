// The splitter resizes the control aligned before it, live, within limits.
#include <gtest/gtest.h>

#include "platform/splitter.h"
#include "window_kit.h"

using namespace window_kit;

TEST(Splitter, DraggingResizesTheNeighbourWithinMinSize) {
  TForm form;
  form.SetBorderStyle(bsNone);
  form.SetBounds(0, 0, 300, 100);
  auto* left = Make<TCustomControl>(form);
  left->SetWidth(100);
  left->SetAlign(alLeft);
  auto* splitter = Make<TSplitter>(form);
  splitter->SetLeft(150);  // to the right of the panel: aligned after it
  auto* client = Make<TCustomControl>(form);
  client->SetAlign(alClient);
  ASSERT_EQ(splitter->GetLeft(), 100);
  ASSERT_EQ(splitter->FindControl(), left);
  int moved = 0;
  splitter->OnMoved = [&](TObject*) { ++moved; };

  QWidget* peer = splitter->GetPeer();
  const QPoint down = peer->mapToGlobal(QPoint(1, 5));
  Mouse(peer, QEvent::MouseButtonPress, QPoint(1, 5));
  struct TStep {
    int Dx;
    Integer Width;
  };
  for (TStep s : {TStep{40, 140}, TStep{-90, 30}, TStep{500, 300 - 3 - 30}, TStep{10, 110}}) {
    // Positions relative to where the splitter is now, as the window
    // system reports them, with the left button held.
    QMouseEvent e(QEvent::MouseMove, QPointF(peer->mapFromGlobal(down + QPoint(s.Dx, 0))),
                  QPointF(down + QPoint(s.Dx, 0)), Qt::NoButton, Qt::LeftButton, Qt::NoModifier);
    QApplication::sendEvent(peer, &e);
    EXPECT_EQ(left->GetWidth(), s.Width) << "dragged by " << s.Dx;
    EXPECT_EQ(splitter->GetLeft(), s.Width) << "the splitter follows";
    EXPECT_EQ(client->GetLeft(), s.Width + 3);
  }
  EXPECT_EQ(moved, 0);
  Mouse(peer, QEvent::MouseButtonRelease, QPoint(1, 5));
  EXPECT_EQ(moved, 1);
}
