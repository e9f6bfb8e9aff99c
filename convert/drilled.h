// Copies of a Gerber layer with the drill holes cut out, optionally moved.
#pragma once

#include <string>
#include <string_view>

#include "app/job_settings.h"
#include "convert/files.h"

// Writes one copy of the request's gerber per offset of the request and
// prints a line for each copy completed. Returns kDone, kSourceMissing (the
// gerber or the drill source), kCreateFailed, kPrematureEof or kParseError;
// it stops at the first copy that fails.
ConversionStatus create_drilled_copies(JobSettings& job, DrilledRequest& request);

// The copy's name: the suffix goes before the first "." of the file-name part
// (after the last "/" or "\"), or at the end when that part has no ".".
std::string drilled_copy_name(const std::string& name, const std::string& suffix);

// The draw line moved by the current offset ("X%dY%dD%02u*", an optional
// leading "G01" dropped), or the line itself when it does not hold X, Y and a
// D code or a moved value does not fit.
std::string shift_draw(const JobSettings& job, std::string_view line);
