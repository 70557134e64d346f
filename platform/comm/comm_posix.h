#pragma once
// Internal to the platform layer: the CommDevice of a real serial device (a tty, also a
// pseudo-terminal slave) written on termios.
#include "platform/comm/comm_device.h"
#include "platform/comm/comm_sys.h"

#include <memory>
#include <string>
#include <string_view>

namespace osc::win::detail {

// Opens `path` as a serial line: it must be a character device that the kernel's tty
// driver list names a serial port or a pseudo-terminal slave (never the controlling
// terminal, a console, a disk or any other file); it is opened non-blocking, locked
// against a second open (TIOCEXCL and flock, which also holds against root) and put
// into raw mode. A pseudo-terminal always carries 8 data bits without parity: other
// sizes and parities are accepted there and have no effect. On failure returns nullptr and sets *error
// (ERROR_FILE_NOT_FOUND, ERROR_ACCESS_DENIED when the device is in use or forbidden, ERROR_GEN_FAILURE).
std::unique_ptr<CommDevice> open_termios_device(const std::string& path, DWORD* error,
                                                const CommSys& sys = comm_sys());

enum class TtyKind { kNone, kSerialPort, kPseudoTerminal };

// What the kernel's tty driver list (the text of /proc/tty/drivers) says the device
// (major, minor) is: a serial port, a pseudo-terminal slave, or neither.
TtyKind tty_driver_kind(std::string_view drivers, unsigned major, unsigned minor);

// The termios speed code of a standard rate, or 0 when the rate has none.
unsigned standard_speed_code(unsigned baud);

}  // namespace osc::win::detail
