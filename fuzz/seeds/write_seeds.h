// Writes a seed corpus: each named file into the folder the one argument
// names. Returns the program's exit code.
#pragma once

#include <cstdio>
#include <string>
#include <utility>
#include <vector>

inline int WriteSeeds(int argc, char** argv, const char* Program,
                      const std::vector<std::pair<const char*, std::string>>& Seeds) {
  if (argc != 2) {
    std::fprintf(stderr, "usage: %s <directory>\n", Program);
    return 2;
  }
  for (const auto& [name, bytes] : Seeds) {
    const std::string path = std::string(argv[1]) + "/" + name;
    FILE* f = std::fopen(path.c_str(), "wb");
    if (!f || std::fwrite(bytes.data(), 1, bytes.size(), f) != bytes.size()) {
      std::fprintf(stderr, "cannot write %s\n", path.c_str());
      if (f) std::fclose(f);
      return 1;
    }
    std::fclose(f);
  }
  return 0;
}
