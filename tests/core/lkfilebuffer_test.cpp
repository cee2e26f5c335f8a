#include "core/lkfilebuffer.h"

#include <gtest/gtest.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cctype>
#include <cstdint>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <vector>

#include "core/lkioglobals.h"
#include "tests/core/bitmap_fixtures.h"

namespace {

namespace fs = std::filesystem;
using namespace bitmap_test;

// True when name is folder + prefix + "-" + 8 upper-case hex digits + ".tmp".
bool IsTempName(const std::string& name, const std::string& folder, const std::string& prefix) {
  const std::string head = folder + prefix + "-";
  if (name.size() != head.size() + 12 || name.compare(0, head.size(), head) != 0) return false;
  for (size_t i = head.size(); i < head.size() + 8; ++i)
    if (!std::isdigit(static_cast<unsigned char>(name[i])) && (name[i] < 'A' || name[i] > 'F')) return false;
  return name.compare(head.size() + 8, 4, ".tmp") == 0;
}

std::vector<char> ReadFile(const std::string& name) {
  std::ifstream in(name, std::ios::binary);
  return std::vector<char>((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
}

TEST(TempFileName, PatternAndUniqueness) {
  TempFolder dir;
  for (int i = 0; i < 50; ++i) {
    const std::string name = LKGetTempFileName("IMG", dir.path());
    ASSERT_TRUE(IsTempName(name, dir.path(), "IMG")) << name;
    EXPECT_FALSE(fs::exists(name));
    std::ofstream(name).put('x');  // later names must avoid this one
  }
  EXPECT_EQ(dir.FileCount(), 50u);
  const std::string name2 = LKGetTempFileName2();
  EXPECT_TRUE(IsTempName(name2, dir.path(), "lktemp")) << name2;
}

TEST(FileBuffer, AllocateCreatesPrivateSizedFileAndDeAllocateDeletesIt) {
  TempFolder dir;
  TLKFileBuffer fb;
  EXPECT_FALSE(fb.IsAllocated());
  EXPECT_FALSE(fb.DeAllocate());  // nothing allocated: false, nothing done
  ASSERT_TRUE(fb.AllocateFile(12345, "IMG"));
  EXPECT_TRUE(fb.IsAllocated());
  EXPECT_TRUE(IsTempName(fb.GetFileName(), dir.path(), "IMG"));
  struct stat st;
  ASSERT_EQ(::stat(fb.GetFileName().c_str(), &st), 0);
  EXPECT_EQ(st.st_size, 12345);
  EXPECT_EQ(st.st_mode & 0777, 0600u);  // never readable by other users
  const std::string name = fb.GetFileName();
  EXPECT_TRUE(fb.DeAllocate());
  EXPECT_FALSE(fs::exists(name));
  EXPECT_FALSE(fb.IsAllocated());
}

TEST(FileBuffer, AllocateFailsCleanlyInMissingFolder) {
  TempFolder dir;
  DefTEMPPATH = dir.path() + "missing/";
  TLKFileBuffer fb;
  EXPECT_FALSE(fb.AllocateFile(100, "IMG"));
  EXPECT_FALSE(fb.IsAllocated());
  DefTEMPPATH = dir.path();
}

TEST(FileBuffer, DestructorDeletesFile) {
  TempFolder dir;
  std::string name;
  {
    TLKFileBuffer fb;
    ASSERT_TRUE(fb.AllocateFile(10, "IMG"));
    name = fb.GetFileName();
    fb.Map(0, 10, TLKDataAccess{lkdRead, lkdWrite});  // still mapped at destruction
  }
  EXPECT_FALSE(fs::exists(name));
  EXPECT_EQ(dir.FileCount(), 0u);
}

TEST(FileBuffer, MapAccessDecidesReadAndWriteBack) {
  TempFolder dir;
  TLKFileBuffer fb;
  ASSERT_TRUE(fb.AllocateFile(64, "IMG"));
  const TLKDataAccess rw{lkdRead, lkdWrite};

  auto* a = static_cast<Byte*>(fb.Map(8, 16, rw));
  for (int i = 0; i < 16; ++i) EXPECT_EQ(a[i], 0) << i;  // new file space is zero
  std::memset(a, 0xAB, 16);
  EXPECT_EQ(fb.IndexOf(a), 0);
  fb.UnMap(a);
  EXPECT_EQ(fb.IndexOf(a), -1);

  auto* r = static_cast<Byte*>(fb.Map(0, 32, TLKDataAccess{lkdRead}));
  EXPECT_EQ(r[7], 0);
  EXPECT_EQ(r[8], 0xAB);
  EXPECT_EQ(r[23], 0xAB);
  EXPECT_EQ(r[24], 0);
  std::memset(r, 0x11, 32);  // mapped without lkdWrite: never reaches the file
  fb.UnMap(r);

  auto* w = static_cast<Byte*>(fb.Map(0, 4, TLKDataAccess{lkdWrite}));
  std::memset(w, 0x22, 4);
  fb.UnMap(w);
  fb.Flush();

  const std::vector<char> bytes = ReadFile(fb.GetFileName());
  ASSERT_EQ(bytes.size(), 64u);
  EXPECT_EQ(static_cast<Byte>(bytes[0]), 0x22);
  EXPECT_EQ(static_cast<Byte>(bytes[4]), 0);
  EXPECT_EQ(static_cast<Byte>(bytes[8]), 0xAB);

  // A range past the end of the file reads what there is and zeroes the rest.
  auto* tail = static_cast<Byte*>(fb.Map(60, 10, rw));
  for (int i = 0; i < 10; ++i) EXPECT_EQ(tail[i], 0) << i;
  fb.UnMap(tail);
  fb.UnMap(reinterpret_cast<void*>(0x1234));  // not mapped: ignored
}

TEST(FileBuffer, UnMapAllWritesNewestFirst) {
  TempFolder dir;
  TLKFileBuffer fb;
  ASSERT_TRUE(fb.AllocateFile(4, "IMG"));
  const TLKDataAccess rw{lkdRead, lkdWrite};
  auto* older = static_cast<Byte*>(fb.Map(0, 4, rw));
  auto* newer = static_cast<Byte*>(fb.Map(0, 4, rw));
  std::memset(older, 1, 4);
  std::memset(newer, 2, 4);
  EXPECT_EQ(fb.GetMapCount(), 2);
  fb.UnMapAll();
  EXPECT_EQ(fb.GetMapCount(), 0);
  EXPECT_EQ(ReadFile(fb.GetFileName())[0], 1);  // the oldest is written last
}

TEST(FileBuffer, GatheredWriteBacksKeepTheirOrderAndAreSeenByReads) {
  TempFolder dir;
  TLKFileBuffer fb;
  ASSERT_TRUE(fb.AllocateFile(40, "IMG"));
  const TLKDataAccess w{lkdWrite};
  auto put = [&](Int64 off, Int64 len, Byte v) {
    void* p = fb.Map(off, len, w);
    std::memset(p, v, static_cast<size_t>(len));
    fb.UnMap(p);
  };
  put(0, 10, 1);
  put(10, 10, 2);  // follows on: gathered with the first
  put(5, 10, 3);   // overlaps: must land after both
  auto* r = static_cast<Byte*>(fb.Map(0, 20, TLKDataAccess{lkdRead}));
  const Byte expected[20] = {1, 1, 1, 1, 1, 3, 3, 3, 3, 3, 3, 3, 3, 3, 3, 2, 2, 2, 2, 2};
  EXPECT_EQ(std::memcmp(r, expected, 20), 0);
  fb.UnMap(r);
  put(30, 10, 4);
  fb.Flush();
  const std::vector<char> bytes = ReadFile(fb.GetFileName());
  ASSERT_EQ(bytes.size(), 40u);
  EXPECT_EQ(bytes[14], 3);
  EXPECT_EQ(bytes[25], 0);
  EXPECT_EQ(bytes[39], 4);
}

TEST(FileBuffer, CopyToWholeFileAndPartialRange) {
  TempFolder dir;
  const Int64 size = 2500000;  // more than two 1 MB chunks
  TLKFileBuffer src, dst;
  ASSERT_TRUE(src.AllocateFile(size, "IMG"));
  ASSERT_TRUE(dst.AllocateFile(100, "IMG"));
  auto* p = static_cast<Byte*>(src.Map(0, size, TLKDataAccess{lkdWrite}));
  for (Int64 i = 0; i < size; ++i) p[i] = static_cast<Byte>(i * 7 + i / 1000);
  // Still mapped: CopyTo unmaps first so that the pattern is in the file.
  src.CopyTo(&dst, 0, size);
  EXPECT_EQ(ReadFile(dst.GetFileName()), ReadFile(src.GetFileName()));
  EXPECT_EQ(dst.GetFileSize(), size);

  // Both stay usable.
  auto* q = static_cast<Byte*>(dst.Map(size - 1, 1, TLKDataAccess{lkdRead, lkdWrite}));
  EXPECT_EQ(*q, static_cast<Byte>((size - 1) * 7 + (size - 1) / 1000));
  dst.UnMap(q);

  // A partial copy moves exactly the range, at the same position.
  TLKFileBuffer part;
  ASSERT_TRUE(part.AllocateFile(size, "IMG"));
  src.CopyTo(&part, 1000, 2400000);
  const std::vector<char> a = ReadFile(src.GetFileName()), b = ReadFile(part.GetFileName());
  ASSERT_EQ(b.size(), static_cast<size_t>(size));
  EXPECT_EQ(b[999], 0);
  EXPECT_EQ(b[1000], a[1000]);
  EXPECT_TRUE(std::equal(a.begin() + 1000, a.begin() + 2401000, b.begin() + 1000));
  EXPECT_EQ(b[2401000], 0);

  TLKFileBuffer none;
  src.CopyTo(&none, 0, size);  // destination without a file: nothing
  EXPECT_FALSE(none.IsAllocated());
}

TEST(Allocators, AutoAllocBothSidesOfTheLimitAligned) {
  for (size_t size : {size_t{0}, size_t{1}, size_t{1048575}, size_t{1048576}, size_t{3000000}}) {
    void* p = LKAutoAlloc(size);
    ASSERT_NE(p, nullptr);
    // Blocks hold floats and doubles of the work rasters: keep them aligned.
    EXPECT_EQ(reinterpret_cast<std::uintptr_t>(p) % 16, 0u) << size;
    std::memset(p, 0x5A, size);
    LKAutoFree(p);
    EXPECT_EQ(p, nullptr);
  }
  void* nil = nullptr;
  LKAutoFree(nil);

  void* s = LKSystemAlloc(4096);
  ASSERT_NE(s, nullptr);
  for (int i = 0; i < 4096; ++i) ASSERT_EQ(static_cast<Byte*>(s)[i], 0);  // zero-filled
  LKSystemFree(s);
  EXPECT_EQ(s, nullptr);
}

TEST(Allocators, FreeMemoryIsPositiveAndFitsInteger) {
  const Integer m = LKGetFreeMemory();
  EXPECT_GT(m, 0);  // saturates instead of wrapping negative on big machines
}

}  // namespace
