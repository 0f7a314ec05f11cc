// tarvek-import and tarvek-export against what a hostile user tries: outputs
// named like inputs, links, FIFOs and devices as outputs, FIFOs and folders
// as inputs, damaged files that still parse, signals while writing. Each
// case ends with a clear message and nothing written, or with output that
// is whole and right.

#include <fcntl.h>
#include <gtest/gtest.h>
#include <sys/stat.h>
#include <sys/sysmacros.h>
#include <unistd.h>

#include <csignal>
#include <filesystem>
#include <fstream>
#include <string>
#include <thread>
#include <vector>

#include "support/process.hpp"

namespace tarvek::testing {
namespace {

namespace fs = std::filesystem;

const std::string kImport = TARVEK_IMPORT_PATH;
const std::string kExport = TARVEK_EXPORT_PATH;

bool contains(const std::string& text, const std::string& part) { return text.find(part) != std::string::npos; }

const std::string kVcfHeader =
    "##fileformat=VCFv4.2\n##contig=<ID=chr1>\n"
    "##FORMAT=<ID=GT,Number=1,Type=String,Description=\"Genotype\">\n"
    "#CHROM\tPOS\tID\tREF\tALT\tQUAL\tFILTER\tINFO\tFORMAT\tP1\tP2\ta\tb\n";
// One good record: a is H, b is B.
const std::string kRecord = "chr1\t100\tm1\tA\tC\t.\tPASS\t.\tGT\t0/0\t1/1\t0/1\t1/1\n";

// The files in `dir` whose names start with a dot: what a writer leaves
// when it stops half way.
std::vector<std::string> hidden_files(const TempDir& dir) {
  std::vector<std::string> names;
  for (const auto& entry : fs::directory_iterator(dir.path())) {
    const std::string name = entry.path().filename().string();
    if (name.front() == '.' && name != ".stdout" && name != ".stderr") names.push_back(name);
  }
  return names;
}

// A map file of three markers in one group, written by tarvek.
std::string write_map(const TempDir& dir) {
  dir.write("x.loc", "name = x\npopt = F2\nnloc = 3\nnind = 4\nM1\tA\tA\tB\tB\nM3\tB\tB\tA\tA\nM2\tA\tA\tB\tA\n");
  dir.write("matrix.txt", kRecombinationMatrix);
  EXPECT_EQ(run_tarvek_in(dir, {"-m", "matrix.txt", "x.loc"}).status, 0);
  return dir.read("x_map.loc");
}

ProcessLimits quick() {
  ProcessLimits limits;
  limits.seconds = 20;
  return limits;
}

// --- tarvek-import ----------------------------------------------------------------

TEST(ImportHostile, OutputsNamedLikeInputsAreRefused) {
  TempDir dir;
  dir.write("in.vcf", kVcfHeader + kRecord);
  dir.write("alleles.txt", "chr1\t100\tA\tC\n");
  const struct {
    std::vector<std::string> args;
    const char* message;
  } cases[] = {
      {{"vcf", "--parents", "P1,P2", "--positions", "./in.vcf", "in.vcf", "-o", "out.loc"},
       "--positions ./in.vcf is the input file in.vcf: it would be overwritten"},
      {{"vcf", "--parent-alleles", "alleles.txt", "in.vcf", "-o", "alleles.txt"},
       "-o alleles.txt is --parent-alleles alleles.txt: it would be overwritten"},
      {{"vcf", "--parents", "P1,P2", "--positions", "p.tsv", "in.vcf", "-o", "p.tsv"},
       "--positions p.tsv is -o p.tsv: one would overwrite the other"},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.message);
    const RunResult r = run_program_in(kImport, dir, c.args);
    EXPECT_EQ(r.status, 2);
    EXPECT_EQ(r.err, std::string("tarvek-import: ") + c.message + "\ntarvek-import: see tarvek-import --help\n");
  }
  EXPECT_EQ(dir.read("in.vcf"), kVcfHeader + kRecord);
  EXPECT_EQ(dir.read("alleles.txt"), "chr1\t100\tA\tC\n");
  EXPECT_FALSE(dir.exists("out.loc"));
  EXPECT_FALSE(dir.exists("p.tsv"));
}

TEST(ImportHostile, MalformedVcfFromAFifoIsReportedWithoutWaiting) {
  TempDir dir;
  const fs::path fifo = dir.path() / "in.vcf";
  ASSERT_EQ(::mkfifo(fifo.c_str(), 0600), 0);
  fs::create_hard_link(fifo, dir.path() / "fifo");
  std::thread writer([&] {
    std::ofstream out(fifo, std::ios::binary);
    out << kVcfHeader << kRecord << "chr1\t200\tm2\tA\tC\t.\tPASS\t.\tGT\t0/0\t1/1\n";  // a sample short
  });
  const RunResult r = run_program_in(kImport, dir, {"vcf", "--parents", "P1,P2", "in.vcf", "-o", "out.loc"}, quick());
  // A writer that was never read from is let go.
  const int unblock = ::open((dir.path() / "fifo").c_str(), O_RDONLY | O_NONBLOCK);
  if (unblock >= 0) ::close(unblock);
  writer.join();
  EXPECT_FALSE(r.timed_out);
  EXPECT_EQ(r.status, 1);
  EXPECT_EQ(r.err, "tarvek-import: in.vcf: record 2 (line 6): cannot be read (malformed or truncated)\n");
  EXPECT_FALSE(dir.exists("out.loc"));
}

TEST(ImportHostile, AlleleNumbersBeyondTheRecordAreNotHeterozygotes) {
  TempDir dir;
  // Offspring a calls 5/5 (the record has two alleles): missing, not H.
  dir.write("a.vcf", kVcfHeader + "chr1\t100\tm1\tA\tC\t.\tPASS\t.\tGT\t0/0\t1/1\t5/5\t1/1\n");
  const RunResult a = run_program_in(kImport, dir, {"vcf", "--parents", "P1,P2", "a.vcf", "-o", "a.loc"});
  EXPECT_EQ(a.status, 0);
  EXPECT_TRUE(contains(a.err, "tarvek-import: warning: 1 calls name an allele the record does not have "
                              "(written as missing)\n"))
      << a.err;
  EXPECT_TRUE(contains(dir.read("a.loc"), "\nm1\t-\tB\t;\tchr1\t100\n")) << dir.read("a.loc");
  // A parent 5/5: the site tells nothing, the record is skipped.
  dir.write("p.vcf", kVcfHeader + kRecord + "chr1\t200\tm2\tA\tC\t.\tPASS\t.\tGT\t5/5\t1/1\t0/0\t1/1\n");
  const RunResult p = run_program_in(kImport, dir, {"vcf", "--parents", "P1,P2", "p.vcf", "-o", "p.loc"});
  EXPECT_EQ(p.status, 0);
  EXPECT_TRUE(contains(p.err, "skipped 1 records: parent call names an allele the record does not have\n")) << p.err;
  EXPECT_FALSE(contains(dir.read("p.loc"), "m2"));
}

TEST(ImportHostile, InputsWithoutMarkersOrIndividualsWriteNothing) {
  TempDir dir;
  dir.write("empty.loc", "");
  dir.write("cr.loc", "name = x\rnind = 2\rM1 A B\r");
  dir.write("nobody.csv", "id,m1,m2\n,1,1\n");
  dir.write("header.vcf", kVcfHeader);
  const struct {
    std::vector<std::string> args;
    const char* message;
  } cases[] = {
      {{"loc", "empty.loc", "-o", "out.loc"},
       "empty.loc: no marker read (an empty file, or lines that end in carriage returns alone?): nothing written"},
      {{"loc", "cr.loc", "-o", "out.loc"},
       "cr.loc: line 1: carriage returns inside the line: the lines end in carriage returns alone (save the file "
       "with line feeds)"},
      {{"rqtl", "nobody.csv", "-o", "out.loc"}, "nobody.csv: no individuals read: nothing written"},
      {{"vcf", "--parents", "P1,P2", "header.vcf", "-o", "out.loc"},
       "header.vcf: no marker read (an empty file, or lines that end in carriage returns alone?): nothing written"},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.message);
    const RunResult r = run_program_in(kImport, dir, c.args);
    EXPECT_EQ(r.status, 1);
    EXPECT_TRUE(contains(r.err, std::string("tarvek-import: ") + c.message + "\n")) << r.err;
    EXPECT_FALSE(dir.exists("out.loc"));
  }
}

TEST(ImportHostile, LenientlyReadFieldsAreRefusedOrWarnedAbout) {
  TempDir dir;
  const auto vcf_error = [&](const std::string& record) {
    dir.write("in.vcf", kVcfHeader + record);
    const RunResult r = run_program_in(kImport, dir, {"vcf", "--parents", "P1,P2", "in.vcf", "-o", "out.loc"});
    EXPECT_EQ(r.status, 1) << record;
    return r.err;
  };
  for (const char* pos : {"abc", "12x", "-5"}) {
    EXPECT_EQ(vcf_error("chr1\t" + std::string(pos) + "\tm1\tA\tC\t.\tPASS\t.\tGT\t0/0\t1/1\t0/1\t1/1\n"),
              "tarvek-import: in.vcf: record 1 (line 5): POS \"" + std::string(pos) +
                  "\" is not a position (digits only)\n");
  }
  EXPECT_EQ(vcf_error("chr1\t100\tm1\tA\tC\t.\tPASS\t.\tGT\t0/0\t1/1\t0/1\t1/1\t0/0\n"),
            "tarvek-import: in.vcf: record 1 (line 5): 5 sample columns, the header names 4\n");
  // REF = ALT is no marker: skipped with its reason, and no marker is left.
  EXPECT_TRUE(contains(vcf_error("chr1\t100\tm1\tA\tA\t.\tPASS\t.\tGT\t0/0\t1/1\t0/1\t1/1\n"),
                       "tarvek-import: skipped 1 records: ALT allele the same as REF\n"));
  EXPECT_FALSE(dir.exists("out.loc"));

  // R/qtl csv: a tab in a chromosome name; a byte order mark before "id";
  // repeated names; a huge unknown cell echoed in part.
  dir.write("tab.csv", "id,m1\n,\"1\t2\"\nx,A\n");
  const RunResult tab = run_program_in(kImport, dir, {"rqtl", "tab.csv", "-o", "out.loc"});
  EXPECT_EQ(tab.status, 1);
  EXPECT_EQ(tab.err, "tarvek-import: tab.csv: line 2, column 2: chromosome \"1\\x092\" holds a tab or a line break\n");
  dir.write("bom.csv", "\xEF\xBB\xBFid,m1,m1\n,1,1\nx,A,B\ny,B,H\nx,H,A\n");
  const RunResult bom = run_program_in(kImport, dir, {"rqtl", "bom.csv", "-o", "bom.loc"});
  EXPECT_EQ(bom.status, 0);
  EXPECT_TRUE(contains(dir.read("bom.loc"), "\n;individuals\tx\ty\tx\n"));
  EXPECT_EQ(bom.err, "tarvek-import: markers in columns, 0 phenotype columns kept besides the id\n"
                     "tarvek-import: warning: 1 markers share a name with an earlier marker\n"
                     "tarvek-import: warning: 1 individuals share a name with an earlier individual\n"
                     "tarvek-import: wrote bom.loc: 2 markers, 3 individuals\n");
  dir.write("huge.csv", "id,m1\n,1\nx," + std::string(1000000, 'Q') + "\n");
  const RunResult huge = run_program_in(kImport, dir, {"rqtl", "huge.csv", "-o", "out.loc"});
  EXPECT_EQ(huge.status, 1);
  EXPECT_TRUE(contains(huge.err, "unknown genotype \"" + std::string(80, 'Q') + "...\" (known:")) << huge.err.size();
  EXPECT_LT(huge.err.size(), 400u);
}

TEST(ImportHostile, NameWithALineBreakIsACommandLineError) {
  TempDir dir;
  dir.write("in.vcf", kVcfHeader + kRecord);
  const RunResult r = run_program_in(kImport, dir, {"vcf", "--parents", "P1,P2", "--name", "a\nb", "in.vcf", "-o", "o.loc"});
  EXPECT_EQ(r.status, 2);
  EXPECT_EQ(r.err, "tarvek-import: --name must be one line: \"a\\x0Ab\" holds a line break\n"
                   "tarvek-import: see tarvek-import --help\n");
  EXPECT_FALSE(dir.exists("o.loc"));
}

TEST(ImportHostile, MessagesSayWhatAnUnreadableInputIs) {
  TempDir dir;
  dir.write("sam.vcf", "@HD\tVN:1.6\n");
  const RunResult sam = run_program_in(kImport, dir, {"vcf", "--parents", "P1,P2", "sam.vcf", "-o", "out.loc"});
  EXPECT_EQ(sam.status, 1);
  EXPECT_EQ(sam.err.rfind("tarvek-import: sam.vcf: not a VCF or BCF file: it reads as SAM", 0), 0u) << sam.err;
  fs::create_directory(dir.path() / "folder.csv");
  const RunResult folder = run_program_in(kImport, dir, {"rqtl", "folder.csv", "-o", "out.loc"});
  EXPECT_EQ(folder.status, 1);
  EXPECT_EQ(folder.err, "tarvek-import: folder.csv: a folder, not a file\n");
  EXPECT_FALSE(dir.exists("out.loc"));
}

// --- tarvek-export ----------------------------------------------------------------

TEST(ExportHostile, OutputNamedLikeTheMapOrTheTruthIsRefused) {
  TempDir dir;
  const std::string map = write_map(dir);
  const std::string truth = "marker\tchromosome\tposition\nM1\t1\t5\n";
  dir.write("truth.tsv", truth);
  const RunResult over_map = run_program_in(kExport, dir, {"positions", "x_map.loc", "-o", "./x_map.loc"});
  EXPECT_EQ(over_map.status, 2);
  EXPECT_EQ(over_map.err, "tarvek-export: -o ./x_map.loc is the map file x_map.loc: it would be overwritten\n"
                          "tarvek-export: see tarvek-export --help\n");
  const RunResult over_truth =
      run_program_in(kExport, dir, {"compare", "--truth", "truth.tsv", "x_map.loc", "-o", "truth.tsv"});
  EXPECT_EQ(over_truth.status, 2);
  EXPECT_EQ(dir.read("x_map.loc"), map);
  EXPECT_EQ(dir.read("truth.tsv"), truth);
}

TEST(ExportHostile, LinksFifosAndDevicesAreWrittenThroughNotReplaced) {
  TempDir dir;
  write_map(dir);
  ASSERT_EQ(run_program_in(kExport, dir, {"positions", "x_map.loc", "-o", "plain.tsv"}).status, 0);
  const std::string table = dir.read("plain.tsv");

  fs::create_symlink("real.tsv", dir.path() / "link.tsv");
  ASSERT_EQ(run_program_in(kExport, dir, {"positions", "x_map.loc", "-o", "link.tsv"}).status, 0);
  EXPECT_TRUE(fs::is_symlink(dir.path() / "link.tsv"));
  EXPECT_EQ(dir.read("real.tsv"), table);

  ASSERT_EQ(::mkfifo((dir.path() / "pipe.tsv").c_str(), 0600), 0);
  fs::create_hard_link(dir.path() / "pipe.tsv", dir.path() / "fifo");
  std::string through;
  std::thread reader([&] { through = TempDir::slurp(dir.path() / "pipe.tsv"); });
  const RunResult fifo = run_program_in(kExport, dir, {"positions", "x_map.loc", "-o", "pipe.tsv"}, quick());
  const int unblock = ::open((dir.path() / "fifo").c_str(), O_WRONLY | O_NONBLOCK);
  if (unblock >= 0) ::close(unblock);
  reader.join();
  EXPECT_EQ(fifo.status, 0);
  EXPECT_EQ(through, table);
  EXPECT_TRUE(fs::is_fifo(dir.path() / "pipe.tsv"));

  // A character device of the test's own (the null device's numbers), so
  // that a writer that replaces devices cannot touch /dev/null.
  if (::mknod((dir.path() / "null").c_str(), S_IFCHR | 0666, ::makedev(1, 3)) != 0)
    GTEST_SKIP() << "cannot make a device here";
  const RunResult device = run_program_in(kExport, dir, {"positions", "x_map.loc", "-o", "null"});
  EXPECT_EQ(device.status, 0);
  EXPECT_TRUE(fs::is_character_file(dir.path() / "null"));
  EXPECT_TRUE(hidden_files(dir).empty());
}

TEST(ExportHostile, MapOfARunWhoseMarkersWereAllRejectedIsRead) {
  // Without -g, a run that rejects every marker writes one empty group.
  TempDir dir;
  dir.write("x.loc", "name = x\npopt = F2\nnloc = 2\nnind = 4\nM1\tA\t-\t-\t-\nM2\tB\t-\t-\t-\n");
  dir.write("matrix.txt", kRecombinationMatrix);
  ASSERT_EQ(run_tarvek_in(dir, {"-m", "matrix.txt", "x.loc"}).status, 0);
  ASSERT_TRUE(contains(dir.read("x_map.loc"), "\tdist\n;\n\n;excessive missing value markers\n"));
  const RunResult r = run_program_in(kExport, dir, {"positions", "x_map.loc", "-o", "p.tsv"});
  EXPECT_EQ(r.status, 0) << r.err;
  EXPECT_EQ(dir.read("p.tsv"), "group\tsegment\tmarker\tposition_cM\tr\tLOD\tflagged\n");
}

TEST(ExportHostile, MapCutBetweenTwoLinesIsRefused) {
  TempDir dir;
  dir.write("x.loc", "name = x\npopt = F2\nnloc = 5\nnind = 4\nM1\tA\tA\tB\tB\nM3\tB\tB\tA\tA\nM2\tA\tA\tB\tA\n"
                     "M4\tA\t-\t-\t-\nM5\tB\t-\t-\tB\n");
  dir.write("matrix.txt", kRecombinationMatrix);
  ASSERT_EQ(run_tarvek_in(dir, {"-m", "matrix.txt", "x.loc"}).status, 0);
  const std::string map = dir.read("x_map.loc");
  // Right after the group's ";" line, before the last rejected line, and
  // inside the last line.
  const std::size_t after_group = map.find("\n;\n") + 3;
  const std::size_t before_last = map.rfind('\n', map.size() - 2) + 1;
  const struct {
    std::size_t length;
    const char* message;
  } cuts[] = {
      {after_group, "line 15: the file ends after 3 of the 5 markers its header line 3 counts (nloc): truncated?"},
      {before_last, "line 18: the file ends after 4 of the 5 markers its header line 3 counts (nloc): truncated?"},
      {map.size() - 1, "line 19: the last line has no line feed: the file is cut (truncated?)"},
  };
  for (const auto& cut : cuts) {
    SCOPED_TRACE(cut.message);
    dir.write("cut_map.loc", map.substr(0, cut.length));
    const RunResult r = run_program_in(kExport, dir, {"positions", "cut_map.loc", "-o", "p.tsv"});
    EXPECT_EQ(r.status, 1);
    EXPECT_EQ(r.err, std::string("tarvek-export: cut_map.loc: ") + cut.message + "\n");
    EXPECT_FALSE(dir.exists("p.tsv"));
  }
}

TEST(ExportHostile, StaleIndividualOrderAmongTheCopiedCommentsIsNotTaken) {
  // The loc file carries an old ";indOrdr" line among its first comment
  // lines; -o orders the individuals anew. The R/qtl rows must follow the
  // order tarvek wrote, not the copied one.
  TempDir dir;
  dir.write("x.loc", "name = s\npopt = F2\nnloc = 4\nnind = 4\n;individuals\ta\tb\tc\td\n;indOrdr\t0\t1\t2\t3\n"
                     "M1\tA\tB\tA\tB\nM2\tA\tB\tA\tH\nM3\tA\tB\tB\tH\nM4\tB\tB\tB\tH\n");
  dir.write("matrix.txt", kRecombinationMatrix);
  ASSERT_EQ(run_tarvek_in(dir, {"-m", "matrix.txt", "-o", "x.loc"}).status, 0);
  ASSERT_TRUE(contains(dir.read("x_map.loc"), "\n;indOrdr\t0\t1\t2\t3\n"));  // the copy
  ASSERT_FALSE(contains(dir.read("x_map.loc"), "\n;indOrdr\t0\t1\t2\t3\t;"));  // not the order tarvek wrote
  const RunResult r = run_program_in(kExport, dir, {"rqtl", "x_map.loc", "-o", "x.csv"});
  ASSERT_EQ(r.status, 0) << r.err;
  const std::string csv = dir.read("x.csv");
  // Each individual keeps its own genotypes, in the order of the markers'
  // columns (the map's order: M1 M2 M3 M4, as the header line says).
  ASSERT_TRUE(contains(csv, "id,M1,M2,M3,M4\n")) << csv;
  EXPECT_TRUE(contains(csv, "\na,A,A,A,B\nb,B,B,B,B\nc,A,A,B,B\nd,B,H,H,H\n")) << csv;
}

TEST(ExportHostile, MapChartCommentStaysOneLineWhateverTheFileName) {
  TempDir dir;
  write_map(dir);
  fs::copy_file(dir.path() / "x_map.loc", dir.path() / "two\nlines_map.loc");
  const RunResult r = run_program_in(kExport, dir, {"mapchart", "two\nlines_map.loc", "-o", "m.mct"});
  EXPECT_EQ(r.status, 0);
  EXPECT_EQ(dir.read("m.mct").rfind("; two\\x0Alines_map.loc, positions in Kosambi cM\n\ngroup 1\n", 0), 0u)
      << dir.read("m.mct");
}

TEST(ExportHostile, SignalsWhileWritingLeaveNoTemporaryFileAndLongNamesWork) {
  // A map of 200,000 markers: writing its positions takes long enough to be
  // caught with the temporary file in place.
  TempDir dir;
  std::string map = "name = big\npopt = F2\nnloc = 200000\nnind = 1\n;indOrdr\t0\t;\tr\tLOD\tdist\n";
  for (int k = 0; k < 200000; ++k) {
    map += 'M';
    map += std::to_string(k);
    map += k + 1 < 200000 ? "\tA\t;\t0.1\t5\t4.4\n" : "\tA\n";
  }
  map += ";\n";
  dir.write("big_map.loc", map);
  for (const int signal : {SIGINT, SIGTERM, SIGHUP}) {
    SCOPED_TRACE(signal);
    ProcessLimits limits = quick();
    limits.signal_at_temporary = signal;
    const RunResult r = run_program_in(kExport, dir, {"positions", "big_map.loc", "-o", "p.tsv"}, limits);
    if (r.status == 0) continue;  // finished before the signal: nothing to see
    EXPECT_EQ(r.signal, signal);
    EXPECT_TRUE(hidden_files(dir).empty());
    EXPECT_FALSE(dir.exists("p.tsv"));
  }
  // Output names of up to 255 bytes: the temporary name fits too.
  for (const std::size_t length : {244u, 250u, 255u}) {
    const std::string name(length, 'n');
    const RunResult r = run_program_in(kExport, dir, {"positions", "big_map.loc", "-o", name});
    EXPECT_EQ(r.status, 0) << length << ": " << r.err;
    EXPECT_TRUE(dir.exists(name));
  }
}

TEST(ExportHostile, FolderOrEndlessDeviceGivenForAFileIsSaidToBeOne) {
  TempDir dir;
  write_map(dir);
  fs::create_directory(dir.path() / "truth");
  const RunResult r = run_program_in(kExport, dir, {"compare", "--truth", "truth", "x_map.loc", "-o", "c.tsv"});
  EXPECT_EQ(r.status, 1);
  EXPECT_EQ(r.err, "tarvek-export: truth: a folder, not a file\n");
  // An endless device, even through a link, is not read until memory runs out.
  fs::create_symlink("/dev/zero", dir.path() / "zero.tsv");
  const RunResult zero = run_program_in(kExport, dir, {"compare", "--truth", "zero.tsv", "x_map.loc", "-o", "c.tsv"}, quick());
  EXPECT_EQ(zero.status, 1);
  EXPECT_EQ(zero.err, "tarvek-export: zero.tsv: a character device that never ends (such as /dev/zero), not a file\n");
  EXPECT_FALSE(dir.exists("c.tsv"));
}

}  // namespace
}  // namespace tarvek::testing
