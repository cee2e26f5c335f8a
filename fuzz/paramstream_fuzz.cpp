// Fuzz target for the stream form of the parameter record: arbitrary bytes
// either load or raise EReadError with the stream position kept. A record
// that loads is written, read back and written again: both writings must be
// byte for byte the same.
#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <cstring>

#include "io/lkparams.h"
#include "platform/classes.h"

namespace {

constexpr Int64 kLead = 3;  // bytes before the record, so position 0 is not assumed

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  if (size > (1u << 20)) return 0;
  TMemoryStream in;
  const Byte lead[kLead] = {0xA5, 0x5A, 0xA5};
  in.Write(lead, kLead);
  if (size > 0) in.Write(data, static_cast<Integer>(size));
  in.Seek(kLead, soBeginning);
  TIOParamsVals params;
  try {
    params.LoadFromStream(&in);
  } catch (const EReadError&) {
    if (in.GetPosition() != kLead) std::abort();
    return 0;
  }
  TMemoryStream first;
  params.SaveToStream(&first);
  first.Seek(0, soBeginning);
  TIOParamsVals again;
  again.LoadFromStream(&first);  // our own output must load
  if (first.GetPosition() != first.GetSize()) std::abort();
  TMemoryStream second;
  again.SaveToStream(&second);
  if (second.GetSize() != first.GetSize() ||
      std::memcmp(first.Memory(), second.Memory(), static_cast<size_t>(first.GetSize())) != 0)
    std::abort();
  return 0;
}
