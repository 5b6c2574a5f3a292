#pragma once
// The list of one folder's files whose names match the mask, sorted, by bare name. Its
// folder, entries, selection and selected file are what the commands and the preview read.
// The process's current directory follows Folder().
#include <QImage>
#include <QListWidget>
#include <QString>
#include <functional>
#include <optional>

// Kinds of directory entries the list shows (several may be combined).
enum FileAttr : unsigned {
  ftReadOnly = 1,
  ftHidden = 2,
  ftSystem = 4,  // here: anything neither a regular file nor a directory
  ftVolumeID = 8,
  ftDirectory = 16,
  ftArchive = 32,
  ftNormal = 64,
};
using FileTypes = unsigned;

enum class ListGlyph { gNone, gUnknownFile, gExecutable, gClosedFolder };

class FileListBox : public QListWidget {
  Q_OBJECT
 public:
  explicit FileListBox(QWidget* parent = nullptr);

  // The listed folder: absolute, "/" ending it only at the root. Starts as the process's
  // current directory.
  QString Folder() const { return folder_; }
  // Patterns separated by ";", "*" and "?" as wildcards, letter case ignored. Writing a
  // different value rereads.
  QString Mask() const { return mask_; }
  void SetMask(const QString& mask);
  FileTypes FileType() const { return file_type_; }
  void SetFileType(FileTypes file_type);
  bool ShowGlyphs() const { return show_glyphs_; }
  void SetShowGlyphs(bool show);

  int Count() const { return count(); }
  QString Item(int index) const;  // bare file name, or "[name]" for a folder
  ListGlyph ItemGlyph(int index) const;
  // Removes every entry and nothing else: Folder stays, no OnChange. A later ChangeFolder to
  // the same folder then reads it again, so a cleared list can be refilled by applying its
  // own folder.
  void Clear();

  int ItemIndex() const;  // -1 when nothing is selected
  void SetItemIndex(int index);
  QString SelectedName() const;
  QString SelectedFile() const;  // Folder() + "/" + SelectedName(), or "" when none

  // Shows the folder named by text; its last part may instead be a pattern (it becomes the
  // mask) or an existing file (it is selected). Throws FileError, and then Folder stays.
  void ApplyPath(const QString& text);
  struct SplitParts {
    QString folder;  // absolute folder to change to
    QString last;    // "" or a pattern or a file name
  };
  // Splits text into folder and last part, resolving a last part that names a folder into
  // the folder part. The current directory is the same afterwards, also on error.
  SplitParts SplitPath(const QString& text) const;
  // Lists folder (relative to Folder() when not absolute) unless it is already Folder().
  void ChangeFolder(const QString& folder);
  // Reads Folder() again with the mask, then fires OnChange with nothing selected.
  void Reread();
  // Selects the entry of that name (letter case ignored) or none, then fires OnChange;
  // nothing happens when it is already the selected one.
  void SelectName(const QString& name);

  // The file-name comparison: equal after both are lower-cased.
  static bool SameFileName(const QString& a, const QString& b);

  // The 16 x 15 glyph of an entry kind; the colour of its bottom-left pixel is made clear.
  static QImage GlyphImage(ListGlyph glyph);

  // Milliseconds on a steady clock, by which the list tells key repeats that queued up while
  // the OnChange handler ran (tests give their own clock).
  void SetClock(std::function<qint64()> now) { now_ = std::move(now); }

 signals:
  // After every reread, after SelectName, and after a user action that moved the selection.
  void OnChange();

 protected:
  void keyPressEvent(QKeyEvent* event) override;
  void focusOutEvent(QFocusEvent* event) override;
  void mousePressEvent(QMouseEvent* event) override;
  void mouseMoveEvent(QMouseEvent* event) override;
  void mouseReleaseEvent(QMouseEvent* event) override;
  void showEvent(QShowEvent* event) override;
  void changeEvent(QEvent* event) override;

 private:
  void MakeWindow();
  void SelectRow(int row);
  void ReportIfMoved();
  void SelectionChanged();
  void Fire();
  void TypeAhead(const QKeyEvent& event);
  void MoveBy(QKeyEvent* event);
  bool QueuedBehindLastStep(const QKeyEvent& event) const;
  void TakeMergedStep();

  QString folder_;
  QString mask_ = "*.*";
  FileTypes file_type_ = ftNormal;
  bool show_glyphs_ = false;
  bool made_ = false;   // entries are read once the list is first shown or cleared
  bool stale_ = false;  // cleared since the last reread
  int last_reported_ = -1;
  QString prefix_;
  quint64 last_key_time_ = 0;
  bool typed_before_ = false;
  bool own_change_ = false;  // the selection moves by the list's own doing
  // A held-down arrow or paging key: the last step it made, when that step's OnChange
  // handler returned, and the one step that stands for the repeats queued since.
  std::function<qint64()> now_;
  int step_key_ = 0;
  qint64 step_end_ = 0;
  struct MergedStep {
    int key;
    Qt::KeyboardModifiers modifiers;
  };
  std::optional<MergedStep> merged_;
};
