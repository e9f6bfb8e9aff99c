// The drill and mask stages of a run: which files they make, their messages
// and the exit status.
#include <gtest/gtest.h>

#include <algorithm>
#include <cstdio>
#include <string>
#include <utility>
#include <vector>

#include "example_board.h"
#include "fixtures.h"
#include "test_support.h"

namespace {

const char* const kSources[] = {"board_outline.grb", "drill_file.drl", "top_solder_mask.grb",
                                "bottom_solder_mask.grb"};

struct StageCase {
  const char* what;
  std::vector<std::string> args;
  std::vector<std::pair<std::string, const char*>> sources;  // replaced; nullptr removes it
  std::string messages;                                      // between the banner and the summary
  int exit_status;
  unsigned files;  // counted by the summary of a complete run
  std::vector<std::string> made;
};

const std::string kOutlineMade = "\n\n     outline_poly.gbr created";
const std::string kHolesMade = "\n     holes.gbr created";
const std::string kTopMade = "\n     top_smask_poly.gbr created";
const std::string kBottomMade = "\n     bottom_smask_poly.gbr created";
const char* const kHeaderOnlyMask = "G04 mask *\n%FSLAX24Y24*%\nG90*\nG54D10*\nX1Y1D03*\nM00*\n";

const StageCase kCases[] = {
    {"drill source missing",
     {},
     {{"drill_file.drl", nullptr}},
     kOutlineMade +
         "\n\nWarning: drill file \"drill_file.drl\" not found, \"holes.gbr\" not created.\n" +
         kTopMade + kBottomMade,
     0,
     3,
     {"outline_poly.gbr", "top_smask_poly.gbr", "bottom_smask_poly.gbr"}},
    {"drills file cannot be created",
     {"N2nodir/holes.gbr"},
     {},
     "\n  New drills changed to \"nodir/holes.gbr\"" + kOutlineMade +
         "\n\nError: \"nodir/holes.gbr\" file creation failed.\n",
     2,
     0,
     {"outline_poly.gbr"}},
    {"drill file without INCH",
     {},
     {{"drill_file.drl", "M48\nT1C0.035\n%\nG90\nM30\n"}},
     kOutlineMade + "\n\nError: premature EOF while reading \"drill_file.drl\".\n",
     3,
     0,
     {"outline_poly.gbr", "holes.gbr"}},
    {"tool table with a blank line",
     {},
     {{"drill_file.drl", "M48\nINCH\nT1C0.035\n\nT2C0.040\n%\nG90\nT1\nX1Y1\nM30\n"}},
     kOutlineMade + "\n\nError: parsing data in \"drill_file.drl\".\n",
     4,
     0,
     {"outline_poly.gbr", "holes.gbr"}},
    {"top mask source missing",
     {},
     {{"top_solder_mask.grb", nullptr}},
     kOutlineMade + kHolesMade +
         "\n\nWarning: mask file \"top_solder_mask.grb\" not found, \"top_smask_poly.gbr\" not "
         "created.\n" +
         kBottomMade,
     0,
     3,
     {"outline_poly.gbr", "holes.gbr", "bottom_smask_poly.gbr"}},
    {"bottom mask source missing",
     {},
     {{"bottom_solder_mask.grb", nullptr}},
     kOutlineMade + kHolesMade + kTopMade +
         "\n\nWarning: drill or mask file not found, \"bottom_smask_poly.gbr\" not created.\n",
     0,
     3,
     {"outline_poly.gbr", "holes.gbr", "top_smask_poly.gbr"}},
    {"top mask cannot be created",
     {"N3nodir/top.gbr"},
     {},
     "\n  New top mask changed to \"nodir/top.gbr\"" + kOutlineMade + kHolesMade +
         "\n\nError: \"nodir/top.gbr\" file creation failed.\n",
     2,
     0,
     {"outline_poly.gbr", "holes.gbr"}},
    {"bottom mask cannot be created",
     {"N4nodir/bottom.gbr"},
     {},
     "\n  New bottom mask changed to \"nodir/bottom.gbr\"" + kOutlineMade + kHolesMade + kTopMade +
         "\n\nError: \"nodir/bottom.gbr\" file creation failed.\n",
     2,
     0,
     {"outline_poly.gbr", "holes.gbr", "top_smask_poly.gbr"}},
    {"drills file on a full device",
     {"N2/dev/full"},
     {},
     "\n  New drills changed to \"/dev/full\"" + kOutlineMade +
         "\n\nError: \"/dev/full\" file creation failed.\n",
     2,
     0,
     {"outline_poly.gbr"}},
    {"top mask on a full device",
     {"N3/dev/full"},
     {},
     "\n  New top mask changed to \"/dev/full\"" + kOutlineMade + kHolesMade +
         "\n\nError: \"/dev/full\" file creation failed.\n",
     2,
     0,
     {"outline_poly.gbr", "holes.gbr"}},
    {"top mask without %LPD",
     {},
     {{"top_solder_mask.grb", kHeaderOnlyMask}},
     kOutlineMade + kHolesMade +
         "\n\nError: premature EOF while reading \"board_outline.grb\" or "
         "\"top_solder_mask.grb\".\n",
     3,
     0,
     {"outline_poly.gbr", "holes.gbr", "top_smask_poly.gbr"}},
    {"bottom mask without M00",
     {},
     {{"bottom_solder_mask.grb", "G04 mask *\n%FSLAX24Y24*%\nG90*\n%LPD*%\nX1Y1D03*\nM02*\n"}},
     kOutlineMade + kHolesMade + kTopMade +
         "\n\nError: premature EOF while reading \"board_outline.grb\" or "
         "\"bottom_solder_mask.grb\".\n",
     3,
     0,
     {"outline_poly.gbr", "holes.gbr", "top_smask_poly.gbr", "bottom_smask_poly.gbr"}},
    {"outline without Draw Parts read by the masks only",
     {"N1"},
     {{"board_outline.grb", "%MOIN*%\nG54D10*\nX0Y0D02*\n"}},
     "\n  -- Outline creation skipped --" + kHolesMade +
         "\n\nError: premature EOF while reading \"board_outline.grb\" or "
         "\"top_solder_mask.grb\".\n",
     3,
     0,
     {"holes.gbr", "top_smask_poly.gbr"}},
    {"no sources at all",
     {},
     {{"board_outline.grb", nullptr},
      {"drill_file.drl", nullptr},
      {"top_solder_mask.grb", nullptr},
      {"bottom_solder_mask.grb", nullptr}},
     "\n\nWarning: outline file \"board_outline.grb\" not found, \"outline_poly.gbr\" not "
     "created.\n"
     "\n\nWarning: drill file \"drill_file.drl\" not found, \"holes.gbr\" not created.\n"
     "\n\nWarning: no outline, \"top_smask_poly.gbr\" not created"
     "\n\nWarning: no outline, \"bottom_smask_poly.gbr\" not created",
     0,
     0,
     {}},
    {"outline source missing",
     {},
     {{"board_outline.grb", nullptr}},
     "\n\nWarning: outline file \"board_outline.grb\" not found, \"outline_poly.gbr\" not "
     "created.\n" +
         kHolesMade +
         "\n\nWarning: no outline, \"top_smask_poly.gbr\" not created"
         "\n\nWarning: no outline, \"bottom_smask_poly.gbr\" not created",
     0,
     1,
     {"holes.gbr"}},
    {"outline skipped and missing",
     {"N1"},
     {{"board_outline.grb", nullptr}},
     "\n  -- Outline creation skipped --" + kHolesMade +
         "\n\nWarning: no outline, \"top_smask_poly.gbr\" not created"
         "\n\nWarning: no outline, \"bottom_smask_poly.gbr\" not created",
     0,
     1,
     {"holes.gbr"}},
    {"outline skipped but present",
     {"N1"},
     {},
     "\n  -- Outline creation skipped --" + kHolesMade + kTopMade + kBottomMade,
     0,
     3,
     {"holes.gbr", "top_smask_poly.gbr", "bottom_smask_poly.gbr"}},
};

TEST(RunStages, MessagesExitStatusAndFiles) {
  for (const StageCase& c : kCases) {
    SCOPED_TRACE(c.what);
    TempDir dir;
    write_example_board(dir);
    for (const auto& [name, content] : c.sources) {
      if (content == nullptr)
        std::remove(dir.file(name).c_str());
      else
        dir.write(name, content);
    }
    std::vector<std::string> expected_files = c.made;
    for (const char* source : kSources)
      if (dir.exists(source)) expected_files.push_back(source);
    std::sort(expected_files.begin(), expected_files.end());

    RunResult run = run_quorlan(dir.path(), c.args);
    EXPECT_EQ(run.exit_status, c.exit_status);
    EXPECT_EQ(mask_elapsed(run.output),
              banner() + c.messages + (c.exit_status == 0 ? summary(c.files) : ""));
    EXPECT_EQ(run.errors, "");
    EXPECT_EQ(dir.files(), expected_files);
  }
}

TEST(RunStages, MasksComeFromTheOutlineSourceWhenTheOutlineIsSkipped) {
  TempDir dir;
  write_example_board(dir);
  RunResult run = run_quorlan(dir.path(), {"N1"});
  EXPECT_EQ(run.exit_status, 0);
  EXPECT_EQ(dir.read("top_smask_poly.gbr"), kMaskExpected);
  EXPECT_EQ(dir.read("bottom_smask_poly.gbr"), kMaskExpected);
}

}  // namespace
