#pragma once
// The folder namespace shown by the folder tree and the output folder chooser: one top item
// for the user's desktop; under it the home folder, the virtual "计算机" (the file-system root
// and the mounted volumes) and the desktop folder's own subfolders; under every file-system
// folder its subfolders. Items are plain values; enumeration happens only when asked for.
#include <QIcon>
#include <QString>
#include <vector>

enum class FolderKind {
  fkDesktop,     // the top item; stands for the desktop folder
  fkFileSystem,  // a folder of the file system (the root and the volumes included)
  fkComputer,    // "计算机": no file-system path of its own
};

struct FolderItem {
  FolderKind kind = FolderKind::fkFileSystem;
  QString text;     // display text, name conversion applied
  QString fs_path;  // absolute, "/" only at the root, no trailing "/"; "" for virtual items
  bool can_rename = false;  // a plain folder under a file-system parent
  bool can_trash = false;

  bool IsFileSystem() const { return !fs_path.isEmpty(); }
  // The path string handed to the file list and the commands: the file-system path, or the
  // display text for an item without one; name conversion applied.
  QString PathString() const;
  // Tells apart items of one parent, also when two of them share a file-system path.
  QString Key() const;
};

// An item as its chain of items from the desktop down, the desktop excluded; the empty chain
// is the desktop itself.
using FolderChain = std::vector<FolderItem>;

class FolderNamespace {
 public:
  struct Options {
    bool show_hidden = false;      // list folders whose names begin with "."
    bool virtual_folders = false;  // list virtual items that contain no file-system folder
  };

  FolderNamespace() = default;
  explicit FolderNamespace(Options options) : options_(options) {}

  // The desktop folder: the XDG desktop directory, or the home folder when it does not exist.
  static QString DesktopPath();
  FolderItem Desktop() const;

  // The item's children in display order. A file-system folder that cannot be read has none.
  std::vector<FolderItem> Children(const FolderItem& item) const;
  // Cheap: stops at the first visible subfolder.
  bool HasSubfolders(const FolderItem& item) const;

  // The ways down to the file-system folder at path (absolute and clean): every place under the
  // desktop that holds it (a desktop folder, the home folder, a volume or the root under
  // "计算机") as the chain to that place, the deepest place first.
  std::vector<FolderChain> PlacesHolding(const QString& path) const;

  // The item for a file-system folder given by path, as a child would show it.
  FolderItem ItemForFolder(const QString& path) const;

  // Renames a file-system folder on disk within its parent and returns the renamed item.
  // Throws TessarineError "Rename to <new_name> failed" when the rename is refused.
  FolderItem Rename(const FolderItem& item, const QString& new_name) const;
  // Moves a file-system folder to the user's trash. Throws FileError when that fails.
  void MoveToTrash(const FolderItem& item) const;

  QIcon Icon(const FolderItem& item) const;
  QIcon OpenIcon(const FolderItem& item) const;

  // Folder order of the file managers: locale-aware, letter case ignored, digits as numbers.
  static bool NaturalLess(const QString& a, const QString& b);
  // Every name the namespace shows: a name of at least 2 characters that begins with "?" and a
  // digit loses all its "?"; a character that could not be decoded becomes "?" first.
  static QString ConvertName(QString name);

 private:
  std::vector<FolderItem> Subfolders(const QString& path) const;
  std::vector<FolderItem> ComputerChildren() const;

  Options options_;
};
