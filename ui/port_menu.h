#pragma once
// TQtPortMenu: a QMenu as the port enumerator's menu. Port items are checkable actions
// of one optional-exclusive action group per group index, so the style draws them as
// radio items; Tag is the action's "Tag" property, Name its object name.
//
// As with the menus the enumerator was made for, choosing an item checks nothing by
// itself: the checked state is what SetChecked last set, and Qt's automatic toggle on a
// click is undone before the item's click runs. Actions the adapter did not add count as
// items too (Clear removes them as well).
#include <QPointer>
#include <map>
#include <memory>

#include "seriallink/port_enumerator.h"

class QAction;
class QActionGroup;
class QMenu;
class QObject;

namespace osc {

class TQtPortMenu : public TPortMenu {
 public:
  // `menu` must outlive the adapter; the adapter's connections end with it.
  explicit TQtPortMenu(QMenu& menu);
  ~TQtPortMenu() override;

  int Count() const override;
  TPortMenuItem& Item(int index) override;
  void Clear() override;
  TPortMenuItem& Add(const TPortMenuItemInit& init, TClick click) override;

  QMenu& Menu() const { return menu_; }

 private:
  class PortItem;

  PortItem& Wrap(QAction* action);
  QActionGroup* Group(int groupIndex);
  // Puts every action of `action`'s group back to the state SetChecked gave it.
  void RestoreChecks(QAction* action);

  QMenu& menu_;
  std::unique_ptr<QObject> context_;  // owns the connections and the groups
  std::map<QAction*, std::unique_ptr<PortItem>> items_;
  std::map<int, QPointer<QActionGroup>> groups_;
};

}  // namespace osc
