#pragma once
// UTF-8 text as the program holds it: checking it and cutting it by characters.
#include <cstddef>
#include <string>
#include <string_view>

namespace osc {

// True when `text` is well-formed UTF-8 (no overlong forms, surrogates or values past
// U+10FFFF).
bool IsValidUtf8(std::string_view text);

// The first `characters` characters of `text`. A byte that does not begin a well-formed
// sequence counts as one character, so any byte string is cut safely.
std::string Utf8Left(std::string_view text, std::size_t characters);

}  // namespace osc
