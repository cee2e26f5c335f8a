// Keyword access to the parameter record: every option and most metadata
// read and written as text. The text forms never follow the locale: reals
// are written with "." and read with either "." or ",".
#include <cstring>
#include <type_traits>
#include <vector>

#include "core/lkstreams.h"
#include "io/lkkeywords.h"
#include "io/lkparams.h"

namespace {

using P = TIOParamsVals;

Integer ParseInt(const String& V, Integer Fallback) {
  Integer n = 0;
  return TryStrToInt(V, n) ? n : Fallback;
}

double ParseReal(const String& V) {
  double d = 0.0;
  if (TryStrToFloat(V, d)) return d;
  // Written with the other separator: a "," becomes the "." we parse with.
  const std::size_t comma = V.find(',');
  if (comma != String::npos) {
    String alt = V;
    alt[comma] = '.';
    if (TryStrToFloat(alt, d)) return d;
  }
  return 0.0;
}

String RealText(double V) { return LKFloatToStr(V); }

using Getter = String (*)(const P&);
using Setter = void (*)(P&, const String&);

struct Keyword {
  const char* Name;
  TLKKeywordKind Kind;
  Getter Get;
  Setter Set;  // null: read-only
};

// What a field's keyword is: its kind, whether it can be written, the
// value stored for an integer that does not parse, and the setter that
// writes it when the field has side effects.
struct KeywordSpec {
  bool Has = false;
  TLKKeywordKind Kind = lkkInteger;
  bool Writable = true;
  Integer Fallback = 0;
  void (P::*SetInt)(Integer) = nullptr;
  void (P::*SetBool)(bool) = nullptr;
  void (P::*SetReal)(double) = nullptr;
};

// The keyword column of the field list.
#define kw_none KeywordSpec{}
#define kw_int(FB) KeywordSpec{.Has = true, .Kind = lkkInteger, .Fallback = FB}
#define kw_int_ro KeywordSpec{.Has = true, .Kind = lkkInteger, .Writable = false}
#define kw_int_set(SETTER, FB) KeywordSpec{.Has = true, .Kind = lkkInteger, .Fallback = FB, .SetInt = &P::SETTER}
#define kw_byte KeywordSpec{.Has = true, .Kind = lkkByte}
#define kw_bool KeywordSpec{.Has = true, .Kind = lkkBoolean}
#define kw_bool_set(SETTER) KeywordSpec{.Has = true, .Kind = lkkBoolean, .SetBool = &P::SETTER}
#define kw_real KeywordSpec{.Has = true, .Kind = lkkReal}
#define kw_real_set(SETTER) KeywordSpec{.Has = true, .Kind = lkkReal, .SetReal = &P::SETTER}
#define kw_text KeywordSpec{.Has = true, .Kind = lkkText}
#define kw_text_ro KeywordSpec{.Has = true, .Kind = lkkText, .Writable = false}
#define kw_colour KeywordSpec{.Has = true, .Kind = lkkColour}
#define kw_date KeywordSpec{.Has = true, .Kind = lkkDate}

// A field's value as the text of its keyword's kind.
template <class T>
String FieldText(const T& Field, const KeywordSpec& K) {
  if constexpr (std::is_same_v<T, bool>) {
    return LKbool2str(Field);
  } else if constexpr (std::is_enum_v<T>) {
    return IntToStr(static_cast<Integer>(Field));
  } else if constexpr (std::is_same_v<T, Integer>) {
    return IntToStr(Field);
  } else if constexpr (std::is_same_v<T, double>) {
    return K.Kind == lkkDate ? DateToStr(Field) : RealText(Field);
  } else if constexpr (std::is_same_v<T, String>) {
    return Field;
  } else if constexpr (std::is_same_v<T, TRGB>) {
    return LKrgb2str(Field);
  } else {
    return String();
  }
}

// Stores the text V in a field by its keyword's rules, through the setter
// when there is one.
template <class T>
void StoreText(P& Params, T& Field, const String& V, const KeywordSpec& K) {
  if constexpr (std::is_same_v<T, bool>) {
    if (K.SetBool) (Params.*K.SetBool)(LKstr2bool(V));
    else Field = LKstr2bool(V);
  } else if constexpr (std::is_enum_v<T>) {
    Field = static_cast<T>(static_cast<DWORD>(ParseInt(V, K.Fallback)) & 0xFFu);
  } else if constexpr (std::is_same_v<T, Integer>) {
    if (K.SetInt) (Params.*K.SetInt)(ParseInt(V, K.Fallback));
    else Field = ParseInt(V, K.Fallback);
  } else if constexpr (std::is_same_v<T, double>) {
    if (K.Kind == lkkDate) {
      // Text that is no date leaves the date as it was.
      TDateTime d = 0;
      if (TryStrToDate(V, d)) Field = d;
    } else if (K.SetReal) {
      (Params.*K.SetReal)(ParseReal(V));
    } else {
      Field = ParseReal(V);
    }
  } else if constexpr (std::is_same_v<T, String>) {
    Field = V;
  } else if constexpr (std::is_same_v<T, TRGB>) {
    Field = LKstr2rgb(V);
  }
}

// The keywords: the file-type text, then every field of the list that has
// one (COLORMAPITEM is tested separately). Names are unique, so the order
// only decides how LKParamsKeywords lists them.
const std::vector<Keyword>& Keywords() {
  static const std::vector<Keyword> table = [] {
    std::vector<Keyword> t;
    t.push_back(Keyword{"FILETYPESTR", lkkText, [](const P& p) { return p.GetFileTypeStr(); }, nullptr});
#define LK_KEYWORD(Type, Name, Default, Reset, Copy, Spec, Tag)                                 \
  if ((Spec).Has)                                                                              \
    t.push_back(Keyword{#Name, (Spec).Kind, [](const P& p) { return FieldText(p.Name, Spec); }, \
                        (Spec).Writable ? static_cast<Setter>([](P& p, const String& v) {       \
                          StoreText(p, p.Name, v, Spec);                                       \
                        })                                                                     \
                                        : nullptr});
    LK_PARAMS_FIELDS(LK_KEYWORD)
#undef LK_KEYWORD
    return t;
  }();
  return table;
}

constexpr const char kColorMapItem[] = "COLORMAPITEM";
constexpr std::size_t kColorMapItemLen = sizeof kColorMapItem - 1;

const Keyword* Find(const String& Key) {
  for (const Keyword& k : Keywords())
    if (Key == k.Name) return &k;
  return nullptr;
}

String NormaliseKeyword(const String& Keyword) { return UpperCase(LKRemoveCtrlChars(Keyword)); }

}  // namespace

std::vector<TLKKeywordInfo> LKParamsKeywords() {
  std::vector<TLKKeywordInfo> out;
  for (const Keyword& k : Keywords()) out.push_back(TLKKeywordInfo{k.Name, k.Kind, k.Set != nullptr});
  out.push_back(TLKKeywordInfo{kColorMapItem, lkkColour, true});
  return out;
}

String TIOParamsVals::GetProperty(const String& Keyword) const {
  const String key = NormaliseKeyword(Keyword);
  if (const ::Keyword* k = Find(key)) return k->Get(*this);
  if (key.compare(0, kColorMapItemLen, kColorMapItem) == 0) {
    const Integer i = ParseInt(key.substr(kColorMapItemLen), 0);
    if (i >= 0 && static_cast<std::size_t>(i) < ColorMap.size()) return LKrgb2str(ColorMap[static_cast<std::size_t>(i)]);
    return String();
  }
  return "INVALID PROPERTY";
}

void TIOParamsVals::SetProperty(const String& Keyword, const String& Value) {
  const String key = NormaliseKeyword(Keyword);
  const String value = LKRemoveCtrlChars(Value);
  if (const ::Keyword* k = Find(key)) {
    if (k->Set != nullptr) k->Set(*this, value);
    return;
  }
  if (key.compare(0, kColorMapItemLen, kColorMapItem) == 0) {
    const Integer i = ParseInt(key.substr(kColorMapItemLen), 0);
    if (i >= 0 && static_cast<std::size_t>(i) < ColorMap.size()) ColorMap[static_cast<std::size_t>(i)] = LKstr2rgb(value);
  }
}
