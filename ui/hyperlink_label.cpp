#include "ui/hyperlink_label.h"

#include <QAccessibleWidget>
#include <QApplication>
#include <QDesktopServices>
#include <QKeyEvent>
#include <QMouseEvent>
#include <QStyleOption>
#include <QStylePainter>

#include "ui/readable_colours.h"

namespace {

// What screen readers see: a link named by its text, whose press action opens it.
class HyperlinkAccessible : public QAccessibleWidget {
 public:
  explicit HyperlinkAccessible(HyperlinkLabel* label) : QAccessibleWidget(label, QAccessible::Link) {}

  QString text(QAccessible::Text kind) const override {
    switch (kind) {
      case QAccessible::Name: return Label()->text();
      case QAccessible::Value: return Label()->Target().toString();
      default: return QAccessibleWidget::text(kind);
    }
  }
  QAccessible::State state() const override {
    QAccessible::State state = QAccessibleWidget::state();
    state.linked = true;
    state.traversed = Label()->Visited();
    return state;
  }
  QStringList actionNames() const override {
    return QStringList{pressAction()} + QAccessibleWidget::actionNames();
  }
  void doAction(const QString& action) override {
    if (action == pressAction()) {
      Label()->Open();
    } else {
      QAccessibleWidget::doAction(action);
    }
  }

 private:
  HyperlinkLabel* Label() const { return static_cast<HyperlinkLabel*>(widget()); }
};

QAccessibleInterface* HyperlinkAccessibleFactory(const QString& class_name, QObject* object) {
  if (class_name != QLatin1String("HyperlinkLabel")) return nullptr;
  auto* label = qobject_cast<HyperlinkLabel*>(object);
  return label != nullptr ? new HyperlinkAccessible(label) : nullptr;
}

}  // namespace

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
  [[maybe_unused]] static const bool factory_installed = [] {
    QAccessible::installFactory(HyperlinkAccessibleFactory);
    return true;
  }();
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

// The focus mark around the text; the label takes the focus only from the keyboard.
void HyperlinkLabel::paintEvent(QPaintEvent* event) {
  QLabel::paintEvent(event);
  if (!hasFocus()) return;
  QStylePainter painter(this);
  QStyleOptionFocusRect mark;
  mark.initFrom(this);
  mark.state |= QStyle::State_KeyboardFocusChange;
  mark.backgroundColor = palette().color(backgroundRole());
  mark.rect = style()->itemTextRect(fontMetrics(), contentsRect(), alignment(), isEnabled(), text())
                  .adjusted(-1, 0, 1, 0) & rect();
  painter.drawPrimitive(QStyle::PE_FrameFocusRect, mark);
}

void HyperlinkLabel::Open() {
  QDesktopServices::openUrl(target_);
  visited_ = true;
  SetTextColor(kVisitedColor);
}

void HyperlinkLabel::changeEvent(QEvent* event) {
  QLabel::changeEvent(event);
  if (event->type() == QEvent::PaletteChange && !recolouring_)
    SetTextColor(visited_ ? kVisitedColor : kUnvisitedColor);
}

// The design's color on a light theme, the theme's link or visited-link color on a dark one,
// chosen by the surroundings' palette (the label's own text color is the one being set).
void HyperlinkLabel::SetTextColor(const QColor& design) {
  const QPalette theme = parentWidget() != nullptr ? parentWidget()->palette() : QApplication::palette(this);
  const QColor color = ThemedTextColour(theme, design, visited_ ? QPalette::LinkVisited : QPalette::Link,
                                        theme.color(QPalette::Window));
  QPalette colors = palette();
  colors.setColor(QPalette::WindowText, color);
  recolouring_ = true;
  setPalette(colors);
  recolouring_ = false;
}
