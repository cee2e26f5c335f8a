#include "core/hylkdefs.h"

#include <numbers>

#include "platform/classes.h"
#include "platform/forms.h"
#include "platform/syncobjs.h"

Integer LKBitmapRowLen(Integer width, Integer bits, Integer alignment) {
  if (width <= 0 || bits <= 0) return 0;
  if (alignment <= 0 || alignment % 8 != 0) alignment = 32;
  const Int64 totalBits = static_cast<Int64>(width) * bits;
  const Int64 len = (totalBits + alignment - 1) / alignment * (alignment / 8);
  if (len > std::numeric_limits<Integer>::max()) return std::numeric_limits<Integer>::max();
  return static_cast<Integer>(len);
}

Integer _GetBitCount(DWORD mask) {
  int bit = 0;
  while (bit < 32 && (mask & (DWORD{1} << bit)) == 0) ++bit;
  Integer count = 0;
  while (bit < 32 && (mask & (DWORD{1} << bit)) != 0) {
    ++count;
    ++bit;
  }
  return count;
}

Integer _NColToBitsPixel(Integer colors) {
  const auto n = static_cast<DWORD>(colors);
  if (n == 0) return -1;
  int high = 31;
  while ((n & (DWORD{1} << high)) == 0) --high;
  return (n & (n - 1)) == 0 ? high : high + 1;
}

void LKAdd64(DWORD aLo, DWORD aHi, DWORD bLo, DWORD bHi, DWORD& outLo, DWORD& outHi) {
  const UInt64 a = (static_cast<UInt64>(aHi) << 32) | aLo;
  const UInt64 b = (static_cast<UInt64>(bHi) << 32) | bLo;
  const UInt64 s = a + b;  // unsigned: the carry out of bit 63 is dropped
  outLo = static_cast<DWORD>(s);
  outHi = static_cast<DWORD>(s >> 32);
}

bool LKGreater64(DWORD aLo, DWORD aHi, DWORD bLo, DWORD bHi) {
  const UInt64 a = (static_cast<UInt64>(aHi) << 32) | aLo;
  const UInt64 b = (static_cast<UInt64>(bHi) << 32) | bLo;
  return a > b;
}

void LKMul64(DWORD a, DWORD b, DWORD& outLo, DWORD& outHi) {
  const UInt64 p = static_cast<UInt64>(a) * b;
  outLo = static_cast<DWORD>(p);
  outHi = static_cast<DWORD>(p >> 32);
}

void SafeStreamWrite(TStream* stream, std::atomic<bool>* abortFlag, const void* buffer, Integer count) {
  if (stream->Write(buffer, count) < count && abortFlag) *abortFlag = true;
}

// Process-wide settings. Plain values are constant-initialised, so they hold
// their start-up values before any other unit's initialisation runs.
TCriticalSection* gThreadCS = nullptr;
Integer gRedToGrayCoef = 21;
Integer gGreenToGrayCoef = 71;
Integer gBlueToGrayCoef = 8;
bool gAVIFILEinit = false;
TLKDialogCenter LKDefDialogCenter;

void LKCenterWindow(TCustomForm* window) {
  if (window == nullptr) return;
  if (LKDefDialogCenter) {
    LKDefDialogCenter(window->GetPeer());
    return;
  }
  const Integer w = window->GetWidth(), h = window->GetHeight();
  window->SetBounds((Screen->GetWidth() - w) / 2, (Screen->GetHeight() - h) / 3, w, h);
}
Integer LKDefMinFileSize = -1;
Integer lkCosineTable[256] = {};

namespace {

// Start-up and shut-down of the definitions unit: the process-wide lock is
// created first and deleted last; the blend table is built in index order.
struct HylkdefsUnit {
  HylkdefsUnit() {
    gThreadCS = new TCriticalSection();
    for (int i = 0; i < 256; ++i)
      lkCosineTable[i] = LKRound(64.0 - 64.0 * std::cos(i * std::numbers::pi / 255.0));
  }
  ~HylkdefsUnit() { FreeAndNil(gThreadCS); }
};
const HylkdefsUnit hylkdefsUnit;

}  // namespace
