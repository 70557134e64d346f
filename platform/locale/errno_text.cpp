#include "platform/locale/errno_text.h"

#include <cerrno>
#include <cstring>

namespace osc {

std::string ErrnoText(int err) {
  switch (err) {
    case ENOSPC:
      return "na disku není místo";
    case EDQUOT:
      return "byla překročena disková kvóta";
    case EACCES:
    case EPERM:
      return "přístup byl odepřen";
    case EROFS:
      return "disk je jen pro čtení";
    case ENOENT:
      return "složka neexistuje";
    case ENOTDIR:
      return "cesta nevede do složky";
    case ENAMETOOLONG:
      return "název je příliš dlouhý";
    case EISDIR:
      return "na místě souboru je složka";
    case EIO:
      return "chyba vstupu/výstupu zařízení";
    case EFBIG:
      return "soubor je příliš velký";
    case EMFILE:
    case ENFILE:
      return "je otevřeno příliš mnoho souborů";
    default:
      return std::string("chyba systému: ") + std::strerror(err);
  }
}

}  // namespace osc
