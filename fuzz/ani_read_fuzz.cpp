// The animated cursor reader on arbitrary bytes: load, then hand the frames
// over as an icon, a strip bitmap, an icon list and GIF frames. Damaged
// data raises EReadError; nothing may crash, hang or allocate past the
// step and icon limits.
#include <cstddef>
#include <cstdint>

#include "app/AniFile.h"
#include "app/IcoList.h"
#include "app/RxGIF.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* Data, std::size_t Size) {
  TMemoryStream m;
  if (Size) m.WriteBuffer(Data, Int64(Size));
  m.SetPosition(0);
  TAnimatedCursorImage a;
  try {
    a.LoadAniFromStream(&m);
  } catch (const EStreamError&) {
    return 0;
  }
  TIcon icon;
  a.AssignTo(&icon);
  TIconList list;
  a.AssignTo(&list);
  TMemoryStream s;
  list.WriteData(&s);
  s.SetPosition(0);
  TIconList back;
  back.ReadData(&s);
  if (a.GetFrameCount() <= 16) {
    TBitmap strip;
    a.AssignTo(&strip);
    TGIFImage gif;
    gif.Assign(&a);
  }
  return 0;
}
