#pragma once
// A canvas that writes down what is drawn on it, for tests that check drawing calls
// rather than pixels. Text is measured as 6 pixels per byte and 13 pixels high.
#include <string>
#include <vector>

#include "platform/canvas.h"

namespace osc::test {

struct Op {
  enum Kind { Line, Fill, Ellipse, Invert, Text, Clip, NoClip, Image, PenColor, BrushColor } kind;
  TRect r;           // line: Left,Top = from, Right,Bottom = to; others: the rectangle
  TColor color = 0;  // pen colour (lines, ellipses), brush colour (fills), font colour (text)
  int width = 0;     // pen width
  TPenMode mode = pmCopy;
  TPenStyle style = psSolid;
  TBrushStyle brush = bsSolid;
  TColor brushColor = 0;  // text: the brush behind it
  std::string text;

  Op(Kind k, TRect rect = {}, TColor c = 0) : kind(k), r(rect), color(c) {}
};

class RecordingCanvas : public TCanvas {
 public:
  void SetPenColor(TColor c) override;
  void SetBrushColor(TColor c) override;
  void LineTo(int x, int y) override;
  void FillRect(const TRect& r) override;
  void Ellipse(const TRect& r) override;
  void InvertRect(const TRect& r) override;
  TSize TextExtent(const std::string& text) override;
  void TextOut(int x, int y, const std::string& text) override;
  void TextRect(const TRect& clip, int x, int y, const std::string& text) override;
  int FontResolution() const override { return resolution; }
  bool CanInvert() const override { return true; }
  void SetClipRect(const TRect& r) override;
  void ResetClip() override;
  void Draw(int x, int y, TCanvasImage& image) override;

  std::vector<Op> ops;
  int resolution = 96;

  std::vector<Op> Of(Op::Kind kind) const;
  std::vector<Op> Take();
};

class RecordingImage : public TCanvasImage {
 public:
  explicit RecordingImage(int resolution = 96) { canvas.resolution = resolution; }
  void SetSize(int width, int height) override {
    width_ = width;
    height_ = height;
  }
  int Width() const override { return width_; }
  int Height() const override { return height_; }
  TCanvas& Canvas() override { return canvas; }

  RecordingCanvas canvas;

 private:
  int width_ = 0;
  int height_ = 0;
};

}  // namespace osc::test
