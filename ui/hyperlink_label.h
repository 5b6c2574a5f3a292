#pragma once
// A label that shows an address as a link: underlined, dark blue until it has been opened
// once, brown afterwards. A left click opens its target through the desktop
// (QDesktopServices::openUrl); whether a program took it is not checked.
#include <QLabel>
#include <QUrl>

class HyperlinkLabel : public QLabel {
  Q_OBJECT
 public:
  HyperlinkLabel(const QString& text, const QUrl& target, QWidget* parent = nullptr);
  QUrl Target() const { return target_; }
  bool Visited() const { return visited_; }
  static const QColor kUnvisitedColor;
  static const QColor kVisitedColor;

 protected:
  void mousePressEvent(QMouseEvent* event) override;
  void mouseReleaseEvent(QMouseEvent* event) override;
  void keyPressEvent(QKeyEvent* event) override;

 private:
  void Open();
  void SetTextColor(const QColor& color);
  QUrl target_;
  bool visited_ = false;
  bool pressed_ = false;
};
