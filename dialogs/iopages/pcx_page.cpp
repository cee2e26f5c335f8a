#include "dialogs/iopages/pcx_page.h"

#include "io/lkformatrow.h"

extern constinit const TLKOptionsPageMaker LKPage_PCX = LKMakeOptionsPage<TLKPcxOptionsPage>;

namespace {
const TLKRleColorsSpec kPCX{ppPCX,
                            lkftPCX,
                            "PCX",
                            lkclPCX,
                            {"B/W", "16", "256", "16M"},
                            [](const TIOParamsVals& P) { return Byte(P.PCX_COMPRESSION); },
                            [](TIOParamsVals& P, Byte C) { P.PCX_COMPRESSION = TIOPCXCompression(C); }};
}  // namespace

TLKPcxOptionsPage::TLKPcxOptionsPage(TLKOptionsHost& Host) : TLKRleColorsPage(Host, kPCX) {}
