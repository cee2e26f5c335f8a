#include "io/lkcodecentries.h"

TLKCodecEntries& LKCodecEntries() {
  static TLKCodecEntries entries = LKDefaultCodecEntries();
  return entries;
}
