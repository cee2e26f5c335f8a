// Fuzz target for the metadata read side: the input is taken as the TIFF of
// an EXIF block, as a camera file searched for a TIFF header, as an XMP
// payload and as a maker-note block. Nothing may crash, hang or read
// outside the input, and thumbnails stay within their size limit.
#include <atomic>
#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <vector>

#include "codecs/tiff/tiffdir.h"
#include "codecs/tiff/tiffilt.h"
#include "io/lkexif.h"
#include "io/lktagshandler.h"
#include "platform/classes.h"

namespace {

// Every reader on the first entries of a loaded directory (each lookup is
// a linear search, so all entries of a huge directory would only measure
// the search).
void ReadAll(const TTIFFEnv& Env) {
  std::vector<Integer> values;
  std::vector<Byte> raw;
  String text;
  std::u16string wide;
  for (size_t i = 0; i < Env.Tags.size() && i < 64; ++i) {
    const TTIFFTAG& t = Env.Tags[i];
    TIFFReadSingleValDef(Env, t.Tag, 0);
    TIFFReadSingleRational(Env, t.Tag);
    TIFFReadRationalIndex(Env, t.Tag, 2);
    TIFFReadIndexValN(Env, t.Tag, 1);
    TIFFReadArrayIntegers(Env, values, t.Tag);
    TIFFReadRawData(Env, t.Tag, raw);
    TIFFReadString(Env, t.Tag, text);
    TIFFReadMiniString(Env, t.Tag, text);
    TIFFReadWideString(Env, t.Tag, wide);
  }
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  if (size > (1u << 20)) return 0;
  std::vector<Byte> block = {'E', 'x', 'i', 'f', 0, 0};
  block.insert(block.end(), data, data + size);
  TIOParamsVals params;
  LoadEXIFFromStandardBuffer(block.data(), static_cast<Integer>(block.size()), params);
  if (params.EXIF_ThumbnailImage && (params.EXIF_ThumbnailImage->GetWidth() > 400 ||
                                     params.EXIF_ThumbnailImage->GetHeight() > 400))
    std::abort();

  TMemoryStream ms;
  if (size > 0) ms.Write(data, static_cast<Integer>(size));
  ms.SetPosition(0);
  IsTIFFStream(&ms);
  IsDNGStream(&ms);
  _EnumTIFFImStream(&ms);
  TTIFFEnv env, sub;
  Integer pages = 0;
  for (Integer page = 0; page < 2; ++page) {
    ms.SetPosition(0);
    if (!TIFFLoadTags(&ms, pages, page, env)) break;
    ReadAll(env);
    for (Word pointer : {Word(34665), Word(34853), Word(40965)})
      if (TIFFLoadSubIFD(env, pointer, sub)) ReadAll(sub);
  }

  ms.SetPosition(0);
  const Int64 at = LKSearchEXIFInfo(&ms);
  if (at >= 0) {
    ms.SetPosition(at);
    TIOParamsVals camera;
    LKLoadEXIFFromTIFF(&ms, camera);
  }

  TIOParamsVals xmp;
  LKLoadXMPFromJpegTag(data, static_cast<Integer>(size), xmp);

  TLKTagsHandler note;
  if (size > 0) note.GetStream()->Write(data, static_cast<Integer>(size));
  note.Update();
  ReadAll(note.GetEnv());
  return 0;
}
