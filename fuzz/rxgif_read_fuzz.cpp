// The GIF picture class on arbitrary bytes: load (which decodes the first
// frame), decode every frame, draw the composed frames and write the
// picture again. Structure errors raise EInvalidGraphicOperation; nothing
// may crash, hang or allocate beyond the frame limit.
#include <cstddef>
#include <cstdint>

#include "app/RxGIF.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* Data, std::size_t Size) {
  TMemoryStream m;
  if (Size) m.WriteBuffer(Data, Int64(Size));
  m.SetPosition(0);
  TGIFImage g;
  try {
    g.LoadFromStream(&m);
  } catch (const EInvalidGraphic&) {
    return 0;
  } catch (const EStreamError&) {
    return 0;
  }
  try {
    g.DecodeAllFrames();
  } catch (const EInvalidGraphic&) {
  }
  TBitmap target(8, 8, pf24bit);
  // Forwards (each frame composed on the last), then back to the first.
  for (Integer i = 0; i < g.GetCount() && i < 8; ++i) {
    g.SetFrameIndex(i);
    g.Draw(target.GetCanvas(), TRect{0, 0, 8, 8});
  }
  if (g.GetCount() > 1) {
    g.SetFrameIndex(0);
    g.Draw(target.GetCanvas(), TRect{0, 0, 8, 8});
  }
  try {
    TMemoryStream out;
    g.SaveToStream(&out);
  } catch (const EInvalidGraphic&) {
  }
  return 0;
}
