#pragma once
// The graph as a picture for reports: the view's own drawing (TVelaGraph::DrawTo, as
// printing does) on white paper, so everything but the filled backgrounds is the
// screen's pixels, with a caption under the graphs (start time, channels with units
// and ranges, the measuring points' readings). The cross and the zoom rectangle are
// never part of it.
//
// PNG: a raster image of the given size. SVG: the same drawing as vectors; consecutive
// line segments of one pen become one path, clipped here (Qt's SVG Tiny output drops
// clip rectangles), and text is sized in pixels, so the file grows with the pixels
// drawn (the decimated curves), not with the samples. Files are written atomically.
#include <QImage>
#include <QSize>
#include <string>
#include <vector>

namespace osc {

class TVelaGraph;

struct TGraphPicture {
  QSize Size;                        // of the graphs, in pixels
  int Resolution = 96;               // pixels per inch that text sizes scale with
  std::vector<std::string> Caption;  // lines under the graphs
};

QImage GraphImage(TVelaGraph& view, const TGraphPicture& picture);
// The SVG document's bytes.
QByteArray GraphSvg(TVelaGraph& view, const TGraphPicture& picture);

// Raise "Soubor "<path>" nelze uložit: <reason>" and leave any old file as it was.
void SaveGraphPng(TVelaGraph& view, const TGraphPicture& picture, const std::string& path);
void SaveGraphSvg(TVelaGraph& view, const TGraphPicture& picture, const std::string& path);

}  // namespace osc
