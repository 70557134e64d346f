#pragma once
// Locale-dependent formatting as the program shows numbers and times: the user's
// decimal separator and time and date formats, date-time values as days since
// 30 December 1899 (local time), and printf-style formatting that writes the user's
// decimal separator. The settings are process-wide; tests fix them.
#include <cstdint>
#include <initializer_list>
#include <string>

namespace osc {

// Days since 30 December 1899, local time; the fraction is the time of day.
using TDateTime = double;

struct FormatSettings {
  char DecimalSeparator = '.';
  char ThousandSeparator = ',';
  char TimeSeparator = ':';
  char DateSeparator = '/';
  std::string LongTimeFormat = "hh:nn:ss";  // tokens as FormatDateTime takes them
  std::string ShortTimeFormat = "hh:nn";
  std::string ShortDateFormat = "dd/mm/yyyy";
};

FormatSettings& formatSettings();
// Takes the separators and formats from the user's locale (LANG / LC_*).
void LoadSystemFormatSettings();

// One argument of Format().
struct FormatArg {
  enum class Kind { Int, Double, Text } kind;
  std::int64_t i = 0;
  double d = 0;
  std::string s;
  FormatArg(int v) : kind(Kind::Int), i(v) {}
  FormatArg(unsigned v) : kind(Kind::Int), i(v) {}
  FormatArg(long v) : kind(Kind::Int), i(v) {}
  FormatArg(unsigned long v) : kind(Kind::Int), i(static_cast<std::int64_t>(v)) {}
  FormatArg(long long v) : kind(Kind::Int), i(v) {}
  FormatArg(unsigned long long v) : kind(Kind::Int), i(static_cast<std::int64_t>(v)) {}
  FormatArg(double v) : kind(Kind::Double), d(v) {}
  FormatArg(float v) : kind(Kind::Double), d(v) {}
  FormatArg(const char* v) : kind(Kind::Text), s(v ? v : "") {}
  FormatArg(std::string v) : kind(Kind::Text), s(std::move(v)) {}
};

// printf-style: %d %u %x %X %c %s %f %e %g with flags, width and precision; floating
// conversions use the user's decimal separator. A missing or mistyped argument is
// formatted as 0 or "" rather than read from the stack.
std::string Format(const char* format, std::initializer_list<FormatArg> args);

enum class FloatFormat { General, Exponent, Fixed, Number };
// As Delphi's FloatToStrF: rounded to `precision` significant digits; Fixed and Number
// show `digits` decimals (Number with thousand separators); Fixed switches to
// scientific notation when the integer part has more than `precision` digits.
std::string FloatToStrF(double value, FloatFormat format, int precision, int digits);

// Reads a number written with the user's decimal separator (surrounding blanks allowed).
bool TryStrToFloat(const std::string& text, double& value);

// Tokens: d dd m mm yy yyyy h hh n nn s ss z zzz, t (short time), tt (long time),
// ddddd (short date), c (short date and long time), ':' and '/' (the separators),
// "text" and 'text' literally.
std::string FormatDateTime(const std::string& format, TDateTime value);

TDateTime Now();
TDateTime EncodeDateTime(int year, int month, int day, int hour, int minute, int second, int msec);
void DecodeDateTime(TDateTime value, int& year, int& month, int& day, int& hour, int& minute, int& second,
                    int& msec);

}  // namespace osc
