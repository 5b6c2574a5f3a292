#include "commands/main_commands.h"

#include <QCoreApplication>
#include <QPlainTextEdit>
#include <QProgressBar>

#include "commands/read_controls.h"
#include "engine/thumbnail_writer.h"
#include "ui/file_list_box.h"
#include "ui/message_box.h"
#include "ui/shell_tree_view.h"

namespace {

void Make(const std::string& source, const std::string& dest, const ThumbnailParams& p,
          LogSink& log) {
  MakeThumbnail(source, dest, p.Mode, p.Percent, p.Height, p.Width, log);
}

}  // namespace

void RunSingleImage(const MainControls& c) {
  c.Memo1->clear();
  if (!CheckSettings(c)) return;
  if (c.FileListBox1->ItemIndex() < 0) {
    ShowMessage(std::string("未选择jpg文件!"));
    return;
  }
  ThumbnailParams params;
  const std::string source = PathBytes(c.FileListBox1->SelectedFile());
  if (!source.empty()) params = ReadSizingRule(c);
  const std::string dest =
      SingleImageDest(source, PathBytes(c.FileListBox1->Folder()),
                      PathBytes(c.ShellTreeView1->SelectedPath()), ReadNaming(c));
  MemoLogSink log(c.Memo1);
  if (params.Mode != tmNone) Make(source, dest, params, log);
}

void RunBatch(const MainControls& c) {
  c.Memo1->clear();
  if (!CheckSettings(c)) return;
  const ThumbnailParams params = ReadSizingRule(c);
  const NamingSettings naming = ReadNaming(c);
  const int count = c.FileListBox1->Count();
  const std::string dir = BatchDir(PathBytes(c.ShellTreeView1->SelectedPath()));

  c.ProgressBar1->show();
  c.ProgressBar1->setMaximum(count);
  c.ProgressBar1->setMinimum(0);
  c.ProgressBar1->setValue(0);  // every batch starts its bar at the beginning
  MemoLogSink log(c.Memo1);
  // Entries are read from the live list: files this run writes are not in it.
  for (int i = 0; i < count; ++i) {
    const std::string source = BatchSource(dir, PathBytes(c.FileListBox1->Item(i)));
    if (params.Mode == tmNone || source.empty()) continue;
    Make(source, BatchDest(dir, PathBytes(c.FileListBox1->Item(i)), naming), params, log);
    c.ProgressBar1->setValue(c.ProgressBar1->value() + 1);
    // The bar and the log repaint between files and the desktop sees a live window; user
    // input waits until the batch has ended.
    QCoreApplication::processEvents(QEventLoop::ExcludeUserInputEvents);
  }
  c.ProgressBar1->hide();
}
