// The camera RAW plug-in: one readable format, "Camera RAW", served by the
// library's own camera RAW decoder behind the external plug-in contract.
//
// The host's stream is reached through the read, position and size
// callbacks; the development settings are asked for by keyword through the
// get-parameter callback and read into a private parameter record, so the
// decoder runs exactly as the library's built-in reader does (EXIF and the
// embedded thumbnail included, which the colour match needs). The developed
// picture is handed back as 24-bit red-green-blue rows, or 48-bit rows with
// big-endian samples when the host asks for the native pixel format.
//
// Instances live in a small table guarded by a mutex; each decode works on
// its own instance only, so the plug-in may run on several threads at once.

#include <array>
#include <atomic>
#include <cstring>
#include <memory>
#include <mutex>
#include <vector>

#include "core/lkbitmap.h"
#include "io/lkparams.h"
#include "io/lkxplugin.h"
#include "raw/lkraw.h"

namespace {

constexpr const char* kFormatName = "Camera RAW";
// Every extension the program's file filter lists for camera files.
constexpr const char* kExtensions = "CRW;CR2;NEF;RAW;PEF;RAF;X3F;BAY;ORF;SRF;MRW;DCR";

// Keywords of the development settings, read from the host before a decode.
constexpr const char* kSettings[] = {
    "RAW_HALFSIZE",         "RAW_GAMMA",         "RAW_BRIGHT",       "RAW_REDSCALE",
    "RAW_BLUESCALE",        "RAW_QUICKINTERPOLATE", "RAW_USEAUTOWB", "RAW_USECAMERAWB",
    "RAW_FOURCOLORRGB",     "RAW_GETEXIFTHUMBNAIL", "RAW_AUTOADJUSTCOLORS", "ISNATIVEPIXELFORMAT",
};

// Instances open at once; the host opens one per read, probe or write.
constexpr int kMaxInstances = 256;

struct TCallBacks {
  LKX_ProgressCallBack Progress = nullptr;
  LKX_ReadCallBack Read = nullptr;
  LKX_WriteCallBack Write = nullptr;
  LKX_SetPosCallBack SetPos = nullptr;
  LKX_GetPosCallBack GetPos = nullptr;
  LKX_SizeCallBack Size = nullptr;
  LKX_GetParamCallBack GetParam = nullptr;
  LKX_SetParamCallBack SetParam = nullptr;
  void* Context = nullptr;
};

// An allocator whose elements start unset: the exchange rows (byte-packed,
// no padding) are written whole right after they are sized, so clearing
// them first would only cost a pass over the developed picture.
template <class T>
struct TUnsetAllocator : std::allocator<T> {
  template <class U>
  struct rebind {
    using other = TUnsetAllocator<U>;
  };
  TUnsetAllocator() = default;
  template <class U>
  TUnsetAllocator(const TUnsetAllocator<U>&) noexcept {}
  template <class U>
  void construct(U* p) noexcept {
    ::new (static_cast<void*>(p)) U;
  }
};

struct TInstance {
  TCallBacks CB;
  // Values handed out by LKX_GetInfo; they stay valid until LKX_Finalize.
  int32_t Flags = LKX_FLAG_READ | LKX_FLAG_THREADSAFE;
  int32_t WantExif = 1;
  int32_t FormatCount = 1;
  int32_t Width = 0, Height = 0, PixelFormat = LKX_PF_NULL;
  std::vector<uint8_t, TUnsetAllocator<uint8_t>> Rows;
};

std::mutex gLock;
std::array<std::unique_ptr<TInstance>, kMaxInstances> gInstances;

// The instance of Handle, or null. Handles are 1-based table slots.
TInstance* Find(LKX_Handle Handle) {
  std::lock_guard<std::mutex> guard(gLock);
  if (Handle < 1 || Handle > kMaxInstances) return nullptr;
  return gInstances[size_t(Handle - 1)].get();
}

// The host's stream seen through the callbacks: read-only, positions from
// 0 (where the host's stream stood) to the size the host reports.
class TCallBackStream : public TStream {
 public:
  explicit TCallBackStream(const TCallBacks& CB) : FCB(CB) {}

  Integer Read(void* Buffer, Integer Count) override {
    if (!FCB.Read || !Buffer || Count <= 0) return 0;
    const int32_t n = FCB.Read(Buffer, Count, FCB.Context);
    // A host answering more than asked would make the caller read past its
    // buffer's meaning; clamp to what was asked.
    return n < 0 ? 0 : n > Count ? Count : n;
  }
  Integer Write(const void*, Integer) override { return 0; }
  Int64 Seek(Int64 Offset, TSeekOrigin Origin) override {
    Int64 base = 0;
    if (Origin == soCurrent)
      base = Position32();
    else if (Origin == soEnd)
      base = GetSize();
    const Int64 target = base + Offset;
    // The contract carries 32-bit positions only.
    if (target < 0 || target > INT32_MAX) return -1;
    if (FCB.SetPos) FCB.SetPos(static_cast<int32_t>(target), FCB.Context);
    return Position32();
  }
  Int64 GetSize() override {
    const int32_t n = FCB.Size ? FCB.Size(FCB.Context) : 0;
    return n < 0 ? 0 : n;
  }

 private:
  Int64 Position32() {
    const int32_t p = FCB.GetPos ? FCB.GetPos(FCB.Context) : 0;
    return p < 0 ? 0 : p;
  }
  TCallBacks FCB;
};

// Reads the development settings from the host into P.
void ReadSettings(const TCallBacks& CB, TIOParamsVals& P) {
  if (!CB.GetParam) return;
  std::vector<char> value(LKX_PARAM_BUFFER_SIZE + 1, 0);
  for (const char* key : kSettings) {
    value.assign(value.size(), 0);
    CB.GetParam(key, value.data(), CB.Context);
    value.back() = 0;  // never trust the host to terminate
    if (value[0]) P.SetProperty(key, value.data());
  }
}

void SetParam(const TCallBacks& CB, const char* Name, const String& Value) {
  if (CB.SetParam) CB.SetParam(Name, Value.c_str(), CB.Context);
}

// Copies a developed 24- or 48-bit bitmap into the exchange rows: 24-bit
// pixels red, green, blue; 48-bit samples most significant byte first.
bool TakeRows(TLKBitmap& B, TInstance& I) {
  const TLKPixelFormat f = B.GetPixelFormat();
  if (B.IsEmpty() || (f != lk24RGB && f != lk48RGB)) return false;
  const int32_t code = f == lk24RGB ? LKX_PF_24RGB : LKX_PF_48RGB;
  const Integer w = B.GetWidth(), h = B.GetHeight();
  const int64_t rowLen = LKX_RowLength(code, w);
  I.Rows.resize(size_t(rowLen * h));
  for (Integer y = 0; y < h; ++y) {
    uint8_t* out = I.Rows.data() + size_t(rowLen) * size_t(y);
    const uint8_t* in = static_cast<const uint8_t*>(B.GetScanLine(y));
    if (code == LKX_PF_24RGB) {
      for (Integer x = 0; x < w; ++x, in += 3, out += 3) {
        out[0] = in[2];
        out[1] = in[1];
        out[2] = in[0];
      }
    } else {
      const Word* s = reinterpret_cast<const Word*>(in);
      for (Integer i = 0; i < 3 * w; ++i, out += 2) {
        out[0] = uint8_t(s[i] >> 8);
        out[1] = uint8_t(s[i]);
      }
    }
  }
  I.Width = w;
  I.Height = h;
  I.PixelFormat = code;
  return true;
}

void ClearResult(TInstance& I) {
  I.Rows.clear();
  I.Rows.shrink_to_fit();
  I.Width = I.Height = 0;
  I.PixelFormat = LKX_PF_NULL;
}

}  // namespace

extern "C" {

LKX_EXPORT LKX_Handle LKX_Initialize(int32_t FormatIndex) {
  if (FormatIndex != 0) return 0;
  std::lock_guard<std::mutex> guard(gLock);
  for (int i = 0; i < kMaxInstances; ++i) {
    if (!gInstances[size_t(i)]) {
      try {
        gInstances[size_t(i)] = std::make_unique<TInstance>();
      } catch (...) {
        return 0;
      }
      return i + 1;
    }
  }
  return 0;
}

LKX_EXPORT void LKX_Finalize(LKX_Handle Handle) {
  std::unique_ptr<TInstance> gone;
  std::lock_guard<std::mutex> guard(gLock);
  if (Handle >= 1 && Handle <= kMaxInstances) gone = std::move(gInstances[size_t(Handle - 1)]);
}

LKX_EXPORT void* LKX_GetInfo(LKX_Handle Handle, int32_t Code) {
  switch (Code) {
    case LKX_INFO_NAME: return const_cast<char*>(kFormatName);
    case LKX_INFO_EXTENSIONS: return const_cast<char*>(kExtensions);
    default: break;
  }
  TInstance* I = Find(Handle);
  if (!I) return nullptr;
  switch (Code) {
    case LKX_INFO_FLAGS: return &I->Flags;
    case LKX_INFO_WANTEXIF: return &I->WantExif;
    case LKX_INFO_FORMATCOUNT: return &I->FormatCount;
    case LKX_INFO_WIDTH: return &I->Width;
    case LKX_INFO_HEIGHT: return &I->Height;
    case LKX_INFO_PIXELFORMAT: return &I->PixelFormat;
    case LKX_INFO_ROWS: return I->Rows.empty() ? nullptr : I->Rows.data();
    default: return nullptr;
  }
}

// The format cannot be written; values handed over are ignored.
LKX_EXPORT void LKX_SetInfo(LKX_Handle, int32_t, void*) {}

LKX_EXPORT void LKX_SetCallBacks(LKX_Handle Handle, LKX_ProgressCallBack Progress, LKX_ReadCallBack Read,
                                 LKX_WriteCallBack Write, LKX_SetPosCallBack SetPos, LKX_GetPosCallBack GetPos,
                                 LKX_SizeCallBack Size, LKX_GetParamCallBack GetParam,
                                 LKX_SetParamCallBack SetParam, void* Context) {
  TInstance* I = Find(Handle);
  if (!I) return;
  I->CB = TCallBacks{Progress, Read, Write, SetPos, GetPos, Size, GetParam, SetParam, Context};
}

LKX_EXPORT int32_t LKX_ExecuteRead(LKX_Handle Handle, int32_t Mode) {
  TInstance* I = Find(Handle);
  if (!I) return 0;
  ClearResult(*I);
  const TCallBacks cb = I->CB;
  const bool paramsOnly = Mode == LKX_MODE_PARAMS;
  try {
    TCallBackStream stream(cb);
    TIOParamsVals params;
    ReadSettings(cb, params);
    TLKBitmap bitmap;
    std::atomic<bool> aborted{false};
    TProgressRec progress;
    progress.AbortFlag = &aborted;
    if (cb.Progress)
      progress.OnProgress = [cb](TObject*, Integer percent) { cb.Progress(percent, cb.Context); };
    stream.Seek(0, soBeginning);
    LKReadCameraRAWStream(stream, bitmap, params, progress, paramsOnly);
    if (aborted.load()) return 0;
    SetParam(cb, "RAW_CAMERA", params.RAW_CAMERA);
    SetParam(cb, "DPIX", std::to_string(params.DPIX));
    SetParam(cb, "DPIY", std::to_string(params.DPIY));
    if (paramsOnly) {
      I->Width = params.WIDTH;
      I->Height = params.HEIGHT;
      I->PixelFormat = params.ISNATIVEPIXELFORMAT ? LKX_PF_48RGB : LKX_PF_24RGB;
      return 1;
    }
    return TakeRows(bitmap, *I) ? 1 : 0;
  } catch (...) {
    // Nothing may cross the C boundary: a file the decoder cannot finish
    // delivers no rows, which the host reads as a failed read.
    ClearResult(*I);
    return 0;
  }
}

LKX_EXPORT int32_t LKX_ExecuteWrite(LKX_Handle) { return 0; }

LKX_EXPORT int32_t LKX_ExecuteTry(LKX_Handle Handle) {
  TInstance* I = Find(Handle);
  if (!I) return 0;
  try {
    TCallBackStream stream(I->CB);
    return LKRAWTryStream(stream) ? 1 : 0;
  } catch (...) {
    return 0;
  }
}

LKX_EXPORT void LKX_AddParameter(void) {}

}  // extern "C"
