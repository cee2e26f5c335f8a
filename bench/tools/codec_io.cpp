// Helper of bench/codecs_side_by_side.sh: loads or saves one file through
// the I/O component, so that its cost is measured like a peer tool's
// (process start included).
//
//   codec_io load FILE
//   codec_io save IN OUT [compression]   (IN is any file the component reads;
//                                          compression: the PNG level)
#include <cstdio>
#include <cstdlib>
#include <string>

#include "io/lumerakio.h"

int main(int argc, char** argv) {
  if (argc < 3) {
    std::fprintf(stderr, "usage: codec_io load FILE | save IN OUT [level]\n");
    return 2;
  }
  const std::string mode = argv[1];
  TLumerakIO io;
  TLKBitmap bmp;
  io.SetAttachedLKBitmap(&bmp);
  io.LoadFromFile(argv[2]);
  if (io.GetAborted()) {
    std::fprintf(stderr, "cannot load %s\n", argv[2]);
    return 1;
  }
  if (mode == "save" && argc >= 4) {
    TIOParamsVals* p = io.GetIOParams();
    p->PNG_COMPRESSION = argc >= 5 ? std::atoi(argv[4]) : 6;
    p->PNG_FILTER = ioPNG_FILTER_NONE;
    p->BITSPERSAMPLE = 8;
    p->SAMPLESPERPIXEL = bmp.GetPixelFormat() == lk8p ? 1 : 3;
    io.SaveToFile(argv[3]);
    if (io.GetAborted()) {
      std::fprintf(stderr, "cannot save %s\n", argv[3]);
      return 1;
    }
  }
  return 0;
}
