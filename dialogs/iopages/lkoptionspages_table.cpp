// The format-options pages: one line per page, in tab order. Each page is
// defined in its own file beside this one as LKPage_<name>; a format's row
// names its page in OptionPages.

#include "dialogs/iopages/lkoptionspage.h"

#define LK_OPTIONS_PAGES(X) \
  X(JPEG)                   \
  X(TIFF)                   \
  X(GIF)                    \
  X(BMP)                    \
  X(PCX)                    \
  X(PNG)                    \
  X(TGA)                    \
  X(J2000)

#define LK_DECLARE_PAGE(Name) extern const TLKOptionsPageMaker LKPage_##Name;
LK_OPTIONS_PAGES(LK_DECLARE_PAGE)
#undef LK_DECLARE_PAGE

const std::vector<TLKOptionsPageMaker>& LKOptionsPageMakers() {
#define LK_LIST_PAGE(Name) LKPage_##Name,
  static const std::vector<TLKOptionsPageMaker> makers = {LK_OPTIONS_PAGES(LK_LIST_PAGE)};
#undef LK_LIST_PAGE
  return makers;
}
