#include "convert/drill.h"

#include <algorithm>
#include <cstdint>

#include "convert/coords.h"

namespace {

// Parses "T%uC%lf".
bool parse_tool_line(std::string_view line, unsigned& tool, double& diameter) {
  size_t pos = 1;
  return begins_with(line, "T") && scan_unsigned(line, pos, tool) && pos < line.size() &&
         line[pos++] == 'C' && scan_double(line, pos, diameter);
}

// Records the tool in the first row holding its rounded diameter. False when
// the diameter is not suppressed.
bool suppress_tool(JobSettings& job, unsigned tool, double diameter) {
  double rounded = round_diameter(diameter);
  for (SuppressedDiameter& row : job.suppressed) {
    if (row.diameter != rounded) continue;
    row.tool = tool;
    if (std::find(row.tools.begin(), row.tools.end(), tool) == row.tools.end())
      row.tools.push_back(tool);
    return true;
  }
  return false;
}

// Base plus tool number, in a type wide enough that it cannot overflow.
std::uint64_t aperture_number(unsigned base, unsigned tool) {
  return static_cast<std::uint64_t>(base) + tool;
}

// Parses "X%lfY%lf" and moves both coordinates by the current offset. False
// when a value does not parse or a moved one does not fit.
bool parse_shifted_hit(const JobSettings& job, std::string_view line, int& new_x, int& new_y) {
  size_t pos = 1;
  double x = 0.0;
  double y = 0.0;
  return begins_with(line, "X") && scan_double(line, pos, x) && pos < line.size() &&
         line[pos++] == 'Y' && scan_double(line, pos, y) &&
         shift_coordinate(x, job.offset.x, new_x) && shift_coordinate(y, job.offset.y, new_y);
}

// Writes "X%dY%d" and `tail` at `at`; returns the end.
char* format_hit(char* at, int x, int y, std::string_view tail) {
  *at++ = 'X';
  at = format_int(at, x);
  *at++ = 'Y';
  at = format_int(at, y);
  for (char c : tail) *at++ = c;
  return at;
}

}  // namespace

bool is_tool_suppressed(const JobSettings& job, unsigned tool) {
  for (const SuppressedDiameter& row : job.suppressed)
    if (std::find(row.tools.begin(), row.tools.end(), tool) != row.tools.end()) return true;
  return false;
}

ConversionStatus emit_tool_apertures(JobSettings& job, InputFile& drill, OutputFile& target,
                                     unsigned aperture_base) {
  if (!rewind_input(drill)) return kPrematureEof;
  std::string_view line;
  do {
    if (!read_line(drill, line)) return kPrematureEof;
  } while (!begins_with(line, "INCH"));
  while (true) {
    if (!read_line(drill, line)) return kPrematureEof;
    if (begins_with(line, "%")) return kDone;
    unsigned tool = 0;
    double diameter = 0.0;
    if (!parse_tool_line(line, tool, diameter)) return kParseError;
    if (suppress_tool(job, tool, diameter)) continue;
    put_format(target, "%%ADD%lluC,%1.6lf*%%\n",
               static_cast<unsigned long long>(aperture_number(aperture_base, tool)), diameter);
  }
}

ConversionStatus emit_drill_hits(const JobSettings& job, InputFile& drill, OutputFile& target,
                                 unsigned aperture_base) {
  if (!rewind_input(drill)) return kPrematureEof;
  std::string_view line;
  do {
    if (!read_line(drill, line)) return kPrematureEof;
  } while (!begins_with(line, "G90"));
  bool suppressed = false;
  while (true) {
    if (!read_line(drill, line)) return kPrematureEof;
    if (begins_with(line, "T")) {
      size_t pos = 1;
      unsigned tool = 0;
      if (!scan_unsigned(line, pos, tool)) return kParseError;
      suppressed = is_tool_suppressed(job, tool);
      if (!suppressed)
        put_format(target, "\nG54D%llu*\n",
                   static_cast<unsigned long long>(aperture_number(aperture_base, tool)));
    }
    if (begins_with(line, "X") && !suppressed) {
      int x = 0;
      int y = 0;
      if (job.offset_active && parse_shifted_hit(job, line, x, y)) {
        char* at = reserve_output(target, 2 + 2 * kMaxNumberText + 5);
        if (at != nullptr) target.used += static_cast<size_t>(format_hit(at, x, y, "D03*\n") - at);
      } else {
        put(target, line);
        put(target, "D03*\n");
      }
    }
    if (begins_with(line, "M")) return kDone;
  }
}

std::string shift_hit(const JobSettings& job, std::string_view line) {
  int x = 0;
  int y = 0;
  if (!parse_shifted_hit(job, line, x, y)) return std::string(line);
  std::string out(2 + 2 * kMaxNumberText, '\0');
  out.resize(static_cast<size_t>(format_hit(out.data(), x, y, "") - out.data()));
  return out;
}

ConversionStatus convert_drill(JobSettings& job) {
  InputFile drill;
  if (!open_source(job.drill_source, drill)) return kSourceMissing;
  OutputFile target;
  if (!create_output(job.new_drills, protected_sources(job), target)) return kCreateFailed;
  put_format(target,
             "G04 Excellon drill file converted by Quorlan Version %1.2lf%c on %s *\n\n%s\n%s\n\n",
             kVersion, kRevision, job.run_stamp.c_str(), "%FSLAX24Y24*%", "%MOIN*%");
  constexpr unsigned kDrillBase = 9;
  ConversionStatus status = emit_tool_apertures(job, drill, target, kDrillBase);
  if (status == kDone) status = emit_drill_hits(job, drill, target, kDrillBase);
  if (status != kDone) return status;
  put(target, "\nM00*\nM02*\n");
  if (!finish_output(target)) return kCreateFailed;
  ++job.files_created;
  return kDone;
}
