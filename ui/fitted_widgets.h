#pragma once
// Controls that keep the design's size at the design's font and grow where their content
// needs more at the desktop's font. Layouts read both through the size hint, so the controls
// follow font, style and screen changes without further calls.
#include <QLineEdit>
#include <QSize>
#include <QStringList>
#include <utility>

// Base with a size hint of at least design (0 leaves that side to the content); give it a
// Fixed size policy on the sides where the design fixes the size.
template <class Base>
class AtLeastDesign : public Base {
 public:
  template <class... Args>
  explicit AtLeastDesign(QSize design, Args&&... args)
      : Base(std::forward<Args>(args)...), design_(design) {}
  QSize sizeHint() const override { return Base::sizeHint().expandedTo(design_); }

 private:
  QSize design_;
};

// A one-line box of fixed width: the design's width, or the width that shows each of the
// sample texts whole at the current font, whichever is more.
class FittedLineEdit : public QLineEdit {
 public:
  FittedLineEdit(const QString& text, int design_width, QStringList samples, QWidget* parent);
  QSize sizeHint() const override;
  QSize minimumSizeHint() const override { return sizeHint(); }

 private:
  int design_width_;
  QStringList samples_;
};
