#include "core/lkicc.h"

#include <cstring>

void TLKICC::Assign(const TLKICC* Source) {
  if (Source == nullptr || Source == this) return;
  FRaw = Source->FRaw;
  FsRGB = Source->FsRGB;
}

void TLKICC::Assign_sRGBProfile() {
  FRaw.clear();
  FsRGB = true;
}

void TLKICC::Clear() {
  FRaw.clear();
  FsRGB = false;
}

void TLKICC::LoadFromBuffer(const void* Buffer, Integer Count) {
  Clear();
  if (Buffer == nullptr || Count <= 0) return;
  const auto* p = static_cast<const Byte*>(Buffer);
  FRaw.assign(p, p + Count);
}

void TLKICC::LoadFromStream(TStream* Stream, bool Raw) {
  const Int64 left = Stream->GetSize() - Stream->GetPosition();
  Int64 count = left;
  if (!Raw) {
    Integer n = 0;
    if (left < 4) throw EReadError("Stream read error");
    Stream->ReadBuffer(&n, 4);
    if (n < 0 || n > left - 4) throw EReadError("ICC profile size " + std::to_string(n) + " exceeds the stream");
    count = n;
  }
  std::vector<Byte> bytes(static_cast<std::size_t>(count < 0 ? 0 : count));
  if (!bytes.empty()) Stream->ReadBuffer(bytes.data(), static_cast<Int64>(bytes.size()));
  FRaw = std::move(bytes);
  FsRGB = false;
}

void TLKICC::SaveToStream(TStream* Stream, bool Raw) const {
  if (!Raw) {
    const Integer n = static_cast<Integer>(FRaw.size());
    Stream->WriteBuffer(&n, 4);
  }
  if (!FRaw.empty()) Stream->WriteBuffer(FRaw.data(), static_cast<Int64>(FRaw.size()));
}
