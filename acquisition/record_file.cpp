#include "acquisition/record_file.h"

#include "platform/errors.h"
#include "platform/locale/errno_text.h"
#include "platform/locale/locale.h"
#include "platform/read_file.h"

#include <array>
#include <cmath>
#include <filesystem>
#include <string_view>
#include <system_error>

namespace osc {
namespace {

constexpr std::uint32_t kMaxCount = std::uint32_t{1} << 31;

[[noreturn]] void refuse(const std::string& path, const char* reason) {
  throw Exception(Format("Soubor \"%s\" není platný záznam: %s", {path, reason}));
}

std::string file_name_of(const std::string& path) {
  const auto slash = path.rfind('/');
  return slash == std::string::npos ? path : path.substr(slash + 1);
}

bool is_slot(int slot) {
  return slot >= 1 && slot <= 4;
}

// Values the time axis and the scale are computed from; anything else would draw
// nothing or divide by zero.
void check_header(const std::string& path, const TRecordHeader& header) {
  if (header.Rate == 0) refuse(path, "vzorkovací frekvence je 0");
  if (!std::isfinite(header.Start)) refuse(path, "čas začátku není konečné číslo");
  if (!std::isfinite(header.Lower) || !std::isfinite(header.Upper)) {
    refuse(path, "dolní nebo horní mez rozsahu není konečné číslo");
  }
  if (header.Count >= kMaxCount) refuse(path, "počet vzorků je 2^31 nebo větší");
}

}  // namespace

void SaveToFile(const TDataStore& store, const std::string& path, FileOps& ops) {
  const auto record = store.Record();
  std::string failed;
  const int error = WriteFilesAtomically(
      ops, {{path, {reinterpret_cast<const char*>(record.data()), record.size()}}}, failed);
  if (error != 0) throw Exception(Format("Soubor \"%s\" nelze uložit: %s", {path, ErrnoText(error)}));
}

std::unique_ptr<TDataStore> CreateFromFile(const std::string& path, FileOps& ops) {
  TReadFile file(path, ops);
  if (file.Size() < kRecordHeaderSize) return nullptr;
  std::array<std::uint8_t, kRecordHeaderSize> head{};
  if (file.Read(head) < head.size()) return nullptr;  // shrank since it was opened
  const TRecordHeader header = ReadRecordHeader(head.data());
  if (!is_slot(header.Slot)) return nullptr;
  if (file.Size() >= kRecordFileMaxSize) refuse(path, "soubor má 2 GiB nebo více");
  check_header(path, header);
  try {
    return TDataStore::FromRecord(static_cast<std::uint32_t>(file.Size()), file_name_of(path),
                                  [&](std::span<std::uint8_t> block) {
                                    std::copy(head.begin(), head.end(), block.begin());
                                    return head.size() + file.Read(block.subspan(head.size()));
                                  });
  } catch (const EOutOfMemory&) {
    throw EOutOfMemory(Format("Soubor \"%s\" nelze načíst: nedostatek paměti", {path}));
  }
}

std::string RecordFileName(const std::string& chosen, int slot) {
  const auto slash = chosen.rfind('/');
  const std::size_t nameStart = slash == std::string::npos ? 0 : slash + 1;
  const auto dot = chosen.rfind('.');
  const bool hasExtension = dot != std::string::npos && dot > nameStart;
  return (hasExtension ? chosen.substr(0, dot) : chosen) + Format(".ch%d", {slot});
}

std::vector<TRecordFileName> RecordFileNames(const std::string& chosen, const TSlotStores& stores) {
  std::vector<TRecordFileName> names;
  for (int slot = 1; slot <= 4; ++slot) {
    if (stores[slot - 1]) names.push_back({slot, RecordFileName(chosen, slot)});
  }
  return names;
}

std::vector<std::string> ExistingRecordFiles(const std::vector<TRecordFileName>& names) {
  std::vector<std::string> existing;
  for (const auto& name : names) {
    std::error_code ec;
    // A dangling link counts too: the save replaces it.
    if (std::filesystem::exists(std::filesystem::symlink_status(name.Path, ec)))
      existing.push_back(name.Path);
  }
  return existing;
}

void SaveRecording(const TSlotStores& stores, const std::vector<TRecordFileName>& names, FileOps& ops,
                   const std::vector<TFileContent>& extra) {
  std::vector<TFileContent> files;
  for (const auto& name : names) {
    if (!is_slot(name.Slot) || !stores[name.Slot - 1]) continue;
    const auto record = stores[name.Slot - 1]->Record();
    files.push_back({name.Path, {reinterpret_cast<const char*>(record.data()), record.size()}});
  }
  if (files.empty()) return;
  files.insert(files.end(), extra.begin(), extra.end());
  std::string failed;
  const int error = WriteFilesAtomically(ops, files, failed);
  if (error == 0) return;
  const std::string reason = ErrnoText(error);
  if (files.size() == 1) throw Exception(Format("Soubor \"%s\" nelze uložit: %s", {failed, reason}));
  throw Exception(
      Format("Záznam nelze uložit: soubor \"%s\" se nepodařilo zapsat (%s). Žádný ze souborů záznamu "
             "nebyl změněn.",
             {failed, reason}));
}

TLoadedRecords LoadRecordFiles(const std::vector<std::string>& paths, FileOps& ops) {
  TLoadedRecords loaded;
  for (const auto& path : paths) {
    try {
      auto store = CreateFromFile(path, ops);
      if (store) loaded.Stores[store->Header().Slot - 1] = std::move(store);
    } catch (const Exception& e) {
      loaded.Errors.push_back(e.message());
    }
  }
  return loaded;
}

void CheckRecordHeader(const std::string& path, const TRecordHeader& header) {
  check_header(path, header);
}

}  // namespace osc
