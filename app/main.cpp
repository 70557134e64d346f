// Osciloskop: the operator's console for the serial oscilloscope and data-logger module.
#include "platform/locale.h"
#include "simulator/simulated_module.h"
#include "ui/main_window.h"

#include <QApplication>
#include <QCommandLineParser>
#include <QTimer>

int main(int argc, char** argv) {
  QApplication app(argc, argv);
  QApplication::setApplicationName("Osciloskop");
  QCommandLineParser args;
  args.setApplicationDescription("Osciloskop: console for the serial oscilloscope and data-logger module");
  args.addHelpOption();
  QCommandLineOption screenshot("screenshot", "Save a picture of the window to <file> after <ms> and quit.",
                                "file");
  QCommandLineOption delay("screenshot-delay", "Milliseconds before the screenshot (default 1000).", "ms",
                           "1000");
  QCommandLineOption port("port", "The serial port to use, e.g. SIM4, SIM2 or /dev/ttyUSB0.", "name");
  args.addOption(port);
  args.addOption(screenshot);
  args.addOption(delay);
  args.process(app);

  osc::LoadSystemFormatSettings();
  osc::sim::RegisterSimulatedPorts();  // "SIM4" and "SIM2" open the simulated modules
  osc::TFrmMdl4CH window;
  window.show();
  if (args.isSet(screenshot)) {
    QTimer::singleShot(args.value(delay).toInt(), &window, [&] {
      window.grab().save(args.value(screenshot));
      QApplication::quit();
    });
  }
  return QApplication::exec();
}
