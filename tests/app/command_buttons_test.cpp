// The two command buttons end to end: the real window reads its controls into the commands,
// and shows what they report in its log box, progress bar and boxes.
#include <QLineEdit>
#include <QRadioButton>
#include <QScrollBar>
#include <QToolButton>

#include "app/read_controls.h"
#include "tests/app/window_fixture.h"
#include "tests/qt_print.h"
#include "ui/message_box.h"

namespace {

class CommandButtonsTest : public WindowFixture {
 protected:
  void SetUp() override {
    WindowFixture::SetUp();
    pics_ = MakeDir("home/pics");
  }

  // Presses a command button; returns the boxes it showed.
  QStringList Press(const char* button) {
    ScopedBoxCapture boxes;
    Find<QToolButton>(button)->click();
    return boxes.Texts();
  }
  QString pics_;
};

TEST_F(CommandButtonsTest, SingleImageReadsTheSelectionTheRuleAndTheOutputFolder) {
  WriteJpeg(pics_ + "/a.jpg", 64, 48);
  WriteJpeg(pics_ + "/b.jpg", 64, 48);
  OpenWindowOn(pics_);
  Find<QPlainTextEdit>("Memo1")->setPlainText("old line");
  EXPECT_EQ(Press("SpeedButton1"), QStringList{"未选择jpg文件!"});
  EXPECT_TRUE(Log().isEmpty());  // cleared before the check

  const QString out = MakeDir("home/out");
  List()->SelectName("b.jpg");
  Find<QRadioButton>("rb4")->click();
  Find<QLineEdit>("editH")->setText("30");
  Find<QLineEdit>("editW")->setText("20");
  Find<QRadioButton>("rbname2")->click();
  Find<QLineEdit>("ePath")->setText(out);
  EXPECT_TRUE(Press("SpeedButton1").isEmpty());
  EXPECT_EQ(Log(), QStringList{Made(pics_ + "/b.jpg", out + "/b.jpg")});
  JpegImage thumb;
  thumb.LoadFile((out + "/b.jpg").toStdString());
  EXPECT_EQ(thumb.Width(), 20);
  EXPECT_EQ(thumb.Height(), 30);
  EXPECT_FALSE(Bar()->isVisible());
}

TEST_F(CommandButtonsTest, BatchMakesEveryListedFileAndHidesItsBarAtTheEnd) {
  WriteJpeg(pics_ + "/c.jpg", 64, 48);
  WriteJpeg(pics_ + "/A.jpg", 64, 48);
  WriteJpeg(pics_ + "/b.JPEG", 64, 48);
  OpenWindowOn(pics_);
  Find<QRadioButton>("rb5")->click();
  Find<QLineEdit>("editQH")->setText("40");
  Find<QLineEdit>("editQW")->setText("16");
  EXPECT_TRUE(Press("SpeedButton2").isEmpty());
  EXPECT_EQ(Log(), (QStringList{Made(pics_ + "/A.jpg", pics_ + "/tbA.jpg"),
                                Made(pics_ + "/b.JPEG", pics_ + "/tbb.JPEG"),
                                Made(pics_ + "/c.jpg", pics_ + "/tbc.jpg")}));
  EXPECT_EQ(Bar()->value(), 3);
  EXPECT_FALSE(Bar()->isVisible());
  JpegImage thumb;
  thumb.LoadFile((pics_ + "/tbc.jpg").toStdString());
  EXPECT_EQ(thumb.Width(), 16);
  EXPECT_EQ(thumb.Height(), 12);
}

TEST_F(CommandButtonsTest, ADamagedFileEndsTheBatchInTheErrorBox) {
  WriteJpeg(pics_ + "/a.jpg", 64, 48);
  MakeFile("home/pics/b.jpg", QByteArray("\x89PNG\r\n\x1a\n", 8));
  WriteJpeg(pics_ + "/c.jpg", 64, 48);
  OpenWindowOn(pics_);
  EXPECT_EQ(Press("SpeedButton2"), QStringList{"JPEG error #53."});
  EXPECT_EQ(Log(), QStringList{Made(pics_ + "/a.jpg", pics_ + "/tba.jpg")});
  EXPECT_TRUE(Bar()->isVisible());
  EXPECT_EQ(Bar()->value(), 1);
}

TEST(WindowView, TheLogKeepsItsNewestLineInViewAlsoWhileHidden) {
  QPlainTextEdit memo;  // not shown: the box scrolls by itself only while on screen
  QProgressBar bar;
  memo.resize(200, 60);
  WindowView view(&memo, &bar);
  for (int i = 0; i < 30; ++i) view.Append("line " + std::to_string(i));
  const QScrollBar* scroll = memo.verticalScrollBar();
  EXPECT_GT(scroll->maximum(), 0);
  EXPECT_EQ(scroll->value(), scroll->maximum());
}

}  // namespace
