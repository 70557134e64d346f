#pragma once
// Qt key numbers as Windows virtual-key codes (platform/virtual_keys.h); 0 for keys
// without one.
#include <cstdint>

namespace osc {

std::uint16_t VirtualKeyFromQt(int qtKey);

}  // namespace osc
