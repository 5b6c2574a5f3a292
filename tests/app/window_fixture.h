#pragma once
// The main window over a throw-away home (see BrowseFixture), with helpers to open it on a
// folder, find its controls and read its log; and small JPEG files made by the engine.
#include <QCryptographicHash>
#include <QFile>
#include <QPlainTextEdit>
#include <QProgressBar>

#include <cstdint>
#include <memory>

#include "app/form_main.h"
#include "engine/jpeg_image.h"
#include "engine/raster.h"
#include "tests/ui/browse_fixture.h"
#include "ui/file_list_box.h"
#include "ui/shell_tree_view.h"

// A JPEG of the given size with a busy pattern, made by the engine's own encoder.
inline void WriteJpeg(const QString& path, int width, int height) {
  Raster raster;
  raster.SetWidth(width);
  raster.SetHeight(height);
  raster.SetFormat(rf24Bit);
  for (int y = 0; y < height; ++y) {
    std::uint8_t* row = raster.RowAddress(y);
    for (int x = 0; x < width * 3; ++x) row[x] = static_cast<std::uint8_t>((x * x + y * 31) & 0xFF);
  }
  JpegImage image;
  image.AssignRaster(raster);
  image.SaveFile(QFile::encodeName(path).toStdString());
}

inline QByteArray Hash(const QString& path) {
  QFile file(path);
  if (!file.open(QIODevice::ReadOnly)) return {};
  return QCryptographicHash::hash(file.readAll(), QCryptographicHash::Sha256);
}

class WindowFixture : public BrowseFixture {
 protected:
  void TearDown() override {
    form_.reset();
    BrowseFixture::TearDown();
  }

  // Opens a new window on the folder, as a click in the tree would.
  void OpenWindowOn(const QString& folder) {
    form_ = std::make_unique<TFormMain>();
    form_->show();
    FolderNode* node = Tree()->FindFolderNode(folder);
    ASSERT_NE(node, nullptr) << folder.toStdString();
    Tree()->setCurrentItem(node);
    ASSERT_EQ(List()->Folder(), folder);
  }

  template <class W>
  W* Find(const char* name) {
    auto* widget = form_->findChild<W*>(QString::fromLatin1(name));
    EXPECT_NE(widget, nullptr) << name;
    return widget;
  }
  ShellTreeView* Tree() { return Find<ShellTreeView>("ShellTreeView1"); }
  FileListBox* List() { return Find<FileListBox>("FileListBox1"); }
  QProgressBar* Bar() { return Find<QProgressBar>("ProgressBar1"); }
  QStringList Log() {
    const QString text = Find<QPlainTextEdit>("Memo1")->toPlainText();
    return text.isEmpty() ? QStringList() : text.split('\n');
  }
  static QString Made(const QString& source, const QString& dest) {
    return "缩略图生成:" + source + "-->" + dest;
  }

  std::unique_ptr<TFormMain> form_;
};
