// The multi-image component's printing members: the print preview's door,
// its language, font, unit, printing filter and printer reset.
#include "platform/graphics.h"
#include "platform/printers.h"
#include "views/lkmio.h"
#include "views/lumerakmview.h"

namespace {

TLKMultiPrintFormMaker& MultiPrintForm() {
  static TLKMultiPrintFormMaker maker;
  return maker;
}

}  // namespace

void LKSetMultiPrintForm(TLKMultiPrintFormMaker Maker) { MultiPrintForm() = std::move(Maker); }

bool TLumerakMIO::DoPrintPreviewDialog(const String& TaskName, bool PrintAnnotations, const String& Caption) {
  // Nothing to print is refused before the printer is touched.
  if (FView == nullptr || FView->GetImageCount() == 0 || !MultiPrintForm()) return false;
  if (FAutoResetPrinter) LKResetPrinter();
  std::unique_ptr<TLKMultiPrintForm> form = MultiPrintForm()(this);
  if (!form) return false;
  form->MIO = this;
  form->Language = MsgLanguage;
  form->Font = GetPreviewFont();
  form->TaskName = TaskName;
  form->MeasureUnit = DialogsMeasureUnit;
  form->PrintAnnotations = PrintAnnotations;
  form->Caption = Caption;
  return form->ShowModal();
}
