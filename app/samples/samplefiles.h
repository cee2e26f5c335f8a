// Small camera RAW files for the window's tests: files of three cameras
// built with the test kit's file builders, at a size the caller chooses,
// quick to develop. The samples shipped beside the program are made from
// photographs (photosamples.h).
#pragma once

#include <cmath>
#include <cstdio>
#include <string>
#include <vector>

#include "raw/rawfiles.h"

namespace samples {

/// A colourful scene on a Bayer sensor: each of the four cells of a 2 × 2
/// block follows its own gradient, with a few rings, 12-bit.
inline int Scene(int row, int col) {
  constexpr double kScale = 1.0 / 1024;
  const double x = col * kScale, y = row * kScale;
  const double ring = 0.5 + 0.5 * std::cos(std::sqrt((x - 0.8) * (x - 0.8) + (y - 0.6) * (y - 0.6)) * 40);
  double v = 0;
  switch ((row & 1) * 2 + (col & 1)) {
    case 0: v = 0.2 + 0.7 * (x / 1.6) + 0.1 * ring; break;
    case 3: v = 0.2 + 0.7 * (y / 1.2) + 0.1 * ring; break;
    default: v = 0.25 + 0.5 * ring; break;
  }
  return std::max(0, std::min(4095, int(v * 4095)));
}

struct File {
  std::string name;
  rawfiles::Bytes bytes;
};

/// The sample files; Rows × Cols is the sensor size of each.
inline std::vector<File> Files(int Rows, int Cols) {
  return {
      {"nucore_scene.raw", rawfiles::Nucore(Rows, Cols, Scene)},
      {"nikon_d1.nef", rawfiles::NikonTiff(Rows, Cols)},
      {"canon_powershot.crw", rawfiles::CanonCiff(Rows, Cols, true)},
  };
}

/// Writes the sample files into Folder (which must exist); false when one
/// could not be written.
inline bool Write(const std::string& Folder, int Rows, int Cols) {
  for (const File& f : Files(Rows, Cols)) {
    const std::string path = Folder + "/" + f.name;
    FILE* out = std::fopen(path.c_str(), "wb");
    if (!out) return false;
    const bool ok = std::fwrite(f.bytes.data(), 1, f.bytes.size(), out) == f.bytes.size();
    if (std::fclose(out) != 0 || !ok) return false;
  }
  return true;
}

}  // namespace samples
