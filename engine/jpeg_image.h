#pragma once
// A JPEG picture: keeps the file's bytes as read, reports its size from the frame header,
// decodes on first need, encodes when saved (a loaded picture is never re-encoded).
#include <cstdint>
#include <functional>
#include <iosfwd>
#include <memory>
#include <optional>
#include <string>
#include <vector>

#include "engine/engine_options.h"
#include "engine/errors.h"
#include "engine/large_pages.h"
#include "engine/raster.h"

// The encoded picture, shared between images (the shared_ptr's count is its RefCount).
struct EncodedJpeg {
  std::optional<ByteStore> Bytes;  // absent in a new record
  std::int32_t Width = 0;
  std::int32_t Height = 0;
  bool IsGray = false;
};

struct JpegSettings {
  std::uint8_t Quality = 90;
  bool ForceGray = false;
  bool FastDecode = false;
  RasterFormat OutputFormat = rf24Bit;
  bool WriteProgressive = false;
  std::uint8_t ScaleShift = 0;
  bool BlockSmoothing = true;
};

// Whether EngineRoad::kFast takes effect in this process: the build has the fast road, and
// its check at first use found it drawing as the plain road does.
bool FastRoadAvailable();

// rf8Bit on a display of 8 bits per pixel or fewer, else rf24Bit.
RasterFormat ChooseOutputFormat();
// The settings every new image copies; OutputFormat is chosen once, at the first call.
JpegSettings& DefaultJpegSettings();

class JpegImage : public Graphic {
 public:
  JpegImage();
  ~JpegImage() override;
  JpegImage(const JpegImage&) = delete;
  JpegImage& operator=(const JpegImage&) = delete;

  // Reads the whole file and its header. Throws FileError ("Cannot open file ..."),
  // JpegCodecError, OutOfMemoryError.
  void LoadFile(const std::string& path);
  // Takes every byte from the stream's position to its end ("Stream read error").
  void LoadStream(std::istream& stream);

  // The decoded raster's size once there is one, else the frame header's.
  std::int32_t Width() const;
  std::int32_t Height() const;
  bool IsGray() const { return encoded_->IsGray; }

  // Decoded on the first call; a failed decode keeps the raster as it stood and later
  // calls return it without a new error. Throws JpegCodecError, OutOfMemoryError.
  Raster& DecodedRaster();
  // Draws by the road the options choose; the plain road draws DecodedRaster().
  void DrawTo(RasterCanvas& canvas, const Rect& rect) override;

  void AssignRaster(const Raster& raster);  // shares its pixels; encodes only when saved
  void AssignJpeg(const JpegImage& other);  // shares other's encoded data (and decoded raster)

  // Encodes first when there are no bytes; writes them in one write ("Stream write error").
  void SaveStream(std::ostream& stream);
  // Creates (replaces) the file before encoding. Throws FileError ("Cannot create file ..."),
  // JpegCodecError, OutOfMemoryError.
  void SaveFile(const std::string& path);

  JpegSettings& Settings() { return settings_; }
  // How this image is drawn (EngineOptions{} unless set), and what its last draw did.
  void SetOptions(const EngineOptions& options) { options_ = options; }
  const EngineOptions& Options() const { return options_; }
  const DrawReport& LastDraw() const { return last_draw_; }
  const EncodedJpeg& Encoded() const { return *encoded_; }
  void SetOnChange(std::function<void()> on_change) { on_change_ = std::move(on_change); }

 private:
  void TakeBytes(ByteStore bytes);
  bool DrawFast(RasterCanvas& canvas, const Rect& rect);
  const ByteStore& EncodedBytes();
  void Changed();

  std::shared_ptr<EncodedJpeg> encoded_;
  std::unique_ptr<Raster> decoded_;
  // Set by a fast draw that failed: the size the decoded raster would have had then.
  // The next DecodedRaster decodes again and keeps what the failed decode leaves, silently.
  struct FailedDraw {
    std::int32_t Width = 0, Height = 0;
  };
  std::optional<FailedDraw> failed_draw_;
  JpegSettings settings_;
  EngineOptions options_;
  DrawReport last_draw_;
  bool palette_modified_ = false;
  std::function<void()> on_change_;
};
