#include "views/lumerakmview.h"

void TLumerakMView::SetPresetThumbnailFrame(Integer PresetIndex, TColor UnselectedColor, TColor SelectedColor) {
  (void)PresetIndex;
  (void)UnselectedColor;
  (void)SelectedColor;
}
