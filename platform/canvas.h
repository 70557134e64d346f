#pragma once
// The 2-D drawing surface the graph component and the printout draw on, with the
// conventions of the Windows canvas the drawing code was written for:
//  - pixel coordinates, Y growing downwards, (0, 0) the top-left pixel;
//  - LineTo draws from the pen position to (x, y) and leaves out the pixel at (x, y),
//    so polylines paint every joint once; a line of zero length draws nothing;
//  - FillRect fills Left..Right-1 x Top..Bottom-1 with the brush; an empty or
//    inverted rectangle fills nothing;
//  - Ellipse outlines the ellipse inside Left..Right-1 x Top..Bottom-1 with the pen and
//    fills its interior with the brush unless the brush style is bsClear;
//  - text is placed by the top-left corner of its cell; with a solid brush the cell is
//    filled with the brush colour first, with bsClear the text is drawn transparently;
//  - pmNotXor draws each pixel as NOT(pen XOR destination): drawing the same thing
//    twice restores the pixels bit for bit;
//  - InvertRect inverts the colour of every pixel of the rectangle (twice restores);
//  - clNone as the pen, brush or font colour draws nothing with that pen, brush or font.
// Pen, brush and font are state of the canvas, read back through Pen(), Brush(), Font().
// A canvas is used on one thread.
#include <cstdint>
#include <memory>
#include <string>

#include "platform/geometry.h"

namespace osc {

enum TPenStyle : std::uint8_t { psSolid, psDash, psDot, psDashDot, psDashDotDot, psClear, psInsideFrame };
enum TPenMode : std::uint8_t { pmCopy, pmNotXor };
enum TBrushStyle : std::uint8_t { bsSolid, bsClear };

struct TPen {
  TColor Color = clBlack;
  int Width = 1;  // pixels; 0 draws as 1
  TPenStyle Style = psSolid;
  TPenMode Mode = pmCopy;
};

struct TBrush {
  TColor Color = clWhite;
  TBrushStyle Style = bsSolid;
};

struct TFont {
  std::string Name = "DejaVu Sans";
  int Size = 8;  // points; the pixel size follows FontResolution()
  TColor Color = clBlack;
  bool Bold = false;
  friend bool operator==(const TFont&, const TFont&) = default;
};

class TCanvasImage;

class TCanvas {
 public:
  virtual ~TCanvas() = default;

  const TPen& Pen() const { return pen_; }
  virtual void SetPenColor(TColor c) { pen_.Color = c; }
  virtual void SetPenWidth(int w) { pen_.Width = w; }
  virtual void SetPenStyle(TPenStyle s) { pen_.Style = s; }
  virtual void SetPenMode(TPenMode m) { pen_.Mode = m; }

  const TBrush& Brush() const { return brush_; }
  virtual void SetBrushColor(TColor c) { brush_.Color = c; }
  virtual void SetBrushStyle(TBrushStyle s) { brush_.Style = s; }

  const TFont& Font() const { return font_; }
  virtual void SetFont(const TFont& f) { font_ = f; }
  virtual void SetFontColor(TColor c) { font_.Color = c; }

  TPoint PenPos() const { return penPos_; }
  virtual void MoveTo(int x, int y) { penPos_ = TPoint{x, y}; }
  // Draws to (x, y) without its last pixel and moves the pen there.
  virtual void LineTo(int x, int y) = 0;
  virtual void FillRect(const TRect& r) = 0;
  virtual void Ellipse(const TRect& r) = 0;
  virtual void InvertRect(const TRect& r) = 0;

  virtual TSize TextExtent(const std::string& text) = 0;
  int TextWidth(const std::string& text) { return TextExtent(text).cx; }
  int TextHeight(const std::string& text) { return TextExtent(text).cy; }
  virtual void TextOut(int x, int y, const std::string& text) = 0;
  // As TextOut, with everything outside `clip` left untouched (a solid brush fills `clip`).
  virtual void TextRect(const TRect& clip, int x, int y, const std::string& text) = 0;

  // Pixels per inch that font sizes are scaled with (96 on screen, the printer's
  // resolution on a printer).
  virtual int FontResolution() const = 0;
  // Whether pmNotXor and InvertRect work here (they do not on a printer).
  virtual bool CanInvert() const = 0;

  // Restricts all drawing to `r` until ResetClip; lines stay on their fast path.
  virtual void SetClipRect(const TRect& r) = 0;
  virtual void ResetClip() = 0;

  // Copies an off-screen image of the same implementation with its top-left corner at (x, y).
  virtual void Draw(int x, int y, TCanvasImage& image) = 0;

 protected:
  TPen pen_;
  TBrush brush_;
  TFont font_;
  TPoint penPos_;
};

// An off-screen bitmap with its own canvas. Its pixels are opaque; a new or resized
// image is white.
class TCanvasImage {
 public:
  virtual ~TCanvasImage() = default;
  virtual void SetSize(int width, int height) = 0;
  virtual int Width() const = 0;
  virtual int Height() const = 0;
  virtual TCanvas& Canvas() = 0;
};

}  // namespace osc
