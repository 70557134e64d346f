#include "platform/comm/serial_devices.h"

#include "platform/comm/comm_device.h"

#include <algorithm>
#include <array>
#include <filesystem>
#include <fstream>
#include <string_view>
#include <tuple>

namespace osc::win::detail {
namespace {

namespace fs = std::filesystem;

constexpr std::array<std::string_view, 3> kKinds = {"ttyS", "ttyUSB", "ttyACM"};

// The kind (index into kKinds) and number of a name like "ttyUSB3"; false for other names.
bool ParseTtyName(const std::string& name, std::size_t& kind, unsigned long& number) {
  for (std::size_t k = 0; k < kKinds.size(); ++k) {
    std::string_view prefix = kKinds[k];
    if (name.size() <= prefix.size() || name.compare(0, prefix.size(), prefix) != 0) continue;
    std::string_view digits = std::string_view(name).substr(prefix.size());
    if (digits.size() > 6 ||
        !std::all_of(digits.begin(), digits.end(), [](char c) { return c >= '0' && c <= '9'; })) {
      return false;
    }
    kind = k;
    number = std::stoul(std::string(digits));
    return true;
  }
  return false;
}

// The 8250 driver registers every ttyS it could have; only those with a UART found have a
// port type other than 0 (PORT_UNKNOWN).
bool HasUart(const fs::path& ttyDir) {
  std::ifstream in(ttyDir / "type");
  int type = 0;
  return static_cast<bool>(in >> type) && type != 0;
}

}  // namespace

std::vector<SerialDevice> ListSerialDevices(const std::string& sysfsRoot, const std::string& devRoot) {
  struct Found {
    std::size_t kind;
    unsigned long number;
    std::string name;
  };
  std::vector<Found> found;
  std::error_code ec;
  for (fs::directory_iterator it(fs::path(sysfsRoot) / "class" / "tty", ec), end; !ec && it != end;
       it.increment(ec)) {
    std::string name = it->path().filename().string();
    Found f{0, 0, name};
    if (!ParseTtyName(name, f.kind, f.number)) continue;
    std::error_code e;
    if (!fs::exists(it->path() / "device", e) || !fs::exists(fs::path(devRoot) / name, e)) continue;
    if (f.kind == 0 && !HasUart(it->path())) continue;
    found.push_back(std::move(f));
  }
  std::sort(found.begin(), found.end(), [](const Found& a, const Found& b) {
    return std::tie(a.kind, a.number) < std::tie(b.kind, b.number);
  });
  std::vector<SerialDevice> out;
  for (const Found& f : found) {
    out.push_back({"\\Device\\" + f.name, (fs::path(devRoot) / f.name).string()});
  }
  for (const ListedCommDevice& d : ListedCommDevices())
    out.push_back({"\\Device\\" + d.Name, d.Name});
  return out;
}

}  // namespace osc::win::detail
