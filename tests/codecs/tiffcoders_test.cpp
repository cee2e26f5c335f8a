// TIFF LZW and CCITT fax coders: round trips through every coding, the code
// width steps and table clears of LZW, the run-length edge cases of the fax
// codes, fill order, and data that runs off.
#include <gtest/gtest.h>

#include <cstdint>
#include <random>
#include <vector>

#include "codecs/tiff/ccitt.h"
#include "codecs/tiff/tifflzw.h"

namespace {

using Bytes = std::vector<Byte>;

Bytes Encode(const std::vector<Bytes>& Rows) {
  TMemoryStream out;
  std::intptr_t state = 0;
  for (const Bytes& r : Rows) TIFFLZWCompress(r.data(), static_cast<Integer>(r.size()), &out, state);
  TIFFLZWCompress(nullptr, 0, &out, state);
  EXPECT_EQ(state, 0);
  const Byte* p = static_cast<const Byte*>(out.GetMemory());
  return Bytes(p, p + out.GetSize());
}

std::vector<Bytes> Decode(const Bytes& Data, Integer RowLen, size_t Rows) {
  std::vector<Bytes> out;
  std::intptr_t state = 0;
  for (size_t i = 0; i < Rows; ++i) {
    const Byte* r = TIFFLZWDecompress(Data.data(), static_cast<Integer>(Data.size()), RowLen, state);
    if (!r) break;
    out.emplace_back(r, r + RowLen);
  }
  TIFFLZWDecompress(nullptr, 0, 0, state);
  EXPECT_EQ(state, 0);
  return out;
}

// Reads the codes of an LZW stream back with the width rule, to check
// where the width changes.
std::vector<int> CodeWidths(const Bytes& Data) {
  std::vector<int> widths;
  int width = 9, next = 258;
  size_t bit = 0;
  bool first = true;
  while (bit + width <= Data.size() * 8) {
    int code = 0;
    for (int i = 0; i < width; ++i, ++bit) code = (code << 1) | ((Data[bit / 8] >> (7 - bit % 8)) & 1);
    widths.push_back(width);
    if (code == 257) break;
    if (code == 256) {
      width = 9, next = 258, first = true;
      continue;
    }
    if (!first) ++next;
    first = false;
    if (next == 511) width = 10;
    if (next == 1023) width = 11;
    if (next == 2047) width = 12;
  }
  return widths;
}

TEST(TiffLzw, RoundTripsAcrossRowsWidthStepsAndClears) {
  std::mt19937 rng(7);
  struct Case {
    const char* name;
    Integer rowLen;
    size_t rows;
    int alphabet;  // distinct byte values (1 = all equal)
    unsigned run = 1;  // longest run of one value
  };
  const Case cases[] = {{"one row of equal bytes", 256, 1, 1},
                        {"rows of few values", 300, 40, 4},
                        {"noise that fills the table", 1000, 60, 256},
                        {"one-byte rows", 1, 500, 3},
                        // Strings longer than a row, made of the string
                        // before them, and reaching back past rows handed out.
                        {"runs across short rows", 7, 3000, 5, 90}};
  for (const Case& c : cases) {
    std::vector<Bytes> rows(c.rows, Bytes(static_cast<size_t>(c.rowLen)));
    unsigned left = 0;
    Byte value = 0;
    for (Bytes& r : rows)
      for (Byte& b : r) {
        if (left == 0) {
          value = static_cast<Byte>(rng() % static_cast<unsigned>(c.alphabet));
          left = 1 + rng() % c.run;
        }
        b = value;
        --left;
      }
    const Bytes coded = Encode(rows);
    EXPECT_EQ(Decode(coded, c.rowLen, c.rows), rows) << c.name;
    const std::vector<int> w = CodeWidths(coded);
    if (c.alphabet == 1) {
      EXPECT_EQ(*std::max_element(w.begin(), w.end()), 9) << c.name;
    }
    if (c.alphabet == 256) {
      // 60000 bytes of noise pass code 4093 more than once: clears
      // bring the width back to 9 after 12-bit codes.
      auto it = std::find(w.begin(), w.end(), 12);
      ASSERT_NE(it, w.end()) << c.name;
      EXPECT_NE(std::find(it, w.end(), 9), w.end()) << c.name;
    }
  }
}

TEST(TiffLzw, EndCodeMidRowAndDamagedStreams) {
  // Two rows of 100 coded, read as rows of 150: the second is short, then
  // nothing more.
  const Bytes coded = Encode({Bytes(100, 5), Bytes(100, 6)});
  std::intptr_t state = 0;
  const Byte* r1 = TIFFLZWDecompress(coded.data(), static_cast<Integer>(coded.size()), 150, state);
  ASSERT_NE(r1, nullptr);
  EXPECT_EQ(r1[0], 5);
  EXPECT_EQ(r1[149], 6);
  const Byte* r2 = TIFFLZWDecompress(coded.data(), static_cast<Integer>(coded.size()), 150, state);
  ASSERT_NE(r2, nullptr);
  EXPECT_EQ(r2[0], 6);
  EXPECT_EQ(TIFFLZWDecompress(coded.data(), static_cast<Integer>(coded.size()), 150, state), nullptr);
  TIFFLZWDecompress(nullptr, 0, 0, state);

  // A code beyond the table, and data cut after the clear code.
  const Bytes bad = {0x80, 0x3F, 0xFF, 0xFF, 0xFF};  // clear, then 511 with width 9
  EXPECT_TRUE(Decode(bad, 4, 1).empty());
  EXPECT_TRUE(Decode(Bytes{0x80}, 4, 1).empty());
  EXPECT_TRUE(Decode(Bytes{}, 4, 1).empty());
  std::mt19937 rng(3);
  for (int i = 0; i < 200; ++i) {
    Bytes junk(64);
    for (Byte& b : junk) b = static_cast<Byte>(rng());
    Decode(junk, 16, 20);  // must not read past the data (checked under ASan)
  }
}

// ---------------------------------------------------------------------------
// CCITT

// A bilevel row (encoder convention: 1 = black).
Bytes Row(Integer Width, std::initializer_list<std::pair<int, int>> BlackRuns) {
  Bytes r(static_cast<size_t>((Width + 7) / 8), 0);
  for (auto [from, to] : BlackRuns)
    for (int x = from; x < to; ++x) r[static_cast<size_t>(x / 8)] |= Byte(0x80 >> (x % 8));
  return r;
}

Bytes Invert(Bytes R, Integer Width) {
  for (Byte& b : R) b = Byte(~b);
  if (Width % 8) R.back() &= Byte(0xFF << (8 - Width % 8));
  return R;
}

Bytes Mask(Bytes R, Integer Width) {
  if (Width % 8) R.back() &= Byte(0xFF << (8 - Width % 8));
  return R;
}

Bytes Collect(TMemoryStream& S) {
  const Byte* p = static_cast<const Byte*>(S.GetMemory());
  return Bytes(p, p + S.GetSize());
}

enum Coding { MH, G31D, G32D, G4 };

Bytes EncodeFax(Coding C, const std::vector<Bytes>& Rows, Integer Width, Integer FillOrder) {
  TMemoryStream out;
  std::atomic<bool> abort{false};
  TCCITTEncoder st;
  for (const Bytes& r : Rows) {
    switch (C) {
      case MH: CCITTHuffmanPutLine(r.data(), Width, &out, &abort, FillOrder); break;
      case G31D: CCITTHuffmanPutLineG3(r.data(), Width, &out, st, &abort, FillOrder); break;
      case G32D: CCITTHuffmanPutLineG32D(r.data(), Width, &out, st, &abort, FillOrder); break;
      case G4: CCITTHuffmanPutLineG4(r.data(), Width, &out, st, &abort, FillOrder); break;
    }
  }
  if (C == G31D) CCITTHuffmanPutLineG3(nullptr, Width, &out, st, &abort, FillOrder);
  if (C == G32D) CCITTHuffmanPutLineG32D(nullptr, Width, &out, st, &abort, FillOrder);
  if (C == G4) CCITTHuffmanPutLineG4(nullptr, Width, &out, st, &abort, FillOrder);
  EXPECT_FALSE(abort.load());
  return Collect(out);
}

// Decoded rows (decoder convention: 1 = white).
std::vector<Bytes> DecodeFax(Coding C, const Bytes& Data, Integer Width, size_t Rows, Integer FillOrder) {
  std::vector<Bytes> out;
  const size_t bytes = static_cast<size_t>((Width + 7) / 8);
  Bytes ref(bytes, 0xFF), row(bytes);
  Int64 pos = 0;
  const Integer len = static_cast<Integer>(Data.size());
  for (size_t i = 0; i < Rows; ++i) {
    switch (C) {
      case MH: pos += CCITTHuffmanGetLine(row.data(), Data.data() + pos, len - static_cast<Integer>(pos), Width, FillOrder); break;
      case G31D: pos = _CCITTHuffmanGetLine(row.data(), Data.data(), len, Width, pos, FillOrder); break;
      case G32D: pos = CCITT3_2D_GetLine(row.data(), Data.data(), len, Width, ref.data(), pos, FillOrder, true); break;
      case G4: pos = CCITT3_2D_GetLine(row.data(), Data.data(), len, Width, ref.data(), pos, FillOrder, false); break;
    }
    out.push_back(Mask(row, Width));
  }
  return out;
}

TEST(CcittFax, EveryCodingRoundTripsBothFillOrders) {
  std::mt19937 rng(11);
  for (Integer width : {1, 13, 1728, 3001}) {
    std::vector<Bytes> rows;
    rows.push_back(Row(width, {}));
    rows.push_back(Row(width, {{0, width}}));
    for (int i = 0; i < 12; ++i) {
      // Runs of every length class, some following the row above.
      Bytes r = i % 3 == 0 && !rows.empty() ? rows.back() : Bytes(static_cast<size_t>((width + 7) / 8), 0);
      for (int k = 0; k < 6; ++k) {
        const int from = static_cast<int>(rng() % static_cast<unsigned>(width));
        const int len = static_cast<int>(rng() % (k < 3 ? 9u : 2800u));
        for (int x = from; x < std::min(width, from + len); ++x) r[static_cast<size_t>(x / 8)] ^= Byte(0x80 >> (x % 8));
      }
      rows.push_back(Mask(r, width));
    }
    for (Coding c : {MH, G31D, G32D, G4})
      for (Integer fo : {1, 2}) {
        const Bytes data = EncodeFax(c, rows, width, fo);
        const std::vector<Bytes> back = DecodeFax(c, data, width, rows.size(), fo);
        for (size_t i = 0; i < rows.size(); ++i)
          ASSERT_EQ(back[i], Invert(rows[i], width)) << "coding " << c << " fill " << fo << " width " << width
                                                     << " row " << i;
      }
  }
}

TEST(CcittFax, CodeLayoutOfKnownRows) {
  // An all-white row of 1728: make-up 1728 (010011011) and terminating 0
  // (00110101), padded to a byte.
  const Bytes white = EncodeFax(MH, {Row(1728, {})}, 1728, 1);
  EXPECT_EQ(white, (Bytes{0x4D, 0x9A, 0x80}));
  Bytes row(216);
  EXPECT_EQ(CCITTHuffmanGetLine(row.data(), white.data(), 3, 1728, 1), 3);
  EXPECT_EQ(row, Bytes(216, 0xFF));
  // White 0, then 3000 black: 2560 extended, make-up 384, terminating 56.
  const Bytes black = EncodeFax(MH, {Row(3000, {{0, 3000}})}, 3000, 1);
  EXPECT_EQ(black[0] >> 0, 0x35);  // white run 0: 00110101
  // Group 3 2-D: EOL + tag 1 first, EOL + tag 0 later, one EOL at the end.
  const Bytes g32d = EncodeFax(G32D, {Row(8, {}), Row(8, {})}, 8, 1);
  // 000000000001 1 | 10011 (white 8)... starts with eleven zeros and a one.
  EXPECT_EQ(g32d[0], 0x00);
  EXPECT_EQ(g32d[1] >> 4, 0x1);
  EXPECT_EQ((g32d[1] >> 3) & 1, 1);  // the tag bit of the first row
  // Fill order 2 is fill order 1 with every byte bit-reversed.
  const Bytes msb = EncodeFax(G4, {Row(40, {{3, 17}}), Row(40, {{5, 30}})}, 40, 1);
  const Bytes lsb = EncodeFax(G4, {Row(40, {{3, 17}}), Row(40, {{5, 30}})}, 40, 2);
  ASSERT_EQ(msb.size(), lsb.size());
  for (size_t i = 0; i < msb.size(); ++i) {
    Byte r = 0;
    for (int b = 0; b < 8; ++b) r |= Byte(((msb[i] >> b) & 1) << (7 - b));
    EXPECT_EQ(lsb[i], r);
  }
}

TEST(CcittFax, DataThatEndsEarlyOrIsNoise) {
  // A modified-Huffman row cut after its first run fills nothing more.
  const Bytes data = EncodeFax(MH, {Row(64, {{10, 20}})}, 64, 1);
  Bytes row(8);
  const Integer used = CCITTHuffmanGetLine(row.data(), data.data(), 1, 64, 1);
  EXPECT_LE(used, 1);
  std::mt19937 rng(5);
  for (int i = 0; i < 300; ++i) {
    Bytes junk(static_cast<size_t>(rng() % 40));
    for (Byte& b : junk) b = static_cast<Byte>(rng());
    for (Coding c : {MH, G31D, G32D, G4}) DecodeFax(c, junk, 50, 4, 1 + i % 2);  // bounded, under ASan
  }
}

}  // namespace
