// The two command buttons end to end: the real window, real JPEG files in temporary folders.
#include <QLineEdit>
#include <QRadioButton>
#include <QToolButton>

#include "tests/commands/window_fixture.h"
#include "tests/qt_print.h"
#include "ui/message_box.h"

namespace {

class CommandsTest : public WindowFixture {
 protected:
  void SetUp() override {
    BrowseFixture::SetUp();
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

TEST_F(CommandsTest, PreFlightChecksStopBothCommandsWithTheirMessage) {
  OpenWindowOn(pics_);  // no JPEG files at all
  EXPECT_EQ(Press("SpeedButton1"), QStringList{"没有任何jpg图片需要生成缩略图!"});
  EXPECT_EQ(Press("SpeedButton2"), QStringList{"没有任何jpg图片需要生成缩略图!"});

  WriteJpeg(pics_ + "/a.jpg", 20, 10);
  OpenWindowOn(pics_);
  Find<QLineEdit>("Edit2")->setText("  ");
  EXPECT_EQ(Press("SpeedButton2"), QStringList{"保存于同目录下，请输入前缀以区分原图!"});
  Find<QLineEdit>("Edit2")->setText("tb");

  Find<QRadioButton>("rbname2")->click();
  EXPECT_EQ(Press("SpeedButton2"), QStringList{"请选择保存目录!"});
  // An output folder equal to the list folder blocks the prefix rule too.
  Find<QLineEdit>("ePath")->setText(pics_);
  EXPECT_EQ(Press("SpeedButton2"), QStringList{"源目录和目标目录相同!"});
  Find<QRadioButton>("rbname1")->click();
  EXPECT_EQ(Press("SpeedButton1"), QStringList{"源目录和目标目录相同!"});
  EXPECT_TRUE(Log().isEmpty());
  EXPECT_FALSE(Bar()->isVisible());
  EXPECT_FALSE(QFile::exists(pics_ + "/tba.jpg"));
}

TEST_F(CommandsTest, SingleImageNeedsASelectionAndMakesOneThumbnail) {
  WriteJpeg(pics_ + "/a.jpg", 40, 30);
  WriteJpeg(pics_ + "/b.jpg", 40, 30);
  OpenWindowOn(pics_);
  Find<QPlainTextEdit>("Memo1")->setPlainText("old line");
  EXPECT_EQ(Press("SpeedButton1"), QStringList{"未选择jpg文件!"});
  EXPECT_TRUE(Log().isEmpty());  // cleared before the check

  List()->SelectName("b.jpg");
  EXPECT_TRUE(Press("SpeedButton1").isEmpty());
  EXPECT_EQ(Log(), QStringList{Made(pics_ + "/b.jpg", pics_ + "/tbb.jpg")});
  JpegImage thumb;
  thumb.LoadFile((pics_ + "/tbb.jpg").toStdString());
  EXPECT_EQ(thumb.Width(), 20);
  EXPECT_EQ(thumb.Height(), 15);
  EXPECT_FALSE(QFile::exists(pics_ + "/tba.jpg"));

  // Into the output folder, under the source's own name.
  const QString out = MakeDir("home/out");
  Find<QRadioButton>("rbname2")->click();
  Find<QLineEdit>("ePath")->setText(out);
  EXPECT_TRUE(Press("SpeedButton1").isEmpty());
  EXPECT_EQ(Log(), QStringList{Made(pics_ + "/b.jpg", out + "/b.jpg")});
  EXPECT_TRUE(QFile::exists(out + "/b.jpg"));
}

TEST_F(CommandsTest, BatchMakesEveryListedFileInListOrderAndNotItsOwnOutput) {
  WriteJpeg(pics_ + "/c.jpg", 64, 48);
  WriteJpeg(pics_ + "/A.jpg", 64, 48);
  WriteJpeg(pics_ + "/b.JPEG", 64, 48);
  const QByteArray before = Hash(pics_ + "/A.jpg");
  OpenWindowOn(pics_);
  EXPECT_TRUE(Press("SpeedButton2").isEmpty());
  EXPECT_EQ(Log(), (QStringList{Made(pics_ + "/A.jpg", pics_ + "/tbA.jpg"),
                                Made(pics_ + "/b.JPEG", pics_ + "/tbb.JPEG"),
                                Made(pics_ + "/c.jpg", pics_ + "/tbc.jpg")}));
  EXPECT_EQ(Bar()->value(), 3);
  EXPECT_FALSE(Bar()->isVisible());
  EXPECT_FALSE(QFile::exists(pics_ + "/tbtbA.jpg"));  // written files are not in this run
  EXPECT_EQ(Hash(pics_ + "/A.jpg"), before);

  // A second batch starts its bar at 0 and reaches the new count.
  WriteJpeg(pics_ + "/d.jpg", 64, 48);
  OpenWindowOn(pics_);  // now lists A, b, c, d, tbA, tbb, tbc
  EXPECT_TRUE(Press("SpeedButton2").isEmpty());
  EXPECT_EQ(Log().size(), 7);
  EXPECT_EQ(Bar()->value(), 7);
  EXPECT_TRUE(QFile::exists(pics_ + "/tbtbA.jpg"));
}

TEST_F(CommandsTest, BatchLogsARefusalAndGoesOn) {
  WriteJpeg(pics_ + "/a.jpg", 64, 48);
  WriteJpeg(pics_ + "/b.jpg", 32, 48);  // not wider than the requested 40
  WriteJpeg(pics_ + "/c.jpg", 64, 48);
  OpenWindowOn(pics_);
  Find<QRadioButton>("rb3")->click();
  Find<QLineEdit>("editWW")->setText("40");
  EXPECT_TRUE(Press("SpeedButton2").isEmpty());
  EXPECT_EQ(Log(), (QStringList{Made(pics_ + "/a.jpg", pics_ + "/tba.jpg"),
                                "缩略图失败：" + pics_ + "/b.jpg只能缩小！",
                                Made(pics_ + "/c.jpg", pics_ + "/tbc.jpg")}));
  EXPECT_EQ(Bar()->value(), 3);
  EXPECT_FALSE(QFile::exists(pics_ + "/tbb.jpg"));
  JpegImage thumb;
  thumb.LoadFile((pics_ + "/tbc.jpg").toStdString());
  EXPECT_EQ(thumb.Width(), 40);
  EXPECT_EQ(thumb.Height(), 30);
}

TEST_F(CommandsTest, ADamagedFileEndsTheBatchInTheErrorBox) {
  WriteJpeg(pics_ + "/a.jpg", 64, 48);
  MakeFile("home/pics/b.jpg", QByteArray("\x89PNG\r\n\x1a\n", 8));
  WriteJpeg(pics_ + "/c.jpg", 64, 48);
  OpenWindowOn(pics_);
  EXPECT_EQ(Press("SpeedButton2"), QStringList{"JPEG error #53."});
  EXPECT_EQ(Log(), QStringList{Made(pics_ + "/a.jpg", pics_ + "/tba.jpg")});
  EXPECT_TRUE(QFile::exists(pics_ + "/tba.jpg"));
  EXPECT_FALSE(QFile::exists(pics_ + "/tbb.jpg"));
  EXPECT_FALSE(QFile::exists(pics_ + "/tbc.jpg"));
  EXPECT_TRUE(Bar()->isVisible());
  EXPECT_EQ(Bar()->value(), 1);
}

}  // namespace
