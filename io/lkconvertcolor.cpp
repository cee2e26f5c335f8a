#include "io/lkconvertcolor.h"

#include <cstring>

#include "core/lkcolorspace.h"
#include "core/lkicc.h"
#include "io/lkparams.h"

TLKConvertColorFunction LKConvertColorFunction = LKDefaultConvertColorFunction;
bool lkgEnableCMS = false;

void LKDefaultConvertColorFunction(void* Input, TLKColorSpace InputSpace, void* Output, TLKColorSpace OutputSpace,
                                   Integer Count, TIOParamsVals* Params) {
  // With colour management on, the picture's own profile converts the row
  // to the output profile; a profile already applied to these pixels, or
  // one that cannot take this layout, falls through to the plain formulas.
  if (lkgEnableCMS && Params && Params->InputICC && Params->InputICC->IsValid() && !Params->InputICC->IsApplied() &&
      Params->GetOutputICC()->IsValid() &&
      Params->InputICC->Transform(Params->OutputICC.get(), InputSpace, OutputSpace, 0, 0, Input, Output, Count))
    return;
  // Lab is device-independent: without a profile of its own it is read
  // against the D50 white point.
  if (lkgEnableCMS && Params && InputSpace == lkcmsCIELab && OutputSpace != lkcmsCIELab &&
      !(Params->InputICC && Params->InputICC->IsValid())) {
    thread_local TLKICC lab;
    if (!lab.IsValid()) lab.Assign_LabProfileD50();
    if (lab.Transform(Params->GetOutputICC(), InputSpace, OutputSpace, 0, 0, Input, Output, Count)) return;
  }
  if (!Input || !Output || Count <= 0) return;
  Byte* in = static_cast<Byte*>(Input);
  Byte* out = static_cast<Byte*>(Output);
  const size_t n = static_cast<size_t>(Count);

  if (OutputSpace == lkcmsBGR) {
    switch (InputSpace) {
      case lkcmsRGB:
        for (size_t i = 0; i < n; ++i, in += 3, out += 3) {
          const Byte r = in[0], g = in[1], b = in[2];
          out[0] = b, out[1] = g, out[2] = r;
        }
        return;
      case lkcmsBGR:
        std::memmove(out, in, n * 3);
        return;
      case lkcmsCMYK:
        for (size_t i = 0; i < n; ++i, in += 4, out += 3) {
          const TRGB c = LKCMYK2RGB(TCMYK{in[0], in[1], in[2], in[3]});
          out[0] = c.b, out[1] = c.g, out[2] = c.r;
        }
        return;
      case lkcmsCMYK6:
        // Plain inks: inverted in the input row itself, then taken as CMYK.
        for (size_t i = 0; i < n; ++i, in += 6, out += 3) {
          for (int k = 0; k < 4; ++k) in[k] = static_cast<Byte>(255 - in[k]);
          const TRGB c = LKCMYK2RGB(TCMYK{in[0], in[1], in[2], in[3]});
          out[0] = c.b, out[1] = c.g, out[2] = c.r;
        }
        return;
      case lkcmsCIELab:
        for (size_t i = 0; i < n; ++i, in += 3, out += 3) {
          const TRGB c = LKCIELAB2RGB(TCIELab{in[0], static_cast<ShortInt>(in[1]), static_cast<ShortInt>(in[2])});
          out[0] = c.b, out[1] = c.g, out[2] = c.r;
        }
        return;
      case lkcmsRGB48:
        // Little-endian 16-bit samples: the high byte of each.
        for (size_t i = 0; i < n; ++i, in += 6, out += 3) out[0] = in[5], out[1] = in[3], out[2] = in[1];
        return;
      case lkcmsRGB48_SE:
        for (size_t i = 0; i < n; ++i, in += 6, out += 3) out[0] = in[4], out[1] = in[2], out[2] = in[0];
        return;
      case lkcmsYCBCR:
        for (size_t i = 0; i < n; ++i, in += 3, out += 3) {
          TRGB c{};
          LKYCbCr2RGB(c, in[0], in[1], in[2]);
          out[0] = c.b, out[1] = c.g, out[2] = c.r;
        }
        return;
      default:
        return;
    }
  }
  if (InputSpace != lkcmsBGR) return;
  switch (OutputSpace) {
    case lkcmsCMYK:
      for (size_t i = 0; i < n; ++i, in += 3, out += 4) {
        const TCMYK c = LKRGB2CMYK(TRGB{in[0], in[1], in[2]});
        out[0] = c.c, out[1] = c.m, out[2] = c.y, out[3] = c.k;
      }
      return;
    case lkcmsCIELab:
      for (size_t i = 0; i < n; ++i, in += 3, out += 3) {
        const TCIELab c = LKRGB2CIELAB(TRGB{in[0], in[1], in[2]});
        out[0] = c.l, out[1] = static_cast<Byte>(c.a), out[2] = static_cast<Byte>(c.b);
      }
      return;
    case lkcmsGray8:
      for (size_t i = 0; i < n; ++i, in += 3, ++out) {
        // The weights are settable globals: keep the result a byte whatever they are.
        const Integer v = (in[2] * gRedToGrayCoef + in[1] * gGreenToGrayCoef + in[0] * gBlueToGrayCoef) / 100;
        *out = static_cast<Byte>(v < 0 ? 0 : v > 255 ? 255 : v);
      }
      return;
    default:
      return;
  }
}
