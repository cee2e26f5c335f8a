#include <gtest/gtest.h>

#include <cmath>
#include <cstring>
#include <functional>
#include <limits>
#include <string>
#include <vector>

#include "core/lkbitmap.h"
#include "core/lkioglobals.h"
#include "platform/classes.h"
#include "tests/core/bitmap_fixtures.h"

namespace {

using namespace bitmap_test;

// A stream over bytes that cannot tell its size or position (as a
// decompressing stream), so the reader only learns of missing data by
// running short.
class UnsizedStream : public TStream {
 public:
  explicit UnsizedStream(std::vector<Byte> bytes) : bytes_(std::move(bytes)) {}
  Integer Read(void* buffer, Integer count) override {
    const Integer n = std::max<Integer>(0, std::min<Integer>(count, static_cast<Integer>(bytes_.size() - pos_)));
    if (n > 0) std::memcpy(buffer, bytes_.data() + pos_, static_cast<size_t>(n));
    pos_ += static_cast<size_t>(n);
    return n;
  }
  Integer Write(const void*, Integer) override { return 0; }
  Int64 Seek(Int64, TSeekOrigin) override { return -1; }

 private:
  std::vector<Byte> bytes_;
  size_t pos_ = 0;
};

// A stream that takes at most `room` bytes.
class FullDisk : public TStream {
 public:
  explicit FullDisk(Integer room) : room_(room) {}
  Integer Read(void*, Integer) override { return 0; }
  Integer Write(const void*, Integer count) override {
    const Integer n = std::min(count, room_);
    room_ -= n;
    return n;
  }
  Int64 Seek(Int64, TSeekOrigin) override { return 0; }

 private:
  Integer room_;
};

std::vector<Byte> SaveToBytes(TLKBitmap& bmp) {
  TMemoryStream ms;
  EXPECT_TRUE(bmp.SaveRAWToBufferOrStream(nullptr, &ms));
  const auto* p = static_cast<const Byte*>(ms.Memory());
  return std::vector<Byte>(p, p + ms.GetSize());
}

// Writes every byte of every row, the padding after the last pixel included.
void FillRows(TLKBitmap& bmp, Byte salt) {
  for (Integer y = 0; y < bmp.GetHeight(); ++y) {
    auto* row = static_cast<Byte*>(bmp.GetScanLine(y));
    for (Integer i = 0; i < bmp.GetRowLen(); ++i) row[i] = static_cast<Byte>(salt + y * 16 + i + 1);
  }
}

// The 3 x 2 lk24RGB picture of the byte-exact test.
void MakeThreeByTwo(TLKBitmap& bmp, bool withAlpha) {
  bmp.Allocate(3, 2, lk24RGB);
  FillRows(bmp, 0);
  bmp.SetFull(true);
  bmp.SetQuantizeColorCount(200);
  bmp.SetBlackValue(1.5);
  bmp.SetWhiteValue(-2.0);
  bmp.SetChannelOffset(0, 1);
  bmp.SetChannelOffset(2, -1);
  bmp.SetContrast(-3);
  if (withAlpha) {
    FillRows(*bmp.GetAlphaChannel(), 0xA0);
    bmp.GetAlphaChannel()->SetFull(false);
  }
}

std::vector<Byte> ThreeByTwoBytes(bool withAlpha) {
  // clang-format off
  std::vector<Byte> v = {
      'T', 'L', 'K', 'B', 'I', 'T', 'M', 'A', 'P', 'R', 'A', 'W',
      0, 0, 0, 0,                          // version
      0, 0, 0, 0,                          // palette entries
      3, 0, 0, 0,                          // width
      2, 0, 0, 0,                          // height
      5,                                   // lk24RGB
      1,                                   // Full
      200, 0, 0, 0,                        // QuantizeColorCount
      0, 0, 0, 0, 0, 0, 0xF8, 0x3F,        // BlackValue 1.5
      0, 0, 0, 0, 0, 0, 0, 0xC0,           // WhiteValue -2.0
      1, 0, 0, 0, 0, 0, 0, 0,              // ChannelOffset 0, 1
      0xFF, 0xFF, 0xFF, 0xFF, 0, 0, 0, 0,  // ChannelOffset 2, 3
      1,                                   // ChannelOffsetEnabled
      0xFD, 0xFF, 0xFF, 0xFF,              // Contrast -3
      32, 0, 0, 0,                         // BitAlignment
  };
  // clang-format on
  for (Byte y = 0; y < 2; ++y)
    for (Byte i = 0; i < 12; ++i) v.push_back(static_cast<Byte>(y * 16 + i + 1));  // rows, padding included
  v.push_back(withAlpha ? 1 : 0);
  if (withAlpha) {
    for (Byte y = 0; y < 2; ++y)
      for (Byte i = 0; i < 4; ++i) v.push_back(static_cast<Byte>(0xA0 + y * 16 + i + 1));
    v.push_back(0);  // alpha Full
  }
  return v;
}

TEST(LKRawStream, ThreeByTwoPictureByteForByte) {
  StorageSettings settings(kAllInMemory);
  for (bool withAlpha : {false, true}) {
    SCOPED_TRACE(withAlpha ? "with alpha" : "without alpha");
    TLKBitmap bmp;
    MakeThreeByTwo(bmp, withAlpha);
    const std::vector<Byte> expected = ThreeByTwoBytes(withAlpha);
    ASSERT_EQ(expected.size(), withAlpha ? 109u : 100u);
    EXPECT_EQ(bmp.CalcRAWSize(), static_cast<Int64>(expected.size()));
    EXPECT_EQ(SaveToBytes(bmp), expected);

    std::vector<Byte> buffer(expected.size());
    ASSERT_TRUE(bmp.SaveRAWToBufferOrStream(buffer.data(), nullptr));
    EXPECT_EQ(buffer, expected);

    // The hand-built bytes read back into the same picture and settings.
    TLKBitmap back;
    ASSERT_TRUE(back.LoadRAWFromBufferOrStream(expected.data(), nullptr, static_cast<Int64>(expected.size())));
    EXPECT_EQ(back.GetWidth(), 3);
    EXPECT_EQ(back.GetHeight(), 2);
    EXPECT_EQ(back.GetPixelFormat(), lk24RGB);
    EXPECT_EQ(back.GetPixels_lk24RGB(2, 1), (TRGB{23, 24, 25}));
    EXPECT_TRUE(back.GetFull());
    EXPECT_EQ(back.GetQuantizeColorCount(), 200);
    EXPECT_EQ(back.GetBlackValue(), 1.5);
    EXPECT_EQ(back.GetWhiteValue(), -2.0);
    EXPECT_EQ(back.GetChannelOffset(2), -1);
    EXPECT_TRUE(back.GetChannelOffsetEnabled());
    EXPECT_EQ(back.GetContrast(), -3);
    EXPECT_EQ(back.GetHasAlphaChannel(), withAlpha);
    if (withAlpha) {
      EXPECT_EQ(back.GetAlphaChannel()->GetPixels_lk8(1, 1), 0xA0 + 16 + 2);
      EXPECT_FALSE(back.GetAlphaChannel()->GetFull());
    }
  }
}

TEST(LKRawStream, RoundTripKeepsEveryFormatAlignmentAndStorage) {
  enum class Storage { Memory, File, VclBitmap };
  for (Storage storage : {Storage::Memory, Storage::File, Storage::VclBitmap}) {
    StorageSettings settings(storage == Storage::File ? kAllInFiles : kAllInMemory);
    for (TLKPixelFormat f : kFormats) {
      const bool fits = f == lk1g || f == lk8p || f == lk8g || f == lk24RGB;
      if (storage == Storage::VclBitmap && !fits) continue;
      for (Integer alignment : {8, 16, 32}) {
        for (bool withAlpha : {false, true}) {
          SCOPED_TRACE("storage " + std::to_string(static_cast<int>(storage)) + " format " + std::to_string(f) +
                       " alignment " + std::to_string(alignment) + (withAlpha ? " alpha" : ""));
          TLKBitmap bmp;
          bmp.SetBitAlignment(alignment);
          bmp.Allocate(13, 3, f);
          if (storage == Storage::VclBitmap) bmp.SetLocation(lkTBitmap);
          FillRows(bmp, static_cast<Byte>(f));
          for (Integer i = 0; i < bmp.GetPaletteLen(); ++i)
            bmp.SetPalette(i, TRGB{static_cast<Byte>(i), static_cast<Byte>(i ^ 0x5A), static_cast<Byte>(3 * i)});
          bmp.SetFull(true);
          bmp.SetQuantizeColorCount(17);
          bmp.SetBlackValue(0.1);
          bmp.SetWhiteValue(std::numeric_limits<double>::denorm_min());
          bmp.SetChannelOffset(1, -70000);
          bmp.SetContrast(12345);
          if (withAlpha) FillRows(*bmp.GetAlphaChannel(), 0x33);
          const std::vector<Byte> bytes = SaveToBytes(bmp);
          ASSERT_EQ(static_cast<Int64>(bytes.size()), bmp.CalcRAWSize());

          // Into a buffer holding another picture with an alpha channel, in
          // the same storage.
          TLKBitmap back(5, 5, lk8g);
          back.GetAlphaChannel();
          if (storage == Storage::VclBitmap) back.SetLocation(lkTBitmap);
          ASSERT_TRUE(back.LoadRAWFromBufferOrStream(bytes.data(), nullptr, static_cast<Int64>(bytes.size())));
          EXPECT_EQ(back.GetPixelFormat(), f);
          EXPECT_EQ(back.GetBitAlignment(), alignment);
          EXPECT_EQ(back.GetRowLen(), LKBitmapRowLen(13, LKPixelFormatBitCount(f), alignment));
          EXPECT_EQ(back.GetHasAlphaChannel(), withAlpha);
          EXPECT_EQ(back.GetLocation(), storage == Storage::File     ? lkFile
                                        : storage == Storage::Memory ? lkMemory
                                                                     : lkTBitmap);
          // Saving again gives the same bytes: rows with their padding,
          // palette, settings bit for bit and alpha channel.
          EXPECT_EQ(SaveToBytes(back), bytes);

          // The same through a stream.
          TMemoryStream ms;
          ms.WriteBuffer(bytes.data(), static_cast<Int64>(bytes.size()));
          ms.SetPosition(0);
          TLKBitmap viaStream;
          ASSERT_TRUE(viaStream.LoadRAWFromBufferOrStream(nullptr, &ms));
          EXPECT_EQ(ms.GetPosition(), static_cast<Int64>(bytes.size()));
          EXPECT_EQ(SaveToBytes(viaStream), bytes);
        }
      }
    }
  }
}

TEST(LKRawStream, EmptyBufferRoundTripsAsSeventySixBytes) {
  StorageSettings settings(kAllInMemory);
  TLKBitmap empty;
  empty.SetWidth(20);
  const std::vector<Byte> bytes = SaveToBytes(empty);
  EXPECT_EQ(bytes.size(), 76u);
  TLKBitmap back(4, 4, lk24RGB);
  ASSERT_TRUE(back.LoadRAWFromBufferOrStream(bytes.data(), nullptr, 76));
  EXPECT_TRUE(back.IsEmpty());
  EXPECT_EQ(back.GetWidth(), 20);
  EXPECT_EQ(back.GetPixelFormat(), lknull);

  // A size without a pixel format still gets a real alpha channel, whose rows
  // the form carries (found by fuzzing: the reader took them as absent).
  TLKBitmap sized;
  sized.Allocate(13, 3, lknull);
  for (Integer y = 0; y < 3; ++y) sized.GetAlphaChannel()->SetPixels_lk8(12, y, static_cast<Byte>(y + 1));
  const std::vector<Byte> withAlpha = SaveToBytes(sized);
  EXPECT_EQ(withAlpha.size(), 76u + 16 * 3 + 1);
  TLKBitmap again;
  ASSERT_TRUE(again.LoadRAWFromBufferOrStream(withAlpha.data(), nullptr, static_cast<Int64>(withAlpha.size())));
  ASSERT_TRUE(again.GetHasAlphaChannel());
  EXPECT_EQ(again.GetAlphaChannel()->GetPixels_lk8(12, 2), 3);
  EXPECT_EQ(SaveToBytes(again), withAlpha);
}

TEST(LKRawStream, AFormWithoutAlphaRemovesTheOldAlphaChannel) {
  StorageSettings settings(kAllInMemory);
  TLKBitmap bmp;
  MakeThreeByTwo(bmp, false);
  const std::vector<Byte> bytes = SaveToBytes(bmp);
  // Same size and format as the form: the allocation must still start afresh.
  TLKBitmap target(3, 2, lk24RGB);
  target.GetAlphaChannel()->SetPixels_lk8(0, 0, 1);
  ASSERT_TRUE(target.LoadRAWFromBufferOrStream(bytes.data(), nullptr, static_cast<Int64>(bytes.size())));
  EXPECT_FALSE(target.GetHasAlphaChannel());
}

TEST(LKRawStream, EightBitAlignmentGivesAFileRequestingBufferEightBitRows) {
  StorageSettings settings(kAllInFiles);
  TLKBitmap bmp;
  bmp.SetBitAlignment(8);
  bmp.Allocate(5, 2, lk24RGB);
  FillRows(bmp, 9);
  const std::vector<Byte> bytes = SaveToBytes(bmp);
  EXPECT_EQ(bytes.size(), 76u + 15 * 2);
  TLKBitmap back;
  ASSERT_TRUE(back.LoadRAWFromBufferOrStream(bytes.data(), nullptr, static_cast<Int64>(bytes.size())));
  EXPECT_EQ(back.GetLocation(), lkFile);
  EXPECT_EQ(back.GetRowLen(), 15);
  EXPECT_EQ(back.GetFileBuffer()->GetFileSize(), 30);
  EXPECT_EQ(SaveToBytes(back), bytes);
}

TEST(LKRawStream, SixteenBitGreyIntoATBitmapKeepsTheHighBytes) {
  StorageSettings settings(kAllInMemory);
  TLKBitmap grey(3, 1, lk16g);
  grey.SetPixels_lk16g(0, 0, 0x12AB);
  grey.SetPixels_lk16g(2, 0, 0xFE01);
  const std::vector<Byte> bytes = SaveToBytes(grey);
  TLKBitmap target;
  target.SetLocation(lkTBitmap);
  ASSERT_TRUE(target.LoadRAWFromBufferOrStream(bytes.data(), nullptr, static_cast<Int64>(bytes.size())));
  EXPECT_EQ(target.GetPixelFormat(), lk8g);
  EXPECT_EQ(target.GetPixels_lk8(0, 0), 0x12);
  EXPECT_EQ(target.GetPixels_lk8(2, 0), 0xFE);

  TLKBitmap cmyk(2, 2, lkCMYK);
  const std::vector<Byte> cmykBytes = SaveToBytes(cmyk);
  try {
    target.LoadRAWFromBufferOrStream(cmykBytes.data(), nullptr, static_cast<Int64>(cmykBytes.size()));
    ADD_FAILURE() << "no exception";
  } catch (const Exception& e) {
    EXPECT_STREQ(e.what(), "lkCMYK pixel format not allowed when Location=lkTBitmap");
  }
}

TEST(LKRawStream, QuantizeColorCountIsClampedOnLoad) {
  StorageSettings settings(kAllInMemory);
  struct Case {
    Integer stored, loaded;
  };
  const Case cases[] = {{0, 1}, {-5, 1}, {100000, 256}, {256, 256}, {2, 2}};
  for (const Case& c : cases) {
    TLKBitmap bmp;
    MakeThreeByTwo(bmp, false);
    std::vector<Byte> bytes = SaveToBytes(bmp);
    std::memcpy(&bytes[30], &c.stored, 4);
    TLKBitmap back;
    ASSERT_TRUE(back.LoadRAWFromBufferOrStream(bytes.data(), nullptr, static_cast<Int64>(bytes.size())));
    EXPECT_EQ(back.GetQuantizeColorCount(), c.loaded) << c.stored;
  }
}

TEST(LKRawStream, AShortWriteIsReported) {
  StorageSettings settings(kAllInMemory);
  TLKBitmap bmp;
  MakeThreeByTwo(bmp, true);
  for (Integer room : {0, 11, 75, 99, 108}) {
    FullDisk disk(room);
    EXPECT_FALSE(bmp.SaveRAWToBufferOrStream(nullptr, &disk)) << room;
  }
  FullDisk roomy(109);
  EXPECT_TRUE(bmp.SaveRAWToBufferOrStream(nullptr, &roomy));
  EXPECT_FALSE(bmp.SaveRAWToBufferOrStream(nullptr, nullptr));
}

// ---------------------------------------------------------------------------
// Hostile forms

// Where a fault lies decides what is left of the buffer that was read into:
// header faults leave it untouched; missing rows leave it untouched when the
// source tells its size (refused before allocating) and empty otherwise;
// missing alpha data always leaves it empty.
enum class Stage { Header, Rows, Alpha };

void PutInt(std::vector<Byte>& v, size_t at, Integer value) { std::memcpy(&v[at], &value, 4); }

TEST(LKRawStream, HostileFormsAreRefusedWithoutHarm) {
  StorageSettings settings(kAllInMemory);
  using Mutate = std::function<void(std::vector<Byte>&)>;
  auto cut = [](size_t n) { return Mutate([n](std::vector<Byte>& v) { v.resize(n); }); };
  auto setInt = [](size_t at, Integer value) { return Mutate([=](std::vector<Byte>& v) { PutInt(v, at, value); }); };
  auto setByte = [](size_t at, Byte value) { return Mutate([=](std::vector<Byte>& v) { v[at] = value; }); };
  struct Case {
    const char* name;
    Mutate mutate;
    Stage stage;
  };
  // Offsets in the 109-byte form of the 3 x 2 picture with alpha: version 12,
  // N 16, width 20, height 24, format 28, alignment 71, rows 75, alpha flag
  // 99, alpha rows 100, alpha Full 108.
  const Case cases[] = {
      {"empty stream", cut(0), Stage::Header},
      {"truncated inside the magic", cut(5), Stage::Header},
      {"truncated after the magic", cut(12), Stage::Header},
      {"truncated inside the version", cut(14), Stage::Header},
      {"truncated after the palette count", cut(20), Stage::Header},
      {"truncated inside the settings", cut(50), Stage::Header},
      {"truncated before the alignment's last byte", cut(74), Stage::Header},
      {"bad magic", setByte(11, 'w'), Stage::Header},
      {"negative version", setInt(12, -1), Stage::Header},
      {"palette count above 256", setInt(16, 257), Stage::Header},
      {"negative palette count", setInt(16, -1), Stage::Header},
      {"palette count near 2^31", setInt(16, 0x7FFFFFFF), Stage::Header},
      {"palette of 256 entries cut short", setInt(16, 256), Stage::Header},
      {"palette count 257 with the bytes for it",
       [](std::vector<Byte>& v) {
         PutInt(v, 16, 257);
         v.resize(v.size() + 2000, 0);
       },
       Stage::Header},
      {"unknown format 10", setByte(28, 10), Stage::Header},
      {"unknown format 255", setByte(28, 255), Stage::Header},
      {"alignment 0", setInt(71, 0), Stage::Header},
      {"alignment 24", setInt(71, 24), Stage::Header},
      {"alignment 64", setInt(71, 64), Stage::Header},
      {"alignment -32", setInt(71, -32), Stage::Header},
      {"negative width", setInt(20, -1), Stage::Header},
      {"negative height", setInt(24, -5), Stage::Header},
      {"width x height near 2^62",
       [](std::vector<Byte>& v) {
         PutInt(v, 20, 0x7FFFFFFF);
         PutInt(v, 24, 0x7FFFFFFF);
       },
       Stage::Header},
      {"row longer than 2^28 bytes",
       [](std::vector<Byte>& v) {
         PutInt(v, 20, (1 << 28) / 6 + 1);
         PutInt(v, 24, 1);
         v[28] = lk48RGB;
       },
       Stage::Header},
      {"2^20 x 2^20 48-bit pixels (beyond the limit)",
       [](std::vector<Byte>& v) {
         PutInt(v, 20, 1 << 20);
         PutInt(v, 24, 1 << 20);
         v[28] = lk48RGB;
       },
       Stage::Header},
      {"truncated before the rows", cut(75), Stage::Rows},
      {"truncated inside the first row", cut(80), Stage::Rows},
      {"truncated before the alpha flag", cut(99), Stage::Rows},
      {"width larger than the stored rows (row length 28 against 12)", setInt(20, 9), Stage::Rows},
      {"48-bit format on 24-bit rows", setByte(28, lk48RGB), Stage::Rows},
      {"4000 x 4000 picture in 109 bytes",
       [](std::vector<Byte>& v) {
         PutInt(v, 20, 4000);
         PutInt(v, 24, 4000);
       },
       Stage::Rows},
      {"format-less 60000 x 60000 picture announcing alpha rows it lacks",
       [](std::vector<Byte>& v) {
         PutInt(v, 20, 60000);
         PutInt(v, 24, 60000);
         v[28] = lknull;  // no rows: byte 75 (non-zero) is read as the alpha flag
       },
       Stage::Alpha},
      {"alpha rows missing", cut(100), Stage::Alpha},
      {"truncated inside the alpha rows", cut(104), Stage::Alpha},
      {"alpha Full missing", cut(108), Stage::Alpha},
  };

  TLKBitmap source;
  MakeThreeByTwo(source, true);
  const std::vector<Byte> good = SaveToBytes(source);
  ASSERT_EQ(good.size(), 109u);

  enum class Source { Buffer, SizedStream, UnsizedStream };
  for (const Case& c : cases) {
    std::vector<Byte> bytes = good;
    c.mutate(bytes);
    for (Source s : {Source::Buffer, Source::SizedStream, Source::UnsizedStream}) {
      SCOPED_TRACE(std::string(c.name) + " / source " + std::to_string(static_cast<int>(s)));
      TLKBitmap target(5, 4, lk8g);
      target.Fill(77);
      target.GetAlphaChannel()->SetPixels_lk8(4, 3, 6);
      bool ok = true;
      if (s == Source::Buffer) {
        ok = target.LoadRAWFromBufferOrStream(bytes.data(), nullptr, static_cast<Int64>(bytes.size()));
      } else if (s == Source::SizedStream) {
        TMemoryStream ms;
        if (!bytes.empty()) ms.WriteBuffer(bytes.data(), static_cast<Int64>(bytes.size()));
        ms.SetPosition(0);
        ok = target.LoadRAWFromBufferOrStream(nullptr, &ms);
      } else {
        UnsizedStream us(bytes);
        ok = target.LoadRAWFromBufferOrStream(nullptr, &us);
      }
      EXPECT_FALSE(ok);
      const bool untouched = c.stage == Stage::Header || (c.stage == Stage::Rows && s != Source::UnsizedStream);
      if (untouched) {
        ASSERT_EQ(target.GetWidth(), 5);
        ASSERT_EQ(target.GetHeight(), 4);
        ASSERT_EQ(target.GetPixelFormat(), lk8g);
        EXPECT_EQ(target.GetPixels_lk8(4, 3), 77);
        EXPECT_EQ(target.GetBitAlignment(), 32);
        ASSERT_TRUE(target.GetHasAlphaChannel());
        EXPECT_EQ(target.GetAlphaChannel()->GetPixels_lk8(4, 3), 6);
      } else {
        EXPECT_TRUE(target.IsEmpty());
        EXPECT_FALSE(target.GetHasAlphaChannel());
      }
    }
  }
}

TEST(LKRawStream, EveryByteOfTheMagicCounts) {
  StorageSettings settings(kAllInMemory);
  TLKBitmap source;
  MakeThreeByTwo(source, false);
  const std::vector<Byte> good = SaveToBytes(source);
  for (size_t i = 0; i < 12; ++i) {
    std::vector<Byte> bytes = good;
    bytes[i] ^= 0x20;  // the same letter in the other case
    TLKBitmap target;
    EXPECT_FALSE(target.LoadRAWFromBufferOrStream(bytes.data(), nullptr, static_cast<Int64>(bytes.size()))) << i;
  }
  // A non-zero version is read with the same layout.
  std::vector<Byte> later = good;
  PutInt(later, 12, 7);
  TLKBitmap target;
  EXPECT_TRUE(target.LoadRAWFromBufferOrStream(later.data(), nullptr, static_cast<Int64>(later.size())));
  // A buffer without a size holds nothing.
  EXPECT_FALSE(target.LoadRAWFromBufferOrStream(good.data(), nullptr));
  EXPECT_FALSE(target.LoadRAWFromBufferOrStream(nullptr, nullptr, 100));
}

}  // namespace
