#include "setup_engine/net_location.h"

#include <memory>
#include <type_traits>
#include <vector>

#include "framework/core/seam.h"
#include "framework/core/streams.h"
#include "framework/core/sysutils.h"
#include "platform/file.h"
#include "setup_engine/install_services.h"

namespace {

const TTypeInfo kProtocols{{"ipFTP", "ipHTTP"}, {}};

constexpr uint32_t kReadBlock = 8192;
constexpr uint32_t kHttpQueryContentLength = 5;
constexpr uint32_t kHttpQueryStatusCode = 19;
constexpr uint32_t kHeaderNotFound = 12150;
constexpr uint32_t kHttpRequestFlags = 0xA4000000;  // reload, existing connection, no cache write
constexpr int kServiceFtp = 1, kServiceHttp = 3;
constexpr int kFtpPort = 21, kHttpPort = 80;
constexpr size_t kMaxResponse = 3000;

TNetInstallLocation* lastUsed = nullptr;
bool downloadAborted = false;

TSeam<setup::TInternetLibrary>& Library() {
  static TSeam<setup::TInternetLibrary> seam{setup::TInternetLibrary(&setup::LoadSystemInternetLibrary)};
  return seam;
}

const char* const kInternetErrors[] = {
    "ERROR_INTERNET_OUT_OF_HANDLES", "ERROR_INTERNET_TIMEOUT", "ERROR_INTERNET_EXTENDED_ERROR",
    "ERROR_INTERNET_INTERNAL_ERROR", "ERROR_INTERNET_INVALID_URL", "ERROR_INTERNET_UNRECOGNIZED_SCHEME",
    "ERROR_INTERNET_NAME_NOT_RESOLVED", "ERROR_INTERNET_PROTOCOL_NOT_FOUND", "ERROR_INTERNET_INVALID_OPTION",
    "ERROR_INTERNET_BAD_OPTION_LENGTH", "ERROR_INTERNET_OPTION_NOT_SETTABLE", "ERROR_INTERNET_SHUTDOWN",
    "ERROR_INTERNET_INCORRECT_USER_NAME", "ERROR_INTERNET_INCORRECT_PASSWORD", "ERROR_INTERNET_LOGIN_FAILURE",
    "ERROR_INTERNET_INVALID_OPERATION", "ERROR_INTERNET_OPERATION_CANCELLED",
    "ERROR_INTERNET_INCORRECT_HANDLE_TYPE", "ERROR_INTERNET_INCORRECT_HANDLE_STATE",
    "ERROR_INTERNET_NOT_PROXY_REQUEST", "ERROR_INTERNET_REGISTRY_VALUE_NOT_FOUND",
    "ERROR_INTERNET_BAD_REGISTRY_PARAMETER", "ERROR_INTERNET_NO_DIRECT_ACCESS", "ERROR_INTERNET_NO_CONTEXT",
    "ERROR_INTERNET_NO_CALLBACK", "ERROR_INTERNET_REQUEST_PENDING", "ERROR_INTERNET_INCORRECT_FORMAT",
    "ERROR_INTERNET_ITEM_NOT_FOUND", "ERROR_INTERNET_CANNOT_CONNECT", "ERROR_INTERNET_CONNECTION_ABORTED",
    "ERROR_INTERNET_CONNECTION_RESET"};
const char* const kGopherErrors[] = {
    "ERROR_GOPHER_PROTOCOL_ERROR",      "ERROR_GOPHER_NOT_FILE",
    "ERROR_GOPHER_DATA_ERROR",          "ERROR_GOPHER_END_OF_DATA",
    "ERROR_GOPHER_INVALID_LOCATOR",     "ERROR_GOPHER_INCORRECT_LOCATOR_TYPE",
    "ERROR_GOPHER_NOT_GOPHER_PLUS",     "ERROR_GOPHER_ATTRIBUTE_NOT_FOUND",
    "ERROR_GOPHER_UNKNOWN_LOCATOR"};
const char* const kHttpErrors[] = {"ERROR_HTTP_HEADER_NOT_FOUND",    "ERROR_HTTP_DOWNLEVEL_SERVER",
                                   "ERROR_HTTP_INVALID_SERVER_RESPONSE", "ERROR_HTTP_INVALID_HEADER",
                                   "ERROR_HTTP_INVALID_QUERY_REQUEST", "ERROR_HTTP_HEADER_ALREADY_EXISTS"};

// A header's decimal value; 0 when it is no number.
int32_t HeaderNumber(const char* text, uint32_t size) {
  std::string s = Trim(std::string(text, size));
  if (s.empty() || s.size() > 10 || s.find_first_not_of("0123456789") != std::string::npos) return 0;
  int64_t v = std::stoll(s);
  return v > INT32_MAX ? 0 : int32_t(v);
}

}  // namespace

const TTypeInfo& InternetProtocolTypeInfo() { return kProtocols; }

namespace setup {

TInternetLibrary SetInternetLibrary(TInternetLibrary library) { return Library().Set(std::move(library)); }

std::string InternetErrorName(uint32_t code) {
  if (code == 6) return "ERROR_INVALID_HANDLE";
  if (code >= 12001 && code <= 12031) return kInternetErrors[code - 12001];
  switch (code) {
    case 12032: return "ERROR_INTERNET_FORCE_RETRY";
    case 12036: return "ERROR_INTERNET_HANDLE_EXISTS";
    case 12041: return "ERROR_INTERNET_MIXED_SECURITY";
    case 12110: return "ERROR_FTP_TRANSFER_IN_PROGRESS";
    case 12111: return "ERROR_FTP_DROPPED";
    default: break;
  }
  if (code >= 12130 && code <= 12138) return kGopherErrors[code - 12130];
  if (code >= 12150 && code <= 12155) return kHttpErrors[code - 12150];
  return "Unregistered error code";
}

std::string ServerPath(const std::string& folder) {
  if (Trim(folder).empty()) return "/";
  std::string out = folder;
  for (char& c : out)
    if (c == '\\') c = '/';
  return out;
}

bool DownloadAborted() { return downloadAborted; }
void SetDownloadAborted(bool v) { downloadAborted = v; }

TNetInstallLocation& GlobalNetLocation() {
  // Lives as long as the process: the install driver and its files refer to it to the end.
  static TNetInstallLocation* location = new TNetInstallLocation(nullptr);
  return *location;
}

}  // namespace setup

// ---- TLoginInformation

const TClassInfo& TLoginInformation::StaticClass() {
  using P = TProps<TLoginInformation>;
  static const TClassInfo info{
      "TLoginInformation", &TPersistent::StaticClass(), nullptr,
      {P::Bool("Anonymous", [](const TLoginInformation& l) { return l.Anonymous; },
               [](TLoginInformation& l, bool v) { l.Anonymous = v; })
           .WithDefault(true),
       P::Str("Directory", [](const TLoginInformation& l) { return l.Directory; },
              [](TLoginInformation& l, std::string v) { l.Directory = std::move(v); })
           .WithDefault(std::string()),
       P::Str("Hostname", [](const TLoginInformation& l) { return l.Hostname; },
              [](TLoginInformation& l, std::string v) { l.Hostname = std::move(v); })
           .WithDefault(std::string()),
       P::Str("Password", [](const TLoginInformation& l) { return l.Password; },
              [](TLoginInformation& l, std::string v) { l.Password = std::move(v); })
           .WithDefault(std::string()),
       P::Enum<TInternetProtocol>("Protocol", &kProtocols, [](const TLoginInformation& l) { return l.Protocol; },
                                  [](TLoginInformation& l, TInternetProtocol v) { l.Protocol = v; })
           .WithDefault(int64_t(0)),
       P::Str("Username", [](const TLoginInformation& l) { return l.Username; },
              [](TLoginInformation& l, std::string v) { l.Username = std::move(v); })
           .WithDefault(std::string())}};
  return info;
}

void TLoginInformation::Assign(const TPersistent& src) {
  auto* s = dynamic_cast<const TLoginInformation*>(&src);
  if (!s) {
    TPersistent::Assign(src);
    return;
  }
  Anonymous = s->Anonymous;
  Directory = s->Directory;
  Hostname = s->Hostname;
  Password = s->Password;
  Protocol = s->Protocol;
  Username = s->Username;
}

// ---- TNetInstallLocation

const TClassInfo& TNetInstallLocation::StaticClass() {
  using P = TProps<TNetInstallLocation>;
  static const TClassInfo info{
      "TNetInstallLocation", &TComponent::StaticClass(), Factory<TNetInstallLocation>(),
      {P::Nested("LoginInformation", [](TNetInstallLocation& l) -> TPersistent& { return l.LoginInformation(); }),
       P::Event("OnAfterDownload", &TNetInstallLocation::OnAfterDownload),
       P::Event("OnAfterLogin", &TNetInstallLocation::OnAfterLogin),
       P::Event("OnBeforeLogin", &TNetInstallLocation::OnBeforeLogin),
       P::Event("OnBeforeDownload", &TNetInstallLocation::OnBeforeDownload),
       P::Event("OnDataReceived", &TNetInstallLocation::OnDataReceived)}};
  return info;
}

TNetInstallLocation::TNetInstallLocation(TComponent* owner) : TComponent(owner) { login_.Location = this; }

TNetInstallLocation::~TNetInstallLocation() = default;

void TNetInstallLocation::BeforeDestruction() {
  Close(file_);
  Close(connection_);
  Close(session_);
  if (lastUsed == this) lastUsed = nullptr;
  TComponent::BeforeDestruction();
}

bool TNetInstallLocation::IsLoginDefined(const TLoginInformation& login) {
  if (login.Anonymous) return !Trim(login.Hostname).empty();
  return !Trim(login.Hostname).empty() || !Trim(login.Password).empty() || !Trim(login.Username).empty();
}

template <class E>
void TNetInstallLocation::Fail(const std::string& text) {
  if constexpr (std::is_base_of_v<ENIL, E>) {
    uint32_t error = calls_.LastError ? calls_.LastError() : 0;
    std::string response = "No server response";
    uint32_t responseError = 0;
    std::string answer;
    if (calls_.InternetGetLastResponseInfo && calls_.InternetGetLastResponseInfo(responseError, answer))
      response = answer.substr(0, kMaxResponse);
    throw E(FormatTolerant("%s. Error message %s. Server %s. Response from server %s",
                           {text, setup::InternetErrorName(error),
                            lastUsed ? lastUsed->login_.Hostname : std::string(), response}));
  } else {
    throw E(text);
  }
}

void TNetInstallLocation::Close(setup::TInetHandle& h) {
  if (h && calls_.InternetCloseHandle) calls_.InternetCloseHandle(h);
  h = 0;
}

void TNetInstallLocation::LoadInternetLibrary() {
  setup::TInternetCalls calls;
  if (!Library().Get()(calls))
    throw ENIL_FailLoadWININET(
        "Failed to load the Wininet.dll. If this is a hybrid installation, you might want to include the "
        "WININET.DLL file in the PresetupFiles property of the TInstall component");
  struct Entry {
    const char* name;
    bool bound;
  } entries[] = {
      {"InternetGetLastResponseInfo", bool(calls.InternetGetLastResponseInfo)},
      {"InternetOpen", bool(calls.InternetOpen)},
      {"InternetConnect", bool(calls.InternetConnect)},
      {"FtpSetCurrentDirectory", bool(calls.FtpSetCurrentDirectory)},
      {"InternetCloseHandle", bool(calls.InternetCloseHandle)},
      {"InternetQueryDataAvailable", bool(calls.InternetQueryDataAvailable)},
      {"InternetReadFile", bool(calls.InternetReadFile)},
      {"FtpOpenFile", bool(calls.FtpOpenFile)},
      {"HttpOpenRequest", bool(calls.HttpOpenRequest)},
      {"HttpSendRequest", bool(calls.HttpSendRequest)},
      {"HttpQueryInfo", bool(calls.HttpQueryInfo)},
  };
  for (const Entry& e : entries)
    if (!e.bound) throw ENIL_FailLoadDLLProc(FormatTolerant("Failed to load the procedure %s from WININET.DLL", {e.name}));
  if (!calls.LastError) calls.LastError = [] { return uint32_t(0); };
  calls_ = std::move(calls);
  bound_ = true;
}

void TNetInstallLocation::Connect() {
  lastUsed = this;
  if (!bound_) LoadInternetLibrary();
  if (!session_) {
    std::string agent = ChangeFileExt(ExtractFileName(setup::InstallServices().Application->ProgramPath()), "");
    session_ = calls_.InternetOpen(agent);
    if (!session_) Fail<ENIL_OpenSession>("Cannot open internet connection");
  }
  bool ftp = login_.Protocol == TInternetProtocol::ipFTP;
  if (!connection_) {
    OnBeforeLogin(this);
    const char* user = nullptr;
    const char* password = nullptr;
    if (!login_.Anonymous) {
      user = login_.Username.c_str();
      password = login_.Password.c_str();
    } else if (!ftp) {
      user = password = "";
    }
    connection_ = calls_.InternetConnect(session_, login_.Hostname, ftp ? kFtpPort : kHttpPort, user, password,
                                         ftp ? kServiceFtp : kServiceHttp);
    if (!connection_) Fail<ENIL_OpenService>(FormatTolerant("Cannot connect to host %s", {login_.Hostname}));
    OnAfterLogin(this);
  }
  if (!ftp) return;
  // A relative folder is taken from where the connection stands, so it is set once per
  // connection: setting it again for the next download would go one level deeper.
  std::string folder = setup::ServerPath(login_.Directory);
  if (folder == ftpFolder_) return;
  bool fromRoot = !ftpFolder_.empty();
  ftpFolder_.clear();
  if ((fromRoot && !calls_.FtpSetCurrentDirectory(connection_, "/")) ||
      !calls_.FtpSetCurrentDirectory(connection_, folder))
    Fail<ENIL_FTPSetDir>(FormatTolerant("Cannot set directory on server to %s", {login_.Directory}));
  ftpFolder_ = folder;
}

int32_t TNetInstallLocation::RemoteSize(const std::string& remoteName) {
  if (login_.Protocol == TInternetProtocol::ipFTP) {
    uint32_t available = 0;
    if (!calls_.InternetQueryDataAvailable(file_, available))
      Fail<ENIL_FailDataQuery>(FormatTolerant("Could not query file %s on server", {remoteName}));
    return available > uint32_t(INT32_MAX) ? INT32_MAX : int32_t(available);
  }
  char buffer[33] = {};
  uint32_t size = sizeof buffer;
  if (!calls_.HttpQueryInfo(file_, kHttpQueryContentLength, buffer, size)) {
    if (calls_.LastError() == kHeaderNotFound) return 0;
    Fail<ENIL_FailDataQuery>(FormatTolerant("Could not query file %s on server", {remoteName}));
  }
  return HeaderNumber(buffer, std::min<uint32_t>(size, sizeof buffer));
}

bool TNetInstallLocation::Fetch(const std::string& remoteName, const std::string& localFile) {
  bool http = login_.Protocol == TInternetProtocol::ipHTTP;
  int32_t fileSize = RemoteSize(remoteName);
  std::unique_ptr<TFileStream> file;
  try {
    file = std::make_unique<TFileStream>(localFile, fmCreate);
  } catch (const EStreamError&) {
    throw ENIL_WriteDestFile(FormatTolerant("%s could not write to the local dest file %s", {Name(), localFile}));
  }
  TFileStream& out = *file;
  std::vector<char> block(kReadBlock);
  int64_t total = 0;
  for (;;) {
    uint32_t got = 0;
    if (!calls_.InternetReadFile(file_, block.data(), kReadBlock, got))
      Fail<ENIL_ReadFile>(FormatTolerant("Could not read from file %s on the server", {remoteName}));
    if (got == 0) break;
    total += got;
    int32_t shown = total > INT32_MAX ? INT32_MAX : int32_t(total);
    OnDataReceived(this, remoteName, int(got), shown, fileSize, block.data());
    InternalDataReceived(this, remoteName, int(got), shown, fileSize, block.data());
    setup::InstallServices().Application->ProcessMessages();
    if (setup::DownloadAborted()) return true;
    if (out.Write(block.data(), int32_t(got)) != int32_t(got))
      throw ENIL_WriteDestFile(FormatTolerant("%s could not write to the local dest file %s", {Name(), localFile}));
  }
  try {
    out.Flush();
  } catch (const EStreamError&) {
    throw ENIL_WriteDestFile(FormatTolerant("%s could not write to the local dest file %s", {Name(), localFile}));
  }
  if (total == 0) Fail<ENIL_FileNotFound>(FormatTolerant("Could not find the file %s on the server", {remoteName}));
  // A transfer that ends early is no file.
  if (http && fileSize > 0 && total != fileSize)
    Fail<ENIL_ReadFile>(FormatTolerant("Could not read from file %s on the server", {remoteName}));
  return false;
}

bool TNetInstallLocation::Download(const std::string& remoteName, const std::string& localFile) {
  OnBeforeDownload(this);
  remoteName_ = remoteName;
  localName_ = localFile;
  bool aborted = false;
  try {
    Connect();
    bool http = login_.Protocol == TInternetProtocol::ipHTTP;
    struct CloseFile {
      TNetInstallLocation& l;
      ~CloseFile() { l.Close(l.file_); }
    } closeFile{*this};
    if (!http) {
      file_ = calls_.FtpOpenFile(connection_, remoteName);
      if (!file_) Fail<ENIL_FTPOpenFile>(FormatTolerant("Cannot open file %s on server", {remoteName}));
    } else {
      std::string object = setup::ServerPath(login_.Directory + "\\") + remoteName;
      file_ = calls_.HttpOpenRequest(connection_, "GET", object, kHttpRequestFlags);
      if (!file_) Fail<ENIL_HTTPOpenFile>(FormatTolerant("Cannot open file %s on server", {remoteName}));
      if (!calls_.HttpSendRequest(file_, "Accept: */*\r\n\r\n"))
        Fail<ENIL_HTTPSendRequest>(FormatTolerant("Cannot send request for file %s to the server", {remoteName}));
      char status[33] = {};
      uint32_t size = sizeof status;
      int32_t code = calls_.HttpQueryInfo(file_, kHttpQueryStatusCode, status, size)
                         ? HeaderNumber(status, std::min<uint32_t>(size, sizeof status))
                         : 0;
      if (code == 404)
        Fail<ENIL_FileNotFound>(FormatTolerant("Could not find the file %s on the server", {remoteName}));
      if (code != 200) Fail<ENIL_HTTPOpenFile>(FormatTolerant("Cannot open file %s on server", {remoteName}));
    }
    aborted = Fetch(remoteName, localFile);
    setup::TInetHandle file = file_;
    file_ = 0;
    if (!calls_.InternetCloseHandle(file) && !http)
      Fail<ENIL_FTPCloseFile>(FormatTolerant("Cannot close the file %s on the server", {remoteName}));
  } catch (...) {
    platform::RemoveFile(localFile);
    throw;
  }
  if (aborted) platform::RemoveFile(localFile);
  OnAfterDownload(this, aborted);
  return aborted;
}
