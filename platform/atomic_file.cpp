#include "platform/atomic_file.h"

#include "platform/errors.h"
#include "platform/file_io_internal.h"
#include "platform/locale.h"

#include <fcntl.h>

#include <cerrno>
#include <filesystem>
#include <random>

namespace osc {
namespace {

// Leaves room for the dot and the suffix within the usual 255-byte name limit.
constexpr std::size_t kMaxTempBase = 200;
constexpr int kTempAttempts = 100;

[[noreturn]] void raise_save_error(const std::string& shown, int error) {
  throw Exception(Format("Soubor \"%s\" nelze uložit: %s", {shown, detail::ErrorText(error)}));
}

std::string folder_of(const std::string& path) {
  const auto slash = path.rfind('/');
  if (slash == std::string::npos) return ".";
  return slash == 0 ? "/" : path.substr(0, slash);
}

std::string base_of(const std::string& path) {
  const auto slash = path.rfind('/');
  return slash == std::string::npos ? path : path.substr(slash + 1);
}

// A link is followed, so saving through it replaces the file it names, not the link.
std::string resolve_link(const std::string& path) {
  std::error_code ec;
  if (!std::filesystem::is_symlink(path, ec)) return path;
  auto target = std::filesystem::canonical(path, ec);
  return ec ? path : target.string();
}

std::string temp_name(const std::string& target) {
  static thread_local std::mt19937_64 engine{std::random_device{}()};
  static constexpr char kDigits[] = "0123456789abcdefghijklmnopqrstuvwxyzABCDEFGHIJKLMNOPQRSTUVWXYZ";
  std::string suffix(6, '0');
  for (char& c : suffix)
    c = kDigits[engine() % (sizeof kDigits - 1)];
  return folder_of(target) + "/." + base_of(target).substr(0, kMaxTempBase) + "." + suffix;
}

int open_temp(const std::string& target, std::string& temp) {
  for (int attempt = 1;; ++attempt) {
    temp = temp_name(target);
    const int fd = detail::file_calls().open(temp.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_CLOEXEC, 0666);
    if (fd >= 0 || errno != EEXIST || attempt == kTempAttempts) return fd;
  }
}

// 0 or the errno of the failure. A write that stores fewer bytes than asked is
// continued; one that stores none is a full disk.
int write_all(int fd, std::span<const std::uint8_t> data) {
  std::size_t done = 0;
  while (done < data.size()) {
    const ssize_t n = detail::file_calls().write(fd, data.data() + done, data.size() - done);
    if (n < 0 && errno == EINTR) continue;
    if (n < 0) return errno;
    if (n == 0) return ENOSPC;
    done += static_cast<std::size_t>(n);
  }
  return 0;
}

// 0 or the errno of the failure: the temporary file holds `data` on the disk.
int fill_temp(int fd, const std::string& target, std::span<const std::uint8_t> data) {
  auto& calls = detail::file_calls();
  struct stat old {};
  if (calls.stat(target.c_str(), &old) == 0) {
    calls.fchmod(fd, old.st_mode & 07777);  // best effort: some file systems have no modes
  }
  int error = write_all(fd, data);
  if (error == 0 && calls.fsync(fd) != 0) error = errno;
  if (calls.close(fd) != 0 && error == 0) error = errno;
  return error;
}

void sync_folder(const std::string& folder, const std::string& shown) {
  auto& calls = detail::file_calls();
  int error = 0;
  const int fd = calls.open(folder.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC, 0);
  if (fd < 0) {
    error = errno;
  } else {
    // EINVAL: the file system cannot flush folders; there is nothing more to do.
    if (calls.fsync(fd) != 0 && errno != EINVAL) error = errno;
    calls.close(fd);
  }
  if (error != 0) {
    throw Exception(Format("Soubor \"%s\" byl zapsán, ale systém nepotvrdil jeho uložení na disk: %s",
                           {shown, detail::ErrorText(error)}));
  }
}

}  // namespace

void SaveFileAtomically(const std::string& path, std::span<const std::uint8_t> data) {
  const std::string target = resolve_link(path);
  auto& calls = detail::file_calls();
  std::string temp;
  const int fd = open_temp(target, temp);
  if (fd < 0) raise_save_error(path, errno);
  int error = fill_temp(fd, target, data);
  if (error == 0 && calls.rename(temp.c_str(), target.c_str()) != 0) error = errno;
  if (error != 0) {
    calls.unlink(temp.c_str());
    raise_save_error(path, error);
  }
  sync_folder(folder_of(target), path);
}

}  // namespace osc
