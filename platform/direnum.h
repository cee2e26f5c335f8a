// Sub-folders of a folder: the stand-in for the desktop's folder
// enumeration that a folder tree needs. Names are the bytes the file system
// holds (they need not be valid UTF-8); symbolic links to folders count as
// folders. "." and ".." are never listed.
#pragma once

#include <vector>

#include "platform/system.h"

/// Fills Names with the sub-folders of Folder (in the order the file system
/// gives them), hidden ones (names starting with ".") included. Returns 0,
/// or the errno value when the folder cannot be read (EACCES for a folder
/// without read permission); Names is then empty.
int ListSubfolders(const String& Folder, std::vector<String>& Names);

/// Whether Folder holds at least one sub-folder it lets us see (false when
/// it cannot be read). Stops at the first one found.
bool HasSubfolders(const String& Folder);
