// Fuzz target for the metafile player: the header of either kind, then
// every record played into a small picture. Text needs the fonts of a Qt
// application, which runs on the offscreen platform.
#include <QGuiApplication>

#include <cstdint>
#include <cstdlib>
#include <vector>

#include "platform/metafile.h"

// The font stack keeps fontconfig's caches until the process ends.
extern "C" const char* __lsan_default_suppressions() { return "leak:libfontconfig\n"; }

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  static int argc = 1;
  static char name[] = "metafile_play_fuzz";
  static char* argv[] = {name, nullptr};
  static QGuiApplication* app = [] {
    setenv("QT_QPA_PLATFORM", "offscreen", 1);
    return new QGuiApplication(argc, argv);
  }();
  (void)app;
  TMetafile meta;
  if (!meta.LoadFromBytes(std::vector<Byte>(data, data + size))) return 0;
  // The picture's own size plays no part: the target stays small.
  const Integer w = 37, h = 23, stride = (w * 3 + 3) & ~3;
  std::vector<Byte> px(size_t(stride) * h, 0);
  meta.Play(px.data(), w, h, stride);
  return 0;
}
