#pragma once
// The SMTP client.
//
// How it works: T_SMTP sends one finished message (its lines) from one envelope sender
// to a list of envelope recipients over one connection: greeting (must be 220), HELO,
// MAIL FROM, one RCPT TO per recipient, DATA, the dot-stuffed lines, the final dot and
// QUIT. Every reply is read whole and checked: all its lines carry one code, whose first
// digit is 2 to 5, and it ends within ReplyTimeout and kMaxReplyLines lines; the whole
// mail ends within MailTimeout. Recipients the server refuses are collected, and when
// none is left the message is not sent. The envelope holds bare addresses only and is
// checked before the connection is opened. Errors name the server, the step and the
// server's reply, its control characters made visible. Status texts ("Connecting", "n%",
// "Done.") go to OnTrace with kind 3.
#include <string>
#include <vector>

#include "framework/core/strings.h"
#include "mail/tcpip.h"

// A reply of the server that ends the dialogue: protocol name, reply code and reply text
// (as the server sent it; the message shows it made visible).
class EProtocolError : public ETcpIpError {
 public:
  EProtocolError(std::string protocol, int code, std::string text, std::string message = "")
      : ETcpIpError(message.empty() ? text : std::move(message)),
        protocol_(std::move(protocol)),
        code_(code),
        text_(std::move(text)) {}
  const std::string& Protocol() const { return protocol_; }
  int Code() const { return code_; }
  const std::string& Text() const { return text_; }

 private:
  std::string protocol_;
  int code_;
  std::string text_;
};

// Raised after a successful send when the server refused some of the recipients: the
// message went to the others.
class ERecipientsRefused : public EProtocolError {
 public:
  ERecipientsRefused(const std::string& server, int code, std::string text,
                     std::vector<std::string> refused);
  const std::vector<std::string>& Refused() const { return refused_; }

 private:
  std::vector<std::string> refused_;
};

class T_SMTP : public T_TcpIp {
  FW_CLASS(T_SMTP, T_TcpIp)

 public:
  static constexpr uint16_t kDefaultPort = 25;
  static constexpr int kDefaultReplyTimeoutMs = 5 * 60 * 1000;
  static constexpr int kDefaultMailTimeoutMs = 60 * 60 * 1000;
  // A reply of more lines is not an answer of a sane server.
  static constexpr int kMaxReplyLines = 1000;

  explicit T_SMTP(TComponent* owner);

  // The envelope sender: a bare address.
  const std::string& Sender() const { return sender_; }
  void SetSender(std::string address) { sender_ = std::move(address); }
  // The envelope recipients, one bare address per entry.
  TStringList& Recipients() { return recipients_; }
  // Copies the list; none clears it.
  void SetRecipients(const TStrings* list);
  // The lines of the message, sent as they are apart from dot-stuffing.
  TStringList& Message() { return message_; }
  void SetMessage(const TStrings* lines);

  // The longest time for one whole reply, all its lines, in milliseconds.
  int ReplyTimeout() const { return replyTimeoutMs_; }
  void SetReplyTimeout(int milliseconds) { replyTimeoutMs_ = milliseconds > 0 ? milliseconds : 1; }
  // The longest time for one whole mail, from connecting to the server's answer to its
  // end, in milliseconds.
  int MailTimeout() const { return mailTimeoutMs_; }
  void SetMailTimeout(int milliseconds) { mailTimeoutMs_ = milliseconds > 0 ? milliseconds : 1; }

  int ReplyCode() const { return replyCode_; }
  // The text of the reply's first line, as the server sent it.
  const std::string& ReplyText() const { return replyText_; }
  // "address (code text)" for every recipient the last dialogue's server refused.
  const std::vector<std::string>& Refused() const { return refused_; }
  // "SMTP server HOST:PORT".
  std::string Server() const;

  // How a message line goes out between DATA and the final ".": a line that begins with
  // "." gets one more in front, so no line of the text can end the message.
  static std::string DataLine(const std::string& line);

  // The mail dialogue; nothing happens unless sender, recipients and message are given.
  void Action() override;
  void SendMail();

 protected:
  ~T_SMTP() override = default;
  // Reads one reply into ReplyCode and ReplyText: lines "ccc-text" up to a final
  // "ccc text" (or "ccc"). command names what the reply answers, for the messages (empty
  // for the greeting). A reply whose lines are not of that form or carry different codes
  // raises EProtocolError; one that does not end within ReplyTimeout or kMaxReplyLines
  // lines raises ESocketError.
  void ReadReply(const std::string& command);

 private:
  void Dialogue();
  // Sends line and reads the reply to it; command names it.
  void Exchange(const std::string& line, const std::string& command);
  // Raises EProtocolError for the last reply unless ok.
  void Expect(const std::string& command, bool ok);
  void Quit();
  // "code text" of the last reply, made visible.
  std::string ReplyShown() const;

  std::string sender_;
  std::string localHost_;
  int replyCode_ = 0;
  std::string replyText_;
  int replyTimeoutMs_ = kDefaultReplyTimeoutMs;
  int mailTimeoutMs_ = kDefaultMailTimeoutMs;
  TStringList recipients_;
  TStringList message_;
  std::vector<std::string> refused_;
};
