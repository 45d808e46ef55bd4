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

#include "framework/core/object.h"
#include "framework/core/streams.h"
#include "framework/core/strings.h"
#include "mail/smtp.h"

// One address of a mail with its full name (which may be empty).
struct TMailAddress {
  std::string Address;
  std::string FullName;
};

// The encoders and header texts of the composition.
namespace mimetext {

constexpr size_t kMaxLineLength = 76;
constexpr const char* kCharset = "windows-1252";

// The stream's bytes from its start, in lines of at most 60 characters (45 bytes each).
std::vector<std::string> Base64Lines(TStream& data);
// One text line quoted-printable encoded: "=", control characters and bytes of 128 or
// more as "=XX", a trailing space or tab encoded, soft line breaks keeping every line at
// most 76 characters long.
std::vector<std::string> QuotedPrintable(const std::string& line);
// The text unchanged when it is plain ASCII, else as encoded words separated by spaces.
std::string EncodedWords(const std::string& text);
// "address" or "address (full name)", the name escaped or encoded for a comment.
std::string DisplayAddress(const TMailAddress& a);
// A header line split before white space into lines of at most 76 characters where it
// can be; continuation lines begin with white space.
std::vector<std::string> FoldHeader(const std::string& line);

}  // namespace mimetext

class T_MailNews : public TComponent {
  FW_CLASS(T_MailNews, TComponent)

 public:
  explicit T_MailNews(TComponent* owner);

  const TMailAddress& From() const { return from_; }
  void SetFrom(TMailAddress from) { from_ = std::move(from); }
  // A bare address.
  const std::string& Sender() const { return sender_; }
  void SetSender(std::string address) { sender_ = std::move(address); }
  const std::string& Subject() const { return subject_; }
  void SetSubject(std::string subject) { subject_ = std::move(subject); }
  TStringList& Body() { return body_; }
  // Copies the lines; none clears the body.
  void SetBody(const TStrings* lines);
  // Extra header lines, each "Name: value".
  TStringList& Header() { return header_; }
  void SetHeader(const TStrings* lines);
  const std::string& References() const { return references_; }
  void SetReferences(std::string references) { references_ = std::move(references); }
  // A bare address.
  const std::string& ReplyTo() const { return replyTo_; }
  void SetReplyTo(std::string address) { replyTo_ = std::move(address); }
  // The message lines as last built.
  const TStringList& Lines() const { return lines_; }

  // Completes the message lines: header block, empty line, body.
  void CompleteMessage();

 protected:
  ~T_MailNews() override = default;
  // Raises EMailHeaderError for a field that cannot go into the header.
  void CheckFields() const;
  TStringList& MessageLines() { return lines_; }

 private:
  TMailAddress from_;
  std::string sender_;
  std::string subject_;
  TStringList body_;
  TStringList header_;
  TStringList lines_;
  std::string references_;
  std::string replyTo_;
};

class T_Mail : public T_MailNews {
  FW_CLASS(T_Mail, T_MailNews)

 public:
  explicit T_Mail(TComponent* owner);

  T_SMTP* SMTP() const { return smtp_.Get(); }
  void SetSMTP(T_SMTP* smtp) { smtp_ = smtp; }
  std::vector<TMailAddress>& Recipients() { return to_; }
  std::vector<TMailAddress>& CC() { return cc_; }
  std::vector<TMailAddress>& BCC() { return bcc_; }
  // True: the header names no recipient (they stay in the envelope). Published as
  // "Disclose_Receipts".
  bool HideReceivers() const { return hideReceivers_; }
  void SetHideReceivers(bool hide) { hideReceivers_ = hide; }

  // Builds the message and sends it through SMTP (nothing happens while SMTP is not set).
  // A mail without a sender address or without any recipient raises EMailHeaderError; a
  // mail with CC or BCC recipients only says "To: undisclosed-recipients:;".
  void Send();

 protected:
  ~T_Mail() override = default;

 private:
  TLink<T_SMTP> smtp_{this};
  std::vector<TMailAddress> to_, cc_, bcc_;
  bool hideReceivers_ = false;
};

class T_Attachment : public TObject {
  FW_CLASS(T_Attachment, TObject)

 public:
  enum Encoding : uint8_t { kBase64 = 0, kQuotedPrintable = 1, kQuotedPrintableLines = 2 };

  const std::string& ContentType() const { return contentType_; }
  void SetContentType(std::string type) { contentType_ = std::move(type); }
  const std::string& Disposition() const { return disposition_; }
  void SetDisposition(std::string disposition) { disposition_ = std::move(disposition); }
  Encoding Kind() const { return kind_; }
  void SetKind(Encoding kind) { kind_ = kind; }
  TMemoryStream& Data() { return data_; }
  const TStringList& Lines() const { return lines_; }
  // Copies the lines and writes them, each ended by CR LF, into the data.
  void SetLines(const TStrings& lines);
  // Copies the whole stream and clears the lines.
  void SetData(TStream& data);

 private:
  std::string contentType_;
  std::string disposition_;
  TMemoryStream data_;
  TStringList lines_;
  Encoding kind_ = kQuotedPrintableLines;
};

class T_Mime : public TComponent {
  FW_CLASS(T_Mime, TComponent)

 public:
  explicit T_Mime(TComponent* owner);

  T_Mail* Mail() const { return mail_.Get(); }
  void SetMail(T_Mail* mail) { mail_ = mail; }
  const std::string& Boundary() const { return boundary_; }
  int AttachmentCount() const { return int(parts_.size()); }
  T_Attachment& Attachment(int index) { return *parts_.at(size_t(index)); }

  // A base64 part with the file's bytes; raises EFOpenError when it cannot be opened.
  void AttachFile(const std::string& fileName);
  // A quoted-printable text/plain part; returns its index.
  int AttachText(const TStrings& lines);
  // Ignored when index is out of range.
  void RemoveAttachment(int index);
  void RemoveAll() { parts_.clear(); }

  // Builds the multipart body into the mail and sends the mail; the mail's Header and
  // Body hold their earlier lines again afterwards, also when sending failed.
  void BuildBody();

 protected:
  ~T_Mime() override = default;

 private:
  TLink<T_Mail> mail_{this};
  std::string boundary_;
  std::vector<std::unique_ptr<T_Attachment>> parts_;
};
