// The fast linear filter worked out directly from its rules, one sample at a
// time in plain arithmetic, for tests that compare the optimised routines
// with it pixel for pixel.
#pragma once

#include <algorithm>
#include <cmath>
#include <functional>
#include <vector>

#include "platform/system.h"

namespace linear_reference {

// One axis for n source and m destination pixels: for each destination
// pixel either the two neighbours and the 17-bit fraction between them
// (enlarged axis), or the run of source pixels it averages, from its own
// start to the next pixel's start (reduced or kept axis).
struct AxisRule {
  bool interpolate = false;
  std::vector<Integer> first, last, fraction;
};

inline AxisRule Axis(Integer n, Integer m, double endEpsilon) {
  AxisRule a;
  const double scale = static_cast<double>(m) / n;
  a.interpolate = scale > 1;
  for (Integer i = 0; i < m; ++i) {
    const double pos = i / scale;
    const auto start = static_cast<Integer>(pos);
    a.first.push_back(start);
    a.fraction.push_back(static_cast<Integer>((pos - start) * 131072));
    a.last.push_back(a.interpolate ? std::min(start + 1, n - 1)
                                   : static_cast<Integer>(std::min(i + 1, m - 1) / scale + endEpsilon));
  }
  return a;
}

// Sample i of an axis from the source samples at(k).
template <class At>
Integer Apply(const AxisRule& a, Integer i, At at) {
  const auto k = static_cast<size_t>(i);
  if (a.interpolate) {
    const Integer near = at(a.first[k]), far = at(a.last[k]);
    return near + static_cast<Integer>(std::floor((far - near) * static_cast<double>(a.fraction[k]) / 131072.0));
  }
  Integer sum = 0;
  for (Integer j = a.first[k]; j <= a.last[k]; ++j) sum += at(j);
  return sum / (a.last[k] - a.first[k] + 1);
}

/// An sw x sh picture of `channels` bytes per pixel, sample px(x, y, c),
/// filtered to w2 x h2: rows first (the end of a run gets 1e-10), then
/// columns; equal sizes copy. Returns w2 * h2 * channels bytes, row by row.
inline std::vector<Byte> Filter(Integer sw, Integer sh, Integer channels, Integer w2, Integer h2,
                                const std::function<Integer(Integer, Integer, Integer)>& px) {
  const auto at = [&](Integer x, Integer y, Integer c) {
    return (static_cast<size_t>(y) * w2 + x) * channels + c;
  };
  std::vector<Byte> out(static_cast<size_t>(w2) * h2 * channels);
  if (sw == w2 && sh == h2) {
    for (Integer y = 0; y < h2; ++y)
      for (Integer x = 0; x < w2; ++x)
        for (Integer c = 0; c < channels; ++c) out[at(x, y, c)] = static_cast<Byte>(px(x, y, c));
    return out;
  }
  const AxisRule cols = Axis(sw, w2, 0.0000000001), rows = Axis(sh, h2, 0);
  std::vector<Integer> mid(static_cast<size_t>(sh) * w2 * channels);
  const auto midAt = [&](Integer i, Integer y, Integer c) {
    return (static_cast<size_t>(y) * w2 + i) * channels + c;
  };
  for (Integer y = 0; y < sh; ++y)
    for (Integer i = 0; i < w2; ++i)
      for (Integer c = 0; c < channels; ++c)
        mid[midAt(i, y, c)] = Apply(cols, i, [&](Integer x) { return px(x, y, c); });
  for (Integer r = 0; r < h2; ++r)
    for (Integer i = 0; i < w2; ++i)
      for (Integer c = 0; c < channels; ++c)
        out[at(i, r, c)] = static_cast<Byte>(Apply(rows, r, [&](Integer y) { return mid[midAt(i, y, c)]; }));
  return out;
}

}  // namespace linear_reference
