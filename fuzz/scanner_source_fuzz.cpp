// A scanner source that answers from the input: return codes, capability
// containers, image information and strips all come from the fuzzer's
// bytes, so the container readers, the negotiation and the strip copies
// meet every answer a broken or hostile source could give.
#include <cstdint>
#include <cstring>

#include "acquisition/imscan.h"
#include "core/lkbitmap.h"
#include "io/lkparams.h"

namespace {

const uint8_t* gData = nullptr;
size_t gSize = 0, gPos = 0;
int gCalls = 0;

template <typename T>
T Take() {
  T V{};
  size_t N = std::min(sizeof V, gSize - gPos);
  std::memcpy(&V, gData + gPos, N);
  gPos += N;
  return V;
}

TW_UINT16 Entry(TW_IDENTITY*, TW_IDENTITY* Dest, TW_UINT32 DG, TW_UINT16 DAT, TW_UINT16 MSG, TW_MEMREF Data) {
  // Every call costs input; an exhausted input ends the session.
  if (++gCalls > 4000 || gPos >= gSize) return TWRC_FAILURE;
  TW_UINT16 Rc = Take<uint8_t>() % 8;
  if (!Dest) {
    if (DAT == DAT_IDENTITY && Data && (MSG == MSG_GETFIRST || MSG == MSG_GETNEXT)) {
      auto* Id = static_cast<TW_IDENTITY*>(Data);
      std::memset(Id, 0, sizeof *Id);
      Id->ProductName[0] = 'S';
    }
    return Rc;
  }
  if (!Data) return Rc;
  switch (DAT) {
    case DAT_CAPABILITY:
      if (MSG == MSG_GET) {
        auto* C = static_cast<TW_CAPABILITY*>(Data);
        C->ConType = static_cast<TW_UINT16>(3 + Take<uint8_t>() % 4);
        size_t N = Take<uint8_t>();
        N = std::min(N, gSize - gPos);
        C->hContainer = LKGlobalAlloc(N);
        std::memcpy(LKGlobalLock(C->hContainer), gData + gPos, N);
        LKGlobalUnlock(C->hContainer);
        gPos += N;
      }
      break;
    case DAT_EVENT:
      static_cast<TW_EVENT*>(Data)->TWMessage = Take<uint8_t>() & 1 ? MSG_XFERREADY : MSG_CLOSEDSREQ;
      break;
    case DAT_IMAGEINFO: {
      auto* I = static_cast<TW_IMAGEINFO*>(Data);
      *I = Take<TW_IMAGEINFO>();
      // Keep pictures small enough to run fast; the sizes' signs stay free.
      I->ImageWidth = I->ImageWidth % 300;
      I->ImageLength = I->ImageLength % 300;
      break;
    }
    case DAT_SETUPMEMXFER:
      *static_cast<TW_SETUPMEMXFER*>(Data) = Take<TW_SETUPMEMXFER>();
      static_cast<TW_SETUPMEMXFER*>(Data)->Preferred %= 1 << 16;
      break;
    case DAT_IMAGEMEMXFER: {
      auto* M = static_cast<TW_IMAGEMEMXFER*>(Data);
      TW_MEMORY Memory = M->Memory;
      *M = Take<TW_IMAGEMEMXFER>();
      M->Memory = Memory;
      void* P = (Memory.Flags & TWMF_HANDLE) ? LKGlobalLock(Memory.TheMem) : Memory.TheMem;
      size_t N = std::min<size_t>(Memory.Length, gSize - gPos);
      if (P) std::memcpy(P, gData + gPos, N);
      if (Memory.Flags & TWMF_HANDLE) LKGlobalUnlock(Memory.TheMem);
      gPos += N;
      break;
    }
    case DAT_IMAGENATIVEXFER: {
      size_t N = std::min<size_t>(Take<uint16_t>(), gSize - gPos);
      TW_HANDLE H = LKGlobalAlloc(N);
      std::memcpy(LKGlobalLock(H), gData + gPos, N);
      LKGlobalUnlock(H);
      gPos += N;
      if (Rc == TWRC_XFERDONE) *static_cast<TW_HANDLE*>(Data) = H;
      else LKGlobalFree(H);
      break;
    }
    case DAT_PENDINGXFERS:
      static_cast<TW_PENDINGXFERS*>(Data)->Count = Take<uint8_t>() % 3;
      break;
    default:
      break;
  }
  return Rc;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* Data, size_t Size) {
  gData = Data;
  gSize = Size;
  gPos = 0;
  gCalls = 0;
  LKTWSetManagerEntry(&Entry);
  TLKTWainParams Settings(nullptr);
  Settings.CapabilitiesValid = true;
  Settings.SetBufferedTransfer(Size & 1);
  TLKBitmap Bitmap;
  TIOParamsVals Params;
  bool Multi = Size & 2;
  auto Each = [](TLKBitmap*, TObject*&) {};
  LKTW_Acquire(Multi ? nullptr : &Bitmap, Multi, Each, Settings, &Params, nullptr, Settings.Shared(), nullptr,
               Size & 4);
  TLKTWSourceCaps Caps;
  LKTW_GetCapabilities(Settings, Caps, true, Settings.Shared(), nullptr);
  return 0;
}
