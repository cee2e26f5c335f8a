// Fuzz target for the view's layers stream reader: arbitrary bytes must
// never crash, hang, read outside the input or allocate beyond what the
// input can describe; a refused stream leaves the view's layers as they
// were.
#include <QApplication>
#include <cstddef>
#include <cstdint>
#include <cstdlib>

#include "core/lkbitmap.h"
#include "platform/classes.h"
#include "views/lumerakview.h"

namespace {

TLumerakView& View() {
  static int argc = 1;
  static char name[] = "layers_stream_fuzz";
  static char* argv[] = {name, nullptr};
  static QApplication* app = [] {
    setenv("QT_QPA_PLATFORM", "offscreen", 1);
    return new QApplication(argc, argv);
  }();
  static TLumerakView* view = new TLumerakView();
  (void)app;
  return *view;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  TLumerakView& view = View();
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
