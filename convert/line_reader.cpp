#include "convert/line_reader.h"

#include <unistd.h>

#include <cerrno>
#include <cstring>

namespace {

// A file starts with a small buffer, so that scripts and other short files
// stay small; one that needs a second fill gets the large one, which keeps
// read calls few on layers of hundreds of megabytes.
constexpr size_t kFirstBufferSize = 1 << 16;
constexpr size_t kBufferSize = 1 << 20;

// Makes at least `want` bytes available after pos, unless the file ends first.
void fill(InputFile& in, size_t want) {
  if (in.end - in.pos >= want || in.at_eof) return;
  const size_t size = in.buffer.empty() ? kFirstBufferSize : kBufferSize;
  if (in.buffer.size() < size + kInputSlack) in.buffer.resize(size + kInputSlack);
  if (in.pos > 0) {
    std::memmove(in.buffer.data(), in.buffer.data() + in.pos, in.end - in.pos);
    in.end -= in.pos;
    in.pos = 0;
  }
  while (in.end - in.pos < want && !in.at_eof) {
    ssize_t n = ::read(in.fd, in.buffer.data() + in.end, in.buffer.size() - kInputSlack - in.end);
    if (n < 0 && errno == EINTR) continue;
    if (n <= 0) {
      in.at_eof = true;
      in.failed = n < 0;
      break;
    }
    in.end += static_cast<size_t>(n);
  }
}

}  // namespace

InputFile::~InputFile() { close_input(*this); }

void close_input(InputFile& in) {
  if (in.fd >= 0) ::close(in.fd);
  in.fd = -1;
}

bool read_piece(InputFile& in, size_t piece, std::string_view& line) {
  if (in.fd < 0) return false;
  // A piece of `piece` characters may span one more raw byte: the carriage
  // return of a CR LF pair that ends it.
  fill(in, piece + 1);
  size_t avail = in.end - in.pos;
  if (avail == 0) return false;
  const char* start = in.buffer.data() + in.pos;
  size_t window = avail < piece + 1 ? avail : piece + 1;
  const void* hit = std::memchr(start, '\n', window);
  size_t length;    // characters returned
  size_t consumed;  // raw bytes used up
  if (hit != nullptr) {
    size_t i = static_cast<size_t>(static_cast<const char*>(hit) - start);
    if (i > 0 && start[i - 1] == '\r') {
      length = i - 1;  // line feed and its carriage return count as one character
      consumed = i + 1;
    } else if (i + 1 <= piece) {
      length = i;
      consumed = i + 1;
    } else {
      length = piece;  // the line feed falls just beyond this piece
      consumed = piece;
    }
  } else {
    length = avail < piece ? avail : piece;
    consumed = length;
  }
  in.pos += consumed;
  line = std::string_view(start, length);
  return true;
}

bool read_line_slow(InputFile& in, std::string_view& line) {
  if (!read_piece(in, kDataPiece, line)) return false;
  size_t skip = 0;
  while (skip < line.size() && (line[skip] == ' ' || line[skip] == '\t')) ++skip;
  line.remove_prefix(skip);
  return true;
}

bool rewind_input(InputFile& in) {
  if (in.fd < 0) return false;
  if (::lseek(in.fd, 0, SEEK_SET) != 0) return false;
  in.pos = in.end = 0;
  in.at_eof = in.failed = false;
  return true;
}
