// The row colour converter that the codecs call through a replaceable hook,
// so an application can put its own colour management in place.
#pragma once

#include "core/hylkdefs.h"
#include "core/lkioglobals.h"

class TIOParamsVals;

/// Converts Count pixels of the row Input, laid out as InputSpace, into the
/// row Output, laid out as OutputSpace. Params (may be null) carries the
/// picture's colour profiles.
using TLKConvertColorFunction = void (*)(void* Input, TLKColorSpace InputSpace, void* Output,
                                         TLKColorSpace OutputSpace, Integer Count, TIOParamsVals* Params);

/// The library's converter, pixel by pixel. Pairs it converts: RGB, BGR,
/// CMYK (inverted inks), CMYK6 (plain inks and two skipped bytes; the inks of
/// the input row are inverted in place), CIELab, RGB48 (high bytes), RGB48_SE
/// (first bytes) and YCbCr to BGR; BGR to CMYK, CIELab and Gray8 (weighted by
/// the grey coefficients). Any other pair leaves the output untouched.
void LKDefaultConvertColorFunction(void* Input, TLKColorSpace InputSpace, void* Output, TLKColorSpace OutputSpace,
                                   Integer Count, TIOParamsVals* Params);

/// The converter the codecs call; LKDefaultConvertColorFunction unless the
/// application installs its own. Not locked: set it at start-up.
extern TLKConvertColorFunction LKConvertColorFunction;

/// Allows the converter to use the picture's ICC profiles; false at start.
extern bool lkgEnableCMS;
