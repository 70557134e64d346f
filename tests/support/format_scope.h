#pragma once
// Sets the user's number and time formats for one test and puts the previous ones back
// however the test ends (a failed assertion returns early; a hand-written restore at the
// end of the test would then leak the setting into the next test).
#include "platform/locale/locale.h"

namespace osc::test {

class FormatScope {
 public:
  FormatScope() : saved_(formatSettings()) {}
  FormatScope(char decimal, char thousand) : FormatScope() {
    formatSettings().DecimalSeparator = decimal;
    formatSettings().ThousandSeparator = thousand;
  }
  ~FormatScope() { formatSettings() = saved_; }
  FormatScope(const FormatScope&) = delete;
  FormatScope& operator=(const FormatScope&) = delete;

  FormatSettings& operator*() { return formatSettings(); }
  FormatSettings* operator->() { return &formatSettings(); }

 private:
  FormatSettings saved_;
};

// Czech: decimal comma, a space between thousands.
inline FormatScope CzechFormats() {
  return FormatScope(',', ' ');
}

}  // namespace osc::test
