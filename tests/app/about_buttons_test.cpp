// The top bar's "关于" and "主页" buttons.
#include <QApplication>
#include <QPushButton>
#include <QTest>
#include <QTimer>
#include <QToolButton>
#include <gtest/gtest.h>

#include "app/form_main.h"
#include "tests/url_recorder.h"
#include "ui/form_about.h"
#include "ui/hyperlink_label.h"
#include "ui/message_box.h"

namespace {

class AboutButtonsTest : public ::testing::Test {
 protected:
  AboutButtonsTest() {
    form.show();
    EXPECT_TRUE(QTest::qWaitForWindowExposed(&form));
  }
  QToolButton* Button(const char* name) {
    auto* button = form.findChild<QToolButton*>(QString::fromLatin1(name));
    EXPECT_NE(button, nullptr) << name;
    return button;
  }
  TFormMain form;
};

TEST_F(AboutButtonsTest, AboutOpensAFreshModalWindowOverTheMainWindowEachTime) {
  UrlRecorder browser;
  std::vector<TFormAbout*> seen;
  for (int opening = 1; opening <= 2; ++opening) {
    SCOPED_TRACE(opening);
    QTimer::singleShot(0, &form, [&] {
      auto* about = qobject_cast<TFormAbout*>(QApplication::activeModalWidget());
      ASSERT_NE(about, nullptr) << "no modal About window";
      seen.push_back(about);
      EXPECT_EQ(about->parentWidget(), &form);
      EXPECT_EQ(about->windowModality(), Qt::ApplicationModal);  // the main window takes no input
      auto* home = about->findChild<HyperlinkLabel*>("LinkHomePage");
      ASSERT_NE(home, nullptr);
      EXPECT_FALSE(home->Visited()) << "a link visited in an earlier opening is remembered";
      QTest::mouseClick(home, Qt::LeftButton);
      about->findChild<QPushButton*>("Button1")->click();
    });
    Button("BTNAbout")->click();  // returns when the About window has closed
    EXPECT_TRUE(form.findChildren<TFormAbout*>().isEmpty()) << "the About window outlived its opening";
  }
  EXPECT_EQ(seen.size(), 2u);
  EXPECT_EQ(browser.opened.size(), 2u);
}

TEST_F(AboutButtonsTest, HomePageOpensTheAddressThroughTheDesktopAndShowsNothing) {
  ScopedBoxCapture boxes;
  {
    UrlRecorder browser;
    Button("BTNHomePage")->click();
    ASSERT_EQ(browser.opened.size(), 1u);
    EXPECT_EQ(browser.opened[0].toString(), QStringLiteral("https://tessarine.example.org/"));
  }
  // The offscreen platform has no browser: the address is refused, and nothing is shown.
  if (QGuiApplication::platformName() == QStringLiteral("offscreen")) Button("BTNHomePage")->click();
  EXPECT_TRUE(boxes.Boxes().empty());
  EXPECT_TRUE(form.isVisible());
}

}  // namespace
