#include "platform/comm/comm_sys.h"

#include <fcntl.h>
#include <sys/eventfd.h>
#include <sys/file.h>
#include <sys/ioctl.h>
#include <unistd.h>
#include <atomic>
#include <ctime>

namespace osc::win::detail {
namespace {

std::int64_t monotonic_ms() {
  timespec ts{};
  clock_gettime(CLOCK_MONOTONIC, &ts);
  return std::int64_t{ts.tv_sec} * 1000 + ts.tv_nsec / 1000000;
}

constexpr CommSys kReal{
    .open = [](const char* path, int flags) { return ::open(path, flags); },
    .close = ::close,
    .read = ::read,
    .write = ::write,
    .poll = ::poll,
    .ioctl = [](int fd, unsigned long request, void* argument) { return ::ioctl(fd, request, argument); },
    .tcgetattr = ::tcgetattr,
    .tcsetattr = ::tcsetattr,
    .tcflush = ::tcflush,
    .flock = ::flock,
    .stat = [](const char* path, struct stat* st) { return ::stat(path, st); },
    .fstat = ::fstat,
    .eventfd = [](unsigned initial, int flags) { return ::eventfd(initial, flags); },
    .now_ms = monotonic_ms,
};

std::atomic<const CommSys*> current{&kReal};

}  // namespace

const CommSys& real_comm_sys() {
  return kReal;
}
const CommSys& comm_sys() {
  return *current.load();
}
void set_comm_sys(const CommSys* sys) {
  current.store(sys ? sys : &kReal);
}

}  // namespace osc::win::detail
