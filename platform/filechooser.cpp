#include "platform/filechooser.h"

#include <QDir>
#include <QFileDialog>
#include <QFileIconProvider>
#include <QLineEdit>

namespace {
QString Q(const String& S) { return QString::fromStdString(S); }
String S(const QString& Q) { return Q.toStdString(); }

/// The text Qt's filter list shows and parses: the patterns in the last
/// parentheses separated by blanks. A description that already ends with
/// its own patterns in parentheses keeps its text, with blanks for ";".
QString QtFilterText(const TFileChooserFilter& F) {
  QString patterns = Q(F.Patterns).trimmed();
  patterns.replace(';', ' ');
  QString description = Q(F.Description).trimmed();
  const QString stored = "(" + Q(F.Patterns).trimmed() + ")";
  if (description.endsWith(stored)) description.chop(stored.size());
  description = description.trimmed();
  if (description.isEmpty()) return patterns;
  return description + " (" + patterns + ")";
}
/// Icons and type texts without looking into files. Qt's own provider reads
/// each file's first bytes to name its type, and a named pipe in a listed
/// folder then blocks the dialog for as long as no one writes to the pipe.
class TNameOnlyIconProvider : public QFileIconProvider {
 public:
  QString type(const QFileInfo& Info) const override {
    if (Info.isDir()) return QStringLiteral("Folder");
    if (!Info.isFile()) return QStringLiteral("Special file");
    const QString suffix = Info.suffix();
    return suffix.isEmpty() ? QStringLiteral("File") : suffix.toUpper() + QStringLiteral(" File");
  }
};

/// One provider for every chooser, kept for the life of the program.
QAbstractFileIconProvider* NameOnlyIcons() {
  static QAbstractFileIconProvider* const provider = new TNameOnlyIconProvider;
  return provider;
}

}  // namespace

/// The embedded dialog: its accept and reject reach the control instead of
/// closing the widget.
class TChooserDialog : public QFileDialog {
 public:
  explicit TChooserDialog(TFileChooser* Owner) : QFileDialog(nullptr, Qt::Widget), FOwner(Owner) {}
  void done(int Result) override { FOwner->Done(Result == QDialog::Accepted); }
  void Press(bool Ok) { Ok ? accept() : reject(); }

 private:
  TFileChooser* FOwner;
};

TFileChooser::TFileChooser(TComponent* AOwner) : TWidgetControl(AOwner, new TChooserDialog(this)) {
  FDialog = static_cast<QFileDialog*>(GetWidget());
  FDialog->setOption(QFileDialog::DontUseNativeDialog, true);
  FDialog->setOption(QFileDialog::DontConfirmOverwrite, true);
  FDialog->setFileMode(QFileDialog::ExistingFile);
  FDialog->setSizeGripEnabled(false);
  FDialog->setIconProvider(NameOnlyIcons());
  QObject::connect(FDialog, &QFileDialog::currentChanged, [this](const QString& Path) {
    if (OnSelectionChange) OnSelectionChange(S(Path));
  });
  QObject::connect(FDialog, &QFileDialog::directoryEntered, [this](const QString&) {
    if (OnFolderChange) OnFolderChange(this);
  });
  QObject::connect(FDialog, &QFileDialog::filterSelected, [this](const QString&) {
    if (OnTypeChange) OnTypeChange(this);
  });
  if (QLineEdit* edit = GetNameEdit()) {
    // A typed name is a selection too: the preview and the Advanced button
    // follow what the user types.
    QObject::connect(edit, &QLineEdit::textEdited, [this](const QString&) {
      if (OnSelectionChange) OnSelectionChange(GetFilePath());
    });
  }
}

TFileChooser::~TFileChooser() = default;

void TFileChooser::SetMode(TFileChooserMode Mode) {
  FMode = Mode;
  FDialog->setAcceptMode(Mode == fcmSave ? QFileDialog::AcceptSave : QFileDialog::AcceptOpen);
  if (Mode == fcmSave)
    FDialog->setFileMode(QFileDialog::AnyFile);
  else if (FDialog->fileMode() == QFileDialog::AnyFile)
    FDialog->setFileMode(QFileDialog::ExistingFile);
}

void TFileChooser::SetMultiSelect(bool Value) {
  if (FMode == fcmSave) return;
  FDialog->setFileMode(Value ? QFileDialog::ExistingFiles : QFileDialog::ExistingFile);
}

void TFileChooser::SetShowHidden(bool Value) {
  QDir::Filters f = FDialog->filter();
  FDialog->setFilter(Value ? (f | QDir::Hidden) : (f & ~QDir::Filters(QDir::Hidden)));
}

bool TFileChooser::GetShowHidden() const { return (FDialog->filter() & QDir::Hidden) != 0; }

void TFileChooser::SetConfirmOverwrite(bool Value) { FDialog->setOption(QFileDialog::DontConfirmOverwrite, !Value); }

void TFileChooser::SetFilters(const std::vector<TFileChooserFilter>& Filters) {
  FFilters = Filters;
  QStringList list;
  for (const TFileChooserFilter& f : Filters) list << QtFilterText(f);
  FDialog->setNameFilters(list);
  if (!list.isEmpty()) FDialog->selectNameFilter(list.front());
}

Integer TFileChooser::GetFilterIndex() const {
  const Integer i = FDialog->nameFilters().indexOf(FDialog->selectedNameFilter());
  return i < 0 ? (FFilters.empty() ? 0 : 1) : i + 1;
}

void TFileChooser::SetFilterIndex(Integer Index) {
  const QStringList list = FDialog->nameFilters();
  if (Index < 1 || Index > list.size()) return;
  FDialog->selectNameFilter(list.at(Index - 1));
}

String TFileChooser::GetDirectory() const { return S(FDialog->directory().absolutePath()); }

void TFileChooser::SetDirectory(const String& Folder) { FDialog->setDirectory(Q(Folder)); }

QLineEdit* TFileChooser::GetNameEdit() const { return FDialog->findChild<QLineEdit*>("fileNameEdit"); }

String TFileChooser::GetFileNameText() const {
  QLineEdit* edit = GetNameEdit();
  return edit ? S(edit->text()) : String();
}

void TFileChooser::SetFileNameText(const String& Name) {
  if (QLineEdit* edit = GetNameEdit()) edit->setText(Q(Name));
}

String TFileChooser::GetFilePath() const {
  const QString typed = Q(GetFileNameText()).trimmed();
  if (typed.isEmpty()) return String();
  if (QDir::isAbsolutePath(typed)) return S(QDir::cleanPath(typed));
  return S(QDir::cleanPath(FDialog->directory().absoluteFilePath(typed)));
}

std::vector<String> TFileChooser::GetSelectedFiles() const { return FChosen; }

void TFileChooser::Accept() { static_cast<TChooserDialog*>(FDialog)->Press(true); }

void TFileChooser::Reject() { static_cast<TChooserDialog*>(FDialog)->Press(false); }

void TFileChooser::Done(bool Accepted) {
  if (!Accepted) {
    if (OnReject) OnReject(this);
    return;
  }
  FChosen.clear();
  for (const QString& f : FDialog->selectedFiles()) FChosen.push_back(S(f));
  bool canClose = true;
  if (OnCanClose) OnCanClose(this, canClose);
  if (!canClose) return;
  if (OnAccept) OnAccept(this);
}
