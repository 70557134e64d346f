#pragma once
// The operator's words for a failed file system call, in Czech: the system's own texts
// follow the process's language, which the operator may not read.
#include <string>

namespace osc {

// "na disku není místo" for ENOSPC and so on; an errno without words of its own gets
// the system's text after "chyba systému".
std::string ErrnoText(int err);

}  // namespace osc
