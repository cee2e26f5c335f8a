// The BMP options page: run-length compression and colours.
#pragma once

#include "dialogs/iopages/rlecolors_page.h"

class TLKBmpOptionsPage : public TLKRleColorsPage {
 public:
  explicit TLKBmpOptionsPage(TLKOptionsHost& Host);
};
