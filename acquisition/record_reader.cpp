#include "acquisition/record_reader.h"

#include "acquisition/record_file.h"
#include "platform/errors.h"
#include "platform/locale/locale.h"

#include <algorithm>
#include <array>

namespace osc {
namespace {

[[noreturn]] void refuse(const std::string& path, const char* reason) {
  throw Exception(Format("Soubor \"%s\" není platný záznam: %s", {path, reason}));
}

}  // namespace

TRecordReader::TRecordReader(const std::string& path, FileOps& ops) : file_(path, ops) {
  std::array<std::uint8_t, kRecordHeaderSize> head{};
  if (file_.Size() < kRecordHeaderSize || file_.Read(head) < head.size()) {
    refuse(path, "je kratší než hlavička záznamu");
  }
  header_ = ReadRecordHeader(head.data());
  if (header_.Slot < 1 || header_.Slot > 4) refuse(path, "číslo kanálu není 1 až 4");
  if (file_.Size() >= kRecordFileMaxSize) refuse(path, "soubor má 2 GiB nebo více");
  CheckRecordHeader(path, header_);
  header_.Count =
      static_cast<std::uint32_t>(std::min<std::uint64_t>(header_.Count, file_.Size() - kRecordHeaderSize));
}

void TRecordReader::Read(std::uint64_t first, std::span<std::uint8_t> into) {
  while (position_ < first) {
    skip_.resize(1 << 16);
    const std::size_t n = static_cast<std::size_t>(std::min<std::uint64_t>(skip_.size(), first - position_));
    if (file_.Read({skip_.data(), n}) < n) break;
    position_ += n;
  }
  const std::size_t got = position_ == first ? file_.Read(into) : 0;
  position_ += got;
  if (got < into.size()) {
    throw Exception(Format("Chyba při čtení souboru \"%s\": soubor je kratší, než udává hlavička", {Path()}));
  }
}

}  // namespace osc
