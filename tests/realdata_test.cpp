// Real exported boards converted completely: the default job with a
// suppressed diameter, and drilled copies of the top copper at (0, 0) and
// at an offset. The boards are read where they are; nothing is copied.
#include <gtest/gtest.h>

#include <algorithm>
#include <filesystem>
#include <map>
#include <set>
#include <string>
#include <vector>

#include "test_support.h"

namespace {

namespace fs = std::filesystem;

// Lines as the converter reads them: no line end, no leading blanks.
std::vector<std::string> lines_of(const std::string& text) {
  std::vector<std::string> lines;
  size_t start = 0;
  while (start < text.size()) {
    size_t end = text.find('\n', start);
    if (end == std::string::npos) end = text.size();
    std::string line = text.substr(start, end - start);
    if (!line.empty() && line.back() == '\r') line.pop_back();
    size_t first = line.find_first_not_of(" \t");
    line.erase(0, first == std::string::npos ? line.size() : first);
    lines.push_back(line);
    start = end + 1;
  }
  return lines;
}

bool begins(const std::string& line, const std::string& text) { return line.rfind(text, 0) == 0; }

size_t count_of(const std::string& text, const std::string& part) {
  size_t n = 0;
  for (size_t at = text.find(part); at != std::string::npos; at = text.find(part, at + 1)) ++n;
  return n;
}

// Reads an optionally negative integer at `pos`; false when there is none.
bool read_integer(const std::string& line, size_t& pos, long& value) {
  size_t start = pos;
  if (pos < line.size() && line[pos] == '-') ++pos;
  size_t digits = pos;
  while (pos < line.size() && line[pos] >= '0' && line[pos] <= '9') ++pos;
  if (pos == digits) return false;
  value = std::stol(line.substr(start, pos - start));
  return true;
}

// "X<x>Y<y>" followed by `rest`.
bool read_xy(const std::string& line, size_t pos, long& x, long& y, size_t& rest) {
  if (line.compare(pos, 1, "X") != 0 || !read_integer(line, ++pos, x) ||
      line.compare(pos, 1, "Y") != 0 || !read_integer(line, ++pos, y))
    return false;
  rest = pos;
  return true;
}

struct Hit {
  unsigned tool;
  long x;
  long y;
  std::string line;
};

struct Drill {
  std::map<unsigned, double> tools;
  std::vector<unsigned> selects;
  std::vector<Hit> hits;
};

Drill read_drill(const std::string& text) {
  Drill drill;
  enum { kHeader, kTable, kBeforeBody, kBody } part = kHeader;
  unsigned tool = 0;
  for (const std::string& line : lines_of(text)) {
    if (part == kHeader && begins(line, "INCH")) {
      part = kTable;
    } else if (part == kTable) {
      if (begins(line, "%")) {
        part = kBeforeBody;
      } else if (size_t c = line.find('C'); begins(line, "T") && c != std::string::npos) {
        drill.tools[static_cast<unsigned>(std::stoul(line.substr(1, c - 1)))] =
            std::stod(line.substr(c + 1));
      } else {
        ADD_FAILURE() << "unexpected tool line " << line;
      }
    } else if (part == kBeforeBody && begins(line, "G90")) {
      part = kBody;
    } else if (part == kBody) {
      if (begins(line, "M")) break;
      if (begins(line, "T"))
        drill.selects.push_back(tool = static_cast<unsigned>(std::stoul(line.substr(1))));
      long x = 0;
      long y = 0;
      size_t rest = 0;
      if (read_xy(line, 0, x, y, rest) && rest == line.size())
        drill.hits.push_back({tool, x, y, line});
    }
  }
  return drill;
}

// The lines of a file between the first line `from` and the next line
// beginning with `to`, both excluded.
std::vector<std::string> section(const std::string& text, const std::string& from,
                                 const std::string& to) {
  std::vector<std::string> all = lines_of(text);
  std::vector<std::string> part;
  auto it = std::find(all.begin(), all.end(), from);
  if (it == all.end()) return part;
  for (++it; it != all.end() && !begins(*it, to); ++it) part.push_back(*it);
  return part;
}

// The layer's drawing: after its header's "G9" line, up to "M00".
std::vector<std::string> drawing_of(const std::string& layer) {
  std::vector<std::string> all = lines_of(layer);
  auto it =
      std::find_if(all.begin(), all.end(), [](const std::string& l) { return begins(l, "G9"); });
  std::vector<std::string> part;
  if (it == all.end()) return part;
  for (++it; it != all.end() && !begins(*it, "M00"); ++it) part.push_back(*it);
  return part;
}

std::vector<std::string> flashes_after_last_clear(const std::string& text) {
  std::vector<std::string> flashes;
  size_t at = text.rfind("\n%LPC*%\n");
  for (const std::string& line : lines_of(text.substr(at == std::string::npos ? 0 : at)))
    if (line.size() >= 4 && line.compare(line.size() - 4, 4, "D03*") == 0) flashes.push_back(line);
  return flashes;
}

std::vector<std::string> selects_in(const std::string& text) {
  std::vector<std::string> selects;
  for (const std::string& line : lines_of(text))
    if (begins(line, "G54D")) selects.push_back(line);
  return selects;
}

unsigned highest_aperture(const std::string& layer) {
  unsigned highest = 0;
  for (const std::string& line : lines_of(layer))
    if (begins(line, "%ADD"))
      highest = std::max(highest, static_cast<unsigned>(std::stoul(line.substr(4))));
  return highest;
}

// What the drill data should become with tools numbered from `base` and hits
// moved by (dx, dy) ten-thousandths; a moved hit is written without its
// leading zeros.
void expected_holes(const Drill& drill, const std::set<unsigned>& suppressed, unsigned base,
                    long dx, long dy, std::vector<std::string>& selects,
                    std::vector<std::string>& flashes) {
  for (unsigned tool : drill.selects)
    if (!suppressed.count(tool)) selects.push_back("G54D" + std::to_string(base + tool) + "*");
  for (const Hit& hit : drill.hits) {
    if (suppressed.count(hit.tool)) continue;
    if (dx == 0 && dy == 0)
      flashes.push_back(hit.line + "D03*");
    else
      flashes.push_back("X" + std::to_string(hit.x + dx) + "Y" + std::to_string(hit.y + dy) +
                        "D03*");
  }
}

const double kSuppressed = 0.014;  // a via size every board uses
const long kOffsetX = 5000;        // O0.5,-0.25
const long kOffsetY = -2500;

TEST(RealBoards, DefaultJobAndDrilledCopiesConvertCompletely) {
  std::string root = realdata_dir();
  if (root.empty()) GTEST_SKIP() << "real boards not available";
  std::vector<fs::path> boards;
  for (const auto& entry : fs::directory_iterator(root))
    if (entry.is_directory()) boards.push_back(entry.path());
  std::sort(boards.begin(), boards.end());
  ASSERT_FALSE(boards.empty());

  for (const fs::path& board : boards) {
    SCOPED_TRACE(board.string());
    auto source = [&board](const char* name) { return read_file((board / name).string()); };
    TempDir work;
    RunResult run = run_quorlan(work.path(), {"SP" + board.string(), "X0.014", "Dtop_copper.grb",
                                              "O0.5,-0.25", "Dtop_copper.grb"});
    ASSERT_EQ(run.exit_status, 0) << run.output;
    EXPECT_EQ(run.errors, "");
    EXPECT_NE(mask_elapsed(run.output)
                  .find("\n\n     outline_poly.gbr created"
                        "\n     holes.gbr created"
                        "\n     top_smask_poly.gbr created"
                        "\n     bottom_smask_poly.gbr created"
                        "\n     top_copper_drilled.grb created"
                        "\n     top_copper_drilledOf1.grb created" +
                        summary(6)),
              std::string::npos)
        << run.output;
    ASSERT_EQ(work.files(),
              (std::vector<std::string>{"bottom_smask_poly.gbr", "holes.gbr", "outline_poly.gbr",
                                        "top_copper_drilled.grb", "top_copper_drilledOf1.grb",
                                        "top_smask_poly.gbr"}));
    for (const std::string& name : work.files()) {
      std::string text = work.read(name);
      EXPECT_EQ(text.find('\r'), std::string::npos) << name;
      EXPECT_TRUE(text.size() > 11 && text.compare(text.size() - 11, 11, "\nM00*\nM02*\n") == 0)
          << name;
    }

    // Outline and masks: one region per contour, the masks' openings all
    // under clear polarity.
    std::string outline_source = source("board_outline.grb");
    size_t contours = 0;
    for (const std::string& line :
         section(outline_source, "G54D10*", "G04 -------------- Draw Parts"))
      contours += line.find("D02") != std::string::npos;
    ASSERT_GE(contours, 1u);
    std::string outline = work.read("outline_poly.gbr");
    EXPECT_EQ(count_of(outline, "\nG36*\n"), contours);
    EXPECT_EQ(count_of(outline, "\nG37*\n"), contours);
    for (const char* side : {"top", "bottom"}) {
      std::string mask_source = source((std::string(side) + "_solder_mask.grb").c_str());
      std::string mask = work.read(std::string(side) + "_smask_poly.gbr");
      EXPECT_EQ(count_of(mask, "\nG36*\n"), contours) << side;
      std::vector<std::string> openings = section(mask_source, "%LPD*%", "M00*");
      std::vector<std::string> cleared = section(mask, "%LPC*%", "M00*");
      openings.erase(std::remove_if(openings.begin(), openings.end(),
                                    [](const std::string& l) { return begins(l, "%LP"); }),
                     openings.end());
      for (std::string& line : openings)
        if (begins(line, "G01")) line.erase(0, 3);
      // "%LPC*%" is followed by an empty line and "M00*" preceded by one.
      if (!cleared.empty() && cleared.front().empty()) cleared.erase(cleared.begin());
      if (!cleared.empty() && cleared.back().empty()) cleared.pop_back();
      EXPECT_EQ(cleared, openings) << side;
      EXPECT_GT(count_of(mask, "D03*\n"), 0u) << side;
    }

    // Holes: every hit of the drill file, except the suppressed diameter's.
    Drill drill = read_drill(source("drill_file.drl"));
    ASSERT_FALSE(drill.hits.empty());
    std::set<unsigned> suppressed;
    for (const auto& [tool, diameter] : drill.tools)
      if (diameter == kSuppressed) suppressed.insert(tool);
    ASSERT_FALSE(suppressed.empty());
    std::string holes = work.read("holes.gbr");
    for (const auto& [tool, diameter] : drill.tools)
      EXPECT_EQ(holes.find("%ADD" + std::to_string(9 + tool) + "C,") != std::string::npos,
                !suppressed.count(tool))
          << "tool " << tool;
    std::vector<std::string> selects, flashes;
    expected_holes(drill, suppressed, 9, 0, 0, selects, flashes);
    EXPECT_EQ(selects_in(holes), selects);
    EXPECT_EQ(flashes_after_last_clear(holes), flashes);

    // Drilled copies: the layer unchanged or moved, drill apertures above the
    // layer's own, the holes cleared at the end.
    std::string layer = source("top_copper.grb");
    unsigned base = highest_aperture(layer);
    ASSERT_GT(base, 9u);
    std::vector<std::string> layer_drawing = drawing_of(layer);
    for (const char* name : {"top_copper_drilled.grb", "top_copper_drilledOf1.grb"}) {
      SCOPED_TRACE(name);
      bool moved = std::string(name).find("Of1") != std::string::npos;
      std::string copy = work.read(name);
      EXPECT_EQ(
          count_of(copy, moved ? "G04 Offset by (0.500,-0.250) and drilled by" : "G04 Drilled by"),
          1u);
      for (const auto& [tool, diameter] : drill.tools)
        EXPECT_EQ(copy.find("%ADD" + std::to_string(base + tool) + "C,") != std::string::npos,
                  !suppressed.count(tool))
            << "tool " << tool;
      EXPECT_EQ(count_of(copy, "\n%ADD"),
                count_of(layer, "\n%ADD") + drill.tools.size() - suppressed.size());

      std::vector<std::string> expected_drawing;
      size_t moved_lines = 0;
      for (const std::string& line : layer_drawing) {
        // Real draws are "G01X<x>Y<y>D<nn>*", already with a two-digit code;
        // those move and nothing else does.
        long x = 0;
        long y = 0;
        size_t rest = 0;
        if (moved && read_xy(line, begins(line, "G01") ? 3 : 0, x, y, rest) &&
            line.compare(rest, 1, "D") == 0) {
          expected_drawing.push_back("X" + std::to_string(x + kOffsetX) + "Y" +
                                     std::to_string(y + kOffsetY) + line.substr(rest));
          ++moved_lines;
        } else {
          expected_drawing.push_back(line);
        }
      }
      if (moved) {
        EXPECT_GT(moved_lines, layer_drawing.size() / 2);
      }
      std::vector<std::string> copy_lines = lines_of(copy);
      // The drawing follows the "G90*" the copy writes after its apertures.
      auto start = std::find(copy_lines.begin(), copy_lines.end(), "G90*");
      ASSERT_NE(start, copy_lines.end());
      size_t first = static_cast<size_t>(start - copy_lines.begin()) + 1;
      size_t last = std::min(copy_lines.size(), first + layer_drawing.size());
      std::vector<std::string> copy_drawing(copy_lines.begin() + static_cast<long>(first),
                                            copy_lines.begin() + static_cast<long>(last));
      EXPECT_EQ(copy_drawing, expected_drawing);

      std::vector<std::string> copy_selects, copy_flashes;
      expected_holes(drill, suppressed, base, moved ? kOffsetX : 0, moved ? kOffsetY : 0,
                     copy_selects, copy_flashes);
      EXPECT_EQ(flashes_after_last_clear(copy), copy_flashes);
      std::string holes_part = copy.substr(copy.rfind("\n%LPC*%\n"));
      EXPECT_EQ(selects_in(holes_part), copy_selects);
    }
  }
}

}  // namespace
