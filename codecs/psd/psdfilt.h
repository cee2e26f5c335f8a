// Layered documents of the "8BPS" format: header, colour-mode data, image
// resources, layers with their masks, and the merged picture; 1, 8 and 16
// bits per channel in bitmap, grey, indexed, RGB, CMYK, duotone and Lab
// modes.
#pragma once

#include "core/hylkdefs.h"
#include "core/lkbitmap.h"
#include "core/lkblend.h"
#include "io/lkparams.h"
#include "platform/classes.h"

/// True when the 26-byte header has the "8BPS" signature, version 1, 1 to
/// 24 channels, depth 1 to 16 and a mode below 10; position restored.
bool LKTryPSD(TStream* Stream);

/// Reads the document at the stream's position. Bitmap (may be null)
/// receives the merged picture; with LoadLayers (or when the document has
/// exactly one layer) Layers (may be null) receives one new TLKLayer per
/// layer, a user mask as a mask layer right after its layer (the caller
/// frees them). With a null bitmap and list only the parameters are
/// filled. Headers that fail the checks, layer tables or channel sizes the
/// file cannot hold, and pictures past the allocation gate set the abort
/// flag before anything is allocated.
void LKReadPSD(TStream* Stream, TLKBitmap* Bitmap, TIOParamsVals& Params, TProgressRec& Progress, bool LoadLayers,
               TList* Layers);

/// Takes the white out of the colours of B's partly transparent pixels: the
/// merged picture of a document with transparency is stored blended over
/// white. RGB pictures (8 or 16 bits) with an alpha channel; others are left
/// as they are (other readers show grey documents as stored).
void LKPSDRemoveWhiteMatte(TLKBitmap& B);

/// Writes Bitmap as the merged picture with the layers of Layers (TLKLayer
/// objects; null or empty: the bitmap alone as one layer). A bitmap whose
/// pixel format has no colour mode (lknull, lk32f), or wider or higher than
/// 30000 pixels, sets the abort flag and nothing is written.
void LKWritePSD(TStream* Stream, TIOParamsVals& Params, TProgressRec& Progress, TLKBitmap* Bitmap, TList* Layers);

/// The blend mode key of a layer operation ("norm" for operations without
/// one) and the operation of a key (lklNormal for unknown keys).
const char* LKPSDBlendKey(TLKRenderOperation Operation);
TLKRenderOperation LKPSDBlendOperation(const char* Key);
