#include "controls/spin_text.h"

#include <algorithm>
#include <cctype>
#include <climits>
#include <cmath>
#include <cstdio>

namespace osc::spin_text {

int RoundToInt(double value) {
  if (std::isnan(value)) return 0;
  const double r = std::nearbyint(value);
  if (r >= static_cast<double>(INT_MAX)) return INT_MAX;
  if (r <= static_cast<double>(INT_MIN)) return INT_MIN;
  return static_cast<int>(r);
}

int SaturateToInt(long long value) {
  return static_cast<int>(std::clamp<long long>(value, INT_MIN, INT_MAX));
}

std::string Trim(const std::string& text) {
  const auto b = text.find_first_not_of(" \t");
  if (b == std::string::npos) return {};
  const auto e = text.find_last_not_of(" \t");
  return text.substr(b, e - b + 1);
}

namespace {

bool TailEqualsIgnoringCase(const std::string& text, const std::string& tail) {
  if (tail.empty() || tail.size() >= text.size()) return false;
  const std::size_t off = text.size() - tail.size();
  for (std::size_t i = 0; i < tail.size(); ++i) {
    const auto a = static_cast<unsigned char>(text[off + i]);
    const auto b = static_cast<unsigned char>(tail[i]);
    if (std::tolower(a) != std::tolower(b)) return false;
  }
  return true;
}

// Accumulates digits with a cap far above the int range, so any length saturates.
constexpr long long kCap = 1LL << 40;

}  // namespace

std::string StripSuffix(const std::string& text, const std::string& symbol) {
  if (TailEqualsIgnoringCase(text, symbol)) return text.substr(0, text.size() - symbol.size());
  const std::string bare = Trim(symbol);
  if (bare != symbol && TailEqualsIgnoringCase(text, bare)) return text.substr(0, text.size() - bare.size());
  return text;
}

bool ParseDecimal(const std::string& text, int& value) {
  const std::string t = Trim(text);
  std::size_t i = 0;
  bool negative = false;
  if (i < t.size() && (t[i] == '+' || t[i] == '-')) negative = t[i++] == '-';
  if (i == t.size()) return false;
  long long acc = 0;
  for (; i < t.size(); ++i) {
    if (t[i] < '0' || t[i] > '9') return false;
    acc = std::min(acc * 10 + (t[i] - '0'), kCap);
  }
  value = SaturateToInt(negative ? -acc : acc);
  return true;
}

bool ParseHex(const std::string& text, int& value) {
  const std::string t = Trim(text);
  if (t.empty()) return false;
  unsigned long long acc = 0;
  for (char c : t) {
    const auto u = static_cast<unsigned char>(c);
    if (!std::isxdigit(u)) return false;
    const int d = std::isdigit(u) ? c - '0' : std::tolower(u) - 'a' + 10;
    acc = std::min<unsigned long long>(acc * 16 + static_cast<unsigned>(d), kCap);
  }
  if (acc > 0xFFFFFFFFULL) {
    value = INT_MAX;
  } else {
    value = static_cast<int>(static_cast<unsigned>(acc));  // two's complement pattern
  }
  return true;
}

std::string FormatHex(int value, int digits) {
  const int width = std::clamp(digits, 0, 32);
  char buf[48];
  std::snprintf(buf, sizeof buf, "%0*X", width, static_cast<unsigned>(value));
  std::string s = buf;
  if (value < 0 && width > 0 && static_cast<int>(s.size()) > width) s.erase(0, s.size() - width);
  return s;
}

bool StripGrouping(std::string& text, char thousand_separator, char decimal_separator) {
  if (thousand_separator == decimal_separator || text.find(thousand_separator) == std::string::npos)
    return false;
  const std::size_t start = (!text.empty() && (text[0] == '+' || text[0] == '-')) ? 1 : 0;
  std::size_t end = text.find(decimal_separator);
  if (end == std::string::npos) end = text.size();
  if (text.find(thousand_separator, end) != std::string::npos) return false;
  // Groups of exactly three digits after the first, which has one to three.
  std::size_t run = 0;
  bool first = true;
  for (std::size_t i = start; i < end; ++i) {
    if (text[i] == thousand_separator) {
      if (run == 0 || run > 3 || (!first && run != 3)) return false;
      first = false;
      run = 0;
    } else {
      ++run;
    }
  }
  if (run != 3) return false;
  text.erase(std::remove(text.begin(), text.end(), thousand_separator), text.end());
  return true;
}

}  // namespace osc::spin_text
