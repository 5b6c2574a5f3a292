#include "engine/preview_picture.h"

#include <algorithm>

int ReductionFactor(int width, int height, int box_width, int box_height) {
  const int factor = width >= height ? width / std::max(box_width, 1)
                                     : height / std::max(box_height, 1);
  return factor == 0 ? 1 : factor;
}

PreviewPicture MakePreview(const std::string& path, int box_width, int box_height,
                           const EngineOptions& options,
                           const std::function<void(int width, int height)>& on_size,
                           DrawReport* report) {
  auto picture = std::make_unique<JpegImage>();
  picture->SetOptions(options);
  picture->LoadFile(path);
  PreviewPicture preview;
  preview.Width = picture->Width();
  preview.Height = picture->Height();
  if (on_size) on_size(preview.Width, preview.Height);
  if (box_width >= preview.Width && box_height >= preview.Height) {
    preview.Unscaled = std::move(picture);
    return preview;
  }
  preview.Factor = ReductionFactor(preview.Width, preview.Height, box_width, box_height);
  const int reduced_width = preview.Width / preview.Factor;
  const int reduced_height = preview.Height / preview.Factor;
  auto reduced = std::make_unique<Raster>();
  reduced->SetWidth(reduced_width);
  reduced->SetHeight(reduced_height);
  reduced->SetFormat(rf24Bit);
  reduced->Canvas().DrawScaled(Rect{0, 0, reduced_width, reduced_height}, *picture);
  if (report) *report = picture->LastDraw();
  preview.Reduced = std::move(reduced);
  return preview;
}
