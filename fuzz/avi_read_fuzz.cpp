// Fuzz target for the AVI reader: the RIFF scan of every part, the stream
// headers, palette changes, and each frame's bytes, decoded as the I/O
// component decodes them (plain rows or Motion-JPEG).
#include <cstdint>
#include <cstdio>
#include <unistd.h>

#include "core/lkallocgate.h"
#include "io/lumerakio.h"
#include "platform/avifile.h"
#include "platform/classes.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  LKSetAllocationLimit(Int64{1} << 26);
  // The reader proper, over memory.
  auto ms = std::make_unique<TMemoryStream>();
  if (size > 0) ms->Write(data, static_cast<Integer>(size));
  TAviReader reader;
  if (reader.Open(std::move(ms))) {
    std::vector<Byte> frame, format;
    for (Integer i = 0; i < reader.FrameCount() && i < 8; ++i) reader.ReadFrame(i, frame, format);
  }
  // Through the component, which decodes the frames.
  static const String name = "/tmp/avi_read_fuzz_" + std::to_string(::getpid()) + ".avi";
  if (FILE* f = std::fopen(name.c_str(), "wb")) {
    if (size) std::fwrite(data, 1, size, f);
    std::fclose(f);
    TLumerakIO io;
    const Integer n = io.OpenAVIFile(name);
    for (Integer i = 0; i < n && i < 4; ++i) io.LoadFromAVI(i);
    io.CloseAVIFile();
  }
  return 0;
}
