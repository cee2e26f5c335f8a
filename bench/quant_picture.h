// A seeded photograph-like test picture made in code: smooth colour
// gradients with soft bands and per-pixel noise, so that it has many
// distinct colours spread the way a photograph's are. Rows can be made one
// at a time, so large pictures never need a second full copy.
#pragma once

#include <cmath>
#include <cstdint>

namespace quantbench {

// Noise in -12..12 from the pixel position and the seed.
inline int Noise(std::uint32_t x, std::uint32_t y, std::uint32_t seed) {
  std::uint32_t h = x * 0x9E3779B1u ^ (y + 0x7F4A7C15u) * 0x85EBCA77u ^ seed * 0xC2B2AE3Du;
  h ^= h >> 15;
  h *= 0x2C1B3C6Du;
  h ^= h >> 12;
  return static_cast<int>(h % 25) - 12;
}

inline std::uint8_t Clamp(double v) { return v < 0 ? 0 : v > 255 ? 255 : static_cast<std::uint8_t>(v); }

// Writes row y of a width x height picture as blue, green, red bytes.
inline void PhotoRow(int width, int height, int y, std::uint32_t seed, std::uint8_t* bgr) {
  const double fy = static_cast<double>(y) / height;
  for (int x = 0; x < width; ++x) {
    const double fx = static_cast<double>(x) / width;
    const int n = Noise(static_cast<std::uint32_t>(x), static_cast<std::uint32_t>(y), seed);
    const double r = 128 + 110 * std::sin(5.0 * fx + 2.0 * fy + 0.3 * std::sin(17.0 * fy));
    const double g = 120 + 100 * std::cos(3.5 * fy - 2.5 * fx * fy);
    const double b = 60 + 170 * fx * fy + 20 * std::sin(9.0 * fx);
    bgr[3 * x + 0] = Clamp(b + n);
    bgr[3 * x + 1] = Clamp(g + n);
    bgr[3 * x + 2] = Clamp(r + n);
  }
}

}  // namespace quantbench
