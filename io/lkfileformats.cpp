#include "io/lkfileformats.h"

#include <mutex>

#include "core/lkfilebuffer.h"
#include "core/lkioglobals.h"
#include "io/lkextio.h"
#include "io/lkparams.h"
#include "platform/sysutils.h"

TList* lkgFileFormats = nullptr;

namespace {

// Guards only the creation and release of the list, so that the first lookups
// made from several threads create it once. The records themselves are read
// without a lock.
std::mutex gRegistryLifeCS;

constexpr Integer kGIFFormat = 2;

TList& Registry() {
  if (!lkgFileFormats) LKIOModuleStart();
  return *lkgFileFormats;
}

PLKFileFormatInfo RecordAt(Integer Index) { return static_cast<PLKFileFormatInfo>(Registry().Get(Index)); }

String CutText(const String& S) { return S.size() > kLKFormatTextMax ? S.substr(0, kLKFormatTextMax) : S; }

// Extension number Index of a ";"-separated list; empty past the end.
String ExtensionItem(const String& List, Integer Index) {
  size_t start = 0;
  for (Integer i = 0; i < Index; ++i) {
    const size_t sep = List.find(';', start);
    if (sep == String::npos) return String();
    start = sep + 1;
  }
  const size_t sep = List.find(';', start);
  return List.substr(start, sep == String::npos ? String::npos : sep - start);
}

// The lookup key of an extension: lower case, one leading dot removed.
String ExtensionKey(const String& Extension) {
  String key = LowerCase(Extension);
  if (!key.empty() && key[0] == '.') key.erase(0, 1);
  return key;
}

bool LookupFileType(Integer FileType, String& Name, String& FirstExt) {
  const PLKFileFormatInfo info = LKFileFormatGetInfo(FileType);
  if (!info) return false;
  Name = info->FormatName;
  FirstExt = ExtensionItem(info->ExtensionList, 0);
  return true;
}

void FreeRecords(TList& List) {
  for (Integer i = 0; i < List.GetCount(); ++i) delete static_cast<PLKFileFormatInfo>(List.Get(i));
  List.Clear();
}

}  // namespace

void LKIOModuleStart() {
  std::lock_guard<std::mutex> lock(gRegistryLifeCS);
  if (lkgFileFormats) return;
  DefTEMPPATH.clear();
  // Picture files of earlier runs that were killed.
  LKRemoveStaleTempFiles(LKTempFolder(), 600);
  auto* list = new TList;
  for (const TLKFileFormatInfo& row : LKBuiltInFileFormats()) list->Add(new TLKFileFormatInfo(row));
  lkgFileFormats = list;
  LKFileTypeLookup = LookupFileType;
}

void LKIOModuleEnd() {
  // Plug-in formats first: they remove their own registry records.
  LKExtIOModuleEnd();
  std::lock_guard<std::mutex> lock(gRegistryLifeCS);
  LKFileTypeLookup = nullptr;
  if (lkgFileFormats) {
    FreeRecords(*lkgFileFormats);
    delete lkgFileFormats;
    lkgFileFormats = nullptr;
  }
  DefTEMPPATH.clear();
}

void LKFileFormatAdd(const TLKFileFormatInfo& Info) {
  auto* copy = new TLKFileFormatInfo(Info);
  copy->FormatName = CutText(copy->FormatName);
  copy->ExtensionList = CutText(copy->ExtensionList);
  Registry().Add(copy);
}

void LKFileFormatRemove(Integer FileType) {
  TList& list = Registry();
  for (Integer i = 0; i < list.GetCount(); ++i) {
    auto* info = static_cast<PLKFileFormatInfo>(list.Get(i));
    if (info->FormatType == FileType) {
      list.Delete(i);
      delete info;
      return;
    }
  }
}

PLKFileFormatInfo LKFileFormatGetInfo(Integer FileType) {
  const Integer n = Registry().GetCount();
  for (Integer i = 0; i < n; ++i) {
    const PLKFileFormatInfo info = RecordAt(i);
    if (info->FormatType == FileType) return info;
  }
  return nullptr;
}

PLKFileFormatInfo LKFileFormatGetInfo2(const String& Extension) {
  const String key = ExtensionKey(Extension);
  if (key.empty()) return nullptr;
  const Integer n = Registry().GetCount();
  for (Integer i = 0; i < n; ++i) {
    const PLKFileFormatInfo info = RecordAt(i);
    const String& list = info->ExtensionList;
    size_t start = 0;
    while (start <= list.size()) {
      const size_t sep = list.find(';', start);
      const size_t end = sep == String::npos ? list.size() : sep;
      if (LowerCase(list.substr(start, end - start)) == key) return info;
      if (sep == String::npos) break;
      start = sep + 1;
    }
  }
  return nullptr;
}

Integer LKFileFormatGetExtCount(Integer FileType) {
  const PLKFileFormatInfo info = LKFileFormatGetInfo(FileType);
  if (!info) return 0;
  Integer count = 0;
  while (!ExtensionItem(info->ExtensionList, count).empty()) ++count;
  return count;
}

String LKFileFormatGetExt(Integer FileType, Integer Index) {
  const PLKFileFormatInfo info = LKFileFormatGetInfo(FileType);
  if (!info || Index < 0) return String();
  return ExtensionItem(info->ExtensionList, Index);
}

Integer LKExtToFileFormat(const String& Extension) {
  const PLKFileFormatInfo info = LKFileFormatGetInfo2(Extension);
  return info ? info->FormatType : 0;
}

bool LKIsInternalFormat(const String& Extension) {
  const PLKFileFormatInfo info = LKFileFormatGetInfo2(Extension);
  return info && info->BuiltIn;
}

bool IsKnownFormat(const String& FileName) {
  const PLKFileFormatInfo info = LKFileFormatGetInfo2(ExtractFileExt(FileName));
  return info && info->ReadProc != nullptr;
}

Integer LKFindNumberWithKnownFormat(const String& Directory) {
  TSearchRec rec;
  if (FindFirst(Directory + "/*.*", faArchive, rec) != 0) return 0;
  Integer count = 0;
  do {
    if ((rec.Attr & faDirectory) == 0 && IsKnownFormat(Directory + "/" + rec.Name)) ++count;
  } while (FindNext(rec) == 0);
  FindClose(rec);
  return count;
}

void LKUpdateGIFStatus() {
  const PLKFileFormatInfo info = LKFileFormatGetInfo(kGIFFormat);
  if (!info) return;
  const TLKFileFormatInfo* marker = nullptr;
  for (const TLKFileFormatInfo& row : LKBuiltInFileFormats())
    if (row.FormatType == kGIFFormat) marker = &row;
  if (!marker) return;
  info->ReadProc = DefGIF_LZWDECOMPFUNC ? marker->ReadProc : nullptr;
  info->WriteProc = DefGIF_LZWCOMPFUNC ? marker->WriteProc : nullptr;
}
