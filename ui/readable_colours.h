#pragma once
// Text colours that stay readable on light and dark desktop themes.
//
// A colour the windows fix (the blue title, the black size label, the links' dark blue and
// brown) is kept on light themes; on dark ones the theme's own colour for that kind of text
// stands in for it. Either way the text keeps a contrast of at least 4.5 : 1 against what is
// behind it (relative luminance as the Web Content Accessibility Guidelines define it).
#include <QColor>
#include <QPalette>

inline constexpr double kReadableContrast = 4.5;

// 0 for black .. 1 for white, from the linearised sRGB channels.
double RelativeLuminance(const QColor& colour);
// (lighter + 0.05) / (darker + 0.05): 1 for equal colours, 21 for black on white.
double ContrastRatio(const QColor& a, const QColor& b);

// A dark theme writes light text on a dark window.
bool IsDarkTheme(const QPalette& palette);

// The colour itself when it stands out enough from the background; otherwise the same hue
// moved towards black (on a light background) or white (on a dark one) just far enough.
QColor Readable(const QColor& colour, const QColor& background);

// The text colour for a fixed design colour on this palette: design on a light theme, the
// theme's theme_role on a dark one, made readable on background.
QColor ThemedTextColour(const QPalette& palette, const QColor& design,
                        QPalette::ColorRole theme_role, const QColor& background);

// A dark palette in the manner of the desktops' dark themes; the screenshot tool and the tests
// show the windows with it.
QPalette DarkThemePalette();
