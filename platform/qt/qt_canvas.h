#pragma once
// The canvas over QPainter: on screen through an off-screen QImage (TQtImage), on a
// printer through the printer's painter. Antialiasing is off except for text; pmNotXor
// and InvertRect use Qt's raster operations where the paint engine has them (not on
// printers).
//
// Lines: Qt's cosmetic flat-cap lines leave out the pixel with the larger coordinate,
// whichever end that is, while the canvas leaves out the end point. So on raster
// devices thin solid lines are stepped here (Bresenham from the start point, the end
// point left out) and filled as runs of pixels, which also keeps inverted lines exact
// (on an RGB32 QImage the runs are written straight into its pixels, the fastest way);
// wide or styled lines, and lines on printers, go to Qt's line drawing with their ends
// moved by half a pixel so that they come out as close as Qt can draw them.
#include <QImage>
#include <QPainter>

#include "platform/canvas.h"

namespace osc {

// The pen style as Qt draws it (psInsideFrame draws solid).
Qt::PenStyle QtPenStyle(TPenStyle style);

class TQtCanvas : public TCanvas {
 public:
  // `painter` is active (or becomes so through Restart) and outlives the canvas.
  explicit TQtCanvas(QPainter& painter, int fallbackResolution = 96);

  // The painter was (re)started on a new device: apply the whole state again.
  void Restart();

  void SetPenColor(TColor c) override;
  void SetPenWidth(int w) override;
  void SetPenStyle(TPenStyle s) override;
  void SetPenMode(TPenMode m) override;
  void SetFont(const TFont& f) override;

  void LineTo(int x, int y) override;
  void FillRect(const TRect& r) override;
  void Ellipse(const TRect& r) override;
  void InvertRect(const TRect& r) override;
  TSize TextExtent(const std::string& text) override;
  void TextOut(int x, int y, const std::string& text) override;
  void TextRect(const TRect& clip, int x, int y, const std::string& text) override;
  int FontResolution() const override;
  bool CanInvert() const override;
  void SetClipRect(const TRect& r) override;
  void ResetClip() override;
  void Draw(int x, int y, TCanvasImage& image) override;

  QPainter& Painter() { return painter_; }

 private:
  bool Ready() const { return painter_.isActive(); }
  void UsePen();
  void UseFont();
  void UseMode(QPainter::CompositionMode mode);
  void SteppedLine(TPoint from, TPoint to);
  void FillRun(int left, int top, int width, int height);
  void UpdateBounds();
  void WriteText(int x, int y, const std::string& text);

  QPainter& painter_;
  int fallbackResolution_;
  bool penDirty_ = true;
  bool fontDirty_ = true;
  QPainter::CompositionMode mode_ = QPainter::CompositionMode_SourceOver;
  bool clipped_ = false;
  TRect clip_;
  bool raster_ = false;
  QImage* pixels_ = nullptr;  // the RGB32 image painted on, written directly by FillRun
  TRect bounds_;              // the device, or the clip rectangle within it
  QColor penColor_;
  QRgb penRgb_ = 0;
};

// An off-screen RGB32 image with its canvas; `resolution` is the pixels per inch that
// fonts are scaled with (the screen's logical resolution).
class TQtImage : public TCanvasImage {
 public:
  explicit TQtImage(int resolution = 96);
  ~TQtImage() override;

  void SetSize(int width, int height) override;
  int Width() const override { return image_.width(); }
  int Height() const override { return image_.height(); }
  TCanvas& Canvas() override { return canvas_; }
  // The pixels. Copy them with QImage::copy(): thin lines are written into this
  // image's memory directly, so a shallow copy taken now would change with it.
  const QImage& Image() const { return image_; }

 private:
  int resolution_;
  QImage image_;
  QPainter painter_;
  TQtCanvas canvas_;
};

// Qt colour of a canvas colour (0x00BBGGRR).
inline QColor ToQColor(TColor c) {
  return QColor(GetRValue(c), GetGValue(c), GetBValue(c));
}
// Canvas colour of a pixel of an RGB32 image.
inline TColor FromQRgb(QRgb c) {
  return RGB(qRed(c), qGreen(c), qBlue(c));
}

}  // namespace osc
