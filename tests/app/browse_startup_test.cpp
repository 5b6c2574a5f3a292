#include <QTreeWidgetItemIterator>

#include "app/form_main.h"
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

}  // namespace
