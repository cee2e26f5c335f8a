// Fuzz target for the view's selection stream reader (also the form of the
// processing component's selection undo entries): arbitrary bytes must never
// crash, hang or allocate beyond what the input can describe; a refused
// stream leaves the selection as it was. Accepted streams are merged too.
#include <cstddef>
#include <cstdint>
#include <cstdlib>

#include "core/lkbitmap.h"
#include "fuzz/view_fuzz_kit.h"
#include "core/lkmask.h"
#include "platform/classes.h"
#include "views/lumerakview.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  TLumerakView& view = FuzzView();
  view.GetLKBitmap()->Allocate(12, 7, lk24RGB);
  view.Update();
  view.SetSelectionBase(lksbBitmap);
  view.Select(1, 1, 5, 4, lkspReplace);
  for (TLKRSOptions option : {lkrsNone, lkrsMoveToAdapt, lkrsSyncLayers}) {
    TMemoryStream ms;
    ms.WriteBuffer(data, static_cast<Int64>(size));
    ms.SetPosition(0);
    if (!view.LoadSelectionFromStream(&ms, option)) {
      if (view.GetSelectionMask()->GetX1() != 1 || view.GetPolySelCount() != 4) std::abort();
      return 0;
    }
    // What was taken must fit the picture.
    TLKMask* m = view.GetSelectionMask();
    if (m->GetWidth() != 12 || m->GetHeight() != 7) std::abort();
    ms.SetPosition(0);
    view.MergeSelectionFromStream(&ms);
    view.InvertSelection();
    view.Select(1, 1, 5, 4, lkspReplace);
  }
  return 0;
}
