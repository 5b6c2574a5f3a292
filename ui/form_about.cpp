#include "ui/form_about.h"

#include <QGridLayout>
#include <QHBoxLayout>
#include <QLabel>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QTextDocument>
#include <QTextLayout>
#include <QVBoxLayout>
#include <cmath>

#include "ui/app_icon.h"
#include "ui/home_page.h"
#include "ui/hyperlink_label.h"
#include "ui/version_texts.h"
#include "ui/widget_helpers.h"

namespace {

// Read-only, flat (a plain one-pixel line instead of a sunken border), on the dialog's colour.
QPlainTextEdit* MakeMemo(const char* name, const QString& text, QWidget* parent) {
  auto* memo = Named(new QPlainTextEdit(text, parent), name);
  memo->setReadOnly(true);
  memo->setFrameStyle(QFrame::Box | QFrame::Plain);
  memo->setHorizontalScrollBarPolicy(Qt::ScrollBarAlwaysOff);
  memo->setLineWrapMode(QPlainTextEdit::NoWrap);
  memo->setBackgroundRole(QPalette::Window);
  memo->document()->setDocumentMargin(2);
  return memo;
}

// The size at which the memo shows its whole text without scroll bars at its current font:
// its lines as the text layout sets them (leading included), the document's margins, one pixel
// for the cursor and one that the text box keeps clear, and the frame.
QSize WholeTextSize(const QPlainTextEdit& memo) {
  qreal width = 0, height = 0;
  for (const QString& line : memo.toPlainText().split('\n')) {
    QTextLayout layout(line, memo.font());
    layout.beginLayout();
    QTextLine text_line = layout.createLine();
    text_line.setLeadingIncluded(true);
    layout.endLayout();
    width = std::max(width, text_line.naturalTextWidth());
    height += std::ceil(text_line.height());
  }
  const int margins = 2 * static_cast<int>(std::ceil(memo.document()->documentMargin())) + 2;
  const int frame = 2 * memo.frameWidth();
  return QSize(static_cast<int>(std::ceil(width)) + margins + frame,
               static_cast<int>(height) + margins + frame);
}

}  // namespace

TFormAbout::TFormAbout(QWidget* owner)
    : QDialog(owner, Qt::Dialog | Qt::MSWindowsFixedSizeDialogHint | Qt::WindowTitleHint |
                         Qt::WindowSystemMenuHint | Qt::WindowCloseButtonHint) {
  setObjectName(QStringLiteral("FormAbout"));
  setWindowTitle(QStringLiteral("关于"));
  setModal(true);

  Image1 = Named(new QLabel(this), "Image1");
  // Drawn for the screen's pixels: from the icon's larger sizes where one unit is more pixels.
  Image1->setPixmap(TessarineIconPicture((owner != nullptr ? owner : this)->devicePixelRatioF()));
  Image1->setFixedSize(32, 32);
  Label1 = Named(new QLabel(QStringLiteral("Tessarine"), this), "Label1");
  QFont bold = Label1->font();
  bold.setBold(true);
  Label1->setFont(bold);
  Label2 = Named(new QLabel(QString::fromLatin1(kAboutVersion), this), "Label2");

  Label5 = Named(new QLabel(QStringLiteral("主页:"), this), "Label5");
  LinkHomePage = Named(new HyperlinkLabel(QString::fromLatin1(kHomePageUrl),
                                          QUrl(QString::fromLatin1(kHomePageUrl)), this),
                       "LinkHomePage");
  Label6 = Named(new QLabel(QStringLiteral("邮箱:"), this), "Label6");
  LinkMail = Named(new HyperlinkLabel(QString::fromLatin1(kMailAddress),
                                      QUrl(QStringLiteral("mailto:") + QLatin1String(kMailAddress)),
                                      this),
                   "LinkMail");

  Memo1 = MakeMemo("Memo1",
                   QStringLiteral("说明:\n"
                                  "    制作图片缩略图的工具.\n"
                                  "    支持5种缩略图制作方式.\n"
                                  "    可以批量自动生成.\n"
                                  "    仅支持JPG/JPEG图像。"),
                   this);
  Memo2 = MakeMemo("Memo2",
                   QStringLiteral("Description:\n"
                                  "    Thumbnail image of tool making.\n"
                                  "    5 Thumbnail way to support production.\n"
                                  "    Can batch automatically.\n"
                                  "    Only support JPG/JPEG images."),
                   this);
  Memo2->hide();

  Button1 = Named(new QPushButton(QStringLiteral("关闭"), this), "Button1");
  Button1->setDefault(true);
  Button1->setFocus();  // Enter closes the window; Tab reaches the links
  connect(Button1, &QPushButton::clicked, this, &TFormAbout::Button1Click);

  auto* layout = new QVBoxLayout(this);
  layout->setContentsMargins(12, 8, 12, 8);
  layout->setSpacing(2);
  layout->addWidget(Image1, 0, Qt::AlignHCenter);
  layout->addWidget(Label1, 0, Qt::AlignHCenter);
  layout->addWidget(Label2, 0, Qt::AlignHCenter);
  auto* links = new QGridLayout;
  links->setContentsMargins(8, 2, 0, 4);
  links->setHorizontalSpacing(6);
  links->setVerticalSpacing(2);
  links->addWidget(Label5, 0, 0);
  links->addWidget(LinkHomePage, 0, 1);
  links->addWidget(Label6, 1, 0);
  links->addWidget(LinkMail, 1, 1);
  links->setColumnStretch(1, 1);
  layout->addLayout(links);
  auto* memos = new QGridLayout;  // both memos in one cell: the same place
  memos->addWidget(Memo1, 0, 0);
  memos->addWidget(Memo2, 0, 0);
  layout->addLayout(memos, 1);
  auto* buttons = new QHBoxLayout;
  buttons->setContentsMargins(0, 2, 0, 0);
  buttons->addStretch(1);
  buttons->addWidget(Button1);
  layout->addLayout(buttons);
  FitToFont();
}

bool TFormAbout::event(QEvent* event) {
  const bool handled = QDialog::event(event);
  if (event->type() == QEvent::LayoutRequest) KeepSize();
  return handled;
}

void TFormAbout::changeEvent(QEvent* event) {
  QDialog::changeEvent(event);
  if (event->type() == QEvent::FontChange) FitToFont();
}

// Both descriptions show whole, without scroll bars, at the current font.
void TFormAbout::FitToFont() {
  for (QPlainTextEdit* memo : {Memo1, Memo2}) memo->setMinimumSize(WholeTextSize(*memo));
  layout()->activate();
  KeepSize();
}

// 319 x 261 client pixels, or larger where the contents need more at the current font; fixed.
void TFormAbout::KeepSize() { setFixedSize(QSize(319, 261).expandedTo(layout()->minimumSize())); }

void TFormAbout::Button1Click() { reject(); }
