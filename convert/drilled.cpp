#include "convert/drilled.h"

#include <cstdio>

#include "convert/coords.h"
#include "convert/drill.h"

namespace {

// Parses "X%lfY%lfD%u" and moves both coordinates by the current offset.
// False when a value does not parse or a moved one does not fit.
bool parse_shifted_draw(const JobSettings& job, std::string_view line, int& new_x, int& new_y,
                        unsigned& d) {
  size_t pos = 1;
  double x = 0.0;
  double y = 0.0;
  return begins_with(line, "X") && scan_double(line, pos, x) && pos < line.size() &&
         line[pos++] == 'Y' && scan_double(line, pos, y) && pos < line.size() &&
         line[pos++] == 'D' && scan_unsigned(line, pos, d) &&
         shift_coordinate(x, job.offset.x, new_x) && shift_coordinate(y, job.offset.y, new_y);
}

// Writes "X%dY%dD%02u*" at `at`; returns the end.
QUORLAN_HOT inline char* format_draw(char* at, int x, int y, unsigned d) {
  *at++ = 'X';
  at = format_int(at, x);
  *at++ = 'Y';
  at = format_int(at, y);
  *at++ = 'D';
  at = format_unsigned_02(at, d);
  *at++ = '*';
  return at;
}

constexpr size_t kMaxDrawText = 3 + 3 * kMaxNumberText + 2;

// The moved form of a draw line into `out`; false when it does not parse.
bool shift_draw_into(const JobSettings& job, std::string_view line, std::string& out) {
  int x = 0;
  int y = 0;
  unsigned d = 0;
  if (!parse_shifted_draw(job, line, x, y, d)) return false;
  out.resize(kMaxDrawText);
  out.resize(static_cast<size_t>(format_draw(out.data(), x, y, d) - out.data()));
  return true;
}

// Writes the moved form of a draw line and its line feed straight into the
// copy's buffer; false (and nothing written) when it does not parse.
bool put_shifted_draw(const JobSettings& job, std::string_view line, OutputFile& copy) {
  int x = 0;
  int y = 0;
  unsigned d = 0;
  if (!parse_shifted_draw(job, line, x, y, d)) return false;
  char* at = reserve_output(copy, kMaxDrawText);
  if (at == nullptr) return true;
  char* end = format_draw(at, x, y, d);
  *end++ = '\n';
  copy.used += static_cast<size_t>(end - at);
  return true;
}

// The drawing loop's common cases for scan_lines. Without an offset every
// line is copied, and only one that may be "M00" needs the loop's own look.
struct UnmovedDrawing {
  LineAction look(std::string_view line) const {
    return begins_with(line, "M") ? LineAction::kStop : LineAction::kKeep;
  }
  void replace(OutputFile&) const {}
};

// With an offset, a draw line whose numbers are plain is moved here, exactly
// as put_shifted_draw would; a line that cannot be a draw, or whose X or Y
// number is not followed by what a draw needs, is kept as the loop would keep
// it. Everything else ("M" lines, numbers that are not plain) is left to the
// loop.
struct MovedDrawing {
  PreparedOffset offset_x;
  PreparedOffset offset_y;
  // With offsets of fewer than 10^7 units on both axes, the coordinates are
  // moved from text to text.
  DecimalOffset decimal_x = prepare_decimal_offset(offset_x);
  DecimalOffset decimal_y = prepare_decimal_offset(offset_y);
  bool decimal = decimal_x.usable && decimal_y.usable;
  WholeText text_x{};
  WholeText text_y{};
  int x = 0;
  int y = 0;
  unsigned d = 0;

  LineAction look(std::string_view line) {
    if (line.empty()) return LineAction::kKeep;
    const char* at = line.data() + 1;
    if (line[0] == 'G') {
      if (!begins_with(line, "G01X")) return LineAction::kKeep;
      at += 3;
    } else if (line[0] == 'M') {
      return LineAction::kStop;
    } else if (line[0] != 'X') {
      return LineAction::kKeep;
    }
    // The numbers are read eight bytes at a time, which the input buffer
    // allows; the line feed ends a number as the end of the line would.
    char next = 0;
    if (decimal) {
      if (!read_whole_text(at, text_x, next)) return LineAction::kStop;
      if (next != 'Y') return ends_plain_number(next) ? LineAction::kKeep : LineAction::kStop;
      if (!read_whole_text(++at, text_y, next)) return LineAction::kStop;
      if (next != 'D') return ends_plain_number(next) ? LineAction::kKeep : LineAction::kStop;
      return read_plain_unsigned(++at, d) ? LineAction::kReplace : LineAction::kStop;
    }
    std::int32_t line_x = 0;
    std::int32_t line_y = 0;
    if (!read_whole(at, line_x, next)) return LineAction::kStop;
    if (next != 'Y') return ends_plain_number(next) ? LineAction::kKeep : LineAction::kStop;
    if (!read_whole(++at, line_y, next)) return LineAction::kStop;
    if (next != 'D') return ends_plain_number(next) ? LineAction::kKeep : LineAction::kStop;
    if (!read_plain_unsigned(++at, d)) return LineAction::kStop;
    if (!shift_small_whole(line_x, offset_x, x) || !shift_small_whole(line_y, offset_y, y))
      return LineAction::kKeep;
    return LineAction::kReplace;
  }

  void replace(OutputFile& copy) const {
    char* at = reserve_output(copy, kMaxDrawText);
    if (at == nullptr) return;
    char* end = at;
    if (decimal) {
      *end++ = 'X';
      end = format_moved(end, text_x, decimal_x);
      *end++ = 'Y';
      end = format_moved(end, text_y, decimal_y);
      *end++ = 'D';
      end = format_unsigned_02(end, d);
      *end++ = '*';
    } else {
      end = format_draw(at, x, y, d);
    }
    *end++ = '\n';
    copy.used += static_cast<size_t>(end - at);
  }
};

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
    UnmovedDrawing unmoved;
    MovedDrawing moved{prepare_offset(offset.x), prepare_offset(offset.y)};
    while (true) {
      if (job.offset_active)
        scan_lines(gerber, copy, moved);
      else
        scan_lines(gerber, copy, unmoved);
      if (!read_line(gerber, line)) return kPrematureEof;
      if (begins_with(line, "M00")) break;
      if (job.offset_active) {
        std::string_view draw = begins_with(line, "G01") ? line.substr(3) : line;
        if (put_shifted_draw(job, draw, copy)) continue;
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
