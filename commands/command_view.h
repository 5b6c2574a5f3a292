#pragma once
// What a command reports while it runs, in the order it happens. The main window shows it
// with its log box, progress bar and message box; the tests record it.
#include <string>

#include "engine/log_sink.h"

// Append(line), from LogSink, adds a last line to the log and scrolls it into view.
class CommandView : public LogSink {
 public:
  virtual void ClearLog() = 0;
  // The standard message box; returns once it is closed.
  virtual void Message(const std::string& text) = 0;
  // The progress bar: shown with the range 0..count at 0, one step on, hidden.
  virtual void ProgressStart(int count) = 0;
  virtual void ProgressStep() = 0;
  virtual void ProgressEnd() = 0;
  // Lets pending repaints and other non-input events run; user input waits.
  virtual void LetPendingEventsRun() = 0;
};
