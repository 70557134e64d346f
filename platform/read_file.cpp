#include "platform/read_file.h"

#include "platform/errors.h"
#include "platform/locale/locale.h"

#include <fcntl.h>

#include <cerrno>
#include <system_error>

namespace osc {
namespace {

std::string error_text(int error) {
  return std::generic_category().message(error);
}

[[noreturn]] void raise_open_error(const std::string& path, const std::string& reason) {
  throw Exception(Format("Nelze otevřít soubor \"%s\": %s", {path, reason}));
}

}  // namespace

TReadFile::TReadFile(std::string path, FileOps& ops) : path_(std::move(path)), ops_(ops) {
  // O_NONBLOCK: opening a pipe without a writer must not wait; regular files ignore it.
  fd_ = ops_.open(path_, O_RDONLY | O_CLOEXEC | O_NONBLOCK, 0);
  if (fd_ < 0) raise_open_error(path_, error_text(errno));
  struct stat status {};
  if (ops_.fstat(fd_, &status) != 0) {
    const int error = errno;
    ops_.close(fd_);
    raise_open_error(path_, error_text(error));
  }
  if (!S_ISREG(status.st_mode)) {
    ops_.close(fd_);
    raise_open_error(path_, "není to obyčejný soubor");
  }
  size_ = static_cast<std::uint64_t>(status.st_size);
}

TReadFile::~TReadFile() {
  ops_.close(fd_);
}

std::size_t TReadFile::Read(std::span<std::uint8_t> into) {
  std::size_t done = 0;
  while (done < into.size()) {
    const ssize_t n = ops_.read(fd_, into.data() + done, into.size() - done);
    if (n == 0) break;
    if (n < 0) {
      if (errno == EINTR) continue;
      throw Exception(Format("Chyba při čtení souboru \"%s\": %s", {path_, error_text(errno)}));
    }
    done += static_cast<std::size_t>(n);
  }
  return done;
}

}  // namespace osc
