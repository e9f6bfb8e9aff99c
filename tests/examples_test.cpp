// The example boards converted end to end through the built program.
#include <gtest/gtest.h>

#include "fixtures.h"
#include "test_support.h"

namespace {

void write_example_sources(const TempDir& dir) {
  dir.write("board_outline.grb", kOutlineSource);
  dir.write("drill_file.drl", kDrillSource);
  dir.write("top_solder_mask.grb", kMaskSource);
  dir.write("bottom_solder_mask.grb", kMaskSource);
}

TEST(Examples, DefaultJobWritesFourFiles) {
  TempDir dir;
  write_example_sources(dir);
  RunResult run = run_quorlan(dir.path(), {});
  EXPECT_EQ(run.exit_status, 0);
  EXPECT_EQ(run.errors, "");
  EXPECT_EQ(mask_elapsed(run.output), banner() +
                                           "\n\n     outline_poly.gbr created"
                                           "\n     holes.gbr created"
                                           "\n     top_smask_poly.gbr created"
                                           "\n     bottom_smask_poly.gbr created" +
                                           summary(4));
  EXPECT_EQ(dir.read("outline_poly.gbr"), kOutlineExpected);
  EXPECT_EQ(dir.read("holes.gbr"), kDrillExpected);
  EXPECT_EQ(dir.read("top_smask_poly.gbr"), kMaskExpected);
  EXPECT_EQ(dir.read("bottom_smask_poly.gbr"), kMaskExpected);
}

TEST(Examples, DrilledCopyAtZeroAndNonZeroOffset) {
  TempDir dir;
  write_example_sources(dir);
  dir.write("top.gbr", kCopperSource);
  RunResult run = run_quorlan(dir.path(), {"N1", "N3", "N4", "N2", "Dtop.gbr", "O0.5,0", "Dtop.gbr"});
  EXPECT_EQ(run.exit_status, 0);
  EXPECT_EQ(mask_elapsed(run.output),
            banner() +
                "\n  -- Outline creation skipped --"
                "\n  -- Top mask file creation skipped --"
                "\n  -- Bottom mask file creation skipped --"
                "\n  -- Drill file creation skipped --"
                "\n  \"top.gbr\" gets drilled (1)"
                "\n  Data Offset (0.500, 0.000)"
                "\n  \"top.gbr\" gets drilled (2) with offset (0.500,0.000)"
                "\n     top_drilled.gbr created"
                "\n     top_drilledOf1.gbr created" +
                summary(2));
  EXPECT_EQ(dir.read("top_drilled.gbr"), kCopperDrilledExpected);

  std::string moved = kCopperDrilledExpected;
  auto replace = [&moved](const std::string& from, const std::string& to) {
    size_t at = moved.find(from);
    ASSERT_NE(at, std::string::npos) << from;
    moved.replace(at, from.size(), to);
  };
  replace("G04 Drilled by", "G04 Offset by (0.500,0.000) and drilled by");
  replace("\nX5000Y5000D03*", "\nX10000Y5000D03*");
  replace("G01X0Y0D02*\nX10000Y0D01*", "X5000Y0D02*\nX15000Y0D01*");
  replace("X012345Y023456D03*\nX013345Y023456D03*", "X17345Y23456D03*\nX18345Y23456D03*");
  replace("X020000Y010000D03*", "X25000Y10000D03*");
  EXPECT_EQ(dir.read("top_drilledOf1.gbr"), moved);
}

}  // namespace
