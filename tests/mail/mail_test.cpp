// Internet helpers, encoders and the composition of one mail, without a network: a
// client whose Action only records what it was given stands in for the SMTP dialogue.
#include <gtest/gtest.h>

#include <algorithm>
#include <cstring>
#include <string>
#include <vector>

#include "mail/ip_misc.h"
#include "mail/mime.h"

namespace {

TEST(IpMisc, NthAddressPicksBareAddresses) {
  struct Case {
    const char* text;
    int n;
    const char* want;
  } cases[] = {
      {"Jane Doe <jane@x.test>", 1, "jane@x.test"},
      {"Jane Doe <jane@x.test>", 2, ""},
      {"a@x.test (Full Name)", 1, "a@x.test"},
      {"\"a@x.test\", (b@y.test);c@z.test", 2, "b@y.test"},
      {"\"a@x.test\", (b@y.test);c@z.test", 3, "c@z.test"},
      {"no address here", 1, ""},
  };
  for (const Case& c : cases) EXPECT_EQ(ipmisc::NthAddress(c.text, c.n), c.want) << c.text;
}

TEST(IpMisc, ZoneTextAndBias) {
  EXPECT_EQ(ipmisc::ZoneText(0), "GMT");
  EXPECT_EQ(ipmisc::ZoneText(-60), "+0100");
  EXPECT_EQ(ipmisc::ZoneText(-330), "+0530");
  EXPECT_EQ(ipmisc::ZoneText(300), "-0500");
  using ipmisc::ZoneAnswer;
  EXPECT_EQ(ipmisc::BiasFromZoneInfo(ZoneAnswer::Standard, -60, 0, -60), -60);
  EXPECT_EQ(ipmisc::BiasFromZoneInfo(ZoneAnswer::Daylight, -60, 0, -60), -120);
  // A zone without daylight saving answers "unknown" but keeps its offset.
  EXPECT_EQ(ipmisc::BiasFromZoneInfo(ZoneAnswer::Unknown, -330, 0, 0), -330);
  EXPECT_EQ(ipmisc::BiasFromZoneInfo(ZoneAnswer::Invalid, -330, 0, 0), 0);
}

TEST(IpMisc, Rfc822DateAndPaths) {
  platform::LocalTime t;
  t.year = 2026, t.month = 12, t.day = 6, t.hour = 9, t.minute = 5, t.second = 7;
  EXPECT_EQ(ipmisc::Rfc822Date(t, -60), "Sun, 6 Dec 2026 09:05:07 +0100");
  t.year = 2000, t.month = 2, t.day = 29, t.hour = 23;
  EXPECT_EQ(ipmisc::Rfc822Date(t, 0), "Tue, 29 Feb 2000 23:05:07 GMT");
  t = {};
  t.year = 1970;
  EXPECT_EQ(ipmisc::SecondsSince1970(t), 0);
  EXPECT_EQ(ipmisc::FileNameOfPath("C:\\dir\\patch.exe"), "patch.exe");
  EXPECT_EQ(ipmisc::FileNameOfPath("C:patch.exe"), "patch.exe");
  EXPECT_EQ(ipmisc::FileNameOfPath("dir/patch.utp"), "patch.utp");
  const uint8_t bytes[4] = {192, 168, 1, 20};
  uint32_t address;
  std::memcpy(&address, bytes, 4);
  EXPECT_EQ(ipmisc::DottedAddress(address), "192.168.1.20");
  EXPECT_EQ(ipmisc::Resolve("192.168.1.20"), address);
  EXPECT_EQ(ipmisc::ZeroPad(7, 3), "007");
}

TEST(Encoders, Base64LineLengths) {
  struct Case {
    size_t bytes;
    std::vector<size_t> lengths;
  } cases[] = {{0, {}}, {1, {4}}, {45, {60}}, {46, {60, 4}}, {90, {60, 60}}, {100, {60, 60, 16}}};
  for (const Case& c : cases) {
    std::vector<uint8_t> data(c.bytes, 0xA5);
    std::vector<size_t> got;
    for (const std::string& l : mimetext::Base64Lines(data)) got.push_back(l.size());
    EXPECT_EQ(got, c.lengths) << c.bytes << " bytes";
  }
  EXPECT_EQ(mimetext::Base64Lines({'M', 'a', 'n', 'M'}), (std::vector<std::string>{"TWFuTQ=="}));
  std::vector<uint8_t> all;
  for (int i = 0; i < 256; ++i) all.push_back(uint8_t(i));
  EXPECT_EQ(mimetext::Base64Lines(all).back(), "4eLj5OXm5+jp6uvs7e7v8PHy8/T19vf4+fr7/P3+/w==");
}

// Undoes quoted-printable encoding of a run of lines belonging to one text line.
std::string DecodeQp(const std::vector<std::string>& lines) {
  std::string out;
  for (size_t i = 0; i < lines.size(); ++i) {
    std::string l = lines[i];
    bool soft = !l.empty() && l.back() == '=';
    if (soft) l.pop_back();
    for (size_t k = 0; k < l.size(); ++k) {
      if (l[k] == '=') {
        out += char(std::stoi(l.substr(k + 1, 2), nullptr, 16));
        k += 2;
      } else {
        out += l[k];
      }
    }
    EXPECT_TRUE(soft || i + 1 == lines.size()) << "only the last line may end hard";
  }
  return out;
}

TEST(Encoders, QuotedPrintable) {
  using V = std::vector<std::string>;
  EXPECT_EQ(mimetext::QuotedPrintable("a=b\xE9"), V{"a=3Db=E9"});
  EXPECT_EQ(mimetext::QuotedPrintable("ends in space "), V{"ends in space=20"});
  EXPECT_EQ(mimetext::QuotedPrintable("tab\tin\t"), V{"tab\tin=09"});
  EXPECT_EQ(mimetext::QuotedPrintable("cr\rlf\n"), V{"cr=0Dlf=0A"});
  EXPECT_EQ(mimetext::QuotedPrintable(""), V{""});
  EXPECT_EQ(mimetext::QuotedPrintable(std::string(76, 'x')), V{std::string(76, 'x')});
  EXPECT_EQ(mimetext::QuotedPrintable(std::string(77, 'x')),
            (V{std::string(75, 'x') + "=", "xx"}));
  const std::string texts[] = {std::string(200, 'y'), std::string(100, '\xE9'),
                               std::string(74, 'z') + "\xE9\xE9" + std::string(80, ' '),
                               "." + std::string(150, '=')};
  for (const std::string& text : texts) {
    V lines = mimetext::QuotedPrintable(text);
    for (const std::string& l : lines) {
      EXPECT_LE(l.size(), 76u);
      EXPECT_TRUE(l.empty() || (l.back() != ' ' && l.back() != '\t'));
    }
    EXPECT_EQ(DecodeQp(lines), text);
  }
}

TEST(Encoders, EncodedWordsAndFolding) {
  EXPECT_EQ(mimetext::EncodedWords("Plain subject"), "Plain subject");
  EXPECT_EQ(mimetext::EncodedWords("f\xFCr a=b?"), "=?windows-1252?Q?f=FCr_a=3Db=3F?=");
  std::string words = mimetext::EncodedWords(std::string(60, '\xE4'));
  for (const std::string& w : mimetext::FoldHeader("Subject: " + words)) EXPECT_LE(w.size(), 76u);
  EXPECT_EQ(mimetext::DisplayAddress({"a@x.test", ""}), "a@x.test");
  EXPECT_EQ(mimetext::DisplayAddress({"a@x.test", "Doe (Jr) \\"}), "a@x.test (Doe \\(Jr\\) \\\\)");
  EXPECT_EQ(mimetext::DisplayAddress({"a@x.test", "J\xF6rg"}), "a@x.test (=?windows-1252?Q?J=F6rg?=)");

  std::string list = "To: ";
  for (int i = 0; i < 12; ++i) list += (i ? ", " : "") + std::string("person") + std::to_string(i) + "@example.test";
  std::vector<std::string> folded = mimetext::FoldHeader(list);
  ASSERT_GT(folded.size(), 2u);
  std::string unfolded;
  for (size_t i = 0; i < folded.size(); ++i) {
    EXPECT_LE(folded[i].size(), 76u);
    if (i) {
      EXPECT_EQ(folded[i][0], ' ');
    }
    unfolded += folded[i];
  }
  EXPECT_EQ(unfolded, list);
  const std::string longWord = "Subject: " + std::string(90, 'w') + " tail";
  EXPECT_EQ(mimetext::FoldHeader(longWord),
            (std::vector<std::string>{"Subject: " + std::string(90, 'w'), " tail"}));
}

// Records the message and envelope instead of talking to a server.
class RecordingSmtp : public T_SMTP {
 public:
  void Action() override {
    ++calls;
    sender = Sender();
    recipients = Recipients();
    message = Message();
  }
  int calls = 0;
  std::string sender;
  std::vector<std::string> recipients, message;
};

struct Composed {
  std::vector<std::string> header;  // unfolded header lines
  std::vector<std::string> message;
};

Composed Split(const std::vector<std::string>& message) {
  Composed c{{}, message};
  for (const std::string& line : message) {
    if (line.empty()) break;
    if (line[0] == ' ' && !c.header.empty())
      c.header.back() += line;
    else
      c.header.push_back(line);
  }
  return c;
}

std::vector<std::string> Named(const Composed& c, const std::string& name) {
  std::vector<std::string> out;
  for (const std::string& h : c.header)
    if (h.compare(0, name.size() + 1, name + ":") == 0) out.push_back(h);
  return out;
}

class Composition : public ::testing::Test {
 protected:
  void SetUp() override {
    mail.SetSMTP(&smtp);
    mail.SetFrom("me@x.test", "Me Myself");
    mail.SetSubject("Patch");
    mail.SetRecipients({{"one@y.test", "One"}, {"two@y.test", ""}});
    mail.SetCC({{"three@y.test", "Three"}});
    mail.SetBCC({{"four@y.test", "Four"}});
    mail.SetHeader({"X-Mailer: test"});
    mime.SetMail(&mail);
    mime.RemoveAll();
    mime.AttachText({"Hello", ".", "bye"});
  }
  RecordingSmtp smtp;
  T_Mail mail;
  T_Mime mime;
};

TEST_F(Composition, HeaderBlockAndEnvelope) {
  mail.SetReplyTo("reply@x.test");
  mime.BuildBody();
  ASSERT_EQ(smtp.calls, 1);
  Composed c = Split(smtp.message);
  std::vector<std::string> names;
  for (const std::string& h : c.header) names.push_back(h.substr(0, h.find(':')));
  EXPECT_EQ(names, (std::vector<std::string>{"From", "Message-ID", "Date", "Subject", "To", "CC",
                                             "Reply-To", "X-Mailer", "MIME-Version",
                                             "Content-Type", "Content-Transfer-Encoding"}));
  EXPECT_EQ(c.header[0], "From: me@x.test (Me Myself)");
  EXPECT_EQ(Named(c, "To")[0], "To: one@y.test (One), two@y.test");
  EXPECT_EQ(Named(c, "CC")[0], "CC: three@y.test (Three)");
  EXPECT_EQ(smtp.sender, "me@x.test");
  EXPECT_EQ(smtp.recipients,
            (std::vector<std::string>{"one@y.test", "two@y.test", "three@y.test", "four@y.test"}));
  // The user's lines are not changed by the composition; dot-stuffing is the client's.
  EXPECT_NE(std::find(smtp.message.begin(), smtp.message.end(), "."), smtp.message.end());
  EXPECT_NE(std::find(smtp.message.begin(), smtp.message.end(),
                      "Content-Type: text/plain; charset=windows-1252"),
            smtp.message.end());
  EXPECT_EQ(smtp.message.back(), "--" + mime.Boundary() + "--");
  // The envelope is taken back, the mail's own lists are as they were.
  EXPECT_TRUE(smtp.Sender().empty());
  EXPECT_EQ(mail.Header(), (std::vector<std::string>{"X-Mailer: test"}));
}

TEST_F(Composition, HiddenReceiversStayInTheEnvelopeOnly) {
  mail.SetDisclose_Receipts(true);
  mime.BuildBody();
  Composed c = Split(smtp.message);
  EXPECT_EQ(Named(c, "To"), (std::vector<std::string>{"To: undisclosed-recipients:;"}));
  EXPECT_TRUE(Named(c, "CC").empty());
  for (const std::string& h : c.header) EXPECT_EQ(h.find("@y.test"), std::string::npos) << h;
  EXPECT_EQ(smtp.recipients.size(), 4u);
}

TEST_F(Composition, ManyRecipientsGiveOneFoldedToHeader) {
  std::vector<MailAddress> many;
  for (int i = 0; i < 20; ++i) many.push_back({"r" + std::to_string(i) + "@y.test", "Reader " + std::to_string(i)});
  mail.SetRecipients(many);
  mime.BuildBody();
  for (const std::string& line : smtp.message) EXPECT_LE(line.size(), 76u) << line;
  Composed c = Split(smtp.message);
  ASSERT_EQ(Named(c, "To").size(), 1u);
  EXPECT_NE(Named(c, "To")[0].find("r19@y.test (Reader 19)"), std::string::npos);
}

TEST_F(Composition, BodyBecomesTheTextPartAndIsRestored) {
  mime.RemoveAll();
  mail.SetBody({"first", "second"});
  mime.BuildBody();
  EXPECT_NE(std::find(smtp.message.begin(), smtp.message.end(), "--" + mime.Boundary()),
            smtp.message.end());
  EXPECT_NE(std::find(smtp.message.begin(), smtp.message.end(), "second"), smtp.message.end());
  EXPECT_EQ(mail.Body(), (std::vector<std::string>{"first", "second"}));
  EXPECT_TRUE(mime.Attachments().empty());
}

TEST_F(Composition, MessageIdAndBoundaryDifferForEveryMail) {
  mime.BuildBody();
  Composed first = Split(smtp.message);
  std::string boundary = mime.Boundary();
  mime.BuildBody();
  Composed second = Split(smtp.message);
  EXPECT_NE(boundary, mime.Boundary());
  EXPECT_NE(Named(first, "Message-ID"), Named(second, "Message-ID"));
  EXPECT_EQ(Named(second, "Content-Type").size(), 1u);
}

TEST_F(Composition, NonAsciiSubjectAndNameAreEncoded) {
  mail.SetSubject("Patch f\xFCr Version 2");
  mail.SetFrom("me@x.test", "J\xF6rg");
  mime.BuildBody();
  Composed c = Split(smtp.message);
  EXPECT_EQ(Named(c, "Subject")[0], "Subject: =?windows-1252?Q?Patch_f=FCr_Version_2?=");
  EXPECT_EQ(c.header[0], "From: me@x.test (=?windows-1252?Q?J=F6rg?=)");
}

TEST_F(Composition, InjectionIsRefusedBeforeAnythingIsSent) {
  struct Case {
    const char* what;
    void (*spoil)(T_Mail&);
  } cases[] = {
      {"subject CR LF", [](T_Mail& m) { m.SetSubject("hi\r\nBcc: victim@z.test"); }},
      {"subject LF", [](T_Mail& m) { m.SetSubject("hi\nthere"); }},
      {"subject NUL", [](T_Mail& m) { m.SetSubject(std::string("hi\0there", 8)); }},
      {"subject DEL", [](T_Mail& m) { m.SetSubject("hi\x7F"); }},
      {"from name LF", [](T_Mail& m) { m.SetFrom("me@x.test", "Me\nX: y"); }},
      {"from address space", [](T_Mail& m) { m.SetFrom("me @x.test"); }},
      {"to address bracket", [](T_Mail& m) { m.Recipients()[0].address = "one@y.test>"; }},
      {"to address angle", [](T_Mail& m) { m.Recipients()[0].address = "<one@y.test"; }},
      {"to address CR", [](T_Mail& m) { m.Recipients()[0].address = "one@y.test\rRSET"; }},
      {"empty cc address", [](T_Mail& m) { m.CC()[0].address = ""; }},
      {"bcc address tab", [](T_Mail& m) { m.BCC()[0].address = "four@y.test\t"; }},
      {"cc name CR", [](T_Mail& m) { m.CC()[0].name = "Three\r"; }},
      {"reply-to LF", [](T_Mail& m) { m.SetReplyTo("r@x.test\nBcc: z@z.test"); }},
      {"sender space", [](T_Mail& m) { m.SetSender("s @x.test"); }},
      {"references CR", [](T_Mail& m) { m.SetReferences("<a@b>\r\n"); }},
      {"extra header LF", [](T_Mail& m) { m.Header().push_back("Organization: a\nX: b"); }},
  };
  for (const Case& c : cases) {
    SetUp();
    c.spoil(mail);
    const std::vector<std::string> header = mail.Header();
    EXPECT_THROW(mime.BuildBody(), EMailHeaderError) << c.what;
    EXPECT_EQ(smtp.calls, 0) << c.what;
    EXPECT_EQ(mail.Header(), header) << c.what;
  }
}

TEST(SmtpClient, RefusesBadEnvelopeAndBlankHostBeforeConnecting) {
  T_SMTP smtp;
  smtp.SetPort(1);  // nothing listens there: a connection attempt would fail differently
  smtp.SetHostname("127.0.0.1");
  smtp.SetMessage({"Subject: x", "", "text"});
  smtp.SetSender("me@x.test");
  smtp.SetRecipients({"you@y.test>\r\nRSET"});
  EXPECT_THROW(smtp.Action(), EMailHeaderError);
  smtp.SetRecipients({"you@y.test"});
  smtp.SetMessage({"line\r\n.\r\nMAIL FROM:<x@z.test>"});
  EXPECT_THROW(smtp.Action(), EMailHeaderError);
  smtp.SetMessage({"text"});
  smtp.SetHostname("  ");
  try {
    smtp.Action();
    ADD_FAILURE() << "a blank host was accepted";
  } catch (const ETcpIpError& e) {
    EXPECT_EQ(e.Message(), "No host name given");
  }
  smtp.SetHostname("127.0.0.1");
  try {
    smtp.Action();
    ADD_FAILURE() << "a refused connection went unnoticed";
  } catch (const ESocketError& e) {
    EXPECT_NE(e.Message().find("Error creating socket for host 127.0.0.1 port 1"), std::string::npos)
        << e.Message();
  }
}

TEST(Attachments, FileAndMissingFile) {
  T_Mime mime;
  EXPECT_THROW(mime.AttachFile("no-such-dir/no-such-file.bin"), EAttachmentFileError);
  EXPECT_TRUE(mime.Attachments().empty());
  std::string name;
  ASSERT_TRUE(platform::CreateUniqueFile(platform::TempDirectory(), "mailtest", name));
  {
    platform::File f;
    ASSERT_TRUE(f.Open(name, platform::OpenMode::Write));
    std::vector<uint8_t> bytes(46, 7);
    ASSERT_EQ(f.Write(bytes.data(), bytes.size()), bytes.size());
    ASSERT_TRUE(f.Close());
  }
  mime.AttachFile(name);
  platform::RemoveFile(name);
  ASSERT_EQ(mime.Attachments().size(), 1u);
  const T_Attachment& a = *mime.Attachments()[0];
  EXPECT_EQ(a.ContentType(), "application/octet-stream");
  EXPECT_EQ(a.Disposition(), "attachment; filename=\"" + ipmisc::FileNameOfPath(name) + "\"");
  EXPECT_EQ(mimetext::Base64Lines(a.Data()).size(), 2u);
  mime.RemoveAttachment(5);
  EXPECT_EQ(mime.Attachments().size(), 1u);
}

}  // namespace
