// The two-dimensional Fourier transform of a picture: each colour channel
// (or the luminance) placed, centred, on a black square whose side N is a
// power of two, held as N x N single-precision complex numbers with the zero
// frequency at (N/2, N/2). The spectrum can be shown, erased in parts, and
// turned back into a picture.
//
// Memory: a plane takes 8 N^2 bytes and the inverse and the spectrum work on
// one plane copy at a time, so a build needs (planes + 1) x 8 N^2 bytes. A
// 6000 x 4000 picture (24 MP) has N = 8192: 512 MiB per plane, 2 GiB for an
// RGB transform (1.5 GiB of planes and one working copy), 1 GiB for the
// luminance. BuildFT refuses, before allocating anything, a transform that
// the process cannot hold.
#pragma once

#include <vector>

#include "core/hylkdefs.h"
#include "platform/system.h"

class TLKBitmap;

/// Kind of transform: three colour planes or one luminance plane.
enum TLKFtImageType : Byte { lkitUnknown = 0, lkitRGB = 1, lkitGrayscale = 2 };

/// The addresses of one coefficient in every plane (nil for absent planes).
struct TLKComplexPixel {
  float *RedRe, *RedIm, *BlueRe, *BlueIm, *GreenRe, *GreenIm, *GrayIm, *GrayRe;
};

class TLKFtImage : public TObject {
 public:
  TLKFtImage() = default;
  ~TLKFtImage() override = default;

  /// Bytes a transform of a w x h picture of that type needs at most (its
  /// planes and one working copy).
  static Int64 BytesNeeded(Integer Width, Integer Height, TLKFtImageType Type);
  /// Raises EOutOfMemory, naming the sizes, when BytesNeeded exceeds what
  /// the process may use (its address-space limit and the memory the system
  /// has available).
  static void CheckMemory(Integer Width, Integer Height, TLKFtImageType Type);

  /// Frees the planes.
  void FreeAll();
  /// A copy of Source: sizes, offsets, type, progress event and planes.
  void Assign(TLKFtImage* Source);
  /// Forward transform of an lk24RGB picture (other formats are read as
  /// lk24RGB from a converted copy). Replaces the planes; raises
  /// EOutOfMemory (the image then empty) before any work when it cannot fit.
  void BuildFT(TLKBitmap* Picture, TLKFtImageType Type);
  /// The picture becomes N x N lk24RGB showing the log magnitudes, each
  /// plane stretched to 0..255.
  void GetFTImage(TLKBitmap* Picture);
  /// The picture becomes the inverse transform, PictureWidth x
  /// PictureHeight lk24RGB, each channel stretched to 0..255 over the square.
  void BuildBitmap(TLKBitmap* Picture);
  /// Zeroes the coefficients of the inclusive rectangle (cut to the square).
  void ClearZone(Integer X1, Integer Y1, Integer X2, Integer Y2);
  /// Zeroes the coefficients at most Radius from the centre.
  void HiPass(Integer Radius);
  /// Zeroes the coefficients more than Radius from the centre.
  void LoPass(Integer Radius);
  /// The coefficient (x, y) in every plane; all nil outside the square.
  TLKComplexPixel GetComplexImage(Integer X, Integer Y);

  Integer GetSize() const { return FSize; }
  Integer GetOffsetX() const { return FOffsetX; }
  Integer GetOffsetY() const { return FOffsetY; }
  Integer GetPictureWidth() const { return FPictureWidth; }
  Integer GetPictureHeight() const { return FPictureHeight; }
  TLKFtImageType GetImageType() const { return FImageType; }

  /// Progress in percent; Sender is the image.
  TLKProgressEvent OnProgress;

 private:
  using Plane = std::vector<float>;  // N rows of N real parts, then N imaginary parts
  void InitTables(Integer n);
  void Transform1D(float* re, float* im, float sign) const;
  void Transform2D(Plane& plane, float sign, Integer passes, Integer& done);
  std::vector<Plane*> Planes();

  std::vector<double> FSinTable;
  std::vector<Integer> FBitRevTable;
  Integer FTableBits = 0;
  double FNorm = 1;
  Integer FSize = 0;
  Plane FRed, FGreen, FBlue, FGray;
  Integer FOffsetX = 0, FOffsetY = 0, FPictureWidth = 0, FPictureHeight = 0;
  TLKFtImageType FImageType = lkitUnknown;
};
