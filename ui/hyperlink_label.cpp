#include "ui/hyperlink_label.h"

#include <QDesktopServices>
#include <QKeyEvent>
#include <QMouseEvent>

const QColor HyperlinkLabel::kUnvisitedColor(0x00, 0x00, 0x80);
const QColor HyperlinkLabel::kVisitedColor(0x80, 0x40, 0x00);

HyperlinkLabel::HyperlinkLabel(const QString& text, const QUrl& target, QWidget* parent)
    : QLabel(text, parent), target_(target) {
  QFont underlined = font();
  underlined.setUnderline(true);
  setFont(underlined);
  setTextFormat(Qt::PlainText);
  setCursor(Qt::PointingHandCursor);
  setFocusPolicy(Qt::TabFocus);  // Space or Enter opens it too
  setToolTip(target_.toString());
  SetTextColor(kUnvisitedColor);
}

// Opens on a release over the label that follows a press on it, like a button.
void HyperlinkLabel::mousePressEvent(QMouseEvent* event) {
  pressed_ = event->button() == Qt::LeftButton;
  event->accept();
}

void HyperlinkLabel::mouseReleaseEvent(QMouseEvent* event) {
  const bool click = pressed_ && event->button() == Qt::LeftButton &&
                     rect().contains(event->position().toPoint());
  pressed_ = false;
  event->accept();
  if (click) Open();
}

void HyperlinkLabel::keyPressEvent(QKeyEvent* event) {
  switch (event->key()) {
    case Qt::Key_Space: case Qt::Key_Return: case Qt::Key_Enter: Open(); break;
    default: QLabel::keyPressEvent(event);
  }
}

void HyperlinkLabel::Open() {
  QDesktopServices::openUrl(target_);
  visited_ = true;
  SetTextColor(kVisitedColor);
}

void HyperlinkLabel::SetTextColor(const QColor& color) {
  QPalette colors = palette();
  colors.setColor(QPalette::WindowText, color);
  setPalette(colors);
}
