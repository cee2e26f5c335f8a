// Packers for the raw loader tests: each turns sample values into the sensor
// data layout of one camera family, written from the layouts alone (no
// decoder code is shared), so a loader can be checked by a round trip.
#pragma once

#include <algorithm>
#include <cstdint>
#include <functional>
#include <vector>

#include "raw/kit/rawkit.h"

namespace rawkit {

/// Sample of sensor cell (row, col) before the loader's scaling.
using SampleFn = std::function<int(int row, int col)>;

/// Rows of 16-bit words, big- or little-endian.
inline Bytes pack_words(int rows, int cols, const SampleFn& f, bool big) {
  ByteWriter w(!big);
  for (int r = 0; r < rows; ++r)
    for (int c = 0; c < cols; ++c) w.u16(static_cast<uint32_t>(f(r, c)));
  return w.bytes();
}

/// Picture row of stored row i in files that store the even rows first.
inline int interlaced_row(int i, int height) { return i < height / 2 ? 2 * i : 2 * (i - height / 2) + 1; }

/// Continuous most-significant-first bit stream: per stored row `cols`
/// values of `bits` bits of picture row `rowOf(i)`, then `skipBytes` zero bytes.
inline Bytes pack_bits(int rows, int cols, int bits, const SampleFn& f, int skipBytes = 0,
                       const std::function<int(int)>& rowOf = nullptr) {
  BitWriter bw;
  for (int i = 0; i < rows; ++i) {
    const int r = rowOf ? rowOf(i) : i;
    for (int c = 0; c < cols; ++c) bw.put(static_cast<uint32_t>(f(r, c)), bits);
    for (int k = 0; k < skipBytes; ++k) bw.put(0, 8);
  }
  return bw.finish(0, 8);
}

/// Canon PowerShot 600: eight 10-bit samples in ten bytes, low bits gathered
/// in the second and tenth byte.
inline void put_canon600_group(ByteWriter& w, const int* s) {
  w.u8(s[0] >> 2).u8((s[0] & 3) << 6 | (s[1] & 3) << 4 | (s[2] & 3) << 2 | (s[3] & 3));
  w.u8(s[1] >> 2).u8(s[2] >> 2).u8(s[3] >> 2).u8(s[4] >> 2).u8(s[5] >> 2).u8(s[6] >> 2).u8(s[7] >> 2);
  w.u8((s[7] & 3) << 6 | (s[6] & 3) << 4 | (s[5] & 3) << 2 | (s[4] & 3));
}

/// Canon PowerShot A5: eight 10-bit samples in ten bytes, byte pairs swapped.
inline void put_canon_a5_group(ByteWriter& w, const int* s) {
  const int b[10] = {
      (s[0] & 3) << 6 | s[1] >> 4, s[0] >> 2,        (s[2] & 63) << 2 | s[3] >> 8, (s[1] & 15) << 4 | s[2] >> 6,
      s[4] >> 2,                   s[3] & 0xFF,      (s[5] & 15) << 4 | s[6] >> 6, (s[4] & 3) << 6 | s[5] >> 4,
      s[7] & 0xFF,                 (s[6] & 63) << 2 | s[7] >> 8};
  for (int v : b) w.u8(static_cast<uint32_t>(v));
}

/// Nikon E2100: eight 12-bit samples in twelve shuffled bytes.
inline void put_e2100_group(ByteWriter& w, const int* s) {
  int b[12];
  b[3] = s[0] >> 4;
  b[2] = (s[0] & 15) << 4 | s[1] >> 8;
  b[1] = s[1] & 0xFF;
  b[0] = s[2] >> 4;
  b[7] = (s[2] & 15) << 4 | s[3] >> 8;
  b[6] = s[3] & 0xFF;
  b[5] = s[4] >> 4;
  b[4] = (s[4] & 15) << 4 | s[5] >> 8;
  b[11] = s[5] & 0xFF;
  b[10] = s[6] >> 4;
  b[9] = (s[6] & 15) << 4 | s[7] >> 8;
  b[8] = s[7] & 0xFF;
  for (int v : b) w.u8(static_cast<uint32_t>(v));
}

/// Rollei: the low part holds the low 10 bits of five samples in five byte
/// pairs; the six spare bits of those pairs hold three more 10-bit samples.
/// `value(pos)` is the 10-bit sample at linear position pos; `total` the
/// number of positions (a multiple of 8).
inline Bytes pack_rollei(long total, const std::function<int(long)>& value) {
  ByteWriter w;
  const long groups = total / 8;
  const long high = total * 5 / 8;
  for (long g = 0; g < groups; ++g) {
    const uint32_t acc = static_cast<uint32_t>(value(high + 3 * g)) << 20 |
                         static_cast<uint32_t>(value(high + 3 * g + 1)) << 10 |
                         static_cast<uint32_t>(value(high + 3 * g + 2));
    for (int k = 0; k < 5; ++k) {
      const int v = value(5 * g + k);
      const uint32_t part = (acc >> (24 - 6 * k)) & 63;
      w.u8(part << 2 | static_cast<uint32_t>(v >> 8)).u8(static_cast<uint32_t>(v & 0xFF));
    }
  }
  return w.bytes();
}

/// Kodak compression 65000 bit sink: bits are collected from the low end;
/// the first 16 go out as a preload pair when asked, the rest as 32-bit
/// chunks, each written as two 16-bit halves with the low byte second.
class KodakBitSink {
 public:
  void put_diff(int d) {
    const int n = HuffEncoder::diff_len(d);
    const uint32_t bits = n ? HuffEncoder::diff_bits(d, n) : 0;
    for (int i = 0; i < n; ++i) bits_.push_back((bits >> i) & 1);
  }
  /// Writes the block's bits to `w`; `preload` when the block length mod 8 is 4.
  void flush(ByteWriter& w, bool preload) {
    size_t pos = 0;
    auto take = [&](int n) {
      uint32_t v = 0;
      for (int i = 0; i < n; ++i, ++pos)
        if (pos < bits_.size() && bits_[pos]) v |= 1u << i;
      return v;
    };
    if (preload) {
      const uint32_t p = take(16);
      w.u8(p >> 8).u8(p & 0xFF);
    }
    while (pos < bits_.size()) {
      const uint32_t v = take(32);
      w.u8((v >> 8) & 0xFF).u8(v & 0xFF).u8(v >> 24).u8((v >> 16) & 0xFF);
    }
    bits_.clear();
  }

 private:
  std::vector<int> bits_;
};

/// Nibble list (low nibble first) of code lengths.
inline void put_nibbles(ByteWriter& w, const std::vector<int>& len) {
  for (size_t i = 0; i < len.size(); i += 2)
    w.u8(static_cast<uint32_t>(len[i] | (i + 1 < len.size() ? len[i + 1] : 0) << 4));
}

/// Kodak compression 65000 colour-filter rows of 12-bit curve indexes: coded
/// blocks of 256 columns, or plain blocks when `plain` says so for a block.
inline Bytes pack_kodak65000(int rows, int width, const SampleFn& f,
                             const std::function<bool(int row, int col)>& plain = nullptr) {
  ByteWriter w(false);
  for (int r = 0; r < rows; ++r)
    for (int col = 0; col < width; col += 256) {
      const int len = std::min(256, width - col);
      if (plain && plain(r, col)) {
        if (len % 8 == 4) w.u8(0).u8(0);  // the preload pair is read in plain blocks too
        for (int i = 0; i < len; i += 8) {
          int v[8] = {};
          for (int j = 0; j < 8 && i + j < len; ++j) v[j] = f(r, col + i + j);
          w.u16(static_cast<uint32_t>((v[0] >> 8) << 12 | v[2])).u16(static_cast<uint32_t>((v[1] >> 8) << 12 | v[3]));
          w.u16(static_cast<uint32_t>(((v[0] >> 4) & 15) << 12 | v[4])).u16(static_cast<uint32_t>(((v[1] >> 4) & 15) << 12 | v[5]));
          w.u16(static_cast<uint32_t>((v[0] & 15) << 12 | v[6])).u16(static_cast<uint32_t>((v[1] & 15) << 12 | v[7]));
        }
        continue;
      }
      std::vector<int> lens(static_cast<size_t>(len));
      KodakBitSink sink;
      int pred[2] = {0, 0};
      for (int i = 0; i < len; ++i) {
        const int d = f(r, col + i) - pred[i & 1];
        pred[i & 1] = f(r, col + i);
        lens[static_cast<size_t>(i)] = HuffEncoder::diff_len(d);
        sink.put_diff(d);
      }
      put_nibbles(w, lens);
      sink.flush(w, len % 8 == 4);
    }
  return w.bytes();
}

/// One 2 × 2 group of Kodak luminance/colour-difference data.
struct YuvGroup {
  int y[4];
  int cb, cr;
};

/// Kodak compression 65000 luminance/colour-difference rows: `g(row, col)`
/// gives the group whose top-left cell is (row, col), both even.
inline Bytes pack_kodak_yuv(int height, int width, const std::function<YuvGroup(int, int)>& g) {
  ByteWriter w(false);
  for (int row = 0; row < height; row += 2)
    for (int col0 = 0; col0 < width; col0 += 128) {
      const int n = std::min(384, ((width - col0) * 3 + 3) / 4 * 4);
      std::vector<int> lens;
      KodakBitSink sink;
      int p0 = 0, p1 = 0, cb = 0, cr = 0;
      for (int col = col0; col < std::min(width, col0 + 128); col += 2) {
        const YuvGroup q = g(row, col);
        const int d[6] = {q.y[0] - p0, q.y[1] - q.y[0], q.y[2] - p1, q.y[3] - q.y[2], q.cb - cb, q.cr - cr};
        p0 = q.y[1];
        p1 = q.y[3];
        cb = q.cb;
        cr = q.cr;
        for (int x : d) {
          lens.push_back(HuffEncoder::diff_len(x));
          sink.put_diff(x);
        }
      }
      lens.resize(static_cast<size_t>(n), 0);
      put_nibbles(w, lens);
      sink.flush(w, n % 8 == 4);
    }
  return w.bytes();
}

/// Codes of a tree given as (length, value) pairs in depth-first order.
inline std::vector<HuffEncoder::Code> radc_codes(const std::vector<std::pair<int, int>>& pairs) {
  std::vector<HuffEncoder::Code> out;
  uint32_t code = 0;
  int len = pairs.empty() ? 0 : pairs[0].first;
  for (size_t k = 0; k < pairs.size(); ++k) {
    if (k) {
      ++code;
      const int nl = pairs[k].first;
      code = nl > len ? code << (nl - len) : code >> (len - nl);
      len = nl;
    }
    out.push_back({code, len});
  }
  return out;
}

/// Sony DSC-F828 keystream, written from the generator's description:
/// XOR with it both scrambles and unscrambles.
class SonyKeystream {
 public:
  explicit SonyKeystream(uint32_t key) {
    for (int p = 0; p < 4; ++p) pad_[p] = key = key * 48828125u + 1u;
    pad_[3] = pad_[3] << 1 | (pad_[0] ^ pad_[2]) >> 31;
    for (int p = 4; p < 127; ++p) pad_[p] = (pad_[p - 4] ^ pad_[p - 2]) << 1 | (pad_[p - 3] ^ pad_[p - 1]) >> 31;
    for (int p = 0; p < 127; ++p)
      pad_[p] = (pad_[p] >> 24) | ((pad_[p] >> 8) & 0xFF00u) | ((pad_[p] << 8) & 0xFF0000u) | (pad_[p] << 24);
  }
  /// XORs the bytes at `data` (a multiple of 4), taken as little-endian words.
  void apply(uint8_t* data, size_t n) {
    for (size_t i = 0; i + 4 <= n; i += 4) {
      pad_[p_ & 127] = pad_[(p_ + 1) & 127] ^ pad_[(p_ + 65) & 127];
      const uint32_t k = pad_[p_ & 127];
      ++p_;
      for (int b = 0; b < 4; ++b) data[i + static_cast<size_t>(b)] ^= static_cast<uint8_t>(k >> (8 * b));
    }
  }

 private:
  uint32_t pad_[128] = {};
  uint32_t p_ = 127;
};

}  // namespace rawkit
