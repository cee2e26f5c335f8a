// Fixture kit for the camera RAW decoder tests: builds camera-like files in
// memory from our own tables, since no real camera files are used.
//
//  - ByteWriter: bytes in either byte order, with patching at positions.
//  - TiffBuilder: TIFF headers and directory chains in either byte order.
//  - CiffBuilder: Canon CIFF heaps (records, in-record data, sub-heaps).
//  - BitWriter: most-significant-first bit stream, optional 0xFF 0x00 stuffing.
//  - HuffEncoder: canonical codes from a count-and-value table (the same
//    tables the decoder builds its trees from), plus the difference coding.
//  - LosslessJpegWriter: a lossless-JPEG stream of two interleaved columns.
//  - SensorDump: a headerless file of an exact size that begins with no
//    recognised signature.
//
// Header-only, so every test program may include it.
#pragma once

#include <cstdint>
#include <cstring>
#include <functional>
#include <map>
#include <stdexcept>
#include <string>
#include <vector>

namespace rawkit {

using Bytes = std::vector<uint8_t>;

/// Byte sink in a chosen byte order ("II" little-endian or "MM" big-endian).
class ByteWriter {
 public:
  explicit ByteWriter(bool little = true) : little_(little) {}
  bool little() const { return little_; }
  void set_little(bool l) { little_ = l; }
  size_t size() const { return b_.size(); }
  Bytes& bytes() { return b_; }
  const Bytes& bytes() const { return b_; }

  ByteWriter& u8(uint32_t v) { b_.push_back(static_cast<uint8_t>(v)); return *this; }
  ByteWriter& u16(uint32_t v) {
    if (little_) { u8(v); u8(v >> 8); } else { u8(v >> 8); u8(v); }
    return *this;
  }
  ByteWriter& u32(uint32_t v) {
    if (little_) { u16(v & 0xffff); u16(v >> 16); } else { u16(v >> 16); u16(v & 0xffff); }
    return *this;
  }
  ByteWriter& raw(const void* p, size_t n) {
    const uint8_t* c = static_cast<const uint8_t*>(p);
    b_.insert(b_.end(), c, c + n);
    return *this;
  }
  ByteWriter& raw(const Bytes& v) { return raw(v.data(), v.size()); }
  /// Text with its terminating zero when `zero` is set.
  ByteWriter& text(const std::string& s, bool zero = true) {
    raw(s.data(), s.size());
    if (zero) u8(0);
    return *this;
  }
  /// Fills with `v` up to absolute size `n` (no change when already longer).
  ByteWriter& pad_to(size_t n, uint8_t v = 0) {
    if (b_.size() < n) b_.resize(n, v);
    return *this;
  }
  /// Overwrites bytes at `pos` (growing the buffer when needed).
  void put16_at(size_t pos, uint32_t v) {
    ByteWriter t(little_); t.u16(v); put_at(pos, t.bytes());
  }
  void put32_at(size_t pos, uint32_t v) {
    ByteWriter t(little_); t.u32(v); put_at(pos, t.bytes());
  }
  void put_at(size_t pos, const Bytes& v) {
    if (b_.size() < pos + v.size()) b_.resize(pos + v.size(), 0);
    std::memcpy(b_.data() + pos, v.data(), v.size());
  }

 private:
  bool little_;
  Bytes b_;
};

/// One TIFF directory entry: a value that fits the entry, or out-of-line data.
struct TiffEntry {
  uint16_t tag = 0;
  uint16_t type = 4;
  uint32_t count = 1;
  uint32_t value = 0;   ///< used when `data` is empty
  Bytes data;           ///< out-of-line data; its offset becomes the value
  int sub = -1;         ///< index of a directory whose offset becomes the value
};

/// A TIFF directory: entries in file order; `next` links the chain.
struct TiffIfd {
  std::vector<TiffEntry> entries;
  TiffIfd& add(uint16_t tag, uint16_t type, uint32_t count, uint32_t value) {
    TiffEntry e; e.tag = tag; e.type = type; e.count = count; e.value = value;
    entries.push_back(e);
    return *this;
  }
  TiffIfd& add_short(uint16_t tag, uint32_t v) { return add(tag, 3, 1, v); }
  TiffIfd& add_long(uint16_t tag, uint32_t v) { return add(tag, 4, 1, v); }
  /// ASCII text stored out of line (always, even when it would fit).
  TiffIfd& add_text(uint16_t tag, const std::string& s) {
    TiffEntry e; e.tag = tag; e.type = 2; e.count = static_cast<uint32_t>(s.size() + 1);
    e.data.assign(s.begin(), s.end()); e.data.push_back(0);
    entries.push_back(e);
    return *this;
  }
  TiffIfd& add_data(uint16_t tag, uint16_t type, uint32_t count, const Bytes& d) {
    TiffEntry e; e.tag = tag; e.type = type; e.count = count; e.data = d;
    entries.push_back(e);
    return *this;
  }
  /// An entry whose value is the offset of directory `index` of the builder.
  TiffIfd& add_sub(uint16_t tag, int index) {
    TiffEntry e; e.tag = tag; e.type = 4; e.count = 1; e.sub = index;
    entries.push_back(e);
    return *this;
  }
};

/// Writes TIFF structures: a header at `base` and directories in the order
/// given; directories listed in `chain` are linked as the main chain, the
/// others (sub-directories) end with a next offset of 0. Offsets are relative
/// to `base`. Short values with a count below 3 sit in the first half of the
/// value field.
class TiffBuilder {
 public:
  explicit TiffBuilder(bool little = true) : little_(little) {}
  std::vector<TiffIfd> ifds;
  std::vector<int> chain{0};

  /// Appends the structure to `w` (whose byte order is switched to the
  /// builder's) and returns the position of each directory relative to base.
  std::vector<uint32_t> write(ByteWriter& w) const {
    bool keep = w.little();
    w.set_little(little_);
    size_t base = w.size();
    w.u16(little_ ? 0x4949 : 0x4d4d).u16(42).u32(0);
    std::vector<uint32_t> pos(ifds.size());
    // Directories first, data after each one.
    for (size_t i = 0; i < ifds.size(); ++i) {
      if (w.size() & 1) w.u8(0);
      pos[i] = static_cast<uint32_t>(w.size() - base);
      const TiffIfd& d = ifds[i];
      w.u16(static_cast<uint32_t>(d.entries.size()));
      std::vector<size_t> value_at;
      for (const TiffEntry& e : d.entries) {
        w.u16(e.tag).u16(e.type).u32(e.count);
        value_at.push_back(w.size());
        if (e.data.empty() && e.sub < 0 && e.type == 3 && e.count < 3) {
          w.u16(e.value).u16(0);
        } else {
          w.u32(e.value);
        }
      }
      next_at_.push_back(w.size());
      w.u32(0);
      for (size_t k = 0; k < d.entries.size(); ++k) {
        const TiffEntry& e = d.entries[k];
        if (e.data.empty()) continue;
        if (w.size() & 1) w.u8(0);
        w.put32_at(value_at[k], static_cast<uint32_t>(w.size() - base));
        w.raw(e.data);
      }
      pending_.push_back(value_at);
    }
    // Sub-directory offsets and the main chain.
    for (size_t i = 0; i < ifds.size(); ++i)
      for (size_t k = 0; k < ifds[i].entries.size(); ++k)
        if (ifds[i].entries[k].sub >= 0)
          w.put32_at(pending_[i][k], pos[static_cast<size_t>(ifds[i].entries[k].sub)]);
    if (!chain.empty()) w.put32_at(base + 4, pos[static_cast<size_t>(chain[0])]);
    for (size_t c = 0; c + 1 < chain.size(); ++c)
      w.put32_at(next_at_[static_cast<size_t>(chain[c])], pos[static_cast<size_t>(chain[c + 1])]);
    next_at_.clear();
    pending_.clear();
    w.set_little(keep);
    return pos;
  }

 private:
  bool little_;
  mutable std::vector<size_t> next_at_;
  mutable std::vector<std::vector<size_t>> pending_;
};

/// One CIFF record: data stored in the heap, data inside the record (8 bytes,
/// type gets 0x4000), or a sub-heap.
struct CiffRecord {
  uint16_t type = 0;
  Bytes data;
  bool in_record = false;
  std::vector<CiffRecord> heap;   ///< sub-heap records (when is_heap)
  bool is_heap = false;
};

/// Builds Canon CIFF files: a 14-byte header (byte order, header length,
/// "HEAPCCDR") followed by the root heap. A heap is its records' data, then
/// the record table (count and 10-byte records), then the table's offset.
class CiffBuilder {
 public:
  explicit CiffBuilder(bool little = true) : little_(little) {}

  static CiffRecord rec(uint16_t type, const Bytes& data) {
    CiffRecord r; r.type = type; r.data = data; return r;
  }
  static CiffRecord inrec(uint16_t type, const Bytes& eight) {
    CiffRecord r; r.type = type; r.data = eight; r.data.resize(8, 0); r.in_record = true; return r;
  }
  static CiffRecord heap(uint16_t type, std::vector<CiffRecord> recs) {
    CiffRecord r; r.type = type; r.heap = std::move(recs); r.is_heap = true; return r;
  }

  /// Heap bytes in the builder's byte order.
  Bytes build_heap(const std::vector<CiffRecord>& recs) const {
    ByteWriter w(little_);
    std::vector<uint32_t> off(recs.size()), len(recs.size());
    for (size_t i = 0; i < recs.size(); ++i) {
      const CiffRecord& r = recs[i];
      if (r.in_record) continue;
      Bytes d = r.is_heap ? build_heap(r.heap) : r.data;
      off[i] = static_cast<uint32_t>(w.size());
      len[i] = static_cast<uint32_t>(d.size());
      w.raw(d);
    }
    uint32_t table = static_cast<uint32_t>(w.size());
    w.u16(static_cast<uint32_t>(recs.size()));
    for (size_t i = 0; i < recs.size(); ++i) {
      const CiffRecord& r = recs[i];
      if (r.in_record) {
        w.u16((r.type & 0x3fff) | 0x4000);
        w.raw(r.data.data(), 8);
      } else {
        w.u16(r.type).u32(len[i]).u32(off[i]);
      }
    }
    w.u32(table);
    return w.bytes();
  }

  /// A whole file: header of `header_len` bytes (at least 14) and the heap.
  Bytes build_file(const std::vector<CiffRecord>& recs, uint32_t header_len = 26) const {
    ByteWriter w(little_);
    w.u16(little_ ? 0x4949 : 0x4d4d).u32(header_len).text("HEAPCCDR", false);
    w.pad_to(header_len);
    w.raw(build_heap(recs));
    return w.bytes();
  }

 private:
  bool little_;
};

/// Most-significant-first bit writer. With `stuff` every 0xFF byte written is
/// followed by a 0x00, as the decoder's zero-after-FF mode expects.
class BitWriter {
 public:
  explicit BitWriter(bool stuff = false) : stuff_(stuff) {}
  void put(uint32_t bits, int n) {
    for (int i = n - 1; i >= 0; --i) {
      acc_ = (acc_ << 1) | ((bits >> i) & 1u);
      if (++nacc_ == 8) emit();
    }
  }
  /// Pads the last byte with `fill` bits (0 or 1) and appends `tail` zero
  /// bytes (the decoder reads ahead up to 4 bytes).
  Bytes finish(int fill = 0, size_t tail = 4) {
    while (nacc_) put(static_cast<uint32_t>(fill), 1);
    Bytes r = out_;
    r.insert(r.end(), tail, 0);
    return r;
  }
  const Bytes& bytes() const { return out_; }

 private:
  void emit() {
    out_.push_back(static_cast<uint8_t>(acc_));
    if (stuff_ && static_cast<uint8_t>(acc_) == 0xff) out_.push_back(0);
    acc_ = 0;
    nacc_ = 0;
  }
  bool stuff_;
  uint32_t acc_ = 0;
  int nacc_ = 0;
  Bytes out_;
};

/// Canonical Huffman codes of a count-and-value table (16 counts for code
/// lengths 1..16, then the values in code order), computed independently of
/// the decoder's tree builder.
class HuffEncoder {
 public:
  struct Code { uint32_t bits; int len; };
  HuffEncoder(const uint8_t* table, size_t values_available) {
    uint32_t code = 0;
    size_t k = 0;
    for (int len = 1; len <= 16; ++len) {
      for (int i = 0; i < table[len - 1]; ++i, ++k) {
        if (k >= values_available) throw std::runtime_error("table lists too few values");
        int v = table[16 + k];
        if (!codes_.count(v)) codes_[v] = Code{code, len};
        ++code;
      }
      code <<= 1;
    }
  }
  bool has(int value) const { return codes_.count(value) != 0; }
  Code code(int value) const {
    auto it = codes_.find(value);
    if (it == codes_.end()) throw std::runtime_error("value not in table");
    return it->second;
  }
  void put(BitWriter& bw, int value) const { Code c = code(value); bw.put(c.bits, c.len); }

  /// Bit length of a difference (0 for 0).
  static int diff_len(int d) {
    int a = d < 0 ? -d : d, n = 0;
    while (a) { ++n; a >>= 1; }
    return n;
  }
  /// The `len` bits that code difference `d` (negative values as
  /// d + 2^len - 1, so their top bit is 0).
  static uint32_t diff_bits(int d, int len) {
    return static_cast<uint32_t>(d < 0 ? d + (1 << len) - 1 : d) & ((1u << len) - 1u);
  }

 private:
  std::map<int, Code> codes_;
};

/// Encodes a difference with the length coded by `h`, then its bits.
inline void put_diff(BitWriter& bw, const HuffEncoder& h, int d) {
  int len = HuffEncoder::diff_len(d);
  h.put(bw, len);
  if (len) bw.put(HuffEncoder::diff_bits(d, len), len);
}

/// Length table for lossless-JPEG fixtures: the 17 difference lengths 0..16,
/// one code of 2 bits, five of 3 bits, then one each of 4..14 bits.
inline Bytes lossless_length_table() {
  Bytes t = {0, 1, 5, 1, 1, 1, 1, 1, 1, 1, 1, 1, 1, 1, 0, 0};
  for (int v = 0; v <= 16; ++v) t.push_back(static_cast<uint8_t>(v));
  return t;
}

/// Lossless-JPEG writer: `rows` × `cols` samples (cols even), columns coded
/// alternately with table class 0 and 1, with the predictors the decoder
/// uses (columns 0 and 1 predict from the row above's first two samples,
/// starting at 2048; later columns from the sample two to the left).
inline Bytes lossless_jpeg(int rows, int cols, const std::function<int(int, int)>& value,
                           const Bytes& table0 = lossless_length_table(),
                           const Bytes& table1 = lossless_length_table()) {
  ByteWriter w(false);
  w.u16(0xffd8);
  // SOF3: precision, rows, columns / 2, two components.
  w.u16(0xffc3).u16(2 + 6 + 3 * 2).u8(12).u16(static_cast<uint32_t>(rows))
      .u16(static_cast<uint32_t>(cols / 2)).u8(2);
  w.u8(1).u8(0x11).u8(0).u8(2).u8(0x11).u8(0);
  // DHT with both tables.
  w.u16(0xffc4).u16(static_cast<uint32_t>(2 + 1 + table0.size() + 1 + table1.size()));
  w.u8(0).raw(table0).u8(1).raw(table1);
  // SOS.
  w.u16(0xffda).u16(2 + 1 + 4 + 3).u8(2).u8(1).u8(0x00).u8(2).u8(0x11).u8(1).u8(0).u8(0);
  HuffEncoder h0(table0.data(), table0.size() - 16), h1(table1.data(), table1.size() - 16);
  BitWriter bw(true);
  int vpred[2] = {2048, 2048};
  for (int r = 0; r < rows; ++r) {
    int hpred[2] = {0, 0};
    for (int c = 0; c < cols; ++c) {
      int v = value(r, c);
      int pred = c < 2 ? vpred[c] : hpred[c & 1];
      int d = v - pred;
      put_diff(bw, (c & 1) ? h1 : h0, d);
      if (c < 2) vpred[c] = v;
      hpred[c & 1] = v;
    }
  }
  w.raw(bw.finish(1, 0));
  w.u16(0xffd9);
  w.pad_to(w.size() + 8);
  return w.bytes();
}

/// A headerless "sensor dump" of exactly `size` bytes whose bytes are
/// `fill(i)` (default: a position hash), adjusted so the file begins with no
/// signature the identification recognises.
inline Bytes sensor_dump(size_t size, const std::function<uint8_t(size_t)>& fill = nullptr) {
  Bytes b(size);
  for (size_t i = 0; i < size; ++i)
    b[i] = fill ? fill(i) : static_cast<uint8_t>((i * 2654435761u) >> 13);
  // 0x01 0x02 is no byte order, no "BM"/"BR", no JPEG, no zero-"MRM", no
  // "FUJIFILM", "DSC-Image" or "FOVb"; the rest of the header window holds
  // neither "MMMMRawT" nor "ARECOYK" at 25.
  if (size > 0) b[0] = 0x01;
  if (size > 1) b[1] = 0x02;
  for (size_t i = 2; i < 32 && i < size; ++i)
    if (b[i] == 'M' || b[i] == 'A') b[i] = 0x03;
  return b;
}

}  // namespace rawkit

namespace rawkit {

/// Canon CIFF compressed data for `rows` × `cols` 10-bit samples
/// (`value(row, col)`; cols a multiple of 8, rows a multiple of 8), coded
/// with the decoder's table set given by `first`/`second` (bands of 8 rows,
/// 64-difference blocks, predictors reset to 512 at each row, the first
/// difference of a block relative to the previous block's). Returns the
/// entropy-coded bytes with 0xFF 0x00 stuffing.
inline Bytes canon_compressed(int rows, int cols, const std::function<int(int, int)>& value,
                              const uint8_t* first, size_t first_len,
                              const uint8_t* second, size_t second_len) {
  HuffEncoder h1(first, first_len - 16), h2(second, second_len - 16);
  BitWriter bw(true);
  int64_t carry = 0;
  for (int row = 0; row < rows; row += 8) {
    std::vector<int> diffs(static_cast<size_t>(8 * cols));
    for (int r = 0; r < 8; ++r) {
      int base[2] = {512, 512};
      for (int c = 0; c < cols; ++c) {
        int v = value(row + r, c);
        diffs[static_cast<size_t>(r * cols + c)] = v - base[c & 1];
        base[c & 1] = v;
      }
    }
    for (size_t b = 0; b < diffs.size() / 64; ++b) {
      const int* d = &diffs[b * 64];
      int d0 = static_cast<int>(d[0] - carry);
      carry = d[0];
      int len = HuffEncoder::diff_len(d0);
      h1.put(bw, len);
      if (len) bw.put(HuffEncoder::diff_bits(d0, len), len);
      int cur = 1;
      for (int p = 1; p < 64; ++p) {
        if (!d[p]) continue;
        int run = p - cur;
        while (run > 15) { h2.put(bw, 0xf0); run -= 16; }
        int l = HuffEncoder::diff_len(d[p]);
        h2.put(bw, (run << 4) | l);
        bw.put(HuffEncoder::diff_bits(d[p], l), l);
        cur = p + 1;
      }
      if (cur < 64) h2.put(bw, 0);
    }
  }
  return bw.finish(0, 8);
}

}  // namespace rawkit
