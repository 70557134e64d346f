// The port enumerator filling a real QMenu: radio actions, accelerators, tags, names,
// and clicks that check nothing by themselves.
#include "ui/port_menu.h"

#include <gtest/gtest.h>
#include <QAction>
#include <QActionGroup>
#include <QMenu>
#include <memory>

#include "platform/registry/registry.h"
#include "support/scratch_registry.h"

namespace osc {
namespace {

using namespace win;

constexpr const char* kKey = "SOFTWARE\\Test\\SERIALCOMM";

void Publish(const std::vector<std::string>& ports) {
  HKEY key = nullptr;
  ASSERT_EQ(RegCreateKeyEx(HKEY_LOCAL_MACHINE, kKey, 0, nullptr, 0, KEY_ALL_ACCESS, nullptr, &key, nullptr),
            ERROR_SUCCESS);
  int n = 0;
  for (const std::string& p : ports) {
    const std::string name = "\\Device\\Serial" + std::to_string(n++);
    ASSERT_EQ(RegSetValueEx(key, name.c_str(), 0, REG_SZ, reinterpret_cast<const BYTE*>(p.c_str()),
                            static_cast<DWORD>(p.size() + 1)),
              ERROR_SUCCESS);
  }
  RegCloseKey(key);
}

struct Rig {
  test::ScratchRegistry registry;
  QMenu menu;
  std::unique_ptr<TQtPortMenu> adapter = std::make_unique<TQtPortMenu>(menu);
  TPortEnumerator ports{kKey};
  int changes = 0;
  std::string sender;

  Rig() {
    Publish({"COM2", "COM10", "COM1", "/dev/ttyUSB0"});
    ports.OnChange = [this](TPortMenuItem& item, const std::string&) {
      ++changes;
      sender = item.Caption();
    };
    ports.SetParentMenu(adapter.get());
  }
  QAction* Action(int i) { return menu.actions().at(i); }
  std::vector<bool> Checks() {
    std::vector<bool> out;
    for (QAction* a : menu.actions())
      out.push_back(a->isChecked());
    return out;
  }
};

TEST(PortMenu, ActionsAreRadioItemsCheckedOnlyThroughOnChange) {
  Rig rig;
  rig.ports.SetComName("com2");
  rig.ports.Loaded();
  ASSERT_EQ(rig.menu.actions().size(), 4);
  const char* captions[] = {"/dev/ttyUSB0", "COM &1", "COM &10", "COM &2"};
  const int tags[] = {0, 1, 10, 2};
  for (int i = 0; i < 4; ++i) {
    SCOPED_TRACE(i);
    QAction* a = rig.Action(i);
    EXPECT_EQ(a->text(), captions[i]);
    EXPECT_EQ(a->property("Tag").toInt(), tags[i]);
    EXPECT_EQ(a->objectName(), QString("aCom%1").arg(i));
    ASSERT_NE(a->actionGroup(), nullptr);
    EXPECT_TRUE(a->actionGroup()->isExclusive());  // drawn as a radio item
  }
  EXPECT_EQ(rig.Checks(), (std::vector<bool>{false, false, false, true}));

  rig.Action(1)->trigger();
  EXPECT_EQ(rig.Checks(), (std::vector<bool>{false, true, false, false}));
  EXPECT_EQ(rig.ports.ComName(), "COM1");
  EXPECT_EQ(rig.sender, "COM &1");
  rig.ports.SetComName("COM10");
  EXPECT_EQ(rig.Checks(), (std::vector<bool>{false, false, true, false}));
  rig.ports.OnChange = nullptr;
  rig.Action(1)->trigger();  // Qt's own toggle is undone
  EXPECT_EQ(rig.Checks(), (std::vector<bool>{false, false, true, false}));
}

TEST(PortMenu, ForeignActionsCountAndClearFirstRemovesThem) {
  Rig rig;
  rig.menu.addAction("Obnovit");
  rig.ports.Refresh();
  rig.ports.BuildMenu(rig.adapter.get(), false);
  ASSERT_EQ(rig.menu.actions().size(), 5);
  EXPECT_EQ(rig.Action(1)->objectName(), "aCom1");
  EXPECT_EQ(rig.adapter->Item(0).Caption(), "Obnovit");
  rig.ports.BuildMenu(rig.adapter.get(), true);
  EXPECT_EQ(rig.menu.actions().size(), 4);
}

TEST(PortMenu, ActionsOutliveTheAdapterHarmlessly) {
  Rig rig;
  rig.ports.Loaded();
  rig.ports.SetParentMenu(nullptr);
  rig.adapter.reset();
  rig.Action(3)->trigger();
  EXPECT_EQ(rig.changes, 0);
}

}  // namespace
}  // namespace osc
