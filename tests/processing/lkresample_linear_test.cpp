// The fast linear routines on whole pictures, checked pixel for pixel
// against the filter worked out from its rules: every kind of axis, runs
// on both sides of the length the vector path takes, 24-bit and 8-bit
// pictures, with and without progress reports, in memory and in files.
#include <gtest/gtest.h>

#include <cstdint>
#include <vector>

#include "common/linear_reference.h"
#include "core/lkbitmap.h"
#include "processing/lkresample.h"
#include "resample_fixtures.h"

using namespace resample_test;

namespace {

Byte Noise(Integer x, Integer y, Integer c) {
  std::uint32_t h = static_cast<std::uint32_t>(x) * 2654435761u ^ static_cast<std::uint32_t>(y) * 40503u ^
                    static_cast<std::uint32_t>(c) * 97u;
  h ^= h >> 15;
  h *= 0x2c1b3c6du;
  h ^= h >> 12;
  return static_cast<Byte>(h);
}

struct Size {
  const char* name;
  Integer w, h, w2, h2;
};

const Size kSizes[] = {
    {"reduced about 3.7 times", 203, 141, 55, 38},
    {"runs of 16 pixels", 150, 90, 10, 6},      // ratio 15: the longest runs of the vector path
    {"runs of 17 pixels", 160, 96, 10, 6},      // ratio 16: one pixel past it
    {"reduced about 30 times", 301, 211, 10, 7},
    {"enlarged", 23, 17, 61, 44},
    {"reduced across, enlarged down", 97, 13, 31, 40},
    {"enlarged across, reduced down", 13, 97, 40, 31},
    {"width kept", 37, 50, 37, 20},
    {"one row", 80, 1, 21, 1},
    {"to one pixel", 40, 30, 1, 1},
    {"one source column", 1, 40, 3, 9},
    {"same size", 20, 10, 20, 10},
};

TEST(LinearResampleExact, WholePicturesMatchTheFilterInEveryStorageAndWithProgress) {
  for (const TLKLocation where : {lkMemory, lkFile}) {
    SCOPED_TRACE(where == lkFile ? "file" : "memory");
    const StorageGuard storage(where);
    for (const Size& s : kSizes) {
      SCOPED_TRACE(s.name);
      for (const Integer channels : {3, 1}) {
        SCOPED_TRACE(channels);
        const std::vector<Byte> want = linear_reference::Filter(s.w, s.h, channels, s.w2, s.h2, Noise);
        auto src = Make(s.w, s.h, channels == 3 ? lk24RGB : lk8g,
                        [&](Integer x, Integer y, Byte* p) {
                          for (Integer c = 0; c < channels; ++c) p[c] = Noise(x, y, c);
                        });
        for (const bool withProgress : {false, true}) {
          SCOPED_TRACE(withProgress ? "progress" : "no progress");
          TLKBitmap dst(s.w2, s.h2, channels == 3 ? lk24RGB : lk8g);
          Poison(dst, 0xA5);
          Integer last = -1;
          bool rising = true;
          TLKProgressEvent progress;
          if (withProgress)
            progress = [&](TObject*, Integer p) {
              rising = rising && p >= last;
              last = p;
            };
          if (channels == 3)
            _ResampleLinearEx(src.get(), &dst, progress);
          else
            _ResampleLinearAlpha(src.get(), &dst, progress);
          EXPECT_EQ(Pixels(dst), want);
          EXPECT_TRUE(rising);
        }
      }
    }
  }
}

}  // namespace
