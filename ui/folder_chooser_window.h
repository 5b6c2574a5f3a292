#pragma once
// The chooser window of FolderChooser::Choose(): a tree of the folder namespace, "OK",
// "Cancel" and a status line with the selected folder's path, shortened to fit. It exists
// only while one opening lasts.
#include <QDialog>

#include "ui/folder_chooser.h"
#include "ui/shell_tree_view.h"

class QLabel;
class QPushButton;
class QSocketNotifier;
class QStatusBar;

// The chooser's tree: the folder tree's namespace, nodes and context menu, with hidden
// folders drawn ghosted, renaming that trims the new name, and a refresh after every menu
// command.
class ChooserTree : public ShellTreeView {
  Q_OBJECT
 public:
  ChooserTree(QWidget* parent, FolderNamespace names, bool context_menus, bool read_only);

  // Walks down the chain from the top node, expanding every node on the way, selects the
  // deepest node reached and scrolls it into view; a level that cannot be found beeps.
  void SelectChain(const FolderChain& chain);
  FolderChain SelectedChain() const;
  // Lists every listed folder anew: gone folders leave, new ones come in sorted; the
  // selection stays, or passes to the deepest remaining folder above the one selected
  // before (by default, before the refresh).
  void RefreshAll();
  void RefreshAll(const FolderChain& selected_before);
  // A context-menu command on node, followed by the refresh (none while a rename is edited).
  void RunMenuCommand(FolderNode* node, Command command);
  // Renames node's folder to the trimmed text and puts the node in its place among its
  // siblings once the edit has closed. Throws "Rename to <name> failed".
  void RenameEdited(FolderNode* node, const QString& text) override;

  static bool IsHidden(const FolderItem& item);
  int Beeps() const { return beeps_; }

 signals:
  void Renamed();

 protected:
  void drawRow(QPainter* painter, const QStyleOptionViewItem& option,
               const QModelIndex& index) const override;
  void contextMenuEvent(QContextMenuEvent* event) override;

 private:
  FolderNode* FindByIdentity(const QString& identity) const;
  void SortRenamed(const QString& identity);

  bool context_menus_;
  int beeps_ = 0;
};

class FolderChooserWindow : public QDialog {
  Q_OBJECT
 public:
  FolderChooserWindow(const FolderChooser& settings, QWidget* owner);
  ~FolderChooserWindow() override;

  ChooserTree* ShellTree() const { return tree_; }
  QString StatusText() const;
  FolderChain SelectedChain() const { return tree_->SelectedChain(); }
  // Left, top, width and height (outer, of the normal placement), state and placement rule.
  void StorePlacement(FolderChooser& settings) const;

 protected:
  void showEvent(QShowEvent* event) override;
  void resizeEvent(QResizeEvent* event) override;
  bool event(QEvent* event) override;

 private:
  QMargins Frame() const;
  void LayOut();
  void UpdateStatus();
  void WatchMounts();
  void CreateFolder();
  void DeleteFolder();

  FolderChain chosen_;
  TPosition position_;
  bool shown_ = false;
  ChooserTree* tree_;
  QWidget* button_panel_;
  QPushButton *btnOk, *btnCancel, *btnNewFolder, *btnDeleteFolder;
  QStatusBar* status_bar_;
  QLabel* status_label_;
  QString status_path_;
  int mounts_fd_ = -1;
  QSocketNotifier* mounts_notifier_ = nullptr;
};
