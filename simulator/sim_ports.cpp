// Kept apart from the module so that code using only the simulator's model and device
// does not pull in the serial engine.
#include "platform/comm/comm.h"
#include "simulator/simulated_module.h"

namespace osc::sim {

void RegisterSimulatedPorts() {
  for (const std::string& name : SimulatedPortNames()) {
    const char* what = name == "SIM2" ? "simulovaný modul, 2 kanály" : "simulovaný modul, 4 kanály";
    win::RegisterCommDevice(
        name, [name](const std::string&, DWORD* error) { return SimulatedModuleFor(name).open(error); },
        what);
  }
}

}  // namespace osc::sim
