#pragma once
// Internal to the platform layer: the system calls behind platform/read_file.h and
// platform/atomic_file.h, in one place so that tests can fail any one of them (a full
// disk, an I/O error, a short write, an interrupted call).
//
// Each call behaves as its POSIX namesake: -1 and errno on failure.
#include <sys/stat.h>
#include <sys/types.h>

#include <cstddef>
#include <string>

namespace osc::detail {

struct FileCalls {
  int (*open)(const char* path, int flags, mode_t mode);
  ssize_t (*read)(int fd, void* buffer, std::size_t size);
  ssize_t (*write)(int fd, const void* data, std::size_t size);
  int (*fstat)(int fd, struct stat* status);
  int (*stat)(const char* path, struct stat* status);
  int (*fchmod)(int fd, mode_t mode);
  int (*fsync)(int fd);
  int (*close)(int fd);
  int (*rename)(const char* from, const char* to);
  int (*unlink)(const char* path);
};

// The calls in use; tests replace them and put the originals back.
FileCalls& file_calls();
FileCalls system_file_calls();

// The system's text for an errno value, for messages.
std::string ErrorText(int error);

}  // namespace osc::detail
