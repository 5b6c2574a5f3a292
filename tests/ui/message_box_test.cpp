#include "ui/message_box.h"

#include <QAccessible>
#include <QApplication>
#include <QClipboard>
#include <QLabel>
#include <QPushButton>
#include <QScreen>
#include <QTest>
#include <QTimer>
#include <gtest/gtest.h>

#include <stdexcept>

#include "engine/errors.h"
#include "tests/qt_print.h"
#include "ui/guarded.h"

namespace {

TEST(ErrorBox, AddsAPeriodOnlyAfterCharactersSortingAfterIt) {
  const std::pair<std::string, QString> cases[] = {
      {"", ""},
      {"Done.", "Done."},
      {"Stop!", "Stop!"},
      {"(see above)", "(see above)"},
      {"trailing blank ", "trailing blank "},
      {"JPEG error #53", "JPEG error #53."},
      {"Out of memory", "Out of memory."},
      {"Path:", "Path:."},
      {"Really?", "Really?."},
      {"a/b/", "a/b/."},
      {"a-", "a-"},  // "-" sorts before "."
      {"未选择jpg文件", "未选择jpg文件."},
      {"请输入数字！", "请输入数字！."},  // a full-width mark is a multi-byte character
  };
  for (const auto& [message, shown] : cases) {
    EXPECT_EQ(ErrorBoxText(message), shown) << message;
  }
}

TEST(ErrorBox, GuardShowsErrorsAndSwallowsAbortSilently) {
  ScopedBoxCapture capture;
  bool after_throw = false;
  RunGuarded([] { throw FileError("Cannot open file \"/x/a.jpg\""); });
  RunGuarded([] { throw Abort(); });
  RunGuarded([&] {
    throw std::runtime_error("plain");
    after_throw = true;
  });
  ASSERT_EQ(capture.Boxes().size(), 2u);
  EXPECT_EQ(capture.Boxes()[0].kind, BoxKind::bkError);
  EXPECT_EQ(capture.Boxes()[0].caption, "Tessarine V2.0");
  EXPECT_EQ(capture.Boxes()[0].text, "Cannot open file \"/x/a.jpg\"");  // '"' sorts before '.'
  EXPECT_EQ(capture.Boxes()[1].text, "plain.");
  EXPECT_FALSE(after_throw);
}

TEST(ErrorBox, ExceptionLeavingAnEventReachesTheBoxAndTheLoopGoesOn) {
  ScopedBoxCapture capture;
  QObject target;
  QObject::connect(&target, &QObject::objectNameChanged, [] { throw RasterError("bad row"); });
  QTimer::singleShot(0, &target, [&] { target.setObjectName("x"); });
  bool later_ran = false;
  QTimer::singleShot(0, &target, [&] { later_ran = true; });
  QTest::qWait(20);
  EXPECT_EQ(capture.Texts(), QStringList{"bad row."});
  EXPECT_TRUE(later_ran);
}

TEST(MessageBox, ShowMessageGoesThroughThePresenter) {
  ScopedBoxCapture capture;
  ShowMessage(std::string("本程序只提供缩小图片功能！"));
  ASSERT_EQ(capture.Boxes().size(), 1u);
  EXPECT_EQ(capture.Boxes()[0].kind, BoxKind::bkMessage);
  EXPECT_EQ(capture.Boxes()[0].caption, "Tessarine V2.0");
  EXPECT_EQ(capture.Boxes()[0].text, "本程序只提供缩小图片功能！");  // no period added
}

TEST(MessageBox, CtrlCCopiesTheTextBlockWithCrLf) {
  MessageDialog dialog(BoxRequest{BoxKind::bkMessage, ApplicationTitle(), "请输入数字！"});
  dialog.show();
  QGuiApplication::clipboard()->clear();
  QTest::keyClick(&dialog, Qt::Key_C, Qt::ControlModifier);
  const QString dashes(27, '-');
  EXPECT_EQ(QGuiApplication::clipboard()->text(),
            dashes + "\r\nTessarine V2.0\r\n" + dashes + "\r\n请输入数字！\r\n" + dashes +
                "\r\nOK   \r\n" + dashes + "\r\n");
  EXPECT_TRUE(dialog.isVisible());
}

TEST(MessageBox, DialogHasOneDefaultOkThatEnterEscAndCloseAllDismiss) {
  for (const int key : {int(Qt::Key_Return), int(Qt::Key_Enter), int(Qt::Key_Escape), 0}) {
    MessageDialog dialog(BoxRequest{BoxKind::bkMessage, ApplicationTitle(), "最小尺寸为1！"});
    dialog.show();
    EXPECT_EQ(dialog.windowTitle(), "Tessarine V2.0");
    EXPECT_EQ(dialog.windowModality(), Qt::ApplicationModal);
    const QList<QPushButton*> buttons = dialog.findChildren<QPushButton*>();
    ASSERT_EQ(buttons.size(), 1);
    EXPECT_EQ(buttons[0]->text(), "OK");
    EXPECT_TRUE(buttons[0]->isDefault());
    if (key) {
      QTest::keyClick(&dialog, Qt::Key(key));
    } else {
      dialog.close();
    }
    EXPECT_FALSE(dialog.isVisible()) << key;
  }
}

TEST(MessageBox, OnlyTheErrorBoxHasAnIcon) {
  for (const BoxKind kind : {BoxKind::bkMessage, BoxKind::bkError}) {
    MessageDialog dialog(BoxRequest{kind, ApplicationTitle(), "x"});
    int pictures = 0;
    for (const QLabel* label : dialog.findChildren<QLabel*>()) pictures += !label->pixmap().isNull();
    EXPECT_EQ(pictures, kind == BoxKind::bkError ? 1 : 0);
  }
}

TEST(MessageBox, DefaultPresenterShowsAModalCentredBoxUntilOkIsPressed) {
  SetBoxPresenter(nullptr);
  QString seen_title;
  QPoint seen_centre;
  bool was_modal = false;
  QTimer::singleShot(0, [&] {
    QWidget* box = QApplication::activeModalWidget();
    ASSERT_NE(box, nullptr);
    was_modal = true;
    seen_title = box->windowTitle();
    seen_centre = box->frameGeometry().center();
    QTest::keyClick(box, Qt::Key_Return);
  });
  ShowMessage(QStringLiteral("最大尺寸为1000！"));  // returns only once the box is closed
  EXPECT_TRUE(was_modal);
  EXPECT_EQ(seen_title, "Tessarine V2.0");
  const QPoint screen_centre = QGuiApplication::primaryScreen()->availableGeometry().center();
  EXPECT_LE((seen_centre - screen_centre).manhattanLength(), 2);
  EXPECT_EQ(QApplication::activeModalWidget(), nullptr);
}

TEST(MessageBox, LongTextWrapsAtHalfTheScreenWidth) {
  const QString long_name = "Cannot open file \"/home/" + QString("IMG0001").repeated(60) + ".jpg\"";
  for (const QString& message : {QString("未选择jpg文件 ").repeated(80), long_name}) {
    SCOPED_TRACE(message.left(20).toStdString());
    MessageDialog dialog(BoxRequest{BoxKind::bkError, ApplicationTitle(), message});
    dialog.show();
    const int half_screen = QGuiApplication::primaryScreen()->geometry().width() / 2;
    const QLabel* text = nullptr;
    for (const QLabel* label : dialog.findChildren<QLabel*>())
      if (!label->text().isEmpty()) text = label;
    ASSERT_NE(text, nullptr);
    EXPECT_LE(text->minimumSizeHint().width(), half_screen);  // no word wider than the box
    EXPECT_LE(text->width(), half_screen);
    EXPECT_GT(text->width(), half_screen * 3 / 4);  // wrapped near the limit, not much earlier
    EXPECT_GT(text->height(), 3 * text->fontMetrics().height());
    // What is read out and copied is the message as it stands.
    EXPECT_EQ(QAccessible::queryAccessibleInterface(const_cast<QLabel*>(text))->text(QAccessible::Name),
              message);
    EXPECT_TRUE(dialog.ClipboardText().contains("\r\n" + message + "\r\n"));
  }
}

}  // namespace
