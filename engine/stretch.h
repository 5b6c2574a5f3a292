#pragma once
// The stretched transfer of one whole raster into a rectangle of another, and the pick
// rule that decides which source pixel each destination pixel copies.
#include <cstdint>
#include <vector>

#include "engine/raster.h"

// Nearest-neighbour pick: destination index d (0-based) of a span dest_len long takes the
// source index whose centre lies nearest the centre of d, so dropped (or repeated) source
// rows and columns spread evenly. dest_len and src_len are above 0.
inline int NearestPick(std::int64_t d, std::int64_t dest_len, std::int64_t src_len) {
  return static_cast<int>(((2 * d + 1) * src_len) / (2 * dest_len));
}

// NearestPick of destination indices first .. first + count - 1 (count -1: to dest_len).
std::vector<int> NearestPickMap(std::int64_t dest_len, int src_len, std::int64_t first = 0,
                                std::int64_t count = -1);

// What one picking transfer of a src_w x src_h picture into rect of a target_w x
// target_h target copies: destination pixel (X0 + i, Y0 + j) takes source pixel
// (Cols[i], Rows[j]). Only the part of rect inside the target is listed; both lists are
// non-decreasing. Empty lists when nothing is drawn.
struct StretchPlan {
  int X0 = 0, Y0 = 0;
  std::vector<int> Cols, Rows;
  bool Empty() const { return Cols.empty() || Rows.empty(); }
};
StretchPlan PlanStretch(const Rect& rect, int target_w, int target_h, int src_w, int src_h);

// True when the transfer averages blocks instead of picking: only onto a target of 8 bits
// per pixel or fewer, and only from a deeper source.
bool UsesHalftone(int target_depth, int source_bits);

// One transfer of the whole of source into rect of target, clipped to the target; pixels
// outside the target are skipped but keep the mapping of the whole rect. The target depth
// is the display's (DisplayDepth). An empty rect, source or target draws nothing.
void StretchDraw(Raster& target, const Rect& rect, const Raster& source);
