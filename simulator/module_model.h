#pragma once
// The acquisition module as a pure state machine: bytes from the host go in, bytes for
// the host come out, paced by the module's own line rate. No threads and no clock: every
// call is given the current time on one monotonic time line (any epoch).
//
// What it answers (and only in command mode, at 115200 Bd):
//   0xF5                     identification, 8 bytes "Mdl4"/"Mdl2", byte 4, "SIM"
//   0xA0|lo FF hi FF offset  parameters; echo lo|0x20 hi offset AN1 AN2 (2-channel: lo|0x20 offset)
//   0xFA / 0xFD              raw readings of CH1..4 (CH1..2): echo, 16-bit LE values, checksum
//   0x90|mask                start: 12-byte start reply, then the sample stream
//   0x70|mask                slow start: 0xFC, then 19200 Bd; the host's zero byte brings the
//                            start reply and the stream at 1920 bytes per second
// Anything else is ignored; so is everything the host sends while the module streams. A
// line break stops the stream and returns the module to command mode at 115200 Bd.
// Bytes sent at another rate than the module's are garbled as a UART would garble them.
#include "platform/win32.h"
#include "simulator/fault.h"
#include "simulator/front_end.h"
#include "simulator/signal.h"

#include <array>
#include <chrono>
#include <cstdint>
#include <deque>
#include <optional>
#include <random>
#include <span>
#include <vector>

namespace osc::sim {

using SimTime = std::chrono::nanoseconds;
using win::DWORD;

constexpr DWORD kFastBaud = 115200;
constexpr DWORD kSlowBaud = 19200;

enum class ModuleType { FourChannel, TwoChannel };

enum class ModuleState {
  Commands,       // takes identification, parameters, raw queries and start bytes
  SlowHandshake,  // has sent 0xFC and listens at 19200 Bd for the host's zero byte
  Streaming,      // sends samples; hears nothing but a line break
};

class ModuleModel {
 public:
  explicit ModuleModel(ModuleType type, std::uint64_t seed = 1);

  // --- The line, seen from the host. ---
  // Bytes the host sent at `host_baud`.
  void receive(std::span<const std::uint8_t> bytes, DWORD host_baud, SimTime now);
  void set_break(bool on, SimTime now);
  // Appends the bytes that have reached a host listening at `host_baud` by `now`: at most
  // `max` module bytes, which the reclocking of a wrong rate may turn into more or fewer.
  void transmit(std::vector<std::uint8_t>& out, std::size_t max, DWORD host_baud, SimTime now);
  // Drops what has been sent by `now` (nobody listened, or the host purged).
  void discard_output(SimTime now);
  // When transmit() will next have a byte; nullopt while the module is quiet.
  std::optional<SimTime> next_output_due(SimTime now) const;
  // CE_FRAME when the host has received a garbled frame since the last call.
  DWORD take_line_errors();

  // --- The bench: what is connected to the module and how it misbehaves. ---
  // Channels 1..4 are the analogue inputs, 5 and 6 the auxiliary inputs.
  void set_signal(int channel, const SignalSpec& signal);
  const SignalSpec& signal(int channel) const;
  void set_input(int channel, const InputSetup& input);
  const InputSetup& input(int channel) const;
  // 1: the real line rate; 10: ten times as fast; 0: unpaced, as fast as it is read.
  void set_pace(double factor);
  double pace() const { return pace_; }
  // Byte 4 of the identification (a 2-channel module is accepted from 2 on).
  void set_ident_byte4(std::uint8_t value) { ident_byte4_ = value; }
  // Every reply (not the stream) starts this long after its command: a slow module.
  void set_reply_delay(SimTime delay) { reply_delay_ = delay; }
  void inject(Fault fault, FaultMode mode) { faults_.set(fault, mode); }
  void clear_faults() { faults_.clear(); }
  // Call before a silence for good ends: the stream goes on from `now` instead of
  // sending at once the bytes it held back (a module cannot outpace its line).
  void end_silence(SimTime now);
  FaultSet& faults() { return faults_; }
  // A stream byte fault "for good" strikes every n-th stream byte.
  void set_stream_fault_interval(std::uint64_t n) { fault_interval_ = n ? n : 1; }
  // How many stream bytes a LostRun takes (two fast blocks unless set).
  void set_lost_run(std::uint64_t n) { lost_run_ = n; }

  // --- Observers. ---
  ModuleType type() const { return type_; }
  ModuleState state() const { return state_; }
  DWORD line_baud() const { return line_baud_; }
  bool in_break() const { return break_on_; }
  std::uint16_t mode_word() const { return static_cast<std::uint16_t>(mode_high_ << 8 | mode_low_); }
  std::uint8_t offset_byte() const { return offset_; }
  // Slots 1..4 of the running (or last) stream, ascending.
  const std::vector<int>& stream_slots() const { return slots_; }
  std::uint64_t stream_bytes() const { return stream_pos_; }
  std::uint64_t ignored_bytes() const { return ignored_; }
  std::uint64_t raw_queries() const { return raw_queries_; }

 private:
  struct Chunk {
    std::vector<std::uint8_t> bytes;
    std::size_t pos = 0;
    double not_before = 0;  // ns
    DWORD baud = kFastBaud;
  };

  void expire(SimTime now);
  void handle_byte(std::uint8_t b, SimTime now);
  void command(std::uint8_t b, SimTime now);
  void identify(SimTime now);
  void parameters(SimTime now);
  void raw_query(std::uint8_t request, SimTime now);
  void start(std::uint8_t start_byte, SimTime now);
  void begin_stream(DWORD baud, SimTime now);
  void queue(std::vector<std::uint8_t> bytes, DWORD baud, SimTime now);
  std::optional<std::uint8_t> next_stream_byte();
  std::uint8_t acquire(int channel, double t, double slot_period);
  double input_value(int channel, double t);
  ConverterMode converter_mode() const;
  void skip_stream(double now_ns);
  double byte_ns(DWORD baud) const;
  bool paced() const { return pace_ > 0; }
  bool silent_for_good() const { return faults_.mode(Fault::Silence) == FaultMode::Always; }
  std::uint8_t ident_char() const { return type_ == ModuleType::FourChannel ? '4' : '2'; }

  ModuleType type_;
  std::mt19937_64 rng_;
  std::array<SignalSpec, 6> signals_;
  std::array<InputSetup, 6> inputs_;
  double pace_ = 1.0;
  std::uint8_t ident_byte4_ = 2;
  SimTime reply_delay_{};
  FaultSet faults_;
  std::uint64_t fault_interval_ = 1000;
  std::uint64_t lost_run_ = 4800;
  std::uint64_t lost_run_left_ = 0;

  ModuleState state_ = ModuleState::Commands;
  DWORD line_baud_ = kFastBaud;
  bool break_on_ = false;
  std::uint8_t mode_low_ = 0, mode_high_ = 0, offset_ = 0;
  std::array<std::uint8_t, 5> block_{};
  std::size_t block_len_ = 0;
  SimTime block_time_{};
  std::uint8_t start_byte_ = 0;
  SimTime handshake_deadline_{};
  std::uint64_t raw_queries_ = 0;

  std::deque<Chunk> out_;
  double tx_clock_ = 0;  // ns: when the last byte on the line ended
  std::vector<int> slots_;
  std::vector<int> slot_channels_;
  DWORD stream_baud_ = kFastBaud;
  std::uint64_t stream_pos_ = 0;
  std::uint64_t ignored_ = 0;
  DWORD line_errors_ = 0;
};

}  // namespace osc::sim
