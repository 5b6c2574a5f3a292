#pragma once
// The preview picture `Image1` and the selection-change work that fills it.
//
// The control keeps its layout size whatever it shows, and paints its picture one to one at
// the picture's own size in device pixels (one picture pixel on one screen pixel, also at
// 200 %), centred with truncating offsets and cut off at its edges. A JPEG
// picture shown unscaled is decoded at its first paint; a reduced picture arrives as a raster.
#include <QImage>
#include <QString>
#include <QWidget>
#include <memory>

#include "engine/jpeg_image.h"
#include "engine/raster.h"

class QLabel;

class PreviewImage : public QWidget {
  Q_OBJECT
 public:
  explicit PreviewImage(QWidget* parent = nullptr);
  ~PreviewImage() override;

  // Takes the JPEG picture itself; it is decoded when it is first painted. A decoding error
  // then reaches the error box once, after that paint; later paints draw nothing for it.
  void ShowJpeg(std::unique_ptr<JpegImage> picture);
  // Shows a share of the raster's picture (no pixels are copied); the caller may release it.
  void ShowRaster(const Raster& picture);

  // The shown picture's size (0 x 0 when none), and whether it is the unscaled JPEG picture.
  int PictureWidth() const;
  int PictureHeight() const;
  bool ShowsJpeg() const { return jpeg_ != nullptr; }

  // Where the picture's top-left corner lands in a view, both in device pixels:
  // (view - picture) / 2, truncating toward zero, so a 200-pixel picture in a 179-pixel view
  // starts at -10.
  static int CentredOffset(int view, int picture) { return (view - picture) / 2; }

 protected:
  void paintEvent(QPaintEvent* event) override;

 private:
  void Clear();
  const Raster* PaintableRaster();  // decodes the JPEG picture on first need
  void Invalidate();

  std::unique_ptr<JpegImage> jpeg_;
  std::unique_ptr<Raster> raster_;
  bool decode_failed_ = false;
  QImage cached_;  // the picture as the painter draws it; rebuilt after a changed notice
};

// The work of the file list's change handler. box_width and box_height are the preview area's
// size in device pixels (its size times the device pixel ratio), read by the caller before
// anything else. An empty file shows nothing new. Otherwise
// the file is loaded (its errors leave label and picture unchanged), the label reads
// "尺寸:" W "x" H, and the picture is shown unscaled when it fits the box, else reduced by the
// whole-number factor of its longer side (MakePreview, on the engine's default road; a
// decoding error of the reduced picture leaves with the label already set).
void PreviewFile(PreviewImage& image, QLabel& label, int box_width, int box_height,
                 const QString& file);

