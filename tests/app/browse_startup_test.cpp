#include <QAccessible>
#include <QLabel>
#include <QTest>
#include <QTreeWidgetItemIterator>

#include "app/form_main.h"
#include "tests/app/window_fixture.h"
#include "tests/qt_print.h"
#include "tests/ui/browse_fixture.h"
#include "ui/file_list_box.h"
#include "ui/message_box.h"
#include "ui/shell_tree_view.h"

namespace {

class StartUpBrowseTest : public BrowseFixture {};

TEST_F(StartUpBrowseTest, TheWindowOpensOnTheDesktopJpegFilesAndIgnoresUnusableNodes) {
  MakeDir("home/桌面文件夹/sub");
  for (const char* name : {"b.JPG", "a.jpeg", "c.png"}) MakeFile(QString("home/桌面文件夹/") + name);
  ScopedBoxCapture boxes;
  TFormMain form;
  auto* tree = form.findChild<ShellTreeView*>("ShellTreeView1");
  auto* list = form.findChild<FileListBox*>("FileListBox1");
  ASSERT_NE(tree, nullptr);
  ASSERT_NE(list, nullptr);
  EXPECT_EQ(tree->SelectedPath(), Desktop());
  EXPECT_EQ(list->Folder(), Desktop());
  ASSERT_EQ(list->Count(), 2);
  EXPECT_EQ(list->Item(0), "a.jpeg");
  EXPECT_EQ(list->Item(1), "b.JPG");

  FolderNode* computer = nullptr;
  for (QTreeWidgetItemIterator it(tree); *it != nullptr; ++it) {
    if ((*it)->text(0) == "计算机") computer = static_cast<FolderNode*>(*it);
  }
  ASSERT_NE(computer, nullptr);
  tree->setCurrentItem(computer);  // a name, not a folder: an empty list and no message
  EXPECT_EQ(list->Count(), 0);
  EXPECT_EQ(list->Folder(), Desktop());
  tree->setCurrentItem(tree->TopNode());
  EXPECT_EQ(list->Count(), 2);
  EXPECT_TRUE(boxes.Texts().isEmpty());
}

// What a screen reader meets in the browsing controls, and selection through it: the same
// handlers run as for the mouse and the keys (the list follows the tree, the preview the list).
TEST_F(StartUpBrowseTest, AssistiveToolsHearTheControlsAndSelectLikeTheMouse) {
  MakeDir("home/桌面文件夹/sub");
  WriteJpeg(Desktop() + "/sub/a.jpg", 20, 10);
  ScopedBoxCapture boxes;
  TFormMain form;
  form.show();
  QCoreApplication::processEvents();
  auto* tree = form.findChild<ShellTreeView*>("ShellTreeView1");
  auto* list = form.findChild<FileListBox*>("FileListBox1");
  QAccessibleInterface* tree_access = QAccessible::queryAccessibleInterface(tree);
  QAccessibleInterface* list_access = QAccessible::queryAccessibleInterface(list);
  EXPECT_EQ(tree_access->text(QAccessible::Name), "文件夹树");
  EXPECT_EQ(list_access->text(QAccessible::Name), "JPEG 文件列表");

  QAccessibleInterface* sub = nullptr;
  for (int i = 0; i < tree_access->childCount(); ++i) {
    QAccessibleInterface* child = tree_access->child(i);
    if (child->role() == QAccessible::ColumnHeader) {  // hidden, so nothing to say
      EXPECT_TRUE(child->state().invisible);
      EXPECT_EQ(child->text(QAccessible::Name), "");
    }
    if (child->text(QAccessible::Name) == "sub") sub = child;
  }
  ASSERT_NE(sub, nullptr);
  ASSERT_NE(sub->actionInterface(), nullptr);
  sub->actionInterface()->doAction(QAccessibleActionInterface::toggleAction());
  EXPECT_EQ(tree->SelectedPath(), Desktop() + "/sub");
  EXPECT_EQ(list->Folder(), Desktop() + "/sub");
  ASSERT_EQ(list_access->childCount(), 1);

  QAccessibleInterface* entry = list_access->child(0);
  EXPECT_EQ(entry->text(QAccessible::Name), "a.jpg");
  entry->actionInterface()->doAction(QAccessibleActionInterface::toggleAction());
  EXPECT_EQ(list->SelectedFile(), Desktop() + "/sub/a.jpg");
  EXPECT_EQ(form.findChild<QLabel*>("LabFile")->text(), "尺寸:20x10");
  QTest::keyClick(list, Qt::Key_Up);  // the keys go on from the entry selected
  EXPECT_EQ(list->ItemIndex(), 0);
  EXPECT_TRUE(boxes.Texts().isEmpty());
}

}  // namespace
