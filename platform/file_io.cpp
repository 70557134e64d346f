#include "platform/file_io_internal.h"

#include <fcntl.h>
#include <unistd.h>

#include <system_error>

namespace osc::detail {
namespace {

int system_open(const char* path, int flags, mode_t mode) {
  return ::open(path, flags, mode);
}

}  // namespace

FileCalls system_file_calls() {
  return {&system_open, &::read,  &::write, &::fstat,  &::stat,
          &::fchmod,    &::fsync, &::close, &::rename, &::unlink};
}

FileCalls& file_calls() {
  static FileCalls calls = system_file_calls();
  return calls;
}

std::string ErrorText(int error) {
  return std::generic_category().message(error);
}

}  // namespace osc::detail
