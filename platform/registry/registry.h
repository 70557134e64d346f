#pragma once
// The registry as the program uses it on Windows: keys below the predefined roots holding
// named values of a type, reached through handles, with the Win32 calls and result codes.
//
// Storage: each root lives in memory and in one text file, <folder>/<ROOT NAME>.reg, in the
// REGEDIT4 syntax (UTF-8, LF). <folder> is $OSC_REGISTRY_DIR when set, otherwise
// $XDG_CONFIG_HOME/osciloskop (~/.config/osciloskop when that is unset or not absolute).
// A root is read from its file on first use. A changed root is written back, atomically
// (the file holds either its old or its new content, never a mix), when a handle on it is
// closed, when a key is flushed, and when a transaction commits. A write that fails keeps
// the changes in memory and is tried again by the next close or flush.
//
// A file that cannot be parsed is never overwritten: it is renamed aside, the root starts
// empty, and RegTakeLoadNotice says where the old file went. While a root's file or folder
// cannot be written, opening a key of that root for writing or creating a key fails with
// ERROR_ACCESS_DENIED; opening for reading still works.
//
// HKEY_LOCAL_MACHINE\HARDWARE is read-only and never saved. Its key DEVICEMAP\SERIALCOMM
// is built at first use from the machine's serial devices: one REG_SZ value per port whose
// data is the name the serial layer opens ("/dev/ttyUSB0", and "SIM4", "SIM2" for the
// simulated modules).
//
// Names: key and value names compare without regard to ASCII case and keep the case they
// were created with. A key name is 1 to 255 bytes without '\' or control characters; a
// path may start with one '\'. Value names are at most 16383 bytes without control
// characters; the empty name is the key's default value. Texts are UTF-8.
//
// All functions may be called from any thread; a transaction belongs to its root, not to
// a thread.
#include "platform/win32.h"

#include <string>

namespace osc::win {

struct HKEY__;
using HKEY = HKEY__*;
using REGSAM = DWORD;
using LSTATUS = LONG;

inline const HKEY HKEY_CLASSES_ROOT = reinterpret_cast<HKEY>(std::uintptr_t{0x80000000u});
inline const HKEY HKEY_CURRENT_USER = reinterpret_cast<HKEY>(std::uintptr_t{0x80000001u});
inline const HKEY HKEY_LOCAL_MACHINE = reinterpret_cast<HKEY>(std::uintptr_t{0x80000002u});
inline const HKEY HKEY_USERS = reinterpret_cast<HKEY>(std::uintptr_t{0x80000003u});
inline const HKEY HKEY_PERFORMANCE_DATA = reinterpret_cast<HKEY>(std::uintptr_t{0x80000004u});
inline const HKEY HKEY_CURRENT_CONFIG = reinterpret_cast<HKEY>(std::uintptr_t{0x80000005u});
inline const HKEY HKEY_DYN_DATA = reinterpret_cast<HKEY>(std::uintptr_t{0x80000006u});

// Value types.
constexpr DWORD REG_NONE = 0;
constexpr DWORD REG_SZ = 1;
constexpr DWORD REG_EXPAND_SZ = 2;
constexpr DWORD REG_BINARY = 3;
constexpr DWORD REG_DWORD = 4;
constexpr DWORD REG_MULTI_SZ = 7;
constexpr DWORD REG_QWORD = 11;

// Access rights of a key handle. Querying and enumerating values needs KEY_QUERY_VALUE,
// setting one KEY_SET_VALUE, creating a subkey below a handle KEY_CREATE_SUB_KEY.
constexpr REGSAM KEY_QUERY_VALUE = 0x0001;
constexpr REGSAM KEY_SET_VALUE = 0x0002;
constexpr REGSAM KEY_CREATE_SUB_KEY = 0x0004;
constexpr REGSAM KEY_ENUMERATE_SUB_KEYS = 0x0008;
constexpr REGSAM KEY_NOTIFY = 0x0010;
constexpr REGSAM KEY_CREATE_LINK = 0x0020;
constexpr REGSAM DELETE = 0x00010000;
constexpr REGSAM READ_CONTROL = 0x00020000;
constexpr REGSAM KEY_READ = 0x00020019;
constexpr REGSAM KEY_WRITE = 0x00020006;
constexpr REGSAM KEY_ALL_ACCESS = 0x000F003F;

// Creation options and dispositions.
constexpr DWORD REG_OPTION_NON_VOLATILE = 0;
constexpr DWORD REG_OPTION_VOLATILE = 1;  // kept in memory only
constexpr DWORD REG_CREATED_NEW_KEY = 1;
constexpr DWORD REG_OPENED_EXISTING_KEY = 2;

struct SECURITY_ATTRIBUTES;  // accepted and ignored

// Opens `subKey` below `key`, creating the missing keys of the path. *disposition (when
// given) tells which. ERROR_ACCESS_DENIED when a key must be created without
// KEY_CREATE_SUB_KEY on `key`, below HARDWARE, or while the root cannot be written.
LSTATUS RegCreateKeyEx(HKEY key, const char* subKey, DWORD reserved, char* keyClass, DWORD options,
                       REGSAM access, const SECURITY_ATTRIBUTES* security, HKEY* result, DWORD* disposition);
// Opens an existing key; ERROR_FILE_NOT_FOUND when a key of the path is missing.
LSTATUS RegOpenKeyEx(HKEY key, const char* subKey, DWORD options, REGSAM access, HKEY* result);
// *type gets the value's type. With data, *size is the buffer size on entry: a buffer too
// small gives ERROR_MORE_DATA with the needed size in *size and the buffer untouched.
// Without data, *size gets the data size. Strings are returned as stored, so a string
// need not end with a zero.
LSTATUS RegQueryValueEx(HKEY key, const char* valueName, DWORD* reserved, DWORD* type, BYTE* data,
                        DWORD* size);
// Stores `size` bytes as given (a REG_SZ should include its terminating zero).
LSTATUS RegSetValueEx(HKEY key, const char* valueName, DWORD reserved, DWORD type, const BYTE* data,
                      DWORD size);
// Deletes a key that has no subkeys (ERROR_ACCESS_DENIED when it has). Handles still open
// on it then fail with ERROR_KEY_DELETED.
LSTATUS RegDeleteKey(HKEY key, const char* subKey);
// Writes the key's root to its file now if it changed (inside a transaction: at commit).
LSTATUS RegFlushKey(HKEY key);
// Closes a handle; a changed root is written back (a failed write is kept for the next try).
LSTATUS RegCloseKey(HKEY key);
// The index-th value in creation order: its name into name[*nameLength] (*nameLength in
// bytes including the terminating zero on entry, excluding it on return), then type and
// data as RegQueryValueEx. ERROR_NO_MORE_ITEMS past the last value.
LSTATUS RegEnumValue(HKEY key, DWORD index, char* name, DWORD* nameLength, DWORD* reserved, DWORD* type,
                     BYTE* data, DWORD* size);

// Transactions: the changes made to a root between begin and commit reach its file in one
// atomic write. When the write fails, commit undoes every change of the transaction in
// memory and returns the error (ERROR_DISK_FULL, ERROR_ACCESS_DENIED, ERROR_WRITE_FAULT),
// so memory and file both keep the old state. Rollback undoes them without writing. One
// transaction per root at a time (ERROR_BUSY); `root` must be a predefined root.
LSTATUS RegBeginTransaction(HKEY root);
LSTATUS RegCommitTransaction(HKEY root);
LSTATUS RegRollbackTransaction(HKEY root);

// Begins on construction, rolls back on destruction unless committed.
class RegTransaction {
 public:
  explicit RegTransaction(HKEY root) : root_(root), status_(RegBeginTransaction(root)) {}
  ~RegTransaction() {
    if (status_ == ERROR_SUCCESS && !done_) RegRollbackTransaction(root_);
  }
  RegTransaction(const RegTransaction&) = delete;
  RegTransaction& operator=(const RegTransaction&) = delete;

  // ERROR_SUCCESS when the transaction began.
  LSTATUS status() const { return status_; }
  LSTATUS commit() {
    if (status_ != ERROR_SUCCESS) return status_;
    done_ = true;
    return RegCommitTransaction(root_);
  }

 private:
  HKEY root_;
  LSTATUS status_;
  bool done_ = false;
};

// The file that holds `root` (empty for an unknown root).
std::string RegFilePath(HKEY root);
// What went wrong while reading the root's file (a file kept aside, an unreadable file),
// in words for the operator; empty when nothing did. Cleared by the call.
std::string RegTakeLoadNotice(HKEY root);

}  // namespace osc::win
