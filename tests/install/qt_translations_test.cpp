// Qt's own texts in Chinese: the catalogue Qt's translations package installs, and a start-up
// without it.
#include <gtest/gtest.h>

#include <QAction>
#include <QFileInfo>
#include <QLineEdit>
#include <QMenu>
#include <QTemporaryDir>
#include <QTranslator>
#include <memory>

#include "app/qt_translations.h"
#include "tests/qt_print.h"

namespace {

// The standard context menu of an edit box, as the number boxes show it, without shortcuts.
QStringList EditMenuTexts() {
  QLineEdit edit;
  const std::unique_ptr<QMenu> menu(edit.createStandardContextMenu());
  QStringList texts;
  for (const QAction* action : menu->actions())
    if (!action->isSeparator()) texts << action->text().section('\t', 0, 0);
  return texts;
}

const QStringList kEnglish{"&Undo", "&Redo", "Cu&t", "&Copy", "&Paste", "Delete", "Select All"};

}  // namespace

TEST(QtTranslations, EditBoxMenuIsChineseWhenQtsCatalogueIsInstalled) {
  const QString folder = QtTranslationsFolder();
  if (!QFileInfo::exists(folder + "/qtbase_zh_CN.qm"))
    GTEST_SKIP() << "no qtbase_zh_CN.qm in " << folder.toStdString()
                 << " (Debian package qt6-translations-l10n)";
  ASSERT_EQ(EditMenuTexts(), kEnglish);
  const std::unique_ptr<QTranslator> translator(InstallQtTranslations(folder));
  ASSERT_NE(translator, nullptr);
  const QStringList texts = EditMenuTexts();  // 撤消(&U) 重做(&R) 剪切(&T) 复制(&C) ... with Qt 6.4
  ASSERT_EQ(texts.size(), kEnglish.size());
  for (qsizetype i = 0; i < texts.size(); ++i) EXPECT_NE(texts[i], kEnglish[i]);
  EXPECT_EQ(texts[3], "复制(&C)");
}

TEST(QtTranslations, MissingCatalogueLeavesQtsTextsEnglish) {
  QTemporaryDir empty;
  ASSERT_TRUE(empty.isValid());
  EXPECT_EQ(InstallQtTranslations(empty.path()), nullptr);
  EXPECT_EQ(EditMenuTexts(), kEnglish);
}
