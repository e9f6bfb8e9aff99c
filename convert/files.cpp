#include "convert/files.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <cstdio>
#include <cstring>

namespace {

constexpr size_t kOutputBufferSize = 1 << 20;
// Runs of text at least this long skip the output buffer.
constexpr size_t kBulkWrite = 1 << 15;

bool has_nul(const std::string& name) { return name.find('\0') != std::string::npos; }

bool write_all(int fd, const char* data, size_t size) {
  while (size > 0) {
    ssize_t n = ::write(fd, data, size);
    if (n < 0 && errno == EINTR) continue;
    if (n <= 0) return false;
    data += n;
    size -= static_cast<size_t>(n);
  }
  return true;
}

void flush_buffer(OutputFile& out) {
  if (!out.failed && !write_all(out.fd, out.buffer.data(), out.used)) out.failed = true;
  out.used = 0;
}

bool same_file(const struct stat& a, const struct stat& b) {
  return a.st_dev == b.st_dev && a.st_ino == b.st_ino;
}

}  // namespace

std::string host_path(const std::string& name) {
  std::string path = name;
  std::replace(path.begin(), path.end(), '\\', '/');
  return path;
}

bool open_source(const std::string& name, InputFile& in) {
  close_input(in);
  in.pos = in.end = 0;
  in.at_eof = in.failed = false;
  if (name.empty() || has_nul(name)) return false;
  int fd = ::open(host_path(name).c_str(), O_RDONLY | O_CLOEXEC);
  if (fd < 0) return false;
  struct stat st;
  if (::fstat(fd, &st) != 0 || S_ISDIR(st.st_mode)) {
    ::close(fd);
    return false;
  }
  in.fd = fd;
  return true;
}

bool source_exists(const std::string& name) {
  InputFile probe;
  return open_source(name, probe);
}

// A conversion that stops early leaves its new file as far as it was written,
// so whatever is still buffered goes to disk.
OutputFile::~OutputFile() { finish_output(*this); }

std::vector<std::string> protected_sources(const JobSettings& job) {
  std::vector<std::string> names = {job.outline_source, job.drill_source, job.top_mask_source,
                                    job.bottom_mask_source};
  for (const DrilledRequest& request : job.requests) {
    if (source_exists(request.name))
      names.push_back(request.name);
    else
      names.push_back(job.source_path + request.name);
  }
  return names;
}

bool create_output(const std::string& name, const std::vector<std::string>& protect,
                   OutputFile& out) {
  if (name.empty() || has_nul(name)) return false;
  std::string path = host_path(name);
  struct stat target;
  if (::stat(path.c_str(), &target) == 0) {
    for (const std::string& source : protect) {
      struct stat st;
      if (!source.empty() && !has_nul(source) && ::stat(host_path(source).c_str(), &st) == 0 &&
          same_file(st, target))
        return false;
    }
  }
  int fd = ::open(path.c_str(), O_WRONLY | O_CREAT | O_TRUNC | O_CLOEXEC, 0666);
  if (fd < 0) return false;
  if (out.fd >= 0) ::close(out.fd);
  out.fd = fd;
  out.failed = false;
  out.buffer.assign(kOutputBufferSize, '\0');
  out.used = 0;
  return true;
}

void put_slow(OutputFile& out, std::string_view text) {
  if (out.fd < 0) return;
  if (text.size() > out.buffer.size() - out.used) {
    flush_buffer(out);
    if (text.size() > out.buffer.size()) {
      if (!out.failed && !write_all(out.fd, text.data(), text.size())) out.failed = true;
      return;
    }
  }
  std::memcpy(out.buffer.data() + out.used, text.data(), text.size());
  out.used += text.size();
}

char* reserve_output_slow(OutputFile& out, size_t size) {
  if (out.fd < 0) return nullptr;
  flush_buffer(out);
  if (out.buffer.size() < size) out.buffer.resize(size);
  return out.buffer.data();
}

void put_format(OutputFile& out, const char* format, ...) {
  // Formatted straight into the buffer when it fits the room there, which
  // it nearly always does; otherwise through a string of its own.
  constexpr size_t kRoom = 512;
  va_list args;
  va_start(args, format);
  char* at = reserve_output(out, kRoom);
  if (at != nullptr) {
    va_list copy;
    va_copy(copy, args);
    int n = std::vsnprintf(at, kRoom, format, copy);
    va_end(copy);
    if (n >= 0 && static_cast<size_t>(n) < kRoom) {
      out.used += static_cast<size_t>(n);
      va_end(args);
      return;
    }
  }
  std::string text = format_text_v(format, args);
  va_end(args);
  put(out, text);
}

void put_bulk(OutputFile& out, std::string_view text) {
  if (text.size() < kBulkWrite || out.fd < 0) {
    put(out, text);
    return;
  }
  flush_buffer(out);
  if (!out.failed && !write_all(out.fd, text.data(), text.size())) out.failed = true;
}

bool finish_output(OutputFile& out) {
  if (out.fd < 0) return false;
  flush_buffer(out);
  if (::close(out.fd) != 0) out.failed = true;
  out.fd = -1;
  return !out.failed;
}

std::string format_text_v(const char* format, va_list args) {
  va_list copy;
  va_copy(copy, args);
  int n = std::vsnprintf(nullptr, 0, format, copy);
  va_end(copy);
  if (n <= 0) return std::string();
  std::string text(static_cast<size_t>(n), '\0');
  std::vsnprintf(text.data(), text.size() + 1, format, args);
  return text;
}

std::string format_text(const char* format, ...) {
  va_list args;
  va_start(args, format);
  std::string text = format_text_v(format, args);
  va_end(args);
  return text;
}
