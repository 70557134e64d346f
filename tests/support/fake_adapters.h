#pragma once
// USB serial adapters plugged into and pulled from a fake /dev and /sys in a scratch
// folder (seriallink/adapter_watch.h looks there).
#include <filesystem>
#include <fstream>
#include <string>

#include "support/temp_dir.h"

namespace osc::test {
namespace fs = std::filesystem;

struct Adapter {
  std::string tty;     // "ttyUSB0"
  std::string byId;    // empty: udev made no link
  std::string serial;  // empty: the device has none
  std::string vendor = "0403";
};

// /dev/<tty>, /dev/serial/by-id/<name> -> ../../<tty>, and the sysfs chain
// class/tty/<tty>/device -> devices/usbN/N-1/N-1:1.0 with the USB device's files above it.
class FakeSystem {
 public:
  void Plug(const Adapter& a) {
    fs::create_directories(dev() / "serial" / "by-id");
    std::ofstream(dev() / a.tty).put('\n');
    if (!a.byId.empty()) fs::create_symlink("../../" + a.tty, dev() / "serial" / "by-id" / a.byId);
    const fs::path usb = sys() / "devices" / ("usb-" + a.tty) / "1-1";
    fs::create_directories(usb / "1-1:1.0" / a.tty);
    std::ofstream(usb / "idVendor") << a.vendor << '\n';
    std::ofstream(usb / "idProduct") << "6001\n";
    if (!a.serial.empty()) std::ofstream(usb / "serial") << a.serial << '\n';
    fs::create_directories(sys() / "class" / "tty" / a.tty);
    fs::create_symlink(usb / "1-1:1.0", sys() / "class" / "tty" / a.tty / "device");
  }
  void Unplug(const Adapter& a) {
    fs::remove(dev() / a.tty);
    if (!a.byId.empty()) fs::remove(dev() / "serial" / "by-id" / a.byId);
    fs::remove_all(sys() / "class" / "tty" / a.tty);
    fs::remove_all(sys() / "devices" / ("usb-" + a.tty));
  }
  fs::path dev() const { return fs::path(dir.path()) / "dev"; }
  fs::path sys() const { return fs::path(dir.path()) / "sys"; }
  std::string Dev(const std::string& tty) const { return fs::canonical(dev() / tty).string(); }

  TempDir dir;
};

}  // namespace osc::test
