#include "convert/mask.h"

#include "convert/outline.h"

namespace {

// The drawing loop below, for scan_lines: polarity statements are dropped and
// "G01" prefixes removed here; a line that may be "M00*" is left to the loop.
struct MaskDrawing {
  std::string_view kept;  // what replaces the line: nothing, or the line without "G01"

  LineAction look(std::string_view line) {
    if (begins_with(line, "M")) return LineAction::kStop;
    if (begins_with(line, "%LP")) {
      kept = std::string_view();
      return LineAction::kReplace;
    }
    if (begins_with(line, "G01")) {
      kept = line.substr(3);
      return LineAction::kReplace;
    }
    return LineAction::kKeep;
  }

  void replace(OutputFile& target) const {
    if (kept.data() != nullptr) put_line(target, kept);
  }
};

}  // namespace

ConversionStatus convert_mask(JobSettings& job, const std::string& mask_source,
                              const std::string& new_name) {
  InputFile mask;
  if (!open_source(mask_source, mask)) return kSourceMissing;
  InputFile outline;
  if (!open_source(job.outline_source, outline)) return kSourceMissing;
  OutputFile target;
  if (!create_output(new_name, protected_sources(job), target)) return kCreateFailed;

  // Header: everything before the first "G90*" line, which is dropped. The
  // "G90*" test comes first, so a format line that also holds it gets no
  // comment.
  std::string_view line;
  while (read_line(mask, line)) {
    if (contains(line, "G90*")) break;
    if (contains(line, "%FSLA")) put_converted_comment(job, target);
    put_line(target, line);
  }
  bool found = false;
  while (!found && read_line(mask, line)) found = contains(line, "%LPD*%");
  if (!found) return kPrematureEof;
  found = false;
  while (!found && read_line(outline, line)) found = contains(line, "G54D");
  if (!found) return kPrematureEof;

  put_format(target, "\n%s\n\n", "%LPD*%");
  if (!emit_outline_regions(outline, target)) return kPrematureEof;
  put_format(target, "\n%s\n\n", "%LPC*%");

  // The drawing replays the mask's openings under clear polarity; its own
  // polarity statements would turn parts of it dark again, so they go.
  MaskDrawing drawing;
  while (true) {
    scan_lines(mask, target, drawing);
    if (!read_line(mask, line)) return kPrematureEof;
    if (begins_with(line, "M00*")) break;
    if (begins_with(line, "%LP")) continue;
    if (begins_with(line, "G01")) line.remove_prefix(3);
    put_line(target, line);
  }
  put(target, "\nM00*\nM02*\n");
  if (!finish_output(target)) return kCreateFailed;
  ++job.files_created;
  return kDone;
}
