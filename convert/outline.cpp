#include "convert/outline.h"

namespace {

constexpr std::string_view kDrawPartsMarker = "G04 -------------- Draw Parts";

}  // namespace

void put_converted_comment(const JobSettings& job, OutputFile& target) {
  put_format(target, "G04 Converted by Quorlan Version %1.2lf%c on %s *\n\n", kVersion, kRevision,
             job.run_stamp.c_str());
}

bool emit_outline_regions(InputFile& source, OutputFile& target) {
  unsigned region = 1;
  bool written = false;
  put_format(target, "G04 Begin outline %u *\n\nG36*\n", region);
  std::string_view line;
  while (read_line(source, line)) {
    // The split comes first, so a move on the marker or select line still
    // closes the region before that line is looked at.
    if (written && contains(line, "D02")) {
      put_format(target, "G37*\nG04 End outline %u *\n\nG04 Begin outline %u *\nG36*\n", region,
                 region + 1);
      ++region;
    }
    if (contains(line, "G54D")) continue;
    if (contains(line, kDrawPartsMarker)) {
      put_format(target, "G37*\nG04 End outline %u *\n", region);
      return true;
    }
    if (begins_with(line, "G01")) line.remove_prefix(3);
    put_line(target, line);
    written = true;
  }
  return false;
}

ConversionStatus convert_outline(JobSettings& job) {
  InputFile source;
  if (!open_source(job.outline_source, source)) return kSourceMissing;
  OutputFile target;
  if (!create_output(job.new_outline, protected_sources(job), target)) return kCreateFailed;

  std::string_view line;
  while (read_line(source, line)) {
    if (contains(line, "%FSLA")) put_converted_comment(job, target);
    put_line(target, line);
    if (contains(line, "MOIN")) break;
  }
  put(target, "G90*\n");
  while (read_line(source, line)) {
    if (contains(line, "G54D")) break;
  }
  put_format(target, "\n%s\n\n", "%LPD*%");
  if (!emit_outline_regions(source, target)) return kPrematureEof;
  put(target, "\nM00*\nM02*\n");
  if (!finish_output(target)) return kCreateFailed;
  ++job.files_created;
  return kDone;
}
