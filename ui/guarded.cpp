#include "ui/guarded.h"

#include "ui/version_texts.h"
TApplication::TApplication(int& argc, char** argv) : QApplication(argc, argv) {
  setApplicationName(QStringLiteral("Tessarine"));
  setApplicationVersion(QString::fromLatin1(kApplicationVersion));
}

bool TApplication::notify(QObject* receiver, QEvent* event) {
  bool handled = false;
  RunGuarded([&] { handled = QApplication::notify(receiver, event); });
  return handled;
}
