#include "engine/size_rules.h"

#include <cmath>

namespace {

// A product of two 32-bit integers as 32-bit arithmetic forms it (wrapping, never UB).
long double Product(std::int32_t a, std::int32_t b) {
  return static_cast<std::int32_t>(static_cast<std::uint32_t>(std::int64_t{a} * b));
}

// Nearest integer, ties to the even neighbour (the default rounding mode).
std::int32_t RoundEven(long double value) {
  return static_cast<std::int32_t>(std::nearbyintl(value));
}

}  // namespace

std::optional<ThumbnailSize> ComputeThumbnailSize(std::int32_t SrcW, std::int32_t SrcH,
                                                  const ThumbnailParams& Params) {
  if (!(Params.Height < SrcH && Params.Width < SrcW)) return std::nullopt;
  switch (Params.Mode) {
    case tmPercent:
      return ThumbnailSize{RoundEven(Product(SrcW, Params.Percent) / 100.0L),
                           RoundEven(Product(SrcH, Params.Percent) / 100.0L)};
    case tmByHeight:
      if (SrcH == 0) return std::nullopt;
      return ThumbnailSize{RoundEven(Product(SrcW, Params.Height) / SrcH), Params.Height};
    case tmByWidth:
      if (SrcW == 0) return std::nullopt;
      return ThumbnailSize{Params.Width, RoundEven(Product(SrcH, Params.Width) / SrcW)};
    case tmCustom:
      return ThumbnailSize{Params.Width, Params.Height};
    case tmMaxBox: {
      const std::int32_t box_side = SrcW >= SrcH ? Params.Width : Params.Height;
      if (box_side == 0) return std::nullopt;
      const long double ratio = static_cast<long double>(SrcW >= SrcH ? SrcW : SrcH) / box_side;
      return ThumbnailSize{RoundEven(SrcW / ratio), RoundEven(SrcH / ratio)};
    }
    default:
      return std::nullopt;
  }
}
