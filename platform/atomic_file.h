#pragma once
// Saving a whole file so that a failure never destroys the previous one.
//
// The data goes to a hidden temporary file beside the target (".<name>.XXXXXX" in the
// same folder, so the rename stays on one file system); every write is checked for
// its full length, so a short write on a full disk is an error, not a truncated file;
// the file is flushed to the disk (fsync) and closed, then renamed over the target,
// and the folder is flushed so the rename itself survives a power cut.
//
// Assumptions: the disk honours fsync; the folder is writable (the temporary file is
// created there). A target that is a symbolic link keeps the link: the file it points
// to is replaced. The permissions of a replaced file are kept; a new file gets the
// usual 0666 less the umask.
#include <cstdint>
#include <span>
#include <string>

namespace osc {

// Replaces the file `path` with `data`. On failure raises osc::Exception with a message
// naming `path` and the system's reason; when the failure came before the rename, the
// previous file is untouched and no temporary file is left. A failure to flush the
// folder after the rename is reported too (the new file is then in place, but the
// system could not confirm it is on the disk).
void SaveFileAtomically(const std::string& path, std::span<const std::uint8_t> data);

}  // namespace osc
