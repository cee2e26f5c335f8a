// Coders of the sample files whose cameras store their sensor data in a
// layout of their own: Phase One's scrambled words, Kodak DC120's turned
// rows, Rollei's split 10-bit data, Foveon's coded differences with three
// values a cell, and Fuji's sensor turned by 45 degrees. Each writes what
// the decoder in raw/ reads back.
#pragma once

#include <algorithm>
#include <cstdint>
#include <functional>
#include <string>

#include "raw/kit/identfiles.h"
#include "raw/kit/loaderkit.h"
#include "raw/kit/rawkit.h"

namespace samples {

/// Value of the sensor cell at (row, column).
using CellFn = std::function<int(int row, int col)>;

/// Phase One: "MMMMRawT", the sensor size in the header, then from byte 12
/// rows of big-endian 16-bit words; each pair of words is XORed with the
/// two keys of the header after swapping their odd bits. Cols must be even.
/// The first row's words under the header's fields (size and keys) are
/// lost to them, as in the camera's files.
inline rawkit::Bytes PhaseOneFile(int Rows, int Cols, const CellFn& Cell, uint16_t KeyA, uint16_t KeyB) {
  constexpr uint32_t kSkip = 20;  // bytes between the skip field and the sizes, less 136
  constexpr size_t kData = 12;
  rawkit::ByteWriter w(false);
  w.pad_to(kData);
  for (int r = 0; r < Rows; ++r)
    for (int c = 0; c + 1 < Cols; c += 2) {
      const uint32_t A = uint32_t(Cell(r, c)), B = uint32_t(Cell(r, c + 1));
      const uint32_t a = (A & 0x5555) | (B & 0xAAAA), b = (B & 0x5555) | (A & 0xAAAA);
      w.u16(a ^ KeyA).u16(b ^ KeyB);
    }
  const rawkit::Bytes magic = {'M', 'M', 'M', 'M', 'R', 'a', 'w', 'T'};
  w.put_at(0, magic);
  w.put32_at(8, kSkip);
  w.put32_at(12 + kSkip + 136, uint32_t(Cols));
  w.put32_at(12 + kSkip + 136 + 4 + 12, uint32_t(Rows));
  w.put16_at(12 + kSkip + 296, KeyA);
  w.put16_at(12 + kSkip + 298, KeyB);
  return w.bytes();
}

/// Kodak DC120: a TIFF naming the camera, whose sub-directory places 976
/// rows of 848 8-bit cells; each row is turned left by an amount that
/// follows the row number.
inline rawkit::Bytes KodakDc120File(const CellFn& Cell) {
  constexpr int kRows = 976, kCols = 848;
  constexpr uint32_t kData = 1024;
  static const int kMul[4] = {162, 192, 187, 92};
  static const int kAdd[4] = {0, 636, 424, 212};
  rawkit::TiffIfd ifd0, raw;
  ifd0.add_text(271, "KODAK").add_text(272, "KODAK DC120 ZOOM DIGITAL CAMERA").add_sub(330, 1);
  raw.add_long(256, kCols).add_long(257, kRows).add_short(259, 1).add_long(273, kData);
  rawkit::TiffBuilder t(true);
  t.ifds = {ifd0, raw};
  rawkit::ByteWriter w(true);
  t.write(w);
  w.pad_to(kData);
  rawkit::Bytes row(kCols);
  for (int r = 0; r < kRows; ++r) {
    const long shift = long(r) * kMul[r & 3] + kAdd[r & 3];
    for (int c = 0; c < kCols; ++c) row[size_t((c + shift) % kCols)] = uint8_t(Cell(r, c));
    w.raw(row);
  }
  return w.bytes();
}

/// Rollei d530flex: a text header of 128-byte lines, then the 10-bit cells
/// of the raw_rows × raw_cols sensor split in two parts (see
/// rawkit::pack_rollei). raw_rows × raw_cols must be a multiple of 8.
inline rawkit::Bytes RolleiFile(int RawRows, int RawCols, const CellFn& Cell) {
  rawkit::Bytes file = rawkit::rollei_file(RawCols, RawRows, 1024);
  const rawkit::Bytes data = rawkit::pack_rollei(long(RawRows) * RawCols, [&](long pos) {
    return Cell(int(pos / RawCols), int(pos % RawCols));
  });
  file.insert(file.end(), data.begin(), data.end());
  return file;
}

/// Foveon: three values a cell, each row coded as differences from the
/// previous cell's value of the same colour (0 at the start of a row). The
/// differences -511..511 have a prefix code: n ones, a zero and n bits for
/// a difference of n bits (n < 9), nine ones and nine bits for 9-bit
/// differences. Larger steps are spread over the following cells. Rows
/// start on a 32-bit word, with a spare word after a row that filled its
/// last word. Cell(row, col, colour) gives the value (1..65535) of each.
inline rawkit::Bytes FoveonFile(int RawRows, int RawCols, const std::function<int(int, int, int)>& Cell,
                                const std::string& Make, const std::string& Model) {
  constexpr int kMaxBits = 9;
  int16_t diff[1024] = {};
  uint32_t codes[1024] = {};
  struct Code {
    uint32_t bits;
    int len;
  };
  Code byDiff[2 * 511 + 1] = {};
  int index = 0;
  for (int n = 0; n <= kMaxBits; ++n) {
    const int prefixLen = n < kMaxBits ? n + 1 : n;
    const uint32_t prefix = ((1u << n) - 1) << (prefixLen - n);  // n ones, then the zero
    for (uint32_t v = 0; v < (n ? 1u << n : 1u); ++v) {
      // n-bit values with the top bit clear are the negative differences.
      const int d = n == 0 ? 0 : (v & (1u << (n - 1))) ? int(v) : int(v) - (1 << n) + 1;
      const Code c{(prefix << n) | v, prefixLen + n};
      diff[index] = int16_t(d);
      codes[index] = uint32_t(c.len) << 27 | c.bits;
      byDiff[d + 511] = c;
      ++index;
    }
  }
  rawkit::ByteWriter w(true);
  w.text("FOVb", false);
  w.pad_to(248);
  w.u32(uint32_t(RawCols)).u32(uint32_t(RawRows));
  w.pad_to(260);
  for (const int16_t d : diff) w.u16(uint16_t(d));
  for (const uint32_t c : codes) w.u32(c);
  for (int r = 0; r < RawRows; ++r) {
    rawkit::BitWriter bw;
    int pred[3] = {0, 0, 0};
    long bits = 0;
    for (int col = 0; col < RawCols; ++col)
      for (int k = 0; k < 3; ++k) {
        const int d = std::clamp(Cell(r, col, k) - pred[k], -511, 511);
        pred[k] += d;
        const Code c = byDiff[d + 511];
        bw.put(c.bits, c.len);
        bits += c.len;
      }
    rawkit::Bytes row = bw.finish(0, 0);
    row.resize((row.size() + 3) / 4 * 4, 0);
    if (bits > 0 && bits % 32 == 0) row.insert(row.end(), 4, 0);
    w.raw(row);
  }
  // The properties (maker and model) and the directory that finds them.
  while (w.size() % 4) w.u8(0);
  const uint32_t properties = uint32_t(w.size());
  w.u32(0).u32(0).u32(0);
  w.pad_to(properties + 24);
  for (const std::string& text : {std::string("CAMMANUF"), Make, std::string("CAMMODEL"), Model}) {
    for (const char ch : text) w.u16(uint8_t(ch));
    w.u16(0);
  }
  const uint32_t directory = uint32_t(w.size());
  w.text("SECd", false).u32(0).u32(0x464d4143).u32(properties);
  w.u32(directory);
  return w.bytes();
}

/// Fuji FinePix S5000: a "FUJIFILM" header whose TIFF names the camera,
/// then 2152 stored rows of 1472 big-endian 16-bit words after 11824 bytes;
/// stored row r, word j holds sensor cell (1423 + r / 2 - j, j + (r + 1) / 2)
/// of the 45-degree layout, j up to 1423.
inline rawkit::Bytes FujiS5000File(const CellFn& Cell) {
  constexpr uint32_t kData = 2048;
  constexpr int kRows = 2152, kWords = 1472, kLast = 1423, kSkip = 11824;
  rawkit::Bytes file = rawkit::fuji_file(kData, kData);
  rawkit::ByteWriter w(false);
  w.raw(file);
  w.pad_to(kData + kSkip);
  for (int r = 0; r < kRows; ++r)
    for (int j = 0; j < kWords; ++j) w.u16(j <= kLast ? uint32_t(Cell(kLast + r / 2 - j, j + (r + 1) / 2)) : 0);
  return w.bytes();
}

}  // namespace samples
