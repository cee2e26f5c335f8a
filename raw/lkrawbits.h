// Bit reader, Huffman trees and the lossless-JPEG and Canon compressed raw
// loaders of the camera RAW decoder.
#pragma once

#include "raw/lkrawstate.h"

/// Bits of a count-and-value table: 16 code counts (lengths 1..16), then the
/// values in code order. Tables built into the decoder.
extern const Byte kCanonFirstTree[3][29];
extern const Byte kCanonSecondTree[3][180];
/// Nikon compressed data: the counts give 14 codes; the 14th value is 0.
extern const Byte kNikonTree[30];

/// Returns the next `n` bits of the data, most significant first.
/// n = 0 returns 0 and reads nothing; n = -1 empties the buffer, refills it
/// and returns 0. Refills one byte at a time while fewer than 25 bits are
/// buffered; with zero_after_ff the byte after each 0xFF is dropped.
/// Raises ": corrupt data in get_bits()" for n outside -1..25.
Cardinal get_bits(TRAWDecoderState& s, int n);

/// Zeroes every node; the free cursor goes to the first node.
void init_node_pool(TRAWDecoderState& s);
/// Builds a tree from the count-and-value table `table` of `len` bytes at
/// the next free nodes (call with level 0). Returns how many table bytes it
/// consumed (16 + the number of leaves). Values missing from a short table
/// read as 0. Raises ": decoder table overflow" when the pool runs out.
Integer make_huffman_decoder(TRAWDecoderState& s, const Byte* table, Integer len, int level);
/// Builds the Foveon tree from 1024 code words (call with code 0): a word's
/// top 5 bits are its length, the low 27 bits its code, its index the value.
void foveon_make_decoder(TRAWDecoderState& s, const Cardinal* codes, Cardinal code);
/// Builds the two Canon trees of table set `index` (0..2; larger uses 2):
/// the first at pool[0], the second at s.second_decode.
void canon_init_tables(TRAWDecoderState& s, Cardinal index);
/// Decodes one leaf value by walking from `root` one bit at a time.
Integer huff_decode(TRAWDecoderState& s, const TRAWHuffNode* root);
/// Reads a difference of `len` bits: when the top bit is 0 the value is
/// bits - (2^len - 1). len 0 gives 0. A length above 16 can only come from a
/// damaged file: raises ": corrupt data in " + stage.
Integer read_difference(TRAWDecoderState& s, Integer len, const char* stage);

/// True when Canon CIFF data carries the two low bits of each sample in a
/// block of their own (looked up from the first 16384 bytes).
bool canon_has_lowbits(TRAWDecoderState& s);
/// Canon CIFF compressed data (bands of 8 rows, 64-sample blocks).
void canon_compressed_load_raw(TRAWDecoderState& s);
/// Lossless-JPEG data of TIFF-based Canon files and Kodak DCS compression 7.
void lossless_jpeg_load_raw(TRAWDecoderState& s);
