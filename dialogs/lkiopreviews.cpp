#include "dialogs/lkiopreviews.h"

std::unique_ptr<TLKPreviewsForm> LKCreatePreviewsForm(TComponent*) { return nullptr; }
