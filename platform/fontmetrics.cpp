#include "platform/fontmetrics.h"

#include <QFontMetrics>
#include <algorithm>

TLKFontMetrics GetFontMetrics(const TFont& Font) {
  const QFont f = FontToQFont(Font);
  const QFontMetrics m(f);
  TLKFontMetrics r;
  r.Height = m.height();
  r.Ascent = m.ascent();
  r.InternalLeading = std::max(0, m.height() - f.pixelSize());
  return r;
}
