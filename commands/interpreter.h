// Turns one command text into a change of the job settings.
#pragma once

#include <string>

#include "app/job_settings.h"

// Results of run_command.
constexpr int kCommandDone = 1;
constexpr int kCommandIgnored = 0;  // empty, or refused with a message
constexpr int kCommandEnd = -1;     // the End command

// Normalises `text` in place (comment cut, blanks and enclosing quotes
// removed), carries it out and prints its message. `script` is the script the
// text came from, empty on the command line, where an invalid command shows the
// usage text and ends the process with status 1; H and ? end it with status 0.
int run_command(JobSettings& job, std::string& text, const std::string& script, unsigned level);

// The normalisation step of run_command on its own.
void normalise_command(std::string& text);

// The D command: adds `name` at the current offset. 1 when accepted, 0 when
// refused (32 copies already, or the same name at the same offset).
int add_drilled_request(JobSettings& job, const std::string& name, const std::string& text);

// The X command: adds the diameter given in `argument`. 1 when added, 0 when
// refused (no positive number, or already suppressed).
int add_suppressed_diameter(JobSettings& job, const std::string& argument,
                            const std::string& text);
