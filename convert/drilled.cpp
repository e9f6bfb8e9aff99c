#include "convert/drilled.h"

#include <cstdio>

#include "convert/coords.h"
#include "convert/drill.h"

namespace {

// Parses "X%lfY%lfD%u" and writes the moved form into `out`.
bool shift_draw_into(const JobSettings& job, std::string_view line, std::string& out) {
  size_t pos = 1;
  double x = 0.0;
  double y = 0.0;
  unsigned d = 0;
  int new_x = 0;
  int new_y = 0;
  if (!begins_with(line, "X") || !scan_double(line, pos, x) || pos >= line.size() ||
      line[pos++] != 'Y' || !scan_double(line, pos, y) || pos >= line.size() ||
      line[pos++] != 'D' || !scan_unsigned(line, pos, d) ||
      !shift_coordinate(x, job.offset.x, new_x) || !shift_coordinate(y, job.offset.y, new_y))
    return false;
  out.clear();
  out.push_back('X');
  append_int(out, new_x);
  out.push_back('Y');
  append_int(out, new_y);
  out.push_back('D');
  append_unsigned_02(out, d);
  out.push_back('*');
  return true;
}

// Reads the number after "%ADD" and raises `highest` when it is higher.
void note_aperture(std::string_view line, unsigned& highest) {
  size_t pos = 4;
  unsigned number = 0;
  if (scan_unsigned(line, pos, number) && number > highest) highest = number;
}

}  // namespace

std::string drilled_copy_name(const std::string& name, const std::string& suffix) {
  size_t base = name.find_last_of("/\\");
  base = base == std::string::npos ? 0 : base + 1;
  size_t dot = name.find('.', base);
  if (dot == std::string::npos) return name + suffix;
  return name.substr(0, dot) + suffix + name.substr(dot);
}

std::string shift_draw(const JobSettings& job, std::string_view line) {
  std::string out;
  std::string_view draw = begins_with(line, "G01") ? line.substr(3) : line;
  if (shift_draw_into(job, draw, out)) return out;
  return std::string(line);
}

ConversionStatus create_drilled_copies(JobSettings& job, DrilledRequest& request) {
  unsigned highest = 0;
  std::string moved;
  for (const Offset& offset : request.offsets) {
    job.offset = offset;
    std::string suffix = "_drilled";
    job.offset_active = !is_zero_offset(offset);
    if (job.offset_active) suffix = "_drilledOf" + std::to_string(++request.copy_sequence);
    std::string copy_name = drilled_copy_name(request.name, suffix);

    InputFile gerber;
    if (!open_source(request.name, gerber) && !open_source(job.source_path + request.name, gerber))
      return kSourceMissing;
    InputFile drill;
    if (!open_source(job.drill_source, drill)) return kSourceMissing;
    OutputFile copy;
    if (!create_output(copy_name, protected_sources(job), copy)) return kCreateFailed;

    std::string_view line;
    while (true) {
      if (!read_line(gerber, line)) return kPrematureEof;
      if (contains(line, "%FSLA")) {
        if (job.offset_active)
          put_format(copy, "G04 Offset by (%1.3lf,%1.3lf) and drilled", offset.x, offset.y);
        else
          put(copy, "G04 Drilled");
        put_format(copy, " by Quorlan Version %1.2lf%c on %s *\n\n", kVersion, kRevision,
                   job.run_stamp.c_str());
      }
      if (begins_with(line, "%ADD")) note_aperture(line, highest);
      if (begins_with(line, "G9")) break;
      put_line(copy, line);
    }
    unsigned base = highest < 9 ? 9 : highest;
    ConversionStatus status = emit_tool_apertures(job, drill, copy, base);
    if (status != kDone) return status;
    put(copy, "\nG90*\n");
    while (true) {
      if (!read_line(gerber, line)) return kPrematureEof;
      if (begins_with(line, "M00")) break;
      if (job.offset_active) {
        std::string_view draw = begins_with(line, "G01") ? line.substr(3) : line;
        if (shift_draw_into(job, draw, moved)) line = moved;
      }
      put_line(copy, line);
    }
    put_format(copy, "\n%s\n\n", "%LPC*%");
    status = emit_drill_hits(job, drill, copy, base);
    if (status != kDone) return status;
    put(copy, "\nM00*\nM02*\n");
    if (!finish_output(copy)) return kCreateFailed;
    std::printf("\n     %s created", copy_name.c_str());
    ++job.files_created;
  }
  return kDone;
}
