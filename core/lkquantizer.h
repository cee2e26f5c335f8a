// Colour quantisers: reduce the colours of a picture to a palette of at most
// 256 entries and map each colour to its palette index. The quantiser picks
// its method from the picture: a grey ramp for grey pictures, the picture's
// own palette for palette pictures, the exact colour list when the picture
// has few enough colours, a variance-based box-splitting quantiser (median
// cut) for small palettes and a self-organising network (NeuQuant) for
// larger ones.
#pragma once

#include <memory>
#include <vector>

#include "core/hylkdefs.h"

class TLKBitmap;
class TBitmap;

/// One box of the median-cut quantiser: a block of the 32 x 32 x 32 colour
/// cube (5 bits per channel) with the pixels inside it. Channels are
/// indexed 0 red, 1 green, 2 blue.
struct TMedianCutBox {
  double Variance = 0;           ///< weighted variance (per pixel of the image)
  double Mean[3] = {0, 0, 0};    ///< channel means in 5-bit units
  Int64 Count = 0;               ///< pixels inside the box
  Int64 Hist[3][32] = {};        ///< marginal histogram of each channel
  Integer Lower[3] = {0, 0, 0};  ///< lower bound per channel (inclusive)
  Integer Upper[3] = {0, 0, 0};  ///< upper bound per channel (exclusive)
};

/// State of the median-cut quantiser.
struct TMedianCutState {
  /// Pixel count per cell, index red5 * 1024 + green5 * 32 + blue5, where a
  /// 5-bit value is the 8-bit channel shifted right by 3.
  std::vector<Int64> Histogram;
  /// Boxes made; room for 256.
  std::vector<TMedianCutBox> Boxes;
  /// Palette index per cell, same index as Histogram.
  std::vector<Byte> BoxMap;
  Int64 TotalPixels = 0;   ///< width x height
  Integer ColorCount = 0;  ///< colours asked for (1..256)
  Integer BoxCount = 0;    ///< boxes made (= palette entries written)
  Integer Width = 0;
  Integer Height = 0;
};

/// Builds the median-cut palette of a picture: at most N boxes (N limited to
/// 1..256), palette entry i (written for i <= paletteHigh only) = the means
/// of box i times 8. Reads 24-bit rows; a TLKBitmap of another format is read
/// pixel by pixel as 24-bit colour. Returns the state for MedianCutFindIndex;
/// free it with FreeMedianCutQuantizer. Raises EOutOfMemory.
TMedianCutState* CreateMedianCutQuantizer(TLKBitmap* bitmap, TRGB* palette, Integer paletteHigh, Integer N);
/// The same for a class-library bitmap; a bitmap that is not pf24bit is read
/// through a 24-bit copy.
TMedianCutState* CreateMedianCutQuantizer(TBitmap* bitmap, TRGB* palette, Integer paletteHigh, Integer N);
/// Palette index of a colour: the box map cell of (red >> 3, green >> 3,
/// blue >> 3); 0 for a nil state.
Integer MedianCutFindIndex(const TMedianCutState* state, const TRGB& colour);
/// Frees a median-cut state (nil is ignored).
void FreeMedianCutQuantizer(TMedianCutState* state);

/// Sample factor of the network quantiser for a picture of `pixels` pixels:
/// with a quality in 0..100, trunc((100 - quality) / 100 * 29) + 1 (values
/// above 100 count as 100); with a negative quality, 1 below 2000 pixels,
/// else (pixels - 2000) * 13 / 148000 + 2 rounded half to even and limited
/// to 1..30.
Integer NeuQuantSampleFactor(Int64 pixels, Integer quality);

struct TNeuQuantState;

/// Palette builder and colour-to-index mapper for one picture.
class TLKQuantizer : public TObject {
 public:
  /// Method values of GetMethod.
  enum : Integer { qmNeuQuant = 0, qmMedianCut = 1 };

  /// Fills palette[0 .. N-1] for `bitmap` (which must outlive the quantiser)
  /// and prepares GetRGBIndex. N is limited to 1..256 and to the palette's
  /// paletteHigh + 1 entries; nothing is written without a palette or a
  /// bitmap. Grey pictures (TLKBitmap::IsGrayScale) other than lk8p get the
  /// ramp entry i = grey trunc(256 / N * i); lk8p pictures get their own
  /// palette entries; lk24RGB pictures with at most N colours get those
  /// colours in order of first appearance (the other entries are left
  /// unchanged), otherwise median cut (N < 128, one entry per box made) or
  /// NeuQuant (all N entries). `quality` is -1 for the automatic NeuQuant
  /// sample factor or 0..100; `method` is accepted for callers and does not
  /// take part in the choice. Raises EOutOfMemory.
  TLKQuantizer(TLKBitmap* bitmap, TRGB* palette, Integer paletteHigh, Integer N, Integer quality = -1,
               Integer method = 0);
  ~TLKQuantizer() override;

  /// Palette index of a colour: with the exact table its position (-1 when
  /// absent); for a grey picture trunc(red * N / 256); with NeuQuant the
  /// L1-nearest palette colour; with median cut its box; for an lk8p picture
  /// the first equal entry of the bitmap's palette (the palette length when
  /// none); otherwise 0. Keeps a cache of network answers, so one
  /// quantiser must not be asked from two threads at once.
  Integer GetRGBIndex(const TRGB& colour) const;

  /// True when the picture was found grey.
  bool GetGrayScale() const { return grayScale_; }
  /// qmNeuQuant or qmMedianCut for a reduced palette, -1 otherwise.
  Integer GetMethod() const { return method_; }
  /// True when the palette holds the picture's exact colours.
  bool GetHasExactColors() const { return exactCount_ >= 0; }
  /// Colours asked for, after limiting (0 without palette or bitmap).
  Integer GetColorCount() const { return colorCount_; }

 private:
  bool FindExactColors(TRGB* palette);
  Integer ExactIndex(const TRGB& colour) const;

  Integer method_ = -1;
  TNeuQuantState* neuQuant_ = nullptr;
  TMedianCutState* medianCut_ = nullptr;
  bool grayScale_ = false;
  // Exact colours: open-addressed table of (colour + 1) -> position, and the
  // number of colours found (-1 when the table is not used).
  std::vector<DWORD> exactKeys_;
  std::vector<Byte> exactIndex_;
  Integer exactCount_ = -1;
  Integer colorCount_ = 0;
  TLKBitmap* bitmap_ = nullptr;
  // Network answers of recent colours (direct-mapped, made on first use):
  // the search visits dozens of neurons, and pictures repeat colours.
  mutable std::vector<DWORD> cacheKeys_;
  mutable std::vector<Byte> cacheIndex_;
};
