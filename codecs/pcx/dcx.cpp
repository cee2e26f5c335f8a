// DCX files: a magic number, a table of page offsets, then PCX pictures.
#include <algorithm>
#include <cstring>
#include <vector>

#include "codecs/lkcodecutil.h"
#include "codecs/pcx/pcxfilt.h"
#include "io/lkformatrow.h"

namespace {

constexpr Cardinal kMagic = 0x3ADE68B1u;  // 987654321

// The page offsets of the DCX at the stream's position (relative to it),
// and the stream's size from there. False when the stream is no DCX.
bool ReadTable(TStream& S, std::vector<Int64>& Offsets, Int64& Size) {
  Offsets.clear();
  return LKProbeWith(S, [&](TLKByteReader& r) {
    Size = r.Size();
    if (r.U32LE() != kMagic || !r.Ok()) return false;
    for (Integer i = 0; i < kLKDCXMaxPages && r.Remaining() >= 4; ++i) {
      const Cardinal offset = r.U32LE();
      if (offset == 0) break;
      if (Int64(offset) >= Size) return false;
      Offsets.push_back(offset);
    }
    return true;
  });
}

// Bytes of page I: to the nearest offset above its own, else to the end.
Int64 PageLength(const std::vector<Int64>& Offsets, size_t I, Int64 Size) {
  Int64 end = Size;
  for (Int64 o : Offsets)
    if (o > Offsets[I] && o < end) end = o;
  return end - Offsets[I];
}

// Replaces what the stream holds from Base on with Data.
void Replace(TStream& S, Int64 Base, const std::vector<Byte>& Data) {
  S.SetSize(Base);
  S.Seek(Base, soBeginning);
  if (!Data.empty()) S.WriteBuffer(Data.data(), Int64(Data.size()));
  S.Seek(Base, soBeginning);
}

// Appends page I of the stream to the image.
void CopyPage(TStream& S, Int64 Base, const std::vector<Int64>& Offsets, size_t I, Int64 Size,
              std::vector<Byte>& Out) {
  const Int64 n = PageLength(Offsets, I, Size);
  const size_t at = Out.size();
  Out.resize(at + size_t(n));
  S.Seek(Base + Offsets[I], soBeginning);
  Out.resize(at + size_t(lkcodec::ReadFull(S, Out.data() + at, n)));
}

}  // namespace

bool LKDCXTryStream(TStream* Stream) {
  if (!Stream) return false;
  std::vector<Int64> offsets;
  Int64 size = 0;
  return ReadTable(*Stream, offsets, size);
}

Integer LKDCXCountStream(TStream* Stream) {
  if (!Stream) return 0;
  std::vector<Int64> offsets;
  Int64 size = 0;
  return ReadTable(*Stream, offsets, size) ? Integer(offsets.size()) : 0;
}

void LKDCXReadStream(TStream* Stream, TLKBitmap* Bitmap, TIOParamsVals& Params, TProgressRec& Progress,
                     bool ParamsOnly) {
  std::vector<Int64> offsets;
  Int64 size = 0;
  if (!Stream || !ReadTable(*Stream, offsets, size) || offsets.empty())
    return LKAbort(Progress, "DCX: damaged or unsupported data");
  const Integer index = std::clamp<Integer>(Params.DCX_IMAGEINDEX, 0, Integer(offsets.size()) - 1);
  Params.SetImageIndex(index);
  Params.SetImageCount(Integer(offsets.size()));
  const Int64 base = Stream->Position();
  Stream->Seek(base + offsets[size_t(index)], soBeginning);
  ReadPcxStream(Stream, Bitmap, Params, PageLength(offsets, size_t(index), size), Progress, ParamsOnly);
}

void LKDCXInsertStream(TStream* Stream, TLKBitmap* Bitmap, TIOParamsVals& Params, TProgressRec& Progress) {
  if (!Stream) return LKAbort(Progress, "DCX: no stream");
  TStream& S = *Stream;
  const Int64 base = S.Position();
  std::vector<Int64> offsets;
  Int64 size = S.Size() - base;
  if (size > 0 && !ReadTable(S, offsets, size)) return LKAbort(Progress, "DCX: damaged or unsupported data");
  const Integer pages = Integer(offsets.size());
  const Integer index = Params.DCX_IMAGEINDEX;
  const bool adds = index >= 0 && index <= pages;
  if (adds && pages >= kLKDCXMaxPages) return LKAbort(Progress, "DCX: the page table is full");
  // The new file: magic, a table of pages + 2 entries, the pages.
  const Integer entries = pages + 2;
  std::vector<Byte> out(size_t(4 + 4 * entries), 0);
  lkcodec::PutLe32(out.data(), kMagic);
  std::vector<Int64> placed;
  TMemoryStream page;
  auto writeNew = [&] {
    placed.push_back(Int64(out.size()));
    page.SetSize(0);
    WritePcxStream(&page, Bitmap, Params, Progress);
    const Byte* m = static_cast<const Byte*>(page.GetMemory());
    out.insert(out.end(), m, m + page.Size());
  };
  for (Integer p = 0; p < pages; ++p) {
    if (p == index) writeNew();
    placed.push_back(Int64(out.size()));
    CopyPage(S, base, offsets, size_t(p), size, out);
  }
  if (index == pages) writeNew();
  if (LKAborted(Progress)) {
    S.Seek(base, soBeginning);
    return;
  }
  if (Int64(out.size()) > Int64(0xFFFFFFFFu)) return LKAbort(Progress, "DCX: file too large for its offsets");
  for (size_t i = 0; i < placed.size(); ++i) lkcodec::PutLe32(out.data() + 4 + 4 * i, DWORD(placed[i]));
  Replace(S, base, out);
}

Integer LKDCXDeleteStream(TStream* Stream, Integer Index) {
  if (!Stream) return 0;
  TStream& S = *Stream;
  const Int64 base = S.Position();
  std::vector<Int64> offsets;
  Int64 size = 0;
  if (!ReadTable(S, offsets, size) || offsets.empty()) return 0;
  const Integer pages = Integer(offsets.size());
  const Integer index = std::clamp<Integer>(Index, 0, pages - 1);
  std::vector<Byte> out(size_t(4 + 4 * pages), 0);
  lkcodec::PutLe32(out.data(), kMagic);
  Integer k = 0;
  for (Integer p = 0; p < pages; ++p) {
    if (p == index) continue;
    lkcodec::PutLe32(out.data() + 4 + 4 * k++, DWORD(out.size()));
    CopyPage(S, base, offsets, size_t(p), size, out);
  }
  Replace(S, base, out);
  return pages - 1;
}

bool LKDCXExtractStream(TStream* Stream, Integer Index, TStream* Output) {
  if (!Stream || !Output) return false;
  std::vector<Int64> offsets;
  Int64 size = 0;
  if (!ReadTable(*Stream, offsets, size) || Index < 0 || Index >= Integer(offsets.size())) return false;
  std::vector<Byte> out;
  const Int64 base = Stream->Position();
  CopyPage(*Stream, base, offsets, size_t(Index), size, out);
  Stream->Seek(base, soBeginning);
  if (!out.empty()) Output->WriteBuffer(out.data(), Int64(out.size()));
  return true;
}
