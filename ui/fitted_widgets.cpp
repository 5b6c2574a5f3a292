#include "ui/fitted_widgets.h"

#include <QStyle>
#include <QStyleOptionFrame>
#include <algorithm>

FittedLineEdit::FittedLineEdit(const QString& text, int design_width, QStringList samples,
                               QWidget* parent)
    : QLineEdit(text, parent), design_width_(design_width), samples_(std::move(samples)) {
  setSizePolicy(QSizePolicy::Fixed, QSizePolicy::Fixed);
}

QSize FittedLineEdit::sizeHint() const {
  int text_width = 0;
  for (const QString& sample : samples_)
    text_width = std::max(text_width, fontMetrics().horizontalAdvance(sample));
  // As QLineEdit measures itself: 2 pixels of margin on each side inside the frame, the
  // text margins, one pixel for the cursor; the style adds its frame.
  const QMargins margins = textMargins();
  QStyleOptionFrame option;
  initStyleOption(&option);
  const QSize hint = QLineEdit::sizeHint();
  const int content = text_width + 2 * 2 + margins.left() + margins.right() + 1;
  const int width =
      style()->sizeFromContents(QStyle::CT_LineEdit, &option, QSize(content, hint.height()), this).width();
  return QSize(std::max(design_width_, width), hint.height());
}
