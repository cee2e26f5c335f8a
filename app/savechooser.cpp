#include "app/savechooser.h"

#include <QFileDialog>
#include <QStringList>

namespace {

struct TFilterEntry {
  const char* Text;
  const char* Extension;
};
// The entries of the library's save filter, in its order, that the plain
// chooser offers.
constexpr TFilterEntry kEntries[] = {
    {"TIFF Bitmap (*.tif *.tiff)", ".tif"}, {"CompuServe Bitmap (*.gif)", ".gif"},
    {"JPEG Bitmap (*.jpg *.jpeg)", ".jpg"}, {"Portable Network Graphics (*.png)", ".png"},
    {"Windows Bitmap (*.bmp)", ".bmp"},
};

class TPlainSaveDialog : public TLKFileDialog {
 public:
  bool Execute() override {
    QStringList filters;
    for (const TFilterEntry& e : kEntries) filters << e.Text;
    const int index = FilterIndex >= 1 && FilterIndex <= int(std::size(kEntries)) ? FilterIndex - 1 : 0;
    QFileDialog dialog(nullptr, "Save As", QString::fromStdString(InitialDir), QString());
    dialog.setAcceptMode(QFileDialog::AcceptSave);
    dialog.setOption(QFileDialog::DontUseNativeDialog, true);
    dialog.setNameFilters(filters);
    dialog.selectNameFilter(filters[index]);
    if (!FileName.empty()) dialog.selectFile(QString::fromStdString(FileName));
    if (dialog.exec() != QDialog::Accepted || dialog.selectedFiles().isEmpty()) return false;
    const int chosen = int(filters.indexOf(dialog.selectedNameFilter()));
    FileName = WithDefaultExtension(dialog.selectedFiles().first().toStdString(),
                                    kEntries[chosen >= 0 ? chosen : index].Extension);
    return true;
  }
};

}  // namespace

std::unique_ptr<TLKFileDialog> TPlainSaveChooser::CreateSaveDialog(TComponent*) {
  return std::make_unique<TPlainSaveDialog>();
}

String WithDefaultExtension(const String& FileName, const String& Extension) {
  const size_t slash = FileName.find_last_of('/');
  const size_t dot = FileName.find_last_of('.');
  if (dot != String::npos && (slash == String::npos || dot > slash)) return FileName;
  return FileName + Extension;
}
