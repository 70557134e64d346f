#pragma once
// TRegs: access to one registry key at a time, by path below a root, with typed reads
// that fall back to a default and typed writes. Failures raise osc::Exception:
//   "Selhalo oteření klíče registru."   a key cannot be opened or created
//   "Nesprávný typ hodnoty '%s'."        a value has the wrong type (%s = value name)
//   "Chyba při zápisu hodnoty '%s'."     a value cannot be written
// Setting Key, RootKey or AccessMask to a different value reopens an open key.
// Use on one thread.
#include "platform/registry/registry.h"

#include <cstdint>
#include <initializer_list>
#include <string>

namespace osc {

enum class TRootKey {
  rkClassesRoot,
  rkCurrentUser,
  rkLocalMachine,
  rkUsers,
  rkPerformanceData,
  rkCurrentConfig,
  rkDynData
};

// In order, the key rights 1, 2, 4, 8, 0x10 and 0x20.
enum class TAccessMask {
  amKeyQueryValue,
  amKeySetValue,
  amKeyCreateSubKey,
  amKeyEnumerateSubKeys,
  amKeyNotify,
  amKeyCreateLink
};

class TAccessMasks {
 public:
  constexpr TAccessMasks() = default;
  constexpr TAccessMasks(std::initializer_list<TAccessMask> members) {
    for (TAccessMask m : members)
      bits_ |= Bit(m);
  }
  constexpr bool contains(TAccessMask m) const { return (bits_ & Bit(m)) != 0; }
  // The rights requested: the members' rights plus READ_CONTROL.
  constexpr win::REGSAM rights() const { return bits_ | win::READ_CONTROL; }
  constexpr bool operator==(const TAccessMasks&) const = default;

 private:
  static constexpr std::uint32_t Bit(TAccessMask m) { return 1u << static_cast<unsigned>(m); }
  std::uint32_t bits_ = 0;
};

class TRegs {
 public:
  static constexpr TAccessMasks kDefaultAccessMask{
      TAccessMask::amKeyQueryValue, TAccessMask::amKeySetValue, TAccessMask::amKeyCreateSubKey,
      TAccessMask::amKeyEnumerateSubKeys, TAccessMask::amKeyNotify};

  TRegs() = default;
  ~TRegs();
  TRegs(const TRegs&) = delete;
  TRegs& operator=(const TRegs&) = delete;

  // An out-of-range value selects HKEY_CURRENT_USER; a root without a TRootKey reads as
  // rkCurrentUser.
  TRootKey RootKey() const;
  void SetRootKey(TRootKey value);
  TAccessMasks AccessMask() const { return access_mask_; }
  void SetAccessMask(TAccessMasks value);
  // True: opening creates a missing key; false: opening a missing key fails.
  bool CanCreate() const { return can_create_; }
  void SetCanCreate(bool value) { can_create_ = value; }
  const std::string& Key() const { return key_; }
  void SetKey(const std::string& value);
  bool Opened() const { return handle_ != nullptr; }
  void SetOpened(bool value);
  // False: the key is flushed to disk before it is closed.
  bool LazyWrite() const { return lazy_write_; }
  void SetLazyWrite(bool value) { lazy_write_ = value; }
  // The open key's handle; null while closed.
  win::HKEY Handle() const { return handle_; }

  void Close() { SetOpened(false); }
  // Closes, takes `key` as the path (without the reopening of SetKey) and opens it.
  void OpenKey(const std::string& key);

  // A REG_DWORD of exactly 4 bytes; Default when the value is missing or longer than 4 bytes.
  int ReadInteger(const std::string& name, int defaultValue);
  // A REG_SZ or REG_EXPAND_SZ, cut at its first zero or at the end of its data; Default
  // when the value is missing or empty.
  std::string ReadString(const std::string& name, const std::string& defaultValue);
  // An 8-byte REG_BINARY double; Default when the value is missing, longer than 8 bytes,
  // or not a finite number.
  double ReadFloat(const std::string& name, double defaultValue);
  void WriteInteger(const std::string& name, int value);
  void WriteString(const std::string& name, const std::string& value);  // with its zero
  void WriteFloat(const std::string& name, double value);               // little-endian
  // The size of the value's data, or -1 when the query fails.
  int GetDataSize(const std::string& name);
  // Deletes a subkey (without subkeys of its own) of the open key; true on success.
  bool DeleteKey(const std::string& name);

 private:
  void Reopen();
  [[noreturn]] static void WrongType(const std::string& name);
  void Write(const std::string& name, win::DWORD type, const void* data, std::size_t size);

  win::HKEY root_ = win::HKEY_CURRENT_USER;
  TAccessMasks access_mask_ = kDefaultAccessMask;
  bool can_create_ = true;
  std::string key_;
  bool lazy_write_ = true;
  win::HKEY handle_ = nullptr;
};

}  // namespace osc
