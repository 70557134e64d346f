#include "seriallink/serial_com.h"

#include "platform/comm/comm.h"
#include "platform/kernel/kernel.h"

namespace osc {

namespace {

const char kOpenFailed[] = "Cannot open communications device: ";
const char kTimeoutsFailed[] = "Cannot set Timeout values";
const char kStateFailed[] = "Cannot configures communications device";
const char kClosed[] = "Error: Communications device closed!";
const char kWriteFailed[] = "Error writting to communications device";
const char kReadFailed[] = "Error reading from the communications device";
const char kStatusFailed[] = "Error retrieving error status from the communications device";

// The byte length of the first `characters` UTF-8 characters of `s`.
std::size_t utf8_prefix(const std::string& s, std::size_t characters) {
  std::size_t seen = 0;
  for (std::size_t i = 0; i < s.size(); ++i) {
    bool starts_character = (static_cast<unsigned char>(s[i]) & 0xC0) != 0x80;
    if (starts_character && seen++ == characters) return i;
  }
  return s.size();
}

}  // namespace

// ---- TPortDCB ----

TPortDCB::TPortDCB(TSerialCom* owner) : owner_(owner) {
  dcb_.DCBlength = sizeof(win::DCB);
  dcb_.BaudRate = 9600;
  dcb_.ByteSize = 8;
  dcb_.Flags = win::DCB_fBinary;
}

void TPortDCB::Apply() {
  if (owner_) owner_->ApplyState();
}

void TPortDCB::SetBaudRate(DWORD value) {
  dcb_.BaudRate = value;
}

// Values outside the types are refused before anything is stored.
void TPortDCB::SetByteSize(TByteSize value) {
  if (value < 4 || value > 8) throw ECommError(kStateFailed);
  if (value == dcb_.ByteSize) return;
  dcb_.ByteSize = value;
  Apply();
}

void TPortDCB::SetParity(TParity value) {
  if (value > paSpace) throw ECommError(kStateFailed);
  if (value == dcb_.Parity) return;
  dcb_.Parity = value;
  Apply();
}

void TPortDCB::SetStopBits(TStopBits value) {
  if (value > sbTwo) throw ECommError(kStateFailed);
  if (value == dcb_.StopBits) return;
  dcb_.StopBits = value;
  Apply();
}

void TPortDCB::SetFlags(TDcbFlags value) {
  if (value == Flags()) return;
  dcb_.Flags = (dcb_.Flags & 0xFFFF0000u) | value.Word();
  Apply();
}

// ---- TSerialCom ----

TSerialCom::TSerialCom() {
  overlapped_rec_.hEvent = win::INVALID_HANDLE_VALUE;
}

TSerialCom::~TSerialCom() {
  try {
    Close();
  } catch (const std::exception&) {
    // An onDeactivate handler that fails cannot stop the destruction.
  }
}

void TSerialCom::SetComName(const std::string& value) {
  std::size_t cut = utf8_prefix(value, kMaxNameLength);
  name_too_long_ = cut < value.size();
  com_name_ = value.substr(0, cut);
}

void TSerialCom::SetActive(bool value) {
  if (value == active_) return;
  if (value) {
    Open();
  } else {
    Close();
  }
}

void TSerialCom::Open() {
  if (active_) return;
  DWORD flag = 0;
  if (overlapped_) {
    flag = win::FILE_FLAG_OVERLAPPED;
    overlapped_rec_ = {};
    overlapped_rec_.hEvent = win::CreateEvent(true, false);
    overlapped_ptr_ = &overlapped_rec_;
  } else {
    overlapped_ptr_ = nullptr;
  }
  win::HANDLE h = name_too_long_ ? win::INVALID_HANDLE_VALUE
                                 : win::CreateFile(com_name_, win::GENERIC_READ | win::GENERIC_WRITE, 0,
                                                   win::OPEN_EXISTING, flag);
  active_ = h != win::INVALID_HANDLE_VALUE;
  handle_ = h;
  if (!active_) {
    if (overlapped_) ReleaseEvent();
    throw ECommError(kOpenFailed + com_name_);
  }
  win::SetupComm(handle_, static_cast<DWORD>(inp_queue_), static_cast<DWORD>(out_queue_));
  try {
    ApplyTimeouts();
    ApplyState();
  } catch (const ECommError&) {
    AbandonOpen();  // a half-configured port would talk at the wrong settings
    throw;
  }
  if (onActivate) onActivate(*this);
}

void TSerialCom::AbandonOpen() {
  win::CloseHandle(handle_);
  active_ = false;
  handle_ = win::INVALID_HANDLE_VALUE;
  ReleaseEvent();
}

void TSerialCom::ReleaseEvent() {
  if (overlapped_rec_.hEvent != win::INVALID_HANDLE_VALUE) {
    win::CloseHandle(overlapped_rec_.hEvent);
    overlapped_rec_.hEvent = win::INVALID_HANDLE_VALUE;
  }
}

void TSerialCom::Close() {
  if (!active_) return;
  win::CloseHandle(handle_);
  active_ = false;
  // The handle values are released even when the handler fails.
  struct Release {
    TSerialCom& com;
    ~Release() {
      com.handle_ = win::INVALID_HANDLE_VALUE;
      com.ReleaseEvent();
    }
  } release{*this};
  if (onDeactivate) onDeactivate(*this);
}

void TSerialCom::ApplyState() {
  if (!active_) return;
  if (!win::SetCommState(handle_, &dcb_.Record())) throw ECommError(kStateFailed);
}

void TSerialCom::ApplyTimeouts() {
  if (!win::SetCommTimeouts(handle_, &timeouts_.Record())) throw ECommError(kTimeoutsFailed);
}

void TSerialCom::Purge(DWORD flags) {
  if (active_) win::PurgeComm(handle_, flags);
}

void TSerialCom::RequireActive() const {
  if (!active_) throw ECommError(kClosed);
}

int TSerialCom::Transfer(bool isRead, void* buffer, int count, win::OVERLAPPED* overlapped) {
  RequireActive();
  const char* failed = isRead ? kReadFailed : kWriteFailed;
  if (count < 0 || (!buffer && count > 0)) throw ECommError(failed);
  DWORD done = 0;
  DWORD n = static_cast<DWORD>(count);
  win::BOOL ok = isRead ? win::ReadFile(handle_, buffer, n, &done, overlapped)
                        : win::WriteFile(handle_, buffer, n, &done, overlapped);
  if (!ok) {
    if (win::GetLastError() == win::ERROR_IO_PENDING) return -1;
    throw ECommError(failed);
  }
  return static_cast<int>(done);
}

int TSerialCom::Write(const void* buffer, int count) {
  // The serial layer only reads a write's buffer.
  return Transfer(false, const_cast<void*>(buffer), count, overlapped_ptr_);
}

int TSerialCom::Read(void* buffer, int count) {
  return Transfer(true, buffer, count, overlapped_ptr_);
}

int TSerialCom::ReadEx(void* buffer, int count, win::OVERLAPPED* overlapped) {
  return Transfer(true, buffer, count, overlapped);
}

bool TSerialCom::SetBreak() {
  RequireActive();
  return win::SetCommBreak(handle_);
}

bool TSerialCom::ClearBreak() {
  RequireActive();
  return win::ClearCommBreak(handle_);
}

DWORD TSerialCom::ClearError(win::COMSTAT* stat) {
  RequireActive();
  DWORD errors = 0;
  if (!win::ClearCommError(handle_, &errors, stat)) throw ECommError(kStatusFailed);
  return errors;
}

bool TSerialCom::WaitTransfer(DWORD ms) {
  return win::WaitForSingleObject(overlapped_rec_.hEvent, ms) == win::WAIT_OBJECT_0;
}

std::optional<DWORD> TSerialCom::Collect(win::OVERLAPPED* overlapped) {
  DWORD transferred = 0;
  if (win::GetOverlappedResult(handle_, overlapped ? overlapped : &overlapped_rec_, &transferred, 0))
    return transferred;
  const DWORD error = win::GetLastError();
  if (error == win::ERROR_IO_INCOMPLETE || error == win::ERROR_OPERATION_ABORTED) return std::nullopt;
  throw ECommError(kReadFailed);
}

void TSerialCom::CancelPending() {
  win::CancelIo(handle_);
}

void TSerialCom::Reap(win::OVERLAPPED* overlapped) {
  DWORD transferred = 0;
  win::GetOverlappedResult(handle_, overlapped ? overlapped : &overlapped_rec_, &transferred, 1);
}

void ConfigureMainWindowCom(TSerialCom& com, TSerialCom::TNotifyEvent onActivate) {
  com.SetOverlapped(true);
  com.SetComName("COM1");
  com.SetInpQueue(16384);
  com.SetOutQueue(1024);
  TTimeouts& t = com.Timeouts();
  t.SetReadInterval(400);
  t.SetReadTotalMultiplier(10);
  t.SetReadTotalConstant(400);
  t.SetWriteTotalMultiplier(10);
  t.SetWriteTotalConstant(400);
  TPortDCB& dcb = com.DCB();
  dcb.SetBaudRate(115200);
  dcb.SetByteSize(8);
  dcb.SetParity(paNone);
  dcb.SetStopBits(sbOne);
  dcb.SetFlags({fBinary, fDtrControlEnable, fRtsControlEnable});
  com.onActivate = std::move(onActivate);
}

}  // namespace osc
