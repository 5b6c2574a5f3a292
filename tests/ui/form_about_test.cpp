#include "ui/form_about.h"

#include <QAccessible>
#include <QApplication>
#include <QImage>
#include <QLabel>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QTest>
#include <QTimer>
#include <gtest/gtest.h>

#include <functional>

#include "tests/url_recorder.h"
#include "ui/hyperlink_label.h"

namespace {

template <class W>
W* Child(QWidget* form, const char* name) {
  auto* widget = form->findChild<W*>(QString::fromLatin1(name));
  EXPECT_NE(widget, nullptr) << name;
  return widget;
}

QColor TextColor(const QWidget* widget) { return widget->palette().color(QPalette::WindowText); }

// Opens the About window over owner exactly as the main window does (made, shown modally,
// freed) and runs inspect on it while its modal loop waits.
void OpenAbout(QWidget* owner, const std::function<void(TFormAbout*)>& inspect) {
  QTimer::singleShot(0, owner, [&] {
    auto* form = qobject_cast<TFormAbout*>(QApplication::activeModalWidget());
    ASSERT_NE(form, nullptr);
    inspect(form);
    form->findChild<QPushButton*>("Button1")->click();
  });
  TFormAbout FormAbout(owner);
  FormAbout.exec();
}

TEST(FormAbout, EachOpeningIsAFreshModalWindowWithTheExactTexts) {
  UrlRecorder browser;
  QWidget owner;
  owner.setGeometry(100, 80, 600, 440);
  owner.show();
  ASSERT_TRUE(QTest::qWaitForWindowExposed(&owner));

  for (int opening = 1; opening <= 2; ++opening) {
    SCOPED_TRACE(opening);
    bool inspected = false;
    OpenAbout(&owner, [&](TFormAbout* form) {
      inspected = true;
      EXPECT_EQ(form->windowTitle(), QStringLiteral("关于"));
      EXPECT_TRUE(form->isModal());
      EXPECT_EQ(form->size(), QSize(319, 261));
      EXPECT_EQ(form->minimumSize(), form->maximumSize());  // fixed size
      EXPECT_LE((form->geometry().center() - owner.geometry().center()).manhattanLength(), 2);

      EXPECT_EQ(Child<QLabel>(form, "Image1")->pixmap().size(), QSize(32, 32));
      auto* Label1 = Child<QLabel>(form, "Label1");
      EXPECT_EQ(Label1->text(), QStringLiteral("Tessarine"));
      EXPECT_TRUE(Label1->font().bold());
      EXPECT_EQ(Child<QLabel>(form, "Label2")->text(), QStringLiteral("(Ver 2.1)"));
      EXPECT_EQ(Child<QLabel>(form, "Label5")->text(), QStringLiteral("主页:"));
      EXPECT_EQ(Child<QLabel>(form, "Label6")->text(), QStringLiteral("邮箱:"));
      auto* home = Child<HyperlinkLabel>(form, "LinkHomePage");
      auto* mail = Child<HyperlinkLabel>(form, "LinkMail");
      EXPECT_EQ(home->text(), QStringLiteral("https://tessarine.example.org/"));
      EXPECT_EQ(mail->text(), QStringLiteral("tessarine@example.org"));

      auto* Memo1 = Child<QPlainTextEdit>(form, "Memo1");
      EXPECT_EQ(Memo1->toPlainText(), QStringLiteral("说明:\n"
                                                     "    制作图片缩略图的工具.\n"
                                                     "    支持5种缩略图制作方式.\n"
                                                     "    可以批量自动生成.\n"
                                                     "    仅支持JPG/JPEG图像。"));
      EXPECT_TRUE(Memo1->isVisible());
      EXPECT_TRUE(Memo1->isReadOnly());
      auto* Memo2 = Child<QPlainTextEdit>(form, "Memo2");
      EXPECT_EQ(Memo2->toPlainText(), QStringLiteral("Description:\n"
                                                     "    Thumbnail image of tool making.\n"
                                                     "    5 Thumbnail way to support production.\n"
                                                     "    Can batch automatically.\n"
                                                     "    Only support JPG/JPEG images."));
      EXPECT_FALSE(Memo2->isVisible());
      EXPECT_EQ(Child<QPushButton>(form, "Button1")->text(), QStringLiteral("关闭"));

      // A link visited in the first opening is not remembered by the second.
      EXPECT_FALSE(home->Visited());
      EXPECT_EQ(TextColor(home), HyperlinkLabel::kUnvisitedColor);
      QTest::mouseClick(home, Qt::LeftButton);
      EXPECT_TRUE(home->Visited());
    });
    EXPECT_TRUE(inspected);
    EXPECT_TRUE(owner.findChildren<TFormAbout*>().isEmpty()) << "the window outlived its opening";
  }
  EXPECT_EQ(browser.opened.size(), 2u);
}

TEST(FormAbout, LinksOpenTheirAddressesThroughTheDesktopAndTurnBrown) {
  UrlRecorder desktop;
  TFormAbout form(nullptr);
  form.show();
  ASSERT_TRUE(QTest::qWaitForWindowExposed(&form));
  const struct {
    const char* name;
    QString opens;
  } links[] = {
      {"LinkHomePage", QStringLiteral("https://tessarine.example.org/")},
      {"LinkMail", QStringLiteral("mailto:tessarine@example.org")},
  };
  for (const auto& link : links) {
    SCOPED_TRACE(link.name);
    auto* label = Child<HyperlinkLabel>(&form, link.name);
    EXPECT_TRUE(label->font().underline());
    EXPECT_EQ(TextColor(label), HyperlinkLabel::kUnvisitedColor);
    desktop.opened.clear();
    QTest::mouseClick(label, Qt::RightButton);  // only the left button follows a link
    EXPECT_TRUE(desktop.opened.empty());
    QTest::mouseClick(label, Qt::LeftButton);
    ASSERT_EQ(desktop.opened.size(), 1u);
    EXPECT_EQ(desktop.opened[0].toString(), link.opens);
    EXPECT_EQ(TextColor(label), HyperlinkLabel::kVisitedColor);
  }
}

TEST(FormAbout, EnterAndEscCloseItAndTheLinksServeKeyboardAndScreenReaders) {
  UrlRecorder desktop;
  for (const Qt::Key key : {Qt::Key_Return, Qt::Key_Escape}) {
    TFormAbout form(nullptr);
    bool closed_by_key = false;
    QTimer::singleShot(0, &form, [&] {
      QWidget* focus = form.focusWidget();  // where the keys go once the window is active
      EXPECT_EQ(focus, form.findChild<QPushButton*>("Button1"));  // 关闭 has the focus
      QTest::keyClick(focus != nullptr ? focus : &form, key);
      closed_by_key = !form.isVisible();
    });
    QTimer::singleShot(2000, &form, &QDialog::reject);  // never hang on a failure
    form.exec();
    EXPECT_TRUE(closed_by_key) << key;
  }
  EXPECT_TRUE(desktop.opened.empty());

  TFormAbout form(nullptr);
  form.show();
  form.activateWindow();
  ASSERT_TRUE(QTest::qWaitForWindowActive(&form));
  auto* home = Child<HyperlinkLabel>(&form, "LinkHomePage");
  const QImage unmarked = home->grab().toImage();
  QTest::keyClick(QApplication::focusWidget(), Qt::Key_Tab);  // from 关闭 round to the first link
  ASSERT_TRUE(home->hasFocus());
  EXPECT_NE(home->grab().toImage(), unmarked);  // the focus mark shows

  QAccessibleInterface* link = QAccessible::queryAccessibleInterface(home);
  ASSERT_NE(link, nullptr);
  EXPECT_EQ(link->role(), QAccessible::Link);
  EXPECT_EQ(link->text(QAccessible::Name), "https://tessarine.example.org/");
  ASSERT_NE(link->actionInterface(), nullptr);
  EXPECT_TRUE(link->actionInterface()->actionNames().contains(QAccessibleActionInterface::pressAction()));
  link->actionInterface()->doAction(QAccessibleActionInterface::pressAction());
  ASSERT_EQ(desktop.opened.size(), 1u);
  EXPECT_EQ(desktop.opened[0].toString(), "https://tessarine.example.org/");
  EXPECT_TRUE(link->state().traversed);
}

}  // namespace
