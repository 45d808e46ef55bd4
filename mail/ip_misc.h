#pragma once
// Internet helpers of the e-mail classes: socket start-up state, host name and address,
// dotted-quad text, the RFC 822 date with its time-zone text, unique tokens, and the
// checks that keep header values and addresses free of anything that could change the
// structure of a message or of the SMTP dialogue.
#include <cstdint>
#include <string>

#include "framework/core/exception.h"
#include "platform/file.h"

// True when the socket library started (its start-up returned 0); starts it on first use.
bool tcpip_ready();

// A header value or address that cannot go into a message; raised before anything is sent.
class EMailHeaderError : public Exception {
 public:
  using Exception::Exception;
};

namespace ipmisc {

// The address stands for "not resolved".
constexpr uint32_t kNoAddress = 0xFFFFFFFFu;

// Dotted form first, then the resolver; kNoAddress when neither works.
uint32_t Resolve(const std::string& host);
// The official name of this computer; "127.0.0.1" when it cannot be found.
std::string LocalHostName();
// The first address of this computer in network order; 127.0.0.1 when there is none.
uint32_t LocalAddress();
// The four bytes of an address in network order, decimal, joined by ".".
std::string DottedAddress(uint32_t address);
std::string ZeroPad(long long value, int width);

enum class ZoneAnswer { Invalid, Unknown, Standard, Daylight };
// Minutes from local time to UTC for one answer of the system's time-zone query. A zone
// without daylight saving answers "unknown" and still has its bias; only an invalid
// answer gives 0.
int BiasFromZoneInfo(ZoneAnswer answer, long bias, long standardBias, long daylightBias);
// The current bias of this computer's time zone.
int TimeZoneBias();
// "GMT" for 0, else "+hhmm" east of UTC and "-hhmm" west of it.
std::string ZoneText(int bias);
// "Thu, 10 Dec 2026 09:05:07 +0100".
std::string Rfc822Date(const platform::LocalTime& time, int bias);
platform::LocalTime Now();
// Seconds from 1970-01-01 00:00 to the given clock time (the clock read as it stands).
long long SecondsSince1970(const platform::LocalTime& time);
// A token that no other call in this process returns and that differs between processes.
std::string UniqueToken();

// Raise EMailHeaderError naming the field: a control character (CR, LF, NUL, TAB, DEL,
// ...) in a header value; an empty address or one with a control character, white space
// or a character that separates or quotes addresses in a header ("," ";" ":" "<" ">" "("
// ")" quote and backslash): an address is one bare address, never a list.
void CheckHeaderValue(const std::string& field, const std::string& value);
void CheckAddress(const std::string& field, const std::string& address);

// A text from a peer made safe to show: every byte outside printable ASCII as "\xHH" (so a
// control character can neither act on a terminal nor cut the text), in at most maxLength
// characters, a cut marked with "..." after them.
std::string VisibleText(const std::string& text, size_t maxLength = 200);

}  // namespace ipmisc
