#include "ui/folder_namespace.h"

#include <QCollator>
#include <QDir>
#include <QDirIterator>
#include <QFile>
#include <QFileIconProvider>
#include <QFileInfo>
#include <QStandardPaths>
#include <QStorageInfo>
#include <algorithm>

#include "engine/errors.h"
#include "engine/path_text.h"
#include "ui/trash.h"

namespace {

const QString kDesktopText = QStringLiteral("桌面");
const QString kComputerText = QStringLiteral("计算机");
const QString kRootText = QStringLiteral("文件系统");

QString CleanAbsolute(const QString& path) { return QDir::cleanPath(QDir(path).absolutePath()); }

QDir::Filters FolderFilters(bool show_hidden) {
  QDir::Filters filters = QDir::Dirs | QDir::NoDotAndDotDot;
  if (show_hidden) filters |= QDir::Hidden;
  return filters;
}

// Volumes a user mounted or plugged in; kernel, container and package mounts stay out.
bool IsUserVolume(const QStorageInfo& volume) {
  static const QStringList kPseudoTypes = {
      "proc",   "sysfs",   "tmpfs",   "devtmpfs",    "devpts",   "cgroup",     "cgroup2",
      "securityfs", "pstore", "debugfs", "tracefs", "configfs", "fusectl",   "mqueue",
      "hugetlbfs", "bpf",   "autofs",  "binfmt_misc", "efivarfs", "overlay",   "squashfs",
      "nsfs",   "ramfs",   "rpc_pipefs", "selinuxfs", "fuse.gvfsd-fuse", "fuse.portal"};
  static const QStringList kSystemPrefixes = {"/boot", "/proc", "/sys", "/dev", "/snap",
                                              "/var", "/usr", "/etc", "/run"};
  if (!volume.isValid() || !volume.isReady()) return false;
  const QString root = volume.rootPath();
  if (root == "/") return false;
  if (kPseudoTypes.contains(QString::fromLatin1(volume.fileSystemType()))) return false;
  if (root.startsWith("/run/media/")) return true;
  for (const QString& prefix : kSystemPrefixes) {
    if (IsUnder(root, prefix)) return false;
  }
  return true;
}

}  // namespace

QString FolderItem::PathString() const {
  return FolderNamespace::ConvertName(IsFileSystem() ? fs_path : text);
}

QString FolderItem::Key() const {
  return QString::number(static_cast<int>(kind)) + ':' + (IsFileSystem() ? fs_path : text);
}

QString FolderNamespace::ConvertName(QString name) {
  name.replace(QChar(QChar::ReplacementCharacter), QLatin1Char('?'));
  if (name.size() >= 2 && name[0] == '?' && name[1] >= '0' && name[1] <= '9') name.remove('?');
  return name;
}

bool FolderNamespace::NaturalLess(const QString& a, const QString& b) {
  static const QCollator collator = [] {
    QCollator c;
    c.setCaseSensitivity(Qt::CaseInsensitive);
    return c;
  }();
  // Compare run by run: digit runs by value, other runs by the locale's collation.
  qsizetype i = 0, j = 0;
  while (i < a.size() && j < b.size()) {
    const bool digit_a = a[i].isDigit(), digit_b = b[j].isDigit();
    qsizetype end_a = i, end_b = j;
    while (end_a < a.size() && a[end_a].isDigit() == digit_a) ++end_a;
    while (end_b < b.size() && b[end_b].isDigit() == digit_b) ++end_b;
    const QStringView run_a = QStringView(a).sliced(i, end_a - i);
    const QStringView run_b = QStringView(b).sliced(j, end_b - j);
    int order = 0;
    if (digit_a && digit_b) {
      qsizetype za = 0, zb = 0;  // leading zeros do not count
      while (za + 1 < run_a.size() && run_a[za] == '0') ++za;
      while (zb + 1 < run_b.size() && run_b[zb] == '0') ++zb;
      const QStringView value_a = run_a.sliced(za), value_b = run_b.sliced(zb);
      if (value_a.size() != value_b.size()) {
        order = value_a.size() < value_b.size() ? -1 : 1;
      } else {
        order = value_a.compare(value_b);
      }
    } else {
      order = collator.compare(run_a, run_b);
    }
    if (order != 0) return order < 0;
    i = end_a;
    j = end_b;
  }
  if (i < a.size() || j < b.size()) return j < b.size();  // a prefix sorts first
  return a < b;  // equal but for case or leading zeros: a fixed order all the same
}

QString FolderNamespace::DesktopPath() {
  const QString desktop = QStandardPaths::writableLocation(QStandardPaths::DesktopLocation);
  if (!desktop.isEmpty() && QFileInfo(desktop).isDir()) return CleanAbsolute(desktop);
  return CleanAbsolute(QDir::homePath());
}

FolderItem FolderNamespace::Desktop() const {
  return FolderItem{FolderKind::fkDesktop, kDesktopText, DesktopPath(), false, false};
}

FolderItem FolderNamespace::ItemForFolder(const QString& path) const {
  const QString clean = CleanAbsolute(path);
  const bool is_root = clean == "/";
  const QString name = is_root ? kRootText : ConvertName(QFileInfo(clean).fileName());
  return FolderItem{FolderKind::fkFileSystem, name, clean, !is_root, !is_root};
}

std::vector<FolderItem> FolderNamespace::Subfolders(const QString& path) const {
  std::vector<FolderItem> items;
  QDirIterator it(path, FolderFilters(options_.show_hidden));
  while (it.hasNext()) {
    it.next();
    items.push_back(ItemForFolder(JoinPath(path, it.fileName())));
  }
  std::sort(items.begin(), items.end(),
            [](const FolderItem& a, const FolderItem& b) { return NaturalLess(a.text, b.text); });
  return items;
}

std::vector<FolderItem> FolderNamespace::ComputerChildren() const {
  std::vector<FolderItem> items{FolderItem{FolderKind::fkFileSystem, kRootText, "/", false, false}};
  std::vector<FolderItem> volumes;
  for (const QStorageInfo& volume : QStorageInfo::mountedVolumes()) {
    if (!IsUserVolume(volume)) continue;
    const QString root = CleanAbsolute(volume.rootPath());
    QString text = volume.name().isEmpty() ? QFileInfo(root).fileName() : volume.name();
    volumes.push_back(FolderItem{FolderKind::fkFileSystem, ConvertName(text), root, false, false});
  }
  std::sort(volumes.begin(), volumes.end(),
            [](const FolderItem& a, const FolderItem& b) { return NaturalLess(a.text, b.text); });
  items.insert(items.end(), volumes.begin(), volumes.end());
  return items;
}

std::vector<FolderItem> FolderNamespace::Children(const FolderItem& item) const {
  switch (item.kind) {
    case FolderKind::fkDesktop: {
      std::vector<FolderItem> items;
      const QString home = CleanAbsolute(QDir::homePath());
      FolderItem home_item = ItemForFolder(home);
      home_item.can_rename = home_item.can_trash = false;
      items.push_back(home_item);
      const std::vector<FolderItem> computer = ComputerChildren();
      const bool has_folder = std::any_of(computer.begin(), computer.end(),
                                          [](const FolderItem& c) { return c.IsFileSystem(); });
      if (has_folder || options_.virtual_folders) {
        items.push_back(FolderItem{FolderKind::fkComputer, kComputerText, QString(), false, false});
      }
      std::vector<FolderItem> own = Subfolders(item.fs_path);
      items.insert(items.end(), own.begin(), own.end());
      return items;
    }
    case FolderKind::fkComputer:
      return ComputerChildren();
    case FolderKind::fkFileSystem:
      return Subfolders(item.fs_path);
  }
  return {};
}

std::vector<FolderChain> FolderNamespace::PlacesHolding(const QString& path) const {
  std::vector<FolderChain> places;
  for (const FolderItem& child : Children(Desktop())) {
    if (child.kind == FolderKind::fkComputer) {
      for (const FolderItem& volume : Children(child)) {
        if (volume.IsFileSystem() && IsUnder(path, volume.fs_path)) places.push_back({child, volume});
      }
    } else if (child.IsFileSystem() && IsUnder(path, child.fs_path)) {
      places.push_back({child});
    }
  }
  std::stable_sort(places.begin(), places.end(), [](const FolderChain& a, const FolderChain& b) {
    return a.back().fs_path.size() > b.back().fs_path.size();
  });
  return places;
}

bool FolderNamespace::HasSubfolders(const FolderItem& item) const {
  if (item.kind != FolderKind::fkFileSystem) return true;
  return QDirIterator(item.fs_path, FolderFilters(options_.show_hidden)).hasNext();
}

FolderItem FolderNamespace::Rename(const FolderItem& item, const QString& new_name) const {
  const QString parent = QFileInfo(item.fs_path).path();
  const QString target = JoinPath(parent, new_name);
  // QDir::rename never replaces an existing entry, so a rename never loses a folder.
  const bool valid = item.can_rename && !new_name.isEmpty() && !new_name.contains('/') &&
                     new_name != "." && new_name != "..";
  if (!valid || !QDir().rename(item.fs_path, target)) {
    throw TessarineError("Rename to " + new_name.toStdString() + " failed");
  }
  FolderItem renamed = ItemForFolder(target);
  renamed.can_rename = item.can_rename;
  renamed.can_trash = item.can_trash;
  return renamed;
}

void FolderNamespace::MoveToTrash(const FolderItem& item) const {
  if (!item.can_trash) throw FileError("Cannot move " + item.fs_path.toStdString() + " to the trash");
  ::MoveToTrash(QFile::encodeName(item.fs_path).toStdString());
}

QIcon FolderNamespace::Icon(const FolderItem& item) const {
  const QFileIconProvider provider;
  switch (item.kind) {
    case FolderKind::fkDesktop:
      return QIcon::fromTheme("user-desktop", provider.icon(QFileIconProvider::Desktop));
    case FolderKind::fkComputer:
      return QIcon::fromTheme("computer", provider.icon(QFileIconProvider::Computer));
    case FolderKind::fkFileSystem:
      if (item.fs_path == "/") return provider.icon(QFileIconProvider::Drive);
      if (item.fs_path == CleanAbsolute(QDir::homePath())) {
        return QIcon::fromTheme("user-home", provider.icon(QFileIconProvider::Folder));
      }
      return provider.icon(QFileIconProvider::Folder);
  }
  return {};
}

QIcon FolderNamespace::OpenIcon(const FolderItem& item) const {
  if (item.kind == FolderKind::fkFileSystem && item.fs_path != "/") {
    return QIcon::fromTheme("folder-open", Icon(item));
  }
  return Icon(item);
}
