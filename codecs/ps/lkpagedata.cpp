#include "codecs/ps/lkpagedata.h"

#include "codecs/jpeg/jpegfilt.h"
#include "codecs/tiff/ccitt.h"
#include "core/lkabort.h"

TLKBitmap* LKPageBitmap(TLKBitmap* Bitmap, std::unique_ptr<TLKBitmap>& Copy, TProgressRec& Progress,
                        const char* Format) {
  if (!Bitmap || Bitmap->IsEmpty() || Bitmap->GetWidth() <= 0 || Bitmap->GetHeight() <= 0) {
    LKAbort(Progress, String(Format) + ": the picture has no pixels");
    return nullptr;
  }
  const TLKPixelFormat f = Bitmap->GetPixelFormat();
  if (f == lk1g || f == lk24RGB) return Bitmap;
  // Other formats are written from a 24-bit copy; the caller's picture stays
  // as it is.
  Copy = std::make_unique<TLKBitmap>();
  Copy->Assign(Bitmap);
  Copy->SetPixelFormat(lk24RGB);
  return Copy.get();
}

void LKJoinBitRows(TLKBitmap& Bitmap, std::vector<Byte>& Out) {
  const Integer w = Bitmap.GetWidth(), h = Bitmap.GetHeight();
  const size_t rowBytes = size_t(w + 7) / 8;
  Out.resize(rowBytes * size_t(h));
  for (Integer y = 0; y < h; ++y) {
    const auto* row = static_cast<const Byte*>(Bitmap.GetScanLine(y));
    Byte* dst = Out.data() + rowBytes * size_t(y);
    std::copy(row, row + rowBytes, dst);
    // Bits past the width are padding; keep them white.
    if (w % 8) dst[rowBytes - 1] |= Byte(0xFF >> (w % 8));
  }
}

void LKFaxEncodePage(TLKBitmap& Bitmap, bool G4, TProgressRec& Progress, std::vector<Byte>& Out) {
  const Integer w = Bitmap.GetWidth(), h = Bitmap.GetHeight();
  std::atomic<bool> localAbort{false};
  std::atomic<bool>* abort = Progress.AbortFlag ? Progress.AbortFlag : &localAbort;
  TMemoryStream ms;
  TCCITTEncoder state;
  for (Integer y = 0; y < h && !abort->load(); ++y) {
    const auto* row = static_cast<const Byte*>(Bitmap.GetScanLine(y));
    if (G4) CCITTHuffmanPutLineG4(row, w, &ms, state, abort, 1);
    else CCITTHuffmanPutLineG32D(row, w, &ms, state, abort, 1);
    LKPageProgress(Progress, y, h);
  }
  if (G4) CCITTHuffmanPutLineG4(nullptr, w, &ms, state, abort, 1);
  else CCITTHuffmanPutLineG32D(nullptr, w, &ms, state, abort, 1);
  const auto* b = static_cast<const Byte*>(ms.Memory());
  Out.assign(b, b + ms.Size());
}

void LKRGBRow(TLKBitmap& Bitmap, Integer Y, Byte* Out) {
  const Integer w = Bitmap.GetWidth();
  const auto* row = static_cast<const Byte*>(Bitmap.GetScanLine(Y));
  for (Integer x = 0; x < w; ++x) {
    Out[3 * x] = row[3 * x + 2];
    Out[3 * x + 1] = row[3 * x + 1];
    Out[3 * x + 2] = row[3 * x];
  }
}

void LKPageProgress(TProgressRec& Progress, Integer Row, Integer Height) {
  if (Progress.OnProgress && Height > 0) Progress.OnProgress(Progress.Sender, Integer(Int64(Row) * 100 / Height));
}

TIOJPEGColorspace LKPageJpegColorspace(TIOJPEGColorspace Wanted, bool GreyAllowed) {
  switch (Wanted) {
    case ioJPEG_RGB:
    case ioJPEG_YCbCr: return Wanted;
    case ioJPEG_GRAYLEV: return GreyAllowed ? Wanted : ioJPEG_YCbCr;
    default: return ioJPEG_YCbCr;
  }
}

TIOJPEGColorspace LKPageJpeg(TLKBitmap& Bitmap, TIOParamsVals& Params, TProgressRec& Progress, bool GreyAllowed,
                             TMemoryStream& Out) {
  const TIOJPEGColorspace wanted = Params.JPEG_COLORSPACE;
  const TIOJPEGColorspace used = LKPageJpegColorspace(wanted, GreyAllowed);
  Params.JPEG_COLORSPACE = used;
  try {
    WriteJPegStream(&Out, &Bitmap, Params, Progress);
  } catch (...) {
    Params.JPEG_COLORSPACE = wanted;
    throw;
  }
  Params.JPEG_COLORSPACE = wanted;
  return used;
}
