// Makes the folder of sample camera RAW files beside the program:
//   make_samples <folder>
#include <sys/stat.h>

#include <cstdio>

#include "app/samples/samplefiles.h"

int main(int argc, char** argv) {
  if (argc != 2) {
    std::fprintf(stderr, "usage: make_samples <folder>\n");
    return 2;
  }
  mkdir(argv[1], 0755);
  // 2 megapixels each: quick to develop, big enough to look at.
  if (!samples::Write(argv[1], 1200, 1600)) {
    std::fprintf(stderr, "make_samples: cannot write into %s\n", argv[1]);
    return 1;
  }
  return 0;
}
