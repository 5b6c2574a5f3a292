#pragma once
// The user's trash as desktops share it (files/ with the trashed items, info/ with one
// .trashinfo each that names the original path and the deletion date). Plain C++, no Qt.
//
// Where an item goes: the home trash, $XDG_DATA_HOME/Trash (~/.local/share/Trash by default),
// when the item lies on the home trash's file system; otherwise the trash at the top of the
// item's own file system, $topdir/.Trash/$uid (only when $topdir/.Trash is a real folder with
// the sticky bit) or $topdir/.Trash-$uid. Missing trash folders are made with mode 0700.
// Nothing is ever created beside the item or inside it.
#include <string>

// The home trash folder for the current environment (it may not exist yet).
std::string HomeTrashPath();

// Moves the file or folder at path (absolute) into the trash: the .trashinfo is written first
// under a name not yet taken in files/ or info/ (name, name.2, name.3, ...), then the item is
// renamed into files/ under that name. A rename that fails takes its .trashinfo back and
// leaves the item where it was. Throws FileError "Cannot move <path> to the trash".
void MoveToTrash(const std::string& path);

// A path as a .trashinfo carries it: every byte percent-encoded but letters, digits,
// "-", ".", "_", "~" and "/".
std::string TrashInfoEscape(const std::string& path);
