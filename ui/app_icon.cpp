#include "ui/app_icon.h"

// The resources live in a static library; naming their initialiser here keeps the linker
// from dropping them. Outside any namespace, as the initialiser is a global function.
static void LoadIconResources() {
  static const bool loaded = [] {
    Q_INIT_RESOURCE(tessarine);
    return true;
  }();
  (void)loaded;
}

QIcon TessarineIcon() {
  LoadIconResources();
  QIcon icon;
  for (int size : {16, 32, 48, 128, 256})
    icon.addFile(QStringLiteral(":/icons/tessarine-%1.png").arg(size), QSize(size, size));
  return icon;
}

QPixmap TessarineIconPicture(qreal device_pixel_ratio) {
  return TessarineIcon().pixmap(QSize(32, 32), device_pixel_ratio);
}
