#include "codecs/pdf/lkpdfobjects.h"

#include "platform/sysutils.h"

#include <charconv>
#include <cmath>
#include <cstdio>

namespace {

void Free(TLKPDFObject* Object) {
  if (Object && !Object->Shared) delete Object;
}

}  // namespace

void lkpdf_Write(TStream& Stream, const String& Text) {
  if (!Text.empty()) Stream.WriteBuffer(Text.data(), Int64(Text.size()));
}

void lkpdf_WriteLn(TStream& Stream, const String& Text) {
  lkpdf_Write(Stream, Text);
  Stream.WriteBuffer("\n", 1);
}

void TLKPDFRefObject::Write(TStream& Stream) {
  lkpdf_Write(Stream, IntToStr(ObjectNumber) + " " + IntToStr(Generation) + " R");
}

void TLKPDFBooleanObject::Write(TStream& Stream) { lkpdf_Write(Stream, Value ? "true" : "false"); }

void TLKPDFNumericObject::Write(TStream& Stream) {
  char buf[64];
  if (std::isfinite(Value) && Value == std::trunc(Value) && std::fabs(Value) < 1e15) {
    const auto r = std::to_chars(buf, buf + sizeof buf, static_cast<long long>(Value));
    return lkpdf_Write(Stream, String(buf, r.ptr));
  }
  // Real numbers: fixed notation with a point whatever the locale, trailing
  // zeros dropped (PDF has no exponent form).
  const double v = std::isfinite(Value) ? Value : 0.0;
  const auto r = std::to_chars(buf, buf + sizeof buf, v, std::chars_format::fixed, 6);
  String s(buf, r.ptr);
  while (!s.empty() && s.back() == '0') s.pop_back();
  if (!s.empty() && s.back() == '.') s.pop_back();
  lkpdf_Write(Stream, s);
}

void TLKPDFStringObject::Write(TStream& Stream) {
  String s = "(";
  for (const char c : Text) {
    switch (c) {
      case '\b': s += "\\b"; break;
      case '\t': s += "\\t"; break;
      case '\n': s += "\\n"; break;
      case '\f': s += "\\f"; break;
      case '\r': s += "\\r"; break;
      case '(': s += "\\("; break;
      case ')': s += "\\)"; break;
      case '\\': s += "\\\\"; break;
      default: s += c; break;
    }
  }
  s += ")";
  lkpdf_Write(Stream, s);
}

void TLKPDFNameObject::Write(TStream& Stream) {
  static const char kHex[] = "0123456789ABCDEF";
  String s = "/";
  for (const char ch : Name) {
    const auto c = static_cast<Byte>(ch);
    if (c >= '!' && c <= '~') {
      s += ch;
    } else {
      s += '#';
      s += kHex[c >> 4];
      s += kHex[c & 15];
    }
  }
  lkpdf_Write(Stream, s);
}

TLKPDFArrayObject::~TLKPDFArrayObject() {
  for (TLKPDFObject* item : Items) Free(item);
}

void TLKPDFArrayObject::Write(TStream& Stream) {
  lkpdf_Write(Stream, "[");
  for (TLKPDFObject* item : Items) {
    item->Write(Stream);
    lkpdf_Write(Stream, " ");
  }
  lkpdf_Write(Stream, "]");
}

TLKPDFDictionaryObject::~TLKPDFDictionaryObject() {
  for (auto& entry : Items) Free(entry.second);
}

void TLKPDFDictionaryObject::Insert(size_t Index, const String& Key, TLKPDFObject* Value) {
  if (Index > Items.size()) Index = Items.size();
  Items.insert(Items.begin() + std::ptrdiff_t(Index), {Key, Value});
}

TLKPDFObject* TLKPDFDictionaryObject::Find(const String& Key) const {
  for (const auto& entry : Items)
    if (entry.first == Key) return entry.second;
  return nullptr;
}

void TLKPDFDictionaryObject::Replace(const String& Key, TLKPDFObject* Value) {
  for (auto& entry : Items)
    if (entry.first == Key) {
      Free(entry.second);
      entry.second = Value;
      return;
    }
  Add(Key, Value);
}

void TLKPDFDictionaryObject::Write(TStream& Stream) {
  lkpdf_Write(Stream, "<< ");
  for (auto& [key, value] : Items) {
    lkpdf_Write(Stream, "/" + key + " ");
    value->Write(Stream);
    lkpdf_Write(Stream, "\n");
  }
  lkpdf_Write(Stream, ">>");
}

TLKPDFStreamObject::TLKPDFStreamObject() : Dictionary(new TLKPDFDictionaryObject) {
  Dictionary->Add("Length", new TLKPDFNumericObject(0));
}

TLKPDFStreamObject::TLKPDFStreamObject(const void* Data, size_t Length) : TLKPDFStreamObject() {
  const auto* b = static_cast<const Byte*>(Data);
  if (Length) this->Data.assign(b, b + Length);
}

TLKPDFStreamObject::~TLKPDFStreamObject() { delete Dictionary; }

void TLKPDFStreamObject::Write(TStream& Stream) {
  Dictionary->Replace("Length", new TLKPDFNumericObject(double(Data.size())));
  Dictionary->Write(Stream);
  lkpdf_Write(Stream, "\nstream\n");
  if (!Data.empty()) Stream.WriteBuffer(Data.data(), Int64(Data.size()));
  lkpdf_Write(Stream, "\nendstream");
}

Integer lkpdf_AddIndirectObject(TLKPDFObjectList& List, TLKPDFObject* Object) {
  List.push_back(Object);
  Object->Number = Integer(List.size());
  return Object->Number;
}

TLKPDFDictionaryObject* lkpdf_AddCatalog(TLKPDFObjectList& List) {
  auto* catalog = new TLKPDFDictionaryObject;
  catalog->Add("Type", new TLKPDFNameObject("Catalog"));
  lkpdf_AddIndirectObject(List, catalog);
  return catalog;
}

Integer lkpdf_AddPage(TLKPDFObjectList& List, std::vector<TLKPDFDictionaryObject*>& Pages,
                      TLKPDFDictionaryObject* Resources, Integer Contents, TLKPDFArrayObject* MediaBox) {
  auto* page = new TLKPDFDictionaryObject;
  page->Add("Type", new TLKPDFNameObject("Page"));
  if (Resources) page->Add("Resources", new TLKPDFRefObject(Resources->Number, 0));
  page->Add("MediaBox", MediaBox);
  page->Add("Contents", new TLKPDFRefObject(Contents, 0));
  lkpdf_AddIndirectObject(List, page);
  Pages.push_back(page);
  return Integer(Pages.size() - 1);
}

TLKPDFDictionaryObject* lkpdf_AddPageTree(TLKPDFObjectList& List, std::vector<TLKPDFDictionaryObject*>& Pages) {
  auto* tree = new TLKPDFDictionaryObject;
  lkpdf_AddIndirectObject(List, tree);
  tree->Add("Type", new TLKPDFNameObject("Pages"));
  auto* kids = new TLKPDFArrayObject;
  for (TLKPDFDictionaryObject* page : Pages) kids->Add(new TLKPDFRefObject(page->Number, 0));
  tree->Add("Kids", kids);
  tree->Add("Count", new TLKPDFNumericObject(double(Pages.size())));
  for (TLKPDFDictionaryObject* page : Pages) page->Add("Parent", new TLKPDFRefObject(tree->Number, 0));
  if (!List.empty())
    if (auto* catalog = dynamic_cast<TLKPDFDictionaryObject*>(List.front()))
      catalog->Add("Pages", new TLKPDFRefObject(tree->Number, 0));
  return tree;
}

void lkpdf_WriteHeader(TStream& Stream) {
  lkpdf_WriteLn(Stream, "%PDF-1.4");
  static const Byte kComment[6] = {'%', 0xC8, 0xD2, 0xF0, 0xFE, '\n'};
  Stream.WriteBuffer(kComment, 6);
}

void lkpdf_WriteIndirectObjects(TStream& Stream, TLKPDFObjectList& List, Int64 Origin) {
  for (TLKPDFObject* object : List) {
    const Int64 at = Stream.Position() - Origin;
    lkpdf_WriteLn(Stream, IntToStr(object->Number) + " 0 obj");
    object->Write(Stream);
    lkpdf_Write(Stream, "\n");
    lkpdf_WriteLn(Stream, "endobj");
    object->Position = at;
  }
}

void lkpdf_WriteFooter(TStream& Stream, TLKPDFObjectList& List, TLKPDFDictionaryObject* Info, Int64 Origin) {
  const Int64 table = Stream.Position() - Origin;
  const String count = IntToStr(Int64(List.size()) + 1);
  lkpdf_WriteLn(Stream, "xref");
  lkpdf_WriteLn(Stream, "0 " + count);
  lkpdf_WriteLn(Stream, "0000000000 65535 f ");
  String entries;
  entries.reserve(List.size() * 20);
  for (TLKPDFObject* object : List) {
    char line[32];
    std::snprintf(line, sizeof line, "%010lld 00000 n \n", static_cast<long long>(object->Position));
    entries += line;
  }
  lkpdf_Write(Stream, entries);
  lkpdf_WriteLn(Stream, "trailer");
  lkpdf_WriteLn(Stream, "<< /Size " + count);
  lkpdf_WriteLn(Stream, "/Root 1 0 R");
  lkpdf_WriteLn(Stream, "/Info " + IntToStr(Info ? Info->Number : 0) + " 0 R");
  lkpdf_WriteLn(Stream, ">>");
  lkpdf_WriteLn(Stream, "startxref");
  lkpdf_WriteLn(Stream, IntToStr(table));
  lkpdf_WriteLn(Stream, "%%EOF");
}
