// One TIFF page on its way from the page reader to the strip and tile
// decoder: the tags that govern decoding, read once.
#pragma once

#include <vector>

#include "codecs/tiff/tiffdir.h"
#include "core/lkbitmap.h"
#include "core/lkmask.h"
#include "io/lkparams.h"

struct TTIFFVars {
  Integer ImageWidth = 0;
  Integer ImageLength = 0;
  Integer SamplesPerPixel = 1;
  Integer BitsPerSample = 1;
  Integer RowsPerStrip = 0;
  Integer TileWidth = -1;
  Integer TileLength = -1;
  Integer Photometric = 2;
  Integer PlanarConfig = 1;
  Integer Compression = 1;
  Integer Predictor = 1;
  Integer T4Options = 0;
  Integer T6Options = 0;
  Integer FillOrder = 1;
  Integer ExtraSamples = 0;
  Integer YCbCrSubX = 2, YCbCrSubY = 2;
  std::vector<Integer> StripOffsets, StripByteCounts, TileOffsets, TileByteCounts;
  std::vector<TRGB> ColorMap;       ///< blue, green, red entries
  std::vector<Byte> JPEGTables;     ///< abbreviated JPEG holding the tables
  String Software;
  TTIFFLZWDecompFunc LZW = nullptr; ///< decoder hook in use
  bool LittleEndian = true;
  TIOParamsVals* Params = nullptr;
  TLKMask* AlphaMask = nullptr;     ///< receives alpha samples; may be nil
  bool IgnoreAlpha = false;
};

/// Decodes a strip-organised page into Bitmap (allocated by the caller at
/// the page size). A row that fails to decode, a strip the data does not
/// hold and an undecodable JPEG strip set the abort flag; rows decoded
/// before stay.
void TIFFReadStrips(const TTIFFEnv& Env, TTIFFVars& Vars, TLKBitmap* Bitmap, TProgressRec& Progress);
/// Decodes a tiled page; edge tiles are clipped to the picture. Separate
/// planes and tiles of unreasonable size set the abort flag.
void TIFFReadTiles(const TTIFFEnv& Env, TTIFFVars& Vars, TLKBitmap* Bitmap, TProgressRec& Progress);

/// The pixel format a page decodes into (Native: the page's own format
/// where the library has one).
TLKPixelFormat TIFFPixelFormat(const TTIFFVars& Vars, bool Native);

/// PackBits: decodes from Src (advancing it, never past End) into exactly
/// Len bytes of Dst; bytes the data does not give stay as they were.
/// Returns false when the data ended before the row was full.
bool TIFFPackBitsDecode(const Byte*& Src, const Byte* End, Byte* Dst, size_t Len);
