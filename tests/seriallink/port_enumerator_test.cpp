#include "seriallink/port_enumerator.h"

#include "platform/registry/registry.h"
#include "support/scratch_registry.h"

#include <gtest/gtest.h>

#include <memory>
#include <string>
#include <vector>

using namespace osc;
using namespace osc::win;
namespace {

// A menu without a display: items keep what they were given; checking a radio item
// unchecks the others.
class MemoryMenu : public TPortMenu {
 public:
  struct Entry : TPortMenuItem {
    std::vector<std::unique_ptr<Entry>>* all = nullptr;
    TPortMenuItemInit init;
    TClick click;
    std::string Caption() const override { return init.Caption; }
    std::string Name() const override { return init.Name; }
    int Tag() const override { return init.Tag; }
    bool Checked() const override { return init.Checked; }
    void SetChecked(bool checked) override {
      for (auto& other : *all)
        other->init.Checked &= !(checked && init.RadioItem && other->init.RadioItem);
      init.Checked = checked;
    }
  };

  int Count() const override { return static_cast<int>(items_.size()); }
  Entry& Item(int index) override { return *items_.at(static_cast<std::size_t>(index)); }
  void Clear() override { items_.clear(); }
  TPortMenuItem& Add(const TPortMenuItemInit& init, TClick click) override {
    items_.push_back(std::make_unique<Entry>());
    items_.back()->all = &items_;
    items_.back()->init = init;
    items_.back()->click = std::move(click);
    return *items_.back();
  }
  // The user chooses item `index`.
  void Click(int index) { Item(index).click(Item(index)); }
  // The captions, a checked item's marked with '*'.
  std::vector<std::string> Shown() const {
    std::vector<std::string> out;
    for (const auto& i : items_)
      out.push_back((i->init.Checked ? "*" : "") + i->init.Caption);
    return out;
  }

 private:
  std::vector<std::unique_ptr<Entry>> items_;
};

constexpr const char* kTestKey = "SOFTWARE\\Test\\SERIALCOMM";

// An enumerator over the test key, holding `ports` in the given order, whose OnChange
// counts its calls.
struct Rig {
  test::ScratchRegistry registry;
  TPortEnumerator ports{kTestKey};
  MemoryMenu menu;
  int changes = 0;
  TPortMenuItem* sender = nullptr;

  explicit Rig(const std::vector<std::string>& published) {
    HKEY key = nullptr;
    EXPECT_EQ(
        RegCreateKeyEx(HKEY_LOCAL_MACHINE, kTestKey, 0, nullptr, 0, KEY_ALL_ACCESS, nullptr, &key, nullptr),
        ERROR_SUCCESS);
    for (std::size_t n = 0; n < published.size(); ++n) {
      const std::string name = "\\Device\\Serial" + std::to_string(n);
      RegSetValueEx(key, name.c_str(), 0, REG_SZ, reinterpret_cast<const BYTE*>(published[n].c_str()),
                    static_cast<DWORD>(published[n].size() + 1));
    }
    RegCloseKey(key);
    ports.OnChange = [this](TPortMenuItem& item, const std::string&) {
      ++changes;
      sender = &item;
    };
  }
};

using Strings = std::vector<std::string>;

}  // namespace

TEST(PortEnumerator, CaptionsAndTagsPutTheAcceleratorOnTheNumber) {
  struct Case {
    const char* name;
    const char* caption;
    int tag;
  } cases[] = {
      {"COM3", "COM &3", 3},   {"COM1234567890", "COM &1234567890", 123456789},  // nine characters are read
      {"COM3a", "COM &3a", 0},                                                   // not a number: 0
      {"COM", "COM", 0},       {"/dev/ttyUSB0", "/dev/ttyUSB0", 0},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    int tag = -1;
    EXPECT_EQ(TPortEnumerator::ItemCaption(c.name, tag), c.caption);
    EXPECT_EQ(tag, c.tag);
    EXPECT_EQ(TPortEnumerator::PortOfCaption(c.caption), c.name);
  }
  EXPECT_EQ(TPortEnumerator::PortOfCaption("A & B&&"), "AB");
}

// Sorted ignoring case, so COM10 comes before COM2; the stored port is chosen while
// building, spelled as the item spells it.
TEST(PortEnumerator, BuildsOneSortedRadioItemPerPortAndChoosesTheStoredOne) {
  Rig rig({"COM2", "/dev/ttyUSB0", "COM10", "com1"});
  rig.ports.SetComName("com10");
  rig.ports.Refresh();
  rig.ports.BuildMenu(&rig.menu, false);
  EXPECT_EQ(rig.menu.Shown(), (Strings{"/dev/ttyUSB0", "com &1", "*COM &10", "COM &2"}));
  EXPECT_EQ(rig.menu.Item(2).init.Tag, 10);
  EXPECT_EQ(rig.menu.Item(3).init.Name, "aCom3");
  EXPECT_EQ(rig.changes, 1);
  EXPECT_EQ(rig.sender, &rig.menu.Item(2));
  EXPECT_EQ(rig.ports.ComName(), "COM10");
}

// Without a stored port the first item is checked; a click or a name chooses a port only
// through OnChange, and a name no item has is only stored.
TEST(PortEnumerator, ClicksAndNamesChooseThroughOnChange) {
  Rig rig({"COM1", "COM2"});
  rig.ports.SetParentMenu(&rig.menu);
  rig.ports.Loaded();
  EXPECT_EQ(rig.menu.Shown(), (Strings{"*COM &1", "COM &2"}));
  EXPECT_EQ(rig.changes, 0);

  rig.menu.Click(1);
  EXPECT_EQ(rig.menu.Shown(), (Strings{"COM &1", "*COM &2"}));
  EXPECT_EQ(rig.ports.ComName(), "COM2");
  EXPECT_EQ(rig.sender, &rig.menu.Item(1));

  rig.ports.SetComName("COM7");
  EXPECT_EQ(rig.ports.ComName(), "COM7");
  EXPECT_EQ(rig.menu.Shown(), (Strings{"COM &1", "*COM &2"}));
  rig.ports.SetComName("com1");
  EXPECT_EQ(rig.ports.ComName(), "COM1");
  EXPECT_EQ(rig.menu.Shown(), (Strings{"*COM &1", "COM &2"}));
  EXPECT_EQ(rig.changes, 2);

  rig.ports.OnChange = nullptr;
  rig.menu.Click(1);
  rig.ports.SetComName("COM2");
  EXPECT_EQ(rig.menu.Shown(), (Strings{"*COM &1", "COM &2"}));
  EXPECT_EQ(rig.ports.ComName(), "COM2") << "stored, not checked";
}
