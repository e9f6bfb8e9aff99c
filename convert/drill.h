// The Excellon drill file as Gerber flashes, and the drill emitters shared
// with the drilled copies.
#pragma once

#include <string>
#include <string_view>

#include "app/job_settings.h"
#include "convert/files.h"

// Writes the new drills file. Returns kDone, kSourceMissing, kCreateFailed,
// kPrematureEof or kParseError (a tool line that does not parse).
ConversionStatus convert_drill(JobSettings& job);

// Rewinds the drill file and writes one round aperture per tool of its tool
// table, numbered `aperture_base` plus the tool number; tools of a suppressed
// diameter get none and are recorded in the suppressed-diameter table.
// Returns kDone, kPrematureEof or kParseError.
ConversionStatus emit_tool_apertures(JobSettings& job, InputFile& drill, OutputFile& target,
                                     unsigned aperture_base);

// Rewinds the drill file and writes a select per tool and a flash per hit,
// leaving out suppressed tools and shifting the hits while `offset_active` is
// set. Returns kDone, kPrematureEof or kParseError (a tool select without a
// number).
ConversionStatus emit_drill_hits(const JobSettings& job, InputFile& drill, OutputFile& target,
                                 unsigned aperture_base);

bool is_tool_suppressed(const JobSettings& job, unsigned tool);

// The hit line moved by the current offset ("X%dY%d"), or the line itself
// when it does not hold both coordinates or a moved value does not fit.
std::string shift_hit(const JobSettings& job, std::string_view line);
