#pragma once
// What every program checks about the files it names before it writes
// anything: no output may be one of its inputs (or another of its outputs),
// and an input must be something that can be read to its end as a file.

#include <optional>
#include <string>
#include <vector>

namespace tarvek {

// True when `a` and `b` name the same file: the same device and inode when
// both exist, whatever the names; else the same path once made absolute and
// normalised (symbolic links in the part that exists resolved), since a file
// that does not exist yet is created under whichever name is opened first.
// A name is taken as the system sees it, up to its first NUL.
bool same_file(const std::string& a, const std::string& b);

// A file a program reads or writes, and how its messages name it ("the log
// file", "-o", "--truth").
struct FileRole {
  std::string what;
  std::string path;
};

// An output that would replace an input or another output.
struct FileClash {
  FileRole output;
  FileRole other;
  bool other_is_output = false;
};

// Compares every output with every input, then with the outputs before it,
// in the order given; the first match, or nothing. Outputs with an empty
// path, and outputs that are character devices (/dev/null, a terminal),
// which writing never replaces, take no part.
std::optional<FileClash> find_file_clash(const std::vector<FileRole>& outputs,
                                         const std::vector<FileRole>& inputs);

// Why `path` cannot be read as an input, or an empty string. Regular files
// and FIFOs can; so can the character devices that end: /dev/null and the
// terminal of standard input, output or error. A folder, any other character
// device (/dev/zero, /dev/urandom: they never end), a block device or a
// socket cannot. A path that does not exist gives an empty string: opening
// it says what is wrong. Symbolic links are followed.
std::string unreadable_input_reason(const std::string& path);

// The system's reason why `path` cannot be opened for reading, as an error
// number and its text ("No such file or directory"); 0 and "cannot be
// opened" when opening it now works.
struct OpenFailure {
  int error = 0;
  std::string text;
};
OpenFailure open_failure(const std::string& path);

// True when the folder that would hold `path` is /dev itself, or lies in
// /proc or /sys: the folders of devices and of the system's own files
// (/dev/stdin, /proc/self/fd/0). Nothing is written beside such a name.
bool in_device_folder(const std::string& path);

}  // namespace tarvek
