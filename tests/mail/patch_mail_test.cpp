// The patch mail without a real mail server: the identity's server setting, the status
// texts, and the box each failure of a run ends in (a loopback peer that hangs up or
// refuses stands in for an unreachable server). Delivery to a real server is tested with
// the patch builder under Wine.
#include <gtest/gtest.h>

#include <optional>
#include <string>
#include <vector>

#include "mail/patch_mail.h"
#include "tests/mail/loopback_server.h"
#include "tests/support/scratch_dir.h"

namespace {

TEST(PatchMail, SmtpServerSettingNamesHostAndPort) {
  struct Case {
    const char* setting;
    bool ok;
    const char* host;
    uint16_t port;
  } cases[] = {
      {"mail.example.com", true, "mail.example.com", 25},
      {"127.0.0.1:2525", true, "127.0.0.1", 2525},
      {"h:1", true, "h", 1},
      {"h:65535", true, "h", 65535},
      {"h:0", false, "", 0},
      {"h:65536", false, "", 0},
      {"h:", false, "", 0},
      {"h:25x", false, "", 0},
      {"h:-1", false, "", 0},
      {"h:0000025", false, "", 0},
      {"", false, "", 0},
      {":25", false, "", 0},
  };
  for (const Case& c : cases) {
    std::string host;
    uint16_t port = 0;
    if (c.ok) {
      EXPECT_NO_THROW(SplitSmtpServer(c.setting, host, port)) << c.setting;
      EXPECT_EQ(host, c.host) << c.setting;
      EXPECT_EQ(port, c.port) << c.setting;
    } else {
      EXPECT_THROW(SplitSmtpServer(c.setting, host, port), EMailSetupError) << c.setting;
    }
  }
}

TEST(PatchMail, StatusTextsMoveTheBarOnlyForANumberBeforeThePercentSign) {
  struct Case {
    const char* text;
    bool moves;
    int percent;
  } cases[] = {
      {"42%", true, 42}, {"0%", true, 0},      {"100%", true, 100}, {"250%", true, 100},
      {"99999999999999999999%", true, 100},    {"Connecting", false, 7},
      {"x%", false, 7},  {"%", false, 7},      {"4 2%", false, 7},  {"-3%", false, 7},
      {"Done.", false, 7},
  };
  for (const Case& c : cases) {
    int percent = 7;
    EXPECT_EQ(ReadTraceStatus(c.text, percent), c.moves) << c.text;
    EXPECT_EQ(percent, c.percent) << c.text;
  }
}

TEST(PatchMail, RecipientTextAddsTheNameInBrackets) {
  EXPECT_EQ(RecipientText({-1, "a@b.example", "", 0}), "a@b.example");
  EXPECT_EQ(RecipientText({4, "a@b.example", "Ann Bee", 1}), "a@b.example (Ann Bee)");
}

struct TRecordingReport : IPatchMailReport {
  std::vector<std::pair<std::string, int>> statuses;
  std::vector<TMailBox> boxes;
  void Status(const std::string& text, int percent) override { statuses.emplace_back(text, percent); }
  void ShowBox(const TMailBox& box) override { boxes.push_back(box); }
};

TEST(PatchMail, EveryFailureEndsInOneBox) {
  testsupport::ScratchDir dir;
  const std::string patch = dir.Path("patch.utp");
  {
    FILE* f = std::fopen(patch.c_str(), "wb");
    ASSERT_TRUE(f);
    std::fputs("patch bytes", f);
    std::fclose(f);
  }
  const std::string notConnected =
      "Seems that your computer is currently not connected to the internet. Please dialup. Quiltor SMTP subsystem "
      "error message was:\n\n";
  const std::string unknown = "Unknown error occured while trying to send email.\n\n";

  struct Case {
    const char* what;
    bool called;           // a loopback peer is called: it says greeting and hangs up
    std::string greeting;
    std::string server;    // for a run that fails before it calls
    std::string sender;
    std::string file;
    std::string caption, textStart;
  } cases[] = {
      {"a peer that hangs up", true, "", "", "me@here.example", patch, "Error",
       notConnected + "The connection to host 127.0.0.1 port "},
      {"a refusing server", true, "554 go away\r\n", "", "me@here.example", patch, "Error",
       notConnected + "SMTP server 127.0.0.1:"},
      {"a vanished patch file", false, "", "127.0.0.1:1", "me@here.example", dir.Path("gone.utp"),
       "Error sending patch!", unknown},
      {"an identity without address", false, "", "127.0.0.1:1", "", patch, "Error sending patch!", unknown},
      {"a bad port", false, "", "127.0.0.1:70000", "me@here.example", patch, "Error sending patch!",
       unknown + "The SMTP server \"127.0.0.1:70000\" names no port in 1..65535"},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.what);
    std::optional<mailtest::LoopbackServer> peer;
    std::string server = c.server;
    if (c.called) {
      peer.emplace(c.greeting);
      ASSERT_TRUE(peer->Ok());
      server = "127.0.0.1:" + std::to_string(peer->Port());
    }
    TPatchMail mail;
    mail.Sender = {c.sender, "Me", server, "", ""};
    mail.Subject = "Your patch";
    mail.Text = {"Hello"};
    mail.FileName = c.file;
    mail.Recipients = {{-1, "you@there.example", "", TRecipient::kTo}};
    TRecordingReport report;
    SendPatchMail(mail, report);
    ASSERT_EQ(report.boxes.size(), 1u);
    EXPECT_EQ(report.boxes[0].Caption, c.caption);
    EXPECT_EQ(report.boxes[0].Text.substr(0, c.textStart.size()), c.textStart) << report.boxes[0].Text;
    EXPECT_GT(report.boxes[0].Text.size(), c.textStart.size()) << "the message follows";
    EXPECT_EQ(report.boxes[0].Flags, 16u);
    if (c.called) {
      ASSERT_FALSE(report.statuses.empty());
      EXPECT_EQ(report.statuses[0], std::make_pair(std::string("Connecting"), 0));
    } else {
      EXPECT_TRUE(report.statuses.empty()) << "nothing was sent";
    }
  }
}

}  // namespace
