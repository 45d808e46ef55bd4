#pragma once
// One patch mailed to its recipients: what the e-mail thread sends and how it reports.
//
// How it works: SendPatchMail takes everything it needs in a TPatchMail, which the main
// window fills on the GUI thread before the thread starts (sender identity, subject,
// covering text, patch file, recipient records). It makes the SMTP client on the
// identity's server ("host" or "host:port"), the mail with its From, Reply-To, Subject,
// X-Mailer and Organization lines and recipients, and the MIME builder with the covering
// text and the patch as a base64 attachment, and sends. The client's status texts reach
// the report as text and percent; any failure of the whole run becomes one message box
// given to the report (the texts below), so SendPatchMail itself never throws.
#include <cstdint>
#include <string>
#include <vector>

#include "framework/core/exception.h"

class TComponent;

// One recipient: the address-book record number (-1 for an address typed by hand), the
// bare address, the full name (may be empty) and the kind.
struct TRecipient {
  enum Kind : uint8_t { kTo = 0, kCc = 1, kBcc = 2 };
  int32_t Number = -1;
  std::string Address;
  std::string FullName;
  uint8_t Kind = kTo;
  bool operator==(const TRecipient&) const = default;
};
// "address", or "address (full name)" when there is a name.
std::string RecipientText(const TRecipient& r);

// The sender identity a mail goes out with.
struct TMailIdentity {
  std::string Address;
  std::string FullName;
  std::string SmtpServer;  // "host" or "host:port"
  std::string Organization;
  std::string ReplyTo;
};

struct TPatchMail {
  TMailIdentity Sender;
  std::string Subject;
  std::vector<std::string> Text;  // the covering text, line by line
  std::string FileName;           // the patch
  std::vector<TRecipient> Recipients;
};

// The mail program named in the X-Mailer line.
inline constexpr char kMailerLine[] = "X-Mailer: Quiltor32 Snapmend (PreRelease) from http://www.norvale.example/quiltor/";

// A setting that cannot name a server.
class EMailSetupError : public Exception {
 public:
  using Exception::Exception;
};
// Splits "host" or "host:port" (port 1..65535); without a port, port 25. Raises
// EMailSetupError for an empty host or a port that is no number in range.
void SplitSmtpServer(const std::string& server, std::string& host, uint16_t& port);

// A status text of the client: the text becomes the status; when it ends in "%" and the
// rest is a decimal number, percent takes it, clamped to 0..100, and the result is true.
bool ReadTraceStatus(const std::string& text, int& percent);

// A message box of the run: text, caption and flags (16: the stop icon).
struct TMailBox {
  std::string Text;
  std::string Caption;
  unsigned Flags = 16;
  bool operator==(const TMailBox&) const = default;
};

// What the run tells the user: status steps while it sends, boxes when it fails. Called on
// the thread that runs SendPatchMail.
class IPatchMailReport {
 public:
  virtual void Status(const std::string& text, int percent) = 0;
  virtual void ShowBox(const TMailBox& box) = 0;

 protected:
  ~IPatchMailReport() = default;
};

// Builds and sends the mail; every failure ends as one box through report. The client, the
// mail and the builder are owned by owner while they live (none: by the run itself).
void SendPatchMail(const TPatchMail& mail, IPatchMailReport& report, TComponent* owner = nullptr);
