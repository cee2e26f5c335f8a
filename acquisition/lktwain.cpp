// Movable memory blocks and fixed-point conversion of the scanner protocol.
#include "acquisition/lktwain.h"

#include <cmath>
#include <cstring>
#include <vector>

namespace {

struct TLKGlobalBlock {
  std::vector<std::uint8_t> Bytes;
  int Locks = 0;
};

}  // namespace

TW_HANDLE LKGlobalAlloc(std::size_t Size) {
  auto* Block = new TLKGlobalBlock;
  Block->Bytes.assign(Size ? Size : 1, 0);
  Block->Bytes.resize(Size);
  return Block;
}

void* LKGlobalLock(TW_HANDLE Handle) {
  if (!Handle) return nullptr;
  auto* Block = static_cast<TLKGlobalBlock*>(Handle);
  ++Block->Locks;
  return Block->Bytes.data();
}

void LKGlobalUnlock(TW_HANDLE Handle) {
  if (!Handle) return;
  auto* Block = static_cast<TLKGlobalBlock*>(Handle);
  if (Block->Locks > 0) --Block->Locks;
}

void LKGlobalFree(TW_HANDLE Handle) { delete static_cast<TLKGlobalBlock*>(Handle); }

std::size_t LKGlobalSize(TW_HANDLE Handle) {
  return Handle ? static_cast<TLKGlobalBlock*>(Handle)->Bytes.size() : 0;
}

bool DoubleToFIX32(double Value, TW_FIX32& Target) {
  double Scaled = Value * 65536.0;
  if (!std::isfinite(Scaled)) return false;
  double Rounded = std::round(Scaled);  // half away from zero
  if (Rounded > 2147483647.0 || Rounded < -2147483648.0) return false;
  auto N = static_cast<std::int32_t>(Rounded);
  auto U = static_cast<std::uint32_t>(N);
  Target.Whole = static_cast<TW_INT16>(static_cast<std::uint16_t>(U >> 16));
  Target.Frac = static_cast<TW_UINT16>(U & 0xFFFF);
  return true;
}

TW_UINT32 LKFix32Bits(double Value) {
  TW_FIX32 F{0, 0};
  DoubleToFIX32(Value, F);
  TW_UINT32 Bits = 0;
  std::memcpy(&Bits, &F, sizeof F);
  return Bits;
}

double LKBitsFix32(TW_UINT32 Bits) {
  TW_FIX32 F;
  std::memcpy(&F, &Bits, sizeof F);
  return LKFix32ToDouble(F);
}
