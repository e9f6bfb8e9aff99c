// Command scripts through the built program: names, End, the offset scope,
// nesting, unopenable scripts and script lines.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "test_support.h"

namespace {

// Switches every conversion off, so a run's output is its commands alone.
const std::vector<std::string> kNoFiles = {"N1", "N2", "N3", "N4"};
constexpr const char* kNoFilesText =
    "\n  -- Outline creation skipped --"
    "\n  -- Drill file creation skipped --"
    "\n  -- Top mask file creation skipped --"
    "\n  -- Bottom mask file creation skipped --";

std::vector<std::string> args_with(std::vector<std::string> args) {
  args.insert(args.begin(), kNoFiles.begin(), kNoFiles.end());
  return args;
}

std::string running(const std::string& name, unsigned level) {
  return "\n  -- Running \"" + name + "\" at nested level " + std::to_string(level) + " --";
}
std::string done(const std::string& name) { return "\n  -- \"" + name + "\" done --"; }
std::string probe(const char* x, const char* y) {
  return std::string("\n  Offset moved by (0.000, 0.000) to (") + x + ", " + y + "),  ";
}

// The script name gets ".pcs" only when it holds no "." at all; backslashes
// are read as slashes, while the messages show the name as written.
TEST(Scripts, NamesAndDefaultExtension) {
  const struct {
    const char* command;
    const char* file;     // where the script is, under the run's directory
    const char* message;  // its name as the messages show it
  } cases[] = {
      {"Cjob", "job.pcs", "job.pcs"},
      {"cjob.txt", "job.txt", "job.txt"},
      {"Csub\\job", "sub/job.pcs", "sub\\job.pcs"},
      {"C..\\scripts\\job", "../scripts/job", "..\\scripts\\job"},
  };
  for (const auto& c : cases) {
    TempDir dir;
    dir.write("work/.keep", "");
    dir.write(std::string("work/") + c.file, "S1from_script.grb\n");
    dir.write("work/job.txt.pcs", "S1wrong.grb\n");
    RunResult run = run_quorlan(dir.file("work"), args_with({c.command}));
    EXPECT_EQ(run.exit_status, 0) << c.command;
    EXPECT_EQ(mask_elapsed(run.output),
              banner() + kNoFilesText + running(c.message, 1) +
                  "\n  Outline source changed to \"from_script.grb\"" + done(c.message) + summary(0))
        << c.command;
  }
}

// End stops the script it is in; the caller goes on. Blank and comment lines
// print nothing, and an invalid command names the script and is skipped.
TEST(Scripts, EndBlankLinesAndInvalidCommands) {
  TempDir dir;
  dir.write("outer.pcs", "S1a.grb\nCinner\nS3c.grb\n");
  dir.write("inner.pcs",
            "\n   \n; a comment\n  ; another\nQ\n\"S1a;b\"\nS2b.grb\nEnd\nS4never.grb\n");
  RunResult run = run_quorlan(dir.path(), args_with({"Couter", "S4d.grb"}));
  EXPECT_EQ(run.exit_status, 0);
  EXPECT_EQ(mask_elapsed(run.output),
            banner() + kNoFilesText + running("outer.pcs", 1) +
                "\n  Outline source changed to \"a.grb\"" + running("inner.pcs", 2) +
                "\n\n-- Invalid command in inner.pcs: \"Q\" ignored --\n\n"
                "\n\n-- Invalid command in inner.pcs: \"\"S1a\" ignored --\n\n"
                "\n  Drill source changed to \"b.grb\"" +
                done("inner.pcs") + "\n  Top mask source changed to \"c.grb\"" +
                done("outer.pcs") + "\n  Bottom mask source changed to \"d.grb\"" + summary(0));
}

// A script is a scope for the current offset, at every level; everything
// else it changes stays changed. R0,0 shows the offset in effect.
TEST(Scripts, OffsetIsRestoredAfterEachScript) {
  TempDir dir;
  dir.write("outer.pcs", "O1,1\nR0,0\nCinner\nR0,0\n");
  dir.write("inner.pcs", "R1,1\nR0,0\nX0.035\n");
  RunResult run = run_quorlan(dir.path(), args_with({"O0.25,0", "Couter", "R0,0", "X0.035"}));
  EXPECT_EQ(run.exit_status, 0);
  EXPECT_EQ(mask_elapsed(run.output),
            banner() + kNoFilesText + "\n  Data Offset (0.250, 0.000)" + running("outer.pcs", 1) +
                "\n  Data Offset (1.000, 1.000)" + probe("1.000", "1.000") +
                running("inner.pcs", 2) +
                "\n  Offset moved by (1.000, 1.000) to (2.000, 2.000),  " +
                probe("2.000", "2.000") + "\n  1  0.0350 dia drills suppressed" +
                done("inner.pcs") + probe("1.000", "1.000") + done("outer.pcs") +
                probe("0.250", "0.000") + "\n  -- 0.0350 dia already suppressed, ignored --" +
                summary(0));
}

// A script that runs itself is opened eight times; the ninth C is refused
// and the eight copies finish one after the other.
TEST(Scripts, EightNestingLevels) {
  TempDir dir;
  dir.write("self.pcs", "Cself ; again\nR0.5,0\n");
  RunResult run = run_quorlan(dir.path(), args_with({"Cself", "R0,0"}));
  std::string expected = banner() + kNoFilesText;
  for (unsigned level = 1; level <= 8; ++level) expected += running("self.pcs", level);
  expected += "\n\n-- Maximum nesting level reached, \"Cself\" ignored --\n\n";
  for (unsigned level = 8; level >= 1; --level)
    expected += "\n  Offset moved by (0.500, 0.000) to (0.500, 0.000),  " + done("self.pcs");
  expected += probe("0.000", "0.000") + summary(0);
  EXPECT_EQ(run.exit_status, 0);
  EXPECT_EQ(mask_elapsed(run.output), expected);
}

// A script that cannot be opened (missing, or a directory) ends the job with
// status 1 before any conversion, also from inside another script.
TEST(Scripts, UnopenableScriptEndsTheJob) {
  const struct {
    std::vector<std::string> args;
    std::string output;
  } cases[] = {
      {{"S2d.drl", "Cmissing", "S3never"},
       "\n  Drill source changed to \"d.drl\""
       "\n\n-- Unable to open script \"missing.pcs\", job terminated --\n\n"},
      {{"Couter", "S3never"},
       running("outer.pcs", 1) + "\n  Drill source changed to \"d.drl\"" +
           "\n\n-- Unable to open script \"folder.pcs\", job terminated --\n\n"},
  };
  for (const auto& c : cases) {
    TempDir dir;
    dir.write("board_outline.grb", "G04 no conversion may run *\n");
    dir.write("drill_file.drl", "M30\n");
    dir.write("outer.pcs", "S2d.drl\nCfolder\nS3never\n");
    dir.write("folder.pcs/.keep", "");
    RunResult run = run_quorlan(dir.path(), c.args);
    EXPECT_EQ(run.exit_status, 1) << c.args[0];
    EXPECT_EQ(run.output, banner() + c.output) << c.args[0];
    EXPECT_EQ(dir.files(), (std::vector<std::string>{"board_outline.grb", "drill_file.drl",
                                                     "outer.pcs"}))
        << c.args[0];
  }
}

// H in a script still ends the process with the usage text and status 0.
TEST(Scripts, HelpInsideAScript) {
  TempDir dir;
  dir.write("job.pcs", "S1a.grb\nhelp\nS2never\n");
  RunResult run = run_quorlan(dir.path(), {"Cjob"});
  EXPECT_EQ(run.exit_status, 0);
  ASSERT_EQ(run.output.rfind(banner() + running("job.pcs", 1) +
                                 "\n  Outline source changed to \"a.grb\"\n\n  usage: Quorlan",
                             0),
            0u);
  EXPECT_EQ(run.output.find("never"), std::string::npos);
  std::string last = "      H | ?      Help - this screen\n\n";
  ASSERT_GE(run.output.size(), last.size());
  EXPECT_EQ(run.output.substr(run.output.size() - last.size()), last);
}

// Script lines are read 511 characters at a time: a 510-character line is one
// command, a longer one goes on as a command of its own. A carriage return
// before the line feed is never part of a command.
TEST(Scripts, LongLinesAndCrLf) {
  std::string a(508, 'a');
  std::string b(509, 'b');
  std::string script = "S1" + a + "\nS2" + b + "Q\nS3c.grb\nDtop.grb\nEnd\nS4never\n";
  std::string expected = banner() + kNoFilesText + running("job.pcs", 1) +
                         "\n  Outline source changed to \"" + a + "\"" +
                         "\n  Drill source changed to \"" + b + "\"" +
                         "\n\n-- Invalid command in job.pcs: \"Q\" ignored --\n\n" +
                         "\n  Top mask source changed to \"c.grb\"" +
                         "\n  \"top.grb\" gets drilled (1)" + done("job.pcs");
  for (bool crlf : {false, true}) {
    std::string text = crlf ? with_crlf(script) : script;
    TempDir dir;
    dir.write("job.pcs", text);
    RunResult run = run_quorlan(dir.path(), args_with({"Cjob"}));
    EXPECT_EQ(run.exit_status, 0);
    // No drill source: the driver's single warning names the drill source
    // that the script left in place.
    EXPECT_EQ(mask_elapsed(run.output),
              expected + "\n\nWarning: drill file \"" + b +
                  "\" not found, no drilled files created.\n\n" + summary(0))
        << (crlf ? "CR LF" : "LF");
  }
}

}  // namespace
