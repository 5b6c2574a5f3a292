#include "ui/folder_chooser.h"

#include <QApplication>
#include <QDir>
#include <QFileInfo>
#include <QLineEdit>

#include "engine/errors.h"
#include "ui/folder_chooser_window.h"

namespace {

bool IsUnder(const QString& path, const QString& folder) {
  return path == folder || path.startsWith(folder.endsWith('/') ? folder : folder + '/');
}

bool chooser_open = false;

// The pointer as it was before the opening comes back however Choose() ends.
class CursorScope {
 public:
  CursorScope() { QApplication::setOverrideCursor(Qt::WaitCursor); }
  ~CursorScope() { QApplication::restoreOverrideCursor(); }
  CursorScope(const CursorScope&) = delete;
  CursorScope& operator=(const CursorScope&) = delete;
};

}  // namespace

FolderNamespace FolderChooser::Namespace() const {
  FolderNamespace::Options options;
  options.show_hidden = HasOption(Options, sfdoShowHidden);
  options.virtual_folders = HasOption(Options, sfdoVirtualFolders);
  return FolderNamespace(options);
}

FolderChain FolderChooser::ChainForFolder(const FolderNamespace& names, const QString& path) {
  const QString target = QDir::cleanPath(path);
  const FolderItem desktop = names.Desktop();
  if (target == desktop.fs_path) return {};
  // Every place under the desktop that holds the folder is a way down; the deepest is taken.
  FolderChain best;
  auto consider = [&](FolderChain start) {
    if (best.empty() || start.back().fs_path.size() > best.back().fs_path.size()) best = start;
  };
  for (const FolderItem& child : names.Children(desktop)) {
    if (child.kind == FolderKind::fkComputer) {
      for (const FolderItem& volume : names.Children(child)) {
        if (volume.IsFileSystem() && IsUnder(target, volume.fs_path)) consider({child, volume});
      }
    } else if (child.IsFileSystem() && IsUnder(target, child.fs_path)) {
      consider({child});
    }
  }
  if (best.empty()) return {};
  const QString base = best.back().fs_path;
  const QString rest = target.mid(base.size());
  QString walked = base;
  for (const QString& part : rest.split('/', Qt::SkipEmptyParts)) {
    walked = walked.endsWith('/') ? walked + part : walked + '/' + part;
    best.push_back(names.ItemForFolder(walked));
  }
  return best;
}

void FolderChooser::SetChosenPath(const QString& text) {
  // Only an absolute path of an existing folder parses; everything else is the desktop.
  const QFileInfo info(text);
  if (text.isEmpty() || !QDir::isAbsolutePath(text) || !info.isDir()) {
    ChosenFolder.clear();
    return;
  }
  ChosenFolder = ChainForFolder(Namespace(), info.absoluteFilePath());
}

QString FolderChooser::ChosenPath() const {
  if (ChosenFolder.empty()) return FolderNamespace::DesktopPath();
  return ChosenFolder.back().fs_path;
}

bool FolderChooser::Choose() {
  if (chooser_open) throw TessarineError("A folder chooser is already open");
  chooser_open = true;
  struct Closed {
    ~Closed() { chooser_open = false; }
  } closed;
  CursorScope cursor;
  FolderChooserWindow window(*this, owner_);
  const bool ok = window.exec() == QDialog::Accepted;
  window.StorePlacement(*this);
  if (ok) ChosenFolder = window.SelectedChain();
  return ok;
}

void BrowseForFolder(FolderChooser& chooser, QLineEdit& path_box) {
  chooser.SetChosenPath(path_box.text());
  if (chooser.Choose()) path_box.setText(chooser.ChosenPath());
}

QString ShortenPath(const QString& path, int limit,
                    const std::function<int(const QString&)>& width) {
  const qsizetype last_slash = path.lastIndexOf('/');
  QString directory = path.left(last_slash + 1);
  const QString name = path.mid(last_slash + 1);
  QString text = directory + name;
  while (width(text) > limit && !directory.isEmpty()) {
    if (directory == "/.../") {
      directory = ".../";
    } else if (directory == "/") {
      directory.clear();
    } else {
      const bool leading = directory.startsWith('/');
      if (leading) directory.remove(0, 1);
      // Only the ".../" of an earlier cut goes: a folder name may itself begin with a dot.
      if (directory.startsWith(".../")) directory.remove(0, 4);
      const qsizetype slash = directory.indexOf('/');
      directory = slash >= 0 ? ".../" + directory.mid(slash + 1) : QString();
      if (leading) directory.prepend('/');
    }
    text = directory + name;
  }
  return text;
}
