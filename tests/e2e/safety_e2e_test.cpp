// What happens around bad input, failed writes and concurrent runs: the
// input is never the output, the map file appears whole or not at all, and
// what cannot be trusted is said on standard error.

#include <gtest/gtest.h>
#include <sys/mount.h>
#include <sys/stat.h>
#include <unistd.h>

#include <filesystem>
#include <fstream>
#include <string>
#include <thread>
#include <vector>

#include "support/process.hpp"

namespace tarvek::testing {
namespace {

namespace fs = std::filesystem;

// Three loci, four individuals: a complete run in a few milliseconds.
const std::string kLoc =
    "name = x\npopt = F2\nnloc = 3\nnind = 4\n"
    "M1\tA\tA\tB\tB\nM3\tB\tB\tA\tA\nM2\tA\tA\tB\tA\n";

bool contains(const std::string& text, const std::string& part) {
  return text.find(part) != std::string::npos;
}

// Names in the folder that look like a map file's temporary file.
std::vector<std::string> temporary_files(const TempDir& dir) {
  std::vector<std::string> names;
  for (const auto& entry : fs::directory_iterator(dir.path())) {
    const std::string name = entry.path().filename().string();
    if (name.size() > 4 && name.compare(name.size() - 4, 4, ".tmp") == 0) names.push_back(name);
  }
  return names;
}

TEST(InputIsNeverOutput, LocFileNamedLikeTheLogIsRefusedAndLeftIntact) {
  {
    // Options mode: the log is tarvek_log.txt in the current folder.
    TempDir dir;
    dir.write("tarvek_log.txt", kLoc);
    dir.write("matrix.txt", kRecombinationMatrix);
    ProcessLimits limits;
    limits.seconds = 5;
    limits.file_size = 1 << 20;  // a run that reads its own log must not fill the disk
    const RunResult r = run_tarvek_in(dir, {"-o", "tarvek_log.txt"}, limits);
    EXPECT_FALSE(r.timed_out);
    EXPECT_EQ(r.status, 1);
    EXPECT_EQ(r.out, "Running tarvek...\n");
    EXPECT_EQ(r.err, "tarvek: tarvek_log.txt is the log file tarvek_log.txt\n" +
                         fatal("bad loc file!"));
    EXPECT_EQ(dir.read("tarvek_log.txt"), kLoc);
    EXPECT_FALSE(dir.exists("tarvek_log_map.loc"));
  }
  {
    // Parameters-file mode: the log is beside the loc file.
    TempDir dir;
    dir.write("run/tarvek_log.txt", kLoc);
    dir.write("run/mapping_parameters.txt", "matrix.txt\n");
    dir.write("run/matrix.txt", kRecombinationMatrix);
    ProcessLimits limits;
    limits.seconds = 5;
    limits.file_size = 1 << 20;  // a run that reads its own log must not fill the disk
    const RunResult r = run_tarvek_in(dir, {"run/tarvek_log.txt"}, limits);
    EXPECT_FALSE(r.timed_out);
    EXPECT_EQ(r.status, 1);
    EXPECT_EQ(dir.read("run/tarvek_log.txt"), kLoc);
  }
  {
    // -l naming the loc file itself, by another path.
    TempDir dir;
    dir.write("x.loc", kLoc);
    dir.write("matrix.txt", kRecombinationMatrix);
    const RunResult r = run_tarvek_in(dir, {"-l", "./x.loc", "x.loc"});
    EXPECT_EQ(r.status, 1);
    EXPECT_EQ(r.err, "tarvek: x.loc is the log file ./x.loc\n" + fatal("bad loc file!"));
    EXPECT_EQ(dir.read("x.loc"), kLoc);
  }
}

TEST(InputIsNeverOutput, LocFileThatIsTheMapFileIsRefused) {
  // The loc file "y" writes y_map.loc; here that name is a hard link to y.
  TempDir dir;
  dir.write("y", kLoc);
  dir.write("matrix.txt", kRecombinationMatrix);
  fs::create_hard_link(dir.path() / "y", dir.path() / "y_map.loc");
  const RunResult r = run_tarvek_in(dir, {"-o", "y"});
  EXPECT_EQ(r.status, 1);
  EXPECT_EQ(r.err, "tarvek: y is the map file y_map.loc\n" + fatal("bad loc file!"));
  EXPECT_EQ(dir.read("y"), kLoc);
  EXPECT_FALSE(dir.exists("tarvek_log.txt"));  // refused before anything was opened for writing
}

TEST(InputIsNeverOutput, LogThatIsTheScoringMatrixIsRefused) {
  TempDir dir;
  dir.write("x.loc", kLoc);
  dir.write("m.txt", kRecombinationMatrix);
  const RunResult r = run_tarvek_in(dir, {"-m", "m.txt", "-l", "m.txt", "x.loc"});
  EXPECT_EQ(r.status, 1);
  EXPECT_EQ(r.err, "tarvek: m.txt is the log file m.txt\n" + fatal("bad matrix file m.txt"));
  EXPECT_EQ(dir.read("m.txt"), kRecombinationMatrix);
}

TEST(MapFileWholeOrNotAtAll, FailedWriteLeavesThePreviousMapByteIdentical) {
  TempDir dir;
  dir.write("x.loc", kLoc);
  dir.write("matrix.txt", kRecombinationMatrix);
  dir.write("x_map.loc", "the previous map\n");
  // Writes past 100 bytes fail (the log is cut there silently; the map
  // write is checked).
  ProcessLimits limits;
  limits.file_size = 100;
  limits.ignore_file_size_signal = true;
  const RunResult r = run_tarvek_in(dir, {"-m", "matrix.txt", "x.loc"}, limits);
  EXPECT_EQ(r.status, 1);
  EXPECT_EQ(r.err, "tarvek: cannot write x_map.loc: File too large\n" +
                       fatal("bad map file x_map.loc"));
  EXPECT_EQ(dir.read("x_map.loc"), "the previous map\n");
  EXPECT_TRUE(temporary_files(dir).empty());
}

TEST(MapFileWholeOrNotAtAll, KilledWriterLeavesNoPartialMap) {
  // A map of 300 loci is far longer than 2,000 bytes; the log goes to
  // /dev/null, which no file size limit touches, so the process is killed
  // in the middle of writing the map.
  TempDir dir;
  std::string loc = "name = x\npopt = F2\nnloc = 300\nnind = 20\n";
  for (int i = 0; i < 300; ++i) {
    loc += "M";
    loc += std::to_string(i);
    for (int k = 0; k < 20; ++k) loc += (k + i / 7) % 3 == 0 ? "\tA" : (k + i / 7) % 3 == 1 ? "\tH" : "\tB";
    loc += "\n";
  }
  dir.write("x.loc", loc);
  dir.write("matrix.txt", kRecombinationMatrix);
  for (const bool previous : {false, true}) {
    SCOPED_TRACE(previous ? "over a previous map" : "no previous map");
    if (previous) dir.write("x_map.loc", "the previous map\n");
    ProcessLimits limits;
    limits.file_size = 2000;
    const RunResult r = run_tarvek_in(dir, {"-l", "/dev/null", "x.loc"}, limits);
    EXPECT_EQ(r.signal, SIGXFSZ);
    if (previous) {
      EXPECT_EQ(dir.read("x_map.loc"), "the previous map\n");
    } else {
      EXPECT_FALSE(dir.exists("x_map.loc"));
    }
  }
}

TEST(MapFileWholeOrNotAtAll, FullDiskLeavesThePreviousMap) {
  if (::geteuid() != 0) GTEST_SKIP() << "mounting a small tmpfs needs root";
  TempDir dir;
  const fs::path disk = dir.path() / "disk";
  fs::create_directory(disk);
  if (::mount("tmpfs", disk.c_str(), "tmpfs", 0, "size=64k") != 0)
    GTEST_SKIP() << "cannot mount a tmpfs here";
  // Fill the disk, leaving the loc file, the matrix and a previous map.
  dir.write("disk/x.loc", kLoc);
  dir.write("disk/matrix.txt", kRecombinationMatrix);
  dir.write("disk/x_map.loc", "the previous map\n");
  {
    std::ofstream filler(disk / "filler", std::ios::binary);
    const std::string block(1024, 'x');
    while (filler.write(block.data(), static_cast<std::streamsize>(block.size()))) {
    }
  }
  const RunResult r = run_tarvek_in(dir, {"-m", "disk/matrix.txt", "-l", "/dev/null", "disk/x.loc"});
  const std::string previous = dir.read("disk/x_map.loc");
  const bool no_temporary = fs::directory_iterator(disk) == fs::directory_iterator() ||
                            std::none_of(fs::directory_iterator(disk), fs::directory_iterator(),
                                         [](const fs::directory_entry& e) {
                                           return e.path().extension() == ".tmp";
                                         });
  ::umount(disk.c_str());
  EXPECT_EQ(r.status, 1);
  EXPECT_EQ(r.err, "tarvek: cannot write disk/x_map.loc: No space left on device\n" +
                       fatal("bad map file disk/x_map.loc"));
  EXPECT_EQ(previous, "the previous map\n");
  EXPECT_TRUE(no_temporary);
}

TEST(MapFileWholeOrNotAtAll, TwoRunsAtOnceEachLeaveAWholeMap) {
  // Two runs with different options write the same map file at once; the
  // map left behind is the whole map of one of them.
  TempDir shared, first_dir, second_dir, solo;
  std::string loc = "name = x\npopt = F2\nnloc = 200\nnind = 30\n";
  for (int i = 0; i < 200; ++i) {
    loc += "M";
    loc += std::to_string(i);
    for (int k = 0; k < 30; ++k) loc += (k * 7 + i / 10) % 3 == 0 ? "\tA" : (k + i) % 5 == 0 ? "\tH" : "\tB";
    loc += "\n";
  }
  shared.write("x.loc", loc);
  const std::string matrix = (shared.path() / "matrix.txt").string();
  shared.write("matrix.txt", kRecombinationMatrix);
  const std::string path = (shared.path() / "x.loc").string();
  const std::vector<std::string> a = {"-m", matrix, "-l", "a_log.txt", path};
  const std::vector<std::string> b = {"-m", matrix, "-l", "b_log.txt", "-o", path};
  ASSERT_EQ(run_tarvek_in(solo, a).status, 0);
  const std::string map_a = shared.read("x_map.loc");
  ASSERT_EQ(run_tarvek_in(solo, b).status, 0);
  const std::string map_b = shared.read("x_map.loc");
  ASSERT_NE(map_a, map_b);
  for (int round = 0; round < 5; ++round) {
    RunResult ra, rb;
    std::thread one([&] { ra = run_tarvek_in(first_dir, a); });
    std::thread two([&] { rb = run_tarvek_in(second_dir, b); });
    one.join();
    two.join();
    EXPECT_EQ(ra.status, 0);
    EXPECT_EQ(rb.status, 0);
    const std::string map = shared.read("x_map.loc");
    EXPECT_TRUE(map == map_a || map == map_b) << "round " << round;
    EXPECT_TRUE(temporary_files(shared).empty());
  }
}

TEST(OldIndividualOrder, RepeatedOrNegativeEntriesAreWarnedAboutAndTakenAsToday) {
  const struct {
    const char* line;
    const char* warning;
  } cases[] = {
      {";indOrdr\t7\t7\t-1", "holds a repeated entry 7 (entry 2)"},
      {";indOrdr\t4\t-2\t9", "holds a negative entry -2 (entry 2)"},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.line);
    TempDir dir;
    dir.write("x.loc", "name = x\npopt = F2\nnloc = 2\nnind = 3\n" + std::string(c.line) +
                           "\nM1\tA\tB\tH\nM2\tA\tB\tB\n");
    dir.write("matrix.txt", kRecombinationMatrix);
    const RunResult r = run_tarvek_in(dir, {"-m", "matrix.txt", "x.loc"});
    EXPECT_EQ(r.status, 0);
    EXPECT_EQ(r.err, std::string("tarvek: warning: the individual order on line 5 of the loc file ") +
                         c.warning + "; its columns cannot be traced back to individuals\n");
    // The order is written back as it came.
    const std::string entries = std::string(c.line).substr(8);
    EXPECT_TRUE(contains(dir.read("x_map.loc"), ";indOrdr" + entries + "\t;\tr\tLOD\tdist\n"));
  }
  // A distinct order, or one of another length, says nothing.
  TempDir dir;
  dir.write("x.loc", "h\nh\nh\nh\n;indOrdr\t2\t0\t1\n;indOrdr\t5\t5\nM1\tA\tB\tH\n");
  dir.write("matrix.txt", kRecombinationMatrix);
  EXPECT_EQ(run_tarvek_in(dir, {"-m", "matrix.txt", "x.loc"}).err, "");
}

TEST(LocFileOpenedOnce, NamedPipeAsInputRunsToTheEnd) {
  TempDir dir;
  dir.write("matrix.txt", kRecombinationMatrix);
  const fs::path fifo = dir.path() / "x.loc";
  ASSERT_EQ(::mkfifo(fifo.c_str(), 0600), 0);
  // The writer blocks until the reader opens the pipe, then writes the whole
  // file and closes it. A second open by the reader would wait for ever.
  std::thread writer([&] {
    std::ofstream out(fifo, std::ios::binary);
    out << kLoc;
  });
  ProcessLimits limits;
  limits.seconds = 10;
  const RunResult r = run_tarvek_in(dir, {"-m", "matrix.txt", "x.loc"}, limits);
  if (r.timed_out) {
    // Unblock the writer if the run never opened the pipe.
    std::ifstream drain(fifo);
  }
  writer.join();
  EXPECT_FALSE(r.timed_out);
  EXPECT_EQ(r.status, 0);
  EXPECT_TRUE(contains(dir.read("x_map.loc"), "\nM1\tA\tA\tB\tB"));
}

TEST(ScoreOverflow, StartScoreOf2147483647StillGetsItsRunAndPass) {
  // Two loci, one individual each scored A and B; the scoring matrix puts
  // 2147483647 on A-B both ways. Whatever the start, the order scores
  // 2147483647, and the first LINKSORT run and its first pass still happen.
  TempDir dir;
  dir.write("x.loc", "h\nh\nh\nh\nM1\tA\nM2\tB\n");
  dir.write("matrix.txt",
            "0\t0\t0\t0\t0\t0\n0\t0\t2147483647\t0\t0\t0\n0\t2147483647\t0\t0\t0\t0\n");
  const RunResult r = run_tarvek_in(dir, {"-m", "matrix.txt", "x.loc"});
  EXPECT_EQ(r.status, 0);
  EXPECT_TRUE(contains(dir.read("tarvek_log.txt"),
                       "randomized score=2147483647\n\nLINKSORT run 1\n"
                       "inital window placement score = 2147483647\n"
                       "pass 1, 0 reverses made, score is 2147483647\nscore = 2147483647\n"
                       "\nLINKSORT Done, using score 2147483647\n"));
  EXPECT_TRUE(contains(dir.read("x_map.loc"), ";newscore=2147483647\n"));
}

TEST(Warnings, ScoringMatrixRowsWithBlanksOrTooFewEntries) {
  TempDir dir;
  dir.write("x.loc", kLoc);
  dir.write("matrix.txt", "; counts\n0 0 0 0 0 0\n0\t0\t2\t1\n0\t2\t0\t0\t1\t1\n");
  const RunResult r = run_tarvek_in(dir, {"-m", "matrix.txt", "x.loc"});
  EXPECT_EQ(r.status, 0);
  EXPECT_EQ(r.err,
            "tarvek: warning: matrix.txt line 2 does not hold six tab-separated integers "
            "(blanks in place of tabs?); the row is read as 0 0 0 0 0 0\n"
            // Only a sixth field may end without a tab: the 1 is not read.
            "tarvek: warning: matrix.txt line 3 does not hold six tab-separated integers; "
            "the row is read as 0 0 2 0 0 0\n");
  // The log echoes the rows as they were taken.
  EXPECT_TRUE(contains(dir.read("tarvek_log.txt"), "000000\n002000\n020011\n"));
}

TEST(Warnings, LogThatCannotBeOpenedAndLocFilesWithoutLoci) {
  TempDir dir;
  dir.write("x.loc", kLoc);
  dir.write("matrix.txt", kRecombinationMatrix);
  const RunResult r = run_tarvek_in(dir, {"-l", "no/such/folder/log.txt", "x.loc"});
  EXPECT_EQ(r.status, 0);
  EXPECT_EQ(r.out.substr(0, 56), "Running tarvek...\nWriting log to no/such/folder/log.txt\n");
  EXPECT_EQ(r.err, "tarvek: warning: cannot open the log file no/such/folder/log.txt; "
                   "the run goes on without a log\n");
  EXPECT_TRUE(dir.exists("x_map.loc"));

  // Line ends of carriage returns only: the whole file is one header line.
  TempDir cr;
  cr.write("x.loc", "name = x\rpopt = F2\rM1\tA\tB\r");
  cr.write("matrix.txt", kRecombinationMatrix);
  const RunResult rc = run_tarvek_in(cr, {"-m", "matrix.txt", "x.loc"});
  EXPECT_EQ(rc.status, 0);
  EXPECT_EQ(rc.err, "tarvek: warning: no locus read from x.loc\n");
}

TEST(LogOption, WritesTheLogWhereAskedAndNothingElseChanges) {
  TempDir plain, logged;
  for (const TempDir* dir : {&plain, &logged}) {
    dir->write("x.loc", kLoc);
    dir->write("matrix.txt", kRecombinationMatrix);
  }
  const RunResult r1 = run_tarvek_in(plain, {"-o", "x.loc"});
  logged.write("runs/keep", "");
  const RunResult r3 = run_tarvek_in(logged, {"-l", "runs/x_log.txt", "-o", "x.loc"});
  EXPECT_EQ(r3.status, 0);
  EXPECT_EQ(r3.out, std::string(r1.out).replace(r1.out.find("tarvek_log.txt"), 14, "runs/x_log.txt"));
  EXPECT_EQ(r3.err, "");
  EXPECT_FALSE(logged.exists("tarvek_log.txt"));
  EXPECT_EQ(logged.read("runs/x_log.txt"), plain.read("tarvek_log.txt"));
  EXPECT_EQ(logged.read("x_map.loc"), plain.read("x_map.loc"));
  // -l without a file name before the loc file.
  const RunResult missing = run_tarvek_in(logged, {"-l", "x.loc"});
  EXPECT_EQ(missing.status, 1);
  EXPECT_EQ(missing.err, "tarvek: -l needs a log file name before the loc file\n");
}

}  // namespace
}  // namespace tarvek::testing
