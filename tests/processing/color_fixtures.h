// Small pictures for the colour and tone tests: painting a 24-bit picture
// from a function, reading its pixels back, and a view whose operations run
// once in memory and once in temporary files.
#pragma once

#include <gtest/gtest.h>

#include <functional>
#include <vector>

#include "core/lkbitmap.h"
#include "processing/lumerakproc.h"
#include "testview.h"

namespace color_test {

/// Paints every pixel of an lk24RGB bitmap from colour(x, y).
inline void Paint(TLKBitmap* b, const std::function<TRGB(Integer, Integer)>& colour) {
  for (Integer y = 0; y < b->GetHeight(); ++y)
    for (Integer x = 0; x < b->GetWidth(); ++x) b->SetPixels_lk24RGB(x, y, colour(x, y));
  b->FreeAllMaps();
}

/// A w x h lk24RGB bitmap of one colour.
inline std::unique_ptr<TLKBitmap> Uniform(Integer w, Integer h, TRGB c) {
  auto b = std::make_unique<TLKBitmap>(w, h, lk24RGB);
  Paint(b.get(), [c](Integer, Integer) { return c; });
  return b;
}

/// A picture of varied colours (no two neighbours alike).
inline TRGB Varied(Integer x, Integer y) {
  return TRGB{static_cast<Byte>(x * 37 + y * 11), static_cast<Byte>(x * 13 + y * 29 + 7),
              static_cast<Byte>(x * 5 + y * 53 + 100)};
}

/// Every pixel of a 24-bit bitmap, row by row.
inline std::vector<TRGB> Pixels(TLKBitmap* b) {
  std::vector<TRGB> v;
  for (Integer y = 0; y < b->GetHeight(); ++y)
    for (Integer x = 0; x < b->GetWidth(); ++x) v.push_back(b->GetPixels_lk24RGB(x, y));
  return v;
}

/// Records progress values and finish events of a component.
struct Events {
  std::vector<Integer> progress;
  Integer finished = 0;
  void Attach(TLumerakProc& proc) {
    proc.OnProgress = [this](TObject*, Integer p) { progress.push_back(p); };
    proc.OnFinishWork = [this](TObject*) { ++finished; };
  }
};

/// A component attached to a view of a w x h varied lk24RGB picture, with
/// the picture as it was and the events recorded.
struct ProcOnView {
  TTestView view;
  TLKBitmap before;
  TLumerakProc proc;
  Events ev;
  ProcOnView(Integer w, Integer h) : view(w, h, lk24RGB) {
    Paint(view.GetLKBitmap(), Varied);
    before.Assign(view.GetLKBitmap());
    proc.SetAttachedLumerak(&view);
    ev.Attach(proc);
  }
};

}  // namespace color_test

inline bool operator<(const TRGB& a, const TRGB& b) {
  return std::tie(a.r, a.g, a.b) < std::tie(b.r, b.g, b.b);
}
inline std::ostream& operator<<(std::ostream& os, const TRGB& c) {
  return os << "(" << int(c.r) << "," << int(c.g) << "," << int(c.b) << ")";
}
