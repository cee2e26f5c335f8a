#include "views/lklayer.h"

#include <algorithm>

namespace LKLayerIndex {

Integer InsertAt(const std::vector<bool>& IsMask, Integer Index) {
  if (Index >= 0 && Index < static_cast<Integer>(IsMask.size()) && IsMask[static_cast<std::size_t>(Index)])
    return Index - 1;
  return Index;
}

std::vector<Integer> Move(const std::vector<bool>& IsMask, Integer CurIndex, Integer NewIndex) {
  const auto count = static_cast<Integer>(IsMask.size());
  if (CurIndex < 0 || CurIndex >= count) return {};
  const bool withMask = CurIndex + 1 < count && IsMask[static_cast<std::size_t>(CurIndex + 1)];
  // The layer passes its own mask.
  if (withMask && NewIndex == CurIndex + 1) NewIndex = CurIndex + 2;
  if (NewIndex < 0 || NewIndex >= count) return {};
  std::vector<Integer> order(static_cast<std::size_t>(count));
  for (Integer i = 0; i < count; ++i) order[static_cast<std::size_t>(i)] = i;
  // One list move of the layer, then its mask put back directly above it.
  order.erase(order.begin() + CurIndex);
  order.insert(order.begin() + NewIndex, CurIndex);
  if (withMask) {
    order.erase(std::find(order.begin(), order.end(), CurIndex + 1));
    const auto at = std::find(order.begin(), order.end(), CurIndex);
    order.insert(at + 1, CurIndex + 1);
  }
  return order;
}

}  // namespace LKLayerIndex
