#pragma once
// The small pictures beside the captions of the main window's flat buttons, drawn in code so
// that they look the same under every icon theme.
#include <QIcon>

enum class Glyph { glAbout, glHomePage, glFolder, glPicture, glPictures };

QIcon GlyphIcon(Glyph glyph);
