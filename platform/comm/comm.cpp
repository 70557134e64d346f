#include "platform/comm/comm.h"

#include "platform/comm/comm_device.h"
#include "platform/comm/comm_engine.h"
#include "platform/comm/comm_posix.h"
#include "platform/kernel/kernel.h"

#include <atomic>
#include <cctype>
#include <map>
#include <mutex>
#include <optional>
#include <set>

namespace osc::win {
namespace {

struct DeviceRegistry {
  std::mutex mutex;
  std::map<std::string, CommDeviceFactory> factories;  // by upper-case name
  std::set<std::string> open;
  std::vector<ListedCommDevice> listed;
};

// Never destroyed: ports closed during exit still release their names here.
DeviceRegistry& registry() {
  static auto* r = new DeviceRegistry;
  return *r;
}

std::string upper(std::string s) {
  for (char& c : s)
    c = static_cast<char>(std::toupper(static_cast<unsigned char>(c)));
  return s;
}

// "COM1".."COM256" (any case, no leading zero) -> 1..256.
std::optional<unsigned> com_number(const std::string& name) {
  if (name.size() < 4 || name.size() > 6 || upper(name.substr(0, 3)) != "COM") return std::nullopt;
  unsigned n = 0;
  for (std::size_t i = 3; i < name.size(); ++i) {
    if (!std::isdigit(static_cast<unsigned char>(name[i]))) return std::nullopt;
    n = n * 10 + static_cast<unsigned>(name[i] - '0');
  }
  if (name[3] == '0' || n < 1 || n > 256) return std::nullopt;
  return n;
}

// Windows accepts the device namespace form "\\.\COM12" as well.
std::string without_device_prefix(const std::string& name) {
  return name.rfind("\\\\.\\", 0) == 0 ? name.substr(4) : name;
}

std::shared_ptr<detail::CommPort> port_of(HANDLE handle) {
  return detail::lookup_as<detail::CommPort>(handle);
}

BOOL result(DWORD error) {
  if (error == ERROR_SUCCESS) return 1;
  SetLastError(error);
  return 0;
}

template <class Call>
BOOL with_port(HANDLE handle, Call call) {
  auto port = port_of(handle);
  return result(port ? call(*port) : ERROR_INVALID_HANDLE);
}

HANDLE fail_open(DWORD error) {
  SetLastError(error);
  return INVALID_HANDLE_VALUE;
}

// Opens a registered in-process device, keeping its name exclusive.
std::unique_ptr<CommDevice> open_registered(const std::string& name, const CommDeviceFactory& factory,
                                            DWORD* error, std::function<void()>* release) {
  auto& r = registry();
  std::string key = upper(name);
  {
    std::lock_guard lock(r.mutex);
    if (!r.open.insert(key).second) {
      *error = ERROR_ACCESS_DENIED;
      return nullptr;
    }
  }
  auto free_name = [key] {
    auto& reg = registry();
    std::lock_guard lock(reg.mutex);
    reg.open.erase(key);
  };
  std::unique_ptr<CommDevice> device;
  *error = ERROR_FILE_NOT_FOUND;
  try {
    device = factory(name, error);
  } catch (const std::exception&) {
    *error = ERROR_GEN_FAILURE;
  }
  if (!device) {
    if (*error == ERROR_SUCCESS) *error = ERROR_FILE_NOT_FOUND;
    free_name();
    return nullptr;
  }
  *release = free_name;
  return device;
}

}  // namespace

std::string CommDevicePath(const std::string& name) {
  std::string n = without_device_prefix(name);
  if (auto number = com_number(n)) {
    static const char* const kBlocks[] = {"/dev/ttyS", "/dev/ttyUSB", "/dev/ttyACM", "/dev/rfcomm"};
    unsigned index = *number - 1;
    return kBlocks[index / 64] + std::to_string(index % 64);
  }
  return n;
}

HANDLE CreateFile(const std::string& name, DWORD /*desiredAccess*/, DWORD /*shareMode*/,
                  DWORD creationDisposition, DWORD flagsAndAttributes) {
  if (name.find('\0') != std::string::npos) return fail_open(ERROR_INVALID_NAME);
  if (creationDisposition != OPEN_EXISTING) return fail_open(ERROR_INVALID_PARAMETER);
  std::string bare = without_device_prefix(name);
  CommDeviceFactory factory;
  {
    auto& r = registry();
    std::lock_guard lock(r.mutex);
    auto it = r.factories.find(upper(bare));
    if (it != r.factories.end()) factory = it->second;
  }
  DWORD error = ERROR_FILE_NOT_FOUND;
  std::function<void()> release;
  std::unique_ptr<CommDevice> device;
  std::string path = CommDevicePath(bare);
  if (factory) {
    device = open_registered(bare, factory, &error, &release);
  } else if (path.rfind("/dev/", 0) == 0) {
    device = detail::open_termios_device(path, &error);
  }
  if (!device) return fail_open(error);
  bool overlapped = (flagsAndAttributes & FILE_FLAG_OVERLAPPED) != 0;
  auto port = std::make_shared<detail::CommPort>(std::move(device), overlapped, detail::comm_sys(),
                                                 std::move(release));
  if (DWORD e = port->start(); e != ERROR_SUCCESS) {
    port->close();
    return fail_open(e);
  }
  return detail::register_object(port);
}

BOOL SetupComm(HANDLE file, DWORD inQueue, DWORD outQueue) {
  return with_port(file, [&](detail::CommPort& p) { return p.setup(inQueue, outQueue); });
}

BOOL GetCommState(HANDLE file, DCB* dcb) {
  if (!dcb) return result(ERROR_INVALID_PARAMETER);
  return with_port(file, [&](detail::CommPort& p) { return p.get_state(dcb); });
}

BOOL SetCommState(HANDLE file, const DCB* dcb) {
  if (!dcb) return result(ERROR_INVALID_PARAMETER);
  return with_port(file, [&](detail::CommPort& p) { return p.set_state(*dcb); });
}

BOOL GetCommTimeouts(HANDLE file, COMMTIMEOUTS* timeouts) {
  if (!timeouts) return result(ERROR_INVALID_PARAMETER);
  return with_port(file, [&](detail::CommPort& p) { return p.get_timeouts(timeouts); });
}

BOOL SetCommTimeouts(HANDLE file, const COMMTIMEOUTS* timeouts) {
  if (!timeouts) return result(ERROR_INVALID_PARAMETER);
  return with_port(file, [&](detail::CommPort& p) { return p.set_timeouts(*timeouts); });
}

BOOL ReadFile(HANDLE file, void* buffer, DWORD count, DWORD* bytesRead, OVERLAPPED* overlapped) {
  return with_port(file, [&](detail::CommPort& p) { return p.read(buffer, count, bytesRead, overlapped); });
}

BOOL WriteFile(HANDLE file, const void* buffer, DWORD count, DWORD* bytesWritten, OVERLAPPED* overlapped) {
  return with_port(file,
                   [&](detail::CommPort& p) { return p.write(buffer, count, bytesWritten, overlapped); });
}

BOOL GetOverlappedResult(HANDLE file, OVERLAPPED* overlapped, DWORD* transferred, BOOL wait) {
  if (!overlapped) return result(ERROR_INVALID_PARAMETER);
  const std::uintptr_t pending = detail::overlapped_status_of(ERROR_IO_PENDING);
  std::atomic_ref<std::uintptr_t> status(overlapped->Internal);
  if (status.load(std::memory_order_acquire) == pending) {
    if (!wait) return result(ERROR_IO_INCOMPLETE);
    if (auto port = port_of(file)) {
      port->wait(overlapped);
    } else if (!overlapped->hEvent || WaitForSingleObject(overlapped->hEvent, INFINITE) != WAIT_OBJECT_0) {
      return result(ERROR_INVALID_HANDLE);
    }
    if (status.load(std::memory_order_acquire) == pending) return result(ERROR_IO_INCOMPLETE);
  }
  if (transferred) *transferred = static_cast<DWORD>(overlapped->InternalHigh);
  return result(detail::error_of_overlapped_status(status.load(std::memory_order_acquire)));
}

BOOL CancelIo(HANDLE file) {
  return with_port(file, [](detail::CommPort& p) { return p.cancel_calling_thread_io(); });
}

BOOL PurgeComm(HANDLE file, DWORD flags) {
  return with_port(file, [&](detail::CommPort& p) { return p.purge(flags); });
}

BOOL SetCommBreak(HANDLE file) {
  return with_port(file, [](detail::CommPort& p) { return p.set_break(true); });
}

BOOL ClearCommBreak(HANDLE file) {
  return with_port(file, [](detail::CommPort& p) { return p.set_break(false); });
}

BOOL ClearCommError(HANDLE file, DWORD* errors, COMSTAT* stat) {
  return with_port(file, [&](detail::CommPort& p) { return p.clear_error(errors, stat); });
}

void RegisterCommDevice(const std::string& name, CommDeviceFactory factory, const std::string& description) {
  auto& r = registry();
  std::lock_guard lock(r.mutex);
  const std::string key = upper(name);
  r.factories[key] = std::move(factory);
  std::erase_if(r.listed, [&](const ListedCommDevice& d) { return upper(d.Name) == key; });
  if (!description.empty()) r.listed.push_back({name, description});
}

void UnregisterCommDevice(const std::string& name) {
  auto& r = registry();
  std::lock_guard lock(r.mutex);
  const std::string key = upper(name);
  r.factories.erase(key);
  std::erase_if(r.listed, [&](const ListedCommDevice& d) { return upper(d.Name) == key; });
}

std::vector<ListedCommDevice> ListedCommDevices() {
  auto& r = registry();
  std::lock_guard lock(r.mutex);
  return r.listed;
}

}  // namespace osc::win
