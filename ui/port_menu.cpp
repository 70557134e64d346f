#include "ui/port_menu.h"

#include <QAction>
#include <QActionGroup>
#include <QMenu>

namespace osc {
namespace {

constexpr const char* kChecked = "oscChecked";  // the state SetChecked gave the item
constexpr const char* kTag = "Tag";

bool ModelChecked(const QAction* action) {
  const QVariant v = action->property(kChecked);
  return v.isValid() ? v.toBool() : action->isChecked();
}

}  // namespace

class TQtPortMenu::PortItem final : public TPortMenuItem {
 public:
  explicit PortItem(QAction* action) : action_(action) {}

  std::string Caption() const override { return action_->text().toStdString(); }
  std::string Name() const override { return action_->objectName().toStdString(); }
  int Tag() const override { return action_->property(kTag).toInt(); }
  bool Checked() const override { return ModelChecked(action_); }
  void SetChecked(bool checked) override {
    QActionGroup* group = action_->actionGroup();
    if (checked && group != nullptr) {
      for (QAction* other : group->actions())
        other->setProperty(kChecked, false);
    }
    action_->setProperty(kChecked, checked);
    Apply(action_);
  }

  // Shows the states SetChecked gave: unchecked ones first, so a group never holds two.
  static void Apply(QAction* action) {
    QActionGroup* group = action->actionGroup();
    const QList<QAction*> actions = group != nullptr ? group->actions() : QList<QAction*>{action};
    for (QAction* a : actions) {
      if (!ModelChecked(a)) a->setChecked(false);
    }
    for (QAction* a : actions) {
      if (ModelChecked(a)) a->setChecked(true);
    }
  }

 private:
  QAction* action_;
};

TQtPortMenu::TQtPortMenu(QMenu& menu) : menu_(menu), context_(std::make_unique<QObject>()) {}

TQtPortMenu::~TQtPortMenu() = default;

int TQtPortMenu::Count() const {
  return static_cast<int>(menu_.actions().size());
}

TPortMenuItem& TQtPortMenu::Item(int index) {
  return Wrap(menu_.actions().at(index));
}

void TQtPortMenu::Clear() {
  items_.clear();
  menu_.clear();
}

TPortMenuItem& TQtPortMenu::Add(const TPortMenuItemInit& init, TClick click) {
  auto* action = new QAction(QString::fromStdString(init.Caption), &menu_);
  action->setObjectName(QString::fromStdString(init.Name));
  action->setProperty(kTag, init.Tag);
  action->setEnabled(init.Enabled);
  action->setCheckable(true);
  if (init.RadioItem) action->setActionGroup(Group(init.GroupIndex));
  menu_.addAction(action);
  PortItem& item = Wrap(action);
  item.SetChecked(init.Checked);
  QObject::connect(action, &QAction::triggered, context_.get(), [this, action, click] {
    RestoreChecks(action);
    if (click) click(Wrap(action));
  });
  return item;
}

TQtPortMenu::PortItem& TQtPortMenu::Wrap(QAction* action) {
  auto found = items_.find(action);
  if (found != items_.end()) return *found->second;
  QObject::connect(action, &QObject::destroyed, context_.get(), [this, action] { items_.erase(action); });
  return *items_.emplace(action, std::make_unique<PortItem>(action)).first->second;
}

QActionGroup* TQtPortMenu::Group(int groupIndex) {
  QPointer<QActionGroup>& group = groups_[groupIndex];
  if (group.isNull()) {
    group = new QActionGroup(context_.get());
    group->setExclusionPolicy(QActionGroup::ExclusionPolicy::ExclusiveOptional);
  }
  return group;
}

void TQtPortMenu::RestoreChecks(QAction* action) {
  PortItem::Apply(action);
}

}  // namespace osc
