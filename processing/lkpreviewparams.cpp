#include "processing/lkpreviewparams.h"

#include <cctype>
#include <cmath>
#include <cstring>

#include "core/lkbitmap.h"
#include "core/lkmask.h"
#include "core/lkstreams.h"
#include "platform/atomicfile.h"
#include "platform/sysutils.h"
#include "processing/lumerakproc.h"
#include "core/lkviewlink.h"

namespace {

enum class Kind { Int, Rgb, Bool, Real };

// One value of the block: its key, its offset in the stored form, its kind
// and where it lives.
struct Field {
  const char* key;
  Integer offset;
  Kind kind;
  void* value;
};

// Every value of the block in key order (the kernel is one entry of nine
// integers at offset 44).
template <typename P, typename F>
void ForEachField(P& p, F&& f) {
  auto* q = const_cast<TIPDialogParams*>(&p);
  const Field fields[] = {
      {"CONTRAST_CONTRAST", 0, Kind::Int, &q->ContrastContrast},
      {"CONTRAST_BRIGHTNESS", 4, Kind::Int, &q->ContrastBrightness},
      {"HSV_H", 8, Kind::Int, &q->HSV_H},
      {"HSV_S", 12, Kind::Int, &q->HSV_S},
      {"HSV_V", 16, Kind::Int, &q->HSV_V},
      {"HSL_H", 20, Kind::Int, &q->HSL_H},
      {"HSL_S", 24, Kind::Int, &q->HSL_S},
      {"HSL_L", 28, Kind::Int, &q->HSL_L},
      {"RGB_R", 32, Kind::Int, &q->RGB_R},
      {"RGB_G", 36, Kind::Int, &q->RGB_G},
      {"RGB_B", 40, Kind::Int, &q->RGB_B},
      {"USERFILTER_VALUES", 44, Kind::Int, q->UserFilterValues},
      {"USERFILTER_DIVISOR", 80, Kind::Int, &q->UserFilterDivisor},
      {"EQUALIZATION_THRESHOLDDOWN", 84, Kind::Rgb, &q->EqThresholdDown},
      {"EQUALIZATION_THRESHOLDUP", 87, Kind::Rgb, &q->EqThresholdUp},
      {"EQUALIZATION_EQDOWN", 90, Kind::Rgb, &q->EqDown},
      {"EQUALIZATION_EQUP", 93, Kind::Rgb, &q->EqUp},
      {"BUMPMAP_LEFT", 96, Kind::Int, &q->BumpLeft},
      {"BUMPMAP_TOP", 100, Kind::Int, &q->BumpTop},
      {"BUMPMAP_WIDTH", 104, Kind::Int, &q->BumpWidth},
      {"BUMPMAP_HEIGHT", 108, Kind::Int, &q->BumpHeight},
      {"BUMPMAP_COL", 112, Kind::Rgb, &q->BumpCol},
      {"BUMPMAP_SRC", 116, Kind::Int, &q->BumpSrc},
      {"BUMPMAP_AUTO", 120, Kind::Bool, &q->BumpAuto},
      {"LENS_LEFT", 124, Kind::Int, &q->LensLeft},
      {"LENS_TOP", 128, Kind::Int, &q->LensTop},
      {"LENS_WIDTH", 132, Kind::Int, &q->LensWidth},
      {"LENS_HEIGHT", 136, Kind::Int, &q->LensHeight},
      {"LENS_REF", 140, Kind::Real, &q->LensRef},
      {"LENS_AUTO", 148, Kind::Bool, &q->LensAuto},
      {"WAVE_AMPLITUDE", 152, Kind::Int, &q->WaveAmplitude},
      {"WAVE_WAVELENGTH", 156, Kind::Int, &q->WaveLength},
      {"WAVE_PHASE", 160, Kind::Int, &q->WavePhase},
      {"WAVE_REFLECT", 164, Kind::Bool, &q->WaveReflect},
      {"MORPH_FILTER", 168, Kind::Int, &q->MorphFilter},
      {"MORPH_WINSIZE", 172, Kind::Int, &q->MorphWinSize},
      {"ROTATE_ANGLE", 180, Kind::Real, &q->RotateAngle},
      {"GAMMACORRECTION_VALUE", 188, Kind::Real, &q->GammaValue},
      {"SHARPEN_SHARPEN", 196, Kind::Int, &q->SharpenSharpen},
      {"SHARPEN_SIZE", 200, Kind::Int, &q->SharpenSize},
      {"FFT_LEFT", 204, Kind::Int, &q->FFTLeft},
      {"FFT_TOP", 208, Kind::Int, &q->FFTTop},
      {"FFT_RIGHT", 212, Kind::Int, &q->FFTRight},
      {"FFT_BOTTOM", 216, Kind::Int, &q->FFTBottom},
      {"FFT_GRAYSCALE", 220, Kind::Bool, &q->FFTGrayScale},
  };
  for (const Field& field : fields) f(field);
}

constexpr Integer kKernelOffset = 44;
constexpr const char* kKernelKey = "USERFILTER_VALUES";

// The gap bytes of the stored form: held as read so a block loaded and
// saved again comes back byte for byte.
constexpr Integer kGaps[][2] = {{115, 1}, {121, 3}, {149, 3}, {165, 3}, {176, 4}};

void PutInt(Byte* b, Integer v) {
  const uint32_t u = static_cast<uint32_t>(v);
  for (int i = 0; i < 4; ++i) b[i] = static_cast<Byte>(u >> (8 * i));
}
Integer GetInt(const Byte* b) {
  uint32_t u = 0;
  for (int i = 0; i < 4; ++i) u |= uint32_t{b[i]} << (8 * i);
  return static_cast<Integer>(u);
}
void PutReal(Byte* b, double v) {
  uint64_t u;
  std::memcpy(&u, &v, 8);
  for (int i = 0; i < 8; ++i) b[i] = static_cast<Byte>(u >> (8 * i));
}
double GetReal(const Byte* b) {
  uint64_t u = 0;
  for (int i = 0; i < 8; ++i) u |= uint64_t{b[i]} << (8 * i);
  double v;
  std::memcpy(&v, &u, 8);
  return v;
}

TLKPreviewDialogFactory& GlobalFactory() {
  static TLKPreviewDialogFactory factory;
  return factory;
}

}  // namespace

TIPDialogParams::TIPDialogParams() { SetDefaultParams(); }

void TIPDialogParams::SetDefaultParams() {
  ContrastContrast = ContrastBrightness = 0;
  HSV_H = HSV_S = HSV_V = 0;
  HSL_H = HSL_S = HSL_L = 0;
  RGB_R = RGB_G = RGB_B = 0;
  for (Integer& v : UserFilterValues) v = 0;
  UserFilterValues[4] = 1;
  UserFilterDivisor = 0;
  EqThresholdDown = TRGB{0, 0, 0};
  EqThresholdUp = TRGB{255, 255, 255};
  EqDown = TRGB{0, 0, 0};
  EqUp = TRGB{255, 255, 255};
  BumpLeft = BumpTop = 0;
  BumpWidth = BumpHeight = 150;
  BumpCol = TRGB{255, 255, 255};
  BumpSrc = 0;
  BumpAuto = true;
  LensLeft = LensTop = 0;
  LensWidth = LensHeight = 150;
  LensRef = 1.7;
  LensAuto = true;
  WaveAmplitude = 10;
  WaveLength = 10;
  WavePhase = 0;
  WaveReflect = false;
  MorphFilter = 0;
  MorphWinSize = 1;
  RotateAngle = 0;
  GammaValue = 1.0;
  SharpenSharpen = 1;
  SharpenSize = 4;
  FFTLeft = FFTTop = FFTRight = FFTBottom = -1;
  FFTGrayScale = true;
}

void TIPDialogParams::Save(Byte (&Block)[BlockSize]) const {
  std::memcpy(Block, gaps_, BlockSize);
  ForEachField(*this, [&](const Field& f) {
    Byte* b = Block + f.offset;
    switch (f.kind) {
      case Kind::Int:
        if (f.offset == kKernelOffset) {
          for (int i = 0; i < 9; ++i) PutInt(b + 4 * i, UserFilterValues[i]);
        } else {
          PutInt(b, *static_cast<const Integer*>(f.value));
        }
        break;
      case Kind::Rgb: {
        const TRGB& c = *static_cast<const TRGB*>(f.value);
        b[0] = c.b, b[1] = c.g, b[2] = c.r;
        break;
      }
      case Kind::Bool:
        b[0] = *static_cast<const bool*>(f.value) ? 1 : 0;
        break;
      case Kind::Real:
        PutReal(b, *static_cast<const double*>(f.value));
        break;
    }
  });
}

void TIPDialogParams::Load(const Byte (&Block)[BlockSize]) {
  // Check the whole block before taking any value of it.
  String fault;
  ForEachField(*this, [&](const Field& f) {
    if (!fault.empty()) return;
    if (f.kind == Kind::Bool && Block[f.offset] > 1)
      fault = String("Preview parameters: ") + f.key + " holds " + std::to_string(Block[f.offset]) +
              ", not a Boolean (offset " + std::to_string(f.offset) + ")";
    if (f.kind == Kind::Real && !std::isfinite(GetReal(Block + f.offset)))
      fault = String("Preview parameters: ") + f.key + " is not a finite number (offset " +
              std::to_string(f.offset) + ")";
  });
  if (!fault.empty()) throw EReadError(fault);
  ForEachField(*this, [&](const Field& f) {
    const Byte* b = Block + f.offset;
    switch (f.kind) {
      case Kind::Int:
        if (f.offset == kKernelOffset) {
          for (int i = 0; i < 9; ++i) UserFilterValues[i] = GetInt(b + 4 * i);
        } else {
          *static_cast<Integer*>(f.value) = GetInt(b);
        }
        break;
      case Kind::Rgb:
        *static_cast<TRGB*>(f.value) = TRGB{b[0], b[1], b[2]};
        break;
      case Kind::Bool:
        *static_cast<bool*>(f.value) = b[0] == 1;
        break;
      case Kind::Real:
        *static_cast<double*>(f.value) = GetReal(b);
        break;
    }
  });
  std::memset(gaps_, 0, BlockSize);
  for (const auto& g : kGaps) std::memcpy(gaps_ + g[0], Block + g[0], static_cast<size_t>(g[1]));
}

void TIPDialogParams::SaveToStream(TStream* Stream) const {
  Byte block[BlockSize];
  Save(block);
  Stream->WriteBuffer(block, BlockSize);
}

void TIPDialogParams::LoadFromStream(TStream* Stream) {
  const Int64 start = Stream->GetPosition();
  Byte block[BlockSize] = {};
  Integer got = 0;
  while (got < BlockSize) {
    const Integer n = static_cast<Integer>(Stream->Read(block + got, BlockSize - got));
    if (n <= 0) break;
    got += n;
  }
  try {
    if (got < BlockSize)
      throw EReadError("Preview parameters: " + std::to_string(BlockSize) + " bytes expected, " +
                       std::to_string(got) + " read");
    Load(block);
  } catch (const EReadError&) {
    Stream->Seek(start, soBeginning);  // a refused block is left where it was
    throw;
  }
}

void TIPDialogParams::SaveToFile(const String& FileName) const {
  WriteFileAtomically(FileName, [this](TStream* Stream) { SaveToStream(Stream); });
}

void TIPDialogParams::LoadFromFile(const String& FileName) {
  TFileStream stream(FileName, fmOpenRead | fmShareDenyWrite);
  LoadFromStream(&stream);
}

namespace {

String CleanKey(const String& Key) { return UpperCase(LKRemoveCtrlChars(Key)); }

// Kernel element of a "USERFILTER_VALUES" key: the two digits after the
// name, a missing (or non-digit) one counting as 0. -1 for another key.
Integer KernelIndex(const String& key) {
  const size_t n = std::strlen(kKernelKey);
  if (key.compare(0, n, kKernelKey) != 0) return -1;
  const String rest = key.substr(n);
  if (rest.size() > 2) return -1;
  auto digit = [&](size_t i) {
    return i < rest.size() && std::isdigit(static_cast<unsigned char>(rest[i])) ? rest[i] - '0' : 0;
  };
  for (char c : rest)
    if (!std::isdigit(static_cast<unsigned char>(c))) return -1;
  const Integer index = 3 * digit(0) + digit(1);
  return index < 9 ? index : -1;
}

}  // namespace

String TIPDialogParams::GetProperty(const String& Key) const {
  const String key = CleanKey(Key);
  const Integer k = KernelIndex(key);
  if (k >= 0) return std::to_string(UserFilterValues[k]);
  String result = "INVALID PROPERTY";
  ForEachField(*this, [&](const Field& f) {
    if (key != f.key || f.offset == kKernelOffset) return;
    switch (f.kind) {
      case Kind::Int: result = std::to_string(*static_cast<const Integer*>(f.value)); break;
      case Kind::Rgb: result = LKrgb2str(*static_cast<const TRGB*>(f.value)); break;
      case Kind::Bool: result = LKbool2str(*static_cast<const bool*>(f.value)); break;
      case Kind::Real: result = LKFloatToStr(*static_cast<const double*>(f.value)); break;
    }
  });
  return result;
}

void TIPDialogParams::SetProperty(const String& Key, const String& Value) {
  const String key = CleanKey(Key);
  const String value = LKRemoveCtrlChars(Value);
  const Integer k = KernelIndex(key);
  if (k >= 0) {
    UserFilterValues[k] = StrToIntDef(Trim(value), 0);
    return;
  }
  ForEachField(*this, [&](const Field& f) {
    if (key != f.key || f.offset == kKernelOffset) return;
    switch (f.kind) {
      case Kind::Int: *static_cast<Integer*>(f.value) = StrToIntDef(Trim(value), 0); break;
      case Kind::Rgb: *static_cast<TRGB*>(f.value) = LKstr2rgb(value); break;
      case Kind::Bool: *static_cast<bool*>(f.value) = LKstr2bool(value); break;
      case Kind::Real: {
        String text = Trim(value);
        for (char& c : text)
          if (c == ',') c = '.';
        double v = 0;
        const double fallback = f.offset == 140 ? 1.7 : 0.0;
        *static_cast<double*>(f.value) = TryStrToFloat(text, v) && std::isfinite(v) ? v : fallback;
        break;
      }
    }
  });
}

void LKSetPreviewDialogFactory(TLKPreviewDialogFactory Factory) { GlobalFactory() = std::move(Factory); }
const TLKPreviewDialogFactory& LKGetPreviewDialogFactory() { return GlobalFactory(); }

// --- The dialog through the processing component ---------------------------------

bool TLumerakProc::DoPreviews(TPreviewEffects Effects) {
  bool result = false;
  // The canvas lock of an attached view and the finishing events hold on
  // every way out.
  struct Finish {
    TLumerakProc* proc;
    ~Finish() { proc->DoFinishWork(); }
  } finish{this};
  if (FAttachedLumerak) FAttachedLumerak->LockPaint();
  struct Unlock {
    TLKViewLink* view;
    ~Unlock() {
      if (view) view->UnLockPaint();
    }
  } unlock{FAttachedLumerak};

  if (!MakeConsistentBitmap({})) return false;
  if (FBitmap->GetWidth() < 2 && FBitmap->GetHeight() < 2) return false;
  const TLKPreviewDialogFactory& factory = FPreviewFactory ? FPreviewFactory : LKGetPreviewDialogFactory();
  if (!factory) return false;
  std::unique_ptr<TLKPreviewDialog> dialog = factory(this);
  if (!dialog) return false;

  Integer x1, y1, x2, y2, count = 0;
  TPoint* poly = nullptr;
  TLKMask* mask = nullptr;
  GetReSel(x1, y1, x2, y2, poly, count, mask);

  dialog->SetLockPreview(FPreviewsParams.Contains(prppDefaultLockPreview));
  dialog->SetLanguage(FMsgLanguage);
  dialog->SetPreviewFont(FPreviewFont.get());
  dialog->SetProcessing(OnProgress, this);
  dialog->SetBackground(GetReBackground());
  dialog->SetFilterFolder(FFilterFolder);

  TLKBitmap* view = dialog->GetBitmap();
  const Integer bw = x2 - x1, bh = y2 - y1;
  view->Allocate(bw, bh, FBitmap->GetPixelFormat());
  for (Integer i = 0; i < FBitmap->GetPaletteLen(); ++i) view->SetPalette(i, FBitmap->GetPalette(i));
  FBitmap->CopyRectTo(view, x1, y1, 0, 0, bw, bh);
  view->SetPixelFormat(lk24RGB);
  if (FBitmap->GetHasAlphaChannel()) {
    TLKBitmap* alpha = FBitmap->GetAlphaChannel();
    alpha->CopyRectTo(view->GetAlphaChannel(), x1, y1, 0, 0, bw, bh);
    view->GetAlphaChannel()->SetFull(alpha->GetFull());
  }
  dialog->SetPages(Effects, FDialogParams.get());
  if (OnPreview) OnPreview(this, dialog.get());

  if (dialog->ShowModal() != 1) return false;
  result = true;
  if (dialog->GetLockPreview())
    FPreviewsParams.Include(prppDefaultLockPreview);
  else
    FPreviewsParams.Exclude(prppDefaultLockPreview);
  if (FAutoUndo) SaveUndoCaptioned(dialog->GetUndoCaption(), lkuImage);
  TLKBitmap* out = dialog->GetBitmap();
  // The result is 24-bit; a picture that may not be converted takes it in
  // its own format instead, so that only pixels of one format are copied.
  if (!MakeConsistentBitmap({lk24RGB})) out->SetPixelFormat(FBitmap->GetPixelFormat());
  const bool sameBox = out->GetWidth() == bw && out->GetHeight() == bh;
  if (!mask || mask->IsEmpty() || !sameBox) {
    // No selection, or a result of another size (a turned page): the
    // result becomes the picture.
    if (sameBox && bw == FBitmap->GetWidth() && bh == FBitmap->GetHeight()) {
      out->CopyRectTo(FBitmap, 0, 0, 0, 0, bw, bh);
      if (out->GetHasAlphaChannel())
        out->GetAlphaChannel()->CopyRectTo(FBitmap->GetAlphaChannel(), 0, 0, 0, 0, bw, bh);
    } else {
      FBitmap->Assign(out);
    }
  } else {
    mask->CopyLKBitmap(FBitmap, out, false, true, false);
    if (out->GetHasAlphaChannel()) {
      mask->CopyLKBitmap(FBitmap->GetAlphaChannel(), out->GetAlphaChannel(), false, true, false);
      FBitmap->GetAlphaChannel()->SetFull(false);
    }
  }
  Update();
  return result;
}
