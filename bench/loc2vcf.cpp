// loc2vcf: turns a codominant loc file (genotypes A, B, H and - only, as
// f2sim writes with --dominant-share 0) into a VCF or BCF file with the two
// parents as samples, written with htslib. It makes test and example input
// for tarvek-import: every marker becomes a biallelic SNP where the parents
// are homozygous for different alleles, and on request it adds records that
// tarvek-import must skip (monomorphic, multiallelic, indel, parent missing,
// parent heterozygous, FILTER not PASS).
//
// A marker named c<chromosome>m<rank> (f2sim's names) lies on chr<chromosome>
// at position rank × 1000; any other marker on chrUn, in file order. Which
// parent carries the reference allele, the bases, the phasing of
// heterozygotes and the planted records are drawn from a seeded stream, so
// the same options give the same file.

#include <htslib/hts.h>
#include <htslib/vcf.h>

#include <algorithm>
#include <cctype>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <fstream>
#include <map>
#include <string>
#include <vector>

#include "splitmix64.hpp"

namespace {

const char* const kUsage =
    "usage: loc2vcf [options] in.loc -o out.vcf|out.vcf.gz|out.bcf\n"
    "  --parents P1,P2      names of the two parent samples (P1,P2)\n"
    "  --sample-prefix TEXT individuals are TEXT001, TEXT002, ... (ind)\n"
    "  --no-ids             write no IDs (the marker names are then lost)\n"
    "  --monomorphic N      add N records where both parents are 0/0\n"
    "  --multiallelic N     add N records with two ALT alleles\n"
    "  --non-snp N          add N indel records\n"
    "  --missing-parent N   add N records where the second parent is ./.\n"
    "  --het-parent N       add N records where the first parent is 0/1\n"
    "  --filtered N         add N otherwise good records with FILTER LowQual\n"
    "  --call-missing       write missing genotypes as a random call with GQ 5,\n"
    "                       DP 2 (others have GQ 50, DP 20) instead of ./.\n"
    "  --seed N             seed of the random choices (1)\n";

[[noreturn]] void fail(const std::string& message, int status) {
  std::fprintf(stderr, "loc2vcf: %s\n", message.c_str());
  if (status == 2) std::fputs(kUsage, stderr);
  std::exit(status);
}

class Random {
 public:
  explicit Random(std::uint64_t seed) : state_(seed) {}
  std::uint64_t next() { return bench::splitmix64_next(state_); }
  int below(int n) { return static_cast<int>(next() % static_cast<std::uint64_t>(n)); }

 private:
  std::uint64_t state_;
};

struct Options {
  std::string input, output;
  std::string parent1 = "P1", parent2 = "P2";
  std::string sample_prefix = "ind";
  bool ids = true;
  bool call_missing = false;
  int monomorphic = 0, multiallelic = 0, non_snp = 0, missing_parent = 0, het_parent = 0, filtered = 0;
  std::uint64_t seed = 1;
};

int count_value(const std::string& flag, const std::string& text) {
  char* end = nullptr;
  const long v = std::strtol(text.c_str(), &end, 10);
  if (text.empty() || *end != '\0' || v < 0 || v > 1000000) fail("bad value for " + flag + ": " + text, 2);
  return static_cast<int>(v);
}

Options parse(int argc, char** argv) {
  Options o;
  for (int i = 1; i < argc; ++i) {
    const std::string a = argv[i];
    auto value = [&]() -> std::string {
      if (i + 1 >= argc) fail(a + " needs a value", 2);
      return argv[++i];
    };
    if (a == "--help") {
      std::fputs(kUsage, stdout);
      std::exit(0);
    } else if (a == "-o") {
      o.output = value();
    } else if (a == "--parents") {
      const std::string v = value();
      const auto comma = v.find(',');
      if (comma == std::string::npos || comma == 0 || comma + 1 == v.size()) fail("--parents needs P1,P2", 2);
      o.parent1 = v.substr(0, comma);
      o.parent2 = v.substr(comma + 1);
    } else if (a == "--sample-prefix") {
      o.sample_prefix = value();
    } else if (a == "--no-ids") {
      o.ids = false;
    } else if (a == "--call-missing") {
      o.call_missing = true;
    } else if (a == "--monomorphic") {
      o.monomorphic = count_value(a, value());
    } else if (a == "--multiallelic") {
      o.multiallelic = count_value(a, value());
    } else if (a == "--non-snp") {
      o.non_snp = count_value(a, value());
    } else if (a == "--missing-parent") {
      o.missing_parent = count_value(a, value());
    } else if (a == "--het-parent") {
      o.het_parent = count_value(a, value());
    } else if (a == "--filtered") {
      o.filtered = count_value(a, value());
    } else if (a == "--seed") {
      o.seed = static_cast<std::uint64_t>(count_value(a, value()));
    } else if (!a.empty() && a[0] == '-') {
      fail("unknown option " + a, 2);
    } else if (o.input.empty()) {
      o.input = a;
    } else {
      fail("more than one input file", 2);
    }
  }
  if (o.input.empty() || o.output.empty()) fail("give an input loc file and -o FILE", 2);
  return o;
}

struct Marker {
  std::string name;
  std::string letters;  // one of A, B, H, - per individual
};

std::vector<Marker> read_loc(const std::string& path) {
  std::ifstream in(path, std::ios::binary);
  if (!in) fail("cannot open " + path, 1);
  std::vector<Marker> markers;
  std::string line;
  for (int n = 1; std::getline(in, line); ++n) {
    if (!line.empty() && line.back() == '\r') line.pop_back();
    if (n <= 4 || line.size() < 2 || line[0] == ';' || line[0] == '\t') continue;
    Marker m;
    std::size_t tab = line.find('\t');
    if (tab == std::string::npos) fail(path + ": line " + std::to_string(n) + ": no tab", 1);
    m.name = line.substr(0, tab);
    for (std::size_t k = tab + 1; k < line.size(); k += 2) {
      const char c = static_cast<char>(std::toupper(static_cast<unsigned char>(line[k])));
      if (c == ';') break;
      if (c != 'A' && c != 'B' && c != 'H' && c != '-')
        fail(path + ": line " + std::to_string(n) + ": genotype " + std::string(1, line[k]) +
                 " (only A, B, H and - can be written as calls)", 1);
      m.letters += c;
    }
    if (!markers.empty() && m.letters.size() != markers.front().letters.size())
      fail(path + ": line " + std::to_string(n) + ": a different number of individuals", 1);
    markers.push_back(std::move(m));
  }
  if (markers.empty()) fail(path + ": no markers", 1);
  return markers;
}

// One record before it is written: alleles, FILTER, and the calls of the
// parents and individuals as pairs of allele indices (-1 missing).
struct Site {
  std::string chrom;
  long pos = 0;
  std::string id;
  std::vector<std::string> alleles;
  bool low_qual = false;
  std::vector<std::pair<int, int>> calls;  // parents first
  std::vector<bool> low_quality;           // per call: GQ 5, DP 2
  std::vector<bool> phased;
};

std::pair<std::string, long> place(const std::string& name, long index) {
  unsigned chromosome = 0;
  unsigned rank = 0;
  char tail = 0;
  if (std::sscanf(name.c_str(), "c%um%u%c", &chromosome, &rank, &tail) == 2)
    return {"chr" + std::to_string(chromosome), static_cast<long>(rank) * 1000};
  return {"chrUn", (index + 1) * 1000};
}

std::string base(Random& random) { return std::string(1, "ACGT"[random.below(4)]); }

}  // namespace

int main(int argc, char** argv) {
  const Options o = parse(argc, argv);
  const std::vector<Marker> markers = read_loc(o.input);
  const std::size_t n = markers.front().letters.size();
  Random random(o.seed);

  std::vector<Site> sites;
  for (std::size_t m = 0; m < markers.size(); ++m) {
    Site s;
    std::tie(s.chrom, s.pos) = place(markers[m].name, static_cast<long>(m));
    s.id = o.ids ? markers[m].name : ".";
    const std::string ref = base(random);
    std::string alt = base(random);
    while (alt == ref) alt = base(random);
    s.alleles = {ref, alt};
    const int a = random.below(2);  // the first parent's allele
    const int b = 1 - a;
    s.calls = {{a, a}, {b, b}};
    s.low_quality = {false, false};
    s.phased = {false, false};
    for (const char c : markers[m].letters) {
      bool low = false;
      std::pair<int, int> call;
      switch (c) {
        case 'A': call = {a, a}; break;
        case 'B': call = {b, b}; break;
        case 'H': call = random.below(2) == 0 ? std::make_pair(0, 1) : std::make_pair(1, 0); break;
        default:
          if (o.call_missing) {
            const int x = random.below(2);
            call = {x, random.below(2) == 0 ? x : 1 - x};
            low = true;
          } else {
            call = {-1, -1};
          }
      }
      s.calls.push_back(call);
      s.low_quality.push_back(low);
      s.phased.push_back(c == 'H' && random.below(2) == 0);
    }
    sites.push_back(std::move(s));
  }

  // Planted records lie between the markers, 1 to 999 bases after one.
  std::map<std::pair<std::string, long>, bool> taken;
  for (const Site& s : sites) taken[{s.chrom, s.pos}] = true;
  int planted = 0;
  auto plant = [&](int count, const char* kind) {
    for (int k = 0; k < count; ++k) {
      const Site& near = sites.at(static_cast<std::size_t>(random.below(static_cast<int>(markers.size()))));
      Site s;
      s.chrom = near.chrom;
      do {
        s.pos = near.pos + 1 + random.below(999);
      } while (taken.count({s.chrom, s.pos}) > 0);
      taken[{s.chrom, s.pos}] = true;
      s.id = o.ids ? std::string(kind) + std::to_string(++planted) : ".";
      const std::string ref = base(random);
      std::string alt = base(random);
      while (alt == ref) alt = base(random);
      s.alleles = {ref, alt};
      const std::string k_name = kind;
      std::pair<int, int> p1{0, 0};
      std::pair<int, int> p2{1, 1};
      int top = 2;  // offspring alleles drawn from 0 .. top-1
      if (k_name == "monomorphic") {
        p2 = {0, 0};
      } else if (k_name == "multiallelic") {
        std::string alt2 = base(random);
        while (alt2 == ref || alt2 == alt) alt2 = base(random);
        s.alleles.push_back(alt2);
        p1 = {1, 1};
        p2 = {2, 2};
        top = 3;
      } else if (k_name == "indel") {
        s.alleles = {ref, ref + alt};
      } else if (k_name == "missingparent") {
        p2 = {-1, -1};
      } else if (k_name == "hetparent") {
        p1 = {0, 1};
      } else if (k_name == "lowqual") {
        s.low_qual = true;
      }
      s.calls = {p1, p2};
      for (std::size_t i = 0; i < n + 2; ++i) {
        if (i >= 2) s.calls.push_back({random.below(top), random.below(top)});
        s.low_quality.push_back(false);
        s.phased.push_back(false);
      }
      sites.push_back(std::move(s));
    }
  };
  plant(o.monomorphic, "monomorphic");
  plant(o.multiallelic, "multiallelic");
  plant(o.non_snp, "indel");
  plant(o.missing_parent, "missingparent");
  plant(o.het_parent, "hetparent");
  plant(o.filtered, "lowqual");

  // Contigs in the order of their numbers, chrUn last; records by position.
  auto contig_key = [](const std::string& chrom) {
    return chrom == "chrUn" ? 1000000L : std::strtol(chrom.c_str() + 3, nullptr, 10);
  };
  std::stable_sort(sites.begin(), sites.end(), [&](const Site& x, const Site& y) {
    const long cx = contig_key(x.chrom);
    const long cy = contig_key(y.chrom);
    return cx != cy ? cx < cy : x.pos < y.pos;
  });

  const std::string& out_name = o.output;
  const char* mode = "w";
  if (out_name.size() > 4 && out_name.compare(out_name.size() - 4, 4, ".bcf") == 0) mode = "wb";
  if (out_name.size() > 3 && out_name.compare(out_name.size() - 3, 3, ".gz") == 0) mode = "wz";
  htsFile* out = hts_open(out_name.c_str(), mode);
  if (out == nullptr) fail("cannot create " + out_name, 1);

  bcf_hdr_t* hdr = bcf_hdr_init("w");
  bcf_hdr_append(hdr, "##source=loc2vcf");
  std::vector<std::string> contigs;
  for (const Site& s : sites) {
    if (std::find(contigs.begin(), contigs.end(), s.chrom) == contigs.end()) contigs.push_back(s.chrom);
  }
  for (const std::string& c : contigs) bcf_hdr_append(hdr, ("##contig=<ID=" + c + ">").c_str());
  bcf_hdr_append(hdr, "##FILTER=<ID=LowQual,Description=\"Low quality\">");
  bcf_hdr_append(hdr, "##FORMAT=<ID=GT,Number=1,Type=String,Description=\"Genotype\">");
  bcf_hdr_append(hdr, "##FORMAT=<ID=GQ,Number=1,Type=Integer,Description=\"Genotype quality\">");
  bcf_hdr_append(hdr, "##FORMAT=<ID=DP,Number=1,Type=Integer,Description=\"Read depth\">");
  bcf_hdr_add_sample(hdr, o.parent1.c_str());
  bcf_hdr_add_sample(hdr, o.parent2.c_str());
  const int width = std::max(3, static_cast<int>(std::to_string(n).size()));
  for (std::size_t i = 0; i < n; ++i) {
    std::string number = std::to_string(i + 1);
    number.insert(0, static_cast<std::size_t>(std::max(0, width - static_cast<int>(number.size()))), '0');
    if (bcf_hdr_add_sample(hdr, (o.sample_prefix + number).c_str()) != 0)
      fail("sample names must differ (the parents' names clash with an individual's)", 2);
  }
  if (bcf_hdr_sync(hdr) != 0 || bcf_hdr_write(out, hdr) != 0) fail("cannot write the header", 1);

  const int pass = bcf_hdr_id2int(hdr, BCF_DT_ID, "PASS");
  const int low_qual = bcf_hdr_id2int(hdr, BCF_DT_ID, "LowQual");
  const int samples = static_cast<int>(n + 2);
  std::vector<int32_t> gt(static_cast<std::size_t>(samples) * 2);
  std::vector<int32_t> gq(static_cast<std::size_t>(samples));
  std::vector<int32_t> dp(static_cast<std::size_t>(samples));
  bcf1_t* rec = bcf_init();
  for (const Site& s : sites) {
    bcf_clear(rec);
    rec->rid = bcf_hdr_name2id(hdr, s.chrom.c_str());
    rec->pos = s.pos - 1;
    bcf_float_set_missing(rec->qual);
    bcf_update_id(hdr, rec, s.id.c_str());
    std::string alleles;
    for (const std::string& a : s.alleles) alleles += (alleles.empty() ? "" : ",") + a;
    bcf_update_alleles_str(hdr, rec, alleles.c_str());
    int filter = s.low_qual ? low_qual : pass;
    bcf_update_filter(hdr, rec, &filter, 1);
    for (int i = 0; i < samples; ++i) {
      const auto [x, y] = s.calls[static_cast<std::size_t>(i)];
      const bool phased = s.phased[static_cast<std::size_t>(i)];
      gt[2 * static_cast<std::size_t>(i)] = x < 0 ? bcf_gt_missing : bcf_gt_unphased(x);
      gt[2 * static_cast<std::size_t>(i) + 1] =
          y < 0 ? bcf_gt_missing : (phased ? bcf_gt_phased(y) : bcf_gt_unphased(y));
      const bool low = s.low_quality[static_cast<std::size_t>(i)];
      gq[static_cast<std::size_t>(i)] = x < 0 ? bcf_int32_missing : (low ? 5 : 50);
      dp[static_cast<std::size_t>(i)] = x < 0 ? 0 : (low ? 2 : 20);
    }
    bcf_update_genotypes(hdr, rec, gt.data(), static_cast<int>(gt.size()));
    bcf_update_format_int32(hdr, rec, "GQ", gq.data(), samples);
    bcf_update_format_int32(hdr, rec, "DP", dp.data(), samples);
    if (bcf_write(out, hdr, rec) != 0) fail("cannot write " + out_name, 1);
  }
  bcf_destroy(rec);
  bcf_hdr_destroy(hdr);
  if (hts_close(out) != 0) fail("cannot write " + out_name, 1);
  return 0;
}
