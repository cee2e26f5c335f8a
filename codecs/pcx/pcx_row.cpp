// The PCX and DCX format rows.
#include <vector>

#include "codecs/lkcodecutil.h"
#include "codecs/pcx/pcxfilt.h"
#include "io/lkformatrow.h"
#include "io/lkparams.h"

namespace {

void ReadPCX(TLKFormatJob& J) { ReadPcxStream(&J.Stream, J.Bitmap, J.Params, J.ByteCount, J.Progress, J.ParamsOnly); }

void WritePCX(TLKFormatJob& J) { WritePcxStream(&J.Stream, J.Bitmap, J.Params, J.Progress); }

// Our "PCX2" stream header or the older four-byte "PCX" one, or a PCX file
// header (maker 10, version 0 to 5).
bool ProbePCX(TStream& S) {
  if (LKProbeText(S, "PCX2", 5, 12) || LKProbeText(S, "PCX", 4, 4)) return true;
  return LKProbeWith(S, [](TLKByteReader& r) { return r.Size() > 128 && r.U8() == 0x0A && r.U8() <= 5; });
}

void PCXClaiming(Integer Width, Integer Height, std::vector<Byte>& File) {
  File.assign(130, 0);
  File[0] = 10;
  File[1] = 5;
  File[2] = 1;
  File[3] = 8;
  lkcodec::PutLe16(&File[8], Word(Width - 1));
  lkcodec::PutLe16(&File[10], Word(Height - 1));
  File[65] = 3;
  lkcodec::PutLe16(&File[66], Word(Width + (Width & 1)));
}

void ReadDCX(TLKFormatJob& J) {
  J.PageCount = LKDCXCountStream(&J.Stream);
  LKDCXReadStream(&J.Stream, J.Bitmap, J.Params, J.Progress, J.ParamsOnly);
}

// A stream that fails (a full disk) sets the flag, as other formats do.
void WriteDCX(TLKFormatJob& J) {
  lkcodec::AbortOnStreamError(J.Progress, "DCX", [&] { LKDCXInsertStream(&J.Stream, J.Bitmap, J.Params, J.Progress); });
}

bool ProbeDCX(TStream& S) { return LKDCXCountStream(&S) > 0; }

void DCXClaiming(Integer Width, Integer Height, std::vector<Byte>& File) {
  std::vector<Byte> page;
  PCXClaiming(Width, Height, page);
  File.assign(12, 0);
  lkcodec::PutLe32(File.data(), 0x3ADE68B1u);
  lkcodec::PutLe32(File.data() + 4, 12);
  File.insert(File.end(), page.begin(), page.end());
}

// ---- DCX pages

Integer CountDCX(TStream& S) { return LKDCXCountStream(&S); }
Integer DeleteDCX(TStream& S, Integer Index) { return LKDCXDeleteStream(&S, Index); }
bool ExtractDCX(TStream& S, Integer Index, TStream& Out) { return LKDCXExtractStream(&S, Index, &Out); }

constexpr TLKPageOps kDCXPages{
    .Count = CountDCX,
    .Delete = DeleteDCX,
    .Extract = ExtractDCX,
    .SaveInserts = true,  // a DCX save inserts its page into the file
};

String DetailPCX(const TIOParamsVals& P) {
  return P.PCX_COMPRESSION == ioPCX_UNCOMPRESSED ? " Uncompressed" : "";
}

}  // namespace

extern constinit const TLKFormatRow LKRow_PCX = [] {
  TLKFormatRow r;
  r.Type = lkftPCX;
  r.Name = "PaintBrush";
  r.Extensions = "PCX";
  r.OptionPages = PreviewPage(ppPCX);
  r.CanRead = r.CanWrite = true;
  r.Read = ReadPCX;
  r.Write = WritePCX;
  r.Probes[0] = {kLKProbePCXHeader, ProbePCX};
  r.Load.OpenFirst = true;
  r.Load.Header = lkshRequired;
  r.Load.HeaderText = "PCX2";
  r.Load.OlderHeader = "PCX";
  r.Save.Convert = true;
  r.Save.Header = lkshRequired;
  r.Save.HeaderText = "PCX2";
  r.Save.HeaderOnlySuccess = true;
  r.HeaderClaiming = PCXClaiming;
  r.TypeDetail = DetailPCX;
  return r;
}();

// DCX saves insert the page into the file the stream holds; a stream save
// makes a one-page file of its own.
extern constinit const TLKFormatRow LKRow_DCX = [] {
  TLKFormatRow r;
  r.Type = lkftDCX;
  r.Name = "Multipage PCX";
  r.Extensions = "DCX";
  r.CanRead = r.CanWrite = true;
  r.Read = ReadDCX;
  r.Write = WriteDCX;
  r.Probes[0] = {kLKProbeDCX, ProbeDCX};
  r.Load.OpenFirst = true;
  r.Save.CreateFirst = true;
  r.Save.ReplaceStream = true;
  r.HeaderClaiming = DCXClaiming;
  r.Pages = &kDCXPages;
  return r;
}();
