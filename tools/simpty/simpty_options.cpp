#include "tools/simpty/simpty_options.h"

#include <cstdlib>
#include <map>
#include <sstream>

namespace osc::tools {
namespace {

using sim::Fault;
using sim::FaultMode;
using sim::Waveform;

bool ParseNumber(const std::string& text, double* value) {
  if (text.empty()) return false;
  char* end = nullptr;
  *value = std::strtod(text.c_str(), &end);
  return *end == '\0';
}

std::vector<std::string> Split(const std::string& text, char sep) {
  std::vector<std::string> parts;
  std::stringstream in(text);
  std::string part;
  while (std::getline(in, part, sep))
    parts.push_back(part);
  if (!text.empty() && text.back() == sep) parts.emplace_back();
  return parts;
}

// "1" .. "6" or "all" (1..6).
bool ParseChannels(const std::string& text, std::vector<int>* channels) {
  if (text == "all") {
    *channels = {1, 2, 3, 4, 5, 6};
    return true;
  }
  double ch;
  if (!ParseNumber(text, &ch) || ch < 1 || ch > 6 || ch != static_cast<int>(ch)) return false;
  *channels = {static_cast<int>(ch)};
  return true;
}

// CH=WAVE[,FREQ[,AMP[,OFFSET]]]
bool ParseSignal(const std::string& text, SimPtyOptions* o) {
  auto eq = text.find('=');
  std::vector<int> channels;
  if (eq == std::string::npos || !ParseChannels(text.substr(0, eq), &channels)) return false;
  auto fields = Split(text.substr(eq + 1), ',');
  static const std::map<std::string, Waveform> waves{
      {"sine", Waveform::Sine}, {"square", Waveform::Square}, {"triangle", Waveform::Triangle},
      {"dc", Waveform::DC},     {"noise", Waveform::Noise},   {"pattern", Waveform::Pattern}};
  if (fields.empty() || fields.size() > 4 || !waves.count(fields[0])) return false;
  sim::SignalSpec s;
  s.waveform = waves.at(fields[0]);
  double* numbers[] = {&s.frequency, &s.amplitude, &s.offset};
  for (std::size_t i = 1; i < fields.size(); ++i)
    if (!ParseNumber(fields[i], numbers[i - 1])) return false;
  if (s.waveform == Waveform::DC && fields.size() == 2) {  // "dc,5" means 5 V
    s.offset = s.frequency;
    s.frequency = 0;
  }
  for (int ch : channels)
    o->signals.emplace_back(ch, s);
  return true;
}

// CH=NUMBER for every channel CH names.
bool ParseChannelValue(const std::string& text, std::vector<std::pair<int, double>>* out) {
  std::vector<int> channels;
  double number = 0;
  const auto eq = text.find('=');
  if (eq == std::string::npos || !ParseChannels(text.substr(0, eq), &channels) ||
      !ParseNumber(text.substr(eq + 1), &number))
    return false;
  for (int ch : channels)
    out->emplace_back(ch, number);
  return true;
}

bool ParseFault(const std::string& text, SimPtyOptions* o) {
  static const std::map<std::string, Fault> faults{{"lost-byte", Fault::LostByte},
                                                   {"corrupted-byte", Fault::CorruptedByte},
                                                   {"wrong-echo", Fault::WrongEcho},
                                                   {"bad-checksum", Fault::BadChecksum},
                                                   {"wrong-identification", Fault::WrongIdentification},
                                                   {"short-identification", Fault::ShortIdentification},
                                                   {"silence", Fault::Silence},
                                                   {"lost-run", Fault::LostRun}};
  auto parts = Split(text, ':');
  if (parts.empty() || parts.size() > 2 || !faults.count(parts[0])) return false;
  FaultMode mode = FaultMode::Always;
  if (parts.size() == 2) {
    if (parts[1] == "once") {
      mode = FaultMode::Once;
    } else if (parts[1] != "always") {
      return false;
    }
  }
  o->faults.emplace_back(faults.at(parts[0]), mode);
  return true;
}

}  // namespace

std::optional<SimPtyOptions> ParseSimPtyOptions(const std::vector<std::string>& args, std::string* error) {
  SimPtyOptions o;
  for (std::size_t i = 0; i < args.size(); ++i) {
    const std::string& a = args[i];
    auto value = [&](std::string* out) {
      if (i + 1 >= args.size()) return false;
      *out = args[++i];
      return true;
    };
    std::string v;
    double number = 0;
    bool ok = true;
    if (a == "-h" || a == "--help") {
      o.help = true;
    } else if (a == "--stats") {
      o.stats = true;
    } else if (a == "--model") {
      ok = value(&v) && (v == "4" || v == "2");
      o.type = v == "2" ? sim::ModuleType::TwoChannel : sim::ModuleType::FourChannel;
    } else if (a == "--rate") {
      ok = value(&v) && ParseNumber(v, &number) && number >= 0;
      o.rate = number;
    } else if (a == "--unpaced") {
      o.rate = 0;
    } else if (a == "--signal") {
      ok = value(&v) && ParseSignal(v, &o);
    } else if (a == "--range") {
      std::vector<int> channels;
      auto eq = v.npos;
      ok = value(&v) && (eq = v.find('=')) != v.npos && ParseChannels(v.substr(0, eq), &channels) &&
           ParseNumber(v.substr(eq + 1), &number) && number > 0;
      for (int ch : channels)
        o.ranges.emplace_back(ch, number);
    } else if (a == "--ac") {
      std::vector<int> channels;
      ok = value(&v) && ParseChannels(v, &channels);
      o.ac_inputs.insert(o.ac_inputs.end(), channels.begin(), channels.end());
    } else if (a == "--uncalibrated") {
      o.uncalibrated = true;
    } else if (a == "--gain-error") {
      ok = value(&v) && ParseChannelValue(v, &o.gain_errors);
    } else if (a == "--zero-error") {
      ok = value(&v) && ParseChannelValue(v, &o.zero_errors);
    } else if (a == "--ac-zero-error") {
      ok = value(&v) && ParseChannelValue(v, &o.ac_zero_errors);
    } else if (a == "--fault") {
      ok = value(&v) && ParseFault(v, &o);
    } else if (a == "--link") {
      ok = value(&v) && !v.empty();
      o.link = v;
    } else {
      *error = "unknown option: " + a;
      return std::nullopt;
    }
    if (!ok) {
      *error = "bad or missing value for " + a + (v.empty() ? "" : ": " + v);
      return std::nullopt;
    }
  }
  return o;
}

std::string SimPtyHelp() {
  return R"(Usage: osc-simpty [options]

Serves the simulated acquisition module on a pseudo-terminal and prints the
terminal's path on the first line of standard output. Give that path (or the
--link) to Osciloskop as its port, e.g. /dev/pts/5. Runs until interrupted.

Options:
  --model 4|2          4-channel (default) or 2-channel model
  --rate X             pace multiplier: 1 = the real line rate (11520 bytes/s,
                       1920 in slow mode), 10 = ten times as fast; 0 = unpaced
  --unpaced            the same as --rate 0: as fast as the host reads
  --signal CH=WAVE[,FREQ[,AMP[,OFFSET]]]
                       connects input CH (1..6 or all) to a signal; WAVE is
                       sine, square, triangle, dc, noise or pattern; FREQ in Hz,
                       AMP (peak) and OFFSET in volts; "dc,V" is V volts.
                       pattern streams a known byte sequence per slot.
  --range CH=V         the input's full scale (default 16 V; 500 for 5 and 6)
  --ac CH              the input's coupling switch on AC
  --uncalibrated       gain and zero errors of a module as delivered on CH 1..4
                       (a few percent, different on each input): the program's
                       calibration dialogs correct them
  --gain-error CH=PCT  the input's gain error in percent (after --uncalibrated)
  --zero-error CH=PCT  its zero error in Bipolar, percent of full scale
  --ac-zero-error CH=PCT
                       its zero error in AC (for 5 and 6: their zero error)
  --fault NAME[:once|:always]
                       lost-byte, corrupted-byte, wrong-echo, bad-checksum,
                       wrong-identification, short-identification, silence,
                       lost-run (4800 stream bytes vanish without a word)
  --link PATH          also make PATH a symbolic link to the terminal
  --stats              print the measured stream rate every second (stderr)
  -h, --help           this text

End of the stream: the program stops the module with a line break, which a
pseudo-terminal cannot carry. While streaming, this tool therefore takes the
host's receive purge (seen through the terminal's packet mode, TIOCPKT) or any
byte from the host as the end of the stream; the module is then back in
command mode at 115200 Bd, as after a break. Stream bytes written just before
the purge is seen may still reach the host, so rarely the first
identification after a stop fails; the next one succeeds.

Line rate: the host's rate is read from the terminal's settings; bytes sent at
another rate than the module's own are garbled as on a real line.
)";
}

}  // namespace osc::tools
