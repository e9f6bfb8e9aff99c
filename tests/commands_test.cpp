// The command interpreter: normalisation, numbers, the D and X tables, and
// every command's message through the built program.
#include <gtest/gtest.h>

#include <cstdio>
#include <string>
#include <vector>

#include "app/job_settings.h"
#include "commands/interpreter.h"
#include "convert/files.h"
#include "test_support.h"

namespace {

struct Outcome {
  int result;
  std::string output;
};

Outcome run(JobSettings& job, std::string text, const std::string& script = "job.pcs") {
  testing::internal::CaptureStdout();
  int result = run_command(job, text, script, 2);
  std::fflush(stdout);
  return {result, testing::internal::GetCapturedStdout()};
}

// --- Normalisation -------------------------------------------------------

TEST(Normalise, CommentsBlanksAndQuotes) {
  const struct {
    std::string text;
    std::string expected;
  } cases[] = {
      {"S2drills.txt   ; from the old job", "S2drills.txt"},
      {" \t O1,2 \t", "O1,2"},
      {"; only a comment", ""},
      {" \t ", ""},
      {"\"N1\"", "N1"},
      {"\" \"S1a.grb\" \"", "S1a.grb"},  // quotes and blanks peeled in turn
      {"\"", ""},                       // a lone quote is both quotes
      {"\"\"", ""},
      {"\"S1a;b\"", "\"S1a"},  // the cut comes first, so the quotes stay
      {"\"S1a\"b", "\"S1a\"b"},
      {"S1 board.grb", "S1 board.grb"},  // inner blanks belong to the name
      {"S1a\"", "S1a\""},
  };
  for (const auto& c : cases) {
    std::string text = c.text;
    normalise_command(text);
    EXPECT_EQ(text, c.expected) << "from [" << c.text << "]";
  }
}

// --- Offsets -------------------------------------------------------------

TEST(CommandNumbers, OffsetAndRelativeOffset) {
  JobSettings job;
  const struct {
    const char* text;
    int result;
    const char* message;
    double x, y;
  } steps[] = {
      {"O1,2", 1, "\n  Data Offset (1.000, 2.000)", 1, 2},
      {"R0.5,-1", 1, "\n  Offset moved by (0.500, -1.000) to (1.500, 1.000),  ", 1.5, 1},
      {"O1.5 ,2", 0, "\n\n  Bad offset \"O1.5 ,2\" ignored\n", 1.5, 1},
      {"O1.5-2", 1, "\n  Data Offset (1.500, 2.000)", 1.5, 2},
      {"o 0.25, -0.5", 1, "\n  Data Offset (0.250, -0.500)", 0.25, -0.5},
      {"O3", 0, "\n\n  Bad offset \"O3\" ignored\n", 0.25, -0.5},
      {"Rabc", 0, "\n\n  Bad relative offset \"Rabc\" ignored\n", 0.25, -0.5},
      {"r1x1", 1, "\n  Offset moved by (1.000, 1.000) to (1.250, 0.500),  ", 1.25, 0.5},
      // An offset that is not a finite number would move nothing and make
      // every D request look new: it is refused like one that does not parse.
      {"Onan,0", 0, "\n\n  Bad offset \"Onan,0\" ignored\n", 1.25, 0.5},
      {"O1,inf", 0, "\n\n  Bad offset \"O1,inf\" ignored\n", 1.25, 0.5},
  };
  for (const auto& s : steps) {
    Outcome out = run(job, s.text);
    EXPECT_EQ(out.result, s.result) << s.text;
    EXPECT_EQ(out.output, s.message) << s.text;
    EXPECT_EQ(job.offset.x, s.x) << s.text;
    EXPECT_EQ(job.offset.y, s.y) << s.text;
  }
  // A move that would leave the finite range is refused as well.
  job.offset = {1e308, 0.5};
  Outcome out = run(job, "R1e308,0");
  EXPECT_EQ(out.result, 0);
  EXPECT_EQ(out.output, "\n\n  Bad relative offset \"R1e308,0\" ignored\n");
  EXPECT_EQ(job.offset.x, 1e308);
}

// --- Suppressed diameters ------------------------------------------------

TEST(SuppressedDiameters, RefusalsDuplicatesAndRounding) {
  JobSettings job;
  const struct {
    const char* text;
    int result;
    const char* message;
  } steps[] = {
      {"X0", 0, "\n\n  -- Invalid drill diameter \"X0\" ignored --\n"},
      {"X-0.02", 0, "\n\n  -- Invalid drill diameter \"X-0.02\" ignored --\n"},
      {"Xabc", 0, "\n\n  -- Invalid drill diameter \"Xabc\" ignored --\n"},
      {"X", 0, "\n\n  -- Invalid drill diameter \"X\" ignored --\n"},
      {"X 0.035", 1, "\n  1  0.0350 dia drills suppressed"},
      {"X0.03504", 0, "\n  -- 0.0350 dia already suppressed, ignored --"},
      {"x0.03496", 0, "\n  -- 0.0350 dia already suppressed, ignored --"},
      {"X0.00004", 1, "\n  2  0.0000 dia drills suppressed"},  // positive before rounding
      {"X0.00002", 0, "\n  -- 0.0000 dia already suppressed, ignored --"},
      {"X0.03506", 1, "\n  3  0.0351 dia drills suppressed"},
      {"X.125", 1, "\n  4  0.1250 dia drills suppressed"},
  };
  for (const auto& s : steps) {
    Outcome out = run(job, s.text);
    EXPECT_EQ(out.result, s.result) << s.text;
    EXPECT_EQ(out.output, s.message) << s.text;
  }
  ASSERT_EQ(job.suppressed.size(), 4u);
  EXPECT_EQ(job.suppressed[0].diameter, 0.035);
  EXPECT_EQ(job.suppressed[1].diameter, 0.0);
  EXPECT_EQ(job.suppressed[2].diameter, 0.0351);
  EXPECT_EQ(job.suppressed[3].diameter, 0.125);
  for (const SuppressedDiameter& row : job.suppressed) EXPECT_EQ(row.tool, 0u);
}

TEST(SuppressedDiameters, TableHasNoFixedCapacity) {
  JobSettings job;
  for (int i = 1; i <= 300; ++i) {
    std::string text = format_text("X%1.4f", i / 10000.0);
    ASSERT_EQ(run(job, text).result, 1) << text;
  }
  EXPECT_EQ(job.suppressed.size(), 300u);
  EXPECT_EQ(run(job, "X0.0257").output, "\n  -- 0.0257 dia already suppressed, ignored --");
}

// --- Drilled-copy requests -----------------------------------------------

TEST(DrilledRequests, DuplicatesCaseAndOffsets) {
  JobSettings job;
  const struct {
    const char* text;
    int result;
    const char* message;
  } steps[] = {
      {"DTop.grb", 1, "\n  \"Top.grb\" gets drilled (1)"},
      {"dtop.GRB", 0, "\n  -- Dup ignored: \"top.GRB\" with offset (0.000,0.000) --"},
      {"O0.5,0", 1, "\n  Data Offset (0.500, 0.000)"},
      {"dtop.GRB", 1, "\n  \"top.GRB\" gets drilled (2) with offset (0.500,0.000)"},
      {"DTOP.grb", 0, "\n  -- Dup ignored: \"TOP.grb\" with offset (0.500,0.000) --"},
      {"Dbottom.gbr", 1, "\n  \"bottom.gbr\" gets drilled (1) with offset (0.500,0.000)"},
      {"O0,0", 1, "\n  Data Offset (0.000, 0.000)"},
      {"DBottom.gbr", 1, "\n  \"Bottom.gbr\" gets drilled (2)"},
  };
  for (const auto& s : steps) {
    Outcome out = run(job, s.text);
    EXPECT_EQ(out.result, s.result) << s.text;
    EXPECT_EQ(out.output, s.message) << s.text;
  }
  ASSERT_EQ(job.requests.size(), 2u);
  EXPECT_EQ(job.requests[0].name, "Top.grb");  // the first spelling is kept
  ASSERT_EQ(job.requests[0].offsets.size(), 2u);
  EXPECT_EQ(job.requests[0].offsets[1].x, 0.5);
  EXPECT_EQ(job.requests[1].name, "bottom.gbr");
  EXPECT_EQ(job.requests[1].copy_sequence, 0u);
  EXPECT_EQ(job.drilled_total, 4u);
}

TEST(DrilledRequests, ThirtyTwoCopiesAtMostOverAllRequests) {
  JobSettings job;
  ASSERT_EQ(run(job, "Dtop.grb").result, 1);
  for (int i = 1; i < 31; ++i) ASSERT_EQ(run(job, "Dl" + std::to_string(i) + ".gbr").result, 1);
  ASSERT_EQ(run(job, "O1,1").result, 1);
  ASSERT_EQ(run(job, "Dtop.grb").result, 1);  // the 32nd, a second offset of top.grb
  EXPECT_EQ(job.drilled_total, 32u);

  // Refused once 32 are accepted: a new name, a new offset, and also a request
  // that would otherwise be reported as a duplicate.
  for (const char* text : {"Dnew.gbr", "Dl1.gbr", "DTOP.GRB"}) {
    Outcome out = run(job, text);
    EXPECT_EQ(out.result, 0) << text;
    EXPECT_EQ(out.output,
              std::string("\n\nA maximum of 32 files can be drilled; \"") + text + "\" ignored\n");
  }
  EXPECT_EQ(job.drilled_total, 32u);
  EXPECT_EQ(job.requests.size(), 31u);
}

// --- Commands through the built program ------------------------------------

constexpr const char* kUsage =
    "\n\n"
    "  usage: Quorlan [switches/commands]\n"
    "  valid switches:\n"
    "\n"
    "      SPspath    Change the source path to spath              {default = NULL}\n"
    "      S1fname    Change outline source file name to fname     {default = board_outline.grb}\n"
    "      S2fname    Change drill source file name to fname       {default = drill_file.drl}\n"
    "      S3fname    Change top mask source file name to fname    {default = top_solder_mask.grb}\n"
    "      S4fname    Change bottom mask source file name to fname {default = bottom_solder_mask.grb}\n"
    "\n"
    "      N1fname    Change new outline file name to fname        {default = outline_poly.gbr}\n"
    "      N2fname    Change new drills file name to fname         {default = holes.gbr}\n"
    "      N3fname    Change new top mask file name to fname       {default = top_smask_poly.gbr}\n"
    "      N4fname    Change new bottom mask file name to fname    {default = bottom_smask_poly.gbr}\n"
    "                   -- Note: an empty fname will skip file creation --\n"
    "\n"
    "      Csname     Run command script sname {default extension = \".PCS\"\n"
    "\n"
    "      Dfnam.ext  Create \"fnam_drilled.ext\" using the drill data to make cutouts (32 files max}\n"
    "                 If the current offsets are not both zero, \"fnam_driledOfn.ext\" is created\n"
    "\n"
    "      End        End the current command script {NoOp in command line}\n"
    "\n"
    "      Ox.xx,y.yy Offset the following drilled files by x.xx, y.yy {default = (0,0)}\n"
    "\n"
    "      Rx.xx,y,yy Relative Offset, Add x.xx, y.yy to the current offset\n"
    "\n"
    "      Xd.ddd     Exclude d.ddd dia holes from all outputs (multiple entries allowed)\n"
    "\n"
    "      H | ?      Help - this screen\n"
    "\n";

// Every command's message, refusals included, in one run that creates
// nothing. The run goes on after the refused S5x and N0, the source path
// reaches the drill source only after all commands, and End is nothing on
// the command line.
TEST(Commands, EveryMessageOnTheCommandLine) {
  const struct {
    const char* arg;
    const char* message;
  } steps[] = {
      {"S1a.grb", "\n  Outline source changed to \"a.grb\""},
      {"s2drills.txt   ; from the old job", "\n  Drill source changed to \"drills.txt\""},
      {"S3 top.grb", "\n  Top mask source changed to \" top.grb\""},
      {"S4", "\n  Bottom mask source changed to \"\""},
      {"S5x", "\n\n Invalid source name select \"S5x\", ignored\n"},
      {"SPC:\\boards", "\n  Source path changed to \"C:\\boards\\\""},
      {"SpC:\\boards\\", "\n  Source path changed to \"C:\\boards\\\""},
      {"SPboards/", "\n  Source path changed to \"boards/\""},
      {"SP", "\n  Source path changed to \"\""},
      {"N1o.gbr", "\n  New outline changed to \"o.gbr\""},
      {"N2h.gbr", "\n  New drills changed to \"h.gbr\""},
      {"n3t.gbr", "\n  New top mask changed to \"t.gbr\""},
      {"N4b.gbr", "\n  New bottom mask changed to \"b.gbr\""},
      {"N0", "\n\n Invalid target name select \"N0\", ignored\n"},
      {"\"N1\"", "\n  -- Outline creation skipped --"},
      {"N2", "\n  -- Drill file creation skipped --"},
      {"N3", "\n  -- Top mask file creation skipped --"},
      {"N4", "\n  -- Bottom mask file creation skipped --"},
      {"O1,2", "\n  Data Offset (1.000, 2.000)"},
      {"R0.5,-1", "\n  Offset moved by (0.500, -1.000) to (1.500, 1.000),  "},
      {"O1.5 ,2", "\n\n  Bad offset \"O1.5 ,2\" ignored\n"},
      {"Rx", "\n\n  Bad relative offset \"Rx\" ignored\n"},
      {"x0.035", "\n  1  0.0350 dia drills suppressed"},
      {"X0", "\n\n  -- Invalid drill diameter \"X0\" ignored --\n"},
      {"Dtop.grb", "\n  \"top.grb\" gets drilled (1) with offset (1.500,1.000)"},
      {"Dtop.grb", "\n  -- Dup ignored: \"top.grb\" with offset (1.500,1.000) --"},
      {"End", ""},
      {"", ""},
      {" ; nothing but a comment", ""},
      {"SPboards", "\n  Source path changed to \"boards\\\""},
  };
  TempDir dir;
  std::vector<std::string> args;
  std::string expected = banner();
  for (const auto& s : steps) {
    args.push_back(s.arg);
    expected += s.message;
  }
  expected += "\n\nWarning: drill file \"boards\\drills.txt\" not found, no drilled files created.\n\n";
  RunResult run = run_quorlan(dir.path(), args);
  EXPECT_EQ(run.exit_status, 0);
  EXPECT_EQ(mask_elapsed(run.output), expected + summary(0));
  EXPECT_EQ(run.errors, "");
  EXPECT_TRUE(dir.files().empty());
}

// H and ? end the run with the usage text and status 0, from the first
// letter alone; an invalid switch adds its message and ends with status 1.
// Commands after either are not run.
TEST(Commands, HelpAndInvalidSwitchShowTheUsage) {
  const struct {
    std::vector<std::string> args;
    std::string before_usage;
    int status;
  } cases[] = {
      {{"H"}, "", 0},
      {{"?", "S1x"}, "", 0},
      {{"help"}, "", 0},
      {{"S1a.grb", "Hxyz", "S2b"}, "\n  Outline source changed to \"a.grb\"", 0},
      {{"Q", "S1x"}, "\n\nInvalid switch: \"Q\"\n\n", 1},
      {{"1"}, "\n\nInvalid switch: \"1\"\n\n", 1},
      {{"\"S1a;b\""}, "\n\nInvalid switch: \"\"S1a\"\n\n", 1},
  };
  for (const auto& c : cases) {
    TempDir dir;
    RunResult run = run_quorlan(dir.path(), c.args);
    EXPECT_EQ(run.exit_status, c.status) << c.args[0];
    EXPECT_EQ(run.output, banner() + c.before_usage + kUsage) << c.args[0];
    EXPECT_TRUE(dir.files().empty()) << c.args[0];
  }
}

}  // namespace
