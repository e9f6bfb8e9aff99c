#include "test_support.h"

#include <fcntl.h>
#include <spawn.h>
#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <regex>
#include <sstream>

extern char** environ;

namespace fs = std::filesystem;

TempDir::TempDir() {
  std::string pattern = (fs::temp_directory_path() / "quorlan-test-XXXXXX").string();
  if (mkdtemp(pattern.data()) == nullptr) std::abort();
  path_ = pattern;
}

TempDir::~TempDir() {
  std::error_code ignored;
  fs::remove_all(path_, ignored);
}

void TempDir::write(const std::string& name, const std::string& content) const {
  fs::path p = fs::path(path_) / name;
  fs::create_directories(p.parent_path());
  write_file(p.string(), content);
}

std::string TempDir::read(const std::string& name) const { return read_file(file(name)); }

bool TempDir::exists(const std::string& name) const { return fs::exists(file(name)); }

std::vector<std::string> TempDir::files() const {
  std::vector<std::string> names;
  for (const auto& entry : fs::directory_iterator(path_))
    if (entry.is_regular_file()) names.push_back(entry.path().filename().string());
  std::sort(names.begin(), names.end());
  return names;
}

std::string read_file(const std::string& path) {
  std::ifstream in(path, std::ios::binary);
  std::ostringstream text;
  text << in.rdbuf();
  return text.str();
}

void write_file(const std::string& path, const std::string& content) {
  std::ofstream out(path, std::ios::binary | std::ios::trunc);
  out << content;
}

RunResult run_quorlan(const std::string& dir, const std::vector<std::string>& args) {
  TempDir capture;
  std::string out_path = capture.file("stdout");
  std::string err_path = capture.file("stderr");

  std::vector<std::string> env_text;
  for (char** e = environ; *e != nullptr; ++e)
    if (std::string(*e).rfind("SOURCE_DATE_EPOCH=", 0) != 0) env_text.push_back(*e);
  env_text.push_back("SOURCE_DATE_EPOCH=1236002865");
  std::vector<char*> env;
  for (std::string& e : env_text) env.push_back(e.data());
  env.push_back(nullptr);

  std::string binary = QUORLAN_BINARY;
  std::vector<std::string> argv_text = {binary};
  argv_text.insert(argv_text.end(), args.begin(), args.end());
  std::vector<char*> argv;
  for (std::string& a : argv_text) argv.push_back(a.data());
  argv.push_back(nullptr);

  posix_spawn_file_actions_t actions;
  posix_spawn_file_actions_init(&actions);
  posix_spawn_file_actions_addopen(&actions, 0, "/dev/null", O_RDONLY, 0);
  posix_spawn_file_actions_addopen(&actions, 1, out_path.c_str(), O_WRONLY | O_CREAT | O_TRUNC,
                                   0644);
  posix_spawn_file_actions_addopen(&actions, 2, err_path.c_str(), O_WRONLY | O_CREAT | O_TRUNC,
                                   0644);
  posix_spawn_file_actions_addchdir_np(&actions, dir.c_str());
  pid_t pid = 0;
  RunResult result;
  int rc = posix_spawn(&pid, binary.c_str(), &actions, nullptr, argv.data(), env.data());
  posix_spawn_file_actions_destroy(&actions);
  if (rc != 0) return result;
  int status = 0;
  waitpid(pid, &status, 0);
  if (WIFEXITED(status)) result.exit_status = WEXITSTATUS(status);
  result.output = read_file(out_path);
  result.errors = read_file(err_path);
  return result;
}

std::string with_crlf(const std::string& text) {
  std::string out;
  for (char c : text) {
    if (c == '\n') out += '\r';
    out += c;
  }
  return out;
}

std::string mask_elapsed(const std::string& output) {
  static const std::regex kElapsed("created in [0-9]+\\.[0-9]{3} Sec\\.");
  return std::regex_replace(output, kElapsed, "created in X.XXX Sec.");
}

std::string banner() {
  return "\n\n    Quorlan - a RS-274X File Converter for Rendering\n            Vers 1.13R"
         "  (free software, made for board rendering)\n\n";
}

std::string summary(unsigned files) {
  return "\n\n  Done, " + std::to_string(files) + (files == 1 ? " file" : " files") +
         " created in X.XXX Sec.\n\n";
}

std::string realdata_dir() {
  std::string dir = QUORLAN_REALDATA;
  if (fs::is_directory(dir)) return dir;
  std::printf("real boards not found at %s; skipping\n", dir.c_str());
  return std::string();
}
