#include "ui/shell_tree_view.h"

#include <QApplication>
#include <QImage>
#include <QLineEdit>
#include <QMenu>
#include <QTest>
#include <QTimer>

#include <functional>

#include "tests/qt_print.h"
#include "tests/ui/browse_fixture.h"
#include "ui/file_list_box.h"
#include "ui/message_box.h"

namespace {

class ShellTreeViewTest : public BrowseFixture {
 protected:
  void SetUp() override {
    BrowseFixture::SetUp();
    for (const char* name : {"a10", "a2", "B", ".hidden", "?1x?y", "empty", "onlyhidden/.h",
                             "full/c1/d1"}) {
      MakeDir(QString("home/桌面文件夹/") + name);
    }
    MakeFile("home/桌面文件夹/f.jpg");
    tree_ = std::make_unique<ShellTreeView>();
    tree_->resize(300, 500);
    QObject::connect(tree_.get(), &ShellTreeView::OnChange, [this] { ++changes_; });
  }
  void TearDown() override {
    tree_.reset();
    BrowseFixture::TearDown();
  }

  FolderNode* Child(QTreeWidgetItem* parent, const QString& text) {
    for (int i = 0; i < parent->childCount(); ++i) {
      if (parent->child(i)->text(0) == text) return static_cast<FolderNode*>(parent->child(i));
    }
    return nullptr;
  }
  std::vector<QString> ChildTexts(QTreeWidgetItem* parent) {
    std::vector<QString> texts;
    for (int i = 0; i < parent->childCount(); ++i) texts.push_back(parent->child(i)->text(0));
    return texts;
  }

  // Right-clicks the top node's child of that text through the window, as the window system
  // delivers it, and runs in_menu on the menu while it is open.
  void RightClick(const char* text, const std::function<void(QMenu*)>& in_menu) {
    QTimer poll;
    QObject::connect(&poll, &QTimer::timeout, [&] {
      if (auto* menu = qobject_cast<QMenu*>(QApplication::activePopupWidget())) in_menu(menu);
    });
    poll.start(10);
    QWidget* window = tree_->window();
    const QRect rect = tree_->visualItemRect(Child(tree_->TopNode(), text));
    QTest::mouseClick(window->windowHandle(), Qt::RightButton, Qt::NoModifier,
                      tree_->viewport()->mapTo(window, rect.center()));
  }

  std::unique_ptr<ShellTreeView> tree_;
  int changes_ = 0;
};

using Texts = std::vector<QString>;

TEST_F(ShellTreeViewTest, FillSelectsTheDesktopAndListsItsFoldersInFileManagerOrder) {
  EXPECT_EQ(tree_->SelectedPath(), "");
  tree_->Fill();
  EXPECT_EQ(changes_, 1);
  FolderNode* top = tree_->TopNode();
  EXPECT_EQ(top->text(0), "桌面");
  EXPECT_EQ(tree_->SelectedPath(), Desktop());
  EXPECT_TRUE(top->isExpanded());
  EXPECT_EQ(ChildTexts(top),
            (Texts{"home", "计算机", "1xy", "a2", "a10", "B", "empty", "full", "onlyhidden"}));
  // The expand mark comes from a look for one visible subfolder.
  EXPECT_EQ(Child(top, "full")->childIndicatorPolicy(), QTreeWidgetItem::ShowIndicator);
  EXPECT_EQ(Child(top, "empty")->childIndicatorPolicy(), QTreeWidgetItem::DontShowIndicator);
  EXPECT_EQ(Child(top, "onlyhidden")->childIndicatorPolicy(),
            QTreeWidgetItem::DontShowIndicator);
  EXPECT_EQ(Child(top, "full")->childCount(), 0);  // not listed before its first expansion
}

TEST_F(ShellTreeViewTest, PathStringsOfDesktopRootFolderAndVirtualNode) {
  MakeDir("home/桌面文件夹/?x");  // "?" then no digit: the name stays as it is
  tree_->Fill();
  FolderNode* top = tree_->TopNode();
  const struct {
    FolderNode* node;
    QString path;
  } cases[] = {
      {top, Desktop()},
      {Child(top, "home"), Home()},
      {Child(top, "计算机"), "计算机"},
      {Child(top, "1xy"), Desktop() + "/?1x?y"},
      {Child(top, "?x"), Desktop() + "/?x"},
      {tree_->FindFolderNode(Desktop() + "/full/c1/"), Desktop() + "/full/c1"},
      {tree_->FindFolderNode("/"), "/"},
  };
  for (const auto& c : cases) {
    ASSERT_NE(c.node, nullptr) << c.path.toStdString();
    tree_->setCurrentItem(c.node);
    EXPECT_EQ(tree_->SelectedPath(), c.path);
  }
  FolderNode* computer = Child(top, "计算机");
  EXPECT_EQ(Child(computer, "文件系统"), tree_->FindFolderNode("/"));
  int roots = 0;  // the root is listed once, not again among the volumes
  for (int i = 0; i < computer->childCount(); ++i) {
    roots += static_cast<FolderNode*>(computer->child(i))->Item().PathString() == "/";
  }
  EXPECT_EQ(roots, 1);
  // A desktop folder is found where it is shown, under the desktop, not through the root.
  EXPECT_EQ(tree_->FindFolderNode(Desktop() + "/full")->parent(), top);
  EXPECT_EQ(changes_, 7);
}

TEST_F(ShellTreeViewTest, DesktopIsTheHomeFolderWhenItsDirectoryIsMissing) {
  QDir(Desktop()).removeRecursively();
  tree_->Fill();
  EXPECT_EQ(tree_->SelectedPath(), Home());
}

TEST_F(ShellTreeViewTest, FoldersAreListedOnceUntilRefreshKeepsExpansionAndSelection) {
  tree_->Fill();
  FolderNode* full = tree_->FindFolderNode(Desktop() + "/full");
  ASSERT_NE(full, nullptr);
  full->setExpanded(true);
  FolderNode* c1 = Child(full, "c1");
  c1->setExpanded(true);
  tree_->setCurrentItem(Child(c1, "d1"));
  MakeDir("home/桌面文件夹/full/c0/e");
  full->setExpanded(false);
  full->setExpanded(true);
  EXPECT_EQ(ChildTexts(full), (Texts{"c1"}));

  changes_ = 0;
  tree_->RunCommand(full, ShellTreeView::Command::cmRefresh);
  EXPECT_EQ(ChildTexts(full), (Texts{"c0", "c1"}));
  EXPECT_TRUE(full->isExpanded());
  EXPECT_TRUE(Child(full, "c1")->isExpanded());
  EXPECT_EQ(tree_->SelectedPath(), Desktop() + "/full/c1/d1");
  EXPECT_EQ(changes_, 0);

  // A selected folder gone from the disk passes the selection to the refreshed node, and the
  // list hears of it.
  QDir(Desktop() + "/full/c1").removeRecursively();
  tree_->RunCommand(full, ShellTreeView::Command::cmRefresh);
  EXPECT_EQ(tree_->SelectedPath(), Desktop() + "/full");
  EXPECT_EQ(changes_, 1);

  // A folder whose last subfolder went away loses its expand mark when opened.
  FolderNode* c0 = Child(full, "c0");
  EXPECT_EQ(c0->childIndicatorPolicy(), QTreeWidgetItem::ShowIndicator);
  QDir(Desktop() + "/full/c0/e").removeRecursively();
  c0->setExpanded(true);
  EXPECT_EQ(c0->childCount(), 0);
  EXPECT_FALSE(c0->isExpanded());
}

TEST_F(ShellTreeViewTest, LabelEditingRenamesTheFolderOrReportsTheRefusal) {
  tree_->Fill();
  tree_->show();
  FolderNode* top = tree_->TopNode();
  auto edit = [&](FolderNode* node, const QString& text) {
    tree_->setCurrentItem(node);
    tree_->RunCommand(node, ShellTreeView::Command::cmRename);
    auto* editor = tree_->findChild<QLineEdit*>();
    ASSERT_NE(editor, nullptr);
    editor->setText(text);
    QTest::keyClick(editor, Qt::Key_Return);
    QCoreApplication::processEvents();  // the edit is committed through a queued call,
    QCoreApplication::processEvents();  // and a refusal's box comes after the editor closed
    QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
  };
  FolderNode* full = Child(top, "full");
  full->setExpanded(true);
  tree_->setCurrentItem(full);
  changes_ = 0;
  edit(full, "renamed");
  EXPECT_EQ(changes_, 1);  // the selected folder moved: the list follows it
  EXPECT_TRUE(QDir(Desktop() + "/renamed/c1").exists());
  EXPECT_EQ(full->text(0), "renamed");
  EXPECT_EQ(tree_->SelectedPath(), Desktop() + "/renamed");
  tree_->setCurrentItem(Child(full, "c1"));  // children follow their parent's new name
  EXPECT_EQ(tree_->SelectedPath(), Desktop() + "/renamed/c1");

  // Taken: the rename is refused, and the row shows its old name before the box comes up.
  bool editing_under_box = true;
  ScopedBoxCapture boxes([&](const QString&) {
    const auto* editor = tree_->findChild<QLineEdit*>();
    editing_under_box = editor != nullptr && editor->isVisible();
  });
  edit(Child(top, "a10"), "B");
  EXPECT_EQ(boxes.Texts(), QStringList{"Rename to B failed."});
  EXPECT_FALSE(editing_under_box);
  EXPECT_EQ(Child(top, "a10")->text(0), "a10");
  EXPECT_TRUE(QDir(Desktop() + "/a10").exists());
  EXPECT_NE(Child(top, "a10"), nullptr);
}

TEST_F(ShellTreeViewTest, RightClickMenuActsOnItsNodeWithoutMovingTheSelection) {
  tree_->Fill();
  tree_->show();
  QString path_in_menu;
  QStringList entries;  // text, and "-" after a disabled one
  QRgb menu_row = 0, selected_row = 0;
  const QRgb highlight = tree_->palette().color(QPalette::Highlight).rgb();
  changes_ = 0;
  auto right_click = [&](const char* text) {
    entries.clear();
    RightClick(text, [&](QMenu* menu) {
      path_in_menu = tree_->SelectedPath();
      for (QAction* action : menu->actions()) {
        if (!action->isSeparator()) entries << action->text() + (action->isEnabled() ? "" : "-");
      }
      const QImage shown = tree_->viewport()->grab().toImage();
      auto row_colour = [&](QTreeWidgetItem* node) {
        const QRect rect = tree_->visualItemRect(node);
        return shown.pixel(rect.right() - 2, rect.center().y());
      };
      menu_row = row_colour(Child(tree_->TopNode(), text));
      selected_row = row_colour(tree_->TopNode());
      menu->close();
    });
  };
  right_click("a2");
  EXPECT_EQ(entries, (QStringList{"打开", "重命名", "移到回收站", "刷新"}));
  EXPECT_EQ(path_in_menu, Desktop() + "/a2");
  EXPECT_EQ(menu_row, highlight);  // the menu's node stays marked while the menu is open
  EXPECT_NE(selected_row, highlight);
  right_click("计算机");  // no folder on disk: nothing to open, rename or throw away
  EXPECT_EQ(entries, (QStringList{"打开-", "重命名-", "移到回收站-", "刷新"}));
  right_click("home");  // the home folder stays where it is
  EXPECT_EQ(entries, (QStringList{"打开", "重命名-", "移到回收站-", "刷新"}));
  EXPECT_EQ(tree_->SelectedPath(), Desktop());
  EXPECT_EQ(changes_, 0);
}

// A new account (no ~/.local yet), with the current directory in the listed folder.
TEST_F(ShellTreeViewTest, TheTrashEntryMovesTheFolderToTheHomeTrashAndNowhereElse) {
  qunsetenv("XDG_DATA_HOME");
  ASSERT_TRUE(QDir(Home() + "/.local").removeRecursively());
  QDir::setCurrent(Desktop());
  tree_->Fill();
  tree_->show();
  FolderNode* top = tree_->TopNode();
  tree_->setCurrentItem(Child(top, "empty"));
  changes_ = 0;
  auto entries = [&] {
    return QDir(Desktop()).entryList(QDir::AllEntries | QDir::Hidden | QDir::NoDotAndDotDot);
  };
  QStringList left = entries();
  left.removeOne("empty");
  RightClick("empty", [](QMenu* menu) {
    for (QAction* action : menu->actions()) {
      if (action->text() == "移到回收站") {
        QTest::mouseClick(menu, Qt::LeftButton, {}, menu->actionGeometry(action).center());
      }
    }
  });
  EXPECT_EQ(entries(), left);
  EXPECT_TRUE(QDir(Home() + "/.local/share/Trash/files/empty").exists());
  EXPECT_EQ(Child(top, "empty"), nullptr);
  EXPECT_EQ(changes_, 1);  // the selection moved to a neighbour
  EXPECT_TRUE(QDir(tree_->SelectedPath()).exists());
}

TEST_F(ShellTreeViewTest, StartUpListsTheDesktopJpegFiles) {
  FileListBox list;
  list.SetMask("*.jpg;*.jpeg");
  QObject::connect(tree_.get(), &ShellTreeView::OnChange, [&] {
    try {
      list.Clear();
      list.ApplyPath(tree_->SelectedPath());
    } catch (const std::exception&) {
    }
  });
  tree_->Fill();
  EXPECT_EQ(list.Folder(), Desktop());
  ASSERT_EQ(list.Count(), 1);
  EXPECT_EQ(list.Item(0), "f.jpg");
  tree_->setCurrentItem(Child(tree_->TopNode(), "计算机"));
  EXPECT_EQ(list.Count(), 0);
  EXPECT_EQ(list.Folder(), Desktop());
}

}  // namespace
