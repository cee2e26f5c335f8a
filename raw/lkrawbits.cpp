#include "raw/lkrawbits.h"

#include <algorithm>
#include <climits>
#include <cstring>

// Code tables: 16 counts for code lengths 1..16, then the values in code
// order.
const Byte kCanonFirstTree[3][29] = {
  {
    0x00, 0x01, 0x04, 0x02, 0x03, 0x01, 0x02, 0x00, 0x00, 0x00, 0x00, 0x00, 0x00, 0x00, 0x00, 0x00,
    0x04, 0x03, 0x05, 0x06, 0x02, 0x07, 0x01, 0x08, 0x09, 0x00, 0x0a, 0x0b, 0xff,
  },
  {
    0x00, 0x02, 0x02, 0x03, 0x01, 0x01, 0x01, 0x01, 0x02, 0x00, 0x00, 0x00, 0x00, 0x00, 0x00, 0x00,
    0x03, 0x02, 0x04, 0x01, 0x05, 0x00, 0x06, 0x07, 0x09, 0x08, 0x0a, 0x0b, 0xff,
  },
  {
    0x00, 0x00, 0x06, 0x03, 0x01, 0x01, 0x02, 0x00, 0x00, 0x00, 0x00, 0x00, 0x00, 0x00, 0x00, 0x00,
    0x06, 0x05, 0x07, 0x04, 0x08, 0x03, 0x09, 0x02, 0x00, 0x0a, 0x01, 0x0b, 0xff,
  },
};

const Byte kCanonSecondTree[3][180] = {
  {
    0x00, 0x02, 0x02, 0x02, 0x01, 0x04, 0x02, 0x01, 0x02, 0x05, 0x01, 0x01, 0x00, 0x00, 0x00, 0x8b,
    0x03, 0x04, 0x02, 0x05, 0x01, 0x06, 0x07, 0x08, 0x12, 0x13, 0x11, 0x14, 0x09, 0x15, 0x22, 0x00,
    0x21, 0x16, 0x0a, 0xf0, 0x23, 0x17, 0x24, 0x31, 0x32, 0x18, 0x19, 0x33, 0x25, 0x41, 0x34, 0x42,
    0x35, 0x51, 0x36, 0x37, 0x38, 0x29, 0x79, 0x26, 0x1a, 0x39, 0x56, 0x57, 0x28, 0x27, 0x52, 0x55,
    0x58, 0x43, 0x76, 0x59, 0x77, 0x54, 0x61, 0xf9, 0x71, 0x78, 0x75, 0x96, 0x97, 0x49, 0xb7, 0x53,
    0xd7, 0x74, 0xb6, 0x98, 0x47, 0x48, 0x95, 0x69, 0x99, 0x91, 0xfa, 0xb8, 0x68, 0xb5, 0xb9, 0xd6,
    0xf7, 0xd8, 0x67, 0x46, 0x45, 0x94, 0x89, 0xf8, 0x81, 0xd5, 0xf6, 0xb4, 0x88, 0xb1, 0x2a, 0x44,
    0x72, 0xd9, 0x87, 0x66, 0xd4, 0xf5, 0x3a, 0xa7, 0x73, 0xa9, 0xa8, 0x86, 0x62, 0xc7, 0x65, 0xc8,
    0xc9, 0xa1, 0xf4, 0xd1, 0xe9, 0x5a, 0x92, 0x85, 0xa6, 0xe7, 0x93, 0xe8, 0xc1, 0xc6, 0x7a, 0x64,
    0xe1, 0x4a, 0x6a, 0xe6, 0xb3, 0xf1, 0xd3, 0xa5, 0x8a, 0xb2, 0x9a, 0xba, 0x84, 0xa4, 0x63, 0xe5,
    0xc5, 0xf3, 0xd2, 0xc4, 0x82, 0xaa, 0xda, 0xe4, 0xf2, 0xca, 0x83, 0xa3, 0xa2, 0xc3, 0xea, 0xc2,
    0xe2, 0xe3, 0xff, 0xff,
  },
  {
    0x00, 0x02, 0x02, 0x01, 0x04, 0x01, 0x04, 0x01, 0x03, 0x03, 0x01, 0x00, 0x00, 0x00, 0x00, 0x8c,
    0x02, 0x03, 0x01, 0x04, 0x05, 0x12, 0x11, 0x06, 0x13, 0x07, 0x08, 0x14, 0x22, 0x09, 0x21, 0x00,
    0x23, 0x15, 0x31, 0x32, 0x0a, 0x16, 0xf0, 0x24, 0x33, 0x41, 0x42, 0x19, 0x17, 0x25, 0x18, 0x51,
    0x34, 0x43, 0x52, 0x29, 0x35, 0x61, 0x39, 0x71, 0x62, 0x36, 0x53, 0x26, 0x38, 0x1a, 0x37, 0x81,
    0x27, 0x91, 0x79, 0x55, 0x45, 0x28, 0x72, 0x59, 0xa1, 0xb1, 0x44, 0x69, 0x54, 0x58, 0xd1, 0xfa,
    0x57, 0xe1, 0xf1, 0xb9, 0x49, 0x47, 0x63, 0x6a, 0xf9, 0x56, 0x46, 0xa8, 0x2a, 0x4a, 0x78, 0x99,
    0x3a, 0x75, 0x74, 0x86, 0x65, 0xc1, 0x76, 0xb6, 0x96, 0xd6, 0x89, 0x85, 0xc9, 0xf5, 0x95, 0xb4,
    0xc7, 0xf7, 0x8a, 0x97, 0xb8, 0x73, 0xb7, 0xd8, 0xd9, 0x87, 0xa7, 0x7a, 0x48, 0x82, 0x84, 0xea,
    0xf4, 0xa6, 0xc5, 0x5a, 0x94, 0xa4, 0xc6, 0x92, 0xc3, 0x68, 0xb5, 0xc8, 0xe4, 0xe5, 0xe6, 0xe9,
    0xa2, 0xa3, 0xe3, 0xc2, 0x66, 0x67, 0x93, 0xaa, 0xd4, 0xd5, 0xe7, 0xf8, 0x88, 0x9a, 0xd7, 0x77,
    0xc4, 0x64, 0xe2, 0x98, 0xa5, 0xca, 0xda, 0xe8, 0xf3, 0xf6, 0xa9, 0xb2, 0xb3, 0xf2, 0xd2, 0x83,
    0xba, 0xd3, 0xff, 0xff,
  },
  {
    0x00, 0x00, 0x06, 0x02, 0x01, 0x03, 0x03, 0x02, 0x05, 0x01, 0x02, 0x02, 0x08, 0x0a, 0x00, 0x75,
    0x04, 0x05, 0x03, 0x06, 0x02, 0x07, 0x01, 0x08, 0x09, 0x12, 0x13, 0x14, 0x11, 0x15, 0x0a, 0x16,
    0x17, 0xf0, 0x00, 0x22, 0x21, 0x18, 0x23, 0x19, 0x24, 0x32, 0x31, 0x25, 0x33, 0x38, 0x37, 0x34,
    0x35, 0x36, 0x39, 0x79, 0x57, 0x58, 0x59, 0x28, 0x56, 0x78, 0x27, 0x41, 0x29, 0x77, 0x26, 0x42,
    0x76, 0x99, 0x1a, 0x55, 0x98, 0x97, 0xf9, 0x48, 0x54, 0x96, 0x89, 0x47, 0xb7, 0x49, 0xfa, 0x75,
    0x68, 0xb6, 0x67, 0x69, 0xb9, 0xb8, 0xd8, 0x52, 0xd7, 0x88, 0xb5, 0x74, 0x51, 0x46, 0xd9, 0xf8,
    0x3a, 0xd6, 0x87, 0x45, 0x7a, 0x95, 0xd5, 0xf6, 0x86, 0xb4, 0xa9, 0x94, 0x53, 0x2a, 0xa8, 0x43,
    0xf5, 0xf7, 0xd4, 0x66, 0xa7, 0x5a, 0x44, 0x8a, 0xc9, 0xe8, 0xc8, 0xe7, 0x9a, 0x6a, 0x73, 0x4a,
    0x61, 0xc7, 0xf4, 0xc6, 0x65, 0xe9, 0x72, 0xe6, 0x71, 0x91, 0x93, 0xa6, 0xda, 0x92, 0x85, 0x62,
    0xf3, 0xc5, 0xb2, 0xa4, 0x84, 0xba, 0x64, 0xa5, 0xb3, 0xd2, 0x81, 0xe5, 0xd3, 0xaa, 0xc4, 0xca,
    0xf2, 0xb1, 0xe4, 0xd1, 0x83, 0x63, 0xea, 0xc3, 0xe2, 0x82, 0xf1, 0xa3, 0xc2, 0xa1, 0xc1, 0xe3,
    0xa2, 0xe1, 0xff, 0xff,
  },
};

const Byte kNikonTree[30] = {
  0x00, 0x01, 0x05, 0x01, 0x01, 0x01, 0x01, 0x01, 0x01, 0x02, 0x00, 0x00, 0x00, 0x00, 0x00, 0x00,
  0x05, 0x04, 0x03, 0x06, 0x02, 0x07, 0x01, 0x00, 0x08, 0x09, 0x0b, 0x0a, 0x0c, 0x00,
};

// Appends bytes below the buffered bits while fewer than 25 are valid.
static inline void refill(TRAWDecoderState& s) {
  while (s.vbits < 25) {
    Byte c = read_byte(s);
    s.bitbuf = (s.bitbuf << 8) + c;
    if (c == 0xff && s.zero_after_ff) read_byte(s);
    s.vbits += 8;
  }
}

Cardinal get_bits(TRAWDecoderState& s, int n) {
  if (n == 0) return 0;
  if (n < -1 || n > 25) raise_corrupt("get_bits()");
  Cardinal ret = 0;
  if (n == -1) {
    s.bitbuf = 0;
    s.vbits = 0;
  }
  // The buffer holds at least 25 bits between calls; the first call after a
  // plain reset of the state may find it empty.
  refill(s);
  if (n > 0) {
    ret = (s.bitbuf << (32 - s.vbits)) >> (32 - n);
    s.vbits -= n;
    refill(s);
  }
  return ret;
}

void init_node_pool(TRAWDecoderState& s) {
  std::memset(s.pool, 0, sizeof(s.pool));
  s.free_decode = s.pool;
  s.second_decode = nullptr;
}

// Takes the next free node of the pool.
static TRAWHuffNode* take_node(TRAWDecoderState& s) {
  if (!s.free_decode) s.free_decode = s.pool;
  if (s.free_decode >= s.pool + kRAWHuffPoolSize) throw Exception(": decoder table overflow");
  return s.free_decode++;
}

Integer make_huffman_decoder(TRAWDecoderState& s, const Byte* table, Integer len, int level) {
  if (level == 0) s.leaf = 0;
  TRAWHuffNode* cur = take_node(s);
  auto count = [&](int i) -> int { return i < len ? table[i] : 0; };
  int i = 0, sum = 0;
  while (i < 16 && sum <= s.leaf) sum += count(i++);
  if (s.leaf < sum) {
    if (level < i) {
      cur->branch[0] = s.free_decode;
      make_huffman_decoder(s, table, len, level + 1);
      cur->branch[1] = s.free_decode;
      make_huffman_decoder(s, table, len, level + 1);
    } else {
      int at = 16 + s.leaf++;
      cur->leaf = at < len ? table[at] : 0;
    }
  }
  return 16 + s.leaf;
}

void foveon_make_decoder(TRAWDecoderState& s, const Cardinal* codes, Cardinal code) {
  TRAWHuffNode* cur = take_node(s);
  if (code)
    for (int i = 0; i < 1024; ++i)
      if (codes[i] == code) {
        cur->leaf = i;
        return;
      }
  // Codes of 27 bits or more have no room left: the node stays empty.
  if (code > 0xd7ffffffu) return;
  Cardinal next = (((code >> 27) + 1) << 27) | ((code * 2) & 0x7ffffffu);
  cur->branch[0] = s.free_decode;
  foveon_make_decoder(s, codes, next);
  cur->branch[1] = s.free_decode;
  foveon_make_decoder(s, codes, next + 1);
}

void canon_init_tables(TRAWDecoderState& s, Cardinal index) {
  if (index > 2) index = 2;
  init_node_pool(s);
  make_huffman_decoder(s, kCanonFirstTree[index], sizeof(kCanonFirstTree[index]), 0);
  s.second_decode = s.free_decode;
  make_huffman_decoder(s, kCanonSecondTree[index], sizeof(kCanonSecondTree[index]), 0);
}

Integer huff_decode(TRAWDecoderState& s, const TRAWHuffNode* root) {
  const TRAWHuffNode* n = root;
  if (!n) return 0;
  // One bit per level, as get_bits(1) would deliver it.
  refill(s);
  while (n->branch[0]) {
    const TRAWHuffNode* next = n->branch[(s.bitbuf >> (s.vbits - 1)) & 1];
    --s.vbits;
    refill(s);
    if (!next) break;
    n = next;
  }
  return n->leaf;
}

Integer read_difference(TRAWDecoderState& s, Integer len, const char* stage) {
  if (len == 0) return 0;
  if (len < 0 || len > 16) raise_corrupt(stage);
  Integer diff = static_cast<Integer>(get_bits(s, len));
  if ((diff & (1 << (len - 1))) == 0) diff -= (1 << len) - 1;
  return diff;
}

bool canon_has_lowbits(TRAWDecoderState& s) {
  Byte test[0x4000] = {};
  stream_seek(s, 0);
  read_bytes(s, test, std::min<Int64>(sizeof(test), stream_size(s)));
  bool ret = true;
  for (int i = 540; i < static_cast<int>(sizeof(test)) - 1; ++i)
    if (test[i] == 0xff) {
      if (test[i + 1]) return true;
      ret = false;
    }
  return ret;
}

void canon_compressed_load_raw(TRAWDecoderState& s) {
  static const char* kStage = "canon_compressed_load_raw()";
  if (s.raw_width <= 0 || s.raw_height <= 0) return mark_data_missing(s);
  if (!s.free_decode || !s.second_decode) canon_init_tables(s, 0);
  const Int64 rw = s.raw_width;
  auto pixel = raw_alloc<Word>(8 * rw, kStage);
  const int lowbits = canon_has_lowbits(s) ? 1 : 0;
  const int shift = 4 - 2 * lowbits;
  stream_seek(s, 540 + lowbits * Int64(s.raw_height) * rw / 4);
  reset_overrun(s);
  s.zero_after_ff = true;
  get_bits(s, -1);
  const Int64 nblocks = rw > 7 ? rw / 8 : 0;
  Int64 carry = 0, pnum = 0, base[2] = {0, 0}, lowsum = 0;
  Int64 diffbuf[64];
  for (Integer row = 0; row < s.raw_height; row += 8) {
    if (stream_exhausted(s)) break;
    std::fill(pixel.get(), pixel.get() + 8 * rw, Word(0));
    for (Int64 block = 0; block < nblocks; ++block) {
      std::fill(std::begin(diffbuf), std::end(diffbuf), Int64(0));
      for (int i = 0; i < 64; ++i) {
        Integer leaf = huff_decode(s, i ? s.second_decode : s.pool);
        if (leaf == 0 && i) break;
        if (leaf == 0xff) continue;
        i += leaf >> 4;
        Integer len = leaf & 15;
        if (len == 0) continue;
        Integer diff = read_difference(s, len, kStage);
        if (i < 64) diffbuf[i] = diff;
      }
      diffbuf[0] += carry;
      carry = diffbuf[0];
      for (int i = 0; i < 64; ++i) {
        Int64 at = block * 64 + i;
        if (pnum++ % rw == 0) base[0] = base[1] = 512;
        int parity = static_cast<int>((at % rw) & 1);
        base[parity] += diffbuf[i];
        pixel[at] = static_cast<Word>(base[parity]);
      }
    }
    if (lowbits) {
      Int64 save = stream_position(s);
      stream_seek(s, 26 + Int64(row) * rw / 4);
      Word* p = pixel.get();
      for (Int64 i = 0; i < rw * 2; ++i) {
        Byte c = read_byte(s);
        for (int r = 0; r < 8; r += 2, ++p) {
          Integer val = (*p << 2) + ((c >> r) & 3);
          if (s.raw_width == 2672 && val < 512) val += 2;
          *p = static_cast<Word>(val);
        }
      }
      stream_seek(s, save);
    }
    for (int r = 0; r < 8; ++r) {
      Integer irow = row + r - s.top_margin;
      if (row + r >= s.raw_height) break;
      raw_progress_row(s, row + r, s.raw_height);
      if (irow < 0 || irow >= s.height) continue;
      const Word* src = pixel.get() + r * rw;
      for (Integer col = 0; col < s.raw_width; ++col) {
        Integer icol = col - s.left_margin;
        if (icol >= 0 && icol < s.width)
          store_cell(s, irow, icol, static_cast<Word>(src[col] << shift));
        else
          lowsum += src[col];
      }
    }
  }
  if (s.raw_width > s.width && s.height > 0)
    s.black = static_cast<Integer>((lowsum << shift) / ((Int64(s.raw_width) - s.width) * s.height));
}

void lossless_jpeg_load_raw(TRAWDecoderState& s) {
  static const char* kStage = "lossless_jpeg_load_raw()";
  auto curve = raw_alloc<Word>(kRAWCurveSize, kStage);
  kodak_read_curve(s, curve.get());
  s.order = 0x4d4d;
  if (read_u16(s) != 0xffd8) return mark_data_missing(s);
  Integer jrows = 0, jcols = 0;
  // Both table classes decode with the first tree until a table of their
  // own is defined.
  const TRAWHuffNode* root[2] = {s.pool, s.pool};
  Byte data[256];
  Word mark;
  do {
    mark = read_u16(s);
    Integer len = read_u16(s);
    // A segment length covers its own two bytes.
    if (mark < 0xff01 || len < 2 || len - 2 >= 256) return mark_data_missing(s);
    Integer size = len - 2;
    read_bytes(s, data, size);
    if (mark == 0xffc3) {
      jrows = (data[1] << 8) | data[2];
      jcols = ((data[3] << 8) | data[4]) * 2;
    } else if (mark == 0xffc4) {
      init_node_pool(s);
      root[0] = root[1] = s.pool;
      Integer dp = 0;
      while (dp < size && data[dp] < 2) {
        int cls = data[dp];
        root[cls] = s.free_decode;
        dp += 1 + make_huffman_decoder(s, data + dp + 1, size - dp - 1, 0);
      }
    }
  } while (mark != 0xffda);
  // A tree that is a lone leaf would decode without consuming data.
  if (!root[0]->branch[0] || !root[1]->branch[0] || jrows <= 0 || jcols <= 0) return mark_data_missing(s);
  reset_overrun(s);
  s.zero_after_ff = true;
  get_bits(s, -1);
  Int64 vpred[2] = {2048, 2048}, hpred[2] = {0, 0};
  Int64 lowsum = 0;
  Integer min_value = INT_MAX;
  for (Integer jrow = 0; jrow < jrows; ++jrow) {
    if (stream_exhausted(s)) break;
    raw_progress_row(s, jrow, jrows);
    for (Integer jcol = 0; jcol < jcols; ++jcol) {
      int cls = jcol & 1;
      Integer diff = read_difference(s, huff_decode(s, root[cls]), kStage);
      if (jcol < 2)
        hpred[jcol] = vpred[jcol] += diff;
      else
        hpred[cls] += diff;
      Int64 val = hpred[cls];
      Integer cv = curve[val < 0 ? 0 : val > kRAWCurveSize - 1 ? kRAWCurveSize - 1 : val];
      Int64 k = Int64(jrow) * jcols + jcol;
      Int64 row, col;
      if (s.raw_width == 5108) {
        Int64 slice = k / (Int64(jrows) * 1680);
        if (slice > 1) {
          row = (k - Int64(jrows) * 3360) / 1748;
          col = (k - Int64(jrows) * 3360) % 1748 + 3360;
        } else {
          row = (k / 1680) % jrows;
          col = k % 1680 + slice * 1680;
        }
      } else {
        if (s.raw_width <= 0) return mark_data_missing(s);
        row = k / s.raw_width;
        col = k % s.raw_width;
      }
      row -= s.top_margin;
      if (row >= s.height) continue;
      if (col < s.width) {
        if (row >= 0) store_cell(s, static_cast<Integer>(row), static_cast<Integer>(col),
                                 static_cast<Word>(cv << 2));
        min_value = std::min(min_value, cv);
      } else {
        lowsum += cv;
      }
    }
  }
  if (s.raw_width > s.width && s.height > 0)
    s.black = static_cast<Integer>(lowsum * 4 / ((Int64(s.raw_width) - s.width) * s.height));
  if (text_equal_ci(s.make, "KODAK") && min_value != INT_MAX) s.black = min_value * 4;
}
