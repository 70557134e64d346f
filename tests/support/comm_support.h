#pragma once
// Helpers for tests of the serial layer: a pseudo-terminal whose master plays the far
// end of the line, byte patterns, a hand-driven clock for the port engine, and waits
// on conditions with generous time-outs.
#include "platform/comm/comm_engine.h"
#include "platform/comm/comm_sys.h"
#include "platform/win32.h"

#include <termios.h>
#include <cstddef>
#include <cstdint>
#include <functional>
#include <string>
#include <vector>

namespace osc::test {

using Bytes = std::vector<std::uint8_t>;

// Distinct, non-repeating-looking bytes: a fault that reorders or drops shows.
Bytes Pattern(std::size_t count, unsigned seed = 0);

// True once `condition` holds, false when it did not within `timeoutMs`.
bool WaitUntil(const std::function<bool()>& condition, int timeoutMs = 10000);

class PtyPair {
 public:
  PtyPair();
  ~PtyPair();
  PtyPair(const PtyPair&) = delete;
  PtyPair& operator=(const PtyPair&) = delete;

  // The device path the serial layer opens.
  const std::string& path() const { return path_; }
  int master() const { return master_; }
  // Line settings as the slave has them now.
  termios slave_termios() const;

  // The far end sends (blocks until the slave side took everything).
  void Send(const Bytes& bytes);
  // The far end receives exactly `count` bytes, or fewer when they do not come in time.
  Bytes Receive(std::size_t count, int timeoutMs = 10000);
  // Unplugs the line: the slave side sees a hang-up.
  void CloseMaster();

 private:
  int master_ = -1;
  int slave_ = -1;
  std::string path_;
};

// Runs the port engine of ports opened while it lives on a clock the test advances.
class ManualClock {
 public:
  ManualClock();
  ~ManualClock();
  ManualClock(const ManualClock&) = delete;
  ManualClock& operator=(const ManualClock&) = delete;
  void Advance(std::int64_t ms);
  std::int64_t Now() const;

 private:
  osc::win::detail::CommSys sys_;
};

osc::win::detail::CommPort& PortOf(osc::win::HANDLE handle);
// Lets the port's service thread take everything the device delivered so far.
void Sync(osc::win::HANDLE handle);
// Waits until the port has taken `count` bytes from the device in all.
bool WaitReceived(osc::win::HANDLE handle, std::uint64_t count);
// Waits until `count` reads are queued on the port.
bool WaitPendingReads(osc::win::HANDLE handle, std::size_t count);

}  // namespace osc::test
