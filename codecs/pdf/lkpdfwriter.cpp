#include "codecs/pdf/lkpdfwriter.h"

#include <cstdio>
#include <memory>
#include <vector>

#include "codecs/pdf/lkpdfobjects.h"
#include "codecs/ps/lkascii85.h"
#include "codecs/ps/lkpagedata.h"
#include "core/lkabort.h"
#include "core/lkmath.h"
#include "platform/sysutils.h"

struct TLKPDFDocument {
  TLKPDFObjectList Objects;                     // every indirect object, owns none
  std::vector<TLKPDFDictionaryObject*> Pages;   // owned
  std::vector<TLKPDFStreamObject*> Images;      // owned
  std::vector<TLKPDFStreamObject*> Contents;    // owned
  TLKPDFDictionaryObject* Catalog = nullptr;    // owned
  TLKPDFDictionaryObject* Resources = nullptr;  // owned
  TLKPDFDictionaryObject* XObjects = nullptr;   // inside Resources

  ~TLKPDFDocument() {
    for (auto* p : Pages) delete p;
    for (auto* s : Images) delete s;
    for (auto* s : Contents) delete s;
    delete Resources;
    delete Catalog;
  }
};

namespace {

TLKPDFNameObject* Name(const char* N) { return new TLKPDFNameObject(N); }
TLKPDFNumericObject* Num(Int64 V) { return new TLKPDFNumericObject(double(V)); }

// The image stream of a 1-bit page.
TLKPDFStreamObject* BitImage(TLKBitmap& B, TIOParamsVals& P, TProgressRec& Pr) {
  const Integer w = B.GetWidth(), h = B.GetHeight();
  // JPEG cannot hold one bit per pixel: such pages take the Group 3 coding,
  // and the parameters keep the change.
  if (P.PDF_COMPRESSION == ioPDF_JPEG) P.PDF_COMPRESSION = ioPDF_G3FAX2D;
  std::vector<Byte> data;
  auto* s = new TLKPDFStreamObject;
  TLKPDFDictionaryObject& d = *s->Dictionary;
  switch (P.PDF_COMPRESSION) {
    case ioPDF_RLE: {
      std::vector<Byte> rows;
      LKJoinBitRows(B, rows);
      data.resize(size_t(LKRunLengthEncodedMax(Int64(rows.size()))));
      data.resize(size_t(LKPSRunLengthEncode(rows.data(), Integer(rows.size()), data.data())));
      auto* filter = new TLKPDFArrayObject;
      filter->Add(Name("RunLengthDecode"));
      d.Add("Filter", filter);
      break;
    }
    case ioPDF_G4FAX:
    case ioPDF_G3FAX2D: {
      const bool g4 = P.PDF_COMPRESSION == ioPDF_G4FAX;
      LKFaxEncodePage(B, g4, Pr, data);
      d.Add("Filter", Name("CCITTFaxDecode"));
      auto* parms = new TLKPDFDictionaryObject;
      parms->Add("K", Num(g4 ? -1 : 1));
      parms->Add("BlackIs1", new TLKPDFBooleanObject(true));
      parms->Add("Columns", Num(w));
      parms->Add("Rows", Num(h));
      parms->Add("EndOfLine", new TLKPDFBooleanObject(false));
      parms->Add("Uncompressed", new TLKPDFBooleanObject(true));
      parms->Add("EncodedByteAlign", new TLKPDFBooleanObject(false));
      parms->Add("EndOfBlock", new TLKPDFBooleanObject(false));
      d.Add("DecodeParms", parms);
      break;
    }
    case ioPDF_LZW: {
      TTIFFLZWCompFunc lzw = P.TIFF_LZWCompressor ? P.TIFF_LZWCompressor : DefTIFF_LZWCOMPFUNC;
      std::vector<Byte> rows;
      LKJoinBitRows(B, rows);
      if (!lzw) {
        data = std::move(rows);
        break;
      }
      const size_t rowBytes = size_t(w + 7) / 8;
      TMemoryStream ms;
      std::intptr_t state = 0;
      for (Integer y = 0; y < h && !LKAborted(Pr); ++y) {
        lzw(rows.data() + rowBytes * size_t(y), Integer(rowBytes), &ms, state);
        LKPageProgress(Pr, y, h);
      }
      lzw(nullptr, 0, &ms, state);
      const auto* m = static_cast<const Byte*>(ms.Memory());
      data.assign(m, m + ms.Size());
      d.Add("Filter", Name("LZWDecode"));
      break;
    }
    default: LKJoinBitRows(B, data); break;
  }
  s->Data = std::move(data);
  d.Add("ColorSpace", Name("DeviceGray"));
  d.Add("BitsPerComponent", Num(1));
  return s;
}

// The image stream of a colour page.
TLKPDFStreamObject* ColourImage(TLKBitmap& B, TIOParamsVals& P, TProgressRec& Pr) {
  const Integer w = B.GetWidth(), h = B.GetHeight();
  const size_t rowBytes = size_t(w) * 3;
  auto* s = new TLKPDFStreamObject;
  TLKPDFDictionaryObject& d = *s->Dictionary;
  const char* space = "DeviceRGB";
  TTIFFLZWCompFunc lzw = P.TIFF_LZWCompressor ? P.TIFF_LZWCompressor : DefTIFF_LZWCOMPFUNC;
  std::vector<Byte> row(rowBytes);
  if (P.PDF_COMPRESSION == ioPDF_LZW && lzw) {
    TMemoryStream ms;
    ms.SetCapacity(Int64(rowBytes) * h / 2 + 4096);
    std::intptr_t state = 0;
    for (Integer y = 0; y < h && !LKAborted(Pr); ++y) {
      LKRGBRow(B, y, row.data());
      lzw(row.data(), Integer(rowBytes), &ms, state);
      LKPageProgress(Pr, y, h);
    }
    lzw(nullptr, 0, &ms, state);
    const auto* m = static_cast<const Byte*>(ms.Memory());
    s->Data.assign(m, m + ms.Size());
    d.Add("Filter", Name("LZWDecode"));
  } else if (P.PDF_COMPRESSION == ioPDF_JPEG) {
    // The page declares the colour space the JPEG data has: grey pages as
    // grey; four-component spaces, which the page would have to declare
    // with their own decode ranges, are written as YCbCr.
    TMemoryStream ms;
    std::unique_ptr<TLKPDFStreamObject> guard(s);
    if (LKPageJpeg(B, P, Pr, true, ms) == ioJPEG_GRAYLEV) space = "DeviceGray";
    guard.release();
    const auto* m = static_cast<const Byte*>(ms.Memory());
    s->Data.assign(m, m + ms.Size());
    d.Add("Filter", Name("DCTDecode"));
  } else {
    s->Data.resize(rowBytes * size_t(h));
    for (Integer y = 0; y < h && !LKAborted(Pr); ++y) {
      LKRGBRow(B, y, s->Data.data() + rowBytes * size_t(y));
      LKPageProgress(Pr, y, h);
    }
  }
  d.Add("ColorSpace", Name(space));
  d.Add("BitsPerComponent", Num(8));
  return s;
}

String DateText(const char* Form) {
  Word y, mo, d, h, mi, s, ms;
  const TDateTime now = Now();
  DecodeDate(now, y, mo, d);
  DecodeTime(now, h, mi, s, ms);
  char buf[64];
  std::snprintf(buf, sizeof buf, Form, unsigned(y), unsigned(mo), unsigned(d), unsigned(h), unsigned(mi),
                unsigned(s));
  return buf;
}

}  // namespace

TLKPDFDocument* LKPDFCreate(TIOParamsVals& /*Params*/) {
  auto* doc = new TLKPDFDocument;
  doc->Catalog = lkpdf_AddCatalog(doc->Objects);
  doc->Resources = new TLKPDFDictionaryObject;
  auto* procSet = new TLKPDFArrayObject;
  procSet->Add(Name("PDF"));
  procSet->Add(Name("ImageB"));
  doc->Resources->Add("ProcSet", procSet);
  doc->XObjects = new TLKPDFDictionaryObject;
  doc->Resources->Add("XObject", doc->XObjects);
  lkpdf_AddIndirectObject(doc->Objects, doc->Resources);
  return doc;
}

void LKPDFSave(TLKPDFDocument* Doc, TLKBitmap* Bitmap, TIOParamsVals& P, TProgressRec& Pr) {
  if (!Doc) return;
  std::unique_ptr<TLKBitmap> copy;
  TLKBitmap* b = LKPageBitmap(Bitmap, copy, Pr, "PDF");
  if (!b) return;
  const bool bits = b->GetPixelFormat() == lk1g;
  P.BITSPERSAMPLE = bits ? 1 : 8;
  P.SAMPLESPERPIXEL = bits ? 1 : 3;
  const Integer w = b->GetWidth(), h = b->GetHeight();

  TLKPDFStreamObject* image = bits ? BitImage(*b, P, Pr) : ColourImage(*b, P, Pr);
  // A page cancelled (or failed) while its image was coded is not added.
  if (LKAborted(Pr)) {
    delete image;
    return;
  }
  TLKPDFDictionaryObject& d = *image->Dictionary;
  d.Insert(0, "Type", Name("XObject"));
  d.Insert(1, "Subtype", Name("Image"));
  d.Add("Width", Num(w));
  d.Add("Height", Num(h));
  lkpdf_AddIndirectObject(Doc->Objects, image);
  Doc->Images.push_back(image);
  const String key = "lm" + IntToStr(Doc->Images.size());

  Integer fw = 1, fh = 1;
  LKFitResample(w, h, P.PDF_PAPERWIDTH, P.PDF_PAPERHEIGHT, fw, fh);
  const String text = "q\n" + IntToStr(fw) + " 0 0 " + IntToStr(fh) + " 0 " + IntToStr(P.PDF_PAPERHEIGHT - fh) +
                      " cm\n/" + key + " Do\nQ";
  auto* content = new TLKPDFStreamObject(text.data(), text.size());
  lkpdf_AddIndirectObject(Doc->Objects, content);
  Doc->Contents.push_back(content);

  Doc->XObjects->Add(key, new TLKPDFRefObject(image->Number, 0));
  auto* box = new TLKPDFArrayObject;
  box->Add(Num(0));
  box->Add(Num(0));
  box->Add(Num(P.PDF_PAPERWIDTH));
  box->Add(Num(P.PDF_PAPERHEIGHT));
  lkpdf_AddPage(Doc->Objects, Doc->Pages, Doc->Resources, content->Number, box);
}

void LKPDFClose(TLKPDFDocument* Doc, TStream* Stream, TIOParamsVals& P) {
  if (!Doc) return;
  std::unique_ptr<TLKPDFDocument> owner(Doc);
  std::unique_ptr<TLKPDFDictionaryObject> tree(lkpdf_AddPageTree(Doc->Objects, Doc->Pages));
  auto info = std::make_unique<TLKPDFDictionaryObject>();
  const std::pair<const char*, const String*> fields[] = {
      {"Title", &P.PDF_TITLE},       {"Author", &P.PDF_AUTHOR},   {"Subject", &P.PDF_SUBJECT},
      {"Keywords", &P.PDF_KEYWORDS}, {"Creator", &P.PDF_CREATOR}, {"Producer", &P.PDF_PRODUCER}};
  for (const auto& [key, value] : fields)
    if (!value->empty()) info->Add(key, new TLKPDFStringObject(*value));
  info->Add("CreationDate", new TLKPDFStringObject(DateText("D:%04u%02u%02u%02u%02u%02u")));
  lkpdf_AddIndirectObject(Doc->Objects, info.get());
  // Offsets count from the header, so a document written after other data
  // in the stream still finds its objects.
  const Int64 origin = Stream->Position();
  lkpdf_WriteHeader(*Stream);
  lkpdf_WriteIndirectObjects(*Stream, Doc->Objects, origin);
  lkpdf_WriteFooter(*Stream, Doc->Objects, info.get(), origin);
}

void LKPDFSaveOneStep(TStream* Stream, TLKBitmap* Bitmap, TIOParamsVals& Params, TProgressRec& Progress) {
  TLKPDFDocument* doc = LKPDFCreate(Params);
  try {
    LKPDFSave(doc, Bitmap, Params, Progress);
  } catch (...) {
    delete doc;
    throw;
  }
  LKPDFClose(doc, Stream, Params);
}
