#include "ui/shell_tree_view.h"

#include <QContextMenuEvent>
#include <QDesktopServices>
#include <QDir>
#include <QLineEdit>
#include <QMenu>
#include <QMouseEvent>
#include <QStyledItemDelegate>
#include <QTimer>
#include <QUrl>
#include <exception>
#include <functional>
#include <set>

#include "engine/path_text.h"
#include "ui/guarded.h"
#include "ui/widget_helpers.h"

namespace {

// Hourglass and frozen drawing for the life of the object, also when an exception passes.
class BusyTree {
 public:
  explicit BusyTree(QWidget* tree) : tree_(tree), was_enabled_(tree->updatesEnabled()) {
    tree_->setUpdatesEnabled(false);
  }
  ~BusyTree() { tree_->setUpdatesEnabled(was_enabled_); }
  BusyTree(const BusyTree&) = delete;
  BusyTree& operator=(const BusyTree&) = delete;

 private:
  WaitCursor cursor_;
  QWidget* tree_;
  bool was_enabled_;
};

// Label editing starts from the folder's own name and ends in a rename on disk; a refused
// rename reaches the error box once the editor has closed and the row shows its old name.
// While a node's context menu is open, that node is drawn as the selected one.
class RenameDelegate : public QStyledItemDelegate {
 public:
  explicit RenameDelegate(ShellTreeView* tree) : QStyledItemDelegate(tree), tree_(tree) {}

  void paint(QPainter* painter, const QStyleOptionViewItem& option,
             const QModelIndex& index) const override {
    const FolderNode* menu_node = tree_->MenuNode();
    if (menu_node == nullptr) {
      QStyledItemDelegate::paint(painter, option, index);
      return;
    }
    QStyleOptionViewItem marked = option;
    marked.state.setFlag(QStyle::State_Selected, tree_->NodeAt(index) == menu_node);
    QStyledItemDelegate::paint(painter, marked, index);
  }

  void setEditorData(QWidget* editor, const QModelIndex& index) const override {
    auto* line = qobject_cast<QLineEdit*>(editor);
    FolderNode* node = tree_->NodeAt(index);
    if (line != nullptr && node != nullptr && node->Item().IsFileSystem()) {
      line->setText(QDir(node->Item().fs_path).dirName());
    } else {
      QStyledItemDelegate::setEditorData(editor, index);
    }
  }

  void setModelData(QWidget* editor, QAbstractItemModel*, const QModelIndex& index) const override {
    auto* line = qobject_cast<QLineEdit*>(editor);
    FolderNode* node = tree_->NodeAt(index);
    if (line == nullptr || node == nullptr) return;
    const QString text = line->text();
    std::exception_ptr refused;
    try {
      tree_->RenameEdited(node, text);
    } catch (...) {
      refused = std::current_exception();
    }
    // The box comes once the editor has closed, over the row with its old name.
    if (refused) {
      QTimer::singleShot(0, tree_, [refused] { RunGuarded([&] { std::rethrow_exception(refused); }); });
    }
  }

 private:
  ShellTreeView* tree_;
};

}  // namespace

FolderNode::FolderNode(FolderItem item) : item_(std::move(item)) {}

QString FolderNode::IdentityPath() const {
  QString identity = item_.Key();
  for (const QTreeWidgetItem* up = parent(); up != nullptr; up = up->parent()) {
    identity.prepend(static_cast<const FolderNode*>(up)->Item().Key() + '\n');
  }
  return identity;
}

ShellTreeView::ShellTreeView(QWidget* parent, FolderNamespace folder_namespace)
    : QTreeWidget(parent), namespace_(std::move(folder_namespace)) {
  setHeaderHidden(true);
  setColumnCount(1);
  setHeaderLabel(QString());  // the hidden header has nothing to announce
  setAccessibleName(QStringLiteral("文件夹树"));
  setRootIsDecorated(false);
  setIndentation(19);
  setSelectionMode(QAbstractItemView::SingleSelection);
  // By item, not by row: a row of the accessible tree selects by its place among its
  // siblings, which is another row of the tree once nodes are nested.
  setSelectionBehavior(QAbstractItemView::SelectItems);
  setEditTriggers(QAbstractItemView::SelectedClicked | QAbstractItemView::EditKeyPressed);
  setItemDelegate(new RenameDelegate(this));
  QPalette colours = palette();  // the selection stays marked when the tree loses the focus
  for (QPalette::ColorRole role : {QPalette::Highlight, QPalette::HighlightedText}) {
    colours.setColor(QPalette::Inactive, role, colours.color(QPalette::Active, role));
  }
  setPalette(colours);
  connect(this, &QTreeWidget::itemExpanded, this, &ShellTreeView::NodeExpanded);
  connect(this, &QTreeWidget::currentItemChanged, this, &ShellTreeView::CurrentChanged);
  connect(selectionModel(), &QItemSelectionModel::selectionChanged, this,
          &ShellTreeView::SelectionChanged);
}

ShellTreeView::~ShellTreeView() {
  // Items die with the base class; their last selection moves must not reach this class.
  disconnect(this, &QTreeWidget::currentItemChanged, this, &ShellTreeView::CurrentChanged);
}

void ShellTreeView::Fill() {
  quiet_ = true;
  setCurrentItem(nullptr);  // while the old nodes are whole
  clear();
  quiet_ = false;
  auto* top = new FolderNode(namespace_.Desktop());
  SetUpNode(top);
  addTopLevelItem(top);
  Populate(top);
  top->setExpanded(true);
  setCurrentItem(top);
}

FolderNode* ShellTreeView::NodeAt(const QModelIndex& index) const {
  return static_cast<FolderNode*>(itemFromIndex(index));
}

FolderNode* ShellTreeView::TopNode() const {
  return static_cast<FolderNode*>(topLevelItem(0));
}

FolderNode* ShellTreeView::Selected() const {
  return menu_node_ != nullptr ? menu_node_ : static_cast<FolderNode*>(currentItem());
}

QString ShellTreeView::SelectedPath() const {
  const FolderNode* node = Selected();
  return node != nullptr ? node->Item().PathString() : QString();
}

FolderNode* ShellTreeView::ChildWithKey(const QTreeWidgetItem* parent, const QString& key) {
  for (int i = 0; i < parent->childCount(); ++i) {
    auto* child = static_cast<FolderNode*>(parent->child(i));
    if (child->Item().Key() == key) return child;
  }
  return nullptr;
}

FolderNode* ShellTreeView::AddChildNode(FolderNode* parent, const FolderItem& item) {
  auto* node = new FolderNode(item);
  parent->addChild(node);
  SetUpNode(node);
  return node;
}

void ShellTreeView::SetUpNode(FolderNode* node) {
  const FolderItem& item = node->Item();
  node->setText(0, item.text);
  node->setIcon(0, node == currentItem() ? namespace_.OpenIcon(item) : namespace_.Icon(item));
  node->setChildIndicatorPolicy(namespace_.HasSubfolders(item)
                                    ? QTreeWidgetItem::ShowIndicator
                                    : QTreeWidgetItem::DontShowIndicator);
  Qt::ItemFlags flags = Qt::ItemIsEnabled | Qt::ItemIsSelectable;
  if (item.can_rename) flags |= Qt::ItemIsEditable;
  node->setFlags(flags);
}

void ShellTreeView::Populate(FolderNode* node) {
  BusyTree busy(this);
  const std::vector<FolderItem> children = namespace_.Children(node->Item());
  qDeleteAll(node->takeChildren());
  for (const FolderItem& child : children) AddChildNode(node, child);
  node->SetPopulated(true);
  node->setChildIndicatorPolicy(QTreeWidgetItem::DontShowIndicatorWhenChildless);
}

void ShellTreeView::NodeExpanded(QTreeWidgetItem* item) {
  auto* node = static_cast<FolderNode*>(item);
  if (!node->Populated()) RunGuarded([&] { Populate(node); });
  if (node->childCount() == 0) node->setExpanded(false);
}

void ShellTreeView::CurrentChanged(QTreeWidgetItem* current, QTreeWidgetItem* previous) {
  if (auto* node = static_cast<FolderNode*>(previous)) {
    node->setIcon(0, namespace_.Icon(node->Item()));
  }
  auto* node = static_cast<FolderNode*>(current);
  if (node != nullptr) node->setIcon(0, namespace_.OpenIcon(node->Item()));
  if (!quiet_) emit OnChange(node);
}

// Mouse and keys move the current node and the selection together. A node selected by other
// means (an assistive tool, say) becomes the current one, so that OnChange reports it.
void ShellTreeView::SelectionChanged() {
  const QList<QTreeWidgetItem*> selected = selectedItems();
  if (selected.size() == 1 && selected.first() != currentItem()) setCurrentItem(selected.first());
}

FolderNode* ShellTreeView::FindFolderNode(const QString& path) {
  FolderNode* top = TopNode();
  if (top == nullptr || path.isEmpty()) return nullptr;
  const QString target = QDir::cleanPath(path);
  if (top->Item().fs_path == target) return top;
  // Every place that holds the target is a way in; the deepest is tried first.
  for (const FolderChain& place : namespace_.PlacesHolding(target)) {
    FolderNode* node = top;
    for (auto level = place.begin(); node != nullptr && level != place.end(); ++level) {
      if (!node->Populated()) Populate(node);
      node = ChildWithKey(node, level->Key());
    }
    while (node != nullptr && node->Item().fs_path != target) {
      if (!node->Populated()) Populate(node);
      node->setExpanded(true);
      FolderNode* next = nullptr;
      for (int i = 0; i < node->childCount() && next == nullptr; ++i) {
        auto* child = static_cast<FolderNode*>(node->child(i));
        if (IsUnder(target, child->Item().fs_path)) next = child;
      }
      node = next;
    }
    if (node != nullptr) return node;
  }
  return nullptr;
}

void ShellTreeView::RefreshNode(FolderNode* node) {
  BusyTree busy(this);
  const FolderNode* selected = static_cast<FolderNode*>(currentItem());
  const QString selected_identity = selected != nullptr ? selected->IdentityPath() : QString();
  const FolderNode* top_visible = NodeAt(indexAt(QPoint(0, 0)));
  const QString top_identity = top_visible != nullptr ? top_visible->IdentityPath() : QString();
  std::set<QString> expanded;
  std::function<void(QTreeWidgetItem*)> remember = [&](QTreeWidgetItem* item) {
    for (int i = 0; i < item->childCount(); ++i) {
      auto* child = static_cast<FolderNode*>(item->child(i));
      if (child->isExpanded()) expanded.insert(child->IdentityPath());
      remember(child);
    }
  };
  remember(node);

  quiet_ = true;
  struct Loud {  // OnChange comes back however the refresh ends
    bool& quiet;
    ~Loud() { quiet = false; }
  } loud{quiet_};
  const bool was_expanded = node->isExpanded();
  SetUpNode(node);
  Populate(node);
  std::function<void(QTreeWidgetItem*)> reopen = [&](QTreeWidgetItem* item) {
    for (int i = 0; i < item->childCount(); ++i) {
      auto* child = static_cast<FolderNode*>(item->child(i));
      if (expanded.count(child->IdentityPath()) == 0) continue;
      if (!child->Populated()) Populate(child);
      child->setExpanded(true);
      reopen(child);
    }
  };
  reopen(node);
  node->setExpanded(was_expanded && node->childCount() > 0);

  FolderNode* reselect = nullptr;
  FolderNode* new_top = nullptr;
  for (QTreeWidgetItemIterator it(this); *it != nullptr; ++it) {
    auto* candidate = static_cast<FolderNode*>(*it);
    const QString identity = candidate->IdentityPath();
    if (reselect == nullptr && identity == selected_identity) reselect = candidate;
    if (new_top == nullptr && identity == top_identity) new_top = candidate;
  }
  if (reselect == nullptr && !selected_identity.isEmpty()) reselect = node;
  if (reselect != nullptr) setCurrentItem(reselect);
  if (new_top != nullptr) scrollToItem(new_top, QAbstractItemView::PositionAtTop);
  quiet_ = false;
  auto* now = static_cast<FolderNode*>(currentItem());
  if (now != nullptr && now->IdentityPath() != selected_identity) emit OnChange(now);
}

void ShellTreeView::RebasePaths(FolderNode* node, const QString& old_path,
                                const QString& new_path) {
  for (int i = 0; i < node->childCount(); ++i) {
    auto* child = static_cast<FolderNode*>(node->child(i));
    FolderItem item = child->Item();
    if (IsUnder(item.fs_path, old_path)) item.fs_path = new_path + item.fs_path.mid(old_path.size());
    child->SetItem(item);
    RebasePaths(child, old_path, new_path);
  }
}

void ShellTreeView::RenameNode(FolderNode* node, const QString& new_name) {
  const FolderItem old_item = node->Item();
  if (!old_item.can_rename || QDir(old_item.fs_path).dirName() == new_name) return;
  const QString selected_before = SelectedPath();
  const FolderItem renamed = namespace_.Rename(old_item, new_name);
  node->SetItem(renamed);
  node->setText(0, renamed.text);
  // The children listed under the old name live under the new one now.
  RebasePaths(node, old_item.fs_path, renamed.fs_path);
  // The selected folder now has another path: whoever shows it must follow.
  if (SelectedPath() != selected_before) emit OnChange(Selected());
}

void ShellTreeView::RenameEdited(FolderNode* node, const QString& text) { RenameNode(node, text); }

void ShellTreeView::RunCommand(FolderNode* node, Command command) {
  if (node == nullptr) return;
  const FolderItem& item = node->Item();
  switch (command) {
    case Command::cmOpen:
      if (item.IsFileSystem()) QDesktopServices::openUrl(QUrl::fromLocalFile(item.fs_path));
      break;
    case Command::cmRename:
      if (item.can_rename) editItem(node);
      break;
    case Command::cmTrash:
      namespace_.MoveToTrash(item);
      if (menu_node_ == node) menu_node_ = nullptr;
      // Taken out whole first: a selection that moves away still sees a complete node.
      if (QTreeWidgetItem* parent = node->parent()) {
        parent->removeChild(node);
      } else {
        takeTopLevelItem(indexOfTopLevelItem(node));
      }
      delete node;
      break;
    case Command::cmRefresh:
      RefreshNode(node);
      break;
  }
}

void ShellTreeView::ShowContextMenu(FolderNode* node, const QPoint& pos) {
  QMenu menu(this);
  QAction* open = menu.addAction(QStringLiteral("打开"));
  QAction* rename = menu.addAction(QStringLiteral("重命名"));
  QAction* trash = menu.addAction(QStringLiteral("移到回收站"));
  menu.addSeparator();
  QAction* refresh = menu.addAction(QStringLiteral("刷新"));
  open->setEnabled(node->Item().IsFileSystem());
  rename->setEnabled(node->Item().can_rename);
  trash->setEnabled(node->Item().can_trash);

  menu_node_ = node;
  viewport()->update();
  struct Release {  // the real selection counts again once the command has run
    ShellTreeView* tree;
    ~Release() {
      tree->menu_node_ = nullptr;
      tree->viewport()->update();
    }
  } release{this};
  QAction* chosen = menu.exec(pos);
  if (chosen == open) RunCommand(node, Command::cmOpen);
  if (chosen == rename) RunCommand(node, Command::cmRename);
  if (chosen == trash) RunCommand(node, Command::cmTrash);
  if (chosen == refresh) RunCommand(node, Command::cmRefresh);
}

void ShellTreeView::mousePressEvent(QMouseEvent* event) {
  if (event->button() == Qt::RightButton) {
    event->accept();  // the menu, not the press, deals with the node under the pointer
    return;
  }
  QTreeWidget::mousePressEvent(event);
}

void ShellTreeView::mouseReleaseEvent(QMouseEvent* event) {
  if (event->button() == Qt::RightButton) {
    event->accept();
    return;
  }
  QTreeWidget::mouseReleaseEvent(event);
}

void ShellTreeView::mouseDoubleClickEvent(QMouseEvent* event) {
  if (event->button() == Qt::RightButton) {
    event->accept();
    return;
  }
  QTreeWidget::mouseDoubleClickEvent(event);
}

void ShellTreeView::contextMenuEvent(QContextMenuEvent* event) {
  FolderNode* node = NodeAt(indexAt(event->pos()));
  if (node == nullptr) node = Selected();
  if (node == nullptr) return;
  RunGuarded([&] { ShowContextMenu(node, event->globalPos()); });
}
