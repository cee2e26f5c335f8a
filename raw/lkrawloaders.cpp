// Raw loaders of uncompressed and bit-packed sensor data, the Nikon and
// Foveon Huffman loaders, the Phase One, Imacon and Sony loaders, and the
// content tests of identification.
#include "raw/lkrawloaders.h"

#include <algorithm>
#include <cstring>

#include "core/lkbytereader.h"
#include "raw/lkrawbits.h"

namespace {

// Number after the model's first character ("E4300" gives 4300), 0 when it
// does not start with a digit.
Integer ModelNumber(const char* model) {
  Integer n = 0;
  for (const char* p = model + (model[0] ? 1 : 0); *p >= '0' && *p <= '9' && n < 100000000; ++p)
    n = n * 10 + (*p - '0');
  return n;
}

// Row of an interlaced picture whose first half of stored rows fills the
// even rows: stored row i goes to i / (height / 2) + 2i mod height.
Integer InterlacedRow(Integer i, Integer height) { return i / (height / 2) + (i * 2) % height; }

// Black level from the sum of masked samples; left unchanged when no masked
// cell exists.
void SetBlackFromSum(TRAWDecoderState& s, Int64 sum, Int64 scale, Int64 maskedCols) {
  const Int64 cells = maskedCols * s.height;
  if (cells > 0) s.black = Integer(sum * scale / cells);
}

}  // namespace

// ---------------------------------------------------------------- word loaders

void unpacked_load_raw(TRAWDecoderState& s, bool bigEndian, int shift) {
  auto buf = raw_alloc<Byte>(Int64(std::max(s.raw_width, 0)) * 2, "unpacked_load_raw()");
  const Integer cols = std::min(s.width, s.raw_width);
  for (Integer row = 0; row < s.height && !stream_exhausted(s); ++row) {
    raw_progress_row(s, row, s.height);
    read_bytes(s, buf.get(), Int64(s.raw_width) * 2);
    for (Integer col = 0; col < cols; ++col) {
      const Byte* p = buf.get() + 2 * col;
      const Word w = bigEndian ? Word(p[0] << 8 | p[1]) : Word(p[1] << 8 | p[0]);
      store_cell(s, row, col, Word(shift >= 0 ? w >> shift : w << -shift));
    }
  }
}

void unpacked_be16_load_raw(TRAWDecoderState& s) { unpacked_load_raw(s, true, 0); }
void unpacked_be12_high_load_raw(TRAWDecoderState& s) { unpacked_load_raw(s, true, 2); }
void unpacked_be12_low_load_raw(TRAWDecoderState& s) { unpacked_load_raw(s, true, -2); }
void unpacked_be10_low_load_raw(TRAWDecoderState& s) { unpacked_load_raw(s, true, -4); }
void unpacked_le12_high_load_raw(TRAWDecoderState& s) { unpacked_load_raw(s, false, 2); }

// ------------------------------------------------------- bit- and byte-packed

void eight_bit_load_raw(TRAWDecoderState& s) {
  auto buf = raw_alloc<Byte>(std::max(s.raw_width, 0), "eight_bit_load_raw()");
  const Integer cols = std::min(s.width, s.raw_width);
  for (Integer row = 0; row < s.height && !stream_exhausted(s); ++row) {
    raw_progress_row(s, row, s.height);
    read_bytes(s, buf.get(), s.raw_width);
    for (Integer col = 0; col < cols; ++col) store_cell(s, row, col, Word(buf[col] << 6));
  }
}

void packed_12_load_raw(TRAWDecoderState& s) {
  get_bits(s, -1);
  const Int64 skip = Int64(s.raw_width) - Int64(s.width) * 3 / 2;
  for (Integer row = 0; row < s.height && !stream_exhausted(s); ++row) {
    raw_progress_row(s, row, s.height);
    for (Integer col = 0; col < s.width; ++col) store_cell(s, row, col, Word(get_bits(s, 12) << 2));
    for (Int64 i = 0; i < skip; ++i) get_bits(s, 8);
  }
}

void nikon_load_raw(TRAWDecoderState& s) {
  const bool coolpix = s.model[0] == 'E';
  // The interlace divides by half the height: a picture below two rows
  // cannot be one of these files.
  if (coolpix && s.height < 2) return mark_data_missing(s);
  get_bits(s, -1);
  for (Integer irow = 0; irow < s.height && !stream_exhausted(s); ++irow) {
    raw_progress_row(s, irow, s.height);
    Integer row = irow;
    if (coolpix) {
      row = InterlacedRow(irow, s.height);
      if (row == 1 && ModelNumber(s.model) < 5000) {
        stream_seek(s, stream_size(s) / 2);
        get_bits(s, -1);
      }
    }
    for (Integer col = 0; col < s.raw_width; ++col) {
      store_cell(s, row, col - s.left_margin, Word(get_bits(s, 12) << 2));
      if (s.compression == 34713 && col % 10 == 9) get_bits(s, 8);
    }
  }
}

void nikon_e950_load_raw(TRAWDecoderState& s) {
  if (s.height < 1) return mark_data_missing(s);
  get_bits(s, -1);
  for (Integer irow = 0; irow < s.height && !stream_exhausted(s); ++irow) {
    raw_progress_row(s, irow, s.height);
    const Integer row = Integer(Int64(irow) * 2 % s.height);
    for (Integer col = 0; col < s.width; ++col) store_cell(s, row, col, Word(get_bits(s, 10) << 4));
    for (int i = 0; i < 28; ++i) get_bits(s, 8);
  }
}

void olympus_load_raw(TRAWDecoderState& s) {
  if (s.height < 2) return mark_data_missing(s);
  // Each field starts on a 2048-byte boundary after the data offset.
  const Int64 field = (Int64(s.height) * s.width * 3 / 4 + 2047) / 2048 * 2048;
  for (Integer irow = 0; irow < s.height; ++irow) {
    raw_progress_row(s, irow, s.height);
    const Integer row = InterlacedRow(irow, s.height);
    if (row < 2) {
      stream_seek(s, s.data_offset + row * field);
      get_bits(s, -1);
    }
    if (stream_exhausted(s)) continue;
    for (Integer col = 0; col < s.width; ++col) store_cell(s, row, col, Word(get_bits(s, 12) << 2));
  }
}

void casio_qv5700_load_raw(TRAWDecoderState& s) {
  Byte data[3232];
  for (Integer row = 0; row < s.height && !stream_exhausted(s); ++row) {
    raw_progress_row(s, row, s.height);
    read_bytes(s, data, sizeof(data));
    Integer col = 0;
    for (const Byte* p = data; p + 5 <= data + sizeof(data) && col < s.width; p += 5) {
      const unsigned v[4] = {unsigned(p[0] << 2 | p[1] >> 6), unsigned(p[1] << 4 | p[2] >> 4),
                             unsigned(p[2] << 6 | p[3] >> 2), unsigned(p[3] << 8 | p[4])};
      for (unsigned x : v) store_cell(s, row, col++, Word((x & 0x3FF) << 4));
    }
  }
}

void canon_600_load_raw(TRAWDecoderState& s) {
  Byte data[1120];
  Int64 sum = 0;
  Integer row = 0;
  for (Integer irow = 0; irow < s.height && !stream_exhausted(s); ++irow) {
    raw_progress_row(s, irow, s.height);
    read_bytes(s, data, sizeof(data));
    Word pixel[896];
    Word* out = pixel;
    for (const Byte* b = data; b < data + sizeof(data); b += 10) {
      *out++ = Word(b[0] << 2 | b[1] >> 6);
      *out++ = Word(b[2] << 2 | (b[1] >> 4 & 3));
      *out++ = Word(b[3] << 2 | (b[1] >> 2 & 3));
      *out++ = Word(b[4] << 2 | (b[1] & 3));
      *out++ = Word(b[5] << 2 | (b[9] & 3));
      *out++ = Word(b[6] << 2 | (b[9] >> 2 & 3));
      *out++ = Word(b[7] << 2 | (b[9] >> 4 & 3));
      *out++ = Word(b[8] << 2 | b[9] >> 6);
    }
    for (Integer col = 0; col < std::min<Integer>(s.width, 896); ++col) store_cell(s, row, col, Word(pixel[col] << 4));
    for (Integer col = std::max<Integer>(s.width, 0); col < 896; ++col) sum += pixel[col];
    if ((row += 2) >= s.height) row = 1;
  }
  if (s.width < 896) SetBlackFromSum(s, sum, 16, 896 - s.width);
}

void canon_a5_load_raw(TRAWDecoderState& s) {
  if (s.raw_width < 0) return mark_data_missing(s);
  // Whole 10-byte groups, so a raw width that is no multiple of 8 still
  // decodes from the buffer only.
  const Int64 bytes = Int64(s.raw_width) * 10 / 8;
  const Int64 groups = (Int64(s.raw_width) + 7) / 8;
  auto data = raw_alloc<Byte>(groups * 10, "canon_a5_load_raw()");
  auto pixel = raw_alloc<Word>(groups * 8, "canon_a5_load_raw()");
  Int64 sum = 0;
  for (Integer row = 0; row < s.height && !stream_exhausted(s); ++row) {
    raw_progress_row(s, row, s.height);
    read_bytes(s, data.get(), bytes);
    Word* out = pixel.get();
    for (Int64 g = 0; g < groups; ++g) {
      const Byte* b = data.get() + g * 10;
      const unsigned v[8] = {unsigned(b[1] << 2 | b[0] >> 6), unsigned(b[0] << 4 | b[3] >> 4),
                             unsigned(b[3] << 6 | b[2] >> 2), unsigned(b[2] << 8 | b[5]),
                             unsigned(b[4] << 2 | b[7] >> 6), unsigned(b[7] << 4 | b[6] >> 4),
                             unsigned(b[6] << 6 | b[9] >> 2), unsigned(b[9] << 8 | b[8])};
      for (unsigned x : v) *out++ = Word(x & 0x3FF);
    }
    for (Integer col = 0; col < std::min(s.width, s.raw_width); ++col) store_cell(s, row, col, Word(pixel[col] << 4));
    for (Integer col = std::max<Integer>(s.width, 0); col < s.raw_width; ++col) sum += pixel[col];
  }
  if (s.raw_width > s.width) SetBlackFromSum(s, sum, 16, Int64(s.raw_width) - s.width);
}

void nikon_e2100_load_raw(TRAWDecoderState& s) {
  if (s.width < 0) return mark_data_missing(s);
  const Int64 groups = (Int64(s.width) + 7) / 8;
  auto data = raw_alloc<Byte>(groups * 12, "nikon_e2100_load_raw()");
  Integer row = 0;
  for (Integer irow = 0; irow < s.height && !stream_exhausted(s); ++irow, row += 2) {
    raw_progress_row(s, irow, s.height);
    if (row >= s.height) {
      row = 1;
      stream_skip(s, s.width == 1616 ? 8792 : 424);
    }
    std::fill_n(data.get(), groups * 12, Byte(0));
    read_bytes(s, data.get(), Int64(s.width) * 3 / 2);
    Integer col = 0;
    for (Int64 g = 0; g < groups; ++g) {
      const Byte* b = data.get() + g * 12;
      const unsigned v[8] = {unsigned(b[2] >> 4 | b[3] << 4), unsigned(b[2] << 8 | b[1]),
                             unsigned(b[7] >> 4 | b[0] << 4), unsigned(b[7] << 8 | b[6]),
                             unsigned(b[4] >> 4 | b[5] << 4), unsigned(b[4] << 8 | b[11]),
                             unsigned(b[9] >> 4 | b[10] << 4), unsigned(b[9] << 8 | b[8])};
      for (unsigned x : v) store_cell(s, row, col++, Word((x & 0xFFF) << 2));
    }
  }
}

void rollei_load_raw(TRAWDecoderState& s) {
  if (s.raw_width <= 0 || s.raw_height <= 0) return mark_data_missing(s);
  Int64 p1 = 0;
  Int64 p2 = Int64(s.raw_width) * s.raw_height * 5 / 8;
  // Positions beyond both parts of the data cannot land in the picture.
  const Int64 end = Int64(s.raw_width) * (s.raw_height + s.top_margin + 1);
  auto put = [&](Int64 pos, unsigned value) {
    const Integer row = Integer(pos / s.raw_width), col = Integer(pos % s.raw_width);
    store_cell(s, row - s.top_margin, col - s.left_margin, Word((value & 0x3FF) << 4));
  };
  Byte b[10];
  while (read_bytes(s, b, 10) == 10 && (p1 < end || p2 < end)) {
    unsigned acc = 0;
    for (int k = 0; k < 5; ++k) {
      put(p1++, unsigned(b[2 * k] << 8 | b[2 * k + 1]));
      acc = ((acc << 6) | (b[2 * k] >> 2)) & 0x3FFFFFFF;
    }
    // The five six-bit parts make three more 10-bit samples.
    put(p2++, acc >> 20);
    put(p2++, acc >> 10);
    put(p2++, acc);
  }
  // The second part ends with the picture: short of it, the data ran out.
  if (p2 < Int64(s.raw_width) * s.raw_height) mark_data_missing(s);
}

void nucore_load_raw(TRAWDecoderState& s) {
  auto buf = raw_alloc<Byte>(Int64(std::max(s.width, 0)) * 2, "nucore_load_raw()");
  const bool bottomUp = s.model[0] == 'B' && s.width == 2598;
  for (Integer irow = 0; irow < s.height && !stream_exhausted(s); ++irow) {
    raw_progress_row(s, irow, s.height);
    read_bytes(s, buf.get(), Int64(s.width) * 2);
    Integer row = irow;
    if (bottomUp) row = s.height - 1 - irow / 2 - ((irow & 1) ? s.height / 2 : 0);
    for (Integer col = 0; col < s.width; ++col)
      store_cell(s, row, col, Word((buf[2 * col] | buf[2 * col + 1] << 8) * 4));
  }
}

// ----------------------------------------------------------- Huffman loaders

void nikon_compressed_load_raw(TRAWDecoderState& s) {
  static const char* const kStage = "nikon_compressed_load_raw()";
  init_node_pool(s);
  const TRAWHuffNode* root = s.free_decode;
  make_huffman_decoder(s, kNikonTree, Integer(sizeof(kNikonTree)), 0);

  stream_seek(s, s.curve_offset);
  Integer vpred[4];
  for (Integer& v : vpred) v = read_u16(s);
  Integer csize = read_u16(s);
  // An empty curve leaves the 12-bit values as they are.
  const bool identity = csize == 0;
  if (identity) csize = 4096;
  auto curve = raw_alloc<Word>(csize, kStage);
  for (Integer i = 0; i < csize; ++i) curve[i] = identity ? Word(i) : read_u16(s);

  stream_seek(s, s.data_offset);
  get_bits(s, -1);
  for (Integer row = 0; row < s.height && !stream_exhausted(s); ++row) {
    raw_progress_row(s, row, s.height);
    Integer hpred[2] = {0, 0};
    for (Integer col = 0; col < s.raw_width; ++col) {
      const Integer diff = read_difference(s, huff_decode(s, root), kStage);
      if (col < 2) {
        Integer& v = vpred[2 * (row & 1) + (col & 1)];
        v += diff;
        hpred[col] = v;
      } else {
        hpred[col & 1] += diff;
      }
      const Integer i = std::clamp(hpred[col & 1], 0, csize - 1);
      store_cell(s, row, col - s.left_margin, Word(curve[i] << 2));
    }
  }
}

void foveon_load_raw(TRAWDecoderState& s) {
  s.order = 0x4949;
  stream_seek(s, 260);
  SmallInt diff[1024];
  Cardinal codes[1024];
  for (SmallInt& d : diff) d = SmallInt(read_u16(s));
  for (Cardinal& c : codes) c = read_u32(s);
  init_node_pool(s);
  const TRAWHuffNode* root = s.free_decode;
  foveon_make_decoder(s, codes, 0);

  Int64 prevBits = -1;
  for (Integer row = 0; row < s.raw_height && !stream_exhausted(s); ++row) {
    raw_progress_row(s, row, s.raw_height);
    // A row that ended exactly on a word boundary is followed by one spare word.
    if (prevBits > 0 && prevBits % 32 == 0) stream_skip(s, 4);
    Cardinal word = 0;
    int left = 0;
    Int64 used = 0;
    Integer pred[3] = {0, 0, 0};
    for (Integer col = 0; col < s.raw_width; ++col) {
      for (int c = 0; c < 3; ++c) {
        const TRAWHuffNode* node = root;
        while (node->branch[0]) {
          if (left == 0) {
            Byte b[4];
            read_bytes(s, b, 4);
            word = Cardinal(b[0]) << 24 | Cardinal(b[1]) << 16 | Cardinal(b[2]) << 8 | b[3];
            left = 32;
          }
          const int bit = (word >> --left) & 1;
          ++used;
          node = node->branch[bit] ? node->branch[bit] : node->branch[0];
        }
        pred[c] += diff[node->leaf & 1023];
      }
      const Integer r = row - s.top_margin, cc = col - s.left_margin;
      for (int c = 0; c < 3; ++c)
        if (pred[c] > 0) store_channel(s, r, cc, c, Word(std::min(pred[c], 65535)));
    }
    prevBits = used;
  }
}

// ------------------------------------------------------------ SuperCCD loaders

void fuji_s2_load_raw(TRAWDecoderState& s) {
  Byte data[5888];
  stream_skip(s, 141376);
  for (Integer r = 0; r < 2144 && !stream_exhausted(s); ++r) {
    raw_progress_row(s, r, 2144);
    read_bytes(s, data, sizeof(data));
    for (Integer i = 0; i < 2880; ++i)
      store_cell(s, r + (i + 1) / 2, 2143 - r + i / 2, Word((data[2 * i] << 8 | data[2 * i + 1]) << 2));
  }
  s.fuji_rotate = true;
}

void fuji_load_raw_common(TRAWDecoderState& s, Integer words, Integer last, Integer rows) {
  auto data = raw_alloc<Byte>(Int64(words) * 2, "fuji_load_raw_common()");
  last = std::min(last, words - 1);
  for (Integer r = 0; r < rows && !stream_exhausted(s); ++r) {
    raw_progress_row(s, r, rows);
    read_bytes(s, data.get(), Int64(words) * 2);
    for (Integer j = 0; j <= last; ++j)
      store_cell(s, last + r / 2 - j, j + (r + 1) / 2, Word((data[2 * j] << 8 | data[2 * j + 1]) << 2));
  }
  s.fuji_rotate = true;
}

void fuji_load_raw_common(TRAWDecoderState& s) {
  if (std::strcmp(s.model, "FinePix S5000") == 0) {
    stream_skip(s, 11824);
    fuji_load_raw_common(s, 1472, 1423, 2152);
  } else {
    fuji_load_raw_common(s, 2048, 2047, 3080);
  }
}

void fuji_f700_load_raw(TRAWDecoderState& s) {
  Byte data[5888];
  const Integer first = s.fuji_secondary ? 1472 : 0;
  for (Integer r = 0; r < 2168 && !stream_exhausted(s); ++r) {
    raw_progress_row(s, r, 2168);
    read_bytes(s, data, sizeof(data));
    for (Integer j = 0; j < 1440; ++j) {
      const Byte* p = data + 2 * (first + j);
      store_cell(s, r / 2 - j + 1439, j + (r + 1) / 2, Word(p[0] << 8 | p[1]));
    }
  }
  s.fuji_rotate = true;
}

// -------------------------------------------------------------- other makers

void phase_one_load_raw(TRAWDecoderState& s) {
  stream_seek(s, s.data_offset + 8);
  const Int64 skip = read_u32(s);
  stream_skip(s, skip + 296);
  const Word ka = read_u16(s), kb = read_u16(s);
  stream_seek(s, s.data_offset + Int64(s.top_margin) * s.raw_width * 2 + 12);
  auto buf = raw_alloc<Byte>(Int64(std::max(s.raw_width, 0)) * 2, "phase_one_load_raw()");
  auto word = raw_alloc<Word>(std::max(s.raw_width, 0), "phase_one_load_raw()");
  for (Integer row = 0; row < s.height && !stream_exhausted(s); ++row) {
    raw_progress_row(s, row, s.height);
    read_bytes(s, buf.get(), Int64(s.raw_width) * 2);
    for (Integer i = 0; i < s.raw_width; ++i) word[i] = Word(buf[2 * i] << 8 | buf[2 * i + 1]);
    for (Integer i = 0; i + 1 < s.raw_width; i += 2) {
      const Word a = word[i] ^ ka, b = word[i + 1] ^ kb;
      word[i] = Word((a & 0x5555) | (b & 0xAAAA));
      word[i + 1] = Word((b & 0x5555) | (a & 0xAAAA));
    }
    for (Integer col = 0; col < s.width && col + s.left_margin < s.raw_width; ++col)
      if (col + s.left_margin >= 0) store_cell(s, row, col, word[col + s.left_margin]);
  }
}

void ixpress_load_raw(TRAWDecoderState& s) {
  Byte data[8180];
  stream_seek(s, 49384);
  for (Integer row = s.height - 1; row >= 0 && !stream_exhausted(s); --row) {
    raw_progress_row(s, s.height - 1 - row, s.height);
    read_bytes(s, data, sizeof(data));
    for (Integer col = 0; col < s.width; ++col) {
      const Integer i = s.width - 1 - col;
      if (i < 4090) store_cell(s, row, col, Word(data[2 * i] << 8 | data[2 * i + 1]));
    }
  }
}

void sony_descramble(TRAWDecoderState& s, Cardinal* words, Integer count, Cardinal key, bool restart) {
  Cardinal* pad = s.sony_pad;
  if (restart) {
    for (int p = 0; p < 4; ++p) pad[p] = key = key * 48828125u + 1u;
    pad[3] = pad[3] << 1 | (pad[0] ^ pad[2]) >> 31;
    for (int p = 4; p < 127; ++p) pad[p] = (pad[p - 4] ^ pad[p - 2]) << 1 | (pad[p - 3] ^ pad[p - 1]) >> 31;
    for (int p = 0; p < 127; ++p) pad[p] = __builtin_bswap32(pad[p]);
    s.sony_index = 127;
  }
  for (Integer i = 0; i < count; ++i) {
    const Cardinal p = Cardinal(s.sony_index);
    pad[p & 127] = pad[(p + 1) & 127] ^ pad[(p + 65) & 127];
    words[i] ^= pad[p & 127];
    s.sony_index = Integer((p + 1) & 0x7FFFFFFF);
  }
}

namespace {

// The scrambled data is a sequence of 32-bit words in the byte order of the
// bytes as stored, little-endian first byte lowest.
Cardinal LoadLE32(const Byte* p) { return LKGetLE32(p); }
void StoreLE32(Byte* p, Cardinal v) {
  LKPutLE32(p, v);
}

}  // namespace

void sony_load_raw(TRAWDecoderState& s) {
  stream_seek(s, 200896);
  const Int64 b = read_byte(s);
  s.order = 0x4D4D;
  Cardinal key = read_u32_at(s, 200896 + 4 * b - 1);

  Byte head[40];
  Cardinal words[10];
  stream_seek(s, 164600);
  read_bytes(s, head, sizeof(head));
  for (int i = 0; i < 10; ++i) words[i] = LoadLE32(head + 4 * i);
  sony_descramble(s, words, 10, key, true);
  for (int i = 0; i < 10; ++i) StoreLE32(head + 4 * i, words[i]);
  key = Cardinal(head[25]) << 24 | Cardinal(head[24]) << 16 | Cardinal(head[23]) << 8 | head[22];

  const Integer pairs = std::max(s.raw_width, 0) / 2;
  auto data = raw_alloc<Byte>(Int64(pairs) * 4, "sony_load_raw()");
  auto row32 = raw_alloc<Cardinal>(pairs, "sony_load_raw()");
  stream_seek(s, 862144);
  Int64 sum = 0;
  const Integer cols = std::min(3343, pairs * 2);
  for (Integer row = 0; row < s.height && !stream_exhausted(s); ++row) {
    raw_progress_row(s, row, s.height);
    read_bytes(s, data.get(), Int64(pairs) * 4);
    for (Integer i = 0; i < pairs; ++i) row32[i] = LoadLE32(data.get() + 4 * i);
    sony_descramble(s, row32.get(), pairs, key, row == 0);
    for (Integer i = 0; i < pairs; ++i) StoreLE32(data.get() + 4 * i, row32[i]);
    for (Integer col = 0; col < cols; ++col) {
      const Word v = Word(data[2 * col] << 8 | data[2 * col + 1]);
      const Integer c = col - s.left_margin;
      if (c >= 0 && c < s.width)
        store_cell(s, row, c, v);
      else
        sum += v;
    }
  }
  if (s.width < 3343) SetBlackFromSum(s, sum, 1, 3343 - s.width);
}

// ------------------------------------------------------------- content tests

bool nikon_is_compressed(TRAWDecoderState& s) {
  if (s.compression != 34713) return false;
  if (std::strcmp(s.model, "D100") != 0) return true;
  Byte test[256];
  stream_seek(s, s.data_offset);
  read_bytes(s, test, sizeof(test));
  for (int i = 15; i < 256; i += 16)
    if (test[i]) return true;
  return false;
}

bool nikon_e990_test(TRAWDecoderState& s) {
  Byte data[2000];
  stream_seek(s, 2383920);
  read_bytes(s, data, sizeof(data));
  Integer count[256] = {};
  for (Byte b : data) ++count[b];
  for (int v : {0, 85, 170, 255})
    if (count[v] > 400) return true;
  return false;
}

bool nikon_e2100_test(TRAWDecoderState& s) {
  Byte t[12];
  stream_seek(s, 0);
  for (int i = 0; i < 1024; ++i) {
    read_bytes(s, t, sizeof(t));
    if (((t[2] & t[4] & t[7] & t[9]) >> 4 & t[1] & t[6] & t[8] & t[11] & 3) != 3) return false;
  }
  return true;
}

bool minolta_z2_test(TRAWDecoderState& s) {
  Byte tail[424];
  stream_seek(s, std::max<Int64>(stream_size(s) - 424, 0));
  std::memset(tail, 0, sizeof(tail));
  read_bytes(s, tail, std::min<Int64>(stream_size(s), 424));
  for (Byte b : tail)
    if (b) return true;
  return false;
}
