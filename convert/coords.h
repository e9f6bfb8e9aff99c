// Number scanning, rounding and coordinate shifting shared by the commands
// and the conversions. The scanners and formatters run a few times for every
// drawing line of layers that hold millions of lines, so their common cases
// are inline here and work on eight characters at a time; anything unusual
// goes to the out-of-line versions, and from there to the C library.
#pragma once

#include <array>
#include <bit>
#include <cstddef>
#include <cstdint>
#include <cstring>
#include <string>
#include <string_view>

#include "app/job_settings.h"

// Marks the few helpers that run for every drawing line: inlined into the
// conversion loops whatever the compiler's size heuristics say.
#define QUORLAN_HOT [[gnu::always_inline]]

namespace coords_detail {

inline bool is_digit(char c) { return c >= '0' && c <= '9'; }

// The eight-at-a-time helpers rely on the first byte in memory being the
// lowest of a word.
constexpr bool kLittleEndian = std::endian::native == std::endian::little;

// How many of the 8 bytes of `chunk` (the first in the lowest byte) are
// digits before the first one that is not, 0 to 8. A byte is not a digit
// when taking '0' off it or adding 0x46 to it sets its top bit; borrows and
// carries only come from such a byte, so the first one found is exact.
QUORLAN_HOT inline unsigned leading_digit_count(std::uint64_t chunk) {
  const std::uint64_t not_digit =
      ((chunk - 0x3030303030303030u) | (chunk + 0x4646464646464646u)) & 0x8080808080808080u;
  return not_digit == 0 ? 8 : static_cast<unsigned>(std::countr_zero(not_digit)) / 8;
}

// The value of the first `count` (1 to 7) bytes of `chunk`, all digits: they
// are moved to the top bytes with zeros before them, pairs of digits formed
// in every other byte, and the four pairs weighted and added by two
// multiplications.
QUORLAN_HOT inline std::uint32_t leading_digits_value(std::uint64_t chunk, unsigned count) {
  std::uint64_t digits = (chunk - 0x3030303030303030u) << (64 - 8 * count);
  digits = digits * 10 + (digits >> 8);
  digits = ((digits & 0x000000FF000000FFu) * (100 + (1000000ull << 32)) +
            ((digits >> 16) & 0x000000FF000000FFu) * (1 + (10000ull << 32))) >>
           32;
  return static_cast<std::uint32_t>(digits);
}

// Reads the digits at the start of the 8 bytes at `text` at once: false when
// there are none or all 8 are digits (the number may go on), otherwise their
// count and value, and the character after them.
QUORLAN_HOT inline bool leading_digits(const char* text, unsigned& count, std::uint32_t& value,
                                       char& next) {
  if constexpr (!kLittleEndian) {
    return false;
  } else {
    std::uint64_t chunk = 0;
    std::memcpy(&chunk, text, 8);
    const unsigned n = leading_digit_count(chunk);
    if (n == 0 || n == 8) return false;
    count = n;
    value = leading_digits_value(chunk, n);
    next = text[n];
    return true;
  }
}

// "00" to "99", for writing numbers two digits at a time.
inline constexpr char kDigitPairs[] =
    "00010203040506070809101112131415161718192021222324252627282930313233343536373839"
    "40414243444546474849505152535455565758596061626364656667686970717273747576777879"
    "8081828384858687888990919293949596979899";

// Writes the decimal digits of `value` ending just before `end`.
inline void digits_backward(char* end, std::uint32_t value) {
  while (value >= 100) {
    std::uint32_t pair = (value % 100) * 2;
    value /= 100;
    end -= 2;
    end[0] = kDigitPairs[pair];
    end[1] = kDigitPairs[pair + 1];
  }
  if (value >= 10) {
    end -= 2;
    end[0] = kDigitPairs[value * 2];
    end[1] = kDigitPairs[value * 2 + 1];
  } else {
    *--end = static_cast<char>('0' + value);
  }
}

inline unsigned decimal_length(std::uint32_t value) {
  unsigned length = 1;
  while (value >= 10) value /= 10, ++length;
  return length;
}

// "0000" to "9999", for the last four digits of the common five- and
// six-digit coordinates.
constexpr std::array<char, 40000> make_digit_quads() {
  std::array<char, 40000> quads{};
  for (int i = 0; i < 10000; ++i) {
    quads[4 * i] = static_cast<char>('0' + i / 1000);
    quads[4 * i + 1] = static_cast<char>('0' + i / 100 % 10);
    quads[4 * i + 2] = static_cast<char>('0' + i / 10 % 10);
    quads[4 * i + 3] = static_cast<char>('0' + i % 10);
  }
  return quads;
}
inline constexpr std::array<char, 40000> kDigitQuads = make_digit_quads();

// Writes two digits, 00 to 99.
QUORLAN_HOT inline char* put_pair(char* at, std::uint32_t pair) {
  std::memcpy(at, kDigitPairs + 2 * pair, 2);
  return at + 2;
}

// Writes the decimal form of `value` at `at` and returns its end: split in
// groups of digits with a few comparisons and multiplications, the common
// lengths of coordinates first.
QUORLAN_HOT inline char* format_digits(char* at, std::uint32_t value) {
  if (value - 10000 < 100000000 - 10000) {     // five to eight digits
    const std::uint32_t high = value / 10000;  // 1 to 9999
    if (high < 100) {
      if (high < 10)
        *at++ = static_cast<char>('0' + high);
      else
        at = put_pair(at, high);
    } else {
      const std::uint32_t top = high / 100;
      if (top < 10)
        *at++ = static_cast<char>('0' + top);
      else
        at = put_pair(at, top);
      at = put_pair(at, high % 100);
    }
    std::memcpy(at, kDigitQuads.data() + 4 * (value - high * 10000), 4);
    return at + 4;
  }
  if (value < 10000) {
    if (value < 100) {
      if (value < 10) {
        *at = static_cast<char>('0' + value);
        return at + 1;
      }
      return put_pair(at, value);
    }
    const std::uint32_t high = value / 100;
    if (high < 10)
      *at++ = static_cast<char>('0' + high);
    else
      at = put_pair(at, high);
    return put_pair(at, value % 100);
  }
  char* end = at + decimal_length(value);
  digits_backward(end, value);
  return end;
}

// The general "%u" scanner and the general "%lf" scanner, for what the
// inline versions leave to them.
bool scan_unsigned_general(std::string_view text, size_t& pos, unsigned& value);
bool scan_double_general(std::string_view text, size_t& pos, double& value);

}  // namespace coords_detail

// Scans the plain form of "%u": one to nine digits right at `pos`, which no
// other reading of the text could change. Moves `pos` past them. False for
// anything else, which may still scan as "%u" (blanks, a sign, more digits).
QUORLAN_HOT inline bool scan_plain_unsigned(std::string_view text, size_t& pos, unsigned& value) {
  using coords_detail::is_digit;
  size_t p = pos;
  const size_t end = text.size();
  if (p >= end || !is_digit(text[p])) return false;
  unsigned count = 0;
  std::uint32_t v = 0;
  char next = 0;
  if (end - p >= 8 && coords_detail::leading_digits(text.data() + p, count, v, next)) {
    value = v;
    pos = p + count;
    return true;
  }
  const size_t last = p + 9 < end ? p + 9 : end;
  for (; p < last && is_digit(text[p]); ++p) v = v * 10 + static_cast<std::uint32_t>(text[p] - '0');
  if (p < end && is_digit(text[p])) return false;
  value = v;
  pos = p;
  return true;
}

// Scans an unsigned number the way "%u" does (blanks, an optional sign,
// digits) starting at `pos`, and moves `pos` past it. A number that does not
// fit 32 bits, a negative one included, does not scan.
QUORLAN_HOT inline bool scan_unsigned(std::string_view text, size_t& pos, unsigned& value) {
  return scan_plain_unsigned(text, pos, value) ||
         coords_detail::scan_unsigned_general(text, pos, value);
}

// Scans the plain form of "%lf": an optional sign and one to fifteen digits,
// not followed by anything that would carry the number on (another digit, a
// decimal point, an exponent, the x of "0x"). Moves `pos` past it. False for
// anything else, which may still scan as "%lf".
QUORLAN_HOT inline bool scan_plain_double(std::string_view text, size_t& pos, double& value) {
  using coords_detail::is_digit;
  size_t p = pos;
  const size_t end = text.size();
  bool negative = false;
  if (p < end && (text[p] == '+' || text[p] == '-')) {
    negative = text[p] == '-';
    ++p;
  }
  if (p >= end || !is_digit(text[p])) return false;
  std::int64_t whole = 0;
  unsigned count = 0;
  std::uint32_t eight = 0;
  char after = 0;
  if (end - p >= 8 && coords_detail::leading_digits(text.data() + p, count, eight, after)) {
    whole = eight;
    p += count;
  } else {
    const size_t last = p + 15 < end ? p + 15 : end;
    for (; p < last && is_digit(text[p]); ++p) whole = whole * 10 + (text[p] - '0');
  }
  if (p < end) {
    const char next = static_cast<char>(text[p] | 0x20);  // lower case for letters
    if (is_digit(next) || next == '.' || next == 'e' || next == 'x') return false;
  }
  const double v = static_cast<double>(whole);
  value = negative ? -v : v;
  pos = p;
  return true;
}

// Scans a double the way "%lf" does, starting at `pos`, and moves `pos` past
// it. Plain whole numbers are converted inline and other plain decimals by
// scan_double_general; anything else (blanks, exponents, hex, inf, nan, more
// than 15 digits) goes through the C library.
QUORLAN_HOT inline bool scan_double(std::string_view text, size_t& pos, double& value) {
  return scan_plain_double(text, pos, value) ||
         coords_detail::scan_double_general(text, pos, value);
}

// Readers for text with at least 9 bytes to read from `at` on (the line
// reader keeps room after its data), eight bytes at a time.

// An optional sign and one to seven digits: moves `at` past them and gives
// their value and the character after them. False for anything else. "%lf"
// reads the same number there unless that character carries it on (see
// ends_plain_number).
QUORLAN_HOT inline bool read_whole(const char*& at, std::int32_t& value, char& next) {
  const char* p = at;
  bool negative = false;
  if (static_cast<unsigned char>(*p) < '0' && (*p == '-' || *p == '+')) negative = *p++ == '-';
  unsigned count = 0;
  std::uint32_t digits = 0;
  if (!coords_detail::leading_digits(p, count, digits, next)) return false;
  std::int32_t v = static_cast<std::int32_t>(digits);
  if (negative) v = -v;
  value = v;
  at = p + count;
  return true;
}

// A whole number as it stands in the text: a sign and one to seven digits.
struct WholeText {
  std::uint64_t chunk = 0;  // the eight bytes from the first digit on
  unsigned count = 0;       // how many of them are the digits
  bool negative = false;
};

// read_whole that keeps the digits as text, for format_moved.
QUORLAN_HOT inline bool read_whole_text(const char*& at, WholeText& number, char& next) {
  if constexpr (!coords_detail::kLittleEndian) return false;
  const char* p = at;
  number.negative = false;
  if (static_cast<unsigned char>(*p) < '0' && (*p == '-' || *p == '+'))
    number.negative = *p++ == '-';
  std::memcpy(&number.chunk, p, 8);
  number.count = coords_detail::leading_digit_count(number.chunk);
  if (number.count == 0 || number.count == 8) return false;
  next = p[number.count];
  at = p + number.count;
  return true;
}

// True when `next`, the character after the digits of a whole number, ends
// the number for "%lf": not a decimal point, an exponent or the x of "0x".
inline bool ends_plain_number(char next) {
  const char lower = static_cast<char>(next | 0x20);
  return lower != '.' && lower != 'e' && lower != 'x';
}

// The plain form of "%u": one to seven digits right at `at`. Moves `at` past
// them. False for anything else.
QUORLAN_HOT inline bool read_plain_unsigned(const char*& at, unsigned& value) {
  using coords_detail::is_digit;
  if (is_digit(at[0]) && is_digit(at[1]) && !is_digit(at[2])) {  // the usual two
    value = static_cast<unsigned>((at[0] - '0') * 10 + (at[1] - '0'));
    at += 2;
    return true;
  }
  unsigned count = 0;
  std::uint32_t digits = 0;
  char next = 0;
  if (!coords_detail::leading_digits(at, count, digits, next)) return false;
  value = digits;
  at += count;
  return true;
}

// Rounds a diameter to four decimals: times 10000, plus 0.5, truncated toward
// zero, divided by 10000.
double round_diameter(double diameter);

// Moves a coordinate in ten-thousandths of an inch by an offset in inches,
// rounding to the nearest unit with halves away from zero. False when the
// result is not finite or does not fit an int.
QUORLAN_HOT inline bool shift_coordinate(double coordinate, double offset, int& result) {
  const double moved = (coordinate / 10000.0 + offset) * 10000.0;
  const bool negative = !(moved >= 0);
  // Half added to the magnitude, then truncated; NaN fails the comparison.
  const double half_up = (negative ? -moved : moved) + 0.5;
  if (!(half_up < 2147483649.0)) return false;
  const std::int64_t magnitude = static_cast<std::int64_t>(half_up);
  const std::int64_t rounded = negative ? -magnitude : magnitude;
  if (rounded < -2147483648LL || rounded > 2147483647LL) return false;
  result = static_cast<int>(rounded);
  return true;
}

// An offset prepared for moving many coordinates. When the offset in units
// (times 10000) lies at least a millionth of a unit away from any half, the
// move of every coordinate of fewer than 8 digits is the whole number nearest
// to the offset in units added to it: the double computation of
// shift_coordinate is off the exact sum by less than 2e-8 units there
// (rounding c / 10000 below 1000, adding an offset of at most 10000, and
// multiplying back below 2^27), so it rounds to the same whole number.
struct PreparedOffset {
  double offset = 0.0;
  bool whole = false;  // moves are additions of `units`
  std::int64_t units = 0;
};
PreparedOffset prepare_offset(double offset);

// shift_coordinate for a coordinate of at most seven digits (as read_whole
// gives it) by a prepared offset.
QUORLAN_HOT inline bool shift_small_whole(std::int32_t coordinate, const PreparedOffset& offset,
                                          int& result) {
  if (!offset.whole) return shift_coordinate(coordinate, offset.offset, result);
  result = static_cast<int>(coordinate + offset.units);
  return true;
}

// A prepared offset of fewer than 10^7 whole units as eight decimal digits,
// one per byte with the ones in the lowest: a coordinate of up to seven
// digits is then moved digit by digit, from its text straight to the text of
// the result, which is the sum shift_small_whole gives. A negative addend is
// held as its ten's complement, 10^8 less its size.
struct DecimalOffset {
  bool usable = false;
  // For a coordinate without and with a minus sign: -c + u is -(c - u), so
  // the digits of c take the addend -u and the sign comes back at the end.
  std::uint64_t addend[2] = {0, 0};
  bool complement[2] = {false, false};
};
DecimalOffset prepare_decimal_offset(const PreparedOffset& offset);

namespace coords_detail {

// Adds two eight-digit numbers held one digit per byte (ones lowest);
// `carry` tells whether the top digit carried. With 0xF6 added to every byte,
// a byte of ten or more carries into the next one as in a written sum and
// keeps its value less ten; the bytes that did not carry still hold the 0xF6,
// which is taken off again.
QUORLAN_HOT inline std::uint64_t add_decimal(std::uint64_t a, std::uint64_t b, bool& carry) {
  const std::uint64_t sum = a + b;
  const std::uint64_t carried = sum + 0xF6F6F6F6F6F6F6F6u;
  carry = carried < sum;
  return carried - (((carried >> 7) & 0x0101010101010101u) * 0xF6);
}

}  // namespace coords_detail

// Writes "%d" of the coordinate `number` moved by `offset` (usable) at `at`
// and returns the end; up to 9 bytes from `at` may be written.
QUORLAN_HOT inline char* format_moved(char* at, const WholeText& number,
                                      const DecimalOffset& offset) {
  const int side = number.negative ? 1 : 0;
  const std::uint64_t digits =
      __builtin_bswap64((number.chunk - 0x3030303030303030u) << (64 - 8 * number.count));
  bool carry = false;
  std::uint64_t sum = coords_detail::add_decimal(digits, offset.addend[side], carry);
  bool negative = number.negative;
  if (offset.complement[side] && !carry) {
    // The sum is below zero: its size is the ten's complement of the digits,
    // their nines' complement plus one.
    sum = coords_detail::add_decimal(0x0909090909090909u - sum, 1, carry);
    negative = !negative;
  }
  if (sum == 0) {
    *at = '0';
    return at + 1;
  }
  if (negative) *at++ = '-';
  const unsigned length = 8 - static_cast<unsigned>(std::countl_zero(sum)) / 8;
  const std::uint64_t text = (__builtin_bswap64(sum) >> (8 * (8 - length))) + 0x3030303030303030u;
  std::memcpy(at, &text, 8);
  return at + length;
}

// The longest text format_int and format_unsigned_02 write.
constexpr size_t kMaxNumberText = 11;

// Writes "%d" at `at` and returns the end of what it wrote.
QUORLAN_HOT inline char* format_int(char* at, int value) {
  std::uint32_t magnitude = static_cast<std::uint32_t>(value);
  if (value < 0) {
    *at++ = '-';
    magnitude = 0u - magnitude;
  }
  return coords_detail::format_digits(at, magnitude);
}

// Writes "%02u" at `at` and returns the end of what it wrote.
QUORLAN_HOT inline char* format_unsigned_02(char* at, unsigned value) {
  if (value < 100) {
    at[0] = coords_detail::kDigitPairs[value * 2];
    at[1] = coords_detail::kDigitPairs[value * 2 + 1];
    return at + 2;
  }
  return coords_detail::format_digits(at, value);
}
