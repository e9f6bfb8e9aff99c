// libFuzzer target: one input fed to the whole job, in-process, in a scratch
// directory. The input becomes in turn the outline source, the drill source
// (for the holes file and for drilled copies), both mask sources, a gerber
// layer drilled at a zero and a non-zero offset, and a command script. The
// other sources are the small example boards.
//
// Besides the sanitizers, every job is checked for what a user relies on: it
// ends with a status from 0 to 4, and none of its source files changes.
// Run it with tools/fuzz.sh; see the README.

#include <fcntl.h>
#include <stdlib.h>
#include <unistd.h>

#include <chrono>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <string>
#include <vector>

#include "app/job_settings.h"
#include "app/run.h"
#include "tests/fixtures.h"

namespace fs = std::filesystem;

namespace {

// Thrown by the end-process hook, so a job that ends the process (help, a
// script that cannot be opened) unwinds back to the harness instead.
struct JobEnded {
  int status;
};

[[noreturn]] void end_job(int status) { throw JobEnded{status}; }

int home_dir = -1;     // the directory libFuzzer was started in
int scratch_dir = -1;  // where the jobs run
std::string scratch_path;

constexpr const char* kInput = "input.txt";

struct Source {
  const char* name;
  const char* text;  // nullptr: the fuzz input
};

const Source kSources[] = {
    {kInput, nullptr},
    {"outline.grb", kOutlineSource},
    {"drill.drl", kDrillSource},
    {"mask.grb", kMaskSource},
    {"layer.gbr", kCopperSource},
};

struct Job {
  const char* what;
  std::vector<std::string> args;
  bool sources_fixed;  // false when the script may legitimately rename them
};

// A failing stage ends a run, so each job puts the input where the first stage
// that reads it meets it. The drill job goes on to drilled copies, which read
// the drill file again with other aperture numbers and moved hits. The layer
// job writes its moved copy before the unmoved one, so that draw lines are
// moved even when the layer turns out to end too early.
const std::vector<Job>& jobs() {
  static const std::vector<Job> kJobs = {
      {"outline", {"S1input.txt", "S2drill.drl", "S3mask.grb", "S4mask.grb"}, true},
      {"drill",
       {"S1outline.grb", "S2input.txt", "N1", "N3", "N4", "Dlayer.gbr", "O0.5,-0.25", "Dlayer.gbr"},
       true},
      {"masks", {"S1outline.grb", "S3input.txt", "S4input.txt", "N1", "N2"}, true},
      {"layer",
       {"S2drill.drl", "N1", "N2", "N3", "N4", "O-1.5,2.25", "Dinput.txt", "O0,0", "Dinput.txt"},
       true},
      {"script", {"S1outline.grb", "S2drill.drl", "S3mask.grb", "S4mask.grb", "Cinput.txt"}, false},
  };
  return kJobs;
}

void fail(const Job& job, const char* why) {
  std::fprintf(stderr, "\n*** job \"%s\": %s\n", job.what, why);
  std::abort();
}

void write_whole(const char* name, const char* data, size_t size) {
  std::FILE* f = std::fopen(name, "wb");
  if (f == nullptr || std::fwrite(data, 1, size, f) != size || std::fclose(f) != 0) {
    std::perror(name);
    std::abort();
  }
}

std::string read_whole(const char* name) {
  std::ifstream in(name, std::ios::binary);
  return std::string(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
}

void clear_scratch() {
  std::error_code ignored;
  for (const auto& entry : fs::directory_iterator(scratch_path, ignored))
    fs::remove_all(entry.path(), ignored);
}

int run_one(const Job& job) {
  std::vector<std::string> text = job.args;
  std::vector<char*> argv;
  for (std::string& arg : text) argv.push_back(arg.data());
  argv.push_back(nullptr);
  JobSettings settings;
  try {
    return run_job(settings, static_cast<int>(text.size()), argv.data(),
                   std::chrono::steady_clock::now());
  } catch (const JobEnded& ended) {
    return ended.status;
  }
}

void remove_scratch() {
  if (scratch_path.empty()) return;
  std::error_code ignored;
  fs::remove_all(scratch_path, ignored);
}

}  // namespace

extern "C" int LLVMFuzzerInitialize(int*, char***) {
  set_end_process_hook(end_job);
  setenv("SOURCE_DATE_EPOCH", "1236002865", 1);
  // The job's messages would drown libFuzzer's own; QUORLAN_FUZZ_STDOUT=1
  // keeps them, which helps when replaying one crash input.
  const char* keep = std::getenv("QUORLAN_FUZZ_STDOUT");
  if (keep == nullptr || *keep == '\0' || *keep == '0') {
    int null_fd = open("/dev/null", O_WRONLY);
    if (null_fd >= 0) dup2(null_fd, STDOUT_FILENO);
  }
  std::string pattern = (fs::temp_directory_path() / "quorlan-fuzz-XXXXXX").string();
  if (mkdtemp(pattern.data()) == nullptr) {
    std::perror("mkdtemp");
    std::abort();
  }
  scratch_path = pattern;
  std::atexit(remove_scratch);
  home_dir = open(".", O_RDONLY | O_DIRECTORY);
  scratch_dir = open(scratch_path.c_str(), O_RDONLY | O_DIRECTORY);
  if (home_dir < 0 || scratch_dir < 0) {
    std::perror("open");
    std::abort();
  }
  return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  // libFuzzer reads corpus and crash files relative to where it started, so
  // the jobs' directory is entered only for the duration of one input.
  if (fchdir(scratch_dir) != 0) std::abort();
  clear_scratch();
  const char* input = reinterpret_cast<const char*>(data);
  std::vector<std::string> originals;
  for (const Source& source : kSources) {
    if (source.text == nullptr) {
      write_whole(source.name, input, size);
      originals.emplace_back(input, size);
    } else {
      write_whole(source.name, source.text, std::char_traits<char>::length(source.text));
      originals.emplace_back(source.text);
    }
  }
  // A script may name any file: one that names a path outside the scratch
  // directory ("/", or "\" read as "/") is not run, so fuzzing never writes
  // elsewhere or reads devices.
  bool script_safe = std::string(input, size).find_first_of("/\\") == std::string::npos;

  for (const Job& job : jobs()) {
    if (!job.sources_fixed && !script_safe) continue;
    int status = run_one(job);
    std::fflush(stdout);
    if (status < 0 || status > 4) fail(job, "exit status outside 0..4");
    if (!job.sources_fixed) continue;
    for (size_t i = 0; i < std::size(kSources); ++i)
      if (read_whole(kSources[i].name) != originals[i]) fail(job, "a source file changed");
  }
  if (fchdir(home_dir) != 0) std::abort();
  return 0;
}
