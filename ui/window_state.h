#pragma once
// What the main window remembers between runs (size and place, tool bars, the analysis
// panel, the last folder, the grid, cross and peak toggles, the recent records), as a
// small text file beside the settings. A file that is damaged or not ours gives nothing,
// and the window keeps its defaults.
#include <functional>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace osc {

class FileOps;

// The files of one record as they were opened or saved together.
using TRecordFiles = std::vector<std::string>;

inline constexpr std::size_t kRecentRecords = 8;

struct TWindowState {
  std::string Geometry;  // the window's own encodings (QMainWindow), in base64
  std::string Bars;
  bool Panel = false;
  bool Grid = true;
  bool Cross = true;
  bool Peak = false;
  std::string Folder;
  std::vector<TRecordFiles> Recent;  // the newest first
};

std::string FormatWindowState(const TWindowState& state);
std::optional<TWindowState> ParseWindowState(std::string_view text);

// The state file in the settings folder.
std::string WindowStateFile(const std::string& settingsFolder);
// Defaults when the file is missing, unreadable, damaged or foreign.
TWindowState ReadWindowState(const std::string& path, FileOps& ops);
// Replaces the file atomically; 0 or an errno.
int WriteWindowState(const std::string& path, const TWindowState& state, FileOps& ops);

// Puts `record` first; the same set of files met further down goes, and the list keeps
// the newest kRecentRecords.
void AddRecentRecord(std::vector<TRecordFiles>& recent, TRecordFiles record);
// Drops every record one of whose files no longer exists; returns what was dropped.
std::vector<TRecordFiles> PruneRecentRecords(std::vector<TRecordFiles>& recent,
                                             const std::function<bool(const std::string&)>& exists);
// "run (ch1, ch2)": the record's name without folder and extension, and its extensions.
std::string RecentRecordTitle(const TRecordFiles& record);

}  // namespace osc
