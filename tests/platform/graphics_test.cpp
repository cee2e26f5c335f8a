// Colours, pens, brushes, fonts and bitmaps: layouts, tables, conversions.
#include <gtest/gtest.h>

#include <QImage>

#include <cstdio>
#include <fstream>

#include "platform/graphics.h"
#include "platform/sysutils.h"

namespace {

TEST(ColorTest, PlainAndSystemColours) {
  EXPECT_EQ(RGB(1, 2, 3), 197121);
  EXPECT_EQ(GetRValue(RGB(1, 2, 3)), 1);
  EXPECT_EQ(GetGValue(RGB(1, 2, 3)), 2);
  EXPECT_EQ(GetBValue(RGB(1, 2, 3)), 3);
  EXPECT_EQ(static_cast<Cardinal>(clBtnFace), 0x8000000Fu);
  EXPECT_LT(clWindow, 0);
  // Plain colours, clNone and palette codes pass unchanged; system colours resolve.
  EXPECT_EQ(ColorToRGB(clRed), clRed);
  EXPECT_EQ(ColorToRGB(clNone), clNone);
  EXPECT_EQ(ColorToRGB(PALETTEINDEX(5)), 0x01000005);
  EXPECT_EQ(ColorToRGB(clWindow), clWhite);
  EXPECT_EQ(ColorToRGB(clWindowText), clBlack);
  EXPECT_GE(ColorToRGB(clBtnFace), 0);
  EXPECT_GE(ColorToRGB(clHighlight), 0);
  // An index past the table is black, never a read past it.
  EXPECT_EQ(ColorToRGB(SystemColor(200)), clBlack);
  const TRGBQuad q = ColorToRGBQuad(RGB(10, 20, 30));
  EXPECT_EQ(q.rgbRed, 10);
  EXPECT_EQ(q.rgbGreen, 20);
  EXPECT_EQ(q.rgbBlue, 30);
}

TEST(GraphicsObjectTest, ChangeEventsAndDefaults) {
  TPen pen;
  int changes = 0;
  pen.OnChange = [&](TObject*) { ++changes; };
  EXPECT_EQ(pen.GetColor(), clBlack);
  EXPECT_EQ(pen.GetMode(), pmCopy);
  pen.SetColor(clRed);
  pen.SetColor(clRed);  // unchanged: no event
  pen.SetWidth(0);      // stored as 1: unchanged
  pen.SetMode(pmXor);
  EXPECT_EQ(changes, 2);
  EXPECT_EQ(pen.GetWidth(), 1);

  TBrush brush;
  brush.SetStyle(bsClear);
  brush.SetColor(clBlue);  // a colour makes a clear brush solid
  EXPECT_EQ(brush.GetStyle(), bsSolid);

  TFont font;
  EXPECT_EQ(font.GetHeight(), -11);
  EXPECT_EQ(font.GetSize(), 8);
  font.SetSize(10);
  EXPECT_EQ(font.GetHeight(), -13);
  font.SetStyle({fsBold, fsUnderline});
  EXPECT_TRUE(font.GetStyle().Contains(fsBold));
  EXPECT_FALSE(font.GetStyle().Contains(fsItalic));
  TFont copy;
  copy.Assign(&font);
  EXPECT_EQ(copy.GetHeight(), -13);
  EXPECT_EQ(copy.GetStyle(), font.GetStyle());
}

struct RowCase {
  TPixelFormat format;
  Integer width;
  Integer rowBytes;
};

TEST(BitmapTest, RowLengthIsPaddedTo32Bits) {
  const RowCase cases[] = {
      {pf1bit, 1, 4},   {pf1bit, 3, 4},    {pf1bit, 7, 4},   {pf1bit, 33, 8},   {pf4bit, 1, 4},
      {pf4bit, 3, 4},   {pf4bit, 7, 4},    {pf4bit, 33, 20}, {pf8bit, 1, 4},    {pf8bit, 3, 4},
      {pf8bit, 7, 8},   {pf8bit, 33, 36},  {pf15bit, 1, 4},  {pf15bit, 3, 8},   {pf15bit, 7, 16},
      {pf15bit, 33, 68}, {pf16bit, 3, 8},  {pf16bit, 33, 68}, {pf24bit, 1, 4},  {pf24bit, 3, 12},
      {pf24bit, 7, 24}, {pf24bit, 33, 100}, {pf32bit, 1, 4},  {pf32bit, 3, 12}, {pf32bit, 7, 28},
      {pf32bit, 33, 132}, {pfDevice, 3, 12},
  };
  for (const RowCase& c : cases) {
    TBitmap b(c.width, 2, c.format);
    SCOPED_TRACE(testing::Message() << "format " << int(c.format) << " width " << c.width);
    EXPECT_EQ(b.RowBytes(), c.rowBytes);
    EXPECT_EQ(BytesPerScanline(c.width, PixelFormatBits(c.format)), c.rowBytes);
    EXPECT_EQ(b.ScanLine(1) - b.ScanLine(0), c.rowBytes);  // top-down, contiguous
  }
  EXPECT_EQ(TBitmap(3, 3, pfDevice).GetPixelFormat(), pf32bit);
}

TEST(BitmapTest, ColourTables) {
  EXPECT_EQ(TBitmap(1, 1, pf1bit).GetColorTableCount(), 2);
  EXPECT_EQ(TBitmap(1, 1, pf4bit).GetColorTableCount(), 16);
  EXPECT_EQ(TBitmap(1, 1, pf8bit).GetColorTableCount(), 256);
  EXPECT_EQ(TBitmap(1, 1, pf24bit).GetColorTableCount(), 0);
  TBitmap b(1, 1, pf1bit);
  EXPECT_TRUE(b.GetMonochrome());
  const auto t8 = DefaultColorTable(pf8bit);
  EXPECT_EQ(RGBQuadToColor(t8[15]), clWhite);
  EXPECT_EQ(RGBQuadToColor(t8[16 + 36 * 5]), clRed);  // cube entry red 255
  EXPECT_EQ(RGBQuadToColor(t8[255]), RGB(238, 238, 238));
  TRGBQuad e[3] = {{1, 2, 3, 0}, {4, 5, 6, 0}, {7, 8, 9, 0}};
  // Writes and reads are cut to the table.
  EXPECT_EQ(b.SetColorTable(1, 3, e), 1);
  TRGBQuad out[2];
  EXPECT_EQ(b.GetColorTable(0, 5, out), 2);
  EXPECT_EQ(out[1], e[0]);
  EXPECT_EQ(b.GetColorTable(2, 1, out), 0);
  EXPECT_FALSE(b.GetMonochrome());
  b.SetMonochrome(true);
  EXPECT_TRUE(b.GetMonochrome());
}

TEST(BitmapTest, PixelLayoutOfEachFormat) {
  // 24 bit: blue, green, red.
  TBitmap b24(2, 1, pf24bit);
  b24.GetCanvas()->SetPixel(1, 0, RGB(10, 20, 30));
  const Byte* r = b24.ScanLine(0);
  EXPECT_EQ(r[3], 30);
  EXPECT_EQ(r[4], 20);
  EXPECT_EQ(r[5], 10);
  // 32 bit: blue, green, red, unused.
  TBitmap b32(1, 1, pf32bit);
  b32.GetCanvas()->SetPixel(0, 0, RGB(10, 20, 30));
  EXPECT_EQ(b32.ScanLine(0)[0], 30);
  EXPECT_EQ(b32.ScanLine(0)[2], 10);
  // 1 bit: most significant bit first.
  TBitmap b1(10, 1, pf1bit);
  b1.GetCanvas()->GetBrush()->SetColor(clBlack);
  b1.GetCanvas()->FillRect(Rect(0, 0, 10, 1));
  b1.GetCanvas()->SetPixel(1, 0, clWhite);
  b1.GetCanvas()->SetPixel(8, 0, clWhite);
  EXPECT_EQ(b1.ScanLine(0)[0], 0x40);
  EXPECT_EQ(b1.ScanLine(0)[1], 0x80);  // padding bits stay zero
  // 4 bit: even pixels in the high nibble.
  TBitmap b4(3, 1, pf4bit);
  b4.GetCanvas()->SetPixel(0, 0, clRed);   // index 9
  b4.GetCanvas()->SetPixel(1, 0, clNavy);  // index 4
  EXPECT_EQ(b4.ScanLine(0)[0], 0x94);
  // 15 bit x-5-5-5 and 16 bit 5-6-5, little-endian.
  TBitmap b15(1, 1, pf15bit);
  b15.GetCanvas()->SetPixel(0, 0, RGB(255, 0, 8));
  EXPECT_EQ(b15.ScanLine(0)[0] | (b15.ScanLine(0)[1] << 8), (31 << 10) | 1);
  TBitmap b16(1, 1, pf16bit);
  b16.GetCanvas()->SetPixel(0, 0, RGB(0, 255, 0));
  EXPECT_EQ(b16.ScanLine(0)[0] | (b16.ScanLine(0)[1] << 8), 63 << 5);
  EXPECT_EQ(b16.GetCanvas()->GetPixel(0, 0), RGB(0, 252, 0));
  // Written bytes read back through the canvas.
  b16.ScanLine(0)[0] = 0xFF;
  b16.ScanLine(0)[1] = 0xFF;
  EXPECT_EQ(b16.GetCanvas()->GetPixel(0, 0), RGB(248, 252, 248));
  b15.ScanLine(0)[0] = 0xFF;
  b15.ScanLine(0)[1] = 0x7F;
  EXPECT_EQ(b15.GetCanvas()->GetPixel(0, 0), RGB(248, 248, 248));
}

TEST(BitmapTest, NewPixelsAreWhiteAndResizeKeepsTheOverlap) {
  for (TPixelFormat f : {pf1bit, pf4bit, pf8bit, pf15bit, pf16bit, pf24bit, pf32bit}) {
    TBitmap b(3, 2, f);
    SCOPED_TRACE(int(f));
    EXPECT_EQ(b.GetCanvas()->GetPixel(2, 1) & 0xF8F8F8, 0xF8F8F8);
    b.GetCanvas()->SetPixel(1, 1, clBlack);
    b.SetSize(5, 4);
    EXPECT_EQ(b.GetCanvas()->GetPixel(1, 1), clBlack);
    EXPECT_EQ(b.GetCanvas()->GetPixel(4, 3) & 0xF8F8F8, 0xF8F8F8);
  }
}

TEST(BitmapTest, ScanLineAddressesStayWhileSizeAndFormatStay) {
  TBitmap a(20, 10, pf24bit), b(20, 10, pf24bit);
  Byte* row = a.ScanLine(5);
  a.SetSize(20, 10);
  a.SetPixelFormat(pf24bit);
  a.GetCanvas()->FillRect(Rect(0, 0, 20, 10));
  a.Assign(&b);
  EXPECT_EQ(a.ScanLine(5), row);
  EXPECT_THROW(a.ScanLine(10), EInvalidGraphic);
  EXPECT_THROW(a.ScanLine(-1), EInvalidGraphic);
}

TEST(BitmapTest, BadSizesAndFormatsRaise) {
  TBitmap b;
  EXPECT_THROW(b.SetSize(-1, 5), EInvalidGraphic);
  EXPECT_THROW(b.SetSize(100000, 100000), EOutOfMemory);
  EXPECT_THROW(b.SetPixelFormat(pfCustom), EInvalidGraphic);
  EXPECT_TRUE(b.GetEmpty());
}

TEST(BitmapTest, ChangeEventAndModified) {
  TBitmap b(4, 4, pf24bit);
  int changes = 0;
  b.OnChange = [&](TObject*) { ++changes; };
  b.SetModified(false);
  b.GetCanvas()->FillRect(Rect(0, 0, 2, 2));
  EXPECT_TRUE(b.GetModified());
  EXPECT_GE(changes, 1);
}

// Fills a bitmap with distinct colours the format can hold exactly.
void FillPattern(TBitmap& b) {
  const auto pal = b.GetColorTable();
  for (Integer y = 0; y < b.GetHeight(); ++y)
    for (Integer x = 0; x < b.GetWidth(); ++x) {
      TColor c;
      if (!pal.empty()) c = RGBQuadToColor(pal[(x * 7 + y * 3) % pal.size()]);
      else c = RGB(static_cast<Byte>(x * 40), static_cast<Byte>(y * 64), static_cast<Byte>((x + y) * 24));
      b.GetCanvas()->SetPixel(x, y, c);
    }
}

TEST(BitmapTest, PixelFormatConversionPreservesPixels) {
  struct Case {
    TPixelFormat from, to;
  };
  // Each target holds every colour of its source exactly.
  const Case cases[] = {{pf1bit, pf4bit}, {pf1bit, pf8bit}, {pf4bit, pf8bit}, {pf1bit, pf24bit},
                        {pf8bit, pf24bit}, {pf8bit, pf32bit}, {pf24bit, pf32bit}, {pf15bit, pf24bit},
                        {pf16bit, pf32bit}, {pf4bit, pf24bit}, {pf32bit, pf24bit}, {pf4bit, pf1bit}};
  for (const Case& c : cases) {
    SCOPED_TRACE(testing::Message() << int(c.from) << " -> " << int(c.to));
    TBitmap b(6, 4, c.from);
    if (c.from == pf4bit && c.to == pf1bit) {
      for (Integer y = 0; y < 4; ++y)
        for (Integer x = 0; x < 6; ++x) b.GetCanvas()->SetPixel(x, y, ((x + y) & 1) ? clWhite : clBlack);
    } else {
      FillPattern(b);
    }
    TBitmap before;
    before.Assign(&b);
    b.SetPixelFormat(c.to);
    EXPECT_EQ(b.GetPixelFormat(), c.to);
    for (Integer y = 0; y < 4; ++y)
      for (Integer x = 0; x < 6; ++x) EXPECT_EQ(b.GetCanvas()->GetPixel(x, y), before.GetCanvas()->GetPixel(x, y));
  }
  // Fewer bits: the nearest colour of the new table.
  TBitmap b(1, 1, pf24bit);
  b.GetCanvas()->SetPixel(0, 0, RGB(250, 10, 5));
  b.SetPixelFormat(pf4bit);
  EXPECT_EQ(b.GetCanvas()->GetPixel(0, 0), clRed);
  b.SetPixelFormat(pf15bit);
  EXPECT_EQ(b.GetCanvas()->GetPixel(0, 0), RGB(248, 0, 0));
}

TEST(BitmapTest, AssignAndQImageRoundTrip) {
  TBitmap a(5, 3, pf8bit);
  FillPattern(a);
  TBitmap b;
  b.Assign(&a);
  EXPECT_EQ(b.GetPixelFormat(), pf8bit);
  EXPECT_EQ(b.GetColorTable(), a.GetColorTable());
  for (Integer y = 0; y < 3; ++y)
    EXPECT_EQ(std::memcmp(a.ScanLine(y), b.ScanLine(y), static_cast<std::size_t>(a.RowBytes())), 0);
  const QImage img = a.ToQImage();
  EXPECT_EQ(img.pixel(2, 1) & 0xFFFFFF, static_cast<QRgb>(qRgb(GetRValue(a.GetCanvas()->GetPixel(2, 1)),
                                                                GetGValue(a.GetCanvas()->GetPixel(2, 1)),
                                                                GetBValue(a.GetCanvas()->GetPixel(2, 1))) & 0xFFFFFF));
  TBitmap c;
  c.FromQImage(img);
  EXPECT_EQ(c.GetPixelFormat(), pf24bit);
  for (Integer y = 0; y < 3; ++y)
    for (Integer x = 0; x < 5; ++x) EXPECT_EQ(c.GetCanvas()->GetPixel(x, y), a.GetCanvas()->GetPixel(x, y));
  QImage grey(3, 1, QImage::Format_Grayscale8);
  grey.fill(77);
  c.FromQImage(grey);
  EXPECT_EQ(c.GetPixelFormat(), pf8bit);
  EXPECT_EQ(c.ScanLine(0)[2], 77);
  EXPECT_EQ(c.GetCanvas()->GetPixel(2, 0), RGB(77, 77, 77));
}

TEST(BitmapStreamTest, RoundTripOfEveryFormat) {
  for (TPixelFormat f : {pf1bit, pf4bit, pf8bit, pf15bit, pf16bit, pf24bit, pf32bit}) {
    SCOPED_TRACE(int(f));
    TBitmap a(7, 5, f);
    FillPattern(a);
    if (f == pf8bit) {
      std::vector<TRGBQuad> t = a.GetColorTable();
      t[3] = TRGBQuad{1, 2, 3, 0};  // a table of its own survives
      a.SetColorTable(t);
    }
    TMemoryStream ms;
    ms.WriteBuffer("xy", 2);  // images are read and written at the stream's position
    a.SaveToStream(&ms);
    const Int64 end = ms.GetPosition();
    ms.SetPosition(2);
    TBitmap b;
    b.LoadFromStream(&ms);
    EXPECT_EQ(ms.GetPosition(), end);
    EXPECT_EQ(b.GetPixelFormat(), f);
    EXPECT_EQ(b.GetColorTable(), a.GetColorTable());
    ASSERT_EQ(b.GetWidth(), 7);
    ASSERT_EQ(b.GetHeight(), 5);
    for (Integer y = 0; y < 5; ++y)
      EXPECT_EQ(std::memcmp(a.ScanLine(y), b.ScanLine(y), static_cast<std::size_t>(a.RowBytes())), 0);
  }
}

// A hand-built 2x2 BMP with the given header fields.
std::vector<Byte> SmallBmp(Integer headerSize, Integer width, Integer height, Word bits, DWORD compression,
                           DWORD clrUsed, Integer dataBytes) {
  std::vector<Byte> v;
  auto put = [&](Int64 x, int n) {
    for (int i = 0; i < n; ++i) v.push_back(static_cast<Byte>(x >> (8 * i)));
  };
  const Integer table = bits <= 8 ? (clrUsed ? clrUsed : (1 << bits)) * 4 : 0;
  put(0x4D42, 2);
  put(14 + headerSize + table + dataBytes, 4);
  put(0, 4);
  put(14 + headerSize + table, 4);
  put(headerSize, 4);
  put(width, 4);
  put(height, 4);
  put(1, 2);
  put(bits, 2);
  put(compression, 4);
  v.resize(v.size() + 12, 0);  // image size, resolution
  put(clrUsed, 4);
  put(0, 4);
  v.resize(v.size() + static_cast<std::size_t>(table + dataBytes), 0x55);
  return v;
}

TEST(BitmapStreamTest, BadImagesRaiseAndLeaveTheBitmap) {
  struct Case {
    const char* fault;
    std::vector<Byte> bytes;
  };
  std::vector<Byte> badMagic = SmallBmp(40, 2, 2, 24, 0, 0, 16);
  badMagic[0] = 'X';
  std::vector<Byte> truncated = SmallBmp(40, 2, 2, 24, 0, 0, 16);
  truncated.resize(truncated.size() - 3);
  const Case cases[] = {
      {"no BM signature", badMagic},
      {"pixel data cut short", truncated},
      {"header cut short", std::vector<Byte>(badMagic.begin(), badMagic.begin() + 20)},
      {"huge size claimed by a tiny file", SmallBmp(40, 100000, 100000, 24, 0, 0, 16)},
      // The row size times the height once overflowed 64 bits.
      {"size at the integer limits", SmallBmp(40, INT32_MAX, INT32_MIN, 32, 0, 0, 16)},
      {"width zero", SmallBmp(40, 0, 2, 24, 0, 0, 16)},
      {"colour table longer than the format allows", SmallBmp(40, 2, 2, 8, 0, 300, 8)},
      {"run-length compression", SmallBmp(40, 2, 2, 8, 1, 0, 8)},
      {"unknown bit count", SmallBmp(40, 2, 2, 7, 0, 0, 8)},
      {"unknown header size", SmallBmp(20, 2, 2, 24, 0, 0, 16)},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.fault);
    TBitmap b(3, 3, pf8bit);
    TMemoryStream ms;
    ms.WriteBuffer(c.bytes.data(), static_cast<Int64>(c.bytes.size()));
    ms.SetPosition(0);
    EXPECT_THROW(b.LoadFromStream(&ms), EInvalidGraphic);
    EXPECT_EQ(b.GetWidth(), 3);
    EXPECT_EQ(b.GetPixelFormat(), pf8bit);
  }
  // A well-formed file of the same kind loads: top-down rows.
  const std::vector<Byte> good = SmallBmp(40, 2, -2, 24, 0, 0, 16);
  TMemoryStream ms;
  ms.WriteBuffer(good.data(), static_cast<Int64>(good.size()));
  ms.SetPosition(0);
  TBitmap b;
  b.LoadFromStream(&ms);
  EXPECT_EQ(b.GetHeight(), 2);
  EXPECT_EQ(b.GetCanvas()->GetPixel(1, 1), RGB(0x55, 0x55, 0x55));
}

class OtherGraphic : public TGraphic {
 public:
  Integer GetWidth() const override { return 1; }
  Integer GetHeight() const override { return 1; }
  void SetWidth(Integer) override {}
  void SetHeight(Integer) override {}
  bool GetEmpty() const override { return false; }
  void Draw(TCanvas*, const TRect&) override {}
  std::unique_ptr<TGraphic> Clone() const override { return std::make_unique<OtherGraphic>(); }
  void LoadFromStream(TStream*) override {}
  void SaveToStream(TStream*) override {}
};

TEST(PictureTest, RegistryAndBitmapAccess) {
  EXPECT_TRUE(TPicture::FindFileFormat("BMP"));
  EXPECT_FALSE(TPicture::FindFileFormat("xyz"));
  TPicture::RegisterFileFormat<OtherGraphic>(".XyZ", "Other pictures");
  auto f = TPicture::FindFileFormat("xyz");
  ASSERT_TRUE(f);
  EXPECT_NE(dynamic_cast<OtherGraphic*>(f().get()), nullptr);
  TPicture::UnregisterGraphicClass<OtherGraphic>();
  EXPECT_FALSE(TPicture::FindFileFormat("xyz"));

  TPicture pic;
  int changes = 0;
  pic.OnChange = [&](TObject*) { ++changes; };
  OtherGraphic other;
  pic.SetGraphic(&other);
  EXPECT_NE(dynamic_cast<OtherGraphic*>(pic.GetGraphic()), nullptr);
  TBitmap* b = pic.GetBitmap();  // replaces the other graphic
  ASSERT_NE(b, nullptr);
  EXPECT_EQ(pic.GetGraphic(), b);
  b->SetSize(3, 2);
  EXPECT_EQ(pic.GetWidth(), 3);
  EXPECT_GE(changes, 3);
  TPicture copy;
  copy.Assign(&pic);
  EXPECT_EQ(copy.GetHeight(), 2);
  EXPECT_NE(copy.GetGraphic(), pic.GetGraphic());
  copy.Assign(static_cast<TPersistent*>(nullptr));
  EXPECT_EQ(copy.GetGraphic(), nullptr);
  TPen pen;
  EXPECT_THROW(copy.Assign(&pen), EConvertError);
}

// A graphic whose stream form fails half-way.
class FailingGraphic : public OtherGraphic {
 public:
  void SaveToStream(TStream* s) override {
    s->WriteBuffer("partial", 7);
    throw EWriteError("Stream write error");
  }
};

TEST(PictureTest, FilesByExtensionAndSafeSaves) {
  const String dir = GetTempFolder();
  const String name = dir + "graphics_test_" + IntToStr(::getpid()) + ".BMP";
  TBitmap b(4, 3, pf24bit);
  b.GetCanvas()->SetPixel(2, 1, clRed);
  b.SaveToFile(name);
  TPicture pic;
  pic.LoadFromFile(name);  // class chosen by the extension, any case
  ASSERT_NE(dynamic_cast<TBitmap*>(pic.GetGraphic()), nullptr);
  EXPECT_EQ(pic.GetBitmap()->GetCanvas()->GetPixel(2, 1), clRed);
  EXPECT_THROW(pic.LoadFromFile(dir + "picture.unknownext"), EInvalidGraphic);
  EXPECT_NE(pic.GetGraphic(), nullptr);
  EXPECT_THROW(pic.LoadFromFile(dir + "graphics_test_missing.bmp"), EFOpenError);
  // A failed save keeps the file that was there and leaves no temporary file.
  const Int64 size = FileSizeOf(name);
  FailingGraphic failing;
  EXPECT_THROW(failing.SaveToFile(name), EWriteError);
  EXPECT_EQ(FileSizeOf(name), size);
  TSearchRec sr;
  int found = 0;
  if (FindFirst(name + ".*", faAnyFile, sr) == 0) {
    do ++found;
    while (FindNext(sr) == 0);
    FindClose(sr);
  }
  EXPECT_EQ(found, 0);
  DeleteFile(name);
}

}  // namespace
