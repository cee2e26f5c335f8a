// The format-options dialog: the save options of one image format with a
// live preview of the picture as it will look after saving and the size
// the saved file will take.
#pragma once

#include <memory>

#include "dialogs/lkiodialogs.h"

/// A new format-options form for the I/O component Owner.
std::unique_ptr<TLKPreviewsForm> LKCreatePreviewsForm(TComponent* Owner);
