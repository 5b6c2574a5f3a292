#pragma once
// The five sizing rules: which requests are accepted (the tool only reduces) and the
// exact arithmetic from the source size to the thumbnail size.
#include <cstdint>
#include <optional>

// The values are the commands' own numbers (0 when no rule was chosen).
enum ThumbnailMode : std::int32_t {
  tmNone = 0,
  tmPercent = 1,
  tmByHeight = 2,
  tmByWidth = 3,
  tmCustom = 4,
  tmMaxBox = 5,
};

// Fields a rule does not use are 0.
struct ThumbnailParams {
  std::int32_t Mode = tmNone;
  std::int32_t Percent = 0;
  std::int32_t Height = 0;
  std::int32_t Width = 0;
};

struct ThumbnailSize {
  std::int32_t ThumbW = 0;
  std::int32_t ThumbH = 0;
  friend bool operator==(const ThumbnailSize&, const ThumbnailSize&) = default;
};

// std::nullopt when refused: Height or Width not strictly below the source's, no rule
// (mode outside 1..5) or a maximum box side of 0. Sides round half to even and may be 0.
std::optional<ThumbnailSize> ComputeThumbnailSize(std::int32_t SrcW, std::int32_t SrcH,
                                                  const ThumbnailParams& Params);
