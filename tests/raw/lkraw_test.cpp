// The camera RAW reader, its probe and the Canon CIFF helpers, over whole
// files of the fixture kit.
#include "raw/lkraw.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <atomic>
#include <cstring>
#include <vector>

#include "core/lkabort.h"
#include "core/lkbitmap.h"
#include "io/lkparams.h"
#include "processing/lkadjustcolors.h"
#include "raw/kit/identfiles.h"
#include "raw/rawfiles.h"

using rawfiles::Bytes;
using rawfiles::IsMark;
using rawfiles::Mark;
using rawfiles::SamePixels;
using rawfiles::ByteWriter;

namespace {

// One read with its own abort flag and a log of the progress reports.
struct Read {
  TLKBitmap bitmap;
  TIOParamsVals params;
  std::atomic<bool> aborted{false};
  std::vector<Integer> progress;
  TLKAbortNote note;

  void Run(const Bytes& file, bool paramsOnly = false) {
    auto s = rawfiles::Stream(file);
    TProgressRec rec;
    rec.AbortFlag = &aborted;
    rec.AbortNote = &note;
    rec.OnProgress = [this](TObject*, Integer p) { progress.push_back(p); };
    LKReadCameraRAWStream(*s, bitmap, params, rec, paramsOnly);
  }
};

}  // namespace

// ------------------------------------------------------------------ probe

TEST(RawReaderTest, ProbeAcceptsKitFilesAndKeepsThePosition) {
  for (const auto& f : rawfiles::Kit()) {
    SCOPED_TRACE(f.name);
    auto s = rawfiles::Stream(f.bytes);
    s->Seek(5, soBeginning);
    EXPECT_TRUE(LKRAWTryStream(*s));
    EXPECT_EQ(s->GetPosition(), 5);
  }
}

TEST(RawReaderTest, ProbeRejectsOtherFilesAndKeepsThePosition) {
  const struct {
    const char* name;
    Bytes bytes;
  } cases[] = {
      {"empty", {}},
      {"jpeg", rawfiles::Jpeg(16, 16)},
      {"unknown size", rawkit::sensor_dump(5000)},
      // A colour-filter sensor that demosaicing would leave without pixels.
      {"mosaic two cells wide", rawfiles::NikonTiff(48, 2)},
      {"mosaic two rows high", rawfiles::NikonTiff(2, 64)},
      {"tiff without camera", [] {
         rawkit::TiffBuilder t(true);
         rawkit::TiffIfd ifd;
         ifd.add_long(256, 10).add_long(257, 10);
         t.ifds = {ifd};
         ByteWriter w(true);
         t.write(w);
         w.pad_to(1024);
         return w.bytes();
       }()},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.name);
    auto s = rawfiles::Stream(c.bytes);
    s->Seek(c.bytes.size() / 2, soBeginning);
    EXPECT_FALSE(LKRAWTryStream(*s));
    EXPECT_EQ(s->GetPosition(), Int64(c.bytes.size() / 2));
  }
}

// ----------------------------------------------------------------- reader

TEST(RawReaderTest, UnidentifiedFileSetsAbortAndTouchesNothing) {
  for (bool paramsOnly : {false, true}) {
    Read r;
    Mark(r.bitmap);
    r.params.WIDTH = 77;
    r.params.HEIGHT = 88;
    ASSERT_NO_THROW(r.Run(rawfiles::Jpeg(20, 10), paramsOnly));
    EXPECT_TRUE(r.aborted.load());
    EXPECT_TRUE(IsMark(r.bitmap));
    EXPECT_EQ(r.params.WIDTH, 77);
    EXPECT_EQ(r.params.HEIGHT, 88);
    EXPECT_EQ(r.params.RAW_CAMERA, "");
  }
}

// Parameters only: camera name, default resolution and the size the
// development would give; nothing developed, the bitmap untouched.
TEST(RawReaderTest, ParamsOnlyFillsCameraResolutionAndSize) {
  struct Case {
    const char* name;
    Bytes file;
    bool halfSize;
    const char* camera;
    Integer width, height;
  };
  const Case cases[] = {
      {"nucore", rawfiles::Nucore(48, 64), false, "Nucore RAW ", 62, 46},
      {"nucore odd", rawfiles::Nucore(29, 37), false, "Nucore RAW ", 35, 27},
      // Half size keeps every cell of the shrunk picture: no demosaic border.
      {"nucore half size", rawfiles::Nucore(48, 64), true, "Nucore RAW ", 32, 24},
      {"nucore odd half size", rawfiles::Nucore(29, 37), true, "Nucore RAW ", 19, 15},
      {"canon ciff", rawfiles::CanonCiff(48, 64, true), false, "Canon PowerShot Test ", -1, -1},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    Read r;
    Mark(r.bitmap);
    r.params.RAW_HALFSIZE = c.halfSize;
    r.params.SetDpiX(17);
    r.params.SetColorMapCount(4);
    r.Run(c.file, true);
    ASSERT_FALSE(r.aborted.load());
    EXPECT_TRUE(IsMark(r.bitmap));
    EXPECT_EQ(r.params.RAW_CAMERA, c.camera);
    EXPECT_EQ(r.params.DPIX, gDefaultDPIX);
    EXPECT_EQ(r.params.DPIY, gDefaultDPIY);
    EXPECT_EQ(r.params.COLORMAPCOUNT, 0);
    if (c.width >= 0) {
      EXPECT_EQ(r.params.WIDTH, c.width);
      EXPECT_EQ(r.params.HEIGHT, c.height);
    }
    // The full development gives a picture of the size announced.
    Read full;
    full.params.RAW_HALFSIZE = c.halfSize;
    full.Run(c.file);
    ASSERT_FALSE(full.aborted.load());
    EXPECT_EQ(full.bitmap.GetWidth(), r.params.WIDTH);
    EXPECT_EQ(full.bitmap.GetHeight(), r.params.HEIGHT);
    EXPECT_EQ(full.params.WIDTH, r.params.WIDTH);
    EXPECT_EQ(full.params.HEIGHT, r.params.HEIGHT);
  }
}

TEST(RawReaderTest, DevelopsKitFilesAt24And48Bits) {
  for (const auto& f : rawfiles::Kit()) {
    SCOPED_TRACE(f.name);
    Read r24, r48;
    r48.params.ISNATIVEPIXELFORMAT = true;
    r24.Run(f.bytes);
    r48.Run(f.bytes);
    ASSERT_FALSE(r24.aborted.load());
    ASSERT_FALSE(r48.aborted.load());
    EXPECT_EQ(r24.bitmap.GetPixelFormat(), lk24RGB);
    EXPECT_EQ(r48.bitmap.GetPixelFormat(), lk48RGB);
    EXPECT_FALSE(r24.bitmap.IsEmpty());
    EXPECT_EQ(r24.bitmap.GetWidth(), r48.bitmap.GetWidth());
    EXPECT_EQ(r24.bitmap.GetHeight(), r48.bitmap.GetHeight());
    EXPECT_EQ(r24.params.BITSPERSAMPLE, 8);
    EXPECT_EQ(r48.params.BITSPERSAMPLE, 16);
    EXPECT_EQ(r24.params.SAMPLESPERPIXEL, 3);
    EXPECT_FALSE(r24.bitmap.IsAllBlack());
  }
}

// A uniform sensor develops to a uniform picture: every stage covers the
// whole picture and no border cell is left undeveloped.
TEST(RawReaderTest, UniformSensorGivesUniformPicture) {
  for (bool quick : {true, false}) {
    SCOPED_TRACE(quick ? "quick" : "gradient refinement");
    Read r;
    r.params.RAW_QUICKINTERPOLATE = quick;
    r.Run(rawfiles::Nucore(20, 30, [](int, int) { return 1000; }));
    ASSERT_FALSE(r.aborted.load());
    ASSERT_EQ(r.bitmap.GetWidth(), 28);
    const TRGB first = r.bitmap.GetPixels_lk24RGB(0, 0);
    EXPECT_GT(first.r + first.g + first.b, 0);
    for (Integer y = 0; y < r.bitmap.GetHeight(); ++y)
      for (Integer x = 0; x < r.bitmap.GetWidth(); ++x) ASSERT_EQ(r.bitmap.GetPixels_lk24RGB(x, y), first) << x << "," << y;
  }
}

TEST(RawReaderTest, QuickInterpolationDiffersFromGradientRefinement) {
  Read quick, full;
  quick.params.RAW_QUICKINTERPOLATE = true;
  full.params.RAW_QUICKINTERPOLATE = false;
  const Bytes file = rawfiles::Nucore(48, 64);
  quick.Run(file);
  full.Run(file);
  ASSERT_EQ(quick.bitmap.GetWidth(), full.bitmap.GetWidth());
  EXPECT_FALSE(SamePixels(quick.bitmap, full.bitmap));
}

TEST(RawReaderTest, ProgressEndsWithTheStagesInOrder) {
  Read r;
  r.Run(rawfiles::Nucore(48, 64));
  ASSERT_GE(r.progress.size(), 5u);
  const std::vector<Integer> tail(r.progress.end() - 4, r.progress.end());
  EXPECT_EQ(tail, (std::vector<Integer>{70, 85, 90, 100}));
  for (size_t i = 0; i + 4 < r.progress.size(); ++i) EXPECT_LE(r.progress[i], 50);
}

// ------------------------------------------------------ thumbnail and colour

TEST(RawReaderTest, ThumbnailRequestGivesTheEmbeddedPicture) {
  // With an embedded thumbnail: the bitmap is the thumbnail, undeveloped.
  Read r;
  r.params.SetRAW_GetExifThumbnail(true);
  r.Run(rawfiles::CanonCiff(48, 64, true));
  ASSERT_FALSE(r.aborted.load());
  EXPECT_EQ(r.bitmap.GetWidth(), 40);
  EXPECT_EQ(r.bitmap.GetHeight(), 30);
  EXPECT_TRUE(r.params.RAW_GETEXIFTHUMBNAIL);
  EXPECT_TRUE(std::find(r.progress.begin(), r.progress.end(), 70) == r.progress.end());
  TLKBitmap expected;
  TMemoryStream js;
  const Bytes jpeg = rawfiles::Jpeg(40, 30, 1);
  js.Write(jpeg.data(), Integer(jpeg.size()));
  js.Seek(0, soBeginning);
  TIOParamsVals jp;
  std::atomic<bool> ja{false};
  TProgressRec jr;
  jr.AbortFlag = &ja;
  ReadJPegStream(&js, nullptr, &expected, jp, jr, false, false, false, false, false, false, -1);
  EXPECT_TRUE(SamePixels(r.bitmap, expected));

  // The first page of a TIFF-based file, read as its EXIF thumbnail.
  Read t;
  t.params.SetRAW_GetExifThumbnail(true);
  t.Run(rawfiles::NikonTiff(48, 64));
  ASSERT_FALSE(t.aborted.load());
  EXPECT_EQ(t.bitmap.GetWidth(), 16);
  EXPECT_EQ(t.bitmap.GetHeight(), 12);
  EXPECT_EQ(t.params.EXIF_MAKE, "NIKON CORPORATION");

  // Without one the file is developed as usual.
  Read d;
  d.params.SetRAW_GetExifThumbnail(true);
  d.Run(rawfiles::Nucore(48, 64));
  ASSERT_FALSE(d.aborted.load());
  EXPECT_EQ(d.bitmap.GetWidth(), 62);
  EXPECT_EQ(d.bitmap.GetHeight(), 46);
  EXPECT_TRUE(d.params.RAW_GETEXIFTHUMBNAIL);
}

// Automatic colour adjustment develops at half brightness and matches the
// picture's histograms to the thumbnail's.
TEST(RawReaderTest, AutoAdjustMatchesColoursToTheThumbnail) {
  for (const Bytes& file : {rawfiles::CanonCiff(48, 64, true), rawfiles::NikonTiff(48, 64)}) {
    Read adjusted;
    adjusted.params.RAW_AUTOADJUSTCOLORS = true;
    adjusted.Run(file);
    ASSERT_FALSE(adjusted.aborted.load());

    Read plain;
    plain.params.RAW_BRIGHT = 0.5;
    plain.Run(file);
    ASSERT_NE(plain.params.EXIF_ThumbnailImage, nullptr);
    EXPECT_FALSE(SamePixels(adjusted.bitmap, plain.bitmap));
    LKAdjustColors(plain.params.EXIF_ThumbnailImage.get(), &plain.bitmap);
    EXPECT_TRUE(SamePixels(adjusted.bitmap, plain.bitmap));

    // A parameters-only read leaves the caller's bitmap alone.
    Read po;
    po.params.RAW_AUTOADJUSTCOLORS = true;
    Mark(po.bitmap);
    po.Run(file, true);
    EXPECT_TRUE(IsMark(po.bitmap));
  }
}

TEST(RawReaderTest, CiffRecordsBecomeExifFields) {
  Read r;
  r.Run(rawfiles::CanonCiff(48, 64, true), true);
  EXPECT_EQ(r.params.EXIF_MAKE, "Canon");
  EXPECT_EQ(r.params.EXIF_MODEL, "Canon PowerShot Test");
  EXPECT_EQ(r.params.EXIF_IMAGEDESCRIPTION, "Test shot");
  ASSERT_NE(r.params.EXIF_ThumbnailImage, nullptr);
  EXPECT_EQ(r.params.EXIF_ThumbnailImage->GetWidth(), 40);
}

// Cut files never crash: they are refused, developed from what is there, or
// raise the decoder's own error.
TEST(RawReaderTest, TruncatedFilesAreSafe) {
  for (const auto& f : rawfiles::Kit()) {
    for (size_t keep : {size_t(0), size_t(13), size_t(100), f.bytes.size() / 3, f.bytes.size() - 1}) {
      SCOPED_TRACE(f.name + " cut to " + std::to_string(keep));
      Bytes cut(f.bytes.begin(), f.bytes.begin() + std::min(keep, f.bytes.size()));
      Read r;
      try {
        r.Run(cut);
      } catch (const Exception& e) {
        EXPECT_EQ(String(e.Message()).substr(0, 2), ": ");
      }
    }
  }
}

// Every failure the reader reports through the abort flag says why: a file
// of no known camera, and kit files cut short.
TEST(RawReaderTest, FailuresCarryTheirReason) {
  Read unknown;
  unknown.Run(rawfiles::Jpeg(20, 10));
  ASSERT_TRUE(unknown.aborted.load());
  EXPECT_EQ(unknown.note.Get().rfind("camera RAW: ", 0), 0u) << unknown.note.Get();
  for (const auto& f : rawfiles::Kit()) {
    for (size_t keep : {size_t(0), size_t(100), f.bytes.size() / 3}) {
      SCOPED_TRACE(f.name + " cut to " + std::to_string(keep));
      Read r;
      try {
        r.Run(Bytes(f.bytes.begin(), f.bytes.begin() + std::min(keep, f.bytes.size())));
      } catch (const Exception&) {
        continue;  // the decoder's own exceptions carry their text
      }
      if (r.aborted.load()) EXPECT_FALSE(r.note.Get().empty());
    }
  }
}

// Files that name a camera but hold no sensor data where they place it: the
// development fails with the flag instead of giving a black picture.
TEST(RawReaderTest, FilesWithoutSensorDataFail) {
  const std::pair<const char*, Bytes> cases[] = {
      {"Canon TIFF, header only", rawkit::canon_tiff_file(true)},
      {"Canon TIFF big-endian, header only", rawkit::canon_tiff_file(false)},
      {"Canon TIFF whose data is text", rawkit::canon_tiff_file(true, 4096, 'x')},
      {"JPEG with the EXIF of a Canon, header only", rawkit::jpeg_exif_file()},
      {"Rollei, header only", rawkit::rollei_file(64, 48)},
  };
  for (const auto& [name, file] : cases) {
    SCOPED_TRACE(name);
    Read r;
    try {
      r.Run(file);
    } catch (const Exception&) {
      continue;  // a refusal by raising is a failure too
    }
    EXPECT_TRUE(r.aborted.load());
  }
}
