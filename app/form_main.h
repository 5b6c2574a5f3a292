#pragma once
// The tool's only main window. It owns every control the commands read; each control is a
// member under its design name, which is also its objectName. Every event handler is connected
// through the guard, so an exception leaving one is shown in the error box.
#include <QMainWindow>

#include "app/main_controls.h"
#include "ui/folder_chooser.h"

class FileListBox;
class QGroupBox;
class QSplitter;
class ShellTreeView;

// The controls are the window's own members, inherited from MainControls. Which is which:
//   rb1 percent of both sides: editRate          rb2 height in pixels: editHH
//   rb3 width in pixels: editWW                  rb4 custom height and width: editH, editW
//   rb5 longest side within a box: editQH high, editQW wide
//   rbname1 prefix Edit2 before the name, beside the source
//   rbname2 the source's name in the output folder ePath, chosen with BtnSF
//   SpeedButton1 makes the selected file, SpeedButton2 every listed file
//   Memo1 the log under ProgressBar1; Image1 the preview over its size label LabFile
class TFormMain : public QMainWindow, private MainControls {
  Q_OBJECT
 public:
  explicit TFormMain(QWidget* parent = nullptr);

  const MainControls& Controls() const { return *this; }

 protected:
  bool event(QEvent* event) override;
  void changeEvent(QEvent* event) override;
  void resizeEvent(QResizeEvent* event) override;
  void showEvent(QShowEvent* event) override;
  void closeEvent(QCloseEvent* event) override;

 private:
  // Top bar.
  QWidget* Panel1;
  QLabel* Label7;
  QToolButton *BTNAbout, *BTNHomePage;
  // Middle area: folder tree and file list on the left, preview on the right.
  QSplitter *Splitter1, *Splitter2, *Splitter3;
  QWidget *Panel2, *Panel3;
  // Bottom block.
  QWidget* GroupBox2;
  bool centred_ = false;
  FolderChooser FolderChooser1{this};  // the output folder chooser's settings, kept for the run

  // Factories of the controls whose real classes live in their own files.
  ShellTreeView* CreateShellTreeView1();
  FileListBox* CreateFileListBox1();
  PreviewImage* CreateImage1();
  QLabel* CreateLabFile();

  QWidget* CreateTopBar();
  QWidget* CreateMiddleArea();
  QWidget* CreateBottomBlock();
  QGroupBox* CreateSizingGroup();
  QGroupBox* CreateNamingGroup();
  QGroupBox* CreateCommandGroup();
  QGroupBox* CreateLogGroup();
  void ConnectHandlers();
  void SetReadingOrder();
  void ApplyFonts();
  void ApplyColours();
  void KeepMinimumSize();

  template <class Sender, class Signal>
  void On(Sender* sender, Signal signal, void (TFormMain::*handler)());
  // Radio buttons run their click handler whenever they become checked, by mouse, keyboard
  // or code.
  void OnChecked(QRadioButton* button, void (TFormMain::*handler)());

  void FormCreate();
  void FormResize();
  void FormClose();
  void rb1Click();
  void rb2Click();
  void rb3Click();
  void rb4Click();
  void rb5Click();
  void EnableSizingBoxes(bool rate, bool hh, bool ww, bool h, bool w, bool qh, bool qw);
  void editRateChange();
  void editHHChange();
  void editWWChange();
  void editHChange();
  void editWChange();
  void editQHChange();
  void editQWChange();
  void CheckPixelBox(QLineEdit* box);
  void rbname1Click();
  void rbname2Click();
  void BtnSFClick();
  void SpeedButton1Click();
  void SpeedButton2Click();
  void ShellTreeView1Change();
  void FileListBox1Change();
  void BTNAboutClick();
  void BTNHomePageClick();
};
