// CCITT fax coder. Codes are matched through lookup tables indexed by the
// next 13 bits (every run code is at most 13 bits long); end-of-line codes
// with fill bits are recognised by counting their zeros. Two-dimensional
// rows are handled as lists of changing elements.
#include "codecs/tiff/ccitt.h"

#include <algorithm>
#include <array>
#include <cstdint>
#include <cstring>

namespace {

struct TCode {
  Byte Len;
  Word Bits;
};

// Terminating codes 0..63, then make-up codes 64..1728 (27).
constexpr TCode kWhite[91] = {
    {8, 0x35}, {6, 0x07}, {4, 0x07}, {4, 0x08}, {4, 0x0B}, {4, 0x0C}, {4, 0x0E}, {4, 0x0F}, {5, 0x13}, {5, 0x14},
    {5, 0x07}, {5, 0x08}, {6, 0x08}, {6, 0x03}, {6, 0x34}, {6, 0x35}, {6, 0x2A}, {6, 0x2B}, {7, 0x27}, {7, 0x0C},
    {7, 0x08}, {7, 0x17}, {7, 0x03}, {7, 0x04}, {7, 0x28}, {7, 0x2B}, {7, 0x13}, {7, 0x24}, {7, 0x18}, {8, 0x02},
    {8, 0x03}, {8, 0x1A}, {8, 0x1B}, {8, 0x12}, {8, 0x13}, {8, 0x14}, {8, 0x15}, {8, 0x16}, {8, 0x17}, {8, 0x28},
    {8, 0x29}, {8, 0x2A}, {8, 0x2B}, {8, 0x2C}, {8, 0x2D}, {8, 0x04}, {8, 0x05}, {8, 0x0A}, {8, 0x0B}, {8, 0x52},
    {8, 0x53}, {8, 0x54}, {8, 0x55}, {8, 0x24}, {8, 0x25}, {8, 0x58}, {8, 0x59}, {8, 0x5A}, {8, 0x5B}, {8, 0x4A},
    {8, 0x4B}, {8, 0x32}, {8, 0x33}, {8, 0x34},
    // make-up 64..1728
    {5, 0x1B}, {5, 0x12}, {6, 0x17}, {7, 0x37}, {8, 0x36}, {8, 0x37}, {8, 0x64}, {8, 0x65}, {8, 0x68}, {8, 0x67},
    {9, 0xCC}, {9, 0xCD}, {9, 0xD2}, {9, 0xD3}, {9, 0xD4}, {9, 0xD5}, {9, 0xD6}, {9, 0xD7}, {9, 0xD8}, {9, 0xD9},
    {9, 0xDA}, {9, 0xDB}, {9, 0x98}, {9, 0x99}, {9, 0x9A}, {6, 0x18}, {9, 0x9B}};

constexpr TCode kBlack[91] = {
    {10, 0x37}, {3, 0x02},  {2, 0x03},  {2, 0x02},  {3, 0x03},  {4, 0x03},  {4, 0x02},  {5, 0x03},  {6, 0x05},
    {6, 0x04},  {7, 0x04},  {7, 0x05},  {7, 0x07},  {8, 0x04},  {8, 0x07},  {9, 0x18},  {10, 0x17}, {10, 0x18},
    {10, 0x08}, {11, 0x67}, {11, 0x68}, {11, 0x6C}, {11, 0x37}, {11, 0x28}, {11, 0x17}, {11, 0x18}, {12, 0xCA},
    {12, 0xCB}, {12, 0xCC}, {12, 0xCD}, {12, 0x68}, {12, 0x69}, {12, 0x6A}, {12, 0x6B}, {12, 0xD2}, {12, 0xD3},
    {12, 0xD4}, {12, 0xD5}, {12, 0xD6}, {12, 0xD7}, {12, 0x6C}, {12, 0x6D}, {12, 0xDA}, {12, 0xDB}, {12, 0x54},
    {12, 0x55}, {12, 0x56}, {12, 0x57}, {12, 0x64}, {12, 0x65}, {12, 0x52}, {12, 0x53}, {12, 0x24}, {12, 0x37},
    {12, 0x38}, {12, 0x27}, {12, 0x28}, {12, 0x58}, {12, 0x59}, {12, 0x2B}, {12, 0x2C}, {12, 0x5A}, {12, 0x66},
    {12, 0x67},
    // make-up 64..1728
    {10, 0x0F}, {12, 0xC8}, {12, 0xC9}, {12, 0x5B}, {12, 0x33}, {12, 0x34}, {12, 0x35}, {13, 0x6C}, {13, 0x6D},
    {13, 0x4A}, {13, 0x4B}, {13, 0x4C}, {13, 0x4D}, {13, 0x72}, {13, 0x73}, {13, 0x74}, {13, 0x75}, {13, 0x76},
    {13, 0x77}, {13, 0x52}, {13, 0x53}, {13, 0x54}, {13, 0x55}, {13, 0x5A}, {13, 0x5B}, {13, 0x64}, {13, 0x65}};

// Extended make-up codes 1792..2560, shared by both colours.
constexpr TCode kExtended[13] = {{11, 0x08}, {11, 0x0C}, {11, 0x0D}, {12, 0x12}, {12, 0x13}, {12, 0x14}, {12, 0x15},
                                 {12, 0x16}, {12, 0x17}, {12, 0x1C}, {12, 0x1D}, {12, 0x1E}, {12, 0x1F}};

constexpr TCode kEOL = {12, 0x001};

// Run of a table entry: 0..63 terminating, 64..90 make-up, 91..103 extended.
constexpr int RunOf(int Index) { return Index < 64 ? Index : Index < 91 ? (Index - 63) * 64 : 1792 + (Index - 91) * 64; }

constexpr int kLookBits = 13;
// Lookup entry: code length (0 = no code) and run table index.
struct TLook {
  Byte Len = 0;
  Byte Index = 0;
};

struct TTables {
  std::array<TLook, 1 << kLookBits> White{}, Black{};
  TTables() {
    auto put = [](std::array<TLook, 1 << kLookBits>& t, TCode c, int index) {
      const int shift = kLookBits - c.Len;
      for (int i = 0; i < (1 << shift); ++i) t[static_cast<size_t>((c.Bits << shift) | i)] = {c.Len, Byte(index)};
    };
    for (int i = 0; i < 91; ++i) {
      put(White, kWhite[i], i);
      put(Black, kBlack[i], i);
    }
    for (int i = 0; i < 13; ++i) {
      put(White, kExtended[i], 91 + i);
      put(Black, kExtended[i], 91 + i);
    }
  }
};

const TTables& Tables() {
  static const TTables t;
  return t;
}

constexpr Byte Reverse(Byte b) {
  b = Byte((b & 0xF0) >> 4 | (b & 0x0F) << 4);
  b = Byte((b & 0xCC) >> 2 | (b & 0x33) << 2);
  return Byte((b & 0xAA) >> 1 | (b & 0x55) << 1);
}

struct TReverseTable {
  Byte T[256];
  constexpr TReverseTable() : T() {
    for (int i = 0; i < 256; ++i) T[i] = Reverse(Byte(i));
  }
};
constexpr TReverseTable kReverse;

// Bit reader over Length bytes; never reads past the end (missing bits
// are zero).
struct TBits {
  const Byte* Data;
  Int64 Bits;
  Int64 Pos;
  bool Lsb;

  Byte At(Int64 i) const {
    if (i >= (Bits >> 3)) return 0;
    return Lsb ? kReverse.T[Data[i]] : Data[i];
  }
  // The next 24 bits, most significant first.
  DWORD Peek() const {
    const Int64 b = Pos >> 3;
    const DWORD w = (DWORD(At(b)) << 24) | (DWORD(At(b + 1)) << 16) | (DWORD(At(b + 2)) << 8) | At(b + 3);
    return (w << (Pos & 7)) >> 8;
  }
  DWORD Peek(int n) const { return Peek() >> (24 - n); }
  bool AtEnd() const { return Pos >= Bits; }
  void Skip(int n) { Pos += n; }
};

// Counts the zero bits from the position (at most Max).
int Zeros(const TBits& B, int Max) {
  int n = 0;
  TBits t = B;
  while (n < Max && !t.AtEnd() && t.Peek(1) == 0) {
    t.Skip(1);
    ++n;
  }
  return n;
}

// Result of matching one run code.
enum : int { kNoCode = -4, kEndOfData = -2, kEndOfLine = -3, kIgnored = -1 };

// Matches one run code of the colour; returns the run (>= 0), or one of
// the markers above. Make-up codes return runs >= 64.
int ReadRun(TBits& B, bool Black) {
  if (B.AtEnd()) return kEndOfData;
  const DWORD look = B.Peek(kLookBits);
  const TLook& e = Black ? Tables().Black[look] : Tables().White[look];
  if (e.Len > 0 && B.Pos + e.Len <= B.Bits) {
    B.Skip(e.Len);
    return RunOf(e.Index);
  }
  // Zeros ending in a one: 11 zeros make an end-of-line code (more are fill
  // bits), 8 to 10 zeros an ignored code.
  const int z = Zeros(B, 32);
  if (B.Pos + z >= B.Bits) {
    B.Pos = B.Bits;
    return kEndOfData;
  }
  if (z >= 11 && z < 32) {
    B.Skip(z + 1);
    return kEndOfLine;
  }
  if (z >= 8 && z <= 10) {
    B.Skip(z + 1);
    return kIgnored;
  }
  B.Skip(1);
  return kNoCode;
}

// Changing elements of a decoded row (1 = white): positions where the
// colour differs from the pixel before (white before the row), then two
// sentinels at Width.
void Changes(const Byte* Row, int Width, bool WhiteIsOne, std::vector<int>& Out) {
  Out.clear();
  bool black = false;
  const Byte flip = WhiteIsOne ? 0xFF : 0x00;
  int x = 0;
  while (x < Width) {
    // Whole stretches of eight bytes in the colour of the run go at once:
    // most of a page is long runs.
    if ((x & 7) == 0) {
      const std::uint64_t same = (black ? ~std::uint64_t{0} : 0) ^ (flip ? ~std::uint64_t{0} : 0);
      std::uint64_t w;
      while (x + 64 <= Width) {
        std::memcpy(&w, Row + (x >> 3), sizeof w);
        if (w != same) break;
        x += 64;
      }
      if (x >= Width) break;
    }
    // The pixels from x to the end of its byte that differ from the colour
    // of the run: the first of them (the highest set bit) is the change.
    const Byte b = Byte(Row[x >> 3] ^ flip);  // 1 = black here
    const unsigned differ = unsigned(black ? Byte(~b) : b) & (0xFFu >> (x & 7));
    if (differ == 0) {
      x = (x | 7) + 1;
      continue;
    }
    x = (x & ~7) + __builtin_clz(differ) - 24;
    if (x >= Width) break;  // the spare bits of the last byte
    Out.push_back(x);
    black = !black;
  }
  Out.push_back(Width);
  Out.push_back(Width);
}

// Clears the black pixels [From, To) of a row set to all ones.
void ClearRun(Byte* Row, int From, int To) {
  if (From >= To) return;
  int x = From;
  while (x < To && (x & 7)) {
    Row[x >> 3] &= Byte(~(0x80 >> (x & 7)));
    ++x;
  }
  while (x + 8 <= To) {
    Row[x >> 3] = 0;
    x += 8;
  }
  while (x < To) {
    Row[x >> 3] &= Byte(~(0x80 >> (x & 7)));
    ++x;
  }
}

int RowBytes(int Width) { return (Width + 7) / 8; }

// One-dimensional row from the reader's position into Row (1 = white).
void Decode1D(Byte* Row, int Width, TBits& B) {
  std::memset(Row, 0xFF, static_cast<size_t>(RowBytes(Width)));
  bool black = false;
  int pos = 0;
  bool makeup = false;
  bool onlySkipped = true;
  while (pos < Width || makeup) {
    const int run = ReadRun(B, black);
    if (run == kNoCode) continue;
    if (run == kEndOfData) return;
    if (run == kIgnored) continue;
    if (run == kEndOfLine) {
      if (onlySkipped && pos == 0 && !makeup) continue;
      // The rest of the row takes the current colour.
      if (black) ClearRun(Row, pos, Width);
      return;
    }
    onlySkipped = false;
    const int end = std::min(Width, pos + run);
    if (black) ClearRun(Row, pos, end);
    pos = std::min(Width, pos + run);
    if (run < 64) {
      black = !black;
      makeup = false;
    } else {
      makeup = true;
    }
  }
}

// Reads a horizontal-mode run of one colour (make-up codes until a
// terminating code); -1 when the data ends or holds no run.
int ReadFullRun(TBits& B, bool Black) {
  int total = 0;
  for (int guard = 0; guard < 64; ++guard) {
    const int run = ReadRun(B, Black);
    if (run == kNoCode || run == kIgnored) continue;
    if (run < 0) return -1;
    total += run;
    if (run < 64) return total;
  }
  return -1;
}

// Mode codes of the two-dimensional coding.
enum TMode { mNone, mPass, mHoriz, mV0, mVR1, mVR2, mVR3, mVL1, mVL2, mVL3, mExt, mEOL, mEnd };

TMode ReadMode(TBits& B, bool G3Mode) {
  while (true) {
    if (B.AtEnd()) return mEnd;
    const DWORD p = B.Peek(7);
    auto take = [&](int n, TMode m) {
      if (B.Pos + n > B.Bits) {
        B.Pos = B.Bits;
        return mEnd;
      }
      B.Skip(n);
      return m;
    };
    if (p & 0x40) return take(1, mV0);
    if ((p >> 4) == 3) return take(3, mVR1);
    if ((p >> 4) == 2) return take(3, mVL1);
    if ((p >> 4) == 1) return take(3, mHoriz);
    if ((p >> 3) == 1) return take(4, mPass);
    if ((p >> 1) == 3) return take(6, mVR2);
    if ((p >> 1) == 2) return take(6, mVL2);
    if (p == 3) return take(7, mVR3);
    if (p == 2) return take(7, mVL3);
    if (p == 1) return take(10, mExt);  // 0000001xxx
    const int z = Zeros(B, 32);
    if (B.Pos + z >= B.Bits) {
      B.Pos = B.Bits;
      return mEnd;
    }
    if (z >= 11 && z < 32) {
      B.Skip(z + 1);
      return mEOL;
    }
    if (z == 8 && B.Peek(12) == 0x00F) return take(12, mExt);  // one-dimensional extension
    if (!G3Mode && z >= 11) return mEnd;
    B.Skip(1);  // no code here: pass over one bit
  }
}

// Decodes a two-dimensional row; Ref and Cur are changing-element lists.
// Returns true when the row was ended by an end-of-line code met in its
// middle (the code is pushed back for the next row).
void Decode2D(Byte* Row, int Width, TBits& B, const std::vector<int>& Ref, bool G3Mode, bool& RowDone1D) {
  std::memset(Row, 0xFF, static_cast<size_t>(RowBytes(Width)));
  RowDone1D = false;
  int a0 = -1;
  bool black = false;
  size_t bi = 0;  // search start in Ref
  auto findB1 = [&]() {
    // First changing element right of a0 of the colour opposite to a0's:
    // elements at even indexes turn to black, odd ones to white.
    while (bi > 0 && Ref[bi - 1] > a0) --bi;
    size_t i = bi;
    while (i < Ref.size() - 2 && (Ref[i] <= a0 || ((i & 1) != (black ? 1u : 0u)))) ++i;
    bi = i;
    return i;
  };
  bool first = true;
  while (a0 < Width) {
    const Int64 before = B.Pos;
    const TMode m = ReadMode(B, G3Mode);
    if (m == mEnd) break;
    const int start = a0 < 0 ? 0 : a0;
    if (m == mEOL) {
      if (first && G3Mode) {
        if (B.AtEnd()) break;
        const bool oneD = B.Peek(1) == 1;
        B.Skip(1);
        if (oneD) {
          Decode1D(Row, Width, B);
          RowDone1D = true;
          return;
        }
        continue;
      }
      if (first) continue;
      // End of line inside the row: the rest takes the current colour, and
      // the code is left for the next row.
      if (black) ClearRun(Row, start, Width);
      B.Pos = before;
      return;
    }
    first = false;
    if (m == mPass) {
      const size_t i = findB1();
      const int b2 = Ref[std::min(i + 1, Ref.size() - 1)];
      if (black) ClearRun(Row, start, std::min(b2, Width));
      a0 = b2;
    } else if (m == mHoriz) {
      const int r1 = ReadFullRun(B, black);
      if (r1 < 0) break;
      const int r2 = ReadFullRun(B, !black);
      if (r2 < 0) break;
      const int a1 = std::min(Width, start + r1);
      const int a2 = std::min(Width, a1 + r2);
      if (black) ClearRun(Row, start, a1);
      else ClearRun(Row, a1, a2);
      a0 = a2;
    } else if (m >= mV0 && m <= mVL3) {
      static constexpr int kOffset[] = {0, 0, 0, 0, 1, 2, 3, -1, -2, -3};
      const size_t i = findB1();
      int a1 = Ref[i] + kOffset[m];
      a1 = std::clamp(a1, start, Width);
      if (black) ClearRun(Row, start, a1);
      a0 = a1;
      black = !black;
    } else if (m == mExt) {
      // Uncompressed mode: runs of white pixels until an exit code.
      int x = start;
      while (x < Width && !B.AtEnd()) {
        const int z = Zeros(B, 12);
        if (z <= 4) {
          B.Skip(z + 1);
          x += z + 1;
        } else if (z == 5) {
          B.Skip(6);
          x += 5;
        } else if (z <= 10) {
          B.Skip(z + 1);
          x += z - 6;
          if (!B.AtEnd()) {
            black = B.Peek(1) == 1;
            B.Skip(1);
          }
          break;
        } else {
          break;
        }
      }
      a0 = std::min(x, Width);
    }
  }
}

// ---------------------------------------------------------------------------
// Encoding

struct TBitOut {
  std::vector<Byte> Bytes;
  Byte Pending;
  int PendingBits;
  bool Lsb;

  // Appends the low Len bits of Bits (at most 24), most significant first.
  void Put(DWORD Bits, int Len) {
    if (Len <= 0) return;
    std::uint32_t acc = std::uint32_t{Pending} << 24;
    acc |= (Bits & ((1u << Len) - 1)) << (32 - PendingBits - Len);
    PendingBits += Len;
    while (PendingBits >= 8) {
      const auto top = static_cast<Byte>(acc >> 24);
      Bytes.push_back(Lsb ? kReverse.T[top] : top);
      acc <<= 8;
      PendingBits -= 8;
    }
    Pending = static_cast<Byte>(acc >> 24);
  }
  void Put(TCode C) { Put(C.Bits, C.Len); }
  void Align() {
    if (PendingBits > 0) {
      Bytes.push_back(Lsb ? kReverse.T[Pending] : Pending);
      Pending = 0;
      PendingBits = 0;
    }
  }
};

void PutRun(TBitOut& O, int Run, bool Black) {
  const TCode* t = Black ? kBlack : kWhite;
  while (Run >= 64) {
    if (Run > 2560) {
      O.Put(kExtended[12]);
      Run -= 2560;
    } else if (Run >= 1792) {
      const int m = Run / 64;
      O.Put(kExtended[m - 28]);
      Run -= m * 64;
    } else {
      const int m = Run / 64;
      O.Put(t[63 + m]);
      Run -= m * 64;
    }
  }
  O.Put(t[Run]);
}

// Runs of one row (0 = white), starting with white.
void PutRow1D(TBitOut& O, const Byte* Row, int Width) {
  std::vector<int> ch;
  Changes(Row, Width, false, ch);
  int pos = 0;
  bool black = false;
  for (size_t i = 0; i + 2 < ch.size() + 1 && pos < Width; ++i) {
    const int next = std::min(ch[i], Width);
    PutRun(O, next - pos, black);
    pos = next;
    black = !black;
  }
  if (pos < Width) PutRun(O, Width - pos, black);
}

// Two-dimensional coding of Row against Ref (both 0 = white).
void PutRow2D(TBitOut& O, const Byte* Row, const Byte* Ref, int Width) {
  std::vector<int> cur, ref;
  Changes(Row, Width, false, cur);
  Changes(Ref, Width, false, ref);
  int a0 = -1;
  bool black = false;
  size_t ai = 0, bi = 0;
  while (a0 < Width) {
    // a1: next changing element of the coding line right of a0.
    while (ai < cur.size() - 2 && cur[ai] <= a0) ++ai;
    const int a1 = cur[ai];
    // b1: next changing element of the reference right of a0 of the colour
    // opposite to a0's.
    while (bi > 0 && ref[bi - 1] > a0) --bi;
    while (bi < ref.size() - 2 && (ref[bi] <= a0 || ((bi & 1) != (black ? 1u : 0u)))) ++bi;
    const int b1 = ref[bi];
    const int b2 = ref[std::min(bi + 1, ref.size() - 1)];
    if (b2 < a1) {
      O.Put(0x1, 4);  // pass
      a0 = b2;
      continue;
    }
    const int d = a1 - b1;
    if (d >= -3 && d <= 3) {
      static constexpr TCode kV[7] = {{7, 0x02}, {6, 0x02}, {3, 0x02}, {1, 0x01}, {3, 0x03}, {6, 0x03}, {7, 0x03}};
      O.Put(kV[d + 3]);
      a0 = a1;
      black = !black;
      continue;
    }
    const int a2 = cur[std::min(ai + 1, cur.size() - 1)];
    O.Put(0x1, 3);  // horizontal
    PutRun(O, a1 - std::max(a0, 0), black);
    PutRun(O, a2 - a1, !black);
    a0 = a2;
  }
}

void Flush(TBitOut& O, TStream* Out, std::atomic<bool>* Abort) {
  if (!O.Bytes.empty()) SafeStreamWrite(Out, Abort, O.Bytes.data(), static_cast<Integer>(O.Bytes.size()));
  O.Bytes.clear();
}

}  // namespace

Integer CCITTHuffmanGetLine(Byte* Row, const Byte* Data, Integer Length, Integer Width, Integer FillOrder) {
  if (Width <= 0) return 0;
  TBits b{Data, Int64{std::max(Length, 0)} * 8, 0, FillOrder == 2};
  Decode1D(Row, Width, b);
  return static_cast<Integer>(std::min<Int64>((b.Pos + 7) / 8, std::max(Length, 0)));
}

Int64 _CCITTHuffmanGetLine(Byte* Row, const Byte* Data, Integer Length, Integer Width, Int64 BitPos,
                           Integer FillOrder) {
  if (Width <= 0) return BitPos;
  TBits b{Data, Int64{std::max(Length, 0)} * 8, BitPos, FillOrder == 2};
  Decode1D(Row, Width, b);
  return b.Pos;
}

Int64 CCITT3_2D_GetLine(Byte* Row, const Byte* Data, Integer Length, Integer Width, Byte* RefRow, Int64 BitPos,
                        Integer FillOrder, bool G3Mode) {
  if (Width <= 0) return BitPos;
  TBits b{Data, Int64{std::max(Length, 0)} * 8, BitPos, FillOrder == 2};
  std::vector<int> ref;
  Changes(RefRow, Width, true, ref);
  bool oneD = false;
  Decode2D(Row, Width, b, ref, G3Mode, oneD);
  std::memcpy(RefRow, Row, static_cast<size_t>(RowBytes(Width)));
  return b.Pos;
}

void CCITTHuffmanPutLine(const Byte* Row, Integer Width, TStream* Out, std::atomic<bool>* Abort, Integer FillOrder) {
  TBitOut o{{}, 0, 0, FillOrder == 2};
  PutRow1D(o, Row, Width);
  o.Align();
  Flush(o, Out, Abort);
}

void CCITTHuffmanPutLineG3(const Byte* Row, Integer Width, TStream* Out, TCCITTEncoder& State,
                           std::atomic<bool>* Abort, Integer FillOrder) {
  TBitOut o{{}, State.Pending, State.PendingBits, FillOrder == 2};
  if (Row) {
    // Readers of Group 3 data look for an end-of-line code before each row.
    o.Put(kEOL);
    PutRow1D(o, Row, Width);
  } else {
    o.Align();
  }
  State.Pending = o.Pending;
  State.PendingBits = o.PendingBits;
  Flush(o, Out, Abort);
}

void CCITTHuffmanPutLineG32D(const Byte* Row, Integer Width, TStream* Out, TCCITTEncoder& State,
                             std::atomic<bool>* Abort, Integer FillOrder) {
  TBitOut o{{}, State.Pending, State.PendingBits, FillOrder == 2};
  const size_t bytes = static_cast<size_t>(RowBytes(Width));
  if (Row) {
    o.Put(kEOL);
    if (!State.Started) {
      o.Put(1, 1);
      PutRow1D(o, Row, Width);
      State.Started = true;
    } else {
      o.Put(0, 1);
      PutRow2D(o, Row, State.RefRow.data(), Width);
    }
    State.RefRow.assign(Row, Row + bytes);
  } else {
    o.Put(kEOL);
    o.Align();
    State.Started = false;
    State.RefRow.clear();
  }
  State.Pending = o.Pending;
  State.PendingBits = o.PendingBits;
  Flush(o, Out, Abort);
}

void CCITTHuffmanPutLineG4(const Byte* Row, Integer Width, TStream* Out, TCCITTEncoder& State,
                           std::atomic<bool>* Abort, Integer FillOrder) {
  TBitOut o{{}, State.Pending, State.PendingBits, FillOrder == 2};
  const size_t bytes = static_cast<size_t>(RowBytes(Width));
  if (Row) {
    if (State.RefRow.size() != bytes) State.RefRow.assign(bytes, 0);
    PutRow2D(o, Row, State.RefRow.data(), Width);
    State.RefRow.assign(Row, Row + bytes);
  } else {
    o.Put(kEOL);
    o.Put(kEOL);
    o.Align();
    State.RefRow.clear();
    State.Started = false;
  }
  State.Pending = o.Pending;
  State.PendingBits = o.PendingBits;
  Flush(o, Out, Abort);
}
