// Writes the seed corpus of raw_develop_fuzz and ciff_exif_fuzz: the whole
// small camera files of the reader tests, and Canon CIFF files with names,
// picture sizes, maker-note arrays and embedded JPEG pictures.
// Usage: raw_develop_seeds <directory>
#include <cstdio>
#include <string>
#include <vector>

#include "raw/rawfiles.h"

using rawkit::CiffBuilder;
using rawfiles::Bytes;
using rawfiles::ByteWriter;

namespace {

Bytes CiffWithPictures(bool little) {
  ByteWriter names(little), soft(little), size(little), notes(little), words(little);
  names.text("Canon").text("Canon EOS D60");
  soft.text("Firmware 1.1").text("");
  size.u32(96).u32(64);
  notes.u16(0x0102).u16(0x0304).u16(7);
  words.u16(1).u16(2);
  return CiffBuilder(little).build_file({
      CiffBuilder::heap(0x300a, {CiffBuilder::rec(0x080a, names.bytes()), CiffBuilder::rec(0x080b, soft.bytes()),
                                 CiffBuilder::rec(0x102d, words.bytes()),
                                 CiffBuilder::heap(0x2807, {CiffBuilder::rec(0x1810, size.bytes())})}),
      CiffBuilder::rec(0x102a, notes.bytes()),
      CiffBuilder::rec(0x2007, rawfiles::Jpeg(16, 12)),
      CiffBuilder::heap(0x300b, {CiffBuilder::rec(0x2008, rawfiles::Jpeg(40, 24, 1))}),
      CiffBuilder::rec(0x2008, rawfiles::Jpeg(24, 16, 2)),
  });
}

}  // namespace

int main(int argc, char** argv) {
  if (argc != 2) {
    std::fprintf(stderr, "usage: %s <directory>\n", argv[0]);
    return 2;
  }
  std::vector<rawfiles::KitFile> seeds = rawfiles::Kit();
  seeds.push_back({"ciff pictures ii", CiffWithPictures(true)});
  seeds.push_back({"ciff pictures mm", CiffWithPictures(false)});
  for (const auto& [name, bytes] : seeds) {
    std::string file = name;
    for (char& c : file)
      if (c == ' ') c = '_';
    const std::string path = std::string(argv[1]) + "/" + file;
    FILE* f = std::fopen(path.c_str(), "wb");
    if (!f || std::fwrite(bytes.data(), 1, bytes.size(), f) != bytes.size() || std::fclose(f) != 0) {
      std::fprintf(stderr, "cannot write %s\n", path.c_str());
      return 1;
    }
  }
  return 0;
}
