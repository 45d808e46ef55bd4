#include "mail/mime.h"

#include <cstdio>
#include <utility>

#include "mail/ip_misc.h"
#include "platform/file.h"

namespace mimetext {

namespace {

const char kHex[] = "0123456789ABCDEF";

std::string HexByte(unsigned char c) { return {'=', kHex[c >> 4], kHex[c & 15]}; }

bool IsPlainAscii(const std::string& text) {
  for (char c : text) {
    unsigned char u = static_cast<unsigned char>(c);
    if (u < 0x20 || u >= 0x7F) return false;
  }
  return true;
}

}  // namespace

std::vector<std::string> Base64Lines(const std::vector<uint8_t>& data) {
  static const char kAlphabet[] =
      "ABCDEFGHIJKLMNOPQRSTUVWXYZabcdefghijklmnopqrstuvwxyz0123456789+/";
  std::vector<std::string> lines;
  for (size_t start = 0; start < data.size(); start += 45) {
    size_t end = std::min(data.size(), start + 45);
    std::string line;
    for (size_t i = start; i < end; i += 3) {
      uint32_t v = uint32_t(data[i]) << 16;
      if (i + 1 < end) v |= uint32_t(data[i + 1]) << 8;
      if (i + 2 < end) v |= data[i + 2];
      line += kAlphabet[(v >> 18) & 63];
      line += kAlphabet[(v >> 12) & 63];
      line += i + 1 < end ? kAlphabet[(v >> 6) & 63] : '=';
      line += i + 2 < end ? kAlphabet[v & 63] : '=';
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
    // A soft break; the line before it must not end in white space.
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

std::string DisplayAddress(const MailAddress& a) {
  if (a.name.empty()) return a.address;
  std::string comment;
  if (IsPlainAscii(a.name)) {
    for (char c : a.name) {
      if (c == '(' || c == ')' || c == '\\') comment += '\\';
      comment += c;
    }
  } else {
    comment = EncodedWords(a.name);
  }
  return a.address + " (" + comment + ")";
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

void Append(std::vector<std::string>& lines, const std::vector<std::string>& more) {
  lines.insert(lines.end(), more.begin(), more.end());
}

void AppendFolded(std::vector<std::string>& lines, const std::string& header) {
  Append(lines, mimetext::FoldHeader(header));
}

std::string AddressList(const std::vector<MailAddress>& list) {
  std::string text;
  for (const MailAddress& a : list) text += (text.empty() ? "" : ", ") + mimetext::DisplayAddress(a);
  return text;
}

void CheckRecord(const std::string& field, const MailAddress& a) {
  ipmisc::CheckAddress(field, a.address);
  ipmisc::CheckHeaderValue(field + " name", a.name);
}

}  // namespace

void T_MailNews::CheckFields() const {
  CheckRecord("From", from_);
  if (!sender_.empty()) ipmisc::CheckAddress("Sender", sender_);
  ipmisc::CheckHeaderValue("Subject", subject_);
  ipmisc::CheckHeaderValue("References", references_);
  if (!replyTo_.empty()) ipmisc::CheckAddress("Reply-To", replyTo_);
  for (const std::string& h : header_) ipmisc::CheckHeaderValue("header line", h);
}

void T_MailNews::WriteHeaders() {
  CheckFields();
  const platform::LocalTime now = ipmisc::Now();
  const long long seconds = ipmisc::SecondsSince1970(now);
  std::vector<std::string> head;
  AppendFolded(head, "From: " + mimetext::DisplayAddress(from_));
  head.push_back("Message-ID: <" + std::to_string(seconds) + "." + ipmisc::UniqueToken() + "@" +
                 ipmisc::LocalHostName() + ">");
  head.push_back("Date: " + ipmisc::Rfc822Date(now, ipmisc::TimeZoneBias()));
  AppendFolded(head, "Subject: " + mimetext::EncodedWords(subject_));
  lines_.insert(lines_.begin(), head.begin(), head.end());
  if (!sender_.empty()) lines_.push_back("Sender: " + sender_);
  if (!references_.empty()) AppendFolded(lines_, "References: " + references_);
  if (!replyTo_.empty()) lines_.push_back("Reply-To: " + replyTo_);
  Append(lines_, header_);
  lines_.push_back("");
  Append(lines_, body_);
}

void T_Mail::WriteHeaders() {
  if (!smtp_ || to_.empty() || From().address.empty()) return;
  CheckFields();
  for (const MailAddress& a : to_) CheckRecord("To", a);
  for (const MailAddress& a : cc_) CheckRecord("CC", a);
  for (const MailAddress& a : bcc_) CheckRecord("BCC", a);

  std::vector<std::string>& lines = MessageLines();
  lines.clear();
  std::vector<std::string> envelope;
  for (const auto* list : {&to_, &cc_, &bcc_})
    for (const MailAddress& a : *list) envelope.push_back(a.address);
  if (hideReceivers_) {
    lines.push_back("To: undisclosed-recipients:;");
  } else {
    AppendFolded(lines, "To: " + AddressList(to_));
    if (!cc_.empty()) AppendFolded(lines, "CC: " + AddressList(cc_));
  }
  T_MailNews::WriteHeaders();

  // The envelope sender and recipients set here are taken back when the dialogue ends.
  struct Restore {
    T_SMTP& smtp;
    std::vector<std::string>& lines;
    bool clearSender;
    ~Restore() {
      if (clearSender) smtp.SetSender("");
      smtp.SetRecipients({});
      smtp.SetMessage({});
      lines.clear();
    }
  } restore{*smtp_, lines, smtp_->Sender().empty()};
  if (restore.clearSender) smtp_->SetSender(Sender().empty() ? From().address : Sender());
  smtp_->SetRecipients(std::move(envelope));
  smtp_->SetMessage(lines);
  smtp_->Action();
}

void T_Attachment::SetLines(std::vector<std::string> lines) {
  lines_ = std::move(lines);
  data_.clear();
  for (const std::string& line : lines_) {
    data_.insert(data_.end(), line.begin(), line.end());
    data_.push_back('\r');
    data_.push_back('\n');
  }
}

void T_Attachment::SetData(std::vector<uint8_t> data) {
  lines_.clear();
  data_ = std::move(data);
}

void T_Mime::AttachFile(const std::string& fileName) {
  const std::string name = ipmisc::FileNameOfPath(fileName);
  ipmisc::CheckHeaderValue("attachment's file name", name);
  platform::File file;
  if (!file.Open(fileName, platform::OpenMode::Read))
    throw EAttachmentFileError("Cannot open file \"" + fileName + "\"");
  int64_t size = file.Size();
  std::vector<uint8_t> data(size > 0 ? size_t(size) : 0);
  if (size < 0 || file.Read(data.data(), data.size()) != data.size())
    throw EAttachmentFileError("Cannot read file \"" + fileName + "\"");
  auto part = std::make_unique<T_Attachment>();
  part->SetContentType("application/octet-stream");
  part->SetKind(T_Attachment::kBase64);
  part->SetData(std::move(data));
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
          u == '.' || u == '-' || u == '_') {
        encoded += c;
      } else {
        char hex[4];
        std::snprintf(hex, sizeof hex, "%%%02X", unsigned(u));
        encoded += hex;
      }
    }
    part->SetDisposition("attachment; filename*=" + encoded);
  }
  parts_.push_back(std::move(part));
}

int T_Mime::AttachText(std::vector<std::string> lines) {
  auto part = std::make_unique<T_Attachment>();
  part->SetContentType(std::string("text/plain; charset=") + mimetext::kCharset);
  part->SetKind(T_Attachment::kQuotedPrintable);
  part->SetLines(std::move(lines));
  parts_.push_back(std::move(part));
  return int(parts_.size()) - 1;
}

void T_Mime::RemoveAttachment(int index) {
  if (index >= 0 && size_t(index) < parts_.size()) parts_.erase(parts_.begin() + index);
}

void T_Mime::BuildBody() {
  if (!mail_) return;
  char address[9];
  std::snprintf(address, sizeof address, "%08X", unsigned(ipmisc::LocalAddress()));
  boundary_ = std::to_string(ipmisc::SecondsSince1970(ipmisc::Now())) + address + "." +
              ipmisc::UniqueToken() + "==";

  // The mail's Header and Body and this builder's parts are as before when this ends.
  struct Restore {
    T_Mail& mail;
    T_Mime& mime;
    std::vector<std::string> header, body;
    bool textPart = false;
    ~Restore() {
      mail.SetHeader(std::move(header));
      mail.SetBody(std::move(body));
      if (textPart) mime.RemoveAttachment(int(mime.parts_.size()) - 1);
    }
  } restore{*mail_, *this, mail_->Header(), mail_->Body()};

  mail_->Header().push_back("MIME-Version: 1.0");
  mail_->Header().push_back("Content-Type: multipart/mixed; boundary=\"" + boundary_ + "\"");
  mail_->Header().push_back("Content-Transfer-Encoding: 7bit");
  if (!mail_->Body().empty()) {
    AttachText(mail_->Body());
    restore.textPart = true;
  }
  std::vector<std::string>& body = mail_->Body();
  body.clear();
  for (const auto& part : parts_) {
    body.push_back("");
    body.push_back("--" + boundary_);
    body.push_back("Content-Type: " + part->ContentType());
    if (!part->Disposition().empty()) body.push_back("Content-Disposition: " + part->Disposition());
    if (part->Kind() == T_Attachment::kBase64)
      body.push_back("Content-Transfer-Encoding: base64");
    else if (part->Kind() == T_Attachment::kQuotedPrintable)
      body.push_back("Content-Transfer-Encoding: quoted-printable");
    body.push_back("");
    if (part->Kind() == T_Attachment::kBase64) {
      Append(body, mimetext::Base64Lines(part->Data()));
    } else {
      for (const std::string& line : part->Lines()) Append(body, mimetext::QuotedPrintable(line));
    }
  }
  body.push_back("");
  body.push_back("--" + boundary_ + "--");
  mail_->WriteHeaders();
}
