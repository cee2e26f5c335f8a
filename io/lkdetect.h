// Detection of a picture's file type: by content for streams, by content
// reconciled with the extension for files. The result is a file type number
// of the format registry, or 0 for unknown.
#pragma once

#include "core/hylkdefs.h"
#include "platform/classes.h"

/// RIFF probe: true when the stream starts with "RIFF" and bytes 8 to 11 are
/// "AVI "; a stream shorter than 12 bytes gives false. The position is
/// restored.
bool LKIsAVIStream(TStream& Stream);

/// The file type of the stream's content from its current position, 0 when
/// nothing matches: the probes of the format rows in their detection order
/// (io/lkformatrow.h: header tests, codec probes, the probes of registered
/// external formats, and last the camera RAW identification). The stream position is the same before and after on every
/// path, also when a probe raises (the result is then 0).
Integer FindStreamFormat(TStream& Stream);

/// The file type of the file FileName: its content (FindStreamFormat), made
/// camera RAW when the content is TIFF and the extension's record is camera
/// RAW. With VerifyExtension, a type the extension's record does not confirm
/// gives 0 (icon and cursor content take the extension's type when that is
/// icon or cursor). 0 when the name is empty or the file cannot be read.
Integer FindFileFormat(const String& FileName, bool VerifyExtension);
