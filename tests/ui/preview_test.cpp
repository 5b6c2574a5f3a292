// The preview: which picture a selection change shows, the label, where it is painted, and
// the errors of loading and of the first paint. JPEGs of exact sizes are made by cjpeg.
#include <QCoreApplication>
#include <QFile>
#include <QLabel>
#include <QProcess>
#include <QTemporaryDir>
#include <gtest/gtest.h>

#include <memory>

#include "engine/errors.h"
#include "ui/message_box.h"
#include "ui/preview.h"

namespace {

constexpr int kBoxW = 179, kBoxH = 236;

class PreviewTest : public ::testing::Test {
 protected:
  static void SetUpTestSuite() { dir_ = new QTemporaryDir; }
  static void TearDownTestSuite() {
    delete dir_;
    dir_ = nullptr;
  }

  void SetUp() override {
    image_.resize(kBoxW, kBoxH);
    label_.setText("before");
  }

  // A solid red JPEG of exactly width x height, made once per size.
  static QString RedJpeg(int width, int height) {
    const QString base = dir_->filePath(QString("red_%1x%2").arg(width).arg(height));
    if (QFile::exists(base + ".jpg")) return base + ".jpg";
    QFile ppm(base + ".ppm");
    EXPECT_TRUE(ppm.open(QIODevice::WriteOnly));
    ppm.write(QString("P6\n%1 %2\n255\n").arg(width).arg(height).toLatin1());
    QByteArray row;
    for (int x = 0; x < width; ++x) row.append("\xff\x00\x00", 3);
    for (int y = 0; y < height; ++y) ppm.write(row);
    ppm.close();
    const int code = QProcess::execute("cjpeg", {"-outfile", base + ".jpg", base + ".ppm"});
    EXPECT_EQ(code, 0);
    QFile::remove(base + ".ppm");
    return base + ".jpg";
  }

  static QString File(const QString& name, const QByteArray& bytes) {
    QFile file(dir_->filePath(name));
    EXPECT_TRUE(file.open(QIODevice::WriteOnly));
    file.write(bytes);
    return file.fileName();
  }

  void Preview(const QString& file) { PreviewFile(image_, label_, kBoxW, kBoxH, file); }

  // Paints the control the way the screen would, then lets queued work (the error box) run.
  QImage Paint() {
    const QImage shot = image_.grab().toImage();
    QCoreApplication::processEvents();
    return shot;
  }

  static bool IsRed(QRgb pixel) { return qRed(pixel) > 200 && qGreen(pixel) < 60 && qBlue(pixel) < 60; }

  static QTemporaryDir* dir_;
  PreviewImage image_;
  QLabel label_;
};

QTemporaryDir* PreviewTest::dir_ = nullptr;

TEST_F(PreviewTest, ShowsUnscaledWhenItFitsElseReducedByTheLongerSide) {
  struct Case {
    int width, height;
    bool unscaled;
    int shown_width, shown_height;
  };
  const Case cases[] = {
      {150, 100, true, 150, 100},     // fits the 179 x 236 box
      {4000, 3000, false, 181, 136},  // factor 4000 div 179 = 22 (the rules: engine tests)
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(testing::Message() << c.width << "x" << c.height);
    Preview(RedJpeg(c.width, c.height));
    EXPECT_EQ(label_.text(), QString("尺寸:%1x%2").arg(c.width).arg(c.height));
    EXPECT_EQ(image_.ShowsJpeg(), c.unscaled);
    EXPECT_EQ(image_.PictureWidth(), c.shown_width);
    EXPECT_EQ(image_.PictureHeight(), c.shown_height);
    EXPECT_EQ(image_.size(), QSize(kBoxW, kBoxH));  // the control keeps its area's size
  }
}

TEST_F(PreviewTest, PaintsCentredWithTruncatingOffsetsAndClipped) {
  Preview(RedJpeg(150, 100));  // at x = (179 - 150) / 2 = 14, y = (236 - 100) / 2 = 68
  QImage shot = Paint();
  EXPECT_TRUE(IsRed(shot.pixel(14, 68)));
  EXPECT_TRUE(IsRed(shot.pixel(163, 167)));
  EXPECT_FALSE(IsRed(shot.pixel(13, 68)));
  EXPECT_FALSE(IsRed(shot.pixel(14, 67)));
  EXPECT_FALSE(IsRed(shot.pixel(164, 167)));
  EXPECT_FALSE(IsRed(shot.pixel(163, 168)));

  // A 200-pixel-wide picture starts at x = -21 / 2 = -10: 10 columns cut on the left, 11 on
  // the right. Each column's red value is its index.
  Raster columns;
  columns.SetWidth(200);
  columns.SetHeight(4);
  columns.SetFormat(rf24Bit);
  for (int r = 0; r < 4; ++r) {
    for (int x = 0; x < 200; ++x) columns.RowAddress(r)[3 * x + 2] = static_cast<std::uint8_t>(x);
  }
  image_.ShowRaster(columns);
  shot = Paint();
  const int top = (kBoxH - 4) / 2;
  EXPECT_EQ(qRed(shot.pixel(0, top)), 10);
  EXPECT_EQ(qRed(shot.pixel(kBoxW - 1, top)), 188);
  EXPECT_EQ(qBlue(shot.pixel(0, top)), 255);  // the raster's white, not the background
}

TEST_F(PreviewTest, EmptyFileShowsZeroSizeAndOneDecodingErrorAtTheFirstPaint) {
  ScopedBoxCapture capture;
  Preview(File("empty.jpg", {}));
  EXPECT_EQ(label_.text(), "尺寸:0x0");
  EXPECT_TRUE(capture.Texts().isEmpty());  // nothing is decoded before the paint
  for (int i = 0; i < 3; ++i) Paint();
  EXPECT_EQ(capture.Texts(), QStringList{"JPEG error #42."});
}

TEST_F(PreviewTest, LoadFailureLeavesLabelAndPictureUnchanged) {
  Preview(RedJpeg(150, 100));
  for (const QString& bad : {dir_->filePath("missing.jpg"), File("text.jpg", "no JPEG here")}) {
    SCOPED_TRACE(bad.toStdString());
    EXPECT_THROW(Preview(bad), TessarineError);
    EXPECT_EQ(label_.text(), "尺寸:150x100");
    EXPECT_TRUE(image_.ShowsJpeg());
    EXPECT_EQ(image_.PictureWidth(), 150);
  }
  Preview(QString());  // nothing selected: nothing changes
  EXPECT_EQ(label_.text(), "尺寸:150x100");
  EXPECT_EQ(image_.PictureWidth(), 150);
}

}  // namespace
