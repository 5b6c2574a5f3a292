// Renders the main window as it opens into a PNG file (used by scripts/screenshot.sh).
#include <QPixmap>
#include <QTest>
#include <cstdio>

#include "app/form_main.h"
#include "ui/file_list_box.h"
#include "ui/guarded.h"

int main(int argc, char** argv) {
  TApplication app(argc, argv);
  if (argc != 2) {
    std::fprintf(stderr, "usage: %s <out.png>\n", argv[0]);
    return 2;
  }
  TFormMain form;
  form.show();
  QTest::qWait(200);  // let the window lay itself out and its widgets fill
  // Show a preview too: select the first listed picture, as a click would.
  auto* list = form.findChild<FileListBox*>(QStringLiteral("FileListBox1"));
  if (list != nullptr && list->Count() > 0) RunGuarded([&] { list->SelectName(list->Item(0)); });
  QTest::qWait(200);
  if (!form.grab().save(QString::fromLocal8Bit(argv[1]))) {
    std::fprintf(stderr, "cannot write %s\n", argv[1]);
    return 1;
  }
  return 0;
}
