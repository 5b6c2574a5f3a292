#pragma once
// The engine's only way to report: one line per processed file.
#include <functional>
#include <string>

class LogSink {
 public:
  virtual ~LogSink() = default;
  virtual void Append(const std::string& line) = 0;
};

// A sink that hands each line to a callable (the main window's log box, a test's vector).
class CallbackLogSink : public LogSink {
 public:
  explicit CallbackLogSink(std::function<void(const std::string&)> callback)
      : callback_(std::move(callback)) {}
  void Append(const std::string& line) override { callback_(line); }

 private:
  std::function<void(const std::string&)> callback_;
};
