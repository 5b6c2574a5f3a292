// The main window's preview and output folder button, driven through the real controls on a
// temporary desktop holding real JPEG files.
#include <QApplication>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QRadioButton>
#include <QTest>
#include <QTimer>
#include <QToolButton>
#include <functional>

#include "app/form_main.h"
#include "engine/preview_picture.h"
#include "tests/qt_print.h"
#include "tests/ui/browse_fixture.h"
#include "ui/file_list_box.h"
#include "ui/folder_chooser_window.h"
#include "ui/message_box.h"
#include "ui/preview.h"

namespace {

class PreviewChooserWindowTest : public BrowseFixture {
 protected:
  void SetUp() override {
    BrowseFixture::SetUp();
    MakeDir("home/桌面文件夹");
    for (const char* name : {"jd-jpg-progressive.jpg", "exif-Landscape_3.jpg"}) {
      const QString source = QString(TESSARINE_TEST_DATA_DIR "/jpeg/") + name;
      ASSERT_TRUE(QFile::copy(source, Desktop() + '/' + QFileInfo(source).fileName()));
    }
  }

  // Runs act on the chooser window once it is open; act must close it.
  static void WhenOpen(std::function<void(FolderChooserWindow&)> act) {
    QTimer::singleShot(0, [act] {
      auto* window = qobject_cast<FolderChooserWindow*>(QApplication::activeModalWidget());
      if (window == nullptr) {
        ADD_FAILURE() << "no chooser window open";
        return;
      }
      act(*window);
    });
  }
  static QString SelectedPath(FolderChooserWindow& w) {
    const auto* node = static_cast<FolderNode*>(w.ShellTree()->currentItem());
    return node != nullptr ? node->Item().fs_path : QString();
  }
};

TEST_F(PreviewChooserWindowTest, SelectingAFileShowsItsSizeAndItsPicture) {
  ScopedBoxCapture boxes;
  TFormMain form;
  form.show();
  auto* list = form.findChild<FileListBox*>("FileListBox1");
  auto* image = form.findChild<PreviewImage*>("Image1");
  auto* label = form.findChild<QLabel*>("LabFile");
  ASSERT_EQ(list->Count(), 2);

  list->SelectName("jd-jpg-progressive.jpg");
  EXPECT_EQ(label->text(), "尺寸:32x32");
  EXPECT_TRUE(image->ShowsJpeg());

  list->SelectName("exif-Landscape_3.jpg");  // 1800 x 1200: reduced by the width's factor
  EXPECT_EQ(label->text(), "尺寸:1800x1200");
  const int factor = std::max(1800 / image->width(), 1);
  EXPECT_EQ(image->PictureWidth(), 1800 / factor);
  EXPECT_EQ(image->PictureHeight(), 1200 / factor);

  list->Reread();  // the list empties its selection: the preview keeps its picture
  EXPECT_EQ(label->text(), "尺寸:1800x1200");
  EXPECT_EQ(image->PictureWidth(), 1800 / factor);
  EXPECT_TRUE(boxes.Texts().isEmpty());
}

// A photo reduced for the preview comes by the engine's default road: what the window paints
// is the plain road's picture (full decode, then the stretch), pixel for pixel.
TEST_F(PreviewChooserWindowTest, ALargePhotoShowsThePlainRoadsPicture) {
  const QString photo = Desktop() + "/jd-large_image.jpg";
  ASSERT_TRUE(QFile::copy(TESSARINE_TEST_DATA_DIR "/jpeg/jd-large_image.jpg", photo));
  ScopedBoxCapture boxes;
  TFormMain form;
  form.show();
  auto* image = form.findChild<PreviewImage*>("Image1");
  form.findChild<FileListBox*>("FileListBox1")->SelectName("jd-large_image.jpg");
  EXPECT_EQ(form.findChild<QLabel*>("LabFile")->text(), "尺寸:2268x1512");

  const qreal ratio = image->devicePixelRatioF();
  const PreviewPicture plain =
      MakePreview(QFile::encodeName(photo).toStdString(), int(image->width() * ratio),
                  int(image->height() * ratio), {EngineRoad::kPlain}, nullptr);
  ASSERT_TRUE(plain.Reduced);
  const Raster& expected = *plain.Reduced;
  ASSERT_EQ(image->PictureWidth(), expected.Width());
  ASSERT_EQ(image->PictureHeight(), expected.Height());
  const QImage shot = image->grab().toImage().convertToFormat(QImage::Format_RGB32);
  const int left = PreviewImage::CentredOffset(shot.width(), expected.Width());
  const int top = PreviewImage::CentredOffset(shot.height(), expected.Height());
  int compared = 0;
  for (int y = std::max(0, -top); y < expected.Height() && top + y < shot.height(); ++y) {
    const std::uint8_t* row = expected.RowAddress(y);
    for (int x = std::max(0, -left); x < expected.Width() && left + x < shot.width(); ++x) {
      const QRgb pixel = shot.pixel(left + x, top + y);
      ASSERT_EQ(qBlue(pixel), row[3 * x]) << x << "," << y;
      ASSERT_EQ(qGreen(pixel), row[3 * x + 1]) << x << "," << y;
      ASSERT_EQ(qRed(pixel), row[3 * x + 2]) << x << "," << y;
      ++compared;
    }
  }
  EXPECT_GT(compared, expected.Width() * expected.Height() / 2);
  EXPECT_TRUE(boxes.Texts().isEmpty());
}

TEST_F(PreviewChooserWindowTest, OutputFolderButtonSetsThePathOnOkOnlyAndReopensThere) {
  const QString photos = MakeDir("home/photos/2008");
  TFormMain form;
  auto* ePath = form.findChild<QLineEdit*>("ePath");
  auto* BtnSF = form.findChild<QToolButton*>("BtnSF");
  form.findChild<QRadioButton*>("rbname2")->setChecked(true);
  ASSERT_TRUE(BtnSF->isEnabled());

  WhenOpen([](FolderChooserWindow& w) { QTest::keyClick(&w, Qt::Key_Escape); });
  BtnSF->click();
  EXPECT_EQ(ePath->text(), "");  // Cancel keeps the empty box

  WhenOpen([&](FolderChooserWindow& w) {
    EXPECT_EQ(SelectedPath(w), Desktop());
    w.ShellTree()->setCurrentItem(w.ShellTree()->FindFolderNode(photos));
    w.findChild<QPushButton*>("btnOk")->click();
  });
  BtnSF->click();
  EXPECT_EQ(ePath->text(), photos);

  WhenOpen([&](FolderChooserWindow& w) {
    EXPECT_EQ(SelectedPath(w), photos);  // the second opening starts at the box's folder
    w.ShellTree()->setCurrentItem(w.ShellTree()->TopNode());
    w.findChild<QPushButton*>("btnCancel")->click();
  });
  BtnSF->click();
  EXPECT_EQ(ePath->text(), photos);
}

}  // namespace
