// Fuzz target for the camera RAW header parsers, the CIFF walks and the
// lossless-JPEG and Canon compressed loaders: arbitrary bytes must never
// crash, hang or read outside the input.
#include <cstddef>
#include <cstdint>
#include <memory>

#include "raw/lkrawbits.h"
#include "raw/lkrawciff.h"
#include "raw/lkrawparse.h"

namespace {

std::unique_ptr<TRAWDecoderState> fresh(TRAWSource& src) {
  auto s = std::make_unique<TRAWDecoderState>();
  set_source(*s, &src);
  reset_decoder_state(*s);
  return s;
}

// Runs `f`, swallowing the decoder's own exceptions (corrupt data, table
// overflow, allocation refused): those are the documented failures.
template <typename F>
void guarded(F&& f) {
  try {
    f();
  } catch (const Exception&) {
  }
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  TRAWMemorySource src(data, static_cast<Int64>(size));
  {
    auto s = fresh(src);
    guarded([&] { parse_tiff(*s, 0); });
  }
  {
    auto s = fresh(src);
    s->order = size > 0 && data[0] == 'M' ? 0x4d4d : 0x4949;
    Int64 hl = read_u32_at(*s, 2);
    guarded([&] { parse_ciff(*s, hl, stream_size(*s) - hl); });
  }
  {
    auto s = fresh(src);
    guarded([&] { parse_rollei(*s); });
  }
  {
    auto s = fresh(src);
    guarded([&] { parse_foveon(*s); });
  }
  {
    TCIFFExifInfo info;
    ciff_walk_for_exif(src, [](Int64, Integer& w, Integer& h) { w = h = 1; return true; }, info);
    ciff_walk_for_jpeg(src, nullptr);
    ciff_makernote_directory(info);
  }
  // Loaders on a small picture: sizes from the first bytes.
  for (int loader = 0; loader < 2; ++loader) {
    auto s = fresh(src);
    s->raw_height = size > 1 ? data[1] % 64 + 1 : 8;
    s->raw_width = size > 2 ? (data[2] % 64 + 1) * 8 : 64;
    s->height = s->iheight = s->raw_height;
    s->width = s->iwidth = s->raw_width;
    s->filters = 0x94949494u;
    alloc_image(*s);
    guarded([&] {
      if (loader == 0) {
        lossless_jpeg_load_raw(*s);
      } else {
        canon_init_tables(*s, size > 3 ? data[3] : 0);
        canon_compressed_load_raw(*s);
      }
    });
  }
  return 0;
}
