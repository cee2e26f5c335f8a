// Printing of the I/O component: placement of the picture on a page, the
// page preview, the print forms, and the print-preview settings with their
// stored form and keywords.
#include <bit>
#include <cmath>
#include <cstdint>
#include <cstring>

#include "core/lkbitmap.h"
#include "core/lkioglobals.h"
#include "core/lkstreams.h"
#include "io/lkprintparams.h"
#include "io/lumerakio.h"
#include "platform/atomicfile.h"
#include "platform/graphics.h"
#include "platform/printers.h"
#include "platform/sysutils.h"

namespace {

TLKPrintFormMaker& PrintForms() {
  static TLKPrintFormMaker maker;
  return maker;
}

// Reals of the keywords: "." or "," as the decimal separator, 0 otherwise.
double KeywordReal(const String& V) {
  double d = 0.0;
  if (TryStrToFloat(V, d)) return d;
  String alt = V;
  const std::size_t comma = alt.find(',');
  if (comma != String::npos) {
    alt[comma] = '.';
    if (TryStrToFloat(alt, d)) return d;
  }
  return 0.0;
}

Integer KeywordInt(const String& V) {
  Integer n = 0;
  return TryStrToInt(V, n) ? n : 0;
}

// The stored reals: 8-byte little-endian IEEE doubles.
void PutReal(Byte* P, double V) {
  const std::uint64_t bits = std::bit_cast<std::uint64_t>(V);
  for (int i = 0; i < 8; ++i) P[i] = static_cast<Byte>(bits >> (8 * i));
}

double GetReal(const Byte* P) {
  std::uint64_t bits = 0;
  for (int i = 0; i < 8; ++i) bits |= static_cast<std::uint64_t>(P[i]) << (8 * i);
  return std::bit_cast<double>(bits);
}

String KeywordName(const String& Keyword) { return UpperCase(LKRemoveCtrlChars(Keyword)); }

// Device pixels of a length in inches, toward zero and held to the range of
// an Integer (a huge margin or size must not overflow).
Integer DevicePixels(double Dpi, double Inches) {
  const double v = std::trunc(Dpi * Inches);
  if (!(v == v)) return 0;
  if (v > 1e9) return 1000000000;
  if (v < -1e9) return -1000000000;
  return static_cast<Integer>(v);
}

}  // namespace

// ---------------------------------------------------------------------------
// Settings

void TIOPrintPreviewParams::SaveToStream(TStream* Stream) const {
  Byte form[StreamSize];
  PutReal(form + 0, MarginTop);
  PutReal(form + 8, MarginLeft);
  PutReal(form + 16, MarginRight);
  PutReal(form + 24, MarginBottom);
  form[32] = Position;
  form[33] = Size;
  PutReal(form + 34, Width);
  PutReal(form + 42, Height);
  PutReal(form + 50, Gamma);
  Stream->WriteBuffer(form, StreamSize);
}

bool TIOPrintPreviewParams::LoadFromBytes(const Byte* Data, size_t Count) {
  // A short or damaged form is refused as a whole: half-read settings
  // would print with margins from one use and sizes from another.
  if (!Data || Count < static_cast<size_t>(StreamSize)) return false;
  double reals[7];
  const size_t offsets[7] = {0, 8, 16, 24, 34, 42, 50};
  for (int i = 0; i < 7; ++i) {
    reals[i] = GetReal(Data + offsets[i]);
    if (!std::isfinite(reals[i])) return false;
  }
  if (Data[32] > ppBottomRight || Data[33] > psSpecifiedSize) return false;
  MarginTop = reals[0];
  MarginLeft = reals[1];
  MarginRight = reals[2];
  MarginBottom = reals[3];
  Position = static_cast<TIOPrintPreviewPosition>(Data[32]);
  Size = static_cast<TIOPrintPreviewSize>(Data[33]);
  Width = reals[4];
  Height = reals[5];
  Gamma = reals[6];
  return true;
}

bool TIOPrintPreviewParams::LoadFromStream(TStream* Stream) {
  const Int64 start = Stream->Position();
  Byte form[StreamSize];
  const Integer got = Stream->Read(form, StreamSize);
  if (got != StreamSize || !LoadFromBytes(form, StreamSize)) {
    Stream->SetPosition(start);
    return false;
  }
  return true;
}

void TIOPrintPreviewParams::SaveToFile(const String& FileName) const {
  WriteFileAtomically(FileName, [this](TStream* S) { SaveToStream(S); });
}

bool TIOPrintPreviewParams::LoadFromFile(const String& FileName) {
  TFileStream f(FileName, fmOpenRead);
  return LoadFromStream(&f);
}

String TIOPrintPreviewParams::GetProperty(const String& Keyword) const {
  const String k = KeywordName(Keyword);
  if (k == "MARGINTOP") return LKFloatToStr(MarginTop);
  if (k == "MARGINLEFT") return LKFloatToStr(MarginLeft);
  if (k == "MARGINRIGHT") return LKFloatToStr(MarginRight);
  if (k == "MARGINBOTTOM") return LKFloatToStr(MarginBottom);
  if (k == "POSITION") return IntToStr(static_cast<Integer>(Position));
  if (k == "SIZE") return IntToStr(static_cast<Integer>(Size));
  if (k == "WIDTH") return LKFloatToStr(Width);
  if (k == "HEIGHT") return LKFloatToStr(Height);
  if (k == "GAMMA") return LKFloatToStr(Gamma);
  return "";
}

void TIOPrintPreviewParams::SetProperty(const String& Keyword, const String& Value) {
  const String k = KeywordName(Keyword);
  const String v = LKRemoveCtrlChars(Value);
  if (k == "MARGINTOP") MarginTop = KeywordReal(v);
  else if (k == "MARGINLEFT") MarginLeft = KeywordReal(v);
  else if (k == "MARGINRIGHT") MarginRight = KeywordReal(v);
  else if (k == "MARGINBOTTOM") MarginBottom = KeywordReal(v);
  else if (k == "WIDTH") Width = KeywordReal(v);
  else if (k == "HEIGHT") Height = KeywordReal(v);
  else if (k == "GAMMA") Gamma = KeywordReal(v);
  else if (k == "POSITION" || k == "SIZE") {
    // The one-byte fields hold only their enumerations' values; anything
    // else would be stored and read back as a layout that does not exist.
    const Integer n = KeywordInt(v);
    if (k == "POSITION") Position = (n >= 0 && n <= ppBottomRight) ? static_cast<TIOPrintPreviewPosition>(n) : ppTopLeft;
    else Size = (n >= 0 && n <= psSpecifiedSize) ? static_cast<TIOPrintPreviewSize>(n) : psNormal;
  }
}

void LKSetPrintLogFile(const String& FileName) {
  lkgPrintLogFileName = FileName;
  if (FileName.empty()) return;
  std::FILE* f = std::fopen(FileName.c_str(), "w");
  if (!f) {
    lkgPrintLogFileName.clear();
    throw EFCreateError("Cannot create file \"" + FileName + "\"");
  }
  std::fclose(f);
}

String LKGetPrintLogFile() { return lkgPrintLogFileName; }

void LKSetPrintForms(TLKPrintFormMaker Maker) { PrintForms() = std::move(Maker); }

// ---------------------------------------------------------------------------
// Printing

void TLumerakIO::PrintImagePosEx(TCanvas* Canvas, double DpiX, double DpiY, double X, double Y, double Width,
                                 double Height, double Gamma) {
  LKPrintLogWrite("TLumerakIO.PrintImagePosEx: begin");
  if (!MakeConsistentBitmap({})) return;
  TLKBitmap* bitmap = GetLKBitmap();
  const Integer left = DevicePixels(DpiX, X), top = DevicePixels(DpiY, Y);
  const Integer width = DevicePixels(DpiX, Width), height = DevicePixels(DpiY, Height);
  if (FPrintingFilter != rfNone && bitmap->GetWidth() > 0 &&
      static_cast<double>(width) / bitmap->GetWidth() < 1.0) {
    LKPrintLogWrite("TLumerakIO.PrintImagePosEx: calling RenderToCanvas with subsampling filter");
    bitmap->RenderToCanvas(Canvas, left, top, width, height, FPrintingFilter, Gamma);
  } else {
    LKPrintLogWrite("TLumerakIO.PrintImagePosEx: calling RenderToCanvas without subsampling filter");
    bitmap->RenderToCanvas(Canvas, left, top, width, height, rfNone, Gamma);
  }
  LKPrintLogWrite("TLumerakIO.PrintImagePosEx: end");
}

void TLumerakIO::PrintImagePos(TCanvas* Canvas, double X, double Y, double Width, double Height, double Gamma) {
  PrintImagePosEx(Canvas, GetDeviceCaps(Canvas, LOGPIXELSX), GetDeviceCaps(Canvas, LOGPIXELSY), X, Y, Width,
                  Height, Gamma);
}

void TLumerakIO::PrintImageEx(TCanvas* Canvas, double DpiX, double DpiY, double PageWidth, double PageHeight,
                              double MarginLeft, double MarginTop, double MarginRight, double MarginBottom,
                              TLKVerticalPos VerticalPos, TLKHorizontalPos HorizontalPos, TLKSize Size,
                              double SpecWidth, double SpecHeight, double Gamma) {
  LKPrintLogWrite("TLumerakIO.PrintImageEx: begin");
  if (!MakeConsistentBitmap({})) return;
  TLKBitmap* bitmap = GetLKBitmap();
  double picDpiX, picDpiY;
  if (GetAttachedLumerak()) {
    picDpiX = GetAttachedLumerak()->GetDpiX();
    picDpiY = GetAttachedLumerak()->GetDpiY();
  } else {
    picDpiX = GetIOParams()->DPIX;
    picDpiY = GetIOParams()->DPIY;
  }
  if (picDpiX <= 1) picDpiX = DpiX;
  if (picDpiY <= 1) picDpiY = DpiY;
  LKPrintLogWrite("TLumerakIO.PrintImageEx: setting page sizes");
  const double aw = PageWidth - (MarginLeft + MarginRight);
  const double ah = PageHeight - (MarginTop + MarginBottom);
  double w = 0, h = 0;
  switch (Size) {
    case lksNORMAL:
      w = bitmap->GetWidth() / picDpiX;
      h = bitmap->GetHeight() / picDpiY;
      break;
    case lksFITTOPAGE: {
      const double a = bitmap->GetWidth() / DpiX, b = bitmap->GetHeight() / DpiY;
      if (a > 0 && b > 0) {
        const double f = std::min(aw / a, ah / b);
        w = a * f;
        h = b * f;
      }
      break;
    }
    case lksFITTOPAGESTRETCH:
      w = aw;
      h = ah;
      break;
    case lksSPECIFIEDSIZE:
      w = SpecWidth;
      h = SpecHeight;
      break;
  }
  double x = 0, y = 0;
  switch (HorizontalPos) {
    case lkhpLEFT: x = MarginLeft; break;
    case lkhpCENTER: x = (aw - w) / 2 + MarginLeft; break;
    case lkhpRIGHT: x = MarginLeft + aw - w; break;
  }
  switch (VerticalPos) {
    case lkvpTOP: y = MarginTop; break;
    case lkvpCENTER: y = (ah - h) / 2 + MarginTop; break;
    case lkvpBOTTOM: y = MarginTop + ah - h; break;
  }
  PrintImagePosEx(Canvas, DpiX, DpiY, x, y, w, h, Gamma);
  LKPrintLogWrite("TLumerakIO.PrintImageEx: end");
}

void TLumerakIO::PrintImage(TCanvas* Canvas, double MarginLeft, double MarginTop, double MarginRight,
                            double MarginBottom, TLKVerticalPos VerticalPos, TLKHorizontalPos HorizontalPos,
                            TLKSize Size, double SpecWidth, double SpecHeight, double Gamma) {
  LKPrintLogWrite("TLumerakIO.PrintImage: begin");
  if (!Canvas) Canvas = Printer()->GetCanvas();
  const double dpiX = GetDeviceCaps(Canvas, LOGPIXELSX), dpiY = GetDeviceCaps(Canvas, LOGPIXELSY);
  if (dpiX > 0 && dpiY > 0)
    PrintImageEx(Canvas, dpiX, dpiY, GetDeviceCaps(Canvas, HORZRES) / dpiX, GetDeviceCaps(Canvas, VERTRES) / dpiY,
                 MarginLeft, MarginTop, MarginRight, MarginBottom, VerticalPos, HorizontalPos, Size, SpecWidth,
                 SpecHeight, Gamma);
  LKPrintLogWrite("TLumerakIO.PrintImage: end");
}

void TLumerakIO::PreviewPrintImage(TBitmap* Target, Integer MaxWidth, Integer MaxHeight, TPrinter* APrinter,
                                   double MarginLeft, double MarginTop, double MarginRight, double MarginBottom,
                                   TLKVerticalPos VerticalPos, TLKHorizontalPos HorizontalPos, TLKSize Size,
                                   double SpecWidth, double SpecHeight, double Gamma) {
  if (!Target) return;
  if (!APrinter) APrinter = Printer();
  const double pageW = APrinter->GetPageWidth(), pageH = APrinter->GetPageHeight();
  Target->SetSize(1, 1);
  Target->SetPixelFormat(pf24bit);
  // A printer without a page (or a box too small to hold one) gives a blank
  // preview instead of a division by zero.
  if (pageW <= 0 || pageH <= 0 || MaxWidth <= 5 || MaxHeight <= 5) {
    Target->GetCanvas()->GetBrush()->SetColor(clWhite);
    Target->GetCanvas()->FillRect(TRect{0, 0, 1, 1});
    return;
  }
  const double zx = (MaxWidth - 5) / (pageW / 100.0), zy = (MaxHeight - 5) / (pageH / 100.0);
  const double f = std::min(zx, zy) / 100.0;
  const Integer pw = static_cast<Integer>(std::trunc(pageW * f)), ph = static_cast<Integer>(std::trunc(pageH * f));
  const Integer dpiX = static_cast<Integer>(std::trunc(APrinter->GetXDpi() * f));
  const Integer dpiY = static_cast<Integer>(std::trunc(APrinter->GetYDpi() * f));
  Target->SetSize(std::max(pw, 1), std::max(ph, 1));
  TCanvas* c = Target->GetCanvas();
  c->GetBrush()->SetStyle(bsSolid);
  c->GetBrush()->SetColor(clWhite);
  c->FillRect(TRect{0, 0, Target->GetWidth(), Target->GetHeight()});
  if (dpiX < 1 || dpiY < 1) return;
  PrintImageEx(c, dpiX, dpiY, static_cast<double>(pw) / dpiX, static_cast<double>(ph) / dpiY, MarginLeft, MarginTop,
               MarginRight, MarginBottom, VerticalPos, HorizontalPos, Size, SpecWidth, SpecHeight, Gamma);
  c->GetBrush()->SetStyle(bsClear);
  c->GetPen()->SetStyle(psDash);
  c->GetPen()->SetColor(clBlack);
  c->GetPen()->SetWidth(1);
  c->GetPen()->SetMode(pmNot);
  c->Rectangle(DevicePixels(dpiX, MarginLeft), DevicePixels(dpiY, MarginTop),
               static_cast<Integer>(std::trunc(pw - dpiX * MarginRight)),
               static_cast<Integer>(std::trunc(ph - dpiY * MarginBottom)));
  c->GetPen()->SetMode(pmCopy);
  c->GetPen()->SetStyle(psSolid);
  c->GetBrush()->SetStyle(bsSolid);
}

bool TLumerakIO::DoPrintPreviewDialog(TLKDialogType DialogType, const String& TaskName, bool PrintAnnotations,
                                      const String& Caption) {
  if (FAutoResetPrinter) LKResetPrinter();
  if (!MakeConsistentBitmap({})) return false;
  TLKBitmap* bitmap = GetLKBitmap();
  if (bitmap->GetWidth() <= 1 && bitmap->GetHeight() <= 1) return false;
  if (DialogType != lkdtDialog && DialogType != lkdtMaxi) return false;
  if (!PrintForms()) return false;
  std::unique_ptr<TLKPrintForm> form = PrintForms()(DialogType, this);
  if (!form) return false;
  form->IO = this;
  form->MeasureUnit = FDialogsMeasureUnit;
  form->SetLanguage(GetMsgLanguage());
  form->Font = GetPreviewFont();
  form->TaskName = TaskName;
  form->Params = FPrintPreviewParams.get();
  form->PrintAnnotations = PrintAnnotations;
  form->Caption = Caption;
  if (OnIOPreview) OnIOPreview(this, form->FormObject());
  return form->ShowModal();
}
