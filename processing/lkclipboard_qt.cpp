// The desktop clipboard through the toolkit: each format name becomes the
// MIME type application/x-qt-windows-mime;value="<name>", the form the
// toolkit gives named clipboard formats, so other programs built on it see
// the same names. The only file that touches the toolkit's clipboard.
#include <QClipboard>
#include <QGuiApplication>
#include <QMimeData>
#include <QThread>
#include <memory>

#include "processing/lkclipboard.h"

namespace {

QString MimeType(const char* name) {
  return QStringLiteral("application/x-qt-windows-mime;value=\"%1\"").arg(QString::fromLatin1(name));
}

class TDesktopClipboard : public TLKClipboardAccess {
 public:
  bool Open() override {
    // The toolkit's clipboard lives on the main thread of a GUI application.
    auto* app = qobject_cast<QGuiApplication*>(QCoreApplication::instance());
    if (!app || QThread::currentThread() != app->thread() || !QGuiApplication::clipboard()) return false;
    pending_.reset();
    emptied_ = false;
    return true;
  }
  void Close() override {
    if (pending_) QGuiApplication::clipboard()->setMimeData(pending_.release());
    else if (emptied_) QGuiApplication::clipboard()->clear();
    emptied_ = false;
  }
  void Empty() override {
    pending_ = std::make_unique<QMimeData>();
    emptied_ = true;
  }
  bool HasFormat(const char* Name) override {
    const QMimeData* data = QGuiApplication::clipboard()->mimeData();
    return data && data->hasFormat(MimeType(Name));
  }
  bool GetData(const char* Name, std::vector<Byte>& Data) override {
    const QMimeData* data = QGuiApplication::clipboard()->mimeData();
    if (!data || !data->hasFormat(MimeType(Name))) return false;
    const QByteArray bytes = data->data(MimeType(Name));
    Data.assign(bytes.begin(), bytes.end());
    return !Data.empty();
  }
  void SetData(const char* Name, std::vector<Byte> Data) override {
    if (!pending_) pending_ = std::make_unique<QMimeData>();
    pending_->setData(MimeType(Name),
                      QByteArray(reinterpret_cast<const char*>(Data.data()), static_cast<qsizetype>(Data.size())));
  }

 private:
  std::unique_ptr<QMimeData> pending_;
  bool emptied_ = false;
};

}  // namespace

TLKClipboardAccess* LKDesktopClipboard() {
  static TDesktopClipboard clipboard;
  return &clipboard;
}
