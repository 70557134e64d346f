#include "acquisition/measurement_text.h"

#include "acquisition/data_store.h"

#include <algorithm>
#include <cmath>

#include "platform/locale/locale.h"

namespace osc {

namespace {

constexpr double kSecondsPerDay = 86400;

}  // namespace

std::string ValueText(double x, double y, const std::string& unit, unsigned clip, float lower, float upper) {
  if (x == 0) return std::string();
  // The signal lay beyond the limit, in the direction from the other limit to it.
  const bool upward = (clip == kClipHigh) == (upper >= lower);
  const char* bound = clip == 0 ? "" : upward ? "> " : "< ";
  return FormatDateTime("tt.zzz", x) + Format("    %s%3.2f %s", {bound, y, unit});
}

std::string FrequencyText(double x0, double x1) {
  if (x0 == x1) return std::string();
  return Format("      f = %.1f Hz", {(1 / kSecondsPerDay) / std::fabs(x1 - x0)});
}

std::string PointDifText(double x0, double y0, double x1, double y1, const std::string& unit) {
  if (x0 == 0 || x1 == 0) return std::string();
  return Format("U2-U1 = %3.2f %s      T2-T1 = %.3f s", {y1 - y0, unit, (x1 - x0) * kSecondsPerDay}) +
         FrequencyText(x0, x1);
}

const std::vector<TStatsColumn>& SpanStatsColumns() {
  static const std::vector<TStatsColumn> columns = {
      {"Kanál", "Kanál a jeho úsek: mezi body, jsou-li oba zadány, jinak viditelná část"},
      {"Min", "Nejmenší hodnota"},
      {"Max", "Největší hodnota"},
      {"Š-Š", "Rozkmit (špička-špička)"},
      {"Střední", "Střední hodnota"},
      {"RMS", "Efektivní hodnota"},
      {"RMS AC", "Efektivní hodnota střídavé složky (směrodatná odchylka)"},
      {"Frekvence", "Frekvence z průchodů střední hodnotou (aspoň dvě periody v úseku)"},
      {"Perioda", "Perioda z průchodů střední hodnotou"},
      {"Střída", "Podíl periody nad střední hodnotou"},
      {"Vzorků", "Počet vzorků v úseku"},
      {"Délka", "Délka úseku"},
  };
  return columns;
}

std::string FourDigits(double value) {
  const double magnitude = std::fabs(value);
  const int decimals =
      magnitude > 0 ? std::clamp(3 - static_cast<int>(std::floor(std::log10(magnitude))), 0, 9) : 3;
  return FloatToStrF(value, FloatFormat::Fixed, 15, decimals);
}

std::vector<std::string> SpanStatsRow(const std::string& channel, const TSpanStats& st,
                                      const std::string& unit, float lower, float upper) {
  std::vector<std::string> row(SpanStatsColumns().size());
  row[0] = channel;
  row[10] = Format("%u", {st.Count});
  if (st.Count == 0) return row;
  const double step = std::fabs((static_cast<double>(upper) - lower) / 255);
  const int decimals =
      step > 0 ? std::clamp(1 + static_cast<int>(std::ceil(-std::log10(step) - 1e-6)), 2, 9) : 2;
  const auto value = [&](double v, std::string bound) {
    return bound + FloatToStrF(v, FloatFormat::Fixed, 15, decimals) + " " + unit;
  };
  const bool lo = st.ClippedMin, hi = st.ClippedMax, any = st.Clipped();
  row[1] = value(st.Min, lo ? "≤ " : "");
  row[2] = value(st.Max, hi ? "≥ " : "");
  row[3] = value(st.PeakToPeak, any ? "≥ " : "");
  row[4] = value(st.Mean, lo && hi ? "≈ " : lo ? "≤ " : hi ? "≥ " : "");
  row[5] = value(st.Rms, any ? "≈ " : "");
  row[6] = value(st.AcRms, any ? "≥ " : "");
  if (st.Frequency) {
    row[7] = FourDigits(*st.Frequency) + " Hz";
    row[8] = *st.Period < 1 ? FourDigits(*st.Period * 1000) + " ms" : FourDigits(*st.Period) + " s";
    row[9] = Format("%.1f %%", {*st.Duty * 100});
  }
  row[11] = Format("%.3f s", {st.Duration});
  return row;
}

std::string SpanStatsRowHint(const TSpanStats& stats) {
  if (!stats.Clipped()) return std::string();
  return "V úseku jsou vzorky na mezi rozsahu: skutečný signál mohl být za ní, hodnoty se znaménkem jsou jen "
         "meze.";
}

}  // namespace osc
