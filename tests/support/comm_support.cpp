#include "support/comm_support.h"

#include "platform/kernel/kernel_object.h"

#include <fcntl.h>
#include <poll.h>
#include <pty.h>
#include <unistd.h>
#include <atomic>
#include <cerrno>
#include <chrono>
#include <stdexcept>
#include <thread>

namespace osc::test {

using namespace osc::win;

Bytes Pattern(std::size_t count, unsigned seed) {
  Bytes out(count);
  std::uint32_t x = 2463534242u ^ (seed * 2654435761u);
  for (auto& b : out) {
    x ^= x << 13;
    x ^= x >> 17;
    x ^= x << 5;
    b = static_cast<std::uint8_t>(x);
  }
  return out;
}

bool WaitUntil(const std::function<bool()>& condition, int timeoutMs) {
  auto end = std::chrono::steady_clock::now() + std::chrono::milliseconds(timeoutMs);
  while (!condition()) {
    if (std::chrono::steady_clock::now() > end) return false;
    std::this_thread::sleep_for(std::chrono::milliseconds(1));
  }
  return true;
}

PtyPair::PtyPair() {
  char name[128] = {};
  if (openpty(&master_, &slave_, name, nullptr, nullptr) != 0) throw std::runtime_error("openpty failed");
  path_ = name;
  fcntl(master_, F_SETFL, fcntl(master_, F_GETFL) | O_NONBLOCK);
  fcntl(master_, F_SETFD, FD_CLOEXEC);
  fcntl(slave_, F_SETFD, FD_CLOEXEC);
}

PtyPair::~PtyPair() {
  if (master_ >= 0) close(master_);
  if (slave_ >= 0) close(slave_);
}

termios PtyPair::slave_termios() const {
  termios t{};
  tcgetattr(slave_, &t);
  return t;
}

void PtyPair::Send(const Bytes& bytes) {
  std::size_t sent = 0;
  while (sent < bytes.size()) {
    ssize_t n = write(master_, bytes.data() + sent, bytes.size() - sent);
    if (n > 0) {
      sent += static_cast<std::size_t>(n);
    } else if (n < 0 && (errno == EAGAIN || errno == EINTR)) {
      pollfd p{master_, POLLOUT, 0};
      if (poll(&p, 1, 10000) == 0) throw std::runtime_error("pty master does not drain");
    } else {
      throw std::runtime_error("pty master write failed");
    }
  }
}

Bytes PtyPair::Receive(std::size_t count, int timeoutMs) {
  Bytes out;
  auto end = std::chrono::steady_clock::now() + std::chrono::milliseconds(timeoutMs);
  while (out.size() < count) {
    std::uint8_t buffer[4096];
    ssize_t n = read(master_, buffer, std::min(sizeof buffer, count - out.size()));
    if (n > 0) {
      out.insert(out.end(), buffer, buffer + n);
      continue;
    }
    auto left = std::chrono::duration_cast<std::chrono::milliseconds>(end - std::chrono::steady_clock::now());
    if (left.count() <= 0) break;
    pollfd p{master_, POLLIN, 0};
    poll(&p, 1, static_cast<int>(left.count()));
  }
  return out;
}

void PtyPair::CloseMaster() {
  close(master_);
  master_ = -1;
}

namespace {
std::atomic<std::int64_t> manual_now{1000000};
}

ManualClock::ManualClock() : sys_(detail::real_comm_sys()) {
  sys_.now_ms = [] { return manual_now.load(); };
  detail::set_comm_sys(&sys_);
}

ManualClock::~ManualClock() {
  detail::set_comm_sys(nullptr);
}

void ManualClock::Advance(std::int64_t ms) {
  manual_now += ms;
}

std::int64_t ManualClock::Now() const {
  return manual_now.load();
}

detail::CommPort& PortOf(HANDLE handle) {
  auto port = detail::lookup_as<detail::CommPort>(handle);
  if (!port) throw std::runtime_error("not a port handle");
  return *port;
}

void Sync(HANDLE handle) {
  PortOf(handle).sync();
}

bool WaitReceived(HANDLE handle, std::uint64_t count) {
  return WaitUntil([&] { return PortOf(handle).stats().received >= count; });
}

bool WaitPendingReads(HANDLE handle, std::size_t count) {
  return WaitUntil([&] { return PortOf(handle).stats().pending_reads >= count; });
}

}  // namespace osc::test
