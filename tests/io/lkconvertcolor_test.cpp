#include <gtest/gtest.h>

#include <vector>

#include "core/lkcolorspace.h"
#include "io/lkconvertcolor.h"

#include "common/icc_fixtures.h"
#include "core/lkicc.h"
#include "io/lkparams.h"

namespace {

using Row = std::vector<Byte>;

// Converts one row of Count pixels; the output starts filled with 0xEE so an
// untouched output shows.
Row Convert(Row In, TLKColorSpace From, TLKColorSpace To, Integer Count, size_t OutBytes) {
  Row out(OutBytes, 0xEE);
  LKConvertColorFunction(In.data(), From, out.data(), To, Count, nullptr);
  return out;
}

TEST(ConvertColor, DefaultHookIsInstalled) {
  EXPECT_EQ(LKConvertColorFunction, &LKDefaultConvertColorFunction);
  EXPECT_FALSE(lkgEnableCMS);
}

TEST(ConvertColor, PixelPairs) {
  const TRGB lab = LKCIELAB2RGB(TCIELab{128, 20, -30});
  TRGB ycc{};
  LKYCbCr2RGB(ycc, 100, 90, 200);
  const TCIELab labOfBgr = LKRGB2CIELAB(TRGB{10, 20, 30});
  struct Case {
    const char* Name;
    TLKColorSpace From, To;
    Row In;
    Integer Count;
    Row Out;
  } const cases[] = {
      {"RGB to BGR", lkcmsRGB, lkcmsBGR, {1, 2, 3, 4, 5, 6}, 2, {3, 2, 1, 6, 5, 4}},
      {"BGR to BGR", lkcmsBGR, lkcmsBGR, {1, 2, 3}, 1, {1, 2, 3}},
      // red 255, green 128, blue 0 as inverted CMYK and back
      {"BGR to CMYK", lkcmsBGR, lkcmsCMYK, {0, 128, 255}, 1, {255, 128, 0, 255}},
      {"CMYK to BGR", lkcmsCMYK, lkcmsBGR, {255, 128, 0, 255}, 1, {0, 128, 255}},
      {"black to CMYK", lkcmsBGR, lkcmsCMYK, {0, 0, 0}, 1, {0, 0, 0, 1}},
      {"CMYK6 to BGR", lkcmsCMYK6, lkcmsBGR, {0, 127, 255, 0, 9, 9}, 1, {0, 128, 255}},
      {"BGR to Gray8", lkcmsBGR, lkcmsGray8, {10, 20, 30}, 1, {21}},
      {"BGR to CIELab", lkcmsBGR, lkcmsCIELab, {10, 20, 30}, 1,
       {labOfBgr.l, Byte(labOfBgr.a), Byte(labOfBgr.b)}},
      {"CIELab to BGR", lkcmsCIELab, lkcmsBGR, {128, 20, Byte(-30)}, 1, {lab.b, lab.g, lab.r}},
      {"RGB48 to BGR", lkcmsRGB48, lkcmsBGR, {0x11, 0xA1, 0x22, 0xB2, 0x33, 0xC3}, 1, {0xC3, 0xB2, 0xA1}},
      {"RGB48_SE to BGR", lkcmsRGB48_SE, lkcmsBGR, {0xA1, 0x11, 0xB2, 0x22, 0xC3, 0x33}, 1, {0xC3, 0xB2, 0xA1}},
      {"YCbCr to BGR", lkcmsYCBCR, lkcmsBGR, {100, 90, 200}, 1, {ycc.b, ycc.g, ycc.r}},
      // Pairs without a conversion leave the output alone.
      {"Gray8 to BGR", lkcmsGray8, lkcmsBGR, {1, 2, 3}, 1, {0xEE, 0xEE, 0xEE}},
      {"BGR to RGB", lkcmsBGR, lkcmsRGB, {1, 2, 3}, 1, {0xEE, 0xEE, 0xEE}},
      {"CMYK to CIELab", lkcmsCMYK, lkcmsCIELab, {1, 2, 3, 4}, 1, {0xEE, 0xEE, 0xEE}},
      {"no pixels", lkcmsRGB, lkcmsBGR, {1, 2, 3}, 0, {0xEE, 0xEE, 0xEE}},
  };
  for (const Case& c : cases) EXPECT_EQ(Convert(c.In, c.From, c.To, c.Count, c.Out.size()), c.Out) << c.Name;
}

// The CMYK6 layout holds plain inks; the converter inverts them in the
// caller's row itself and leaves the two extra bytes alone.
TEST(ConvertColor, CMYK6InvertsTheInputRow) {
  Row in = {0, 127, 255, 10, 7, 8, 255, 255, 255, 255, 1, 2};
  Row out(6);
  LKConvertColorFunction(in.data(), lkcmsCMYK6, out.data(), lkcmsBGR, 2, nullptr);
  EXPECT_EQ(in, (Row{255, 128, 0, 245, 7, 8, 0, 0, 0, 0, 1, 2}));
  EXPECT_EQ(out[3], 0);
  EXPECT_EQ(out[4], 0);
  EXPECT_EQ(out[5], 0);
}

// The grey weights are settable; odd weights never wrap past a byte.
TEST(ConvertColor, GrayWeightsClamp) {
  const Integer r = gRedToGrayCoef;
  gRedToGrayCoef = 300;
  EXPECT_EQ(Convert({0, 0, 255}, lkcmsBGR, lkcmsGray8, 1, 1), Row{255});
  gRedToGrayCoef = r;
}

// An application may install its own converter.
TEST(ConvertColor, HookIsReplaceable) {
  static Integer calls = 0;
  LKConvertColorFunction = [](void*, TLKColorSpace, void*, TLKColorSpace, Integer n, TIOParamsVals*) { calls += n; };
  Row in(3), out(3);
  LKConvertColorFunction(in.data(), lkcmsRGB, out.data(), lkcmsBGR, 1, nullptr);
  LKConvertColorFunction = LKDefaultConvertColorFunction;
  EXPECT_EQ(calls, 1);
}

// With colour management on, the picture's profile converts the row; a
// profile already applied to the pixels, or management off, gives the plain
// conversion. Lab rows without a profile of their own are read against D50.
TEST(ConvertColor, ProfilesConvertRowsWhileColourManagementIsOn) {
  const std::vector<Byte> wide = icctest::WideRGB();
  TLKICC ref, srgb;
  ref.LoadFromBuffer(wide.data(), Integer(wide.size()));
  srgb.Assign_sRGBProfile();
  const Row bgr = {100, 150, 100};
  Row managed(3);
  ASSERT_TRUE(ref.Transform(&srgb, lkcmsBGR, lkcmsBGR, 0, 0, bgr.data(), managed.data(), 1));
  ASSERT_NE(managed, bgr);

  struct Case {
    const char* Name;
    bool Enable, WithProfile, Applied;
    TLKColorSpace From;
    Row In, Out;
  } const cases[] = {
      {"profile applied", true, true, false, lkcmsBGR, bgr, managed},
      {"management off", false, true, false, lkcmsBGR, bgr, bgr},
      {"profile already applied", true, true, true, lkcmsBGR, bgr, bgr},
      {"Lab white without a profile", true, false, false, lkcmsCIELab, {255, 0, 0}, {255, 255, 255}},
      {"Lab black without a profile", true, false, false, lkcmsCIELab, {0, 0, 0}, {0, 0, 0}},
  };
  for (const Case& c : cases) {
    TIOParamsVals p;
    if (c.WithProfile) p.GetInputICC()->LoadFromBuffer(wide.data(), Integer(wide.size()));
    p.GetOutputICC();
    if (c.Applied) {
      Row tmp(3);
      p.InputICC->Transform(p.OutputICC.get(), lkcmsBGR, lkcmsBGR, 0, 0, bgr.data(), tmp.data(), 1);
      p.InputICC->FreeTransform();
    }
    lkgEnableCMS = c.Enable;
    Row in = c.In, out(3, 0xEE);
    LKConvertColorFunction(in.data(), c.From, out.data(), lkcmsBGR, 1, &p);
    lkgEnableCMS = false;
    for (int i = 0; i < 3; ++i) EXPECT_NEAR(out[i], c.Out[i], 1) << c.Name << " byte " << i;
  }
}

}  // namespace
