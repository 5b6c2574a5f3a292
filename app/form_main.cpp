#include "app/form_main.h"

#include <QCloseEvent>
#include <QDesktopServices>
#include <QGroupBox>
#include <QHBoxLayout>
#include <QLabel>
#include <QLineEdit>
#include <QListWidget>
#include <QPlainTextEdit>
#include <QProgressBar>
#include <QRadioButton>
#include <QScreen>
#include <QSplitter>
#include <QToolButton>
#include <QTreeWidget>
#include <QUrl>
#include <QVBoxLayout>
#include <QWindow>

#include "app/glyphs.h"
#include "app/read_controls.h"
#include "commands/main_commands.h"
#include "engine/text_conversions.h"
#include "ui/file_list_box.h"
#include "ui/fitted_widgets.h"
#include "ui/folder_chooser.h"
#include "ui/form_about.h"
#include "ui/guarded.h"
#include "ui/home_page.h"
#include "ui/message_box.h"
#include "ui/preview.h"
#include "ui/readable_colours.h"
#include "ui/shell_tree_view.h"
#include "ui/version_texts.h"
#include "ui/widget_helpers.h"

namespace {

constexpr int kMinimumWidth = 800;  // outer size, frame included
constexpr int kMinimumHeight = 600;
constexpr int kPercentLimit = 100;
constexpr int kPixelLimit = 1000;
const char* const kResetText = "100";

// 41 pixels wide, or wide enough for the largest number it takes.
QLineEdit* NumberBox(QWidget* parent, const char* name, const char* text) {
  return Named(new FittedLineEdit(QString::fromLatin1(text), 41, {QStringLiteral("1000")}, parent),
               name);
}

// A caption that belongs to the box after it: screen readers announce the box by it.
QLabel* CaptionFor(QLineEdit* box, const QString& caption) {
  auto* label = new QLabel(caption, box->parentWidget());
  label->setBuddy(box);
  box->setAccessibleName(caption);
  return label;
}

QToolButton* FlatButton(QWidget* parent, const char* name, const QString& caption, Glyph glyph,
                        QSize design = QSize()) {
  auto* button = Named(new AtLeastDesign<QToolButton>(design, parent), name);
  button->setText(caption);
  button->setIcon(GlyphIcon(glyph));
  button->setToolButtonStyle(Qt::ToolButtonTextBesideIcon);
  button->setAutoRaise(true);
  button->setFocusPolicy(Qt::StrongFocus);
  return button;
}

// A group as high as the design made it, or higher where its rows need more at the current font.
QGroupBox* DesignHeightGroup(int height, const QString& title, QWidget* parent) {
  auto* group = new AtLeastDesign<QGroupBox>(QSize(0, height), title, parent);
  group->setSizePolicy(QSizePolicy::Preferred, QSizePolicy::Fixed);
  return group;
}

QHBoxLayout* Row(std::initializer_list<QWidget*> widgets) {
  auto* row = new QHBoxLayout;
  for (QWidget* widget : widgets) row->addWidget(widget);
  return row;
}

}  // namespace

TFormMain::TFormMain(QWidget* parent) : QMainWindow(parent) {
  setObjectName(QStringLiteral("FormMain"));
  setWindowTitle(ApplicationTitle());

  auto* client = new QWidget(this);
  auto* layout = new QVBoxLayout(client);
  layout->setContentsMargins(0, 0, 0, 0);
  layout->setSpacing(0);
  layout->addWidget(CreateTopBar());
  Splitter1 = Named(new QSplitter(Qt::Vertical, client), "Splitter1");
  Splitter1->setHandleWidth(6);
  Splitter1->setChildrenCollapsible(false);
  Splitter1->addWidget(CreateMiddleArea());
  Splitter1->addWidget(CreateBottomBlock());
  Splitter1->setStretchFactor(0, 1);
  Splitter1->setStretchFactor(1, 0);
  Splitter1->setSizes({668 - 24 - 6 - 334, 334});
  layout->addWidget(Splitter1, 1);
  setCentralWidget(client);

  ApplyFonts();
  ApplyColours();
  SetReadingOrder();
  ConnectHandlers();
  ShellTreeView1->Fill();  // selects the desktop node: the list shows the desktop's JPEG files
  FormCreate();
}

// ---- Folder tree -------------------------------------------------------------------------
ShellTreeView* TFormMain::CreateShellTreeView1() {
  return Named(new ShellTreeView(Panel2), "ShellTreeView1");
}

// ---- JPEG file list ----------------------------------------------------------------------
FileListBox* TFormMain::CreateFileListBox1() {
  auto* list = Named(new FileListBox(Panel2), "FileListBox1");
  list->SetMask(QStringLiteral("*.jpg;*.jpeg"));
  list->SetShowGlyphs(true);
  return list;
}

// A tree node that names no usable folder leaves the list empty, without a message.
void TFormMain::ShellTreeView1Change() {
  try {
    FileListBox1->Clear();
    FileListBox1->ApplyPath(ShellTreeView1->SelectedPath());
  } catch (const std::exception&) {
  }
}

// ---- Preview picture and its size label --------------------------------------------------
PreviewImage* TFormMain::CreateImage1() {
  return Named(new PreviewImage(Panel3), "Image1");
}

QLabel* TFormMain::CreateLabFile() {
  auto* label = Named(new QLabel(Panel3), "LabFile");
  label->setAlignment(Qt::AlignCenter);
  label->setFont(QFont(QStringLiteral("Arial")));  // black, see ApplyColours
  return label;
}
// ------------------------------------------------------------------------------------------

QWidget* TFormMain::CreateTopBar() {
  Panel1 = Named(new AtLeastDesign<QWidget>(QSize(0, 24), this), "Panel1");
  Panel1->setSizePolicy(QSizePolicy::Preferred, QSizePolicy::Fixed);
  Label7 = Named(new QLabel(QString::fromLatin1(kMainWindowVersion), Panel1), "Label7");
  Label7->setAlignment(Qt::AlignCenter);  // bold Arial in blue, see ApplyFonts and ApplyColours
  BTNAbout = FlatButton(Panel1, "BTNAbout", QStringLiteral("关于"), Glyph::glAbout, QSize(74, 24));
  BTNAbout->setSizePolicy(QSizePolicy::Fixed, QSizePolicy::Fixed);
  BTNHomePage = FlatButton(Panel1, "BTNHomePage", QStringLiteral("主页"), Glyph::glHomePage,
                           QSize(86, 24));
  BTNHomePage->setSizePolicy(QSizePolicy::Fixed, QSizePolicy::Fixed);
  auto* row = new QHBoxLayout(Panel1);
  row->setContentsMargins(0, 0, 0, 0);
  row->setSpacing(0);
  row->addWidget(Label7, 1);
  row->addWidget(BTNAbout);
  row->addWidget(BTNHomePage);
  return Panel1;
}

QWidget* TFormMain::CreateMiddleArea() {
  Splitter2 = Named(new QSplitter(Qt::Horizontal, this), "Splitter2");
  Splitter2->setChildrenCollapsible(false);

  Panel2 = Named(new QWidget(Splitter2), "Panel2");
  Splitter3 = Named(new QSplitter(Qt::Horizontal, Panel2), "Splitter3");
  Splitter3->setHandleWidth(4);
  Splitter3->setChildrenCollapsible(false);
  ShellTreeView1 = CreateShellTreeView1();
  FileListBox1 = CreateFileListBox1();
  Splitter3->addWidget(ShellTreeView1);
  Splitter3->addWidget(FileListBox1);
  Splitter3->setStretchFactor(0, 0);
  Splitter3->setStretchFactor(1, 1);
  Splitter3->setSizes({207, 819 - 207 - 4 - 185});
  auto* panel2_layout = new QVBoxLayout(Panel2);
  panel2_layout->setContentsMargins(0, 0, 0, 0);
  panel2_layout->addWidget(Splitter3);

  Panel3 = Named(new QWidget(Splitter2), "Panel3");
  auto* preview = Named(new QGroupBox(QStringLiteral("图片预览"), Panel3), "GroupBox1");
  Image1 = CreateImage1();
  LabFile = CreateLabFile();
  auto* preview_layout = new QVBoxLayout(preview);
  preview_layout->addWidget(Image1, 1);
  preview_layout->addWidget(LabFile);
  auto* panel3_layout = new QVBoxLayout(Panel3);
  panel3_layout->setContentsMargins(0, 0, 0, 0);
  panel3_layout->addWidget(preview);

  Splitter2->addWidget(Panel2);
  Splitter2->addWidget(Panel3);
  Splitter2->setStretchFactor(0, 1);
  Splitter2->setStretchFactor(1, 0);
  Splitter2->setSizes({819 - 185, 185});
  return Splitter2;
}

QWidget* TFormMain::CreateBottomBlock() {
  GroupBox2 = Named(new QWidget(this), "GroupBox2");
  auto* layout = new QVBoxLayout(GroupBox2);
  layout->setContentsMargins(2, 0, 2, 2);
  layout->setSpacing(0);
  layout->addWidget(CreateSizingGroup());
  layout->addWidget(CreateNamingGroup());
  layout->addWidget(CreateCommandGroup());
  layout->addWidget(CreateLogGroup(), 1);
  return GroupBox2;
}

QGroupBox* TFormMain::CreateSizingGroup() {
  auto* group = Named(DesignHeightGroup(89, QStringLiteral("缩略图生成规则"), GroupBox2), "GroupBox3");
  rb1 = Named(new QRadioButton(QStringLiteral("按比例缩小"), group), "rb1");
  rb2 = Named(new QRadioButton(QStringLiteral("按高度比例"), group), "rb2");
  rb3 = Named(new QRadioButton(QStringLiteral("按宽度比例"), group), "rb3");
  rb4 = Named(new QRadioButton(QStringLiteral("自定义"), group), "rb4");
  rb5 = Named(new QRadioButton(QStringLiteral("指定高、宽最大值按比率"), group), "rb5");
  rb1->setChecked(true);
  editRate = NumberBox(group, "editRate", "50");
  editHH = NumberBox(group, "editHH", "50");
  editWW = NumberBox(group, "editWW", "50");
  editH = NumberBox(group, "editH", "100");
  editW = NumberBox(group, "editW", "100");
  editQH = NumberBox(group, "editQH", "100");
  editQW = NumberBox(group, "editQW", "100");
  // A box after a radio button is announced by the radio button's caption.
  editRate->setAccessibleName(rb1->text());
  editHH->setAccessibleName(rb2->text());
  editWW->setAccessibleName(rb3->text());
  auto unit = [group](const QString& text) { return new QLabel(text, group); };

  auto* first = Row({rb1, editRate, unit("%")});
  first->addSpacing(24);
  first->addLayout(Row({rb2, editHH, unit("%")}));
  first->addSpacing(24);
  first->addLayout(Row({rb3, editWW, unit("%")}));
  first->addStretch();
  auto* second = Row({rb4, CaptionFor(editH, QStringLiteral("高度")), editH, unit("像素"),
                      CaptionFor(editW, QStringLiteral("宽度")), editW, unit("像素")});
  second->addSpacing(24);
  second->addLayout(Row({rb5, CaptionFor(editQH, QStringLiteral("高度最大值")), editQH,
                         unit("像素"), CaptionFor(editQW, QStringLiteral("宽度最大值")), editQW,
                         unit("像素")}));
  second->addStretch();
  auto* layout = new QVBoxLayout(group);
  layout->setContentsMargins(9, 4, 9, 4);  // the rows fit the design's 89 pixels at the default font
  layout->setSpacing(3);
  layout->addLayout(first);
  layout->addLayout(second);
  layout->addStretch();
  return group;
}

QGroupBox* TFormMain::CreateNamingGroup() {
  auto* group = Named(DesignHeightGroup(72, QStringLiteral("缩略图命名设置"), GroupBox2), "GroupBox4");
  rbname1 = Named(new QRadioButton(QStringLiteral("当前目录，原文件名前加字符:"), group), "rbname1");
  rbname1->setChecked(true);
  // Two characters of any script: Latin, CJK and full-width forms are the widest.
  Edit2 = Named(new FittedLineEdit(QStringLiteral("tb"), 25,
                                   {QStringLiteral("WW"), QStringLiteral("中中"), QStringLiteral("ＷＷ")},
                                   group),
                "Edit2");
  Edit2->setMaxLength(2);
  Edit2->setAccessibleName(rbname1->text());
  rbname2 = Named(new QRadioButton(QStringLiteral("自定义路径，保持原文件名"), group), "rbname2");
  BtnSF = FlatButton(group, "BtnSF", QStringLiteral("..."), Glyph::glFolder);
  BtnSF->setToolTip(QStringLiteral("选择文件夹"));
  BtnSF->setAccessibleName(BtnSF->toolTip());  // "..." says nothing when read out
  BtnSF->setAutoRaise(false);  // framed: it must look like a button beside the path box
  BtnSF->setEnabled(false);
  ePath = Named(new QLineEdit(group), "ePath");
  ePath->setReadOnly(true);
  ePath->setFixedWidth(441);
  ePath->setAccessibleName(rbname2->text());

  auto* first = Row({rbname1, Edit2});
  first->addStretch();
  auto* second = Row({rbname2, BtnSF, ePath});
  second->addStretch();
  auto* layout = new QVBoxLayout(group);
  layout->setContentsMargins(9, 0, 9, 0);  // the rows fit the design's 72 pixels at the default font
  layout->setSpacing(1);
  layout->addLayout(first);
  layout->addLayout(second);
  layout->addStretch();
  return group;
}

QGroupBox* TFormMain::CreateCommandGroup() {
  auto* group = Named(DesignHeightGroup(49, QString(), GroupBox2), "GroupBox5");
  SpeedButton1 = FlatButton(group, "SpeedButton1", QStringLiteral("生成当前图片缩略图"),
                            Glyph::glPicture);
  SpeedButton2 = FlatButton(group, "SpeedButton2", QStringLiteral("批量生成当前目录图片缩略图"),
                            Glyph::glPictures);
  auto* layout = Row({SpeedButton1, SpeedButton2});
  layout->setContentsMargins(9, 4, 9, 4);  // the buttons fit the design's 49 pixels at the default font
  layout->setSpacing(24);
  layout->addStretch();
  group->setLayout(layout);
  return group;
}

QGroupBox* TFormMain::CreateLogGroup() {
  auto* group = Named(new QGroupBox(QStringLiteral("处理信息"), GroupBox2), "GroupBox6");
  ProgressBar1 = Named(new QProgressBar(group), "ProgressBar1");
  ProgressBar1->setFixedHeight(17);
  ProgressBar1->setTextVisible(false);
  ProgressBar1->setAccessibleName(group->title());
  Memo1 = Named(new QPlainTextEdit(group), "Memo1");
  Memo1->setReadOnly(true);
  Memo1->setTabChangesFocus(true);  // Tab leaves the log instead of staying in it
  Memo1->setFrameShape(QFrame::NoFrame);
  Memo1->setLineWrapMode(QPlainTextEdit::NoWrap);
  Memo1->setVerticalScrollBarPolicy(Qt::ScrollBarAlwaysOn);
  Memo1->setHorizontalScrollBarPolicy(Qt::ScrollBarAlwaysOn);
  Memo1->setAccessibleName(group->title());  // blue on the button shadow, see ApplyColours
  auto* layout = new QVBoxLayout(group);
  layout->setContentsMargins(2, 2, 2, 2);
  layout->setSpacing(0);
  layout->addWidget(ProgressBar1);
  layout->addWidget(Memo1, 1);
  return group;
}

void TFormMain::SetReadingOrder() {
  const QWidget* order[] = {BTNAbout, BTNHomePage, ShellTreeView1, FileListBox1,
                            rb1,      editRate,    rb2,            editHH,
                            rb3,      editWW,      rb4,            editH,
                            editW,    rb5,         editQH,         editQW,
                            rbname1,  Edit2,       rbname2,        BtnSF,
                            ePath,    SpeedButton1, SpeedButton2,  Memo1};
  for (std::size_t i = 1; i < std::size(order); ++i)
    setTabOrder(const_cast<QWidget*>(order[i - 1]), const_cast<QWidget*>(order[i]));
}

template <class Sender, class Signal>
void TFormMain::On(Sender* sender, Signal signal, void (TFormMain::*handler)()) {
  connect(sender, signal, this, Guarded([this, handler] { (this->*handler)(); }));
}

void TFormMain::OnChecked(QRadioButton* button, void (TFormMain::*handler)()) {
  connect(button, &QRadioButton::toggled, this, [this, handler](bool checked) {
    if (checked) RunGuarded([this, handler] { (this->*handler)(); });
  });
}

void TFormMain::ConnectHandlers() {
  OnChecked(rb1, &TFormMain::rb1Click);
  OnChecked(rb2, &TFormMain::rb2Click);
  OnChecked(rb3, &TFormMain::rb3Click);
  OnChecked(rb4, &TFormMain::rb4Click);
  OnChecked(rb5, &TFormMain::rb5Click);
  OnChecked(rbname1, &TFormMain::rbname1Click);
  OnChecked(rbname2, &TFormMain::rbname2Click);
  On(editRate, &QLineEdit::textChanged, &TFormMain::editRateChange);
  On(editHH, &QLineEdit::textChanged, &TFormMain::editHHChange);
  On(editWW, &QLineEdit::textChanged, &TFormMain::editWWChange);
  On(editH, &QLineEdit::textChanged, &TFormMain::editHChange);
  On(editW, &QLineEdit::textChanged, &TFormMain::editWChange);
  On(editQH, &QLineEdit::textChanged, &TFormMain::editQHChange);
  On(editQW, &QLineEdit::textChanged, &TFormMain::editQWChange);
  On(BtnSF, &QToolButton::clicked, &TFormMain::BtnSFClick);
  On(SpeedButton1, &QToolButton::clicked, &TFormMain::SpeedButton1Click);
  On(SpeedButton2, &QToolButton::clicked, &TFormMain::SpeedButton2Click);
  On(BTNAbout, &QToolButton::clicked, &TFormMain::BTNAboutClick);
  On(BTNHomePage, &QToolButton::clicked, &TFormMain::BTNHomePageClick);
  On(ShellTreeView1, &ShellTreeView::OnChange, &TFormMain::ShellTreeView1Change);
  On(FileListBox1, &FileListBox::OnChange, &TFormMain::FileListBox1Change);
}

void TFormMain::FormCreate() {
  resize(kMinimumWidth, kMinimumHeight);
  // The folder already listed: nothing changes. A folder gone meanwhile reaches the error box.
  RunGuarded([this] { FileListBox1->ApplyPath(ShellTreeView1->SelectedPath()); });
  rb1Click();
  ProgressBar1->hide();
}

void TFormMain::resizeEvent(QResizeEvent* event) {
  QMainWindow::resizeEvent(event);
  RunGuarded([this] { FormResize(); });
}

bool TFormMain::event(QEvent* event) {
  const bool handled = QMainWindow::event(event);
  // The layout has just taken its new measures (a font, a style): the minimum follows them.
  if (event->type() == QEvent::LayoutRequest) KeepMinimumSize();
  return handled;
}

void TFormMain::changeEvent(QEvent* event) {
  QMainWindow::changeEvent(event);
  if (event->type() == QEvent::FontChange) ApplyFonts();
  if (event->type() == QEvent::PaletteChange) ApplyColours();
}

void TFormMain::FormResize() { KeepMinimumSize(); }

// The outer size never goes below 800 x 600, nor below what the controls need at the current
// font, but neither limit may exceed the screen's available area. The frame is known only once
// the window is shown, so the minimum is kept up to date on every resize.
void TFormMain::KeepMinimumSize() {
  const QSize frame = frameGeometry().size() - size();
  QSize outer = QSize(kMinimumWidth, kMinimumHeight).expandedTo(layout()->minimumSize() + frame);
  if (const QScreen* screen = this->screen()) outer = outer.boundedTo(screen->availableGeometry().size());
  setMinimumSize(outer - frame);
  if (width() < minimumWidth() || height() < minimumHeight())
    resize(std::max(width(), minimumWidth()), std::max(height(), minimumHeight()));
}

void TFormMain::showEvent(QShowEvent* event) {
  QMainWindow::showEvent(event);
  if (centred_) return;
  centred_ = true;
  // FormCreate could only size the client area; now the frame is known, the outer size is set,
  // within the screen's available area.
  const QSize frame = frameGeometry().size() - size();
  QSize outer(kMinimumWidth, kMinimumHeight);
  if (const QScreen* screen = this->screen()) outer = outer.boundedTo(screen->availableGeometry().size());
  KeepMinimumSize();
  resize(outer - frame);
  CentreOnScreen(this);
  if (QWindow* window = windowHandle())
    connect(window, &QWindow::screenChanged, this, [this] { KeepMinimumSize(); });
}

// The title: bold Arial, larger than the body text, whatever the body text's size.
void TFormMain::ApplyFonts() {
  QFont title(QStringLiteral("Arial"));
  const QFont body = font();
  if (body.pointSizeF() > 0) {
    title.setPointSizeF(body.pointSizeF() * 1.4);
  } else {
    title.setPixelSize(qRound(body.pixelSize() * 1.4));
  }
  title.setBold(true);
  Label7->setFont(title);
}

// The title blue, the size label black and the log blue on the button-shadow colour, as long
// as the theme is light; a dark theme's own text and link colours stand in for them. Every
// text keeps a contrast of 4.5 : 1.
void TFormMain::ApplyColours() {
  const QPalette theme = palette();
  const QColor window = theme.color(QPalette::Window);
  const auto set_text = [](QWidget* widget, QPalette::ColorRole role, const QColor& colour) {
    QPalette colours = widget->palette();
    colours.setColor(role, colour);
    widget->setPalette(colours);
  };
  set_text(Label7, QPalette::WindowText, ThemedTextColour(theme, Qt::blue, QPalette::Link, window));
  set_text(LabFile, QPalette::WindowText,
           ThemedTextColour(theme, Qt::black, QPalette::WindowText, window));
  const QColor shadow = theme.color(QPalette::Dark);
  QPalette log = Memo1->palette();
  for (const auto role : {QPalette::Base, QPalette::Window}) log.setColor(role, shadow);
  log.setColor(QPalette::Text, ThemedTextColour(theme, Qt::blue, QPalette::Link, shadow));
  Memo1->setPalette(log);
}

void TFormMain::closeEvent(QCloseEvent* event) {
  RunGuarded([this] { FormClose(); });
  event->accept();
}

// Nothing to save: the window is freed by its owner (main), which ends the application.
void TFormMain::FormClose() {}

void TFormMain::EnableSizingBoxes(bool rate, bool hh, bool ww, bool h, bool w, bool qh, bool qw) {
  editRate->setEnabled(rate);
  editHH->setEnabled(hh);
  editWW->setEnabled(ww);
  editH->setEnabled(h);
  editW->setEnabled(w);
  editQH->setEnabled(qh);
  editQW->setEnabled(qw);
}

void TFormMain::rb1Click() { EnableSizingBoxes(true, false, false, false, false, false, false); }
void TFormMain::rb2Click() { EnableSizingBoxes(false, true, false, false, false, false, false); }
void TFormMain::rb3Click() { EnableSizingBoxes(false, false, true, false, false, false, false); }
void TFormMain::rb4Click() { EnableSizingBoxes(false, false, false, true, true, false, false); }
void TFormMain::rb5Click() { EnableSizingBoxes(false, false, false, false, false, true, true); }

namespace {

// The check of every number box. A text that is no integer is reset before its message; a
// number out of range gets its message first. Resetting to "100" re-enters this check through
// the box's change handler, which passes silently.
void CheckNumberBox(QLineEdit* box, int limit, const char* above_limit_message) {
  const std::optional<int> value = TryStrToInt(box->text().toStdString());
  if (!value) {
    box->setText(QString::fromLatin1(kResetText));
    ShowMessage(std::string("请输入数字！"));
  } else if (*value > limit) {
    ShowMessage(std::string(above_limit_message));
    box->setText(QString::fromLatin1(kResetText));
  } else if (*value < 1) {
    ShowMessage(std::string("最小尺寸为1！"));
    box->setText(QString::fromLatin1(kResetText));
  }
}

}  // namespace

void TFormMain::editRateChange() { CheckNumberBox(editRate, kPercentLimit, "本程序只提供缩小图片功能！"); }
void TFormMain::CheckPixelBox(QLineEdit* box) { CheckNumberBox(box, kPixelLimit, "最大尺寸为1000！"); }
void TFormMain::editHHChange() { CheckPixelBox(editHH); }
void TFormMain::editWWChange() { CheckPixelBox(editWW); }
void TFormMain::editHChange() { CheckPixelBox(editH); }
void TFormMain::editWChange() { CheckPixelBox(editW); }
void TFormMain::editQHChange() { CheckPixelBox(editQH); }
void TFormMain::editQWChange() { CheckPixelBox(editQW); }

void TFormMain::rbname1Click() { BtnSF->setEnabled(false); }
void TFormMain::rbname2Click() { BtnSF->setEnabled(rbname2->isChecked()); }

// ---- Handlers whose work lives elsewhere --------------------------------------------------
void TFormMain::BtnSFClick() { BrowseForFolder(FolderChooser1, *ePath); }
void TFormMain::SpeedButton1Click() {
  WindowView view(Memo1, ProgressBar1);
  RunSingleImage(ReadControls(Controls()), view);
}
void TFormMain::SpeedButton2Click() {
  WindowView view(Memo1, ProgressBar1);
  RunBatch(ReadControls(Controls()), view);
}
// The preview area's size is read before anything else, in the screen's pixels: the picture
// is reduced for them, so that each of its pixels is one pixel on the screen.
void TFormMain::FileListBox1Change() {
  const qreal ratio = Image1->devicePixelRatioF();
  const int BoxW = static_cast<int>(Image1->width() * ratio);
  const int BoxH = static_cast<int>(Image1->height() * ratio);
  PreviewFile(*Image1, *LabFile, BoxW, BoxH, FileListBox1->SelectedFile());
}
void TFormMain::BTNAboutClick() {
  TFormAbout FormAbout(this);  // made for this opening only, freed on every path
  FormAbout.exec();
}

// Whether a browser took the address is not checked: without one nothing happens.
void TFormMain::BTNHomePageClick() {
  QDesktopServices::openUrl(QUrl(QString::fromLatin1(kHomePageUrl)));
}
