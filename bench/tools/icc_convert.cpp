// Helper of bench/icc_side_by_side.sh: loads a picture through the I/O
// component with colour management on (an embedded profile converts it to
// sRGB as it is read) and saves it, so the conversion is measured and
// compared like a peer tool's (process start included).
//
//   icc_convert IN OUT [plain]   (OUT's extension picks the format; "plain"
//                                  leaves colour management off)
#include <cstdio>
#include <string>

#include "io/lkconvertcolor.h"
#include "io/lumerakio.h"

int main(int argc, char** argv) {
  if (argc < 3) {
    std::fprintf(stderr, "usage: icc_convert IN OUT [plain]\n");
    return 2;
  }
  lkgEnableCMS = !(argc >= 4 && std::string(argv[3]) == "plain");
  TLumerakIO io;
  TLKBitmap bmp;
  io.SetAttachedLKBitmap(&bmp);
  io.LoadFromFile(argv[1]);
  if (io.GetAborted()) {
    std::fprintf(stderr, "cannot load %s\n", argv[1]);
    return 1;
  }
  TIOParamsVals* p = io.GetIOParams();
  p->JPEG_QUALITY = 90;
  io.SaveToFile(argv[2]);
  if (io.GetAborted()) {
    std::fprintf(stderr, "cannot save %s\n", argv[2]);
    return 1;
  }
  return 0;
}
