// Finding the same USB adapter again after a re-plug, in a fake /dev and /sys.
#include "seriallink/adapter_watch.h"

#include "support/fake_adapters.h"

#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>

namespace osc {
namespace {
namespace fs = std::filesystem;
using test::Adapter;
using test::FakeSystem;

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
