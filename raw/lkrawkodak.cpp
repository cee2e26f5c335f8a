// Kodak raw loaders: the plain byte form, the compression 65000 forms (colour
// filter and luminance/colour difference), the DC120 uncompressed form and
// the adaptive Huffman coding of the DC40 and DC50, and the DC120 JPEG form.
#include <algorithm>
#include <cstring>

#include "codecs/jpeg/jpegfilt.h"

#include "raw/lkrawbits.h"
#include "raw/lkrawloaders.h"

namespace {

// Curve entry for a decoded value; values outside the curve take its ends.
Word CurveAt(const Word* curve, Int64 v) { return curve[std::clamp<Int64>(v, 0, kRAWCurveSize - 1)]; }

// Bit reader of the compression 65000 blocks: bits are taken from the low
// end, and every refill appends four bytes as two 16-bit words, each stored
// low byte second.
struct TKodakBits {
  UInt64 buf = 0;
  int bits = 0;

  void Reset() {
    buf = 0;
    bits = 0;
  }
  // Blocks whose length leaves four columns over start with 16 bits.
  void Preload(TRAWDecoderState& s, Integer len) {
    if (len % 8 == 4) {
      const Byte b0 = read_byte(s), b1 = read_byte(s);
      buf = UInt64(b0) << 8 | b1;
      bits = 16;
    }
  }
  // A difference of n bits (0..15) with the sign rule of the Huffman loaders.
  Integer Diff(TRAWDecoderState& s, int n) {
    if (bits < n) {
      Byte b[4];
      for (Byte& x : b) x = read_byte(s);
      buf |= UInt64(Cardinal(b[0]) << 8 | b[1] | Cardinal(b[2]) << 24 | Cardinal(b[3]) << 16) << bits;
      bits += 32;
    }
    Integer d = Integer(buf & ((UInt64(1) << n) - 1));
    buf >>= n;
    bits -= n;
    if (n && (d & (1 << (n - 1))) == 0) d -= (1 << n) - 1;
    return d;
  }
};

// Reads the code lengths of a block: one nibble per value, low nibble first.
void ReadLengths(TRAWDecoderState& s, Byte* len, Integer count) {
  Byte packed[192];
  const Integer bytes = std::min<Integer>(count / 2, sizeof(packed));
  read_bytes(s, packed, bytes);
  std::fill_n(len, count, Byte(0));
  for (Integer i = 0; i < bytes * 2; ++i) len[i] = (packed[i / 2] >> (4 * (i & 1))) & 15;
}

}  // namespace

void kodak_easy_load_raw(TRAWDecoderState& s) {
  Word curve[kRAWCurveSize];
  kodak_read_curve(s, curve);
  const bool masked = s.raw_width > s.width;
  if (masked) s.black = 0;
  auto buf = raw_alloc<Byte>(std::max(s.raw_width, 0), "kodak_easy_load_raw()");
  Int64 sum = 0;
  for (Integer row = 0; row < s.height && !stream_exhausted(s); ++row) {
    raw_progress_row(s, row, s.height);
    read_bytes(s, buf.get(), s.raw_width);
    for (Integer col = 0; col < s.raw_width; ++col) {
      const Word v = curve[buf[col]];
      const Integer c = col - s.left_margin;
      if (c >= 0 && c < s.width)
        store_cell(s, row, c, Word(v << 2));
      else if (masked)
        sum += v;
    }
  }
  if (masked && s.height > 0) s.black = Integer(sum * 4 / (Int64(s.raw_width - s.width) * s.height));
  if (std::strncmp(s.model, "DC2", 3) == 0) s.black = 0;
}

void kodak_compressed_load_raw(TRAWDecoderState& s) {
  Word curve[kRAWCurveSize];
  kodak_read_curve(s, curve);
  Byte blen[256];
  Integer sample[256];
  TKodakBits bits;
  for (Integer row = 0; row < s.height && !stream_exhausted(s); ++row) {
    raw_progress_row(s, row, s.height);
    for (Integer col = 0; col < s.width; col += 256) {
      const Integer len = std::min(256, s.width - col);
      const Int64 start = stream_position(s);
      ReadLengths(s, blen, len);
      const bool plain = std::any_of(blen, blen + len, [](Byte n) { return n > 12; });
      if (plain) stream_seek(s, start);
      bits.Reset();
      Integer pred[2] = {0, 0};
      bits.Preload(s, len);
      if (plain) {
        for (Integer i = 0; i < len; i += 8) {
          Byte b[12];
          read_bytes(s, b, sizeof(b));
          Cardinal w[6];
          for (int k = 0; k < 6; ++k) w[k] = Cardinal(b[2 * k]) << 8 | b[2 * k + 1];
          const Integer v[8] = {Integer((w[0] >> 12) * 256 + (w[2] >> 12) * 16 + (w[4] >> 12)),
                                Integer((w[1] >> 12) * 256 + (w[3] >> 12) * 16 + (w[5] >> 12)),
                                Integer(w[0] & 0xFFF), Integer(w[1] & 0xFFF), Integer(w[2] & 0xFFF),
                                Integer(w[3] & 0xFFF), Integer(w[4] & 0xFFF), Integer(w[5] & 0xFFF)};
          for (Integer j = 0; j < 8 && i + j < len; ++j) sample[i + j] = v[j];
        }
      } else {
        for (Integer i = 0; i < len; ++i) {
          pred[i & 1] += bits.Diff(s, blen[i]);
          sample[i] = pred[i & 1];
          // Runaway predictors only come from damaged data; keep them in range.
          pred[i & 1] = std::clamp(pred[i & 1], -0x10000, 0x10000);
        }
      }
      for (Integer i = 0; i < len; ++i) store_cell(s, row, col + i, Word(CurveAt(curve, sample[i]) << 2));
    }
  }
}

void kodak_yuv_load_raw(TRAWDecoderState& s) {
  Word curve[kRAWCurveSize];
  kodak_read_curve(s, curve);
  Byte blen[384];
  Integer nlen = 0, li = 0;
  TKodakBits bits;
  Integer ypred[2] = {0, 0}, cb = 0, cr = 0;
  for (Integer row = 0; row < s.height && !stream_exhausted(s); row += 2) {
    raw_progress_row(s, row, s.height);
    for (Integer col = 0; col < s.width; col += 2) {
      if (col % 128 == 0) {
        nlen = Integer(std::min<Int64>(384, (Int64(s.width - col) * 3 + 3) / 4 * 4));
        ReadLengths(s, blen, nlen);
        li = 0;
        bits.Reset();
        ypred[0] = ypred[1] = cb = cr = 0;
        bits.Preload(s, nlen);
      }
      Integer d[6];
      for (Integer& x : d) x = bits.Diff(s, li < nlen ? blen[li++] : 0);
      Integer y[4];
      y[0] = ypred[0] + d[0];
      y[1] = y[0] + d[1];
      y[2] = ypred[1] + d[2];
      y[3] = y[2] + d[3];
      // Runaway values only come from damaged data; keep them in range.
      ypred[0] = std::clamp(y[1], -0x10000, 0x10000);
      ypred[1] = std::clamp(y[3], -0x10000, 0x10000);
      cb = std::clamp(cb + d[4], -0x10000, 0x10000);
      cr = std::clamp(cr + d[5], -0x10000, 0x10000);
      for (int i = 0; i < 4; ++i) {
        const Integer rgb[3] = {y[i] + cr, y[i], y[i] + cb};
        for (int c = 0; c < 3; ++c)
          if (rgb[c] > 0) store_channel(s, row + i / 2, col + i % 2, c, Word(CurveAt(curve, rgb[c]) << 2));
      }
    }
  }
}

void kodak_dc120_load_raw(TRAWDecoderState& s) {
  static const Integer kMul[4] = {162, 192, 187, 92};
  static const Integer kAdd[4] = {0, 636, 424, 212};
  Byte pixel[848];
  for (Integer row = 0; row < s.height && !stream_exhausted(s); ++row) {
    raw_progress_row(s, row, s.height);
    read_bytes(s, pixel, sizeof(pixel));
    const Int64 shift = Int64(row) * kMul[row & 3] + kAdd[row & 3];
    for (Integer col = 0; col < s.width; ++col) store_cell(s, row, col, Word(pixel[(col + shift) % 848] << 6));
  }
}

// ------------------------------------------------------------- DC120 JPEG

namespace {

// The decode whose data the JPEG library is reading on this thread: the
// library's fill-input routine carries no context of its own.
thread_local TRAWDecoderState* tJpegState = nullptr;

// Hands the next block of the state's stream to the JPEG library with the
// bytes of every 16-bit word swapped (the camera stores the JPEG data in
// little-endian words). Once the data has run out, an end-of-image marker
// lets the library finish with what it has instead of reading further.
bool kodak_jpeg_fill_input(void* Decomp) {
  TRAWDecoderState& s = *tJpegState;
  Int64 got = 0;
  try {
    got = read_bytes(s, s.jpeg_buffer, sizeof(s.jpeg_buffer));
  } catch (...) {
    got = 0;
  }
  if (got <= 0) {
    s.jpeg_buffer[0] = 0xFF;
    s.jpeg_buffer[1] = 0xD9;
    LKJPEG_SetNextInput(Decomp, s.jpeg_buffer, 2);
    return true;
  }
  // An odd final byte is paired with the zero that pads the buffer.
  got += got & 1;
  for (Int64 i = 0; i + 1 < got; i += 2) std::swap(s.jpeg_buffer[i], s.jpeg_buffer[i + 1]);
  LKJPEG_SetNextInput(Decomp, s.jpeg_buffer, size_t(got));
  return true;
}

// Owns the decompression record and its error manager for one decode.
struct TKodakJpegDecomp {
  void* decomp = nullptr;
  void* err = nullptr;
  bool created = false;
  TRAWDecoderState* prevState = nullptr;

  explicit TKodakJpegDecomp(TRAWDecoderState& s) : prevState(tJpegState) {
    tJpegState = &s;
    decomp = LKJPEG_CreateDecompStruct();
    err = LKJPEG_CreateErrMgr(decomp);
    LKJPEG_CreateDecompress(decomp);
    created = true;
  }
  ~TKodakJpegDecomp() {
    if (created) LKJPEG_DestroyDecompress(decomp);
    LKJPEG_FreeDecompStruct(decomp);
    LKJPEG_FreeErrMgr(err);
    tJpegState = prevState;
  }
  TKodakJpegDecomp(const TKodakJpegDecomp&) = delete;
  TKodakJpegDecomp& operator=(const TKodakJpegDecomp&) = delete;
};

}  // namespace

void kodak_jpeg_load_raw(TRAWDecoderState& s) {
  TKodakJpegDecomp jpeg(s);
  void* d = jpeg.decomp;
  LKJPEG_SetReadStream(d, nullptr);
  LKJPEG_SetFillInputBuffer(d, kodak_jpeg_fill_input);
  LKJPEG_ReadHeader(d, true);
  LKJPEG_StartDecompress(d);
  const Integer outHeight = s.height / 2;
  if (LKJPEG_GetOutputWidth(d) != s.width || LKJPEG_GetOutputHeight(d) != outHeight ||
      LKJPEG_GetOutputComponents(d) != 3)
    throw Exception(": incorrect JPEG dimensions");
  Byte** line = LKJPEG_AllocSArray(d, 1, Cardinal(s.width) * 3, 1);
  // Each output pixel pair P, Q covers a 2 x 2 block of cells: the second
  // component holds the diagonal cells singly (P the upper left, Q the lower
  // right), the first summed over the pair the upper right, the third summed
  // the lower left.
  while (LKJPEG_GetOutputScanline(d) < outHeight) {
    const Integer j = LKJPEG_GetOutputScanline(d);
    raw_progress_row(s, j, outHeight);
    if (LKJPEG_ReadScanlines(d, line, 1) != 1) return mark_data_missing(s);
    const Byte* px = line[0];
    for (Integer c = 0; c + 1 < s.width; c += 2) {
      const Byte* p = px + size_t(c) * 3;
      const Byte* q = p + 3;
      store_cell(s, 2 * j, c, Word(p[1] << 6));
      store_cell(s, 2 * j + 1, c + 1, Word(q[1] << 6));
      store_cell(s, 2 * j, c + 1, Word((p[0] + q[0]) << 5));
      store_cell(s, 2 * j + 1, c, Word((p[2] + q[2]) << 5));
    }
  }
  LKJPEG_FinishDecompress(d);
}

// ------------------------------------------------------------- DC40 and DC50

namespace {

// Code trees of the DC40 coding: pairs of code length and value.
struct TRadcPair {
  Byte len;
  SmallInt value;
};
const TRadcPair kRadcTrees[18][9] = {
    {{1, 1}, {2, 3}, {3, 4}, {4, 2}, {5, 7}, {6, 5}, {7, 6}, {7, 8}},
    {{1, 0}, {2, 1}, {3, 3}, {4, 4}, {5, 2}, {6, 7}, {7, 6}, {8, 5}, {8, 8}},
    {{2, 1}, {2, 3}, {3, 0}, {3, 2}, {3, 4}, {4, 6}, {5, 5}, {6, 7}, {6, 8}},
    {{2, 0}, {2, 1}, {2, 3}, {3, 2}, {4, 4}, {5, 6}, {6, 7}, {7, 5}, {7, 8}},
    {{2, 1}, {2, 4}, {3, 0}, {3, 2}, {3, 3}, {4, 7}, {5, 5}, {6, 6}, {6, 8}},
    {{2, 3}, {3, 1}, {3, 2}, {3, 4}, {3, 5}, {3, 6}, {4, 7}, {5, 0}, {5, 8}},
    {{2, 3}, {2, 6}, {3, 0}, {3, 1}, {4, 4}, {4, 5}, {4, 7}, {5, 2}, {5, 8}},
    {{2, 4}, {2, 7}, {3, 3}, {3, 6}, {4, 1}, {4, 2}, {4, 5}, {5, 0}, {5, 8}},
    {{2, 6}, {3, 1}, {3, 3}, {3, 5}, {3, 7}, {3, 8}, {4, 0}, {5, 2}, {5, 4}},
    {{2, 0}, {2, 1}, {3, 2}, {3, 3}, {4, 4}, {4, 5}, {5, 6}, {5, 7}, {4, 8}},
    {{1, 0}, {2, 2}, {2, -2}},
    {{1, -3}, {1, 3}},
    {{2, -17}, {2, -5}, {2, 5}, {2, 17}},
    {{2, -7}, {2, 2}, {2, 9}, {2, 18}},
    {{2, -18}, {2, -9}, {2, -2}, {2, 7}},
    {{2, -28}, {2, 28}, {3, -49}, {3, -9}, {3, 9}, {4, 49}, {5, -79}, {5, 79}},
    {{2, -1}, {2, 13}, {2, 26}, {3, 39}, {4, -16}, {5, 55}, {6, -37}, {6, 76}},
    {{2, -26}, {2, -13}, {2, 1}, {3, -39}, {4, 16}, {5, -55}, {6, -76}, {6, 37}},
};

// Builds one tree: a node is inner while the current pair's length exceeds
// its depth, else a leaf with the pair's value.
TRAWHuffNode* radc_build_tree(TRAWDecoderState& s, const TRadcPair* pairs, int depth) {
  TRAWHuffNode* node = s.free_decode;
  if (node >= s.pool + kRAWHuffPoolSize) throw Exception(": decoder table overflow");
  ++s.free_decode;
  const TRadcPair& p = pairs[s.radc_cursor];
  if (p.len > depth) {
    node->branch[0] = radc_build_tree(s, pairs, depth + 1);
    node->branch[1] = radc_build_tree(s, pairs, depth + 1);
  } else {
    node->leaf = p.value;
    ++s.radc_cursor;
  }
  return node;
}

// The next token coded with tree `tree` (0..18).
Integer radc_token(TRAWDecoderState& s, int tree) {
  if (tree == 18) {
    if (s.model[2] == '4') return Integer(get_bits(s, 5)) * 8 + 4;
    return Integer(get_bits(s, 6)) * 4 + 2;
  }
  return huff_decode(s, s.radc_root[tree]);
}

constexpr int kRadcCols = 386;
using TRadcPlane = Integer[3][kRadcCols];

// Prediction of entry [y][x] from the entries above and to the right.
Integer radc_predict(const TRadcPlane& b, int plane, int y, int x) {
  if (plane == 0) return (b[y - 1][x + 1] + 2 * b[y - 1][x] + b[y][x + 1]) / 4;
  return (b[y - 1][x] + b[y][x + 1]) / 2;
}

// Keeps entries in a range where the fixed-point arithmetic cannot overflow.
Integer RadcClamp(Int64 v) { return Integer(std::clamp<Int64>(v, -0x1000000, 0x1000000)); }

// Sample of the image cell holding (row, col), or 0 outside the picture.
Word SampleAt(const TRAWDecoderState& s, Integer row, Integer col) {
  if (row < 0 || col < 0 || row >= s.height || col >= s.width) return 0;
  const size_t idx = size_t(row >> s.shrink) * size_t(s.iwidth) + size_t(col >> s.shrink);
  return idx < s.image.size() ? s.image[idx][cell_color(s, row, col)] : 0;
}

}  // namespace

void kodak_dc40_load_raw(TRAWDecoderState& s) {
  // The coding keeps one 386-entry row per plane: wider pictures cannot be
  // such files.
  const Integer w = s.width / 2;
  if (w < 1 || w > kRadcCols - 2) return mark_data_missing(s);
  init_node_pool(s);
  for (int t = 0; t < 18; ++t) {
    s.radc_cursor = 0;
    s.radc_root[t] = radc_build_tree(s, kRadcTrees[t], 0);
  }
  get_bits(s, -1);

  TRadcPlane buf[3];
  for (auto& plane : buf)
    for (auto& line : plane) std::fill_n(line, kRadcCols, 2048);
  Integer last[3] = {16, 16, 16};

  for (Integer row = 0; row < s.height && !stream_exhausted(s); row += 4) {
    raw_progress_row(s, row, s.height);
    Integer mul[3];
    // A multiplier of 0 would divide by zero below: it counts as 1.
    for (Integer& m : mul) m = std::max<Integer>(Integer(get_bits(s, 6)), 1);
    for (int c = 0; c < 3; ++c) {
      const Int64 v = ((0x1000000 / last[c] + 0x7FF) >> 12) * mul[c];
      const int sh = v > 65564 ? 10 : 12;
      const Int64 scale = v << (12 - sh);
      for (auto& line : buf[c])
        for (Integer& e : line) e = RadcClamp((scale * e + (Int64(1) << (sh - 1)) - 1) >> sh);
      last[c] = mul[c];
      TRadcPlane& b = buf[c];
      for (int pass = 0; pass < (c == 0 ? 2 : 1); ++pass) {
        b[1][w] = b[2][w] = mul[c] * 128;
        int tree = 1;
        for (Integer col = w; col > 0;) {
          const Integer tok = radc_token(s, tree);
          tree = std::clamp(tok, 0, 9);
          if (tok) {
            col -= 2;
            for (int y = 1; y < 3; ++y)
              for (Integer x = col + 1; x >= col && x >= 0; --x)
                b[y][x] = tok == 8 ? RadcClamp(Int64(radc_token(s, 18)) * mul[c])
                                   : RadcClamp(Int64(radc_token(s, tok + 10)) * 16 + radc_predict(b, c, y, x));
          } else {
            Integer n;
            do {
              n = col > 2 ? radc_token(s, 9) + 1 : 1;
              for (Integer i = 0; i < 8 && i < n && col > 0; ++i) {
                col -= 2;
                for (int y = 1; y < 3; ++y)
                  for (Integer x = col + 1; x >= col && x >= 0; --x) b[y][x] = radc_predict(b, c, y, x);
                if (i & 1) {
                  const Integer add = radc_token(s, 10) * 16;
                  for (int y = 1; y < 3; ++y)
                    for (Integer x = col + 1; x >= col && x >= 0; --x) b[y][x] = RadcClamp(Int64(b[y][x]) + add);
                }
              }
            } while (n == 9);
          }
        }
        for (int y = 0; y < 2; ++y)
          for (Integer x = 0; x <= w; ++x) {
            const Integer v = std::clamp<Integer>(b[y + 1][x] * 16 / mul[c], 0, 65535);
            if (c == 0)
              store_cell(s, row + 2 * pass + y, 2 * x + y, Word(v));
            else
              store_cell(s, row + 2 * y + c - 1, 2 * x + 2 - c, Word(v));
          }
        if (c == 0)
          for (Integer x = 0; x < kRadcCols - 1; ++x) b[0][x + 1] = b[2][x];
        else
          std::copy_n(b[2], kRadcCols, b[0]);
      }
    }
    // Red and blue cells carry a difference to the green ones beside them;
    // at the picture's edges the one neighbour stands in for both.
    for (Integer y = row; y < row + 4 && y < s.height; ++y)
      for (Integer x = (y + 1) & 1; x < s.width; x += 2) {
        const Integer left = x > 0 ? SampleAt(s, y, x - 1) : SampleAt(s, y, x + 1);
        const Integer right = x + 1 < s.width ? SampleAt(s, y, x + 1) : left;
        const Integer v = (left + right) / 2 + 2 * Integer(SampleAt(s, y, x)) - 4096;
        store_cell(s, y, x, Word(std::clamp(v, 0, 65535)));
      }
  }
}
