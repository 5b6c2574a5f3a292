// Start-up: the application object, Qt's own texts in Chinese, the display depth for the engine,
// the main window.
#include <QScreen>

#include "app/form_main.h"
#include "app/qt_translations.h"
#include "engine/display_depth.h"
#include "ui/app_icon.h"
#include "ui/guarded.h"

int main(int argc, char** argv) {
  TApplication app(argc, argv);
  InstallQtTranslations();  // without the catalogue Qt's texts stay English
  QApplication::setWindowIcon(TessarineIcon());
  QGuiApplication::setDesktopFileName(QString::fromLatin1(kDesktopFileName));
  if (const QScreen* screen = QGuiApplication::primaryScreen()) SetDisplayDepth(screen->depth());
  auto* form = new TFormMain;
  form->setAttribute(Qt::WA_DeleteOnClose);  // closing frees the window and ends the loop
  form->show();
  return app.exec();
}
