// Osciloskop: the operator's console for the serial oscilloscope and data-logger module.
#include "platform/locale/locale.h"
#include "simulator/simulated_module.h"
#include "ui/app_error.h"
#include "ui/main_window.h"
#include "ui/qt_translations.h"
#include "ui/settings_dialog.h"

#include <QApplication>
#include <QCommandLineParser>
#include <QTimer>
#include <QToolButton>
#include <cstdio>
#include <memory>
#include <utility>

namespace {

// The program's command line. Qt's own options (-platform, -style, ...) are accepted
// unlisted, for the QApplication that takes them.
struct TCommandLine {
  QCommandLineParser Args;
  QCommandLineOption Help = Args.addHelpOption();
  QCommandLineOption Version = Args.addVersionOption();
  QCommandLineOption Port{"port", "The serial port to use, e.g. SIM4, SIM2 or /dev/ttyUSB0.", "name"};
  QCommandLineOption SettingsDir{
      "settings-dir", "The folder of the settings for this run (default ~/.config/osciloskop).", "dir"};
  QCommandLineOption Screenshot{"screenshot", "Save a picture of the window to <file> after <ms> and quit.",
                                "file"};
  QCommandLineOption Delay{"screenshot-delay", "Milliseconds before the screenshot (default 1000).", "ms",
                           "1000"};

  TCommandLine() {
    Args.setApplicationDescription("Osciloskop: console for the serial oscilloscope and data-logger module");
    Args.setSingleDashWordOptionMode(QCommandLineParser::ParseAsLongOptions);
    Args.addOptions({Port, SettingsDir, Screenshot, Delay});
    Args.addPositionalArgument("files", "Record files (.ch1 to .ch4) to open.", "[files...]");
    for (const char* name :
         {"platform", "platformpluginpath", "platformtheme", "plugin", "style", "stylesheet", "display",
          "geometry", "qwindowgeometry", "qwindowtitle", "qwindowicon"}) {
      QCommandLineOption qt(name, "", "value");
      qt.setFlags(QCommandLineOption::HiddenFromHelp);
      Args.addOption(qt);
    }
    QCommandLineOption reverse("reverse");
    reverse.setFlags(QCommandLineOption::HiddenFromHelp);
    Args.addOption(reverse);
  }
};

}  // namespace

int main(int argc, char** argv) {
  QApplication::setApplicationName("Osciloskop");
  QApplication::setApplicationVersion(OSC_VERSION);
  {
    // Help, version and a wrong command line need no display, so no QApplication yet.
    QCoreApplication core(argc, argv);
    TCommandLine cl;
    // Exit status 2 for a wrong command line, as usual for Unix programs; process() gives 1.
    if (!cl.Args.parse(QCoreApplication::arguments())) {
      std::fprintf(stderr, "osciloskop: %s Try 'osciloskop --help'.\n", qPrintable(cl.Args.errorText()));
      return 2;
    }
    if (cl.Args.isSet(cl.Help)) cl.Args.showHelp(0);
    if (cl.Args.isSet(cl.Version)) cl.Args.showVersion();
  }
  QApplication app(argc, argv);
  osc::LoadQtTranslations(app);
  // Wayland compositors find the menu entry and its icon by this name.
  QGuiApplication::setDesktopFileName(OSC_APP_ID);
  TCommandLine cl;
  cl.Args.parse(QApplication::arguments());
  const QCommandLineParser& args = cl.Args;
  // The registry reads its folder from the environment when it is first used, below.
  if (args.isSet(cl.SettingsDir)) qputenv("OSC_REGISTRY_DIR", args.value(cl.SettingsDir).toLocal8Bit());

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
  if (args.isSet(cl.Port)) {
    // For this run only; the settings dialog's OK would keep it.
    settings->SetPort(args.value(cl.Port).toStdString());
    QTimer::singleShot(0, &window, [&] { window.IdentifyModule(); });
  }
  window.show();
  // Files named on the command line (a file manager's "open with") open as a drop does.
  if (const QStringList records = args.positionalArguments(); !records.isEmpty())
    QTimer::singleShot(0, &window, [&window, records] { window.OpenRecordFiles(records); });
  if (args.isSet(cl.Screenshot)) {
    QTimer::singleShot(args.value(cl.Delay).toInt(), &window, [&] {
      window.grab().save(args.value(cl.Screenshot));
      QApplication::quit();
    });
  }
  return QApplication::exec();
}
