#include "ui/message_box.h"

#include <QClipboard>
#include <QFontDatabase>
#include <QGuiApplication>
#include <QHBoxLayout>
#include <QKeyEvent>
#include <QLabel>
#include <QPushButton>
#include <QScreen>
#include <QStyle>
#include <QVBoxLayout>

#include "engine/errors.h"
#include "ui/widget_helpers.h"
#include "ui/version_texts.h"

namespace {

void PresentInDialog(const BoxRequest& request) {
  MessageDialog dialog(request);
  dialog.exec();
}

BoxPresenter& CurrentPresenter() {
  static BoxPresenter presenter = PresentInDialog;
  return presenter;
}

// The text with a zero-width break opportunity after every character of each word that is
// wider than width on its own (a long path or file name), so that it wraps instead of running
// past the edge. Other words are left whole.
QString BreakLongWords(const QString& text, const QFontMetrics& metrics, int width) {
  QString broken;
  qsizetype start = 0;
  while (start < text.size()) {
    qsizetype end = start;
    const bool blank = text[start].isSpace();
    while (end < text.size() && text[end].isSpace() == blank) ++end;
    const QString run = text.mid(start, end - start);
    if (blank || metrics.horizontalAdvance(run) <= width) {
      broken += run;
    } else {
      for (qsizetype i = 0; i < run.size(); ++i) {
        broken += run[i];
        if (!run[i].isHighSurrogate() && i + 1 < run.size()) broken += QChar(0x200B);
      }
    }
    start = end;
  }
  return broken;
}

void Present(const BoxRequest& request) {
  // A copy: a presenter may install another one while it runs.
  const BoxPresenter presenter = CurrentPresenter();
  presenter(request);
}

}  // namespace

QString ApplicationTitle() { return QString::fromLatin1(kApplicationTitle); }

BoxPresenter SetBoxPresenter(BoxPresenter presenter) {
  BoxPresenter previous = CurrentPresenter();
  CurrentPresenter() = presenter ? std::move(presenter) : BoxPresenter(PresentInDialog);
  return previous;
}

void ShowMessage(const QString& text) {
  Present(BoxRequest{BoxKind::bkMessage, ApplicationTitle(), text});
}

void ShowMessage(const std::string& text) { ShowMessage(QString::fromStdString(text)); }

void ShowErrorBox(const std::exception& error) {
  if (dynamic_cast<const Abort*>(&error)) return;
  Present(BoxRequest{BoxKind::bkError, ApplicationTitle(), ErrorBoxText(error.what())});
}

QString ErrorBoxText(const std::string& message) {
  QString text = QString::fromStdString(message);
  if (!message.empty() && static_cast<unsigned char>(message.back()) > '.') text += '.';
  return text;
}

QString BoxClipboardText(const QString& caption, const QString& text, const QStringList& buttons) {
  const QString line = QString(27, '-') + "\r\n";
  QString button_line;
  for (const QString& button : buttons) button_line += button + "   ";
  return line + caption + "\r\n" + line + text + "\r\n" + line + button_line + "\r\n" + line;
}

MessageDialog::MessageDialog(const BoxRequest& request, QWidget* parent) : QDialog(parent) {
  setWindowTitle(request.caption);
  setWindowModality(Qt::ApplicationModal);
  setWindowFlags((windowFlags() | Qt::MSWindowsFixedSizeDialogHint) &
                 ~Qt::WindowContextHelpButtonHint);

  auto* body = new QHBoxLayout;
  if (request.kind == BoxKind::bkError) {
    auto* icon = new QLabel(this);
    const int size = style()->pixelMetric(QStyle::PM_MessageBoxIconSize, nullptr, this);
    icon->setPixmap(style()->standardIcon(QStyle::SP_MessageBoxCritical, nullptr, this).pixmap(size));
    icon->setAlignment(Qt::AlignTop);
    body->addWidget(icon);
  }
  text_label_ = new QLabel(request.text, this);
  text_label_->setTextFormat(Qt::PlainText);
  text_label_->setWordWrap(true);
  if (const QScreen* screen = QGuiApplication::primaryScreen()) {
    text_label_->setMaximumWidth(screen->geometry().width() / 2);
    text_label_->setText(BreakLongWords(request.text, text_label_->fontMetrics(),
                                        text_label_->maximumWidth()));
  }
  text_label_->setAccessibleName(request.text);
  body->addWidget(text_label_, 1);

  auto* ok = new QPushButton(QStringLiteral("OK"), this);
  ok->setObjectName(QStringLiteral("OK"));
  ok->setDefault(true);
  connect(ok, &QPushButton::clicked, this, &QDialog::accept);
  button_captions_ << ok->text();
  auto* buttons = new QHBoxLayout;
  buttons->addStretch();
  buttons->addWidget(ok);
  buttons->addStretch();

  auto* layout = new QVBoxLayout(this);
  layout->addLayout(body);
  layout->addLayout(buttons);
  // Wide enough for the whole caption in the title bar, beside the close box.
  QFont title_font = QFontDatabase::systemFont(QFontDatabase::TitleFont);
  title_font.setBold(true);
  const QFontMetrics title(title_font);
  layout->addItem(new QSpacerItem(title.horizontalAdvance(request.caption) + 4 * title.height(), 0,
                                  QSizePolicy::Fixed, QSizePolicy::Fixed));
  layout->setSizeConstraint(QLayout::SetFixedSize);
}

QString MessageDialog::ClipboardText() const {
  return BoxClipboardText(windowTitle(), text_label_->accessibleName(), button_captions_);
}

void MessageDialog::keyPressEvent(QKeyEvent* event) {
  if (event->matches(QKeySequence::Copy)) {
    QGuiApplication::clipboard()->setText(ClipboardText());
    return;
  }
  QDialog::keyPressEvent(event);  // Esc rejects, Enter presses the default button
}

void MessageDialog::showEvent(QShowEvent* event) {
  QDialog::showEvent(event);
  CentreOnScreen(this);
}

ScopedBoxCapture::ScopedBoxCapture() : ScopedBoxCapture(nullptr) {}

ScopedBoxCapture::ScopedBoxCapture(std::function<void(const QString&)> on_text)
    : on_text_(std::move(on_text)) {
  previous_ = SetBoxPresenter([this](const BoxRequest& request) {
    boxes_.push_back(request);
    if (on_text_) on_text_(request.text);
  });
}

ScopedBoxCapture::~ScopedBoxCapture() { SetBoxPresenter(std::move(previous_)); }

QStringList ScopedBoxCapture::Texts() const {
  QStringList texts;
  for (const BoxRequest& box : boxes_) texts << box.text;
  return texts;
}
