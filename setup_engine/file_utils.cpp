#include "setup_engine/file_utils.h"

#include <cmath>

#include "framework/core/streams.h"

namespace setup {
namespace {

// Days from 1 January 1970 of a proleptic Gregorian date.
int64_t DaysFromCivil(int64_t y, int m, int d) {
  y -= m <= 2;
  int64_t era = (y >= 0 ? y : y - 399) / 400;
  int64_t yoe = y - era * 400;
  int64_t doy = (153 * (m + (m > 2 ? -3 : 9)) + 2) / 5 + d - 1;
  int64_t doe = yoe * 365 + yoe / 4 - yoe / 100 + doy;
  return era * 146097 + doe - 719468;
}

void CivilFromDays(int64_t z, int& y, int& m, int& d) {
  z += 719468;
  int64_t era = (z >= 0 ? z : z - 146096) / 146097;
  int64_t doe = z - era * 146097;
  int64_t yoe = (doe - doe / 1460 + doe / 36524 - doe / 146096) / 365;
  int64_t doy = doe - (365 * yoe + yoe / 4 - yoe / 100);
  int64_t mp = (5 * doy + 2) / 153;
  d = int(doy - (153 * mp + 2) / 5 + 1);
  m = int(mp < 10 ? mp + 3 : mp - 9);
  y = int(yoe + era * 400 + (m <= 2));
}

const int64_t kEpoch = DaysFromCivil(1899, 12, 30);
const int64_t kFirstDay = DaysFromCivil(1601, 1, 1) - kEpoch;
const int64_t kLastDay = DaysFromCivil(9999, 12, 31) - kEpoch;

bool IsDirSeparator(char c) { return c == '\\' || platform::IsPathSeparator(c); }

// Splits a date-time into its day (counted from the epoch, in the order of the calendar)
// and the second of that day, rounded to the nearest second; false when it is not a
// number or lies outside the range of file dates.
bool SplitDateTime(double dateTime, int64_t& day, int64_t& seconds) {
  // Far enough beyond the range to decide, near enough for the conversions to stay defined.
  if (!(std::fabs(dateTime) <= double(kLastDay + 2))) return false;
  double whole = std::trunc(dateTime);
  seconds = std::llround(std::fabs(dateTime - whole) * 86400.0);
  day = int64_t(whole);
  // Before the epoch the time of day is a fraction below the day count too (-1.25 is
  // 29 December 1899 at 6:00), so a time that rounds to midnight is always the next day.
  if (seconds >= 86400) {
    seconds -= 86400;
    ++day;
  }
  return day >= kFirstDay && day <= kLastDay;
}

}  // namespace

double EncodeDateTime(const platform::LocalTime& t) {
  double days = double(DaysFromCivil(t.year, t.month, t.day) - kEpoch);
  double time = (t.hour * 3600.0 + t.minute * 60.0 + t.second) / 86400.0;
  // Before the epoch the day count is negative and the time still adds its fraction.
  return days >= 0 ? days + time : days - time;
}

bool IsFileDateTime(double dateTime) {
  int64_t day, seconds;
  return SplitDateTime(dateTime, day, seconds);
}

platform::LocalTime DecodeDateTime(double dateTime) {
  int64_t day, seconds;
  if (!SplitDateTime(dateTime, day, seconds)) {
    bool late = dateTime > 0;
    day = late ? kLastDay : kFirstDay;
    seconds = late ? 86399 : 0;
  }
  platform::LocalTime t;
  CivilFromDays(day + kEpoch, t.year, t.month, t.day);
  t.hour = int(seconds / 3600);
  t.minute = int(seconds / 60 % 60);
  t.second = int(seconds % 60);
  return t;
}

bool GetFileDateTime(const std::string& path, double& dateTime) {
  platform::File f;
  platform::LocalTime t;
  if (!f.Open(path, platform::OpenMode::Read) || !f.ModificationTime(t)) return false;
  dateTime = EncodeDateTime(t);
  return true;
}

bool SetFileDateTime(const std::string& path, double dateTime) {
  if (!IsFileDateTime(dateTime)) return false;
  platform::File f;
  if (!f.Open(path, platform::OpenMode::ReadWrite)) return false;
  bool ok = f.SetModificationTime(DecodeDateTime(dateTime));
  return f.Close() && ok;
}

std::string ExtractFileDir(const std::string& path) {
  size_t i = path.size();
  while (i > 0 && !IsDirSeparator(path[i - 1])) --i;
  if (i == 0) return "";
  size_t end = i - 1;
  // Keep the separator of a root ("/" or "C:\").
  if (end == 0 || (end == 2 && path[1] == ':')) return path.substr(0, end + 1);
  return path.substr(0, end);
}

bool ForceDirectories(const std::string& dir) {
  if (dir.empty() || platform::IsDirectory(dir)) return true;
  std::string parent = ExtractFileDir(dir);
  if (!parent.empty() && parent != dir && !ForceDirectories(parent)) return false;
  platform::MakeDirectory(dir);
  return platform::IsDirectory(dir);
}

void WriteLines(const std::string& path, const std::vector<std::string>& lines) {
  TFileStream out(path, fmCreate);
  for (const std::string& line : lines) {
    std::string text = line + "\r\n";
    out.WriteBuffer(text.data(), int32_t(text.size()));
  }
  out.Flush();
}

}  // namespace setup
