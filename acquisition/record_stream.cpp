#include "acquisition/record_stream.h"

#include "acquisition/record_file.h"
#include "platform/errors.h"

#include <fcntl.h>
#include <unistd.h>
#include <algorithm>
#include <cerrno>
#include <cstdio>
#include <system_error>

namespace osc {

namespace {

constexpr double kSecondsPerDay = 86400.0;

bool WriteAll(int fd, const std::uint8_t* data, std::size_t size) {
  while (size > 0) {
    const ssize_t n = ::write(fd, data, size);
    if (n < 0) {
      if (errno == EINTR) continue;
      return false;
    }
    if (n == 0) {
      errno = ENOSPC;
      return false;
    }
    data += n;
    size -= static_cast<std::size_t>(n);
  }
  return true;
}

std::string DirectoryOf(const std::string& path) {
  const auto slash = path.rfind('/');
  if (slash == std::string::npos) return ".";
  return slash == 0 ? "/" : path.substr(0, slash);
}

}  // namespace

TRecordStream::TRecordStream(std::string chosen, std::uint32_t setSamples)
    : chosen_(std::move(chosen)), setSamples_(setSamples > 0 ? setSamples : 1) {}

TRecordStream::~TRecordStream() {
  for (Slot& s : slots_) {
    if (s.fd >= 0) ::close(s.fd);
  }
}

std::string TRecordStream::SetFileName(int slot, std::uint32_t set) const {
  std::string name = RecordFileName(chosen_, slot);
  if (set == 0) return name;
  const std::string ext = name.substr(name.size() - 4);  // ".ch<slot>"
  name.resize(name.size() - 4);
  char number[16];
  std::snprintf(number, sizeof number, "-%04u", set);
  return name + number + ext;
}

void TRecordStream::Fail(const std::string& path, int error) {
  throw Exception(Format("Soubor \"%s\" nelze zapsat: %s", {path, std::generic_category().message(error)}));
}

void TRecordStream::Begin(const TSlotStores& stores) {
  dir_ = DirectoryOf(chosen_);
  for (int slot = 1; slot <= 4; ++slot) {
    const TDataStore* store = stores[static_cast<std::size_t>(slot - 1)].get();
    if (store == nullptr) continue;
    Slot& s = slots_[static_cast<std::size_t>(slot - 1)];
    s.used = true;
    s.header = store->Header();
    OpenSet(slot, 0);
  }
  sets_ = 1;
  Sync();
}

void TRecordStream::OpenSet(int slot, std::uint32_t set) {
  Slot& s = slots_[static_cast<std::size_t>(slot - 1)];
  s.path = SetFileName(slot, set);
  s.set = set;
  s.inSet = 0;
  s.fd = ::open(s.path.c_str(), O_WRONLY | O_CREAT | O_TRUNC | O_CLOEXEC, 0666);
  if (s.fd < 0) Fail(s.path, errno);
  if (set == 0) files_.push_back(s.path);
  dirDirty_ = true;
  if (set + 1 > sets_) sets_ = set + 1;
  TRecordHeader h = s.header;
  // Counted from the first set's start, so no rounding adds up over days.
  h.Start = s.header.Start + static_cast<double>(static_cast<std::uint64_t>(set) * setSamples_) /
                                 s.header.Rate / kSecondsPerDay;
  h.Count = setSamples_;  // what the set will hold; the loader cuts it to what is there
  std::uint8_t block[kRecordHeaderSize];
  WriteRecordHeader(h, block);
  if (!WriteAll(s.fd, block, sizeof block)) Fail(s.path, errno);
}

void TRecordStream::CloseSet(Slot& s, bool finish) {
  if (s.fd < 0) return;
  const int fd = s.fd;
  s.fd = -1;
  if (finish) {
    std::uint8_t count[4];
    PutU32(count, s.inSet);
    if (::pwrite(fd, count, sizeof count, kRecordCountOffset) != static_cast<ssize_t>(sizeof count) ||
        ::fdatasync(fd) != 0) {
      const int error = errno;
      ::close(fd);
      Fail(s.path, error);
    }
  }
  if (::close(fd) != 0 && finish) Fail(s.path, errno);
}

void TRecordStream::Append(int slot, const std::uint8_t* samples, std::size_t count) {
  if (slot < 1 || slot > 4) return;
  Slot& s = slots_[static_cast<std::size_t>(slot - 1)];
  if (!s.used) return;
  while (count > 0) {
    if (s.inSet == setSamples_) {
      CloseSet(s, true);
      OpenSet(slot, s.set + 1);
    }
    const std::size_t n = std::min<std::size_t>(count, setSamples_ - s.inSet);
    if (!WriteAll(s.fd, samples, n)) Fail(s.path, errno);
    s.inSet += static_cast<std::uint32_t>(n);
    s.total += n;
    samples += n;
    count -= n;
  }
}

void TRecordStream::Sync() {
  for (Slot& s : slots_) {
    if (s.fd >= 0 && ::fdatasync(s.fd) != 0) Fail(s.path, errno);
  }
  if (dirDirty_) {
    // New files survive a power cut only with their directory entries.
    const int fd = ::open(dir_.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
    if (fd >= 0) {
      ::fsync(fd);
      ::close(fd);
    }
    dirDirty_ = false;
  }
}

void TRecordStream::Finish() {
  for (Slot& s : slots_)
    CloseSet(s, true);
  Sync();
}

std::uint64_t TRecordStream::Written(int slot) const {
  if (slot < 1 || slot > 4) return 0;
  return slots_[static_cast<std::size_t>(slot - 1)].total;
}

}  // namespace osc
