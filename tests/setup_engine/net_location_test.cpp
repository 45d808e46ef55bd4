#include <gtest/gtest.h>

#include <functional>

#include "setup_engine/install_services.h"
#include "setup_engine/net_location.h"
#include "tests/setup_engine/install_fakes.h"

namespace {

using namespace setup;
using installtest::FakeServer;

class NetLocation : public installtest::InstallFixture {
 protected:
  NetLocation() { old_ = SetInternetLibrary(server.Library()); }
  ~NetLocation() override {
    location.reset();
    SetInternetLibrary(old_);
  }
  TNetInstallLocation& Location(TInternetProtocol protocol, const std::string& directory = "") {
    location.reset(new TNetInstallLocation(nullptr));
    location->SetName("Net1");
    location->LoginInformation().Hostname = "files.example";
    location->LoginInformation().Protocol = protocol;
    location->LoginInformation().Directory = directory;
    return *location;
  }
  // The message of a failed download, or "" when it worked; the local file must not
  // remain after a failure.
  std::string Fetch(const std::string& remote) {
    std::string local = dir.Path("got.1");
    try {
      location->Download(remote, local);
      return "";
    } catch (const std::exception& e) {
      EXPECT_FALSE(platform::IsFile(local)) << "a failed download left its file";
      return e.what();
    }
  }
  FakeServer server;
  TOwned<TNetInstallLocation> location;

 private:
  TInternetLibrary old_;
};

// FTP: the folder as the server names it, set once per connection (it is relative to
// where the connection stands), anonymous login without a user, blocks of 8 KB reported
// with the bytes the server had ready, and a second download on the same session and
// connection.
TEST_F(NetLocation, FtpDownloadsReuseTheConnection) {
  server.files["pub/setup/A.1"] = std::string(20000, 'a');
  server.files["pub/setup/B.1"] = "bee";
  TNetInstallLocation& net = Location(TInternetProtocol::ipFTP, "pub\\setup");
  std::vector<std::string> blocks;
  net.OnDataReceived = TDataReceivedEvent([&](TObject*, const std::string& name, int bytes, int total, int size, const char*) {
    blocks.push_back(name + " " + std::to_string(bytes) + " " + std::to_string(total) + " " + std::to_string(size));
  });
  EXPECT_EQ(Fetch("A.1"), "");
  EXPECT_EQ(Read("got.1"), std::string(20000, 'a'));
  EXPECT_EQ(Fetch("B.1"), "");
  EXPECT_EQ(Read("got.1"), "bee");
  EXPECT_EQ(blocks, (std::vector<std::string>{"A.1 8192 8192 20000", "A.1 8192 16384 20000", "A.1 3616 20000 20000",
                                               "B.1 3 3 3"}));
  EXPECT_EQ(server.log, (std::vector<std::string>{"open setup", "connect files.example:21 null/null service 1",
                                                   "cd pub/setup", "get pub/setup/A.1", "close 3",
                                                   "get pub/setup/B.1", "close 3"}));
  EXPECT_EQ(Fetch("C.1"),
            "Cannot open file C.1 on server. Error message ERROR_INTERNET_EXTENDED_ERROR. Server files.example. "
            "Response from server 550 nothing here");
  // Another folder for the same connection is taken from the top.
  server.files["other/D.1"] = "dee";
  server.log.clear();
  net.LoginInformation().Directory = "other";
  EXPECT_EQ(Fetch("D.1"), "");
  EXPECT_EQ(server.log, (std::vector<std::string>{"cd /", "cd other", "get other/D.1", "close 3"}));
}

// HTTP: the object below the folder ("/" for none), the request's flags and headers, a
// location that goes closing its connection and session, and
// the answers that are no file: a status other than 200 (404 is "not found"), a transfer
// short of its Content-Length, no bytes at all. A body that says 404 is just a file.
TEST_F(NetLocation, HttpStatusAndLengthDecide) {
  server.files["/A.1"] = "404 is only text here";
  server.files["/pub/B.1"] = std::string(9000, 'b');
  Location(TInternetProtocol::ipHTTP);
  EXPECT_EQ(Fetch("A.1"), "");
  EXPECT_EQ(Read("got.1"), "404 is only text here");
  Location(TInternetProtocol::ipHTTP, "pub");
  EXPECT_EQ(Fetch("B.1"), "");
  EXPECT_EQ(server.log, (std::vector<std::string>{"open setup", "connect files.example:80 ''/'' service 3",
                                                   "GET /A.1 A4000000", "headers 15", "close 3", "close 2", "close 1", "open setup",
                                                   "connect files.example:80 ''/'' service 3", "GET pub/B.1 A4000000",
                                                   "headers 15", "close 3"}));
  struct Case {
    int status;
    int64_t length;
    const char* remote;
    const char* message;
  } cases[] = {
      {404, -1, "B.1", "Could not find the file B.1 on the server."},
      {500, -1, "B.1", "Cannot open file B.1 on server."},
      {200, 9001, "B.1", "Could not read from file B.1 on the server."},
      {200, -1, "none.1", "Could not find the file none.1 on the server."},
      {200, -2, "B.1", ""},  // no Content-Length: whatever comes
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.message);
    server.status = c.status;
    server.contentLength = c.length;
    std::string message = Fetch(c.remote);
    EXPECT_EQ(message.substr(0, std::string(c.message).size()), c.message);
    EXPECT_EQ(message.empty(), std::string(c.message).empty());
  }
  server.response = false;
  server.status = 404;
  EXPECT_NE(Fetch("B.1").find("Response from server No server response"), std::string::npos);
}

// The copy dialog's Cancel stops a download at its next block: what was written goes, and
// the end of the download says it was aborted.
TEST_F(NetLocation, CancelRemovesThePartialFile) {
  server.files["/A.1"] = std::string(30000, 'a');
  TNetInstallLocation& net = Location(TInternetProtocol::ipHTTP);
  net.OnDataReceived = TDataReceivedEvent([](TObject*, const std::string&, int, int, int, const char*) { SetDownloadAborted(true); });
  std::vector<bool> ends;
  net.OnAfterDownload = TNotifyWithAbortFlag([&](TObject*, bool aborted) { ends.push_back(aborted); });
  std::string local = dir.Path("got.1");
  EXPECT_TRUE(net.Download("A.1", local));
  EXPECT_FALSE(platform::IsFile(local));
  EXPECT_EQ(ends, std::vector<bool>{true});
}

// The library is bound on the first connection: without it the hybrid message, with an
// entry point missing the first in binding order, named without its "A".
TEST_F(NetLocation, BindingTheLibrary) {
  SetInternetLibrary([](TInternetCalls&) { return false; });
  Location(TInternetProtocol::ipFTP);
  EXPECT_EQ(Fetch("A.1"),
            "Failed to load the Wininet.dll. If this is a hybrid installation, you might want to include the "
            "WININET.DLL file in the PresetupFiles property of the TInstall component");
  SetInternetLibrary(server.Library());
  struct Case {
    std::set<std::string> missing;
    const char* named;
  } cases[] = {
      {{"HttpQueryInfo", "InternetOpen"}, "InternetOpen"},
      {{"InternetGetLastResponseInfo"}, "InternetGetLastResponseInfo"},
      {{"HttpQueryInfo"}, "HttpQueryInfo"},
      {{"FtpOpenFile", "HttpSendRequest"}, "FtpOpenFile"},
  };
  for (const Case& c : cases) {
    server.missing = c.missing;
    Location(TInternetProtocol::ipFTP);
    EXPECT_EQ(Fetch("A.1"), std::string("Failed to load the procedure ") + c.named + " from WININET.DLL");
  }
}

TEST(NetLocationTexts, ErrorNamesLoginsAndServerPaths) {
  struct Name {
    uint32_t code;
    const char* name;
  } names[] = {
      {6, "ERROR_INVALID_HANDLE"},
      {12001, "ERROR_INTERNET_OUT_OF_HANDLES"},
      {12031, "ERROR_INTERNET_CONNECTION_RESET"},
      {12032, "ERROR_INTERNET_FORCE_RETRY"},
      {12033, "Unregistered error code"},
      {12036, "ERROR_INTERNET_HANDLE_EXISTS"},
      {12041, "ERROR_INTERNET_MIXED_SECURITY"},
      {12110, "ERROR_FTP_TRANSFER_IN_PROGRESS"},
      {12111, "ERROR_FTP_DROPPED"},
      {12130, "ERROR_GOPHER_PROTOCOL_ERROR"},
      {12138, "ERROR_GOPHER_UNKNOWN_LOCATOR"},
      {12150, "ERROR_HTTP_HEADER_NOT_FOUND"},
      {12155, "ERROR_HTTP_HEADER_ALREADY_EXISTS"},
      {12156, "Unregistered error code"},
      {0, "Unregistered error code"},
  };
  for (const Name& n : names) EXPECT_EQ(InternetErrorName(n.code), n.name) << n.code;

  struct Login {
    bool anonymous;
    const char *host, *user, *password;
    bool defined;
  } logins[] = {
      {true, "  ", "u", "p", false}, {true, "h", "", "", true},   {false, "", "", "", false},
      {false, "", "u", "", true},    {false, "", "", " p", true}, {false, " ", " ", " ", false},
  };
  for (const Login& l : logins) {
    TLoginInformation info;
    info.Anonymous = l.anonymous;
    info.Hostname = l.host;
    info.Username = l.user;
    info.Password = l.password;
    EXPECT_EQ(TNetInstallLocation::IsLoginDefined(info), l.defined) << l.host << "|" << l.user << "|" << l.password;
  }
  EXPECT_EQ(ServerPath(""), "/");
  EXPECT_EQ(ServerPath("  "), "/");
  EXPECT_EQ(ServerPath("pub\\setup"), "pub/setup");
}

}  // namespace
