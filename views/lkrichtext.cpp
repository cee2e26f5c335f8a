// The memo editor's text model: styles, typing, deleting, caret steps,
// selection, style commands and the two clipboard blocks.
#include "views/lkrichtext.h"

#include <algorithm>
#include <cstring>

namespace {

// Offsets of the fields of a 280-byte style record.
constexpr std::size_t kCount = 0, kFace = 4, kHeight = 260, kStyle = 264, kColor = 268, kBack = 272, kBrush = 276,
                      kAlign = 277;
constexpr std::size_t kRecord = 280;

int32_t Get32(const TLKCharInfo& R, std::size_t At) {
  return static_cast<int32_t>(static_cast<uint32_t>(R[At]) | static_cast<uint32_t>(R[At + 1]) << 8 |
                              static_cast<uint32_t>(R[At + 2]) << 16 | static_cast<uint32_t>(R[At + 3]) << 24);
}
void Put32(TLKCharInfo& R, std::size_t At, int32_t V) {
  const auto u = static_cast<uint32_t>(V);
  for (std::size_t i = 0; i < 4; ++i) R[At + i] = static_cast<Byte>(u >> (8 * i));
}

unsigned char U(char C) { return static_cast<unsigned char>(C); }

// Code points of Windows-1252's 0x80..0x9F block; 0 marks its unused codes.
constexpr char16_t k80[32] = {0x20AC, 0,      0x201A, 0x0192, 0x201E, 0x2026, 0x2020, 0x2021, 0x02C6, 0x2030, 0x0160,
                              0x2039, 0x0152, 0,      0x017D, 0,      0,      0x2018, 0x2019, 0x201C, 0x201D, 0x2022,
                              0x2013, 0x2014, 0x02DC, 0x2122, 0x0161, 0x203A, 0x0153, 0,      0x017E, 0x0178};

}  // namespace

namespace lkcharinfo {
Integer Count(const TLKCharInfo& R) { return Get32(R, kCount); }
void SetCount(TLKCharInfo& R, Integer Value) { Put32(R, kCount, Value); }
std::string Face(const TLKCharInfo& R) {
  return std::string(reinterpret_cast<const char*>(&R[kFace + 1]), R[kFace]);
}
void SetFace(TLKCharInfo& R, const std::string& Value) {
  const std::size_t n = std::min<std::size_t>(Value.size(), 255);
  std::memset(&R[kFace], 0, 256);
  R[kFace] = static_cast<Byte>(n);
  std::memcpy(&R[kFace + 1], Value.data(), n);
}
Integer Height(const TLKCharInfo& R) { return Get32(R, kHeight); }
void SetHeight(TLKCharInfo& R, Integer Value) { Put32(R, kHeight, Value); }
TFontStyles Styles(const TLKCharInfo& R) {
  TFontStyles s;
  for (TFontStyle f : {fsBold, fsItalic, fsUnderline, fsStrikeOut})
    if (R[kStyle] & (1u << f)) s.Include(f);
  return s;
}
void SetStyles(TLKCharInfo& R, TFontStyles Value) {
  Byte b = 0;
  for (TFontStyle f : {fsBold, fsItalic, fsUnderline, fsStrikeOut})
    if (Value.Contains(f)) b |= static_cast<Byte>(1u << f);
  R[kStyle] = b;
}
TColor Color(const TLKCharInfo& R) { return static_cast<TColor>(Get32(R, kColor)); }
void SetColor(TLKCharInfo& R, TColor Value) { Put32(R, kColor, static_cast<int32_t>(Value)); }
TColor BackColor(const TLKCharInfo& R) { return static_cast<TColor>(Get32(R, kBack)); }
void SetBackColor(TLKCharInfo& R, TColor Value) { Put32(R, kBack, static_cast<int32_t>(Value)); }
TBrushStyle BrushStyle(const TLKCharInfo& R) {
  return R[kBrush] <= bsDiagCross ? static_cast<TBrushStyle>(R[kBrush]) : bsSolid;
}
void SetBrushStyle(TLKCharInfo& R, TBrushStyle Value) { R[kBrush] = static_cast<Byte>(Value); }
TLKAlignment Align(const TLKCharInfo& R) { return R[kAlign] <= lkjJustify ? static_cast<TLKAlignment>(R[kAlign]) : lkjLeft; }
void SetAlign(TLKCharInfo& R, TLKAlignment Value) { R[kAlign] = static_cast<Byte>(Value); }

TLKCharInfo Make(const TFont& Font, TColor BackColor, TBrushStyle BackStyle, TLKAlignment Alignment) {
  TLKCharInfo r{};
  SetFace(r, Font.GetName());
  SetHeight(r, Font.GetHeight());
  SetStyles(r, Font.GetStyle());
  SetColor(r, Font.GetColor());
  SetBackColor(r, BackColor);
  SetBrushStyle(r, BackStyle);
  SetAlign(r, Alignment);
  return r;
}
}  // namespace lkcharinfo

bool LKUnicodeToAnsi(char32_t CodePoint, char& Byte) {
  if (CodePoint < 0x80 || (CodePoint >= 0xA0 && CodePoint <= 0xFF)) {
    Byte = static_cast<char>(CodePoint);
    return true;
  }
  for (unsigned i = 0; i < 32; ++i)
    if (k80[i] != 0 && k80[i] == CodePoint) {
      Byte = static_cast<char>(0x80 + i);
      return true;
    }
  return false;
}

// ---------------------------------------------------------------------------
// Styles
// ---------------------------------------------------------------------------

void TLKRichText::Init(const TLKCharInfo& Default) {
  SelStart = SelEnd = 0;
  Caret = 0;
  StyleIndex.resize(Text.size(), 0);
  if (Styles.empty() && !Text.empty()) {
    TLKCharInfo r = Default;
    lkcharinfo::SetCount(r, Length());
    Styles.push_back(r);
  }
  // Indexes handed in from a file may point anywhere.
  for (Integer& i : StyleIndex)
    if (i < 0 || i >= static_cast<Integer>(Styles.size())) i = 0;
  Current = Default;
  lkcharinfo::SetCount(Current, 0);
}

Integer TLKRichText::FindCharInfo(const TLKCharInfo& Style) const {
  for (std::size_t i = 0; i < Styles.size(); ++i)
    if (std::memcmp(&Styles[i][kFace], &Style[kFace], kRecord - kFace) == 0) return static_cast<Integer>(i);
  return -1;
}

void TLKRichText::SaveCharInfo(Integer Index, const TLKCharInfo& Style) {
  Integer k = FindCharInfo(Style);
  if (k < 0) {
    TLKCharInfo r = Style;
    lkcharinfo::SetCount(r, 0);
    Styles.push_back(r);
    k = static_cast<Integer>(Styles.size()) - 1;
  }
  StyleIndex[static_cast<std::size_t>(Index)] = k;
  TLKCharInfo& r = Styles[static_cast<std::size_t>(k)];
  lkcharinfo::SetCount(r, lkcharinfo::Count(r) + 1);
}

TLKCharInfo TLKRichText::CharInfo(Integer Index) const {
  if (Text.empty() || Styles.empty()) return Current;
  Index = std::clamp(Index, 0, Length() - 1);
  const Integer k = StyleIndex[static_cast<std::size_t>(Index)];
  return Styles[static_cast<std::size_t>(std::clamp(k, 0, static_cast<Integer>(Styles.size()) - 1))];
}

void TLKRichText::RemoveUnreferenced() {
  std::vector<Integer> newIndex(Styles.size(), 0);
  std::vector<TLKCharInfo> kept;
  for (std::size_t i = 0; i < Styles.size(); ++i) {
    newIndex[i] = static_cast<Integer>(kept.size());
    if (lkcharinfo::Count(Styles[i]) != 0) kept.push_back(Styles[i]);
  }
  for (Integer& i : StyleIndex)
    if (i >= 0 && i < static_cast<Integer>(newIndex.size())) i = newIndex[static_cast<std::size_t>(i)];
  Styles = std::move(kept);
}

// ---------------------------------------------------------------------------
// Typing and deleting
// ---------------------------------------------------------------------------

Integer TLKRichText::AddChar(char Ch) {
  const Integer at = std::clamp(Caret, 0, Length());
  Text.insert(Text.begin() + at, Ch);
  StyleIndex.insert(StyleIndex.begin() + at, 0);
  SaveCharInfo(at, Current);
  Caret = at + 1;
  return at;
}

Integer TLKRichText::DelChar(Integer Index) {
  if (Index < 0 || Index >= Length()) return Index;
  const std::size_t i = static_cast<std::size_t>(Index);
  const Integer k = StyleIndex[i];
  if (k >= 0 && k < static_cast<Integer>(Styles.size())) {
    TLKCharInfo& r = Styles[static_cast<std::size_t>(k)];
    if (lkcharinfo::Count(r) > 0) lkcharinfo::SetCount(r, lkcharinfo::Count(r) - 1);
  }
  Text.erase(i, 1);
  StyleIndex.erase(StyleIndex.begin() + Index);
  return Index;
}

void TLKRichText::RemoveSelected() {
  if (SelStart >= SelEnd) return;
  const Integer start = std::clamp(SelStart, 0, Length());
  for (Integer i = std::min(SelEnd, Length()) - 1; i >= start; --i) DelChar(i);
  Caret = start;
  SelStart = SelEnd = 0;
}

bool TLKRichText::TypeChar(char Ch) {
  if (U(Ch) < 32 || U(Ch) == 127) return false;
  RemoveSelected();
  if (!InsertMode) DelChar(Caret);
  AddChar(Ch);
  return true;
}

bool TLKRichText::TypeCodePoint(char32_t CodePoint) {
  char b = 0;
  if (!LKUnicodeToAnsi(CodePoint, b)) return false;
  return TypeChar(b);
}

// ---------------------------------------------------------------------------
// Caret steps and the selection
// ---------------------------------------------------------------------------

bool TLKRichText::GoBackIdx(Integer& Index) const {
  if (Index <= 0) return false;
  --Index;
  return true;
}

void TLKRichText::GoForwardIdx(Integer& Index) const {
  if (Index < Length()) ++Index;
}

void TLKRichText::GoWordBackIdx(Integer& Index) const {
  if (Text.empty()) {
    Index = 0;
    return;
  }
  Index = std::clamp(Index, 0, Length());
  if (Index > 0) --Index;
  while (Index > 1 && U(Text[static_cast<std::size_t>(Index)]) < 33) --Index;
  while (Index > 0 && U(Text[static_cast<std::size_t>(Index)]) > 32) --Index;
  if (U(Text[static_cast<std::size_t>(Index)]) <= 32) ++Index;
  Index = std::clamp(Index, 0, Length() - 1);
}

void TLKRichText::GoWordForwardIdx(Integer& Index) const {
  if (Text.empty()) {
    Index = 0;
    return;
  }
  Index = std::clamp(Index + 1, 0, Length());
  while (Index < Length() && U(Text[static_cast<std::size_t>(Index)]) < 33) ++Index;
  while (Index < Length() && U(Text[static_cast<std::size_t>(Index)]) > 32) ++Index;
  Index = std::clamp(Index, 0, Length() - 1);
}

void TLKRichText::SStop(Integer OldCaret, bool Shift) {
  if (!Shift) {
    SelStart = SelEnd = 0;
    return;
  }
  if (SelEnd == 0) {
    SelStart = OldCaret;
    SelEnd = Caret;
  } else if (OldCaret < Caret) {
    if (SelEnd < Caret) SelEnd = Caret;
    else SelStart = Caret;
  } else {
    if (Caret < SelStart) SelStart = Caret;
    else SelEnd = Caret;
  }
  if (SelEnd < SelStart) std::swap(SelStart, SelEnd);
}

void TLKRichText::SelectWordAtCaret() {
  if (Text.empty()) return;
  Integer s = std::clamp(Caret, 0, Length());
  while (s > 0 && U(Text[static_cast<std::size_t>(s - 1)]) > 32) --s;
  Integer e = s;
  while (e < Length() && U(Text[static_cast<std::size_t>(e)]) > 32) ++e;
  while (e > s && U(Text[static_cast<std::size_t>(e - 1)]) <= 32) --e;
  Caret = e;
  SelStart = s;
  SelEnd = e;
}

void TLKRichText::StyleFromCaret() {
  if (!Text.empty()) Current = CharInfo(Caret - 1);
}

// ---------------------------------------------------------------------------
// Style commands
// ---------------------------------------------------------------------------

template <typename F>
Integer TLKRichText::ApplyToSelection(F&& Change) {
  const Integer s = std::clamp(SelStart, 0, Length()), e = std::clamp(SelEnd, 0, Length());
  for (Integer i = s; i < e; ++i) {
    TLKCharInfo r = CharInfo(i);
    Change(r);
    SaveCharInfo(i, r);
  }
  Change(Current);
  return s < e ? s : Length();
}

Integer TLKRichText::SetXFont(const TFont& Font) {
  return ApplyToSelection([&](TLKCharInfo& r) {
    lkcharinfo::SetFace(r, Font.GetName());
    lkcharinfo::SetHeight(r, Font.GetHeight());
    lkcharinfo::SetStyles(r, Font.GetStyle());
    lkcharinfo::SetColor(r, Font.GetColor());
  });
}

Integer TLKRichText::SetXBackColor(TColor Color) {
  return ApplyToSelection([&](TLKCharInfo& r) { lkcharinfo::SetBackColor(r, Color); });
}

Integer TLKRichText::ChangeSize(Integer Step) {
  return ApplyToSelection([&](TLKCharInfo& r) {
    const Integer h = lkcharinfo::Height(r);
    Integer n = h < 0 ? h - Step : h + Step;
    if (n == 0) n = 1;
    lkcharinfo::SetHeight(r, n);
  });
}

Integer TLKRichText::SwitchFontStyle(TFontStyle Style) {
  // The first selected character decides for the whole selection.
  TFontStyles set = lkcharinfo::Styles(HasSelection() ? CharInfo(SelStart) : Current);
  if (set.Contains(Style)) set.Exclude(Style);
  else set.Include(Style);
  return ApplyToSelection([&](TLKCharInfo& r) { lkcharinfo::SetStyles(r, set); });
}

Integer TLKRichText::InsertAlign(TLKAlignment Align) {
  const Integer c = std::clamp(Caret, 0, Length());
  Integer s = c;
  while (s > 0 && Text[static_cast<std::size_t>(s - 1)] != '\n') --s;
  Integer e = c;
  while (e < Length() && Text[static_cast<std::size_t>(e)] != '\n') ++e;
  for (Integer i = s; i < e; ++i) {
    TLKCharInfo r = CharInfo(i);
    lkcharinfo::SetAlign(r, Align);
    SaveCharInfo(i, r);
  }
  lkcharinfo::SetAlign(Current, Align);
  return s < e ? s : Length();
}

// ---------------------------------------------------------------------------
// Clipboard blocks
// ---------------------------------------------------------------------------

std::vector<Byte> TLKRichText::SelectionMemoBlock() const {
  std::vector<Byte> out;
  const Integer s = std::clamp(SelStart, 0, Length()), e = std::clamp(SelEnd, 0, Length());
  if (s >= e) return out;
  const auto n = static_cast<std::size_t>(e - s);
  out.reserve(n * (kRecord + 1) + 1);
  out.insert(out.end(), Text.begin() + s, Text.begin() + e);
  out.push_back(0);
  for (Integer i = s; i < e; ++i) {
    const TLKCharInfo r = CharInfo(i);
    out.insert(out.end(), r.begin(), r.end());
  }
  return out;
}

std::vector<Byte> TLKRichText::SelectionPlainBlock() const {
  std::vector<Byte> out;
  const Integer s = std::clamp(SelStart, 0, Length()), e = std::clamp(SelEnd, 0, Length());
  for (Integer i = s; i < e; ++i) {
    const Byte b = U(Text[static_cast<std::size_t>(i)]);
    if (b == 10) out.push_back(13);
    out.push_back(b);
  }
  out.push_back(0);
  return out;
}

Integer TLKRichText::PasteMemoBlock(const std::vector<Byte>& Block) {
  const auto zero = std::find(Block.begin(), Block.end(), Byte{0});
  if (zero == Block.end()) return Length();
  const auto n = static_cast<std::size_t>(zero - Block.begin());
  // A block whose records do not cover its characters is not ours.
  if ((Block.size() - n - 1) / kRecord < n) return Length();
  const Integer first = std::clamp(Caret, 0, Length());
  for (std::size_t k = 0; k < n; ++k) {
    std::memcpy(Current.data(), &Block[n + 1 + kRecord * k], kRecord);
    AddChar(static_cast<char>(Block[k]));
  }
  return n ? first : Length();
}

Integer TLKRichText::PastePlainText(const std::string& Utf8) {
  Integer lacked = 0;
  for (std::size_t i = 0; i < Utf8.size();) {
    const unsigned char b = U(Utf8[i]);
    const std::size_t len = b < 0x80 ? 1 : (b >> 5) == 6 ? 2 : (b >> 4) == 14 ? 3 : (b >> 3) == 30 ? 4 : 0;
    if (len == 0 || i + len > Utf8.size()) {
      ++lacked;
      ++i;
      continue;
    }
    char32_t cp = len == 1 ? b : b & (0xFF >> (len + 1));
    for (std::size_t k = 1; k < len; ++k) cp = cp << 6 | (U(Utf8[i + k]) & 0x3F);
    i += len;
    if (cp == 13) continue;
    char c = 0;
    if (LKUnicodeToAnsi(cp, c)) AddChar(c);
    else ++lacked;
  }
  return lacked;
}
