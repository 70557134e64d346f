#include "config/settings.h"

#include "config/settings_edit.h"

#include "platform/errors.h"
#include "platform/locale/codepage.h"
#include "platform/locale/locale.h"

#include <algorithm>

namespace osc {
namespace {

using win::HKEY_LOCAL_MACHINE;

const std::string kRangesKey = std::string(kSettingsKey) + "\\Ranges";

std::string EntryKey(int n) {
  return kRangesKey + "\\" + std::to_string(n);
}
std::string ChannelValue(const char* format, int channel) {
  return Format(format, {channel});
}

// Each value is read on its own: one of the wrong type loads as a missing one would, so
// it cannot take the values after it down with it.
double Float(TRegs& regs, const std::string& name, double defaultValue) {
  try {
    return regs.ReadFloat(name, defaultValue);
  } catch (const Exception&) {
    return defaultValue;
  }
}

int Integer(TRegs& regs, const std::string& name, int defaultValue) {
  try {
    return regs.ReadInteger(name, defaultValue);
  } catch (const Exception&) {
    return defaultValue;
  }
}

std::string String(TRegs& regs, const std::string& name, const std::string& defaultValue) {
  try {
    return regs.ReadString(name, defaultValue);
  } catch (const Exception&) {
    return defaultValue;
  }
}

std::shared_ptr<TOscRozsah> ReadEntry(TRegs& regs) {
  auto e = std::make_shared<TOscRozsah>(Float(regs, "Range", 16.0));
  e->RangeCh5 = Float(regs, "Range_Ch5", 1.0);
  e->RangeCh6 = Float(regs, "Range_Ch6", 1.0);
  for (int d = 1; d <= 6; ++d) {
    TChannelCalib& ch = e->CH[d];
    ch.Gain = Float(regs, ChannelValue("CH%d_Gain", d), 0);
    ch.OffsetBip = Float(regs, ChannelValue("CH%d_OffsetBip", d), 0);
    ch.OffsetAC = Float(regs, ChannelValue("CH%d_OffsetAC", d), 0);
    ch.Unit = UnitText(String(regs, ChannelValue("CH%d_Unit", d), ""));
  }
  return e;
}

void WriteEntry(TRegs& regs, const TOscRozsah& e) {
  regs.WriteFloat("Range", e.Range);
  regs.WriteFloat("Range_Ch5", e.RangeCh5);
  regs.WriteFloat("Range_Ch6", e.RangeCh6);
  for (int d = 1; d <= 6; ++d) {
    const TChannelCalib& ch = e.CH[d];
    if (d <= 4) {
      regs.WriteFloat(ChannelValue("CH%d_Gain", d), ch.Gain);
      regs.WriteFloat(ChannelValue("CH%d_OffsetBip", d), ch.OffsetBip);
    }
    regs.WriteFloat(ChannelValue("CH%d_OffsetAC", d), ch.OffsetAC);
    regs.WriteString(ChannelValue("CH%d_Unit", d), ch.Unit);
  }
}

std::string SaveFailed(win::LSTATUS status) {
  const char* reason = status == win::ERROR_DISK_FULL       ? "na disku není místo"
                       : status == win::ERROR_ACCESS_DENIED ? "přístup byl odepřen"
                                                            : "chyba zápisu";
  return "Nastavení se nepodařilo uložit do souboru " + win::RegFilePath(HKEY_LOCAL_MACHINE) + " (" + reason +
         ").";
}

// Runs `write` as one registry transaction: either all of it reaches the file, or none
// of it stays, in the file or in memory, and the error is raised.
template <class Write>
void Atomically(TRegs& regs, Write&& write) {
  win::RegTransaction tx(HKEY_LOCAL_MACHINE);
  if (tx.status() != win::ERROR_SUCCESS) throw Exception(SaveFailed(tx.status()));
  try {
    write();
  } catch (...) {
    regs.Close();
    throw;
  }
  regs.Close();
  if (win::LSTATUS r = tx.commit(); r != win::ERROR_SUCCESS) throw Exception(SaveFailed(r));
}

}  // namespace

std::string RangeText(double range) {
  return Format("%2.0f V", {range});
}

TRangeItem MakeRangeItem(std::shared_ptr<TOscRozsah> entry) {
  std::string text = RangeText(entry->Range);
  return {std::move(text), std::move(entry)};
}

std::string UnitText(const std::string& text) {
  return Utf8Left(text, 3);
}

SettingsHolder::SettingsHolder() {
  Regs.SetRootKey(TRootKey::rkLocalMachine);
}

void SettingsHolder::LoadSettings() {
  Ranges.clear();
  LoadNotice = win::RegTakeLoadNotice(HKEY_LOCAL_MACHINE);
  // Loading creates the missing keys; one transaction makes that a single file write.
  win::RegTransaction tx(HKEY_LOCAL_MACHINE);
  Regs.OpenKey(kSettingsKey);
  Port = String(Regs, "Port", "COM1");
  ModelIndex = Integer(Regs, "Type", 0);
  Regs.OpenKey(kRangesKey);
  int count = Integer(Regs, "Count", 0);
  for (int n = 1; n <= std::min(count, kMaxRangeCount); ++n) {
    Regs.OpenKey(EntryKey(n));
    Ranges.push_back(MakeRangeItem(ReadEntry(Regs)));
  }
  Regs.Close();
  EnsureOneRange(Ranges);
  // The keys are only a side effect of loading: when they cannot be saved now, the next
  // save writes them with everything else.
  tx.commit();
}

void SettingsHolder::SaveSettings() {
  Atomically(Regs, [this] {
    Regs.OpenKey(kSettingsKey);
    Regs.WriteString("Port", Port);
    Regs.WriteInteger("Type", ModelIndex);
    Regs.DeleteKey("Ranges");  // refused while it has entry subkeys; those are overwritten
    Regs.OpenKey(kRangesKey);
    Regs.WriteInteger("Count", static_cast<int>(Ranges.size()));
    for (std::size_t i = 0; i < Ranges.size(); ++i) {
      Regs.OpenKey(EntryKey(static_cast<int>(i) + 1));
      WriteEntry(Regs, *Ranges[i].Entry);
    }
  });
}

void SettingsHolder::SaveModelType() {
  Atomically(Regs, [this] {
    Regs.OpenKey(kSettingsKey);
    Regs.WriteInteger("Type", ModelIndex);
  });
}

}  // namespace osc
