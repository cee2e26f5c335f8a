// The arithmetic of the open and save dialogs, apart from any window: the
// filter text built from the format registry, the filter entry of a file
// name, extension rewriting, the texts of the information labels and the
// format-options pages that belong to a name. The dialogs
// (dialogs/lkopensavedlg.h) wire these to their controls.
#pragma once

#include <vector>

#include "core/hylkdefs.h"
#include "core/lkmsg.h"
#include "io/lkfileformats.h"

class TIOParamsVals;

/// Whether the registry record can be written now: it has a write function
/// and, for a built-in format, its codec has a writer (formats listed ahead
/// of their codec answer false until the codec arrives).
bool LKFormatHasWriter(const TLKFileFormatInfo& Info);
/// Likewise for reading.
bool LKFormatHasReader(const TLKFileFormatInfo& Info);

/// The dialog filter, pairs of description and pattern list separated by
/// "|": every registered format that can be written (Save) or read (open)
/// in registration order as "name (*.a;*.b)|*.a;*.b", the video entries,
/// then ExtraFilters. The open filter starts with the combined entry of all
/// internal formats and the all-files entry; the save filter has neither.
/// GIF capabilities are refreshed from the LZW hooks first.
String LKBuildDialogFilter(bool Save, const String& ExtraFilters, TMsgLanguage Language);

/// One entry of a filter text.
struct TLKFilterEntry {
  String Description;
  String Patterns;
};
/// Splits a filter text into its entries (a description without patterns
/// gets an empty pattern list).
std::vector<TLKFilterEntry> LKSplitFilter(const String& Filter);

/// The entry (from 1) whose text first holds the lower-case extension of
/// FileName with its dot: half the "|" before that place, plus 1. 1 when the
/// name has no extension or the filter does not hold it.
Integer LKFileName2FilterIndex(const String& Filter, const String& FileName);

/// The first extension of a pattern list with its dot: "*.jpg;*.jpeg" gives
/// ".jpg"; empty when the list has none.
String LKFirstPatternExt(const String& Patterns);

/// The last extension of a pattern list with its dot: "*.jpg;*.jpeg" gives
/// ".jpeg"; empty when the list has none.
String LKLastPatternExt(const String& Patterns);

/// True when one of the ";"-separated patterns is "*" followed by Ext
/// (compared without case).
bool LKPatternsHaveExt(const String& Patterns, const String& Ext);

/// The extension of the file-name part of Name, with its dot ("" for none;
/// folders with dots in their names do not count).
String LKFileNameExt(const String& Name);

/// Name with the extension of its file-name part replaced by Ext (with its
/// dot); a name without extension gets Ext appended; an empty Ext removes
/// the extension. "IMG.2024.05.crw" with ".png" gives "IMG.2024.05.png".
String LKReplaceFileNameExt(const String& Name, const String& Ext);

/// The texts of the five information labels.
struct TLKDialogInfoTexts {
  String Pic1;   ///< "W x H pixel" (with " , N frames")
  String Pic2;   ///< colours and bits
  String Pic3;   ///< resolution
  String Info1;  ///< file type
  String Info2;  ///< file and memory size
};

/// The label texts for a file of FileSize bytes with FrameCount frames whose
/// parameters are Params.
TLKDialogInfoTexts LKDialogInfoTexts(const TIOParamsVals& Params, Int64 FileSize, Integer FrameCount,
                                     TMsgLanguage Language);

/// The colour count text of Bits bits in SamplesPerPixel samples:
/// "16777216" for 4 samples of 8 bits, "2^48" for 3 samples of 16 bits, else
/// 2 to the power of the bits (as "2^n" past 62 bits).
String LKColorCountText(Integer SamplesPerPixel, Integer BitsPerSample);

/// "n KB" (size div 1024) from 1024 bytes up, else "n byte".
String LKByteSizeText(Int64 Size);

/// The format-options pages and file type of the format a save dialog is
/// aimed at: by the extension of Name, else DefaultExt, else the last
/// extension of the live filter's Patterns. Pages 0 and type 0 when none.
void LKAdvancedType(const String& Name, const String& DefaultExt, const String& Patterns, TPreviewParams& Pages,
                    Integer& FileType);
