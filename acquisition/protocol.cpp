#include "acquisition/protocol.h"

#include "platform/comm/comm.h"
#include "platform/kernel/kernel.h"
#include "platform/locale/locale.h"
#include "seriallink/serial_com.h"

#include <algorithm>
#include <chrono>

namespace osc {
namespace {

std::int64_t MonotonicMs() {
  return std::chrono::duration_cast<std::chrono::milliseconds>(
             std::chrono::steady_clock::now().time_since_epoch())
      .count();
}

constexpr DWORD kBreakWait = 20;
constexpr DWORD kClearWait = 10;
constexpr DWORD kParameterPause = 1;
constexpr DWORD kSlowSwitchWait = 20;

}  // namespace

DeviceProtocol::DeviceProtocol(TSerialCom& com, ProtocolState& state, ProtocolHost& host)
    : com_(com), state_(state), host_(host), sleep_([](DWORD ms) { win::Sleep(ms); }) {}

// A transfer that the port refuses means the device is gone or broken: the port is
// closed so that the next identification opens it afresh, and the error goes on.
template <class F>
auto DeviceProtocol::Guarded(F&& f) {
  try {
    return f();
  } catch (const ECommError&) {
    if (com_.Active()) com_.Close();
    state_.DeviceFound = false;
    throw;
  }
}

bool DeviceProtocol::Overlapped() const {
  return com_.Active() ? com_.OverlappedOpen() : com_.Overlapped();
}

void DeviceProtocol::CancelPendingIo() {
  if (host_.CancelIoAvailable()) com_.CancelPending();
}

bool DeviceProtocol::WaitForPort() {
  return com_.WaitTransfer(kReplyWait);
}

bool DeviceProtocol::ReadReply(std::size_t length) {
  const int count = static_cast<int>(length);
  if (!Overlapped()) return com_.Read(reply_.data(), count) == count;
  WaitForPort();  // the request's write
  com_.Read(reply_.data(), count);
  if (!WaitForPort()) {
    // Left pending, the read would take the first bytes of the next reply, and every
    // later exchange would be off by as many bytes as this one lacked.
    AbandonRead();
    late_reply_possible_ = true;
    return false;
  }
  const auto transferred = com_.Collect();
  return transferred && *transferred == length;
}

void DeviceProtocol::AbandonRead() {
  CancelPendingIo();
  // The record is used by the next transfer: the read must have ended first.
  com_.Reap();
}

void DeviceProtocol::DrainLateReply() {
  if (!late_reply_possible_) return;
  late_reply_possible_ = false;
  if (!Overlapped() || !com_.Active()) return;
  // A module that answered too late for the last exchange may answer any time until
  // the horizon: its reply must not pass for the reply to the next request.
  for (;;) {
    const std::int64_t left = request_sent_ + kLateHorizon - MonotonicMs();
    if (left <= 0) break;
    com_.Read(drain_.data(), static_cast<int>(drain_.size()));
    com_.WaitTransfer(static_cast<DWORD>(left));
    AbandonRead();
  }
}

bool DeviceProtocol::Exchange(std::size_t requestLength, std::size_t replyLength) {
  DrainLateReply();
  com_.Purge(win::PURGE_RXCLEAR);
  request_sent_ = MonotonicMs();
  com_.Write(request_.data(), static_cast<int>(requestLength));
  return ReadReply(replyLength);
}

bool DeviceProtocol::Identify() {
  return Guarded([&] {
    if (com_.DCB().BaudRate() != kFastBaud) {
      com_.DCB().SetBaudRate(kFastBaud);
      com_.ApplyState();
    }
    if (!com_.Active()) {
      com_.SetComName(host_.PortName());  // the port keeps at most 16 characters
      com_.Open();
    }
    CancelPendingIo();
    request_[0] = kIdentifyRequest;
    bool found = false;
    if (Exchange(1, kIdentifyReplyLength)) {
      state_.DeviceType = static_cast<char>(reply_[3]);
      switch (ModelOf(reply_.data())) {
        case ModelReply::FourChannel:
          found = true;
          host_.ApplyModelType(kModelFourChannel);
          break;
        case ModelReply::TwoChannel:
          found = true;
          host_.ApplyModelType(kModelTwoChannel);
          host_.TwoChannelModelFound();
          break;
        case ModelReply::Unknown:
          break;
      }
    }
    state_.DeviceFound = found;
    if (found) std::copy_n(reply_.begin(), kIdentifyReplyLength, state_.IdentReply.begin());
    return found;
  });
}

bool DeviceProtocol::SendParameters() {
  return Guarded([&] {
    Sleep(kParameterPause);
    auto request = ParameterRequest(state_.ModeWord, state_.OffsetByte);
    std::copy(request.begin(), request.end(), request_.begin());
    const std::size_t length = ParameterReplyLength(state_.DeviceType);
    if (!Exchange(request.size(), length)) return false;
    if (!ParameterEchoMatches(reply_.data(), state_.DeviceType, state_.ModeWord, state_.OffsetByte))
      return false;
    if (length == 5)
      host_.ShowAnalogReadings(
          Format("AN1: %3d   AN2: %3d", {static_cast<int>(reply_[3]), static_cast<int>(reply_[4])}));
    return true;
  });
}

void DeviceProtocol::BreakLine(DWORD afterClear) {
  com_.SetBreak();
  Sleep(kBreakWait);
  if (Overlapped()) {
    CancelPendingIo();
  } else {
    com_.Purge(win::PURGE_RXCLEAR);
  }
  com_.ClearBreak();
  Sleep(afterClear);
}

bool DeviceProtocol::IdentifyAndSendParameters() {
  if (Identify() && SendParameters()) return true;
  Guarded([&] { BreakLine(kClearWait); });
  return Identify() && SendParameters();
}

std::uint8_t DeviceProtocol::SendStartByte() {
  return Guarded([&] {
    com_.Purge(win::PURGE_RXCLEAR);
    start_byte_ = StartByteOf(state_.ChannelMask, state_.SlowMode);
    request_[0] = start_byte_;
    request_sent_ = MonotonicMs();
    com_.Write(request_.data(), 1);
    if (Overlapped()) WaitForPort();
    return start_byte_;
  });
}

bool DeviceProtocol::SlowModeHandshake() {
  return Guarded([&] {
    if (!ReadReply(1) || reply_[0] != kSlowAcknowledge) return false;
    com_.DCB().SetBaudRate(kSlowBaud);
    com_.ApplyState();
    request_[0] = 0x00;
    com_.Write(request_.data(), 1);
    if (Overlapped()) Sleep(kSlowSwitchWait);
    return true;
  });
}

void DeviceProtocol::BeginStartReply() {
  Guarded([&] {
    if (Overlapped()) com_.Read(start_reply_.data(), static_cast<int>(start_reply_.size()));
  });
}

bool DeviceProtocol::FinishStartReply() {
  return Guarded([&] {
    const int length = static_cast<int>(start_reply_.size());
    if (!Overlapped())
      return com_.Read(start_reply_.data(), length) == length && start_reply_[0] == start_byte_;
    if (!WaitForPort()) {
      late_reply_possible_ = true;  // the next identification cancels the read
      return false;
    }
    const auto transferred = com_.Collect();
    return transferred && *transferred == start_reply_.size() && start_reply_[0] == start_byte_;
  });
}

bool DeviceProtocol::Stop() {
  // A port that never opened (or was closed by a failure) has no line to break: the
  // identification opens it, or says why it cannot.
  if (com_.Active())
    Guarded([&] {
      com_.SetBreak();
      Sleep(kBreakWait);
      if (Overlapped()) CancelPendingIo();
      com_.ClearBreak();
      Sleep(kBreakWait);
      com_.ClearError(nullptr);
      Sleep(kClearWait);
    });
  return Identify();
}

std::int32_t DeviceProtocol::QueryRawValue(int slot, bool zeroCalibration) {
  // No channel selected (or none the module can have): nothing to ask the module.
  if (slot < 1 || slot > 4) return kNoValue;
  return Guarded([&] {
    if ((!state_.DeviceFound || !com_.Active()) && !Identify()) return kNoValue;
    const std::uint8_t request = zeroCalibration ? kRawZeroRequest : kRawPlainRequest;
    request_[0] = request;
    const std::size_t length = RawReplyLength(state_.DeviceType);
    if (!Exchange(1, length)) return kNoValue;
    return RawValueOf(reply_.data(), length, request, slot);
  });
}

}  // namespace osc
