#pragma once
// Large blocks straight from the system's virtual memory, as the sample stores use
// them: one block per recording, zero-filled, read/write, released as a whole.
#include <cstddef>

namespace osc::win {

// nullptr (last error ERROR_NOT_ENOUGH_MEMORY) when the system refuses or size is 0.
void* VirtualAlloc(std::size_t size);
// Releases a block of VirtualAlloc with the size it was allocated with; nullptr is ignored.
void VirtualFree(void* block, std::size_t size);

}  // namespace osc::win
