#pragma once
// The tool's two boxes and the one road every box takes to the screen.
//
// Every standard message box and every error box is handed as a BoxRequest to the current
// presenter. The default presenter shows a modal MessageDialog; tests install their own with
// ScopedBoxCapture so that no modal loop ever waits for a click.
#include <QDialog>
#include <QString>
#include <QStringList>
#include <exception>
#include <functional>
#include <string>
#include <vector>

class QKeyEvent;
class QLabel;

// The application title: the main window's caption and the caption of every box.
QString ApplicationTitle();

enum class BoxKind {
  bkMessage,  // the standard message box: no icon
  bkError,    // the standard error box: stop icon
};

struct BoxRequest {
  BoxKind kind;
  QString caption;
  QString text;  // as shown, the error box's "." included
};

using BoxPresenter = std::function<void(const BoxRequest&)>;

// Installs the presenter every box goes through and returns the one it replaces. An empty
// function restores the default (a modal MessageDialog).
BoxPresenter SetBoxPresenter(BoxPresenter presenter);

// The standard message box for user errors: caption ApplicationTitle(), no icon, one "OK".
// Returns when the box is closed.
void ShowMessage(const QString& text);
void ShowMessage(const std::string& text);  // UTF-8

// The standard error box for an exception that left an event handler: stop icon, one "OK",
// the message with "." added by ErrorBoxText. Abort shows nothing.
void ShowErrorBox(const std::exception& error);

// The error box's text: the message, plus "." when it is not empty and its last character
// sorts after "." (U+002E). Messages are UTF-8 and every byte of a multi-byte character is
// 0x80 or above, so comparing the last byte gives the same answer as comparing the last
// code point: ".", "!", ")", blanks and control characters get nothing; letters, digits,
// ":", "?", "/" and every non-ASCII character get the period.
QString ErrorBoxText(const std::string& message);

// What Ctrl+C copies from an open box: dash lines around the caption, the text and the button
// captions (each followed by three blanks), every line ending in CR LF.
QString BoxClipboardText(const QString& caption, const QString& text, const QStringList& buttons);

// The dialog of the default presenter: application-modal, centred on the primary screen, text
// wrapped at half the screen's width, one "OK" button that Enter, Esc and the close box all
// trigger.
class MessageDialog : public QDialog {
  Q_OBJECT
 public:
  explicit MessageDialog(const BoxRequest& request, QWidget* parent = nullptr);
  QString ClipboardText() const;

 protected:
  void keyPressEvent(QKeyEvent* event) override;
  void showEvent(QShowEvent* event) override;

 private:
  QLabel* text_label_;
  QStringList button_captions_;
};

// Replaces the presenter for its lifetime and records every box instead of showing it;
// the optional callback sees each text as it is presented.
class ScopedBoxCapture {
 public:
  ScopedBoxCapture();
  explicit ScopedBoxCapture(std::function<void(const QString&)> on_text);
  ~ScopedBoxCapture();
  ScopedBoxCapture(const ScopedBoxCapture&) = delete;
  ScopedBoxCapture& operator=(const ScopedBoxCapture&) = delete;

  const std::vector<BoxRequest>& Boxes() const { return boxes_; }
  QStringList Texts() const;

 private:
  std::vector<BoxRequest> boxes_;
  std::function<void(const QString&)> on_text_;
  BoxPresenter previous_;
};
