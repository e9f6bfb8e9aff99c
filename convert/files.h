// Opening sources and writing new files: the one place that decides how a
// name becomes a path, which files must never be overwritten, and whether a
// new file was written completely.
#pragma once

#include <bit>
#include <cstdarg>
#include <cstdint>
#include <cstring>
#include <string>
#include <string_view>
#include <vector>

#if defined(__SSE2__)
#include <emmintrin.h>
#endif

#include "app/job_settings.h"
#include "convert/line_reader.h"

// The statuses every conversion returns.
using ConversionStatus = int;
constexpr ConversionStatus kDone = 0;
constexpr ConversionStatus kSourceMissing = 1;
constexpr ConversionStatus kCreateFailed = 2;
constexpr ConversionStatus kPrematureEof = 3;
constexpr ConversionStatus kParseError = 4;

// The path a stored name is opened under on this host: job scripts written
// for Windows use backslashes, which become slashes here.
std::string host_path(const std::string& name);

// Opens a source for reading. False when the name is empty, names a
// directory or cannot be opened for any other reason.
bool open_source(const std::string& name, InputFile& in);

// True when open_source would succeed (the file is closed again at once).
bool source_exists(const std::string& name);

// A new file being written. Writes are buffered; the first failing write is
// remembered and makes finish_output report failure.
struct OutputFile {
  int fd = -1;
  std::string buffer;  // its whole size is the buffer; `used` bytes are filled
  size_t used = 0;
  bool failed = false;

  OutputFile() = default;
  OutputFile(const OutputFile&) = delete;
  OutputFile& operator=(const OutputFile&) = delete;
  ~OutputFile();
};

// The existing files a run reads from: the four sources and the gerber of
// every drilled-copy request, as each would be opened. No new file may be
// created over one of them.
std::vector<std::string> protected_sources(const JobSettings& job);

// Creates (or truncates) a new file. False when the name is empty, when it is
// the same existing file as one of `protect`, or when it cannot be created.
bool create_output(const std::string& name, const std::vector<std::string>& protect,
                   OutputFile& out);

// Writes `text`, and for put_line a line feed after it. Both are inline for
// the common case of room in the buffer.
void put_slow(OutputFile& out, std::string_view text);
inline void put(OutputFile& out, std::string_view text) {
  if (text.size() <= out.buffer.size() - out.used) {
    std::memcpy(out.buffer.data() + out.used, text.data(), text.size());
    out.used += text.size();
  } else {
    put_slow(out, text);
  }
}
inline void put_line(OutputFile& out, std::string_view text) {
  if (text.size() < out.buffer.size() - out.used) {
    char* at = out.buffer.data() + out.used;
    std::memcpy(at, text.data(), text.size());
    at[text.size()] = '\n';
    out.used += text.size() + 1;
  } else {
    put_slow(out, text);
    put_slow(out, "\n");
  }
}
// Room for `size` more bytes at the end of the buffer, for formatting straight
// into it; the caller adds what it wrote to `used`. Null when the file is not
// open.
char* reserve_output_slow(OutputFile& out, size_t size);
inline char* reserve_output(OutputFile& out, size_t size) {
  if (size <= out.buffer.size() - out.used) return out.buffer.data() + out.used;
  return reserve_output_slow(out, size);
}

void put_format(OutputFile& out, const char* format, ...) __attribute__((format(printf, 2, 3)));

// Writes a long run of text, straight from where it is when that saves
// copying it into the buffer.
void put_bulk(OutputFile& out, std::string_view text);

// Bit i is set when byte i of the 64 at `data` is a line feed.
inline std::uint64_t line_feed_mask(const char* data) {
#if defined(__SSE2__)
  const __m128i feed = _mm_set1_epi8('\n');
  auto bits = [&](int i) {
    __m128i bytes = _mm_loadu_si128(reinterpret_cast<const __m128i*>(data + 16 * i));
    return static_cast<std::uint64_t>(
        static_cast<std::uint32_t>(_mm_movemask_epi8(_mm_cmpeq_epi8(bytes, feed))));
  };
  return bits(0) | bits(1) << 16 | bits(2) << 32 | bits(3) << 48;
#else
  std::uint64_t mask = 0;
  for (int i = 0; i < 64; ++i)
    if (data[i] == '\n') mask |= std::uint64_t{1} << i;
  return mask;
#endif
}

// What a conversion loop does with a line scan_lines shows it.
enum class LineAction {
  kKeep,     // the line is written as it is
  kReplace,  // the handler writes what stands in its place (perhaps nothing)
  kStop,     // the loop reads and treats this line itself
};

// Runs a conversion loop's common cases straight over the buffered input.
// Every complete line that read_line would return as it is (at most 254
// characters, ended by a bare line feed, not starting with a blank or a tab;
// a few other lines, empty ones for example, are left to read_line too) is
// shown to `handler.look(line)`; the line lies in the input buffer, so its
// line feed and kInputSlack bytes from any place in it may be read. Lines to
// keep are copied in runs; for kReplace the run so far is written and then
// `handler.replace(out)` is called. The scan stops before a line the handler
// stops at, a line read_line would change, or a line that is not wholly in
// the buffer; the loop goes on from there with read_line.
template <typename Handler>
void scan_lines(InputFile& in, OutputFile& out, Handler& handler) {
  const char* data = in.buffer.data();
  size_t kept = in.pos;  // the run of kept lines not written yet starts here
  size_t line = in.pos;  // the line looked at starts here
  const size_t end = in.end;
  auto scan = [&] {
    for (size_t block = in.pos; block + 64 <= end; block += 64) {
      std::uint64_t feeds = line_feed_mask(data + block);
      while (feeds != 0) {
        size_t feed = block + static_cast<size_t>(std::countr_zero(feeds));
        feeds &= feeds - 1;
        // Lines starting with a blank or a tab, which read_line skips, go
        // the slow way, and so (to keep one test) do lines starting with any
        // other character up to the blank: empty lines among them, so that
        // the character before the line feed is this line's own.
        if (static_cast<unsigned char>(data[line]) <= ' ' || data[feed - 1] == '\r') return;
        LineAction action = handler.look(std::string_view(data + line, feed - line));
        if (action == LineAction::kStop) return;
        if (action == LineAction::kReplace) {
          if (line > kept) put_bulk(out, std::string_view(data + kept, line - kept));
          handler.replace(out);
          kept = feed + 1;
        }
        line = feed + 1;
      }
      // A line still open this far before the next block could end there
      // with more than 254 characters: read_line cuts such lines up. So every
      // line ended in a block is short enough.
      if (block + 64 - line > kDataPiece - 64) return;
    }
  };
  scan();
  if (line > kept) put_bulk(out, std::string_view(data + kept, line - kept));
  in.pos = line;
}

// Writes what is buffered and closes the file. False when any write, the
// flush or the close failed: the file is then not complete.
bool finish_output(OutputFile& out);

// printf into a std::string.
std::string format_text(const char* format, ...) __attribute__((format(printf, 1, 2)));
std::string format_text_v(const char* format, va_list args);
