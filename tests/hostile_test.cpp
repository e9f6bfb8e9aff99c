// Hostile input, end to end: whatever it is given, quorlan ends with one of its
// own statuses and messages, writes nothing to stderr, and leaves every source
// file exactly as it was. Plus the defined results for numbers that do not fit
// their 32-bit fields.
#include <gtest/gtest.h>
#include <sys/stat.h>

#include <algorithm>
#include <climits>
#include <cstdlib>
#include <limits>
#include <map>
#include <random>
#include <string>
#include <vector>

#include "app/job_settings.h"
#include "convert/coords.h"
#include "fixtures.h"
#include "test_support.h"

namespace {

// Expected contents of a new file that only has to exist (a partly written
// file left by a failing conversion).
const std::string kAnyContent = "<any content>";

struct HostileCase {
  std::string name;
  std::map<std::string, std::string> sources;  // written before the run
  std::vector<std::string> directories;        // made before the run
  std::vector<std::string> args;
  int exit_status;
  std::string output;                            // after the banner, elapsed time masked
  std::map<std::string, std::string> new_files;  // every file the run leaves besides the sources
};

const std::string kSkipOutline = "\n  -- Outline creation skipped --";
const std::string kSkipDrill = "\n  -- Drill file creation skipped --";
const std::string kSkipTop = "\n  -- Top mask file creation skipped --";
const std::string kSkipBottom = "\n  -- Bottom mask file creation skipped --";
const std::string kSkipAll = kSkipOutline + kSkipDrill + kSkipTop + kSkipBottom;

std::string premature_eof(const std::string& source) {
  return "\n\nError: premature EOF while reading \"" + source + "\".\n";
}
std::string drill_parse() { return "\n\nError: parsing data in \"drill_file.drl\".\n"; }
std::string mask_eof() {
  return "\n\nError: premature EOF while reading \"board_outline.grb\" or "
         "\"top_solder_mask.grb\".\n";
}
std::string gets_drilled(const std::string& name, unsigned n) {
  return "\n  \"" + name + "\" gets drilled (" + std::to_string(n) + ")";
}
std::string running(const std::string& script, unsigned level) {
  return "\n  -- Running \"" + script + "\" at nested level " + std::to_string(level) + " --";
}
std::string done(const std::string& script) { return "\n  -- \"" + script + "\" done --"; }
std::string invalid(const std::string& script, const std::string& text) {
  return "\n\n-- Invalid command in " + script + ": \"" + text + "\" ignored --\n\n";
}
std::string no_sources_warnings() {
  return "\n\nWarning: outline file \"board_outline.grb\" not found, \"outline_poly.gbr\" not "
         "created.\n"
         "\n\nWarning: drill file \"drill_file.drl\" not found, \"holes.gbr\" not created.\n"
         "\n\nWarning: no outline, \"top_smask_poly.gbr\" not created"
         "\n\nWarning: no outline, \"bottom_smask_poly.gbr\" not created";
}

// 4096 bytes from a fixed seed; mt19937's sequence is the same everywhere.
std::string random_bytes() {
  std::mt19937 generator(20090302);
  std::string bytes;
  for (int i = 0; i < 4096; ++i) bytes.push_back(static_cast<char>(generator() >> 24));
  return bytes;
}

std::string without_final_line_feed(std::string text) {
  text.pop_back();
  return text;
}

std::string line_feeds_to_returns(std::string text) {
  for (char& c : text)
    if (c == '\n') c = '\r';
  return text;
}

std::string replaced(std::string text, const std::string& from, const std::string& to) {
  size_t at = text.find(from);
  if (at == std::string::npos) {
    ADD_FAILURE() << "no \"" << from << "\" in the fixture";
  } else {
    text.replace(at, from.size(), to);
  }
  return text;
}

// A line of `length` characters as the data reader hands it out: pieces of 255
// characters, and an empty line when the line feed falls after a full piece.
std::string as_data_pieces(const std::string& line) {
  std::string out;
  size_t at = 0;
  for (; line.size() - at >= 255; at += 255) out += line.substr(at, 255) + "\n";
  if (at < line.size() || line.size() % 255 == 0) out += line.substr(at) + "\n";
  return out;
}

std::string pattern_line(size_t length) {
  std::string line = "G04 ";
  while (line.size() < length) line.push_back(static_cast<char>('a' + line.size() % 26));
  return line;
}

std::vector<HostileCase> hostile_cases() {
  std::vector<HostileCase> cases;
  const std::string noise = random_bytes();

  // --- random binary data as every kind of source ----------------------------
  cases.push_back({"random data as outline",
                   {{"board_outline.grb", noise}},
                   {},
                   {"N2", "N3", "N4"},
                   3,
                   kSkipDrill + kSkipTop + kSkipBottom + premature_eof("board_outline.grb"),
                   {{"outline_poly.gbr", kAnyContent}}});
  cases.push_back({"random data as drill",
                   {{"drill_file.drl", noise}},
                   {},
                   {"N1", "N3", "N4"},
                   3,
                   kSkipOutline + kSkipTop + kSkipBottom + premature_eof("drill_file.drl"),
                   {{"holes.gbr", kAnyContent}}});
  cases.push_back({"random data as masks",
                   {{"board_outline.grb", kOutlineSource},
                    {"top_solder_mask.grb", noise},
                    {"bottom_solder_mask.grb", noise}},
                   {},
                   {"N2"},
                   3,
                   kSkipDrill + "\n\n     outline_poly.gbr created" + mask_eof(),
                   {{"outline_poly.gbr", kOutlineExpected}, {"top_smask_poly.gbr", kAnyContent}}});
  cases.push_back({"random data as drilled layer",
                   {{"drill_file.drl", kDrillSource}, {"top.gbr", noise}},
                   {},
                   {"N1", "N2", "N3", "N4", "Dtop.gbr"},
                   3,
                   kSkipAll + gets_drilled("top.gbr", 1) + premature_eof("top.gbr"),
                   {{"top_drilled.gbr", kAnyContent}}});

  // --- NUL bytes inside lines --------------------------------------------------
  {
    using namespace std::string_literals;
    std::string drill = replaced(kDrillSource, "T2C0.040\n", "T2C0.040\0 junk\n"s);
    drill = replaced(drill, "X020000Y010000\n", "X020000Y010000\0\n"s);
    std::string holes = replaced(kDrillExpected, "X020000Y010000D03*", "X020000Y010000\0D03*"s);
    std::string outline = replaced(kOutlineSource, "X10000Y0D01*\n", "X10000Y0\0D01*\n"s);
    std::string regions = replaced(kOutlineExpected, "X10000Y0D01*\n", "X10000Y0\0D01*\n"s);
    cases.push_back({"NUL bytes in data lines",
                     {{"board_outline.grb", outline}, {"drill_file.drl", drill}},
                     {},
                     {"N3", "N4"},
                     0,
                     kSkipTop + kSkipBottom + "\n\n     outline_poly.gbr created" +
                         "\n     holes.gbr created" + summary(2),
                     {{"outline_poly.gbr", regions}, {"holes.gbr", holes}}});
    // A name holding a NUL can be neither opened nor created; messages show
    // it up to the NUL.
    cases.push_back(
        {"NUL bytes in script names",
         {{"board_outline.grb", kOutlineSource}, {"nul.pcs", "S2drill\0.drl\nN1new\0name.gbr\n"s}},
         {},
         {"N3", "N4", "Cnul"},
         2,
         kSkipTop + kSkipBottom + running("nul.pcs", 1) + "\n  Drill source changed to \"drill\"" +
             "\n  New outline changed to \"new\"" + done("nul.pcs") +
             "\n\nError: \"new\" file creation failed.\n",
         {}});
  }

  // --- long lines ----------------------------------------------------------------
  for (size_t length : {254, 255, 256, 510, 511, 512, 10000}) {
    std::string line = pattern_line(length);
    std::string n = std::to_string(length);
    cases.push_back(
        {"outline line of " + n + " characters",
         {{"board_outline.grb",
           replaced(kOutlineSource, "X10000Y0D01*\n", line + "\nX10000Y0D01*\n")}},
         {},
         {"N2", "N3", "N4"},
         0,
         kSkipDrill + kSkipTop + kSkipBottom + "\n\n     outline_poly.gbr created" + summary(1),
         {{"outline_poly.gbr", replaced(kOutlineExpected, "X10000Y0D01*\n",
                                        as_data_pieces(line) + "X10000Y0D01*\n")}}});

    // Script lines are read 511 characters at a time.
    std::string name(length - 2, 'a');
    std::string expected = running("long.pcs", 1);
    size_t first = length > 511 ? 511 : length;
    expected += "\n  Outline source changed to \"" + name.substr(0, first - 2) + "\"";
    for (size_t at = first - 2; at < name.size(); at += 511)
      expected += invalid("long.pcs", name.substr(at, 511));
    expected += done("long.pcs");
    cases.push_back({"script line of " + n + " characters",
                     {{"long.pcs", "S1" + name + "\n"}},
                     {},
                     {"N2", "N3", "N4", "Clong"},
                     0,
                     kSkipDrill + kSkipTop + kSkipBottom + expected +
                         "\n\nWarning: outline file \"" + name.substr(0, first - 2) +
                         "\" not found, \"outline_poly.gbr\" not created.\n" + summary(0),
                     {}});
  }
  // A tool line whose line feed comes back as a piece of its own leaves an
  // empty line in the tool table, which does not parse.
  for (size_t length : {254, 255}) {
    std::string tool = "T2C0.040" + std::string(length - 8, '0');
    bool parses = length < 255;
    cases.push_back({"drill tool line of " + std::to_string(length) + " characters",
                     {{"drill_file.drl", replaced(kDrillSource, "T2C0.040\n", tool + "\n")}},
                     {},
                     {"N1", "N3", "N4"},
                     parses ? 0 : 4,
                     kSkipOutline + kSkipTop + kSkipBottom +
                         (parses ? "\n     holes.gbr created" + summary(1) : drill_parse()),
                     {{"holes.gbr", parses ? std::string(kDrillExpected) : kAnyContent}}});
  }

  // --- empty files ---------------------------------------------------------------
  cases.push_back({"empty outline",
                   {{"board_outline.grb", ""}},
                   {},
                   {"N2", "N3", "N4"},
                   3,
                   kSkipDrill + kSkipTop + kSkipBottom + premature_eof("board_outline.grb"),
                   {{"outline_poly.gbr", "G90*\n\n%LPD*%\n\nG04 Begin outline 1 *\n\nG36*\n"}}});
  cases.push_back({"empty drill",
                   {{"drill_file.drl", ""}},
                   {},
                   {"N1", "N3", "N4"},
                   3,
                   kSkipOutline + kSkipTop + kSkipBottom + premature_eof("drill_file.drl"),
                   {{"holes.gbr", kAnyContent}}});
  cases.push_back({"empty masks",
                   {{"board_outline.grb", kOutlineSource},
                    {"top_solder_mask.grb", ""},
                    {"bottom_solder_mask.grb", ""}},
                   {},
                   {"N1", "N2"},
                   3,
                   kSkipOutline + kSkipDrill + mask_eof(),
                   {{"top_smask_poly.gbr", ""}}});
  cases.push_back({"empty drilled layer",
                   {{"drill_file.drl", kDrillSource}, {"top.gbr", ""}},
                   {},
                   {"N1", "N2", "N3", "N4", "Dtop.gbr"},
                   3,
                   kSkipAll + gets_drilled("top.gbr", 1) + premature_eof("top.gbr"),
                   {{"top_drilled.gbr", ""}}});
  cases.push_back({"empty script",
                   {{"empty.pcs", ""}},
                   {},
                   {"Cempty"},
                   0,
                   running("empty.pcs", 1) + done("empty.pcs") + no_sources_warnings() + summary(0),
                   {}});

  // --- no final line feed: converts as if it were there -----------------------
  cases.push_back({"no final line feed",
                   {{"board_outline.grb", without_final_line_feed(kOutlineSource)},
                    {"drill_file.drl", without_final_line_feed(kDrillSource)},
                    {"top_solder_mask.grb", without_final_line_feed(kMaskSource)},
                    {"bottom_solder_mask.grb", without_final_line_feed(kMaskSource)},
                    {"top.gbr", without_final_line_feed(kCopperSource)},
                    {"job.pcs", "N3top.gbr_mask\nDtop.gbr"}},
                   {},
                   {"Cjob"},
                   0,
                   running("job.pcs", 1) + "\n  New top mask changed to \"top.gbr_mask\"" +
                       gets_drilled("top.gbr", 1) + done("job.pcs") +
                       "\n\n     outline_poly.gbr created" + "\n     holes.gbr created" +
                       "\n     top.gbr_mask created" + "\n     bottom_smask_poly.gbr created" +
                       "\n     top_drilled.gbr created" + summary(5),
                   {{"outline_poly.gbr", kOutlineExpected},
                    {"holes.gbr", kDrillExpected},
                    {"top.gbr_mask", kMaskExpected},
                    {"bottom_smask_poly.gbr", kMaskExpected},
                    {"top_drilled.gbr", kCopperDrilledExpected}}});

  // --- carriage returns alone do not end lines ---------------------------------
  {
    std::string outline = line_feeds_to_returns(kOutlineSource);
    cases.push_back(
        {"CR-only outline",
         {{"board_outline.grb", outline}},
         {},
         {"N2", "N3", "N4"},
         3,
         kSkipDrill + kSkipTop + kSkipBottom + premature_eof("board_outline.grb"),
         {{"outline_poly.gbr", "G04 Converted by Quorlan Version 1.13R on " + std::string(kStamp) +
                                   " *\n\n" + outline +
                                   "\nG90*\n\n%LPD*%\n\nG04 Begin outline 1 *\n\nG36*\n"}}});
    cases.push_back({"CR-only drill",
                     {{"drill_file.drl", line_feeds_to_returns(kDrillSource)}},
                     {},
                     {"N1", "N3", "N4"},
                     3,
                     kSkipOutline + kSkipTop + kSkipBottom + premature_eof("drill_file.drl"),
                     {{"holes.gbr", kAnyContent}}});
    cases.push_back({"CR-only script",
                     {{"mac.pcs", "N1\rN2\rN3\rN4\r"}},
                     {},
                     {"Cmac"},
                     0,
                     running("mac.pcs", 1) + "\n  New outline changed to \"\rN2\rN3\rN4\r\"" +
                         done("mac.pcs") +
                         "\n\nWarning: outline file \"board_outline.grb\" not found, "
                         "\"\rN2\rN3\rN4\r\" not created.\n"
                         "\n\nWarning: drill file \"drill_file.drl\" not found, \"holes.gbr\" not "
                         "created.\n"
                         "\n\nWarning: no outline, \"top_smask_poly.gbr\" not created"
                         "\n\nWarning: no outline, \"bottom_smask_poly.gbr\" not created" +
                         summary(0),
                     {}});
  }

  // --- numbers beyond 32 bits ---------------------------------------------------
  // An unsigned field out of range does not parse: a tool line or select that
  // does not parse is a parse error, an aperture definition is not counted, a
  // draw line keeps its text. A moved coordinate that does not fit stays.
  cases.push_back({"tool number beyond 32 bits",
                   {{"drill_file.drl", replaced(kDrillSource, "T2C0.040", "T4294967296C0.040")}},
                   {},
                   {"N1", "N3", "N4"},
                   4,
                   kSkipOutline + kSkipTop + kSkipBottom + drill_parse(),
                   {{"holes.gbr", kAnyContent}}});
  cases.push_back({"tool select beyond 32 bits",
                   {{"drill_file.drl", replaced(kDrillSource, "T2\n", "T99999999999\n")}},
                   {},
                   {"N1", "N3", "N4"},
                   4,
                   kSkipOutline + kSkipTop + kSkipBottom + drill_parse(),
                   {{"holes.gbr", kAnyContent}}});
  {
    std::string drill = replaced(kDrillSource, "T2C0.040", "T4294967295C0.040");
    drill = replaced(drill, "T2\n", "T4294967295\n");
    // Base plus tool number does not wrap around.
    std::string holes = replaced(kDrillExpected, "%ADD11C", "%ADD4294967304C");
    holes = replaced(holes, "G54D11*", "G54D4294967304*");
    std::string layer = replaced(kCopperSource, "%ADD11R", "%ADD4294967295R");
    layer = replaced(layer, "%ADD10C", "%ADD4294967296C");
    std::string copy = replaced(kCopperDrilledExpected, "%ADD11R", "%ADD4294967295R");
    copy = replaced(copy, "%ADD10C", "%ADD4294967296C");
    copy = replaced(copy, "%ADD12C", "%ADD4294967296C");
    copy = replaced(copy, "%ADD13C", "%ADD8589934590C");
    copy = replaced(copy, "G54D12*", "G54D4294967296*");
    copy = replaced(copy, "G54D13*", "G54D8589934590*");
    cases.push_back({"largest tool and aperture numbers",
                     {{"drill_file.drl", drill}, {"top.gbr", layer}},
                     {},
                     {"N1", "N3", "N4", "Dtop.gbr"},
                     0,
                     kSkipOutline + kSkipTop + kSkipBottom + gets_drilled("top.gbr", 1) +
                         "\n     holes.gbr created" + "\n     top_drilled.gbr created" + summary(2),
                     {{"holes.gbr", holes}, {"top_drilled.gbr", copy}}});
  }
  {
    // The aperture number beyond 32 bits is not the highest; D10 is, so the
    // drill tools start at D11.
    std::string layer = replaced(kCopperSource, "%ADD11R", "%ADD4294967296R");
    layer = replaced(layer, "X10000Y0D01*\n",
                     "X10000Y0D01*\n"
                     "X99999999999Y0D01*\n"
                     "G01X100Y-2147483649D02*\n"
                     "X2147480000Y0D01*\n"
                     "X100Y100D4294967296*\n"
                     "X100Y100D4294967295*\n"
                     "X100Y100D007*\n");
    std::string drill = replaced(kDrillSource, "X020000Y010000\n",
                                 "X020000Y010000\nX4294967296Y0\nX2147483647Y-2147483648\n");
    std::string copy = replaced(kCopperDrilledExpected, "%ADD11R", "%ADD4294967296R");
    copy = replaced(copy, "%ADD12C", "%ADD11C");
    copy = replaced(copy, "%ADD13C", "%ADD12C");
    copy = replaced(copy, "G54D12*", "G54D11*");
    copy = replaced(copy, "G54D13*", "G54D12*");
    copy = replaced(copy, "G04 Drilled by", "G04 Offset by (0.500,0.000) and drilled by");
    copy = replaced(copy, "\nX5000Y5000D03*", "\nX10000Y5000D03*");
    copy = replaced(copy, "G01X0Y0D02*\nX10000Y0D01*\n",
                    "X5000Y0D02*\n"
                    "X15000Y0D01*\n"
                    "X99999999999Y0D01*\n"
                    "G01X100Y-2147483649D02*\n"
                    "X2147480000Y0D01*\n"
                    "X100Y100D4294967296*\n"
                    "X5100Y100D4294967295*\n"
                    "X5100Y100D07*\n");
    copy = replaced(copy, "X012345Y023456D03*\nX013345Y023456D03*",
                    "X17345Y23456D03*\nX18345Y23456D03*");
    copy = replaced(copy, "X020000Y010000D03*\n",
                    "X25000Y10000D03*\nX4294967296Y0D03*\nX2147483647Y-2147483648D03*\n");
    cases.push_back({"coordinates, apertures and D codes beyond 32 bits",
                     {{"drill_file.drl", drill}, {"top.gbr", layer}},
                     {},
                     {"N1", "N2", "N3", "N4", "O0.5,0", "Dtop.gbr"},
                     0,
                     kSkipAll + "\n  Data Offset (0.500, 0.000)" + gets_drilled("top.gbr", 1) +
                         " with offset (0.500,0.000)" + "\n     top_drilledOf1.gbr created" +
                         summary(1),
                     {{"top_drilledOf1.gbr", copy}}});
  }

  // --- diameters: huge, infinite, not a number, hexadecimal ---------------------
  {
    std::string drill = replaced(kDrillSource, "T2C0.040\n",
                                 "T2C0.040\nT3C1e308\nT4Cinf\nT5Cnan\nT6C0x1p-4\nT7C0x1.2p-4\n");
    std::string holes = replaced(kDrillExpected, "%ADD11C,0.040000*%\n",
                                 "%ADD11C,0.040000*%\n%ADD14C,nan*%\n%ADD16C,0.070312*%\n");
    cases.push_back({"diameters 1e308, inf, nan and hex floats",
                     {{"drill_file.drl", drill}},
                     {},
                     {"N1", "N3", "N4", "X1e308", "Xinf", "Xnan", "X0x1p-4", "X-inf"},
                     0,
                     kSkipOutline + kSkipTop + kSkipBottom +
                         "\n  1  inf dia drills suppressed"
                         "\n  -- inf dia already suppressed, ignored --"
                         "\n\n  -- Invalid drill diameter \"Xnan\" ignored --\n"
                         "\n  2  0.0625 dia drills suppressed"
                         "\n\n  -- Invalid drill diameter \"X-inf\" ignored --\n"
                         "\n     holes.gbr created" +
                         summary(1),
                     {{"holes.gbr", holes}}});
  }

  // --- scripts: calling itself, directories --------------------------------------
  {
    std::string expected;
    for (unsigned level = 1; level <= 8; ++level) expected += running("self.pcs", level);
    expected += "\n\n-- Maximum nesting level reached, \"Cself\" ignored --\n\n";
    for (unsigned level = 1; level <= 8; ++level) expected += done("self.pcs");
    cases.push_back({"script that calls itself",
                     {{"self.pcs", "Cself\n"}},
                     {},
                     {"N1", "N2", "N3", "N4", "Cself"},
                     0,
                     kSkipAll + expected + summary(0),
                     {}});
  }
  cases.push_back({"script that is a directory",
                   {},
                   {"dir.pcs"},
                   {"Cdir"},
                   1,
                   "\n\n-- Unable to open script \"dir.pcs\", job terminated --\n\n",
                   {}});
  cases.push_back({"outline that is a directory",
                   {},
                   {"board_outline.grb"},
                   {"N2"},
                   0,
                   kSkipDrill +
                       "\n\nWarning: outline file \"board_outline.grb\" not found, "
                       "\"outline_poly.gbr\" not created.\n"
                       "\n\nWarning: no outline, \"top_smask_poly.gbr\" not created"
                       "\n\nWarning: no outline, \"bottom_smask_poly.gbr\" not created" +
                       summary(0),
                   {}});
  cases.push_back({"masks and drilled layer that are directories",
                   {{"board_outline.grb", kOutlineSource}, {"drill_file.drl", kDrillSource}},
                   {"top_solder_mask.grb", "bottom_solder_mask.grb", "top.gbr"},
                   {"Dtop.gbr"},
                   0,
                   gets_drilled("top.gbr", 1) + "\n\n     outline_poly.gbr created" +
                       "\n     holes.gbr created" +
                       "\n\nWarning: mask file \"top_solder_mask.grb\" not found, "
                       "\"top_smask_poly.gbr\" not created.\n"
                       "\n\nWarning: drill or mask file not found, \"bottom_smask_poly.gbr\" not "
                       "created.\n"
                       "\n\nWarning: \"top.gbr\" not found, no drilled file created.\n" +
                       summary(2),
                   {{"outline_poly.gbr", kOutlineExpected}, {"holes.gbr", kDrillExpected}}});

  // --- new files that cannot be written -----------------------------------------
  cases.push_back({"new file in a missing directory",
                   {{"board_outline.grb", kOutlineSource}},
                   {},
                   {"N1missing/outline.gbr", "N2", "N3", "N4"},
                   2,
                   "\n  New outline changed to \"missing/outline.gbr\"" + kSkipDrill + kSkipTop +
                       kSkipBottom + "\n\nError: \"missing/outline.gbr\" file creation failed.\n",
                   {}});
  cases.push_back({"new file over its own source",
                   {{"board_outline.grb", kOutlineSource}},
                   {},
                   {"N1board_outline.grb", "N2", "N3", "N4"},
                   2,
                   "\n  New outline changed to \"board_outline.grb\"" + kSkipDrill + kSkipTop +
                       kSkipBottom + "\n\nError: \"board_outline.grb\" file creation failed.\n",
                   {}});
  cases.push_back({"drilled copy in a missing directory",
                   {{"src/drill_file.drl", kDrillSource}, {"src/missing/top.gbr", kCopperSource}},
                   {},
                   {"N1", "N2", "N3", "N4", "SPsrc", "Dmissing/top.gbr"},
                   2,
                   kSkipAll + "\n  Source path changed to \"src\\\"" +
                       gets_drilled("missing/top.gbr", 1) +
                       "\n\nError: drilled file creation failed.\n",
                   {}});
  struct stat full;
  if (stat("/dev/full", &full) == 0) {
    cases.push_back({"new outline on a full device",
                     {{"board_outline.grb", kOutlineSource}},
                     {},
                     {"N1/dev/full", "N2", "N3", "N4"},
                     2,
                     "\n  New outline changed to \"/dev/full\"" + kSkipDrill + kSkipTop +
                         kSkipBottom + "\n\nError: \"/dev/full\" file creation failed.\n",
                     {}});
    cases.push_back({"new drills on a full device",
                     {{"board_outline.grb", kOutlineSource}, {"drill_file.drl", kDrillSource}},
                     {},
                     {"N1", "N2/dev/full", "N3", "N4"},
                     2,
                     kSkipOutline + "\n  New drills changed to \"/dev/full\"" + kSkipTop +
                         kSkipBottom + "\n\nError: \"/dev/full\" file creation failed.\n",
                     {}});
  }
  return cases;
}

TEST(Hostile, EveryCaseEndsWithItsStatusAndLeavesSourcesUnchanged) {
  for (const HostileCase& c : hostile_cases()) {
    SCOPED_TRACE(c.name);
    TempDir dir;
    for (const std::string& d : c.directories) ASSERT_EQ(mkdir(dir.file(d).c_str(), 0755), 0);
    for (const auto& [name, content] : c.sources) dir.write(name, content);

    RunResult run = run_quorlan(dir.path(), c.args);

    EXPECT_EQ(run.errors, "");
    EXPECT_GE(run.exit_status, 0);
    EXPECT_LE(run.exit_status, 4);
    EXPECT_EQ(run.exit_status, c.exit_status);
    EXPECT_EQ(mask_elapsed(run.output), banner() + c.output);
    for (const auto& [name, content] : c.sources)
      EXPECT_EQ(dir.read(name), content) << name << " changed";

    std::vector<std::string> expected_files;  // directly in the working directory
    for (const auto& entry : c.sources)
      if (entry.first.find('/') == std::string::npos) expected_files.push_back(entry.first);
    for (const auto& [name, content] : c.new_files) {
      expected_files.push_back(name);
      if (content != kAnyContent) {
        EXPECT_EQ(dir.read(name), content) << name;
      }
    }
    std::sort(expected_files.begin(), expected_files.end());
    EXPECT_EQ(dir.files(), expected_files);
  }
}

// Random bytes as a command script: whatever its lines happen to say, the run
// ends with a status of its own and touches no source.
TEST(Hostile, RandomDataAsScript) {
  TempDir dir;
  std::string noise = random_bytes();
  dir.write("noise.pcs", noise);
  dir.write("board_outline.grb", kOutlineSource);
  RunResult run = run_quorlan(dir.path(), {"Cnoise"});
  EXPECT_EQ(run.errors, "");
  EXPECT_GE(run.exit_status, 0);
  EXPECT_LE(run.exit_status, 4);
  EXPECT_EQ(run.output.rfind(banner() + running("noise.pcs", 1), 0), 0u);
  EXPECT_EQ(dir.read("noise.pcs"), noise);
  EXPECT_EQ(dir.read("board_outline.grb"), kOutlineSource);
}

size_t count_of(const std::string& text, const std::string& part) {
  size_t count = 0;
  for (size_t at = text.find(part); at != std::string::npos; at = text.find(part, at + 1)) ++count;
  return count;
}

// A script that calls itself four times would run 4 + 16 + ... + 65536 times
// within eight levels (found by fuzzing as a job that never ends). A job runs
// at most 1024 scripts; further C commands are refused and the run goes on.
TEST(Hostile, ScriptsThatFanOutStopAfter1024Runs) {
  TempDir dir;
  std::string fan = "Cfan\nCfan\nCfan\nCfan\n";
  dir.write("fan.pcs", fan);
  RunResult run = run_quorlan(dir.path(), {"N1", "N2", "N3", "N4", "Cfan"});
  EXPECT_EQ(run.errors, "");
  EXPECT_EQ(run.exit_status, 0);
  std::string output = mask_elapsed(run.output);
  EXPECT_EQ(count_of(output, "\n  -- Running \"fan.pcs\" at nested level "), 1024u);
  EXPECT_EQ(count_of(output, done("fan.pcs")), 1024u);
  EXPECT_NE(output.find("\n\n-- Maximum nesting level reached, \"Cfan\" ignored --\n\n"),
            std::string::npos);
  EXPECT_NE(output.find("\n\n-- Maximum of 1024 scripts per job reached, \"Cfan\" ignored --\n\n"),
            std::string::npos);
  EXPECT_EQ(output.substr(output.size() - summary(0).size()), summary(0));
  EXPECT_EQ(dir.read("fan.pcs"), fan);
}

TEST(Hostile, UnsignedFieldsOutOfRangeDoNotScan) {
  struct Case {
    const char* text;
    bool scans;
    unsigned value;
    size_t end;  // where scanning stops when it succeeds
  };
  const Case cases[] = {
      {"4294967295*", true, UINT_MAX, 10},
      {"4294967296*", false, 0, 0},
      {"18446744073709551617", false, 0, 0},  // 2^64 + 1 must not wrap to 1
      {"99999999999999999999999999999", false, 0, 0},
      {"000000000000000000000042C", true, 42, 24},
      {" \t+7", true, 7, 4},
      {"-0", true, 0, 2},
      {"-1", false, 0, 0},
      {"", false, 0, 0},
      {"C12", false, 0, 0},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.text);
    size_t pos = 0;
    unsigned value = 12345;
    EXPECT_EQ(scan_unsigned(c.text, pos, value), c.scans);
    EXPECT_EQ(value, c.scans ? c.value : 12345u) << "a failed scan leaves the value";
    EXPECT_EQ(pos, c.end);
  }
}

TEST(Hostile, ShiftedCoordinatesThatDoNotFitAreRefused) {
  struct Case {
    double coordinate;
    double offset;
    bool fits;
    int result;
  };
  const Case cases[] = {
      {2147483647.0, 0.0, true, INT_MAX},
      {2147483646.0, 0.0001, true, INT_MAX},
      {2147483647.0, 0.0001, false, 0},
      {-2147483648.0, 0.0, true, INT_MIN},
      {-2147483648.0, -0.0001, false, 0},
      {1e300, 0.0, false, 0},
      {0.0, 1e308, false, 0},
      {0.0, std::numeric_limits<double>::infinity(), false, 0},
      {std::numeric_limits<double>::quiet_NaN(), 0.0, false, 0},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(std::to_string(c.coordinate) + " by " + std::to_string(c.offset));
    int result = 7;
    EXPECT_EQ(shift_coordinate(c.coordinate, c.offset, result), c.fits);
    EXPECT_EQ(result, c.fits ? c.result : 7);
  }
}

// SOURCE_DATE_EPOCH near the end of time_t: the year would overflow an int, so
// the stamp falls back to the local time.
TEST(Hostile, StampOfAnEpochWhoseYearDoesNotFit) {
  const char* saved = std::getenv("SOURCE_DATE_EPOCH");
  std::string before = saved != nullptr ? saved : "";
  setenv("SOURCE_DATE_EPOCH", "67768036191676799", 1);
  std::string stamp = current_run_stamp();
  if (saved != nullptr)
    setenv("SOURCE_DATE_EPOCH", before.c_str(), 1);
  else
    unsetenv("SOURCE_DATE_EPOCH");
  std::string year = stamp.substr(stamp.rfind(' ') + 1);
  EXPECT_EQ(year.size(), 4u) << stamp;
  EXPECT_GE(year, "2009") << stamp;
}

}  // namespace
