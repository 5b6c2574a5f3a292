#include "app/read_controls.h"

#include <QCoreApplication>
#include <QFile>
#include <QLineEdit>
#include <QPlainTextEdit>
#include <QProgressBar>
#include <QRadioButton>
#include <QScrollBar>

#include "ui/file_list_box.h"
#include "ui/message_box.h"
#include "ui/shell_tree_view.h"

namespace {

ThumbnailMode CheckedRule(const MainControls& c) {
  // Tested in order; only one is checked at a time.
  if (c.rb1->isChecked()) return tmPercent;
  if (c.rb2->isChecked()) return tmByHeight;
  if (c.rb3->isChecked()) return tmByWidth;
  if (c.rb4->isChecked()) return tmCustom;
  if (c.rb5->isChecked()) return tmMaxBox;
  return tmNone;
}

NamingRule CheckedNaming(const MainControls& c) {
  if (c.rbname1->isChecked()) return nmPrefix;
  return c.rbname2->isChecked() ? nmOutputFolder : nmNone;
}

std::string Text(const QLineEdit* box) { return box->text().toStdString(); }

}  // namespace

std::string PathBytes(const QString& path) { return QFile::encodeName(path).toStdString(); }

MainSettings ReadControls(const MainControls& c) {
  MainSettings settings;
  settings.Sizing = SizingControls{CheckedRule(c), Text(c.editRate), Text(c.editHH),
                                   Text(c.editWW), Text(c.editH),    Text(c.editW),
                                   Text(c.editQH), Text(c.editQW)};
  settings.Naming = NamingSettings{CheckedNaming(c), PathBytes(c.Edit2->text()),
                                   PathBytes(c.ePath->text())};
  settings.ListFolder = PathBytes(c.FileListBox1->Folder());
  for (int i = 0; i < c.FileListBox1->Count(); ++i)
    settings.Entries.push_back(PathBytes(c.FileListBox1->Item(i)));
  settings.ItemIndex = c.FileListBox1->ItemIndex();
  settings.TreeFolder = PathBytes(c.ShellTreeView1->SelectedPath());
  return settings;
}

void WindowView::ClearLog() { memo_->clear(); }

void WindowView::Append(const std::string& line) {
  memo_->appendPlainText(QFile::decodeName(QByteArray::fromStdString(line)));
  memo_->verticalScrollBar()->setValue(memo_->verticalScrollBar()->maximum());
}

void WindowView::Message(const std::string& text) { ShowMessage(text); }

void WindowView::ProgressStart(int count) {
  bar_->show();
  bar_->setMaximum(count);
  bar_->setMinimum(0);
  bar_->setValue(0);
}

void WindowView::ProgressStep() { bar_->setValue(bar_->value() + 1); }

void WindowView::ProgressEnd() { bar_->hide(); }

void WindowView::LetPendingEventsRun() {
  QCoreApplication::processEvents(QEventLoop::ExcludeUserInputEvents);
}
