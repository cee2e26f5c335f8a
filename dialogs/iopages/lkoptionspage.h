// The pages of the format-options dialog (TfIOPreviews,
// dialogs/lkiopreviews.h): one class per format, each in its own file beside
// this one. The dialog holds what all pages share (the views, the buttons,
// Lock Preview, the sizes, the preview's save and the reduction of the
// result); a page holds everything of its format: its controls, its working
// values, how it reads them from and writes them to the parameters, what
// the simplified form leaves out, and what its preview saves with.
//
// ===========================================================================
// How to give a format an options page
// ===========================================================================
//
// 1. The format's row (codecs/<format>/<format>_row.cpp) names its page in
//    OptionPages (PreviewPage(ppXXX)). The dialog offers the page while a
//    row naming it can be written, and opens on it for parameters whose
//    FILETYPE is that row's type.
//
// 2. Write the page in dialogs/iopages/<format>_page.h and .cpp: a class
//    over TLKOptionsPage that builds its sheets through TLKPageKit, and in
//    the .cpp its maker:
//
//        extern constinit const TLKOptionsPageMaker LKPage_PNG = LKMakeOptionsPage<TLKPngOptionsPage>;
//
// 3. Add one line X(<name>) to LK_OPTIONS_PAGES in
//    dialogs/iopages/lkoptionspages_table.cpp, at its place in the tab
//    order.
//
// A format whose page is of a kind not yet known also adds that kind to
// TPreviewParam (io/lkfileformats.h): callers of TLumerakIO::DoPreviews ask
// for pages by that set.
// ===========================================================================
#pragma once

#include <initializer_list>
#include <memory>
#include <vector>

#include "core/hylkdefs.h"
#include "core/lkmsg.h"
#include "io/lkfileformats.h"
#include "io/lkparams.h"

class TCheckBox;
class TComboBox;
class TControl;
class TEdit;
class TForm;
class TGroupBox;
class TLabel;
class TPageControl;
class TPanel;
class TTabSheet;
class TTrackBar;
class TUpDown;
class TWinControl;

/// Client width of the dialog and height of its page control (full form).
constexpr Integer kLKOptionsClientWidth = 527;
constexpr Integer kLKOptionsPageHeight = 236;

/// What the dialog lends its pages.
class TLKOptionsHost {
 public:
  virtual ~TLKOptionsHost() = default;
  /// The change guard: control handlers act only while it is on (it is off
  /// while the dialog fills the controls, and while a handler sets other
  /// controls of its page).
  virtual bool GuardOn() const = 0;
  virtual void SetGuard(bool On) = 0;
  /// A value the preview depends on changed: recomputes the preview when
  /// Lock Preview is checked.
  virtual void Refresh() = 0;
  /// A value changed: Apply becomes possible.
  virtual void Changed() = 0;
  /// Computes the preview now.
  virtual void Preview() = 0;
  /// The parameters of the preview's result (its palette after a reduction).
  virtual const TIOParamsVals& ResultParams() const = 0;
  /// Opens the palette dialog on the result's palette with at most Count
  /// entries (fewer when the palette is smaller); true when one was chosen.
  virtual bool ChooseFromResultPalette(Integer Count, TColor& Chosen) = 0;
};

/// How a page's preview shows the result.
enum TLKPreviewResult : Byte {
  lkprRoundTrip,  ///< saved into memory and loaded back into the result (lossy formats)
  lkprPalette,    ///< the result reduced to the colours the save keeps, the palette in its parameters
  lkprConvert,    ///< the result reduced in place to at most 256 colours, no palette kept
  lkprGray,       ///< the result made grey, its palette dropped
  lkprKeep,       ///< the result shows the source as it is
};

/// A caption that follows the dialog's language: Word, with ":" after it
/// (Colon), or with a blank on each side (Framed, a group's title).
struct TLKOptionsCaption {
  TControl* Control;
  TMsgLanguageWords Word;
  bool Colon;
  bool Framed = false;
};

/// The size captions and values at the bottom of a sheet.
struct TLKSizeLabels {
  TTabSheet* Page;
  TLabel* Original;
  TLabel* Compressed;
  TLabel* OriginalCaption;
  TLabel* CompressedCaption;
};

/// Makes the controls of the pages: each helper places a control at page
/// coordinates on the current sheet, or inside the group opened by Group
/// until EndGroup, and records the captions that follow the language.
class TLKPageKit {
 public:
  TLKPageKit(TForm* Form, TPageControl* Pages, std::vector<TLKOptionsCaption>& Captions,
             std::vector<std::unique_ptr<TLKSizeLabels>>& Sizes);

  /// A new sheet at the end of the page control, with its size labels.
  TTabSheet* NewPage(const char* Caption);
  TLabel* Label(Integer X, Integer Y, const char* Text, TMsgLanguageWords Word, bool Colon = true,
                Integer Width = 110);
  /// A label that keeps its text in every language.
  TLabel* FixedLabel(Integer X, Integer Y, Integer Width, const char* Text);
  TComboBox* Combo(Integer X, Integer Y, Integer Width, std::initializer_list<const char*> Items);
  TEdit* Edit(Integer X, Integer Y, Integer Width);
  TCheckBox* Check(Integer X, Integer Y, const char* Text, TMsgLanguageWords Word, bool Colon);
  TTrackBar* Track(Integer X, Integer Y, Integer Max, Integer Frequency);
  /// A panel that shows a colour.
  TPanel* ColorPanel(Integer X, Integer Y);
  TUpDown* UpDown(TEdit* Edit, Integer Max);
  /// A framed group across the sheet, titled with Word.
  TGroupBox* Group(Integer Y, Integer Height, TMsgLanguageWords Word);
  void EndGroup();

 private:
  TForm* FForm;
  TPageControl* FPages;
  std::vector<TLKOptionsCaption>& FCaptions;
  std::vector<std::unique_ptr<TLKSizeLabels>>& FSizes;
  TTabSheet* FPage = nullptr;
  TWinControl* FParent = nullptr;
  Integer FOffsetX = 0, FOffsetY = 0;
};

/// One format's page. The dialog calls, in this order: Build once; Prepare
/// at activation; then for each page shown Load (on every page change, from
/// the caller's parameters) and Show; PreviewParams for each preview; Write
/// on OK and Apply.
class TLKOptionsPage {
 public:
  /// Kind: the page's bit in TPreviewParams; FileType: the type the preview
  /// saves with and OK writes into FILETYPE.
  TLKOptionsPage(TLKOptionsHost& Host, TPreviewParam Kind, Integer FileType)
      : Host(Host), FKind(Kind), FFileType(FileType) {}
  virtual ~TLKOptionsPage() = default;
  TLKOptionsPage(const TLKOptionsPage&) = delete;
  TLKOptionsPage& operator=(const TLKOptionsPage&) = delete;

  /// Makes the page's sheets on Kit's page control: the full one, then the
  /// simplified variant where the format has one (SetSheets).
  virtual void Build(TLKPageKit& Kit) = 0;
  /// Before the dialog shows: hides what the simplified form leaves out
  /// (the controls given to FullOnly).
  virtual void Prepare(bool Simplified);
  /// Loads the working values from the parameters.
  virtual void Load(const TIOParamsVals& Params) = 0;
  /// Shows the working values on Sheet, one of the page's sheets (the
  /// change guard is off meanwhile).
  virtual void Show(TTabSheet* Sheet) = 0;
  /// Writes the working values, and FILETYPE, into the parameters.
  virtual void Write(TIOParamsVals& Params) const = 0;
  /// Writes what the preview's save needs into Source (the source view's
  /// own parameters; Caller: the caller's, may be null) and says how the
  /// result is shown.
  virtual TLKPreviewResult PreviewParams(TIOParamsVals& Source, const TIOParamsVals* Caller) const = 0;

  TPreviewParam Kind() const { return FKind; }
  Integer FileType() const { return FFileType; }
  /// The sheet the form shows: the simplified variant in the simplified
  /// form when there is one.
  TTabSheet* Sheet(bool Simplified) const { return Simplified && FSimple ? FSimple : FFull; }
  /// Whether Sheet is one of the page's sheets.
  bool Holds(const TTabSheet* Sheet) const { return Sheet && (Sheet == FFull || Sheet == FSimple); }
  /// The page's sheets (the full one first).
  std::vector<TTabSheet*> Sheets() const;

 protected:
  void SetSheets(TTabSheet* Full, TTabSheet* Simple = nullptr) {
    FFull = Full;
    FSimple = Simple;
  }
  /// Controls of the full sheet that the simplified form hides.
  void FullOnly(std::initializer_list<TControl*> Controls);
  /// A background panel: chosen from the result's palette when it has one,
  /// else in the standard colour dialog. The panel's colour afterwards.
  TRGB ChooseBackground(TPanel* Panel);

  TLKOptionsHost& Host;

 private:
  TPreviewParam FKind;
  Integer FFileType;
  TTabSheet* FFull = nullptr;
  TTabSheet* FSimple = nullptr;
  std::vector<TControl*> FFullOnly;
};

/// Makes a page for the dialog Host.
using TLKOptionsPageMaker = std::unique_ptr<TLKOptionsPage> (*)(TLKOptionsHost& Host);

/// The maker of a page of class P.
template <typename P>
std::unique_ptr<TLKOptionsPage> LKMakeOptionsPage(TLKOptionsHost& Host) {
  return std::make_unique<P>(Host);
}

/// The pages' makers in tab order (dialogs/iopages/lkoptionspages_table.cpp).
const std::vector<TLKOptionsPageMaker>& LKOptionsPageMakers();

// ---------------------------------------------------------------------------
// Helpers for pages

/// The colour of a panel from a TRGB and back.
TColor LKTRGBToColor(TRGB C);
TRGB LKColorToTRGB(TColor C);
/// The integer in an edit, Default when its text is not one.
Integer LKEditInt(TEdit* Edit, Integer Default);
/// A list's item index, 0 when nothing is selected.
Integer LKItemIndex0(TComboBox* Combo);
/// Stores Value in Field; true when it changed.
template <typename F, typename V>
bool LKStoreChanged(F& Field, V Value) {
  if (Field == Value) return false;
  Field = Value;
  return true;
}
