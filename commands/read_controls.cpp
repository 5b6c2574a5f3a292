#include "commands/read_controls.h"

#include <QFile>
#include <QLineEdit>
#include <QPlainTextEdit>
#include <QRadioButton>
#include <QScrollBar>

#include "commands/check_settings.h"
#include "ui/file_list_box.h"
#include "ui/message_box.h"
#include "ui/text_conversions.h"

namespace {

std::int32_t Number(const QLineEdit* box) { return StrToInt(box->text().toStdString()); }

}  // namespace

ThumbnailParams ReadSizingRule(const MainControls& c) {
  ThumbnailParams params;
  if (c.rb1->isChecked()) {
    params.Mode = tmPercent;
    params.Percent = Number(c.editRate);
  }
  if (c.rb2->isChecked()) {
    params.Mode = tmByHeight;
    params.Height = Number(c.editHH);
  }
  if (c.rb3->isChecked()) {
    params.Mode = tmByWidth;
    params.Width = Number(c.editWW);
  }
  if (c.rb4->isChecked()) {
    params.Mode = tmCustom;
    params.Height = Number(c.editH);
    params.Width = Number(c.editW);
  }
  if (c.rb5->isChecked()) {
    params.Mode = tmMaxBox;
    params.Height = Number(c.editQH);
    params.Width = Number(c.editQW);
  }
  return params;
}

NamingSettings ReadNaming(const MainControls& c) {
  NamingSettings naming;
  naming.Rule = c.rbname1->isChecked() ? nmPrefix : c.rbname2->isChecked() ? nmOutputFolder : nmNone;
  naming.Prefix = PathBytes(c.Edit2->text());
  naming.OutputFolder = PathBytes(c.ePath->text());
  return naming;
}

bool CheckSettings(const MainControls& c) {
  const std::optional<std::string> failed = FirstFailedCheck(
      c.FileListBox1->Count(), ReadNaming(c), PathBytes(c.FileListBox1->Folder()));
  if (!failed) return true;
  ShowMessage(*failed);
  return false;
}

std::string PathBytes(const QString& path) { return QFile::encodeName(path).toStdString(); }

void MemoLogSink::Append(const std::string& line) {
  memo_->appendPlainText(QFile::decodeName(QByteArray::fromStdString(line)));
  memo_->verticalScrollBar()->setValue(memo_->verticalScrollBar()->maximum());
}
