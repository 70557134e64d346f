// app-screenshot OUT.png SETTINGS-DIR: records all four inputs of the simulated 4-channel
// module for a few seconds of module time (paced up, so it takes about one second),
// stops, and saves a picture of the main window: what a user sees after the first
// recording. The settings live in SETTINGS-DIR, so the user's own are never touched.
#include "platform/locale/locale.h"
#include "simulator/simulated_module.h"
#include "ui/main_window.h"
#include "ui/settings_dialog.h"

#include <QApplication>
#include <QCheckBox>
#include <QTimer>
#include <QToolButton>
#include <cstdio>

int main(int argc, char** argv) {
  if (argc != 3) {
    std::fprintf(stderr, "usage: app-screenshot OUT.png SETTINGS-DIR\n");
    return 2;
  }
  qputenv("OSC_REGISTRY_DIR", argv[2]);
  QApplication app(argc, argv);
  QApplication::setApplicationName("Osciloskop");
  osc::LoadSystemFormatSettings();
  osc::sim::RegisterSimulatedPorts();
  osc::sim::SimulatedModuleFor("SIM4").set_pace(4);
  osc::TFrmMdl4CH window;
  osc::TFrmSetMdl4 settings(&window);
  settings.SetPort("SIM4");
  window.UseSettings(settings);
  window.IdentifyModule();
  window.resize(1280, 800);
  window.show();
  for (QCheckBox* box : {window.cbInput1, window.cbInput2, window.cbInput3, window.cbInput4})
    box->setChecked(true);
  window.tbAutoZoom->setChecked(true);
  window.sbZaznam->click();
  int status = 1;
  QTimer::singleShot(1200, &window, [&] {
    if (window.sbZaznam->isChecked()) window.sbZaznam->click();
    QTimer::singleShot(300, &window, [&] {
      status = window.grab().save(QString::fromLocal8Bit(argv[1])) ? 0 : 1;
      // exit(), not quit(): quit() would close the window and ask about the unsaved record.
      QCoreApplication::exit(status);
    });
  });
  QApplication::exec();
  return status;
}
