// Pages of TIFF, GIF and DCX files through the one set of page operations:
// counting, inserting, replacing, deleting and extracting.
#include <gtest/gtest.h>

#include "core/lkbitmap.h"
#include "io/lkmultipage.h"
#include "io/lumerakio.h"
#include "tests/io/io_kit.h"

using namespace iokit;

namespace {

void Plain(TLumerakIO& IO, Integer W, Integer H, Byte Grey) {
  IO.GetLKBitmap()->Allocate(W, H, lk24RGB);
  IO.GetLKBitmap()->Fill(Grey);
}

// Width of page Index as the format's loader reads it.
Integer PageWidth(const String& File, Integer Type, Integer Index) {
  TLumerakIO io;
  io.GetIOParams()->SetImageIndex(Index);
  io.LoadFromFileFormat(File, Type);
  return io.GetAborted() ? -1 : io.GetLKBitmap()->GetWidth();
}

TEST(MultiPage, TiffInsertReplaceDeleteAndExtract) {
  TempDir dir;
  const String file = dir.File("pages.tif");
  TLumerakIO io;
  Plain(io, 10, 4, 0);
  io.SaveToFileTIFF(file);
  for (Integer i = 1; i < 5; ++i) {
    Plain(io, 10 + i, 4, Byte(i * 40));
    io.GetIOParams()->TIFF_IMAGEINDEX = i;
    EXPECT_EQ(io.InsertToFileTIFF(file), i + 1);
  }
  EXPECT_EQ(EnumTIFFIm(file), 5);
  // Replacing page 2 keeps five pages with the new picture third.
  Plain(io, 30, 4, 99);
  io.GetIOParams()->TIFF_IMAGEINDEX = 2;
  EXPECT_EQ(io.ReplaceFileTIFF(file), 5);
  EXPECT_EQ(PageWidth(file, lkftTIFF, 2), 30);
  EXPECT_EQ(PageWidth(file, lkftTIFF, 3), 13);
  EXPECT_EQ(LKGetFileFramesCount(file), 5);
  // Extract page 3 as a file of its own; delete two pages in one go.
  const String one = dir.File("one.tif");
  EXPECT_TRUE(ExtractTIFFImageFile(file, one, 3));
  EXPECT_EQ(EnumTIFFIm(one), 1);
  EXPECT_EQ(PageWidth(one, lkftTIFF, 0), 13);
  EXPECT_EQ(DeleteTIFFImGroup(file, {0, 4}), 3);
  EXPECT_EQ(PageWidth(file, lkftTIFF, 0), 11);
  EXPECT_EQ(DeleteTIFFIm(file, 0), 2);
  // A file that is no TIFF is left alone and the insert fails.
  const String text = dir.File("note.tif");
  WriteAll(text, "not a picture at all");
  EXPECT_EQ(io.InsertToFileTIFF(text), 0);
  EXPECT_TRUE(io.GetAborted());
  EXPECT_EQ(ReadAll(text), "not a picture at all");
}

TEST(MultiPage, GifInsertGrowsTheScreenAndLoops) {
  TempDir dir;
  const String file = dir.File("anim.gif");
  TLumerakIO io;
  Plain(io, 320, 240, 200);
  io.SaveToFileGIF(file);
  EXPECT_FALSE(CheckAniGIF(file));
  Plain(io, 300, 200, 50);
  TIOParamsVals& p = *io.GetIOParams();
  p.GIF_XPOS = 50;
  p.GIF_YPOS = 0;
  p.GIF_WINWIDTH = p.GIF_WINHEIGHT = 0;
  p.GIF_IMAGEINDEX = 1;
  EXPECT_EQ(io.InsertToFileGIF(file), 2);
  EXPECT_EQ(p.GIF_WINWIDTH, 350);
  EXPECT_EQ(p.GIF_WINHEIGHT, 200);
  EXPECT_TRUE(CheckAniGIF(file));
  EXPECT_EQ(EnumGIFIm(file), 2);
  EXPECT_EQ(LKGetFileFramesCount(file), 2);
  TLumerakIO in;
  in.GetIOParams()->SetImageIndex(0);
  in.LoadFromFileGIF(file);
  EXPECT_EQ(in.GetIOParams()->GIF_WINWIDTH, 350);
  EXPECT_EQ(in.GetIOParams()->GIF_WINHEIGHT, 240);
  EXPECT_EQ(DeleteGIFIm(file, 0), 1);
  EXPECT_EQ(EnumGIFIm(file), 1);
  EXPECT_EQ(EnumGIFIm(dir.File("missing.gif")), 0);
  EXPECT_FALSE(CheckAniGIF(dir.File("missing.gif")));
}

TEST(MultiPage, DcxPagesAndFrameCounts) {
  TempDir dir;
  const String file = dir.File("pages.dcx");
  TLumerakIO io;
  Plain(io, 8, 3, 10);
  io.SaveToFileDCX(file);
  for (Integer i = 1; i < 3; ++i) {
    Plain(io, 8 + i, 3, 10);
    io.GetIOParams()->DCX_IMAGEINDEX = 0;  // each new page goes first
    io.InsertToFileDCX(file);
    EXPECT_FALSE(io.GetAborted());
  }
  EXPECT_EQ(EnumDCXIm(file), 3);
  EXPECT_EQ(LKGetFileFramesCount(file), 3);
  EXPECT_EQ(PageWidth(file, lkftDCX, 0), 10);
  EXPECT_EQ(PageWidth(file, lkftDCX, 2), 8);
  EXPECT_EQ(DeleteDCXIm(file, 1), 2);
  EXPECT_EQ(PageWidth(file, lkftDCX, 1), 8);
  // Frame counts of formats of one picture and of unregistered names.
  const String jpg = dir.File("one.jpg");
  io.SaveToFileJpeg(jpg);
  EXPECT_EQ(LKGetFileFramesCount(jpg), 1);
  // No media-file layer here: video names and unregistered extensions
  // count no frames, whether or not the file exists.
  for (const char* name : {"clip.zzq", "clip.avi", "clip.mpg"}) EXPECT_EQ(LKGetFileFramesCount(dir.File(name)), 0) << name;
  WriteAll(dir.File("real.avi"), "RIFF\x10\0\0\0AVI LIST");
  EXPECT_EQ(LKGetFileFramesCount(dir.File("real.avi")), 0);
}

}  // namespace
