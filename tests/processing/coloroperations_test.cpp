// Every colour and tone operation of the component inside the frame: the
// same result in memory and in temporary files, only the selected pixels
// changed, the undo entry with its caption, and a refusal that changes
// nothing when the format is not allowed and may not be converted.
#include <gtest/gtest.h>

#include "color_fixtures.h"
#include "processing/lkprocutils.h"
#include "processing/lumerakproc.h"

namespace {

using namespace color_test;

struct Op {
  const char* caption;
  std::function<void(TLumerakProc&)> run;
  bool anyFormat;  // the operation allows every format
};

const std::vector<Op>& Ops() {
  static const std::vector<Op> ops = {
      {"Contrast 20", [](TLumerakProc& p) { p.Contrast(20); }, false},
      {"IntensityRGBall 5,-5,9", [](TLumerakProc& p) { p.IntensityRGBall(5, -5, 9); }, false},
      {"Threshold", [](TLumerakProc& p) {
         p.Threshold(CreateRGB(90, 90, 90), CreateRGB(150, 150, 150), CreateRGB(0, 0, 0), CreateRGB(255, 0, 255));
       }, false},
      {"Threshold2", [](TLumerakProc& p) { p.Threshold2(80, 160, true, false, true); }, false},
      {"HistEqualize", [](TLumerakProc& p) { p.HistEqualize(CreateRGB(20, 30, 40), CreateRGB(200, 210, 220)); }, false},
      {"HistAutoEqualize", [](TLumerakProc& p) { p.HistAutoEqualize(); }, false},
      {"GammaCorrect", [](TLumerakProc& p) { p.GammaCorrect(2.2, {lkcRed, lkcGreen, lkcBlue}); }, false},
      {"WhiteBalance_coef", [](TLumerakProc& p) { p.WhiteBalance_coef(1.2, 0.9, 1.1); }, false},
      {"WhiteBalance_GrayWorld", [](TLumerakProc& p) { p.WhiteBalance_GrayWorld(); }, false},
      {"WhiteBalance_WhiteAt", [](TLumerakProc& p) { p.WhiteBalance_WhiteAt(1, 1); }, false},
      {"WhiteBalance_AutoWhite", [](TLumerakProc& p) { p.WhiteBalance_AutoWhite(); }, false},
      {"AdjustGainOffset", [](TLumerakProc& p) { p.AdjustGainOffset(); }, false},
      {"CastColor", [](TLumerakProc& p) { p.CastColor(1, 1, CreateRGB(1, 2, 3), 200); }, false},
      {"Colorize", [](TLumerakProc& p) { p.Colorize(200, 60, 1.0); }, false},
      {"AutoEnhance1", [](TLumerakProc& p) { p.AutoEnhance1(5, 40, 60, 1); }, false},
      {"AutoEnhance2", [](TLumerakProc& p) { p.AutoEnhance2(3, 1, 1.5, 6, false); }, false},
      {"Negative", [](TLumerakProc& p) { p.Negative(); }, true},
      {"ConvertToGray", [](TLumerakProc& p) { p.ConvertToGray(); }, true},
      {"CastColorRange", [](TLumerakProc& p) {
         p.CastColorRange(CreateRGB(0, 0, 0), CreateRGB(150, 150, 255), CreateRGB(9, 9, 9));
       }, false},
      {"AdjustBrightnessContrastSaturation",
       [](TLumerakProc& p) { p.AdjustBrightnessContrastSaturation(20, 30, -40); }, false},
      {"Contrast2", [](TLumerakProc& p) { p.Contrast2(0.7); }, false},
      {"AdjustSaturation", [](TLumerakProc& p) { p.AdjustSaturation(40); }, false},
      {"AdjustTint", [](TLumerakProc& p) { p.AdjustTint(30); }, false},
      {"AdjustLumSatHistogram", [](TLumerakProc& p) { p.AdjustLumSatHistogram(0.5, 0.8); }, false},
      {"DisposeChannels", [](TLumerakProc& p) { p.DisposeChannels("GRB"); }, false},
      {"Intensity", [](TLumerakProc& p) { p.Intensity(40, 200, 30, false, true, true, false); }, false},
      {"Contrast3", [](TLumerakProc& p) { p.Contrast3(-40, 20, true, true, true); }, false},
      {"ShiftChannel", [](TLumerakProc& p) { p.ShiftChannel(2, 1, 1, -1); }, false},
  };
  return ops;
}

std::vector<TRGB> RunOn(const Op& op, bool file, bool select) {
  StorageScope storage(file);
  TTestView view(14, 11, lk24RGB);
  Paint(view.GetLKBitmap(), Varied);
  if (select) view.SelectRect(3, 2, 10, 8);
  TLumerakProc proc;
  proc.SetAttachedLumerak(&view);
  Events ev;
  ev.Attach(proc);
  op.run(proc);
  EXPECT_EQ(proc.GetUndoCaptions(0), op.caption);
  EXPECT_EQ(ev.finished, 1) << op.caption;
  EXPECT_EQ(ev.progress.back(), 100) << op.caption;
  EXPECT_EQ(view.Calls.back(), "ImageChange") << op.caption;
  if (select) {
    for (Integer y = 0; y < 11; ++y)
      for (Integer x = 0; x < 14; ++x)
        if (!view.Mask.IsPointInside(x, y))
          EXPECT_EQ(view.GetLKBitmap()->GetPixels_lk24RGB(x, y), Varied(x, y)) << op.caption << " " << x << "," << y;
  }
  return Pixels(view.GetLKBitmap());
}

TEST(ColorOperations, SameInMemoryAndFilesAndOnlyTheSelection) {
  for (const Op& op : Ops()) {
    const std::vector<TRGB> memory = RunOn(op, false, false);
    EXPECT_EQ(RunOn(op, true, false), memory) << op.caption;
    const std::vector<TRGB> selected = RunOn(op, false, true);
    EXPECT_EQ(RunOn(op, true, true), selected) << op.caption;
    std::vector<TRGB> original;
    for (Integer y = 0; y < 11; ++y)
      for (Integer x = 0; x < 14; ++x) original.push_back(Varied(x, y));
    // The varied picture holds no near-white pixel: that balance keeps it.
    if (std::string(op.caption) != "WhiteBalance_AutoWhite")
      EXPECT_NE(selected, original) << op.caption << " changed nothing";
  }
}

TEST(ColorOperations, RefusedWithoutConversion) {
  for (const Op& op : Ops()) {
    if (op.anyFormat || std::string(op.caption) == "GammaCorrect") continue;
    TTestView view(5, 4, lkCMYK);
    FillDistinct(view.GetLKBitmap());
    std::vector<Byte> before = PixelBytes(view.GetLKBitmap(), 4, 3);
    TLumerakProc proc;
    proc.SetAttachedLumerak(&view);
    proc.SetAutoConvertFormat(false);
    Events ev;
    ev.Attach(proc);
    op.run(proc);
    EXPECT_EQ(view.GetLKBitmap()->GetPixelFormat(), lkCMYK) << op.caption;
    EXPECT_EQ(PixelBytes(view.GetLKBitmap(), 4, 3), before) << op.caption;
    EXPECT_EQ(ev.finished, 0) << op.caption;
    EXPECT_EQ(proc.GetUndoCaptions(0), op.caption);  // saved before the refusal
  }
}

}  // namespace
