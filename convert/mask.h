// A solder mask as a negative image: the board shape dark, the openings clear.
#pragma once

#include <string>

#include "app/job_settings.h"
#include "convert/files.h"

// Writes `new_name` from the mask source and the outline source. Returns
// kDone, kSourceMissing (mask or outline source), kCreateFailed or
// kPrematureEof (either source ends before a line it needs).
ConversionStatus convert_mask(JobSettings& job, const std::string& mask_source,
                              const std::string& new_name);
