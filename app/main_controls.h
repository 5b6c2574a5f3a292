#pragma once
// The main window's controls under the window's own names. The window owns every control; the
// pointers are valid while the window lives.
class FileListBox;
class PreviewImage;
class QLabel;
class QLineEdit;
class QPlainTextEdit;
class QProgressBar;
class QRadioButton;
class QToolButton;
class ShellTreeView;

struct MainControls {
  QRadioButton *rb1, *rb2, *rb3, *rb4, *rb5;
  QLineEdit *editRate, *editHH, *editWW, *editH, *editW, *editQH, *editQW;
  QRadioButton *rbname1, *rbname2;
  QLineEdit *Edit2, *ePath;
  QToolButton *BtnSF, *SpeedButton1, *SpeedButton2;
  QProgressBar* ProgressBar1;
  QPlainTextEdit* Memo1;
  ShellTreeView* ShellTreeView1;
  FileListBox* FileListBox1;
  PreviewImage* Image1;
  QLabel* LabFile;
};
