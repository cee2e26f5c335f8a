#include "io/lkexif.h"

#include <algorithm>
#include <cstring>
#include <memory>
#include <vector>

#include "codecs/tiff/tiffilt.h"
#include "processing/lumerakproc.h"

namespace {

// Reads the TIFF at Stream's position with parameters only into Temp;
// false when no directory could be read.
bool ReadTIFFParams(TStream* Stream, TIOParamsVals& Temp) {
  std::atomic<bool> aborted{false};
  TProgressRec progress;
  progress.AbortFlag = &aborted;
  Integer pages = 0;
  const Int64 pos = Stream->GetPosition();
  // A page count of 0 or an abort before the fields were filled means no
  // usable directory; a size of 0 alone does not matter here.
  Temp.WIDTH = Temp.HEIGHT = -1;
  TIFFReadStream(nullptr, Stream, pages, &Temp, progress, true, nullptr, true, true, true);
  Stream->SetPosition(pos);
  return pages > 0 && Temp.WIDTH >= 0 && Temp.HEIGHT >= 0;
}

// Reads page Index of the TIFF at Stream's position into Thumb in thumbnail
// mode; false when the read was aborted.
bool ReadTIFFThumbnail(TStream* Stream, TIOParamsVals& Temp, Integer Index, TLKBitmap* Thumb) {
  std::atomic<bool> aborted{false};
  TProgressRec progress;
  progress.AbortFlag = &aborted;
  Integer pages = 0;
  const Int64 pos = Stream->GetPosition();
  Temp.SetImageIndex(Index);
  TIFFReadStream(Thumb, Stream, pages, &Temp, progress, false, nullptr, true, true, true);
  Stream->SetPosition(pos);
  return !aborted.load() && Index < pages;
}

}  // namespace

bool CheckEXIFFromStandardBuffer(const Byte* Buffer, Integer Length) {
  return Buffer != nullptr && Length >= 5 && std::memcmp(Buffer, "Exif", 4) == 0 && Buffer[4] == 0;
}

void CopyEXIFFields(const TIOParamsVals& S, TIOParamsVals& T) {
  if (&S == &T) return;
  T.EXIF_IMAGEDESCRIPTION = S.TIFF_IMAGEDESCRIPTION;
  T.SetEXIF_Orientation(S.EXIF_ORIENTATION);
  T.SetEXIF_XResolution(S.EXIF_XRESOLUTION);
  T.SetEXIF_YResolution(S.EXIF_YRESOLUTION);
  // Every other field of the group as it is (the maker note deeply); the
  // flag and the thumbnail are the callers'.
  LKForEachParamFieldPair(T, S, [](auto& Target, const auto& Source, const TLKParamFieldInfo& Info) {
    if (Info.Reset == lkrExif && Info.Copy == lkcCopy) LKCopyParamField(Target, Source);
  });
}

bool LoadEXIFFromStandardBuffer(const Byte* Buffer, Integer Length, TIOParamsVals& Params) {
  if (!CheckEXIFFromStandardBuffer(Buffer, Length) || Length < 6) return false;
  TMemoryStream stream;
  if (Length > 6) stream.Write(Buffer + 6, Length - 6);
  stream.SetPosition(0);
  // The temporary record has no owner: only the target's setters below
  // reach the attached view.
  TIOParamsVals temp(nullptr);
  if (!ReadTIFFParams(&stream, temp)) return false;
  CopyEXIFFields(temp, Params);
  Params.EXIF_HASEXIF = true;
  TLKBitmap* thumb = Params.GetEXIF_ThumbnailImage();
  thumb->FreeImage();
  if (!ReadTIFFThumbnail(&stream, temp, 1, thumb)) thumb->FreeImage();
  LKAdjustEXIFOrientation(thumb, Params.TIFF_ORIENTATION);
  return true;
}

Int64 LKSearchEXIFInfo(TStream* Stream) {
  if (!Stream) return -1;
  const Int64 pos = Stream->GetPosition();
  Int64 result = -1;
  try {
    const Int64 size = Stream->GetSize();
    std::vector<Byte> buf(static_cast<size_t>(std::clamp<Int64>(size - pos, 0, LKEXIF_SEARCHWINDOW)));
    const Integer got = buf.empty() ? 0 : Stream->Read(buf.data(), static_cast<Integer>(buf.size()));
    for (Integer i = 0; i + 8 <= got; ++i) {
      const Byte* p = buf.data() + i;
      bool le;
      if (p[0] == 'I' && p[1] == 'I') le = true;
      else if (p[0] == 'M' && p[1] == 'M') le = false;
      else continue;
      const Word magic = le ? Word(p[2] | (p[3] << 8)) : Word((p[2] << 8) | p[3]);
      const DWORD first = le ? DWORD(p[4]) | (DWORD(p[5]) << 8) | (DWORD(p[6]) << 16) | (DWORD(p[7]) << 24)
                             : (DWORD(p[4]) << 24) | (DWORD(p[5]) << 16) | (DWORD(p[6]) << 8) | DWORD(p[7]);
      if ((magic == 42 || magic == 0x4F52 || magic == 0x5352) && Int64{first} < size) {
        result = i;
        break;
      }
    }
  } catch (...) {
    result = -1;
  }
  Stream->SetPosition(pos);
  return result;
}

bool LKLoadEXIFFromTIFF(TStream* Stream, TIOParamsVals& Params) {
  if (!Stream) return false;
  const Int64 pos = Stream->GetPosition();
  TIOParamsVals temp(nullptr);
  bool ok = false;
  try {
    ok = ReadTIFFParams(Stream, temp);
    if (ok) {
      CopyEXIFFields(temp, Params);
      Params.EXIF_HASEXIF = true;
      TLKBitmap* thumb = Params.GetEXIF_ThumbnailImage();
      thumb->FreeImage();
      if (!ReadTIFFThumbnail(Stream, temp, 0, thumb) || thumb->IsEmpty() || thumb->IsAllBlack()) {
        thumb->FreeImage();
        if (!ReadTIFFThumbnail(Stream, temp, 1, thumb) || thumb->IsEmpty() || thumb->IsAllBlack())
          thumb->FreeImage();
      }
    }
  } catch (...) {
    // Allocation failures of a thumbnail leave it empty; the fields stay.
    if (Params.EXIF_ThumbnailImage) Params.EXIF_ThumbnailImage->FreeImage();
  }
  Stream->SetPosition(pos);
  return ok;
}

void LKAdjustEXIFOrientation(TLKBitmap* Bitmap, Integer Orientation) {
  if (!Bitmap || Bitmap->IsEmpty() || Orientation < 2 || Orientation > 8) return;
  auto turn = [](TLKBitmap* b, bool clockwise) {
    TLKBitmap turned;
    if (clockwise) _Rot90oEx(b, &turned);
    else _Rot90Ex(b, &turned);
    std::unique_ptr<TLKBitmap> alpha;
    if (b->GetHasAlphaChannel()) {
      alpha = std::make_unique<TLKBitmap>();
      if (clockwise) _Rot90oEx(b->GetAlphaChannel(), alpha.get());
      else _Rot90Ex(b->GetAlphaChannel(), alpha.get());
    }
    b->Assign(&turned);
    if (alpha) b->GetAlphaChannel()->Assign(alpha.get());
  };
  switch (Orientation) {
    case 2: _FlipEx(Bitmap, fdHorizontal); break;
    case 3:
      _FlipEx(Bitmap, fdVertical);
      _FlipEx(Bitmap, fdHorizontal);
      break;
    case 4: _FlipEx(Bitmap, fdVertical); break;
    case 5:
      turn(Bitmap, true);
      _FlipEx(Bitmap, fdHorizontal);
      break;
    case 6: turn(Bitmap, true); break;
    case 7:
      turn(Bitmap, false);
      _FlipEx(Bitmap, fdHorizontal);
      break;
    case 8: turn(Bitmap, false); break;
    default: break;
  }
}

const Byte* LKFindXMPFromJpegTag(const Byte* Buffer, Integer Length) {
  if (!Buffer || Length < 30 || std::memcmp(Buffer, LKXMP_NAMESPACE, 24) != 0) return nullptr;
  const void* zero = std::memchr(Buffer, 0, static_cast<size_t>(Length));
  if (!zero) return nullptr;
  return static_cast<const Byte*>(zero) + 1;
}

bool LKLoadXMPFromJpegTag(const Byte* Buffer, Integer Length, TIOParamsVals& Params) {
  const Byte* packet = LKFindXMPFromJpegTag(Buffer, Length);
  if (!packet) return false;
  Params.XMP_INFO.assign(reinterpret_cast<const char*>(packet), static_cast<size_t>(Buffer + Length - packet));
  return true;
}
