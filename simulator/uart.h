#pragma once
// What a UART set to one line rate makes of bytes sent at another: the sender's frames
// (start bit, 8 data bits LSB first, stop bit, back to back, idle line after the last)
// are sampled by a receiver at its own rate. Used for both directions of the simulated
// line, so a host at the wrong rate sees the garbage and framing errors a real one sees.
#include "platform/win32.h"

#include <cstdint>
#include <span>
#include <vector>

namespace osc::sim {

// Appends the received bytes to `out`; sets *framing_error when a stop bit was low.
// Equal rates return the bytes unchanged.
void Reclock(std::span<const std::uint8_t> sent, win::DWORD tx_baud, win::DWORD rx_baud,
             std::vector<std::uint8_t>& out, bool* framing_error);

}  // namespace osc::sim
