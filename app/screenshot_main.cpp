// Renders the main window as it opens into a PNG file (used by scripts/screenshot.sh), at a
// chosen font, palette and scale factor:
//   tessarine-screenshot [--font "Family Size"] [--palette light|dark] [--scale F] out.png
#include <QDir>
#include <QFile>
#include <QPixmap>
#include <QTest>
#include <QToolButton>
#include <cstdio>
#include <cstdlib>
#include <string>

#include "app/form_main.h"
#include "ui/file_list_box.h"
#include "ui/guarded.h"
#include "ui/message_box.h"
#include "ui/readable_colours.h"

namespace {

struct Options {
  QString font;  // "Cantarell 11": a family and a point size
  bool dark = false;
  double scale = 1;
  QString out;
};

bool Parse(int argc, char** argv, Options& options) {
  for (int i = 1; i < argc; ++i) {
    const std::string arg = argv[i];
    const bool has_value = i + 1 < argc;
    if (arg == "--font" && has_value) {
      options.font = QString::fromLocal8Bit(argv[++i]);
    } else if (arg == "--palette" && has_value) {
      const std::string palette = argv[++i];
      if (palette != "light" && palette != "dark") return false;
      options.dark = palette == "dark";
    } else if (arg == "--scale" && has_value) {
      options.scale = std::atof(argv[++i]);
      if (options.scale < 1 || options.scale > 4) return false;
    } else if (arg.starts_with("--") || !options.out.isEmpty()) {
      return false;
    } else {
      options.out = QString::fromLocal8Bit(argv[i]);
    }
  }
  return !options.out.isEmpty();
}

// The offscreen platform's screen: 1920 x 1080 units at the scale factor, so the window
// opens at its usual size whatever the factor.
std::string UseScreen(double scale) {
  const int width = static_cast<int>(1920 * scale), height = static_cast<int>(1080 * scale);
  const std::string config = QDir::temp().filePath("tessarine-screenshot-screen.json").toStdString();
  if (std::FILE* file = std::fopen(config.c_str(), "w")) {
    std::fprintf(file, R"({"screens": [{"name": "screen", "x": 0, "y": 0, "width": %d, "height": %d}]})",
                 width, height);
    std::fclose(file);
  }
  setenv("QT_QPA_PLATFORM", ("offscreen:configfile=" + config).c_str(), 1);
  setenv("QT_SCALE_FACTOR", std::to_string(scale).c_str(), 1);
  return config;
}

}  // namespace

int main(int argc, char** argv) {
  Options options;
  if (!Parse(argc, argv, options)) {
    std::fprintf(stderr, "usage: %s [--font \"Family Size\"] [--palette light|dark] [--scale F] <out.png>\n",
                 argv[0]);
    return 2;
  }
  const std::string screen = UseScreen(options.scale);  // before the application reads it
  TApplication app(argc, argv);
  std::remove(screen.c_str());
  if (!options.font.isEmpty()) {
    const qsizetype blank = options.font.lastIndexOf(' ');
    bool sized = false;
    const double points = blank < 0 ? 0 : options.font.mid(blank + 1).toDouble(&sized);
    QFont font(sized ? options.font.left(blank) : options.font);
    if (sized && points > 0) font.setPointSizeF(points);
    QApplication::setFont(font);
  }
  if (options.dark) QApplication::setPalette(DarkThemePalette());
  TFormMain form;
  form.show();
  QTest::qWait(200);  // let the window lay itself out and its widgets fill
  // Show a preview and a log line too: select the first listed picture, as a click would, and
  // make its thumbnail (into the demo desktop; a box it might raise is not shown).
  auto* list = form.findChild<FileListBox*>(QStringLiteral("FileListBox1"));
  if (list != nullptr && list->Count() > 0) {
    RunGuarded([&] { list->SelectName(list->Item(0)); });
    ScopedBoxCapture no_boxes;
    if (auto* make = form.findChild<QToolButton*>(QStringLiteral("SpeedButton1"))) make->click();
  }
  QTest::qWait(200);
  if (!form.grab().save(options.out)) {
    std::fprintf(stderr, "cannot write %s\n", qPrintable(options.out));
    return 1;
  }
  return 0;
}
