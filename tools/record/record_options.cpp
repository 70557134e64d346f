#include "tools/record/record_options.h"

#include <algorithm>
#include <cctype>
#include <cmath>
#include <cstdlib>
#include <map>

namespace osc::tools {
namespace {

bool Choose(const std::string& text, const std::map<std::string, int>& choices, int* index) {
  const auto it = choices.find(OptionKey(text));
  if (it == choices.end()) return false;
  *index = it->second;
  return true;
}

bool ParseInputs(const std::string& text, InputSelection* in) {
  InputSelection s;
  bool any = false;
  std::size_t at = 0;
  while (at <= text.size()) {
    const std::size_t comma = std::min(text.find(',', at), text.size());
    std::string item = OptionKey(text.substr(at, comma - at));
    if (item.rfind("ch", 0) == 0) item = item.substr(2);
    if (item.size() != 1 || item[0] < '1' || item[0] > '6') return false;
    bool* boxes[] = {&s.ch1, &s.ch2, &s.ch3, &s.ch4, &s.ch5, &s.ch6};
    *boxes[item[0] - '1'] = true;
    any = true;
    at = comma + 1;
  }
  // Input 5 is recorded in place of CH 1 and 6 in place of CH 2.
  if (!any || (s.ch1 && s.ch5) || (s.ch2 && s.ch6)) return false;
  *in = s;
  return true;
}

}  // namespace

std::string OptionKey(const std::string& text) {
  std::string k;
  for (char c : text)
    if (!std::isspace(static_cast<unsigned char>(c)))
      k += static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
  return k;
}

bool ParseDuration(const std::string& text, double* seconds) {
  if (text.empty()) return false;
  char* end = nullptr;
  const double v = std::strtod(text.c_str(), &end);
  static const std::map<std::string, double> units{{"", 1}, {"s", 1}, {"m", 60}, {"h", 3600}, {"d", 86400}};
  const auto unit = units.find(end);
  if (end == text.c_str() || unit == units.end() || !std::isfinite(v) || v < 0) return false;
  *seconds = v * unit->second;
  return true;
}

std::optional<RecordOptions> ParseRecordOptions(const std::vector<std::string>& args, std::string* error) {
  RecordOptions o;
  static const std::map<std::string, int> rates{{"11k", 0}, {"11khz", 0}, {"11520", 0},
                                                {"2k", 1},  {"2khz", 1},  {"1920", 1}};
  static const std::map<std::string, int> modes{{"sample", 0}, {"avg", 1}, {"max", 2}};
  static const std::map<std::string, int> gains{{"1", 0},  {"x1", 0}, {"2", 1},
                                                {"x2", 1}, {"4", 2},  {"x4", 2}};
  static const std::map<std::string, int> polarities{{"positive", 0}, {"bipolar", 1}, {"ac", 2}};
  for (std::size_t i = 0; i < args.size(); ++i) {
    std::string name = args[i];
    std::string value;
    bool hasValue = false;
    if (name.rfind("--", 0) == 0) {
      const auto eq = name.find('=');
      if (eq != std::string::npos) {
        value = name.substr(eq + 1);
        name.resize(eq);
        hasValue = true;
      }
    }
    if (name == "-h" || name == "--help") {
      o.help = true;
      continue;
    }
    static const std::map<std::string, std::string> shortNames{
        {"-p", "--port"}, {"-i", "--inputs"},   {"-r", "--rate"},  {"-m", "--mode"},
        {"-g", "--gain"}, {"-d", "--duration"}, {"-o", "--output"}};
    if (const auto s = shortNames.find(name); s != shortNames.end()) name = s->second;
    static const char* const known[] = {"--port",   "--inputs",       "--rate",  "--mode",
                                        "--range",  "--polarity",     "--gain",  "--duration",
                                        "--output", "--settings-dir", "--split", "--progress"};
    if (std::find_if(std::begin(known), std::end(known), [&](const char* k) { return name == k; }) ==
        std::end(known)) {
      *error = "neznámá volba '" + args[i] + "'";
      return std::nullopt;
    }
    if (!hasValue) {
      if (i + 1 >= args.size()) {
        *error = "volba '" + name + "' potřebuje hodnotu";
        return std::nullopt;
      }
      value = args[++i];
    }
    bool ok = true;
    double seconds = 0;
    if (name == "--port") {
      o.port = value;
      ok = !value.empty();
    } else if (name == "--inputs") {
      ok = ParseInputs(value, &o.inputs);
    } else if (name == "--rate") {
      ok = Choose(value, rates, &o.sampleIndex);
    } else if (name == "--mode") {
      ok = Choose(value, modes, &o.acqIndex);
    } else if (name == "--range") {
      o.range = value;
      ok = !OptionKey(value).empty();
    } else if (name == "--polarity") {
      ok = Choose(value, polarities, &o.polarityIndex);
    } else if (name == "--gain") {
      ok = Choose(value, gains, &o.gainIndex);
    } else if (name == "--duration") {
      ok = ParseDuration(value, &o.duration);
    } else if (name == "--output") {
      o.output = value;
      ok = !value.empty() && value.back() != '/';
    } else if (name == "--settings-dir") {
      o.settingsDir = value;
      ok = !value.empty();
    } else if (name == "--split") {
      ok = ParseDuration(value, &seconds) && seconds >= 1 && seconds <= 600 && seconds == std::floor(seconds);
      o.setSeconds = static_cast<int>(seconds);
    } else if (name == "--progress") {
      ok = ParseDuration(value, &o.progressSeconds);
    }
    if (!ok) {
      *error = "nesprávná hodnota volby " + name + ": '" + value + "'";
      return std::nullopt;
    }
  }
  return o;
}

std::string RecordUsage() {
  return "Použití: osc-record [-p PORT] [-i VSTUPY] [-r 11k|2k] [-m sample|avg|max] [--range ROZSAH]\n"
         "                  [--polarity positive|bipolar|ac] [-g 1|2|4] [-d DOBA] [-o NÁZEV]\n"
         "                  [--settings-dir SLOŽKA] [--split DOBA] [--progress DOBA]\n";
}

std::string RecordHelp() {
  return RecordUsage() +
         "\n"
         "Zaznamenává signál z modulu osciloskopu bez okna programu, do stejných datových\n"
         "souborů (NÁZEV.ch1 až NÁZEV.ch4), jaké ukládá a otevírá program Osciloskop.\n"
         "Co volby nezadají, vezme se z nastavení programu (port, rozsahy a kalibrace).\n"
         "\n"
         "  -p, --port PORT        sériový port modulu (/dev/ttyUSB0, COM65, SIM4...)\n"
         "  -i, --inputs VSTUPY    zaznamenávané vstupy, např. 1,2,4; 5 místo CH 1, 6 místo\n"
         "                         CH 2 (výchozí 1)\n"
         "  -r, --rate 11k|2k      vzorkování 11 kHz nebo 2 kHz, sdílené vstupy (výchozí 11k)\n"
         "  -m, --mode MÓD         sample, avg nebo max (výchozí avg)\n"
         "      --range ROZSAH     vstupní rozsah podle seznamu v nastavení, např. \"16 V\"\n"
         "                         (výchozí první v seznamu)\n"
         "      --polarity P       positive, bipolar nebo ac (výchozí positive)\n"
         "  -g, --gain 1|2|4       zesílení x 1, x 2 nebo x 4 (výchozí 1)\n"
         "  -d, --duration DOBA    jak dlouho měřit: 90, 90s, 15m, 2h, 3d (výchozí do\n"
         "                         zastavení signálem SIGINT nebo SIGTERM)\n"
         "  -o, --output NÁZEV     název záznamu (výchozí zaznam-<datum>-<čas>)\n"
         "      --settings-dir SLOŽKA\n"
         "                         složka s nastavením programu (výchozí jako program:\n"
         "                         $OSC_REGISTRY_DIR, jinak ~/.config/osciloskop)\n"
         "      --split DOBA       nejdelší záznam jedné sady souborů, nejvýše 10 min\n"
         "                         (výchozí); delší měření pokračuje v sadách NÁZEV-0001...\n"
         "      --progress DOBA    jak často psát průběh, když chybový výstup není\n"
         "                         terminál (výchozí 10 s; 0 nepsat)\n"
         "  -h, --help             vypsat tuto nápovědu\n"
         "\n"
         "Soubory se zapisují průběžně a jednou za sekundu ukládají na disk. SIGINT nebo\n"
         "SIGTERM měření zastaví jako tlačítko Stop a soubory dokončí; druhý SIGINT skončí\n"
         "hned (soubory zůstanou čitelné).\n"
         "\n"
         "Návratové hodnoty: 0 v pořádku, 1 chybné volby, 2 chyba portu nebo modulu,\n"
         "3 chyba zápisu nebo čtení souborů.\n";
}

}  // namespace osc::tools
