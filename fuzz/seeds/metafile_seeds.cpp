// Writes the seed corpus of metafile_play_fuzz: small files of both kinds
// that reach text, bitmaps, clipping, saved states, transforms, curves and
// paths, built with the test kit.
// Usage: metafile_seeds <directory>
#include <string>
#include <utility>
#include <vector>

#include "write_seeds.h"

#include "common/metafile_kit.h"

using namespace mfkit;

namespace {

const std::string kDib = Dib(4, 3, [](int X, int Y) { return Rgb(60 * X, 80 * Y, 200); });
const std::string kDib8 = Dib(5, 2, [](int X, int) { return Cardinal(X % 3); }, 8, {Rgb(255, 0, 0), Rgb(0, 255, 0), 0});

std::string EmfText() {
  Emf e;
  e.Rec(82, EmfFont(1, -12, 450, 700, u"DejaVu Sans"));
  e.Rec(37, {1});
  e.Rec(24, {Rgb(200, 0, 0)});
  e.Rec(25, {Rgb(0, 200, 0)});
  e.Rec(22, {6 | 24 | 1});
  e.Rec(84, mfkit::EmfText(20, 20, u"Ab\xE9", {7, 7, 7}, 6, 0, 0, 30, 30));
  e.Rec(18, {1});
  e.Rec(84, mfkit::EmfText(5, 30, u"x"));
  return e.Bytes(40, 40);
}

std::string EmfBitmaps() {
  Emf e;
  e.Rec(81, EmfStretchDib(0, 0, 20, -15, kDib, 4, 3));
  e.Rec(81, EmfStretchDib(20, 20, 10, 10, kDib8, 5, 2, 0x008800C6));
  const Cardinal fixed = 8 + 100;
  e.Rec(77, Le32({0, 0, 0, 0, 5, 5, 8, 8, 0x00CC0020, 1, 1}) + Le32({0x3F800000, 0, 0, 0x3F800000, 0, 0}) +
                Le32({0, 0, fixed, 40, fixed + 40, Cardinal(kDib.size() - 40), 3, 2}) + kDib);
  e.Rec(76, Le32({0, 0, 0, 0, 1, 1, 6, 6, 0x00F00021, 0, 0}) + Le32({0, 0, 0, 0, 0, 0}) + Le32({0, 0, 0, 0, 0, 0}));
  e.Rec(94, Le32({3, 0, 8 + 24, 40, 8 + 24 + 40, Cardinal(kDib.size() - 40)}) + kDib);
  e.Rec(37, {3});
  e.Rec(42, {2, 2, 30, 30});
  // Run-coded bitmaps of 8 and 4 bits (a run, a literal, a skip, the end)
  // and a fill mixed by exclusive or.
  for (const Cardinal bits : {8u, 4u}) {
    const std::string runs = std::string("\x03\x01\x00\x03\x02\x00\x01\x00\x00\x02\x01\x01\x00\x00\x00\x01", 16);
    std::string dib = Le32({40, 4, 3}) + Le16({1, int(bits)}) + Le32({bits == 8 ? 1u : 2u, Cardinal(runs.size()), 0, 0, 3, 0});
    dib += Le32({0x0000FF, 0x00FF00, 0xFF0000}) + runs;
    e.Rec(81, EmfStretchDib(4, 24, 12, 9, dib, 4, 3));
  }
  e.Rec(20, {7});
  e.Rec(43, {0, 0, 20, 20});
  return e.Bytes(40, 40);
}

std::string EmfClipAndTransform() {
  Emf e;
  e.Rec(33, std::initializer_list<Cardinal>{});
  e.Rec(30, {2, 2, 30, 30});
  e.Rec(29, {10, 10, 20, 20});
  e.Rec(75, Le32({48, 1}) + Le32({32, 1, 1, 16, 0, 0, 40, 40}) + Le32({0, 0, 25, 25}));
  e.Rec(36, {0x3F800000, 0x3E800000, 0, 0x3F800000, 0x40000000, 0, 2});
  e.Rec(17, {8});
  e.Rec(9, {100, 100});
  e.Rec(11, {40, Cardinal(-40)});
  e.Rec(12, {0, 40});
  e.Rec(39, {1, 2, Rgb(0, 0, 255), 3});
  e.Rec(37, {1});
  e.Rec(43, {0, 0, 90, 90});
  e.Rec(34, {Cardinal(-1)});
  e.Rec(17, {3});
  e.Rec(44, {0, 0, 500, Cardinal(-500), 100, 100});
  return e.Bytes(40, 40);
}

std::string EmfCurvesAndPaths() {
  Emf e;
  e.Rec(95, Le32({1, 0, 0, 0, 0, 0x10000 | 0x200 | 0x1000 | 1, 3, 0, Rgb(0, 0, 0), 0, 0}));
  e.Rec(37, {1});
  e.Rec(57, {2});
  e.Rec(45, {0, 0, 30, 30, 30, 15, 15, 0});
  e.Rec(46, {5, 5, 35, 25, 0, 0, 40, 40});
  e.Rec(47, {10, 10, 30, 30, 30, 20, 20, 30});
  e.Rec(27, {0, 0});
  e.Rec(55, {0, 0, 20, 20, 20, 10, 10, 0});
  e.Rec(41, {20, 20, 10, 0, 0x42B40000});
  e.Rec(59, std::initializer_list<Cardinal>{});
  e.Rec(88, Le32({0, 0, 0, 0, 3}) + Le16({10, 0, 20, 40, 30, 0}));
  e.Rec(89, Le32({0, 0, 0, 0, 2}) + Le16({35, 35, 0, 35}));
  e.Rec(61, std::initializer_list<Cardinal>{});
  e.Rec(91, Le32({0, 0, 0, 0, 2, 6, 3, 3}) + Le16({1, 1, 9, 1, 1, 9, 20, 20, 30, 20, 20, 30}));
  e.Rec(60, std::initializer_list<Cardinal>{});
  e.Rec(66, std::initializer_list<Cardinal>{});
  e.Rec(63, {0, 0, 0, 0});
  e.Rec(59, std::initializer_list<Cardinal>{});
  e.Rec(42, {0, 0, 20, 20});
  e.Rec(60, std::initializer_list<Cardinal>{});
  e.Rec(67, {4});
  e.Rec(2, {0, 0, 0, 0, 4, 0, 40, 0, 0, 40, 0, 40, 40});
  e.Rec(15, {3, 3, Rgb(255, 0, 255)});
  e.Rec(71, Le32({0, 0, 0, 0, 48, 1}) + Le32({32, 1, 1, 16, 0, 0, 4, 4}) + Le32({0, 0, 4, 4}));
  return e.Bytes(40, 40);
}

std::string WmfAll() {
  Wmf w;
  w.Rec(0x020B, {0, 0});
  w.Rec(0x020C, {40, 40});
  w.Rec(0x001E, {});
  w.Rec(0x0416, {30, 30, 2, 2});
  w.Rec(0x0415, {20, 20, 10, 10});
  w.Rec(0x02FB, WmfFont(-10, 900, 400, "DejaVu Sans"));
  w.Rec(0x012D, {0});
  w.Rec(0x0209, Le32({Rgb(0, 0, 200)}));
  w.Rec(0x012E, {24});
  w.Rec(0x0521, Le16({3}) + "abc" + Le16({20, 5}));
  w.Rec(0x0A32, Le16({30, 5, 2, 6, 0, 25, 40, 40}) + "xy" + Le16({6, 6}));
  w.Rec(0x0127, {-1});
  w.Rec(0x02FC, Le16({2}) + Le32({Rgb(0, 128, 0)}) + Le16({5}));
  w.Rec(0x012D, {1});
  w.Rec(0x0538, {2, 3, 3, 1, 1, 9, 1, 1, 9, 20, 20, 30, 20, 20, 30});
  w.Rec(0x081A, {0, 20, 20, 40, 40, 40, 0, 0});
  w.Rec(0x0830, {30, 0, 0, 30, 30, 30, 0, 0});
  w.Rec(0x0817, {10, 0, 0, 10, 20, 20, 0, 0});
  w.Rec(0x061C, {8, 8, 35, 35, 25, 25});
  w.Rec(0x0142, Le16({5, 0}) + kDib);
  w.Rec(0x012D, {2});
  w.Rec(0x041F, Le32({Rgb(1, 2, 3)}) + Le16({4, 4}));
  w.Rec(0x0B41, Le32({0x00CC0020}) + Le16({3, 4, 0, 0, 20, 20, 0, 0}) + kDib);
  w.Rec(0x0F43, Le32({0x00EE0086}) + Le16({0, 2, 5, 0, 0, 10, 10, 30, 30}) + kDib8);
  w.Rec(0x0940, Le32({0x00CC0020}) + Le16({0, 0, 3, 4, 2, 2}) + kDib);
  w.Rec(0x0D33, Le16({0, 3, 0, 0, 0, 3, 4, 35, 0}) + kDib);
  w.Rec(0x061D, Le32({0x00550009}) + Le16({5, 5, 0, 0}));
  w.Rec(0x0410, {1, 2, 1, 2});
  w.Rec(0x020F, {3, 3});
  w.Rec(0x0418, {10, 10, 0, 0});
  return w.Bytes(40, 40);
}

}  // namespace

int main(int argc, char** argv) {
  const std::vector<std::pair<const char*, std::string>> seeds = {
      {"text.emf", EmfText()},
      {"bitmaps.emf", EmfBitmaps()},
      {"clip_transform.emf", EmfClipAndTransform()},
      {"curves_paths.emf", EmfCurvesAndPaths()},
      {"all.wmf", WmfAll()},
  };
  return WriteSeeds(argc, argv, "metafile_seeds", seeds);
}
