#include "platform/clipboard.h"

#include <QApplication>
#include <QClipboard>
#include <QImage>
#include <QMimeData>
#include <QThread>
#include <algorithm>
#include <cctype>
#include <map>

namespace {

constexpr Word kFirstRegistered = 0xC000;
// The other name enhanced metafiles travel under.
const QString kOtherEmfMime = QStringLiteral("image/x-emf");

/// Registered names by number, and the numbers by folded name.
struct TFormatTable {
  std::vector<String> Names;
  std::map<String, Word> ByName;
};

TFormatTable& Formats() {
  static TFormatTable table;
  return table;
}

String Fold(const String& S) {
  String f = S;
  std::transform(f.begin(), f.end(), f.begin(), [](unsigned char c) { return static_cast<char>(std::tolower(c)); });
  return f;
}

QClipboard* System() {
  if (qobject_cast<QApplication*>(QCoreApplication::instance()) == nullptr)
    throw EInvalidOperation("The clipboard needs a running application");
  return QApplication::clipboard();
}

}  // namespace

Word RegisterClipboardFormat(const String& Name) {
  if (Name.empty()) return 0;
  TFormatTable& t = Formats();
  const String key = Fold(Name);
  auto it = t.ByName.find(key);
  if (it != t.ByName.end()) return it->second;
  if (t.Names.size() >= 0x3FFF) throw EInvalidOperation("Too many clipboard formats");
  const Word id = static_cast<Word>(kFirstRegistered + t.Names.size());
  t.Names.push_back(Name);
  t.ByName[key] = id;
  return id;
}

String GetClipboardFormatName(Word Format) {
  const TFormatTable& t = Formats();
  if (Format < kFirstRegistered || size_t(Format - kFirstRegistered) >= t.Names.size()) return String();
  return t.Names[Format - kFirstRegistered];
}

String ClipboardFormatMimeType(Word Format) {
  switch (Format) {
    case CF_TEXT:
    case CF_UNICODETEXT:
      return "text/plain";
    case CF_BITMAP:
    case CF_DIB:
      return "application/x-qt-image";
    case CF_ENHMETAFILE:
      return "image/emf";
    default:
      break;
  }
  const String name = GetClipboardFormatName(Format);
  if (name.empty()) return String();
  // "GIF Image" travels as "application/x-gif-image".
  String mime = "application/x-";
  for (unsigned char c : Fold(name)) mime += std::isalnum(c) ? static_cast<char>(c) : '-';
  return mime;
}

bool ClipboardAvailable() {
  auto* app = qobject_cast<QApplication*>(QCoreApplication::instance());
  return app != nullptr && QThread::currentThread() == app->thread() && QApplication::clipboard() != nullptr;
}

TClipboard::TClipboard() = default;
TClipboard::~TClipboard() { delete FPending; }

void TClipboard::Open() { ++FOpenCount; }

void TClipboard::Close() {
  if (FOpenCount == 0) return;
  if (--FOpenCount == 0) Commit();
}

QMimeData* TClipboard::Outgoing() {
  if (FPending == nullptr) {
    FPending = new QMimeData;
    // Outside Open/Close a set replaces everything; inside, formats add up.
  }
  return FPending;
}

void TClipboard::Commit() {
  if (FPending == nullptr) return;
  QMimeData* data = FPending;
  FPending = nullptr;
  System()->setMimeData(data);  // the clipboard takes ownership
}

void TClipboard::Clear() {
  delete FPending;
  FPending = nullptr;
  if (FOpenCount > 0) {
    Outgoing();
    return;
  }
  System()->clear();
}

bool TClipboard::HasFormat(Word Format) const {
  const QMimeData* data = System()->mimeData();
  if (data == nullptr) return false;
  if (Format == CF_BITMAP || Format == CF_DIB) return data->hasImage();
  if (Format == CF_TEXT || Format == CF_UNICODETEXT) return data->hasText();
  if (Format == CF_ENHMETAFILE && data->hasFormat(kOtherEmfMime)) return true;
  const String mime = ClipboardFormatMimeType(Format);
  return !mime.empty() && data->hasFormat(QString::fromStdString(mime));
}

std::vector<Word> TClipboard::GetFormats() const {
  std::vector<Word> out;
  for (Word f : {CF_TEXT, CF_BITMAP})
    if (HasFormat(f)) out.push_back(f);
  for (size_t i = 0; i < Formats().Names.size(); ++i) {
    const Word f = static_cast<Word>(kFirstRegistered + i);
    if (HasFormat(f)) out.push_back(f);
  }
  return out;
}

String TClipboard::GetAsText() const {
  const QMimeData* data = System()->mimeData();
  return data != nullptr && data->hasText() ? data->text().toStdString() : String();
}

void TClipboard::SetAsText(const String& Value) {
  Open();
  Outgoing()->setText(QString::fromStdString(Value));
  Close();
}

std::vector<Byte> TClipboard::GetAsData(Word Format) const {
  const QMimeData* data = System()->mimeData();
  const String mime = ClipboardFormatMimeType(Format);
  if (data == nullptr || mime.empty()) return {};
  QByteArray bytes = data->data(QString::fromStdString(mime));
  if (bytes.isEmpty() && Format == CF_ENHMETAFILE) bytes = data->data(kOtherEmfMime);
  return std::vector<Byte>(bytes.begin(), bytes.end());
}

void TClipboard::SetAsData(Word Format, const std::vector<Byte>& Data) {
  const String mime = ClipboardFormatMimeType(Format);
  if (mime.empty() || Format == CF_BITMAP || Format == CF_DIB)
    throw EInvalidOperation("Unknown clipboard format " + std::to_string(Format));
  Open();
  Outgoing()->setData(QString::fromStdString(mime),
                      QByteArray(reinterpret_cast<const char*>(Data.data()), static_cast<qsizetype>(Data.size())));
  Close();
}

void TClipboard::SetBitmap(const TBitmap& Bitmap) {
  TBitmap copy;
  copy.Assign(const_cast<TBitmap*>(&Bitmap));
  copy.SetPixelFormat(pf24bit);
  const Integer w = copy.GetWidth(), h = copy.GetHeight();
  QImage image(w, h, QImage::Format_BGR888);
  for (Integer y = 0; y < h; ++y)
    std::copy_n(copy.ScanLine(y), static_cast<size_t>(w) * 3, image.scanLine(y));
  Open();
  Outgoing()->setImageData(image);
  Close();
}

bool TClipboard::GetBitmap(TBitmap& Bitmap) const {
  const QMimeData* data = System()->mimeData();
  if (data == nullptr || !data->hasImage()) return false;
  const QImage image = qvariant_cast<QImage>(data->imageData()).convertToFormat(QImage::Format_BGR888);
  if (image.isNull()) return false;
  Bitmap.SetPixelFormat(pf24bit);
  Bitmap.SetSize(image.width(), image.height());
  for (Integer y = 0; y < image.height(); ++y)
    std::copy_n(image.constScanLine(y), static_cast<size_t>(image.width()) * 3, Bitmap.ScanLine(y));
  return true;
}

TClipboard* Clipboard() {
  static TClipboard clipboard;
  return &clipboard;
}
