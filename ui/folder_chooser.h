#pragma once
// The output folder chooser: FolderChooser keeps the settings between openings (for the run
// only); every Choose() builds a FolderChooserWindow, shows it modally and destroys it.
#include <QMargins>
#include <QString>
#include <functional>
#include <vector>

#include "ui/folder_namespace.h"

class QLineEdit;
class QWidget;

// Bit numbers of FolderChooser::Options.
enum FolderChooserOption : unsigned {
  sfdoCreateDeleteButtons = 0,  // "Create Folder" and "Delete" above the tree
  sfdoContextMenus = 1,         // a right click opens the folder's context menu
  sfdoReadOnly = 2,             // no renaming in place
  sfdoIncludeNonFolders = 3,    // files besides folders (the namespace lists folders only)
  sfdoOleDrag = 4,              // not offered
  sfdoOleDrop = 5,              // not offered
  sfdoCreateFolderIcon = 6,     // "Create Folder" shows its icon
  sfdoDeleteFolderIcon = 7,     // "Delete" shows its icon
  sfdoVirtualFolders = 8,       // virtual items also when they hold no file-system folder
  sfdoShowHidden = 9,           // hidden folders are listed (drawn ghosted)
};
using FolderChooserOptions = unsigned;
constexpr bool HasOption(FolderChooserOptions options, FolderChooserOption bit) {
  return (options >> bit) & 1u;
}

enum TPosition { poScreenCenter, poDesigned };  // poDesigned: at FormLeft, FormTop
enum TWindowState { wsNormal, wsMinimized, wsMaximized };

class FolderChooser {
 public:
  explicit FolderChooser(QWidget* owner = nullptr) : owner_(owner) {}

  FolderChain ChosenFolder;
  FolderChain BaseFolder;  // the tree's root; only the desktop (empty) is built
  QString Title;           // empty: "Browse for Folder"
  FolderChooserOptions Options = 706;
  TPosition FormPosition = poScreenCenter;
  int FormLeft = -1, FormTop = -1;
  int FormWidth = -1, FormHeight = -1;  // outer size, applied when above 0
  TWindowState FormWindowState = wsNormal;

  // Write: an absolute path of an existing folder becomes the chain to it; any other text
  // (empty, relative, gone, not a folder) gives the desktop. Read: the chosen item's
  // file-system path, the desktop's directory for the desktop, "" for a virtual item.
  void SetChosenPath(const QString& text);
  QString ChosenPath() const;

  // Opens the chooser window modally; true exactly when it was closed with OK, and only then
  // does ChosenFolder change. Throws TessarineError while another chooser is open.
  bool Choose();

  FolderNamespace Namespace() const;
  // The chain that leads to the folder at an absolute path: through the deepest place under
  // the desktop that holds it (a desktop folder, the home folder, a volume or the root).
  static FolderChain ChainForFolder(const FolderNamespace& names, const QString& path);

  // The frame the window system last gave the window, for outer sizes before it is shown.
  QMargins LastFrame() const { return last_frame_; }
  void SetLastFrame(const QMargins& frame) { last_frame_ = frame; }

 private:
  QWidget* owner_;
  QMargins last_frame_{0, 0, 0, 0};
};

// The output folder button: the chooser starts at the box's text as it stands (untrimmed);
// OK puts the chosen path into the box, Cancel leaves the box as it was.
void BrowseForFolder(FolderChooser& chooser, QLineEdit& path_box);

// Shortens a folder path to fit limit, as measured by width: whole leading directories give
// way to ".../" one by one, then the ".../" prefix itself, leaving the last name ("/a/b/c/d"
// becomes "/.../b/c/d", "/.../c/d", "/.../d", ".../d", "d"). Stops at the first that fits.
QString ShortenPath(const QString& path, int limit, const std::function<int(const QString&)>& width);
