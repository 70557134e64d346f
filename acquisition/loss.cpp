#include "acquisition/loss.h"

#include "acquisition/data_store.h"
#include "platform/locale/locale.h"

#include <algorithm>
#include <bit>
#include <charconv>
#include <cmath>
#include <filesystem>
#include <fstream>
#include <sstream>

namespace osc {
namespace {

constexpr const char* kMagic = "osciloskop-ztraty 1";
constexpr const char* kKindWords[] = {"chyba-linky", "blok", "preteceni", "chybi"};

int SlotsOf(std::uint8_t mask) {
  return std::popcount(static_cast<unsigned>(mask & 0x0F));
}

// Which slot (0..3) the i-th recorded slot is.
int NthSlot(std::uint8_t mask, int i) {
  for (int s = 0; s < 4; ++s) {
    if ((mask & (1u << s)) != 0 && i-- == 0) return s;
  }
  return 0;
}

std::string StartText(double start) {
  char buf[64];
  const auto r = std::to_chars(buf, buf + sizeof buf, start);  // shortest exact form
  return std::string(buf, r.ptr);
}

}  // namespace

void TLossLedger::Begin(std::uint8_t mask, std::uint32_t bytesPerSecond, int blockLength,
                        std::int64_t nowMs) {
  *this = TLossLedger();
  mask_ = mask & 0x0F;
  slots_ = SlotsOf(mask_);
  rate_ = bytesPerSecond;
  blockLength_ = blockLength;
  startMs_ = nowMs;
}

void TLossLedger::Restore(std::uint8_t mask, std::vector<TLossEvent> events) {
  *this = TLossLedger();
  mask_ = mask & 0x0F;
  slots_ = SlotsOf(mask_);
  events_ = std::move(events);
  for (const TLossEvent& e : events_) {
    if (e.Kind == TLossKind::Dropped) gaps_.emplace_back(e.First, e.First + e.Span);
  }
  std::sort(gaps_.begin(), gaps_.end());
}

void TLossLedger::Add(TLossKind kind, std::uint64_t pos, std::uint64_t span, std::uint64_t bytes) {
  if (slots_ == 0 || bytes == 0) return;
  TLossEvent e;
  e.Kind = kind;
  e.First = pos / static_cast<std::uint64_t>(slots_);
  e.Span = std::max<std::uint64_t>(span / static_cast<std::uint64_t>(slots_), 1);
  // Byte p belongs to the (p % n)-th recorded slot.
  const auto n = static_cast<std::uint64_t>(slots_);
  for (int i = 0; i < slots_; ++i)
    e.Lost[static_cast<std::size_t>(NthSlot(mask_, i))] = bytes / n;
  for (std::uint64_t k = 0; k < bytes % n; ++k)
    ++e.Lost[static_cast<std::size_t>(NthSlot(mask_, static_cast<int>((pos + k) % n)))];
  events_.push_back(e);
}

void TLossLedger::Garbled(std::uint64_t pos) {
  Add(TLossKind::Garbled, pos, 1, 1);
}

void TLossLedger::Dropped(std::uint64_t pos, std::uint64_t bytes) {
  Add(TLossKind::Dropped, pos, bytes, bytes);
  if (slots_ == 0 || bytes == 0) return;
  const auto n = static_cast<std::uint64_t>(slots_);
  gaps_.emplace_back(pos / n, (pos + bytes + n - 1) / n);
  // The filler keeps the later samples at their times: the rate check sees them as come.
}

double TLossLedger::Deficit(std::uint64_t pos, std::int64_t nowMs) const {
  return static_cast<double>(rate_) * static_cast<double>(nowMs - startMs_) / 1000.0 -
         static_cast<double>(pos) - counted_;
}

void TLossLedger::Tick(std::uint64_t pos, std::int64_t nowMs) {
  if (rate_ == 0) return;
  // A block arrives whole: what is read lags the line by up to a block, by less right
  // after a block came. The least deficit of the older part of the window against the
  // least of the recent part takes most of that lag out; what is left of it can reach
  // half a block, so only more than one and a half blocks apart is a loss.
  probes_.push_back({nowMs, Deficit(pos, nowMs), pos});
  while (!probes_.empty() && probes_.front().Ms < nowMs - kWindowMs)
    probes_.pop_front();
  const Probe* older = nullptr;
  const Probe* recent = nullptr;
  int recentCount = 0;
  for (const Probe& p : probes_) {
    if (p.Ms <= nowMs - kRecentMs) {
      if (older == nullptr || p.Deficit < older->Deficit) older = &p;
    } else {
      ++recentCount;
      if (recent == nullptr || p.Deficit < recent->Deficit) recent = &p;
    }
  }
  // One probe after a pause of the caller may still find the queue full.
  if (recentCount < 2) return;
  if (pending_) {
    if (nowMs - pendingMs_ >= kRecentMs) CountPending(recent->Deficit, pos);
    return;
  }
  if (older == nullptr || recent->Deficit - older->Deficit <= blockLength_ * 1.5) return;
  pending_ = true;
  pendingMs_ = nowMs;
  pendingFrom_ = *older;
}

void TLossLedger::CountPending(double deficit, std::uint64_t pos) {
  pending_ = false;
  const double shortfall = deficit - pendingFrom_.Deficit;
  if (shortfall <= blockLength_ * 1.5) return;
  const auto bytes = static_cast<std::uint64_t>(std::llround(shortfall));
  Add(TLossKind::Shortfall, pendingFrom_.Pos, pos - pendingFrom_.Pos, bytes);
  counted_ += static_cast<double>(bytes);
  // The window starts again: its older probes do not hold this loss.
  probes_.clear();
}

void TLossLedger::Finish(std::uint64_t pos, std::int64_t nowMs) {
  if (!pending_) return;
  double least = Deficit(pos, nowMs);
  for (const Probe& p : probes_) {
    if (p.Ms > pendingMs_) least = std::min(least, p.Deficit);
  }
  CountPending(least, pos);
}

void TLossLedger::Overflow(std::uint64_t pos, std::int64_t nowMs) {
  double least = Deficit(pos, nowMs);
  std::uint64_t from = pos;
  for (const Probe& p : probes_) {
    if (p.Deficit < least) {
      least = p.Deficit;
      from = p.Pos;
    }
  }
  const double lost = Deficit(pos, nowMs) - least;
  Add(TLossKind::Overflow, from, pos - from,
      std::max<std::uint64_t>(1, static_cast<std::uint64_t>(std::llround(lost))));
}

std::uint64_t TLossLedger::Total() const {
  std::uint64_t total = 0;
  for (const TLossEvent& e : events_) {
    for (std::uint64_t n : e.Lost)
      total += n;
  }
  return total;
}

std::uint64_t TLossLedger::LostIn(int slot) const {
  if (slot < 1 || slot > 4) return 0;
  std::uint64_t total = 0;
  for (const TLossEvent& e : events_)
    total += e.Lost[static_cast<std::size_t>(slot - 1)];
  return total;
}

bool TLossLedger::InGap(std::uint64_t index) const {
  if (gaps_.empty()) return false;
  auto it = std::upper_bound(gaps_.begin(), gaps_.end(), std::make_pair(index, UINT64_MAX));
  if (it == gaps_.begin()) return false;
  --it;
  return index >= it->first && index < it->second;
}

std::string LossFileName(const std::string& chosen) {
  const std::size_t slash = chosen.rfind('/');
  const std::size_t nameStart = slash == std::string::npos ? 0 : slash + 1;
  const std::size_t dot = chosen.rfind('.');
  if (dot == std::string::npos || dot <= nameStart) return chosen + kLossFileExt;
  return chosen.substr(0, dot) + kLossFileExt;
}

std::string LossFileText(const TLossLedger& ledger, const std::array<const TDataStore*, 4>& stores) {
  std::ostringstream out;
  out << kMagic << '\n';
  out << "sloty " << static_cast<unsigned>(ledger.Mask()) << '\n';
  for (int s = 0; s < 4; ++s) {
    const TDataStore* st = stores[static_cast<std::size_t>(s)];
    if (st == nullptr) continue;
    out << "zaznam " << s + 1 << ' ' << StartText(st->Start()) << ' ' << st->Rate() << ' ' << st->Count()
        << '\n';
  }
  for (const TLossEvent& e : ledger.Events()) {
    out << "ztrata " << kKindWords[static_cast<int>(e.Kind)] << ' ' << e.First << ' ' << e.Span;
    for (std::uint64_t n : e.Lost)
      out << ' ' << n;
    out << '\n';
  }
  return out.str();
}

TLossFileState ParseLossFile(const std::string& text, const std::array<const TDataStore*, 4>& stores,
                             TLossLedger& ledger) {
  std::istringstream in(text);
  std::string line;
  if (!std::getline(in, line) || line != kMagic) return TLossFileState::Foreign;
  unsigned mask = 0;
  std::vector<TLossEvent> events;
  std::array<bool, 4> seen{};
  while (std::getline(in, line)) {
    std::istringstream ls(line);
    std::string word;
    ls >> word;
    if (word == "sloty") {
      if (!(ls >> mask) || mask > 15) return TLossFileState::Foreign;
    } else if (word == "zaznam") {
      int slot = 0;
      std::string start;
      std::uint32_t rate = 0, count = 0;
      if (!(ls >> slot >> start >> rate >> count) || slot < 1 || slot > 4) return TLossFileState::Foreign;
      const TDataStore* st = stores[static_cast<std::size_t>(slot - 1)];
      if (st == nullptr || StartText(st->Start()) != start || st->Rate() != rate || st->Count() != count)
        return TLossFileState::Foreign;
      seen[static_cast<std::size_t>(slot - 1)] = true;
    } else if (word == "ztrata") {
      TLossEvent e;
      const auto kind = std::find(std::begin(kKindWords), std::end(kKindWords), (ls >> word, word));
      if (kind == std::end(kKindWords)) return TLossFileState::Foreign;
      e.Kind = static_cast<TLossKind>(kind - std::begin(kKindWords));
      if (!(ls >> e.First >> e.Span >> e.Lost[0] >> e.Lost[1] >> e.Lost[2] >> e.Lost[3]))
        return TLossFileState::Foreign;
      events.push_back(e);
    } else if (!word.empty()) {
      return TLossFileState::Foreign;
    }
  }
  for (int s = 0; s < 4; ++s) {
    if ((stores[static_cast<std::size_t>(s)] != nullptr) != seen[static_cast<std::size_t>(s)])
      return TLossFileState::Foreign;
  }
  ledger.Restore(static_cast<std::uint8_t>(mask), std::move(events));
  return TLossFileState::Matches;
}

TLossFileState LoadLossFile(const std::string& path, const std::array<const TDataStore*, 4>& stores,
                            TLossLedger& ledger) {
  std::error_code ec;
  if (!std::filesystem::is_regular_file(path, ec)) return TLossFileState::Absent;
  if (std::filesystem::file_size(path, ec) > (1u << 20) || ec) return TLossFileState::Foreign;
  std::ifstream in(path, std::ios::binary);
  std::ostringstream text;
  text << in.rdbuf();
  if (!in) return TLossFileState::Foreign;
  return ParseLossFile(text.str(), stores, ledger);
}

std::string LossText(std::uint64_t lost, std::uint64_t expected) {
  const char* noun = lost == 1 ? "vzorek" : lost >= 2 && lost <= 4 ? "vzorky" : "vzorků";
  std::string text = Format("Ztraceno: %d %s", {static_cast<long long>(lost), noun});
  if (lost == 0 || expected == 0) return text;
  return text + Format(" (%.3f %%)", {100.0 * static_cast<double>(lost) / static_cast<double>(expected)});
}

}  // namespace osc
