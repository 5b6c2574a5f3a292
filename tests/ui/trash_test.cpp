#include "ui/trash.h"

#include <sys/stat.h>
#include <unistd.h>

#include <QDateTime>
#include <QDir>
#include <QFile>
#include <QSettings>
#include <QUrl>

#include "engine/errors.h"
#include "tests/qt_print.h"
#include "tests/ui/browse_fixture.h"

namespace {

class TrashTest : public BrowseFixture {
 protected:
  static std::string Bytes(const QString& path) { return QFile::encodeName(path).toStdString(); }
  static int Mode(const QString& path) {
    struct stat info {};
    EXPECT_EQ(::stat(Bytes(path).c_str(), &info), 0) << path.toStdString();
    return info.st_mode & 07777;
  }
  static QStringList Entries(const QString& folder) {
    return QDir(folder).entryList(QDir::AllEntries | QDir::Hidden | QDir::NoDotAndDotDot,
                                  QDir::Name);
  }
  // The two keys of an entry's .trashinfo.
  static std::pair<QString, QString> Info(const QString& trash, const QString& name) {
    QFile file(trash + "/info/" + name + ".trashinfo");
    EXPECT_TRUE(file.open(QIODevice::ReadOnly)) << name.toStdString();
    QString path, date;
    const QStringList lines = QString::fromUtf8(file.readAll()).split('\n');
    EXPECT_EQ(lines.value(0), "[Trash Info]");
    for (const QString& line : lines) {
      if (line.startsWith("Path=")) path = line.mid(5);
      if (line.startsWith("DeletionDate=")) date = line.mid(13);
    }
    return {path, date};
  }
};

// A new account: no ~/.local yet, and the current directory inside the listed folder.
TEST_F(TrashTest, AFreshHomeGetsItsPrivateTrashAndTheListedFolderNothing) {
  qunsetenv("XDG_DATA_HOME");
  ASSERT_TRUE(QDir(Home() + "/.local").removeRecursively());
  const QString photos = MakeDir("home/photos");
  MakeDir("home/photos/sub");
  MakeFile("home/photos/sub/a.jpg", "picture");
  QDir::setCurrent(photos);

  MoveToTrash(Bytes(photos + "/sub"));
  EXPECT_EQ(Entries(photos), QStringList());
  const QString trash = Home() + "/.local/share/Trash";
  EXPECT_EQ(Entries(trash + "/files/sub"), QStringList{"a.jpg"});
  for (const QString& made : {Home() + "/.local", Home() + "/.local/share", trash,
                              trash + "/files", trash + "/info"}) {
    EXPECT_EQ(Mode(made), 0700) << made.toStdString();
  }
  const auto [path, date] = Info(trash, "sub");
  EXPECT_EQ(path, photos + "/sub");
  EXPECT_TRUE(QDateTime::fromString(date, Qt::ISODate).isValid()) << date.toStdString();
}

// Two folders of one name: two entries, and each .trashinfo leads back to its own place.
TEST_F(TrashTest, FoldersOfOneNameGetTwoEntriesThatBothLeadBack) {
  const QString trash = Home() + "/.local/share/Trash";
  const QString first = MakeDir("home/相册 #1/照片 100%");
  const QString second = MakeDir("home/b/照片 100%");
  MakeFile("home/相册 #1/照片 100%/from", "first");
  MakeFile("home/b/照片 100%/from", "second");
  MoveToTrash(Bytes(first));
  MoveToTrash(Bytes(second));
  EXPECT_EQ(Entries(trash + "/files"), (QStringList{"照片 100%", "照片 100%.2"}));
  EXPECT_EQ(Entries(trash + "/info"),
            (QStringList{"照片 100%.2.trashinfo", "照片 100%.trashinfo"}));

  for (const auto& [entry, place, content] :
       {std::tuple{QString("照片 100%"), first, QByteArray("first")},
        std::tuple{QString("照片 100%.2"), second, QByteArray("second")}}) {
    const auto [path, date] = Info(trash, entry);
    EXPECT_EQ(path, QString::fromLatin1(QUrl::toPercentEncoding(place, "/")));
    EXPECT_FALSE(path.contains(' '));
    EXPECT_LE(QDateTime::fromString(date, Qt::ISODate).secsTo(QDateTime::currentDateTime()), 60);
    // Restoring is a rename back to the decoded path.
    const QString back = QUrl::fromPercentEncoding(path.toLatin1());
    EXPECT_FALSE(QFileInfo::exists(back));
    ASSERT_TRUE(QDir().rename(trash + "/files/" + entry, back));
    QFile from(back + "/from");
    ASSERT_TRUE(from.open(QIODevice::ReadOnly));
    EXPECT_EQ(from.readAll(), content);
  }
}

// A move that fails takes its .trashinfo back and leaves the folder as it was.
TEST_F(TrashTest, ARefusedMoveLeavesEverythingAsItWas) {
  const QString keep = MakeDir("home/keep"), inner = MakeDir("home/keep/inner");
  MakeFile("home/keep/inner/a.jpg", "picture");
  auto expect_refused = [&](const QString& folder, const QString& data_home) {
    qputenv("XDG_DATA_HOME", QFile::encodeName(data_home));
    const QString trash = data_home + "/Trash";
    ASSERT_TRUE(QDir().mkpath(trash + "/files") && QDir().mkpath(trash + "/info"));
    const QStringList before = Entries(inner);
    try {
      MoveToTrash(Bytes(folder));
      ADD_FAILURE() << "moved " << folder.toStdString();
    } catch (const FileError& error) {
      EXPECT_EQ(error.what(), "Cannot move " + Bytes(folder) + " to the trash");
    }
    EXPECT_EQ(Entries(inner), before);
    EXPECT_EQ(Entries(trash + "/files") + Entries(trash + "/info"), QStringList());
  };
  expect_refused(Home() + "/keep/gone", Home() + "/.local/share");  // nothing there
  expect_refused(inner, inner + "/share");  // a trash inside the folder: the rename fails, for root too
  if (::geteuid() != 0) {  // root writes into write-protected folders all the same
    ASSERT_EQ(::chmod(Bytes(keep).c_str(), 0500), 0);
    expect_refused(inner, Home() + "/.local/share");
    ::chmod(Bytes(keep).c_str(), 0700);
  }
}

// A folder on another file system goes to that file system's own trash, with a path relative
// to its top.
TEST_F(TrashTest, AFolderOnAnotherFileSystemGoesToItsOwnTrash) {
  const QString volume = "/dev/shm";
  struct stat home_info {}, volume_info {};
  if (::stat(Bytes(Home()).c_str(), &home_info) != 0 ||
      ::stat(Bytes(volume).c_str(), &volume_info) != 0 || home_info.st_dev == volume_info.st_dev ||
      ::access(Bytes(volume).c_str(), W_OK) != 0) {
    GTEST_SKIP() << "no writable file system besides the home folder's";
  }
  const QString trash = volume + "/.Trash-" + QString::number(::geteuid());
  const bool had_trash = QFileInfo::exists(trash);
  QTemporaryDir place(volume + "/tessarine-XXXXXX");
  ASSERT_TRUE(QDir(place.path()).mkpath("away/x"));
  const QString name = QFileInfo(place.path()).fileName();
  MoveToTrash(Bytes(place.path() + "/away"));
  EXPECT_FALSE(QFileInfo::exists(place.path() + "/away"));
  EXPECT_TRUE(QFileInfo::exists(trash + "/files/away/x"));
  EXPECT_EQ(Mode(trash), 0700);
  EXPECT_EQ(Info(trash, "away").first, name + "/away");
  EXPECT_FALSE(QFileInfo::exists(Home() + "/.local/share/Trash/files/away"));
  if (had_trash) {
    QDir(trash + "/files/away").removeRecursively();
    QFile::remove(trash + "/info/away.trashinfo");
  } else {
    QDir(trash).removeRecursively();
  }
}

}  // namespace
