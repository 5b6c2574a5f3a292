// Every window at the fonts desktops use and under light and dark palettes, on a 1920 x 1080
// screen: every text shown whole, every text readable.
#include <QAbstractButton>
#include <QApplication>
#include <QFontDatabase>
#include <QGroupBox>
#include <QLabel>
#include <QLineEdit>
#include <QPlainTextEdit>
#include <QScrollBar>
#include <QStyle>
#include <QStyleOptionFrame>
#include <QTest>
#include <gtest/gtest.h>

#include <functional>
#include <map>
#include <tuple>

#include "app/form_main.h"
#include "tests/offscreen_screen.h"
#include "tests/url_recorder.h"
#include "ui/folder_chooser.h"
#include "ui/folder_chooser_window.h"
#include "ui/form_about.h"
#include "ui/hyperlink_label.h"
#include "ui/message_box.h"
#include "ui/readable_colours.h"

namespace {

const bool kScreen = UseDesktopScreen();

// The width a line edit has for its text: inside the frame and Qt's 2-pixel side margins.
int TextRoom(const QLineEdit* edit) {
  QStyleOptionFrame option;
  option.initFrom(edit);
  option.rect = edit->rect();
  option.lineWidth = edit->style()->pixelMetric(QStyle::PM_DefaultFrameWidth, &option, edit);
  const QRect contents = edit->style()->subElementRect(QStyle::SE_LineEditContents, &option, edit);
  const QMargins margins = edit->textMargins();
  return contents.width() - margins.left() - margins.right() - 2 * 2;
}

// Every shown label, button and line edit of window lies inside its parent and gets at least
// its size hint; a line edit at least the room for the texts it must show whole.
void ExpectTextsFit(QWidget* window, const std::map<QString, QStringList>& box_texts = {}) {
  QCoreApplication::processEvents();
  for (QWidget* widget : window->findChildren<QWidget*>()) {
    if (!widget->isVisibleTo(window)) continue;
    const bool text_widget = qobject_cast<QLabel*>(widget) || qobject_cast<QAbstractButton*>(widget) ||
                             qobject_cast<QLineEdit*>(widget);
    if (!text_widget) continue;
    const std::string name = (widget->objectName() + " " + widget->property("text").toString()).toStdString();
    EXPECT_TRUE(widget->parentWidget()->rect().contains(widget->geometry())) << name;
    const QSize hint = widget->sizeHint();
    if (auto* edit = qobject_cast<QLineEdit*>(widget)) {
      EXPECT_GE(edit->height(), hint.height()) << name;
      for (const QString& text : box_texts.count(edit->objectName()) ? box_texts.at(edit->objectName())
                                                                     : QStringList{edit->text()})
        EXPECT_GE(TextRoom(edit), edit->fontMetrics().horizontalAdvance(text)) << name << " for " << text.toStdString();
    } else if (auto* label = qobject_cast<QLabel*>(widget); label && label->wordWrap()) {
      EXPECT_GE(label->height(), label->heightForWidth(label->width())) << name;
    } else {
      EXPECT_GE(widget->width(), hint.width()) << name;
      EXPECT_GE(widget->height(), hint.height()) << name;
    }
  }
}

// The texts the main window's boxes must show whole: the largest number, two characters.
const std::map<QString, QStringList> kMainBoxTexts = {
    {"editRate", {"100"}}, {"editHH", {"1000"}}, {"editWW", {"1000"}}, {"editH", {"1000"}},
    {"editW", {"1000"}},   {"editQH", {"1000"}}, {"editQW", {"1000"}},
    {"Edit2", {"WW", "中中", "ＷＷ"}}, {"ePath", {}}};

class DesktopFonts : public ::testing::TestWithParam<std::tuple<std::string, int>> {
 protected:
  void SetUp() override {
    font_ = QFont(QString::fromStdString(std::get<0>(GetParam())), std::get<1>(GetParam()));
    ASSERT_TRUE(QFontDatabase::hasFamily(font_.family())) << font_.family().toStdString();
    QApplication::setFont(font_);
  }
  void TearDown() override { QApplication::setFont(saved_); }

  QFont font_;
  const QFont saved_ = QApplication::font();
};

TEST_P(DesktopFonts, TheMainWindowShowsEveryTextWholeAsItOpensAndMaximised) {
  TFormMain form;
  form.show();
  ASSERT_TRUE(QTest::qWaitForWindowExposed(&form));
  const QSize screen = form.screen()->availableGeometry().size();
  EXPECT_GE(form.frameGeometry().width(), 800);
  EXPECT_GE(form.frameGeometry().height(), 600);
  EXPECT_LE(form.frameGeometry().width(), screen.width());
  ExpectTextsFit(&form, kMainBoxTexts);

  // Grown to the whole screen, the controls keep their places: the extra width goes to the
  // end of each row, so no box drifts away from its caption.
  std::map<QWidget*, QPoint> places;
  for (const char* group : {"GroupBox3", "GroupBox4", "GroupBox5"})
    for (QWidget* widget : form.findChild<QGroupBox*>(group)->findChildren<QWidget*>())
      places[widget] = widget->pos();
  form.resize(1920, 1080);
  ExpectTextsFit(&form, kMainBoxTexts);
  for (const auto& [widget, place] : places) EXPECT_EQ(widget->pos(), place) << widget->objectName().toStdString();
}

TEST_P(DesktopFonts, TheOtherWindowsShowEveryTextWhole) {
  {
    TFormAbout about(nullptr);
    about.show();
    ExpectTextsFit(&about);
    auto* memo = about.findChild<QPlainTextEdit*>("Memo1");
    EXPECT_EQ(memo->verticalScrollBar()->maximum(), 0) << "the description scrolls";
    EXPECT_EQ(memo->horizontalScrollBar()->maximum(), 0) << "the description is cut";
    EXPECT_GE(about.width(), 319);
    EXPECT_GE(about.height(), 261);
  }
  {
    FolderChooser settings;
    FolderChooserWindow chooser(settings, nullptr);
    chooser.show();
    ExpectTextsFit(&chooser);
    chooser.resize(1920, 1080);
    ExpectTextsFit(&chooser);
  }
  for (const BoxKind kind : {BoxKind::bkMessage, BoxKind::bkError}) {
    MessageDialog box(BoxRequest{kind, ApplicationTitle(), "最大尺寸为1000！"});
    box.show();
    ExpectTextsFit(&box);
    // The whole caption fits the title bar beside the close box.
    QFont title = QFontDatabase::systemFont(QFontDatabase::TitleFont);
    title.setBold(true);
    const QFontMetrics metrics(title);
    EXPECT_GE(box.width(), metrics.horizontalAdvance(ApplicationTitle()) + 3 * metrics.height());
  }
}

// The default font (DejaVu Sans) and a CJK desktop font, both installed by scripts/setup.sh.
INSTANTIATE_TEST_SUITE_P(
    Sizes, DesktopFonts,
    ::testing::Combine(::testing::Values("DejaVu Sans", "Noto Sans CJK SC"), ::testing::Values(9, 10, 11, 13)),
    [](const auto& info) {
      return QString::fromStdString(std::get<0>(info.param)).remove(' ').toStdString() +
             std::to_string(std::get<1>(info.param));
    });

TEST(DesktopThemes, FixedColoursStayOnLightThemesAndEveryTextIsReadableOnDarkOnes) {
  EXPECT_DOUBLE_EQ(ContrastRatio(Qt::black, Qt::white), 21);
  EXPECT_NEAR(ContrastRatio(QColor(0x77, 0x77, 0x77), Qt::white), 4.48, 0.01);

  UrlRecorder browser;
  const QPalette light = QApplication::palette();
  TFormMain form;
  TFormAbout about(&form);
  form.show();
  about.show();
  auto* title = form.findChild<QLabel*>("Label7");
  auto* size = form.findChild<QLabel*>("LabFile");
  auto* log = form.findChild<QPlainTextEdit*>("Memo1");
  auto* home = about.findChild<HyperlinkLabel*>("LinkHomePage");
  auto* mail = about.findChild<HyperlinkLabel*>("LinkMail");
  QTest::mouseClick(mail, Qt::LeftButton);  // visited

  const auto text = [](const QWidget* widget) { return widget->palette().color(QPalette::WindowText); };
  for (const QPalette& theme : {DarkThemePalette(), light}) {  // changed while the windows are open
    const bool dark = IsDarkTheme(theme);
    SCOPED_TRACE(dark ? "dark" : "light");
    QApplication::setPalette(theme);
    QCoreApplication::processEvents();
    const QColor window = theme.color(QPalette::Window);
    EXPECT_EQ(log->palette().color(QPalette::Base), theme.color(QPalette::Dark));  // the button shadow
    for (const auto& [what, foreground, background] :
         {std::tuple{"title", text(title), window}, std::tuple{"size", text(size), window},
          std::tuple{"link", text(home), window}, std::tuple{"visited link", text(mail), window},
          std::tuple{"log", log->palette().color(QPalette::Text), log->palette().color(QPalette::Base)}}) {
      EXPECT_GE(ContrastRatio(foreground, background), kReadableContrast) << what;
    }
    if (dark) continue;
    EXPECT_EQ(text(title), QColor(Qt::blue));
    EXPECT_EQ(text(size), QColor(Qt::black));
    EXPECT_EQ(text(home), HyperlinkLabel::kUnvisitedColor);
    EXPECT_EQ(text(mail), HyperlinkLabel::kVisitedColor);
    EXPECT_EQ(log->palette().color(QPalette::Text).hue(), QColor(Qt::blue).hue());  // a darker blue
  }
}

}  // namespace
