#include "config/regs.h"

#include "platform/errors.h"
#include "platform/locale/locale.h"

#include <array>
#include <cmath>
#include <cstring>
#include <vector>

namespace osc {
namespace {

using namespace win;

const std::array<HKEY, 7> kRoots = {HKEY_CLASSES_ROOT, HKEY_CURRENT_USER,     HKEY_LOCAL_MACHINE,
                                    HKEY_USERS,        HKEY_PERFORMANCE_DATA, HKEY_CURRENT_CONFIG,
                                    HKEY_DYN_DATA};

constexpr const char* kOpenFailed = "Selhalo oteření klíče registru.";

}  // namespace

TRegs::~TRegs() {
  if (handle_) {
    if (!lazy_write_) RegFlushKey(handle_);
    RegCloseKey(handle_);
  }
}

TRootKey TRegs::RootKey() const {
  for (std::size_t i = 0; i < kRoots.size(); ++i) {
    if (kRoots[i] == root_) return static_cast<TRootKey>(i);
  }
  return TRootKey::rkCurrentUser;
}

void TRegs::SetRootKey(TRootKey value) {
  auto index = static_cast<std::size_t>(value);
  HKEY root = index < kRoots.size() ? kRoots[index] : HKEY_CURRENT_USER;
  if (root == root_) return;
  root_ = root;
  Reopen();
}

void TRegs::SetAccessMask(TAccessMasks value) {
  if (value == access_mask_) return;
  access_mask_ = value;
  Reopen();
}

void TRegs::SetKey(const std::string& value) {
  if (value == key_) return;
  key_ = value;
  Reopen();
}

// After a change of what is opened: an open key is closed and opened again under the
// new setting.
void TRegs::Reopen() {
  if (!Opened()) return;
  SetOpened(false);
  SetOpened(true);
}

void TRegs::SetOpened(bool value) {
  if (value == Opened()) return;
  if (value) {
    HKEY key = nullptr;
    LSTATUS r = can_create_ ? RegCreateKeyEx(root_, key_.c_str(), 0, nullptr, REG_OPTION_NON_VOLATILE,
                                             access_mask_.rights(), nullptr, &key, nullptr)
                            : RegOpenKeyEx(root_, key_.c_str(), 0, access_mask_.rights(), &key);
    if (r != ERROR_SUCCESS) throw Exception(kOpenFailed);
    handle_ = key;
  } else {
    if (!lazy_write_) RegFlushKey(handle_);
    RegCloseKey(handle_);
    handle_ = nullptr;
  }
}

void TRegs::OpenKey(const std::string& key) {
  Close();
  key_ = key;
  SetOpened(true);
}

void TRegs::WrongType(const std::string& name) {
  throw Exception(Format("Nesprávný typ hodnoty '%s'.", {name}));
}

int TRegs::ReadInteger(const std::string& name, int defaultValue) {
  BYTE buf[4];
  DWORD size = sizeof buf, type = REG_NONE;
  if (RegQueryValueEx(handle_, name.c_str(), nullptr, &type, buf, &size) != ERROR_SUCCESS)
    return defaultValue;
  // A shorter REG_DWORD would leave part of the number unread.
  if (type != REG_DWORD || size != 4) WrongType(name);
  std::uint32_t v = buf[0] | (buf[1] << 8) | (buf[2] << 16) | (std::uint32_t{buf[3]} << 24);
  return static_cast<int>(v);
}

std::string TRegs::ReadString(const std::string& name, const std::string& defaultValue) {
  int dataSize = GetDataSize(name);
  if (dataSize < 1) return defaultValue;
  std::vector<BYTE> buf(static_cast<std::size_t>(dataSize));
  DWORD size = static_cast<DWORD>(buf.size()), type = REG_NONE;
  if (RegQueryValueEx(handle_, name.c_str(), nullptr, &type, buf.data(), &size) != ERROR_SUCCESS) {
    return defaultValue;
  }
  if (type != REG_SZ && type != REG_EXPAND_SZ) WrongType(name);
  // Stored strings need not end with a zero: read only what the data holds.
  const char* text = reinterpret_cast<const char*>(buf.data());
  return std::string(text, strnlen(text, size));
}

double TRegs::ReadFloat(const std::string& name, double defaultValue) {
  BYTE buf[8];
  DWORD size = sizeof buf, type = REG_NONE;
  if (RegQueryValueEx(handle_, name.c_str(), nullptr, &type, buf, &size) != ERROR_SUCCESS)
    return defaultValue;
  if (type != REG_BINARY || size != 8) WrongType(name);
  std::uint64_t bits = 0;
  for (int i = 7; i >= 0; --i)
    bits = (bits << 8) | buf[i];
  double v = 0;
  std::memcpy(&v, &bits, sizeof v);
  // An infinity or NaN would poison every computation with the range; it is no setting.
  return std::isfinite(v) ? v : defaultValue;
}

void TRegs::Write(const std::string& name, DWORD type, const void* data, std::size_t size) {
  if (RegSetValueEx(handle_, name.c_str(), 0, type, static_cast<const BYTE*>(data),
                    static_cast<DWORD>(size)) != ERROR_SUCCESS) {
    throw Exception(Format("Chyba při zápisu hodnoty '%s'.", {name}));
  }
}

void TRegs::WriteInteger(const std::string& name, int value) {
  auto v = static_cast<std::uint32_t>(value);
  const BYTE buf[4] = {static_cast<BYTE>(v), static_cast<BYTE>(v >> 8), static_cast<BYTE>(v >> 16),
                       static_cast<BYTE>(v >> 24)};
  Write(name, REG_DWORD, buf, sizeof buf);
}

void TRegs::WriteString(const std::string& name, const std::string& value) {
  Write(name, REG_SZ, value.c_str(), value.size() + 1);
}

void TRegs::WriteFloat(const std::string& name, double value) {
  std::uint64_t bits = 0;
  std::memcpy(&bits, &value, sizeof bits);
  BYTE buf[8];
  for (BYTE& b : buf) {
    b = static_cast<BYTE>(bits);
    bits >>= 8;
  }
  Write(name, REG_BINARY, buf, sizeof buf);
}

int TRegs::GetDataSize(const std::string& name) {
  DWORD size = 0;
  if (RegQueryValueEx(handle_, name.c_str(), nullptr, nullptr, nullptr, &size) != ERROR_SUCCESS) return -1;
  return size > 0x7FFFFFFFu ? -1 : static_cast<int>(size);
}

bool TRegs::DeleteKey(const std::string& name) {
  return RegDeleteKey(handle_, name.c_str()) == ERROR_SUCCESS;
}

}  // namespace osc
