// Cells drawn inside a preset frame picture whose white parts take a colour.
#include <algorithm>

#include "core/lkbitmap.h"
#include "io/lumerakio.h"
#include "views/lkpresetim.h"
#include "views/lumerakmview.h"

namespace {

// Moves each channel by (the colour's component - 255), so white becomes
// the colour and darker parts darken with it.
void Tint(TLKBitmap* B, TColor Colour) {
  const Integer r = Colour & 0xFF, g = (Colour >> 8) & 0xFF, b = (Colour >> 16) & 0xFF;
  for (Integer y = 0; y < B->GetHeight(); ++y)
    for (Integer x = 0; x < B->GetWidth(); ++x) {
      TRGB p = B->GetPixels_lk24RGB(x, y);
      p.r = static_cast<Byte>(std::clamp<Integer>(p.r + r - 255, 0, 255));
      p.g = static_cast<Byte>(std::clamp<Integer>(p.g + g - 255, 0, 255));
      p.b = static_cast<Byte>(std::clamp<Integer>(p.b + b - 255, 0, 255));
      B->SetPixels_lk24RGB(x, y, p);
    }
}

}  // namespace

void TLumerakMView::SetPresetThumbnailFrame(Integer PresetIndex, TColor UnselectedColor, TColor SelectedColor) {
  const std::vector<TLKPresetImage>& presets = LKPresetImages();
  if (PresetIndex < 0 || PresetIndex >= static_cast<Integer>(presets.size())) return;
  const TLKPresetImage& p = presets[static_cast<size_t>(PresetIndex)];
  auto frame = std::make_unique<TLKBitmap>();
  TLumerakIO io;
  io.SetAttachedLKBitmap(frame.get());
  io.LoadFromBuffer(p.Data, p.Size, p.FileType);
  io.SetAttachedLKBitmap(nullptr);
  if (io.GetAborted() || frame->IsEmpty()) return;
  EnableAlphaChannel = true;
  FillThumbnail = false;
  SelectionWidth = 0;
  ShowText = false;
  Style = lkmsFlat;
  DrawImageBackground = false;
  frame->SetPixelFormat(lk24RGB);
  auto selected = std::make_unique<TLKBitmap>();
  selected->Assign(frame.get());
  Tint(selected.get(), SelectedColor);
  Tint(frame.get(), UnselectedColor);
  FPresetFrame = std::move(frame);
  FPresetFrameSelected = std::move(selected);
  FPresetInner = p.Inner;
  FThumbWidth = FPresetFrame->GetWidth();
  FThumbHeight = FPresetFrame->GetHeight();
  Update();
}
