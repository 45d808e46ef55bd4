#pragma once
// Mail and MIME composition.
//
// How it works: T_MailNews holds the header fields and the body of one message and
// writes its header block; T_Mail adds the recipients (To, CC, BCC as address records)
// and the sending step, which hands the message lines and the envelope (bare addresses
// only) to a T_SMTP client; T_Mime collects T_Attachment parts, encodes them (base64 or
// quoted-printable, lines of at most 76 characters) into a multipart/mixed body and
// starts the sending. Every header value and address is checked before anything is
// sent; header texts outside ASCII go out as encoded words of windows-1252, the code page
// of the programs' strings, and long header lines are folded.
#include <cstdint>
#include <memory>
#include <string>
#include <vector>

#include "framework/core/exception.h"
#include "mail/smtp.h"

// An attachment file that cannot be read.
class EAttachmentFileError : public Exception {
 public:
  using Exception::Exception;
};

// One address with its full name (which may be empty).
struct MailAddress {
  std::string address;
  std::string name;
};

// The encoders and header texts of the composition.
namespace mimetext {

constexpr size_t kMaxLineLength = 76;
constexpr const char* kCharset = "windows-1252";

// The data in lines of at most 60 characters (45 bytes each).
std::vector<std::string> Base64Lines(const std::vector<uint8_t>& data);
// One text line quoted-printable encoded: "=", control characters and bytes of 128 or
// more as "=XX", a trailing space or tab encoded, soft line breaks keeping every line at
// most 76 characters long.
std::vector<std::string> QuotedPrintable(const std::string& line);
// The text unchanged when it is plain ASCII, else as encoded words separated by spaces.
std::string EncodedWords(const std::string& text);
// "address" or "address (full name)", the name escaped or encoded for a comment.
std::string DisplayAddress(const MailAddress& a);
// A header line split before white space into lines of at most 76 characters where it
// can be; continuation lines begin with white space.
std::vector<std::string> FoldHeader(const std::string& line);

}  // namespace mimetext

class T_MailNews {
 public:
  T_MailNews() = default;
  virtual ~T_MailNews() = default;
  T_MailNews(const T_MailNews&) = delete;
  T_MailNews& operator=(const T_MailNews&) = delete;

  const MailAddress& From() const { return from_; }
  void SetFrom(std::string address, std::string name = "") { from_ = {std::move(address), std::move(name)}; }
  // A bare address.
  const std::string& Sender() const { return sender_; }
  void SetSender(std::string address) { sender_ = std::move(address); }
  const std::string& Subject() const { return subject_; }
  void SetSubject(std::string subject) { subject_ = std::move(subject); }
  std::vector<std::string>& Body() { return body_; }
  void SetBody(std::vector<std::string> lines) { body_ = std::move(lines); }
  // Extra header lines, each "Name: value".
  std::vector<std::string>& Header() { return header_; }
  void SetHeader(std::vector<std::string> lines) { header_ = std::move(lines); }
  const std::string& References() const { return references_; }
  void SetReferences(std::string references) { references_ = std::move(references); }
  // A bare address.
  const std::string& ReplyTo() const { return replyTo_; }
  void SetReplyTo(std::string address) { replyTo_ = std::move(address); }
  // The message lines as last built.
  const std::vector<std::string>& Lines() const { return lines_; }

  // Completes the message lines: header block, empty line, body.
  virtual void WriteHeaders();

 protected:
  // Raises EMailHeaderError for a field that cannot go into the header.
  void CheckFields() const;
  std::vector<std::string>& MessageLines() { return lines_; }

 private:
  MailAddress from_;
  std::string sender_;
  std::string subject_;
  std::vector<std::string> body_;
  std::vector<std::string> header_;
  std::vector<std::string> lines_;
  std::string references_;
  std::string replyTo_;
};

class T_Mail : public T_MailNews {
 public:
  T_SMTP* SMTP() const { return smtp_; }
  void SetSMTP(T_SMTP* smtp) { smtp_ = smtp; }
  std::vector<MailAddress>& Recipients() { return to_; }
  std::vector<MailAddress>& CC() { return cc_; }
  std::vector<MailAddress>& BCC() { return bcc_; }
  void SetRecipients(std::vector<MailAddress> list) { to_ = std::move(list); }
  void SetCC(std::vector<MailAddress> list) { cc_ = std::move(list); }
  void SetBCC(std::vector<MailAddress> list) { bcc_ = std::move(list); }
  // True: the header names no recipient (they stay in the envelope).
  bool Disclose_Receipts() const { return hideReceivers_; }
  void SetDisclose_Receipts(bool hide) { hideReceivers_ = hide; }

  // Builds the message and sends it through SMTP; nothing happens unless SMTP is set and
  // there is a sender and at least one To recipient.
  void WriteHeaders() override;

 private:
  T_SMTP* smtp_ = nullptr;
  std::vector<MailAddress> to_, cc_, bcc_;
  bool hideReceivers_ = false;
};

class T_Attachment {
 public:
  enum Encoding : uint8_t { kBase64 = 0, kQuotedPrintable = 1, kQuotedPrintableLines = 2 };

  const std::string& ContentType() const { return contentType_; }
  void SetContentType(std::string type) { contentType_ = std::move(type); }
  const std::string& Disposition() const { return disposition_; }
  void SetDisposition(std::string disposition) { disposition_ = std::move(disposition); }
  Encoding Kind() const { return kind_; }
  void SetKind(Encoding kind) { kind_ = kind; }
  const std::vector<uint8_t>& Data() const { return data_; }
  const std::vector<std::string>& Lines() const { return lines_; }
  // Copies the lines and writes them, each ended by CR LF, into the data.
  void SetLines(std::vector<std::string> lines);
  // Copies the bytes and clears the lines.
  void SetData(std::vector<uint8_t> data);

 private:
  std::string contentType_;
  std::string disposition_;
  std::vector<uint8_t> data_;
  std::vector<std::string> lines_;
  Encoding kind_ = kQuotedPrintableLines;
};

class T_Mime {
 public:
  T_Mime() = default;
  T_Mime(const T_Mime&) = delete;
  T_Mime& operator=(const T_Mime&) = delete;

  T_Mail* Mail() const { return mail_; }
  void SetMail(T_Mail* mail) { mail_ = mail; }
  const std::string& Boundary() const { return boundary_; }
  const std::vector<std::unique_ptr<T_Attachment>>& Attachments() const { return parts_; }

  // A base64 part with the file's bytes; raises EAttachmentFileError when it cannot be read.
  void AttachFile(const std::string& fileName);
  // A quoted-printable text/plain part; returns its index.
  int AttachText(std::vector<std::string> lines);
  // Ignored when index is out of range.
  void RemoveAttachment(int index);
  void RemoveAll() { parts_.clear(); }

  // Builds the multipart body into the mail and sends the mail; the mail's Header and
  // Body hold their earlier lines again afterwards, also when sending failed.
  void BuildBody();

 private:
  T_Mail* mail_ = nullptr;
  std::string boundary_;
  std::vector<std::unique_ptr<T_Attachment>> parts_;
};
