// The memo editor control: layout and drawing, caret moves, keys, the
// mouse and the clipboard.
#include "views/lkrichedit.h"

#include <algorithm>
#include <cmath>

#include "platform/clipboard.h"
#include "platform/ctrltypes.h"
#include "views/lkvectgeom.h"
#include "views/lkviewgeometry.h"

TShortCut lkgMemoShortCuts[12] = {
    scCtrl | 'L', scCtrl | 'E', scCtrl | 'R', scCtrl | 'J', scCtrl | 'C', scCtrl | 'X',
    scCtrl | 'V', scCtrl | 'F', scCtrl | 'B', scCtrl | 'I', scCtrl | 'U', scCtrl | 'G'};

Word LKTEXTMEMOCLIPFORMAT() {
  static const Word format = RegisterClipboardFormat(LKTEXTMEMOCLIPFORMAT_NAME);
  return format;
}

namespace {


// Complement of a colour's red, green and blue.
TColor Inverted(TColor C) { return static_cast<TColor>(~static_cast<uint32_t>(ColorToRGB(C)) & 0xFFFFFF); }

}  // namespace

TLKTextControl::TLKTextControl(TComponent* AOwner)
    : TCustomControl(AOwner),
      FDefaultFont(std::make_unique<TFont>()),
      FCharBrush(std::make_unique<TBrush>()),
      FControlBrush(std::make_unique<TBrush>()),
      FBorderPen(std::make_unique<TPen>()) {
  SetCursor(crIBeam);
  SetTabStop(true);
  Rich.Current = lkcharinfo::Make(*FDefaultFont, FCharBrush->GetColor(), FCharBrush->GetStyle(), DefaultAlign);
}

TLKTextControl::~TLKTextControl() = default;

void TLKTextControl::CreateParams(TCreateParams& Params) {
  TCustomControl::CreateParams(Params);
  Params.WindowClassStyle &= ~(CS_HREDRAW | CS_VREDRAW);
}

void TLKTextControl::SetFontLocked(bool Value) {
  FFontLocked = Value;
  ResetLayout();
}

void TLKTextControl::Init() {
  Rich.Init(lkcharinfo::Make(*FDefaultFont, FCharBrush->GetColor(), FCharBrush->GetStyle(), DefaultAlign));
  FW.clear();
  EnsureCaches();
  FMetrics.clear();
}

// ---------------------------------------------------------------------------
// Caches
// ---------------------------------------------------------------------------

void TLKTextControl::EnsureCaches() {
  const std::size_t n = Rich.Text.size() + 1;
  if (FW.size() == n) return;
  for (auto* v : {&FW, &FH, &FL, &FA, &FX, &FY}) v->assign(n, -1);
}

void TLKTextControl::ResetCache(Integer Start, Integer Count) {
  EnsureCaches();
  const Integer n = static_cast<Integer>(FW.size());
  const Integer s = std::clamp(Start, 0, n);
  const Integer e = Count < 0 ? n : std::clamp(s + Count, s, n);
  for (auto* v : {&FW, &FH, &FL, &FA})
    std::fill(v->begin() + s, v->begin() + e, -1);
}

void TLKTextControl::ResetLayout() {
  FW.clear();
  FMetrics.clear();
  EnsureCaches();
  Invalidate();
}

TLKFontMetrics TLKTextControl::MetricsOf(const TFont& Font) {
  const std::string key = Font.GetName() + '\x01' + std::to_string(Font.GetHeight()) + '\x01' +
                          std::to_string(static_cast<int>(Font.GetStyle().Contains(fsBold)) * 2 +
                                         static_cast<int>(Font.GetStyle().Contains(fsItalic)));
  auto it = FMetrics.find(key);
  if (it == FMetrics.end()) it = FMetrics.emplace(key, GetFontMetrics(Font)).first;
  return it->second;
}

void TLKTextControl::RestoreCharInfo(Integer Index, TCanvas* Canvas) {
  TFont* f = Canvas->GetFont();
  TBrush* b = Canvas->GetBrush();
  std::string face;
  Integer height;
  TFontStyles styles;
  TColor color, back;
  TBrushStyle backStyle;
  if (FFontLocked || Rich.Text.empty()) {
    face = FDefaultFont->GetName();
    height = FDefaultFont->GetHeight();
    styles = FDefaultFont->GetStyle();
    color = FDefaultFont->GetColor();
    back = FCharBrush->GetColor();
    backStyle = FCharBrush->GetStyle();
  } else {
    const TLKCharInfo r = Rich.CharInfo(Index);
    face = LKAnsiToUtf8(lkcharinfo::Face(r));
    height = lkcharinfo::Height(r);
    styles = lkcharinfo::Styles(r);
    color = lkcharinfo::Color(r);
    back = lkcharinfo::BackColor(r);
    backStyle = lkcharinfo::BrushStyle(r);
  }
  if (f->GetName() != face) f->SetName(face);
  if (f->GetHeight() != height) f->SetHeight(height);
  if (!(f->GetStyle() == styles)) f->SetStyle(styles);
  if (IgnoreColors) return;
  if (f->GetColor() != color) f->SetColor(color);
  if (b->GetColor() != back) b->SetColor(back);
  if (b->GetStyle() != backStyle) b->SetStyle(backStyle);
}

Integer TLKTextControl::Measure(Integer Index, TCanvas* Canvas) {
  const auto i = static_cast<std::size_t>(Index);
  if (FW[i] >= 0) return FW[i];
  ++FMeasured;
  RestoreCharInfo(Index, Canvas);
  const unsigned char c = static_cast<unsigned char>(Rich.Text[i]);
  // Control characters take the room of a space.
  const std::string s = c < 31 || c == 127 ? std::string(" ") : LKAnsiToUtf8(std::string(1, static_cast<char>(c)));
  FW[i] = Canvas->TextWidth(s);
  const TLKFontMetrics m = MetricsOf(*Canvas->GetFont());
  FH[i] = FixedLineHeight != 0 ? FixedLineHeight : m.Height;
  FL[i] = FixedLineHeight != 0 ? 0 : m.InternalLeading;
  FA[i] = m.Ascent;
  return FW[i];
}

TPoint TLKTextControl::GetCharPos(Integer Index) const {
  if (Index < 0 || static_cast<std::size_t>(Index) >= FX.size()) return TPoint{-1, -1};
  return TPoint{FX[static_cast<std::size_t>(Index)], FY[static_cast<std::size_t>(Index)]};
}

// ---------------------------------------------------------------------------
// Layout and drawing
// ---------------------------------------------------------------------------

void TLKTextControl::DrawChar(TCanvas* Canvas, Integer Index, Integer BaseX, Integer BaseY, double FontScale) {
  const auto i = static_cast<std::size_t>(Index);
  const unsigned char c = static_cast<unsigned char>(Rich.Text[i]);
  if (c == 10) return;
  RestoreCharInfo(Index, Canvas);
  TFont* f = Canvas->GetFont();
  TBrush* b = Canvas->GetBrush();
  Integer ascent = FA[i];
  if (FontScale != 1.0) {
    f->SetHeight(LKTruncClamp(f->GetHeight() * FontScale));
    ascent = MetricsOf(*f).Ascent;
  }
  const bool selected = Index >= Rich.SelStart && Index < Rich.SelEnd;
  if (selected && !IgnoreColors) {
    f->SetColor(Inverted(f->GetColor()));
    b->SetColor(Inverted(b->GetColor()));
    b->SetStyle(bsSolid);
  }
  const std::string s = c < 31 || c == 127 ? std::string(" ") : LKAnsiToUtf8(std::string(1, static_cast<char>(c)));
  Canvas->TextOut(BaseX, BaseY - ascent, s);
}

void TLKTextControl::PaintTo(TCanvas* C, Integer X, Integer Y, Integer Width, Integer Height) {
  if (Width <= 1 || Height <= 1) return;
  FCollected.clear();
  EnsureCaches();
  FGrowBy = 0;
  const bool deferred = Zoom != 1.0;
  std::vector<TRecorded> recorded;

  TPen* pen = C->GetPen();
  pen->SetWidth(1);
  pen->SetMode(pmCopy);
  pen->SetStyle(FBorderPen->GetStyle());
  pen->SetColor(FBorderPen->GetColor());
  C->SetBrush(FControlBrush.get());
  C->Rectangle(X, Y, X + LKRoundEven(Width * Zoom), Y + LKRoundEven(Height * Zoom));

  const double ml = Margins[0], mt = Margins[1], mr = Margins[2], mb = Margins[3];
  const Integer UW = LKTruncClamp(Width - Width * mr / 100 - Width * ml / 100) - 2;
  const Integer UH = LKTruncClamp(Height - Height * mb / 100 - Height * mt / 100) - 2;
  const Integer LI = LKTruncClamp(Width * ml / 100) + 1;
  const Integer TI = LKTruncClamp(Height * mt / 100) + 1;

  const std::string& t = Rich.Text;
  const Integer n = Rich.Length();
  const Integer caret = std::clamp(Rich.Caret, 0, n);
  Integer lineTop = 0, LH = 0, LL = 0;
  bool caretPlaced = false, stopped = false;
  Integer i = 0;
  while (i < n) {
    // Measuring pass: where the line ends.
    const Integer start = i;
    Integer rx = 0, j = i;
    bool paragraphEnd = false;
    while (j < n) {
      const Integer w = Measure(j, C);
      if (t[static_cast<std::size_t>(j)] == '\n') {
        LH = std::max(LH, FH[static_cast<std::size_t>(j)]);
        FX[static_cast<std::size_t>(j)] = LI + rx;
        ++j;
        paragraphEnd = true;
        break;
      }
      if (j > start && rx + w + 2 >= UW) {
        Integer k = j - 1;
        while (k >= start && t[static_cast<std::size_t>(k)] != ' ') --k;
        if (k >= start) j = k + 1;
        break;
      }
      FX[static_cast<std::size_t>(j)] = LI + rx;
      rx += w;
      ++j;
    }
    const Integer end = j;
    if (end >= n) paragraphEnd = true;
    // Line height and leading over the characters that stayed on the line.
    LH = 0;
    LL = 0;
    for (Integer k = start; k < end; ++k) {
      LH = std::max(LH, FH[static_cast<std::size_t>(k)]);
      LL = std::max(LL, FL[static_cast<std::size_t>(k)]);
    }
    // Alignment of the line, from its last character's style.
    Integer e = end - 1;
    if (e > start && t[static_cast<std::size_t>(e)] == '\n') --e;
    if (e > start && t[static_cast<std::size_t>(e)] == ' ') --e;
    const TLKAlignment align = FFontLocked ? DefaultAlign : lkcharinfo::Align(Rich.CharInfo(end - 1));
    const Integer ee = FX[static_cast<std::size_t>(e)] + FW[static_cast<std::size_t>(e)];
    Integer offset = 0;
    double stretch = 1.0;
    switch (align) {
      case lkjLeft: break;
      case lkjRight: offset = UW - ee - 1; break;
      case lkjCenter: offset = (UW - ee) / 2; break;
      case lkjJustify:
        if (!paragraphEnd && ee + 1 > 0) stretch = static_cast<double>(UW) / (ee + 1);
        break;
    }
    // Drawing pass.
    double runx = offset;
    Integer lastRight = LI + offset;
    for (Integer k = start; k < end; ++k) {
      const auto ks = static_cast<std::size_t>(k);
      const Integer cx = LI + LKTruncClamp(runx);
      FX[ks] = cx;
      FY[ks] = TI + lineTop;
      const Integer baseY = Y + TI + lineTop + LH - LL;
      if (!stopped) {
        if (baseY < Y + TI + UH) {
          if (cx > lastRight && FW[ks] > 0) {  // fill the gap the stretch left
            RestoreCharInfo(k, C);
            if (C->GetBrush()->GetStyle() == bsSolid && !IgnoreColors)
              C->FillRect(TRect{X + lastRight, Y + TI + lineTop, X + cx, Y + TI + lineTop + LH});
          }
          if (deferred) recorded.push_back({X + cx, baseY, k});
          else DrawChar(C, k, X + cx, baseY, 1.0);
          if (Collect && t[ks] != '\n') FCollected.push_back(t[ks]);
        } else if (AutoGrow && GetVisible()) {
          FGrowBy = FH[ks];
          stopped = true;
        }
      }
      runx += FW[ks] * stretch;
      lastRight = LI + LKTruncClamp(runx);
    }
    if (Collect) FCollected.push_back('\n');
    if (!caretPlaced && caret >= start && caret < end) {
      FCaretX = FX[static_cast<std::size_t>(caret)];
      FCaretY = TI + lineTop;
      FCaretH = LH;
      caretPlaced = true;
    }
    const Integer top = lineTop;
    lineTop += LH + LineSpace;
    if (!caretPlaced && caret == end && end == n) {
      if (paragraphEnd && t[static_cast<std::size_t>(end - 1)] == '\n') {
        FCaretX = LI;
        FCaretY = TI + lineTop;
      } else {
        FCaretX = FX[static_cast<std::size_t>(end - 1)] + FW[static_cast<std::size_t>(end - 1)];
        FCaretY = TI + top;
      }
      FCaretH = LH;
      caretPlaced = true;
    }
    i = end;
  }
  if (n == 0) {
    RestoreCharInfo(0, C);
    FCaretX = LI;
    FCaretY = TI;
    FCaretH = FixedLineHeight != 0 ? FixedLineHeight : MetricsOf(*C->GetFont()).Height;
  }
  // The end of the text sits after its last character.
  const auto ns = static_cast<std::size_t>(n);
  if (n == 0) {
    FX[ns] = LI;
    FY[ns] = TI;
  } else {
    const auto l = ns - 1;
    FX[ns] = t[l] == '\n' ? LI : FX[l] + FW[l];
    FY[ns] = t[l] == '\n' ? FY[l] + LH + LineSpace : FY[l];
  }

  if (deferred) {
    for (const TRecorded& r : recorded)
      DrawChar(C, r.Index, X + LKTruncClamp((r.X - X) * Zoom), Y + LKTruncClamp((r.Y - Y) * Zoom), Zoom);
    for (std::size_t k = 0; k < FX.size(); ++k) {
      if (FX[k] >= 0) FX[k] = LKTruncClamp(FX[k] * Zoom);
      if (FY[k] >= 0) FY[k] = LKTruncClamp(FY[k] * Zoom);
    }
    FCaretX = LKTruncClamp(FCaretX * Zoom);
    FCaretY = LKTruncClamp(FCaretY * Zoom);
    FCaretH = LKTruncClamp(FCaretH * Zoom);
  }
  if (AutoGrow && GetVisible() && FGrowBy == 0 && UH < FCaretY + FCaretH) FGrowBy = FCaretH;
}

void TLKTextControl::ClearBitmap(TCanvas* C) {
  const TRect client = GetClientRect();
  if (FControlBrush->GetStyle() != bsSolid && BackgroundPicture != nullptr)
    C->CopyFromSurface(client, BackgroundPicture,
                       TRect{GetLeft(), GetTop(), GetLeft() + client.Right, GetTop() + client.Bottom});
  if (FControlBrush->GetStyle() != bsClear) {
    C->SetBrush(FControlBrush.get());
    C->FillRect(client);
  }
}

void TLKTextControl::Paint() {
  if (!GetVisible()) return;
  TCanvas* C = GetCanvas();
  C->ResetClipRect();
  ClearBitmap(C);
  PaintTo(C, 0, 0, LKTruncClamp(GetClientWidth() / Zoom), LKTruncClamp(GetClientHeight() / Zoom));
  if (Focused() && FCaretH > 0) {
    TPen* pen = C->GetPen();
    pen->SetMode(pmNot);
    pen->SetStyle(psSolid);
    pen->SetWidth(1);
    C->MoveTo(FCaretX, FCaretY);
    C->LineTo(FCaretX, FCaretY + FCaretH);
    pen->SetMode(pmCopy);
  }
  if (FGrowBy > 0) {
    // Growing re-lays the text out; done after the paint, not inside it.
    const Integer by = FGrowBy;
    FGrowBy = 0;
    SetHeight(GetHeight() + by);
    Invalidate();
  }
}

// ---------------------------------------------------------------------------
// Caret moves
// ---------------------------------------------------------------------------

void TLKTextControl::MoveHome() {
  Integer i = std::clamp(Rich.Caret, 0, Rich.Length());
  while (i > 0 && FY[static_cast<std::size_t>(i - 1)] >= FCaretY) --i;
  Rich.Caret = i;
}

void TLKTextControl::MoveEnd() {
  const Integer n = Rich.Length();
  Integer i = std::clamp(Rich.Caret, 0, n);
  while (i < n && FY[static_cast<std::size_t>(i)] == FCaretY) ++i;
  if (i < n) --i;
  Rich.Caret = std::max(i, 0);
}

void TLKTextControl::MoveUp() {
  const Integer c = std::clamp(Rich.Caret, 0, Rich.Length());
  Integer lineY = -1;
  for (Integer k = c - 1; k >= 0; --k)
    if (FY[static_cast<std::size_t>(k)] < FCaretY) {
      lineY = FY[static_cast<std::size_t>(k)];
      break;
    }
  if (lineY < 0) return;
  Integer best = -1, bestD = 0;
  for (Integer k = c - 1; k >= 0 && FY[static_cast<std::size_t>(k)] >= lineY; --k) {
    if (FY[static_cast<std::size_t>(k)] != lineY) continue;
    const Integer d = std::abs(FX[static_cast<std::size_t>(k)] - FCaretX);
    if (best < 0 || d <= bestD) {
      best = k;
      bestD = d;
    }
  }
  if (best >= 0) Rich.Caret = best;
}

void TLKTextControl::MoveDown() {
  const Integer n = Rich.Length();
  const Integer c = std::clamp(Rich.Caret, 0, n);
  Integer lineY = -1;
  for (Integer k = c + 1; k <= n; ++k)
    if (FY[static_cast<std::size_t>(k)] > FCaretY) {
      lineY = FY[static_cast<std::size_t>(k)];
      break;
    }
  if (lineY < 0) return;
  Integer best = -1, bestD = 0;
  for (Integer k = c + 1; k <= n && FY[static_cast<std::size_t>(k)] <= lineY; ++k) {
    if (FY[static_cast<std::size_t>(k)] != lineY) continue;
    const Integer d = std::abs(FX[static_cast<std::size_t>(k)] - FCaretX);
    if (best < 0 || d < bestD) {
      best = k;
      bestD = d;
    }
  }
  if (best >= 0) Rich.Caret = best;
}

void TLKTextControl::MoveTo(Integer X, Integer Y) {
  EnsureCaches();
  const Integer n = Rich.Length();
  Integer i = 0;
  while (i < n && FY[static_cast<std::size_t>(i)] <= Y) ++i;
  if (i > 0 && FY[static_cast<std::size_t>(i)] > Y) --i;
  const Integer lineY = FY[static_cast<std::size_t>(i)];
  while (i > 0 && FY[static_cast<std::size_t>(i)] == lineY && X < FX[static_cast<std::size_t>(i)] - 1) --i;
  if (i < n && FY[static_cast<std::size_t>(i)] != lineY) ++i;
  Rich.Caret = std::max(i, 0);
  Rich.StyleFromCaret();
}

// ---------------------------------------------------------------------------
// Keys
// ---------------------------------------------------------------------------

void TLKTextControl::Edited(Integer From) {
  // What lies before the edit keeps its measurements.
  const std::size_t n = Rich.Text.size() + 1;
  for (auto* v : {&FW, &FH, &FL, &FA, &FX, &FY}) v->resize(n, -1);
  ResetCache(From);
  Invalidate();
}

void TLKTextControl::Moved(Integer OldCaret, TShiftState Shift) {
  if (Rich.Caret != OldCaret) Rich.StyleFromCaret();
  Rich.SStop(OldCaret, Shift.Contains(ssShift));
  Invalidate();
}

void TLKTextControl::KeyDown(Word& Key, TShiftState Shift) {
  const Integer c = Rich.Caret;
  const bool ctrl = Shift.Contains(ssCtrl);
  switch (Key) {
    case VK_BACK:
      if (Rich.HasSelection()) {
        const Integer s = Rich.SelStart;
        Rich.RemoveSelected();
        Edited(s);
      } else if (Rich.Caret > 0) {
        Rich.DelChar(--Rich.Caret);
        Edited(Rich.Caret);
      }
      break;
    case VK_RETURN:
      Edited(Rich.AddChar('\n'));
      break;
    case VK_END:
      if (ctrl) Rich.Caret = Rich.Length();
      else MoveEnd();
      Moved(c, Shift);
      break;
    case VK_HOME:
      if (ctrl) Rich.Caret = 0;
      else MoveHome();
      Moved(c, Shift);
      break;
    case VK_LEFT:
      if (ctrl) Rich.GoWordBackIdx(Rich.Caret);
      else Rich.GoBackIdx(Rich.Caret);
      Moved(c, Shift);
      break;
    case VK_UP:
      MoveUp();
      Moved(c, Shift);
      break;
    case VK_RIGHT:
      if (ctrl) Rich.GoWordForwardIdx(Rich.Caret);
      else Rich.GoForwardIdx(Rich.Caret);
      Moved(c, Shift);
      break;
    case VK_DOWN:
      MoveDown();
      Moved(c, Shift);
      break;
    case VK_INSERT:
      Rich.InsertMode = !Rich.InsertMode;
      break;
    case VK_DELETE:
      if (Rich.HasSelection()) {
        const Integer s = Rich.SelStart;
        Rich.RemoveSelected();
        Edited(s);
      } else {
        Edited(Rich.DelChar(Rich.Caret));
      }
      break;
    case VK_F1:
      if (Shift.Contains(ssShift)) Edited(Rich.DecFontSize());
      break;
    case VK_F1 + 1:
      if (Shift.Contains(ssShift)) Edited(Rich.IncFontSize());
      break;
    default:
      break;
  }
  const TShortCut sc = ShortCut(Key, Shift);
  for (int k = 0; k < 12; ++k) {
    if (lkgMemoShortCuts[k] != sc) continue;
    switch (static_cast<TLKMemoShortCut>(k)) {
      case lksLEFTALIGN: Edited(Rich.InsertAlign(lkjLeft)); break;
      case lksCENTERALIGN: Edited(Rich.InsertAlign(lkjCenter)); break;
      case lksRIGHTALIGN: Edited(Rich.InsertAlign(lkjRight)); break;
      case lksJUSTIFIED: Edited(Rich.InsertAlign(lkjJustify)); break;
      case lksCOPY: CopyToClipboard(); break;
      case lksCUT: {
        CopyToClipboard();
        const Integer s = Rich.SelStart;
        Rich.RemoveSelected();
        Edited(s);
        break;
      }
      case lksPASTE: {
        const Integer s = Rich.HasSelection() ? Rich.SelStart : Rich.Caret;
        Rich.RemoveSelected();
        PasteFromClipboard();
        Edited(s);
        break;
      }
      case lksFONTSELECT:
        if (!FFontLocked && OnSelectFont) {
          const TLKCharInfo& r = Rich.Current;
          TFont f;
          f.SetName(LKAnsiToUtf8(lkcharinfo::Face(r)));
          f.SetHeight(lkcharinfo::Height(r));
          f.SetStyle(lkcharinfo::Styles(r));
          f.SetColor(lkcharinfo::Color(r));
          if (OnSelectFont(f)) Edited(Rich.SetXFont(f));
        }
        break;
      case lksBOLD: Edited(Rich.SwitchFontStyle(fsBold)); break;
      case lksITALIC: Edited(Rich.SwitchFontStyle(fsItalic)); break;
      case lksUNDERLINE: Edited(Rich.SwitchFontStyle(fsUnderline)); break;
      case lksBACKCOLORSELECT:
        if (!FFontLocked && OnSelectBackColor) {
          TColor color = lkcharinfo::BackColor(Rich.Current);
          if (OnSelectBackColor(color)) Edited(Rich.SetXBackColor(color));
        }
        break;
    }
    break;
  }
  TCustomControl::KeyDown(Key, Shift);
}

void TLKTextControl::KeyPress(char& Key) {
  const Integer from = Rich.HasSelection() ? std::min(Rich.SelStart, Rich.Caret) : Rich.Caret;
  if (Rich.TypeChar(Key)) Edited(from);
  TCustomControl::KeyPress(Key);
  TControl::Update();
}

bool TLKTextControl::TypeCodePoint(char32_t CodePoint) {
  char b = 0;
  if (!LKUnicodeToAnsi(CodePoint, b)) {
    MessageBeep();
    return false;
  }
  KeyPress(b);
  return true;
}

void TLKTextControl::WndProc(TMessage& Message) {
  switch (Message.Msg) {
    case WM_ERASEBKGND:
      Message.Result = 0;
      return;
    case WM_UNICHAR:
      TypeCodePoint(static_cast<char32_t>(Message.WParam));
      Message.Result = 1;
      return;
    case CM_WANTSPECIALKEY:
      Message.Result = (Message.WParam == VK_TAB || (Message.WParam >= 33 && Message.WParam <= 40)) ? 1 : 0;
      return;
    case WM_CUT:
    case WM_COPY:
    case WM_PASTE: {
      const TLKMemoShortCut k = Message.Msg == WM_CUT ? lksCUT : Message.Msg == WM_COPY ? lksCOPY : lksPASTE;
      const TShortCut sc = lkgMemoShortCuts[k];
      Word key = static_cast<Word>(sc & 0x1FFF);
      TShiftState shift;
      if (sc & scShift) shift.Include(ssShift);
      if (sc & scCtrl) shift.Include(ssCtrl);
      if (sc & scAlt) shift.Include(ssAlt);
      KeyDown(key, shift);
      return;
    }
    case WM_SETFOCUS:
    case WM_KILLFOCUS:
      TCustomControl::WndProc(Message);
      Invalidate();  // the caret shows only while focused
      return;
    default:
      TCustomControl::WndProc(Message);
  }
}

// ---------------------------------------------------------------------------
// Mouse
// ---------------------------------------------------------------------------

void TLKTextControl::MouseDown(TMouseButton Button, TShiftState Shift, Integer X, Integer Y) {
  if (CanFocus() && !Focused()) SetFocus();
  if (Shift.Contains(ssDouble)) {
    Rich.SelectWordAtCaret();
  } else if (Shift.Contains(ssShift)) {
    MoveTo(FAnchorX, FAnchorY);
    const Integer old = Rich.Caret;
    MoveTo(X, Y);
    Rich.SStop(old, true);
    FAnchorX = X;
    FAnchorY = Y;
  } else {
    FAnchorX = X;
    FAnchorY = Y;
    Rich.SelStart = Rich.SelEnd = 0;
    MoveTo(X, Y);
  }
  Invalidate();
  DoCursorMoved();
  TCustomControl::MouseDown(Button, Shift, X, Y);
}

void TLKTextControl::MouseMove(TShiftState Shift, Integer X, Integer Y) {
  if (Shift.Contains(ssLeft)) {
    MoveTo(FAnchorX, FAnchorY);
    const Integer a = Rich.Caret;
    MoveTo(X, Y);
    Rich.SelStart = std::min(a, Rich.Caret);
    Rich.SelEnd = std::max(a, Rich.Caret);
    Invalidate();
    DoCursorMoved();
  }
  TCustomControl::MouseMove(Shift, X, Y);
}

void TLKTextControl::MouseUp(TMouseButton Button, TShiftState Shift, Integer X, Integer Y) {
  TCustomControl::MouseUp(Button, Shift, X, Y);
}

void TLKTextControl::DoCursorMoved() {
  if (OnCursorMoved) OnCursorMoved(this);
}

// ---------------------------------------------------------------------------
// Clipboard
// ---------------------------------------------------------------------------

void TLKTextControl::CopyToClipboard() {
  if (!Rich.HasSelection() || !ClipboardAvailable()) return;
  std::vector<Byte> plain = Rich.SelectionPlainBlock();
  plain.pop_back();  // the terminating 0
  TClipboard* cb = Clipboard();
  cb->Open();
  cb->Clear();
  cb->SetAsData(LKTEXTMEMOCLIPFORMAT(), Rich.SelectionMemoBlock());
  cb->SetAsText(LKAnsiToUtf8(std::string(plain.begin(), plain.end())));
  cb->Close();
}

void TLKTextControl::PasteFromClipboard() {
  if (!ClipboardAvailable()) return;
  TClipboard* cb = Clipboard();
  if (cb->HasFormat(LKTEXTMEMOCLIPFORMAT())) {
    Rich.PasteMemoBlock(cb->GetAsData(LKTEXTMEMOCLIPFORMAT()));
    return;
  }
  if (Rich.PastePlainText(cb->GetAsText()) > 0) MessageBeep();
}
