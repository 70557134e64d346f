#pragma once
// A registry of its own for one test: a scratch folder for the root files, an empty fake
// sysfs and /dev, optionally a FileOps. The user's own settings are never touched.
#include "platform/registry/registry_store.h"
#include "support/temp_dir.h"

#include <cerrno>
#include <filesystem>
#include <fstream>
#include <sstream>

namespace osc::test {

class ScratchRegistry {
 public:
  explicit ScratchRegistry(FileOps* files = nullptr) : files_(files) {
    std::filesystem::create_directories(sysfs() + "/class/tty");
    std::filesystem::create_directories(dev());
    restart();
  }
  ~ScratchRegistry() {
    // Whatever runs after this test must not reach a real folder by accident.
    static RefusingOps refusing;
    win::detail::ResetRegistry({"/nonexistent/osc-test-registry", "/nonexistent", "/nonexistent", &refusing});
  }
  ScratchRegistry(const ScratchRegistry&) = delete;
  ScratchRegistry& operator=(const ScratchRegistry&) = delete;

  // Forgets the in-memory registry, as a program start does; the files stay.
  void restart() { win::detail::ResetRegistry({folder(), sysfs(), dev(), files_}); }
  void set_files(FileOps* files) {
    files_ = files;
    restart();
  }

  std::string folder() const { return dir_.file("registry"); }
  std::string file() const { return folder() + "/HKEY_LOCAL_MACHINE.reg"; }
  std::string sysfs() const { return dir_.file("sys"); }
  std::string dev() const { return dir_.file("dev"); }
  const TempDir& dir() const { return dir_; }

  // A tty as sysfs shows it: `device` gives it a device link, `uartType` a "type" file
  // (negative: none), `node` a device node in the fake /dev.
  void add_tty(const std::string& name, bool device, int uartType, bool node) {
    std::string d = sysfs() + "/class/tty/" + name;
    std::filesystem::create_directories(d);
    if (device) std::filesystem::create_directories(d + "/device");
    if (uartType >= 0) std::ofstream(d + "/type") << uartType << "\n";
    if (node) std::ofstream(dev() + "/" + name).flush();
  }

  void write_file(const std::string& text) const {
    std::filesystem::create_directories(folder());
    std::ofstream(file(), std::ios::binary) << text;
  }
  std::string read_file() const { return ReadText(file()); }

  static std::string ReadText(const std::string& path) {
    std::ifstream in(path, std::ios::binary);
    std::ostringstream s;
    s << in.rdbuf();
    return s.str();
  }

 private:
  struct RefusingOps : FileOps {
    int open(const std::string&, int, mode_t) override { return Refuse(); }
    int mkdir(const std::string&, mode_t) override { return Refuse(); }
    int access(const std::string&, int) override { return Refuse(); }
    static int Refuse() {
      errno = EACCES;
      return -1;
    }
  };

  TempDir dir_;
  FileOps* files_;
};

}  // namespace osc::test
