#include "simulator/uart.h"

#include <cmath>

namespace osc::sim {
namespace {

// The line as the sender drives it, in units of the sender's bit time.
class SentLine {
 public:
  explicit SentLine(std::span<const std::uint8_t> bytes) : bytes_(bytes) {}

  std::uint64_t bits() const { return bytes_.size() * 10; }

  int level(double t) const {
    if (t < 0) return 1;
    auto bit = static_cast<std::uint64_t>(t);
    if (bit >= bits()) return 1;
    unsigned pos = bit % 10;
    if (pos == 0) return 0;
    if (pos == 9) return 1;
    return (bytes_[bit / 10] >> (pos - 1)) & 1;
  }

 private:
  std::span<const std::uint8_t> bytes_;
};

}  // namespace

void Reclock(std::span<const std::uint8_t> sent, win::DWORD tx_baud, win::DWORD rx_baud,
             std::vector<std::uint8_t>& out, bool* framing_error) {
  if (tx_baud == rx_baud || tx_baud == 0 || rx_baud == 0) {
    out.insert(out.end(), sent.begin(), sent.end());
    return;
  }
  const SentLine line(sent);
  const double rx_bit = static_cast<double>(tx_baud) / rx_baud;  // receiver bit in sender bits
  double t = 0.0;
  bool armed = true;  // the receiver has seen the idle level since its last frame
  for (;;) {
    // Find the falling edge that starts the next frame.
    double start = -1.0;
    for (auto bit = static_cast<std::uint64_t>(std::floor(t)); bit < line.bits(); ++bit) {
      double at = std::max(t, static_cast<double>(bit));
      if (line.level(at) == 1) {
        armed = true;
      } else if (armed) {
        start = at;
        break;
      }
    }
    if (start < 0) return;
    if (line.level(start + 0.5 * rx_bit) != 0) {  // a glitch shorter than half a bit
      t = start + 0.5 * rx_bit;
      continue;
    }
    std::uint8_t byte = 0;
    for (int i = 0; i < 8; ++i)
      byte |= line.level(start + (1.5 + i) * rx_bit) << i;
    bool stop_ok = line.level(start + 9.5 * rx_bit) == 1;
    if (!stop_ok && framing_error) *framing_error = true;
    armed = stop_ok;
    out.push_back(byte);
    t = start + 9.5 * rx_bit;
  }
}

}  // namespace osc::sim
