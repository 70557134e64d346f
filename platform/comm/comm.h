#pragma once
// Serial communications with the Win32 semantics the program relies on.
//
// Names: a name beginning with "/dev/" is a device path; "COM1".."COM256" map to the
// machine's serial devices (see ARCHITECTURE.md, "Port names"); other names are looked
// up among registered in-process devices (the simulated modules "SIM4" and "SIM2").
// Opening is exclusive: a second open of the same device fails (ERROR_ACCESS_DENIED).
// A path must name a serial line (a tty the kernel lists as a serial port, or a
// pseudo-terminal slave); anything else (a file, a disk, the controlling terminal) is
// refused with ERROR_FILE_NOT_FOUND before it is opened, so it is never changed.
//
// Transfers: without FILE_FLAG_OVERLAPPED, ReadFile and WriteFile block the caller,
// bounded by the COMMTIMEOUTS exactly as Windows defines them (the read interval counts
// from the first byte; total = multiplier x bytes + constant; the MAXDWORD cases); a
// time-out is a success with the bytes that did arrive. With FILE_FLAG_OVERLAPPED they
// return FALSE with ERROR_IO_PENDING when the transfer cannot end at once, and TRUE
// with the count when it can (the input queue holds the bytes, the device took them);
// the OVERLAPPED record's manual-reset event is reset when the request is issued and
// set when it ends, also when it ends at once; requests of one kind complete in the
// order they were issued, and their time-outs count from when they become the current
// request of their kind. The caller keeps the buffer and the record alive until the
// request has ended. A thread blocked in ReadFile or WriteFile may be ended with
// pthread_cancel: its request is withdrawn and the port stays usable.
//
// Bytes that arrive while no read is pending are kept in the input queue (SetupComm
// size: 1 byte to 16 MiB, 4096 until SetupComm is called; shrinking keeps the oldest
// bytes) as the Windows driver keeps them; bytes beyond it are dropped and reported as
// CE_RXOVER by ClearCommError. With DCB fAbortOnError, an error ends every pending
// transfer and refuses new ones (ERROR_OPERATION_ABORTED) until ClearCommError.
// With input flow control (fInX, DTR or RTS handshake) a full queue leaves the bytes in
// the device instead, so that the flow control stops the sender.
// SetCommBreak holds writes back until ClearCommBreak. CloseHandle ends every pending
// request (ERROR_OPERATION_ABORTED), also of threads blocked in a call, before the
// device is released.
//
// Line settings: SetCommState refuses (ERROR_INVALID_PARAMETER) what Windows refuses:
// 0 Bd, data bits outside 5..8, parity above 4, stop bits above 2, 1.5 stop bits
// without 5 data bits, 2 stop bits with 5, equal XON and XOFF characters with XON/XOFF
// flow control. Any rate is accepted (termios2 for rates without a Bnnn code). A Linux
// tty has no DTR handshake, RTS toggle, DSR flow control or sensitivity, error or null
// character handling: DTR and RTS are then held on and the other flags are kept but
// have no effect.
//
// Every function sets the last error on failure. A device that vanishes while open
// makes pending and later transfers fail (ERROR_DEVICE_NOT_CONNECTED).
#include "platform/win32.h"

#include <string>

namespace osc::win {

HANDLE CreateFile(const std::string& name, DWORD desiredAccess, DWORD shareMode, DWORD creationDisposition,
                  DWORD flagsAndAttributes);

BOOL SetupComm(HANDLE file, DWORD inQueue, DWORD outQueue);
BOOL GetCommState(HANDLE file, DCB* dcb);
BOOL SetCommState(HANDLE file, const DCB* dcb);
BOOL GetCommTimeouts(HANDLE file, COMMTIMEOUTS* timeouts);
BOOL SetCommTimeouts(HANDLE file, const COMMTIMEOUTS* timeouts);

BOOL ReadFile(HANDLE file, void* buffer, DWORD count, DWORD* bytesRead, OVERLAPPED* overlapped);
BOOL WriteFile(HANDLE file, const void* buffer, DWORD count, DWORD* bytesWritten, OVERLAPPED* overlapped);
// wait FALSE on a pending request: FALSE with ERROR_IO_INCOMPLETE.
BOOL GetOverlappedResult(HANDLE file, OVERLAPPED* overlapped, DWORD* transferred, BOOL wait);
// Cancels the pending requests that the calling thread issued on `file`; they end with
// ERROR_OPERATION_ABORTED.
BOOL CancelIo(HANDLE file);
BOOL PurgeComm(HANDLE file, DWORD flags);
BOOL SetCommBreak(HANDLE file);
BOOL ClearCommBreak(HANDLE file);
BOOL ClearCommError(HANDLE file, DWORD* errors, COMSTAT* stat);

// The device path a port name stands for ("COM3" -> "/dev/ttyS2"), or the name itself.
std::string CommDevicePath(const std::string& name);

}  // namespace osc::win
