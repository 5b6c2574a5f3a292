#pragma once
// The fast road's check of itself against the plain road, layout by layout (fast_road.h).
#include <cstdint>
#include <cstdio>  // jpeglib.h needs FILE and size_t first
#include <span>
#include <string>
#include <vector>

#include <jpeglib.h>

#include "engine/engine_options.h"
#include "engine/fast/fast_road.h"

// The layouts the fast road treats apart, each checked at its first use, sequential and
// progressive apart too.
enum class CheckedLayout { kGrey, k444, k422, k420, k440, k411, kFourComponents, kOther };
inline constexpr int kCheckedLayouts = 8;

// The layout of a picture whose header the library has read.
CheckedLayout LayoutOf(const jpeg_decompress_struct& info);

// Runs the check of the layout the first time it is asked for (once per process, whatever
// the thread); false once any layout's check has found a difference.
bool LayoutPassesCheck(CheckedLayout layout, bool progressive);

// The check of one layout: what differed (empty when nothing did).
std::vector<std::string> CheckLayout(CheckedLayout layout, bool progressive);

// DrawJpegFast with or without the check of the picture's layout (the check's own draws go
// without).
bool DrawFast(std::span<const std::uint8_t> bytes, const JpegSettings& settings,
              const StretchPlan& plan, Raster& target, const EngineOptions& options,
              FastDraw& draw, DrawReport& report, bool checked);
