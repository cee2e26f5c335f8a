#include "core/lkbitmap.h"

#include <gtest/gtest.h>

#include <cstdint>
#include <cstring>
#include <string>
#include <vector>

#include "core/lkioglobals.h"
#include "platform/graphics.h"
#include "tests/core/bitmap_fixtures.h"

namespace {

using namespace bitmap_test;

Byte Pattern(Integer x, Integer y) { return static_cast<Byte>(x * 7 + y * 31 + 1); }

void WritePattern(TLKBitmap& bmp) {
  const Integer h = bmp.GetHeight(), len = bmp.GetRowLen();
  for (Integer y = 0; y < h; ++y) {
    auto* row = static_cast<Byte*>(bmp.GetScanLine(y));
    for (Integer x = 0; x < len; ++x) row[x] = Pattern(x, y);
  }
}

// Compares every byte of every row with the pattern; returns the first bad
// row, or -1.
Integer CheckPattern(TLKBitmap& bmp) {
  const Integer h = bmp.GetHeight(), len = bmp.GetRowLen();
  for (Integer y = 0; y < h; ++y) {
    auto* row = static_cast<Byte*>(bmp.GetScanLine(y));
    for (Integer x = 0; x < len; ++x)
      if (row[x] != Pattern(x, y)) return y;
  }
  return -1;
}

struct StorageCase {
  const char* name;
  Integer minFileSize;
  TLKLocation expected;
};
const StorageCase kStorages[] = {{"memory", kAllInMemory, lkMemory}, {"file", kAllInFiles, lkFile}};

TEST(LKBitmap, EveryFormatAllocatesWithExactLayoutInBothStorages) {
  struct Layout {
    TLKPixelFormat f;
    Integer bits, channels, rowLen;  // row length at width 13
  };
  const Layout layouts[] = {{lk1g, 1, 1, 4},       {lk8p, 8, 1, 16},     {lk8g, 8, 1, 16},
                            {lk16g, 16, 1, 28},    {lk24RGB, 24, 3, 40}, {lk32f, 32, 1, 52},
                            {lkCMYK, 32, 4, 52},   {lk48RGB, 48, 3, 80}, {lkCIELab, 24, 3, 40}};
  for (const StorageCase& s : kStorages) {
    StorageSettings settings(s.minFileSize);
    for (const Layout& l : layouts) {
      SCOPED_TRACE(std::string(s.name) + " format " + std::to_string(l.f));
      TLKBitmap bmp(13, 5, l.f);
      EXPECT_EQ(bmp.GetLocation(), s.expected);
      EXPECT_EQ(bmp.GetWidth(), 13);
      EXPECT_EQ(bmp.GetHeight(), 5);
      EXPECT_EQ(bmp.GetPixelFormat(), l.f);
      EXPECT_EQ(bmp.GetBitCount(), l.bits);
      EXPECT_EQ(bmp.GetChannelCount(), l.channels);
      EXPECT_EQ(bmp.GetRowLen(), l.rowLen);
      EXPECT_EQ(bmp.GetPaletteLen(), l.f == lk8p ? 256 : 0);
      EXPECT_FALSE(bmp.IsEmpty());
      EXPECT_FALSE(bmp.GetFull());
      WritePattern(bmp);
      EXPECT_EQ(CheckPattern(bmp), -1);
    }
  }
}

TEST(LKBitmap, EmptyBuffers) {
  TLKBitmap bmp;
  EXPECT_TRUE(bmp.IsEmpty());
  EXPECT_EQ(bmp.GetPixelFormat(), lknull);
  EXPECT_EQ(bmp.GetLocation(), lkFile);  // the default request
  EXPECT_EQ(bmp.GetBitAlignment(), 32);
  EXPECT_EQ(bmp.GetDitherMethod(), lkThreshold);
  EXPECT_EQ(bmp.GetQuantizeColorCount(), 256);
  EXPECT_EQ(bmp.GetMemoryAllocator(), lkmaAuto);
  EXPECT_TRUE((bmp.Access == TLKDataAccess{lkdRead, lkdWrite}));
  const std::pair<Integer, Integer> sizes[] = {{0, 10}, {10, 0}, {-3, 10}, {10, -3}};
  for (auto [w, h] : sizes) {
    bmp.Allocate(w, h, lk24RGB);
    EXPECT_TRUE(bmp.IsEmpty()) << w << "x" << h;
  }
  bmp.Allocate(4, 4, lknull);
  EXPECT_TRUE(bmp.IsEmpty());
}

TEST(LKBitmap, SizeRuleChoosesStorage) {
  StorageSettings settings(1000);
  TLKBitmap big(100, 100, lk24RGB);  // 30,000 bytes
  EXPECT_EQ(big.GetMinFileSize(), 1000);
  EXPECT_EQ(big.GetLocation(), lkFile);
  EXPECT_EQ(settings.FileCount(), 1u);  // its temporary file

  TLKBitmap small(10, 10, lk24RGB);  // 32-byte rows: 320 bytes
  EXPECT_EQ(small.GetLocation(), lkMemory);
  TLKBitmap tiny(10, 5, lk8g);  // 60 bytes
  EXPECT_EQ(tiny.GetLocation(), lkMemory);
  // Exactly the threshold keeps what was requested: memory here...
  tiny.Allocate(100, 10, lk8g);
  EXPECT_EQ(tiny.GetLocation(), lkMemory);
  // ...and a file there.
  big.Allocate(100, 10, lk8g);
  EXPECT_EQ(big.GetLocation(), lkFile);
  // Below it, file storage turns into memory.
  big.Allocate(10, 10, lk8g);
  EXPECT_EQ(big.GetLocation(), lkMemory);
}

TEST(LKBitmap, ThresholdFromFreeMemoryWhenDefaultIsMinusOne) {
  StorageSettings settings(-1);
  TLKBitmap bmp;
  const Integer free = LKGetFreeMemory();
  EXPECT_EQ(bmp.GetMinFileSize(), free != 0 ? free / 2 : 33554432);
  EXPECT_GT(bmp.GetMinFileSize(), 0);
}

TEST(LKBitmap, MemoryRowsAreBottomUpInAnAlignedBlock) {
  StorageSettings settings(kAllInMemory);
  for (TLKMemoryAllocator a : {lkmaVCL, lkmaSystem, lkmaAuto}) {
    TLKBitmap bmp;
    bmp.SetMemoryAllocator(a);
    bmp.Allocate(7, 6, lk24RGB);
    ASSERT_EQ(bmp.GetLocation(), lkMemory);
    auto* mem = static_cast<Byte*>(bmp.GetMemory());
    EXPECT_EQ(reinterpret_cast<std::uintptr_t>(mem) % 32, 0u);
    EXPECT_EQ(bmp.GetScanLine(5), mem);
    EXPECT_EQ(bmp.GetScanLine(0), mem + 24 * 5);
    EXPECT_EQ(bmp.GetRow(2), bmp.GetScanLine(2));
    // Changing the allocator later frees the block with the one that gave it.
    bmp.SetMemoryAllocator(a == lkmaAuto ? lkmaVCL : lkmaAuto);
  }
}

TEST(LKBitmap, FileRowsWrittenThroughScanLineReachTheFile) {
  StorageSettings settings(kAllInFiles);
  TLKBitmap bmp(5, 4, lk24RGB);
  ASSERT_EQ(bmp.GetLocation(), lkFile);
  const Integer len = bmp.GetRowLen();
  auto* r0 = static_cast<Byte*>(bmp.GetScanLine(0));
  std::memset(r0, 0x10, static_cast<size_t>(len));
  auto* r1 = static_cast<Byte*>(bmp.GetScanLine(1));  // releases row 0, writing it
  std::memset(r1, 0x11, static_cast<size_t>(len));
  bmp.FreeAllMaps();

  // The file holds rows top-down.
  std::vector<Byte> file(static_cast<size_t>(len * 4));
  FILE* f = std::fopen(bmp.GetFileBuffer()->GetFileName().c_str(), "rb");
  ASSERT_NE(f, nullptr);
  ASSERT_EQ(std::fread(file.data(), 1, file.size(), f), file.size());
  std::fclose(f);
  EXPECT_EQ(file[0], 0x10);
  EXPECT_EQ(file[static_cast<size_t>(len) - 1], 0x10);
  EXPECT_EQ(file[static_cast<size_t>(len)], 0x11);
  EXPECT_EQ(file[static_cast<size_t>(len * 2)], 0);
}

TEST(LKBitmap, FileRowsHeldWithGetRowStayValidUntilFreed) {
  StorageSettings settings(kAllInFiles);
  TLKBitmap bmp(8, 6, lk8g);
  WritePattern(bmp);
  auto* held = static_cast<Byte*>(bmp.GetRow(2));
  auto* held2 = static_cast<Byte*>(bmp.GetRow(4));
  EXPECT_EQ(bmp.GetMappedRowCount(), 2);
  // Walking other rows with GetScanLine leaves the held rows alone.
  for (Integer y = 0; y < 6; ++y) bmp.GetScanLine(y);
  EXPECT_EQ(held[0], Pattern(0, 2));
  EXPECT_EQ(held2[3], Pattern(3, 4));
  held[0] = 0xEE;
  held2[0] = 0xDD;
  bmp.FreeRow(5);  // past the list: nothing
  EXPECT_EQ(bmp.GetMappedRowCount(), 2);
  bmp.FreeRow(0);  // the oldest held row: row 2, written back
  EXPECT_EQ(bmp.GetMappedRowCount(), 1);
  EXPECT_EQ(static_cast<Byte*>(bmp.GetScanLine(2))[0], 0xEE);
  bmp.FreeAllMaps();
  EXPECT_EQ(bmp.GetMappedRowCount(), 0);
  EXPECT_EQ(static_cast<Byte*>(bmp.GetScanLine(4))[0], 0xDD);
}

TEST(LKBitmap, FileRowAskedForAgainIsReusedUnlessTheFileMovedOn) {
  StorageSettings settings(kAllInFiles);
  TLKBitmap bmp(8, 4, lk8g);
  WritePattern(bmp);
  auto* row = static_cast<Byte*>(bmp.GetScanLine(3));
  row[0] = 0x42;
  EXPECT_EQ(bmp.GetScanLine(3), row);  // pixel-by-pixel access keeps its row
  EXPECT_EQ(static_cast<Byte*>(bmp.GetScanLine(3))[0], 0x42);

  // A narrower access maps the row afresh: what was written reached the file.
  bmp.Access = TLKDataAccess{lkdRead};
  auto* readOnly = static_cast<Byte*>(bmp.GetScanLine(3));
  EXPECT_EQ(readOnly[0], 0x42);

  // The row changed in the file through a held copy while mapped read-only:
  // asking again must show the change, not the old mapping.
  bmp.Access = TLKDataAccess{lkdRead, lkdWrite};
  auto* held = static_cast<Byte*>(bmp.GetRow(3));
  held[1] = 0x43;
  bmp.FreeRow(0);
  bmp.Access = TLKDataAccess{lkdRead};
  EXPECT_EQ(static_cast<Byte*>(bmp.GetScanLine(3))[1], 0x43);
  bmp.Access = TLKDataAccess{lkdRead, lkdWrite};
}

TEST(LKBitmap, FileRowsAreNotWrittenBackWithoutWriteAccess) {
  StorageSettings settings(kAllInFiles);
  TLKBitmap bmp(8, 3, lk8g);
  WritePattern(bmp);
  bmp.Access = TLKDataAccess{lkdRead};
  static_cast<Byte*>(bmp.GetScanLine(1))[0] = 0x99;
  bmp.GetScanLine(2);
  bmp.Access = TLKDataAccess{lkdRead, lkdWrite};
  EXPECT_EQ(static_cast<Byte*>(bmp.GetScanLine(1))[0], Pattern(0, 1));
}

TEST(LKBitmap, AllocateSameSizeKeepsPixelsUntilAReallocationIsPending) {
  for (const StorageCase& s : kStorages) {
    SCOPED_TRACE(s.name);
    StorageSettings settings(s.minFileSize);
    TLKBitmap bmp(9, 4, lk24RGB);
    WritePattern(bmp);
    bmp.Allocate(9, 4, lk24RGB);
    EXPECT_EQ(CheckPattern(bmp), -1);

    TLKBitmap other(9, 4, lk24RGB);
    WritePattern(other);
    bmp.Assign(&other);  // leaves a reallocation pending
    const std::string fileBefore = bmp.GetFileBuffer()->GetFileName();
    bmp.Allocate(9, 4, lk24RGB);
    EXPECT_FALSE(bmp.IsEmpty());
    if (s.expected == lkFile) {
      EXPECT_NE(bmp.GetFileBuffer()->GetFileName(), fileBefore);  // a new file
    }
  }
}

TEST(LKBitmap, AssignCopiesPixelsPaletteAlphaAndSettingsAcrossStorages) {
  struct Case {
    const char* name;
    Integer srcMin, dstMin;
  };
  const Case cases[] = {{"memory to memory", kAllInMemory, kAllInMemory},
                        {"file to file", kAllInFiles, kAllInFiles},
                        {"memory to file", kAllInMemory, kAllInFiles},
                        {"file to memory", kAllInFiles, kAllInMemory}};
  for (const Case& c : cases) {
    for (TLKPixelFormat f : kFormats) {
      SCOPED_TRACE(std::string(c.name) + " format " + std::to_string(f));
      StorageSettings settings(c.srcMin);
      TLKBitmap src(11, 7, f);
      WritePattern(src);
      if (f == lk8p) src.SetPalette(3, TRGB{1, 2, 3});
      src.SetDitherMethod(lkOrdered);
      src.GetAlphaChannel();
      LKDefMinFileSize = c.dstMin;
      TLKBitmap dst(3, 3, lk8g);
      dst.Assign(&src);
      EXPECT_EQ(dst.GetWidth(), 11);
      EXPECT_EQ(dst.GetHeight(), 7);
      EXPECT_EQ(dst.GetPixelFormat(), f);
      EXPECT_EQ(CheckPattern(dst), -1);
      EXPECT_EQ(CheckPattern(src), -1);  // the source is unchanged
      EXPECT_EQ(dst.GetDitherMethod(), lkOrdered);
      ASSERT_TRUE(dst.GetHasAlphaChannel());
      EXPECT_EQ(static_cast<Byte*>(dst.GetAlphaChannel()->GetScanLine(6))[10], 255);
      EXPECT_TRUE(dst.GetAlphaChannel()->GetIsAlphaChannel());
      if (f == lk8p) {
        EXPECT_EQ(dst.GetPaletteLen(), 256);
        EXPECT_EQ(dst.GetPalette(3), (TRGB{1, 2, 3}));
      }
      EXPECT_TRUE((src.Access == TLKDataAccess{lkdRead, lkdWrite}));  // narrowing undone
      EXPECT_TRUE((dst.Access == TLKDataAccess{lkdRead, lkdWrite}));

      // A source without alpha channel removes the destination's.
      src.RemoveAlphaChannel();
      dst.Assign(&src);
      EXPECT_FALSE(dst.GetHasAlphaChannel());
    }
  }
}

TEST(LKBitmap, AssignOfOwnAlphaChannelOrSelfIsSafe) {
  StorageSettings settings(kAllInMemory);
  TLKBitmap bmp(4, 4, lk24RGB);
  WritePattern(bmp);
  bmp.Assign(&bmp);
  EXPECT_EQ(CheckPattern(bmp), -1);
  bmp.Assign(bmp.GetAlphaChannel());
  EXPECT_EQ(bmp.GetPixelFormat(), lk8g);
  EXPECT_FALSE(bmp.GetHasAlphaChannel());
  EXPECT_EQ(static_cast<Byte*>(bmp.GetScanLine(0))[0], 255);
  bmp.Assign(nullptr);  // any other object is ignored
  EXPECT_EQ(bmp.GetPixelFormat(), lk8g);
}

TEST(LKBitmap, AssignImageKeepsOwnAlphaAndAlignment) {
  for (const StorageCase& s : kStorages) {
    SCOPED_TRACE(s.name);
    StorageSettings settings(s.minFileSize);
    TLKBitmap src(6, 5, lk24RGB);
    WritePattern(src);
    src.SetDitherMethod(lkOrdered);
    TLKBitmap dst(6, 5, lk8g);
    TLKBitmap* alpha = dst.GetAlphaChannel();
    static_cast<Byte*>(alpha->GetScanLine(0))[0] = 7;
    dst.AssignImage(&src);
    EXPECT_EQ(dst.GetPixelFormat(), lk24RGB);
    EXPECT_EQ(CheckPattern(dst), -1);
    EXPECT_EQ(dst.GetAlphaChannel(), alpha);
    EXPECT_EQ(static_cast<Byte*>(alpha->GetScanLine(0))[0], 7);
    EXPECT_EQ(dst.GetDitherMethod(), lkThreshold);
    EXPECT_FALSE(dst.GetFull());

    TLKBitmap empty;
    dst.AssignImage(&empty);  // an empty source changes nothing
    EXPECT_EQ(dst.GetPixelFormat(), lk24RGB);
  }
}

TEST(LKBitmap, SwitchToMovesStorageWithoutCopying) {
  for (const StorageCase& s : kStorages) {
    SCOPED_TRACE(s.name);
    StorageSettings settings(s.minFileSize);
    TLKBitmap src(10, 3, lk8p);
    WritePattern(src);
    src.SetPalette(0, TRGB{9, 8, 7});
    src.GetAlphaChannel();
    src.SetContrast(12);
    const void* mem = src.GetMemory();
    const std::string file = src.GetFileBuffer()->GetFileName();

    TLKBitmap dst(4, 4, lk24RGB);
    dst.GetAlphaChannel();
    src.SwitchTo(&dst);
    EXPECT_EQ(dst.GetWidth(), 10);
    EXPECT_EQ(dst.GetPixelFormat(), lk8p);
    EXPECT_EQ(dst.GetLocation(), s.expected);
    EXPECT_EQ(dst.GetMemory(), mem);
    EXPECT_EQ(dst.GetFileBuffer()->GetFileName(), file);
    EXPECT_EQ(dst.GetPalette(0), (TRGB{9, 8, 7}));
    EXPECT_TRUE(dst.GetHasAlphaChannel());
    EXPECT_EQ(dst.GetAlphaChannel()->GetWidth(), 10);
    EXPECT_EQ(CheckPattern(dst), -1);

    EXPECT_TRUE(src.IsEmpty());
    EXPECT_EQ(src.GetPixelFormat(), lknull);
    EXPECT_EQ(src.GetLocation(), s.expected);  // the request stays
    EXPECT_EQ(src.GetContrast(), 12);           // display settings stay
    EXPECT_FALSE(src.GetHasAlphaChannel());
    EXPECT_EQ(src.GetPaletteLen(), 0);
    // The source is usable again.
    src.Allocate(2, 2, lk8g);
    EXPECT_FALSE(src.IsEmpty());
  }
}

TEST(LKBitmap, AlphaChannelIsCreatedOpaqueOnDemand) {
  for (const StorageCase& s : kStorages) {
    SCOPED_TRACE(s.name);
    StorageSettings settings(s.minFileSize);
    TLKBitmap bmp(5, 4, lk24RGB);
    EXPECT_FALSE(bmp.GetHasAlphaChannel());
    TLKBitmap* alpha = bmp.GetAlphaChannel();
    ASSERT_NE(alpha, nullptr);
    EXPECT_TRUE(bmp.GetHasAlphaChannel());
    EXPECT_EQ(alpha->GetPixelFormat(), lk8g);
    EXPECT_EQ(alpha->GetWidth(), 5);
    EXPECT_EQ(alpha->GetHeight(), 4);
    EXPECT_TRUE(alpha->GetFull());
    EXPECT_TRUE(alpha->GetIsAlphaChannel());
    EXPECT_EQ(alpha->GetLocation(), s.expected);
    for (Integer y = 0; y < 4; ++y)
      for (Integer x = 0; x < 5; ++x) EXPECT_EQ(static_cast<Byte*>(alpha->GetScanLine(y))[x], 255);
    EXPECT_EQ(alpha->GetAlphaChannel(), nullptr);  // an alpha channel has none
    alpha->RemoveAlphaChannel();                    // and removing does nothing
    EXPECT_EQ(bmp.GetAlphaChannel(), alpha);
    bmp.RemoveAlphaChannel();
    EXPECT_FALSE(bmp.GetHasAlphaChannel());
  }
}

TEST(LKBitmap, AlphaConstructorTurnsTBitmapStorageIntoMemory) {
  StorageSettings settings(kAllInMemory);
  TLKBitmap alpha(3, 3, lkTBitmap);
  EXPECT_EQ(alpha.GetLocation(), lkMemory);
  EXPECT_TRUE(alpha.GetIsAlphaChannel());
  EXPECT_TRUE(alpha.GetFull());
}

TEST(LKBitmap, TemporaryFilesAreRemovedWithTheirBuffers) {
  StorageSettings settings(kAllInFiles);
  {
    TLKBitmap a(20, 20, lk24RGB);
    a.GetAlphaChannel();
    TLKBitmap b;
    b.Assign(&a);
    EXPECT_EQ(settings.FileCount(), 4u);
    a.FreeImage(false);
    EXPECT_EQ(settings.FileCount(), 3u);  // a's alpha channel remains
    a.FreeImage(true);
    EXPECT_EQ(settings.FileCount(), 2u);
  }
  EXPECT_EQ(settings.FileCount(), 0u);
}

TEST(LKBitmap, UnusableTemporaryFolderFallsBackToMemory) {
  StorageSettings settings(kAllInFiles);
  DefTEMPPATH = settings.path() + "missing/";
  TLKBitmap bmp(20, 20, lk24RGB);
  EXPECT_EQ(bmp.GetLocation(), lkMemory);
  WritePattern(bmp);
  EXPECT_EQ(CheckPattern(bmp), -1);
  DefTEMPPATH = settings.path();
}

TEST(LKBitmap, ImpossibleSizesFailCleanly) {
  StorageSettings settings(kAllInFiles);
  DefTEMPPATH = settings.path() + "missing/";  // no file: memory is the only way
  TLKBitmap bmp;
  // 2^20 x 2^20 pixels of 48 bits: 6 TiB, computed without overflow.
  EXPECT_THROW(bmp.Allocate(1 << 20, 1 << 20, lk48RGB), EOutOfMemory);
  EXPECT_TRUE(bmp.IsEmpty());  // no size without pixels
  EXPECT_EQ(bmp.GetWidth(), 0);
  bmp.Allocate(2, 2, lk8g);  // and still usable
  EXPECT_FALSE(bmp.IsEmpty());
  DefTEMPPATH = settings.path();
}

}  // namespace

// TBitmap storage is entered through storage changes and wrapping that live
// elsewhere; these tests set the location request directly.
class LKBitmapTestAccess {
 public:
  static void RequestLocation(TLKBitmap& b, TLKLocation l) { b.Location = l; }
  static TBitmap* Vcl(TLKBitmap& b) { return b.VclBitmap; }
};

namespace {

TEST(LKBitmapTBitmap, FormatsThatFitLiveInTheClassLibraryBitmap) {
  struct Case {
    TLKPixelFormat asked, held;
    TPixelFormat vcl;
  };
  const Case cases[] = {{lk1g, lk1g, pf1bit},
                        {lk8p, lk8p, pf8bit},
                        {lk8g, lk8g, pf8bit},
                        {lk16g, lk8g, pf8bit},  // held as 8-bit grey
                        {lk24RGB, lk24RGB, pf24bit}};
  for (const Case& c : cases) {
    SCOPED_TRACE(std::to_string(c.asked));
    TLKBitmap bmp;
    LKBitmapTestAccess::RequestLocation(bmp, lkTBitmap);
    bmp.Allocate(13, 6, c.asked);
    EXPECT_EQ(bmp.GetLocation(), lkTBitmap);
    EXPECT_EQ(bmp.GetPixelFormat(), c.held);
    EXPECT_EQ(bmp.GetBitCount(), LKPixelFormatBitCount(c.held));
    TBitmap* vcl = LKBitmapTestAccess::Vcl(bmp);
    ASSERT_NE(vcl, nullptr);
    EXPECT_EQ(vcl->GetPixelFormat(), c.vcl);
    EXPECT_EQ(vcl->GetWidth(), 13);
    EXPECT_EQ(vcl->GetHeight(), 6);
    EXPECT_EQ(bmp.GetScanLine(0), vcl->ScanLine(0));
    EXPECT_EQ(bmp.GetScanLine(5), vcl->ScanLine(5));
    EXPECT_LE(bmp.GetRowLen(), vcl->RowBytes());
    WritePattern(bmp);
    EXPECT_EQ(CheckPattern(bmp), -1);
    EXPECT_EQ(bmp.GetAlphaChannel()->GetLocation(), lkMemory);
  }
}

TEST(LKBitmapTBitmap, FormatsThatDoNotFitRaiseAndLeaveTheBufferEmpty) {
  const std::pair<TLKPixelFormat, const char*> cases[] = {
      {lk32f, "lk32f pixel format not allowed when Location=lkTBitmap"},
      {lkCMYK, "lkCMYK pixel format not allowed when Location=lkTBitmap"},
      {lk48RGB, "lkRGB48 pixel format not allowed when Location=lkTBitmap"},
      {lkCIELab, "lkCIELab pixel format not allowed when Location=lkTBitmap"}};
  for (auto [format, message] : cases) {
    TLKBitmap bmp;
    LKBitmapTestAccess::RequestLocation(bmp, lkTBitmap);
    try {
      bmp.Allocate(4, 4, format);
      ADD_FAILURE() << "no exception for " << int(format);
    } catch (const Exception& e) {
      EXPECT_STREQ(e.what(), message);
    }
    EXPECT_TRUE(bmp.IsEmpty());

    // Assigning such a picture into TBitmap storage is refused the same way.
    StorageSettings settings(kAllInMemory);
    TLKBitmap src(4, 4, format);
    TLKBitmap dst;
    LKBitmapTestAccess::RequestLocation(dst, lkTBitmap);
    dst.Allocate(2, 2, lk24RGB);
    try {
      dst.Assign(&src);
      ADD_FAILURE() << "no exception for " << int(format);
    } catch (const Exception& e) {
      EXPECT_STREQ(e.what(), message);
    }
  }
}

TEST(LKBitmapTBitmap, ChangesMadeThroughTheClassLibraryArePickedUp) {
  TLKBitmap bmp;
  LKBitmapTestAccess::RequestLocation(bmp, lkTBitmap);
  bmp.Allocate(8, 4, lk24RGB);
  bmp.GetAlphaChannel();
  TBitmap* vcl = LKBitmapTestAccess::Vcl(bmp);
  vcl->SetSize(20, 10);
  EXPECT_EQ(bmp.GetWidth(), 20);
  EXPECT_EQ(bmp.GetHeight(), 10);
  EXPECT_EQ(bmp.GetRowLen(), 60);
  EXPECT_EQ(bmp.GetScanLine(9), vcl->ScanLine(9));  // rows rebuilt
  EXPECT_EQ(bmp.GetAlphaChannel()->GetWidth(), 20);  // alpha follows the size

  // A format without a buffer counterpart becomes 24-bit, so rows match.
  vcl->SetPixelFormat(pf32bit);
  EXPECT_EQ(bmp.GetPixelFormat(), lk24RGB);
  EXPECT_EQ(vcl->GetPixelFormat(), pf24bit);

  vcl->SetPixelFormat(pf8bit);  // default colour table: not grey
  EXPECT_EQ(bmp.GetPixelFormat(), lk8p);
  EXPECT_EQ(bmp.GetPaletteLen(), 256);
  TRGBQuad q{1, 2, 3, 0};
  vcl->SetColorTable(7, 1, &q);
  bmp.GetWidth();
  EXPECT_EQ(bmp.GetPalette(7), (TRGB{1, 2, 3}));
  bmp.SetPalette(9, TRGB{4, 5, 6});  // pushed into the colour table
  TRGBQuad back;
  vcl->GetColorTable(9, 1, &back);
  EXPECT_EQ(back, (TRGBQuad{4, 5, 6, 0}));

  vcl->SetPixelFormat(pf1bit);
  EXPECT_EQ(bmp.GetPixelFormat(), lk1g);
  EXPECT_EQ(bmp.GetPaletteLen(), 0);
}

TEST(LKBitmapTBitmap, AssignIntoAndOutOfTBitmapStorage) {
  StorageSettings settings(kAllInMemory);
  TLKBitmap src(9, 5, lk8p);
  WritePattern(src);
  src.SetPalette(200, TRGB{10, 20, 30});
  TLKBitmap dst;
  LKBitmapTestAccess::RequestLocation(dst, lkTBitmap);
  TLKBitmap empty;
  dst.Assign(&empty);  // an empty source changes nothing
  EXPECT_TRUE(dst.IsEmpty());
  dst.Assign(&src);
  EXPECT_EQ(dst.GetLocation(), lkTBitmap);
  EXPECT_EQ(dst.GetPixelFormat(), lk8p);
  EXPECT_EQ(CheckPattern(dst), -1);
  TRGBQuad q;
  LKBitmapTestAccess::Vcl(dst)->GetColorTable(200, 1, &q);
  EXPECT_EQ(q, (TRGBQuad{10, 20, 30, 0}));

  TLKBitmap back;
  back.Assign(&dst);
  EXPECT_EQ(back.GetLocation(), lkMemory);
  EXPECT_EQ(back.GetPixelFormat(), lk8p);
  EXPECT_EQ(back.GetPalette(200), (TRGB{10, 20, 30}));
  EXPECT_EQ(CheckPattern(back), -1);

  // 16-bit grey arrives as its high bytes.
  TLKBitmap grey16(3, 2, lk16g);
  for (Integer y = 0; y < 2; ++y) {
    auto* row = static_cast<Word*>(grey16.GetScanLine(y));
    for (Integer x = 0; x < 3; ++x) row[x] = static_cast<Word>(0x1234 * (x + 1) + y);
  }
  dst.Assign(&grey16);
  EXPECT_EQ(dst.GetPixelFormat(), lk8g);
  EXPECT_EQ(static_cast<Byte*>(dst.GetScanLine(1))[2], 0x36);  // 0x369C + 1
}

TEST(LKBitmapTBitmap, SwitchToHandsTheClassLibraryBitmapOn) {
  TLKBitmap src;
  LKBitmapTestAccess::RequestLocation(src, lkTBitmap);
  src.Allocate(5, 5, lk24RGB);
  WritePattern(src);
  TBitmap* vcl = LKBitmapTestAccess::Vcl(src);
  TLKBitmap dst;
  src.SwitchTo(&dst);
  EXPECT_EQ(LKBitmapTestAccess::Vcl(dst), vcl);
  EXPECT_EQ(LKBitmapTestAccess::Vcl(src), nullptr);
  EXPECT_EQ(dst.GetLocation(), lkTBitmap);
  EXPECT_EQ(CheckPattern(dst), -1);
  EXPECT_EQ(src.GetLocation(), lkTBitmap);
  EXPECT_TRUE(src.IsEmpty());
}

}  // namespace
