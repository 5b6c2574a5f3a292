#pragma once
// A label that shows an address as a link: underlined, dark blue until it has been opened
// once, brown afterwards; on a dark theme the theme's link and visited-link colours stand in
// for them. A left click opens its target through the desktop (QDesktopServices::openUrl);
// whether a program took it is not checked. With the keyboard focus it shows the focus mark,
// and screen readers see a link they can press.
#include <QLabel>
#include <QUrl>

class HyperlinkLabel : public QLabel {
  Q_OBJECT
 public:
  HyperlinkLabel(const QString& text, const QUrl& target, QWidget* parent = nullptr);
  QUrl Target() const { return target_; }
  bool Visited() const { return visited_; }
  // Opens the target as a click does.
  void Open();
  static const QColor kUnvisitedColor;
  static const QColor kVisitedColor;

 protected:
  void changeEvent(QEvent* event) override;
  void mousePressEvent(QMouseEvent* event) override;
  void mouseReleaseEvent(QMouseEvent* event) override;
  void keyPressEvent(QKeyEvent* event) override;
  void paintEvent(QPaintEvent* event) override;

 private:
  void SetTextColor(const QColor& design);
  QUrl target_;
  bool visited_ = false;
  bool pressed_ = false;
  bool recolouring_ = false;
};
