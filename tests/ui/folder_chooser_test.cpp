// The output folder chooser on real temporary folder trees: what a choice yields, where the
// window opens, how it is placed again, and its tree's walk, renaming and refreshing.
#include <QAccessible>
#include <QApplication>
#include <QDir>
#include <QLineEdit>
#include <QPushButton>
#include <QTest>
#include <QTimer>
#include <functional>

#include "tests/qt_print.h"
#include "tests/ui/browse_fixture.h"
#include "ui/folder_chooser.h"
#include "ui/folder_chooser_window.h"

namespace {

class FolderChooserTest : public BrowseFixture {
 protected:
  void SetUp() override {
    BrowseFixture::SetUp();
    MakeDir("home/桌面文件夹");
  }

  // Runs check on the chooser window once it is open, then closes it by close().
  static void WhenOpen(std::function<void(FolderChooserWindow&)> check,
                      std::function<void(FolderChooserWindow&)> close) {
    QTimer::singleShot(0, [check, close] {
      auto* window = qobject_cast<FolderChooserWindow*>(QApplication::activeModalWidget());
      if (window == nullptr) {
        ADD_FAILURE() << "no chooser window open";
        return;
      }
      check(*window);
      close(*window);
    });
  }
  static void ClickOk(FolderChooserWindow& w) { w.findChild<QPushButton*>("btnOk")->click(); }
  static void PressEsc(FolderChooserWindow& w) { QTest::keyClick(&w, Qt::Key_Escape); }
  static void NoCheck(FolderChooserWindow&) {}

  static QString SelectedPath(FolderChooserWindow& w) {
    const FolderNode* node = static_cast<FolderNode*>(w.ShellTree()->currentItem());
    return node != nullptr ? node->Item().fs_path : QString("<none>");
  }
  static FolderNode* Child(QTreeWidgetItem* parent, const QString& text) {
    for (int i = 0; i < parent->childCount(); ++i) {
      if (parent->child(i)->text(0) == text) return static_cast<FolderNode*>(parent->child(i));
    }
    return nullptr;
  }

  FolderChooser chooser_;
};

TEST(ShortenPath, CutsLeadingFoldersOneByOneUntilTheTextFits) {
  const auto chars = [](const QString& text) { return static_cast<int>(text.size()); };
  const QString path = "/Photos/2008/Summer/Beach";  // 25 characters
  const struct {
    int limit;
    const char* shown;
  } cases[] = {
      {25, "/Photos/2008/Summer/Beach"}, {24, "/.../2008/Summer/Beach"},
      {21, "/.../Summer/Beach"},         {16, "/.../Beach"},
      {9, ".../Beach"},                  {8, "Beach"},
      {1, "Beach"},
  };
  for (const auto& c : cases) EXPECT_EQ(ShortenPath(path, c.limit, chars), c.shown) << c.limit;
  // A folder name that begins with a dot is a name like any other, not a left-over ".../":
  // cutting "/.a/" never leaves "/name", which would name another folder.
  EXPECT_EQ(ShortenPath("/.a/name", 7, chars), "name");
  EXPECT_EQ(ShortenPath("", 0, chars), "");
}

TEST_F(FolderChooserTest, ChosenPathRoundTripsFoldersAndFallsBackToTheDesktop) {
  const QString photos = MakeDir("home/photos/2008");
  const QString gone = MakeDir("home/gone");
  ASSERT_TRUE(QDir(gone).removeRecursively());
  QDir::setCurrent(Home());  // where "photos" would name a folder, were it taken as relative
  const struct {
    QString written, read;
  } cases[] = {
      {photos, photos},
      {photos + "/", photos},
      {"/", "/"},
      {Desktop(), Desktop()},
      {gone, Desktop()},  // a deleted folder
      {"", Desktop()},
      {"photos", Desktop()},  // not absolute
  };
  for (const auto& c : cases) {
    chooser_.SetChosenPath(c.written);
    EXPECT_EQ(chooser_.ChosenPath(), c.read) << c.written.toStdString();
  }
  chooser_.ChosenFolder = {FolderItem{FolderKind::fkComputer, "计算机", "", false, false}};
  EXPECT_EQ(chooser_.ChosenPath(), "");  // a virtual item has no path
}

TEST_F(FolderChooserTest, OkWithoutMovingGivesTheOpeningFolderAndVirtualItemsGiveEmptyText) {
  const QString photos = MakeDir("home/photos/2008");
  QLineEdit ePath;
  for (const QString& start : {photos, QString("/"), QString()}) {
    ePath.setText(start);
    WhenOpen(NoCheck, ClickOk);
    BrowseForFolder(chooser_, ePath);
    EXPECT_EQ(ePath.text(), start.isEmpty() ? Desktop() : start);
  }
  WhenOpen([&](FolderChooserWindow& w) { w.ShellTree()->setCurrentItem(w.ShellTree()->FindFolderNode(photos)); },
           [](FolderChooserWindow& w) { QTest::keyClick(w.ShellTree(), Qt::Key_Return); });
  BrowseForFolder(chooser_, ePath);
  EXPECT_EQ(ePath.text(), photos);  // Enter in the tree means OK
  WhenOpen(
      [](FolderChooserWindow& w) {
        ChooserTree* tree = w.ShellTree();
        tree->setCurrentItem(Child(tree->TopNode(), "计算机"));
        EXPECT_EQ(w.StatusText(), "");
        EXPECT_EQ(QAccessible::queryAccessibleInterface(tree)->text(QAccessible::Name),
                  "保存目录文件夹树");
      },
      ClickOk);
  BrowseForFolder(chooser_, ePath);
  EXPECT_EQ(ePath.text(), "");
}

TEST_F(FolderChooserTest, CancelEscAndCloseBoxKeepThePathBox) {
  const QString photos = MakeDir("home/photos");
  QLineEdit ePath;
  const std::function<void(FolderChooserWindow&)> closers[] = {
      [](FolderChooserWindow& w) { w.findChild<QPushButton*>("btnCancel")->click(); },
      PressEsc,
      [](FolderChooserWindow& w) { w.close(); },
  };
  for (const QString& text : {QString(), QString(" untrimmed")}) {
    for (const auto& close : closers) {
      ePath.setText(text);
      WhenOpen([&](FolderChooserWindow& w) { w.ShellTree()->setCurrentItem(w.ShellTree()->FindFolderNode(photos)); },
               close);
      BrowseForFolder(chooser_, ePath);
      EXPECT_EQ(ePath.text(), text);
    }
  }
}

TEST_F(FolderChooserTest, EnterAndEscWhileRenamingEndTheEditNotTheWindow) {
  const QString photos = MakeDir("home/桌面文件夹/photos");
  QLineEdit ePath(photos);
  bool still_open = false;
  WhenOpen(
      [&](FolderChooserWindow& w) {
        ChooserTree* tree = w.ShellTree();
        tree->editItem(tree->currentItem());
        auto* editor = tree->findChild<QLineEdit*>();
        ASSERT_NE(editor, nullptr);
        editor->selectAll();
        QTest::keyClicks(editor, " pictures ");
        QTest::keyClick(editor, Qt::Key_Return);
        QCoreApplication::processEvents();
        still_open = w.isVisible() && w.result() == 0;
      },
      PressEsc);
  BrowseForFolder(chooser_, ePath);
  EXPECT_TRUE(still_open);
  EXPECT_EQ(ePath.text(), photos);  // closed by Esc afterwards
  EXPECT_TRUE(QDir(Desktop() + "/pictures").exists());
}

TEST_F(FolderChooserTest, SecondOpeningWalksDownToTheChosenFolder) {
  const QString deep = MakeDir("home/photos/.hidden/2008");
  QLineEdit ePath;
  WhenOpen(
      [&](FolderChooserWindow& w) {
        EXPECT_EQ(w.windowTitle(), "Browse for Folder");
        EXPECT_EQ(SelectedPath(w), Desktop());  // empty box: the desktop
        w.ShellTree()->setCurrentItem(w.ShellTree()->FindFolderNode(deep));
      },
      ClickOk);
  BrowseForFolder(chooser_, ePath);
  ASSERT_EQ(ePath.text(), deep);
  WhenOpen(
      [&](FolderChooserWindow& w) {
        EXPECT_EQ(SelectedPath(w), deep);
        EXPECT_TRUE(w.StatusText().endsWith("/2008")) << w.StatusText().toStdString();
        const QTreeWidgetItem* node = w.ShellTree()->currentItem();
        EXPECT_FALSE(node->isExpanded());
        for (const QTreeWidgetItem* up = node->parent(); up != nullptr; up = up->parent()) {
          EXPECT_TRUE(up->isExpanded()) << up->text(0).toStdString();
        }
        EXPECT_EQ(w.ShellTree()->Beeps(), 0);
      },
      PressEsc);
  BrowseForFolder(chooser_, ePath);
}

TEST_F(FolderChooserTest, OpensCentredAtDesignSizeThenWhereAndHowItWasClosed) {
  QLineEdit ePath;
  WhenOpen(
      [](FolderChooserWindow& w) {
        // The design's client size, unless the window system's frame is too thin for the
        // smallest outer size of 366 x 340.
        const QSize frame = w.frameGeometry().size() - w.size();
        EXPECT_EQ(w.size(), QSize(std::max(358, 366 - frame.width()), std::max(325, 340 - frame.height())));
        const QPoint screen_centre = QGuiApplication::primaryScreen()->availableGeometry().center();
        EXPECT_LE((w.frameGeometry().center() - screen_centre).manhattanLength(), 2);
        w.setGeometry(40, 50, 400, 380);
      },
      PressEsc);
  BrowseForFolder(chooser_, ePath);
  EXPECT_EQ(chooser_.FormPosition, poDesigned);
  WhenOpen(
      [](FolderChooserWindow& w) {
        EXPECT_EQ(w.geometry(), QRect(40, 50, 400, 380));
        w.showMaximized();
      },
      PressEsc);
  BrowseForFolder(chooser_, ePath);
  EXPECT_EQ(chooser_.FormWindowState, wsMaximized);
  WhenOpen(
      [](FolderChooserWindow& w) {
        EXPECT_TRUE(w.isMaximized());
        w.showNormal();
        EXPECT_EQ(w.geometry(), QRect(40, 50, 400, 380));
      },
      PressEsc);
  BrowseForFolder(chooser_, ePath);

  FolderChooser fresh;  // a new run starts centred again
  EXPECT_EQ(fresh.FormPosition, poScreenCenter);
  EXPECT_EQ(fresh.Options, 706u);
}

TEST_F(FolderChooserTest, CreateAndDeleteButtonsNumberNewFoldersAndTrashTheSelected) {
  const QString out = MakeDir("home/out");
  MakeDir("home/out/New Folder");
  chooser_.Options |= 1u << sfdoCreateDeleteButtons;
  QLineEdit ePath(out);
  WhenOpen(
      [&](FolderChooserWindow& w) {
        ChooserTree* tree = w.ShellTree();
        auto new_folder = [&] {
          tree->setCurrentItem(tree->FindFolderNode(out));
          w.findChild<QPushButton*>("btnNewFolder")->click();
          if (auto* editor = tree->findChild<QLineEdit*>()) QTest::keyClick(editor, Qt::Key_Escape);
          return SelectedPath(w);
        };
        EXPECT_EQ(new_folder(), out + "/New Folder (2)");  // the new one is selected
        EXPECT_EQ(new_folder(), out + "/New Folder (3)");
        w.findChild<QPushButton*>("btnDeleteFolder")->click();
        EXPECT_EQ(SelectedPath(w), out);
        EXPECT_EQ(Child(tree->FindFolderNode(out), "New Folder (3)"), nullptr);
      },
      PressEsc);
  BrowseForFolder(chooser_, ePath);
  EXPECT_EQ(QDir(out).entryList(QDir::Dirs | QDir::NoDotAndDotDot),
            (QStringList{"New Folder", "New Folder (2)"}));
  EXPECT_TRUE(QDir(Home() + "/.local/share/Trash/files/New Folder (3)").exists());
}

TEST_F(FolderChooserTest, TreeListsHiddenFoldersAndRenamesWithTrimmingInOrder) {
  MakeDir("home/桌面文件夹/.cache");
  for (const char* name : {"alpha", "beta", "gamma"}) MakeDir(QString("home/桌面文件夹/") + name);
  ChooserTree tree(nullptr, chooser_.Namespace(), true, false);
  tree.Fill();
  FolderNode* top = tree.TopNode();
  FolderNode* hidden = Child(top, ".cache");
  ASSERT_NE(hidden, nullptr);
  EXPECT_TRUE(ChooserTree::IsHidden(hidden->Item()));

  FolderNode* alpha = Child(top, "alpha");
  tree.setCurrentItem(alpha);
  tree.RenameEdited(alpha, "  \tdelta \n");
  QCoreApplication::processEvents();
  EXPECT_TRUE(QDir(Desktop() + "/delta").exists());
  QStringList order;
  for (int i = 0; i < top->childCount(); ++i) order << top->child(i)->text(0);
  EXPECT_LT(order.indexOf("beta"), order.indexOf("delta"));
  EXPECT_LT(order.indexOf("delta"), order.indexOf("gamma"));
  EXPECT_EQ(static_cast<FolderNode*>(tree.currentItem())->Item().fs_path, Desktop() + "/delta");
}

TEST_F(FolderChooserTest, RefreshShowsDiskChangesAndAMissingLevelBeeps) {
  const QString outer = MakeDir("home/桌面文件夹/outer/inner");
  ChooserTree tree(nullptr, chooser_.Namespace(), true, false);
  tree.Fill();
  const FolderChain chain = FolderChooser::ChainForFolder(tree.Namespace(), outer);
  ASSERT_TRUE(QDir(outer).removeRecursively());
  tree.SelectChain(chain);  // "inner" is gone: the walk stops at "outer"
  EXPECT_EQ(tree.Beeps(), 1);
  FolderNode* outer_node = static_cast<FolderNode*>(tree.currentItem());
  EXPECT_EQ(outer_node->Item().fs_path, Desktop() + "/outer");

  MakeDir("home/桌面文件夹/outer/new");
  tree.RefreshAll();
  outer_node = static_cast<FolderNode*>(tree.currentItem());
  EXPECT_EQ(outer_node->Item().fs_path, Desktop() + "/outer");
  outer_node->setExpanded(true);
  EXPECT_NE(Child(outer_node, "new"), nullptr);

  tree.RunMenuCommand(outer_node, ShellTreeView::Command::cmTrash);
  EXPECT_FALSE(QDir(Desktop() + "/outer").exists());
  EXPECT_EQ(Child(tree.TopNode(), "outer"), nullptr);
  EXPECT_EQ(tree.currentItem(), tree.TopNode());
}

}  // namespace
