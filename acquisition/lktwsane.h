// The library's own source manager: its sources are the scanners SANE
// finds (one source per device, its product name the device name). The
// capabilities map to the device's options: pixel type and bit depth to
// the mode and depth, the resolutions to the resolution, the acquire frame
// to the scan area, the feeder to an automatic document feeder source, the
// unknown-length mode to a hand-scanner option. Line-art arrives with 0 as
// black; 16-bit samples in the machine's byte order.
#pragma once

#include <utility>
#include <vector>

#include "acquisition/lktwain.h"
#include "platform/system.h"

/// The manager's entry point (the default manager of every connection).
TW_UINT16 LKSaneDSMEntry(TW_IDENTITY* Origin, TW_IDENTITY* Dest, TW_UINT32 DG, TW_UINT16 DAT, TW_UINT16 MSG,
                         TW_MEMREF Data);

/// Device options (name, value) set on every source when it opens, before
/// any negotiation: settings the protocol has no capability for.
void LKSaneSetExtraOptions(std::vector<std::pair<String, String>> Options);
