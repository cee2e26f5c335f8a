// Working state of one camera RAW decode and the small helpers every stage of
// the decoder uses: bounded byte-order reads over the source, colour-filter
// addressing, allocation checks and progress.
//
// All reads from the file go through the read helpers below. They never read
// outside the source: positions past its end (or before its start) deliver 0
// bytes and are counted, so loaders can stop once the data has run out
// (`stream_exhausted`) instead of decoding gigabytes of zeros.
#pragma once

#include <array>
#include <cstddef>
#include <cstdint>
#include <functional>
#include <memory>
#include <vector>

#include "core/hylkdefs.h"
#include "platform/classes.h"
#include "platform/system.h"

/// Source of the bytes of one camera file. The decoder reads only through
/// this interface, so it can sit over a platform stream, the buffered view
/// of the reader or a memory block.
class TRAWSource {
 public:
  virtual ~TRAWSource() = default;
  /// Reads up to `count` bytes at absolute position `pos` into `buf`;
  /// returns the number of bytes read (0 at or past the end).
  virtual Int64 ReadAt(Int64 pos, void* buf, Int64 count) = 0;
  /// Total size of the source in bytes.
  virtual Int64 Size() = 0;
};

/// A source over a platform stream (a file, the reader's buffered view, ...).
/// Moves the stream's position as it reads; the stream is not owned.
class TRAWStreamSource : public TRAWSource {
 public:
  explicit TRAWStreamSource(TStream* stream) : Stream(stream) {}
  Int64 ReadAt(Int64 pos, void* buf, Int64 count) override;
  Int64 Size() override { return Stream ? Stream->Size() : 0; }

 private:
  TStream* Stream;
};

/// A source over a memory block owned by the caller.
class TRAWMemorySource : public TRAWSource {
 public:
  /// `data` must stay valid while the source is used.
  TRAWMemorySource(const void* data, Int64 size)
      : Data(static_cast<const Byte*>(data)), Len(size < 0 ? 0 : size) {}
  Int64 ReadAt(Int64 pos, void* buf, Int64 count) override;
  Int64 Size() override { return Len; }

 private:
  const Byte* Data;
  Int64 Len;
};

struct TRAWDecoderState;

/// A raw loader: reads the sensor data from the data offset into the image.
using TRAWLoader = void (*)(TRAWDecoderState& s);

/// One node of a Huffman decoding tree: a node whose first branch is null is
/// a leaf holding `leaf`.
struct TRAWHuffNode {
  TRAWHuffNode* branch[2];
  Integer leaf;
};

/// Number of nodes in the fixed Huffman node pool.
constexpr int kRAWHuffPoolSize = 2048;
/// Entries of a tone curve (Kodak, lossless JPEG).
constexpr int kRAWCurveSize = 4096;
/// Bytes the read helpers may serve past the end of the source before a
/// loader treats the data as exhausted (bit readers legitimately prefetch a
/// few bytes beyond the last code).
constexpr Int64 kRAWOverrunSlack = 256;

/// Four samples (colours 0..3) of one image cell.
using TRAWCell = std::array<Word, 4>;

/// Working record of one camera RAW decode. Every routine of the decoder
/// takes it as its first argument; it lives for one read or probe call.
/// It is large (about 95 KB): create it on the heap.
struct TRAWDecoderState {
  // --- Picture -----------------------------------------------------------
  /// iheight × iwidth cells; sized and zero-filled by `alloc_image`.
  std::vector<TRAWCell> image;

  // --- Source --------------------------------------------------------------
  /// The file being decoded; set with `set_source`.
  TRAWSource* stream = nullptr;
  /// 0x4949 ("II") reads little-endian, every other value big-endian.
  Word order = 0x4949;

  // --- Identity (zero-terminated texts; the last byte stays 0) ------------
  char make[64] = {};
  char model[64] = {};
  /// TIFF tag 33405 text (Kodak back names).
  char model2[64] = {};
  Integer timestamp = 0;

  // --- Layout --------------------------------------------------------------
  Int64 data_offset = 0;
  Int64 curve_offset = 0;
  Integer curve_length = 0;
  Integer compression = 0, photometric = 0;
  Integer raw_height = 0, raw_width = 0;
  Integer top_margin = 0, left_margin = 0;
  Integer height = 0, width = 0;
  Integer colors = 3;
  Integer black = 0, maximum = 0x4000;
  Integer iheight = 0, iwidth = 0, shrink = 0;

  // --- Flags -----------------------------------------------------------------
  bool is_canon = false;
  bool use_cmy = false;     ///< CMY sensor
  bool is_foveon = false;
  bool use_coeff = false;   ///< colour matrix in use
  bool trim = false;        ///< demosaicing ran; output drops a one-cell border
  Integer flip = 0;
  Integer xmag = 1, ymag = 1;
  bool zero_after_ff = false;
  /// Colour of each cell of an 8 × 2 tile, 2 bits per cell; 0 = no filter.
  Cardinal filters = 0;
  /// Canon white-sample block.
  SmallInt white[8][8] = {};
  /// Selected raw loader; null = file not decodable.
  TRAWLoader load_raw = nullptr;
  /// Set by a loader that finds no sensor data where the file places it, or
  /// a layout it cannot decode (`mark_data_missing`).
  bool data_missing = false;

  // --- Settings ------------------------------------------------------------
  float gamma = 0.6f, bright = 1.0f, red_scale = 1.0f, blue_scale = 1.0f;
  bool four_color_rgb = false, document_mode = false, quick_interpolate = false;
  bool use_auto_wb = false, use_camera_wb = false, fuji_secondary = false;

  // --- Colour ----------------------------------------------------------------
  /// Camera's own balance; -1 means unusable.
  float camera_red = 0, camera_blue = 0;
  float pre_mul[4] = {1, 1, 1, 1};
  /// Colour matrix, rows R, G, B over the sensor colours.
  float coeff[3][4] = {};

  // --- Statistics ------------------------------------------------------------
  Integer histogram[0x2000] = {};

  // --- Buffers -------------------------------------------------------------
  Byte jpeg_buffer[4096] = {};
  Cardinal sony_pad[128] = {};
  Integer sony_index = 0;

  // --- Bit reader ------------------------------------------------------------
  Cardinal bitbuf = 0;
  Integer vbits = 0;
  /// Leaf counter while building a Huffman tree.
  Integer leaf = 0;
  /// Kodak DC40/DC50 decoder: cursor into its code table, tree roots and the
  /// current node.
  Integer radc_cursor = 0;
  TRAWHuffNode* radc_root[18] = {};
  TRAWHuffNode* radc_node = nullptr;
  /// Cursor into the demosaic terms table.
  const signed char* vng_cursor = nullptr;

  // --- Huffman ---------------------------------------------------------------
  TRAWHuffNode pool[kRAWHuffPoolSize] = {};
  /// Root of the second tree of a pair (the first is pool[0]).
  TRAWHuffNode* second_decode = nullptr;
  /// Next free node of the pool.
  TRAWHuffNode* free_decode = nullptr;

  // --- Output ----------------------------------------------------------------
  bool fuji_rotate = false;

  // --- Progress --------------------------------------------------------------
  /// A copy of the caller's record; its step factor is reused by the loaders.
  TProgressRec progress;

  // --- Read position (private to the read helpers) ------------------------
  Int64 file_size = 0;   ///< size of the source, read once by set_source
  Int64 pos = 0;         ///< logical position of the next read
  Int64 overrun = 0;     ///< bytes served from outside the source
  Int64 win_start = 0;   ///< file position of win[0]
  Integer win_len = 0;   ///< valid bytes in win
  Byte win[8192] = {};
};

// ---- Source and position ----------------------------------------------------

/// Attaches a source: caches its size, position 0, clears the overrun count.
void set_source(TRAWDecoderState& s, TRAWSource* src);
/// Clears only the bit-reader, tree-building and table-cursor words (the
/// reset before identification).
void reset_decoder_state(TRAWDecoderState& s);
/// Current read position.
inline Int64 stream_position(const TRAWDecoderState& s) { return s.pos; }
/// Moves the read position (any value; reads outside the source give 0).
inline void stream_seek(TRAWDecoderState& s, Int64 pos) { s.pos = pos; }
/// Moves the read position by `delta` bytes.
inline void stream_skip(TRAWDecoderState& s, Int64 delta) { s.pos += delta; }
/// Size of the source in bytes.
inline Int64 stream_size(const TRAWDecoderState& s) { return s.file_size; }
/// Bytes left between the position and the end (0 when past it).
inline Int64 stream_remaining(const TRAWDecoderState& s) {
  return s.pos >= s.file_size ? 0 : s.pos < 0 ? s.file_size : s.file_size - s.pos;
}
/// True once reads have gone well past the end of the data since the last
/// `reset_overrun`: loaders stop there and leave the rest of the picture zero.
inline bool stream_exhausted(const TRAWDecoderState& s) { return s.overrun > kRAWOverrunSlack; }
/// Forgets earlier reads past the end; a loader calls it when it starts on
/// its data.
inline void reset_overrun(TRAWDecoderState& s) { s.overrun = 0; }
/// A loader found no sensor data it can decode: the development fails with
/// the abort flag instead of showing the zeroed cells as a black picture.
inline void mark_data_missing(TRAWDecoderState& s) { s.data_missing = true; }

// ---- Reads (byte order of the state) ------------------------------------------

/// Reads one byte through a refill of the read window; 0 outside the source.
Byte read_byte_slow(TRAWDecoderState& s);
/// Reads one byte; 0 outside the source.
inline Byte read_byte(TRAWDecoderState& s) {
  Int64 off = s.pos - s.win_start;
  if (off >= 0 && off < s.win_len) {
    ++s.pos;
    return s.win[off];
  }
  return read_byte_slow(s);
}
/// Reads two bytes, little-endian when order is 0x4949, else big-endian.
Word read_u16(TRAWDecoderState& s);
/// Reads four bytes, little-endian when order is 0x4949, else big-endian.
Cardinal read_u32(TRAWDecoderState& s);
/// Reads `n` bytes into `buf`; bytes outside the source are 0. Returns the
/// number of bytes that came from the source.
Int64 read_bytes(TRAWDecoderState& s, void* buf, Int64 n);
/// Reads a fixed text field of `n` bytes into `dst` (capacity `n` or more)
/// and makes sure it is zero-terminated within `cap` bytes.
void read_text(TRAWDecoderState& s, char* dst, size_t cap, Int64 n);
/// Convenience: reads a 16-bit value at `pos` (position left after it).
inline Word read_u16_at(TRAWDecoderState& s, Int64 pos) { stream_seek(s, pos); return read_u16(s); }
/// Convenience: reads a 32-bit value at `pos` (position left after it).
inline Cardinal read_u32_at(TRAWDecoderState& s, Int64 pos) { stream_seek(s, pos); return read_u32(s); }

// ---- Colour filter and image ------------------------------------------------------

/// Colour (0..3) of sensor cell (row, col) under filter pattern `filters`.
inline int cell_color(Cardinal filters, Integer row, Integer col) {
  unsigned k = ((static_cast<unsigned>(row) << 1) & 14u) + (static_cast<unsigned>(col) & 1u);
  return static_cast<int>((filters >> (k << 1)) & 3u);
}
inline int cell_color(const TRAWDecoderState& s, Integer row, Integer col) {
  return cell_color(s.filters, row, col);
}
/// Sizes the image array to iheight × iwidth zero-filled cells; raises
/// EOutOfMemory when it cannot be allocated or is implausibly large.
void alloc_image(TRAWDecoderState& s);
/// Stores `v` in the sample of colour cell_color(row, col) of the cell that
/// holds (row, col) (shrink applied). Cells outside 0 ≤ row < height,
/// 0 ≤ col < width, or outside the image array, are never written.
inline void store_cell(TRAWDecoderState& s, Integer row, Integer col, Word v) {
  if (row < 0 || col < 0 || row >= s.height || col >= s.width) return;
  size_t r = static_cast<size_t>(row >> s.shrink), c = static_cast<size_t>(col >> s.shrink);
  if (r >= static_cast<size_t>(s.iheight) || c >= static_cast<size_t>(s.iwidth)) return;
  size_t idx = r * static_cast<size_t>(s.iwidth) + c;
  if (idx >= s.image.size()) return;
  s.image[idx][cell_color(s.filters, row, col)] = v;
}
/// Stores `v` in channel `ch` (0..3) of cell (row, col), for loaders of
/// sensors without a colour filter; the same bounds as store_cell.
inline void store_channel(TRAWDecoderState& s, Integer row, Integer col, int ch, Word v) {
  if (row < 0 || col < 0 || row >= s.height || col >= s.width || ch < 0 || ch > 3) return;
  size_t r = static_cast<size_t>(row >> s.shrink), c = static_cast<size_t>(col >> s.shrink);
  if (r >= static_cast<size_t>(s.iheight) || c >= static_cast<size_t>(s.iwidth)) return;
  size_t idx = r * static_cast<size_t>(s.iwidth) + c;
  if (idx >= s.image.size()) return;
  s.image[idx][ch] = v;
}

// ---- Errors and progress ----------------------------------------------------------

/// Raises Exception(": Out of memory in " + stage) when `block` is null.
void check_alloc(const void* block, const char* stage);
/// Raises Exception(": corrupt data in " + stage): compressed data that can
/// only come from a damaged or hostile file.
[[noreturn]] void raise_corrupt(const char* stage);
/// Allocates `count` elements of T, value-initialised; raises
/// ": Out of memory in " + stage when that fails (or count is negative).
template <typename T>
std::unique_ptr<T[]> raw_alloc(Int64 count, const char* stage) {
  T* p = nullptr;
  if (count >= 0 && static_cast<UInt64>(count) <= SIZE_MAX / sizeof(T))
    p = new (std::nothrow) T[static_cast<size_t>(count ? count : 1)]();
  check_alloc(p, stage);
  return std::unique_ptr<T[]>(p);
}
/// Per-row progress of a loader: sets the step factor to 100 / rows / 2 and
/// reports trunc(row × factor) when an event is assigned (loading covers
/// 0..50 percent).
void raw_progress_row(TRAWDecoderState& s, Integer row, Integer rows);
/// Reports an absolute percentage when an event is assigned.
void raw_progress(TRAWDecoderState& s, Integer percent);

// ---- Text helpers -----------------------------------------------------------

/// Position of the first `n`-byte `pat` inside `block` of `len` bytes, or -1.
Int64 mem_search(const void* block, Int64 len, const void* pat, Int64 n);
/// True when the zero-terminated `a` begins with the zero-terminated `prefix`.
bool text_starts(const char* a, const char* prefix);
/// Case-insensitive (ASCII) equality of zero-terminated texts.
bool text_equal_ci(const char* a, const char* b);
/// Copies `src` into a 64-byte text field, truncating and terminating.
void set_text(char (&dst)[64], const char* src);

// ---- Tone curve ---------------------------------------------------------------

/// Builds the 4096-entry tone curve of Kodak and lossless-JPEG data: identity,
/// or, when a curve offset is set (for KODAK files looked up as tag 2317 in
/// the directory at offset 12), curve_length 16-bit entries from there with
/// the last one repeated; maximum becomes the last entry × 4. Leaves the
/// position at the data offset.
void kodak_read_curve(TRAWDecoderState& s, Word* curve);
