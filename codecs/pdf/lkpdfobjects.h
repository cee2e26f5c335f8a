// A small tree of PDF objects that the PDF writer builds in memory and then
// writes out: references, booleans, numbers, strings, names, arrays,
// dictionaries and streams, the routines that number indirect objects and
// build the catalog, the page tree and the pages, and the writers of the
// header, the objects, the cross-reference table and the trailer. Nothing
// here parses PDF.
//
// Ownership: arrays free their items and dictionaries their values, except
// objects whose Shared flag is set; a stream owns its dictionary and data.
// Object lists (TLKPDFObjectList) own nothing: an indirect object belongs to
// whichever list of the writer created it.
#pragma once

#include <utility>
#include <vector>

#include "core/hylkdefs.h"
#include "platform/classes.h"

class TLKPDFObject {
 public:
  virtual ~TLKPDFObject() = default;
  /// Writes the object's text at the stream's position.
  virtual void Write(TStream& Stream) = 0;

  Integer Number = 0;    ///< 0 for a direct object; set when registered as indirect
  Int64 Position = 0;    ///< where the object's "n 0 obj" line starts (indirect objects)
  bool Shared = false;   ///< not freed by the array or dictionary holding it
};

class TLKPDFRefObject : public TLKPDFObject {
 public:
  TLKPDFRefObject(Integer ObjectNumber, Integer Generation) : ObjectNumber(ObjectNumber), Generation(Generation) {}
  void Write(TStream& Stream) override;
  Integer ObjectNumber, Generation;
};

class TLKPDFBooleanObject : public TLKPDFObject {
 public:
  explicit TLKPDFBooleanObject(bool Value) : Value(Value) {}
  void Write(TStream& Stream) override;
  bool Value;
};

class TLKPDFNumericObject : public TLKPDFObject {
 public:
  explicit TLKPDFNumericObject(double Value) : Value(Value) {}
  void Write(TStream& Stream) override;
  double Value;
};

/// A literal string: "(" text ")" with the control characters, parentheses
/// and backslash escaped.
class TLKPDFStringObject : public TLKPDFObject {
 public:
  explicit TLKPDFStringObject(String Text) : Text(std::move(Text)) {}
  void Write(TStream& Stream) override;
  String Text;
};

/// A name: "/" and the name, bytes outside "!".."~" as "#" and two hex digits.
class TLKPDFNameObject : public TLKPDFObject {
 public:
  explicit TLKPDFNameObject(String Name) : Name(std::move(Name)) {}
  void Write(TStream& Stream) override;
  String Name;
};

/// "[", each item followed by a blank, "]".
class TLKPDFArrayObject : public TLKPDFObject {
 public:
  TLKPDFArrayObject() = default;
  TLKPDFArrayObject(const TLKPDFArrayObject&) = delete;
  TLKPDFArrayObject& operator=(const TLKPDFArrayObject&) = delete;
  ~TLKPDFArrayObject() override;
  void Write(TStream& Stream) override;
  void Add(TLKPDFObject* Item) { Items.push_back(Item); }
  std::vector<TLKPDFObject*> Items;
};

/// "<< ", then per entry "/key value" and a line feed, then ">>"; entries
/// in insertion order.
class TLKPDFDictionaryObject : public TLKPDFObject {
 public:
  TLKPDFDictionaryObject() = default;
  TLKPDFDictionaryObject(const TLKPDFDictionaryObject&) = delete;
  TLKPDFDictionaryObject& operator=(const TLKPDFDictionaryObject&) = delete;
  ~TLKPDFDictionaryObject() override;
  void Write(TStream& Stream) override;
  /// Appends an entry (keys are not checked for duplicates).
  void Add(const String& Key, TLKPDFObject* Value) { Items.emplace_back(Key, Value); }
  /// Inserts an entry at Index (0: first).
  void Insert(size_t Index, const String& Key, TLKPDFObject* Value);
  /// The value of Key, null when absent.
  TLKPDFObject* Find(const String& Key) const;
  /// Replaces the value of Key in its place (freeing the old one unless
  /// shared), or appends the entry when absent.
  void Replace(const String& Key, TLKPDFObject* Value);
  std::vector<std::pair<String, TLKPDFObject*>> Items;
};

/// A stream: its dictionary (with "Length"), "stream", the data, "endstream".
class TLKPDFStreamObject : public TLKPDFObject {
 public:
  /// An empty stream whose dictionary holds only Length 0.
  TLKPDFStreamObject();
  /// A stream holding a copy of Length bytes of Data.
  TLKPDFStreamObject(const void* Data, size_t Length);
  TLKPDFStreamObject(const TLKPDFStreamObject&) = delete;
  TLKPDFStreamObject& operator=(const TLKPDFStreamObject&) = delete;
  ~TLKPDFStreamObject() override;
  void Write(TStream& Stream) override;
  TLKPDFDictionaryObject* Dictionary;
  std::vector<Byte> Data;
};

/// Indirect objects in registration order (numbers start at 1); owns none.
using TLKPDFObjectList = std::vector<TLKPDFObject*>;

void lkpdf_Write(TStream& Stream, const String& Text);
void lkpdf_WriteLn(TStream& Stream, const String& Text);
/// Appends Object and gives it the list's new count as its number.
Integer lkpdf_AddIndirectObject(TLKPDFObjectList& List, TLKPDFObject* Object);
/// << /Type /Catalog >>, registered (number 1 when registered first).
TLKPDFDictionaryObject* lkpdf_AddCatalog(TLKPDFObjectList& List);
/// << /Type /Page /Resources r /MediaBox box /Contents c >> (Resources
/// omitted when null), registered and appended to Pages (which owns it);
/// returns its index in Pages. MediaBox becomes the page's.
Integer lkpdf_AddPage(TLKPDFObjectList& List, std::vector<TLKPDFDictionaryObject*>& Pages,
                      TLKPDFDictionaryObject* Resources, Integer Contents, TLKPDFArrayObject* MediaBox);
/// The page tree: /Type /Pages, /Kids, /Count; gives every page /Parent and
/// the first registered object (the catalog) /Pages. The caller owns it.
TLKPDFDictionaryObject* lkpdf_AddPageTree(TLKPDFObjectList& List, std::vector<TLKPDFDictionaryObject*>& Pages);
/// "%PDF-1.4" and a comment line of four bytes above 127 (marks the file
/// as binary).
void lkpdf_WriteHeader(TStream& Stream);
/// Every object as "n 0 obj", the object, "endobj"; positions are kept
/// relative to Origin (where the header starts).
void lkpdf_WriteIndirectObjects(TStream& Stream, TLKPDFObjectList& List, Int64 Origin = 0);
/// The cross-reference table (20-byte entries) and the trailer naming
/// object 1 as the root and Info as the information dictionary.
void lkpdf_WriteFooter(TStream& Stream, TLKPDFObjectList& List, TLKPDFDictionaryObject* Info, Int64 Origin = 0);
