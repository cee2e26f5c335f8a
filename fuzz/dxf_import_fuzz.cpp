// Fuzz target for the vector view's DXF import: arbitrary text must never
// crash, hang or overflow; objects are added only for the entities read.
#include <unistd.h>

#include <cstddef>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <string>

#include "core/lkbitmap.h"
#include "fuzz/view_fuzz_kit.h"
#include "views/lumerakvect.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  TLumerakVect& v = FuzzVect();
  if (v.GetLKBitmap()->GetWidth() != 101) v.GetLKBitmap()->Allocate(101, 73, lk24RGB);
  static const std::string path = "/tmp/dxf_fuzz_" + std::to_string(getpid()) + ".dxf";
  std::FILE* f = std::fopen(path.c_str(), "wb");
  if (f == nullptr) return 0;
  std::fwrite(data, 1, size, f);
  std::fclose(f);
  v.RemoveAllObjects();
  v.ImportDXF(path);
  return 0;
}
