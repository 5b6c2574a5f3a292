#include "app/glyphs.h"

#include <QPainter>
#include <QPainterPath>
#include <QPixmap>

namespace {

void DrawPicture(QPainter& p, const QRectF& frame) {
  p.setPen(QPen(QColor(40, 60, 110), 1));
  p.setBrush(QColor(170, 215, 250));
  p.drawRect(frame);
  QPainterPath hill;  // a mountain and a sun: "a photo"
  hill.moveTo(frame.left() + 1, frame.bottom());
  hill.lineTo(frame.left() + frame.width() * 0.4, frame.top() + frame.height() * 0.45);
  hill.lineTo(frame.left() + frame.width() * 0.65, frame.top() + frame.height() * 0.7);
  hill.lineTo(frame.right(), frame.top() + frame.height() * 0.35);
  hill.lineTo(frame.right(), frame.bottom());
  hill.closeSubpath();
  p.setPen(Qt::NoPen);
  p.setBrush(QColor(60, 150, 60));
  p.drawPath(hill);
  p.setBrush(QColor(250, 200, 40));
  p.drawEllipse(QPointF(frame.left() + frame.width() * 0.3, frame.top() + frame.height() * 0.3),
                frame.width() * 0.12, frame.width() * 0.12);
}

void Draw(QPainter& p, Glyph glyph) {
  switch (glyph) {
    case Glyph::glAbout:
      p.setPen(Qt::NoPen);
      p.setBrush(QColor(30, 90, 200));
      p.drawEllipse(QRectF(1, 1, 14, 14));
      p.setBrush(Qt::white);
      p.drawRect(QRectF(7, 7, 2, 6));
      p.drawEllipse(QRectF(7, 3.5, 2, 2));
      break;
    case Glyph::glHomePage: {
      QPainterPath roof;
      roof.moveTo(1, 8);
      roof.lineTo(8, 1.5);
      roof.lineTo(15, 8);
      roof.closeSubpath();
      p.setPen(Qt::NoPen);
      p.setBrush(QColor(200, 50, 40));
      p.drawPath(roof);
      p.setBrush(QColor(240, 225, 190));
      p.setPen(QPen(QColor(110, 80, 50), 1));
      p.drawRect(QRectF(3.5, 8, 9, 6.5));
      p.setBrush(QColor(110, 80, 50));
      p.drawRect(QRectF(7, 10.5, 2.5, 4));
      break;
    }
    case Glyph::glFolder:
      p.setPen(QPen(QColor(150, 110, 20), 1));
      p.setBrush(QColor(245, 200, 80));
      p.drawRect(QRectF(1.5, 3.5, 6, 3));
      p.drawRect(QRectF(1.5, 5.5, 13, 9));
      break;
    case Glyph::glPicture:
      DrawPicture(p, QRectF(1.5, 2.5, 13, 11));
      break;
    case Glyph::glPictures:
      DrawPicture(p, QRectF(4.5, 1.5, 11, 9));
      DrawPicture(p, QRectF(0.5, 5.5, 11, 9));
      break;
  }
}

}  // namespace

QIcon GlyphIcon(Glyph glyph) {
  QIcon icon;
  for (const int scale : {1, 2}) {
    QPixmap pixmap(16 * scale, 16 * scale);
    pixmap.fill(Qt::transparent);
    QPainter painter(&pixmap);
    painter.setRenderHint(QPainter::Antialiasing);
    painter.scale(scale, scale);
    Draw(painter, glyph);
    painter.end();
    icon.addPixmap(pixmap);
  }
  return icon;
}
