// The shared line reader: pieces of over-long lines, line ends, blanks, rewind.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "convert/files.h"
#include "convert/line_reader.h"
#include "test_support.h"

namespace {

std::string chars(size_t n, char c = 'a') { return std::string(n, c); }

// Every piece `content` reads into, through read_line (data) or read_piece
// with the script piece size.
std::vector<std::string> read_all(const std::string& content, bool data) {
  TempDir dir;
  dir.write("in.txt", content);
  InputFile in;
  EXPECT_TRUE(open_source(dir.file("in.txt"), in));
  std::vector<std::string> lines;
  std::string_view line;
  while (data ? read_line(in, line) : read_piece(in, kScriptPiece, line)) lines.emplace_back(line);
  return lines;
}

struct PieceCase {
  const char* what;
  std::string content;  // written with "\n" line ends, and again with "\r\n"
  bool data;            // read_line (255) or script pieces (511)
  std::vector<std::string> expected;
};

TEST(LineReader, PiecesLineEndsAndBlanks) {
  const PieceCase cases[] = {
      {"empty file", "", true, {}},
      {"lone line feed", "\n", true, {""}},
      {"last line without line feed", "G04 a *\nM02*", true, {"G04 a *", "M02*"}},
      {"254 characters whole", chars(254) + "\nnext\n", true, {chars(254), "next"}},
      {"255 characters: line feed alone", chars(255) + "\nnext\n", true, {chars(255), "", "next"}},
      {"256 characters: two pieces", chars(255) + "b\n", true, {chars(255), "b"}},
      {"510 characters", chars(510) + "\n", true, {chars(255), chars(255), ""}},
      {"leading blanks and tabs skipped", " \t X1Y1D01*\n\t\n", true, {"X1Y1D01*", ""}},
      {"blanks count toward the piece", "  " + chars(253) + "\n", true, {chars(253), ""}},
      {"blanks skipped in every piece", chars(255) + " \tG04 tail *\n", true, {chars(255), "G04 tail *"}},
      {"lone carriage return kept", "X1\rY1\nM02*\r", true, {"X1\rY1", "M02*\r"}},
      {"script line of 510 characters", chars(510) + "\nE\n", false, {chars(510), "E"}},
      {"script line of 511 characters", chars(511) + "\nE\n", false, {chars(511), "", "E"}},
      {"script line of 512 characters", chars(511) + "Q\nE\n", false, {chars(511), "Q", "E"}},
      {"script lines keep leading blanks", "  S1a\n", false, {"  S1a"}},
  };
  for (const PieceCase& c : cases) {
    EXPECT_EQ(read_all(c.content, c.data), c.expected) << c.what << " (LF)";
    EXPECT_EQ(read_all(with_crlf(c.content), c.data), c.expected) << c.what << " (CR LF)";
  }
}

// Lines of every length up to two pieces, long enough to cross the reader's
// internal buffer several times, with both line ends: each line must come back
// as the same pieces it would give alone.
TEST(LineReader, LargeFileAcrossBufferRefills) {
  std::string content;
  std::vector<std::string> expected;
  for (size_t i = 0; i < 6000; ++i) {
    size_t length = (i * 37) % 520;
    std::string line(length, static_cast<char>('A' + i % 26));
    content += line + (i % 3 == 0 ? "\r\n" : "\n");
    do {
      expected.push_back(line.substr(0, 255));
      line.erase(0, 255);
    } while (!line.empty());
    if (length > 0 && length % 255 == 0) expected.push_back("");
  }
  EXPECT_EQ(read_all(content, true), expected);
}

TEST(LineReader, RewindStartsAgainFromTheTop) {
  TempDir dir;
  dir.write("in.txt", "INCH\r\nT1C0.035\n%\n");
  InputFile in;
  ASSERT_TRUE(open_source(dir.file("in.txt"), in));
  std::string_view line;
  ASSERT_TRUE(read_line(in, line));
  ASSERT_TRUE(read_line(in, line));
  EXPECT_EQ(line, "T1C0.035");
  for (int pass = 0; pass < 2; ++pass) {
    ASSERT_TRUE(rewind_input(in));
    std::vector<std::string> lines;
    while (read_line(in, line)) lines.emplace_back(line);
    EXPECT_EQ(lines, (std::vector<std::string>{"INCH", "T1C0.035", "%"}));
  }
}

}  // namespace
