#pragma once
// Faults on demand at the file seam (platform/file_io_internal.h): the N-th call fails
// with a chosen errno, writes store fewer bytes than asked, calls are interrupted
// (EINTR) once before they run. Calls are counted, so a test can fail each one in turn.
// One instance at a time; the destructor puts the system calls back.
#include "platform/file_io_internal.h"

#include <cerrno>
#include <cstddef>
#include <string>
#include <vector>

namespace osc::test {

class FileFaults {
 public:
  enum Call { Open, Read, Write, Fstat, Stat, Fchmod, Fsync, Close, Rename, Unlink, Any };

  FileFaults() : saved_(detail::file_calls()) {
    active() = this;
    detail::file_calls() = {&open_,   &read_,  &write_, &fstat_,  &stat_,
                            &fchmod_, &fsync_, &close_, &rename_, &unlink_};
  }
  ~FileFaults() {
    detail::file_calls() = saved_;
    active() = nullptr;
  }
  FileFaults(const FileFaults&) = delete;
  FileFaults& operator=(const FileFaults&) = delete;

  // The n-th call (from 1, counted from now) of `kind` fails once with `error`.
  void FailNth(int n, int error, Call kind = Any) {
    failAt_ = n;
    failKind_ = kind;
    error_ = error;
    counts_.assign(Any + 1, 0);
  }
  // Every write stores at most `bytes` (0: as asked).
  void LimitWrites(std::size_t bytes) { writeLimit_ = bytes; }
  // Every call of `kind` first fails once with EINTR.
  void Interrupt(Call kind) { interrupt_ = kind; }

  // Calls made so far (all kinds), and of which kind each was.
  const std::vector<Call>& Log() const { return log_; }
  int Failures() const { return failures_; }

 private:
  static FileFaults*& active() {
    static FileFaults* instance = nullptr;
    return instance;
  }
  // true when this call is to fail (errno is set).
  static bool fault(Call kind) {
    FileFaults& f = *active();
    if (f.interrupt_ == kind && !f.interrupted_) {
      f.interrupted_ = true;
      errno = EINTR;
      return true;
    }
    f.interrupted_ = false;
    f.log_.push_back(kind);
    if (f.failAt_ == 0) return false;
    const int any = ++f.counts_[Any];
    const int own = ++f.counts_[kind];
    const bool hit = f.failKind_ == Any ? any == f.failAt_ : (f.failKind_ == kind && own == f.failAt_);
    if (!hit) return false;
    ++f.failures_;
    errno = f.error_;
    return true;
  }
  static const detail::FileCalls& real() { return active()->saved_; }

  static int open_(const char* path, int flags, mode_t mode) {
    return fault(Open) ? -1 : real().open(path, flags, mode);
  }
  static ssize_t read_(int fd, void* buffer, std::size_t size) {
    return fault(Read) ? -1 : real().read(fd, buffer, size);
  }
  static ssize_t write_(int fd, const void* data, std::size_t size) {
    if (fault(Write)) return -1;
    const std::size_t limit = active()->writeLimit_;
    return real().write(fd, data, limit != 0 && size > limit ? limit : size);
  }
  static int fstat_(int fd, struct stat* status) { return fault(Fstat) ? -1 : real().fstat(fd, status); }
  static int stat_(const char* path, struct stat* status) {
    return fault(Stat) ? -1 : real().stat(path, status);
  }
  static int fchmod_(int fd, mode_t mode) { return fault(Fchmod) ? -1 : real().fchmod(fd, mode); }
  static int fsync_(int fd) { return fault(Fsync) ? -1 : real().fsync(fd); }
  static int close_(int fd) {
    // The descriptor is released even when close reports an error, as on Linux.
    const bool failed = fault(Close);
    const int result = real().close(fd);
    return failed ? -1 : result;
  }
  static int rename_(const char* from, const char* to) {
    return fault(Rename) ? -1 : real().rename(from, to);
  }
  static int unlink_(const char* path) { return fault(Unlink) ? -1 : real().unlink(path); }

  detail::FileCalls saved_;
  int failAt_ = 0;
  Call failKind_ = Any;
  int error_ = 0;
  std::vector<int> counts_ = std::vector<int>(Any + 1, 0);
  std::size_t writeLimit_ = 0;
  Call interrupt_ = Any;
  bool interrupted_ = false;
  std::vector<Call> log_;
  int failures_ = 0;
};

}  // namespace osc::test
