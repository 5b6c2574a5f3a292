#pragma once
// Every failure travels as an exception whose what() is the exact text the user sees.
#include <stdexcept>
#include <string>

// Base of every error the tool raises on purpose; its message is shown as it stands.
class TessarineError : public std::runtime_error {
 public:
  explicit TessarineError(const std::string& message) : std::runtime_error(message) {}
};

// Opening, creating, reading or writing a file failed.
class FileError : public TessarineError {
 public:
  using TessarineError::TessarineError;
};

// A fatal condition reported by libjpeg: "JPEG error #<code>".
class JpegCodecError : public TessarineError {
 public:
  explicit JpegCodecError(int code)
      : TessarineError("JPEG error #" + std::to_string(code)), code_(code) {}
  int Code() const { return code_; }

 private:
  int code_;
};

// A store that cannot be had.
class OutOfMemoryError : public TessarineError {
 public:
  explicit OutOfMemoryError(const std::string& message = "Out of memory")
      : TessarineError(message) {}
};

// A raster or canvas used outside its bounds ("Scan line index out of range").
class RasterError : public TessarineError {
 public:
  using TessarineError::TessarineError;
};

// A silent stop: ends the running handler and shows nothing.
class Abort : public std::exception {
 public:
  const char* what() const noexcept override { return ""; }
};
