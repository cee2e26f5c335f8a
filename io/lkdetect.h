// Detection of a picture's file type: by content for streams, by content
// reconciled with the extension for files. The result is a file type number
// of the format registry, or 0 for unknown.
#pragma once

#include "core/hylkdefs.h"
#include "platform/classes.h"

/// A content probe of a codec: true when the stream holds its format. It
/// must leave the stream position where it found it and never read past the
/// stream's end.
using TLKContentProbe = bool (*)(TStream& Stream);

/// The content probes detection asks after its header tests, one entry per
/// codec (defined beside the codecs, so this module includes no codec
/// header). A null entry answers false.
struct TLKContentProbes {
  TLKContentProbe IsTIFF;    ///< a TIFF file
  TLKContentProbe IsDNG;     ///< a DNG file (a TIFF the TIFF codec is not asked to read)
  TLKContentProbe IsPNG;     ///< a PNG file
  TLKContentProbe IsICO;     ///< an icon file
  TLKContentProbe IsCUR;     ///< a cursor file
  TLKContentProbe IsTGA;     ///< a Targa file
  TLKContentProbe IsPXM;     ///< a portable bitmap, grey map or pixmap
  TLKContentProbe IsJPEG;    ///< a JPEG start marker near the position
  TLKContentProbe IsJP2;     ///< a JPEG 2000 file
  TLKContentProbe IsJ2K;     ///< a JPEG 2000 code stream
  TLKContentProbe IsDCX;     ///< a multi-page PCX file
  TLKContentProbe IsWMF;     ///< a Windows metafile
  TLKContentProbe IsEMF;     ///< an enhanced metafile
  TLKContentProbe IsPSD;     ///< a Photoshop file
  TLKContentProbe IsCameraRAW;  ///< the camera RAW decoder's identification accepts it
};

/// The probes of the library's codecs.
const TLKContentProbes& LKContentProbes();

/// RIFF probe: true when the stream starts with "RIFF" and bytes 8 to 11 are
/// "AVI "; a stream shorter than 12 bytes gives false. The position is
/// restored.
bool LKIsAVIStream(TStream& Stream);

/// The file type of the stream's content from its current position, 0 when
/// nothing matches: header tests (stream headers, GIF, PCX, BMP), the codec
/// probes, the probes of registered external formats, and last the camera RAW
/// identification. The stream position is the same before and after on every
/// path, also when a probe raises (the result is then 0).
Integer FindStreamFormat(TStream& Stream);

/// The file type of the file FileName: its content (FindStreamFormat), made
/// camera RAW when the content is TIFF and the extension's record is camera
/// RAW. With VerifyExtension, a type the extension's record does not confirm
/// gives 0 (icon and cursor content take the extension's type when that is
/// icon or cursor). 0 when the name is empty or the file cannot be read.
Integer FindFileFormat(const String& FileName, bool VerifyExtension);
