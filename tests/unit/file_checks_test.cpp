// The checks every program makes before it writes: outputs against inputs,
// inputs that cannot be read to an end, names among the system's devices;
// the output writer with links, folders and long names; echoes in messages.

#include <gtest/gtest.h>
#include <sys/stat.h>
#include <sys/sysmacros.h>
#include <unistd.h>

#include <filesystem>
#include <stdexcept>
#include <string>

#include "base/atomic_file.hpp"
#include "base/echo.hpp"
#include "base/file_checks.hpp"
#include "support/process.hpp"

namespace tarvek {
namespace {

namespace fs = std::filesystem;
using testing::TempDir;

TEST(SameFile, ByInodeWhenBothExistByNormalisedPathOtherwise) {
  TempDir dir;
  const std::string a = (dir.path() / "a").string();
  dir.write("a", "x");
  fs::create_hard_link(a, dir.path() / "hard");
  fs::create_symlink("a", dir.path() / "soft");
  fs::create_directory(dir.path() / "sub");
  EXPECT_TRUE(same_file(a, (dir.path() / "hard").string()));
  EXPECT_TRUE(same_file(a, (dir.path() / "soft").string()));
  EXPECT_TRUE(same_file(a, (dir.path() / "sub/../a").string()));
  // Not there yet: the same once normalised, through a link to its folder.
  fs::create_directory_symlink("sub", dir.path() / "into");
  EXPECT_TRUE(same_file((dir.path() / "sub/new").string(), (dir.path() / "into/./new").string()));
  EXPECT_FALSE(same_file((dir.path() / "sub/new").string(), (dir.path() / "sub/other").string()));
  EXPECT_FALSE(same_file(a, ""));
  // As the system sees a name: up to its first NUL.
  EXPECT_TRUE(same_file(a + std::string("\0tail", 5), a));
}

TEST(FileClash, EveryOutputAgainstEveryInputThenTheOutputsBefore) {
  TempDir dir;
  dir.write("in", "x");
  const std::string in = (dir.path() / "in").string();
  const std::string out = (dir.path() / "out").string();
  const auto clash = find_file_clash({{"-o", out}, {"--positions", in}}, {{"the map", "/nowhere"}, {"the input", in}});
  ASSERT_TRUE(clash);
  EXPECT_EQ(clash->output.what, "--positions");
  EXPECT_EQ(clash->other.what, "the input");
  EXPECT_FALSE(clash->other_is_output);
  const auto twice = find_file_clash({{"-o", out}, {"--positions", out}}, {{"the input", in}});
  ASSERT_TRUE(twice);
  EXPECT_TRUE(twice->other_is_output);
  EXPECT_EQ(twice->other.what, "-o");
  // Writing to a character device replaces nothing; empty names take no part.
  const std::string null = (dir.path() / "null").string();
  if (::mknod(null.c_str(), S_IFCHR | 0666, ::makedev(1, 3)) != 0) GTEST_SKIP() << "cannot make a device here";
  EXPECT_FALSE(find_file_clash({{"-o", null}, {"-l", ""}}, {{"the input", null}, {"x", ""}}));
}

TEST(InputKinds, FilesFifosAndDevicesThatEndAreReadOthersAreNamed) {
  TempDir dir;
  dir.write("file", "x");
  ASSERT_EQ(::mkfifo((dir.path() / "fifo").c_str(), 0600), 0);
  fs::create_symlink("/dev/zero", dir.path() / "zero");
  EXPECT_EQ(unreadable_input_reason((dir.path() / "file").string()), "");
  EXPECT_EQ(unreadable_input_reason((dir.path() / "fifo").string()), "");
  EXPECT_EQ(unreadable_input_reason((dir.path() / "absent").string()), "");  // opening it says so
  EXPECT_EQ(unreadable_input_reason(dir.path().string()), "a folder, not a file");
  EXPECT_EQ(unreadable_input_reason((dir.path() / "zero").string()),
            "a character device that never ends (such as /dev/zero), not a file");
  const std::string null = (dir.path() / "null").string();
  if (::mknod(null.c_str(), S_IFCHR | 0666, ::makedev(1, 3)) == 0) {
    EXPECT_EQ(unreadable_input_reason(null), "");
  }
  EXPECT_TRUE(in_device_folder("/dev/stdin"));
  EXPECT_TRUE(in_device_folder("/proc/self/fd/0"));
  EXPECT_FALSE(in_device_folder("/dev/shm/x.loc"));
  EXPECT_FALSE(in_device_folder((dir.path() / "x.loc").string()));
}

TEST(OutputWriter, LinksAreFollowedFoldersRefusedLongNamesFit) {
  TempDir dir;
  const auto text = [](const char* bytes) { return [bytes](std::ostream& out) { out << bytes; }; };
  fs::create_symlink("target.txt", dir.path() / "link.txt");
  EXPECT_EQ(write_file_atomically((dir.path() / "link.txt").string(), text("through")), "");
  EXPECT_TRUE(fs::is_symlink(dir.path() / "link.txt"));
  EXPECT_EQ(dir.read("target.txt"), "through");
  EXPECT_EQ(write_file_atomically(dir.path().string(), text("x")), "Is a directory");

  const std::string name(kMaxFileNameBytes, 'n');
  const std::string temporary = temporary_name_for((dir.path() / name).string(), 123456789);
  EXPECT_EQ(fs::path(temporary).filename().string().size(), kMaxFileNameBytes);
  EXPECT_EQ(write_file_atomically((dir.path() / name).string(), text("long")), "");
  EXPECT_EQ(dir.read(name), "long");

  // A writer that throws leaves neither the file nor a temporary one.
  EXPECT_THROW(write_file_atomically((dir.path() / "thrown").string(),
                                     [](std::ostream&) { throw std::runtime_error("stop"); }),
               std::runtime_error);
  for (const auto& entry : fs::directory_iterator(dir.path()))
    EXPECT_NE(entry.path().extension(), ".tmp") << entry.path();
  EXPECT_FALSE(dir.exists("thrown"));
}

TEST(Echo, ControlBytesEscapedLongTextCutOutsideACharacter) {
  EXPECT_EQ(escaped_for_message("plain \xC3\xA9t\xC3\xA9"), "plain \xC3\xA9t\xC3\xA9");
  EXPECT_EQ(escaped_for_message(std::string("a\x1b[2J\0\x7F\tb", 9)), "a\\x1B[2J\\x00\\x7F\\x09b");
  EXPECT_EQ(echo(std::string(80, 'x')), std::string(80, 'x'));
  EXPECT_EQ(echo(std::string(81, 'x')), std::string(80, 'x') + "...");
  // The cut does not split the two bytes of an "é" that straddles it.
  EXPECT_EQ(echo(std::string(79, 'x') + "\xC3\xA9zz"), std::string(79, 'x') + "...");
}

}  // namespace
}  // namespace tarvek
