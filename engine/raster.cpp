#include "engine/raster.h"

#include <algorithm>
#include <cstring>
#include <new>

#include "engine/display_depth.h"
#include "engine/errors.h"
#include "engine/large_pages.h"
#include "engine/memory_budget.h"
#include "engine/stretch.h"

// One pixel store. A device store stands for the display's own format: 8 bits with the
// default table on a display of 8 bits or fewer, else the 24-bit layout.
struct RasterStore {
  bool device = false;
  int bits = 24;
  int width = 0;
  int height = 0;
  int stride = 0;
  ByteStore pixels;
  std::vector<RgbColour> table;
  MemoryClaim claim;  // the pixels' bytes, counted against the memory budget
};

namespace {

const char kScanLineRange[] = "Scan line index out of range";

// 3-3-2 levels of red, green and blue: index 0 is black and 255 white.
const std::vector<RgbColour>& DefaultTable() {
  static const std::vector<RgbColour> table = [] {
    std::vector<RgbColour> t(256);
    for (int i = 0; i < 256; ++i) {
      t[i] = {static_cast<std::uint8_t>((i >> 5) * 255 / 7),
              static_cast<std::uint8_t>(((i >> 2) & 7) * 255 / 7),
              static_cast<std::uint8_t>((i & 3) * 255 / 3)};
    }
    return t;
  }();
  return table;
}

std::uint8_t DefaultIndex(std::uint8_t blue, std::uint8_t green, std::uint8_t red) {
  return static_cast<std::uint8_t>((red & 0xE0) | ((green & 0xE0) >> 3) | (blue >> 6));
}

int BitsFor(RasterFormat format) {
  switch (format) {
    case rf8Bit:
      return 8;
    case rf24Bit:
      return 24;
    case rfDevice:
      break;
  }
  return DisplayDepth() <= 8 ? 8 : 24;
}

// A white store of the given size and format, or OutOfMemoryError.
std::shared_ptr<RasterStore> NewStore(int width, int height, RasterFormat format) {
  auto store = std::make_shared<RasterStore>();
  store->device = format == rfDevice;
  store->bits = BitsFor(format);
  store->width = width;
  store->height = height;
  const std::int64_t stride = (std::int64_t{width} * store->bits + 31) / 32 * 4;
  const std::int64_t size = stride * height;
  if (stride > INT32_MAX || size > static_cast<std::int64_t>(store->pixels.max_size()))
    throw OutOfMemoryError();
  CheckMemoryFits(static_cast<std::uint64_t>(size));
  store->claim = MemoryClaim(static_cast<std::uint64_t>(size));
  store->stride = static_cast<int>(stride);
  try {
    store->pixels.assign(static_cast<std::size_t>(size), 0xFF);
    if (store->bits == 8) store->table = DefaultTable();
  } catch (const std::bad_alloc&) {
    throw OutOfMemoryError();
  }
  return store;
}

std::uint8_t* StoredRow(RasterStore& s, int r) {
  return s.pixels.data() + static_cast<std::size_t>(s.height - 1 - r) * s.stride;
}
const std::uint8_t* StoredRow(const RasterStore& s, int r) {
  return s.pixels.data() + static_cast<std::size_t>(s.height - 1 - r) * s.stride;
}

// The same picture in another format, pixel for pixel.
std::shared_ptr<RasterStore> Converted(const RasterStore& old, RasterFormat format) {
  auto store = NewStore(old.width, old.height, format);
  if (store->bits == old.bits) {
    store->pixels = old.pixels;
    if (old.bits == 8) store->table = old.table;
    return store;
  }
  for (int r = 0; r < old.height; ++r) {
    const std::uint8_t* from = StoredRow(old, r);
    std::uint8_t* to = StoredRow(*store, r);
    if (old.bits == 8) {  // 8 -> 24 through the table
      for (int x = 0; x < old.width; ++x) {
        const RgbColour c = from[x] < old.table.size() ? old.table[from[x]] : RgbColour{};
        to[3 * x] = c.Blue;
        to[3 * x + 1] = c.Green;
        to[3 * x + 2] = c.Red;
      }
    } else {  // 24 -> 8 onto the default table
      for (int x = 0; x < old.width; ++x)
        to[x] = DefaultIndex(from[3 * x], from[3 * x + 1], from[3 * x + 2]);
    }
  }
  return store;
}

}  // namespace

Raster::Raster() = default;
Raster::~Raster() = default;

void Raster::Rebuild(int width, int height, RasterFormat format) {
  std::shared_ptr<RasterStore> store;
  if (width > 0 && height > 0) {
    store = NewStore(width, height, format);
    if (store_ && store_->bits == store->bits) {  // old pixels at (0, 0), top-down
      const int rows = std::min(height, store_->height);
      const std::size_t bytes =
          static_cast<std::size_t>(std::min(width, store_->width)) * store->bits / 8;
      for (int r = 0; r < rows; ++r)
        std::memcpy(StoredRow(*store, r), StoredRow(*store_, r), bytes);
      if (store->bits == 8) store->table = store_->table;
    }
  }
  store_ = std::move(store);
  width_ = width;
  height_ = height;
}

void Raster::SetWidth(int width) {
  if (width == width_) return;
  Rebuild(width, height_, format_);
  Changed();
}

void Raster::SetHeight(int height) {
  if (height == height_) return;
  Rebuild(width_, height, format_);
  Changed();
}

RasterFormat Raster::GetFormat() const {
  if (!store_ || store_->device) return rfDevice;
  return store_->bits == 8 ? rf8Bit : rf24Bit;
}

void Raster::SetFormat(RasterFormat format) {
  if (!store_) {
    if (format == format_) return;
  } else {
    if (format == GetFormat()) return;
    if (store_.use_count() == 1 && BitsFor(format) == store_->bits)
      store_->device = format == rfDevice;  // the same layout: no second store, no copy
    else
      store_ = Converted(*store_, format);
  }
  format_ = format;
  Changed();
}

const std::vector<RgbColour>& Raster::ColorTable() const {
  static const std::vector<RgbColour> none;
  return store_ && store_->bits == 8 ? store_->table : none;
}

void Raster::SetColorTable(const std::vector<RgbColour>& table) {
  if (!store_ || store_->bits != 8) return;
  Unshare();
  store_->table.assign(table.begin(), table.begin() + std::min<std::size_t>(table.size(), 256));
  Changed();
}

std::uint8_t* Raster::RowAddress(int r) {
  Unshare();
  if (!store_ || r < 0 || r >= height_) throw RasterError(kScanLineRange);
  return StoredRow(*store_, r);
}

const std::uint8_t* Raster::RowAddress(int r) const {
  if (!store_ || r < 0 || r >= height_) throw RasterError(kScanLineRange);
  return StoredRow(*store_, r);
}

int Raster::BytesPerRow() const {
  return store_ ? store_->stride : 0;
}
int Raster::BitsPerPixel() const {
  return store_ ? store_->bits : 0;
}

void Raster::Share(const Raster& other) {
  if (&other == this) return;
  store_ = other.store_;
  width_ = other.width_;
  height_ = other.height_;
  format_ = other.format_;
  Changed();
}

bool Raster::SharesPictureWith(const Raster& other) const {
  return store_ != nullptr && store_ == other.store_;
}

void Raster::Unshare() {
  if (!store_ || store_.use_count() == 1) return;
  CheckMemoryFits(store_->pixels.size());
  try {
    store_ = std::make_shared<RasterStore>(*store_);
  } catch (const std::bad_alloc&) {
    throw OutOfMemoryError();
  }
}

RasterCanvas& Raster::Canvas() {
  if (!canvas_) canvas_ = std::make_unique<RasterCanvas>(*this);
  return *canvas_;
}

void Raster::DrawTo(RasterCanvas& canvas, const Rect& rect) {
  StretchDraw(canvas.Target(), rect, *this);
}

void Raster::Changed() {
  if (on_change_) on_change_();
}

void RasterCanvas::DrawScaled(const Rect& rect, Graphic* picture) {
  if (picture == nullptr) return;
  raster_.Unshare();
  picture->DrawTo(*this, rect);
  raster_.Changed();
}
