#pragma once
// Internal to the registry: the machine's serial ports as HKLM\HARDWARE\DEVICEMAP\SERIALCOMM
// publishes them, found in sysfs the way the serial drivers register them.
#include <string>
#include <vector>

namespace osc::win::detail {

struct SerialDevice {
  std::string value_name;  // unique within SERIALCOMM, e.g. "\Device\ttyUSB0"
  std::string port;        // the name the serial layer opens, e.g. "/dev/ttyUSB0"
};

// ttyS<n> backed by a real UART (sysfs "type" not 0), ttyUSB<n> and ttyACM<n>, each with a
// device behind it in <sysfsRoot>/class/tty and a node in <devRoot>; ordered by kind and
// number; then the simulated modules "SIM4" and "SIM2".
std::vector<SerialDevice> ListSerialDevices(const std::string& sysfsRoot, const std::string& devRoot);

}  // namespace osc::win::detail
