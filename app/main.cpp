// Osciloskop: the operator's console for the serial oscilloscope and data-logger module.
#include "platform/locale.h"
#include "simulator/simulated_module.h"
#include "ui/app_error.h"
#include "ui/main_window.h"
#include "ui/qt_translations.h"
#include "ui/settings_dialog.h"

#include <QApplication>
#include <QCommandLineParser>
#include <QTimer>
#include <memory>

int main(int argc, char** argv) {
  QApplication app(argc, argv);
  QApplication::setApplicationName("Osciloskop");
  osc::LoadQtTranslations(app);
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
  args.addPositionalArgument("files", "Record files to open (name.ch1 ...).", "[files...]");
  args.process(app);

  osc::LoadSystemFormatSettings();
  osc::sim::RegisterSimulatedPorts();  // "SIM4" and "SIM2" open the simulated modules
  osc::TFrmMdl4CH window;
  std::unique_ptr<osc::TFrmSetMdl4> settings;
  try {
    settings = std::make_unique<osc::TFrmSetMdl4>(&window);
  } catch (const std::exception& e) {
    osc::ShowApplicationError(e);
    return 1;
  }
  window.UseSettings(*settings);
  if (args.isSet(port)) {
    // For this run only; the settings dialog's OK would keep it.
    settings->SetPort(args.value(port).toStdString());
    QTimer::singleShot(0, &window, [&] { window.IdentifyModule(); });
  }
  window.show();
  if (const QStringList records = args.positionalArguments(); !records.isEmpty())
    QTimer::singleShot(0, &window, [&window, records] { window.OpenRecordFiles(records); });
  if (args.isSet(screenshot)) {
    QTimer::singleShot(args.value(delay).toInt(), &window, [&] {
      window.grab().save(args.value(screenshot));
      QApplication::quit();
    });
  }
  return QApplication::exec();
}
