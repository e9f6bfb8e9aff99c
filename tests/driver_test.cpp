// The run driver with the outline stage: region blocks, stage messages, exit
// statuses, file names and paths, source protection and the run stamp.
#include <gtest/gtest.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cstdlib>
#include <regex>
#include <string>
#include <vector>

#include "app/job_settings.h"
#include "fixtures.h"
#include "test_support.h"

namespace {

// Only the outline stage runs.
const std::vector<std::string> kOutlineOnly = {"N2", "N3", "N4"};
constexpr const char* kOutlineOnlyText =
    "\n  -- Drill file creation skipped --"
    "\n  -- Top mask file creation skipped --"
    "\n  -- Bottom mask file creation skipped --";

std::vector<std::string> outline_only(std::vector<std::string> args) {
  args.insert(args.begin(), kOutlineOnly.begin(), kOutlineOnly.end());
  return args;
}

constexpr const char* kHeader =
    "G04 header *\n"
    "%FSLAX24Y24*%\n"
    "%MOIN*%\n"
    "%ADD10C,0.0100*%\n"
    "G90*\n"
    "G54D10*\n";
const std::string kConvertedHeader = std::string(
                                         "G04 header *\n"
                                         "G04 Converted by Quorlan Version 1.13R on ") +
                                     kStamp +
                                     " *\n\n"
                                     "%FSLAX24Y24*%\n"
                                     "%MOIN*%\n"
                                     "G90*\n"
                                     "\n%LPD*%\n\n";
constexpr const char* kMarker = "G04 -------------- Draw Parts\n";
constexpr const char* kEnd = "\nM00*\nM02*\n";

const std::string kLong300 = "G04 " + std::string(296, 'x');
const std::string kLong255 = "G04 " + std::string(251, 'y');

struct OutlineCase {
  const char* what;
  std::string source;
  std::string expected;  // the new outline file
  int status;
};

// Each source converts the same with "\n" and with "\r\n" line ends.
TEST(OutlineRun, RegionsAndEdgeCases) {
  const OutlineCase cases[] = {
      {"move on the first drawing line: one region",
       std::string(kHeader) + "G54D10*\nX0Y0D02*\nX10Y0D01*\nX10Y10D01*\n" + kMarker +
           "X50Y50D02*\nX60Y60D01*\n",
       kConvertedHeader +
           "G04 Begin outline 1 *\n\nG36*\nX0Y0D02*\nX10Y0D01*\nX10Y10D01*\n"
           "G37*\nG04 End outline 1 *\n" +
           kEnd,
       0},
      {"a line before the move stays alone in region 1",
       std::string(kHeader) + "G04 contour *\nX0Y0D02*\nX10Y0D01*\n" + kMarker,
       kConvertedHeader +
           "G04 Begin outline 1 *\n\nG36*\nG04 contour *\nG37*\nG04 End outline 1 *\n\n"
           "G04 Begin outline 2 *\nG36*\nX0Y0D02*\nX10Y0D01*\nG37*\nG04 End outline 2 *\n" +
           kEnd,
       0},
      {"selects dropped, G01 removed only at the start of a line",
       std::string(kHeader) +
           "G01X0Y0D02*\nG54D11*\nX10Y0D01*\nG01*\nG04 drawn with G01 *\nX10Y10G01D01*\n" +
           kMarker,
       kConvertedHeader +
           "G04 Begin outline 1 *\n\nG36*\nX0Y0D02*\nX10Y0D01*\n*\nG04 drawn with G01 *\n"
           "X10Y10G01D01*\nG37*\nG04 End outline 1 *\n" +
           kEnd,
       0},
      {"no format line: no comment",
       std::string("G04 header *\n%MOIN*%\nG54D10*\nX0Y0D02*\n") + kMarker,
       std::string("G04 header *\n%MOIN*%\nG90*\n\n%LPD*%\n\n") +
           "G04 Begin outline 1 *\n\nG36*\nX0Y0D02*\nG37*\nG04 End outline 1 *\n" + kEnd,
       0},
      {"over-long lines come back in pieces, each written as a line",
       std::string(kHeader) + "X0Y0D02*\n" + kLong300 + "\n" + kLong255 + "\nX10Y0D01*\n" +
           kMarker,
       kConvertedHeader + "G04 Begin outline 1 *\n\nG36*\nX0Y0D02*\n" + kLong300.substr(0, 255) +
           "\n" + kLong300.substr(255) + "\n" + kLong255 + "\n\nX10Y0D01*\n" +
           "G37*\nG04 End outline 1 *\n" + kEnd,
       0},
      {"no Draw Parts marker: status 3, the partial file stays",
       std::string(kHeader) + "X0Y0D02*\nX10Y0D01*\nX50Y50D02*\nX60Y60D01*\n",
       kConvertedHeader +
           "G04 Begin outline 1 *\n\nG36*\nX0Y0D02*\nX10Y0D01*\nG37*\nG04 End outline 1 *\n\n"
           "G04 Begin outline 2 *\nG36*\nX50Y50D02*\nX60Y60D01*\n",
       3},
      {"no MOIN: the header copy takes everything, status 3",
       std::string("G04 header *\n%FSLAX24Y24*%\nG54D10*\nX0Y0D02*\n") + kMarker,
       std::string("G04 header *\nG04 Converted by Quorlan Version 1.13R on ") + kStamp +
           " *\n\n%FSLAX24Y24*%\nG54D10*\nX0Y0D02*\n" + kMarker +
           "G90*\n\n%LPD*%\n\nG04 Begin outline 1 *\n\nG36*\n",
       3},
  };
  for (const OutlineCase& c : cases) {
    for (bool crlf : {false, true}) {
      TempDir dir;
      dir.write("board_outline.grb", crlf ? with_crlf(c.source) : c.source);
      RunResult run = run_quorlan(dir.path(), outline_only({}));
      std::string where = std::string(c.what) + (crlf ? " (CR LF)" : " (LF)");
      EXPECT_EQ(run.exit_status, c.status) << where;
      std::string messages = banner() + kOutlineOnlyText;
      if (c.status == 0)
        messages += "\n\n     outline_poly.gbr created" + summary(1);
      else
        messages += "\n\nError: premature EOF while reading \"board_outline.grb\".\n";
      EXPECT_EQ(mask_elapsed(run.output), messages) << where;
      EXPECT_EQ(dir.read("outline_poly.gbr"), c.expected) << where;
    }
  }
}

// A missing outline source, or one that is a directory, is a warning and the
// run goes on; the source path is put in front of the name after all commands.
TEST(RunDriver, OutlineSourceNotFound) {
  const struct {
    std::vector<std::string> args;
    const char* directory;  // made in place of a source file, or ""
    std::string messages;
  } cases[] = {
      {{}, "", ""},
      {{}, "board_outline.grb", ""},
      {{"S1in.grb", "SPsub"}, "sub/in.grb",
       "\n  Outline source changed to \"in.grb\"\n  Source path changed to \"sub\\\""},
  };
  for (const auto& c : cases) {
    TempDir dir;
    if (*c.directory != '\0') dir.write(std::string(c.directory) + "/.keep", "");
    RunResult run = run_quorlan(dir.path(), outline_only(c.args));
    std::string source = c.args.empty() ? "board_outline.grb" : "sub\\in.grb";
    EXPECT_EQ(run.exit_status, 0);
    EXPECT_EQ(mask_elapsed(run.output),
              banner() + kOutlineOnlyText + c.messages + "\n\nWarning: outline file \"" + source +
                  "\" not found, \"outline_poly.gbr\" not created.\n" + summary(0))
        << c.directory;
    EXPECT_FALSE(dir.exists("outline_poly.gbr"));
  }
}

// A new file may never be an existing source of the run, whatever name it is
// reached by: the creation fails with status 2 and every source stays as it was.
TEST(RunDriver, NewFileNeverOverwritesASource) {
  const struct {
    std::vector<std::string> args;
    const char* shown;
  } cases[] = {
      {{"N1board_outline.grb"}, "board_outline.grb"},
      {{"N1./board_outline.grb"}, "./board_outline.grb"},
      {{"N1drill_file.drl"}, "drill_file.drl"},  // a source of a stage that is off
      {{"N1top_solder_mask.grb"}, "top_solder_mask.grb"},
      {{"N1hard_link.grb"}, "hard_link.grb"},
      {{"SPsub", "S4mask.grb", "N1sub\\mask.grb"}, "sub\\mask.grb"},
      {{"Dtop.gbr", "N1top.gbr"}, "top.gbr"},  // the gerber of a drilled-copy request
  };
  for (const auto& c : cases) {
    TempDir dir;
    dir.write("board_outline.grb", kOutlineSource);
    dir.write("drill_file.drl", kDrillSource);
    dir.write("top_solder_mask.grb", kMaskSource);
    dir.write("sub/board_outline.grb", kOutlineSource);
    dir.write("sub/mask.grb", kMaskSource);
    dir.write("top.gbr", kCopperSource);
    ASSERT_EQ(::link(dir.file("board_outline.grb").c_str(), dir.file("hard_link.grb").c_str()), 0);
    RunResult run = run_quorlan(dir.path(), outline_only(c.args));
    EXPECT_EQ(run.exit_status, 2) << c.shown;
    std::string tail = std::string("\n\nError: \"") + c.shown + "\" file creation failed.\n";
    ASSERT_GE(run.output.size(), tail.size());
    EXPECT_EQ(run.output.substr(run.output.size() - tail.size()), tail) << c.shown;
    EXPECT_EQ(dir.read("board_outline.grb"), kOutlineSource) << c.shown;
    EXPECT_EQ(dir.read("drill_file.drl"), kDrillSource) << c.shown;
    EXPECT_EQ(dir.read("top_solder_mask.grb"), kMaskSource) << c.shown;
    EXPECT_EQ(dir.read("sub/board_outline.grb"), kOutlineSource) << c.shown;
    EXPECT_EQ(dir.read("sub/mask.grb"), kMaskSource) << c.shown;
    EXPECT_EQ(dir.read("top.gbr"), kCopperSource) << c.shown;
  }
  // The example's exact output.
  TempDir dir;
  dir.write("board_outline.grb", kOutlineSource);
  RunResult run = run_quorlan(dir.path(), outline_only({"N1board_outline.grb"}));
  EXPECT_EQ(run.output, banner() + kOutlineOnlyText +
                            "\n  New outline changed to \"board_outline.grb\""
                            "\n\nError: \"board_outline.grb\" file creation failed.\n");
}

// A new file that cannot be written completely is a failure, not a success.
TEST(RunDriver, WriteFailureIsStatus2) {
  if (::access("/dev/full", W_OK) != 0) GTEST_SKIP() << "no /dev/full on this host";
  TempDir dir;
  dir.write("board_outline.grb", kOutlineSource);
  RunResult run = run_quorlan(dir.path(), outline_only({"N1/dev/full"}));
  EXPECT_EQ(run.exit_status, 2);
  EXPECT_EQ(run.output, banner() + kOutlineOnlyText +
                            "\n  New outline changed to \"/dev/full\""
                            "\n\nError: \"/dev/full\" file creation failed.\n");
}

// Backslashes in names are read as slashes on this host, messages show names
// as they were given, and names longer than 255 characters are held whole.
TEST(RunDriver, BackslashPathsAndLongNames) {
  std::string deep;
  for (char c : {'p', 'q', 'r'}) deep += std::string(100, c) + "\\";
  const struct {
    std::vector<std::string> args;
    std::string source_file;  // where the outline source is
    std::string new_name;     // the N1 name as given
    std::string new_file;     // where it must appear
  } cases[] = {
      {{"SPin", "S1sub\\board.grb"}, "in/sub/board.grb", "out\\poly.gbr", "out/poly.gbr"},
      {{"S1" + deep + "board.grb"}, deep + "board.grb", deep + "poly.gbr", deep + "poly.gbr"},
  };
  for (const auto& c : cases) {
    TempDir dir;
    std::string source_file = c.source_file;
    std::string new_file = c.new_file;
    for (std::string* name : {&source_file, &new_file})
      for (char& ch : *name)
        if (ch == '\\') ch = '/';
    dir.write(source_file, kOutlineSource);
    dir.write(new_file, "");
    std::vector<std::string> args = c.args;
    args.push_back("N1" + c.new_name);
    RunResult run = run_quorlan(dir.path(), outline_only(args));
    EXPECT_EQ(run.exit_status, 0) << c.new_name;
    EXPECT_NE(run.output.find("\n  New outline changed to \"" + c.new_name + "\""),
              std::string::npos);
    EXPECT_NE(run.output.find("\n\n     " + c.new_name + " created" + "\n\n  Done, 1 file"),
              std::string::npos)
        << run.output;
    EXPECT_EQ(dir.read(new_file), kOutlineExpected) << c.new_name;
  }
}

// SOURCE_DATE_EPOCH fixes the run stamp to that instant in UTC, whatever the
// local time zone.
TEST(RunStamp, SourceDateEpochInTheOutlineComment) {
  TempDir dir;
  dir.write("board_outline.grb", kOutlineSource);
  std::string command = "cd '" + dir.path() + "' && SOURCE_DATE_EPOCH=1234567890 TZ=EST5EDT '" +
                        QUORLAN_BINARY + "' N2 N3 N4 >/dev/null";
  int status = std::system(command.c_str());
  ASSERT_TRUE(WIFEXITED(status));
  EXPECT_EQ(WEXITSTATUS(status), 0);
  std::string expected = kOutlineExpected;
  expected.replace(expected.find(kStamp), std::string(kStamp).size(), "Fri Feb 13 23:31:30 2009");
  EXPECT_EQ(dir.read("outline_poly.gbr"), expected);
}

TEST(RunStamp, LayoutAndEnvironment) {
  EXPECT_EQ(format_run_stamp(2009, 0, 6, 2, 8, 4, 9), "Tue Jan 06 08:04:09 2009");
  EXPECT_EQ(format_run_stamp(2009, 11, 31, 4, 23, 59, 0), "Thu Dec 31 23:59:00 2009");

  const char* old = std::getenv("SOURCE_DATE_EPOCH");
  std::string saved = old ? old : "";
  setenv("SOURCE_DATE_EPOCH", "1234567890", 1);
  EXPECT_EQ(current_run_stamp(), "Fri Feb 13 23:31:30 2009");
  // Not a decimal integer: the local time, in the same layout.
  setenv("SOURCE_DATE_EPOCH", "12abc", 1);
  std::string local = current_run_stamp();
  EXPECT_TRUE(std::regex_match(
      local, std::regex("(Sun|Mon|Tue|Wed|Thu|Fri|Sat) [A-Z][a-z]{2} [0-3][0-9] "
                        "[0-2][0-9]:[0-5][0-9]:[0-6][0-9] [0-9]{4}")))
      << local;
  EXPECT_EQ(local.find("1970"), std::string::npos) << local;
  // An instant that has no calendar date: the local time too, never a made-up date.
  setenv("SOURCE_DATE_EPOCH", "9000000000000000000", 1);
  std::string far = current_run_stamp();
  EXPECT_EQ(far.substr(far.size() - 4), local.substr(local.size() - 4)) << far;
  if (old)
    setenv("SOURCE_DATE_EPOCH", saved.c_str(), 1);
  else
    unsetenv("SOURCE_DATE_EPOCH");
}

}  // namespace
