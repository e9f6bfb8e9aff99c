// The one record a run shares between its commands and its conversions.
#pragma once

#include <string>
#include <vector>

constexpr double kVersion = 1.13;
constexpr char kRevision = 'R';

struct Offset {
  double x = 0.0;
  double y = 0.0;
};

inline bool is_zero_offset(const Offset& o) { return o.x == 0.0 && o.y == 0.0; }

struct SuppressedDiameter {
  double diameter = 0.0;  // inches, already rounded to four decimals
  unsigned tool = 0;      // last Excellon tool read with this diameter, 0 until one is
  // Every tool of the drill file that rounds to this diameter. All of them are
  // left out of the outputs, not only the last one recorded in `tool`.
  std::vector<unsigned> tools;
};

struct DrilledRequest {
  std::string name;              // as the first D command that named the file gave it
  std::vector<Offset> offsets;   // distinct, in the order they were accepted
  unsigned copy_sequence = 0;    // numbers the copies written at a non-zero offset
};

struct JobSettings {
  std::string outline_source = "board_outline.grb";
  std::string drill_source = "drill_file.drl";
  std::string top_mask_source = "top_solder_mask.grb";
  std::string bottom_mask_source = "bottom_solder_mask.grb";
  std::string new_outline = "outline_poly.gbr";
  std::string new_drills = "holes.gbr";
  std::string new_top_mask = "top_smask_poly.gbr";
  std::string new_bottom_mask = "bottom_smask_poly.gbr";
  std::string source_path;

  Offset offset;
  bool offset_active = false;

  std::vector<SuppressedDiameter> suppressed;
  std::vector<DrilledRequest> requests;
  unsigned drilled_total = 0;
  unsigned files_created = 0;
  unsigned scripts_run = 0;  // command scripts started in this job, at any level

  std::string run_stamp;  // "Tue Jan 06 08:04:09 2009", no line feed
};

// Formats the run stamp for a broken-down time: asctime's layout with the day
// of the month zero-padded and no trailing line feed.
std::string format_run_stamp(int year, int month0, int mday, int wday, int hour, int min, int sec);

// The run stamp for now: SOURCE_DATE_EPOCH (in UTC) when that variable holds a
// decimal integer that has a calendar date, so builds and tests can fix it;
// the local time otherwise.
std::string current_run_stamp();
