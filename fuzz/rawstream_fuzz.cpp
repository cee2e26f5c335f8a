// Fuzz target for the reader of the raw bitmap stream form: arbitrary bytes,
// read from a sized buffer and from a stream that cannot tell its length,
// must never crash, hang or read outside the input. A form that loads must
// write back to exactly CalcRAWSize bytes and read back the same.
#include <algorithm>
#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <cstring>
#include <vector>

#include "core/lkbitmap.h"
#include "platform/classes.h"

namespace {

// Bytes without a size: the reader learns of missing data only by running
// short, as with a decompressing stream.
class UnsizedStream : public TStream {
 public:
  UnsizedStream(const uint8_t* data, size_t size) : data_(data), size_(size) {}
  Integer Read(void* buffer, Integer count) override {
    if (count <= 0 || pos_ >= size_) return 0;
    const size_t n = std::min(static_cast<size_t>(count), size_ - pos_);
    std::memcpy(buffer, data_ + pos_, n);
    pos_ += n;
    return static_cast<Integer>(n);
  }
  Integer Write(const void*, Integer) override { return 0; }
  Int64 Seek(Int64, TSeekOrigin) override { return -1; }

 private:
  const uint8_t* data_;
  size_t size_;
  size_t pos_ = 0;
};

void CheckRoundTrip(TLKBitmap& bmp) {
  const Int64 size = bmp.CalcRAWSize();
  if (size > (Int64{64} << 20)) return;
  std::vector<Byte> first(static_cast<size_t>(size));
  if (!bmp.SaveRAWToBufferOrStream(first.data(), nullptr)) std::abort();
  TMemoryStream ms;
  if (!bmp.SaveRAWToBufferOrStream(nullptr, &ms) || ms.GetSize() != size ||
      std::memcmp(ms.Memory(), first.data(), first.size()) != 0)
    std::abort();
  TLKBitmap again;
  if (!again.LoadRAWFromBufferOrStream(first.data(), nullptr, size)) std::abort();
  std::vector<Byte> second(static_cast<size_t>(size));
  if (again.CalcRAWSize() != size || !again.SaveRAWToBufferOrStream(second.data(), nullptr) || second != first)
    std::abort();
}

}  // namespace

extern "C" int LLVMFuzzerInitialize(int*, char***) {
  // Small pictures stay in memory; forged large ones go to sparse temporary
  // files that are dropped as soon as the data runs short.
  LKDefMinFileSize = 1 << 20;
  return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  try {
    TLKBitmap bmp;
    if (bmp.LoadRAWFromBufferOrStream(data, nullptr, static_cast<Int64>(size))) CheckRoundTrip(bmp);
  } catch (const Exception&) {
  }
  try {
    TLKBitmap bmp(2, 2, lk8g);
    bmp.GetAlphaChannel();
    UnsizedStream stream(data, size);
    if (bmp.LoadRAWFromBufferOrStream(nullptr, &stream)) CheckRoundTrip(bmp);
  } catch (const Exception&) {
  }
  return 0;
}
