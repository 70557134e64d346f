#pragma once
// The tool bar icons of the main window and the program's own icon, drawn as SVG on
// a 24 x 24 grid and compiled into the program as Qt resources under ":/icons/".
// Link osc_ui_icons to get them. QIcon renders them at whatever size and device
// pixel ratio the tool bar asks for, so one file serves 16 px, 24 px and high DPI.
#include <QIcon>
#include <QString>
#include <span>

namespace osc {

// Registers the icon resources. Safe to call more than once; OscIcon calls it, so
// it is needed only by code that opens ":/icons/..." paths directly.
void InitIconResources();

// Every icon, by base name: "record", "open", ..., "app".
std::span<const char* const> OscIconNames();

// The resource path of an icon: "record" gives ":/icons/record.svg".
QString OscIconPath(const char* name);

// The icon of that base name; a null QIcon when there is no such icon.
QIcon OscIcon(const char* name);

}  // namespace osc
