#pragma once
// Reading back what was printed to a PDF file, through poppler's pdfinfo, as a viewer
// reads it.
#include <string>

namespace osc::test {

// Whether pdfinfo can be run.
bool PopplerAvailable();

// The value of one line of pdfinfo ("Pages", "Title", ...), empty when it is missing.
std::string PdfInfo(const std::string& pdf, const std::string& key);

}  // namespace osc::test
