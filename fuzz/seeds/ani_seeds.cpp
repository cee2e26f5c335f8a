// Writes the seed corpus of ani_read_fuzz: animated cursors with and
// without sequence and rate chunks, with titles, cursors among the icons
// and an 8-bit icon, built with the test kit.
// Usage: ani_seeds <directory>
#include <string>
#include <utility>
#include <vector>

#include "write_seeds.h"

#include "common/ani_kit.h"

using namespace anikit;

int main(int argc, char** argv) {
  const std::string red = Icon(4, 4, [](int, int) { return 0xFF0000u; }, [](int X, int) { return X == 0; });
  const std::string cursor = Icon(4, 4, [](int X, int) { return X * 0x102030u; }, nullptr, 2, 1, 2);
  const std::string eight = Icon(3, 2, [](int X, int) { return X ? 0x00FF00u : 0x0000FFu; }, nullptr, 1, 0, 0, 8);
  const std::vector<std::pair<const char*, std::string>> seeds = {
      {"plain.ani", Ani({Anih(2, 2, 5), Frames({red, cursor})})},
      {"sequence.ani", Ani({Anih(3, 4, 5), Chunk("rate", Values({1, 2, 3, 4})), Chunk("seq ", Values({2, 0, 1, 0})),
                            List("INFO", {Chunk("INAM", "Seed"), Chunk("IART", "Kit")}), Frames({red, cursor, eight})})},
      {"spare_icons.ani", Ani({Anih(3, 1, 9), Frames({eight, red, cursor})})},
  };
  return WriteSeeds(argc, argv, "ani_seeds", seeds);
}
