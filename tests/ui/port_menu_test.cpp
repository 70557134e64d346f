// The port enumerator filling a real QMenu: what the adapter adds to the enumerator's
// rules (captions, order and choice are seriallink's tests).
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

std::vector<bool> Checks(const QMenu& menu) {
  std::vector<bool> out;
  for (QAction* a : menu.actions())
    out.push_back(a->isChecked());
  return out;
}

// Radio actions with their tag and name, checked only through OnChange (Qt's own toggle
// is undone); foreign actions count, the first rebuild clears them; actions outlive the
// adapter harmlessly.
TEST(PortMenu, RadioActionsCheckedOnlyThroughOnChange) {
  test::ScratchRegistry registry;
  HKEY key = nullptr;
  ASSERT_EQ(RegCreateKeyEx(HKEY_LOCAL_MACHINE, kKey, 0, nullptr, 0, KEY_ALL_ACCESS, nullptr, &key, nullptr),
            ERROR_SUCCESS);
  for (const std::string p : {"COM2", "COM10", "COM1"}) {
    ASSERT_EQ(RegSetValueEx(key, ("\\Device\\" + p).c_str(), 0, REG_SZ,
                            reinterpret_cast<const BYTE*>(p.c_str()), static_cast<DWORD>(p.size() + 1)),
              ERROR_SUCCESS);
  }
  RegCloseKey(key);
  QMenu menu;
  menu.addAction("Obnovit");
  auto adapter = std::make_unique<TQtPortMenu>(menu);
  TPortEnumerator ports{kKey};
  int changes = 0;
  ports.OnChange = [&](TPortMenuItem&, const std::string&) { ++changes; };
  ports.SetParentMenu(adapter.get());
  ports.Refresh();
  ports.BuildMenu(adapter.get(), false);
  ASSERT_EQ(menu.actions().size(), 4);
  EXPECT_EQ(adapter->Item(0).Caption(), "Obnovit");
  ports.BuildMenu(adapter.get(), true);
  ASSERT_EQ(menu.actions().size(), 3);
  QAction* com10 = menu.actions().at(1);
  EXPECT_EQ(com10->property("Tag").toInt(), 10);
  EXPECT_EQ(com10->objectName(), "aCom1");
  ASSERT_NE(com10->actionGroup(), nullptr);

  ports.SetComName("com2");
  EXPECT_EQ(Checks(menu), (std::vector<bool>{false, false, true}));
  com10->trigger();
  EXPECT_EQ(Checks(menu), (std::vector<bool>{false, true, false}));
  EXPECT_EQ(ports.ComName(), "COM10");
  ports.OnChange = nullptr;
  menu.actions().at(0)->trigger();
  EXPECT_EQ(Checks(menu), (std::vector<bool>{false, true, false}));

  ports.OnChange = [&](TPortMenuItem&, const std::string&) { ++changes; };
  const int before = changes;
  ports.SetParentMenu(nullptr);
  adapter.reset();
  menu.actions().at(2)->trigger();
  EXPECT_EQ(changes, before);
}

}  // namespace
}  // namespace osc
