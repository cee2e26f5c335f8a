// Per-camera raw loaders and the content tests identification uses to tell
// sibling models apart.
//
// A loader reads the sensor data of one family of camera files from the data
// offset (where identification leaves the stream) and stores each picture
// cell's sample in the image array through `store_cell`, scaled to about 14
// bits. Cells outside the picture are never written. Reads past the end of
// the file deliver zeros; every loader stops once the data has run out, so a
// truncated file leaves the rest of the picture black and never hangs.
// Allocation failures raise ": Out of memory in " followed by the loader's
// name.
#pragma once

#include "raw/lkrawstate.h"

// ---- Word loaders ---------------------------------------------------------

/// Rows of raw width 16-bit words (big- or little-endian), each sample the
/// word shifted right by `shift` (left by -shift); margins are not used.
void unpacked_load_raw(TRAWDecoderState& s, bool bigEndian, int shift);
/// 16-bit big-endian samples as stored (Leaf, Sinar).
void unpacked_be16_load_raw(TRAWDecoderState& s);
/// Big-endian words holding 14 significant bits in the high bits (E-10, E-20, QV-4000).
void unpacked_be12_high_load_raw(TRAWDecoderState& s);
/// Big-endian 12-bit words (MINOLTA, *ist D).
void unpacked_be12_low_load_raw(TRAWDecoderState& s);
/// Big-endian 10-bit words (KD-400Z, KD-510Z, DiMAGE G).
void unpacked_be10_low_load_raw(TRAWDecoderState& s);
/// Little-endian words with the sample in the high bits (E-1, DIGILUX 2, DMC-LC1).
void unpacked_le12_high_load_raw(TRAWDecoderState& s);

// ---- Bit- and byte-packed loaders ---------------------------------------------

/// One byte a sample (Creative, Casio QV-2000UX and QV-3*00EX).
void eight_bit_load_raw(TRAWDecoderState& s);
/// 12-bit values, most significant bit first; raw width counts bytes.
void packed_12_load_raw(TRAWDecoderState& s);
/// Nikon uncompressed 12-bit data; Coolpix files store the even rows first.
void nikon_load_raw(TRAWDecoderState& s);
/// Nikon E950: 10-bit values, rows interlaced by two.
void nikon_e950_load_raw(TRAWDecoderState& s);
/// Olympus C-series: 12-bit values, two fields each starting on a 2048-byte boundary.
void olympus_load_raw(TRAWDecoderState& s);
/// Casio QV-5700: four 10-bit samples in every five bytes.
void casio_qv5700_load_raw(TRAWDecoderState& s);
/// Canon PowerShot 600: 10-bit samples, rows interlaced; black from the masked columns.
void canon_600_load_raw(TRAWDecoderState& s);
/// Canon PowerShot A5, A50 and Pro70: 10-bit samples; black from the masked columns.
void canon_a5_load_raw(TRAWDecoderState& s);
/// Nikon E2100 and relatives: shuffled 12-bit samples, even rows first.
void nikon_e2100_load_raw(TRAWDecoderState& s);
/// Rollei d530flex: 10-bit samples split into a low and a high part.
void rollei_load_raw(TRAWDecoderState& s);
/// Nucore: little-endian words; the "BMQ" form stores its rows bottom-up in two fields.
void nucore_load_raw(TRAWDecoderState& s);

// ---- Huffman loaders ------------------------------------------------------------

/// Nikon compressed data: Huffman-coded differences through a tone curve.
/// Raises ": decoder table overflow" or ": corrupt data in " on damaged data.
void nikon_compressed_load_raw(TRAWDecoderState& s);
/// Sigma Foveon: three channels per cell, Huffman-coded differences.
void foveon_load_raw(TRAWDecoderState& s);

// ---- Kodak loaders ----------------------------------------------------------------

/// One byte a sample through the tone curve; black from the masked columns.
void kodak_easy_load_raw(TRAWDecoderState& s);
/// Compression 65000 colour-filter data: blocks of coded differences or plain words.
void kodak_compressed_load_raw(TRAWDecoderState& s);
/// Compression 65000 luminance and colour-difference data (no colour filter).
void kodak_yuv_load_raw(TRAWDecoderState& s);
/// Kodak DC120 uncompressed data: rows rotated by a per-row offset.
void kodak_dc120_load_raw(TRAWDecoderState& s);
/// Kodak DC120 JPEG data (16-bit words byte-swapped): each pixel pair of the
/// half-height colour picture holds a 2 x 2 block of cells. Raises
/// ": incorrect JPEG dimensions" when the picture is not width x height / 2
/// with 3 components, ELKJpegException on a JPEG library error.
void kodak_jpeg_load_raw(TRAWDecoderState& s);
/// Kodak DC40 and DC50: adaptive Huffman-coded planes.
void kodak_dc40_load_raw(TRAWDecoderState& s);

// ---- SuperCCD loaders (set the Fuji rotate flag) -----------------------------------

/// Fuji FinePixS2Pro.
void fuji_s2_load_raw(TRAWDecoderState& s);
/// Fuji FinePix S5000, S7000 and E550 (the form is chosen by the model).
void fuji_load_raw_common(TRAWDecoderState& s);
/// The common SuperCCD layout: `rows` rows of `words` big-endian words,
/// words 0..`last` placed along the diagonal.
void fuji_load_raw_common(TRAWDecoderState& s, Integer words, Integer last, Integer rows);
/// Fuji FinePix F700 and S20Pro (first or, with Fuji secondary, second half of each row).
void fuji_f700_load_raw(TRAWDecoderState& s);

// ---- Other makers -------------------------------------------------------------------

/// Phase One: big-endian words masked with two keys from the file.
void phase_one_load_raw(TRAWDecoderState& s);
/// Imacon Ixpress: rows bottom-up, columns mirrored.
void ixpress_load_raw(TRAWDecoderState& s);
/// Sony DSC-F828: scrambled words; black from the masked columns.
void sony_load_raw(TRAWDecoderState& s);
/// Unmasks `count` 32-bit words in place with the Sony keystream; `restart`
/// seeds the generator from `key`, otherwise it runs on from the last call.
void sony_descramble(TRAWDecoderState& s, Cardinal* words, Integer count, Cardinal key, bool restart);

// ---- Content tests ----------------------------------------------------------------

/// True when a Nikon file holds compressed data (compression 34713; for the
/// D100 only when the data shows it).
bool nikon_is_compressed(TRAWDecoderState& s);
/// True for an E990 (and false for an E995) file of the shared file size.
bool nikon_e990_test(TRAWDecoderState& s);
/// True when the data has the bit pattern of the E2100 layout.
bool nikon_e2100_test(TRAWDecoderState& s);
/// True when the last 424 bytes of the file are not all zero (DiMAGE Z2).
bool minolta_z2_test(TRAWDecoderState& s);
