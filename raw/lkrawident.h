// Camera identification: decides whether a stream is a camera RAW file the
// decoder can develop and sets up the whole decode in the decoder state.
#pragma once

#include "raw/lkrawstate.h"

/// One headerless file recognised by its exact size.
struct TRAWSizeEntry {
  Cardinal fsize;   ///< exact file size in bytes
  char make[12];    ///< maker name given to such files
  char model[16];   ///< model name given to such files (may be empty)
};

/// How a model rule is matched against the identified make and model.
enum class TRAWRuleMatch : Byte {
  Model,           ///< model equals `name` or, when set, `alt`
  ModelStarts,     ///< model begins with `name`
  Make,            ///< make equals `name`
  MakeNoCase,      ///< make equals `name`, ignoring case
  CanonRawWidth,   ///< make is "Canon" and raw width equals `rawWidthKey`
  MakeSinar8BPS,   ///< make equals `name` and the file begins with "8BPS"
};

/// Everything identification knows about the file apart from the state:
/// the first 32 bytes and the file size.
struct TRAWIdentContext {
  Byte window[32] = {};   ///< header window, zero past the end of a short file
  Int64 fsize = 0;        ///< size of the stream in bytes
};

/// Extra work of a rule that the plain fields cannot express.
using TRAWRuleHook = void (*)(TRAWDecoderState& s, const TRAWIdentContext& ctx);

/// One per-model rule. Numeric fields equal to 0 (and null pointers) leave
/// the value identification already has; multipliers are r, g, b, g2.
struct TRAWModelRule {
  TRAWRuleMatch match;
  const char* name;       ///< model or make compared
  const char* alt;        ///< second accepted model, or nullptr
  Integer rawWidthKey;    ///< raw width for `CanonRawWidth`
  Integer rawHeight, rawWidth, height, width, top, left;
  Cardinal filters;
  Integer colors;
  TRAWLoader loader;
  float mul[4];
  Integer black, maximum, dataOffset;
  TRAWRuleHook hook;      ///< applied after the fields, or nullptr
};

/// The table of headerless file sizes (16 rows).
extern const TRAWSizeEntry kRAWSizeTable[16];
/// Maker names a make is normalised to when it contains one of them.
extern const char* const kRAWMakers[7];
/// The per-model rules, tried in order; the first match applies.
extern const TRAWModelRule kRAWModelRules[65];

/// Identifies the camera file of s's stream and sets up the decode: make,
/// model, sizes, margins, filter pattern, colours, levels, multipliers,
/// matrix, data offset and loader. Expects the stream set and the state
/// reset; reads the settings red scale, blue scale and four-colour RGB.
/// Returns 0 when the file is accepted (the stream is then at the data
/// offset) and 1 when it is not. Header data it does not recognise rejects
/// the file; it raises only what the header parsers raise.
Integer identify_camera(TRAWDecoderState& s);

/// The stages after the headers were read: maker normalisation, defaults,
/// the model rules, acceptance and the four-colour option. Expects make,
/// model, model2, raw sizes, compression, photometric and data offset as the
/// header parsers left them. Returns 0 (accepted) or 1 (rejected).
Integer identify_apply_rules(TRAWDecoderState& s, const TRAWIdentContext& ctx);
