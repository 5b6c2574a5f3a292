#pragma once
// The folder tree: the folder namespace from the desktop down, folders only. Its one output is
// the path string of the selected node; OnChange reports every move of the selection.
#include <QTreeWidget>
#include <QTreeWidgetItem>

#include "ui/folder_namespace.h"

class QMenu;

// A node of the tree; owns its FolderItem and remembers whether its children were listed.
class FolderNode : public QTreeWidgetItem {
 public:
  explicit FolderNode(FolderItem item);
  const FolderItem& Item() const { return item_; }
  void SetItem(FolderItem item) { item_ = std::move(item); }
  bool Populated() const { return populated_; }
  void SetPopulated(bool populated) { populated_ = populated; }
  // The node's identity from the top node down, for finding it again after a refresh.
  QString IdentityPath() const;

 private:
  FolderItem item_;
  bool populated_ = false;
};

class ShellTreeView : public QTreeWidget {
  Q_OBJECT
 public:
  enum class Command { cmOpen, cmRename, cmTrash, cmRefresh };

  explicit ShellTreeView(QWidget* parent = nullptr,
                         FolderNamespace folder_namespace = FolderNamespace());
  ~ShellTreeView() override;

  // Empties the tree, adds the desktop node, lists its level, expands and selects it; the
  // selection fires OnChange. Connect OnChange first.
  void Fill();

  // The path string of the selected node ("" when none). While a node's context menu is
  // open, that node counts as the selected one.
  QString SelectedPath() const;
  FolderNode* Selected() const;
  // The node whose context menu is open; nullptr when none is.
  FolderNode* MenuNode() const { return menu_node_; }
  FolderNode* TopNode() const;
  FolderNode* NodeAt(const QModelIndex& index) const;
  // Finds the node that shows the file-system folder at path, expanding (and so listing) the
  // nodes on the way; nullptr when the path is not under the desktop, the home folder or the
  // file-system root.
  FolderNode* FindFolderNode(const QString& path);

  // The child of parent that stands for the item of that key; nullptr when none does.
  static FolderNode* ChildWithKey(const QTreeWidgetItem* parent, const QString& key);

  // Lists the node's children anew; keeps expanded nodes expanded and the selection.
  void RefreshNode(FolderNode* node);
  // Renames the node's folder on disk. Throws "Rename to <name> failed" when refused.
  // OnChange fires when the selected node or one of its ancestors was renamed.
  void RenameNode(FolderNode* node, const QString& new_name);
  // What an in-place edit of node's label ends in: the rename to the edited text.
  virtual void RenameEdited(FolderNode* node, const QString& text);
  // Runs one command of the context menu on node, as if chosen from its menu.
  void RunCommand(FolderNode* node, Command command);
  // Opens the context menu of node at global position pos (modal until closed).
  void ShowContextMenu(FolderNode* node, const QPoint& pos);

  const FolderNamespace& Namespace() const { return namespace_; }

 signals:
  // Fires synchronously whenever the selection moves to another node, and when a rename
  // changes the selected node's path; never on right-click.
  void OnChange(FolderNode* node);

 protected:
  void mousePressEvent(QMouseEvent* event) override;
  void mouseReleaseEvent(QMouseEvent* event) override;
  void mouseDoubleClickEvent(QMouseEvent* event) override;
  void contextMenuEvent(QContextMenuEvent* event) override;
  // Adds a node for item at the end of parent's children, with its text, icon, expand mark
  // and editability.
  FolderNode* AddChildNode(FolderNode* parent, const FolderItem& item);

 private:
  void Populate(FolderNode* node);
  void SetUpNode(FolderNode* node);
  void NodeExpanded(QTreeWidgetItem* item);
  void CurrentChanged(QTreeWidgetItem* current, QTreeWidgetItem* previous);
  void SelectionChanged();
  void RebasePaths(FolderNode* node, const QString& old_path, const QString& new_path);

  FolderNamespace namespace_;
  FolderNode* menu_node_ = nullptr;
  bool quiet_ = false;  // no OnChange while the tree rebuilds itself
};
