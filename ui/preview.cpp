#include "ui/preview.h"

#include <QFile>
#include <QLabel>
#include <QPainter>
#include <QTimer>
#include <cstring>
#include <exception>

#include "engine/preview_picture.h"
#include "ui/guarded.h"

namespace {

// The raster's pixels top-down as a QImage (a copy: the raster's rows lie bottom-up).
QImage ToImage(const Raster& raster) {
  const int width = raster.Width(), height = raster.Height();
  if (width <= 0 || height <= 0 || !raster.HasStore()) return {};
  const bool indexed = raster.BitsPerPixel() == 8;
  QImage image(width, height, indexed ? QImage::Format_Indexed8 : QImage::Format_BGR888);
  if (image.isNull()) return {};
  if (indexed) {
    QList<QRgb> table;
    for (const RgbColour& colour : raster.ColorTable())
      table.push_back(qRgb(colour.Red, colour.Green, colour.Blue));
    table.resize(256, qRgb(0, 0, 0));
    image.setColorTable(table);
  }
  const std::size_t row_bytes = static_cast<std::size_t>(width) * (indexed ? 1 : 3);
  for (int r = 0; r < height; ++r) std::memcpy(image.scanLine(r), raster.RowAddress(r), row_bytes);
  return image;
}

}  // namespace

PreviewImage::PreviewImage(QWidget* parent) : QWidget(parent) {
  // The control takes the size of its area, never that of its picture.
  setSizePolicy(QSizePolicy::Ignored, QSizePolicy::Ignored);
}

PreviewImage::~PreviewImage() = default;

void PreviewImage::Clear() {
  jpeg_.reset();
  raster_.reset();
  decode_failed_ = false;
  cached_ = QImage();
}

void PreviewImage::Invalidate() {
  cached_ = QImage();
  update();
}

void PreviewImage::ShowJpeg(std::unique_ptr<JpegImage> picture) {
  Clear();
  jpeg_ = std::move(picture);
  // Its one change is the decode at the first paint, which rebuilds the cache anyway.
  if (jpeg_) jpeg_->SetOnChange([this] { cached_ = QImage(); });
  update();
}

void PreviewImage::ShowRaster(const Raster& picture) {
  Clear();
  raster_ = std::make_unique<Raster>();
  raster_->Share(picture);
  raster_->SetOnChange([this] { Invalidate(); });
  update();
}

int PreviewImage::PictureWidth() const {
  if (jpeg_) return jpeg_->Width();
  return raster_ ? raster_->Width() : 0;
}

int PreviewImage::PictureHeight() const {
  if (jpeg_) return jpeg_->Height();
  return raster_ ? raster_->Height() : 0;
}

const Raster* PreviewImage::PaintableRaster() {
  if (raster_) return raster_.get();
  if (!jpeg_ || decode_failed_) return nullptr;
  try {
    return &jpeg_->DecodedRaster();
  } catch (...) {
    // The failed decode stays with this picture: no second attempt, no second box. The box
    // comes after the paint, never from inside it.
    decode_failed_ = true;
    std::exception_ptr error = std::current_exception();
    QTimer::singleShot(0, this, [error] { RunGuarded([&] { std::rethrow_exception(error); }); });
    return nullptr;
  }
}

void PreviewImage::paintEvent(QPaintEvent*) {
  const Raster* raster = PaintableRaster();
  if (raster == nullptr) return;
  if (cached_.isNull()) cached_ = ToImage(*raster);
  if (cached_.isNull()) return;
  // One picture pixel on one screen pixel: placed and drawn in device pixels.
  const qreal ratio = devicePixelRatioF();
  cached_.setDevicePixelRatio(ratio);
  const int view_width = static_cast<int>(width() * ratio);
  const int view_height = static_cast<int>(height() * ratio);
  QPainter painter(this);
  painter.drawImage(QPointF(CentredOffset(view_width, cached_.width()) / ratio,
                            CentredOffset(view_height, cached_.height()) / ratio),
                    cached_);
}

void PreviewFile(PreviewImage& image, QLabel& label, int box_width, int box_height,
                 const QString& file) {
  if (file.isEmpty()) return;
  PreviewPicture preview = MakePreview(
      QFile::encodeName(file).toStdString(), box_width, box_height, EngineOptions{},
      [&label](int width, int height) {
        label.setText(QStringLiteral("尺寸:") + QString::number(width) + 'x' +
                      QString::number(height));
      });
  if (preview.Unscaled)
    image.ShowJpeg(std::move(preview.Unscaled));
  else
    image.ShowRaster(*preview.Reduced);
}
