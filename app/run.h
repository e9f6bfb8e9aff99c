// The run driver: banner, commands, conversions in their fixed order, summary.
#pragma once

#include <chrono>

#include "app/job_settings.h"

// Writes the usage text to standard output and ends the process.
[[noreturn]] void print_usage_and_exit(int exit_code);

// Runs a whole job for the given command-line arguments (program name
// excluded). `started` is the moment the run's elapsed time counts from.
// Returns the exit status: 0 after a complete run, or the status of the
// conversion that ended it.
int run_job(JobSettings& job, int argc, char** argv,
            std::chrono::steady_clock::time_point started);
