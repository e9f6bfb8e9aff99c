// The run driver: banner, commands, conversions in their fixed order, summary.
#pragma once

#include <chrono>

#include "app/job_settings.h"

// Writes the usage text to standard output and ends the process.
[[noreturn]] void print_usage_and_exit(int exit_code);

// Ends the process with `exit_code` once standard output is flushed. Every
// command that ends the job early (help, an invalid switch, a script that
// cannot be opened) goes through here.
[[noreturn]] void end_process(int exit_code);

// Lets a program that runs jobs in-process (the fuzz harness) take over
// end_process; the hook must not return. nullptr restores the default.
using EndProcessHook = void (*)(int exit_code);
void set_end_process_hook(EndProcessHook hook);

// Runs a whole job for the given command-line arguments (program name
// excluded). `started` is the moment the run's elapsed time counts from.
// Returns the exit status: 0 after a complete run, or the status of the
// conversion that ended it.
int run_job(JobSettings& job, int argc, char** argv,
            std::chrono::steady_clock::time_point started);
