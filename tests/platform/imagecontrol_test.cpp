// The image control: where its graphic lands for each layout, and that a
// changed picture repaints it.
#include "platform/imagecontrol.h"

#include <gtest/gtest.h>

#include "platform/forms.h"

TEST(ImageControl, PlacementOfTheGraphic) {
  struct Case {
    bool Stretch, Center, Proportional;
    Integer W, H;  // the picture
    TRect Want;
  };
  // A client area of 100 x 50.
  const Case cases[] = {
      {false, false, false, 40, 20, TRect{0, 0, 40, 20}},
      {false, true, false, 40, 20, TRect{30, 15, 70, 35}},
      {true, false, false, 40, 20, TRect{0, 0, 100, 50}},
      {true, false, true, 40, 40, TRect{0, 0, 50, 50}},
      {true, true, true, 40, 40, TRect{25, 0, 75, 50}},
      {false, false, true, 40, 20, TRect{0, 0, 40, 20}},    // small enough: not enlarged
      {false, false, true, 400, 100, TRect{0, 0, 100, 25}},  // too large: shrunk
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(testing::Message() << c.Stretch << c.Center << c.Proportional << " " << c.W);
    TImage img;
    img.SetBounds(0, 0, 100, 50);
    img.SetStretch(c.Stretch);
    img.SetCenter(c.Center);
    img.SetProportional(c.Proportional);
    img.GetPicture()->GetBitmap()->SetSize(c.W, c.H);
    const TRect r = img.DestRect();
    EXPECT_EQ(r.Left, c.Want.Left);
    EXPECT_EQ(r.Top, c.Want.Top);
    EXPECT_EQ(r.Right, c.Want.Right);
    EXPECT_EQ(r.Bottom, c.Want.Bottom);
  }
}

TEST(ImageControl, PaintsItsPictureAndFollowsItsChanges) {
  TForm form;
  form.SetBounds(0, 0, 200, 200);
  TImage* img = new TImage(&form);
  img->SetParent(&form);
  img->SetBounds(10, 10, 30, 20);
  img->SetColor(clWhite);
  img->HandleNeeded();
  int changes = 0;
  img->OnChange = [&](TObject*) { ++changes; };
  TBitmap* b = img->GetPicture()->GetBitmap();
  b->SetSize(4, 4);
  b->GetCanvas()->GetBrush()->SetColor(clRed);
  b->GetCanvas()->FillRect(TRect{0, 0, 4, 4});
  b->Modify();
  EXPECT_GT(changes, 0);
  img->SetStretch(true);
  img->Repaint();
  EXPECT_EQ(img->GetSurface()->GetCanvas()->GetPixel(15, 10), clRed);
  img->GetPicture()->SetGraphic(nullptr);
  img->Repaint();
  EXPECT_EQ(img->GetSurface()->GetCanvas()->GetPixel(15, 10), clWhite);
}
