#include "ui/form_about.h"

#include <QGridLayout>
#include <QHBoxLayout>
#include <QLabel>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QTextDocument>
#include <QVBoxLayout>

#include "ui/app_icon.h"
#include "ui/home_page.h"
#include "ui/hyperlink_label.h"
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

}  // namespace

TFormAbout::TFormAbout(QWidget* owner)
    : QDialog(owner, Qt::Dialog | Qt::MSWindowsFixedSizeDialogHint | Qt::WindowTitleHint |
                         Qt::WindowSystemMenuHint | Qt::WindowCloseButtonHint) {
  setObjectName(QStringLiteral("FormAbout"));
  setWindowTitle(QStringLiteral("关于"));
  setModal(true);
  setFixedSize(319, 261);

  Image1 = Named(new QLabel(this), "Image1");
  Image1->setPixmap(TessarineIconPicture());
  Image1->setFixedSize(32, 32);
  Label1 = Named(new QLabel(QStringLiteral("Tessarine"), this), "Label1");
  QFont bold = Label1->font();
  bold.setBold(true);
  Label1->setFont(bold);
  Label2 = Named(new QLabel(QStringLiteral("(Ver 2.1)"), this), "Label2");

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
}

void TFormAbout::Button1Click() { reject(); }
