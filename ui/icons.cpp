#include "ui/icons.h"

#include <QFile>

// Q_INIT_RESOURCE must be expanded outside any namespace.
static void InitIconResourceData() {
  Q_INIT_RESOURCE(icons);
}

namespace osc {

namespace {

// Kept in the order of the tool bars, so the contact sheet reads like the window; the
// settings dialog's range buttons come last before the program's own icon.
constexpr const char* kIconNames[] = {
    "record",    "open",          "save",     "erase",     "print",          "export",    "settings",
    "exit",      "mode-select",   "mode-pan", "mode-zoom", "auto-move",      "auto-zoom", "locked-axes",
    "nav-home",  "nav-fast-left", "nav-left", "nav-right", "nav-fast-right", "nav-end",   "zoom-in",
    "zoom-out",  "zoom-all",      "grid",     "cross",     "peak",           "analysis",  "close",
    "range-add", "range-delete",  "app",
};

}  // namespace

void InitIconResources() {
  static const bool done = (InitIconResourceData(), true);
  (void)done;
}

std::span<const char* const> OscIconNames() {
  return kIconNames;
}

QString OscIconPath(const char* name) {
  return QStringLiteral(":/icons/") + QString::fromUtf8(name) + QStringLiteral(".svg");
}

QIcon OscIcon(const char* name) {
  InitIconResources();
  const QString path = OscIconPath(name);
  if (!QFile::exists(path)) return QIcon();
  return QIcon(path);
}

}  // namespace osc
