// Values of TIFF entries are sized from their declared count only once the
// data is known to be in the stream: a small block whose string and array
// entries each claim a megabyte allocates nothing of that size.
#include <gtest/gtest.h>

#include <atomic>
#include <vector>

#include "codecs/tiff/tiffdir.h"
#include "platform/classes.h"

#if defined(__SANITIZE_ADDRESS__)
#define LK_ASAN 1
#elif defined(__has_feature)
#if __has_feature(address_sanitizer)
#define LK_ASAN 1
#endif
#endif
#ifdef LK_ASAN
// The sanitizer run-time's allocation hooks; not every compiler ships the
// header that declares them, so the declaration is written here.
extern "C" int __sanitizer_install_malloc_and_free_hooks(void (*malloc_hook)(const volatile void*, size_t),
                                                         void (*free_hook)(const volatile void*));
#define LK_TRACK_ALLOCATIONS 1
#endif

namespace {

#ifdef LK_TRACK_ALLOCATIONS
std::atomic<bool> gTracking{false};
std::atomic<size_t> gLargest{0};
void OnMalloc(const volatile void*, size_t size) {
  if (!gTracking.load(std::memory_order_relaxed)) return;
  size_t seen = gLargest.load(std::memory_order_relaxed);
  while (size > seen && !gLargest.compare_exchange_weak(seen, size)) {
  }
}
void OnFree(const volatile void*) {}
#endif

// "II", one directory at 8 with entries of type Type and Count values at
// offset 26, then a few bytes.
[[maybe_unused]] std::vector<Byte> Claiming(Word Type, Cardinal Count) {
  std::vector<Byte> b = {'I', 'I', 42, 0, 8, 0, 0, 0, 3, 0};
  auto entry = [&](Word Tag) {
    const Byte e[12] = {Byte(Tag), Byte(Tag >> 8), Byte(Type), Byte(Type >> 8), Byte(Count), Byte(Count >> 8),
                        Byte(Count >> 16), Byte(Count >> 24), 50, 0, 0, 0};
    b.insert(b.end(), e, e + 12);
  };
  entry(270);
  entry(305);
  entry(315);
  b.insert(b.end(), {0, 0, 0, 0});
  b.resize(b.size() + 300, 'x');
  return b;
}

TEST(TIFFValueBounds, DeclaredSizesPastTheStreamAreNotAllocated) {
#ifndef LK_TRACK_ALLOCATIONS
  GTEST_SKIP() << "allocation sizes are tracked under AddressSanitizer only";
#else
  static const bool installed = __sanitizer_install_malloc_and_free_hooks(OnMalloc, OnFree) != 0;
  ASSERT_TRUE(installed);
  for (Word type : {Word(2), Word(1), Word(3)}) {
    SCOPED_TRACE(type);
    const std::vector<Byte> bytes = Claiming(type, 1000000);
    TMemoryStream s;
    s.WriteBuffer(bytes.data(), Integer(bytes.size()));
    s.Seek(0, soBeginning);
    TTIFFEnv env;
    Integer count = 0;
    ASSERT_TRUE(TIFFLoadTags(&s, count, 0, env));
    gLargest = 0;
    gTracking = true;
    String text = "kept";
    std::u16string wide = u"kept";
    std::vector<Byte> raw;
    std::vector<Integer> values;
    TIFFReadString(env, 270, text);
    TIFFReadWideString(env, 305, wide);
    TIFFReadRawData(env, 315, raw);
    TIFFReadArrayIntegers(env, values, 315);
    gTracking = false;
    EXPECT_LT(gLargest.load(), size_t{65536});
    EXPECT_EQ(text, "kept");
    EXPECT_TRUE(raw.empty());
    EXPECT_TRUE(values.empty());
    TIFFFreeTags(env);
  }
#endif
}

}  // namespace
