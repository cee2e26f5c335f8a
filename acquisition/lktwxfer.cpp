// Scanner image transfers: the image information, native bitmaps, buffered
// strips (also of pictures whose length is known only at the end) and
// files, for one picture or for every pending one.
#include <cstring>
#include <memory>
#include <unistd.h>

#include "acquisition/imscan.h"
#include "core/lkbitmap.h"
#include "core/lkfilebuffer.h"
#include "core/lkioglobals.h"
#include "io/lkdetect.h"
#include "io/lkparams.h"
#include "io/lumerakio.h"
#include "processing/lkcolorops.h"
#include "processing/lkdibcopy.h"
#include "processing/lkprocutils.h"

namespace {

// A source that keeps answering "more data" without delivering rows must
// not keep the loop running: this many strips without a row end it.
constexpr int kMaxEmptyStrips = 64;

struct TLKStripCopy {
  TW_IMAGEMEMXFER Header;
  std::vector<Byte> Data;
};

void WriteSampleParams(TIOParamsVals* P, const TW_IMAGEINFO& Info, bool Native) {
  if (!P) return;
  if (Info.BitsPerPixel >= 1 && Info.BitsPerPixel <= 8) {
    P->BITSPERSAMPLE = Info.BitsPerPixel;
    P->SAMPLESPERPIXEL = 1;
  } else if (Info.BitsPerPixel == 24) {
    P->BITSPERSAMPLE = 8;
    P->SAMPLESPERPIXEL = 3;
  } else if (Info.BitsPerPixel == 48) {
    // What the bitmap holds: 16-bit samples when kept, 8-bit when converted.
    P->BITSPERSAMPLE = Native ? 16 : 8;
    P->SAMPLESPERPIXEL = 3;
  }
}

void WriteSizeParams(TIOParamsVals* P, const TW_IMAGEINFO& Info) {
  if (!P) return;
  P->SetDpiX(LKRound(LKFix32ToDouble(Info.XResolution)));
  P->SetDpiY(LKRound(LKFix32ToDouble(Info.YResolution)));
  P->WIDTH = Info.ImageWidth;
  P->HEIGHT = Info.ImageLength;
  P->SetColorMapCount(0);
}

TLKPixelFormat FormatFor(const TW_IMAGEINFO& Info, bool Native, bool Multi) {
  if (Native) {
    switch (Info.BitsPerPixel) {
      case 1: return lk1g;
      case 8: return lk8g;
      case 16: return lk16g;
      case 24: return lk24RGB;
      case 48: return lk48RGB;
      default: return lk24RGB;
    }
  }
  if (Multi) return Info.BitsPerPixel == 1 ? lk1g : lk24RGB;
  return (Info.BitsPerSample[0] == 1 && Info.SamplesPerPixel == 1) ? lk1g : lk24RGB;
}

// Steps shared by both image-information steps: the request, the mode.
bool AskImageInfo(TLKTWConnection& C, TW_IMAGEINFO& Info, const char* Who) {
  C.UndefinedSize = false;
  std::memset(&Info, 0, sizeof Info);
  if (!LKTW_DS(C, DG_IMAGE, DAT_IMAGEINFO, MSG_GET, &Info)) {
    LKTW_AbortAllPendingXfers(C);
    LKTW_WriteLog(String(Who) + " : not available!");
    return false;
  }
  if (C.TransferMode != 2 && (Info.PixelType > 2 || Info.Planar || Info.Compression != TWCP_NONE))
    C.TransferMode = 0;
  return true;
}

bool ImageInfoSingle(TLKTWConnection& C, TW_IMAGEINFO& Info) {
  if (!AskImageInfo(C, Info, "LKTW_XferReady.ImageInfo")) return false;
  bool Ok = true;
  try {
    WriteSampleParams(C.Params, Info, C.NativePixelFormat);
    WriteSizeParams(C.Params, Info);
    if (Info.ImageWidth < 0 || Info.ImageLength < 0) {
      C.UndefinedSize = true;
    } else if (Info.ImageWidth == 0 || Info.ImageLength == 0) {
      LKTW_AbortAllPendingXfers(C);
      Ok = false;
    } else if (C.Bitmap) {
      TLKPixelFormat F = FormatFor(Info, C.NativePixelFormat, false);
      if (C.Bitmap->GetWidth() != Info.ImageWidth || C.Bitmap->GetHeight() != Info.ImageLength ||
          C.Bitmap->GetPixelFormat() != F)
        C.Bitmap->Allocate(Info.ImageWidth, Info.ImageLength, F);
    }
  } catch (...) {
    LKTW_AbortAllPendingXfers(C);
    LKTW_WriteLog("  LKTW_XferReady.ImageInfo : exception!");
    Ok = false;
  }
  LKTW_WriteLog("  LKTW_XferReady.ImageInfo : end");
  return Ok;
}

bool ImageInfoMulti(TLKTWConnection& C, TW_IMAGEINFO& Info, std::unique_ptr<TLKBitmap>& Bitmap) {
  if (!AskImageInfo(C, Info, "LKTW_XferReadyMulti.ImageInfo")) return false;
  if (Info.ImageWidth < 0 || Info.ImageLength < 0) {
    C.UndefinedSize = true;
    return true;
  }
  if (Info.ImageWidth == 0 || Info.ImageLength == 0) {
    LKTW_AbortAllPendingXfers(C);
    return false;
  }
  try {
    Bitmap = std::make_unique<TLKBitmap>();
    Bitmap->Allocate(Info.ImageWidth, Info.ImageLength, FormatFor(Info, C.NativePixelFormat, true));
  } catch (...) {
    Bitmap.reset();
    LKTW_AbortAllPendingXfers(C);
    return false;
  }
  return true;
}

// Copies one strip into Bitmap. Everything the strip says is clipped to
// what the bitmap and the delivered bytes hold: columns past the width,
// rows past the height or above the top, and rows the source did not write.
void CopyBuffer(TLKTWConnection& C, TLKBitmap* Bitmap, const TW_IMAGEINFO& Info, const Byte* Data,
                size_t DataLen, const TW_IMAGEMEMXFER& M, Integer YOffset) {
  LKTW_WriteLog("CopyBuffer compression=" + std::to_string(M.Compression) +
                " BytesPerRow=" + std::to_string(M.BytesPerRow) + " Columns=" + std::to_string(M.Columns) +
                " Rows=" + std::to_string(M.Rows) + " XOffset=" + std::to_string(M.XOffset) +
                " YOffset=" + std::to_string(M.YOffset) + " BytesWritten=" + std::to_string(M.BytesWritten));
  if (!Bitmap || !Data || M.BytesPerRow == 0) return;
  const Int64 Width = Bitmap->GetWidth(), Height = Bitmap->GetHeight();
  const Int64 X = M.XOffset;
  if (X >= Width) return;
  const Int64 Avail = std::min<Int64>(DataLen, M.BytesWritten);
  const Integer Bpp = Info.BitsPerPixel;
  Int64 Columns = std::min<Int64>(M.Columns, Width - X);
  if (Bpp > 0) Columns = std::min<Int64>(Columns, static_cast<Int64>(M.BytesPerRow) * 8 / Bpp);
  const TLKPixelFormat F = Bitmap->GetPixelFormat();
  for (Int64 r = 0; r < M.Rows; ++r) {
    Int64 Y = static_cast<Int64>(YOffset) + r;
    Int64 RowStart = r * static_cast<Int64>(M.BytesPerRow);
    if (RowStart + M.BytesPerRow > Avail) break;
    if (Y < 0) continue;
    if (Y >= Height) break;
    const Byte* Src = Data + RowStart;
    auto* Dst = static_cast<Byte*>(Bitmap->GetScanLine(static_cast<Integer>(Y)));
    switch (Bpp) {
      case 1:
        if (F == lk1g)
          _CopyBits(Dst, Src, static_cast<Integer>(X), 0, static_cast<Integer>(Columns),
                    static_cast<Integer>(M.BytesPerRow));
        break;
      case 8:
        if (F == lk8g) std::memcpy(Dst + X, Src, Columns);
        else if (F == lk24RGB)
          for (Int64 i = 0; i < Columns; ++i) std::memset(Dst + (X + i) * 3, Src[i], 3);
        break;
      case 16:
        if (F == lk16g) std::memcpy(Dst + X * 2, Src, Columns * 2);
        else if (F == lk24RGB)
          for (Int64 i = 0; i < Columns; ++i) std::memset(Dst + (X + i) * 3, Src[i * 2 + 1], 3);
        break;
      case 24:
        if (F == lk24RGB)
          _CopyBGR_RGB(reinterpret_cast<TRGB*>(Dst) + X, reinterpret_cast<const TRGB*>(Src),
                       static_cast<Integer>(Columns));
        break;
      case 48:
        if (F == lk48RGB) std::memcpy(Dst + X * 6, Src, Columns * 6);
        else if (F == lk24RGB)
          for (Int64 i = 0; i < Columns; ++i) {
            Byte* P = Dst + (X + i) * 3;
            P[2] = Src[i * 6 + 1];  // red
            P[1] = Src[i * 6 + 3];  // green
            P[0] = Src[i * 6 + 5];  // blue
          }
        break;
      default:
        break;
    }
  }
  LKTW_WriteLog("CopyBuffer : Ok");
}

String GetCaption(TLKTWConnection& C) {
  String Text;
  if (!LKTW_GetStringCapability(C, CAP_CAPTION, Text)) Text.clear();
  return Text;
}

// The buffered transfer of one picture; Caption gets the source's caption.
void BufferedTransfer(TLKTWConnection& C, TLKBitmap*& Bitmap, std::unique_ptr<TLKBitmap>* Owned,
                      TW_IMAGEINFO& Info, bool Multi, String& Caption) {
  std::vector<TLKStripCopy> Strips;
  double Factor = 0;
  if (C.Progress && Info.ImageLength > 0) Factor = 100.0 / Info.ImageLength;
  TW_SETUPMEMXFER Setup{};
  {
    bool Ok = LKTW_DS(C, DG_CONTROL, DAT_SETUPMEMXFER, MSG_GET, &Setup);
    LKTW_WriteLog(Ok ? "  DAT_SETUPMEMXFER : Ok" : "  DAT_SETUPMEMXFER : FAILED!");
  }
  // The buffer must hold at least one row of the widest picture we accept;
  // a source that names none gets a modest one.
  TW_UINT32 Size = Setup.Preferred ? Setup.Preferred : (Setup.MaxBufSize ? Setup.MaxBufSize : 65536);
  Size = std::min<TW_UINT32>(Size, 64u << 20);
  TW_HANDLE Block = LKGlobalAlloc(Size);
  const bool UseHandle = C.Settings ? C.Settings->GetUseMemoryHandle() : true;
  void* Locked = UseHandle ? nullptr : LKGlobalLock(Block);
  bool HaveFirstY = false;
  Int64 FirstY = 0;
  int Empty = 0;
  Int64 MaxStrips = (Info.ImageLength > 0 ? Info.ImageLength : 1 << 20) + kMaxEmptyStrips;
  for (Int64 Strip = 0; Strip < MaxStrips; ++Strip) {
    TW_IMAGEMEMXFER M{};
    M.Compression = 0xFFFF;
    M.BytesPerRow = M.Columns = M.Rows = M.XOffset = M.YOffset = M.BytesWritten = TWON_DONTCARE32;
    M.Memory.Length = Size;
    M.Memory.Flags = TWMF_APPOWNS | (UseHandle ? TWMF_HANDLE : TWMF_POINTER);
    M.Memory.TheMem = UseHandle ? Block : Locked;
    LKTW_DS(C, DG_IMAGE, DAT_IMAGEMEMXFER, MSG_GET, &M);
    const TW_UINT16 Rc = C.ReturnCode;
    if (Rc == TWRC_SUCCESS || Rc == TWRC_XFERDONE) {
      // The strip's bytes never exceed the block, whatever the source says.
      M.BytesWritten = std::min(static_cast<TW_UINT32>(M.BytesWritten), Size);
      if (!HaveFirstY) {
        HaveFirstY = true;
        FirstY = M.YOffset;
      }
      Int64 Y = Multi ? static_cast<Int64>(M.YOffset) - FirstY : static_cast<Int64>(M.YOffset);
      auto* Data = static_cast<const Byte*>(UseHandle ? LKGlobalLock(Block) : Locked);
      if (C.UndefinedSize) {
        TLKStripCopy Copy{M, std::vector<Byte>(Data, Data + M.BytesWritten)};
        Copy.Header.YOffset = static_cast<TW_UINT32>(Y);
        Strips.push_back(std::move(Copy));
      } else {
        CopyBuffer(C, Bitmap, Info, Data, Size, M, static_cast<Integer>(Y));
      }
      if (UseHandle) LKGlobalUnlock(Block);
      Empty = (M.Rows == 0 || M.BytesWritten == 0) ? Empty + 1 : 0;
      if (Rc == TWRC_XFERDONE) {
        Caption = GetCaption(C);
        if (!Multi && C.Params) C.Params->FILENAME = Caption;
        C.State = 7;
        C.Transferred = true;
        if (C.UndefinedSize) {
          if (Multi || C.State == 7) {
            C.Pending = TW_PENDINGXFERS{};
            if (LKTW_DS(C, DG_CONTROL, DAT_PENDINGXFERS, MSG_ENDXFER, &C.Pending))
              C.State = C.Pending.Count ? 6 : 5;
          }
          TW_IMAGEINFO Final{};
          bool Got = Multi ? ([&] {
            std::unique_ptr<TLKBitmap> B;
            bool R = ImageInfoMulti(C, Final, B) && !C.UndefinedSize;
            if (R && Owned) {
              *Owned = std::move(B);
              Bitmap = Owned->get();
            }
            return R;
          })()
                           : (ImageInfoSingle(C, Final) && !C.UndefinedSize);
          if (Got) {
            Info = Final;
            for (const auto& S : Strips)
              CopyBuffer(C, Bitmap, Info, S.Data.data(), S.Data.size(), S.Header,
                         static_cast<Integer>(S.Header.YOffset));
          } else {
            // Without a final size the held strips cannot be placed: the
            // picture is dropped rather than handed over half made.
            C.Transferred = false;
          }
        }
        break;
      }
      if (Empty > kMaxEmptyStrips) {
        LKTW_WriteLog("  LKTW_XferReady : source sends no data, transfer ended");
        LKTW_AbortAllPendingXfers(C);
        C.Stop = true;
        break;
      }
    } else if (Rc == TWRC_FAILURE) {
      C.State = 6;
      if (Multi && C.Progress) LKAbort(*C.Progress, "the scanner failed during the transfer");
      break;
    } else if (Rc == TWRC_CANCEL) {
      C.Stop = true;
      C.State = 7;
      break;
    }
    if (C.Progress && C.Progress->OnProgress && Factor > 0)
      C.Progress->OnProgress(C.Progress->Sender,
                             LKTrunc((static_cast<double>(M.YOffset) + M.Rows) * Factor));
    if (!Multi && C.Progress && LKAborted(*C.Progress)) {
      C.State = 7;
      break;
    }
  }
  if (!UseHandle) LKGlobalUnlock(Block);
  LKGlobalFree(Block);
}

void NativeTransfer(TLKTWConnection& C, TLKBitmap* Bitmap) {
  TW_HANDLE Dib = nullptr;
  LKTW_DS(C, DG_IMAGE, DAT_IMAGENATIVEXFER, MSG_GET, &Dib);
  TW_UINT16 Rc = C.ReturnCode;
  if (Rc == TWRC_XFERDONE) {
    void* Bytes = LKGlobalLock(Dib);
    Integer Bits = Bitmap ? _CopyDIB2BitmapEx(Bytes, LKGlobalSize(Dib), Bitmap) : 0;
    LKGlobalUnlock(Dib);
    LKGlobalFree(Dib);
    C.State = 7;
    // A block the bitmap reader refuses is no picture.
    C.Transferred = Bits != 0;
  } else if (Rc == TWRC_CANCEL) {
    C.Stop = true;
    C.State = 7;
  } else {
    C.State = 6;
  }
}

String TransferFileName() {
  String Name = LKGetTempFileName2() + ".bmp";
  if (Name.size() > 254) Name = DefTEMPPATH + "lumeraktwain03.bmp";
  if (Name.size() > 254) Name = "lumeraktwain03.bmp";
  return Name;
}

void FileTransfer(TLKTWConnection& C, TLKBitmap* Bitmap) {
  TW_SETUPFILEXFER Setup{};
  LKTW_DS(C, DG_CONTROL, DAT_SETUPFILEXFER, MSG_GET, &Setup);
  String Name = TransferFileName();
  std::memset(Setup.FileName, 0, sizeof Setup.FileName);
  std::memcpy(Setup.FileName, Name.data(), std::min<size_t>(Name.size(), 255));
  if (Setup.Format != TWFF_TIFF && Setup.Format != TWFF_BMP && Setup.Format != TWFF_JFIF &&
      Setup.Format != TWFF_PNG)
    Setup.Format = TWFF_BMP;
  Setup.VRefNum = 0;
  LKTW_DS(C, DG_CONTROL, DAT_SETUPFILEXFER, MSG_SET, &Setup);
  LKTW_DS(C, DG_IMAGE, DAT_IMAGEFILEXFER, MSG_GET, nullptr);
  TW_UINT16 Rc = C.ReturnCode;
  if (Rc == TWRC_XFERDONE) {
    if (Bitmap) {
      TLumerakIO IO;
      IO.SetAttachedLKBitmap(Bitmap);
      Integer Type = FindFileFormat(Name, false);
      IO.LoadFromFileFormat(Name, Type);
      C.Transferred = !IO.GetAborted();
      IO.SetAttachedLKBitmap(nullptr);
    }
    C.State = 7;
  } else if (Rc == TWRC_CANCEL) {
    C.Stop = true;
    C.State = 7;
  } else {
    C.State = 6;
  }
  unlink(Name.c_str());
}

}  // namespace

void LKTW_XferReady(TLKTWConnection& C) {
  TW_IMAGEINFO Info{};
  if (!ImageInfoSingle(C, Info)) {
    C.Done = true;
    LKTW_WriteLog("LKTW_XferReady : ABORTED, image info not available!");
    return;
  }
  bool Before = C.Transferred;
  switch (C.TransferMode) {
    case 0:
      LKTW_WriteLog("  LKTW_XferReady : Native transfer mode");
      NativeTransfer(C, C.Bitmap);
      break;
    case 1: {
      LKTW_WriteLog("  LKTW_XferReady : Buffered transfer mode");
      String Caption;
      TLKBitmap* B = C.Bitmap;
      BufferedTransfer(C, B, nullptr, Info, false, Caption);
      break;
    }
    default:
      LKTW_WriteLog("  LKTW_XferReady : File transfer mode");
      FileTransfer(C, C.Bitmap);
      break;
  }
  LKTW_WriteLog(C.Transferred && !Before ? "  LKTW_XferReady : TWRC_XFERDONE" : "  LKTW_XferReady : not transferred");
  if (!C.Transferred && C.HideDialog) C.Done = true;
  C.Stop = true;
  LKTW_AbortAllPendingXfers(C);
  LKTW_WriteLog("  LKTW_XferReady : end");
}

void LKTW_XferReadyMulti(TLKTWConnection& C) {
  for (;;) {
    LKTW_WriteLog("  LKTW_XferReadyMulti : getting another image");
    if (C.Progress && LKAborted(*C.Progress)) {
      LKTW_AbortAllPendingXfers(C);
      break;
    }
    TW_IMAGEINFO Info{};
    std::unique_ptr<TLKBitmap> Bitmap;
    if (!ImageInfoMulti(C, Info, Bitmap)) {
      LKTW_WriteLog("LKTW_XferReadyMulti : ABORTED, image info not available!");
      C.Done = true;
      break;
    }
    bool Was = C.Transferred;
    C.Transferred = false;
    String Caption;
    TLKBitmap* B = Bitmap.get();
    if (C.TransferMode == 1) {
      BufferedTransfer(C, B, &Bitmap, Info, true, Caption);
    } else {
      if (!Bitmap) Bitmap = std::make_unique<TLKBitmap>();
      B = Bitmap.get();
      if (C.TransferMode == 0) NativeTransfer(C, B);
      else FileTransfer(C, B);
    }
    bool Got = C.Transferred;
    C.Transferred = Was || Got;
    if (!Got && C.HideDialog) C.Done = true;
    if (Got && B) {
      if (B->GetPixelFormat() == lk1g && C.Invert1Bit) _Negative1BitEx(B);
      TObject* ParamsObj = C.Params;
      if (C.MultiCallBack) C.MultiCallBack(B, ParamsObj);
      if (auto* P = dynamic_cast<TIOParamsVals*>(ParamsObj)) {
        WriteSampleParams(P, Info, C.NativePixelFormat);
        WriteSizeParams(P, Info);
        P->FILENAME = Caption;
      }
    }
    Bitmap.reset();
    if (C.State == 7) {
      C.Pending = TW_PENDINGXFERS{};
      if (LKTW_DS(C, DG_CONTROL, DAT_PENDINGXFERS, MSG_ENDXFER, &C.Pending)) C.State = C.Pending.Count ? 6 : 5;
    }
    if (C.State != 6) {
      C.Stop = true;
      LKTW_AbortAllPendingXfers(C);
      LKTW_WriteLog("  LKTW_XferReadyMulti : end");
      break;
    }
  }
}
