// System and text helpers shared by the components, the views and the
// dialogs: folder and file queries, questions about the platform, GUID text,
// Base64 text and a tolerant text-to-real conversion.
#pragma once

#include <ostream>

#include "core/hylkdefs.h"
#include "platform/classes.h"

class QWidget;
class TCustomControl;

// ---- folders and files

/// True when Path names an existing folder (a file is not one).
bool LKDirectoryExists(const String& Path);
/// Creates the folder Path and every missing folder above it. One trailing
/// "/" is dropped first; nothing is done for the root or a folder that
/// exists. A folder that cannot be created is not reported. An empty Path
/// raises Exception "Cannot Create Directory".
void LKForceDirectories(const String& Path);
/// The size in bytes of the file FileName, or -1 when it is missing or not
/// a file.
Int64 _getfilesize(const String& FileName);

// ---- windows and scroll bars

/// The window of the first windowed control met walking from Component
/// through its owners (Component itself first); null when there is none or
/// its window is not created yet (the walk ends at the first windowed
/// control either way). Device dialogs take it as their parent.
QWidget* LKFindHandle(TComponent* Component);

/// Scroll information of a bar: the members Mask names are set or wanted.
struct TScrollInfo {
  Cardinal cbSize = 28;
  Cardinal fMask = 0;
  Integer nMin = 0, nMax = 0;
  Cardinal nPage = 0;
  Integer nPos = 0, nTrackPos = 0;
};
constexpr Cardinal SIF_RANGE = 1, SIF_PAGE = 2, SIF_POS = 4;
/// Both scroll bars, for LKShowScrollBar and LKEnableScrollBar.
constexpr Integer SB_BOTH = 3;
/// Arrow flags of LKEnableScrollBar: 0 enables the bar, 3 disables it.
constexpr Cardinal ESB_ENABLE_BOTH = 0, ESB_DISABLE_BOTH = 3;

// The scroll bars of a control (Bar: SB_HORZ or SB_VERT). Flat asks for flat
// bars, which this system draws like the others. Each answers as the window
// system's call does: non-zero for success, LKSetScrollInfo and
// LKSetScrollPos the position (the old one for LKSetScrollPos); a null
// control answers 0.
Integer LKSetScrollRange(TCustomControl* Window, Integer Bar, Integer Min, Integer Max, Integer Redraw, bool Flat);
Integer LKSetScrollInfo(TCustomControl* Window, Integer Bar, const TScrollInfo& Info, Integer Redraw, bool Flat);
/// Sets only the page size, through LKSetScrollInfo (redraw -1 or 0).
Integer LKSetSBPageSize(TCustomControl* Window, Integer Bar, Integer PageSize, bool Redraw, bool Flat);
Integer LKSetScrollPos(TCustomControl* Window, Integer Bar, Integer Pos, Integer Redraw, bool Flat);
/// Arrow flags ESB_DISABLE_BOTH disable the bar (or both, with SB_BOTH);
/// any other value enables it.
Integer LKEnableScrollBar(TCustomControl* Window, Cardinal Bar, Cardinal Arrows, bool Flat);
Integer LKShowScrollBar(TCustomControl* Window, Integer Bar, Integer Show, bool Flat);

// ---- the platform

/// A platform version as the version questions read it: platform id (1 the
/// 9x line, 2 the NT line), major and minor version.
struct TLKOSVersion {
  Integer PlatformId = 2;
  Integer Major = 10;
  Integer Minor = 0;
};
/// The version this system reports to those questions: always the NT line,
/// version 10.0, so that every "this version or later" question is True and
/// every question for one old version is False.
constexpr TLKOSVersion kLKReportedOSVersion{};

/// True on the NT line from version 5 and on the 9x line from 4.90.
bool LKIs_Win2000_ME_XP(const TLKOSVersion& Version = kLKReportedOSVersion);
/// True only on the NT line, version 5.1.
bool LKIs_XP(const TLKOSVersion& Version = kLKReportedOSVersion);
/// True only on the 9x line, version 4.10.
bool LKIs_98(const TLKOSVersion& Version = kLKReportedOSVersion);
/// Always False: the program draws on its own display.
bool LKIsRemoteSession();
/// True when the processor has the MMX instructions.
bool LKMMXSupported();

// ---- text conversions

/// A globally unique identifier in its four fields.
struct TGUID {
  DWORD D1 = 0;
  Word D2 = 0;
  Word D3 = 0;
  Byte D4[8] = {};
  bool operator==(const TGUID&) const = default;
};

/// "{xxxxxxxx-xxxx-xxxx-xxxx-xxxxxxxxxxxx}" in lower case (38 characters).
String LKConvertGUIDToString(const TGUID& Guid);
/// Reads a text of that form, letters in either case, by the places of its
/// digits (braces and hyphens are not examined). False, with Guid zero, when
/// the text is shorter than 37 characters or a digit place holds no
/// hexadecimal digit.
bool LKConvertStringToGUID(const String& Text, TGUID& Guid);

/// Writes the bytes of Stream from its position to its end as Base64 lines
/// (the standard alphabet, "=" padding) to Text, each line holding
/// LineLength / 4 groups of four characters, rounded up, and ending in
/// "\n". A stream at its end writes nothing. A failing Text raises
/// EWriteError.
void LKencode64(TStream* Stream, std::ostream& Text, Integer LineLength);

/// Text to real with "." as the decimal separator; when that fails the first
/// "," becomes "." (or, with no ",", the first "." becomes ",") and it is
/// tried once more; Default when that fails too.
double LKStrToFloatDef(const String& Text, double Default);
