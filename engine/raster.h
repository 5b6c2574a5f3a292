#pragma once
// The engine's bitmap: one picture in a pixel store, drawn on through its RasterCanvas.
// The 24-bit layout is binding for everyone who touches RowAddress: blue, green, red per
// pixel, rows padded to a multiple of 4 bytes, stored bottom-up (image row 0 lies last).
#include <cstdint>
#include <functional>
#include <memory>
#include <vector>

enum RasterFormat { rfDevice, rf8Bit, rf24Bit };

struct RgbColour {
  std::uint8_t Red = 0, Green = 0, Blue = 0;
  friend bool operator==(const RgbColour&, const RgbColour&) = default;
};

// Left, top, right, bottom in a canvas's pixels; right and bottom are exclusive.
struct Rect {
  int Left = 0, Top = 0, Right = 0, Bottom = 0;
};

class RasterCanvas;

// Anything that can be drawn scaled into a rectangle of a canvas (a Raster, a JpegImage).
class Graphic {
 public:
  virtual ~Graphic() = default;
  virtual void DrawTo(RasterCanvas& canvas, const Rect& rect) = 0;
};

struct RasterStore;

class Raster : public Graphic {
 public:
  Raster();
  ~Raster() override;
  Raster(const Raster&) = delete;
  Raster& operator=(const Raster&) = delete;

  int Width() const { return width_; }
  int Height() const { return height_; }
  // Rebuilds the store for the new size: white, the old pixels kept at (0, 0). No store
  // while either side is 0. Equal values do nothing. Throws OutOfMemoryError.
  void SetWidth(int width);
  void SetHeight(int height);
  // rfDevice while there is no device-independent store, whatever was asked for.
  RasterFormat GetFormat() const;
  // Converts the pixels to the new format (an empty raster only remembers it for its
  // first store). Equal to GetFormat does nothing.
  void SetFormat(RasterFormat format);

  // Colour table of an 8-bit raster (empty otherwise).
  const std::vector<RgbColour>& ColorTable() const;
  void SetColorTable(const std::vector<RgbColour>& table);  // ignored without an 8-bit store

  // First byte of image row r (0 = top). Takes a private copy first if the picture is
  // shared. Throws RasterError "Scan line index out of range" outside 0..Height()-1 or
  // when there is no store.
  std::uint8_t* RowAddress(int r);
  const std::uint8_t* RowAddress(int r) const;  // reading never copies
  int BytesPerRow() const;                      // 0 without a store
  int BitsPerPixel() const;  // 0 without a store, else 8 or 24 (a device store follows the display)
  bool HasStore() const { return store_ != nullptr; }

  // Takes other's picture without copying pixels; the first change through either raster
  // gives that raster a private copy.
  void Share(const Raster& other);
  bool SharesPictureWith(const Raster& other) const;

  RasterCanvas& Canvas();
  void DrawTo(RasterCanvas& canvas, const Rect& rect) override;

  // The changed notice, given after every change of size, format, colour table or pixels
  // (drawing on the canvas included; writes through RowAddress are the writer's to report).
  void SetOnChange(std::function<void()> on_change) { on_change_ = std::move(on_change); }
  void Changed();

 private:
  friend class RasterCanvas;
  void Rebuild(int width, int height, RasterFormat format);
  void Unshare();

  int width_ = 0;
  int height_ = 0;
  RasterFormat format_ = rfDevice;  // the format asked for; the store's own once it exists
  std::shared_ptr<RasterStore> store_;
  std::unique_ptr<RasterCanvas> canvas_;
  std::function<void()> on_change_;
};

// The drawing surface of one Raster. Its only operation is the stretched copy, which always
// replaces the destination's pixels with the source's.
class RasterCanvas {
 public:
  explicit RasterCanvas(Raster& raster) : raster_(raster) {}
  RasterCanvas(const RasterCanvas&) = delete;
  RasterCanvas& operator=(const RasterCanvas&) = delete;

  Raster& Target() { return raster_; }
  // Draws the whole picture scaled into rect; nothing for a null picture. The target first
  // takes a private copy of a shared picture and gives its changed notice afterwards.
  void DrawScaled(const Rect& rect, Graphic* picture);
  void DrawScaled(const Rect& rect, Graphic& picture) { DrawScaled(rect, &picture); }

 private:
  Raster& raster_;
};
