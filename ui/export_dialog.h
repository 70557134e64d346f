#pragma once
// The export command's questions: what to export (the whole record, the visible time
// window, the span between the two measuring points when both are set), which channels
// (the shown ones preselected) and, for pictures, the size; then the save dialog, whose
// filter chooses the format.
#include <QDialog>
#include <QSize>
#include <QString>
#include <array>
#include <cstdint>
#include <functional>
#include <optional>

class QCheckBox;
class QRadioButton;
class QSpinBox;

namespace osc {

enum class TExportWhat { Whole, Visible, BetweenPoints };
enum class TExportFormat { CsvComma, CsvLocal, Png, Svg };

struct TExportOffer {
  std::array<bool, 4> Available{};  // slots 1..4 with a record
  std::array<bool, 4> Shown{};      // slots with a graph
  bool PointsSet = false;
  QSize ImageSize;  // the window's graph times the screen's pixel ratio
};

struct TExportChoice {
  TExportWhat What = TExportWhat::Whole;
  std::array<bool, 4> Channels{};
  QSize ImageSize;
};

struct TExportTarget {
  QString Path;
  TExportFormat Format = TExportFormat::CsvComma;
};

// What the command asks of the desktop; tests replace both.
struct TExportUi {
  std::function<std::optional<TExportChoice>(QWidget* parent, const TExportOffer& offer)> Ask;
  // The save dialog (it asks before replacing a file); the path gets the format's
  // extension when it has none.
  std::function<std::optional<TExportTarget>(QWidget* parent)> SaveFile;
  // A spreadsheet file of more rows than spreadsheets load: true goes on.
  std::function<bool(QWidget* parent, std::uint64_t rows)> ConfirmLong;
};
// Rows LibreOffice Calc and Excel load at most.
inline constexpr std::uint64_t kSpreadsheetRows = 1048576;
TExportUi DefaultExportUi();

class TExportDialog : public QDialog {
 public:
  TExportDialog(QWidget* parent, const TExportOffer& offer);
  TExportChoice Choice() const;

  QRadioButton* RbWhole = nullptr;
  QRadioButton* RbVisible = nullptr;
  QRadioButton* RbPoints = nullptr;
  std::array<QCheckBox*, 4> CbChannel{};
  QSpinBox* SeWidth = nullptr;
  QSpinBox* SeHeight = nullptr;
};

// The save dialog's filters, in the order of TExportFormat.
QStringList ExportFilters();

}  // namespace osc
