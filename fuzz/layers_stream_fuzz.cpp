// Fuzz target for the view's layers stream reader: arbitrary bytes must
// never crash, hang, read outside the input or allocate beyond what the
// input can describe; a refused stream leaves the view's layers as they
// were.
#include <cstddef>
#include <cstdint>
#include <cstdlib>

#include "core/lkbitmap.h"
#include "fuzz/view_fuzz_kit.h"
#include "platform/classes.h"
#include "views/lumerakview.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  TLumerakView& view = FuzzView();
  view.LayersClear();
  view.GetLKBitmap()->Allocate(3, 2, lk24RGB);
  TMemoryStream ms;
  ms.WriteBuffer(data, static_cast<Int64>(size));
  ms.SetPosition(0);
  try {
    if (!view.LayersLoadFromStream(&ms) && (view.GetLayersCount() != 1 || view.GetLKBitmap()->GetWidth() != 3))
      std::abort();  // a refused stream changed the layers
  } catch (const Exception&) {
    // Errors of a codec reading a layer image reach the caller as exceptions.
  }
  return 0;
}
