// EXIF and XMP blocks of JPEG APP1 markers, write side.
#include "io/lkexif.h"

#include <cstring>

#include "codecs/jpeg/jpegfilt.h"
#include "codecs/tiff/tiffilt.h"
#include "codecs/tiff/tifwrite_exif.h"
#include "core/lkbitmap.h"
#include "io/lkmarkers.h"

namespace {

void PatchLE32(TMemoryStream& Stream, Int64 Position, DWORD Value) {
  if (Position < 0 || Position + 4 > Stream.GetSize()) return;
  auto* p = static_cast<Byte*>(Stream.GetMemory()) + Position;
  for (int i = 0; i < 4; ++i) p[i] = static_cast<Byte>((Value >> (8 * i)) & 0xFF);
}

// Appends the thumbnail as a second page, old-style JPEG, with the TIFF
// writer. Returns false when the page could not be made.
bool WriteThumbnailPage(TMemoryStream& Tiff, TLKBitmap* Thumb) {
  std::atomic<bool> abort{false};
  TProgressRec progress;
  progress.AbortFlag = &abort;
  TIOParamsVals page;
  page.TIFF_IMAGEINDEX = 1;
  page.TIFF_COMPRESSION = ioTIFF_OLDJPEG;
  page.TIFF_JPEGCOLORSPACE = ioJPEG_YCbCr;
  Tiff.SetPosition(Tiff.GetSize());
  return TIFFWriteStream(&Tiff, true, Thumb, page, progress) == 2 && !abort.load();
}

}  // namespace

void SaveEXIFToStandardBuffer(TIOParamsVals& Params, std::vector<Byte>& Buffer) {
  Buffer.clear();
  std::atomic<bool> abort{false};
  TMemoryStream tiff;
  const Byte header[8] = {'I', 'I', 42, 0, 0, 0, 0, 0};
  tiff.Write(header, 8);

  TLKTIFFDirWriter main(&tiff, 0, &abort);
  if (Params.EXIF_HASEXIF) {
    TIFFWriteEXIF(main, &tiff, 0, Params, &abort);
  } else {
    main.AddText(270, Params.TIFF_IMAGEDESCRIPTION);
    main.AddRationalPairs(282, {{static_cast<DWORD>(std::max(0, Params.DPIX)), 1}});
    main.AddRationalPairs(283, {{static_cast<DWORD>(std::max(0, Params.DPIY)), 1}});
    main.AddShort(296, {2});
  }
  Int64 linkPos = -1;
  const DWORD first = main.WriteDirectory(0, &linkPos);
  PatchLE32(tiff, 4, first);

  TLKBitmap* thumb = Params.EXIF_ThumbnailImage.get();
  // The reader turns the thumbnail upright by the orientation; the page
  // holds it as the picture is stored, so a saved and loaded thumbnail
  // comes back the way it went out. Orientations 6 and 8 undo each other,
  // the others are their own inverse.
  TLKBitmap turned;
  const Integer orientation = Params.TIFF_ORIENTATION;
  if (thumb && !thumb->IsEmpty() && orientation >= 2 && orientation <= 8) {
    turned.Assign(thumb);
    LKAdjustEXIFOrientation(&turned, orientation == 6 ? 8 : orientation == 8 ? 6 : orientation);
    thumb = &turned;
  }
  if (thumb && !thumb->IsEmpty()) {
    const Int64 before = tiff.GetSize();
    if (!WriteThumbnailPage(tiff, thumb)) {
      // Without a usable thumbnail the block keeps its first page only.
      PatchLE32(tiff, linkPos, 0);
      tiff.SetSize(before);
    }
  }

  Buffer.resize(static_cast<std::size_t>(tiff.GetSize()) + 6);
  std::memcpy(Buffer.data(), "Exif\0\0", 6);
  std::memcpy(Buffer.data() + 6, tiff.GetMemory(), static_cast<std::size_t>(tiff.GetSize()));
}

void LKSaveXMPToJpegTag(const TIOParamsVals& Params, std::vector<Byte>& Buffer) {
  Buffer.assign(LKXMP_NAMESPACE, LKXMP_NAMESPACE + LKXMP_PREFIXLEN);
  Buffer.insert(Buffer.end(), Params.XMP_INFO.begin(), Params.XMP_INFO.end());
}

// ---------------------------------------------------------------------------
// JPEG markers refreshed before every save

namespace {

constexpr Byte kAPP1 = 0xE1, kAPP13 = 0xED;

bool FitsMarker(const std::vector<Byte>& Block) { return Block.size() <= size_t(LKMaxMarkerPayload); }

// Deletes the first APP1 marker that Is accepts.
void DeleteFirstAPP1(TLKMarkerList& Markers, bool (*Is)(const Byte*, Integer)) {
  for (Integer i = 0; i < Markers.GetCount(); ++i)
    if (Markers.GetMarkerType(i) == kAPP1 && Is(Markers.GetMarkerData(i), Markers.GetMarkerLength(i))) {
      Markers.DeleteMarker(i);
      return;
    }
}

bool IsEXIFBlock(const Byte* Data, Integer Length) { return Data && CheckEXIFFromStandardBuffer(Data, Length); }
bool IsXMPBlock(const Byte* Data, Integer Length) { return Data && LKFindXMPFromJpegTag(Data, Length) != nullptr; }

}  // namespace

namespace {

// The EXIF fields that describe the picture itself follow the picture being
// saved (a crop or a resize since the read changed it): its size, and the
// thumbnail when the record keeps one, made anew from the picture and held
// upright as a read holds it.
void FollowSavedPicture(TIOParamsVals& P) {
  TLKBitmap* picture = P.OwnerIO ? P.OwnerIO->GetParamsBitmap() : nullptr;
  if (!P.EXIF_HASEXIF || picture == nullptr || picture->IsEmpty()) return;
  P.EXIF_EXIFIMAGEWIDTH = picture->GetWidth();
  P.EXIF_EXIFIMAGEHEIGHT = picture->GetHeight();
  // What every JPEG's block states and the saved file itself tells, where
  // the record knows nothing better: its resolution, centred chroma, sRGB.
  if (P.EXIF_XRESOLUTION <= 0 && P.DPIX > 0) P.EXIF_XRESOLUTION = P.DPIX;
  if (P.EXIF_YRESOLUTION <= 0 && P.DPIY > 0) P.EXIF_YRESOLUTION = P.DPIY;
  if (P.EXIF_YCbCrPositioning == 0) P.EXIF_YCbCrPositioning = 1;
  if (P.EXIF_COLORSPACE == 0) P.EXIF_COLORSPACE = 1;
  if (P.EXIF_FLASHPIXVERSION.empty()) P.EXIF_FLASHPIXVERSION = "0100";
  if (P.EXIF_ThumbnailImage && !P.EXIF_ThumbnailImage->IsEmpty()) {
    P.UpdateEXIFThumbnail();
    LKAdjustEXIFOrientation(P.EXIF_ThumbnailImage.get(), P.TIFF_ORIENTATION);
  }
}

}  // namespace

bool LKRefreshJpegMarkers(TIOParamsVals& P) {
  FollowSavedPicture(P);
  TLKIPTCInfoList& iptc = P.IPTC_Records;
  TLKMarkerList& markers = P.JPEG_Markers;
  const bool iptcDue = iptc.GetChangedSinceRead() || (iptc.GetCount() > 0 && markers.GetCount() == 0);
  std::vector<Byte> iptcBlock, exifBlock, xmpBlock;
  if (iptcDue) iptcBlock = iptc.SaveToStandardBuffer(true);
  if (P.EXIF_HASEXIF) SaveEXIFToStandardBuffer(P, exifBlock);
  if (!P.XMP_INFO.empty()) LKSaveXMPToJpegTag(P, xmpBlock);
  if (!FitsMarker(iptcBlock) || !FitsMarker(exifBlock) || !FitsMarker(xmpBlock)) return false;

  if (iptcDue) {
    const Integer at = markers.IndexOf(kAPP13);
    if (iptcBlock.empty()) {
      if (at >= 0) markers.DeleteMarker(at);
    } else if (at >= 0) {
      markers.SetMarker(at, kAPP13, iptcBlock.data(), Integer(iptcBlock.size()));
    } else {
      markers.AddMarker(kAPP13, iptcBlock.data(), Integer(iptcBlock.size()));
    }
  }
  if (P.EXIF_HASEXIF) {
    DeleteFirstAPP1(markers, IsEXIFBlock);
    markers.AddMarker(kAPP1, exifBlock.data(), Integer(exifBlock.size()));
  }
  if (!P.XMP_INFO.empty()) {
    DeleteFirstAPP1(markers, IsXMPBlock);
    markers.AddMarker(kAPP1, xmpBlock.data(), Integer(xmpBlock.size()));
  }
  return true;
}
