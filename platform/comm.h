#pragma once
// Serial communications with the Win32 semantics the program relies on.
//
// Names: a name beginning with "/dev/" is a device path; "COM1".."COM256" map to the
// machine's serial devices (see ARCHITECTURE.md, "Port names"); other names are looked
// up among registered in-process devices (the simulated modules "SIM4" and "SIM2").
// Opening is exclusive: a second open of the same device fails.
//
// Transfers: without FILE_FLAG_OVERLAPPED, ReadFile and WriteFile block the caller,
// bounded by the COMMTIMEOUTS exactly as Windows defines them (the read interval counts
// from the first byte; total = multiplier x bytes + constant; the MAXDWORD cases); a
// time-out is a success with the bytes that did arrive. With FILE_FLAG_OVERLAPPED they
// return FALSE with ERROR_IO_PENDING when the transfer cannot end at once; the
// OVERLAPPED record's manual-reset event is reset when the request starts and set when
// it ends; requests of one kind complete in the order they were issued. The caller keeps
// the buffer and the record alive until the request has ended.
//
// Bytes that arrive while no read is pending are kept in the input queue (SetupComm
// size) as the Windows driver keeps them; bytes beyond it are dropped and reported as
// CE_RXOVER by ClearCommError.
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
