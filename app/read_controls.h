#pragma once
// The window's side of the commands: its controls read into the value the commands take, and
// what the commands report shown in its log box, progress bar and message box.
#include <QString>
#include <string>

#include "app/main_controls.h"
#include "commands/command_view.h"
#include "commands/main_settings.h"

// A path or text as the commands take it: the file system's own bytes.
std::string PathBytes(const QString& path);

MainSettings ReadControls(const MainControls& controls);

class WindowView : public CommandView {
 public:
  WindowView(QPlainTextEdit* memo, QProgressBar* bar) : memo_(memo), bar_(bar) {}
  void ClearLog() override;
  void Append(const std::string& line) override;  // keeps the newest line in view
  void Message(const std::string& text) override;
  void ProgressStart(int count) override;
  void ProgressStep() override;
  void ProgressEnd() override;
  void LetPendingEventsRun() override;

 private:
  QPlainTextEdit* memo_;
  QProgressBar* bar_;
};
