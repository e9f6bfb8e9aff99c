// The fast paths for reading lines, scanning numbers, moving coordinates and
// formatting them, compared with the C library (sscanf, printf) and with a
// plain model of line reading on many random and awkward inputs.
#include <gtest/gtest.h>

#include <algorithm>
#include <bit>
#include <cctype>
#include <climits>
#include <cmath>
#include <cstdint>
#include <cstdio>
#include <random>
#include <string>
#include <vector>

#include "app/job_settings.h"
#include "convert/coords.h"
#include "convert/drill.h"
#include "convert/drilled.h"
#include "convert/files.h"
#include "test_support.h"

namespace {

// The raw output of the 64-bit Mersenne Twister is fixed by the standard, so
// the cases are the same on every run and every library.
struct Random {
  std::mt19937_64 engine{0x51C0FFEEu};
  size_t below(size_t n) { return static_cast<size_t>(engine() % n); }
  bool chance(unsigned percent) { return below(100) < percent; }
  std::string pick(const std::vector<std::string>& texts) { return texts[below(texts.size())]; }
  std::string digits(size_t count) {
    std::string text;
    for (size_t i = 0; i < count; ++i) text += static_cast<char>('0' + below(10));
    return text;
  }
};

// Collects what went wrong and reports the first few, so a broken fast path
// does not drown the log.
struct Mismatches {
  std::vector<std::string> seen;
  size_t count = 0;
  void add(const std::string& what) {
    if (seen.size() < 10) seen.push_back(what);
    ++count;
  }
  void report(const char* what) const {
    std::string examples;
    for (const std::string& s : seen) examples += "\n  " + s;
    EXPECT_EQ(count, 0u) << what << " mismatches, for example:" << examples;
  }
};

std::string shown(const std::string& text) {
  std::string out = "\"";
  for (char c : text) {
    if (c == '\n')
      out += "\\n";
    else if (c == '\r')
      out += "\\r";
    else if (c == '\t')
      out += "\\t";
    else
      out += c;
  }
  return out + "\"";
}

std::uint64_t bits(double value) { return std::bit_cast<std::uint64_t>(value); }

// Texts where "%lf" and "%u" start reading: every form they accept, stop at or
// refuse, weighted toward the plain numbers of drawing files.
std::string random_number(Random& r) {
  static const std::vector<std::string> kSigns = {"",   "",   "",   "",   "-",  "+",     " ",
                                                  "\t", " -", "- ", "+-", "\n", "\v\f\r"};
  static const std::vector<std::string> kSpecial = {"inf",
                                                    "INF",
                                                    "-inf",
                                                    "infinity",
                                                    "Infinity",
                                                    "infinit",
                                                    "nan",
                                                    "NaN",
                                                    "-nan",
                                                    "nan(1)",
                                                    "nanx",
                                                    ".",
                                                    "-.",
                                                    "+.",
                                                    "1e",
                                                    "1e+",
                                                    "1E-",
                                                    "0x",
                                                    "0X",
                                                    "0x.",
                                                    "0xg",
                                                    "00x1",
                                                    "0x1p",
                                                    "0x1p-3",
                                                    "0x1.8p1",
                                                    "0xABCDEFp-10",
                                                    "1e400",
                                                    "-1e400",
                                                    "1e-400",
                                                    "4.9e-324",
                                                    "2.2250738585072014e-308",
                                                    "1..2",
                                                    "1.2.3",
                                                    "e5",
                                                    "",
                                                    "x",
                                                    "-",
                                                    "+",
                                                    "0",
                                                    "-0",
                                                    "+0",
                                                    "0.0",
                                                    "-0.0",
                                                    "00000000",
                                                    "0000000000000000001"};
  std::string text = r.pick(kSigns);
  switch (r.below(10)) {
    case 0:
    case 1:
    case 2:  // whole numbers around the eight-at-a-time boundaries
      text += r.digits(1 + r.below(r.chance(80) ? 9 : 18));
      break;
    case 3:  // decimals
      text += r.digits(r.below(9)) + "." + r.digits(r.below(9));
      break;
    case 4:  // around the 15 significant digits that are converted directly
      text += r.digits(1 + r.below(8)) + "." + r.digits(5 + r.below(12));
      break;
    case 5:  // exponents, complete or not
      text += r.digits(1 + r.below(4)) + (r.chance(50) ? "." + r.digits(r.below(4)) : "") +
              (r.chance(50) ? "e" : "E") + r.pick({"", "+", "-"}) + r.digits(r.below(4));
      break;
    case 6:  // hexadecimal
      text += r.pick({"0x", "0X"}) + r.pick({"", "1", "A", "ff", "1.8", "DEAD.BEEF"}) +
              r.pick({"", "p", "p3", "P-2", "p+"});
      break;
    case 7:  // very long digit strings
      text += r.digits(16 + r.below(400)) + (r.chance(50) ? "." + r.digits(r.below(30)) : "");
      break;
    default:
      text += r.pick(kSpecial);
      break;
  }
  return text;
}

// What may follow a number, the bytes next to the digits included.
std::string random_tail(Random& r) {
  return r.pick({"",  "",  "Y", "D",    "*",    "x",       "X",    "e",    "E",
                 ".", "5", " ", "\t",   "abc",  "Y12D01*", "D02*", "C0.5", "p1",
                 "n", "/", ":", "\x7f", "\x80", "\xb9",    "\xba", "\xff", "@"});
}

// Whether "%u" reads the text at `start` as a number that fits 32 bits. The
// scanner refuses the others on purpose: the C library would wrap them.
enum class UnsignedText { kNone, kInRange, kOutOfRange };
UnsignedText classify_unsigned(const std::string& text, size_t start) {
  size_t p = start;
  while (p < text.size() && (text[p] == ' ' || (text[p] >= '\t' && text[p] <= '\r'))) ++p;
  bool negative = false;
  if (p < text.size() && (text[p] == '+' || text[p] == '-')) negative = text[p++] == '-';
  if (p >= text.size() || text[p] < '0' || text[p] > '9') return UnsignedText::kNone;
  std::uint64_t value = 0;
  for (; p < text.size() && text[p] >= '0' && text[p] <= '9'; ++p)
    value = std::min<std::uint64_t>(value * 10 + static_cast<unsigned>(text[p] - '0'), 1ull << 40);
  if ((negative && value != 0) || value > UINT_MAX) return UnsignedText::kOutOfRange;
  return UnsignedText::kInRange;
}

TEST(CoordsDiff, ScanDoubleReadsWhatSscanfReads) {
  Random r;
  Mismatches wrong;
  for (int i = 0; i < 200000; ++i) {
    const std::string prefix = r.pick({"", "X", "Y", "C"});
    const std::string text = prefix + random_number(r) + random_tail(r);
    size_t pos = prefix.size();
    double value = -1.0;
    bool scanned = scan_double(text, pos, value);
    double expected = -1.0;
    int used = -1;
    bool library = std::sscanf(text.c_str() + prefix.size(), "%lf%n", &expected, &used) == 1;
    if (scanned != library || (scanned && (bits(value) != bits(expected) ||
                                           pos != prefix.size() + static_cast<size_t>(used))))
      wrong.add(shown(text) + " at " + std::to_string(prefix.size()));
  }
  wrong.report("scan_double");
}

TEST(CoordsDiff, ScanUnsignedReadsWhatSscanfReadsWithinRange) {
  Random r;
  Mismatches wrong;
  size_t in_range = 0;
  size_t refused = 0;
  for (int i = 0; i < 200000; ++i) {
    const std::string prefix = r.pick({"", "T", "D", "%ADD"});
    std::string number = r.chance(70) ? r.pick({"", "", "", " ", "+", "-", "\t"}) +
                                            r.digits(1 + r.below(r.chance(80) ? 10 : 25))
                                      : random_number(r);
    if (r.chance(5))
      number = r.pick({"4294967295", "4294967296", "-0", "-1", "+4294967295",
                       "18446744073709551616", "0000000000004294967295"});
    const std::string text = prefix + number + random_tail(r);
    size_t pos = prefix.size();
    unsigned value = 12345;
    bool scanned = scan_unsigned(text, pos, value);
    switch (classify_unsigned(text, prefix.size())) {
      case UnsignedText::kNone:
        if (scanned) wrong.add(shown(text) + " scanned but is no number");
        break;
      case UnsignedText::kOutOfRange:
        ++refused;
        if (scanned) wrong.add(shown(text) + " scanned but does not fit");
        break;
      case UnsignedText::kInRange: {
        ++in_range;
        unsigned expected = 0;
        int used = -1;
        bool library = std::sscanf(text.c_str() + prefix.size(), "%u%n", &expected, &used) == 1;
        if (!library || !scanned || value != expected ||
            pos != prefix.size() + static_cast<size_t>(used))
          wrong.add(shown(text));
        break;
      }
    }
  }
  wrong.report("scan_unsigned");
  EXPECT_GT(in_range, 100000u);
  EXPECT_GT(refused, 1000u);
}

// The readers of the drawing loops look eight bytes ahead, which the line
// reader's buffer allows; here the text gets the same room.
TEST(CoordsDiff, EightByteReadersAgreeWithSscanf) {
  Random r;
  Mismatches wrong;
  for (int i = 0; i < 200000; ++i) {
    const std::string number =
        r.chance(70) ? r.pick({"", "", "", "-", "+"}) + r.digits(1 + r.below(9)) : random_number(r);
    const std::string text = number + random_tail(r) + "\n";
    const std::string room = text + "7777777777777777";  // what follows the line in the buffer
    // The plain whole number the reader should take: a sign, 1 to 7 digits.
    size_t first = (text[0] == '-' || text[0] == '+') ? 1 : 0;
    size_t last = first;
    while (std::isdigit(static_cast<unsigned char>(text[last]))) ++last;
    const bool plain = last > first && last - first <= 7;

    const char* at = room.data();
    std::int32_t whole = 0;
    char next = 0;
    if (read_whole(at, whole, next) != plain) {
      wrong.add(shown(text) + (plain ? " refused" : " read"));
    } else if (plain) {
      double expected = 0.0;
      int used = -1;
      bool library = std::sscanf(text.c_str(), "%lf%n", &expected, &used) == 1;
      if (at != room.data() + last || next != text[last])
        wrong.add(shown(text) + " read to the wrong place");
      else if (ends_plain_number(next) &&
               (!library || expected != whole || static_cast<size_t>(used) != last))
        wrong.add(shown(text) + " read as " + std::to_string(whole));
    }

    at = room.data();
    unsigned code = 0;
    if (read_plain_unsigned(at, code)) {
      unsigned expected = 0;
      int used = -1;
      if (std::sscanf(text.c_str(), "%u%n", &expected, &used) != 1 || expected != code ||
          static_cast<size_t>(used) != static_cast<size_t>(at - room.data()) ||
          classify_unsigned(text, 0) != UnsignedText::kInRange)
        wrong.add(shown(text) + " read_plain_unsigned");
    } else if (first == 0 && last > 0 && last <= 7) {
      wrong.add(shown(text) + " read_plain_unsigned refused");
    }
  }
  wrong.report("eight-byte readers");
}

// What a formatter writes at the start of an empty buffer.
template <typename Number>
std::string formatted(char* (*format)(char*, Number), Number value) {
  std::string text(kMaxNumberText, '\0');
  text.resize(static_cast<size_t>(format(text.data(), value) - text.data()));
  return text;
}

TEST(CoordsDiff, FormattingWritesWhatPrintfWrites) {
  Random r;
  Mismatches wrong;
  std::vector<std::int64_t> values = {0, 1, -1, INT_MAX, INT_MIN, INT_MAX - 1, INT_MIN + 1};
  for (std::int64_t p = 1; p <= 1000000000; p *= 10)
    for (std::int64_t v : {p - 1, p, p + 1}) values.insert(values.end(), {v, -v});
  for (int i = 0; i < 300000; ++i) {
    std::int64_t magnitude = static_cast<std::int64_t>(r.engine() % (1ull << (1 + r.below(31))));
    values.push_back(r.chance(50) ? magnitude : -magnitude);
  }
  for (std::int64_t wide : values) {
    if (wide < INT_MIN || wide > INT_MAX) continue;
    int value = static_cast<int>(wide);
    std::string expected = format_text("%d", value);
    std::string text = formatted(format_int, value);
    if (text != expected) wrong.add("%d of " + expected + ": " + text);

    unsigned code = static_cast<unsigned>(value);
    expected = format_text("%02u", code);
    text = formatted(format_unsigned_02, code);
    if (text != expected) wrong.add("%02u of " + expected + ": " + text);
  }
  wrong.report("formatting");
}

// How a coordinate moves, as the conversions define it: the offset added in
// inches, then plus 0.5 and truncated toward zero on the magnitude.
bool reference_shift(double coordinate, double offset, int& result) {
  double moved = (coordinate / 10000.0 + offset) * 10000.0;
  double rounded = moved >= 0 ? std::trunc(moved + 0.5) : -std::trunc(-moved + 0.5);
  if (!std::isfinite(rounded) || rounded < INT_MIN || rounded > INT_MAX) return false;
  result = static_cast<int>(rounded);
  return true;
}

// Offsets at a half unit, a few steps of a double from one, and about a
// millionth of a unit from one, with ordinary, huge and not finite ones.
std::vector<double> test_offsets(Random& r) {
  std::vector<double> offsets = {0.0,      -0.0,       0.5,      0.25,     -0.0123, 3.3,
                                 0.1,      1.0,        0.00005,  -0.00005, 0.00015, 10000.0,
                                 -10000.0, 10000.0001, 1e-300,   5e-324,   2.5e-5,  123.45675,
                                 1e10,     -1e10,      INFINITY, NAN};
  for (int i = 0; i < 60; ++i) {
    double half = (static_cast<double>(r.below(2000000)) - 1000000.0 + 0.5) / 10000.0;
    offsets.push_back(half);
    double step = half;
    for (int k = 0; k < 1 + i % 5; ++k) step = std::nextafter(step, i % 2 ? 1e9 : -1e9);
    offsets.push_back(step);
    offsets.push_back(half + (i % 2 ? 1 : -1) * (1e-6 + 1e-9 * static_cast<double>(i)) / 10000.0);
    offsets.push_back(half + (i % 2 ? 1 : -1) * 0.99e-6 / 10000.0);
    offsets.push_back(static_cast<double>(r.engine() % 2000000001) / 100000.0 - 10000.0);
  }
  return offsets;
}

TEST(CoordsDiff, PreparedOffsetsMoveLikeTheDefinition) {
  Random r;
  Mismatches wrong;
  for (double offset : test_offsets(r)) {
    PreparedOffset prepared = prepare_offset(offset);
    for (int i = 0; i < 40000; ++i) {
      std::int32_t coordinate = static_cast<std::int32_t>(r.below(19999999)) - 9999999;
      if (i < 8)
        coordinate = std::vector<std::int32_t>{0, 1, -1, 9999999, -9999999, 5000, -5000, 4999}[i];
      int fast = 0;
      int expected = 0;
      bool moved = shift_small_whole(coordinate, prepared, fast);
      bool defined = reference_shift(coordinate, offset, expected);
      if (moved != defined || (moved && fast != expected)) {
        wrong.add(format_text("offset %.17g coordinate %d: %d, not %d", offset, coordinate, fast,
                              expected));
      }
      int general = 0;
      if (shift_coordinate(coordinate, offset, general) != defined ||
          (defined && general != expected))
        wrong.add("shift_coordinate " + std::to_string(coordinate));
    }
  }
  wrong.report("moves");
}

// Coordinates moved from text to text by whole-unit offsets, against the
// definition and printf.
TEST(CoordsDiff, DecimalMovesMatchTheDefinition) {
  Random r;
  Mismatches wrong;
  std::vector<std::int64_t> units = {0, 1, -1, 5000, -5000, 9999999, -9999999, 4999, -10000};
  for (int i = 0; i < 200; ++i)
    units.push_back(static_cast<std::int64_t>(r.below(19999999)) - 9999999);
  for (std::int64_t unit : units) {
    PreparedOffset offset = prepare_offset(static_cast<double>(unit) / 10000.0);
    ASSERT_TRUE(offset.whole) << unit;
    DecimalOffset decimal = prepare_decimal_offset(offset);
    ASSERT_TRUE(decimal.usable) << unit;
    for (int i = 0; i < 5000; ++i) {
      std::string digits = r.digits(1 + r.below(7));
      std::string text = r.pick({"", "", "", "-", "+"}) + digits + "Y" + r.digits(8);
      const char* at = text.data();
      WholeText number;
      char next = 0;
      if (!read_whole_text(at, number, next) || next != 'Y') {
        wrong.add(shown(text) + " not read");
        continue;
      }
      double coordinate = 0.0;
      std::sscanf(text.c_str(), "%lf", &coordinate);
      int expected = 0;
      ASSERT_TRUE(reference_shift(coordinate, offset.offset, expected));
      std::string moved(16, '\0');
      moved.resize(static_cast<size_t>(format_moved(moved.data(), number, decimal) - moved.data()));
      std::string printed = format_text("%d", expected);
      if (moved != printed)
        wrong.add(shown(text) + " by " + std::to_string(unit) + ": " + moved + ", not " + printed);
    }
  }
  EXPECT_FALSE(prepare_decimal_offset(prepare_offset(1000.0)).usable);   // 10^7 units
  EXPECT_FALSE(prepare_decimal_offset(prepare_offset(0.00005)).usable);  // half a unit
  wrong.report("decimal moves");
}

// A draw line as the drilled copies move it, with sscanf and printf: a "G01"
// prefix dropped, "X%lfY%lfD%u" moved and written "X%dY%dD%02u*", anything
// that does not read whole (or whose D code does not fit) left as it is.
std::string reference_draw(const Offset& offset, const std::string& line) {
  std::string draw = line.rfind("G01", 0) == 0 ? line.substr(3) : line;
  double x = 0.0;
  double y = 0.0;
  unsigned d = 0;
  int code_at = -1;
  if (std::sscanf(draw.c_str(), "X%lfY%lfD%n", &x, &y, &code_at) != 2 || code_at < 0) return line;
  if (std::sscanf(draw.c_str() + code_at, "%u", &d) != 1 ||
      classify_unsigned(draw, static_cast<size_t>(code_at)) != UnsignedText::kInRange)
    return line;
  int new_x = 0;
  int new_y = 0;
  if (!reference_shift(x, offset.x, new_x) || !reference_shift(y, offset.y, new_y)) return line;
  return format_text("X%dY%dD%02u*", new_x, new_y, d);
}

// A drill hit moved the same way: "X%lfY%lf" written as "X%dY%d".
std::string reference_hit(const Offset& offset, const std::string& line) {
  double x = 0.0;
  double y = 0.0;
  int new_x = 0;
  int new_y = 0;
  if (std::sscanf(line.c_str(), "X%lfY%lf", &x, &y) != 2 || !reference_shift(x, offset.x, new_x) ||
      !reference_shift(y, offset.y, new_y))
    return line;
  return format_text("X%dY%d", new_x, new_y);
}

std::string random_coordinate(Random& r) {
  if (r.chance(80)) return r.pick({"", "", "", "", "-", "+"}) + r.digits(1 + r.below(8));
  return random_number(r);
}

std::string random_code(Random& r) {
  if (r.chance(80)) return r.pick({"01", "02", "03", "1", "2", "3", "10", "11", "99", "100"});
  return r.pick({"", "-1", "-0", " 2", "+3", "x", "4294967295", "4294967296", "12345678",
                 "123456789012", "0000000002", "07junk"});
}

std::string random_draw(Random& r) {
  std::string line = r.chance(25) ? "G01" : "";
  if (r.chance(92)) line += "X" + random_coordinate(r);
  if (r.chance(92)) line += "Y" + random_coordinate(r);
  if (r.chance(92)) line += "D" + random_code(r);
  return line + r.pick({"*", "*", "*", "*", "", "*junk", " *", "I5J5D01*"});
}

TEST(CoordsDiff, DrawAndHitLinesMoveLikeSscanfAndPrintf) {
  Random r;
  Mismatches wrong;
  std::vector<double> offsets = test_offsets(r);
  JobSettings job;
  for (int i = 0; i < 200000; ++i) {
    job.offset = {offsets[r.below(offsets.size())], offsets[r.below(offsets.size())]};
    std::string draw = random_draw(r);
    std::string expected = reference_draw(job.offset, draw);
    if (shift_draw(job, draw) != expected)
      wrong.add(shown(draw) + " gave " + shown(shift_draw(job, draw)) + ", not " + shown(expected));
    std::string hit = "X" + random_coordinate(r) +
                      (r.chance(90) ? "Y" + random_coordinate(r) : "") + random_tail(r);
    expected = reference_hit(job.offset, hit);
    if (shift_hit(job, hit) != expected)
      wrong.add(shown(hit) + " gave " + shown(shift_hit(job, hit)) + ", not " + shown(expected));
  }
  wrong.report("draw and hit lines");
}

TEST(CoordsDiff, ToolLinesReadLikeSscanf) {
  Random r;
  Mismatches wrong;
  TempDir dir;
  std::string good_table;
  std::string good_apertures;
  std::vector<std::string> bad_lines;
  for (int i = 0; i < 20000; ++i) {
    std::string line = "T" + (r.chance(80) ? r.digits(1 + r.below(3)) : random_number(r)) +
                       (r.chance(95) ? "C" : r.pick({"", "c", " C", "X"})) +
                       (r.chance(70) ? "0." + r.digits(1 + r.below(5)) : random_number(r)) +
                       random_tail(r);
    // One line as read_line returns it: no line end inside, at most 254
    // characters (a longer one would come in pieces).
    if (line.find_first_of("\n\r") != std::string::npos || line.size() > 254) continue;
    unsigned tool = 0;
    double diameter = 0.0;
    if (std::sscanf(line.c_str(), "T%uC%lf", &tool, &diameter) == 2 &&
        classify_unsigned(line, 1) == UnsignedText::kInRange) {
      good_table += line + "\n";
      good_apertures += format_text("%%ADD%lluC,%1.6lf*%%\n",
                                    static_cast<unsigned long long>(tool) + 9, diameter);
    } else if (bad_lines.size() < 300) {
      bad_lines.push_back(line);
    }
  }
  auto apertures = [&dir](const std::string& table, ConversionStatus& status) {
    dir.write("tools.drl", "M48\nINCH,LZ\n" + table + "%\nG90\nM30\n");
    JobSettings job;
    InputFile drill;
    OutputFile out;
    EXPECT_TRUE(open_source(dir.file("tools.drl"), drill));
    EXPECT_TRUE(create_output(dir.file("apertures.gbr"), {}, out));
    status = emit_tool_apertures(job, drill, out, 9);
    finish_output(out);
    return dir.read("apertures.gbr");
  };
  ConversionStatus status = -1;
  EXPECT_EQ(apertures(good_table, status), good_apertures);
  EXPECT_EQ(status, kDone);
  for (const std::string& line : bad_lines) {
    apertures(line + "\n", status);
    if (status != kParseError) wrong.add(shown(line) + " was read");
  }
  wrong.report("tool lines");
}

// The lines read_line returns for a file: pieces of at most 255 characters
// counting the line feed (a carriage return before it is part of the line
// end), each without its leading blanks and tabs.
std::vector<std::string> reference_lines(const std::string& content) {
  std::vector<std::string> lines;
  size_t i = 0;
  while (i < content.size()) {
    std::string piece;
    while (i < content.size() && piece.size() < 255) {
      if (content[i] == '\n') {
        ++i;
        break;
      }
      if (content[i] == '\r' && i + 1 < content.size() && content[i + 1] == '\n') {
        i += 2;
        break;
      }
      piece += content[i++];
    }
    size_t first = piece.find_first_not_of(" \t");
    lines.push_back(first == std::string::npos ? std::string() : piece.substr(first));
  }
  return lines;
}

// A drawing with everything the loops treat specially, at every position
// relative to the reader's buffer and its 64-byte scans: plain draws,
// selects, polarity, comments, blanks, carriage returns, long lines.
std::string random_drawing(Random& r, size_t lines) {
  std::string text;
  for (size_t i = 0; i < lines; ++i) {
    std::string line;
    switch (r.below(20)) {
      case 0:
        line = r.pick({"G54D10*", "G54D11*", "%LPC*%", "%LPD*%", "G04 a note with blanks *", "",
                       "G01*", "G75*", "G03X100Y200I5J5D01*", "M01*", "MX1Y1D01*", "G01", "%LPX",
                       "X1\rY2D01*", "G9", "G01G01X1Y1D01*"});
        break;
      case 1:  // lines about a piece long, or longer
        line = r.pick({"", "G01"}) + "X" + r.digits(240 + r.below(300)) + "Y1D01*";
        if (r.chance(50)) line.resize(250 + r.below(12));
        break;
      case 2:
        line = r.pick({"Y", "X"}) + random_coordinate(r) + "D01*";
        break;
      default:
        line = random_draw(r);
        break;
    }
    if (r.chance(5)) line = r.pick({" ", "\t", "  \t"}) + line;
    text += line + (r.chance(10) ? "\r\n" : "\n");
  }
  return text;
}

// Where the drawing of a converted file lies: after `before`, up to the last
// `after`.
std::string section(const std::string& file, const std::string& before, const std::string& after) {
  size_t start = file.find(before);
  size_t end = file.rfind(after);
  if (start == std::string::npos || end == std::string::npos || end < start + before.size())
    return "(not found)";
  return file.substr(start + before.size(), end - start - before.size());
}

void expect_same_lines(const std::string& actual, const std::string& expected, const char* what) {
  if (actual == expected) return;
  std::vector<std::string> a = reference_lines(actual);
  std::vector<std::string> e = reference_lines(expected);
  size_t i = 0;
  while (i < a.size() && i < e.size() && a[i] == e[i]) ++i;
  ADD_FAILURE() << what << ": line " << i + 1 << " is " << (i < a.size() ? shown(a[i]) : "missing")
                << ", expected " << (i < e.size() ? shown(e[i]) : "none");
}

TEST(CoordsDiff, ConvertedDrawingsMatchLineByLineModel) {
  Random r;
  TempDir dir;
  const std::string drawing = random_drawing(r, 60000);  // about 1 MB: several buffer fills
  const std::string header =
      "G04 layer *\n%FSLAX24Y24*%\n%MOIN*%\n%ADD10C,0.0100*%\nG90*\n%LPD*%\n";
  // Lines after "M00*" are not used; they keep it away from the end of the
  // file, where the reader takes the slow way.
  std::string after = "M00*\n";
  for (int i = 0; i < 100; ++i) after += "X1Y1D02*\nX2Y2D01*\n";
  after += "M02*\n";
  dir.write("layer.gbr", header + drawing + after);
  dir.write("drill_file.drl", "M48\nINCH,LZ\nT1C0.035\n%\nG90\nT1\nX012345Y023456\nM30\n");
  dir.write(
      "board_outline.grb",
      "%FSLAX24Y24*%\n%MOIN*%\nG54D10*\nX0Y0D02*\nX100Y0D01*\nG04 -------------- Draw Parts\n");
  dir.write("top_solder_mask.grb", header + drawing + after);
  // Whole units both ways (moved as text), halves and a far offset (moved
  // through doubles).
  const std::vector<Offset> offsets = {
      {0.0, 0.0}, {0.5, -0.25}, {-0.7531, -999.9999}, {-0.00005, 0.00015}, {1e5, 0.0}};
  RunResult run = run_quorlan(
      dir.path(), {"N1", "N2", "N4", "Dlayer.gbr", "O0.5,-0.25", "Dlayer.gbr", "O-0.7531,-999.9999",
                   "Dlayer.gbr", "O-0.00005,0.00015", "Dlayer.gbr", "O1e5,0", "Dlayer.gbr"});
  ASSERT_EQ(run.exit_status, 0) << run.output;

  const std::vector<std::string> lines = reference_lines(drawing);
  size_t end = 0;
  while (end < lines.size() && lines[end].rfind("M00", 0) != 0) ++end;
  ASSERT_EQ(end, lines.size()) << "the drawing must not end early";

  const std::vector<std::string> copies = {"layer_drilled.gbr", "layer_drilledOf1.gbr",
                                           "layer_drilledOf2.gbr", "layer_drilledOf3.gbr",
                                           "layer_drilledOf4.gbr"};
  for (size_t c = 0; c < copies.size(); ++c) {
    std::string expected = "%LPD*%\n";
    for (const std::string& line : lines)
      expected += (c == 0 ? line : reference_draw(offsets[c], line)) + "\n";
    expect_same_lines(section(dir.read(copies[c]), "\nG90*\n", "\n%LPC*%\n"), expected,
                      copies[c].c_str());
  }

  std::string expected_mask;
  for (const std::string& line : lines) {
    if (line.rfind("%LP", 0) == 0) continue;
    expected_mask += (line.rfind("G01", 0) == 0 ? line.substr(3) : line) + "\n";
  }
  expect_same_lines(section(dir.read("top_smask_poly.gbr"), "\n%LPC*%\n\n", "\nM00*\nM02*\n"),
                    expected_mask, "mask");
}

// The region writer of the outline and mask conversions on the same lines:
// every move after the first written line starts a region, selects are
// dropped, "G01" prefixes removed, the Draw Parts marker ends it all.
std::string reference_regions(const std::vector<std::string>& lines) {
  const std::string marker = "G04 -------------- Draw Parts";
  std::string out = "G04 Begin outline 1 *\n\nG36*\n";
  unsigned region = 1;
  bool written = false;
  for (std::string line : lines) {
    if (written && line.find("D02") != std::string::npos) {
      out += format_text("G37*\nG04 End outline %u *\n\nG04 Begin outline %u *\nG36*\n", region,
                         region + 1);
      ++region;
    }
    if (line.find("G54D") != std::string::npos) continue;
    if (line.find(marker) != std::string::npos) {
      return out + format_text("G37*\nG04 End outline %u *\n", region);
    }
    if (line.rfind("G01", 0) == 0) line.erase(0, 3);
    out += line + "\n";
    written = true;
  }
  return out + "(no marker)";
}

TEST(CoordsDiff, OutlineRegionsMatchLineByLineModel) {
  Random r;
  TempDir dir;
  std::string drawing;
  for (int i = 0; i < 60000; ++i) {
    std::string line;
    switch (r.below(12)) {
      case 0:
        line = r.pick({"G54D11*", "XG54D1*", "G04 a note *", "", "G01*", "X1D02Y2*", "D0", "D023*",
                       "G01D02", "G04 -------------- Draw", "G54", "Y5D2*", "G01G54D10*"});
        break;
      case 1:
        line = "X" + r.digits(200 + r.below(400)) + r.pick({"D02*", "D01*"});
        break;
      case 2:
      case 3:
        line = std::string(r.chance(40) ? "G01" : "") + "X" + r.digits(1 + r.below(6)) + "Y" +
               r.digits(1 + r.below(6)) + "D02*";
        break;
      default:
        line = std::string(r.chance(20) ? "G01" : "") + "X" + r.digits(1 + r.below(6)) + "Y" +
               r.digits(1 + r.below(6)) + "D01*";
        break;
    }
    if (r.chance(5)) line = r.pick({" ", "\t", " \t "}) + line;
    drawing += line + (r.chance(10) ? "\r\n" : "\n");
  }
  // The parts drawing after the marker is not used.
  drawing += "G01G04 -------------- Draw Parts\n";
  for (int i = 0; i < 100; ++i) drawing += "X1Y1D02*\nX2Y2D01*\n";
  dir.write("board_outline.grb",
            "G04 header *\n%FSLAX24Y24*%\n%MOIN*%\n%ADD10C,0.0100*%\nG90*\nG54D10*\n" + drawing);
  RunResult run = run_quorlan(dir.path(), {"N2", "N3", "N4"});
  ASSERT_EQ(run.exit_status, 0) << run.output;
  expect_same_lines(section(dir.read("outline_poly.gbr"), "\n%LPD*%\n\n", "\nM00*\nM02*\n"),
                    reference_regions(reference_lines(drawing)), "outline");
}

}  // namespace
