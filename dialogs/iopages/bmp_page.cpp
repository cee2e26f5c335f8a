#include "dialogs/iopages/bmp_page.h"

#include "io/lkformatrow.h"

extern constinit const TLKOptionsPageMaker LKPage_BMP = LKMakeOptionsPage<TLKBmpOptionsPage>;

namespace {
const TLKRleColorsSpec kBMP{ppBMP,
                            lkftBMP,
                            "BMP",
                            lkclBMP,
                            {"B/W", "16", "256", "16M", "16M (32bit)"},
                            [](const TIOParamsVals& P) { return Byte(P.BMP_COMPRESSION); },
                            [](TIOParamsVals& P, Byte C) { P.BMP_COMPRESSION = TIOBMPCompression(C); }};
}  // namespace

TLKBmpOptionsPage::TLKBmpOptionsPage(TLKOptionsHost& Host) : TLKRleColorsPage(Host, kBMP) {}
