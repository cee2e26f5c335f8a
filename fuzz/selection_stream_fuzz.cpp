// Fuzz target for the view's selection stream reader (also the form of the
// processing component's selection undo entries): arbitrary bytes must never
// crash, hang or allocate beyond what the input can describe; a refused
// stream leaves the selection as it was. Accepted streams are merged too.
#include <QApplication>
#include <cstddef>
#include <cstdint>
#include <cstdlib>

#include "core/lkbitmap.h"
#include "core/lkmask.h"
#include "platform/classes.h"
#include "views/lumerakview.h"

namespace {

TLumerakView& View() {
  static int argc = 1;
  static char name[] = "selection_stream_fuzz";
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
