#include "mail/smtp.h"

#include "mail/ip_misc.h"

namespace {

// The names of the two replies that answer no command of their own.
const std::string kGreeting;
const std::string kEndOfMail = "the end of the mail";

std::string JoinRefused(const std::vector<std::string>& refused) {
  std::string text;
  for (const std::string& r : refused) text += (text.empty() ? "" : ", ") + r;
  return text;
}

// "greeting" or "reply to COMMAND".
std::string ReplyName(const std::string& command) {
  return command.empty() ? "greeting" : "reply to " + command;
}

bool IsDigit(char c) { return c >= '0' && c <= '9'; }

// Three digits, the first 2 to 5, then a space, a "-" or the end of the line.
bool WellFormed(const std::string& line) {
  return line.size() >= 3 && line[0] >= '2' && line[0] <= '5' && IsDigit(line[1]) &&
         IsDigit(line[2]) && (line.size() == 3 || line[3] == ' ' || line[3] == '-');
}

}  // namespace

ERecipientsRefused::ERecipientsRefused(const std::string& server, int code, std::string text,
                                       std::vector<std::string> refused)
    : EProtocolError("SMTP", code, std::move(text),
                     "The mail was sent, but " + server + " refused these recipients: " +
                         JoinRefused(refused)),
      refused_(std::move(refused)) {}

const TClassInfo& T_SMTP::StaticClass() {
  static const TClassInfo info{"T_SMTP", &T_TcpIp::StaticClass(), Factory<T_SMTP>(), {}};
  return info;
}

T_SMTP::T_SMTP(TComponent* owner) : T_TcpIp(owner) { SetPort(kDefaultPort); }

void T_SMTP::SetRecipients(const TStrings* list) {
  if (list)
    recipients_.Assign(*list);
  else
    recipients_.Clear();
}

void T_SMTP::SetMessage(const TStrings* lines) {
  if (lines)
    message_.Assign(*lines);
  else
    message_.Clear();
}

std::string T_SMTP::DataLine(const std::string& line) {
  return !line.empty() && line[0] == '.' ? "." + line : line;
}

void T_SMTP::Action() { SendMail(); }

std::string T_SMTP::Server() const {
  return "SMTP server " + Hostname() + ":" + std::to_string(Port());
}

void T_SMTP::ReadReply(const std::string& command) {
  const std::string name = ReplyName(command);
  SetActivity("waiting for the " + name);
  TDeadline deadline(*this, replyTimeoutMs_, [this, name] {
    return Server() + " did not complete its " + name + " within " + DurationText(replyTimeoutMs_);
  });
  int code = 0;
  std::string text, mismatch;
  for (int count = 1;; ++count) {
    if (count > kMaxReplyLines)
      throw ESocketError(0, Server() + " sent more than " + std::to_string(kMaxReplyLines) +
                                " lines in its " + name);
    const std::string line = ReadLine();
    if (!WellFormed(line))
      throw EProtocolError("SMTP", 0, line,
                           Server() + " sent a malformed " + name + ": \"" +
                               ipmisc::VisibleText(line) + "\"");
    const int lineCode = std::stoi(line.substr(0, 3));
    if (count == 1) {
      code = lineCode;
      text = line.size() > 4 ? line.substr(4) : "";
    } else if (lineCode != code && mismatch.empty()) {
      mismatch = std::to_string(code) + " and " + std::to_string(lineCode);
    }
    if (line.size() == 3 || line[3] == ' ') break;
  }
  // The reply was read to its end, so the dialogue can still be closed in order.
  if (!mismatch.empty())
    throw EProtocolError("SMTP", 0, text,
                         Server() + " sent a malformed " + name + ": its lines carry the codes " +
                             mismatch);
  replyCode_ = code;
  replyText_ = text;
}

std::string T_SMTP::ReplyShown() const {
  const std::string code = std::to_string(replyCode_);
  return replyText_.empty() ? code : code + " " + ipmisc::VisibleText(replyText_);
}

void T_SMTP::Expect(const std::string& command, bool ok) {
  if (ok) return;
  std::string message;
  if (replyCode_ >= 400) {
    const std::string what = command.empty()         ? "the connection"
                             : command == kEndOfMail ? "the mail"
                                                     : command;
    message = Server() + " refused " + what + ": " + ReplyShown();
  } else {
    message = Server() + " gave an unexpected " + ReplyName(command) + ": " + ReplyShown();
  }
  throw EProtocolError("SMTP", replyCode_, replyText_, message);
}

void T_SMTP::Exchange(const std::string& line, const std::string& command) {
  SetActivity("sending " + command);
  SendCommand(line);
  ReadReply(command);
}

void T_SMTP::SendMail() {
  if (recipients_.Count() == 0 || message_.Count() == 0 || sender_.empty()) return;
  ipmisc::CheckAddress("sender", sender_);
  for (int i = 0; i < recipients_.Count(); ++i) ipmisc::CheckAddress("recipient", recipients_[i]);
  for (int i = 0; i < message_.Count(); ++i) {
    if (message_[i].find_first_of("\r\n") != std::string::npos)
      throw EMailHeaderError("A message line contains a line break; the mail was not sent.");
  }
  refused_.clear();
  // What the messages of socket errors name belongs to this dialogue only.
  struct EndActivity {
    T_SMTP& smtp;
    ~EndActivity() { smtp.SetActivity(""); }
  } endActivity{*this};
  SetActivity("connecting");
  TDeadline deadline(*this, mailTimeoutMs_, [this] {
    return WithActivity(Server() + " did not take the mail within " + DurationText(mailTimeoutMs_));
  });
  Trace("Connecting", kTraceStatus);
  Login();
  try {
    Dialogue();
  } catch (const ESocketError&) {
    // A reply cut off or never finished leaves nothing to say to the server.
    Logout();
    throw;
  } catch (...) {
    Quit();
    throw;
  }
}

void T_SMTP::Dialogue() {
  localHost_ = ipmisc::LocalHostName();
  ReadReply(kGreeting);
  Expect(kGreeting, replyCode_ == 220);
  Exchange("HELO " + localHost_, "HELO");
  Expect("HELO", replyCode_ / 100 == 2);
  Exchange("MAIL FROM:<" + sender_ + ">", "MAIL FROM");
  Expect("MAIL FROM", replyCode_ / 100 == 2);

  int refusedCode = 0;
  std::string refusedText;
  for (int i = 0; i < recipients_.Count(); ++i) {
    const std::string r = recipients_[i];
    Exchange("RCPT TO:<" + r + ">", "RCPT TO");
    if (replyCode_ / 100 != 2) {
      refused_.push_back(r + " (" + ReplyShown() + ")");
      refusedCode = replyCode_;
      refusedText = replyText_;
    }
  }
  if (int(refused_.size()) == recipients_.Count())
    throw EProtocolError("SMTP", refusedCode, refusedText,
                         Server() + " refused every recipient: " + JoinRefused(refused_));

  Exchange("DATA", "DATA");
  Expect("DATA", replyCode_ == 354);
  SetActivity("sending the mail text");
  Trace("0%", kTraceStatus);
  const int count = message_.Count();
  long long shown = 0;
  std::string out;
  for (int i = 0; i < count; ++i) {
    out += DataLine(message_[i]);
    out += "\r\n";
    if (out.size() >= kBufferSize) {
      SendBytes(out.data(), out.size());
      out.clear();
    }
    if (count > 1) {
      long long percent = (long long)i * 100 / (long long)(count - 1);
      if (percent != shown) {
        shown = percent;
        Trace(std::to_string(percent) + "%", kTraceStatus);
      }
    }
  }
  if (!out.empty()) SendBytes(out.data(), out.size());
  Trace("Mail sent, waiting for reply.", kTraceStatus);
  SendBytes(".\r\n", 3);
  ReadReply(kEndOfMail);
  Expect(kEndOfMail, replyCode_ / 100 == 2);
  Trace("Done.", kTraceStatus);
  Quit();
  if (!refused_.empty()) throw ERecipientsRefused(Server(), refusedCode, refusedText, refused_);
}

void T_SMTP::Quit() {
  if (!Connected()) return;
  try {
    Exchange("QUIT", "QUIT");
  } catch (const ETcpIpError&) {
    // The session ends here either way; the reply to QUIT changes nothing.
  }
  Logout();
}
