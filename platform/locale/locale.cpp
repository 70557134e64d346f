#include "platform/locale/locale.h"

#include <langinfo.h>
#include <locale.h>
#include <chrono>
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <ctime>

namespace osc {

FormatSettings& formatSettings() {
  static FormatSettings settings;
  return settings;
}

namespace {

// strftime format -> our date-time tokens ("%H:%M:%S" -> "hh:nn:ss").
std::string from_strftime(const std::string& f) {
  std::string out;
  for (std::size_t i = 0; i < f.size(); ++i) {
    if (f[i] != '%' || i + 1 >= f.size()) {
      out += f[i];
      continue;
    }
    char c = f[++i];
    bool no_pad = false;
    if ((c == '-' || c == '_') && i + 1 < f.size()) {
      no_pad = true;
      c = f[++i];
    }
    switch (c) {
      case 'H':
      case 'k':
        out += no_pad || c == 'k' ? "h" : "hh";
        break;
      case 'I':
      case 'l':
        out += no_pad || c == 'l' ? "h" : "hh";
        break;
      case 'M':
        out += no_pad ? "n" : "nn";
        break;
      case 'S':
        out += no_pad ? "s" : "ss";
        break;
      case 'd':
        out += no_pad ? "d" : "dd";
        break;
      case 'e':
        out += "d";
        break;
      case 'm':
        out += no_pad ? "m" : "mm";
        break;
      case 'y':
        out += "yy";
        break;
      case 'Y':
        out += "yyyy";
        break;
      case 'T':
        out += "hh:nn:ss";
        break;
      case 'R':
        out += "hh:nn";
        break;
      case 'D':
        out += "mm/dd/yy";
        break;
      case 'F':
        out += "yyyy-mm-dd";
        break;
      case 'p':
      case 'P':
      case 'Z':
      case 'z':
        break;
      default:
        break;
    }
  }
  // Drop blanks left behind by dropped AM/PM or zone fields.
  while (!out.empty() && out.back() == ' ')
    out.pop_back();
  return out;
}

std::string quote_literal(char sep) {
  return std::string(1, sep);
}

}  // namespace

void LoadSystemFormatSettings() {
  locale_t loc = newlocale(LC_ALL_MASK, "", static_cast<locale_t>(0));
  if (loc == static_cast<locale_t>(0)) return;
  FormatSettings& s = formatSettings();
  if (const char* radix = nl_langinfo_l(RADIXCHAR, loc); radix && radix[0] && !radix[1]) {
    s.DecimalSeparator = radix[0];
  }
  if (const char* thou = nl_langinfo_l(THOUSEP, loc); thou && thou[0] && !thou[1]) {
    s.ThousandSeparator = thou[0];
  } else {
    s.ThousandSeparator = ' ';
  }
  if (const char* t = nl_langinfo_l(T_FMT, loc); t && *t) s.LongTimeFormat = from_strftime(t);
  if (const char* d = nl_langinfo_l(D_FMT, loc); d && *d) s.ShortDateFormat = from_strftime(d);
  for (char c : s.ShortDateFormat) {
    if (c != 'd' && c != 'm' && c != 'y') {
      s.DateSeparator = c;
      break;
    }
  }
  std::string sh = s.LongTimeFormat;
  if (auto pos = sh.rfind(quote_literal(s.TimeSeparator) + "s"); pos != std::string::npos) sh.erase(pos);
  s.ShortTimeFormat = sh;
  freelocale(loc);
}

std::string Format(const char* format, std::initializer_list<FormatArg> args) {
  std::string out;
  auto next = args.begin();
  const char* p = format;
  while (*p) {
    if (*p != '%') {
      out += *p++;
      continue;
    }
    if (p[1] == '%') {
      out += '%';
      p += 2;
      continue;
    }
    std::string conv_spec = "%";
    ++p;
    while (*p && std::string_view("-+ #0").find(*p) != std::string_view::npos)
      conv_spec += *p++;
    while (*p >= '0' && *p <= '9')
      conv_spec += *p++;
    if (*p == '.') {
      conv_spec += *p++;
      while (*p >= '0' && *p <= '9')
        conv_spec += *p++;
    }
    while (*p == 'l' || *p == 'h' || *p == 'z')
      ++p;  // lengths come from the argument
    char conv = *p ? *p++ : 'd';
    const FormatArg* a = next != args.end() ? &*next++ : nullptr;
    char buf[512];
    switch (conv) {
      case 'd':
      case 'i':
      case 'u':
      case 'x':
      case 'X':
      case 'c': {
        long long v = 0;
        if (a && a->kind == FormatArg::Kind::Int)
          v = a->i;
        else if (a && a->kind == FormatArg::Kind::Double)
          v = static_cast<long long>(a->d);
        if (conv == 'c') {
          std::snprintf(buf, sizeof buf, (conv_spec + "c").c_str(), static_cast<int>(v));
        } else {
          std::snprintf(buf, sizeof buf, (conv_spec + "ll" + (conv == 'i' ? 'd' : conv)).c_str(), v);
        }
        out += buf;
        break;
      }
      case 'f':
      case 'F':
      case 'e':
      case 'E':
      case 'g':
      case 'G': {
        double v = 0;
        if (a && a->kind == FormatArg::Kind::Double)
          v = a->d;
        else if (a && a->kind == FormatArg::Kind::Int)
          v = static_cast<double>(a->i);
        std::snprintf(buf, sizeof buf, (conv_spec + conv).c_str(), v);
        for (char* c = buf; *c; ++c) {
          if (*c == '.') *c = formatSettings().DecimalSeparator;
        }
        out += buf;
        break;
      }
      case 's': {
        std::string v = a && a->kind == FormatArg::Kind::Text ? a->s : std::string();
        std::snprintf(buf, sizeof buf, (conv_spec + "s").c_str(), v.c_str());
        out += buf;
        break;
      }
      default:
        out += conv_spec + conv;
        break;
    }
  }
  return out;
}

std::string FloatToStrF(double value, FloatFormat format, int precision, int digits) {
  if (std::isnan(value)) return "NAN";
  if (std::isinf(value)) return value > 0 ? "INF" : "-INF";
  if (precision < 1) precision = 1;
  if (precision > 18) precision = 18;
  if (digits < 0) digits = 0;
  if (digits > 18) digits = 18;
  char sep = formatSettings().DecimalSeparator;
  char buf[512];
  // Round to `precision` significant digits first, as the Delphi conversion does.
  std::snprintf(buf, sizeof buf, "%.*e", precision - 1, value);
  double rounded = std::strtod(buf, nullptr);
  int int_digits = rounded == 0 ? 1 : static_cast<int>(std::floor(std::log10(std::fabs(rounded)))) + 1;
  auto localise = [sep](std::string s) {
    for (char& c : s) {
      if (c == '.') c = sep;
    }
    return s;
  };
  switch (format) {
    case FloatFormat::Exponent:
      std::snprintf(buf, sizeof buf, "%.*E", precision - 1, value);
      return localise(buf);
    case FloatFormat::General: {
      std::snprintf(buf, sizeof buf, "%.*G", precision, value);
      return localise(buf);
    }
    case FloatFormat::Fixed:
    case FloatFormat::Number: {
      if (int_digits > precision) {
        std::snprintf(buf, sizeof buf, "%.*E", precision - 1, value);
        return localise(buf);
      }
      std::snprintf(buf, sizeof buf, "%.*f", digits, rounded);
      std::string s = buf;
      if (s == "-0" || (s.size() > 1 && s[0] == '-' && s.find_first_not_of("-0.") == std::string::npos)) {
        s.erase(0, 1);  // no "-0.00"
      }
      std::size_t end = s.find('.');
      if (end == std::string::npos) end = s.size();
      // The decimal point first: a group separator that is another locale's decimal
      // point (German '.') must never be taken for it.
      s = localise(s);
      if (format == FloatFormat::Number) {
        const std::size_t start = s[0] == '-' ? 1 : 0;
        for (std::ptrdiff_t i = static_cast<std::ptrdiff_t>(end) - 3; i > static_cast<std::ptrdiff_t>(start);
             i -= 3) {
          s.insert(static_cast<std::size_t>(i), 1, formatSettings().ThousandSeparator);
        }
      }
      return s;
    }
  }
  return {};
}

bool TryStrToFloat(const std::string& text, double& value) {
  std::size_t b = text.find_first_not_of(" \t");
  std::size_t e = text.find_last_not_of(" \t");
  if (b == std::string::npos) return false;
  std::string t = text.substr(b, e - b + 1);
  char sep = formatSettings().DecimalSeparator;
  for (char& c : t) {
    if (c == sep) {
      c = '.';
    } else if (c == '.' && sep != '.') {
      return false;
    }
  }
  for (char c : t) {
    if (!((c >= '0' && c <= '9') || c == '.' || c == '+' || c == '-' || c == 'e' || c == 'E')) return false;
  }
  char* end = nullptr;
  double v = std::strtod(t.c_str(), &end);
  if (end == t.c_str() || *end != '\0') return false;
  value = v;
  return true;
}

namespace {

// Days since 1970-01-01 from a civil date (proleptic Gregorian).
long long days_from_civil(long long y, unsigned m, unsigned d) {
  y -= m <= 2;
  const long long era = (y >= 0 ? y : y - 399) / 400;
  const unsigned yoe = static_cast<unsigned>(y - era * 400);
  const unsigned doy = (153 * (m + (m > 2 ? -3 : 9)) + 2) / 5 + d - 1;
  const unsigned doe = yoe * 365 + yoe / 4 - yoe / 100 + doy;
  return era * 146097 + static_cast<long long>(doe) - 719468;
}

void civil_from_days(long long z, int& year, int& month, int& day) {
  z += 719468;
  const long long era = (z >= 0 ? z : z - 146096) / 146097;
  const unsigned doe = static_cast<unsigned>(z - era * 146097);
  const unsigned yoe = (doe - doe / 1460 + doe / 36524 - doe / 146096) / 365;
  const long long y = static_cast<long long>(yoe) + era * 400;
  const unsigned doy = doe - (365 * yoe + yoe / 4 - yoe / 100);
  const unsigned mp = (5 * doy + 2) / 153;
  day = static_cast<int>(doy - (153 * mp + 2) / 5 + 1);
  month = static_cast<int>(mp < 10 ? mp + 3 : mp - 9);
  year = static_cast<int>(y + (month <= 2));
}

constexpr long long kUnixEpochDay = 25569;  // 1970-01-01 as days since 1899-12-30
constexpr double kMsPerDay = 86400000.0;

}  // namespace

TDateTime EncodeDateTime(int year, int month, int day, int hour, int minute, int second, int msec) {
  long long days =
      days_from_civil(year, static_cast<unsigned>(month), static_cast<unsigned>(day)) + kUnixEpochDay;
  double frac = ((hour * 60.0 + minute) * 60.0 + second) * 1000.0 + msec;
  return static_cast<double>(days) + frac / kMsPerDay;
}

void DecodeDateTime(TDateTime value, int& year, int& month, int& day, int& hour, int& minute, int& second,
                    int& msec) {
  if (!std::isfinite(value)) value = 0;
  double whole = std::floor(value);
  long long ms = std::llround((value - whole) * kMsPerDay);
  long long days = static_cast<long long>(whole);
  if (ms >= static_cast<long long>(kMsPerDay)) {
    ms -= static_cast<long long>(kMsPerDay);
    ++days;
  }
  civil_from_days(days - kUnixEpochDay, year, month, day);
  hour = static_cast<int>(ms / 3600000);
  minute = static_cast<int>(ms / 60000 % 60);
  second = static_cast<int>(ms / 1000 % 60);
  msec = static_cast<int>(ms % 1000);
}

TDateTime Now() {
  using namespace std::chrono;
  auto now = system_clock::now();
  std::time_t t = system_clock::to_time_t(now);
  std::tm tm{};
  localtime_r(&t, &tm);
  int ms = static_cast<int>(duration_cast<milliseconds>(now.time_since_epoch()).count() % 1000);
  return EncodeDateTime(tm.tm_year + 1900, tm.tm_mon + 1, tm.tm_mday, tm.tm_hour, tm.tm_min, tm.tm_sec, ms);
}

std::string FormatDateTime(const std::string& format, TDateTime value) {
  int y, mo, d, h, mi, s, ms;
  DecodeDateTime(value, y, mo, d, h, mi, s, ms);
  const FormatSettings& fs = formatSettings();
  std::string out;
  auto count = [&](std::size_t i, char c) {
    std::size_t n = 0;
    while (i + n < format.size() && (format[i + n] | 0x20) == c)
      ++n;
    return n;
  };
  auto num = [](int v, int width) {
    char b[16];
    std::snprintf(b, sizeof b, "%0*d", width, v);
    return std::string(b);
  };
  for (std::size_t i = 0; i < format.size();) {
    char c = static_cast<char>(format[i] | 0x20);
    if (format[i] == '"' || format[i] == '\'') {
      char q = format[i++];
      while (i < format.size() && format[i] != q)
        out += format[i++];
      ++i;
      continue;
    }
    std::size_t n = count(i, c);
    switch (c) {
      case 'd':
        if (n >= 5) {
          out += FormatDateTime(fs.ShortDateFormat, value);
          n = 5;
        } else {
          out += num(d, n >= 2 ? 2 : 1);
          n = n >= 2 ? 2 : 1;
        }
        break;
      case 'm':
        out += num(mo, n >= 2 ? 2 : 1);
        n = n >= 2 ? 2 : 1;
        break;
      case 'y':
        if (n >= 4) {
          out += num(y, 4);
          n = 4;
        } else {
          out += num(y % 100, 2);
          n = 2;
        }
        break;
      case 'h':
        out += num(h, n >= 2 ? 2 : 1);
        n = n >= 2 ? 2 : 1;
        break;
      case 'n':
        out += num(mi, n >= 2 ? 2 : 1);
        n = n >= 2 ? 2 : 1;
        break;
      case 's':
        out += num(s, n >= 2 ? 2 : 1);
        n = n >= 2 ? 2 : 1;
        break;
      case 'z':
        out += num(ms, n >= 3 ? 3 : 1);
        n = n >= 3 ? 3 : 1;
        break;
      case 't':
        out += FormatDateTime(n >= 2 ? fs.LongTimeFormat : fs.ShortTimeFormat, value);
        n = n >= 2 ? 2 : 1;
        break;
      case 'c':
        out += FormatDateTime(fs.ShortDateFormat, value) + " " + FormatDateTime(fs.LongTimeFormat, value);
        n = 1;
        break;
      default:
        n = 1;
        if (format[i] == ':') {
          out += fs.TimeSeparator;
        } else if (format[i] == '/') {
          out += fs.DateSeparator;
        } else {
          out += format[i];
        }
        break;
    }
    i += n;
  }
  return out;
}

}  // namespace osc
