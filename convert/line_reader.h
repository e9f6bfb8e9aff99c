// Buffered line reading for the conversions and the script runner.
#pragma once

#include <cstddef>
#include <cstring>
#include <string>
#include <string_view>

// Bytes after the data in an input buffer that are always there to be read
// (they hold nothing of the file): scanners may look at up to this many bytes
// from any position before the end of the data at once.
constexpr size_t kInputSlack = 64;

// An input file opened for reading (see open_source in convert/files.h).
// Closes itself when it goes out of scope.
struct InputFile {
  int fd = -1;
  // The data read, then kInputSlack bytes more once anything was read.
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

// read_piece for data lines, with leading blanks and tabs skipped. The common
// case is inline: a whole line of at most 254 characters, ended by a bare line
// feed and not starting with a blank, already in the buffer.
bool read_line_slow(InputFile& in, std::string_view& line);
inline bool read_line(InputFile& in, std::string_view& line) {
  if (in.end - in.pos > kDataPiece) {
    const char* start = in.buffer.data() + in.pos;
    const void* hit = std::memchr(start, '\n', kDataPiece);
    if (hit != nullptr) {
      size_t length = static_cast<size_t>(static_cast<const char*>(hit) - start);
      if (length > 0 && start[length - 1] != '\r' && start[0] != ' ' && start[0] != '\t') {
        in.pos += length + 1;
        line = std::string_view(start, length);
        return true;
      }
    }
  }
  return read_line_slow(in, line);
}

// Goes back to the beginning of the file. False when the file cannot seek.
bool rewind_input(InputFile& in);

void close_input(InputFile& in);

inline bool contains(std::string_view line, std::string_view text) {
  return line.find(text) != std::string_view::npos;
}
inline bool begins_with(std::string_view line, std::string_view text) {
  return line.substr(0, text.size()) == text;
}
