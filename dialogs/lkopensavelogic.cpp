#include "dialogs/lkopensavelogic.h"

#include "io/lkformatrow.h"
#include "io/lkparams.h"
#include "platform/sysutils.h"

namespace {

std::vector<String> Extensions(const String& List) {
  std::vector<String> out;
  size_t start = 0;
  while (start <= List.size()) {
    size_t end = List.find(';', start);
    if (end == String::npos) end = List.size();
    String e = Trim(List.substr(start, end - start));
    if (e.empty()) break;
    out.push_back(LowerCase(e));
    start = end + 1;
  }
  return out;
}

}  // namespace

bool LKFormatHasWriter(const TLKFileFormatInfo& Info) {
  if (Info.WriteProc == nullptr) return false;
  if (!Info.BuiltIn) return true;
  const TLKFormatRow* row = LKFormatRowOf(Info.FormatType);
  return row != nullptr && row->Write != nullptr;
}

bool LKFormatHasReader(const TLKFileFormatInfo& Info) {
  if (Info.ReadProc == nullptr) return false;
  if (!Info.BuiltIn) return true;
  const TLKFormatRow* row = LKFormatRowOf(Info.FormatType);
  return row != nullptr && row->Read != nullptr;
}

String LKBuildDialogFilter(bool Save, const String& ExtraFilters, TMsgLanguage Language) {
  LKUpdateGIFStatus();
  String F, A;
  const Integer count = lkgFileFormats ? lkgFileFormats->Count() : 0;
  for (Integer i = 0; i < count; ++i) {
    const auto* info = static_cast<const TLKFileFormatInfo*>(lkgFileFormats->Items(i));
    if (Save ? !LKFormatHasWriter(*info) : !LKFormatHasReader(*info)) continue;
    const std::vector<String> exts = Extensions(info->ExtensionList);
    if (exts.empty()) continue;
    String P = "*." + exts[0];
    if (info->BuiltIn) {
      A += "*." + exts[0];
      if (i != count - 1) A += ";";
    }
    for (size_t e = 1; e < exts.size(); ++e) P += ";*." + exts[e];
    F += "|" + info->FormatName + " (" + P + ")|" + P;
  }
  A += ";*.avi";
  // Video is offered for saving only where a video writer is there: a type
  // the save cannot write would only fail.
  const TLKFormatRow* video = LKFormatRowOf(lkftAVI);
  if (!Save || (video != nullptr && video->Write != nullptr))
    F += "|" + lkmsg(LKMSG_VIDEOFORWINDOWS, Language) + " (*.avi)|*.avi";
  if (!Save) {
    A += ";*.mpg;*.wmv";
    F += "|Mpeg (*.mpeg;*.mpg)|*.mpeg;*.mpg|Windows Media Video (*.wmv)|*.wmv";
  }
  const String extra = Trim(ExtraFilters);
  if (!extra.empty()) {
    F += "|" + extra;
    String patterns;
    for (const TLKFilterEntry& e : LKSplitFilter(extra)) {
      if (e.Patterns.empty()) continue;
      if (!patterns.empty()) patterns += ";";
      patterns += e.Patterns;
    }
    A += ";" + Trim(patterns);
  }
  if (Save) return F.empty() ? F : F.substr(1);
  const String combined = lkmsg(LKMSG_COMMONGRAPHICFILES, Language) + " (" + A + ")|" + A;
  return combined + "|" + lkmsg(LKMSG_ALLFILES, Language) + " (*.*)|*.*" + F;
}

std::vector<TLKFilterEntry> LKSplitFilter(const String& Filter) {
  std::vector<String> parts;
  size_t start = 0;
  while (start <= Filter.size()) {
    size_t end = Filter.find('|', start);
    if (end == String::npos) end = Filter.size();
    parts.push_back(Filter.substr(start, end - start));
    start = end + 1;
  }
  std::vector<TLKFilterEntry> out;
  if (Filter.empty()) return out;
  for (size_t i = 0; i < parts.size(); i += 2)
    out.push_back({Trim(parts[i]), i + 1 < parts.size() ? Trim(parts[i + 1]) : String()});
  return out;
}

Integer LKFileName2FilterIndex(const String& Filter, const String& FileName) {
  const String ext = LowerCase(LKFileNameExt(FileName));
  if (ext.empty()) return 1;
  const size_t at = LowerCase(Filter).find(ext);
  if (at == String::npos) return 1;
  Integer bars = 0;
  for (size_t i = 0; i < at; ++i)
    if (Filter[i] == '|') ++bars;
  return bars / 2 + 1;
}

String LKFirstPatternExt(const String& Patterns) {
  const size_t dot = Patterns.find('.');
  if (dot == String::npos) return String();
  const size_t semi = Patterns.find(';', dot);
  String ext = Patterns.substr(dot, semi == String::npos ? String::npos : semi - dot);
  if (ext.find('*') != String::npos || ext == ".") return String();
  return Trim(ext);
}

bool LKPatternsHaveExt(const String& Patterns, const String& Ext) {
  if (Ext.empty()) return false;
  const String want = "*" + LowerCase(Ext);
  size_t start = 0;
  while (start <= Patterns.size()) {
    size_t end = Patterns.find(';', start);
    if (end == String::npos) end = Patterns.size();
    if (LowerCase(Trim(Patterns.substr(start, end - start))) == want) return true;
    start = end + 1;
  }
  return false;
}

String LKLastPatternExt(const String& Patterns) {
  const size_t dot = Patterns.rfind('.');
  if (dot == String::npos) return String();
  String ext = Patterns.substr(dot);
  if (ext.find('*') != String::npos || ext == ".") return String();
  return Trim(ext);
}

String LKFileNameExt(const String& Name) {
  const size_t slash = Name.find_last_of('/');
  const size_t base = slash == String::npos ? 0 : slash + 1;
  const size_t dot = Name.rfind('.');
  // A leading dot names a hidden file, not an extension.
  if (dot == String::npos || dot <= base) return String();
  return Name.substr(dot);
}

String LKReplaceFileNameExt(const String& Name, const String& Ext) {
  const String old = LKFileNameExt(Name);
  return Name.substr(0, Name.size() - old.size()) + Ext;
}

String LKColorCountText(Integer SamplesPerPixel, Integer BitsPerSample) {
  if (SamplesPerPixel == 4 && BitsPerSample == 8) return "16777216";
  if (SamplesPerPixel == 3 && BitsPerSample == 16) return "2^48";
  const Int64 bits = Int64(SamplesPerPixel) * BitsPerSample;
  if (bits < 0 || bits > 62) return "2^" + IntToStr(bits);
  return IntToStr(Int64(1) << bits);
}

String LKByteSizeText(Int64 Size) {
  if (Size >= 1024) return IntToStr(Size / 1024) + " KB";
  return IntToStr(Size) + " byte";
}

TLKDialogInfoTexts LKDialogInfoTexts(const TIOParamsVals& P, Int64 FileSize, Integer FrameCount,
                                     TMsgLanguage Language) {
  TLKDialogInfoTexts t;
  const bool jpeg = P.FILETYPE == lkftJPEG;
  const Integer w = jpeg ? P.JPEG_ORIGINALWIDTH : P.WIDTH, h = jpeg ? P.JPEG_ORIGINALHEIGHT : P.HEIGHT;
  t.Pic1 = IntToStr(w) + " x " + IntToStr(h) + " pixel";
  if (FrameCount > 1) t.Pic1 += " , " + IntToStr(FrameCount) + " frames";
  t.Pic3 = IntToStr(P.DPIX) + " x " + IntToStr(P.DPIY) + " dpi";
  const Int64 bits = Int64(P.SAMPLESPERPIXEL) * P.BITSPERSAMPLE;
  t.Pic2 = LKColorCountText(P.SAMPLESPERPIXEL, P.BITSPERSAMPLE) + " " + lkmsg(LKMSG_COLORS, Language) + " (" +
           IntToStr(bits) + " bit)";
  const Int64 b = P.SAMPLESPERPIXEL == 1 && P.BITSPERSAMPLE == 1 ? 1 : 24;
  const Int64 mem = Int64(P.HEIGHT) * ((Int64(P.WIDTH) * b + 31) / 32 * 4);
  t.Info2 = lkmsg(LKMSG_FILE, Language) + ": " + LKByteSizeText(FileSize) + "   " + lkmsg(LKMSG_MEM, Language) +
            ": " + LKByteSizeText(mem);
  t.Info1 = P.GetFileTypeStr();
  return t;
}

void LKAdvancedType(const String& Name, const String& DefaultExt, const String& Patterns, TPreviewParams& Pages,
                    Integer& FileType) {
  Pages = 0;
  FileType = 0;
  String ext = LKFileNameExt(Name);
  if (ext.empty()) ext = DefaultExt;
  const TLKFileFormatInfo* info = ext.empty() ? nullptr : LKFileFormatGetInfo2(ext);
  if (info == nullptr && !Patterns.empty()) {
    const String last = LKLastPatternExt(Patterns);
    if (!last.empty()) info = LKFileFormatGetInfo2(last);
  }
  if (info == nullptr) return;
  Pages = info->OptionPages;
  FileType = info->FormatType;
}
