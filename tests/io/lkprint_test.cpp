// Printing of the I/O component: the placement of the picture on a page,
// the printing filter's road, the page preview, the print-preview settings
// (stored form and keywords) and the print log.
#include <gtest/gtest.h>

#include <cstring>
#include <fstream>
#include <regex>

#include "core/lkbitmap.h"
#include "core/lkioglobals.h"
#include "io/io_kit.h"
#include "io/lkprintparams.h"
#include "io/lumerakio.h"
#include "platform/graphics.h"
#include "platform/printers.h"
#include "platform/sysutils.h"
#include "processing/lkcanvasdraw.h"

namespace {

// The box of pixels that are not white on a 24-bit bitmap (Right and
// Bottom exclusive); empty when all is white.
TRect InkBox(TBitmap& B) {
  TRect r(B.GetWidth(), B.GetHeight(), 0, 0);
  for (Integer y = 0; y < B.GetHeight(); ++y) {
    const Byte* row = B.ScanLine(y);
    for (Integer x = 0; x < B.GetWidth(); ++x)
      if (row[3 * x] != 255 || row[3 * x + 1] != 255 || row[3 * x + 2] != 255) {
        r.Left = std::min(r.Left, x);
        r.Top = std::min(r.Top, y);
        r.Right = std::max(r.Right, x + 1);
        r.Bottom = std::max(r.Bottom, y + 1);
      }
  }
  return r;
}

// A white page of W x H pixels.
std::unique_ptr<TBitmap> Page(Integer W, Integer H) {
  auto b = std::make_unique<TBitmap>(W, H, pf24bit);
  for (Integer y = 0; y < H; ++y) std::memset(b->ScanLine(y), 0xFF, b->RowBytes());
  return b;
}

// A component holding a black W x H picture at Dpi.
void BlackPicture(TLumerakIO& io, Integer W, Integer H, Integer Dpi) {
  io.GetLKBitmap()->Allocate(W, H, lk24RGB);
  for (Integer y = 0; y < H; ++y) std::memset(io.GetLKBitmap()->GetScanLine(y), 0, static_cast<size_t>(W) * 3);
  io.GetIOParams()->DPIX = Dpi;
  io.GetIOParams()->DPIY = Dpi;
}

struct PrintLog {
  iokit::TempDir Dir;
  String Name = Dir.File("print.log");
  PrintLog() { LKSetPrintLogFile(Name); }
  ~PrintLog() { LKSetPrintLogFile(""); }
  String Text() const { return iokit::ReadAll(Name); }
};

}  // namespace

// Placement on a Letter page at 20 dpi (170 x 220 pixels) with 1-inch
// margins: every size mode and the corners and centre of the position grid.
TEST(PrintImageEx, PlacesThePictureByPositionAndSize) {
  struct Row {
    const char* Name;
    TLKSize Size;
    TLKHorizontalPos H;
    TLKVerticalPos V;
    TRect Expected;
  };
  // 1000 x 500 on a 20 dpi canvas: fit gives 6.5 x 3.25 inches = 130 x 65
  // pixels, centred at (1.0, 3.875) inches; normal gives 2.5 x 1.25 inches
  // (the picture's own 400 dpi), 50 x 25 pixels; stretch fills the 130 x 180 pixels inside the margins;
  // specified is 2 x 1 inches.
  const Row rows[] = {
      {"fit centre", lksFITTOPAGE, lkhpCENTER, lkvpCENTER, TRect(20, 77, 150, 142)},
      {"fit top left", lksFITTOPAGE, lkhpLEFT, lkvpTOP, TRect(20, 20, 150, 85)},
      {"fit bottom right", lksFITTOPAGE, lkhpRIGHT, lkvpBOTTOM, TRect(20, 135, 150, 200)},
      {"normal top right", lksNORMAL, lkhpRIGHT, lkvpTOP, TRect(100, 20, 150, 45)},
      {"normal bottom left", lksNORMAL, lkhpLEFT, lkvpBOTTOM, TRect(20, 175, 70, 200)},
      {"stretch", lksFITTOPAGESTRETCH, lkhpCENTER, lkvpCENTER, TRect(20, 20, 150, 200)},
      {"specified centre", lksSPECIFIEDSIZE, lkhpCENTER, lkvpCENTER, TRect(65, 100, 105, 120)},
  };
  for (const Row& row : rows) {
    SCOPED_TRACE(row.Name);
    TLumerakIO io;
    BlackPicture(io, 1000, 500, 400);
    auto page = Page(170, 220);
    io.PrintImageEx(page->GetCanvas(), 20, 20, 8.5, 11, 1, 1, 1, 1, row.V, row.H, row.Size, 2, 1, 1);
    const TRect box = InkBox(*page);
    EXPECT_EQ(box.Left, row.Expected.Left);
    EXPECT_EQ(box.Top, row.Expected.Top);
    EXPECT_EQ(box.Right, row.Expected.Right);
    EXPECT_EQ(box.Bottom, row.Expected.Bottom);
  }
}

// A picture whose resolution is 1 (or unknown) prints at the canvas's
// resolution: 40 x 20 pixels at 20 dpi are 2 x 1 inches, 40 x 20 pixels.
TEST(PrintImageEx, NormalSizeOfAPictureWithoutResolutionUsesTheCanvasDpi) {
  TLumerakIO io;
  BlackPicture(io, 40, 20, 1);
  auto page = Page(170, 220);
  io.PrintImageEx(page->GetCanvas(), 20, 20, 8.5, 11, 1, 1, 1, 1, lkvpTOP, lkhpLEFT, lksNORMAL, 0, 0, 1);
  const TRect box = InkBox(*page);
  EXPECT_EQ(box.Right - box.Left, 40);
  EXPECT_EQ(box.Bottom - box.Top, 20);
}

// The printing filter resamples only when the picture shrinks on the
// device; the log names the road taken, and the line's form is
// "date time : message".
TEST(PrintImagePosEx, UsesTheFilterOnlyWhenShrinking) {
  struct Row {
    Integer DeviceWidthInches;
    TResampleFilter Filter;
    const char* Road;
  };
  const Row rows[] = {
      {1, rfFastLinear, "with subsampling filter"},     // 100 px -> 20 px
      {10, rfFastLinear, "without subsampling filter"},  // 100 px -> 200 px
      {1, rfNone, "without subsampling filter"},         // filter switched off
  };
  for (const Row& row : rows) {
    PrintLog log;
    TLumerakIO io;
    io.SetPrintingFilter(row.Filter);
    BlackPicture(io, 100, 50, 72);
    auto page = Page(300, 300);
    io.PrintImagePosEx(page->GetCanvas(), 20, 20, 0, 0, row.DeviceWidthInches, row.DeviceWidthInches / 2.0, 1);
    const String text = log.Text();
    EXPECT_NE(text.find(String("TLumerakIO.PrintImagePosEx: calling RenderToCanvas ") + row.Road), String::npos);
    EXPECT_TRUE(std::regex_search(text, std::regex(R"(^\S+ \S+ : TLumerakIO.PrintImagePosEx: begin\n)")));
    EXPECT_NE(text.find("TLKBitmap.RenderToCanvas: end"), String::npos);
  }
}

TEST(PrintLog, SettingANameStartsTheFileAnewAndNoNameWritesNothing) {
  iokit::TempDir dir;
  const String name = dir.File("p.log");
  { std::ofstream(name) << "old\n"; }
  TLumerakIO::SetPrintLogFile(name);
  EXPECT_EQ(TLumerakIO::GetPrintLogFile(), name);
  LKPrintLogWrite("one");
  TLumerakIO::SetPrintLogFile("");
  LKPrintLogWrite("two");
  const String text = iokit::ReadAll(name);
  EXPECT_EQ(text.find("old"), String::npos);
  EXPECT_NE(text.find(" : one\n"), String::npos);
  EXPECT_EQ(text.find("two"), String::npos);
  EXPECT_THROW(TLumerakIO::SetPrintLogFile(dir.File("no/such/folder/p.log")), EFCreateError);
  EXPECT_EQ(TLumerakIO::GetPrintLogFile(), "");
}

// The preview is the page scaled into the box, with the picture where the
// printer puts it and the margins framed.
TEST(PreviewPrintImage, ScalesThePageIntoTheBoxAndFramesTheMargins) {
  TPrinter printer;
  printer.SetOutputFileName("/dev/null");
  printer.SetResolution(100);
  printer.SetPaperSizeMM(215.9, 279.4);  // Letter: 850 x 1100 pixels
  ASSERT_EQ(printer.GetPageWidth(), 850);
  TLumerakIO io;
  BlackPicture(io, 1000, 500, 20);
  TBitmap preview;
  io.PreviewPrintImage(&preview, 175, 400, &printer, 1, 1, 1, 1, lkvpCENTER, lkhpCENTER, lksFITTOPAGE, 0, 0, 1);
  // f = 170 / 850 = 0.2: a 170 x 220 page at 20 dpi.
  ASSERT_EQ(preview.GetWidth(), 170);
  ASSERT_EQ(preview.GetHeight(), 220);
  // The picture: 130 x 65 at (20, 77); the dashed frame runs along the
  // margins at x = 20 and y = 20, drawn by inverting what is below.
  const Byte* middle = preview.ScanLine(100);
  EXPECT_EQ(middle[3 * 85], 0);  // inside the picture
  const Byte* frameRow = preview.ScanLine(20);
  Integer frame = 0;
  for (Integer x = 20; x < 150; ++x) frame += frameRow[3 * x] == 0;
  EXPECT_GT(frame, 30);   // dashes
  EXPECT_LT(frame, 130);  // with gaps
  // Above the frame the page is white.
  EXPECT_EQ(preview.ScanLine(10)[3 * 85], 255);
}

TEST(PreviewPrintImage, TooSmallABoxGivesAWhitePreviewWithoutFailing) {
  TPrinter printer;
  printer.SetOutputFileName("/dev/null");
  TLumerakIO io;
  BlackPicture(io, 100, 50, 72);
  TBitmap preview;
  io.PreviewPrintImage(&preview, 5, 5, &printer, 1, 1, 1, 1, lkvpCENTER, lkhpCENTER, lksFITTOPAGE, 0, 0, 1);
  EXPECT_EQ(InkBox(preview).Right, 0);
  io.PreviewPrintImage(&preview, 8, 8, &printer, 1, 1, 1, 1, lkvpCENTER, lkhpCENTER, lksFITTOPAGE, 0, 0, 1);
  EXPECT_GE(preview.GetWidth(), 1);
}

TEST(DoPrintPreviewDialog, RefusesAOnePixelPicture) {
  TLumerakIO io;
  BlackPicture(io, 1, 1, 72);
  EXPECT_FALSE(io.DoPrintPreviewDialog(lkdtDialog, "job", false, "Print"));
}

// ---------------------------------------------------------------------------
// Settings

TEST(PrintPreviewParams, StoredFormRoundTripsEveryFieldIn58Bytes) {
  TIOPrintPreviewParams a;
  a.MarginTop = 0.25;
  a.MarginLeft = 0.5;
  a.MarginRight = 0.75;
  a.MarginBottom = 2.54;
  a.Position = ppBottomRight;
  a.Size = psSpecifiedSize;
  a.Width = 6.5;
  a.Height = -1;
  a.Gamma = 2.2;
  TMemoryStream s;
  a.SaveToStream(&s);
  ASSERT_EQ(s.Size(), 58);
  // Offsets of the form: the position and size bytes sit between the
  // margins and the width.
  const Byte* bytes = static_cast<const Byte*>(s.GetMemory());
  EXPECT_EQ(bytes[32], ppBottomRight);
  EXPECT_EQ(bytes[33], psSpecifiedSize);
  EXPECT_EQ(bytes[7], 0x3F);  // 0.25, little-endian: sign and exponent last
  s.SetPosition(0);
  TIOPrintPreviewParams b;
  ASSERT_TRUE(b.LoadFromStream(&s));
  EXPECT_EQ(b.MarginTop, 0.25);
  EXPECT_EQ(b.MarginLeft, 0.5);
  EXPECT_EQ(b.MarginRight, 0.75);
  EXPECT_EQ(b.MarginBottom, 2.54);
  EXPECT_EQ(b.Position, ppBottomRight);
  EXPECT_EQ(b.Size, psSpecifiedSize);
  EXPECT_EQ(b.Width, 6.5);
  EXPECT_EQ(b.Height, -1);
  EXPECT_EQ(b.Gamma, 2.2);

  iokit::TempDir dir;
  a.SaveToFile(dir.File("p.prn"));
  TIOPrintPreviewParams c;
  ASSERT_TRUE(c.LoadFromFile(dir.File("p.prn")));
  EXPECT_EQ(c.Gamma, 2.2);
  EXPECT_THROW(c.LoadFromFile(dir.File("missing")), EFOpenError);
}

// A short or damaged form is refused as a whole: the settings keep their
// values (a half-read form would mix margins of one use with sizes of
// another, and a position byte past the grid would be stored back).
TEST(PrintPreviewParams, ShortOrDamagedFormsAreRefusedWithTheValuesKept) {
  TIOPrintPreviewParams good;
  good.MarginTop = 0.3;
  TMemoryStream full;
  good.SaveToStream(&full);
  const Byte* src = static_cast<const Byte*>(full.GetMemory());
  struct Row {
    const char* Name;
    size_t Length;
    Integer Offset;  // byte to change, -1 none
    Byte Value;
  };
  const Row rows[] = {
      {"empty", 0, -1, 0},
      {"one byte short", 57, -1, 0},
      {"position past the grid", 58, 32, 9},
      {"size past the list", 58, 33, 4},
      {"gamma not a number", 58, 57, 0x7F},  // with byte 56 below: NaN
  };
  for (const Row& row : rows) {
    SCOPED_TRACE(row.Name);
    std::vector<Byte> data(src, src + row.Length);
    if (row.Offset >= 0) data[row.Offset] = row.Value;
    if (row.Offset == 57) data[56] = 0xF8;
    TIOPrintPreviewParams p;
    p.MarginTop = 7;
    p.Gamma = 3;
    TMemoryStream s;
    if (!data.empty()) s.WriteBuffer(data.data(), static_cast<Int64>(data.size()));
    s.SetPosition(0);
    EXPECT_FALSE(p.LoadFromStream(&s));
    EXPECT_EQ(s.Position(), 0);
    EXPECT_EQ(p.MarginTop, 7);
    EXPECT_EQ(p.Gamma, 3);
    EXPECT_EQ(p.Position, ppCenter);
  }
}

TEST(PrintPreviewParams, KeywordsTakeAnyCaseAndEitherDecimalSeparator) {
  TIOPrintPreviewParams p;
  p.SetProperty("margintop", "0,5");
  EXPECT_EQ(p.MarginTop, 0.5);
  EXPECT_EQ(p.GetProperty("MARGINTOP"), "0.5");
  p.SetProperty("MARGIN\x01LEFT", "1.25\n");
  EXPECT_EQ(p.GetProperty("marginleft"), "1.25");
  p.SetProperty("GAMMA", "abc");
  EXPECT_EQ(p.Gamma, 0);
  p.SetProperty("POSITION", "8");
  EXPECT_EQ(p.Position, ppBottomRight);
  p.SetProperty("SIZE", "3");
  EXPECT_EQ(p.GetProperty("SIZE"), "3");
  // Values outside the enumerations are not stored as such.
  p.SetProperty("SIZE", "-1");
  EXPECT_EQ(p.Size, psNormal);
  p.SetProperty("WIDTH", "-1");
  EXPECT_EQ(p.GetProperty("WIDTH"), "-1");
  p.SetProperty("NOSUCH", "1");
  EXPECT_EQ(p.GetProperty("NOSUCH"), "");
}

// ---------------------------------------------------------------------------
// Drawing on a canvas

TEST(RenderToCanvas, GammaTableOfTheFilteredRoadAndTheUnfilteredRoad) {
  struct Row {
    TResampleFilter Filter;
    double Gamma;
    Byte Expected;
  };
  const Row rows[] = {
      {rfFastLinear, 2.0, 181},  // (128/255)^(1/2) x 255 = 180.66
      {rfFastLinear, -1.0, 128},  // no table at or below 0
      {rfNone, 2.0, 181},
      {rfNone, 1.0, 128},
  };
  for (const Row& row : rows) {
    TLKBitmap grey(8, 8, lk24RGB);
    for (Integer y = 0; y < 8; ++y) std::memset(grey.GetScanLine(y), 128, 24);
    auto page = Page(20, 20);
    grey.RenderToCanvas(page->GetCanvas(), 2, 3, 4, 4, row.Filter, row.Gamma);
    EXPECT_EQ(page->ScanLine(4)[3 * 3], row.Expected);
    const TRect box = InkBox(*page);
    EXPECT_EQ(box.Left, 2);
    EXPECT_EQ(box.Top, 3);
    EXPECT_EQ(box.Right, 6);
    EXPECT_EQ(box.Bottom, 7);
  }
}

TEST(RenderToCanvas, StripHeightIsBoundedAndNeverZero) {
  // 10,000 pixels wide: rows of 30,000 bytes, at most 1,398 rows in 40 MiB.
  EXPECT_EQ(LKPrintStripHeight(10000, 5000, 1 << 30, 32), 1398);
  // A quarter of the memory threshold is smaller: 100 rows.
  EXPECT_EQ(LKPrintStripHeight(10000, 5000, 4 * 30000 * 100, 32), 100);
  // A threshold below one row still moves on, one row at a time.
  EXPECT_EQ(LKPrintStripHeight(10000, 5000, 16, 32), 1);
  EXPECT_EQ(LKPrintStripHeight(100, 7, 1 << 30, 32), 7);
}

TEST(RenderToCanvas, StripsCoverEveryRowOfTheTarget) {
  // A memory threshold of 4 rows of 10 pixels (row length 32 bytes) makes
  // strips of 3 rows: the last strip must still be drawn.
  TLKBitmap bmp(20, 20, lk24RGB);
  for (Integer y = 0; y < 20; ++y) std::memset(bmp.GetScanLine(y), 0, 60);
  bmp.SetMinFileSize(4 * 32 * 3);
  auto page = Page(12, 12);
  bmp.RenderToCanvas(page->GetCanvas(), 1, 1, 10, 10, rfFastLinear, 1);
  const TRect box = InkBox(*page);
  EXPECT_EQ(box.Top, 1);
  EXPECT_EQ(box.Bottom, 11);
  EXPECT_EQ(box.Right, 11);
}

TEST(RenderToCanvas, StripDIBsAreDrawnInPlaceRowsTheRightWayUp) {
  // A 3 x 2 24-bit DIB, pixel (x, y) holding blue x, green y, red 7; the
  // bits are drawn where they are, without copies, so row order and the
  // padding to 4 bytes must be read right.
  auto dib = [](int32_t Height, size_t Cut) {
    std::vector<Byte> d(40 + 2 * 12, 0);
    auto put = [&d](size_t At, uint32_t V) {
      for (int i = 0; i < 4; ++i) d[At + i] = static_cast<Byte>(V >> (8 * i));
    };
    put(0, 40);
    put(4, 3);
    put(8, static_cast<uint32_t>(Height));
    d[12] = 1;
    d[14] = 24;
    for (int y = 0; y < 2; ++y) {
      const int stored = Height > 0 ? 1 - y : y;  // bottom-up unless the height is negative
      for (int x = 0; x < 3; ++x) {
        Byte* p = d.data() + 40 + stored * 12 + x * 3;
        p[0] = static_cast<Byte>(x);
        p[1] = static_cast<Byte>(y);
        p[2] = 7;
      }
    }
    d.resize(d.size() - Cut);
    return d;
  };
  struct Row {
    const char* Name;
    int32_t Height;
    size_t Cut;
    bool Drawn;
  };
  const Row rows[] = {
      {"bottom-up", 2, 0, true},
      {"top-down", -2, 0, true},
      {"bits cut short", 2, 5, false},  // refused, never read past the end
  };
  for (const Row& r : rows) {
    auto page = Page(3, 2);
    _DIBDrawTo(page->GetCanvas(), dib(r.Height, r.Cut), 0, 0, 3, 2, 0, 0, 3, 2);
    for (int y = 0; y < 2; ++y)
      for (int x = 0; x < 3; ++x) {
        const Byte* p = page->ScanLine(y) + 3 * x;
        if (r.Drawn) {
          EXPECT_EQ(p[0], x) << r.Name;
          EXPECT_EQ(p[1], y) << r.Name;
          EXPECT_EQ(p[2], 7) << r.Name;
        } else {
          EXPECT_EQ(p[2], 0xFF) << r.Name;
        }
      }
  }
}
