#include "platform/atomic_file.h"

#include <dirent.h>
#include <fcntl.h>
#include <signal.h>
#include <sys/stat.h>
#include <unistd.h>
#include <atomic>
#include <cerrno>
#include <cstdio>
#include <cstdlib>
#include <ctime>
#include <set>

namespace osc {

int FileOps::open(const std::string& path, int flags, mode_t mode) {
  return ::open(path.c_str(), flags, mode);
}
ssize_t FileOps::read(int fd, void* buffer, std::size_t size) {
  return ::read(fd, buffer, size);
}
int FileOps::fstat(int fd, struct stat* status) {
  return ::fstat(fd, status);
}
ssize_t FileOps::write(int fd, const void* data, std::size_t size) {
  return ::write(fd, data, size);
}
int FileOps::fsync(int fd) {
  return ::fsync(fd);
}
int FileOps::close(int fd) {
  return ::close(fd);
}
int FileOps::rename(const std::string& from, const std::string& to) {
  return ::rename(from.c_str(), to.c_str());
}
int FileOps::rename_noreplace(const std::string& from, const std::string& to) {
  int r = ::renameat2(AT_FDCWD, from.c_str(), AT_FDCWD, to.c_str(), RENAME_NOREPLACE);
  if (r == 0 || (errno != EINVAL && errno != ENOSYS)) return r;
  // The file system cannot refuse to replace: a hard link can, where links work.
  if (::link(from.c_str(), to.c_str()) != 0) return -1;
  return ::unlink(from.c_str());
}
int FileOps::unlink(const std::string& path) {
  return ::unlink(path.c_str());
}
int FileOps::link(const std::string& from, const std::string& to) {
  return ::link(from.c_str(), to.c_str());
}
int FileOps::mkdir(const std::string& path, mode_t mode) {
  return ::mkdir(path.c_str(), mode);
}
int FileOps::access(const std::string& path, int mode) {
  return ::access(path.c_str(), mode);
}

FileOps& SystemFileOps() {
  static FileOps ops;
  return ops;
}

namespace {

std::string FolderOf(const std::string& path) {
  std::size_t slash = path.rfind('/');
  if (slash == std::string::npos) return ".";
  return slash == 0 ? "/" : path.substr(0, slash);
}

constexpr std::size_t kMaxNameBytes = 255;
constexpr const char* kTempMark = ".tmp-";

unsigned NextSerial() {
  static std::atomic<unsigned> counter{0};
  return ++counter;
}

int WriteAll(FileOps& ops, int fd, std::string_view data) {
  while (!data.empty()) {
    ssize_t n = ops.write(fd, data.data(), data.size());
    if (n < 0) {
      if (errno == EINTR) continue;
      return errno;
    }
    if (n == 0) return ENOSPC;  // nothing stored and no reason given: the disk is full
    data.remove_prefix(static_cast<std::size_t>(n));
  }
  return 0;
}

int FsyncRetrying(FileOps& ops, int fd) {
  while (ops.fsync(fd) != 0) {
    if (errno != EINTR) return errno;
  }
  return 0;
}

// Writes, syncs and closes the temporary file; it is closed whatever happens.
int FillTemp(FileOps& ops, int fd, std::string_view data) {
  int err = WriteAll(ops, fd, data);
  if (err == 0) err = FsyncRetrying(ops, fd);
  // A close interrupted by a signal has still released the descriptor, and the data is
  // already on disk; any other close error may be a lost write-back.
  if (ops.close(fd) != 0 && err == 0 && errno != EINTR) err = errno;
  return err;
}

void SyncFolder(FileOps& ops, const std::string& folder) {
  int fd = ops.open(folder, O_RDONLY | O_DIRECTORY | O_CLOEXEC, 0);
  if (fd < 0) return;
  FsyncRetrying(ops, fd);
  ops.close(fd);
}

std::string Timestamp() {
  std::time_t now = std::time(nullptr);
  std::tm tm{};
  localtime_r(&now, &tm);
  char buf[32];
  std::strftime(buf, sizeof buf, "%Y%m%d-%H%M%S", &tm);
  return buf;
}

// Creates, fills and syncs a new temporary file for `path`; its name in `temp`. On a
// failure nothing is left behind.
int WriteTemp(FileOps& ops, const std::string& path, std::string_view data, std::string& temp) {
  int fd = -1;
  for (int attempt = 0; attempt < 100 && fd < 0; ++attempt) {
    temp = TempNameFor(path, NextSerial());
    fd = ops.open(temp, O_WRONLY | O_CREAT | O_EXCL | O_CLOEXEC, 0666);
    if (fd < 0 && errno != EEXIST) return errno;
  }
  if (fd < 0) return EEXIST;
  const int err = FillTemp(ops, fd, data);
  if (err != 0) ops.unlink(temp);
  return err;
}

// The pid in a temporary file's name, or 0 when the name is not one.
pid_t TempOwner(const std::string& name) {
  if (name.size() < 2 || name[0] != '.') return 0;
  const std::size_t mark = name.rfind(kTempMark);
  if (mark == std::string::npos || mark == 0) return 0;
  const std::string rest = name.substr(mark + 5);
  const std::size_t dash = rest.find('-');
  if (dash == 0 || dash == std::string::npos || dash + 1 == rest.size()) return 0;
  if (rest.find_first_not_of("0123456789-") != std::string::npos ||
      rest.find('-', dash + 1) != std::string::npos)
    return 0;
  const long pid = std::strtol(rest.substr(0, dash).c_str(), nullptr, 10);
  return pid > 0 && pid < (1L << 22) ? static_cast<pid_t>(pid) : 0;
}

}  // namespace

std::string TempNameFor(const std::string& path, unsigned serial) {
  std::size_t slash = path.rfind('/');
  std::string folder = slash == std::string::npos ? "" : path.substr(0, slash + 1);
  std::string base = slash == std::string::npos ? path : path.substr(slash + 1);
  const std::string suffix = kTempMark + std::to_string(::getpid()) + "-" + std::to_string(serial);
  // A legal long target name must still save: the temporary name gives way, never the target's.
  const std::size_t room = kMaxNameBytes - 1 - suffix.size();
  if (base.size() > room) base.resize(room);
  return folder + "." + base + suffix;
}

void RemoveStaleTemps(const std::string& folder) {
  DIR* dir = ::opendir(folder.c_str());
  if (dir == nullptr) return;
  while (const dirent* entry = ::readdir(dir)) {
    const pid_t pid = TempOwner(entry->d_name);
    if (pid == 0 || pid == ::getpid()) continue;
    if (::kill(pid, 0) != 0 && errno == ESRCH) ::unlinkat(::dirfd(dir), entry->d_name, 0);
  }
  ::closedir(dir);
}

int WriteFileAtomically(FileOps& ops, const std::string& path, std::string_view data) {
  std::string failed;
  return WriteFilesAtomically(ops, {{path, data}}, failed);
}

int WriteFilesAtomically(FileOps& ops, const std::vector<TFileContent>& files, std::string& failedPath) {
  std::set<std::string> folders;
  for (const auto& f : files)
    folders.insert(FolderOf(f.Path));
  for (const auto& folder : folders)
    RemoveStaleTemps(folder);
  std::vector<std::string> temps;
  auto discard = [&](std::size_t from) {
    for (std::size_t k = from; k < temps.size(); ++k)
      ops.unlink(temps[k]);
  };
  for (const auto& f : files) {
    std::string temp;
    if (const int err = WriteTemp(ops, f.Path, f.Data, temp); err != 0) {
      discard(0);
      failedPath = f.Path;
      return err;
    }
    temps.push_back(temp);
  }
  // Renames within a folder hardly fail, but a set is all or nothing: the old files stay
  // reachable under links until every new one is in place.
  std::vector<std::string> backups(files.size());
  std::vector<bool> wasNew(files.size(), false);
  // One file needs none: its rename either happens or not.
  for (std::size_t k = 0; files.size() > 1 && k < files.size(); ++k) {
    const std::string backup = TempNameFor(files[k].Path, NextSerial());
    if (ops.link(files[k].Path, backup) == 0) {
      backups[k] = backup;
    } else {
      wasNew[k] = errno == ENOENT;
    }
  }
  auto dropBackups = [&] {
    for (const auto& b : backups)
      if (!b.empty()) ops.unlink(b);
  };
  for (std::size_t k = 0; k < files.size(); ++k) {
    if (ops.rename(temps[k], files[k].Path) != 0) {
      const int err = errno;
      for (std::size_t j = 0; j < k; ++j) {
        if (wasNew[j]) {
          ops.unlink(files[j].Path);
        } else if (!backups[j].empty() && ops.rename(backups[j], files[j].Path) == 0) {
          backups[j].clear();
        }
      }
      discard(k);
      dropBackups();
      failedPath = files[k].Path;
      return err;
    }
  }
  dropBackups();
  for (const auto& folder : folders)
    SyncFolder(ops, folder);
  return 0;
}

int MoveAside(FileOps& ops, const std::string& path, std::string& newPath) {
  std::string base = path + ".broken-" + Timestamp();
  for (int n = 1; n < 1000; ++n) {
    newPath = n == 1 ? base : base + "-" + std::to_string(n);
    if (ops.rename_noreplace(path, newPath) == 0) {
      SyncFolder(ops, FolderOf(path));
      return 0;
    }
    if (errno != EEXIST) return errno;
  }
  return EEXIST;
}

int MakeFolders(FileOps& ops, const std::string& folder) {
  if (folder.empty()) return ENOENT;
  for (std::size_t pos = 1; pos <= folder.size(); ++pos) {
    if (pos < folder.size() && folder[pos] != '/') continue;
    if (ops.mkdir(folder.substr(0, pos), 0700) != 0 && errno != EEXIST) return errno;
  }
  return 0;
}

TAtomicFileWriter::TAtomicFileWriter(FileOps& ops, std::string path) : ops_(ops), path_(std::move(path)) {
  for (int attempt = 0; attempt < 100 && fd_ < 0; ++attempt) {
    temp_ = TempNameFor(path_, NextSerial());
    fd_ = ops_.open(temp_, O_WRONLY | O_CREAT | O_EXCL | O_CLOEXEC, 0666);
    if (fd_ < 0 && errno != EEXIST) {
      error_ = errno;
      break;
    }
  }
  if (fd_ < 0 && error_ == 0) error_ = EEXIST;
  if (fd_ < 0) temp_.clear();
}

TAtomicFileWriter::~TAtomicFileWriter() {
  if (committed_) return;
  if (fd_ >= 0) ops_.close(fd_);
  if (!temp_.empty()) ops_.unlink(temp_);
}

int TAtomicFileWriter::Write(std::string_view data) {
  if (error_ == 0 && !committed_) error_ = WriteAll(ops_, fd_, data);
  return error_;
}

int TAtomicFileWriter::Commit() {
  if (error_ != 0 || committed_) return error_;
  error_ = FsyncRetrying(ops_, fd_);
  // A close interrupted by a signal has still released the descriptor, and the data is
  // already on disk; any other close error may be a lost write-back.
  if (ops_.close(fd_) != 0 && error_ == 0 && errno != EINTR) error_ = errno;
  fd_ = -1;
  if (error_ == 0 && ops_.rename(temp_, path_) != 0) error_ = errno;
  if (error_ != 0) return error_;
  committed_ = true;
  SyncFolder(ops_, FolderOf(path_));
  return 0;
}

}  // namespace osc
