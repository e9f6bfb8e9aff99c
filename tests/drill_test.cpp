// The Excellon drill file converted into Gerber flashes.
#include "convert/drill.h"

#include <gtest/gtest.h>

#include <string>

#include "app/job_settings.h"
#include "example_board.h"
#include "fixtures.h"
#include "test_support.h"

namespace {

struct DrillRun {
  ConversionStatus status;
  std::string output;  // the new drills file as far as it was written
};

DrillRun convert_drill_text(JobSettings& job, const std::string& source) {
  TempDir dir;
  dir.write("drill_file.drl", source);
  job.drill_source = dir.file("drill_file.drl");
  job.new_drills = dir.file("holes.gbr");
  job.run_stamp = kStamp;
  ConversionStatus status = convert_drill(job);
  return {status, dir.read("holes.gbr")};
}

void suppress(JobSettings& job, double diameter) {
  SuppressedDiameter row;
  row.diameter = diameter;
  job.suppressed.push_back(row);
}

const std::string kEnd = "\nM00*\nM02*\n";

TEST(DrillConversion, SuppressedDiameterLeavesOutApertureSelectAndHits) {
  JobSettings job;
  suppress(job, 0.04);
  DrillRun run = convert_drill_text(job, kDrillSource);
  EXPECT_EQ(run.status, kDone);
  EXPECT_EQ(run.output, std::string(kDrillHeader) +
                            "%ADD10C,0.035000*%\n"
                            "\n"
                            "G54D10*\n"
                            "X012345Y023456D03*\n"
                            "X013345Y023456D03*\n" +
                            kEnd);
  EXPECT_EQ(job.suppressed[0].tool, 2u);
  EXPECT_EQ(job.files_created, 1u);
}

TEST(DrillConversion, DiameterIsComparedRoundedToFourDecimals) {
  const struct {
    const char* diameter;
    const char* expected;
  } cases[] = {
      {"0.03504", ""},                                           // rounds to the suppressed 0.035
      {"0.03506", "%ADD10C,0.035060*%\n\nG54D10*\nX1Y1D03*\n"},  // rounds to 0.0351
  };
  for (const auto& c : cases) {
    JobSettings job;
    suppress(job, 0.035);
    DrillRun run = convert_drill_text(
        job, std::string("M48\nINCH\nT1C") + c.diameter + "\n%\nG90\nT1\nX1Y1\nM30\n");
    EXPECT_EQ(run.status, kDone) << c.diameter;
    EXPECT_EQ(run.output, kDrillHeader + std::string(c.expected) + kEnd) << c.diameter;
  }
}

// A select and hits for a tool whose aperture was left out would make an
// invalid Gerber file, so every tool of a suppressed diameter goes.
TEST(DrillConversion, AllToolsOfOneSuppressedDiameterAreLeftOut) {
  JobSettings job;
  suppress(job, 0.035);
  DrillRun run = convert_drill_text(job,
                                    "M48\nINCH\nT1C0.035\nT2C0.03504\nT3C0.040\n%\nG90\n"
                                    "T1\nX1Y1\nT2\nX2Y2\nT3\nX3Y3\nT1\nX4Y4\nM30\n");
  EXPECT_EQ(run.status, kDone);
  EXPECT_EQ(run.output,
            std::string(kDrillHeader) + "%ADD12C,0.040000*%\n\nG54D12*\nX3Y3D03*\n" + kEnd);
  EXPECT_EQ(job.suppressed[0].tool, 2u);  // the last tool read of that diameter
}

TEST(DrillConversion, BodyLines) {
  JobSettings job;
  DrillRun run = convert_drill_text(job,
                                    ";Holesize 1 = 28.0 PLATED MILS\r\n"
                                    "M48\r\n"
                                    "INCH,00.0000\r\n"
                                    "T01C0.028\r\n"
                                    "%\r\n"
                                    "G05\r\n"
                                    "G90\r\n"
                                    "X5Y5\r\n"  // before any select: written
                                    "T01\r\n"
                                    "Y7\r\n"  // Y alone: ignored
                                    "  X-003000Y001000\r\n"
                                    "G04 note\r\n"  // anything else: ignored
                                    "M72\r\n"       // any M line ends the hits
                                    "X9Y9\r\n"
                                    "M30\r\n");
  EXPECT_EQ(run.status, kDone);
  EXPECT_EQ(run.output, std::string(kDrillHeader) +
                            "%ADD10C,0.028000*%\n"
                            "X5Y5D03*\n"
                            "\n"
                            "G54D10*\n"
                            "X-003000Y001000D03*\n" +
                            kEnd);
}

TEST(DrillConversion, HitsMoveWhileAnOffsetIsActive) {
  JobSettings job;
  job.offset = {0.01, -0.02};
  job.offset_active = true;
  DrillRun run =
      convert_drill_text(job, "M48\nINCH\nT1C0.035\n%\nG90\nT1\nX100Y200\nX100Y-50\nX100\nM30\n");
  EXPECT_EQ(run.status, kDone);
  EXPECT_EQ(run.output, std::string(kDrillHeader) +
                            "%ADD10C,0.035000*%\n\nG54D10*\nX200Y0D03*\nX200Y-250D03*\nX100D03*\n" +
                            kEnd);
}

TEST(DrillConversion, EarlyEndsAndUnreadableTools) {
  const std::string adds = "%ADD10C,0.035000*%\n";
  const struct {
    const char* source;
    ConversionStatus status;
    std::string written;  // after the header
  } cases[] = {
      {"M48\nT1C0.035\n%\nG90\nT1\nX1Y1\nM30\n", kPrematureEof, ""},     // no INCH
      {"M48\nINCH\nT1C0.035\n", kPrematureEof, adds},                    // no "%"
      {"M48\nINCH\nT1C0.035\n%\nT1\nX1Y1\nM30\n", kPrematureEof, adds},  // no G90
      {"M48\nINCH\nT1C0.035\n%\nG90\nT1\nX1Y1\n", kPrematureEof, adds + "\nG54D10*\nX1Y1D03*\n"},
      {"M48\nINCH\nT1C0.035\n\nT2C0.04\n%\nG90\nM30\n", kParseError, adds},  // blank line
      {"M48\nINCH\nT1\n%\nG90\nM30\n", kParseError, ""},
      {"M48\nINCH\nT1C\n%\nG90\nM30\n", kParseError, ""},
      {"M48\nINCH\nTC0.035\n%\nG90\nM30\n", kParseError, ""},
      {"M48\nINCH\nC0.035\n%\nG90\nM30\n", kParseError, ""},
      {"M48\nINCH\nT1C0.035\n%\nG90\nTA\nX1Y1\nM30\n", kParseError, adds},  // select without number
  };
  for (const auto& c : cases) {
    JobSettings job;
    DrillRun run = convert_drill_text(job, c.source);
    EXPECT_EQ(run.status, c.status) << c.source;
    EXPECT_EQ(run.output, kDrillHeader + c.written) << c.source;
    EXPECT_EQ(job.files_created, 0u);
  }
}

}  // namespace
