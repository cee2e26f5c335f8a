// The multi-image print preview (TflkPrnForm3): a thumbnail column of every
// picture of a multi-image component's view, the page preview of the chosen
// one, and the tool bar of the single-picture forms (margins, position
// grid, size mode, gamma) with a choice between printing all pictures or
// the selected ones, one picture per page in one job. Nothing is stored:
// every opening starts from the form's defaults.
#pragma once

#include <memory>
#include <vector>

#include "dialogs/lkprintforms.h"
#include "views/lkmio.h"

class TLumerakMView;
class TLumerakVect;
class TSplitter;

class TflkPrnForm3 : public TflkPrnFormBase {
 public:
  explicit TflkPrnForm3(TComponent* Owner);
  ~TflkPrnForm3() override;

  /// The component whose attached view is printed (set by the opener).
  TLumerakMIO* MIO = nullptr;

  void SetLanguage(TMsgLanguage Value);
  /// Puts picture Idx of the component's view on the page work view (its
  /// annotations burnt in when they are printed) at its resolution.
  void GetPage(Integer Idx);
  /// Shows the selected thumbnail's page in the preview.
  void ImageSelect();
  /// Previews the page shown, or (Print true) prints every picture or the
  /// selected ones, in the order they were selected, one per page.
  void PrintPreview(bool Print) override;
  /// The pictures a print would print, in order.
  std::vector<Integer> PagesToPrint() const;
  /// The thumbnail menu's zoom: 50 pixels larger, 10 smaller.
  void ZoomIn();
  void ZoomOut();

  TPanel *Panel2 = nullptr, *Panel3 = nullptr;
  TLumerakMView* LumerakMView1 = nullptr;
  TSplitter* Splitter1 = nullptr;
  TButton *SpeedButton10 = nullptr, *SpeedButton11 = nullptr, *SpeedButton12 = nullptr;
  TComboBox* ComboBox2 = nullptr;  // print all / print selected
  TPopupMenu* PopupMenu1 = nullptr;
  TMenuItem *Add1 = nullptr, *Delete1 = nullptr;
  /// The page work view: a vector view whose I/O component prints.
  TLumerakVect* GetWorkView() const { return FWork.get(); }

 protected:
  bool CanPreview() const override;

 private:
  void FormActivate3();
  TLumerakMView* Source() const;

  std::unique_ptr<TLumerakVect> FWork;
};

/// The maker the multi-image component's DoPrintPreviewDialog uses.
std::unique_ptr<TLKMultiPrintForm> LKCreateMultiPrintForm(TComponent* Owner);
