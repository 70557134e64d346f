#pragma once
// The main window's side of the module exchanges: a port configured as the main
// window configures its own, a protocol on it and a host that records what the
// exchanges asked of the window.
#include "acquisition/protocol.h"
#include "seriallink/serial_com.h"

#include <string>
#include <vector>

namespace osc::test {

class FakeProtocolHost : public ProtocolHost {
 public:
  std::string PortName() override { return port; }
  void ApplyModelType(int modelIndex) override { models.push_back(modelIndex); }
  void TwoChannelModelFound() override { ++two_channel_found; }
  void ShowAnalogReadings(const std::string& text) override { readings.push_back(text); }
  bool CancelIoAvailable() override { return cancel_io; }

  std::string port = "SIM4";
  bool cancel_io = true;
  std::vector<int> models;
  int two_channel_found = 0;
  std::vector<std::string> readings;
};

struct ProtocolRig {
  ProtocolRig(bool overlapped, const std::string& port) {
    ConfigureMainWindowCom(com, [this](TSerialCom&) { protocol.PortActivated(); });
    com.SetOverlapped(overlapped);
    host.port = port;
    protocol.SetSleep([](win::DWORD) {});  // the module needs no settling time
  }
  // Pending reads of failed exchanges end with the port, before the protocol goes.
  ~ProtocolRig() { com.Close(); }

  TSerialCom com;
  ProtocolState state;
  FakeProtocolHost host;
  DeviceProtocol protocol{com, state, host};
};

}  // namespace osc::test
