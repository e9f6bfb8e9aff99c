// Drilled copies of Gerber layers: names, aperture numbers, offsets, messages.
#include "convert/drilled.h"

#include <gtest/gtest.h>

#include <filesystem>
#include <string>
#include <utility>
#include <vector>

#include "example_board.h"
#include "fixtures.h"
#include "test_support.h"

namespace {

namespace fs = std::filesystem;

// Every file but the drilled copies switched off.
const std::vector<std::string> kCopiesOnly = {"N1", "N2", "N3", "N4"};
const std::string kCopiesOnlySaid =
    "\n  -- Outline creation skipped --"
    "\n  -- Drill file creation skipped --"
    "\n  -- Top mask file creation skipped --"
    "\n  -- Bottom mask file creation skipped --";

std::vector<std::string> copies_only(std::vector<std::string> more) {
  std::vector<std::string> args = kCopiesOnly;
  args.insert(args.end(), more.begin(), more.end());
  return args;
}

std::string without(std::string text, const std::string& part) {
  size_t at = text.find(part);
  EXPECT_NE(at, std::string::npos) << part;
  if (at != std::string::npos) text.erase(at, part.size());
  return text;
}

TEST(DrilledCopyName, SuffixGoesBeforeTheFirstDotOfTheFileName) {
  const struct {
    const char* name;
    const char* suffix;
    const char* expected;
  } cases[] = {
      {"top.gbr", "_drilled", "top_drilled.gbr"},
      {"top.gbr", "_drilledOf12", "top_drilledOf12.gbr"},
      {"top.copper.gbr", "_drilled", "top_drilled.copper.gbr"},
      {"toplayer", "_drilled", "toplayer_drilled"},
      {"../toplayer", "_drilled", "../toplayer_drilled"},
      {"../gerbers/top.gbr", "_drilled", "../gerbers/top_drilled.gbr"},
      {"..\\top.gbr", "_drilled", "..\\top_drilled.gbr"},
      {"C:\\cam.v2\\top", "_drilledOf1", "C:\\cam.v2\\top_drilledOf1"},
      {"cam.v2/top.gbr", "_drilled", "cam.v2/top_drilled.gbr"},
      {".gbr", "_drilled", "_drilled.gbr"},
  };
  for (const auto& c : cases) EXPECT_EQ(drilled_copy_name(c.name, c.suffix), c.expected) << c.name;
}

TEST(DrilledCopies, CopiesOutsideTheWorkingDirectoryGoBesideTheirLayer) {
  TempDir dir;
  write_example_board(dir, "work");
  dir.write("top.gbr", kCopperSource);
  dir.write("gerbers/top.gbr", kCopperSource);
  RunResult run =
      run_quorlan(dir.file("work"), copies_only({"D..\\top.gbr", "D../gerbers/top.gbr"}));
  EXPECT_EQ(run.exit_status, 0);
  EXPECT_EQ(mask_elapsed(run.output), banner() + kCopiesOnlySaid +
                                          "\n  \"..\\top.gbr\" gets drilled (1)"
                                          "\n  \"../gerbers/top.gbr\" gets drilled (1)"
                                          "\n     ..\\top_drilled.gbr created"
                                          "\n     ../gerbers/top_drilled.gbr created" +
                                          summary(2));
  EXPECT_EQ(dir.read("top_drilled.gbr"), kCopperDrilledExpected);
  EXPECT_EQ(dir.read("gerbers/top_drilled.gbr"), kCopperDrilledExpected);
}

TEST(DrilledCopies, DrillAperturesNumberAboveTheLayersOwn) {
  const struct {
    const char* name;
    const char* apertures;
    unsigned first_tool;
  } cases[] = {
      {"a.gbr", "%ADD10C,0.0100*%\n%ADD25C,0.0100*%\n%ADD11C,0.0100*%\n", 26},
      {"b.gbr", "", 10},
      {"c.gbr", "%ADD05C,0.0100*%\n%ADD9C,0.0100*%\n%ADDC,0.0100*%\n", 10},
      {"d.gbr", "%ADD10C,0.0100*%\n", 11},
  };
  TempDir dir;
  write_example_board(dir);
  std::vector<std::string> args = kCopiesOnly;
  for (const auto& c : cases) {
    dir.write(c.name, std::string("%FSLAX24Y24*%\n%MOIN*%\n") + c.apertures +
                          "G90*\nG54D10*\nX0Y0D03*\nM00*\nM02*\n");
    args.push_back(std::string("D") + c.name);
  }
  RunResult run = run_quorlan(dir.path(), args);
  ASSERT_EQ(run.exit_status, 0) << run.output;
  for (const auto& c : cases) {
    std::string copy = dir.read(drilled_copy_name(c.name, "_drilled"));
    std::string t1 = std::to_string(c.first_tool);
    std::string t2 = std::to_string(c.first_tool + 1);
    EXPECT_NE(copy.find(c.apertures +
                        ("%ADD" + t1 + "C,0.035000*%\n%ADD" + t2 + "C,0.040000*%\n\nG90*\n")),
              std::string::npos)
        << c.name << "\n"
        << copy;
    EXPECT_NE(copy.find("\nG54D" + t1 + "*\nX012345Y023456D03*\n"), std::string::npos) << c.name;
    EXPECT_NE(copy.find("\nG54D" + t2 + "*\nX020000Y010000D03*\n"), std::string::npos) << c.name;
  }
}

TEST(DrilledCopies, SuppressedDiametersAreMissing) {
  TempDir dir;
  write_example_board(dir);
  dir.write("top.gbr", kCopperSource);
  RunResult run = run_quorlan(dir.path(), copies_only({"X0.04", "Dtop.gbr"}));
  EXPECT_EQ(run.exit_status, 0);
  std::string expected = without(kCopperDrilledExpected, "%ADD13C,0.040000*%\n");
  expected = without(expected, "\nG54D13*\nX020000Y010000D03*\n");
  EXPECT_EQ(dir.read("top_drilled.gbr"), expected);
}

TEST(DrilledCopies, EachOffsetMakesANumberedCopy) {
  TempDir dir;
  write_example_board(dir);
  dir.write("top.gbr", kCopperSource);
  RunResult run =
      run_quorlan(dir.path(), copies_only({"Dtop.gbr", "O0.5,0", "Dtop.gbr", "O1,0", "Dtop.gbr"}));
  EXPECT_EQ(run.exit_status, 0);
  EXPECT_EQ(mask_elapsed(run.output),
            banner() + kCopiesOnlySaid +
                "\n  \"top.gbr\" gets drilled (1)"
                "\n  Data Offset (0.500, 0.000)"
                "\n  \"top.gbr\" gets drilled (2) with offset (0.500,0.000)"
                "\n  Data Offset (1.000, 0.000)"
                "\n  \"top.gbr\" gets drilled (3) with offset (1.000,0.000)"
                "\n     top_drilled.gbr created"
                "\n     top_drilledOf1.gbr created"
                "\n     top_drilledOf2.gbr created" +
                summary(3));
  EXPECT_EQ(dir.read("top_drilled.gbr"), kCopperDrilledExpected);
  std::string of2 = dir.read("top_drilledOf2.gbr");
  for (const char* line :
       {"G04 Offset by (1.000,0.000) and drilled by", "\nX15000Y5000D03*\n",
        "\nG54D10*\nX10000Y0D02*\nX20000Y0D01*\n",
        "\nG54D12*\nX22345Y23456D03*\nX23345Y23456D03*\n", "\nG54D13*\nX30000Y10000D03*\n"})
    EXPECT_NE(of2.find(line), std::string::npos) << line;
}

TEST(DrilledCopies, LayerWithoutM00LeavesItsPartialCopy) {
  TempDir dir;
  write_example_board(dir);
  dir.write("top.gbr", without(kCopperSource, "M00*\n"));
  RunResult run = run_quorlan(dir.path(), copies_only({"Dtop.gbr"}));
  EXPECT_EQ(run.exit_status, 3);
  EXPECT_EQ(run.output, banner() + kCopiesOnlySaid + "\n  \"top.gbr\" gets drilled (1)" +
                            "\n\nError: premature EOF while reading \"top.gbr\".\n");
  std::string expected = kCopperDrilledExpected;
  expected = expected.substr(0, expected.find("X10000Y0D01*\n") + 13) + "M02*\n";
  EXPECT_EQ(dir.read("top_drilled.gbr"), expected);
}

struct MessageCase {
  const char* what;
  std::vector<std::string> args;
  std::vector<std::pair<std::string, const char*>> files;  // written; nullptr removes
  std::string messages;                                    // after the D commands' own messages
  int exit_status;
  unsigned files_made;
};

const MessageCase kMessageCases[] = {
    {"missing layer, next request still runs",
     {"N1", "N2", "N3", "N4", "Dmissing.gbr", "Dtop.gbr"},
     {},
     "\n  \"missing.gbr\" gets drilled (1)\n  \"top.gbr\" gets drilled (1)"
     "\n\nWarning: \"missing.gbr\" not found, no drilled file created.\n"
     "\n     top_drilled.gbr created",
     0,
     1},
    {"missing layer with two offsets",
     {"N1", "N2", "N3", "N4", "Dmissing.gbr", "O1,0", "Dmissing.gbr"},
     {},
     "\n  \"missing.gbr\" gets drilled (1)\n  Data Offset (1.000, 0.000)"
     "\n  \"missing.gbr\" gets drilled (2) with offset (1.000,0.000)"
     "\n\nWarning: \"missing.gbr\" not found, no drilled files created.\n",
     0,
     0},
    {"copy cannot be created",
     {"N1", "N2", "N3", "N4", "Dtop.gbr"},
     {{"top_drilled.gbr/x", ""}},
     "\n  \"top.gbr\" gets drilled (1)\n\nError: drilled file creation failed.\n",
     2,
     0},
    {"drill file whose tool table does not parse",
     {"N1", "N2", "N3", "N4", "Dtop.gbr"},
     {{"drill_file.drl", "M48\nINCH\nT1\n%\nG90\nM30\n"}},
     "\n  \"top.gbr\" gets drilled (1)"
     "\n\nError: parsing data in \"drill_file.drl\" or \"top.gbr\".\n",
     4,
     0},
    {"drill file without hits section",
     {"N1", "N2", "N3", "N4", "Dtop.gbr"},
     {{"drill_file.drl", "M48\nINCH\nT1C0.035\n%\n"}},
     "\n  \"top.gbr\" gets drilled (1)\n\nError: premature EOF while reading \"top.gbr\".\n",
     3,
     0},
    {"drill file skipped and missing",
     {"N1", "N2", "N3", "N4", "Dtop.gbr"},
     {{"drill_file.drl", nullptr}},
     "\n  \"top.gbr\" gets drilled (1)"
     "\n\nWarning: drill file \"drill_file.drl\" not found, no drilled files created.\n\n",
     0,
     0},
    {"drill file missing",
     {"N1", "N3", "N4", "Dtop.gbr"},
     {{"drill_file.drl", nullptr}},
     "\n  \"top.gbr\" gets drilled (1)"
     "\n\nWarning: drill file \"drill_file.drl\" not found, \"holes.gbr\" not created.\n"
     "\n\nWarning: drill file \"drill_file.drl\" not found, no drilled files created.\n\n",
     0,
     0},
};

TEST(DrilledCopies, StageMessages) {
  for (const MessageCase& c : kMessageCases) {
    SCOPED_TRACE(c.what);
    TempDir dir;
    write_example_board(dir);
    dir.write("top.gbr", kCopperSource);
    for (const auto& [name, content] : c.files) {
      if (content == nullptr)
        fs::remove(dir.file(name));
      else
        dir.write(name, content);
    }
    RunResult run = run_quorlan(dir.path(), c.args);
    std::string said;
    for (const std::string& arg : c.args) {
      if (arg == "N1") said += "\n  -- Outline creation skipped --";
      if (arg == "N2") said += "\n  -- Drill file creation skipped --";
      if (arg == "N3") said += "\n  -- Top mask file creation skipped --";
      if (arg == "N4") said += "\n  -- Bottom mask file creation skipped --";
    }
    EXPECT_EQ(run.exit_status, c.exit_status);
    EXPECT_EQ(mask_elapsed(run.output),
              banner() + said + c.messages + (c.exit_status == 0 ? summary(c.files_made) : ""));
  }
}

// A copy is never written over a file the run reads: the four sources and
// the layer of every request.
TEST(DrilledCopies, NeverOverwriteASource) {
  const struct {
    const char* what;
    std::vector<std::string> args;
    const char* victim;
  } cases[] = {
      {"the drill source", {"S2top_drilled.gbr", "Dtop.gbr"}, "top_drilled.gbr"},
      {"another request's layer", {"Dtop.gbr", "Dtop_drilled.gbr"}, "top_drilled.gbr"},
      {"a source reached through a link", {"Dtop.gbr"}, "board_outline.grb"},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.what);
    TempDir dir;
    write_example_board(dir);
    dir.write("top.gbr", kCopperSource);
    if (std::string(c.victim) == "top_drilled.gbr")
      dir.write("top_drilled.gbr", kDrillSource);
    else
      fs::create_symlink(c.victim, dir.file("top_drilled.gbr"));
    std::string before = dir.read(c.victim);
    RunResult run = run_quorlan(dir.path(), copies_only(c.args));
    EXPECT_EQ(run.exit_status, 2);
    EXPECT_NE(run.output.find("\n\nError: drilled file creation failed.\n"), std::string::npos)
        << run.output;
    EXPECT_EQ(dir.read(c.victim), before);
  }
}

// The typical job: a script sets the source path, skips the holes file,
// suppresses a diameter and asks for the top copper drilled twice.
TEST(DrilledCopies, TypicalScriptedJob) {
  TempDir dir;
  write_example_board(dir, "board");
  dir.write("board/top_copper.gbr", kCopperSource);
  dir.write("job.pcs", "SPboard\nN2\nX0.125\nDtop_copper.gbr\nO2.5,0\nDtop_copper.gbr\n");
  RunResult run = run_quorlan(dir.path(), {"Cjob"});
  EXPECT_EQ(run.exit_status, 0);
  EXPECT_EQ(mask_elapsed(run.output),
            banner() +
                "\n  -- Running \"job.pcs\" at nested level 1 --"
                "\n  Source path changed to \"board\\\""
                "\n  -- Drill file creation skipped --"
                "\n  1  0.1250 dia drills suppressed"
                "\n  \"top_copper.gbr\" gets drilled (1)"
                "\n  Data Offset (2.500, 0.000)"
                "\n  \"top_copper.gbr\" gets drilled (2) with offset (2.500,0.000)"
                "\n  -- \"job.pcs\" done --"
                "\n\n     outline_poly.gbr created"
                "\n     top_smask_poly.gbr created"
                "\n     bottom_smask_poly.gbr created"
                "\n     top_copper_drilled.gbr created"
                "\n     top_copper_drilledOf1.gbr created" +
                summary(5));
  // The copies go to the working directory even though their layer was
  // found only under the source path.
  EXPECT_EQ(dir.files(),
            (std::vector<std::string>{"bottom_smask_poly.gbr", "job.pcs", "outline_poly.gbr",
                                      "top_copper_drilled.gbr", "top_copper_drilledOf1.gbr",
                                      "top_smask_poly.gbr"}));
  EXPECT_FALSE(dir.exists("board/top_copper_drilled.gbr"));
  EXPECT_EQ(dir.read("outline_poly.gbr"), kOutlineExpected);
  EXPECT_EQ(dir.read("top_smask_poly.gbr"), kMaskExpected);
  EXPECT_EQ(dir.read("top_copper_drilled.gbr"), kCopperDrilledExpected);
  std::string moved = dir.read("top_copper_drilledOf1.gbr");
  for (const char* line :
       {"G04 Offset by (2.500,0.000) and drilled by", "\nX30000Y5000D03*\n",
        "\nX25000Y0D02*\nX35000Y0D01*\n", "\nX37345Y23456D03*\n", "\nX45000Y10000D03*\n"})
    EXPECT_NE(moved.find(line), std::string::npos) << line;
}

}  // namespace
