#pragma once
// The exchanges with the acquisition module as the main window's operations use them:
// identification, parameters, the pieces of the start sequence the timer ticks run
// (start byte, slow-mode handshake, start reply), the stop sequence and the raw-value
// query, on an overlapped or a blocking TSerialCom.
//
// Results: identification and parameters give true or false, the raw query a value or
// kNoValue; a failed exchange is never repeated here (the caller's next tick or the
// operator does that). Errors of the port (opening, reading, writing) propagate as
// ECommError; before one propagates from a transfer the port is closed, so that the
// next identification opens it again (a module whose cable was pulled comes back).
//
// On the overlapped port a reply that misses its 100 ms wait has its read cancelled
// and ended before the port's record is used again, and the next exchange first
// listens until 500 ms after the missed request went out (the blocking port's longest
// reply time-out) and drops what comes: a module answering late gives failed
// exchanges, never the previous request's reply as the answer to the next.
//
// The port is opened only by Identify(). Waits of 20, 10 and 1 ms (and the 160 ms after
// opening) go through a replaceable sleep; the 100 ms reply waits are waits on the
// port's event.
#include "acquisition/protocol_bytes.h"
#include "platform/win32.h"

#include <array>
#include <cstdint>
#include <functional>
#include <string>

namespace osc {

class TSerialCom;

// The values the exchanges carry, kept by the main window.
struct ProtocolState {
  std::uint8_t ChannelMask = 0;
  std::uint8_t OffsetByte = 0;
  std::uint16_t ModeWord = 0;
  bool SlowMode = false;
  char DeviceType = 0;  // '4' or '2' after a good identification
  bool DeviceFound = false;
  // The reply of the last good identification, for the About box.
  std::array<std::uint8_t, kIdentifyReplyLength> IdentReply{};
};

// What the exchanges need of the main window.
class ProtocolHost {
 public:
  virtual ~ProtocolHost() = default;
  // The port chosen by the operator (the settings dialog's port field).
  virtual std::string PortName() = 0;
  // Selects the identified model in the settings (kModelFourChannel, kModelTwoChannel).
  virtual void ApplyModelType(int modelIndex) = 0;
  // A 2-channel module answered: polarity "Positive", CH 3, CH 4, (5) and (6) unchecked.
  virtual void TwoChannelModelFound() = 0;
  // The parameter echo's readings, "AN1: %3d   AN2: %3d", for the cross-position label.
  virtual void ShowAnalogReadings(const std::string& text) = 0;
  // Whether the system offers "CancelIo".
  virtual bool CancelIoAvailable() = 0;
};

// Reads of a failed exchange may still be pending on the port into this object's
// buffers: the port must be closed (or destroyed) before the protocol is destroyed.
class DeviceProtocol {
 public:
  static constexpr win::DWORD kReplyWait = 100;  // ms, on the port's event
  static constexpr win::DWORD kActivatePause = 160;
  // How late a reply may come at all: the next request waits until then.
  static constexpr std::int64_t kLateHorizon = 500;

  DeviceProtocol(TSerialCom& com, ProtocolState& state, ProtocolHost& host);

  // Replaces the sleep of the fixed waits (tests shorten them).
  void SetSleep(std::function<void(win::DWORD)> sleep) { sleep_ = std::move(sleep); }
  void Sleep(win::DWORD ms) { sleep_(ms); }

  // The port's onActivate: the pause after opening.
  void PortActivated() { Sleep(kActivatePause); }

  // 115200 Bd, open when closed, cancel pending I/O, 0xF5 and the 8-byte reply. Sets
  // DeviceType on a reply of the right length and DeviceFound to the result.
  bool Identify();
  // The 5-byte parameter request after 1 ms and its echo.
  bool SendParameters();
  // The first step of a start handshake: identify and send the parameters; when either
  // fails, break the line (cancelling pending I/O on the overlapped port, purging the
  // receive queue on the blocking one) and try both once more.
  bool IdentifyAndSendParameters();

  // Start: purge the receive queue and send the start byte (overlapped: wait up to
  // 100 ms for the write). Returns the start byte.
  std::uint8_t SendStartByte();
  // Slow mode: the module's 0xFC, then 19200 Bd and one zero byte (overlapped: 20 ms).
  bool SlowModeHandshake();
  // The 12-byte start reply. Overlapped: Begin issues the read on the port's record
  // before the caller issues its block reads; Finish waits up to 100 ms for it.
  // Blocking: Begin does nothing, Finish reads. True when the reply echoes the start byte.
  void BeginStartReply();
  bool FinishStartReply();

  // Stop: break, 20 ms, cancel pending I/O (overlapped, when offered), clear the break,
  // 20 ms, clear the error state, 10 ms, identify (a closed port: identify only). The
  // result of the identification.
  bool Stop();

  // One raw reading of `slot` (1..4): 0..16368, or kNoValue. Identifies first when no
  // module has been found or the port is closed. A slot outside 1..4 gives kNoValue
  // without touching the port; one beyond the model's channels, from the reply.
  std::int32_t QueryRawValue(int slot, bool zeroCalibration);

 private:
  bool Overlapped() const;
  bool Exchange(std::size_t requestLength, std::size_t replyLength);
  bool ReadReply(std::size_t length);
  bool WaitForPort();
  void CancelPendingIo();
  // Cancels the read on the port's record and waits until it has ended.
  void AbandonRead();
  // After a reply wait that timed out: listens until the late reply's horizon and drops
  // what comes.
  void DrainLateReply();
  void BreakLine(win::DWORD afterClear);
  template <class F>
  auto Guarded(F&& f);

  TSerialCom& com_;
  ProtocolState& state_;
  ProtocolHost& host_;
  std::function<void(win::DWORD)> sleep_;
  // A reply that came short leaves its read pending on the port: the buffers stay
  // here, where a late byte does no harm.
  std::array<std::uint8_t, 16> request_{};
  std::array<std::uint8_t, 16> reply_{};
  std::uint8_t start_byte_ = 0;
  std::array<std::uint8_t, kStartReplyLength> start_reply_{};
  std::array<std::uint8_t, 64> drain_{};
  bool late_reply_possible_ = false;
  std::int64_t request_sent_ = 0;  // ms, monotonic: when the last request went out
};

}  // namespace osc
