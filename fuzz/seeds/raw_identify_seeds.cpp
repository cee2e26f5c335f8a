// Writes the seed corpus of raw_identify_load_fuzz: one small camera-like
// file per magic-number path of identification and a few rows of the
// file-size table, built with the test kit.
// Usage: raw_identify_seeds <directory>
#include <cstdio>
#include <string>
#include <utility>
#include <vector>

#include "raw/kit/identfiles.h"
#include "raw/kit/rawkit.h"

using rawkit::Bytes;
using rawkit::ByteWriter;
using rawkit::TiffBuilder;
using rawkit::TiffIfd;

namespace {

Bytes NikonTiff() {
  TiffBuilder t(false);
  TiffIfd ifd0, raw;
  ifd0.add_text(271, "NIKON CORPORATION").add_text(272, "NIKON D1").add_sub(330, 1);
  raw.add_long(256, 64).add_long(257, 32).add_short(259, 1).add_long(273, 1024);
  t.ifds = {ifd0, raw};
  ByteWriter w(false);
  t.write(w);
  w.pad_to(4096, 0x47);
  return w.bytes();
}

// A headerless sensor dump of `size` bytes with varied content.
Bytes Busy(size_t size) {
  return rawkit::sensor_dump(size, [](size_t i) { return uint8_t(1 + (i * 7) % 83); });
}

}  // namespace

int main(int argc, char** argv) {
  if (argc != 2) {
    std::fprintf(stderr, "usage: %s <directory>\n", argv[0]);
    return 2;
  }
  Bytes ciff = rawkit::canon_ciff_file();
  ciff.resize(4096, 0x6b);
  const std::vector<std::pair<const char*, Bytes>> seeds = {
      {"phase_one", rawkit::phase_one_file(64, 32, 4096, 0x35)},
      {"canon_tiff_ii", rawkit::canon_tiff_file(true, 4096, 0x5a)},
      {"canon_tiff_mm", rawkit::canon_tiff_file(false, 4096, 0x5a)},
      {"nikon_tiff", NikonTiff()},
      {"canon_ciff", ciff},
      {"minolta_mrm", rawkit::minolta_file(32, 64, 4096, 0x21)},
      {"jpeg_exif", rawkit::jpeg_exif_file(4096, 0x3c)},
      {"nucore_br", rawkit::nucore_file("BR", 100, 64, 32, false, 4096, 0x11)},
      {"nucore_bmq", rawkit::nucore_file("BM", 100, 2597, 1950, true, 4096, 0x11)},
      {"contax", rawkit::contax_file()},
      {"fuji", rawkit::fuji_file(1000, 4096, 0x73)},
      {"foveon", rawkit::foveon_file(64, 32)},
      {"rollei", rawkit::rollei_file(64, 32, 4096, 0x29)},
      // Headerless files of the file-size table (larger; fuzz them with a
      // matching -max_len).
      {"size_kodak_dc20", Busy(62464)},  {"size_kodak_dc20_2", Busy(124928)},
      {"size_creative", Busy(787456)},
  };
  for (const auto& [name, bytes] : seeds) {
    const std::string path = std::string(argv[1]) + "/" + name;
    FILE* f = std::fopen(path.c_str(), "wb");
    if (!f || std::fwrite(bytes.data(), 1, bytes.size(), f) != bytes.size() || std::fclose(f) != 0) {
      std::fprintf(stderr, "cannot write %s\n", path.c_str());
      return 1;
    }
  }
  return 0;
}
