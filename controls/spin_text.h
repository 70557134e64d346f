#pragma once
// Internal: number texts of the spin boxes (not part of the public header set).
#include <string>

namespace osc::spin_text {

// Rounds halves to even and saturates to the int range; NaN gives 0.
int RoundToInt(double value);
// Saturates to the int range.
int SaturateToInt(long long value);

std::string Trim(const std::string& text);
// Removes `symbol` from the end of `text` when it is not empty, shorter than the text
// and equal to its tail ignoring ASCII letter case; a symbol written with leading blanks
// (" V") is also found without them ("5V").
std::string StripSuffix(const std::string& text, const std::string& symbol);

// A decimal integer, optional sign, blanks around; beyond the int range it saturates.
bool ParseDecimal(const std::string& text, int& value);
// Hexadecimal digits, blanks around. Up to eight significant digits are a 32-bit pattern
// (FFFFFFF6 is -10, as the box shows it with Digits 8); more saturate to the maximum.
bool ParseHex(const std::string& text, int& value);
// At least `digits` upper-case hex digits of the 32-bit pattern; a negative value whose
// text is longer keeps only its last `digits` characters (-10 with 2 digits is F6).
std::string FormatHex(int value, int digits);

// Drops the thousand separator from "1,234.50" when it groups the integer part by
// three; returns false (text untouched) when it is not a grouping ("2,5").
bool StripGrouping(std::string& text, char thousand_separator, char decimal_separator);

}  // namespace osc::spin_text
