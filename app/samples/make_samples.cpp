// Makes the folder of sample camera RAW files beside the program, each
// from a photograph of the desktop backgrounds package:
//   make_samples [--photos FOLDER] OUTPUT-FOLDER
#include <sys/stat.h>

#include <cstdio>
#include <cstring>
#include <string>

#include "app/samples/photosamples.h"

namespace {

int Usage(FILE* To, int Code) {
  std::fprintf(To,
               "usage: make_samples [--photos FOLDER] OUTPUT-FOLDER\n"
               "Writes sample camera RAW files into OUTPUT-FOLDER, made from the photographs in FOLDER\n"
               "(default %s).\n",
               samples::kPhotoFolder);
  return Code;
}

}  // namespace

int main(int argc, char** argv) {
  std::string photos = samples::kPhotoFolder, folder;
  for (int i = 1; i < argc; ++i) {
    const char* a = argv[i];
    if (std::strcmp(a, "--help") == 0 || std::strcmp(a, "-h") == 0) return Usage(stdout, 0);
    if (std::strcmp(a, "--photos") == 0) {
      if (i + 1 >= argc) return Usage(stderr, 2);
      photos = argv[++i];
    } else if (a[0] == '-') {
      std::fprintf(stderr, "make_samples: unknown option %s\n", a);
      return Usage(stderr, 2);
    } else if (folder.empty()) {
      folder = a;
    } else {
      return Usage(stderr, 2);
    }
  }
  if (folder.empty()) return Usage(stderr, 2);
  mkdir(folder.c_str(), 0755);
  std::string error;
  if (!samples::WritePhotoSamples(folder, photos, error)) {
    std::fprintf(stderr, "make_samples: %s (scripts/setup installs the photographs)\n", error.c_str());
    return 1;
  }
  return 0;
}
