#include "ui/folder_chooser_window.h"

#include <fcntl.h>
#include <unistd.h>

#include <QApplication>
#include <QContextMenuEvent>
#include <QDir>
#include <QFileInfo>
#include <QLabel>
#include <QPainter>
#include <QPushButton>
#include <QSocketNotifier>
#include <QStatusBar>
#include <QTimer>
#include <algorithm>

#include "engine/text_conversions.h"
#include "ui/guarded.h"
#include "ui/widget_helpers.h"

namespace {

// The window as designed: its client size, and the smallest outer size with the frame the
// design assumed (used while the window system reports no frame of its own). Buttons, button
// row and status line grow where the desktop's font needs more.
constexpr int kClientWidth = 358, kClientHeight = 325;
constexpr int kMinOuterWidth = 366, kMinOuterHeight = 340;
constexpr int kStatusHeight = 19, kButtonRowHeight = 29;
constexpr int kButtonWidth = 75, kButtonHeight = 23, kMargin = 8;

QSize AtLeast(const QWidget* widget, int width, int height) {
  return widget->sizeHint().expandedTo(QSize(width, height));
}

}  // namespace

// ---- ChooserTree ---------------------------------------------------------------------------

ChooserTree::ChooserTree(QWidget* parent, FolderNamespace names, bool context_menus,
                         bool read_only)
    : ShellTreeView(parent, std::move(names)), context_menus_(context_menus) {
  setObjectName(QStringLiteral("ShellTree"));
  setAccessibleName(QStringLiteral("保存目录文件夹树"));
  setRootIsDecorated(true);  // lines and a button at the root too
  if (read_only) setEditTriggers(QAbstractItemView::NoEditTriggers);
}

bool ChooserTree::IsHidden(const FolderItem& item) {
  return item.IsFileSystem() && QFileInfo(item.fs_path).fileName().startsWith('.');
}

void ChooserTree::drawRow(QPainter* painter, const QStyleOptionViewItem& option,
                          const QModelIndex& index) const {
  const FolderNode* node = NodeAt(index);
  if (node == nullptr || !IsHidden(node->Item())) {
    ShellTreeView::drawRow(painter, option, index);
    return;
  }
  painter->save();
  painter->setOpacity(0.5);  // ghosted
  ShellTreeView::drawRow(painter, option, index);
  painter->restore();
}

FolderNode* ChooserTree::FindByIdentity(const QString& identity) const {
  for (QTreeWidgetItemIterator it(const_cast<ChooserTree*>(this)); *it != nullptr; ++it) {
    auto* node = static_cast<FolderNode*>(*it);
    if (node->IdentityPath() == identity) return node;
  }
  return nullptr;
}

void ChooserTree::SelectChain(const FolderChain& chain) {
  FolderNode* node = TopNode();
  if (node == nullptr) return;
  for (const FolderItem& level : chain) {
    node->setExpanded(true);  // lists the folder on its first expansion
    FolderNode* next = ChildWithKey(node, level.Key());
    if (next == nullptr && node->Populated() && level.IsFileSystem() &&
        QFileInfo(level.fs_path).isDir()) {
      // A folder that exists but was not listed (a hidden one, say) gets its node all the same.
      next = AddChildNode(node, level);
    }
    if (next == nullptr) {
      ++beeps_;
      QApplication::beep();
      break;
    }
    node = next;
  }
  setCurrentItem(node);
  scrollToItem(node);
}

FolderChain ChooserTree::SelectedChain() const {
  FolderChain chain;
  for (auto* node = static_cast<FolderNode*>(currentItem()); node != nullptr && node != TopNode();
       node = static_cast<FolderNode*>(node->parent())) {
    chain.insert(chain.begin(), node->Item());
  }
  return chain;
}

void ChooserTree::RefreshAll() { RefreshAll(SelectedChain()); }

void ChooserTree::RefreshAll(const FolderChain& selected) {
  FolderNode* top = TopNode();
  if (top == nullptr || state() == QAbstractItemView::EditingState) return;
  RefreshNode(top);
  // A selected folder that is gone passes the selection to the deepest folder left above it.
  FolderNode* node = TopNode();
  bool whole = true;
  for (const FolderItem& level : selected) {
    FolderNode* next = ChildWithKey(node, level.Key());
    if (next == nullptr) {
      whole = false;
      break;
    }
    node = next;
  }
  if (!whole && node != currentItem()) setCurrentItem(node);
}

void ChooserTree::RunMenuCommand(FolderNode* node, Command command) {
  const FolderChain selected = SelectedChain();
  RunCommand(node, command);
  RefreshAll(selected);
}

void ChooserTree::contextMenuEvent(QContextMenuEvent* event) {
  if (!context_menus_) return;
  FolderNode* node = NodeAt(indexAt(event->pos()));
  if (node == nullptr || node == TopNode()) return;
  const FolderChain selected = SelectedChain();
  RunGuarded([&] { ShowContextMenu(node, event->globalPos()); });
  RunGuarded([&] { RefreshAll(selected); });
}

void ChooserTree::RenameEdited(FolderNode* node, const QString& text) {
  const QString name = QString::fromStdString(Trim(text.toStdString()));
  const QString before = node->Item().fs_path;
  RenameNode(node, name);
  if (node->Item().fs_path == before) return;
  // The node moves only after the editor is closed: the view still holds the edited row.
  QTimer::singleShot(0, this, [this, identity = node->IdentityPath()] { SortRenamed(identity); });
  emit Renamed();
}

void ChooserTree::SortRenamed(const QString& identity) {
  FolderNode* node = FindByIdentity(identity);
  if (node == nullptr || node->parent() == nullptr) return;
  QTreeWidgetItem* parent = node->parent();
  const QString folder = QFileInfo(node->Item().fs_path).path();
  auto is_sibling_folder = [&](QTreeWidgetItem* item) {
    const FolderItem& sibling = static_cast<FolderNode*>(item)->Item();
    return sibling.kind == FolderKind::fkFileSystem && QFileInfo(sibling.fs_path).path() == folder;
  };
  const bool was_current = currentItem() == node;
  const bool was_expanded = node->isExpanded();
  parent->takeChild(parent->indexOfChild(node));
  int position = parent->childCount();
  int last_sibling = -1;
  for (int i = 0; i < parent->childCount(); ++i) {
    if (!is_sibling_folder(parent->child(i))) continue;
    last_sibling = i;
    if (FolderNamespace::NaturalLess(node->Item().text,
                                     static_cast<FolderNode*>(parent->child(i))->Item().text)) {
      position = i;
      break;
    }
  }
  if (position == parent->childCount() && last_sibling >= 0) position = last_sibling + 1;
  parent->insertChild(position, node);
  node->setExpanded(was_expanded);
  if (was_current) {
    setCurrentItem(node);
    scrollToItem(node);
  }
}

// ---- FolderChooserWindow -------------------------------------------------------------------

FolderChooserWindow::FolderChooserWindow(const FolderChooser& settings, QWidget* owner)
    : QDialog(owner, Qt::Dialog | Qt::WindowTitleHint | Qt::WindowSystemMenuHint |
                         Qt::WindowMaximizeButtonHint | Qt::WindowCloseButtonHint),
      chosen_(settings.ChosenFolder),
      position_(settings.FormPosition) {
  setModal(true);
  setSizeGripEnabled(false);  // the status line has its own
  setWindowTitle(settings.Title.isEmpty() ? QStringLiteral("Browse for Folder") : settings.Title);

  const FolderChooserOptions options = settings.Options;
  tree_ = new ChooserTree(this, settings.Namespace(), HasOption(options, sfdoContextMenus),
                          HasOption(options, sfdoReadOnly));
  btnNewFolder = Named(new QPushButton(QStringLiteral("Create Folder"), this), "btnNewFolder");
  btnDeleteFolder = Named(new QPushButton(QStringLiteral("Delete"), this), "btnDeleteFolder");
  if (HasOption(options, sfdoCreateFolderIcon)) btnNewFolder->setIcon(QIcon::fromTheme("folder-new"));
  if (HasOption(options, sfdoDeleteFolderIcon)) btnDeleteFolder->setIcon(QIcon::fromTheme("edit-delete"));
  btnNewFolder->setVisible(HasOption(options, sfdoCreateDeleteButtons));
  btnDeleteFolder->setVisible(HasOption(options, sfdoCreateDeleteButtons));
  button_panel_ = Named(new QWidget(this), "ButtonPanel");
  btnOk = Named(new QPushButton(QStringLiteral("OK"), button_panel_), "btnOk");
  btnCancel = Named(new QPushButton(QStringLiteral("Cancel"), button_panel_), "btnCancel");
  btnOk->setDefault(true);
  status_bar_ = new QStatusBar(this);
  status_bar_->setSizeGripEnabled(true);
  status_label_ = new QLabel(status_bar_);
  status_label_->setSizePolicy(QSizePolicy::Ignored, QSizePolicy::Preferred);
  status_bar_->addWidget(status_label_, 1);

  connect(btnOk, &QPushButton::clicked, this, &QDialog::accept);
  connect(btnCancel, &QPushButton::clicked, this, &QDialog::reject);
  connect(btnNewFolder, &QPushButton::clicked, this, Guarded([this] { CreateFolder(); }));
  connect(btnDeleteFolder, &QPushButton::clicked, this, Guarded([this] { DeleteFolder(); }));
  connect(tree_, &ShellTreeView::OnChange, this, [this] { UpdateStatus(); });
  connect(tree_, &ChooserTree::Renamed, this, [this] { UpdateStatus(); });

  // Placement: the design size, then what the settings keep from the last closing.
  const QMargins frame = settings.LastFrame();
  resize(kClientWidth, kClientHeight);
  if (settings.FormWidth > 0) resize(settings.FormWidth - frame.left() - frame.right(), height());
  if (settings.FormHeight > 0) resize(width(), settings.FormHeight - frame.top() - frame.bottom());
  if (position_ == poDesigned && CanPlaceWindows()) move(settings.FormLeft, settings.FormTop);
  if (settings.FormWindowState == wsMaximized) setWindowState(Qt::WindowMaximized);
  setMinimumSize(kClientWidth, kClientHeight);
  WatchMounts();
}

FolderChooserWindow::~FolderChooserWindow() {
  delete mounts_notifier_;
  if (mounts_fd_ >= 0) ::close(mounts_fd_);
}

// A change of the mount table (a volume mounted or unmounted) wakes the notifier.
void FolderChooserWindow::WatchMounts() {
  mounts_fd_ = ::open("/proc/self/mountinfo", O_RDONLY | O_CLOEXEC);
  if (mounts_fd_ < 0) return;
  mounts_notifier_ = new QSocketNotifier(mounts_fd_, QSocketNotifier::Exception);
  connect(mounts_notifier_, &QSocketNotifier::activated, this,
          Guarded([this] { tree_->RefreshAll(); }));
}

QMargins FolderChooserWindow::Frame() const {
  const QRect outer = frameGeometry(), inner = geometry();
  return QMargins(inner.left() - outer.left(), inner.top() - outer.top(),
                  outer.right() - inner.right(), outer.bottom() - inner.bottom());
}

void FolderChooserWindow::showEvent(QShowEvent* event) {
  QDialog::showEvent(event);
  if (shown_) return;
  shown_ = true;
  // The outer minimum; without a frame from the window system the design's frame counts.
  QMargins frame = Frame();
  if (frame.isNull()) frame = QMargins(0, 0, kMinOuterWidth - kClientWidth, kMinOuterHeight - kClientHeight);
  setMinimumSize(kMinOuterWidth - frame.left() - frame.right(),
                 kMinOuterHeight - frame.top() - frame.bottom());
  if (position_ == poScreenCenter && !isMaximized()) {
    CentreOnScreen(this, parentWidget() != nullptr ? parentWidget()->screen() : nullptr);
  }
  tree_->Fill();
  tree_->SelectChain(chosen_);
  UpdateStatus();
  QApplication::changeOverrideCursor(Qt::ArrowCursor);  // waiting for the user
}

void FolderChooserWindow::resizeEvent(QResizeEvent* event) {
  QDialog::resizeEvent(event);
  LayOut();
  UpdateStatus();
}

// A font, or a status text, that needs more room: buttons and status line take it.
bool FolderChooserWindow::event(QEvent* event) {
  const bool handled = QDialog::event(event);
  if (event->type() == QEvent::LayoutRequest) LayOut();
  if (event->type() == QEvent::FontChange) UpdateStatus();
  return handled;
}

void FolderChooserWindow::LayOut() {
  const int w = width(), h = height();
  const int status_height = std::max(kStatusHeight, status_bar_->sizeHint().height());
  status_bar_->setGeometry(0, h - status_height, w, status_height);
  const QSize button = AtLeast(btnOk, kButtonWidth, kButtonHeight).expandedTo(btnCancel->sizeHint());
  const int row_height = std::max(kButtonRowHeight, button.height() + 6);
  const int row_top = h - status_height - row_height;
  button_panel_->setGeometry(0, row_top, w, row_height);
  btnCancel->setGeometry(QRect(QPoint(w - kMargin - button.width(), 2), button));
  btnOk->setGeometry(QRect(QPoint(btnCancel->x() - kMargin - button.width(), 2), button));
  const QSize create = AtLeast(btnNewFolder, 121, kButtonHeight);
  btnNewFolder->setGeometry(QRect(QPoint(8, 4), create));
  btnDeleteFolder->setGeometry(QRect(QPoint(8 + create.width() + 8, 4),
                                     AtLeast(btnDeleteFolder, 92, create.height())));
  int tree_top = kMargin;
  if (btnNewFolder->isVisibleTo(this) || btnDeleteFolder->isVisibleTo(this)) {
    tree_top = create.height() + 4 + 4;
  }
  tree_->setGeometry(kMargin, tree_top, w - 2 * kMargin, row_top - 4 - tree_top);
}

void FolderChooserWindow::UpdateStatus() {
  const FolderNode* node = static_cast<FolderNode*>(tree_->currentItem());
  status_path_ = node != nullptr ? node->Item().fs_path : QString();
  const QFontMetrics metrics(font());
  status_label_->setText(ShortenPath(status_path_, status_bar_->width() - 20,
                                     [&](const QString& text) { return metrics.horizontalAdvance(text); }));
}

QString FolderChooserWindow::StatusText() const { return status_label_->text(); }

void FolderChooserWindow::StorePlacement(FolderChooser& settings) const {
  const QMargins frame = Frame();
  const QRect normal = isMaximized() ? normalGeometry() : geometry();
  settings.FormLeft = normal.left() - frame.left();
  settings.FormTop = normal.top() - frame.top();
  settings.FormWidth = normal.width() + frame.left() + frame.right();
  settings.FormHeight = normal.height() + frame.top() + frame.bottom();
  settings.FormWindowState = isMaximized() ? wsMaximized : isMinimized() ? wsMinimized : wsNormal;
  settings.FormPosition = poDesigned;  // centred once, on the first showing
  settings.SetLastFrame(frame);
}

void FolderChooserWindow::CreateFolder() {
  FolderNode* node = static_cast<FolderNode*>(tree_->currentItem());
  if (node == nullptr || !node->Item().IsFileSystem()) return;
  const QDir folder(node->Item().fs_path);
  QString name = QStringLiteral("New Folder");
  for (int n = 2; folder.exists(name); ++n) name = QStringLiteral("New Folder (%1)").arg(n);
  if (!folder.mkdir(name)) throw FileError("Cannot create folder " + folder.filePath(name).toStdString());
  tree_->RefreshAll();
  node = static_cast<FolderNode*>(tree_->currentItem());
  node->setExpanded(true);
  const QString made = QDir::cleanPath(folder.filePath(name));
  for (int i = 0; i < node->childCount(); ++i) {
    auto* child = static_cast<FolderNode*>(node->child(i));
    if (child->Item().fs_path != made) continue;
    tree_->setCurrentItem(child);
    tree_->editItem(child);
    break;
  }
}

void FolderChooserWindow::DeleteFolder() {
  tree_->RunMenuCommand(static_cast<FolderNode*>(tree_->currentItem()), ShellTreeView::Command::cmTrash);
}
