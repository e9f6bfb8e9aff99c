#include "app/run.h"

#include <cstdio>
#include <cstdlib>
#include <string>

#include "commands/interpreter.h"
#include "convert/drill.h"
#include "convert/drilled.h"
#include "convert/files.h"
#include "convert/mask.h"
#include "convert/outline.h"

namespace {

constexpr const char* kUsage =
    "\n\n"
    "  usage: Quorlan [switches/commands]\n"
    "  valid switches:\n"
    "\n"
    "      SPspath    Change the source path to spath              {default = NULL}\n"
    "      S1fname    Change outline source file name to fname     {default = board_outline.grb}\n"
    "      S2fname    Change drill source file name to fname       {default = drill_file.drl}\n"
    "      S3fname    Change top mask source file name to fname    {default = top_solder_mask.grb}\n"
    "      S4fname    Change bottom mask source file name to fname {default = bottom_solder_mask.grb}\n"
    "\n"
    "      N1fname    Change new outline file name to fname        {default = outline_poly.gbr}\n"
    "      N2fname    Change new drills file name to fname         {default = holes.gbr}\n"
    "      N3fname    Change new top mask file name to fname       {default = top_smask_poly.gbr}\n"
    "      N4fname    Change new bottom mask file name to fname    {default = bottom_smask_poly.gbr}\n"
    "                   -- Note: an empty fname will skip file creation --\n"
    "\n"
    "      Csname     Run command script sname {default extension = \".PCS\"\n"
    "\n"
    "      Dfnam.ext  Create \"fnam_drilled.ext\" using the drill data to make cutouts (32 files max}\n"
    "                 If the current offsets are not both zero, \"fnam_driledOfn.ext\" is created\n"
    "\n"
    "      End        End the current command script {NoOp in command line}\n"
    "\n"
    "      Ox.xx,y.yy Offset the following drilled files by x.xx, y.yy {default = (0,0)}\n"
    "\n"
    "      Rx.xx,y,yy Relative Offset, Add x.xx, y.yy to the current offset\n"
    "\n"
    "      Xd.ddd     Exclude d.ddd dia holes from all outputs (multiple entries allowed)\n"
    "\n"
    "      H | ?      Help - this screen\n"
    "\n";

EndProcessHook end_process_hook = nullptr;

constexpr const char* kPrematureEofOne = "\n\nError: premature EOF while reading \"%s\".\n";
constexpr const char* kPrematureEofTwo = "\n\nError: premature EOF while reading \"%s\" or \"%s\".\n";
constexpr const char* kCreationFailed = "\n\nError: \"%s\" file creation failed.\n";

// A status no stage expects still ends the run with a message.
int report_unknown(int status) {
  std::printf("\n\nUnknown error (code %02u) encountered.\n", static_cast<unsigned>(status));
  return status;
}

void print_banner() {
  std::printf("\n\n    Quorlan - a RS-274X File Converter for Rendering\n            Vers %1.2lf%c",
              kVersion, kRevision);
  std::printf("  (free software, made for board rendering)\n\n");
}

}  // namespace

void print_usage_and_exit(int exit_code) {
  std::printf("%s", kUsage);
  end_process(exit_code);
}

void set_end_process_hook(EndProcessHook hook) { end_process_hook = hook; }

void end_process(int exit_code) {
  std::fflush(stdout);
  if (end_process_hook != nullptr) end_process_hook(exit_code);
  std::exit(exit_code);
}

int run_job(JobSettings& job, int argc, char** argv,
            std::chrono::steady_clock::time_point started) {
  print_banner();
  job.run_stamp = current_run_stamp();
  for (int i = 0; i < argc; ++i) {
    std::string text = argv[i];
    run_command(job, text, std::string(), 1);
  }

  if (!job.source_path.empty()) {
    job.outline_source = job.source_path + job.outline_source;
    job.drill_source = job.source_path + job.drill_source;
    job.top_mask_source = job.source_path + job.top_mask_source;
    job.bottom_mask_source = job.source_path + job.bottom_mask_source;
  }
  bool no_outline = job.new_outline.empty() && !source_exists(job.outline_source);
  bool no_drill = job.new_drills.empty() && !source_exists(job.drill_source);
  job.offset = Offset{};
  job.offset_active = false;

  if (!job.new_outline.empty()) {
    int status = convert_outline(job);
    switch (status) {
      case kDone:
        std::printf("\n\n     %s created", job.new_outline.c_str());
        break;
      case kSourceMissing:
        std::printf("\n\nWarning: outline file \"%s\" not found, \"%s\" not created.\n",
                    job.outline_source.c_str(), job.new_outline.c_str());
        no_outline = true;
        break;
      case kCreateFailed:
        std::printf(kCreationFailed, job.new_outline.c_str());
        return status;
      case kPrematureEof:
        std::printf(kPrematureEofOne, job.outline_source.c_str());
        return status;
      default:
        return report_unknown(status);
    }
  }

  if (!job.new_drills.empty()) {
    int status = convert_drill(job);
    switch (status) {
      case kDone:
        std::printf("\n     %s created", job.new_drills.c_str());
        break;
      case kSourceMissing:
        std::printf("\n\nWarning: drill file \"%s\" not found, \"%s\" not created.\n",
                    job.drill_source.c_str(), job.new_drills.c_str());
        no_drill = true;
        break;
      case kCreateFailed:
        std::printf(kCreationFailed, job.new_drills.c_str());
        return status;
      case kPrematureEof:
        std::printf(kPrematureEofOne, job.drill_source.c_str());
        return status;
      case kParseError:
        std::printf("\n\nError: parsing data in \"%s\".\n", job.drill_source.c_str());
        return status;
      default:
        return report_unknown(status);
    }
  }

  struct MaskStage {
    const std::string& source;
    const std::string& target;
    bool top;
  };
  const MaskStage masks[] = {{job.top_mask_source, job.new_top_mask, true},
                             {job.bottom_mask_source, job.new_bottom_mask, false}};
  for (const MaskStage& mask : masks) {
    if (mask.target.empty()) continue;
    if (no_outline) {
      std::printf("\n\nWarning: no outline, \"%s\" not created", mask.target.c_str());
      continue;
    }
    int status = convert_mask(job, mask.source, mask.target);
    switch (status) {
      case kDone:
        std::printf("\n     %s created", mask.target.c_str());
        break;
      case kSourceMissing:
        // The two mask stages word this warning differently.
        if (mask.top)
          std::printf("\n\nWarning: mask file \"%s\" not found, \"%s\" not created.\n",
                      mask.source.c_str(), mask.target.c_str());
        else
          std::printf("\n\nWarning: drill or mask file not found, \"%s\" not created.\n",
                      mask.target.c_str());
        break;
      case kCreateFailed:
        std::printf(kCreationFailed, mask.target.c_str());
        return status;
      case kPrematureEof:
        std::printf(kPrematureEofTwo, job.outline_source.c_str(), mask.source.c_str());
        return status;
      default:
        return report_unknown(status);
    }
  }

  if (no_drill) {
    if (job.drilled_total > 0)
      std::printf("\n\nWarning: drill file \"%s\" not found, no drilled files created.\n\n",
                  job.drill_source.c_str());
  } else {
    for (DrilledRequest& request : job.requests) {
      int status = create_drilled_copies(job, request);
      switch (status) {
        case kDone:
          break;
        case kSourceMissing:
          std::printf("\n\nWarning: \"%s\" not found, no drilled file%s created.\n",
                      request.name.c_str(), request.offsets.size() == 1 ? "" : "s");
          break;
        case kCreateFailed:
          std::printf("\n\nError: drilled file creation failed.\n");
          return status;
        case kPrematureEof:
          std::printf(kPrematureEofOne, request.name.c_str());
          return status;
        case kParseError:
          std::printf("\n\nError: parsing data in \"%s\" or \"%s\".\n", job.drill_source.c_str(),
                      request.name.c_str());
          return status;
        default:
          return report_unknown(status);
      }
    }
  }

  auto elapsed = std::chrono::duration_cast<std::chrono::milliseconds>(
      std::chrono::steady_clock::now() - started);
  std::printf("\n\n  Done, %u file%s created in %1.3lf Sec.\n\n", job.files_created,
              job.files_created == 1 ? "" : "s", static_cast<double>(elapsed.count()) / 1000.0);
  return 0;
}
