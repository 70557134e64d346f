#pragma once
// The seam between the serial engine (time-outs, queues, overlapped requests) and what
// carries the bytes: a termios device, or an in-process simulated module. A backend is
// a non-blocking byte pipe with line control; all waiting is done by the engine with
// poll() on poll_fd().
#include "platform/win32.h"

#include <sys/types.h>
#include <cstddef>
#include <functional>
#include <memory>
#include <string>
#include <vector>

namespace osc::win {

class CommDevice {
 public:
  virtual ~CommDevice() = default;

  // Readable (POLLIN) while read_some has bytes or an error to report; POLLHUP/POLLERR
  // when the device is gone.
  virtual int poll_fd() const = 0;
  // Non-blocking. Bytes read, 0 when none are available, -1 with errno on failure
  // (EIO/ENXIO/ENODEV: the device vanished; any failure but EAGAIN and EINTR ends the
  // port's use of the device: pending and later transfers fail).
  virtual ssize_t read_some(void* buffer, std::size_t count) = 0;
  // Non-blocking. Bytes accepted (possibly fewer than count), -1 with errno on failure.
  // poll_fd() should be writable (POLLOUT) when bytes would be accepted; a device whose
  // descriptor says writable while it accepts nothing is retried every few milliseconds.
  virtual ssize_t write_some(const void* buffer, std::size_t count) = 0;
  // Applies line settings; false with errno when the device refuses them.
  virtual bool configure(const DCB& dcb) = 0;
  virtual bool set_break(bool on) = 0;
  // Discards what the device itself still holds (PURGE_RXCLEAR / PURGE_TXCLEAR bits).
  virtual void purge(DWORD flags) = 0;
  // CE_* flags seen by the device since the last call.
  virtual DWORD take_errors() = 0;
  // Bytes written but not yet sent.
  virtual DWORD output_queue() const { return 0; }
  // The line settings the device has now, so that GetCommState is true before the first
  // SetCommState; false when the device cannot tell (the engine then reports 9600 8N1
  // with DTR and RTS on).
  virtual bool get_state(DCB* /*dcb*/) { return false; }
};

// Creates the device for a name, or returns nullptr and sets *error to a Win32 code.
using CommDeviceFactory = std::function<std::unique_ptr<CommDevice>(const std::string& name, DWORD* error)>;

// Makes `name` (compared ignoring case, e.g. "SIM4") open an in-process device. The
// serial layer keeps such a name exclusive: while a port opened by it is open, a second
// CreateFile of the name fails with ERROR_ACCESS_DENIED without calling the factory.
// The factory is called without any lock of the serial layer held. A device with a
// `description` is offered to the operator (the port list, the port check) as a port
// of its own; one without is reachable by name only.
void RegisterCommDevice(const std::string& name, CommDeviceFactory factory,
                        const std::string& description = {});
void UnregisterCommDevice(const std::string& name);

struct ListedCommDevice {
  std::string Name;  // as registered
  std::string Description;
};
// The devices registered with a description, in the order of their registration.
std::vector<ListedCommDevice> ListedCommDevices();

}  // namespace osc::win
