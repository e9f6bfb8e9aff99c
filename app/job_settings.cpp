#include "app/job_settings.h"

#include <cerrno>
#include <climits>
#include <cstdio>
#include <cstdlib>
#include <ctime>

std::string format_run_stamp(int year, int month0, int mday, int wday, int hour, int min, int sec) {
  static const char* const kDays[] = {"Sun", "Mon", "Tue", "Wed", "Thu", "Fri", "Sat"};
  static const char* const kMonths[] = {"Jan", "Feb", "Mar", "Apr", "May", "Jun",
                                        "Jul", "Aug", "Sep", "Oct", "Nov", "Dec"};
  const char* day = (wday >= 0 && wday < 7) ? kDays[wday] : "???";
  const char* month = (month0 >= 0 && month0 < 12) ? kMonths[month0] : "???";
  int n = std::snprintf(nullptr, 0, "%s %s %02d %02d:%02d:%02d %d", day, month, mday, hour, min,
                        sec, year);
  std::string out(static_cast<size_t>(n), '\0');
  std::snprintf(out.data(), out.size() + 1, "%s %s %02d %02d:%02d:%02d %d", day, month, mday, hour,
                min, sec, year);
  return out;
}

namespace {

// A whole decimal integer, optionally signed, and nothing else.
bool parse_epoch(const char* text, long long& value) {
  if (text == nullptr || *text == '\0') return false;
  char* end = nullptr;
  errno = 0;
  long long v = std::strtoll(text, &end, 10);
  if (errno != 0 || *end != '\0' || end == text) return false;
  value = v;
  return true;
}

}  // namespace

std::string current_run_stamp() {
  long long epoch = 0;
  std::tm parts{};
  bool fixed = parse_epoch(std::getenv("SOURCE_DATE_EPOCH"), epoch);
  if (fixed) {
    // An instant too far away to break down into a date, or whose year does
    // not fit an int once 1900 is added, falls back to the local time rather
    // than stamping the files with an impossible date.
    std::time_t t = static_cast<std::time_t>(epoch);
    fixed = gmtime_r(&t, &parts) != nullptr && parts.tm_year <= INT_MAX - 1900;
  }
  if (!fixed) {
    std::time_t now = std::time(nullptr);
    if (localtime_r(&now, &parts) == nullptr) parts = std::tm{};
  }
  return format_run_stamp(parts.tm_year + 1900, parts.tm_mon, parts.tm_mday, parts.tm_wday,
                          parts.tm_hour, parts.tm_min, parts.tm_sec);
}
