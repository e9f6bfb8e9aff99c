#include "convert/coords.h"

#include <charconv>
#include <cmath>
#include <cstdint>
#include <cstdio>
#include <limits>

namespace {

bool is_space(char c) {
  return c == ' ' || c == '\t' || c == '\n' || c == '\v' || c == '\f' || c == '\r';
}
bool is_digit(char c) { return c >= '0' && c <= '9'; }

// Exact powers of ten: a decimal with at most 15 significant digits and at most
// 22 decimals divided by one of these is correctly rounded, as strtod is.
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

bool scan_unsigned(std::string_view text, size_t& pos, unsigned& value) {
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

bool scan_double(std::string_view text, size_t& pos, double& value) {
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

double round_diameter(double diameter) {
  return std::trunc(diameter * 10000.0 + 0.5) / 10000.0;
}

bool shift_coordinate(double coordinate, double offset, int& result) {
  double moved = (coordinate / 10000.0 + offset) * 10000.0;
  double rounded = moved >= 0 ? std::trunc(moved + 0.5) : -std::trunc(-moved + 0.5);
  if (!std::isfinite(rounded) || rounded < std::numeric_limits<int>::min() ||
      rounded > std::numeric_limits<int>::max())
    return false;
  result = static_cast<int>(rounded);
  return true;
}

namespace {

template <typename Number>
void append_decimal(std::string& out, Number value) {
  size_t old = out.size();
  out.resize(old + 12);
  auto r = std::to_chars(out.data() + old, out.data() + out.size(), value);
  out.resize(static_cast<size_t>(r.ptr - out.data()));
}

}  // namespace

void append_int(std::string& out, int value) { append_decimal(out, value); }

void append_unsigned_02(std::string& out, unsigned value) {
  if (value < 10) out.push_back('0');
  append_decimal(out, value);
}
