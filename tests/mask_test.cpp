// Solder masks as negative images over the board outline.
#include "convert/mask.h"

#include <gtest/gtest.h>

#include <string>

#include "app/job_settings.h"
#include "fixtures.h"
#include "test_support.h"

namespace {

const std::string kComment =
    "G04 Converted by Quorlan Version 1.13R on Mon Mar 02 14:07:45 2009 *\n\n";
const std::string kHeader =
    "G04 mask *\n" + kComment + "%FSLAX24Y24*%\n%MOIN*%\n%ADD10C,0.0600*%\n";
// The example outline as dark regions, then clear polarity for the drawing.
const std::string kBoard =
    "\n%LPD*%\n\n"
    "G04 Begin outline 1 *\n\nG36*\nX0Y0D02*\nX10000Y0D01*\nX10000Y10000D01*\nX0Y0D01*\n"
    "G37*\nG04 End outline 1 *\n\n"
    "G04 Begin outline 2 *\nG36*\nX20000Y0D02*\nX30000Y0D01*\nG37*\nG04 End outline 2 *\n"
    "\n%LPC*%\n\n";
const std::string kEnd = "\nM00*\nM02*\n";
const std::string kSourceHeader = "G04 mask *\n%FSLAX24Y24*%\n%MOIN*%\n%ADD10C,0.0600*%\nG90*\n";

struct MaskRun {
  ConversionStatus status;
  std::string output;
};

MaskRun convert_mask_text(const std::string& mask, const std::string& outline = kOutlineSource) {
  TempDir dir;
  dir.write("board_outline.grb", outline);
  dir.write("top_solder_mask.grb", mask);
  JobSettings job;
  job.outline_source = dir.file("board_outline.grb");
  job.run_stamp = kStamp;
  ConversionStatus status = convert_mask(job, dir.file("top_solder_mask.grb"), dir.file("new.gbr"));
  EXPECT_EQ(job.files_created, status == kDone ? 1u : 0u);
  return {status, dir.read("new.gbr")};
}

TEST(MaskConversion, DrawingAndHeaderEdgeCases) {
  const struct {
    const char* what;
    std::string mask;
    ConversionStatus status;
    std::string expected;
  } cases[] = {
      {"polarity statements inside the drawing are dropped",
       kSourceHeader + "%LPD*%\nG54D10*\nX5000Y5000D03*\n%LPC*%\nX6000Y5000D03*\n%LPD*%\nM00*\n",
       kDone, kHeader + kBoard + "G54D10*\nX5000Y5000D03*\nX6000Y5000D03*\n" + kEnd},
      {"lines between G90 and %LPD are dropped",
       kSourceHeader + "%ADD11C,0.0100*%\nG04 late apertures *\n%LPD*%\nX1Y1D03*\nM00*\n", kDone,
       kHeader + kBoard + "X1Y1D03*\n" + kEnd},
      {"G01, %LP and M00* elsewhere than at the start stay",
       kSourceHeader + "%LPD*%\nX5000Y5000D03*G01*\nG04 G01 %LP M00* *\nX1Y1D01*M00*\n"
                       "  G01X2Y2D01*\nM00*\n",
       kDone,
       kHeader + kBoard + "X5000Y5000D03*G01*\nG04 G01 %LP M00* *\nX1Y1D01*M00*\nX2Y2D01*\n" +
           kEnd},
      {"a format line holding G90* ends the header without a comment",
       "G04 mask *\n%FSLAX24Y24*%G90*\n%LPD*%\nX1Y1D03*\nM00*\n", kDone,
       "G04 mask *\n" + kBoard + "X1Y1D03*\n" + kEnd},
      {"no M00: the whole drawing is written, then premature end",
       kSourceHeader + "%LPD*%\nG54D10*\nX5000Y5000D03*\nM02*\n", kPrematureEof,
       kHeader + kBoard + "G54D10*\nX5000Y5000D03*\nM02*\n"},
      {"no G90: all of it is header, no region is written",
       "G04 mask *\n%FSLAX24Y24*%\n%LPD*%\nX1Y1D03*\nM00*\n", kPrematureEof,
       "G04 mask *\n" + kComment + "%FSLAX24Y24*%\n%LPD*%\nX1Y1D03*\nM00*\n"},
      {"no %LPD after G90", kSourceHeader + "X1Y1D03*\nM00*\n", kPrematureEof, kHeader},
  };
  for (const auto& c : cases) {
    MaskRun run = convert_mask_text(c.mask);
    EXPECT_EQ(run.status, c.status) << c.what;
    EXPECT_EQ(run.output, c.expected) << c.what;
  }
}

TEST(MaskConversion, OutlineThatEndsEarly) {
  // No select before the drawing: nothing after the header is written.
  MaskRun run = convert_mask_text(kMaskSource, "%FSLAX24Y24*%\n%MOIN*%\nX0Y0D02*\n");
  EXPECT_EQ(run.status, kPrematureEof);
  EXPECT_EQ(run.output, kHeader);
  // No Draw Parts marker: the regions stop where the outline does.
  run = convert_mask_text(kMaskSource, "G54D10*\nX0Y0D02*\nX1Y0D01*\n");
  EXPECT_EQ(run.status, kPrematureEof);
  EXPECT_EQ(run.output,
            kHeader + "\n%LPD*%\n\nG04 Begin outline 1 *\n\nG36*\nX0Y0D02*\nX1Y0D01*\n");
}

TEST(MaskConversion, MissingOutlineSource) {
  TempDir dir;
  dir.write("mask.grb", kMaskSource);
  JobSettings job;
  job.outline_source = dir.file("board_outline.grb");
  EXPECT_EQ(convert_mask(job, dir.file("mask.grb"), dir.file("new.gbr")), kSourceMissing);
  EXPECT_FALSE(dir.exists("new.gbr"));
}

}  // namespace
