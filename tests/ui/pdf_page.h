#pragma once
// Reading back what was printed to a PDF file, through poppler's command-line tools
// (pdfinfo, pdftoppm), so that tests look at the page as a viewer shows it.
#include <QImage>
#include <QRect>
#include <string>

namespace osc::test {

// Whether pdfinfo and pdftoppm can be run.
bool PopplerAvailable();

// The value of one line of pdfinfo ("Pages", "Title", ...), empty when it is missing.
std::string PdfInfo(const std::string& pdf, const std::string& key);

// Page 1 rendered at `dpi` without antialiasing, so every pixel has the exact colour of
// what covers it; `area` (pixels at that resolution) crops the page when not empty.
// A null image when the file cannot be rendered.
QImage RenderPdfPage(const std::string& pdf, int dpi, const QRect& area = QRect());

}  // namespace osc::test
