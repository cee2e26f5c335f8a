#include "dialogs/lkprintformlogic.h"

#include <cmath>
#include <cstdio>

#include "platform/sysutils.h"

namespace lkprintform {

double XMult(TLKDialogsMeasureUnit Unit) {
  return (Unit == lkduCm || Unit == lkduSelectableDefCm) ? 2.54 : 1.0;
}

double Number(const String& Text, double Default) {
  double v = 0;
  if (TryStrToFloat(Text, v) && std::isfinite(v)) return v;
  return Default;
}

String NumberText(double Value) {
  char buf[64];
  std::snprintf(buf, sizeof buf, "%.4G", Value);
  String s = buf;
  // "1.5E-05" -> "1.5E-5": exponents without leading zeros or plus sign.
  const std::size_t e = s.find('E');
  if (e != String::npos) {
    String mant = s.substr(0, e), exp = s.substr(e + 1);
    String sign;
    if (!exp.empty() && (exp[0] == '+' || exp[0] == '-')) {
      if (exp[0] == '-') sign = "-";
      exp = exp.substr(1);
    }
    while (exp.size() > 1 && exp[0] == '0') exp = exp.substr(1);
    s = mant + "E" + sign + exp;
  }
  return s;
}

String Stepped(const String& Text, bool Up, double Step) {
  double v = Number(Text, 0) + (Up ? Step : -Step);
  // Steps of 0.01 drift in binary: round to the step's own digits.
  v = std::round(v * 1e6) / 1e6;
  if (v < 0) v = 0;
  return NumberText(v);
}

void Load(const TIOPrintPreviewParams& Params, TLKPrintFormTexts& Texts, TLKDialogsMeasureUnit Unit,
          Integer PictureWidth, Integer PictureHeight, Integer DpiX, Integer DpiY, Integer DefaultDpi) {
  Texts.Margin[0] = NumberText(Params.MarginTop);
  Texts.Margin[1] = NumberText(Params.MarginLeft);
  Texts.Margin[2] = NumberText(Params.MarginRight);
  Texts.Margin[3] = NumberText(Params.MarginBottom);
  Texts.Position = Params.Position <= ppBottomRight ? Params.Position : ppCenter;
  Texts.SizeIndex = Params.Size <= psSpecifiedSize ? static_cast<Integer>(Params.Size) : -1;
  // Settings made without a resolution (0) would divide by zero.
  if (DpiX <= 0) DpiX = DefaultDpi > 0 ? DefaultDpi : 72;
  if (DpiY <= 0) DpiY = DefaultDpi > 0 ? DefaultDpi : 72;
  Texts.Width = NumberText(Params.Width > 0 ? Params.Width : static_cast<double>(PictureWidth) / DpiX * XMult(Unit));
  Texts.Height =
      NumberText(Params.Height > 0 ? Params.Height : static_cast<double>(PictureHeight) / DpiY * XMult(Unit));
  Texts.Gamma = NumberText(Params.Gamma);
}

void Save(const TLKPrintFormTexts& Texts, TIOPrintPreviewParams& Params) {
  Params.MarginTop = Number(Texts.Margin[0], 1);
  Params.MarginLeft = Number(Texts.Margin[1], 1);
  Params.MarginRight = Number(Texts.Margin[2], 1);
  Params.MarginBottom = Number(Texts.Margin[3], 1);
  Params.Gamma = Number(Texts.Gamma, 1);
  Params.Position = (Texts.Position >= 0 && Texts.Position <= ppBottomRight)
                        ? static_cast<TIOPrintPreviewPosition>(Texts.Position)
                        : ppCenter;
  Params.Size = (Texts.SizeIndex >= 0 && Texts.SizeIndex <= psSpecifiedSize)
                    ? static_cast<TIOPrintPreviewSize>(Texts.SizeIndex)
                    : psFitToPage;
  if (Params.Size == psSpecifiedSize) {
    Params.Width = Number(Texts.Width, 6);
    Params.Height = Number(Texts.Height, 4);
  } else {
    Params.Width = -1;
    Params.Height = -1;
  }
}

TLKPrintLayout Layout(const TLKPrintFormTexts& Texts, TLKDialogsMeasureUnit Unit) {
  TLKPrintLayout l;
  const Integer b = Texts.Position + 1;  // grid button number 1..9
  l.VerticalPos = (b >= 1 && b <= 3) ? lkvpTOP : (b >= 7 && b <= 9) ? lkvpBOTTOM : lkvpCENTER;
  l.HorizontalPos = (b == 1 || b == 4 || b == 7) ? lkhpLEFT : (b == 3 || b == 6 || b == 9) ? lkhpRIGHT : lkhpCENTER;
  l.Size = (Texts.SizeIndex >= 0 && Texts.SizeIndex <= lksSPECIFIEDSIZE) ? static_cast<TLKSize>(Texts.SizeIndex)
                                                                         : lksFITTOPAGE;
  const double f = XMult(Unit);
  l.MarginTop = Number(Texts.Margin[0], 0) / f;
  l.MarginLeft = Number(Texts.Margin[1], 0) / f;
  l.MarginRight = Number(Texts.Margin[2], 0) / f;
  l.MarginBottom = Number(Texts.Margin[3], 0) / f;
  l.Width = Number(Texts.Width, f) / f;
  l.Height = Number(Texts.Height, f) / f;
  if (l.Width == 0) l.Width = 0.001;
  if (l.Height == 0) l.Height = 0.001;
  l.Gamma = Number(Texts.Gamma, 1);
  return l;
}

void ConvertUnits(TLKPrintFormTexts& Texts, TLKDialogsMeasureUnit From, TLKDialogsMeasureUnit To) {
  const double f = XMult(To) / XMult(From);
  if (f == 1.0) return;
  auto conv = [f](String& t) { t = NumberText(Number(t, 0) * f); };
  for (String& m : Texts.Margin) conv(m);
  conv(Texts.Width);
  conv(Texts.Height);
}

}  // namespace lkprintform
