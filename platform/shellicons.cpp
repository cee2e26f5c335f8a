#include "platform/shellicons.h"

#include <QFileIconProvider>
#include <QFileInfo>
#include <QIcon>
#include <QMimeDatabase>

#include <map>
#include <vector>

#include "platform/shellicons_qt.h"

namespace {

struct TShellIcons {
  QFileIconProvider Provider;
  QMimeDatabase Mime;
  std::vector<QIcon> Icons;
  std::map<String, Integer> ByKey;  // "dir", "dir-open", or the MIME type

  Integer Index(const String& Key, const QIcon& Icon) {
    auto it = ByKey.find(Key);
    if (it != ByKey.end()) return it->second;
    const Integer i = Icon.isNull() ? -1 : static_cast<Integer>(Icons.size());
    if (i >= 0) Icons.push_back(Icon);
    ByKey.emplace(Key, i);
    return i;
  }
};

TShellIcons& Shell() {
  static TShellIcons s;
  return s;
}

}  // namespace

Integer LKShellIconIndex(const String& Path, bool Open) {
  TShellIcons& s = Shell();
  const QFileInfo info(QString::fromStdString(Path));
  if (info.isDir()) {
    if (Open) {
      const QIcon open = QIcon::fromTheme("folder-open");
      if (!open.isNull()) return s.Index("dir-open", open);
    }
    return s.Index("dir", s.Provider.icon(QFileIconProvider::Folder));
  }
  // One icon per file type: the provider's icon of a file stands for every
  // file of its type, so thousands of files cost one lookup each.
  const QMimeType type = s.Mime.mimeTypeForFile(info, QMimeDatabase::MatchExtension);
  const String key = type.name().toStdString();
  auto it = s.ByKey.find(key);
  if (it != s.ByKey.end()) return it->second;
  QIcon icon = QIcon::fromTheme(type.iconName());
  if (icon.isNull()) icon = QIcon::fromTheme(type.genericIconName());
  if (icon.isNull()) icon = s.Provider.icon(QFileIconProvider::File);
  return s.Index(key, icon);
}

Integer LKShellIconCount() { return static_cast<Integer>(Shell().Icons.size()); }

QIcon LKShellIcon(Integer Index) {
  const auto& icons = Shell().Icons;
  return Index >= 0 && Index < static_cast<Integer>(icons.size()) ? icons[std::size_t(Index)] : QIcon();
}
