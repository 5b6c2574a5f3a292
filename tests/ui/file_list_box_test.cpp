#include "ui/file_list_box.h"

#include <sys/stat.h>
#include <unistd.h>

#include <QApplication>
#include <QKeyEvent>
#include <QTest>

#include "engine/errors.h"
#include "tests/qt_print.h"
#include "tests/ui/browse_fixture.h"

namespace {

class FileListBoxTest : public BrowseFixture {
 protected:
  void SetUp() override {
    BrowseFixture::SetUp();
    list_ = std::make_unique<FileListBox>();
    list_->SetMask("*.jpg;*.jpeg");
    list_->SetShowGlyphs(true);
    list_->resize(300, 400);
    QObject::connect(list_.get(), &FileListBox::OnChange, [this] { ++changes_; });
  }
  void TearDown() override {
    list_.reset();
    BrowseFixture::TearDown();
  }

  // What the main window does when the tree's selection changes: errors leave the list empty.
  void TreeChanged(const QString& path) {
    try {
      list_->Clear();
      list_->ApplyPath(path);
    } catch (const std::exception&) {
    }
  }

  std::vector<QString> Entries() const {
    std::vector<QString> entries;
    for (int i = 0; i < list_->Count(); ++i) entries.push_back(list_->Item(i));
    return entries;
  }

  // A key typed at a given time (ms), as the window system stamps it.
  void Type(const QString& text, quint64 time, Qt::Key key = Qt::Key_unknown) {
    if (key == Qt::Key_unknown) key = static_cast<Qt::Key>(text.toUpper().front().unicode());
    QKeyEvent press(QEvent::KeyPress, key, Qt::NoModifier, text);
    press.setTimestamp(time);
    QApplication::sendEvent(list_.get(), &press);
  }

  // The mixed folder: exactly A.jpg, b.JPEG, c.Jpg and f.jpg qualify.
  QString MixedFolder() {
    const QString dir = MakeDir("mixed");
    for (const char* name : {"b.JPEG", "A.jpg", "c.Jpg", "d.png", ".e.jpg", "f.jpg"}) {
      MakeFile(QString("mixed/") + name);
    }
    MakeDir("mixed/g.jpg");
    MakeDir("mixed/sub");
    ::chmod(QFile::encodeName(dir + "/f.jpg").constData(), 0444);
    return dir;
  }

  std::unique_ptr<FileListBox> list_;
  int changes_ = 0;
};

using Names = std::vector<QString>;

TEST_F(FileListBoxTest, ListsMatchingFilesSortedInTheirOwnCaseWithoutHiddenOrFolders) {
  const QString dir = MixedFolder();
  TreeChanged(dir);
  EXPECT_EQ(list_->Folder(), dir);
  EXPECT_EQ(Entries(), (Names{"A.jpg", "b.JPEG", "c.Jpg", "f.jpg"}));
  EXPECT_EQ(list_->ItemGlyph(0), ListGlyph::gUnknownFile);
  EXPECT_EQ(list_->ItemIndex(), -1);
  EXPECT_EQ(QDir::currentPath(), dir);  // the current directory follows the list
}

TEST_F(FileListBoxTest, LinksToFilesCountAndTwoPatternsMatchingOneNameListItTwice) {
  const QString dir = MakeDir("links");
  MakeFile("links/real.jpg");
  ASSERT_EQ(::symlink("real.jpg", QFile::encodeName(dir + "/link.jpg").constData()), 0);
  ASSERT_EQ(::symlink("gone.jpg", QFile::encodeName(dir + "/dead.jpg").constData()), 0);
  TreeChanged(dir);
  EXPECT_EQ(Entries(), (Names{"link.jpg", "real.jpg"}));
  list_->SetMask("*.jpg;real*");
  EXPECT_EQ(Entries(), (Names{"link.jpg", "real.jpg", "real.jpg"}));
}

TEST_F(FileListBoxTest, EmptyFolderFiresOnceWithNothingSelected) {
  const QString dir = MakeDir("empty");
  MakeFile("empty/a.png");
  list_->Clear();
  changes_ = 0;
  list_->ApplyPath(dir);
  EXPECT_EQ(list_->Count(), 0);
  EXPECT_EQ(list_->ItemIndex(), -1);
  EXPECT_EQ(list_->SelectedFile(), "");
  EXPECT_EQ(changes_, 1);
}

TEST_F(FileListBoxTest, SelectedFileJoinsFolderAndNameWithOneSeparator) {
  const QString dir = MixedFolder();
  TreeChanged(dir);
  list_->SelectName("b.jpeg");
  EXPECT_EQ(list_->SelectedName(), "b.JPEG");
  EXPECT_EQ(list_->SelectedFile(), dir + "/b.JPEG");

  // At the root the folder already ends with the separator.
  const QString name = QString("tessarine-test-%1.jpg").arg(::getpid());
  QFile at_root("/" + name);
  if (!at_root.open(QIODevice::WriteOnly)) GTEST_SKIP() << "/ is not writable here";
  at_root.close();
  TreeChanged("/");
  list_->SelectName(name);
  EXPECT_EQ(list_->Folder(), "/");
  EXPECT_EQ(list_->SelectedFile(), "/" + name);
  at_root.remove();
}

TEST_F(FileListBoxTest, VirtualNameLeavesListEmptyAndFolderUnchangedUntilReselected) {
  const QString dir = MixedFolder();
  TreeChanged(dir);
  TreeChanged("计算机");
  EXPECT_EQ(list_->Count(), 0);
  EXPECT_EQ(list_->Folder(), dir);
  EXPECT_EQ(list_->SelectedFile(), "");
  TreeChanged(dir);  // the same folder again is read again
  EXPECT_EQ(list_->Count(), 4);

  // A display name that happens to name a subfolder of the listed folder opens it.
  MakeDir("mixed/计算机");
  MakeFile("mixed/计算机/x.jpg");
  TreeChanged("计算机");
  EXPECT_EQ(list_->Folder(), dir + "/计算机");
  EXPECT_EQ(Entries(), (Names{"x.jpg"}));
}

TEST_F(FileListBoxTest, LastPartMayBeAPatternOrAnExistingFile) {
  const QString dir = MixedFolder();
  const QString other = MakeDir("other");
  MakeFile("other/y.png");
  MakeFile("other/z.jpg");

  list_->Clear();
  list_->ApplyPath(dir + "/*.PNG");
  EXPECT_EQ(list_->Folder(), dir);
  EXPECT_EQ(list_->Mask(), "*.PNG");
  EXPECT_EQ(Entries(), (Names{"d.png"}));
  TreeChanged(other);  // the mask stays for later folders
  EXPECT_EQ(Entries(), (Names{"y.png"}));

  list_->SetMask("*.jpg;*.jpeg");
  list_->ApplyPath(dir + "/c.Jpg");
  EXPECT_EQ(list_->Folder(), dir);
  EXPECT_EQ(list_->SelectedFile(), dir + "/c.Jpg");
  list_->ApplyPath(dir + "/d.png");  // a file the mask leaves out becomes the mask
  EXPECT_EQ(list_->Mask(), "d.png");
  EXPECT_EQ(list_->SelectedName(), "d.png");
  list_->SetMask("*.jpg;*.jpeg");

  // A folder whose own name holds a wildcard is shown as its parent under that pattern.
  MakeDir("mixed/sel*ect");
  TreeChanged(dir + "/sel*ect");
  EXPECT_EQ(list_->Folder(), dir);
  EXPECT_EQ(list_->Mask(), "sel*ect");
}

TEST_F(FileListBoxTest, FailedChangesRaiseTheirMessageAndKeepFolderAndCurrentDirectory) {
  const QString dir = MixedFolder();
  TreeChanged(dir);
  const struct {
    QString text;
    std::string message;
  } cases[] = {
      {dir + "/missing", "File not found"},
      {dir + "/missing/deeper", "File not found"},
      {dir + "/f.jpg/sub", "Invalid filename"},
      {dir + "/" + QString(300, 'n'), "Invalid filename"},
      {dir + "/s*b/x.jpg", "File not found"},  // a wildcard before the last part
  };
  for (const auto& c : cases) {
    try {
      list_->ApplyPath(c.text);
      ADD_FAILURE() << "no error for " << c.text.toStdString();
    } catch (const FileError& e) {
      EXPECT_EQ(e.what(), c.message) << c.text.toStdString();
    }
    EXPECT_EQ(list_->Folder(), dir);
    EXPECT_EQ(QDir::currentPath(), dir);
  }
}

TEST_F(FileListBoxTest, TypeAheadBuildsAPrefixWithinHalfASecond) {
  const QString dir = MakeDir("typed");
  for (const char* name : {"c.jpg", "CD2.jpg", "cd1.jpg", "d.jpg", "b.jpg"}) {
    MakeFile(QString("typed/") + name);
  }
  TreeChanged(dir);
  ASSERT_EQ(Entries(), (Names{"b.jpg", "c.jpg", "cd1.jpg", "CD2.jpg", "d.jpg"}));
  changes_ = 0;
  Type("c", 1000);
  EXPECT_EQ(list_->SelectedName(), "c.jpg");
  Type("d", 1499);
  EXPECT_EQ(list_->SelectedName(), "cd1.jpg");
  Type("2", 1600);
  EXPECT_EQ(list_->SelectedName(), "CD2.jpg");
  Type("x", 1700);  // no entry begins with "cd2x": the selection stays
  EXPECT_EQ(list_->SelectedName(), "CD2.jpg");
  EXPECT_EQ(changes_, 3);
  Type("d", 2200);  // half a second later: a new prefix
  EXPECT_EQ(list_->SelectedName(), "d.jpg");
  Type("", 2300, Qt::Key_Backspace);  // the prefix is empty again: the first entry
  EXPECT_EQ(list_->SelectedName(), "b.jpg");
  EXPECT_EQ(changes_, 5);
}

TEST_F(FileListBoxTest, ClickingTheSelectedEntryFiresNothing) {
  const QString dir = MixedFolder();
  TreeChanged(dir);
  list_->show();
  changes_ = 0;
  const QPoint second = list_->visualItemRect(list_->item(1)).center();
  QTest::mouseClick(list_->viewport(), Qt::LeftButton, Qt::NoModifier, second);
  EXPECT_EQ(list_->SelectedName(), "b.JPEG");
  EXPECT_EQ(changes_, 1);
  QTest::mouseClick(list_->viewport(), Qt::LeftButton, Qt::NoModifier, second);
  EXPECT_EQ(changes_, 1);
  QTest::keyClick(list_.get(), Qt::Key_Down);
  EXPECT_EQ(list_->SelectedName(), "c.Jpg");
  EXPECT_EQ(changes_, 2);
  list_->SelectName("C.JPG");  // already selected under the file-name comparison
  EXPECT_EQ(changes_, 2);
  EXPECT_EQ(list_->visualItemRect(list_->item(0)).height(),
            std::max(16, QFontMetrics(list_->font()).height()));
}

TEST_F(FileListBoxTest, FirstArrowKeyAfterFocusSelectsTheFirstEntry) {
  TreeChanged(MixedFolder());
  list_->show();
  list_->setFocus();
  QFocusEvent focus(QEvent::FocusIn, Qt::TabFocusReason);
  QApplication::sendEvent(list_.get(), &focus);
  changes_ = 0;
  QTest::keyClick(list_.get(), Qt::Key_Down);
  EXPECT_EQ(list_->SelectedName(), "A.jpg");
  EXPECT_EQ(changes_, 1);
}

// A held-down arrow key whose steps take longer than its repeats (large photos in the
// preview): the repeats queued behind a step make one step together once they have been
// read, so the selection stops where the key is let go. Repeats that come one at a time,
// and keys pressed anew, each make their own step, in the order they came. The clock is
// the test's; every OnChange takes 100 ms of it.
TEST_F(FileListBoxTest, RepeatsQueuedBehindASlowStepMakeOneStep) {
  const QString dir = MakeDir("held");
  for (int i = 0; i < 12; ++i) MakeFile(QString("held/p%1.jpg").arg(i, 2, 10, QChar('0')));
  TreeChanged(dir);
  qint64 now = 1000;
  list_->SetClock([&now] { return now; });
  QObject::connect(list_.get(), &FileListBox::OnChange, [&now] { now += 100; });
  list_->SetItemIndex(0);
  changes_ = 0;
  const auto press = [this](Qt::Key key, bool repeat) {
    QKeyEvent event(QEvent::KeyPress, key, Qt::NoModifier, QString(), repeat);
    QApplication::sendEvent(list_.get(), &event);
  };
  press(Qt::Key_Down, false);
  for (int i = 0; i < 4; ++i) press(Qt::Key_Down, true);  // queued during that step
  EXPECT_EQ(list_->ItemIndex(), 1);
  QCoreApplication::processEvents();
  EXPECT_EQ(list_->ItemIndex(), 2);
  EXPECT_EQ(changes_, 2);
  for (int i = 0; i < 3; ++i) {
    now += 40;
    press(Qt::Key_Down, true);
  }
  EXPECT_EQ(list_->ItemIndex(), 5);
  press(Qt::Key_Down, true);  // queued: held back ...
  press(Qt::Key_Up, false);   // ... and taken before this key
  EXPECT_EQ(list_->ItemIndex(), 5);
  QCoreApplication::processEvents();
  EXPECT_EQ(list_->ItemIndex(), 5);
  EXPECT_EQ(changes_, 7);
}

TEST_F(FileListBoxTest, ManyFilesAreListedInOrderAndTheBusyCursorEnds) {
  const QString dir = MakeDir("many");
  for (int i = 149; i >= 0; --i) MakeFile(QString("many/p%1.jpg").arg(i, 3, 10, QChar('0')));
  TreeChanged(dir);
  ASSERT_EQ(list_->Count(), 150);
  EXPECT_EQ(list_->Item(0), "p000.jpg");
  EXPECT_EQ(list_->Item(149), "p149.jpg");
  EXPECT_EQ(QApplication::overrideCursor(), nullptr);
}

TEST(FileListGlyph, UnknownFileIsAWhitePageOnAClearGround) {
  const QImage glyph = FileListBox::GlyphImage(ListGlyph::gUnknownFile);
  ASSERT_EQ(glyph.size(), QSize(16, 15));
  EXPECT_EQ(qAlpha(glyph.pixel(0, 14)), 0);
  EXPECT_EQ(glyph.pixel(2, 1), qRgb(0, 0, 0));     // outline, top left of the page
  EXPECT_EQ(glyph.pixel(13, 13), qRgb(0, 0, 0));   // outline, bottom right
  EXPECT_EQ(glyph.pixel(5, 8), qRgb(255, 255, 255));
  EXPECT_EQ(qAlpha(glyph.pixel(13, 1)), 0);        // the folded corner is cut away
}

}  // namespace
