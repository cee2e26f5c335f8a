// The sample files shipped beside the program: each, developed through the
// camera RAW plug-in at the program's default settings with the camera's
// white balance, gives back the photograph it was made from.
#include <gtest/gtest.h>

#include <cmath>
#include <cstdio>
#include <filesystem>

#include "app/samples/photosamples.h"
#include "io/lkextio.h"
#include "io/lkfileformats.h"
#include "io/lkparams.h"
#include "io/lumerakio.h"
#include "tests/app/mainwindow_kit.h"

namespace {

/// Peak signal-to-noise ratio of A against B (from Left, Top) over every
/// sample at least Inset pixels inside A's edges, in dB.
double Psnr(TLKBitmap& A, TLKBitmap& B, Integer Left, Integer Top, Integer Inset) {
  double sum = 0;
  Int64 n = 0;
  for (Integer y = Inset; y < A.GetHeight() - Inset; ++y)
    for (Integer x = Inset; x < A.GetWidth() - Inset; ++x) {
      const TRGB p = A.GetPixels_lk24RGB(x, y), q = B.GetPixels_lk24RGB(x + Left, y + Top);
      for (const double d : {double(p.r) - q.r, double(p.g) - q.g, double(p.b) - q.b}) sum += d * d;
      n += 3;
    }
  const double mse = sum / double(n);
  return mse > 0 ? 10 * std::log10(255.0 * 255.0 / mse) : 99;
}

}  // namespace

TEST(PhotoSamples, DevelopIntoTheirPhotographs) {
  if (!std::filesystem::exists(samples::kPhotoFolder)) GTEST_SKIP() << "the backgrounds package is not installed";
  constexpr Integer kBuiltInRawFormat = 20;
  LKFileFormatRemove(kBuiltInRawFormat);
  LKAddExtIOPlugin("rawdevlib.dll");
  ASSERT_GE(LKExtToFileFormat("CRW"), kLKFirstExternalFormat) << "rawdevlib.so not registered";
  mainwin::TempDir dir;
  for (const samples::PhotoSample& sample : samples::PhotoSamples()) {
    SCOPED_TRACE(sample.name);
    TLKBitmap photo, picture;
    ASSERT_TRUE(samples::LoadPhoto(std::string(samples::kPhotoFolder) + "/" + sample.photo, photo));
    samples::Prepare(photo, sample.height, sample.width, picture);
    const std::string path = dir.str() + "/" + sample.name;
    mainwin::WriteFile(path, sample.make(picture));

    TLumerakIO io;
    TIOParamsVals* p = io.GetIOParams();
    // The program's settings at start, with the camera's white balance.
    p->SetProperty("RAW_GAMMA", "0.6");
    p->SetProperty("RAW_BRIGHT", "1");
    p->SetProperty("RAW_REDSCALE", "1");
    p->SetProperty("RAW_BLUESCALE", "1");
    p->SetProperty("RAW_QUICKINTERPOLATE", "TRUE");
    p->SetProperty("RAW_AUTOADJUSTCOLORS", "FALSE");
    p->SetProperty("RAW_FOURCOLORRGB", "FALSE");
    p->SetProperty("RAW_USEAUTOWB", "FALSE");
    p->SetProperty("RAW_USECAMERAWB", "TRUE");
    io.LoadFromFileRAW(path);
    ASSERT_FALSE(io.GetAborted());
    TLKBitmap* developed = io.GetLKBitmap();
    // The develop leaves out the border of a colour-filter sensor.
    ASSERT_EQ(developed->GetWidth(), sample.width - 2 * sample.border);
    ASSERT_EQ(developed->GetHeight(), sample.height - 2 * sample.border);
    ASSERT_EQ(developed->GetPixelFormat(), lk24RGB);
    const double psnr = Psnr(*developed, picture, sample.border, sample.border, sample.inset);
    std::printf("%s: %.1f dB\n", sample.name, psnr);
    RecordProperty(sample.name, std::to_string(psnr));
    EXPECT_GT(psnr, 30);
  }
  LKIOModuleEnd();
}
