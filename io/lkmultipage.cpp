// The page operations of the multi-page formats and the file routines.
#include "io/lkmultipage.h"

#include <algorithm>

#include "io/lkfileformats.h"
#include "io/lkparams.h"
#include "io/lumerakio_frame.h"
#include "platform/avifile.h"

namespace {

// The file's bytes in memory.
void Load(const String& FileName, TMemoryStream& M) {
  auto f = lkio::OpenForRead(FileName);
  M.CopyFrom(f.get(), 0);
  M.Seek(0, soBeginning);
}

// Puts M in place of the file (through a temporary file and a rename).
void Store(TMemoryStream& M, const String& FileName) {
  lkio::TSaveFile file(FileName);
  file.Stream()->WriteBuffer(M.GetMemory(), M.Size());
  file.Commit();
}

template <typename F>
Integer Quietly(F Body) {
  try {
    return Body();
  } catch (...) {
    return 0;
  }
}

}  // namespace

const TLKPageOps* LKPageOpsOf(Integer FileType) {
  const TLKFormatRow* row = LKFormatRowOf(FileType);
  return row ? row->Pages : nullptr;
}

Integer LKCountFilePages(const String& FileName, Integer FileType) {
  const TLKPageOps* ops = LKPageOpsOf(FileType);
  if (!ops) return 0;
  auto f = lkio::OpenForRead(FileName);
  return ops->Count(*f);
}

Integer LKDeleteFilePage(const String& FileName, Integer FileType, Integer Index) {
  const TLKPageOps* ops = LKPageOpsOf(FileType);
  if (!ops || !ops->Delete) return 0;
  TMemoryStream m;
  Load(FileName, m);
  const Int64 before = m.Size();
  const Integer kept = ops->Delete(m, Index);
  if (m.Size() != before) Store(m, FileName);  // a deletion always makes the file shorter
  return kept;
}

Integer LKDeleteFilePages(const String& FileName, Integer FileType, const std::vector<Integer>& Indexes) {
  const TLKPageOps* ops = LKPageOpsOf(FileType);
  if (!ops || !ops->DeleteGroup) return 0;
  TMemoryStream m;
  Load(FileName, m);
  const Integer kept = ops->DeleteGroup(m, Indexes.data(), Integer(Indexes.size()));
  if (kept > 0) Store(m, FileName);
  return kept;
}

Integer DeleteGIFIm(const String& FileName, Integer Index) { return LKDeleteFilePage(FileName, lkftGIF, Index); }
Integer DeleteTIFFIm(const String& FileName, Integer Index) { return LKDeleteFilePage(FileName, lkftTIFF, Index); }
Integer DeleteTIFFImGroup(const String& FileName, const std::vector<Integer>& Indexes) {
  return LKDeleteFilePages(FileName, lkftTIFF, Indexes);
}
Integer DeleteDCXIm(const String& FileName, Integer Index) { return LKDeleteFilePage(FileName, lkftDCX, Index); }

Integer EnumGIFIm(const String& FileName) {
  return Quietly([&] { return LKCountFilePages(FileName, lkftGIF); });
}
Integer EnumTIFFIm(const String& FileName) { return LKCountFilePages(FileName, lkftTIFF); }
Integer EnumTIFFStream(TStream* Stream) {
  const TLKPageOps* ops = LKPageOpsOf(lkftTIFF);
  return Stream && ops ? ops->Count(*Stream) : 0;
}
Integer EnumDCXIm(const String& FileName) { return LKCountFilePages(FileName, lkftDCX); }
Integer EnumICOIm(const String& FileName) { return LKCountFilePages(FileName, lkftICO); }

bool CheckAniGIF(const String& FileName) {
  const TLKPageOps* ops = LKPageOpsOf(lkftGIF);
  if (!ops || !ops->IsAnimated) return false;
  try {
    return ops->IsAnimated(FileName);
  } catch (...) {
    return false;
  }
}

namespace {

// Page Index of Source written to Output as a file of one page.
bool ExtractPage(Integer FileType, TStream& Source, Integer Index, TStream& Output) {
  const TLKPageOps* ops = LKPageOpsOf(FileType);
  return ops && ops->Extract && ops->Extract(Source, Index, Output);
}

bool MergePages(Integer FileType, TStream& Source, TStream& Inserted, Integer Index, TStream& Output) {
  const TLKPageOps* ops = LKPageOpsOf(FileType);
  return ops && ops->Merge && ops->Merge(Source, Inserted, Index, Output);
}

}  // namespace

bool ExtractTIFFImageStream(TStream* Source, TStream* Output, Integer Index) {
  return Source && Output && ExtractPage(lkftTIFF, *Source, Index, *Output);
}

bool ExtractTIFFImageFile(const String& Source, const String& Output, Integer Index) {
  auto in = lkio::OpenForRead(Source);
  TMemoryStream out;
  const bool ok = ExtractPage(lkftTIFF, *in, Index, out);
  in.reset();
  Store(out, Output);
  return ok;
}

bool ExtractDCXImageStream(TStream* Source, TStream* Output, Integer Index) {
  return Source && Output && ExtractPage(lkftDCX, *Source, Index, *Output);
}

bool InsertTIFFImageStream(TStream* Source, TStream* Insert, TStream* Output, Integer Index) {
  return Source && Insert && Output && MergePages(lkftTIFF, *Source, *Insert, Index, *Output);
}

bool InsertTIFFImageFile(const String& Source, const String& Insert, const String& Output, Integer Index) {
  auto a = lkio::OpenForRead(Source);
  auto b = lkio::OpenForRead(Insert);
  TMemoryStream out;
  const bool ok = MergePages(lkftTIFF, *a, *b, Index, out);
  a.reset();
  b.reset();
  Store(out, Output);
  return ok;
}

Integer LKGetFileFramesCount(const String& FileName) {
  const PLKFileFormatInfo info = LKFileFormatGetInfo2(lkio::LowerExt(FileName));
  if (lkio::LowerExt(FileName) == ".avi") {
    TAviReader avi;
    return avi.Open(FileName) ? avi.FrameCount() : 0;
  }
  if (!info || info->FormatType == lkftUnknown || info->FormatType == lkftAVI) {
    // Any other name may be a media file.
    TLumerakIO io;
    const Integer n = io.OpenMediaFile(FileName);
    io.CloseMediaFile();
    return n;
  }
  if (LKPageOpsOf(info->FormatType)) return LKCountFilePages(FileName, info->FormatType);
  return 1;
}
