// The TIFF format row: the page reader and the writer as read and write
// jobs, the content probe (a TIFF that is not a DNG, or our "TIFF" stream
// header), and the stream header the component's frames handle.
#include "codecs/tiff/tiffdir.h"
#include "codecs/tiff/tiffilt.h"
#include "codecs/tiff/tiffpages.h"
#include "io/lkformatrow.h"
#include "io/lkparams.h"

namespace {

void Read(TLKFormatJob& J) {
  TIFFReadStream(J.Bitmap, &J.Stream, J.PageCount, &J.Params, J.Progress, J.ParamsOnly,
                 J.IgnoreAlpha ? nullptr : &J.Mask, J.RelativeOffsets, J.IgnoreAlpha, false);
}

void Write(TLKFormatJob& J) { TIFFWriteStream(&J.Stream, false, J.Bitmap, J.Params, J.Progress); }

bool Probe(TStream& S) {
  if (LKProbeText(S, "TIFF", 5, 12)) return true;
  return LKProbeWith(S, [&](TLKByteReader&) { return IsTIFFStream(&S); }) &&
         !LKProbeWith(S, [&](TLKByteReader&) { return IsDNGStream(&S); });
}

// ---- pages

Integer CountPages(TStream& S) { return _EnumTIFFImStream(&S); }
Integer DeletePage(TStream& S, Integer Index) { return _DeleteTIFFImStream(&S, Index); }
Integer DeletePages(TStream& S, const Integer* Indexes, Integer Count) {
  return _DeleteTIFFImStreamGroup(&S, Indexes, Count);
}
bool ExtractPage(TStream& S, Integer Index, TStream& Out) { return _ExtractTIFFImStream(&S, Index, &Out); }

// An empty stream gets a file of one page; otherwise the page goes into the
// file from its start.
void InsertPage(TLKFormatJob& J) {
  if (J.Stream.Size() == 0) {
    TIFFWriteStream(&J.Stream, false, J.Bitmap, J.Params, J.Progress);
    return;
  }
  J.Stream.Seek(0, soBeginning);
  TIFFWriteStream(&J.Stream, true, J.Bitmap, J.Params, J.Progress);
}

bool MergePages(TStream& Source, TStream& Inserted, Integer Index, TStream& Output) {
  return _InsertTIFFImStream(&Source, &Inserted, Index, &Output) >= 0;
}

constexpr TLKPageOps kPages{
    .Count = CountPages,
    .Delete = DeletePage,
    .DeleteGroup = DeletePages,
    .Extract = ExtractPage,
    .Insert = InsertPage,
    .Merge = MergePages,
};

String Detail(const TIOParamsVals& P) {
  static const char* const kCompression[] = {" Uncompressed", " Huffman", " Group 3 Fax", " Group 3 Fax 2D",
                                             " Group 4 Fax", " LZW", " Jpeg v.5", " Jpeg", " PackBits RLE"};
  return P.TIFF_COMPRESSION < 9 ? kCompression[P.TIFF_COMPRESSION] : "";
}

}  // namespace

extern constinit const TLKFormatRow LKRow_TIFF = [] {
  TLKFormatRow r;
  r.Type = lkftTIFF;
  r.Name = "TIFF Bitmap";
  r.Extensions = "TIF;TIFF;FAX;G3N;G3F;XIF";
  r.OptionPages = PreviewPage(ppTIFF);
  r.CanRead = r.CanWrite = true;
  r.Read = Read;
  r.Write = Write;
  r.Probes[0] = {kLKProbeTIFF, Probe};
  r.Load.OpenFirst = true;
  r.Load.Header = lkshRequired;
  r.Load.HeaderText = "TIFF";
  r.Save.Header = lkshRequired;
  r.Save.HeaderText = "TIFF";
  r.Pages = &kPages;
  r.TypeDetail = Detail;
  return r;
}();
