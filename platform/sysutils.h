// System utilities of the platform layer: file and folder helpers, folder
// listing with masks, the temporary folder and exclusive file creation, free
// memory, number text that never follows the locale, ASCII string helpers and
// TDateTime.
#pragma once

#include <concepts>
#include <functional>
#include <string>
#include <type_traits>
#include <vector>

#include "platform/system.h"

// ---------------------------------------------------------------------------
// Dates and times
// ---------------------------------------------------------------------------

/// Days since 1899-12-30 00:00 in the integral part, the time of day in the
/// fraction. Before that date the fraction still counts forward from
/// midnight (-1.25 is 1899-12-29 06:00).
using TDateTime = double;

/// The current local date and time, read through the clock function.
TDateTime Now();
/// The current date (midnight) and the time of day alone.
TDateTime Date();
TDateTime Time();
/// Replaces the clock Now() reads (tests pin it); an empty function restores
/// the system clock.
void SetNowFunction(std::function<TDateTime()> Clock);

/// Builds a date. Raises EConvertError "Invalid argument to date encode" for
/// a year outside 1..9999 or a month or day that does not exist.
TDateTime EncodeDate(Word Year, Word Month, Word Day);
bool TryEncodeDate(Word Year, Word Month, Word Day, TDateTime& Value);
/// Builds a time of day. Raises EConvertError "Invalid argument to time
/// encode" for hours >= 24, minutes or seconds >= 60, milliseconds >= 1000.
TDateTime EncodeTime(Word Hour, Word Min, Word Sec, Word MSec);
bool TryEncodeTime(Word Hour, Word Min, Word Sec, Word MSec, TDateTime& Value);
/// Splits a value (rounded to the millisecond) into its parts. A value that
/// is not finite or lies outside the years 1..9999 gives zeros.
void DecodeDate(TDateTime Value, Word& Year, Word& Month, Word& Day);
void DecodeTime(TDateTime Value, Word& Hour, Word& Min, Word& Sec, Word& MSec);
/// Day of the week, 1 = Sunday .. 7 = Saturday.
Integer DayOfWeek(TDateTime Value);
bool IsLeapYear(Word Year);
/// Date and time texts in one fixed form, whatever the locale: the short
/// date "yyyy-mm-dd", the long time "hh:nn:ss" (24 hours) and the two joined
/// by a blank. Values outside the calendar give "0000-00-00" and "00:00:00".
String DateToStr(TDateTime Value);
String TimeToStr(TDateTime Value);
String DateTimeToStr(TDateTime Value);
/// Reads a date written as DateToStr writes it (months and days may have one
/// digit; blanks around it are ignored); false for text that is no date.
bool TryStrToDate(const String& S, TDateTime& Value);
/// Converts seconds since 1970-01-01 UTC into local TDateTime.
TDateTime UnixToLocalDateTime(Int64 Seconds);

// ---------------------------------------------------------------------------
// Files and folders
// ---------------------------------------------------------------------------

inline constexpr char PathDelim = '/';

/// True when FileName names an existing regular file (not a folder).
bool FileExists(const String& FileName);
/// True when Dir names an existing folder.
bool DirectoryExists(const String& Dir);
/// Creates one folder; false when it cannot (also when it exists).
bool CreateDir(const String& Dir);
/// Creates Dir and every missing parent; true when Dir exists afterwards.
/// An empty name gives false.
bool ForceDirectories(const String& Dir);
/// Removes a file; false when it cannot.
bool DeleteFile(const String& FileName);
/// Renames a file; false when it cannot or when NewName already exists.
bool RenameFile(const String& OldName, const String& NewName);
/// Renames Source over Target in one step, replacing it (for saves that
/// write a temporary file first); false when it cannot.
bool ReplaceFile(const String& Source, const String& Target);

/// Folder part including the final "/" ("" without one).
String ExtractFilePath(const String& FileName);
/// Folder part without the final "/" (except for the root).
String ExtractFileDir(const String& FileName);
/// Name after the last "/".
String ExtractFileName(const String& FileName);
/// Extension including its "." ("" when the name has none).
String ExtractFileExt(const String& FileName);
/// FileName with its extension replaced by Extension (which includes ".").
String ChangeFileExt(const String& FileName, const String& Extension);
String IncludeTrailingPathDelimiter(const String& S);
String ExcludeTrailingPathDelimiter(const String& S);
/// Absolute form of FileName against the current folder, with "." and ".."
/// resolved by name (symbolic links are left as they are).
String ExpandFileName(const String& FileName);

/// Size of a file in bytes, -1 when it cannot be read.
Int64 FileSizeOf(const String& FileName);
/// Last change time of a file as local TDateTime; false when it is missing.
bool FileAge(const String& FileName, TDateTime& FileDateTime);

/// File attributes as the desktop reports them. Names beginning with "."
/// count as hidden; a file without write permission for its owner is
/// read-only; regular files carry faArchive.
inline constexpr Integer faReadOnly = 0x01;
inline constexpr Integer faHidden = 0x02;
inline constexpr Integer faSysFile = 0x04;
inline constexpr Integer faVolumeID = 0x08;
inline constexpr Integer faDirectory = 0x10;
inline constexpr Integer faArchive = 0x20;
inline constexpr Integer faSymLink = 0x40;
inline constexpr Integer faAnyFile = 0x3F;
/// Attributes of FileName, -1 when it does not exist.
Integer FileGetAttr(const String& FileName);

/// True when FileName matches Mask: "*" any run, "?" one character, ASCII
/// case ignored; "*.*" matches every name.
bool MatchesMask(const String& FileName, const String& Mask);

/// One entry found by FindFirst/FindNext.
struct TSearchRec {
  String Name;           // name without folder
  Int64 Size = 0;        // bytes
  Integer Attr = 0;      // fa* flags
  TDateTime TimeStamp = 0;  // last change, local time
  // Listing state; use FindNext and FindClose.
  std::vector<TSearchRec> Pending;
};

/// Lists the entries of a folder that match the mask of Path ("dir/*.crw")
/// in name order (ASCII case ignored). Ordinary files are always included;
/// folders, hidden and system entries only when Attr asks for them; "." and
/// ".." never. Returns 0 and fills F with the first entry, or an errno value
/// (ENOENT when nothing matches).
Integer FindFirst(const String& Path, Integer Attr, TSearchRec& F);
/// Moves F to the next entry: 0, or ENOENT after the last.
Integer FindNext(TSearchRec& F);
/// Ends a listing.
void FindClose(TSearchRec& F);

/// One entry of ListFolderEntries.
struct TFolderEntry {
  String Name;      // name without folder
  Int64 Size = 0;   // bytes (0 for folders)
  Integer Attr = 0; // fa* flags
};
/// One pass over Folder (with or without a trailing "/"): the entries whose
/// name matches any of Masks (MatchesMask rules) and whose attributes pass
/// Attr as FindFirst's do, in the order the file system gives them. Each
/// matching entry is looked up once, relative to the open folder. Returns 0,
/// or the errno value when the folder cannot be read (Out is then empty).
int ListFolderEntries(const String& Folder, const std::vector<String>& Masks, Integer Attr,
                      std::vector<TFolderEntry>& Out);

// ---------------------------------------------------------------------------
// Temporary files and memory
// ---------------------------------------------------------------------------

/// The system temporary folder ($TMPDIR when it names a folder, else /tmp),
/// with a trailing "/".
String GetTempFolder();
/// Creates FileName only if it does not exist yet (O_CREAT|O_EXCL, mode
/// 0600) and closes it. Returns 0 on success, EEXIST when the name is taken,
/// or another errno value.
int CreateFileExclusive(const String& FileName);

/// Bytes of physical memory available for new work (MemAvailable of
/// /proc/meminfo, or of the file given); -1 when it cannot be read.
Int64 GetAvailablePhysicalMemory(const String& MemInfoFile = "/proc/meminfo");
/// The same as a 32-bit figure, capped at INT32_MAX; -1 when unknown.
Integer GetAvailablePhysicalMemory32(const String& MemInfoFile = "/proc/meminfo");

// ---------------------------------------------------------------------------
// Number text (never follows the locale)
// ---------------------------------------------------------------------------

/// Decimal text of any integer.
template <std::integral T>
String IntToStr(T Value) {
  return std::to_string(Value);
}
/// Upper-case hexadecimal text of Value, at least Digits digits; a negative
/// value shows as the two's complement of its own width.
String IntToHexU(UInt64 Value, Integer Digits);
template <std::integral T>
String IntToHex(T Value, Integer Digits) {
  return IntToHexU(static_cast<UInt64>(static_cast<std::make_unsigned_t<T>>(Value)), Digits);
}
/// Parses a 32-bit or 64-bit integer: optional blanks, sign, then decimal
/// digits or "$"/"0x" hexadecimal digits. Raises EConvertError
/// "'<text>' is not a valid integer value" on anything else or on overflow.
Integer StrToInt(const String& S);
Int64 StrToInt64(const String& S);
Integer StrToIntDef(const String& S, Integer Default);
Int64 StrToInt64Def(const String& S, Int64 Default);
bool TryStrToInt(const String& S, Integer& Value);
bool TryStrToInt64(const String& S, Int64& Value);

/// Shortest text of Value with at most 15 significant digits, "." as the
/// decimal separator and "E" exponents ("0.1", "1E20", "1.5E-5");
/// "NAN", "INF" and "-INF" for the special values.
String FloatToStr(double Value);
/// Parses a number with "." as the decimal separator whatever the locale
/// (optional blanks around it, optional sign and exponent). Raises
/// EConvertError "'<text>' is not a valid floating point value".
double StrToFloat(const String& S);
double StrToFloatDef(const String& S, double Default);
bool TryStrToFloat(const String& S, double& Value);

// ---------------------------------------------------------------------------
// ASCII string helpers
// ---------------------------------------------------------------------------

String UpperCase(const String& S);
String LowerCase(const String& S);
/// Removes characters up to " " (blanks and controls) from both ends, the
/// start or the end.
String Trim(const String& S);
String TrimLeft(const String& S);
String TrimRight(const String& S);
/// Compares ignoring ASCII case: negative, zero or positive.
int CompareText(const String& S1, const String& S2);
/// Compares bytes: negative, zero or positive.
int CompareStr(const String& S1, const String& S2);
bool SameText(const String& S1, const String& S2);
