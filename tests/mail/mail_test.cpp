// Internet helpers, encoders and the composition of one mail, without a network: a
// client whose Action only records what it was given stands in for the SMTP dialogue.
// The dialogue itself is tested against real servers by smtp_run.py.
#include <gtest/gtest.h>

#include <algorithm>
#include <cstring>
#include <string>
#include <vector>

#include "framework/core/sysutils.h"
#include "mail/ip_misc.h"
#include "mail/mime.h"
#include "tests/mail/loopback_server.h"
#include "tests/support/scratch_dir.h"

namespace {

using Lines = std::vector<std::string>;

Lines ToVector(const TStrings& list) {
  Lines out;
  for (int i = 0; i < list.Count(); ++i) out.push_back(list[i]);
  return out;
}

void SetLines(TStrings& list, const Lines& lines) {
  list.Clear();
  for (const std::string& l : lines) list.Add(l);
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

TEST(IpMisc, DatesAddressesAndTokens) {
  platform::LocalTime t;
  t.year = 2026, t.month = 12, t.day = 6, t.hour = 9, t.minute = 5, t.second = 7;
  EXPECT_EQ(ipmisc::Rfc822Date(t, -60), "Sun, 6 Dec 2026 09:05:07 +0100");
  t.year = 2000, t.month = 2, t.day = 29, t.hour = 23;
  EXPECT_EQ(ipmisc::Rfc822Date(t, 0), "Tue, 29 Feb 2000 23:05:07 GMT");
  EXPECT_EQ(ipmisc::SecondsSince1970(t), 951865507);
  const uint8_t bytes[4] = {192, 168, 1, 20};
  uint32_t address;
  std::memcpy(&address, bytes, 4);
  EXPECT_EQ(ipmisc::DottedAddress(address), "192.168.1.20");
  EXPECT_EQ(ipmisc::Resolve("192.168.1.20"), address);
  EXPECT_EQ(ipmisc::ZeroPad(7, 3), "007");
  EXPECT_TRUE(tcpip_ready());
  EXPECT_NE(ipmisc::UniqueToken(), ipmisc::UniqueToken());
}

TEST(IpMisc, VisibleText) {
  struct Case {
    std::string text;
    size_t max;
    std::string shown;
  } cases[] = {
      {"go away", 200, "go away"},
      {"red\x1B[31m bell\x07", 200, "red\\x1B[31m bell\\x07"},
      {std::string("cut\0here", 8), 200, "cut\\x00here"},
      {"\r\n\t\x7F\x9B\xFF", 200, "\\x0D\\x0A\\x09\\x7F\\x9B\\xFF"},
      {"abcdef", 4, "abcd..."},
      {"abcd", 4, "abcd"},
      {"ab\x01", 4, "ab..."},
  };
  for (const Case& c : cases) EXPECT_EQ(ipmisc::VisibleText(c.text, c.max), c.shown) << c.shown;
}

TEST(Encoders, Base64LineLengths) {
  struct Case {
    size_t bytes;
    std::vector<size_t> lengths;
  } cases[] = {{0, {}}, {1, {4}}, {45, {60}}, {46, {60, 4}}, {90, {60, 60}}, {100, {60, 60, 16}}};
  for (const Case& c : cases) {
    TMemoryStream data;
    std::vector<uint8_t> bytes(c.bytes, 0xA5);
    if (!bytes.empty()) data.WriteBuffer(bytes.data(), int32_t(bytes.size()));
    std::vector<size_t> got;
    for (const std::string& l : mimetext::Base64Lines(data)) got.push_back(l.size());
    EXPECT_EQ(got, c.lengths) << c.bytes << " bytes";
  }
  TMemoryStream all;
  for (int i = 0; i < 256; ++i) {
    uint8_t b = uint8_t(i);
    all.WriteBuffer(&b, 1);
  }
  Lines lines = mimetext::Base64Lines(all);
  EXPECT_EQ(lines.front(), "AAECAwQFBgcICQoLDA0ODxAREhMUFRYXGBkaGxwdHh8gISIjJCUmJygpKiss");
  EXPECT_EQ(lines.back(), "4eLj5OXm5+jp6uvs7e7v8PHy8/T19vf4+fr7/P3+/w==");
}

// Undoes quoted-printable encoding of a run of lines belonging to one text line.
std::string DecodeQp(const Lines& lines) {
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
  struct Case {
    std::string text;
    Lines want;
  } cases[] = {
      {"a=b\xE9", {"a=3Db=E9"}},
      {"ends in space ", {"ends in space=20"}},
      {"tab\tin\t", {"tab\tin=09"}},
      {"cr\rlf\nnul" + std::string(1, '\0'), {"cr=0Dlf=0Anul=00"}},
      {"", {""}},
      {std::string(76, 'x'), {std::string(76, 'x')}},
      {std::string(77, 'x'), {std::string(75, 'x') + "=", "xx"}},
      {std::string(74, 'x') + "\xE9", {std::string(74, 'x') + "=", "=E9"}},
  };
  for (const Case& c : cases) EXPECT_EQ(mimetext::QuotedPrintable(c.text), c.want) << c.text;
  const std::string texts[] = {std::string(200, 'y'), std::string(100, '\xE9'),
                               std::string(74, 'z') + "\xE9\xE9" + std::string(80, ' '),
                               "." + std::string(150, '='), std::string(300, ' ') + "end"};
  for (const std::string& text : texts) {
    Lines lines = mimetext::QuotedPrintable(text);
    for (const std::string& l : lines) {
      EXPECT_LE(l.size(), 76u);
      EXPECT_TRUE(l.empty() || (l.back() != ' ' && l.back() != '\t'));
    }
    EXPECT_EQ(DecodeQp(lines), text);
  }
}

TEST(Encoders, EncodedWordsAndDisplayAddresses) {
  EXPECT_EQ(mimetext::EncodedWords("Plain subject"), "Plain subject");
  EXPECT_EQ(mimetext::EncodedWords("f\xFCr a=b?_"), "=?windows-1252?Q?f=FCr_a=3Db=3F=5F?=");
  // Long texts become several words, each short enough for a folded line.
  std::string words = mimetext::EncodedWords(std::string(60, '\xE4'));
  EXPECT_GT(std::count(words.begin(), words.end(), ' '), 1);
  for (const std::string& w : mimetext::FoldHeader("Subject: " + words)) EXPECT_LE(w.size(), 76u);
  EXPECT_EQ(mimetext::DisplayAddress({"a@x.test", ""}), "a@x.test");
  EXPECT_EQ(mimetext::DisplayAddress({"a@x.test", "Doe (Jr) \\"}), "a@x.test (Doe \\(Jr\\) \\\\)");
  EXPECT_EQ(mimetext::DisplayAddress({"a@x.test", "J\xF6rg"}), "a@x.test (=?windows-1252?Q?J=F6rg?=)");
}

TEST(Encoders, HeaderFolding) {
  std::string list = "To: ";
  for (int i = 0; i < 12; ++i) list += (i ? ", " : "") + std::string("person") + std::to_string(i) + "@example.test";
  struct Case {
    std::string line;
    size_t minLines;
  } cases[] = {
      {"Subject: short", 1},
      {"Subject: " + std::string(67, 's'), 1},  // exactly 76
      {list, 3},
      {"Subject: " + std::string(90, 'w') + " tail", 2},       // a word longer than a line
      {"X-Long: " + std::string(100, 'v'), 1},                  // nowhere to break
      {"Subject:" + std::string(80, ' ') + "x", 1},            // only blanks before the value
      {"Subject: a" + std::string(80, ' ') + "b c", 2},
  };
  for (const Case& c : cases) {
    Lines folded = mimetext::FoldHeader(c.line);
    EXPECT_GE(folded.size(), c.minLines) << c.line;
    std::string unfolded;
    for (size_t i = 0; i < folded.size(); ++i) {
      const std::string& f = folded[i];
      // A line may only run long when it holds a single word (after the field name).
      if (f.size() > 76) {
        const std::string words = i ? f : f.substr(f.find(':') + 1);
        EXPECT_EQ(words.find_first_of(" \t", words.find_first_not_of(" \t")), std::string::npos)
            << "line " << i << " of " << c.line;
      }
      if (i) {
        EXPECT_TRUE(f[0] == ' ' || f[0] == '\t') << c.line;
        EXPECT_NE(f.find_first_not_of(" \t"), std::string::npos) << "blank continuation";
      }
      unfolded += f;
    }
    EXPECT_EQ(unfolded, c.line);
  }
  EXPECT_EQ(mimetext::FoldHeader("Subject: " + std::string(90, 'w') + " tail"),
            (Lines{"Subject: " + std::string(90, 'w'), " tail"}));
}

TEST(SmtpClient, DotStuffing) {
  struct Case {
    const char* line;
    const char* wire;
  } cases[] = {
      {".", ".."}, {".hidden", "..hidden"}, {"..", "..."}, {"", ""},
      {"plain", "plain"}, {" .", " ."}, {"a.", "a."},
  };
  for (const Case& c : cases) EXPECT_EQ(T_SMTP::DataLine(c.line), c.wire) << c.line;
}

TEST(SmtpClient, RefusesBadInputBeforeConnecting) {
  TOwned<T_SMTP> smtp(new T_SMTP(nullptr));
  std::vector<std::string> trace;
  smtp->OnTrace = TTraceEvent(
      [&](TObject*, const std::string& text, int kind) { trace.push_back(IntToStr(kind) + " " + text); });
  smtp->SetPort(1);
  smtp->SetHostname("127.0.0.1");
  SetLines(smtp->Message(), {"Subject: x", "", "text"});
  smtp->SetSender("me@x.test");
  SetLines(smtp->Recipients(), {"you@y.test>\r\nRSET"});
  EXPECT_THROW(smtp->Action(), EMailHeaderError);
  SetLines(smtp->Recipients(), {"you@y.test,victim@z.test"});
  try {
    smtp->Action();
    ADD_FAILURE() << "a list in one recipient was accepted";
  } catch (const EMailHeaderError& e) {
    EXPECT_EQ(e.Message(), "The recipient address \"you@y.test,victim@z.test\" contains \",\" "
                           "(one bare address is expected); the mail was not sent.");
  }
  SetLines(smtp->Recipients(), {"you@y.test"});
  smtp->SetSender("me@x.test> SIZE=1");
  EXPECT_THROW(smtp->Action(), EMailHeaderError);
  smtp->SetSender("me@x.test");
  SetLines(smtp->Message(), {"line\r\n.\r\nMAIL FROM:<x@z.test>"});
  EXPECT_THROW(smtp->Action(), EMailHeaderError);
  EXPECT_TRUE(trace.empty()) << "something happened before the refusal: " << trace[0];

  SetLines(smtp->Message(), {"text"});
  for (const char* blank : {"", "  "}) {
    smtp->SetHostname(blank);
    try {
      smtp->Action();
      ADD_FAILURE() << "a blank host was accepted";
    } catch (const ETcpIpError& e) {
      EXPECT_EQ(e.Message(), "No host name given");
    }
  }
}

TEST(SmtpClient, RefusedConnectionNamesHostPortAndCause) {
  TOwned<T_SMTP> smtp(new T_SMTP(nullptr));
  std::vector<std::string> trace;
  smtp->OnTrace = TTraceEvent(
      [&](TObject*, const std::string& text, int kind) { trace.push_back(IntToStr(kind) + " " + text); });
  smtp->SetHostname("127.0.0.1");
  smtp->SetPort(1);  // nothing listens there
  SetLines(smtp->Message(), {"text"});
  SetLines(smtp->Recipients(), {"you@y.test"});
  smtp->SetSender("me@x.test");
  try {
    smtp->Action();
    ADD_FAILURE() << "a refused connection went unnoticed";
  } catch (const ESocketError& e) {
    EXPECT_EQ(e.Message(), "Error creating socket for host 127.0.0.1 port 1: connection refused");
    EXPECT_NE(e.Code(), 0);
  }
  EXPECT_EQ(trace, (Lines{"3 Connecting", "2 Failed to open output socket 1 to host 127.0.0.1"}));
}

TEST(TcpIpClient, ActionReadsUntilTheServerHangsUp) {
  std::string payload;
  for (int i = 0; i < 5000; ++i) payload += "line " + std::to_string(i) + "\r\n";
  mailtest::LoopbackServer server(payload);
  ASSERT_TRUE(server.Ok()) << "the loopback server could not listen";
  TOwned<T_TcpIp> client(new T_TcpIp(nullptr));
  Lines trace;
  client->OnTrace = TTraceEvent(
      [&](TObject*, const std::string& text, int kind) { trace.push_back(IntToStr(kind) + " " + text); });
  client->SetHostname("127.0.0.1");
  client->SetPort(server.Port());
  client->SetTimeout(20000);
  client->Action();
  TMemoryStream& data = client->Data();
  EXPECT_EQ(data.Position(), 0);
  ASSERT_EQ(data.Size(), int64_t(payload.size()));
  EXPECT_EQ(std::string(reinterpret_cast<const char*>(data.Memory()), payload.size()), payload);
  ASSERT_FALSE(trace.empty());
  EXPECT_EQ(trace[0].rfind("2 Opened output socket " + std::to_string(server.Port()) +
                               " to host 127.0.0.1 successfully; ID ", 0),
            0u)
      << trace[0];
  EXPECT_TRUE(client->Eof());
}

// Records the message and envelope instead of talking to a server.
class RecordingSmtp : public T_SMTP {
 public:
  using T_SMTP::T_SMTP;
  void Action() override {
    ++calls;
    sender = Sender();
    recipients = ToVector(Recipients());
    message = ToVector(Message());
  }
  int calls = 0;
  std::string sender;
  Lines recipients, message;
};

struct Composed {
  Lines header;  // unfolded header lines
};

Composed Split(const Lines& message) {
  Composed c;
  for (const std::string& line : message) {
    if (line.empty()) break;
    if (line[0] == ' ' && !c.header.empty())
      c.header.back() += line;
    else
      c.header.push_back(line);
  }
  return c;
}

Lines Named(const Composed& c, const std::string& name) {
  Lines out;
  for (const std::string& h : c.header)
    if (h.compare(0, name.size() + 1, name + ":") == 0) out.push_back(h);
  return out;
}

bool Contains(const Lines& lines, const std::string& line) {
  return std::find(lines.begin(), lines.end(), line) != lines.end();
}

class Composition : public ::testing::Test {
 protected:
  void SetUp() override {
    root.reset(new TComponent(nullptr));
    smtp = new RecordingSmtp(root.get());
    mail = new T_Mail(root.get());
    mime = new T_Mime(root.get());
    mail->SetSMTP(smtp);
    mail->SetFrom({"me@x.test", "Me Myself"});
    mail->SetSubject("Patch");
    mail->Recipients() = {{"one@y.test", "One"}, {"two@y.test", ""}};
    mail->CC() = {{"three@y.test", "Three"}};
    mail->BCC() = {{"four@y.test", "Four"}};
    SetLines(mail->Header(), {"X-Mailer: test"});
    mime->SetMail(mail);
    TStringList text;
    SetLines(text, {"Hello", ".", ".hidden", "bye"});
    mime->AttachText(text);
  }
  TOwned<TComponent> root;
  RecordingSmtp* smtp = nullptr;
  T_Mail* mail = nullptr;
  T_Mime* mime = nullptr;
};

TEST_F(Composition, HeaderBlockAndEnvelope) {
  mail->SetReplyTo("reply@x.test");
  mime->BuildBody();
  ASSERT_EQ(smtp->calls, 1);
  Composed c = Split(smtp->message);
  Lines names;
  for (const std::string& h : c.header) names.push_back(h.substr(0, h.find(':')));
  EXPECT_EQ(names, (Lines{"From", "Message-ID", "Date", "Subject", "To", "CC", "Reply-To",
                          "X-Mailer", "MIME-Version", "Content-Type",
                          "Content-Transfer-Encoding"}));
  EXPECT_EQ(c.header[0], "From: me@x.test (Me Myself)");
  EXPECT_EQ(Named(c, "To")[0], "To: one@y.test (One), two@y.test");
  EXPECT_EQ(Named(c, "CC")[0], "CC: three@y.test (Three)");
  EXPECT_EQ(Named(c, "Content-Type")[0],
            "Content-Type: multipart/mixed; boundary=\"" + mime->Boundary() + "\"");
  EXPECT_EQ(smtp->sender, "me@x.test");
  EXPECT_EQ(smtp->recipients, (Lines{"one@y.test", "two@y.test", "three@y.test", "four@y.test"}));
  // The user's lines are not changed by the composition; dot-stuffing is the client's.
  EXPECT_TRUE(Contains(smtp->message, "."));
  EXPECT_TRUE(Contains(smtp->message, ".hidden"));
  EXPECT_TRUE(Contains(smtp->message, "Content-Type: text/plain; charset=windows-1252"));
  EXPECT_TRUE(Contains(smtp->message, "Content-Transfer-Encoding: quoted-printable"));
  EXPECT_EQ(smtp->message.back(), "--" + mime->Boundary() + "--");
  // The envelope is taken back; the mail's own lists are as they were.
  EXPECT_TRUE(smtp->Sender().empty());
  EXPECT_EQ(smtp->Recipients().Count(), 0);
  EXPECT_EQ(ToVector(mail->Header()), (Lines{"X-Mailer: test"}));
  EXPECT_EQ(mime->AttachmentCount(), 1);
}

TEST_F(Composition, EnvelopeUsesTheRecordsBareAddresses) {
  // Names that look like addresses must not reach the envelope.
  mail->Recipients() = {{"one@y.test", "Old <old@z.test>, other@z.test"}};
  mail->CC().clear();
  mail->BCC() = {{"four@y.test", "x@z.test; y@z.test"}};
  mail->SetFrom({"me@x.test", "Boss (boss@z.test)"});
  mail->SetSender("agent@x.test");
  mime->BuildBody();
  EXPECT_EQ(smtp->recipients, (Lines{"one@y.test", "four@y.test"}));
  EXPECT_EQ(smtp->sender, "agent@x.test");
  Composed c = Split(smtp->message);
  EXPECT_EQ(Named(c, "Sender"), (Lines{"Sender: agent@x.test"}));
  EXPECT_EQ(c.header[0], "From: me@x.test (Boss \\(boss@z.test\\))");
}

TEST_F(Composition, HiddenReceiversStayInTheEnvelopeOnly) {
  mail->SetHideReceivers(true);
  mime->BuildBody();
  Composed c = Split(smtp->message);
  EXPECT_EQ(Named(c, "To"), (Lines{"To: undisclosed-recipients:;"}));
  EXPECT_TRUE(Named(c, "CC").empty());
  for (const std::string& h : c.header) EXPECT_EQ(h.find("@y.test"), std::string::npos) << h;
  EXPECT_EQ(smtp->recipients.size(), 4u);
}

TEST_F(Composition, MailWithoutToRecipientsStillGoesOut) {
  struct Case {
    bool cc, bcc;
    Lines to, ccHeader, envelope;
  } cases[] = {
      {true, false, {"To: undisclosed-recipients:;"}, {"CC: three@y.test (Three)"}, {"three@y.test"}},
      {false, true, {"To: undisclosed-recipients:;"}, {}, {"four@y.test"}},
  };
  for (const Case& c : cases) {
    SetUp();
    mail->Recipients().clear();
    if (!c.cc) mail->CC().clear();
    if (!c.bcc) mail->BCC().clear();
    mime->BuildBody();
    ASSERT_EQ(smtp->calls, 1);
    Composed composed = Split(smtp->message);
    EXPECT_EQ(Named(composed, "To"), c.to);
    EXPECT_EQ(Named(composed, "CC"), c.ccHeader);
    EXPECT_EQ(smtp->recipients, c.envelope);
  }
}

TEST_F(Composition, ManyRecipientsGiveOneFoldedToAndCcHeader) {
  std::vector<TMailAddress> many;
  for (int i = 0; i < 20; ++i) many.push_back({"r" + std::to_string(i) + "@y.test", "Reader " + std::to_string(i)});
  mail->Recipients() = many;
  mail->CC() = many;
  mime->BuildBody();
  for (const std::string& line : smtp->message) EXPECT_LE(line.size(), 76u) << line;
  Composed c = Split(smtp->message);
  ASSERT_EQ(Named(c, "To").size(), 1u);
  ASSERT_EQ(Named(c, "CC").size(), 1u);
  EXPECT_NE(Named(c, "To")[0].find("r18@y.test (Reader 18), r19@y.test (Reader 19)"), std::string::npos);
  EXPECT_NE(Named(c, "CC")[0].find("r0@y.test (Reader 0), r1@y.test"), std::string::npos);
}

TEST_F(Composition, BodyBecomesTheTextPartAndIsRestored) {
  mime->RemoveAll();
  SetLines(mail->Body(), {"first", "second"});
  mime->BuildBody();
  EXPECT_TRUE(Contains(smtp->message, "--" + mime->Boundary()));
  EXPECT_TRUE(Contains(smtp->message, "second"));
  EXPECT_EQ(ToVector(mail->Body()), (Lines{"first", "second"}));
  EXPECT_EQ(mime->AttachmentCount(), 0);
}

TEST_F(Composition, MessageIdAndBoundaryDifferForEveryMail) {
  mime->BuildBody();
  Composed first = Split(smtp->message);
  std::string boundary = mime->Boundary();
  mime->BuildBody();
  Composed second = Split(smtp->message);
  EXPECT_NE(boundary, mime->Boundary());
  EXPECT_NE(Named(first, "Message-ID"), Named(second, "Message-ID"));
  EXPECT_EQ(Named(second, "Content-Type").size(), 1u);
}

TEST_F(Composition, NonAsciiHeaderTextsAreEncoded) {
  mail->SetSubject("Patch f\xFCr Version 2");
  mail->SetFrom({"me@x.test", "J\xF6rg"});
  mail->Header().Add("Organization: M\xFCller & S\xF6hne");
  mime->BuildBody();
  Composed c = Split(smtp->message);
  EXPECT_EQ(Named(c, "Subject")[0], "Subject: =?windows-1252?Q?Patch_f=FCr_Version_2?=");
  EXPECT_EQ(c.header[0], "From: me@x.test (=?windows-1252?Q?J=F6rg?=)");
  EXPECT_EQ(Named(c, "Organization")[0], "Organization: =?windows-1252?Q?M=FCller_=26_S=F6hne?=");
  for (const std::string& line : smtp->message)
    for (char ch : line) EXPECT_LT(static_cast<unsigned char>(ch), 128u) << line;
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
      {"from name LF", [](T_Mail& m) { m.SetFrom({"me@x.test", "Me\nX: y"}); }},
      {"from address space", [](T_Mail& m) { m.SetFrom({"me @x.test", ""}); }},
      {"to address bracket", [](T_Mail& m) { m.Recipients()[0].Address = "one@y.test>"; }},
      {"to address angle", [](T_Mail& m) { m.Recipients()[0].Address = "<one@y.test"; }},
      {"to address CR", [](T_Mail& m) { m.Recipients()[0].Address = "one@y.test\rRSET"; }},
      {"empty cc address", [](T_Mail& m) { m.CC()[0].Address = ""; }},
      {"bcc address tab", [](T_Mail& m) { m.BCC()[0].Address = "four@y.test\t"; }},
      // One record is one address: a list in it would reach the header, not the envelope.
      {"to address comma", [](T_Mail& m) { m.Recipients()[0].Address = "c@d.test,victim@e.test"; }},
      {"cc address semicolon", [](T_Mail& m) { m.CC()[0].Address = "c@d.test;victim@e.test"; }},
      {"to address group", [](T_Mail& m) { m.Recipients()[0].Address = "list:victim@e.test"; }},
      {"bcc address comment", [](T_Mail& m) { m.BCC()[0].Address = "four@y.test(x"; }},
      {"from address quote", [](T_Mail& m) { m.SetFrom({"me\"@x.test", ""}); }},
      {"cc name CR", [](T_Mail& m) { m.CC()[0].FullName = "Three\r"; }},
      {"reply-to LF", [](T_Mail& m) { m.SetReplyTo("r@x.test\nBcc: z@z.test"); }},
      {"sender space", [](T_Mail& m) { m.SetSender("s @x.test"); }},
      {"references CR", [](T_Mail& m) { m.SetReferences("<a@b>\r\n"); }},
      {"extra header LF", [](T_Mail& m) { m.Header().Add("Organization: a\nX: b"); }},
      {"no from address", [](T_Mail& m) { m.SetFrom({"", "Me"}); }},
      {"no recipient", [](T_Mail& m) { m.Recipients().clear(), m.CC().clear(), m.BCC().clear(); }},
  };
  for (const Case& c : cases) {
    SetUp();
    c.spoil(*mail);
    const Lines header = ToVector(mail->Header());
    EXPECT_THROW(mime->BuildBody(), EMailHeaderError) << c.what;
    EXPECT_EQ(smtp->calls, 0) << c.what;
    EXPECT_EQ(ToVector(mail->Header()), header) << c.what;
    EXPECT_EQ(mime->AttachmentCount(), 1) << c.what;
  }
}

TEST(Attachments, FileAndMissingFile) {
  TOwned<T_Mime> mime(new T_Mime(nullptr));
  EXPECT_THROW(mime->AttachFile("no-such-dir/no-such-file.bin"), EFOpenError);
  EXPECT_EQ(mime->AttachmentCount(), 0);
  testsupport::ScratchDir scratch;
  struct Case {
    std::string name;
    std::string disposition;
  } cases[] = {
      {"patch 1.utp", "attachment; filename=\"patch 1.utp\""},
      {"r\xE9sum\xE9.exe", "attachment; filename*=windows-1252''r%E9sum%E9.exe"},
  };
  for (const Case& c : cases) {
    const std::string path = scratch.Path(c.name);
    {
      TFileStream f(path, fmCreate);
      std::vector<uint8_t> bytes(46, 7);
      f.WriteBuffer(bytes.data(), int32_t(bytes.size()));
    }
    mime->AttachFile(path);
    platform::RemoveFile(path);
    T_Attachment& a = mime->Attachment(mime->AttachmentCount() - 1);
    EXPECT_EQ(a.ContentType(), "application/octet-stream");
    EXPECT_EQ(a.Kind(), T_Attachment::kBase64);
    EXPECT_EQ(a.Disposition(), c.disposition);
    std::string full;
    for (int i = 0; i < 15; ++i) full += "BwcH";
    EXPECT_EQ(mimetext::Base64Lines(a.Data()), (Lines{full, "Bw=="}));
  }
  EXPECT_EQ(mime->AttachmentCount(), 2);
  mime->RemoveAttachment(5);
  mime->RemoveAttachment(-1);
  EXPECT_EQ(mime->AttachmentCount(), 2);
  mime->RemoveAttachment(0);
  EXPECT_EQ(mime->AttachmentCount(), 1);
}

}  // namespace
