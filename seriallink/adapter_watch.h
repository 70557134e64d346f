#pragma once
// Finding a USB serial adapter again after it was pulled and plugged back, possibly under
// another ttyUSB number. An adapter is known by what survives a re-plug: its name under
// /dev/serial/by-id (made by udev from vendor, product and serial number) and the serial
// number of its USB device in sysfs. Only an adapter with the same name, or with the same
// serial number, vendor and product, is taken for it: never another adapter, and never one
// that has nothing to tell it apart (no by-id name, no serial number).
//
// The roots are parameters so tests build a fake /dev and /sys in a folder.
#include <optional>
#include <string>

namespace osc {

struct TAdapterIdentity {
  std::string ById;           // the entry's name under /dev/serial/by-id, empty when none links to it
  std::string Serial;         // the USB device's serial number, empty when it has none
  std::string VendorProduct;  // "0403:6001"
  bool Known() const { return !ById.empty() || !Serial.empty(); }
  bool operator==(const TAdapterIdentity&) const = default;
};

class TAdapterFinder {
 public:
  explicit TAdapterFinder(std::string devRoot = "/dev", std::string sysRoot = "/sys");

  // What identifies the device at `path` (a /dev path or a by-id link).
  TAdapterIdentity IdentityOf(const std::string& path) const;
  // The name to store for `path`: its /dev/serial/by-id link when there is one (it
  // stays the same in any USB socket), else `path`.
  std::string StableName(const std::string& path) const;
  // Where the adapter `identity` is plugged now (its device path), or empty.
  std::string Find(const TAdapterIdentity& identity) const;

 private:
  std::string devRoot_;
  std::string sysRoot_;
};

// The window's side of an unplug: remembers the adapter of the open port, notices when
// it vanished and tells, at each poll, whether it is back and where.
class TReattachWatch {
 public:
  explicit TReattachWatch(const TAdapterFinder& finder) : finder_(finder) {}

  // The port `path` was opened (identified the module): its adapter is the one to wait for.
  void Opened(const std::string& path);
  // The port vanished. False when its adapter cannot be told apart from others (no
  // by-id name, no serial number): then nothing is watched.
  bool Vanished();
  bool Watching() const { return watching_; }
  // The device opened last, when it has gone from the system since (an unplug): true
  // once, then the adapter is watched for (Vanished).
  bool Gone();
  const std::string& Device() const { return device_; }
  const TAdapterIdentity& Identity() const { return identity_; }
  // While watching: the device path where the same adapter is back (watching ends), or
  // nothing yet.
  std::optional<std::string> Poll();

 private:
  const TAdapterFinder& finder_;
  TAdapterIdentity identity_;
  std::string device_;
  bool watching_ = false;
  bool gone_ = false;
};

}  // namespace osc
