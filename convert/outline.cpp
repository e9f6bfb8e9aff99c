#include "convert/outline.h"

namespace {

constexpr std::string_view kDrawPartsMarker = "G04 -------------- Draw Parts";

// True when the line holds a move "D02" (looked for only when `moves_split`),
// a select "G54D" or the Draw Parts marker: one pass over the line for what
// would otherwise be three searches.
bool outline_special(std::string_view line, bool moves_split) {
  for (size_t i = 0; i < line.size(); ++i) {
    if (line[i] == 'D') {
      if (moves_split && line.substr(i, 3) == "D02") return true;
    } else if (line[i] == 'G') {
      std::string_view rest = line.substr(i);
      if (begins_with(rest, "G54D") || begins_with(rest, kDrawPartsMarker)) return true;
    }
  }
  return false;
}

// The region loop of emit_outline_regions, for scan_lines: lines that start
// a region, are dropped or end the drawing are left to the loop; the others
// are written, without a "G01" prefix.
struct OutlineDrawing {
  bool& written;
  std::string_view rest;  // the line without its "G01"

  LineAction look(std::string_view line) {
    if (outline_special(line, written)) return LineAction::kStop;
    written = true;
    if (!begins_with(line, "G01")) return LineAction::kKeep;
    rest = line.substr(3);
    return LineAction::kReplace;
  }
  void replace(OutputFile& target) const { put_line(target, rest); }
};

}  // namespace

void put_converted_comment(const JobSettings& job, OutputFile& target) {
  put_format(target, "G04 Converted by Quorlan Version %1.2lf%c on %s *\n\n", kVersion, kRevision,
             job.run_stamp.c_str());
}

bool emit_outline_regions(InputFile& source, OutputFile& target) {
  unsigned region = 1;
  bool written = false;
  put_format(target, "G04 Begin outline %u *\n\nG36*\n", region);
  OutlineDrawing drawing{written, {}};
  std::string_view line;
  while (true) {
    scan_lines(source, target, drawing);
    if (!read_line(source, line)) break;
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
