#include "seriallink/adapter_watch.h"

#include <filesystem>
#include <fstream>

namespace osc {
namespace fs = std::filesystem;

namespace {

std::string ReadTrimmed(const fs::path& file) {
  std::ifstream in(file);
  std::string text;
  std::getline(in, text);
  while (!text.empty() && (text.back() == '\r' || text.back() == ' ' || text.back() == '\t'))
    text.pop_back();
  return text;
}

// The device a path names, through any symbolic links.
fs::path Device(const fs::path& path) {
  std::error_code ec;
  fs::path p = fs::canonical(path, ec);
  return ec ? fs::path() : p;
}

}  // namespace

TAdapterFinder::TAdapterFinder(std::string devRoot, std::string sysRoot)
    : devRoot_(std::move(devRoot)), sysRoot_(std::move(sysRoot)) {}

TAdapterIdentity TAdapterFinder::IdentityOf(const std::string& path) const {
  TAdapterIdentity id;
  const fs::path device = Device(path);
  if (device.empty()) return id;
  std::error_code ec;
  for (const auto& entry : fs::directory_iterator(fs::path(devRoot_) / "serial" / "by-id", ec)) {
    if (Device(entry.path()) == device) {
      id.ById = entry.path().filename().string();
      break;
    }
  }
  // The USB device is a few levels above the tty (interface, then device); never leave sysfs.
  const fs::path root = Device(sysRoot_);
  fs::path dir = Device(fs::path(sysRoot_) / "class" / "tty" / device.filename() / "device");
  for (int up = 0; up < 8 && !dir.empty() && dir != root && dir.string().starts_with(root.string());
       ++up, dir = dir.parent_path()) {
    const std::string vendor = ReadTrimmed(dir / "idVendor");
    if (vendor.empty()) continue;
    id.Serial = ReadTrimmed(dir / "serial");
    id.VendorProduct = vendor + ":" + ReadTrimmed(dir / "idProduct");
    break;
  }
  return id;
}

std::string TAdapterFinder::StableName(const std::string& path) const {
  const TAdapterIdentity id = IdentityOf(path);
  if (id.ById.empty()) return path;
  return (fs::path(devRoot_) / "serial" / "by-id" / id.ById).string();
}

std::string TAdapterFinder::Find(const TAdapterIdentity& identity) const {
  if (!identity.Known()) return "";
  std::error_code ec;
  if (!identity.ById.empty()) {
    const fs::path device = Device(fs::path(devRoot_) / "serial" / "by-id" / identity.ById);
    return device.empty() ? "" : device.string();
  }
  // No by-id name (an old udev): the serial number with vendor and product.
  for (const auto& entry : fs::directory_iterator(fs::path(sysRoot_) / "class" / "tty", ec)) {
    const std::string name = entry.path().filename().string();
    if (!name.starts_with("ttyUSB") && !name.starts_with("ttyACM")) continue;
    const fs::path device = fs::path(devRoot_) / name;
    if (!fs::exists(device, ec)) continue;
    const TAdapterIdentity other = IdentityOf(device.string());
    if (other.Serial == identity.Serial && other.VendorProduct == identity.VendorProduct)
      return device.string();
  }
  return "";
}

void TReattachWatch::Opened(const std::string& path) {
  identity_ = finder_.IdentityOf(path);
  const fs::path device = osc::Device(path);
  device_ = device.empty() ? path : device.string();
  watching_ = false;
  gone_ = false;
}

bool TReattachWatch::Gone() {
  if (device_.empty() || gone_) return false;
  std::error_code ec;
  if (fs::exists(device_, ec)) return false;
  gone_ = true;
  Vanished();
  return true;
}

bool TReattachWatch::Vanished() {
  watching_ = identity_.Known();
  return watching_;
}

std::optional<std::string> TReattachWatch::Poll() {
  if (!watching_) return std::nullopt;
  std::string where = finder_.Find(identity_);
  if (where.empty()) return std::nullopt;
  Opened(where);
  return where;
}

}  // namespace osc
