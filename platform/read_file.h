#pragma once
// A regular file opened for reading, for loaders that must check a file's size before
// they read it. Every failure raises osc::Exception with a message that names the file
// (path as given) and the system's reason; nothing blocks: a pipe, a device or a
// folder is refused when opened, so a loader never waits on a writer or reads an
// endless device.
#include "platform/atomic_file.h"

#include <cstdint>
#include <span>
#include <string>

namespace osc {

class TReadFile {
 public:
  // Raises "Nelze otevřít soubor "<path>": <reason>". `ops` must outlive the file.
  TReadFile(std::string path, FileOps& ops = SystemFileOps());
  ~TReadFile();
  TReadFile(const TReadFile&) = delete;
  TReadFile& operator=(const TReadFile&) = delete;

  const std::string& Path() const { return path_; }
  // Size in bytes when the file was opened.
  std::uint64_t Size() const { return size_; }
  // Fills `into` from the current position; fewer bytes only at the end of the file.
  // Raises "Chyba při čtení souboru "<path>": <reason>".
  std::size_t Read(std::span<std::uint8_t> into);

 private:
  std::string path_;
  FileOps& ops_;
  int fd_ = -1;
  std::uint64_t size_ = 0;
};

}  // namespace osc
