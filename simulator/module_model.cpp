#include "simulator/module_model.h"

#include "simulator/uart.h"

#include <algorithm>
#include <cmath>

namespace osc::sim {
namespace {

constexpr std::uint8_t kIdentify = 0xF5;
constexpr std::uint8_t kRawZero = 0xFA;
constexpr std::uint8_t kRawPlain = 0xFD;
constexpr std::uint8_t kSlowAck = 0xFC;
// A parameter block whose bytes are further apart than this is abandoned, so a lost
// byte cannot make the module swallow the host's next command.
constexpr SimTime kBlockGap = std::chrono::milliseconds(50);
// How long the module waits at 19200 Bd for the host's zero byte.
constexpr SimTime kHandshakeWait = std::chrono::milliseconds(500);
constexpr int kSubSamples = 4;  // converter samples behind one Avg or Max sample

double Ns(SimTime t) {
  return static_cast<double>(t.count());
}
SimTime FromNs(double ns) {
  return SimTime(static_cast<std::int64_t>(std::ceil(ns)));
}
double Seconds(SimTime t) {
  return Ns(t) * 1e-9;
}

}  // namespace

ModuleModel::ModuleModel(ModuleType type, std::uint64_t seed) : type_(type), rng_(seed) {
  signals_[0] = {Waveform::Sine, 50.0, 5.0, 8.0};
  signals_[1] = {Waveform::Square, 10.0, 3.0, 6.0};
  signals_[2] = {Waveform::Triangle, 5.0, 4.0, 8.0};
  signals_[3] = {Waveform::DC, 0.0, 0.0, 5.0};
  signals_[4] = {Waveform::Sine, 2.0, 200.0, 0.0};
  signals_[5] = {Waveform::Noise, 0.0, 50.0, 100.0};
  for (int ch = 5; ch <= 6; ++ch)
    inputs_[ch - 1].range = 500.0;
}

// ---- The bench ----

void ModuleModel::set_signal(int channel, const SignalSpec& signal) {
  signals_.at(static_cast<std::size_t>(channel - 1)) = signal;
}
const SignalSpec& ModuleModel::signal(int channel) const {
  return signals_.at(static_cast<std::size_t>(channel - 1));
}
void ModuleModel::set_input(int channel, const InputSetup& input) {
  inputs_.at(static_cast<std::size_t>(channel - 1)) = input;
}
const InputSetup& ModuleModel::input(int channel) const {
  return inputs_.at(static_cast<std::size_t>(channel - 1));
}
void ModuleModel::set_pace(double factor) {
  pace_ = factor > 0 ? factor : 0;
}

// ---- Receiving ----

void ModuleModel::expire(SimTime now) {
  if (state_ == ModuleState::SlowHandshake && now >= handshake_deadline_) {
    state_ = ModuleState::Commands;
    line_baud_ = kFastBaud;
  }
}

void ModuleModel::receive(std::span<const std::uint8_t> bytes, DWORD host_baud, SimTime now) {
  expire(now);
  if (break_on_) return;  // a host in break sends nothing
  std::vector<std::uint8_t> heard;
  Reclock(bytes, host_baud, line_baud_, heard, nullptr);
  for (std::uint8_t b : heard)
    handle_byte(b, now);
}

void ModuleModel::handle_byte(std::uint8_t b, SimTime now) {
  switch (state_) {
    case ModuleState::Streaming:
      ++ignored_;
      return;
    case ModuleState::SlowHandshake:
      if (b == 0x00) {
        begin_stream(kSlowBaud, now);
      } else {  // not the zero byte: the start is abandoned
        state_ = ModuleState::Commands;
        line_baud_ = kFastBaud;
        ++ignored_;
      }
      return;
    case ModuleState::Commands:
      break;
  }
  if (block_len_ > 0 && now - block_time_ > kBlockGap) block_len_ = 0;
  if (block_len_ > 0) {
    bool filler = block_len_ == 1 || block_len_ == 3;
    if (!filler || b == 0xFF) {
      block_[block_len_++] = b;
      block_time_ = now;
      if (block_len_ == block_.size()) parameters(now);
      return;
    }
    block_len_ = 0;  // not a parameter block after all: take b as a command
  }
  command(b, now);
}

void ModuleModel::command(std::uint8_t b, SimTime now) {
  if ((b & 0xE0) == 0xA0) {
    block_[0] = b;
    block_len_ = 1;
    block_time_ = now;
  } else if (b == kIdentify) {
    identify(now);
  } else if (b == kRawZero || b == kRawPlain) {
    raw_query(b, now);
  } else if ((b & 0xF0) == 0x90 || (b & 0xF0) == 0x70) {
    start(b, now);
  } else {
    ++ignored_;
  }
}

void ModuleModel::identify(SimTime now) {
  if (faults_.take(Fault::Silence)) return;
  std::vector<std::uint8_t> reply{'M', 'd', 'l', ident_char(), ident_byte4_, 'S', 'I', 'M'};
  if (faults_.take(Fault::WrongIdentification)) reply[3] = '8';
  if (faults_.take(Fault::ShortIdentification)) reply.pop_back();
  queue(std::move(reply), line_baud_, now);
}

void ModuleModel::parameters(SimTime now) {
  block_len_ = 0;
  if (faults_.take(Fault::Silence)) return;
  bool four = type_ == ModuleType::FourChannel;
  mode_low_ = block_[0] & 0x1F;
  mode_high_ = four ? block_[2] : 0;  // the 2-channel model has no auxiliary inputs
  offset_ = block_[4];
  std::uint8_t echo_offset = faults_.take(Fault::WrongEcho) ? offset_ + 1 : offset_;
  std::uint8_t echo0 = block_[0] & 0x7F;
  if (!four) {
    queue({echo0, echo_offset}, line_baud_, now);
    return;
  }
  // AN1 and AN2 read the auxiliary inputs over their whole window.
  ConverterMode plain;
  auto an = [&](int ch) {
    return ToSample(input_value(ch, Seconds(now)), InputWindow(ch, input(ch), plain));
  };
  queue({echo0, block_[2], echo_offset, an(5), an(6)}, line_baud_, now);
}

void ModuleModel::raw_query(std::uint8_t request, SimTime now) {
  if (faults_.take(Fault::Silence)) return;
  const int m = type_ == ModuleType::FourChannel ? 4 : 2;
  // The zero variant measures in the selected polarity, the plain one in Positive; both
  // at gain x1 and offset 0, where 0..16368 spans the whole window.
  ConverterMode mode;
  mode.polarity = request == kRawZero && converter_mode().polarity;
  std::vector<std::uint8_t> reply{request};
  if (faults_.take(Fault::WrongEcho)) reply[0] = request == kRawZero ? kRawPlain : kRawZero;
  for (int ch = 1; ch <= m; ++ch) {
    std::uint16_t raw;
    if (signal(ch).waveform == Waveform::Pattern) {
      raw = static_cast<std::uint16_t>(ExpectedSample(ch, raw_queries_) * 64);
    } else {
      raw = ToRawReading(input_value(ch, Seconds(now)), InputWindow(ch, input(ch), mode));
    }
    reply.push_back(static_cast<std::uint8_t>(raw & 0xFF));
    reply.push_back(static_cast<std::uint8_t>(raw >> 8));
  }
  std::uint8_t sum = 0;
  for (auto b : reply)
    sum = static_cast<std::uint8_t>(sum + b);
  std::uint8_t checksum = static_cast<std::uint8_t>(0xFF - sum);
  if (faults_.take(Fault::BadChecksum)) ++checksum;
  reply.push_back(checksum);
  ++raw_queries_;
  queue(std::move(reply), line_baud_, now);
}

void ModuleModel::start(std::uint8_t start_byte, SimTime now) {
  std::uint8_t mask = start_byte & 0x0F;
  if (type_ == ModuleType::TwoChannel) mask &= 0x03;
  if (mask == 0) {
    ++ignored_;
    return;
  }
  if (faults_.take(Fault::Silence)) return;
  start_byte_ = start_byte;
  slots_.clear();
  slot_channels_.clear();
  for (int slot = 1; slot <= 4; ++slot) {
    if (!(mask & (1 << (slot - 1)))) continue;
    int channel = slot;
    if (slot <= 2 && (mode_high_ & (1 << (slot - 1)))) channel = slot + 4;
    slots_.push_back(slot);
    slot_channels_.push_back(channel);
  }
  if ((start_byte & 0xF0) == 0x90) {
    begin_stream(kFastBaud, now);
    return;
  }
  queue({kSlowAck}, kFastBaud, now);
  line_baud_ = kSlowBaud;
  state_ = ModuleState::SlowHandshake;
  handshake_deadline_ = now + kHandshakeWait;
}

void ModuleModel::begin_stream(DWORD baud, SimTime now) {
  std::uint8_t echo = faults_.take(Fault::WrongEcho) ? start_byte_ ^ 0x08 : start_byte_;
  queue({echo, mode_low_, mode_high_, offset_, 'M', 'd', 'l', ident_char(), ident_byte4_, 0, 0, 0}, baud,
        now);
  line_baud_ = baud;
  stream_baud_ = baud;
  stream_pos_ = 0;
  state_ = ModuleState::Streaming;
}

void ModuleModel::set_break(bool on, SimTime now) {
  expire(now);
  if (on && !break_on_) {
    out_.clear();
    state_ = ModuleState::Commands;
    line_baud_ = kFastBaud;
    block_len_ = 0;
  }
  break_on_ = on;
  tx_clock_ = std::max(tx_clock_, Ns(now));
}

// ---- Sending ----

void ModuleModel::queue(std::vector<std::uint8_t> bytes, DWORD baud, SimTime now) {
  if (!bytes.empty() && faults_.take(Fault::LostByte)) bytes.erase(bytes.begin());
  if (!bytes.empty() && faults_.take(Fault::CorruptedByte)) bytes[0] ^= 0x01;
  if (bytes.empty()) return;
  out_.push_back(Chunk{std::move(bytes), 0, Ns(now + reply_delay_), baud});
}

// A byte on the line is 10 bits (start, 8 data, stop); each leaves one byte time after
// the previous, so the host sees the module's real rate (times the pace), never a burst.
double ModuleModel::byte_ns(DWORD baud) const {
  return 1e10 / (static_cast<double>(baud) * pace_);
}

ConverterMode ModuleModel::converter_mode() const {
  ConverterMode m;
  m.gain_index = (mode_low_ & 0x08) ? 2 : (mode_low_ & 0x04) ? 1 : 0;
  m.polarity = type_ == ModuleType::FourChannel && (mode_low_ & 0x10);
  m.offset = offset_;
  return m;
}

double ModuleModel::input_value(int channel, double t) {
  const SignalSpec& s = signal(channel);
  double v = SignalValue(s, t, rng_);
  return input(channel).ac_coupled ? v - s.offset : v;
}

std::uint8_t ModuleModel::acquire(int channel, double t, double slot_period) {
  Window w = InputWindow(channel, input(channel), converter_mode());
  switch (mode_low_ & 0x03) {
    case 0: {  // Max
      double v = -1.7e308;
      for (int i = 0; i < kSubSamples; ++i)
        v = std::max(v, input_value(channel, t - slot_period * (kSubSamples - 1 - i) / kSubSamples));
      return ToSample(v, w);
    }
    case 1: {  // Avg
      double sum = 0;
      for (int i = 0; i < kSubSamples; ++i)
        sum += input_value(channel, t - slot_period * (kSubSamples - 1 - i) / kSubSamples);
      return ToSample(sum / kSubSamples, w);
    }
    default:  // Sample
      return ToSample(input_value(channel, t), w);
  }
}

std::optional<std::uint8_t> ModuleModel::next_stream_byte() {
  const std::uint64_t pos = stream_pos_++;
  const std::size_t n = slots_.size();
  const int slot = slots_[pos % n];
  const int channel = slot_channels_[pos % n];
  const double rate = stream_baud_ / 10.0;
  std::uint8_t b = signal(channel).waveform == Waveform::Pattern
                       ? ExpectedSample(slot, pos / n)
                       : acquire(channel, static_cast<double>(pos) / rate, static_cast<double>(n) / rate);
  auto strikes = [&](Fault f) {
    if (faults_.mode(f) == FaultMode::Always) return (pos + 1) % fault_interval_ == 0;
    return faults_.take(f);
  };
  if (lost_run_left_ > 0) {
    --lost_run_left_;
    return std::nullopt;
  }
  if (strikes(Fault::LostRun) && lost_run_ > 0) {
    lost_run_left_ = lost_run_ - 1;
    return std::nullopt;
  }
  if (strikes(Fault::LostByte)) return std::nullopt;
  if (strikes(Fault::CorruptedByte)) b ^= 0x01;
  if (strikes(Fault::FramingError)) {
    b ^= 0x80;  // the stop bit was missing: the receiver's byte is not the one sent
    line_errors_ |= win::CE_FRAME;
  }
  return b;
}

void ModuleModel::transmit(std::vector<std::uint8_t>& out, std::size_t max, DWORD host_baud, SimTime now) {
  expire(now);
  const double now_ns = Ns(now);
  std::vector<std::uint8_t> raw;
  DWORD raw_baud = 0;
  auto emit = [&](std::uint8_t b, DWORD baud) {
    if (baud != raw_baud && !raw.empty()) {
      bool fe = false;
      Reclock(raw, raw_baud, host_baud, out, &fe);
      if (fe) line_errors_ |= win::CE_FRAME;
      raw.clear();
    }
    raw_baud = baud;
    raw.push_back(b);
  };
  for (std::size_t n = 0; n < max; ++n) {
    if (!out_.empty()) {
      Chunk& c = out_.front();
      double start = c.pos == 0 ? std::max(tx_clock_, c.not_before) : tx_clock_;
      if (paced()) {
        double due = start + byte_ns(c.baud);
        if (due > now_ns) break;
        tx_clock_ = due;
      } else {
        tx_clock_ = std::max(tx_clock_, now_ns);
      }
      emit(c.bytes[c.pos++], c.baud);
      if (c.pos == c.bytes.size()) out_.pop_front();
      continue;
    }
    if (state_ != ModuleState::Streaming || break_on_) break;
    if (silent_for_good()) {
      tx_clock_ = std::max(tx_clock_, now_ns);
      break;
    }
    if (paced()) {
      double due = tx_clock_ + byte_ns(stream_baud_);
      if (due > now_ns) break;
      tx_clock_ = due;
    } else {
      tx_clock_ = std::max(tx_clock_, now_ns);
    }
    if (auto b = next_stream_byte()) emit(*b, stream_baud_);
  }
  if (!raw.empty()) {
    bool fe = false;
    Reclock(raw, raw_baud, host_baud, out, &fe);
    if (fe) line_errors_ |= win::CE_FRAME;
  }
}

void ModuleModel::end_silence(SimTime now) {
  if (silent_for_good() && state_ == ModuleState::Streaming) tx_clock_ = std::max(tx_clock_, Ns(now));
}

void ModuleModel::skip_stream(double now_ns) {
  if (state_ != ModuleState::Streaming || break_on_ || !out_.empty() || !paced()) return;
  double bt = byte_ns(stream_baud_);
  if (now_ns < tx_clock_ + bt) return;
  auto k = static_cast<std::uint64_t>((now_ns - tx_clock_) / bt);
  stream_pos_ += k;
  tx_clock_ += static_cast<double>(k) * bt;
}

void ModuleModel::discard_output(SimTime now) {
  expire(now);
  if (!paced()) {
    out_.clear();
    return;
  }
  std::vector<std::uint8_t> dropped;
  while (!out_.empty()) {  // replies byte by byte, then the stream by arithmetic
    std::size_t chunks = out_.size(), pos = out_.front().pos;
    transmit(dropped, 4096, line_baud_, now);
    dropped.clear();
    if (!out_.empty() && out_.size() == chunks && out_.front().pos == pos) break;  // not due yet
  }
  skip_stream(Ns(now));
}

std::optional<SimTime> ModuleModel::next_output_due(SimTime now) const {
  if (!out_.empty()) {
    if (!paced()) return now;
    const Chunk& c = out_.front();
    double start = c.pos == 0 ? std::max(tx_clock_, c.not_before) : tx_clock_;
    return FromNs(start + byte_ns(c.baud));
  }
  if (state_ != ModuleState::Streaming || break_on_ || silent_for_good()) return std::nullopt;
  if (!paced()) return now;
  return FromNs(tx_clock_ + byte_ns(stream_baud_));
}

DWORD ModuleModel::take_line_errors() {
  DWORD e = line_errors_;
  line_errors_ = 0;
  return e;
}

}  // namespace osc::sim
