// Fuzz target for the bitmap's BMP stream reader: arbitrary bytes must never
// crash, hang, read outside the input or allocate more than the input can fill.
#include <cstddef>
#include <cstdint>

#include "platform/classes.h"
#include "platform/graphics.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  TMemoryStream ms;
  ms.WriteBuffer(data, static_cast<Int64>(size));
  ms.SetPosition(0);
  TBitmap b;
  try {
    b.LoadFromStream(&ms);
    // A loaded image must be drawable and writable again.
    TBitmap target(8, 8, pf24bit);
    target.GetCanvas()->StretchDraw(Rect(0, 0, 8, 8), &b);
    TMemoryStream out;
    b.SaveToStream(&out);
  } catch (const Exception&) {
  }
  return 0;
}
