#include <gtest/gtest.h>

#include <cstring>
#include <functional>
#include <vector>

#include "io/lkparams.h"

namespace {

// A stand-in for the I/O component: a bitmap size and a view that records
// the resolutions it is told.
class FakeOwner : public TIOParamsOwner {
 public:
  bool HasBitmap = true;
  Integer W = 640, H = 480;
  std::vector<Integer> ViewDPIX, ViewDPIY;
  bool GetParamsBitmapSize(Integer& Width, Integer& Height) override {
    if (!HasBitmap) return false;
    Width = W;
    Height = H;
    return true;
  }
  void ParamsDPIXChanged(Integer V) override { ViewDPIX.push_back(V); }
  void ParamsDPIYChanged(Integer V) override { ViewDPIY.push_back(V); }
};

TEST(TIOParamsValsTest, RecordWithoutOwnerHasNoSizeOrResolution) {
  TIOParamsVals p;
  EXPECT_EQ(p.OwnerIO, nullptr);
  EXPECT_EQ(p.DPIX, 0);
  EXPECT_EQ(p.DPIY, 0);
  EXPECT_EQ(p.WIDTH, 0);
  EXPECT_EQ(p.HEIGHT, 0);
  EXPECT_EQ(p.EXIF_XRESOLUTION, 0.0);
  EXPECT_EQ(p.TIFF_ORIENTATION, 1);
  EXPECT_EQ(p.EXIF_ORIENTATION, 0);
  EXPECT_EQ(p.GIF_Disposal, ioGIF_DrawBackground);
  EXPECT_EQ(p.ICO_PageSizes[0].cx, 64);
  EXPECT_EQ(p.ICO_PageSizes[0].cy, 64);
  EXPECT_EQ(p.ICO_PageBitCounts[0], 8);
  EXPECT_EQ(p.ICO_PageSizes[1].cx, 0);
  EXPECT_EQ(p.BMPRAW_RowAlignBits, 8);
  EXPECT_EQ(p.EXIF_EXPOSUREMODE, -1);
  EXPECT_EQ(p.EXIF_DIGITALZOOMRATIO, -1.0);
  EXPECT_FALSE(p.InputICC);
  EXPECT_FALSE(p.OutputICC);
  p.SetDpiX(72);  // no owner: nobody to tell
  EXPECT_EQ(p.EXIF_XRESOLUTION, 72.0);
}

TEST(TIOParamsValsTest, OwnerGivesBitmapSizeAndDefaultResolution) {
  FakeOwner owner;
  TIOParamsVals p(&owner);
  EXPECT_EQ(p.WIDTH, 640);
  EXPECT_EQ(p.HEIGHT, 480);
  EXPECT_EQ(p.DPIX, 300);
  EXPECT_EQ(p.DPIY, 300);
  // The EXIF reset comes after the resolution, so the EXIF values are 0.
  EXPECT_EQ(p.EXIF_XRESOLUTION, 0.0);
  EXPECT_EQ(p.EXIF_YRESOLUTION, 0.0);
  EXPECT_EQ(owner.ViewDPIX, std::vector<Integer>{300});
  EXPECT_EQ(owner.ViewDPIY, std::vector<Integer>{300});

  FakeOwner noBitmap;
  noBitmap.HasBitmap = false;
  TIOParamsVals q(&noBitmap);
  EXPECT_EQ(q.WIDTH, 0);
  EXPECT_EQ(q.DPIX, 300);
}

TEST(TIOParamsValsTest, SettersKeepFieldsInStep) {
  FakeOwner owner;
  TIOParamsVals p(&owner);
  p.SetEXIF_XResolution(299.9);
  EXPECT_EQ(p.DPIX, 299);
  EXPECT_EQ(p.EXIF_XRESOLUTION, 299.0);
  EXPECT_EQ(owner.ViewDPIX.back(), 299);
  p.SetEXIF_YResolution(1e300);  // clamped, never undefined
  EXPECT_EQ(p.DPIY, 2147483647);
  p.SetDpi(96);
  EXPECT_EQ(p.DPIX, 96);
  EXPECT_EQ(p.DPIY, 96);

  p.SetImageIndex(4);
  for (Integer v : {p.IMAGEINDEX, p.TIFF_IMAGEINDEX, p.DCX_IMAGEINDEX, p.GIF_IMAGEINDEX, p.ICO_IMAGEINDEX,
                    p.CUR_IMAGEINDEX})
    EXPECT_EQ(v, 4);
  p.SetImageCount(9);
  for (Integer v : {p.IMAGECOUNT, p.TIFF_IMAGECOUNT, p.AVI_FrameCount, p.GIF_IMAGECOUNT, p.MEDIAFILE_FRAMECOUNT})
    EXPECT_EQ(v, 9);

  p.SetRAW_GetExifThumbnail(true);
  EXPECT_FALSE(p.GETTHUMBNAIL);
  p.SetJPEG_GetExifThumbnail(true);
  EXPECT_TRUE(p.GETTHUMBNAIL);
  p.SetGetThumbnail(false);
  EXPECT_FALSE(p.JPEG_GETEXIFTHUMBNAIL);
  EXPECT_FALSE(p.RAW_GETEXIFTHUMBNAIL);

  p.SetTIFF_Orientation(6);
  EXPECT_EQ(p.EXIF_ORIENTATION, 6);
  p.SetEXIF_Orientation(3);
  EXPECT_EQ(p.TIFF_ORIENTATION, 3);
}

TEST(TIOParamsValsTest, SetDefaultParamsAgainKeepsWarningsAndMediaCounts) {
  TIOParamsVals p;
  p.CUR_XHOTSPOT = 5;
  p.CUR_YHOTSPOT = 6;
  p.MEDIAFILE_FRAMECOUNT = 12;
  p.MEDIAFILE_FRAMEDELAYTIME = 40;
  p.JPEG_WARNINGTOT = 3;
  p.JPEG_Markers.AddMarker(0xE0, "x", 1);
  p.SetColorMapCount(4);
  p.SetDefaultParams();
  EXPECT_EQ(p.CUR_XHOTSPOT, 0);
  EXPECT_EQ(p.CUR_YHOTSPOT, 0);
  EXPECT_EQ(p.MEDIAFILE_FRAMECOUNT, 12);
  EXPECT_EQ(p.MEDIAFILE_FRAMEDELAYTIME, 40);
  EXPECT_EQ(p.JPEG_WARNINGTOT, 3);
  EXPECT_EQ(p.JPEG_Markers.GetCount(), 0);
  EXPECT_EQ(p.COLORMAPCOUNT, 0);
  EXPECT_TRUE(p.ColorMap.empty());
}

TEST(TIOParamsValsTest, ResetInfoForgetsMetadataAndKeepsOptions) {
  TIOParamsVals p;
  p.JPEG_QUALITY = 55;
  p.IPTC_Records.AddStringItem(2, 5, "t");
  p.JPEG_Markers.AddMarker(0xE0, "j", 1);
  p.GIF_CommentLines.Add("c");
  p.PNG_TextKeywords.Add("k");
  p.PNG_TextStrings.Add("s");
  p.PXM_CommentLines.Add("p");
  p.TIFF_DOCUMENTNAME = p.TIFF_IMAGEDESCRIPTION = p.TIFF_PAGENAME = "tiff";
  p.TGA_DESCRIPTOR = p.TGA_AUTHOR = p.TGA_IMAGENAME = "tga";
  p.XMP_INFO = "<x/>";
  p.EXIF_MAKE = "Maker";
  p.EXIF_HASEXIF = true;
  p.GetInputICC()->LoadFromBuffer("icc", 3);
  p.GetOutputICC();
  p.ResetInfo();
  EXPECT_EQ(p.JPEG_QUALITY, 55);
  EXPECT_EQ(p.IPTC_Records.GetCount(), 0);
  EXPECT_EQ(p.JPEG_Markers.GetCount(), 0);
  EXPECT_EQ(p.GIF_CommentLines.GetCount() + p.PNG_TextKeywords.GetCount() + p.PNG_TextStrings.GetCount() +
                p.PXM_CommentLines.GetCount(),
            0);
  EXPECT_EQ(p.TIFF_DOCUMENTNAME + p.TIFF_IMAGEDESCRIPTION + p.TIFF_PAGENAME, "");
  EXPECT_EQ(p.TGA_DESCRIPTOR + p.TGA_AUTHOR + p.TGA_IMAGENAME, "");
  EXPECT_EQ(p.XMP_INFO, "");
  EXPECT_EQ(p.EXIF_MAKE, "");
  EXPECT_FALSE(p.EXIF_HASEXIF);
  EXPECT_FALSE(p.InputICC);
  ASSERT_TRUE(p.OutputICC);
  EXPECT_TRUE(p.OutputICC->IsSRGB());
}

TEST(TIOParamsValsTest, ResetEXIFDropsOnlyTheFirstExifApp1) {
  TIOParamsVals p;
  const char exif[] = "Exif\0\0II*";
  const char xmp[] = "http://ns.example/xap/1.0/";
  p.JPEG_Markers.AddMarker(0xE1, xmp, sizeof xmp);
  p.JPEG_Markers.AddMarker(0xE1, exif, sizeof exif);
  p.JPEG_Markers.AddMarker(0xE1, exif, sizeof exif);
  p.GetEXIF_ThumbnailImage()->Allocate(4, 4, lk24RGB);
  p.ResetEXIF();
  ASSERT_EQ(p.JPEG_Markers.GetCount(), 2);
  EXPECT_EQ(std::memcmp(p.JPEG_Markers.GetMarkerData(0), xmp, sizeof xmp), 0);
  EXPECT_EQ(std::memcmp(p.JPEG_Markers.GetMarkerData(1), exif, 5), 0);
  EXPECT_FALSE(p.EXIF_ThumbnailImage);
}

TEST(TIOParamsValsTest, AssignCopiesDeeplyThroughTheSetters) {
  FakeOwner owner;
  TIOParamsVals src;
  src.TIFF_IMAGEINDEX = 3;
  src.GIF_IMAGEINDEX = 2;
  src.CUR_IMAGEINDEX = 0;
  src.DPIX = 150;
  src.DPIY = 75;
  src.JPEG_QUALITY = 33;
  src.JPEG_WARNINGTOT = 7;
  src.MEDIAFILE_FRAMECOUNT = 8;
  src.TIFF_ORIENTATION = 6;
  src.EXIF_MAKE = "Maker";
  src.EXIF_XPTitle = u"Title";
  src.JPEG_Markers.AddMarker(0xE0, "jfif", 4);
  src.IPTC_Records.AddStringItem(2, 5, "t");
  src.PNG_TextKeywords.Add("k");
  src.SetColorMapCount(2);
  src.ColorMap[1] = TRGB{1, 2, 3};
  src.GetInputICC()->LoadFromBuffer("abc", 3);
  src.ICO_PageSizes[1] = TSize{32, 32};

  TIOParamsVals dst(&owner);
  dst.GetEXIF_ThumbnailImage()->Allocate(8, 8, lk24RGB);
  dst.GetOutputICC();
  dst.MEDIAFILE_FRAMECOUNT = 1;
  dst.Assign(&src);

  EXPECT_EQ(dst.OwnerIO, &owner);
  for (Integer v : {dst.IMAGEINDEX, dst.TIFF_IMAGEINDEX, dst.DCX_IMAGEINDEX, dst.GIF_IMAGEINDEX, dst.ICO_IMAGEINDEX,
                    dst.CUR_IMAGEINDEX})
    EXPECT_EQ(v, 0);
  EXPECT_EQ(dst.DPIX, 150);
  EXPECT_EQ(owner.ViewDPIX.back(), 150);
  EXPECT_EQ(owner.ViewDPIY.back(), 75);
  EXPECT_EQ(dst.JPEG_QUALITY, 33);
  EXPECT_EQ(dst.JPEG_WARNINGTOT, 0);
  EXPECT_EQ(dst.MEDIAFILE_FRAMECOUNT, 1);
  EXPECT_EQ(dst.TIFF_ORIENTATION, 6);
  EXPECT_EQ(dst.EXIF_MAKE, "Maker");
  EXPECT_EQ(dst.EXIF_XPTitle, u"Title");
  EXPECT_EQ(dst.ICO_PageSizes[1].cx, 32);
  ASSERT_EQ(dst.COLORMAPCOUNT, 2);
  EXPECT_EQ(dst.ColorMap[1], (TRGB{1, 2, 3}));
  // Deep copies: changing the source afterwards leaves the target.
  src.JPEG_Markers.Clear();
  src.IPTC_Records.Clear();
  src.PNG_TextKeywords.Clear();
  EXPECT_EQ(dst.JPEG_Markers.GetCount(), 1);
  EXPECT_EQ(dst.IPTC_Records.GetStrings(0), "t");
  EXPECT_EQ(dst.PNG_TextKeywords.GetCount(), 1);
  ASSERT_TRUE(dst.InputICC);
  EXPECT_EQ(dst.InputICC->GetRaw().size(), 3u);
  EXPECT_NE(dst.InputICC.get(), src.InputICC.get());
  // A source without output profile frees the target's; a source without
  // thumbnail leaves the target's own.
  EXPECT_FALSE(dst.OutputICC);
  ASSERT_TRUE(dst.EXIF_ThumbnailImage);
  EXPECT_EQ(dst.EXIF_ThumbnailImage->GetWidth(), 8);

  src.GetEXIF_ThumbnailImage()->Allocate(3, 2, lk24RGB);
  dst.Assign(&src);
  EXPECT_EQ(dst.EXIF_ThumbnailImage->GetWidth(), 3);
  dst.Assign(nullptr);
  dst.Assign(&dst);
  EXPECT_EQ(dst.JPEG_QUALITY, 33);
}

TEST(TIOParamsValsTest, AssignCompressionInfoLeavesDocumentOptions) {
  TIOParamsVals src, dst;
  src.JPEG_QUALITY = 20;
  src.TIFF_COMPRESSION = ioTIFF_LZW;
  src.PS_COMPRESSION = ioPS_JPEG;
  src.PDF_COMPRESSION = ioPDF_LZW;
  src.TIFF_ORIENTATION = 8;
  src.FILENAME = "a.jpg";
  dst.AssignCompressionInfo(&src);
  EXPECT_EQ(dst.JPEG_QUALITY, 20);
  EXPECT_EQ(dst.TIFF_COMPRESSION, ioTIFF_LZW);
  EXPECT_EQ(dst.TIFF_ORIENTATION, 8);
  EXPECT_EQ(dst.EXIF_ORIENTATION, 8);
  EXPECT_EQ(dst.PS_COMPRESSION, ioPS_G4FAX);
  EXPECT_EQ(dst.PDF_COMPRESSION, ioPDF_G4FAX);
  EXPECT_EQ(dst.FILENAME, "");
}

TEST(TIOParamsValsTest, FileTypeText) {
  TIOParamsVals p;
  struct Case {
    Integer type;
    std::function<void(TIOParamsVals&)> set;
    const char* unregistered;
  };
  const Case cases[] = {
      {1, [](TIOParamsVals& x) { x.TIFF_COMPRESSION = ioTIFF_LZW; }, " LZW"},
      {1, [](TIOParamsVals& x) { x.TIFF_COMPRESSION = ioTIFF_UNKNOWN; }, ""},
      {2, [](TIOParamsVals& x) { x.GIF_INTERLACED = true; }, " Interlaced"},
      {3, [](TIOParamsVals& x) { x.JPEG_COLORSPACE = ioJPEG_RGB; }, ""},
      {3, [](TIOParamsVals& x) { x.JPEG_COLORSPACE = ioJPEG_CMYK; }, " CMYK"},
      {4, [](TIOParamsVals& x) { x.PCX_COMPRESSION = ioPCX_UNCOMPRESSED; }, " Uncompressed"},
      {5, [](TIOParamsVals& x) { x.BMP_VERSION = ioBMP_BMOS2V2; }, " OS/2 v.2"},
      {8, [](TIOParamsVals& x) { x.PNG_INTERLACED = false; }, ""},
      {11, [](TIOParamsVals& x) { x.TGA_COMPRESSED = false; }, " Uncompressed"},
      {14, [](TIOParamsVals& x) { x.J2000_COLORSPACE = ioJ2000_YCbCr; }, " YCbCr"},
      {20, [](TIOParamsVals& x) { x.RAW_CAMERA = "Cam X"; }, " (Cam X)"},
      {3, [](TIOParamsVals& x) { x.JPEG_COLORSPACE = static_cast<TIOJPEGColorspace>(200); }, ""},
  };
  for (const Case& c : cases) {
    TIOParamsVals q;
    q.FILETYPE = c.type;
    c.set(q);
    EXPECT_EQ(q.GetFileTypeStr(), c.unregistered) << c.type;
  }

  LKFileTypeLookup = [](Integer type, String& name, String& ext) {
    if (type == 3) {
      name = "JPEG Bitmap";
      ext = "jpg";
      return true;
    }
    if (type == 99) {
      name = String(100, 'n');
      ext = "x";
      return true;
    }
    return false;
  };
  p.FILETYPE = 3;
  EXPECT_EQ(p.GetFileTypeStr(), "JPEG Bitmap (JPG) YCbCr");
  p.FILETYPE = 99;
  EXPECT_EQ(p.GetFileTypeStr(), String(82, 'n') + "X)");
  LKFileTypeLookup = nullptr;
}

}  // namespace
