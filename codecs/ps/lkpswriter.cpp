#include "codecs/ps/lkpswriter.h"

#include <cstdio>
#include <memory>
#include <vector>

#include "codecs/ps/lkascii85.h"
#include "codecs/ps/lkpagedata.h"
#include "core/lkabort.h"
#include "core/lkmath.h"
#include "platform/sysutils.h"

namespace {

// Count right-padded with blanks to six characters.
String PagesField(Integer Count) {
  String s = IntToStr(Count);
  if (s.size() < 6) s.append(6 - s.size(), ' ');
  return s;
}

String CreationDate() {
  static const char* const kDays[7] = {"Sun", "Mon", "Tue", "Wed", "Thu", "Fri", "Sat"};
  static const char* const kMonths[12] = {"Jan", "Feb", "Mar", "Apr", "May", "Jun",
                                          "Jul", "Aug", "Sep", "Oct", "Nov", "Dec"};
  const TDateTime now = Now();
  Word y, mo, d, h, mi, s, ms;
  DecodeDate(now, y, mo, d);
  DecodeTime(now, h, mi, s, ms);
  const Integer dow = DayOfWeek(now);
  char buf[48];
  std::snprintf(buf, sizeof buf, "%s %s %02u %02u:%02u:%02u %04u", kDays[(dow + 6) % 7 % 7],
                kMonths[mo >= 1 && mo <= 12 ? mo - 1 : 0], unsigned(d), unsigned(h), unsigned(mi), unsigned(s),
                unsigned(y));
  return buf;
}

// Appends Count bytes as one ASCII85 block to Out; returns the characters
// it counts.
Integer AppendASCII85(const Byte* Data, size_t Count, std::vector<Byte>& Out) {
  const size_t at = Out.size();
  Out.resize(at + size_t(LKASCII85EncodedMax(Int64(Count))));
  Byte* dst = Out.data() + at;
  Integer counter = 0;
  const Integer n = LKASCII85EncodeBlock(Data, Integer(Count), dst, counter);
  Out.resize(at + size_t(n));
  return counter;
}

// Appends Count bytes run-length and then ASCII85 encoded.
Integer AppendRLE85(const Byte* Data, size_t Count, std::vector<Byte>& Scratch, std::vector<Byte>& Out) {
  Scratch.resize(size_t(LKRunLengthEncodedMax(Int64(Count))));
  const Integer n = LKPSRunLengthEncode(Data, Integer(Count), Scratch.data());
  return AppendASCII85(Scratch.data(), size_t(n), Out);
}

void WritePage(TStream* S, Integer Page, TLKBitmap& B, TIOParamsVals& P, TProgressRec& Pr) {
  const bool bits = B.GetPixelFormat() == lk1g;
  P.BITSPERSAMPLE = bits ? 1 : 8;
  P.SAMPLESPERPIXEL = bits ? 1 : 3;
  const Integer w = B.GetWidth(), h = B.GetHeight();
  Integer fw = 1, fh = 1;
  LKFitResample(w, h, P.PS_PAPERWIDTH, P.PS_PAPERHEIGHT, fw, fh);
  const String ws = IntToStr(w), hs = IntToStr(h);
  LKWriteStrLn(S, "%%Page: " + IntToStr(Page) + " " + IntToStr(Page));
  LKWriteStrLn(S, "0 " + IntToStr(P.PS_PAPERHEIGHT) + " translate");
  LKWriteStrLn(S, IntToStr(fw) + " -" + IntToStr(fh) + " scale");
  LKWriteStrLn(S, ws + " " + hs + " " + IntToStr(P.BITSPERSAMPLE));
  LKWriteStrLn(S, "[ " + ws + " 0 0 " + hs + " 0 0 ]");

  // JPEG cannot hold one bit per pixel: such pages take the Group 3 coding,
  // and the parameters keep the change.
  if (bits && P.PS_COMPRESSION == ioPS_JPEG) P.PS_COMPRESSION = ioPS_G3FAX2D;

  std::vector<Byte> text, scratch;
  Integer chars = 0;
  std::vector<String> source;
  if (bits) {
    std::vector<Byte> data;
    switch (P.PS_COMPRESSION) {
      case ioPS_G4FAX:
      case ioPS_G3FAX2D: {
        const bool g4 = P.PS_COMPRESSION == ioPS_G4FAX;
        LKFaxEncodePage(B, g4, Pr, data);
        chars = AppendASCII85(data.data(), data.size(), text);
        source.push_back(String("currentfile /ASCII85Decode filter << /K ") + (g4 ? "-1" : "1") +
                         " /BlackIs1 true /Columns " + ws + " /Rows " + hs +
                         " /EndOfLine false /Uncompressed true /EncodedByteAlign false /EndOfBlock false >> "
                         "/CCITTFaxDecode filter");
        break;
      }
      default: {
        LKJoinBitRows(B, data);
        for (Integer y = 0; y < h; ++y) LKPageProgress(Pr, y, h);
        chars = AppendRLE85(data.data(), data.size(), scratch, text);
        source.push_back("currentfile /ASCII85Decode filter /RunLengthDecode filter");
        break;
      }
    }
  } else if (P.PS_COMPRESSION == ioPS_JPEG) {
    // The page declares three components: spaces with another count are
    // written as YCbCr.
    TMemoryStream ms;
    LKPageJpeg(B, P, Pr, false, ms);
    chars = AppendASCII85(static_cast<const Byte*>(ms.Memory()), size_t(ms.Size()), text);
    source.push_back("currentfile /ASCII85Decode filter << >> /DCTDecode filter");
    source.push_back("false 3");
  } else {
    // Each row as three blocks, red, green and blue, each read by its own
    // procedure.
    std::vector<Byte> rgb(size_t(w) * 3), plane(static_cast<size_t>(w));
    text.reserve(size_t(w) * 3 * size_t(h) / 2 + 1024);
    for (Integer y = 0; y < h && !LKAborted(Pr); ++y) {
      LKRGBRow(B, y, rgb.data());
      for (Integer c = 0; c < 3; ++c) {
        for (Integer x = 0; x < w; ++x) plane[size_t(x)] = rgb[size_t(3 * x + c)];
        chars += AppendRLE85(plane.data(), plane.size(), scratch, text);
      }
      LKPageProgress(Pr, y, h);
    }
    for (const char* str : {"rstr", "gstr", "bstr"}) source.push_back(String("/") + str + " " + ws + " string def");
    for (const char* str : {"rstr", "gstr", "bstr"})
      source.push_back(String("{currentfile /ASCII85Decode filter /RunLengthDecode filter ") + str +
                       " readstring pop}");
    source.push_back("true 3");
  }
  // A cancelled page is not finished: the save is dropped.
  if (LKAborted(Pr)) return;
  for (const String& line : source) LKWriteStrLn(S, line);
  LKWriteStrLn(S, "%%BeginData:      " + IntToStr(chars) + " ASCII Bytes");
  LKWriteStrLn(S, bits ? "image" : "colorimage");
  if (!text.empty()) S->WriteBuffer(text.data(), Int64(text.size()));
  LKWriteStrLn(S, "%%EndData");
  LKWriteStrLn(S, "showpage");
}

}  // namespace

TLKPSDocument* LKPostScriptCreate(TStream* S, TIOParamsVals& P) {
  auto* doc = new TLKPSDocument;
  LKWriteStrLn(S, "%!PS-Adobe-3.0");
  LKWriteStrLn(S, "%%Creator: Lumerak by Ostrovane");
  LKWriteStrLn(S, "%%Title: " + P.PS_TITLE);
  LKWriteStrLn(S, "%%CreationDate: " + CreationDate());
  LKWriteStrLn(S, "%%DocumentData: Clean7Bit");
  LKWriteStrLn(S, "%%LanguageLevel: 2");
  doc->PagesLine = S->Position();
  LKWriteStrLn(S, "%%Pages: " + PagesField(0));
  LKWriteStrLn(S, "%%BoundingBox: 0 0 " + IntToStr(P.PS_PAPERWIDTH - 1) + " " + IntToStr(P.PS_PAPERHEIGHT - 1));
  LKWriteStrLn(S, "%%EndComments");
  LKWriteStrLn(S, "%%BeginProlog");
  LKWriteStrLn(S, "10 dict begin");
  LKWriteStrLn(S, "%%EndProlog");
  doc->PagePosition = S->Position();
  return doc;
}

void LKPostScriptSave(TLKPSDocument* Doc, TStream* S, TLKBitmap* Bitmap, TIOParamsVals& P, TProgressRec& Pr) {
  if (!Doc) return;
  std::unique_ptr<TLKBitmap> copy;
  TLKBitmap* b = LKPageBitmap(Bitmap, copy, Pr, "PostScript");
  if (!b) return;
  // The count as the header says it (five digits at most); a stream that
  // cannot be read back keeps the handle's own count.
  Integer count = Doc->Pages;
  S->Seek(Doc->PagesLine, soBeginning);
  char line[15];
  if (S->Read(line, 15) == 15) {
    String field(line + 9, 5);
    while (!field.empty() && field.back() == ' ') field.pop_back();
    while (!field.empty() && field.front() == ' ') field.erase(0, 1);
    Integer v = 0;
    bool number = !field.empty();
    for (const char c : field) {
      if (c < '0' || c > '9') number = false;
      else v = v * 10 + (c - '0');
    }
    count = number ? v : 1;
  }
  S->Seek(Doc->PagesLine, soBeginning);
  LKWriteStrLn(S, "%%Pages: " + PagesField(count + 1));
  S->Seek(Doc->PagePosition, soBeginning);
  WritePage(S, count + 1, *b, P, Pr);
  if (LKAborted(Pr)) {
    // A cancelled page leaves the document as it was before it.
    S->Seek(Doc->PagesLine, soBeginning);
    LKWriteStrLn(S, "%%Pages: " + PagesField(count));
    S->SetSize(Doc->PagePosition);
    S->Seek(Doc->PagePosition, soBeginning);
    return;
  }
  Doc->PagePosition = S->Position();
  ++Doc->Pages;
}

void LKPostScriptClose(TLKPSDocument* Doc, TStream* S) {
  if (!Doc) return;
  std::unique_ptr<TLKPSDocument> owner(Doc);
  S->Seek(Doc->PagePosition, soBeginning);
  LKWriteStrLn(S, "%%Trailer");
  LKWriteStrLn(S, "end");
  LKWriteStrLn(S, "%%EOF");
}

void LKPostScriptSaveOneStep(TStream* S, TLKBitmap* Bitmap, TIOParamsVals& P, TProgressRec& Pr) {
  TLKPSDocument* doc = LKPostScriptCreate(S, P);
  try {
    LKPostScriptSave(doc, S, Bitmap, P, Pr);
  } catch (...) {
    delete doc;
    throw;
  }
  LKPostScriptClose(doc, S);
}
