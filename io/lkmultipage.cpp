// The page operations of the multi-page formats and the file routines.
#include "io/lkmultipage.h"

#include <algorithm>

#include "codecs/gif/giffilter.h"
#include "codecs/ico/icofilt.h"
#include "codecs/pcx/pcxfilt.h"
#include "codecs/tiff/tiffilt.h"
#include "codecs/tiff/tiffpages.h"
#include "io/lkfileformats.h"
#include "io/lkparams.h"
#include "io/lumerakio_frame.h"

namespace {

// ---- TIFF
Integer TIFFCount(TStream& S) { return _EnumTIFFImStream(&S); }
Integer TIFFDelete(TStream& S, Integer Index) { return _DeleteTIFFImStream(&S, Index); }
bool TIFFExtract(TStream& S, Integer Index, TStream& Out) { return _ExtractTIFFImStream(&S, Index, &Out); }
void TIFFInsert(TLKFormatJob& J) {
  if (J.Stream.Size() == 0) {
    TIFFWriteStream(&J.Stream, false, J.Bitmap, J.Params, J.Progress);
    return;
  }
  J.Stream.Seek(0, soBeginning);
  TIFFWriteStream(&J.Stream, true, J.Bitmap, J.Params, J.Progress);
}

// ---- GIF
Integer GIFCount(TStream& S) { return _DeleteGIFImStream(&S, -1, false); }
Integer GIFDelete(TStream& S, Integer Index) {
  const Integer pages = GIFCount(S);
  if (Index < 0 || Index >= pages) return 0;
  return _DeleteGIFImStream(&S, Index, true);
}
void GIFInsert(TLKFormatJob& J) {
  if (_InsertGIFImStream(&J.Stream, J.Bitmap, J.Params, J.Progress) == 0 && !LKAborted(J.Progress))
    LKAbort(J.Progress, "GIF: the frame could not be inserted");
}

// ---- DCX
Integer DCXCount(TStream& S) { return LKDCXCountStream(&S); }
Integer DCXDelete(TStream& S, Integer Index) { return LKDCXDeleteStream(&S, Index); }
bool DCXExtract(TStream& S, Integer Index, TStream& Out) { return LKDCXExtractStream(&S, Index, &Out); }
void DCXInsert(TLKFormatJob& J) { LKDCXInsertStream(&J.Stream, J.Bitmap, J.Params, J.Progress); }

// ---- icons
Integer ICOCount(TStream& S) { return _EnumICOImStream(&S); }

const TLKPageOps kOps[] = {
    {lkftTIFF, TIFFCount, TIFFDelete, TIFFExtract, TIFFInsert},
    {lkftGIF, GIFCount, GIFDelete, nullptr, GIFInsert},
    {lkftDCX, DCXCount, DCXDelete, DCXExtract, DCXInsert},
    {lkftICO, ICOCount, nullptr, nullptr, nullptr},
};

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
  for (const TLKPageOps& o : kOps)
    if (o.Type == FileType) return &o;
  return nullptr;
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
  if (FileType != lkftTIFF) return 0;
  TMemoryStream m;
  Load(FileName, m);
  const std::vector<Integer> copy = Indexes;
  const Integer kept = _DeleteTIFFImStreamGroup(&m, copy.data(), Integer(copy.size()));
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
Integer EnumTIFFStream(TStream* Stream) { return Stream ? TIFFCount(*Stream) : 0; }
Integer EnumDCXIm(const String& FileName) { return LKCountFilePages(FileName, lkftDCX); }
Integer EnumICOIm(const String& FileName) { return LKCountFilePages(FileName, lkftICO); }

bool CheckAniGIF(const String& FileName) {
  try {
    return _CheckGIFAnimate(FileName);
  } catch (...) {
    return false;
  }
}

bool ExtractTIFFImageStream(TStream* Source, TStream* Output, Integer Index) {
  return Source && Output && TIFFExtract(*Source, Index, *Output);
}

bool ExtractTIFFImageFile(const String& Source, const String& Output, Integer Index) {
  auto in = lkio::OpenForRead(Source);
  TMemoryStream out;
  const bool ok = TIFFExtract(*in, Index, out);
  in.reset();
  Store(out, Output);
  return ok;
}

bool ExtractDCXImageStream(TStream* Source, TStream* Output, Integer Index) {
  return Source && Output && DCXExtract(*Source, Index, *Output);
}

bool InsertTIFFImageStream(TStream* Source, TStream* Insert, TStream* Output, Integer Index) {
  return Source && Insert && Output && _InsertTIFFImStream(Source, Insert, Index, Output) >= 0;
}

bool InsertTIFFImageFile(const String& Source, const String& Insert, const String& Output, Integer Index) {
  auto a = lkio::OpenForRead(Source);
  auto b = lkio::OpenForRead(Insert);
  TMemoryStream out;
  const bool ok = _InsertTIFFImStream(a.get(), b.get(), Index, &out) >= 0;
  a.reset();
  b.reset();
  Store(out, Output);
  return ok;
}

Integer LKGetFileFramesCount(const String& FileName) {
  const PLKFileFormatInfo info = LKFileFormatGetInfo2(lkio::LowerExt(FileName));
  if (!info || info->FormatType == lkftUnknown || info->FormatType == lkftAVI) return 0;
  switch (info->FormatType) {
    case lkftTIFF:
    case lkftGIF:
    case lkftICO:
    case lkftDCX: return LKCountFilePages(FileName, info->FormatType);
    default: return 1;
  }
}
