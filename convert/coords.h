// Number scanning, rounding and coordinate shifting shared by the commands
// and the conversions.
#pragma once

#include <cstddef>
#include <string>
#include <string_view>

#include "app/job_settings.h"

// Scans an unsigned number the way "%u" does (blanks, an optional sign,
// digits) starting at `pos`, and moves `pos` past it. A number that does not
// fit 32 bits, a negative one included, does not scan.
bool scan_unsigned(std::string_view text, size_t& pos, unsigned& value);

// Scans a double the way "%lf" does, starting at `pos`, and moves `pos` past
// it. Plain decimals are converted directly; anything else (exponents, hex,
// inf, nan, very long digit strings) goes through the C library.
bool scan_double(std::string_view text, size_t& pos, double& value);

// Rounds a diameter to four decimals: times 10000, plus 0.5, truncated toward
// zero, divided by 10000.
double round_diameter(double diameter);

// Moves a coordinate in ten-thousandths of an inch by an offset in inches,
// rounding to the nearest unit with halves away from zero. False when the
// result is not finite or does not fit an int.
bool shift_coordinate(double coordinate, double offset, int& result);

// Appends the decimal form of a number ("%d").
void append_int(std::string& out, int value);
// Appends "%02u".
void append_unsigned_02(std::string& out, unsigned value);
