#include "io/lkavicodec.h"

namespace {

TLKAVICodecChooser& Chooser() {
  static TLKAVICodecChooser chooser;
  return chooser;
}

}  // namespace

const std::vector<TLKAVICompressor>& LKAVICompressors() {
  static const std::vector<TLKAVICompressor> list = {
      {"DIB ", "Full Frames (Uncompressed)"},
      {"MJPG", "Motion JPEG"},
  };
  return list;
}

void LKSetAVICodecChooser(TLKAVICodecChooser Value) { Chooser() = std::move(Value); }

String LKAVISelectCodec() {
  String code;
  if (!Chooser() || !Chooser()(LKAVICompressors(), code)) return "";
  return code;
}
