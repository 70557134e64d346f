#include "ui/span_stats_table.h"

#include <QAction>
#include <QApplication>
#include <QClipboard>
#include <QHeaderView>
#include <QKeyEvent>
#include <algorithm>

#include "acquisition/measurement_text.h"

namespace osc {

TSpanStatsTable::TSpanStatsTable(QWidget* parent) : QTableWidget(parent) {
  const auto& columns = SpanStatsColumns();
  setColumnCount(static_cast<int>(columns.size()));
  for (int c = 0; c < columnCount(); ++c) {
    auto* item = new QTableWidgetItem(QString::fromUtf8(columns[static_cast<std::size_t>(c)].Heading));
    item->setToolTip(QString::fromUtf8(columns[static_cast<std::size_t>(c)].Hint));
    setHorizontalHeaderItem(c, item);
  }
  verticalHeader()->hide();
  verticalHeader()->setDefaultSectionSize(fontMetrics().height() + 4);
  horizontalHeader()->setSectionResizeMode(QHeaderView::Interactive);
  setEditTriggers(QAbstractItemView::NoEditTriggers);
  setVerticalScrollBarPolicy(Qt::ScrollBarAlwaysOff);
  setHorizontalScrollBarPolicy(Qt::ScrollBarAsNeeded);
  setSizePolicy(QSizePolicy::Expanding, QSizePolicy::Fixed);
  for (int c = 0; c < columnCount(); ++c)
    setColumnWidth(c, horizontalHeader()->sectionSizeHint(c));
  setContextMenuPolicy(Qt::ActionsContextMenu);
  auto* copy = new QAction("Kopírovat (tabulátory mezi sloupci)", this);
  connect(copy, &QAction::triggered, this, &TSpanStatsTable::CopyToClipboard);
  addAction(copy);
}

void TSpanStatsTable::SetRows(const std::vector<Row>& rows) {
  const bool resized = rowCount() != static_cast<int>(rows.size());
  setRowCount(static_cast<int>(rows.size()));
  for (int r = 0; r < rowCount(); ++r) {
    const Row& row = rows[static_cast<std::size_t>(r)];
    for (int c = 0; c < columnCount(); ++c) {
      const auto cell = static_cast<std::size_t>(c);
      const QString text = cell < row.Cells.size() ? QString::fromStdString(row.Cells[cell]) : QString();
      QTableWidgetItem* it = item(r, c);
      if (it == nullptr) {
        it = new QTableWidgetItem;
        it->setTextAlignment(c == 0 ? Qt::AlignLeft | Qt::AlignVCenter : Qt::AlignRight | Qt::AlignVCenter);
        setItem(r, c, it);
      }
      if (it->text() != text) it->setText(text);
      it->setToolTip(QString::fromStdString(row.Hint));
    }
  }
  // Columns only widen, so figures changing at every tick do not make the table jump.
  bool widened = false;
  for (int c = 0; c < columnCount(); ++c) {
    const int want = std::max(sizeHintForColumn(c), horizontalHeader()->sectionSizeHint(c));
    if (want > columnWidth(c)) {
      setColumnWidth(c, want);
      widened = true;
    }
  }
  if (resized || widened) updateGeometry();
}

QString TSpanStatsTable::CopyText() const {
  int top = 0, bottom = rowCount() - 1, left = 0, right = columnCount() - 1;
  const auto ranges = selectedRanges();
  const bool whole = ranges.isEmpty();
  if (!whole) {
    top = rowCount(), bottom = -1, left = columnCount(), right = -1;
    for (const auto& r : ranges) {
      top = std::min(top, r.topRow());
      bottom = std::max(bottom, r.bottomRow());
      left = std::min(left, r.leftColumn());
      right = std::max(right, r.rightColumn());
    }
  }
  QStringList lines;
  const auto line = [&](auto cellText) {
    QStringList cells;
    for (int c = left; c <= right; ++c)
      cells << cellText(c);
    lines << cells.join('\t');
  };
  if (whole) line([&](int c) { return horizontalHeaderItem(c)->text(); });
  for (int r = top; r <= bottom; ++r) {
    line([&](int c) {
      const QTableWidgetItem* it = item(r, c);
      return it != nullptr && (whole || it->isSelected()) ? it->text() : QString();
    });
  }
  return lines.join('\n') + '\n';
}

void TSpanStatsTable::CopyToClipboard() const {
  QApplication::clipboard()->setText(CopyText());
}

QSize TSpanStatsTable::sizeHint() const {
  int width = 2 * frameWidth();
  for (int c = 0; c < columnCount(); ++c)
    width += horizontalHeader()->sectionSize(c);
  const int rows = std::max(rowCount(), 1);
  const int height = 2 * frameWidth() + horizontalHeader()->sizeHint().height() +
                     rows * verticalHeader()->defaultSectionSize();
  return {width, height};
}

void TSpanStatsTable::keyPressEvent(QKeyEvent* event) {
  if (event->matches(QKeySequence::Copy)) {
    CopyToClipboard();
    return;
  }
  QTableWidget::keyPressEvent(event);
}

}  // namespace osc
