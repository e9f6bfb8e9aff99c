// Opening sources and writing new files: the one place that decides how a
// name becomes a path, which files must never be overwritten, and whether a
// new file was written completely.
#pragma once

#include <cstdarg>
#include <string>
#include <string_view>
#include <vector>

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
  std::string buffer;
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

void put(OutputFile& out, std::string_view text);
inline void put_line(OutputFile& out, std::string_view text) {
  put(out, text);
  put(out, "\n");
}
void put_format(OutputFile& out, const char* format, ...) __attribute__((format(printf, 2, 3)));

// Writes what is buffered and closes the file. False when any write, the
// flush or the close failed: the file is then not complete.
bool finish_output(OutputFile& out);

// printf into a std::string.
std::string format_text(const char* format, ...) __attribute__((format(printf, 1, 2)));
std::string format_text_v(const char* format, va_list args);
