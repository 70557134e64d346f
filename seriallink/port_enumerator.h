#pragma once
// TPortEnumerator: the machine's serial ports as the registry publishes them
// (HKEY_LOCAL_MACHINE\HARDWARE\DEVICEMAP\SERIALCOMM), offered as radio items of a menu.
//
// Contract:
// - Refresh rebuilds PortList from the string data of the key's values, sorted ignoring
//   ASCII case (so COM10 comes before COM2). A missing key gives an empty list, silently.
// - BuildMenu(menu, clearFirst) appends one radio item (group 1) per port: caption = the
//   name, or for "COM" + digit names the name with " &" before the number ("COM &3",
//   the digit is the accelerator); Tag = that number (0 for other names); name "aCom"
//   followed by the number of items the menu had before; checked only when the menu was
//   empty. An item whose port equals ComName (ignoring case) is chosen (ItemClick).
//   Nothing happens without a menu.
// - ItemClick(item) acts only when OnChange is set: ComName := the item's port, the item
//   is checked, OnChange(item, ComName). Without OnChange a click changes nothing.
// - SetComName stores the name, then chooses the first item of ParentMenu whose port
//   matches, if any.
// - Loaded: Refresh, then BuildMenu(ParentMenu, false); run once the properties are set.
// The menu is not owned; it must outlive the enumerator or be unset first.
#include <functional>
#include <string>
#include <utility>
#include <vector>

namespace osc {

// One item of a port menu, as the enumerator sees it.
class TPortMenuItem {
 public:
  virtual ~TPortMenuItem() = default;
  virtual std::string Caption() const = 0;
  virtual std::string Name() const = 0;
  virtual int Tag() const = 0;
  virtual bool Checked() const = 0;
  // Checking a radio item unchecks the other radio items of its group in its menu.
  virtual void SetChecked(bool checked) = 0;
};

// What the enumerator asks of a new item.
struct TPortMenuItemInit {
  std::string Caption;
  std::string Name;
  int Tag = 0;
  bool Checked = false;
  int GroupIndex = 1;
  bool RadioItem = true;
  bool Enabled = true;
  bool AutoHotkeys = false;  // the caption's accelerator mark is kept as given
};

// A menu the enumerator can fill: a list of items, any of which may be foreign.
class TPortMenu {
 public:
  using TClick = std::function<void(TPortMenuItem& item)>;

  virtual ~TPortMenu() = default;
  virtual int Count() const = 0;
  // Valid until the menu changes.
  virtual TPortMenuItem& Item(int index) = 0;
  virtual void Clear() = 0;
  // Appends an item; `click` runs when the user chooses it. A click itself checks nothing.
  virtual TPortMenuItem& Add(const TPortMenuItemInit& init, TClick click) = 0;
};

class TPortEnumerator {
 public:
  using TComChangeEvent = std::function<void(TPortMenuItem& sender, const std::string& comName)>;

  static constexpr const char* kSerialCommKey = "\\HARDWARE\\DEVICEMAP\\SERIALCOMM";

  // `key`: where the ports are published below HKEY_LOCAL_MACHINE (tests use their own).
  explicit TPortEnumerator(std::string key = kSerialCommKey) : key_(std::move(key)) {}
  // Menu items call back into the enumerator: clear or destroy the menu first.
  TPortEnumerator(const TPortEnumerator&) = delete;
  TPortEnumerator& operator=(const TPortEnumerator&) = delete;

  const std::string& ComName() const { return com_name_; }
  void SetComName(const std::string& name);
  TPortMenu* ParentMenu() const { return parent_menu_; }
  void SetParentMenu(TPortMenu* menu) { parent_menu_ = menu; }
  TComChangeEvent OnChange;

  const std::vector<std::string>& PortList() const { return port_list_; }

  void Loaded();
  void Refresh();
  void BuildMenu(TPortMenu* menu, bool clearFirst);
  void ItemClick(TPortMenuItem& item);

  // "COM3" -> "COM &3" with number 3; other names keep their caption with number 0.
  static std::string ItemCaption(const std::string& name, int& number);
  // The port a caption stands for: every '&', then every blank removed.
  static std::string PortOfCaption(const std::string& caption);

 private:
  std::string key_;
  std::string com_name_;
  TPortMenu* parent_menu_ = nullptr;
  std::vector<std::string> port_list_;
};

}  // namespace osc
