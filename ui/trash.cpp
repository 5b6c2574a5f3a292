#include "ui/trash.h"

#include <fcntl.h>
#include <pwd.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <climits>
#include <cstdio>
#include <cstdlib>
#include <ctime>
#include <optional>

#include "engine/errors.h"
#include "engine/path_text.h"

namespace {

constexpr mode_t kPrivate = 0700;
constexpr int kMaxNameTries = 10000;

std::string Parent(const std::string& path) {
  const std::string::size_type slash = path.rfind('/');
  if (slash == std::string::npos) return ".";
  return slash == 0 ? "/" : path.substr(0, slash);
}

std::optional<struct stat> LStat(const std::string& path) {
  struct stat info {};
  if (::lstat(path.c_str(), &info) != 0) return std::nullopt;
  return info;
}

std::optional<struct stat> Stat(const std::string& path) {
  struct stat info {};
  if (::stat(path.c_str(), &info) != 0) return std::nullopt;
  return info;
}

// Makes path and its missing parents, each new one with mode 0700.
bool MakePrivatePath(const std::string& path) {
  if (const auto info = Stat(path)) return S_ISDIR(info->st_mode);
  if (path.empty() || path == "/") return false;
  if (!MakePrivatePath(Parent(path))) return false;
  if (::mkdir(path.c_str(), kPrivate) == 0) return true;
  const auto info = Stat(path);
  return errno == EEXIST && info && S_ISDIR(info->st_mode);
}

// A folder of the user's own: made with mode 0700 when missing; one that exists must be a
// real folder (not a link) that belongs to the user.
bool OwnFolder(const std::string& path) {
  if (::mkdir(path.c_str(), kPrivate) != 0 && errno != EEXIST) return false;
  const auto info = LStat(path);
  return info && S_ISDIR(info->st_mode) && info->st_uid == ::geteuid();
}

bool HasFilesAndInfo(const std::string& trash) {
  return OwnFolder(JoinPath(trash, std::string("files"))) &&
         OwnFolder(JoinPath(trash, std::string("info")));
}

// The folder at the top of the file system that holds folder (whose device is given).
std::string TopDirectory(std::string folder, dev_t device) {
  while (folder != "/") {
    const std::string up = Parent(folder);
    const auto info = Stat(up);
    if (!info || info->st_dev != device) break;
    folder = up;
  }
  return folder;
}

// The trash of the file system whose top is topdir, made when missing; "" when none may be used.
std::string TopDirectoryTrash(const std::string& topdir) {
  const std::string uid = std::to_string(::geteuid());
  const std::string shared = JoinPath(topdir, std::string(".Trash"));
  const auto info = LStat(shared);
  if (info && S_ISDIR(info->st_mode) && (info->st_mode & S_ISVTX) != 0) {
    const std::string mine = JoinPath(shared, uid);
    if (OwnFolder(mine) && HasFilesAndInfo(mine)) return mine;
  }
  const std::string own = JoinPath(topdir, ".Trash-" + uid);
  if (OwnFolder(own) && HasFilesAndInfo(own)) return own;
  return {};
}

std::string DeletionDate() {
  const std::time_t now = std::time(nullptr);
  std::tm local {};
  ::localtime_r(&now, &local);
  char text[32];
  std::strftime(text, sizeof text, "%Y-%m-%dT%H:%M:%S", &local);
  return text;
}

bool WriteAll(int fd, const std::string& bytes) {
  std::size_t done = 0;
  while (done < bytes.size()) {
    const ssize_t n = ::write(fd, bytes.data() + done, bytes.size() - done);
    if (n < 0 && errno == EINTR) continue;
    if (n <= 0) return false;
    done += static_cast<std::size_t>(n);
  }
  return true;
}

enum class Outcome { kMoved, kNameTaken, kFailed };

// Writes the .trashinfo under name, then renames the item into files/ under the same name.
Outcome TryName(const std::string& source, const std::string& trash, const std::string& name,
                const std::string& info_text) {
  const std::string target = trash + "/files/" + name;
  const std::string info_path = trash + "/info/" + name + ".trashinfo";
  if (LStat(target)) return Outcome::kNameTaken;
  const int fd = ::open(info_path.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_CLOEXEC, 0600);
  if (fd < 0) return errno == EEXIST ? Outcome::kNameTaken : Outcome::kFailed;
  const bool written = WriteAll(fd, info_text);
  if (::close(fd) != 0 || !written) {
    ::unlink(info_path.c_str());
    return Outcome::kFailed;
  }
  Outcome outcome = Outcome::kMoved;
  if (::renameat2(AT_FDCWD, source.c_str(), AT_FDCWD, target.c_str(), RENAME_NOREPLACE) != 0) {
    if (errno == EEXIST) {
      outcome = Outcome::kNameTaken;
    } else if (errno != EINVAL && errno != ENOSYS) {
      outcome = Outcome::kFailed;
    } else if (LStat(target)) {  // a file system without the no-replace rename
      outcome = Outcome::kNameTaken;
    } else if (::rename(source.c_str(), target.c_str()) != 0) {
      outcome = Outcome::kFailed;
    }
  }
  if (outcome != Outcome::kMoved) ::unlink(info_path.c_str());
  return outcome;
}

}  // namespace

std::string HomeTrashPath() {
  const char* data_home = std::getenv("XDG_DATA_HOME");
  if (data_home != nullptr && data_home[0] == '/') return JoinPath(std::string(data_home), std::string("Trash"));
  std::string home;
  if (const char* env = std::getenv("HOME"); env != nullptr && env[0] == '/') {
    home = env;
  } else if (const passwd* user = ::getpwuid(::geteuid()); user != nullptr && user->pw_dir != nullptr) {
    home = user->pw_dir;
  }
  return JoinPath(home.empty() ? std::string("/") : home, std::string(".local/share/Trash"));
}

std::string TrashInfoEscape(const std::string& path) {
  static const char kHex[] = "0123456789ABCDEF";
  std::string escaped;
  for (const char c : path) {
    const auto byte = static_cast<unsigned char>(c);
    const bool plain = (byte >= 'a' && byte <= 'z') || (byte >= 'A' && byte <= 'Z') ||
                       (byte >= '0' && byte <= '9') || byte == '-' || byte == '.' ||
                       byte == '_' || byte == '~' || byte == '/';
    if (plain) {
      escaped += c;
    } else {
      escaped += '%';
      escaped += kHex[byte >> 4];
      escaped += kHex[byte & 0x0F];
    }
  }
  return escaped;
}

void MoveToTrash(const std::string& path) {
  const FileError refused("Cannot move " + path + " to the trash");
  std::string source = path;
  while (source.size() > 1 && source.back() == '/') source.pop_back();
  const std::string name = source.substr(source.rfind('/') + 1);
  if (source.empty() || source.front() != '/' || name.empty() || name == "." || name == ".." || !LStat(source)) {
    throw refused;
  }
  char real_parent[PATH_MAX];
  if (::realpath(Parent(source).c_str(), real_parent) == nullptr) throw refused;
  const auto parent_info = Stat(real_parent);
  if (!parent_info) throw refused;

  // The home trash takes what lies on its own file system; the device of a trash not made
  // yet is that of its nearest existing folder.
  const std::string home_trash = HomeTrashPath();
  std::string existing = home_trash;
  while (!Stat(existing) && existing != "/") existing = Parent(existing);
  const auto home_info = Stat(existing);
  std::string trash;
  std::string original = JoinPath(std::string(real_parent), name);
  if (home_info && home_info->st_dev == parent_info->st_dev) {
    if (!MakePrivatePath(home_trash) || !HasFilesAndInfo(home_trash)) throw refused;
    trash = home_trash;
  } else {
    const std::string topdir = TopDirectory(real_parent, parent_info->st_dev);
    trash = TopDirectoryTrash(topdir);
    if (trash.empty()) throw refused;
    // Relative to the top, so that the trash stays right wherever the volume is mounted.
    original = original.substr(topdir == "/" ? 1 : topdir.size() + 1);
  }

  const std::string info_text = "[Trash Info]\nPath=" + TrashInfoEscape(original) +
                                "\nDeletionDate=" + DeletionDate() + "\n";
  for (int n = 1; n <= kMaxNameTries; ++n) {
    const std::string candidate = n == 1 ? name : name + "." + std::to_string(n);
    switch (TryName(source, trash, candidate, info_text)) {
      case Outcome::kMoved:
        return;
      case Outcome::kNameTaken:
        continue;
      case Outcome::kFailed:
        throw refused;
    }
  }
  throw refused;
}
