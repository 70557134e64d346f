#include "seriallink/port_enumerator.h"

#include "platform/registry/registry.h"

#include <algorithm>
#include <cstdlib>
#include <utility>

namespace osc {
namespace {

using namespace win;

char Lower(char c) {
  return c >= 'A' && c <= 'Z' ? static_cast<char>(c - 'A' + 'a') : c;
}

bool LessIgnoringCase(const std::string& a, const std::string& b) {
  return std::lexicographical_compare(a.begin(), a.end(), b.begin(), b.end(),
                                      [](char x, char y) { return Lower(x) < Lower(y); });
}

bool SameText(const std::string& a, const std::string& b) {
  return a.size() == b.size() &&
         std::equal(a.begin(), a.end(), b.begin(), [](char x, char y) { return Lower(x) == Lower(y); });
}

bool IsDigit(char c) {
  return c >= '0' && c <= '9';
}

// The integer value of `text`, or 0 when it is not a whole decimal number.
int IntOrZero(const std::string& text) {
  if (text.empty()) return 0;
  char* end = nullptr;
  long v = std::strtol(text.c_str(), &end, 10);
  return *end == '\0' && IsDigit(text[0]) ? static_cast<int>(v) : 0;
}

// The string data of value `index`, or false when there is none (or it is not a string).
bool ReadPortValue(HKEY key, DWORD index, std::string& port, bool& more) {
  char name[16384];
  DWORD nameLength = sizeof name;
  DWORD type = 0;
  DWORD size = 0;
  LSTATUS r = RegEnumValue(key, index, name, &nameLength, nullptr, &type, nullptr, &size);
  more = r == ERROR_SUCCESS;
  if (!more || (type != REG_SZ && type != REG_EXPAND_SZ)) return false;
  std::string data(size, '\0');
  if (size > 0 && RegQueryValueEx(key, name, nullptr, &type, reinterpret_cast<BYTE*>(data.data()), &size) !=
                      ERROR_SUCCESS) {
    return false;
  }
  data.resize(std::min<std::size_t>(size, data.find('\0')));
  port = std::move(data);
  return true;
}

}  // namespace

std::string TPortEnumerator::ItemCaption(const std::string& name, int& number) {
  number = 0;
  if (name.size() < 4 || !SameText(name.substr(0, 3), "COM") || !IsDigit(name[3])) return name;
  number = IntOrZero(name.substr(3, 9));
  return name.substr(0, 3) + " &" + name.substr(3);
}

std::string TPortEnumerator::PortOfCaption(const std::string& caption) {
  std::string port;
  for (char c : caption) {
    if (c != '&' && c != ' ') port += c;
  }
  return port;
}

void TPortEnumerator::Loaded() {
  Refresh();
  BuildMenu(parent_menu_, false);
}

void TPortEnumerator::Refresh() {
  port_list_.clear();
  HKEY key = nullptr;
  if (RegOpenKeyEx(HKEY_LOCAL_MACHINE, key_.c_str(), 0, KEY_READ, &key) != ERROR_SUCCESS) return;
  bool more = true;
  for (DWORD i = 0; more; ++i) {
    std::string port;
    if (ReadPortValue(key, i, port, more)) port_list_.push_back(std::move(port));
  }
  RegCloseKey(key);
  std::stable_sort(port_list_.begin(), port_list_.end(), LessIgnoringCase);
}

void TPortEnumerator::BuildMenu(TPortMenu* menu, bool clearFirst) {
  if (menu == nullptr) return;
  if (clearFirst) menu->Clear();
  for (const std::string& name : port_list_) {
    TPortMenuItemInit init;
    init.Caption = ItemCaption(name, init.Tag);
    init.Name = "aCom" + std::to_string(menu->Count());
    init.Checked = menu->Count() == 0;
    TPortMenuItem& item = menu->Add(init, [this](TPortMenuItem& clicked) { ItemClick(clicked); });
    if (SameText(name, com_name_)) ItemClick(item);
  }
}

void TPortEnumerator::ItemClick(TPortMenuItem& item) {
  if (!OnChange) return;
  com_name_ = PortOfCaption(item.Caption());
  item.SetChecked(true);
  OnChange(item, com_name_);
}

void TPortEnumerator::SetComName(const std::string& name) {
  com_name_ = name;
  if (parent_menu_ == nullptr) return;
  for (int i = 0; i < parent_menu_->Count(); ++i) {
    TPortMenuItem& item = parent_menu_->Item(i);
    if (SameText(PortOfCaption(item.Caption()), name)) {
      ItemClick(item);
      return;
    }
  }
}

}  // namespace osc
