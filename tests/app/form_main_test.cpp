#include "app/form_main.h"

#include <QAccessible>
#include <QLabel>
#include <QLineEdit>
#include <QPlainTextEdit>
#include <QProgressBar>
#include <QRadioButton>
#include <QTest>
#include <QToolButton>
#include <gtest/gtest.h>

#include "tests/qt_print.h"
#include "ui/message_box.h"

namespace {

// A box as it was presented, with the text its number box held at that moment.
struct Shown {
  QString message;
  QString box_text;
  bool operator==(const Shown&) const = default;
};

void PrintTo(const Shown& shown, std::ostream* out) {
  *out << "{" << shown.message.toStdString() << ", box \"" << shown.box_text.toStdString() << "\"}";
}

class FormMainTest : public ::testing::Test {
 protected:
  FormMainTest() { form.show(); }

  template <class Widget = QWidget>
  Widget* Find(const char* name) {
    auto* widget = form.findChild<Widget*>(QString::fromLatin1(name));
    EXPECT_NE(widget, nullptr) << name;
    return widget;
  }
  QLineEdit* Box(const char* name) { return Find<QLineEdit>(name); }
  void Click(const char* name) {
    QWidget* widget = Find(name);
    QTest::mouseClick(widget, Qt::LeftButton, {}, QPoint(5, widget->height() / 2));
  }

  // Selects the whole text of the box by keyboard and types text over it, recording every
  // box presented on the way.
  std::vector<Shown> TypeInto(const char* name, const QString& text) {
    QLineEdit* box = Box(name);
    std::vector<Shown> shown;
    ScopedBoxCapture capture([&](const QString& message) { shown.push_back({message, box->text()}); });
    QTest::keyClick(box, Qt::Key_A, Qt::ControlModifier);
    if (text.isEmpty()) QTest::keyClick(box, Qt::Key_Delete);
    QTest::keyClicks(box, text);
    return shown;
  }

  TFormMain form;
};

const char* const kSizingBoxes[] = {"editRate", "editHH", "editWW", "editH",
                                    "editW",    "editQH", "editQW"};

TEST_F(FormMainTest, OpensWithTheInitialValues) {
  EXPECT_EQ(form.windowTitle(), "Tessarine V2.0");
  EXPECT_EQ(form.frameGeometry().size(), QSize(800, 600));
  EXPECT_TRUE(Find<QRadioButton>("rb1")->isChecked());
  EXPECT_TRUE(Find<QRadioButton>("rbname1")->isChecked());
  const std::pair<const char*, const char*> texts[] = {
      {"editRate", "50"}, {"editHH", "50"},  {"editWW", "50"}, {"editH", "100"},
      {"editW", "100"},   {"editQH", "100"}, {"editQW", "100"}, {"Edit2", "tb"}, {"ePath", ""}};
  for (const auto& [name, text] : texts) EXPECT_EQ(Box(name)->text(), text) << name;
  for (const char* name : kSizingBoxes)
    EXPECT_EQ(Box(name)->isEnabled(), std::string(name) == "editRate") << name;
  EXPECT_EQ(Box("Edit2")->maxLength(), 2);
  EXPECT_TRUE(Box("ePath")->isReadOnly());
  EXPECT_FALSE(Find<QToolButton>("BtnSF")->isEnabled());
  EXPECT_EQ(Find<QToolButton>("BtnSF")->toolTip(), "选择文件夹");
  EXPECT_TRUE(Find<QProgressBar>("ProgressBar1")->isHidden());
  EXPECT_TRUE(Find<QPlainTextEdit>("Memo1")->isReadOnly());
  EXPECT_EQ(Find<QLabel>("Label7")->text(), "Tessarine  V2.1");
  for (const char* name : {"ShellTreeView1", "FileListBox1", "Image1", "LabFile", "Panel1",
                           "Panel2", "Panel3", "Splitter1", "Splitter2", "Splitter3",
                           "GroupBox2", "SpeedButton1", "SpeedButton2", "BTNAbout",
                           "BTNHomePage"})
    Find(name);
  const MainControls controls = form.Controls();
  EXPECT_EQ(controls.editQW, Box("editQW"));
  EXPECT_EQ(controls.Memo1, Find("Memo1"));
}

TEST_F(FormMainTest, NumberBoxesCorrectBadInputInTheirOrder) {
  struct Case {
    const char* radio;
    const char* box;
    QString typed;
    std::vector<Shown> shown;  // message, and the box's text when it was presented
  };
  const Case cases[] = {
      {"rb1", "editRate", "15", {}},
      {"rb1", "editRate", "150", {{"本程序只提供缩小图片功能！", "150"}}},
      {"rb1", "editRate", "100", {}},
      {"rb1", "editRate", "0", {{"最小尺寸为1！", "0"}}},
      {"rb4", "editH", "0", {{"最小尺寸为1！", "0"}}},
      {"rb4", "editW", "1001", {{"最大尺寸为1000！", "1001"}}},
      {"rb2", "editHH", "999", {}},  // a pixel count despite its "%" label
      {"rb3", "editWW", "1000", {}},
      {"rb3", "editWW", "-", {{"请输入数字！", "100"}}},  // a lone sign
      {"rb5", "editQW", "abc",
       {{"请输入数字！", "100"}, {"请输入数字！", "100"}, {"请输入数字！", "100"}}},
      {"rb5", "editQW", "", {{"请输入数字！", "100"}}},  // the whole text deleted
      // Typed key by key, "$" alone is no number yet: the box is reset before "10" arrives.
      {"rb5", "editQH", "$10", {{"请输入数字！", "100"}, {"最大尺寸为1000！", "1001"}}},
  };
  for (const Case& c : cases) {
    Click(c.radio);
    EXPECT_EQ(TypeInto(c.box, c.typed), c.shown) << c.box << " typed '" << c.typed.toStdString() << "'";
    const bool corrected = !c.shown.empty();
    EXPECT_EQ(Box(c.box)->text(), corrected ? (c.typed == "$10" ? "1000" : "100") : c.typed) << c.box;
  }
}

TEST_F(FormMainTest, EachSizingRuleEnablesExactlyItsBoxes) {
  const std::pair<const char*, std::vector<std::string>> table[] = {
      {"rb4", {"editH", "editW"}},   {"rb1", {"editRate"}}, {"rb2", {"editHH"}},
      {"rb3", {"editWW"}},           {"rb5", {"editQH", "editQW"}},
      {"rb1", {"editRate"}}};
  const QString before = Box("editQW")->text();
  for (const auto& [radio, enabled] : table) {
    Click(radio);
    EXPECT_TRUE(Find<QRadioButton>(radio)->isChecked()) << radio;
    for (const char* box : kSizingBoxes) {
      const bool on = std::find(enabled.begin(), enabled.end(), box) != enabled.end();
      EXPECT_EQ(Box(box)->isEnabled(), on) << radio << " " << box;
    }
  }
  EXPECT_EQ(Box("editQW")->text(), before);  // disabling keeps the text
}

TEST_F(FormMainTest, FolderButtonFollowsTheOutputFolderRule) {
  Box("ePath")->setText("/tmp/out");
  EXPECT_FALSE(Find<QToolButton>("BtnSF")->autoRaise());  // framed: it looks like a button
  Click("rbname2");
  EXPECT_TRUE(Find("BtnSF")->isEnabled());
  EXPECT_TRUE(Find("Edit2")->isEnabled());
  Click("rbname1");
  EXPECT_FALSE(Find("BtnSF")->isEnabled());
  EXPECT_EQ(Box("ePath")->text(), "/tmp/out");
  form.activateWindow();
  ASSERT_TRUE(QTest::qWaitForWindowActive(&form));
  Find("rbname1")->setFocus();
  QTest::keyClick(Find("rbname1"), Qt::Key_Down);  // arrow keys check the next radio button
  EXPECT_TRUE(Find<QRadioButton>("rbname2")->isChecked());
  EXPECT_TRUE(Find("BtnSF")->isEnabled());
}

TEST_F(FormMainTest, WindowNeverGetsSmallerThan800By600) {
  const QSize frame = form.frameGeometry().size() - form.size();
  const QSize tries[][2] = {{{500, 400}, {800, 600}},
                            {{700, 900}, {800, 900}},
                            {{1000, 300}, {1000, 600}},
                            {{900, 700}, {900, 700}}};
  for (const auto& [asked, expected] : tries) {  // outer sizes
    form.resize(asked - frame);
    QCoreApplication::processEvents();
    EXPECT_EQ(form.frameGeometry().size(), expected) << asked.width() << "x" << asked.height();
  }
}

TEST_F(FormMainTest, ScreenReadersHearCaptionsAndTabFollowsReadingOrder) {
  const std::pair<const char*, const char*> names[] = {
      {"rb1", "按比例缩小"},       {"editRate", "按比例缩小"},
      {"editHH", "按高度比例"},    {"editWW", "按宽度比例"},
      {"editH", "高度"},           {"editW", "宽度"},
      {"editQH", "高度最大值"},    {"editQW", "宽度最大值"},
      {"Edit2", "当前目录，原文件名前加字符:"},
      {"ePath", "自定义路径，保持原文件名"},
      {"BtnSF", "选择文件夹"},     {"SpeedButton2", "批量生成当前目录图片缩略图"},
      {"BTNAbout", "关于"},        {"Memo1", "处理信息"}};
  for (const auto& [widget, name] : names) {
    QAccessibleInterface* accessible = QAccessible::queryAccessibleInterface(Find(widget));
    ASSERT_NE(accessible, nullptr) << widget;
    EXPECT_EQ(accessible->text(QAccessible::Name), name) << widget;
  }
  const char* const order[] = {"BTNAbout", "BTNHomePage", "ShellTreeView1", "FileListBox1",
                               "rb1", "editRate", "rb2", "editHH", "rb3", "editWW", "rb4",
                               "editH", "editW", "rb5", "editQH", "editQW", "rbname1", "Edit2",
                               "rbname2", "BtnSF", "ePath", "SpeedButton1", "SpeedButton2",
                               "Memo1"};
  QWidget* widget = Find(order[0]);
  for (std::size_t i = 1; i < std::size(order); ++i) {
    do widget = widget->nextInFocusChain();
    while (!(widget->focusPolicy() & Qt::TabFocus));
    EXPECT_EQ(widget->objectName(), order[i]);
  }
}

}  // namespace
