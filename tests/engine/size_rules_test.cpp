#include "engine/size_rules.h"

#include <gtest/gtest.h>

namespace {
constexpr std::optional<ThumbnailSize> kRefused = std::nullopt;
ThumbnailSize Size(int w, int h) {
  return {w, h};
}
}  // namespace

TEST(SizeRules, EveryRuleRoundsHalfToEvenAndOnlyReduces) {
  struct Case {
    int src_w, src_h;
    ThumbnailParams params;
    std::optional<ThumbnailSize> expected;
  };
  const Case cases[] = {
      {640, 480, {tmPercent, 50, 0, 0}, Size(320, 240)},
      {75, 75, {tmPercent, 50, 0, 0}, Size(38, 38)},  // 37.5 -> 38
      {73, 73, {tmPercent, 50, 0, 0}, Size(36, 36)},  // 36.5 -> 36
      {640, 480, {tmPercent, 100, 0, 0}, Size(640, 480)},
      {50, 40, {tmPercent, 1, 0, 0}, Size(0, 0)},  // 0.5 -> 0, no clamping
      {120, 149, {tmPercent, 1, 0, 0}, Size(1, 1)},
      {1000, 500, {tmByHeight, 0, 100, 0}, Size(200, 100)},
      {1000, 500, {tmByHeight, 0, 500, 0}, kRefused},  // not strictly below
      {1000, 500, {tmByWidth, 0, 0, 300}, Size(300, 150)},
      {800, 600, {tmCustom, 0, 100, 100}, Size(100, 100)},
      {800, 600, {tmCustom, 0, 600, 100}, kRefused},
      {1000, 750, {tmMaxBox, 0, 100, 300}, Size(300, 225)},  // only the width governs
      {750, 1000, {tmMaxBox, 0, 400, 300}, Size(300, 400)},
      {500, 500, {tmMaxBox, 0, 100, 200}, Size(200, 200)},  // square counts as landscape
      {200, 150, {tmMaxBox, 0, 100, 300}, kRefused},
      {65500, 65500, {tmPercent, 100, 0, 0}, Size(65500, 65500)},  // extremes stay exact
      {65500, 65499, {tmByHeight, 0, 1000, 0}, Size(1000, 1000)},
      {65500, 3, {tmByWidth, 0, 0, 1000}, Size(1000, 0)},
      {65500, 1001, {tmMaxBox, 0, 1000, 1000}, Size(1000, 15)},
      {1001, 65500, {tmMaxBox, 0, 1000, 1000}, Size(15, 1000)},
      {640, 480, {tmNone, 0, 0, 0}, kRefused},  // no rule, nothing made
  };
  for (const Case& c : cases) {
    EXPECT_EQ(ComputeThumbnailSize(c.src_w, c.src_h, c.params), c.expected)
        << c.src_w << "x" << c.src_h << " mode " << c.params.Mode;
  }
}
