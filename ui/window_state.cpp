#include "ui/window_state.h"

#include <fcntl.h>
#include <unistd.h>

#include <algorithm>

#include "platform/atomic_file.h"

namespace osc {

namespace {

constexpr std::string_view kMagic = "Osciloskop okno 1";
// Anything larger is not a state file of ours.
constexpr std::size_t kMaxSize = 256 * 1024;

// Paths may hold any byte but NUL: the separators are escaped.
std::string Escape(std::string_view s) {
  std::string out;
  for (char c : s) {
    if (c == '\\') {
      out += "\\\\";
    } else if (c == '\t') {
      out += "\\t";
    } else if (c == '\n') {
      out += "\\n";
    } else {
      out += c;
    }
  }
  return out;
}

std::optional<std::string> Unescape(std::string_view s) {
  std::string out;
  for (std::size_t i = 0; i < s.size(); ++i) {
    if (s[i] != '\\') {
      out += s[i];
      continue;
    }
    if (++i == s.size()) return std::nullopt;
    switch (s[i]) {
      case '\\':
        out += '\\';
        break;
      case 't':
        out += '\t';
        break;
      case 'n':
        out += '\n';
        break;
      default:
        return std::nullopt;
    }
  }
  return out;
}

std::optional<bool> Flag(std::string_view v) {
  if (v == "0") return false;
  if (v == "1") return true;
  return std::nullopt;
}

bool Base64(std::string_view v) {
  return std::all_of(v.begin(), v.end(), [](char c) {
    return (c >= 'A' && c <= 'Z') || (c >= 'a' && c <= 'z') || (c >= '0' && c <= '9') || c == '+' ||
           c == '/' || c == '=';
  });
}

std::string Key(const TRecordFiles& r) {
  TRecordFiles sorted = r;
  std::sort(sorted.begin(), sorted.end());
  std::string k;
  for (const std::string& f : sorted)
    k += f + '\n';
  return k;
}

}  // namespace

std::string FormatWindowState(const TWindowState& s) {
  std::string t = std::string(kMagic) + "\n";
  t += "geometry=" + s.Geometry + "\n";
  t += "bars=" + s.Bars + "\n";
  t += std::string("panel=") + (s.Panel ? "1" : "0") + "\n";
  t += std::string("grid=") + (s.Grid ? "1" : "0") + "\n";
  t += std::string("cross=") + (s.Cross ? "1" : "0") + "\n";
  t += std::string("peak=") + (s.Peak ? "1" : "0") + "\n";
  t += "folder=" + Escape(s.Folder) + "\n";
  for (const TRecordFiles& r : s.Recent) {
    std::string line;
    for (const std::string& f : r)
      line += (line.empty() ? "" : "\t") + Escape(f);
    t += "recent=" + line + "\n";
  }
  return t;
}

std::optional<TWindowState> ParseWindowState(std::string_view text) {
  if (text.size() > kMaxSize || text.find('\0') != std::string_view::npos) return std::nullopt;
  std::size_t end = text.find('\n');
  if (end == std::string_view::npos || text.substr(0, end) != kMagic) return std::nullopt;
  TWindowState s;
  std::size_t pos = end + 1;
  while (pos < text.size()) {
    end = text.find('\n', pos);
    if (end == std::string_view::npos) return std::nullopt;  // cut short
    const std::string_view line = text.substr(pos, end - pos);
    pos = end + 1;
    const std::size_t eq = line.find('=');
    if (eq == std::string_view::npos) return std::nullopt;
    const std::string_view key = line.substr(0, eq);
    const std::string_view value = line.substr(eq + 1);
    if (key == "geometry" || key == "bars") {
      if (!Base64(value)) return std::nullopt;
      (key == "geometry" ? s.Geometry : s.Bars) = value;
    } else if (key == "panel" || key == "grid" || key == "cross" || key == "peak") {
      const std::optional<bool> f = Flag(value);
      if (!f) return std::nullopt;
      (key == "panel" ? s.Panel : key == "grid" ? s.Grid : key == "cross" ? s.Cross : s.Peak) = *f;
    } else if (key == "folder") {
      const std::optional<std::string> f = Unescape(value);
      if (!f) return std::nullopt;
      s.Folder = *f;
    } else if (key == "recent") {
      TRecordFiles record;
      std::size_t from = 0;
      while (from <= value.size()) {
        std::size_t tab = value.find('\t', from);
        if (tab == std::string_view::npos) tab = value.size();
        const std::optional<std::string> f = Unescape(value.substr(from, tab - from));
        if (!f || f->empty()) return std::nullopt;
        record.push_back(*f);
        from = tab + 1;
      }
      if (s.Recent.size() < kRecentRecords) s.Recent.push_back(std::move(record));
    }
    // A key of a later version is passed over.
  }
  return s;
}

std::string WindowStateFile(const std::string& settingsFolder) {
  return settingsFolder + "/okno.stav";
}

TWindowState ReadWindowState(const std::string& path, FileOps& ops) {
  const int fd = ops.open(path, O_RDONLY | O_CLOEXEC, 0);
  if (fd < 0) return {};
  std::string text;
  char buffer[4096];
  bool ok = true;
  for (;;) {
    const ssize_t n = ops.read(fd, buffer, sizeof buffer);
    if (n < 0) {
      ok = false;
      break;
    }
    if (n == 0) break;
    text.append(buffer, static_cast<std::size_t>(n));
    if (text.size() > kMaxSize) {
      ok = false;
      break;
    }
  }
  ops.close(fd);
  if (!ok) return {};
  return ParseWindowState(text).value_or(TWindowState{});
}

int WriteWindowState(const std::string& path, const TWindowState& state, FileOps& ops) {
  const std::size_t slash = path.rfind('/');
  if (slash != std::string::npos && slash > 0) {
    if (const int e = MakeFolders(ops, path.substr(0, slash))) return e;
  }
  return WriteFileAtomically(ops, path, FormatWindowState(state));
}

void AddRecentRecord(std::vector<TRecordFiles>& recent, TRecordFiles record) {
  if (record.empty()) return;
  const std::string key = Key(record);
  std::erase_if(recent, [&](const TRecordFiles& r) { return Key(r) == key; });
  recent.insert(recent.begin(), std::move(record));
  if (recent.size() > kRecentRecords) recent.resize(kRecentRecords);
}

std::vector<TRecordFiles> PruneRecentRecords(std::vector<TRecordFiles>& recent,
                                             const std::function<bool(const std::string&)>& exists) {
  std::vector<TRecordFiles> dropped;
  std::erase_if(recent, [&](const TRecordFiles& r) {
    const bool gone = std::any_of(r.begin(), r.end(), [&](const std::string& f) { return !exists(f); });
    if (gone) dropped.push_back(r);
    return gone;
  });
  return dropped;
}

std::string RecentRecordTitle(const TRecordFiles& record) {
  if (record.empty()) return {};
  auto name = [](const std::string& f) {
    const std::size_t slash = f.rfind('/');
    return slash == std::string::npos ? f : f.substr(slash + 1);
  };
  auto split = [](const std::string& n, std::string& stem, std::string& ext) {
    const std::size_t dot = n.rfind('.');
    if (dot == std::string::npos || dot == 0) {
      stem = n;
      ext.clear();
    } else {
      stem = n.substr(0, dot);
      ext = n.substr(dot + 1);
    }
  };
  std::string stem;
  std::string ext;
  split(name(record.front()), stem, ext);
  if (record.size() == 1) return name(record.front());
  std::string exts;
  for (const std::string& f : record) {
    std::string s;
    std::string e;
    split(name(f), s, e);
    if (s != stem) return name(record.front()) + " …";
    exts += (exts.empty() ? "" : ", ") + e;
  }
  return stem + " (" + exts + ")";
}

}  // namespace osc
