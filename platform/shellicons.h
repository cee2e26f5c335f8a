// The desktop's icons for files and folders, as the file browser shows
// them: icons of the desktop's icon theme, chosen by Qt's file icon
// provider from the folder or the file's type. Each distinct icon is kept
// once in a process-wide list and named by its index there; list and tree
// views show an item's icon by that index (TListItem::SetImageIndex,
// TTreeNode::SetImageIndex).
//
// Threading: main thread only (Qt's icon provider and theme).
#pragma once

#include "platform/system.h"

/// Index of the icon for Path in the shell icon list: the folder icon for a
/// folder (the open folder icon with Open), otherwise the icon of the
/// file's type (by its contents' type where the name says nothing). -1
/// when the desktop offers no icon. The same icon always gives the same
/// index.
Integer LKShellIconIndex(const String& Path, bool Open = false);

/// Number of icons in the shell icon list.
Integer LKShellIconCount();
