// Test driver of the e-mail classes: composes one mail with T_Mime and T_Mail and sends
// it with T_SMTP.
//   mail_run --host HOST [--port N] [--timeout SECONDS] [--reply-timeout SECONDS]
//            [--mail-timeout SECONDS] [--trace] --from ADDRESS [--name FULLNAME]
//            --to ADDRESS [--cc ADDRESS] [--bcc ADDRESS] [--hide-receivers]
//            --subject TEXT --text FILE [--attach FILE]...
// The three limits are the client's Timeout (each wait), ReplyTimeout (one whole reply)
// and MailTimeout (the whole mail). --trace writes the client's trace events to stdout,
// one "kind text" line each.
// Exits 0 when the server took the mail (refused recipients are then named on stderr),
// 1 with the client's message on stderr when it did not, 2 on a bad command line.
#include <cstdio>
#include <cstdlib>
#include <string>
#include <vector>

#include "mail/mime.h"

namespace {

int Usage(const std::string& problem) {
  std::fprintf(stderr,
               "mail_run: %s\nusage: mail_run --host HOST [--port N] [--timeout SECONDS] "
               "[--reply-timeout SECONDS] [--mail-timeout SECONDS] [--trace] --from ADDRESS "
               "[--name FULLNAME] --to ADDRESS [--cc ADDRESS] [--bcc ADDRESS] "
               "[--hide-receivers] --subject TEXT --text FILE [--attach FILE]...\n",
               problem.c_str());
  return 2;
}

}  // namespace

int main(int argc, char** argv) {
  std::string host, from, name, subject, textFile;
  bool hasSubject = false, hide = false, trace = false;
  long port = T_SMTP::kDefaultPort, timeout = 0, replyTimeout = 0, mailTimeout = 0;
  std::vector<TMailAddress> to, cc, bcc;
  std::vector<std::string> attachments;
  for (int i = 1; i < argc; ++i) {
    std::string option = argv[i];
    if (option == "--hide-receivers" || option == "--trace") {
      (option == "--trace" ? trace : hide) = true;
      continue;
    }
    if (i + 1 >= argc) return Usage("option " + option + " needs a value");
    std::string value = argv[++i];
    if (option == "--host") host = value;
    else if (option == "--port") port = std::strtol(value.c_str(), nullptr, 10);
    else if (option == "--timeout") timeout = std::strtol(value.c_str(), nullptr, 10);
    else if (option == "--reply-timeout") replyTimeout = std::strtol(value.c_str(), nullptr, 10);
    else if (option == "--mail-timeout") mailTimeout = std::strtol(value.c_str(), nullptr, 10);
    else if (option == "--from") from = value;
    else if (option == "--name") name = value;
    else if (option == "--to") to.push_back({value, ""});
    else if (option == "--cc") cc.push_back({value, ""});
    else if (option == "--bcc") bcc.push_back({value, ""});
    else if (option == "--subject") subject = value, hasSubject = true;
    else if (option == "--text") textFile = value;
    else if (option == "--attach") attachments.push_back(value);
    else return Usage("unknown option " + option);
  }
  if (host.empty() || from.empty() || to.empty() || !hasSubject || textFile.empty())
    return Usage("--host, --from, --to, --subject and --text are required");
  if (port < 1 || port > 65535) return Usage("--port must lie in 1..65535");

  // The builder owns the mail and the client, as the e-mail thread's form owns all three.
  TOwned<T_Mime> mime(new T_Mime(nullptr));
  try {
    T_SMTP* smtp = new T_SMTP(mime.get());
    smtp->SetHostname(host);
    smtp->SetPort(uint16_t(port));
    if (timeout > 0) smtp->SetTimeout(int(timeout * 1000));
    if (replyTimeout > 0) smtp->SetReplyTimeout(int(replyTimeout * 1000));
    if (mailTimeout > 0) smtp->SetMailTimeout(int(mailTimeout * 1000));
    if (trace) {
      smtp->OnTrace = TTraceEvent([](TObject*, const std::string& text, int kind) {
        std::printf("%d %s\n", kind, text.c_str());
        std::fflush(stdout);
      });
    }
    T_Mail* mail = new T_Mail(mime.get());
    mail->SetSMTP(smtp);
    mail->SetFrom({from, name});
    mail->SetSubject(subject);
    mail->Recipients() = to;
    mail->CC() = cc;
    mail->BCC() = bcc;
    mail->SetHideReceivers(hide);
    mime->SetMail(mail);
    TStringList text;
    text.LoadFromFile(textFile);
    mime->AttachText(text);
    for (const std::string& file : attachments) mime->AttachFile(file);
    mime->BuildBody();
  } catch (const ERecipientsRefused& e) {
    std::fprintf(stderr, "%s\n", e.Message().c_str());
    return 0;
  } catch (const Exception& e) {
    std::fprintf(stderr, "%s\n", e.Message().c_str());
    return 1;
  }
  return 0;
}
