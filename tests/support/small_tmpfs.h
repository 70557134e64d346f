#pragma once
// A tiny file system of its own (tmpfs of a given size) for full-disk tests. Mounting
// needs root (or a private mount namespace); when the system refuses, Mounted() is
// false and the test should skip.
#include "support/temp_dir.h"

#include <sys/mount.h>

#include <string>

namespace osc::test {

class SmallTmpfs {
 public:
  explicit SmallTmpfs(std::size_t bytes) {
    const std::string options = "size=" + std::to_string(bytes);
    mounted_ = mount("tmpfs", dir_.path().c_str(), "tmpfs", 0, options.c_str()) == 0;
  }
  ~SmallTmpfs() {
    if (mounted_) umount2(dir_.path().c_str(), MNT_DETACH);
  }
  SmallTmpfs(const SmallTmpfs&) = delete;
  SmallTmpfs& operator=(const SmallTmpfs&) = delete;

  bool Mounted() const { return mounted_; }
  std::string file(const std::string& name) const { return dir_.file(name); }
  const std::string& path() const { return dir_.path(); }

 private:
  TempDir dir_;
  bool mounted_ = false;
};

}  // namespace osc::test
