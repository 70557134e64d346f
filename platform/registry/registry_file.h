#pragma once
// Internal to the registry: the text of one root's file, in the REGEDIT4 syntax.
//
//   REGEDIT4
//   ; comment
//
//   [HKEY_LOCAL_MACHINE\SOFTWARE\Example]
//   "Text"="a \"quoted\" c:\\path"      REG_SZ, UTF-8, stored with its terminating zero
//   "Number"=dword:0000000a             REG_DWORD
//   "Bytes"=hex:01,02,ff,\              REG_BINARY, continued on the next line
//     03
//   @=hex(2):25,00                      any other type, or data the forms above cannot hold
//
// The writer emits every non-volatile key (so empty keys survive), values in creation
// order, UTF-8 and LF. The reader also takes the "Windows Registry Editor Version 5.00"
// header, a UTF-8 byte order mark, CR LF line ends, blank lines and comments, and merges
// sections and values whose names differ only in case. Anything else is an error: the
// caller keeps such a file aside rather than lose what it holds.
#include "platform/registry/registry_tree.h"

#include <string>
#include <string_view>

namespace osc::win::detail {

struct RegistryParseError {
  int line = 0;        // counted from 1
  std::string reason;  // in words for the operator
};

// Reads the file text of the root named `rootName` (e.g. "HKEY_LOCAL_MACHINE") into
// `root`, which should be empty. False, with `error` set, when the text is not a registry
// file of that root; `root` then holds what was read before the error.
bool ParseRegistryText(std::string_view text, std::string_view rootName, RegKeyNode& root,
                       RegistryParseError& error);

std::string FormatRegistryText(const RegKeyNode& root, std::string_view rootName);

}  // namespace osc::win::detail
