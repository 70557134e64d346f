#pragma once
// Code page 1250 (the Central European Windows code page) and UTF-8. The program
// keeps text in UTF-8; record files hold unit texts in code page 1250.
//
// Characters that code page 1250 cannot hold become '?', and so do invalid UTF-8
// sequences (one '?' for each) and the five bytes that code page 1250 leaves
// undefined (0x81, 0x83, 0x88, 0x90, 0x98).
#include <string>
#include <string_view>

namespace osc {

std::string Utf8ToCp1250(std::string_view utf8);
std::string Cp1250ToUtf8(std::string_view cp1250);

// True when the text is well-formed UTF-8 (no overlong forms, surrogates or values past
// U+10FFFF).
bool IsValidUtf8(std::string_view utf8);

// The first `count` characters (code points) of a UTF-8 text; an invalid byte counts
// as one character.
std::string Utf8Left(std::string_view utf8, std::size_t count);

}  // namespace osc
