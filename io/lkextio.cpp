#include "io/lkextio.h"

#include <algorithm>
#include <climits>
#include <cstring>
#include <new>

#include "core/lkabort.h"
#include "core/lkallocgate.h"
#include "core/lkbitmap.h"
#include "core/lkstreams.h"
#include "io/lkexif.h"
#include "io/lkparams.h"
#include "platform/sysutils.h"
#include "raw/lkraw.h"

TList lkgExtIOPlugins;

namespace {

PLKIOPlugin PluginAt(Integer Index) { return static_cast<PLKIOPlugin>(lkgExtIOPlugins.Get(Index)); }

// The int32 a plug-in's info pointer leads to; 0 for none. The pointer may be
// unaligned.
int32_t InfoInt(const TLKIOPlugin& Plugin, LKX_Handle Handle, int32_t Code) {
  const void* p = Plugin.GetInfo(Handle, Code);
  if (!p) return 0;
  int32_t v;
  std::memcpy(&v, p, sizeof v);
  return v;
}

// The zero-terminated text of a plug-in's info code, at most MaxLen bytes.
String InfoText(const TLKIOPlugin& Plugin, LKX_Handle Handle, int32_t Code, size_t MaxLen) {
  const auto* p = static_cast<const char*>(Plugin.GetInfo(Handle, Code));
  if (!p) return String();
  return String(p, strnlen(p, MaxLen));
}

// Holds the format's lock (when it has one) for the guard's lifetime.
class TPluginLock {
 public:
  explicit TPluginLock(TLKIOPlugin& Plugin) : FCS(Plugin.CS.get()) {
    if (FCS) FCS->Enter();
  }
  ~TPluginLock() {
    if (FCS) FCS->Leave();
  }
  TPluginLock(const TPluginLock&) = delete;
  TPluginLock& operator=(const TPluginLock&) = delete;

 private:
  TCriticalSection* FCS;
};

// One plug-in instance with the host callbacks installed; closed on every
// exit path.
class TPluginInstance {
 public:
  TPluginInstance(TLKIOPlugin& Plugin, TLKExtIOContext& Context) : FPlugin(Plugin) {
    FHandle = Plugin.Initialize(Plugin.FormatIndex);
    Plugin.SetCallBacks(FHandle, LKExtIOProgressCallBack, LKExtIOReadCallBack, LKExtIOWriteCallBack,
                        LKExtIOSetPosCallBack, LKExtIOGetPosCallBack, LKExtIOSizeCallBack,
                        LKExtIOGetParamCallBack, LKExtIOSetParamCallBack, &Context);
  }
  ~TPluginInstance() { FPlugin.Finalize(FHandle); }
  TPluginInstance(const TPluginInstance&) = delete;
  TPluginInstance& operator=(const TPluginInstance&) = delete;

  LKX_Handle Handle() const { return FHandle; }

 private:
  TLKIOPlugin& FPlugin;
  LKX_Handle FHandle;
};

// Bits per sample and samples per pixel of each exchanged pixel format code.
struct TSampleLayout {
  Integer Bits, Samples;
};
constexpr TSampleLayout kSampleLayout[LKPixelFormatCount] = {
    {0, 0}, {1, 1}, {8, 1}, {8, 1}, {16, 1}, {8, 3}, {32, 1}, {8, 4}, {16, 3}, {0, 0}};

// Row lengths (byte-aligned for the exchange, stored with 32-bit alignment)
// must fit the library's row arithmetic.
bool RowFits(int32_t Format, int32_t Width) {
  const Int64 bits = static_cast<Int64>(lkPixelFormatBits[Format]) * Width;
  return (bits + 31) / 32 * 4 <= INT32_MAX;
}

// Rows of 24-bit pixels: red-green-blue <-> blue-green-red (the same swap both
// ways).
void SwapRB(const Byte* Src, Byte* Dst, Integer Width) {
  for (Integer x = 0; x < Width; ++x, Src += 3, Dst += 3) {
    const Byte r = Src[0], g = Src[1], b = Src[2];
    Dst[0] = b;
    Dst[1] = g;
    Dst[2] = r;
  }
}

// Rows of 16-bit samples: the two bytes of each sample exchanged.
void SwapWords(const Byte* Src, Byte* Dst, Int64 Samples) {
  for (Int64 i = 0; i < Samples; ++i, Src += 2, Dst += 2) {
    const Byte hi = Src[0], lo = Src[1];
    Dst[0] = lo;
    Dst[1] = hi;
  }
}

// Big-endian red, green, blue samples to blue-green-red bytes: the high byte of
// each sample.
void HighBytesToBGR(const Byte* Src, Byte* Dst, Integer Width) {
  for (Integer x = 0; x < Width; ++x, Src += 6, Dst += 3) {
    Dst[0] = Src[4];
    Dst[1] = Src[2];
    Dst[2] = Src[0];
  }
}

// Copies the plug-in's rows (exchange layout, RowBytes each) into Bitmap as the
// caller asked: in the plug-in's format, or as lk1g / lk24RGB.
void CopyRows(const Byte* Rows, Int64 RowBytes, Integer Width, Integer Height, TLKPixelFormat Format,
              bool Native, TLKBitmap& Bitmap) {
  const auto rowAt = [&](Integer y) { return Rows + static_cast<Int64>(y) * RowBytes; };
  const auto n = static_cast<size_t>(RowBytes);
  if (Native || Format == lk1g || Format == lk24RGB) {
    Bitmap.Allocate(Width, Height, Format);
    for (Integer y = 0; y < Height; ++y) {
      auto* dst = static_cast<Byte*>(Bitmap.GetScanLine(y));
      if (Format == lk24RGB)
        SwapRB(rowAt(y), dst, Width);
      else if (Format == lk48RGB)
        SwapWords(rowAt(y), dst, static_cast<Int64>(Width) * 3);
      else
        std::memcpy(dst, rowAt(y), n);
    }
    return;
  }
  if (Format == lk48RGB) {
    // Straight to 24 bits: the same values the conversion gives, without a
    // 48-bit copy of the whole picture.
    Bitmap.Allocate(Width, Height, lk24RGB);
    for (Integer y = 0; y < Height; ++y) HighBytesToBGR(rowAt(y), static_cast<Byte*>(Bitmap.GetScanLine(y)), Width);
    return;
  }
  TLKBitmap temp;
  temp.Allocate(Width, Height, Format);
  for (Integer y = 0; y < Height; ++y) std::memcpy(temp.GetScanLine(y), rowAt(y), n);
  temp.ConvertToPixelFormat(lk24RGB);
  Bitmap.Allocate(Width, Height, lk24RGB);
  const auto len = static_cast<size_t>(std::min(temp.GetRowLen(), Bitmap.GetRowLen()));
  for (Integer y = 0; y < Height; ++y) std::memcpy(Bitmap.GetScanLine(y), temp.GetScanLine(y), len);
}

// A view of a stream from Base on: position 0 of the view is Base of the
// source, and its size ends where the source's does. Reads only.
class TLKStreamFrom : public TStream {
 public:
  TLKStreamFrom(TStream& Source, Int64 Base) : FSource(Source), FBase(Base) {}
  Integer Read(void* Buffer, Integer Count) override { return FSource.Read(Buffer, Count); }
  Integer Write(const void*, Integer) override { return 0; }
  Int64 Seek(Int64 Offset, TSeekOrigin Origin) override {
    if (Origin == soBeginning) Offset = FBase + std::max<Int64>(Offset, 0);
    const Int64 at = FSource.Seek(Offset, Origin);
    return at < 0 ? at : at - FBase;
  }
  Int64 GetSize() override { return std::max<Int64>(FSource.GetSize() - FBase, 0); }

 private:
  TStream& FSource;
  Int64 FBase;
};

// Reads the input's EXIF metadata into Params for a plug-in that asks for it:
// the first EXIF block within the search window, else the Canon CIFF records.
// Offsets count from the plug-in's position 0 (Base), where Reader stands
// afterwards.
void ReadPluginExif(TStream& Reader, Int64 Base, TIOParamsVals& Params) {
  TLKStreamFrom input(Reader, Base);
  input.Seek(0, soBeginning);
  const Int64 at = LKSearchEXIFInfo(&input);
  if (at < 0) {
    input.Seek(0, soBeginning);
    LKCRWGetCIFFAsExif(input, Params);
  } else {
    input.Seek(at, soBeginning);
    if (LKLoadEXIFFromTIFF(&input, Params)) {
      const double perInch = Params.EXIF_RESOLUTIONUNIT == 3 ? 2.54 : 1;
      Params.SetDpiX(LKTrunc(Params.EXIF_XRESOLUTION * perInch));
      Params.SetDpiY(LKTrunc(Params.EXIF_YRESOLUTION * perInch));
    }
  }
  Reader.Seek(Base, soBeginning);
}

// Runs a parameters-only pass for the thumbnail; true when it left a
// non-empty EXIF thumbnail, which then becomes the picture.
bool ThumbnailPass(TStream& Stream, TLKBitmap& Bitmap, TIOParamsVals& IOParams, TProgressRec& Progress) {
  if (TLKBitmap* old = IOParams.EXIF_ThumbnailImage.get()) old->FreeImage();
  IOParams.SetGetThumbnail(false);
  try {
    LKExtIOPluginRead(Stream, Bitmap, IOParams, Progress, true);
  } catch (...) {
    IOParams.SetGetThumbnail(true);
    throw;
  }
  IOParams.SetGetThumbnail(true);
  TLKBitmap* thumb = IOParams.EXIF_ThumbnailImage.get();
  if (!thumb || thumb->IsEmpty()) return false;
  Bitmap.Assign(thumb);
  return true;
}

}  // namespace

// ---------------------------------------------------------------------------
// Registration

bool LKIsExtIOPluginLoaded(const String& FileName) {
  const String name = ExtractFileName(FileName);
  for (Integer i = 0; i < lkgExtIOPlugins.GetCount(); ++i)
    if (ExtractFileName(PluginAt(i)->FileName) == name) return true;
  return false;
}

PLKIOPlugin LKFindExtIOPlugin(Integer FileType) {
  for (Integer i = 0; i < lkgExtIOPlugins.GetCount(); ++i)
    if (PluginAt(i)->FileType == FileType) return PluginAt(i);
  return nullptr;
}

Integer LKAddExtIOPlugin(const String& FileName) {
  if (LKIsExtIOPluginLoaded(FileName)) return 0;
  Integer result = 0;
  for (Integer i = 0;; ++i) {
    auto plugin = std::make_unique<TLKIOPlugin>();
    plugin->LibHandle = LoadLibrary(FileName);
    if (!plugin->LibHandle) break;
    plugin->Resolve([&](const char* Name) { return GetProcAddress(plugin->LibHandle, Name); });
    if (!plugin->Complete()) {
      FreeLibrary(plugin->LibHandle);
      break;
    }
    const LKX_Handle h = plugin->Initialize(i);
    const int32_t count = InfoInt(*plugin, h, LKX_INFO_FORMATCOUNT);
    plugin->FileType = kLKFirstExternalFormat + lkgExtIOPlugins.GetCount();
    plugin->FormatIndex = i;
    plugin->FileName = FileName;

    TLKFileFormatInfo info;
    info.FormatType = plugin->FileType;
    info.FormatName = InfoText(*plugin, h, LKX_INFO_NAME, kLKFormatTextMax);
    info.ExtensionList = InfoText(*plugin, h, LKX_INFO_EXTENSIONS, kLKFormatTextMax);
    plugin->Flags = InfoInt(*plugin, h, LKX_INFO_FLAGS);
    if (plugin->Flags & LKX_FLAG_READ) {
      info.ReadProc = LKExtIOPluginRead;
      info.ProbeProc = LKExtIOPluginTry;
    }
    if (plugin->Flags & LKX_FLAG_WRITE) info.WriteProc = LKExtIOPluginWrite;
    if (!(plugin->Flags & LKX_FLAG_THREADSAFE)) plugin->CS = std::make_unique<TCriticalSection>();

    result = plugin->FileType;
    lkgExtIOPlugins.Add(plugin.get());
    TLKIOPlugin* added = plugin.release();
    LKFileFormatAdd(info);
    added->Finalize(h);
    // A library reporting no formats still has the one just registered.
    if (i + 1 >= std::max<int32_t>(count, 1)) break;
  }
  return result;
}

void LKExtIOModuleEnd() {
  for (Integer i = 0; i < lkgExtIOPlugins.GetCount(); ++i) {
    PLKIOPlugin plugin = PluginAt(i);
    if (lkgFileFormats) LKFileFormatRemove(plugin->FileType);
    plugin->CS.reset();
    FreeLibrary(plugin->LibHandle);
    delete plugin;
  }
  lkgExtIOPlugins.Clear();
}

// ---------------------------------------------------------------------------
// Bridges

void LKExtIOPluginRead(TStream& Stream, TLKBitmap& Bitmap, TIOParamsVals& IOParams, TProgressRec& Progress,
                       bool Preview) {
  PLKIOPlugin plugin = LKFindExtIOPlugin(IOParams.FILETYPE);
  if (!plugin) {
    LKAbort(Progress, "plug-in: no plug-in reads file type " + std::to_string(IOParams.FILETYPE));
    return;
  }
  const Int64 entry = Stream.GetPosition();
  if (IOParams.GETTHUMBNAIL) {
    if (ThumbnailPass(Stream, Bitmap, IOParams, Progress)) return;
    Stream.Seek(entry, soBeginning);
  }

  TPluginLock lock(*plugin);
  TLKBufferedReadStream reader(&Stream, kLKExtIOReadBufferSize);
  TLKExtIOContext context;
  context.OnProgress = Progress.OnProgress;
  context.Sender = Progress.Sender;
  context.Stream = &reader;
  context.Params = &IOParams;
  context.Base = entry;
  if (Progress.AbortFlag) Progress.AbortFlag->store(false);

  TPluginInstance instance(*plugin, context);
  const LKX_Handle h = instance.Handle();
  if (InfoInt(*plugin, h, LKX_INFO_WANTEXIF) != 0) ReadPluginExif(reader, entry, IOParams);
  plugin->ExecuteRead(h, Preview ? LKX_MODE_PARAMS : LKX_MODE_IMAGE);

  const int32_t width = InfoInt(*plugin, h, LKX_INFO_WIDTH);
  const int32_t height = InfoInt(*plugin, h, LKX_INFO_HEIGHT);
  const int32_t format = InfoInt(*plugin, h, LKX_INFO_PIXELFORMAT);
  const auto* rows = static_cast<const Byte*>(plugin->GetInfo(h, LKX_INFO_ROWS));
  IOParams.WIDTH = width;
  IOParams.HEIGHT = height;
  if (format >= 1 && format <= 8) {
    IOParams.BITSPERSAMPLE = kSampleLayout[format].Bits;
    IOParams.SAMPLESPERPIXEL = kSampleLayout[format].Samples;
  }
  IOParams.SetColorMapCount(0);
  if (Preview) return;

  // Anything else than a picture the library can hold is a failed read.
  const bool exchangeable = format >= lk1g && format <= lkCIELab && format != lk8p;
  if (!rows || width <= 0 || height <= 0 || !exchangeable || !RowFits(format, width)) {
    LKAbort(Progress, "plug-in: no picture came back (" + std::to_string(width) + " x " + std::to_string(height) +
                          ", pixel format " + std::to_string(format) + (rows ? ")" : ", no rows)"));
    return;
  }
  // The picture is sized from what the plug-in says: the gate decides, as
  // for every reader (the 24-bit copy is the larger one the host makes).
  const Integer bits = IOParams.ISNATIVEPIXELFORMAT ? std::max<Integer>(lkPixelFormatBits[format], 24) : 24;
  if (!LKAllowPicture(width, height, bits, Progress, "plug-in picture")) return;
  CopyRows(rows, LKX_RowLength(format, width), width, height, static_cast<TLKPixelFormat>(format),
           IOParams.ISNATIVEPIXELFORMAT, Bitmap);
}

bool LKExtIOPluginTry(TStream& Stream, Integer FileType) {
  PLKIOPlugin plugin = LKFindExtIOPlugin(FileType);
  if (!plugin) return false;
  TLKExtIOContext context;
  context.Stream = &Stream;
  context.Base = Stream.GetPosition();
  TPluginLock lock(*plugin);
  TPluginInstance instance(*plugin, context);
  return plugin->ExecuteTry(instance.Handle()) != 0;
}

void LKExtIOPluginWrite(TStream& Stream, TLKBitmap& Bitmap, TIOParamsVals& IOParams, TProgressRec& Progress) {
  PLKIOPlugin plugin = LKFindExtIOPlugin(IOParams.FILETYPE);
  const TLKPixelFormat pf = Bitmap.GetPixelFormat();
  // No palette can be handed over, so an lk8p picture would lose its colours.
  if (!plugin) {
    LKAbort(Progress, "plug-in: no plug-in writes file type " + std::to_string(IOParams.FILETYPE));
    return;
  }
  if (Bitmap.IsEmpty() || pf == lknull || pf == lk8p || pf >= LKPixelFormatCount) {
    LKAbort(Progress, "plug-in: an empty or palette picture cannot be handed over");
    return;
  }
  TLKExtIOContext context;
  context.OnProgress = Progress.OnProgress;
  context.Sender = Progress.Sender;
  context.Stream = &Stream;
  context.Params = &IOParams;
  context.Base = Stream.GetPosition();
  if (Progress.AbortFlag) Progress.AbortFlag->store(false);

  int32_t width = Bitmap.GetWidth(), height = Bitmap.GetHeight(), format = pf;
  const Int64 rowBytes = LKX_RowLength(format, width);
  const Int64 total = rowBytes * height;
  std::unique_ptr<Byte[]> block(new (std::nothrow) Byte[static_cast<size_t>(total)]);
  if (!block) throw EOutOfMemory("Out of memory");
  for (Integer y = 0; y < height; ++y) {
    const auto* src = static_cast<const Byte*>(Bitmap.GetScanLine(y));
    Byte* dst = block.get() + y * rowBytes;
    if (pf == lk24RGB)
      SwapRB(src, dst, width);
    else if (pf == lk48RGB)
      SwapWords(src, dst, static_cast<Int64>(width) * 3);
    else
      std::memcpy(dst, src, static_cast<size_t>(rowBytes));
  }

  TPluginLock lock(*plugin);
  TPluginInstance instance(*plugin, context);
  const LKX_Handle h = instance.Handle();
  plugin->SetInfo(h, LKX_INFO_WIDTH, &width);
  plugin->SetInfo(h, LKX_INFO_HEIGHT, &height);
  plugin->SetInfo(h, LKX_INFO_PIXELFORMAT, &format);
  plugin->SetInfo(h, LKX_INFO_ROWS, block.get());
  plugin->ExecuteWrite(h);
  if (context.Written == 0) LKAbort(Progress, "plug-in: the plug-in wrote nothing");
}

// ---------------------------------------------------------------------------
// Host callbacks

namespace {

TLKExtIOContext* Ctx(void* Context) { return static_cast<TLKExtIOContext*>(Context); }

int32_t ClampInt32(Int64 V) { return static_cast<int32_t>(std::clamp<Int64>(V, INT32_MIN, INT32_MAX)); }

}  // namespace

void LKExtIOProgressCallBack(int32_t Percent, void* Context) {
  try {
    TLKExtIOContext* c = Ctx(Context);
    if (c && c->OnProgress) c->OnProgress(c->Sender, Percent);
  } catch (...) {
  }
}

int32_t LKExtIOReadCallBack(void* Buffer, int32_t Count, void* Context) {
  try {
    TLKExtIOContext* c = Ctx(Context);
    if (!c || !c->Stream || !Buffer || Count <= 0) return 0;
    return std::max<Integer>(c->Stream->Read(Buffer, Count), 0);
  } catch (...) {
    return 0;
  }
}

int32_t LKExtIOWriteCallBack(const void* Buffer, int32_t Count, void* Context) {
  try {
    TLKExtIOContext* c = Ctx(Context);
    if (!c || !c->Stream || !Buffer || Count <= 0) return 0;
    const Integer n = std::max<Integer>(c->Stream->Write(Buffer, Count), 0);
    c->Written += n;
    return n;
  } catch (...) {
    return 0;
  }
}

void LKExtIOSetPosCallBack(int32_t Position, void* Context) {
  try {
    TLKExtIOContext* c = Ctx(Context);
    if (c && c->Stream) c->Stream->Seek(c->Base + std::max<int32_t>(Position, 0), soBeginning);
  } catch (...) {
  }
}

int32_t LKExtIOGetPosCallBack(void* Context) {
  try {
    TLKExtIOContext* c = Ctx(Context);
    if (!c || !c->Stream) return 0;
    return ClampInt32(c->Stream->GetPosition() - c->Base);
  } catch (...) {
    return 0;
  }
}

int32_t LKExtIOSizeCallBack(void* Context) {
  try {
    TLKExtIOContext* c = Ctx(Context);
    if (!c || !c->Stream) return 0;
    return ClampInt32(std::max<Int64>(c->Stream->GetSize() - c->Base, 0));
  } catch (...) {
    return 0;
  }
}

void LKExtIOGetParamCallBack(const char* Name, char* Dest, void* Context) {
  if (!Dest) return;
  try {
    Dest[0] = 0;
    TLKExtIOContext* c = Ctx(Context);
    if (!c || !c->Params || !Name) return;
    const String value = c->Params->GetProperty(Name);
    size_t n = std::min(value.size(), static_cast<size_t>(LKX_PARAM_BUFFER_SIZE - 1));
    // Cut before a character split by the limit (UTF-8 continuation bytes).
    if (n < value.size())
      while (n > 0 && (static_cast<Byte>(value[n]) & 0xC0) == 0x80) --n;
    std::memcpy(Dest, value.data(), n);
    Dest[n] = 0;
  } catch (...) {
    Dest[0] = 0;
  }
}

void LKExtIOSetParamCallBack(const char* Name, const char* Value, void* Context) {
  try {
    TLKExtIOContext* c = Ctx(Context);
    if (c && c->Params && Name && Value) c->Params->SetProperty(Name, Value);
  } catch (...) {
  }
}
