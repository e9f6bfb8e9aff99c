#include "convert/coords.h"

#include <cmath>
#include <cstdio>
#include <limits>

namespace coords_detail {

namespace {

bool is_space(char c) {
  return c == ' ' || c == '\t' || c == '\n' || c == '\v' || c == '\f' || c == '\r';
}

// Exact powers of ten: a decimal with at most 15 significant digits and at
// most 22 decimals divided by one of these is correctly rounded, as strtod is.
constexpr double kPowersOfTen[] = {1e0,  1e1,  1e2,  1e3,  1e4,  1e5,  1e6,  1e7,
                                   1e8,  1e9,  1e10, 1e11, 1e12, 1e13, 1e14, 1e15,
                                   1e16, 1e17, 1e18, 1e19, 1e20, 1e21, 1e22};

bool scan_double_library(std::string_view text, size_t& pos, double& value) {
  std::string copy(text.substr(pos));
  int used = 0;
  double v = 0.0;
  if (std::sscanf(copy.c_str(), "%lf%n", &v, &used) != 1) return false;
  pos += static_cast<size_t>(used);
  value = v;
  return true;
}

}  // namespace

bool scan_double_general(std::string_view text, size_t& pos, double& value) {
  size_t p = pos;
  bool negative = false;
  if (p < text.size() && (text[p] == '+' || text[p] == '-')) {
    negative = text[p] == '-';
    ++p;
  }
  std::uint64_t mantissa = 0;
  int digits = 0;
  int decimals = 0;
  size_t first_digit = p;
  for (; p < text.size() && is_digit(text[p]); ++p, ++digits)
    mantissa = mantissa * 10 + static_cast<unsigned>(text[p] - '0');
  bool had_integer = digits > 0;
  if (p < text.size() && text[p] == '.') {
    ++p;
    for (; p < text.size() && is_digit(text[p]); ++p, ++digits, ++decimals)
      mantissa = mantissa * 10 + static_cast<unsigned>(text[p] - '0');
  }
  bool unusual = digits == 0 || digits > 15 || decimals > 22 ||
                 (p < text.size() && (text[p] == 'e' || text[p] == 'E')) ||
                 (had_integer && text[first_digit] == '0' && first_digit + 1 < text.size() &&
                  (text[first_digit + 1] == 'x' || text[first_digit + 1] == 'X'));
  if (unusual) return scan_double_library(text, pos, value);
  double v = static_cast<double>(mantissa) / kPowersOfTen[decimals];
  value = negative ? -v : v;
  pos = p;
  return true;
}

bool scan_unsigned_general(std::string_view text, size_t& pos, unsigned& value) {
  size_t p = pos;
  while (p < text.size() && is_space(text[p])) ++p;
  bool negative = false;
  if (p < text.size() && (text[p] == '+' || text[p] == '-')) {
    negative = text[p] == '-';
    ++p;
  }
  if (p >= text.size() || !is_digit(text[p])) return false;
  std::uint64_t v = 0;
  bool too_big = false;
  for (; p < text.size() && is_digit(text[p]); ++p) {
    v = v * 10 + static_cast<unsigned>(text[p] - '0');
    if (v > std::numeric_limits<unsigned>::max()) too_big = true, v = 0;
  }
  if (too_big || (negative && v != 0)) return false;
  value = static_cast<unsigned>(v);
  pos = p;
  return true;
}

}  // namespace coords_detail

double round_diameter(double diameter) { return std::trunc(diameter * 10000.0 + 0.5) / 10000.0; }

PreparedOffset prepare_offset(double offset) {
  PreparedOffset prepared;
  prepared.offset = offset;
  if (!(std::fabs(offset) <= 10000.0)) return prepared;  // NaN fails too
  // Within 7.5e-9 of the exact product, far less than the margin below.
  const double units = offset * 10000.0;
  const double nearest = std::nearbyint(units);
  if (std::fabs(units - nearest) > 0.5 - 1e-6) return prepared;
  prepared.whole = true;
  prepared.units = static_cast<std::int64_t>(nearest);
  return prepared;
}

DecimalOffset prepare_decimal_offset(const PreparedOffset& offset) {
  DecimalOffset decimal;
  constexpr std::int64_t kLimit = 10000000;  // 10^7
  if (!offset.whole || offset.units <= -kLimit || offset.units >= kLimit) return decimal;
  decimal.usable = true;
  for (int side = 0; side < 2; ++side) {
    std::int64_t addend = side == 0 ? offset.units : -offset.units;
    decimal.complement[side] = addend < 0;
    std::uint64_t value = static_cast<std::uint64_t>(addend < 0 ? 100000000 + addend : addend);
    for (int digit = 0; digit < 8; ++digit, value /= 10)
      decimal.addend[side] |= (value % 10) << (8 * digit);
  }
  return decimal;
}
