#include "dialogs/iopages/lkoptionspage.h"

#include "core/lkmath.h"
#include "core/lkmsg.h"
#include "platform/colordialog.h"
#include "platform/comctrls.h"
#include "platform/forms.h"
#include "platform/stdctrls.h"
#include "platform/sysutils.h"

// ---------------------------------------------------------------------------
// The kit

TLKPageKit::TLKPageKit(TForm* Form, TPageControl* Pages, std::vector<TLKOptionsCaption>& Captions,
                       std::vector<std::unique_ptr<TLKSizeLabels>>& Sizes)
    : FForm(Form), FPages(Pages), FCaptions(Captions), FSizes(Sizes) {}

TTabSheet* TLKPageKit::NewPage(const char* Caption) {
  FPage = new TTabSheet(FForm);
  FParent = FPage;
  FOffsetX = FOffsetY = 0;
  FPage->SetPageControl(FPages);
  FPage->SetCaption(Caption);
  // The size captions and values at the bottom of every sheet.
  auto label = [&](Integer X, Integer Y, const char* Text) {
    auto* l = new TLabel(FForm);
    l->SetParent(FPage);
    l->SetBounds(X, Y, 120, 16);
    l->SetCaption(Text);
    return l;
  };
  TLabel* originalCaption = label(8, kLKOptionsPageHeight - 66, "Original size:");
  TLabel* compressedCaption = label(8, kLKOptionsPageHeight - 46, "Compressed size:");
  FCaptions.push_back({originalCaption, LKMSG_ORIGINALSIZE, true});
  FCaptions.push_back({compressedCaption, LKMSG_COMPRESSEDSIZE, true});
  FSizes.push_back(std::make_unique<TLKSizeLabels>(
      TLKSizeLabels{FPage, label(140, kLKOptionsPageHeight - 66, "---"), label(140, kLKOptionsPageHeight - 46, "---"),
                    originalCaption, compressedCaption}));
  return FPage;
}

TLabel* TLKPageKit::Label(Integer X, Integer Y, const char* Text, TMsgLanguageWords Word, bool Colon, Integer Width) {
  TLabel* l = FixedLabel(X, Y + 3, Width, Text);
  FCaptions.push_back({l, Word, Colon});
  return l;
}

TLabel* TLKPageKit::FixedLabel(Integer X, Integer Y, Integer Width, const char* Text) {
  auto* l = new TLabel(FForm);
  l->SetParent(FParent);
  l->SetBounds(X - FOffsetX, Y - FOffsetY, Width, 16);
  l->SetCaption(Text);
  return l;
}

TComboBox* TLKPageKit::Combo(Integer X, Integer Y, Integer Width, std::initializer_list<const char*> Items) {
  auto* c = new TComboBox(FForm);
  c->SetParent(FParent);
  c->SetStyle(csDropDownList);
  c->SetBounds(X - FOffsetX, Y - FOffsetY, Width, 21);
  for (const char* i : Items) c->GetItems()->Add(i);
  return c;
}

TEdit* TLKPageKit::Edit(Integer X, Integer Y, Integer Width) {
  auto* e = new TEdit(FForm);
  e->SetParent(FParent);
  e->SetBounds(X - FOffsetX, Y - FOffsetY, Width, 21);
  return e;
}

TCheckBox* TLKPageKit::Check(Integer X, Integer Y, const char* Text, TMsgLanguageWords Word, bool Colon) {
  auto* c = new TCheckBox(FForm);
  c->SetParent(FParent);
  c->SetBounds(X - FOffsetX, Y - FOffsetY, 150, 20);
  c->SetCaption(Text);
  FCaptions.push_back({c, Word, Colon});
  return c;
}

TTrackBar* TLKPageKit::Track(Integer X, Integer Y, Integer Max, Integer Frequency) {
  auto* t = new TTrackBar(FForm);
  t->SetParent(FParent);
  t->SetBounds(X - FOffsetX, Y - FOffsetY, 300, 28);
  t->SetMax(Max);
  t->SetFrequency(Frequency);
  return t;
}

TPanel* TLKPageKit::ColorPanel(Integer X, Integer Y) {
  auto* p = new TPanel(FForm);
  p->SetParent(FParent);
  p->SetBevelOuter(bvLowered);
  p->SetBounds(X - FOffsetX, Y - FOffsetY, 40, 21);
  return p;
}

TUpDown* TLKPageKit::UpDown(TEdit* Edit, Integer Max) {
  auto* u = new TUpDown(FForm);
  u->SetParent(FParent);
  u->SetMax(Max);
  u->SetAssociate(Edit);
  return u;
}

TGroupBox* TLKPageKit::Group(Integer Y, Integer Height, TMsgLanguageWords Word) {
  auto* g = new TGroupBox(FForm);
  g->SetParent(FPage);
  g->SetBounds(4, Y, kLKOptionsClientWidth - 24, Height);
  g->SetCaption(" " + lkmsg(Word, msEnglish) + " ");
  FCaptions.push_back({g, Word, false, true});
  FParent = g;
  FOffsetX = 4;
  FOffsetY = Y;
  return g;
}

void TLKPageKit::EndGroup() {
  FParent = FPage;
  FOffsetX = FOffsetY = 0;
}

// ---------------------------------------------------------------------------
// The page

void TLKOptionsPage::Prepare(bool Simplified) {
  for (TControl* c : FFullOnly) c->SetVisible(!Simplified);
}

std::vector<TTabSheet*> TLKOptionsPage::Sheets() const {
  std::vector<TTabSheet*> sheets{FFull};
  if (FSimple) sheets.push_back(FSimple);
  return sheets;
}

void TLKOptionsPage::FullOnly(std::initializer_list<TControl*> Controls) {
  FFullOnly.insert(FFullOnly.end(), Controls);
}

TRGB TLKOptionsPage::ChooseBackground(TPanel* Panel) {
  const TIOParamsVals& result = Host.ResultParams();
  TColor c = Panel->GetColor();
  bool ok = false;
  if (result.COLORMAPCOUNT > 0)
    ok = Host.ChooseFromResultPalette(_GetNumCol(result.BITSPERSAMPLE, result.SAMPLESPERPIXEL), c);
  else
    ok = ExecuteColorDialog(c);
  if (ok) Panel->SetColor(c);
  return LKColorToTRGB(Panel->GetColor());
}

// ---------------------------------------------------------------------------
// Helpers

TColor LKTRGBToColor(TRGB C) { return TColor(C.r) | (TColor(C.g) << 8) | (TColor(C.b) << 16); }
TRGB LKColorToTRGB(TColor C) { return TRGB{Byte((C >> 16) & 0xFF), Byte((C >> 8) & 0xFF), Byte(C & 0xFF)}; }

Integer LKEditInt(TEdit* Edit, Integer Default) {
  return Edit ? StrToIntDef(Trim(Edit->GetText()), Default) : Default;
}

Integer LKItemIndex0(TComboBox* Combo) { return Combo->GetItemIndex() < 0 ? 0 : Combo->GetItemIndex(); }
