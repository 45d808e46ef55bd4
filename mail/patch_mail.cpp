#include "mail/patch_mail.h"

#include <exception>

#include "mail/mime.h"

std::string RecipientText(const TRecipient& r) {
  return r.FullName.empty() ? r.Address : r.Address + " (" + r.FullName + ")";
}

void SplitSmtpServer(const std::string& server, std::string& host, uint16_t& port) {
  const size_t colon = server.rfind(':');
  host = colon == std::string::npos ? server : server.substr(0, colon);
  port = 25;
  if (host.empty()) throw EMailSetupError("The sender identity names no SMTP server.");
  if (colon == std::string::npos) return;
  const std::string digits = server.substr(colon + 1);
  long value = 0;
  bool ok = !digits.empty() && digits.size() <= 5;
  for (char c : digits) {
    if (c < '0' || c > '9') ok = false;
    else value = value * 10 + (c - '0');
  }
  if (!ok || value < 1 || value > 65535)
    throw EMailSetupError("The SMTP server \"" + server + "\" names no port in 1..65535; the mail was not sent.");
  port = uint16_t(value);
}

bool ReadTraceStatus(const std::string& text, int& percent) {
  if (text.size() < 2 || text.back() != '%') return false;
  const std::string digits = text.substr(0, text.size() - 1);
  long long value = 0;
  for (char c : digits) {
    if (c < '0' || c > '9') return false;
    if (value <= 100) value = value * 10 + (c - '0');
  }
  percent = value > 100 ? 100 : int(value);
  return true;
}

namespace {

const char kNotConnected[] =
    "Seems that your computer is currently not connected to the internet. Please dialup. Quiltor SMTP subsystem "
    "error message was:\n\n";
const char kUnknownError[] = "Unknown error occured while trying to send email.";

void Compose(const TPatchMail& m, IPatchMailReport& report, TComponent* owner) {
  // The three live together and go together, also when a step fails.
  TOwned<TComponent> scope(owner ? nullptr : new TComponent(nullptr));
  TComponent* holder = owner ? owner : scope.get();
  struct Parts {
    T_SMTP* smtp = nullptr;
    T_Mail* mail = nullptr;
    T_Mime* mime = nullptr;
    ~Parts() {
      if (mime) mime->Free();
      if (mail) mail->Free();
      if (smtp) smtp->Free();
    }
  } parts;

  std::string host;
  uint16_t port = 25;
  SplitSmtpServer(m.Sender.SmtpServer, host, port);
  parts.smtp = new T_SMTP(holder);
  parts.smtp->SetHostname(host);
  parts.smtp->SetPort(port);
  parts.smtp->OnTrace = TTraceEvent([&report, percent = 0](TObject*, const std::string& text, int kind) mutable {
    if (kind != T_TcpIp::kTraceStatus) return;
    ReadTraceStatus(text, percent);
    report.Status(text, percent);
  });

  parts.mail = new T_Mail(holder);
  parts.mail->SetSMTP(parts.smtp);
  parts.mail->SetFrom({m.Sender.Address, m.Sender.FullName});
  if (!m.Sender.ReplyTo.empty()) parts.mail->SetReplyTo(m.Sender.ReplyTo);
  parts.mail->SetSubject(m.Subject);
  parts.mail->Header().Add(kMailerLine);
  if (!m.Sender.Organization.empty()) parts.mail->Header().Add("Organization: " + m.Sender.Organization);
  for (const TRecipient& r : m.Recipients) {
    TMailAddress a{r.Address, r.FullName};
    (r.Kind == TRecipient::kCc ? parts.mail->CC() : r.Kind == TRecipient::kBcc ? parts.mail->BCC()
                                                                                : parts.mail->Recipients())
        .push_back(a);
  }

  parts.mime = new T_Mime(holder);
  parts.mime->SetMail(parts.mail);
  TStringList text;
  for (const std::string& line : m.Text) text.Add(line);
  parts.mime->AttachText(text);
  parts.mime->AttachFile(m.FileName);
  parts.mime->BuildBody();
}

}  // namespace

void SendPatchMail(const TPatchMail& mail, IPatchMailReport& report, TComponent* owner) {
  TMailBox box;
  try {
    Compose(mail, report, owner);
    return;
  } catch (const ERecipientsRefused& e) {
    std::string names;
    for (const std::string& r : e.Refused()) names += "\n" + r;
    box = {"The server refused these recipients:\n" + names + "\n\nThe other recipients got the patch.", "Error"};
  } catch (const ETcpIpError& e) {
    box = {kNotConnected + e.Message(), "Error"};
  } catch (const Exception& e) {
    box = {std::string(kUnknownError) + "\n\n" + e.Message(), "Error sending patch!"};
  } catch (const std::exception& e) {
    box = {std::string(kUnknownError) + "\n\n" + e.what(), "Error sending patch!"};
  }
  report.ShowBox(box);
}
