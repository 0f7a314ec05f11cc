// tarvek against what a hostile user tries: outputs named like inputs,
// devices and links where files are expected, endless input, values that
// do not fit. Each case ends with a clear message and nothing destroyed, or
// with the run it always had.

#include <fcntl.h>
#include <gtest/gtest.h>
#include <sys/stat.h>
#include <unistd.h>

#include <filesystem>
#include <string>
#include <thread>
#include <vector>

#include "support/process.hpp"

namespace tarvek::testing {
namespace {

namespace fs = std::filesystem;

const std::string kLoc =
    "name = x\npopt = F2\nnloc = 3\nnind = 4\n"
    "M1\tA\tA\tB\tB\nM3\tB\tB\tA\tA\nM2\tA\tA\tB\tA\n";

bool contains(const std::string& text, const std::string& part) { return text.find(part) != std::string::npos; }

ProcessLimits quick() {
  ProcessLimits limits;
  limits.seconds = 20;
  limits.file_size = 1 << 20;  // a run that reads an endless device must not fill the disk
  return limits;
}

TEST(TarvekHostile, OutputsNamedLikeInputsAreRefusedBeforeAnythingIsWritten) {
  {
    // Parameters-file mode: the log is a link to the parameters file.
    TempDir dir;
    dir.write("run/x.loc", kLoc);
    dir.write("run/mapping_parameters.txt", "matrix.txt\n");
    dir.write("run/matrix.txt", kRecombinationMatrix);
    fs::create_symlink("mapping_parameters.txt", dir.path() / "run/tarvek_log.txt");
    const RunResult r = run_tarvek_in(dir, {"run/x.loc"});
    EXPECT_EQ(r.status, 1);
    EXPECT_EQ(r.err, "tarvek: run/mapping_parameters.txt is the log file run/tarvek_log.txt\n" +
                         fatal("bad parameters file!run/mapping_parameters.txt"));
    EXPECT_EQ(dir.read("run/mapping_parameters.txt"), "matrix.txt\n");
    EXPECT_FALSE(dir.exists("run/x_map.loc"));
  }
  {
    // -l naming the map file: the map would replace the log.
    TempDir dir;
    dir.write("x.loc", kLoc);
    dir.write("matrix.txt", kRecombinationMatrix);
    const RunResult r = run_tarvek_in(dir, {"-l", "x_map.loc", "x.loc"});
    EXPECT_EQ(r.status, 1);
    EXPECT_EQ(r.err, "tarvek: the log file x_map.loc is the map file x_map.loc\n");
    EXPECT_FALSE(dir.exists("x_map.loc"));
  }
  {
    // -m naming the map file: the map would replace the matrix.
    TempDir dir;
    dir.write("x.loc", kLoc);
    dir.write("x_map.loc", kRecombinationMatrix);
    const RunResult r = run_tarvek_in(dir, {"-m", "x_map.loc", "x.loc"});
    EXPECT_EQ(r.status, 1);
    EXPECT_EQ(r.err, "tarvek: x_map.loc is the map file x_map.loc\n" + fatal("bad matrix file x_map.loc"));
    EXPECT_EQ(dir.read("x_map.loc"), kRecombinationMatrix);
    EXPECT_FALSE(dir.exists("tarvek_log.txt"));
  }
}

TEST(TarvekHostile, MapFileThatIsALinkOrAFifoIsWrittenThrough) {
  TempDir dir;
  dir.write("x.loc", kLoc);
  dir.write("matrix.txt", kRecombinationMatrix);
  ASSERT_EQ(run_tarvek_in(dir, {"-m", "matrix.txt", "x.loc"}).status, 0);
  const std::string map = dir.read("x_map.loc");
  fs::remove(dir.path() / "x_map.loc");

  // A link: followed, its target replaced, the link kept.
  fs::create_directory(dir.path() / "maps");
  fs::create_symlink("maps/kept.loc", dir.path() / "x_map.loc");
  ASSERT_EQ(run_tarvek_in(dir, {"-m", "matrix.txt", "x.loc"}).status, 0);
  EXPECT_TRUE(fs::is_symlink(dir.path() / "x_map.loc"));
  EXPECT_EQ(dir.read("maps/kept.loc"), map);

  // A FIFO: written through, not replaced by a file. A second name for it
  // lets the test end a reader that nobody writes to.
  fs::remove(dir.path() / "x_map.loc");
  ASSERT_EQ(::mkfifo((dir.path() / "x_map.loc").c_str(), 0600), 0);
  fs::create_hard_link(dir.path() / "x_map.loc", dir.path() / "fifo");
  std::string through;
  std::thread reader([&] { through = TempDir::slurp(dir.path() / "x_map.loc"); });
  const RunResult r = run_tarvek_in(dir, {"-m", "matrix.txt", "x.loc"}, quick());
  const int unblock = ::open((dir.path() / "fifo").c_str(), O_WRONLY | O_NONBLOCK);
  if (unblock >= 0) ::close(unblock);
  reader.join();
  EXPECT_EQ(r.status, 0);
  EXPECT_EQ(through, map);
  EXPECT_TRUE(fs::is_fifo(dir.path() / "x_map.loc"));
}

TEST(TarvekHostile, EndlessDevicesAndTheFolderOfDevicesAreRefused) {
  TempDir dir;
  dir.write("x.loc", kLoc);
  dir.write("matrix.txt", kRecombinationMatrix);
  fs::create_symlink("/dev/zero", dir.path() / "zero.loc");
  const RunResult loc = run_tarvek_in(dir, {"-m", "matrix.txt", "zero.loc"}, quick());
  EXPECT_FALSE(loc.timed_out);
  EXPECT_EQ(loc.status, 1);
  EXPECT_EQ(loc.err, "tarvek: zero.loc is a character device that never ends (such as /dev/zero), not a file\n" +
                         fatal("bad loc file!"));
  EXPECT_FALSE(dir.exists("zero_map.loc"));
  EXPECT_FALSE(fs::exists("/dev/zero_map.loc"));

  const RunResult matrix = run_tarvek_in(dir, {"-m", "zero.loc", "x.loc"}, quick());
  EXPECT_FALSE(matrix.timed_out);
  EXPECT_EQ(matrix.status, 1);
  EXPECT_TRUE(contains(matrix.err, fatal("bad matrix file zero.loc"))) << matrix.err;

  // /dev/stdin reads (a device, a pipe or a file, whatever the test's
  // standard input is), but its map would go into /dev.
  const RunResult in = run_tarvek_in(dir, {"-m", "matrix.txt", "/dev/stdin"}, quick());
  EXPECT_EQ(in.status, 1);
  EXPECT_TRUE(contains(in.err, "tarvek: /dev/stdin is a device") ||
              contains(in.err, "tarvek: the map file /dev/stdin_map.loc would be written among the system's devices"))
      << in.err;
  EXPECT_TRUE(contains(in.err, fatal("bad loc file!"))) << in.err;
  EXPECT_FALSE(fs::exists("/dev/stdin_map.loc"));

  // A folder is said to be one.
  fs::create_directory(dir.path() / "folder.loc");
  EXPECT_EQ(run_tarvek_in(dir, {"-m", "matrix.txt", "folder.loc"}).err,
            "tarvek: folder.loc is a folder, not a file\n" + fatal("bad loc file!"));
}

TEST(TarvekHostile, LodsThatAreNotFiniteAreNotTaken) {
  TempDir dir;
  dir.write("x.loc", kLoc);
  dir.write("matrix.txt", kRecombinationMatrix);
  const RunResult inf = run_tarvek_in(dir, {"-g", "3", "inf", "2", "x.loc"});
  EXPECT_EQ(inf.status, 1);
  EXPECT_EQ(inf.err, "tarvek: -g: core_LOD must be a finite number, not inf\n");
  const RunResult huge = run_tarvek_in(dir, {"-g", "3", "8", "1e39", "x.loc"});
  EXPECT_EQ(huge.status, 1);
  EXPECT_EQ(huge.err, "tarvek: -g: min_LOD must be a finite number, not 1e39\n");
  EXPECT_FALSE(dir.exists("x_map.loc"));

  // The parameters file's values are never errors: the default stays.
  dir.write("mapping_parameters.txt", "matrix.txt\n2\n1e39\n");
  const RunResult file = run_tarvek_in(dir, {"x.loc"});
  EXPECT_EQ(file.status, 0);
  EXPECT_EQ(file.err, "tarvek: warning: mapping_parameters.txt line 3: core_LOD 1e39 is not a finite number; "
                      "16 is used\n");
  EXPECT_TRUE(contains(dir.read("x_map.loc"), "\n;grouping threshold LOD=16\n"));
}

TEST(TarvekHostile, ScoresThatDoNotFitIn32BitsAreWarnedAbout) {
  // Three loci, three individuals; A-B costs 2,000,000,000 per individual,
  // so M1-M2 and M3-M2 cost 6e9 each, which wraps to 1705032704. The order
  // M1 M2 M3 (12e9) wraps further, to -884901888, and looks best.
  TempDir dir;
  dir.write("x.loc", "h\nh\nh\nh\nM1\tA\tA\tA\nM2\tB\tB\tB\nM3\tA\tA\tA\n");
  dir.write("matrix.txt", "0\t0\t0\t0\t0\t0\n0\t0\t2000000000\t0\t0\t0\n0\t2000000000\t0\t0\t0\t0\n");
  const RunResult r = run_tarvek_in(dir, {"-m", "matrix.txt", "x.loc"});
  EXPECT_EQ(r.status, 0);
  // 12e9 - 3 * 2^32 = -884901888.
  EXPECT_EQ(r.err, "tarvek: warning: the score 12000000000 of group 1 does not fit in 32 bits: it wrapped around to "
                   "-884901888, so the order was chosen on wrapped scores (the scoring matrix's entries are too "
                   "large)\n");
  EXPECT_TRUE(contains(dir.read("x_map.loc"), "\n;newscore=-884901888\n"));
}

TEST(TarvekHostile, ControlBytesOfTheInputAreEscapedInMessages) {
  TempDir dir;
  dir.write("x.loc", kLoc + "bad\x1b]0;title\x07line\n");
  dir.write("matrix.txt", kRecombinationMatrix);
  const RunResult r = run_tarvek_in(dir, {"-m", "matrix.txt", "x.loc"});
  EXPECT_EQ(r.status, 0);
  EXPECT_EQ(r.err, "Error reading locbad\\x1B]0;title\\x07line\n");
  EXPECT_TRUE(contains(dir.read("tarvek_log.txt"), "Error reading locbad\\x1B]0;title\\x07line\n"));
  // The map keeps the name as it is: it is data.
  EXPECT_TRUE(contains(dir.read("x_map.loc"), "\nbad\x1b]0;title\x07line\t-\t-\t-\t-\t\n"));
}

TEST(TarvekHostile, LogThatCannotBeWrittenIsWarnedAbout) {
  TempDir dir;
  dir.write("x.loc", kLoc);
  dir.write("matrix.txt", kRecombinationMatrix);
  const RunResult r = run_tarvek_in(dir, {"-l", "/dev/full", "-m", "matrix.txt", "x.loc"});
  EXPECT_EQ(r.status, 0);
  EXPECT_EQ(r.err, "tarvek: warning: the log file /dev/full could not be written whole (No space left on device); "
                   "the log is incomplete\n");
  EXPECT_TRUE(dir.exists("x_map.loc"));
}

}  // namespace
}  // namespace tarvek::testing
