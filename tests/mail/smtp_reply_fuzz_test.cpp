// Generated SMTP replies, read by the client's reply reader from a loopback server:
// multi-line replies, codes and their first digits, separators, line lengths and line
// counts at their limits, control and 8-bit bytes, stray CRs, bare LFs and connections
// cut off. Whatever arrives, the reader gives the reply's code and first text, or an
// error that names the server and the step in printable text, and never reads past the
// reply's end. Every case has its own seed: a failure names it, and
//   QUILTOR_FUZZ_SEED=<seed> QUILTOR_FUZZ_CASES=1
// replays exactly that case (QUILTOR_FUZZ_CASES alone runs more or fewer cases).
#include <gtest/gtest.h>

#include <cstdio>
#include <cstdlib>
#include <random>
#include <string>
#include <vector>

#include "mail/smtp.h"
#include "platform/file.h"
#include "tests/mail/loopback_server.h"
#include "tests/support/fuzz_seeds.h"

namespace {

class ReplyReader : public T_SMTP {
 public:
  using T_SMTP::T_SMTP;
  void Read(const std::string& command) { ReadReply(command); }
};

constexpr size_t kMaxLine = T_TcpIp::kMaxLineLength;
constexpr int kMaxLines = T_SMTP::kMaxReplyLines;
// Sent after every whole reply: the reader must find it next.
const std::string kNextReply = "250 next\r\n";

// The rules a reply is read by, applied to the lines the bytes hold.
struct Outcome {
  enum Kind { Read, Mismatch, Malformed, TooManyLines, LineTooLong, Closed } kind = Read;
  int code = 0;
  std::string text;
  std::string codes;  // "A and B" of a mismatch
};

Outcome Ended(Outcome::Kind kind) {
  Outcome o;
  o.kind = kind;
  return o;
}

bool WellFormed(const std::string& l) {
  auto digit = [](char c) { return c >= '0' && c <= '9'; };
  return l.size() >= 3 && l[0] >= '2' && l[0] <= '5' && digit(l[1]) && digit(l[2]) &&
         (l.size() == 3 || l[3] == ' ' || l[3] == '-');
}

Outcome Expected(const std::string& bytes) {
  Outcome o;
  size_t pos = 0;
  for (int count = 0;; ++count) {
    if (count >= kMaxLines) return Ended(Outcome::TooManyLines);
    std::string line;
    bool ended = false;
    for (; pos < bytes.size() && !ended; ++pos) {
      if (bytes[pos] == '\n') ended = true;
      else if (bytes[pos] != '\r') line += bytes[pos];
    }
    if (line.size() > kMaxLine) return Ended(Outcome::LineTooLong);
    if (!ended) return Ended(Outcome::Closed);
    if (!WellFormed(line)) return Ended(Outcome::Malformed);
    const int code = std::stoi(line.substr(0, 3));
    if (count == 0) {
      o.code = code;
      o.text = line.size() > 4 ? line.substr(4) : "";
    } else if (code != o.code && o.codes.empty()) {
      o.codes = std::to_string(o.code) + " and " + std::to_string(code);
    }
    if (line.size() == 3 || line[3] == ' ') break;
  }
  if (!o.codes.empty()) o.kind = Outcome::Mismatch;
  return o;
}

// One generated reply: lines of one code, then damage.
std::string Generate(std::mt19937& rng) {
  auto pick = [&](uint32_t n) { return uint32_t(rng() % n); };
  auto byte = [&]() -> char {
    switch (pick(10)) {
      case 0: {  // a control character other than the line end's (stray CRs come below)
        char c = char(pick(32));
        return c == '\n' || c == '\r' ? '\x1B' : c;
      }
      case 1: return char(0x7F + pick(0x81));  // DEL and 8-bit bytes
      default: return char(0x20 + pick(0x5F));
    }
  };
  const int count = pick(10) == 0 ? kMaxLines - 1 + int(pick(3)) : 1 + int(pick(4));
  const std::string code = std::to_string(200 + pick(400));
  std::vector<std::string> lines;
  for (int i = 0; i < count; ++i) {
    const bool last = i + 1 == count;
    size_t length = pick(40);
    if (count < 10 && pick(8) == 0) length = kMaxLine - 5 + pick(3);  // the line: 65535 to 65537
    std::string line = code + (last ? (length == 0 && pick(2) ? "" : " ") : "-");
    for (size_t k = 0; k < length; ++k) line += byte();
    lines.push_back(line);
  }
  for (uint32_t n = pick(3); n > 0; --n) {
    std::string& l = lines[pick(uint32_t(lines.size()))];
    if (l.size() < 3) continue;  // already cut short
    switch (pick(5)) {
      case 0: l.replace(0, 3, std::to_string(200 + pick(400))); break;  // another code
      case 1: l[pick(3)] = "x /\x00\x1B"[pick(5)]; break;                   // not a digit
      case 2: l[0] = "016789"[pick(6)]; break;                            // no such class
      case 3:                                                              // no separator
        if (l.size() == 3) l += ' ';
        l[3] = "x_+\t\x00"[pick(5)];
        break;
      default: l.resize(pick(3)); break;  // too short for a code
    }
  }
  std::string bytes;
  for (const std::string& l : lines) {
    for (char c : l) {
      if (pick(64) == 0) bytes += '\r';  // stray CRs are dropped
      bytes += c;
    }
    bytes += pick(3) == 0 ? "\n" : pick(8) == 0 ? "\r\r\n" : "\r\n";
  }
  if (pick(8) == 0) return bytes.substr(0, pick(uint32_t(bytes.size())));  // cut off
  return bytes + kNextReply;
}

// The bytes in a few pieces, so a line may span several receives.
std::vector<std::string> Pieces(const std::string& bytes, std::mt19937& rng) {
  std::vector<std::string> pieces;
  size_t at = 0;
  while (at < bytes.size()) {
    size_t n = rng() % 3 == 0 ? 1 + rng() % 7 : 1 + rng() % (bytes.size() - at);
    pieces.push_back(bytes.substr(at, n));
    at += n;
  }
  return pieces;
}

bool Printable(const std::string& text) {
  for (char c : text)
    if (c < 0x20 || c > 0x7E) return false;
  return true;
}

TEST(SmtpReplyFuzz, RepliesAreReadWholeOrRefusedClearly) {
  const auto [first, count] = testsupport::FuzzSeedsFromEnvironment("smtp reply fuzz");
  RecordProperty("first_seed", std::to_string(first));
  const std::string commands[] = {"", "HELO", "MAIL FROM", "RCPT TO", "DATA",
                                  "the end of the mail", "QUIT"};

  for (uint32_t seed = first; seed != first + count; ++seed) {
    SCOPED_TRACE("replay with QUILTOR_FUZZ_SEED=" + std::to_string(seed) +
                 " QUILTOR_FUZZ_CASES=1");
    // Unbuffered, so a case that brings the program down still names its seed.
    std::fprintf(stderr, "case seed %u\n", seed);
    std::mt19937 rng(seed);
    const std::string bytes = Generate(rng);
    const std::string command = commands[rng() % 7];
    const std::string name = command.empty() ? "greeting" : "reply to " + command;
    const Outcome want = Expected(bytes);

    mailtest::LoopbackServer server(Pieces(bytes, rng));
    ASSERT_TRUE(server.Ok()) << "the loopback server could not listen";
    const std::string where = "host 127.0.0.1 port " + std::to_string(server.Port());
    const std::string smtp = "SMTP server 127.0.0.1:" + std::to_string(server.Port());
    // Declared after the server, so it hangs up before the server is waited for.
    TOwned<ReplyReader> reader(new ReplyReader(nullptr));
    reader->SetHostname("127.0.0.1");
    reader->SetPort(server.Port());
    reader->SetTimeout(20000);
    reader->Login();
    std::string message;
    bool protocolError = false;
    try {
      reader->Read(command);
    } catch (const EProtocolError& e) {
      message = e.Message();
      protocolError = true;
      EXPECT_EQ(e.Code(), 0);
    } catch (const ESocketError& e) {
      message = e.Message();
    } catch (const Exception& e) {
      ADD_FAILURE() << "unexpected error: " << e.Message();
      continue;
    }
    const bool malformed = want.kind == Outcome::Mismatch || want.kind == Outcome::Malformed;
    EXPECT_EQ(protocolError, malformed) << message;
    EXPECT_TRUE(Printable(message)) << message;
    EXPECT_LE(message.size(), 400u) << message;
    switch (want.kind) {
      case Outcome::Read:
        EXPECT_EQ(message, "");
        EXPECT_EQ(reader->ReplyCode(), want.code);
        EXPECT_EQ(reader->ReplyText(), want.text);
        break;
      case Outcome::Mismatch:
        EXPECT_EQ(message, smtp + " sent a malformed " + name + ": its lines carry the codes " +
                               want.codes);
        break;
      case Outcome::Malformed:
        EXPECT_EQ(message.rfind(smtp + " sent a malformed " + name + ": \"", 0), 0u) << message;
        break;
      case Outcome::TooManyLines:
        EXPECT_EQ(message, smtp + " sent more than 1000 lines in its " + name);
        break;
      case Outcome::LineTooLong:
        EXPECT_EQ(message, "The server at " + where + " sent a line of more than 65536 "
                           "characters (waiting for the " + name + ")");
        break;
      case Outcome::Closed:
        EXPECT_EQ(message, "The connection to " + where + " was closed by the server (waiting "
                           "for the " + name + ")");
        break;
    }
    // A reply read to its end leaves the next one whole.
    if (!HasFailure() && (want.kind == Outcome::Read || want.kind == Outcome::Mismatch)) {
      try {
        reader->Read("QUIT");
        EXPECT_EQ(reader->ReplyCode(), 250);
        EXPECT_EQ(reader->ReplyText(), "next");
      } catch (const Exception& e) {
        ADD_FAILURE() << "the next reply was not found whole: " << e.Message();
      }
    }
    if (HasFailure()) break;
  }
}

}  // namespace
