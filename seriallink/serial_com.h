#pragma once
// TSerialCom: the program's serial port. It owns one communications device, opened by
// name, with its line settings (TPortDCB) and time-outs (TTimeouts), and offers block
// reads and writes, blocking or overlapped, plus purge, break and error status. It
// knows no protocol and shows nothing: every failure is raised as ECommError with the
// port's English message.
//
// Setters of the settings store; those marked "applied" also send the line settings to
// the device at once while the port is open. Everything else reaches the device at the
// next Open (or ApplyState / ApplyTimeouts). ComName, Overlapped, InpQueue and OutQueue
// are read only by Open.
//
// Open calls onActivate after the device is open and configured; Close closes the
// device, then calls onDeactivate (the device is already closed then), then releases
// the handle values. A port whose configuration fails while opening is closed again
// before the error is raised (no onActivate, no onDeactivate).
//
// Not thread-safe: callers keep the threads that use one port apart.
#include "platform/errors.h"
#include "platform/win32.h"

#include <cstddef>
#include <functional>
#include <initializer_list>
#include <optional>
#include <string>

namespace osc {

class ECommError : public Exception {
 public:
  using Exception::Exception;
};

using win::DWORD;

using TByteSize = win::BYTE;  // 4..8
enum TParity : win::BYTE { paNone, paOdd, paEven, paMark, paSpace };
enum TStopBits : win::BYTE { sbOne, sbOneAndHalf, sbTwo };

// Member n is bit n of the DCB bit-field word.
enum TDcbFlagsConsts {
  fBinary,
  fParity,
  fOutxCtsFlow,
  fOutxDsrFlow,
  fDtrControlEnable,
  fDtrControlHandshake,
  fDsrSensitivity,
  fTXContinueOnXoff,
  fOutX,
  fInX,
  fErrorChar,
  fNull,
  fRtsControlEnable,
  fRtsControlHandshake,
  fAbortOnError,
};

// A set of TDcbFlagsConsts, written to the device as a 16-bit word (bit 15 always 0).
class TDcbFlags {
 public:
  constexpr TDcbFlags() = default;
  constexpr TDcbFlags(std::initializer_list<TDcbFlagsConsts> members) {
    for (auto m : members)
      Include(m);
  }
  static constexpr TDcbFlags FromWord(win::WORD word) {
    TDcbFlags f;
    f.bits_ = word & 0x7FFF;
    return f;
  }
  constexpr win::WORD Word() const { return bits_; }
  constexpr bool Contains(TDcbFlagsConsts m) const { return bits_ & bit(m); }
  constexpr TDcbFlags& Include(TDcbFlagsConsts m) {
    bits_ |= bit(m);
    return *this;
  }
  constexpr TDcbFlags& Exclude(TDcbFlagsConsts m) {
    bits_ &= static_cast<win::WORD>(~bit(m));
    return *this;
  }
  friend constexpr bool operator==(TDcbFlags a, TDcbFlags b) = default;

 private:
  static constexpr win::WORD bit(TDcbFlagsConsts m) {
    return static_cast<win::WORD>(m >= 0 && m < 15 ? 1u << m : 0u);
  }
  win::WORD bits_ = 0;
};

class TSerialCom;

// The line settings: one Windows DCB record and the port it belongs to.
class TPortDCB {
 public:
  explicit TPortDCB(TSerialCom* owner = nullptr);

  // The record as sent to the device: DCBlength 28, the values below, the rest 0.
  const win::DCB& Record() const { return dcb_; }

  DWORD BaudRate() const { return dcb_.BaudRate; }
  void SetBaudRate(DWORD value);  // stored only
  TByteSize ByteSize() const { return dcb_.ByteSize; }
  void SetByteSize(TByteSize value);  // applied; 4..8
  TParity Parity() const { return static_cast<TParity>(dcb_.Parity); }
  void SetParity(TParity value);  // applied
  TStopBits StopBits() const { return static_cast<TStopBits>(dcb_.StopBits); }
  void SetStopBits(TStopBits value);  // applied
  TDcbFlags Flags() const { return TDcbFlags::FromWord(static_cast<win::WORD>(dcb_.Flags)); }
  void SetFlags(TDcbFlags value);  // applied
  char XOnChar() const { return dcb_.XonChar; }
  void SetXOnChar(char value) { dcb_.XonChar = value; }  // stored only
  char XOffChar() const { return dcb_.XoffChar; }
  void SetXOffChar(char value) { dcb_.XoffChar = value; }  // stored only
  char ErrorChar() const { return dcb_.ErrorChar; }
  void SetErrorChar(char value) { dcb_.ErrorChar = value; }  // stored only
  char EventChar() const { return dcb_.EvtChar; }
  void SetEventChar(char value) { dcb_.EvtChar = value; }  // stored only

 private:
  // Asks the owner to send the record (it does so only while open).
  void Apply();

  win::DCB dcb_;
  TSerialCom* owner_;
};

// The time-outs in milliseconds (a Windows COMMTIMEOUTS record); every default is 10.
// Setters only store.
class TTimeouts {
 public:
  const win::COMMTIMEOUTS& Record() const { return t_; }

  DWORD ReadInterval() const { return t_.ReadIntervalTimeout; }
  void SetReadInterval(DWORD value) { t_.ReadIntervalTimeout = value; }
  DWORD ReadTotalMultiplier() const { return t_.ReadTotalTimeoutMultiplier; }
  void SetReadTotalMultiplier(DWORD value) { t_.ReadTotalTimeoutMultiplier = value; }
  DWORD ReadTotalConstant() const { return t_.ReadTotalTimeoutConstant; }
  void SetReadTotalConstant(DWORD value) { t_.ReadTotalTimeoutConstant = value; }
  DWORD WriteTotalMultiplier() const { return t_.WriteTotalTimeoutMultiplier; }
  void SetWriteTotalMultiplier(DWORD value) { t_.WriteTotalTimeoutMultiplier = value; }
  DWORD WriteTotalConstant() const { return t_.WriteTotalTimeoutConstant; }
  void SetWriteTotalConstant(DWORD value) { t_.WriteTotalTimeoutConstant = value; }

 private:
  win::COMMTIMEOUTS t_{10, 10, 10, 10, 10};
};

class TSerialCom {
 public:
  using TNotifyEvent = std::function<void(TSerialCom& sender)>;
  // TCommName holds at most this many characters.
  static constexpr std::size_t kMaxNameLength = 16;

  TSerialCom();
  // Closes the device (as Close).
  ~TSerialCom();
  TSerialCom(const TSerialCom&) = delete;
  TSerialCom& operator=(const TSerialCom&) = delete;

  // Given to the serial layer as stored. A longer name keeps its first 16 characters
  // and cannot be opened: Open raises the open error without touching any device, so
  // a cut name never opens another device.
  const std::string& ComName() const { return com_name_; }
  void SetComName(const std::string& value);
  bool Overlapped() const { return overlapped_; }
  void SetOverlapped(bool value) { overlapped_ = value; }
  int InpQueue() const { return inp_queue_; }
  void SetInpQueue(int value) { inp_queue_ = value; }
  int OutQueue() const { return out_queue_; }
  void SetOutQueue(int value) { out_queue_ = value; }
  TTimeouts& Timeouts() { return timeouts_; }
  const TTimeouts& Timeouts() const { return timeouts_; }
  TPortDCB& DCB() { return dcb_; }
  const TPortDCB& DCB() const { return dcb_; }
  int BufSize() const { return buf_size_; }  // stored; no operation uses it
  void SetBufSize(int value) { buf_size_ = value; }
  bool Active() const { return active_; }
  // True opens, False closes, only when the value differs.
  void SetActive(bool value);

  TNotifyEvent onActivate;
  TNotifyEvent onDeactivate;

  // The device, INVALID_HANDLE_VALUE while closed (for the serial layer's own tests).
  win::HANDLE Handle() const { return handle_; }
  // Whether the open port was opened overlapped: Read and Write then use the port's own
  // record and return -1 while their transfer is pending.
  bool OverlappedOpen() const { return active_ && overlapped_ptr_ != nullptr; }

  // Opens and configures the device named ComName; nothing when already active.
  void Open();
  // Closes the device; nothing when not active.
  void Close();
  // Sends the line settings while active.
  void ApplyState();
  // Sends the time-outs to Handle, active or not.
  void ApplyTimeouts();
  // Windows purge flags; while active only, result ignored.
  void Purge(DWORD flags);
  // Bytes transferred, or -1 while an overlapped transfer is still pending.
  int Write(const void* buffer, int count);
  int Read(void* buffer, int count);
  int ReadEx(void* buffer, int count, win::OVERLAPPED* overlapped);
  // The system's result.
  bool SetBreak();
  bool ClearBreak();
  // Fetches and clears the error flags (CE_*); fills `stat` when given.
  DWORD ClearError(win::COMSTAT* stat);

  // Overlapped transfers. `overlapped` is a record given to ReadEx, or null for the
  // port's own (Read and Write).
  // Waits up to `ms` for the port's own transfer to end; true when it did.
  bool WaitTransfer(DWORD ms);
  // The bytes an ended transfer moved; nullopt while it is pending or when it was
  // cancelled. A transfer that failed otherwise (the device vanished) raises
  // ECommError with the read failure's message.
  std::optional<DWORD> Collect(win::OVERLAPPED* overlapped = nullptr);
  // Cancels the transfers this thread has pending on the port.
  void CancelPending();
  // Waits until the transfer has ended, whatever its result: its record and buffer may
  // then be used again.
  void Reap(win::OVERLAPPED* overlapped = nullptr);

 private:
  void RequireActive() const;
  int Transfer(bool isRead, void* buffer, int count, win::OVERLAPPED* overlapped);
  void ReleaseEvent();
  void AbandonOpen();

  win::HANDLE handle_ = win::INVALID_HANDLE_VALUE;
  // Its event is a manual-reset event while the port is open overlapped.
  win::OVERLAPPED overlapped_rec_{};
  win::OVERLAPPED* overlapped_ptr_ = nullptr;  // &overlapped_rec_ when open overlapped
  std::string com_name_ = "COM1";
  bool name_too_long_ = false;
  bool overlapped_ = false;
  int inp_queue_ = 1024;
  int out_queue_ = 1024;
  TTimeouts timeouts_;
  TPortDCB dcb_{this};
  int buf_size_ = 0;
  bool active_ = false;
};

// Stores the main window's configuration of its port `Com`: overlapped, "COM1", queues
// 16384/1024, time-outs 400/10/400/10/400 ms, 115200 Bd 8N1 with DTR and RTS held on and
// no handshake; binds onActivate.
void ConfigureMainWindowCom(TSerialCom& com, TSerialCom::TNotifyEvent onActivate = {});

}  // namespace osc
