#include "mail/mime.h"

#include <utility>

#include "framework/core/sysutils.h"
#include "mail/ip_misc.h"

namespace mimetext {

namespace {

std::string HexByte(unsigned char c) { return "=" + IntToHex(c, 2); }

bool IsPlainAscii(const std::string& text) {
  for (char c : text) {
    unsigned char u = static_cast<unsigned char>(c);
    if (u < 0x20 || u >= 0x7F) return false;
  }
  return true;
}

}  // namespace

std::vector<std::string> Base64Lines(TStream& data) {
  static const char kAlphabet[] =
      "ABCDEFGHIJKLMNOPQRSTUVWXYZabcdefghijklmnopqrstuvwxyz0123456789+/";
  std::vector<std::string> lines;
  data.SetPosition(0);
  uint8_t chunk[45];
  for (int32_t n; (n = data.Read(chunk, sizeof chunk)) > 0;) {
    std::string line;
    for (int32_t i = 0; i < n; i += 3) {
      uint32_t v = uint32_t(chunk[i]) << 16;
      if (i + 1 < n) v |= uint32_t(chunk[i + 1]) << 8;
      if (i + 2 < n) v |= chunk[i + 2];
      line += kAlphabet[(v >> 18) & 63];
      line += kAlphabet[(v >> 12) & 63];
      line += i + 1 < n ? kAlphabet[(v >> 6) & 63] : '=';
      line += i + 2 < n ? kAlphabet[v & 63] : '=';
    }
    lines.push_back(std::move(line));
  }
  return lines;
}

std::vector<std::string> QuotedPrintable(const std::string& line) {
  std::vector<std::string> tokens;
  tokens.reserve(line.size());
  for (size_t i = 0; i < line.size(); ++i) {
    unsigned char c = static_cast<unsigned char>(line[i]);
    bool last = i + 1 == line.size();
    bool blank = c == ' ' || c == '\t';
    if (c == '=' || c >= 128 || c == 0x7F || (c < 0x20 && c != '\t') || (blank && last))
      tokens.push_back(HexByte(c));
    else
      tokens.emplace_back(1, char(c));
  }
  std::vector<std::string> out;
  std::string current;
  for (size_t i = 0; i < tokens.size(); ++i) {
    const std::string& t = tokens[i];
    bool last = i + 1 == tokens.size();
    if (current.size() + t.size() <= kMaxLineLength - 1 ||
        (last && current.size() + t.size() <= kMaxLineLength)) {
      current += t;
      continue;
    }
    // A soft break: the "=" also keeps a blank before it from ending the line.
    out.push_back(current + "=");
    current = t;
  }
  out.push_back(current);
  return out;
}

std::string EncodedWords(const std::string& text) {
  if (IsPlainAscii(text)) return text;
  const std::string open = std::string("=?") + kCharset + "?Q?";
  // Words of at most 66 characters leave room for "Subject: " on a 76-character line.
  const size_t room = 66 - open.size() - 2;
  std::string result, word;
  auto flush = [&] {
    if (!result.empty()) result += ' ';
    result += open + word + "?=";
    word.clear();
  };
  for (char ch : text) {
    unsigned char c = static_cast<unsigned char>(ch);
    std::string piece;
    if (c == ' ')
      piece = "_";
    else if ((c >= 'A' && c <= 'Z') || (c >= 'a' && c <= 'z') || (c >= '0' && c <= '9') ||
             c == '!' || c == '*' || c == '+' || c == '-' || c == '/')
      piece = std::string(1, ch);
    else
      piece = HexByte(c);
    if (word.size() + piece.size() > room) flush();
    word += piece;
  }
  if (!word.empty() || result.empty()) flush();
  return result;
}

std::string DisplayAddress(const TMailAddress& a) {
  if (a.FullName.empty()) return a.Address;
  std::string comment;
  if (IsPlainAscii(a.FullName)) {
    for (char c : a.FullName) {
      if (c == '(' || c == ')' || c == '\\') comment += '\\';
      comment += c;
    }
  } else {
    comment = EncodedWords(a.FullName);
  }
  return a.Address + " (" + comment + ")";
}

std::vector<std::string> FoldHeader(const std::string& line) {
  std::vector<std::string> out;
  std::string rest = line;
  size_t colon = line.find(':');
  bool first = true;
  while (rest.size() > kMaxLineLength) {
    size_t minBreak = first ? (colon == std::string::npos ? 1 : colon + 2)
                            : rest.find_first_not_of(" \t") + 1;
    auto usable = [&](size_t k) {
      return (rest[k] == ' ' || rest[k] == '\t') && k >= minBreak &&
             rest.find_first_not_of(" \t", k) != std::string::npos;
    };
    size_t k = std::string::npos;
    for (size_t i = std::min(rest.size() - 1, kMaxLineLength); i >= minBreak && i > 0; --i) {
      if (usable(i)) {
        k = i;
        break;
      }
    }
    if (k == std::string::npos) {
      for (size_t i = kMaxLineLength + 1; i < rest.size(); ++i) {
        if (usable(i)) {
          k = i;
          break;
        }
      }
    }
    if (k == std::string::npos) break;
    out.push_back(rest.substr(0, k));
    rest.erase(0, k);
    first = false;
  }
  out.push_back(rest);
  return out;
}

}  // namespace mimetext

namespace {

void Append(TStrings& lines, const std::vector<std::string>& more) {
  for (const std::string& line : more) lines.Add(line);
}

void AppendFolded(TStrings& lines, const std::string& header) {
  Append(lines, mimetext::FoldHeader(header));
}

// An extra header line "Name: value" with its value encoded when it is not plain ASCII.
std::string EncodeHeaderLine(const std::string& line) {
  size_t colon = line.find(':');
  if (colon == std::string::npos) return line;
  size_t start = line.find_first_not_of(' ', colon + 1);
  if (start == std::string::npos) return line;
  return line.substr(0, start) + mimetext::EncodedWords(line.substr(start));
}

std::string AddressList(const std::vector<TMailAddress>& list) {
  std::string text;
  for (const TMailAddress& a : list) text += (text.empty() ? "" : ", ") + mimetext::DisplayAddress(a);
  return text;
}

void CheckRecord(const std::string& field, const TMailAddress& a) {
  ipmisc::CheckAddress(field, a.Address);
  ipmisc::CheckHeaderValue(field + " name", a.FullName);
}

void CopyOrClear(TStringList& list, const TStrings* from) {
  if (from)
    list.Assign(*from);
  else
    list.Clear();
}

}  // namespace

const TClassInfo& T_MailNews::StaticClass() {
  using P = TProps<T_MailNews>;
  static const TClassInfo info{
      "T_MailNews", &TComponent::StaticClass(), Factory<T_MailNews>(),
      {P::Str("Sender", [](const T_MailNews& m) { return m.Sender(); }, &T_MailNews::SetSender),
       P::Str("Subject", [](const T_MailNews& m) { return m.Subject(); }, &T_MailNews::SetSubject),
       P::Strings("Body", [](T_MailNews& m) -> TPersistent& { return m.Body(); }),
       P::Strings("Header", [](T_MailNews& m) -> TPersistent& { return m.Header(); }),
       P::Str("References", [](const T_MailNews& m) { return m.References(); },
              &T_MailNews::SetReferences),
       P::Str("ReplyTo", [](const T_MailNews& m) { return m.ReplyTo(); }, &T_MailNews::SetReplyTo)}};
  return info;
}

T_MailNews::T_MailNews(TComponent* owner) : TComponent(owner) {}

void T_MailNews::SetBody(const TStrings* lines) { CopyOrClear(body_, lines); }

void T_MailNews::SetHeader(const TStrings* lines) { CopyOrClear(header_, lines); }

void T_MailNews::CheckFields() const {
  CheckRecord("From", from_);
  if (!sender_.empty()) ipmisc::CheckAddress("Sender", sender_);
  ipmisc::CheckHeaderValue("Subject", subject_);
  ipmisc::CheckHeaderValue("References", references_);
  if (!replyTo_.empty()) ipmisc::CheckAddress("Reply-To", replyTo_);
  for (int i = 0; i < header_.Count(); ++i) ipmisc::CheckHeaderValue("header line", header_[i]);
}

void T_MailNews::CompleteMessage() {
  CheckFields();
  const platform::LocalTime now = ipmisc::Now();
  const long long seconds = ipmisc::SecondsSince1970(now);
  TStringList head;
  AppendFolded(head, "From: " + mimetext::DisplayAddress(from_));
  head.Add("Message-ID: <" + std::to_string(seconds) + "." + ipmisc::UniqueToken() + "@" +
           ipmisc::LocalHostName() + ">");
  head.Add("Date: " + ipmisc::Rfc822Date(now, ipmisc::TimeZoneBias()));
  AppendFolded(head, "Subject: " + mimetext::EncodedWords(subject_));
  for (int i = head.Count() - 1; i >= 0; --i) lines_.Insert(0, head[i]);
  if (!sender_.empty()) lines_.Add("Sender: " + sender_);
  if (!references_.empty()) AppendFolded(lines_, "References: " + references_);
  if (!replyTo_.empty()) lines_.Add("Reply-To: " + replyTo_);
  for (int i = 0; i < header_.Count(); ++i) AppendFolded(lines_, EncodeHeaderLine(header_[i]));
  lines_.Add("");
  lines_.AddStrings(body_);
}

const TClassInfo& T_Mail::StaticClass() {
  using P = TProps<T_Mail>;
  static const TClassInfo info{
      "T_Mail", &T_MailNews::StaticClass(), Factory<T_Mail>(),
      {P::Component<T_SMTP>("SMTP", [](const T_Mail& m) { return m.SMTP(); }, &T_Mail::SetSMTP),
       P::Bool("Disclose_Receipts", [](const T_Mail& m) { return m.HideReceivers(); },
               &T_Mail::SetHideReceivers)}};
  return info;
}

T_Mail::T_Mail(TComponent* owner) : T_MailNews(owner) {}

void T_Mail::Send() {
  T_SMTP* smtp = smtp_.Get();
  if (!smtp) return;
  if (to_.empty() && cc_.empty() && bcc_.empty())
    throw EMailHeaderError("The mail has no recipient; it was not sent.");
  CheckFields();
  for (const TMailAddress& a : to_) CheckRecord("To", a);
  for (const TMailAddress& a : cc_) CheckRecord("CC", a);
  for (const TMailAddress& a : bcc_) CheckRecord("BCC", a);

  TStringList& lines = MessageLines();
  lines.Clear();
  TStringList envelope;
  for (const auto* list : {&to_, &cc_, &bcc_})
    for (const TMailAddress& a : *list) envelope.Add(a.Address);
  if (hideReceivers_ || to_.empty())
    lines.Add("To: undisclosed-recipients:;");
  else
    AppendFolded(lines, "To: " + AddressList(to_));
  if (!hideReceivers_ && !cc_.empty()) AppendFolded(lines, "CC: " + AddressList(cc_));
  CompleteMessage();

  // The envelope sender and recipients set here are taken back when the dialogue ends.
  struct Restore {
    T_SMTP& smtp;
    TStringList& lines;
    bool clearSender;
    ~Restore() {
      if (clearSender) smtp.SetSender("");
      smtp.SetRecipients(nullptr);
      smtp.SetMessage(nullptr);
      lines.Clear();
    }
  } restore{*smtp, lines, smtp->Sender().empty()};
  if (restore.clearSender) smtp->SetSender(Sender().empty() ? From().Address : Sender());
  smtp->SetRecipients(&envelope);
  smtp->SetMessage(&lines);
  smtp->Action();
}

const TClassInfo& T_Attachment::StaticClass() {
  static const TClassInfo info{"T_Attachment", &TObject::StaticClass(), nullptr, {}};
  return info;
}

void T_Attachment::SetLines(const TStrings& lines) {
  lines_.Assign(lines);
  data_.Clear();
  for (int i = 0; i < lines_.Count(); ++i) {
    const std::string line = lines_[i] + "\r\n";
    data_.WriteBuffer(line.data(), int32_t(line.size()));
  }
}

void T_Attachment::SetData(TStream& data) {
  lines_.Clear();
  data_.LoadFromStream(data);
}

const TClassInfo& T_Mime::StaticClass() {
  using P = TProps<T_Mime>;
  static const TClassInfo info{
      "T_Mime", &TComponent::StaticClass(), Factory<T_Mime>(),
      {P::Component<T_Mail>("Mail", [](const T_Mime& m) { return m.Mail(); }, &T_Mime::SetMail)}};
  return info;
}

T_Mime::T_Mime(TComponent* owner) : TComponent(owner) {}

void T_Mime::AttachFile(const std::string& fileName) {
  const std::string name = ExtractFileName(fileName);
  ipmisc::CheckHeaderValue("attachment's file name", name);
  auto part = std::make_unique<T_Attachment>();
  {
    TFileStream file(fileName, fmOpenRead | fmShareDenyWrite);
    part->SetData(file);
  }
  part->SetContentType("application/octet-stream");
  part->SetKind(T_Attachment::kBase64);
  std::string quoted;
  bool ascii = true;
  for (char c : name) {
    if (static_cast<unsigned char>(c) >= 128) ascii = false;
    if (c == '"' || c == '\\') quoted += '\\';
    quoted += c;
  }
  if (ascii) {
    part->SetDisposition("attachment; filename=\"" + quoted + "\"");
  } else {
    // RFC 2231: the name's bytes in the programs' code page, percent-encoded.
    std::string encoded = std::string(mimetext::kCharset) + "''";
    for (char c : name) {
      unsigned char u = static_cast<unsigned char>(c);
      if ((u >= 'A' && u <= 'Z') || (u >= 'a' && u <= 'z') || (u >= '0' && u <= '9') ||
          u == '.' || u == '-' || u == '_')
        encoded += c;
      else
        encoded += "%" + IntToHex(u, 2);
    }
    part->SetDisposition("attachment; filename*=" + encoded);
  }
  parts_.push_back(std::move(part));
}

int T_Mime::AttachText(const TStrings& lines) {
  auto part = std::make_unique<T_Attachment>();
  part->SetContentType(std::string("text/plain; charset=") + mimetext::kCharset);
  part->SetKind(T_Attachment::kQuotedPrintable);
  part->SetLines(lines);
  parts_.push_back(std::move(part));
  return int(parts_.size()) - 1;
}

void T_Mime::RemoveAttachment(int index) {
  if (index >= 0 && size_t(index) < parts_.size()) parts_.erase(parts_.begin() + index);
}

void T_Mime::BuildBody() {
  T_Mail* mail = mail_.Get();
  if (!mail) return;
  boundary_ = std::to_string(ipmisc::SecondsSince1970(ipmisc::Now())) +
              IntToHex(ipmisc::LocalAddress(), 8) + "." + ipmisc::UniqueToken() + "==";

  // The mail's Header and Body and this builder's parts are as before when this ends.
  struct Restore {
    T_Mail& mail;
    T_Mime& mime;
    TStringList header, body;
    bool textPart = false;
    ~Restore() {
      mail.SetHeader(&header);
      mail.SetBody(&body);
      if (textPart) mime.RemoveAttachment(int(mime.parts_.size()) - 1);
    }
  } restore{*mail, *this, {}, {}};
  restore.header.Assign(mail->Header());
  restore.body.Assign(mail->Body());

  mail->Header().Add("MIME-Version: 1.0");
  mail->Header().Add("Content-Type: multipart/mixed; boundary=\"" + boundary_ + "\"");
  mail->Header().Add("Content-Transfer-Encoding: 7bit");
  if (mail->Body().Count() > 0) {
    AttachText(mail->Body());
    restore.textPart = true;
  }
  TStringList& body = mail->Body();
  body.Clear();
  for (const auto& part : parts_) {
    body.Add("");
    body.Add("--" + boundary_);
    body.Add("Content-Type: " + part->ContentType());
    if (!part->Disposition().empty()) body.Add("Content-Disposition: " + part->Disposition());
    if (part->Kind() == T_Attachment::kBase64)
      body.Add("Content-Transfer-Encoding: base64");
    else if (part->Kind() == T_Attachment::kQuotedPrintable)
      body.Add("Content-Transfer-Encoding: quoted-printable");
    body.Add("");
    if (part->Kind() == T_Attachment::kBase64) {
      Append(body, mimetext::Base64Lines(part->Data()));
    } else {
      for (int i = 0; i < part->Lines().Count(); ++i)
        Append(body, mimetext::QuotedPrintable(part->Lines()[i]));
    }
  }
  body.Add("");
  body.Add("--" + boundary_ + "--");
  mail->Send();
}
