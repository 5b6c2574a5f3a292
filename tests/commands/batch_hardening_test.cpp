// The batch through the real window when the disk, the folders or the files work against it:
// each case ends with its message in the error box, keeps the log lines and thumbnails made
// so far, and leaves every source byte for byte as it was.
#include <QFile>
#include <QFileInfo>
#include <QLineEdit>
#include <QRadioButton>
#include <QToolButton>
#include <fcntl.h>
#include <signal.h>
#include <sys/resource.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cstring>
#include <functional>
#include <map>

#include "tests/commands/window_fixture.h"
#include "tests/qt_print.h"
#include "ui/message_box.h"

namespace {

// Permissions do not stop root, so as root the button is pressed with the effective user
// and group of nobody (the real ids stay root, so they come back afterwards).
class AsUnprivileged {
 public:
  AsUnprivileged() {
    if (::geteuid() != 0) return;
    switched_ = ::setegid(65534) == 0 && ::seteuid(65534) == 0;
    EXPECT_TRUE(switched_) << std::strerror(errno);
  }
  ~AsUnprivileged() {
    if (!switched_) return;
    EXPECT_EQ(::seteuid(0), 0);
    EXPECT_EQ(::setegid(0), 0);
  }

 private:
  bool switched_ = false;
};

class BatchHardeningTest : public WindowFixture {
 protected:
  void SetUp() override {
    WindowFixture::SetUp();
    pics_ = MakeDir("home/pics");
    out_ = MakeDir("home/out");
    // Open to the unprivileged user the root-owned temporary tree that the tests walk.
    for (const QString& dir : {QFileInfo(Home()).path(), Home(), pics_})
      ::chmod(QFile::encodeName(dir).constData(), 0755);
    ::chmod(QFile::encodeName(out_).constData(), 0777);
  }
  void TearDown() override {
    form_.reset();
    for (const QString& dir : {pics_, out_}) ::chmod(QFile::encodeName(dir).constData(), 0755);
    WindowFixture::TearDown();
  }

  void IntoOutputFolder(const QString& folder) {
    Find<QRadioButton>("rbname2")->click();
    Find<QLineEdit>("ePath")->setText(folder);
  }
  // Presses the batch button; returns the boxes it showed.
  QStringList PressBatch(bool unprivileged = false) {
    std::map<QString, QByteArray> before;
    for (const QString& name : QDir(pics_).entryList(QDir::Files)) {
      before[name] = Hash(pics_ + '/' + name);
    }
    ScopedBoxCapture boxes;
    {
      std::optional<AsUnprivileged> user;
      if (unprivileged) user.emplace();
      Find<QToolButton>("SpeedButton2")->click();
    }
    for (const auto& [name, hash] : before) {
      EXPECT_EQ(Hash(pics_ + '/' + name), hash) << "source changed: " << name.toStdString();
    }
    return boxes.Texts();
  }
  QString pics_, out_;
};

TEST_F(BatchHardeningTest, UnwritableDestinationEndsTheBatchAtItsFile) {
  struct Case {
    const char* what;
    std::function<QString()> prepare;  // the output folder to choose
    const char* reason;
  };
  const Case cases[] = {
      {"missing output folder", [this] { return Home() + "/gone"; },
       "No such file or directory"},
      {"read-only output folder",
       [this] {
         ::chmod(QFile::encodeName(out_).constData(), 0555);
         return out_;
       },
       "Permission denied"},
      {"destination is a device",
       [this] {
         QFile::link("/dev/full", out_ + "/a.jpg");
         return out_;
       },
       "Not a regular file"},
  };
  WriteJpeg(pics_ + "/a.jpg", 64, 48);
  WriteJpeg(pics_ + "/b.jpg", 64, 48);
  for (const Case& c : cases) {
    SCOPED_TRACE(c.what);
    OpenWindowOn(pics_);
    const QString folder = c.prepare();
    IntoOutputFolder(folder);
    EXPECT_EQ(PressBatch(true),
              QStringList{"Cannot create file \"" + folder + "/a.jpg\". " + c.reason + "."});
    EXPECT_TRUE(Log().isEmpty());
    EXPECT_TRUE(Bar()->isVisible());
    EXPECT_EQ(Bar()->value(), 0);
    EXPECT_FALSE(QFile::exists(folder + "/b.jpg"));
    ::chmod(QFile::encodeName(out_).constData(), 0777);
  }
}

TEST_F(BatchHardeningTest, FullDiskStopsTheBatchWithAWriteErrorAndKeepsWhatWasMade) {
  WriteJpeg(pics_ + "/a.jpg", 16, 16);    // a thumbnail of well under 2000 bytes
  WriteJpeg(pics_ + "/b.jpg", 600, 600);  // one of far more
  WriteJpeg(pics_ + "/c.jpg", 16, 16);
  OpenWindowOn(pics_);
  // A file size limit cuts the write as a full disk does.
  struct rlimit old_limit {};
  ASSERT_EQ(::getrlimit(RLIMIT_FSIZE, &old_limit), 0);
  const auto old_handler = ::signal(SIGXFSZ, SIG_IGN);
  const struct rlimit small{2000, old_limit.rlim_max};
  ASSERT_EQ(::setrlimit(RLIMIT_FSIZE, &small), 0);
  const QStringList boxes = PressBatch();
  ::setrlimit(RLIMIT_FSIZE, &old_limit);
  ::signal(SIGXFSZ, old_handler);
  EXPECT_EQ(boxes, QStringList{"Stream write error."});
  EXPECT_EQ(Log(), QStringList{Made(pics_ + "/a.jpg", pics_ + "/tba.jpg")});
  JpegImage kept;
  kept.LoadFile((pics_ + "/tba.jpg").toStdString());
  EXPECT_EQ(kept.Width(), 8);
  EXPECT_FALSE(QFile::exists(pics_ + "/tbc.jpg"));
  EXPECT_EQ(Bar()->value(), 1);
}

TEST_F(BatchHardeningTest, SourceGoneOrUnreadableStopsTheBatchWithTheOpenError) {
  struct Case {
    const char* what;
    std::function<void(const QString&)> spoil;
    const char* reason;
  };
  const Case cases[] = {
      {"deleted after listing", [](const QString& path) { QFile::remove(path); },
       "No such file or directory"},
      {"no read permission",
       [](const QString& path) { ::chmod(QFile::encodeName(path).constData(), 0200); },
       "Permission denied"},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.what);
    for (const char* name : {"a.jpg", "b.jpg", "c.jpg"}) WriteJpeg(pics_ + '/' + name, 64, 48);
    for (const char* name : {"a.jpg", "b.jpg", "c.jpg"}) QFile::remove(out_ + '/' + name);
    OpenWindowOn(pics_);
    IntoOutputFolder(out_);
    c.spoil(pics_ + "/b.jpg");
    EXPECT_EQ(PressBatch(true),
              QStringList{"Cannot open file \"" + pics_ + "/b.jpg\". " + c.reason + "."});
    EXPECT_EQ(Log(), QStringList{Made(pics_ + "/a.jpg", out_ + "/a.jpg")});
    EXPECT_TRUE(QFile::exists(out_ + "/a.jpg"));
    EXPECT_FALSE(QFile::exists(out_ + "/c.jpg"));
    EXPECT_EQ(Bar()->value(), 1);
    QFile::remove(pics_ + "/b.jpg");
  }
}

TEST_F(BatchHardeningTest, NamesWithBlanksQuotesAndNewlinesAreProcessedLikeAnyOther) {
  const QStringList names = {"a b.jpg", "say \"cheese\".jpg", "it's.jpg", "two\nlines.jpg"};
  for (const QString& name : names) WriteJpeg(pics_ + '/' + name, 64, 48);
  OpenWindowOn(pics_);
  EXPECT_TRUE(PressBatch().isEmpty());
  ASSERT_EQ(List()->Count(), names.size());
  QStringList made;
  for (int i = 0; i < List()->Count(); ++i) {
    made << Made(pics_ + '/' + List()->Item(i), pics_ + "/tb" + List()->Item(i));
  }
  EXPECT_EQ(Log(), made.join('\n').split('\n'));  // the newline splits its line in the log
  for (const QString& name : names) {
    EXPECT_TRUE(QFile::exists(pics_ + "/tb" + name)) << name.toStdString();
  }
}

TEST_F(BatchHardeningTest, NameThatIsNotUtf8IsProcessedOrRefusedWithTheOpenError) {
  WriteJpeg(pics_ + "/x.jpg", 64, 48);
  QFile jpeg(pics_ + "/x.jpg");
  ASSERT_TRUE(jpeg.open(QIODevice::ReadOnly));
  const QByteArray bytes = jpeg.readAll();
  // Latin-1 bytes, not UTF-8.
  const QByteArray path = QFile::encodeName(pics_) + "/caf\xe9 \xff.jpg";
  const int fd = ::open(path.constData(), O_WRONLY | O_CREAT | O_TRUNC, 0644);
  ASSERT_GE(fd, 0);
  ASSERT_EQ(::write(fd, bytes.constData(), bytes.size()), bytes.size());
  ::close(fd);
  OpenWindowOn(pics_);
  const QStringList boxes = PressBatch();
  EXPECT_LE(boxes.size(), 1);
  if (boxes.isEmpty()) {
    EXPECT_EQ(Log().size(), 2);
  } else {
    EXPECT_TRUE(boxes.front().startsWith("Cannot open file \"" + pics_ + '/'))
        << boxes.front().toStdString();
  }
  // QTemporaryDir cannot name these files to remove them.
  ::unlink(path.constData());
  ::unlink((QFile::encodeName(pics_) + "/tbcaf\xe9 \xff.jpg").constData());
}

}  // namespace
