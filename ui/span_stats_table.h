#pragma once
// The span statistics of the shown channels as a small read-only table: one row per
// channel, headings with hints, copied as tab-separated text (Ctrl+C or the context
// menu: the selected cells, or the whole table with its headings when none are).
#include <QTableWidget>
#include <string>
#include <vector>

namespace osc {

class TSpanStatsTable : public QTableWidget {
  Q_OBJECT

 public:
  struct Row {
    std::vector<std::string> Cells;
    std::string Hint;  // over the whole row (clipped samples), may be empty
  };

  explicit TSpanStatsTable(QWidget* parent = nullptr);
  void SetRows(const std::vector<Row>& rows);
  // Tab-separated lines, as the copy commands put them on the clipboard.
  QString CopyText() const;
  void CopyToClipboard() const;

  QSize sizeHint() const override;
  QSize minimumSizeHint() const override { return sizeHint(); }

 protected:
  void keyPressEvent(QKeyEvent* event) override;
};

}  // namespace osc
