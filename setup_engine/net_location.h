#pragma once
// The network install location: single files of an installation fetched from an FTP or
// HTTP server.
//
// How it works: the location makes its calls through a table of the eleven Internet
// library entry points (TInternetCalls), bound the first time a connection is needed, so
// the setup runs where the library is missing as long as nothing is downloaded. The
// Windows build binds WININET.DLL by name (net_location_win32.cpp); natively there is no
// library, and tests bind a table of their own (SetInternetLibrary). A location keeps its
// session and connection for later downloads. A download is written to its local file,
// block by block, reporting each block and letting the application process its messages
// (that is when the copy dialog's Cancel sets the download-abort flag); a download that
// fails or is cancelled removes what it wrote. An HTTP download must answer 200 and bring
// all the bytes its Content-Length announces.
#include <cstdint>
#include <functional>
#include <string>

#include "framework/core/events.h"
#include "framework/core/exception.h"
#include "framework/core/object.h"

enum class TInternetProtocol { ipFTP, ipHTTP };
const TTypeInfo& InternetProtocolTypeInfo();

class TNetInstallLocation;

class TLoginInformation : public TPersistent {
  FW_CLASS(TLoginInformation, TPersistent)

 public:
  bool Anonymous = true;
  std::string Directory;  // the folder on the server
  std::string Hostname;
  std::string Password;
  TInternetProtocol Protocol = TInternetProtocol::ipFTP;
  std::string Username;
  TNetInstallLocation* Location = nullptr;  // the location that owns it, if any
  void Assign(const TPersistent& src) override;
};

// The exceptions of the location. Those on ENIL carry, after their text, the name of the
// last Windows error, the host of the location used last and the server's last response.
class ENIL : public Exception {
 public:
  using Exception::Exception;
};
#define SETUP_NIL_EXCEPTION(Name, Base) \
  class Name : public Base {            \
   public:                              \
    using Base::Base;                   \
  };
SETUP_NIL_EXCEPTION(ENIL_OpenSession, ENIL)
SETUP_NIL_EXCEPTION(ENIL_OpenService, ENIL)
SETUP_NIL_EXCEPTION(ENIL_FailDataQuery, ENIL)
SETUP_NIL_EXCEPTION(ENIL_ReadFile, ENIL)
SETUP_NIL_EXCEPTION(ENIL_FileNotFound, ENIL)
SETUP_NIL_EXCEPTION(ENIL_FTP, ENIL)
SETUP_NIL_EXCEPTION(ENIL_FTPSetDir, ENIL_FTP)
SETUP_NIL_EXCEPTION(ENIL_FTPOpenFile, ENIL_FTP)
SETUP_NIL_EXCEPTION(ENIL_FTPCloseFile, ENIL_FTP)
SETUP_NIL_EXCEPTION(ENIL_HTTP, ENIL)
SETUP_NIL_EXCEPTION(ENIL_HTTPOpenFile, ENIL_HTTP)
SETUP_NIL_EXCEPTION(ENIL_HTTPSendRequest, ENIL_HTTP)
SETUP_NIL_EXCEPTION(ENIL_WriteDestFile, Exception)
SETUP_NIL_EXCEPTION(ENIL_FailLoadWININET, Exception)
SETUP_NIL_EXCEPTION(ENIL_FailLoadDLLProc, Exception)
#undef SETUP_NIL_EXCEPTION

namespace setup {

// A handle of the Internet library; 0 is none.
using TInetHandle = uintptr_t;

// The eleven entry points, in the order they are bound, with the library's own meaning;
// LastError is the system's last error after a failed call.
struct TInternetCalls {
  std::function<bool(uint32_t& error, std::string& text)> InternetGetLastResponseInfo;
  // Preconfigured access, no proxy, no flags.
  std::function<TInetHandle(const std::string& agent)> InternetOpen;
  // user and password null for none; service 1 FTP, 3 HTTP; no flags.
  std::function<TInetHandle(TInetHandle session, const std::string& host, int port, const char* user,
                            const char* password, int service)>
      InternetConnect;
  std::function<bool(TInetHandle connection, const std::string& dir)> FtpSetCurrentDirectory;
  std::function<bool(TInetHandle handle)> InternetCloseHandle;
  std::function<bool(TInetHandle file, uint32_t& available)> InternetQueryDataAvailable;
  std::function<bool(TInetHandle file, void* buffer, uint32_t size, uint32_t& read)> InternetReadFile;
  // Opened for reading, binary transfer.
  std::function<TInetHandle(TInetHandle connection, const std::string& name)> FtpOpenFile;
  // No version, referrer or accept types.
  std::function<TInetHandle(TInetHandle connection, const std::string& verb, const std::string& object,
                            uint32_t flags)>
      HttpOpenRequest;
  std::function<bool(TInetHandle request, const std::string& headers)> HttpSendRequest;
  // The header as text; size in: the buffer's, out: the text's length.
  std::function<bool(TInetHandle request, uint32_t query, char* buffer, uint32_t& size)> HttpQueryInfo;
  std::function<uint32_t()> LastError;
};

// Fills calls with the entry points the library has (leaving the missing ones empty);
// false when the library cannot be loaded at all.
using TInternetLibrary = std::function<bool(TInternetCalls& calls)>;
// Installs a library (empty: the build's own); returns the one before.
TInternetLibrary SetInternetLibrary(TInternetLibrary library);
// The build's own: WININET.DLL under Windows, none natively.
bool LoadSystemInternetLibrary(TInternetCalls& calls);

// The name of a Windows or Internet error code, "Unregistered error code" for others.
std::string InternetErrorName(uint32_t code);
// A folder as the server names it: "/" for a blank one, else with "/" for "\".
std::string ServerPath(const std::string& folder);

// The download-abort flag: set by the copy dialog's Cancel; a download stops at its next
// block.
bool DownloadAborted();
void SetDownloadAborted(bool v);

}  // namespace setup

using TDataReceivedEvent = TEvent<void(TObject* Sender, const std::string& FileName, int Bytes, int TotalBytes,
                                       int FileSize, const char* Buffer)>;
using TNotifyWithAbortFlag = TEvent<void(TObject* Sender, bool Aborted)>;
using TLoginEvent = TEvent<void(TObject* Sender)>;

class TNetInstallLocation : public TComponent {
  FW_CLASS(TNetInstallLocation, TComponent)

 public:
  explicit TNetInstallLocation(TComponent* owner);

  TLoginInformation& LoginInformation() { return login_; }
  const TLoginInformation& LoginInformation() const { return login_; }
  void SetLoginInformation(const TLoginInformation& login) { login_.Assign(login); }

  TNotifyWithAbortFlag OnAfterDownload;
  TLoginEvent OnAfterLogin;
  TLoginEvent OnBeforeLogin;
  TNotifyEvent OnBeforeDownload;
  TDataReceivedEvent OnDataReceived;
  // Set by an install file for the time of its own download.
  TDataReceivedEvent InternalDataReceived;

  // Anonymous: a host name that is not blank; otherwise any of host, password or user.
  static bool IsLoginDefined(const TLoginInformation& login);

  void LoadInternetLibrary();
  void Connect();
  // Fetches remoteName from the server's Directory into localFile. True when the
  // download-abort flag stopped it; a cancelled or failed download removes localFile.
  bool Download(const std::string& remoteName, const std::string& localFile);

 protected:
  ~TNetInstallLocation() override;
  void BeforeDestruction() override;

 private:
  template <class E>
  [[noreturn]] void Fail(const std::string& text);
  void Close(setup::TInetHandle& h);
  int32_t RemoteSize(const std::string& remoteName);
  bool Fetch(const std::string& remoteName, const std::string& localFile);

  TLoginInformation login_;
  bool bound_ = false;
  setup::TInternetCalls calls_;
  setup::TInetHandle session_ = 0, connection_ = 0, file_ = 0;
  // The server folder the connection stands in; "" while it stands where the login left it.
  std::string ftpFolder_;
  std::string remoteName_, localName_;
};

namespace setup {

// The location of the whole install: the driver copies its login into it.
TNetInstallLocation& GlobalNetLocation();

}  // namespace setup
