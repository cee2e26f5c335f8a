// Fuzz target for the vector view's object stream reader: arbitrary bytes
// must never crash, hang, read outside the input or allocate beyond what
// the input can describe; a refused block leaves the objects as they were.
#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <vector>

#include "fuzz/view_fuzz_kit.h"
#include "platform/classes.h"
#include "views/lumerakvect.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  TLumerakVect& v = FuzzVect();
  v.RemoveAllObjects();
  TLKVObject box;
  box.Kind = lkkBOX;
  box.ID = 31337;
  v.AddVObject(box);
  TMemoryStream ms;
  ms.WriteBuffer(data, static_cast<Int64>(size));
  ms.SetPosition(0);
  if (!v.LoadFromStreamLKV(&ms) && (v.GetObjectCount() != 1 || v.GetObjID(v.GetObjectAt(0)) != 31337))
    std::abort();  // a refused block changed the objects
  // The same bytes as one clipboard record.
  ms.SetPosition(0);
  try {
    v.ReadObj(&ms, TLumerakVect::LKVVER, false);
  } catch (const EReadError&) {
  }
  // And as a clipboard block.
  const Integer before = v.GetObjectCount();
  if (!v.PasteObjectsBlock(std::vector<Byte>(data, data + size), 3, -3) && v.GetObjectCount() != before)
    std::abort();  // a refused paste changed the objects
  return 0;
}
