#pragma once
// What the commands read from the main window's controls.
#include <string>

#include <QString>

#include "commands/output_path.h"
#include "engine/log_sink.h"
#include "engine/size_rules.h"
#include "ui/main_controls.h"

class QPlainTextEdit;

// The checked sizing rule and its boxes' numbers (text-to-integer conversion; throws
// ConvertError). Fields the rule does not use stay 0.
ThumbnailParams ReadSizingRule(const MainControls& controls);

// The naming radio buttons with Edit2 and ePath as they stand (untrimmed).
NamingSettings ReadNaming(const MainControls& controls);

// Shows the message of the first failing pre-flight check; false when one failed.
bool CheckSettings(const MainControls& controls);

// A path as the engine takes it: the file system's own bytes.
std::string PathBytes(const QString& path);

// Appends each engine line to the log box and keeps the newest line in view.
class MemoLogSink : public LogSink {
 public:
  explicit MemoLogSink(QPlainTextEdit* memo) : memo_(memo) {}
  void Append(const std::string& line) override;

 private:
  QPlainTextEdit* memo_;
};
