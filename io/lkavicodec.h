// The compressors the AVI writer offers and the choice of one by the user.
// The form that asks sits in the dialogs layer, above this one: it installs
// itself as the chooser when the dialogs are installed.
#pragma once

#include <functional>
#include <vector>

#include "core/hylkdefs.h"

/// A compressor of TLumerakIO::CreateAVIFile: its four-character code and
/// the name shown for it.
struct TLKAVICompressor {
  String Code;
  String Name;
};

/// The compressors CreateAVIFile writes, full frames first.
const std::vector<TLKAVICompressor>& LKAVICompressors();

/// Shows the compressors and puts the chosen one's code in Code; false when
/// the user cancels.
using TLKAVICodecChooser = std::function<bool(const std::vector<TLKAVICompressor>& Compressors, String& Code)>;
/// Installs the chooser (an empty one removes it).
void LKSetAVICodecChooser(TLKAVICodecChooser Chooser);

/// The code of the compressor the user chooses for a new AVI file; "" when
/// the user cancels or no chooser is installed.
String LKAVISelectCodec();
