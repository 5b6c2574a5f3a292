#pragma once
// The About window: icon, product name and version, the maker's home page and e-mail as
// links, a short description and "关闭". A fixed-size modal dialog made anew for every
// opening and freed when it closes; nothing about it outlives one opening.
#include <QDialog>

class QLabel;
class QPlainTextEdit;
class QPushButton;
class HyperlinkLabel;

class TFormAbout : public QDialog {
  Q_OBJECT
 public:
  explicit TFormAbout(QWidget* owner);  // centred over owner's window when shown

 protected:
  bool event(QEvent* event) override;
  void changeEvent(QEvent* event) override;

 private:
  void FitToFont();
  void KeepSize();
  QLabel *Image1, *Label1, *Label2, *Label5, *Label6;
  HyperlinkLabel *LinkHomePage, *LinkMail;
  QPlainTextEdit *Memo1, *Memo2;  // Memo2: the English text, kept hidden
  QPushButton* Button1;
  void Button1Click();
};
