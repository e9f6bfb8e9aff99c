#include "commands/interpreter.h"

#include <cmath>
#include <cstdio>

#include "app/run.h"
#include "commands/scripts.h"
#include "convert/coords.h"

namespace {

constexpr unsigned kMaxDrilledCopies = 32;

bool is_blank(char c) { return c == ' ' || c == '\t'; }

void trim_blanks(std::string& text) {
  size_t first = 0;
  while (first < text.size() && is_blank(text[first])) ++first;
  size_t last = text.size();
  while (last > first && is_blank(text[last - 1])) --last;
  text = text.substr(first, last - first);
}

// Two numbers as "%lf%*c%lf" reads them: a number, any one character, a
// number. Both must be finite: an infinite or undefined offset cannot move a
// coordinate and would never compare equal to another.
bool parse_pair(const std::string& argument, Offset& pair) {
  double x = 0.0;
  double y = 0.0;
  if (std::sscanf(argument.c_str(), "%lf%*c%lf", &x, &y) != 2 || !std::isfinite(x) ||
      !std::isfinite(y))
    return false;
  pair = {x, y};
  return true;
}

void print_offset_suffix(const Offset& offset) {
  if (!is_zero_offset(offset)) std::printf(" with offset (%1.3lf,%1.3lf)", offset.x, offset.y);
}

// The value of an S or N command: everything after the selector.
std::string selector_value(const std::string& text) {
  return text.size() > 2 ? text.substr(2) : std::string();
}

bool equal_ignoring_case(const std::string& a, const std::string& b) {
  if (a.size() != b.size()) return false;
  for (size_t i = 0; i < a.size(); ++i) {
    unsigned char ca = static_cast<unsigned char>(a[i]);
    unsigned char cb = static_cast<unsigned char>(b[i]);
    if (ca >= 'A' && ca <= 'Z') ca = static_cast<unsigned char>(ca - 'A' + 'a');
    if (cb >= 'A' && cb <= 'Z') cb = static_cast<unsigned char>(cb - 'A' + 'a');
    if (ca != cb) return false;
  }
  return true;
}

int set_source(JobSettings& job, const std::string& text) {
  std::string value = selector_value(text);
  switch (text[1]) {
    case '1':
      job.outline_source = value;
      std::printf("\n  Outline source changed to \"%s\"", value.c_str());
      return kCommandDone;
    case '2':
      job.drill_source = value;
      std::printf("\n  Drill source changed to \"%s\"", value.c_str());
      return kCommandDone;
    case '3':
      job.top_mask_source = value;
      std::printf("\n  Top mask source changed to \"%s\"", value.c_str());
      return kCommandDone;
    case '4':
      job.bottom_mask_source = value;
      std::printf("\n  Bottom mask source changed to \"%s\"", value.c_str());
      return kCommandDone;
    case 'P':
    case 'p':
      // A slash already ends a path on this host as well as a backslash does.
      if (!value.empty() && value.back() != '\\' && value.back() != '/') value += '\\';
      job.source_path = value;
      std::printf("\n  Source path changed to \"%s\"", value.c_str());
      return kCommandDone;
    default:
      std::printf("\n\n Invalid source name select \"%s\", ignored\n", text.c_str());
      return kCommandIgnored;
  }
}

int set_target(JobSettings& job, const std::string& text) {
  struct Target {
    std::string JobSettings::*field;
    const char* changed;
    const char* skipped;
  };
  static const Target kTargets[] = {
      {&JobSettings::new_outline, "\n  New outline changed to \"%s\"",
       "\n  -- Outline creation skipped --"},
      {&JobSettings::new_drills, "\n  New drills changed to \"%s\"",
       "\n  -- Drill file creation skipped --"},
      {&JobSettings::new_top_mask, "\n  New top mask changed to \"%s\"",
       "\n  -- Top mask file creation skipped --"},
      {&JobSettings::new_bottom_mask, "\n  New bottom mask changed to \"%s\"",
       "\n  -- Bottom mask file creation skipped --"},
  };
  char select = text[1];
  if (select < '1' || select > '4') {
    std::printf("\n\n Invalid target name select \"%s\", ignored\n", text.c_str());
    return kCommandIgnored;
  }
  const Target& target = kTargets[select - '1'];
  std::string value = selector_value(text);
  job.*target.field = value;
  if (value.empty())
    std::printf("%s", target.skipped);
  else
    std::printf(target.changed, value.c_str());
  return kCommandDone;
}

}  // namespace

void normalise_command(std::string& text) {
  size_t comment = text.find(';');
  if (comment != std::string::npos) text.resize(comment);
  trim_blanks(text);
  while (!text.empty() && text.front() == '"' && text.back() == '"') {
    text = text.size() == 1 ? std::string() : text.substr(1, text.size() - 2);
    trim_blanks(text);
  }
}

int add_drilled_request(JobSettings& job, const std::string& name, const std::string& text) {
  if (job.drilled_total >= kMaxDrilledCopies) {
    std::printf("\n\nA maximum of 32 files can be drilled; \"%s\" ignored\n", text.c_str());
    return kCommandIgnored;
  }
  DrilledRequest* found = nullptr;
  for (DrilledRequest& request : job.requests)
    if (equal_ignoring_case(request.name, name)) {
      found = &request;
      break;
    }
  if (found == nullptr) {
    DrilledRequest request;
    request.name = name;
    request.offsets.push_back(job.offset);
    job.requests.push_back(request);
    found = &job.requests.back();
  } else {
    for (const Offset& offset : found->offsets)
      if (offset.x == job.offset.x && offset.y == job.offset.y) {
        std::printf("\n  -- Dup ignored: \"%s\" with offset (%1.3lf,%1.3lf) --", name.c_str(),
                    job.offset.x, job.offset.y);
        return kCommandIgnored;
      }
    found->offsets.push_back(job.offset);
  }
  ++job.drilled_total;
  std::printf("\n  \"%s\" gets drilled (%u)", name.c_str(),
              static_cast<unsigned>(found->offsets.size()));
  print_offset_suffix(job.offset);
  return kCommandDone;
}

int add_suppressed_diameter(JobSettings& job, const std::string& argument,
                            const std::string& text) {
  double diameter = 0.0;
  if (std::sscanf(argument.c_str(), "%lf", &diameter) != 1 || !(diameter > 0.0)) {
    std::printf("\n\n  -- Invalid drill diameter \"%s\" ignored --\n", text.c_str());
    return kCommandIgnored;
  }
  double rounded = round_diameter(diameter);
  for (const SuppressedDiameter& row : job.suppressed)
    if (row.diameter == rounded) {
      std::printf("\n  -- %1.4lf dia already suppressed, ignored --", rounded);
      return kCommandIgnored;
    }
  SuppressedDiameter row;
  row.diameter = rounded;
  job.suppressed.push_back(row);
  std::printf("\n  %u  %1.4lf dia drills suppressed", static_cast<unsigned>(job.suppressed.size()),
              rounded);
  return kCommandDone;
}

int run_command(JobSettings& job, std::string& text, const std::string& script, unsigned level) {
  normalise_command(text);
  if (text.empty()) return kCommandIgnored;

  char letter = text[0];
  if (letter == 's' || letter == 'S') return set_source(job, text);
  if (letter == 'n' || letter == 'N') return set_target(job, text);
  if (letter >= 'a' && letter <= 'z') letter = static_cast<char>(letter - 'a' + 'A');
  std::string argument = text.substr(1);
  switch (letter) {
    case 'H':
    case '?':
      print_usage_and_exit(0);
    case 'C':
      return run_script(job, text, argument, level);
    case 'D':
      return add_drilled_request(job, argument, text);
    case 'E':
      return kCommandEnd;
    case 'O': {
      Offset offset;
      if (!parse_pair(argument, offset)) {
        std::printf("\n\n  Bad offset \"%s\" ignored\n", text.c_str());
        return kCommandIgnored;
      }
      job.offset = offset;
      std::printf("\n  Data Offset (%1.3lf, %1.3lf)", offset.x, offset.y);
      return kCommandDone;
    }
    case 'R': {
      Offset delta;
      if (!parse_pair(argument, delta) || !std::isfinite(job.offset.x + delta.x) ||
          !std::isfinite(job.offset.y + delta.y)) {
        std::printf("\n\n  Bad relative offset \"%s\" ignored\n", text.c_str());
        return kCommandIgnored;
      }
      job.offset.x += delta.x;
      job.offset.y += delta.y;
      std::printf("\n  Offset moved by (%1.3lf, %1.3lf) to (%1.3lf, %1.3lf),  ", delta.x, delta.y,
                  job.offset.x, job.offset.y);
      return kCommandDone;
    }
    case 'X':
      return add_suppressed_diameter(job, argument, text);
    default:
      break;
  }
  if (!script.empty()) {
    std::printf("\n\n-- Invalid command in %s: \"%s\" ignored --\n\n", script.c_str(),
                text.c_str());
    return kCommandIgnored;
  }
  std::printf("\n\nInvalid switch: \"%s\"\n\n", text.c_str());
  print_usage_and_exit(1);
}
