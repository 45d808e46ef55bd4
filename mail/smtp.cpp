#include "mail/smtp.h"

#include <cctype>

#include "mail/ip_misc.h"

namespace {

std::string JoinRefused(const std::vector<std::string>& refused) {
  std::string text;
  for (const std::string& r : refused) text += (text.empty() ? "" : ", ") + r;
  return text;
}

}  // namespace

ERecipientsRefused::ERecipientsRefused(int code, std::string text, std::vector<std::string> refused)
    : EProtocolError("SMTP", code, std::move(text),
                     "The mail was sent, but the server refused these recipients: " +
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

void T_SMTP::ReadReply() {
  std::string line = ReadLine();
  const std::string first = line;
  while (line.find('-') == 3) line = ReadLine();
  if (first.size() < 3 || !std::isdigit(static_cast<unsigned char>(first[0])) ||
      !std::isdigit(static_cast<unsigned char>(first[1])) ||
      !std::isdigit(static_cast<unsigned char>(first[2])))
    throw EProtocolError("SMTP", 0, first,
                         "The server at " + Where() + " sent a malformed reply: \"" + first + "\"");
  replyCode_ = std::stoi(first.substr(0, 3));
  replyText_ = first.size() > 4 ? first.substr(4) : "";
}

void T_SMTP::Expect(bool ok) {
  if (!ok) throw EProtocolError("SMTP", replyCode_, replyText_);
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
  Trace("Connecting", kTraceStatus);
  Login();
  try {
    Dialogue();
  } catch (const ESocketError&) {
    Logout();
    throw;
  } catch (...) {
    Quit();
    throw;
  }
}

void T_SMTP::Dialogue() {
  localHost_ = ipmisc::LocalHostName();
  ReadReply();
  Expect(replyCode_ == 220);
  SendCommand("HELO " + localHost_);
  ReadReply();
  Expect(replyCode_ <= 299);
  SendCommand("MAIL FROM:<" + sender_ + ">");
  ReadReply();
  Expect(replyCode_ <= 299);

  int refusedCode = 0;
  std::string refusedText;
  for (int i = 0; i < recipients_.Count(); ++i) {
    const std::string r = recipients_[i];
    SendCommand("RCPT TO:<" + r + ">");
    ReadReply();
    if (replyCode_ > 299) {
      refused_.push_back(r + " (" + std::to_string(replyCode_) + " " + replyText_ + ")");
      refusedCode = replyCode_;
      refusedText = replyText_;
    }
  }
  if (int(refused_.size()) == recipients_.Count())
    throw EProtocolError("SMTP", refusedCode, refusedText,
                         "The server refused every recipient: " + JoinRefused(refused_));

  SendCommand("DATA");
  ReadReply();
  Expect(replyCode_ == 354);
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
  ReadReply();
  Expect(replyCode_ <= 299);
  Trace("Done.", kTraceStatus);
  Quit();
  if (!refused_.empty()) throw ERecipientsRefused(refusedCode, refusedText, refused_);
}

void T_SMTP::Quit() {
  if (!Connected()) return;
  try {
    SendCommand("QUIT");
    ReadReply();
  } catch (const ETcpIpError&) {
    // The session ends here either way; the reply to QUIT changes nothing.
  }
  Logout();
}
