// The windows on a 1920 x 1080 screen at 200 %: they fit the screen, the preview reduces for
// the screen's pixels and shows one picture pixel on one of them, the icon comes from the
// icon's larger sizes.
#include <QLabel>
#include <QScreen>
#include <QTest>
#include <gtest/gtest.h>

#include "tests/app/window_fixture.h"
#include "tests/offscreen_screen.h"
#include "ui/form_about.h"
#include "ui/preview.h"

namespace {

const bool kScreen = UseDesktopScreen(2);

class HiDpi : public WindowFixture {};

TEST_F(HiDpi, TheWindowFitsTheScreenAndThePreviewWorksInScreenPixels) {
  const QString pics = MakeDir("home/pics");
  WriteJpeg(pics + "/wide.jpg", 1800, 1200);
  WriteJpeg(pics + "/small.jpg", 300, 200);
  OpenWindowOn(pics);
  ASSERT_TRUE(QTest::qWaitForWindowExposed(form_.get()));
  auto* image = Find<PreviewImage>("Image1");
  ASSERT_EQ(image->devicePixelRatioF(), 2);

  // 960 x 540 units: 800 x 600 does not fit, so the window keeps to the screen.
  const QRect screen = form_->screen()->availableGeometry();
  ASSERT_EQ(screen.size(), QSize(960, 540));
  EXPECT_TRUE(screen.contains(form_->frameGeometry())) << form_->frameGeometry().height();
  EXPECT_LE(form_->minimumHeight(), screen.height());
  EXPECT_EQ(form_->frameGeometry().width(), 800);

  // The box is twice as many pixels as units: 300 x 200 fits it and is shown as it is.
  ASSERT_LT(image->width(), 300);
  ASSERT_GE(image->width() * 2, 300);
  ASSERT_GE(image->height() * 2, 200);
  List()->SelectName("small.jpg");
  EXPECT_TRUE(image->ShowsJpeg());
  List()->SelectName("wide.jpg");
  const int factor = 1800 / (image->width() * 2);
  EXPECT_EQ(image->PictureWidth(), 1800 / factor);
  EXPECT_EQ(image->PictureHeight(), 1200 / factor);

  // Painted one to one: column x of a picture of columns holds red x, centred in device pixels.
  Raster columns;
  columns.SetWidth(200);
  columns.SetHeight(4);
  columns.SetFormat(rf24Bit);
  for (int r = 0; r < 4; ++r)
    for (int x = 0; x < 200; ++x) columns.RowAddress(r)[3 * x + 2] = static_cast<std::uint8_t>(x);
  image->ShowRaster(columns);
  const QImage shot = image->grab().toImage();
  ASSERT_EQ(shot.width(), image->width() * 2);
  const int left = PreviewImage::CentredOffset(shot.width(), 200);
  const int top = PreviewImage::CentredOffset(shot.height(), 4);
  for (int x = std::max(0, -left); x < std::min(200, shot.width() - left); ++x)
    ASSERT_EQ(qRed(shot.pixel(left + x, top)), x) << x;
}

TEST_F(HiDpi, TheAboutIconIsDrawnForTheScreensPixels) {
  QWidget owner;
  owner.show();
  TFormAbout about(&owner);
  const QPixmap icon = about.findChild<QLabel*>("Image1")->pixmap();
  EXPECT_EQ(icon.devicePixelRatio(), 2);
  EXPECT_EQ(icon.size(), QSize(64, 64));
  EXPECT_EQ(icon.deviceIndependentSize(), QSizeF(32, 32));
}

}  // namespace
