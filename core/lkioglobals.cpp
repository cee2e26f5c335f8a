#include "core/lkioglobals.h"

#include <cstdio>

#include "platform/sysutils.h"

String DefTEMPPATH;
String lkgPrintLogFileName;

TCMYK LKRGB2CMYK(TRGB rgb) {
  Integer m = rgb.r;
  if (rgb.g > m) m = rgb.g;
  if (rgb.b > m) m = rgb.b;
  if (m == 0) m = 1;
  TCMYK c;
  c.c = static_cast<Byte>(rgb.r * 255 / m);
  c.m = static_cast<Byte>(rgb.g * 255 / m);
  c.y = static_cast<Byte>(rgb.b * 255 / m);
  c.k = static_cast<Byte>(m);
  return c;
}

TRGB LKCMYK2RGB(TCMYK cmyk) {
  TRGB rgb;
  rgb.r = static_cast<Byte>(cmyk.c * cmyk.k / 255);
  rgb.g = static_cast<Byte>(cmyk.m * cmyk.k / 255);
  rgb.b = static_cast<Byte>(cmyk.y * cmyk.k / 255);
  return rgb;
}

void LKPrintLogWrite(const String& text) {
  if (lkgPrintLogFileName.empty()) return;
  std::FILE* f = std::fopen(lkgPrintLogFileName.c_str(), "a");
  if (!f) throw EFOpenError("Cannot open file \"" + lkgPrintLogFileName + "\"");
  const String line = DateTimeToStr(Now()) + " : " + text + "\n";
  std::fputs(line.c_str(), f);
  std::fclose(f);
}
