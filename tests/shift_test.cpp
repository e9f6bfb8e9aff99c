// Moving hit and draw coordinates by the current offset.
#include <gtest/gtest.h>

#include <string>

#include "app/job_settings.h"
#include "convert/coords.h"
#include "convert/drill.h"
#include "convert/drilled.h"

namespace {

struct ShiftCase {
  const char* x;
  const char* y;
  double offset_x;
  double offset_y;
  const char* moved_x;  // nullptr: the line does not move at all
  const char* moved_y;
};

// Hits and draws share one rounding: to the nearest unit, halves away from
// zero, for negative results too.
const ShiftCase kShiftCases[] = {
    {"100", "200", 0.01, -0.02, "200", "0"},
    {"100", "100", -0.02, 0.0, "-100", "100"},
    {"100", "-50", 0.0, 0.0, "100", "-50"},
    {"0", "0", 0.0, 0.0, "0", "0"},
    {"012345", "023456", 0.5, 0.0, "17345", "23456"},
    {"-003000", "001000", 0.5, -0.25, "2000", "-1500"},
    {"-20000", "-100", 1.0, 0.0, "-10000", "-100"},
    // halves
    {"0.5", "-0.5", 0.0, 0.0, "1", "-1"},
    {"2.5", "-2.5", 0.0, 0.0, "3", "-3"},
    {"0.5", "12345.5", -0.02, 0.5, "-200", "17346"},
    {"-12345.5", "-0.5", 0.5, 0.01, "-7346", "100"},
    // limits of the output integer
    {"2147483647", "-2147483648", 0.0, 0.0, "2147483647", "-2147483648"},
    {"2147483647.4", "0", 0.0, 0.0, "2147483647", "0"},
    {"2147483648", "0", 0.0, 0.0, nullptr, nullptr},
    {"0", "-2147483648.6", 0.0, 0.0, nullptr, nullptr},
    {"100", "100", 1e300, 0.0, nullptr, nullptr},
    {"1e300", "0", 0.0, 0.0, nullptr, nullptr},
    {"0", "1e400", 0.0, 0.0, nullptr, nullptr},
    {"nan", "0", 0.0, 0.0, nullptr, nullptr},
    {"0", "inf", 0.0, 0.0, nullptr, nullptr},
};

TEST(Shift, HitsAndDrawsRoundHalvesAwayFromZero) {
  for (const ShiftCase& c : kShiftCases) {
    JobSettings job;
    job.offset = {c.offset_x, c.offset_y};
    std::string coords = std::string("X") + c.x + "Y" + c.y;
    std::string moved = c.moved_x ? std::string("X") + c.moved_x + "Y" + c.moved_y : coords;
    SCOPED_TRACE(coords);
    EXPECT_EQ(shift_hit(job, coords), moved);
    EXPECT_EQ(shift_draw(job, "G01" + coords + "D01*"),
              c.moved_x ? moved + "D01*" : "G01" + coords + "D01*");
  }
}

TEST(Shift, CoordinateHelperReportsWhatDoesNotFit) {
  int result = 7;
  EXPECT_TRUE(shift_coordinate(-50.0, 0.0, result));
  EXPECT_EQ(result, -50);
  EXPECT_TRUE(shift_coordinate(100.0, -0.02, result));
  EXPECT_EQ(result, -100);
  result = 7;
  EXPECT_FALSE(shift_coordinate(2147483648.0, 0.0, result));
  EXPECT_FALSE(shift_coordinate(0.0, 1e308, result));
  EXPECT_EQ(result, 7);
}

TEST(Shift, HitLinesKeepOnlyTheirCoordinates) {
  JobSettings job;
  job.offset = {0.01, 0.0};
  const struct {
    const char* line;
    const char* expected;
  } cases[] = {
      {"X100Y200", "X200Y200"},
      {"X100Y200T02", "X200Y200"},  // whatever follows Y is not carried over
      {"X 100Y 200", "X200Y200"},   // blanks before a number are allowed
      {"X100", "X100"},
      {"Y200", "Y200"},
      {"X100 Y200", "X100 Y200"},
      {"XY200", "XY200"},
      {"", ""},
  };
  for (const auto& c : cases) EXPECT_EQ(shift_hit(job, c.line), c.expected) << c.line;
}

TEST(Shift, DrawLinesNeedXYAndACode) {
  JobSettings job;
  job.offset = {0.0, -0.5};
  const struct {
    const char* line;
    const char* expected;
  } cases[] = {
      {"G01X100Y100D02*", "X100Y-4900D02*"},
      {"X100Y100D1*", "X100Y-4900D01*"},
      {"X100Y100D123*", "X100Y-4900D123*"},
      {"X100Y100D03*G04 rest*", "X100Y-4900D03*"},
      // not moved: selects, arcs, single axes, no D code, other codes
      {"G54D10*", "G54D10*"},
      {"G01X100Y100I50J0D01*", "G01X100Y100I50J0D01*"},
      {"G01X100D01*", "G01X100D01*"},
      {"Y100D01*", "Y100D01*"},
      {"X100Y100*", "X100Y100*"},
      {"G02X100Y100D01*", "G02X100Y100D01*"},
      {"%LPC*%", "%LPC*%"},
  };
  for (const auto& c : cases) EXPECT_EQ(shift_draw(job, c.line), c.expected) << c.line;
}

}  // namespace
