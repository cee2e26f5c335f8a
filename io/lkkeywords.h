// The keyword table of the parameter record, for callers that list or check
// the keywords (plug-in hosts, tests).
#pragma once

#include <vector>

#include "platform/system.h"

/// Value kind of a keyword, which fixes its text form.
enum TLKKeywordKind {
  lkkInteger,  ///< decimal integer
  lkkByte,     ///< decimal 0..255, low 8 bits stored
  lkkBoolean,  ///< "1" or "0"; "1", "TRUE", "T" read as true
  lkkReal,     ///< 15 significant digits with "."; "." or "," accepted
  lkkText,     ///< the bytes as stored
  lkkColour,   ///< "red,green,blue"
  lkkDate,     ///< the fixed short date form
};

/// One keyword of the parameter record.
struct TLKKeywordInfo {
  const char* Name;
  TLKKeywordKind Kind;
  bool Writable;
};

/// Every keyword of TIOParamsVals::GetProperty in comparison order, ending
/// with the indexed palette keyword "COLORMAPITEM" (followed by an index
/// when used).
std::vector<TLKKeywordInfo> LKParamsKeywords();
