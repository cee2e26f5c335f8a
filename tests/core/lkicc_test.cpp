#include "core/lkicc.h"

#include <gtest/gtest.h>

#include <cstdlib>
#include <cstring>

#include "common/icc_fixtures.h"
#include "core/lkbitmap.h"
#include "core/lkcolorspace.h"
#include "platform/classes.h"

namespace {

using Bytes = std::vector<Byte>;

TLKICC* Load(TLKICC& I, const Bytes& B) {
  I.LoadFromBuffer(B.data(), Integer(B.size()));
  return &I;
}

void ExpectNear(const Bytes& A, const Bytes& B, int Tol, const char* What) {
  ASSERT_EQ(A.size(), B.size()) << What;
  for (size_t i = 0; i < A.size(); ++i) EXPECT_LE(std::abs(int(A[i]) - int(B[i])), Tol) << What << " byte " << i;
}

TEST(ICCProfile, StreamFormKeepsTheBytesAndOpensThem) {
  const Bytes wide = icctest::WideRGB();
  TLKICC a;
  Load(a, wide);
  ASSERT_TRUE(a.IsValid());
  TMemoryStream ms;
  a.SaveToStream(&ms);
  EXPECT_EQ(ms.GetSize(), Int64(wide.size()) + 4);
  ms.SetPosition(0);
  TLKICC b;
  b.LoadFromStream(&ms);
  EXPECT_EQ(b.GetRaw(), wide);
  EXPECT_TRUE(b.IsValid());

  // The built-in sRGB profile holds no bytes: its stream form is size 0.
  TLKICC s;
  ASSERT_TRUE(s.Assign_sRGBProfile());
  TMemoryStream ms2;
  s.SaveToStream(&ms2);
  EXPECT_EQ(ms2.GetSize(), 4);
  // Bytes that are no profile are kept but nothing opens.
  TLKICC junk;
  junk.LoadFromBuffer("icc", 3);
  EXPECT_FALSE(junk.IsValid());
  EXPECT_EQ(junk.GetRaw().size(), 3u);
}

TEST(ICCProfile, WideGamutToSRGBKeepsNeutralsAndSaturatesColours) {
  TLKICC in, out;
  Load(in, icctest::WideRGB());
  out.Assign_sRGBProfile();
  // Blue, green, red.
  const Bytes src = {255, 255, 255, 0, 0, 0, 128, 128, 128, 100, 150, 100};
  Bytes dst(src.size(), 0xEE);
  ASSERT_TRUE(in.Transform(&out, lkcmsBGR, lkcmsBGR, 0, 0, src.data(), dst.data(), 4));
  ExpectNear(Bytes(dst.begin(), dst.begin() + 6), {255, 255, 255, 0, 0, 0}, 1, "white and black");
  EXPECT_LE(std::abs(dst[6] - dst[7]), 1);
  EXPECT_LE(std::abs(dst[7] - dst[8]), 1);
  // The wide green says more than sRGB's green can: the converted pixel is
  // further from grey than the numbers it started as.
  EXPECT_GT(int(dst[10]) - int(dst[11]), 50);
}

// Every row layout of the same colours gives the same result as the
// blue-green-red one, and the source row is never written.
TEST(ICCProfile, EveryLayoutConvertsTheSameColours) {
  TLKICC in, out;
  Load(in, icctest::WideRGB());
  out.Assign_sRGBProfile();
  const Bytes bgr = {30, 140, 220, 200, 90, 10};
  Bytes want(6);
  ASSERT_TRUE(in.Transform(&out, lkcmsBGR, lkcmsBGR, 0, 0, bgr.data(), want.data(), 2));
  const Bytes wantRGB = {want[2], want[1], want[0], want[5], want[4], want[3]};

  Bytes rgb48, rgb48se;
  for (Byte v : Bytes{220, 140, 30, 10, 90, 200}) {
    rgb48.insert(rgb48.end(), {v, v});
    rgb48se.insert(rgb48se.end(), {v, v});
  }
  rgb48[0] = 0x00;    // low byte of the first red sample: little-endian
  rgb48se[1] = 0x00;  // the same sample with its bytes swapped
  struct Case {
    const char* Name;
    TLKColorSpace In, Out;
    Bytes Src, Want;
  } const cases[] = {
      {"BGR to RGB", lkcmsBGR, lkcmsBGR, bgr, want},
      {"RGB to BGR", lkcmsRGB, lkcmsBGR, {220, 140, 30, 10, 90, 200}, want},
      {"BGR to RGB out", lkcmsBGR, lkcmsRGB, bgr, wantRGB},
      {"RGB48 to BGR", lkcmsRGB48, lkcmsBGR, rgb48, want},
      {"RGB48_SE to BGR", lkcmsRGB48_SE, lkcmsBGR, rgb48se, want},
  };
  for (const Case& c : cases) {
    const Bytes before = c.Src;
    Bytes dst(c.Want.size(), 0xEE);
    ASSERT_TRUE(in.Transform(&out, c.In, c.Out, 0, 0, c.Src.data(), dst.data(), 2)) << c.Name;
    ExpectNear(dst, c.Want, 1, c.Name);
    EXPECT_EQ(c.Src, before) << c.Name;
  }
  // A source row converted in place (the in-place Apply) reads before it writes.
  Bytes inplace = bgr;
  ASSERT_TRUE(in.Transform(&out, lkcmsBGR, lkcmsBGR, 0, 0, inplace.data(), inplace.data(), 2));
  EXPECT_EQ(inplace, want);
}

TEST(ICCProfile, YCbCrRowsAreReadAsTheirRGBColours) {
  TLKICC in, out;
  Load(in, icctest::WideRGB());
  out.Assign_sRGBProfile();
  TRGB c{};
  LKYCbCr2RGB(c, 120, 100, 170);
  const Bytes asBgr = {c.b, c.g, c.r};
  Bytes want(3), got(3);
  ASSERT_TRUE(in.Transform(&out, lkcmsBGR, lkcmsBGR, 0, 0, asBgr.data(), want.data(), 1));
  const Bytes ycc = {120, 100, 170};
  ASSERT_TRUE(in.Transform(&out, lkcmsYCBCR, lkcmsBGR, 0, 0, ycc.data(), got.data(), 1));
  EXPECT_EQ(got, want);
}

TEST(ICCProfile, LabAndGreyProfiles) {
  TLKICC lab, out, grey;
  ASSERT_TRUE(lab.Assign_LabProfileD50());
  out.Assign_sRGBProfile();
  // L is stored x 2.55, a and b as signed bytes.
  const Bytes src = {255, 0, 0, 0, 0, 0, Byte(53.2 * 2.55), 80, 67};
  const Bytes before = src;
  Bytes dst(9);
  ASSERT_TRUE(lab.Transform(&out, lkcmsCIELab, lkcmsBGR, 0, 0, src.data(), dst.data(), 3));
  EXPECT_EQ(src, before);
  ExpectNear(Bytes(dst.begin(), dst.begin() + 6), {255, 255, 255, 0, 0, 0}, 1, "white and black");
  // Lab 53, 80, 67 is sRGB's red.
  EXPECT_GT(dst[8], 240);
  EXPECT_LT(dst[7], 30);
  // Back to Lab: a and b come out signed again.
  Bytes back(3);
  ASSERT_TRUE(out.Transform(&lab, lkcmsBGR, lkcmsCIELab, 0, 0, &dst[6], back.data(), 1));
  EXPECT_NEAR(ShortInt(back[1]), 80, 3);
  EXPECT_NEAR(ShortInt(back[2]), 67, 3);

  // A linear grey profile: its middle is much lighter in sRGB.
  Load(grey, icctest::Gray(1.0));
  const Byte g[2] = {0, 128};
  Bytes gd(6);
  ASSERT_TRUE(grey.Transform(&out, lkcmsGray8, lkcmsBGR, 0, 0, g, gd.data(), 2));
  EXPECT_LE(gd[0], 1);
  EXPECT_NEAR(gd[3], 188, 2);
  EXPECT_EQ(gd[3], gd[5]);

  TLKICC xyz, temp;
  EXPECT_TRUE(xyz.Assign_XYZProfile());
  EXPECT_FALSE(xyz.GetRaw().empty());
  EXPECT_TRUE(temp.Assign_LabProfileFromTemp(6504));
  EXPECT_FALSE(temp.Assign_LabProfileFromTemp(100));
  EXPECT_FALSE(temp.IsValid());
  EXPECT_FALSE(temp.Assign_LabProfile(0.9, 0.9, 1));
}

TEST(ICCProfile, TheCachedTransformFollowsItsKey) {
  TLKICC in, out;
  Load(in, icctest::WideRGB());
  out.Assign_sRGBProfile();
  const Bytes src = {40, 160, 90};
  Bytes a(3), b(3);
  EXPECT_FALSE(in.IsTransforming());
  ASSERT_TRUE(in.Transform(&out, lkcmsBGR, lkcmsBGR, 0, 0, src.data(), a.data(), 1));
  EXPECT_TRUE(in.IsTransforming());
  // The target reloaded with another profile in the same holder: a
  // transform made for the old one would give the sRGB result again.
  Load(out, icctest::WideRGB(1.0));
  ASSERT_TRUE(in.Transform(&out, lkcmsBGR, lkcmsBGR, 0, 0, src.data(), b.data(), 1));
  EXPECT_NE(a, b);
  // Spaces that do not fit the profiles make no transform and write nothing.
  Bytes untouched(4, 0xEE);
  EXPECT_FALSE(in.Transform(&out, lkcmsCMYK, lkcmsBGR, 0, 0, Bytes(4, 9).data(), untouched.data(), 1));
  EXPECT_EQ(untouched, Bytes(4, 0xEE));
  EXPECT_FALSE(in.IsTransforming());

  ASSERT_TRUE(in.Transform(&out, lkcmsBGR, lkcmsBGR, 0, 0, src.data(), b.data(), 1));
  EXPECT_FALSE(in.IsApplied());
  in.FreeTransform();
  EXPECT_FALSE(in.IsTransforming());
  EXPECT_TRUE(in.IsApplied());
  in.Clear();
  EXPECT_FALSE(in.IsApplied());
  // Nothing open: nothing converted.
  EXPECT_FALSE(in.Transform(&out, lkcmsBGR, lkcmsBGR, 0, 0, src.data(), b.data(), 1));
}

TEST(ICCProfile, ApplyConvertsEveryRowAndRefusesMismatchedLayouts) {
  TLKICC in, out;
  Load(in, icctest::WideRGB());
  out.Assign_sRGBProfile();
  TLKBitmap src(5, 3, lk24RGB);
  for (Integer y = 0; y < 3; ++y) {
    auto* p = static_cast<Byte*>(src.GetScanLine(y));
    for (Integer i = 0; i < 15; ++i) p[i] = Byte(40 * y + 13 * i);
  }
  TLKBitmap dst;
  ASSERT_TRUE(in.Apply(&src, lkcmsBGR, &dst, lkcmsBGR, &out));
  ASSERT_EQ(dst.GetWidth(), 5);
  ASSERT_EQ(dst.GetHeight(), 3);
  TLKBitmap copy;
  copy.Assign(&src);
  ASSERT_TRUE(in.Apply2(&copy, lkcmsBGR, lkcmsBGR, &out));
  for (Integer y = 0; y < 3; ++y) {
    Bytes want(15);
    in.Transform(&out, lkcmsBGR, lkcmsBGR, 0, 0, src.GetScanLine(y), want.data(), 5);
    const auto* d = static_cast<const Byte*>(dst.GetScanLine(y));
    EXPECT_EQ(Bytes(d, d + 15), want) << "row " << y;
    const auto* c = static_cast<const Byte*>(copy.GetScanLine(y));
    EXPECT_EQ(Bytes(c, c + 15), want) << "row " << y;
  }
  // Rows of 3 bytes a pixel read as CMYK would be read past their end.
  TLKBitmap cmyk;
  EXPECT_FALSE(in.Apply(&src, lkcmsCMYK, &cmyk, lkcmsBGR, &out));
  EXPECT_FALSE(in.Apply2(&copy, lkcmsBGR, lkcmsGray8, &out));
  TLKBitmap empty;
  EXPECT_FALSE(in.Apply(&empty, lkcmsBGR, &dst, lkcmsBGR, &out));
}

// A hand-built profile header and tag table.
Bytes TagTable(std::uint32_t Count, const std::vector<std::tuple<const char*, std::uint32_t, std::uint32_t>>& Tags,
               size_t Size) {
  Bytes b(Size, 0);
  auto be = [&](size_t at, std::uint32_t v) {
    for (int i = 0; i < 4; ++i) b[at + i] = Byte(v >> (24 - 8 * i));
  };
  be(128, Count);
  size_t e = 132;
  for (auto& [sig, off, size] : Tags) {
    std::memcpy(&b[e], sig, 4);
    be(e + 4, off);
    be(e + 8, size);
    e += 12;
  }
  return b;
}

TEST(ICCProfile, ExtractInfoReadsOnlyWhatThere) {
  TLKICC made;
  ASSERT_TRUE(made.Assign_LabProfileD50());
  // The library writes a v2 description of its built-in profiles.
  EXPECT_FALSE(made.GetDescription().empty());

  Bytes good = TagTable(2, {{"desc", 200, 40}, {"cprt", 260, 30}}, 320);
  std::memcpy(&good[212], "A picture profile", 18);
  std::memcpy(&good[268], "No rights", 10);
  Bytes unterminated = good;
  std::memset(&unterminated[268], 'x', 320 - 268);
  struct Case {
    const char* Name;
    Bytes Data;
    const char* Desc;
    const char* Cprt;
  } const cases[] = {
      {"both texts", good, "A picture profile", "No rights"},
      {"128 bytes", Bytes(good.begin(), good.begin() + 128), "", ""},
      // The count claims more entries than the bytes hold.
      {"table past the end", TagTable(1000, {{"desc", 200, 40}}, 150), "", ""},
      {"count above 1000", TagTable(1001, {{"desc", 200, 40}}, 320), "", ""},
      {"offset past the end", TagTable(1, {{"desc", 5000, 40}}, 320), "", ""},
      // A text running to the end of the profile without its zero.
      {"no terminating zero", unterminated, "A picture profile", ""},
  };
  for (const Case& c : cases) {
    TLKICC i;
    i.LoadFromBuffer(c.Data.data(), Integer(c.Data.size()));
    EXPECT_EQ(i.GetDescription(), c.Desc) << c.Name;
    EXPECT_EQ(i.GetCopyright(), c.Cprt) << c.Name;
  }
}

}  // namespace
