#include "ui/readable_colours.h"

#include <algorithm>
#include <cmath>

namespace {

double Linear(double channel) {
  return channel <= 0.04045 ? channel / 12.92 : std::pow((channel + 0.055) / 1.055, 2.4);
}

QColor Mix(const QColor& from, const QColor& to, double share) {
  auto channel = [share](int a, int b) { return static_cast<int>(std::lround(a + (b - a) * share)); };
  return QColor(channel(from.red(), to.red()), channel(from.green(), to.green()),
                channel(from.blue(), to.blue()));
}

}  // namespace

double RelativeLuminance(const QColor& colour) {
  const QColor rgb = colour.toRgb();
  return 0.2126 * Linear(rgb.redF()) + 0.7152 * Linear(rgb.greenF()) + 0.0722 * Linear(rgb.blueF());
}

double ContrastRatio(const QColor& a, const QColor& b) {
  const double la = RelativeLuminance(a), lb = RelativeLuminance(b);
  return (std::max(la, lb) + 0.05) / (std::min(la, lb) + 0.05);
}

bool IsDarkTheme(const QPalette& palette) {
  return RelativeLuminance(palette.color(QPalette::Window)) <
         RelativeLuminance(palette.color(QPalette::WindowText));
}

QColor Readable(const QColor& colour, const QColor& background) {
  if (ContrastRatio(colour, background) >= kReadableContrast) return colour;
  // Towards whichever end can stand out more from this background.
  const QColor end = ContrastRatio(Qt::white, background) > ContrastRatio(Qt::black, background)
                         ? QColor(Qt::white)
                         : QColor(Qt::black);
  constexpr int kSteps = 64;
  for (int step = 1; step < kSteps; ++step) {
    const QColor mixed = Mix(colour, end, double(step) / kSteps);
    if (ContrastRatio(mixed, background) >= kReadableContrast) return mixed;
  }
  return end;
}

QColor ThemedTextColour(const QPalette& palette, const QColor& design,
                        QPalette::ColorRole theme_role, const QColor& background) {
  return Readable(IsDarkTheme(palette) ? palette.color(theme_role) : design, background);
}

QPalette DarkThemePalette() {
  const QColor window(0x31, 0x36, 0x3b), text(0xef, 0xf0, 0xf1), base(0x23, 0x26, 0x29);
  QPalette palette(text, window, QColor(0x47, 0x4d, 0x54), QColor(0x1b, 0x1e, 0x20),
                   QColor(0x2a, 0x2e, 0x32), text, QColor(Qt::white), base, window);
  palette.setColor(QPalette::AlternateBase, window);
  palette.setColor(QPalette::Shadow, QColor(0x0f, 0x10, 0x11));
  palette.setColor(QPalette::Highlight, QColor(0x3d, 0xae, 0xe9));
  palette.setColor(QPalette::HighlightedText, text);
  palette.setColor(QPalette::Link, QColor(0x1d, 0x99, 0xf3));
  palette.setColor(QPalette::LinkVisited, QColor(0x9b, 0x59, 0xb6));
  palette.setColor(QPalette::ToolTipBase, window);
  palette.setColor(QPalette::ToolTipText, text);
  palette.setColor(QPalette::PlaceholderText, QColor(0xa1, 0xa9, 0xb1));
  const QColor disabled(0x6e, 0x71, 0x73);
  for (const auto role : {QPalette::WindowText, QPalette::Text, QPalette::ButtonText})
    palette.setColor(QPalette::Disabled, role, disabled);
  return palette;
}
