// The PCX options page: run-length compression and colours.
#pragma once

#include "dialogs/iopages/rlecolors_page.h"

class TLKPcxOptionsPage : public TLKRleColorsPage {
 public:
  explicit TLKPcxOptionsPage(TLKOptionsHost& Host);
};
