#include "platform/colordialog.h"

#include <QColorDialog>

bool ExecuteColorDialog(TColor& Color) {
  const QColor start(int(Color & 0xFF), int((Color >> 8) & 0xFF), int((Color >> 16) & 0xFF));
  const QColor chosen = QColorDialog::getColor(start, nullptr, QString(), QColorDialog::DontUseNativeDialog);
  if (!chosen.isValid()) return false;
  Color = TColor(chosen.red()) | (TColor(chosen.green()) << 8) | (TColor(chosen.blue()) << 16);
  return true;
}
