#include "ui/folder_chooser.h"

#include <QDir>
#include <QFileInfo>
#include <QLineEdit>

#include "engine/errors.h"
#include "engine/path_text.h"
#include "ui/folder_chooser_window.h"
#include "ui/widget_helpers.h"

namespace {

bool chooser_open = false;

}  // namespace

FolderNamespace FolderChooser::Namespace() const {
  FolderNamespace::Options options;
  options.show_hidden = HasOption(Options, sfdoShowHidden);
  options.virtual_folders = HasOption(Options, sfdoVirtualFolders);
  return FolderNamespace(options);
}

FolderChain FolderChooser::ChainForFolder(const FolderNamespace& names, const QString& path) {
  const QString target = QDir::cleanPath(path);
  if (target == names.Desktop().fs_path) return {};
  const std::vector<FolderChain> places = names.PlacesHolding(target);
  if (places.empty()) return {};
  FolderChain chain = places.front();
  QString walked = chain.back().fs_path;
  for (const QString& part : target.mid(walked.size()).split('/', Qt::SkipEmptyParts)) {
    walked = JoinPath(walked, part);
    chain.push_back(names.ItemForFolder(walked));
  }
  return chain;
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
  WaitCursor cursor;  // the pointer before the opening comes back however Choose() ends
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
