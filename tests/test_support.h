// Helpers for file-level and end-to-end tests.
#pragma once

#include <string>
#include <vector>

// A fresh directory under the system's temporary directory, removed with
// everything in it when the object goes out of scope.
class TempDir {
 public:
  TempDir();
  ~TempDir();
  TempDir(const TempDir&) = delete;
  TempDir& operator=(const TempDir&) = delete;

  const std::string& path() const { return path_; }
  std::string file(const std::string& name) const { return path_ + "/" + name; }
  void write(const std::string& name, const std::string& content) const;
  std::string read(const std::string& name) const;
  bool exists(const std::string& name) const;
  // Names of the regular files directly in the directory, sorted.
  std::vector<std::string> files() const;

 private:
  std::string path_;
};

std::string read_file(const std::string& path);
void write_file(const std::string& path, const std::string& content);

struct RunResult {
  int exit_status = -1;  // -1 when the program did not exit normally
  std::string output;    // standard output
  std::string errors;    // standard error (always expected empty)
};

// Runs the built quorlan binary in `dir` with the given arguments, without a
// shell, with SOURCE_DATE_EPOCH=1236002865 (Mon Mar 02 14:07:45 2009 in UTC).
RunResult run_quorlan(const std::string& dir, const std::vector<std::string>& args);

// The text with every line feed preceded by a carriage return, as files
// written on Windows have it.
std::string with_crlf(const std::string& text);

// The output with the elapsed seconds of the summary replaced by "X.XXX".
std::string mask_elapsed(const std::string& output);

// The banner every run starts with.
std::string banner();

// The summary every complete run ends with, elapsed time masked.
std::string summary(unsigned files);

// The run stamp of run_quorlan.
constexpr const char* kStamp = "Mon Mar 02 14:07:45 2009";

// Where the real exported boards are, or "" (after printing why) when they
// are not on this machine.
std::string realdata_dir();
