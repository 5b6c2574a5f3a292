#pragma once
// Turns one source JPEG file into one thumbnail file and logs one line for it.
#include <cstdint>
#include <string>

#include "engine/engine_options.h"
#include "engine/log_sink.h"

// Loads Source, sizes the thumbnail by the rule (ThumbnailMode and its numbers), draws
// the whole picture onto a white 24-bit raster of that size, saves it at Dest (replacing
// a file there) and appends "缩略图生成:" + Source + "-->" + Dest. A refused size appends
// "缩略图失败：" + Source + "只能缩小！" and touches no file. Paths are UTF-8.
// Errors pass out unchanged with no log line: FileError (also when Dest is Source itself
// under another name; then nothing is written), JpegCodecError, OutOfMemoryError.
// `options` chooses how the source is drawn; `report`, when given, receives what the draw did.
void MakeThumbnail(const std::string& Source, const std::string& Dest, std::int32_t Mode,
                   std::int32_t Percent, std::int32_t Height, std::int32_t Width, LogSink& log,
                   const EngineOptions& options = {}, DrawReport* report = nullptr);
