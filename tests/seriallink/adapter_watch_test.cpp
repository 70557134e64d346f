// Finding the same USB adapter again after a re-plug, in a fake /dev and /sys.
#include "seriallink/adapter_watch.h"

#include "support/temp_dir.h"

#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>

namespace osc {
namespace {
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

  test::TempDir dir;
};

TEST(AdapterWatch, OnlyTheSameAdapterIsTakenBackUnderAnyNumber) {
  struct Row {
    const char* name;
    Adapter before, after;
    bool watched;
    bool found;
  };
  const Row rows[] = {
      {"same by-id name as ttyUSB1",
       {"ttyUSB0", "usb-FTDI_A1-if00", "A1"},
       {"ttyUSB1", "usb-FTDI_A1-if00", "A1"},
       true,
       true},
      {"another adapter",
       {"ttyUSB0", "usb-FTDI_A1-if00", "A1"},
       {"ttyUSB0", "usb-FTDI_B2-if00", "B2"},
       true,
       false},
      {"no by-id: the serial number", {"ttyUSB0", "", "A1"}, {"ttyUSB2", "", "A1"}, true, true},
      {"no by-id: same serial, other vendor",
       {"ttyUSB0", "", "A1"},
       {"ttyUSB2", "", "A1", "10c4"},
       true,
       false},
      {"nothing tells it apart", {"ttyUSB0", "", ""}, {"ttyUSB0", "", ""}, false, false},
  };
  for (const Row& r : rows) {
    SCOPED_TRACE(r.name);
    FakeSystem system;
    const TAdapterFinder finder(system.dev().string(), system.sys().string());
    TReattachWatch watch(finder);
    system.Plug(r.before);
    watch.Opened(system.Dev(r.before.tty));
    system.Unplug(r.before);
    EXPECT_EQ(watch.Vanished(), r.watched);
    EXPECT_EQ(watch.Poll(), std::nullopt);  // not back yet
    system.Plug(r.after);
    const auto back = watch.Poll();
    EXPECT_EQ(back.value_or(""), r.found ? system.Dev(r.after.tty) : "");
  }
}

TEST(AdapterWatch, TheStableNameIsTheByIdLinkWhenThereIsOne) {
  FakeSystem system;
  const TAdapterFinder finder(system.dev().string(), system.sys().string());
  system.Plug({"ttyUSB3", "usb-Prolific_X9-if00-port0", "X9"});
  system.Plug({"ttyUSB4", "", "Y1"});
  EXPECT_EQ(finder.StableName(system.Dev("ttyUSB3")),
            (system.dev() / "serial" / "by-id" / "usb-Prolific_X9-if00-port0").string());
  EXPECT_EQ(finder.StableName(system.Dev("ttyUSB4")), system.Dev("ttyUSB4"));
}

}  // namespace
}  // namespace osc
