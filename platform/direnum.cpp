#include "platform/direnum.h"

#include <dirent.h>
#include <sys/stat.h>

#include <cerrno>

namespace {

bool IsDots(const char* Name) { return Name[0] == '.' && (Name[1] == '\0' || (Name[1] == '.' && Name[2] == '\0')); }

// Whether the entry is a folder: from the entry type where the file system
// gives one, else (and for links) from the entry itself.
bool EntryIsFolder(int DirFd, const dirent* E) {
  if (E->d_type == DT_DIR) return true;
  if (E->d_type != DT_UNKNOWN && E->d_type != DT_LNK) return false;
  struct stat st {};
  return ::fstatat(DirFd, E->d_name, &st, 0) == 0 && S_ISDIR(st.st_mode);
}

// Runs Found for every sub-folder until it answers false; returns 0 or errno.
template <typename F>
int EachSubfolder(const String& Folder, F Found) {
  DIR* d = ::opendir(Folder.empty() ? "." : Folder.c_str());
  if (d == nullptr) return errno != 0 ? errno : ENOENT;
  const int fd = ::dirfd(d);
  while (const dirent* e = ::readdir(d)) {
    if (IsDots(e->d_name) || !EntryIsFolder(fd, e)) continue;
    if (!Found(e->d_name)) break;
  }
  // An error in the middle of reading keeps what was read.
  ::closedir(d);
  return 0;
}

}  // namespace

int ListSubfolders(const String& Folder, std::vector<String>& Names) {
  Names.clear();
  const int rc = EachSubfolder(Folder, [&](const char* Name) {
    Names.emplace_back(Name);
    return true;
  });
  if (rc != 0) Names.clear();
  return rc;
}

bool HasSubfolders(const String& Folder) {
  bool any = false;
  EachSubfolder(Folder, [&](const char*) {
    any = true;
    return false;
  });
  return any;
}
