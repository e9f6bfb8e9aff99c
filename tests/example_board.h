// The example board's four sources written into a test directory.
#pragma once

#include <string>

#include "fixtures.h"
#include "test_support.h"

// Writes the outline, drill and both mask sources under their default names,
// inside `folder` of `dir` when a folder is given.
inline void write_example_board(const TempDir& dir, const std::string& folder = "") {
  std::string prefix = folder.empty() ? "" : folder + "/";
  dir.write(prefix + "board_outline.grb", kOutlineSource);
  dir.write(prefix + "drill_file.drl", kDrillSource);
  dir.write(prefix + "top_solder_mask.grb", kMaskSource);
  dir.write(prefix + "bottom_solder_mask.grb", kMaskSource);
}

// The header every converted drill file starts with (run stamp kStamp).
inline constexpr const char* kDrillHeader =
    "G04 Excellon drill file converted by Quorlan Version 1.13R on Mon Mar 02 14:07:45 2009 *\n"
    "\n"
    "%FSLAX24Y24*%\n"
    "%MOIN*%\n"
    "\n";
