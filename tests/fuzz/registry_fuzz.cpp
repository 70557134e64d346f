// The registry file reader on arbitrary bytes. Besides not crashing, whatever it accepts
// must survive writing and reading again unchanged, and the writer must be stable.
#include "platform/registry/registry_file.h"

#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <string_view>

namespace {

using osc::win::detail::FormatRegistryText;
using osc::win::detail::ParseRegistryText;
using osc::win::detail::RegistryParseError;
using osc::win::detail::RegKeyNode;
using osc::win::detail::SameContent;

constexpr std::string_view kRoot = "HKEY_LOCAL_MACHINE";

[[noreturn]] void Fail(const char* what) {
  std::fprintf(stderr, "registry file: %s\n", what);
  std::abort();
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  std::string_view text(reinterpret_cast<const char*>(data), size);
  RegKeyNode read;
  RegistryParseError error;
  if (!ParseRegistryText(text, kRoot, read, error)) {
    if (error.reason.empty() || error.line < 0) Fail("refused without a reason");
    return 0;
  }
  std::string written = FormatRegistryText(read, kRoot);
  RegKeyNode again;
  if (!ParseRegistryText(written, kRoot, again, error)) Fail("its own output does not read back");
  if (!SameContent(read, again)) Fail("content changed on the way through the file");
  if (FormatRegistryText(again, kRoot) != written) Fail("writing is not stable");
  return 0;
}
