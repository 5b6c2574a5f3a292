#include "engine/thumbnail_writer.h"

#include <sys/stat.h>

#include "engine/errors.h"
#include "engine/jpeg_image.h"
#include "engine/raster.h"
#include "engine/size_rules.h"

namespace {

// A destination reached through a link or mount may be the source file itself; saving
// would truncate the user's photo before it is read again.
void RefuseSourceAsDestination(const std::string& source, const std::string& dest) {
  struct stat source_status {
  }, dest_status{};
  if (::stat(dest.c_str(), &dest_status) != 0 || ::stat(source.c_str(), &source_status) != 0)
    return;
  if (source_status.st_dev == dest_status.st_dev && source_status.st_ino == dest_status.st_ino)
    throw FileError("Cannot create file \"" + dest +
                    "\". The destination is the source file itself");
}

}  // namespace

void MakeThumbnail(const std::string& Source, const std::string& Dest, std::int32_t Mode,
                   std::int32_t Percent, std::int32_t Height, std::int32_t Width, LogSink& log,
                   const EngineOptions& options, DrawReport* report) {
  Raster raster;
  JpegImage source;
  JpegImage output;
  source.SetOptions(options);
  source.LoadFile(Source);
  const auto size = ComputeThumbnailSize(source.Width(), source.Height(),
                                         ThumbnailParams{Mode, Percent, Height, Width});
  if (!size) {
    log.Append("缩略图失败：" + Source + "只能缩小！");
    return;
  }
  raster.SetWidth(size->ThumbW);
  raster.SetHeight(size->ThumbH);
  raster.SetFormat(rf24Bit);
  raster.Canvas().DrawScaled(Rect{0, 0, size->ThumbW, size->ThumbH}, source);
  if (report != nullptr) *report = source.LastDraw();
  output.AssignRaster(raster);
  RefuseSourceAsDestination(Source, Dest);
  output.SaveFile(Dest);
  log.Append("缩略图生成:" + Source + "-->" + Dest);
}
