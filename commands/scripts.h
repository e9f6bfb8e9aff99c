// Command scripts: files of commands, run by the C command.
#pragma once

#include <string>

#include "app/job_settings.h"

// Runs the script named by `argument` (".pcs" added when the name holds no
// "."), passing each line to run_command one level deeper. The current offset
// is restored when the script ends. Returns 1 after the script has run and 0
// when the nesting limit or the limit of 1024 scripts per job refuses it; a
// script that cannot be opened ends the process with status 1.
int run_script(JobSettings& job, const std::string& text, const std::string& argument,
               unsigned level);
