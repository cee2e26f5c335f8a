// Builds small TIFF files in memory for the tests: directories of typed
// entries in either byte order, chained pages, sub-directories reached by a
// pointer tag, and data blocks (strips, JPEG streams) referred to by offset.
#pragma once

#include <cstdint>
#include <cstring>
#include <string>
#include <utility>
#include <vector>

namespace tiffkit {

struct Entry {
  uint16_t Tag = 0;
  uint16_t Type = 0;
  uint32_t Count = 0;
  std::vector<uint8_t> Data;  // value bytes in file order
  int PointsToIfd = -1;       // LONG value = offset of that directory
  int PointsToBlob = -1;      // LONG value = offset of that data block
};

class Builder {
 public:
  explicit Builder(bool LittleEndian = true) : le_(LittleEndian) {}

  /// A new directory; Chained ones form the page chain in creation order.
  int AddIfd(bool Chained = true) {
    ifds_.push_back({{}, Chained});
    return static_cast<int>(ifds_.size()) - 1;
  }
  int AddBlob(std::vector<uint8_t> Bytes) {
    blobs_.push_back(std::move(Bytes));
    return static_cast<int>(blobs_.size()) - 1;
  }

  void Short(int Ifd, uint16_t Tag, std::vector<uint16_t> V) {
    Entry e{Tag, 3, static_cast<uint32_t>(V.size()), {}};
    for (uint16_t v : V) Put16(e.Data, v);
    Add(Ifd, std::move(e));
  }
  void SShort(int Ifd, uint16_t Tag, int16_t V) {
    Entry e{Tag, 8, 1, {}};
    Put16(e.Data, static_cast<uint16_t>(V));
    Add(Ifd, std::move(e));
  }
  void Long(int Ifd, uint16_t Tag, std::vector<uint32_t> V) {
    Entry e{Tag, 4, static_cast<uint32_t>(V.size()), {}};
    for (uint32_t v : V) Put32(e.Data, v);
    Add(Ifd, std::move(e));
  }
  void Rational(int Ifd, uint16_t Tag, std::vector<std::pair<uint32_t, uint32_t>> V, bool Signed = false) {
    Entry e{Tag, static_cast<uint16_t>(Signed ? 10 : 5), static_cast<uint32_t>(V.size()), {}};
    for (auto [n, d] : V) Put32(e.Data, n), Put32(e.Data, d);
    Add(Ifd, std::move(e));
  }
  void Float(int Ifd, uint16_t Tag, float V) {
    uint32_t bits;
    std::memcpy(&bits, &V, 4);
    Entry e{Tag, 11, 1, {}};
    Put32(e.Data, bits);
    Add(Ifd, std::move(e));
  }
  void Double(int Ifd, uint16_t Tag, double V) {
    uint64_t bits;
    std::memcpy(&bits, &V, 8);
    Entry e{Tag, 12, 1, {}};
    if (le_) Put32(e.Data, uint32_t(bits)), Put32(e.Data, uint32_t(bits >> 32));
    else Put32(e.Data, uint32_t(bits >> 32)), Put32(e.Data, uint32_t(bits));
    Add(Ifd, std::move(e));
  }
  /// ASCII with its terminating zero.
  void Ascii(int Ifd, uint16_t Tag, const std::string& S) {
    Entry e{Tag, 2, static_cast<uint32_t>(S.size() + 1), {}};
    e.Data.assign(S.begin(), S.end());
    e.Data.push_back(0);
    Add(Ifd, std::move(e));
  }
  /// Raw bytes of any byte-sized type (BYTE 1, UNDEFINED 7, SBYTE 6).
  void Bytes(int Ifd, uint16_t Tag, uint16_t Type, std::vector<uint8_t> B) {
    Entry e{Tag, Type, static_cast<uint32_t>(B.size()), std::move(B)};
    Add(Ifd, std::move(e));
  }
  /// A LONG entry holding the offset of directory Target.
  void Pointer(int Ifd, uint16_t Tag, int Target) {
    Entry e{Tag, 4, 1, {0, 0, 0, 0}};
    e.PointsToIfd = Target;
    Add(Ifd, std::move(e));
  }
  /// A LONG entry holding the offset of data block Blob.
  void BlobOffset(int Ifd, uint16_t Tag, int Blob) {
    Entry e{Tag, 4, 1, {0, 0, 0, 0}};
    e.PointsToBlob = Blob;
    Add(Ifd, std::move(e));
  }
  /// A raw entry as given (for hostile counts and offsets): Value goes into
  /// the value field as a 32-bit number.
  void RawEntry(int Ifd, uint16_t Tag, uint16_t Type, uint32_t Count, uint32_t Value) {
    Entry e{Tag, Type, Count, {}};
    Put32(e.Data, Value);
    e.Count = Count;
    raw_.push_back({Ifd, ifds_[static_cast<size_t>(Ifd)].Entries.size()});
    ifds_[static_cast<size_t>(Ifd)].Entries.push_back(std::move(e));
  }

  /// Offset of directory I in the last Build().
  uint32_t IfdOffset(int I) const { return ifdOffsets_[static_cast<size_t>(I)]; }

  std::vector<uint8_t> Build() {
    // Layout: header, each directory followed by its out-of-entry values,
    // then the data blocks.
    uint32_t pos = 8;
    ifdOffsets_.assign(ifds_.size(), 0);
    std::vector<std::vector<uint32_t>> valueOffsets(ifds_.size());
    for (size_t i = 0; i < ifds_.size(); ++i) {
      ifdOffsets_[i] = pos;
      pos += 2 + 12 * static_cast<uint32_t>(ifds_[i].Entries.size()) + 4;
      for (const Entry& e : ifds_[i].Entries) {
        uint32_t off = 0;
        if (e.Data.size() > 4 && !IsRaw(i, &e)) {
          off = pos;
          pos += static_cast<uint32_t>(e.Data.size() + (e.Data.size() & 1));
        }
        valueOffsets[i].push_back(off);
      }
    }
    std::vector<uint32_t> blobOffsets;
    for (const auto& b : blobs_) {
      blobOffsets.push_back(pos);
      pos += static_cast<uint32_t>(b.size() + (b.size() & 1));
    }
    std::vector<uint8_t> out;
    out.push_back(le_ ? 'I' : 'M');
    out.push_back(le_ ? 'I' : 'M');
    Put16(out, 42);
    Put32(out, ifds_.empty() ? 0 : ifdOffsets_[0]);
    for (size_t i = 0; i < ifds_.size(); ++i) {
      const auto& entries = ifds_[i].Entries;
      Put16(out, static_cast<uint16_t>(entries.size()));
      for (size_t k = 0; k < entries.size(); ++k) {
        const Entry& e = entries[k];
        Put16(out, e.Tag);
        Put16(out, e.Type);
        Put32(out, e.Count);
        if (e.PointsToIfd >= 0) Put32(out, ifdOffsets_[static_cast<size_t>(e.PointsToIfd)]);
        else if (e.PointsToBlob >= 0) Put32(out, blobOffsets[static_cast<size_t>(e.PointsToBlob)]);
        else if (IsRaw(i, &e)) out.insert(out.end(), e.Data.begin(), e.Data.end());
        else if (e.Data.size() > 4) Put32(out, valueOffsets[i][k]);
        else {
          std::vector<uint8_t> v = e.Data;
          v.resize(4, 0);
          out.insert(out.end(), v.begin(), v.end());
        }
      }
      uint32_t next = 0;
      if (ifds_[i].Chained) {
        for (size_t j = i + 1; j < ifds_.size(); ++j) {
          if (ifds_[j].Chained) {
            next = ifdOffsets_[j];
            break;
          }
        }
      }
      Put32(out, next);
      for (size_t k = 0; k < entries.size(); ++k) {
        const Entry& e = entries[k];
        if (e.Data.size() > 4 && !IsRaw(i, &e)) {
          out.insert(out.end(), e.Data.begin(), e.Data.end());
          if (e.Data.size() & 1) out.push_back(0);
        }
      }
    }
    for (const auto& b : blobs_) {
      out.insert(out.end(), b.begin(), b.end());
      if (b.size() & 1) out.push_back(0);
    }
    return out;
  }

  void Put16(std::vector<uint8_t>& o, uint16_t v) const {
    if (le_) o.push_back(uint8_t(v)), o.push_back(uint8_t(v >> 8));
    else o.push_back(uint8_t(v >> 8)), o.push_back(uint8_t(v));
  }
  void Put32(std::vector<uint8_t>& o, uint32_t v) const {
    if (le_) for (int i = 0; i < 4; ++i) o.push_back(uint8_t(v >> (8 * i)));
    else for (int i = 3; i >= 0; --i) o.push_back(uint8_t(v >> (8 * i)));
  }

 private:
  struct Ifd {
    std::vector<Entry> Entries;
    bool Chained = true;
  };
  void Add(int I, Entry E) { ifds_[static_cast<size_t>(I)].Entries.push_back(std::move(E)); }
  bool IsRaw(size_t I, const Entry* E) const {
    for (auto [ifd, idx] : raw_)
      if (static_cast<size_t>(ifd) == I && &ifds_[I].Entries[idx] == E) return true;
    return false;
  }

  bool le_;
  std::vector<Ifd> ifds_;
  std::vector<std::vector<uint8_t>> blobs_;
  std::vector<std::pair<int, size_t>> raw_;
  std::vector<uint32_t> ifdOffsets_;
};

/// Writes a 32-bit number into Bytes at Pos in the given byte order.
inline void Patch32(std::vector<uint8_t>& Bytes, size_t Pos, uint32_t V, bool LittleEndian) {
  for (int i = 0; i < 4; ++i)
    Bytes[Pos + static_cast<size_t>(i)] = LittleEndian ? uint8_t(V >> (8 * i)) : uint8_t(V >> (8 * (3 - i)));
}

}  // namespace tiffkit
