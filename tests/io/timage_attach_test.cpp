// The I/O component working on an image control's picture: loads land in
// the control's bitmap, and the component lets go when the control goes.
#include <gtest/gtest.h>

#include "io/io_kit.h"
#include "io/lumerakio.h"
#include "platform/imagecontrol.h"

TEST(IOImageControl, LoadsLandInTheControlsPictureUntilItGoes) {
  iokit::TempDir dir;
  {
    TLumerakIO writer;
    writer.GetLKBitmap()->Allocate(9, 7, lk24RGB);
    writer.GetLKBitmap()->Fill(0.5);
    writer.SaveToFile(dir.File("a.png"));
    ASSERT_FALSE(writer.GetAborted());
  }
  TLumerakIO io;
  auto* img = new TImage();
  // Another graphic is first replaced by an empty bitmap.
  img->GetPicture()->SetGraphic(nullptr);
  int changes = 0;
  img->OnChange = [&](TObject*) { ++changes; };
  io.SetTImage(img);
  EXPECT_EQ(io.GetAttachedTImage(), img);
  EXPECT_EQ(io.GetBitmap(), img->GetPicture()->GetBitmap());
  io.LoadFromFile(dir.File("a.png"));
  ASSERT_FALSE(io.GetAborted());
  EXPECT_EQ(img->GetPicture()->GetWidth(), 9);
  EXPECT_EQ(img->GetPicture()->GetHeight(), 7);
  EXPECT_GT(changes, 0);

  // The control goes: the component forgets it and its bitmap, and works on
  // its own picture again.
  delete img;
  EXPECT_EQ(io.GetAttachedTImage(), nullptr);
  EXPECT_EQ(io.GetBitmap(), nullptr);
  io.LoadFromFile(dir.File("a.png"));
  EXPECT_FALSE(io.GetAborted());
  EXPECT_EQ(io.GetLKBitmap()->GetWidth(), 9);

  // Null detaches and frees the working picture.
  TImage other;
  io.SetTImage(&other);
  io.LoadFromFile(dir.File("a.png"));
  EXPECT_EQ(other.GetPicture()->GetWidth(), 9);
  io.SetTImage(nullptr);
  EXPECT_EQ(io.GetAttachedTImage(), nullptr);
  EXPECT_TRUE(io.GetLKBitmap()->IsEmpty());
}
