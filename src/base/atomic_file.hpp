#pragma once
// The one output writer. A regular file (or one that does not exist yet)
// appears whole or not at all: the content is written to a temporary file
// beside it, checked, and renamed over it; a failed or interrupted writer
// leaves the previous file exactly as it was. A symbolic link is followed
// and its target replaced, so the link stays a link. A FIFO or a character
// device (a terminal, /dev/null) is written through directly: renaming a
// file over it would replace the device with a file.

#include <cstddef>
#include <functional>
#include <ostream>
#include <string>

namespace tarvek {

// Writes `target` through `write`, which fills the stream. The temporary file
// has a name unique to this process and call, in the folder of the file
// replaced, so two writers at once each leave a whole file (the last rename
// wins). Returns an empty string on success, else the reason (the system's
// error text, or what the target is when it cannot be written: a folder, a
// block device); the temporary file is then removed and the target is
// untouched. An exception thrown by `write` also removes the temporary file,
// and is passed on. SIGINT, SIGTERM or SIGHUP while the temporary file exists
// remove it before the signal ends the process (SIGKILL cannot be caught).
std::string write_file_atomically(const std::string& target,
                                  const std::function<void(std::ostream&)>& write);

// The temporary name used for `target` by this process's `serial`-th write:
// ".<file name>.<pid>.<serial>.tmp" in the target's folder, with the file
// name cut so that the whole name stays within kMaxFileNameBytes.
std::string temporary_name_for(const std::string& target, unsigned long serial);

// The longest file name (one path component) the file systems take.
inline constexpr std::size_t kMaxFileNameBytes = 255;

}  // namespace tarvek
