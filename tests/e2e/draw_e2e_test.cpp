// tarvek-draw end to end, in fresh folders: its command line; the map as
// SVG read back as XML (a tick per marker, a name per marker, no overlaps,
// scales that end at the groups' lengths); heat maps as PNG read back with
// cairo (their size, a bright diagonal for a well-ordered group, a reversed
// block off the diagonal); a report that needs nothing outside itself; and
// maps with almost nothing in them.

#include <cairo.h>
#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <cstdint>
#include <map>
#include <set>
#include <sstream>
#include <string>
#include <vector>

#include "draw/heat_map.hpp"
#include "support/process.hpp"
#include "support/text.hpp"
#include "support/xml.hpp"

namespace tarvek::testing {
namespace {

const std::string kDraw = TARVEK_DRAW_PATH;

bool contains(const std::string& text, const std::string& part) { return text.find(part) != std::string::npos; }

// A map file in tarvek's layout: every group closed by ";", made-up pair
// columns behind all but the last marker of a group.
std::string map_text(const std::vector<std::vector<std::string>>& groups, std::size_t individuals,
                     const std::vector<std::string>& rejected = {}) {
  std::string text = "name = drawn\npopt = F2\nnloc = 0\nnind = " + std::to_string(individuals) + "\n;indOrdr";
  for (std::size_t i = 0; i < individuals; ++i) {
    text += '\t';
    text += std::to_string(i);
  }
  text += "\t;\tr\tLOD\tdist\n";
  for (const auto& group : groups) {
    for (std::size_t k = 0; k < group.size(); ++k) {
      text += group[k];
      text += k + 1 < group.size() ? "\t;\t0.05\t9\t2\n" : "\n";
    }
    text += ";\n";
  }
  if (!rejected.empty()) {
    text += ";bad segregation ratio markers\n";
    for (const auto& line : rejected) text += line + "\t\n";
  }
  return text;
}

// --- Reading pictures back ---------------------------------------------------

struct Picture {
  int width = 0, height = 0;
  std::vector<std::uint32_t> pixels;  // 0x00RRGGBB, row by row
  double luminance(int x, int y) const {
    const std::uint32_t p = pixels.at(static_cast<std::size_t>(y) * static_cast<std::size_t>(width) + static_cast<std::size_t>(x));
    const auto linear = [](std::uint32_t v) {
      const double c = v / 255.0;
      return c <= 0.04045 ? c / 12.92 : std::pow((c + 0.055) / 1.055, 2.4);
    };
    return 0.2126 * linear(p >> 16 & 0xFF) + 0.7152 * linear(p >> 8 & 0xFF) + 0.0722 * linear(p & 0xFF);
  }
};

Picture read_png(const TempDir& dir, const std::string& name) {
  const std::string path = (dir.path() / name).string();
  cairo_surface_t* surface = cairo_image_surface_create_from_png(path.c_str());
  Picture picture;
  if (cairo_surface_status(surface) == CAIRO_STATUS_SUCCESS) {
    picture.width = cairo_image_surface_get_width(surface);
    picture.height = cairo_image_surface_get_height(surface);
    const unsigned char* data = cairo_image_surface_get_data(surface);
    const int stride = cairo_image_surface_get_stride(surface);
    for (int y = 0; y < picture.height; ++y)
      for (int x = 0; x < picture.width; ++x)
        picture.pixels.push_back(reinterpret_cast<const std::uint32_t*>(data + y * stride)[x] & 0xFFFFFFu);
  }
  cairo_surface_destroy(surface);
  return picture;
}

// The numbers in an SVG path's d attribute, in order.
std::vector<double> path_numbers(const std::string& d) {
  std::vector<double> numbers;
  const char* p = d.c_str();
  while (*p != '\0') {
    char* end = nullptr;
    const double v = std::strtod(p, &end);
    if (end == p) {
      ++p;
    } else {
      numbers.push_back(v);
      p = end;
    }
  }
  return numbers;
}

std::string without_blanks(std::string text) {
  text.erase(std::remove(text.begin(), text.end(), ' '), text.end());
  return text;
}

// Ticks are the map's only lines stroked in pure black (cairo writes the
// colour into a style attribute, newer versions into a stroke attribute).
bool black_stroke(const XmlElement& e) {
  return e.name == "path" && (contains(without_blanks(e.attribute("style")), "stroke:rgb(0%,0%,0%)") ||
                              without_blanks(e.attribute("stroke")) == "rgb(0%,0%,0%)");
}

// --- Command line ---------------------------------------------------------------

TEST(DrawCommandLine, HelpVersionAndRefusals) {
  TempDir dir;
  const RunResult help = run_program_in(kDraw, dir, {"--help"});
  EXPECT_EQ(help.status, 0);
  EXPECT_TRUE(contains(help.out, "Usage:"));
  EXPECT_TRUE(contains(help.out, "tarvek-draw heatmap [--group N] [--size PIXELS]"));
  const RunResult version = run_program_in(kDraw, dir, {"--version"});
  EXPECT_EQ(version.status, 0);
  EXPECT_EQ(version.out.rfind("tarvek-draw ", 0), 0u);
  EXPECT_EQ(run_program_in(kDraw, dir, {"heatmap", "--help"}).status, 0);

  dir.write("m.loc", map_text({{"M1\tA\tB"}}, 2));
  const std::vector<std::vector<std::string>> refused = {
      {},
      {"paint", "m.loc", "-o", "out.png"},
      {"map", "m.loc"},                                            // no -o
      {"map", "m.loc", "-o", "out.jpg"},                           // unknown format
      {"map", "m.loc", "-o", "out"},
      {"map", "--map-function", "morgan", "m.loc", "-o", "out.png"},
      {"map", "--size", "100", "m.loc", "-o", "out.png"},          // not a map option
      {"map", "--names", "some", "m.loc", "-o", "out.png"},
      {"map", "--width", "50", "m.loc", "-o", "out.png"},
      {"map", "m.loc", "other.loc", "-o", "out.png"},
      {"heatmap", "--size", "199", "m.loc", "-o", "out.png"},
      {"heatmap", "--size", "10001", "m.loc", "-o", "out.png"},
      {"heatmap", "--size", "3x", "m.loc", "-o", "out.png"},
      {"heatmap", "--group", "0", "m.loc", "-o", "out.png"},
      {"heatmap", "--population", "F3", "m.loc", "-o", "out.png"},
      {"heatmap", "--lod-max", "0", "m.loc", "-o", "out.png"},
      {"heatmap", "-t", "0", "m.loc", "-o", "out.png"},
      {"heatmap", "-t", "1025", "m.loc", "-o", "out.png"},
      {"genotypes", "-t", "2", "m.loc", "-o", "out.png"},          // nothing to share
      {"genotypes", "--width", "100", "m.loc", "-o", "out.png"},
      {"report", "m.loc", "-o", "out.png"},                        // a report is HTML
      {"map", "m.loc", "-o", "m.loc"},
  };
  for (const auto& args : refused) {
    const RunResult r = run_program_in(kDraw, dir, args);
    EXPECT_EQ(r.status, 2) << (args.empty() ? "(none)" : args[0]) << ": " << r.err;
    EXPECT_EQ(r.err.rfind("tarvek-draw: ", 0), 0u) << r.err;
    EXPECT_FALSE(dir.exists("out.png"));
  }
  EXPECT_EQ(dir.read("m.loc"), map_text({{"M1\tA\tB"}}, 2));
}

TEST(DrawInput, BadMapsAndMissingGroupsWriteNothing) {
  TempDir dir;
  dir.write("cross.loc", "name = x\npopt = F2\nnloc = 1\nnind = 2\nM1\tA\tB\n");  // not a map file
  const std::string whole = map_text({{"M1\tA\tB", "M2\tA\tB"}}, 2);
  dir.write("truncated.loc", whole.substr(0, whole.size() - 2));  // without the group's closing ";"
  dir.write("m.loc", map_text({{"M1\tA\tB", "M2\tA\tH"}}, 2));
  for (const std::string input : {"cross.loc", "truncated.loc", "absent.loc"}) {
    const RunResult r = run_program_in(kDraw, dir, {"map", input, "-o", "out.svg"});
    EXPECT_EQ(r.status, 1) << input;
    EXPECT_TRUE(contains(r.err, input)) << r.err;
    EXPECT_FALSE(dir.exists("out.svg"));
  }
  const RunResult r = run_program_in(kDraw, dir, {"heatmap", "--group", "2", "m.loc", "-o", "out.png"});
  EXPECT_EQ(r.status, 1);
  EXPECT_TRUE(contains(r.err, "there is no group 2: the map has 1 group")) << r.err;
  EXPECT_FALSE(dir.exists("out.png"));
}

TEST(DrawInput, NothingMappedIsSaidClearlyAndTinyMapsStillDraw) {
  TempDir dir;
  dir.write("rejected.loc", map_text({}, 3, {"bad1\tA\tA\tA", "bad2\tA\t-\tA"}));
  for (const std::string command : {"map", "heatmap", "genotypes"}) {
    const RunResult r = run_program_in(kDraw, dir, {command, "rejected.loc", "-o", "out.png"});
    EXPECT_EQ(r.status, 1) << command;
    EXPECT_TRUE(contains(r.err, "no marker was mapped")) << r.err;
    EXPECT_TRUE(contains(r.err, "nothing to draw")) << r.err;
    EXPECT_FALSE(dir.exists("out.png"));
  }
  const RunResult report = run_program_in(kDraw, dir, {"report", "rejected.loc", "-o", "report.html"});
  ASSERT_EQ(report.status, 0) << report.err;
  const std::string html = dir.read("report.html");
  EXPECT_TRUE(contains(html, "No marker was mapped")) << html;
  EXPECT_TRUE(contains(html, "<td>bad2</td>"));
  EXPECT_FALSE(contains(html, "<img"));

  // One group of one marker, and one group of one marker beside a longer one.
  dir.write("one.loc", map_text({{"solo\tA\tH\t*"}}, 3));
  dir.write("two.loc", map_text({{"solo\tA\tH\tB"}, {"M1\tA\tH\tB", "M2\tA\tH\tH", "M3\tH\tH\tH"}}, 3));
  for (const std::string input : {"one.loc", "two.loc"}) {
    for (const std::string command : {"map", "heatmap", "genotypes"}) {
      for (const std::string extension : {".svg", ".pdf", ".png"}) {
        const std::string output = command + extension;
        const RunResult r = run_program_in(kDraw, dir, {command, input, "-o", output});
        ASSERT_EQ(r.status, 0) << input << " " << command << extension << ": " << r.err;
        // The map is drawn at the multipoint positions, with a line per group.
        if (command == "map")
          EXPECT_EQ(r.err.rfind("tarvek-draw: group 1: 1 marker, 0.0 cM (two-point 0.0 cM)\n", 0), 0u) << r.err;
        else
          EXPECT_EQ(r.err, "");
      }
      const auto svg = parse_xml(dir.read(command + ".svg"));
      EXPECT_EQ(svg->name, "svg");
      EXPECT_EQ(dir.read(command + ".pdf").rfind("%PDF-", 0), 0u);
      EXPECT_GT(read_png(dir, command + ".png").width, 0) << command;
    }
    const Picture heat = read_png(dir, "heatmap.png");
    EXPECT_EQ(heat.width, 1000);
    EXPECT_EQ(heat.height, 1000);
    EXPECT_EQ(run_program_in(kDraw, dir, {"report", input, "-o", "r.html"}).status, 0);
  }
}

#ifdef TARVEK_F2SIM_PATH

const std::string kSimulator = TARVEK_F2SIM_PATH;

std::string simulate(const TempDir& dir, const std::vector<std::string>& options) {
  const RunResult r = run_program_in(kSimulator, dir, options);
  EXPECT_EQ(r.status, 0) << r.err;
  return r.out;
}

// The marker lines of a loc file, by name (f2sim's names sort in true map
// order).
std::map<std::string, std::string> marker_lines(const std::string& loc) {
  std::map<std::string, std::string> lines;
  const auto all = lines_of(loc);
  for (std::size_t k = 4; k < all.size(); ++k) lines[all[k].substr(0, all[k].find('\t'))] = all[k];
  return lines;
}

// --- The map as SVG ------------------------------------------------------------

// What the map file says about its groups, read here independently: names
// and the r printed behind each marker.
struct PrintedMarker {
  std::string name;
  double r = -1.0;  // -1: none printed (the last of a group)
};

std::vector<std::vector<PrintedMarker>> printed_groups(const std::string& map) {
  std::vector<std::vector<PrintedMarker>> groups(1);
  bool in_groups = false;
  for (const std::string& line : lines_of(map)) {
    if (line.rfind(";indOrdr", 0) == 0) {
      in_groups = true;
    } else if (line.rfind(";bad segregation", 0) == 0 || line.rfind(";excessive missing", 0) == 0) {
      break;
    } else if (in_groups && line == ";") {
      groups.emplace_back();
    } else if (in_groups && !line.empty() && line[0] != ';') {
      const auto fields = split(line, '\t');
      PrintedMarker m;
      m.name = fields[0];
      const auto semicolon = std::find(fields.begin(), fields.end(), ";");
      if (semicolon != fields.end()) m.r = std::stod(*(semicolon + 1));
      groups.back().push_back(m);
    }
  }
  groups.pop_back();
  return groups;
}

struct Segment {
  std::vector<double> positions;  // cM from the segment's top
};

// Segments and positions as the README defines them: an r of 0.5 starts a
// new segment; otherwise the distance is added.
std::vector<Segment> segments_of(const std::vector<std::vector<PrintedMarker>>& groups, bool haldane) {
  std::vector<Segment> segments;
  for (const auto& group : groups) {
    segments.push_back({{0.0}});
    for (std::size_t k = 0; k + 1 < group.size(); ++k) {
      const double r = group[k].r;
      if (r >= 0.5) {
        segments.push_back({{0.0}});
      } else {
        const double d = haldane ? -50.0 * std::log(1 - 2 * r) : 25.0 * std::log((1 + 2 * r) / (1 - 2 * r));
        segments.back().positions.push_back(segments.back().positions.back() + d);
      }
    }
  }
  return segments;
}

struct LabelBox {
  std::string name;
  double left, right, top, bottom;
};

TEST(DrawMap, SvgHoldsATickAndANamePerMarkerScalesEndAtTheLengths) {
  TempDir dir;
  dir.write("cross.loc", simulate(dir, {"--chromosomes", "3", "--markers", "90", "--individuals", "100", "--error-rate",
                                         "0.03", "--distorted", "1", "--seed", "4"}));
  dir.write("matrix.txt", kRecombinationMatrix);
  ASSERT_EQ(run_tarvek_in(dir, {"-g", "3", "8", "3", "-s", "20", "0.02", "cross.loc"}).status, 0);
  const std::string map = dir.read("cross_map.loc");
  const auto groups = printed_groups(map);
  ASSERT_EQ(groups.size(), 3u);
  std::multiset<std::string> names;
  for (const auto& g : groups)
    for (const auto& m : g) names.insert(m.name);
  ASSERT_TRUE(contains(map, "\t*")) << "the run should flag some genotypes";

  std::map<std::string, double> scale_end;
  for (const std::string function : {"kosambi", "haldane"}) {
    const RunResult r = run_program_in(
        kDraw, dir,
        {"map", "--names", "all", "--distances", "two-point", "--map-function", function, "cross_map.loc", "-o", "map.svg"});
    ASSERT_EQ(r.status, 0) << r.err;
    const auto svg = parse_xml(dir.read("map.svg"));
    const auto all = svg->descendants();

    // One tick per mapped marker, ticks of a bar sharing their x.
    std::map<double, std::vector<double>> ticks_at;  // x → y of its ticks
    std::size_t ticks = 0;
    for (const XmlElement* e : all) {
      if (!black_stroke(*e)) continue;
      const auto n = path_numbers(e->attribute("d"));
      ASSERT_EQ(n.size(), 4u) << e->attribute("d");
      EXPECT_DOUBLE_EQ(n[1], n[3]) << "ticks are horizontal";
      ticks_at[n[0]].push_back(n[1]);
      ++ticks;
    }
    EXPECT_EQ(ticks, names.size());

    // The text layer: one segment group per linkage segment, one name per
    // marker, scales ending at the segment's length.
    const auto segments = segments_of(groups, function == "haldane");
    std::vector<const XmlElement*> segment_groups;
    for (const XmlElement* e : all)
      if (e->name == "g" && e->attribute("class") == "segment") segment_groups.push_back(e);
    ASSERT_EQ(segment_groups.size(), segments.size());
    ASSERT_EQ(ticks_at.size(), segments.size());
    std::multiset<std::string> drawn;
    std::vector<LabelBox> boxes;
    auto bar = ticks_at.begin();
    for (std::size_t s = 0; s < segments.size(); ++s, ++bar) {
      const auto& positions = segments[s].positions;
      double largest = -1.0;
      double largest_y = 0.0;
      for (const XmlElement* t : segment_groups[s]->descendants()) {
        if (t->attribute("class") == "marker") {
          drawn.insert(t->text);
          const double x = std::stod(t->attribute("x"));
          const double y = std::stod(t->attribute("y"));
          const double size = std::stod(t->attribute("font-size"));
          boxes.push_back({t->text, x, x + std::stod(t->attribute("textLength")), y - 0.75 * size, y + 0.25 * size});
        } else if (t->attribute("class") == "scale" && std::stod(t->text) > largest) {
          largest = std::stod(t->text);
          largest_y = std::stod(t->attribute("y"));
        }
      }
      EXPECT_NEAR(largest, positions.back(), 0.051) << "segment " << s;
      // Ticks at their positions: the bar's ticks, top to bottom, are
      // spaced as the positions are.
      std::vector<double> ys = bar->second;
      ASSERT_EQ(ys.size(), positions.size()) << "segment " << s;
      std::sort(ys.begin(), ys.end());
      if (positions.back() > 0.0) {
        const double scale = (ys.back() - ys.front()) / positions.back();
        // cairo writes coordinates to 1/256 of a point.
        for (std::size_t k = 0; k < ys.size(); ++k) EXPECT_NEAR(ys[k] - ys.front(), positions[k] * scale, 0.01);
        EXPECT_NEAR(largest_y, ys.back(), 10.0) << "the scale's end mark sits at the last tick";
      }
      scale_end[function + std::to_string(s)] = largest;
    }
    EXPECT_EQ(drawn, names);
    for (std::size_t a = 0; a < boxes.size(); ++a)
      for (std::size_t b = a + 1; b < boxes.size(); ++b) {
        const bool apart = boxes[a].right <= boxes[b].left || boxes[b].right <= boxes[a].left ||
                           boxes[a].bottom <= boxes[b].top || boxes[b].bottom <= boxes[a].top;
        EXPECT_TRUE(apart) << boxes[a].name << " overlaps " << boxes[b].name;
      }
  }
  for (const auto& [key, value] : scale_end)
    if (key.rfind("haldane", 0) == 0) {
      EXPECT_GE(value, scale_end.at("kosambi" + key.substr(7)));
    }
}

// --- Heat maps as PNG -------------------------------------------------------------

// A map file of one group in true order from a simulated chromosome, with
// the markers at positions [from, to) of the order reversed.
std::string chromosome_map(const std::map<std::string, std::string>& lines, std::size_t from, std::size_t to,
                           std::size_t individuals) {
  std::vector<std::string> order;
  for (const auto& [name, line] : lines) order.push_back(line);
  std::reverse(order.begin() + static_cast<std::ptrdiff_t>(from), order.begin() + static_cast<std::ptrdiff_t>(to));
  return map_text({order}, individuals);
}

// The luminance of the heat map at the pair of markers (i, j): r when
// i < j, LOD when i > j; at the centre of the pixels of their cells.
struct HeatReader {
  Picture picture;
  draw::HeatSheet sheet;
  std::size_t markers = 0;
  double at(std::size_t i, std::size_t j) const {
    const auto pixel = [&](std::size_t m) {
      const std::size_t p = static_cast<std::size_t>(sheet.matrix_pixels);
      return static_cast<int>(std::min(p - 1, (2 * m + 1) * p / (2 * markers)));
    };
    return picture.luminance(sheet.matrix_x + pixel(j), sheet.matrix_y + pixel(i));
  }
  // Mean over the pairs d apart, above and below the diagonal.
  double band(std::size_t d) const {
    double sum = 0.0;
    for (std::size_t i = 0; i + d < markers; ++i) sum += at(i, i + d) + at(i + d, i);
    return sum / (2.0 * static_cast<double>(markers - d));
  }
};

HeatReader heat_map(const TempDir& dir, const std::string& input, int size, std::size_t markers,
                    const std::vector<std::string>& options = {}) {
  std::vector<std::string> args = {"heatmap", "--size", std::to_string(size), input, "-o", "heat.png"};
  args.insert(args.begin() + 1, options.begin(), options.end());
  const RunResult r = run_program_in(kDraw, dir, args);
  EXPECT_EQ(r.status, 0) << r.err;
  HeatReader h{read_png(dir, "heat.png"), draw::heat_sheet_layout(size), markers};
  EXPECT_EQ(h.picture.width, size);
  EXPECT_EQ(h.picture.height, size);
  return h;
}

TEST(DrawHeatMap, BrightDiagonalForAGoodOrderAndAReversedBlockOffIt) {
  TempDir dir;
  constexpr std::size_t kMarkers = 120;
  const auto lines = marker_lines(simulate(dir, {"--chromosomes", "1", "--markers", std::to_string(kMarkers),
                                                 "--individuals", "200", "--error-rate", "0.005", "--missing-rate",
                                                 "0.02", "--dominant-share", "0", "--seed", "3"}));
  ASSERT_EQ(lines.size(), kMarkers);
  dir.write("good.loc", chromosome_map(lines, 0, 0, 200));
  dir.write("reversed.loc", chromosome_map(lines, 40, 80, 200));

  // Markers fit the pixels: every pixel one pair.
  const HeatReader good = heat_map(dir, "good.loc", 400, kMarkers);
  ASSERT_GE(good.sheet.matrix_pixels, static_cast<int>(kMarkers));
  const double diagonal = good.band(0);
  const double next = good.band(1);
  EXPECT_GE(diagonal, next);
  for (std::size_t d = 2; d < kMarkers; ++d) EXPECT_GT(next, good.band(d)) << d;
  for (std::size_t d = 1; d < 6; ++d) EXPECT_GT(good.band(d), good.band(d + 1)) << d;
  EXPECT_LT(good.band(80), 0.3 * next);
  // The same map gives the same picture, at any number of threads.
  const std::string first = dir.read("heat.png");
  heat_map(dir, "good.loc", 400, kMarkers);
  EXPECT_EQ(dir.read("heat.png"), first);
  for (const std::string threads : {"1", "3", "64"}) {
    heat_map(dir, "good.loc", 400, kMarkers, {"-t", threads});
    EXPECT_EQ(dir.read("heat.png"), first) << threads << " threads";
  }
  // r above the diagonal, LOD below: a LOD scale far above every LOD
  // darkens the lower triangle only (but for pairs with r = 0, which count
  // at the top of the scale: pairs 5 to 10 apart have none).
  const HeatReader dim = heat_map(dir, "good.loc", 400, kMarkers, {"--lod-max", "100000"});
  for (std::size_t i = 0; i + 10 < kMarkers; i += 7) {
    for (std::size_t d = 5; d <= 10; ++d) {
      EXPECT_NEAR(dim.at(i, i + d), good.at(i, i + d), 1e-9);
      EXPECT_LT(dim.at(i + d, i), 0.002);
      EXPECT_GT(good.at(i + d, i), 0.02);
    }
  }

  // Positions 39 and 79 hold true neighbours once 40..79 is reversed, and
  // 39 and 40 hold markers 40 apart.
  const HeatReader reversed = heat_map(dir, "reversed.loc", 400, kMarkers);
  for (const auto& [i, j] : std::vector<std::pair<std::size_t, std::size_t>>{{39, 79}, {79, 39}, {40, 80}, {80, 40}}) {
    EXPECT_GT(reversed.at(i, j), 3.0 * good.at(i, j)) << i << "," << j;
    EXPECT_GT(reversed.at(i, j), 0.5 * next) << i << "," << j;
  }
  EXPECT_LT(reversed.at(39, 40), 0.3 * good.at(39, 40));
  EXPECT_LT(reversed.at(40, 39), 0.3 * good.at(40, 39));
}

TEST(DrawHeatMap, SummarisedBlocksStillShowTheOrderAndAReversedBlock) {
  TempDir dir;
  constexpr std::size_t kMarkers = 900;
  const auto lines = marker_lines(simulate(dir, {"--chromosomes", "1", "--markers", std::to_string(kMarkers),
                                                 "--individuals", "150", "--dominant-share", "0", "--seed", "6"}));
  dir.write("good.loc", chromosome_map(lines, 0, 0, 150));
  dir.write("reversed.loc", chromosome_map(lines, 300, 600, 150));
  const HeatReader good = heat_map(dir, "good.loc", 250, kMarkers);
  ASSERT_LT(good.sheet.matrix_pixels, static_cast<int>(kMarkers) / 4);  // several markers per pixel
  const std::size_t step = kMarkers / static_cast<std::size_t>(good.sheet.matrix_pixels);
  EXPECT_GT(good.band(step), good.band(10 * step));
  EXPECT_GT(good.band(10 * step), good.band(100 * step));
  const HeatReader reversed = heat_map(dir, "reversed.loc", 250, kMarkers);
  EXPECT_GT(reversed.at(290, 590), 3.0 * good.at(290, 590));
  EXPECT_GT(reversed.at(590, 290), 3.0 * good.at(590, 290));
}

// --- The report ---------------------------------------------------------------------

// The values of every src= and href= attribute in an HTML text.
std::vector<std::string> references(const std::string& html) {
  std::vector<std::string> found;
  for (const std::string key : {"src=\"", "href=\"", "src='", "href='"}) {
    for (std::size_t at = html.find(key); at != std::string::npos; at = html.find(key, at + 1)) {
      const std::size_t start = at + key.size();
      found.push_back(html.substr(start, html.find(key.back(), start) - start));
    }
  }
  return found;
}

std::string unbase64(const std::string& text) {
  static const std::string digits = "ABCDEFGHIJKLMNOPQRSTUVWXYZabcdefghijklmnopqrstuvwxyz0123456789+/";
  std::string out;
  unsigned value = 0;
  int bits = 0;
  for (const char c : text) {
    if (c == '=') break;
    value = value << 6 | static_cast<unsigned>(digits.find(c));
    bits += 6;
    if (bits >= 8) {
      bits -= 8;
      out += static_cast<char>(value >> bits & 0xFF);
    }
  }
  return out;
}

TEST(DrawReport, EverythingIsInsideTheFile) {
  TempDir dir;
  dir.write("cross.loc", simulate(dir, {"--chromosomes", "2", "--markers", "40", "--individuals", "60", "--distorted",
                                         "2", "--missing-heavy", "1", "--seed", "2"}));
  dir.write("matrix.txt", kRecombinationMatrix);
  ASSERT_EQ(run_tarvek_in(dir, {"-g", "2", "8", "3", "cross.loc"}).status, 0);
  const RunResult r = run_program_in(kDraw, dir, {"report", "cross_map.loc", "-o", "report.html"});
  ASSERT_EQ(r.status, 0) << r.err;
  const std::string html = dir.read("report.html");
  EXPECT_EQ(html.rfind("<!DOCTYPE html>", 0), 0u);
  // Outside the embedded pictures' data, nothing that could fetch anything.
  std::string text = html;
  for (std::size_t at = text.find(";base64,"); at != std::string::npos; at = text.find(";base64,", at + 1))
    text.erase(at + 8, text.find('"', at) - at - 8);
  for (const std::string outside : {"http:", "https:", "file:", "ftp:", "//", "<link", "<script", "<iframe", "url(",
                                    "@import"})
    EXPECT_FALSE(contains(text, outside)) << outside;
  const auto refs = references(html);
  std::size_t png = 0, svg = 0;
  for (const std::string& ref : refs) {
    ASSERT_EQ(ref.rfind("data:", 0), 0u) << ref.substr(0, 60);
    const std::string bytes = unbase64(ref.substr(ref.find(',') + 1));
    if (ref.rfind("data:image/png;base64,", 0) == 0) {
      EXPECT_EQ(bytes.substr(0, 8), "\x89PNG\r\n\x1A\n");
      ++png;
    } else if (ref.rfind("data:image/svg+xml;base64,", 0) == 0) {
      const auto root = parse_xml(bytes);
      EXPECT_TRUE(contains(bytes, svg == 0 ? "class=\"marker\"" : "data-name=\"crossovers\""));
      ++svg;
    }
  }
  EXPECT_EQ(svg, 2u);      // the map, the individuals' crossovers and missing shares
  EXPECT_EQ(png, 2u * 2);  // each group's heat map and genotype graph
  // The summary: 43 markers read, 3 rejected, in two groups.
  EXPECT_TRUE(contains(html, "<tr><td>markers read</td><td>43</td></tr>")) << html.substr(0, 2000);
  EXPECT_TRUE(contains(html, "<tr><td>rejected for segregation</td><td>2</td></tr>"));
  EXPECT_TRUE(contains(html, "<tr><td>rejected for missing values</td><td>1</td></tr>"));
  EXPECT_TRUE(contains(html, "<h2>Group 2</h2>"));
  EXPECT_TRUE(contains(html, "<td>dist01</td><td>segregation</td>"));
}

#endif  // TARVEK_F2SIM_PATH

// A doubled-haploid group of four markers over 30 individuals, all A or all
// B, with individual 5 (column 4) scored B at the second marker: a singleton
// the multipoint model calls an error.
std::string singleton_map() {
  std::vector<std::string> rows;
  for (int k = 0; k < 4; ++k) {
    std::string row = "M";
    row += std::to_string(k + 1);
    for (int c = 0; c < 30; ++c) row += (c < 15 && !(k == 1 && c == 4)) ? "\tA" : "\tB";
    rows.push_back(row);
  }
  std::string text = map_text({rows}, 30);
  text.replace(text.find("popt = F2"), 9, "popt = DH");
  return text;
}

TEST(DrawReport, CalledErrorsAreCountedAndMarked) {
  TempDir dir;
  dir.write("m_map.loc", singleton_map());
  const RunResult r = run_program_in(kDraw, dir, {"report", "m_map.loc", "-o", "report.html"});
  ASSERT_EQ(r.status, 0) << r.err;
  EXPECT_EQ(r.err.rfind("tarvek-draw: group 1: 4 markers, error rate 0.0", 0), 0u) << r.err;
  const std::string html = dir.read("report.html");
  EXPECT_TRUE(contains(html, "<tr><td>genotypes called errors</td><td>1</td></tr>")) << html.substr(0, 3000);
  // Group, markers, two-point length (three pairs at the printed r = 0.05:
  // 3 · 25 ln(1.1/0.9) = 15.05),
  // multipoint length (no crossover: 0), error rate, called errors.
  const auto row = html.find("<tr><td>1</td><td>4</td><td>15.1</td><td>0.0</td><td>0.0");
  ASSERT_NE(row, std::string::npos) << html.substr(0, 3000);
  EXPECT_EQ(html.substr(html.find("</td></tr>", row) - 10, 10), "</td><td>1");

  // The genotype graph marks the call only when asked; -t and the model's
  // options without --mark-errors are refused.
  const std::uint32_t called = 0x009E73;
  ASSERT_EQ(run_program_in(kDraw, dir, {"genotypes", "m_map.loc", "-o", "plain.png"}).status, 0);
  const RunResult marked = run_program_in(kDraw, dir, {"genotypes", "--mark-errors", "m_map.loc", "-o", "marked.png"});
  ASSERT_EQ(marked.status, 0) << marked.err;
  const auto count = [&](const std::string& name) {
    const Picture p = read_png(dir, name);
    return std::count(p.pixels.begin(), p.pixels.end(), called);
  };
  EXPECT_EQ(count("plain.png"), 0);
  EXPECT_GT(count("marked.png"), 0);
  EXPECT_EQ(run_program_in(kDraw, dir, {"genotypes", "-t", "2", "m_map.loc", "-o", "x.png"}).status, 2);
  EXPECT_EQ(run_program_in(kDraw, dir, {"genotypes", "--error-rate", "0.01", "m_map.loc", "-o", "x.png"}).status, 2);
  EXPECT_FALSE(dir.exists("x.png"));
}

}  // namespace
}  // namespace tarvek::testing
