#include "ui/export_dialog.h"

#include <QApplication>
#include <QCheckBox>
#include <QDialogButtonBox>
#include <QFileDialog>
#include <QFileInfo>
#include <QFormLayout>
#include <QGroupBox>
#include <QHBoxLayout>
#include <QLabel>
#include <QMessageBox>
#include <QPushButton>
#include <QRadioButton>
#include <QSpinBox>
#include <QVBoxLayout>

#include "platform/locale/locale.h"

namespace osc {

QStringList ExportFilters() {
  const bool comma = formatSettings().DecimalSeparator == ',';
  return {QStringLiteral("Data CSV, čárka a desetinná tečka (*.csv)"),
          QString("Data CSV pro tabulkový procesor, středník a desetinná %1 (*.csv)")
              .arg(comma ? QStringLiteral("čárka") : QStringLiteral("tečka")),
          QStringLiteral("Obrázek PNG (*.png)"), QStringLiteral("Obrázek SVG (*.svg)")};
}

TExportDialog::TExportDialog(QWidget* parent, const TExportOffer& offer) : QDialog(parent) {
  setObjectName("FrmExport");
  setWindowTitle("Export záznamu");
  auto* layout = new QVBoxLayout(this);

  auto* what = new QGroupBox("Co exportovat", this);
  auto* whatLayout = new QVBoxLayout(what);
  RbWhole = new QRadioButton("Celý záznam", what);
  RbVisible = new QRadioButton("Viditelný úsek grafu", what);
  RbPoints = new QRadioButton("Úsek mezi oběma body", what);
  RbPoints->setVisible(offer.PointsSet);
  (offer.PointsSet ? RbPoints : RbWhole)->setChecked(true);
  for (QRadioButton* b : {RbWhole, RbVisible, RbPoints})
    whatLayout->addWidget(b);
  layout->addWidget(what);

  auto* channels = new QGroupBox("Kanály", this);
  auto* channelLayout = new QHBoxLayout(channels);
  for (int i = 0; i < 4; ++i) {
    CbChannel[i] = new QCheckBox(QString("CH %1").arg(i + 1), channels);
    CbChannel[i]->setEnabled(offer.Available[i]);
    CbChannel[i]->setChecked(offer.Available[i] && offer.Shown[i]);
    channelLayout->addWidget(CbChannel[i]);
  }
  layout->addWidget(channels);

  auto* picture = new QGroupBox("Obrázek (PNG, SVG): graf, jak je zobrazen", this);
  auto* size = new QHBoxLayout(picture);
  SeWidth = new QSpinBox(picture);
  SeHeight = new QSpinBox(picture);
  for (QSpinBox* s : {SeWidth, SeHeight})
    s->setRange(100, 10000);
  SeWidth->setValue(offer.ImageSize.width());
  SeHeight->setValue(offer.ImageSize.height());
  size->addWidget(new QLabel("Velikost:", picture));
  size->addWidget(SeWidth);
  size->addWidget(new QLabel("×", picture));
  size->addWidget(SeHeight);
  size->addWidget(new QLabel("bodů", picture));
  size->addStretch();
  layout->addWidget(picture);

  auto* buttons = new QDialogButtonBox(QDialogButtonBox::Ok | QDialogButtonBox::Cancel, this);
  buttons->button(QDialogButtonBox::Ok)->setText("Exportovat…");
  buttons->button(QDialogButtonBox::Cancel)->setText("Storno");
  connect(buttons, &QDialogButtonBox::accepted, this, &QDialog::accept);
  connect(buttons, &QDialogButtonBox::rejected, this, &QDialog::reject);
  layout->addWidget(buttons);
}

TExportChoice TExportDialog::Choice() const {
  TExportChoice c;
  c.What = RbPoints->isChecked()    ? TExportWhat::BetweenPoints
           : RbVisible->isChecked() ? TExportWhat::Visible
                                    : TExportWhat::Whole;
  for (int i = 0; i < 4; ++i)
    c.Channels[i] = CbChannel[i]->isEnabled() && CbChannel[i]->isChecked();
  c.ImageSize = QSize(SeWidth->value(), SeHeight->value());
  return c;
}

TExportUi DefaultExportUi() {
  TExportUi ui;
  ui.Ask = [](QWidget* parent, const TExportOffer& offer) -> std::optional<TExportChoice> {
    TExportDialog dialog(parent, offer);
    if (dialog.exec() != QDialog::Accepted) return std::nullopt;
    return dialog.Choice();
  };
  ui.SaveFile = [](QWidget* parent) -> std::optional<TExportTarget> {
    const QStringList filters = ExportFilters();
    QFileDialog dialog(parent, "Export záznamu");
    dialog.setAcceptMode(QFileDialog::AcceptSave);
    dialog.setNameFilters(filters);
    dialog.setDefaultSuffix("csv");
    QObject::connect(&dialog, &QFileDialog::filterSelected, &dialog, [&](const QString& filter) {
      const int i = static_cast<int>(filters.indexOf(filter));
      dialog.setDefaultSuffix(i == 2 ? "png" : i == 3 ? "svg" : "csv");
    });
    if (dialog.exec() != QDialog::Accepted || dialog.selectedFiles().isEmpty()) return std::nullopt;
    const int i = static_cast<int>(filters.indexOf(dialog.selectedNameFilter()));
    return TExportTarget{dialog.selectedFiles().front(), static_cast<TExportFormat>(i < 0 ? 0 : i)};
  };
  ui.ConfirmLong = [](QWidget* parent, std::uint64_t rows) {
    const QString text = QString(
                             "Soubor bude mít %1 řádků, tabulkový procesor jich načte nejvýš 1 048 576.\n"
                             "Exportovat přesto? (Kratší úsek vyberte body nebo zobrazeným úsekem grafu.)")
                             .arg(rows);
    return QMessageBox::question(parent, QApplication::applicationName(), text) == QMessageBox::Yes;
  };
  return ui;
}

}  // namespace osc
