// Kernel resampling: the filter kernels of TResampleFilter, the two-pass
// kernel resampler for 24-bit, 1-bit and 8-bit pictures, and the dispatcher
// that resamples a whole TLKBitmap with its alpha channel.
//
// The routines keep no state between calls and use no shared scratch
// memory: they may run on any thread on bitmaps that no other thread uses at
// the same time. Sources are only read.
#pragma once

#include "core/hylkdefs.h"

class TLKBitmap;

/// A resampling kernel: k(x) of a distance x in source pixels, and the
/// support beyond which it is 0.
struct TLKResampleKernel {
  double (*Kernel)(double x);
  double Support;
};

/// The kernel of one of the kernel filters rfTriangle .. rfLinear; nullptr
/// for every other value (rfNone has no kernel, the others are served by the
/// linear, area and projection routines).
const TLKResampleKernel* LKResampleKernel(TResampleFilter filter);

/// Resamples the whole lk24RGB source into the whole lk24RGB destination,
/// which the caller allocates at the target size. Kernel filters (rfTriangle
/// .. rfLinear) use the two-pass integer kernel resampler; rfFastLinear goes
/// to _ResampleLinearEx, rfBilinear and rfBicubic to _LKQResample,
/// rfProjectBW and rfProjectWB to _ResampleProject24Bit (which turns the
/// destination into lk1g). A source of another format, an empty source or
/// destination, or rfNone leave the destination unchanged. A 1-pixel source
/// gives a destination of that one colour. Raises EOutOfMemory when the
/// intermediate raster cannot be had.
void _ResampleEx(TLKBaseBitmap* source, TLKBaseBitmap* dest, TResampleFilter filter,
                 const TLKProgressEvent& progress = {}, TObject* sender = nullptr);

/// _ResampleEx for one 8-bit channel (an alpha channel or an lk8g picture):
/// filters rfFastLinear .. rfProjectWB all go to _ResampleLinearAlpha. Both
/// bitmaps must have 8 bits per pixel, else nothing happens.
void _ResampleAlphaEx(TLKBitmap* source, TLKBitmap* dest, TResampleFilter filter);

/// _ResampleEx for an lk1g source, set bits read as 255: the grey result is
/// written to an lk24RGB destination. rfFastLinear, rfBilinear and rfBicubic
/// go to _ResampleLinear1BitEx; rfProjectBW and rfProjectWB to
/// _ResampleProject1Bit (1-bit destination). Other formats do nothing.
void _Resample1bitEx(TLKBitmap* source, TLKBitmap* dest, TResampleFilter filter);

/// lk24RGB only: every pixel whose alpha is 0 takes `colour`. The alpha
/// channel is created (fully opaque) when there is none.
void _LKSetAlpha0Color(TLKBitmap* bitmap, TRGB colour);

/// Resamples a whole bitmap with its alpha channel into `dest`, allocated by
/// the caller at the target size in the source's format. rfNone copies the
/// nearest pixels (_LKBmpStretchEx). Otherwise lk1g sources go to
/// _Resample1bitEx (dest becomes lk1g for the projection filters, lk24RGB
/// for the others), lk24RGB to _ResampleEx, lk8g to the 8-bit kernel path;
/// formats without a filtered path take the nearest pixels, so the
/// destination is always written. Before filtering, the fully transparent
/// pixels of a 24-bit source are read as mid-grey (128, 128, 128), from a
/// copy: the source is not changed. The alpha channel is resampled into the
/// destination's (made at its size) and its Full flag carried over.
void _LKResampleLKBitmap(TLKBitmap* source, TLKBitmap* dest, TResampleFilter filter,
                         const TLKProgressEvent& progress = {}, TObject* sender = nullptr);

/// Resamples a bitmap in place to newWidth x newHeight (both at least 1,
/// else nothing happens) through _LKResampleLKBitmap from a copy of it; the
/// format, palette and alpha channel are kept.
void _LKResampleLKBitmap2(TLKBitmap* bitmap, TResampleFilter filter, Integer newWidth, Integer newHeight,
                          const TLKProgressEvent& progress = {}, TObject* sender = nullptr);
