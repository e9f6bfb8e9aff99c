// Buffered line reading for the conversions and the script runner.
#pragma once

#include <cstddef>
#include <string>
#include <string_view>

// An input file opened for reading (see open_source in convert/files.h).
// Closes itself when it goes out of scope.
struct InputFile {
  int fd = -1;
  std::string buffer;
  size_t pos = 0;    // next unread byte in buffer
  size_t end = 0;    // one past the last valid byte in buffer
  bool at_eof = false;
  bool failed = false;  // a read error: treated like the end of the file

  InputFile() = default;
  InputFile(const InputFile&) = delete;
  InputFile& operator=(const InputFile&) = delete;
  ~InputFile();
};

// Data lines are read 255 characters at a time, the line feed included.
constexpr size_t kDataPiece = 255;
// Script lines are read 511 characters at a time, the line feed included.
constexpr size_t kScriptPiece = 511;

// Reads the next piece of a line: at most `piece` characters counting its line
// feed, which is removed. A carriage return directly before the line feed is
// not part of the line and does not count. A line longer than the piece comes
// back in several pieces; when its length is a multiple of the piece, its line
// feed comes back alone as an empty line. A last line without a line feed is
// still a line. Returns false at the end of the file or on a read error.
// `line` points into the file's buffer and stays valid until the next read.
bool read_piece(InputFile& in, size_t piece, std::string_view& line);

// read_piece for data lines, with leading blanks and tabs skipped.
bool read_line(InputFile& in, std::string_view& line);

// Goes back to the beginning of the file. False when the file cannot seek.
bool rewind_input(InputFile& in);

void close_input(InputFile& in);

inline bool contains(std::string_view line, std::string_view text) {
  return line.find(text) != std::string_view::npos;
}
inline bool begins_with(std::string_view line, std::string_view text) {
  return line.substr(0, text.size()) == text;
}
