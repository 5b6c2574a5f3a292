#include "engine/stretch.h"

#include <algorithm>
#include <array>
#include <unordered_map>

#include "engine/display_depth.h"

std::vector<int> NearestPickMap(std::int64_t dest_len, int src_len, std::int64_t first,
                                std::int64_t count) {
  if (count < 0) count = dest_len - first;
  std::vector<int> map(static_cast<std::size_t>(std::max<std::int64_t>(count, 0)));
  for (std::size_t i = 0; i < map.size(); ++i)
    map[i] = NearestPick(first + static_cast<std::int64_t>(i), dest_len, src_len);
  return map;
}

bool UsesHalftone(int target_depth, int source_bits) {
  return target_depth <= 8 && target_depth < source_bits;
}

namespace {

// The visible part of one axis: destination indices [first, first + count) of the rect.
struct Span {
  std::int64_t first = 0;
  int count = 0;
};

Span Clip(int start, std::int64_t length, int limit) {
  const std::int64_t from = std::max<std::int64_t>(start, 0);
  const std::int64_t to = std::min<std::int64_t>(start + length, limit);
  if (to <= from) return {};
  return {from - start, static_cast<int>(to - from)};
}

// Writes colours into the target's rows; an 8-bit target gets the nearest table entry.
class PixelWriter {
 public:
  explicit PixelWriter(const Raster& target)
      : table_(target.ColorTable()), eight_(target.BitsPerPixel() == 8) {}
  void Put(std::uint8_t* row, int x, std::uint8_t b, std::uint8_t g, std::uint8_t r) {
    if (!eight_) {
      row[3 * x] = b;
      row[3 * x + 1] = g;
      row[3 * x + 2] = r;
    } else {
      row[x] = Nearest(b, g, r);
    }
  }

 private:
  std::uint8_t Nearest(std::uint8_t b, std::uint8_t g, std::uint8_t r) {
    const std::uint32_t key = (std::uint32_t{r} << 16) | (std::uint32_t{g} << 8) | b;
    auto found = cache_.find(key);
    if (found != cache_.end()) return found->second;
    int best = 0;
    int best_distance = INT32_MAX;
    for (std::size_t i = 0; i < table_.size(); ++i) {
      const int dr = table_[i].Red - r, dg = table_[i].Green - g, db = table_[i].Blue - b;
      const int distance = dr * dr + dg * dg + db * db;
      if (distance < best_distance) best_distance = distance, best = static_cast<int>(i);
    }
    return cache_[key] = static_cast<std::uint8_t>(best);
  }
  const std::vector<RgbColour>& table_;
  bool eight_;
  std::unordered_map<std::uint32_t, std::uint8_t> cache_;
};

// Table of an 8-bit source padded to 256 entries (indices past its end read black).
std::array<RgbColour, 256> FullTable(const Raster& source) {
  std::array<RgbColour, 256> full{};
  const auto& table = source.ColorTable();
  std::copy_n(table.begin(), std::min<std::size_t>(table.size(), 256), full.begin());
  return full;
}

void PickInto(Raster& target, int x0, int y0, const std::vector<int>& cols,
              const std::vector<int>& rows, const Raster& source) {
  const std::size_t count = cols.size();
  const bool eight_bit_source = source.BitsPerPixel() == 8;
  if (target.BitsPerPixel() == 24) {  // the thumbnail road: one pass, no per-pixel tests
    const auto table = FullTable(source);
    std::vector<int> offsets(cols);
    if (!eight_bit_source)
      for (int& offset : offsets) offset *= 3;
    for (std::size_t j = 0; j < rows.size(); ++j) {
      const std::uint8_t* from = source.RowAddress(rows[j]);
      std::uint8_t* to = target.RowAddress(y0 + static_cast<int>(j)) + 3 * x0;
      if (eight_bit_source) {
        for (std::size_t i = 0; i < count; ++i, to += 3) {
          const RgbColour c = table[from[offsets[i]]];
          to[0] = c.Blue;
          to[1] = c.Green;
          to[2] = c.Red;
        }
      } else {
        for (std::size_t i = 0; i < count; ++i, to += 3) {
          const std::uint8_t* p = from + offsets[i];
          to[0] = p[0];
          to[1] = p[1];
          to[2] = p[2];
        }
      }
    }
    return;
  }
  // An 8-bit target: indices copy straight across a shared table, else nearest colours.
  const bool same_table = eight_bit_source && target.ColorTable() == source.ColorTable();
  const auto table = FullTable(source);
  PixelWriter writer(target);
  for (std::size_t j = 0; j < rows.size(); ++j) {
    const std::uint8_t* from = source.RowAddress(rows[j]);
    std::uint8_t* to = target.RowAddress(y0 + static_cast<int>(j));
    for (std::size_t i = 0; i < count; ++i) {
      const int x = x0 + static_cast<int>(i);
      if (same_table) {
        to[x] = from[cols[i]];
      } else if (eight_bit_source) {
        const RgbColour c = table[from[cols[i]]];
        writer.Put(to, x, c.Blue, c.Green, c.Red);
      } else {
        const std::uint8_t* p = from + 3 * cols[i];
        writer.Put(to, x, p[0], p[1], p[2]);
      }
    }
  }
}

// Source indices [begin, end) behind destination index d: at least one.
std::pair<int, int> Block(std::int64_t d, std::int64_t dest_len, std::int64_t src_len) {
  const int begin = static_cast<int>(d * src_len / dest_len);
  const int end = static_cast<int>((d + 1) * src_len / dest_len);
  return {begin, std::max(end, begin + 1)};
}

// Each destination pixel gets the rounded mean colour of its source block.
void AverageInto(Raster& target, int x0, int y0, const Rect& rect, Span xs, Span ys,
                 const Raster& source) {
  const std::int64_t dw = std::int64_t{rect.Right} - rect.Left;
  const std::int64_t dh = std::int64_t{rect.Bottom} - rect.Top;
  const auto table = FullTable(source);
  const bool eight = source.BitsPerPixel() == 8;
  PixelWriter writer(target);
  for (int j = 0; j < ys.count; ++j) {
    const auto [row_begin, row_end] = Block(ys.first + j, dh, source.Height());
    std::uint8_t* to = target.RowAddress(y0 + j);
    for (int i = 0; i < xs.count; ++i) {
      const auto [col_begin, col_end] = Block(xs.first + i, dw, source.Width());
      std::uint64_t sum[3] = {0, 0, 0};
      for (int y = row_begin; y < row_end; ++y) {
        const std::uint8_t* from = source.RowAddress(y);
        for (int x = col_begin; x < col_end; ++x) {
          if (eight) {
            const RgbColour c = table[from[x]];
            sum[0] += c.Blue, sum[1] += c.Green, sum[2] += c.Red;
          } else {
            sum[0] += from[3 * x], sum[1] += from[3 * x + 1], sum[2] += from[3 * x + 2];
          }
        }
      }
      const std::uint64_t n = std::uint64_t(row_end - row_begin) * (col_end - col_begin);
      writer.Put(to, x0 + i, static_cast<std::uint8_t>((sum[0] + n / 2) / n),
                 static_cast<std::uint8_t>((sum[1] + n / 2) / n),
                 static_cast<std::uint8_t>((sum[2] + n / 2) / n));
    }
  }
}

}  // namespace

StretchPlan PlanStretch(const Rect& rect, int target_w, int target_h, int src_w, int src_h) {
  StretchPlan plan;
  const std::int64_t dw = std::int64_t{rect.Right} - rect.Left;
  const std::int64_t dh = std::int64_t{rect.Bottom} - rect.Top;
  if (dw <= 0 || dh <= 0 || src_w <= 0 || src_h <= 0) return plan;
  const Span xs = Clip(rect.Left, dw, target_w);
  const Span ys = Clip(rect.Top, dh, target_h);
  if (xs.count == 0 || ys.count == 0) return plan;
  plan.X0 = static_cast<int>(rect.Left + xs.first);
  plan.Y0 = static_cast<int>(rect.Top + ys.first);
  plan.Cols = NearestPickMap(dw, src_w, xs.first, xs.count);
  plan.Rows = NearestPickMap(dh, src_h, ys.first, ys.count);
  return plan;
}

void StretchDraw(Raster& target, const Rect& rect, const Raster& source) {
  if (!target.HasStore() || !source.HasStore()) return;
  const std::int64_t dw = std::int64_t{rect.Right} - rect.Left;
  const std::int64_t dh = std::int64_t{rect.Bottom} - rect.Top;
  if (dw <= 0 || dh <= 0) return;
  const Span xs = Clip(rect.Left, dw, target.Width());
  const Span ys = Clip(rect.Top, dh, target.Height());
  if (xs.count == 0 || ys.count == 0) return;

  const Raster* from = &source;
  Raster snapshot;  // a raster drawn onto itself reads from a copy of its old pixels
  if (&source == &target) {
    snapshot.Share(source);
    snapshot.RowAddress(0);
    from = &snapshot;
  }
  if (UsesHalftone(DisplayDepth(), from->BitsPerPixel())) {
    AverageInto(target, static_cast<int>(rect.Left + xs.first),
                static_cast<int>(rect.Top + ys.first), rect, xs, ys, *from);
  } else {
    const StretchPlan plan =
        PlanStretch(rect, target.Width(), target.Height(), from->Width(), from->Height());
    PickInto(target, plan.X0, plan.Y0, plan.Cols, plan.Rows, *from);
  }
}
