// Helper of bench/jpeg_side_by_side.sh: writes the JPEG comparison's
// pictures into a folder, as binary PPM (the command-line encoder's input)
// and as JPEG files at quality 80, 4:2:0, baseline and progressive (the
// decoders' input), with the names the benchmark looks for.
//
//   jpeg_fixture DIR
#include <cstdio>
#include <cstring>
#include <string>

#include "bench/jpeg_fixture.h"
#include "bench/tools/ppm_io.h"

int main(int argc, char** argv) {
  if (argc != 2) {
    std::fprintf(stderr, "usage: jpeg_fixture DIR\n");
    return 2;
  }
  const std::string dir = argv[1];
  for (const jpegbench::TSize2& s : {jpegbench::k24MP, jpegbench::k12MP}) {
    auto bmp = jpegbench::MakePicture(s);
    if (!jpegbench::SaveJpeg(*bmp, jpegbench::FixtureName(dir, s, "", ".jpg"), false) ||
        !jpegbench::SaveJpeg(*bmp, jpegbench::FixtureName(dir, s, "p", ".jpg"), true)) {
      std::fprintf(stderr, "cannot write the JPEG files of %s\n", s.Stem);
      return 1;
    }
    const std::string ppm = jpegbench::FixtureName(dir, s, "", ".ppm");
    if (!ppm_io::WritePPM(ppm.c_str(), s.Width, s.Height, [&](int y, std::uint8_t* row) {
          std::memcpy(row, bmp->GetScanLine(y), std::size_t(s.Width) * 3);
        }))
      return 1;
  }
  return 0;
}
