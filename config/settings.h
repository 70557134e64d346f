#pragma once
// The program's persistent settings: the serial port, the module model and the list of
// input ranges with their calibration, held in memory by a SettingsHolder (owned by the
// settings dialog for the whole run) and kept in the registry below
// HKEY_LOCAL_MACHINE\SOFTWARE\MERVO\Quadrel\CurrentVersion:
//
//   "Port"  REG_SZ    port name               "Type"  REG_DWORD  model index (0: 2-channel)
//   Ranges\"Count" REG_DWORD, then one subkey Ranges\<n> per entry (n from 1) holding
//   "Range", "Range_Ch5", "Range_Ch6" and per channel d "CH<d>_Gain", "CH<d>_OffsetBip"
//   (written for channels 1 to 4 only), "CH<d>_OffsetAC" as 8-byte little-endian doubles
//   (REG_BINARY), and "CH<d>_Unit" (REG_SZ, first 3 characters used).
//
// Reading never lets one bad value cost more than itself: a value of the wrong type or
// form loads as it would when missing. Saving is all or nothing.
#include "config/range_entry.h"
#include "config/regs.h"

#include <memory>
#include <string>
#include <vector>

namespace osc {

// One item of the range list. Entries are shared: copies of the list (the main window's
// range selector) keep referring to the same entry, and removing an item never frees it.
struct TRangeItem {
  std::string Text;  // the entry's Range formatted with "%2.0f V"
  std::shared_ptr<TOscRozsah> Entry;
};
using TRangeList = std::vector<TRangeItem>;

// "%2.0f V": 16 gives "16 V", 5 gives " 5 V".
std::string RangeText(double range);
TRangeItem MakeRangeItem(std::shared_ptr<TOscRozsah> entry);
// The first 3 characters of a unit text (UTF-8), as units are kept.
std::string UnitText(const std::string& text);

inline constexpr const char* kSettingsKey = "SOFTWARE\\MERVO\\Quadrel\\CurrentVersion";
inline constexpr int kMaxRangeCount = 1000;

class SettingsHolder {
 public:
  SettingsHolder();

  std::string Port = "COM1";  // the port box's text
  int ModelIndex = 0;         // 0: 2-channel model, 1: 4-channel model
  TRangeList Ranges;
  TRegs Regs;  // on HKEY_LOCAL_MACHINE; closed between operations
  // Set by LoadSettings when the settings file could not be read (where it was put
  // aside and that the defaults are in use); empty otherwise. For the operator.
  std::string LoadNotice;

  // Fills Port, ModelIndex and Ranges from the registry, creating the keys that are
  // missing. Raises "Selhalo oteření klíče registru." when a key cannot be opened or
  // created; Ranges then holds the entries read so far.
  void LoadSettings();
  // Writes port, model and every range in one atomic step: on any failure nothing is
  // changed, in the registry or its file, and the error is raised.
  void SaveSettings();
  // Writes only "Type" from ModelIndex, likewise all or nothing.
  void SaveModelType();
};

}  // namespace osc
