// The file-format registry: the process-wide list of the picture formats the
// library knows, each with its type number, display name, extensions, the
// format-options pages that apply and up to three functions (read, write,
// content probe). The I/O component looks formats up by type and extension,
// the content detection runs the probes of registered formats, the open and
// save dialogs build their filters from it and external plug-ins add their
// formats to it.
//
// The built-in records are made from the format rows (io/lkformatrow.h),
// whose table is kept beside the codecs; this module includes no codec
// header.
//
// The registry has no lock: it is filled at start-up on the main thread;
// worker threads only read it afterwards.
#pragma once

#include <vector>

#include "core/hylkdefs.h"
#include "platform/classes.h"

class TLKBitmap;
class TIOParamsVals;

/// Pages of the format-options dialog.
enum TPreviewParam : Byte { ppALL, ppAUTO, ppJPEG, ppTIFF, ppGIF, ppBMP, ppPCX, ppPNG, ppTGA, ppJ2000 };

/// A set of TPreviewParam, one bit per page (bit n for the value n).
using TPreviewParams = Word;

/// The set holding only page p.
constexpr TPreviewParams PreviewPage(TPreviewParam p) { return static_cast<TPreviewParams>(1u << p); }

/// Reads the stream from its position into the bitmap and the parameter
/// record; with Preview true only the parameters are filled. Failure sets the
/// Boolean that Progress points to.
using TLKReadImageStream = void (*)(TStream& Stream, TLKBitmap& Bitmap, TIOParamsVals& IOParams,
                                    TProgressRec& Progress, bool Preview);
/// Writes the bitmap to the stream with the record's options. Failure sets the
/// Boolean that Progress points to.
using TLKWriteImageStream = void (*)(TStream& Stream, TLKBitmap& Bitmap, TIOParamsVals& IOParams,
                                     TProgressRec& Progress);
/// True when the stream holds the format of type FileType (the record's own
/// type); leaves the stream position where it found it.
using TLKTryImageStream = bool (*)(TStream& Stream, Integer FileType);

/// Longest format name and extension list a record keeps.
inline constexpr size_t kLKFormatTextMax = 80;
/// First file type number given to formats of external plug-ins.
inline constexpr Integer kLKFirstExternalFormat = 4096;

/// One registry record; copied by value into the registry.
struct TLKFileFormatInfo {
  Integer FormatType = 0;          ///< file type number (1-24 built in, 4096 and up external)
  String FormatName;               ///< display name, at most 80 characters
  String ExtensionList;            ///< extensions without dots separated by ";", at most 80 characters
  bool BuiltIn = false;            ///< served by the library's own codec, which the I/O component calls directly
  TPreviewParams OptionPages = 0;  ///< format-options pages that apply
  TLKReadImageStream ReadProc = nullptr;    ///< null: the format cannot be read
  TLKWriteImageStream WriteProc = nullptr;  ///< null: the format cannot be written
  TLKTryImageStream ProbeProc = nullptr;    ///< null: no content probe
};
using PLKFileFormatInfo = TLKFileFormatInfo*;

/// The twenty built-in records in registration order, made from the
/// registered format rows. Their read and write entries run the row's jobs
/// (setting the abort flag while the row has none); the I/O component itself
/// runs the rows through its frames. Their probes answer false: built-in
/// formats are detected by the rows' probes in their order.
const std::vector<TLKFileFormatInfo>& LKBuiltInFileFormats();

/// The registry: a list of PLKFileFormatInfo in registration order, each a
/// private copy owned by the list. Null before LKIOModuleStart and after
/// LKIOModuleEnd. Lookups return the first match.
extern TList* lkgFileFormats;

/// Module start: empties DefTEMPPATH, creates the registry with the built-in
/// records in table order and installs the file-type lookup of the parameter
/// record. Does nothing when the registry exists already. The registry
/// functions below call it themselves when the registry does not exist yet.
void LKIOModuleStart();

/// Module end: releases the external plug-ins (LKExtIOModuleEnd), frees
/// every registry record and the list, removes the
/// file-type lookup and empties DefTEMPPATH. A later registry call starts the
/// module again with the built-in records.
void LKIOModuleEnd();

/// Copies Info (names cut to 80 characters) and appends it to the registry.
/// No test for an existing type or extension: a second record of the same
/// type stays behind the first and is never found by type.
void LKFileFormatAdd(const TLKFileFormatInfo& Info);

/// Removes the first record of FileType and frees it; nothing when none.
void LKFileFormatRemove(Integer FileType);

/// The first record of FileType, null when none. The pointer stays valid
/// until the record is removed.
PLKFileFormatInfo LKFileFormatGetInfo(Integer FileType);

/// The first record listing Extension (any letter case, one leading dot
/// ignored), null when none or when the extension is empty.
PLKFileFormatInfo LKFileFormatGetInfo2(const String& Extension);

/// Number of extensions of the record of FileType: those before the first
/// empty item of its list; 0 when there is no record.
Integer LKFileFormatGetExtCount(Integer FileType);

/// Extension number Index (from 0) of the record of FileType as stored
/// (without dot); empty when there is no record or Index is past the end.
String LKFileFormatGetExt(Integer FileType, Integer Index);

/// The type of the record listing Extension, 0 when none.
Integer LKExtToFileFormat(const String& Extension);

/// True when a record lists Extension and is built in.
bool LKIsInternalFormat(const String& Extension);

/// True when the record of the file name's extension exists and can read.
bool IsKnownFormat(const String& FileName);

/// Number of files (not folders) directly in Directory whose name
/// IsKnownFormat accepts; 0 when the folder cannot be listed.
Integer LKFindNumberWithKnownFormat(const String& Directory);

/// Re-derives the GIF record's capabilities from the LZW hooks: readable when
/// DefGIF_LZWDECOMPFUNC is set, writable when DefGIF_LZWCOMPFUNC is set.
/// Nothing when no GIF record is registered.
void LKUpdateGIFStatus();
