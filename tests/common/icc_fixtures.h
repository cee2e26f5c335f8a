// ICC profiles made in memory for tests: an RGB profile with wide
// primaries (the Adobe RGB 1998 ones), a grey profile and sRGB as bytes.
#pragma once

#include <lcms2.h>

#include <vector>

#include "core/hylkdefs.h"

namespace icctest {

inline std::vector<Byte> Save(cmsHPROFILE P) {
  std::vector<Byte> out;
  cmsUInt32Number n = 0;
  if (P && cmsSaveProfileToMem(P, nullptr, &n)) {
    out.resize(n);
    cmsSaveProfileToMem(P, out.data(), &n);
  }
  if (P) cmsCloseProfile(P);
  return out;
}

inline std::vector<Byte> WideRGB(double Gamma = 2.2) {
  cmsCIExyY white;
  cmsWhitePointFromTemp(&white, 6504);
  const cmsCIExyYTRIPLE primaries{{0.64, 0.33, 1}, {0.21, 0.71, 1}, {0.15, 0.06, 1}};
  cmsToneCurve* g = cmsBuildGamma(nullptr, Gamma);
  cmsToneCurve* curves[3] = {g, g, g};
  cmsHPROFILE p = cmsCreateRGBProfile(&white, &primaries, curves);
  cmsFreeToneCurve(g);
  return Save(p);
}

inline std::vector<Byte> Gray(double Gamma) {
  cmsToneCurve* g = cmsBuildGamma(nullptr, Gamma);
  cmsHPROFILE p = cmsCreateGrayProfile(cmsD50_xyY(), g);
  cmsFreeToneCurve(g);
  return Save(p);
}

inline std::vector<Byte> SRGB() { return Save(cmsCreate_sRGBProfile()); }

}  // namespace icctest
