#include "support/recording_canvas.h"

namespace osc::test {

void RecordingCanvas::SetPenColor(TColor c) {
  TCanvas::SetPenColor(c);
  ops.push_back(Op(Op::PenColor, {}, c));
}

void RecordingCanvas::SetBrushColor(TColor c) {
  TCanvas::SetBrushColor(c);
  ops.push_back(Op(Op::BrushColor, {}, c));
}

void RecordingCanvas::LineTo(int x, int y) {
  Op op(Op::Line, TRect{penPos_.X, penPos_.Y, x, y}, pen_.Color);
  op.width = pen_.Width;
  op.mode = pen_.Mode;
  op.style = pen_.Style;
  ops.push_back(op);
  TCanvas::MoveTo(x, y);
}

void RecordingCanvas::FillRect(const TRect& r) {
  Op op(Op::Fill, r, brush_.Color);
  op.brush = brush_.Style;
  ops.push_back(op);
}

void RecordingCanvas::Ellipse(const TRect& r) {
  Op op(Op::Ellipse, r, pen_.Color);
  op.width = pen_.Width;
  op.mode = pen_.Mode;
  op.style = pen_.Style;
  op.brush = brush_.Style;
  op.brushColor = brush_.Color;
  ops.push_back(op);
}

void RecordingCanvas::InvertRect(const TRect& r) {
  ops.push_back(Op(Op::Invert, r));
}

TSize RecordingCanvas::TextExtent(const std::string& text) {
  return TSize{6 * static_cast<int>(text.size()), 13};
}

void RecordingCanvas::TextOut(int x, int y, const std::string& text) {
  const TSize size = TextExtent(text);
  Op op(Op::Text, TRect{x, y, x + size.cx, y + size.cy}, font_.Color);
  op.brush = brush_.Style;
  op.brushColor = brush_.Color;
  op.text = text;
  ops.push_back(op);
}

void RecordingCanvas::TextRect(const TRect& clip, int x, int y, const std::string& text) {
  SetClipRect(clip);
  TextOut(x, y, text);
  ResetClip();
}

void RecordingCanvas::SetClipRect(const TRect& r) {
  ops.push_back(Op(Op::Clip, r));
}

void RecordingCanvas::ResetClip() {
  ops.push_back(Op(Op::NoClip));
}

void RecordingCanvas::Draw(int x, int y, TCanvasImage& image) {
  ops.push_back(Op(Op::Image, TRect{x, y, x + image.Width(), y + image.Height()}));
}

std::vector<Op> RecordingCanvas::Of(Op::Kind kind) const {
  std::vector<Op> result;
  for (const Op& op : ops) {
    if (op.kind == kind) result.push_back(op);
  }
  return result;
}

std::vector<Op> RecordingCanvas::Take() {
  std::vector<Op> result;
  result.swap(ops);
  return result;
}

}  // namespace osc::test
