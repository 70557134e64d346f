// ui-sheet OUT-DIR SETTINGS-DIR: saves pictures of the options dialog's pages for both
// models and of the calibration dialogs with live readings, in the user's formats, and
// prints a 4-channel recording of the simulated module to print-4ch.pdf. The settings
// live in SETTINGS-DIR, so the user's own are never touched.
#include "controls/qt/spin_box.h"
#include "controls/timer_source.h"
#include "platform/locale/locale.h"
#include "simulator/simulated_module.h"
#include "ui/calib_dialog.h"
#include "ui/main_window.h"
#include "ui/print.h"
#include "ui/settings_dialog.h"

#include <QApplication>
#include <QCheckBox>
#include <QPrinter>
#include <QTabWidget>
#include <QToolButton>
#include <chrono>
#include <cstdio>
#include <thread>

using namespace osc;

namespace {

QString out_dir;

bool Save(QWidget& w, const QString& name) {
  QApplication::processEvents();
  return w.grab().save(out_dir + "/" + name + ".png");
}

bool SettingsPages(int model) {
  SettingsHolder seed;
  seed.Port = "/dev/ttyUSB0";
  seed.ModelIndex = model;
  for (double r : {5.0, 16.0, 60.0}) {
    auto e = std::make_shared<TOscRozsah>(r);
    e->CH[1].Gain = -1.25;
    e->CH[1].OffsetAC = -19.99;
    e->RangeCh5 = 10000;
    e->CH[5].Unit = "kPa";
    seed.Ranges.push_back(MakeRangeItem(e));
  }
  seed.SaveSettings();
  TFrmSetMdl4 d;
  d.SetSelectedRange(1);
  d.show();
  bool ok = true;
  const char* names[] = {"nastaveni", "rozsahy", "kanaly56"};
  for (int i = 0; i < d.Pages->count(); ++i) {
    if (!d.Pages->isTabVisible(i)) continue;
    d.Pages->setCurrentIndex(i);
    ok = Save(d, QString("settings_%1ch_%2").arg(model == 1 ? 4 : 2).arg(names[i])) && ok;
  }
  return ok;
}

bool Calibration(bool gain, std::uint8_t mode, std::int32_t raw, double typed, const QString& name) {
  TSteppedTimers timers;
  TOscRozsah entry(16);
  TRawReader reader([raw](int, bool) { return raw; });
  std::unique_ptr<TFrmMdl4CHCalib> dialog;
  if (gain) {
    auto g = std::make_unique<TFrmMdl4CHCalibGain>(reader, nullptr, &timers);
    g->SbSkut->SetValue(typed);
    dialog = std::move(g);
  } else {
    dialog = std::make_unique<TFrmMdl4CHCalib>(reader, nullptr, &timers);
  }
  dialog->Channel = 2;
  dialog->Entry = &entry;
  dialog->Mode = mode;
  dialog->show();
  reader.WaitIdle(std::chrono::seconds(10));
  timers.Advance(100);
  const bool ok = Save(*dialog, name);
  dialog->reject();
  reader.WaitIdle(std::chrono::seconds(10));
  return ok;
}

bool PrintedRecording() {
  sim::SimulatedModuleFor("SIM4").set_pace(4);
  TFrmMdl4CH window;
  TFrmSetMdl4 settings(&window);
  settings.SetPort("SIM4");
  window.UseSettings(settings);
  window.IdentifyModule();
  window.resize(1280, 800);
  window.show();
  for (QCheckBox* box : {window.cbInput1, window.cbInput2, window.cbInput3, window.cbInput4})
    box->setChecked(true);
  window.sbZaznam->click();
  const auto end = std::chrono::steady_clock::now() + std::chrono::milliseconds(1200);
  while (std::chrono::steady_clock::now() < end) {
    QApplication::processEvents();
    std::this_thread::sleep_for(std::chrono::milliseconds(5));
  }
  window.sbZaznam->click();
  QPrinter printer(QPrinter::HighResolution);
  printer.setOutputFormat(QPrinter::PdfFormat);
  printer.setOutputFileName(out_dir + "/print-4ch.pdf");
  printer.setPageOrientation(QPageLayout::Landscape);
  PrintGraph(window.View(), printer, PrintJobTitle(std::nullopt));
  return Save(window, "main_window");
}

}  // namespace

int main(int argc, char** argv) {
  if (argc != 3) {
    std::fprintf(stderr, "usage: ui-sheet OUT-DIR SETTINGS-DIR\n");
    return 2;
  }
  qputenv("OSC_REGISTRY_DIR", argv[2]);
  QApplication app(argc, argv);
  QApplication::setApplicationName("Osciloskop");
  out_dir = QString::fromLocal8Bit(argv[1]);
  LoadSystemFormatSettings();
  sim::RegisterSimulatedPorts();
  bool ok = SettingsPages(0) && SettingsPages(1);
  ok = Calibration(false, cmZeroBipolar, 5802, 0, "calib-zero-bipolar") && ok;
  ok = Calibration(false, cmZeroAC, 4000, 0, "calib-zero-ac-disabled") && ok;
  ok = Calibration(true, cmGain, 14299, 14.15, "calib-gain") && ok;
  ok = Calibration(true, cmGain, 16368, 15.5, "calib-gain-saturated") && ok;
  ok = PrintedRecording() && ok;
  return ok ? 0 : 1;
}
