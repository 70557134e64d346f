// A module whose USB adapter is pulled: the window says so at once, waits for the same
// adapter (seriallink/adapter_watch.h), possibly under another ttyUSB number, and
// identifies the module when it is back. A recording is never started again by itself.
#include <QTimer>
#include <filesystem>

#include "platform/comm/comm.h"
#include "ui/main_window.h"
#include "ui/settings_dialog.h"

namespace osc {

namespace {

std::string Canonical(const std::string& path) {
  std::error_code ec;
  const auto p = std::filesystem::canonical(path, ec);
  return ec ? path : p.string();
}

}  // namespace

void TFrmMdl4CH::UseAdapterFinder(const std::string& devRoot, const std::string& sysRoot) {
  reattach_.reset();
  adapterFinder_ = std::make_unique<TAdapterFinder>(devRoot, sysRoot);
  reattach_ = std::make_unique<TReattachWatch>(*adapterFinder_);
}

void TFrmMdl4CH::PortWatchTick() {
  const std::string configured = settings_ != nullptr ? settings_->Settings().Port : std::string();
  if (configured != settingsPortSeen_) {
    // The operator chose a port: that one counts, not where an adapter came back.
    settingsPortSeen_ = configured;
    portBack_.clear();
  }
  if (reattach_->Watching()) {
    const std::optional<std::string> where = reattach_->Poll();
    if (!where) return;
    portBack_ = *where == Canonical(win::CommDevicePath(configured)) ? std::string() : *where;
    IdentifyModule();
    SetCaption(State.DeviceFound
                   ? "Modul je opět připojen (" + *where + ")"
                   : "Adaptér modulu je opět připojen (" + *where + "), modul zatím neodpovídá");
    return;
  }
  if (reattach_->Gone()) {
    if (!RecordButtonDown()) {
      // A recording ends by its own tick and keeps what it has; an idle port is closed
      // now, so the module is identified afresh when the adapter is back.
      PortIdle();
      Com.Close();
    }
    State.DeviceFound = false;
    const TAdapterIdentity& id = reattach_->Identity();
    SetCaption(reattach_->Watching()
                   ? "Adaptér modulu byl odpojen – čekám, až se vrátí (" +
                         (id.ById.empty() ? reattach_->Device() : id.ById) + ")"
                   : "Adaptér modulu byl odpojen; po připojení zvolte jeho port v nastavení");
    return;
  }
  // A module answered on a device: its adapter is the one to wait for.
  const std::string device = win::CommDevicePath(PortName());
  if (State.DeviceFound && Com.Active() && device.starts_with("/") &&
      Canonical(device) != reattach_->Device())
    reattach_->Opened(device);
}

}  // namespace osc
