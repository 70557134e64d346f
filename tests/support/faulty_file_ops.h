#pragma once
// FileOps for tests: the real calls, except that a chosen call fails (or kills the
// process, to play a crash), writes can be cut short, and every call is counted.
#include "platform/atomic_file.h"

#include <cerrno>
#include <csignal>
#include <cstddef>
#include <cstdint>

namespace osc::test {

class FaultyFileOps : public FileOps {
 public:
  // The calls of the save path (and read and fstat of a load), counted together in the
  // order they are made.
  enum class Call { Open, Read, Fstat, Write, Fsync, Close, Rename };

  // The n-th save-path call (from 1) fails with `error`; 0 disables.
  void fail_call(int n, int error) {
    fail_at_ = n;
    error_ = error;
    kill_ = false;
  }
  // The n-th save-path call kills the process before it is made.
  void kill_at_call(int n) {
    fail_at_ = n;
    kill_ = true;
  }
  int save_calls() const { return count_; }
  // Each write stores at most this many bytes.
  std::size_t max_write = SIZE_MAX;
  // Each read first fails once with EINTR, as when a signal arrives.
  bool interrupt_reads = false;
  // Reads made so far, the interrupted ones not counted.
  int reads() const { return reads_; }
  // Access to anything answers EACCES, as for a folder the user cannot write.
  bool deny_access = false;
  bool deny_rename_aside = false;

  int open(const std::string& path, int flags, mode_t mode) override {
    return step() ? FileOps::open(path, flags, mode) : -1;
  }
  ssize_t read(int fd, void* buffer, std::size_t size) override {
    if (interrupt_reads && !interrupted_) {
      interrupted_ = true;
      errno = EINTR;
      return -1;
    }
    interrupted_ = false;
    ++reads_;
    return step() ? FileOps::read(fd, buffer, size) : -1;
  }
  int fstat(int fd, struct stat* status) override { return step() ? FileOps::fstat(fd, status) : -1; }
  ssize_t write(int fd, const void* data, std::size_t size) override {
    return step() ? FileOps::write(fd, data, size < max_write ? size : max_write) : -1;
  }
  int fsync(int fd) override { return step() ? FileOps::fsync(fd) : -1; }
  int close(int fd) override {
    bool ok = step();
    int r = FileOps::close(fd);  // the descriptor goes either way
    return ok ? r : -1;
  }
  int rename(const std::string& from, const std::string& to) override {
    return step() ? FileOps::rename(from, to) : -1;
  }
  int rename_noreplace(const std::string& from, const std::string& to) override {
    if (deny_rename_aside) {
      errno = EACCES;
      return -1;
    }
    return FileOps::rename_noreplace(from, to);
  }
  int access(const std::string& path, int mode) override {
    if (deny_access) {
      errno = EACCES;
      return -1;
    }
    return FileOps::access(path, mode);
  }

 private:
  bool step() {
    if (++count_ != fail_at_) return true;
    if (kill_) std::raise(SIGKILL);
    errno = error_;
    return false;
  }

  int count_ = 0;
  int reads_ = 0;
  bool interrupted_ = false;
  int fail_at_ = 0;
  int error_ = EIO;
  bool kill_ = false;
};

}  // namespace osc::test
