#pragma once
// The program's two windows as the application makes them, headless, on the simulated
// 4-channel module, with a registry and a folder of the test's own. The desktop's file
// and print dialogs, the beep and the error box are the test's.
#include <QApplication>
#include <QPrinter>
#include <QStringList>
#include <chrono>
#include <memory>
#include <string>
#include <thread>
#include <vector>

#include "acquisition/recorder.h"
#include "simulator/simulated_module.h"
#include "support/scratch_registry.h"
#include "ui/app_error.h"
#include "ui/main_window.h"
#include "ui/settings_dialog.h"

namespace osc::test {

class MainWindowRig {
 public:
  explicit MainWindowRig(TAcquisitionPath path = TAcquisitionPath::Overlapped,
                         const std::string& port = "SIM4") {
    sim::RegisterSimulatedPorts();
    sim::ResetSimulatedModules();
    previousBox_ = SetApplicationErrorBox([this](const std::string& m, QWidget*) { errors.push_back(m); });
    TMainWindowUi ui;
    ui.OpenFiles = [this](QWidget*) { return openFiles; };
    ui.SaveFile = [this](QWidget*) { return saveFile; };
    ui.ConfirmOverwrite = [this](QWidget*, const QStringList& existing) {
      overwriteAsked.push_back(existing);
      return allowOverwrite;
    };
    ui.ConfirmDiscard = [this](QWidget*) {
      ++discardAsked;
      return allowDiscard;
    };
    ui.Beep = [this] { ++beeps; };
    ui.Print.SetupPrinter = [this](QPrinter& printer, QWidget*) {
      printer.setOutputFormat(QPrinter::PdfFormat);
      printer.setOutputFileName(QString::fromStdString(pdfFile));
      return !pdfFile.empty();
    };
    ui.Print.ShowError = [this](QWidget*, const QString& m) { errors.push_back(m.toStdString()); };
    ui.Export.Ask = [this](QWidget* parent, const TExportOffer& offer) { return exportAsk(parent, offer); };
    ui.Export.SaveFile = [this](QWidget* parent) { return exportSave(parent); };
    window = std::make_unique<TFrmMdl4CH>(path, nullptr, ui);
    window->Protocol().SetSleep([](win::DWORD) {});
    settings = std::make_unique<TFrmSetMdl4>(window.get(),
                                             [this](const QString& m) { errors.push_back(m.toStdString()); });
    settings->SetPort(port);
    window->UseSettings(*settings);
  }
  ~MainWindowRig() {
    settings.reset();
    window.reset();
    SetApplicationErrorBox(previousBox_);
  }

  sim::SimulatedModule& module() { return sim::SimulatedModuleFor("SIM4"); }

  // Shows the window after the module named its model, as the program does with --port.
  void ShowIdentified() {
    window->IdentifyModule();
    window->show();
    QApplication::processEvents();
  }

  // Runs the event loop (and so the main timer) until slot 1 holds `samples`.
  bool RecordUntil(std::uint32_t samples, int slot = 1) {
    const auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(20);
    while (std::chrono::steady_clock::now() < deadline) {
      window->Recorder().TimerTick();
      QApplication::processEvents();
      const TDataStore* s = window->Recorder().Store(slot);
      if (s != nullptr && s->Count() >= samples) return true;
      std::this_thread::sleep_for(std::chrono::milliseconds(5));
    }
    return false;
  }

  TempDir dir;
  ScratchRegistry registry;
  std::unique_ptr<TFrmMdl4CH> window;
  std::unique_ptr<TFrmSetMdl4> settings;

  QStringList openFiles;
  QString saveFile;
  bool allowOverwrite = true;
  std::vector<QStringList> overwriteAsked;
  std::string pdfFile;
  int beeps = 0;
  bool allowDiscard = true;
  int discardAsked = 0;
  std::vector<std::string> errors;
  // The export command's dialog and save dialog.
  std::function<std::optional<TExportChoice>(QWidget*, const TExportOffer&)> exportAsk =
      [](QWidget*, const TExportOffer&) { return std::optional<TExportChoice>(); };
  std::function<std::optional<TExportTarget>(QWidget*)> exportSave = [](QWidget*) {
    return std::optional<TExportTarget>();
  };

 private:
  TApplicationErrorBox previousBox_;
};

}  // namespace osc::test
