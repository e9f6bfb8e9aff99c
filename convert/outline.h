// The board outline as filled region blocks, one per contour.
#pragma once

#include "app/job_settings.h"
#include "convert/files.h"

// Rewrites the outline source into the new outline file. Returns kDone,
// kSourceMissing, kCreateFailed (also when the file could not be written
// completely) or kPrematureEof (no Draw Parts marker).
ConversionStatus convert_outline(JobSettings& job);

// Writes the outline drawing that follows the source's "G54D" select as region
// blocks, starting a new region at every move after the first written line.
// True when the Draw Parts marker ends the drawing, false when the source
// ends first.
bool emit_outline_regions(InputFile& source, OutputFile& target);

// The comment written before a header's format line, for the outline and mask
// files.
void put_converted_comment(const JobSettings& job, OutputFile& target);
