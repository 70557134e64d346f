#pragma once
// Record files: one file per recording slot, the slot's record block (256-byte header
// and the samples, acquisition/record_header.h) byte for byte. Files recorded
// elsewhere are read as they stand, so the layout is a contract.
//
// Loading, what is refused and how:
// - Ignored without a message (CreateFromFile gives nullptr): a file shorter than the
//   256-byte header, and a header whose slot number is not 1..4. Such a file is not a
//   record of any slot this program shows.
// - Refused with a message naming the file (osc::Exception): a file that cannot be
//   opened or read, or is not a regular file; a file of 2 GiB or more; a header with
//   sample rate 0, a start time or a lower or upper value that is not a finite number,
//   or a sample count of 2^31 or more; a block that cannot be allocated (EOutOfMemory).
// - Taken as it stands otherwise: a sample count beyond the bytes present is cut to
//   the samples the file holds (the header in memory says so too); a unit length above
//   3 reads the 3 bytes of the field. The magic is not checked.
// The size is checked before anything beyond the header is read.
//
// Saving replaces the file atomically (platform/atomic_file.h): a failed save leaves
// the previous file as it was and raises osc::Exception naming the file.
//
// Every file system call goes through `ops` (tests make any one of them fail).
#include "acquisition/data_store.h"
#include "platform/atomic_file.h"

#include <memory>
#include <span>
#include <string>
#include <vector>

namespace osc {

// The file dialogs' filter as the program gives it, its form for a Qt file dialog (Linux
// names are case-sensitive, so both cases of the extension) and the default extension.
inline constexpr const char* kRecordFileFilter =
    "Datové soubory osciloskopu    (*.CH?)|*.CH?|Všechny soubory        (*.*)|*";
inline constexpr const char* kRecordFileQtFilter =
    "Datové soubory osciloskopu (*.CH? *.ch?);;Všechny soubory (*)";
inline constexpr const char* kRecordFileDefaultExt = "CH1";

// Files of 2 GiB or more are refused before they are read.
inline constexpr std::uint64_t kRecordFileMaxSize = std::uint64_t{1} << 31;

// Writes the record of `store` (header and Count() samples) to `path`.
void SaveToFile(const TDataStore& store, const std::string& path, FileOps& ops = SystemFileOps());
// The store of a record file, its block exactly as large as the file, named after the
// file without its folder; nullptr for a file that is ignored (see above).
std::unique_ptr<TDataStore> CreateFromFile(const std::string& path, FileOps& ops = SystemFileOps());

// The record file of `slot` for the name the operator chose: its extension (the part
// of the file name from its last dot, a leading dot excepted) replaced by ".ch<slot>";
// the extension is appended when there is none.
std::string RecordFileName(const std::string& chosen, int slot);

struct TRecordFileName {
  int Slot;  // 1..4
  std::string Path;
};
// The files a save writes: one for each slot that has a store, in slot order. Empty
// when no slot has one (the save command then does nothing).
std::vector<TRecordFileName> RecordFileNames(const std::string& chosen, const TSlotStores& stores);
// Those of `names` that exist already, to be confirmed by the operator before anything
// is written.
std::vector<std::string> ExistingRecordFiles(const std::vector<TRecordFileName>& names);
// Writes each named slot's store to its file, and the `extra` files that belong to the
// set (the loss file), all or nothing: on any failure no file of the set is changed and
// one message names the file that failed and why.
void SaveRecording(const TSlotStores& stores, const std::vector<TRecordFileName>& names,
                   FileOps& ops = SystemFileOps(), const std::vector<TFileContent>& extra = {});

struct TLoadedRecords {
  // The new store of each slot that got one; the later file for one slot wins.
  TSlotStores Stores;
  // One message for each refused file, naming it, in the order of the files.
  std::vector<std::string> Errors;
};
// Loads the chosen files in order. A refused file does not stop the others. The caller
// replaces its stores by those given, checks those slots' boxes, reads the controls,
// rebuilds the series and refreshes with auto-zoom, then shows the errors.
TLoadedRecords LoadRecordFiles(const std::vector<std::string>& paths, FileOps& ops = SystemFileOps());

// Refuses (osc::Exception naming `path`, as CreateFromFile does) a header whose rate,
// start, lower or upper value or count the program cannot show.
void CheckRecordHeader(const std::string& path, const TRecordHeader& header);

}  // namespace osc
