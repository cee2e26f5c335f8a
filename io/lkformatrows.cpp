// The rows in use, the registry records made from them and the rows that
// stand for registry records of external formats.

#include <array>
#include <cstring>
#include <utility>

#include "core/lkabort.h"
#include "io/lkfileformats.h"
#include "io/lkformatrow.h"
#include "io/lkparams.h"
#include "platform/sysutils.h"

namespace {

// The extension key: lower case, one leading dot removed.
String Key(const String& Extension) {
  String key = LowerCase(Extension);
  if (!key.empty() && key[0] == '.') key.erase(0, 1);
  return key;
}

// Whether the ";"-separated List holds Key (compared in lower case).
bool Lists(const char* List, const String& Wanted) {
  if (!List || Wanted.empty()) return false;
  const String all = LowerCase(List);
  size_t start = 0;
  for (;;) {
    const size_t sep = all.find(';', start);
    if (all.compare(start, sep == String::npos ? String::npos : sep - start, Wanted) == 0) return true;
    if (sep == String::npos) return false;
    start = sep + 1;
  }
}

// Registry entries of built-in records: one function per file type number,
// which runs the row of that type in use.
template <Integer Type>
void RecordRead(TStream& S, TLKBitmap& B, TIOParamsVals& P, TProgressRec& Pr, bool Preview) {
  const TLKFormatRow* row = LKFormatRowOf(Type);
  if (!row) return LKAbort(Pr, "no format row");
  TLKFormatJob job(*row, S, &B, P, Pr, Preview);
  LKRunRead(job);
}

template <Integer Type>
void RecordWrite(TStream& S, TLKBitmap& B, TIOParamsVals& P, TProgressRec& Pr) {
  const TLKFormatRow* row = LKFormatRowOf(Type);
  if (!row) return LKAbort(Pr, "no format row");
  TLKFormatJob job(*row, S, &B, P, Pr, false);
  LKRunWrite(job);
}

constexpr Integer kLastBuiltInType = 63;

template <Integer... Types>
constexpr std::array<TLKReadImageStream, sizeof...(Types)> MakeReads(std::integer_sequence<Integer, Types...>) {
  return {&RecordRead<Types>...};
}
template <Integer... Types>
constexpr std::array<TLKWriteImageStream, sizeof...(Types)> MakeWrites(std::integer_sequence<Integer, Types...>) {
  return {&RecordWrite<Types>...};
}

constexpr auto kRecordReads = MakeReads(std::make_integer_sequence<Integer, kLastBuiltInType + 1>());
constexpr auto kRecordWrites = MakeWrites(std::make_integer_sequence<Integer, kLastBuiltInType + 1>());

// Built-in formats are detected by the rows' own probes in their order,
// never through the registry's probe list.
bool BuiltInRecordProbe(TStream&, Integer) { return false; }

// Jobs of rows standing for external registry records. The record's
// functions learn which format they serve from the parameters' file type
// (one plug-in bridge serves every plug-in format), so it is set first.
void ExternalRead(TLKFormatJob& J) {
  const TLKFileFormatInfo* info = J.Row.External;
  if (!info || !info->ReadProc) return LKAbort(J.Progress, "the format cannot be read");
  J.Params.FILETYPE = J.Row.Type;
  info->ReadProc(J.Stream, *J.Bitmap, J.Params, J.Progress, J.ParamsOnly);
}

void ExternalWrite(TLKFormatJob& J) {
  const TLKFileFormatInfo* info = J.Row.External;
  if (!info || !info->WriteProc) return LKAbort(J.Progress, "the format cannot be written");
  J.Params.FILETYPE = J.Row.Type;
  info->WriteProc(J.Stream, *J.Bitmap, J.Params, J.Progress);
}

}  // namespace

std::vector<TLKFormatRow>& LKFormatRows() {
  static std::vector<TLKFormatRow> rows = [] {
    std::vector<TLKFormatRow> v;
    for (const TLKFormatRow* r : LKBuiltInFormatRows()) v.push_back(*r);
    return v;
  }();
  return rows;
}

const TLKFormatRow* LKFormatRowOf(Integer FileType) {
  if (FileType == lkftUnknown) return nullptr;
  for (const TLKFormatRow& r : LKFormatRows())
    if (r.Type == FileType) return &r;
  return nullptr;
}

TLKFormatRow LKFormatRowOfRecord(const TLKFileFormatInfo& Record) {
  if (Record.BuiltIn)
    if (const TLKFormatRow* row = LKFormatRowOf(Record.FormatType)) return *row;
  TLKFormatRow r;
  r.Type = Record.FormatType;
  r.Name = Record.FormatName.c_str();
  r.Extensions = Record.ExtensionList.c_str();
  r.OptionPages = Record.OptionPages;
  r.CanRead = Record.ReadProc != nullptr;
  r.CanWrite = Record.WriteProc != nullptr;
  r.Read = ExternalRead;
  r.Write = ExternalWrite;
  r.External = &Record;
  // What the frames do for a record: a record without a reader or writer
  // fails at once (flag and finish, nothing opened or created), and the
  // writer gets a 24-bit picture (or a bilevel one), since the library
  // cannot tell which pixel formats it takes.
  r.Load.NoRoad = !r.CanRead;
  r.Save.NoRoad = !r.CanWrite;
  r.Save.Convert = true;
  return r;
}

const TLKFormatRow* LKFormatRowForSave(const String& Extension) {
  const String key = Key(Extension);
  if (key.empty()) return nullptr;
  for (const TLKFormatRow& r : LKFormatRows())
    if (r.Registered && (Lists(r.Extensions, key) || Lists(r.SaveExtensions, key))) return &r;
  return nullptr;
}

void LKRunRead(TLKFormatJob& Job) {
  if (!Job.Row.Read) return LKAbort(Job.Progress, String(Job.Row.Name) + ": the library has no reader for it yet");
  Job.Row.Read(Job);
}

void LKRunWrite(TLKFormatJob& Job) {
  if (!Job.Row.Write) return LKAbort(Job.Progress, String(Job.Row.Name) + ": the library has no writer for it yet");
  Job.Row.Write(Job);
}

const std::vector<TLKFileFormatInfo>& LKBuiltInFileFormats() {
  static const std::vector<TLKFileFormatInfo> records = [] {
    std::vector<TLKFileFormatInfo> v;
    for (const TLKFormatRow* r : LKBuiltInFormatRows()) {
      if (!r->Registered) continue;
      TLKFileFormatInfo info;
      info.FormatType = r->Type;
      info.FormatName = r->Name;
      info.ExtensionList = r->Extensions;
      info.BuiltIn = true;
      info.OptionPages = r->OptionPages;
      const bool known = r->Type > 0 && r->Type <= kLastBuiltInType;
      info.ReadProc = r->CanRead && known ? kRecordReads[size_t(r->Type)] : nullptr;
      info.WriteProc = r->CanWrite && known ? kRecordWrites[size_t(r->Type)] : nullptr;
      info.ProbeProc = BuiltInRecordProbe;
      v.push_back(info);
    }
    return v;
  }();
  return records;
}

bool LKProbeText(TStream& Stream, const char* Text, size_t Width, Int64 MinBytes) {
  return LKProbeWith(Stream, [&](TLKByteReader& r) {
    if (r.Size() <= MinBytes) return false;
    Byte b[16] = {};
    const size_t width = Width < sizeof b ? Width : sizeof b;
    if (!r.Read(b, width)) return false;
    size_t len = 0;
    while (len < width && b[len] != 0) ++len;
    return len == std::strlen(Text) && std::memcmp(b, Text, len) == 0;
  });
}

void LKIconSizesToWrite(const TIOParamsVals& P, std::vector<TSize>& Sizes, std::vector<Integer>& BitCounts) {
  Sizes.clear();
  BitCounts.clear();
  for (Integer i = 0; i < 16 && P.ICO_PageSizes[i].cx > 0; ++i) {
    Sizes.push_back(P.ICO_PageSizes[i]);
    BitCounts.push_back(P.ICO_PageBitCounts[i]);
  }
}
