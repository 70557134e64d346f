#pragma once
// Printing the graph view on one page: the main window's TBPrint ("Tisk grafu").
//
// The page is the view's own drawing (TVelaGraph::DrawTo) on the printer's canvas over
// the whole printable area, with FillBackgrounds off so that the paper stays white. The
// layout stretches to the page in each direction on its own (page width over control
// width, page height over control height, in whole pixels), text keeps the control's
// point size and so its physical size, and the minimum tick distance grows with the
// printer's resolution, so more ticks fit on a larger page. The cross and the zoom
// rectangle belong to the screen only and never reach the paper.
//
// Whatever happens, FillBackgrounds is on again afterwards and the job has ended; the
// view's cached screen image is not touched. A failure of the printing service (the job
// cannot start, the system refuses it, a PDF file cannot be written completely) is an
// osc::Exception with a message for the operator. A control squeezed to no width or
// height has no layout to scale: it prints a blank page.
//
// Qt's Linux print engines (CUPS and PDF) cannot withdraw a started job: when drawing
// fails half-way, the job ends with what was drawn, and a PDF file is deleted.
#include <QString>
#include <functional>
#include <optional>
#include <string>

#include "platform/locale/locale.h"

class QPrinter;
class QWidget;

namespace osc {

class TVelaGraph;

// "Osciloskop", followed by the recording's start time when there is a recording. The
// time is written as 2024-03-12 14:05:33 whatever the locale, so the title is also a
// usable file name stem (no '/').
std::string PrintJobTitle(std::optional<TDateTime> recordingStart);

// Prints `view` as one page on `printer`, which is already set up (printer, paper and
// orientation, or a PDF file), as a job named `title`.
void PrintGraph(TVelaGraph& view, QPrinter& printer, const std::string& title);

// What the print command needs from the desktop; tests replace both.
struct TPrintUi {
  // Lets the operator choose printer, paper and orientation (or a PDF file) for
  // `printer`; true when the choice was confirmed.
  std::function<bool(QPrinter& printer, QWidget* parent)> SetupPrinter;
  // Shows a failure in the program's error message box.
  std::function<void(QWidget* parent, const QString& message)> ShowError;
};
// The platform's print dialog and a critical message box titled with the program's name.
TPrintUi DefaultPrintUi();

// The TBPrint command. `printer` lives as long as the window, so the operator's choices
// stay for the next print. Without an installed printer the dialog offers only printing
// to a PDF file, named after the job in the last folder used (the home folder at first).
// Returns true when a page was printed. A cancelled dialog prints nothing and changes
// nothing; a failure reaches the operator through ui.ShowError and false is returned.
bool PrintWithDialog(TVelaGraph& view, QPrinter& printer, QWidget* parent,
                     std::optional<TDateTime> recordingStart, const TPrintUi& ui = DefaultPrintUi());

}  // namespace osc
