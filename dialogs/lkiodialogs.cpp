#include "dialogs/lkiodialogs.h"

namespace {
TLKIODialogs* gIODialogs = nullptr;
}

void LKSetIODialogs(TLKIODialogs* Dialogs) { gIODialogs = Dialogs; }

TLKIODialogs* LKGetIODialogs() { return gIODialogs; }
