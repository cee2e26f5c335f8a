// The clipboard: text, registered formats and bitmaps come back as they
// went out; formats set between Open and Close travel together.
#include <gtest/gtest.h>

#include <QApplication>
#include <QClipboard>
#include <QMimeData>

#include "platform/clipboard.h"

TEST(Clipboard, RegisteredFormatsAreNumberedByNameAndTravelAsMimeTypes) {
  const Word gif = RegisterClipboardFormat("GIF Image");
  EXPECT_GE(gif, 0xC000);
  EXPECT_EQ(RegisterClipboardFormat("gif image"), gif) << "names ignore letter case";
  EXPECT_NE(RegisterClipboardFormat("Velmoran Layers"), gif);
  EXPECT_EQ(RegisterClipboardFormat(""), 0);
  EXPECT_EQ(GetClipboardFormatName(gif), "GIF Image");
  EXPECT_EQ(ClipboardFormatMimeType(gif), "application/x-gif-image");
  EXPECT_EQ(ClipboardFormatMimeType(0xBFFF), "");
  EXPECT_THROW(Clipboard()->SetAsData(0xFFFF, {1}), EInvalidOperation);
}

TEST(Clipboard, TextDataAndBitmapsRoundTrip) {
  TClipboard* cb = Clipboard();
  const Word gif = RegisterClipboardFormat("GIF Image");
  const std::vector<Byte> bytes = {0x47, 0x49, 0x46, 0x00, 0xFF};

  // Between Open and Close several formats go out together.
  cb->Open();
  cb->Clear();
  cb->SetAsText("größer");
  cb->SetAsData(gif, bytes);
  cb->Close();
  EXPECT_EQ(cb->GetAsText(), "größer");
  EXPECT_EQ(cb->GetAsData(gif), bytes);
  EXPECT_TRUE(cb->HasFormat(gif));
  EXPECT_TRUE(cb->HasFormat(CF_TEXT));
  EXPECT_FALSE(cb->HasFormat(CF_BITMAP));
  // The MIME type is what other programs see.
  EXPECT_TRUE(QApplication::clipboard()->mimeData()->hasFormat("application/x-gif-image"));

  // Outside Open/Close, a set replaces what was there.
  TBitmap bmp(4, 3, pf24bit);
  for (Integer y = 0; y < 3; ++y)
    for (Integer x = 0; x < 4; ++x) {
      Byte* p = bmp.ScanLine(y) + 3 * x;
      p[0] = static_cast<Byte>(10 * x), p[1] = static_cast<Byte>(50 * y), p[2] = static_cast<Byte>(x + 4 * y);
    }
  cb->SetBitmap(bmp);
  EXPECT_FALSE(cb->HasFormat(gif));
  EXPECT_TRUE(cb->HasFormat(CF_BITMAP));
  TBitmap back;
  ASSERT_TRUE(cb->GetBitmap(back));
  ASSERT_EQ(back.GetWidth(), 4);
  ASSERT_EQ(back.GetHeight(), 3);
  for (Integer y = 0; y < 3; ++y)
    EXPECT_EQ(std::vector<Byte>(back.ScanLine(y), back.ScanLine(y) + 12), std::vector<Byte>(bmp.ScanLine(y), bmp.ScanLine(y) + 12));

  cb->Clear();
  EXPECT_FALSE(cb->HasFormat(CF_BITMAP));
  EXPECT_FALSE(cb->GetBitmap(back));
  EXPECT_TRUE(cb->GetAsData(gif).empty());
}
