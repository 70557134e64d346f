#include "platform/utf8.h"

namespace osc {
namespace {

// Length in bytes of the well-formed sequence at the front of `s`, or 0.
std::size_t SequenceLength(std::string_view s) {
  auto c = static_cast<unsigned char>(s[0]);
  if (c < 0x80) return 1;
  std::size_t n = 0;
  char32_t cp = 0;
  if ((c & 0xE0) == 0xC0) {
    n = 1;
    cp = c & 0x1F;
  } else if ((c & 0xF0) == 0xE0) {
    n = 2;
    cp = c & 0x0F;
  } else if ((c & 0xF8) == 0xF0) {
    n = 3;
    cp = c & 0x07;
  } else {
    return 0;
  }
  if (s.size() <= n) return 0;
  for (std::size_t k = 1; k <= n; ++k) {
    auto t = static_cast<unsigned char>(s[k]);
    if ((t & 0xC0) != 0x80) return 0;
    cp = (cp << 6) | (t & 0x3F);
  }
  static constexpr char32_t kMin[] = {0, 0x80, 0x800, 0x10000};
  if (cp < kMin[n] || cp > 0x10FFFF || (cp >= 0xD800 && cp <= 0xDFFF)) return 0;
  return n + 1;
}

}  // namespace

bool IsValidUtf8(std::string_view text) {
  while (!text.empty()) {
    std::size_t n = SequenceLength(text);
    if (n == 0) return false;
    text.remove_prefix(n);
  }
  return true;
}

std::string Utf8Left(std::string_view text, std::size_t characters) {
  std::size_t end = 0;
  for (; characters > 0 && end < text.size(); --characters) {
    std::size_t n = SequenceLength(text.substr(end));
    end += n == 0 ? 1 : n;
  }
  return std::string(text.substr(0, end));
}

}  // namespace osc
