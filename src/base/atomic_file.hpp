#pragma once
// Files that appear whole or not at all: the content is written to a
// temporary file beside the target, checked, and renamed over the target.
// A failed or killed writer leaves the previous file exactly as it was.

#include <fstream>
#include <functional>
#include <ostream>
#include <string>

namespace tarvek {

// Writes `target` through `write`, which fills the stream. The temporary file
// has a name unique to this process and call, in the target's folder, so two
// writers at once each leave a whole file (the last rename wins). Returns an
// empty string on success, else the reason (the system's error text); the
// temporary file is then removed and the target is untouched. An exception
// thrown by `write` also removes the temporary file, and is passed on.
std::string write_file_atomically(const std::string& target,
                                  const std::function<void(std::ostream&)>& write);

// The temporary name used for `target` by this process's `serial`-th write:
// ".<file name>.<pid>.<serial>.tmp" in the target's folder.
std::string temporary_name_for(const std::string& target, unsigned long serial);

}  // namespace tarvek
