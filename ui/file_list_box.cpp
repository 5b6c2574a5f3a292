#include "ui/file_list_box.h"

#include <dirent.h>
#include <sys/stat.h>
#include <unistd.h>

#include <QCollator>
#include <QDir>
#include <QFile>
#include <QImage>
#include <QKeyEvent>
#include <QPainter>
#include <QStyledItemDelegate>
#include <QTimer>
#include <algorithm>
#include <cerrno>
#include <chrono>
#include <memory>
#include <optional>

#include "engine/errors.h"
#include "engine/path_text.h"
#include "ui/guarded.h"
#include "ui/widget_helpers.h"

namespace {

constexpr int kGlyphRole = Qt::UserRole;
constexpr quint64 kTypeAheadPause = 500;  // ms between keys that starts a new prefix
// A key repeat that arrives this soon (ms) after the last step's OnChange handler returned
// was queued while the handler ran: repeats come at least 20 ms apart at any usual rate.
constexpr qint64 kQueuedWithin = 15;
constexpr int kBusyIndex = 100;

bool IsStepKey(int key) {
  return key == Qt::Key_Up || key == Qt::Key_Down || key == Qt::Key_PageUp ||
         key == Qt::Key_PageDown;
}

[[noreturn]] void RaiseIoError(int code) {
  switch (code) {
    case ENOENT:
      throw FileError("File not found");
    case ENOTDIR:
    case ENAMETOOLONG:
      throw FileError("Invalid filename");
    case EMFILE:
      throw FileError("Too many open files");
    case EACCES:
    case EPERM:
      throw FileError("File access denied");
    default:
      throw FileError("I/O error " + std::to_string(code));
  }
}

void ChangeDir(const QString& path) {
  if (::chdir(QFile::encodeName(path).constData()) != 0) RaiseIoError(errno);
}

bool TryChangeDir(const QString& path) {
  return ::chdir(QFile::encodeName(path).constData()) == 0;
}

bool DirExists(const QString& path) {
  struct stat info {};
  return ::stat(QFile::encodeName(path).constData(), &info) == 0 && S_ISDIR(info.st_mode);
}

// A file (not a folder) of that name in the current directory; a link counts as its target.
bool FileExists(const QString& name) {
  struct stat info {};
  return ::stat(QFile::encodeName(name).constData(), &info) == 0 && !S_ISDIR(info.st_mode);
}

bool HasWildcard(const QString& text) { return text.contains('*') || text.contains('?'); }

// "*" any run of characters, "?" exactly one; letter case ignored.
bool Matches(const QString& pattern_text, const QString& name_text) {
  const QString pattern = pattern_text.toLower(), name = name_text.toLower();
  qsizetype p = 0, n = 0, star = -1, resume = 0;
  while (n < name.size()) {
    if (p < pattern.size() && (pattern[p] == '?' || pattern[p] == name[n])) {
      ++p;
      ++n;
    } else if (p < pattern.size() && pattern[p] == '*') {
      star = p++;
      resume = n;
    } else if (star >= 0) {
      p = star + 1;
      n = ++resume;
    } else {
      return false;
    }
  }
  while (p < pattern.size() && pattern[p] == '*') ++p;
  return p == pattern.size();
}

unsigned AttributesOf(const char* name, const QString& text) {
  unsigned attrs = 0;
  if (text.startsWith('.')) attrs |= ftHidden;
  struct stat info {};
  if (::stat(name, &info) != 0) return attrs | ftSystem;  // a dangling link
  if (S_ISDIR(info.st_mode)) return attrs | ftDirectory;
  if (!S_ISREG(info.st_mode)) return attrs | ftSystem;  // pipes, sockets and devices
  if (::access(name, W_OK) != 0) attrs |= ftReadOnly;
  return attrs;
}

ListGlyph FileGlyph(const QString& name) {
  const qsizetype dot = name.lastIndexOf('.');
  const QString ext = dot < 0 ? QString() : name.mid(dot).toLower();
  const bool executable = ext == ".exe" || ext == ".com" || ext == ".bat" || ext == ".pif";
  return executable ? ListGlyph::gExecutable : ListGlyph::gUnknownFile;
}

// Marks the selection changes made while it lives as the list's own.
class OwnChange {
 public:
  explicit OwnChange(bool& flag) : flag_(flag), before_(flag) { flag_ = true; }
  ~OwnChange() { flag_ = before_; }
  OwnChange(const OwnChange&) = delete;
  OwnChange& operator=(const OwnChange&) = delete;

 private:
  bool& flag_;
  bool before_;
};

int FloorHalf(int value) { return value >= 0 ? value / 2 : -((1 - value) / 2); }

// Fixed-height rows: background, glyph 2 pixels in and centred, text at the row's top.
class EntryDelegate : public QStyledItemDelegate {
 public:
  explicit EntryDelegate(FileListBox* list) : QStyledItemDelegate(list), list_(list) {}

  void paint(QPainter* painter, const QStyleOptionViewItem& option,
             const QModelIndex& index) const override {
    const bool selected = option.state & QStyle::State_Selected;
    const QPalette::ColorGroup group =
        option.state & QStyle::State_Enabled ? QPalette::Normal : QPalette::Disabled;
    const QRect row = option.rect;
    painter->fillRect(row, option.palette.brush(group, selected ? QPalette::Highlight
                                                                : QPalette::Base));
    int text_left = row.left() + 2;
    const auto glyph = static_cast<ListGlyph>(index.data(kGlyphRole).toInt());
    if (list_->ShowGlyphs() && glyph != ListGlyph::gNone) {
      const QImage picture = FileListBox::GlyphImage(glyph);
      const int top = FloorHalf(row.top() + row.top() + row.height() - picture.height());
      painter->drawImage(row.left() + 2, top, picture);
      text_left = row.left() + picture.width() + 6;
    }
    painter->setPen(option.palette.color(group, selected ? QPalette::HighlightedText
                                                         : QPalette::Text));
    painter->setFont(list_->font());
    painter->drawText(QRect(text_left, row.top(), row.right() - text_left + 1, row.height()),
                      Qt::AlignLeft | Qt::AlignTop | Qt::TextSingleLine,
                      index.data(Qt::DisplayRole).toString());
  }

  QSize sizeHint(const QStyleOptionViewItem&, const QModelIndex& index) const override {
    const QFontMetrics metrics(list_->font());
    int height = metrics.height();
    if (list_->ShowGlyphs() && height < 16) height = 16;
    const int width = metrics.horizontalAdvance(index.data(Qt::DisplayRole).toString()) + 24;
    return QSize(width, height);
  }

 private:
  FileListBox* list_;
};

}  // namespace

FileListBox::FileListBox(QWidget* parent) : QListWidget(parent), folder_(QDir::currentPath()) {
  setSelectionMode(QAbstractItemView::SingleSelection);
  setEditTriggers(QAbstractItemView::NoEditTriggers);
  setUniformItemSizes(true);
  setItemDelegate(new EntryDelegate(this));
  setAccessibleName(QStringLiteral("JPEG 文件列表"));
  now_ = [] {
    using namespace std::chrono;
    return static_cast<qint64>(
        duration_cast<milliseconds>(steady_clock::now().time_since_epoch()).count());
  };
  connect(selectionModel(), &QItemSelectionModel::selectionChanged, this,
          &FileListBox::SelectionChanged);
}

// The list's own changes and those of the mouse and the keys are reported where they happen.
// An entry selected by other means (an assistive tool, say) becomes the current one and is
// reported as a click would be.
void FileListBox::SelectionChanged() {
  if (own_change_) return;
  const int index = ItemIndex();
  if (index < 0) return;
  if (currentRow() != index) {
    selectionModel()->setCurrentIndex(model()->index(index, 0), QItemSelectionModel::NoUpdate);
  }
  ReportIfMoved();
}

void FileListBox::SetMask(const QString& mask) {
  if (mask == mask_) return;
  mask_ = mask;
  Reread();
}

void FileListBox::SetFileType(FileTypes file_type) {
  if (file_type == file_type_) return;
  file_type_ = file_type;
  Reread();
}

void FileListBox::SetShowGlyphs(bool show) {
  if (show == show_glyphs_) return;
  show_glyphs_ = show;
  doItemsLayout();
}

QString FileListBox::Item(int index) const { return item(index)->text(); }

ListGlyph FileListBox::ItemGlyph(int index) const {
  return static_cast<ListGlyph>(item(index)->data(kGlyphRole).toInt());
}

void FileListBox::Clear() {
  merged_.reset();  // a step queued for the entries that go
  MakeWindow();
  const OwnChange own(own_change_);
  clear();
  stale_ = true;
}

int FileListBox::ItemIndex() const {
  const QList<QListWidgetItem*> selected = selectedItems();
  return selected.isEmpty() ? -1 : row(selected.first());
}

void FileListBox::SetItemIndex(int index) { SelectRow(index < count() ? index : -1); }

QString FileListBox::SelectedName() const {
  const int index = ItemIndex();
  if (index < 0 || count() == 0 || !item(index)->isSelected()) return QString();
  return item(index)->text();
}

QString FileListBox::SelectedFile() const {
  const QString name = SelectedName();
  if (name.isEmpty()) return QString();
  return JoinPath(folder_, name);
}

bool FileListBox::SameFileName(const QString& a, const QString& b) {
  return a.toLower() == b.toLower();
}

FileListBox::SplitParts FileListBox::SplitPath(const QString& text) const {
  struct Back {  // the current directory comes back however the split ends
    QString saved = QDir::currentPath();
    ~Back() {
      if (DirExists(saved)) TryChangeDir(saved);
    }
  } back;
  QString folder = text;
  if (text.size() >= 2 && text.startsWith('[') && text.endsWith(']')) {
    folder = text.mid(1, text.size() - 2);
  }
  QString last = folder.mid(folder.lastIndexOf('/') + 1);
  if (folder.size() == last.size() + 1) {
    folder = "/";
  } else if (folder.size() > last.size() + 1) {
    folder.chop(last.size() + 1);
  } else {  // a bare name: taken in the current directory
    folder = QDir::currentPath();
    if (folder.isEmpty()) folder = "/";
  }
  ChangeDir(folder);
  if (!last.isEmpty() && !HasWildcard(last) && !FileExists(last)) {
    ChangeDir(last);
    folder = JoinPath(folder, last);
    last.clear();
  }
  return SplitParts{folder, last};
}

void FileListBox::ApplyPath(const QString& text) {
  if (text.isEmpty() || SameFileName(text, SelectedFile())) return;
  const SplitParts parts = SplitPath(text);
  ChangeFolder(parts.folder);
  if (HasWildcard(parts.last)) {
    SetMask(parts.last);
  } else if (!parts.last.isEmpty()) {
    SelectName(parts.last);
    if (!FileExists(parts.last)) throw FileError("Invalid file name - " + text.toStdString());
    if (ItemIndex() < 0) {  // a file the mask leaves out: show it by its own name
      SetMask(parts.last);
      SelectName(parts.last);
    }
  }
}

void FileListBox::ChangeFolder(const QString& folder) {
  if (SameFileName(folder, folder_)) {
    if (stale_) Reread();
    return;
  }
  const bool in_old = DirExists(folder_) && TryChangeDir(folder_);
  const QString base = in_old ? folder_ : QDir::currentPath();
  ChangeDir(folder);
  // Kept as named rather than with links resolved, so that it matches the tree's path.
  folder_ = QDir::cleanPath(QDir::isAbsolutePath(folder) ? folder : JoinPath(base, folder));
  Reread();
}

void FileListBox::Reread() {
  if (!made_) return;
  ChangeDir(folder_);
  const OwnChange own(own_change_);
  clear();
  const unsigned selection = file_type_ & ~static_cast<unsigned>(ftNormal);
  const unsigned skipped_kinds = (ftHidden | ftSystem | ftVolumeID | ftDirectory) & ~selection;
  QCollator collator;
  collator.setCaseSensitivity(Qt::CaseInsensitive);
  QStringList texts;
  std::vector<ListGlyph> glyphs;
  std::optional<WaitCursor> busy;
  for (const QString& pattern : mask_.split(';')) {
    std::unique_ptr<DIR, int (*)(DIR*)> dir(::opendir("."), ::closedir);
    if (!dir) continue;
    while (const dirent* entry = ::readdir(dir.get())) {
      QString name = QFile::decodeName(entry->d_name);
      name.replace(QChar(QChar::ReplacementCharacter), QLatin1Char('?'));
      if (!Matches(pattern, name)) continue;
      const unsigned attrs = AttributesOf(entry->d_name, name);
      if ((attrs & skipped_kinds) != 0) continue;
      if ((file_type_ & ftNormal) == 0 && (attrs & selection) == 0) continue;
      const bool is_folder = (attrs & ftDirectory) != 0;
      const QString text = is_folder ? '[' + name + ']' : name;
      const auto place = std::upper_bound(
          texts.begin(), texts.end(), text,
          [&](const QString& a, const QString& b) { return collator.compare(a, b) < 0; });
      const auto index = place - texts.begin();
      if (index == kBusyIndex && !busy) busy.emplace();
      texts.insert(place, text);
      glyphs.insert(glyphs.begin() + index, is_folder ? ListGlyph::gClosedFolder : FileGlyph(name));
    }
  }
  for (qsizetype i = 0; i < texts.size(); ++i) {
    auto* entry = new QListWidgetItem(texts[i]);
    entry->setData(kGlyphRole, static_cast<int>(glyphs[i]));
    addItem(entry);
  }
  busy.reset();
  stale_ = false;
  Fire();
}

void FileListBox::SelectName(const QString& name) {
  if (SameFileName(name, SelectedName())) return;
  int found = -1;
  const int n = count();
  for (int k = 1; k <= n && found < 0; ++k) {  // from the second entry round to the first
    if (item(k % n)->text().compare(name, Qt::CaseInsensitive) == 0) found = k % n;
  }
  SelectRow(found);
  Fire();
}

void FileListBox::MakeWindow() {
  if (made_) return;
  made_ = true;
  Reread();
}

void FileListBox::SelectRow(int row) {
  const OwnChange own(own_change_);
  if (row < 0) {
    clearSelection();
    setCurrentItem(nullptr);
    return;
  }
  setCurrentRow(row, QItemSelectionModel::ClearAndSelect);
  scrollToItem(item(row));
}

void FileListBox::Fire() {
  last_reported_ = ItemIndex();
  emit OnChange();
}

void FileListBox::ReportIfMoved() {
  if (ItemIndex() != last_reported_) Fire();
}

void FileListBox::TypeAhead(const QKeyEvent& event) {
  const quint64 time = event.timestamp();
  if (event.key() == Qt::Key_Backspace) {
    if (!prefix_.isEmpty()) {
      prefix_.chop(prefix_.size() >= 2 && prefix_.back().isLowSurrogate() ? 2 : 1);
      if (prefix_.isEmpty() && count() > 0) SelectRow(0);
    }
  } else {
    if (typed_before_ && time - last_key_time_ >= kTypeAheadPause) prefix_.clear();
    prefix_ += event.text();
  }
  typed_before_ = true;
  last_key_time_ = time;
  if (prefix_.isEmpty()) return;
  for (int i = 0; i < count(); ++i) {
    if (item(i)->text().startsWith(prefix_, Qt::CaseInsensitive)) {
      SelectRow(i);
      return;
    }
  }
}

// A held-down arrow or paging key whose steps take longer than its repeats (large photos in
// the preview) would leave repeats queued behind each step, and the selection would run on
// long after the key is let go. The repeats that queued up during a step are taken together
// as one step, once the queue has been read; a repeat that comes on its own is a step of its
// own, and keys in between keep their order.
void FileListBox::keyPressEvent(QKeyEvent* event) {
  if (QueuedBehindLastStep(*event)) {
    event->accept();
    if (merged_) return;
    merged_ = MergedStep{event->key(), event->modifiers()};
    QTimer::singleShot(0, this, [this] { RunGuarded([this] { TakeMergedStep(); }); });
    return;
  }
  TakeMergedStep();
  const bool plain = (event->modifiers() & (Qt::ControlModifier | Qt::AltModifier |
                                            Qt::MetaModifier)) == 0;
  const bool typed = event->key() == Qt::Key_Backspace ||
                     (!event->text().isEmpty() && event->text().front().isPrint());
  if (plain && typed) {
    TypeAhead(*event);
    event->accept();
    ReportIfMoved();
    step_key_ = 0;
  } else {
    MoveBy(event);
  }
}

void FileListBox::MoveBy(QKeyEvent* event) {
  // Focus makes the first entry current without selecting it; with nothing selected the
  // first arrow key must select the first entry, not the second.
  if (ItemIndex() < 0) selectionModel()->setCurrentIndex({}, QItemSelectionModel::NoUpdate);
  {
    const OwnChange own(own_change_);
    QListWidget::keyPressEvent(event);
  }
  ReportIfMoved();
  step_key_ = IsStepKey(event->key()) ? event->key() : 0;
  step_end_ = now_();
}

bool FileListBox::QueuedBehindLastStep(const QKeyEvent& event) const {
  return event.isAutoRepeat() && IsStepKey(event.key()) && event.key() == step_key_ &&
         now_() - step_end_ < kQueuedWithin;
}

void FileListBox::TakeMergedStep() {
  if (!merged_) return;
  QKeyEvent repeat(QEvent::KeyPress, merged_->key, merged_->modifiers, QString(), true);
  merged_.reset();
  MoveBy(&repeat);
}

void FileListBox::focusOutEvent(QFocusEvent* event) {
  QListWidget::focusOutEvent(event);
  RunGuarded([this] { TakeMergedStep(); });
}

void FileListBox::mousePressEvent(QMouseEvent* event) {
  TakeMergedStep();
  {
    const OwnChange own(own_change_);
    QListWidget::mousePressEvent(event);
  }
  ReportIfMoved();
}

void FileListBox::mouseMoveEvent(QMouseEvent* event) {
  {
    const OwnChange own(own_change_);
    QListWidget::mouseMoveEvent(event);
  }
  ReportIfMoved();
}

void FileListBox::mouseReleaseEvent(QMouseEvent* event) {
  {
    const OwnChange own(own_change_);
    QListWidget::mouseReleaseEvent(event);
  }
  ReportIfMoved();
}

void FileListBox::showEvent(QShowEvent* event) {
  QListWidget::showEvent(event);
  RunGuarded([this] { MakeWindow(); });
}

void FileListBox::changeEvent(QEvent* event) {
  QListWidget::changeEvent(event);
  if (event->type() == QEvent::FontChange) doItemsLayout();
}

QImage FileListBox::GlyphImage(ListGlyph glyph) {
  static QImage cache[4];
  QImage& picture = cache[static_cast<int>(glyph)];
  if (!picture.isNull() || glyph == ListGlyph::gNone) return picture;
  QImage image(16, 15, QImage::Format_RGB32);
  image.fill(QColor(0, 0, 255));  // the ground; its bottom-left pixel names the clear colour
  {
    QPainter painter(&image);
    painter.setPen(Qt::black);
    switch (glyph) {
      case ListGlyph::gUnknownFile:  // a 12 x 13 page with its top-right corner folded
        painter.setBrush(Qt::white);
        painter.drawPolygon(QPolygon({QPoint(2, 1), QPoint(9, 1), QPoint(13, 5), QPoint(13, 13),
                                      QPoint(2, 13)}));
        painter.drawPolyline(QPolygon({QPoint(9, 1), QPoint(9, 5), QPoint(13, 5)}));
        break;
      case ListGlyph::gExecutable:  // a small window with a cyan title bar
        painter.setBrush(Qt::white);
        painter.drawRect(1, 2, 13, 10);
        painter.fillRect(2, 3, 12, 2, QColor(0, 255, 255));
        break;
      case ListGlyph::gClosedFolder:  // a yellow folder
        painter.setBrush(QColor(255, 255, 0));
        painter.drawPolygon(QPolygon({QPoint(1, 3), QPoint(6, 3), QPoint(7, 4), QPoint(14, 4),
                                      QPoint(14, 13), QPoint(1, 13)}));
        painter.drawLine(1, 5, 14, 5);
        break;
      case ListGlyph::gNone:
        break;
    }
  }
  const QRgb clear = image.pixel(0, image.height() - 1);
  picture = image.convertToFormat(QImage::Format_ARGB32);
  for (int y = 0; y < picture.height(); ++y) {
    for (int x = 0; x < picture.width(); ++x) {
      if (picture.pixel(x, y) == clear) picture.setPixel(x, y, qRgba(0, 0, 0, 0));
    }
  }
  return picture;
}
