// Test driver of the e-mail classes: composes one mail with T_Mime and T_Mail and sends
// it with T_SMTP.
//   mail_run --host HOST [--port N] [--timeout SECONDS] --from ADDRESS [--name FULLNAME]
//            --to ADDRESS [--cc ADDRESS] [--bcc ADDRESS] [--hide-receivers]
//            --subject TEXT --text FILE [--attach FILE]...
// Exits 0 when the server took the mail (refused recipients are then named on stderr),
// 1 with the client's message on stderr when it did not, 2 on a bad command line.
#include <cstdio>
#include <cstdlib>
#include <string>
#include <vector>

#include "mail/mime.h"
#include "platform/file.h"

namespace {

int Usage(const std::string& problem) {
  std::fprintf(stderr,
               "mail_run: %s\nusage: mail_run --host HOST [--port N] [--timeout SECONDS] "
               "--from ADDRESS [--name FULLNAME] --to ADDRESS [--cc ADDRESS] [--bcc ADDRESS] "
               "[--hide-receivers] --subject TEXT --text FILE [--attach FILE]...\n",
               problem.c_str());
  return 2;
}

// The file's lines without their line ends; a last line end adds no empty line.
bool ReadLines(const std::string& path, std::vector<std::string>& lines) {
  platform::File file;
  if (!file.Open(path, platform::OpenMode::Read)) return false;
  std::string text;
  char chunk[65536];
  for (size_t n; (n = file.Read(chunk, sizeof chunk)) > 0;) text.append(chunk, n);
  size_t start = 0;
  while (start < text.size()) {
    size_t end = text.find('\n', start);
    if (end == std::string::npos) end = text.size();
    std::string line = text.substr(start, end - start);
    if (!line.empty() && line.back() == '\r') line.pop_back();
    lines.push_back(std::move(line));
    start = end + 1;
  }
  return true;
}

}  // namespace

int main(int argc, char** argv) {
  std::string host, from, name, subject, textFile;
  bool hasSubject = false, hide = false;
  long port = T_SMTP::kDefaultPort, timeout = 0;
  std::vector<MailAddress> to, cc, bcc;
  std::vector<std::string> attachments;
  for (int i = 1; i < argc; ++i) {
    std::string option = argv[i];
    if (option == "--hide-receivers") {
      hide = true;
      continue;
    }
    if (i + 1 >= argc) return Usage("option " + option + " needs a value");
    std::string value = argv[++i];
    if (option == "--host") host = value;
    else if (option == "--port") port = std::strtol(value.c_str(), nullptr, 10);
    else if (option == "--timeout") timeout = std::strtol(value.c_str(), nullptr, 10);
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
  std::vector<std::string> text;
  if (!ReadLines(textFile, text)) {
    std::fprintf(stderr, "Cannot open file \"%s\"\n", textFile.c_str());
    return 1;
  }

  try {
    T_SMTP smtp;
    smtp.SetHostname(host);
    smtp.SetPort(uint16_t(port));
    if (timeout > 0) smtp.SetTimeout(int(timeout * 1000));
    T_Mail mail;
    mail.SetSMTP(&smtp);
    mail.SetFrom(from, name);
    mail.SetSubject(subject);
    mail.SetRecipients(to);
    mail.SetCC(cc);
    mail.SetBCC(bcc);
    mail.SetDisclose_Receipts(hide);
    T_Mime mime;
    mime.SetMail(&mail);
    mime.AttachText(text);
    for (const std::string& file : attachments) mime.AttachFile(file);
    mime.BuildBody();
  } catch (const ERecipientsRefused& e) {
    std::fprintf(stderr, "%s\n", e.Message().c_str());
    return 0;
  } catch (const Exception& e) {
    std::fprintf(stderr, "%s\n", e.Message().c_str());
    return 1;
  }
  return 0;
}
