// Whole-picture point operations with their own arithmetic: brightness,
// contrast and saturation in one pass, power-weighted equalisation of HSB
// brightness (and saturation), saturation and tint on a luma and
// colour-difference split, and a shift of one channel against the others.
// Each works on the lk24RGB pixels of the whole bitmap given and returns at
// once for another format. Progress after row y (from 0):
// Trunc(y / height * 100).
#pragma once

#include "core/hylkdefs.h"

class TLKBitmap;

/// Brightness factor bf (x256, 256 unchanged), contrast c (-100..100, 100
/// counts as 99, around the level 170) and saturation factor sf (x256, 256
/// unchanged, below 0 counts as 0).
void LKAdjustBrightnessContrastSaturation(TLKBitmap* Bitmap, Integer BrightnessFactor, Integer Contrast,
                                         Integer SaturationFactor, const TLKProgressEvent& OnProgress,
                                         TObject* Sender);
/// Equalises HSB brightness with the histogram counts raised to Exponent
/// (1: plain equalisation, 0: every level the same weight). Empty levels
/// weigh 0 for a negative exponent.
void LKContrast2(TLKBitmap* Bitmap, float Exponent, const TLKProgressEvent& OnProgress, TObject* Sender);
/// Saturation s (100 unchanged, 0 grey) on the 30/59/11 luma split.
void LKAdjustSaturation(TLKBitmap* Bitmap, Integer Saturation, const TLKProgressEvent& OnProgress,
                        TObject* Sender);
/// Turns the colour differences by Angle degrees around the 30/59/11 luma.
void LKAdjustTint(TLKBitmap* Bitmap, Integer Angle, const TLKProgressEvent& OnProgress, TObject* Sender);
/// LKContrast2 for HSB saturation and brightness at once, each with its own
/// exponent; the hue is kept.
void LKAutoSBHist(TLKBitmap* Bitmap, float SaturationExponent, float BrightnessExponent,
                  const TLKProgressEvent& OnProgress, TObject* Sender);
/// Channel Channel (0 blue, 1 green, 2 red) of pixel (x, y) takes that
/// channel of (x - DX, y - DY): with a negative FillValue the source is held
/// inside the picture (edges repeat), otherwise outside gives FillValue's
/// low byte. A channel outside 0..2 changes nothing.
void LKShift(TLKBitmap* Bitmap, Integer DX, Integer DY, Integer Channel, Integer FillValue,
             const TLKProgressEvent& OnProgress, TObject* Sender);
