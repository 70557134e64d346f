#pragma once
// The Windows types, constants and result codes that the rest of the program relies on,
// given on Linux. Only what the program uses is here; values match Win32.
#include <cstdint>

namespace osc::win {

using DWORD = std::uint32_t;
using WORD = std::uint16_t;
using BYTE = std::uint8_t;
using BOOL = int;
using LONG = std::int32_t;

// Kernel object handle (events, threads, communications devices). Opaque.
using HANDLE = void*;
inline const HANDLE INVALID_HANDLE_VALUE = reinterpret_cast<HANDLE>(~std::uintptr_t{0});

constexpr DWORD INFINITE = 0xFFFFFFFFu;
constexpr DWORD MAXDWORD = 0xFFFFFFFFu;

// Wait results.
constexpr DWORD WAIT_OBJECT_0 = 0;
constexpr DWORD WAIT_TIMEOUT = 258;
constexpr DWORD WAIT_FAILED = 0xFFFFFFFFu;

// Last-error codes.
constexpr DWORD ERROR_SUCCESS = 0;
constexpr DWORD ERROR_INVALID_FUNCTION = 1;
constexpr DWORD ERROR_FILE_NOT_FOUND = 2;
constexpr DWORD ERROR_ACCESS_DENIED = 5;
constexpr DWORD ERROR_INVALID_HANDLE = 6;
constexpr DWORD ERROR_NOT_ENOUGH_MEMORY = 8;
constexpr DWORD ERROR_BAD_COMMAND = 22;
constexpr DWORD ERROR_WRITE_FAULT = 29;
constexpr DWORD ERROR_READ_FAULT = 30;
constexpr DWORD ERROR_SHARING_VIOLATION = 32;
constexpr DWORD ERROR_GEN_FAILURE = 31;
constexpr DWORD ERROR_INVALID_PARAMETER = 87;
constexpr DWORD ERROR_DISK_FULL = 112;
constexpr DWORD ERROR_INVALID_NAME = 123;
constexpr DWORD ERROR_BUSY = 170;
constexpr DWORD ERROR_MORE_DATA = 234;
constexpr DWORD ERROR_NO_MORE_ITEMS = 259;
constexpr DWORD ERROR_OPERATION_ABORTED = 995;
constexpr DWORD ERROR_IO_INCOMPLETE = 996;
constexpr DWORD ERROR_IO_PENDING = 997;
constexpr DWORD ERROR_DEVICE_NOT_CONNECTED = 1167;
constexpr DWORD ERROR_KEY_DELETED = 1018;
constexpr DWORD ERROR_BADKEY = 1010;
constexpr DWORD ERROR_CANTWRITE = 1013;
constexpr DWORD ERROR_CHILD_MUST_BE_VOLATILE = 1021;
constexpr DWORD ERROR_TIMEOUT = 1460;

// The record of one asynchronous transfer. Internal/InternalHigh hold the status and
// the byte count once the transfer has ended.
struct OVERLAPPED {
  std::uintptr_t Internal = 0;
  std::uintptr_t InternalHigh = 0;
  DWORD Offset = 0;
  DWORD OffsetHigh = 0;
  HANDLE hEvent = nullptr;
};

// Line settings, laid out as the Win32 record (28 bytes).
struct DCB {
  DWORD DCBlength = 0;
  DWORD BaudRate = 0;
  DWORD Flags = 0;  // the bit-field word: fBinary is bit 0 ... fAbortOnError bit 14
  WORD wReserved = 0;
  WORD XonLim = 0;
  WORD XoffLim = 0;
  BYTE ByteSize = 0;
  BYTE Parity = 0;    // 0 none, 1 odd, 2 even, 3 mark, 4 space
  BYTE StopBits = 0;  // 0 one, 1 one and a half, 2 two
  char XonChar = 0;
  char XoffChar = 0;
  char ErrorChar = 0;
  char EofChar = 0;
  char EvtChar = 0;
  WORD wReserved1 = 0;
};
static_assert(sizeof(DCB) == 28);

struct COMMTIMEOUTS {
  DWORD ReadIntervalTimeout = 0;
  DWORD ReadTotalTimeoutMultiplier = 0;
  DWORD ReadTotalTimeoutConstant = 0;
  DWORD WriteTotalTimeoutMultiplier = 0;
  DWORD WriteTotalTimeoutConstant = 0;
};

struct COMSTAT {
  DWORD Flags = 0;
  DWORD cbInQue = 0;
  DWORD cbOutQue = 0;
};

// Bits of DCB::Flags.
constexpr DWORD DCB_fBinary = 1u << 0;
constexpr DWORD DCB_fParity = 1u << 1;
constexpr DWORD DCB_fOutxCtsFlow = 1u << 2;
constexpr DWORD DCB_fOutxDsrFlow = 1u << 3;
constexpr DWORD DCB_fDtrControlEnable = 1u << 4;
constexpr DWORD DCB_fDtrControlHandshake = 1u << 5;
constexpr DWORD DCB_fDsrSensitivity = 1u << 6;
constexpr DWORD DCB_fTXContinueOnXoff = 1u << 7;
constexpr DWORD DCB_fOutX = 1u << 8;
constexpr DWORD DCB_fInX = 1u << 9;
constexpr DWORD DCB_fErrorChar = 1u << 10;
constexpr DWORD DCB_fNull = 1u << 11;
constexpr DWORD DCB_fRtsControlEnable = 1u << 12;
constexpr DWORD DCB_fRtsControlHandshake = 1u << 13;
constexpr DWORD DCB_fAbortOnError = 1u << 14;

// PurgeComm flags.
constexpr DWORD PURGE_TXABORT = 0x0001;
constexpr DWORD PURGE_RXABORT = 0x0002;
constexpr DWORD PURGE_TXCLEAR = 0x0004;
constexpr DWORD PURGE_RXCLEAR = 0x0008;

// ClearCommError error mask bits.
constexpr DWORD CE_RXOVER = 0x0001;
constexpr DWORD CE_OVERRUN = 0x0002;
constexpr DWORD CE_RXPARITY = 0x0004;
constexpr DWORD CE_FRAME = 0x0008;
constexpr DWORD CE_BREAK = 0x0010;

// CreateFile flags used by the serial port.
constexpr DWORD GENERIC_READ = 0x80000000u;
constexpr DWORD GENERIC_WRITE = 0x40000000u;
constexpr DWORD OPEN_EXISTING = 3;
constexpr DWORD FILE_FLAG_OVERLAPPED = 0x40000000u;

}  // namespace osc::win
