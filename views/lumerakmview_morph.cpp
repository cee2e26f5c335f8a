// The thumbnail view's morphing sequence: the pictures between two vector
// views' pictures, each warped toward the other by their feature lines and
// the two warps blended.
#include <algorithm>
#include <memory>
#include <vector>

#include "core/lkbitmap.h"
#include "processing/lkcorners.h"
#include "processing/lumerakproc.h"
#include "views/lumerakmview.h"
#include "views/lumerakvect.h"

namespace {

// One line per object of View, in drawing order.
std::vector<TLKLine> FeatureLines(TLumerakVect* View) {
  std::vector<TLKLine> lines;
  for (Integer i = 0; i < View->GetObjectCount(); ++i) {
    const TRect r = View->GetObjRect(View->GetObjectAt(i));
    lines.push_back(TLKLine{r.Left, r.Top, r.Right, r.Bottom});
  }
  return lines;
}

}  // namespace

void TLumerakMView::CreateMorphingSequence(TLumerakVect* Source, TLumerakVect* Target, Integer Steps) {
  if (Source == nullptr || Target == nullptr) return;
  TLKBitmap* from = Source->GetLKBitmap();
  TLKBitmap* to = Target->GetLKBitmap();
  if (from == nullptr || to == nullptr || from->GetPixelFormat() != lk24RGB || to->GetPixelFormat() != lk24RGB)
    return;
  const Integer count = Source->GetObjectCount();
  if (count == 0 || Target->GetObjectCount() != count) return;
  const std::vector<TLKLine> a = FeatureLines(Source), b = FeatureLines(Target);
  std::vector<std::unique_ptr<TLKBitmap>> forward, backward;
  LKFields_warp(from, a.data(), b.data(), count, Steps, forward);
  LKFields_warp(to, b.data(), a.data(), count, Steps, backward);
  const Integer n = static_cast<Integer>(std::min(forward.size(), backward.size()));
  LockPaint();
  try {
    SetLKBitmap(AppendImage(), from);
    TLumerakProc blend;
    blend.SetAutoUndo(false);
    for (Integer i = 0; i < n; ++i) {
      // Early pictures lean on the source's warp, late ones on the target's.
      TLKBitmap* step = forward[static_cast<size_t>(i)].get();
      blend.SetAttachedLKBitmap(step);
      blend.MergeLKBitmap(backward[static_cast<size_t>(n - 1 - i)].get(), LKTrunc(double(n - i) / n * 100));
      blend.SetAttachedLKBitmap(nullptr);
      SetLKBitmap(AppendImage(), step);
    }
    SetLKBitmap(AppendImage(), to);
  } catch (...) {
    UnLockPaint();
    throw;
  }
  UnLockPaint();
}
