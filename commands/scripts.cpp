#include "commands/scripts.h"

#include <cstdio>

#include "app/run.h"
#include "commands/interpreter.h"
#include "convert/files.h"
#include "convert/line_reader.h"

namespace {

constexpr unsigned kMaxNesting = 8;
// Scripts may call each other several times at every level, which would
// multiply to millions of runs within eight levels; no real job comes near
// this many.
constexpr unsigned kMaxScriptsPerJob = 1024;

}  // namespace

int run_script(JobSettings& job, const std::string& text, const std::string& argument,
               unsigned level) {
  if (level > kMaxNesting) {
    std::printf("\n\n-- Maximum nesting level reached, \"%s\" ignored --\n\n", text.c_str());
    return kCommandIgnored;
  }
  if (job.scripts_run >= kMaxScriptsPerJob) {
    std::printf("\n\n-- Maximum of %u scripts per job reached, \"%s\" ignored --\n\n",
                kMaxScriptsPerJob, text.c_str());
    return kCommandIgnored;
  }
  std::string name = argument;
  if (name.find('.') == std::string::npos) name += ".pcs";

  InputFile script;
  if (!open_source(name, script)) {
    std::printf("\n\n-- Unable to open script \"%s\", job terminated --\n\n", name.c_str());
    end_process(1);
  }
  ++job.scripts_run;
  Offset saved = job.offset;
  std::printf("\n  -- Running \"%s\" at nested level %u --", name.c_str(), level);
  std::string_view piece;
  std::string line;
  while (read_piece(script, kScriptPiece, piece)) {
    line.assign(piece);
    if (run_command(job, line, name, level + 1) < 0) break;
  }
  close_input(script);
  std::printf("\n  -- \"%s\" done --", name.c_str());
  job.offset = saved;
  return kCommandDone;
}
