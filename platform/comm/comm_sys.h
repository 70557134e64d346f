#pragma once
// Internal to the platform layer: the one seam through which the serial layer reaches
// the operating system. Every system call of the termios device and of the port engine
// goes through the table that was current when the port was opened, so tests can make
// calls fail (EINTR, EAGAIN, EIO) or run the engine on a clock they advance by hand.
#include <poll.h>
#include <sys/stat.h>
#include <sys/types.h>
#include <termios.h>
#include <cstdint>

namespace osc::win::detail {

struct CommSys {
  int (*open)(const char* path, int flags);
  int (*close)(int fd);
  ssize_t (*read)(int fd, void* buffer, std::size_t count);
  ssize_t (*write)(int fd, const void* buffer, std::size_t count);
  int (*poll)(pollfd* fds, nfds_t count, int timeoutMs);
  int (*ioctl)(int fd, unsigned long request, void* argument);
  int (*tcgetattr)(int fd, termios* t);
  int (*tcsetattr)(int fd, int action, const termios* t);
  int (*tcflush)(int fd, int queue);
  int (*flock)(int fd, int operation);
  int (*stat)(const char* path, struct stat* st);
  int (*fstat)(int fd, struct stat* st);
  int (*eventfd)(unsigned initial, int flags);
  // Milliseconds on a monotonic clock; all time-outs are measured on it.
  std::int64_t (*now_ms)();
};

// The table of the real system calls (CLOCK_MONOTONIC for now_ms).
const CommSys& real_comm_sys();
// The table that ports opened from now on use.
const CommSys& comm_sys();
// Replaces the table for ports opened from now on; nullptr restores the real one. The
// table must outlive every port opened with it.
void set_comm_sys(const CommSys* sys);

}  // namespace osc::win::detail
