// Fuzz target for the stored form of the print-preview settings: arbitrary
// bytes either load (and then write back to the same 58 bytes) or are
// refused with every value and the stream position kept.
#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <cstring>

#include "io/lkprintparams.h"
#include "platform/classes.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  if (size > 4096) return 0;
  TMemoryStream in;
  const Byte lead[3] = {1, 2, 3};  // so that position 0 is not assumed
  in.Write(lead, 3);
  if (size > 0) in.Write(data, static_cast<Integer>(size));
  in.Seek(3, soBeginning);
  TIOPrintPreviewParams params;
  TMemoryStream before;
  params.SaveToStream(&before);
  if (!params.LoadFromStream(&in)) {
    TMemoryStream after;
    params.SaveToStream(&after);
    if (in.GetPosition() != 3 || std::memcmp(before.GetMemory(), after.GetMemory(), 58) != 0) std::abort();
    return 0;
  }
  if (size < 58 || in.GetPosition() != 3 + 58) std::abort();
  TMemoryStream again;
  params.SaveToStream(&again);
  if (again.GetSize() != 58) std::abort();
  // Reals are compared as bits: a loaded form is never NaN, so equal bits
  // mean an equal form.
  if (std::memcmp(again.GetMemory(), data, 58) != 0) std::abort();
  // Every keyword reads back what it wrote.
  for (const char* k : {"MARGINTOP", "MARGINLEFT", "MARGINRIGHT", "MARGINBOTTOM", "POSITION", "SIZE", "WIDTH",
                        "HEIGHT", "GAMMA"}) {
    TIOPrintPreviewParams copy;
    copy.SetProperty(k, params.GetProperty(k));
    if (copy.GetProperty(k) != params.GetProperty(k)) std::abort();
  }
  return 0;
}
