#include "mail/ip_misc.h"

#include <atomic>
#include <chrono>
#include <cstdio>
#include <cstring>
#include <random>

#include "mail/socket_os.h"

bool tcpip_ready() { return mail_os::Startup(); }

namespace ipmisc {

uint32_t Resolve(const std::string& host) {
  uint32_t address = kNoAddress;
  if (mail_os::ParseDotted(host, address)) return address;
  if (!tcpip_ready() || !mail_os::LookUpHost(host, address)) return kNoAddress;
  return address;
}

std::string LocalHostName() {
  std::string name;
  if (tcpip_ready() && mail_os::LocalHostName(name)) return name;
  return "127.0.0.1";
}

uint32_t LocalAddress() {
  std::string name;
  uint32_t address = kNoAddress;
  if (tcpip_ready() && mail_os::LocalHostName(name) && mail_os::LookUpHost(name, address))
    return address;
  const uint8_t loopback[4] = {127, 0, 0, 1};
  std::memcpy(&address, loopback, 4);
  return address;
}

std::string DottedAddress(uint32_t address) {
  uint8_t b[4];
  std::memcpy(b, &address, 4);
  return std::to_string(b[0]) + "." + std::to_string(b[1]) + "." + std::to_string(b[2]) + "." +
         std::to_string(b[3]);
}

std::string ZeroPad(long long value, int width) {
  std::string s = std::to_string(value);
  if (int(s.size()) < width) s.insert(0, size_t(width) - s.size(), '0');
  return s;
}

int BiasFromZoneInfo(ZoneAnswer answer, long bias, long standardBias, long daylightBias) {
  switch (answer) {
    case ZoneAnswer::Standard: return int(bias + standardBias);
    case ZoneAnswer::Daylight: return int(bias + daylightBias);
    case ZoneAnswer::Unknown: return int(bias);
    case ZoneAnswer::Invalid: break;
  }
  return 0;
}

int TimeZoneBias() { return mail_os::TimeZoneBias(); }

std::string ZoneText(int bias) {
  if (bias == 0) return "GMT";
  int minutes = bias < 0 ? -bias : bias;
  return std::string(bias < 0 ? "+" : "-") + ZeroPad(minutes / 60, 2) + ZeroPad(minutes % 60, 2);
}

namespace {

// Days from 1970-01-01 to a date of the proleptic Gregorian calendar.
long long DaysFromCivil(int y, int m, int d) {
  y -= m <= 2;
  const long long era = (y >= 0 ? y : y - 399) / 400;
  const long long yoe = y - era * 400;
  const long long doy = (153 * (m + (m > 2 ? -3 : 9)) + 2) / 5 + d - 1;
  const long long doe = yoe * 365 + yoe / 4 - yoe / 100 + doy;
  return era * 146097 + doe - 719468;
}

}  // namespace

std::string Rfc822Date(const platform::LocalTime& t, int bias) {
  static const char* const kDays[] = {"Sun", "Mon", "Tue", "Wed", "Thu", "Fri", "Sat"};
  static const char* const kMonths[] = {"Jan", "Feb", "Mar", "Apr", "May", "Jun",
                                        "Jul", "Aug", "Sep", "Oct", "Nov", "Dec"};
  long long days = DaysFromCivil(t.year, t.month, t.day);
  int weekday = int(((days % 7) + 7 + 4) % 7);  // 1970-01-01 was a Thursday
  int month = (t.month >= 1 && t.month <= 12) ? t.month - 1 : 0;
  return std::string(kDays[weekday]) + ", " + std::to_string(t.day) + " " + kMonths[month] +
         " " + ZeroPad(t.year, 4) + " " + ZeroPad(t.hour, 2) + ":" + ZeroPad(t.minute, 2) + ":" +
         ZeroPad(t.second, 2) + " " + ZoneText(bias);
}

platform::LocalTime Now() { return mail_os::Now(); }

long long SecondsSince1970(const platform::LocalTime& t) {
  return DaysFromCivil(t.year, t.month, t.day) * 86400 + t.hour * 3600 + t.minute * 60 + t.second;
}

std::string UniqueToken() {
  static const uint32_t salt = [] {
    std::random_device device;
    auto ticks = std::chrono::steady_clock::now().time_since_epoch().count();
    return uint32_t(device()) ^ uint32_t(ticks) ^ uint32_t(uint64_t(ticks) >> 32);
  }();
  static std::atomic<uint32_t> counter{0};
  char text[32];
  std::snprintf(text, sizeof text, "%08X.%u", unsigned(salt), unsigned(++counter));
  return text;
}

namespace {

bool IsControl(char c) {
  unsigned char u = static_cast<unsigned char>(c);
  return u < 0x20 || u == 0x7F;
}

}  // namespace

void CheckHeaderValue(const std::string& field, const std::string& value) {
  for (char c : value) {
    if (IsControl(c))
      throw EMailHeaderError("The " + field + " contains a control character (code " +
                             std::to_string(static_cast<unsigned char>(c)) +
                             "); the mail was not sent.");
  }
}

void CheckAddress(const std::string& field, const std::string& address) {
  if (address.empty())
    throw EMailHeaderError("The " + field + " address is empty; the mail was not sent.");
  CheckHeaderValue(field + " address", address);
  const size_t at = address.find_first_of(" ,;:<>()\"\\");
  if (at != std::string::npos) {
    const std::string what = address[at] == ' ' ? "a space" : "\"" + address.substr(at, 1) + "\"";
    throw EMailHeaderError("The " + field + " address \"" + address + "\" contains " + what +
                           " (one bare address is expected); the mail was not sent.");
  }
}

std::string VisibleText(const std::string& text, size_t maxLength) {
  static const char kHex[] = "0123456789ABCDEF";
  std::string out;
  for (size_t i = 0; i < text.size(); ++i) {
    const unsigned char c = static_cast<unsigned char>(text[i]);
    std::string piece(1, char(c));
    if (c < 0x20 || c >= 0x7F) piece = std::string("\\x") + kHex[c >> 4] + kHex[c & 15];
    if (out.size() + piece.size() > maxLength) return out + "...";
    out += piece;
  }
  return out;
}

}  // namespace ipmisc
