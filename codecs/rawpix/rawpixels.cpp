// Headerless pixels and the metafile probes.
#include <algorithm>
#include <cstring>
#include <vector>

#include "codecs/lkcodecutil.h"
#include "codecs/rawpix/rawpixels.h"
#include "io/lkformatrow.h"

namespace {

bool Planar(const TIOParamsVals& P, TLKPixelFormat F) {
  return P.BMPRAW_Planes == plPlanar && (F == lk24RGB || F == lk48RGB || F == lkCMYK);
}

// Samples per pixel and bytes per sample of a planar format.
void PlaneShape(TLKPixelFormat F, Integer& Planes, Integer& SampleBytes) {
  Planes = F == lkCMYK ? 4 : 3;
  SampleBytes = F == lk48RGB ? 2 : 1;
}

// Whether the stream order of the first and third samples differs from the
// bitmap's own order.
bool Swapped(const TIOParamsVals& P, TLKPixelFormat F) {
  return (F == lk24RGB && P.BMPRAW_ChannelOrder == coRGB) || (F == lk48RGB && P.BMPRAW_ChannelOrder == coBGR);
}

void SwapRow(Byte* Row, Integer Width, TLKPixelFormat F) {
  if (F == lk24RGB) {
    for (Integer x = 0; x < Width; ++x) std::swap(Row[3 * x], Row[3 * x + 2]);
  } else {
    Word* w = reinterpret_cast<Word*>(Row);
    for (Integer x = 0; x < Width; ++x) std::swap(w[3 * x], w[3 * x + 2]);
  }
}

// The plane that holds sample Sample of every pixel, in stream order.
Integer PlaneOfSample(const TIOParamsVals& P, TLKPixelFormat F, Integer Sample) {
  if (F == lkCMYK) return Sample;
  // In memory lk24RGB is blue, green, red and lk48RGB red, green, blue.
  const bool redFirst = P.BMPRAW_ChannelOrder == coRGB;
  const bool memRedFirst = F == lk48RGB;
  return redFirst == memRedFirst ? Sample : 2 - Sample;
}

bool Refused(TLKBitmap* B, TProgressRec& Progress) {
  if (!B || B->GetPixelFormat() == lknull || B->GetPixelFormat() == lkCIELab || B->GetWidth() <= 0 ||
      B->GetHeight() <= 0) {
    LKAbort(Progress, "Raw pixels: the bitmap's pixel format cannot be moved as raw pixels");
    return true;
  }
  return false;
}

}  // namespace

Int64 LKRawRowBytes(Integer Width, Integer Bits, Integer Alignment) {
  const Int64 a = Alignment == 16 || Alignment == 32 ? Alignment : 8;
  return (Int64(Width) * Bits + a - 1) / a * (a / 8);
}

void LKRealRAWReadStream(TStream* Stream, TLKBitmap* Bitmap, TIOParamsVals& Params, TProgressRec& Progress) {
  if (!Stream || Refused(Bitmap, Progress)) return;
  TStream& S = *Stream;
  TLKBitmap& B = *Bitmap;
  const TLKPixelFormat f = B.GetPixelFormat();
  const Integer w = B.GetWidth(), h = B.GetHeight();
  if (Params.BMPRAW_SkipBytes > 0) S.Seek(std::min<Int64>(Params.BMPRAW_SkipBytes, lkcodec::Remaining(S)), soCurrent);
  if (!Planar(Params, f)) {
    const Int64 streamRow = LKRawRowBytes(w, B.GetBitCount(), Params.BMPRAW_RowAlignBits);
    const Int64 rowLen = std::min(streamRow, LKRawRowBytes(w, B.GetBitCount(), 8));
    const bool swap = Swapped(Params, f);
    for (Integer y = 0; y < h; ++y) {
      Byte* row = static_cast<Byte*>(B.GetScanLine(y));
      const Int64 got = lkcodec::ReadFull(S, row, rowLen);
      if (swap) SwapRow(row, Integer(got / (f == lk24RGB ? 3 : 6)), f);
      if (got < rowLen) break;
      if (streamRow > rowLen) S.Seek(std::min(streamRow - rowLen, lkcodec::Remaining(S)), soCurrent);
      lkcodec::Report(Progress, LKTrunc(y * 100.0 / h));
    }
    return;
  }
  Integer planes = 0, sb = 0;
  PlaneShape(f, planes, sb);
  const Int64 planeRow = LKRawRowBytes(w, 8 * sb, Params.BMPRAW_RowAlignBits);
  std::vector<Byte> buf(static_cast<size_t>(planeRow));
  const Integer px = planes * sb;
  for (Integer p = 0; p < planes; ++p) {
    lkcodec::Report(Progress, planes == 4 ? p * 25 : p * 33);
    const Integer sample = PlaneOfSample(Params, f, p);
    for (Integer y = 0; y < h; ++y) {
      const Int64 got = lkcodec::ReadFull(S, buf.data(), planeRow);
      Byte* row = static_cast<Byte*>(B.GetScanLine(y));
      const Integer n = Integer(std::min<Int64>(w, got / sb));
      for (Integer x = 0; x < n; ++x) std::memcpy(row + x * px + sample * sb, buf.data() + x * sb, size_t(sb));
      if (got < planeRow) return;
    }
  }
  lkcodec::Report(Progress, 100);
}

void LKRealRAWWriteStream(TStream* Stream, TLKBitmap* Bitmap, TIOParamsVals& Params, TProgressRec& Progress) {
  if (!Stream || Refused(Bitmap, Progress)) return;
  TStream& S = *Stream;
  TLKBitmap& B = *Bitmap;
  std::atomic<bool>* abort = Progress.AbortFlag;
  const TLKPixelFormat f = B.GetPixelFormat();
  const Integer w = B.GetWidth(), h = B.GetHeight();
  if (!Planar(Params, f)) {
    const Int64 streamRow = LKRawRowBytes(w, B.GetBitCount(), Params.BMPRAW_RowAlignBits);
    const Int64 rowLen = std::min(streamRow, LKRawRowBytes(w, B.GetBitCount(), 8));
    const bool swap = Swapped(Params, f);
    // The row goes through a scratch row: padding is zero and the bitmap is
    // left as it is.
    std::vector<Byte> row(size_t(streamRow), 0);
    for (Integer y = 0; y < h; ++y) {
      if (LKAborted(Progress)) return;
      std::memcpy(row.data(), B.GetScanLine(y), size_t(rowLen));
      if (swap) SwapRow(row.data(), w, f);
      SafeStreamWrite(&S, abort, row.data(), Integer(streamRow));
      lkcodec::Report(Progress, LKTrunc(y * 100.0 / h));
    }
    return;
  }
  Integer planes = 0, sb = 0;
  PlaneShape(f, planes, sb);
  const Int64 planeRow = LKRawRowBytes(w, 8 * sb, Params.BMPRAW_RowAlignBits);
  std::vector<Byte> buf(size_t(planeRow), 0);
  const Integer px = planes * sb;
  for (Integer p = 0; p < planes; ++p) {
    lkcodec::Report(Progress, planes == 4 ? p * 25 : p * 33);
    const Integer sample = PlaneOfSample(Params, f, p);
    for (Integer y = 0; y < h; ++y) {
      if (LKAborted(Progress)) return;
      const Byte* row = static_cast<const Byte*>(B.GetScanLine(y));
      for (Integer x = 0; x < w; ++x) std::memcpy(buf.data() + x * sb, row + x * px + sample * sb, size_t(sb));
      SafeStreamWrite(&S, abort, buf.data(), Integer(planeRow));
    }
  }
  lkcodec::Report(Progress, 100);
}

bool LKEMFTryStream(TStream* Stream) {
  return Stream && LKProbeWith(*Stream, [](TLKByteReader& r) {
           return r.Size() >= 100 && r.U32LEAt(0) == 1 && r.U32LEAt(40) == 0x464D4520u;
         });
}

bool LKWMFTryStream(TStream* Stream) {
  return Stream && LKProbeWith(*Stream, [](TLKByteReader& r) {
           if (r.Size() < 20) return false;
           const Int64 start = r.U32LEAt(0) == 0x9AC6CDD7u ? 22 : 0;
           const Word type = r.U16LEAt(start), header = r.U16LEAt(start + 2), params = r.U16LEAt(start + 16);
           return r.Ok() && type == 1 && header == 9 && params == 0;
         });
}
