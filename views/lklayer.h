// The layers of the single-image view: the layer record (core/lklayer.h),
// the layer notifications, and the index rules of the layer list that keep
// a layer and its mask layer together.
#pragma once

#include <vector>

#include "core/hylkdefs.h"
#include "core/lklayer.h"

/// What a layer notification tells.
enum TLKLayerEvent : Byte { lklSelected, lklMoved, lklResized, lklMoving, lklResizing };

/// Index rules of the layer list (kept apart from the view so that they can
/// be checked on plain lists). IsMask(i) tells whether layer i is a mask
/// layer; Count is the number of layers.
namespace LKLayerIndex {

/// Where LayersInsert(Index) puts the new layer: below a masked pair.
Integer InsertAt(const std::vector<bool>& IsMask, Integer Index);

/// The list after LayersMove(CurIndex, NewIndex) as a permutation: result[k]
/// is the old index of the layer that ends at k. Empty when nothing moves.
std::vector<Integer> Move(const std::vector<bool>& IsMask, Integer CurIndex, Integer NewIndex);

}  // namespace LKLayerIndex
